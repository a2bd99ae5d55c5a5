// No music stored: the screen and prompt of the music command (gate 23)
// or of the playlist command (any other).
#include "tests/vcmbase_gen/harness/dialog_harness.h"

#include <gtest/gtest.h>

namespace {

using Log = std::vector<std::string>;

class NoMusicStoredTest : public DialogHarness {};

TEST_F(NoMusicStoredTest, ScreenAndPromptByGate)
{
    const struct {
        int32_t gate;
        const char* screen;
        const char* prompt;
    } cases[] = {
        {23, "text 77 title 598 body 257 keys 497/14 -1/0 492/4 time 10000", "addPrompt 333"},
        {22, "text 78 title 600 body 257 keys 497/14 -1/0 492/4 time 10000", "addPrompt 347"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.gate);
        open();
        dvk_vcm_setGateCmd(vcms, c.gate);
        ASSERT_EQ(dvk_vcm_push(vcms, dvk_gen_vcm_newNoMusicStored(vcms)), 0);
        ASSERT_EQ(dvk_vcm_init(vcms), 0);
        EXPECT_EQ(take(), (Log{c.screen}));
        const Said said = sayInto([this](dvk_prompt_List* p) { return dvk_vcm_getPrompt(vcms, p); });
        EXPECT_EQ(said.calls, (std::vector<std::string>{"addEarcon 5", c.prompt, "addStringId 257"}));
        dvk_vcm_endSession(&vcms);
    }
}

}  // namespace
