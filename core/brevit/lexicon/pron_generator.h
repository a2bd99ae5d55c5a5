// Letter-to-sound pronunciation generators: one object head and one common
// header shared by every kind, used only through the PG_ operations. A kind
// embeds PG as its first member. Master prons are 16-bit ids each ended by
// 0xFFFF, one after another; an empty result is a single 0xFFFF.
#pragma once

#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/dvk_tar.h"
#include "core/brevit/search/lm_rewrite.h"
#include "core/brevit/search/phone_rewrite.h"

#include <cstdint>

inline constexpr const char* kPGSubFileTag = "bpm0";
inline constexpr int32_t kPGTypeTree = 0;
inline constexpr int32_t kPGTypeKorean = 1;
inline constexpr int32_t kPGTypeChinese = 2;
inline constexpr int32_t kPGTypeJapanese = 3;
inline constexpr int32_t kPGTypeSelector = 4;
inline constexpr int32_t kPGTypeScriptSplit = 5;
// Generators nest (selector and script-split hold others): the levels one
// file may stack, the outermost counting as 1.
inline constexpr int32_t kPGMaxNesting = 4;
inline constexpr uint16_t kPGPronEnd = 0xFFFF;

struct PG;

typedef void (*PGDeleteFunc)(PG* generator);
// (generator, text, word class, output, room, scores, most prons, needed room)
typedef int32_t (*PGTextToMasterPronFunc)(const PG* generator, const uint16_t* text,
                                          int32_t wordClass, uint16_t* output, int32_t room,
                                          int32_t* scores, int32_t most, int32_t* needed);
typedef uint32_t (*PGComputeCRCFunc)(const PG* generator);

struct PGCommon {
    int32_t scale;
    LMRewrite* mainRewrite;        // code -> master phonemes (owned)
    int32_t headerValue;
    uint16_t stressId;
    uint16_t syllableId;
    uint32_t thirdValue;
    LMRewrite* classRewrite;       // class id -> its phonemes; with a vowel class (owned)
    uint16_t vowelClass;
    uint16_t noSplitClass;
    uint16_t ruleWildcard;
    int32_t ruleCount;             // syllable-split rules
    uint8_t* ruleLengths;          // per rule: phonemes it puts into the next syllable (owned)
    int32_t ruleSymbolCount;
    uint16_t* ruleSymbols;         // per rule: class ids ended by 0xFFFF (owned)
    PhoneRewrite* phoneRewrite;    // applied to every pron; optional (owned)
};

struct PG {
    uint32_t owner;                // set: PG_Delete leaves the object alone
    PGDeleteFunc free;
    PGTextToMasterPronFunc textToMasterPron;
    PGComputeCRCFunc computeCRC;
    PGCommon common;
};

// Opens "bpm0" of the archive (name prefix may be null) and loads it.
PG* PG_LoadFromBinFile(DVKTar* tar, const char* prefix);
// A type word, then that kind (0 to 5); an unknown word yields null.
PG* PG_Load(BinFileReader* reader);
// The same for a generator depth levels down (PG_Load is depth 1); null
// past kPGMaxNesting.
PG* PG_LoadNested(BinFileReader* reader, int32_t depth);
// Up to most prons of the text (full-width forms read as normal width) into
// output of room entries, one score each; 0 and the empty pron when none.
// needed (may be null) receives the room all prons would need when room ran
// out, else 0. room below 1: 0, nothing written.
int32_t PG_TextToMasterPron(const PG* generator, const uint16_t* text, int32_t wordClass,
                            uint16_t* output, int32_t room, int32_t* scores, int32_t most,
                            int32_t* needed);
// The text decoded from encoding 2, 3 or 5 first; 0 and the empty pron
// when it does not decode.
int32_t PG_TextToMasterPronFromEncoded(const PG* generator, const char* text, int32_t encoding,
                                       int32_t wordClass, uint16_t* output, int32_t room,
                                       int32_t* scores, int32_t most, int32_t* needed);
uint32_t PG_ComputeCRC(const PG* generator);
void PG_Delete(PG* generator);
int32_t PG_GetScale(const PG* generator);
uint16_t PG_GetStressPhonemeId(const PG* generator);
uint16_t PG_GetSyllablePhonemeId(const PG* generator);
uint32_t PG_GetHeaderValue(const PG* generator);

// The common header; 0 on a failed or inconsistent record (what was read
// stays in common for PG_FreeCommon).
int32_t PG_ReadCommon(BinFileReader* reader, PGCommon* common);
void PG_FreeCommon(PGCommon* common);
uint32_t PG_ComputeCommonCRC(const PGCommon* common);
// Rewrites the count prons of buffer by the phone rewrite, keeping those
// that come out non-empty and fit, in order, within room; the number kept
// (0 leaves the empty pron).
int32_t PG_RewriteProns(const PG* generator, int32_t count, uint16_t* buffer, int32_t room);
// Stress marks moved onto the next vowel of their pron (dropped without
// one); a pron left empty is removed with its score. The prons left.
int32_t PG_PlaceStress(const PGCommon* common, uint16_t* buffer, int32_t count, int32_t* scores);
// Syllable marks at each pron's end and between its vowels; the buffer
// grows by at most max(1, vowels) entries per pron.
int32_t PG_MarkSyllables(const PGCommon* common, uint16_t* buffer, int32_t count);
// 1 when the phoneme is in class id of the class table.
bool PG_IsInClass(const PGCommon* common, uint16_t classId, uint16_t phoneme);
// A member of the vowel class that is not one of the two marks.
bool PG_IsVowel(const PGCommon* common, uint16_t phoneme);
