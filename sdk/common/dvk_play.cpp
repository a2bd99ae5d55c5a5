#include "sdk/common/dvk_play.h"

#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_mem.h"
#include "sdk/common/dvk_named_list.h"
#include "sdk/common/dvk_settings.h"

#include <cstring>

namespace {

typedef const dvk_ucs2_Char* (*SongText)(const dvk_play_SongEntry*);
typedef dvk_play_SongIterator (*Step)(dvk_play_SongIterator);

void fillSong(dvk_play_SongIterator iterator, dvk_play_SongEntry* entry)
{
    DVK_ASSERT(iterator != DVK_NULL);
    DVK_ASSERT(entry != DVK_NULL);
    std::memset(entry, 0, sizeof *entry);
    dvk_oem_play_getSongEntry(iterator, entry);
    for (dvk_ucs2_Char* text : {entry->title, entry->artist, entry->album, entry->titlePronunciation,
                                entry->artistPronunciation, entry->albumPronunciation})
        text[DVK_OEM_TEXT_LENGTH - 1] = 0;
}

void fillPlaylist(dvk_play_PlaylistIterator iterator, dvk_play_PlaylistEntry* entry)
{
    DVK_ASSERT(iterator != DVK_NULL);
    std::memset(entry, 0, sizeof *entry);
    dvk_oem_play_getPlaylistEntry(iterator, entry);
    entry->name[DVK_OEM_TEXT_LENGTH - 1] = 0;
    entry->pronunciation[DVK_OEM_TEXT_LENGTH - 1] = 0;
}

// From iterator on, the first song whose tested text is not empty.
dvk_play_SongIterator firstWith(dvk_play_SongIterator iterator, SongText text, Step next)
{
    dvk_play_SongEntry entry;
    for (; iterator != nullptr; iterator = next(iterator)) {
        fillSong(iterator, &entry);
        if (text(&entry)[0] != 0)
            return iterator;
    }
    return nullptr;
}

dvk_play_SongIterator nextWith(dvk_play_SongIterator iterator, SongText text, Step next)
{
    DVK_ASSERT(iterator != DVK_NULL);
    return firstWith(next(iterator), text, next);
}

dvk_play_SongIterator firstSong()
{
    return dvk_oem_play_getFirstSong(dvk_settings_getCurrentLanguage());
}

dvk_play_SongIterator firstModified()
{
    return dvk_oem_play_getFirstModifiedSong(dvk_settings_getCurrentLanguage());
}

} // namespace

const dvk_ucs2_Char* dvk_play_getSongTitle(const dvk_play_SongEntry* entry)
{
    DVK_ASSERT(entry != DVK_NULL);
    return entry->title;
}

const dvk_ucs2_Char* dvk_play_getSongArtist(const dvk_play_SongEntry* entry)
{
    DVK_ASSERT(entry != DVK_NULL);
    return entry->artist;
}

const dvk_ucs2_Char* dvk_play_getSongAlbum(const dvk_play_SongEntry* entry)
{
    DVK_ASSERT(entry != DVK_NULL);
    return entry->album;
}

dvk_play_SongIterator dvk_play_getFirstSong() { return firstWith(firstSong(), dvk_play_getSongTitle, dvk_oem_play_getNextSong); }
dvk_play_SongIterator dvk_play_getFirstSongWithArtist() { return firstWith(firstSong(), dvk_play_getSongArtist, dvk_oem_play_getNextSong); }
dvk_play_SongIterator dvk_play_getFirstSongWithAlbum() { return firstWith(firstSong(), dvk_play_getSongAlbum, dvk_oem_play_getNextSong); }
dvk_play_SongIterator dvk_play_getNextSong(dvk_play_SongIterator it) { return nextWith(it, dvk_play_getSongTitle, dvk_oem_play_getNextSong); }
dvk_play_SongIterator dvk_play_getNextSongWithArtist(dvk_play_SongIterator it) { return nextWith(it, dvk_play_getSongArtist, dvk_oem_play_getNextSong); }
dvk_play_SongIterator dvk_play_getNextSongWithAlbum(dvk_play_SongIterator it) { return nextWith(it, dvk_play_getSongAlbum, dvk_oem_play_getNextSong); }
dvk_play_SongIterator dvk_play_getFirstModifiedSong() { return firstWith(firstModified(), dvk_play_getSongTitle, dvk_oem_play_getNextModifiedSong); }
dvk_play_SongIterator dvk_play_getFirstModifiedSongWithArtist() { return firstWith(firstModified(), dvk_play_getSongArtist, dvk_oem_play_getNextModifiedSong); }
dvk_play_SongIterator dvk_play_getFirstModifiedSongWithAlbum() { return firstWith(firstModified(), dvk_play_getSongAlbum, dvk_oem_play_getNextModifiedSong); }
dvk_play_SongIterator dvk_play_getNextModifiedSong(dvk_play_SongIterator it) { return nextWith(it, dvk_play_getSongTitle, dvk_oem_play_getNextModifiedSong); }
dvk_play_SongIterator dvk_play_getNextModifiedSongWithArtist(dvk_play_SongIterator it) { return nextWith(it, dvk_play_getSongArtist, dvk_oem_play_getNextModifiedSong); }
dvk_play_SongIterator dvk_play_getNextModifiedSongWithAlbum(dvk_play_SongIterator it) { return nextWith(it, dvk_play_getSongAlbum, dvk_oem_play_getNextModifiedSong); }

dvk_play_SongEntry* dvk_play_getSongEntry(dvk_play_SongIterator iterator)
{
    DVK_ASSERT(iterator != DVK_NULL);
    auto* entry = static_cast<dvk_play_SongEntry*>(dvk_mem_alloc(sizeof(dvk_play_SongEntry)));
    if (entry != nullptr)
        fillSong(iterator, entry);
    return entry;
}

void dvk_play_destroySongEntry(dvk_play_SongEntry** entry)
{
    DVK_ASSERT(entry != DVK_NULL);
    dvk_mem_dealloc(entry);
}

const dvk_ucs2_Char* dvk_play_getSongPronunciation(const dvk_play_SongEntry* entry)
{
    DVK_ASSERT(entry != DVK_NULL);
    return dvk_named_list::orNone(entry->titlePronunciation);
}

const dvk_ucs2_Char* dvk_play_getArtistPronunciation(const dvk_play_SongEntry* entry)
{
    DVK_ASSERT(entry != DVK_NULL);
    return dvk_named_list::orNone(entry->artistPronunciation);
}

const dvk_ucs2_Char* dvk_play_getAlbumPronunciation(const dvk_play_SongEntry* entry)
{
    DVK_ASSERT(entry != DVK_NULL);
    return dvk_named_list::orNone(entry->albumPronunciation);
}

int32_t dvk_play_getSongContext(const dvk_play_SongEntry* entry)
{
    DVK_ASSERT(entry != DVK_NULL);
    return entry->songContext;
}

int32_t dvk_play_getArtistContext(const dvk_play_SongEntry* entry)
{
    DVK_ASSERT(entry != DVK_NULL);
    return entry->artistContext;
}

int32_t dvk_play_getAlbumContext(const dvk_play_SongEntry* entry)
{
    DVK_ASSERT(entry != DVK_NULL);
    return entry->albumContext;
}

int32_t dvk_play_fullUpdateRequired() { return dvk_oem_play_fullUpdateRequired(); }
void dvk_play_resetFullUpdateRequired() { dvk_oem_play_resetFullUpdateRequired(); }
void dvk_play_resetModifiedSongList() { dvk_oem_play_resetModifiedSongList(); }

dvk_play_PlaylistIterator dvk_play_getFirstPlaylist()
{
    return dvk_oem_play_getFirstPlaylist(dvk_settings_getCurrentLanguage());
}

dvk_play_PlaylistIterator dvk_play_getNextPlaylist(dvk_play_PlaylistIterator iterator)
{
    DVK_ASSERT(iterator != DVK_NULL);
    return dvk_oem_play_getNextPlaylist(iterator);
}

dvk_play_PlaylistEntry* dvk_play_getPlaylistEntry(dvk_play_PlaylistIterator iterator)
{
    DVK_ASSERT(iterator != DVK_NULL);
    auto* entry = static_cast<dvk_play_PlaylistEntry*>(dvk_mem_alloc(sizeof(dvk_play_PlaylistEntry)));
    if (entry != nullptr)
        fillPlaylist(iterator, entry);
    return entry;
}

void dvk_play_destroyPlaylistEntry(dvk_play_PlaylistEntry** entry)
{
    DVK_ASSERT(entry != DVK_NULL);
    dvk_mem_dealloc(entry);
}

const dvk_ucs2_Char* dvk_play_getPlaylistName(const dvk_play_PlaylistEntry* entry)
{
    DVK_ASSERT(entry != DVK_NULL);
    return entry->name;
}

const dvk_ucs2_Char* dvk_play_getPlaylistPronunciation(const dvk_play_PlaylistEntry* entry)
{
    DVK_ASSERT(entry != DVK_NULL);
    return dvk_named_list::orNone(entry->pronunciation);
}

int32_t dvk_play_getPlaylistContext(const dvk_play_PlaylistEntry* entry)
{
    DVK_ASSERT(entry != DVK_NULL);
    return entry->context;
}

dvk_play_PlaylistIterator dvk_play_findPlaylistByName(const dvk_ucs2_Char* name)
{
    DVK_ASSERT(name != DVK_NULL);
    dvk_play_PlaylistEntry entry;
    for (dvk_play_PlaylistIterator it = dvk_play_getFirstPlaylist(); it != nullptr;
         it = dvk_oem_play_getNextPlaylist(it)) {
        fillPlaylist(it, &entry);
        if (dvk_named_list::same(entry.name, name))
            return it;
    }
    return nullptr;
}
