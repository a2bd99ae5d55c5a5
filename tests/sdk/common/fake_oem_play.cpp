// The music family over settable songs and playlists.
#include "oem/dvk_oem_play.h"
#include "tests/sdk/common/fake_oem.h"

struct dvk_oem_play_SongItem {
    size_t index;
};
struct dvk_oem_play_PlaylistItem {
    size_t index;
};

namespace {
std::vector<FakeSong> s_songs;
std::vector<FakeNamedItem> s_playlists;
std::vector<dvk_oem_play_SongItem> s_songIterators(64);
std::vector<dvk_oem_play_PlaylistItem> s_playlistIterators(64);
int32_t s_fullUpdate = 0;

dvk_oem_play_SongIterator song(size_t index, bool modifiedOnly)
{
    while (index < s_songs.size() && modifiedOnly && !s_songs[index].modified)
        ++index;
    if (index >= s_songs.size())
        return nullptr;
    s_songIterators[index].index = index;
    return &s_songIterators[index];
}

dvk_oem_play_PlaylistIterator playlist(size_t index)
{
    if (index >= s_playlists.size())
        return nullptr;
    s_playlistIterators[index].index = index;
    return &s_playlistIterators[index];
}
} // namespace

std::vector<FakeSong>& fakeSongs() { return s_songs; }
std::vector<FakeNamedItem>& fakePlaylists() { return s_playlists; }
int32_t& fakeFullUpdateRequired() { return s_fullUpdate; }

dvk_oem_play_SongIterator dvk_oem_play_getFirstSong(int32_t) { return song(0, false); }
dvk_oem_play_SongIterator dvk_oem_play_getNextSong(dvk_oem_play_SongIterator it) { return song(it->index + 1, false); }
dvk_oem_play_SongIterator dvk_oem_play_getFirstModifiedSong(int32_t) { return song(0, true); }
dvk_oem_play_SongIterator dvk_oem_play_getNextModifiedSong(dvk_oem_play_SongIterator it) { return song(it->index + 1, true); }

void dvk_oem_play_getSongEntry(dvk_oem_play_SongIterator it, dvk_oem_play_SongEntry* entry)
{
    const FakeSong& s = s_songs[it->index];
    fakeFillText(entry->title, DVK_OEM_TEXT_LENGTH, s.title);
    fakeFillText(entry->artist, DVK_OEM_TEXT_LENGTH, s.artist);
    fakeFillText(entry->album, DVK_OEM_TEXT_LENGTH, s.album);
    fakeFillText(entry->titlePronunciation, DVK_OEM_TEXT_LENGTH, s.titlePronunciation);
    fakeFillText(entry->artistPronunciation, DVK_OEM_TEXT_LENGTH, s.artistPronunciation);
    fakeFillText(entry->albumPronunciation, DVK_OEM_TEXT_LENGTH, s.albumPronunciation);
    entry->songContext = s.songContext;
    entry->artistContext = s.artistContext;
    entry->albumContext = s.albumContext;
}

dvk_oem_play_PlaylistIterator dvk_oem_play_getFirstPlaylist(int32_t) { return playlist(0); }
dvk_oem_play_PlaylistIterator dvk_oem_play_getNextPlaylist(dvk_oem_play_PlaylistIterator it) { return playlist(it->index + 1); }

void dvk_oem_play_getPlaylistEntry(dvk_oem_play_PlaylistIterator it, dvk_oem_play_PlaylistEntry* entry)
{
    const FakeNamedItem& p = s_playlists[it->index];
    fakeFillText(entry->name, DVK_OEM_TEXT_LENGTH, p.name);
    fakeFillText(entry->pronunciation, DVK_OEM_TEXT_LENGTH, p.pronunciation);
    entry->context = p.context;
}

int32_t dvk_oem_play_fullUpdateRequired() { return s_fullUpdate; }
void dvk_oem_play_resetFullUpdateRequired() { s_fullUpdate = 0; }
void dvk_oem_play_resetModifiedSongList()
{
    for (FakeSong& s : s_songs)
        s.modified = false;
}
void oemPlayListInitStub() {}
