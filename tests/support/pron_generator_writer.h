// Writer of the letter-to-sound generator sub-file "bpm0" (type word, common
// header, then the kind's fields, in their stored order) over the
// model-table writers; every optional part can be switched by its count or
// flag, every count is a field of its own, and tests damage a field before
// writing. toyModel() is a small complete tree-based model; the other kinds
// have toys of their own, and the selector and script-split kinds nest any
// kind. Header-only and free of the test framework.
#pragma once

#include "core/brevit/runtime/bin_file_writer.h"
#include "tests/support/search_table_writers.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
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

// ---- The other kinds ----------------------------------------------------------

// Any generator's record, type word first: a sub-generator of a selector or
// script-split generator.
struct Nested {
    std::function<bool(BinFileWriter*)> write;
};

template <typename AnyFields>
Nested nest(const AnyFields& f)
{
    return {[f](BinFileWriter* w) { return write(w, f); }};
}

struct KoreanFields {
    int32_t type = 1;
    CommonFields common;
    search_tables::IndexFields jamo;
    std::vector<uint16_t> leads;        // table A, 580 entries
    std::vector<uint16_t> leadsAfter;   // table B, 580 entries; empty: absent
};

struct ChineseFields {
    int32_t type = 2;
    CommonFields common;   // its header value counts the tone changes
    uint32_t first = 0;
    uint32_t last = 0;
    int32_t keyCount = 0;
    int32_t specialCount = 0;
    int32_t pairCount = 0;
    std::vector<uint16_t> keys;
    std::vector<uint16_t> readings;
    std::vector<uint16_t> specialKeys;
    std::vector<uint16_t> specialReadings;
    std::vector<uint16_t> pairKeys;       // two characters a pair
    std::vector<uint16_t> pairReadings;   // two readings a pair
    std::vector<uint16_t> toneChanges;
};

struct JapaneseTableFields {
    int32_t count = 0;
    std::vector<uint16_t> keys;
    std::vector<uint16_t> readings;
};

struct JapaneseFields {
    int32_t type = 3;
    CommonFields common;
    uint32_t rangeFirst = 0;
    uint32_t rangeLast = 0;
    // General; first and second of two; first, second and third of three.
    JapaneseTableFields tables[6];
};

struct SelectorFields {
    int32_t type = 4;
    CommonFields common;
    int32_t mode = 0;
    int32_t count = 0;
    std::vector<Nested> subs;
};

struct ScriptFields {
    int32_t type = 5;
    CommonFields common;
    int32_t count = 0;
    std::vector<int32_t> scripts;   // written as count words, no byte count
    std::vector<Nested> subs;
};

inline bool write(BinFileWriter* w, const KoreanFields& f)
{
    return BinFileWriter_WriteInt(w, f.type) && write(w, f.common) && search_tables::write(w, f.jamo) &&
           writeArray(w, f.leads) && writeArray(w, f.leadsAfter);
}

inline bool write(BinFileWriter* w, const ChineseFields& f)
{
    return BinFileWriter_WriteInt(w, f.type) && write(w, f.common) &&
           BinFileWriter_WriteUnsignedInt(w, f.first) && BinFileWriter_WriteUnsignedInt(w, f.last) &&
           BinFileWriter_WriteInt(w, f.keyCount) && BinFileWriter_WriteInt(w, f.specialCount) &&
           BinFileWriter_WriteInt(w, f.pairCount) && writeArray(w, f.keys) && writeArray(w, f.readings) &&
           writeArray(w, f.specialKeys) && writeArray(w, f.specialReadings) && writeArray(w, f.pairKeys) &&
           writeArray(w, f.pairReadings) && writeArray(w, f.toneChanges);
}

inline bool write(BinFileWriter* w, const JapaneseFields& f)
{
    bool ok = BinFileWriter_WriteInt(w, f.type) && write(w, f.common) &&
              BinFileWriter_WriteUnsignedInt(w, f.rangeFirst) &&
              BinFileWriter_WriteUnsignedInt(w, f.rangeLast);
    for (const JapaneseTableFields& table : f.tables)
        ok = ok && BinFileWriter_WriteInt(w, table.count) && writeArray(w, table.keys) &&
             writeArray(w, table.readings);
    return ok;
}

inline bool write(BinFileWriter* w, const SelectorFields& f)
{
    bool ok = BinFileWriter_WriteInt(w, f.type) && write(w, f.common) && BinFileWriter_WriteInt(w, f.mode) &&
              BinFileWriter_WriteInt(w, f.count);
    for (const Nested& sub : f.subs)
        ok = ok && sub.write(w);
    return ok;
}

inline bool write(BinFileWriter* w, const ScriptFields& f)
{
    bool ok = BinFileWriter_WriteInt(w, f.type) && write(w, f.common) && BinFileWriter_WriteInt(w, f.count);
    for (int32_t script : f.scripts)
        ok = ok && BinFileWriter_WriteInt(w, script);
    for (const Nested& sub : f.subs)
        ok = ok && sub.write(w);
    return ok;
}

// A main rewrite table of ids 0 to count - 1, id c giving the one phoneme base + c.
inline search_tables::RewriteFields offsetRewrite(uint16_t base, int32_t count)
{
    std::vector<search_tables::Alternatives> ids;
    for (int32_t c = 0; c < count; ++c)
        ids.push_back({{static_cast<uint16_t>(base + c)}});
    return search_tables::rewrites(ids);
}

// Keys and their readings sorted by key.
inline void sortedReadings(std::vector<std::pair<char16_t, uint16_t>> pairs, std::vector<uint16_t>* keys,
                           std::vector<uint16_t>* readings)
{
    std::sort(pairs.begin(), pairs.end());
    keys->clear();
    readings->clear();
    for (const auto& [key, reading] : pairs) {
        keys->push_back(key);
        readings->push_back(reading);
    }
}

// Syllable id 2; code c -> 1000 + c; jamo: vowels 20-40 -> 200-220, tail 41
// (none) -> 0, tails 42-68 -> 301-327; A[i] = i; B[19] = 600, else 0.
inline KoreanFields koreanToy()
{
    KoreanFields f;
    f.common.syllableId = 2;
    f.common.mainRewrite = offsetRewrite(1000, 601);
    std::vector<uint16_t> jamo(69, 0);
    for (uint16_t v = 20; v <= 40; ++v)
        jamo[v] = static_cast<uint16_t>(180 + v);
    for (uint16_t t = 42; t <= 68; ++t)
        jamo[t] = static_cast<uint16_t>(259 + t);
    f.jamo = search_tables::indexTable(jamo);
    for (uint16_t i = 0; i < 580; ++i)
        f.leads.push_back(i);
    f.leadsAfter.assign(580, 0);
    f.leadsAfter[19] = 600;
    return f;
}

// Keyed readings 一 1, 丁 8, 下 5, 不 2, 你 13, 好 14 over U+4E00-U+9FA5;
// special 一 9, 不 10; pair (一, 下) -> 11, 12; 17 tone changes: 13 -> 15,
// 14 -> 16, 8 transparent; reading r -> 2000 + r, syllable id 2.
inline ChineseFields chineseToy()
{
    ChineseFields f;
    f.common.syllableId = 2;
    f.common.mainRewrite = offsetRewrite(2000, 17);
    f.first = 0x4E00;
    f.last = 0x9FA5;
    sortedReadings({{u'一', 1}, {u'丁', 8}, {u'下', 5}, {u'不', 2}, {u'你', 13}, {u'好', 14}}, &f.keys,
                   &f.readings);
    sortedReadings({{u'一', 9}, {u'不', 10}}, &f.specialKeys, &f.specialReadings);
    f.keyCount = static_cast<int32_t>(f.keys.size());
    f.specialCount = static_cast<int32_t>(f.specialKeys.size());
    f.pairKeys = {u'一', u'下'};
    f.pairReadings = {11, 12};
    f.pairCount = 1;
    f.toneChanges.assign(17, 0);
    f.toneChanges[13] = 15;
    f.toneChanges[14] = 16;
    f.toneChanges[8] = 0xFFFF;
    f.common.headerValue = 17;
    return f;
}

// General 日 1, 本 2, 人 3, 山 4; first of two 日 5, 人 6; second of two
// 本 7, 人 8; of three 日 9, 本 10, 人 11; reading r -> 3000 + r.
inline JapaneseFields japaneseToy()
{
    JapaneseFields f;
    f.common.mainRewrite = offsetRewrite(3000, 12);
    f.rangeFirst = 0x3000;
    f.rangeLast = 0x9FFF;
    const std::vector<std::pair<char16_t, uint16_t>> tables[6] = {
        {{u'日', 1}, {u'本', 2}, {u'人', 3}, {u'山', 4}}, {{u'日', 5}, {u'人', 6}}, {{u'本', 7}, {u'人', 8}},
        {{u'日', 9}}, {{u'本', 10}}, {{u'人', 11}},
    };
    for (int t = 0; t < 6; ++t) {
        sortedReadings(tables[t], &f.tables[t].keys, &f.tables[t].readings);
        f.tables[t].count = static_cast<int32_t>(f.tables[t].keys.size());
    }
    return f;
}

inline SelectorFields selector(int32_t mode, std::vector<Nested> subs)
{
    SelectorFields f;
    f.mode = mode;
    f.count = static_cast<int32_t>(subs.size());
    f.subs = std::move(subs);
    return f;
}

inline ScriptFields scriptSplit(const std::vector<std::pair<int32_t, Nested>>& served)
{
    ScriptFields f;
    f.count = static_cast<int32_t>(served.size());
    for (const auto& [script, sub] : served) {
        f.scripts.push_back(script);
        f.subs.push_back(sub);
    }
    return f;
}

// The selector over the tree toy, the Korean, Chinese and Japanese toys.
inline SelectorFields selectorToy(int32_t mode)
{
    return selector(mode, {nest(toyModel()), nest(koreanToy()), nest(chineseToy()), nest(japaneseToy())});
}

// Latin (1) by the tree toy, Hangul (9) by the Korean toy.
inline ScriptFields scriptToy()
{
    return scriptSplit({{1, nest(toyModel())}, {9, nest(koreanToy())}});
}

} // namespace pron_generator
