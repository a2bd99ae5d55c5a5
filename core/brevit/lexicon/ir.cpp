// The phrase index object, its classes and the counting of phrases. Adding a
// phrase is all or nothing: every limit is checked and every block the
// counts need is made before anything is counted.
#include "core/brevit/lexicon/ir.h"

#include "core/brevit/lexicon/ir_parts.h"
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_hash.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_str.h"
#include "core/brevit/runtime/dvk_unicode_str.h"
#include "core/brevit/search/search_lexicon_calls.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

int32_t phraseKey(const void* item, const void** key)
{
    const IRPhrase* p = static_cast<const IRPhrase*>(item);
    *key = p->ids;
    return static_cast<int32_t>(p->idCount * 2);
}

template <typename T>
T* allocate(uint64_t count)
{
    if (count == 0 || count * sizeof(T) > 0x7FFFFFFF)
        return nullptr;
    return static_cast<T*>(DVKMem_Malloc(static_cast<uint32_t>(count * sizeof(T))));
}

// A list that must move to a block of its own before the phrase is counted.
struct PendingList {
    int32_t word;
    bool successors;
    uint32_t* block;
    uint32_t capacity;
};

void freePending(std::vector<PendingList>& pending)
{
    for (PendingList& p : pending)
        DVKMem_Free(p.block);
    pending.clear();
}

// Increments a 16-bit count of an entry, holding it at 65535.
uint32_t bumped(uint32_t entry)
{
    const uint32_t count = IRList_Count(entry);
    return IRList_Entry(IRList_Index(entry), count < 65535 ? count + 1 : count);
}

void insertSuccessor(IRClass* c, int32_t word, uint16_t target)
{
    IRWord& w = c->words[word];
    uint32_t* list = IRClass_Successors(c, word);
    int32_t i = 0;
    while (i < w.successorCount && IRList_Index(list[i]) < target)
        ++i;
    if (i < w.successorCount && IRList_Index(list[i]) == target) {
        list[i] = bumped(list[i]);
        return;
    }
    std::memmove(list + i + 1, list + i, (w.successorCount - i) * sizeof(uint32_t));
    list[i] = IRList_Entry(target, 1);
    ++w.successorCount;
}

void countWord(IRWord& w)
{
    ++w.count;
    w.logCount = IR_LogN(w.count);
}

}  // namespace

uint32_t* IRClass_Successors(const IRClass* c, int32_t word)
{
    const IRWord& w = c->words[word];
    return w.successorsOwn != nullptr ? w.successorsOwn
                                      : c->sharedSuccessors + static_cast<size_t>(word) * c->initialListCapacity;
}

uint32_t* IRClass_Postings(const IRClass* c, int32_t word)
{
    const IRWord& w = c->words[word];
    return w.postingsOwn != nullptr ? w.postingsOwn
                                    : c->sharedPostings + static_cast<size_t>(word) * c->initialListCapacity;
}

uint16_t IRClass_Map(const IRClass* c, uint32_t id)
{
    if (c->wordMap == nullptr || static_cast<int64_t>(id) > c->highestId)
        return 65535;
    return c->wordMap[id];
}

void IRClass_SetCosts(IRClass* c)
{
    const IRTables& t = IR_GetTables();
    uint32_t w = BrevitParam_Word(627) / 5;
    if (w > 20)
        w = 20;
    c->costW = t.weight[w];
    c->costOneMinusW = t.weight[20 - w];
}

void IRClass_DropScores(IRClass* c)
{
    DVKMem_Free(c->contextScores);
    DVKMem_Free(c->startScores);
    c->contextScores = nullptr;
    c->startScores = nullptr;
    c->contextWord = 65535;
}

IRClass* IRClass_New(Voc* vocabulary, int32_t mode)
{
    IRClass* c = static_cast<IRClass*>(DVKMem_Calloc(sizeof(IRClass)));
    if (c == nullptr)
        return nullptr;
    c->vocabulary = vocabulary;
    c->mode = mode;
    c->highestId = -1;
    c->startPrior = BrevitParam_Word(625);
    c->initialListCapacity = std::min<uint32_t>(BrevitParam_Word(622), 65535);
    IRClass_SetCosts(c);
    c->logTotal = 255;
    c->contextWord = 65535;
    if (DVKErr_Protect([&] {
            c->phraseHash = DVKHash_Create(256, &phraseKey, nullptr);
            DVKHash_SetLoadFactor(c->phraseHash, 0.5);
        }) != 0) {
        DVKMem_Free(c);
        return nullptr;
    }
    return c;
}

int32_t IRClass_RebuildHash(IRClass* c, int32_t slots)
{
    DVKHash* fresh = nullptr;
    if (DVKErr_Protect([&] {
            fresh = DVKHash_Create(slots, &phraseKey, nullptr);
            DVKHash_SetLoadFactor(fresh, 0.5);
            for (int32_t i = 0; i < c->phraseCount; ++i)
                DVKHash_Insert(fresh, &c->phrases[i]);
        }) != 0) {
        if (fresh != nullptr)
            DVKHash_Delete(fresh);
        return 0;
    }
    if (c->phraseHash != nullptr)
        DVKHash_Delete(c->phraseHash);
    c->phraseHash = fresh;
    return 1;
}

IR* IR_Create(Voc* vocabulary)
{
    IR* index = static_cast<IR*>(DVKMem_Calloc(sizeof(IR)));
    if (index == nullptr)
        return nullptr;
    index->vocabulary = vocabulary;
    index->live = 1;
    return index;
}

void IR_Delete(IR* index)
{
    if (index == nullptr)
        return;
    for (int32_t i = index->slotCount - 1; i >= 0; --i) {
        IR_DeleteClass(index->classes[i]);
        DVKMem_Free(index->names[i]);
    }
    DVKMem_Free(index->classes);
    DVKMem_Free(index->names);
    index->live = 0;
    DVKMem_Free(index);
}

IRClass* IR_GetClass(const IR* index, int32_t slot)
{
    if (index == nullptr || slot < 0 || slot >= index->slotCount)
        return nullptr;
    return index->classes[slot];
}

int32_t IR_FindClass(const IR* index, const char* name)
{
    if (index == nullptr || name == nullptr)
        return -1;
    for (int32_t i = 0; i < index->slotCount; ++i)
        if (index->names[i] != nullptr && DVKStr_Compare(index->names[i], name) == 0)
            return i;
    return -1;
}

int32_t IR_CreateClass(IR* index, const char* name, int32_t mode)
{
    if (index == nullptr || name == nullptr || IR_FindClass(index, name) >= 0)
        return -1;
    if (index->slotCount == index->slotCapacity) {
        const int32_t capacity = index->slotCapacity == 0 ? 8 : index->slotCapacity * 2;
        char** names = allocate<char*>(capacity);
        IRClass** classes = allocate<IRClass*>(capacity);
        if (names == nullptr || classes == nullptr) {
            DVKMem_Free(names);
            DVKMem_Free(classes);
            return -1;
        }
        for (int32_t i = 0; i < index->slotCount; ++i) {
            names[i] = index->names[i];
            classes[i] = index->classes[i];
        }
        DVKMem_Free(index->names);
        DVKMem_Free(index->classes);
        index->names = names;
        index->classes = classes;
        index->slotCapacity = capacity;
    }
    const size_t length = std::strlen(name) + 1;
    char* copy = allocate<char>(length);
    if (copy == nullptr)
        return -1;
    std::memcpy(copy, name, length);
    IRClass* c = IRClass_New(index->vocabulary, mode);
    if (c == nullptr) {
        DVKMem_Free(copy);
        return -1;
    }
    index->names[index->slotCount] = copy;
    index->classes[index->slotCount] = c;
    return index->slotCount++;
}

int32_t IR_RemoveClass(IR* index, const char* name)
{
    const int32_t slot = IR_FindClass(index, name);
    if (slot < 0)
        return 0;
    IR_DeleteClass(index->classes[slot]);
    DVKMem_Free(index->names[slot]);
    index->classes[slot] = nullptr;
    index->names[slot] = nullptr;
    return 1;
}

int32_t IR_ClearClass(IR* index, const char* name)
{
    const int32_t slot = IR_FindClass(index, name);
    if (slot < 0)
        return 0;
    return IR_ClearClassData(index->classes[slot]);
}

int32_t IR_ClearClassData(IRClass* c)
{
    if (c == nullptr)
        return 0;
    for (int32_t i = 0; i < c->phraseCount; ++i) {
        DVKMem_Free(c->phrases[i].text);
        DVKMem_Free(c->phrases[i].ids);
    }
    DVKMem_Free(c->phrases);
    c->phrases = nullptr;
    c->phraseCount = c->phraseCapacity = 0;
    if (c->phraseHash != nullptr)
        DVKHash_Clear(c->phraseHash);
    for (int32_t i = 0; i < c->wordCount; ++i) {
        DVKMem_Free(c->words[i].successorsOwn);
        DVKMem_Free(c->words[i].postingsOwn);
    }
    DVKMem_Free(c->words);
    DVKMem_Free(c->sharedSuccessors);
    DVKMem_Free(c->sharedPostings);
    c->words = nullptr;
    c->sharedSuccessors = c->sharedPostings = nullptr;
    c->wordCount = c->nextFreeWord = c->wordCapacity = 0;
    DVKMem_Free(c->wordMap);
    c->wordMap = nullptr;
    c->highestId = -1;
    c->totalCount = 0;
    c->logTotal = 255;
    IRClass_DropScores(c);
    return 1;
}

void IR_DeleteClass(IRClass* c)
{
    if (c == nullptr)
        return;
    IR_ClearClassData(c);
    if (c->phraseHash != nullptr)
        DVKHash_Delete(c->phraseHash);
    DVKMem_Free(c);
}

int32_t IR_AddPhrase(IR* index, const char* name, const uint16_t* text, int32_t n,
                     const uint16_t* ids, uint32_t phraseId)
{
    const int32_t slot = IR_FindClass(index, name);
    if (slot < 0 || n <= 0 || ids == nullptr)
        return 0;
    IRClass* c = index->classes[slot];
    if (c->phraseCount >= kIRMaxPhrases || c->totalCount + static_cast<uint64_t>(n) + 1 >= kIRMaxTotal)
        return 0;

    // The map as it will be: ids up to the active limit + 256.
    const int32_t limit = c->vocabulary != nullptr ? Voc_GetActiveIdLimit(c->vocabulary) : 0;
    int32_t highest = c->highestId;
    if (limit > highest)
        highest = std::min(limit + 256, 65533);
    for (int32_t i = 0; i < n; ++i)
        if (ids[i] >= 65534 || ids[i] > highest)
            return 0;

    // Local indexes, new words numbered in order of first appearance.
    std::vector<uint16_t> sorted(ids, ids + n);
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    std::vector<uint16_t> assigned(sorted.size(), 65535);
    const bool boundaryNew = c->nextFreeWord == 0;
    int32_t next = boundaryNew ? 1 : c->nextFreeWord;
    std::vector<uint16_t> local(n);
    for (int32_t i = 0; i < n; ++i) {
        uint16_t l = IRClass_Map(c, ids[i]);
        if (l == 65535) {
            const size_t k = std::lower_bound(sorted.begin(), sorted.end(), ids[i]) - sorted.begin();
            if (assigned[k] == 65535) {
                if (next >= kIRMaxWords)
                    return 0;
                assigned[k] = static_cast<uint16_t>(next++);
            }
            l = assigned[k];
        }
        local[i] = l;
    }
    const int32_t words = next;

    // Entries each list gains, and the lists that must move to blocks of their own.
    std::vector<std::pair<uint16_t, uint16_t>> pairs;
    for (int32_t i = 0; i <= n; ++i) {
        const uint16_t from = i == 0 ? 0 : local[i - 1];
        const uint16_t to = i == n ? 0 : local[i];
        bool present = false;
        if (from < c->wordCount) {
            const uint32_t* list = IRClass_Successors(c, from);
            for (int32_t k = 0; k < c->words[from].successorCount && !present; ++k)
                present = IRList_Index(list[k]) == to;
        }
        if (!present)
            pairs.emplace_back(from, to);
    }
    std::sort(pairs.begin(), pairs.end());
    pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
    std::vector<uint16_t> distinct(local);
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());

    std::vector<PendingList> pending;
    auto need = [&](int32_t word, bool successors, uint32_t count) {
        uint32_t capacity = c->initialListCapacity;
        if (word < c->wordCount)
            capacity = successors ? c->words[word].successorCapacity : c->words[word].postingCapacity;
        if (count <= capacity)
            return true;
        while (capacity < count)
            capacity = capacity == 0 ? 1 : capacity * 2;
        if (capacity > 65535)
            return false;
        uint32_t* block = allocate<uint32_t>(capacity);
        if (block == nullptr)
            return false;
        pending.push_back({word, successors, block, capacity});
        return true;
    };
    bool fits = true;
    for (size_t i = 0; i < pairs.size() && fits;) {
        size_t j = i;
        while (j < pairs.size() && pairs[j].first == pairs[i].first)
            ++j;
        const int32_t word = pairs[i].first;
        const uint32_t have = word < c->wordCount ? c->words[word].successorCount : 0;
        fits = need(word, true, have + static_cast<uint32_t>(j - i));
        i = j;
    }
    for (size_t i = 0; i < distinct.size() && fits; ++i) {
        const int32_t word = distinct[i];
        const uint32_t have = word < c->wordCount ? c->words[word].postingCount : 0;
        fits = need(word, false, have + 1);
    }

    // Growth the counting needs; capacities alone change nothing the class shows.
    uint16_t* map = nullptr;
    uint16_t* textCopy = nullptr;
    uint16_t* idsCopy = nullptr;
    const int32_t textLength = text != nullptr ? DVKUnicode_Length(text) : 0;
    if (fits && highest != c->highestId) {
        map = allocate<uint16_t>(highest + 1);
        if (map != nullptr) {
            for (int32_t i = 0; i <= highest; ++i)
                map[i] = i <= c->highestId ? c->wordMap[i] : 65535;
        }
        fits = map != nullptr;
    }
    if (fits) {
        textCopy = allocate<uint16_t>(textLength + 1);
        idsCopy = allocate<uint16_t>(n);
        fits = textCopy != nullptr && idsCopy != nullptr;
    }
    if (fits && words > c->wordCapacity) {
        const int32_t capacity = std::max({words, c->wordCapacity * 2, 16});
        const uint64_t shared = static_cast<uint64_t>(capacity) * c->initialListCapacity;
        IRWord* records = allocate<IRWord>(capacity);
        uint32_t* successors = shared > 0 ? allocate<uint32_t>(shared) : nullptr;
        uint32_t* postings = shared > 0 ? allocate<uint32_t>(shared) : nullptr;
        fits = records != nullptr && (shared == 0 || (successors != nullptr && postings != nullptr));
        if (fits) {
            const size_t used = static_cast<size_t>(c->wordCount) * c->initialListCapacity;
            if (c->wordCount > 0)
                std::memcpy(records, c->words, c->wordCount * sizeof(IRWord));
            if (used > 0) {
                std::memcpy(successors, c->sharedSuccessors, used * sizeof(uint32_t));
                std::memcpy(postings, c->sharedPostings, used * sizeof(uint32_t));
            }
            DVKMem_Free(c->words);
            DVKMem_Free(c->sharedSuccessors);
            DVKMem_Free(c->sharedPostings);
            c->words = records;
            c->sharedSuccessors = successors;
            c->sharedPostings = postings;
            c->wordCapacity = capacity;
        } else {
            DVKMem_Free(records);
            DVKMem_Free(successors);
            DVKMem_Free(postings);
        }
    }
    if (fits && c->phraseCount == c->phraseCapacity) {
        const int32_t capacity = c->phraseCapacity == 0 ? 64 : c->phraseCapacity * 2;
        IRPhrase* phrases = allocate<IRPhrase>(capacity);
        fits = phrases != nullptr;
        if (fits) {
            if (c->phraseCount > 0)
                std::memcpy(phrases, c->phrases, c->phraseCount * sizeof(IRPhrase));
            IRPhrase* old = c->phrases;
            const int32_t oldCapacity = c->phraseCapacity;
            c->phrases = phrases;
            c->phraseCapacity = capacity;
            if (IRClass_RebuildHash(c, c->phraseHash != nullptr ? DVKHash_GetSize(c->phraseHash) : 256) == 0) {
                c->phrases = old;
                c->phraseCapacity = oldCapacity;
                DVKMem_Free(phrases);
                fits = false;
            } else {
                DVKMem_Free(old);
            }
        }
    }
    if (fits) {
        DVKUnicode_NCopy(textCopy, text, textLength + 1);
        std::memcpy(idsCopy, ids, n * sizeof(uint16_t));
        IRPhrase& record = c->phrases[c->phraseCount];
        record = {phraseId, textCopy, static_cast<uint32_t>(n), idsCopy};
        fits = DVKErr_Protect([&] { DVKHash_Insert(c->phraseHash, &record); }) == 0;
    }
    if (!fits) {
        freePending(pending);
        DVKMem_Free(map);
        DVKMem_Free(textCopy);
        DVKMem_Free(idsCopy);
        return 0;
    }

    // Nothing fails from here on: count.
    if (map != nullptr) {
        DVKMem_Free(c->wordMap);
        c->wordMap = map;
        c->highestId = highest;
    }
    for (size_t k = 0; k < sorted.size(); ++k)
        if (assigned[k] != 65535)
            c->wordMap[sorted[k]] = assigned[k];
    for (int32_t w = c->wordCount; w < words; ++w) {
        IRWord& r = c->words[w];
        r = IRWord{};
        r.successorCapacity = r.postingCapacity = static_cast<uint16_t>(c->initialListCapacity);
        if (w == 0) {
            r.count = c->startPrior;
            r.logCount = IR_LogN(r.count);
        } else {
            r.logCount = IR_LogN(0);
        }
    }
    c->wordCount = c->nextFreeWord = words;
    for (PendingList& p : pending) {
        IRWord& r = c->words[p.word];
        if (p.successors) {
            if (r.successorCount > 0)
                std::memcpy(p.block, IRClass_Successors(c, p.word), r.successorCount * sizeof(uint32_t));
            DVKMem_Free(r.successorsOwn);
            r.successorsOwn = p.block;
            r.successorCapacity = static_cast<uint16_t>(p.capacity);
        } else {
            if (r.postingCount > 0)
                std::memcpy(p.block, IRClass_Postings(c, p.word), r.postingCount * sizeof(uint32_t));
            DVKMem_Free(r.postingsOwn);
            r.postingsOwn = p.block;
            r.postingCapacity = static_cast<uint16_t>(p.capacity);
        }
    }
    const uint16_t phrase = static_cast<uint16_t>(c->phraseCount);
    for (int32_t i = 0; i < n; ++i) {
        const uint16_t w = local[i];
        IRWord& r = c->words[w];
        uint32_t* postings = IRClass_Postings(c, w);
        if (r.postingCount > 0 && IRList_Index(postings[r.postingCount - 1]) == phrase)
            postings[r.postingCount - 1] = bumped(postings[r.postingCount - 1]);
        else
            postings[r.postingCount++] = IRList_Entry(phrase, 1);
        countWord(r);
        insertSuccessor(c, i == 0 ? 0 : local[i - 1], w);
        ++c->totalCount;
    }
    ++c->phraseCount;
    countWord(c->words[0]);
    insertSuccessor(c, local[n - 1], 0);
    ++c->totalCount;
    c->logTotal = IR_LogN(c->totalCount);
    IRClass_DropScores(c);
    return 1;
}

int32_t IR_ContainsPhrase(const IR* index, const char* name, const uint16_t*, int32_t n,
                          const uint16_t* ids)
{
    const int32_t slot = IR_FindClass(index, name);
    if (slot < 0 || n <= 0 || ids == nullptr)
        return 0;
    const IRClass* c = index->classes[slot];
    return DVKHash_Find(c->phraseHash, ids, n * 2) != nullptr ? 1 : 0;
}

int32_t IR_TokenizeText(const IR* index, const char* name, const uint16_t* text, int32_t max,
                        uint32_t* ids, int32_t* starts, int32_t* lengths, uint8_t* flagBytes,
                        uint8_t* matchBytes)
{
    const int32_t slot = IR_FindClass(index, name);
    if (slot < 0)
        return -1;
    const IRClass* c = index->classes[slot];
    return Voc_Tokenize(c->vocabulary, c->mode, text, 0, 1, max, ids, starts, lengths, flagBytes,
                        matchBytes);
}

uint32_t IRClass_ComputeCRC(const IRClass* c)
{
    uint32_t crc = 0xFFFFFFFF;
    crc = DVKCrc_AddInt(static_cast<uint32_t>(c->mode), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(c->highestId), crc);
    crc = DVKCrc_AddInt(c->startPrior, crc);
    crc = DVKCrc_AddInt(c->initialListCapacity, crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(c->phraseCount), crc);
    crc = DVKCrc_AddInt(c->totalCount, crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(c->wordCount), crc);
    crc = DVKCrc_AddShort(c->costOneMinusW, crc);
    crc = DVKCrc_AddShort(c->costW, crc);
    crc = DVKCrc_AddShort(c->logTotal, crc);
    for (int32_t i = 0; i <= c->highestId; ++i)
        crc = DVKCrc_AddShort(c->wordMap[i], crc);
    for (int32_t i = 0; i < c->phraseCount; ++i) {
        const IRPhrase& p = c->phrases[i];
        crc = DVKCrc_AddInt(p.phraseId, crc);
        crc = DVKCrc_AddInt(p.idCount, crc);
        for (const uint16_t* t = p.text;; ++t) {
            crc = DVKCrc_AddShort(*t, crc);
            if (*t == 0)
                break;
        }
        for (uint32_t k = 0; k < p.idCount; ++k)
            crc = DVKCrc_AddShort(p.ids[k], crc);
    }
    for (int32_t w = 0; w < c->wordCount; ++w) {
        const IRWord& r = c->words[w];
        crc = DVKCrc_AddInt(r.count, crc);
        crc = DVKCrc_AddInt(r.logCount, crc);
        crc = DVKCrc_AddShort(r.successorCount, crc);
        crc = DVKCrc_AddShort(r.postingCount, crc);
        const uint32_t* s = IRClass_Successors(c, w);
        for (int32_t k = 0; k < r.successorCount; ++k) {
            crc = DVKCrc_AddShort(IRList_Index(s[k]), crc);
            crc = DVKCrc_AddShort(IRList_Count(s[k]), crc);
        }
        const uint32_t* p = IRClass_Postings(c, w);
        for (int32_t k = 0; k < r.postingCount; ++k) {
            crc = DVKCrc_AddShort(IRList_Index(p[k]), crc);
            crc = DVKCrc_AddShort(IRList_Count(p[k]), crc);
        }
    }
    return crc;
}

uint32_t IR_ComputeCRC(const IR* index)
{
    uint32_t crc = 0xFFFFFFFF;
    if (index == nullptr)
        return crc;
    crc = DVKCrc_AddInt(static_cast<uint32_t>(index->slotCount), crc);
    for (int32_t i = 0; i < index->slotCount; ++i)
        if (index->names[i] != nullptr)
            crc = DVKCrc_AddInt(DVKCrc_AddBytes(index->names[i], static_cast<int32_t>(std::strlen(index->names[i])), 0xFFFFFFFF), crc);
    for (int32_t i = 0; i < index->slotCount; ++i)
        if (index->classes[i] != nullptr)
            crc = DVKCrc_AddInt(IRClass_ComputeCRC(index->classes[i]), crc);
    return crc;
}
