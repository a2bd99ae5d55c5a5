// What a search may hypothesise: the common head of every constraint kind
// (transcription, whole vocabulary, class pair), its table of operations, the
// 64-bit grammar position (`ActiveId`) and the generic operations through
// which decoders, the word graph and the class manager reach any kind.
//
// Every kind's record begins with a `Constraint`; callers never look past it.
// Nothing here raises the engine error except scratch allocation of the
// parse and path checks.
#pragma once

#include <cstddef>
#include <cstdint>

struct BinFileReader;
struct BinFileWriter;
struct ClassManager;
struct Constraint;
struct DVKTar;
struct LexTree;
struct PronCache;
struct Voc;

inline constexpr int32_t kConstraintTypeTranscription = 1;
inline constexpr int32_t kConstraintTypeWholeVocabulary = 2;
inline constexpr int32_t kConstraintTypeClassPair = 3;

inline constexpr int32_t kConstraintNameSize = 64;
// Active constraints a decoder may hold; an `ActiveId` has 10 index bits.
inline constexpr int32_t kConstraintMaxActive = 1024;
inline constexpr uint16_t kConstraintSilencePron = 65534;
inline constexpr uint16_t kConstraintNoPron = 65535;

// High word H, low word L: H bits 21-30 constraint index, H bits 3-20 state,
// H bits 0-2 with L bits 10-31 member, L bits 0-9 sub-position. H bit 31
// belongs to the decoders (their end flag): constraints never set it and
// ignore it on input.
typedef uint64_t ActiveId;

inline constexpr uint32_t ActiveId_High(ActiveId id) { return static_cast<uint32_t>(id >> 32); }
inline constexpr uint32_t ActiveId_Low(ActiveId id) { return static_cast<uint32_t>(id); }
inline constexpr ActiveId ActiveId_FromWords(uint32_t high, uint32_t low)
{
    return (static_cast<uint64_t>(high) << 32) | low;
}
inline constexpr int32_t ActiveId_GetConstraintIndex(ActiveId id)
{
    return static_cast<int32_t>((ActiveId_High(id) & 0x7fe00000u) >> 21);
}
inline constexpr uint32_t ActiveId_GetState(ActiveId id) { return (ActiveId_High(id) & 0x1ffff8u) >> 3; }
inline constexpr uint32_t ActiveId_GetMember(ActiveId id)
{
    return (ActiveId_Low(id) >> 10) | ((ActiveId_High(id) & 7u) << 22);
}
inline constexpr uint32_t ActiveId_GetSubPosition(ActiveId id) { return ActiveId_Low(id) & 0x3ffu; }
// Fields wider than their bits are cut to them.
inline constexpr ActiveId ActiveId_Make(int32_t index, uint32_t state, uint32_t member,
                                        uint32_t subPosition)
{
    const uint32_t high = ((static_cast<uint32_t>(index) & 0x3ffu) << 21) | ((state & 0x3ffffu) << 3) |
                          ((member >> 22) & 7u);
    const uint32_t low = ((member & 0x3fffffu) << 10) | (subPosition & 0x3ffu);
    return ActiveId_FromWords(high, low);
}

// Room every caller reserves for an iterator; the class-pair iterator is the
// largest. Each kind checks at compile time that its own record fits.
inline constexpr size_t kConstraintIteratorBytes = 256;

struct ConstraintIterator {
    alignas(8) unsigned char bytes[kConstraintIteratorBytes];
};

// A kind's view of the caller's iterator storage.
template <typename Record>
inline Record* ConstraintIterator_As(ConstraintIterator* iterator)
{
    static_assert(sizeof(Record) <= kConstraintIteratorBytes, "iterator record too large");
    static_assert(alignof(Record) <= 8, "iterator record too strictly aligned");
    return reinterpret_cast<Record*>(iterator->bytes);
}

// One successor offered by an iterator.
struct ConstraintSuccessor {
    uint16_t member;       // pron id of the next word
    uint16_t score;        // score of taking it (class pairs only; else 0)
    ActiveId next;         // position after the word
    uint32_t final;        // 1 when the constraint may end after it
    LexTree* classTree;    // tree of the class entered, when it has one
};

// Operation table, in slot order. Slots that may be empty say so in the
// generic operation that calls them.
struct ConstraintOps {
    void (*Delete)(Constraint* con, int32_t word);
    int32_t (*IsSimple)(Constraint* con);
    int32_t (*RemoveActiveId)(Constraint* con, uint16_t activeId);
    void (*IteratorInit)(Constraint* con, ConstraintIterator* iterator, uint16_t previous,
                         int32_t ignored, ActiveId id, uint16_t restrict);
    int32_t (*IteratorNext)(ConstraintIterator* iterator, Constraint* con, ConstraintSuccessor* out);
    void (*IteratorInitFromActiveId)(Constraint* con, ConstraintIterator* iterator, uint16_t previous,
                                     int32_t ignored, ActiveId id, uint16_t restrict);
    int32_t (*IsLegalPronEndingReverse)(Constraint* con, const uint16_t* prons, int32_t count);
    int32_t (*FindParse)(Constraint* con, int32_t wordCount, const uint32_t* words,
                         uint32_t* classes, int32_t* cost, uint8_t* startFlags);
    void (*PrintAllTransitions)(Constraint* con, int32_t a, int32_t b);
    int32_t (*BuildActiveIdTable)(Constraint* con);
    void (*FreeActiveIdTable)(Constraint* con);
    int32_t (*GetTransitionScore)(Constraint* con, uint32_t state, uint32_t member,
                                  uint32_t subPosition, int32_t zero);
    int32_t (*UttInit)(Constraint* con, int32_t* list, int32_t a, int32_t b);
    void (*ResetPointers)(Constraint* con);
    int32_t (*GetMemberStartsWithPronId)(Constraint* con, uint32_t classId, uint16_t pron,
                                         int32_t* first, int32_t* count, int32_t* single);
    int32_t (*HasOptionalEnding)(Constraint* con);
    int32_t (*GetEndingPhns)(Constraint* con, uint16_t word, ActiveId position,
                             const uint16_t** phonemes);
    void* unused;   // slot 17 is never set
    int32_t (*WritePSAFile)(Constraint* con, BinFileWriter* writer);
    int32_t (*Check)(Constraint* con);
    uint32_t (*ComputeCRC)(Constraint* con, uint32_t crc);
};

struct Constraint {
    int32_t type;                    // 1 transcription, 2 whole vocabulary, 3 class pair
    char name[kConstraintNameSize];  // NUL-terminated, at most 63 characters
    int32_t restrictionFlag;
    int32_t transcriptionFlag;
    int32_t owner;                   // set by the manager when added
    ConstraintOps ops;
    int32_t inUse;
    union {
        Voc* vocabulary;             // types 1 and 2
        ClassManager* classManager;  // type 3
    };
};

int32_t Constraint_GetType(const Constraint* con);
const char* Constraint_GetName(const Constraint* con);
int32_t Constraint_GetOwner(const Constraint* con);
int32_t Constraint_GetRestrictionFlag(const Constraint* con);
int32_t Constraint_GetTranscriptionFlag(const Constraint* con);

// Null is ignored; clears in use, then the kind's Delete.
void Constraint_Delete(Constraint* con, int32_t word);
int32_t Constraint_RemoveActiveId(Constraint* con, uint16_t activeId);
int32_t Constraint_WritePSAFile(Constraint* con, BinFileWriter* writer);
// 0xFFFFFFFF for a null constraint.
uint32_t Constraint_ComputeCRC(Constraint* con, uint32_t crc);

void Constraint_IteratorInit(Constraint* con, ConstraintIterator* iterator, uint16_t previous,
                             int32_t ignored, ActiveId id, uint16_t restrict);
// The kind's IteratorInitFromActiveId, else its IteratorInit.
void Constraint_IteratorInitFromActiveId(Constraint* con, ConstraintIterator* iterator,
                                         uint16_t previous, int32_t ignored, ActiveId id,
                                         uint16_t restrict);
// 1 and the successor in out, or 0 when there is none left.
int32_t Constraint_IteratorNext(Constraint* con, ConstraintIterator* iterator, ConstraintSuccessor* out);
int32_t Constraint_GetMemberStartsWithPronId(Constraint* con, uint32_t classId, uint16_t pron,
                                             int32_t* first, int32_t* count, int32_t* single);
// Tolerates a null constraint; does nothing in every kind.
void Constraint_PrintAllTransitions(Constraint* con, int32_t a, int32_t b);
void Constraint_ResetPointers(Constraint* con);
// 65535 without the slot.
int32_t Constraint_GetEndingPhns(Constraint* con, uint16_t word, ActiveId position,
                                 const uint16_t** phonemes);

// The score of the constraint step in id (constraint table[index of id]):
// the slot's low 16 bits as a signed value, 0 without the slot.
int16_t Constraint_GetTransitionScore(Constraint* const* table, ActiveId id);
ActiveId Constraint_MakeStartActiveId(int32_t index);

// Array operations over the decoder's active constraints (index order).
int32_t Constraint_CheckAll(Constraint* const* array, int32_t n);
int32_t Constraint_BuildActiveIdTables(Constraint* const* array, int32_t n);
void Constraint_FreeActiveIdTables(Constraint* const* array, int32_t n);
int32_t Constraint_AnyHasOptionalEnding(Constraint* const* array, int32_t n);
int32_t Constraint_AllAreSimple(Constraint* const* array, int32_t n);
int32_t Constraint_AnyIsLegalPronEndingReverse(Constraint* const* array, int32_t n,
                                               const uint16_t* prons, int32_t count);
int32_t Constraint_UttInitAll(Constraint* const* array, int32_t n, int32_t a, int32_t b);
int32_t Constraint_PrepareFrameAll(Constraint* const* array, int32_t n, const uint8_t* bytes,
                                   int32_t count, int32_t word);

// Class-pair-only operations over a mixed array.
ClassManager* Constraint_GetClassManager(Constraint* const* array, int32_t n);
int32_t Constraint_GetMaxClassMembers(Constraint* const* array, int32_t n, int32_t* max);
void Constraint_FillPronCacheAllClasses(Constraint* const* array, int32_t n, PronCache* cache);
int32_t Constraint_GetStateTableFlag(const Constraint* con);
int32_t Constraint_AnyHasLoopClass(Constraint* const* array, int32_t n);
void Constraint_FindFirstFlaggedClass(Constraint* const* array, int32_t n, int32_t* found,
                                      int32_t* values);
int32_t Constraint_LexTreeNeedsBuilding(Constraint* const* array, int32_t n);
int32_t Constraint_AnyHasConstraintClasses(int32_t n, Constraint* const* array);
int32_t Constraint_AnyClassPairHasClass(int32_t n, Constraint* const* array, uint32_t classId);
// Without a buffer the number of word ids of all classes; with one at most
// room of them, sorted, each once: the number of distinct ids written.
int32_t Constraint_CollectWordIds(Constraint* const* array, int32_t n, uint16_t* buffer,
                                  int32_t room);
// qsort order of 16-bit ids.
int Constraint_CompareIds(const void* a, const void* b);

// Type 2: whole vocabulary, type 3: class pair; null for any other type.
Constraint* Constraint_ReadFromBinFile(BinFileReader* reader, int32_t type, Voc* vocabulary,
                                       ClassManager* classManager);
// Reads "bcn0" (pairs of index and class-pair record, then n) into the n
// entries of array: 1 at the terminator or after at least one constraint.
int32_t Constraint_LoadFromBinFile(DVKTar* archive, const char* prefix, ClassManager* classManager,
                                   Constraint** array, int32_t n);

int32_t Constraint_FindBestParse(Constraint* const* array, int32_t n, int32_t wordCount,
                                 const uint32_t* words, Constraint** bestConstraint,
                                 uint32_t* classPath, int32_t* bestCost, uint8_t* startFlags);

// 1 when the pron sequence (65534 at either end optional) is a whole path.
int32_t Constraint_MatchPronSequence(Constraint* con, const uint16_t* prons, int32_t n,
                                     uint16_t previous, ActiveId id);
int32_t Constraint_IsLegalPronSequence(Constraint* const* array, int32_t n, const uint16_t* prons,
                                       int32_t count);
// Callers pass at most this many prons; more are refused.
inline constexpr int32_t kConstraintMaxReverseProns = 38;
int32_t Constraint_IsLegalPronSequenceReverse(Constraint* const* array, int32_t n,
                                              const uint16_t* prons, int32_t count);
// Words are active word ids; the number of words matched, 0 when none.
int32_t Constraint_MatchWordSequence(Constraint* con, Voc* vocabulary, const uint16_t* words,
                                     int32_t count, uint16_t previous, ActiveId id);
int32_t Constraint_IsLegalActivePath(Constraint* con, Voc* vocabulary, const uint16_t* words,
                                     int32_t count);

void Constraint_PrintPossiblePaths(Constraint* con);
// Always null: no kind has a shadow.
Constraint* Constraint_MakeShadowConstraint(Constraint* con);
