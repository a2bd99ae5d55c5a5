// The music confirmation alone over a recording command below it: yes,
// a spoken yes and a touched candidate complete the command with the index
// (a touch outside the list is ignored), and each candidate is read out.
#include "tests/vcmbase_gen/harness/dialog_harness.h"

#include "core/nbest/dvk_nbest.h"
#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_mem.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using Log = std::vector<std::string>;

std::vector<int32_t>& completed()
{
    static std::vector<int32_t> indexes;
    return indexes;
}

int recordCompletion(dvk_vcm_Session*, dvk_nbest_List* nbest, int32_t index, dvk_msg_Message**)
{
    completed().push_back(nbest == nullptr ? index : -100);
    return 0;
}

const dvk_vcm_Vtable kBelow = {"below", nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, recordCompletion, nullptr, nullptr};
const dvk_vcm_Etable kNoEvents[] = {{DVK_UI_EVENT_NONE, nullptr}};

dvk_ucs2_Char** texts(const char* first, const char* second)
{
    auto* out = static_cast<dvk_ucs2_Char**>(dvk_mem_alloc(2 * sizeof(dvk_ucs2_Char*)));
    const char* in[2] = {first, second};
    for (int i = 0; i < 2; i++) {
        out[i] = dvk_ucs2_create(static_cast<long>(std::strlen(in[i])));
        for (size_t k = 0; k <= std::strlen(in[i]); k++)
            out[i][k] = static_cast<dvk_ucs2_Char>(in[i][k]);
    }
    return out;
}

class PlayMusicConfirmTest : public DialogHarness {
protected:
    void SetUp() override
    {
        DialogHarness::SetUp();
        completed().clear();
        open();
        ASSERT_EQ(dvk_vcm_push(vcms, dvk_vcm_newVCM(vcms, &kBelow, kNoEvents)), 0);
        ASSERT_EQ(dvk_vcm_push(vcms, dvk_gen_vcm_newPlayMusicConfirm(vcms, texts("D0", "D1"), texts("s0", "s1"), 2, 0)),
                  0);
    }
    int handle(dvk_ui_Event event, int32_t index)
    {
        dvk_msg_Message* message = nullptr;
        return dvk_vcm_handleEvent(vcms, event, index, &message);
    }
};

TEST_F(PlayMusicConfirmTest, ReadsEachCandidateOut)
{
    for (int32_t i : {0, 1}) {
        const Said said = sayInto([&](dvk_prompt_List* p) { return dvk_vcm_getMenuReadoutPrompt(vcms, p, i); });
        EXPECT_EQ(said.calls.back(), "addText s" + std::to_string(i));
    }
    EXPECT_TRUE(sayInto([&](dvk_prompt_List* p) { return dvk_vcm_getMenuReadoutPrompt(vcms, p, 2); }).calls.empty());
}

TEST_F(PlayMusicConfirmTest, TouchOutsideTheListIsIgnored)
{
    EXPECT_EQ(handle(DVK_UI_EVENT_SELECT, 2), 0);
    EXPECT_EQ(handle(DVK_UI_EVENT_SELECT, -1), 0);
    EXPECT_EQ(top(), "vcm_playmusic_confirm");
    EXPECT_TRUE(completed().empty());
    EXPECT_EQ(handle(DVK_UI_EVENT_SELECT, 1), 0);
    EXPECT_EQ(top(), "below");
    EXPECT_EQ(completed(), (std::vector<int32_t>{1}));
    EXPECT_EQ(dvk_vcm_getConfirmType(vcms), 4);
}

TEST_F(PlayMusicConfirmTest, YesTakesTheCandidateOffered)
{
    EXPECT_EQ(handle(DVK_UI_EVENT_NO, 0), 0);
    const dvk_ucs2_Char yes[] = {'S', 't', 'r', 'i', 'n', 'g', ' ', '1', '0', '0', 0};
    dvk_nbest_List* answer = dvk_nbest_create(37, "yesno", 90);
    dvk_nbest_addEntry(answer);
    dvk_nbest_addValueNoIds(answer, 0, 26, "yesno", yes, yes);
    dvk_msg_Message* message = nullptr;
    EXPECT_EQ(dvk_vcm_handleResult(vcms, answer, &message), 0);
    EXPECT_EQ(completed(), (std::vector<int32_t>{1}));
}

}  // namespace
