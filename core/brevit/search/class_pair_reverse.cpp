// Whether the last words of an utterance can end a class-pair path: the
// active-id table lists every place of every word in every member, so that
// the earliest word of the ending can be found wherever it stands inside a
// member; the rest of the ending is walked forward from there.
//
// Class index, member and position are kept whole: a class may hold far
// more than 65,535 members and a constraint more than 65,535 classes.
#include "core/brevit/search/class_pair_constraint.h"
#include "core/brevit/search/class_pair_search.h"

#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/constraint_class.h"
#include "core/brevit/search/search_lexicon_calls.h"

#include <algorithm>
#include <tuple>

namespace {

ClassPairConstraint* asPair(Constraint* con) { return reinterpret_cast<ClassPairConstraint*>(con); }

bool recordLess(const ClassPairActiveIdRecord& a, const ClassPairActiveIdRecord& b)
{
    return std::tie(a.word, a.classIndex, a.member, a.position) <
           std::tie(b.word, b.classIndex, b.member, b.position);
}

// The constraint's buffers hold at least n prons and n words.
bool reserveReverse(ClassPairConstraint* c, int32_t n)
{
    if (c->reverseCapacity >= n && c->reverseBuffers[0] != nullptr)
        return true;
    const uint32_t bytes = static_cast<uint32_t>(n) * sizeof(uint16_t);
    void* prons = DVKMem_Malloc(bytes);
    void* words = DVKMem_Malloc(bytes);
    if (prons == nullptr || words == nullptr) {
        DVKMem_Free(prons);
        DVKMem_Free(words);
        return false;
    }
    DVKMem_Free(c->reverseBuffers[0]);
    DVKMem_Free(c->reverseBuffers[1]);
    c->reverseBuffers[0] = prons;
    c->reverseBuffers[1] = words;
    c->reverseCapacity = n;
    return true;
}

} // namespace

int32_t ClassPairConstraint_BuildActiveIdTable(Constraint* con)
{
    ClassPairConstraint* c = asPair(con);
    ClassPairConstraint_FreeActiveIdTable(con);
    ClassManager* manager = con->classManager;
    int64_t count = 0;
    for (int32_t k = 1; k < c->classCount; ++k)
        if (const ConstraintClass* record = ClassManager_GetClass(manager, c->classIds[k]))
            count += record->numWords;
    auto* table = static_cast<ClassPairActiveIdRecord*>(
        DVKMem_Malloc(static_cast<uint32_t>(count + 1) * sizeof(ClassPairActiveIdRecord)));
    if (table == nullptr)
        return 0;
    int64_t at = 0;
    for (int32_t k = 1; k < c->classCount; ++k) {
        const ConstraintClass* record = ClassManager_GetClass(manager, c->classIds[k]);
        for (int32_t m = 0; record != nullptr && m < record->numMembers; ++m) {
            const int32_t first = static_cast<int32_t>(ConstraintClass_OffsetAt(record, m));
            const int32_t length = ConstraintClass_MemberLength(record, m);
            for (int32_t p = 0; p < length; ++p)
                table[at++] = ClassPairActiveIdRecord{ConstraintClass_WordAt(record, first + p),
                                                      static_cast<uint32_t>(k), static_cast<uint32_t>(m),
                                                      static_cast<uint32_t>(p)};
        }
    }
    table[at] = ClassPairActiveIdRecord{kConstraintNoPron, 0, 0, 0};
    std::sort(table, table + at, recordLess);
    c->activeIdTable = table;
    c->activeIdCount = static_cast<int32_t>(at);
    return 1;
}

void ClassPairConstraint_FreeActiveIdTable(Constraint* con)
{
    ClassPairConstraint* c = asPair(con);
    DVKMem_Free(c->activeIdTable);
    c->activeIdTable = nullptr;
    c->activeIdCount = 0;
}

int32_t ClassPairConstraint_IsLegalPronEndingReverse(Constraint* con, const uint16_t* prons, int32_t n)
{
    ClassPairConstraint* c = asPair(con);
    if (n < 1)
        return 1;
    if (c->activeIdTable == nullptr && ClassPairConstraint_BuildActiveIdTable(con) == 0)
        return 0;
    if (!reserveReverse(c, n))
        return 0;
    const Voc* vocabulary = ClassManager_GetVocabulary(con->classManager);
    auto* spoken = static_cast<uint16_t*>(c->reverseBuffers[0]);
    auto* words = static_cast<uint16_t*>(c->reverseBuffers[1]);
    for (int32_t i = 0; i < n; ++i) {
        spoken[i] = prons[n - 1 - i];
        words[i] = Voc_GetActiveIdFromPronId(vocabulary, spoken[i], nullptr);
    }
    const ClassPairActiveIdRecord key{words[0], 0, 0, 0};
    const ClassPairActiveIdRecord* end = c->activeIdTable + c->activeIdCount;
    for (const ClassPairActiveIdRecord* r = std::lower_bound(static_cast<const ClassPairActiveIdRecord*>(c->activeIdTable), end, key, recordLess);
         r != end && r->word == words[0]; ++r) {
        if (r->classIndex >= static_cast<uint32_t>(c->classCount))
            continue;
        const uint32_t classId = c->classIds[r->classIndex];
        const ConstraintClass* record = ClassManager_GetClass(con->classManager, classId);
        const int32_t member = static_cast<int32_t>(r->member);
        // A table older than the classes' last edit names nothing there.
        if (record == nullptr || member >= record->numMembers)
            continue;
        const int32_t length = ConstraintClass_MemberLength(record, member);
        const int32_t tail = length - static_cast<int32_t>(r->position);
        if (tail < 1 || tail > n)
            continue;
        bool same = true;
        for (int32_t j = 1; j < tail && same; ++j)
            same = ConstraintClass_GetMemberId(record, member, static_cast<int32_t>(r->position) + j, nullptr) ==
                   words[j];
        if (!same)
            continue;
        if (tail == n) {
            if (c->endFlags[r->classIndex] != 0)
                return 1;
            continue;
        }
        const ActiveId at = ActiveId_Make(0, classId, r->member, static_cast<uint32_t>(length - 1));
        if (Constraint_MatchPronSequence(con, spoken + tail, n - tail, spoken[tail - 1], at) != 0)
            return 1;
    }
    return 0;
}
