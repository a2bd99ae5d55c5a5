// The help state, made directly: its screen, its texts said by level, and
// a copy equal to the original.
#include "tests/vcmbase_gen/harness/dialog_harness.h"

#include <cstring>

#include <gtest/gtest.h>

namespace {

using Log = std::vector<std::string>;

class HelpTest : public DialogHarness {
protected:
    void SetUp() override
    {
        DialogHarness::SetUp();
        configureGates(2);
        open();
    }
};

TEST_F(HelpTest, ShowsAndSaysItsTexts)
{
    dvk_vcm_clearStack(vcms);
    dvk_vcm_Module* help = dvk_gen_vcm_newHelp(vcms, 19, 555, 300, 513, DVK_UI_EVENT_RESTART);
    ASSERT_NE(help, nullptr);
    void* copy = help->vtable->copyContext(help->context);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(std::memcmp(copy, help->context, 5 * sizeof(int32_t)), 0);
    dvk_mem_dealloc(&copy);
    ASSERT_EQ(dvk_vcm_pushAndSave(vcms, help), 0);
    take();
    vcmDriverStep(&driver);
    EXPECT_EQ(take(), (Log{"step vcm_help", "text 19 title 555 body 300 keys 513/3 -1/0 492/4 time 30000",
                           "addStringId 555", "addStringId 300"}));
    promptMode(1);
    EXPECT_TRUE(sayInto([&](dvk_prompt_List* l) { return dvk_vcm_getPrompt(vcms, l); }).calls.empty());
}

TEST_F(HelpTest, SoftkeyPairIsChecked)
{
    EXPECT_DEATH(dvk_gen_vcm_newHelp(vcms, 19, 555, 300, 513, DVK_UI_EVENT_BACK), "vcm_help");
    EXPECT_DEATH(dvk_gen_vcm_newHelp(vcms, 297, 555, 300, 513, DVK_UI_EVENT_RESTART), "vcm_help");
    EXPECT_DEATH(dvk_gen_vcm_newHelp(vcms, 19, 679, 300, -1, DVK_UI_EVENT_NONE), "vcm_help");
}

}  // namespace
