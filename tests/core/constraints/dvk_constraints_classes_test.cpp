// Members of the classes that live with the tables: string lists, gated
// string lists, command classes, applications, help topics, phone modes,
// music and the speech API's phrase list.
#include "tests/core/constraints/constraints_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Texts = std::vector<std::u16string>;

TEST_F(ConstraintClassTest, StringListsGiveTheirTextsInOrder)
{
    EXPECT_EQ(surfaces("yesno"), stringTexts({100, 41}));
    EXPECT_EQ(surfaces("alwaysAvailable"), stringTexts({2, 53, 8, 55, 16, 20, 91, 82, 75, 54, 77}));
    EXPECT_EQ(surfaces("gotoCalOptsRaz"), stringTexts({672, 678}));
    EXPECT_EQ(surfaces("albumType"), stringTexts({0}));
    for (const WalkedMember& m : walkClass(staticClass("yesno"), strings_))
        EXPECT_FALSE(m.spoken.has_value());
}

TEST_F(ConstraintClassTest, GatedListsFollowTheFeatures)
{
    EXPECT_EQ(surfaces("checkItem"), stringTexts({76}));  // its first is always there
    enableFeature(36);
    EXPECT_EQ(surfaces("checkItem"), stringTexts({76, 39}));
    EXPECT_EQ(surfaces("checkItemRaz"), stringTexts({76}));

    EXPECT_EQ(surfaces("messageType"), Texts{});
    enableFeature(4);
    enableFeature(9);
    EXPECT_EQ(surfaces("messageType"), stringTexts({79, 80, 94, 96}));
    enableFeature(4, 0);
    EXPECT_EQ(surfaces("messageType"), stringTexts({94, 96}));
    enableFeature(20);
    EXPECT_EQ(surfaces("lookupActionRaz"), stringTexts({672, 677}));
}

TEST_F(ConstraintClassTest, ModelAndBoundaryClassesHaveNoMembers)
{
    for (const char* name : {"call", "play", "myCarrier", "sendMessage", "_CONSTRAINT_CLASS_START",
                             "_CONSTRAINT_CLASS_END"}) {
        dvk_constraints_WordClass* wc = staticClass(name);
        EXPECT_EQ(wc->getFirst(wc), 0) << name;
    }
}

TEST_F(ConstraintClassTest, IteratorsOutsideAListGiveNothing)
{
    dvk_constraints_WordClass* wc = staticClass("yesno");
    EXPECT_EQ(wc->getNext(wc, 2), 0);
    dvk_ucs2_Char* surface = nullptr;
    dvk_ucs2_Char* spoken = nullptr;
    for (dvk_constraints_Iterator it : {0, 3, -1}) {
        wc->getEntry(wc, strings_, it, &surface, &spoken);
        EXPECT_EQ(surface, nullptr) << it;
        EXPECT_EQ(spoken, nullptr) << it;
    }
    // A gated position that is switched off is no member either.
    dvk_constraints_WordClass* gated = staticClass("checkItem");
    gated->getEntry(gated, strings_, 2, &surface, &spoken);
    EXPECT_EQ(surface, nullptr);
}

TEST_F(ConstraintClassTest, ModesGiveNameAndSynonymsBeforeTheNextMode)
{
    const std::vector<WalkedMember> modes = walkClass(staticClass("modeList"), strings_);
    const std::vector<WalkedMember> expected = {
        {u"Silent", {}},  {u"Quiet", {}},       {u"Vibrate", u"vibe rate"},
        {u"Buzzer", {}},  {u"Meeting", {}},     {u"Spreadsheet", {}},
        {u"Super Extra Loud", {}}, {u"Ear-piercing", {}},
    };
    EXPECT_EQ(modes, expected);
    fakeOemSettings().language = 0;
    EXPECT_EQ(surfaces("modeList"), Texts{});
}

TEST_F(ConstraintClassTest, ApplicationsGiveUpToThreeMembersEach)
{
    fakeGotoItems() = {
        {u"Mail", u"", u"E-mail", u"Post", 10, 1},
        {u"Maps", u"mapz", u"Atlas", u"", 20, 1},
        {u"Hidden", u"", u"Secret", u"Covert", 30, 0},
        {u"Notes", u"", u"", u"Memo", 40, 1},  // a second synonym without a first
    };
    const std::vector<WalkedMember> expected = {
        {u"Mail", {}}, {u"E-mail", {}}, {u"Post", {}}, {u"Maps", u"mapz"}, {u"Atlas", {}}, {u"Notes", {}},
    };
    EXPECT_EQ(walkClass(staticClass("goToApplist"), strings_), expected);
}

TEST_F(ConstraintClassTest, HelpTopicsAreWalkedWhole)
{
    fakeHelpItems() = {{u"Calling", u"kolling", u"Dial", u"", 1, 0}, {u"Music", u"", u"", u"", 2, 1}};
    const std::vector<WalkedMember> expected = {
        {u"Calling", u"kolling"}, {u"Dial", {}}, {u"Music", {}}};
    EXPECT_EQ(walkClass(staticClass("helpTopicList"), strings_), expected);
}

// A walk broken off is started again by getFirst from the item's name.
TEST_F(ConstraintClassTest, FirstStartsTheMembersOfAnItemAgain)
{
    fakeGotoItems() = {{u"Mail", u"", u"E-mail", u"Post", 10, 1}};
    dvk_constraints_WordClass* wc = staticClass("goToApplist");
    dvk_constraints_Iterator it = wc->getFirst(wc);
    EXPECT_EQ(wc->getNext(wc, it), it);  // on to "E-mail"
    EXPECT_EQ(walkSurfaces(wc, strings_), (Texts{u"Mail", u"E-mail", u"Post"}));
}

TEST_F(ConstraintClassTest, MusicClassesWalkTheLibrary)
{
    fakeSongs() = {
        {u"", u"Nobody", u"Nothing", u"", u"noh body", u"", 1, 0, 0, false},
        {u"Alone", u"", u"", u"", u"", u"", 2, 0, 0, false},
        {u"Full", u"Band", u"Record", u"fool", u"", u"rekord", 3, 30, 300, false},
    };
    fakePlaylists() = {{u"Morning", u"", u"", u"", 7, 1}, {u"Evening", u"eeve", u"", u"", 8, 1}};
    EXPECT_EQ(walkClass(staticClass("album"), strings_),
              (std::vector<WalkedMember>{{u"Nothing", {}}, {u"Record", u"rekord"}}));
    EXPECT_EQ(walkClass(staticClass("artist"), strings_),
              (std::vector<WalkedMember>{{u"Nobody", u"noh body"}, {u"Band", {}}}));
    EXPECT_EQ(walkClass(staticClass("song"), strings_),
              (std::vector<WalkedMember>{{u"Alone", {}}, {u"Full", {}}}));
    const std::vector<WalkedMember> playlists = {{u"Morning", {}}, {u"Evening", u"eeve"}};
    EXPECT_EQ(walkClass(staticClass("playlist"), strings_), playlists);
    EXPECT_EQ(walkClass(staticClass("simplePlaylist"), strings_), playlists);
}

TEST_F(ConstraintClassTest, PhraseListGivesRecognisableItemsWithTheirSpokenForm)
{
    EXPECT_EQ(surfaces("dkapiPfl"), Texts{});
    fakeDkapi().items = {{u"Pizza|peetsa", true}, {u"Pasta", false}, {u"Soup", true}};
    const std::vector<WalkedMember> expected = {{u"Pizza|peetsa", u"peetsa"}, {u"Soup", u"Soup"}};
    EXPECT_EQ(walkClass(staticClass("dkapiPfl"), strings_), expected);
}

TEST_F(ConstraintClassTest, WalksLeakNothingWhicheverAllocationFails)
{
    enableFeature(36);
    enableFeature(4);
    fakeGotoItems() = {{u"Mail", u"mayl", u"E-mail", u"Post", 10, 1}, {u"Maps", u"", u"Atlas", u"", 20, 1}};
    fakeHelpItems() = {{u"Calling", u"kolling", u"Dial", u"Ring", 1, 1}};
    fakeSongs() = {{u"Full", u"Band", u"Record", u"fool", u"bänd", u"rekord", 3, 30, 300, false}};
    fakePlaylists() = {{u"Evening", u"eeve", u"", u"", 8, 1}};
    fakeDkapi().items = {{u"Pizza|peetsa", true}, {u"Soup", true}};
    for (const char* name : {"yesno", "alwaysAvailable", "checkItem", "messageType", "modeList",
                             "goToApplist", "helpTopicList", "album", "artist", "song", "playlist",
                             "simplePlaylist", "dkapiPfl"})
        expectWalkLeakFree(name);
}

} // namespace
