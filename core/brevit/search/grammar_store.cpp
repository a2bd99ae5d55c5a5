// The grammar's stored form "grm1": nine counts and capacities, then the
// twelve arrays at their full capacities. A stored grammar comes back from
// user storage, so the loaders refuse anything the building operations could
// not have made: a grammar the engine keeps must be one its walks can trust.
#include "core/brevit/search/grammar.h"

#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/bin_file_writer.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/grammar_tables.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* kTag = "grm1";

struct ArrayRecord {
    const void* data;
    int32_t count;
    uint32_t size;
};

// The twelve arrays in their stored order with their element counts.
void arrayRecords(const Grammar* g, ArrayRecord out[12])
{
    out[0] = {g->terminalNames, g->terminalNamePoolSize, 1};
    out[1] = {g->terminalNameOffsets, g->terminalCapacity + 1, 2};
    out[2] = {g->terminalWordOffsets, g->terminalCapacity + 1, 2};
    out[3] = {g->terminalPolarity, g->terminalCapacity, 1};
    out[4] = {g->words, g->wordCapacity, 4};
    out[5] = {g->ruleNames, g->ruleNamePoolSize, 1};
    out[6] = {g->ruleNameOffsets, g->ruleCapacity + 1, 2};
    out[7] = {g->ruleAlternativeOffsets, g->ruleCapacity + 1, 2};
    out[8] = {g->alternativeItemOffsets, g->alternativeCapacity + 1, 2};
    out[9] = {g->itemSymbols, g->itemCapacity, 2};
    out[10] = {g->itemMinimum, g->itemCapacity, 1};
    out[11] = {g->itemMaximum, g->itemCapacity, 1};
}

bool writeRecords(const Grammar* g, BinFileWriter* w)
{
    const int32_t scalars[9] = {g->terminalCapacity, g->terminalCount, g->terminalNamePoolSize,
                                g->wordCapacity,     g->ruleCapacity,  g->ruleCount,
                                g->ruleNamePoolSize, g->alternativeCapacity, g->itemCapacity};
    for (int32_t v : scalars)
        if (BinFileWriter_WriteInt(w, v) != 1)
            return false;
    ArrayRecord arrays[12];
    arrayRecords(g, arrays);
    for (const ArrayRecord& a : arrays)
        if (BinFileWriter_WriteArray(w, a.data, static_cast<uint32_t>(a.count), a.size) != 1)
            return false;
    return true;
}

bool inRange(int32_t v, int32_t low, int32_t high) { return v >= low && v <= high; }

// Rising from 0 over the used entries to at most bound; every entry after the
// used ones equals the end.
bool offsetsSound(const int16_t* offsets, int32_t capacity, int32_t used, int32_t bound)
{
    if (offsets[0] != 0)
        return false;
    for (int32_t j = 0; j < used; ++j)
        if (offsets[j + 1] < offsets[j])
            return false;
    if (offsets[used] > bound)
        return false;
    for (int32_t j = used + 1; j <= capacity; ++j)
        if (offsets[j] != offsets[used])
            return false;
    return true;
}

// Each used name ends in the NUL just before the next one starts.
bool namesSound(const char* pool, const int16_t* offsets, int32_t count)
{
    for (int32_t i = 0; i < count; ++i) {
        const int32_t start = offsets[i];
        const int32_t end = offsets[i + 1];
        if (end <= start || pool[end - 1] != '\0' || std::strlen(pool + start) != static_cast<size_t>(end - start - 1))
            return false;
    }
    return true;
}

int compareNames(const void* a, const void* b)
{
    return std::strcmp(*static_cast<const char* const*>(a), *static_cast<const char* const*>(b));
}

// No name twice among terminals and rules together.
bool namesDistinct(const Grammar* g, bool* allocated)
{
    const int32_t n = g->terminalCount + g->ruleCount;
    if (n < 2)
        return true;
    auto* names = static_cast<const char**>(DVKMem_Malloc(static_cast<uint32_t>(n) * sizeof(char*)));
    if (names == nullptr) {
        *allocated = false;
        return false;
    }
    for (int32_t t = 0; t < g->terminalCount; ++t)
        names[t] = g->terminalNames + g->terminalNameOffsets[t];
    for (int32_t r = 0; r < g->ruleCount; ++r)
        names[g->terminalCount + r] = g->ruleNames + g->ruleNameOffsets[r];
    std::qsort(names, static_cast<size_t>(n), sizeof(char*), compareNames);
    bool distinct = true;
    for (int32_t i = 1; distinct && i < n; ++i)
        distinct = std::strcmp(names[i - 1], names[i]) != 0;
    DVKMem_Free(names);
    return distinct;
}

// Depth-first over rule references with an explicit stack: false when a rule
// reaches itself.
bool acyclic(const Grammar* g, bool* allocated)
{
    const int32_t n = g->ruleCount;
    if (n == 0)
        return true;
    // state: 0 unseen, 1 on the path, 2 done; next: the item to look at next.
    auto* state = static_cast<uint8_t*>(DVKMem_Calloc(static_cast<uint32_t>(n)));
    auto* stack = static_cast<int32_t*>(DVKMem_Malloc(static_cast<uint32_t>(n) * 4u));
    auto* next = static_cast<int32_t*>(DVKMem_Malloc(static_cast<uint32_t>(n) * 4u));
    bool ok = state != nullptr && stack != nullptr && next != nullptr;
    *allocated = ok;
    const auto itemsOf = [g](int32_t r, int32_t* first, int32_t* last) {
        *first = g->alternativeItemOffsets[g->ruleAlternativeOffsets[r]];
        *last = g->alternativeItemOffsets[g->ruleAlternativeOffsets[r + 1]];
    };
    for (int32_t root = 0; ok && root < n; ++root) {
        if (state[root] != 0)
            continue;
        int32_t depth = 0;
        int32_t last = 0;
        stack[depth++] = root;
        itemsOf(root, &next[root], &last);
        state[root] = 1;
        while (ok && depth > 0) {
            const int32_t r = stack[depth - 1];
            int32_t first = 0;
            itemsOf(r, &first, &last);
            if (next[r] >= last) {
                state[r] = 2;
                --depth;
                continue;
            }
            const int32_t s = g->itemSymbols[next[r]++];
            if (s < 0)
                continue;
            if (state[s] == 1)
                ok = false;
            else if (state[s] == 0) {
                state[s] = 1;
                itemsOf(s, &next[s], &last);
                stack[depth++] = s;
            }
        }
    }
    DVKMem_Free(state);
    DVKMem_Free(stack);
    DVKMem_Free(next);
    return ok;
}

bool tablesSound(const Grammar* g, bool* allocated)
{
    const int32_t T = g->terminalCount;
    const int32_t R = g->ruleCount;
    if (!offsetsSound(g->terminalNameOffsets, g->terminalCapacity, T, g->terminalNamePoolSize) ||
        !offsetsSound(g->terminalWordOffsets, g->terminalCapacity, T, g->wordCapacity) ||
        !offsetsSound(g->ruleNameOffsets, g->ruleCapacity, R, g->ruleNamePoolSize) ||
        !offsetsSound(g->ruleAlternativeOffsets, g->ruleCapacity, R, g->alternativeCapacity))
        return false;
    const int32_t alternatives = grammarAlternativesUsed(g);
    if (!offsetsSound(g->alternativeItemOffsets, g->alternativeCapacity, alternatives, g->itemCapacity))
        return false;
    // Every alternative has an item.
    for (int32_t a = 0; a < alternatives; ++a)
        if (g->alternativeItemOffsets[a + 1] == g->alternativeItemOffsets[a])
            return false;
    if (!namesSound(g->terminalNames, g->terminalNameOffsets, T) ||
        !namesSound(g->ruleNames, g->ruleNameOffsets, R))
        return false;
    for (int32_t t = 0; t < T; ++t) {
        if (g->terminalPolarity[t] != 0 && g->terminalPolarity[t] != 1)
            return false;
        for (int32_t i = g->terminalWordOffsets[t] + 1; i < g->terminalWordOffsets[t + 1]; ++i)
            if (g->words[i] <= g->words[i - 1])
                return false;
    }
    const int32_t items = grammarItemsUsed(g);
    for (int32_t i = 0; i < items; ++i) {
        const int32_t s = g->itemSymbols[i];
        if ((s < 0 && -1 - s >= T) || (s >= 0 && s >= R))
            return false;
        if (g->itemMinimum[i] >= kGrammarUnbounded || g->itemMaximum[i] == 0 ||
            g->itemMaximum[i] > kGrammarUnbounded)
            return false;
    }
    return namesDistinct(g, allocated) && acyclic(g, allocated);
}

// Reads "grm1" into g, whose arrays are null; on failure nothing is kept.
bool readRecords(BinFileReader* reader, Grammar* g)
{
    int32_t scalars[9];
    for (int32_t& v : scalars)
        if (BinFileReader_ReadInt(reader, &v) != 1)
            return false;
    g->terminalCapacity = scalars[0];
    g->terminalCount = scalars[1];
    g->terminalNamePoolSize = scalars[2];
    g->wordCapacity = scalars[3];
    g->ruleCapacity = scalars[4];
    g->ruleCount = scalars[5];
    g->ruleNamePoolSize = scalars[6];
    g->alternativeCapacity = scalars[7];
    g->itemCapacity = scalars[8];
    if (!inRange(g->terminalCapacity, 0, kGrammarMaxCapacity) || !inRange(g->terminalCount, 0, g->terminalCapacity) ||
        !inRange(g->terminalNamePoolSize, 0, 16 * kGrammarMaxCapacity) ||
        !inRange(g->wordCapacity, 0, kGrammarMaxWordCapacity) || !inRange(g->ruleCapacity, 0, kGrammarMaxCapacity) ||
        !inRange(g->ruleCount, 0, g->ruleCapacity) || !inRange(g->ruleNamePoolSize, 0, 16 * kGrammarMaxCapacity) ||
        !inRange(g->alternativeCapacity, 0, 4 * kGrammarMaxCapacity) ||
        !inRange(g->itemCapacity, 0, 8 * kGrammarMaxCapacity))
        return false;
    // Symbols are 16-bit: the indices in use must fit them.
    if (g->terminalCount > kGrammarMaxOffset + 1 || g->ruleCount > kGrammarMaxOffset + 1)
        return false;

    ArrayRecord arrays[12];
    arrayRecords(g, arrays);
    uint64_t needed = 0;
    for (const ArrayRecord& a : arrays)
        needed += 4u + uint64_t{a.size} * static_cast<uint64_t>(a.count);
    if (needed > DVKTar_SubFileGetSize(reader->sub) - DVKTar_SubFileTell(reader->sub))
        return false;
    if (!grammarAllocateTables(g))
        return false;
    arrayRecords(g, arrays);
    bool ok = true;
    for (const ArrayRecord& a : arrays)
        ok = ok && BinFileReader_ReadArray(reader, const_cast<void*>(a.data), a.size, static_cast<uint32_t>(a.count)) == 1;
    bool allocated = true;
    if (ok && tablesSound(g, &allocated))
        return true;
    grammarFreeTables(g);
    return false;
}

} // namespace

Grammar* Grammar_LoadFromBinFile(DVKTar* archive, const char* prefix, Voc* vocabulary)
{
    BinFileReader* reader = BinFileReader_Create(archive, kTag, prefix);
    if (reader == nullptr)
        return nullptr;
    auto* g = static_cast<Grammar*>(DVKMem_Calloc(sizeof(Grammar)));
    if (g != nullptr) {
        g->vocabulary = vocabulary;
        if (!readRecords(reader, g)) {
            DVKMem_Free(g);
            g = nullptr;
        }
    }
    BinFileReader_Delete(reader);
    return g;
}

int32_t Grammar_ReadPSAFile(Grammar* grammar, DVKTar* archive, const char* prefix)
{
    BinFileReader* reader = BinFileReader_Create(archive, kTag, prefix);
    if (reader == nullptr)
        return 0;
    // Read beside the grammar and swapped in only when every record passed.
    Grammar fresh = {};
    fresh.vocabulary = grammar->vocabulary;
    const bool ok = readRecords(reader, &fresh);
    BinFileReader_Delete(reader);
    if (!ok)
        return 0;
    grammarFreeTables(grammar);
    *grammar = fresh;
    return 1;
}

int32_t Grammar_WritePSAFile(const Grammar* grammar, DVKTar* archive, const char* prefix)
{
    BinFileWriter* writer = BinFileWriter_Create(archive, kTag, prefix);
    if (writer == nullptr)
        return 0;
    const bool ok = writeRecords(grammar, writer);
    const bool closed = BinFileWriter_Delete(writer) == 0;
    return ok && closed ? 1 : 0;
}

void Grammar_WriteBinFile(const Grammar* grammar, DVKTar* archive, const char* prefix)
{
    BinFileWriter* writer = BinFileWriter_Create(archive, kTag, prefix);
    if (writer == nullptr)
        return;
    writeRecords(grammar, writer);
    BinFileWriter_Delete(writer);
}
