// Word-model training: units from the frames per unit, the uniform
// segmentation and the rounded frame means it writes into added phone
// models, forced rounds, and the failures that must leave the means alone.
#include "core/brevit/search/scoring.h"

#include "core/brevit/acoustic/am.h"
#include "core/brevit/acoustic/am_params.h"
#include "core/brevit/acoustic/am_phones.h"
#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/acoustic/segmenter.h"
#include "core/brevit/frontend/utterance.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/brevit/acoustic/acoustic_fixture.h"
#include "tests/support/vocabulary_fixture.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

namespace {

class ScoringTrainTest : public AcousticTest {
protected:
    void SetUp() override
    {
        AcousticModelSpec spec;
        spec.addedModels = true;
        spec.addedPhones = 60;   // covers the vocabulary's free phoneme ids
        m_am = load(spec);
        ASSERT_NE(m_am, nullptr);
        m_vocabulary = std::make_unique<VocabularyFixture>();
        ASSERT_NE(m_vocabulary->voc(), nullptr);
        m_dim = AM_GetFeatureDim(m_am);
    }

    void TearDown() override
    {
        for (Utterance* u : m_utterances)
            Utterance_Delete(u);
        m_vocabulary.reset();
        AcousticTest::TearDown();
    }

    Utterance* utterance(int32_t frames, uint32_t seed)
    {
        m_frames.emplace_back(static_cast<size_t>(frames * m_dim));
        std::mt19937 random(seed);
        for (auto& v : m_frames.back())
            v = static_cast<uint8_t>(random() % 256);
        Utterance* u = Utterance_CreateOnBuffer(m_frames.back().data(), nullptr, frames, m_dim);
        for (int32_t f = 0; f < frames; ++f)
            Utterance_PutFrame(u, m_frames.back().data() + f * m_dim, nullptr);
        m_utterances.push_back(u);
        return u;
    }

    // The means of every added state.
    std::vector<std::vector<uint8_t>> addedMeans()
    {
        std::vector<std::vector<uint8_t>> out;
        for (int32_t s = m_am->numStates; s < m_am->numStates + 60 * AM_GetNumStatesPerModel(m_am); ++s) {
            const uint8_t* m = AM_GetComponentMean(m_am, s, 0);
            out.emplace_back(m, m + m_dim);
        }
        return out;
    }

    BrevitGlobalParameters& params() { return m_vocabulary->params(); }

    AM* m_am = nullptr;
    std::unique_ptr<VocabularyFixture> m_vocabulary;
    int32_t m_dim = 0;
    std::vector<std::vector<uint8_t>> m_frames;
    std::vector<Utterance*> m_utterances;
};

TEST_F(ScoringTrainTest, UniformSegmentationWritesRoundedFrameMeans)
{
    ASSERT_EQ(AM_GetNumStatesPerModel(m_am), 2);
    params().words[kBrevitParamSegmentationMinFrames] = 160;
    params().words[kBrevitParamSegmentationMinWords] = 0;
    Utterance* u = utterance(14, 1);
    std::vector<uint16_t> phones(32, 0);
    int32_t units = 0;
    // Two lead and two trail frames leave N = 10: U = (320 + 16) / 160 = 2.
    ASSERT_EQ(Scoring_TrainWordModel(u, 2, 2, m_vocabulary->voc(), m_am, nullptr, nullptr, 8, phones.data(), &units), 1);
    EXPECT_EQ(units, 2);
    const uint16_t durations[] = {2, 3, 2, 3};
    int32_t frame = 2;
    for (int32_t k = 0; k < 4; ++k) {
        int32_t count = 0;
        const uint16_t* states =
            AM_GetModelStates(m_am, AM_GetTriphoneId(m_am, 0, phones[static_cast<size_t>(k / 2)], 0), &count);
        ASSERT_EQ(count, 2);
        const uint8_t* mean = AM_GetComponentMean(m_am, states[k % 2], 0);
        for (int32_t d = 0; d < m_dim; ++d) {
            int32_t sum = 0;
            for (int32_t f = frame; f < frame + durations[k]; ++f)
                sum += m_frames.back()[static_cast<size_t>(f * m_dim + d)];
            ASSERT_EQ(mean[d], (sum + durations[k] / 2) / durations[k]) << "state " << k << " dimension " << d;
        }
        frame += durations[k];
    }
    EXPECT_NE(phones[0], phones[1]);
}

TEST_F(ScoringTrainTest, FailuresLeaveTheMeansAlone)
{
    params().words[kBrevitParamSegmentationMinWords] = 0;
    std::vector<uint16_t> phones(32, 0);
    int32_t units = 0;
    const auto before = addedMeans();
    struct Case {
        const char* name;
        int32_t frames, lead, trail;
        uint32_t framesPerUnit;
    };
    const Case cases[] = {
        {"no frames between lead and trail", 6, 3, 3, 160},
        {"no frames per unit", 12, 0, 0, 0},
        {"fewer frames than states", 3, 0, 0, 20},
        {"no unit", 2, 0, 0, 160},
    };
    for (const Case& c : cases) {
        params().words[kBrevitParamSegmentationMinFrames] = c.framesPerUnit;
        EXPECT_EQ(Scoring_TrainWordModel(utterance(c.frames, 2), c.lead, c.trail, m_vocabulary->voc(), m_am, nullptr,
                                         nullptr, 8, phones.data(), &units),
                  0)
            << c.name;
        EXPECT_EQ(addedMeans(), before) << c.name;
    }
    // The vocabulary out of free phoneme ids.
    while (Voc_GetFreeRecogPhonemeId(m_vocabulary->voc()) != 65535) {
    }
    params().words[kBrevitParamSegmentationMinFrames] = 160;
    EXPECT_EQ(Scoring_TrainWordModel(utterance(10, 3), 0, 0, m_vocabulary->voc(), m_am, nullptr, nullptr, 8,
                                     phones.data(), &units),
              0);
    EXPECT_EQ(addedMeans(), before);
}

TEST_F(ScoringTrainTest, ForcedRoundsSetTheMeansOfTheirSegmentation)
{
    params().words[kBrevitParamSegmentationMinFrames] = 160;
    params().words[kBrevitParamSegmentationMinWords] = 1;
    params().words[kBrevitParamPruneOffset] = 30000;
    std::unique_ptr<AMScoringSet, void (*)(AMScoringSet*)> set(AM_NewScoringSet(), AM_DeleteScoringSet);
    AM_GetScoringFunctions(m_am, set.get(), 0, 0);
    Segmenter* seg = Segmenter_Create(m_am, m_vocabulary->voc(), 10);
    ASSERT_NE(seg, nullptr);
    Utterance* u = utterance(20, 4);
    std::vector<uint16_t> phones(32, 0);
    int32_t units = 0;
    const int32_t result =
        Scoring_TrainWordModel(u, 0, 0, m_vocabulary->voc(), m_am, seg, set.get(), 8, phones.data(), &units);
    ASSERT_EQ(units, 4);
    ASSERT_EQ(result, 1);
    // Each state's mean is that of a run of frames, the runs following one
    // another: some split of the frames (after a leading silence) into eight
    // runs gives every mean.
    std::vector<const uint8_t*> means;
    for (int32_t k = 0; k < 8; ++k) {
        int32_t count = 0;
        const uint16_t* states =
            AM_GetModelStates(m_am, AM_GetTriphoneId(m_am, 0, phones[static_cast<size_t>(k / 2)], 0), &count);
        means.push_back(AM_GetComponentMean(m_am, states[k % 2], 0));
    }
    const auto& frames = m_frames.back();
    auto runMatches = [&](int32_t k, int32_t a, int32_t b) {
        for (int32_t d = 0; d < m_dim; ++d) {
            int32_t sum = 0;
            for (int32_t f = a; f < b; ++f)
                sum += frames[static_cast<size_t>(f * m_dim + d)];
            if (means[static_cast<size_t>(k)][d] != (sum + (b - a) / 2) / (b - a))
                return false;
        }
        return true;
    };
    // reach[k][f]: the first k runs can end at frame f.
    std::vector<std::vector<bool>> reach(9, std::vector<bool>(21, false));
    for (int32_t f = 0; f <= 20; ++f)
        reach[0][static_cast<size_t>(f)] = true;
    for (int32_t k = 0; k < 8; ++k)
        for (int32_t a = 0; a < 20; ++a)
            if (reach[static_cast<size_t>(k)][static_cast<size_t>(a)])
                for (int32_t b = a + 1; b <= 20; ++b)
                    if (runMatches(k, a, b))
                        reach[static_cast<size_t>(k + 1)][static_cast<size_t>(b)] = true;
    bool found = false;
    for (int32_t f = 0; f <= 20; ++f)
        found = found || reach[8][static_cast<size_t>(f)];
    EXPECT_TRUE(found);
    Segmenter_Delete(seg);
}

} // namespace
