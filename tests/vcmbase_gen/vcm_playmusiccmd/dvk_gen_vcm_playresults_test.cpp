// The play command's result list over a fake library: how many records a
// call and a list may hold, ids already listed, titles and albums several
// artists share (alternates, at most three, one per artist), the alternate
// list, invalid ids taken out, and songs that cannot be read.
#include "vcmbase_gen/vcm_playmusiccmd/dvk_gen_vcm_playresults.h"

#include "tests/sdk/common/fake_oem.h"
#include "tests/support/suite_memory.h"

#include "sdk/common/dvk_mem.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// "kind:song[+alternates]" or "0:p<playlist>" per record.
std::string describe(dvk_array* list)
{
    if (list == nullptr)
        return "(none)";
    std::string out;
    for (long i = 0; i < dvk_array_getCount(list); i++) {
        const dvk_gen_vcm_PlayResult* r = dvk_gen_vcm_playResultAt(list, i);
        out += (i > 0 ? " " : "") + std::to_string(r->kind) + ":";
        out += r->kind == DVK_GEN_PLAY_PLAYLIST ? "p" + std::to_string(r->playlistId) : std::to_string(r->songId);
        for (int32_t a = 0; a < r->alternateCount; a++)
            out += "+" + std::to_string(r->alternates[a]);
    }
    return out;
}

class PlayResultsTest : public SuiteMemoryTest {
protected:
    void SetUp() override
    {
        SuiteMemoryTest::SetUp();
        resetFakeOemSettings();
        fakeSongs().clear();
        fakePlaylists().clear();
    }
    void TearDown() override
    {
        fakeSongs().clear();
        fakePlaylists().clear();
        SuiteMemoryTest::TearDown();
    }
    static void songs(const std::vector<std::pair<std::u16string, std::u16string>>& titleArtist,
                      const std::u16string& album = u"")
    {
        for (const auto& [title, artist] : titleArtist) {
            FakeSong s;
            s.title = title;
            s.artist = artist;
            s.album = album;
            fakeSongs().push_back(s);
        }
    }
    // The list after one call per id group, all of one kind.
    static std::string add(int32_t kind, const std::vector<std::vector<uint32_t>>& calls)
    {
        dvk_array* list = nullptr;
        for (const auto& ids : calls) {
            list = addResults(list, static_cast<int32_t>(ids.size()), kind,
                              kind == DVK_GEN_PLAY_PLAYLIST ? ids.data() : nullptr,
                              kind == DVK_GEN_PLAY_PLAYLIST ? nullptr : ids.data());
            if (list == nullptr)
                return "(none)";
        }
        const std::string out = describe(list);
        destroyPlayResultList(&list);
        return out;
    }
};

TEST_F(PlayResultsTest, RecordsByCallAndList)
{
    songs({{u"a", u"X"}, {u"b", u"X"}, {u"c", u"X"}, {u"d", u"X"}, {u"e", u"X"}, {u"f", u"X"}});
    fakePlaylists() = {{u"P1", u"", u"", u"", 1}, {u"P2", u"", u"", u"", 2}, {u"P3", u"", u"", u"", 3}};
    const struct {
        int32_t kind;
        std::vector<std::vector<uint32_t>> calls;
        std::string list;
    } cases[] = {
        {DVK_GEN_PLAY_SONG, {{1, 2, 3}}, "3:1 3:2"},
        {DVK_GEN_PLAY_SONG, {{1, 2}, {3, 4}, {5, 6}}, "3:1 3:2 3:3 3:4"},
        {DVK_GEN_PLAY_SONG, {{1}, {1, 2}, {2, 3}}, "3:1 3:2 3:3"},
        {DVK_GEN_PLAY_ARTIST, {{1, 2}}, "2:1 2:2"},
        {DVK_GEN_PLAY_PLAYLIST, {{3, 1, 2}}, "0:p3 0:p1"},
        {DVK_GEN_PLAY_SONG, {{9}}, "(none)"},
        {DVK_GEN_PLAY_PLAYLIST, {{4}}, "0:p4"},  // playlists are read when they are shown or played
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list);
        EXPECT_EQ(add(c.kind, c.calls), c.list);
    }
}

TEST_F(PlayResultsTest, SharedTitlesAndAlbums)
{
    songs({{u"T", u"A"}, {u"T", u"B"}, {u"T", u"A"}, {u"T", u"C"}, {u"T", u"D"}, {u"T", u"E"}, {u"U", u"A"}},
          u"Hits");
    const struct {
        int32_t kind;
        std::vector<std::vector<uint32_t>> calls;
        std::string list;
    } cases[] = {
        // Another artist becomes an alternate; the same artist again does not.
        {DVK_GEN_PLAY_SONG, {{1, 2, 3}}, "3:1+2"},
        // At most three alternates; merged songs do not count as added.
        {DVK_GEN_PLAY_SONG, {{1, 2, 3, 4, 5}, {6, 7}}, "3:1+2+4+5 3:7"},
        {DVK_GEN_PLAY_ALBUM, {{1, 7}, {2}}, "1:1+2"},
        // Artists are not merged.
        {DVK_GEN_PLAY_ARTIST, {{1, 2}}, "2:1 2:2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list);
        EXPECT_EQ(add(c.kind, c.calls), c.list);
    }
}

TEST_F(PlayResultsTest, AlternateArtistList)
{
    const dvk_gen_vcm_PlayResult record = {DVK_GEN_PLAY_ALBUM, 0, 4, {7, 9, 0}, 2};
    dvk_array* list = createAlternateArtistResultList(&record);
    EXPECT_EQ(describe(list), "1:4 1:7 1:9");
    dvk_array* copy = dvk_gen_vcm_copyPlayResultList(list);
    EXPECT_EQ(describe(copy), "1:4 1:7 1:9");
    destroyPlayResultList(&list);
    destroyPlayResultList(&copy);
    EXPECT_EQ(list, nullptr);
}

TEST_F(PlayResultsTest, InvalidIdsTakenOut)
{
    songs({{u"a", u"X"}, {u"b", u""}, {u"c", u"Y"}});
    uint32_t ids[] = {3, 2, 1};
    int32_t count = 3;
    EXPECT_EQ(removeInvalidSongs(ids, &count, dvk_play_getSongArtist), 0);
    EXPECT_EQ(std::vector<uint32_t>(ids, ids + count), (std::vector<uint32_t>{3, 1}));
    uint32_t unreadable[] = {1, 4};
    count = 2;
    EXPECT_EQ(removeInvalidSongs(unreadable, &count, dvk_play_getSongTitle), 1);

    fakePlaylists() = {{u"P", u"", u"", u"", 1}, {u"", u"", u"", u"", 2}};
    uint32_t playlists[] = {2, 1};
    count = 2;
    EXPECT_EQ(removeInvalidPlaylists(playlists, &count), 0);
    EXPECT_EQ(std::vector<uint32_t>(playlists, playlists + count), (std::vector<uint32_t>{1}));
    count = 1;
    uint32_t past[] = {3};
    EXPECT_EQ(removeInvalidPlaylists(past, &count), 1);
}

TEST_F(PlayResultsTest, EachAllocationFailingLeavesNothing)
{
    songs({{u"T", u"A"}, {u"T", u"B"}, {u"U", u"A"}});
    const uint32_t ids[] = {1, 2, 3};
    const long base = dvk_mem_liveBlocks();
    for (long n = 0;; n++) {
        SCOPED_TRACE(n);
        dvk_mem_failAfter(n);
        dvk_array* list = addResults(nullptr, 3, DVK_GEN_PLAY_SONG, nullptr, ids);
        dvk_mem_failAfter(-1);
        if (list != nullptr) {
            EXPECT_EQ(describe(list), "3:1+2 3:3");
            destroyPlayResultList(&list);
            break;
        }
        ASSERT_EQ(dvk_mem_liveBlocks(), base);
        ASSERT_LT(n, 100);
    }
}

}  // namespace
