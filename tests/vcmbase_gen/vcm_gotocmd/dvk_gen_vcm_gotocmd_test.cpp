// The go-to command: the application named in its slot, the enabled ones
// offered when none is named, and the random go-to of gate command 18: the
// state each step ends in.
#include "tests/vcmbase_gen/harness/dialog_harness.h"
#include "tests/vcmbase_gen/harness/recording_answers.h"

#include "core/nbest/dvk_nbest.h"
#include "tests/support/log_capture.h"
#include "tests/support/suite_records.h"

#include <gtest/gtest.h>

namespace {

using Log = std::vector<std::string>;

class GotoCmdTest : public DialogHarness {
protected:
    void SetUp() override
    {
        DialogHarness::SetUp();
        fakeGotoItems() = {{u"Maps", u"", u"", u"", 11, 1}, {u"Mail", u"", u"", u"", 12, 0},
                           {u"Music", u"", u"", u"", 13, 1}};
    }
    // The command alone on the stack under gate command `gate`, given a
    // result with `text` in `slot` (no result when slot < 0).
    int run(int32_t gate, int32_t slot, const char* text)
    {
        open();
        dvk_vcm_setGateCmd(vcms, gate);
        if (dvk_vcm_push(vcms, dvk_gen_vcm_newGotoCmd(vcms)) != 0)
            return -1;
        dvk_nbest_List* nbest = resultWith(slot, std::u16string(text, text + std::char_traits<char>::length(text)));
        dvk_msg_Message* message = nullptr;
        const int result = dvk_vcm_handleResult(vcms, nbest, &message);
        if (message != nullptr)
            dvk_msg_destroy(&message);
        return result;
    }
    // The command's list-shown word, under the state it pushed.
    int32_t listShownBelow()
    {
        dvk_vcm_pop(vcms);   // frees the pushed state
        return *static_cast<int32_t*>(dvk_vcm_currentContext(vcms));
    }
};

TEST_F(GotoCmdTest, NamedApplicationGoesToSelectComplete)
{
    EXPECT_EQ(run(17, 10, "Maps"), 0);
    EXPECT_EQ(top(), "vcm_selectComplete");
}

TEST_F(GotoCmdTest, UnknownNameFails)
{
    LogCapture log;
    EXPECT_EQ(run(17, 10, "Nothing"), 1);
    EXPECT_FALSE(log.contains("module not built"));
    EXPECT_EQ(top(), "vcm_gotoCmd");
}

TEST_F(GotoCmdTest, SlotDependsOnTheGate)
{
    // Gate 21 reads slot 9; others (but 18) slot 10: a name in the other slot lists.
    const struct {
        int32_t gate, slot;
        const char* reached;
    } cases[] = {
        {21, 9, "vcm_selectComplete"}, {21, 10, "vcm_selectItem"}, {17, 9, "vcm_selectItem"}, {17, 10, "vcm_selectComplete"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.gate) + " slot " + std::to_string(c.slot));
        EXPECT_EQ(run(c.gate, c.slot, "Maps"), 0);
        EXPECT_EQ(top(), c.reached);
        dvk_vcm_endSession(&vcms);
    }
}

TEST_F(GotoCmdTest, NoNameOffersTheEnabledApplications)
{
    EXPECT_EQ(run(17, -1, ""), 0);
    EXPECT_EQ(top(), "vcm_selectItem");
    EXPECT_EQ(listShownBelow(), 1);
    dvk_vcm_endSession(&vcms);

    for (FakeNamedItem& item : fakeGotoItems())
        item.enabled = 0;
    EXPECT_EQ(run(17, -1, ""), 0);
    EXPECT_EQ(top(), "vcm_noshortcuts");
    EXPECT_EQ(listShownBelow(), 1);
}

TEST_F(GotoCmdTest, RandomGoToNeedsAnEnabledApplicationAndTheClock)
{
    writeSuiteRecord("dvk_oem_check_app.dat", PhoneInfoRecordWriter().word(8, 10).word(9, 23).bytes());
    EXPECT_EQ(run(18, 9, "surprise me"), 0);
    EXPECT_EQ(top(), "vcm_selectComplete");
    dvk_vcm_endSession(&vcms);

    fakeGotoItems().clear();
    EXPECT_EQ(run(18, 9, "surprise me"), 0);
    EXPECT_EQ(top(), "vcm_noshortcuts");
}

// The whole step through the driver: the state reached, what it shows and
// says, and the application's answer.
class GotoDialogTest : public GotoCmdTest {
protected:
    void SetUp() override
    {
        GotoCmdTest::SetUp();
        recordAnswers(&notifications);
    }
    Log say(int32_t gate, int32_t slot, const std::u16string& text)
    {
        open();
        dvk_vcm_setGateCmd(vcms, gate);
        EXPECT_EQ(dvk_vcm_push(vcms, dvk_gen_vcm_newGotoCmd(vcms)), 0);
        result(resultWith(slot, text));
        return take();
    }
    static FakeNamedItem app(const std::u16string& name, int32_t context)
    {
        return {name, u"", u"", u"", context, 1};
    }
};

TEST_F(GotoDialogTest, NamedApplicationIsAnnouncedAndHandedOn)
{
    EXPECT_EQ(say(17, 10, u"Maps"),
              (Log{"step vcm_selectComplete", "text 41 title 604 body \"Maps\" keys -1/0 -1/0 492/4 time -1",
                   "addText Maps", "addPrompt 368", "addEarcon 6", "goto 'Maps' 11"}));
}

TEST_F(GotoDialogTest, NoneNamedOffersTheEnabledApplications)
{
    fakeOemSettings().selectPerPage = 12;
    const Log log = say(17, -1, u"");
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[1].rfind("commandstr 40 title 550 bar 586 2 ", 0), 0u) << log[1];
    EXPECT_EQ(log[2], "addPrompt 443");
    event(DVK_UI_EVENT_SELECT, 1);
    EXPECT_EQ(take().back(), "goto 'Music' 13");
}

TEST_F(GotoDialogTest, RandomApplicationFromTheClock)
{
    // Third time word 23 and minute 10 make 48 steps through the enabled
    // applications, from the first and round again.
    const struct {
        std::vector<FakeNamedItem> apps;
        int32_t third;
        std::string answer;
    } cases[] = {
        {{app(u"A1", 1), app(u"A2", 2), app(u"A3", 3), app(u"A4", 4), app(u"A5", 5)}, 23, "goto 'A4' 4"},
        {{app(u"A1", 1), app(u"A2", 2), app(u"A3", 3)}, 23, "goto 'A1' 1"},
        {{app(u"A1", 1), app(u"A2", 2), app(u"A3", 3), app(u"A4", 4), app(u"A5", 5)}, 0, "goto 'A1' 1"},
        {{app(u"A1", 1)}, 23, "goto 'A1' 1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer + " of " + std::to_string(c.apps.size()));
        fakeGotoItems() = c.apps;
        writeSuiteRecord("dvk_oem_check_app.dat", PhoneInfoRecordWriter().word(8, 10).word(9, c.third).bytes());
        dvkOemCheckForgetCache();
        const Log log = say(18, 9, u"surprise me");
        ASSERT_GE(log.size(), 2u);
        EXPECT_EQ(log[1].rfind("text 47 title 606 ", 0), 0u) << log[1];
        EXPECT_EQ(log.back(), c.answer);
        dvk_vcm_endSession(&vcms);
    }
}

}  // namespace
