// "bir0" sub-files made from plain phrase lists: the classes are counted here
// on their own (local indexes in order of first use, lists sorted, list
// capacities doubled from L0 as far as their counts need) and written record
// by record. Tests damage the counted records before writing them.
//
// Header-only; needs the engine runtime for BinFileWriter and a LogN
// function passed in.
#pragma once

#include "core/brevit/runtime/bin_file_writer.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace phrase_index {

struct Phrase {
    uint32_t id = 0;
    std::u16string text;
    std::vector<uint16_t> ids;
};

struct ClassSpec {
    std::string name;  // empty: a removed slot
    uint32_t mode = 0;
    uint32_t startPrior = 0;
    uint32_t l0 = 2;
    int32_t highest = 256;  // the map's highest id
    std::vector<Phrase> phrases;
};

struct List {
    std::vector<std::pair<uint16_t, uint16_t>> entries;
    uint32_t capacity = 0;
};

struct Word {
    uint32_t count = 0;
    uint32_t logCount = 0;
    List successors;
    List postings;
};

struct ClassRecords {
    std::string name;
    uint32_t mode = 0, highest = 0, startPrior = 0, l0 = 0, phraseCount = 0, total = 0, wordCount = 0, logTotal = 0;
    std::vector<uint16_t> map;
    std::vector<Phrase> phrases;
    std::vector<Word> words;
    std::vector<uint32_t> sharedSuccessors;  // rebuilt by share() from the lists
    std::vector<uint32_t> sharedPostings;
    int32_t extraShared = 0;                 // damage: entries added to both shared blocks
};

struct Records {
    std::vector<ClassRecords> classes;
    uint32_t slotCountOverride = 0;  // damage: a slot count other than the real one

    // Every list kept in the shared blocks goes into them; unused entries are 0.
    void share()
    {
        for (ClassRecords& c : classes) {
            c.sharedSuccessors.assign(static_cast<size_t>(c.wordCount) * c.l0 + std::max(c.extraShared, 0), 0);
            c.sharedPostings.assign(c.sharedSuccessors.size(), 0);
            for (size_t w = 0; w < c.words.size(); ++w) {
                auto put = [&](const List& l, std::vector<uint32_t>& block) {
                    if (l.capacity > c.l0)
                        return;
                    for (size_t k = 0; k < l.entries.size() && w * c.l0 + k < block.size(); ++k)
                        block[w * c.l0 + k] = l.entries[k].first | (uint32_t{l.entries[k].second} << 16);
                };
                put(c.words[w].successors, c.sharedSuccessors);
                put(c.words[w].postings, c.sharedPostings);
            }
        }
    }

    bool write(BinFileWriter* w) const
    {
        bool ok = BinFileWriter_WriteUnsignedInt(w, slotCountOverride != 0 ? slotCountOverride
                                                                           : static_cast<uint32_t>(classes.size()));
        for (const ClassRecords& c : classes) {
            if (c.name.empty()) {
                ok = ok && BinFileWriter_WriteUnsignedInt(w, 0);
                continue;
            }
            const uint32_t length = static_cast<uint32_t>(c.name.size() + 1);
            ok = ok && BinFileWriter_WriteUnsignedInt(w, length) && BinFileWriter_WriteArray(w, c.name.c_str(), length, 1);
        }
        for (const ClassRecords& c : classes) {
            if (c.name.empty())
                continue;
            for (uint32_t v : {c.mode, c.highest, c.startPrior, c.l0, c.phraseCount, c.total, c.wordCount, c.logTotal})
                ok = ok && BinFileWriter_WriteUnsignedInt(w, v);
            ok = ok && BinFileWriter_WriteArray(w, c.map.data(), static_cast<uint32_t>(c.map.size()), 2);
            for (const Phrase& p : c.phrases) {
                const uint32_t t = static_cast<uint32_t>(p.text.size());
                ok = ok && BinFileWriter_WriteUnsignedInt(w, p.id) &&
                     BinFileWriter_WriteUnsignedInt(w, static_cast<uint32_t>(p.ids.size())) &&
                     BinFileWriter_WriteUnsignedInt(w, t) &&
                     (t == 0 || BinFileWriter_WriteArray(w, p.text.c_str(), t + 1, 2)) &&
                     BinFileWriter_WriteArray(w, p.ids.data(), static_cast<uint32_t>(p.ids.size()), 2);
            }
            for (const Word& r : c.words) {
                for (uint32_t v : {r.count, r.logCount, static_cast<uint32_t>(r.successors.entries.size()),
                                   r.successors.capacity, static_cast<uint32_t>(r.postings.entries.size()),
                                   r.postings.capacity})
                    ok = ok && BinFileWriter_WriteUnsignedInt(w, v);
                for (const List* l : {&r.successors, &r.postings}) {
                    if (l->capacity <= c.l0)
                        continue;
                    std::vector<uint16_t> first, second;
                    for (auto [i, n] : l->entries) {
                        first.push_back(i);
                        second.push_back(n);
                    }
                    ok = ok && BinFileWriter_WriteArray(w, first.data(), static_cast<uint32_t>(first.size()), 2) &&
                         BinFileWriter_WriteArray(w, second.data(), static_cast<uint32_t>(second.size()), 2);
                }
            }
            ok = ok && BinFileWriter_WriteArray(w, c.sharedSuccessors.data(), static_cast<uint32_t>(c.sharedSuccessors.size()), 4) &&
                 BinFileWriter_WriteArray(w, c.sharedPostings.data(), static_cast<uint32_t>(c.sharedPostings.size()), 4);
        }
        return ok;
    }
};

inline uint32_t capacityFor(uint32_t l0, size_t count)
{
    uint32_t capacity = l0;
    while (capacity < count)
        capacity = capacity == 0 ? 1 : capacity * 2;
    return capacity;
}

// Counts each class from its phrases.
template <typename LogN>
Records count(const std::vector<ClassSpec>& specs, LogN logN)
{
    Records out;
    for (const ClassSpec& s : specs) {
        ClassRecords c;
        c.name = s.name;
        if (s.name.empty()) {
            out.classes.push_back(c);
            continue;
        }
        c.mode = s.mode;
        c.startPrior = s.startPrior;
        c.l0 = s.l0;
        c.phrases = s.phrases;
        c.phraseCount = static_cast<uint32_t>(s.phrases.size());
        std::map<uint16_t, uint16_t> local;
        std::map<uint16_t, std::map<uint16_t, uint32_t>> pairs;   // word -> successor -> count
        std::map<uint16_t, std::map<uint16_t, uint32_t>> postings; // word -> phrase -> count
        std::map<uint16_t, uint32_t> counts;
        for (size_t d = 0; d < s.phrases.size(); ++d) {
            if (local.empty())
                local[65535] = 0;  // the boundary takes index 0 first
            uint16_t previous = 0;
            for (uint16_t id : s.phrases[d].ids) {
                if (!local.count(id)) {
                    const uint16_t next = static_cast<uint16_t>(local.size());
                    local[id] = next;
                }
                const uint16_t l = local[id];
                counts[l] += 1;
                postings[l][static_cast<uint16_t>(d)] += 1;
                pairs[previous][l] += 1;
                previous = l;
                c.total += 1;
            }
            pairs[previous][0] += 1;
            c.total += 1;
        }
        c.highest = static_cast<uint32_t>(s.phrases.empty() ? -1 : s.highest);
        if (!s.phrases.empty()) {
            c.map.assign(static_cast<size_t>(s.highest) + 1, 65535);
            for (auto [id, l] : local)
                if (id != 65535)
                    c.map[id] = l;
        }
        c.wordCount = static_cast<uint32_t>(local.size());
        c.logTotal = logN(c.total);
        c.words.resize(c.wordCount);
        for (uint32_t w = 0; w < c.wordCount; ++w) {
            Word& r = c.words[w];
            r.count = w == 0 ? s.startPrior + c.phraseCount : counts[static_cast<uint16_t>(w)];
            r.logCount = logN(r.count);
            for (auto [to, n] : pairs[static_cast<uint16_t>(w)])
                r.successors.entries.emplace_back(to, static_cast<uint16_t>(std::min<uint32_t>(n, 65535)));
            for (auto [d, n] : postings[static_cast<uint16_t>(w)])
                r.postings.entries.emplace_back(d, static_cast<uint16_t>(std::min<uint32_t>(n, 65535)));
            r.successors.capacity = capacityFor(c.l0, r.successors.entries.size());
            r.postings.capacity = capacityFor(c.l0, r.postings.entries.size());
        }
        out.classes.push_back(c);
    }
    out.share();
    return out;
}

}  // namespace phrase_index
