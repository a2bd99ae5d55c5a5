// The record of one class of the class manager: its members (sequences of 1
// to 1,024 active word ids, each with an optional weight byte and phrase id),
// kept sorted, in chunked arrays sized from the hints given at creation so
// that growing a class never copies its members.
#pragma once

#include <cstdint>

struct Voc;

inline constexpr int32_t kConstraintClassMaxMembers = 0x2000000;
inline constexpr int32_t kConstraintClassMaxMemberLength = 1024;
inline constexpr int32_t kConstraintClassMaxWords = 0x7FFFFFFF;
inline constexpr uint16_t kConstraintClassNoWord = 65535;

struct ConstraintClass {
    uint32_t memberShift;        // log2 of memberChunk
    uint32_t memberChunk;        // members per chunk (offsets, weights, phrase ids)
    uint32_t memberChunkSlots;   // capacity of the offset chunk table
    uint32_t memberChunksUsed;
    int32_t numMembers;
    void** memberOffsets;        // uint32, numMembers + 1 entries; the last is numWords
    uint32_t wordShift;
    uint32_t wordChunk;
    uint32_t wordChunkSlots;
    uint32_t wordChunksUsed;
    int32_t numWords;
    void* irObject;              // IR phrase index of an IR phrase class
    int32_t irClassIndex;        // -1 when none
    void* startList;             // start lists (class networks)
    uint16_t* startListWords;
    int32_t startListCount;      // -1: no list
    int32_t startListCapacity;
    int32_t startListKey;        // -1 forces a rebuild
    void** wordIndex;            // uint16 pages: active word id -> member (IR classes)
    uint32_t wordIndexSlots;
    uint32_t wordIndexPages;
    int32_t wordIndexBuilt;
    void** wordIds;              // uint16, numWords entries, members concatenated
    void** weights;              // uint8 per member (hasWeights)
    uint32_t weightChunkSlots;
    uint32_t weightChunksUsed;
    int32_t hasWeights;
    void** phraseIds;            // int32 per member (hasPhraseIds)
    uint32_t phraseChunkSlots;
    uint32_t phraseChunksUsed;
    int32_t hasPhraseIds;
    int32_t rebuildTree;         // the class's lexical tree must be (re)built
    int32_t pronCacheDirty;      // members inserted since the pron cache was filled
    int32_t startListWanted;
    int32_t flagA;
    int32_t flagB;
    uint32_t partnerClass;       // paired IR phrase class / companion word class
    int32_t ownsArrays;
    int32_t persistent;          // 0 for classes of the model set: never deleted
};

// Null when a hint is out of range (members 0..0x2000000, words >= 0, both
// zero or both non-zero) or without memory.
ConstraintClass* ConstraintClass_Create(int32_t expectedMembers, int32_t expectedWords,
                                        int32_t hasWeights, int32_t hasPhraseIds, int32_t flagA,
                                        int32_t flagB, void* irObject, int32_t irClassIndex);
void ConstraintClass_Delete(ConstraintClass* record);
// Frees the arrays only; the record reads as empty afterwards.
void ConstraintClass_FreeContents(ConstraintClass* record);
// Room for count members (count + 1 offsets); 0 without memory.
int32_t ConstraintClass_GrowMemberArrays(ConstraintClass* record, int32_t count);
// Inserts a member at its sorted place; an equal member keeps the smaller
// weight. 1, or 0 for a length outside 1..1,024, a full class or no memory.
int32_t ConstraintClass_InsertMember(ConstraintClass* record, int32_t count, const uint16_t* wordIds,
                                     uint8_t weight, int32_t phraseId);
// Pronunciations of the members' first words, a run of members with one
// first word counted once.
int32_t ConstraintClass_CountPronunciations(const ConstraintClass* record, const Voc* vocabulary);
// Copies all word ids (when destination is given); the number of words.
int32_t ConstraintClass_GetAllWordIds(const ConstraintClass* record, uint16_t* destination);

// Element access.
inline uint32_t& ConstraintClass_OffsetAt(const ConstraintClass* c, int32_t m)
{
    return static_cast<uint32_t*>(c->memberOffsets[static_cast<uint32_t>(m) >> c->memberShift])
        [static_cast<uint32_t>(m) & (c->memberChunk - 1)];
}
inline uint16_t& ConstraintClass_WordAt(const ConstraintClass* c, int32_t i)
{
    return static_cast<uint16_t*>(c->wordIds[static_cast<uint32_t>(i) >> c->wordShift])
        [static_cast<uint32_t>(i) & (c->wordChunk - 1)];
}
inline uint8_t& ConstraintClass_WeightAt(const ConstraintClass* c, int32_t m)
{
    return static_cast<uint8_t*>(c->weights[static_cast<uint32_t>(m) >> c->memberShift])
        [static_cast<uint32_t>(m) & (c->memberChunk - 1)];
}
inline int32_t& ConstraintClass_PhraseIdAt(const ConstraintClass* c, int32_t m)
{
    return static_cast<int32_t*>(c->phraseIds[static_cast<uint32_t>(m) >> c->memberShift])
        [static_cast<uint32_t>(m) & (c->memberChunk - 1)];
}
inline int32_t ConstraintClass_MemberLength(const ConstraintClass* c, int32_t m)
{
    return static_cast<int32_t>(ConstraintClass_OffsetAt(c, m + 1) - ConstraintClass_OffsetAt(c, m));
}

// Member order: the first differing word id (unsigned) decides, then the
// shorter member, then (with phrase ids) the phrase ids by value, then, when
// withWeights, the weights. -1, 0 or 1. Compared by value throughout: a
// difference of phrase ids overflows for ids far apart.
int32_t compareClassMembers(const ConstraintClass* c, int32_t a, int32_t b, bool withWeights);
// A word sequence (with its phrase id) against member m, in the same order.
int32_t ConstraintClass_CompareSequenceToMember(const ConstraintClass* c, const uint16_t* words, int32_t count,
                                                int32_t phraseId, int32_t m);
// Removes member m, moving the following members down.
void ConstraintClass_RemoveMemberAt(ConstraintClass* c, int32_t m);

// Reads of a class's members as the class-pair constraint walks them. A
// member index at or past numMembers reads as none: word 65535, length 0,
// score 0, phrase id 0.
int32_t ConstraintClass_GetNumMembers(const ConstraintClass* c);
int32_t ConstraintClass_HasMemberScores(const ConstraintClass* c);
int32_t ConstraintClass_HasPhraseIds(const ConstraintClass* c);
void ConstraintClass_InvalidateStartList(ConstraintClass* c);
int32_t ConstraintClass_GetMemberLength(const ConstraintClass* c, int32_t m);
void* ConstraintClass_GetStartList(ConstraintClass* c);
int32_t ConstraintClass_GetMemberScore(const ConstraintClass* c, int32_t m);
int32_t ConstraintClass_GetPhraseId(const ConstraintClass* c, int32_t m);
// length := the member's length; id k of m, 65535 when k is past it.
uint16_t ConstraintClass_GetMemberId(const ConstraintClass* c, int32_t m, int32_t k, int32_t* length);
uint16_t ConstraintClass_GetStartActiveId(const ConstraintClass* c, int32_t m);
// The lowest member starting with id (length := its length), 65535 when none.
int32_t ConstraintClass_FindMemberByFirstId(const ConstraintClass* c, uint16_t id, int32_t* length);
int32_t ConstraintClass_GetNextMemberSecondId(const ConstraintClass* c, int32_t m, uint16_t* id, int32_t* isPair);
int32_t ConstraintClass_CountSharedStartMembers(const ConstraintClass* c, int32_t m);
void ConstraintClass_GetIRRange(const ConstraintClass* c, void** irObject, int32_t* irClassIndex);
// -1, 0 or 1 in member order.
int32_t ConstraintClass_CompareMembers(const ConstraintClass* c, int32_t a, int32_t b, int32_t useScores);
int32_t ConstraintClass_CompareMemberToIds(const ConstraintClass* c, int32_t m, const uint16_t* ids, int32_t n,
                                           int32_t phraseId);
// CRC-32 of the record's layout, member offsets and words (whole chunks).
uint32_t ConstraintClass_ComputeCRC(const ConstraintClass* c);
