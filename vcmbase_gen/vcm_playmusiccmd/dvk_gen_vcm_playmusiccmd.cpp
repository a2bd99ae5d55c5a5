// "vcm_playMusicCmd": turns a play command into what to play. It gathers up
// to four candidates from the recogniser's results, checked against the
// music library, merges titles several artists share, and plays a single
// one or has the user confirm (or say the music's name when only a category
// was said). The confirmation comes back here with the chosen index.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"
#include "vcmbase_gen/vcm_playmusiccmd/dvk_gen_vcm_playresults.h"

#include "core/nbest/dvk_nbest.h"
#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_mem.h"
#include "sdk/common/dvk_settings.h"

namespace {

const char kUnit[] = "vcmbase_gen/vcm_playmusiccmd/dvk_gen_vcm_playmusiccmd";

enum : int32_t {
    SLOT_ALBUM = 1,
    SLOT_ARTIST = 4,
    SLOT_PLAYLIST_ID = 21,
    SLOT_CATEGORY = 22,
    SLOT_SONG = 24,
    MAX_IDS = 5,
    ANY_CATEGORY = -1,
    FEATURE_LISTENING_NO_MATCH = 65,
    FEATURE_NON_LISTENING_NO_MATCH = 63,
    BY = 48,
    OTHER_ARTISTS = 406,
};

// The categories a play-by-category phrase may name, tried in this order.
const int32_t kCategories[] = {74, 1, 0, 47};

struct PlayMusicContext {
    int32_t asked;
    dvk_array* results;  // NULL until built
};

PlayMusicContext* context(dvk_vcm_Session* vcms)
{
    auto* ctx = static_cast<PlayMusicContext*>(dvk_vcm_currentContext(vcms));
    DVK_GEN_VCM_ASSERT(kUnit, ctx != DVK_NULL);
    return ctx;
}

const dvk_ucs2_Char kSpace[] = {' ', 0};

// The texts of one confirmation candidate: label and name shown, the name
// said (its pronunciation when it has one), then "by" and the artist, or
// "by" "other artists" for a record several artists share.
struct CandidateTexts {
    int32_t label;
    const dvk_ucs2_Char* name;
    const dvk_ucs2_Char* spokenName;
    const dvk_ucs2_Char* artist;  // NULL: none
    const dvk_ucs2_Char* spokenArtist;
    bool shared;
};

const dvk_ucs2_Char* orName(const dvk_ucs2_Char* pronunciation, const dvk_ucs2_Char* name)
{
    return pronunciation != nullptr && pronunciation[0] != 0 ? pronunciation : name;
}

bool candidateTexts(dvk_vcm_Session* vcms, const CandidateTexts& t, dvk_ucs2_Char** display, dvk_ucs2_Char** spoken)
{
    dvk_string_Table* strings = dvk_vcm_stringTable(vcms);
    dvk_ucs2_Char* label = dvk_string_getString(strings, t.label);
    dvk_ucs2_Char* by = t.shared || t.artist != nullptr ? dvk_string_getString(strings, BY) : nullptr;
    dvk_ucs2_Char* others = t.shared ? dvk_string_getString(strings, OTHER_ARTISTS) : nullptr;
    if (label != nullptr && t.shared && by != nullptr && others != nullptr) {
        *display = dvk_ucs2_createConcat(label, kSpace, t.name, kSpace, by, kSpace, others, nullptr);
        *spoken = dvk_ucs2_createConcat(t.spokenName, kSpace, by, kSpace, others, nullptr);
    } else if (label != nullptr && !t.shared && t.artist != nullptr && by != nullptr) {
        *display = dvk_ucs2_createConcat(label, kSpace, t.name, kSpace, by, kSpace, t.artist, nullptr);
        *spoken = dvk_ucs2_createConcat(t.spokenName, kSpace, by, kSpace, t.spokenArtist, nullptr);
    } else if (label != nullptr && !t.shared && t.artist == nullptr) {
        *display = dvk_ucs2_createConcat(label, kSpace, t.name, nullptr);
        *spoken = dvk_ucs2_createCopy(t.spokenName);
    }
    dvk_ucs2_destroy(&label);
    dvk_ucs2_destroy(&by);
    dvk_ucs2_destroy(&others);
    return *display != nullptr && *spoken != nullptr;
}

bool recordTexts(dvk_vcm_Session* vcms, const dvk_gen_vcm_PlayResult* record, int32_t alternateArtist,
                 dvk_ucs2_Char** display, dvk_ucs2_Char** spoken)
{
    if (record->kind == DVK_GEN_PLAY_PLAYLIST) {
        dvk_play_PlaylistEntry* playlist = dvk_gen_vcm_playlistOf(record->playlistId);
        if (playlist == nullptr)
            return false;
        const dvk_ucs2_Char* name = dvk_play_getPlaylistName(playlist);
        const bool made = candidateTexts(
            vcms, {169, name, orName(dvk_play_getPlaylistPronunciation(playlist), name), nullptr, nullptr, false},
            display, spoken);
        dvk_play_destroyPlaylistEntry(&playlist);
        return made;
    }
    dvk_play_SongEntry* song = dvk_gen_vcm_songOf(record->songId);
    if (song == nullptr)
        return false;
    const dvk_ucs2_Char* artist = dvk_play_getSongArtist(song);
    const dvk_ucs2_Char* spokenArtist = orName(dvk_play_getArtistPronunciation(song), artist);
    CandidateTexts t = {0, nullptr, nullptr, nullptr, nullptr, false};
    if (alternateArtist != 0) {
        t = {168, artist, spokenArtist, nullptr, nullptr, false};
    } else if (record->kind == DVK_GEN_PLAY_ALBUM) {
        t = {167, dvk_play_getSongAlbum(song), orName(dvk_play_getAlbumPronunciation(song), dvk_play_getSongAlbum(song)),
             artist, spokenArtist, record->alternateCount > 0};
    } else if (record->kind == DVK_GEN_PLAY_ARTIST) {
        t = {168, artist, spokenArtist, nullptr, nullptr, false};
    } else {
        t = {record->kind == DVK_GEN_PLAY_SONG_BY_ARTIST ? 170 : 171, dvk_play_getSongTitle(song),
             orName(dvk_play_getSongPronunciation(song), dvk_play_getSongTitle(song)), artist, spokenArtist,
             record->kind == DVK_GEN_PLAY_SONG && record->alternateCount > 0};
    }
    if (t.artist != nullptr && t.artist[0] == 0)
        t.artist = nullptr;
    const bool made = candidateTexts(vcms, t, display, spoken);
    dvk_play_destroySongEntry(&song);
    return made;
}

// The confirmation of every record of the list (NULL when it cannot be made).
dvk_vcm_Module* constructConfirmVCM(dvk_vcm_Session* vcms, dvk_array* list, int32_t alternateArtist)
{
    const auto count = static_cast<int32_t>(dvk_array_getCount(list));
    const size_t size = sizeof(dvk_ucs2_Char*) * static_cast<size_t>(count > 0 ? count : 1);
    auto* display = static_cast<dvk_ucs2_Char**>(dvk_mem_alloc(size));
    auto* spoken = static_cast<dvk_ucs2_Char**>(dvk_mem_alloc(size));
    bool made = display != nullptr && spoken != nullptr && count > 0;
    for (int32_t i = 0; display != nullptr && spoken != nullptr && i < count; i++)
        display[i] = spoken[i] = nullptr;
    for (int32_t i = 0; made && i < count; i++)
        made = recordTexts(vcms, dvk_gen_vcm_playResultAt(list, i), alternateArtist, &display[i], &spoken[i]);
    if (made)
        return dvk_gen_vcm_newPlayMusicConfirm(vcms, display, spoken, count, alternateArtist);
    for (int32_t i = 0; display != nullptr && spoken != nullptr && i < count; i++) {
        dvk_ucs2_destroy(&display[i]);
        dvk_ucs2_destroy(&spoken[i]);
    }
    dvk_mem_dealloc(&display);
    dvk_mem_dealloc(&spoken);
    return nullptr;
}

// Replaces the list by the record's songs by each artist and asks which.
int askWhichArtist(dvk_vcm_Session* vcms, PlayMusicContext* ctx, long index)
{
    dvk_array* alternates = createAlternateArtistResultList(dvk_gen_vcm_playResultAt(ctx->results, index));
    if (alternates == nullptr)
        return 1;
    destroyPlayResultList(&ctx->results);
    ctx->results = alternates;
    ctx->asked = 1;
    return dvk_vcm_pushAndSave(vcms, constructConfirmVCM(vcms, ctx->results, 1));
}

// The chosen record goes to the announcement, each name in its place.
int play(dvk_vcm_Session* vcms, const PlayMusicContext* ctx, const dvk_gen_vcm_PlayResult* record)
{
    if (record->kind == DVK_GEN_PLAY_PLAYLIST) {
        dvk_play_PlaylistEntry* playlist = dvk_gen_vcm_playlistOf(record->playlistId);
        if (playlist == nullptr)
            return 1;
        const dvk_ucs2_Char* name = dvk_play_getPlaylistName(playlist);
        const int result = dvk_vcm_push(
            vcms, dvk_gen_vcm_newPlayComplete(vcms, ctx->asked, name,
                                              orName(dvk_play_getPlaylistPronunciation(playlist), name), nullptr,
                                              nullptr, dvk_play_getPlaylistContext(playlist), 0,
                                              DVK_GEN_PLAY_PLAYLIST));
        dvk_play_destroyPlaylistEntry(&playlist);
        return result;
    }
    dvk_play_SongEntry* song = dvk_gen_vcm_songOf(record->songId);
    if (song == nullptr)
        return 1;
    const dvk_ucs2_Char* artist = dvk_play_getSongArtist(song);
    const dvk_ucs2_Char* spokenArtist = orName(dvk_play_getArtistPronunciation(song), artist);
    const dvk_ucs2_Char* name = nullptr;
    const dvk_ucs2_Char* spoken = nullptr;
    int32_t nameContext = 0;
    switch (record->kind) {
    case DVK_GEN_PLAY_ALBUM:
        name = dvk_play_getSongAlbum(song);
        spoken = orName(dvk_play_getAlbumPronunciation(song), name);
        nameContext = dvk_play_getAlbumContext(song);
        break;
    case DVK_GEN_PLAY_ARTIST:
        name = artist;
        spoken = spokenArtist;
        nameContext = dvk_play_getArtistContext(song);
        artist = nullptr;
        break;
    default:
        name = dvk_play_getSongTitle(song);
        spoken = orName(dvk_play_getSongPronunciation(song), name);
        nameContext = dvk_play_getSongContext(song);
        break;
    }
    if (artist != nullptr && artist[0] == 0)
        artist = nullptr;
    // A song by a named artist with the artist's name missing plays as a song.
    const int32_t kind = record->kind == DVK_GEN_PLAY_SONG_BY_ARTIST && artist == nullptr ? int32_t{DVK_GEN_PLAY_SONG}
                                                                                          : record->kind;
    const int result = dvk_vcm_push(
        vcms, dvk_gen_vcm_newPlayComplete(vcms, ctx->asked, name, spoken, artist,
                                          artist != nullptr ? spokenArtist : nullptr, nameContext,
                                          artist != nullptr ? dvk_play_getArtistContext(song) : 0, kind));
    dvk_play_destroySongEntry(&song);
    return result;
}

// Up to MAX_IDS music ids of the entry's slot, copied into ids.
int32_t idsOf(dvk_nbest_List* nbest, int32_t entry, int32_t slot, uint32_t* ids)
{
    const uint32_t* found = nullptr;
    int32_t count = dvk_nbest_getIrIds(nbest, entry, slot, &found);
    if (count > MAX_IDS)
        count = MAX_IDS;
    for (int32_t i = 0; i < count; i++)
        ids[i] = found[i];
    return count;
}

// The songs whose artist is, ignoring case, one of the artists' songs'
// artist: kept in place; -1 when a song cannot be read or memory is short.
int32_t songsByArtists(uint32_t* songs, int32_t songCount, const uint32_t* artists, int32_t artistCount)
{
    int32_t kept = 0;
    for (int32_t s = 0; s < songCount; s++) {
        dvk_play_SongEntry* song = dvk_gen_vcm_songOf(songs[s]);
        dvk_ucs2_Char* songArtist = song != nullptr ? dvk_ucs2_createCopy(dvk_play_getSongArtist(song)) : nullptr;
        dvk_play_destroySongEntry(&song);
        if (songArtist == nullptr)
            return -1;
        dvk_ucs2_cvtToLowercase(songArtist);
        bool match = false;
        for (int32_t a = 0; !match && a < artistCount; a++) {
            dvk_play_SongEntry* other = dvk_gen_vcm_songOf(artists[a]);
            dvk_ucs2_Char* artist = other != nullptr ? dvk_ucs2_createCopy(dvk_play_getSongArtist(other)) : nullptr;
            dvk_play_destroySongEntry(&other);
            if (artist == nullptr) {
                dvk_ucs2_destroy(&songArtist);
                return -1;
            }
            dvk_ucs2_cvtToLowercase(artist);
            match = dvk_ucs2_strcmp(songArtist, artist) == 0;
            dvk_ucs2_destroy(&artist);
        }
        dvk_ucs2_destroy(&songArtist);
        if (match)
            songs[kept++] = songs[s];
    }
    return kept;
}

// One entry's candidates added to *list: 0, or 1 on failure (the list
// freed). *found is set when the entry named anything in the library.
int addEntry(dvk_nbest_List* nbest, int32_t entry, dvk_array** list, bool* found)
{
    uint32_t playlists[MAX_IDS], songs[MAX_IDS], artists[MAX_IDS], albums[MAX_IDS];
    int32_t playlistCount = idsOf(nbest, entry, SLOT_PLAYLIST_ID, playlists);
    int32_t songCount = idsOf(nbest, entry, SLOT_SONG, songs);
    int32_t artistCount = idsOf(nbest, entry, SLOT_ARTIST, artists);
    int32_t albumCount = idsOf(nbest, entry, SLOT_ALBUM, albums);
    if (playlistCount + songCount + artistCount + albumCount == 0)
        return 0;
    if (removeInvalidSongs(albums, &albumCount, dvk_play_getSongAlbum) != 0 ||
        removeInvalidSongs(songs, &songCount, dvk_play_getSongTitle) != 0 ||
        removeInvalidSongs(artists, &artistCount, dvk_play_getSongArtist) != 0 ||
        removeInvalidPlaylists(playlists, &playlistCount) != 0) {
        destroyPlayResultList(list);
        return 1;
    }
    if (playlistCount + songCount + artistCount + albumCount == 0)
        return 0;
    *found = true;
    if (songCount == 0) {
        if (artistCount > 0)
            *list = addResults(*list, artistCount, DVK_GEN_PLAY_ARTIST, nullptr, artists);
        else if (albumCount > 0)
            *list = addResults(*list, albumCount, DVK_GEN_PLAY_ALBUM, nullptr, albums);
        else
            *list = addResults(*list, playlistCount, DVK_GEN_PLAY_PLAYLIST, playlists, nullptr);
    } else if (artistCount == 0) {
        *list = addResults(*list, songCount, DVK_GEN_PLAY_SONG, nullptr, songs);
    } else {
        const int32_t kept = songsByArtists(songs, songCount, artists, artistCount);
        if (kept < 0) {
            destroyPlayResultList(list);
            return 1;
        }
        *list = kept == 0 ? addResults(*list, artistCount, DVK_GEN_PLAY_ARTIST, nullptr, artists)
                          : addResults(*list, kept, DVK_GEN_PLAY_SONG_BY_ARTIST, nullptr, songs);
    }
    return *list != nullptr ? 0 : 1;
}

// The category a play-by-category phrase names, or ANY_CATEGORY.
int32_t categoryOf(dvk_vcm_Session* vcms, const dvk_ucs2_Char* word)
{
    for (int32_t category : kCategories)
        if (dvk_string_compareString(dvk_vcm_stringTable(vcms), category, word) == 0)
            return category;
    return ANY_CATEGORY;
}

int askForTheName(dvk_vcm_Session* vcms, PlayMusicContext* ctx, int32_t category)
{
    ctx->asked = 1;
    return dvk_vcm_pushAndSave(vcms, dvk_gen_vcm_newPlaySayMusic(vcms, category));
}

int firstCompletion(dvk_vcm_Session* vcms, PlayMusicContext* ctx, dvk_nbest_List* nbest, dvk_msg_Message** message)
{
    if (dvk_play_getFirstPlaylist() == nullptr && dvk_play_getFirstSong() == nullptr)
        return dvk_vcm_push(vcms, dvk_gen_vcm_newNoMusicStored(vcms));
    if (nbest == nullptr || dvk_nbest_getCount(nbest) == 0) {
        const bool nonListening = dvk_gen_vcm_featureOn(FEATURE_LISTENING_NO_MATCH) != 1 ||
                                  dvk_gen_vcm_featureOn(FEATURE_NON_LISTENING_NO_MATCH) == 1;
        return dvk_gen_vcm_replaceStack(vcms,
                                        nonListening ? dvk_gen_vcm_newNoMatchNonListening(vcms)
                                                     : dvk_gen_vcm_newNoMatchFound(vcms),
                                        false);
    }
    const dvk_ucs2_Char* category = dvk_nbest_getStr(nbest, 0, SLOT_CATEGORY);
    if (category != nullptr && dvk_nbest_getKeyCount(nbest, 0) == 2) {
        dvk_nbest_chop(nbest, 1);
        return askForTheName(vcms, ctx, categoryOf(vcms, category));
    }
    dvk_array* list = nullptr;
    bool found = false;
    for (int32_t entry = 0; entry < dvk_nbest_getCount(nbest); entry++)
        if (addEntry(nbest, entry, &list, &found) != 0)
            return 1;
    if (!found || list == nullptr || dvk_array_getCount(list) == 0) {
        destroyPlayResultList(&list);
        return askForTheName(vcms, ctx, ANY_CATEGORY);
    }
    ctx->results = list;
    if (dvk_array_getCount(list) == 1 || dvk_settings_getChoiceListMusicConfirmMode() == 1) {
        if (dvk_gen_vcm_playResultAt(list, 0)->alternateCount == 0)
            return dvk_vcm_completion(vcms, nullptr, 0, message);
        return askWhichArtist(vcms, ctx, 0);
    }
    ctx->asked = 1;
    return dvk_vcm_pushAndSave(vcms, constructConfirmVCM(vcms, ctx->results, 0));
}

int playMusicCmdCompletion(dvk_vcm_Session* vcms, dvk_nbest_List* nbest, int32_t index, dvk_msg_Message** message)
{
    PlayMusicContext* ctx = context(vcms);
    if (ctx->results == nullptr)
        return firstCompletion(vcms, ctx, nbest, message);
    if (index < 0 || index >= dvk_array_getCount(ctx->results))
        return 1;
    const dvk_gen_vcm_PlayResult* record = dvk_gen_vcm_playResultAt(ctx->results, index);
    if (record->alternateCount > 0)
        return askWhichArtist(vcms, ctx, index);
    return play(vcms, ctx, record);
}

void playMusicCmdDestructor(dvk_vcm_Module* vcm, dvk_vcm_Module**)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcm != DVK_NULL);
    auto* ctx = static_cast<PlayMusicContext*>(vcm->context);
    if (ctx == nullptr)
        return;
    destroyPlayResultList(&ctx->results);
    dvk_mem_dealloc(&ctx);
    vcm->context = nullptr;
}

void* playMusicCmdCopy(void* from)
{
    const auto* ctx = static_cast<const PlayMusicContext*>(from);
    DVK_GEN_VCM_ASSERT(kUnit, ctx != DVK_NULL);
    auto* copy = static_cast<PlayMusicContext*>(dvk_mem_alloc(sizeof(PlayMusicContext)));
    if (copy == nullptr)
        return nullptr;
    *copy = {ctx->asked, nullptr};
    if (ctx->results != nullptr) {
        copy->results = dvk_gen_vcm_copyPlayResultList(ctx->results);
        if (copy->results == nullptr)
            dvk_mem_dealloc(&copy);
    }
    return copy;
}

const dvk_gen_vcm_Descriptor playMusicCmd = {
    {"vcm_playMusicCmd", nullptr, nullptr, nullptr, nullptr, nullptr, dvk_gen_vcm_completeResult,
     playMusicCmdCompletion, playMusicCmdCopy, playMusicCmdDestructor},
    kUnit,
    nullptr,
    nullptr,
    {DVK_UI_EVENT_NONE, 0},
    nullptr,
};
const dvk_vcm_Vtable& playMusicCmdVtable = playMusicCmd.vtable;

const dvk_vcm_Etable playMusicCmdEtable[] = {
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newPlayMusicCmd(dvk_vcm_Session* vcms)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    dvk_vcm_Module* vcm = dvk_vcm_newVCM(vcms, &playMusicCmdVtable, playMusicCmdEtable);
    if (vcm == nullptr)
        return nullptr;
    auto* ctx = static_cast<PlayMusicContext*>(dvk_mem_alloc(sizeof(PlayMusicContext)));
    vcm->context = ctx;
    if (ctx == nullptr) {
        dvk_vcm_destroy(vcms, &vcm);
        return nullptr;
    }
    *ctx = {0, nullptr};
    return vcm;
}
