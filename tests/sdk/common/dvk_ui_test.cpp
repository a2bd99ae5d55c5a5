// The suite's display requests: each screen is copied on the sending thread
// ("VR"), so the caller may scribble over and free what it passed at once,
// and reaches the UI function table on "UI" with the caller's original
// values. UI events reach the central engine's event slot on "VR".
#include "sdk/common/dvk_ui.h"

#include "core/ce/dvk_ce_requests.h"
#include "tests/oem/ui_recording/recording_ui_funcs.h"
#include "tests/support/assertion_pattern.h"
#include "tests/support/log_capture.h"
#include "tests/support/suite_memory.h"
#include "tests/support/vr_thread.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace {

// What the caller passes: every text, list and array lives in a block of
// its own, which scrub() overwrites and frees (AddressSanitizer then stops
// any later read of it).
class Given {
public:
    const dvk_ucs2_Char* t(const char16_t* text)
    {
        if (text == nullptr)
            return nullptr;
        const size_t units = std::char_traits<char16_t>::length(text) + 1;
        return static_cast<const dvk_ucs2_Char*>(block(text, units * sizeof(char16_t)));
    }
    const dvk_ucs2_Char* const* list(std::initializer_list<const char16_t*> items)
    {
        std::vector<const dvk_ucs2_Char*> pointers;
        for (const char16_t* item : items)
            pointers.push_back(t(item));
        return static_cast<const dvk_ucs2_Char* const*>(block(pointers.data(), pointers.size() * sizeof(void*)));
    }
    template <typename T>
    const T* array(std::initializer_list<T> values)
    {
        return static_cast<const T*>(block(values.begin(), values.size() * sizeof(T)));
    }
    const uint8_t* bytes(size_t n, uint8_t first)
    {
        std::vector<uint8_t> values(n);
        for (size_t i = 0; i < n; ++i)
            values[i] = static_cast<uint8_t>(first + i);
        return static_cast<const uint8_t*>(block(values.data(), n));
    }
    void scrub()
    {
        for (std::vector<unsigned char>& b : m_blocks)
            std::memset(b.data(), 0xA5, b.size());
        m_blocks.clear();
    }

private:
    const void* block(const void* from, size_t size)
    {
        m_blocks.emplace_back(static_cast<const unsigned char*>(from),
                              static_cast<const unsigned char*>(from) + size);
        return m_blocks.back().data();
    }
    std::deque<std::vector<unsigned char>> m_blocks;
};

dvk_msg_Address ui()
{
    return appWorkQueue.load();
}

std::string hexOf(size_t n, uint8_t first)
{
    std::vector<uint8_t> values(n);
    for (size_t i = 0; i < n; ++i)
        values[i] = static_cast<uint8_t>(first + i);
    return RecordingUiFuncs::hex(values.data(), n);
}

// Soft keys [Back, none, Help].
const char kKeys[] = R"(softkeyText=["Back", null, "Help"], softkeyEvent=[4, 0, 14])";

struct RequestCase {
    const char* name;
    std::function<int(Given&)> call;
    std::string sent;  // the recorded call
};

std::vector<RequestCase> requestCases()
{
    auto keys = [](Given& g) { return g.list({u"Back", nullptr, u"Help"}); };
    auto events = [](Given& g) { return g.array<dvk_ui_Event>({DVK_UI_EVENT_BACK, DVK_UI_EVENT_NONE, DVK_UI_EVENT_HELP}); };
    const std::string k = kKeys;
    return {
        {"popup", [](Given& g) { return dvk_ui_displayPopup(ui(), 37, g.t(u"Please wait"), 1, 2000); },
         R"(displayPopup(screenId=37, bodyText="Please wait", popupType=1, defaultTimeout=2000))"},
        {"radio button",
         [=](Given& g) {
             return dvk_ui_displayRadioButton(ui(), 36, g.t(u"Title"), g.t(u"Second"), g.list({u"a", u"b"}), 2, 1,
                                              keys(g), events(g), 8);
         },
         R"(displayRadioButton(screenId=36, titleText="Title", secondText="Second", items=["a", "b"], numItems=2, )"
         R"(selectedItem=1, )" + k + ", defaultTimeout=8)"},
        {"check box with an empty item",
         [=](Given& g) {
             return dvk_ui_displayCheckBox(ui(), 35, nullptr, g.t(u"Second"), g.list({u"a", nullptr, u"c"}),
                                           g.array<uint8_t>({1, 0, 1}), 3, 2, keys(g), events(g), 7);
         },
         R"(displayCheckBox(screenId=35, titleText=null, secondText="Second", items=["a", null, "c"], )"
         R"(itemFlags=<010001>, numItems=3, highlightedItem=2, )" + k + ", defaultTimeout=7)"},
        {"menu whose second item has no sub-items",
         [=](Given& g) {
             using List = const dvk_ucs2_Char* const*;
             return dvk_ui_displayMenu(ui(), 34, g.t(u"Menu"), nullptr, g.list({u"m0", u"m1", u"m2"}), 3, 2,
                                       g.array<List>({g.list({u"s0"}), nullptr, g.list({u"s2a", u"s2b"})}),
                                       g.array<int32_t>({1, 0, 2}), keys(g), events(g), -1);
         },
         R"(displayMenu(screenId=34, titleText="Menu", secondText=null, menuItems=["m0", "m1", "m2"], )"
         R"(numMenuItems=3, selectedItem=2, subMenuItems=[["s0"], null, ["s2a", "s2b"]], numSubMenuItems=[1, 0, 2], )" +
             k + ", defaultTimeout=-1)"},
        {"confirm",
         [=](Given& g) {
             return dvk_ui_displayConfirm(ui(), 33, g.t(u"T"), g.t(u"Ann"), g.t(u"P"), g.list({u"Home", u"Work"}), 2, 1,
                                          g.list({u"yes", u"no", u"cancel"}), 3, keys(g), events(g), 100, 200);
         },
         R"(displayConfirm(screenId=33, titleText="T", bodyText="Ann", panelBarText="P", items=["Home", "Work"], )"
         R"(numItems=2, selectedItem=1, phrases=["yes", "no", "cancel"], numPhrases=3, )" + k +
             ", startTimeout=100, defaultTimeout=200)"},
        {"adapt",
         [=](Given& g) {
             return dvk_ui_displayAdapt(ui(), 32, g.t(u"T"), g.t(u"2nd"), g.t(u"P"), g.t(u"phrase"), keys(g),
                                        events(g), 1, 2);
         },
         R"(displayAdapt(screenId=32, titleText="T", secondText="2nd", panelBarText="P", phrase="phrase", )" + k +
             ", startTimeout=1, defaultTimeout=2)"},
        {"listen with a picture",
         [=](Given& g) {
             return dvk_ui_displayListen(ui(), 31, g.t(u"T"), g.t(u"B"), 2, 3, g.bytes(256, 7), g.bytes(6, 0x80), 6,
                                         g.t(u"P"), g.list({u"call"}), 1, keys(g), events(g), 5000, 10000);
         },
         R"(displayListen(screenId=31, titleText="T", bodyText="B", width=2, height=3, palette=)" + hexOf(256, 7) +
             ", bitmapData=" + hexOf(6, 0x80) + R"(, bitmapDataLen=6, panelBarText="P", phrases=["call"], )"
             R"(numPhrases=1, )" + k + ", startTimeout=5000, defaultTimeout=10000)"},
        {"listen without a picture",
         [=](Given& g) {
             return dvk_ui_displayListen(ui(), 31, nullptr, nullptr, 0, 0, nullptr, nullptr, 0, g.t(u"P"), nullptr, 0,
                                         keys(g), events(g), 0, 0);
         },
         R"(displayListen(screenId=31, titleText=null, bodyText=null, width=0, height=0, palette=null, )"
         R"(bitmapData=null, bitmapDataLen=0, panelBarText="P", phrases=null, numPhrases=0, )" + k +
             ", startTimeout=0, defaultTimeout=0)"},
        {"command",
         [=](Given& g) {
             return dvk_ui_displayCommand(ui(), 30, nullptr, g.t(u"Say a command"), g.list({u"call", u"redial"}), 2,
                                          keys(g), events(g), 5000, -1);
         },
         R"(displayCommand(screenId=30, titleText=null, panelBarText="Say a command", commands=["call", "redial"], )"
         R"(numCommands=2, )" + k + ", startTimeout=5000, defaultTimeout=-1)"},
        {"text with nulls only",
         [](Given& g) {
             return dvk_ui_displayText(ui(), 13, nullptr, nullptr, g.list({nullptr, nullptr, nullptr}),
                                       g.array<dvk_ui_Event>({0, 0, 0}), -1);
         },
         R"(displayText(screenId=13, titleText=null, bodyText=null, softkeyText=[null, null, null], )"
         R"(softkeyEvent=[0, 0, 0], defaultTimeout=-1))"},
        {"text without soft-key arrays",
         [](Given& g) { return dvk_ui_displayText(ui(), 14, g.t(u"\u00c5se \u65e5"), nullptr, nullptr, nullptr, 0); },
         R"(displayText(screenId=14, titleText="Åse 日", bodyText=null, softkeyText=[null, null, null], )"
         R"(softkeyEvent=[0, 0, 0], defaultTimeout=0))"},
        {"RGB bitmap",
         [=](Given& g) {
             return dvk_ui_displayRgbBitmap(ui(), 39, g.t(u"T"), 2, 2, g.array<uint16_t>({0x0102, 0x0304, 0x0506, 0x0708}),
                                            reinterpret_cast<const dvk_oem_ui_display_Rect*>(g.array<int32_t>({1, 2, 3, 4})),
                                            1, keys(g), events(g), 10);
         },
         R"(displayRgbBitmap(screenId=39, titleText="T", width=2, height=2, bitmapData=<0201040306050807>, )"
         R"(updateRectangles=<01000000020000000300000004000000>, numUpdateRectangles=1, )" + k +
             ", defaultTimeout=10)"},
        {"bitmap",
         [=](Given& g) {
             return dvk_ui_displayBitmap(ui(), 38, nullptr, 2, 2, g.bytes(256, 0xF0), g.bytes(4, 1), 4, keys(g),
                                         events(g), 9);
         },
         "displayBitmap(screenId=38, titleText=null, width=2, height=2, palette=" + hexOf(256, 0xF0) +
             ", bitmapData=<01020304>, bitmapDataLen=4, " + k + ", defaultTimeout=9)"},
    };
}

class UiRequests : public SuiteMemoryTest {
protected:
    void SetUp() override
    {
        SuiteMemoryTest::SetUp();
        ensureWorkQueues();
    }
    void TearDown() override
    {
        drainVr();
        pumpUi();
        dvk_ce_setRequestHandlers(nullptr);
        SuiteMemoryTest::TearDown();
    }

    // Handles whatever "VR" has already posted to "UI".
    static void pumpUi()
    {
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
    }

    // Runs the request on "VR"; the caller's data is scrubbed right after.
    static int onVr(const std::function<int(Given&)>& call, long failAfter = -1)
    {
        int result = -1;
        runOnVr([&] {
            Given given;
            dvk_mem_failAfter(failAfter);
            result = call(given);
            dvk_mem_failAfter(-1);
            given.scrub();
        });
        pumpUi();
        return result;
    }

    RecordingUiFuncs recording;
};

TEST_F(UiRequests, EveryRequestReachesTheTableOnUiWithTheCallersValues)
{
    const long before = dvk_mem_liveBlocks();
    for (const RequestCase& c : requestCases()) {
        SCOPED_TRACE(c.name);
        recording.clear();
        ASSERT_EQ(onVr(c.call), 0);
        ASSERT_TRUE(waitFor([&] { return recording.count() == 1; }));
        const RecordedUiCall call = recording.calls()[0];
        EXPECT_EQ(call.text(), c.sent);
        EXPECT_TRUE(call.onUi);
        // The handler's destructor has freed the copies.
        EXPECT_EQ(dvk_mem_liveBlocks(), before);
    }
}

TEST_F(UiRequests, EachAllocationFailingSendsNothingAndLeavesNothing)
{
    const long before = dvk_mem_liveBlocks();
    for (const RequestCase& c : requestCases()) {
        SCOPED_TRACE(c.name);
        long n = 0;
        for (;; ++n) {
            SCOPED_TRACE(n);
            recording.clear();
            const int result = onVr(c.call, n);
            if (result == 0)
                break;
            ASSERT_EQ(result, 1);
            EXPECT_EQ(recording.count(), 0u);
            EXPECT_EQ(dvk_mem_liveBlocks(), before);
        }
        EXPECT_GT(n, 1);  // the record and the message at least
        ASSERT_TRUE(waitFor([&] { return recording.count() == 1; }));
        EXPECT_EQ(dvk_mem_liveBlocks(), before);
    }
}

TEST_F(UiRequests, AListGivenWithACountOfZeroIsNotSent)
{
    struct Case {
        const char* name;
        std::function<int(Given&)> call;
    };
    const Case cases[] = {
        {"confirm phrases",
         [](Given& g) {
             return dvk_ui_displayConfirm(ui(), 1, nullptr, nullptr, g.t(u"P"), g.list({u"a"}), 1, 0, g.list({u"x"}), 0,
                                          nullptr, nullptr, 0, 0);
         }},
        {"menu sub-list",
         [](Given& g) {
             const dvk_ucs2_Char* const* const lists[1] = {g.list({u"x"})};
             return dvk_ui_displayMenu(ui(), 1, nullptr, nullptr, g.list({u"a"}), 1, 0, lists,
                                       g.array<int32_t>({0}), nullptr, nullptr, 0);
         }},
        {"listen phrases",
         [](Given& g) {
             return dvk_ui_displayListen(ui(), 1, nullptr, nullptr, 0, 0, nullptr, nullptr, 0, g.t(u"P"),
                                         g.list({u"x"}), 0, nullptr, nullptr, 0, 0);
         }},
        {"RGB update rectangles",
         [](Given& g) {
             return dvk_ui_displayRgbBitmap(ui(), 1, nullptr, 1, 1, g.array<uint16_t>({1}),
                                            reinterpret_cast<const dvk_oem_ui_display_Rect*>(g.array<int32_t>({1, 2, 3, 4})),
                                            0, nullptr, nullptr, 0);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(onVr(c.call), 1);
    }
    drainVr();
    pumpUi();
    EXPECT_EQ(recording.count(), 0u);
}

// ---- events -------------------------------------------------------------------

struct ReceivedEvent {
    dvk_ui_Event event;
    int32_t index;
    void* thread;
    dvk_msg_Address sender;
    int32_t pendingBefore;
};

std::mutex s_lock;
std::vector<ReceivedEvent> s_events;

void recordEvent(void* data, dvk_msg_Address sender)
{
    const auto* request = static_cast<dvk_ce_HandleEventRequest*>(data);
    const int32_t pending = dvk_ce_getPendingEventCount();
    dvk_ce_lowerPendingEventCount();
    std::lock_guard<std::mutex> lock(s_lock);
    s_events.push_back({request->event, request->index, dvk_msg_getMyAddr(), sender, pending});
}

size_t received()
{
    std::lock_guard<std::mutex> lock(s_lock);
    return s_events.size();
}

TEST_F(UiRequests, EventsReachTheEngineOnTheSuiteThread)
{
    s_events.clear();
    const dvk_ce_RequestHandlers engine = {nullptr, nullptr, nullptr, nullptr, recordEvent};
    dvk_ce_setRequestHandlers(&engine);
    // Hold "VR" so that both events are pending before either is handled.
    std::atomic<bool> release{false};
    workqueue_add(
        dvkWorkQueue.load(),
        [](gpointer flag) -> gboolean {
            while (!static_cast<std::atomic<bool>*>(flag)->load())
                g_usleep(1000);
            return G_SOURCE_REMOVE;
        },
        &release, 0);
    EXPECT_EQ(dvk_ui_sendEvent(DVK_UI_EVENT_EXIT, -1), 0);
    EXPECT_EQ(dvk_ui_sendEvent(DVK_UI_EVENT_SELECT, 3), 0);
    EXPECT_EQ(dvk_ce_getPendingEventCount(), 2);
    release = true;
    ASSERT_TRUE(waitFor([] { return received() == 2; }));
    EXPECT_EQ(dvk_ce_getPendingEventCount(), 0);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(s_events[i].thread, static_cast<void*>(dvkWorkQueue.load()));
        EXPECT_EQ(s_events[i].sender, static_cast<void*>(appWorkQueue.load()));
    }
    EXPECT_EQ(s_events[0].event, DVK_UI_EVENT_EXIT);
    EXPECT_EQ(s_events[0].index, -1);
    EXPECT_EQ(s_events[0].pendingBefore, 2);
    EXPECT_EQ(s_events[1].event, DVK_UI_EVENT_SELECT);
    EXPECT_EQ(s_events[1].index, 3);
    EXPECT_EQ(s_events[1].pendingBefore, 1);

    // The suite may send itself one too.
    runOnVr([] { EXPECT_EQ(dvk_ui_sendEvent(DVK_UI_EVENT_NEXT, 0), 0); });
    ASSERT_TRUE(waitFor([] { return received() == 3; }));
    EXPECT_EQ(s_events[2].sender, static_cast<void*>(dvkWorkQueue.load()));
}

TEST_F(UiRequests, WithoutEngineAnEventIsLoggedAndDropped)
{
    LogCapture log;
    EXPECT_EQ(dvk_ui_sendEvent(DVK_UI_EVENT_SET_FOCUS, 4), 0);
    ASSERT_TRUE(waitFor([&] { return log.contains("no engine for event 20 index 4"); }));
    drainVr();
    EXPECT_EQ(dvk_ce_getPendingEventCount(), 0);
}

TEST_F(UiRequests, AnEventWithoutMemoryIsNotCounted)
{
    for (long n : {0, 1}) {
        dvk_mem_failAfter(n);
        EXPECT_EQ(dvk_ui_sendEvent(DVK_UI_EVENT_OK, 0), 1);
        dvk_mem_failAfter(-1);
        EXPECT_EQ(dvk_ce_getPendingEventCount(), 0);
    }
}

TEST_F(UiRequests, FiguresStartEmptyAndKeepWhatIsSet)
{
    int32_t current = 0, maximum = 0;
    dvk_ui_getAudioInputInfo(&current, &maximum);
    EXPECT_EQ(current, -1);
    EXPECT_EQ(maximum, -1);
    dvk_ui_getProgressBarInfo(&current, &maximum);
    EXPECT_EQ(current, -1);
    EXPECT_EQ(maximum, -1);
    dvk_ui_setAudioInputInfo(0, 10000);
    dvk_ui_setProgressBarInfo(3, 7);
    dvk_ui_getAudioInputInfo(&current, &maximum);
    EXPECT_EQ(current, 0);
    EXPECT_EQ(maximum, 10000);
    dvk_ui_getProgressBarInfo(&current, &maximum);
    EXPECT_EQ(current, 3);
    EXPECT_EQ(maximum, 7);
    dvk_ui_setProgressBarInfo(-1, -1);
    dvk_ui_getProgressBarInfo(&current, &maximum);
    EXPECT_EQ(current, -1);
}

// ---- broken rules -----------------------------------------------------------------

std::string assertion(const std::string& rule, const char* function)
{
    return assertionPattern(rule, "dvk_ui.cpp", function);
}

const dvk_ucs2_Char* T(const char16_t* text)
{
    return reinterpret_cast<const dvk_ucs2_Char*>(text);
}

TEST(UiRequestsDeathTest, BrokenRulesStopTheProcess)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const dvk_ucs2_Char* const items[2] = {T(u"a"), T(u"b")};
    const dvk_ucs2_Char* const* const subMenus[2] = {items, items};
    const int32_t counts[2] = {2, 2};
    const uint8_t bytes[4] = {1, 2, 3, 4};
    const uint16_t pixels[4] = {1, 2, 3, 4};
    const dvk_ucs2_Char* const keys[3] = {T(u"k"), nullptr, nullptr};
    const dvk_ui_Event orphan[3] = {DVK_UI_EVENT_BACK, DVK_UI_EVENT_NONE, DVK_UI_EVENT_OK};
    const dvk_ui_Event firstOrphan[3] = {DVK_UI_EVENT_BACK, DVK_UI_EVENT_BACK, DVK_UI_EVENT_NONE};
    void* const to = reinterpret_cast<void*>(1);  // never reached
    int32_t figure = 0;
    struct Case {
        const char* rule;
        const char* function;
        std::function<void()> call;
    };
    const Case cases[] = {
        {"bodyText != ((void *)0)", "dvk_ui_displayPopup", [&] { dvk_ui_displayPopup(to, 1, nullptr, 0, 0); }},
        {"defaultTimeout >= -1", "dvk_ui_displayPopup", [&] { dvk_ui_displayPopup(to, 1, T(u"x"), 0, -2); }},
        {"items != ((void *)0)", "dvk_ui_displayRadioButton",
         [&] { dvk_ui_displayRadioButton(to, 1, nullptr, nullptr, nullptr, 2, 0, keys, nullptr, 0); }},
        {"numItems >= 0", "dvk_ui_displayRadioButton",
         [&] { dvk_ui_displayRadioButton(to, 1, nullptr, nullptr, items, -1, 0, keys, nullptr, 0); }},
        {"(selectedItem >= 0) && (selectedItem < numItems)", "dvk_ui_displayRadioButton",
         [&] { dvk_ui_displayRadioButton(to, 1, nullptr, nullptr, items, 2, 2, keys, nullptr, 0); }},
        {"itemFlags != ((void *)0)", "dvk_ui_displayCheckBox",
         [&] { dvk_ui_displayCheckBox(to, 1, nullptr, nullptr, items, nullptr, 2, 0, keys, nullptr, 0); }},
        {"(highlightedItem >= 0) && (highlightedItem < numItems)", "dvk_ui_displayCheckBox",
         [&] { dvk_ui_displayCheckBox(to, 1, nullptr, nullptr, items, bytes, 2, -1, keys, nullptr, 0); }},
        {"numMenuItems > 0", "dvk_ui_displayMenu",
         [&] { dvk_ui_displayMenu(to, 1, nullptr, nullptr, items, 0, 0, subMenus, counts, keys, nullptr, 0); }},
        {"(selectedItem >= 0) && (selectedItem < numMenuItems)", "dvk_ui_displayMenu",
         [&] { dvk_ui_displayMenu(to, 1, nullptr, nullptr, items, 2, -1, subMenus, counts, keys, nullptr, 0); }},
        {"subMenuItems != ((void *)0)", "dvk_ui_displayMenu",
         [&] { dvk_ui_displayMenu(to, 1, nullptr, nullptr, items, 2, 0, nullptr, counts, keys, nullptr, 0); }},
        {"numSubMenuItems != ((void *)0)", "dvk_ui_displayMenu",
         [&] { dvk_ui_displayMenu(to, 1, nullptr, nullptr, items, 2, 0, subMenus, nullptr, keys, nullptr, 0); }},
        {"panelBarText != ((void *)0)", "dvk_ui_displayConfirm",
         [&] { dvk_ui_displayConfirm(to, 1, nullptr, nullptr, nullptr, items, 2, 0, nullptr, 0, keys, nullptr, 0, 0); }},
        {"numItems > 0", "dvk_ui_displayConfirm",
         [&] { dvk_ui_displayConfirm(to, 1, nullptr, nullptr, T(u"p"), items, 0, 0, nullptr, 0, keys, nullptr, 0, 0); }},
        {"numPhrases >= 0", "dvk_ui_displayConfirm",
         [&] { dvk_ui_displayConfirm(to, 1, nullptr, nullptr, T(u"p"), items, 2, 0, nullptr, -1, keys, nullptr, 0, 0); }},
        {"phrase != ((void *)0)", "dvk_ui_displayAdapt",
         [&] { dvk_ui_displayAdapt(to, 1, nullptr, nullptr, T(u"p"), nullptr, keys, nullptr, 0, 0); }},
        {"bitmapData == ((void *)0) ? (width == 0 && height == 0 && palette == ((void *)0) && bitmapDataLen == 0) "
         ": (width > 0 && height > 0 && palette != ((void *)0) && bitmapDataLen > 0)",
         "dvk_ui_displayListen",  // a palette without a bitmap
         [&] {
             dvk_ui_displayListen(to, 1, nullptr, nullptr, 0, 0, bytes, nullptr, 0, T(u"p"), nullptr, 0, keys, nullptr,
                                  0, 0);
         }},
        {"bitmapData == ((void *)0) ? (width == 0 && height == 0 && palette == ((void *)0) && bitmapDataLen == 0) "
         ": (width > 0 && height > 0 && palette != ((void *)0) && bitmapDataLen > 0)",
         "dvk_ui_displayListen",  // a bitmap of width 0
         [&] {
             dvk_ui_displayListen(to, 1, nullptr, nullptr, 0, 2, bytes, bytes, 4, T(u"p"), nullptr, 0, keys, nullptr,
                                  0, 0);
         }},
        {"commands != ((void *)0)", "dvk_ui_displayCommand",
         [&] { dvk_ui_displayCommand(to, 1, nullptr, T(u"p"), nullptr, 2, keys, nullptr, 0, 0); }},
        {"numCommands > 0", "dvk_ui_displayCommand",
         [&] { dvk_ui_displayCommand(to, 1, nullptr, T(u"p"), items, 0, keys, nullptr, 0, 0); }},
        {"updateRectangles != ((void *)0) || numUpdateRectangles == 0", "dvk_ui_displayRgbBitmap",
         [&] { dvk_ui_displayRgbBitmap(to, 1, nullptr, 2, 2, pixels, nullptr, 1, keys, nullptr, 0); }},
        {"height > 0", "dvk_ui_displayRgbBitmap",
         [&] { dvk_ui_displayRgbBitmap(to, 1, nullptr, 2, 0, pixels, nullptr, 0, keys, nullptr, 0); }},
        {"bitmapDataLen > 0", "dvk_ui_displayBitmap",
         [&] { dvk_ui_displayBitmap(to, 1, nullptr, 2, 2, bytes, bytes, 0, keys, nullptr, 0); }},
        {"palette != ((void *)0)", "dvk_ui_displayBitmap",
         [&] { dvk_ui_displayBitmap(to, 1, nullptr, 2, 2, nullptr, bytes, 4, keys, nullptr, 0); }},
        {"(softkeyText[0] != ((void *)0)) || (softkeyEvent[0] == DVK_UI_EVENT_NONE)", "copySoftkeys",
         [&] { dvk_ui_displayText(to, 1, nullptr, nullptr, nullptr, orphan, 0); }},
        {"(softkeyText[1] != ((void *)0)) || (softkeyEvent[1] == DVK_UI_EVENT_NONE)", "copySoftkeys",
         [&] { dvk_ui_displayText(to, 1, nullptr, nullptr, keys, firstOrphan, 0); }},
        {"(softkeyText[2] != ((void *)0)) || (softkeyEvent[2] == DVK_UI_EVENT_NONE)", "copySoftkeys",
         [&] { dvk_ui_displayText(to, 1, nullptr, nullptr, keys, orphan, 0); }},
        {"(strList != ((void *)0)) || (length == 0)", "list",
         [&] { dvk_ui_displayConfirm(to, 1, nullptr, nullptr, T(u"p"), items, 2, 0, nullptr, 2, keys, nullptr, 0, 0); }},
        {"(index >= 0) || (event != DVK_UI_EVENT_SELECT)", "dvk_ui_sendEvent",
         [] { dvk_ui_sendEvent(DVK_UI_EVENT_SELECT, -1); }},
        {"(index >= 0) || (event != DVK_UI_EVENT_SET_FOCUS)", "dvk_ui_sendEvent",
         [] { dvk_ui_sendEvent(DVK_UI_EVENT_SET_FOCUS, -1); }},
        {"current >= -1", "dvk_ui_setAudioInputInfo", [] { dvk_ui_setAudioInputInfo(-2, 0); }},
        {"maximum >= -1", "dvk_ui_setProgressBarInfo", [] { dvk_ui_setProgressBarInfo(0, -2); }},
        {"current != ((void *)0)", "dvk_ui_getProgressBarInfo", [&] { dvk_ui_getProgressBarInfo(nullptr, &figure); }},
        {"maximum != ((void *)0)", "dvk_ui_getAudioInputInfo", [&] { dvk_ui_getAudioInputInfo(&figure, nullptr); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        EXPECT_DEATH(c.call(), assertion(c.rule, c.function));
    }
}

} // namespace
