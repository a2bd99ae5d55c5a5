// The dialog screen builders on "VR": ids become the session's texts and
// pictures, screens reach the UI function table on "UI", timeouts grow in
// the slow prompt modes, and whatever the builder made or took over is
// freed on every road out.
#include "core/vcm/ui/dvk_vcm_ui.h"

#include "core/utils/dvk_ucs2.h"
#include "oem/dvk_oem_settings.h"
#include "sdk/common/dvk_settings.h"
#include "tests/core/vcm/ui/test_session.h"
#include "tests/oem/ui_recording/recording_ui_funcs.h"
#include "tests/support/assertion_pattern.h"
#include "tests/support/suite_memory.h"
#include "tests/support/vr_thread.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

namespace {

// The caller's side: texts and lists in suite blocks. Those the builder
// takes over are left to it; the caller frees the rest after the call.
class Caller {
public:
    dvk_ucs2_Char* text(const char16_t* s, bool takenOver)
    {
        dvk_ucs2_Char* copy = newTestText(s);
        if (!takenOver)
            m_kept.push_back(copy);
        return copy;
    }
    // A list block; its texts too when `textsTakenOver`. The block itself is
    // always taken over.
    dvk_ucs2_Char** list(std::initializer_list<const char16_t*> items, bool textsTakenOver)
    {
        auto* block = static_cast<dvk_ucs2_Char**>(dvk_mem_alloc(sizeof(dvk_ucs2_Char*) * items.size()));
        size_t i = 0;
        for (const char16_t* item : items)
            block[i++] = item == nullptr ? nullptr : text(item, textsTakenOver);
        return block;
    }
    // Runs the builder with allocations failing after `failAfter` (-1 never).
    int run(const std::function<int()>& builder)
    {
        dvk_mem_failAfter(m_failAfter);
        const int result = builder();
        dvk_mem_failAfter(-1);
        for (dvk_ucs2_Char*& kept : m_kept)
            dvk_ucs2_destroy(&kept);
        m_kept.clear();
        return result;
    }
    void failAfter(long n) { m_failAfter = n; }

private:
    std::vector<dvk_ucs2_Char*> m_kept;
    long m_failAfter = -1;
};

// Where a builder case is made to fail: one text id or the image id swapped
// for one the tables lack.
enum class Fault { None, Text, Image };

int32_t id(Fault fault, int32_t good)
{
    return fault == Fault::Text ? TEST_MISSING_STRING : good;
}

int32_t image(Fault fault, int32_t good)
{
    return fault == Fault::Image ? TEST_MISSING_IMAGE : good;
}

const int32_t kKeyIds[3] = {5, DVK_STR_NULL, DVK_STR_NULL};
const dvk_ui_Event kKeyEvents[3] = {DVK_UI_EVENT_BACK, DVK_UI_EVENT_NONE, DVK_UI_EVENT_NONE};
// Soft keys [id, -1, -1]: one key.
const std::string kKeys = R"(softkeyText=["String 5", null, null], softkeyEvent=[4, 0, 0])";

std::string palette(uint32_t base)
{
    uint32_t words[64];
    for (uint32_t k = 0; k < 64; ++k)
        words[k] = base + k;
    return RecordingUiFuncs::hex(words, sizeof words);
}

// Image 4096's picture arguments.
const std::string kPicture =
    "width=4, height=2, palette=" + palette(100) + ", bitmapData=<3333333333333333>, bitmapDataLen=8";
const std::string kNoPicture = "width=0, height=0, palette=null, bitmapData=null, bitmapDataLen=0";

struct BuilderCase {
    const char* name;
    std::function<int(dvk_vcm_Session*, Caller&, Fault)> call;
    bool picture;  // has an image id to miss
    std::string sent;
};

std::vector<BuilderCase> builderCases()
{
    using S = dvk_vcm_Session*;
    return {
        {"popup",
         [](S s, Caller& c, Fault f) { return c.run([&] { return dvk_vcm_ui_displayPopup(s, 40, id(f, 3), 1, 2000); }); },
         false, R"(displayPopup(screenId=40, bodyText="String 3", popupType=1, defaultTimeout=2000))"},
        {"text",
         [](S s, Caller& c, Fault f) {
             return c.run([&] { return dvk_vcm_ui_displayText(s, 41, 1, id(f, 2), kKeyIds, kKeyEvents, 10000); });
         },
         false, R"(displayText(screenId=41, titleText="String 1", bodyText="String 2", )" + kKeys +
                    ", defaultTimeout=10000)"},
        {"text with a given body",
         [](S s, Caller& c, Fault f) {
             dvk_ucs2_Char* body = c.text(u"Ann", true);
             return c.run([&] {
                 return dvk_vcm_ui_displayTextBodyStr(s, 42, id(f, 1), body, kKeyIds, kKeyEvents, -1);
             });
         },
         false, R"(displayText(screenId=42, titleText="String 1", bodyText="Ann", )" + kKeys + ", defaultTimeout=-1)"},
        {"command",
         [](S s, Caller& c, Fault f) {
             const int32_t commands[3] = {10, 11, id(f, 12)};
             return c.run([&] {
                 return dvk_vcm_ui_displayCommand(s, 43, DVK_STR_NULL, 586, commands, 3, kKeyIds, kKeyEvents, 5000,
                                                  10000);
             });
         },
         false, R"(displayCommand(screenId=43, titleText=null, panelBarText="String 586", )"
                R"(commands=["String 10", "String 11", "String 12"], numCommands=3, )" + kKeys +
                    ", startTimeout=5000, defaultTimeout=10000)"},
        {"command with given texts",
         [](S s, Caller& c, Fault f) {
             dvk_ucs2_Char** commands = c.list({u"call Ann", u"redial"}, false);
             return c.run([&] {
                 return dvk_vcm_ui_displayCommandStr(s, 44, 1, id(f, 586), commands, 2, kKeyIds, kKeyEvents, 0, 0);
             });
         },
         false, R"(displayCommand(screenId=44, titleText="String 1", panelBarText="String 586", )"
                R"(commands=["call Ann", "redial"], numCommands=2, )" + kKeys + ", startTimeout=0, defaultTimeout=0)"},
        {"listen",
         [](S s, Caller& c, Fault f) {
             const int32_t phrases[2] = {278, id(f, 271)};
             return c.run([&] {
                 return dvk_vcm_ui_displayListen(s, 45, 1, DVK_STR_NULL, image(f, TEST_IMAGE), 586, phrases, 2,
                                                 kKeyIds, kKeyEvents, 5000, 10000);
             });
         },
         true, R"(displayListen(screenId=45, titleText="String 1", bodyText=null, )" + kPicture +
                   R"(, panelBarText="String 586", phrases=["String 278", "String 271"], numPhrases=2, )" + kKeys +
                   ", startTimeout=5000, defaultTimeout=10000)"},
        {"listen with a given body and no picture",
         [](S s, Caller& c, Fault f) {
             dvk_ucs2_Char* body = c.text(u"Say a name", true);
             return c.run([&] {
                 return dvk_vcm_ui_displayListenBodyStr(s, 46, id(f, 1), body, image(f, -1), 586, nullptr, 0,
                                                        kKeyIds, kKeyEvents, 5000, 10000);
             });
         },
         true, R"(displayListen(screenId=46, titleText="String 1", bodyText="Say a name", )" + kNoPicture +
                   R"(, panelBarText="String 586", phrases=null, numPhrases=0, )" + kKeys +
                   ", startTimeout=5000, defaultTimeout=10000)"},
        {"confirmation",
         [](S s, Caller& c, Fault f) {
             dvk_ucs2_Char* body = c.text(u"Ann", false);
             dvk_ucs2_Char** items = c.list({u"Home", u"Work"}, true);
             const int32_t phrases[2] = {100, id(f, 101)};
             return c.run([&] {
                 return dvk_vcm_ui_displayConfirmStr(s, 47, 1, body, 586, items, 2, 1, phrases, 2, kKeyIds,
                                                     kKeyEvents, 0, 10000);
             });
         },
         false, R"(displayConfirm(screenId=47, titleText="String 1", bodyText="Ann", panelBarText="String 586", )"
                R"(items=["Home", "Work"], numItems=2, selectedItem=1, phrases=["String 100", "String 101"], )"
                R"(numPhrases=2, )" + kKeys + ", startTimeout=0, defaultTimeout=10000)"},
        {"confirmation without a body",
         [](S s, Caller& c, Fault f) {
             dvk_ucs2_Char** items = c.list({u"Yes"}, true);
             return c.run([&] {
                 return dvk_vcm_ui_displayConfirmStr(s, 48, id(f, 1), nullptr, 586, items, 1, 0, nullptr, 0,
                                                     kKeyIds, kKeyEvents, 0, -1);
             });
         },
         false, R"(displayConfirm(screenId=48, titleText="String 1", bodyText=null, panelBarText="String 586", )"
                R"(items=["Yes"], numItems=1, selectedItem=0, phrases=null, numPhrases=0, )" + kKeys +
                    ", startTimeout=0, defaultTimeout=-1)"},
        {"adapt",
         [](S s, Caller& c, Fault f) {
             return c.run([&] {
                 return dvk_vcm_ui_displayAdapt(s, 49, 1, 2, 586, id(f, 3), kKeyIds, kKeyEvents, 0, 10000);
             });
         },
         false, R"(displayAdapt(screenId=49, titleText="String 1", secondText="String 2", panelBarText="String 586", )"
                R"(phrase="String 3", )" + kKeys + ", startTimeout=0, defaultTimeout=10000)"},
        {"adapt with a given phrase",
         [](S s, Caller& c, Fault f) {
             dvk_ucs2_Char* phrase = c.text(u"Call Ann", true);
             return c.run([&] {
                 return dvk_vcm_ui_displayAdaptStr(s, 50, 1, id(f, 2), 586, phrase, kKeyIds, kKeyEvents, 0, 10000);
             });
         },
         false, R"(displayAdapt(screenId=50, titleText="String 1", secondText="String 2", panelBarText="String 586", )"
                R"(phrase="Call Ann", )" + kKeys + ", startTimeout=0, defaultTimeout=10000)"},
        {"menu whose second item has no sub-items",
         [](S s, Caller& c, Fault f) {
             const int32_t items[3] = {20, 21, 22};
             const int32_t first[1] = {30};
             const int32_t third[2] = {31, id(f, 32)};
             const int32_t* const subItems[3] = {first, nullptr, third};
             const int32_t counts[3] = {1, 0, 2};
             return c.run([&] {
                 return dvk_vcm_ui_displayMenu(s, 51, 1, DVK_STR_NULL, items, 3, 0, subItems, counts, kKeyIds,
                                               kKeyEvents, -1);
             });
         },
         false, R"(displayMenu(screenId=51, titleText="String 1", secondText=null, )"
                R"(menuItems=["String 20", "String 21", "String 22"], numMenuItems=3, selectedItem=0, )"
                R"(subMenuItems=[["String 30"], null, ["String 31", "String 32"]], numSubMenuItems=[1, 0, 2], )" +
                    kKeys + ", defaultTimeout=-1)"},
        {"radio button",
         [](S s, Caller& c, Fault f) {
             const int32_t items[2] = {20, id(f, 21)};
             return c.run([&] {
                 return dvk_vcm_ui_displayRadioButton(s, 52, 1, DVK_STR_NULL, items, 2, 1, kKeyIds, kKeyEvents,
                                                      10000);
             });
         },
         false, R"(displayRadioButton(screenId=52, titleText="String 1", secondText=null, )"
                R"(items=["String 20", "String 21"], numItems=2, selectedItem=1, )" + kKeys +
                    ", defaultTimeout=10000)"},
        {"check box",
         [](S s, Caller& c, Fault f) {
             const int32_t items[2] = {20, id(f, 21)};
             const uint8_t flags[2] = {1, 0};
             return c.run([&] {
                 return dvk_vcm_ui_displayCheckBox(s, 53, 1, 2, items, flags, 2, 0, kKeyIds, kKeyEvents, 10000);
             });
         },
         false, R"(displayCheckBox(screenId=53, titleText="String 1", secondText="String 2", )"
                R"(items=["String 20", "String 21"], itemFlags=<0100>, numItems=2, highlightedItem=0, )" + kKeys +
                    ", defaultTimeout=10000)"},
        {"check box with given items",
         [](S s, Caller& c, Fault f) {
             dvk_ucs2_Char** items = c.list({u"Wi-Fi", u"GPS"}, true);
             const uint8_t flags[2] = {0, 1};
             return c.run([&] {
                 return dvk_vcm_ui_displayCheckBoxItemStr(s, 54, id(f, 1), DVK_STR_NULL, items, flags, 2, 1, kKeyIds,
                                                          kKeyEvents, 10000);
             });
         },
         false, R"(displayCheckBox(screenId=54, titleText="String 1", secondText=null, items=["Wi-Fi", "GPS"], )"
                R"(itemFlags=<0001>, numItems=2, highlightedItem=1, )" + kKeys + ", defaultTimeout=10000)"},
        {"bitmap",
         [](S s, Caller& c, Fault f) {
             return c.run([&] {
                 return dvk_vcm_ui_displayBitmap(s, 55, id(f, 1), image(f, TEST_IMAGE), kKeyIds, kKeyEvents, 10000);
             });
         },
         true, R"(displayBitmap(screenId=55, titleText="String 1", width=4, height=2, palette=)" + palette(100) +
                   ", bitmapData=<3333333333333333>, bitmapDataLen=8, " + kKeys + ", defaultTimeout=10000)"},
    };
}

class ScreenBuilders : public SuiteMemoryTest {
protected:
    void SetUp() override
    {
        SuiteMemoryTest::SetUp();
        ensureWorkQueues();
        openTestSession(&session);
        dvk_settings_setPromptMode(1);
        oemSettingsSetIsFeatureEnabled(67, 0);
    }
    void TearDown() override
    {
        drainVr();
        pumpUi();
        closeTestSession(&session);
        SuiteMemoryTest::TearDown();
    }

    static void pumpUi()
    {
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
    }

    // Runs the case on "VR" (the suite thread), then lets "UI" handle what
    // it sent.
    int onVr(const BuilderCase& c, Fault fault, long failAfter = -1)
    {
        int result = -1;
        runOnVr([&] {
            Caller caller;
            caller.failAfter(failAfter);
            result = c.call(&session, caller, fault);
        });
        pumpUi();
        return result;
    }

    // The one screen sent, once "UI" has shown it.
    RecordedUiCall shown()
    {
        EXPECT_TRUE(waitFor([&] { return recording.count() >= 1; }));
        EXPECT_EQ(recording.count(), 1u);
        const std::vector<RecordedUiCall> calls = recording.calls();
        return calls.empty() ? RecordedUiCall{} : calls[0];
    }

    dvk_vcm_Session session{};
    RecordingUiFuncs recording;
};

TEST_F(ScreenBuilders, EachBuilderSendsItsScreenAndFreesWhatItMadeOrTookOver)
{
    const long before = dvk_mem_liveBlocks();
    for (const BuilderCase& c : builderCases()) {
        SCOPED_TRACE(c.name);
        recording.clear();
        ASSERT_EQ(onVr(c, Fault::None), 0);
        const RecordedUiCall call = shown();
        EXPECT_EQ(call.text(), c.sent);
        EXPECT_TRUE(call.onUi);
        EXPECT_EQ(dvk_mem_liveBlocks(), before);

        for (Fault fault : {Fault::Text, Fault::Image}) {
            if (fault == Fault::Image && !c.picture)
                continue;
            SCOPED_TRACE(fault == Fault::Text ? "missing text" : "missing image");
            recording.clear();
            EXPECT_EQ(onVr(c, fault), 1);
            EXPECT_EQ(recording.count(), 0u);
            EXPECT_EQ(dvk_mem_liveBlocks(), before);
        }
    }
}

TEST_F(ScreenBuilders, EachAllocationFailingSendsNothingAndLeavesNothing)
{
    const long before = dvk_mem_liveBlocks();
    for (const BuilderCase& c : builderCases()) {
        SCOPED_TRACE(c.name);
        long n = 0;
        for (;; ++n) {
            SCOPED_TRACE(n);
            recording.clear();
            const int result = onVr(c, Fault::None, n);
            if (result == 0)
                break;
            ASSERT_EQ(result, 1);
            EXPECT_EQ(recording.count(), 0u);
            EXPECT_EQ(dvk_mem_liveBlocks(), before);
        }
        EXPECT_GT(n, 2);
        EXPECT_EQ(shown().text(), c.sent);
        EXPECT_EQ(dvk_mem_liveBlocks(), before);
    }
}

TEST_F(ScreenBuilders, SlowPromptModesTripleTheDisplayTime)
{
    struct Case {
        int32_t mode;
        int32_t feature67;
        int32_t given;
        int32_t sent;
    };
    const Case cases[] = {
        {2, 0, 10000, 30000}, {3, 0, 10000, 30000}, {2, 1, 10000, 10000}, {3, 1, 10000, 10000},
        {1, 0, 10000, 10000}, {0, 0, 10000, 10000}, {2, 0, -1, -1},       {3, 0, 0, 0},
        {1, 0, -1, -1},       {2, 0, 1, 3},         {2, 0, INT32_MAX / 3, INT32_MAX / 3 * 3},
        {2, 0, INT32_MAX / 3 + 1, INT32_MAX},       {3, 0, INT32_MAX, INT32_MAX},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << ", feature 67 " << c.feature67 << ", " << c.given);
        dvk_settings_setPromptMode(c.mode);
        oemSettingsSetIsFeatureEnabled(67, c.feature67);
        recording.clear();
        runOnVr([&] { EXPECT_EQ(dvk_vcm_ui_displayText(&session, 1, 1, 2, kKeyIds, kKeyEvents, c.given), 0); });
        EXPECT_EQ(shown().arg("defaultTimeout"), std::to_string(c.sent));
    }
    // The start time is never lengthened.
    dvk_settings_setPromptMode(2);
    oemSettingsSetIsFeatureEnabled(67, 0);
    const int32_t commands[1] = {10};
    recording.clear();
    runOnVr([&] {
        EXPECT_EQ(dvk_vcm_ui_displayCommand(&session, 1, 1, 586, commands, 1, kKeyIds, kKeyEvents, 10000, 10000), 0);
    });
    const RecordedUiCall command = shown();
    EXPECT_EQ(command.arg("startTimeout"), "10000");
    EXPECT_EQ(command.arg("defaultTimeout"), "30000");
}

TEST_F(ScreenBuilders, PicturesWithoutSizeOrDataAreNotShown)
{
    const long before = dvk_mem_liveBlocks();
    for (int32_t imageId : {TEST_IMAGE_NO_WIDTH, TEST_IMAGE_NO_HEIGHT, TEST_IMAGE_NO_DATA, TEST_MISSING_IMAGE}) {
        SCOPED_TRACE(imageId);
        runOnVr([&] {
            EXPECT_EQ(dvk_vcm_ui_displayListen(&session, 1, 1, 2, imageId, 586, nullptr, 0, kKeyIds, kKeyEvents, 0, 0),
                      1);
            EXPECT_EQ(dvk_vcm_ui_displayBitmap(&session, 1, 1, imageId, kKeyIds, kKeyEvents, 0), 1);
        });
        EXPECT_EQ(dvk_mem_liveBlocks(), before);
    }
    pumpUi();
    EXPECT_EQ(recording.count(), 0u);
    // Range 0 pictures show too.
    runOnVr([&] { EXPECT_EQ(dvk_vcm_ui_displayBitmap(&session, 1, DVK_STR_NULL, 2, nullptr, nullptr, 0), 0); });
    EXPECT_EQ(shown().text(), "displayBitmap(screenId=1, titleText=null, width=2, height=2, palette=" + palette(300) +
                                  ", bitmapData=<44444444>, bitmapDataLen=4, softkeyText=[null, null, null], "
                                  "softkeyEvent=[0, 0, 0], defaultTimeout=0)");
}

TEST_F(ScreenBuilders, MissingGivenTextsAndGapsInGivenListsSendNothing)
{
    const long before = dvk_mem_liveBlocks();
    const int32_t phrases[1] = {100};
    const uint8_t flags[2] = {0, 0};
    runOnVr([&] {
        Caller c;
        EXPECT_EQ(dvk_vcm_ui_displayTextBodyStr(&session, 1, 1, nullptr, kKeyIds, kKeyEvents, 0), 1);
        EXPECT_EQ(dvk_vcm_ui_displayListenBodyStr(&session, 1, 1, nullptr, -1, 586, nullptr, 0, kKeyIds, kKeyEvents,
                                                  0, 0),
                  1);
        EXPECT_EQ(dvk_vcm_ui_displayCommandStr(&session, 1, 1, 586, nullptr, 2, kKeyIds, kKeyEvents, 0, 0), 1);
        EXPECT_EQ(dvk_vcm_ui_displayAdaptStr(&session, 1, 1, 2, 586, nullptr, kKeyIds, kKeyEvents, 0, 0), 1);
        EXPECT_EQ(dvk_vcm_ui_displayConfirmStr(&session, 1, 1, nullptr, 586, nullptr, 1, 0, phrases, 1, kKeyIds,
                                               kKeyEvents, 0, 0),
                  1);
        EXPECT_EQ(dvk_vcm_ui_displayCheckBoxItemStr(&session, 1, 1, 2, nullptr, flags, 2, 0, kKeyIds, kKeyEvents, 0),
                  1);
        // A list with a gap is freed with its texts.
        EXPECT_EQ(c.run([&] {
            return dvk_vcm_ui_displayConfirmStr(&session, 1, 1, nullptr, 586, c.list({u"a", nullptr}, true), 2, 0,
                                                phrases, 1, kKeyIds, kKeyEvents, 0, 0);
        }),
                  1);
        EXPECT_EQ(c.run([&] {
            return dvk_vcm_ui_displayCheckBoxItemStr(&session, 1, 1, 2, c.list({nullptr, u"b"}, true), flags, 2, 0,
                                                     kKeyIds, kKeyEvents, 0);
        }),
                  1);
    });
    EXPECT_EQ(dvk_mem_liveBlocks(), before);
    pumpUi();
    EXPECT_EQ(recording.count(), 0u);
}

// ---- broken rules -----------------------------------------------------------------

std::string assertion(const std::string& rule, const char* function)
{
    return assertionPattern(rule, "dvk_vcm_ui.cpp", function);
}

TEST(ScreenBuildersDeathTest, BrokenRulesStopTheProcess)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    dvk_vcm_Session s{reinterpret_cast<void*>(1), reinterpret_cast<dvk_string_Table*>(1),
                      reinterpret_cast<dvk_image_Table*>(1)};
    dvk_vcm_Session noUi{nullptr, s.strings, s.images};
    dvk_vcm_Session noStrings{s.ui, nullptr, s.images};
    dvk_vcm_Session noImages{s.ui, s.strings, nullptr};
    const int32_t ids[2] = {1, 2};
    const int32_t* const subIds[2] = {ids, ids};
    const int32_t counts[2] = {2, 2};
    struct Case {
        const char* rule;
        const char* function;
        std::function<void()> call;
    };
    const Case cases[] = {
        {"vcms != ((void *)0)", "dvk_vcm_ui_displayText",
         [] { dvk_vcm_ui_displayText(nullptr, 1, 1, 2, kKeyIds, kKeyEvents, 0); }},
        {"dvk_vcm_getUiThreadAddr(vcms) != ((void *)0)", "dvk_vcm_ui_displayPopup",
         [&] { dvk_vcm_ui_displayPopup(&noUi, 1, 2, 0, 0); }},
        {"dvk_vcm_stringTable(vcms) != ((void *)0)", "dvk_vcm_ui_displayMenu",
         [&] { dvk_vcm_ui_displayMenu(&noStrings, 1, 1, 2, ids, 2, 0, subIds, counts, kKeyIds, kKeyEvents, 0); }},
        {"dvk_vcm_imageTable(vcms) != ((void *)0)", "dvk_vcm_ui_displayListen",
         [&] { dvk_vcm_ui_displayListen(&noImages, 1, 1, 2, -1, 3, nullptr, 0, kKeyIds, kKeyEvents, 0, 0); }},
        {"dvk_vcm_imageTable(vcms) != ((void *)0)", "dvk_vcm_ui_displayBitmap",
         [&] { dvk_vcm_ui_displayBitmap(&noImages, 1, 1, 2, kKeyIds, kKeyEvents, 0); }},
        {"bodyTextId != DVK_STR_NULL", "dvk_vcm_ui_displayPopup",
         [&] { dvk_vcm_ui_displayPopup(&s, 1, DVK_STR_NULL, 0, 0); }},
        {"panelBarTextId != DVK_STR_NULL", "dvk_vcm_ui_displayCommand",
         [&] { dvk_vcm_ui_displayCommand(&s, 1, 1, DVK_STR_NULL, ids, 2, kKeyIds, kKeyEvents, 0, 0); }},
        {"commandIds != ((void *)0)", "dvk_vcm_ui_displayCommand",
         [&] { dvk_vcm_ui_displayCommand(&s, 1, 1, 2, nullptr, 2, kKeyIds, kKeyEvents, 0, 0); }},
        {"numCommands > 0", "dvk_vcm_ui_displayCommandStr",
         [&] { dvk_vcm_ui_displayCommandStr(&s, 1, 1, 2, nullptr, 0, kKeyIds, kKeyEvents, 0, 0); }},
        {"(phraseIds != ((void *)0)) || (numPhrases == 0)", "dvk_vcm_ui_displayListenBodyStr",
         [&] { dvk_vcm_ui_displayListenBodyStr(&s, 1, 1, nullptr, -1, 3, nullptr, 2, kKeyIds, kKeyEvents, 0, 0); }},
        {"numPhrases >= 0", "dvk_vcm_ui_displayListen",
         [&] { dvk_vcm_ui_displayListen(&s, 1, 1, 2, -1, 3, ids, -1, kKeyIds, kKeyEvents, 0, 0); }},
        {"numItems > 0", "dvk_vcm_ui_displayConfirmStr",
         [&] { dvk_vcm_ui_displayConfirmStr(&s, 1, 1, nullptr, 3, nullptr, 0, 0, nullptr, 0, kKeyIds, kKeyEvents, 0, 0); }},
        {"selectedItem >= 0", "dvk_vcm_ui_displayConfirmStr",
         [&] { dvk_vcm_ui_displayConfirmStr(&s, 1, 1, nullptr, 3, nullptr, 1, -1, nullptr, 0, kKeyIds, kKeyEvents, 0, 0); }},
        {"phraseId != DVK_STR_NULL", "dvk_vcm_ui_displayAdapt",
         [&] { dvk_vcm_ui_displayAdapt(&s, 1, 1, 2, 3, DVK_STR_NULL, kKeyIds, kKeyEvents, 0, 0); }},
        {"numMenuItems > 0", "dvk_vcm_ui_displayMenu",
         [&] { dvk_vcm_ui_displayMenu(&s, 1, 1, 2, ids, 0, 0, subIds, counts, kKeyIds, kKeyEvents, 0); }},
        {"numSubMenuItems != ((void *)0)", "dvk_vcm_ui_displayMenu",
         [&] { dvk_vcm_ui_displayMenu(&s, 1, 1, 2, ids, 2, 0, subIds, nullptr, kKeyIds, kKeyEvents, 0); }},
        {"itemIds != ((void *)0)", "dvk_vcm_ui_displayRadioButton",
         [&] { dvk_vcm_ui_displayRadioButton(&s, 1, 1, 2, nullptr, 2, 0, kKeyIds, kKeyEvents, 0); }},
        {"numItems > 0", "dvk_vcm_ui_displayCheckBox",
         [&] { dvk_vcm_ui_displayCheckBox(&s, 1, 1, 2, ids, nullptr, 0, 0, kKeyIds, kKeyEvents, 0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        EXPECT_DEATH(c.call(), assertion(c.rule, c.function));
    }
}

} // namespace
