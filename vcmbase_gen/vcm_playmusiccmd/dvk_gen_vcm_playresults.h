// What a play command found in the music library: a list of results, each
// a playlist, album, artist or song (by a named artist or not) with up to
// three songs of the same album name or title by other artists.
//
// The recogniser's music ids are places in the library's walks: a song's id
// is its 1-based place among the songs with a title, a playlist's its place
// among the playlists; an id past the end names nothing that can be read.
#pragma once

#include "core/utils/dvk_array.h"
#include "sdk/common/dvk_play.h"

#include <cstdint>

enum dvk_gen_vcm_PlayKind : int32_t {
    DVK_GEN_PLAY_PLAYLIST = 0,
    DVK_GEN_PLAY_ALBUM = 1,
    DVK_GEN_PLAY_ARTIST = 2,
    DVK_GEN_PLAY_SONG = 3,
    DVK_GEN_PLAY_SONG_BY_ARTIST = 4,
};

struct dvk_gen_vcm_PlayResult {
    int32_t kind;
    uint32_t playlistId;     // playlists only, else 0
    uint32_t songId;         // a song of the album, artist or title; 0 for a playlist
    uint32_t alternates[3];  // the same album name or title by other artists
    int32_t alternateCount;
};

enum : int32_t { DVK_GEN_PLAY_MAX_RESULTS = 4, DVK_GEN_PLAY_MAX_ALTERNATES = 3 };

// The library's entry of a song or playlist id; NULL when it cannot be read.
dvk_play_SongEntry* dvk_gen_vcm_songOf(uint32_t id);
dvk_play_PlaylistEntry* dvk_gen_vcm_playlistOf(uint32_t id);

// Adds records of kind for the ids (playlist ids for playlists, else song
// ids) to list, creating it when NULL: the list, or NULL after freeing it
// when memory is short or a song cannot be read.
dvk_array* addResults(dvk_array* list, int32_t count, int32_t kind, const uint32_t* playlistIds,
                      const uint32_t* songIds);
// A new list of the record's own song and each alternate, all of its kind.
dvk_array* createAlternateArtistResultList(const dvk_gen_vcm_PlayResult* record);
// Frees every record and the list (NULL allowed) and clears the pointer.
void destroyPlayResultList(dvk_array** list);
// A deep copy, or NULL.
dvk_array* dvk_gen_vcm_copyPlayResultList(dvk_array* list);
const dvk_gen_vcm_PlayResult* dvk_gen_vcm_playResultAt(dvk_array* list, long i);

// Takes out the ids whose song has field empty: 0, or 1 when a song cannot
// be read.
int removeInvalidSongs(uint32_t* ids, int32_t* count, const dvk_ucs2_Char* (*field)(const dvk_play_SongEntry*));
// The same for playlists with an empty name.
int removeInvalidPlaylists(uint32_t* ids, int32_t* count);
