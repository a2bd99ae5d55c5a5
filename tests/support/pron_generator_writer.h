// Writer of the letter-to-sound generator sub-file "bpm0" (type word, common
// header, then the tree-based kind's fields, in their stored order) over the
// model-table writers; every optional part can be switched by its count or
// flag, and tests damage a field before writing. toyModel() is a small
// complete model. Header-only and free of the test framework.
#pragma once

#include "core/brevit/runtime/bin_file_writer.h"
#include "tests/support/search_table_writers.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pron_generator {

using search_tables::writeArray;

struct CommonFields {
    int32_t scale = 0;
    int32_t headerValue = 0;
    uint32_t stressId = 1;
    uint32_t syllableId = 2;
    uint32_t thirdValue = 0;
    uint32_t vowelClass = 0;
    uint32_t noSplitClass = 0;
    uint32_t ruleWildcard = 0;
    int32_t ruleCount = 0;
    int32_t ruleSymbolCount = 0;
    int32_t phoneRewriteFlag = 0;
    search_tables::RewriteFields mainRewrite;
    search_tables::RewriteFields classRewrite;   // written with a vowel class
    std::vector<uint8_t> ruleLengths;
    std::vector<uint16_t> ruleSymbols;
    search_tables::PhoneRewriteFields phoneRewrite;   // written with the flag
};

struct StressRule {
    uint16_t offset;
    int8_t kind;
    int8_t position;
};

struct Fields {
    int32_t type = 0;
    CommonFields common;
    uint32_t separator = 0;
    int32_t codesPerChar = 1;
    int32_t tripleCodes = 0;
    uint32_t leadBase = 0;
    uint32_t vowelBase = 0;
    uint32_t tailBase = 0;
    int32_t contextWidth = 3;
    int32_t phonemesPerLetter = 1;
    int32_t nucleusPatternCount = 0;
    int32_t defaultStressCount = 0;
    int32_t stressRuleCount = 0;
    int32_t firstListCount = 0;   // above 0: the compound data is written
    int32_t secondListCount = 0;
    search_tables::SymbolFields<char16_t> letters;
    search_tables::RewriteFields directRewrite;
    search_tables::SymbolFields<char16_t> graphemes;
    search_tables::RewriteFields graphemeRewrite;
    std::vector<uint16_t> nucleusIndex;
    std::vector<uint16_t> nucleusPatterns;
    search_tables::SymbolFields<char16_t> compoundTables[6];
    std::vector<uint16_t> firstList;
    std::vector<uint16_t> secondList;
    search_tables::TreeFields tree;
    std::vector<int32_t> defaultStress;   // empty: no stress data follows
    std::vector<StressRule> stressRules;
    int32_t stressSets[16];
    std::vector<int32_t> stressSetSizes = std::vector<int32_t>(16, 0);
    int32_t stressStringCount = 0;
    std::vector<uint16_t> stressStrings;

    Fields()
    {
        for (int32_t& s : stressSets)
            s = -1;
    }
};

inline bool write(BinFileWriter* w, const CommonFields& c)
{
    bool ok = BinFileWriter_WriteInt(w, c.scale) && BinFileWriter_WriteInt(w, c.headerValue) &&
              BinFileWriter_WriteUnsignedInt(w, c.stressId) &&
              BinFileWriter_WriteUnsignedInt(w, c.syllableId) &&
              BinFileWriter_WriteUnsignedInt(w, c.thirdValue) &&
              BinFileWriter_WriteUnsignedInt(w, c.vowelClass) &&
              BinFileWriter_WriteUnsignedInt(w, c.noSplitClass) &&
              BinFileWriter_WriteUnsignedInt(w, c.ruleWildcard) &&
              BinFileWriter_WriteInt(w, c.ruleCount) && BinFileWriter_WriteInt(w, c.ruleSymbolCount) &&
              BinFileWriter_WriteInt(w, c.phoneRewriteFlag) && search_tables::write(w, c.mainRewrite);
    if (c.vowelClass != 0)
        ok = ok && search_tables::write(w, c.classRewrite);
    if (c.ruleCount > 0)
        ok = ok && writeArray(w, c.ruleLengths) && writeArray(w, c.ruleSymbols);
    if (c.phoneRewriteFlag == 1)
        ok = ok && search_tables::write(w, c.phoneRewrite);
    return ok;
}

inline bool write(BinFileWriter* w, const Fields& f)
{
    bool ok = BinFileWriter_WriteInt(w, f.type) && write(w, f.common) &&
              BinFileWriter_WriteUnsignedInt(w, f.separator) &&
              BinFileWriter_WriteInt(w, f.codesPerChar) && BinFileWriter_WriteInt(w, f.tripleCodes) &&
              BinFileWriter_WriteUnsignedInt(w, f.leadBase) &&
              BinFileWriter_WriteUnsignedInt(w, f.vowelBase) &&
              BinFileWriter_WriteUnsignedInt(w, f.tailBase) &&
              BinFileWriter_WriteInt(w, f.contextWidth) &&
              BinFileWriter_WriteInt(w, f.phonemesPerLetter) &&
              BinFileWriter_WriteInt(w, f.nucleusPatternCount) &&
              BinFileWriter_WriteInt(w, f.defaultStressCount) &&
              BinFileWriter_WriteInt(w, f.stressRuleCount) &&
              BinFileWriter_WriteInt(w, f.firstListCount) &&
              BinFileWriter_WriteInt(w, f.secondListCount) && search_tables::write(w, f.letters) &&
              search_tables::write(w, f.directRewrite) && search_tables::write(w, f.graphemes) &&
              search_tables::write(w, f.graphemeRewrite) && writeArray(w, f.nucleusIndex) &&
              writeArray(w, f.nucleusPatterns);
    if (f.firstListCount > 0) {
        for (const auto& table : f.compoundTables)
            ok = ok && search_tables::write(w, table);
        ok = ok && writeArray(w, f.firstList) && writeArray(w, f.secondList);
    }
    ok = ok && search_tables::write(w, f.tree) && writeArray(w, f.defaultStress);
    if (f.defaultStress.empty() || f.stressRuleCount == 0)
        return ok;
    for (const StressRule& rule : f.stressRules)
        ok = ok && BinFileWriter_WriteInt(w, rule.offset) && BinFileWriter_WriteInt(w, rule.kind) &&
             BinFileWriter_WriteInt(w, rule.position);
    for (int32_t set : f.stressSets)
        ok = ok && BinFileWriter_WriteInt(w, set);
    return ok && writeArray(w, f.stressSetSizes) && BinFileWriter_WriteInt(w, f.stressStringCount) &&
           writeArray(w, f.stressStrings);
}

// Phonemes of the toy model.
enum ToyPhoneme : uint16_t { kStress = 1, kSyllable = 2, AA = 3, EH = 4, B = 5, S = 7, Z = 8, IY = 9, T = 10 };
// Letter codes: a b e h s, the separator, the digit "2".
enum ToyLetter : uint16_t { La = 1, Lb = 2, Le = 3, Lh = 4, Ls = 5, kSeparator = 6, L2 = 7 };

// Letters a b e h s (upper case alike) and "2" (direct: T IY); window 3;
// a -> AA 0 | EH 30; e before a letter -> EH 0 | IY 20; a last e -> (a leaf
// rewriting to 0) 0 | (a leaf without rewrites) 5 | IY 50; b -> B; h -> 0;
// s -> S 0 | Z 10; vowels AA EH IY, no split before Z, consonants B S Z T;
// syllable rules [C C] 1, [C] 1; nuclei a, e, ea; default stress 0 1 1 2;
// with three nuclei: ends "s" -1, begins "h" 0, has "bb" 9, has "eb" at its
// nucleus. Hangul grapheme bases 100/120/150: 118 h, 120 a, 154 s.
inline Fields toyModel()
{
    using search_tables::Alternatives;
    Fields f;
    CommonFields& c = f.common;
    // Leaf ids: 1 AA, 2 EH, 3 IY, 4 B, 5 phoneme 0, 6 nothing, 7 S, 8 Z.
    c.mainRewrite = search_tables::rewrites({{}, {{AA}}, {{EH}}, {{IY}}, {{B}}, {{0}}, {}, {{S}}, {{Z}}});
    c.vowelClass = 1;
    c.noSplitClass = 2;
    c.ruleWildcard = 99;
    c.classRewrite = search_tables::rewrites({{}, {{AA, EH, IY}}, {{Z}}, {{B, S, Z, T}}});
    c.ruleCount = 2;
    c.ruleLengths = {1, 1};
    c.ruleSymbols = {3, 3, 0xFFFF, 3, 0xFFFF};
    c.ruleSymbolCount = 5;
    f.separator = kSeparator;
    f.leadBase = 100;
    f.vowelBase = 120;
    f.tailBase = 150;
    f.phonemesPerLetter = 2;
    f.letters = search_tables::symbols<char16_t>(
        {{u"a", La}, {u"b", Lb}, {u"e", Le}, {u"h", Lh}, {u"s", Ls}, {u"^", kSeparator}, {u"2", L2}},
        false);
    std::vector<Alternatives> direct(8);
    direct[L2] = {{T, IY}};
    f.directRewrite = search_tables::rewrites(direct);
    // Sorted: "2" A B E H S a b e h s -> ids 1..11.
    f.graphemes = search_tables::sortedSymbols<char16_t>(
        {u"a", u"b", u"e", u"h", u"s", u"A", u"B", u"E", u"H", u"S", u"2"});
    std::vector<Alternatives> graphemes(155);
    const uint16_t byId[] = {L2, La, Lb, Le, Lh, Ls, La, Lb, Le, Lh, Ls};
    for (int i = 0; i < 11; ++i)
        graphemes[static_cast<size_t>(i + 1)] = {{byId[i]}};
    graphemes[118] = {{Lh}};
    graphemes[120] = {{La}};
    graphemes[154] = {{Ls}};
    f.graphemeRewrite = search_tables::rewrites(graphemes);
    // a: "a"; e: "ea", "e".
    f.nucleusPatterns = {La, 0, 0, Le, La, 0, Le, 0, 0};
    f.nucleusPatternCount = 9;
    f.nucleusIndex = std::vector<uint16_t>(8, 0xFFFF);
    f.nucleusIndex[La] = 0;
    f.nucleusIndex[Le] = 3;
    using search_tables::ask;
    using search_tables::pairLeaf;
    // Questions: 1 a, 2 e, 3 b, 4 s; the letter at 1, the next at 2.
    const search_tables::TreeNode root =
        ask(1, 1, pairLeaf({{1, 0}, {2, 30}}),
            ask(2, 1, ask(0, 2, pairLeaf({{5, 0}, {6, 5}, {3, 50}}), pairLeaf({{2, 0}, {3, 20}})),
                ask(3, 1, pairLeaf({{4, 0}}),
                    ask(4, 1, pairLeaf({{7, 0}, {8, 10}}), pairLeaf({{5, 0}})))));
    f.tree = search_tables::tree(root, search_tables::rewrites({{}, {{La}}, {{Le}}, {{Lb}}, {{Ls}}}),
                                 search_tables::kTreeStd, 1);
    f.defaultStress = {0, 1, 1, 2};
    f.defaultStressCount = 3;
    // Strings: "s", "h", "bb", "eb".
    f.stressStrings = {Ls, 0, Lh, 0, Lb, Lb, 0, Le, Lb, 0};
    f.stressStringCount = 10;
    f.stressRules = {{0, 1, -1}, {2, -1, 0}, {4, 0, 9}, {7, 0, 0}};
    f.stressRuleCount = 4;
    f.stressSets[3] = 0;
    f.stressSetSizes[3] = 4;
    return f;
}

// The toy with compound data: parts "base" and "hase", cut after e before h.
inline Fields toyCompoundModel()
{
    Fields f = toyModel();
    f.firstListCount = 1;
    f.secondListCount = 1;
    f.firstList = {Le};
    f.secondList = {Lh};
    f.compoundTables[0] = search_tables::sortedSymbols<char16_t>({u"base"});
    f.compoundTables[1] = search_tables::sortedSymbols<char16_t>({u"hase"});
    return f;
}

} // namespace pron_generator
