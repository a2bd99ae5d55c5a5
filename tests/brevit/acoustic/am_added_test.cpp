#include "core/brevit/acoustic/am_added.h"

#include "core/brevit/acoustic/am_params.h"
#include "core/brevit/acoustic/am_phones.h"
#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/brevit/acoustic/acoustic_fixture.h"
#include "tests/support/da_record_builder.h"
#include "tests/support/param_block_builder.h"

#include <functional>
#include <memory>
#include <vector>

namespace {

using Ids = std::vector<uint16_t>;
using AddedTest = AcousticTest;

AcousticModelSpec addedSpec(AcousticStorage storage = AcousticStorage::Bytes)
{
    AcousticModelSpec spec;
    spec.addedModels = true;  // phones 3 and 4, states 8..11
    spec.storage = storage;
    return spec;
}

std::vector<uint8_t> ramp(int32_t dim)
{
    std::vector<uint8_t> m;
    for (int32_t d = 0; d < dim; ++d)
        m.push_back(static_cast<uint8_t>(d + 1));
    return m;
}

TEST_F(AddedTest, AddedPhonesHaveOneModelAndTheirOwnStates)
{
    AM* am = load(addedSpec());
    ASSERT_NE(am, nullptr);
    EXPECT_EQ(AM_GetNumPhoneModels(am), 8);
    EXPECT_EQ(AM_GetAddedStateId(am, 3, 1), 9);
    EXPECT_EQ(AM_GetAddedStateId(am, 4, 0), 10);
    for (uint16_t ctx : {0, 2, 4, 65535}) {
        EXPECT_EQ(AM_GetTriphoneId(am, ctx, 3, ctx), 6);
        EXPECT_EQ(AM_GetTriphoneId(am, ctx, 4, 1), 7);
        EXPECT_EQ(AM_GetTiedStateId(am, ctx, 4, ctx, 1), 11);
    }
    EXPECT_EQ(AM_GetTriphoneId(am, 0, 5, 0), kAMNoModel);
    EXPECT_EQ(AM_GetTiedStateId(am, 0, 5, 0, 0), kAMNoState);
    EXPECT_EQ(AM_GetTiedStateId(am, 0, 3, 0, 2), kAMNoState);

    const uint16_t models[] = {0, 1, 2, 3, 4, 5, 6, 7, 8};
    uint16_t centres[9] = {};
    AM_ConvertTriphonesToPhonemes(am, models, 9, centres);
    EXPECT_EQ(Ids(centres, centres + 9), (Ids{0, 1, 1, 2, 2, 2, 3, 4, 65535}));
    EXPECT_EQ(Ids(am->context->firstModel, am->context->firstModel + 4), (Ids{0, 1, 3, 6}));

    const uint16_t phonemes[] = {2, 1, 0, 3};
    uint16_t out[4] = {};
    EXPECT_EQ(AM_ConvertPhonemesToTriphoneIds(am, phonemes, 4, out, 0, 0), 4);
    EXPECT_EQ(Ids(out, out + 4), (Ids{4, 1, 0, 6}));
    uint16_t list[8] = {};
    EXPECT_EQ(AM_ListRightExpansions(am, list, 0, 3), 1);
    EXPECT_EQ(Ids(list, list + 2), (Ids{6, 6}));
    EXPECT_EQ(AM_TestPhonemePair(am, 6, 1), 1);
    EXPECT_EQ(AM_TestPhonemePair(am, 1, 6), 1);
    EXPECT_EQ(AM_TestPhonemePair(am, 4, 6), 1);
}

TEST_F(AddedTest, AddedModelsTakeEveryContextInTheSets)
{
    ScopedParamBlock params(ParamBlockBuilder()
                                .word(kBrevitParamModelRightContexts, 1)
                                .word(kBrevitParamModelLeftContexts, 1));
    AM* am = load(addedSpec());
    ASSERT_NE(am, nullptr);
    const uint8_t rights[] = {7, 3, 7, 7, 3, 7, 7, 7};
    const uint8_t lefts[] = {7, 5, 7, 4, 1, 3, 7, 7};
    for (int32_t m = 0; m < 8; ++m) {
        EXPECT_EQ(am->context->rightSets[m * 8], rights[m]) << m;
        EXPECT_EQ(am->context->leftSets[m * 8], lefts[m]) << m;
    }
}

TEST_F(AddedTest, MarksAndMeansOfAddedStates)
{
    AM* am = load(addedSpec());
    ASSERT_NE(am, nullptr);
    EXPECT_EQ(AM_MarkAddedPhone(am, 3), 1);
    EXPECT_EQ(AM_MarkAddedPhone(am, 3), 0);
    EXPECT_EQ(AM_MarkAddedPhone(am, 5), 0);
    EXPECT_EQ(AM_MarkAddedPhone(am, 2), 0);
    EXPECT_EQ(am->addedPhoneMarks[0], 0x08);

    const std::vector<uint8_t> m = ramp(36);
    AM_SetComponentMean(am, 9, 0, m.data());
    EXPECT_EQ(am->addedStateMarks[0], 0x02);
    const uint8_t* back = AM_GetComponentMean(am, 9, 0);
    EXPECT_EQ(std::vector<uint8_t>(back, back + 36), m);
    // Past the added states or another component: nothing is stored.
    AM_SetComponentMean(am, 12, 0, m.data());
    AM_SetComponentMean(am, 10, 1, m.data());
    EXPECT_EQ(am->addedStateMarks[0], 0x02);
    const uint8_t* other = AM_GetComponentMean(am, 10, 0);
    EXPECT_EQ(std::vector<uint8_t>(other, other + 36), std::vector<uint8_t>(36, 0));
}

TEST_F(AddedTest, InnerProductConstantsFollowTheStoredMean)
{
    struct Case {
        bool split;
        int32_t first, second;
    };
    for (const Case& c : {Case{true, 204, 16002}, Case{false, 16206, 0}}) {
        AcousticModelSpec spec = addedSpec(AcousticStorage::InnerProduct);
        spec.threshold = c.split;
        spec.covType = 5;
        AM* am = load(spec);
        ASSERT_NE(am, nullptr);
        const std::vector<uint8_t> m = ramp(36);
        AM_SetComponentMean(am, 9, 0, m.data());
        EXPECT_EQ(am->addedFirst32[1], c.first);
        if (c.split)
            EXPECT_EQ(am->addedSecond32[1], c.second);
        else
            EXPECT_EQ(am->addedSecond32, nullptr);
        const uint8_t* back = AM_GetComponentMean(am, 9, 0);
        EXPECT_EQ(std::vector<uint8_t>(back, back + 36), m);
    }
}

// The VQ and label (DA) kernels hold nothing for an added state and give it
// the ceiling; the shortlist has no entry for it and scores it in full, as
// the plain kernels do.
TEST_F(AddedTest, VQAndLabelPathsGiveAddedStatesTheCeilingTheShortlistScoresThem)
{
    enum Path { Plain, VQ, Label, Shortlist };
    const struct {
        const char* name;
        Path path;
    } cases[] = {{"plain", Plain}, {"VQ", VQ}, {"labels", Label}, {"shortlist", Shortlist}};
    const std::vector<uint8_t> mean(36, 9), frame(36, 10);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AcousticModelSpec spec = addedSpec();
        spec.covType = 5;
        spec.multiplier = 1;
        spec.rounding = 0;
        spec.shift = 0;
        spec.vq = c.path == VQ;
        spec.daMode = c.path == Label;
        spec.shortlist = c.path == Shortlist;
        AM* am = load(spec);
        ASSERT_NE(am, nullptr);
        if (c.path == Label) {
            DARecordSpec labels;
            labels.numLabels = 1;
            labels.dimension = 36;
            labels.nodes = {DANodeSpec::leaf(0)};
            AM_SetDARecord(am, labels.build(am));
            ASSERT_NE(am->daRecord, nullptr);
        }
        AM_SetComponentMean(am, 9, 0, mean.data());
        std::unique_ptr<AMScoringSet, void (*)(AMScoringSet*)> set(AM_NewScoringSet(), AM_DeleteScoringSet);
        AM_GetScoringFunctions(am, set.get(), c.path == Shortlist, c.path == VQ);
        AM_NewFrame(am, frame.data(), nullptr, set.get(), 0, 1);
        const int32_t want = c.path == VQ || c.path == Label ? am->scoreCeiling : 36;
        EXPECT_EQ(AM_GetStateScore(am, 9), want);
        EXPECT_EQ(AM_ScoreStateDirect(am, 9, 0, 0), want);
        // Label models score no components.
        if (c.path != Label) {
            EXPECT_EQ(AM_ScoreComponent(am, 9, 0), want);
        }
    }
}

TEST_F(AddedTest, DeletingTrainedModelsClearsTheUnusedPhones)
{
    ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamRecogPhonemeSlots, 2));
    AM* am = load(addedSpec());
    ASSERT_NE(am, nullptr);
    const std::vector<uint8_t> m = ramp(36);
    for (int32_t phone : {3, 4}) {
        AM_MarkAddedPhone(am, phone);
        for (int32_t s = 0; s < 2; ++s)
            AM_SetComponentMean(am, AM_GetAddedStateId(am, phone, s), 0, m.data());
    }
    EXPECT_EQ(AM_DeleteTrainedModels(am, nullptr), 0);
    EXPECT_EQ(am->addedPhoneMarks[0], 0x18);
    const uint8_t keep[] = {255, 1};
    AM_DeleteTrainedModels(am, keep);
    EXPECT_EQ(am->addedPhoneMarks[0], 0x10);
    const uint8_t flags[] = {255, 255};
    AM_DeleteTrainedModels(am, flags);
    EXPECT_EQ(am->addedPhoneMarks[0], 0x00);
    for (int32_t s = 8; s < 12; ++s) {
        const uint8_t* mean = AM_GetComponentMean(am, s, 0);
        EXPECT_EQ(std::vector<uint8_t>(mean, mean + 36), std::vector<uint8_t>(36, 0)) << s;
    }
}

TEST_F(AddedTest, InconsistentAddedPhonesAreRefusedAtLoad)
{
    struct Case {
        const char* name;
        std::function<void(AcousticModelSpec&)> change;
    };
    const Case cases[] = {
        {"phone without its row", [](AcousticModelSpec& s) { s.addedRows = false; }},
        {"base past the phonemes", [](AcousticModelSpec& s) { s.addedBase = 4; s.addedLast = 5; }},
        {"last before base", [](AcousticModelSpec& s) { s.addedLast = 2; }},
        {"added states not scored", [](AcousticModelSpec& s) { s.scoredStates = 10; }},
    };
    for (const Case& c : cases) {
        AcousticModelSpec spec = addedSpec();
        c.change(spec);
        EXPECT_EQ(load(spec), nullptr) << c.name;
    }
}

} // namespace
