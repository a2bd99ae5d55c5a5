// The run-time word store of a word list: words added while the engine runs
// (surface and spoken text, pronunciations), pronunciations added to static
// words, and master and recognition phonemes defined at run time, with the
// recency marks that choose words to drop. Saved and restored as "bmd1".
//
// Texts are stored encoded (mwl_text_encoding.h), prons in the compact byte
// form of mwl_util.h. Per-record arrays and both byte stores are chunked
// arrays of 256 elements per chunk grown by DVKMem_GrowChunkedArray. Word ids
// are 24-bit; 0xFFFFFF is no word.
//
// Memory: creation and adds take engine memory without raising (failure is
// answered, the store unchanged); temporary buffers come from the current
// scratch stack, whose own growth raises the engine error.
#pragma once

#include "core/brevit/lexicon/mwl_text_encoding.h"
#include "core/brevit/lexicon/pron_generator.h"
#include "core/brevit/runtime/bin_file_writer.h"
#include "core/brevit/runtime/dvk_tar.h"
#include "core/brevit/search/phone_rewrite.h"

#include <cstdint>

inline constexpr const char* kMWLDynamicSubFileTag = "bmd1";
inline constexpr uint32_t kMWLDynamicNoWord = 0xFFFFFF;
// Ids above it are kept for other uses of the vocabulary.
inline constexpr uint32_t kMWLDynamicLastId = 0xFFFFFA;
// A record's text or pron offset when it has none.
inline constexpr uint32_t kMWLDynamicNoOffset = 0xFFFFFFFF;
inline constexpr uint16_t kMWLDynamicNoPhoneme = 0xFFFF;
inline constexpr uint32_t kMWLDynamicChunkLength = 256;
inline constexpr int32_t kMWLDynamicMostProns = 200;
// Text-order entries are 16-bit record indices.
inline constexpr uint32_t kMWLDynamicMostRecords = 65536;
// Use counts.
inline constexpr uint8_t kMWLDynamicFree = 255;
inline constexpr uint8_t kMWLDynamicSaturated = 254;
// Class bytes besides the spelling codes of mwl_code.h.
inline constexpr uint8_t kMWLDynamicNoClass = 128;

// A chunk table of 256-element chunks, the chunks allocated and the table's
// capacity in chunks.
struct MWLDynamicChunks {
    void** table;
    uint32_t chunks;
    uint32_t capacity;
};

struct MWLDynamicRecord {
    uint32_t textOffset;   // kMWLDynamicNoOffset: no texts (a static word's record)
    uint32_t pronOffset;   // kMWLDynamicNoOffset: no stored prons
    uint32_t wordId;
};

struct MWLDynamicMaxima {
    int32_t surface;          // longest surface text + 1, characters
    int32_t encodedSurface;   // longest encoded surface text, bytes
    int32_t spoken;           // longest spoken text, characters
    int32_t masterPron;       // phonemes
    int32_t recogPron;        // phonemes
    int32_t pronsOnRecord;    // most prons stored on one record
    int32_t pronsOfWord;      // most prons of any word, static ones included
};

struct MWLDynamic {
    uint32_t keepProns;             // 0: a pron the generator gives again is not stored
    const PG* generator;            // not owned; may be null
    uint32_t exactText;             // class bytes kept, surfaces stored as case-folded keys
    uint32_t signature;             // the word list's identity; "bmd1" must carry it
    MWLDynamicChunks records;       // MWLDynamicRecord, by word id ascending
    uint32_t recordCount;
    int32_t highestId;              // highest run-time id of a record; first id - 1 without
    MWLDynamicChunks textOrder;     // u16 record indices, by encoded surface (byte order)
    uint32_t textOrderCount;
    MWLDynamicChunks classBytes;    // u8 per record, only with exactText
    MWLDynamicChunks texts;         // surface 0 spoken 0 [exact 0] per record with texts
    uint32_t textUsed;
    MWLDynamicChunks prons;         // count byte, then the encoded prons, per record with prons
    uint32_t pronUsed;
    MWLDynamicMaxima maxima;
    MWLDynamicChunks types;         // u8 per record: the word type given at the add
    MWLDynamicChunks recency;       // u8 per record: the clock when last marked used
    uint32_t clock;
    uint16_t marker;                // master phoneme kept out of stored prons; 0xFFFF none
    MWLDynamicChunks markerPositions;  // u8 per record, only with a marker: 1-based, 254 none
    int32_t slotCount;              // S: master phonemes that can be added
    int32_t recogCount;             // R: recognition phonemes that can be added
    uint16_t* pool;                 // expansions of the added master phonemes
    uint32_t poolUsed;
    uint32_t poolCapacity;
    uint32_t* slotOffsets;          // S + 2 entries: slot k is [k, k + 1)
    uint16_t highestSlot;
    uint8_t* recogCounts;           // R use counts, 255 free
    uint8_t* slotCounts;            // S use counts, 255 free
    int32_t firstId;                // first run-time word id
    int32_t staticRecogCount;
    int32_t staticMasterCount;
    const PhoneRewrite* staticExpansions;   // the list's rules; not owned; may be null
    MWLDynamicEncodings encodings;
};

// An empty store sized by parameter words 714-725 of the current block.
// Null when memory runs out, or when word 714 or 724 does not fit the
// stored 16-bit offsets and slot numbers.
MWLDynamic* MWLDynamic_Create(int32_t firstId, int32_t mostProns, int32_t staticRecogCount,
                              int32_t staticMasterCount, const PhoneRewrite* staticExpansions,
                              int32_t exactText, int32_t encoding, const char* language,
                              const PG* generator, uint16_t marker, uint32_t signature);
// A store meant to hold one word per master phoneme of source: N = static
// master count + source's highest slot (through count), S = N + 1, the
// source's used pool copied.
MWLDynamic* MWLDynamic_CreatePhonemeMWL(int32_t firstId, int32_t mostProns,
                                        int32_t staticRecogCount, int32_t staticMasterCount,
                                        const PhoneRewrite* staticExpansions, int32_t exactText,
                                        int32_t encoding, const char* language,
                                        const PG* generator, uint16_t marker,
                                        uint32_t signature, const MWLDynamic* source,
                                        int32_t* count);
void MWLDynamic_Delete(MWLDynamic* store);

bool MWLDynamic_HasAddedRecords(const MWLDynamic* store);
// Binary search by id: true when found; index is the record's or where it
// would go.
bool MWLDynamic_FindRecord(const MWLDynamic* store, uint32_t id, uint32_t* index);
bool MWLDynamic_IsWordIdInUse(const MWLDynamic* store, uint32_t id);
int32_t MWLDynamic_GetWordTypeFlags(const MWLDynamic* store, uint32_t id);
// 0xFFFFFF or the last static id: the first run-time record; another id:
// the record after its own, or the first record above an id without one.
uint32_t MWLDynamic_GetNextMasterId(const MWLDynamic* store, uint32_t id);
// The next run-time id from record index *cursor, which moves past it.
uint32_t MWLDynamic_GetNextDynamicId(const MWLDynamic* store, uint32_t* cursor);
int32_t MWLDynamic_GetMaxNumPronunciations(const MWLDynamic* store);
const uint8_t* MWLDynamic_GetRecogPhonemeRefCounts(const MWLDynamic* store);
uint16_t MWLDynamic_GetHighestMasterSlot(const MWLDynamic* store);
void MWLDynamic_GetMasterExpansionTable(const MWLDynamic* store, const uint16_t** pool,
                                        const uint32_t** slotOffsets, int32_t* highestSlot);

// Takes the first free recognition phoneme (its count becomes 0); 65535 none.
uint16_t MWLDynamic_GetFreeRecogPhonemeId(MWLDynamic* store);
// Defines a master phoneme by its expansion of length entries, the closing
// 0xFFFF included: its id, or 65535 (no free slot, no room in the pool, or
// an expansion that is not ended by its last entry or names a recognition
// phoneme past the added ones).
uint16_t MWLDynamic_AddMasterPhoneme(MWLDynamic* store, int32_t length, const uint16_t* expansion);
// Every added id names an allocated slot.
bool MWLDynamic_IsPronunciationLegal(const MWLDynamic* store, const uint16_t* pron);

// A new word: its id, or 0xFFFFFF when refused (nothing changed). The four
// maxima of the list are raised.
uint32_t MWLDynamic_AddWordWithPronunciations(MWLDynamic* store, const uint16_t* surface,
                                              const uint16_t* spoken,
                                              const uint16_t* const* prons, int32_t count,
                                              int32_t* maxSurface, int32_t* maxSpoken,
                                              int32_t* maxMaster, int32_t* maxRecog,
                                              int32_t type, int32_t deferProns);
// A pron added to any word; staticProns: the word's static prons. 1 done, 0
// refused (nothing changed).
int32_t MWLDynamic_AddMasterPronunciation(MWLDynamic* store, uint32_t id, const uint16_t* pron,
                                          int32_t staticProns, int32_t* maxMaster,
                                          int32_t* maxRecog);
// 1 removed, 0 for a static id or an id without a record. freed: a
// recognition phoneme became free.
int32_t MWLDynamic_RemoveWord(MWLDynamic* store, uint32_t id, int32_t* freed);
// Removes pron index (static ones counted first); the only stored pron takes
// its record along. 0 when the id has no record or the index names no
// stored pron.
int32_t MWLDynamic_RemovePronunciation(MWLDynamic* store, uint32_t id, int32_t index,
                                       int32_t staticProns, int32_t* freed);
// Up to most prons into buffers of length units each (marker put back); a
// pron that does not fit ends the call. The prons written.
int32_t MWLDynamic_GetMasterPronunciations(const MWLDynamic* store, uint32_t id,
                                           uint16_t* const* buffers, int32_t most,
                                           int32_t length);
// The text a record's pron is generated from (spoken, else the surface as
// written) into out of size units: 1, or 0 without texts or room.
int32_t MWLDynamic_GetPronText(const MWLDynamic* store, uint32_t index, uint16_t* out,
                               int32_t size);
// Forms of a run-time word (any output may be null): the surface as written
// (maxima.surface units), its encoded key (maxima.encodedSurface + 1 bytes),
// the spoken form (maxima.spoken + 1 units). 0 without texts.
int32_t MWLDynamic_GetSurfaceAndSpokenForms(const MWLDynamic* store, uint32_t id,
                                            uint16_t* surface, uint8_t* encodedSurface,
                                            uint16_t* spoken);
uint32_t MWLDynamic_GetId(const MWLDynamic* store, const uint16_t* surface,
                          const uint16_t* spoken);
int32_t MWLDynamic_GetIdsFromSpoken(const MWLDynamic* store, const uint16_t* spoken,
                                    uint32_t* ids, int32_t size, int32_t countAll);
// Records whose key equals the text's. textCode: 0 matches every case
// variant; else the text's spelling code (128 caseless), matched by
// MWLCode_MatchesSpelling. stop: end once size ids are counted.
int32_t MWLDynamic_GetMatches(const MWLDynamic* store, const uint16_t* text, int32_t textCode,
                              uint32_t* ids, int32_t size, int32_t stop);
// Records whose key begins the text's and spans at least its first length
// characters.
int32_t MWLDynamic_GetMatchesAtStart(const MWLDynamic* store, const uint16_t* text,
                                     int32_t length, uint32_t* ids, int32_t size);
// First text-order position whose surface is not below the encoded key.
uint32_t MWLDynamic_FindTextPosition(const MWLDynamic* store, const uint8_t* key);

void MWLDynamic_MarkUsed(MWLDynamic* store, int32_t count, const uint32_t* ids);
// Filter bit 0: words of type 0, bit 1: other types. The size oldest, oldest
// first.
int32_t MWLDynamic_GetLeastRecentlyUnused(const MWLDynamic* store, int32_t filter, int32_t size,
                                          uint32_t* ids);

uint32_t MWLDynamic_ComputeCRC(const MWLDynamic* store);
// "bmd1" under prefix. Reading fills a new store and takes it over only when
// the whole file was read and is consistent; 0 leaves the store as it was.
int32_t MWLDynamic_ReadPSAFile(MWLDynamic* store, DVKTar* tar, const char* prefix);
int32_t MWLDynamic_WritePSAFile(const MWLDynamic* store, DVKTar* tar, const char* prefix);
// One record of the file (three words).
int32_t readOneAddedRec4(BinFileReader* reader, int32_t swap, void* element);
int32_t writeOneAddedRec4(BinFileWriter* writer, int32_t swap, const void* element);
// After a read: the highest run-time id from the records, the list's four
// maxima raised to the store's.
void MWLDynamic_AfterRead(MWLDynamic* store, int32_t* maxSurface, int32_t* maxSpoken,
                          int32_t* maxMaster, int32_t* maxRecog);
void MWLDynamic_DisplayInfo(const MWLDynamic* store);
