// Writers of the synthesis front end's blocks in the records their loaders
// read. The context rewrite rules are built from a readable description
// (symbol lists; a repeatable context element is followed by the repeat
// marker) into named record fields, so tests can drop, change or cut any
// record before writing.
//
// Header-only and free of the test framework: fuzz seeds use it too. Needs
// an engine context while writing.
#pragma once

#include "tests/support/search_table_writers.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace tts_front_end {

using Symbols = std::vector<uint16_t>;

struct RuleSpec {
    Symbols focus;
    Symbols replacement;
    Symbols left;
    Symbols right;
    // -1: the context's length less its repeatable elements and markers.
    int32_t leftMinimum = -1;
    int32_t rightMinimum = -1;
};

struct RuleSetSpec {
    bool leftToRight = true;
    int32_t expansion = 2;
    std::vector<RuleSpec> rules;
};

struct RulesSpec {
    uint16_t repeatMarker = 0;
    // Highest rule symbol; the class table holds an entry for each.
    uint16_t maxSymbol = 0;
    // Class k + 1: its member symbols. classOf: (symbol, class id).
    std::vector<Symbols> classes;
    std::vector<std::pair<uint16_t, uint16_t>> classOf;
    std::vector<RuleSetSpec> sets;
};

struct RuleSetRecord {
    int32_t leftToRight = 1;
    int32_t expansion = 1;
    int32_t ruleCount = 0;
};

struct RuleRecord {
    int32_t focusLength = 0;
    int32_t replacementLength = 0;
    int32_t leftLength = 0;
    int32_t leftMinimum = 0;
    int32_t rightLength = 0;
    int32_t rightMinimum = 0;
};

struct RulesFields {
    int32_t repeatMarker = 0;
    int32_t ruleSetCount = 0;
    int32_t ruleCount = 0;
    int32_t symbolPoolSize = 0;
    search_tables::IndexFields symbolClasses;
    search_tables::RewriteFields classMembers;
    std::vector<uint16_t> symbolPool;
    std::vector<RuleSetRecord> sets;
    std::vector<RuleRecord> rules;
};

inline int32_t contextMinimum(const Symbols& context, uint16_t marker)
{
    int32_t n = static_cast<int32_t>(context.size());
    for (size_t k = 1; k < context.size(); ++k)
        if (context[k] == marker)
            n -= 2;
    return n;
}

inline RulesFields rulesFields(const RulesSpec& spec)
{
    RulesFields f;
    f.repeatMarker = spec.repeatMarker;
    std::vector<uint16_t> classOf(spec.maxSymbol + 1u, 0);
    for (const auto& [symbol, cls] : spec.classOf)
        classOf.at(symbol) = cls;
    f.symbolClasses = search_tables::indexTable(classOf);
    std::vector<search_tables::Alternatives> members{{}};
    for (const Symbols& cls : spec.classes)
        members.push_back({cls});
    f.classMembers = search_tables::rewrites(members);
    for (const RuleSetSpec& set : spec.sets) {
        f.sets.push_back({set.leftToRight ? 1 : 0, set.expansion,
                          static_cast<int32_t>(set.rules.size())});
        for (const RuleSpec& rule : set.rules) {
            RuleRecord r;
            r.focusLength = static_cast<int32_t>(rule.focus.size());
            r.replacementLength = static_cast<int32_t>(rule.replacement.size());
            r.leftLength = static_cast<int32_t>(rule.left.size());
            r.rightLength = static_cast<int32_t>(rule.right.size());
            r.leftMinimum = rule.leftMinimum >= 0 ? rule.leftMinimum
                                                  : contextMinimum(rule.left, spec.repeatMarker);
            r.rightMinimum = rule.rightMinimum >= 0 ? rule.rightMinimum
                                                    : contextMinimum(rule.right, spec.repeatMarker);
            f.rules.push_back(r);
            for (const Symbols* part : {&rule.focus, &rule.replacement, &rule.left, &rule.right})
                f.symbolPool.insert(f.symbolPool.end(), part->begin(), part->end());
        }
    }
    f.ruleSetCount = static_cast<int32_t>(f.sets.size());
    f.ruleCount = static_cast<int32_t>(f.rules.size());
    f.symbolPoolSize = static_cast<int32_t>(f.symbolPool.size());
    return f;
}

inline bool write(BinFileWriter* w, const RulesFields& f)
{
    bool ok = BinFileWriter_WriteInt(w, f.repeatMarker) && BinFileWriter_WriteInt(w, f.ruleSetCount) &&
              BinFileWriter_WriteInt(w, f.ruleCount) && BinFileWriter_WriteInt(w, f.symbolPoolSize) &&
              search_tables::write(w, f.symbolClasses) && search_tables::write(w, f.classMembers) &&
              search_tables::writeArray(w, f.symbolPool);
    for (const RuleSetRecord& s : f.sets)
        ok = ok && BinFileWriter_WriteInt(w, s.leftToRight) && BinFileWriter_WriteInt(w, s.expansion) &&
             BinFileWriter_WriteInt(w, s.ruleCount);
    for (const RuleRecord& r : f.rules)
        for (int32_t v : {r.focusLength, r.replacementLength, r.leftLength, r.leftMinimum,
                          r.rightLength, r.rightMinimum})
            ok = ok && BinFileWriter_WriteInt(w, v);
    return ok;
}

// The rule block: rules, then the three symbol tables and the per-symbol
// values and kinds (M + 1 entries each).
struct RuleBlockFields {
    RulesFields rules;
    search_tables::IndexFields tagSymbols;
    search_tables::IndexFields semanticSymbols;
    search_tables::IndexFields phoneSymbols;
    std::vector<uint16_t> symbolValues;
    std::vector<uint32_t> symbolKinds;
};

inline bool write(BinFileWriter* w, const RuleBlockFields& f)
{
    return write(w, f.rules) && search_tables::write(w, f.tagSymbols) &&
           search_tables::write(w, f.semanticSymbols) && search_tables::write(w, f.phoneSymbols) &&
           search_tables::writeArray(w, f.symbolValues) && search_tables::writeArray(w, f.symbolKinds);
}

// The front-end block of "btt0", record by record.
struct FrontEndFields {
    uint16_t punctuationTagA = 1;
    uint16_t punctuationTagB = 2;
    uint16_t defaultTag = 3;
    int32_t breakWindow = 3;
    int32_t tagHistory = 2;
    int32_t tagBeam = 42;
    int32_t breakClassCount = 0;
    int32_t phraseSplitSyllables = 0;
    int32_t phraseMaxSyllables = 1000;
    int32_t phraseCostLength = 0;
    int32_t phraseCostSlope = 0;
    int32_t pieceCostWeight = 16;
    int32_t pieceCostOffset = 0;
    uint16_t accentClass = 0;
    int32_t ruleSymbolCount = 0;
    std::vector<uint16_t> markers = std::vector<uint16_t>(8, 0);
    search_tables::RewriteFields tagRewrites;
    search_tables::TreeFields breakTree;
    std::vector<uint8_t> breakClasses;
    std::vector<uint8_t> phraseCosts;
    search_tables::IndexFields posClassTable;
    int32_t rulesPresent = 0;
    RuleBlockFields rules;
    int32_t more = 0;
};

// A break tree whose leaf is the class of the tag at the window's centre:
// one question per listed tag (the symbol sets' ids are the tags).
inline search_tables::TreeFields breakTreeOnOwnTag(int32_t window, const std::vector<std::pair<uint16_t, uint16_t>>& leafOfTag,
                                                   uint16_t otherLeaf)
{
    std::vector<search_tables::Alternatives> sets;
    search_tables::TreeNode node = search_tables::classLeaf(otherLeaf);
    for (auto it = leafOfTag.rbegin(); it != leafOfTag.rend(); ++it)
        node = search_tables::ask(it->first, window / 2, search_tables::classLeaf(it->second), node);
    uint16_t highest = 0;
    for (const auto& [tag, leaf] : leafOfTag)
        highest = std::max(highest, tag);
    for (uint16_t q = 0; q <= highest; ++q)
        sets.push_back({{q}});
    return search_tables::tree(node, search_tables::rewrites(sets), search_tables::kTreeMini);
}

inline bool write(BinFileWriter* w, const FrontEndFields& f)
{
    bool ok = true;
    for (uint16_t v : {f.punctuationTagA, f.punctuationTagB, f.defaultTag})
        ok = ok && BinFileWriter_WriteInt(w, v);
    for (int32_t v : {f.breakWindow, f.tagHistory, f.tagBeam, f.breakClassCount, f.phraseSplitSyllables,
                      f.phraseMaxSyllables, f.phraseCostLength, f.phraseCostSlope, f.pieceCostWeight,
                      f.pieceCostOffset})
        ok = ok && BinFileWriter_WriteInt(w, v);
    ok = ok && BinFileWriter_WriteInt(w, f.accentClass) && BinFileWriter_WriteInt(w, f.ruleSymbolCount);
    for (uint16_t m : f.markers)
        ok = ok && BinFileWriter_WriteInt(w, m);
    ok = ok && search_tables::write(w, f.tagRewrites) && search_tables::write(w, f.breakTree) &&
         search_tables::writeArray(w, f.breakClasses);
    if (f.phraseCostLength > 0)
        ok = ok && search_tables::writeArray(w, f.phraseCosts);
    ok = ok && search_tables::write(w, f.posClassTable) && BinFileWriter_WriteInt(w, f.rulesPresent);
    if (f.rulesPresent != 0)
        ok = ok && write(w, f.rules);
    return ok && BinFileWriter_WriteInt(w, f.more);
}

} // namespace tts_front_end
