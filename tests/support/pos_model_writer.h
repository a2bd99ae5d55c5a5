// Writer of the part-of-speech model sub-file "pm0", fields in their stored
// order, built from readable leads, patterns and rules; tests damage a field
// before writing. Header-only and free of the test framework.
#pragma once

#include "core/brevit/runtime/bin_file_writer.h"
#include "tests/support/search_table_writers.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace pos_model {

struct Rule {
    uint16_t offset;
    int16_t kind;
    uint16_t pos;
};

struct Fields {
    int32_t encoding = 3;
    int32_t secondValue = 0;
    uint32_t setCRC = 0;
    int32_t patternLength = 0;
    int32_t leadCount = 0;
    int32_t defaultCount = 0;
    int32_t ruleCount = 0;
    int32_t ruleStringLength = 0;
    search_tables::IndexFields map;
    std::vector<uint16_t> patterns;
    std::vector<uint16_t> leads;
    std::vector<uint32_t> offsets;
    std::vector<uint16_t> defaults;
    std::vector<Rule> rules;
    int32_t ruleSets[17];
    std::vector<int32_t> ruleSetSizes = std::vector<int32_t>(17, 0);
    std::vector<uint16_t> ruleStrings;

    Fields()
    {
        for (int32_t& s : ruleSets)
            s = -1;
    }
};

struct Lead {
    char16_t lead;
    std::vector<std::u16string> patterns;
};

struct RuleText {
    std::u16string text;
    int16_t kind;
    uint16_t pos;
};

struct RuleSet {
    int32_t nuclei;
    int32_t first;
    int32_t size;
};

inline Fields model(int32_t encoding, const std::vector<Lead>& leads,
                    const std::vector<uint16_t>& defaults, const std::vector<RuleText>& rules,
                    const std::vector<RuleSet>& sets, const std::vector<uint16_t>& map)
{
    Fields f;
    f.encoding = encoding;
    for (const Lead& lead : leads) {
        f.leads.push_back(lead.lead);
        f.offsets.push_back(static_cast<uint32_t>(f.patterns.size()));
        for (const std::u16string& p : lead.patterns) {
            f.patterns.insert(f.patterns.end(), p.begin(), p.end());
            f.patterns.push_back(0);
        }
    }
    f.offsets.push_back(static_cast<uint32_t>(f.patterns.size()));
    f.defaults = defaults;
    for (const RuleText& rule : rules) {
        f.rules.push_back({static_cast<uint16_t>(f.ruleStrings.size()), rule.kind, rule.pos});
        f.ruleStrings.insert(f.ruleStrings.end(), rule.text.begin(), rule.text.end());
        f.ruleStrings.push_back(0);
    }
    for (const RuleSet& set : sets) {
        f.ruleSets[set.nuclei] = set.first;
        f.ruleSetSizes[static_cast<size_t>(set.nuclei)] = set.size;
    }
    f.map = search_tables::indexTable(map);
    f.patternLength = static_cast<int32_t>(f.patterns.size());
    f.leadCount = static_cast<int32_t>(f.leads.size());
    f.defaultCount = static_cast<int32_t>(f.defaults.size()) - 1;
    f.ruleCount = static_cast<int32_t>(f.rules.size());
    f.ruleStringLength = static_cast<int32_t>(f.ruleStrings.size());
    return f;
}

inline bool write(BinFileWriter* w, const Fields& f)
{
    using search_tables::writeArray;
    bool ok = BinFileWriter_WriteInt(w, f.encoding) && BinFileWriter_WriteInt(w, f.secondValue) &&
              BinFileWriter_WriteUnsignedInt(w, f.setCRC) &&
              BinFileWriter_WriteInt(w, f.patternLength) && BinFileWriter_WriteInt(w, f.leadCount) &&
              BinFileWriter_WriteInt(w, f.defaultCount) && BinFileWriter_WriteInt(w, f.ruleCount) &&
              BinFileWriter_WriteInt(w, f.ruleStringLength) && search_tables::write(w, f.map) &&
              writeArray(w, f.patterns) && writeArray(w, f.leads) && writeArray(w, f.offsets) &&
              writeArray(w, f.defaults);
    for (const Rule& rule : f.rules)
        ok = ok && BinFileWriter_WriteInt(w, rule.offset) && BinFileWriter_WriteInt(w, rule.kind) &&
             BinFileWriter_WriteInt(w, rule.pos);
    for (int32_t set : f.ruleSets)
        ok = ok && BinFileWriter_WriteInt(w, set);
    return ok && writeArray(w, f.ruleSetSizes) && writeArray(w, f.ruleStrings);
}

} // namespace pos_model
