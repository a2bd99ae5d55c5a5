// Class networks: generated class names and the member runs the class-pair
// walks start from.
#pragma once

#include <cstdint>

struct AWL;
struct Constraint;
struct ClassManager;
struct ConstraintClass;
struct PronCache;
struct Voc;

// One start-list entry: a pronunciation a member starts with, whether the
// member is that one word, and the member index as an ActiveId holds it.
struct ClassStartEntry {
    uint16_t pronId;
    uint16_t singleWord;
    uint32_t memberShifted;   // member << 10
};

// The successor-pronunciation pool: per class a range of the first-word
// pronunciations of its members, with per pronunciation the member index
// (bit 15: the member is that one word). Slot 0 is never used, so a range
// starting at 0 has not been filled.
struct SuccPronRange {
    uint16_t start;
    uint16_t count;
};

struct SuccPronPool {
    SuccPronRange* ranges;
    int32_t numRanges;
    uint16_t* pronIds;
    int32_t capacity;          // at most 65,535: starts are 16-bit
    uint16_t* memberIndexes;
    int32_t used;              // next free slot, 1 when empty
};

inline constexpr uint16_t kSuccSingleWordMember = 0x8000;
inline constexpr int32_t kSuccMaxMemberIndex = 0x7FFF;

// A generated base name: a blank, eight lowercase letters and a terminator.
inline constexpr int32_t kClassBaseNameLength = 9;

// Advances an odometer base name: the last letter steps, 'z' wraps to 'a'
// carrying into the letter before it; eight z's become eight a's.
void ClassManager_StepBaseName(char* name);
// The process-wide base name after one step, skipping any base name that a
// class name of the manager (when given) starts with: generated names come
// back from storage while the odometer restarts with the process.
const char* ClassManager_NextVarBaseName(const ClassManager* manager);
// 1 when name is a blank and eight characters none above 'z'; 0 for a
// shorter name.
int32_t ClassManager_IsGeneratedClassName(const char* name);
// The run of members of class id whose first word is the pron's word: its
// first member, its length and whether a member of it is a single word. 0
// when the class has no record or no such member (the outputs then say an
// empty run at the lower bound).
int32_t ClassManager_FindMembersStartingWithPron(ClassManager* manager, uint32_t id, uint16_t pronId,
                                                 int32_t* firstMember, int32_t* runLength, int32_t* hasSingleWord);

// Creates the pool when absent and parameter word 729 is at least 1 (ranges
// for ids 0..maxId, word 729 slots, at most 65,535); 0 only without memory.
int32_t ClassManager_CreateSuccPronIds(ClassManager* manager);
// ClassManager_ResetSuccPronIds: class_manager.h.
// 1 when the first-word pronunciations of the class's visited members fit
// the pool (members sharing a first word visited once under parameter word
// 213); 0 when they do not, or a visited member index needs more than 15
// bits.
int32_t ClassManager_SuccPronIdsFit(ClassManager* manager, uint32_t id);
// Appends the class's first-word pronunciations and records its range; when
// the room left is too small the pool is reset once and the class filled
// from the start. 0 when even an empty pool cannot hold them.
int32_t ClassManager_FillSuccPronIds(ClassManager* manager, const AWL* activeWordList, uint32_t id);
const uint16_t* ClassManager_GetSuccPronIds(const ClassManager* manager);
const uint16_t* ClassManager_GetSuccMemberIndexes(const ClassManager* manager);
int32_t ClassManager_GetNumSuccPronIdsUsed(const ClassManager* manager);
// {0, 0} for an id without range entry (or without pool).
SuccPronRange ClassManager_GetSuccPronRange(const ClassManager* manager, uint32_t id);
// Grows the range table to entries (new ranges empty); 0 without memory.
int32_t ClassManager_GrowSuccPronRanges(ClassManager* manager, int32_t entries);
void ClassManager_FreeSuccPronIds(ClassManager* manager);

// Lexical trees of the classes whose first-word pronunciations reach
// parameter word 229, at most word 276 of them; a class whose pronunciations
// make more than one tree keeps none.
void ClassManager_PrecomputeClasses(ClassManager* manager);
void ClassManager_BuildClassTrees(ClassManager* manager, int32_t flag);
void ClassManager_BuildClassTree(ClassManager* manager, uint32_t id, int32_t flag);
// Trees, start-list keys reset, IR phrase scores, pool ranges for every id;
// 0 when an edit cannot be finished or IR scores or the ranges fail.
int32_t ClassManager_PrepareForRecognition(ClassManager* manager, int32_t flag);
// Asks the pronunciation cache for every pronunciation of every word of the
// class's members.
void ClassManager_FillPronCacheForClass(ClassManager* manager, PronCache* cache, uint32_t id);
void ClassManager_FillPronCacheAllClasses(ClassManager* manager, PronCache* cache, int32_t all);
// The class's start list: every member starting with a word, one entry per
// pronunciation. A large class (parameter word 230) lists only when wanted
// and only the given pronunciations' words, rebuilt when the key changes.
// 1, or 0 (entry count -1) without memory.
int32_t ConstraintClass_BuildStartList(ConstraintClass* record, int32_t count, const uint16_t* pronIds, int32_t key,
                                       Voc* vocabulary);
// Active word id -> lowest member with that word, for an IR phrase class.
// 1, or 0 without memory (or for another class).
int32_t ClassManager_BuildWordIndex(ClassManager* manager, uint32_t id);
// The member of word w in a built word index, 0xFFFF when none.
uint16_t ConstraintClass_WordIndexAt(const ConstraintClass* record, uint16_t w);

// Fills results with one constraint per input: each class-pair constraint
// holding the class gets the class's "Opt" network (members factored by
// shared leading words into generated classes, parameter words 763 and 764
// bounding the depth) in its place; any refusal gives the inputs. Classes
// with weights or phrase ids are refused: generated members carry neither.
void ClassManager_CreateOptimizedConstraint(ClassManager* manager, const char* className, int32_t count,
                                            Constraint* const* constraints, Constraint** results);
// One expansion of a run of runLength sorted members from firstMember that
// share their first depth words: adds to the three counts, and with a
// constraint creates the classes and transitions. 1, or 0 on failure.
int32_t ClassManager_ExpandClassForOpt(ClassManager* manager, Constraint* constraint, int32_t firstMember,
                                       uint32_t classId, int32_t fromIndex, int32_t depth, int32_t runLength,
                                       const char* baseName, int32_t* classes, int32_t* transitions,
                                       int32_t* nameBytes, int32_t consumedWords, int32_t level);

// The number of steps the walk of the text through the source constraint
// takes (one per successor with a distinct word and next position); -1
// without memory.
int32_t ClassManager_CountTextExpansion(ClassManager* manager, Constraint* source, const uint16_t* text);
// "XDN0": one one-word class per step, named by its id, joined as the walk
// went, each path that used every token ending. Null for an empty text, a
// text the source allows nothing of, or on failure (no class kept).
Constraint* ClassManager_CreateConstraintFromText(ClassManager* manager, Constraint* source, const uint16_t* text);
