// Generic constraint operations: dispatch through each kind's table, and the
// operations over the decoder's array of active constraints.
#include "core/brevit/search/constraint.h"

#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/class_pair_constraint.h"
#include "core/brevit/search/whole_voc_constraint.h"

#include <algorithm>
#include <cstdlib>

namespace {

bool isClassPair(const Constraint* con)
{
    return con != nullptr && con->type == kConstraintTypeClassPair;
}

// Calls visit(con) for every class-pair entry while it answers false; true
// when one answered true.
template <typename Visit>
bool anyClassPair(Constraint* const* array, int32_t n, Visit visit)
{
    for (int32_t k = 0; k < n; ++k)
        if (isClassPair(array[k]) && visit(array[k]))
            return true;
    return false;
}

} // namespace

int32_t Constraint_GetType(const Constraint* con) { return con->type; }
const char* Constraint_GetName(const Constraint* con) { return con->name; }
int32_t Constraint_GetOwner(const Constraint* con) { return con->owner; }
int32_t Constraint_GetRestrictionFlag(const Constraint* con) { return con->restrictionFlag; }
int32_t Constraint_GetTranscriptionFlag(const Constraint* con) { return con->transcriptionFlag; }

void Constraint_Delete(Constraint* con, int32_t word)
{
    if (con == nullptr)
        return;
    con->inUse = 0;
    con->ops.Delete(con, word);
}

int32_t Constraint_RemoveActiveId(Constraint* con, uint16_t activeId)
{
    return con->ops.RemoveActiveId(con, activeId);
}

int32_t Constraint_WritePSAFile(Constraint* con, BinFileWriter* writer)
{
    return con->ops.WritePSAFile != nullptr ? con->ops.WritePSAFile(con, writer) : 0;
}

uint32_t Constraint_ComputeCRC(Constraint* con, uint32_t crc)
{
    if (con == nullptr)
        return 0xFFFFFFFFu;
    return con->ops.ComputeCRC(con, crc);
}

void Constraint_IteratorInit(Constraint* con, ConstraintIterator* iterator, uint16_t previous,
                             int32_t ignored, ActiveId id, uint16_t restrict)
{
    con->ops.IteratorInit(con, iterator, previous, ignored, id, restrict);
}

void Constraint_IteratorInitFromActiveId(Constraint* con, ConstraintIterator* iterator,
                                         uint16_t previous, int32_t ignored, ActiveId id,
                                         uint16_t restrict)
{
    if (con->ops.IteratorInitFromActiveId != nullptr)
        con->ops.IteratorInitFromActiveId(con, iterator, previous, ignored, id, restrict);
    else
        con->ops.IteratorInit(con, iterator, previous, ignored, id, restrict);
}

int32_t Constraint_IteratorNext(Constraint* con, ConstraintIterator* iterator, ConstraintSuccessor* out)
{
    return con->ops.IteratorNext(iterator, con, out);
}

int32_t Constraint_GetMemberStartsWithPronId(Constraint* con, uint32_t classId, uint16_t pron,
                                             int32_t* first, int32_t* count, int32_t* single)
{
    return con->ops.GetMemberStartsWithPronId(con, classId, pron, first, count, single);
}

void Constraint_PrintAllTransitions(Constraint* con, int32_t a, int32_t b)
{
    if (con != nullptr && con->ops.PrintAllTransitions != nullptr)
        con->ops.PrintAllTransitions(con, a, b);
}

void Constraint_ResetPointers(Constraint* con)
{
    if (con->ops.ResetPointers != nullptr)
        con->ops.ResetPointers(con);
}

int32_t Constraint_GetEndingPhns(Constraint* con, uint16_t word, ActiveId position,
                                 const uint16_t** phonemes)
{
    if (con->ops.GetEndingPhns == nullptr)
        return 65535;
    return con->ops.GetEndingPhns(con, word, position, phonemes);
}

int16_t Constraint_GetTransitionScore(Constraint* const* table, ActiveId id)
{
    Constraint* con = table[ActiveId_GetConstraintIndex(id)];
    if (con->ops.GetTransitionScore == nullptr)
        return 0;
    const int32_t score = con->ops.GetTransitionScore(con, ActiveId_GetState(id), ActiveId_GetMember(id),
                                                      ActiveId_GetSubPosition(id), 0);
    return static_cast<int16_t>(static_cast<uint16_t>(score));
}

ActiveId Constraint_MakeStartActiveId(int32_t index)
{
    return ActiveId_FromWords(static_cast<uint32_t>(index) << 21, 0);
}

int32_t Constraint_CheckAll(Constraint* const* array, int32_t n)
{
    if (n > kConstraintMaxActive)
        return 0;
    for (int32_t k = 0; k < n; ++k) {
        Constraint* con = array[k];
        if (con != nullptr && con->ops.Check != nullptr && con->ops.Check(con) == 0)
            return 0;
    }
    return 1;
}

int32_t Constraint_BuildActiveIdTables(Constraint* const* array, int32_t n)
{
    if (n > kConstraintMaxActive)
        return 0;
    int32_t result = 1;
    for (int32_t k = 0; k < n && result != 0; ++k) {
        Constraint* con = array[k];
        if (con != nullptr && con->ops.BuildActiveIdTable != nullptr)
            result = con->ops.BuildActiveIdTable(con);
    }
    return result;
}

void Constraint_FreeActiveIdTables(Constraint* const* array, int32_t n)
{
    if (n > kConstraintMaxActive)
        return;
    for (int32_t k = 0; k < n; ++k) {
        Constraint* con = array[k];
        if (con != nullptr && con->ops.FreeActiveIdTable != nullptr)
            con->ops.FreeActiveIdTable(con);
    }
}

int32_t Constraint_AnyHasOptionalEnding(Constraint* const* array, int32_t n)
{
    for (int32_t k = 0; k < n; ++k) {
        Constraint* con = array[k];
        if (con == nullptr)
            continue;
        if (con->ops.HasOptionalEnding == nullptr || con->ops.HasOptionalEnding(con) != 0)
            return 1;
    }
    return 0;
}

int32_t Constraint_AllAreSimple(Constraint* const* array, int32_t n)
{
    for (int32_t k = 0; k < n; ++k) {
        Constraint* con = array[k];
        if (con != nullptr && con->ops.IsSimple(con) == 0)
            return 0;
    }
    return 1;
}

int32_t Constraint_AnyIsLegalPronEndingReverse(Constraint* const* array, int32_t n,
                                               const uint16_t* prons, int32_t count)
{
    for (int32_t k = 0; k < n; ++k) {
        Constraint* con = array[k];
        if (con != nullptr && con->ops.IsLegalPronEndingReverse != nullptr &&
            con->ops.IsLegalPronEndingReverse(con, prons, count) != 0)
            return 1;
    }
    return 0;
}

int32_t Constraint_UttInitAll(Constraint* const* array, int32_t n, int32_t a, int32_t b)
{
    const int32_t slots = std::max(n, 0) + 1;
    auto* list = static_cast<int32_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(slots) * 4u));
    list[0] = -1;
    for (int32_t k = 0; k < n; ++k) {
        Constraint* con = array[k];
        if (!isClassPair(con))
            continue;
        const int32_t classes = ClassPairConstraint_GetNumClasses(con);
        for (int32_t c = 1; c < classes; ++c)
            ClassManager_InvalidateWordIndex(con->classManager, ClassPairConstraint_GetClassId(con, c));
    }
    int32_t result = 1;
    for (int32_t k = 0; k < n && result != 0; ++k) {
        Constraint* con = array[k];
        if (con != nullptr && con->ops.UttInit != nullptr)
            result = con->ops.UttInit(con, list, a, b);
    }
    DVKTempMem_Free(list, static_cast<uint32_t>(slots) * 4u);
    return result;
}

int32_t Constraint_PrepareFrameAll(Constraint* const* array, int32_t n, const uint8_t* bytes,
                                   int32_t count, int32_t word)
{
    for (int32_t k = 0; k < n; ++k) {
        if (!isClassPair(array[k]))
            continue;
        const int32_t result = ClassPairConstraint_PrepareFrame(array[k], bytes, count, word);
        if (result == 0)
            return result;
    }
    return 1;
}

ClassManager* Constraint_GetClassManager(Constraint* const* array, int32_t n)
{
    ClassManager* manager = nullptr;
    for (int32_t k = 0; k < n; ++k)
        if (isClassPair(array[k]))
            manager = array[k]->classManager;
    return manager;
}

int32_t Constraint_GetMaxClassMembers(Constraint* const* array, int32_t n, int32_t* max)
{
    for (int32_t k = 0; k < n; ++k)
        if (!isClassPair(array[k]))
            return 0;
    int32_t largest = 0;
    for (int32_t k = 0; k < n; ++k) {
        Constraint* con = array[k];
        const int32_t classes = ClassPairConstraint_GetNumClasses(con);
        for (int32_t c = 1; c < classes; ++c) {
            int32_t members = 0;
            ClassManager_GetNumMembers(con->classManager, ClassPairConstraint_GetClassId(con, c), &members);
            largest = std::max(largest, members);
        }
    }
    *max = largest;
    return 1;
}

void Constraint_FillPronCacheAllClasses(Constraint* const* array, int32_t n, PronCache* cache)
{
    anyClassPair(array, n, [&](Constraint* con) {
        ClassPairConstraint_FillPronCache(con, cache);
        return false;
    });
}

int32_t Constraint_GetStateTableFlag(const Constraint* con)
{
    return isClassPair(con) ? ClassPairConstraint_GetStateTableFlag(con) : 0;
}

int32_t Constraint_AnyHasLoopClass(Constraint* const* array, int32_t n)
{
    return anyClassPair(array, n, [](Constraint* con) { return ClassPairConstraint_HasLoopClass(con) != 0; });
}

void Constraint_FindFirstFlaggedClass(Constraint* const* array, int32_t n, int32_t* found,
                                      int32_t* values)
{
    ClassPairConstraint_FindFirstFlaggedClass(array, n, found, values);
}

int32_t Constraint_LexTreeNeedsBuilding(Constraint* const* array, int32_t n)
{
    return anyClassPair(array, n,
                        [](Constraint* con) { return ClassPairConstraint_ClassesNeedLexTree(con) != 0; });
}

int32_t Constraint_AnyHasConstraintClasses(int32_t n, Constraint* const* array)
{
    return anyClassPair(array, n,
                        [](Constraint* con) { return ClassPairConstraint_HasConstraintClasses(con) != 0; });
}

int32_t Constraint_AnyClassPairHasClass(int32_t n, Constraint* const* array, uint32_t classId)
{
    return anyClassPair(array, n, [&](Constraint* con) {
        int32_t index = -1;
        return ClassPairConstraint_FindClassIndex(con, classId, &index) != 0;
    });
}

int Constraint_CompareIds(const void* a, const void* b)
{
    const uint16_t x = *static_cast<const uint16_t*>(a);
    const uint16_t y = *static_cast<const uint16_t*>(b);
    return x < y ? -1 : (x > y ? 1 : 0);
}

int32_t Constraint_CollectWordIds(Constraint* const* array, int32_t n, uint16_t* buffer, int32_t room)
{
    int32_t total = 0;
    for (int32_t k = 0; k < n; ++k) {
        if (!isClassPair(array[k]))
            continue;
        if (buffer == nullptr) {
            total += ClassPairConstraint_CollectWordIds(array[k], nullptr, 0);
            continue;
        }
        // The caller's room bounds what is written, whatever the classes hold.
        const int32_t left = std::max(room - total, 0);
        const int32_t ids = ClassPairConstraint_CollectWordIds(array[k], buffer + total, left);
        total += std::clamp(ids, 0, left);
    }
    if (buffer == nullptr || total == 0)
        return total;
    std::qsort(buffer, static_cast<size_t>(total), sizeof(uint16_t), Constraint_CompareIds);
    int32_t distinct = 1;
    for (int32_t i = 1; i < total; ++i)
        if (buffer[i] != buffer[distinct - 1])
            buffer[distinct++] = buffer[i];
    return distinct;
}

Constraint* Constraint_ReadFromBinFile(BinFileReader* reader, int32_t type, Voc* vocabulary,
                                       ClassManager* classManager)
{
    switch (type) {
    case kConstraintTypeWholeVocabulary:
        return WholeVocConstraint_ReadFromBinFile(reader, vocabulary);
    case kConstraintTypeClassPair:
        return ClassPairConstraint_ReadFromBinFile(reader, classManager);
    default:
        return nullptr;
    }
}

void Constraint_PrintPossiblePaths(Constraint*) {}

Constraint* Constraint_MakeShadowConstraint(Constraint*)
{
    return nullptr;
}
