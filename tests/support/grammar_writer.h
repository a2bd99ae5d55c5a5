// Writer of the run-time grammar's stored form "grm1" from a readable
// grammar: terminals with their word lists and polarity, rules as lists of
// alternatives of items naming terminals or rules. tables() lays the grammar
// out as the grammar object keeps it (pools and offset tables at full
// capacity, entries past the used ones equal to the end), so a test can
// change any array before records() names every record for dropping,
// changing or cutting.
//
// Header-only, over constraint_store_writer.h; needs an engine context while
// writing (ArchiveFixture::add with the tag "grm1").
#pragma once

#include "tests/support/constraint_store_writer.h"

#include <cstdint>
#include <string>
#include <vector>

namespace grammar_file {

using constraint_store::Records;

struct Terminal {
    std::string name;
    std::vector<uint32_t> words;   // stored as given (the grammar keeps them ascending)
    int8_t polarity = 1;
};

struct Item {
    std::string symbol;   // a terminal's or a rule's name
    uint8_t minimum = 1;
    uint8_t maximum = 1;
};

struct Rule {
    std::string name;
    std::vector<std::vector<Item>> alternatives;
};

// Capacities as Grammar_Create(vocabulary, capacity, wordCapacity) gives them.
struct Spec {
    int32_t capacity = 4;
    int32_t wordCapacity = 16;
    std::vector<Terminal> terminals{{".", {}, 0}};
    std::vector<Rule> rules;
};

struct Tables {
    int32_t terminalCapacity = 0, terminalCount = 0, terminalNamePoolSize = 0, wordCapacity = 0;
    int32_t ruleCapacity = 0, ruleCount = 0, ruleNamePoolSize = 0, alternativeCapacity = 0, itemCapacity = 0;
    std::vector<uint8_t> terminalNames;
    std::vector<int16_t> terminalNameOffsets, terminalWordOffsets;
    std::vector<int8_t> terminalPolarity;
    std::vector<uint32_t> words;
    std::vector<uint8_t> ruleNames;
    std::vector<int16_t> ruleNameOffsets, ruleAlternativeOffsets, alternativeItemOffsets, itemSymbols;
    std::vector<uint8_t> itemMinimum, itemMaximum;
};

// Names packed with their NULs into a pool of size bytes; offsets of
// capacity + 1 entries.
inline void packNames(const std::vector<std::string>& names, int32_t size, int32_t capacity,
                      std::vector<uint8_t>* pool, std::vector<int16_t>* offsets)
{
    pool->assign(static_cast<size_t>(size), 0);
    offsets->assign(static_cast<size_t>(capacity) + 1, 0);
    size_t at = 0;
    for (size_t i = 0; i < names.size(); ++i) {
        for (char c : names[i])
            if (at < pool->size())
                (*pool)[at++] = static_cast<uint8_t>(c);
        ++at;   // the NUL
        for (size_t j = i + 1; j < offsets->size(); ++j)
            (*offsets)[j] = static_cast<int16_t>(at);
    }
}

inline Tables tables(const Spec& s)
{
    Tables t;
    t.terminalCapacity = t.ruleCapacity = s.capacity;
    t.terminalNamePoolSize = t.ruleNamePoolSize = 16 * s.capacity;
    t.wordCapacity = s.wordCapacity;
    t.alternativeCapacity = 4 * s.capacity;
    t.itemCapacity = 8 * s.capacity;
    t.terminalCount = static_cast<int32_t>(s.terminals.size());
    t.ruleCount = static_cast<int32_t>(s.rules.size());

    std::vector<std::string> names;
    for (const Terminal& x : s.terminals)
        names.push_back(x.name);
    packNames(names, t.terminalNamePoolSize, t.terminalCapacity, &t.terminalNames, &t.terminalNameOffsets);
    t.terminalWordOffsets.assign(static_cast<size_t>(t.terminalCapacity) + 1, 0);
    t.terminalPolarity.assign(static_cast<size_t>(t.terminalCapacity), 0);
    t.words.assign(static_cast<size_t>(t.wordCapacity), 0);
    size_t used = 0;
    for (size_t i = 0; i < s.terminals.size(); ++i) {
        for (uint32_t w : s.terminals[i].words)
            if (used < t.words.size())
                t.words[used++] = w;
            else
                ++used;
        t.terminalPolarity[i] = s.terminals[i].polarity;
        for (size_t j = i + 1; j < t.terminalWordOffsets.size(); ++j)
            t.terminalWordOffsets[j] = static_cast<int16_t>(used);
    }

    names.clear();
    for (const Rule& r : s.rules)
        names.push_back(r.name);
    packNames(names, t.ruleNamePoolSize, t.ruleCapacity, &t.ruleNames, &t.ruleNameOffsets);
    const auto symbolOf = [&s](const std::string& name) -> int16_t {
        for (size_t i = 0; i < s.terminals.size(); ++i)
            if (s.terminals[i].name == name)
                return static_cast<int16_t>(-1 - static_cast<int32_t>(i));
        for (size_t i = 0; i < s.rules.size(); ++i)
            if (s.rules[i].name == name)
                return static_cast<int16_t>(i);
        return 0x7FFF;   // names nothing
    };
    t.ruleAlternativeOffsets.assign(static_cast<size_t>(t.ruleCapacity) + 1, 0);
    t.alternativeItemOffsets.assign(static_cast<size_t>(t.alternativeCapacity) + 1, 0);
    t.itemSymbols.assign(static_cast<size_t>(t.itemCapacity), 0);
    t.itemMinimum.assign(static_cast<size_t>(t.itemCapacity), 0);
    t.itemMaximum.assign(static_cast<size_t>(t.itemCapacity), 0);
    size_t alternatives = 0;
    size_t items = 0;
    for (size_t r = 0; r < s.rules.size(); ++r) {
        for (const std::vector<Item>& alternative : s.rules[r].alternatives) {
            for (const Item& item : alternative) {
                if (items < t.itemSymbols.size()) {
                    t.itemSymbols[items] = symbolOf(item.symbol);
                    t.itemMinimum[items] = item.minimum;
                    t.itemMaximum[items] = item.maximum;
                }
                ++items;
            }
            ++alternatives;
            for (size_t a = alternatives; a < t.alternativeItemOffsets.size(); ++a)
                t.alternativeItemOffsets[a] = static_cast<int16_t>(items);
        }
        for (size_t j = r + 1; j < t.ruleAlternativeOffsets.size(); ++j)
            t.ruleAlternativeOffsets[j] = static_cast<int16_t>(alternatives);
    }
    return t;
}

template <typename T>
constraint_store::RecordWriter arrayOf(const std::vector<T>& values)
{
    return [values](BinFileWriter* w) {
        return BinFileWriter_WriteArray(w, values.empty() ? nullptr : values.data(),
                                        static_cast<uint32_t>(values.size()), sizeof(T)) == 1;
    };
}

inline Records records(const Tables& t)
{
    Records r;
    r.addWord("terminal capacity", static_cast<uint32_t>(t.terminalCapacity));
    r.addWord("terminal count", static_cast<uint32_t>(t.terminalCount));
    r.addWord("terminal name pool size", static_cast<uint32_t>(t.terminalNamePoolSize));
    r.addWord("word capacity", static_cast<uint32_t>(t.wordCapacity));
    r.addWord("rule capacity", static_cast<uint32_t>(t.ruleCapacity));
    r.addWord("rule count", static_cast<uint32_t>(t.ruleCount));
    r.addWord("rule name pool size", static_cast<uint32_t>(t.ruleNamePoolSize));
    r.addWord("alternative capacity", static_cast<uint32_t>(t.alternativeCapacity));
    r.addWord("item capacity", static_cast<uint32_t>(t.itemCapacity));
    r.add("terminal names", arrayOf(t.terminalNames));
    r.add("terminal name offsets", arrayOf(t.terminalNameOffsets));
    r.add("terminal word offsets", arrayOf(t.terminalWordOffsets));
    r.add("terminal polarity", arrayOf(t.terminalPolarity));
    r.add("words", arrayOf(t.words));
    r.add("rule names", arrayOf(t.ruleNames));
    r.add("rule name offsets", arrayOf(t.ruleNameOffsets));
    r.add("rule alternative offsets", arrayOf(t.ruleAlternativeOffsets));
    r.add("alternative item offsets", arrayOf(t.alternativeItemOffsets));
    r.add("item symbols", arrayOf(t.itemSymbols));
    r.add("item minima", arrayOf(t.itemMinimum));
    r.add("item maxima", arrayOf(t.itemMaximum));
    return r;
}

inline Records records(const Spec& s) { return records(tables(s)); }

} // namespace grammar_file
