// The static grammar tables: word classes with their member callbacks, the
// constraints over them with their transitions, the transition accessors
// for static and dynamic constraints, and the dialling rule sets.
#include "core/constraints/dvk_constraints.h"

#include "core/constraints/dvk_constraints_dynamictable.h"
#include "core/constraints/dvk_constraints_members.h"
#include "core/dkapi/dvk_dkapi.h"
#include "core/string/dvk_string.h"
#include "core/utils/dvk_ucs2.h"
#include "platform/core/wex_logger.h"
#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_change_mode.h"
#include "sdk/common/dvk_goto.h"
#include "sdk/common/dvk_help.h"
#include "sdk/common/dvk_play.h"
#include "sdk/common/dvk_settings.h"

namespace {

WexLogger s_log("DvkConstraints");

// Classes whose members are a fixed list of string ids, some of them
// switched by a feature (feature list none: all present).
struct StringList {
    const int32_t* ids;
    const int32_t* features;
    int32_t count;
};

template <class T>
dvk_constraints_Iterator toIterator(T value)
{
    return reinterpret_cast<dvk_constraints_Iterator>(value);
}

template <class T>
T fromIterator(dvk_constraints_Iterator iterator)
{
    return reinterpret_cast<T>(iterator);
}

// Copies text and, when there is one, its spoken form: both, or neither.
void copyPair(const dvk_ucs2_Char* text, const dvk_ucs2_Char* pronunciation,
              dvk_ucs2_Char** surface, dvk_ucs2_Char** spoken)
{
    *spoken = nullptr;
    *surface = text != nullptr ? dvk_ucs2_createCopy(text) : nullptr;
    if (*surface == nullptr || pronunciation == nullptr)
        return;
    *spoken = dvk_ucs2_createCopy(pronunciation);
    if (*spoken == nullptr)
        dvk_ucs2_destroy(surface);
}

// Classes without members of their own: the boundaries, and the command
// classes whose members come with the engine's model.
dvk_constraints_Iterator model_getFirst(dvk_constraints_WordClass*)
{
    return 0;
}

dvk_constraints_Iterator model_getNext(dvk_constraints_WordClass*, dvk_constraints_Iterator)
{
    return 0;
}

void model_getEntry(dvk_constraints_WordClass*, dvk_string_Table*, dvk_constraints_Iterator,
                    dvk_ucs2_Char** surface, dvk_ucs2_Char** spoken)
{
    *surface = nullptr;
    *spoken = nullptr;
}

void model_freeEntry(dvk_constraints_WordClass*, dvk_ucs2_Char**, dvk_ucs2_Char**) {}

const StringList& stringListOf(const dvk_constraints_WordClass* wordClass);

bool isMember(const StringList& list, dvk_constraints_Iterator position)
{
    return isGatedMember(list.features, list.count, position);
}

dvk_constraints_Iterator memberFrom(const StringList& list, dvk_constraints_Iterator position)
{
    return gatedMemberFrom(list.features, list.count, position);
}

dvk_constraints_Iterator strings_getFirst(dvk_constraints_WordClass* wordClass)
{
    return memberFrom(stringListOf(wordClass), 1);
}

dvk_constraints_Iterator strings_getNext(dvk_constraints_WordClass* wordClass,
                                         dvk_constraints_Iterator iterator)
{
    return iterator >= 1 ? memberFrom(stringListOf(wordClass), iterator + 1) : 0;
}

void strings_getEntry(dvk_constraints_WordClass* wordClass, dvk_string_Table* strings,
                      dvk_constraints_Iterator iterator, dvk_ucs2_Char** surface,
                      dvk_ucs2_Char** spoken)
{
    const StringList& list = stringListOf(wordClass);
    *spoken = nullptr;
    *surface = isMember(list, iterator) ? dvk_string_getString(strings, list.ids[iterator - 1])
                                        : nullptr;
}

void strings_freeEntry(dvk_constraints_WordClass* wordClass, dvk_ucs2_Char** surface,
                       dvk_ucs2_Char** spoken)
{
    freeCopiedEntry(wordClass, surface, spoken);
}

// Applications, help topics and phone modes: each item gives its name (with
// its pronunciation), then its first synonym, then its second (only after a
// first), all on the item's iterator; the member shown next is kept per
// class and reset by getFirst.
struct NamedSource {
    dvk_constraints_Iterator (*first)();
    dvk_constraints_Iterator (*next)(dvk_constraints_Iterator);
    dvk_oem_NamedEntry* (*entry)(dvk_constraints_Iterator);
    void (*destroy)(dvk_oem_NamedEntry**);
    int32_t* member;
};

int32_t s_applicationMember, s_helpTopicMember, s_modeMember;

const NamedSource kApplications = {
    [] { return toIterator(dvk_goto_getFirstEnabledApp()); },
    [](dvk_constraints_Iterator i) {
        return toIterator(dvk_goto_getNextEnabledApp(fromIterator<dvk_goto_Iterator>(i)));
    },
    [](dvk_constraints_Iterator i) { return dvk_goto_getAppEntry(fromIterator<dvk_goto_Iterator>(i)); },
    dvk_goto_destroyAppEntry,
    &s_applicationMember,
};

const NamedSource kHelpTopics = {
    [] { return toIterator(dvk_help_getFirstTopic()); },
    [](dvk_constraints_Iterator i) {
        return toIterator(dvk_help_getNextTopic(fromIterator<dvk_help_Iterator>(i)));
    },
    [](dvk_constraints_Iterator i) {
        return dvk_help_getTopicEntry(fromIterator<dvk_help_Iterator>(i));
    },
    dvk_help_destroyTopicEntry,
    &s_helpTopicMember,
};

const NamedSource kModes = {
    [] { return toIterator(dvk_change_mode_getFirstMode()); },
    [](dvk_constraints_Iterator i) {
        return toIterator(dvk_change_mode_getNextMode(fromIterator<dvk_change_mode_Iterator>(i)));
    },
    [](dvk_constraints_Iterator i) {
        return dvk_change_mode_getModeEntry(fromIterator<dvk_change_mode_Iterator>(i));
    },
    dvk_change_mode_destroyModeEntry,
    &s_modeMember,
};

int32_t memberCount(const dvk_oem_NamedEntry& entry)
{
    if (entry.synonyms[0][0] == 0)
        return 1;
    return entry.synonyms[1][0] == 0 ? 2 : 3;
}

dvk_constraints_Iterator namedFirst(const NamedSource& source)
{
    *source.member = 0;
    return source.first();
}

dvk_constraints_Iterator namedNext(const NamedSource& source, dvk_constraints_Iterator iterator)
{
    if (iterator == 0)
        return 0;
    dvk_oem_NamedEntry* entry = source.entry(iterator);
    // Without its entry the item's other members are lost, not the walk.
    const int32_t count = entry != nullptr ? memberCount(*entry) : 1;
    source.destroy(&entry);
    if (*source.member + 1 < count) {
        ++*source.member;
        return iterator;
    }
    *source.member = 0;
    return source.next(iterator);
}

void namedEntry(const NamedSource& source, dvk_constraints_Iterator iterator,
                dvk_ucs2_Char** surface, dvk_ucs2_Char** spoken)
{
    *surface = nullptr;
    *spoken = nullptr;
    dvk_oem_NamedEntry* entry = iterator != 0 ? source.entry(iterator) : nullptr;
    if (entry == nullptr)
        return;
    const int32_t member = *source.member;
    if (member == 0)
        copyPair(entry->name, entry->pronunciation[0] != 0 ? entry->pronunciation : nullptr,
                 surface, spoken);
    else if (member < memberCount(*entry))
        copyPair(entry->synonyms[member - 1], nullptr, surface, spoken);
    source.destroy(&entry);
}

#define NAMED_CLASS(prefix, source)                                                                \
    dvk_constraints_Iterator prefix##_getFirst(dvk_constraints_WordClass*)                        \
    {                                                                                              \
        return namedFirst(source);                                                                 \
    }                                                                                              \
    dvk_constraints_Iterator prefix##_getNext(dvk_constraints_WordClass*,                         \
                                              dvk_constraints_Iterator iterator)                  \
    {                                                                                              \
        return namedNext(source, iterator);                                                        \
    }                                                                                              \
    void prefix##_getEntry(dvk_constraints_WordClass*, dvk_string_Table*,                         \
                           dvk_constraints_Iterator iterator, dvk_ucs2_Char** surface,            \
                           dvk_ucs2_Char** spoken)                                                 \
    {                                                                                              \
        namedEntry(source, iterator, surface, spoken);                                             \
    }                                                                                              \
    void prefix##_freeEntry(dvk_constraints_WordClass* wordClass, dvk_ucs2_Char** surface,        \
                            dvk_ucs2_Char** spoken)                                                \
    {                                                                                              \
        freeCopiedEntry(wordClass, surface, spoken);                                               \
    }

NAMED_CLASS(applications, kApplications)
NAMED_CLASS(helpTopics, kHelpTopics)
NAMED_CLASS(modes, kModes)

// Music: songs (filtered by what the class yields) and playlists.
#define MUSIC_CLASS(prefix, first, next, entryType, getEntry, destroyEntry, text, pronunciation)   \
    dvk_constraints_Iterator prefix##_getFirst(dvk_constraints_WordClass*)                        \
    {                                                                                              \
        return toIterator(first());                                                                \
    }                                                                                              \
    dvk_constraints_Iterator prefix##_getNext(dvk_constraints_WordClass*,                         \
                                              dvk_constraints_Iterator iterator)                  \
    {                                                                                              \
        return iterator != 0 ? toIterator(next(fromIterator<decltype(first())>(iterator))) : 0;   \
    }                                                                                              \
    void prefix##_getEntry(dvk_constraints_WordClass*, dvk_string_Table*,                         \
                           dvk_constraints_Iterator iterator, dvk_ucs2_Char** surface,            \
                           dvk_ucs2_Char** spoken)                                                 \
    {                                                                                              \
        *surface = nullptr;                                                                        \
        *spoken = nullptr;                                                                         \
        entryType* entry = iterator != 0 ? getEntry(fromIterator<decltype(first())>(iterator))    \
                                         : nullptr;                                                \
        if (entry == nullptr)                                                                      \
            return;                                                                                \
        copyPair(text(entry), pronunciation(entry), surface, spoken);                              \
        destroyEntry(&entry);                                                                      \
    }                                                                                              \
    void prefix##_freeEntry(dvk_constraints_WordClass* wordClass, dvk_ucs2_Char** surface,        \
                            dvk_ucs2_Char** spoken)                                                \
    {                                                                                              \
        freeCopiedEntry(wordClass, surface, spoken);                                               \
    }

const dvk_ucs2_Char* noPronunciation(const dvk_play_SongEntry*)
{
    return nullptr;
}

MUSIC_CLASS(albums, dvk_play_getFirstSongWithAlbum, dvk_play_getNextSongWithAlbum, dvk_play_SongEntry,
            dvk_play_getSongEntry, dvk_play_destroySongEntry, dvk_play_getSongAlbum,
            dvk_play_getAlbumPronunciation)
MUSIC_CLASS(artists, dvk_play_getFirstSongWithArtist, dvk_play_getNextSongWithArtist,
            dvk_play_SongEntry, dvk_play_getSongEntry, dvk_play_destroySongEntry,
            dvk_play_getSongArtist, dvk_play_getArtistPronunciation)
MUSIC_CLASS(songs, dvk_play_getFirstSong, dvk_play_getNextSong, dvk_play_SongEntry,
            dvk_play_getSongEntry, dvk_play_destroySongEntry, dvk_play_getSongTitle, noPronunciation)
MUSIC_CLASS(playlists, dvk_play_getFirstPlaylist, dvk_play_getNextPlaylist, dvk_play_PlaylistEntry,
            dvk_play_getPlaylistEntry, dvk_play_destroyPlaylistEntry, dvk_play_getPlaylistName,
            dvk_play_getPlaylistPronunciation)

// The speech API's phrase list.
dvk_constraints_Iterator phraseList_getFirst(dvk_constraints_WordClass*)
{
    return dvk_dkapi_pfl_getFirst();
}

dvk_constraints_Iterator phraseList_getNext(dvk_constraints_WordClass*, dvk_constraints_Iterator iterator)
{
    return iterator != 0 ? dvk_dkapi_pfl_getNext(static_cast<int32_t>(iterator)) : 0;
}

void phraseList_getEntry(dvk_constraints_WordClass*, dvk_string_Table*, dvk_constraints_Iterator iterator,
                         dvk_ucs2_Char** surface, dvk_ucs2_Char** spoken)
{
    const dvk_ucs2_Char* text = nullptr;
    const dvk_ucs2_Char* pronunciation = nullptr;
    if (iterator != 0)
        dvk_dkapi_pfl_getEntry(static_cast<int32_t>(iterator), &text, &pronunciation);
    copyPair(text, pronunciation, surface, spoken);
}

void phraseList_freeEntry(dvk_constraints_WordClass* wordClass, dvk_ucs2_Char** surface,
                          dvk_ucs2_Char** spoken)
{
    freeCopiedEntry(wordClass, surface, spoken);
}

// Class ids: 1 and 66 are the utterance boundaries.
enum ClassId : uint32_t {
    k_CONSTRAINT_CLASS_START = 1,
    k_lastNumber = 2,
    k_playlistType = 3,
    k_nameLabelFill = 4,
    k_digits1 = 5,
    k_play = 6,
    k_digits2 = 7,
    k_redial = 8,
    k_callDigitsFill = 9,
    k_searchRaz = 10,
    k_messageType = 11,
    k_songType = 12,
    k_helpTopicList = 13,
    k_albumType = 14,
    k_names = 15,
    k_checkItemFill = 16,
    k_turnServiceOnOff = 17,
    k_simplePlaylist = 18,
    k_msgDigitsFill = 19,
    k_topLevelGoTo = 20,
    k_check = 21,
    k_yesno = 22,
    k_album = 23,
    k_turnDrivingModeOn = 24,
    k_playlist = 25,
    k_changeMode = 26,
    k_group = 27,
    k_goTo = 28,
    k_msgNameFill = 29,
    k_playSongByArtistFill = 30,
    k_callNameFill = 31,
    k_sendText = 32,
    k_help = 33,
    k_alwaysAvailableRAZ = 34,
    k_alwaysAvailable = 35,
    k_call = 36,
    k_location = 37,
    k_auxNames = 38,
    k_lookup = 39,
    k_email = 40,
    k_voiceMail = 41,
    k_surpriseMe = 42,
    k_helpMeWith = 43,
    k_sendType = 44,
    k_gotoCalOptsRaz = 45,
    k_song = 46,
    k_alwaysAvailableNoPenaltyRAZ = 47,
    k_goToApplist = 48,
    k_lookupRaz = 49,
    k_sendMessage = 50,
    k_lookupNameFill = 51,
    k_artistType = 52,
    k_turnDrivingModeOff = 53,
    k_fn = 54,
    k_checkItemRaz = 55,
    k_nextCmd = 56,
    k_checkItem = 57,
    k_extension = 58,
    k_artist = 59,
    k_labelFill = 60,
    k_dkapiPfl = 61,
    k_modeList = 62,
    k_plus = 63,
    k_lookupActionRaz = 64,
    k_myCarrier = 65,
    k_CONSTRAINT_CLASS_END = 66,
};

const int32_t lastNumber_ids[] = {24};
const int32_t playlistType_ids[] = {47};
const int32_t nameLabelFill_ids[] = {38};
const int32_t callDigitsFill_ids[] = {6};
const int32_t messageType_ids[] = {79, 80, 44, 45, 92, 93, 94, 96};
const int32_t messageType_features[] = {4, 4, 7, 7, 8, 8, 9, 9};
const int32_t songType_ids[] = {74};
const int32_t albumType_ids[] = {0};
const int32_t checkItemFill_ids[] = {11};
const int32_t turnServiceOnOff_ids[] = {88, 85, 89, 86, 90, 87};
const int32_t turnServiceOnOff_features[] = {44, 44, 45, 45, 46, 46};
const int32_t msgDigitsFill_ids[] = {33};
const int32_t yesno_ids[] = {100, 41};
const int32_t msgNameFill_ids[] = {34};
const int32_t playSongByArtistFill_ids[] = {48};
const int32_t callNameFill_ids[] = {7};
const int32_t alwaysAvailableRAZ_ids[] = {2, 53, 8, 55, 16};
const int32_t alwaysAvailable_ids[] = {2, 53, 8, 55, 16, 20, 91, 82, 75, 54, 77};
const int32_t voiceMail_ids[] = {95};
const int32_t gotoCalOptsRaz_ids[] = {672, 678};
const int32_t alwaysAvailableNoPenaltyRAZ_ids[] = {22, 50};
const int32_t lookupNameFill_ids[] = {26};
const int32_t artistType_ids[] = {1};
const int32_t checkItemRaz_ids[] = {76, 43, 95, 28, 30, 81, 71, 70, 4, 99, 3, 29, 42, 35};
const int32_t checkItemRaz_features[] = {68, 29, 30, 31, 32, 33, 34, 35, 37, 39, 40, 41, 42, 38};
const int32_t nextCmd_ids[] = {32};
const int32_t checkItem_ids[] = {76, 43, 95, 28, 30, 81, 71, 70, 39, 4, 36, 99};
const int32_t checkItem_features[] = {68, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39};
const int32_t extension_ids[] = {17};
const int32_t labelFill_ids[] = {23};
const int32_t lookupActionRaz_ids[] = {671, 678, 676, 674, 675, 673, 672, 677};
const int32_t lookupActionRaz_features[] = {18, 19, 21, 21, 22, 22, 20, 20};

// By class id; empty for classes whose members come from elsewhere.
const StringList kStringLists[67] = {
    {nullptr, nullptr, 0},
    {nullptr, nullptr, 0},  // _CONSTRAINT_CLASS_START
    {lastNumber_ids, nullptr, 1},  // lastNumber
    {playlistType_ids, nullptr, 1},  // playlistType
    {nameLabelFill_ids, nullptr, 1},  // nameLabelFill
    {nullptr, nullptr, 0},  // digits1
    {nullptr, nullptr, 0},  // play
    {nullptr, nullptr, 0},  // digits2
    {nullptr, nullptr, 0},  // redial
    {callDigitsFill_ids, nullptr, 1},  // callDigitsFill
    {nullptr, nullptr, 0},  // searchRaz
    {messageType_ids, messageType_features, 8},  // messageType
    {songType_ids, nullptr, 1},  // songType
    {nullptr, nullptr, 0},  // helpTopicList
    {albumType_ids, nullptr, 1},  // albumType
    {nullptr, nullptr, 0},  // names
    {checkItemFill_ids, nullptr, 1},  // checkItemFill
    {turnServiceOnOff_ids, turnServiceOnOff_features, 6},  // turnServiceOnOff
    {nullptr, nullptr, 0},  // simplePlaylist
    {msgDigitsFill_ids, nullptr, 1},  // msgDigitsFill
    {nullptr, nullptr, 0},  // topLevelGoTo
    {nullptr, nullptr, 0},  // check
    {yesno_ids, nullptr, 2},  // yesno
    {nullptr, nullptr, 0},  // album
    {nullptr, nullptr, 0},  // turnDrivingModeOn
    {nullptr, nullptr, 0},  // playlist
    {nullptr, nullptr, 0},  // changeMode
    {nullptr, nullptr, 0},  // group
    {nullptr, nullptr, 0},  // goTo
    {msgNameFill_ids, nullptr, 1},  // msgNameFill
    {playSongByArtistFill_ids, nullptr, 1},  // playSongByArtistFill
    {callNameFill_ids, nullptr, 1},  // callNameFill
    {nullptr, nullptr, 0},  // sendText
    {nullptr, nullptr, 0},  // help
    {alwaysAvailableRAZ_ids, nullptr, 5},  // alwaysAvailableRAZ
    {alwaysAvailable_ids, nullptr, 11},  // alwaysAvailable
    {nullptr, nullptr, 0},  // call
    {nullptr, nullptr, 0},  // location
    {nullptr, nullptr, 0},  // auxNames
    {nullptr, nullptr, 0},  // lookup
    {nullptr, nullptr, 0},  // email
    {voiceMail_ids, nullptr, 1},  // voiceMail
    {nullptr, nullptr, 0},  // surpriseMe
    {nullptr, nullptr, 0},  // helpMeWith
    {nullptr, nullptr, 0},  // sendType
    {gotoCalOptsRaz_ids, nullptr, 2},  // gotoCalOptsRaz
    {nullptr, nullptr, 0},  // song
    {alwaysAvailableNoPenaltyRAZ_ids, nullptr, 2},  // alwaysAvailableNoPenaltyRAZ
    {nullptr, nullptr, 0},  // goToApplist
    {nullptr, nullptr, 0},  // lookupRaz
    {nullptr, nullptr, 0},  // sendMessage
    {lookupNameFill_ids, nullptr, 1},  // lookupNameFill
    {artistType_ids, nullptr, 1},  // artistType
    {nullptr, nullptr, 0},  // turnDrivingModeOff
    {nullptr, nullptr, 0},  // fn
    {checkItemRaz_ids, checkItemRaz_features, 14},  // checkItemRaz
    {nextCmd_ids, nullptr, 1},  // nextCmd
    {checkItem_ids, checkItem_features, 12},  // checkItem
    {extension_ids, nullptr, 1},  // extension
    {nullptr, nullptr, 0},  // artist
    {labelFill_ids, nullptr, 1},  // labelFill
    {nullptr, nullptr, 0},  // dkapiPfl
    {nullptr, nullptr, 0},  // modeList
    {nullptr, nullptr, 0},  // plus
    {lookupActionRaz_ids, lookupActionRaz_features, 8},  // lookupActionRaz
    {nullptr, nullptr, 0},  // myCarrier
    {nullptr, nullptr, 0},  // _CONSTRAINT_CLASS_END
};

#define CLASS(name, source, rebuild, type, provider, noSeparator, key)                           \
    {name, source##_getFirst, source##_getEntry, source##_freeEntry, source##_getNext, rebuild,   \
     type, provider, noSeparator, key, nullptr}

dvk_constraints_WordClass s_classes[67] = {
    {},
    CLASS("_CONSTRAINT_CLASS_START", model, 0, 1, 0, 1, 7),
    CLASS("lastNumber", strings, 0, 1, 0, 0, 14),
    CLASS("playlistType", strings, 0, 1, 0, 0, 22),
    CLASS("nameLabelFill", strings, 0, 1, 0, 0, 7),
    CLASS("digits1", digits, 0, 1, 0, 1, 6),
    CLASS("play", model, 0, 1, 0, 0, 9),
    CLASS("digits2", digits, 0, 1, 0, 1, 6),
    CLASS("redial", model, 0, 1, 0, 0, 9),
    CLASS("callDigitsFill", strings, 0, 1, 0, 0, 7),
    CLASS("searchRaz", model, 0, 1, 0, 0, 9),
    CLASS("messageType", strings, 0, 1, 0, 0, 17),
    CLASS("songType", strings, 0, 1, 0, 0, 22),
    CLASS("helpTopicList", helpTopics, 1, 1, 1, 0, 13),
    CLASS("albumType", strings, 0, 1, 0, 0, 22),
    CLASS("names", contacts, 0, 0, 1, 0, 20),
    CLASS("checkItemFill", strings, 0, 1, 0, 0, 7),
    CLASS("turnServiceOnOff", strings, 0, 1, 0, 0, 9),
    CLASS("simplePlaylist", playlists, 1, 1, 1, 0, 23),
    CLASS("msgDigitsFill", strings, 0, 1, 0, 0, 7),
    CLASS("topLevelGoTo", model, 0, 1, 0, 0, 9),
    CLASS("check", model, 0, 1, 0, 0, 9),
    CLASS("yesno", strings, 0, 1, 0, 0, 26),
    CLASS("album", albums, 0, 2, 1, 0, 1),
    CLASS("turnDrivingModeOn", model, 0, 1, 0, 0, 9),
    CLASS("playlist", playlists, 0, 2, 1, 0, 21),
    CLASS("changeMode", model, 0, 1, 0, 0, 9),
    CLASS("group", groups, 0, 1, 1, 0, 12),
    CLASS("goTo", model, 0, 1, 0, 0, 9),
    CLASS("msgNameFill", strings, 0, 1, 0, 0, 7),
    CLASS("playSongByArtistFill", strings, 0, 1, 0, 0, 7),
    CLASS("callNameFill", strings, 0, 1, 0, 0, 7),
    CLASS("sendText", model, 0, 1, 0, 0, 9),
    CLASS("help", model, 0, 1, 0, 0, 9),
    CLASS("alwaysAvailableRAZ", strings, 0, 1, 0, 0, 3),
    CLASS("alwaysAvailable", strings, 0, 1, 0, 0, 2),
    CLASS("call", model, 0, 1, 0, 0, 9),
    CLASS("location", locations, 0, 1, 1, 0, 15),
    CLASS("auxNames", modifiedContacts, 1, 0, 1, 0, 20),
    CLASS("lookup", model, 0, 1, 0, 0, 9),
    CLASS("email", model, 0, 1, 0, 0, 9),
    CLASS("voiceMail", strings, 0, 1, 0, 0, 25),
    CLASS("surpriseMe", model, 0, 1, 0, 0, 9),
    CLASS("helpMeWith", model, 0, 1, 0, 0, 9),
    CLASS("sendType", model, 0, 1, 0, 0, 9),
    CLASS("gotoCalOptsRaz", strings, 0, 1, 0, 0, 11),
    CLASS("song", songs, 0, 2, 1, 0, 24),
    CLASS("alwaysAvailableNoPenaltyRAZ", strings, 0, 1, 0, 0, 3),
    CLASS("goToApplist", applications, 1, 1, 1, 0, 10),
    CLASS("lookupRaz", model, 0, 1, 0, 0, 9),
    CLASS("sendMessage", model, 0, 1, 0, 0, 9),
    CLASS("lookupNameFill", strings, 0, 1, 0, 0, 7),
    CLASS("artistType", strings, 0, 1, 0, 0, 22),
    CLASS("turnDrivingModeOff", model, 0, 1, 0, 0, 9),
    CLASS("fn", fn, 1, 1, 1, 1, 6),
    CLASS("checkItemRaz", strings, 1, 1, 0, 0, 5),
    CLASS("nextCmd", strings, 0, 1, 0, 0, 19),
    CLASS("checkItem", strings, 1, 1, 0, 0, 5),
    CLASS("extension", strings, 0, 1, 0, 1, 8),
    CLASS("artist", artists, 0, 2, 1, 0, 4),
    CLASS("labelFill", strings, 0, 1, 0, 0, 7),
    CLASS("dkapiPfl", phraseList, 1, 1, 1, 0, 0),
    CLASS("modeList", modes, 1, 1, 1, 0, 18),
    CLASS("plus", plus, 0, 1, 0, 1, 6),
    CLASS("lookupActionRaz", strings, 0, 1, 0, 0, 16),
    CLASS("myCarrier", model, 0, 1, 0, 0, 9),
    CLASS("_CONSTRAINT_CLASS_END", model, 0, 1, 0, 1, 7),
};

#undef CLASS

dvk_constraints_WordClass* wordClassesById[67] = {
    nullptr,
    &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_lastNumber],
    &s_classes[k_playlistType],
    &s_classes[k_nameLabelFill],
    &s_classes[k_digits1],
    &s_classes[k_play],
    &s_classes[k_digits2],
    &s_classes[k_redial],
    &s_classes[k_callDigitsFill],
    &s_classes[k_searchRaz],
    &s_classes[k_messageType],
    &s_classes[k_songType],
    &s_classes[k_helpTopicList],
    &s_classes[k_albumType],
    &s_classes[k_names],
    &s_classes[k_checkItemFill],
    &s_classes[k_turnServiceOnOff],
    &s_classes[k_simplePlaylist],
    &s_classes[k_msgDigitsFill],
    &s_classes[k_topLevelGoTo],
    &s_classes[k_check],
    &s_classes[k_yesno],
    &s_classes[k_album],
    &s_classes[k_turnDrivingModeOn],
    &s_classes[k_playlist],
    &s_classes[k_changeMode],
    &s_classes[k_group],
    &s_classes[k_goTo],
    &s_classes[k_msgNameFill],
    &s_classes[k_playSongByArtistFill],
    &s_classes[k_callNameFill],
    &s_classes[k_sendText],
    &s_classes[k_help],
    &s_classes[k_alwaysAvailableRAZ],
    &s_classes[k_alwaysAvailable],
    &s_classes[k_call],
    &s_classes[k_location],
    &s_classes[k_auxNames],
    &s_classes[k_lookup],
    &s_classes[k_email],
    &s_classes[k_voiceMail],
    &s_classes[k_surpriseMe],
    &s_classes[k_helpMeWith],
    &s_classes[k_sendType],
    &s_classes[k_gotoCalOptsRaz],
    &s_classes[k_song],
    &s_classes[k_alwaysAvailableNoPenaltyRAZ],
    &s_classes[k_goToApplist],
    &s_classes[k_lookupRaz],
    &s_classes[k_sendMessage],
    &s_classes[k_lookupNameFill],
    &s_classes[k_artistType],
    &s_classes[k_turnDrivingModeOff],
    &s_classes[k_fn],
    &s_classes[k_checkItemRaz],
    &s_classes[k_nextCmd],
    &s_classes[k_checkItem],
    &s_classes[k_extension],
    &s_classes[k_artist],
    &s_classes[k_labelFill],
    &s_classes[k_dkapiPfl],
    &s_classes[k_modeList],
    &s_classes[k_plus],
    &s_classes[k_lookupActionRaz],
    &s_classes[k_myCarrier],
    &s_classes[k_CONSTRAINT_CLASS_END],
};

const StringList& stringListOf(const dvk_constraints_WordClass* wordClass)
{
    const ptrdiff_t id = wordClass - s_classes;
    DVK_ASSERT(id >= 1 && id <= 66);
    return kStringLists[id];
}


// Transitions {from class, to class, penalty}, ended by a from of 0. A
// penalty of 15 weighs every way into digits1 but from the digit classes,
// every way out of the digit classes to the end, a song followed by its
// artist, and the always-available commands.
enum : uint32_t { S = k_CONSTRAINT_CLASS_START, E = k_CONSTRAINT_CLASS_END };

// The pieces the larger networks are made of: c is the command class, f the
// filler words that may follow it.
// A contact name, then perhaps its label and location (16 rows).
#define NAME_ROWS(c, f)                                                                            \
    {c, k_names, 0}, {c, k_auxNames, 0}, {c, f, 0}, {c, E, 0}, {f, k_names, 0}, {f, k_auxNames, 0}, \
        {k_names, k_nameLabelFill, 0}, {k_names, k_location, 0}, {k_names, E, 0},                  \
        {k_auxNames, k_nameLabelFill, 0}, {k_auxNames, k_location, 0}, {k_auxNames, E, 0},         \
        {k_nameLabelFill, k_location, 0}, {k_location, k_labelFill, 0}, {k_location, E, 0},        \
        {k_labelFill, E, 0}
// A dialled number, perhaps with "+" (10 rows).
#define DIGIT_ROWS(c, f)                                                                           \
    {c, k_digits1, 15}, {c, k_plus, 0}, {c, f, 0}, {f, k_digits1, 15}, {f, k_plus, 0},            \
        {k_plus, k_digits1, 15}, {k_digits1, k_digits2, 0}, {k_digits2, k_digits1, 0},             \
        {k_digits1, E, 15}, {k_digits2, E, 15}
// A recent-call number (3 rows).
#define RECENT_ROWS(c, f) {c, k_fn, 0}, {f, k_fn, 0}, {k_fn, E, 0}
// A contact group (3 rows).
#define GROUP_ROWS(c, f) {c, k_group, 0}, {f, k_group, 0}, {k_group, E, 0}
// "call" with a name or the voicemail (19 rows).
#define CALL_NAME_ROWS                                                                             \
    {S, k_call, 0}, NAME_ROWS(k_call, k_callNameFill), {k_call, k_voiceMail, 0}, {k_voiceMail, E, 0}
// A name, a number or a recent number after c (33 rows).
#define SEND_ROWS(c)                                                                               \
    {S, c, 0}, NAME_ROWS(c, k_msgNameFill), GROUP_ROWS(c, k_msgNameFill),                          \
        DIGIT_ROWS(c, k_msgDigitsFill), RECENT_ROWS(c, k_msgDigitsFill)
// A song, artist, album or playlist after `from` (10 rows).
#define MUSIC_ROWS(from)                                                                           \
    {from, k_playlist, 0}, {from, k_song, 0}, {from, k_artist, 0}, {from, k_album, 0},             \
        {k_song, k_playSongByArtistFill, 15}, {k_playSongByArtistFill, k_artist, 0},               \
        {k_playlist, E, 0}, {k_song, E, 0}, {k_artist, E, 0}, {k_album, E, 0}
// A command and what may follow it (4 rows).
#define COMMAND_ROWS(c, next) {S, c, 0}, {c, next, 0}, {next, E, 0}, {c, E, 0}
#define BOTH_ROWS(a, b) {S, a, 0}, {S, b, 0}, {a, E, 0}, {b, E, 0}
#define ONE_CLASS_ROWS(c) {S, c, 0}, {c, E, 0}
#define NUMBER_ROWS                                                                                \
    {S, k_digits1, 15}, {S, k_plus, 0}, {k_plus, k_digits1, 15}, {k_digits1, k_digits2, 0},       \
        {k_digits2, k_digits1, 0}, {k_digits1, E, 15}, {k_digits2, E, 15}
#define LOOKUP_ROWS(c)                                                                             \
    {S, c, 0}, {c, k_names, 0}, {c, k_auxNames, 0}, {c, k_lookupNameFill, 0}, {c, E, 0},           \
        {k_lookupNameFill, k_names, 0}, {k_lookupNameFill, k_auxNames, 0}, {k_names, E, 0},        \
        {k_auxNames, E, 0}
#define CHECK_ROWS(item)                                                                           \
    {S, k_check, 0}, {k_check, item, 0}, {k_check, k_checkItemFill, 0}, {k_check, E, 0},           \
        {k_checkItemFill, item, 0}, {item, E, 0}
#define END_ROWS {0, 0, 0}

#define TRANSITIONS(name, ...) const uint32_t name##_transitions[][3] = {__VA_ARGS__, END_ROWS}

TRANSITIONS(callNameOrNumber, CALL_NAME_ROWS, DIGIT_ROWS(k_call, k_callDigitsFill),
            RECENT_ROWS(k_call, k_callDigitsFill));
TRANSITIONS(callOptnlNameNum, CALL_NAME_ROWS, DIGIT_ROWS(k_call, k_callDigitsFill),
            RECENT_ROWS(k_call, k_callDigitsFill), {S, k_names, 0}, {S, k_auxNames, 0},
            {S, k_digits1, 15}, {S, k_plus, 0}, {S, k_fn, 0});
TRANSITIONS(callName, CALL_NAME_ROWS);
TRANSITIONS(callNumber, {S, k_call, 0}, {k_call, E, 0}, DIGIT_ROWS(k_call, k_callDigitsFill),
            RECENT_ROWS(k_call, k_callDigitsFill));
TRANSITIONS(callExtension, {S, k_call, 0}, {k_call, k_callDigitsFill, 0},
            {k_callDigitsFill, k_extension, 0}, {k_call, k_extension, 0},
            {k_extension, k_digits1, 15}, {k_digits1, k_digits1, 0}, {k_digits1, E, 15});
TRANSITIONS(extension, {S, k_extension, 0}, {k_extension, k_digits1, 15}, {k_digits1, k_digits1, 0},
            {k_digits1, E, 15});
TRANSITIONS(send, SEND_ROWS(k_sendType));
TRANSITIONS(sendEmail, {S, k_email, 0}, NAME_ROWS(k_email, k_msgNameFill), {k_email, k_group, 0},
            {k_group, E, 0});
TRANSITIONS(sendTextNameGrp, {S, k_sendText, 0}, NAME_ROWS(k_sendText, k_msgNameFill),
            GROUP_ROWS(k_sendText, k_msgNameFill));
TRANSITIONS(recentCalls, ONE_CLASS_ROWS(k_fn));
TRANSITIONS(lookup, LOOKUP_ROWS(k_lookup));
TRANSITIONS(goTo, COMMAND_ROWS(k_goTo, k_goToApplist));
TRANSITIONS(appList, ONE_CLASS_ROWS(k_goToApplist));
TRANSITIONS(surpriseMe, ONE_CLASS_ROWS(k_surpriseMe));
TRANSITIONS(topLevelGoTo, ONE_CLASS_ROWS(k_topLevelGoTo));
TRANSITIONS(changeMode, COMMAND_ROWS(k_changeMode, k_modeList));
TRANSITIONS(changeModeList, ONE_CLASS_ROWS(k_modeList));
TRANSITIONS(helpMeWith, COMMAND_ROWS(k_helpMeWith, k_helpTopicList));
TRANSITIONS(helpMeWithList, ONE_CLASS_ROWS(k_helpTopicList));
TRANSITIONS(playPlaylist, COMMAND_ROWS(k_play, k_simplePlaylist));
TRANSITIONS(playlist, ONE_CLASS_ROWS(k_simplePlaylist));
// "play", then a category word and its item, or an item at once.
TRANSITIONS(playMusic, {S, k_play, 0}, {k_play, E, 0}, MUSIC_ROWS(k_play),
            {k_play, k_playlistType, 0}, {k_playlistType, k_playlist, 0}, {k_playlistType, E, 0},
            {k_play, k_songType, 0}, {k_songType, k_song, 0}, {k_songType, E, 0},
            {k_play, k_artistType, 0}, {k_artistType, k_artist, 0}, {k_artistType, E, 0},
            {k_play, k_albumType, 0}, {k_albumType, k_album, 0}, {k_albumType, E, 0},
            {k_play, k_playSongByArtistFill, 0}, {k_songType, k_playSongByArtistFill, 0},
            {k_song, k_artist, 0}, {k_album, k_artist, 0});
TRANSITIONS(music, MUSIC_ROWS(S));
TRANSITIONS(playSongOnly, ONE_CLASS_ROWS(k_song));
TRANSITIONS(playArtistOnly, ONE_CLASS_ROWS(k_artist));
TRANSITIONS(playAlbumOnly, ONE_CLASS_ROWS(k_album));
TRANSITIONS(playPlaylistOnly, ONE_CLASS_ROWS(k_playlist));
TRANSITIONS(check, CHECK_ROWS(k_checkItem));
TRANSITIONS(checkRaz, CHECK_ROWS(k_checkItemRaz));
TRANSITIONS(searchRaz, ONE_CLASS_ROWS(k_searchRaz));
TRANSITIONS(checkItemList, ONE_CLASS_ROWS(k_checkItem));
TRANSITIONS(checkItemListRaz, ONE_CLASS_ROWS(k_checkItemRaz));
TRANSITIONS(names, BOTH_ROWS(k_names, k_auxNames));
TRANSITIONS(namesLocs, {S, k_names, 0}, {S, k_auxNames, 0}, {k_names, k_nameLabelFill, 0},
            {k_auxNames, k_nameLabelFill, 0}, {k_names, k_location, 0}, {k_auxNames, k_location, 0},
            {k_nameLabelFill, k_location, 0}, {k_location, k_labelFill, 0}, {k_names, E, 0},
            {k_auxNames, E, 0}, {k_location, E, 0}, {k_labelFill, E, 0});
TRANSITIONS(label, {S, k_location, 0}, {k_location, k_labelFill, 0}, {k_labelFill, E, 0},
            {k_location, E, 0});
TRANSITIONS(digits, NUMBER_ROWS);
TRANSITIONS(nextCmd, ONE_CLASS_ROWS(k_nextCmd));
TRANSITIONS(yesno, ONE_CLASS_ROWS(k_yesno));
TRANSITIONS(alwaysAvailable, {S, k_alwaysAvailable, 15}, {k_alwaysAvailable, E, 15});
TRANSITIONS(turnDrvModeOn, ONE_CLASS_ROWS(k_turnDrivingModeOn));
TRANSITIONS(turnDrvModeOff, ONE_CLASS_ROWS(k_turnDrivingModeOff));
TRANSITIONS(enableService, ONE_CLASS_ROWS(k_turnServiceOnOff));
TRANSITIONS(voiceMailGen, ONE_CLASS_ROWS(k_voiceMail));
TRANSITIONS(myCarrier, ONE_CLASS_ROWS(k_myCarrier));
TRANSITIONS(redial, ONE_CLASS_ROWS(k_redial));
TRANSITIONS(help, ONE_CLASS_ROWS(k_help));
TRANSITIONS(groups, ONE_CLASS_ROWS(k_group));
TRANSITIONS(alwaysAvailRaz, {S, k_alwaysAvailableRAZ, 15}, {k_alwaysAvailableRAZ, E, 15},
            {S, k_alwaysAvailableNoPenaltyRAZ, 0}, {k_alwaysAvailableNoPenaltyRAZ, E, 0});
TRANSITIONS(messageTypeRaz, ONE_CLASS_ROWS(k_messageType));
// As send, with the message type between the command and what follows it.
TRANSITIONS(sendRaz, SEND_ROWS(k_sendMessage), {k_sendMessage, k_messageType, 0},
            {k_messageType, k_names, 0}, {k_messageType, k_auxNames, 0},
            {k_messageType, k_msgNameFill, 0}, {k_messageType, E, 0}, {k_messageType, k_group, 0},
            {k_messageType, k_digits1, 15}, {k_messageType, k_plus, 0},
            {k_messageType, k_msgDigitsFill, 0}, {k_messageType, k_fn, 0});
TRANSITIONS(callNameOrNbrRaz, CALL_NAME_ROWS, DIGIT_ROWS(k_call, k_callDigitsFill),
            RECENT_ROWS(k_call, k_callDigitsFill), {k_call, k_lastNumber, 0}, {k_lastNumber, E, 0});
TRANSITIONS(callNameRaz, CALL_NAME_ROWS, {k_call, k_lastNumber, 0}, {k_lastNumber, E, 0});
TRANSITIONS(lookupRaz, LOOKUP_ROWS(k_lookupRaz));
TRANSITIONS(lookupActionRaz, ONE_CLASS_ROWS(k_lookupActionRaz));
TRANSITIONS(lastNumOrVMRaz, BOTH_ROWS(k_lastNumber, k_voiceMail));
TRANSITIONS(gotoCalOptsRaz, ONE_CLASS_ROWS(k_gotoCalOptsRaz));
TRANSITIONS(dkapiPfl, ONE_CLASS_ROWS(k_dkapiPfl));
TRANSITIONS(dkapiNames, BOTH_ROWS(k_names, k_auxNames));
TRANSITIONS(dkapiPhoneNbr, NUMBER_ROWS);
TRANSITIONS(dkapiDigits, {S, k_digits1, 15}, {k_digits1, k_digits1, 0}, {k_digits1, E, 15});
TRANSITIONS(dkapiSong, ONE_CLASS_ROWS(k_song));
TRANSITIONS(dkapiArtist, ONE_CLASS_ROWS(k_artist));
TRANSITIONS(dkapiAlbum, ONE_CLASS_ROWS(k_album));
TRANSITIONS(dkapiPlaylist, ONE_CLASS_ROWS(k_playlist));
TRANSITIONS(dkapiMusicSimple, ONE_CLASS_ROWS(k_simplePlaylist));
TRANSITIONS(dkapiMusic, MUSIC_ROWS(S));

#undef TRANSITIONS
#undef END_ROWS
#undef CHECK_ROWS
#undef LOOKUP_ROWS
#undef NUMBER_ROWS
#undef ONE_CLASS_ROWS
#undef BOTH_ROWS
#undef COMMAND_ROWS
#undef MUSIC_ROWS
#undef SEND_ROWS
#undef CALL_NAME_ROWS
#undef GROUP_ROWS
#undef RECENT_ROWS
#undef DIGIT_ROWS
#undef NAME_ROWS

// Each constraint's classes: the two boundaries, then its own.
dvk_constraints_WordClass* callNameOrNumber_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_auxNames], &s_classes[k_call], &s_classes[k_callDigitsFill],
    &s_classes[k_callNameFill], &s_classes[k_digits1], &s_classes[k_digits2], &s_classes[k_fn],
    &s_classes[k_labelFill], &s_classes[k_location], &s_classes[k_nameLabelFill],
    &s_classes[k_names], &s_classes[k_plus], &s_classes[k_voiceMail], nullptr
};
dvk_constraints_WordClass* callOptnlNameNum_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_auxNames], &s_classes[k_call], &s_classes[k_callDigitsFill],
    &s_classes[k_callNameFill], &s_classes[k_digits1], &s_classes[k_digits2], &s_classes[k_fn],
    &s_classes[k_labelFill], &s_classes[k_location], &s_classes[k_nameLabelFill],
    &s_classes[k_names], &s_classes[k_plus], &s_classes[k_voiceMail], nullptr
};
dvk_constraints_WordClass* callName_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_auxNames], &s_classes[k_call], &s_classes[k_callNameFill],
    &s_classes[k_labelFill], &s_classes[k_location], &s_classes[k_nameLabelFill],
    &s_classes[k_names], &s_classes[k_voiceMail], nullptr
};
dvk_constraints_WordClass* callNumber_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START], &s_classes[k_call],
    &s_classes[k_callDigitsFill], &s_classes[k_digits1], &s_classes[k_digits2], &s_classes[k_fn],
    &s_classes[k_plus], nullptr
};
dvk_constraints_WordClass* callExtension_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START], &s_classes[k_call],
    &s_classes[k_callDigitsFill], &s_classes[k_digits1], &s_classes[k_extension], nullptr
};
dvk_constraints_WordClass* extension_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_digits1], &s_classes[k_extension], nullptr
};
dvk_constraints_WordClass* send_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_auxNames], &s_classes[k_digits1], &s_classes[k_digits2], &s_classes[k_fn],
    &s_classes[k_group], &s_classes[k_labelFill], &s_classes[k_location],
    &s_classes[k_msgDigitsFill], &s_classes[k_msgNameFill], &s_classes[k_nameLabelFill],
    &s_classes[k_names], &s_classes[k_plus], &s_classes[k_sendType], nullptr
};
dvk_constraints_WordClass* sendEmail_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_auxNames], &s_classes[k_email], &s_classes[k_group], &s_classes[k_labelFill],
    &s_classes[k_location], &s_classes[k_msgNameFill], &s_classes[k_nameLabelFill],
    &s_classes[k_names], nullptr
};
dvk_constraints_WordClass* sendTextNameGrp_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_auxNames], &s_classes[k_group], &s_classes[k_labelFill], &s_classes[k_location],
    &s_classes[k_msgNameFill], &s_classes[k_nameLabelFill], &s_classes[k_names],
    &s_classes[k_sendText], nullptr
};
dvk_constraints_WordClass* recentCalls_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START], &s_classes[k_fn],
    nullptr
};
dvk_constraints_WordClass* lookup_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_auxNames], &s_classes[k_lookup], &s_classes[k_lookupNameFill],
    &s_classes[k_names], nullptr
};
dvk_constraints_WordClass* goTo_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START], &s_classes[k_goTo],
    &s_classes[k_goToApplist], nullptr
};
dvk_constraints_WordClass* appList_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_goToApplist], nullptr
};
dvk_constraints_WordClass* surpriseMe_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_surpriseMe], nullptr
};
dvk_constraints_WordClass* topLevelGoTo_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_topLevelGoTo], nullptr
};
dvk_constraints_WordClass* changeMode_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_changeMode], &s_classes[k_modeList], nullptr
};
dvk_constraints_WordClass* changeModeList_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_modeList], nullptr
};
dvk_constraints_WordClass* helpMeWith_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_helpMeWith], &s_classes[k_helpTopicList], nullptr
};
dvk_constraints_WordClass* helpMeWithList_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_helpTopicList], nullptr
};
dvk_constraints_WordClass* playPlaylist_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START], &s_classes[k_play],
    &s_classes[k_simplePlaylist], nullptr
};
dvk_constraints_WordClass* playlist_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_simplePlaylist], nullptr
};
dvk_constraints_WordClass* playMusic_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START], &s_classes[k_album],
    &s_classes[k_albumType], &s_classes[k_artist], &s_classes[k_artistType], &s_classes[k_play],
    &s_classes[k_playSongByArtistFill], &s_classes[k_playlist], &s_classes[k_playlistType],
    &s_classes[k_song], &s_classes[k_songType], nullptr
};
dvk_constraints_WordClass* music_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START], &s_classes[k_album],
    &s_classes[k_artist], &s_classes[k_playSongByArtistFill], &s_classes[k_playlist],
    &s_classes[k_song], nullptr
};
dvk_constraints_WordClass* playSongOnly_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START], &s_classes[k_song],
    nullptr
};
dvk_constraints_WordClass* playArtistOnly_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START], &s_classes[k_artist],
    nullptr
};
dvk_constraints_WordClass* playAlbumOnly_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START], &s_classes[k_album],
    nullptr
};
dvk_constraints_WordClass* playPlaylistOnly_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_playlist], nullptr
};
dvk_constraints_WordClass* check_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START], &s_classes[k_check],
    &s_classes[k_checkItem], &s_classes[k_checkItemFill], nullptr
};
dvk_constraints_WordClass* checkRaz_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START], &s_classes[k_check],
    &s_classes[k_checkItemFill], &s_classes[k_checkItemRaz], nullptr
};
dvk_constraints_WordClass* searchRaz_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_searchRaz], nullptr
};
dvk_constraints_WordClass* checkItemList_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_checkItem], nullptr
};
dvk_constraints_WordClass* checkItemListRaz_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_checkItemRaz], nullptr
};
dvk_constraints_WordClass* names_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_auxNames], &s_classes[k_names], nullptr
};
dvk_constraints_WordClass* namesLocs_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_auxNames], &s_classes[k_labelFill], &s_classes[k_location],
    &s_classes[k_nameLabelFill], &s_classes[k_names], nullptr
};
dvk_constraints_WordClass* label_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_labelFill], &s_classes[k_location], nullptr
};
dvk_constraints_WordClass* digits_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_digits1], &s_classes[k_digits2], &s_classes[k_plus], nullptr
};
dvk_constraints_WordClass* nextCmd_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_nextCmd], nullptr
};
dvk_constraints_WordClass* yesno_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START], &s_classes[k_yesno],
    nullptr
};
dvk_constraints_WordClass* alwaysAvailable_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_alwaysAvailable], nullptr
};
dvk_constraints_WordClass* turnDrvModeOn_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_turnDrivingModeOn], nullptr
};
dvk_constraints_WordClass* turnDrvModeOff_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_turnDrivingModeOff], nullptr
};
dvk_constraints_WordClass* enableService_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_turnServiceOnOff], nullptr
};
dvk_constraints_WordClass* voiceMailGen_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_voiceMail], nullptr
};
dvk_constraints_WordClass* myCarrier_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_myCarrier], nullptr
};
dvk_constraints_WordClass* redial_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START], &s_classes[k_redial],
    nullptr
};
dvk_constraints_WordClass* help_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START], &s_classes[k_help],
    nullptr
};
dvk_constraints_WordClass* groups_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START], &s_classes[k_group],
    nullptr
};
dvk_constraints_WordClass* alwaysAvailRaz_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_alwaysAvailableNoPenaltyRAZ], &s_classes[k_alwaysAvailableRAZ], nullptr
};
dvk_constraints_WordClass* messageTypeRaz_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_messageType], nullptr
};
dvk_constraints_WordClass* sendRaz_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_auxNames], &s_classes[k_digits1], &s_classes[k_digits2], &s_classes[k_fn],
    &s_classes[k_group], &s_classes[k_labelFill], &s_classes[k_location],
    &s_classes[k_messageType], &s_classes[k_msgDigitsFill], &s_classes[k_msgNameFill],
    &s_classes[k_nameLabelFill], &s_classes[k_names], &s_classes[k_plus],
    &s_classes[k_sendMessage], nullptr
};
dvk_constraints_WordClass* callNameOrNbrRaz_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_auxNames], &s_classes[k_call], &s_classes[k_callDigitsFill],
    &s_classes[k_callNameFill], &s_classes[k_digits1], &s_classes[k_digits2], &s_classes[k_fn],
    &s_classes[k_labelFill], &s_classes[k_lastNumber], &s_classes[k_location],
    &s_classes[k_nameLabelFill], &s_classes[k_names], &s_classes[k_plus], &s_classes[k_voiceMail],
    nullptr
};
dvk_constraints_WordClass* callNameRaz_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_auxNames], &s_classes[k_call], &s_classes[k_callNameFill],
    &s_classes[k_labelFill], &s_classes[k_lastNumber], &s_classes[k_location],
    &s_classes[k_nameLabelFill], &s_classes[k_names], &s_classes[k_voiceMail], nullptr
};
dvk_constraints_WordClass* lookupRaz_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_auxNames], &s_classes[k_lookupNameFill], &s_classes[k_lookupRaz],
    &s_classes[k_names], nullptr
};
dvk_constraints_WordClass* lookupActionRaz_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_lookupActionRaz], nullptr
};
dvk_constraints_WordClass* lastNumOrVMRaz_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_lastNumber], &s_classes[k_voiceMail], nullptr
};
dvk_constraints_WordClass* gotoCalOptsRaz_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_gotoCalOptsRaz], nullptr
};
dvk_constraints_WordClass* dkapiPfl_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_dkapiPfl], nullptr
};
dvk_constraints_WordClass* dkapiNames_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_auxNames], &s_classes[k_names], nullptr
};
dvk_constraints_WordClass* dkapiPhoneNbr_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_digits1], &s_classes[k_digits2], &s_classes[k_plus], nullptr
};
dvk_constraints_WordClass* dkapiDigits_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_digits1], nullptr
};
dvk_constraints_WordClass* dkapiSong_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START], &s_classes[k_song],
    nullptr
};
dvk_constraints_WordClass* dkapiArtist_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START], &s_classes[k_artist],
    nullptr
};
dvk_constraints_WordClass* dkapiAlbum_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START], &s_classes[k_album],
    nullptr
};
dvk_constraints_WordClass* dkapiPlaylist_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_playlist], nullptr
};
dvk_constraints_WordClass* dkapiMusicSimple_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START],
    &s_classes[k_simplePlaylist], nullptr
};
dvk_constraints_WordClass* dkapiMusic_classes[] = {
    &s_classes[k_CONSTRAINT_CLASS_END], &s_classes[k_CONSTRAINT_CLASS_START], &s_classes[k_album],
    &s_classes[k_artist], &s_classes[k_playSongByArtistFill], &s_classes[k_playlist],
    &s_classes[k_song], nullptr
};

} // namespace

#define CONSTRAINT(id, name, rules, rebuild)                                                      \
    dvk_constraints_Constraint name##_constraint = {id, #name, name##_classes, name##_transitions, \
                                                    rules, rebuild, 1, 0, nullptr}

CONSTRAINT(0, callNameOrNumber, dvk_constraints_getDigitRules, 0);
CONSTRAINT(1, callOptnlNameNum, dvk_constraints_getDigitRules, 0);
CONSTRAINT(2, callName, nullptr, 0);
CONSTRAINT(3, callNumber, dvk_constraints_getDigitRules, 0);
CONSTRAINT(4, callExtension, dvk_constraints_getExtensionRules, 0);
CONSTRAINT(5, extension, dvk_constraints_getExtensionRules, 0);
CONSTRAINT(6, send, dvk_constraints_getDigitRules, 0);
CONSTRAINT(7, sendEmail, dvk_constraints_getDigitRules, 0);
CONSTRAINT(8, sendTextNameGrp, nullptr, 0);
CONSTRAINT(9, recentCalls, dvk_constraints_getDigitRules, 0);
CONSTRAINT(10, lookup, nullptr, 0);
CONSTRAINT(11, goTo, nullptr, 0);
CONSTRAINT(12, appList, nullptr, 0);
CONSTRAINT(13, surpriseMe, nullptr, 0);
CONSTRAINT(14, topLevelGoTo, nullptr, 0);
CONSTRAINT(15, changeMode, nullptr, 0);
CONSTRAINT(16, changeModeList, nullptr, 0);
CONSTRAINT(17, helpMeWith, nullptr, 0);
CONSTRAINT(18, helpMeWithList, nullptr, 0);
CONSTRAINT(19, playPlaylist, nullptr, 0);
CONSTRAINT(20, playlist, nullptr, 0);
CONSTRAINT(21, playMusic, nullptr, 0);
CONSTRAINT(22, music, nullptr, 0);
CONSTRAINT(23, playSongOnly, nullptr, 0);
CONSTRAINT(24, playArtistOnly, nullptr, 0);
CONSTRAINT(25, playAlbumOnly, nullptr, 0);
CONSTRAINT(26, playPlaylistOnly, nullptr, 0);
CONSTRAINT(27, check, nullptr, 0);
CONSTRAINT(28, checkRaz, nullptr, 0);
CONSTRAINT(29, searchRaz, nullptr, 0);
CONSTRAINT(30, checkItemList, nullptr, 0);
CONSTRAINT(31, checkItemListRaz, nullptr, 0);
CONSTRAINT(32, names, nullptr, 0);
CONSTRAINT(33, namesLocs, nullptr, 0);
CONSTRAINT(34, label, nullptr, 0);
CONSTRAINT(35, digits, dvk_constraints_getDigitRules, 0);
CONSTRAINT(36, nextCmd, nullptr, 0);
CONSTRAINT(37, yesno, nullptr, 0);
CONSTRAINT(38, alwaysAvailable, nullptr, 0);
CONSTRAINT(39, turnDrvModeOn, nullptr, 0);
CONSTRAINT(40, turnDrvModeOff, nullptr, 0);
CONSTRAINT(41, enableService, nullptr, 0);
CONSTRAINT(42, voiceMailGen, nullptr, 0);
CONSTRAINT(43, myCarrier, nullptr, 0);
CONSTRAINT(44, redial, nullptr, 0);
CONSTRAINT(45, help, nullptr, 0);
CONSTRAINT(46, groups, nullptr, 0);
CONSTRAINT(47, alwaysAvailRaz, nullptr, 0);
CONSTRAINT(48, messageTypeRaz, nullptr, 0);
CONSTRAINT(49, sendRaz, dvk_constraints_getDigitRules, 0);
CONSTRAINT(50, callNameOrNbrRaz, dvk_constraints_getDigitRules, 0);
CONSTRAINT(51, callNameRaz, nullptr, 0);
CONSTRAINT(52, lookupRaz, nullptr, 0);
CONSTRAINT(53, lookupActionRaz, nullptr, 0);
CONSTRAINT(54, lastNumOrVMRaz, nullptr, 0);
CONSTRAINT(55, gotoCalOptsRaz, nullptr, 0);
CONSTRAINT(56, dkapiPfl, nullptr, 1);
CONSTRAINT(57, dkapiNames, nullptr, 0);
CONSTRAINT(58, dkapiPhoneNbr, dvk_constraints_getDigitRules, 0);
CONSTRAINT(59, dkapiDigits, dvk_constraints_getDkapiDigitsRules, 0);
CONSTRAINT(60, dkapiSong, nullptr, 0);
CONSTRAINT(61, dkapiArtist, nullptr, 0);
CONSTRAINT(62, dkapiAlbum, nullptr, 0);
CONSTRAINT(63, dkapiPlaylist, nullptr, 0);
CONSTRAINT(64, dkapiMusicSimple, nullptr, 0);
CONSTRAINT(65, dkapiMusic, nullptr, 0);

#undef CONSTRAINT

namespace {

dvk_constraints_Constraint* constraintList[67] = {
    &callNameOrNumber_constraint,
    &callOptnlNameNum_constraint,
    &callName_constraint,
    &callNumber_constraint,
    &callExtension_constraint,
    &extension_constraint,
    &send_constraint,
    &sendEmail_constraint,
    &sendTextNameGrp_constraint,
    &recentCalls_constraint,
    &lookup_constraint,
    &goTo_constraint,
    &appList_constraint,
    &surpriseMe_constraint,
    &topLevelGoTo_constraint,
    &changeMode_constraint,
    &changeModeList_constraint,
    &helpMeWith_constraint,
    &helpMeWithList_constraint,
    &playPlaylist_constraint,
    &playlist_constraint,
    &playMusic_constraint,
    &music_constraint,
    &playSongOnly_constraint,
    &playArtistOnly_constraint,
    &playAlbumOnly_constraint,
    &playPlaylistOnly_constraint,
    &check_constraint,
    &checkRaz_constraint,
    &searchRaz_constraint,
    &checkItemList_constraint,
    &checkItemListRaz_constraint,
    &names_constraint,
    &namesLocs_constraint,
    &label_constraint,
    &digits_constraint,
    &nextCmd_constraint,
    &yesno_constraint,
    &alwaysAvailable_constraint,
    &turnDrvModeOn_constraint,
    &turnDrvModeOff_constraint,
    &enableService_constraint,
    &voiceMailGen_constraint,
    &myCarrier_constraint,
    &redial_constraint,
    &help_constraint,
    &groups_constraint,
    &alwaysAvailRaz_constraint,
    &messageTypeRaz_constraint,
    &sendRaz_constraint,
    &callNameOrNbrRaz_constraint,
    &callNameRaz_constraint,
    &lookupRaz_constraint,
    &lookupActionRaz_constraint,
    &lastNumOrVMRaz_constraint,
    &gotoCalOptsRaz_constraint,
    &dkapiPfl_constraint,
    &dkapiNames_constraint,
    &dkapiPhoneNbr_constraint,
    &dkapiDigits_constraint,
    &dkapiSong_constraint,
    &dkapiArtist_constraint,
    &dkapiAlbum_constraint,
    &dkapiPlaylist_constraint,
    &dkapiMusicSimple_constraint,
    &dkapiMusic_constraint,
    nullptr,
};

} // namespace

dvk_constraints_WordClass** dvk_constraints_getWordClassList()
{
    return wordClassesById;
}

dvk_constraints_Constraint** dvk_constraints_getConstraintList()
{
    return constraintList;
}

dvk_constraints_WordClass* getWordClassFromId(uint32_t id)
{
    DVK_ASSERT(id >= 1 && id <= 66);
    return wordClassesById[id];
}

namespace {

typedef uint32_t Triple[3];

const Triple* triplesOf(const dvk_constraints_Constraint* constraint)
{
    return static_cast<const Triple*>(constraint->transitions);
}

int32_t staticCount(const dvk_constraints_Constraint* constraint)
{
    int32_t n = 0;
    while (triplesOf(constraint)[n][0] != 0)
        ++n;
    return n;
}

const uint32_t* staticTriple(const dvk_constraints_Constraint* constraint, int32_t iterator)
{
    DVK_ASSERT(iterator >= 1 && iterator <= staticCount(constraint));
    return triplesOf(constraint)[iterator - 1];
}

} // namespace

int32_t dvk_constraint_getFirstTransition(const dvk_constraints_Constraint* constraint)
{
    DVK_ASSERT(constraint != DVK_NULL);
    if (constraint->dynamic != 0)
        return dvk_constraints_getDynamicFirstTransition(constraint);
    return triplesOf(constraint)[0][0] != 0 ? 1 : 0;
}

int32_t dvk_constraint_getNextTransition(const dvk_constraints_Constraint* constraint,
                                         int32_t iterator)
{
    DVK_ASSERT(constraint != DVK_NULL);
    if (constraint->dynamic != 0)
        return dvk_constraints_getDynamicNextTransition(constraint, iterator);
    return iterator >= 1 && iterator < staticCount(constraint) ? iterator + 1 : 0;
}

const char* dvk_constraint_getTransitionFrom(const dvk_constraints_Constraint* constraint,
                                             int32_t iterator)
{
    DVK_ASSERT(constraint != DVK_NULL);
    if (constraint->dynamic != 0)
        return dvk_constraints_getDynamicTransitionFrom(constraint, iterator);
    return getWordClassFromId(staticTriple(constraint, iterator)[0])->name;
}

const char* dvk_constraint_getTransitionTo(const dvk_constraints_Constraint* constraint,
                                           int32_t iterator)
{
    DVK_ASSERT(constraint != DVK_NULL);
    if (constraint->dynamic != 0)
        return dvk_constraints_getDynamicTransitionTo(constraint, iterator);
    return getWordClassFromId(staticTriple(constraint, iterator)[1])->name;
}

uint8_t dvk_constraint_getTransitionPenalty(const dvk_constraints_Constraint* constraint,
                                            int32_t iterator)
{
    DVK_ASSERT(constraint != DVK_NULL);
    if (constraint->dynamic != 0)
        return static_cast<uint8_t>(dvk_constraints_getDynamicTransitionPenalty(constraint, iterator));
    return static_cast<uint8_t>(staticTriple(constraint, iterator)[2]);
}

int32_t dvk_constraint_getTransitionCount(const dvk_constraints_Constraint* constraint)
{
    DVK_ASSERT(constraint != DVK_NULL);
    if (constraint->dynamic != 0)
        return dvk_constraints_getDynamicTransitionCount(constraint);
    return staticCount(constraint);
}

namespace {

// The rules that parse a dialled number, one start rule per dialing region.
const dvk_constraints_Rule DialingRules[] = {
    {"6to17", "D{6}"},
    {"6to17", "D{7}"},
    {"6to17", "D{8}"},
    {"6to17", "D{9}"},
    {"6to17", "D{10}"},
    {"6to17", "D{11}"},
    {"6to17", "D{12}"},
    {"6to17", "D{13}"},
    {"6to17", "D{14}"},
    {"6to17", "D{15}"},
    {"6to17", "D{16}"},
    {"6to17", "D{17}"},
    {"5to17", "D{5}"},
    {"5to17", "6to17"},
    {"6to18", "6to17"},
    {"6to18", "D{18}"},
    {"USAAreaCode", "Not01 D{1} Not1"},
    {"USAAreaCode", "Not01 Not1 1"},
    {"USAExchange", "Not01 D{2}"},
    {"USALocal", "D{4}"},
    {"NorthAmericanNumberNoPlus", "1 USAAreaCode USAExchange USALocal"},
    {"NorthAmericanNumberNoPlus", "1 USAExchange USALocal"},
    {"NorthAmericanNumberNoPlus", "USAAreaCode USAExchange USALocal"},
    {"NorthAmericanNumberNoPlus", "USAExchange USALocal"},
    {"NorthAmericanNumberNoPlus", "0 1 1 Not01 5to17"},
    {"NorthAmericanNumberNoPlus", "0 1 1 1 USAAreaCode USAExchange USALocal"},
    {"NorthAmericanNumberNoPlus", "4 1 1"},
    {"NorthAmericanNumberNoPlus", "5 1 1"},
    {"NorthAmericanNumberNoPlus", "6 1 1"},
    {"NorthAmericanNumberPlus", "NorthAmericanNumberNoPlus"},
    {"NorthAmericanNumberPlus", "+ 1 USAAreaCode USAExchange USALocal"},
    {"NorthAmericanNumberPlus", "+ Not01 5to17"},
    {"OtherNumberNoPlus", "6to18"},
    {"OtherNumberPlus", "OtherNumberNoPlus"},
    {"OtherNumberPlus", "+ Not0 5to17"},
    {"KoreanNumber", "D{7}"},
    {"KoreanNumber", "D{8}"},
    {"KoreanNumber", "D{9}"},
    {"KoreanNumber", "D{10}"},
    {"KoreanNumber", "D{11}"},
    {"KoreanNumber", "0 D{4}"},
    {"KoreanNumber", "0 D{5}"},
    {"KoreanNumber", "1 0 0"},
    {"KoreanNumber", "1 0 6"},
    {"KoreanNumber", "1 1 0"},
    {"KoreanNumber", "1 1 4"},
    {"KoreanNumber", "1 1 5"},
    {"KoreanNumber", "1 1 6"},
    {"KoreanNumber", "1 2 0"},
    {"KoreanNumber", "1 2 1"},
    {"KoreanNumber", "1 2 3"},
    {"KoreanNumber", "1 2 8"},
    {"KoreanNumber", "1 3 1"},
    {"KoreanNumber", "1 3 2"},
    {"KoreanNumber", "1 8 2"},
    {"KoreanNumber", "1 8 8"},
    {"KoreanNumber", "1 3 0 0"},
    {"KoreanNumber", "1 3 0 1"},
    {"KoreanNumber", "1 3 3 0"},
    {"KoreanNumber", "1 3 3 1"},
    {"KoreanNumber", "1 3 3 2"},
    {"KoreanNumber", "1 3 3 3"},
    {"KoreanNumber", "1 3 3 6"},
    {"KoreanNumber", "1 3 3 7"},
    {"KoreanNumber", "1 3 3 9"},
    {"KoreanNumber", "1 3 5 5"},
    {"KoreanNumber", "1 3 5 7"},
    {"KoreanNumber", "1 3 6 6"},
    {"KoreanNumber", "1 3 6 9"},
    {"KoreanNumber", "1 3 7 7"},
    {"KoreanNumber", "1 3 8 2"},
    {"KoreanNumber", "1 3 8 8"},
    {"KoreanNumber", "1 3 9 1"},
    {"KoreanNumber", "1 3 9 8"},
    {"KoreanNumber", "1 3 9 9"},
    {"RussianNumber", "8 D{10}"},
    {"RussianNumber", "Not0 D{7}"},
    {"RussianNumber", "Not0 D{6}"},
    {"RussianNumber", "Not0 D{5}"},
    {"RussianNumber", "Not0 D{4}"},
    {"RussianNumber", "0 0 6to18"},
    {"RussianNumber", "+ Not0 6to18"},
    {nullptr, nullptr},
};

// The classes whose words the number rules parse.
const char* const kNumberClasses[] = {"plus", "digits1", "digits2", "fn", nullptr};

dvk_constraints_RuleSet northAmericanPlus = {"NorthAmericanNumberPlus", kNumberClasses, DialingRules};
dvk_constraints_RuleSet northAmericanNoPlus = {"NorthAmericanNumberNoPlus", kNumberClasses,
                                               DialingRules};
dvk_constraints_RuleSet otherPlus = {"OtherNumberPlus", kNumberClasses, DialingRules};
dvk_constraints_RuleSet otherNoPlus = {"OtherNumberNoPlus", kNumberClasses, DialingRules};
dvk_constraints_RuleSet korean = {"KoreanNumber", kNumberClasses, DialingRules};
dvk_constraints_RuleSet russian = {"RussianNumber", kNumberClasses, DialingRules};

enum : int32_t { kDigitFeaturePlus = 58, kDigitFeatureExtension = 3, kMaxDigits = 16 };

const dvk_constraints_Rule digitRules[kMaxDigits] = {
    {"digit_rule", "D{1}"},  {"digit_rule", "D{2}"},  {"digit_rule", "D{3}"},
    {"digit_rule", "D{4}"},  {"digit_rule", "D{5}"},  {"digit_rule", "D{6}"},
    {"digit_rule", "D{7}"},  {"digit_rule", "D{8}"},  {"digit_rule", "D{9}"},
    {"digit_rule", "D{10}"}, {"digit_rule", "D{11}"}, {"digit_rule", "D{12}"},
    {"digit_rule", "D{13}"}, {"digit_rule", "D{14}"}, {"digit_rule", "D{15}"},
    {"digit_rule", "D{16}"},
};

// One buffer for the variable-length rule, rebuilt by each provider call.
dvk_constraints_Rule s_variableRules[kMaxDigits + 1];
dvk_constraints_RuleSet s_variableRuleSet = {"digit_rule", kNumberClasses, s_variableRules};

int32_t clampDigits(int32_t count, const char* what)
{
    if (count >= 1 && count <= kMaxDigits)
        return count;
    const int32_t clamped = count < 1 ? 1 : kMaxDigits;
    s_log.log(WexLogWarning, "%s: %s digit count %d taken as %d", __func__, what, count, clamped);
    return clamped;
}

// "digit_rule": exactly minimum .. maximum digits. Counts the table cannot
// hold are brought into 1..16; none when nothing is left between them.
dvk_constraints_RuleSet* generateVariableDigitLenRule(int32_t minimum, int32_t maximum)
{
    minimum = clampDigits(minimum, "minimum");
    maximum = clampDigits(maximum, "maximum");
    if (minimum > maximum) {
        s_log.log(WexLogWarning, "%s: minimum %d above maximum %d: no digit rule", __func__, minimum,
                  maximum);
        return nullptr;
    }
    int32_t n = 0;
    for (int32_t length = minimum; length <= maximum; ++length)
        s_variableRules[n++] = digitRules[length - 1];
    s_variableRules[n] = {nullptr, nullptr};
    return &s_variableRuleSet;
}

} // namespace

dvk_constraints_RuleSet* dvk_constraints_getDigitRules()
{
    const bool plus = dvk_settings_isFeatureEnabled(kDigitFeaturePlus) != 0;
    switch (dvk_settings_getDialingRegion()) {
    case 0:
        return plus ? &northAmericanPlus : &northAmericanNoPlus;
    case 1:
        return plus ? &otherPlus : &otherNoPlus;
    case 2:
        return &korean;
    case 3:
        return &russian;
    default:
        return nullptr;
    }
}

dvk_constraints_RuleSet* dvk_constraints_getExtensionRules()
{
    if (dvk_settings_isFeatureEnabled(kDigitFeatureExtension) == 0)
        return nullptr;
    int32_t minimum = 0, maximum = 0;
    dvk_settings_getCallExtensionDigitLen(&minimum, &maximum);
    return generateVariableDigitLenRule(minimum, maximum);
}

dvk_constraints_RuleSet* dvk_constraints_getDkapiDigitsRules()
{
    int32_t minimum = 0, maximum = 0;
    dvk_dkapi_getDigitRecogLen(&minimum, &maximum);
    if (minimum == 0 || maximum == 0)
        return nullptr;
    return generateVariableDigitLenRule(minimum, maximum);
}
