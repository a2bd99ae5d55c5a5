// The change-mode and help-me-with commands: a named item acts at once,
// none named offers the list, an empty list its own state.
#include "tests/vcmbase_gen/harness/dialog_harness.h"

#include "core/nbest/dvk_nbest.h"

#include <gtest/gtest.h>

namespace {

using Log = std::vector<std::string>;

class ListCommandTest : public DialogHarness {
protected:
    void SetUp() override
    {
        DialogHarness::SetUp();
        fakeHelpItems() = {{u"Calls", u"", u"", u"", 31, 1}};
    }
    int run(dvk_vcm_Module* (*make)(dvk_vcm_Session*), int32_t slot, const std::u16string& text)
    {
        open();
        if (dvk_vcm_push(vcms, make(vcms)) != 0)
            return -1;
        dvk_nbest_List* nbest = resultWith(slot, text);
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

TEST_F(ListCommandTest, NamedModeIsSetAndAnnounced)
{
    EXPECT_EQ(run(dvk_gen_vcm_newChangeModeCmd, 18, u"Silent"), 0);
    EXPECT_EQ(top(), "vcm_changeModeComplete");
    ASSERT_EQ(dvk_vcm_init(vcms), 0);
    EXPECT_EQ(take(), (Log{"text 50 title 591 body \"String 202\n\nSilent\" keys 500/7 -1/0 492/4 time 10000"}));
}

TEST_F(ListCommandTest, UnknownModeFails)
{
    EXPECT_EQ(run(dvk_gen_vcm_newChangeModeCmd, 18, u"Loud"), 1);
    EXPECT_EQ(top(), "vcm_changeModeCmd");
}

TEST_F(ListCommandTest, NoNameOffersTheModes)
{
    EXPECT_EQ(run(dvk_gen_vcm_newChangeModeCmd, -1, u""), 0);
    EXPECT_EQ(top(), "vcm_selectItem");
    EXPECT_EQ(listShownBelow(), 1);
}

TEST_F(ListCommandTest, NoModesInTheLanguage)
{
    fakeOemSettings().language = 0;
    EXPECT_EQ(run(dvk_gen_vcm_newChangeModeCmd, -1, u""), 0);
    EXPECT_EQ(top(), "vcm_nomodes");
    EXPECT_EQ(listShownBelow(), 1);  // set before the empty list is reported
}

TEST_F(ListCommandTest, HelpTopics)
{
    const struct {
        int32_t slot;
        std::u16string said;
        bool topics;
        const char* reached;
    } cases[] = {
        {13, u"Calls", true, "vcm_selectComplete"},
        {-1, u"", true, "vcm_selectItem"},
        {-1, u"", false, "vcm_nohelptopics"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reached);
        if (!c.topics)
            fakeHelpItems().clear();
        EXPECT_EQ(run(dvk_gen_vcm_newHelpMeWithCmd, c.slot, c.said), 0);
        EXPECT_EQ(top(), c.reached);
        dvk_vcm_endSession(&vcms);
    }
    fakeHelpItems() = {{u"Calls", u"", u"", u"", 31, 1}};
    EXPECT_EQ(run(dvk_gen_vcm_newHelpMeWithCmd, 13, u"Texts"), 1);
    EXPECT_EQ(top(), "vcm_helpMeWithCmd");
}

}  // namespace
