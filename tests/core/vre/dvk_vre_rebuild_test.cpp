// The grammar rebuild, one step per suite message on "VR".
#include "tests/core/vre/vre_fixture.h"

#include "sdk/common/dvk_ui.h"

#include <utility>

namespace {

std::atomic<int> s_done, s_error, s_stop;
void onDone() { ++s_done; }
void onError() { ++s_error; }
void onStop() { ++s_stop; }

class VreRebuildTest : public VreTest {
protected:
    void SetUp() override
    {
        VreTest::SetUp();
        s_done = s_error = s_stop = 0;
    }

    // Runs a rebuild of the list to its event; the events seen.
    std::tuple<int, int, int> rebuild(std::vector<dvk_constraints_Constraint*> list, bool stop = false)
    {
        s_done = s_error = s_stop = 0;
        list.push_back(nullptr);
        int32_t started = -1;
        runOnVr([&] {
            started = dvk_vre_addConstraintSet(vre_, list.data(), onDone, onError);
            if (stop)
                dvk_vre_stopConstraintRebuild(vre_, onStop);
        });
        if (started == 0) {
            EXPECT_TRUE(waitFor([] { return s_done + s_error + s_stop > 0; }));
        }
        drainVr();
        EXPECT_EQ(vre_->rebuildInProgress, 0);
        return {s_done.load(), s_error.load(), s_stop.load()};
    }

    std::vector<std::string> callsSince(size_t from, const std::vector<std::string>& prefixes = {})
    {
        return fakeBrevitCalls(from, prefixes);
    }
};

const std::tuple<int, int, int> kDone{1, 0, 0}, kError{0, 1, 0}, kStopped{0, 0, 1};

TEST_F(VreRebuildTest, YesNoOnFreshStorageIsBuiltAndStored)
{
    create();
    int32_t loaded = -1;
    ASSERT_EQ(dvk_vre_load(vre_, 2, &loaded), 0);
    dvk_ui_setProgressBarInfo(4, 9);
    const size_t from = fakeBrevit().calls.size();
    EXPECT_EQ(rebuild({&yesno_constraint}), kDone);
    EXPECT_EQ(callsSince(from), (std::vector<std::string>{
                                    "GrammarClear",
                                    "FindConstraint(\"yesno\") -1",
                                    "CreateEmptyClassPairConstraint(\"yesno\", 3, 2, 1)",
                                    "ClassExists(\"yesno\") 0",
                                    "AddClass(\"yesno\", 4, 2, 0, 0, 0)",
                                    "MakePhraseActiveU(\"String 100\")",
                                    "AddClassMemberFromIds(\"yesno\", \"String 100\", 0, 0)",
                                    "MakePhraseActiveU(\"String 41\")",
                                    "AddClassMemberFromIds(\"yesno\", \"String 41\", 0, 0)",
                                    "AddClassPairTransition(0, \"_CONSTRAINT_CLASS_START\", \"yesno\", 0)",
                                    "AddClassPairTransition(0, \"yesno\", \"_CONSTRAINT_CLASS_END\", 0)",
                                    "RemoveUnreferencedWordIds(1)",
                                    "PrecomputeStartRecognizing",
                                    "SaveToStoragePair(none, \"dvk_voc_enus.dat\")",
                                }));
    int32_t current, maximum;
    dvk_ui_getProgressBarInfo(&current, &maximum);
    EXPECT_EQ(current, -1);
    EXPECT_EQ(maximum, -1);
    EXPECT_EQ(vre_->needsSave, 0);
    // Once stored, a rebuild adds nothing and stores nothing.
    const size_t again = fakeBrevit().calls.size();
    EXPECT_EQ(rebuild({&yesno_constraint}), kDone);
    EXPECT_TRUE(callsSince(again, {"AddClass(", "AddClassMember", "Make", "SaveToStoragePair"}).empty());
}

TEST_F(VreRebuildTest, AStopRequestEndsTheRebuildWithTheStopEventOnly)
{
    create();
    const size_t from = fakeBrevit().calls.size();
    EXPECT_EQ(rebuild({&yesno_constraint}, true), kStopped);
    EXPECT_EQ(callsSince(from), std::vector<std::string>{"GrammarClear"});
    // Without a rebuild the stop event is sent at once.
    s_stop = 0;
    runOnVr([&] { EXPECT_EQ(dvk_vre_stopConstraintRebuild(vre_, onStop), 0); });
    EXPECT_TRUE(waitFor([] { return s_stop == 1; }));
}

TEST_F(VreRebuildTest, AStopDuringTheMembersIsHonouredAtTheNextStep)
{
    create();
    ListClass names("names", 0, 20, {u"Ann", u"Bob", u"Cy"});
    ListConstraint callName(-2, "callName", {&names.wordClass});
    callName.through("names");
    fakeBrevit().onCall = [&](const std::string& line) {
        if (line.rfind("AddClassMemberFromIds", 0) == 0 && fakeBrevitMembers(vre_->engine, "names").empty())
            dvk_vre_stopConstraintRebuild(vre_, onStop);
    };
    const size_t from = fakeBrevit().calls.size();
    EXPECT_EQ(rebuild({&callName.constraint}), kStopped);
    fakeBrevit().onCall = nullptr;
    EXPECT_EQ(fakeBrevitMembers(vre_->engine, "names"), std::vector<std::u16string>{u"Ann"});
    EXPECT_TRUE(callsSince(from, {"AddClassPairTransition", "MakeNameActiveU(\"Bob"}).empty());
    EXPECT_EQ(vre_->pendingStopEvent, nullptr);
}

struct RefusalCase {
    const char* name;
    std::string entry;
    std::deque<EBrevit> script;
    std::tuple<int, int, int> events;
    std::vector<std::u16string> members;
};

TEST_F(VreRebuildTest, RefusedWordsAndMembersAreRetriedOnceAfterAClean)
{
    const RefusalCase cases[] = {
        {"member refused twice", "AddClassMemberFromIds", {kFakeRefuse, kFakeRefuse}, kError, {}},
        {"member refused once", "AddClassMemberFromIds", {kFakeRefuse}, kDone, {u"Ann", u"Bob"}},
        {"member error twice",
         "AddClassMemberFromIds",
         {EBrevit_MemoryError, EBrevit_EngineError},
         kError,
         {}},
        {"words refused twice",
         "MakeNameActiveU",
         {EBrevit_EngineError, EBrevit_AdditionRefused},
         kError,
         {}},
        {"words refused once", "MakeNameActiveU", {EBrevit_EngineError}, kDone, {u"Ann", u"Bob"}},
        {"nothing to add", "MakeNameActiveU", {EBrevit_WordNotAdded}, kDone, {u"Bob"}},
        {"nothing to add on the retry",
         "MakeNameActiveU",
         {EBrevit_EngineError, EBrevit_WordNotAdded},
         kDone,
         {u"Bob"}},
    };
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.name);
        dvk_vre_destroy(&vre_);
        resetFakeBrevit();
        installModelSet("lvr_enus.bin");
        create();
        ListClass names("names", 0, 20, {u"Ann", u"Bob"});
        ListConstraint callName(-2, "callName", {&names.wordClass});
        callName.through("names");
        fakeBrevit().results[c.entry] = c.script;
        const size_t from = fakeBrevit().calls.size();
        EXPECT_EQ(rebuild({&callName.constraint}), c.events);
        EXPECT_EQ(fakeBrevitMembers(vre_->engine, "names"), c.members);
        // Each refusal is followed by the clean before the retry.
        const std::vector<std::string> calls = callsSince(from, {c.entry.c_str(), "RemoveUnreferencedWordIds"});
        ASSERT_GE(calls.size(), 2u);
        if (c.script.front() != EBrevit_WordNotAdded) {
            EXPECT_EQ(calls[1], "RemoveUnreferencedWordIds(1)");
        }
        int32_t current, maximum;
        dvk_ui_getProgressBarInfo(&current, &maximum);
        EXPECT_EQ(current, -1);
    }
}

TEST_F(VreRebuildTest, JapaneseNamesAreMadeFromTheirSpokenForms)
{
    installModelSet("lvr_jajp.bin", FakeModelSet{true, "jajp", 92, 4, 8000});
    create(kJapanese);
    ListClass names("names", 0, 20, {u"山田\tやまだ", u"Ann"});
    ListConstraint callName(-2, "callName", {&names.wordClass});
    callName.through("names");
    const size_t from = fakeBrevit().calls.size();
    EXPECT_EQ(rebuild({&callName.constraint}), kDone);
    EXPECT_EQ(callsSince(from, {"Make"}),
              std::vector<std::string>{"MakeSpokenPhraseActiveU(\"山田\", \"やまだ\")"});
    EXPECT_EQ(fakeBrevitMembers(vre_->engine, "names"), std::vector<std::u16string>{u"山田"});
}

TEST_F(VreRebuildTest, PhrasesMakeOneMemberPerAlternative)
{
    create();
    ListClass call("call", 1, 9, {u"call|dial up", u"ring"});
    ListConstraint callOnly(-2, "callOnly", {&call.wordClass});
    callOnly.through("call");
    const size_t from = fakeBrevit().calls.size();
    EXPECT_EQ(rebuild({&callOnly.constraint}), kDone);
    // Words: call, dial, up, one for "|", ring; members: three alternatives.
    EXPECT_EQ(callsSince(from, {"AddClass("}), std::vector<std::string>{"AddClass(\"call\", 5, 3, 0, 0, 0)"});
    EXPECT_EQ(fakeBrevitMembers(vre_->engine, "call"), (std::vector<std::u16string>{u"call", u"dial up", u"ring"}));
}

TEST_F(VreRebuildTest, WithoutPartialModelsMusicConstraintsAreLeftOut)
{
    installModelSet("lvr_enus.bin", FakeModelSet{true, "enus", 28, 4, 8000});
    create();
    ASSERT_EQ(vre_->partialModelsSupported, 0);
    const size_t from = fakeBrevit().calls.size();
    EXPECT_EQ(rebuild({&playMusic_constraint, &yesno_constraint}), kDone);
    EXPECT_EQ(callsSince(from, {"FindConstraint"}), std::vector<std::string>{"FindConstraint(\"yesno\") -1"});
    dvk_constraints_Constraint* both[] = {&playMusic_constraint, &yesno_constraint, nullptr};
    ASSERT_EQ(dvk_vre_startRecog(vre_, nullptr, nullptr, both), 0);
    EXPECT_EQ(vre_->numConstraints, 1);
    EXPECT_EQ(vre_->constraints[0], &yesno_constraint);
}

TEST_F(VreRebuildTest, LargeClassesReportProgressPerMember)
{
    create();
    ListClass names("names", 0, 20, {u"Ann", u"Bob", u"Cy"});
    ListClass location("location", 1, 15, {u"home", u"work"});
    ListConstraint namesLocs(-2, "namesLocs", {&names.wordClass, &location.wordClass});
    namesLocs.through("names").transition("names", "location").through("location");
    std::vector<int32_t> progress;
    fakeBrevit().onCall = [&](const std::string& line) {
        if (line.rfind("AddClassMemberFromIds", 0) == 0) {
            int32_t current, maximum;
            dvk_ui_getProgressBarInfo(&current, &maximum);
            progress.push_back(current);
        }
    };
    dvk_ui_setProgressBarInfo(-1, -1);
    EXPECT_EQ(rebuild({&namesLocs.constraint}), kDone);
    fakeBrevit().onCall = nullptr;
    // The locations leave the bar where the names left it.
    EXPECT_EQ(progress, (std::vector<int32_t>{1, 2, 3, 3, 3}));
    EXPECT_EQ(vre_->progressCount, 0);
    EXPECT_EQ(fakeBrevitTransitions(vre_->engine, "namesLocs").size(), 5u);
}

TEST_F(VreRebuildTest, ANameTheEngineRefusesFailsTheRebuild)
{
    create();
    ListClass names("names", 0, 20, {u"Ann"});
    ListConstraint sixteen(-2, "callNameOrNbrRaz", {&names.wordClass});
    sixteen.through("names");
    EXPECT_EQ(rebuild({&sixteen.constraint}), kDone);
    EXPECT_TRUE(fakeBrevitHasConstraint(vre_->engine, "callNameOrNbrRaz"));
    ListConstraint twenty(-3, "abcdefghijklmnopqrst", {&names.wordClass});
    twenty.through("names");
    EXPECT_EQ(rebuild({&twenty.constraint}), kError);
    EXPECT_FALSE(fakeBrevitHasConstraint(vre_->engine, "abcdefghijklmnopqrst"));
}

TEST_F(VreRebuildTest, EngineRefusalsOfClassesAndTransitionsFailTheRebuild)
{
    const std::pair<const char*, std::deque<EBrevit>> cases[] = {
        {"AddClass", {kFakeRefuse}},
        {"AddClass", {EBrevit_WrongState}},
        {"AddClassPairTransition", {kFakeNormal, kFakeRefuse}},
        {"ClassExists", {EBrevit_EngineError}},
        {"FindConstraint", {EBrevit_EngineError}},
        {"CreateEmptyClassPairConstraint", {EBrevit_MemoryError}},
        {"SaveToStoragePair", {EBrevit_StorageWriteError}},
        {"PrecomputeStartRecognizing", {EBrevit_EngineError}},
    };
    for (const auto& [entry, script] : cases) {
        SCOPED_TRACE(entry);
        dvk_vre_destroy(&vre_);
        resetFakeBrevit();
        installModelSet("lvr_enus.bin");
        create();
        vre_->needsSave = 1;
        fakeBrevit().results[entry] = script;
        EXPECT_EQ(rebuild({&yesno_constraint}), kError);
    }
}

TEST_F(VreRebuildTest, RebuildAlwaysClassesAndConstraintsAreMadeAgain)
{
    create();
    ListClass names("names", 0, 20, {u"Ann", u"Bob"});
    names.wordClass.rebuildAlways = 1;
    ListClass call("call", 1, 9, {u"call"});
    ListConstraint callName(-2, "callName", {&call.wordClass, &names.wordClass});
    callName.through("call").transition("call", "names").through("names");
    callName.constraint.rebuildAlways = 1;
    EXPECT_EQ(rebuild({&callName.constraint}), kDone);
    names.entries = {u"Cy"};
    call.entries = {u"dial"};
    const size_t from = fakeBrevit().calls.size();
    EXPECT_EQ(rebuild({&callName.constraint}), kDone);
    EXPECT_EQ(callsSince(from, {"RemoveClassMembers", "DeleteConstraint", "CreateEmpty", "AddClass("}),
              (std::vector<std::string>{"RemoveClassMembers(\"names\")", "DeleteConstraint(0)",
                                        "CreateEmptyClassPairConstraint(\"callName\", 4, 5, 0)"}));
    // A class kept with members is left as it is; an emptied one is filled.
    EXPECT_EQ(fakeBrevitMembers(vre_->engine, "names"), std::vector<std::u16string>{u"Cy"});
    EXPECT_EQ(fakeBrevitMembers(vre_->engine, "call"), std::vector<std::u16string>{u"call"});
}

TEST_F(VreRebuildTest, EveryAllocationFailingInTurnEndsWithOneEventAndNoLeak)
{
    ListClass names("names", 0, 20, {u"Ann", u"Bob"});
    ListClass call("call", 1, 9, {u"call|dial"});
    ListConstraint callName(-2, "callName", {&call.wordClass, &names.wordClass});
    callName.through("call").transition("call", "names").through("names");
    for (long n = 0;; ++n) {
        ASSERT_LT(n, 300);
        dvk_vre_destroy(&vre_);
        resetFakeBrevit();
        installModelSet("lvr_enus.bin");
        create();
        vre_->needsSave = 1;
        const long live = dvk_mem_liveBlocks();
        s_done = s_error = s_stop = 0;
        dvk_constraints_Constraint* list[] = {&callName.constraint, nullptr};
        int32_t started = -1;
        runOnVr([&] {
            dvk_mem_failAfter(n);
            started = dvk_vre_addConstraintSet(vre_, list, onDone, onError);
        });
        if (started == 0) {
            ASSERT_TRUE(waitFor([] { return s_done + s_error > 0; }));
        }
        drainVr();
        runOnVr([] { dvk_mem_failAfter(-1); });
        EXPECT_EQ(dvk_mem_liveBlocks(), live) << "allocation " << n;
        EXPECT_EQ(s_done + s_error, started == 0 ? 1 : 0);
        EXPECT_EQ(vre_->rebuildInProgress, 0);
        if (s_done == 1) {
            EXPECT_EQ(fakeBrevitMembers(vre_->engine, "names"), (std::vector<std::u16string>{u"Ann", u"Bob"}));
            break;
        }
    }
}

TEST_F(VreRebuildTest, MembersAreRebuiltAndConstraintsDeletedOnRequest)
{
    create();
    ListClass names("names", 0, 20, {u"Ann"});
    ListConstraint callName(-2, "callName", {&names.wordClass});
    callName.through("names");
    ListConstraint other(-3, "other", {&names.wordClass});
    other.through("names");
    EXPECT_EQ(rebuild({&callName.constraint, &other.constraint}), kDone);
    names.entries = {u"Bob", u"Cy"};
    EXPECT_EQ(dvk_vre_rebuildMembers(vre_, &callName.constraint), 0);
    EXPECT_EQ(fakeBrevitMembers(vre_->engine, "names"), (std::vector<std::u16string>{u"Bob", u"Cy"}));
    fakeBrevit().results["AddClassMemberFromIds"] = {kFakeRefuse, kFakeRefuse};
    EXPECT_EQ(dvk_vre_rebuildMembers(vre_, &callName.constraint), 1);

    vre_->needsSave = 0;
    dvk_constraints_Constraint* list[] = {&callName.constraint, nullptr};
    EXPECT_EQ(dvk_vre_deleteConstraintSet(vre_, list), 0);
    EXPECT_FALSE(fakeBrevitHasConstraint(vre_->engine, "callName"));
    EXPECT_EQ(vre_->needsSave, 1);
    // Absent: nothing to delete.
    EXPECT_EQ(dvk_vre_deleteConstraintSet(vre_, list), 0);
    fakeBrevit().results["DeleteConstraint"] = {EBrevit_ConstraintReferenced};
    dvk_constraints_Constraint* others[] = {&other.constraint, nullptr};
    EXPECT_EQ(dvk_vre_deleteConstraintSet(vre_, others), 1);
    EXPECT_EQ(dvk_vre_deleteAllConstraints(vre_), 0);
    EXPECT_FALSE(fakeBrevitHasConstraint(vre_->engine, "other"));
    fakeBrevit().results["DeleteAllConstraints"] = {EBrevit_WrongState};
    EXPECT_EQ(dvk_vre_deleteAllConstraints(vre_), 1);
}

}  // namespace
