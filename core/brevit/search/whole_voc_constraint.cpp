// The whole-vocabulary constraint: every active pron may come next, each
// step final and free; with the single-word flag only right after the
// utterance start.
#include "core/brevit/search/whole_voc_constraint.h"

#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/bin_file_writer.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/constraint_kind_doubles.h"
#include "core/brevit/search/search_lexicon_calls.h"

#include <cstring>

namespace {

struct WholeVocIterator {
    uint32_t index;
    uint32_t counter;
    uint16_t previous;
    uint16_t restrict;
};

WholeVocConstraint* asWholeVoc(Constraint* con) { return reinterpret_cast<WholeVocConstraint*>(con); }

constexpr char kDefaultName[] = "XWV";

} // namespace

void WholeVocConstraint_Init(Constraint* con, const char* name)
{
    con->type = kConstraintTypeWholeVocabulary;
    std::memset(con->name, 0, sizeof con->name);
    std::strncpy(con->name, name != nullptr ? name : kDefaultName, kConstraintNameSize - 1);
    con->restrictionFlag = 0;
    con->transcriptionFlag = 0;
    ConstraintOps& ops = con->ops;
    ops = ConstraintOps{};
    ops.Delete = WholeVocConstraint_Delete;
    ops.IsSimple = WholeVocConstraint_IsSimple;
    ops.RemoveActiveId = WholeVocConstraint_RemoveActiveId;
    ops.IteratorInit = WholeVocConstraint_IteratorInit;
    ops.IteratorNext = WholeVocConstraint_IteratorNext;
    ops.IsLegalPronEndingReverse = WholeVocConstraint_IsLegalPronEndingReverse;
    ops.FindParse = WholeVocConstraint_FindParse;
    ops.PrintAllTransitions = WholeVocConstraint_PrintAllTransitions;
    ops.HasOptionalEnding = WholeVocConstraint_HasOptionalEnding;
    ops.WritePSAFile = WholeVocConstraint_WritePSAFile;
    ops.ComputeCRC = WholeVocConstraint_ComputeCRC;
}

Constraint* WholeVocConstraint_Create(Voc* vocabulary, int32_t singleWord)
{
    auto* c = static_cast<WholeVocConstraint*>(DVKMem_Calloc(sizeof(WholeVocConstraint)));
    if (c == nullptr)
        return nullptr;
    WholeVocConstraint_Init(&c->head, nullptr);
    c->head.vocabulary = vocabulary;
    c->singleWord = singleWord;
    c->head.inUse = 1;
    return &c->head;
}

Constraint* WholeVocConstraint_ReadFromBinFile(BinFileReader* reader, Voc* vocabulary)
{
    // Tests of the stores may keep scripted records in its place.
    const ConstraintKindDoubles* doubles = ConstraintKinds_InstalledDoubles();
    if (doubles != nullptr && doubles->wholeVocReadFromBinFile != nullptr)
        return doubles->wholeVocReadFromBinFile(reader, vocabulary);
    auto* c = static_cast<WholeVocConstraint*>(DVKMem_Calloc(sizeof(WholeVocConstraint)));
    if (c == nullptr)
        return nullptr;
    char name[kConstraintNameSize] = {};
    uint32_t single = 0;
    if (BinFileReader_ReadArray(reader, name, 1, kConstraintNameSize) == 0 ||
        BinFileReader_ReadUnsignedInt(reader, &single) == 0) {
        DVKMem_Free(c);
        return nullptr;
    }
    name[kConstraintNameSize - 1] = '\0';
    WholeVocConstraint_Init(&c->head, name);
    c->head.vocabulary = vocabulary;
    c->singleWord = static_cast<int32_t>(single);
    c->head.inUse = 1;
    return &c->head;
}

void WholeVocConstraint_Delete(Constraint* con, int32_t)
{
    if (con == nullptr)
        return;
    con->inUse = 0;
    DVKMem_Free(con);
}

int32_t WholeVocConstraint_IsSimple(Constraint*) { return 0; }

// Removing a word never leaves the constraint without words to offer.
int32_t WholeVocConstraint_RemoveActiveId(Constraint*, uint16_t) { return 1; }

void WholeVocConstraint_IteratorInit(Constraint*, ConstraintIterator* iterator, uint16_t previous, int32_t,
                                     ActiveId id, uint16_t restrict)
{
    auto* it = ConstraintIterator_As<WholeVocIterator>(iterator);
    it->index = static_cast<uint32_t>(ActiveId_GetConstraintIndex(id));
    it->counter = 0;
    it->previous = previous;
    it->restrict = restrict;
}

int32_t WholeVocConstraint_IteratorNext(ConstraintIterator* iterator, Constraint* con, ConstraintSuccessor* out)
{
    auto* it = ConstraintIterator_As<WholeVocIterator>(iterator);
    if (asWholeVoc(con)->singleWord != 0 && it->previous != kConstraintSilencePron)
        return 0;
    const Voc* vocabulary = con->vocabulary;
    out->next = ActiveId_FromWords(it->index << 21, 1);
    out->score = 0;
    out->final = 1;
    out->classTree = nullptr;
    if (it->restrict == kConstraintNoPron) {
        const uint32_t last = static_cast<uint32_t>(Voc_GetNumActiveEntries(vocabulary));
        for (uint32_t candidate = it->counter; candidate <= last; ++candidate) {
            if (Voc_IsPronIdActive(vocabulary, static_cast<int32_t>(candidate)) == 0)
                continue;
            out->member = static_cast<uint16_t>(candidate);
            it->counter = candidate + 1;
            return 1;
        }
        it->counter = last + 1;
        return 0;
    }
    if (it->counter != 0 || Voc_IsPronIdActive(vocabulary, it->restrict) == 0)
        return 0;
    out->member = it->restrict;
    it->counter = 1;
    return 1;
}

int32_t WholeVocConstraint_IsLegalPronEndingReverse(Constraint*, const uint16_t*, int32_t) { return 1; }

int32_t WholeVocConstraint_FindParse(Constraint*, int32_t n, const uint32_t*, uint32_t* classes, int32_t* cost,
                                     uint8_t* flags)
{
    for (int32_t i = 0; classes != nullptr && i < n; ++i)
        classes[i] = 0;
    *cost = 0;
    if (flags != nullptr && n > 0) {
        std::memset(flags, 0, static_cast<size_t>(n));
        flags[0] = 1;
    }
    return 1;
}

void WholeVocConstraint_PrintAllTransitions(Constraint*, int32_t, int32_t) {}

int32_t WholeVocConstraint_HasOptionalEnding(Constraint*) { return 1; }

int32_t WholeVocConstraint_WritePSAFile(Constraint* con, BinFileWriter* writer)
{
    if (BinFileWriter_WriteArray(writer, con->name, kConstraintNameSize, 1) == 0)
        return 0;
    return BinFileWriter_WriteUnsignedInt(writer, static_cast<uint32_t>(asWholeVoc(con)->singleWord));
}

uint32_t WholeVocConstraint_ComputeCRC(Constraint* con, uint32_t)
{
    uint32_t crc = 0xFFFFFFFFu;
    crc = DVKCrc_AddInt(static_cast<uint32_t>(con->type), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(con->restrictionFlag), crc);
    return DVKCrc_AddInt(static_cast<uint32_t>(asWholeVoc(con)->singleWord), crc);
}
