#include "core/brevit/acoustic/am.h"
#include "core/brevit/api/brevit_create.h"
#include "core/brevit/api/brevit_enroll_phrases.h"
#include "core/brevit/frontend/fe.h"
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/grammar.h"
#include "tests/brevit/api/create/model_set_fixture.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using model_set::ModelSetSpec;

class CreateTest : public ModelSetTest {};

TEST_F(CreateTest, CreatesAnEngineFromTheDefaultSetAndDestroyLeavesNothing)
{
    CountingAllocator allocator;
    BrevitEngine* engine = nullptr;
    const std::string path = write(ModelSetSpec{});
    ASSERT_EQ(Brevit_CreateFromBinFile(path.c_str(), allocator.record(), &engine), EBrevit_OK);
    ASSERT_NE(engine, nullptr);
    EXPECT_NE(engine->frontEnd, nullptr);
    EXPECT_NE(engine->acousticModel0, nullptr);
    EXPECT_NE(engine->vocabulary, nullptr);
    EXPECT_NE(engine->classManager, nullptr);
    EXPECT_NE(engine->constraintManager, nullptr);
    ASSERT_NE(engine->decoder0, nullptr);
    ASSERT_NE(engine->decoder1, nullptr);
    EXPECT_EQ(engine->decoder0->kind, kDecoderKindLinearChain);
    EXPECT_NE(engine->choiceLists[0], nullptr);
    EXPECT_NE(engine->choiceLists[1], nullptr);
    EXPECT_NE(engine->clientData, nullptr);
    EXPECT_EQ(engine->engineVersion[0], 10);
    EXPECT_EQ(engine->engineVersion[1], 53);
    EXPECT_EQ(engine->engineVersion[2], 3);
    EXPECT_EQ(engine->framePeriod, 10);
    EXPECT_EQ(engine->listeningUtteranceId, 0xFFFFFFFFu);
    EXPECT_EQ(engine->allocator, allocator.record());
    EXPECT_NE(engine->scratchStack, nullptr);
    ASSERT_NE(engine->enrollment.phrases, nullptr);
    EXPECT_EQ(engine->enrollment.phrases->count, 2);
    EXPECT_EQ(engine->enrollment.phrases->maxLength, 4);
    EXPECT_EQ(linChLog().kinds, (std::vector<int32_t>{3, 3}));

    ASSERT_EQ(Brevit_Destroy(engine, nullptr), EBrevit_OK);
    EXPECT_EQ(allocator.liveBlocks(), 0u) << allocator.describeLeaks();
}

}  // namespace
