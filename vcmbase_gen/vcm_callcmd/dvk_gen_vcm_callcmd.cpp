// "vcm_callcmd": turns a recognised call command into a number. A name is
// looked up among the contacts and leads to the completion state, a
// location choice, the no-locations state or the name-or-number question;
// digits and voicemail go straight to the completion state.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"

#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_mem.h"
#include "sdk/common/dvk_pbook.h"

#include <cstring>

namespace {

const char kUnit[] = "vcm_callcmd/dvk_gen_vcm_callcmd.cpp";

enum : int32_t {
    CALL_TYPE_VOICE = 1,
    CALL_NOLOCATIONS_FEATURE = 62,
    CALL_MAX_RESULTS = 3,
};

struct CommandContext {
    int32_t locationChoice;
    int32_t askedAgain;
};

CommandContext* context(dvk_vcm_Session* vcms)
{
    auto* ctx = static_cast<CommandContext*>(dvk_vcm_currentContext(vcms));
    DVK_GEN_VCM_ASSERT(kUnit, ctx != DVK_NULL);
    return ctx;
}

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
    const CommandContext* ctx = context(vcms);
    return dvk_gen_vcm_newCallSendComplete(vcms, heard.name, heard.spokenName, location, number, nullptr, 0,
                                           heard.wordIds, heard.wordIdCount, ctx->locationChoice, numberCount,
                                           ctx->askedAgain);
}

int askNameOrNumber(dvk_vcm_Session* vcms)
{
    context(vcms)->askedAgain = 1;
    return dvk_vcm_pushAndSave(vcms, dvk_gen_vcm_newNameOrNumber(vcms));
}

int noLocations(dvk_vcm_Session* vcms, const Heard& heard)
{
    dvk_vcm_Module* next =
        dvk_gen_vcm_featureOn(CALL_NOLOCATIONS_FEATURE) == 1
            ? dvk_gen_vcm_newNoLocationsNonListening(vcms, heard.name, heard.wordIds, heard.wordIdCount)
            : dvk_gen_vcm_newNoLocations(vcms, heard.name, heard.wordIds, heard.wordIdCount);
    return dvk_gen_vcm_replaceStack(vcms, next, false);
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
    const CommandContext* ctx = context(vcms);
    dvk_vcm_Module* next = dvk_gen_vcm_newCallSendComplete(vcms, nullptr, nullptr, nullptr, number, nullptr, 1,
                                                           nullptr, 0, ctx->locationChoice, 0, ctx->askedAgain);
    dvk_ucs2_destroy(&number);
    return dvk_gen_vcm_replaceStack(vcms, next, false);
}

// The contact's merged entry with its voice numbers; 1 on failure, *entry
// NULL when there is no such contact.
int voiceEntry(const dvk_ucs2_Char* name, dvk_pbook_Entry** entry)
{
    *entry = nullptr;
    if (dvk_pbook_getMergedEntry(name, nullptr, nullptr, entry) < 0)
        return 1;
    if (*entry != nullptr)
        dvk_pbook_filterByCallType(*entry, CALL_TYPE_VOICE);
    return 0;
}

// Offers the contact's numbers as a choice, this command below it.
int offerChoice(dvk_vcm_Session* vcms, const Heard& heard, dvk_pbook_Entry* entry,
                const dvk_ucs2_Char* saidLocation, int32_t severalAtLocation)
{
    CommandContext* ctx = context(vcms);
    ctx->locationChoice = 1;
    ctx->askedAgain = 1;
    dvk_vcm_Module* next =
        saidLocation != nullptr && dvk_pbook_getCount(entry) < 2
            ? dvk_gen_vcm_newWhichLocationSingle(vcms, entry, saidLocation, heard.wordIds, heard.wordIdCount, 0)
            : dvk_gen_vcm_newWhichLocationMulti(vcms, entry, saidLocation, heard.wordIds, heard.wordIdCount, 0,
                                                severalAtLocation);
    return dvk_vcm_pushAndSave(vcms, next);
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
    if (voiceEntry(heard.name, &entry) != 0)
        return 1;
    if (entry == nullptr)
        return askNameOrNumber(vcms);
    const int32_t voiceNumbers = dvk_pbook_getCount(entry);
    if (voiceNumbers == 0) {
        dvk_pbook_destroyEntry(&entry);
        return noLocations(vcms, heard);
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
            if (saidLocation == nullptr || voiceEntry(heard.name, &entry) != 0 || entry == nullptr) {
                dvk_ucs2_destroy(&saidLocation);
                dvk_pbook_destroyEntry(&entry);
                return 1;
            }
        }
        dvk_nbest_removeValue(dvk_vcm_current(vcms)->nbest, 0, DVK_GEN_SLOT_LOCATION);
    }
    const int result = offerChoice(vcms, heard, entry, saidLocation, severalAtLocation);
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
    return askNameOrNumber(vcms);
}

bool needsConfirmation(dvk_nbest_List* list)
{
    if (dvk_gen_vcm_has(list, 0, DVK_GEN_SLOT_NAME) && dvk_vcm_needNameConfirmation(list) != 0)
        return true;
    if (dvk_gen_vcm_has(list, 0, DVK_GEN_SLOT_VOICEMAIL) && dvk_vcm_needVoiceMailConfirmation(list) != 0)
        return true;
    return dvk_gen_vcm_has(list, 0, DVK_GEN_SLOT_DIGITS) && dvk_vcm_needNumberConfirmation(list) != 0;
}

int callCmdHandleResult(dvk_vcm_Session* vcms, dvk_nbest_List* list, dvk_msg_Message** message, int32_t)
{
    if (list == nullptr || dvk_nbest_getCount(list) == 0) {
        dvk_nbest_destroy(&list);
        return askNameOrNumber(vcms);
    }
    static dvk_gen_vcm_SlotSet digits = {{DVK_GEN_SLOT_DIGITS, 0, 0}, 1};
    static dvk_gen_vcm_SlotSet nameAndVoicemail = {{DVK_GEN_SLOT_NAME, DVK_GEN_SLOT_VOICEMAIL, 0}, 2};
    dvk_gen_vcm_SlotSet* drop = nullptr;
    if (dvk_gen_vcm_has(list, 0, DVK_GEN_SLOT_NAME) || dvk_gen_vcm_has(list, 0, DVK_GEN_SLOT_VOICEMAIL))
        drop = &digits;
    else if (dvk_gen_vcm_has(list, 0, DVK_GEN_SLOT_DIGITS))
        drop = &nameAndVoicemail;
    if (drop != nullptr)
        dvk_nbest_filter(list, dvk_gen_vcm_laterHoldingFilter, drop);
    dvk_nbest_log(list);
    dvk_nbest_chop(list, CALL_MAX_RESULTS);
    const int result = needsConfirmation(list)
                           ? dvk_vcm_pushAndSave(vcms, dvk_gen_vcm_newConfirmListening(vcms, list))
                           : dvk_vcm_completion(vcms, list, 0, message);
    dvk_nbest_destroy(&list);
    return result;
}

void* callCmdCopyContext(void* context)
{
    void* copy = dvk_mem_alloc(sizeof(CommandContext));
    if (copy != nullptr)
        std::memcpy(copy, context, sizeof(CommandContext));
    return copy;
}

const dvk_vcm_Vtable callCmdVtable = {
    "vcm_callcmd", nullptr, nullptr, nullptr, nullptr, nullptr, callCmdHandleResult, callCmdCompletion,
    callCmdCopyContext, dvk_vcm_defaultContextDestructor,
};

const dvk_vcm_Etable callCmdEtable[] = {
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newCallCmdVCM(dvk_vcm_Session* vcms)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    auto* ctx = static_cast<CommandContext*>(dvk_mem_alloc(sizeof(CommandContext)));
    if (ctx == nullptr)
        return nullptr;
    std::memset(ctx, 0, sizeof *ctx);
    dvk_vcm_Module* module = dvk_vcm_newVCM(vcms, &callCmdVtable, callCmdEtable);
    if (module == nullptr) {
        dvk_mem_dealloc(&ctx);
        return nullptr;
    }
    module->context = ctx;
    return module;
}
