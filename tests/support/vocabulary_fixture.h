// A vocabulary for tests: the word table and options of vocabulary_writer.h
// written into an archive of its own, its parameter preset installed for
// the fixture's life, and vocabularies loaded from it with
// Voc_LoadFromBinFile (deleted with the fixture). The default words:
//   0 "call" (1 pron), 1 "New York" spoken "new york" (1), 2 "river" (3),
//   statically active, contiguous, prons 0, 1, 2-4; 3 "zed" (2) not active.
// A language model (TestLanguageModel) or language identifier is attached
// by setting the record's field; attached models are freed here.
//
// Header-only. Needs an engine context (ScopedEngineContext) while used.
#pragma once

#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/dvk_unicode_str.h"
#include "tests/support/archive_fixture.h"
#include "tests/support/test_language_model.h"
#include "tests/support/vocabulary_writer.h"

#include <memory>
#include <string>
#include <vector>

class VocabularyFixture {
public:
    using Options = vocabulary_fixture::Options;
    using WordSpec = vocabulary_fixture::WordSpec;

    explicit VocabularyFixture(const std::vector<WordSpec>& words = vocabulary_fixture::defaultWords(),
                               const Options& options = {}, const std::string& name = "vocabulary.dvk")
        : m_options(options), m_params(std::make_unique<ScopedParamBlock>(vocabulary_fixture::params(options))),
          m_archive(name)
    {
        EXPECT_TRUE(vocabulary_fixture::write(m_archive.tar(), words, options));
        m_archive.finish();
        m_tar = m_archive.openMapped();
    }

    ~VocabularyFixture()
    {
        for (Voc* v : m_loaded)
            Voc_Delete(v);
        for (LM* m : m_models)
            LM_Delete(m);
    }

    VocabularyFixture(const VocabularyFixture&) = delete;
    VocabularyFixture& operator=(const VocabularyFixture&) = delete;

    const char* prefix() const { return m_options.prefix.empty() ? nullptr : m_options.prefix.c_str(); }
    DVKTar* tar() { return m_tar; }
    ArchiveFixture& archive() { return m_archive; }
    BrevitGlobalParameters& params() { return m_params->block(); }

    // A new vocabulary from the archive (null when the load fails).
    Voc* load()
    {
        Voc* v = Voc_LoadFromBinFile(m_tar, prefix());
        if (v != nullptr)
            m_loaded.push_back(v);
        return v;
    }

    // The first vocabulary loaded (loaded on first use).
    Voc* voc()
    {
        if (m_loaded.empty())
            load();
        return m_loaded.empty() ? nullptr : m_loaded.front();
    }

    // Gives up a vocabulary the test deletes itself.
    void release(Voc* v) { std::erase(m_loaded, v); }

    // A model of the test kind in the vocabulary's model slot.
    LM* attach(TestLanguageModel& model, Voc* v = nullptr)
    {
        LM* lm = model.create();
        if (lm != nullptr)
            m_models.push_back(lm);
        (v != nullptr ? v : voc())->languageModel = lm;
        return lm;
    }

    static const uint16_t* units(const std::u16string& text)
    {
        return reinterpret_cast<const uint16_t*>(text.c_str());
    }

    // The kind-11 id of a word by its forms, -1 when absent.
    VocId id(const std::u16string& surface, const std::u16string& spoken = u"", Voc* v = nullptr)
    {
        return Voc_LookupMasterIdFromOrthography(v != nullptr ? v : voc(), units(surface), units(spoken));
    }

    uint32_t masterId(const std::u16string& surface, const std::u16string& spoken = u"", Voc* v = nullptr)
    {
        return id(surface, spoken, v) & 0xFFFFFFu;
    }

    // A pron given by phoneme names, ended by 0xFFFF.
    std::vector<uint16_t> pron(const std::string& names) const
    {
        std::vector<uint16_t> p = vocabulary_fixture::pronOf(names, m_options.phonemes);
        p.push_back(kPGPronEnd);
        return p;
    }

    std::string names(const uint16_t* p) const { return vocabulary_fixture::namesOf(p, m_options.phonemes); }

private:
    Options m_options;
    std::unique_ptr<ScopedParamBlock> m_params;
    ArchiveFixture m_archive;
    DVKTar* m_tar = nullptr;
    std::vector<Voc*> m_loaded;
    std::vector<LM*> m_models;
};
