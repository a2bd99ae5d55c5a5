// "vcm_sendcmd": turns a recognised send command (a message of some kind,
// or an e-mail under gate command 13) into a number. A name is looked up
// among the contacts and leads to the completion state, a location choice,
// the no-locations state or the name-or-number question; a group or digits
// go straight to the completion state.
#include "vcmbase_gen/common/dvk_gen_vcm_callsend.h"

#include "core/utils/dvk_ucs2.h"

namespace {

const char kUnit[] = "vcm_sendcmd/dvk_gen_vcm_sendcmd.cpp";

enum : int32_t {
    SEND_GATE_EMAIL = 13,
    SEND_CALL_TYPE_MESSAGE = 2,
    SEND_CALL_TYPE_EMAIL = 3,
    SEND_MAX_RESULTS = 3,
};

// What the command read from its own copy of the chosen result.
struct Heard {
    const dvk_ucs2_Char* name;
    const dvk_ucs2_Char* spokenName;
    const uint32_t* wordIds;
    int32_t wordIdCount;
    const dvk_ucs2_Char* location;
    const dvk_ucs2_Char* digits;
    const dvk_ucs2_Char* group;
    const uint32_t* groupIds;
    int32_t groupIdCount;
};

bool isEmail(dvk_vcm_Session* vcms)
{
    return dvk_vcm_getGateCmd(vcms) == SEND_GATE_EMAIL;
}

int32_t callType(dvk_vcm_Session* vcms)
{
    return isEmail(vcms) ? SEND_CALL_TYPE_EMAIL : SEND_CALL_TYPE_MESSAGE;
}

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
    heard->group = dvk_nbest_getStr(own, 0, DVK_GEN_SLOT_GROUP);
    heard->groupIds = nullptr;
    heard->groupIdCount =
        heard->group != nullptr ? dvk_nbest_getWordIds(own, 0, DVK_GEN_SLOT_GROUP, &heard->groupIds) : 0;
    return 0;
}

// The completion state for the entry's first number, alone on the stack.
int completeAtOnce(dvk_vcm_Session* vcms, const Heard& heard, dvk_pbook_Entry** entry, int32_t numberCount)
{
    const dvk_gen_vcm_CommandFlags* flags = dvk_gen_vcm_commandFlags(vcms);
    dvk_vcm_Module* next = dvk_gen_vcm_newCallSendComplete(
        vcms, heard.name, heard.spokenName, dvk_pbook_getLocationString(*entry, 0),
        dvk_pbook_getPhoneNumberString(*entry, 0), nullptr, 0, heard.wordIds, heard.wordIdCount,
        flags->locationChoice, numberCount, flags->askedAgain);
    dvk_pbook_destroyEntry(entry);
    return dvk_gen_vcm_replaceStack(vcms, next, false);
}

// A name and a location: the one number there, or a choice among the
// contact's numbers (saying when the location has none of this kind).
int byNameAtLocation(dvk_vcm_Session* vcms, const Heard& heard, dvk_pbook_Entry* entry)
{
    const int32_t numbers = dvk_pbook_getCount(entry);
    const int32_t atLocation = dvk_pbook_filterByLocation(entry, heard.location);
    if (atLocation == 1)
        return completeAtOnce(vcms, heard, &entry, numbers);
    dvk_ucs2_Char* saidLocation = nullptr;
    int32_t noSuchType = 0;
    if (atLocation == 0) {
        saidLocation = dvk_ucs2_createCopy(heard.location);
        dvk_pbook_destroyEntry(&entry);
        if (saidLocation == nullptr || dvk_gen_vcm_contactEntry(heard.name, 0, &entry) != 0 || entry == nullptr) {
            dvk_ucs2_destroy(&saidLocation);
            dvk_pbook_destroyEntry(&entry);
            return 1;
        }
        // The contact has the location, but it cannot take this kind of message.
        noSuchType = dvk_pbook_countByLocation(entry, saidLocation) > 0 ? 1 : 0;
        dvk_pbook_filterByCallType(entry, callType(vcms));
    }
    dvk_nbest_removeValue(dvk_vcm_current(vcms)->nbest, 0, DVK_GEN_SLOT_LOCATION);
    const int result = dvk_gen_vcm_offerLocations(vcms, entry, saidLocation, heard.wordIds, heard.wordIdCount,
                                                  noSuchType, atLocation > 1 ? 1 : 0);
    dvk_ucs2_destroy(&saidLocation);
    dvk_pbook_destroyEntry(&entry);
    return result;
}

int byName(dvk_vcm_Session* vcms, const Heard& heard)
{
    dvk_pbook_Entry* entry = nullptr;
    if (dvk_gen_vcm_contactEntry(heard.name, 0, &entry) != 0)
        return 1;
    if (entry == nullptr)
        return dvk_gen_vcm_askNameOrNumber(vcms);
    if (heard.location == nullptr) {
        // The kind of location such messages go to by default, when the contact has one.
        const int32_t defaultType =
            isEmail(vcms) ? dvk_pbook_getDefaultSendEmailLocType() : dvk_pbook_getDefaultSendLocType();
        if (defaultType != 0 && dvk_pbook_countByLocationType(entry, defaultType) > 0)
            dvk_pbook_filterByLocationType(entry, defaultType);
    }
    dvk_pbook_filterByCallType(entry, callType(vcms));
    const int32_t numbers = dvk_pbook_getCount(entry);
    if (numbers == 0) {
        dvk_pbook_destroyEntry(&entry);
        return dvk_gen_vcm_noLocations(vcms, heard.name, heard.wordIds, heard.wordIdCount);
    }
    if (heard.location != nullptr)
        return byNameAtLocation(vcms, heard, entry);
    if (numbers == 1)
        return completeAtOnce(vcms, heard, &entry, 1);
    const int result = dvk_gen_vcm_offerLocations(vcms, entry, nullptr, heard.wordIds, heard.wordIdCount, 0, 0);
    dvk_pbook_destroyEntry(&entry);
    return result;
}

// A group or digits: the completion state above this command; its
// continuation clears the stack.
int byGroupOrDigits(dvk_vcm_Session* vcms, const Heard& heard)
{
    const dvk_gen_vcm_CommandFlags* flags = dvk_gen_vcm_commandFlags(vcms);
    return dvk_vcm_push(vcms, dvk_gen_vcm_newCallSendComplete(vcms, nullptr, nullptr, nullptr, heard.digits,
                                                              heard.group, 0, heard.groupIds, heard.groupIdCount,
                                                              flags->locationChoice, 0, flags->askedAgain));
}

int sendCmdCompletion(dvk_vcm_Session* vcms, dvk_nbest_List* list, int32_t index, dvk_msg_Message**)
{
    Heard heard{};
    if (takeResult(vcms, list, index, &heard) != 0)
        return 1;
    if (heard.name != nullptr)
        return byName(vcms, heard);
    if (heard.group != nullptr || heard.digits != nullptr)
        return byGroupOrDigits(vcms, heard);
    return dvk_gen_vcm_askNameOrNumber(vcms);
}

const dvk_gen_vcm_FilterRule kFilters[] = {
    {{DVK_GEN_SLOT_GROUP, DVK_GEN_SLOT_NAME, 0}, {{DVK_GEN_SLOT_DIGITS, 0, 0}, 1}},
    {{DVK_GEN_SLOT_DIGITS, 0, 0}, {{DVK_GEN_SLOT_NAME, DVK_GEN_SLOT_GROUP, 0}, 2}},
    {{0, 0, 0}, {{0, 0, 0}, 0}},
};
const dvk_gen_vcm_ConfirmRule kConfirms[] = {
    {DVK_GEN_SLOT_NAME, dvk_vcm_needNameConfirmation},
    {DVK_GEN_SLOT_DIGITS, dvk_vcm_needNumberConfirmation},
    {DVK_GEN_SLOT_GROUP, dvk_vcm_needGroupConfirmation},
    {0, nullptr},
};
const dvk_gen_vcm_ResultRules kRules = {kFilters, kConfirms, SEND_MAX_RESULTS};

int sendCmdHandleResult(dvk_vcm_Session* vcms, dvk_nbest_List* list, dvk_msg_Message** message, int32_t)
{
    if (list == nullptr || dvk_nbest_getCount(list) == 0) {
        dvk_nbest_destroy(&list);
        return dvk_gen_vcm_askNameOrNumber(vcms);
    }
    const bool confirm = dvk_gen_vcm_applyResultRules(list, &kRules);
    if (isEmail(vcms) && dvk_pbook_getFirstEntry() == 0) {
        dvk_nbest_destroy(&list);
        return dvk_gen_vcm_pushNoContacts(vcms);
    }
    return dvk_gen_vcm_confirmOrComplete(vcms, list, confirm, message);
}

const dvk_vcm_Vtable sendCmdVtable = {
    "vcm_sendcmd", nullptr, nullptr, nullptr, nullptr, nullptr, sendCmdHandleResult, sendCmdCompletion,
    dvk_gen_vcm_copyCommandFlags, dvk_vcm_defaultContextDestructor,
};

const dvk_vcm_Etable sendCmdEtable[] = {
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newSendCmdVCM(dvk_vcm_Session* vcms)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    return dvk_gen_vcm_newFlagsCommand(vcms, &sendCmdVtable, sendCmdEtable);
}
