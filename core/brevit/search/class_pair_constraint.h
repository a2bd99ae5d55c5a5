// Class-pair constraint (type 3): a graph of word classes. What the generic
// constraint operations and the constraint manager need of it.
#pragma once

#include <cstdint>

struct BinFileReader;
struct ClassManager;
struct Constraint;
struct ConstraintIterator;
struct PronCache;

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
