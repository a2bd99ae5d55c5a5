// The check command from the root: the item said is shown and said and the
// session ends; a bare command offers the check word class's items once
// each, and the one touched is checked with its tip.
#include "tests/vcmbase_gen/harness/dialog_harness.h"

#include "core/nbest/dvk_nbest.h"
#include "core/utils/dvk_ucs2.h"

#include <gtest/gtest.h>

namespace {

using Log = std::vector<std::string>;

class CheckCmdTest : public DialogHarness {
protected:
    // The root with the check gate, then it said with `item` (none when
    // empty) as the check item.
    void sayCheck(const std::u16string& item)
    {
        configure({{{200}, {}, 400, -1, 68, 24}});
        start();
        take();
        dvk_nbest_List* nbest = said(0);
        if (!item.empty()) {
            std::vector<dvk_ucs2_Char> units(item.begin(), item.end());
            units.push_back(0);
            dvk_nbest_addValueNoIds(nbest, 0, 5, "item", units.data(), units.data());
        }
        result(nbest);
    }
    // The texts the selection offers, as it reads them out.
    std::string offered()
    {
        std::string out;
        for (int32_t i = 0;; i++) {
            const Said said = sayInto([&](dvk_prompt_List* p) { return dvk_vcm_getMenuReadoutPrompt(vcms, p, i); });
            if (said.calls.empty())
                return out;
            out += (out.empty() ? "" : ", ") + said.calls.back().substr(std::string("addText ").size());
        }
    }
};

TEST_F(CheckCmdTest, ItemSaidIsShownSaidAndEndsTheSession)
{
    sayCheck(u"String 4");
    EXPECT_EQ(take(), (Log{"step vcm_checkComplete",
                           "text 62 title 643 body \"String 161:\n  String 143\" keys -1/0 -1/0 492/4 time -1",
                           "addPrompt 45", "addPrompt 48", "addEarcon 6", "exit 0"}));
    EXPECT_EQ(dvk_vcm_done(vcms), 1);
}

TEST_F(CheckCmdTest, PhraseOutsideTheTableFails)
{
    sayCheck(u"String 5");
    EXPECT_EQ(driver.lastResult, 1);
}

TEST_F(CheckCmdTest, BareCommandOffersEachItemOnce)
{
    fakeOemSettings().selectPerPage = 12;  // one page
    const struct {
        int32_t features;  // 29-39 on (1) or off (0)
        std::string count, items;
    } cases[] = {
        {1, "10", "String 273, String 275, String 267, String 268, String 274, String 272, String 270, String 266, "
                  "String 269, String 277"},
        {0, "1", "String 273"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.features);
        for (int32_t f = 29; f <= 39; f++)
            feature(f, c.features);
        sayCheck(u"");
        EXPECT_EQ(top(), "vcm_selectItem");
        const Log log = take();
        ASSERT_GE(log.size(), 3u);
        EXPECT_EQ(log[1].rfind("commandstr 61 title 542 bar 586 " + c.count + " ", 0), 0u) << log[1];
        EXPECT_EQ(log[2], "addPrompt 437");
        EXPECT_EQ(offered(), c.items);
        dvk_vcm_endSession(&vcms);
    }
}

TEST_F(CheckCmdTest, TouchedItemIsCheckedWithItsTip)
{
    for (int32_t f = 29; f <= 39; f++)
        feature(f, 0);
    sayCheck(u"");
    take();
    event(DVK_UI_EVENT_SELECT, 0);
    const Log log = take();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], "step vcm_checkComplete");
    // Features 30-39 off: the all-status item has nothing to show.
    EXPECT_EQ(log[1], "text 62 title 643 body \"\" keys -1/0 -1/0 492/4 time -1");
    EXPECT_EQ(Log(log.begin() + 2, log.end()),
              (Log{"addEarcon 6", "addPrompt 403", "addPrompt 309", "addText String 10 String 273", "exit 0"}));
}

}  // namespace
