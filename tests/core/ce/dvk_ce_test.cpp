// The central engine's life: create and its grammar rebuild, the sets it
// hands to the recogniser, a second create, a language without models,
// starts while the build runs, abort and destroy.
#include "tests/core/ce/ce_fixture.h"

#include "core/constraints/dvk_constraints.h"
#include "core/vre/dvk_vre_record.h"

CeAnswers& ceAnswers()
{
    static CeAnswers answers;
    return answers;
}

namespace {

using CeLife = CeTest;

TEST_F(CeLife, AFirstCreateBuildsInFullAndASecondEngineLoadsWhatItStored)
{
    create();
    EXPECT_EQ(answers(), (std::vector<std::string>{"create 6", "create 0"}));
    runOnVr([] {
        dvk_ce_State* state = dvk_ce_getState();
        ASSERT_NE(state, nullptr);
        EXPECT_EQ(state->contactsUpdated, 1);
        EXPECT_EQ(state->musicUpdated, 1);
        EXPECT_EQ(dvk_ce_updateContactsComplete(), 1);
    });
    destroyEngine();
    ceAnswers().lines.clear();
    create();
    EXPECT_EQ(answers(), (std::vector<std::string>{"create 0"})) << "stored data: no full update";
}

TEST_F(CeLife, APhonebookNeedingAFullUpdateAnswersSixFirstAndIsResetAfterTheBuild)
{
    create();
    destroyEngine();
    ceAnswers().lines.clear();
    fakeOemPbook().fullUpdate = 1;
    create();
    EXPECT_EQ(answers(), (std::vector<std::string>{"create 6", "create 0"}));
    const std::vector<std::string>& calls = fakeOemPbook().calls;
    EXPECT_NE(std::find(calls.begin(), calls.end(), "resetFullUpdateRequired"), calls.end());
}

TEST_F(CeLife, ARequiredBuildThatFailsClearsBothFlagsAndDeletesBothStoredGrammars)
{
    // Every constraint the engine is asked to make is refused.
    fakeBrevit().results["CreateEmptyClassPairConstraint"] = std::deque<EBrevit>(10, EBrevit_EngineError);
    create();
    EXPECT_EQ(answers(), (std::vector<std::string>{"create 6", "create 0"}));
    runOnVr([] {
        dvk_ce_State* state = dvk_ce_getState();
        EXPECT_EQ(state->contactsUpdated, 0);
        EXPECT_EQ(state->musicUpdated, 0);
        EXPECT_EQ(dvk_ce_updateContactsComplete(), 1);
        for (dvk_constraints_Constraint** set : {state->requiredSet, state->optionalSet})
            for (size_t i = 0; set[i] != nullptr; ++i)
                EXPECT_FALSE(fakeBrevitHasConstraint(state->vre->engine, set[i]->name)) << set[i]->name;
    });
}

TEST_F(CeLife, AnOptionalBuildThatFailsClearsOnlyTheMusicFlag)
{
    // The engine refuses every constraint from the first music one on: the
    // required set is built by then.
    fakeBrevit().onCall = [](const std::string& line) {
        if (line.rfind("CreateEmptyClassPairConstraint(\"playMusic\"", 0) == 0)
            fakeBrevit().results["CreateEmptyClassPairConstraint"] = std::deque<EBrevit>(10, EBrevit_EngineError);
    };
    create();
    EXPECT_EQ(answers(), (std::vector<std::string>{"create 6", "create 0"}));
    runOnVr([] {
        dvk_ce_State* state = dvk_ce_getState();
        EXPECT_EQ(state->contactsUpdated, 1);
        EXPECT_EQ(state->musicUpdated, 0);
        EXPECT_EQ(dvk_ce_updateContactsComplete(), 1);
        EXPECT_TRUE(fakeBrevitHasConstraint(state->vre->engine, state->requiredSet[0]->name));
        for (size_t i = 0; state->optionalSet[i] != nullptr; ++i)
            EXPECT_FALSE(fakeBrevitHasConstraint(state->vre->engine, state->optionalSet[i]->name))
                << state->optionalSet[i]->name;
        fakeBrevit().onCall = nullptr;
    });
}

TEST_F(CeLife, PhrasesOfTheSecondStringRangeAreBuiltWhenItsFileIsThere)
{
    // A gate in use whose phrase names its text in the second range (id 4096).
    ConfigFileWriter config = threeGates();
    config.gates[2].phrases = {4096};
    writeTableFile("dvk_config_gen.bin", config.bytes());
    StringFileWriter second;
    second.locale = "xx";
    second.encoding = 0;
    second.strings = {u"Weather"};
    // Without the file the phrase has no text and the required build fails.
    for (bool file : {false, true}) {
        SCOPED_TRACE(file);
        if (file)
            writeTableFile("vstr_enus.bin", second.bytes());
        ceAnswers().lines.clear();
        fakeOemPbook().fullUpdate = 1;  // everything is built again
        const size_t before = fakeBrevit().calls.size();
        create();
        EXPECT_EQ(answers().back(), "create 0");
        bool built = false;
        for (const std::string& call : fakeBrevitCalls(before))
            built = built || call.find("Weather") != std::string::npos;
        EXPECT_EQ(built, file);
        runOnVr([&] { EXPECT_EQ(dvk_ce_getState()->contactsUpdated, file ? 1 : 0); });
        destroyEngine();
    }
}

TEST_F(CeLife, ASecondCreateAnswersSevenAndChangesNothing)
{
    create();
    dvk_ce_State* first = nullptr;
    runOnVr([&] { first = dvk_ce_getState(); });
    ASSERT_EQ(dvk_app_create(onCreate, nullptr), 0);
    ASSERT_TRUE(answered(3));
    EXPECT_EQ(answers().back(), "create 7");
    runOnVr([&] { EXPECT_EQ(dvk_ce_getState(), first); });
}

TEST_F(CeLife, ALanguageWithoutAModelSetAnswersThree)
{
    fakeBrevit().modelSets.clear();
    create();
    EXPECT_EQ(answers(), (std::vector<std::string>{"create 3"}));
    runOnVr([] { EXPECT_EQ(dvk_ce_getState(), nullptr); });
}

TEST_F(CeLife, TheRequiredSetHoldsEveryNonMusicConstraintAndTheOptionalSetTheMusic)
{
    create();
    runOnVr([] {
        dvk_ce_State* state = dvk_ce_getState();
        dvk_constraints_Constraint** statics = dvk_constraints_getConstraintList();
        ASSERT_EQ(count(state->requiredSet), 59 + count(state->dynamicList));
        std::vector<std::string> music;
        for (size_t i = 0; i < count(state->optionalSet); ++i)
            music.push_back(state->optionalSet[i]->name);
        EXPECT_EQ(music, (std::vector<std::string>{"playMusic", "music", "dkapiSong", "dkapiArtist", "dkapiAlbum",
                                                    "dkapiPlaylist", "dkapiMusic"}));
        // Statics first in list order, then the dynamic ones.
        size_t s = 0;
        for (size_t i = 0; i < 59; ++i) {
            while (std::find(state->optionalSet, state->optionalSet + 7, statics[s]) != state->optionalSet + 7)
                ++s;
            EXPECT_EQ(state->requiredSet[i], statics[s++]);
        }
        for (size_t i = 0; i < count(state->dynamicList); ++i)
            EXPECT_EQ(state->requiredSet[59 + i], state->dynamicList[i]);
    });
}

TEST_F(CeLife, WithoutPartialModelsTheOptionalSetIsEmpty)
{
    fakeBrevit().modelSets["lvr_enus.bin"].capabilities = 1;
    create();
    runOnVr([] { EXPECT_EQ(count(dvk_ce_getState()->optionalSet), 0u); });
}

TEST_F(CeLife, EveryAllocationFailingInTurnAnswersFourOnceAndLeaksNothing)
{
    // A first engine stores its grammar, so every later one loads it.
    create();
    destroyEngine();
    const long before = dvk_mem_liveBlocks();
    for (long n = 0;; ++n) {
        SCOPED_TRACE(n);
        ceAnswers().lines.clear();
        dvk_msg_Message* message = dvk_ce_newCreateMsg(onCreate, nullptr);
        ASSERT_NE(message, nullptr);
        message->sender = dvk_msg_getMyAddr();
        dvk_ce_setOutOfMemoryTarget(onCreate, nullptr);
        runOnVr([&] {
            dvk_mem_failAfter(n);
            dvk_msg_receive(message);
            dvk_mem_failAfter(-1);
        });
        ASSERT_TRUE(answered(1));
        bool engine = false;
        runOnVr([&] { engine = dvk_ce_getState() != nullptr; });
        if (engine) {
            // The engine stands (only an answer may have failed): its build
            // still ends with 0.
            ASSERT_TRUE(waitFor([] { return answers().back() == "create 0"; }));
            if (answers() == std::vector<std::string>{"create 0"}) {
                EXPECT_GT(n, 10);
                break;
            }
            EXPECT_EQ(answers(), (std::vector<std::string>{"create 4", "create 0"}));
            destroyEngine();
        } else {
            settle();
            EXPECT_EQ(answers(), (std::vector<std::string>{"create 4"}));
        }
        runOnVr([] { EXPECT_EQ(dvk_ce_getState(), nullptr); });
        EXPECT_EQ(dvk_mem_liveBlocks(), before);
        ASSERT_LT(n, 100000);
    }
}

TEST_F(CeLife, DestroyGivesEveryBlockBack)
{
    const long before = dvk_mem_liveBlocks();
    create();
    destroyEngine();
    EXPECT_EQ(answers().back(), "destroy 0");
    EXPECT_EQ(dvk_mem_liveBlocks(), before);
    EXPECT_EQ(fakeBrevit().live, 0);
}

TEST_F(CeLife, DestroyDuringTheBuildStopsItFirst)
{
    const long before = dvk_mem_liveBlocks();
    ASSERT_EQ(dvk_app_create(onCreate, nullptr), 0);
    ASSERT_TRUE(answered(1));
    ASSERT_EQ(dvk_app_destroy(onDestroy, nullptr), 0);
    ASSERT_TRUE(waitFor([] { return answers().back() == "destroy 0"; }));
    settle();
    EXPECT_EQ(dvk_mem_liveBlocks(), before);
}

}  // namespace
