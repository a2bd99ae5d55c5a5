#include "tests/brevit/search/decoder/decoder_test.h"

#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/acoustic/am_util.h"
#include "core/brevit/acoustic/segmenter.h"
#include "core/brevit/search/decoder_utils.h"
#include "core/brevit/search/frame_buffer.h"
#include "core/brevit/search/linch_choice.h"
#include "tests/support/acoustic_model_writer.h"
#include "tests/support/archive_fixture.h"
#include "tests/support/vocabulary_fixture.h"

#include <memory>
#include <vector>

namespace {

// A model and a vocabulary over the model's own phonemes: "abb" (pron 0,
// ph1 ph2 ph2) and "ba" (pron 1, ph2 ph1).
class RealignTest : public DecoderTest {
protected:
    RealignTest() : m_lm(TestLanguageModel::Fields{}) {}

    void SetUp() override
    {
        AcousticModelSpec spec;
        spec.dim = 4;
        spec.singleComponent = true;
        spec.covType = 2;
        spec.weights = {1, 1, 1, 1};
        spec.constants = {1000};
        m_archive = std::make_unique<ArchiveFixture>("realign-model.dvk");
        writeAcousticModel(*m_archive, acousticModelRecords(spec));
        m_archive->finish();
        m_model = AM_LoadFromBinFile(m_archive->openForRead(), nullptr, 0);
        ASSERT_NE(m_model, nullptr);
        VocabularyFixture::Options options;
        options.phonemes = {"h#", "ph1", "ph2"};
        m_vocabulary = std::make_unique<VocabularyFixture>(
            std::vector<VocabularyFixture::WordSpec>{{u"abb", u"", {"ph1 ph2 ph2"}, true},
                                                     {u"ba", u"", {"ph2 ph1"}, true}},
            options, "realign-voc.dvk");
        m_voc = m_vocabulary->voc();
        ASSERT_NE(m_voc, nullptr);
        m_vocabulary->attach(m_lm);
        m_vocabulary->params().words[kBrevitParamLmCostCap] = 32767;
        m_lm.table = {{{1, 0}, 7}, {{0, 1}, 11}, {{1, 1}, 13}, {{0, 0}, 17}};
    }
    void TearDown() override
    {
        m_vocabulary.reset();
        AM_Destroy(m_model);
        m_archive.reset();
        DecoderTest::TearDown();
    }

    // The aligner's own chain length for the prons.
    int32_t chainLength(const std::vector<uint16_t>& prons, const std::vector<uint8_t>& flags, int32_t crossWord)
    {
        Segmenter* seg = Segmenter_Create(m_model, m_voc, 10);
        std::vector<uint16_t> chain(64), phonemes(64), durations(65);
        std::vector<int16_t> positions(64);
        int32_t count = 0;
        EXPECT_EQ(Segmenter_Start(seg, 200, crossWord, 0x7fffffff, 1, 0, static_cast<int32_t>(prons.size()),
                                  prons.data(), 0, phonemes.data(), 64, chain.data(), positions.data(),
                                  durations.data(), &count, flags.data()),
                  1);
        Segmenter_Delete(seg);
        chain.resize(static_cast<size_t>(count));
        m_chain = chain;
        return count;
    }

    // A decoder holding frames made from the chain's state centroids, each
    // state held for `hold` frames.
    Decoder* decoderOverChain(ScriptedDecoder& script, int32_t hold)
    {
        Decoder* d = script.create();
        d->vocabulary = m_voc;
        d->model = m_model;
        d->framePeriod = 10;
        Decoder_CreateAMScoreState(d);
        Decoder_InitAMScoring(d, 0, 0);
        const auto frames = static_cast<int32_t>(m_chain.size()) * hold;
        d->frameBuffer = FrameBuffer_Create(4, frames);
        d->ownsFrameBuffer = 1;
        std::vector<uint8_t> frame(4);
        for (uint16_t state : m_chain) {
            AM_GetStateCentroid(m_model, state, frame.data());
            for (int32_t k = 0; k < hold; ++k) {
                const int32_t side = 0;
                FrameBuffer_AddFrame(d->frameBuffer, frame.data(), &side);
            }
        }
        return d;
    }

    void deleteDecoder(Decoder* d)
    {
        AM_DeleteScoringSet(d->scoringSet);
        Decoder_Delete(d, 0);
    }

    // The aligner run by hand over the decoder's frames.
    int32_t alignmentScore(Decoder* d, const std::vector<uint16_t>& prons, const std::vector<uint8_t>& flags)
    {
        Segmenter* seg = Segmenter_Create(m_model, m_voc, 10);
        std::vector<uint16_t> chain(64), phonemes(64), durations(65);
        std::vector<int16_t> positions(64);
        int32_t count = 0;
        const int32_t frames = FrameBuffer_GetNumFrames(d->frameBuffer);
        EXPECT_EQ(Segmenter_Start(seg, frames, 0, 0x7fffffff, 1, 0, static_cast<int32_t>(prons.size()), prons.data(),
                                  0, phonemes.data(), 64, chain.data(), positions.data(), durations.data(), &count,
                                  flags.data()),
                  1);
        for (int32_t f = 0; f < frames; ++f) {
            int32_t* side = nullptr;
            const uint8_t* frame = FrameBuffer_GetFrame(d->frameBuffer, f, &side);
            const int16_t value = 0;
            Segmenter_ProcessFrame(seg, frame, &value, d->scoringSet);
        }
        int32_t score = 0;
        EXPECT_NE(Segmenter_Finish(seg, 0, &score), 3);
        Segmenter_Delete(seg);
        return score;
    }

    TestLanguageModel m_lm;
    std::unique_ptr<ArchiveFixture> m_archive;
    AM* m_model = nullptr;
    std::unique_ptr<VocabularyFixture> m_vocabulary;
    Voc* m_voc = nullptr;
    std::vector<uint16_t> m_chain;
};

TEST_F(RealignTest, StateCountsAgreeWithTheAligner)
{
    struct Case {
        std::vector<uint16_t> prons;
        std::vector<uint8_t> flags;
        int32_t crossWord;
    };
    const Case cases[] = {
        {{0}, {0}, 0},          {{0, 1}, {0, 0}, 0},       {{0, 1}, {0, 0}, 1},
        {{0, 1}, {1, 0}, 1},    {{1, 0, 1}, {1, 0, 0}, 0}, {{1, 1, 0}, {0, 1, 0}, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Decoder_CountSequenceFrames(c.prons.data(), c.flags.data(), static_cast<int32_t>(c.prons.size()),
                                              m_voc, m_model, c.crossWord),
                  chainLength(c.prons, c.flags, c.crossWord))
            << c.prons.size() << " cross " << c.crossWord;
    EXPECT_EQ(Decoder_CountSequenceFrames(nullptr, nullptr, 0, m_voc, m_model, 0), 2);
}

TEST_F(RealignTest, AChoiceRealignsToItsAlignmentAndOrderOneScore)
{
    const std::vector<uint16_t> prons = {0, 1};
    const std::vector<uint8_t> flags = {0, 0};
    chainLength(prons, flags, 0);
    ScriptedDecoder script;
    Decoder* d = decoderOverChain(script, 3);
    const uint16_t left[] = {1};
    ASSERT_NE(Decoder_UttInit(d, 1, left, 0, nullptr, 1, 0, 0, 0, 0), 0);
    int32_t score = 0;
    DecoderUtils_RealignChoice(d, nullptr, prons.data(), flags.data(), &score, 2, 0);
    const uint16_t history = 1;
    const int32_t expected =
        alignmentScore(d, prons, flags) + Decoder_ScoreNGramSequence(m_voc, 1, 1, &history, 0, nullptr, prons.data(), 2);
    EXPECT_EQ(score, expected);
    EXPECT_NE(score, 0x40000000);
    deleteDecoder(d);
}

TEST_F(RealignTest, ChoicesThatCannotAlignLeaveTheList)
{
    // Frames for a one-word chain: a three-word choice needs more states than frames.
    chainLength({1}, {0}, 0);
    ScriptedDecoder script;
    Decoder* d = decoderOverChain(script, 1);
    m_vocabulary->params().words[kBrevitParamRescoreMode] = 1;
    LinChChoice choices[3] = {};
    const std::vector<std::vector<uint16_t>> words = {{0, 1, 0}, {1}, {0, 0, 1}};
    for (size_t i = 0; i < 3; ++i) {
        choices[i].wordCount = static_cast<int32_t>(words[i].size());
        std::copy(words[i].begin(), words[i].end(), choices[i].words);
        choices[i].score = 5;
    }
    int32_t count = 3;
    DecoderUtils_RescoreChoices(d, 0, choices, &count);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(choices[0].wordCount, 1);
    EXPECT_EQ(choices[0].words[0], 1);
    EXPECT_NE(choices[0].score, 0x40000000);
    deleteDecoder(d);
}

} // namespace
