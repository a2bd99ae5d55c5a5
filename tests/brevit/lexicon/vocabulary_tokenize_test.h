// The word list the tokenizer and phrase tests share: "New York" (spoken
// "new york"), New, York, John, a, b, 東, 3, 5 and "." three times (spoken
// period, dot, point), list tokenize type 2 and the toy generator.
#pragma once

#include "tests/brevit/lexicon/vocabulary_test_base.h"

#include <string>
#include <vector>

inline std::vector<VocabularyFixture::WordSpec> tokenizeWords()
{
    return vocabulary_fixture::tokenizerWords();
}

inline VocabularyFixture::Options tokenizeOptions()
{
    VocabularyFixture::Options o;
    o.generator = true;
    o.tokenizeType = 2;
    return o;
}

struct Token {
    VocId id;
    int32_t start;
    int32_t length;
    uint8_t flag;
    uint8_t match;
    bool operator==(const Token&) const = default;
};

class TokenizeTest : public VocabularyTest {
protected:
    VocabularyFixture& words(const std::vector<VocabularyFixture::WordSpec>& list = tokenizeWords(),
                             const VocabularyFixture::Options& options = tokenizeOptions())
    {
        return fixture(list, options);
    }

    // The tokens of text with room for max of them; the count in *count.
    std::vector<Token> tokens(int32_t type, const std::u16string& text, int32_t max = 40, int32_t wrap = 0,
                              int32_t matchMode = 0, int32_t* count = nullptr)
    {
        std::vector<uint32_t> ids(static_cast<size_t>(max) + 1, 0xEEEEEEEE);
        std::vector<int32_t> starts(ids.size(), -7), lengths(ids.size(), -7);
        std::vector<uint8_t> flags(ids.size(), 0xEE), matches(ids.size(), 0xEE);
        const int32_t n = Voc_Tokenize(m_fixture->voc(), type, VocabularyFixture::units(text), wrap, matchMode, max,
                                       ids.data(), starts.data(), lengths.data(), flags.data(), matches.data());
        if (count != nullptr)
            *count = n;
        EXPECT_EQ(ids[static_cast<size_t>(max)], 0xEEEEEEEEu) << "written past max";
        std::vector<Token> out;
        for (int32_t k = 0; k < n && k < max; ++k)
            out.push_back({ids[k], starts[k], lengths[k], flags[k], matches[k]});
        return out;
    }

    VocId w(const std::u16string& surface, const std::u16string& spoken = u"") { return m_fixture->id(surface, spoken); }
};
