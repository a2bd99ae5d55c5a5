// A vocabulary of generated words with random prons and a small acoustic
// model for the pronunciation cache and lexical tree tests, with the
// uncached answers a cache must reproduce.
#pragma once

#include "core/brevit/acoustic/am.h"
#include "core/brevit/acoustic/am_phones.h"
#include "core/brevit/lexicon/vocabulary.h"
#include "fuzz/brevit_lexical_tree/lexical_tree_fuzz.h"
#include "tests/support/acoustic_model_writer.h"
#include "tests/support/archive_fixture.h"
#include "tests/support/counting_allocator.h"
#include "tests/support/vocabulary_fixture.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

namespace pron_cache_fixture {

// Surfaces "wa", "wb", ... distinct for every index.
inline std::u16string surface(size_t i)
{
    std::u16string s = u"w";
    do {
        s += static_cast<char16_t>(u'a' + i % 26);
        i /= 26;
    } while (i > 0);
    return s;
}

// Words of 1-3 prons of 1..maxLength phonemes (names past the model's
// three phonemes give no model, which is an id like any other).
inline std::vector<vocabulary_fixture::WordSpec> randomWords(size_t count, uint32_t seed, int maxLength = 12)
{
    std::mt19937 random(seed);
    std::vector<vocabulary_fixture::WordSpec> words;
    for (size_t i = 0; i < count; ++i) {
        vocabulary_fixture::WordSpec w{surface(i), u"", {}, true};
        const int prons = 1 + static_cast<int>(random() % 3);
        for (int p = 0; p < prons; ++p) {
            const int length = 1 + static_cast<int>(random() % static_cast<uint32_t>(maxLength));
            std::string names;
            for (int k = 0; k < length; ++k) {
                // Mostly the model's own phonemes, so that expansion varies.
                const size_t id = random() % 4 != 0 ? 3 + random() % 3 : 3 + random() % 19;
                names += (k > 0 ? " " : "") + vocabulary_fixture::kPhonemes[id];
            }
            w.prons.push_back(names);
        }
        words.push_back(w);
    }
    return words;
}

// The vocabulary's phoneme names with the model's three first.
inline vocabulary_fixture::Options options() { return lexical_tree_fuzz::options(); }

} // namespace pron_cache_fixture

class PronVocabularyTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        m_vocabularies.clear();
        for (AM* am : m_models)
            AM_Destroy(am);
        m_models.clear();
        m_archives.clear();
        DVKTempMem_DeleteMemStack();
        EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks();
    }

    VocabularyFixture& vocabulary(const std::vector<vocabulary_fixture::WordSpec>& words)
    {
        m_vocabularies.push_back(std::make_unique<VocabularyFixture>(
            words, pron_cache_fixture::options(), "voc" + std::to_string(m_vocabularies.size()) + ".dvk"));
        return *m_vocabularies.back();
    }

    AM* model()
    {
        m_archives.push_back(std::make_unique<ArchiveFixture>("am" + std::to_string(m_archives.size()) + ".dvk"));
        writeAcousticModel(*m_archives.back(), acousticModelRecords(AcousticModelSpec{}));
        m_archives.back()->finish();
        AM* am = AM_LoadFromBinFile(m_archives.back()->openForRead(), nullptr, 0);
        if (am != nullptr)
            m_models.push_back(am);
        return am;
    }

    struct Reference {
        int32_t length;
        std::vector<uint16_t> phonemes;
        std::vector<uint16_t> expanded;
    };

    static Reference reference(Voc* voc, AM* am, uint16_t id)
    {
        std::vector<uint16_t> buffer(static_cast<size_t>(Voc_GetMaxRecogPronunciationLength(voc)) + 2, 0xFFFF);
        Reference r;
        r.length = Voc_GetRecogPronunciation(voc, id, buffer.data());
        if (r.length > 0) {
            r.phonemes.assign(buffer.begin(), buffer.begin() + r.length);
            r.expanded.resize(static_cast<size_t>(r.length));
            AM_ConvertPhonemesToTriphoneIds(am, buffer.data(), r.length, r.expanded.data(), 0, 0);
        }
        return r;
    }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
    std::vector<std::unique_ptr<ArchiveFixture>> m_archives;
    std::vector<AM*> m_models;
    std::vector<std::unique_ptr<VocabularyFixture>> m_vocabularies;
};
