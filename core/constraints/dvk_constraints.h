// The suite's static grammars: 66 constraints over 66 word classes whose
// members come from the string table, the feature flags and the phone's
// data, and the rule sets that parse dialled numbers after recognition.
// The tables are constant; the class walks keep a little module-wide state
// (one walk of a class at a time). Suite thread only.
#pragma once

#include "core/constraints/dvk_constraints_records.h"

#include <cstdint>

// A rule {name, expansion}: the expansion is a blank-separated sequence of
// rule names, literal characters and the engine's digit symbols (D{n},
// Not0, Not1, Not01). Several rules with one name are alternatives.
struct dvk_constraints_Rule {
    const char* name;
    const char* expansion;
};

// The small grammar that parses the words of some classes of a result
// (dialling numbers) after recognition.
struct dvk_constraints_RuleSet {
    const char* startRule;
    const char* const* classNames;       // null-ended
    const dvk_constraints_Rule* rules;   // ended by {null, null}
};

// The static constraints, by name (ids 0..65 in this order).
extern dvk_constraints_Constraint callNameOrNumber_constraint;
extern dvk_constraints_Constraint callOptnlNameNum_constraint;
extern dvk_constraints_Constraint callName_constraint;
extern dvk_constraints_Constraint callNumber_constraint;
extern dvk_constraints_Constraint callExtension_constraint;
extern dvk_constraints_Constraint extension_constraint;
extern dvk_constraints_Constraint send_constraint;
extern dvk_constraints_Constraint sendEmail_constraint;
extern dvk_constraints_Constraint sendTextNameGrp_constraint;
extern dvk_constraints_Constraint recentCalls_constraint;
extern dvk_constraints_Constraint lookup_constraint;
extern dvk_constraints_Constraint goTo_constraint;
extern dvk_constraints_Constraint appList_constraint;
extern dvk_constraints_Constraint surpriseMe_constraint;
extern dvk_constraints_Constraint topLevelGoTo_constraint;
extern dvk_constraints_Constraint changeMode_constraint;
extern dvk_constraints_Constraint changeModeList_constraint;
extern dvk_constraints_Constraint helpMeWith_constraint;
extern dvk_constraints_Constraint helpMeWithList_constraint;
extern dvk_constraints_Constraint playPlaylist_constraint;
extern dvk_constraints_Constraint playlist_constraint;
extern dvk_constraints_Constraint playMusic_constraint;
extern dvk_constraints_Constraint music_constraint;
extern dvk_constraints_Constraint playSongOnly_constraint;
extern dvk_constraints_Constraint playArtistOnly_constraint;
extern dvk_constraints_Constraint playAlbumOnly_constraint;
extern dvk_constraints_Constraint playPlaylistOnly_constraint;
extern dvk_constraints_Constraint check_constraint;
extern dvk_constraints_Constraint checkRaz_constraint;
extern dvk_constraints_Constraint searchRaz_constraint;
extern dvk_constraints_Constraint checkItemList_constraint;
extern dvk_constraints_Constraint checkItemListRaz_constraint;
extern dvk_constraints_Constraint names_constraint;
extern dvk_constraints_Constraint namesLocs_constraint;
extern dvk_constraints_Constraint label_constraint;
extern dvk_constraints_Constraint digits_constraint;
extern dvk_constraints_Constraint nextCmd_constraint;
extern dvk_constraints_Constraint yesno_constraint;
extern dvk_constraints_Constraint alwaysAvailable_constraint;
extern dvk_constraints_Constraint turnDrvModeOn_constraint;
extern dvk_constraints_Constraint turnDrvModeOff_constraint;
extern dvk_constraints_Constraint enableService_constraint;
extern dvk_constraints_Constraint voiceMailGen_constraint;
extern dvk_constraints_Constraint myCarrier_constraint;
extern dvk_constraints_Constraint redial_constraint;
extern dvk_constraints_Constraint help_constraint;
extern dvk_constraints_Constraint groups_constraint;
extern dvk_constraints_Constraint alwaysAvailRaz_constraint;
extern dvk_constraints_Constraint messageTypeRaz_constraint;
extern dvk_constraints_Constraint sendRaz_constraint;
extern dvk_constraints_Constraint callNameOrNbrRaz_constraint;
extern dvk_constraints_Constraint callNameRaz_constraint;
extern dvk_constraints_Constraint lookupRaz_constraint;
extern dvk_constraints_Constraint lookupActionRaz_constraint;
extern dvk_constraints_Constraint lastNumOrVMRaz_constraint;
extern dvk_constraints_Constraint gotoCalOptsRaz_constraint;
extern dvk_constraints_Constraint dkapiPfl_constraint;
extern dvk_constraints_Constraint dkapiNames_constraint;
extern dvk_constraints_Constraint dkapiPhoneNbr_constraint;
extern dvk_constraints_Constraint dkapiDigits_constraint;
extern dvk_constraints_Constraint dkapiSong_constraint;
extern dvk_constraints_Constraint dkapiArtist_constraint;
extern dvk_constraints_Constraint dkapiAlbum_constraint;
extern dvk_constraints_Constraint dkapiPlaylist_constraint;
extern dvk_constraints_Constraint dkapiMusicSimple_constraint;
extern dvk_constraints_Constraint dkapiMusic_constraint;

// 67 entries indexed by class id: 0 none, 1 "_CONSTRAINT_CLASS_START",
// 2..65 the classes, 66 "_CONSTRAINT_CLASS_END".
dvk_constraints_WordClass** dvk_constraints_getWordClassList();
// The 66 static constraints in id order, then null.
dvk_constraints_Constraint** dvk_constraints_getConstraintList();
// id 1..66 (anything else is a programming error).
dvk_constraints_WordClass* getWordClassFromId(uint32_t id);

// Transitions of a static or dynamic constraint. Iterators are 1-based
// positions; 0 ends the walk.
int32_t dvk_constraint_getFirstTransition(const dvk_constraints_Constraint* constraint);
int32_t dvk_constraint_getNextTransition(const dvk_constraints_Constraint* constraint,
                                         int32_t iterator);
const char* dvk_constraint_getTransitionFrom(const dvk_constraints_Constraint* constraint,
                                             int32_t iterator);
const char* dvk_constraint_getTransitionTo(const dvk_constraints_Constraint* constraint,
                                           int32_t iterator);
uint8_t dvk_constraint_getTransitionPenalty(const dvk_constraints_Constraint* constraint,
                                            int32_t iterator);
int32_t dvk_constraint_getTransitionCount(const dvk_constraints_Constraint* constraint);

// Rules providers. The dialling rules follow the dialing region and the
// "+" feature; the extension and search-digit rules share one buffer, so a
// later call replaces what an earlier one returned.
dvk_constraints_RuleSet* dvk_constraints_getDigitRules();
dvk_constraints_RuleSet* dvk_constraints_getExtensionRules();
dvk_constraints_RuleSet* dvk_constraints_getDkapiDigitsRules();

// Cuts trailing blanks, tabs, "-", ":" and digits off the text, in place;
// the first character always stays.
void stripDigits(dvk_ucs2_Char* text);
