// The word list of one language behind a table of 60 operations, so the
// vocabulary reaches the plain and the compressed stores alike. Every word
// list begins with its own copy of its store's table; callers use the MWL_
// dispatchers, never the slots.
//
// Word ids 0 .. N-1 are the stored words in key order, ids from N upward the
// run-time words; 0xFFFFFF is no word. Texts are UTF-16 ended by 0, prons
// 16-bit phoneme ids ended by 0xFFFF.
#pragma once

#include "core/brevit/lexicon/pos_model.h"
#include "core/brevit/lexicon/pron_generator.h"
#include "core/brevit/runtime/dvk_tar.h"

#include <cstdint>

inline constexpr uint32_t kMWLNoWord = 0xFFFFFF;
inline constexpr int32_t kMWLSlotCount = 60;
// Parameter word 722: which store the language's "mwl" is.
inline constexpr uint32_t kMWLStoreCompressed = 1;
inline constexpr uint32_t kMWLStorePlain = 2;
// MWL_AddWordWithPronunciations.
inline constexpr int32_t kMWLAddDone = 0;
inline constexpr int32_t kMWLAddRefused = 2;

struct MWL;

struct MWLOps {
    void (*Delete)(MWL*);                                                           // 0
    int32_t (*GetCharacterEncoding)(const MWL*);                                   // 1
    const char* (*GetLanguage)(const MWL*);                                        // 2
    int32_t (*GetTokenizeType)(const MWL*);                                        // 3
    uint32_t (*GetId)(const MWL*, const uint16_t*, const uint16_t*, int32_t);      // 4
    int32_t (*GetIdsFromSpoken)(const MWL*, const uint16_t*, uint32_t*, int32_t, int32_t);  // 5
    uint32_t (*GetNextDynamicId)(const MWL*, uint32_t*);                           // 6
    int32_t (*GetMaxSurfaceFormLength)(const MWL*);                                // 7
    int32_t (*GetMaxSpokenFormLength)(const MWL*);                                 // 8
    int32_t (*GetSurfaceAndSpokenForms)(const MWL*, uint32_t, uint16_t*, uint16_t*);  // 9
    void (*GetOrthographies)(const MWL*, const uint32_t*, int32_t, uint16_t* const*,
                             uint16_t* const*);                                    // 10
    int32_t (*GetNumMatches)(const MWL*, int32_t, int32_t, const uint16_t*);       // 11
    int32_t (*GetMatches)(const MWL*, int32_t, int32_t, const uint16_t*, uint32_t*, int32_t,
                          int32_t);                                                // 12
    int32_t (*GetMatchesAtStart)(const MWL*, int32_t, int32_t, const uint16_t*, uint32_t*,
                                 int32_t, int32_t);                                // 13
    int32_t (*GetUnigramScore)(const MWL*, uint32_t);                              // 14
    int32_t (*GetClassId)(const MWL*, uint32_t);                                   // 15
    int32_t (*GetAttributes)(const MWL*, uint32_t);                                // 16
    int32_t (*GetAffixId)(const MWL*, uint32_t);                                   // 17
    int32_t (*GetSemanticId)(const MWL*, uint32_t);                                // 18
    int32_t (*GetWordTypeFlags)(const MWL*, uint32_t);                             // 19
    int32_t (*GetFreeRecogPhonemeId)(MWL*);                                        // 20
    int32_t (*GetMaxMasterPronunciationLength)(const MWL*);                        // 21
    int32_t (*GetMaxRecogPronunciationLength)(const MWL*);                         // 22
    int32_t (*GetMaxNumPronunciations)(const MWL*);                                // 23
    int32_t (*GetRecogPronunciations)(const MWL*, uint32_t, int32_t, uint16_t* const*);  // 24
    int32_t (*GetMasterPronunciations)(const MWL*, uint32_t, int32_t, uint16_t* const*,
                                       int32_t*);                                  // 25
    int32_t (*GetTTSPosIds)(const MWL*, uint32_t, int32_t, int32_t*, int32_t*, int32_t*);  // 26
    void (*GetPosIdForPron)(const MWL*, uint32_t, int32_t, int32_t*);              // 27
    void (*MarkUsed)(MWL*, int32_t, const uint32_t*);                              // 28
    int32_t (*GetLeastRecentlyUnused)(const MWL*, int32_t, int32_t, uint32_t*);    // 29
    int32_t (*ConvertMasterToRecogPron)(const MWL*, const uint16_t*, uint16_t*);   // 30
    int32_t (*IsPronunciationLegal)(const MWL*, const uint16_t*);                  // 31
    uint32_t (*AddWord)(MWL*, const uint16_t*, const uint16_t*, const uint16_t* const*, int32_t,
                        int32_t);                                                  // 32
    uint32_t (*AddWordWithPronunciations)(MWL*, const uint16_t*, const uint16_t*, int32_t,
                                          const uint16_t* const*, int32_t, int32_t);  // 33
    int32_t (*RemoveWord)(MWL*, uint32_t, int32_t*);                               // 34
    const uint8_t* (*GetRecogPhonemeRefCounts)(const MWL*);                        // 35
    int32_t (*IsWordRemovable)(const MWL*, uint32_t);                              // 36
    int32_t (*IsWordIdInUse)(const MWL*, uint32_t);                                // 37
    void* unused38;                                                                // 38
    int32_t (*AddMasterPronunciation)(MWL*, uint32_t, const uint16_t*);            // 39
    int32_t (*RemovePronunciation)(MWL*, uint32_t, int32_t, int32_t*);             // 40
    uint32_t (*GetNextMasterId)(const MWL*, uint32_t);                             // 41
    int32_t (*ContainsGender)(const MWL*);                                         // 42
    int32_t (*IsMasterPronunciationLegal)(const MWL*, const uint16_t*);            // 43
    int32_t (*GetGender)(const MWL*, uint32_t, int32_t);                           // 44
    uint32_t (*ComputeCRC)(const MWL*);                                            // 45
    uint32_t (*GetRecogPhonemeSetCRC)(const MWL*);                                 // 46
    uint32_t (*GetMasterPhonemeSetCRC)(const MWL*);                                // 47
    uint32_t (*GetSemanticSetCRC)(const MWL*);                                     // 48
    uint32_t (*GetClingSetCRC)(const MWL*);                                        // 49
    int32_t (*GetCharSetBoundaryMasterPhonemeId)(const MWL*);                      // 50
    int32_t (*GetMaxMasterPhonemeId)(const MWL*);                                  // 51
    const char* (*GetMasterPhonemeName)(const MWL*, int32_t);                      // 52
    const char* (*GetRecogPhonemeName)(const MWL*, int32_t);                       // 53
    void (*PrintStatistics)(const MWL*);                                           // 54
    int32_t (*WritePSAFile)(const MWL*, DVKTar*, const char*);                     // 55
    int32_t (*ReadPSAFile)(MWL*, DVKTar*, const char*);                            // 56
    void* unused57;                                                                // 57
    void* unused58;                                                                // 58
    void (*DisplayDynamicInfo)(const MWL*);                                        // 59
};

static_assert(sizeof(MWLOps) == kMWLSlotCount * sizeof(void*));

// The store's fields follow the table in the store's own structure.
struct MWL {
    MWLOps ops;
};

// Creation. Word 722 of the current parameter block picks the store: 1 the
// compressed one, 2 the plain one; any other value gives null. The sub-file is prefix + "mwl".
MWL* MWL_CreateFromBinFile(DVKTar* tar, const char* prefix, const PG* generator,
                           const POS* posModel);
// The same under prefix + "x".
MWL* MWL_ReadSupplementaryMWL(DVKTar* tar, const char* prefix, const PG* generator,
                              const POS* posModel);
// An empty list through the optional-module table (type 1 compressed, 2
// plain); null when no such module is there.
MWL* MWL_Create(DVKTar* tar, const char* prefix, const PG* generator, int32_t type);
MWL* MWL_CreateSupplementaryMWL(DVKTar* tar, const char* prefix, const PG* generator,
                                int32_t type);
// Signatures of the optional-module table's creation entries.
typedef MWL* (*MWLCreateFunc)(DVKTar* tar, const char* prefix, const PG* generator);

void MWL_Delete(MWL* list);
int32_t MWL_GetCharacterEncoding(const MWL* list);
const char* MWL_GetLanguage(const MWL* list);
int32_t MWL_GetTokenizeType(const MWL* list);
uint32_t MWL_GetId(const MWL* list, const uint16_t* surface, const uint16_t* spoken,
                   int32_t staticOnly);
int32_t MWL_GetIdsFromSpoken(const MWL* list, const uint16_t* spoken, uint32_t* ids,
                             int32_t capacity, int32_t countAll);
uint32_t MWL_GetNextDynamicId(const MWL* list, uint32_t* cursor);
int32_t MWL_GetMaxSurfaceFormLength(const MWL* list);
int32_t MWL_GetMaxSpokenFormLength(const MWL* list);
int32_t MWL_GetSurfaceAndSpokenForms(const MWL* list, uint32_t id, uint16_t* surface,
                                     uint16_t* spoken);
int32_t MWL_GetNumMatches(const MWL* list, int32_t caseFlag, int32_t exactLength,
                          const uint16_t* text);
int32_t MWL_GetMatches(const MWL* list, int32_t caseFlag, int32_t exactLength,
                       const uint16_t* text, uint32_t* ids, int32_t capacity, int32_t staticOnly);
// Slot 13, or, when a store leaves it empty, slot 12 over every prefix of at
// least minLength characters.
int32_t MWL_GetMatchesAtStart(const MWL* list, int32_t caseFlag, int32_t minLength,
                              const uint16_t* text, uint32_t* ids, int32_t capacity,
                              int32_t staticOnly);
int32_t MWL_GetUnigramScore(const MWL* list, uint32_t id);
int32_t MWL_GetClassId(const MWL* list, uint32_t id);
int32_t MWL_GetAttributes(const MWL* list, uint32_t id);
int32_t MWL_GetAffixId(const MWL* list, uint32_t id);
int32_t MWL_GetSemanticId(const MWL* list, uint32_t id);
int32_t MWL_GetWordTypeFlags(const MWL* list, uint32_t id);
int32_t MWL_GetFreeRecogPhonemeId(MWL* list);
int32_t MWL_GetMaxMasterPronunciationLength(const MWL* list);
int32_t MWL_GetMaxRecogPronunciationLength(const MWL* list);
int32_t MWL_GetMaxNumPronunciations(const MWL* list);
int32_t MWL_GetRecogPronunciations(const MWL* list, uint32_t id, int32_t capacity,
                                   uint16_t* const* prons);
int32_t MWL_GetMasterPronunciations(const MWL* list, uint32_t id, int32_t capacity,
                                    uint16_t* const* prons, int32_t* posIds);
int32_t MWL_GetTTSPosIds(const MWL* list, uint32_t id, int32_t capacity, int32_t* posIds,
                         int32_t* pronIndices, int32_t* count);
void MWL_GetPosIdForPron(const MWL* list, uint32_t id, int32_t pronIndex, int32_t* posId);
void MWL_MarkUsed(MWL* list, int32_t count, const uint32_t* ids);
int32_t MWL_GetLeastRecentlyUnused(const MWL* list, int32_t mask, int32_t capacity,
                                   uint32_t* ids);
int32_t MWL_ConvertMasterToRecogPron(const MWL* list, const uint16_t* master, uint16_t* recog);
int32_t MWL_IsPronunciationLegal(const MWL* list, const uint16_t* pron);
uint32_t MWL_AddWord(MWL* list, const uint16_t* surface, const uint16_t* spoken,
                     const uint16_t* const* recogProns, int32_t count, int32_t flags);
// 2 and *id 0xFFFFFF when refused, else 0.
int32_t MWL_AddWordWithPronunciations(MWL* list, const uint16_t* surface, const uint16_t* spoken,
                                      int32_t count, const uint16_t* const* prons, int32_t flags,
                                      int32_t sharing, uint32_t* id);
int32_t MWL_RemoveWord(MWL* list, uint32_t id, int32_t* freed);
const uint8_t* MWL_GetRecogPhonemeRefCounts(const MWL* list);
int32_t MWL_IsWordRemovable(const MWL* list, uint32_t id);
int32_t MWL_IsWordIdInUse(const MWL* list, uint32_t id);
int32_t MWL_AddMasterPronunciation(MWL* list, uint32_t id, const uint16_t* pron);
int32_t MWL_RemovePronunciation(MWL* list, uint32_t id, int32_t pronIndex, int32_t* freed);
uint32_t MWL_GetNextMasterId(const MWL* list, uint32_t id);
int32_t MWL_ContainsGender(const MWL* list);
int32_t MWL_IsMasterPronunciationLegal(const MWL* list, const uint16_t* pron);
int32_t MWL_GetGender(const MWL* list, uint32_t id, int32_t pronIndex);
// -1 when the store gives no CRC.
uint32_t MWL_ComputeCRC(const MWL* list);
uint32_t MWL_GetRecogPhonemeSetCRC(const MWL* list);
uint32_t MWL_GetMasterPhonemeSetCRC(const MWL* list);
uint32_t MWL_GetSemanticSetCRC(const MWL* list);
uint32_t MWL_GetClingSetCRC(const MWL* list);
int32_t MWL_GetCharSetBoundaryMasterPhonemeId(const MWL* list);
int32_t MWL_GetMaxMasterPhonemeId(const MWL* list);
const char* MWL_GetMasterPhonemeName(const MWL* list, int32_t phoneme);
// No store names recognition phonemes: null.
const char* MWL_GetRecogPhonemeName(const MWL* list, int32_t phoneme);
int32_t MWL_WritePSAFile(const MWL* list, DVKTar* tar, const char* prefix);
int32_t MWL_ReadPSAFile(MWL* list, DVKTar* tar, const char* prefix);
void MWL_DisplayDynamicInfo(const MWL* list);
// Word lists are never written back: does nothing.
void MWL_WriteBinFile(const MWL* list, DVKTar* tar, const char* prefix);
