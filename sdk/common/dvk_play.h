// The suite's music access: songs and playlists of the porting layer, copied
// into suite entries, with walks that skip songs lacking a title, an artist
// or an album. Suite thread only.
#pragma once

#include "oem/dvk_oem_play.h"

typedef dvk_oem_play_SongEntry dvk_play_SongEntry;
typedef dvk_oem_play_PlaylistEntry dvk_play_PlaylistEntry;
typedef dvk_oem_play_SongIterator dvk_play_SongIterator;
typedef dvk_oem_play_PlaylistIterator dvk_play_PlaylistIterator;

// Songs with a title (artist, album); 0 at the end.
dvk_play_SongIterator dvk_play_getFirstSong();
dvk_play_SongIterator dvk_play_getFirstSongWithArtist();
dvk_play_SongIterator dvk_play_getFirstSongWithAlbum();
dvk_play_SongIterator dvk_play_getNextSong(dvk_play_SongIterator iterator);
dvk_play_SongIterator dvk_play_getNextSongWithArtist(dvk_play_SongIterator iterator);
dvk_play_SongIterator dvk_play_getNextSongWithAlbum(dvk_play_SongIterator iterator);
// The same over the songs changed since the last update.
dvk_play_SongIterator dvk_play_getFirstModifiedSong();
dvk_play_SongIterator dvk_play_getFirstModifiedSongWithArtist();
dvk_play_SongIterator dvk_play_getFirstModifiedSongWithAlbum();
dvk_play_SongIterator dvk_play_getNextModifiedSong(dvk_play_SongIterator iterator);
dvk_play_SongIterator dvk_play_getNextModifiedSongWithArtist(dvk_play_SongIterator iterator);
dvk_play_SongIterator dvk_play_getNextModifiedSongWithAlbum(dvk_play_SongIterator iterator);

// A new entry (NULL when memory is short); texts cut at their 64th unit.
dvk_play_SongEntry* dvk_play_getSongEntry(dvk_play_SongIterator iterator);
void dvk_play_destroySongEntry(dvk_play_SongEntry** entry);
const dvk_ucs2_Char* dvk_play_getSongTitle(const dvk_play_SongEntry* entry);
const dvk_ucs2_Char* dvk_play_getSongArtist(const dvk_play_SongEntry* entry);
const dvk_ucs2_Char* dvk_play_getSongAlbum(const dvk_play_SongEntry* entry);
// NULL when empty.
const dvk_ucs2_Char* dvk_play_getSongPronunciation(const dvk_play_SongEntry* entry);
const dvk_ucs2_Char* dvk_play_getArtistPronunciation(const dvk_play_SongEntry* entry);
const dvk_ucs2_Char* dvk_play_getAlbumPronunciation(const dvk_play_SongEntry* entry);
int32_t dvk_play_getSongContext(const dvk_play_SongEntry* entry);
int32_t dvk_play_getArtistContext(const dvk_play_SongEntry* entry);
int32_t dvk_play_getAlbumContext(const dvk_play_SongEntry* entry);

int32_t dvk_play_fullUpdateRequired();
void dvk_play_resetFullUpdateRequired();
void dvk_play_resetModifiedSongList();

dvk_play_PlaylistIterator dvk_play_getFirstPlaylist();
dvk_play_PlaylistIterator dvk_play_getNextPlaylist(dvk_play_PlaylistIterator iterator);
dvk_play_PlaylistEntry* dvk_play_getPlaylistEntry(dvk_play_PlaylistIterator iterator);
void dvk_play_destroyPlaylistEntry(dvk_play_PlaylistEntry** entry);
const dvk_ucs2_Char* dvk_play_getPlaylistName(const dvk_play_PlaylistEntry* entry);
const dvk_ucs2_Char* dvk_play_getPlaylistPronunciation(const dvk_play_PlaylistEntry* entry);
int32_t dvk_play_getPlaylistContext(const dvk_play_PlaylistEntry* entry);
// The first playlist whose name equals name exactly; 0 when none.
dvk_play_PlaylistIterator dvk_play_findPlaylistByName(const dvk_ucs2_Char* name);
