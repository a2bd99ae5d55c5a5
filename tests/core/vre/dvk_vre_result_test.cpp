// Results: the engine's choice list made into an n-best list.
#include "tests/core/vre/vre_fixture.h"

#include "core/nbest/dvk_nbest.h"

namespace {

class VreResultTest : public VreTest {
protected:
    void SetUp() override
    {
        VreTest::SetUp();
        FakeBrevit& fake = fakeBrevit();
        fake.modelClasses = {
            {"call", {u"call", u"dial"}},
            {"names", {u"Ann", u"Bob"}},
            {"location", {u"Mobile 1", u"Cell", u"House", u"Home"}},
            {"callNameFill", {u"uh"}},
            {"digits1", {u"0", u"1", u"2", u"3", u"4", u"5", u"6", u"7", u"8", u"9"}},
        };
        fake.modelConstraints = {"callName", "lookup", "dialNumber", "callNumber"};
        digits_.wordClass.noSeparator = 1;
        callName_.through("call");
        fakeOemPbook().contacts = {FakePbookEntry{u"Ann"}, FakePbookEntry{u"Bob"}};
        fakeOemPbook().locations = {FakePbookLocation{u"Mobile 1", u"Cell 1"}, FakePbookLocation{u"Home", u"House"}};
        create();
    }

    // Recognises with the script's choices against the constraints; the
    // result code, the list in *nbest_.
    int32_t recognise(std::vector<FakeChoice> choices, std::vector<dvk_constraints_Constraint*> constraints)
    {
        fakeBrevit().choices = std::move(choices);
        constraints.push_back(nullptr);
        EXPECT_EQ(dvk_vre_startRecog(vre_, nullptr, nullptr, constraints.data()), 0);
        EXPECT_EQ(dvk_vre_stopRecog(vre_, 0), 0);
        from_ = fakeBrevit().calls.size();
        return dvk_vre_getResult(vre_, &nbest_);
    }

    int32_t recognise(std::vector<FakeChoice> choices)
    {
        return recognise(std::move(choices), {&callName_.constraint, &lookup_.constraint});
    }

    std::u16string str(int32_t index, int32_t slot) { return text16(dvk_nbest_getStr(nbest_, index, slot)); }

    void TearDown() override
    {
        dvk_nbest_destroy(&nbest_);
        VreTest::TearDown();
    }

    ListClass call_{"call", 1, 9};
    ListClass names_{"names", 0, 20};
    ListClass location_{"location", 1, 15};
    ListClass filler_{"callNameFill", 1, 7};
    ListClass digits_{"digits1", 1, 6};
    ListConstraint callName_{
        -2, "callName", {&call_.wordClass, &names_.wordClass, &location_.wordClass, &filler_.wordClass}};
    ListConstraint lookup_{-3, "lookup", {&names_.wordClass}};
    ListConstraint dialNumber_{-4, "dialNumber", {&call_.wordClass, &filler_.wordClass, &digits_.wordClass}};
    dvk_nbest_List* nbest_ = nullptr;
    size_t from_ = 0;
};

FakeChoice callChoice(const char16_t* command, const char16_t* name, const char16_t* location = nullptr)
{
    FakeChoice choice{"callName", {{"call", command}, {"names", name}}};
    if (location != nullptr)
        choice.runs.push_back({"location", location});
    return choice;
}

TEST_F(VreResultTest, TheBestChoiceMakesTheListWithItsValuesAndUtterance)
{
    ASSERT_EQ(recognise({callChoice(u"call", u"Ann", u"Home")}), 0);
    ASSERT_NE(nbest_, nullptr);
    const char* name = nullptr;
    EXPECT_EQ(dvk_nbest_getConstraint(nbest_, &name), -2);
    EXPECT_STREQ(name, "callName");
    EXPECT_EQ(dvk_nbest_getConfidence(nbest_), 70);
    ASSERT_EQ(dvk_nbest_getCount(nbest_), 1);
    EXPECT_EQ(str(0, 9), u"call");
    EXPECT_EQ(str(0, 20), u"Ann");
    EXPECT_EQ(str(0, 15), u"Home");
    EXPECT_STREQ(dvk_nbest_getWordClass(nbest_, 0, 20), "names");
    EXPECT_EQ(dvk_nbest_getSpokenForm(nbest_, 0, 20), nullptr);
    const uint32_t* ids = nullptr;
    EXPECT_EQ(dvk_nbest_getWordIds(nbest_, 0, 20, &ids), 1);
    EXPECT_EQ(dvk_nbest_getIrIds(nbest_, 0, 20, &ids), 0);
    EXPECT_EQ(text16(dvk_nbest_getUtt(nbest_, 0)), u"call Ann Home");
    EXPECT_EQ(fakeBrevitCalls(from_, {"ReleaseUnusedMemory", "RerecognizeChoiceList"}),
              std::vector<std::string>{"ReleaseUnusedMemory(0)"});
}

TEST_F(VreResultTest, TwinsDifferingByAFillerAreOneChoice)
{
    FakeChoice withFiller{"callName", {{"call", u"call"}, {"callNameFill", u"uh"}, {"names", u"Ann"}}};
    ASSERT_EQ(recognise({callChoice(u"call", u"Ann"), withFiller, callChoice(u"call", u"Bob")}), 0);
    ASSERT_EQ(dvk_nbest_getCount(nbest_), 2);
    EXPECT_EQ(str(1, 20), u"Bob");
    EXPECT_EQ(fakeBrevitCalls(from_, {"DiscardChoice", "RerecognizeChoiceList"}),
              (std::vector<std::string>{"DiscardChoice(1)", "RerecognizeChoiceList(2)"}));
}

TEST_F(VreResultTest, ACommandWordFirstKeepsOnlyChoicesWithTheSameCommand)
{
    ASSERT_EQ(recognise({callChoice(u"call", u"Ann"), callChoice(u"dial", u"Ann"), callChoice(u"call", u"Bob")}), 0);
    ASSERT_EQ(dvk_nbest_getCount(nbest_), 2);
    EXPECT_EQ(str(0, 20), u"Ann");
    EXPECT_EQ(str(1, 9), u"call");
    EXPECT_EQ(str(1, 20), u"Bob");
}

TEST_F(VreResultTest, ChoicesOfAnotherConstraintStayOut)
{
    ASSERT_EQ(recognise({callChoice(u"call", u"Ann"), FakeChoice{"lookup", {{"names", u"Bob"}}}}), 0);
    ASSERT_EQ(dvk_nbest_getCount(nbest_), 1);
    EXPECT_EQ(str(0, 20), u"Ann");
}

TEST_F(VreResultTest, LocationsSaidByTheirSynonymsAreNamedByTheirOwnText)
{
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"Cell 1", u"Mobile 1"}, {u"Cell", u"Mobile"}, {u"House", u"Home"}, {u"Mobile 1", u"Mobile 1"},
    };
    fakeBrevit().modelClasses["location"].push_back(u"Cell 1");
    dvk_vre_destroy(&vre_);
    create();
    for (const auto& [said, reported] : cases) {
        SCOPED_TRACE(std::string(said, said + std::char_traits<char16_t>::length(said)));
        dvk_nbest_destroy(&nbest_);
        const long walks = fakeOemPbook().liveLocationIterators;
        ASSERT_EQ(recognise({callChoice(u"call", u"Ann", said)}), 0);
        ASSERT_NE(nbest_, nullptr);
        EXPECT_EQ(str(0, 15), reported);
        EXPECT_EQ(fakeOemPbook().liveLocationIterators, walks) << "a location walk left open";
        if (std::u16string(said) != reported) {
            EXPECT_EQ(dvk_nbest_getWordClass(nbest_, 0, 15), nullptr);
            const uint32_t* ids;
            EXPECT_EQ(dvk_nbest_getWordIds(nbest_, 0, 15, &ids), 0);
        }
    }
}

TEST_F(VreResultTest, NamesOfNoContactAreRemoved)
{
    fakeOemPbook().contacts = {FakePbookEntry{u"Bob"}};
    ASSERT_EQ(recognise({callChoice(u"call", u"Ann"), callChoice(u"call", u"Bob")}), 0);
    ASSERT_EQ(dvk_nbest_getCount(nbest_), 1);
    EXPECT_EQ(str(0, 20), u"Bob");
    dvk_nbest_destroy(&nbest_);
    fakeOemPbook().contacts.clear();
    ASSERT_EQ(recognise({callChoice(u"call", u"Ann"), callChoice(u"call", u"Bob")}), 0);
    EXPECT_EQ(nbest_, nullptr);
    // Entries without a name stay.
    ASSERT_EQ(recognise({FakeChoice{"callName", {{"call", u"call"}}}}), 0);
    ASSERT_NE(nbest_, nullptr);
    EXPECT_EQ(dvk_nbest_getCount(nbest_), 1);
}

TEST_F(VreResultTest, NoChoicesGiveNoList)
{
    ASSERT_EQ(recognise({}), 0);
    EXPECT_EQ(nbest_, nullptr);
}

TEST_F(VreResultTest, DigitGroupsMakeOneValueWhileTheUtteranceKeepsFillers)
{
    ASSERT_EQ(recognise({FakeChoice{"dialNumber",
                                    {{"call", u"call"}, {"callNameFill", u"uh"}, {"digits1", u"5"}, {"digits1", u"5"},
                                     {"digits1", u"5"}}}},
                        {&dialNumber_.constraint}),
              0);
    ASSERT_NE(nbest_, nullptr);
    EXPECT_EQ(str(0, 6), u"555");
    EXPECT_EQ(dvk_nbest_getKeyCount(nbest_, 0), 2);
    const uint32_t* ids;
    EXPECT_EQ(dvk_nbest_getWordIds(nbest_, 0, 6, &ids), 3);
    EXPECT_EQ(text16(dvk_nbest_getUtt(nbest_, 0)), u"call uh 5 5 5");
}

TEST_F(VreResultTest, DiallingWordsAreParsedWithTheConstraintsRules)
{
    const dvk_constraints_RuleSet* rules = dvk_constraints_getDigitRules();
    FakeChoice number{"callNumber", {{"call", u"call"}}};
    for (const char16_t* digit : {u"5", u"5", u"5", u"1", u"2", u"3", u"4"})
        number.runs.push_back({"digits1", digit});
    fakeBrevit().parseChanges = 1;
    ASSERT_EQ(recognise({number}, {&callNumber_constraint}), 0);
    EXPECT_EQ(fakeBrevitCalls(from_, {"ParseChoiceWords"}),
              std::vector<std::string>(2, "ParseChoiceWords(0, \"" + std::string(rules->startRule) + "\", 1, 7)"));
    const std::vector<std::string> grammar = fakeBrevitCalls(from_, {"GrammarClear", "GrammarAddNonTerminal"});
    ASSERT_GT(grammar.size(), 1u);
    EXPECT_EQ(grammar[0], "GrammarClear");
    EXPECT_EQ(grammar[1], "GrammarAddNonTerminal(\"" + std::string(rules->rules[0].name) + "\", \"" +
                              rules->rules[0].expansion + "\")");
    ASSERT_NE(nbest_, nullptr);
    EXPECT_EQ(str(0, 6), u"5551234");
    // A constraint without rules parses nothing.
    dvk_nbest_destroy(&nbest_);
    ASSERT_EQ(recognise({callChoice(u"call", u"Ann")}), 0);
    EXPECT_TRUE(fakeBrevitCalls(from_, {"ParseChoiceWords", "GrammarAdd"}).empty());
}

TEST_F(VreResultTest, JapaneseValuesKeepTheirSpokenForms)
{
    installModelSet("lvr_jajp.bin", FakeModelSet{true, "jajp", 92, 4, 8000});
    fakeBrevit().modelClasses["names"] = {u"山田", u"太郎"};
    dvk_vre_destroy(&vre_);
    create(kJapanese);
    fakeOemPbook().contacts = {FakePbookEntry{u"山田太郎"}};
    ASSERT_EQ(recognise({FakeChoice{"lookup", {{"names", u"山田 太郎"}}}}, {&lookup_.constraint}), 0);
    ASSERT_NE(nbest_, nullptr);
    EXPECT_EQ(str(0, 20), u"山田太郎");
    EXPECT_EQ(text16(dvk_nbest_getSpokenForm(nbest_, 0, 20)), u"山田太郎");
}

TEST_F(VreResultTest, AnyFailingEngineCallEndsWithNoList)
{
    const std::pair<const char*, std::deque<EBrevit>> cases[] = {
        {"DiscardChoice", {EBrevit_BadArgument}},
        {"PrepareChoiceList", {kFakeNormal, kFakeNormal, EBrevit_EngineError}},
        {"GetChoice", {EBrevit_NoResult}},
        {"FindBestParse", {EBrevit_EngineError}},
        {"GetChoiceAndScoreExtended", {kFakeNormal, EBrevit_BufferTooSmall}},
        {"GrammarClear", {EBrevit_EngineError}},
        {"RerecognizeChoiceList", {EBrevit_MemoryError}},
        {"GetSurfaceFormU", {EBrevit_BadArgument}},
    };
    FakeChoice withFiller{"callName", {{"call", u"call"}, {"callNameFill", u"uh"}, {"names", u"Ann"}}};
    for (const auto& [entry, script] : cases) {
        SCOPED_TRACE(entry);
        fakeBrevit().results.clear();
        fakeBrevit().results[entry] = script;
        const size_t before = fakeBrevit().calls.size();
        EXPECT_EQ(recognise({callChoice(u"call", u"Ann"), withFiller, callChoice(u"call", u"Bob")}), 1);
        EXPECT_EQ(nbest_, nullptr);
        // Once failed, never asked again.
        EXPECT_LE(fakeBrevitCalls(before, {entry}).size(), script.size());
    }
}

TEST_F(VreResultTest, EveryAllocationFailingInTurnLeavesNoListAndNoLeak)
{
    const std::vector<FakeChoice> choices = {callChoice(u"call", u"Ann", u"Cell"),
                                             callChoice(u"call", u"Bob", u"House")};
    for (long n = 0;; ++n) {
        ASSERT_LT(n, 500);
        const long live = dvk_mem_liveBlocks();
        fakeBrevit().choices = choices;
        dvk_constraints_Constraint* list[] = {&callName_.constraint, nullptr};
        ASSERT_EQ(dvk_vre_startRecog(vre_, nullptr, nullptr, list), 0);
        ASSERT_EQ(dvk_vre_stopRecog(vre_, 0), 0);
        dvk_mem_failAfter(n);
        const int32_t result = dvk_vre_getResult(vre_, &nbest_);
        dvk_mem_failAfter(-1);
        if (result == 0) {
            ASSERT_NE(nbest_, nullptr);
            EXPECT_EQ(dvk_nbest_getCount(nbest_), 2);
            EXPECT_EQ(str(1, 15), u"Home");
            break;
        }
        EXPECT_EQ(nbest_, nullptr);
        EXPECT_EQ(dvk_mem_liveBlocks(), live) << "allocation " << n;
        EXPECT_EQ(fakeOemPbook().liveLocationIterators, 0);
    }
}

}  // namespace
