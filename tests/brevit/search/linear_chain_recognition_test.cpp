// Recognition end to end through the decoder interface, nothing stood in:
// a written acoustic model, a written vocabulary of three words, the
// whole-vocabulary constraint, and each word spoken as feature frames on the
// model's means between silences; the decoder must find the end of the
// utterance and give that word as its first choice, alone.
#include "core/brevit/acoustic/am_phones.h"
#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/search/decoder.h"
#include "tests/support/counting_allocator.h"
#include "tests/support/linear_chain_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using Words = std::vector<std::pair<int, uint32_t>>;

// Three words, one pron each, of 3, 4 and 2 phones. A state far from every
// frame costs the model's ceiling, so in silence two words of one length
// cost the same to the frame: their ends tie, the tie is a close call of
// difference 0, and the list would order the two by word id alone.
std::vector<vocabulary_fixture::WordSpec> threeWords()
{
    return {{u"call", u"", {"K AO L"}, true}, {u"river", u"", {"R IH V ER"}, true}, {u"zed", u"", {"Z IY"}, true}};
}

// End-pointing on 10 ms frames: 200 ms of final silence, 50 ms of speech;
// the second end-pointer off (its silence not below the first's).
Words endPointing(const Words& more = {})
{
    Words w = {{kBrevitParamMinTrailingSilence, 200},
               {kBrevitParamEndPointerValue1, 50},
               {kBrevitParamSecondEndPointer, 300}};
    w.insert(w.end(), more.begin(), more.end());
    return w;
}

class LinearChainRecognitionTest : public ::testing::Test {
protected:
    LinearChainRecognitionTest() : m_context(m_allocator) {}
    void TearDown() override
    {
        DVKTempMem_DeleteMemStack();
        EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks();
    }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context;
};

// The phone models' states of a pron as the model maps its phonemes.
std::vector<uint16_t> stateSequence(LinearChainFixture& f, uint16_t pron)
{
    std::vector<uint16_t> phonemes(64, 0xFFFF);
    Voc_GetRecogPronunciation(f.voc(), pron, phonemes.data());
    const auto n = static_cast<int32_t>(std::find(phonemes.begin(), phonemes.end(), 0xFFFF) - phonemes.begin());
    std::vector<uint16_t> models(static_cast<size_t>(n) + 1);
    AM_ConvertPhonemesToTriphoneIds(f.model(), phonemes.data(), n, models.data(), 0, 0);
    std::vector<uint16_t> states;
    for (int32_t j = 0; j < n; ++j) {
        const uint16_t* ids = AM_GetModelStateIds(f.model(), models[static_cast<size_t>(j)]);
        states.insert(states.end(), ids, ids + AM_GetNumStatesPerModel(f.model()));
    }
    return states;
}

// 15 frames of silence, each state perState frames, 40 frames of silence.
std::vector<uint8_t> utterance(LinearChainFixture& f, const std::vector<uint16_t>& states, int32_t perState,
                               int32_t silenceState)
{
    std::vector<int32_t> frames(15, silenceState);
    for (uint16_t s : states)
        frames.insert(frames.end(), static_cast<size_t>(perState), s);
    frames.insert(frames.end(), 40, silenceState);
    return f.frames(frames);
}

struct Choices {
    int32_t count = 0;
    std::vector<int32_t> scores;
    std::vector<std::vector<uint32_t>> words;
};

// One utterance through the interface; the choices it gives.
Choices recognise(LinearChainFixture& f, Decoder* d, Constraint* constraint, const std::vector<uint8_t>& data,
                  int32_t limit)
{
    Choices out;
    EXPECT_NE(Decoder_UttInit(d, 0, nullptr, 1, &constraint, 3, 0, 1, 0, 0), 0);
    const int32_t dim = AM_GetFeatureDim(f.model());
    const int32_t side = 0;
    bool ended = false;
    for (size_t t = 0; t * dim < data.size() && !ended; ++t)
        ended = Decoder_ProcessFrame(d, &data[t * static_cast<size_t>(dim)], &side) == kDecoderStateFinished;
    EXPECT_TRUE(ended) << "the frames ran out first";
    Decoder_UttFinish(d, nullptr);
    EXPECT_EQ(Decoder_GetState(d), kDecoderStateFinishedFast);
    out.scores.assign(static_cast<size_t>(limit), 0);
    std::vector<uint32_t> ids(1024, 0);
    std::vector<int16_t> shares(static_cast<size_t>(limit));
    int32_t confidence = -1;
    out.count = Decoder_GetChoicesAndScores(d, nullptr, nullptr, limit, out.scores.data(), shares.data(), 1024,
                                            ids.data(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                            &confidence);
    EXPECT_GE(confidence, 0);
    size_t at = 0;
    for (int32_t c = 0; c < out.count; ++c) {
        std::vector<uint32_t> choice;
        while (ids[at] != kDecoderEndOfChoice)
            choice.push_back(ids[at++]);
        ++at;
        out.words.push_back(choice);
    }
    out.scores.resize(static_cast<size_t>(std::max(out.count, 0)));
    return out;
}

struct Setting {
    std::string name;
    Words words;
    int32_t limit;
    int32_t fewest = 1;  // close calls add competitors
};

} // namespace

TEST_F(LinearChainRecognitionTest, TheWordsStateSequencesTellThemApart)
{
    LinearChainFixture f(threeWords(), 2, endPointing(), true);
    ASSERT_NE(f.model(), nullptr);
    std::vector<std::vector<uint16_t>> seqs;
    for (uint16_t pron = 0; pron < 3; ++pron)
        seqs.push_back(stateSequence(f, pron));
    for (size_t i = 0; i < 3; ++i) {
        ASSERT_FALSE(seqs[i].empty());
        for (size_t j = 0; j < 3; ++j) {
            if (j != i) {
                EXPECT_NE(seqs[i], seqs[j]) << i << " " << j;
            }
            for (size_t k = 0; k < 3; ++k) {
                if (k == i || j == i)
                    continue;
                std::vector<uint16_t> joined = seqs[j];
                joined.insert(joined.end(), seqs[k].begin(), seqs[k].end());
                EXPECT_NE(seqs[i], joined) << i << " = " << j << " + " << k;
            }
        }
    }
}

TEST_F(LinearChainRecognitionTest, EachSpokenWordIsTheFirstChoiceAlone)
{
    const std::vector<Setting> settings = {
        {"best path", {}, 4},
        {"best path, whole vocabulary by parameter", {{kBrevitParamWholeVocabularyConstraint, 1}}, 4},
        {"N-best", {{kBrevitParamCollectChoicesNoTimes, 1}}, 5},
        {"N-best, whole vocabulary by parameter",
         {{kBrevitParamCollectChoicesNoTimes, 1}, {kBrevitParamWholeVocabularyConstraint, 1}},
         5},
        {"close calls",
         {{kBrevitParamCloseCalls, 1}, {kBrevitParamCloseCallRecords, 64}, {kBrevitParamCloseCallMaxKey, 16000}},
         6,
         2},
    };
    for (const Setting& s : settings) {
        LinearChainFixture f(threeWords(), 2, endPointing(s.words), true);
        ASSERT_NE(f.model(), nullptr);
        Constraint* whole = f.wholeVocabulary();
        ASSERT_NE(whole, nullptr);
        LinChDecoder* decoder = f.decoder(10);
        ASSERT_NE(decoder, nullptr);
        Decoder* d = &decoder->base;
        const auto silence = static_cast<int32_t>(decoder->silenceState);
        for (uint16_t pron = 0; pron < 3; ++pron)
            for (int32_t perState : {3, 7}) {
                SCOPED_TRACE(s.name + ", pron " + std::to_string(pron) + ", " + std::to_string(perState) +
                             " frames a state");
                const Choices c = recognise(f, d, whole, utterance(f, stateSequence(f, pron), perState, silence),
                                            s.limit);
                ASSERT_GE(c.count, s.fewest);
                EXPECT_EQ(c.words[0], std::vector<uint32_t>{Voc_PronIdToVocId(f.voc(), pron)});
                EXPECT_TRUE(std::is_sorted(c.scores.begin(), c.scores.end()));
                for (int32_t i = 0; i < c.count; ++i)
                    for (int32_t j = i + 1; j < c.count; ++j)
                        EXPECT_NE(c.words[static_cast<size_t>(i)], c.words[static_cast<size_t>(j)]) << i << " " << j;
            }
    }
}
