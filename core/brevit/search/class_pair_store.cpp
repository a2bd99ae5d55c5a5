// Class-pair constraint stored forms: the record of "bcm0" (written after
// the manager's type word) and that of "bcn0". A record is read into a new
// constraint that is kept only when every value is one the building
// operations could have made: the search indexes its tables with them.
#include "core/brevit/search/class_pair_constraint.h"

#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/bin_file_writer.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/constraint_kind_doubles.h"

#include <algorithm>
#include <vector>

namespace {

ClassPairConstraint* asPair(Constraint* con) { return reinterpret_cast<ClassPairConstraint*>(con); }

// An array of exactly count elements, or (when absent is allowed) none.
template <typename T>
bool readArray(BinFileReader* r, T** out, uint32_t count, bool mayBeAbsent)
{
    void* data = nullptr;
    uint32_t n = 0;
    if (BinFileReader_AllocateAndReadArray(r, sizeof(T), &data, &n) == 0)
        return false;
    *out = static_cast<T*>(data);
    if (n == count && (count > 0 || mayBeAbsent))
        return true;
    return n == 0 && mayBeAbsent;
}

bool readWord(BinFileReader* r, int32_t* value)
{
    uint32_t v = 0;
    if (BinFileReader_ReadUnsignedInt(r, &v) == 0)
        return false;
    *value = static_cast<int32_t>(v);
    return true;
}

bool validClassId(const ClassManager* cm, uint32_t id)
{
    if (ClassManager_IsConstraintRef(id) != 0)
        return true;
    return id >= 1 && id <= static_cast<uint32_t>(cm->maxId);
}

// Every value the walks index with must be in range.
bool consistent(const ClassPairConstraint* c, const ClassManager* cm)
{
    if (c->classIds == nullptr || c->offsets == nullptr || c->endFlags == nullptr || c->classIds[0] != 0)
        return false;
    if (c->transitionCount > 0 && c->targets == nullptr)
        return false;
    if (c->hasScores != 0 && (c->transitionScores == nullptr || c->endScores == nullptr))
        return false;
    std::vector<uint32_t> ids(c->classIds + 1, c->classIds + c->classCount);
    for (uint32_t id : ids)
        if (!validClassId(cm, id))
            return false;
    std::sort(ids.begin(), ids.end());
    if (std::adjacent_find(ids.begin(), ids.end()) != ids.end())
        return false;
    for (int32_t a = 1; c->copyClassIds != nullptr && a < c->classCount; ++a)
        if (c->copyClassIds[a] < 1 || c->copyClassIds[a] > static_cast<uint32_t>(cm->maxId))
            return false;
    if (c->offsets[0] != 0 || c->offsets[c->classCount] != static_cast<uint32_t>(c->transitionCount))
        return false;
    for (int32_t a = 0; a < c->classCount; ++a)
        if (c->offsets[a] > c->offsets[a + 1])
            return false;
    for (int32_t t = 0; t < c->transitionCount; ++t)
        if (c->targets[t] < 1 || c->targets[t] >= static_cast<uint32_t>(c->classCount))
            return false;
    return true;
}

bool validCounts(const ClassPairConstraint* c)
{
    return c->classCapacity >= 1 && c->classCapacity <= kClassManagerMaxIds && c->classCount >= 1 &&
           c->classCount <= c->classCapacity && c->transitionCount >= 0 &&
           c->transitionCount <= c->transitionCapacity && c->transitionCapacity >= 0;
}

bool readTables(BinFileReader* r, ClassPairConstraint* c, bool scores)
{
    const auto capacity = static_cast<uint32_t>(c->classCapacity);
    const auto transitions = static_cast<uint32_t>(c->transitionCapacity);
    if (!readArray(r, &c->classIds, capacity, true) || !readArray(r, &c->offsets, capacity + 1, true) ||
        !readArray(r, &c->endFlags, capacity, true) || !readArray(r, &c->targets, transitions, true))
        return false;
    if (scores && (!readArray(r, &c->transitionScores, transitions, true) ||
                   !readArray(r, &c->endScores, capacity, true)))
        return false;
    return true;
}

// Finishes a record read in full: kept when consistent, else deleted.
Constraint* finish(ClassPairConstraint* c, ClassManager* cm, bool ok)
{
    c->head.name[kConstraintNameSize - 1] = '\0';
    c->editable = 1;
    // Growth needs a target table even when none was stored.
    if (ok && consistent(c, cm) && c->targets == nullptr) {
        c->transitionCapacity = std::max(c->transitionCapacity, 1);
        c->targets = static_cast<uint32_t*>(DVKMem_Calloc(static_cast<uint32_t>(c->transitionCapacity) * 4u));
        if (c->hasScores != 0 && c->transitionScores == nullptr)
            c->transitionScores = static_cast<uint8_t*>(DVKMem_Calloc(static_cast<uint32_t>(c->transitionCapacity)));
        ok = c->targets != nullptr && (c->hasScores == 0 || c->transitionScores != nullptr);
    }
    if (!ok || !consistent(c, cm)) {
        // A refused record holds no references of its own.
        c->editable = 0;
        ClassPairConstraint_Delete(&c->head, 0);
        return nullptr;
    }
    if (c->hasScores == 0) {
        DVKMem_Free(c->transitionScores);
        DVKMem_Free(c->endScores);
        c->transitionScores = nullptr;
        c->endScores = nullptr;
    }
    c->head.inUse = 1;
    return &c->head;
}

using StoredReader = Constraint* (*)(BinFileReader*, ClassManager*);

// A new record to read into, or null: *scripted then holds what an installed
// double read instead (tests of the stores keep scripted type-3 records).
ClassPairConstraint* fresh(BinFileReader* reader, ClassManager* cm, StoredReader ConstraintKindDoubles::*form,
                           Constraint** scripted)
{
    const ConstraintKindDoubles* doubles = ConstraintKinds_InstalledDoubles();
    if (doubles != nullptr && doubles->*form != nullptr) {
        *scripted = (doubles->*form)(reader, cm);
        return nullptr;
    }
    if (cm == nullptr)
        return nullptr;
    auto* c = static_cast<ClassPairConstraint*>(DVKMem_Calloc(sizeof(ClassPairConstraint)));
    if (c == nullptr)
        return nullptr;
    ClassPairConstraint_Init(&c->head, nullptr);
    c->head.classManager = cm;
    c->frameCounter = -1;
    return c;
}

} // namespace

Constraint* ClassPairConstraint_ReadFromBinFile(BinFileReader* reader, ClassManager* classManager)
{
    Constraint* scripted = nullptr;
    ClassPairConstraint* c = fresh(reader, classManager, &ConstraintKindDoubles::classPairReadFromBinFile, &scripted);
    if (c == nullptr)
        return scripted;
    int32_t copies = 0;
    bool ok = BinFileReader_ReadArray(reader, c->head.name, 1, kConstraintNameSize) != 0 &&
              readWord(reader, &c->head.owner) && readWord(reader, &c->classCapacity) &&
              readWord(reader, &c->classCount) && readWord(reader, &c->transitionCapacity) &&
              readWord(reader, &c->transitionCount) && readWord(reader, &c->hasScores) &&
              readWord(reader, &c->stateTableFlag) && readWord(reader, &c->hasConstraintClasses) &&
              readWord(reader, &copies) && validCounts(c) && (copies == 0 || copies == 1);
    ok = ok && readTables(reader, c, c->hasScores != 0);
    if (ok && copies != 0)
        ok = readArray(reader, &c->copyClassIds, static_cast<uint32_t>(c->classCapacity), false);
    ok = ok && ClassPairConstraint_UseTransitionCache(&c->head) != 0;
    return finish(c, classManager, ok);
}

Constraint* ClassPairConstraint_ReadFromConstraintFile(BinFileReader* reader, ClassManager* classManager)
{
    Constraint* scripted = nullptr;
    ClassPairConstraint* c = fresh(reader, classManager, &ConstraintKindDoubles::classPairReadFromConstraintFile, &scripted);
    if (c == nullptr)
        return scripted;
    bool ok = BinFileReader_ReadArray(reader, c->head.name, 1, kConstraintNameSize) != 0 &&
              readWord(reader, &c->classCapacity) && readWord(reader, &c->classCount) &&
              readWord(reader, &c->transitionCapacity) && readWord(reader, &c->transitionCount) && validCounts(c);
    ok = ok && readTables(reader, c, false) && readWord(reader, &c->hasScores) &&
         readArray(reader, &c->transitionScores, static_cast<uint32_t>(c->transitionCapacity), true) &&
         readArray(reader, &c->endScores, static_cast<uint32_t>(c->classCapacity), true);
    // The cached walk takes successor prons from the class manager's pool.
    ok = ok && ClassPairConstraint_UseTransitionCache(&c->head) != 0;
    return finish(c, classManager, ok);
}

int32_t ClassPairConstraint_WritePSAFile(Constraint* con, BinFileWriter* writer)
{
    const ClassPairConstraint* c = asPair(con);
    const auto capacity = static_cast<uint32_t>(c->classCapacity);
    const auto transitions = static_cast<uint32_t>(c->transitionCapacity);
    const bool arrays = c->classIds != nullptr;
    const auto word = [writer](int32_t v) { return BinFileWriter_WriteUnsignedInt(writer, static_cast<uint32_t>(v)) != 0; };
    const auto array = [writer, arrays](const void* a, uint32_t n, uint32_t size) {
        return BinFileWriter_WriteArray(writer, arrays ? a : nullptr, arrays && a != nullptr ? n : 0, size) != 0;
    };
    bool ok = BinFileWriter_WriteArray(writer, con->name, kConstraintNameSize, 1) != 0 && word(con->owner) &&
              word(c->classCapacity) && word(c->classCount) && word(c->transitionCapacity) &&
              word(c->transitionCount) && word(c->hasScores) && word(c->stateTableFlag) &&
              word(c->hasConstraintClasses) && word(c->copyClassIds != nullptr ? 1 : 0) &&
              array(c->classIds, capacity, 4) && array(c->offsets, capacity + 1, 4) &&
              array(c->endFlags, capacity, 1) && array(c->targets, transitions, 4);
    if (ok && c->hasScores != 0)
        ok = array(c->transitionScores, transitions, 1) && array(c->endScores, capacity, 1);
    if (ok && c->copyClassIds != nullptr)
        ok = array(c->copyClassIds, capacity, 4);
    return ok ? 1 : 0;
}
