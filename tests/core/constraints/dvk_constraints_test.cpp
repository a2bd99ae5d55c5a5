// The static tables: classes and constraints as listed, every transition as
// designed (built here again from the design's pieces and compared as sets),
// penalties by their rule, and the shape every recogniser search relies on.
#include "core/constraints/dvk_constraints.h"

#include "core/constraints/dvk_constraints_dynamictable.h"
#include "tests/support/suite_memory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

enum class Rules { none, digit, extension, search };

struct ExpectedClass {
    uint32_t id;
    const char* name;
    int32_t key, type, rebuild, provider, noSeparator;
};

struct ExpectedConstraint {
    int32_t id;
    const char* name;
    const char* classes;  // comma-separated, in table order
    int32_t count;
    Rules rules;
};

// The class table: id, name, key, member type, rebuild, provider, no-separator.
const ExpectedClass kClasses[] = {
    {1, "_CONSTRAINT_CLASS_START", 7, 1, 0, 0, 1},
    {2, "lastNumber", 14, 1, 0, 0, 0},
    {3, "playlistType", 22, 1, 0, 0, 0},
    {4, "nameLabelFill", 7, 1, 0, 0, 0},
    {5, "digits1", 6, 1, 0, 0, 1},
    {6, "play", 9, 1, 0, 0, 0},
    {7, "digits2", 6, 1, 0, 0, 1},
    {8, "redial", 9, 1, 0, 0, 0},
    {9, "callDigitsFill", 7, 1, 0, 0, 0},
    {10, "searchRaz", 9, 1, 0, 0, 0},
    {11, "messageType", 17, 1, 0, 0, 0},
    {12, "songType", 22, 1, 0, 0, 0},
    {13, "helpTopicList", 13, 1, 1, 1, 0},
    {14, "albumType", 22, 1, 0, 0, 0},
    {15, "names", 20, 0, 0, 1, 0},
    {16, "checkItemFill", 7, 1, 0, 0, 0},
    {17, "turnServiceOnOff", 9, 1, 0, 0, 0},
    {18, "simplePlaylist", 23, 1, 1, 1, 0},
    {19, "msgDigitsFill", 7, 1, 0, 0, 0},
    {20, "topLevelGoTo", 9, 1, 0, 0, 0},
    {21, "check", 9, 1, 0, 0, 0},
    {22, "yesno", 26, 1, 0, 0, 0},
    {23, "album", 1, 2, 0, 1, 0},
    {24, "turnDrivingModeOn", 9, 1, 0, 0, 0},
    {25, "playlist", 21, 2, 0, 1, 0},
    {26, "changeMode", 9, 1, 0, 0, 0},
    {27, "group", 12, 1, 0, 1, 0},
    {28, "goTo", 9, 1, 0, 0, 0},
    {29, "msgNameFill", 7, 1, 0, 0, 0},
    {30, "playSongByArtistFill", 7, 1, 0, 0, 0},
    {31, "callNameFill", 7, 1, 0, 0, 0},
    {32, "sendText", 9, 1, 0, 0, 0},
    {33, "help", 9, 1, 0, 0, 0},
    {34, "alwaysAvailableRAZ", 3, 1, 0, 0, 0},
    {35, "alwaysAvailable", 2, 1, 0, 0, 0},
    {36, "call", 9, 1, 0, 0, 0},
    {37, "location", 15, 1, 0, 1, 0},
    {38, "auxNames", 20, 0, 1, 1, 0},
    {39, "lookup", 9, 1, 0, 0, 0},
    {40, "email", 9, 1, 0, 0, 0},
    {41, "voiceMail", 25, 1, 0, 0, 0},
    {42, "surpriseMe", 9, 1, 0, 0, 0},
    {43, "helpMeWith", 9, 1, 0, 0, 0},
    {44, "sendType", 9, 1, 0, 0, 0},
    {45, "gotoCalOptsRaz", 11, 1, 0, 0, 0},
    {46, "song", 24, 2, 0, 1, 0},
    {47, "alwaysAvailableNoPenaltyRAZ", 3, 1, 0, 0, 0},
    {48, "goToApplist", 10, 1, 1, 1, 0},
    {49, "lookupRaz", 9, 1, 0, 0, 0},
    {50, "sendMessage", 9, 1, 0, 0, 0},
    {51, "lookupNameFill", 7, 1, 0, 0, 0},
    {52, "artistType", 22, 1, 0, 0, 0},
    {53, "turnDrivingModeOff", 9, 1, 0, 0, 0},
    {54, "fn", 6, 1, 1, 1, 1},
    {55, "checkItemRaz", 5, 1, 1, 0, 0},
    {56, "nextCmd", 19, 1, 0, 0, 0},
    {57, "checkItem", 5, 1, 1, 0, 0},
    {58, "extension", 8, 1, 0, 0, 1},
    {59, "artist", 4, 2, 0, 1, 0},
    {60, "labelFill", 7, 1, 0, 0, 0},
    {61, "dkapiPfl", 0, 1, 1, 1, 0},
    {62, "modeList", 18, 1, 1, 1, 0},
    {63, "plus", 6, 1, 0, 0, 1},
    {64, "lookupActionRaz", 16, 1, 0, 0, 0},
    {65, "myCarrier", 9, 1, 0, 0, 0},
    {66, "_CONSTRAINT_CLASS_END", 7, 1, 0, 0, 1},
};

// The constraint table: id, name, classes, transitions, rules provider.
const ExpectedConstraint kConstraints[] = {
    {0, "callNameOrNumber", "auxNames, call, callDigitsFill, callNameFill, digits1, digits2, fn, labelFill, location, nameLabelFill, names, plus, voiceMail", 32, Rules::digit},
    {1, "callOptnlNameNum", "auxNames, call, callDigitsFill, callNameFill, digits1, digits2, fn, labelFill, location, nameLabelFill, names, plus, voiceMail", 37, Rules::digit},
    {2, "callName", "auxNames, call, callNameFill, labelFill, location, nameLabelFill, names, voiceMail", 19, Rules::none},
    {3, "callNumber", "call, callDigitsFill, digits1, digits2, fn, plus", 15, Rules::digit},
    {4, "callExtension", "call, callDigitsFill, digits1, extension", 7, Rules::extension},
    {5, "extension", "digits1, extension", 4, Rules::extension},
    {6, "send", "auxNames, digits1, digits2, fn, group, labelFill, location, msgDigitsFill, msgNameFill, nameLabelFill, names, plus, sendType", 33, Rules::digit},
    {7, "sendEmail", "auxNames, email, group, labelFill, location, msgNameFill, nameLabelFill, names", 19, Rules::digit},
    {8, "sendTextNameGrp", "auxNames, group, labelFill, location, msgNameFill, nameLabelFill, names, sendText", 20, Rules::none},
    {9, "recentCalls", "fn", 2, Rules::digit},
    {10, "lookup", "auxNames, lookup, lookupNameFill, names", 9, Rules::none},
    {11, "goTo", "goTo, goToApplist", 4, Rules::none},
    {12, "appList", "goToApplist", 2, Rules::none},
    {13, "surpriseMe", "surpriseMe", 2, Rules::none},
    {14, "topLevelGoTo", "topLevelGoTo", 2, Rules::none},
    {15, "changeMode", "changeMode, modeList", 4, Rules::none},
    {16, "changeModeList", "modeList", 2, Rules::none},
    {17, "helpMeWith", "helpMeWith, helpTopicList", 4, Rules::none},
    {18, "helpMeWithList", "helpTopicList", 2, Rules::none},
    {19, "playPlaylist", "play, simplePlaylist", 4, Rules::none},
    {20, "playlist", "simplePlaylist", 2, Rules::none},
    {21, "playMusic", "album, albumType, artist, artistType, play, playSongByArtistFill, playlist, playlistType, song, songType", 28, Rules::none},
    {22, "music", "album, artist, playSongByArtistFill, playlist, song", 10, Rules::none},
    {23, "playSongOnly", "song", 2, Rules::none},
    {24, "playArtistOnly", "artist", 2, Rules::none},
    {25, "playAlbumOnly", "album", 2, Rules::none},
    {26, "playPlaylistOnly", "playlist", 2, Rules::none},
    {27, "check", "check, checkItem, checkItemFill", 6, Rules::none},
    {28, "checkRaz", "check, checkItemFill, checkItemRaz", 6, Rules::none},
    {29, "searchRaz", "searchRaz", 2, Rules::none},
    {30, "checkItemList", "checkItem", 2, Rules::none},
    {31, "checkItemListRaz", "checkItemRaz", 2, Rules::none},
    {32, "names", "auxNames, names", 4, Rules::none},
    {33, "namesLocs", "auxNames, labelFill, location, nameLabelFill, names", 12, Rules::none},
    {34, "label", "labelFill, location", 4, Rules::none},
    {35, "digits", "digits1, digits2, plus", 7, Rules::digit},
    {36, "nextCmd", "nextCmd", 2, Rules::none},
    {37, "yesno", "yesno", 2, Rules::none},
    {38, "alwaysAvailable", "alwaysAvailable", 2, Rules::none},
    {39, "turnDrvModeOn", "turnDrivingModeOn", 2, Rules::none},
    {40, "turnDrvModeOff", "turnDrivingModeOff", 2, Rules::none},
    {41, "enableService", "turnServiceOnOff", 2, Rules::none},
    {42, "voiceMailGen", "voiceMail", 2, Rules::none},
    {43, "myCarrier", "myCarrier", 2, Rules::none},
    {44, "redial", "redial", 2, Rules::none},
    {45, "help", "help", 2, Rules::none},
    {46, "groups", "group", 2, Rules::none},
    {47, "alwaysAvailRaz", "alwaysAvailableNoPenaltyRAZ, alwaysAvailableRAZ", 4, Rules::none},
    {48, "messageTypeRaz", "messageType", 2, Rules::none},
    {49, "sendRaz", "auxNames, digits1, digits2, fn, group, labelFill, location, messageType, msgDigitsFill, msgNameFill, nameLabelFill, names, plus, sendMessage", 43, Rules::digit},
    {50, "callNameOrNbrRaz", "auxNames, call, callDigitsFill, callNameFill, digits1, digits2, fn, labelFill, lastNumber, location, nameLabelFill, names, plus, voiceMail", 34, Rules::digit},
    {51, "callNameRaz", "auxNames, call, callNameFill, labelFill, lastNumber, location, nameLabelFill, names, voiceMail", 21, Rules::none},
    {52, "lookupRaz", "auxNames, lookupNameFill, lookupRaz, names", 9, Rules::none},
    {53, "lookupActionRaz", "lookupActionRaz", 2, Rules::none},
    {54, "lastNumOrVMRaz", "lastNumber, voiceMail", 4, Rules::none},
    {55, "gotoCalOptsRaz", "gotoCalOptsRaz", 2, Rules::none},
    {56, "dkapiPfl", "dkapiPfl", 2, Rules::none},
    {57, "dkapiNames", "auxNames, names", 4, Rules::none},
    {58, "dkapiPhoneNbr", "digits1, digits2, plus", 7, Rules::digit},
    {59, "dkapiDigits", "digits1", 3, Rules::search},
    {60, "dkapiSong", "song", 2, Rules::none},
    {61, "dkapiArtist", "artist", 2, Rules::none},
    {62, "dkapiAlbum", "album", 2, Rules::none},
    {63, "dkapiPlaylist", "playlist", 2, Rules::none},
    {64, "dkapiMusicSimple", "simplePlaylist", 2, Rules::none},
    {65, "dkapiMusic", "album, artist, playSongByArtistFill, playlist, song", 10, Rules::none},
};

const std::string S = "_CONSTRAINT_CLASS_START";
const std::string E = "_CONSTRAINT_CLASS_END";

using Row = std::pair<std::string, std::string>;
using Rows = std::set<Row>;

std::vector<std::string> split(const char* list)
{
    std::vector<std::string> out;
    std::stringstream in(list);
    std::string item;
    while (std::getline(in, item, ',')) {
        item.erase(0, item.find_first_not_of(' '));
        out.push_back(item);
    }
    return out;
}

// The design's pieces: c the constraint's command class, f its filler.
Rows N(const std::string& c, const std::string& f)
{
    Rows r = {{c, "names"}, {c, "auxNames"}, {c, f}, {c, E}, {f, "names"}, {f, "auxNames"}};
    for (const char* n : {"names", "auxNames"}) {
        r.insert({n, "nameLabelFill"});
        r.insert({n, "location"});
        r.insert({n, E});
    }
    r.insert({{"nameLabelFill", "location"}, {"location", "labelFill"}, {"location", E}, {"labelFill", E}});
    return r;
}

Rows Dg(const std::string& c, const std::string& f)
{
    return {{c, "digits1"},       {c, "plus"},          {c, f},
            {f, "digits1"},       {f, "plus"},          {"plus", "digits1"},
            {"digits1", "digits2"}, {"digits2", "digits1"}, {"digits1", E},
            {"digits2", E}};
}

Rows F(const std::string& c, const std::string& f)
{
    return {{c, "fn"}, {f, "fn"}, {"fn", E}};
}

Rows G(const std::string& c, const std::string& f)
{
    return {{c, "group"}, {f, "group"}, {"group", E}};
}

Rows operator+(Rows a, const Rows& b)
{
    a.insert(b.begin(), b.end());
    return a;
}

Rows callName()
{
    return Rows{{S, "call"}, {"call", "voiceMail"}, {"voiceMail", E}} + N("call", "callNameFill");
}

Rows callNameOrNumber()
{
    return callName() + Dg("call", "callDigitsFill") + F("call", "callDigitsFill");
}

Rows send(const std::string& c)
{
    return Rows{{S, c}} + N(c, "msgNameFill") + G(c, "msgNameFill") + Dg(c, "msgDigitsFill") +
           F(c, "msgDigitsFill");
}

Rows music(const std::string& start)
{
    Rows r = {{"song", "playSongByArtistFill"}, {"playSongByArtistFill", "artist"}};
    for (const char* item : {"playlist", "song", "artist", "album"}) {
        r.insert({start, item});
        r.insert({item, E});
    }
    return r;
}

Rows both(const std::string& a, const std::string& b)
{
    return {{S, a}, {S, b}, {a, E}, {b, E}};
}

Rows designedRows(const ExpectedConstraint& c)
{
    const std::vector<std::string> classes = split(c.classes);
    switch (c.id) {
    case 0:
        return callNameOrNumber();
    case 1:
        return callNameOrNumber() + Rows{{S, "names"}, {S, "auxNames"}, {S, "digits1"}, {S, "plus"}, {S, "fn"}};
    case 2:
        return callName();
    case 3:
        return Rows{{S, "call"}, {"call", E}} + Dg("call", "callDigitsFill") + F("call", "callDigitsFill");
    case 4:
        return {{S, "call"},           {"call", "callDigitsFill"}, {"callDigitsFill", "extension"},
                {"call", "extension"}, {"extension", "digits1"},   {"digits1", "digits1"},
                {"digits1", E}};
    case 5:
        return {{S, "extension"}, {"extension", "digits1"}, {"digits1", "digits1"}, {"digits1", E}};
    case 6:
        return send("sendType");
    case 7:
        return Rows{{S, "email"}, {"email", "group"}, {"group", E}} + N("email", "msgNameFill");
    case 8:
        return Rows{{S, "sendText"}} + N("sendText", "msgNameFill") + G("sendText", "msgNameFill");
    case 10:
    case 52: {
        const std::string l = c.id == 10 ? "lookup" : "lookupRaz";
        return {{S, l},
                {l, "names"},
                {l, "auxNames"},
                {l, "lookupNameFill"},
                {l, E},
                {"lookupNameFill", "names"},
                {"lookupNameFill", "auxNames"},
                {"names", E},
                {"auxNames", E}};
    }
    case 11:
    case 15:
    case 17:
    case 19:
        return {{S, classes[0]}, {classes[0], classes[1]}, {classes[1], E}, {classes[0], E}};
    case 21: {
        Rows r = Rows{{S, "play"}, {"play", E}} + music("play");
        for (const auto& [type, item] : std::vector<Row>{
                 {"playlistType", "playlist"}, {"songType", "song"}, {"artistType", "artist"}, {"albumType", "album"}})
            r = r + Rows{{"play", type}, {type, item}, {type, E}};
        return r + Rows{{"play", "playSongByArtistFill"},
                        {"songType", "playSongByArtistFill"},
                        {"song", "artist"},
                        {"album", "artist"}};
    }
    case 22:
    case 65:
        return music(S);
    case 27:
    case 28: {
        const std::string item = c.id == 27 ? "checkItem" : "checkItemRaz";
        return {{S, "check"}, {"check", item}, {"check", "checkItemFill"}, {"check", E},
                {"checkItemFill", item}, {item, E}};
    }
    case 32:
    case 57:
        return both("names", "auxNames");
    case 33:
        return {{S, "names"},          {S, "auxNames"},           {"names", "nameLabelFill"},
                {"auxNames", "nameLabelFill"}, {"names", "location"}, {"auxNames", "location"},
                {"nameLabelFill", "location"}, {"location", "labelFill"}, {"names", E},
                {"auxNames", E},       {"location", E},           {"labelFill", E}};
    case 34:
        return {{S, "location"}, {"location", "labelFill"}, {"labelFill", E}, {"location", E}};
    case 35:
    case 58:
        return {{S, "digits1"},        {S, "plus"},   {"plus", "digits1"}, {"digits1", "digits2"},
                {"digits2", "digits1"}, {"digits1", E}, {"digits2", E}};
    case 47:
        return both("alwaysAvailableRAZ", "alwaysAvailableNoPenaltyRAZ");
    case 49: {
        Rows r = send("sendMessage");
        Rows more = {{"sendMessage", "messageType"}};
        for (const Row& row : r) {
            if (row.first == "sendMessage")
                more.insert({"messageType", row.second});
        }
        return r + more;
    }
    case 50:
        return callNameOrNumber() + Rows{{"call", "lastNumber"}, {"lastNumber", E}};
    case 51:
        return callName() + Rows{{"call", "lastNumber"}, {"lastNumber", E}};
    case 54:
        return both("lastNumber", "voiceMail");
    case 59:
        return {{S, "digits1"}, {"digits1", "digits1"}, {"digits1", E}};
    default:
        EXPECT_EQ(classes.size(), 1u) << c.name;
        return {{S, classes[0]}, {classes[0], E}};
    }
}

uint8_t designedPenalty(const Row& row)
{
    const auto& [from, to] = row;
    const bool digitRun = from == "digits1" || from == "digits2";
    if (to == "digits1" && !digitRun)
        return 15;
    if (digitRun && to == E)
        return 15;
    if (row == Row{"song", "playSongByArtistFill"})
        return 15;
    for (const char* loud : {"alwaysAvailable", "alwaysAvailableRAZ"}) {
        if (from == loud || to == loud)
            return 15;
    }
    return 0;
}

std::map<Row, uint8_t> accessorRows(const dvk_constraints_Constraint* c)
{
    std::map<Row, uint8_t> rows;
    int32_t walked = 0;
    for (int32_t it = dvk_constraint_getFirstTransition(c); it != 0;
         it = dvk_constraint_getNextTransition(c, it)) {
        EXPECT_EQ(it, walked + 1) << c->name;
        ++walked;
        Row row{dvk_constraint_getTransitionFrom(c, it), dvk_constraint_getTransitionTo(c, it)};
        EXPECT_TRUE(rows.emplace(row, dvk_constraint_getTransitionPenalty(c, it)).second)
            << c->name << ": " << row.first << " > " << row.second << " twice";
    }
    EXPECT_EQ(walked, dvk_constraint_getTransitionCount(c)) << c->name;
    return rows;
}

std::map<std::string, int32_t> keysByName()
{
    std::map<std::string, int32_t> keys;
    for (const ExpectedClass& k : kClasses)
        keys[k.name] = k.key;
    return keys;
}

TEST(StaticConstraints, ClassesAreListedById)
{
    dvk_constraints_WordClass** list = dvk_constraints_getWordClassList();
    EXPECT_EQ(list[0], nullptr);
    for (const ExpectedClass& k : kClasses) {
        SCOPED_TRACE(k.name);
        dvk_constraints_WordClass* wc = getWordClassFromId(k.id);
        ASSERT_EQ(wc, list[k.id]);
        EXPECT_STREQ(wc->name, k.name);
        EXPECT_EQ(wc->key, k.key);
        EXPECT_EQ(wc->memberType, k.type);
        EXPECT_EQ(wc->rebuildAlways, k.rebuild);
        EXPECT_EQ(wc->provider, k.provider);
        EXPECT_EQ(wc->noSeparator, k.noSeparator);
        EXPECT_EQ(wc->context, nullptr);
        EXPECT_NE(wc->getFirst, nullptr);
        EXPECT_NE(wc->getEntry, nullptr);
        EXPECT_NE(wc->freeEntry, nullptr);
        EXPECT_NE(wc->getNext, nullptr);
    }
    EXPECT_DEATH(getWordClassFromId(0), "id >= 1 && id <= 66");
    EXPECT_DEATH(getWordClassFromId(67), "id >= 1 && id <= 66");
}

TEST(StaticConstraints, ConstraintsAreListedById)
{
    dvk_constraints_Constraint** list = dvk_constraints_getConstraintList();
    EXPECT_EQ(list[66], nullptr);
    EXPECT_EQ(list[0], &callNameOrNumber_constraint);
    EXPECT_EQ(list[30], &checkItemList_constraint);
    EXPECT_EQ(list[37], &yesno_constraint);
    EXPECT_EQ(list[38], &alwaysAvailable_constraint);
    EXPECT_EQ(list[65], &dkapiMusic_constraint);
    const std::map<Rules, dvk_constraints_RuleSet* (*)()> providers = {
        {Rules::none, nullptr},
        {Rules::digit, dvk_constraints_getDigitRules},
        {Rules::extension, dvk_constraints_getExtensionRules},
        {Rules::search, dvk_constraints_getDkapiDigitsRules},
    };
    for (const ExpectedConstraint& k : kConstraints) {
        SCOPED_TRACE(k.name);
        const dvk_constraints_Constraint* c = list[k.id];
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->id, k.id);
        EXPECT_STREQ(c->name, k.name);
        std::vector<std::string> classes;
        for (dvk_constraints_WordClass** wc = c->wordClasses; *wc != nullptr; ++wc)
            classes.push_back((*wc)->name);
        std::vector<std::string> expected = {E, S};
        for (const std::string& name : split(k.classes))
            expected.push_back(name);
        EXPECT_EQ(classes, expected);
        EXPECT_EQ(dvk_constraint_getTransitionCount(c), k.count);
        EXPECT_EQ(c->rulesProvider, providers.at(k.rules));
        EXPECT_EQ(c->rebuildAlways, std::strcmp(k.name, "dkapiPfl") == 0 ? 1 : 0);
        EXPECT_EQ(c->option, 1);
        EXPECT_EQ(c->dynamic, 0);
        EXPECT_EQ(c->source, nullptr);
    }
}

TEST(StaticConstraints, TransitionsAreTheDesignedOnesWithTheirPenalties)
{
    int32_t total = 0, penalised = 0;
    for (const ExpectedConstraint& k : kConstraints) {
        SCOPED_TRACE(k.name);
        const dvk_constraints_Constraint* c = dvk_constraints_getConstraintList()[k.id];
        const std::map<Row, uint8_t> rows = accessorRows(c);
        const Rows designed = designedRows(k);
        Rows got;
        for (const auto& [row, penalty] : rows) {
            got.insert(row);
            EXPECT_EQ(penalty, designedPenalty(row)) << row.first << " > " << row.second;
            total += 1;
            penalised += penalty != 0;
        }
        EXPECT_EQ(got, designed);
        EXPECT_EQ(static_cast<int32_t>(designed.size()), k.count);
    }
    EXPECT_EQ(total, 495);
    EXPECT_EQ(penalised, 53);
}

// Every class lies on a path from START to END; START has no way in, END
// none out; digits1 is entered only where the number grammar allows it; a
// command class is the only way in (but in callOptnlNameNum, which also
// listens without one).
TEST(StaticConstraints, EveryNetworkHasTheShapeTheSearchNeeds)
{
    const std::set<std::string> intoDigits = {"digits1",  "digits2",        "plus",
                                              S,          "call",           "callDigitsFill",
                                              "msgDigitsFill", "extension", "messageType",
                                              "sendMessage",   "sendType"};
    const std::map<std::string, int32_t> keys = keysByName();
    for (const ExpectedConstraint& k : kConstraints) {
        SCOPED_TRACE(k.name);
        const dvk_constraints_Constraint* c = dvk_constraints_getConstraintList()[k.id];
        std::map<std::string, std::set<std::string>> next, previous;
        for (const auto& [row, penalty] : accessorRows(c)) {
            next[row.first].insert(row.second);
            previous[row.second].insert(row.first);
            EXPECT_NE(row.second, S);
            EXPECT_NE(row.first, E);
            if (row.second == "digits1") {
                EXPECT_TRUE(intoDigits.count(row.first)) << row.first;
            }
        }
        auto reach = [](const std::string& from, std::map<std::string, std::set<std::string>>& edges) {
            std::set<std::string> seen = {from};
            std::vector<std::string> todo = {from};
            while (!todo.empty()) {
                std::string at = todo.back();
                todo.pop_back();
                for (const std::string& to : edges[at]) {
                    if (seen.insert(to).second)
                        todo.push_back(to);
                }
            }
            return seen;
        };
        const std::set<std::string> fromStart = reach(S, next), toEnd = reach(E, previous);
        std::string command;
        for (const std::string& name : split(k.classes)) {
            EXPECT_TRUE(fromStart.count(name) && toEnd.count(name)) << name << " off every path";
            if (keys.at(name) == 9)
                command = name;
        }
        if (!command.empty() && k.id != 1) {
            EXPECT_EQ(next[S], std::set<std::string>{command});
        }
    }
}

// The result keeps one value per run of a key (fillers, key 7, carry none),
// so no path may come back to a key it has left.
TEST(StaticConstraints, NoPathReturnsToAKeyItLeft)
{
    const std::map<std::string, int32_t> keys = keysByName();
    for (const ExpectedConstraint& k : kConstraints) {
        SCOPED_TRACE(k.name);
        const dvk_constraints_Constraint* c = dvk_constraints_getConstraintList()[k.id];
        std::map<std::string, std::set<std::string>> next;
        for (const auto& [row, penalty] : accessorRows(c))
            next[row.first].insert(row.second);
        // State: class, the key of the run it is in (-1 none), keys left behind.
        using State = std::tuple<std::string, int32_t, uint64_t>;
        std::set<State> seen;
        std::vector<State> todo = {{S, -1, 0}};
        while (!todo.empty()) {
            auto [at, run, left] = todo.back();
            todo.pop_back();
            if (!seen.insert({at, run, left}).second)
                continue;
            for (const std::string& to : next[at]) {
                if (to == E)
                    continue;
                const int32_t key = keys.at(to);
                int32_t nextRun = run;
                uint64_t nextLeft = left;
                if (key != run) {
                    if (run >= 0)
                        nextLeft |= uint64_t{1} << run;
                    nextRun = key == 7 ? -1 : key;
                    EXPECT_FALSE(key != 7 && (left >> key & 1)) << "back to key " << key << " at " << to;
                }
                todo.push_back({to, nextRun, nextLeft});
            }
        }
    }
}

class DynamicRouting : public SuiteMemoryTest {};

TEST_F(DynamicRouting, DynamicConstraintsAreAnsweredByTheirTable)
{
    dvk_constraints_DynamicTable* table = dvk_constraints_createDynamicTable();
    const int32_t ids[] = {100}, features[] = {68};
    ASSERT_EQ(dvk_constraints_addWordClass(table, "VSearch #0", 9, ids, features, 1), 0);
    const int32_t classes[] = {0};
    dvk_constraints_Constraint* dynamic = dvk_constraints_addConstraint(table, "VSearch #0", classes, 1);
    ASSERT_NE(dynamic, nullptr);
    EXPECT_EQ(dvk_constraint_getFirstTransition(dynamic), 0);
    EXPECT_EQ(dvk_constraint_getTransitionCount(dynamic), 0);
    ASSERT_EQ(dvk_constraints_addTransition(table, dynamic->id, DVK_CONSTRAINTS_CLASS_START, 0, 0), 0);
    ASSERT_EQ(dvk_constraints_addTransition(table, dynamic->id, 0, DVK_CONSTRAINTS_CLASS_END, 0x1ff), 0);
    EXPECT_EQ(dvk_constraint_getTransitionCount(dynamic), 2);
    EXPECT_EQ(dvk_constraint_getFirstTransition(dynamic), 1);
    EXPECT_EQ(dvk_constraint_getNextTransition(dynamic, 1), 2);
    EXPECT_EQ(dvk_constraint_getNextTransition(dynamic, 2), 0);
    EXPECT_STREQ(dvk_constraint_getTransitionFrom(dynamic, 2), "VSearch #0");
    EXPECT_STREQ(dvk_constraint_getTransitionTo(dynamic, 2), "_CONSTRAINT_CLASS_END");
    EXPECT_EQ(dvk_constraint_getTransitionPenalty(dynamic, 2), 0xff);  // a byte
    for (int32_t it = 1; it <= 2; ++it) {
        EXPECT_EQ(dvk_constraint_getTransitionFrom(dynamic, it), dvk_constraints_getDynamicTransitionFrom(dynamic, it));
        EXPECT_EQ(dvk_constraint_getTransitionTo(dynamic, it), dvk_constraints_getDynamicTransitionTo(dynamic, it));
        EXPECT_EQ(dvk_constraint_getTransitionPenalty(dynamic, it), dvk_constraints_getDynamicTransitionPenalty(dynamic, it));
    }
    dvk_constraints_destroyDynamicTable(&table);
}

TEST(StaticConstraints, StaticIteratorsOutsideTheTableAreRefused)
{
    EXPECT_EQ(dvk_constraint_getNextTransition(&yesno_constraint, 2), 0);
    EXPECT_EQ(dvk_constraint_getNextTransition(&yesno_constraint, 0), 0);
    EXPECT_DEATH(dvk_constraint_getTransitionFrom(&yesno_constraint, 3), "iterator <= staticCount");
    EXPECT_DEATH(dvk_constraint_getTransitionTo(&yesno_constraint, 0), "iterator >= 1");
    EXPECT_DEATH(dvk_constraint_getTransitionCount(nullptr), "constraint != ");
}

} // namespace
