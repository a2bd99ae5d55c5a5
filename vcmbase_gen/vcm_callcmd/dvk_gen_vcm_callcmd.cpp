// "vcm_callcmd": turns a recognised call command into a number. A name is
// looked up among the contacts and leads to the completion state, a
// location choice, the no-locations state or the name-or-number question;
// digits and voicemail go straight to the completion state.
#include "vcmbase_gen/common/dvk_gen_vcm_callsend.h"

#include "core/utils/dvk_ucs2.h"

namespace {

const char kUnit[] = "vcm_callcmd/dvk_gen_vcm_callcmd.cpp";

enum : int32_t {
    CALL_TYPE_VOICE = 1,
    CALL_MAX_RESULTS = 3,
};

// What the command read from its own copy of the chosen result.
struct Heard {
    const dvk_ucs2_Char* name;
    const dvk_ucs2_Char* spokenName;
    const uint32_t* wordIds;
    int32_t wordIdCount;
    const dvk_ucs2_Char* location;
    const dvk_ucs2_Char* digits;
    bool extension;
    bool voicemail;
};

// Takes entry `index` of list into the module's own entry and reads it.
int takeResult(dvk_vcm_Session* vcms, dvk_nbest_List* list, int32_t index, Heard* heard)
{
    dvk_nbest_List* own = dvk_vcm_current(vcms)->nbest;
    if (dvk_gen_vcm_takeEntry(own, list, index) != 0)
        return 1;
    heard->name = dvk_nbest_getStr(own, 0, DVK_GEN_SLOT_NAME);
    heard->spokenName = dvk_nbest_getSpokenForm(own, 0, DVK_GEN_SLOT_NAME);
    heard->wordIds = nullptr;
    heard->wordIdCount = heard->name != nullptr ? dvk_nbest_getWordIds(own, 0, DVK_GEN_SLOT_NAME, &heard->wordIds) : 0;
    heard->location = dvk_nbest_getStr(own, 0, DVK_GEN_SLOT_LOCATION);
    heard->digits = dvk_nbest_getStr(own, 0, DVK_GEN_SLOT_DIGITS);
    heard->extension = dvk_gen_vcm_has(own, 0, DVK_GEN_SLOT_EXTENSION);
    heard->voicemail = dvk_gen_vcm_has(own, 0, DVK_GEN_SLOT_VOICEMAIL);
    return 0;
}

dvk_vcm_Module* completeWith(dvk_vcm_Session* vcms, const Heard& heard, const dvk_ucs2_Char* location,
                             const dvk_ucs2_Char* number, int32_t numberCount)
{
    const dvk_gen_vcm_CommandFlags* flags = dvk_gen_vcm_commandFlags(vcms);
    return dvk_gen_vcm_newCallSendComplete(vcms, heard.name, heard.spokenName, location, number, nullptr, 0,
                                           heard.wordIds, heard.wordIdCount, flags->locationChoice, numberCount,
                                           flags->askedAgain);
}

int voicemail(dvk_vcm_Session* vcms)
{
    dvk_ucs2_Char* number = dvk_pbook_getVoicemailNumber();
    if (number == nullptr)
        return 1;
    if (number[0] == 0) {
        // Nothing to call: the session ends.
        dvk_ucs2_destroy(&number);
        dvk_vcm_clearStack(vcms);
        return 1;
    }
    const dvk_gen_vcm_CommandFlags* flags = dvk_gen_vcm_commandFlags(vcms);
    dvk_vcm_Module* next = dvk_gen_vcm_newCallSendComplete(vcms, nullptr, nullptr, nullptr, number, nullptr, 1,
                                                           nullptr, 0, flags->locationChoice, 0, flags->askedAgain);
    dvk_ucs2_destroy(&number);
    return dvk_gen_vcm_replaceStack(vcms, next, false);
}

int completeAtOnce(dvk_vcm_Session* vcms, const Heard& heard, dvk_pbook_Entry** entry, int32_t numberCount)
{
    dvk_vcm_Module* next = completeWith(vcms, heard, dvk_pbook_getLocationString(*entry, 0),
                                        dvk_pbook_getPhoneNumberString(*entry, 0), numberCount);
    dvk_pbook_destroyEntry(entry);
    return dvk_gen_vcm_replaceStack(vcms, next, false);
}

int byName(dvk_vcm_Session* vcms, const Heard& heard)
{
    dvk_pbook_Entry* entry = nullptr;
    if (dvk_gen_vcm_contactEntry(heard.name, CALL_TYPE_VOICE, &entry) != 0)
        return 1;
    if (entry == nullptr)
        return dvk_gen_vcm_askNameOrNumber(vcms);
    const int32_t voiceNumbers = dvk_pbook_getCount(entry);
    if (voiceNumbers == 0) {
        dvk_pbook_destroyEntry(&entry);
        return dvk_gen_vcm_noLocations(vcms, heard.name, heard.wordIds, heard.wordIdCount);
    }
    dvk_ucs2_Char* saidLocation = nullptr;
    int32_t severalAtLocation = 0;
    if (heard.location == nullptr) {
        if (voiceNumbers == 1)
            return completeAtOnce(vcms, heard, &entry, 1);
    } else {
        const int32_t atLocation = dvk_pbook_filterByLocation(entry, heard.location);
        if (atLocation == 1)
            return completeAtOnce(vcms, heard, &entry, voiceNumbers);
        if (atLocation > 1) {
            severalAtLocation = 1;
        } else {
            // None there: all the contact's numbers, saying the location was not found.
            saidLocation = dvk_ucs2_createCopy(heard.location);
            dvk_pbook_destroyEntry(&entry);
            if (saidLocation == nullptr || dvk_gen_vcm_contactEntry(heard.name, CALL_TYPE_VOICE, &entry) != 0 || entry == nullptr) {
                dvk_ucs2_destroy(&saidLocation);
                dvk_pbook_destroyEntry(&entry);
                return 1;
            }
        }
        dvk_nbest_removeValue(dvk_vcm_current(vcms)->nbest, 0, DVK_GEN_SLOT_LOCATION);
    }
    const int result = dvk_gen_vcm_offerLocations(vcms, entry, saidLocation, heard.wordIds, heard.wordIdCount, 0,
                                                  severalAtLocation);
    dvk_ucs2_destroy(&saidLocation);
    dvk_pbook_destroyEntry(&entry);
    return result;
}

int byDigits(dvk_vcm_Session* vcms, const Heard& heard)
{
    static const dvk_ucs2_Char kExtensionMark[] = {u'x', 0};
    dvk_ucs2_Char* number = heard.extension ? dvk_ucs2_createConcat(kExtensionMark, heard.digits, nullptr)
                                            : dvk_ucs2_createCopy(heard.digits);
    if (number == nullptr)
        return 1;
    dvk_vcm_Module* next = completeWith(vcms, heard, heard.location, number, 0);
    dvk_ucs2_destroy(&number);
    return dvk_gen_vcm_replaceStack(vcms, next, false);
}

int callCmdCompletion(dvk_vcm_Session* vcms, dvk_nbest_List* list, int32_t index, dvk_msg_Message**)
{
    Heard heard{};
    if (takeResult(vcms, list, index, &heard) != 0)
        return 1;
    if (heard.voicemail)
        return voicemail(vcms);
    if (heard.name != nullptr)
        return byName(vcms, heard);
    if (heard.digits != nullptr)
        return byDigits(vcms, heard);
    return dvk_gen_vcm_askNameOrNumber(vcms);
}

const dvk_gen_vcm_FilterRule kFilters[] = {
    {{DVK_GEN_SLOT_NAME, DVK_GEN_SLOT_VOICEMAIL, 0}, {{DVK_GEN_SLOT_DIGITS, 0, 0}, 1}},
    {{DVK_GEN_SLOT_DIGITS, 0, 0}, {{DVK_GEN_SLOT_NAME, DVK_GEN_SLOT_VOICEMAIL, 0}, 2}},
    {{0, 0, 0}, {{0, 0, 0}, 0}},
};
const dvk_gen_vcm_ConfirmRule kConfirms[] = {
    {DVK_GEN_SLOT_NAME, dvk_vcm_needNameConfirmation},
    {DVK_GEN_SLOT_VOICEMAIL, dvk_vcm_needVoiceMailConfirmation},
    {DVK_GEN_SLOT_DIGITS, dvk_vcm_needNumberConfirmation},
    {0, nullptr},
};
const dvk_gen_vcm_ResultRules kRules = {kFilters, kConfirms, CALL_MAX_RESULTS};

int callCmdHandleResult(dvk_vcm_Session* vcms, dvk_nbest_List* list, dvk_msg_Message** message, int32_t)
{
    if (list == nullptr || dvk_nbest_getCount(list) == 0) {
        dvk_nbest_destroy(&list);
        return dvk_gen_vcm_askNameOrNumber(vcms);
    }
    const bool confirm = dvk_gen_vcm_applyResultRules(list, &kRules);
    return dvk_gen_vcm_confirmOrComplete(vcms, list, confirm, message);
}

const dvk_vcm_Vtable callCmdVtable = {
    "vcm_callcmd", nullptr, nullptr, nullptr, nullptr, nullptr, callCmdHandleResult, callCmdCompletion,
    dvk_gen_vcm_copyCommandFlags, dvk_vcm_defaultContextDestructor,
};

const dvk_vcm_Etable callCmdEtable[] = {
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newCallCmdVCM(dvk_vcm_Session* vcms)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    return dvk_gen_vcm_newFlagsCommand(vcms, &callCmdVtable, callCmdEtable);
}
