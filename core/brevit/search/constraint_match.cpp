// Whole-path checks over constraints: pron sequences, active-word paths and
// the best parse of a word sequence. Each recursion level keeps its own
// iterator on the stack; only the array copies and parse paths take scratch.
#include "core/brevit/search/constraint.h"

#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/search/class_pair_constraint.h"
#include "core/brevit/search/search_lexicon_calls.h"

#include <cstring>

namespace {

bool hasConstraintClasses(const Constraint* con)
{
    return con != nullptr && con->type == kConstraintTypeClassPair &&
           ClassPairConstraint_HasConstraintClasses(con) != 0;
}

void startIterator(Constraint* con, ConstraintIterator* iterator, uint16_t previous, ActiveId id,
                   uint16_t restrict)
{
    if (con->type == kConstraintTypeClassPair)
        ClassPairConstraint_PrepareIterator(con, iterator);
    Constraint_IteratorInitFromActiveId(con, iterator, previous, 0, id, restrict);
}

// Drops one optional silence at each end; false when nothing is left.
template <typename Id>
bool trimSilence(const Id*& ids, int32_t& count)
{
    if (count > 0 && ids[0] == kConstraintSilencePron) {
        ++ids;
        --count;
    }
    if (count > 0 && ids[count - 1] == kConstraintSilencePron)
        --count;
    return count > 0;
}

void deleteCopies(Constraint* const* array, Constraint** copies, int32_t made)
{
    for (int32_t k = 0; k < made; ++k)
        if (copies[k] != array[k])
            Constraint_Delete(copies[k], 0);
}

int32_t matchAny(Constraint* const* array, int32_t n, const uint16_t* prons, int32_t count)
{
    for (int32_t k = 0; k < n; ++k) {
        Constraint* con = array[k];
        if (con == nullptr)
            continue;
        Constraint_ResetPointers(con);
        if (Constraint_MatchPronSequence(con, prons, count, kConstraintSilencePron, 0) != 0)
            return 1;
    }
    return 0;
}

} // namespace

int32_t Constraint_MatchPronSequence(Constraint* con, const uint16_t* prons, int32_t n,
                                     uint16_t previous, ActiveId id)
{
    if (n < 1)
        return 0;
    ConstraintIterator iterator;
    startIterator(con, &iterator, previous, id, prons[0]);
    ConstraintSuccessor next;
    while (Constraint_IteratorNext(con, &iterator, &next) != 0) {
        if (n == 1) {
            if (next.final != 0)
                return 1;
        } else if (Constraint_MatchPronSequence(con, prons + 1, n - 1, next.member, next.next) != 0) {
            return 1;
        }
    }
    return 0;
}

int32_t Constraint_IsLegalPronSequence(Constraint* const* array, int32_t n, const uint16_t* prons,
                                       int32_t count)
{
    // A sequence of nothing but silence names no path.
    if (!trimSilence(prons, count) || n < 1)
        return 0;
    bool expand = false;
    for (int32_t k = 0; k < n && !expand; ++k)
        expand = hasConstraintClasses(array[k]);
    if (!expand)
        return matchAny(array, n, prons, count);

    const uint32_t bytes = static_cast<uint32_t>(n) * sizeof(Constraint*);
    auto** copies = static_cast<Constraint**>(DVKTempMem_Malloc(bytes));
    int32_t made = 0;
    bool expanded = true;
    for (; made < n; ++made) {
        Constraint* con = array[made];
        copies[made] = con != nullptr && con->type == kConstraintTypeClassPair
                           ? ClassPairConstraint_Expand(con)
                           : con;
        if (con != nullptr && copies[made] == nullptr) {
            expanded = false;
            break;
        }
    }
    const int32_t result = expanded ? matchAny(copies, n, prons, count) : 0;
    deleteCopies(array, copies, made);
    DVKTempMem_Free(copies, bytes);
    return result;
}

int32_t Constraint_IsLegalPronSequenceReverse(Constraint* const* array, int32_t n,
                                              const uint16_t* prons, int32_t count)
{
    if (count > kConstraintMaxReverseProns)
        return 0;
    uint16_t forward[kConstraintMaxReverseProns];
    for (int32_t i = 0; i < count; ++i)
        forward[i] = prons[count - 1 - i];
    return Constraint_IsLegalPronSequence(array, n, forward, count);
}

int32_t Constraint_MatchWordSequence(Constraint* con, Voc* vocabulary, const uint16_t* words,
                                     int32_t count, uint16_t previous, ActiveId id)
{
    if (count < 1)
        return 0;
    const uint32_t word = Voc_ActiveIdToVocId(vocabulary, words[0]);
    for (int32_t k = 0;; ++k) {
        const uint16_t pron = Voc_GetNthPronId(vocabulary, word, k);
        if (pron == kConstraintNoPron)
            return 0;
        ConstraintIterator iterator;
        startIterator(con, &iterator, previous, id, pron);
        ConstraintSuccessor next;
        while (Constraint_IteratorNext(con, &iterator, &next) != 0) {
            if (count == 1) {
                if (next.final != 0)
                    return count;
            } else if (Constraint_MatchWordSequence(con, vocabulary, words + 1, count - 1, next.member,
                                                    next.next) != 0) {
                return count;
            }
        }
    }
}

int32_t Constraint_IsLegalActivePath(Constraint* con, Voc* vocabulary, const uint16_t* words,
                                     int32_t count)
{
    if (con == nullptr || !trimSilence(words, count))
        return 0;
    Constraint_ResetPointers(con);
    if (!hasConstraintClasses(con))
        return Constraint_MatchWordSequence(con, vocabulary, words, count, kConstraintSilencePron, 0);
    Constraint* copy = ClassPairConstraint_Expand(con);
    if (copy == nullptr)
        return 0;
    const int32_t result =
        Constraint_MatchWordSequence(copy, vocabulary, words, count, kConstraintSilencePron, 0);
    if (copy != con)
        Constraint_Delete(copy, 0);
    return result;
}

int32_t Constraint_FindBestParse(Constraint* const* array, int32_t n, int32_t wordCount,
                                 const uint32_t* words, Constraint** bestConstraint,
                                 uint32_t* classPath, int32_t* bestCost, uint8_t* startFlags)
{
    *bestCost = 0x40000000;
    if (wordCount < 0)
        return 0;
    const uint32_t pathBytes = static_cast<uint32_t>(wordCount) * 4u;
    const uint32_t flagBytes = startFlags != nullptr ? static_cast<uint32_t>(wordCount) : 0u;
    auto* path = static_cast<uint32_t*>(DVKTempMem_Malloc(pathBytes));
    auto* flags = flagBytes != 0 ? static_cast<uint8_t*>(DVKTempMem_Malloc(flagBytes)) : nullptr;
    int32_t parsed = 0;
    for (int32_t k = 0; k < n; ++k) {
        Constraint* con = array[k];
        if (con == nullptr)
            continue;
        int32_t cost = 0x40000000;
        if (con->ops.FindParse(con, wordCount, words, path, &cost, flags) == 0)
            continue;
        parsed = 1;
        if (cost >= *bestCost)
            continue;
        *bestCost = cost;
        if (bestConstraint != nullptr)
            *bestConstraint = con;
        if (con->type == kConstraintTypeClassPair && classPath != nullptr && wordCount > 0)
            std::memcpy(classPath, path, pathBytes);
        if (flags != nullptr)
            std::memcpy(startFlags, flags, flagBytes);
        if (cost == 0)
            break;
    }
    if (flags != nullptr)
        DVKTempMem_Free(flags, flagBytes);
    DVKTempMem_Free(path, pathBytes);
    return parsed;
}
