// The class manager: every word class the recogniser knows, by id and name.
// Besides word classes it holds IR phrase classes, aliases (a second name for
// a class, sharing its record) and constraint aliases (a name standing for a
// constraint of the constraint manager, class reference 0x40000000 | index).
// "<s>" and "<e>" are not stored: both are class id 0. Members are edited
// through the operations at the end; a class filled from empty collects its
// members unsorted in the edit buffer and sorts them once when the edit is
// finished (by every reader that needs them sorted).
#pragma once

#include "core/brevit/search/search_engine_calls.h"

#include <cstdint>

struct AM;
struct Constraint;
struct ConstraintClass;
struct ConstraintManager;
struct LexTree;
struct Voc;

inline constexpr uint32_t kClassManagerConstraintRef = 0x40000000u;
inline constexpr int32_t kClassManagerMaxIds = 0x40000;
inline constexpr uint32_t kClassManagerPageShift = 8;

// printf-like output of PrintAllClasses.
typedef void (*ClassManagerPrintFunc)(void* handle, const char* format, ...);

struct ClassManager {
    Voc* vocabulary;
    AM* acousticModel;
    ConstraintManager* constraintManager;
    int32_t idsInUse;              // 1 + live entries
    int32_t numConstraintAliases;
    int32_t maxId;                 // highest id handed out
    void** classes;                // ConstraintClass* per id (aliases share their target's)
    uint32_t classSlots;
    uint32_t classPages;
    void** names;                  // owned char* per id; null = free id
    uint32_t nameSlots;
    uint32_t namePages;
    void** trees;                  // owned LexTree* per id; only with parameter word 276 > 0
    uint32_t treeSlots;
    uint32_t treePages;
    void** refCounts;              // uint32 per id
    uint32_t refSlots;
    uint32_t refPages;
    void** aliases;                // uint32 per id: 0, a class id or a constraint reference
    uint32_t aliasSlots;
    uint32_t aliasPages;
    void* succPronPool;            // class networks' successor pool, or null
    int32_t numTrees;
    uint32_t editClassId;          // class of the pending edit, 0 when none
    ConstraintClass* editBuffer;
    int32_t* optScratch;           // id-to-index table of a constraint being built, or null
    int32_t optScratchEntries;     // entries of optScratch
};

// Null for a negative expectedIds or without memory.
ClassManager* ClassManager_Create(Voc* vocabulary, AM* acousticModel, ConstraintManager* constraintManager,
                                  int32_t expectedIds);
// ClassManager_Delete, ClassManager_RemoveUnreferencedClasses: search_engine_calls.h.

int32_t ClassManager_IsConstraintRef(uint32_t reference);
// 0x40000000 | the constraint's index, -1 when the manager does not hold it.
int32_t ClassManager_ConstraintRefFromIndex(ClassManager* manager, Constraint* constraint);
Constraint* ClassManager_GetConstraintOfRef(ClassManager* manager, uint32_t reference);

// New ids and tables (behind the creating operations).
int32_t ClassManager_NextFreeId(ClassManager* manager);
int32_t ClassManager_GrowTables(ClassManager* manager, int32_t entries);
int32_t ClassManager_CreateClass(ClassManager* manager, const char* name, int32_t expectedMembers,
                                 int32_t expectedWords, int32_t hasWeights, int32_t hasPhraseIds, int32_t flagA,
                                 int32_t flagB, void* irObject, int32_t irClassIndex, int32_t* id);

// 1, or 0 when the name already names a class (or creation fails).
int32_t ClassManager_AddClass(ClassManager* manager, const char* name, int32_t expectedMembers,
                              int32_t expectedWords, int32_t hasWeights, int32_t hasPhraseIds, int32_t flagA,
                              int32_t flagB);
int32_t ClassManager_AddIRClass(ClassManager* manager, const char* name, int32_t expectedMembers, void* irObject,
                                int32_t irClassIndex);
// The new id, -1 on failure (also for a target without name).
int32_t ClassManager_AddAlias(ClassManager* manager, const char* name, uint32_t targetId);
int32_t ClassManager_AddClassCopy(ClassManager* manager, const char* newName, const char* existingName);
// 1, or 0 when the constraint is not in the constraint manager (or no memory).
int32_t ClassManager_AddConstraintAlias(ClassManager* manager, const char* name, Constraint* constraint);
int32_t ClassManager_PairIRClass(ClassManager* manager, uint32_t classA, uint32_t classB);

// Class id (an alias of a class: its own id); for a constraint alias its
// reference with *isConstraintAlias set; -1 when no name matches.
int32_t ClassManager_LookupName(const ClassManager* manager, const char* name, int32_t* isConstraintAlias);
// As LookupName, -1 for a constraint alias.
int32_t ClassManager_FindClass(const ClassManager* manager, const char* name);
const char* ClassManager_GetClassName(const ClassManager* manager, uint32_t reference);
ConstraintClass* ClassManager_GetClass(const ClassManager* manager, uint32_t id);
uint32_t ClassManager_GetPartnerClass(const ClassManager* manager, uint32_t reference);
void ClassManager_GetClassIRRange(const ClassManager* manager, uint32_t id, void** irObject,
                                  int32_t* irClassIndex);

// References from storage may name nothing: such a reference, or a release of
// a count already 0, changes nothing (0).
int32_t ClassManager_AddRef(ClassManager* manager, uint32_t reference);
int32_t ClassManager_Release(ClassManager* manager, uint32_t reference);
void ClassManager_DeleteClass(ClassManager* manager, uint32_t id);

// count := the members (0 for an id without record); 1, or 0 when a pending
// edit of the class cannot be finished.
int32_t ClassManager_GetNumMembers(ClassManager* manager, uint32_t id, int32_t* count);
int32_t ClassManager_GetMaxNumMembers(ClassManager* manager, int32_t* max);
void ClassManager_MarkReferencedWordIds(ClassManager* manager, uint8_t* bitmap, int32_t base, int32_t count);
void ClassManager_PrintAllClasses(ClassManager* manager, void* handle, ClassManagerPrintFunc print);
void ClassManager_PrintClassMembers(ClassManager* manager, uint32_t id, void* handle, ClassManagerPrintFunc print);

int32_t ClassManager_GetClassFlagA(const ClassManager* manager, uint32_t id);
int32_t ClassManager_GetClassFlagB(const ClassManager* manager, uint32_t id);
int32_t ClassManager_ClassHasPhraseIds(const ClassManager* manager, uint32_t id);
int32_t ClassManager_ClassHasWeights(const ClassManager* manager, uint32_t id);
int32_t ClassManager_TreeNeedsRebuild(const ClassManager* manager, uint32_t id);
// Forgets the class's first-word index (rebuilt on use).
void ClassManager_InvalidateWordIndex(ClassManager* manager, uint32_t id);
void ClassManager_RequestStartList(ClassManager* manager, uint32_t id);
void ClassManager_RequestAllStartLists(ClassManager* manager);
LexTree* ClassManager_GetClassTree(const ClassManager* manager, uint32_t id);
Voc* ClassManager_GetVocabulary(const ClassManager* manager);

// Member editing. 1 on success, 0 on failure.
int32_t ClassManager_AddClassMember(ClassManager* manager, const char* className, const uint16_t* wordIds,
                                    int32_t count, uint8_t weight, int32_t phraseId);
int32_t ClassManager_RemoveClassMember(ClassManager* manager, const char* className, const uint16_t* wordIds,
                                       int32_t count);
int32_t ClassManager_RemoveClassMembers(ClassManager* manager, const char* className);
int32_t ClassManager_RemoveWordFromClasses(ClassManager* manager, uint16_t activeWordId);
int32_t ClassManager_FinishEdit(ClassManager* manager);
// Resets the class networks' successor pool after a member change.
void ClassManager_ResetSuccPronIds(ClassManager* manager);

// Member accessors; a member index past the class reads as none.
uint16_t ClassManager_GetMemberWord(ClassManager* manager, uint32_t id, int32_t member, int32_t position,
                                    int32_t* length);
int32_t ClassManager_GetMemberLength(ClassManager* manager, uint32_t id, int32_t member, int32_t* length);
int32_t ClassManager_GetMemberPhraseId(ClassManager* manager, uint32_t id, int32_t member);
int32_t ClassManager_GetMemberWeight(ClassManager* manager, uint32_t id, int32_t member);
int32_t ClassManager_GetNumMatchedIdsToSkip(ClassManager* manager, uint32_t id, int32_t member);
int32_t ClassManager_1stActiveIdsMatch(ClassManager* manager, uint32_t id, int32_t member, uint16_t* secondWord,
                                       int32_t* nextIsTwoWords);
int32_t ClassManager_HasMemberStartingWith(const ClassManager* manager, uint32_t id, uint16_t activeWordId);

// Storage. The model set's "bcm1": a new manager, null when the sub-file is
// absent or anything in it is inconsistent.
struct DVKTar;
ClassManager* ClassManager_LoadFromBinFile(DVKTar* archive, const char* prefix, Voc* vocabulary, AM* acousticModel,
                                           ConstraintManager* constraintManager);
// User storage's "bcm1": the run-time classes, aliases and constraint aliases
// (model-set entries as a 0 word). 1, or 0 on failure.
int32_t ClassManager_WritePSAFile(ClassManager* manager, DVKTar* archive, const char* prefix);
// Read into a manager holding at most the model set's entries: 1, or 0 with
// the manager unchanged when anything fails or is inconsistent.
int32_t ClassManager_ReadPSAFile(ClassManager* manager, DVKTar* archive, const char* prefix, void* irObject,
                                 int32_t keepTrees);
// 0xFFFFFFFF for a null manager.
uint32_t ClassManager_ComputeCRC(const ClassManager* manager, int32_t withSuccPool);
