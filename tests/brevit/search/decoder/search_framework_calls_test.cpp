// Every name the linear-chain search calls the framework by exists: a
// missing one fails the build.
#include "core/brevit/search/search_framework_calls.h"

#include "core/brevit/search/cling.h"
#include "core/brevit/search/grammar.h"
#include "core/brevit/search/whole_voc_constraint.h"

#include <gtest/gtest.h>

#include <vector>

// Declared beside the close-call table, whose header cannot meet the
// parameter names in one source.
int32_t ClassManager_GetMemberClass(const ClassManager* manager, uint32_t member, uint32_t state);

namespace {

TEST(SearchFrameworkCalls, EveryNameIsThere)
{
    const std::vector<const void*> names = {
        reinterpret_cast<const void*>(&ClassManager_CreateOptimizedConstraint),
        reinterpret_cast<const void*>(&ClassManager_FillPronCache),
        reinterpret_cast<const void*>(&ClassManager_FindClass),
        reinterpret_cast<const void*>(&ClassManager_GetClassName),
        reinterpret_cast<const void*>(&ClassManager_GetMemberClass),
        reinterpret_cast<const void*>(&ClassManager_GetMemberLength),
        reinterpret_cast<const void*>(&ClassManager_GetMemberScore),
        reinterpret_cast<const void*>(&ClassManager_IsBlankPrefixedName),
        reinterpret_cast<const void*>(&ClassPair_CanTransition),
        reinterpret_cast<const void*>(&ClassPair_GetFrameSeedTransitions),
        reinterpret_cast<const void*>(&ClassPair_InitIterator),
        reinterpret_cast<const void*>(&ClassPair_MapClass),
        reinterpret_cast<const void*>(&ClassPair_SeedFrameWords),
        reinterpret_cast<const void*>(&ClassPair_SetIteratorWord),
        reinterpret_cast<const void*>(&ClassPairConstraint_CreateExpanded),
        reinterpret_cast<const void*>(&ClassPairConstraint_FillPronCacheList),
        reinterpret_cast<const void*>(&ClassPairConstraint_HasTransitions),
        reinterpret_cast<const void*>(&Cling_LookupContext),
        reinterpret_cast<const void*>(&Constraint_AnyHasOptionalEnding),
        reinterpret_cast<const void*>(&Constraint_AnyNeedsExpansion),
        reinterpret_cast<const void*>(&Constraint_AnyRefersToClass),
        reinterpret_cast<const void*>(&Constraint_AreAllSimple),
        reinterpret_cast<const void*>(&Constraint_CheckList),
        reinterpret_cast<const void*>(&Constraint_ComputeCRC),
        reinterpret_cast<const void*>(static_cast<void (*)(Constraint*)>(&Constraint_Delete)),
        reinterpret_cast<const void*>(&Constraint_FindClassPair),
        reinterpret_cast<const void*>(&Constraint_GetFirstFlag),
        reinterpret_cast<const void*>(&Constraint_GetMemberStartsWithPronId),
        reinterpret_cast<const void*>(&Constraint_GetTranscriptionFlag),
        reinterpret_cast<const void*>(
            static_cast<int16_t (*)(Constraint* const*, int32_t, uint32_t, uint32_t)>(&Constraint_GetTransitionScore)),
        reinterpret_cast<const void*>(&Constraint_GetType),
        reinterpret_cast<const void*>(&Constraint_MakeActiveId),
        reinterpret_cast<const void*>(&Constraint_UttInitList),
        reinterpret_cast<const void*>(&Decoder_AccumulateRejectionScore),
        reinterpret_cast<const void*>(&Decoder_ComputeCommonCRC),
        reinterpret_cast<const void*>(&Decoder_ComputeCRC),
        reinterpret_cast<const void*>(&Decoder_CreateAMScoreState),
        reinterpret_cast<const void*>(&Decoder_GetCurrentFrame),
        reinterpret_cast<const void*>(&Decoder_GetState),
        reinterpret_cast<const void*>(&Decoder_HasFailed),
        reinterpret_cast<const void*>(&Decoder_HasStateTableConstraints),
        reinterpret_cast<const void*>(&Decoder_InitAMScoring),
        reinterpret_cast<const void*>(&Decoder_IsRejected),
        reinterpret_cast<const void*>(&Decoder_SetRejected),
        reinterpret_cast<const void*>(&Decoder_SetRejection),
        reinterpret_cast<const void*>(&DecoderUtils_AddClassPairScores),
        reinterpret_cast<const void*>(&DecoderUtils_CountPronsOfConstraint),
        reinterpret_cast<const void*>(&DecoderUtils_FillChoiceOutputs),
        reinterpret_cast<const void*>(&DecoderUtils_RescoreChoices),
        reinterpret_cast<const void*>(&DecoderUtils_RewriteChoice),
        reinterpret_cast<const void*>(&DecoderUtils_ScoreChoiceLM),
        reinterpret_cast<const void*>(&DecoderUtils_ScoreWordSequence),
        reinterpret_cast<const void*>(&Grammar_ParseExists),
        reinterpret_cast<const void*>(&Histogram_ComputeCRC),
        reinterpret_cast<const void*>(&Histogram_Create),
        reinterpret_cast<const void*>(&Histogram_Delete),
        reinterpret_cast<const void*>(&Histogram_GetPruneThreshold),
        reinterpret_cast<const void*>(&Histogram_Reset),
        reinterpret_cast<const void*>(&Transcription_CheckChoice),
        reinterpret_cast<const void*>(&WholeVocConstraint_Create),
        reinterpret_cast<const void*>(&WordGraph_Build),
        reinterpret_cast<const void*>(&WordGraph_Clone),
    };
    for (const void* name : names)
        EXPECT_NE(name, nullptr);
}

// The wrappers hand their arguments over in the framework's order.
TEST(SearchFrameworkCalls, WrappersForwardAsTheFrameworkNamesThem)
{
    EXPECT_EQ(Constraint_MakeActiveId(nullptr, 5), Constraint_MakeStartActiveId(5));
    EXPECT_EQ(Constraint_CheckList(nullptr, 0), Constraint_CheckAll(nullptr, 0));
    EXPECT_EQ(Constraint_CheckList(nullptr, 1025), 0);
    EXPECT_EQ(Constraint_AreAllSimple(nullptr, 0), 1);
    EXPECT_EQ(Constraint_FindClassPair(nullptr, 0), nullptr);
    EXPECT_EQ(Constraint_AnyRefersToClass(nullptr, 0), 0);
    EXPECT_EQ(Constraint_AnyNeedsExpansion(0, nullptr), 0);
}

} // namespace
