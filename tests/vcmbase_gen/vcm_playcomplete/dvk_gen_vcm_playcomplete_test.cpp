// The play announcement: each kind's label, the artist line, the spoken
// form from pronunciations, nothing said again after a confirmation, the
// tip after a question, and each name in its place in the answer.
#include "tests/vcmbase_gen/harness/dialog_harness.h"
#include "tests/vcmbase_gen/harness/recording_answers.h"

#include <gtest/gtest.h>

namespace {

using Log = std::vector<std::string>;

const dvk_ucs2_Char kName[] = {'N', 0}, kSaid[] = {'n', 0}, kArtist[] = {'A', 0}, kArtistSaid[] = {'a', 0};

class PlayCompleteTest : public DialogHarness {
protected:
    void SetUp() override
    {
        DialogHarness::SetUp();
        recordAnswers(&notifications);
    }
};

TEST_F(PlayCompleteTest, EachKind)
{
    const struct {
        int32_t kind;
        bool artist;
        std::string body, said, answer;
    } cases[] = {
        {0, false, "String 219\nN", "addText n", "play '' '' '' 'N' 0 0 0 5"},
        {1, true, "String 158\nN\n\nString 159\nA", "addText n String 48 a", "play '' 'A' 'N' '' 0 6 5 0"},
        {2, false, "String 159\nN", "addText n", "play '' 'N' '' '' 0 5 0 0"},
        {3, false, "String 246\nN", "addText n", "play 'N' '' '' '' 5 0 0 0"},
        {4, true, "String 246\nN\n\nString 159\nA", "addText n String 48 a", "play 'N' 'A' '' '' 5 6 0 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        open();
        ASSERT_EQ(dvk_vcm_push(vcms, dvk_gen_vcm_newPlayComplete(vcms, 0, kName, kSaid, c.artist ? kArtist : nullptr,
                                                                 c.artist ? kArtistSaid : nullptr, 5, 6, c.kind)),
                  0);
        vcmDriverStep(&driver);
        EXPECT_EQ(take(), (Log{"step vcm_playComplete",
                               "text 73 title 608 body \"" + c.body + "\" keys -1/0 -1/0 492/4 time -1", c.said,
                               "addPrompt 376", "addEarcon 6", c.answer}));
        dvk_vcm_endSession(&vcms);
    }
}

TEST_F(PlayCompleteTest, ConfirmedAndAskedForms)
{
    open();
    dvk_vcm_setGateCmd(vcms, 23);
    dvk_vcm_setConfirmType(vcms, 4);
    ASSERT_EQ(dvk_vcm_push(vcms, dvk_gen_vcm_newPlayComplete(vcms, 1, kName, nullptr, nullptr, nullptr, 5, 0, 3)), 0);
    const Said said = sayInto([this](dvk_prompt_List* p) { return dvk_vcm_getPrompt(vcms, p); });
    EXPECT_EQ(said.calls,
              (Log{"addPrompt 376", "addEarcon 6", "addPrompt 403", "addPrompt 309", "addText String 46 N"}));
}

}  // namespace
