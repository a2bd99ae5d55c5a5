#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/acoustic/segmenter.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "tests/brevit/acoustic/acoustic_fixture.h"
#include "tests/support/acoustic_gaussian_set.h"
#include "tests/support/param_block_builder.h"
#include "tests/support/vocabulary_fixture.h"

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int64_t kUnreached = int64_t{1} << 40;

struct Alignment {
    bool ok = false;
    std::vector<uint16_t> durations;
    int64_t score = 0;
};

// Viterbi over the whole lattice with no beam: a state is entered from its
// left neighbour only when that path is strictly cheaper than staying, and
// with the silence ending the second-to-last state ends the alignment only
// when strictly lower than the last.
Alignment bruteForce(const std::vector<std::vector<int32_t>>& cost, int32_t length, bool silenceEnding)
{
    const auto T = static_cast<int32_t>(cost.size());
    std::vector<std::vector<int64_t>> D(static_cast<size_t>(T), std::vector<int64_t>(static_cast<size_t>(length), kUnreached));
    std::vector<std::vector<bool>> entered(D.size(), std::vector<bool>(static_cast<size_t>(length), false));
    D[0][0] = cost[0][0];
    for (int32_t t = 1; t < T; ++t)
        for (int32_t i = 0; i < length; ++i) {
            const auto ti = static_cast<size_t>(t), ii = static_cast<size_t>(i);
            int64_t from = D[ti - 1][ii];
            if (i > 0 && D[ti - 1][ii - 1] < from) {
                from = D[ti - 1][ii - 1];
                entered[ti][ii] = true;
            }
            if (from < kUnreached)
                D[ti][ii] = from + cost[ti][ii];
        }
    int32_t final = length - 1;
    const auto& last = D[static_cast<size_t>(T) - 1];
    if (silenceEnding && length >= 2 && last[static_cast<size_t>(final) - 1] < last[static_cast<size_t>(final)])
        --final;
    Alignment a;
    if (last[static_cast<size_t>(final)] >= kUnreached)
        return a;
    a.ok = true;
    a.score = last[static_cast<size_t>(final)];
    a.durations.assign(static_cast<size_t>(final) + 1, 0);
    int32_t i = final;
    for (int32_t t = T - 1; t >= 0; --t) {
        ++a.durations[static_cast<size_t>(i)];
        if (entered[static_cast<size_t>(t)][static_cast<size_t>(i)])
            --i;
    }
    if (final < length - 1)
        a.durations.push_back(0);
    return a;
}

class SegmenterTest : public AcousticTest {
protected:
    AM* model(std::mt19937& random, int32_t dim, int32_t states)
    {
        // Every state holds a component: an empty one scores as never computed.
        GaussianSet set;
        do
            set = makeGaussianSet(random, dim, 255, 255, 1u << 16, states);
        while (std::adjacent_find(set.offsets.begin(), set.offsets.end()) != set.offsets.end());
        AcousticModelSpec spec = gaussianModelSpec(set, GaussianForm::Words16);
        spec.multiplier = 3000;
        spec.rounding = 8192;
        spec.shift = 12;
        spec.ceiling = 1000;
        return load(spec);
    }
};

TEST_F(SegmenterTest, AlignmentMeetsBruteForceViterbi)
{
    ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamPruneOffset, 15000));
    std::mt19937 random(49);
    const auto pick = [&](int32_t lo, int32_t hi) { return std::uniform_int_distribution<int32_t>(lo, hi)(random); };
    int32_t aligned = 0;
    for (int32_t model_ = 0; model_ < 60; ++model_) {
        const int32_t dim = pick(1, 5);
        const int32_t states = pick(1, 6);
        AM* am = model(random, dim, states);
        ASSERT_NE(am, nullptr);
        std::unique_ptr<AMScoringSet, void (*)(AMScoringSet*)> set(AM_NewScoringSet(), AM_DeleteScoringSet);
        AM_GetScoringFunctions(am, set.get(), 0, 0);
        Segmenter* seg = Segmenter_Create(am, nullptr, 10);
        ASSERT_NE(seg, nullptr);
        for (int32_t c = 0; c < 50; ++c) {
            const int32_t length = pick(1, 7);
            const int32_t T = pick(2, 12);
            const bool silence = (c % 2) != 0;
            std::vector<uint16_t> chain(static_cast<size_t>(length));
            for (auto& s : chain)
                s = static_cast<uint16_t>(pick(0, states - 1));
            std::vector<std::vector<uint8_t>> frames(static_cast<size_t>(T), std::vector<uint8_t>(static_cast<size_t>(dim)));
            for (auto& f : frames)
                for (auto& b : f)
                    b = static_cast<uint8_t>(pick(0, 255));
            const int16_t value = 0;
            std::vector<std::vector<int32_t>> cost(static_cast<size_t>(T), std::vector<int32_t>(chain.size()));
            AM_ResetFrameState(am);
            for (int32_t t = 0; t < T; ++t) {
                AM_NewFrame(am, frames[static_cast<size_t>(t)].data(), &value, set.get(), t, 0);
                for (size_t i = 0; i < chain.size(); ++i)
                    cost[static_cast<size_t>(t)][i] = AM_GetStateScoreUncached(am, chain[i]);
                AM_EndFrame(am, 0, nullptr);
            }
            std::vector<int16_t> positions(chain.size(), 0);
            std::vector<uint16_t> durations(chain.size() + 1, 0xFFFF);
            int32_t count = -1;
            const int32_t started =
                Segmenter_Start(seg, T, 0, 1 << 30, silence, 1, 0, nullptr, 0, nullptr, length, chain.data(),
                                positions.data(), durations.data(), &count, nullptr);
            if (length > T) {
                EXPECT_EQ(started, 0);
                EXPECT_EQ(seg->state, 3);
                continue;
            }
            ASSERT_EQ(started, 1);
            EXPECT_EQ(count, length);
            for (int32_t t = 0; t < T; ++t)
                ASSERT_EQ(Segmenter_ProcessFrame(seg, frames[static_cast<size_t>(t)].data(), &value, set.get()), 1)
                    << "frame " << t << " of " << T << " length " << length << " cost " << cost[static_cast<size_t>(t)][0]
                    << " word " << BrevitParam_Word(kBrevitParamPruneOffset);
            int32_t score = 0;
            const int32_t finished = Segmenter_Finish(seg, 0, &score);
            const Alignment want = bruteForce(cost, length, silence);
            SCOPED_TRACE(::testing::Message() << "model " << model_ << " case " << c);
            ASSERT_EQ(finished == 0, want.ok);
            if (!want.ok)
                continue;
            ++aligned;
            EXPECT_EQ(score, want.score);
            for (size_t i = 0; i < want.durations.size(); ++i)
                ASSERT_EQ(durations[i], want.durations[i]) << "state " << i;
        }
        Segmenter_Delete(seg);
    }
    EXPECT_GT(aligned, 1000);
}

TEST_F(SegmenterTest, StartRefusesWhatCannotBeAligned)
{
    std::mt19937 random(3);
    AM* am = model(random, 4, 3);
    ASSERT_NE(am, nullptr);
    EXPECT_EQ(Segmenter_Create(am, nullptr, 0), nullptr);
    Segmenter* seg = Segmenter_Create(am, nullptr, 10);
    ASSERT_NE(seg, nullptr);
    uint16_t chain[3] = {0, 1, 2};
    int16_t positions[3] = {};
    uint16_t durations[4] = {};
    const struct {
        const char* name;
        int32_t maxFrames;
        int32_t length;
        int32_t result;
        int32_t state;
    } cases[] = {
        {"maximum frames 1", 1, 1, 0, 3},
        {"longer than the maximum frames", 2, 3, 0, 3},
        {"fits", 3, 3, 1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        int32_t count = 0;
        EXPECT_EQ(Segmenter_Start(seg, c.maxFrames, 0, 0, 0, 1, 0, nullptr, 0, nullptr, c.length, chain, positions,
                                  durations, &count, nullptr),
                  c.result);
        EXPECT_EQ(seg->state, c.state);
    }
    // A failed aligner answers 3 to every frame and finishes with 3.
    seg->state = 3;
    EXPECT_EQ(Segmenter_ProcessFrame(seg, nullptr, nullptr, nullptr), 3);
    int32_t score = 0;
    EXPECT_EQ(Segmenter_Finish(seg, 0, &score), 3);
    EXPECT_EQ(seg->state, 0);
    Segmenter_Delete(seg);
}

TEST_F(SegmenterTest, EveryAllocationFailingInTurnLeavesNothing)
{
    std::mt19937 random(5);
    AM* am = model(random, 4, 3);
    ASSERT_NE(am, nullptr);
    uint16_t chain[3] = {0, 1, 2};
    int16_t positions[3] = {};
    uint16_t durations[4] = {};
    for (uint64_t n = 1;; ++n) {
        const uint64_t before = m_allocator.liveBlocks();
        const uint64_t failures = m_allocator.failures();
        m_allocator.failAt(m_allocator.calls() + n);
        Segmenter* seg = Segmenter_Create(am, nullptr, 10);
        int32_t started = 0;
        if (seg != nullptr) {
            int32_t count = 0;
            started = Segmenter_Start(seg, 40, 0, 0, 1, 1, 0, nullptr, 0, nullptr, 3, chain, positions, durations,
                                      &count, nullptr);
            EXPECT_EQ(seg->state, started ? 1 : 3);
        }
        Segmentation* record = Segmentation_Create(nullptr, 5);
        const bool failed = m_allocator.failures() != failures;
        m_allocator.failAt(0);
        Segmentation_Delete(record);
        Segmenter_Delete(seg);
        EXPECT_EQ(m_allocator.liveBlocks(), before) << "failing call " << n;
        if (!failed) {
            EXPECT_EQ(started, 1);
            break;
        }
        ASSERT_LT(n, 50u);
    }
}

// Tree A's eight states, one component each, four dimensions, one global
// weight row: a frame at a state's own mean costs 24. Phonemes 1 2 2 with
// silence expand to states 0 2 3 6 7 4 7 0.
TEST_F(SegmenterTest, PhonemesWithSilenceAlignHeldFrames)
{
    ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamPruneOffset, 5000));
    AcousticModelSpec spec;
    spec.dim = 4;
    spec.singleComponent = true;
    spec.covType = 2;
    spec.weights = {1, 1, 1, 1};
    spec.constants = {1000};
    spec.means.clear();
    for (int32_t s = 0; s < 8; ++s)
        for (int v : {10 + 25 * s, 10 + 25 * s, 200 - 25 * s, 200 - 25 * s})
            spec.means.push_back(static_cast<uint8_t>(v));
    AM* am = load(spec);
    ASSERT_NE(am, nullptr);
    std::unique_ptr<AMScoringSet, void (*)(AMScoringSet*)> set(AM_NewScoringSet(), AM_DeleteScoringSet);
    AM_GetScoringFunctions(am, set.get(), 0, 0);
    {
        // Too little room for the chain leaves the aligner idle; a phoneme
        // without a phone model fails it.
        Segmenter* seg = Segmenter_Create(am, nullptr, 10);
        ASSERT_NE(seg, nullptr);
        uint16_t phonemes[4] = {1, 2, 2, 9};
        uint16_t chain[16] = {};
        int16_t positions[16] = {};
        uint16_t durations[17] = {};
        int32_t count = 0;
        EXPECT_EQ(Segmenter_Start(seg, 100, 0, 200, 1, 0, 0, nullptr, 3, phonemes, 7, chain, positions, durations,
                                  &count, nullptr),
                  0);
        EXPECT_EQ(seg->state, 0);
        EXPECT_EQ(Segmenter_Start(seg, 100, 0, 200, 1, 0, 0, nullptr, 4, phonemes, 16, chain, positions, durations,
                                  &count, nullptr),
                  0);
        EXPECT_EQ(seg->state, 3);
        Segmenter_Delete(seg);
    }
    const std::vector<uint16_t> held = {5, 3, 4, 2, 5, 3, 4};
    const auto meanOf = [&](int32_t s) {
        const auto v = static_cast<uint8_t>(10 + 25 * s), w = static_cast<uint8_t>(200 - 25 * s);
        return std::vector<uint8_t>{v, v, w, w};
    };
    for (const int32_t frames : {0, 40}) {
        SCOPED_TRACE(frames == 0 ? "to the stable silence" : "40 frames then finish");
        Segmenter* seg = Segmenter_Create(am, nullptr, 10);
        ASSERT_NE(seg, nullptr);
        uint16_t phonemes[16] = {1, 2, 2};
        uint16_t chain[16] = {};
        int16_t positions[16] = {};
        uint16_t durations[17] = {};
        int32_t count = 0;
        ASSERT_EQ(Segmenter_Start(seg, 100, 0, 200, 1, 0, 0, nullptr, 3, phonemes, 16, chain, positions, durations,
                                  &count, nullptr),
                  1);
        ASSERT_EQ(count, 8);
        EXPECT_EQ(std::vector<uint16_t>(chain, chain + 8), (std::vector<uint16_t>{0, 2, 3, 6, 7, 4, 7, 0}));
        std::vector<std::vector<uint8_t>> input;
        for (size_t i = 0; i < held.size(); ++i)
            for (int32_t k = 0; k < held[i]; ++k)
                input.push_back(meanOf(chain[i]));
        for (int32_t k = 0; k < 40; ++k)
            input.push_back(meanOf(0));
        const int16_t value = 0;
        int32_t result = 1, processed = 0;
        const auto limit = frames == 0 ? input.size() : static_cast<size_t>(frames);
        for (size_t f = 0; f < limit && result == 1; ++f, ++processed)
            result = Segmenter_ProcessFrame(seg, input[f].data(), &value, set.get());
        int32_t score = 0;
        ASSERT_EQ(Segmenter_Finish(seg, 0, &score), 0);
        EXPECT_EQ(result, frames == 0 ? 2 : 1);
        EXPECT_EQ(processed, frames == 0 ? 46 : 40);
        EXPECT_EQ(score, 24 * processed);
        const std::vector<uint16_t> want = {5, 3, 4, 2, 5, 3, 4, static_cast<uint16_t>(frames == 0 ? 20 : 14)};
        EXPECT_EQ(std::vector<uint16_t>(durations, durations + 8), want);
        // The speech lies between the two silences: frames 5 to 26.
        Segmentation* record = Segmentation_Alloc(8, 1);
        ASSERT_NE(record, nullptr);
        for (int32_t i = 0; i < 8; ++i) {
            record->stateIds[i] = chain[i];
            record->durations[i] = durations[i];
            record->frameCount += durations[i];
        }
        record->stateCount = 8;
        EXPECT_EQ(Segmentation_GetFirstSpeechFrame(record), 5);
        EXPECT_EQ(Segmentation_GetLastSpeechFrame(record), 26);
        EXPECT_EQ(Segmentation_CountSpeechFrames(record), 26 - 5);
        Segmentation_Delete(record);
        Segmenter_Delete(seg);
    }
}

Segmentation* filled(int32_t states, int32_t words, int32_t score)
{
    Segmentation* s = Segmentation_Alloc(states, words);
    if (s == nullptr)
        return nullptr;
    for (int32_t i = 0; i < states; ++i) {
        s->stateIds[i] = static_cast<uint16_t>(i % 3);
        s->durations[i] = static_cast<uint16_t>(i + 1);
        s->wordPositions[i] = static_cast<int16_t>(i / 2);
        s->phonemeIds[i] = static_cast<uint16_t>(10 + i);
        s->frameCount += i + 1;
    }
    for (int32_t w = 0; w < words; ++w) {
        s->pronIds[w] = static_cast<uint16_t>(w + 7);
        s->wordFlags[w] = static_cast<uint8_t>(w % 2);
    }
    s->stateCount = states;
    s->wordCount = words;
    s->score = score;
    return s;
}

TEST_F(SegmenterTest, SegmentationRecordsCopyCloneAndCount)
{
    Segmentation* most = Segmentation_Create(nullptr, kSegmentationMaxWords);
    ASSERT_NE(most, nullptr);
    EXPECT_EQ(most->stateCapacity, 3 * kSegmentationMaxWords + 1);
    EXPECT_EQ(most->wordCount, kSegmentationMaxWords);
    EXPECT_EQ(most->pronIds[999], kSegmentationUnsetPron);
    EXPECT_EQ(most->score, kSegmentationNoScore);
    Segmentation_Delete(most);
    EXPECT_EQ(Segmentation_Create(nullptr, kSegmentationMaxWords + 1), nullptr);
    EXPECT_EQ(Segmentation_Create(nullptr, 0), nullptr);
    EXPECT_EQ(Segmentation_Alloc(0, 1), nullptr);

    Segmentation* a = filled(6, 3, 500);
    Segmentation* clone = Segmentation_Clone(a);
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(Segmentation_ComputeCRC(clone), Segmentation_ComputeCRC(a));
    EXPECT_EQ(Segmentation_GetNumFrames(clone), 21);
    EXPECT_EQ(Segmentation_GetFirstSpeechFrame(clone), 1);
    EXPECT_EQ(Segmentation_GetLastSpeechFrame(clone), 15);
    // States 1, 2, 4 of the first five have a non-zero id: 2 + 3 + 5.
    EXPECT_EQ(Segmentation_CountSpeechFrames(clone), 10);

    Segmentation* b = filled(6, 3, 500);
    b->durations[0] = 9;
    Segmentation_CopyIfBetter(a, b);   // equal scores: nothing copied
    EXPECT_EQ(a->durations[0], 1);
    b->score = 499;
    Segmentation_CopyIfBetter(a, b);
    EXPECT_EQ(a->durations[0], 9);
    EXPECT_EQ(Segmentation_ComputeCRC(a), Segmentation_ComputeCRC(b));

    // Per-frame arrays: one entry per frame, refused unless n and total fit.
    std::vector<uint16_t> ids(21, 0xBEEF);
    EXPECT_EQ(Segmentation_GetPhonemeArray(clone, 20, ids.data(), 21), 0);
    EXPECT_EQ(Segmentation_GetPhonemeArray(clone, 21, ids.data(), 20), 0);
    ASSERT_EQ(Segmentation_GetPhonemeArray(clone, 21, ids.data(), 21), 1);
    EXPECT_EQ(ids[0], 0);
    EXPECT_EQ(ids[1], 1);
    EXPECT_EQ(ids[20], 2);
    std::vector<uint8_t> speech(25, 7);
    ASSERT_EQ(Segmentation_GetSpeechFrames(clone, 25, speech.data(), 21), 1);
    EXPECT_EQ(speech[0], 0);
    EXPECT_EQ(speech[1], 1);
    EXPECT_EQ(speech[24], 0);

    // Resizing grows the ids and the flags together; the word count is 0.
    ASSERT_EQ(Segmentation_ResizeFrames(a, 40), 1);
    EXPECT_EQ(a->wordCount, 0);
    EXPECT_EQ(a->pronIds[39], kSegmentationUnsetPron);
    a->wordCount = 40;
    Segmentation* big = Segmentation_Alloc(8, 40);
    Segmentation_Copy(big, a);
    EXPECT_EQ(big->wordCount, 40);
    EXPECT_EQ(big->stateCount, 6);
    Segmentation_Reset(big);
    EXPECT_EQ(big->score, kSegmentationNoScore);
    EXPECT_EQ(Segmentation_Clone(big), nullptr);
    EXPECT_EQ(Segmentation_ComputeCRC(nullptr), 0xFFFFFFFFu);
    for (Segmentation* s : {a, b, clone, big})
        Segmentation_Delete(s);
}

// Words of the default vocabulary aligned between silences: "call" over
// frames 3-6, a pause (its own silence pron) 7-8, "New York" 9-12 and
// "river" 13-15, final silence 16-19.
TEST_F(SegmenterTest, PartialTranscriptGivesTheWordsOfAFrameRange)
{
    VocabularyFixture vocabulary;
    Voc* voc = vocabulary.load();
    ASSERT_NE(voc, nullptr);
    Segmentation* seg = Segmentation_Alloc(8, 4);
    ASSERT_NE(seg, nullptr);
    const uint16_t durations[] = {3, 2, 2, 2, 2, 2, 3, 4};
    const int16_t positions[] = {-1, 0, 0, 1, 2, 2, 3, -1};
    for (int32_t i = 0; i < 8; ++i) {
        seg->durations[i] = durations[i];
        seg->wordPositions[i] = positions[i];
        seg->stateIds[i] = static_cast<uint16_t>(positions[i] < 0 ? 0 : 5);
    }
    const uint16_t prons[] = {0, kSegmentationSilencePron, 1, 2};
    for (int32_t w = 0; w < 4; ++w)
        seg->pronIds[w] = prons[w];
    seg->wordFlags[2] = 1;
    seg->stateCount = 8;
    seg->wordCount = 4;
    seg->frameCount = 20;
    const auto pronText = [&](int32_t pron) {
        char t[64] = {};
        Voc_GetPronWordNameText(voc, pron, sizeof t, t, 0);
        return std::string(t);
    };
    const struct {
        int32_t first, last, mode, mark;
        std::string want;
    } cases[] = {
        {0, 19, 0, 0, "call New_York\\new_york river"},
        {0, 19, 0, 1, "call New_York\\new_york(S) river"},
        {5, 12, 0, 0, "call New_York\\new_york"},
        {7, 15, 0, 0, "New_York\\new_york river"},
        {0, 2, 0, 0, ""},
        {17, 19, 0, 0, ""},
        {0, 19, 1, 1, pronText(0) + " " + pronText(1) + "(S) " + pronText(2)},
    };
    for (const auto& c : cases) {
        char text[128];
        ASSERT_EQ(Segmentation_GetPartialTranscript(seg, voc, c.first, c.last, text, sizeof text, c.mode, c.mark), 1);
        EXPECT_EQ(std::string(text), c.want) << c.first << "-" << c.last << " mode " << c.mode;
    }
    // A word position past the word count stands for no word; a short text
    // holds what fits.
    seg->wordPositions[6] = 9;
    char text[128];
    Segmentation_GetPartialTranscript(seg, voc, 0, 19, text, sizeof text, 0, 0);
    EXPECT_EQ(std::string(text), "call New_York\\new_york");
    char small[6];
    Segmentation_GetPartialTranscript(seg, voc, 0, 19, small, sizeof small, 0, 0);
    EXPECT_EQ(std::string(small), "call ");
    Segmentation_Delete(seg);
    // The word texts are built in the scratch stack, which the context would
    // only free after the fixture counts its blocks.
    DVKTempMem_DeleteMemStack();
}

// A vocabulary over the model's own phonemes: each word's pron expands as
// its phonemes would alone, across words (cross-word contexts) as the
// joined phonemes would, and a pause flag puts a silence after its word.
TEST_F(SegmenterTest, PronunciationsExpandAsTheirPhonemes)
{
    AcousticModelSpec spec;
    spec.dim = 4;
    spec.singleComponent = true;
    spec.covType = 2;
    spec.weights = {1, 1, 1, 1};
    spec.constants = {1000};
    AM* am = load(spec);
    ASSERT_NE(am, nullptr);
    VocabularyFixture::Options options;
    options.phonemes = {"h#", "ph1", "ph2"};
    VocabularyFixture vocabulary({{u"abb", u"", {"ph1 ph2 ph2"}, true}, {u"ba", u"", {"ph2 ph1"}, true}}, options);
    Voc* voc = vocabulary.load();
    ASSERT_NE(voc, nullptr);

    // The chain of a phoneme sequence alone, without silences.
    const auto phonemeChain = [&](std::vector<uint16_t> phonemes) {
        Segmenter* seg = Segmenter_Create(am, nullptr, 10);
        std::vector<uint16_t> chain(32);
        std::vector<int16_t> positions(32);
        std::vector<uint16_t> durations(33);
        int32_t count = 0;
        EXPECT_EQ(Segmenter_Start(seg, 100, 0, 200, 0, 0, 0, nullptr, static_cast<int32_t>(phonemes.size()),
                                  phonemes.data(), 32, chain.data(), positions.data(), durations.data(), &count,
                                  nullptr),
                  1);
        Segmenter_Delete(seg);
        chain.resize(static_cast<size_t>(count));
        return chain;
    };
    const std::vector<uint16_t> first = phonemeChain({1, 2, 2}), second = phonemeChain({2, 1});
    const std::vector<uint16_t> joined = phonemeChain({1, 2, 2, 2, 1});
    const uint16_t sil = AM_GetSilenceStateId(am);

    const uint16_t prons[2] = {0, 1};
    const struct {
        int32_t crossWord;
        std::vector<uint8_t> flags;
    } cases[] = {{0, {0, 0}}, {1, {0, 0}}, {1, {1, 0}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "cross-word " << c.crossWord << " pause " << int{c.flags[0]});
        std::vector<uint16_t> wantStates = {sil}, wantPhonemes = {0};
        std::vector<int16_t> wantPositions = {-1};
        const auto add = [&](const std::vector<uint16_t>& states, size_t from, size_t to, int16_t word,
                             const std::vector<uint16_t>& centres) {
            for (size_t i = from; i < to; ++i) {
                wantStates.push_back(states[i]);
                wantPositions.push_back(word);
                wantPhonemes.push_back(centres[(i - from) / static_cast<size_t>(am->statesPerModel)]);
            }
        };
        const size_t split = first.size();
        const bool crossed = c.crossWord != 0 && c.flags[0] == 0;
        add(crossed ? joined : first, 0, split, 0, {1, 2, 2});
        if (c.flags[0] != 0) {
            wantStates.push_back(sil);
            wantPositions.push_back(1);
            wantPhonemes.push_back(0);
        }
        add(crossed ? joined : second, crossed ? split : 0, crossed ? joined.size() : second.size(), 1, {2, 1});
        wantStates.push_back(sil);
        wantPositions.push_back(-1);
        wantPhonemes.push_back(0);

        Segmenter* seg = Segmenter_Create(am, voc, 10);
        ASSERT_NE(seg, nullptr);
        std::vector<uint16_t> chain(32), phonemes(32), durations(33);
        std::vector<int16_t> positions(32);
        int32_t count = 0;
        ASSERT_EQ(Segmenter_Start(seg, 100, c.crossWord, 200, 1, 0, 2, prons, 0, phonemes.data(), 32, chain.data(),
                                  positions.data(), durations.data(), &count, c.flags.data()),
                  1);
        Segmenter_Delete(seg);
        ASSERT_EQ(static_cast<size_t>(count), wantStates.size());
        EXPECT_EQ(std::vector<uint16_t>(chain.begin(), chain.begin() + count), wantStates);
        EXPECT_EQ(std::vector<int16_t>(positions.begin(), positions.begin() + count), wantPositions);
        EXPECT_EQ(std::vector<uint16_t>(phonemes.begin(), phonemes.begin() + count), wantPhonemes);
    }
    // Without a vocabulary the pronunciation path fails.
    Segmenter* seg = Segmenter_Create(am, nullptr, 10);
    std::vector<uint16_t> chain(32), phonemes(32), durations(33);
    std::vector<int16_t> positions(32);
    int32_t count = 0;
    EXPECT_EQ(Segmenter_Start(seg, 100, 0, 200, 1, 0, 2, prons, 0, phonemes.data(), 32, chain.data(),
                              positions.data(), durations.data(), &count, nullptr),
              0);
    EXPECT_EQ(seg->state, 3);
    Segmenter_Delete(seg);
}

// Room for three states per phoneme of the vocabulary's longest pron, and
// a silence around each word: "New York" has six phonemes.
TEST_F(SegmenterTest, SegmentationHoldsTheLongestPronunciation)
{
    VocabularyFixture vocabulary;
    Voc* voc = vocabulary.load();
    ASSERT_NE(voc, nullptr);
    ASSERT_EQ(Voc_GetMaxRecogPronunciationLength(voc), 6);
    for (const int32_t words : {1, 4, kSegmentationMaxWords}) {
        Segmentation* seg = Segmentation_Create(voc, words);
        ASSERT_NE(seg, nullptr);
        EXPECT_EQ(seg->stateCapacity, 3 * words * (1 + 6) + 1);
        EXPECT_EQ(seg->wordCount, words);
        Segmentation_Delete(seg);
    }
    EXPECT_EQ(Segmentation_Create(voc, kSegmentationMaxWords + 1), nullptr);
}

} // namespace
