// Class manager storage: the model set's "bcm1", the user-storage "bcm1" of
// the run-time classes, and the checksums of records and manager.
//
// Both readers check everything a later lookup trusts (page counts against
// capacities, ids against the pages, every record's chunks, offsets and
// order, every alias target) and build what they read beside the manager,
// so a refused file leaves nothing behind: the model-set load gives null,
// the user read gives 0 with the manager as it was.
#include "core/brevit/search/class_manager.h"

#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/bin_file_writer.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/class_manager_tables.h"
#include "core/brevit/search/class_networks.h"
#include "core/brevit/search/constraint_class.h"
#include "core/brevit/search/search_lexicon_calls.h"

#include <cstring>
#include <utility>

namespace {

constexpr uint32_t kMaxPages = kClassManagerMaxIds >> kClassManagerPageShift;
constexpr uint32_t kMaxChunkShift = 16;
constexpr uint32_t kMaxWordChunkSlots = 1u << 20;

// One per-id table as stored: its capacity and pages in use.
struct TableShape {
    uint32_t slots;
    uint32_t pages;
};

bool shapeHolds(TableShape t, int32_t maxId)
{
    return t.pages <= t.slots && t.slots <= kMaxPages && (maxId == 0 || int64_t{t.pages} * 256 > maxId);
}

// A page table of `slots` entries with `pages` zeroed pages of 256 entries.
void** makeTable(TableShape t, uint32_t elementSize)
{
    if (t.slots == 0)
        return nullptr;
    auto** table = static_cast<void**>(DVKMem_Calloc(t.slots * static_cast<uint32_t>(sizeof(void*))));
    for (uint32_t p = 0; table != nullptr && p < t.pages; ++p) {
        table[p] = DVKMem_Calloc(256 * elementSize);
        if (table[p] == nullptr) {
            DVKMem_FreeChunksArray(table, p);
            return nullptr;
        }
    }
    return table;
}

bool tableMade(void** table, TableShape t) { return t.slots == 0 || table != nullptr; }

bool readWord(BinFileReader* r, uint32_t* v) { return BinFileReader_ReadUnsignedInt(r, v) != 0; }

bool validShift(uint32_t shift, uint32_t chunk) { return shift <= kMaxChunkShift && chunk == (1u << shift); }

// Everything the member reads rely on: chunk sizes, chunks enough for the
// counts, offsets rising from 0 to numWords by 1..1,024 words, members in
// strict order, weights and phrase ids present for every member.
bool validRecord(const ConstraintClass* c)
{
    if (!validShift(c->memberShift, c->memberChunk) || !validShift(c->wordShift, c->wordChunk) ||
        c->memberChunksUsed > c->memberChunkSlots || c->wordChunksUsed > c->wordChunkSlots ||
        c->memberChunkSlots > (static_cast<uint32_t>(kConstraintClassMaxMembers) >> c->memberShift) + 1 ||
        c->wordChunkSlots > kMaxWordChunkSlots || c->numMembers < 0 || c->numMembers > kConstraintClassMaxMembers ||
        c->numWords < 0)
        return false;
    const uint64_t memberRoom = uint64_t{c->memberChunksUsed} << c->memberShift;
    if (c->numMembers == 0)
        return c->numWords == 0;
    if (uint64_t(c->numMembers) + 1 > memberRoom || uint64_t(c->numWords) > uint64_t{c->wordChunksUsed} << c->wordShift)
        return false;
    if (c->hasWeights != 0 && (c->weightChunksUsed > c->weightChunkSlots ||
                               uint64_t(c->numMembers) > uint64_t{c->weightChunksUsed} << c->memberShift))
        return false;
    if (c->hasPhraseIds != 0 && (c->phraseChunksUsed > c->phraseChunkSlots ||
                                 uint64_t(c->numMembers) > uint64_t{c->phraseChunksUsed} << c->memberShift))
        return false;
    if (ConstraintClass_OffsetAt(c, 0) != 0 || ConstraintClass_OffsetAt(c, c->numMembers) != uint32_t(c->numWords))
        return false;
    for (int32_t m = 0; m < c->numMembers; ++m) {
        const uint32_t from = ConstraintClass_OffsetAt(c, m);
        const uint32_t to = ConstraintClass_OffsetAt(c, m + 1);
        if (to <= from || to - from > uint32_t(kConstraintClassMaxMemberLength))
            return false;
    }
    for (int32_t m = 0; m + 1 < c->numMembers; ++m)
        if (compareClassMembers(c, m, m + 1, false) >= 0)
            return false;
    return true;
}

// A record as every loader leaves it: owning its arrays, start list and word
// index to be built.
ConstraintClass* newRecord()
{
    auto* c = static_cast<ConstraintClass*>(DVKMem_Calloc(sizeof(ConstraintClass)));
    if (c != nullptr) {
        c->startListCount = -1;
        c->startListKey = -1;
        c->ownsArrays = 1;
        c->pronCacheDirty = 1;
        c->irClassIndex = -1;
    }
    return c;
}

// The ten layout words both stored forms begin a record with.
void setLayout(ConstraintClass* c, const uint32_t* w)
{
    c->memberShift = w[0];
    c->memberChunk = w[1];
    c->memberChunkSlots = w[2];
    c->memberChunksUsed = w[3];
    c->numMembers = static_cast<int32_t>(w[4]);
    c->wordShift = w[5];
    c->wordChunk = w[6];
    c->wordChunkSlots = w[7];
    c->wordChunksUsed = w[8];
    c->numWords = static_cast<int32_t>(w[9]);
}

// A chunked array of the user layout: exactly `*used` chunks of `chunk`
// elements into a table of `slots`. *used becomes the chunks held.
bool readChunked(BinFileReader* r, void*** table, uint32_t slots, uint32_t chunk, uint32_t size, uint32_t* used)
{
    const uint32_t stored = *used;
    *used = 0;
    uint32_t chunks = 0;
    if (slots == 0)
        return BinFileReader_ReadChunkedArray(r, nullptr, 0, chunk, size, &chunks) != 0 && stored == 0;
    if (BinFileReader_AllocateAndReadChunkedArray(r, table, slots, chunk, size, &chunks) == 0)
        return false;
    *used = chunks;
    return chunks == stored;
}

// The 20 words and arrays of one user-layout record; null when anything
// fails or does not hold together.
ConstraintClass* readUserRecord(BinFileReader* r, void* irObject)
{
    uint32_t w[20];
    for (uint32_t& v : w)
        if (!readWord(r, &v))
            return nullptr;
    ConstraintClass* c = newRecord();
    if (c == nullptr)
        return nullptr;
    setLayout(c, w);
    c->weightChunkSlots = w[10];
    c->weightChunksUsed = w[11];
    c->hasWeights = static_cast<int32_t>(w[12]);
    c->phraseChunkSlots = w[13];
    c->phraseChunksUsed = w[14];
    c->hasPhraseIds = static_cast<int32_t>(w[15]);
    c->irClassIndex = static_cast<int32_t>(w[16]);
    c->partnerClass = w[17];
    c->flagA = static_cast<int32_t>(w[18]);
    c->flagB = static_cast<int32_t>(w[19]);
    c->persistent = 1;
    if (c->irClassIndex != -1)
        c->irObject = irObject;
    const uint32_t weightsUsed = c->weightChunksUsed;
    const uint32_t phrasesUsed = c->phraseChunksUsed;
    c->weightChunksUsed = c->phraseChunksUsed = 0;
    bool ok = (c->hasWeights == 0 || c->hasWeights == 1) && (c->hasPhraseIds == 0 || c->hasPhraseIds == 1) &&
              validShift(c->memberShift, c->memberChunk) && validShift(c->wordShift, c->wordChunk) &&
              c->memberChunkSlots <= (static_cast<uint32_t>(kConstraintClassMaxMembers) >> c->memberShift) + 1 &&
              c->weightChunkSlots <= c->memberChunkSlots + 1 && c->phraseChunkSlots <= c->memberChunkSlots + 1 &&
              c->wordChunkSlots <= kMaxWordChunkSlots;
    ok = ok && readChunked(r, &c->memberOffsets, c->memberChunkSlots, c->memberChunk, 4, &c->memberChunksUsed);
    ok = ok && readChunked(r, &c->wordIds, c->wordChunkSlots, c->wordChunk, 2, &c->wordChunksUsed);
    if (ok && c->hasWeights != 0) {
        c->weightChunksUsed = weightsUsed;
        ok = readChunked(r, &c->weights, c->weightChunkSlots, c->memberChunk, 1, &c->weightChunksUsed);
    }
    if (ok && c->hasPhraseIds != 0) {
        c->phraseChunksUsed = phrasesUsed;
        ok = readChunked(r, &c->phraseIds, c->phraseChunkSlots, c->memberChunk, 4, &c->phraseChunksUsed);
    }
    if (!ok || !validRecord(c)) {
        ConstraintClass_Delete(c);
        return nullptr;
    }
    return c;
}

// `used` chunks of exactly `chunk` elements, each its own array record, into
// a new table of `slots`.
bool readChunkRecords(BinFileReader* r, void*** table, uint32_t slots, uint32_t chunk, uint32_t size,
                      uint32_t* used)
{
    const uint32_t stored = *used;
    *used = 0;
    if (stored > slots)
        return false;
    if (slots == 0)
        return true;
    *table = static_cast<void**>(DVKMem_Calloc(slots * static_cast<uint32_t>(sizeof(void*))));
    if (*table == nullptr)
        return false;
    for (uint32_t k = 0; k < stored; ++k) {
        void* block = DVKMem_Malloc(chunk * size);
        if (block == nullptr)
            return false;
        (*table)[k] = block;
        *used = k + 1;
        if (BinFileReader_ReadArray(r, block, size, chunk) == 0)
            return false;
    }
    return true;
}

// A model-set class record after its id and name: 11 words and the chunks.
ConstraintClass* readModelRecord(BinFileReader* r)
{
    uint32_t w[11];
    for (uint32_t& v : w)
        if (!readWord(r, &v))
            return nullptr;
    ConstraintClass* c = newRecord();
    if (c == nullptr)
        return nullptr;
    setLayout(c, w);
    c->weightChunkSlots = c->phraseChunkSlots = w[2];
    c->partnerClass = w[10];
    c->irClassIndex = 0;
    bool ok = validShift(c->memberShift, c->memberChunk) && validShift(c->wordShift, c->wordChunk) &&
              c->memberChunkSlots <= (static_cast<uint32_t>(kConstraintClassMaxMembers) >> c->memberShift) + 1 &&
              c->wordChunkSlots <= kMaxWordChunkSlots;
    ok = ok && readChunkRecords(r, &c->memberOffsets, c->memberChunkSlots, c->memberChunk, 4, &c->memberChunksUsed);
    ok = ok && readChunkRecords(r, &c->wordIds, c->wordChunkSlots, c->wordChunk, 2, &c->wordChunksUsed);
    if (!ok || !validRecord(c)) {
        ConstraintClass_Delete(c);
        return nullptr;
    }
    return c;
}

// The name array of a stored entry: exactly `bytes` bytes; with a terminator
// it must end there, without one none may be inside.
char* readName(BinFileReader* r, uint32_t bytes, bool terminated)
{
    if (bytes == 0 || bytes > 0x10000)
        return nullptr;
    auto* name = static_cast<char*>(DVKMem_Malloc(terminated ? bytes : bytes + 1));
    if (name == nullptr)
        return nullptr;
    if (!terminated)
        name[bytes] = '\0';
    const uint32_t length = terminated ? bytes - 1 : bytes;
    const bool read = BinFileReader_ReadArray(r, name, 1, bytes) != 0;
    if (!read || std::memchr(name, 0, bytes) != (terminated ? name + length : nullptr)) {
        DVKMem_Free(name);
        return nullptr;
    }
    return name;
}

// Aliases and records agree: a real class has a record, an alias of a class
// names a real class with a record and shares it, a constraint alias has
// none. Record pointers of aliases are set here.
bool linkAliases(void** names, void** classes, void** aliases, int32_t maxId, int32_t* constraintAliases)
{
    *constraintAliases = 0;
    for (uint32_t id = 1; id <= static_cast<uint32_t>(maxId); ++id) {
        if (ClassManager_Entry<char*>(names, id) == nullptr)
            continue;
        const uint32_t alias = ClassManager_Entry<uint32_t>(aliases, id);
        ConstraintClass*& record = ClassManager_Entry<ConstraintClass*>(classes, id);
        if (alias == 0) {
            if (record == nullptr)
                return false;
            continue;
        }
        if ((alias & kClassManagerConstraintRef) != 0) {
            if (record != nullptr)
                return false;
            ++*constraintAliases;
            continue;
        }
        if (record != nullptr || alias > static_cast<uint32_t>(maxId) ||
            ClassManager_Entry<char*>(names, alias) == nullptr || ClassManager_Entry<uint32_t>(aliases, alias) != 0 ||
            ClassManager_Entry<ConstraintClass*>(classes, alias) == nullptr)
            return false;
    }
    for (uint32_t id = 1; id <= static_cast<uint32_t>(maxId); ++id) {
        const uint32_t alias = ClassManager_Entry<uint32_t>(aliases, id);
        if (ClassManager_Entry<char*>(names, id) != nullptr && alias != 0 && (alias & kClassManagerConstraintRef) == 0)
            ClassManager_Entry<ConstraintClass*>(classes, id) = ClassManager_Entry<ConstraintClass*>(classes, alias);
    }
    return true;
}

int32_t namedCount(void** names, int32_t maxId)
{
    int32_t n = 0;
    for (uint32_t id = 1; id <= static_cast<uint32_t>(maxId); ++id)
        n += ClassManager_Entry<char*>(names, id) != nullptr ? 1 : 0;
    return n;
}

// ---- the user layout ---------------------------------------------------------------

struct UserHeader {
    int32_t idsInUse, constraintAliases, maxId;
    TableShape classes, trees, refs, aliases;
    uint32_t treesStored;
};

// What a user read builds before it replaces the manager's tables; ids up to
// the manager's own maxId keep the manager's entries.
struct Staged {
    void** classes = nullptr;
    void** names = nullptr;
    void** trees = nullptr;
    void** refs = nullptr;
    void** aliases = nullptr;
    const ClassManager* manager = nullptr;   // whose named entries stay its own
    bool entriesRead = false;
    int32_t maxId = 0;
};

void freeStaged(Staged& s, const UserHeader& h)
{
    for (uint32_t id = 1; s.entriesRead && id <= static_cast<uint32_t>(s.maxId); ++id) {
        if (ClassManager_IsNamed(s.manager, id))
            continue;
        DVKMem_Free(ClassManager_Entry<char*>(s.names, id));
        if (ClassManager_Entry<uint32_t>(s.aliases, id) == 0)
            ConstraintClass_Delete(ClassManager_Entry<ConstraintClass*>(s.classes, id));
        if (s.trees != nullptr)
            LexTree_Delete(ClassManager_Entry<LexTree*>(s.trees, id));
    }
    DVKMem_FreeChunksArray(s.classes, h.classes.pages);
    DVKMem_FreeChunksArray(s.names, h.classes.pages);
    DVKMem_FreeChunksArray(s.trees, h.trees.pages);
    DVKMem_FreeChunksArray(s.refs, h.refs.pages);
    DVKMem_FreeChunksArray(s.aliases, h.aliases.pages);
}

bool readUserHeader(BinFileReader* r, UserHeader* h)
{
    uint32_t w[12];
    for (uint32_t& v : w)
        if (!readWord(r, &v))
            return false;
    h->idsInUse = static_cast<int32_t>(w[0]);
    h->constraintAliases = static_cast<int32_t>(w[1]);
    h->maxId = static_cast<int32_t>(w[2]);
    h->classes = {w[3], w[4]};
    h->trees = {w[5], w[6]};
    h->refs = {w[7], w[8]};
    h->aliases = {w[9], w[10]};
    h->treesStored = w[11];
    return h->maxId >= 0 && h->maxId < kClassManagerMaxIds && h->idsInUse >= 1 && h->idsInUse <= h->maxId + 1 &&
           h->constraintAliases >= 0 && h->treesStored <= 1 && shapeHolds(h->classes, h->maxId) &&
           shapeHolds(h->refs, h->maxId) && shapeHolds(h->aliases, h->maxId) && h->trees.pages <= h->trees.slots &&
           h->trees.slots <= kMaxPages && (h->treesStored == 0 || shapeHolds(h->trees, h->maxId)) &&
           (h->treesStored == 1 || h->trees.pages == 0 || BrevitParam_Word(kBrevitParamMaxTrees) >= 1);
}

// One id's entry: 1 when read (or a 0 word), 0 on failure.
bool readUserEntry(BinFileReader* r, const ClassManager* m, Staged& s, const UserHeader& h, uint32_t id,
                   void* irObject, int32_t keepTrees)
{
    uint32_t length = 0;
    if (!readWord(r, &length))
        return false;
    if (length == 0)
        return true;
    // The manager's own entries (the model set's) are never replaced.
    if (id <= static_cast<uint32_t>(m->maxId) && ClassManager_Entry<char*>(m->names, id) != nullptr)
        return false;
    char* name = readName(r, length, true);
    if (name == nullptr)
        return false;
    ClassManager_Entry<char*>(s.names, id) = name;
    const uint32_t alias = ClassManager_Entry<uint32_t>(s.aliases, id);
    ConstraintClass* record = nullptr;
    if (alias == 0) {
        record = readUserRecord(r, irObject);
        if (record == nullptr)
            return false;
        ClassManager_Entry<ConstraintClass*>(s.classes, id) = record;
    }
    if (h.treesStored == 0) {
        if (record != nullptr)
            ClassManager_UpdateRebuildTree(const_cast<ClassManager*>(m), record);
        return true;
    }
    uint32_t hasTree = 0;
    if (!readWord(r, &hasTree) || hasTree > 1 || (hasTree == 1 && record == nullptr))
        return false;
    if (hasTree == 0) {
        if (record != nullptr)
            ClassManager_UpdateRebuildTree(const_cast<ClassManager*>(m), record);
        return true;
    }
    LexTree* tree = LexTree_CreateEmpty();
    if (tree == nullptr)
        return false;
    const bool read = LexTree_ReadContents(tree, r) != 0;
    if (!read || keepTrees == 0) {
        LexTree_Delete(tree);
        record->rebuildTree = 1;
        return read;
    }
    ClassManager_Entry<LexTree*>(s.trees, id) = tree;
    record->rebuildTree = 0;
    return true;
}

} // namespace

uint32_t ConstraintClass_ComputeCRC(const ConstraintClass* c)
{
    if (c == nullptr || c->wordChunk == 0)
        return 0xFFFFFFFFu;
    uint32_t crc = 0xFFFFFFFFu;
    crc = DVKCrc_AddValue(c->memberShift, 4, crc);
    crc = DVKCrc_AddValue(c->memberChunk, 4, crc);
    for (uint32_t k = 0; k < c->memberChunksUsed; ++k)
        crc = DVKCrc_AddArray(c->memberOffsets[k], 4, static_cast<int32_t>(c->memberChunk), crc);
    for (uint32_t v : {c->memberChunkSlots, c->memberChunksUsed, static_cast<uint32_t>(c->numMembers), c->wordShift,
                       c->wordChunk, c->wordChunkSlots, c->wordChunksUsed, static_cast<uint32_t>(c->numWords)})
        crc = DVKCrc_AddValue(v, 4, crc);
    for (uint32_t k = 0; k < c->wordChunksUsed; ++k)
        crc = DVKCrc_AddArray(c->wordIds[k], 2, static_cast<int32_t>(c->wordChunk), crc);
    return DVKCrc_AddValue(static_cast<uint32_t>(c->ownsArrays), 4, crc);
}

uint32_t ClassManager_ComputeCRC(const ClassManager* m, int32_t withSuccPool)
{
    if (m == nullptr)
        return 0xFFFFFFFFu;
    uint32_t crc = 0xFFFFFFFFu;
    crc = DVKCrc_AddValue(static_cast<uint32_t>(m->idsInUse), 4, crc);
    crc = DVKCrc_AddValue(static_cast<uint32_t>(m->maxId), 4, crc);
    for (uint32_t id = 1; id <= static_cast<uint32_t>(m->maxId); ++id) {
        const ConstraintClass* record = ClassManager_Entry<ConstraintClass*>(m->classes, id);
        if (record == nullptr)
            continue;
        crc = DVKCrc_AddValue(ConstraintClass_ComputeCRC(record), 4, crc);
        crc = DVKCrc_AddString(ClassManager_Entry<char*>(m->names, id), crc);
    }
    crc = DVKCrc_AddValue(m->classSlots, 4, crc);
    crc = DVKCrc_AddValue(m->classPages, 4, crc);
    for (uint32_t id = 0; m->trees != nullptr && id < static_cast<uint32_t>(m->maxId); ++id) {
        LexTree* const* tree = ClassManager_TreeSlot(m, id);
        if (tree != nullptr && *tree != nullptr)
            crc = DVKCrc_AddValue(LexTree_ComputeCRC(*tree), 4, crc);
    }
    crc = DVKCrc_AddValue(m->treeSlots, 4, crc);
    crc = DVKCrc_AddValue(m->treePages, 4, crc);
    if (m->classes != nullptr && m->refCounts != nullptr && m->aliases != nullptr)
        for (uint32_t id = 0; id < static_cast<uint32_t>(m->maxId); ++id) {
            if (ClassManager_Entry<ConstraintClass*>(m->classes, id) == nullptr)
                continue;
            crc = DVKCrc_AddValue(ClassManager_Entry<uint32_t>(m->refCounts, id), 4, crc);
            crc = DVKCrc_AddValue(ClassManager_Entry<uint32_t>(m->aliases, id), 4, crc);
        }
    for (uint32_t v : {m->refSlots, m->refPages, m->aliasSlots, m->aliasPages})
        crc = DVKCrc_AddValue(v, 4, crc);
    const auto* pool = static_cast<const SuccPronPool*>(m->succPronPool);
    if (withSuccPool == 0 || pool == nullptr)
        return crc;
    for (int32_t i = 0; i < pool->numRanges; ++i) {
        crc = DVKCrc_AddValue(pool->ranges[i].start, 2, crc);
        crc = DVKCrc_AddValue(pool->ranges[i].count, 2, crc);
    }
    crc = DVKCrc_AddArray(pool->pronIds, 2, pool->used, crc);
    crc = DVKCrc_AddValue(static_cast<uint32_t>(pool->capacity), 4, crc);
    crc = DVKCrc_AddArray(pool->memberIndexes, 2, pool->used, crc);
    return DVKCrc_AddValue(static_cast<uint32_t>(pool->used), 4, crc);
}

int32_t ClassManager_WritePSAFile(ClassManager* m, DVKTar* archive, const char* prefix)
{
    if (m == nullptr || ClassManager_FinishEdit(m) == 0)
        return 0;
    ClassManager_BuildClassTrees(m, 0);
    if (m->classSlots != m->nameSlots || m->classPages != m->namePages)
        return 0;
    BinFileWriter* w = BinFileWriter_Create(archive, "bcm1", prefix);
    if (w == nullptr)
        return 0;
    const auto word = [w](uint32_t v) { return BinFileWriter_WriteUnsignedInt(w, v) != 0; };
    const uint32_t trees = m->trees != nullptr ? 1 : 0;
    bool ok = word(static_cast<uint32_t>(m->idsInUse)) && word(static_cast<uint32_t>(m->numConstraintAliases)) &&
              word(static_cast<uint32_t>(m->maxId)) && word(m->classSlots) && word(m->classPages) &&
              word(m->treeSlots) && word(m->treePages) && word(m->refSlots) && word(m->refPages) &&
              word(m->aliasSlots) && word(m->aliasPages) && word(trees) &&
              BinFileWriter_WriteChunkedArray(w, m->refCounts, m->refPages, 256, 4) != 0 &&
              BinFileWriter_WriteChunkedArray(w, m->aliases, m->aliasPages, 256, 4) != 0;
    for (uint32_t id = 1; ok && id <= static_cast<uint32_t>(m->maxId); ++id) {
        const char* name = ClassManager_Entry<char*>(m->names, id);
        const ConstraintClass* c = ClassManager_Entry<ConstraintClass*>(m->classes, id);
        const uint32_t alias = ClassManager_AliasOf(m, id);
        if (name == nullptr || (c != nullptr && c->persistent == 0) || (c == nullptr && alias == 0)) {
            ok = word(0);
            continue;
        }
        const auto bytes = static_cast<uint32_t>(std::strlen(name) + 1);
        ok = word(bytes) && BinFileWriter_WriteArray(w, name, bytes, 1) != 0;
        if (ok && alias == 0) {
            for (uint32_t v : {c->memberShift, c->memberChunk, c->memberChunkSlots, c->memberChunksUsed,
                               static_cast<uint32_t>(c->numMembers), c->wordShift, c->wordChunk, c->wordChunkSlots,
                               c->wordChunksUsed, static_cast<uint32_t>(c->numWords), c->weightChunkSlots,
                               c->weightChunksUsed, static_cast<uint32_t>(c->hasWeights), c->phraseChunkSlots,
                               c->phraseChunksUsed, static_cast<uint32_t>(c->hasPhraseIds),
                               static_cast<uint32_t>(c->irClassIndex), c->partnerClass,
                               static_cast<uint32_t>(c->flagA), static_cast<uint32_t>(c->flagB)})
                ok = ok && word(v);
            ok = ok && BinFileWriter_WriteChunkedArray(w, c->memberOffsets, c->memberChunksUsed, c->memberChunk, 4);
            ok = ok && BinFileWriter_WriteChunkedArray(w, c->wordIds, c->wordChunksUsed, c->wordChunk, 2);
            if (c->hasWeights != 0)
                ok = ok && BinFileWriter_WriteChunkedArray(w, c->weights, c->weightChunksUsed, c->memberChunk, 1);
            if (c->hasPhraseIds != 0)
                ok = ok && BinFileWriter_WriteChunkedArray(w, c->phraseIds, c->phraseChunksUsed, c->memberChunk, 4);
        }
        if (ok && trees != 0) {
            LexTree* const* slot = alias == 0 ? ClassManager_TreeSlot(m, id) : nullptr;
            const LexTree* tree = slot != nullptr ? *slot : nullptr;
            ok = word(tree != nullptr ? 1 : 0) && (tree == nullptr || LexTree_WriteContents(tree, w) != 0);
        }
    }
    // The writer answers 0 when it completed the sub-file.
    const bool closed = BinFileWriter_Delete(w) == 0;
    return ok && closed ? 1 : 0;
}

int32_t ClassManager_ReadPSAFile(ClassManager* m, DVKTar* archive, const char* prefix, void* irObject,
                                 int32_t keepTrees)
{
    if (m == nullptr || ClassManager_FinishEdit(m) == 0)
        return 0;
    BinFileReader* r = BinFileReader_Create(archive, "bcm1", prefix);
    if (r == nullptr)
        return 0;
    UserHeader h{};
    // The manager's own entries must all lie inside the stored tables.
    bool ok = readUserHeader(r, &h) && h.maxId >= m->maxId;
    if (ok && h.treesStored == 0 && BrevitParam_Word(kBrevitParamMaxTrees) >= 1) {
        // A file without trees is taken only when it holds no classes.
        ok = h.idsInUse == 1 && h.maxId == 0 && m->maxId == 0;
        if (ok && h.classes.slots >= m->classPages && h.trees.slots >= m->treePages) {
            m->classSlots = m->nameSlots = h.classes.slots;
            m->treeSlots = h.trees.slots;
        }
        BinFileReader_Delete(r);
        return ok ? 1 : 0;
    }
    Staged s;
    s.maxId = h.maxId;
    s.manager = m;
    if (ok) {
        s.classes = makeTable(h.classes, sizeof(void*));
        s.names = makeTable(h.classes, sizeof(void*));
        s.trees = h.treesStored != 0 ? makeTable(h.trees, sizeof(void*)) : nullptr;
        ok = tableMade(s.classes, h.classes) && tableMade(s.names, h.classes) &&
             (h.treesStored == 0 || tableMade(s.trees, h.trees));
    }
    // A table read with another page count is given back at once.
    for (auto [table, shape] : {std::pair{&s.refs, h.refs}, std::pair{&s.aliases, h.aliases}}) {
        uint32_t chunks = shape.pages;
        ok = ok && readChunked(r, table, shape.slots, 256, 4, &chunks);
        if (!ok && *table != nullptr) {
            DVKMem_FreeChunksArray(*table, chunks);
            *table = nullptr;
        }
    }
    if (ok)
        for (uint32_t id = 1; id <= static_cast<uint32_t>(m->maxId); ++id) {
            ClassManager_Entry<char*>(s.names, id) = ClassManager_Entry<char*>(m->names, id);
            ClassManager_Entry<ConstraintClass*>(s.classes, id) =
                ClassManager_Entry<uint32_t>(s.aliases, id) == 0 ? ClassManager_Entry<ConstraintClass*>(m->classes, id)
                                                                 : nullptr;
            LexTree* const* tree = ClassManager_TreeSlot(m, id);
            if (s.trees != nullptr && tree != nullptr)
                ClassManager_Entry<LexTree*>(s.trees, id) = *tree;
        }
    s.entriesRead = ok;
    for (uint32_t id = 1; ok && id <= static_cast<uint32_t>(h.maxId); ++id)
        ok = readUserEntry(r, m, s, h, id, irObject, keepTrees);
    BinFileReader_Delete(r);
    int32_t constraintAliases = 0;
    ok = ok && linkAliases(s.names, s.classes, s.aliases, h.maxId, &constraintAliases) &&
         constraintAliases == h.constraintAliases && namedCount(s.names, h.maxId) + 1 <= h.idsInUse;
    // A model-set entry keeps its own record: an alias target stored for it
    // would have taken it.
    for (uint32_t id = 1; ok && id <= static_cast<uint32_t>(m->maxId); ++id)
        if (ClassManager_Entry<char*>(m->names, id) != nullptr && ClassManager_AliasOf(m, id) == 0)
            ok = ClassManager_Entry<uint32_t>(s.aliases, id) == 0;
    if (!ok) {
        freeStaged(s, h);
        return 0;
    }
    // Commit: the staged tables replace the manager's; the manager's entries
    // moved into them.
    DVKMem_FreeChunksArray(m->classes, m->classPages);
    DVKMem_FreeChunksArray(m->names, m->namePages);
    DVKMem_FreeChunksArray(m->refCounts, m->refPages);
    DVKMem_FreeChunksArray(m->aliases, m->aliasPages);
    m->classes = s.classes;
    m->names = s.names;
    m->classSlots = m->nameSlots = h.classes.slots;
    m->classPages = m->namePages = h.classes.pages;
    m->refCounts = s.refs;
    m->refSlots = h.refs.slots;
    m->refPages = h.refs.pages;
    m->aliases = s.aliases;
    m->aliasSlots = h.aliases.slots;
    m->aliasPages = h.aliases.pages;
    if (h.treesStored != 0) {
        DVKMem_FreeChunksArray(m->trees, m->treePages);
        m->trees = s.trees;
        m->treePages = h.trees.pages;
        m->numTrees = 0;
        for (uint32_t id = 1; id <= static_cast<uint32_t>(h.maxId); ++id)
            m->numTrees += ClassManager_Entry<LexTree*>(m->trees, id) != nullptr ? 1 : 0;
    }
    // A tree table of the manager's own (none stored) keeps its capacity.
    if (h.treesStored != 0 || m->trees == nullptr)
        m->treeSlots = h.trees.slots;
    m->idsInUse = h.idsInUse;
    m->numConstraintAliases = h.constraintAliases;
    m->maxId = h.maxId;
    ClassManager_ResetSuccPronIds(m);
    return 1;
}

ClassManager* ClassManager_LoadFromBinFile(DVKTar* archive, const char* prefix, Voc* vocabulary, AM* acousticModel,
                                           ConstraintManager* constraintManager)
{
    BinFileReader* r = BinFileReader_Create(archive, "bcm1", prefix);
    if (r == nullptr)
        return nullptr;
    ClassManager* m = ClassManager_Create(vocabulary, acousticModel, constraintManager, 0);
    uint32_t w[9] = {};
    bool ok = m != nullptr;
    for (uint32_t& v : w)
        ok = ok && readWord(r, &v);
    const auto maxId = static_cast<int32_t>(w[1]);
    const TableShape classes{w[3], w[2]};
    const TableShape refs{w[5], w[4]};
    const TableShape aliases{w[7], w[6]};
    ok = ok && maxId >= 0 && maxId < kClassManagerMaxIds && static_cast<int32_t>(w[0]) >= 1 &&
         static_cast<int32_t>(w[0]) <= maxId + 1 && shapeHolds(classes, maxId) && shapeHolds(refs, maxId) &&
         shapeHolds(aliases, maxId) && w[8] <= kMaxPages;
    if (ok) {
        // Tables are filled in place: the manager frees whatever they hold.
        m->classes = makeTable(classes, sizeof(void*));
        m->classSlots = m->nameSlots = classes.slots;
        m->classPages = m->namePages = m->classes != nullptr ? classes.pages : 0;
        m->names = makeTable(classes, sizeof(void*));
        m->namePages = m->names != nullptr ? classes.pages : 0;
        m->refCounts = makeTable(refs, 4);
        m->refSlots = refs.slots;
        m->refPages = m->refCounts != nullptr ? refs.pages : 0;
        m->aliases = makeTable(aliases, 4);
        m->aliasSlots = aliases.slots;
        m->aliasPages = m->aliases != nullptr ? aliases.pages : 0;
        m->treeSlots = 0;
        ok = tableMade(m->classes, classes) && tableMade(m->names, classes) && tableMade(m->refCounts, refs) &&
             tableMade(m->aliases, aliases);
        // The stored tree capacity gets pages as the class table has them.
        if (ok && BrevitParam_Word(kBrevitParamMaxTrees) >= 1 && w[8] > 0) {
            const TableShape trees{w[8] >= classes.pages ? w[8] : classes.pages, classes.pages};
            m->trees = makeTable(trees, sizeof(void*));
            m->treeSlots = trees.slots;
            m->treePages = m->trees != nullptr ? trees.pages : 0;
            ok = tableMade(m->trees, trees);
        }
        // The names and records go in as they are read; maxId bounds the
        // manager's walks over them.
        if (ok)
            m->maxId = maxId;
    }
    while (ok && BinFileReader_IsAtEnd(r) == 0) {
        uint32_t id = 0;
        ok = readWord(r, &id);
        if (!ok || id == static_cast<uint32_t>(maxId) + 1)
            break;
        uint32_t length = 0;
        ok = id >= 1 && id <= static_cast<uint32_t>(maxId) && ClassManager_Entry<char*>(m->names, id) == nullptr &&
             readWord(r, &length);
        char* name = ok ? readName(r, length, false) : nullptr;
        ok = name != nullptr;
        if (!ok)
            break;
        ClassManager_Entry<char*>(m->names, id) = name;
        ConstraintClass* record = readModelRecord(r);
        ok = record != nullptr;
        if (ok) {
            ClassManager_Entry<ConstraintClass*>(m->classes, id) = record;
            ClassManager_UpdateRebuildTree(m, record);
        }
    }
    for (uint32_t p = 0; ok && p < refs.pages; ++p)
        ok = BinFileReader_ReadArray(r, m->refCounts[p], 4, 256) != 0;
    for (uint32_t p = 0; ok && p < aliases.pages; ++p)
        ok = BinFileReader_ReadArray(r, m->aliases[p], 4, 256) != 0;
    BinFileReader_Delete(r);
    int32_t constraintAliases = 0;
    ok = ok && linkAliases(m->names, m->classes, m->aliases, maxId, &constraintAliases) && constraintAliases == 0 &&
         namedCount(m->names, maxId) + 1 <= static_cast<int32_t>(w[0]);
    // Every stored name is a class of its own.
    for (uint32_t id = 1; ok && id <= static_cast<uint32_t>(maxId); ++id)
        ok = ClassManager_Entry<char*>(m->names, id) == nullptr || ClassManager_AliasOf(m, id) == 0;
    if (!ok) {
        if (m != nullptr) {
            // Refused: no alias may make the teardown skip a record.
            for (uint32_t p = 0; p < m->aliasPages; ++p)
                std::memset(m->aliases[p], 0, 256 * 4);
            m->idsInUse = 1;
        }
        ClassManager_Delete(m);
        return nullptr;
    }
    m->idsInUse = static_cast<int32_t>(w[0]);
    return m;
}
