#include "core/ce/dvk_app.h"

#include "core/ce/dvk_ce_requests.h"
#include "core/utils/dvk_ucs2.h"
#include "tests/support/log_capture.h"
#include "tests/support/suite_memory.h"
#include "tests/support/vr_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace {

const dvk_ucs2_Char* u(const char16_t* text)
{
    return reinterpret_cast<const dvk_ucs2_Char*>(text);
}

std::string narrow(const dvk_ucs2_Char* text)
{
    if (text == nullptr)
        return "(null)";
    std::string out;
    for (; *text != 0; ++text)
        out.push_back(static_cast<char>(*text));
    return out;
}

// What the engine double on "VR" received.
struct Received {
    std::string kind;
    void* thread;
    dvk_msg_Address sender;
    dvk_ce_Request request;
    dvk_ce_StartRequest start;
};

std::mutex s_lock;
std::vector<Received> s_received;

void record(const char* kind, void* data, dvk_msg_Address sender, bool start)
{
    Received r{kind, dvk_msg_getMyAddr(), sender, {}, {}};
    if (start)
        r.start = *static_cast<dvk_ce_StartRequest*>(data);
    else
        r.request = *static_cast<dvk_ce_Request*>(data);
    std::lock_guard<std::mutex> lock(s_lock);
    s_received.push_back(r);
}

void createDouble(void* d, dvk_msg_Address s) { record("create", d, s, false); }
void startDouble(void* d, dvk_msg_Address s) { record("start", d, s, true); }
void abortDouble(void* d, dvk_msg_Address s) { record("abort", d, s, false); }
void destroyDouble(void* d, dvk_msg_Address s) { record("destroy", d, s, false); }
const dvk_ce_RequestHandlers kDouble = {createDouble, startDouble, abortDouble, destroyDouble, nullptr};

// Callbacks record their calls (on "UI") as text.
std::vector<std::string> s_calls;
long s_liveAtCallback = -1;

void completed(dvk_app_CompletionCode code, void* context)
{
    s_liveAtCallback = dvk_mem_liveBlocks();
    s_calls.push_back("done " + std::to_string(code) + " " +
                      std::to_string(reinterpret_cast<intptr_t>(context)));
}

void otherExit(dvk_app_CompletionCode code, void* context)
{
    s_calls.push_back("exit " + std::to_string(code) + " " +
                      std::to_string(reinterpret_cast<intptr_t>(context)));
}

void called(const dvk_ucs2_Char* name, const dvk_ucs2_Char* location, const dvk_ucs2_Char* number,
            void*)
{
    s_calls.push_back("call " + narrow(name) + " " + narrow(location) + " " + narrow(number));
}

void sent(const dvk_ucs2_Char* t1, const dvk_ucs2_Char* t2, const dvk_ucs2_Char* t3,
          const dvk_ucs2_Char* t4, dvk_app_MessageType type, void*)
{
    s_calls.push_back("send " + narrow(t1) + " " + narrow(t2) + " " + narrow(t3) + " " +
                      narrow(t4) + " " + std::to_string(type));
}

void played(const dvk_ucs2_Char* song, const dvk_ucs2_Char* artist, const dvk_ucs2_Char* album,
            const dvk_ucs2_Char* playlist, int32_t a, int32_t b, int32_t c, int32_t d, void* context)
{
    s_calls.push_back("play " + narrow(song) + " " + narrow(artist) + " " + narrow(album) + " " +
                      narrow(playlist) + " " + std::to_string(a) + std::to_string(b) +
                      std::to_string(c) + std::to_string(d) + " " +
                      std::to_string(reinterpret_cast<intptr_t>(context)));
}

void lookedUp(const dvk_ucs2_Char* name, dvk_app_LookupMode mode, void*)
{
    s_calls.push_back("lookup " + narrow(name) + " " + std::to_string(mode));
}

void wentTo(const dvk_ucs2_Char* name, int32_t applicationContext, void*)
{
    s_calls.push_back("goto " + narrow(name) + " " + std::to_string(applicationContext));
}

void checked(dvk_app_CheckItem item, void*) { s_calls.push_back("check " + std::to_string(item)); }
void helped(const dvk_ucs2_Char* topic, int32_t word, void*)
{
    s_calls.push_back("help " + narrow(topic) + " " + std::to_string(word));
}
void added(const dvk_ucs2_Char* a, const dvk_ucs2_Char* b, const dvk_ucs2_Char* c, void*)
{
    s_calls.push_back("add " + narrow(a) + " " + narrow(b) + " " + narrow(c));
}
void launched(const dvk_ucs2_Char* text, void*) { s_calls.push_back("url " + narrow(text)); }
void searched(void*) { s_calls.push_back("search"); }

void* ctx(intptr_t value)
{
    return reinterpret_cast<void*>(value);
}

class AppTest : public SuiteMemoryTest {
protected:
    void SetUp() override
    {
        SuiteMemoryTest::SetUp();
        ensureWorkQueues();
        s_received.clear();
        s_calls.clear();
    }
    void TearDown() override
    {
        drainVr();
        waitFor([] { return false; }, std::chrono::milliseconds(20));
        dvk_ce_setRequestHandlers(nullptr);
        SuiteMemoryTest::TearDown();
    }

    static size_t received()
    {
        std::lock_guard<std::mutex> lock(s_lock);
        return s_received.size();
    }
};

TEST_F(AppTest, EntryPointsPostTheirRequestFromUi)
{
    dvk_ce_setRequestHandlers(&kDouble);
    dvk_app_Notifications table{};
    table.notifyExit = otherExit;
    table.notifyCallCmd = called;
    dvk_app_Notifications noExit{};
    noExit.notifyCallCmd = called;

    struct Case {
        const char* name;
        std::function<int()> call;
        int result;
        const char* kind;
        int32_t mode;
        int32_t script;
        bool fullTable;
    };
    const Case cases[] = {
        {"create", [] { return dvk_app_create(completed, ctx(1)); }, 0, "create", 0, 0, false},
        {"destroy", [] { return dvk_app_destroy(completed, ctx(2)); }, 0, "destroy", 0, 0, false},
        {"abort", [] { return dvk_app_abort(completed, ctx(3)); }, 0, "abort", 0, 0, false},
        {"create without callback", [] { return dvk_app_create(nullptr, ctx(1)); }, 1, nullptr, 0, 0, false},
        {"destroy without callback", [] { return dvk_app_destroy(nullptr, ctx(1)); }, 1, nullptr, 0, 0, false},
        {"abort without callback", [] { return dvk_app_abort(nullptr, ctx(1)); }, 1, nullptr, 0, 0, false},
        {"command recognition", [&] { return dvk_app_startCmdRecog(&table, ctx(4)); }, 0, "start", 0, -1, true},
        {"settings", [&] { return dvk_app_startSettingsMenu(&table, ctx(4)); }, 0, "start", 1, -1, true},
        {"adaptation", [] { return dvk_app_startAdaptationMenu(otherExit, ctx(4)); }, 0, "start", 2, -1, false},
        {"voice mode", [] { return dvk_app_startVoiceModeMenu(otherExit, ctx(4)); }, 0, "start", 3, -1, false},
        {"enrollment", [] { return dvk_app_startVoiceModeEnrollment(otherExit, ctx(4)); }, 0, "start", 4, -1, false},
        {"tutorial", [] { return dvk_app_startVoiceModeTutorial(otherExit, ctx(4)); }, 0, "start", 5, -1, false},
        {"reset", [] { return dvk_app_startVoiceModeReset(otherExit, ctx(4)); }, 0, "start", 6, -1, false},
        {"connected", [&] { return dvk_app_startConnectedServicesOnly(&table, ctx(4)); }, 0, "start", 7, -1, true},
        {"voice search", [&] { return dvk_app_startVsearch(&table, ctx(4), 0); }, 0, "start", 8, 0, true},
        {"voice search -1", [&] { return dvk_app_startVsearch(&table, ctx(4), -1); }, 1, nullptr, 0, 0, false},
        {"no table", [] { return dvk_app_startCmdRecog(nullptr, ctx(4)); }, 1, nullptr, 0, 0, false},
        {"no exit slot", [&] { return dvk_app_startCmdRecog(&noExit, ctx(4)); }, 1, nullptr, 0, 0, false},
        {"no exit slot, settings", [&] { return dvk_app_startSettingsMenu(&noExit, ctx(4)); }, 1, nullptr, 0, 0, false},
        {"no exit slot, search", [&] { return dvk_app_startVsearch(&noExit, ctx(4), 2); }, 1, nullptr, 0, 0, false},
        {"no exit, tutorial", [] { return dvk_app_startVoiceModeTutorial(nullptr, ctx(4)); }, 1, nullptr, 0, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        s_received.clear();
        EXPECT_EQ(c.call(), c.result);
        table.notifyCallCmd = nullptr;  // a later change leaves the copy alone
        drainVr();
        table.notifyCallCmd = called;
        if (c.kind == nullptr) {
            EXPECT_EQ(received(), 0u);
            continue;
        }
        ASSERT_EQ(received(), 1u);
        const Received& r = s_received[0];
        EXPECT_EQ(r.kind, c.kind);
        EXPECT_EQ(r.thread, static_cast<void*>(dvkWorkQueue.load()));
        EXPECT_EQ(r.sender, static_cast<void*>(appWorkQueue.load()));
        if (r.kind != "start") {
            EXPECT_EQ(r.request.callback, completed);
            continue;
        }
        EXPECT_EQ(r.start.mode, c.mode);
        EXPECT_EQ(r.start.vsearchScriptId, c.script);
        EXPECT_EQ(r.start.context, ctx(4));
        EXPECT_EQ(r.start.notifications.notifyExit, otherExit);
        EXPECT_EQ(r.start.notifications.notifyCallCmd, c.fullTable ? called : nullptr);
    }

    dvk_mem_failAfter(0);
    EXPECT_EQ(dvk_app_create(completed, ctx(1)), 2);
    EXPECT_EQ(dvk_app_destroy(completed, ctx(1)), 2);
    EXPECT_EQ(dvk_app_abort(completed, ctx(1)), 2);
    EXPECT_EQ(dvk_app_startCmdRecog(&table, ctx(1)), 2);
    EXPECT_EQ(dvk_app_startVoiceModeReset(otherExit, ctx(1)), 2);
    EXPECT_EQ(dvk_app_startVsearch(&table, ctx(1), 3), 2);
    dvk_mem_failAfter(-1);
}

TEST_F(AppTest, WithoutEngineAbortAndDestroyAnswerAndTheRestIsDropped)
{
    LogCapture log;
    EXPECT_EQ(dvk_app_create(completed, ctx(1)), 0);
    dvk_app_Notifications table{};
    table.notifyExit = otherExit;
    EXPECT_EQ(dvk_app_startCmdRecog(&table, ctx(2)), 0);
    EXPECT_EQ(dvk_app_abort(completed, ctx(3)), 0);
    EXPECT_EQ(dvk_app_destroy(completed, ctx(4)), 0);
    ASSERT_TRUE(waitFor([] { return s_calls.size() == 2; }));
    EXPECT_EQ(s_calls, (std::vector<std::string>{"done 0 3", "done 0 4"}));
    EXPECT_EQ(log.count("no engine"), 2u);
}

TEST_F(AppTest, OutOfMemoryReachesTheLastRequesterOnce)
{
    dvk_ce_setRequestHandlers(&kDouble);
    dvk_app_Notifications table{};
    table.notifyExit = otherExit;
    ASSERT_EQ(dvk_app_create(completed, ctx(1)), 0);
    ASSERT_EQ(dvk_app_startCmdRecog(&table, ctx(2)), 0);
    dvk_mem_failAfter(0);
    EXPECT_EQ(dvk_app_abort(completed, ctx(3)), 2);  // not built: the target stays
    dvk_mem_failAfter(-1);
    runOnVr([] {
        dvk_msg_sendEvent(dvk_ce_oomHandler, appWorkQueue.load());
        dvk_msg_sendEvent(dvk_ce_oomHandler, appWorkQueue.load());
    });
    waitFor([] { return false; }, std::chrono::milliseconds(50));
    EXPECT_EQ(s_calls, (std::vector<std::string>{"exit 4 2"}));
}

// Sends answers from "VR" and waits for their callbacks on "UI".
void answerFromVr(const std::function<std::vector<dvk_msg_Message*>()>& build, size_t calls)
{
    runOnVr([&] {
        for (dvk_msg_Message* m : build())
            dvk_msg_send(m, appWorkQueue.load());
    });
    ASSERT_TRUE(waitFor([&] { return s_calls.size() == calls; }));
}

TEST_F(AppTest, AnswersCallBackOnUiInOrderWithCopiedTexts)
{
    std::u16string name = u"Ann";
    answerFromVr(
        [&] {
            std::vector<dvk_msg_Message*> out = {
                dvk_app_newNotifyCreateRspMsg(completed, ctx(1), DVK_APP_INCOMPLETE),
                dvk_app_newNotifyCreateRspMsg(completed, ctx(1), DVK_APP_SUCCESS),
                dvk_app_newNotifyCallCmdRspMsg(called, u(name.c_str()), u(u"Mobile"), u(u"5550100"), ctx(0)),
                dvk_app_newNotifyLookupCmdRspMsg(lookedUp, u(u"Bob"), 1, ctx(0)),
                dvk_app_newNotifyGoToCmdRspMsg(wentTo, u(u"Mail"), 77, ctx(0)),
                dvk_app_newNotifyCheckCmdRspMsg(checked, 7, ctx(0)),
                dvk_app_newNotifyGoToCalendarCmdRspMsg(checked, 2, ctx(0)),
                dvk_app_newNotifyPlayCmdRspMsg(played, u(u"S"), u(u"A"), u(u"B"), u(u"P"), 1, 2, 3, 4, ctx(9)),
                dvk_app_newNotifyHelpCmdRspMsg(helped, u(u"Topic"), 5, ctx(0)),
                dvk_app_newNotifyAddContactCmdRspMsg(added, nullptr, u(u"x"), nullptr, ctx(0)),
                dvk_app_newNotifyLaunchUrlCmdRspMsg(launched, nullptr, ctx(0)),
                dvk_app_newNotifySearchCmdRspMsg(searched, ctx(0)),
                dvk_app_newNotifyMyAccountCmdRspMsg(searched, ctx(0)),
                dvk_app_newNotifyExitRspMsg(otherExit, DVK_APP_CANCELLED, ctx(6)),
            };
            name[0] = u'X';  // the answer holds its own copy
            return out;
        },
        14);
    EXPECT_EQ(s_calls, (std::vector<std::string>{
                           "done 6 1", "done 0 1", "call Ann Mobile 5550100", "lookup Bob 1",
                           "goto Mail 77", "check 7", "check 2", "play S A B P 1234 9", "help Topic 5",
                           "add (null) x (null)", "url (null)", "search", "search", "exit 5 6"}));
}

TEST_F(AppTest, TextRulesOfCallAndSend)
{
    answerFromVr(
        [] {
            return std::vector<dvk_msg_Message*>{
                dvk_app_newNotifyCallCmdRspMsg(called, nullptr, u(u"Home"), u(u"5550100"), ctx(0)),
                dvk_app_newNotifyCallCmdRspMsg(called, u(u"Ann"), nullptr, u(u"5550100"), ctx(0)),
                dvk_app_newNotifySendCmdRspMsg(sent, u(u"a"), u(u"b"), u(u"c"), u(u"d"), 3, ctx(0)),
                dvk_app_newNotifySendCmdRspMsg(sent, u(u"a"), u(u"b"), u(u"c"), nullptr, 3, ctx(0)),
                dvk_app_newNotifySendCmdRspMsg(sent, nullptr, u(u"b"), u(u"c"), nullptr, 3, ctx(0)),
                dvk_app_newNotifySendCmdRspMsg(sent, nullptr, u(u"b"), nullptr, nullptr, 3, ctx(0)),
            };
        },
        6);
    EXPECT_EQ(s_calls, (std::vector<std::string>{
                           "call (null) (null) 5550100", "call Ann (null) 5550100",
                           "send (null) (null) (null) d 3", "send a b c (null) 3",
                           "send (null) (null) c (null) 3", "send (null) (null) (null) (null) 3"}));

    EXPECT_DEATH(dvk_app_newNotifyCallCmdRspMsg(called, u(u"Ann"), nullptr, nullptr, ctx(0)),
                 "number != ");
    EXPECT_DEATH(dvk_app_newNotifySendCmdRspMsg(sent, u(u"a"), nullptr, u(u"c"), nullptr, 0, ctx(0)),
                 "text2 != ");
    EXPECT_DEATH(dvk_app_newNotifyLookupCmdRspMsg(lookedUp, nullptr, 0, ctx(0)), "name != ");
    EXPECT_DEATH(dvk_app_newNotifyGoToCmdRspMsg(wentTo, nullptr, 0, ctx(0)), "name != ");
    EXPECT_DEATH(dvk_app_newNotifyPlayCmdRspMsg(played, u(u"S"), u(u"A"), nullptr, u(u"P"), 0, 0, 0, 0, ctx(0)),
                 "album != ");
    EXPECT_DEATH(dvk_app_newNotifyHelpCmdRspMsg(helped, nullptr, 0, ctx(0)), "topic != ");
}

TEST_F(AppTest, EachFailedAllocationGivesNothing)
{
    const std::function<dvk_msg_Message*()> builders[] = {
        [] { return dvk_app_newNotifyCallCmdRspMsg(called, u(u"Ann"), u(u"Home"), u(u"1"), ctx(0)); },
        [] { return dvk_app_newNotifyPlayCmdRspMsg(played, u(u"S"), u(u"A"), u(u"B"), u(u"P"), 0, 0, 0, 0, ctx(0)); },
        [] { return dvk_app_newNotifySendCmdRspMsg(sent, u(u"a"), u(u"b"), u(u"c"), nullptr, 0, ctx(0)); },
        [] { return dvk_app_newNotifyDestroyRspMsg(completed, ctx(0), DVK_APP_SUCCESS); },
        [] { return dvk_app_newNotifyExitRspMsg(otherExit, DVK_APP_SUCCESS, ctx(0)); },
    };
    for (const auto& build : builders) {
        for (long allowed = 0;; ++allowed) {
            const long live = dvk_mem_liveBlocks();
            dvk_mem_failAfter(allowed);
            dvk_msg_Message* m = build();
            dvk_mem_failAfter(-1);
            if (m != nullptr) {
                // A message without destructor leaves its record to the handler.
                void* data = m->destructor == nullptr ? m->msgData : nullptr;
                dvk_msg_destroy(&m);
                dvk_mem_dealloc(&data);
                break;
            }
            EXPECT_EQ(dvk_mem_liveBlocks(), live) << allowed;
        }
    }
}

TEST_F(AppTest, TheDestroyRecordIsFreedBeforeItsCallback)
{
    const long live = dvk_mem_liveBlocks();
    answerFromVr(
        [] { return std::vector<dvk_msg_Message*>{
                 dvk_app_newNotifyDestroyRspMsg(completed, ctx(8), DVK_APP_SUCCESS)}; },
        1);
    EXPECT_EQ(s_calls, (std::vector<std::string>{"done 0 8"}));
    EXPECT_EQ(s_liveAtCallback, live);
}

TEST_F(AppTest, AnAnswerWithoutCallbackCallsNothing)
{
    LogCapture log;
    runOnVr([] {
        dvk_msg_send(dvk_app_newNotifyHelpCmdRspMsg(nullptr, u(u"Topic"), 0, ctx(0)), appWorkQueue.load());
        dvk_msg_send(dvk_app_newNotifyDestroyRspMsg(nullptr, ctx(0), DVK_APP_SUCCESS), appWorkQueue.load());
        dvk_msg_send(dvk_app_newNotifySearchCmdRspMsg(searched, ctx(0)), appWorkQueue.load());
    });
    ASSERT_TRUE(waitFor([] { return s_calls.size() == 1; }));
    EXPECT_EQ(s_calls, (std::vector<std::string>{"search"}));
    EXPECT_EQ(log.count("the answer has no callback"), 2u);
}

} // namespace
