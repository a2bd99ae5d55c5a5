// A synthesis front end for tests: the driver's phone fields (vocabulary
// phonemes 3-21 are synthesis phones of the same id, "'" the stress mark
// 100, "." the syllable end 101; class 1 the vowels), an owner carrying the
// two marks, a vocabulary whose part-of-speech guesser goes by the word's
// last character, and a front-end block whose tags follow the guessed ids:
// ",", ".", "!", "?" give id 30, punctuation tag A; a word ending in 'a'
// id 11, tags 4 then 5; 'b' to 'h' ids 12 to 18, tags 5 to 11; anything
// else id 10, no tags (default tag 3). Tag 4 is class 2, the accent class;
// every other tag from 5 on is its own class.
#pragma once

#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/search/lm_rewrite.h"
#include "core/brevit/synthesis/cep_tts_front_end.h"
#include "core/brevit/synthesis/cep_tts_front_end_parts.h"
#include "core/brevit/synthesis/tts.h"
#include "tests/support/counting_allocator.h"
#include "tests/support/synthesis_front_end_writer.h"
#include "tests/support/vocabulary_fixture.h"
#include "tests/support/written_table.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace front_end_fixture {

inline constexpr uint16_t kStress = 100;
inline constexpr uint16_t kClose = 101;
inline constexpr int32_t kMaxPhone = 30;
inline constexpr uint16_t kVowelClass = 1;
inline const std::vector<uint16_t> kVowels = {3, 4, 9, 12, 14, 16, 18, 21};

inline search_tables::RewriteFields pronToPhone()
{
    std::vector<search_tables::Alternatives> ids = {{{0}}, {{kStress}}, {{kClose}}};
    for (uint16_t k = 3; k <= 21; ++k)
        ids.push_back({{k}});
    return search_tables::rewrites(ids);
}

inline search_tables::RewriteFields phoneClasses()
{
    return search_tables::rewrites({{}, {kVowels}});
}

inline tts_front_end::FrontEndFields fields()
{
    tts_front_end::FrontEndFields f;
    std::vector<search_tables::Alternatives> tags(31);
    tags[30] = {{1}};
    tags[11] = {{4, 5}};
    for (uint16_t k = 12; k <= 18; ++k)
        tags[k] = {{static_cast<uint16_t>(k - 7)}};
    f.tagRewrites = search_tables::rewrites(tags);
    f.breakTree = search_tables::tree(search_tables::classLeaf(0), search_tables::rewrites({{{0}}}),
                                      search_tables::kTreeMini);
    f.breakClasses = {0};
    f.breakClassCount = 1;
    f.posClassTable = search_tables::indexTable({0, 0, 0, 0, 2, 5, 6, 7, 8, 9, 10, 11});
    f.accentClass = 2;
    return f;
}

inline VocabularyFixture::Options vocabularyOptions()
{
    VocabularyFixture::Options o;
    o.posModel = true;
    std::vector<pos_model::RuleText> rules;
    for (const char16_t* mark : {u",", u".", u"!", u"?"})
        rules.push_back({mark, kPOSRuleEnds, 30});
    for (char16_t c = u'a'; c <= u'h'; ++c)
        rules.push_back({std::u16string(1, c), kPOSRuleEnds, static_cast<uint16_t>(11 + (c - u'a'))});
    o.posOwnModel = {pos_model::model(3, {}, {10, 10}, rules, {{1, 0, static_cast<int32_t>(rules.size())}}, {0})};
    o.tokenizeType = 2;
    o.generator = true;
    return o;
}

} // namespace front_end_fixture

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
