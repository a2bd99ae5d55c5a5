// The engine's table of constraints by index: the index it gives a
// constraint is what the engine API hands its client and what an `ActiveId`
// carries. Each entry has a reference word: bit 30 is the API's hold, the low
// bits count classes that stand for the constraint; the constraint is deleted
// when the word drops to 0. Saved and restored as sub-file "bcm0".
#pragma once

#include "core/brevit/search/search_engine_calls.h"

#include <cstdint>

struct ClassManager;
struct Constraint;
struct DVKTar;
struct Voc;

inline constexpr uint32_t kConstraintManagerPageShift = 8;
inline constexpr int32_t kConstraintManagerPageSize = 1 << kConstraintManagerPageShift;
inline constexpr uint32_t kConstraintManagerApiHold = 0x40000000u;
inline constexpr uint32_t kConstraintManagerClassReferences = 0x3FFFFFFFu;
// Largest page table accepted: 2^24 constraints.
inline constexpr uint32_t kConstraintManagerMaxPages = 65536;

struct ConstraintManager {
    void** pages;                // page table: pages of 256 constraint pointers
    uint32_t pagesAllocated;
    uint32_t capacity;           // entries of the page table
    int32_t count;               // constraints held
    int32_t highest;             // highest index in use, -1 when none
    void** references;           // page table: pages of 256 reference words
    uint32_t referenceCapacity;
    uint32_t referencePages;
};

// Null for n < 0 or without memory.
ConstraintManager* ConstraintManager_Create(int32_t n);
// The index given to con, -1 without memory (nothing changes then).
int32_t ConstraintManager_AddConstraint(ConstraintManager* m, Constraint* con, int32_t owner);
Constraint* ConstraintManager_GetConstraint(const ConstraintManager* m, int32_t i);
int32_t ConstraintManager_GetNumConstraints(const ConstraintManager* m);
int32_t ConstraintManager_GetMaxIndex(const ConstraintManager* m);
// First index holding con (a null con: the first empty entry), else -1.
int32_t ConstraintManager_FindIndex(const ConstraintManager* m, const Constraint* con);
int32_t ConstraintManager_FindByName(const ConstraintManager* m, const char* name);
int32_t ConstraintManager_IsUnreferenced(const ConstraintManager* m, int32_t i);
// The new reference word; 0 (nothing changed) for an index without a
// constraint or a full count.
uint32_t ConstraintManager_AddReference(ConstraintManager* m, int32_t i);
// The new reference word (0 once the constraint is deleted); -1 (nothing
// changed) for an index without a constraint or without class references.
int32_t ConstraintManager_RemoveReference(ConstraintManager* m, int32_t i);
// Drops the API's hold: 1, or 0 when it was not held (nothing changes).
int32_t ConstraintManager_ReleaseConstraint(ConstraintManager* m, int32_t i);
int32_t ConstraintManager_DeleteConstraint(ConstraintManager* m, Constraint* con);
// Marks in bitmap the active words first..first + n - 1 that transcription
// constraints use.
void ConstraintManager_MarkReferencedWordIds(ConstraintManager* m, int32_t n, uint8_t* bitmap,
                                             int32_t first);
// 1 or 0. Reading goes only into a manager holding no constraints and
// changes nothing unless the whole sub-file was read.
int32_t ConstraintManager_ReadPSAFile(ConstraintManager* m, DVKTar* archive, const char* prefix,
                                      Voc* vocabulary, ClassManager* classManager);
int32_t ConstraintManager_WritePSAFile(ConstraintManager* m, DVKTar* archive, const char* prefix);
// 0xFFFFFFFF for a null manager.
uint32_t ConstraintManager_ComputeCRC(const ConstraintManager* m);
void ConstraintManager_PrintAllConstraintTransitions(const ConstraintManager* m);
// ConstraintManager_Delete: search_engine_calls.h.
