#include "sdk/common/dvk_play.h"

#include "tests/sdk/common/fake_oem.h"
#include "tests/support/suite_memory.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::u16string text(const dvk_ucs2_Char* s)
{
    return s == nullptr ? u"(none)" : std::u16string(reinterpret_cast<const char16_t*>(s));
}

class PlayTest : public SuiteMemoryTest {
protected:
    void SetUp() override
    {
        SuiteMemoryTest::SetUp();
        resetFakeOemSettings();
        fakeSongs() = {
            {u"", u"Nobody", u"Nothing", u"", u"", u"", 1, 0, 0, false},
            {u"Alone", u"", u"", u"", u"", u"", 2, 0, 0, true},
            {u"Full", u"Band", u"Record", u"fool", u"", u"rekord", 3, 30, 300, false},
            {u"Solo", u"Singer", u"", u"", u"", u"", 4, 40, 0, true},
        };
        fakePlaylists() = {{u"Morning", u"", u"", u"", 7, 1}, {u"Evening", u"eeve", u"", u"", 8, 1}};
        fakeFullUpdateRequired() = 0;
    }

    using First = dvk_play_SongIterator (*)();
    using Next = dvk_play_SongIterator (*)(dvk_play_SongIterator);
    static std::vector<int32_t> walk(First first, Next next)
    {
        std::vector<int32_t> contexts;
        for (dvk_play_SongIterator it = first(); it != nullptr; it = next(it)) {
            dvk_play_SongEntry* song = dvk_play_getSongEntry(it);
            contexts.push_back(dvk_play_getSongContext(song));
            dvk_play_destroySongEntry(&song);
        }
        return contexts;
    }
};

TEST_F(PlayTest, FilteredWalksSkipSongsWithoutTheText)
{
    struct Case {
        const char* name;
        First first;
        Next next;
        std::vector<int32_t> songs;
    };
    const Case cases[] = {
        {"title", dvk_play_getFirstSong, dvk_play_getNextSong, {2, 3, 4}},
        {"artist", dvk_play_getFirstSongWithArtist, dvk_play_getNextSongWithArtist, {1, 3, 4}},
        {"album", dvk_play_getFirstSongWithAlbum, dvk_play_getNextSongWithAlbum, {1, 3}},
        {"modified", dvk_play_getFirstModifiedSong, dvk_play_getNextModifiedSong, {2, 4}},
        {"modified artist", dvk_play_getFirstModifiedSongWithArtist,
         dvk_play_getNextModifiedSongWithArtist, {4}},
        {"modified album", dvk_play_getFirstModifiedSongWithAlbum,
         dvk_play_getNextModifiedSongWithAlbum, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(walk(c.first, c.next), c.songs) << c.name;
    dvk_play_resetModifiedSongList();
    EXPECT_EQ(dvk_play_getFirstModifiedSong(), nullptr);
}

TEST_F(PlayTest, EntriesCarryTextsPronunciationsAndContexts)
{
    fakeSongs()[1].title = std::u16string(64, u't');
    dvk_play_SongIterator it = dvk_play_getNextSong(dvk_play_getFirstSong());
    dvk_play_SongEntry* song = dvk_play_getSongEntry(it);
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(text(dvk_play_getSongTitle(song)), u"Full");
    EXPECT_EQ(text(dvk_play_getSongArtist(song)), u"Band");
    EXPECT_EQ(text(dvk_play_getSongAlbum(song)), u"Record");
    EXPECT_EQ(text(dvk_play_getSongPronunciation(song)), u"fool");
    EXPECT_EQ(dvk_play_getArtistPronunciation(song), nullptr);
    EXPECT_EQ(text(dvk_play_getAlbumPronunciation(song)), u"rekord");
    EXPECT_EQ(dvk_play_getArtistContext(song), 30);
    EXPECT_EQ(dvk_play_getAlbumContext(song), 300);
    dvk_play_destroySongEntry(&song);
    EXPECT_EQ(song, nullptr);

    dvk_play_SongEntry* cut = dvk_play_getSongEntry(dvk_play_getFirstSong());
    EXPECT_EQ(text(dvk_play_getSongTitle(cut)), std::u16string(63, u't'));
    dvk_play_destroySongEntry(&cut);

    dvk_mem_failAfter(0);
    EXPECT_EQ(dvk_play_getSongEntry(it), nullptr);
    EXPECT_EQ(dvk_play_getPlaylistEntry(dvk_play_getFirstPlaylist()), nullptr);
}

TEST_F(PlayTest, PlaylistsAndTheUpdateFlag)
{
    dvk_play_PlaylistIterator evening =
        dvk_play_findPlaylistByName(reinterpret_cast<const dvk_ucs2_Char*>(u"Evening"));
    ASSERT_NE(evening, nullptr);
    EXPECT_EQ(dvk_play_getNextPlaylist(dvk_play_getFirstPlaylist()), evening);
    dvk_play_PlaylistEntry* entry = dvk_play_getPlaylistEntry(evening);
    EXPECT_EQ(text(dvk_play_getPlaylistName(entry)), u"Evening");
    EXPECT_EQ(text(dvk_play_getPlaylistPronunciation(entry)), u"eeve");
    EXPECT_EQ(dvk_play_getPlaylistContext(entry), 8);
    dvk_play_destroyPlaylistEntry(&entry);
    entry = dvk_play_getPlaylistEntry(dvk_play_getFirstPlaylist());
    EXPECT_EQ(dvk_play_getPlaylistPronunciation(entry), nullptr);
    dvk_play_destroyPlaylistEntry(&entry);
    EXPECT_EQ(dvk_play_findPlaylistByName(reinterpret_cast<const dvk_ucs2_Char*>(u"Night")),
              nullptr);

    fakeFullUpdateRequired() = 1;
    EXPECT_EQ(dvk_play_fullUpdateRequired(), 1);
    dvk_play_resetFullUpdateRequired();
    EXPECT_EQ(dvk_play_fullUpdateRequired(), 0);
}

} // namespace
