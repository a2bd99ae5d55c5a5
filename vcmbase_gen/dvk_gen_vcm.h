// Constructors of the 61 voice-command dialog modules. Each answers the new
// module record (not pushed: the caller pushes it), or NULL when memory is
// short or the module is not in this build. Texts and arrays handed in are
// copied unless a constructor says it takes them over.
#pragma once

#include "sdk/common/dvk_types.h"

#include <cstdint>

struct dvk_vcm_Session;  // the dialog session
struct dvk_vcm_Module;   // one dialog state on its stack
struct dvk_nbest_List;
struct dvk_pbook_Entry;
struct dvk_array;
struct dvk_constraints_Constraint;


// Session opening and the root menu.
// forced: 1 shows the tutorial even with its setting off (the user asked
// for it), 0 (the VCM base) at a session's start.
dvk_vcm_Module* dvk_gen_vcm_newTutorial(dvk_vcm_Session* session, int32_t forced);
dvk_vcm_Module* dvk_gen_vcm_newUpdateContacts(dvk_vcm_Session* session);
dvk_vcm_Module* dvk_gen_vcm_newSplash(dvk_vcm_Session* session);
// firstEntry: 1 after the splash screen, which has said the opening prompt.
dvk_vcm_Module* dvk_gen_vcm_newRoot(dvk_vcm_Session* session, int32_t firstEntry);

// Call and send.
dvk_vcm_Module* dvk_gen_vcm_newCallCmdVCM(dvk_vcm_Session* session);
dvk_vcm_Module* dvk_gen_vcm_newSendCmdVCM(dvk_vcm_Session* session);
dvk_vcm_Module* dvk_gen_vcm_newNameOrNumber(dvk_vcm_Session* session);
dvk_vcm_Module* dvk_gen_vcm_newCallSendComplete(dvk_vcm_Session* session, const dvk_ucs2_Char* name,
                                                const dvk_ucs2_Char* spokenName,
                                                const dvk_ucs2_Char* location,
                                                const dvk_ucs2_Char* number, const dvk_ucs2_Char* group,
                                                int32_t voicemail, const uint32_t* wordIds,
                                                int32_t wordIdCount, int32_t locationChoice,
                                                int32_t numberCount, int32_t askedAgain);

// Location choice.
dvk_vcm_Module* dvk_gen_vcm_newWhichLocationSingle(dvk_vcm_Session* session, dvk_pbook_Entry* entry,
                                                   const dvk_ucs2_Char* saidLocation,
                                                   const uint32_t* wordIds, int32_t wordIdCount,
                                                   int32_t noSuchType);
dvk_vcm_Module* dvk_gen_vcm_newWhichLocationMulti(dvk_vcm_Session* session, dvk_pbook_Entry* entry,
                                                  const dvk_ucs2_Char* saidLocation,
                                                  const uint32_t* wordIds, int32_t wordIdCount,
                                                  int32_t noSuchType, int32_t severalAtLocation);

// Look-up and listening confirmation.
dvk_vcm_Module* dvk_gen_vcm_newLookupCmd(dvk_vcm_Session* session);
dvk_vcm_Module* dvk_gen_vcm_newLookupComplete(dvk_vcm_Session* session, int32_t askedAgain,
                                              const dvk_ucs2_Char* name, const uint32_t* wordIds,
                                              int32_t wordIdCount);
// Cuts the caller's list to its first 3 entries and keeps a copy.
dvk_vcm_Module* dvk_gen_vcm_newConfirmListening(dvk_vcm_Session* session, dvk_nbest_List* list);

// Failure and empty-data states.
dvk_vcm_Module* dvk_gen_vcm_newNoMatchFound(dvk_vcm_Session* session);
dvk_vcm_Module* dvk_gen_vcm_newNoMatchNonListening(dvk_vcm_Session* session);
dvk_vcm_Module* dvk_gen_vcm_newNoContactsAvailable(dvk_vcm_Session* session);
dvk_vcm_Module* dvk_gen_vcm_newNoContactsNonListening(dvk_vcm_Session* session);
dvk_vcm_Module* dvk_gen_vcm_newNoLocations(dvk_vcm_Session* session, const dvk_ucs2_Char* name,
                                           const uint32_t* wordIds, int32_t wordIdCount);
dvk_vcm_Module* dvk_gen_vcm_newNoLocationsNonListening(dvk_vcm_Session* session, const dvk_ucs2_Char* name,
                                                       const uint32_t* wordIds, int32_t wordIdCount);
dvk_vcm_Module* dvk_gen_vcm_newNoHelpTopics(dvk_vcm_Session* session);
dvk_vcm_Module* dvk_gen_vcm_newNoModes(dvk_vcm_Session* session);
dvk_vcm_Module* dvk_gen_vcm_newNoShortcuts(dvk_vcm_Session* session);
dvk_vcm_Module* dvk_gen_vcm_newNoMoreResults(dvk_vcm_Session* session);
dvk_vcm_Module* dvk_gen_vcm_newNoLastNumberNonListening(dvk_vcm_Session* session);
// music: 1 when the music update failed, 0 when the contacts update did.
dvk_vcm_Module* dvk_gen_vcm_newOutOfMemory(dvk_vcm_Session* session, int32_t music);

// Item selection, redial, help and always-available commands.
dvk_vcm_Module* dvk_gen_vcm_newSelectItem(dvk_vcm_Session* session, int32_t screenId, int32_t titleStringId,
                                          int32_t promptId, dvk_array* items,
                                          dvk_constraints_Constraint* constraint, int32_t valueSlot);
dvk_vcm_Module* dvk_gen_vcm_newSelectComplete(dvk_vcm_Session* session, int32_t screenId,
                                              int32_t commandStringId, int32_t askedAgain,
                                              const dvk_ucs2_Char* itemName, int32_t itemContext);
dvk_vcm_Module* dvk_gen_vcm_newRedialCmd(dvk_vcm_Session* session);
// Shows and speaks the texts with one softkey (its string id and event).
dvk_vcm_Module* dvk_gen_vcm_newHelp(dvk_vcm_Session* session, int32_t screenId, int32_t titleStringId,
                                    int32_t bodyStringId, int32_t softkeyStringId, int32_t softkeyEvent);
// The module of an always-available phrase's event (4, 11, 10, 3, 2, 25, 14,
// 26); phraseStringId is the matched phrase (string 82 restarts the root
// menu); savedState: a saved state exists to go back to. VCM base 0 only.
dvk_vcm_Module* dvk_gen_vcm_newAlwaysAvailableCmd(dvk_vcm_Session* session, int32_t event,
                                                  int32_t phraseStringId, int32_t savedState);

// Settings.
dvk_vcm_Module* dvk_gen_vcm_newSettings(dvk_vcm_Session* session);
// Creates and pushes the module of a settings item (1-based): 0, or 1 on failure.
int dvk_gen_vcm_pushSettingsMenuItem(dvk_vcm_Session* session, int32_t item);
dvk_vcm_Module* dvk_gen_vcm_newSettingsAbout(dvk_vcm_Session* session);
dvk_vcm_Module* dvk_gen_vcm_newSettingsComplete(dvk_vcm_Session* session, int32_t screenId, int32_t stringId,
                                                int32_t numPops);
dvk_vcm_Module* dvk_gen_vcm_newSettingsConfirmation(dvk_vcm_Session* session);
dvk_vcm_Module* dvk_gen_vcm_newSettingsDialingRegion(dvk_vcm_Session* session);
dvk_vcm_Module* dvk_gen_vcm_newSettingsDrivingMode(dvk_vcm_Session* session);
dvk_vcm_Module* dvk_gen_vcm_newSettingsModes(dvk_vcm_Session* session);
dvk_vcm_Module* dvk_gen_vcm_newSettingsSpeakerphone(dvk_vcm_Session* session);

// Adaptation.
dvk_vcm_Module* dvk_gen_vcm_newAdaptation(dvk_vcm_Session* session);
dvk_vcm_Module* dvk_gen_vcm_newAdaptationInstructions(dvk_vcm_Session* session);
dvk_vcm_Module* dvk_gen_vcm_newAdaptationPleaseSay(dvk_vcm_Session* session);
dvk_vcm_Module* dvk_gen_vcm_newAdaptationAdapting(dvk_vcm_Session* session);
dvk_vcm_Module* dvk_gen_vcm_newAdaptationTimeout(dvk_vcm_Session* session);
dvk_vcm_Module* dvk_gen_vcm_newAdaptationReset(dvk_vcm_Session* session);

// Phone status check.
dvk_vcm_Module* dvk_gen_vcm_newCheckCmd(dvk_vcm_Session* session);
dvk_vcm_Module* dvk_gen_vcm_newCheckComplete(dvk_vcm_Session* session, int32_t listShown, int32_t item);
dvk_vcm_Module* dvk_gen_vcm_newCheckCompleteOem(dvk_vcm_Session* session, int32_t listShown, int32_t category,
                                                int32_t nameStringId, int32_t namePromptId, int32_t item);

// Music.
dvk_vcm_Module* dvk_gen_vcm_newPlayMusicCmd(dvk_vcm_Session* session);
dvk_vcm_Module* dvk_gen_vcm_newPlayPlaylistCmd(dvk_vcm_Session* session);
dvk_vcm_Module* dvk_gen_vcm_newPlaySayMusic(dvk_vcm_Session* session, int32_t category);
// Takes both arrays (and their texts) over.
dvk_vcm_Module* dvk_gen_vcm_newPlayMusicConfirm(dvk_vcm_Session* session, dvk_ucs2_Char** displayTexts,
                                                dvk_ucs2_Char** spokenTexts, int32_t count,
                                                int32_t alternateArtist);
dvk_vcm_Module* dvk_gen_vcm_newPlayComplete(dvk_vcm_Session* session, int32_t asked, const dvk_ucs2_Char* name,
                                            const dvk_ucs2_Char* namePronunciation,
                                            const dvk_ucs2_Char* artist,
                                            const dvk_ucs2_Char* artistPronunciation, int32_t context,
                                            int32_t artistContext, int32_t kind);
dvk_vcm_Module* dvk_gen_vcm_newNoMusicStored(dvk_vcm_Session* session);

// Go-to, help-me-with, modes and services.
dvk_vcm_Module* dvk_gen_vcm_newGotoCmd(dvk_vcm_Session* session);
dvk_vcm_Module* dvk_gen_vcm_newHelpMeWithCmd(dvk_vcm_Session* session);
dvk_vcm_Module* dvk_gen_vcm_newChangeModeCmd(dvk_vcm_Session* session);
dvk_vcm_Module* dvk_gen_vcm_newChangeModeComplete(dvk_vcm_Session* session, const dvk_ucs2_Char* modeName);
dvk_vcm_Module* dvk_gen_vcm_newDrivingModeCmd(dvk_vcm_Session* session);
dvk_vcm_Module* dvk_gen_vcm_newDrivingModeComplete(dvk_vcm_Session* session);
dvk_vcm_Module* dvk_gen_vcm_newEnableServiceCmd(dvk_vcm_Session* session);
dvk_vcm_Module* dvk_gen_vcm_newEnableServiceComplete(dvk_vcm_Session* session, int32_t servicePhraseId);
