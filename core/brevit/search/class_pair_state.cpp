// State tables of a class-pair constraint: when a decoder enters the lexical
// tree of a class, the position it came from is noted per class and frame,
// so that phrase classes can score a word against what preceded it.
#include "core/brevit/search/class_pair_constraint.h"
#include "core/brevit/search/class_pair_iterator.h"
#include "core/brevit/search/class_pair_search.h"

#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/search_lexicon_calls.h"

#include <cstring>

namespace {

constexpr int32_t kStateChunk = 1024;

// 12 bytes an entry.
struct StateEntry {
    uint16_t previous;
    uint16_t value16;
    uint32_t value32;
    uint32_t reserved;
};
static_assert(sizeof(StateEntry) == 12, "state entries are 12 bytes");

struct ClassStateTable {
    uint16_t* counts;        // entries per frame (index frame counter + 1)
    int32_t countCapacity;
    StateEntry** chunks;
    int32_t chunkCapacity;
    int32_t total;
};

struct StateTables {
    int32_t classCount;
    ClassStateTable* classes;
};

ClassPairConstraint* asPair(Constraint* con) { return reinterpret_cast<ClassPairConstraint*>(con); }

void freeTable(ClassStateTable& t)
{
    for (int32_t k = 0; k < t.chunkCapacity; ++k)
        DVKMem_Free(t.chunks[k]);
    DVKMem_Free(t.chunks);
    DVKMem_Free(t.counts);
    t = ClassStateTable{};
}

StateTables* tablesOf(ClassPairConstraint* c)
{
    auto* tables = static_cast<StateTables*>(c->stateTables);
    if (tables != nullptr && tables->classCount >= c->classCount)
        return tables;
    auto* classes = static_cast<ClassStateTable*>(
        DVKMem_Calloc(static_cast<uint32_t>(c->classCount) * sizeof(ClassStateTable)));
    if (classes == nullptr)
        return nullptr;
    if (tables == nullptr) {
        tables = static_cast<StateTables*>(DVKMem_Calloc(sizeof(StateTables)));
        if (tables == nullptr) {
            DVKMem_Free(classes);
            return nullptr;
        }
        c->stateTables = tables;
    } else {
        std::memcpy(classes, tables->classes, static_cast<size_t>(tables->classCount) * sizeof(ClassStateTable));
        DVKMem_Free(tables->classes);
    }
    tables->classes = classes;
    tables->classCount = c->classCount;
    return tables;
}

// Room for one more entry and a count at frame; false without memory.
bool reserve(ClassStateTable& t, int32_t frame)
{
    if (frame >= t.countCapacity) {
        const int32_t wanted = frame + 16;
        auto* counts = static_cast<uint16_t*>(DVKMem_Calloc(static_cast<uint32_t>(wanted) * sizeof(uint16_t)));
        if (counts == nullptr)
            return false;
        if (t.counts != nullptr)
            std::memcpy(counts, t.counts, static_cast<size_t>(t.countCapacity) * sizeof(uint16_t));
        DVKMem_Free(t.counts);
        t.counts = counts;
        t.countCapacity = wanted;
    }
    const int32_t chunk = t.total / kStateChunk;
    if (chunk >= t.chunkCapacity) {
        const int32_t wanted = t.chunkCapacity + 4;
        auto* chunks = static_cast<StateEntry**>(DVKMem_Calloc(static_cast<uint32_t>(wanted) * sizeof(StateEntry*)));
        if (chunks == nullptr)
            return false;
        if (t.chunks != nullptr)
            std::memcpy(chunks, t.chunks, static_cast<size_t>(t.chunkCapacity) * sizeof(StateEntry*));
        DVKMem_Free(t.chunks);
        t.chunks = chunks;
        t.chunkCapacity = wanted;
    }
    if (t.chunks[chunk] == nullptr) {
        t.chunks[chunk] = static_cast<StateEntry*>(DVKMem_Malloc(kStateChunk * sizeof(StateEntry)));
        if (t.chunks[chunk] == nullptr)
            return false;
    }
    return true;
}

} // namespace

void ClassPairConstraint_FreeStateTables(Constraint* con)
{
    ClassPairConstraint* c = asPair(con);
    auto* tables = static_cast<StateTables*>(c->stateTables);
    if (tables == nullptr)
        return;
    for (int32_t k = 0; k < tables->classCount; ++k)
        freeTable(tables->classes[k]);
    DVKMem_Free(tables->classes);
    DVKMem_Free(tables);
    c->stateTables = nullptr;
}

int32_t ClassPairConstraint_RecordState(Constraint* con, ConstraintIterator* iterator)
{
    ClassPairConstraint* c = asPair(con);
    const ClassPairIterator* it = ClassPairIterator_Of(iterator);
    if (c->stateTableFlag == 0 || it->treeMode == 0 || it->stateWords[1] == 0)
        return 1;
    int32_t index = -1;
    if (ClassPairConstraint_FindClassIndex(con, it->classId, &index) == 0)
        return 1;
    StateTables* tables = tablesOf(c);
    const int32_t frame = c->frameCounter + 1;
    if (tables == nullptr || frame < 0 || !reserve(tables->classes[index], frame))
        return 0;
    ClassStateTable& t = tables->classes[index];
    StateEntry& e = t.chunks[t.total / kStateChunk][t.total % kStateChunk];
    e.previous = it->stateWords[0] == it->stateWords[1] ? it->previous : kConstraintSilencePron;
    e.value32 = static_cast<uint32_t>(it->stateValues[0]);
    e.value16 = static_cast<uint16_t>(it->stateValues[1]);
    e.reserved = 0;
    t.total += 1;
    t.counts[frame] = static_cast<uint16_t>(t.counts[frame] + 1);
    return 1;
}

int32_t ClassPairConstraint_GetStateCount(Constraint* con, uint32_t classId, int32_t frame)
{
    auto* tables = static_cast<StateTables*>(asPair(con)->stateTables);
    int32_t index = -1;
    if (tables == nullptr || ClassPairConstraint_FindClassIndex(con, classId, &index) == 0 ||
        index >= tables->classCount)
        return 0;
    const ClassStateTable& t = tables->classes[index];
    return frame + 1 >= 0 && frame + 1 < t.countCapacity ? t.counts[frame + 1] : 0;
}

void ClassPairConstraint_ScoreIRTransition(Constraint* con, uint32_t fromClass, uint32_t toClass, int32_t,
                                           uint16_t pron, int32_t, int32_t* score)
{
    void* irObject = nullptr;
    int32_t irClassIndex = -1;
    ClassManager_GetClassIRRange(con->classManager, toClass, &irObject, &irClassIndex);
    if (irObject == nullptr)
        return;
    if (fromClass != toClass && BrevitParam_Word(kBrevitParamNoClassTransitionScore) == 0) {
        const Voc* vocabulary = ClassManager_GetVocabulary(con->classManager);
        const uint16_t word = Voc_GetActiveIdFromPronId(vocabulary, pron, nullptr);
        const uint16_t phraseStart = 65533;
        *score += IR_ScoreWordTransition(static_cast<IR*>(irObject), irClassIndex, 1, &phraseStart, word);
        return;
    }
    // Nothing scores a word against the predecessors recorded for its frame
    // yet (this has no caller in recognition): inside a phrase class a word
    // has the neutral score.
    *score += 16384;
}
