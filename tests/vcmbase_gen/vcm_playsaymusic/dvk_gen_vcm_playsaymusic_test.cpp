// The say-music question: each category's title, text, prompt and grammar;
// the retry lead-in; no answer listens again until the last try.
#include "tests/vcmbase_gen/harness/dialog_harness.h"

#include "core/constraints/dvk_constraints.h"

#include <gtest/gtest.h>

namespace {

using Log = std::vector<std::string>;

class PlaySayMusicTest : public DialogHarness {};

TEST_F(PlaySayMusicTest, EachCategory)
{
    const struct {
        int32_t category, title, text, prompt;
        dvk_constraints_Constraint* constraint;
    } cases[] = {
        {0, 609, 229, 389, &playAlbumOnly_constraint},   {1, 610, 230, 390, &playArtistOnly_constraint},
        {47, 612, 232, 393, &playPlaylistOnly_constraint}, {74, 614, 233, 394, &playSongOnly_constraint},
        {-1, 611, 231, 392, &music_constraint},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.category);
        open();
        ASSERT_EQ(dvk_vcm_push(vcms, dvk_gen_vcm_newPlaySayMusic(vcms, c.category)), 0);
        ASSERT_EQ(dvk_vcm_init(vcms), 0);
        EXPECT_EQ(take(), (Log{"listen 71 title " + std::to_string(c.title) + " body " + std::to_string(c.text) +
                               " image -1 bar 586 [] keys 497/14 -1/0 492/4 start -1 time -1"}));
        const Said said = sayInto([this](dvk_prompt_List* p) { return dvk_vcm_getPrompt(vcms, p); });
        EXPECT_EQ(said.calls, (std::vector<std::string>{"addPrompt " + std::to_string(c.prompt), "addEarcon 1"}));
        dvk_constraints_Constraint** constraints = nullptr;
        ASSERT_EQ(dvk_vcm_current(vcms)->vtable->GetConstraints(vcms, &constraints), 0);
        EXPECT_EQ(constraints[0], c.constraint);
        EXPECT_EQ(constraints[1], nullptr);
        dvk_vcm_endSession(&vcms);
    }
}

TEST_F(PlaySayMusicTest, NoAnswerListensAgainWithTheLeadIn)
{
    open();
    ASSERT_EQ(dvk_vcm_push(vcms, dvk_gen_vcm_newPlaySayMusic(vcms, 1)), 0);
    dvk_vcm_current(vcms)->state = 1;
    dvk_msg_Message* message = nullptr;
    EXPECT_EQ(dvk_vcm_current(vcms)->vtable->handleResult(vcms, nullptr, &message, 0), 0);
    EXPECT_EQ(top(), "vcm_playsaymusic");
    const Said said = sayInto([this](dvk_prompt_List* p) { return dvk_vcm_getPrompt(vcms, p); });
    EXPECT_EQ(said.calls, (std::vector<std::string>{"addPrompt 378", "addPrompt 390", "addEarcon 1"}));
}

}  // namespace
