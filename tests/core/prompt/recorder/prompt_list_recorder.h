// A recording fake of the prompt-list calls, for tests of what fills prompt
// lists (the dialog manager's utilities, the dialog modules): every call is
// written down as text ("addPrompt 403", "addText String 19 Ann",
// "addEarcon 4" ...) and nothing is played. Lists are real records, so the
// error flag works; an add can be made to fail. Links in place of the real
// list calls (the prompt table stays real when a program brings it).
#pragma once

#include "core/prompt/dvk_prompt.h"

#include <string>
#include <vector>

std::vector<std::string>& recordedPromptCalls();
// The next n adds fail: they set the list's error flag and record nothing.
void failNextPromptAdds(int n);
void resetPromptListRecorder();
