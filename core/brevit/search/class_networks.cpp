// Class networks: the generated-name odometer and member runs by first word.
#include "core/brevit/search/class_networks.h"

#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/class_manager_tables.h"
#include "core/brevit/search/constraint_class.h"
#include "core/brevit/search/search_lexicon_calls.h"

#include <algorithm>
#include <cstring>

namespace {

char sVarBaseName[kClassBaseNameLength + 1] = " aaaaaaaa";

bool nameTaken(const ClassManager* m, const char* base)
{
    for (int32_t id = 1; id <= m->maxId; ++id) {
        if (!ClassManager_IsNamed(m, static_cast<uint32_t>(id)))
            continue;
        const char* name = ClassManager_Entry<char*>(m->names, static_cast<uint32_t>(id));
        if (std::strncmp(name, base, kClassBaseNameLength) == 0)
            return true;
    }
    return false;
}

} // namespace

void ClassManager_StepBaseName(char* name)
{
    for (int32_t i = kClassBaseNameLength - 1; i >= 1; --i) {
        if (name[i] != 'z') {
            ++name[i];
            return;
        }
        name[i] = 'a';
    }
}

const char* ClassManager_NextVarBaseName(const ClassManager* manager)
{
    // Bounded by the names in use: each taken base is skipped once.
    do
        ClassManager_StepBaseName(sVarBaseName);
    while (manager != nullptr && nameTaken(manager, sVarBaseName));
    return sVarBaseName;
}

int32_t ClassManager_IsGeneratedClassName(const char* name)
{
    if (name == nullptr || name[0] != ' ')
        return 0;
    for (int32_t i = 1; i < kClassBaseNameLength; ++i)
        if (name[i] == '\0' || name[i] > 'z')
            return 0;
    return 1;
}

int32_t ClassManager_FindMembersStartingWithPron(ClassManager* manager, uint32_t id, uint16_t pronId,
                                                 int32_t* firstMember, int32_t* runLength, int32_t* hasSingleWord)
{
    *firstMember = 0;
    *runLength = 0;
    *hasSingleWord = 0;
    if (ClassManager_IsConstraintRef(id) != 0 || ClassManager_FinishEdit(manager) == 0)
        return 0;
    const ConstraintClass* c = ClassManager_GetClass(manager, id);
    if (c == nullptr || c->numMembers <= 0)
        return 0;
    const uint16_t word = Voc_GetActiveIdFromPronId(ClassManager_GetVocabulary(manager), pronId, nullptr);
    int32_t low = 0;
    int32_t high = c->numMembers;
    while (low < high) {
        const int32_t mid = low + (high - low) / 2;
        if (ConstraintClass_GetStartActiveId(c, mid) < word)
            low = mid + 1;
        else
            high = mid;
    }
    *firstMember = low;
    int32_t n = 0;
    while (low + n < c->numMembers && ConstraintClass_GetStartActiveId(c, low + n) == word) {
        if (ConstraintClass_MemberLength(c, low + n) == 1)
            *hasSingleWord = 1;
        ++n;
    }
    *runLength = n;
    return n > 0 ? 1 : 0;
}

namespace {

uint16_t firstWordOf(const ConstraintClass* c, int32_t m)
{
    return ConstraintClass_WordAt(c, static_cast<int32_t>(ConstraintClass_OffsetAt(c, m)));
}

// A real class's record (not an alias's shared one).
ConstraintClass* ownRecord(const ClassManager* m, uint32_t id)
{
    ConstraintClass* c = ClassManager_RecordOf(m, id);
    return c != nullptr && ClassManager_AliasOf(m, id) == 0 ? c : nullptr;
}

int32_t paramWord(int index) { return static_cast<int32_t>(BrevitParam_Word(index)); }

// Room for `needed` start entries, keeping the `kept` made; false without
// memory (the list as it was).
bool growStartList(ConstraintClass* c, int32_t needed, int32_t kept)
{
    if (needed <= c->startListCapacity)
        return true;
    const int64_t wanted = std::max<int64_t>(needed, int64_t{c->startListCapacity} * 2);
    if (wanted > 0x7FFFFFF)
        return false;
    const auto n = static_cast<uint32_t>(wanted);
    auto* entries = static_cast<ClassStartEntry*>(DVKMem_Malloc(n * static_cast<uint32_t>(sizeof(ClassStartEntry))));
    auto* words = static_cast<uint16_t*>(DVKMem_Malloc(n * 2u));
    if (entries == nullptr || words == nullptr) {
        DVKMem_Free(entries);
        DVKMem_Free(words);
        return false;
    }
    if (kept > 0) {
        std::memcpy(entries, c->startList, static_cast<size_t>(kept) * sizeof(ClassStartEntry));
        std::memcpy(words, c->startListWords, static_cast<size_t>(kept) * 2u);
    }
    DVKMem_Free(c->startList);
    DVKMem_Free(c->startListWords);
    c->startList = entries;
    c->startListWords = words;
    c->startListCapacity = static_cast<int32_t>(n);
    return true;
}

bool addStart(ConstraintClass* c, int32_t* made, uint16_t pron, uint16_t word, int32_t member)
{
    if (!growStartList(c, *made + 1, *made))
        return false;
    static_cast<ClassStartEntry*>(c->startList)[*made] = {
        pron, static_cast<uint16_t>(ConstraintClass_MemberLength(c, member) == 1 ? 1 : 0),
        static_cast<uint32_t>(member) << 10};
    c->startListWords[*made] = word;
    ++*made;
    return true;
}

// Entries for every member from m on starting with word w.
bool addMembersOf(ConstraintClass* c, int32_t* made, uint16_t pron, uint16_t w, int32_t m)
{
    for (; m < c->numMembers && firstWordOf(c, m) == w; ++m)
        if (!addStart(c, made, pron, w, m))
            return false;
    return true;
}

} // namespace

void ClassManager_BuildClassTree(ClassManager* m, uint32_t id, int32_t flag)
{
    // The tree builder's last argument is a pron cache; the manager owns none,
    // so its callers' flag cannot be one and class trees read their prons from
    // the vocabulary.
    (void)flag;
    if (ClassManager_FinishEdit(m) == 0)
        return;
    const uint32_t owner = ClassManager_OwnerOf(m, id);
    ConstraintClass* c = ClassManager_RecordOf(m, owner);
    if (c == nullptr)
        return;
    c->rebuildTree = 0;
    LexTree** slot = ClassManager_TreeSlot(m, owner);
    if (slot == nullptr)
        return;
    if (*slot == nullptr) {
        if (m->numTrees >= paramWord(kBrevitParamMaxTrees))
            return;
        *slot = LexTree_CreateEmpty();
        if (*slot == nullptr)
            return;
        ++m->numTrees;
    }
    const int32_t total = ConstraintClass_CountPronunciations(c, m->vocabulary);
    auto* prons = static_cast<uint16_t*>(DVKMem_Malloc(static_cast<uint32_t>(std::max(total, 1)) * 2u));
    int32_t n = 0;
    for (int32_t k = 0; prons != nullptr && k < c->numMembers && n < total; ++k) {
        const uint16_t w = firstWordOf(c, k);
        if (k > 0 && w == firstWordOf(c, k - 1))
            continue;
        const int32_t got = Voc_GetPronIds(m->vocabulary, Voc_ActiveIdToVocId(m->vocabulary, w), prons + n, total - n);
        n += std::min(got, total - n);
    }
    const bool built = prons != nullptr &&
                       LexTree_BuildFromProns(*slot, prons, n, m->vocabulary, m->acousticModel, nullptr, 1, 1, 0, nullptr) != 0 &&
                       LexTree_GetNumTrees(*slot) < 2;
    DVKMem_Free(prons);
    if (!built)
        ClassManager_DeleteTree(m, owner);
}

void ClassManager_BuildClassTrees(ClassManager* m, int32_t flag)
{
    if (ClassManager_FinishEdit(m) == 0)
        return;
    for (uint32_t id = 1; id <= static_cast<uint32_t>(m->maxId); ++id) {
        const ConstraintClass* c = ownRecord(m, id);
        if (c != nullptr && c->rebuildTree != 0)
            ClassManager_BuildClassTree(m, id, flag);
    }
}

void ClassManager_PrecomputeClasses(ClassManager* m) { ClassManager_BuildClassTrees(m, 0); }

int32_t ClassManager_PrepareForRecognition(ClassManager* m, int32_t flag)
{
    if (ClassManager_FinishEdit(m) == 0)
        return 0;
    ClassManager_BuildClassTrees(m, flag);
    int32_t result = 1;
    for (uint32_t id = 1; id <= static_cast<uint32_t>(m->maxId); ++id) {
        ConstraintClass* c = ownRecord(m, id);
        if (c == nullptr)
            continue;
        c->startListKey = -1;
        if (c->irObject != nullptr && IR_PrepareClassScores(static_cast<IR*>(c->irObject), c->irClassIndex) == 0)
            result = 0;
    }
    if (m->succPronPool != nullptr) {
        if (ClassManager_GrowSuccPronRanges(m, m->maxId + 1) == 0)
            result = 0;
        if (paramWord(kBrevitParamResetPronPool) != 0)
            ClassManager_ResetSuccPronIds(m);
    }
    return result;
}

void ClassManager_FillPronCacheForClass(ClassManager* m, PronCache* cache, uint32_t id)
{
    ConstraintClass* c = ClassManager_GetClass(m, id);
    if (c == nullptr)
        return;
    const AWL* list = Voc_GetActiveWordList(m->vocabulary);
    const int32_t most = std::max(Voc_GetMaxNumPronunciations(m->vocabulary), 1);
    auto* prons = static_cast<uint16_t*>(DVKMem_Malloc(static_cast<uint32_t>(most) * 2u));
    if (prons == nullptr)
        return;   // the cache fills itself on use; the class stays marked
    for (int32_t i = 0; i < c->numWords; ++i) {
        const int32_t n = std::min(AWL_GetPronIds(list, ConstraintClass_WordAt(c, i), prons, most), most);
        for (int32_t k = 0; k < n; ++k) {
            const uint16_t* models = nullptr;
            int32_t count = 0;
            PronCache_GetPronInfo(cache, prons[k], nullptr, &models, &count);
        }
    }
    DVKMem_Free(prons);
    c->pronCacheDirty = 0;
}

void ClassManager_FillPronCacheAllClasses(ClassManager* m, PronCache* cache, int32_t all)
{
    if (ClassManager_FinishEdit(m) == 0)
        return;
    for (uint32_t id = 1; id <= static_cast<uint32_t>(m->maxId); ++id) {
        const ConstraintClass* c = ownRecord(m, id);
        if (c != nullptr && (all != 0 || c->pronCacheDirty != 0))
            ClassManager_FillPronCacheForClass(m, cache, id);
    }
}

int32_t ConstraintClass_BuildStartList(ConstraintClass* c, int32_t count, const uint16_t* pronIds, int32_t key,
                                       Voc* vocabulary)
{
    const AWL* list = Voc_GetActiveWordList(vocabulary);
    int32_t made = 0;
    bool ok = true;
    if (c->numMembers >= paramWord(kBrevitParamCandidateScanMinMembers)) {
        if (c->startListWanted == 0) {
            c->startListCount = -1;
            return 1;
        }
        if (key == c->startListKey && c->startListCount >= 0)
            return 1;
        c->startListCount = 0;
        for (int32_t k = 0; ok && k < count; ++k) {
            const auto w = static_cast<uint16_t>(AWL_GetActiveIdFromPronId(list, pronIds[k], nullptr));
            int32_t length = 0;
            const int32_t m = ConstraintClass_FindMemberByFirstId(c, w, &length);
            if (m != 65535)
                ok = addMembersOf(c, &made, pronIds[k], w, m);
            c->startListCount = made;
        }
    } else {
        const int32_t most = std::max(Voc_GetMaxNumPronunciations(vocabulary), 1);
        auto* prons = static_cast<uint16_t*>(DVKMem_Malloc(static_cast<uint32_t>(most) * 2u));
        ok = prons != nullptr && growStartList(c, ConstraintClass_CountPronunciations(c, vocabulary), 0);
        c->startListCount = 0;
        for (int32_t m = 0; ok && m < c->numMembers;) {
            const uint16_t w = firstWordOf(c, m);
            int32_t end = m;
            while (end < c->numMembers && firstWordOf(c, end) == w)
                ++end;
            const int32_t n = std::min(AWL_GetPronIds(list, w, prons, most), most);
            for (int32_t k = m; ok && k < end; ++k)
                for (int32_t p = 0; ok && p < n; ++p)
                    ok = addStart(c, &made, prons[p], w, k);
            c->startListCount = made;
            m = end;
        }
        DVKMem_Free(prons);
    }
    if (!ok) {
        c->startListCount = -1;
        c->startListKey = -1;
        return 0;
    }
    c->startListCount = made;
    c->startListKey = key;
    return 1;
}

int32_t ClassManager_BuildWordIndex(ClassManager* m, uint32_t id)
{
    ConstraintClass* c = ClassManager_GetClass(m, id);
    if (c == nullptr || c->irObject == nullptr)
        return 0;
    if (c->wordIndexBuilt != 0)
        return 1;
    const int32_t limit = std::max(Voc_GetActiveIdLimit(m->vocabulary), 1);
    if (DVKMem_GrowChunkedArray(&c->wordIndex, &c->wordIndexSlots, &c->wordIndexPages, 8, 2,
                                static_cast<uint32_t>(limit) + 1) == 0)
        return 0;
    for (uint32_t p = 0; p < c->wordIndexPages; ++p)
        std::fill(static_cast<uint16_t*>(c->wordIndex[p]), static_cast<uint16_t*>(c->wordIndex[p]) + 256, 0xFFFF);
    const uint32_t room = c->wordIndexPages * 256;
    for (int32_t k = c->numMembers - 1; k >= 0; --k) {
        const uint16_t w = firstWordOf(c, k);
        if (w < room)
            static_cast<uint16_t*>(c->wordIndex[w >> 8])[w & 255] = static_cast<uint16_t>(k);
    }
    c->wordIndexBuilt = 1;
    return 1;
}

uint16_t ConstraintClass_WordIndexAt(const ConstraintClass* c, uint16_t w)
{
    if (c->wordIndexBuilt == 0 || w >= c->wordIndexPages * 256)
        return 0xFFFF;
    return static_cast<const uint16_t*>(c->wordIndex[w >> 8])[w & 255];
}
