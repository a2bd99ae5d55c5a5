// What the prompt list's files share: messages that name a list keep it
// alive until they have been delivered or dropped.
#pragma once

#include "core/prompt/dvk_prompt.h"

// A message about the list (data: the list, or data whose destructor gives
// the list back); NULL when memory is short.
dvk_msg_Message* dvk_prompt_newListMessage(dvk_prompt_List* list, dvk_msg_Handler handler,
                                          dvk_msg_Destructor destructor);
// Gives back what dvk_prompt_newListMessage took; frees a destroyed list
// with the last message.
void dvk_prompt_releaseList(void* list);
