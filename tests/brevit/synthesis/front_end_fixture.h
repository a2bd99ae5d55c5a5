// A synthesis front end for tests (the world of
// synthesis_front_end_vocabulary.h): an engine context over a counting
// allocator, the phone fields read into tables, an owner carrying the stress
// and syllable marks, a vocabulary, and loading of front-end blocks.
#pragma once

#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/search/lm_rewrite.h"
#include "core/brevit/synthesis/cep_tts_front_end.h"
#include "core/brevit/synthesis/cep_tts_front_end_parts.h"
#include "core/brevit/synthesis/tts.h"
#include "tests/support/counting_allocator.h"
#include "tests/support/synthesis_front_end_vocabulary.h"
#include "tests/support/synthesis_front_end_writer.h"
#include "tests/support/vocabulary_fixture.h"
#include "tests/support/written_table.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>


class FrontEndTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(DVKTempMem_CreateMemStack(1 << 20, 1 << 20), 1);
        m_owner.headerShorts[0] = front_end_fixture::kStress;
        m_owner.headerShorts[1] = front_end_fixture::kClose;
        m_pron = readRewrite(front_end_fixture::pronToPhone());
        m_classes = readRewrite(front_end_fixture::phoneClasses());
        m_phones = {front_end_fixture::kMaxPhone, m_pron, m_classes, front_end_fixture::kVowelClass};
    }

    void TearDown() override
    {
        for (CepTTSFrontEnd* f : m_loaded)
            CepTTSFrontEnd_Delete(f);
        m_vocabulary.reset();
        LMRewrite_Delete(m_pron);
        LMRewrite_Delete(m_classes);
        DVKTempMem_DeleteMemStack();
        EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks();
    }

    LMRewrite* readRewrite(const search_tables::RewriteFields& f)
    {
        WrittenTable table([&](BinFileWriter* w) { return search_tables::write(w, f); });
        return table.load(LMRewrite_Read);
    }

    VocabularyFixture& vocabulary(const std::vector<VocabularyFixture::WordSpec>& words,
                                  const VocabularyFixture::Options& o = front_end_fixture::vocabularyOptions())
    {
        m_vocabulary.reset();   // its parameter block goes before the next one's
        m_vocabulary = std::make_unique<VocabularyFixture>(words, o);
        return *m_vocabulary;
    }

    Voc* voc() { return m_vocabulary != nullptr ? m_vocabulary->voc() : nullptr; }

    // Loads the block over the fixture's vocabulary (null when refused);
    // loaded front ends are freed with the test.
    CepTTSFrontEnd* load(const tts_front_end::FrontEndFields& f)
    {
        WrittenTable table([&](BinFileWriter* w) { return tts_front_end::write(w, f); });
        CepTTSFrontEnd* fe = table.load([&](BinFileReader* r) { return loadFrom(r); });
        if (fe != nullptr)
            m_loaded.push_back(fe);
        return fe;
    }

    CepTTSFrontEnd* loadFrom(BinFileReader* r) { return CepTTSFrontEnd_Load(r, &m_owner, &m_phones, voc()); }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
    TTS m_owner{};
    LMRewrite* m_pron = nullptr;
    LMRewrite* m_classes = nullptr;
    CepTTSPhoneFields m_phones{};
    std::unique_ptr<VocabularyFixture> m_vocabulary;
    std::vector<CepTTSFrontEnd*> m_loaded;
};
