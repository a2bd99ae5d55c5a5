// How decoders walk a class-pair constraint word by word: the plain
// iterator over classes and members, the cached iterator over the class
// manager's successor pool, and their per-utterance and per-frame
// preparation.
//
// A member's score byte is added exactly once per member: with its first
// word, or, under parameter word 213 for a member of several words, with its
// second word (such members are entered through the first one of their run
// and told apart only by their second word).
#include "core/brevit/search/class_pair_search.h"

#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/class_networks.h"
#include "core/brevit/search/class_pair_constraint.h"
#include "core/brevit/search/class_pair_iterator.h"
#include "core/brevit/search/constraint_class.h"
#include "core/brevit/search/search_lexicon_calls.h"

namespace {

using PairIterator = ClassPairIterator;

PairIterator* asIterator(ConstraintIterator* iterator) { return ClassPairIterator_Of(iterator); }

constexpr ActiveId kInvalidActiveId = ActiveId_FromWords(0x7fffffffu, 0xffffffffu);

ClassPairConstraint* asPair(Constraint* con) { return reinterpret_cast<ClassPairConstraint*>(con); }

uint16_t transitionScore(const ClassPairConstraint* c, int32_t t)
{
    return c->hasScores != 0 && c->transitionScores != nullptr ? c->transitionScores[t] : 0;
}

void setWord(PairIterator* it, uint16_t word)
{
    it->word = word;
    it->pronCount = word != kConstraintClassNoWord ? AWL_GetNumProns(it->words, word) : 0;
    it->pronCursor = 0;
}

// Offers the prons of member m's first word.
void startMember(PairIterator* it, int32_t m)
{
    const int32_t length = ConstraintClass_GetMemberLength(it->record, m);
    it->member = m;
    it->addMemberScore = it->sharedRuns == 0 || length == 1 ? 1 : 0;
    it->final = length == 1 && it->classEnds != 0 ? 1 : 0;
    it->next = ActiveId_Make(it->constraintIndex, it->classId, static_cast<uint32_t>(m), 0);
    it->tree = nullptr;
    setWord(it, ConstraintClass_GetStartActiveId(it->record, m));
}

// Moves to the next target class with members that the restriction lets in;
// false when the transitions are used up.
bool enterNextClass(PairIterator* it)
{
    const ClassPairConstraint* c = it->con;
    while (it->transitionCursor < it->transitionEnd) {
        const int32_t t = it->transitionCursor++;
        const uint32_t target = c->targets[t];
        const uint32_t id = c->classIds[target];
        const ConstraintClass* record = ClassManager_GetClass(it->manager, id);
        if (record == nullptr || record->numMembers <= 0)
            continue;
        it->classId = id;
        it->record = record;
        it->memberCount = record->numMembers;
        it->classEnds = c->endFlags[target] != 0 ? 1 : 0;
        it->stepScore = transitionScore(c, t);
        it->treeMode = 0;
        if (it->plainInit != 0) {
            LexTree* tree = ClassManager_GetClassTree(it->manager, id);
            if (tree != nullptr) {
                // One successor for the whole class: the decoder enters its tree.
                it->treeMode = 1;
                it->member = 0;
                it->tree = tree;
                it->final = static_cast<uint32_t>(it->classEnds);
                it->next = ActiveId_Make(it->constraintIndex, id, 0, 0);
                it->addMemberScore = 0;
                it->word = kConstraintNoPron;
                it->pronCount = 1;
                it->pronCursor = 0;
                if (BrevitParam_Word(kBrevitParamRecordTreeState) != 0 && c->stateTableFlag != 0)
                    ClassPairConstraint_RecordState(&it->con->head, reinterpret_cast<ConstraintIterator*>(it));
                return true;
            }
        }
        int32_t m = 0;
        if (it->restrict != kConstraintNoPron) {
            m = ConstraintClass_FindMemberByFirstId(record, it->restrictWord, nullptr);
            if (m == kConstraintClassNoWord)
                continue;
        }
        startMember(it, m);
        return true;
    }
    return false;
}

// The member after the current one in a class entry; -1 when the class is done.
int32_t nextMember(const PairIterator* it)
{
    const int32_t m = it->member;
    int32_t following = m + 1;
    if (it->restrict == kConstraintNoPron) {
        if (it->sharedRuns != 0)
            following += ConstraintClass_CountSharedStartMembers(it->record, m);
    } else {
        if (it->sharedRuns != 0 && ConstraintClass_GetMemberLength(it->record, m) > 1)
            return -1;
        if (following >= it->memberCount || ConstraintClass_GetStartActiveId(it->record, following) != it->word)
            return -1;
    }
    return following < it->memberCount ? following : -1;
}

// Under word 213 a walk started at a member's first word goes on to the
// following members of the run through their second words.
bool continueRun(PairIterator* it)
{
    if (it->sharedRuns == 0 || it->startedAtFirstWord == 0 || it->member >= it->memberCount - 1)
        return false;
    uint16_t second = kConstraintClassNoWord;
    int32_t isPair = 0;
    if (ConstraintClass_GetNextMemberSecondId(it->record, it->member, &second, &isPair) == 0 ||
        second == kConstraintClassNoWord)
        return false;
    it->member += 1;
    it->final = it->classEnds != 0 && isPair != 0 ? 1 : 0;
    it->next = ActiveId_Make(it->constraintIndex, it->classId, static_cast<uint32_t>(it->member), 1);
    it->addMemberScore = 1;
    it->tree = nullptr;
    setWord(it, second);
    return true;
}

void fillSuccessor(const PairIterator* it, uint16_t pron, ConstraintSuccessor* out)
{
    out->member = pron;
    out->final = it->final;
    out->next = it->next;
    out->classTree = it->tree;
    uint16_t score = it->stepScore;
    if (it->addMemberScore != 0 && it->treeMode == 0)
        score = static_cast<uint16_t>(score + ConstraintClass_GetMemberScore(it->record, it->member));
    out->score = score;
}

void iteratorInit(Constraint* con, ConstraintIterator* iterator, uint16_t previous, ActiveId id, uint16_t restrict,
                  int32_t plainInit)
{
    PairIterator* it = asIterator(iterator);
    ClassPairConstraint* c = asPair(con);
    it->con = c;
    it->manager = con->classManager;
    it->vocabulary = ClassManager_GetVocabulary(it->manager);
    it->words = Voc_GetActiveWordList(it->vocabulary);
    it->constraintIndex = ActiveId_GetConstraintIndex(id);
    it->previous = previous;
    it->restrict = restrict;
    it->restrictWord = restrict != kConstraintNoPron ? Voc_GetActiveIdFromPronId(it->vocabulary, restrict, nullptr)
                                                     : kConstraintClassNoWord;
    it->wordOrder = BrevitParam_Word(kBrevitParamCanFollowCheck) != 0 ? 1 : 0;
    it->sharedRuns = BrevitParam_Word(kBrevitParamSingleWordMemberScore) != 0 ? 1 : 0;
    it->plainInit = plainInit;
    it->plain = 1;
    it->treeMode = 0;
    it->tree = nullptr;
    it->continuing = 0;
    it->startedAtFirstWord = 0;
    it->memberCount = 0;
    it->pronCount = 0;
    it->pronCursor = 0;
    it->transitionCursor = 0;
    it->transitionEnd = 0;

    uint32_t classId = 0;
    uint32_t member = 0;
    uint32_t sub = 0;
    int32_t length = 1;
    int32_t classIndex = 0;
    const ConstraintClass* record = nullptr;
    if (previous != kConstraintSilencePron) {
        classId = ActiveId_GetState(id);
        member = ActiveId_GetMember(id);
        sub = ActiveId_GetSubPosition(id);
        record = ClassManager_GetClass(it->manager, classId);
        const ActiveId key = id & ~(static_cast<ActiveId>(1) << 63);
        if (key != it->cachedId) {
            it->cachedLength = record != nullptr ? ConstraintClass_GetMemberLength(record, static_cast<int32_t>(member))
                                                 : 0;
            if (ClassPairConstraint_FindClassIndex(con, classId, &it->cachedClassIndex) == 0)
                it->cachedClassIndex = -1;
            it->cachedId = key;
        }
        length = it->cachedLength;
        classIndex = it->cachedClassIndex;
        if (classIndex < 0)
            return;
    }
    if (static_cast<int32_t>(sub) < length - 1) {
        // Inside a member: its next word.
        it->classId = classId;
        it->record = record;
        it->memberCount = record->numMembers;
        it->member = static_cast<int32_t>(member);
        it->classEnds = c->endFlags[classIndex] != 0 ? 1 : 0;
        it->final = static_cast<int32_t>(sub) + 1 == length - 1 && it->classEnds != 0 ? 1 : 0;
        it->stepScore = 0;
        it->addMemberScore = it->sharedRuns != 0 && sub == 0 ? 1 : 0;
        it->continuing = 1;
        it->startedAtFirstWord = sub == 0 ? 1 : 0;
        it->next = ActiveId_Make(it->constraintIndex, classId, member, sub + 1);
        setWord(it, ConstraintClass_GetMemberId(record, static_cast<int32_t>(member), static_cast<int32_t>(sub) + 1,
                                                nullptr));
        return;
    }
    if (c->offsets == nullptr || classIndex >= c->classCount)
        return;
    it->transitionCursor = static_cast<int32_t>(c->offsets[classIndex]);
    it->transitionEnd = static_cast<int32_t>(c->offsets[classIndex + 1]);
    if (!enterNextClass(it))
        it->memberCount = 0;
}

// The class the cached walk is in has used up its pool record: the next
// target class with a non-empty record.
bool enterNextCachedClass(PairIterator* it)
{
    const ClassPairConstraint* c = it->con;
    while (it->transitionCursor < it->transitionEnd) {
        const int32_t t = it->transitionCursor++;
        const uint32_t target = c->targets[t];
        const uint32_t id = c->classIds[target];
        SuccPronRange range = ClassManager_GetSuccPronRange(it->manager, id);
        if (range.start == 0) {
            if (ClassManager_GetClass(it->manager, id) == nullptr ||
                ClassManager_FillSuccPronIds(it->manager, it->words, id) == 0)
                continue;
            range = ClassManager_GetSuccPronRange(it->manager, id);
        }
        if (range.count == 0)
            continue;
        // Filling may have moved the pool's arrays.
        it->cachePronIds = ClassManager_GetSuccPronIds(it->manager);
        it->cacheMembers = ClassManager_GetSuccMemberIndexes(it->manager);
        it->cacheCursor = range.start;
        it->cacheEnd = range.start + range.count;
        it->classEnds = c->endFlags[target] != 0 ? 1 : 0;
        it->stepScore = transitionScore(c, t);
        it->cacheBase = ActiveId_Make(it->constraintIndex, id, 0, 0);
        return true;
    }
    it->cacheCursor = 0;
    it->cacheEnd = 0;
    return false;
}

} // namespace

void ClassPairConstraint_PrepareIterator(Constraint* con, ConstraintIterator* iterator)
{
    if (con == nullptr || con->type != kConstraintTypeClassPair)
        return;
    PairIterator* it = asIterator(iterator);
    it->stateValues[1] = 16384;
    it->cachedId = kInvalidActiveId;
}

void ClassPairConstraint_IteratorInit(Constraint* con, ConstraintIterator* iterator, uint16_t previous, int32_t,
                                      ActiveId id, uint16_t restrict)
{
    iteratorInit(con, iterator, previous, id, restrict, 1);
}

void ClassPairConstraint_IteratorInitFromActiveId(Constraint* con, ConstraintIterator* iterator, uint16_t previous,
                                                  int32_t, ActiveId id, uint16_t restrict)
{
    iteratorInit(con, iterator, previous, id, restrict, 0);
}

int32_t ClassPairConstraint_IteratorNext(ConstraintIterator* iterator, Constraint*, ConstraintSuccessor* out)
{
    PairIterator* it = asIterator(iterator);
    if (it->memberCount <= 0)
        return 0;
    for (;;) {
        if (it->treeMode != 0) {
            if (it->pronCursor == 0) {
                it->pronCursor = 1;
                fillSuccessor(it, kConstraintNoPron, out);
                return 1;
            }
        } else {
            while (it->pronCursor < it->pronCount) {
                const uint16_t pron = static_cast<uint16_t>(AWL_GetNthPronId(it->words, it->word, it->pronCursor++));
                if (it->wordOrder != 0 && Voc_CanFollow(it->vocabulary, it->previous, pron) == 0)
                    continue;
                if (it->restrict != kConstraintNoPron && it->restrict != pron)
                    continue;
                fillSuccessor(it, pron, out);
                return 1;
            }
            if (it->continuing != 0) {
                if (continueRun(it))
                    continue;
                it->memberCount = 0;
                return 0;
            }
            const int32_t following = nextMember(it);
            if (following >= 0) {
                startMember(it, following);
                continue;
            }
        }
        if (!enterNextClass(it)) {
            it->memberCount = 0;
            return 0;
        }
    }
}

void CCCache_IteratorInit(Constraint* con, ConstraintIterator* iterator, uint16_t previous, int32_t ignored,
                          ActiveId id, uint16_t restrict)
{
    PairIterator* it = asIterator(iterator);
    ClassPairConstraint* c = asPair(con);
    ClassManager* manager = con->classManager;
    if (previous != kConstraintSilencePron && manager != nullptr && manager->succPronPool != nullptr) {
        const uint32_t classId = ActiveId_GetState(id);
        const ConstraintClass* record = ClassManager_GetClass(manager, classId);
        const int32_t length =
            record != nullptr ? ConstraintClass_GetMemberLength(record, static_cast<int32_t>(ActiveId_GetMember(id)))
                              : 0;
        int32_t classIndex = -1;
        if (static_cast<int32_t>(ActiveId_GetSubPosition(id)) >= length - 1 &&
            ClassPairConstraint_FindClassIndex(con, classId, &classIndex) != 0 && c->offsets != nullptr) {
            it->con = c;
            it->manager = manager;
            it->vocabulary = ClassManager_GetVocabulary(manager);
            it->words = Voc_GetActiveWordList(it->vocabulary);
            it->constraintIndex = ActiveId_GetConstraintIndex(id);
            it->previous = previous;
            it->restrict = restrict;
            it->wordOrder = BrevitParam_Word(kBrevitParamCanFollowCheck) != 0 ? 1 : 0;
            it->plain = 0;
            it->transitionCursor = static_cast<int32_t>(c->offsets[classIndex]);
            it->transitionEnd = static_cast<int32_t>(c->offsets[classIndex + 1]);
            enterNextCachedClass(it);
            return;
        }
    }
    ClassPairConstraint_IteratorInit(con, iterator, previous, ignored, id, restrict);
}

int32_t CCCache_IteratorNext(ConstraintIterator* iterator, Constraint* con, ConstraintSuccessor* out)
{
    PairIterator* it = asIterator(iterator);
    if (it->plain != 0)
        return ClassPairConstraint_IteratorNext(iterator, con, out);
    for (;;) {
        while (it->cacheCursor < it->cacheEnd) {
            const int32_t at = it->cacheCursor++;
            const uint16_t pron = it->cachePronIds[at];
            if (it->wordOrder != 0 && Voc_CanFollow(it->vocabulary, it->previous, pron) == 0)
                continue;
            if (it->restrict != kConstraintNoPron && it->restrict != pron)
                continue;
            const uint16_t packed = it->cacheMembers[at];
            out->member = pron;
            out->final = (packed & kSuccSingleWordMember) != 0 && it->classEnds != 0 ? 1 : 0;
            out->next = it->cacheBase + (static_cast<ActiveId>(packed & kSuccMaxMemberIndex) << 10);
            out->score = it->stepScore;
            out->classTree = nullptr;
            return 1;
        }
        if (!enterNextCachedClass(it))
            return 0;
    }
}

void ClassPairConstraint_ResetPointers(Constraint* con)
{
    con->ops.IteratorInit = ClassPairConstraint_IteratorInit;
    con->ops.IteratorNext = ClassPairConstraint_IteratorNext;
}

namespace {

bool anyClassHasScoresOrPhraseIds(ClassPairConstraint* c)
{
    for (int32_t k = 1; k < c->classCount; ++k) {
        const ConstraintClass* record = ClassManager_GetClass(c->head.classManager, c->classIds[k]);
        if (record != nullptr && (ConstraintClass_HasMemberScores(record) != 0 ||
                                  ConstraintClass_HasPhraseIds(record) != 0))
            return true;
    }
    return false;
}

bool listHolds(const int32_t* list, uint32_t id)
{
    for (; list != nullptr && *list != -1; ++list)
        if (static_cast<uint32_t>(*list) == id)
            return true;
    return false;
}

// The cached pair when every class fits the pool and none was refused for
// another constraint of this utterance; a class that does not fit is noted.
void chooseIterators(ClassPairConstraint* c, int32_t* list)
{
    ClassManager* manager = c->head.classManager;
    for (int32_t k = 1; k < c->classCount; ++k)
        if (listHolds(list, c->classIds[k]))
            return;
    if (manager->succPronPool == nullptr)
        return;
    for (int32_t k = 1; k < c->classCount; ++k) {
        if (ClassManager_SuccPronIdsFit(manager, c->classIds[k]) == 0) {
            if (list != nullptr) {
                int32_t end = 0;
                while (list[end] != -1)
                    ++end;
                list[end] = static_cast<int32_t>(c->classIds[k]);
                list[end + 1] = -1;
            }
            return;
        }
    }
    c->head.ops.IteratorInit = CCCache_IteratorInit;
    c->head.ops.IteratorNext = CCCache_IteratorNext;
}

} // namespace

int32_t ClassPairConstraint_UttInit(Constraint* con, int32_t* list, int32_t decoderFlag, int32_t mode)
{
    ClassPairConstraint* c = asPair(con);
    c->frameCounter = -1;
    ClassPairConstraint_ResetPointers(con);
    ClassManager* manager = con->classManager;
    if (manager == nullptr)
        return 1;
    if (anyClassHasScoresOrPhraseIds(c)) {
        c->decoderFlag = 0;
    } else {
        c->decoderFlag = decoderFlag;
        if (decoderFlag != 0)
            chooseIterators(c, list);
    }
    // A class without its word index (not a phrase class, or no memory for
    // it) is searched member by member: the index only speeds the walk.
    if (BrevitParam_Word(kBrevitParamClassWordIndex) != 0)
        for (int32_t k = 1; k < c->classCount; ++k)
            ClassManager_BuildWordIndex(manager, c->classIds[k]);
    if (ClassManager_PrepareForRecognition(manager, mode) == 0)
        return 0;
    if (BrevitParam_Word(kBrevitParamStartLists) != 0)
        for (int32_t k = 1; k < c->classCount; ++k)
            ClassManager_RequestStartList(manager, c->classIds[k]);
    return 1;
}

int32_t ClassPairConstraint_PrepareFrame(Constraint* con, const uint8_t* bytes, int32_t count, int32_t word)
{
    if (con == nullptr || con->type != kConstraintTypeClassPair)
        return 1;
    ClassPairConstraint* c = asPair(con);
    ClassManager* manager = con->classManager;
    if (BrevitParam_Word(kBrevitParamStartLists) == 0) {
        for (int32_t k = 1; k < c->classCount; ++k)
            if (ConstraintClass* record = ClassManager_GetClass(manager, c->classIds[k]))
                ConstraintClass_InvalidateStartList(record);
        return 1;
    }
    if (c->stateTableFlag != 0 && c->scratchCapacity < count) {
        // A scratch list: nothing of the old one is kept. The old list stays
        // when the new one cannot be made.
        auto* grown = static_cast<uint16_t*>(DVKMem_Malloc(static_cast<uint32_t>(count) * sizeof(uint16_t)));
        if (grown == nullptr)
            return 0;
        DVKMem_Free(c->scratchList);
        c->scratchList = grown;
        c->scratchCapacity = count;
    }
    // The frame's candidate prons.
    const auto* prons = reinterpret_cast<const uint16_t*>(bytes);
    for (int32_t k = 1; k < c->classCount; ++k) {
        ConstraintClass* record = ClassManager_GetClass(manager, c->classIds[k]);
        if (record != nullptr &&
            ConstraintClass_BuildStartList(record, count, prons, word, ClassManager_GetVocabulary(manager)) == 0)
            return 0;
    }
    c->frameCounter += 1;
    return 1;
}

int32_t ClassPairConstraint_ScoreWordSequence(Constraint* con, int32_t count, const uint16_t* prons,
                                              const uint32_t* classIds, const int32_t* members,
                                              const uint8_t* flags, int32_t wordOrder)
{
    if (count < 1)
        return static_cast<int16_t>(static_cast<uint16_t>(ClassPairConstraint_GetEndScore(con, 0, 0, 0, 0)));
    const bool sharedRuns = BrevitParam_Word(kBrevitParamSingleWordMemberScore) != 0;
    ActiveId position = ActiveId_Make(0, 0, 0, 0);
    uint16_t previous = kConstraintSilencePron;
    uint32_t previousSub = 0;
    uint32_t lastClass = 0;
    uint16_t sum = 0;
    for (int32_t i = 0; i < count; ++i) {
        ConstraintIterator iterator;
        ClassPairConstraint_PrepareIterator(con, &iterator);
        ClassPairConstraint_IteratorInitFromActiveId(con, &iterator, previous, 0, position, prons[i]);
        PairIterator* it = asIterator(&iterator);
        it->wordOrder = wordOrder;
        ConstraintSuccessor s{};
        while (ClassPairConstraint_IteratorNext(&iterator, con, &s) != 0) {
            const uint32_t sub = ActiveId_GetSubPosition(s.next);
            if (ActiveId_GetState(s.next) != classIds[i])
                continue;
            if (flags[i] != 0 ? sub != 0 : sub != previousSub + 1)
                continue;
            // The member the recogniser named, when the class has it; its
            // weight byte counts with its first word, or under word 213 for a
            // member of several words with its second.
            const ConstraintClass* record = it->record;
            uint32_t member = ActiveId_GetMember(s.next);
            if (members[i] >= 0 && members[i] < ConstraintClass_GetNumMembers(record))
                member = static_cast<uint32_t>(members[i]);
            const int32_t length = ConstraintClass_GetMemberLength(record, static_cast<int32_t>(member));
            const uint32_t scoredAt = sharedRuns && length > 1 ? 1 : 0;
            uint16_t score = it->stepScore;
            if (sub == scoredAt)
                score = static_cast<uint16_t>(score + ConstraintClass_GetMemberScore(record, static_cast<int32_t>(member)));
            sum = static_cast<uint16_t>(sum + score);
            position = ActiveId_Make(ActiveId_GetConstraintIndex(s.next), classIds[i], member, sub);
            previous = prons[i];
            previousSub = sub;
            lastClass = classIds[i];
            break;
        }
    }
    sum = static_cast<uint16_t>(sum + ClassPairConstraint_GetEndScore(con, lastClass, 0, 0, 0));
    return static_cast<int16_t>(sum);
}

void ClassPairConstraint_SetWordOrderTest(ConstraintIterator* iterator, int32_t flag)
{
    asIterator(iterator)->wordOrder = flag;
}

void ClassPairConstraint_SetStateValues(ConstraintIterator* iterator, int32_t a, int32_t b)
{
    PairIterator* it = asIterator(iterator);
    it->stateValues[0] = a;
    it->stateValues[1] = b;
}

namespace {

// Calls f with the class id of each start transition.
template <typename F>
void forEachStartClass(ClassPairConstraint* c, F f)
{
    if (c->offsets == nullptr || c->classCount < 1)
        return;
    for (uint32_t t = c->offsets[0]; t < c->offsets[1]; ++t)
        f(c->classIds[c->targets[t]]);
}

} // namespace

int32_t ClassPairConstraint_CountStartWords(Constraint* con, uint16_t* out)
{
    ClassManager* manager = con->classManager;
    int32_t total = 0;
    forEachStartClass(asPair(con), [&](uint32_t id) {
        int32_t members = 0;
        ClassManager_GetNumMembers(manager, id, &members);
        int32_t length = 0;
        for (int32_t m = 0; out != nullptr && m < members; ++m)
            out[total + m] = ClassManager_GetMemberWord(manager, id, m, 0, &length);
        total += members;
    });
    return total;
}

int32_t ClassPairConstraint_HasStartIRClass(Constraint* con)
{
    int32_t found = 0;
    forEachStartClass(asPair(con), [&](uint32_t id) {
        void* irObject = nullptr;
        int32_t irClassIndex = -1;
        ClassManager_GetClassIRRange(con->classManager, id, &irObject, &irClassIndex);
        found |= irObject != nullptr ? 1 : 0;
    });
    return found;
}

int32_t ClassPairConstraint_ActiveIsGateWord(Constraint* con, uint16_t id)
{
    int32_t found = 0;
    forEachStartClass(asPair(con), [&](uint32_t classId) {
        found |= ClassManager_HasMemberStartingWith(con->classManager, classId, id) != 0 ? 1 : 0;
    });
    return found;
}

int32_t ClassPairConstraint_GetClassFlag(Constraint* con, ActiveId id)
{
    if (con == nullptr || con->type != kConstraintTypeClassPair)
        return 0;
    return ClassManager_GetClassFlagA(con->classManager, ActiveId_GetState(id));
}
