#include "core/brevit/api/brevit_choice_list.h"

#include "tests/brevit/api/engine_fixture.h"

#include <gtest/gtest.h>

namespace {

class ChoiceListTest : public ::testing::Test {
protected:
    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
    ScopedParamBlock m_parameters{ParamBlockBuilder()
                                      .word(kBrevitParamNBestRecords, 4)
                                      .word(kBrevitParamChoiceWordSlots, 9)};
};

TEST_F(ChoiceListTest, NewListHasTheCapacitiesOfTheParameterBlockAndNoResult)
{
    BrevitChoiceList* list = BrevitChoiceList_Create();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->capacity, 4);
    EXPECT_EQ(list->wordSlots, 9);
    EXPECT_EQ(list->recentWordCapacity, 9);
    EXPECT_EQ(list->count, -1);
    EXPECT_EQ(list->intervalFirstWord, 0);
    EXPECT_EQ(list->intervalLastWord, 0x7fffffff);
    EXPECT_EQ(list->passWord1, 0);
    EXPECT_EQ(list->passWord2, -1);
    EXPECT_EQ(list->recentWordCount, 0);
    EXPECT_EQ(list->rejectionScore, 0);
    EXPECT_EQ(list->confidence, 0);
    for (int32_t i = 0; i < list->capacity; ++i) {
        EXPECT_EQ(list->scores[i], 0);
        EXPECT_EQ(list->grammarShares[i], 0);
        EXPECT_EQ(list->constraints[i], nullptr);
    }
    for (int32_t i = 0; i < list->wordSlots; ++i) {
        EXPECT_EQ(list->wordIds[i] | list->classIds[i] | list->memberValues[i] |
                      list->classStarts[i] | list->decoderValues[i] | list->classEnds[i] |
                      list->recentWords[i],
                  0u);
    }
    // Every array is a block of its own of the full size.
    EXPECT_EQ(DVKMem_GetSize(list->constraints), 4 * sizeof(Constraint*));
    EXPECT_EQ(DVKMem_GetSize(list->decoderValues), 9 * sizeof(uint16_t));
    EXPECT_EQ(m_allocator.liveBlocks(), 11u);
    BrevitChoiceList_Delete(list);
    EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks();
    BrevitChoiceList_Delete(nullptr);
}

TEST_F(ChoiceListTest, CloneCopiesEveryFieldIntoArraysOfItsOwn)
{
    BrevitChoiceList* list = BrevitChoiceList_Create();
    ASSERT_NE(list, nullptr);
    list->count = 2;
    list->intervalFirstWord = 1;
    list->intervalLastWord = 3;
    list->intervalUtteranceId = 7;
    list->passWord1 = 11;
    list->passWord2 = 12;
    list->recentWordCount = 2;
    list->rejectionScore = -40;
    list->confidence = 87;
    for (int32_t i = 0; i < list->capacity; ++i) {
        list->scores[i] = 100 + i;
        list->grammarShares[i] = static_cast<int16_t>(-i);
        list->constraints[i] = reinterpret_cast<Constraint*>(&list->scores[i]);
    }
    for (int32_t i = 0; i < list->wordSlots; ++i) {
        list->wordIds[i] = 0xC0000000u + i;
        list->classIds[i] = 20u + i;
        list->memberValues[i] = 30u + i;
        list->classStarts[i] = static_cast<uint8_t>(i & 1);
        list->decoderValues[i] = static_cast<uint16_t>(500 + i);
        list->classEnds[i] = static_cast<uint8_t>(~i & 1);
        list->recentWords[i] = 0x80000000u + i;
    }

    BrevitChoiceList* copy = BrevitChoiceList_Clone(list);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->capacity, 4);
    EXPECT_EQ(copy->wordSlots, 9);
    EXPECT_EQ(copy->count, 2);
    EXPECT_EQ(copy->intervalFirstWord, 1);
    EXPECT_EQ(copy->intervalLastWord, 3);
    EXPECT_EQ(copy->intervalUtteranceId, 7u);
    EXPECT_EQ(copy->passWord1, 11);
    EXPECT_EQ(copy->passWord2, 12);
    EXPECT_EQ(copy->recentWordCount, 2);
    EXPECT_EQ(copy->recentWordCapacity, 9);
    EXPECT_EQ(copy->rejectionScore, -40);
    EXPECT_EQ(copy->confidence, 87);
    EXPECT_NE(copy->scores, list->scores);
    EXPECT_NE(copy->recentWords, list->recentWords);
    for (int32_t i = 0; i < list->capacity; ++i) {
        EXPECT_EQ(copy->scores[i], list->scores[i]);
        EXPECT_EQ(copy->grammarShares[i], list->grammarShares[i]);
        EXPECT_EQ(copy->constraints[i], list->constraints[i]);
    }
    for (int32_t i = 0; i < list->wordSlots; ++i) {
        EXPECT_EQ(copy->wordIds[i], list->wordIds[i]);
        EXPECT_EQ(copy->classIds[i], list->classIds[i]);
        EXPECT_EQ(copy->memberValues[i], list->memberValues[i]);
        EXPECT_EQ(copy->classStarts[i], list->classStarts[i]);
        EXPECT_EQ(copy->decoderValues[i], list->decoderValues[i]);
        EXPECT_EQ(copy->classEnds[i], list->classEnds[i]);
        EXPECT_EQ(copy->recentWords[i], list->recentWords[i]);
    }
    BrevitChoiceList_Delete(list);
    BrevitChoiceList_Delete(copy);
    EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks();
    EXPECT_EQ(BrevitChoiceList_Clone(nullptr), nullptr);
}

TEST_F(ChoiceListTest, FailedAllocationYieldsNullAndLeavesNothing)
{
    BrevitChoiceList* list = BrevitChoiceList_Create();
    ASSERT_NE(list, nullptr);
    // Each allocation of a create, and of a clone, failing in turn.
    for (bool clone : {false, true}) {
        for (uint64_t n = 1;; ++n) {
            SCOPED_TRACE((clone ? "clone, allocation " : "create, allocation ") +
                         std::to_string(n));
            size_t liveBefore = m_allocator.liveBlocks();
            m_allocator.failAt(m_allocator.calls() + n);
            BrevitChoiceList* made = clone ? BrevitChoiceList_Clone(list) : BrevitChoiceList_Create();
            m_allocator.failAt(0);
            if (made != nullptr) {
                EXPECT_EQ(n, 12u);  // the record and its ten arrays all went through
                BrevitChoiceList_Delete(made);
                break;
            }
            EXPECT_EQ(m_allocator.liveBlocks(), liveBefore) << m_allocator.describeLeaks();
        }
    }
    BrevitChoiceList_Delete(list);
    EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks();
}

TEST_F(ChoiceListTest, CapacityTheAllocatorCannotTakeYieldsNull)
{
    ScopedParamBlock huge(ParamBlockBuilder()
                              .word(kBrevitParamNBestRecords, 4)
                              .word(kBrevitParamChoiceWordSlots, 0x40000000u));
    EXPECT_EQ(BrevitChoiceList_Create(), nullptr);
    ScopedParamBlock negative(ParamBlockBuilder().word(kBrevitParamNBestRecords, 0xFFFFFFFFu));
    EXPECT_EQ(BrevitChoiceList_Create(), nullptr);
    EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks();
}

} // namespace
