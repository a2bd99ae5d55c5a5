// A constraint kind for the generic operations' tests: its type, which of the
// slots that may be empty are filled and what each answers are chosen by the
// test; its iterator offers scripted successors per state (the state field of
// the `ActiveId`), honouring the restricting pron; every slot call is
// counted and logged. It has a small stored record of its own, written by its
// WritePSAFile slot and read by ScriptedConstraint_Read, which the installed
// kind doubles hand to the manager and the "bcn0" loader as the whole-
// vocabulary and class-pair readers. Records come from the engine allocator.
#pragma once

#include "core/brevit/search/class_pair_constraint.h"
#include "core/brevit/search/constraint.h"
#include "core/brevit/search/constraint_kind_doubles.h"

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

// Slot numbers of the operation table.
enum ScriptedSlot : int32_t {
    kSlotDelete = 0, kSlotIsSimple, kSlotRemoveActiveId, kSlotIteratorInit, kSlotIteratorNext,
    kSlotIteratorInitFromActiveId, kSlotIsLegalPronEndingReverse, kSlotFindParse,
    kSlotPrintAllTransitions, kSlotBuildActiveIdTable, kSlotFreeActiveIdTable,
    kSlotGetTransitionScore, kSlotUttInit, kSlotResetPointers, kSlotGetMemberStartsWithPronId,
    kSlotHasOptionalEnding, kSlotGetEndingPhns, kSlotUnused, kSlotWritePSAFile, kSlotCheck,
    kSlotComputeCRC, kSlotCount
};

inline constexpr uint32_t slotBit(int32_t slot) { return 1u << slot; }
// Slots every kind fills.
inline constexpr uint32_t kScriptedRequiredSlots =
    slotBit(kSlotDelete) | slotBit(kSlotIsSimple) | slotBit(kSlotRemoveActiveId) |
    slotBit(kSlotIteratorInit) | slotBit(kSlotIteratorNext) | slotBit(kSlotFindParse) |
    slotBit(kSlotGetMemberStartsWithPronId) | slotBit(kSlotWritePSAFile) | slotBit(kSlotComputeCRC);
// Every slot but 17.
inline constexpr uint32_t kScriptedAllSlots = ((1u << kSlotCount) - 1u) & ~slotBit(kSlotUnused);

inline constexpr int32_t kScriptedMaxSteps = 16;
inline constexpr int32_t kScriptedMaxClasses = 8;

struct ScriptedStep {
    uint32_t state;    // from this state
    uint16_t pron;     // this pron
    uint32_t next;     // leads to this state
    uint32_t final;    // and may end there
    uint16_t score;
};

struct ScriptedSpec {
    int32_t type = kConstraintTypeWholeVocabulary;
    std::string name = "scripted";
    uint32_t slots = kScriptedRequiredSlots;
    std::vector<ScriptedStep> steps;
    uint32_t crc = 0x12345678u;          // what ComputeCRC answers
    int32_t answer = 1;                  // what the other int slots answer
    int32_t parseCost = 0;
    std::vector<uint32_t> classIds;      // class-pair side (index 1 and up)
    std::vector<uint16_t> wordIds;       // class-pair member words / transcription words
    int32_t hasConstraintClasses = 0;
    int32_t stateTableFlag = 0;
    bool writeFails = false;
};

// Laid out as a class-pair record, so that the class-pair field readers
// (class count, ids, flags) serve scripted type-3 constraints as well.
struct ScriptedConstraint {
    ClassPairConstraint pair;
    uint32_t slots;
    int32_t stepCount;
    ScriptedStep steps[kScriptedMaxSteps];
    uint32_t crc;
    int32_t answer;
    int32_t parseCost;
    int32_t classCount;                   // including index 0
    uint32_t classIds[kScriptedMaxClasses];
    int32_t wordCount;
    uint16_t wordIds[kScriptedMaxClasses];
    int32_t hasConstraintClasses;
    int32_t stateTableFlag;
    int32_t writeFails;
};

// Copies the scripted class fields into the class-pair record.
inline void mirrorPairFields(ScriptedConstraint& s)
{
    s.pair.classCount = s.classCount;
    s.pair.classIds = s.classIds;
    s.pair.hasConstraintClasses = s.hasConstraintClasses;
    s.pair.stateTableFlag = s.stateTableFlag;
}

// Null without memory.
Constraint* ScriptedConstraint_Create(const ScriptedSpec& spec);
// Its stored record; null on any failure or without memory.
Constraint* ScriptedConstraint_Read(BinFileReader* reader);
// Writes the stored record (what the WritePSAFile slot writes).
bool ScriptedConstraint_WriteRecord(BinFileWriter* writer, const ScriptedSpec& spec);

// What the scripted slots and doubles saw.
struct ScriptedCalls {
    int32_t count[kSlotCount] = {};
    std::vector<std::pair<std::string, int32_t>> log;   // (name, slot) in call order
    bool logging = true;                                 // benchmarks only count
    uint32_t scoreArgs[4] = {};                          // last GetTransitionScore arguments
    int32_t scoreAnswer = 0;
};
ScriptedCalls& scriptedCalls();

// Installs the doubles over the scripted kind for its scope and clears the
// call record.
class ScriptedKinds {
public:
    ScriptedKinds();
    ~ScriptedKinds();
    ScriptedKinds(const ScriptedKinds&) = delete;
    ScriptedKinds& operator=(const ScriptedKinds&) = delete;

private:
    const ConstraintKindDoubles* m_previous;
};
