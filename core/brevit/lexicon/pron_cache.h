// Phoneme strings and the pronunciation cache. A phoneme string is 16-bit
// phoneme ids ended by 0xFFFF; an expanded pron (context-dependent phone
// model ids) handed over ready-made ends with 0x7FFF. The cache turns a pron
// id into both without asking the vocabulary again: entries are stored once
// in pages of 256 units ([length][ids][end mark], the length and ids never
// crossing a page) and found through one of three indexes (a table by pron
// id, an open-addressing hash of {id, slot} pairs, or the same pairs sorted
// by id). It fills until a page table is full and then flushes whole.
#pragma once

#include <cstdint>

struct AM;
struct BinFileReader;
struct DVKTar;
struct Voc;

inline constexpr uint16_t kPhonemeEnd = 0xFFFF;
inline constexpr uint16_t kExpandedEnd = 0x7FFF;
inline constexpr uint16_t kSilencePronId = 65534;
inline constexpr uint16_t kNoPronId = 65535;
// Longest pron the cache stores; longer ones are handed out uncached.
inline constexpr int32_t kPronCacheMaxLength = 255;

uint32_t Phoneme_GetPronLength(const uint16_t* s);
uint32_t Phoneme_StrLen(const uint16_t* s);
uint32_t Phoneme_GetExpandedPronLength(const uint16_t* s);
// CRC of a phoneme name table: the count, then each name with its zero.
uint32_t Phoneme_NameCRC(const char* const* names, int32_t count);

struct PronCache {
    Voc* vocabulary;              // not owned
    AM* acousticModel;            // not owned
    uint32_t singleUnit;          // every pron is one unit: no pages
    uint16_t* scratch;            // phonemes of an uncached pron
    uint32_t scratchCapacity;     // units (the buffers hold one more)
    uint16_t* scratchExpanded;    // with keepExpanded only
    uint16_t** phonemePages;
    uint32_t phonemeCapacity;
    uint32_t phonemePagesInUse;
    uint16_t** expandedPages;
    uint32_t expandedCapacity;
    uint32_t expandedPagesInUse;
    uint32_t fill;                // next free unit of both data tables
    uint32_t** pairPages;         // {u16 id (low half), u16 slot}
    uint32_t pairCapacity;
    uint32_t pairPagesInUse;
    uint32_t ownerFlag;
    uint32_t hashFlag;
    uint32_t byIdFlag;
    uint32_t keepPhonemes;
    uint32_t keepExpanded;
    uint32_t count;               // prons cached since the last reset
    uint16_t* singleUnitTable;    // n + 1 units
    uint32_t n;                   // the vocabulary's active entries + 1
    uint16_t** byIdPages16;       // 0xFFFF empty
    uint32_t** byIdPages32;       // 0xFFFFFFFF empty
    uint32_t byIdCapacity;
    uint32_t byIdPagesInUse;
    uint32_t wide;                // the by-id table is the 32-bit one
    uint16_t emptyUnit;           // an empty pron, when no scratch buffer can be had
};

PronCache* PronCache_Create(int32_t ownerFlag, int32_t hashFlag, int32_t byIdFlag, int32_t keepPhonemes,
                            int32_t keepExpanded, Voc* vocabulary, AM* acousticModel);
// Room for pairCount index pairs and slots data units; 1, or 0 without
// memory (the cache then keeps what it had and stays usable).
int32_t PronCache_Reserve(PronCache* cache, uint32_t pairCount, uint32_t slots);
int32_t PronCache_GrowScratch(PronCache* cache);
void PronCache_Reset(PronCache* cache);
void PronCache_FreeBuffers(PronCache* cache);
void PronCache_Delete(PronCache* cache);

// The pron's length: cached, or the vocabulary's (-1 unknown, phonemes in
// the scratch buffer). 1 in single-unit mode.
uint32_t PronCache_GetPron(PronCache* cache, uint16_t pronId);
// The pron's phonemes and expanded ids (either out-pointer may be null) and
// its length, caching it on a miss. The pointers stay valid until the next
// call that may add. Also returns the length.
int32_t PronCache_GetPronInfo(PronCache* cache, uint16_t pronId, const uint16_t** phonemes,
                              const uint16_t** expanded, int32_t* length);
// Stores one entry at the index position found by a miss (emptyPosition:
// where it goes in an emptied index); slot receives its place, or -1 when it
// could not be cached. 1 when stored.
int32_t PronCache_AddPron(PronCache* cache, uint16_t pronId, uint32_t position, uint32_t emptyPosition,
                          const uint16_t* phonemes, const uint16_t* expanded, int32_t length, int32_t* slot);
// Stores a ready-made expanded string (ended by 0x7FFF in the cache).
int32_t PronCache_AddExpandedPron(PronCache* cache, uint16_t pronId, const uint16_t* expanded, int32_t length);

uint32_t PronCache_ComputeCRC(const PronCache* cache);
// Sub-file "bpc0". Reading checks the record whole before it replaces the
// cache's tables; on failure the cache is as it was.
int32_t PronCache_ReadBinFile(PronCache* cache, DVKTar* archive, const char* prefix);
int32_t PronCache_WriteBinFile(PronCache* cache, DVKTar* archive, const char* prefix);
