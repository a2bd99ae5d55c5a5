// Stand-ins for the constraint kinds until their own sources land: each provisional function calls the installed double of the
// same name, else answers as if no constraint of its kind existed (readers
// give null, queries 0, an expansion its input, preparation success).
#pragma once

#include <cstdint>

struct BinFileReader;
struct ClassManager;
struct Constraint;
struct ConstraintIterator;
struct PronCache;
struct Voc;

struct ConstraintKindDoubles {
    Constraint* (*wholeVocReadFromBinFile)(BinFileReader* reader, Voc* vocabulary);
    Constraint* (*classPairReadFromBinFile)(BinFileReader* reader, ClassManager* classManager);
    Constraint* (*classPairReadFromConstraintFile)(BinFileReader* reader, ClassManager* classManager);
    void (*classPairPrepareIterator)(Constraint* con, ConstraintIterator* iterator);
    int32_t (*classPairPrepareFrame)(Constraint* con, const uint8_t* bytes, int32_t count, int32_t word);
    Constraint* (*classPairExpand)(Constraint* con);
    int32_t (*classPairCollectWordIds)(Constraint* con, uint16_t* buffer, int32_t room);
    int32_t (*classPairHasLoopClass)(Constraint* con);
    void (*classPairFillPronCache)(Constraint* con, PronCache* cache);
    void (*classPairFindFirstFlaggedClass)(Constraint* const* array, int32_t n, int32_t* found,
                                           int32_t* values);
    int32_t (*classPairClassesNeedLexTree)(Constraint* con);
    int32_t (*classPairFindClassIndex)(Constraint* con, uint32_t classId, int32_t* index);
    int32_t (*classPairGetNumClasses)(const Constraint* con);
    uint32_t (*classPairGetClassId)(const Constraint* con, int32_t index);
    int32_t (*classPairHasConstraintClasses)(const Constraint* con);
    int32_t (*classPairGetStateTableFlag)(const Constraint* con);
    void (*transcriptionMarkReferencedWordIds)(Constraint* con, uint8_t* bitmap, int32_t first,
                                               int32_t count);
};

// Installs doubles (null: none) and returns the previous set.
const ConstraintKindDoubles* ConstraintKinds_InstallDoubles(const ConstraintKindDoubles* doubles);
