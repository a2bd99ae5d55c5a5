// Re-decoding choice records: frames of one record's words make that record
// the lowest; with boundary variants each record keeps its best variant and
// its flags, a pause between the words choosing the flagged one.
#include "core/brevit/search/fast_decoder.h"

#include "core/brevit/acoustic/am.h"
#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/frontend/utterance.h"
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/search/choice_record.h"
#include "tests/brevit/search/decoder/decoder_test.h"
#include "tests/support/linear_chain_fixture.h"

#include <set>
#include <vector>

namespace {

using linear_chain_fixture::fastPreset;
using linear_chain_fixture::treeOver;

class FastRescoreTest : public DecoderTest {};

// The phone model of a phoneme in the fixture's context-free model set.
int32_t modelOf(AM* model, uint16_t phoneme)
{
    return phoneme == 0 ? 0 : 1 + phoneme % (AM_GetNumPhoneModels(model) - 1);
}

std::vector<uint16_t> phonemesOf(Voc* voc, int32_t pron)
{
    std::vector<uint16_t> buffer(static_cast<size_t>(Voc_GetMaxRecogPronunciationLength(voc) + 2));
    const int32_t n = Voc_GetRecogPronunciation(voc, pron, buffer.data());
    buffer.resize(static_cast<size_t>(std::max(n, 0)));
    return buffer;
}

// Three prons of at least two phonemes whose model strings all differ.
std::vector<int32_t> distinctProns(AM* model, Voc* voc)
{
    std::vector<int32_t> out;
    std::set<std::vector<int32_t>> seen;
    for (int32_t p = 0; p <= Voc_GetNumActiveEntries(voc) && out.size() < 3; ++p) {
        const auto ph = phonemesOf(voc, p);
        if (ph.size() < 2)
            continue;
        std::vector<int32_t> models;
        for (uint16_t c : ph)
            models.push_back(modelOf(model, c));
        if (seen.insert(models).second)
            out.push_back(p);
    }
    return out;
}

struct Spoken {
    std::vector<uint8_t> frames;
    int32_t count = 0;
};

// Silence, each state of each phoneme's model twice, `pause` silence frames
// between the words, silence.
Spoken speak(LinearChainFixture& f, Voc* voc, const std::vector<int32_t>& prons, int32_t pause)
{
    AM* model = f.model();
    const int32_t silence = AM_GetSilenceStateId(model);
    std::vector<int32_t> seq(3, silence);
    for (size_t w = 0; w < prons.size(); ++w) {
        if (w > 0)
            seq.insert(seq.end(), static_cast<size_t>(pause), silence);
        for (uint16_t c : phonemesOf(voc, prons[w])) {
            const uint16_t* s = AM_GetModelStateIds(model, modelOf(model, c));
            for (int32_t q = 0; q < AM_GetNumStatesPerModel(model); ++q)
                seq.insert(seq.end(), 2, s[q]);
        }
    }
    seq.insert(seq.end(), 3, silence);
    return {f.frames(seq), static_cast<int32_t>(seq.size())};
}

ChoiceRecord record(std::vector<int32_t> prons, int32_t secondary)
{
    ChoiceRecord r{};
    r.secondary = secondary;
    r.wordCount = static_cast<int32_t>(prons.size());
    for (size_t i = 0; i < prons.size(); ++i)
        r.prons[i] = static_cast<uint16_t>(prons[i]);
    return r;
}

TEST_F(FastRescoreTest, TheSpokenRecordScoresLowestAndKeepsItsBestVariant)
{
    LinearChainFixture f(2, fastPreset(), true);
    Voc* voc = f.voc();
    const std::vector<int32_t> p = distinctProns(f.model(), voc);
    ASSERT_EQ(p.size(), 3u);
    Decoder* d = FastDecoder_Create(treeOver(f.model(), {{1, 2}, {3}}), voc, f.model(), 10);
    ASSERT_NE(d, nullptr);
    FastDecoder_SetSearchParameters(d, 0, 20000, 0, 0, 30000);

    struct Case {
        std::vector<int32_t> spoken;
        int32_t pause;
        bool variants;
        int32_t keptVariant;
    };
    const Case cases[] = {
        {{p[1], p[2]}, 0, false, 0},
        {{p[0]}, 0, false, 0},
        {{p[1], p[2]}, 4, true, 1},
        {{p[1], p[2]}, 0, true, 0},
        {{p[2], p[0]}, 3, true, 1},
    };
    for (const Case& c : cases) {
        ChoiceRecord records[] = {record({p[0]}, 1), record({p[1], p[2]}, 2), record({p[2]}, 3),
                                  record({p[2], p[0]}, 4)};
        int32_t count = 4;
        int32_t kept[4] = {-1, -1, -1, -1};
        Spoken s = speak(f, voc, c.spoken, c.pause);
        const int32_t dim = AM_GetFeatureDim(f.model());
        Utterance* utt = Utterance_CreateOnBuffer(s.frames.data(), nullptr, s.count, dim);
        ASSERT_NE(utt, nullptr);
        Utterance_Load(utt, 0, s.count);
        FastDecoder_RescoreChoiceRecords(d, &count, records, utt, 0, nullptr, 0, 0, c.variants ? kept : nullptr);
        Utterance_Delete(utt);
        ASSERT_GE(count, 1);
        EXPECT_EQ(records[0].wordCount, static_cast<int32_t>(c.spoken.size()));
        for (size_t w = 0; w < c.spoken.size(); ++w)
            EXPECT_EQ(records[0].prons[w], c.spoken[w]);
        for (int32_t i = 1; i < count; ++i)
            EXPECT_LT(records[0].score, records[i].score);
        for (int32_t i = count; i < 4; ++i)
            EXPECT_EQ(records[i].score, kDecoderNoScore);
        if (c.variants) {
            EXPECT_EQ(kept[0], c.keptVariant);
            if (c.spoken.size() > 1) {
                EXPECT_EQ(records[0].flags[0], c.keptVariant);
            }
        }
    }
    // The decoder's own tree and vocabulary are back.
    EXPECT_EQ(d->vocabulary, voc);
    EXPECT_EQ(LexTree_GetNumTrees(FastDecoder_Of(d)->tree), 1);
    Decoder_Delete(d, 0);
}

TEST_F(FastRescoreTest, EachAllocationFailingLeavesNothingBehind)
{
    LinearChainFixture f(2, fastPreset(), true);
    Voc* voc = f.voc();
    const std::vector<int32_t> p = distinctProns(f.model(), voc);
    ASSERT_EQ(p.size(), 3u);
    Decoder* d = FastDecoder_Create(treeOver(f.model(), {{1, 2}}), voc, f.model(), 10);
    ASSERT_NE(d, nullptr);
    FastDecoder_SetSearchParameters(d, 0, 20000, 0, 0, 30000);
    Spoken s = speak(f, voc, {p[1], p[2]}, 2);
    Utterance* utt = Utterance_CreateOnBuffer(s.frames.data(), nullptr, s.count, AM_GetFeatureDim(f.model()));
    ASSERT_NE(utt, nullptr);
    Utterance_Load(utt, 0, s.count);
    // A first run grows the decoder's hypothesis buffer, which it keeps.
    {
        ChoiceRecord records[] = {record({p[0]}, 1), record({p[1], p[2]}, 2)};
        int32_t count = 2;
        int32_t kept[2] = {};
        FastDecoder_RescoreChoiceRecords(d, &count, records, utt, 0, nullptr, 0, 0, kept);
        ASSERT_EQ(count, 2);
    }
    // More allocations than the shared helper walks: each in turn here.
    bool failed = true;
    for (uint64_t n = 1; failed && n < 5000; ++n) {
        const uint64_t failures = m_allocator.failures();
        const size_t before = m_allocator.liveBlocks();
        m_allocator.failAt(m_allocator.calls() + n);
        ChoiceRecord records[] = {record({p[0]}, 1), record({p[1], p[2]}, 2)};
        int32_t count = 2;
        int32_t kept[2] = {};
        FastDecoder_RescoreChoiceRecords(d, &count, records, utt, 0, nullptr, 0, 0, kept);
        failed = m_allocator.failures() != failures;
        m_allocator.failAt(0);
        EXPECT_EQ(m_allocator.liveBlocks(), before) << "failing allocation " << n;
        if (!failed) {
            EXPECT_EQ(count, 2);
            EXPECT_EQ(records[0].prons[0], p[1]);
        } else if (records[0].score == 0) {
            // Untouched: nothing was scored.
            EXPECT_EQ(count, 2);
        }
        if (HasFailure())
            break;
    }
    EXPECT_FALSE(failed);
    Utterance_Delete(utt);
    Decoder_Delete(d, 0);
}

}  // namespace
