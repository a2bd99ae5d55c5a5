// The play command over a fake library, from the root: the category word
// alone asks for the name, found music is played at once or confirmed, a
// title several artists share asks which artist, at most four candidates
// are offered, no to all goes back, and ids the library cannot read fail.
// Music ids are places in the library's walks (1-based).
#include "tests/vcmbase_gen/harness/dialog_harness.h"
#include "tests/vcmbase_gen/harness/recording_answers.h"

#include "core/nbest/dvk_nbest.h"
#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_mem.h"
#include "sdk/common/dvk_settings.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using Log = std::vector<std::string>;
using Ids = std::vector<uint32_t>;
// Music ids by value slot: 1 album, 4 artist, 21 playlist, 24 song.
using Entry = std::map<int32_t, Ids>;

enum : int32_t { ALBUM = 1, ARTIST = 4, PLAYLIST = 21, SONG = 24 };

class PlayMusicCmdTest : public DialogHarness {
protected:
    void SetUp() override
    {
        DialogHarness::SetUp();
        fakeSongs().clear();
        fakePlaylists().clear();
        recordAnswers(&notifications);
        dvk_settings_setChoiceListMusicConfirmMode(0);
    }
    void TearDown() override
    {
        fakeSongs().clear();
        fakePlaylists().clear();
        DialogHarness::TearDown();
    }
    static void song(const std::u16string& title, const std::u16string& artist, const std::u16string& album = u"",
                     int32_t context = 0)
    {
        FakeSong s;
        s.title = title;
        s.artist = artist;
        s.album = album;
        s.songContext = context;
        s.artistContext = context + 1;
        s.albumContext = context + 2;
        fakeSongs().push_back(s);
    }
    // The root with the play gate (command 23), then it said with these
    // entries of music ids.
    void sayPlay(const std::vector<Entry>& entries)
    {
        configure({{{200}, {}, 400, -1, 68, 23}});
        start();
        take();
        dvk_nbest_List* nbest = said(0);
        const dvk_ucs2_Char x[] = {'x', 0};
        for (size_t e = 0; e < entries.size(); e++) {
            // Every entry holds the command word, as the gate's grammar gives it.
            if (e > 0 && (dvk_nbest_addEntry(nbest) != static_cast<int32_t>(e) ||
                          dvk_nbest_duplicateValue(nbest, 0, nbest, static_cast<int32_t>(e), 9) != 0))
                ADD_FAILURE() << "entry " << e;
            for (const auto& [slot, ids] : entries[e])
                dvk_nbest_addValue(nbest, static_cast<int32_t>(e), slot, "music", x, x, 0, nullptr,
                                   static_cast<int32_t>(ids.size()), ids.data());
        }
        result(nbest);
    }
    static std::string confirm(int32_t title, const std::vector<std::string>& items, int32_t selected = 0)
    {
        std::string line = "confirm 72 title " + std::to_string(title) + " body \"\" bar 586 items";
        for (const std::string& item : items)
            line += " \"" + item + "\"";
        return line + " selected " + std::to_string(selected) + " [278,271] keys 497/14 -1/0 492/4 start -1 time 10000";
    }
};

TEST_F(PlayMusicCmdTest, CategoryWordAloneAsksForTheName)
{
    song(u"Hello", u"Adele");
    configure({{{200}, {}, 400, -1, 68, 23}});
    start();
    take();
    dvk_nbest_List* nbest = said(0);
    const dvk_ucs2_Char artists[] = {'S', 't', 'r', 'i', 'n', 'g', ' ', '1', 0};
    dvk_nbest_addValueNoIds(nbest, 0, 22, "category", artists, artists);
    result(nbest);
    EXPECT_EQ(take(), (Log{"step vcm_playsaymusic",
                           "listen 71 title 610 body 230 image -1 bar 586 [] keys 497/14 -1/0 492/4 start -1 time -1",
                           "addPrompt 390", "addEarcon 1", "listen 24 38"}));
}

TEST_F(PlayMusicCmdTest, NothingFoundAsksForAnyMusic)
{
    song(u"Hello", u"Adele");  // no album
    sayPlay({{{ALBUM, {1}}}});
    EXPECT_EQ(top(), "vcm_playsaymusic");
    EXPECT_EQ(*static_cast<int32_t*>(dvk_vcm_currentContext(vcms)), -1);
}

TEST_F(PlayMusicCmdTest, OneResultPlaysAtOnce)
{
    song(u"Hello", u"Adele", u"25", 10);
    song(u"Skyfall", u"adele", u"", 20);
    fakePlaylists() = {{u"Road", u"", u"", u"", 30}};
    const struct {
        Entry entry;
        std::string body;
        std::string answer;
    } cases[] = {
        {{{PLAYLIST, {1}}}, "String 219\nRoad", "play '' '' '' 'Road' 0 0 0 30"},
        {{{ALBUM, {1}}}, "String 158\n25\n\nString 159\nAdele", "play '' 'Adele' '25' '' 0 11 12 0"},
        {{{ARTIST, {1}}}, "String 159\nAdele", "play '' 'Adele' '' '' 0 11 0 0"},
        {{{SONG, {2}}}, "String 246\nSkyfall\n\nString 159\nadele", "play 'Skyfall' 'adele' '' '' 20 21 0 0"},
        // A song by a named artist: the artist's name matched ignoring case.
        {{{SONG, {1}}, {ARTIST, {2}}}, "String 246\nHello\n\nString 159\nAdele", "play 'Hello' 'Adele' '' '' 10 11 0 0"},
        // No song by the artist named: the artist.
        {{{SONG, {1}}, {ARTIST, {3}}}, "", ""},
    };
    song(u"Rain", u"Other", u"", 40);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        sayPlay({c.entry});
        const Log log = take();
        if (c.body.empty()) {
            ASSERT_GE(log.size(), 2u);
            EXPECT_EQ(log[1], "text 73 title 608 body \"String 159\nOther\" keys -1/0 -1/0 492/4 time -1");
        } else {
            ASSERT_GE(log.size(), 2u);
            EXPECT_EQ(log[0], "step vcm_playComplete");
            EXPECT_EQ(log[1], "text 73 title 608 body \"" + c.body + "\" keys -1/0 -1/0 492/4 time -1");
            EXPECT_EQ(log.back(), c.answer);
        }
        dvk_vcm_endSession(&vcms);
    }
}

TEST_F(PlayMusicCmdTest, PlayedSaysTheChoice)
{
    song(u"Hello", u"Adele");
    fakeSongs()[0].titlePronunciation = u"heh low";
    sayPlay({{{SONG, {1}}, {ARTIST, {1}}}});
    EXPECT_EQ(take(), (Log{"step vcm_playComplete",
                           "text 73 title 608 body \"String 246\nHello\n\nString 159\nAdele\" keys -1/0 -1/0 492/4 time -1",
                           "addText heh low String 48 Adele", "addPrompt 376", "addEarcon 6",
                           "play 'Hello' 'Adele' '' '' 0 1 0 0"}));
    EXPECT_EQ(dvk_vcm_done(vcms), 1);
}

TEST_F(PlayMusicCmdTest, TitleSharedByTwoArtistsAsksWhichArtist)
{
    song(u"Hello", u"Adele", u"", 10);
    song(u"Hello", u"Lionel", u"", 20);
    sayPlay({{{SONG, {1, 2}}}});
    EXPECT_EQ(take(), (Log{"step vcm_playmusic_confirm", confirm(647, {"String 168 Adele", "String 168 Lionel"}),
                           "addPrompt 435", "addText Adele", "addEarcon 2", "listen 37 38"}));
    event(DVK_UI_EVENT_SELECT, 1);
    const Log log = take();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[1], "text 73 title 608 body \"String 246\nHello\n\nString 159\nLionel\" keys -1/0 -1/0 492/4 time -1");
    // Confirmed: not said again; the tip follows.
    EXPECT_EQ(Log(log.begin() + 2, log.end()),
              (Log{"addPrompt 376", "addEarcon 6", "addPrompt 403", "addPrompt 309",
                   "addText String 46 Hello String 48 Lionel", "play 'Hello' 'Lionel' '' '' 20 21 0 0"}));
}

TEST_F(PlayMusicCmdTest, SharedTitleAmongOthersIsConfirmedThenAsked)
{
    song(u"Hello", u"Adele", u"", 10);
    song(u"Hello", u"Lionel", u"", 20);
    song(u"Rain", u"Adele", u"", 30);
    sayPlay({{{SONG, {1, 2}}}, {{SONG, {3}}}});
    EXPECT_EQ(take(), (Log{"step vcm_playmusic_confirm",
                           confirm(613, {"String 171 Hello String 48 String 406", "String 171 Rain String 48 Adele"}),
                           "addPrompt 93", "addText Hello String 48 String 406", "addEarcon 2", "listen 37 38"}));
    event(DVK_UI_EVENT_YES);
    EXPECT_EQ(take()[1], confirm(647, {"String 168 Adele", "String 168 Lionel"}));
}

TEST_F(PlayMusicCmdTest, AtMostFourCandidates)
{
    for (char16_t c = u'a'; c < u'a' + 8; c++)
        song(std::u16string(1, c), u"X");
    sayPlay({{{SONG, {1, 2}}}, {{SONG, {3, 4}}}, {{SONG, {5, 6}}}, {{SONG, {7, 8}}}});
    const Log log = take();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[1], confirm(613, {"String 171 a String 48 X", "String 171 b String 48 X", "String 171 c String 48 X",
                                    "String 171 d String 48 X"}));
    dvk_vcm_endSession(&vcms);

    // Five ids in one entry: two taken from it.
    sayPlay({{{SONG, {1, 2, 3, 4, 5, 6, 7, 8}}}});
    EXPECT_EQ(take()[1], confirm(613, {"String 171 a String 48 X", "String 171 b String 48 X"}));
    dvk_vcm_endSession(&vcms);

    // The same ids again add nothing.
    sayPlay({{{SONG, {1}}}, {{SONG, {1}}}, {{ARTIST, {2}}}});
    EXPECT_EQ(take()[1], confirm(613, {"String 171 a String 48 X", "String 168 X"}));
}

TEST_F(PlayMusicCmdTest, AlbumsOfOneNameMerge)
{
    song(u"One", u"Adele", u"Hits", 10);
    song(u"Two", u"Lionel", u"Hits", 20);
    song(u"Three", u"Adele", u"Hits", 30);
    sayPlay({{{ALBUM, {1, 2}}}, {{ALBUM, {3}}}});
    // One record with one alternate (the third has an artist it holds).
    EXPECT_EQ(take()[1], confirm(647, {"String 168 Adele", "String 168 Lionel"}));
}

TEST_F(PlayMusicCmdTest, ConfirmationModeOnePlaysTheFirst)
{
    song(u"a", u"X", u"", 10);
    song(u"b", u"X", u"", 20);
    dvk_settings_setChoiceListMusicConfirmMode(1);
    sayPlay({{{SONG, {1, 2}}}});
    const Log log = take();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log[0], "step vcm_playComplete");
    EXPECT_EQ(log.back(), "play 'a' 'X' '' '' 10 11 0 0");
}

TEST_F(PlayMusicCmdTest, NoToEveryCandidateGoesBack)
{
    song(u"a", u"X");
    song(u"b", u"X");
    sayPlay({{{SONG, {1, 2}}}});
    take();
    event(DVK_UI_EVENT_NO);
    EXPECT_EQ(top(), "vcm_playmusic_confirm");
    EXPECT_EQ(take(), (Log{"step vcm_playmusic_confirm",
                           confirm(613, {"String 171 a String 48 X", "String 171 b String 48 X"}, 1), "addPrompt 93",
                           "addText b String 48 X", "addEarcon 2", "listen 37 38"}));
    // A spoken no is the same.
    const dvk_ucs2_Char no[] = {'n', 'o', 0};
    dvk_nbest_List* answer = dvk_nbest_create(37, "yesno", 90);
    dvk_nbest_addEntry(answer);
    dvk_nbest_addValueNoIds(answer, 0, 26, "yesno", no, no);
    result(answer);
    EXPECT_EQ(top(), "vcm_root");
}

TEST_F(PlayMusicCmdTest, UnreadableIdsFail)
{
    song(u"a", u"X");
    for (const Entry& entry : {Entry{{SONG, {9}}}, Entry{{ARTIST, {1, 2}}}, Entry{{PLAYLIST, {1}}}}) {
        sayPlay({entry});
        EXPECT_EQ(driver.lastResult, 1);
        dvk_vcm_endSession(&vcms);
        driver.lastResult = 0;
    }
}

TEST_F(PlayMusicCmdTest, EmptyLibraryOrNoResult)
{
    configure({{{200}, {}, 400, -1, 68, 23}});
    start();
    take();
    result(said(0));
    EXPECT_EQ(take(), (Log{"step vcm_nomusicstored", "text 77 title 598 body 257 keys 497/14 -1/0 492/4 time 10000",
                           "addEarcon 5", "addPrompt 333", "addStringId 257"}));
    dvk_vcm_endSession(&vcms);

    song(u"a", u"X");
    const struct {
        int32_t listening, nonListening;
        const char* state;
    } cases[] = {{1, 0, "vcm_nomatch_listen"}, {0, 0, "vcm_nomatch_nonlisten"}, {1, 1, "vcm_nomatch_nonlisten"}};
    for (const auto& c : cases) {
        feature(65, c.listening);
        feature(63, c.nonListening);
        open();
        dvk_vcm_setGateCmd(vcms, 23);
        ASSERT_EQ(dvk_vcm_push(vcms, dvk_gen_vcm_newPlayMusicCmd(vcms)), 0);
        dvk_msg_Message* message = nullptr;
        EXPECT_EQ(dvk_vcm_handleResult(vcms, nullptr, &message), 0);
        EXPECT_EQ(message, nullptr);
        EXPECT_EQ(top(), c.state);
        dvk_vcm_endSession(&vcms);
    }
}

TEST_F(PlayMusicCmdTest, EachAllocationFailingLeavesNothing)
{
    song(u"Hello", u"Adele", u"Hits", 10);
    song(u"Hello", u"Lionel", u"Hits", 20);
    song(u"Rain", u"Adele", u"", 30);
    fakePlaylists() = {{u"Road", u"", u"", u"", 40}};
    const std::vector<Entry> entries = {{{SONG, {1, 2}}}, {{SONG, {3}}, {ARTIST, {1}}}, {{PLAYLIST, {1}}},
                                        {{ALBUM, {1, 2}}}};
    const dvk_ucs2_Char x[] = {'x', 0};
    open();
    dvk_vcm_setGateCmd(vcms, 23);
    dvk_vcm_clearStack(vcms);
    dvk_vcm_resetState(vcms);
    const long base = dvk_mem_liveBlocks();
    for (long n = 0;; n++) {
        SCOPED_TRACE(n);
        ASSERT_EQ(dvk_vcm_push(vcms, dvk_gen_vcm_newPlayMusicCmd(vcms)), 0);
        dvk_nbest_List* nbest = dvk_nbest_create(-2, "music", 90);
        for (size_t e = 0; e < entries.size(); e++) {
            dvk_nbest_addEntry(nbest);
            for (const auto& [slot, ids] : entries[e])
                dvk_nbest_addValue(nbest, static_cast<int32_t>(e), slot, "music", x, x, 0, nullptr,
                                   static_cast<int32_t>(ids.size()), ids.data());
        }
        dvk_msg_Message* message = nullptr;
        dvk_mem_failAfter(n);
        const int result = dvk_vcm_handleResult(vcms, nbest, &message);
        dvk_mem_failAfter(-1);
        EXPECT_TRUE(result == 0 || result == 1);
        const std::string reached = top();
        dvk_vcm_clearStack(vcms);
        dvk_vcm_resetState(vcms);
        ASSERT_EQ(dvk_mem_liveBlocks(), base);
        if (result == 0) {
            EXPECT_EQ(reached, "vcm_playmusic_confirm");
            break;
        }
        ASSERT_LT(n, 400);
    }
}

}  // namespace
