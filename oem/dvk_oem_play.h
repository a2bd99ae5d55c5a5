// The music provider: songs and playlists offered to the suite (in this
// system, none).
#pragma once

#include "oem/dvk_oem_named_entry.h"

struct dvk_oem_play_SongItem;
struct dvk_oem_play_PlaylistItem;
typedef dvk_oem_play_SongItem* dvk_oem_play_SongIterator;          // NULL: none
typedef dvk_oem_play_PlaylistItem* dvk_oem_play_PlaylistIterator;  // NULL: none

struct dvk_oem_play_SongEntry {
    dvk_ucs2_Char title[DVK_OEM_TEXT_LENGTH];
    dvk_ucs2_Char artist[DVK_OEM_TEXT_LENGTH];
    dvk_ucs2_Char album[DVK_OEM_TEXT_LENGTH];
    dvk_ucs2_Char titlePronunciation[DVK_OEM_TEXT_LENGTH];   // empty: none
    dvk_ucs2_Char artistPronunciation[DVK_OEM_TEXT_LENGTH];
    dvk_ucs2_Char albumPronunciation[DVK_OEM_TEXT_LENGTH];
    int32_t songContext;
    int32_t artistContext;
    int32_t albumContext;
};

struct dvk_oem_play_PlaylistEntry {
    dvk_ucs2_Char name[DVK_OEM_TEXT_LENGTH];
    dvk_ucs2_Char pronunciation[DVK_OEM_TEXT_LENGTH];  // empty: none
    int32_t context;
};

dvk_oem_play_SongIterator dvk_oem_play_getFirstSong(int32_t language);
dvk_oem_play_SongIterator dvk_oem_play_getNextSong(dvk_oem_play_SongIterator iterator);
dvk_oem_play_SongIterator dvk_oem_play_getFirstModifiedSong(int32_t language);
dvk_oem_play_SongIterator dvk_oem_play_getNextModifiedSong(dvk_oem_play_SongIterator iterator);
void dvk_oem_play_getSongEntry(dvk_oem_play_SongIterator iterator, dvk_oem_play_SongEntry* entry);
dvk_oem_play_PlaylistIterator dvk_oem_play_getFirstPlaylist(int32_t language);
dvk_oem_play_PlaylistIterator dvk_oem_play_getNextPlaylist(dvk_oem_play_PlaylistIterator iterator);
void dvk_oem_play_getPlaylistEntry(dvk_oem_play_PlaylistIterator iterator,
                                   dvk_oem_play_PlaylistEntry* entry);
// Whether the music grammars must be rebuilt from scratch.
int32_t dvk_oem_play_fullUpdateRequired();
void dvk_oem_play_resetFullUpdateRequired();
void dvk_oem_play_resetModifiedSongList();
void oemPlayListInitStub();
