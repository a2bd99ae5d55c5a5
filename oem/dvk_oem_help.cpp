#include "oem/dvk_oem_help.h"

#include "sdk/common/dvk_assert.h"

dvk_oem_help_Iterator dvk_oem_help_getFirstTopic(int32_t language)
{
    DVK_ASSERT(language < 30);
    return nullptr;
}

dvk_oem_help_Iterator dvk_oem_help_getNextTopic(dvk_oem_help_Iterator iterator)
{
    DVK_ASSERT(iterator != NULL);
    return nullptr;
}

void dvk_oem_help_getTopicEntry(dvk_oem_help_Iterator iterator, dvk_oem_help_TopicEntry* entry)
{
    DVK_ASSERT(iterator != NULL);
    DVK_ASSERT(entry != NULL);
}

void oemHelpInitStub() {}
