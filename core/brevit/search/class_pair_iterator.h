// The class-pair iterator's record inside the caller's iterator storage,
// shared by the walk and the state tables.
#pragma once

#include "core/brevit/search/constraint.h"

#include <cstdint>

struct AWL;
struct ClassManager;
struct ClassPairConstraint;
struct ConstraintClass;
struct LexTree;
struct Voc;

// The iterator record inside the caller's storage.
struct ClassPairIterator {
    ClassPairConstraint* con;
    ClassManager* manager;
    const Voc* vocabulary;
    const AWL* words;
    int32_t constraintIndex;
    uint16_t previous;
    uint16_t restrict;
    uint16_t restrictWord;   // active word of the restricting pron
    uint16_t word;           // word whose prons are offered
    // The last decoded position.
    ActiveId cachedId;
    int32_t cachedClassIndex;
    int32_t cachedLength;
    // The class entered or continued.
    uint32_t classId;
    const ConstraintClass* record;
    int32_t memberCount;
    int32_t classEnds;       // the class has the end flag
    int32_t transitionCursor;
    int32_t transitionEnd;
    int32_t member;
    int32_t pronCount;
    int32_t pronCursor;
    int32_t continuing;
    int32_t startedAtFirstWord;
    int32_t addMemberScore;
    int32_t wordOrder;
    int32_t sharedRuns;      // parameter word 213
    int32_t plainInit;
    int32_t treeMode;
    uint16_t stepScore;
    uint32_t final;
    ActiveId next;
    LexTree* tree;
    // The cached variant.
    int32_t plain;
    const uint16_t* cachePronIds;
    const uint16_t* cacheMembers;
    int32_t cacheCursor;
    int32_t cacheEnd;
    ActiveId cacheBase;
    int32_t stateValues[2];
    int32_t stateWords[2];
};

inline ClassPairIterator* ClassPairIterator_Of(ConstraintIterator* iterator)
{
    return ConstraintIterator_As<ClassPairIterator>(iterator);
}
