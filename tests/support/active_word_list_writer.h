// Writer of the active word list's static part, sub-file "bacm0", fields in
// their stored order. build() derives them from a word-list id per static
// word and a pron count (and categories) per word: the contiguous form, the
// id table or the bit set with its block table at any shift, and the
// pron-to-word, pron-count and first-pron tables; every optional table can
// be left out. Tests damage a field before writing; an empty array is
// written as an absent one. The run-time part (user state) is written by the
// list itself.
//
// Header-only and free of the test framework: fuzz seeds and benchmarks use
// it too. Needs an engine context while writing.
#pragma once

#include "core/brevit/runtime/bin_file_writer.h"
#include "tests/support/search_table_writers.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

namespace active_words {

struct Fields {
    int32_t contiguous = 0;
    int32_t secondFlag = 0;
    int32_t first = 0;
    int32_t last = -1;
    int32_t bitSetBytes = 0;
    int32_t blockCount = 0;
    int32_t blockSpan = 1;
    int32_t blockShift = 0;
    int32_t words = 0;   // S
    int32_t prons = 0;   // P
    int32_t capacities[5] = {};   // replaced on load
    std::vector<uint8_t> bitSet;
    std::vector<uint16_t> blockTable;
    std::vector<uint32_t> masterIds;
    std::vector<uint16_t> pronToWord;
    std::vector<uint8_t> pronCounts;
    std::vector<uint16_t> firstProns;
    std::vector<uint8_t> categories;
};

enum class Form { Contiguous, IdTable, BitSet };

struct Options {
    Form form = Form::BitSet;
    int32_t shift = 3;             // block span 1 << shift
    bool countTables = true;       // pron-count and first-pron tables
    int32_t last = -2;             // last word-list id of the bit set; -2: the last word's
    std::vector<uint8_t> categories;   // per static pron; empty: no table
};

inline Options formOptions(Form form, std::vector<uint8_t> categories = {})
{
    Options o;
    o.form = form;
    o.categories = std::move(categories);
    return o;
}

// masterIds: ascending for the bit set, consecutive for the contiguous form.
inline Fields build(const std::vector<uint32_t>& masterIds, const std::vector<int>& pronsPerWord,
                    const Options& o = {})
{
    Fields f;
    f.words = static_cast<int32_t>(masterIds.size());
    f.first = masterIds.empty() ? 0 : static_cast<int32_t>(masterIds.front());
    switch (o.form) {
    case Form::Contiguous:
        f.contiguous = 1;
        f.last = f.first + f.words - 1;
        break;
    case Form::IdTable:
        f.masterIds = masterIds;
        f.last = masterIds.empty() ? -1 : static_cast<int32_t>(masterIds.back());
        break;
    case Form::BitSet: {
        f.last = o.last != -2 ? o.last
                              : (masterIds.empty() ? f.first - 1 : static_cast<int32_t>(masterIds.back()));
        const int64_t bits = int64_t{f.last} - f.first + 1;
        f.bitSet.assign(static_cast<size_t>((bits + 7) / 8), 0);
        for (uint32_t id : masterIds) {
            const int64_t k = int64_t{id} - f.first;
            f.bitSet[static_cast<size_t>(k >> 3)] |= static_cast<uint8_t>(1u << (k & 7));
        }
        f.blockShift = o.shift;
        f.blockSpan = 1 << o.shift;
        uint16_t before = 0;
        for (int64_t start = 0; start < bits; start += f.blockSpan) {
            f.blockTable.push_back(before);
            for (int64_t k = start; k < start + f.blockSpan && k < bits; ++k)
                before = static_cast<uint16_t>(before + ((f.bitSet[static_cast<size_t>(k >> 3)] >> (k & 7)) & 1));
        }
        break;
    }
    }
    for (size_t w = 0; w < pronsPerWord.size(); ++w) {
        if (o.countTables) {
            f.pronCounts.push_back(static_cast<uint8_t>(pronsPerWord[w]));
            f.firstProns.push_back(static_cast<uint16_t>(f.pronToWord.size()));
        }
        for (int n = 0; n < pronsPerWord[w]; ++n)
            f.pronToWord.push_back(static_cast<uint16_t>(w));
    }
    f.prons = static_cast<int32_t>(f.pronToWord.size());
    f.categories = o.categories;
    f.bitSetBytes = static_cast<int32_t>(f.bitSet.size());
    f.blockCount = static_cast<int32_t>(f.blockTable.size());
    return f;
}

// Records in stored order: 15 scalars, then 7 arrays.
inline constexpr size_t kRecords = 22;

// Writes the first recordLimit records (all by default).
inline bool write(BinFileWriter* w, const Fields& f,
                  size_t recordLimit = std::numeric_limits<size_t>::max())
{
    using search_tables::writeArray;
    const int32_t scalars[] = {f.contiguous, f.secondFlag, f.first,      f.last,
                               f.bitSetBytes, f.blockCount, f.blockSpan, f.blockShift,
                               f.words,      f.prons,      f.capacities[0], f.capacities[1],
                               f.capacities[2], f.capacities[3], f.capacities[4]};
    size_t written = 0;
    bool ok = true;
    for (int32_t v : scalars)
        if (ok && written++ < recordLimit)
            ok = BinFileWriter_WriteInt(w, v) == 1;
    const auto array = [&](const auto& a) {
        if (ok && written++ < recordLimit)
            ok = writeArray(w, a);
    };
    array(f.bitSet);
    array(f.blockTable);
    array(f.masterIds);
    array(f.pronToWord);
    array(f.pronCounts);
    array(f.firstProns);
    array(f.categories);
    return ok;
}

// ---- damaged variants ----

// A bit set one byte short of its range.
inline void cutBitSet(Fields& f)
{
    f.bitSet.pop_back();
    f.bitSetBytes = static_cast<int32_t>(f.bitSet.size());
}

// A word-list id past the last one marked active.
inline void setBitPastLast(Fields& f)
{
    f.bitSet.push_back(0x80);
    f.bitSetBytes = static_cast<int32_t>(f.bitSet.size());
}

// Two prons of a word swapped out of ascending order (needs two words with prons).
inline void unsortPronToWord(Fields& f)
{
    for (size_t p = 1; p < f.pronToWord.size(); ++p)
        if (f.pronToWord[p] != f.pronToWord[p - 1]) {
            std::swap(f.pronToWord[p], f.pronToWord[p - 1]);
            return;
        }
}

} // namespace active_words
