#include "tests/core/vcm/vcm_fixture.h"

#include <vector>

namespace {

using Calls = std::vector<std::string>;

dvk_nbest_List* phrase(int32_t stringNumber)
{
    dvk_nbest_List* list = dvk_nbest_create(38, "alwaysAvailable", 80);
    dvk_nbest_addEntry(list);
    std::string text = "String " + std::to_string(stringNumber);
    dvk_ucs2_Char* s = dvk_ucs2_cvtFromLatin1(text.c_str());
    dvk_nbest_addValueNoIds(list, 0, 2, "tag", s, s);
    dvk_ucs2_destroy(&s);
    return list;
}

class VcmStateTest : public VcmTest {
protected:
    // root (saved) -> L with context 1 (saved).
    void SetUp() override
    {
        VcmTest::SetUp();
        vcms = newSession(0);
        ASSERT_NE(vcms, nullptr);
        dvk_msg_Message* message = nullptr;
        ASSERT_EQ(dvk_vcm_handleEvent(vcms, DVK_UI_EVENT_RESTART, 0, &message), 0);
        ASSERT_EQ(dvk_vcm_pushAndSave(vcms, newScriptedModule(vcms, &newSpec(), "L", 1, true)), 0);
    }
};

TEST_F(VcmStateTest, AnAlwaysAvailablePhraseRefreshesTheNewestCopyFirst)
{
    *static_cast<int*>(dvk_vcm_currentContext(vcms)) = 9;
    scriptedCalls().clear();
    dvk_msg_Message* message = nullptr;
    ASSERT_EQ(dvk_vcm_handleResult(vcms, phrase(53), &message), 0);
    EXPECT_EQ(scriptedCalls(), Calls{"newAlwaysAvailableCmd(11, 53, 1)"});
    EXPECT_EQ(scriptedContext(vcms->savedSession->stack), 9);
    // Back from the command's module lands on L as it was changed.
    ASSERT_EQ(dvk_vcm_revertState(vcms), 0);
    EXPECT_STREQ(dvk_vcm_getCurrentName(vcms), "L");
    EXPECT_EQ(scriptedContext(dvk_vcm_current(vcms)), 9);
    EXPECT_STREQ(vcms->stack->next->vtable->name, "vcm_root");
}

TEST_F(VcmStateTest, BackGoesToTheCopyBeforeTheCurrentOne)
{
    dvk_vcm_Session* address = vcms;
    dvk_msg_Message* message = nullptr;
    ASSERT_EQ(dvk_vcm_handleEvent(vcms, DVK_UI_EVENT_BACK, 0, &message), 0);
    EXPECT_EQ(vcms, address);
    EXPECT_STREQ(dvk_vcm_getCurrentName(vcms), "vcm_root");
    EXPECT_EQ(vcms->stack->next, nullptr);
    EXPECT_EQ(vcms->stateSaved, 1);
}

TEST_F(VcmStateTest, SavingWithMemoryShortLeavesTheSessionAsItWas)
{
    for (long n = 0;; n++) {
        int32_t modules = vcms->moduleCount;
        dvk_vcm_Session* newest = vcms->savedSession;
        long live = dvk_mem_liveBlocks();
        dvk_mem_failAfter(n);
        int result = dvk_vcm_saveState(vcms);
        dvk_mem_failAfter(-1);
        if (result == 0)
            break;
        EXPECT_EQ(dvk_mem_liveBlocks(), live) << n;
        EXPECT_EQ(vcms->moduleCount, modules) << n;
        EXPECT_EQ(vcms->savedSession, newest) << n;
    }
}

TEST_F(VcmStateTest, ARefreshWithMemoryShortPushesNothing)
{
    scriptedCalls().clear();
    long lists = dvk_nbest_liveLists();
    dvk_msg_Message* message = nullptr;
    dvk_nbest_List* list = phrase(53);
    dvk_mem_failAfter(0);
    EXPECT_EQ(dvk_vcm_handleResult(vcms, list, &message), 1);
    dvk_mem_failAfter(-1);
    EXPECT_TRUE(scriptedCalls().empty());
    EXPECT_EQ(dvk_nbest_liveLists(), lists);
    EXPECT_STREQ(dvk_vcm_getCurrentName(vcms), "L");
}

}  // namespace

namespace {

TEST_F(VcmStateTest, EachAllocationFailingInAnAlwaysAvailableResultGivesOneAndLeavesNothing)
{
    for (long n = 0;; n++) {
        long live = dvk_mem_liveBlocks();
        dvk_nbest_List* list = phrase(22);
        int32_t modules = vcms->moduleCount;
        dvk_msg_Message* message = nullptr;
        dvk_mem_failAfter(n);
        int result = dvk_vcm_handleResult(vcms, list, &message);
        dvk_mem_failAfter(-1);
        if (result == 0) {
            EXPECT_STREQ(dvk_vcm_getCurrentName(vcms), "vcm_alwaysAvailableCmd");
            break;
        }
        // The result's list is always consumed; nothing else stays behind.
        EXPECT_EQ(dvk_mem_liveBlocks(), live) << n;
        EXPECT_EQ(vcms->moduleCount, modules) << n;
        EXPECT_STREQ(dvk_vcm_getCurrentName(vcms), "L") << n;
        EXPECT_EQ(scriptedContext(vcms->savedSession->stack), 1) << n;
    }
}

}  // namespace
