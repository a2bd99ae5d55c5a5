// Speech end to end: a model set with the test voice, created as the
// service creates it, spoken through the engine's entry points.
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/brevit/api/create/model_set_fixture.h"

#include <vector>

namespace {

const uint16_t kHelloWorld[] = {u'h', u'e', u'l', u'l', u'o', u' ', u'w', u'o', u'r', u'l', u'd', 0};

model_set::ModelSetSpec speakingSet()
{
    model_set::ModelSetSpec spec;
    spec.synthesis = synthesis_voice::testVoice();
    spec.words = synthesis_voice::words();
    spec.vocabulary = front_end_fixture::vocabularyOptions();
    for (const auto& [word, value] : synthesis_voice::params(*spec.synthesis))
        spec.params.word(word, value);
    return spec;
}

// Fetches 160 samples at a time until done; the last result.
EBrevit speak(BrevitEngine* e, std::vector<int16_t>& pcm)
{
    int16_t block[160];
    for (int call = 0; call < 100000; ++call) {
        int32_t n = 0, done = 0;
        const EBrevit r = Brevit_ProcessTTSPCM(e, 160, block, &n, &done);
        pcm.insert(pcm.end(), block, block + n);
        if (r != EBrevit_OK || done)
            return r;
    }
    return EBrevit_EngineError;
}

using Speech = ModelSetTest;

TEST_F(Speech, HelloWorldFromTextAndIds)
{
    BrevitEngine* e = created(speakingSet());
    ASSERT_NE(e, nullptr);
    ASSERT_NE(e->synthesis, nullptr);
    int32_t encoding = 0;
    EXPECT_EQ(Brevit_GetTTSEncoding(e, &encoding), EBrevit_OK);
    EXPECT_EQ(encoding, 4);
    ASSERT_EQ(Brevit_StartTTSFromTextU(e, kHelloWorld, 4, 16000, 100, 0), EBrevit_OK);
    std::vector<int16_t> pcm;
    ASSERT_EQ(speak(e, pcm), EBrevit_OK);
    EXPECT_GT(pcm.size(), 0u);
    EXPECT_EQ(pcm.size() % 80, 0u);
    // Half the rate, half the samples; the same start again, the same PCM.
    ASSERT_EQ(Brevit_StartTTSFromTextU(e, kHelloWorld, 4, 8000, 100, 0), EBrevit_OK);
    std::vector<int16_t> half;
    ASSERT_EQ(speak(e, half), EBrevit_OK);
    EXPECT_EQ(half.size() * 2, pcm.size());
    ASSERT_EQ(Brevit_StartTTSFromTextU(e, kHelloWorld, 4, 16000, 100, 0), EBrevit_OK);
    std::vector<int16_t> again;
    ASSERT_EQ(speak(e, again), EBrevit_OK);
    EXPECT_EQ(again, pcm);
    // The two words' ids speak as the text does.
    std::vector<VocId> ids;
    {
        ScopedEngineContext context(*m_allocators.back());
        for (const char16_t* word : {u"hello", u"world"})
            ids.push_back(Voc_LookupIdFromOrthography(e->vocabulary, reinterpret_cast<const uint16_t*>(word)));
    }
    ASSERT_EQ(Brevit_StartTTSFromIds(e, ids.data(), 2, 4, 16000, 100, 0), EBrevit_OK);
    std::vector<int16_t> byIds;
    ASSERT_EQ(speak(e, byIds), EBrevit_OK);
    EXPECT_EQ(byIds, pcm);
    // With the pause lengths of the voice's own the fetch loop still ends.
    e->parameters->words[kBrevitParamPauseUnits] = 1;
    ASSERT_EQ(Brevit_StartTTSFromTextU(e, kHelloWorld, 4, 16000, 200, 0), EBrevit_OK);
    std::vector<int16_t> fast;
    ASSERT_EQ(speak(e, fast), EBrevit_OK);
    EXPECT_GT(fast.size(), 0u);
    EXPECT_EQ(Brevit_StopTTS(e), EBrevit_OK);
    CountingAllocator* allocator = m_allocators.back().get();
    destroy(e);
    EXPECT_EQ(allocator->liveBlocks(), 0u) << allocator->describeLeaks();
}

} // namespace
