#include "src/QrvWorkQueues.h"
#include "src/workqueue.h"
#include "tests/src/loop_util.h"
#include "tests/support/log_capture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// Collects the order in which posted items ran and on which queue.
struct Journal {
    std::mutex mutex;
    std::vector<std::string> entries;

    void add(const std::string& entry)
    {
        std::lock_guard<std::mutex> lock(mutex);
        entries.push_back(entry);
    }
    size_t size()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return entries.size();
    }
    std::vector<std::string> snapshot()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return entries;
    }
};

struct Item {
    Journal* journal;
    std::string text;
};

gboolean record(gpointer data)
{
    auto* item = static_cast<Item*>(data);
    workqueue* self = workqueue_self();
    item->journal->add(item->text + "@" + (self != nullptr ? workqueue_getName(self) : "?"));
    return G_SOURCE_REMOVE;
}

class WorkQueueOrder : public ::testing::TestWithParam<const char*> {};

TEST_P(WorkQueueOrder, PostsRunInOrderOnTheTargetThread)
{
    workqueue* ui = workqueue_self();  // this thread becomes "UI"
    ASSERT_NE(ui, nullptr);
    const bool onUi = std::string(GetParam()) == "UI";
    workqueue* target = onUi ? ui : workqueue_create(GetParam());

    Journal journal;
    Item items[] = {{&journal, "first"}, {&journal, "second"}, {&journal, "third"}};
    for (Item& item : items)
        workqueue_add(target, record, &item, 0);
    ASSERT_TRUE(iterateUntil([&] { return journal.size() == 3; }));

    const std::string at = std::string("@") + GetParam();
    EXPECT_EQ(journal.snapshot(), (std::vector<std::string>{"first" + at, "second" + at, "third" + at}));
    if (!onUi)
        workqueue_destroy(target);
}

INSTANTIATE_TEST_SUITE_P(Queues, WorkQueueOrder, ::testing::Values("UI", "VR", "worker"));

TEST(WorkQueue, DelayedPostRunsAfterItsDelay)
{
    workqueue_self();
    workqueue* target = workqueue_create("delay");
    Journal journal;
    Item late{&journal, "late"};
    Item early{&journal, "early"};
    const gint64 start = g_get_monotonic_time();
    // Long enough that a loaded machine still runs the undelayed post first.
    workqueue_add(target, record, &late, 1000);
    workqueue_add(target, record, &early, 0);
    ASSERT_TRUE(iterateUntil([&] { return journal.size() == 2; }));
    EXPECT_GE(g_get_monotonic_time() - start, 999 * 1000);
    EXPECT_EQ(journal.snapshot(), (std::vector<std::string>{"early@delay", "late@delay"}));
    workqueue_destroy(target);
}

struct NameCase {
    const char* given;
    const char* kept;
};

class WorkQueueName : public ::testing::TestWithParam<NameCase> {};

TEST_P(WorkQueueName, KeepsAtMostSevenCharacters)
{
    workqueue_self();
    workqueue* queue = workqueue_create(GetParam().given);
    EXPECT_STREQ(workqueue_getName(queue), GetParam().kept);
    workqueue_destroy(queue);
}

INSTANTIATE_TEST_SUITE_P(Names, WorkQueueName,
                         ::testing::Values(NameCase{"pworker123", "pworker"}, NameCase{"rworker", "rworker"},
                                           NameCase{"VR", "VR"}, NameCase{"", ""}),
                         [](const ::testing::TestParamInfo<NameCase>& info) { return std::to_string(info.index); });

TEST(WorkQueue, SelfOfAForeignThreadIsNullAndLogged)
{
    workqueue_self();
    LogCapture capture;
    workqueue* seen = reinterpret_cast<workqueue*>(1);
    std::thread([&] { seen = workqueue_self(); }).join();
    EXPECT_EQ(seen, nullptr);
    EXPECT_TRUE(capture.contains("QrvLogMT", WexLogError, "Can't find self"));
}

TEST(WorkQueue, DestroyRunsEarlierPostsAndJoins)
{
    workqueue_self();
    workqueue* queue = workqueue_create("gone");
    Journal journal;
    Item item{&journal, "before"};
    workqueue_add(queue, record, &item, 0);
    workqueue_destroy(queue);
    EXPECT_EQ(journal.snapshot(), (std::vector<std::string>{"before@gone"}));
}

TEST(WorkQueue, DestroyOfNullIsLogged)
{
    LogCapture capture;
    workqueue_destroy(nullptr);
    EXPECT_TRUE(capture.contains("QrvLogUI", WexLogError, "attempt to destroy null workqueue "));
}

TEST(WorkQueue, UiQueueIsNeverDestroyed)
{
    workqueue* ui = workqueue_self();
    LogCapture capture;
    workqueue_destroy(ui);
    EXPECT_EQ(workqueue_self(), ui);
    EXPECT_STREQ(workqueue_getName(ui), "UI");
}

// A queue cannot join its own thread: the call is refused and the queue
// keeps running.
TEST(WorkQueue, DestroyFromItsOwnThreadIsRefused)
{
    workqueue_self();
    workqueue* queue = workqueue_create("self");
    LogCapture capture;
    std::atomic<bool> tried{false};
    struct Try {
        workqueue* queue;
        std::atomic<bool>* tried;
    } attempt{queue, &tried};
    workqueue_add(
        queue,
        [](gpointer data) -> gboolean {
            auto* t = static_cast<Try*>(data);
            workqueue_destroy(t->queue);
            *t->tried = true;
            return G_SOURCE_REMOVE;
        },
        &attempt, 0);
    ASSERT_TRUE(iterateUntil([&] { return tried.load(); }));
    EXPECT_TRUE(capture.contains("QrvLogMT", WexLogError, "cannot destroy workqueue"));

    Journal journal;
    Item item{&journal, "after"};
    workqueue_add(queue, record, &item, 0);
    ASSERT_TRUE(iterateUntil([&] { return journal.size() == 1; }));
    EXPECT_EQ(journal.snapshot(), (std::vector<std::string>{"after@self"}));
    workqueue_destroy(queue);
}

// Queues are created and destroyed while their own threads look themselves up:
// the list must never hand a walker a freed record.
TEST(WorkQueue, ListSurvivesCreateAndDestroyWhileOthersWalkIt)
{
    workqueue_self();
    std::atomic<bool> stop{false};
    std::atomic<int> lookups{0};
    auto walker = [](gpointer data) -> gboolean {
        auto* counters = static_cast<std::pair<std::atomic<bool>*, std::atomic<int>*>*>(data);
        if (workqueue_self() == nullptr)
            ADD_FAILURE() << "a work queue lost itself";
        counters->second->fetch_add(1);
        return counters->first->load() ? G_SOURCE_REMOVE : G_SOURCE_CONTINUE;
    };
    std::pair<std::atomic<bool>*, std::atomic<int>*> counters{&stop, &lookups};
    workqueue* a = workqueue_create("walkA");
    workqueue* b = workqueue_create("walkB");
    workqueue_add(a, walker, &counters, 0);
    workqueue_add(b, walker, &counters, 0);

    std::thread churn([] {
        // A second creator thread, as "pworker"/"rworker" owners are.
        for (int i = 0; i < 50; ++i) {
            workqueue* q = workqueue_create("churn");
            workqueue_destroy(q);
        }
    });
    for (int i = 0; i < 50; ++i) {
        workqueue* q = workqueue_create("short");
        workqueue_destroy(q);
    }
    churn.join();
    stop = true;
    workqueue_destroy(a);
    workqueue_destroy(b);
    EXPECT_GT(lookups.load(), 0);
}

TEST(WorkQueue, AddLogsBothQueueNamesAtTrace)
{
    workqueue* ui = workqueue_self();
    WexLogger::configure("QrvLogMT=0");
    LogCapture capture;
    workqueue_add(ui, [](gpointer) -> gboolean { return G_SOURCE_REMOVE; }, nullptr, 0);
    WexLogger::configure("");
    EXPECT_TRUE(capture.contains("QrvLogMT", WexLogTrace, "In workqueue \"UI\": adding work (func="));
    EXPECT_TRUE(capture.contains("to workqueue \"UI\""));
    iterateFor(5);
}

// Cross-thread calls -------------------------------------------------------

struct CallProbe {
    std::atomic<int> calls{0};
    std::atomic<bool> ranInline{false};
    workqueue* ranOn = nullptr;
};

void probeCall(void* data)
{
    auto* probe = static_cast<CallProbe*>(data);
    probe->ranOn = workqueue_self();
    probe->calls.fetch_add(1);
}

struct LevelCase {
    bool vr;
    ThreadOpimizationLevel level;
    bool inlineExpected;
};

class CrossThreadCall : public ::testing::TestWithParam<LevelCase> {};

struct LevelRun {
    LevelCase c;
    CallProbe probe;
    std::atomic<bool> done{false};
};

void callFromOwnQueue(void* data)
{
    auto* run = static_cast<LevelRun*>(data);
    if (run->c.vr)
        QrvExecuteInVrThread(probeCall, &run->probe, run->c.level);
    else
        QrvExecuteInUiThread(probeCall, &run->probe, run->c.level);
    run->probe.ranInline = run->probe.calls.load() == 1;
    run->done = true;
}

TEST_P(CrossThreadCall, LevelDecidesInlineOrPosted)
{
    QrvWorkQueuesInit();
    LevelRun run;
    run.c = GetParam();
    // Start on the target queue itself, as its own code would.
    if (run.c.vr)
        QrvExecuteInVrThread(callFromOwnQueue, &run, QRV_THREAD_ALWAYS_POST);
    else
        callFromOwnQueue(&run);
    ASSERT_TRUE(iterateUntil([&] { return run.done.load() && run.probe.calls.load() == 1; }));
    EXPECT_EQ(run.probe.ranInline.load(), run.c.inlineExpected);
    EXPECT_EQ(run.probe.ranOn, run.c.vr ? dvkWorkQueue.load() : appWorkQueue.load());
}

INSTANTIATE_TEST_SUITE_P(Levels, CrossThreadCall,
                         ::testing::Values(LevelCase{false, QRV_THREAD_CALL_IF_SAME, true},
                                           LevelCase{false, QRV_THREAD_ALWAYS_POST, false},
                                           LevelCase{true, QRV_THREAD_CALL_IF_SAME, true},
                                           LevelCase{true, QRV_THREAD_ALWAYS_POST, false}),
                         [](const ::testing::TestParamInfo<LevelCase>& info) {
                             return std::string(info.param.vr ? "VR" : "UI") + "_level" +
                                    std::to_string(static_cast<int>(info.param.level));
                         });

TEST(CrossThreadCall, LevelOneFromAnotherQueueIsPosted)
{
    QrvWorkQueuesInit();
    CallProbe probe;
    QrvExecuteInVrThread(probeCall, &probe, QRV_THREAD_CALL_IF_SAME);  // from "UI"
    ASSERT_TRUE(iterateUntil([&] { return probe.calls.load() == 1; }));
    EXPECT_EQ(probe.ranOn, dvkWorkQueue.load());
}

TEST(CrossThreadCall, CallsBeforeTheQueuesExistAreLoggedAndDropped)
{
    LogCapture capture;
    CallProbe probe;
    for (ThreadOpimizationLevel level : {QRV_THREAD_ALWAYS_POST, QRV_THREAD_CALL_IF_SAME}) {
        QrvExecuteInVrThread(probeCall, &probe, level);
        QrvExecuteInUiThread(probeCall, &probe, level);
    }
    EXPECT_EQ(capture.count("VR thread not created yet!"), 2u);
    EXPECT_TRUE(capture.contains("QrvLogUI", WexLogError, "VR thread not created yet!"));
    EXPECT_EQ(capture.count("UI thread not created yet!"), 2u);
    QrvWorkQueuesInit();
    iterateFor(20);
    EXPECT_EQ(probe.calls.load(), 0);
}

TEST(CrossThreadCall, InitMakesThisThreadUiAndStartsVr)
{
    EXPECT_EQ(dvkWorkQueue.load(), nullptr);
    QrvWorkQueuesInit();
    EXPECT_EQ(appWorkQueue.load(), workqueue_self());
    EXPECT_STREQ(workqueue_getName(appWorkQueue.load()), "UI");
    ASSERT_NE(dvkWorkQueue.load(), nullptr);
    EXPECT_STREQ(workqueue_getName(dvkWorkQueue.load()), "VR");
    EXPECT_EQ(workqueue_getContext(appWorkQueue.load()), g_main_context_default());
}

} // namespace
