// "vcm_lookupcmd": looks a contact up by name; a missing or vanished name
// asks for one.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"

#include "sdk/common/dvk_mem.h"
#include "sdk/common/dvk_pbook.h"

#include <cstring>

namespace {

const char kUnit[] = "vcm_lookupcmd/dvk_gen_vcm_lookupcmd.cpp";

enum : int32_t {
    LOOKUP_NOCONTACTS_FEATURE = 64,
};

struct LookupContext {
    int32_t askedAgain;
};

LookupContext* context(dvk_vcm_Session* vcms)
{
    auto* ctx = static_cast<LookupContext*>(dvk_vcm_currentContext(vcms));
    DVK_GEN_VCM_ASSERT(kUnit, ctx != DVK_NULL);
    return ctx;
}

int askName(dvk_vcm_Session* vcms)
{
    context(vcms)->askedAgain = 1;
    return dvk_vcm_pushAndSave(vcms, dvk_gen_vcm_newNameOrNumber(vcms));
}

int lookupCmdCompletion(dvk_vcm_Session* vcms, dvk_nbest_List* list, int32_t index, dvk_msg_Message**)
{
    const dvk_ucs2_Char* name = dvk_nbest_getStr(list, index, DVK_GEN_SLOT_NAME);
    // The phonebook can change while a confirmation is open: a name it no
    // longer has is asked for again.
    if (name == nullptr || dvk_pbook_findEntryByName(dvk_pbook_getFirstEntry(), name, nullptr, nullptr) == 0)
        return askName(vcms);
    const uint32_t* ids = nullptr;
    const int32_t count = dvk_nbest_getWordIds(list, index, DVK_GEN_SLOT_NAME, &ids);
    static const uint32_t kNoIds[1] = {0};
    return dvk_vcm_push(vcms, dvk_gen_vcm_newLookupComplete(vcms, context(vcms)->askedAgain, name,
                                                            ids != nullptr ? ids : kNoIds, count));
}

int lookupCmdHandleResult(dvk_vcm_Session* vcms, dvk_nbest_List* list, dvk_msg_Message** message, int32_t)
{
    if (list == nullptr || dvk_nbest_getCount(list) == 0) {
        dvk_nbest_destroy(&list);
        return askName(vcms);
    }
    static dvk_gen_vcm_SlotSet digits = {{DVK_GEN_SLOT_DIGITS, 0, 0}, 1};
    if (dvk_gen_vcm_has(list, 0, DVK_GEN_SLOT_NAME))
        dvk_nbest_filter(list, dvk_gen_vcm_laterHoldingFilter, &digits);
    dvk_nbest_log(list);
    int result = 0;
    if (dvk_pbook_getFirstEntry() == 0)
        result = dvk_vcm_push(vcms, dvk_gen_vcm_featureOn(LOOKUP_NOCONTACTS_FEATURE) == 1
                                        ? dvk_gen_vcm_newNoContactsNonListening(vcms)
                                        : dvk_gen_vcm_newNoContactsAvailable(vcms));
    else if (dvk_gen_vcm_has(list, 0, DVK_GEN_SLOT_NAME) && dvk_vcm_needNameConfirmation(list) != 0)
        result = dvk_vcm_pushAndSave(vcms, dvk_gen_vcm_newConfirmListening(vcms, list));
    else
        result = dvk_vcm_completion(vcms, list, 0, message);
    dvk_nbest_destroy(&list);
    return result;
}

void* lookupCmdCopy(void* context)
{
    void* copy = dvk_mem_alloc(sizeof(LookupContext));
    if (copy != nullptr)
        std::memcpy(copy, context, sizeof(LookupContext));
    return copy;
}

const dvk_vcm_Vtable lookupCmdVtable = {
    "vcm_lookupcmd", nullptr, nullptr, nullptr, nullptr, nullptr, lookupCmdHandleResult, lookupCmdCompletion,
    lookupCmdCopy, dvk_vcm_defaultContextDestructor,
};

const dvk_vcm_Etable lookupCmdEtable[] = {
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newLookupCmd(dvk_vcm_Session* vcms)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    auto* ctx = static_cast<LookupContext*>(dvk_mem_alloc(sizeof(LookupContext)));
    if (ctx == nullptr)
        return nullptr;
    ctx->askedAgain = 0;
    dvk_vcm_Module* module = dvk_vcm_newVCM(vcms, &lookupCmdVtable, lookupCmdEtable);
    if (module == nullptr) {
        dvk_mem_dealloc(&ctx);
        return nullptr;
    }
    module->context = ctx;
    return module;
}
