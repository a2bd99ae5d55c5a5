// Writer of a class-pair constraint's stored record, in the manager's form
// (the "bcm0" entry) and in the constraint file's form ("bcn0"), from a
// readable spec. Arrays are written at their own lengths, so a test makes a
// wrong-length array by giving one; every record is named, so a test drops,
// changes or cuts one.
//
// Header-only, over constraint_store_writer.h; needs an engine context while
// writing.
#pragma once

#include "core/brevit/search/constraint.h"
#include "tests/support/constraint_store_writer.h"

#include <cstdint>
#include <string>
#include <vector>

namespace class_pair {

using constraint_store::Records;

struct Spec {
    std::string name = "cp";
    int32_t owner = 0;
    // Index 0 included (class id 0); capacities default to the array sizes.
    std::vector<uint32_t> classIds{0};
    std::vector<uint32_t> offsets{0, 0};
    std::vector<uint8_t> endFlags{0};
    std::vector<uint32_t> targets;
    int32_t classCapacity = -1;
    int32_t classCount = -1;
    int32_t transitionCapacity = -1;
    int32_t transitionCount = -1;
    bool hasScores = false;
    std::vector<uint8_t> transitionScores;
    std::vector<uint8_t> endScores;
    int32_t stateTableFlag = 0;
    int32_t hasConstraintClasses = 0;
    std::vector<uint32_t> copyIds;   // empty: none

    // A transition between class ids (0 as target: the end) with its score.
    Spec& add(uint32_t from, uint32_t to, uint8_t score = 0)
    {
        const size_t a = indexOf(from);
        if (to == 0) {
            endFlags[a] = 1;
            if (endScores.size() < classIds.size())
                endScores.resize(classIds.size());
            endScores[a] = score;
            return *this;
        }
        const size_t b = indexOf(to);
        const uint32_t at = offsets[a + 1];
        targets.insert(targets.begin() + at, static_cast<uint32_t>(b));
        transitionScores.insert(transitionScores.begin() + at, score);
        for (size_t i = a + 1; i < offsets.size(); ++i)
            ++offsets[i];
        return *this;
    }

    size_t indexOf(uint32_t id)
    {
        for (size_t i = 0; i < classIds.size(); ++i)
            if (classIds[i] == id)
                return i;
        classIds.push_back(id);
        offsets.push_back(offsets.back());
        endFlags.push_back(0);
        endScores.resize(classIds.size());
        return classIds.size() - 1;
    }

    int32_t capacity() const { return classCapacity >= 0 ? classCapacity : static_cast<int32_t>(classIds.size()); }
    int32_t count() const { return classCount >= 0 ? classCount : static_cast<int32_t>(classIds.size()); }
    int32_t tCapacity() const
    {
        return transitionCapacity >= 0 ? transitionCapacity : static_cast<int32_t>(targets.size());
    }
    int32_t tCount() const { return transitionCount >= 0 ? transitionCount : static_cast<int32_t>(targets.size()); }
};

template <typename T>
constraint_store::RecordWriter arrayOf(const std::vector<T>& values)
{
    return [values](BinFileWriter* w) {
        return BinFileWriter_WriteArray(w, values.empty() ? nullptr : values.data(),
                                        static_cast<uint32_t>(values.size()), sizeof(T)) == 1;
    };
}

inline constraint_store::RecordWriter nameOf(const std::string& name)
{
    return [name](BinFileWriter* w) {
        char bytes[kConstraintNameSize] = {};
        name.copy(bytes, kConstraintNameSize);
        return BinFileWriter_WriteArray(w, bytes, kConstraintNameSize, 1) == 1;
    };
}

inline std::vector<uint8_t> scoresOf(const Spec& s, const std::vector<uint8_t>& v, size_t n)
{
    std::vector<uint8_t> out = v;
    if (s.hasScores)
        out.resize(n);
    return out;
}

// The manager's record.
inline Records managerRecord(const Spec& s)
{
    Records r;
    r.add("name", nameOf(s.name));
    r.addWord("owner", static_cast<uint32_t>(s.owner));
    r.addWord("class capacity", static_cast<uint32_t>(s.capacity()));
    r.addWord("class count", static_cast<uint32_t>(s.count()));
    r.addWord("transition capacity", static_cast<uint32_t>(s.tCapacity()));
    r.addWord("transition count", static_cast<uint32_t>(s.tCount()));
    r.addWord("has scores", s.hasScores ? 1u : 0u);
    r.addWord("state-table flag", static_cast<uint32_t>(s.stateTableFlag));
    r.addWord("has constraint classes", static_cast<uint32_t>(s.hasConstraintClasses));
    r.addWord("copy ids present", s.copyIds.empty() ? 0u : 1u);
    r.add("class ids", arrayOf(s.classIds));
    r.add("offsets", arrayOf(s.offsets));
    r.add("end flags", arrayOf(s.endFlags));
    r.add("targets", arrayOf(s.targets));
    if (s.hasScores) {
        r.add("transition scores", arrayOf(scoresOf(s, s.transitionScores, s.targets.size())));
        r.add("end scores", arrayOf(scoresOf(s, s.endScores, s.classIds.size())));
    }
    if (!s.copyIds.empty())
        r.add("copy ids", arrayOf(s.copyIds));
    return r;
}

// The constraint file's record.
inline Records constraintFileRecord(const Spec& s)
{
    Records r;
    r.add("name", nameOf(s.name));
    r.addWord("class capacity", static_cast<uint32_t>(s.capacity()));
    r.addWord("class count", static_cast<uint32_t>(s.count()));
    r.addWord("transition capacity", static_cast<uint32_t>(s.tCapacity()));
    r.addWord("transition count", static_cast<uint32_t>(s.tCount()));
    r.add("class ids", arrayOf(s.classIds));
    r.add("offsets", arrayOf(s.offsets));
    r.add("end flags", arrayOf(s.endFlags));
    r.add("targets", arrayOf(s.targets));
    r.addWord("has scores", s.hasScores ? 1u : 0u);
    r.add("transition scores", arrayOf(s.hasScores ? scoresOf(s, s.transitionScores, s.targets.size())
                                                   : std::vector<uint8_t>{}));
    r.add("end scores", arrayOf(s.hasScores ? scoresOf(s, s.endScores, s.classIds.size()) : std::vector<uint8_t>{}));
    return r;
}

} // namespace class_pair
