// Writers of the language identification model "blid0" (byte-map and
// UTF-8 modes) and the text-to-pronunciation table "bep0", over the small
// table writers. Each is first built as its plain fields from a readable
// description; every count is a field of its own that tests override, and
// recordLimit drops every record from that one on. An empty array is
// written as an absent one.
//
// Header-only and free of the test framework: fuzz seeds use it too. Needs
// an engine context while writing.
#pragma once

#include "core/brevit/runtime/bin_file_writer.h"
#include "tests/support/search_table_writers.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace language_tables {

using search_tables::IndexFields;
using search_tables::RewriteFields;
using search_tables::SymbolFields;
using search_tables::TreeFields;

// Writes records in order until the limit.
class Records {
public:
    Records(BinFileWriter* w, size_t limit) : m_w(w), m_limit(limit) {}
    template <typename Write>
    void add(Write&& write)
    {
        if (m_ok && m_written++ < m_limit)
            m_ok = write(m_w);
    }
    bool ok() const { return m_ok; }

private:
    BinFileWriter* m_w;
    size_t m_limit;
    size_t m_written = 0;
    bool m_ok = true;
};

inline bool writeInt(BinFileWriter* w, int32_t v)
{
    return BinFileWriter_WriteInt(w, v) == 1;
}

// ---- "blid0" -----------------------------------------------------------------

struct LIDFields {
    int32_t scale = 0;
    uint32_t setCRC = 0;
    int32_t width = 3;
    SymbolFields<char> languages;
    SymbolFields<char> exceptions;
    IndexFields exceptionLanguages;
    SymbolFields<char> third;
    std::vector<uint16_t> byteMap;   // 256 entries, or empty: UTF-8 mode
    int32_t mode = 0;                // 1: the character table and a second index table follow
    SymbolFields<char> characters;
    IndexFields secondIndex;
    TreeFields tree;
    size_t recordLimit = std::numeric_limits<size_t>::max();
};

// Records of a model: 3 scalars, 4 tables, the byte map, the mode, (the
// character and index tables,) the tree.
inline size_t records(const LIDFields& f)
{
    return f.mode == 1 ? 12 : 10;
}

// Symbols with explicit ids (names[k] gets ids[k]).
inline SymbolFields<char> namedSymbols(const std::vector<std::string>& names,
                                       const std::vector<uint32_t>& ids)
{
    std::vector<std::pair<std::string, uint32_t>> named;
    for (size_t k = 0; k < names.size(); ++k)
        named.emplace_back(names[k], ids[k]);
    return search_tables::symbols<char>(named, false);
}

// Languages get ids 1..n in order; exception word k gets language
// exceptionLanguages[k]; symbols: byte -> symbol for a byte map, or UTF-8
// character -> id for the character table (UTF-8 mode).
inline LIDFields lidModel(const std::vector<std::string>& languages,
                          const std::vector<std::pair<std::string, uint16_t>>& exceptions,
                          const std::vector<std::pair<std::string, uint16_t>>& symbols,
                          bool byteMap, int32_t width, TreeFields tree)
{
    LIDFields f;
    f.width = width;
    std::vector<uint32_t> ids;
    for (size_t k = 0; k < languages.size(); ++k)
        ids.push_back(static_cast<uint32_t>(k + 1));
    f.languages = namedSymbols(languages, ids);
    std::vector<std::string> words;
    std::vector<uint32_t> wordIds;
    std::vector<uint16_t> wordLanguages = {0};
    for (size_t k = 0; k < exceptions.size(); ++k) {
        words.push_back(exceptions[k].first);
        wordIds.push_back(static_cast<uint32_t>(k + 1));
        wordLanguages.push_back(exceptions[k].second);
    }
    f.exceptions = namedSymbols(words, wordIds);
    f.exceptionLanguages = search_tables::indexTable(wordLanguages);
    f.third = search_tables::sortedSymbols<char>({"x", "y"});
    if (byteMap) {
        f.byteMap.assign(256, 0);
        for (const auto& [text, symbol] : symbols)
            f.byteMap[static_cast<uint8_t>(text[0])] = symbol;
    } else {
        f.mode = 1;
        std::vector<std::string> names;
        std::vector<uint32_t> symbolIds;
        for (const auto& [text, symbol] : symbols) {
            names.push_back(text);
            symbolIds.push_back(symbol);
        }
        f.characters = namedSymbols(names, symbolIds);
        f.secondIndex = search_tables::indexTable({1, 2, 3});
    }
    f.tree = std::move(tree);
    return f;
}

inline bool write(BinFileWriter* w, const LIDFields& f)
{
    using search_tables::write;
    Records r(w, f.recordLimit);
    r.add([&](BinFileWriter* o) { return writeInt(o, f.scale); });
    r.add([&](BinFileWriter* o) { return BinFileWriter_WriteUnsignedInt(o, f.setCRC) == 1; });
    r.add([&](BinFileWriter* o) { return writeInt(o, f.width); });
    r.add([&](BinFileWriter* o) { return write(o, f.languages); });
    r.add([&](BinFileWriter* o) { return write(o, f.exceptions); });
    r.add([&](BinFileWriter* o) { return write(o, f.exceptionLanguages); });
    r.add([&](BinFileWriter* o) { return write(o, f.third); });
    r.add([&](BinFileWriter* o) { return search_tables::writeArray(o, f.byteMap); });
    r.add([&](BinFileWriter* o) { return writeInt(o, f.mode); });
    if (f.mode == 1) {
        r.add([&](BinFileWriter* o) { return write(o, f.characters); });
        r.add([&](BinFileWriter* o) { return write(o, f.secondIndex); });
    }
    r.add([&](BinFileWriter* o) { return write(o, f.tree); });
    return r.ok();
}

// ---- "bep0" ------------------------------------------------------------------

struct BepEntry {
    int32_t separator = 0;   // written as a word; the low 8 bits are read
    int32_t mark = 0;
    int32_t boundary = 0;
    int32_t flagCount = 0;   // F
    std::string name;
    std::string second;
    bool nullName = false;   // write the name as an absent string
    SymbolFields<char16_t> segments;
    RewriteFields phones;
    std::vector<uint32_t> flags;
};

struct BepFields {
    int32_t count = 0;
    std::vector<BepEntry> entries;
    size_t recordLimit = std::numeric_limits<size_t>::max();
};

struct Segment {
    std::u16string name;
    std::vector<uint16_t> phones;
};

// Segment k (from 1) is segments[k - 1]; flagged phones get flag 1 and F is
// one past the highest of them.
inline BepEntry bepEntry(const std::string& name, char separator, int32_t mark, int32_t boundary,
                         const std::vector<uint16_t>& flagged, const std::vector<Segment>& segments)
{
    BepEntry e;
    e.name = name;
    e.second = name + "-2";
    e.separator = static_cast<uint8_t>(separator);
    e.mark = mark;
    e.boundary = boundary;
    for (uint16_t phone : flagged) {
        if (phone >= e.flags.size())
            e.flags.resize(phone + 1u, 0);
        e.flags[phone] = 1;
    }
    e.flagCount = static_cast<int32_t>(e.flags.size());
    std::vector<std::pair<std::u16string, uint32_t>> named;
    std::vector<search_tables::Alternatives> lists = {{}};
    for (size_t k = 0; k < segments.size(); ++k) {
        named.emplace_back(segments[k].name, static_cast<uint32_t>(k + 1));
        lists.push_back({segments[k].phones});
    }
    e.segments = search_tables::symbols<char16_t>(named, false);
    e.phones = search_tables::rewrites(lists);
    return e;
}

inline BepFields bepTable(std::vector<BepEntry> entries)
{
    BepFields f;
    f.count = static_cast<int32_t>(entries.size());
    f.entries = std::move(entries);
    return f;
}

// Records: the count, then nine per entry.
inline size_t records(const BepFields& f)
{
    return 1 + 9 * f.entries.size();
}

inline bool write(BinFileWriter* w, const BepFields& f)
{
    using search_tables::write;
    Records r(w, f.recordLimit);
    r.add([&](BinFileWriter* o) { return writeInt(o, f.count); });
    for (const BepEntry& e : f.entries) {
        r.add([&](BinFileWriter* o) { return writeInt(o, e.separator); });
        r.add([&](BinFileWriter* o) { return writeInt(o, e.mark); });
        r.add([&](BinFileWriter* o) { return writeInt(o, e.boundary); });
        r.add([&](BinFileWriter* o) { return writeInt(o, e.flagCount); });
        r.add([&](BinFileWriter* o) {
            return BinFileWriter_WriteString(o, e.nullName ? nullptr : e.name.c_str()) == 1;
        });
        r.add([&](BinFileWriter* o) { return BinFileWriter_WriteString(o, e.second.c_str()) == 1; });
        r.add([&](BinFileWriter* o) { return write(o, e.segments); });
        r.add([&](BinFileWriter* o) { return write(o, e.phones); });
        r.add([&](BinFileWriter* o) { return search_tables::writeArray(o, e.flags); });
    }
    return r.ok();
}

} // namespace language_tables
