// The cepstral synthesiser over a written test voice: an engine context on a
// counting allocator, the voice's vocabulary (its parameter block carries
// the voice's words), and loading of voices written from descriptions.
#pragma once

#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/synthesis/cep_tts.h"
#include "tests/support/archive_fixture.h"
#include "tests/support/counting_allocator.h"
#include "tests/support/synthesis_voice_writer.h"
#include "tests/support/vocabulary_fixture.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

class VoiceTest : public ::testing::Test {
protected:
    void SetUp() override { useParams(synthesis_voice::params(synthesis_voice::testVoice())); }

    void TearDown() override
    {
        for (TTS* t : m_loaded)
            TTS_Delete(t);
        m_loaded.clear();
        m_archives.clear();
        m_vocabulary.reset();
        DVKTempMem_DeleteMemStack();
        EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks();
    }

    // A fresh vocabulary under these parameter words.
    void useParams(const std::vector<std::pair<int, uint32_t>>& params)
    {
        for (TTS* t : m_loaded)
            TTS_Delete(t);
        m_loaded.clear();
        m_vocabulary.reset();
        vocabulary_fixture::Options o = front_end_fixture::vocabularyOptions();
        o.params = params;
        m_vocabulary = std::make_unique<VocabularyFixture>(synthesis_voice::words(), o,
                                                           "voice_vocabulary.dvk");
        ASSERT_NE(m_vocabulary->voc(), nullptr);
    }

    void setParam(int word, uint32_t value) { m_vocabulary->params().words[word] = value; }

    // The written voice's archive, open for reading.
    DVKTar* write(const synthesis_voice::VoiceSpec& spec)
    {
        m_archives.push_back(std::make_unique<ArchiveFixture>("voice" + std::to_string(m_archives.size()) + ".dvk"));
        ArchiveFixture& archive = *m_archives.back();
        EXPECT_TRUE(synthesis_voice::writeVoice(archive.tar(), spec));
        archive.finish();
        return archive.openForRead();
    }

    TTS* load(DVKTar* tar)
    {
        TTS* t = TTS_LoadFromBinFile(tar, nullptr, m_vocabulary->voc());
        if (t != nullptr)
            m_loaded.push_back(t);
        return t;
    }
    TTS* load(const synthesis_voice::VoiceSpec& spec = synthesis_voice::testVoice()) { return load(write(spec)); }

    static CepTTS* cep(TTS* t) { return reinterpret_cast<CepTTS*>(t); }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
    std::unique_ptr<VocabularyFixture> m_vocabulary;
    std::vector<std::unique_ptr<ArchiveFixture>> m_archives;
    std::vector<TTS*> m_loaded;
};

// Runs process calls to the end: every sample, and the code that ended it.
inline int32_t speakToEnd(TTS* t, std::vector<int16_t>& pcm, int32_t block = 160, int32_t callCap = 1000000)
{
    std::vector<int16_t> buffer(static_cast<size_t>(block));
    for (int32_t call = 0; call < callCap; ++call) {
        int32_t n = 0;
        const int32_t code = CepTTS_ProcessUtterancePCM(t, block, buffer.data(), &n);
        pcm.insert(pcm.end(), buffer.begin(), buffer.begin() + n);
        if (code != kTTSDone && code != kTTSCallAgain && code != kTTSNoOutput)
            return code;
    }
    return -1;
}
