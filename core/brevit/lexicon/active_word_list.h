// Active word list: the 16-bit id spaces the search works in. Every word the
// recogniser may hypothesise has an active word id and every pronunciation
// of it a pron id; the word list behind them uses 24-bit word-list ids. A
// static part comes from "bacm0" of the model archive; a run-time part grows
// and shrinks as words and pronunciations are activated and removed, and is
// the user state saved and restored under the same sub-file name.
//
// Static active ids are 0..S-1 and static pron ids 0..P-1; run-time ones are
// S + slot and P + slot. 65535 is none, 65534 the silence word and pron.
#pragma once

#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/dvk_tar.h"

#include <cstdint>

struct DVKMemStack;

inline constexpr const char* kAWLSubFileTag = "bacm0";

inline constexpr uint16_t kAWLNone = 65535;
inline constexpr uint16_t kAWLSilence = 65534;
inline constexpr uint32_t kAWLNoMasterId = 0xFFFFFF;
// Highest run-time active id and pron id.
inline constexpr int32_t kAWLMaxActiveId = 65530;
inline constexpr int32_t kAWLMaxPronId = 65532;
// Elements per page of the run-time tables.
inline constexpr int32_t kAWLPageShift = 8;
inline constexpr int32_t kAWLPageLength = 1 << kAWLPageShift;

struct AWL {
    int32_t contiguous;         // static word-list ids are first + active id
    int32_t secondFlag;         // stored, not interpreted
    int32_t firstMasterId;
    int32_t lastMasterId;       // last id the bit set covers (-1 when empty)
    uint8_t* bitSet;            // bit k: word-list id first + k is statically active
    int32_t bitSetBytes;
    uint16_t* blockTable;       // set bits before each block
    int32_t blockCount;
    int32_t blockSpan;
    int32_t blockShift;
    uint32_t* masterIds;        // per static word (optional, overrides the bit set)
    int32_t staticWords;        // S
    int32_t staticProns;        // P
    uint16_t* pronToWord;       // per static pron, ascending
    uint8_t* pronCategories;    // per static pron: 0, 1 or 2 (optional)
    uint8_t* pronCounts;        // per static word (optional, with firstProns)
    uint16_t* firstProns;       // per static word

    uint32_t** words;           // word-list id per run-time slot, 0xFFFFFF free
    uint32_t wordCapacity;
    uint32_t wordPages;
    uint16_t** wordIndex;       // run-time slots sorted by word-list id
    uint32_t wordIndexCapacity;
    uint32_t wordIndexPages;
    int32_t wordCount;
    int32_t highestWordSlot;    // -1 when none
    int32_t cacheFlag;          // keep firstPronCache
    uint16_t** prons;           // active id per run-time pron slot, 65535 free
    uint32_t pronCapacity;
    uint32_t pronPages;
    uint16_t** pronIndex;       // run-time pron slots grouped by ascending active id
    uint32_t pronIndexCapacity;
    uint32_t pronIndexPages;
    uint16_t** firstPronCache;  // per active id: start of its run in pronIndex
    uint32_t cacheCapacity;
    uint32_t cachePages;
    uint8_t** positions;        // per run-time pron slot: its index among its word's prons
    uint32_t positionCapacity;
    uint32_t positionPages;
    int32_t pronCount;
    int32_t highestPronSlot;    // -1 when none
    int32_t highestCachedId;    // every active id with run-time prons is at most this
    uint32_t staticCRC;

    // Kept for the record's layout; no operation uses them.
    DVKMemStack* scratch;
    void* buffer1;
    void* buffer2;
};

// Walks one word's prons in AWL_GetNthPronId order.
struct AWLPronIdIterator {
    int32_t activeId;
    int32_t staticNext;    // next static pron id
    int32_t staticEnd;
    int32_t dynamicNext;   // next position in the run-time pron index
    int32_t dynamicEnd;
};

// ---- lookups ----
uint32_t AWL_GetMasterId(const AWL* list, int32_t activeId);
int32_t AWL_GetActiveIdFromMasterId(const AWL* list, uint32_t masterId);
// index (may be null) receives the pron's place among its word's prons.
int32_t AWL_GetActiveIdFromPronId(const AWL* list, int32_t pronId, int32_t* index);
int32_t AWL_GetNumProns(const AWL* list, int32_t activeId);
int32_t AWL_GetNthPronId(const AWL* list, int32_t activeId, int32_t n);
int32_t AWL_GetPronIds(const AWL* list, int32_t activeId, uint16_t* buffer, int32_t size);
void AWL_PronIdIteratorInit(const AWL* list, AWLPronIdIterator* iterator, int32_t activeId);
int32_t AWL_PronIdIteratorNext(const AWL* list, AWLPronIdIterator* iterator);
int32_t AWL_IsActiveIdMapped(const AWL* list, int32_t activeId);
int32_t AWL_IsPronIdInUse(const AWL* list, int32_t pronId);
int32_t AWL_IsDynamicPronInUse(const AWL* list, int32_t pronId);
int32_t AWL_IsDynamicActiveId(const AWL* list, int32_t activeId);
int32_t AWL_CanFollow(const AWL* list, int32_t pronA, int32_t pronB);

// ---- counts ----
int32_t AWL_GetNumActiveIds(const AWL* list);
int32_t AWL_GetNumPronIds(const AWL* list);
int32_t AWL_GetNumDynamicProns(const AWL* list);
int32_t AWL_GetFirstDynamicActiveId(const AWL* list);
// S + the highest used run-time word slot (the highest active id in use), at least 1.
int32_t AWL_GetActiveIdLimit(const AWL* list);
// P + the highest used run-time pron slot: the highest pron id in use.
int32_t AWL_GetPronIdLimit(const AWL* list);
int32_t AWL_HasDynamicPronRoom(const AWL* list);
// The first n run-time pron ids in use (slot order); the number written.
int32_t AWL_GetDynamicPronIds(const AWL* list, uint16_t* buffer, int32_t n);
// Word-list ids of the used run-time slots (slot order), at most n; the number written.
int32_t AWL_GetDynamicMWLIds(const AWL* list, uint32_t* buffer, int32_t n);

// ---- changes ----
// New active id, 65535 on failure (the lookups then answer as before).
int32_t AWL_AddActiveId(AWL* list, uint32_t masterId);
// New pron id of a mapped active id, 65535 on failure.
int32_t AWL_AddPron(AWL* list, int32_t activeId);
// 1 removed or already free, 0 refused (static, 65534, 65535).
int32_t AWL_RemoveActiveId(AWL* list, int32_t activeId, int32_t rebuildCache);
// 1 removed; 0 for a static pron, a free slot, or a run-time word's last pron.
int32_t AWL_RemovePron(AWL* list, int32_t pronId);
// Recomputes the first-pron cache from the pron index (after removals made
// without rebuilding it); nothing without the cache.
void AWL_RebuildFirstPronCache(AWL* list);

// ---- storage and life ----
AWL* AWL_LoadFromBinFile(DVKTar* tar, const char* prefix);
// The static part's records; null on a failed or inconsistent one.
AWL* AWL_Read(BinFileReader* reader);
AWL* AWL_CreateEmpty(void);
// The run-time part; 1 on success.
int32_t AWL_WritePSAFile(const AWL* list, DVKTar* tar, const char* prefix);
// Restores a saved run-time part into a list without run-time tables; on
// failure (0) the list is as it was.
int32_t AWL_ReadPSAFile(AWL* list, DVKTar* tar, const char* prefix);
uint32_t AWL_ComputeCRC(const AWL* list);
void AWL_Delete(AWL* list);
