// The vocabulary: the one object through which the recogniser, the result
// code and the synthesiser reach everything lexical. It joins the word list
// (spellings, spoken forms, pronunciations), the active word list (the 16-bit
// word and pron ids the search works in), the optional n-gram model, the
// letter-to-sound generator, the part-of-speech model and the
// text-to-pronunciation table. Every word, pron or special token crosses its
// interface as a VocId whose top two bits give its kind:
//   01 pron id (bits 0-15), 10 active word id (bits 0-15),
//   11 word-list id (bits 0-23), 00 no word.
// The special values -1 no word, -2 silence, -3 sentence start, -4 sentence
// end and -5 start of document also carry kind 11.
#pragma once

#include "core/brevit/lexicon/active_word_list.h"
#include "core/brevit/lexicon/lexicon_engine_calls.h"
#include "core/brevit/lexicon/mwl.h"
#include "core/brevit/lexicon/pos_model.h"
#include "core/brevit/lexicon/pron_generator.h"
#include "core/brevit/runtime/dvk_tar.h"
#include "core/brevit/search/lid.h"
#include "core/brevit/search/lm.h"
#include "core/brevit/search/search_lexicon_calls.h"
#include "core/brevit/search/text_pron_table.h"

#include <cstdint>

inline constexpr const char* kVocSubFileTag = "voc";
inline constexpr int32_t kVocFlagBytes = 6;

inline constexpr uint32_t kVocKindMask = 0xC0000000u;
inline constexpr uint32_t kVocKindNone = 0x00000000u;
inline constexpr uint32_t kVocKindPron = 0x40000000u;
inline constexpr uint32_t kVocKindActive = 0x80000000u;
inline constexpr uint32_t kVocKindMaster = 0xC0000000u;

inline constexpr VocId kVocNoId = 0xFFFFFFFFu;           // -1
inline constexpr VocId kVocSilence = 0xFFFFFFFEu;        // -2
inline constexpr VocId kVocSentenceStart = 0xFFFFFFFDu;  // -3
inline constexpr VocId kVocSentenceEnd = 0xFFFFFFFCu;    // -4
inline constexpr VocId kVocStartDocument = 0xFFFFFFFBu;  // -5

// Active word ids of the special values.
inline constexpr int32_t kVocActiveStartDocument = 65531;
inline constexpr int32_t kVocActiveSentenceEnd = 65532;
inline constexpr int32_t kVocActiveSentenceStart = 65533;

// Voc_AddWord results beside 0.
inline constexpr int32_t kVocAddUnusable = 1;
inline constexpr int32_t kVocAddRefused = 2;

struct Cling;

struct Voc {
    MWL* wordList;
    AWL* activeWords;
    LM* languageModel;        // not the vocabulary's: never freed by it
    PG* generator;
    POS* posModel;
    Cling* textContext;
    LID* languageId;
    TextPronTable* textPron;
    // Prons of the last word asked for, grown on demand (2-D arrays).
    uint16_t** recogCache;
    uint16_t** masterCache;
};

// ---- creation, state, CRC ----
Voc* Voc_LoadFromBinFile(DVKTar* tar, const char* prefix);
int32_t Voc_ReadPSAFile(Voc* voc, DVKTar* tar, const char* prefix);
int32_t Voc_WritePSAFile(const Voc* voc, DVKTar* tar, const char* prefix);
uint32_t Voc_ComputeCRC(const Voc* voc);
// Adds the run-time words of a supplementary list whose master phoneme set
// matches the vocabulary's; nothing for a null list.
void Voc_MergeSupplementaryWords(Voc* voc, const MWL* supplementary);

uint32_t Voc_GetMasterPhonemeSetCRC(const Voc* voc);
uint32_t Voc_GetRecogPhonemeSetCRC(const Voc* voc);
uint32_t Voc_GetSemanticSetCRC(const Voc* voc);
uint32_t Voc_GetPOSSetCRC(const Voc* voc);
AWL* Voc_GetActiveWordList(const Voc* voc);
int32_t Voc_HasLM(const Voc* voc);
int32_t Voc_SupportsExternalPhonemes(const Voc* voc);
const char* Voc_GetLanguage(const Voc* voc);
const char* Voc_GetLanguageID(const Voc* voc, const uint16_t* text);
int32_t Voc_GetCharacterEncoding(const Voc* voc);
int32_t Voc_GetMaxSurfaceFormLength(const Voc* voc);
int32_t Voc_GetMaxSpokenFormLength(const Voc* voc);
int32_t Voc_GetMaxMasterPronunciationLength(const Voc* voc);
int32_t Voc_GetMaxRecogPronunciationLength(const Voc* voc);
int32_t Voc_GetMaxNumPronunciations(const Voc* voc);
const char* Voc_GetRecogPhonemeName(const Voc* voc, int32_t phoneme);
const char* Voc_GetMasterPhonemeName(const Voc* voc, int32_t phoneme);
int32_t Voc_GetMaxMasterPhonemeId(const Voc* voc);
int32_t Voc_GetFreeRecogPhonemeId(Voc* voc);
const uint8_t* Voc_GetRecogPhonemeRefCounts(const Voc* voc);
void Voc_DisplayDynamicInfo(const Voc* voc);

// ---- id conversions ----
VocId Voc_PronIdToVocId(const Voc* voc, int32_t pronId);
VocId Voc_MasterIdToVocId(const Voc* voc, uint32_t masterId);
uint32_t Voc_GetMasterId(const Voc* voc, VocId id);
int32_t Voc_GetActiveId(const Voc* voc, VocId id);
VocId Voc_GetNextId(const Voc* voc, VocId id);
int32_t Voc_IsSameWord(const Voc* voc, VocId a, VocId b);
int32_t Voc_IsWordIdInUse(const Voc* voc, VocId id);

// ---- word properties ----
int32_t Voc_GetWordTypeFlags(const Voc* voc, VocId id);
int32_t Voc_GetClassId(const Voc* voc, VocId id);
int32_t Voc_GetSemanticId(const Voc* voc, VocId id);
int32_t Voc_GetAffixId(const Voc* voc, VocId id);
int32_t Voc_GetAttributes(const Voc* voc, VocId id);
int32_t Voc_GetMasterPronunciations(const Voc* voc, VocId id, int32_t capacity,
                                    uint16_t* const* prons, int32_t* values);
int32_t Voc_GetRecogPronunciations(const Voc* voc, VocId id, int32_t capacity,
                                   uint16_t* const* prons);
int32_t Voc_GetTTSPosIds(const Voc* voc, VocId id, int32_t capacity, int32_t* posIds,
                         int32_t* pronIndices, int32_t* count);
int32_t Voc_GuessPOS(const Voc* voc, const uint16_t* text);

// ---- prons ----
int32_t Voc_GetPronIds(const Voc* voc, VocId id, uint16_t* buffer, int32_t size);
int32_t Voc_GetFirstPronId(const Voc* voc, VocId id);
int32_t Voc_GetAlternatePronIdFromActiveId(const Voc* voc, int32_t activeId, int32_t n);
int32_t Voc_IsPronIdActive(const Voc* voc, int32_t pronId);
int32_t Voc_IsActiveIdMapped(const Voc* voc, int32_t activeId);
int32_t Voc_GetNumActiveIds(const Voc* voc);
int32_t Voc_GetNumPronIds(const Voc* voc);
int32_t Voc_GetNumDynamicProns(const Voc* voc);
int32_t Voc_GetDynamicPronIds(const Voc* voc, uint16_t* buffer, int32_t n);
// The run-time pron ids (its callers count and sort prons).
int32_t Voc_GetDynamicActiveIds(const Voc* voc, uint16_t* buffer, int32_t n);
int32_t Voc_GetActiveIdLimit(const Voc* voc);
// The highest pron id in use (size pron-indexed tables with it + 1).
int32_t Voc_GetNumActiveEntries(const Voc* voc);
int32_t Voc_IsRunTimePron(const Voc* voc, int32_t pronId);
// The pron's recognition phonemes ended by 0xFFFF into output; its length,
// -1 when its word is unknown, 0 past the word's prons.
int32_t Voc_GetRecogPronunciation(Voc* voc, int32_t pronId, uint16_t* output);
int32_t Voc_GetMasterPronunciation(Voc* voc, int32_t pronId, uint16_t* output);
int32_t Voc_ConvertMasterToRecogPron(const Voc* voc, const uint16_t* master, int32_t size,
                                     uint16_t* output);
int32_t Voc_ConvertExternalPronunciation(const Voc* voc, void* written, const uint16_t* phonemes,
                                         const char* format, int32_t size, uint16_t* buffer);
int32_t Voc_GeneratePronunciations(const Voc* voc, const uint16_t* text, int32_t most,
                                   uint16_t* output, int32_t size);

// ---- spelling to id ----
VocId Voc_LookupMasterIdFromOrthography(const Voc* voc, const uint16_t* surface,
                                        const uint16_t* spoken);
VocId Voc_GetGarbageId(const Voc* voc);
int32_t Voc_LookupActiveIdFromOrthography(const Voc* voc, const uint16_t* surface,
                                          const uint16_t* spoken);
VocId Voc_LookupIdFromOrthography(const Voc* voc, const uint16_t* longName);
// The word list's full match count; at most max kind-11 ids copied out.
int32_t Voc_GetMatches(const Voc* voc, const uint16_t* text, int32_t caseFlag,
                       int32_t exactLength, int32_t staticOnly, int32_t max, VocId* ids);
int32_t Voc_GetMatchesAtStart(const Voc* voc, const uint16_t* text, int32_t caseFlag,
                              int32_t minLength, int32_t staticOnly, int32_t max, VocId* ids);
int32_t Voc_GetNumMatches(const Voc* voc, const uint16_t* text, int32_t caseFlag,
                          int32_t exactLength);
int32_t Voc_GetLeastRecentlyUsedIds(const Voc* voc, int32_t selector, int32_t n, VocId* ids);
void Voc_MarkUsed(Voc* voc, int32_t n, const VocId* ids);

// ---- id to text ----
void Voc_GetOrthography(const Voc* voc, VocId id, uint16_t* surface, uint16_t* spoken);
int32_t Voc_GetWordNameText(const Voc* voc, VocId id, int32_t size, char* output,
                            int32_t withIndex);
int32_t Voc_GetPronWordNameText(const Voc* voc, int32_t pronId, int32_t size, char* output,
                                int32_t withIndex);
void Voc_FormatTextFromIds(const Voc* voc, VocId id, int32_t count, const VocId* ids,
                           int32_t* flag, int32_t* result);
int32_t Voc_ConvertUnicodeOffsetsToEncodedOffsets(int32_t reserved, const char* encoded,
                                                  int32_t encoding, const uint16_t* text,
                                                  int32_t count, int32_t* offsets,
                                                  int32_t* lengths);
int32_t Voc_ConvertVocInternalOffsetsToUnicode(const Voc* voc, const uint16_t* text,
                                               const char* encoded, int32_t count,
                                               int32_t* offsets, int32_t* lengths);

// ---- changes ----
int32_t Voc_AddWord(Voc* voc, const uint16_t* surface, const uint16_t* spoken,
                    const uint16_t* pron, VocId* id, int32_t* added);
// The same with the pronunciation as one recognition phoneme string.
int32_t Voc_AddWordWithRecogPron(Voc* voc, const uint16_t* surface, const uint16_t* spoken,
                                 const uint16_t* recogPron, VocId* id, int32_t* added);
// A word added with pronunciations built from its surface text.
int32_t Voc_AddWordFromText(Voc* voc, const uint16_t* surface, VocId* id, int32_t* added);
int32_t Voc_AddPronunciation(Voc* voc, VocId id, const uint16_t* master);
int32_t Voc_ActivateMasterId(Voc* voc, uint32_t masterId);
int32_t Voc_RemoveActiveId(Voc* voc, int32_t activeId);
int32_t Voc_IsWordRemovable(const Voc* voc, VocId id);
int32_t Voc_RemoveWord(Voc* voc, VocId id, int32_t* freed);
int32_t Voc_RemovePronunciation(Voc* voc, int32_t pronId, int32_t* freed);
// Zeroed flags, one bit per run-time active id from *first (DVKMem_Free
// them); null when there are none.
uint8_t* Voc_CreateDynamicIdFlags(const Voc* voc, int32_t* first, int32_t* count);
int32_t Voc_RemoveUnreferencedWords(Voc* voc, const uint8_t* flags, int32_t first, int32_t count,
                                    int32_t fromWordList, int32_t* freed);
int32_t Voc_RemoveInactiveWordIds(Voc* voc, int32_t* freed);

// ---- tokenizing and phrases ----
// Voc_Tokenize is declared with the search's calls.
// No variants are made: 0.
int32_t Voc_CreateTokenVariants(const Voc* voc, int32_t kind, const uint16_t* text, int32_t count,
                                const uint32_t* ids, const int32_t* starts, int32_t capacity, uint32_t* out);

// A phrase as word-list ids, adding the words the list lacks (flag 1 for
// each id this call added): 0, or 1 when nothing usable, or the refused
// add's result (every word this call added removed again).
int32_t Voc_MakePhraseActive(Voc* voc, const uint16_t* text, int32_t mode, int32_t max, VocId* ids, int32_t* count,
                             int32_t* flags);

// A phrase's written and spoken texts split into words matching both (the
// written text alone when spoken is null or empty); the number written.
int32_t Voc_AlignSpokenPhrase(const Voc* voc, const uint16_t* surface, const uint16_t* spoken, int32_t keepPartial,
                              int32_t matchMode, int32_t max, VocId* ids, int32_t* surfaceStarts,
                              int32_t* surfaceLengths, int32_t* spokenStarts, int32_t* spokenLengths);
int32_t Voc_MakeSpokenPhraseActive(const Voc* voc, const uint16_t* surface, const uint16_t* spoken,
                                   int32_t keepPartial, int32_t matchMode, int32_t max, VocId* ids,
                                   int32_t* surfaceStarts, int32_t* surfaceLengths, int32_t* spokenStarts,
                                   int32_t* spokenLengths);

// ---- n-gram scoring ----
int32_t Voc_ScoreNGram(const Voc* voc, const uint16_t* history, int32_t n, int32_t activeId);
int32_t Voc_ScoreNGramRaw(const Voc* voc, const uint16_t* history, int32_t n, int32_t activeId);
int32_t Voc_ScorePronNGram(const Voc* voc, const uint16_t* history, int32_t n, int32_t pronId);
int32_t Voc_ScoreVocNGram(const Voc* voc, const VocId* history, int32_t n, VocId id);
int32_t Voc_ScoreNextWords(const Voc* voc, int32_t n, const uint16_t* history, int32_t count,
                           const uint16_t* candidates, int32_t key, int16_t* scores);
int32_t Voc_AdaptLM(const Voc* voc, int32_t contextCount, const VocId* context,
                    int32_t wordCount, const VocId* words);
int32_t Voc_CanFollow(const Voc* voc, int32_t a, int32_t b);

// The text-formatting context of the word after a sequence of word-list ids
// (first: in/out flag, second: result).
void Cling_LookupContext(const Cling* context, const uint32_t* ids, int32_t count, uint32_t id,
                         uint32_t* first, uint32_t* second, const MWL* list);
