// The playlist command from the root: the playlist named plays, a name the
// library lacks fails, none named offers every playlist, and no playlists
// at all is reported as no music stored.
#include "tests/vcmbase_gen/harness/dialog_harness.h"
#include "tests/vcmbase_gen/harness/recording_answers.h"

#include "core/nbest/dvk_nbest.h"

#include <gtest/gtest.h>

namespace {

using Log = std::vector<std::string>;

class PlayPlaylistCmdTest : public DialogHarness {
protected:
    void SetUp() override
    {
        DialogHarness::SetUp();
        fakePlaylists() = {{u"Road", u"roh d", u"", u"", 30}, {u"Gym", u"", u"", u"", 31}};
        recordAnswers(&notifications);
    }
    void TearDown() override
    {
        fakePlaylists().clear();
        DialogHarness::TearDown();
    }
    // The root with the playlist gate (command 22), then it said with
    // `name` (none when empty) as the playlist.
    void sayPlaylist(const std::u16string& name)
    {
        configure({{{200}, {}, 400, -1, 68, 22}});
        start();
        take();
        dvk_nbest_List* nbest = said(0);
        if (!name.empty()) {
            std::vector<dvk_ucs2_Char> units(name.begin(), name.end());
            units.push_back(0);
            dvk_nbest_addValueNoIds(nbest, 0, 23, "playlist", units.data(), units.data());
        }
        result(nbest);
    }
};

TEST_F(PlayPlaylistCmdTest, NamedPlaylistPlays)
{
    sayPlaylist(u"Road");
    EXPECT_EQ(take(), (Log{"step vcm_playComplete",
                           "text 73 title 608 body \"String 219\nRoad\" keys -1/0 -1/0 492/4 time -1",
                           "addText roh d", "addPrompt 376", "addEarcon 6", "play '' '' '' 'Road' 0 0 0 30"}));
    EXPECT_EQ(dvk_vcm_done(vcms), 1);
}

TEST_F(PlayPlaylistCmdTest, UnknownPlaylistFails)
{
    sayPlaylist(u"Beach");
    EXPECT_EQ(driver.lastResult, 1);
}

TEST_F(PlayPlaylistCmdTest, NoneNamedOffersThePlaylists)
{
    sayPlaylist(u"");
    const Log log = take();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[0], "step vcm_selectItem");
    EXPECT_EQ(log[1].rfind("commandstr 70 title 611 bar 586 2 ", 0), 0u) << log[1];
    EXPECT_EQ(log[2], "addPrompt 442");
    // The one touched plays, with the tip for a choice from the list.
    event(DVK_UI_EVENT_SELECT, 1);
    EXPECT_EQ(take(), (Log{"step vcm_playComplete",
                           "text 73 title 608 body \"String 219\nGym\" keys -1/0 -1/0 492/4 time -1", "addText Gym",
                           "addPrompt 376", "addEarcon 6", "addPrompt 403", "addPrompt 309",
                           "addText String 46 Gym", "play '' '' '' 'Gym' 0 0 0 31"}));
}

TEST_F(PlayPlaylistCmdTest, NoPlaylistsIsNoMusicStored)
{
    fakePlaylists().clear();
    sayPlaylist(u"");
    EXPECT_EQ(take(), (Log{"step vcm_nomusicstored", "text 78 title 600 body 257 keys 497/14 -1/0 492/4 time 10000",
                           "addEarcon 5", "addPrompt 347", "addStringId 257"}));
}

}  // namespace
