// "vcm_helpMeWithCmd": help on the topic named, or the topics to choose from.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"

#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_help.h"

namespace {

enum : int32_t { HELP_SLOT = 13, HELP_SCREEN = 56, HELP_KIND = 21 };

const char kUnit[] = "vcm_helpmewithcmd/dvk_gen_vcm_helpmewithcmd.cpp";

const void* findTopic(const dvk_ucs2_Char* name)
{
    return dvk_help_findTopicByName(name);
}
const void* firstTopic()
{
    return dvk_help_getFirstTopic();
}
const void* nextTopic(const void* item)
{
    return dvk_help_getNextTopic(static_cast<dvk_help_Iterator>(const_cast<void*>(item)));
}
dvk_ucs2_Char* topicName(const void* item)
{
    dvk_help_TopicEntry* entry = dvk_help_getTopicEntry(static_cast<dvk_help_Iterator>(const_cast<void*>(item)));
    dvk_ucs2_Char* name = entry != nullptr ? dvk_ucs2_createCopy(dvk_help_getTopicName(entry)) : nullptr;
    dvk_help_destroyTopicEntry(&entry);
    return name;
}

int actOnTopic(dvk_vcm_Session* vcms, const void* item, const dvk_ucs2_Char* said, int32_t listShown)
{
    dvk_help_TopicEntry* entry = dvk_help_getTopicEntry(static_cast<dvk_help_Iterator>(const_cast<void*>(item)));
    if (entry == nullptr)
        return 1;
    const int32_t context = dvk_help_getTopicContext(entry);
    dvk_help_destroyTopicEntry(&entry);
    return dvk_vcm_push(vcms, dvk_gen_vcm_newSelectComplete(vcms, HELP_SCREEN, HELP_KIND, listShown, said, context));
}

const dvk_gen_vcm_ListCommand kTopics = {
    findTopic, firstTopic, nextTopic, topicName, actOnTopic, dvk_gen_vcm_newNoHelpTopics,
    55,        583,        436,       &helpMeWithList_constraint,
};

int helpMeWithCmdCompletion(dvk_vcm_Session* vcms, dvk_nbest_List* nbest, int32_t, dvk_msg_Message**)
{
    return dvk_gen_vcm_listCompletion(vcms, &kTopics, HELP_SLOT, nbest);
}

const dvk_gen_vcm_Descriptor helpMeWithCmd = {
    {"vcm_helpMeWithCmd", nullptr, nullptr, nullptr, nullptr, nullptr, dvk_gen_vcm_completeResult,
     helpMeWithCmdCompletion, dvk_gen_vcm_copyWord, dvk_vcm_defaultContextDestructor},
    kUnit,
    nullptr,
    nullptr,
    {DVK_UI_EVENT_NONE, 0},
    nullptr,
};
const dvk_vcm_Vtable& helpMeWithCmdVtable = helpMeWithCmd.vtable;

const dvk_vcm_Etable helpMeWithCmdEtable[] = {
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newHelpMeWithCmd(dvk_vcm_Session* vcms)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    return dvk_gen_vcm_newListCommand(vcms, &helpMeWithCmdVtable, helpMeWithCmdEtable);
}
