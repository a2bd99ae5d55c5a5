// Writers of the constraint stores: the constraint manager's "bcm0" and the
// constraint file's "bcn0", from a readable spec. Every record is named, so
// a test can drop one, change one or cut the sub-file after one; each
// constraint's own record comes from a callback (the kind's writer).
//
// Header-only and free of the test framework; write the records into a
// sub-file with ArchiveFixture::add (tag "bcm0" or "bcn0"). Needs an engine
// context while writing.
#pragma once

#include "core/brevit/runtime/bin_file_writer.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace constraint_store {

using RecordWriter = std::function<bool(BinFileWriter*)>;

struct NamedRecord {
    std::string name;
    RecordWriter write;
};

class Records {
public:
    void add(std::string name, RecordWriter write) { m_records.push_back({std::move(name), std::move(write)}); }
    void addWord(std::string name, uint32_t value)
    {
        add(std::move(name), [value](BinFileWriter* w) { return BinFileWriter_WriteUnsignedInt(w, value) == 1; });
    }

    bool has(const std::string& name) const { return find(name) != m_records.end(); }
    // The record's place is left out.
    Records& drop(const std::string& name)
    {
        m_records.erase(find(name));
        return *this;
    }
    Records& change(const std::string& name, RecordWriter write)
    {
        find(name)->write = std::move(write);
        return *this;
    }
    Records& changeWord(const std::string& name, uint32_t value)
    {
        return change(name, [value](BinFileWriter* w) { return BinFileWriter_WriteUnsignedInt(w, value) == 1; });
    }
    // Nothing after the named record.
    Records& cutAfter(const std::string& name)
    {
        m_records.erase(find(name) + 1, m_records.end());
        return *this;
    }
    const std::vector<NamedRecord>& list() const { return m_records; }

    bool write(BinFileWriter* w) const
    {
        for (const NamedRecord& r : m_records)
            if (!r.write(w))
                return false;
        return true;
    }

private:
    std::vector<NamedRecord>::iterator find(const std::string& name)
    {
        return std::find_if(m_records.begin(), m_records.end(),
                            [&](const NamedRecord& r) { return r.name == name; });
    }
    std::vector<NamedRecord>::const_iterator find(const std::string& name) const
    {
        return std::find_if(m_records.begin(), m_records.end(),
                            [&](const NamedRecord& r) { return r.name == name; });
    }

    std::vector<NamedRecord> m_records;
};

// One stored constraint: its index, type and own record.
struct StoredConstraint {
    int32_t index = 0;
    int32_t type = 2;
    RecordWriter record;
};

// "bcm0". The header is derived from the entries unless given: pages enough
// for the highest index, capacities equal to the pages (at least 1), count =
// entries plus `unstored` (transcriptions: counted, never stored).
struct ManagerSpec {
    std::vector<StoredConstraint> entries;
    int32_t unstored = 0;
    std::optional<int32_t> highest;
    std::optional<uint32_t> capacity, pages, count, referenceCapacity, referencePages;
    // Reference word by index; entries default to the API's hold alone.
    std::vector<std::pair<int32_t, uint32_t>> references;
};

inline Records managerRecords(const ManagerSpec& spec)
{
    int32_t highest = -1;
    for (const StoredConstraint& e : spec.entries)
        highest = std::max(highest, e.index);
    highest = spec.highest.value_or(highest);
    const uint32_t derivedPages = static_cast<uint32_t>((int64_t{highest} + 256) / 256);
    const uint32_t pages = spec.pages.value_or(derivedPages);
    const uint32_t referencePages = spec.referencePages.value_or(pages);

    Records r;
    r.addWord("capacity", spec.capacity.value_or(std::max<uint32_t>(pages, 1)));
    r.addWord("pages", pages);
    r.addWord("count", spec.count.value_or(static_cast<uint32_t>(spec.entries.size()) +
                                           static_cast<uint32_t>(spec.unstored)));
    r.addWord("highest", static_cast<uint32_t>(highest));
    r.addWord("referenceCapacity", spec.referenceCapacity.value_or(std::max<uint32_t>(referencePages, 1)));
    r.addWord("referencePages", referencePages);
    for (int32_t i = 0; i <= highest; ++i) {
        const auto e = std::find_if(spec.entries.begin(), spec.entries.end(),
                                    [&](const StoredConstraint& s) { return s.index == i; });
        const std::string n = std::to_string(i);
        r.addWord("flag " + n, e != spec.entries.end() ? 1u : 0u);
        if (e == spec.entries.end())
            continue;
        r.addWord("type " + n, static_cast<uint32_t>(e->type));
        r.add("record " + n, e->record);
    }
    std::vector<uint32_t> words(static_cast<size_t>(referencePages) * 256, 0);
    for (const StoredConstraint& e : spec.entries)
        if (e.index >= 0 && static_cast<size_t>(e.index) < words.size())
            words[static_cast<size_t>(e.index)] = 0x40000000u;
    for (const auto& [index, word] : spec.references)
        if (index >= 0 && static_cast<size_t>(index) < words.size())
            words[static_cast<size_t>(index)] = word;
    r.add("references", [words](BinFileWriter* w) {
        std::vector<void*> table;
        for (size_t p = 0; p < words.size(); p += 256)
            table.push_back(const_cast<uint32_t*>(words.data() + p));
        return BinFileWriter_WriteChunkedArray(w, table.data(), static_cast<uint32_t>(table.size()), 256,
                                               4) == 1;
    });
    return r;
}

// "bcn0": (index, record) pairs in the order given, then the terminator n.
struct ConstraintFileSpec {
    int32_t n = 0;
    std::vector<std::pair<uint32_t, RecordWriter>> entries;
};

inline Records constraintFileRecords(const ConstraintFileSpec& spec)
{
    Records r;
    for (size_t k = 0; k < spec.entries.size(); ++k) {
        const std::string n = std::to_string(k);
        r.addWord("index " + n, spec.entries[k].first);
        r.add("record " + n, spec.entries[k].second);
    }
    r.addWord("terminator", static_cast<uint32_t>(spec.n));
    return r;
}

} // namespace constraint_store
