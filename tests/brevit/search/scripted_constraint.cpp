#include "tests/brevit/search/scripted_constraint.h"

#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/bin_file_writer.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <algorithm>
#include <cstring>

namespace {

struct ScriptedIterator {
    int32_t index;
    uint32_t state;
    uint16_t restrict;
    int32_t cursor;
};

ScriptedConstraint* scripted(Constraint* con) { return reinterpret_cast<ScriptedConstraint*>(con); }

void called(const Constraint* con, int32_t slot)
{
    ScriptedCalls& calls = scriptedCalls();
    ++calls.count[slot];
    if (calls.logging)
        calls.log.emplace_back(con->name, slot);
}

int32_t answerOf(Constraint* con, int32_t slot)
{
    called(con, slot);
    return scripted(con)->answer;
}

void deleteSlot(Constraint* con, int32_t)
{
    called(con, kSlotDelete);
    DVKMem_Free(con);
}

int32_t isSimple(Constraint* con) { return answerOf(con, kSlotIsSimple); }
int32_t removeActiveId(Constraint* con, uint16_t) { return answerOf(con, kSlotRemoveActiveId); }

void startAt(Constraint* con, ConstraintIterator* iterator, ActiveId id, uint16_t restrict)
{
    auto* it = ConstraintIterator_As<ScriptedIterator>(iterator);
    it->index = ActiveId_GetConstraintIndex(id);
    it->state = ActiveId_GetState(id);
    it->restrict = restrict;
    it->cursor = 0;
    (void)con;
}

void iteratorInit(Constraint* con, ConstraintIterator* iterator, uint16_t, int32_t, ActiveId id,
                  uint16_t restrict)
{
    called(con, kSlotIteratorInit);
    startAt(con, iterator, id, restrict);
}

void iteratorInitFromActiveId(Constraint* con, ConstraintIterator* iterator, uint16_t, int32_t,
                              ActiveId id, uint16_t restrict)
{
    called(con, kSlotIteratorInitFromActiveId);
    startAt(con, iterator, id, restrict);
}

int32_t iteratorNext(ConstraintIterator* iterator, Constraint* con, ConstraintSuccessor* out)
{
    ++scriptedCalls().count[kSlotIteratorNext];   // per hypothesis: counted, not logged
    auto* it = ConstraintIterator_As<ScriptedIterator>(iterator);
    const ScriptedConstraint* s = scripted(con);
    while (it->cursor < s->stepCount) {
        const ScriptedStep& step = s->steps[it->cursor++];
        if (step.state != it->state || (it->restrict != kConstraintNoPron && step.pron != it->restrict))
            continue;
        out->member = step.pron;
        out->score = step.score;
        out->next = ActiveId_Make(it->index, step.next, 0, 0);
        out->final = step.final;
        out->classTree = nullptr;
        return 1;
    }
    return 0;
}

int32_t isLegalPronEndingReverse(Constraint* con, const uint16_t*, int32_t)
{
    return answerOf(con, kSlotIsLegalPronEndingReverse);
}

int32_t findParse(Constraint* con, int32_t wordCount, const uint32_t* words, uint32_t* classes,
                  int32_t* cost, uint8_t* flags)
{
    called(con, kSlotFindParse);
    const ScriptedConstraint* s = scripted(con);
    for (int32_t i = 0; i < wordCount; ++i) {
        classes[i] = words[i] + 1000u * static_cast<uint32_t>(s->parseCost);
        if (flags != nullptr)
            flags[i] = static_cast<uint8_t>(s->parseCost + i);
    }
    *cost = s->parseCost;
    return s->answer;
}

void printAllTransitions(Constraint* con, int32_t, int32_t) { called(con, kSlotPrintAllTransitions); }
int32_t buildActiveIdTable(Constraint* con) { return answerOf(con, kSlotBuildActiveIdTable); }
void freeActiveIdTable(Constraint* con) { called(con, kSlotFreeActiveIdTable); }

int32_t getTransitionScore(Constraint* con, uint32_t state, uint32_t member, uint32_t sub, int32_t zero)
{
    ScriptedCalls& calls = scriptedCalls();
    ++calls.count[kSlotGetTransitionScore];   // per hypothesis: counted, not logged
    calls.scoreArgs[0] = state;
    calls.scoreArgs[1] = member;
    calls.scoreArgs[2] = sub;
    calls.scoreArgs[3] = static_cast<uint32_t>(zero);
    (void)con;
    return calls.scoreAnswer;
}

int32_t uttInit(Constraint* con, int32_t* list, int32_t, int32_t)
{
    // The list a decoder hands on starts empty.
    return list[0] == -1 ? answerOf(con, kSlotUttInit) : 0;
}

void resetPointers(Constraint* con) { called(con, kSlotResetPointers); }

int32_t getMemberStartsWithPronId(Constraint* con, uint32_t, uint16_t, int32_t*, int32_t*, int32_t*)
{
    return answerOf(con, kSlotGetMemberStartsWithPronId);
}

int32_t hasOptionalEnding(Constraint* con) { return answerOf(con, kSlotHasOptionalEnding); }

int32_t getEndingPhns(Constraint* con, uint16_t, ActiveId, const uint16_t** phonemes)
{
    *phonemes = nullptr;
    return answerOf(con, kSlotGetEndingPhns);
}

bool writeScripted(BinFileWriter* w, const ScriptedConstraint& s)
{
    uint32_t steps[kScriptedMaxSteps * 5];
    for (int32_t i = 0; i < s.stepCount; ++i) {
        const ScriptedStep& step = s.steps[i];
        const uint32_t fields[5] = {step.state, step.pron, step.next, step.final, step.score};
        std::memcpy(steps + i * 5, fields, sizeof fields);
    }
    return BinFileWriter_WriteArray(w, s.pair.head.name, kConstraintNameSize, 1) &&
           BinFileWriter_WriteInt(w, s.pair.head.type) && BinFileWriter_WriteUnsignedInt(w, s.slots) &&
           BinFileWriter_WriteUnsignedInt(w, s.crc) && BinFileWriter_WriteInt(w, s.answer) &&
           BinFileWriter_WriteInt(w, s.stepCount) &&
           BinFileWriter_WriteArray(w, steps, static_cast<uint32_t>(s.stepCount) * 5u, 4) &&
           BinFileWriter_WriteInt(w, s.classCount) &&
           BinFileWriter_WriteArray(w, s.classIds, static_cast<uint32_t>(s.classCount), 4) &&
           BinFileWriter_WriteInt(w, s.wordCount) &&
           BinFileWriter_WriteArray(w, s.wordIds, static_cast<uint32_t>(s.wordCount), 2) &&
           BinFileWriter_WriteInt(w, s.hasConstraintClasses) &&
           BinFileWriter_WriteInt(w, s.stateTableFlag);
}

int32_t writePSAFile(Constraint* con, BinFileWriter* writer)
{
    called(con, kSlotWritePSAFile);
    const ScriptedConstraint* s = scripted(con);
    return s->writeFails == 0 && writeScripted(writer, *s) ? 1 : 0;
}

int32_t check(Constraint* con) { return answerOf(con, kSlotCheck); }

uint32_t computeCRC(Constraint* con, uint32_t)
{
    ++scriptedCalls().count[kSlotComputeCRC];
    return scripted(con)->crc;
}

// The head's slots as the mask asks; required ones are always set.
void fillSlots(ScriptedConstraint& s)
{
    ConstraintOps& ops = s.pair.head.ops;
    const uint32_t mask = s.slots | kScriptedRequiredSlots;
    auto on = [&](int32_t slot) { return (mask & slotBit(slot)) != 0; };
    ops = ConstraintOps{};
    ops.Delete = deleteSlot;
    ops.IsSimple = isSimple;
    ops.RemoveActiveId = removeActiveId;
    ops.IteratorInit = iteratorInit;
    ops.IteratorNext = iteratorNext;
    ops.IteratorInitFromActiveId = on(kSlotIteratorInitFromActiveId) ? iteratorInitFromActiveId : nullptr;
    ops.IsLegalPronEndingReverse = on(kSlotIsLegalPronEndingReverse) ? isLegalPronEndingReverse : nullptr;
    ops.FindParse = findParse;
    ops.PrintAllTransitions = on(kSlotPrintAllTransitions) ? printAllTransitions : nullptr;
    ops.BuildActiveIdTable = on(kSlotBuildActiveIdTable) ? buildActiveIdTable : nullptr;
    ops.FreeActiveIdTable = on(kSlotFreeActiveIdTable) ? freeActiveIdTable : nullptr;
    ops.GetTransitionScore = on(kSlotGetTransitionScore) ? getTransitionScore : nullptr;
    ops.UttInit = on(kSlotUttInit) ? uttInit : nullptr;
    ops.ResetPointers = on(kSlotResetPointers) ? resetPointers : nullptr;
    ops.GetMemberStartsWithPronId = getMemberStartsWithPronId;
    ops.HasOptionalEnding = on(kSlotHasOptionalEnding) ? hasOptionalEnding : nullptr;
    ops.GetEndingPhns = on(kSlotGetEndingPhns) ? getEndingPhns : nullptr;
    ops.WritePSAFile = writePSAFile;
    ops.Check = on(kSlotCheck) ? check : nullptr;
    ops.ComputeCRC = computeCRC;
}

void fill(ScriptedConstraint& s, const ScriptedSpec& spec)
{
    std::memset(&s, 0, sizeof s);
    s.pair.head.type = spec.type;
    std::strncpy(s.pair.head.name, spec.name.c_str(), kConstraintNameSize - 1);
    s.pair.head.restrictionFlag = spec.type == kConstraintTypeWholeVocabulary ? 0 : 1;
    s.pair.head.transcriptionFlag = spec.type == kConstraintTypeTranscription ? 1 : 0;
    s.pair.head.inUse = 1;
    s.slots = spec.slots;
    s.stepCount = static_cast<int32_t>(std::min<size_t>(spec.steps.size(), kScriptedMaxSteps));
    std::copy_n(spec.steps.begin(), s.stepCount, s.steps);
    s.crc = spec.crc;
    s.answer = spec.answer;
    s.parseCost = spec.parseCost;
    s.classCount = static_cast<int32_t>(std::min<size_t>(spec.classIds.size() + 1, kScriptedMaxClasses));
    std::copy_n(spec.classIds.begin(), s.classCount - 1, s.classIds + 1);
    s.wordCount = static_cast<int32_t>(std::min<size_t>(spec.wordIds.size(), kScriptedMaxClasses));
    std::copy_n(spec.wordIds.begin(), s.wordCount, s.wordIds);
    s.hasConstraintClasses = spec.hasConstraintClasses;
    s.stateTableFlag = spec.stateTableFlag;
    s.writeFails = spec.writeFails ? 1 : 0;
    mirrorPairFields(s);
    fillSlots(s);
}

bool readCount(BinFileReader* r, int32_t* count, int32_t max)
{
    return BinFileReader_ReadInt(r, count) && *count >= 0 && *count <= max;
}


// The class-pair side over the scripted record.
Constraint* readWholeVoc(BinFileReader* reader, Voc* vocabulary)
{
    Constraint* con = ScriptedConstraint_Read(reader);
    if (con != nullptr)
        con->vocabulary = vocabulary;
    return con;
}

Constraint* readClassPair(BinFileReader* reader, ClassManager* classManager)
{
    Constraint* con = ScriptedConstraint_Read(reader);
    if (con != nullptr)
        con->classManager = classManager;
    return con;
}

const ConstraintKindDoubles kDoubles = {readWholeVoc, readClassPair, readClassPair};

} // namespace

Constraint* ScriptedConstraint_Create(const ScriptedSpec& spec)
{
    auto* s = static_cast<ScriptedConstraint*>(DVKMem_Malloc(sizeof(ScriptedConstraint)));
    if (s == nullptr)
        return nullptr;
    fill(*s, spec);
    return &s->pair.head;
}

bool ScriptedConstraint_WriteRecord(BinFileWriter* writer, const ScriptedSpec& spec)
{
    ScriptedConstraint s;
    fill(s, spec);
    return writeScripted(writer, s);
}

Constraint* ScriptedConstraint_Read(BinFileReader* reader)
{
    auto* s = static_cast<ScriptedConstraint*>(DVKMem_Calloc(sizeof(ScriptedConstraint)));
    if (s == nullptr)
        return nullptr;
    uint32_t steps[kScriptedMaxSteps * 5] = {};
    int32_t classes = 0;
    const bool ok =
        BinFileReader_ReadArray(reader, s->pair.head.name, 1, kConstraintNameSize) &&
        BinFileReader_ReadInt(reader, &s->pair.head.type) && BinFileReader_ReadUnsignedInt(reader, &s->slots) &&
        BinFileReader_ReadUnsignedInt(reader, &s->crc) && BinFileReader_ReadInt(reader, &s->answer) &&
        readCount(reader, &s->stepCount, kScriptedMaxSteps) &&
        BinFileReader_ReadArray(reader, steps, 4, static_cast<uint32_t>(s->stepCount) * 5u) &&
        readCount(reader, &classes, kScriptedMaxClasses) && classes >= 1 &&
        BinFileReader_ReadArray(reader, s->classIds, 4, static_cast<uint32_t>(classes)) &&
        readCount(reader, &s->wordCount, kScriptedMaxClasses) &&
        BinFileReader_ReadArray(reader, s->wordIds, 2, static_cast<uint32_t>(s->wordCount)) &&
        BinFileReader_ReadInt(reader, &s->hasConstraintClasses) &&
        BinFileReader_ReadInt(reader, &s->stateTableFlag);
    if (!ok) {
        DVKMem_Free(s);
        return nullptr;
    }
    s->pair.head.name[kConstraintNameSize - 1] = '\0';
    s->classCount = classes;
    for (int32_t i = 0; i < s->stepCount; ++i) {
        const uint32_t* f = steps + i * 5;
        s->steps[i] = ScriptedStep{f[0], static_cast<uint16_t>(f[1]), f[2], f[3], static_cast<uint16_t>(f[4])};
    }
    s->pair.head.restrictionFlag = s->pair.head.type == kConstraintTypeWholeVocabulary ? 0 : 1;
    s->pair.head.inUse = 1;
    mirrorPairFields(*s);
    fillSlots(*s);
    return &s->pair.head;
}

ScriptedCalls& scriptedCalls()
{
    static ScriptedCalls calls;
    return calls;
}

ScriptedKinds::ScriptedKinds() : m_previous(ConstraintKinds_InstallDoubles(&kDoubles))
{
    scriptedCalls() = ScriptedCalls();
}

ScriptedKinds::~ScriptedKinds() { ConstraintKinds_InstallDoubles(m_previous); }
