#include "vcmbase_gen/common/dvk_gen_vcm_callsend.h"

#include "sdk/common/dvk_mem.h"

#include <cstring>

namespace {

const char kUnit[] = "common/dvk_gen_vcm_callsend.cpp";

enum : int32_t {
    NOLOCATIONS_FEATURE = 62,
    NOCONTACTS_FEATURE = 64,
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newFlagsCommand(dvk_vcm_Session* vcms, const dvk_vcm_Vtable* vtable,
                                            const dvk_vcm_Etable* etable)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    auto* flags = static_cast<dvk_gen_vcm_CommandFlags*>(dvk_mem_alloc(sizeof(dvk_gen_vcm_CommandFlags)));
    if (flags == nullptr)
        return nullptr;
    std::memset(flags, 0, sizeof *flags);
    dvk_vcm_Module* module = dvk_vcm_newVCM(vcms, vtable, etable);
    if (module == nullptr) {
        dvk_mem_dealloc(&flags);
        return nullptr;
    }
    module->context = flags;
    return module;
}

void* dvk_gen_vcm_copyCommandFlags(void* context)
{
    DVK_GEN_VCM_ASSERT(kUnit, context != DVK_NULL);
    void* copy = dvk_mem_alloc(sizeof(dvk_gen_vcm_CommandFlags));
    if (copy != nullptr)
        std::memcpy(copy, context, sizeof(dvk_gen_vcm_CommandFlags));
    return copy;
}

dvk_gen_vcm_CommandFlags* dvk_gen_vcm_commandFlags(dvk_vcm_Session* vcms)
{
    auto* flags = static_cast<dvk_gen_vcm_CommandFlags*>(dvk_vcm_currentContext(vcms));
    DVK_GEN_VCM_ASSERT(dvk_vcm_getCurrentName(vcms), flags != DVK_NULL);
    return flags;
}

int dvk_gen_vcm_askNameOrNumber(dvk_vcm_Session* vcms)
{
    dvk_gen_vcm_commandFlags(vcms)->askedAgain = 1;
    return dvk_vcm_pushAndSave(vcms, dvk_gen_vcm_newNameOrNumber(vcms));
}

int dvk_gen_vcm_noLocations(dvk_vcm_Session* vcms, const dvk_ucs2_Char* name, const uint32_t* wordIds,
                            int32_t wordIdCount)
{
    dvk_vcm_Module* next = dvk_gen_vcm_featureOn(NOLOCATIONS_FEATURE) == 1
                               ? dvk_gen_vcm_newNoLocationsNonListening(vcms, name, wordIds, wordIdCount)
                               : dvk_gen_vcm_newNoLocations(vcms, name, wordIds, wordIdCount);
    return dvk_gen_vcm_replaceStack(vcms, next, false);
}

int dvk_gen_vcm_pushNoContacts(dvk_vcm_Session* vcms)
{
    return dvk_vcm_push(vcms, dvk_gen_vcm_featureOn(NOCONTACTS_FEATURE) == 1 ? dvk_gen_vcm_newNoContactsNonListening(vcms)
                                                                           : dvk_gen_vcm_newNoContactsAvailable(vcms));
}

int dvk_gen_vcm_contactEntry(const dvk_ucs2_Char* name, int32_t callType, dvk_pbook_Entry** entry)
{
    *entry = nullptr;
    if (dvk_pbook_getMergedEntry(name, nullptr, nullptr, entry) < 0)
        return 1;
    if (*entry != nullptr && callType != 0)
        dvk_pbook_filterByCallType(*entry, callType);
    return 0;
}

int dvk_gen_vcm_offerLocations(dvk_vcm_Session* vcms, dvk_pbook_Entry* entry, const dvk_ucs2_Char* saidLocation,
                               const uint32_t* wordIds, int32_t wordIdCount, int32_t noSuchType,
                               int32_t severalAtLocation)
{
    dvk_gen_vcm_CommandFlags* flags = dvk_gen_vcm_commandFlags(vcms);
    flags->locationChoice = 1;
    flags->askedAgain = 1;
    dvk_vcm_Module* next =
        saidLocation != nullptr && dvk_pbook_getCount(entry) < 2
            ? dvk_gen_vcm_newWhichLocationSingle(vcms, entry, saidLocation, wordIds, wordIdCount, noSuchType)
            : dvk_gen_vcm_newWhichLocationMulti(vcms, entry, saidLocation, wordIds, wordIdCount, noSuchType,
                                                severalAtLocation);
    return dvk_vcm_pushAndSave(vcms, next);
}

bool dvk_gen_vcm_applyResultRules(dvk_nbest_List* list, const dvk_gen_vcm_ResultRules* rules)
{
    for (const dvk_gen_vcm_FilterRule* rule = rules->filters; rule->firstHolds[0] != 0; rule++) {
        bool holds = false;
        for (int32_t slot : rule->firstHolds)
            holds = holds || (slot != 0 && dvk_gen_vcm_has(list, 0, slot));
        if (holds) {
            dvk_nbest_filter(list, dvk_gen_vcm_laterHoldingFilter, const_cast<dvk_gen_vcm_SlotSet*>(&rule->drop));
            break;
        }
    }
    dvk_nbest_log(list);
    if (rules->keep > 0)
        dvk_nbest_chop(list, rules->keep);
    for (const dvk_gen_vcm_ConfirmRule* rule = rules->confirms; rule->slot != 0; rule++)
        if (dvk_gen_vcm_has(list, 0, rule->slot) && rule->need(list) != 0)
            return true;
    return false;
}

int dvk_gen_vcm_confirmOrComplete(dvk_vcm_Session* vcms, dvk_nbest_List* list, bool confirm,
                                  dvk_msg_Message** message)
{
    const int result = confirm ? dvk_vcm_pushAndSave(vcms, dvk_gen_vcm_newConfirmListening(vcms, list))
                               : dvk_vcm_completion(vcms, list, 0, message);
    dvk_nbest_destroy(&list);
    return result;
}
