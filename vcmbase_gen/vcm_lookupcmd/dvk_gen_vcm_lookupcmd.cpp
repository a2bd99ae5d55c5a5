// "vcm_lookupcmd": looks a contact up by name; a missing or vanished name
// asks for one.
#include "vcmbase_gen/common/dvk_gen_vcm_callsend.h"

#include "sdk/common/dvk_mem.h"
#include "sdk/common/dvk_pbook.h"

#include <cstring>

namespace {

const char kUnit[] = "vcm_lookupcmd/dvk_gen_vcm_lookupcmd.cpp";

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

const dvk_gen_vcm_FilterRule kFilters[] = {
    {{DVK_GEN_SLOT_NAME, 0, 0}, {{DVK_GEN_SLOT_DIGITS, 0, 0}, 1}},
    {{0, 0, 0}, {{0, 0, 0}, 0}},
};
const dvk_gen_vcm_ConfirmRule kConfirms[] = {
    {DVK_GEN_SLOT_NAME, dvk_vcm_needNameConfirmation},
    {0, nullptr},
};
// Every entry is kept.
const dvk_gen_vcm_ResultRules kRules = {kFilters, kConfirms, 0};

int lookupCmdHandleResult(dvk_vcm_Session* vcms, dvk_nbest_List* list, dvk_msg_Message** message, int32_t)
{
    if (list == nullptr || dvk_nbest_getCount(list) == 0) {
        dvk_nbest_destroy(&list);
        return askName(vcms);
    }
    const bool confirm = dvk_gen_vcm_applyResultRules(list, &kRules);
    if (dvk_pbook_getFirstEntry() == 0) {
        dvk_nbest_destroy(&list);
        return dvk_gen_vcm_pushNoContacts(vcms);
    }
    return dvk_gen_vcm_confirmOrComplete(vcms, list, confirm, message);
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
