// "vcm_checkCmd": the phone status item said goes to "vcm_checkComplete";
// with none said, the items of the check word class are offered to choose
// from, and the choice comes back here as a result.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"

#include "core/constraints/dvk_constraints.h"
#include "core/nbest/dvk_nbest.h"
#include "core/utils/dvk_array.h"
#include "core/utils/dvk_ucs2.h"

namespace {

const char kUnit[] = "vcmbase_gen/vcm_checkcmd/dvk_gen_vcm_checkcmd";

enum : int32_t { CHECK_ITEM_SLOT = 5, CHECK_LIST_SCREEN = 61, CHECK_LIST_TITLE = 542, CHECK_LIST_PROMPT = 437 };

// Phrase string -> check item; DVK_STR_MAX as the item means none.
struct CheckPhrase {
    int32_t phrase;
    int32_t item;
};
const CheckPhrase kCheckPhrases[] = {
    {76, 273}, {43, 273}, {95, 275}, {97, 276}, {28, 267}, {30, 268}, {81, 274},
    {71, 272}, {70, 272}, {39, 270}, {4, 266},  {36, 269}, {99, 277},
};
const int32_t kMaxItems = sizeof kCheckPhrases / sizeof kCheckPhrases[0];

// The item a phrase says, or DVK_STR_MAX.
int32_t itemOf(dvk_vcm_Session* vcms, const dvk_ucs2_Char* phrase)
{
    const auto* entry = static_cast<const CheckPhrase*>(
        dvk_string_findEntry(dvk_vcm_stringTable(vcms), kCheckPhrases, sizeof(CheckPhrase), sizeof kCheckPhrases,
                             phrase));
    return entry != nullptr ? entry->item : DVK_STR_MAX;
}

dvk_constraints_WordClass* checkItemClass()
{
    for (dvk_constraints_WordClass** c = checkItemList_constraint.wordClasses; *c != nullptr; c++)
        if ((*c)->key == CHECK_ITEM_SLOT)
            return *c;
    return nullptr;
}

// The items of the check word class, each once in order of first appearance;
// 0, or 1 when a member names no item.
int collectItems(dvk_vcm_Session* vcms, int32_t* items, int32_t* count)
{
    dvk_constraints_WordClass* wordClass = checkItemClass();
    DVK_GEN_VCM_ASSERT(kUnit, wordClass != DVK_NULL);
    *count = 0;
    for (dvk_constraints_Iterator it = wordClass->getFirst(wordClass); it != 0; it = wordClass->getNext(wordClass, it)) {
        dvk_ucs2_Char* surface = nullptr;
        dvk_ucs2_Char* spoken = nullptr;
        wordClass->getEntry(wordClass, dvk_vcm_stringTable(vcms), it, &surface, &spoken);
        const int32_t item = surface != nullptr ? itemOf(vcms, surface) : DVK_STR_MAX;
        wordClass->freeEntry(wordClass, &surface, &spoken);
        if (item == DVK_STR_MAX)
            return 1;
        bool seen = false;
        for (int32_t i = 0; i < *count; i++)
            seen = seen || items[i] == item;
        if (!seen && *count < kMaxItems)
            items[(*count)++] = item;
    }
    return 0;
}

int offerItems(dvk_vcm_Session* vcms)
{
    int32_t items[kMaxItems];
    int32_t count = 0;
    if (collectItems(vcms, items, &count) != 0)
        return 1;
    dvk_array* texts = dvk_array_create();
    for (int32_t i = 0; texts != nullptr && i < count; i++) {
        dvk_ucs2_Char* text = dvk_string_getString(dvk_vcm_stringTable(vcms), items[i]);
        if (text == nullptr || dvk_array_addItem(texts, text) == nullptr) {
            dvk_ucs2_destroy(&text);
            dvk_gen_vcm_destroyTexts(&texts);
        }
    }
    if (texts == nullptr)
        return 1;
    *dvk_gen_vcm_word(vcms) = 1;
    // The item selection takes the texts over, even when it cannot be made.
    return dvk_vcm_pushAndSave(vcms, dvk_gen_vcm_newSelectItem(vcms, CHECK_LIST_SCREEN, CHECK_LIST_TITLE,
                                                               CHECK_LIST_PROMPT, texts, &checkItemList_constraint,
                                                               CHECK_ITEM_SLOT));
}

int checkCmdCompletion(dvk_vcm_Session* vcms, dvk_nbest_List* nbest, int32_t, dvk_msg_Message**)
{
    const dvk_ucs2_Char* said = nbest != nullptr && dvk_nbest_getCount(nbest) > 0
                                    ? dvk_nbest_getStr(nbest, 0, CHECK_ITEM_SLOT)
                                    : nullptr;
    if (said == nullptr)
        return offerItems(vcms);
    const int32_t item = itemOf(vcms, said);
    if (item == DVK_STR_MAX)
        return 1;
    return dvk_vcm_push(vcms, dvk_gen_vcm_newCheckComplete(vcms, *dvk_gen_vcm_word(vcms), item));
}

const dvk_gen_vcm_Descriptor checkCmd = {
    {"vcm_checkCmd", nullptr, nullptr, nullptr, nullptr, nullptr, dvk_gen_vcm_completeResult, checkCmdCompletion,
     dvk_gen_vcm_copyWord, dvk_vcm_defaultContextDestructor},
    kUnit,
    nullptr,
    nullptr,
    {DVK_UI_EVENT_NONE, 0},
    nullptr,
};
const dvk_vcm_Vtable& checkCmdVtable = checkCmd.vtable;

const dvk_vcm_Etable checkCmdEtable[] = {
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newCheckCmd(dvk_vcm_Session* vcms)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    return dvk_gen_vcm_newListCommand(vcms, &checkCmdVtable, checkCmdEtable);
}
