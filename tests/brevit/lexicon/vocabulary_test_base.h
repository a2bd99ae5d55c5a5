// Base of the vocabulary tests: an engine context over a counting allocator
// that must hold nothing at the end, a scratch stack made up front (so that
// allocation failures reach only the vocabulary's own blocks), and the
// fixture vocabulary with a test language model of D 3 and one slot.
#pragma once

#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "tests/brevit/search/table_test.h"
#include "tests/support/vocabulary_fixture.h"

#include <memory>
#include <string>
#include <vector>

class VocabularyTest : public TableTest {
protected:
    void SetUp() override { ASSERT_EQ(DVKTempMem_CreateMemStack(1 << 20, 1 << 20), 1); }

    void TearDown() override
    {
        m_fixture.reset();
        TableTest::TearDown();
    }

    VocabularyFixture& fixture(const std::vector<VocabularyFixture::WordSpec>& words =
                                   vocabulary_fixture::defaultWords(),
                               const VocabularyFixture::Options& options = {})
    {
        m_fixture.reset();
        m_fixture = std::make_unique<VocabularyFixture>(words, options);
        return *m_fixture;
    }

    VocabularyFixture& fixture(const VocabularyFixture::Options& options)
    {
        return fixture(vocabulary_fixture::defaultWords(), options);
    }

    static TestLanguageModel::Fields modelFields()
    {
        TestLanguageModel::Fields f;
        f.firstDynamic = 3;
        f.slots = 1;
        return f;
    }

    static const uint16_t* u16(const char16_t* text) { return reinterpret_cast<const uint16_t*>(text); }

    // The recognition pron of a pron id as phoneme names.
    std::string recogPron(Voc* voc, int32_t pronId)
    {
        std::vector<uint16_t> out(static_cast<size_t>(Voc_GetMaxRecogPronunciationLength(voc)) + 2, 0xEEEE);
        if (Voc_GetRecogPronunciation(voc, pronId, out.data()) < 0)
            return "?";
        return m_fixture->names(out.data());
    }

    // A further model, kept until the fixture has freed what it made of it.
    TestLanguageModel& newModel(const TestLanguageModel::Fields& fields = modelFields())
    {
        m_models.push_back(std::make_unique<TestLanguageModel>(fields));
        return *m_models.back();
    }

    TestLanguageModel m_model{modelFields()};
    std::vector<std::unique_ptr<TestLanguageModel>> m_models;
    std::unique_ptr<VocabularyFixture> m_fixture;
};
