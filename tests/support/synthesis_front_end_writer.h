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

#include <cstdint>
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

} // namespace tts_front_end
