// The synthesis front end's test world, free of the test framework (fuzz
// seeds and benchmarks use it too): the driver's phone fields (vocabulary
// phonemes 3-21 are synthesis phones of the same id, "'" the stress mark
// 100, "." the syllable end 101; class 1 the vowels), a vocabulary whose
// part-of-speech guesser goes by the word's last character, and a
// front-end block whose tags follow the guessed ids: ",", ".", "!", "?"
// give id 30, punctuation tag A; a word ending in 'a' id 11, tags 4 then 5;
// 'b' to 'h' ids 12 to 18, tags 5 to 11; anything else id 10, no tags
// (default tag 3). Tag 4 is class 2, the accent class; every other tag from
// 5 on is its own class.
#pragma once

#include "core/brevit/lexicon/pos_model.h"
#include "tests/support/synthesis_front_end_writer.h"
#include "tests/support/vocabulary_writer.h"

#include <cstdint>
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

inline vocabulary_fixture::Options vocabularyOptions()
{
    vocabulary_fixture::Options o;
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

// Words b to g: tags 5 to 10, syllables 2 1 3 1 2 1; "a" tag 4 (accented);
// "h" tag 11; the marks.
inline std::vector<vocabulary_fixture::WordSpec> words()
{
    return {{u"a", u"", {"' EY"}, true},
            {u"b", u"", {"' K AA . T IY"}, true},
            {u"c", u"", {"' EY"}, true},
            {u"d", u"", {"K AA . ' T IY . L EH"}, true},
            {u"e", u"", {"' UW"}, true},
            {u"f", u"", {"B AO . ' R IH"}, true},
            {u"g", u"", {"' IY"}, true},
            {u"h", u"", {"' T AA K . L IY"}, true},
            {u",", u"", {"h#"}, true},
            {u".", u"", {"h#"}, true},
            {u"!", u"", {"h#"}, true}};
}

} // namespace front_end_fixture
