#include "tests/vcmbase_gen/harness/module_table.h"

#include "sdk/common/dvk_pbook.h"
#include "tests/core/vcm/phonebook/ann_bob_phonebook.h"
#include "core/utils/dvk_array.h"
#include "core/utils/dvk_ucs2.h"
#include "core/nbest/dvk_nbest.h"
#include "sdk/common/dvk_mem.h"

namespace {

const dvk_ucs2_Char kName[] = {u'A', u'n', u'n', 0};
const dvk_ucs2_Char kLocation[] = {u'H', u'o', u'm', u'e', 0};
const dvk_ucs2_Char kNumber[] = {u'5', u'5', u'5', u'1', u'2', u'3', u'4', 0};
const uint32_t kWordIds[] = {7, 8};

// The location choices take a contact entry: Ann's, from the Ann and Bob
// phonebook (put in place when missing); the module NULL when the entry
// cannot be made.
template <typename Make>
dvk_vcm_Module* withAnnEntry(Make make)
{
    dvk_pbook_Entry* entry = nullptr;
    if (dvk_pbook_getMergedEntry(kName, nullptr, nullptr, &entry) == 0 && entry == nullptr) {
        useAnnAndBobPhonebook();
        dvk_pbook_getMergedEntry(kName, nullptr, nullptr, &entry);
    }
    if (entry == nullptr)
        return nullptr;
    dvk_vcm_Module* module = make(entry);
    dvk_pbook_destroyEntry(&entry);
    return module;
}

// Six owned copies of the name (two pages at five a page), or NULL when
// memory is short, nothing left behind.
dvk_array* sixItems()
{
    dvk_array* items = dvk_array_create();
    for (int i = 0; items != nullptr && i < 6; i++) {
        dvk_ucs2_Char* text = dvk_ucs2_createCopy(kName);
        if (text == nullptr || dvk_array_addItem(items, text) == nullptr) {
            dvk_ucs2_destroy(&text);
            for (long j = 0; j < dvk_array_getCount(items); j++) {
                auto* t = static_cast<dvk_ucs2_Char*>(dvk_array_getItem(items, j));
                dvk_ucs2_destroy(&t);
            }
            dvk_array_destroy(&items);
        }
    }
    return items;
}

// Two owned copies of the name in an owned array, or NULL.
dvk_ucs2_Char** twoTexts()
{
    auto* texts = static_cast<dvk_ucs2_Char**>(dvk_mem_alloc(2 * sizeof(dvk_ucs2_Char*)));
    if (texts == nullptr)
        return nullptr;
    texts[0] = dvk_ucs2_createCopy(kName);
    texts[1] = dvk_ucs2_createCopy(kName);
    if (texts[0] == nullptr || texts[1] == nullptr) {
        dvk_ucs2_destroy(&texts[0]);
        dvk_ucs2_destroy(&texts[1]);
        dvk_mem_dealloc(&texts);
    }
    return texts;
}

// A two-candidate music confirmation, or NULL with nothing left behind.
dvk_vcm_Module* twoCandidates(dvk_vcm_Session* s)
{
    dvk_ucs2_Char** display = twoTexts();
    dvk_ucs2_Char** spoken = twoTexts();
    if (display != nullptr && spoken != nullptr)
        return dvk_gen_vcm_newPlayMusicConfirm(s, display, spoken, 2, 0);
    for (dvk_ucs2_Char** texts : {display, spoken})
        if (texts != nullptr) {
            dvk_ucs2_destroy(&texts[0]);
            dvk_ucs2_destroy(&texts[1]);
            dvk_mem_dealloc(&texts);
        }
    return nullptr;
}

}  // namespace

const std::vector<ModuleRow>& moduleTable()
{
    using S = dvk_vcm_Session*;
    static const std::vector<ModuleRow> rows = {
        {"vcm_root", 0, [](S s) { return dvk_gen_vcm_newRoot(s, 0); }},
        {"vcm_tutorial", 0, [](S s) { return dvk_gen_vcm_newTutorial(s, 1); }},
        {"vcm_updateContacts", 0, [](S s) { return dvk_gen_vcm_newUpdateContacts(s); }},
        {"vcm_splash", 0, [](S s) { return dvk_gen_vcm_newSplash(s); }},
        {"vcm_callcmd", 1, [](S s) { return dvk_gen_vcm_newCallCmdVCM(s); }},
        {"vcm_sendcmd", 3, [](S s) { return dvk_gen_vcm_newSendCmdVCM(s); }},
        {"vcm_callSendComplete", 1,
         [](S s) {
             return dvk_gen_vcm_newCallSendComplete(s, kName, kName, kLocation, kNumber, nullptr, 0, kWordIds, 2, 0,
                                                    1, 0);
         }},
        {"vcm_nameornumber", 1, [](S s) { return dvk_gen_vcm_newNameOrNumber(s); }},
        // The location choices take a phonebook entry.
        {"vcm_whichlocationsingle", 1,
         [](S s) {
             return withAnnEntry([s](dvk_pbook_Entry* e) {
                 return dvk_gen_vcm_newWhichLocationSingle(s, e, kLocation, kWordIds, 2, 0);
             });
         }},
        {"vcm_whichlocationmulti", 1,
         [](S s) {
             return withAnnEntry([s](dvk_pbook_Entry* e) {
                 return dvk_gen_vcm_newWhichLocationMulti(s, e, nullptr, kWordIds, 2, 0, 0);
             });
         }},
        {"vcm_lookupcmd", 15, [](S s) { return dvk_gen_vcm_newLookupCmd(s); }},
        {"vcm_lookupComplete", 15, [](S s) { return dvk_gen_vcm_newLookupComplete(s, 0, kName, kWordIds, 2); }},
        {"vcm_confirm_listen", 1,
         [](S s) {
             // Two candidates; the module keeps its own copy.
             dvk_nbest_List* list = dvk_nbest_create(1, "said", 40);
             bool made = list != nullptr;
             for (int i = 0; made && i < 2; i++)
                 made = dvk_nbest_addEntry(list) == i &&
                        dvk_nbest_addValue(list, i, 20, "name", kName, kName, 2, kWordIds, 0, nullptr) == 0 &&
                        dvk_nbest_addValueNoIds(list, i, 15, "loc", kLocation, kLocation) == 0;
             dvk_vcm_Module* module = made ? dvk_gen_vcm_newConfirmListening(s, list) : nullptr;
             dvk_nbest_destroy(&list);
             return module;
         }},
        {"vcm_nomatch_listen", 0, [](S s) { return dvk_gen_vcm_newNoMatchFound(s); }},
        {"vcm_nomatch_nonlisten", 0, [](S s) { return dvk_gen_vcm_newNoMatchNonListening(s); }},
        {"vcm_nocontacts_listen", 1, [](S s) { return dvk_gen_vcm_newNoContactsAvailable(s); }},
        {"vcm_nocontacts_nonlisten", 1, [](S s) { return dvk_gen_vcm_newNoContactsNonListening(s); }},
        {"vcm_nolocations_listen", 1, [](S s) { return dvk_gen_vcm_newNoLocations(s, kName, kWordIds, 2); }},
        {"vcm_nolocations_nonlisten", 1,
         [](S s) { return dvk_gen_vcm_newNoLocationsNonListening(s, kName, kWordIds, 2); }},
        {"vcm_nohelptopics", 20, [](S s) { return dvk_gen_vcm_newNoHelpTopics(s); }},
        {"vcm_nomodes", 19, [](S s) { return dvk_gen_vcm_newNoModes(s); }},
        {"vcm_noshortcuts", 17, [](S s) { return dvk_gen_vcm_newNoShortcuts(s); }},
        {"vcm_nomoreresults", 0, [](S s) { return dvk_gen_vcm_newNoMoreResults(s); }},
        {"vcm_nolastnumber_nonlisten", 25, [](S s) { return dvk_gen_vcm_newNoLastNumberNonListening(s); }},
        {"vcm_outofmemory", 0, [](S s) { return dvk_gen_vcm_newOutOfMemory(s, 0); }},
        {"vcm_selectItem", 19,
         [](S s) { return dvk_gen_vcm_newSelectItem(s, 49, 541, 441, sixItems(), &changeModeList_constraint, 18); }},
        {"vcm_selectComplete", 17, [](S s) { return dvk_gen_vcm_newSelectComplete(s, 41, 19, 0, kName, 3); }},
        {"vcm_redialCmd", 25, [](S s) { return dvk_gen_vcm_newRedialCmd(s); }},
        {"vcm_help", 0, [](S s) { return dvk_gen_vcm_newHelp(s, 5, 600, 601, 513, DVK_UI_EVENT_RESTART); }},
        {"vcm_alwaysavailable", 0,
         [](S s) { return dvk_gen_vcm_newAlwaysAvailableCmd(s, DVK_UI_EVENT_REPEAT, 53, 0); }},
        {"vcm_settings", 0, [](S s) { return dvk_gen_vcm_newSettings(s); }},
        {"vcm_settings_about", 0, [](S s) { return dvk_gen_vcm_newSettingsAbout(s); }},
        {"vcm_settings_complete", 0, [](S s) { return dvk_gen_vcm_newSettingsComplete(s, 30, 500, 1); }},
        {"vcm_settings_confirmation", 0, [](S s) { return dvk_gen_vcm_newSettingsConfirmation(s); }},
        {"vcm_settings_dialingregion", 0, [](S s) { return dvk_gen_vcm_newSettingsDialingRegion(s); }},
        {"vcm_settings_drivingmode", 0, [](S s) { return dvk_gen_vcm_newSettingsDrivingMode(s); }},
        {"vcm_settings_modes", 0, [](S s) { return dvk_gen_vcm_newSettingsModes(s); }},
        {"vcm_settings_speakerphone", 0, [](S s) { return dvk_gen_vcm_newSettingsSpeakerphone(s); }},
        {"vcm_adaptation", 0, [](S s) { return dvk_gen_vcm_newAdaptation(s); }},
        {"vcm_adaptation_instructions", 0, [](S s) { return dvk_gen_vcm_newAdaptationInstructions(s); }},
        {"vcm_adaptation_pleasesay", 0, [](S s) { return dvk_gen_vcm_newAdaptationPleaseSay(s); }},
        {"vcm_adaptation_adapting", 0, [](S s) { return dvk_gen_vcm_newAdaptationAdapting(s); }},
        {"vcm_adaptation_timeout", 0, [](S s) { return dvk_gen_vcm_newAdaptationTimeout(s); }},
        {"vcm_adaptation_reset", 0, [](S s) { return dvk_gen_vcm_newAdaptationReset(s); }},
        {"vcm_checkCmd", 24, [](S s) { return dvk_gen_vcm_newCheckCmd(s); }},
        {"vcm_checkComplete", 24, [](S s) { return dvk_gen_vcm_newCheckComplete(s, 1, 274); }},
        {"vcm_checkCompleteOem", 24, [](S s) { return dvk_gen_vcm_newCheckCompleteOem(s, 1, 4, 253, 413, 274); }},
        {"vcm_playMusicCmd", 23, [](S s) { return dvk_gen_vcm_newPlayMusicCmd(s); }},
        {"vcm_playPlaylistCmd", 22, [](S s) { return dvk_gen_vcm_newPlayPlaylistCmd(s); }},
        {"vcm_playsaymusic", 23, [](S s) { return dvk_gen_vcm_newPlaySayMusic(s, 0); }},
        {"vcm_playmusic_confirm", 23, twoCandidates},
        {"vcm_playComplete", 23,
         [](S s) { return dvk_gen_vcm_newPlayComplete(s, 1, kName, kName, kName, kName, 1, 2, 4); }},
        {"vcm_nomusicstored", 23, [](S s) { return dvk_gen_vcm_newNoMusicStored(s); }},
        {"vcm_gotoCmd", 17, [](S s) { return dvk_gen_vcm_newGotoCmd(s); }},
        {"vcm_helpMeWithCmd", 20, [](S s) { return dvk_gen_vcm_newHelpMeWithCmd(s); }},
        {"vcm_changeModeCmd", 19, [](S s) { return dvk_gen_vcm_newChangeModeCmd(s); }},
        {"vcm_changeModeComplete", 19, [](S s) { return dvk_gen_vcm_newChangeModeComplete(s, kName); }},
        {"vcm_drivingmodeCmd", 31, [](S s) { return dvk_gen_vcm_newDrivingModeCmd(s); }},
        {"vcm_drivingmodeComplete", 31, [](S s) { return dvk_gen_vcm_newDrivingModeComplete(s); }},
        {"vcm_enableServiceCmd", 33, [](S s) { return dvk_gen_vcm_newEnableServiceCmd(s); }},
        {"vcm_enableServiceComplete", 33, [](S s) { return dvk_gen_vcm_newEnableServiceComplete(s, 200); }},
    };
    return rows;
}

// Referenced here so that every constructor is linked ahead of the dialog
// manager, which calls some of them.
int (*const kPushSettingsMenuItem)(dvk_vcm_Session*, int32_t) = dvk_gen_vcm_pushSettingsMenuItem;
