// Every successor of one class-pair position at once, for the linear-chain
// decoder: the class start lists built for the frame, or the frame's
// candidate prons, stand in for walking every member. Its records are the
// iterators' records for the same position (same member rule, same score
// bytes); classes of the phrase index or with a lexical tree are served by
// the plain iterator itself.
#include "core/brevit/search/class_pair_constraint.h"
#include "core/brevit/search/class_pair_search.h"

#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/class_networks.h"
#include "core/brevit/search/constraint_class.h"
#include "core/brevit/search/search_lexicon_calls.h"

namespace {

ClassPairConstraint* asPair(Constraint* con) { return reinterpret_cast<ClassPairConstraint*>(con); }

struct Batch {
    Constraint* con;
    ClassPairSuccessorRequest* request;
    const Voc* vocabulary;
    const AWL* words;
    uint16_t previous;
    int32_t index;          // constraint index
    bool sharedRuns;        // parameter word 213
    bool wordOrder;         // parameter word 231
    int32_t count = 0;
};

void emit(Batch& b, uint16_t pron, ActiveId next, uint32_t final, uint16_t score, LexTree* tree = nullptr)
{
    if (b.wordOrder && tree == nullptr && Voc_CanFollow(b.vocabulary, b.previous, pron) == 0)
        return;
    if (b.count < b.request->capacity && b.request->out != nullptr)
        b.request->out[b.count] = ConstraintSuccessor{pron, score, next, final, tree};
    ++b.count;
}

uint16_t activeWord(const Batch& b, uint16_t pron) { return Voc_GetActiveIdFromPronId(b.vocabulary, pron, nullptr); }

// Every pron of word, or under the candidate scan the candidates of it.
template <typename F>
void forProns(Batch& b, uint16_t word, bool scan, F f)
{
    if (scan) {
        for (int32_t k = 0; k < b.request->candidateCount; ++k)
            if (activeWord(b, b.request->candidates[k]) == word)
                f(b.request->candidates[k]);
        return;
    }
    const int32_t n = AWL_GetNumProns(b.words, word);
    for (int32_t k = 0; k < n; ++k)
        f(static_cast<uint16_t>(AWL_GetNthPronId(b.words, word, k)));
}

// A member's score byte counts with its first word, or under word 213 for a
// member of several words with its second.
uint16_t memberByte(const Batch& b, const ConstraintClass* record, int32_t m, uint32_t sub)
{
    const uint32_t scoredAt = b.sharedRuns && ConstraintClass_GetMemberLength(record, m) > 1 ? 1 : 0;
    return sub == scoredAt ? static_cast<uint16_t>(ConstraintClass_GetMemberScore(record, m)) : 0;
}

// Under word 213 only the first of a run of multi-word members sharing
// their first word is entered; the others are told apart by their second word.
bool entered(const Batch& b, const ConstraintClass* record, int32_t m)
{
    if (!b.sharedRuns || m == 0 || ConstraintClass_GetMemberLength(record, m) < 2)
        return true;
    return ConstraintClass_GetMemberLength(record, m - 1) < 2 ||
           ConstraintClass_GetStartActiveId(record, m - 1) != ConstraintClass_GetStartActiveId(record, m);
}

void insideMember(Batch& b, uint32_t classId, const ConstraintClass* record, bool classEnds, int32_t member,
                  uint32_t sub)
{
    const bool scan = BrevitParam_Word(kBrevitParamCandidateScan) != 0 &&
                      record->numMembers >= static_cast<int32_t>(BrevitParam_Word(kBrevitParamCandidateScanMinMembers));
    const int32_t length = ConstraintClass_GetMemberLength(record, member);
    const uint16_t word = ConstraintClass_GetMemberId(record, member, static_cast<int32_t>(sub) + 1, nullptr);
    const uint32_t final = static_cast<int32_t>(sub) + 2 == length && classEnds ? 1 : 0;
    const ActiveId next = ActiveId_Make(b.index, classId, static_cast<uint32_t>(member), sub + 1);
    const uint16_t score = memberByte(b, record, member, sub + 1);
    forProns(b, word, scan, [&](uint16_t pron) { emit(b, pron, next, final, score); });
    if (!b.sharedRuns || sub != 0)
        return;
    // The following members of the run, through their second words.
    for (int32_t m = member; m + 1 < record->numMembers; ++m) {
        uint16_t second = kConstraintClassNoWord;
        int32_t isPair = 0;
        if (ConstraintClass_GetNextMemberSecondId(record, m, &second, &isPair) == 0 || second == kConstraintClassNoWord)
            break;
        const ActiveId at = ActiveId_Make(b.index, classId, static_cast<uint32_t>(m + 1), 1);
        const uint32_t ends = classEnds && isPair != 0 ? 1 : 0;
        const uint16_t byte = memberByte(b, record, m + 1, 1);
        forProns(b, second, scan, [&](uint16_t pron) { emit(b, pron, at, ends, byte); });
    }
}

// A class the plain iterator serves: its successors of the iterator walk.
void throughIterator(Batch& b, uint32_t classId, ActiveId id)
{
    ConstraintIterator iterator;
    ClassPairConstraint_PrepareIterator(b.con, &iterator);
    ClassPairConstraint_IteratorInit(b.con, &iterator, b.previous, 0, id, kConstraintNoPron);
    ConstraintSuccessor s{};
    while (ClassPairConstraint_IteratorNext(&iterator, b.con, &s) != 0)
        if (ActiveId_GetState(s.next) == classId) {
            if (b.count < b.request->capacity && b.request->out != nullptr)
                b.request->out[b.count] = s;
            ++b.count;
        }
}

void enterClass(Batch& b, uint32_t classId, const ConstraintClass* record, bool classEnds, uint16_t step)
{
    auto startMember = [&](int32_t m, uint16_t pron) {
        const uint32_t final = ConstraintClass_GetMemberLength(record, m) == 1 && classEnds ? 1 : 0;
        emit(b, pron, ActiveId_Make(b.index, classId, static_cast<uint32_t>(m), 0), final,
             static_cast<uint16_t>(step + memberByte(b, record, m, 0)));
    };
    if (record->startListCount >= 0) {
        const auto* entries = static_cast<const ClassStartEntry*>(record->startList);
        for (int32_t k = 0; k < record->startListCount; ++k) {
            const int32_t m = static_cast<int32_t>(entries[k].memberShifted >> 10);
            if (entered(b, record, m))
                startMember(m, entries[k].pronId);
        }
        return;
    }
    for (int32_t k = 0; k < b.request->candidateCount; ++k) {
        const uint16_t pron = b.request->candidates[k];
        const uint16_t word = activeWord(b, pron);
        const int32_t first = ConstraintClass_FindMemberByFirstId(record, word, nullptr);
        if (first == kConstraintClassNoWord)
            continue;
        for (int32_t m = first; m < record->numMembers && ConstraintClass_GetStartActiveId(record, m) == word; ++m)
            if (entered(b, record, m))
                startMember(m, pron);
    }
}

} // namespace

int32_t ClassPairConstraint_ExpandSuccessors(Constraint* con, uint16_t previous, int32_t, ActiveId id,
                                             ClassPairSuccessorRequest* request)
{
    ClassPairConstraint* c = asPair(con);
    ClassManager* manager = con->classManager;
    Batch b{con,
            request,
            ClassManager_GetVocabulary(manager),
            nullptr,
            previous,
            ActiveId_GetConstraintIndex(id),
            BrevitParam_Word(kBrevitParamSingleWordMemberScore) != 0,
            BrevitParam_Word(kBrevitParamCanFollowCheck) != 0};
    b.words = Voc_GetActiveWordList(b.vocabulary);
    int32_t classIndex = 0;
    if (previous != kConstraintSilencePron) {
        const uint32_t classId = ActiveId_GetState(id);
        const ConstraintClass* record = ClassManager_GetClass(manager, classId);
        if (ClassPairConstraint_FindClassIndex(con, classId, &classIndex) == 0 || record == nullptr)
            return 0;
        const int32_t member = static_cast<int32_t>(ActiveId_GetMember(id));
        const uint32_t sub = ActiveId_GetSubPosition(id);
        if (member >= record->numMembers)
            return 0;
        if (static_cast<int32_t>(sub) < ConstraintClass_GetMemberLength(record, member) - 1) {
            insideMember(b, classId, record, c->endFlags[classIndex] != 0, member, sub);
            return b.count;
        }
    }
    if (c->offsets == nullptr || classIndex >= c->classCount)
        return 0;
    for (uint32_t t = c->offsets[classIndex]; t < c->offsets[classIndex + 1]; ++t) {
        const uint32_t target = c->targets[t];
        const uint32_t classId = c->classIds[target];
        const ConstraintClass* record = ClassManager_GetClass(manager, classId);
        if (record == nullptr || record->numMembers <= 0)
            continue;
        void* irObject = nullptr;
        int32_t irClassIndex = -1;
        ClassManager_GetClassIRRange(manager, classId, &irObject, &irClassIndex);
        if (irObject != nullptr || ClassManager_GetClassTree(manager, classId) != nullptr) {
            throughIterator(b, classId, id);
            continue;
        }
        const uint16_t step = c->hasScores != 0 && c->transitionScores != nullptr ? c->transitionScores[t] : 0;
        enterClass(b, classId, record, c->endFlags[target] != 0, step);
    }
    return b.count;
}
