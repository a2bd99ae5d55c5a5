// One recognition in the calling order the central engine uses, from the
// grammar rebuild to the n-best list, then the stored vocabulary read by a
// new recogniser.
#include "tests/core/vre/vre_fixture.h"

#include "core/nbest/dvk_nbest.h"

namespace {

std::atomic<int> s_rebuilt;
void onRebuilt() { ++s_rebuilt; }
void onFailed() { s_rebuilt = -1; }

using VreFlowTest = VreTest;

TEST_F(VreFlowTest, EachWordOfTheClassIsRecognisedInItsSlot)
{
    create();
    int32_t loaded = -1;
    ASSERT_EQ(dvk_vre_load(vre_, 2, &loaded), 0);
    const std::vector<std::u16string> words = {u"alpha", u"bravo", u"charlie"};
    ListClass spelled("nextCmd", 1, 19, words);
    ListConstraint nextCmd(-2, "nextCmd", {&spelled.wordClass});
    nextCmd.through("nextCmd");
    dvk_constraints_Constraint* list[] = {&nextCmd.constraint, nullptr};
    s_rebuilt = 0;
    runOnVr([&] { ASSERT_EQ(dvk_vre_addConstraintSet(vre_, list, onRebuilt, onFailed), 0); });
    ASSERT_TRUE(waitFor([] { return s_rebuilt != 0; }));
    ASSERT_EQ(s_rebuilt, 1);

    const int16_t buffer[160] = {};
    for (const std::u16string& word : words) {
        SCOPED_TRACE(std::string(word.begin(), word.end()));
        fakeBrevit().choices = {FakeChoice{"nextCmd", {{"nextCmd", word}}}};
        fakeBrevit().sampleStatuses = {0, 1, 2};
        fakeBrevit().frameStatuses = {2, 3, 2, 2, 0};
        dvk_nbest_List* nbest = nullptr;
        runOnVr([&] {
            ASSERT_EQ(dvk_vre_startRecog(vre_, nullptr, nullptr, list), 0);
            int32_t finished = 0, buffers = 0;
            while (!finished) {
                if (buffers < 3 && dvk_vre_processPCM(vre_, buffer, 160) == 0)
                    ++buffers;
                int32_t processed = 0, memoryError = 0;
                do {
                    finished = dvk_vre_processFeature(vre_, &processed, &memoryError);
                    ASSERT_EQ(memoryError, 0);
                } while (processed && !finished);
            }
            ASSERT_EQ(dvk_vre_stopRecog(vre_, 0), 0);
            ASSERT_EQ(dvk_vre_getResult(vre_, &nbest), 0);
        });
        ASSERT_NE(nbest, nullptr);
        EXPECT_EQ(text16(dvk_nbest_getStr(nbest, 0, 19)), word);
        EXPECT_STREQ(dvk_nbest_getWordClass(nbest, 0, 19), "nextCmd");
        dvk_nbest_destroy(&nbest);
    }
    dvk_vre_destroy(&vre_);
    create();
    ASSERT_EQ(dvk_vre_load(vre_, 2, &loaded), 0);
    EXPECT_EQ(loaded, 1);
    EXPECT_EQ(fakeBrevitMembers(vre_->engine, "nextCmd"), words);
}

}  // namespace
