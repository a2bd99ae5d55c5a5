// The recognition engine's public interface: every entry point takes the
// engine handle first (the engine-less ones an allocator record) and returns
// an EBrevit result code, 0 on success.
//
// Text conventions: words, spoken forms and phrases are zero-terminated
// UTF-16 (one uint16_t per character; a U suffix marks such arguments); file
// names, class, rule and constraint names, language codes and messages are
// zero-terminated 8-bit strings. Word-id sequences end with 0xFFFFFFFF.
// Utterance ids count from 0; 0xFFFFFFFE stands for the current utterance.
#pragma once

#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_watchdog.h"

#include <cstdint>

struct BrevitEngine;

// A 32-bit vocabulary id; its top two bits give its kind.
typedef uint32_t VocId;

typedef int32_t EBrevit;

inline constexpr EBrevit EBrevit_OK = 0;
// Null handle, broken engine, an engine error during the call, failed loading.
inline constexpr EBrevit EBrevit_EngineError = 1;
inline constexpr EBrevit EBrevit_MemoryError = 2;
// A model set or storage whose archive or version record fails its checks.
inline constexpr EBrevit EBrevit_StoredDataError = 3;
// A null or out-of-range argument, or a handle that is not an engine.
inline constexpr EBrevit EBrevit_BadArgument = 4;
// Not allowed while listening, recognising or during a recognition pass.
inline constexpr EBrevit EBrevit_WrongState = 7;
inline constexpr EBrevit EBrevit_NothingToSynthesize = 8;
inline constexpr EBrevit EBrevit_StorageWriteError = 9;
inline constexpr EBrevit EBrevit_BufferTooSmall = 10;
// No kept utterance data, or no enrollment session.
inline constexpr EBrevit EBrevit_NoData = 11;
inline constexpr EBrevit EBrevit_UtteranceNotUsable = 12;
inline constexpr EBrevit EBrevit_NoSuchUtterance = 13;
inline constexpr EBrevit EBrevit_FrameQueueOverflow = 14;
// The vocabulary or a decoder refused an addition.
inline constexpr EBrevit EBrevit_AdditionRefused = 15;
inline constexpr EBrevit EBrevit_WordNotAdded = 16;
inline constexpr EBrevit EBrevit_ConstraintReferenced = 17;
// Choice readers while a pass runs, or a choice beyond the list.
inline constexpr EBrevit EBrevit_NoResult = 18;

// ---- Engine object, version and watchdog ---------------------------------------------
// When allocatorOut is given it receives the allocator record and the
// record's held block is freed as well.
EBrevit Brevit_Destroy(BrevitEngine* engine, BrevitAllocator** allocatorOut);
EBrevit Brevit_ReleaseUnusedMemory(BrevitEngine* engine, int32_t level);
EBrevit Brevit_DiscardUtterance(BrevitEngine* engine, uint32_t utteranceId);
EBrevit Brevit_GetVersion(BrevitAllocator* allocator, int32_t* major, int32_t* minor,
                          int32_t* build);
EBrevit Brevit_GetFullVersion(BrevitAllocator* allocator, const char** text);
EBrevit Brevit_GetLanguageName(BrevitEngine* engine, int32_t size, char* buffer);
EBrevit Brevit_GetModelSetProperties(BrevitEngine* engine, uint32_t* first, uint32_t* second);
EBrevit Brevit_SetWatchDogCallback(BrevitEngine* engine, DVKWatchDogFunc callback,
                                   void* argument);
EBrevit Brevit_GetNumberStoredModelSets(BrevitAllocator* allocator, int32_t* count);
EBrevit Brevit_GetNthStoredModelSet(int32_t index, BrevitAllocator* allocator,
                                    int32_t languageSize, char* language,
                                    uint32_t* propertyWord1, uint32_t* propertyWord2);

// ---- Creation and model sets --------------------------------------------------------
EBrevit Brevit_CreateFromBinFile(const char* path, BrevitAllocator* allocator,
                                 BrevitEngine** engine);
EBrevit Brevit_CreateFromBinFilePair(const char* pathA, const char* pathB,
                                     BrevitAllocator* allocator, BrevitEngine** engine);
EBrevit Brevit_GetBinFileModelSetInfo(const char* path, BrevitAllocator* allocator,
                                      int32_t* majorVersion, int32_t* secondMinorVersion,
                                      int32_t languageSize, char* language,
                                      uint32_t* propertyWord1, uint32_t* propertyWord2,
                                      int32_t* synthesisEncoding, int32_t* sampleRate);

// ---- User-state storage -------------------------------------------------------------
EBrevit Brevit_SaveToStorage(BrevitEngine* engine, const char* path);
EBrevit Brevit_SaveToStoragePair(BrevitEngine* engine, const char* pathA, const char* pathB);
EBrevit Brevit_LoadFromStorage(BrevitEngine* engine, const char* path);
EBrevit Brevit_LoadFromStoragePair(BrevitEngine* engine, const char* pathA, const char* pathB);

// ---- Client data and CRCs -----------------------------------------------------------
EBrevit Brevit_ClearAllClientData(BrevitEngine* engine);
EBrevit Brevit_ClearClientDataItem(BrevitEngine* engine, const char* name);
EBrevit Brevit_GetClientDataInfo(BrevitEngine* engine, const char* name, int32_t* length);
EBrevit Brevit_GetClientDataItem(BrevitEngine* engine, const char* name, void* buffer);
EBrevit Brevit_SetClientDataItem(BrevitEngine* engine, const char* name, int32_t length,
                                 const void* data);
EBrevit Brevit_ComputeCRC(BrevitEngine* engine, int32_t flag, uint32_t* crc);
EBrevit Brevit_ComputeCRCArray(BrevitEngine* engine, int32_t flag, const uint32_t** array,
                               int32_t* count);

// ---- Constraints and classes --------------------------------------------------------
EBrevit Brevit_FindConstraint(BrevitEngine* engine, const char* name, int32_t* index);
EBrevit Brevit_GetConstraintName(BrevitEngine* engine, int32_t index, const char** name);
EBrevit Brevit_CreateEmptyClassPairConstraint(BrevitEngine* engine, const char* name,
                                              int32_t classCapacity,
                                              int32_t transitionCapacity, int32_t option,
                                              int32_t* index);
EBrevit Brevit_AddClassPairTransition(BrevitEngine* engine, int32_t index,
                                      const char* fromClass, const char* toClass,
                                      int32_t weight, int32_t* transitionId);
// wordList: none, or word ids ended by 0xFFFFFFFF.
EBrevit Brevit_CreateWholeVocConstraint(BrevitEngine* engine, const VocId* wordList,
                                        int32_t* index);
EBrevit Brevit_CreatePhraseConstraint(BrevitEngine* engine, int32_t wordCount,
                                      const VocId* wordIds, int32_t* index);
EBrevit Brevit_CreateConstraintFromGrammar(BrevitEngine* engine, const char* ruleName,
                                           const char* constraintName, int32_t* index);
EBrevit Brevit_OptimizeConstraints(BrevitEngine* engine, int32_t count,
                                   const int32_t* indices, const char* className,
                                   int32_t* outIndices);
EBrevit Brevit_DeleteConstraint(BrevitEngine* engine, int32_t index);
EBrevit Brevit_DeleteAllConstraints(BrevitEngine* engine);
EBrevit Brevit_AddClass(BrevitEngine* engine, const char* name, int32_t sizeHint1,
                        int32_t sizeHint2, int32_t option1, int32_t option2, int32_t kind,
                        int32_t* classId);
EBrevit Brevit_ClassExists(BrevitEngine* engine, const char* name, int32_t* exists);
EBrevit Brevit_ClassGetNumMembers(BrevitEngine* engine, const char* name, int32_t* count);
EBrevit Brevit_AddConstraintAliasClass(BrevitEngine* engine, const char* className,
                                       int32_t constraintIndex);
EBrevit Brevit_CreateClassFromGrammar(BrevitEngine* engine, const char* className,
                                      const char* ruleName, int32_t* created);
EBrevit Brevit_AddClassMemberFromIds(BrevitEngine* engine, const char* className,
                                     int32_t wordCount, const VocId* wordIds, int32_t weight,
                                     int32_t flag, int32_t* memberId);
EBrevit Brevit_AddClassMemberU(BrevitEngine* engine, const char* className,
                               const uint16_t* text, int32_t textOption, int32_t weight,
                               int32_t flag, int32_t* memberId);
EBrevit Brevit_RemoveClassMember(BrevitEngine* engine, const char* className,
                                 int32_t wordCount, const VocId* wordIds, int32_t* removed);
EBrevit Brevit_RemoveClassMembers(BrevitEngine* engine, const char* className, int32_t* count);
EBrevit Brevit_RemoveUnreferencedClasses(BrevitEngine* engine, int32_t* count);
EBrevit Brevit_FindBestParse(BrevitEngine* engine, int32_t constraintCount,
                             const int32_t* constraintIndices, int32_t wordCount,
                             const VocId* wordIds, int32_t* bestIndex, uint32_t* classIds,
                             int32_t* cost);
EBrevit Brevit_FindBestParseAndBoundaries(BrevitEngine* engine, int32_t constraintCount,
                                          const int32_t* constraintIndices, int32_t wordCount,
                                          const VocId* wordIds, int32_t* bestIndex,
                                          uint32_t* classIds, int32_t* phraseStarts,
                                          int32_t* phraseLengths, int32_t* phraseCount,
                                          int32_t* cost);

// ---- Audio input and utterances -----------------------------------------------------
EBrevit Brevit_StartListening(BrevitEngine* engine, uint32_t* utteranceId);
EBrevit Brevit_StartListeningEnhanced(BrevitEngine* engine, int32_t mode, int32_t reset,
                                      int32_t ignored, uint32_t* utteranceId);
EBrevit Brevit_StartUtterance(BrevitEngine* engine, int32_t mode, int32_t reset,
                              int32_t ignored, uint32_t* utteranceId);
EBrevit Brevit_StopUtterance(BrevitEngine* engine, uint32_t utteranceId, int32_t end);
EBrevit Brevit_SplitUtterance(BrevitEngine* engine, uint32_t* newUtteranceId);
EBrevit Brevit_StopListening(BrevitEngine* engine);
// status: 0 no speech yet, 1 speech seen, 2 end of speech found or not listening.
EBrevit Brevit_PutWaveSamples(BrevitEngine* engine, const int16_t* samples, int32_t count,
                              int32_t* status);
EBrevit Brevit_GetSampleRate(BrevitEngine* engine, int32_t* hertz);
EBrevit Brevit_GetNumberSamplesInFrame(BrevitEngine* engine, int32_t* samples);
EBrevit Brevit_GetFeatureCount(BrevitEngine* engine, int32_t* frames);
EBrevit Brevit_GetUttDetInfo(BrevitEngine* engine, int32_t* startMs, int32_t* endMs);
EBrevit Brevit_GetNFramesInUtt(BrevitEngine* engine, uint32_t utteranceId, int32_t* frames);
EBrevit Brevit_GetNFramesRecognizedInUtt(BrevitEngine* engine, uint32_t utteranceId,
                                         int32_t* frames);
EBrevit Brevit_GetFeatureQueueStats(BrevitEngine* engine, int32_t* capacity, int32_t* fill,
                                    int32_t* maximumFill);
EBrevit Brevit_ClearFeatureQueueStats(BrevitEngine* engine);
EBrevit Brevit_GetSNRLevel(BrevitEngine* engine, int32_t* level);
EBrevit Brevit_GetAverageSoundLevel(BrevitEngine* engine, int32_t* level);
EBrevit Brevit_GetChannelInfoSize(BrevitEngine* engine, int32_t* size);
EBrevit Brevit_GetChannelInfo(BrevitEngine* engine, void* buffer);
EBrevit Brevit_SetChannelInfo(BrevitEngine* engine, const void* buffer);
EBrevit Brevit_ResetChannel(BrevitEngine* engine);
EBrevit Brevit_ResetFrontEnd(BrevitEngine* engine);
EBrevit Brevit_ReleaseCNBuffer(BrevitEngine* engine);

// ---- Run-time grammar and phrase classes ---------------------------------------------
EBrevit Brevit_GrammarParseExists(BrevitEngine* engine, const char* ruleName, int32_t count,
                                  const VocId* wordIds, int32_t* parses);
EBrevit Brevit_GrammarClearRule(BrevitEngine* engine, const char* ruleName);
EBrevit Brevit_GrammarClear(BrevitEngine* engine);
EBrevit Brevit_GrammarAddNonTerminal(BrevitEngine* engine, const char* ruleName,
                                     const char* expansion);
EBrevit Brevit_GrammarAddTerminalExpression(BrevitEngine* engine, const char* ruleName,
                                            const char* expression);
EBrevit Brevit_GrammarAddTerminalU(BrevitEngine* engine, const char* ruleName, int32_t count,
                                   const uint16_t* const* words);
EBrevit Brevit_CreateIRClass(BrevitEngine* engine, const char* className, int32_t classType,
                             int32_t* created);
EBrevit Brevit_IRClassExists(BrevitEngine* engine, const char* className, int32_t* exists);
EBrevit Brevit_AddIRPhraseU(BrevitEngine* engine, const char* className, const uint16_t* text,
                            int32_t phraseId, int32_t* added);
EBrevit Brevit_AddIRPhraseUWithIds(BrevitEngine* engine, const char* className,
                                   const uint16_t* text, int32_t wordCount,
                                   const VocId* wordIds, int32_t phraseId, int32_t* added);
EBrevit Brevit_IsIRPhraseInClass(BrevitEngine* engine, const char* className,
                                 const uint16_t* text, int32_t* contained);
EBrevit Brevit_GetIRMatches(BrevitEngine* engine, const char* className, int32_t ignored,
                            const VocId* wordIds, int32_t firstIndex, int32_t lastIndex,
                            int32_t maxMatches, int32_t* phraseIds, int32_t* scores,
                            int32_t* count);
EBrevit Brevit_GetIRMatchesFromText(BrevitEngine* engine, const char* className,
                                    const uint16_t* text, int32_t maxMatches,
                                    int32_t* phraseIds, int32_t* scores, int32_t* count);

// ---- Tokenising, spoken forms and prefix matches -------------------------------------
EBrevit Brevit_TokenizeU(BrevitEngine* engine, const uint16_t* text, int32_t flagA,
                         int32_t valueB, int32_t capacity, VocId* wordIds,
                         int32_t* boundaries1, int32_t* boundaries2, int32_t* count);
EBrevit Brevit_TokenizeForTTSU(BrevitEngine* engine, const uint16_t* text, int32_t capacity,
                               VocId* wordIds, int32_t* array1, int32_t* array2,
                               int32_t* count);
EBrevit Brevit_GetMaxLengthsU(BrevitEngine* engine, int32_t* surfaceLength,
                              int32_t* spokenLength);
EBrevit Brevit_GetSpokenFormU(BrevitEngine* engine, VocId wordId, int32_t capacity,
                              uint16_t* buffer);
EBrevit Brevit_GetSurfaceFormU(BrevitEngine* engine, VocId wordId, int32_t capacity,
                               uint16_t* buffer);
EBrevit Brevit_FormatTextFromIdsU(BrevitEngine* engine, int32_t count, const VocId* wordIds,
                                  int32_t capacity, VocId contextId, uint16_t* buffer);
EBrevit Brevit_GetNthPrefixMatchU(BrevitEngine* engine, int32_t n, int32_t flagA,
                                  int32_t flagB, const uint16_t* prefix, VocId* wordId);
EBrevit Brevit_GetNumberPrefixMatchesU(BrevitEngine* engine, int32_t flagA, int32_t flagB,
                                       const uint16_t* prefix, int32_t* count);
EBrevit Brevit_SupportsExternalPhonemes(BrevitEngine* engine, int32_t* supported);
EBrevit Brevit_RecomputeMaxima(BrevitEngine* engine);

// ---- Signal-processing packets ------------------------------------------------------
EBrevit Brevit_GetSigProcPacketSize(BrevitEngine* engine, int32_t* size);
EBrevit Brevit_GetSigProcInfoSize(BrevitEngine* engine, int32_t* size);
EBrevit Brevit_GetSigProcInfo(BrevitEngine* engine, void* buffer);
EBrevit Brevit_GetNextSigProcPacket(BrevitEngine* engine, void* buffer, int32_t* status);
EBrevit Brevit_PutSigProcInfo(BrevitEngine* engine, int32_t length, const void* info);
EBrevit Brevit_PutSigProcPacket(BrevitEngine* engine, int32_t ignored, const void* packet,
                                int32_t* status);

// ---- Recognition control ------------------------------------------------------------
EBrevit Brevit_StartRecognizing(BrevitEngine* engine, uint32_t utteranceId, int32_t mode,
                                int32_t leftContextCount, const VocId* leftContextIds,
                                int32_t constraintCount, const int32_t* constraintIndices);
// status: 0 finished, 1 no frame and listening stopped, 2 frame processed,
// 3 no frame ready yet.
EBrevit Brevit_ProcessFrame(BrevitEngine* engine, int32_t* status);
EBrevit Brevit_StopRecognizing(BrevitEngine* engine, int32_t reject);
EBrevit Brevit_PrecomputeStartRecognizing(BrevitEngine* engine);
EBrevit Brevit_SetComputation(BrevitEngine* engine, int32_t level);

// ---- Choice lists and results -------------------------------------------------------
EBrevit Brevit_PrepareChoiceList(BrevitEngine* engine, int32_t* count, int32_t* confidence);
EBrevit Brevit_GetChoice(BrevitEngine* engine, int32_t choice, int32_t maxWords,
                         VocId* wordIds, int32_t* count);
EBrevit Brevit_GetChoiceAndScore(BrevitEngine* engine, int32_t choice, int32_t maxWords,
                                 int32_t classMarks, VocId* wordIds, int32_t* count,
                                 int32_t* score, int32_t* nonAcousticScore);
EBrevit Brevit_GetChoiceAndScoreExtended(BrevitEngine* engine, int32_t choice,
                                         int32_t maxWords, int32_t maxExtra,
                                         int32_t classMarks, VocId* wordIds, int32_t* count,
                                         int32_t* score, int32_t* nonAcousticScore,
                                         const char** classNames, int32_t* partFirstWords,
                                         int32_t* partLengths, int32_t* partCount,
                                         int32_t* constraintIndex, int32_t* zeroArray1,
                                         int32_t* zeroArray2, int32_t* extraArray1,
                                         int32_t* extraArray2);
EBrevit Brevit_DiscardChoice(BrevitEngine* engine, int32_t choice);
EBrevit Brevit_ParseChoiceWords(BrevitEngine* engine, int32_t choice, const char* ruleName,
                                int32_t firstWord, int32_t wordCount, int32_t* changed);
EBrevit Brevit_MassageChoiceList(BrevitEngine* engine, const char* ruleName, int32_t* changed);
EBrevit Brevit_GetPartialResult(BrevitEngine* engine, int32_t maxWords, VocId* wordIds,
                                int32_t* count);
EBrevit Brevit_ReportGarbageStatus(BrevitEngine* engine, int32_t* status,
                                   int32_t* currentFrame);
EBrevit Brevit_SetRejectionSensitivity(BrevitEngine* engine, int32_t sensitivity);

// ---- Rescoring and re-recognition ---------------------------------------------------
EBrevit Brevit_RerecognizeChoiceList(BrevitEngine* engine, int32_t maxChoices);
EBrevit Brevit_RescoreUtterances(BrevitEngine* engine, int32_t utteranceCount,
                                 const uint32_t* utteranceIds, int32_t leftContextCount,
                                 const VocId* leftContextWords, int32_t maxResults,
                                 int32_t* resultScores, int32_t* ignored, VocId* resultWords,
                                 int32_t* resultCount);
EBrevit Brevit_GetChoicesInterval(BrevitEngine* engine, uint32_t utteranceId,
                                  int32_t firstWord, int32_t lastWord, int32_t choice,
                                  int32_t maxWords, VocId* wordIds, int32_t* count);

// ---- Text to speech -----------------------------------------------------------------
EBrevit Brevit_StartTTSFromIds(BrevitEngine* engine, const VocId* wordIds, int32_t count,
                               int32_t encoding, int32_t rate, int32_t adjustmentA,
                               int32_t adjustmentB);
EBrevit Brevit_StartTTSFromTextU(BrevitEngine* engine, const uint16_t* text, int32_t encoding,
                                 int32_t rate, int32_t adjustmentA, int32_t adjustmentB);
EBrevit Brevit_ProcessTTSPCM(BrevitEngine* engine, int32_t maxSamples, int16_t* samples,
                             int32_t* sampleCount, int32_t* done);
EBrevit Brevit_ProcessTTS(BrevitEngine* engine, int32_t maxBytes, uint8_t* bytes,
                          int32_t* byteCount, int32_t* frames, int32_t* done);
EBrevit Brevit_GetTTSEncoding(BrevitEngine* engine, int32_t* encoding);
EBrevit Brevit_StopTTS(BrevitEngine* engine);

// ---- Enrollment ---------------------------------------------------------------------
EBrevit Brevit_StartEnrollmentSession(BrevitEngine* engine);
EBrevit Brevit_SetEnrollmentConstraint(BrevitEngine* engine, int32_t count,
                                       const VocId* wordIds);
EBrevit Brevit_ProcessEnrollment(BrevitEngine* engine);
// abandon 0 completes the session, any other value abandons it.
EBrevit Brevit_EndEnrollmentSession(BrevitEngine* engine, int32_t abandon);
EBrevit Brevit_GetEnrollmentStatus(BrevitEngine* engine, int32_t* adapted);
EBrevit Brevit_GetEnrollmentCount(BrevitEngine* engine, int32_t* count2, int32_t* count,
                                  int32_t* maxLength);
EBrevit Brevit_GetNthEnrollmentPhrase(BrevitEngine* engine, int32_t n, int32_t capacity,
                                      VocId* wordIds, int32_t* count);
EBrevit Brevit_GetNthEnrollmentWord(BrevitEngine* engine, int32_t n, VocId* wordId);
EBrevit Brevit_GetWaveBuffer(BrevitEngine* engine, const int16_t** samples,
                             int32_t* sampleCount);

// ---- Speaker adaptation and trained words -------------------------------------------
EBrevit Brevit_AccumulateUtt(BrevitEngine* engine, uint32_t utteranceId, int32_t wordCount,
                             const VocId* wordIds, int32_t* used);
EBrevit Brevit_AdaptOnUttImmediate(BrevitEngine* engine, uint32_t utteranceId,
                                   int32_t wordCount, const VocId* wordIds, int32_t strong,
                                   int32_t* adapted);
EBrevit Brevit_AdaptLM(BrevitEngine* engine, int32_t historyCount, const VocId* historyIds,
                       int32_t wordCount, const VocId* wordIds);
EBrevit Brevit_OnCorrectedU(BrevitEngine* engine, uint32_t utteranceId, VocId correctWordId,
                            const uint16_t* correctText);
EBrevit Brevit_CreateSIWordU(BrevitEngine* engine, uint32_t utteranceId,
                             const uint16_t* writtenForm, const uint16_t* spokenForm,
                             VocId* wordId);
// Speaker-dependent words are not available; no word is ever created.
EBrevit Brevit_CreateSDWordU(BrevitEngine* engine, const void* first, const void* second,
                             VocId* wordId, const void* fourth, const void* fifth);
EBrevit Brevit_TrainWordU(BrevitEngine* engine, VocId wordId, uint32_t utteranceId,
                          const uint16_t* text);

// ---- Word activity and pronunciations -----------------------------------------------
EBrevit Brevit_MakePhraseActiveU(BrevitEngine* engine, const uint16_t* text, int32_t capacity,
                                 VocId* wordIds, int32_t* count);
EBrevit Brevit_MakeNameActiveU(BrevitEngine* engine, const uint16_t* text, int32_t capacity,
                               VocId* wordIds, int32_t* count);
EBrevit Brevit_MakeSpokenPhraseActiveU(BrevitEngine* engine, const uint16_t* writtenText,
                                       const uint16_t* spokenText, int32_t capacity,
                                       VocId* wordIds, int32_t* count);
EBrevit Brevit_MakeSpokenWordActiveU(BrevitEngine* engine, const uint16_t* writtenForm,
                                     const uint16_t* spokenForm, VocId* wordId);
EBrevit Brevit_IsWordIdActive(BrevitEngine* engine, VocId wordId, int32_t* active);
EBrevit Brevit_GetCanonicalID(BrevitEngine* engine, VocId wordId, VocId* canonicalId);
EBrevit Brevit_GetLeastRecentlyUsedIds(BrevitEngine* engine, int32_t selector, int32_t count,
                                       VocId* wordIds, int32_t* found);
EBrevit Brevit_RemoveWordId(BrevitEngine* engine, VocId wordId, int32_t* removed);
EBrevit Brevit_RemoveInactiveWordIds(BrevitEngine* engine, int32_t* removedCount);
EBrevit Brevit_RemoveUnreferencedWordIds(BrevitEngine* engine, int32_t alsoFromWordList,
                                         int32_t* removedCount);
EBrevit Brevit_RemoveUnreferencedNames(BrevitEngine* engine, int32_t alsoFromWordList,
                                       int32_t* removedCount);
EBrevit Brevit_AddExternalPronunciation(BrevitEngine* engine, VocId wordId,
                                        const char* phonemes, const char* language,
                                        const char* format);
EBrevit Brevit_AddWordAndExternalPronunciationU(BrevitEngine* engine,
                                                const uint16_t* writtenForm,
                                                const char* phonemes, const char* language,
                                                const char* format, VocId* wordId);
EBrevit Brevit_TokenizeCreateVariants(BrevitEngine* engine, const uint16_t* text,
                                      int32_t tokenizeType, int32_t capacity,
                                      VocId* wordIds, int32_t* variantCount);
