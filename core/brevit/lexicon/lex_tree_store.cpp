// The lexical tree's stored forms: the model file "blt0" of static trees
// and the run-time tree record. Both come from outside: every tree is
// checked so that no walk can leave its arcs or loop.
#include "core/brevit/lexicon/lex_tree.h"

#include "core/brevit/lexicon/lex_tree_parts.h"
#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/bin_file_writer.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <algorithm>

namespace {

constexpr const char* kTag = "blt0";
// Far deeper than any pron; the walks recurse once per level.
constexpr uint32_t kMaxLevels = 4096;

// Every child range inside the arcs and after its parent, first children in
// order, depth entries rising inside the arcs, a terminator closing it all.
bool treeIsSound(const LexTree* t, int32_t i)
{
    const uint32_t used = t->arcsInUse[i];
    if (used < 2 || used > t->arcCapacity[i] || used > 65536 || t->arcs[i] == nullptr || t->lookahead[i] == nullptr)
        return false;
    if (t->depthTable[i] == nullptr || t->deepestLevel[i] >= t->depthCapacity[i] || t->deepestLevel[i] >= kMaxLevels)
        return false;
    const uint32_t* depth = t->depthTable[i];
    if (depth[0] != 0)
        return false;
    for (uint32_t d = 1; d <= t->deepestLevel[i]; ++d)
        if (depth[d] <= depth[d - 1] || depth[d] >= used)
            return false;
    const LexArc* arcs = t->arcs[i];
    const uint32_t last = used - 1;
    if (lex_tree::isWordEnd(arcs[last]) || arcs[last].next != last || lex_tree::isWordEnd(arcs[0]))
        return false;
    // Level d runs from its depth entry to the next one (the deepest to the
    // terminator); an inner arc's children lie on the level below its own,
    // so no walk goes deeper than the levels.
    const uint32_t deepest = t->deepestLevel[i];
    auto levelStart = [&](uint32_t d) { return d <= deepest ? depth[d] : last; };
    uint32_t previous = 0;
    uint32_t level = 0;
    for (uint32_t a = 0; a < last; ++a) {
        while (level < deepest && a >= depth[level + 1])
            ++level;
        if (lex_tree::isWordEnd(arcs[a]))
            continue;
        const uint32_t child = arcs[a].next;
        if (child <= a || child > last || child < previous || child < levelStart(level + 1) ||
            child > levelStart(level + 2))
            return false;
        previous = child;
    }
    return true;
}

bool readColumn(BinFileReader* reader, uint32_t* column)
{
    return BinFileReader_ReadArray(reader, column, 4, kLexTreeMaxTrees) != 0;
}

// A counted array of exactly count elements (none: null).
template <typename T>
bool readCounted(BinFileReader* reader, uint32_t count, T** out)
{
    void* array = nullptr;
    uint32_t got = 0;
    if (BinFileReader_AllocateAndReadArray(reader, sizeof(T), &array, &got) == 0)
        return false;
    *out = static_cast<T*>(array);
    return got == count;
}

} // namespace

LexTree* LexTree_CreateFromBinFile(DVKTar* archive, const char* prefix, AM* am, Voc* voc)
{
    BinFileReader* reader = BinFileReader_Create(archive, kTag, prefix);
    if (reader == nullptr)
        return nullptr;
    LexTree* t = LexTree_CreateEmpty();
    if (t == nullptr) {
        BinFileReader_Delete(reader);
        return nullptr;
    }
    bool ok = true;
    uint32_t words[5] = {};
    for (int k = 0; ok && k < 5; ++k)
        ok = BinFileReader_ReadUnsignedInt(reader, &words[k]) != 0;
    const uint32_t T = words[2];
    ok = ok && T <= static_cast<uint32_t>(kLexTreeMaxTrees) && (words[3] == 0 || T > 0);
    if (ok) {
        LexTree_SetModels(t, voc, am);
        t->truncated = static_cast<int32_t>(words[0]);
        t->headerWord = words[1];
        t->numTrees = static_cast<int32_t>(T);
        t->hasDynamicTree = words[3] != 0 ? 1 : 0;
        t->bestLookahead = static_cast<uint8_t>(words[4]);
    }
    ok = ok && readColumn(reader, t->deepestLevel) && readColumn(reader, t->depthCapacity);
    for (uint32_t i = 0; ok && i < T; ++i)
        ok = readCounted(reader, t->depthCapacity[i], &t->depthTable[i]);
    for (uint32_t* column : {t->arcCapacity, t->arcsInUse, t->level0Arcs, t->numProns, t->expandedSize})
        ok = ok && readColumn(reader, column);
    for (uint32_t i = 0; ok && i < T; ++i) {
        uint16_t* halves = nullptr;
        ok = t->arcCapacity[i] <= 65536 && readCounted(reader, 2 * t->arcCapacity[i], &halves);
        t->arcs[i] = reinterpret_cast<LexArc*>(halves);
    }
    for (uint32_t i = 0; ok && i < T; ++i)
        ok = readCounted(reader, t->arcCapacity[i], &t->lookahead[i]);
    ok = ok && BinFileReader_ReadArray(reader, t->rootLookahead, 1, kLexTreeMaxTrees) != 0;
    for (uint32_t i = 0; ok && i < T; ++i)
        ok = treeIsSound(t, static_cast<int32_t>(i));
    BinFileReader_Delete(reader);
    if (!ok) {
        LexTree_DeleteAll(t);
        return nullptr;
    }
    return t;
}

int32_t LexTree_WriteContents(const LexTree* t, BinFileWriter* writer)
{
    if (writer == nullptr)
        return 0;
    const bool has = t->hasDynamicTree != 0 && t->numTrees > 0;
    if (BinFileWriter_WriteUnsignedInt(writer, has ? 1 : 0) == 0)
        return 0;
    if (!has)
        return 1;
    const int32_t i = t->numTrees - 1;
    const uint32_t words[8] = {t->deepestLevel[i], t->depthCapacity[i], t->arcCapacity[i], t->arcsInUse[i],
                               t->level0Arcs[i],   t->numProns[i],      t->expandedSize[i], t->rootLookahead[i]};
    for (uint32_t w : words)
        if (BinFileWriter_WriteUnsignedInt(writer, w) == 0)
            return 0;
    auto* packed = static_cast<uint32_t*>(DVKMem_Malloc(std::max<uint32_t>(t->arcCapacity[i], 1) * 4));
    if (packed == nullptr)
        return 0;
    for (uint32_t a = 0; a < t->arcCapacity[i]; ++a)
        packed[a] = t->arcs[i][a].model | (static_cast<uint32_t>(t->arcs[i][a].next) << 16);
    const bool ok = BinFileWriter_WriteArray(writer, t->depthTable[i], t->depthTable[i] != nullptr ? t->depthCapacity[i] : 0, 4) != 0 &&
                    BinFileWriter_WriteArray(writer, packed, t->arcCapacity[i], 4) != 0 &&
                    BinFileWriter_WriteArray(writer, t->lookahead[i], t->arcCapacity[i], 1) != 0;
    DVKMem_Free(packed);
    return ok ? 1 : 0;
}

int32_t LexTree_ReadContents(LexTree* t, BinFileReader* reader)
{
    if (reader == nullptr || t->hasDynamicTree != 0)
        return 0;
    uint32_t flag = 0;
    if (BinFileReader_ReadUnsignedInt(reader, &flag) == 0)
        return 0;
    if (flag != 1)
        return 1;
    // The record becomes tree T: there must be a slot for it.
    if (t->numTrees >= kLexTreeMaxTrees)
        return 0;
    uint32_t w[8] = {};
    bool ok = true;
    for (int k = 0; ok && k < 8; ++k)
        ok = BinFileReader_ReadUnsignedInt(reader, &w[k]) != 0;
    const int32_t i = t->numTrees;
    LexTree next{};
    next.deepestLevel[0] = w[0];
    next.depthCapacity[0] = w[1];
    next.arcCapacity[0] = w[2];
    next.arcsInUse[0] = w[3];
    uint32_t* packed = nullptr;
    ok = ok && w[2] <= 65536 && readCounted(reader, w[1], &next.depthTable[0]) && readCounted(reader, w[2], &packed) &&
         readCounted(reader, w[2], &next.lookahead[0]);
    if (ok) {
        next.arcs[0] = static_cast<LexArc*>(DVKMem_Malloc(std::max<uint32_t>(w[2], 1) * sizeof(LexArc)));
        ok = next.arcs[0] != nullptr;
    }
    for (uint32_t a = 0; ok && a < w[2]; ++a)
        next.arcs[0][a] = {static_cast<uint16_t>(packed[a] & 0xFFFF), static_cast<uint16_t>(packed[a] >> 16)};
    DVKMem_Free(packed);
    ok = ok && treeIsSound(&next, 0);
    if (!ok) {
        LexTree_FreeTree(&next, 0);
        return 0;
    }
    t->deepestLevel[i] = w[0];
    t->depthCapacity[i] = w[1];
    t->depthTable[i] = next.depthTable[0];
    t->arcCapacity[i] = w[2];
    t->arcsInUse[i] = w[3];
    t->level0Arcs[i] = w[4];
    t->numProns[i] = w[5];
    t->expandedSize[i] = w[6];
    t->rootLookahead[i] = static_cast<uint8_t>(w[7]);
    t->arcs[i] = next.arcs[0];
    t->lookahead[i] = next.lookahead[0];
    ++t->numTrees;
    t->hasDynamicTree = 1;
    return 1;
}

int32_t LexTree_ReadBinFile(LexTree* t, DVKTar* archive, const char* prefix)
{
    BinFileReader* reader = BinFileReader_Create(archive, kTag, prefix);
    if (reader == nullptr)
        return 0;
    const int32_t ok = LexTree_ReadContents(t, reader);
    BinFileReader_Delete(reader);
    return ok;
}

int32_t LexTree_WriteBinFile(const LexTree* t, DVKTar* archive, const char* prefix)
{
    BinFileWriter* writer = BinFileWriter_Create(archive, kTag, prefix);
    if (writer == nullptr)
        return 0;
    const int32_t ok = LexTree_WriteContents(t, writer);
    const bool completed = BinFileWriter_Delete(writer) == 0;
    return ok != 0 && completed ? 1 : 0;
}
