#include "src/QrvRecordInhibitor.h"
#include "src/QrvWorkQueues.h"
#include "src/workqueue.h"
#include "tests/src/loop_util.h"
#include "tests/support/log_capture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

namespace {

// The table's steps must land inside one period: a stalled machine may
// take longer than the real 200 ms between two of them.
constexpr int kPeriod = 1000;

// What ran, when (ms after the first step), on which queue, and whether it
// ran inside the step that added it.
struct ActionRun {
    std::string name;
    int atMs;
    std::string queue;
    bool synchronous;
};

struct Journal {
    std::mutex mutex;
    std::vector<ActionRun> runs;
    gint64 start = 0;
    std::atomic<bool> inStep{false};
};

Journal* g_journal = nullptr;

struct Tag {
    const char* name;
};

void action(void* arg)
{
    workqueue* self = workqueue_self();
    std::lock_guard<std::mutex> lock(g_journal->mutex);
    g_journal->runs.push_back(ActionRun{static_cast<Tag*>(arg)->name,
                                  static_cast<int>((g_get_monotonic_time() - g_journal->start) / 1000),
                                  self != nullptr ? workqueue_getName(self) : "?", g_journal->inStep.load()});
}

Tag tagA{"A"}, tagB{"B"}, tagC{"C"};

// One step of a case: an operation, then a pause on the test thread.
struct Step {
    char op;        // 's' S_start, 'a' 'b' 'c' add A/B/C, 'x' S_cancel, 'n' add an empty function
    bool fromVr;    // run the operation on "VR" (else on this, the "UI" thread)
    int pauseMs;
};

struct Expected {
    const char* name;
    int earliestMs;  // -1: at once, inside the step that added it
};

struct InhibitorCase {
    const char* title;
    std::vector<Step> steps;
    std::vector<Expected> runs;  // in this order, nothing else
};

struct StepCall {
    Step step;
    std::atomic<bool> done{false};
};

void doStep(void* data)
{
    auto* call = static_cast<StepCall*>(data);
    g_journal->inStep = true;
    switch (call->step.op) {
    case 's': RecordInhibitor::S_start(); break;
    case 'a': RecordInhibitor::S_addDoneAction(action, &tagA); break;
    case 'b': RecordInhibitor::S_addDoneAction(action, &tagB); break;
    case 'c': RecordInhibitor::S_addDoneAction(action, &tagC); break;
    case 'n': RecordInhibitor::S_addDoneAction(nullptr, &tagC); break;
    case 'x': RecordInhibitor::S_cancel(); break;
    }
    g_journal->inStep = false;
    call->done = true;
}

void PrintTo(const InhibitorCase& c, std::ostream* os)
{
    *os << c.title;
}

class InhibitorCases : public ::testing::TestWithParam<InhibitorCase> {};

TEST_P(InhibitorCases, RunsTheDoneActionsAsQueued)
{
    RecordInhibitor::setIntervalForTesting(kPeriod);
    QrvWorkQueuesInit();
    Journal journal;
    g_journal = &journal;
    journal.start = g_get_monotonic_time();
    for (const Step& step : GetParam().steps) {
        StepCall call;
        call.step = step;
        if (step.fromVr) {
            QrvExecuteInVrThread(doStep, &call, QRV_THREAD_ALWAYS_POST);
            ASSERT_TRUE(iterateUntil([&] { return call.done.load(); }));
        } else {
            doStep(&call);
        }
        iterateFor(step.pauseMs);
    }
    iterateFor(kPeriod + 150);
    // Nothing is left running.
    StepCall probe;
    QrvExecuteInVrThread([](void* d) { static_cast<StepCall*>(d)->done = true; }, &probe, QRV_THREAD_ALWAYS_POST);
    ASSERT_TRUE(iterateUntil([&] { return probe.done.load(); }));
    EXPECT_FALSE(RecordInhibitor::S_active());

    std::lock_guard<std::mutex> lock(journal.mutex);
    ASSERT_EQ(journal.runs.size(), GetParam().runs.size());
    for (size_t i = 0; i < journal.runs.size(); ++i) {
        const ActionRun& run = journal.runs[i];
        const Expected& expected = GetParam().runs[i];
        SCOPED_TRACE(run.name);
        EXPECT_EQ(run.name, expected.name);
        EXPECT_EQ(run.queue, "VR");  // the inhibitor's actions always run on "VR"
        if (expected.earliestMs < 0) {
            EXPECT_TRUE(run.synchronous);
        } else {
            EXPECT_FALSE(run.synchronous);
            EXPECT_GE(run.atMs, expected.earliestMs);
        }
    }
    g_journal = nullptr;
}

const int kLater = kPeriod / 2;  // a pause inside one period

INSTANTIATE_TEST_SUITE_P(
    Table, InhibitorCases,
    ::testing::Values(
        InhibitorCase{"NoPeriodRunsAtOnce", {{'a', true, 0}}, {{"A", -1}}},
        InhibitorCase{"EmptyFunctionIsIgnored", {{'n', true, 0}, {'s', true, 0}, {'n', true, 0}}, {}},
        InhibitorCase{"ActionWaitsForThePeriod", {{'s', true, 0}, {'a', true, 0}}, {{"A", kPeriod}}},
        // Mended: every action added during one period runs, in order.
        InhibitorCase{"AllActionsRunInOrder",
                      {{'s', true, 0}, {'a', true, 20}, {'b', true, 20}, {'c', true, 0}},
                      {{"A", kPeriod}, {"B", kPeriod}, {"C", kPeriod}}},
        // Mended: a new period keeps what was pending; it runs at the end of
        // the new period.
        InhibitorCase{"RestartKeepsPendingActions",
                      {{'s', true, 0}, {'a', true, kLater}, {'s', true, 0}, {'b', true, 0}},
                      {{"A", kLater + kPeriod}, {"B", kLater + kPeriod}}},
        InhibitorCase{"CancelDropsThePeriodAndItsActions",
                      {{'s', true, 0}, {'a', true, 0}, {'x', true, 0}, {'b', true, 0}},
                      {{"B", -1}}},
        InhibitorCase{"AfterThePeriodActionsRunAtOnce",
                      {{'s', true, kPeriod + 100}, {'a', true, 0}},
                      {{"A", -1}}},
        // Mended: callers on "UI" (the call notification) are posted to "VR".
        InhibitorCase{"CallsFromUiRunOnVr",
                      {{'s', false, 0}, {'a', false, 0}, {'b', true, 0}},
                      {{"A", kPeriod}, {"B", kPeriod}}},
        InhibitorCase{"CallFromUiWithoutPeriodRunsOnVr", {{'a', false, 0}}, {{"A", 0}}}),
    [](const ::testing::TestParamInfo<InhibitorCase>& info) { return std::string(info.param.title); });

TEST(RecordInhibitor, ActiveDuringThePeriodOnly)
{
    QrvWorkQueuesInit();
    EXPECT_FALSE(RecordInhibitor::S_active());
    StepCall call;
    QrvExecuteInVrThread(
        [](void* d) {
            RecordInhibitor::S_start();
            static_cast<StepCall*>(d)->done = RecordInhibitor::S_active();
        },
        &call, QRV_THREAD_ALWAYS_POST);
    ASSERT_TRUE(iterateUntil([&] { return call.done.load(); }));
    EXPECT_TRUE(RecordInhibitor::S_active());
    ASSERT_TRUE(iterateUntil([] { return !RecordInhibitor::S_active(); }));
}

TEST(RecordInhibitor, AnActionAddedByAnExpiringActionRunsAtOnce)
{
    QrvWorkQueuesInit();
    static std::atomic<int> order{0};
    static std::atomic<int> innerAt{0};
    struct Local {
        static void inner(void*) { innerAt = ++order; }
        static void outer(void*)
        {
            ++order;
            RecordInhibitor::S_addDoneAction(inner, nullptr);
            ++order;
        }
    };
    QrvExecuteInVrThread(
        [](void*) {
            RecordInhibitor::S_start();
            RecordInhibitor::S_addDoneAction(Local::outer, nullptr);
        },
        nullptr, QRV_THREAD_ALWAYS_POST);
    ASSERT_TRUE(iterateUntil([] { return order.load() == 3; }));
    EXPECT_EQ(innerAt, 2);
}

TEST(RecordInhibitor, LogsWhatItDoes)
{
    QrvWorkQueuesInit();
    WexLogger::find("QrvLogVRRecord")->setLevel(WexLogDebug);
    LogCapture log;
    std::atomic<int> runs{0};
    QrvExecuteInVrThread([](void* r) { RecordInhibitor::S_addDoneAction([](void* n) { ++*static_cast<std::atomic<int>*>(n); }, r); },
                         &runs, QRV_THREAD_ALWAYS_POST);
    ASSERT_TRUE(iterateUntil([&] { return runs.load() == 1; }));
    EXPECT_TRUE(log.contains("QrvLogVRRecord", WexLogDebug,
                             "S_addDoneAction: starting recording immediately (recordInhibitor not running)"));
    QrvExecuteInVrThread([](void*) { RecordInhibitor::S_start(); }, nullptr, QRV_THREAD_ALWAYS_POST);
    ASSERT_TRUE(iterateUntil([] { return RecordInhibitor::S_active(); }));
    ASSERT_TRUE(iterateUntil([] { return !RecordInhibitor::S_active(); }));
    ASSERT_TRUE(iterateUntil([&] { return log.contains("no action"); }));
    EXPECT_FALSE(log.contains("adding callback"));
}

} // namespace

namespace {

// Without "VR" no period can run: an action (a phone call) runs at once
// instead of being lost.
TEST(RecordInhibitor, ActionBeforeVrExistsRunsAtOnce)
{
    ASSERT_EQ(dvkWorkQueue.load(), nullptr);
    int runs = 0;
    RecordInhibitor::S_addDoneAction([](void* n) { ++*static_cast<int*>(n); }, &runs);
    EXPECT_EQ(runs, 1);
    RecordInhibitor::S_addDoneAction(nullptr, &runs);
    EXPECT_EQ(runs, 1);
}

} // namespace
