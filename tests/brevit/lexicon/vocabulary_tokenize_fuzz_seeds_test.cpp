// The seeds of the tokenizer fuzz target: the control bytes it reads (type,
// wrap, match mode, room, generator) and a UTF-16 text, one seed for each
// tokenizer path worth starting from. Each is rebuilt here and, replayed on
// the shared word list, gives the tokens it was made for.
#include "tests/brevit/lexicon/vocabulary_tokenize_test.h"
#include "tests/support/fuzz_seed_check.h"

#include <string>

namespace {

struct Seed {
    const char* name;
    int32_t type, wrap, mode, max;
    bool generator;
    std::u16string text;
    int32_t tokens;   // what the type gives on the shared word list
};

std::string bytesOf(const Seed& s)
{
    std::string out = {static_cast<char>(s.type - 1), static_cast<char>(s.wrap), static_cast<char>(s.mode),
                       static_cast<char>(s.max), static_cast<char>(s.generator ? 1 : 0)};
    for (char16_t c : s.text) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

class TokenizeFuzzSeeds : public TokenizeTest {};

TEST_F(TokenizeFuzzSeeds, CommittedSeedsAreCurrentAndReachTheirTokens)
{
    const Seed seeds[] = {
        {"empty", 1, 0, 0, 0, false, u"", 0},
        {"general", 2, 0, 0, 10, true, u"New York John \u6771\u4eac", 3},
        {"script", 8, 0, 1, 40, true, u"\u6771\u4eac John,base JOHN base base", 8},
        {"numbers", 3, 1, 0, 2, false, u"3.5.3 a.b a. 35.5", 14},
        {"wrap", 2, 1, 1, 2, true, u"a b a b a", 5},
        {"joined", 2, 0, 0, 8, true, u"John,base", 3},
        {"phrase", 1, 0, 1, 8, true, u"New Ipswich City", 3},
    };
    words();
    for (const Seed& s : seeds) {
        checkFuzzSeed("brevit_tokenize", s.name, bytesOf(s));
        int32_t count = -1;
        tokens(s.type, s.text, 40, s.wrap, s.mode, &count);
        EXPECT_EQ(count, s.tokens) << s.name;
    }
}

}  // namespace
