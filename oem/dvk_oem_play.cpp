#include "oem/dvk_oem_play.h"

#include "sdk/common/dvk_assert.h"

dvk_oem_play_SongIterator dvk_oem_play_getFirstSong(int32_t) { return nullptr; }
dvk_oem_play_SongIterator dvk_oem_play_getNextSong(dvk_oem_play_SongIterator) { return nullptr; }
dvk_oem_play_SongIterator dvk_oem_play_getFirstModifiedSong(int32_t) { return nullptr; }

dvk_oem_play_SongIterator dvk_oem_play_getNextModifiedSong(dvk_oem_play_SongIterator iterator)
{
    DVK_ASSERT(iterator != NULL);
    return nullptr;
}

void dvk_oem_play_getSongEntry(dvk_oem_play_SongIterator, dvk_oem_play_SongEntry*) {}
dvk_oem_play_PlaylistIterator dvk_oem_play_getFirstPlaylist(int32_t) { return nullptr; }
dvk_oem_play_PlaylistIterator dvk_oem_play_getNextPlaylist(dvk_oem_play_PlaylistIterator) { return nullptr; }
void dvk_oem_play_getPlaylistEntry(dvk_oem_play_PlaylistIterator, dvk_oem_play_PlaylistEntry*) {}
int32_t dvk_oem_play_fullUpdateRequired() { return 0; }
void dvk_oem_play_resetFullUpdateRequired() {}
void dvk_oem_play_resetModifiedSongList() {}
void oemPlayListInitStub() {}
