// The checked item's screen and speech from the phone record: one line per
// enabled status item and none for an empty one, the time-then-date item,
// values the record leaves unknown or out of range, and the exit.
#include "tests/vcmbase_gen/harness/dialog_harness.h"

#include "tests/support/suite_records.h"

#include "sdk/common/dvk_mem.h"

#include <gtest/gtest.h>

namespace {

using Log = std::vector<std::string>;

class CheckCompleteTest : public DialogHarness {
protected:
    void SetUp() override
    {
        DialogHarness::SetUp();
        for (int32_t f = 29; f <= 39; f++)
            feature(f, 0);
        phone(PhoneInfoRecordWriter());
    }
    static void phone(const PhoneInfoRecordWriter& record)
    {
        writeSuiteRecord("dvk_oem_check_app.dat", record.bytes());
        dvkOemCheckForgetCache();
    }
    // The item checked as a step of its own: its log.
    Log check(int32_t item, int32_t listShown = 0)
    {
        open();
        dvk_vcm_setGateCmd(vcms, 24);
        EXPECT_EQ(dvk_vcm_push(vcms, dvk_gen_vcm_newCheckComplete(vcms, listShown, item)), 0);
        vcmDriverStep(&driver);
        return take();
    }
    static std::string screen(const std::string& body)
    {
        return "text 62 title 643 body \"" + body + "\" keys -1/0 -1/0 492/4 time -1";
    }
};

TEST_F(CheckCompleteTest, AllStatusShowsOneLinePerEnabledItem)
{
    const struct {
        std::vector<int32_t> features;
        int32_t battery;
        Log log;
    } cases[] = {
        {{}, 3, {"step vcm_checkComplete", screen(""), "addEarcon 6", "exit 0"}},
        {{37, 39}, 0,
         {"step vcm_checkComplete", screen("String 260: String 664"), "addPrompt 427", "addPrompt 430", "addEarcon 6",
          "exit 0"}},
        {{37, 39}, 3,
         {"step vcm_checkComplete", screen("String 161: String 143\nString 260: String 664"), "addPrompt 45",
          "addPrompt 48", "addPrompt 427", "addPrompt 430", "addEarcon 6", "exit 0"}},
        // Stored out of range or unknown: no line, nothing said.
        {{37, 39}, 9,
         {"step vcm_checkComplete", screen("String 260: String 664"), "addPrompt 427", "addPrompt 430", "addEarcon 6",
          "exit 0"}},
        {{37, 39}, -1,
         {"step vcm_checkComplete", screen("String 260: String 664"), "addPrompt 427", "addPrompt 430", "addEarcon 6",
          "exit 0"}},
        {{30, 31, 32, 34, 36}, 3,
         {"step vcm_checkComplete",
          screen("String 258: 2 String 416\nString 195: 3 String 409\nString 196: String 442\n"
                 "String 209: String 655\nString 245: String 521"),
          "addPrompt 422", "addPrompt 109", "addPrompt 304", "addPrompt 229", "addPrompt 110", "addPrompt 297",
          "addPrompt 290", "addPrompt 356", "addPrompt 296", "addPrompt 420", "addPrompt 402", "addPrompt 409",
          "addEarcon 6", "exit 0"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.battery);
        for (int32_t f : c.features)
            feature(f, 1);
        phone(PhoneInfoRecordWriter().word(4, c.battery));
        EXPECT_EQ(check(273), c.log);
        EXPECT_EQ(dvk_vcm_done(vcms), 1);
        dvk_vcm_endSession(&vcms);
        for (int32_t f : c.features)
            feature(f, 0);
    }
}

TEST_F(CheckCompleteTest, EachSingleItem)
{
    const struct {
        int32_t item;
        std::string body;
    } cases[] = {
        {266, "String 161:\n  String 143"}, {267, "String 195:\n  3 String 409"}, {268, "String 196:\n  String 442"},
        {269, "String 208:\n  4085550123"}, {270, "String 209:\n  String 655"}, {272, "String 245:\n  String 521"},
        {274, "String 179:\n  String 525\nString 178:\n  String 279"},
        {275, "String 258:\n  2 String 416"}, {276, "String 258:\n  2 String 416"},
        {277, "String 260:\n  String 664"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.item);
        const Log log = check(c.item);
        ASSERT_GE(log.size(), 2u);
        EXPECT_EQ(log[1], screen(c.body));
        EXPECT_EQ(log.back(), "exit 0");
        dvk_vcm_endSession(&vcms);
    }
}

TEST_F(CheckCompleteTest, ChosenFromTheListAddsTheTip)
{
    EXPECT_EQ(check(266, 1), (Log{"step vcm_checkComplete", screen("String 161:\n  String 143"), "addPrompt 45",
                                  "addPrompt 48", "addEarcon 6", "addPrompt 403", "addPrompt 309",
                                  "addText String 10 String 266", "exit 0"}));
}

TEST_F(CheckCompleteTest, EveryStatusItemWithEachAllocationFailing)
{
    for (int32_t f = 29; f <= 39; f++)
        feature(f, 1);
    open();
    dvk_vcm_setGateCmd(vcms, 24);
    dvk_vcm_clearStack(vcms);
    dvk_vcm_resetState(vcms);
    const long base = dvk_mem_liveBlocks();
    for (bool prompt : {false, true})
        for (long n = 0;; n++) {
            SCOPED_TRACE(std::string(prompt ? "prompt" : "screen") + " failing after " + std::to_string(n));
            ASSERT_EQ(dvk_vcm_push(vcms, dvk_gen_vcm_newCheckComplete(vcms, 1, 273)), 0);
            dvk_mem_failAfter(n);
            const int result = prompt ? sayInto([&](dvk_prompt_List* p) { return dvk_vcm_getPrompt(vcms, p); }).result
                                      : dvk_vcm_init(vcms);
            dvk_mem_failAfter(-1);
            dvk_vcm_clearStack(vcms);
            take();
            ASSERT_EQ(dvk_mem_liveBlocks(), base);
            if (result == 0)
                break;
            EXPECT_EQ(result, 1);
            ASSERT_LT(n, 300);
        }
}

}  // namespace
