#include "core/brevit/search/close_call.h"

#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/class_manager_tables.h"
#include "core/brevit/search/result_graph.h"
#include "core/brevit/search/search_lexicon_calls.h"

#include <cstring>

namespace {

int32_t signOf(int64_t d) { return d < 0 ? -1 : (d > 0 ? 1 : 0); }

void removeAt(LinChChoice* list, int32_t* count, int32_t i)
{
    std::memmove(&list[i], &list[i + 1], static_cast<size_t>(*count - i - 1) * sizeof(LinChChoice));
    *count -= 1;
}

bool sameChoice(const Voc* voc, const LinChChoice& a, const LinChChoice& b)
{
    if (a.wordCount != b.wordCount)
        return false;
    const bool samePron = BrevitParam_Word(kBrevitParamDuplicateByPronIds) != 0;
    const bool members = BrevitParam_Word(kBrevitParamCloseCallMembers) != 0;
    for (int32_t i = a.wordCount - 1; i >= 0; --i) {
        if (samePron ? a.words[i] != b.words[i]
                     : Voc_GetActiveIdFromPronId(voc, a.words[i], nullptr) !=
                           Voc_GetActiveIdFromPronId(voc, b.words[i], nullptr))
            return false;
        if (members && (a.members[i] != b.members[i] || a.classes[i] != b.classes[i]))
            return false;
    }
    return true;
}

}  // namespace

CloseCall* CloseCall_Create(int32_t owner, int32_t capacity)
{
    if (capacity <= 0)
        return nullptr;
    // Formed in 64 bits: a capacity whose records cannot be addressed fails.
    const uint64_t bytes = static_cast<uint64_t>(capacity) * sizeof(CloseCallRecord);
    if (bytes > 0xFFFFFFFFull)
        return nullptr;
    auto* table = static_cast<CloseCall*>(DVKMem_Calloc(sizeof(CloseCall)));
    if (table == nullptr)
        return nullptr;
    table->records = static_cast<CloseCallRecord*>(DVKMem_Calloc(static_cast<uint32_t>(bytes)));
    if (table->records == nullptr) {
        DVKMem_Free(table);
        return nullptr;
    }
    table->capacity = capacity;
    table->owner = owner;
    return table;
}

void CloseCall_Delete(CloseCall* table)
{
    if (table == nullptr)
        return;
    DVKMem_Free(table->records);
    DVKMem_Free(table);
}

void CloseCall_Reset(CloseCall* table) { table->count = 0; }

void CloseCall_FindOrAdd(CloseCall* table, uint32_t loser, uint32_t winner, int16_t difference,
                         int16_t aboveBest, Voc*)
{
    const int16_t key = BrevitParam_Word(kBrevitParamCloseCallKeyIsDifference) != 0 ? difference : aboveBest;
    if (key > static_cast<int32_t>(BrevitParam_Word(kBrevitParamCloseCallMaxKey)))
        return;
    int32_t largest = -1;
    int32_t largestKey = -16384;
    for (int32_t i = 0; i < table->count; ++i) {
        CloseCallRecord& r = table->records[i];
        if (r.loser == loser && r.winner == winner) {
            if (r.key > key) {
                r.difference = difference;
                r.key = key;
            }
            return;
        }
        if (r.key > largestKey) {
            largestKey = r.key;
            largest = i;
        }
    }
    const CloseCallRecord record{loser, winner, difference, key};
    if (table->count < table->capacity)
        table->records[table->count++] = record;
    else if (largest >= 0 && key < table->records[largest].key)
        table->records[largest] = record;
}

int32_t CloseCall_CompareRecords(const CloseCallRecord* a, const CloseCallRecord* b)
{
    if (a->difference != b->difference)
        return signOf(int64_t{a->difference} - b->difference);
    if (a->key != b->key)
        return signOf(int64_t{a->key} - b->key);
    if (a->loser != b->loser)
        return signOf(int64_t{static_cast<int32_t>(a->loser)} - static_cast<int32_t>(b->loser));
    return signOf(int64_t{static_cast<int32_t>(a->winner)} - static_cast<int32_t>(b->winner));
}

uint32_t CloseCall_ComputeCRC(const CloseCall* table)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (int32_t i = 0; i < table->count; ++i) {
        const CloseCallRecord& r = table->records[i];
        crc = DVKCrc_AddValue(r.loser, 4, crc);
        crc = DVKCrc_AddValue(r.winner, 4, crc);
        crc = DVKCrc_AddValue(static_cast<uint16_t>(r.difference), 2, crc);
        crc = DVKCrc_AddValue(static_cast<uint16_t>(r.key), 2, crc);
    }
    crc = DVKCrc_AddValue(static_cast<uint32_t>(table->capacity), 4, crc);
    return DVKCrc_AddValue(static_cast<uint32_t>(table->count), 4, crc);
}

int32_t CloseCall_InsertChoice(LinChChoice* list, int32_t hint, int32_t limit, int32_t* count,
                               const LinChChoice* candidate)
{
    int32_t position = -1;
    for (int32_t i = 0; i < *count;) {
        if (CloseCall_CompareChoiceWords(&list[i], candidate) == 0) {
            if (candidate->score >= list[i].score)
                return 0;
            removeAt(list, count, i);
            continue;
        }
        if (position < 0 && CloseCall_CompareChoices(&list[i], candidate) > 0)
            position = i;
        ++i;
    }
    if (position < 0)
        position = *count;
    if (*count >= limit) {
        if (position >= *count)
            return 0;
        *count = limit - 1;  // the last entry falls off
    }
    std::memmove(&list[position + 1], &list[position], static_cast<size_t>(*count - position) * sizeof(LinChChoice));
    list[position] = *candidate;
    *count += 1;
    return position <= hint ? 1 : 0;
}

void CloseCall_SpliceChoice(LinChChoice* choice, const LinChChoice* base, const uint16_t* words,
                            const uint32_t* members, const uint8_t* startFlags,
                            const uint32_t* classes, const int16_t* frames, int32_t n, int32_t from)
{
    const int32_t rest = base->wordCount > from ? base->wordCount - from : 0;
    if (n < 0 || int64_t{n} + rest > kLinChChoiceWords) {
        choice->wordCount = 0;
        return;
    }
    // The base's tail first: choice and base may be one record.
    std::memmove(&choice->words[n], &base->words[from], static_cast<size_t>(rest) * sizeof(uint16_t));
    std::memmove(&choice->members[n], &base->members[from], static_cast<size_t>(rest) * sizeof(uint32_t));
    std::memmove(&choice->startFlags[n], &base->startFlags[from], static_cast<size_t>(rest));
    std::memmove(&choice->classes[n], &base->classes[from], static_cast<size_t>(rest) * sizeof(uint32_t));
    std::memmove(&choice->endFrames[n], &base->endFrames[from], static_cast<size_t>(rest) * sizeof(int16_t));
    if (n == 0) {
        choice->wordCount = rest;
        return;
    }
    std::memmove(choice->words, words, static_cast<size_t>(n) * sizeof(uint16_t));
    std::memmove(choice->members, members, static_cast<size_t>(n) * sizeof(uint32_t));
    std::memmove(choice->startFlags, startFlags, static_cast<size_t>(n));
    std::memmove(choice->classes, classes, static_cast<size_t>(n) * sizeof(uint32_t));
    std::memmove(choice->endFrames, frames, static_cast<size_t>(n) * sizeof(int16_t));
    choice->wordCount = n + rest;
}

void CloseCall_RemoveDuplicateChoices(const Voc* voc, LinChChoice* choices, int32_t* count)
{
    for (int32_t i = 0; i < *count; ++i)
        for (int32_t j = *count - 1; j > i; --j)
            if (sameChoice(voc, choices[i], choices[j]))
                removeAt(choices, count, j);
}

void CloseCall_RemoveSameNodeChoices(LinChChoice* choices, int32_t* count)
{
    for (int32_t i = 0; i < *count; ++i)
        for (int32_t j = *count - 1; j > i; --j)
            if (choices[j].endNode == choices[i].endNode)
                removeAt(choices, count, j);
}

int32_t ClassManager_GetMemberClass(const ClassManager* manager, uint32_t, uint32_t state)
{
    if (manager == nullptr || state == 0)
        return 0;
    if (!ClassManager_IsNamed(manager, state))
        return -1;
    return static_cast<int32_t>(ClassManager_OwnerOf(manager, state));
}

void CloseCall_FillChoicesFromGraph(const ResultGraph* graph, const ClassManager* manager,
                                    Constraint* const* constraints, LinChChoice* choices, int32_t n)
{
    for (int32_t c = 0; c < n; ++c) {
        LinChChoice& choice = choices[c];
        std::memset(choice.flags, 0, sizeof choice.flags);
        int32_t constraint = 0;
        choice.wordCount = ResultGraph_GetPath(graph, static_cast<uint32_t>(choice.endNode), choice.words,
                                               choice.states, choice.startFlags, choice.members,
                                               choice.endFrames, choice.flags, kLinChChoiceWords, &constraint);
        for (int32_t i = 0; i < choice.wordCount; ++i)
            choice.classes[i] = static_cast<uint32_t>(ClassManager_GetMemberClass(manager, choice.members[i], choice.states[i]));
        if (choice.wordCount > 0 && constraints != nullptr)
            choice.constraint = constraints[constraint];
    }
}
