// The always-available command: made over the state the phrase was heard
// in, it removes itself and re-posts its event, which that state handles.
#include "tests/vcmbase_gen/harness/dialog_harness.h"

#include "core/utils/dvk_array.h"

#include <algorithm>

#include <gtest/gtest.h>

namespace {

using Log = std::vector<std::string>;

class AlwaysAvailableTest : public DialogHarness {
protected:
    void SetUp() override
    {
        DialogHarness::SetUp();
        configureGates(2);
        open();
    }
    void rootSaved()
    {
        dvk_vcm_clearStack(vcms);
        dvk_vcm_resetState(vcms);
        ASSERT_EQ(dvk_vcm_pushAndSave(vcms, dvk_gen_vcm_newRoot(vcms, 0)), 0);
    }
    void selectionSaved()
    {
        rootSaved();
        dvk_vcm_setGateCmd(vcms, 19);
        dvk_array* items = dvk_array_create();
        dvk_array_addItem(items, dvk_string_getString(strings, 400));
        ASSERT_EQ(dvk_vcm_pushAndSave(vcms, dvk_gen_vcm_newSelectItem(vcms, 49, 541, 441, items,
                                                                      &changeModeList_constraint, 18)),
                  0);
    }
    // The phrase heard: the module made as the dialog manager makes it, then
    // the engine's loop.
    void heard(int32_t event, int32_t phrase)
    {
        take();
        const int32_t saved = dvk_vcm_savedStateExists(vcms);
        ASSERT_EQ(dvk_vcm_push(vcms, dvk_gen_vcm_newAlwaysAvailableCmd(vcms, event, phrase, saved)), 0);
        vcmDriverRun(&driver);
    }
    bool exited(int code)
    {
        const Log log = take();
        return std::find(log.begin(), log.end(), "exit " + std::to_string(code)) != log.end();
    }
};

TEST_F(AlwaysAvailableTest, BackInTheRootEndsWithCode8)
{
    rootSaved();
    heard(DVK_UI_EVENT_BACK, 2);
    EXPECT_TRUE(exited(8));
    EXPECT_EQ(dvk_vcm_done(vcms), 1);
}

TEST_F(AlwaysAvailableTest, ExitInASelectionEndsWithCode8)
{
    selectionSaved();
    heard(DVK_UI_EVENT_EXIT, 16);
    EXPECT_TRUE(exited(8));
}

TEST_F(AlwaysAvailableTest, StartOverPhraseInTheRootRestartsIt)
{
    rootSaved();
    heard(DVK_UI_EVENT_BACK, 82);
    EXPECT_EQ(driver.postedEvents, (std::vector<int32_t>{DVK_UI_EVENT_RESTART}));
    EXPECT_EQ(top(), "vcm_root");
    EXPECT_FALSE(exited(8));
}

TEST_F(AlwaysAvailableTest, RepeatInASelectionRepeatsIt)
{
    selectionSaved();
    dvk_vcm_current(vcms)->state = 1;
    heard(DVK_UI_EVENT_REPEAT, 53);
    EXPECT_EQ(top(), "vcm_selectItem");
    EXPECT_EQ(dvk_vcm_current(vcms)->state, 0);
}

// The yes/no states copy no context, so they are pushed without saving:
// the phrase reverts to the root saved below them, which handles the event
// (repeat: the root again; back: the root's back ends with code 8).
TEST_F(AlwaysAvailableTest, InTheYesNoStates)
{
    const std::function<dvk_vcm_Module*(dvk_vcm_Session*)> states[] = {
        dvk_gen_vcm_newNoMatchFound,
        dvk_gen_vcm_newNoContactsAvailable,
        [](dvk_vcm_Session* s) {
            static const dvk_ucs2_Char ann[] = {u'A', u'n', u'n', 0};
            static const uint32_t words[] = {7};
            return dvk_gen_vcm_newNoLocations(s, ann, words, 1);
        },
    };
    for (const auto& make : states) {
        rootSaved();
        dvk_vcm_setGateCmd(vcms, 1);
        ASSERT_EQ(dvk_vcm_push(vcms, make(vcms)), 0);
        const std::string name = top();
        heard(DVK_UI_EVENT_REPEAT, 53);
        EXPECT_EQ(top(), "vcm_root") << name;
        EXPECT_EQ(dvk_vcm_current(vcms)->state, 0);
        dvk_vcm_setGateCmd(vcms, 1);
        ASSERT_EQ(dvk_vcm_push(vcms, make(vcms)), 0);
        heard(DVK_UI_EVENT_BACK, 2);
        EXPECT_TRUE(exited(8)) << name;
    }
}

}  // namespace
