// Class-pair constraint (type 3): a graph of word classes. What the generic
// constraint operations and the constraint manager need of it.
#pragma once

#include "core/brevit/search/constraint.h"

#include <cstdint>

struct BinFileReader;
struct BinFileWriter;
struct ClassManager;
struct Constraint;
struct ConstraintIterator;
struct PronCache;

// One position of a word in the active-id table of the reverse check.
struct ClassPairActiveIdRecord {
    uint32_t word;          // active word id
    uint32_t classIndex;
    uint32_t member;
    uint32_t position;      // index of the word inside the member
};

// Index 0 is the utterance boundary: its transitions are the starts; a
// transition to it is recorded as the source's end flag and end score.
struct ClassPairConstraint {
    Constraint head;
    int32_t classCapacity;
    int32_t classCount;
    uint32_t* classIds;         // index 0 holds class id 0
    uint32_t* copyClassIds;     // aliases made for expansion, or null
    uint32_t* offsets;          // class count + 1 entries
    uint8_t* endFlags;
    uint32_t* targets;          // class indices
    int32_t frameCounter;
    // Scratch of the search side; null until it makes them.
    void* stateTables;
    uint16_t* scratchList;
    int32_t scratchCapacity;
    void* reverseBuffers[3];
    int32_t reverseCapacity;
    int32_t hasScores;
    int32_t stateTableFlag;
    int32_t decoderFlag;
    int32_t hasConstraintClasses;
    uint8_t* transitionScores;
    uint8_t* endScores;
    int32_t transitionCapacity;
    int32_t transitionCount;
    int32_t editable;
    ClassPairActiveIdRecord* activeIdTable;
    int32_t activeIdCount;
};

// Building. The name must be shorter than 64 characters; null on failure
// (also when the cached walk's pool cannot be made).
Constraint* ClassPairConstraint_Create(const char* name, ClassManager* classManager, int32_t classes,
                                       int32_t transitions, int32_t withScores);
void ClassPairConstraint_Init(Constraint* con, const char* name);
// With parameter word 194 set and a successor pool (parameter word 729) the
// iterator slots take the cached walk; 0 when the pool cannot be made.
int32_t ClassPairConstraint_UseTransitionCache(Constraint* con);
// Adds the class at the end when absent (with a reference); 1 and its index.
int32_t ClassPairConstraint_FindOrAddClass(Constraint* con, uint32_t classId, int32_t* index);
// As FindOrAddClass, through the class manager's id-to-index table (grown to
// maxId + 1 entries, 0 = absent) instead of a scan. Every class of the
// constraint must have been entered through this function; an entry left by
// another constraint is checked against the class ids and falls back to the
// scan. Ids outside 1..maxId (constraint references) are entered by the scan,
// which also marks the constraint as holding constraint classes.
int32_t ClassPairConstraint_FindOrAddClassByLookup(Constraint* con, uint32_t classId, int32_t* index);
// Grows the id-to-index table of the manager to maxId + 1 entries and zeroes
// it; 0 without memory (the table is then as before).
int32_t ClassPairConstraint_ClearLookup(ClassManager* classManager);
// Transition between class ids; toId 0 is the end. 1, or 0 on failure or a
// duplicate with another score (nothing changes then).
int32_t ClassPairConstraint_AddTransition(Constraint* con, uint32_t fromId, uint32_t toId, int32_t score);
int32_t ClassPairConstraint_AddTransitionByIndex(Constraint* con, int32_t from, int32_t to, int32_t score);
int32_t ClassPairConstraint_AddTransitionsFrom(Constraint* con, Constraint* other, int32_t useCopies);
int32_t ClassPairConstraint_AddEndTransitionsFrom(Constraint* con, Constraint* other, uint32_t toId,
                                                  int32_t scoreOffset, int32_t useCopies);
int32_t ClassPairConstraint_AddStartTransitionsFrom(Constraint* con, Constraint* other, uint32_t fromId,
                                                    int32_t scoreOffset, int32_t useCopies);
int32_t ClassPairConstraint_AddEndToStartTransitions(Constraint* con, Constraint* first, Constraint* second,
                                                     int32_t joinScore, int32_t useCopies);
int32_t ClassPairConstraint_LoopEndsToStarts(Constraint* con);
// One constraint of all transitions of n class-pair constraints over one
// class manager; null on failure.
Constraint* ClassPairConstraint_MergeConstraints(Constraint* const* array, int32_t n);
// Class classId of con replaced by the network inner, entered through
// startIds and left through endIds; con itself when nothing is replaced.
Constraint* ClassPairConstraint_SubstituteClass(Constraint* con, Constraint* inner, const uint32_t* startIds,
                                                int32_t startCount, const uint32_t* endIds, int32_t endCount,
                                                ClassManager* classManager, uint32_t classId, const char* name);

// Aliases of every class named from generated base names ("__CLCopyName"),
// each with a reference; 1 when made or present, 0 (none kept) on failure.
int32_t ClassPairConstraint_MakeCopyClasses(Constraint* con);
// A constraint over new aliases of every class ("__CNCopyName") with the
// same transitions and scores; null (no alias kept) on failure.
Constraint* ClassPairConstraint_CopyWithClassCopies(Constraint* con, const char* name);
// The class id whose copy is copyId in a sub-constraint of one of con's
// constraint classes, -1 when none.
int32_t ClassPairConstraint_FindCopyOwner(Constraint* con, uint32_t copyId);
// The first run of members starting with the pron's word in class classId;
// single is cleared when the class may not end. 1 when con holds the class.
int32_t ClassPairConstraint_GetMemberStartsWithPronId(Constraint* con, uint32_t classId, uint16_t pron,
                                                      int32_t* first, int32_t* count, int32_t* single);

// Queries by class id; a class not in the constraint answers 0.
int32_t ClassPairConstraint_HasTransition(Constraint* con, uint32_t fromId, uint32_t toId);
int32_t ClassPairConstraint_GetTransitionScoreByIds(Constraint* con, uint32_t fromId, uint32_t toId);
int32_t ClassPairConstraint_IsTransitionPresent(Constraint* con, uint32_t fromId, uint32_t toId);
int32_t ClassPairConstraint_HasSuccessors(Constraint* con, uint32_t classId);
int32_t ClassPairConstraint_GetSuccessors(Constraint* con, uint32_t classId, uint32_t* out);
// classId 0: the classes that may end.
int32_t ClassPairConstraint_GetPredecessors(Constraint* con, uint32_t classId, uint32_t* out);
void ClassPairConstraint_GetInfo(Constraint* con, int32_t* classes, int32_t* transitions, int32_t* starts,
                                 int32_t* ends);
int32_t ClassPairConstraint_GetEndScore(Constraint* con, uint32_t classId, uint32_t member,
                                        uint32_t subPosition, int32_t zero);

// Slots.
void ClassPairConstraint_Delete(Constraint* con, int32_t word);
int32_t ClassPairConstraint_IsSimple(Constraint* con);
int32_t ClassPairConstraint_HasOptionalEnding(Constraint* con);
int32_t ClassPairConstraint_RemoveActiveId(Constraint* con, uint16_t activeId);
void ClassPairConstraint_PrintAllTransitions(Constraint* con, int32_t a, int32_t b);
int32_t ClassPairConstraint_Check(Constraint* con);
uint32_t ClassPairConstraint_ComputeCRC(Constraint* con, uint32_t withClasses);
// The "bcm0" record; 1 on success.
int32_t ClassPairConstraint_WritePSAFile(Constraint* con, BinFileWriter* writer);

// Stored record of "bcm0"; null on any failure.
Constraint* ClassPairConstraint_ReadFromBinFile(BinFileReader* reader, ClassManager* classManager);
// Stored record of "bcn0"; null on any failure.
Constraint* ClassPairConstraint_ReadFromConstraintFile(BinFileReader* reader,
                                                       ClassManager* classManager);

// Readies the iterator for a walk that must not reuse a cached position.
void ClassPairConstraint_PrepareIterator(Constraint* con, ConstraintIterator* iterator);
// Per-frame preparation; 1 on success.
int32_t ClassPairConstraint_PrepareFrame(Constraint* con, const uint8_t* bytes, int32_t count,
                                         int32_t word);
// The constraint with its constraint classes spliced in, con itself when it
// has none, null on failure.
Constraint* ClassPairConstraint_Expand(Constraint* con);
// Word ids of all members of all classes appended to buffer (at most room;
// a null buffer only counts): the number of ids of the classes.
int32_t ClassPairConstraint_CollectWordIds(Constraint* con, uint16_t* buffer, int32_t room);
int32_t ClassPairConstraint_HasLoopClass(Constraint* con);
void ClassPairConstraint_FillPronCache(Constraint* con, PronCache* cache);
void ClassPairConstraint_FindFirstFlaggedClass(Constraint* const* array, int32_t n, int32_t* found,
                                               int32_t* values);
int32_t ClassPairConstraint_ClassesNeedLexTree(Constraint* con);
// 1 and the index of the class when con holds it, else 0 and -1.
int32_t ClassPairConstraint_FindClassIndex(Constraint* con, uint32_t classId, int32_t* index);

// Fields.
int32_t ClassPairConstraint_GetNumClasses(const Constraint* con);
// Class id at a class index (index 0 is the utterance boundary, id 0).
uint32_t ClassPairConstraint_GetClassId(const Constraint* con, int32_t index);
int32_t ClassPairConstraint_HasConstraintClasses(const Constraint* con);
int32_t ClassPairConstraint_GetStateTableFlag(const Constraint* con);
