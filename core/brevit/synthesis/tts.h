// The synthesis object: a table of fourteen operation slots followed by a
// header every synthesiser shares. The engine never calls a synthesiser
// directly: the TTS_ dispatchers look a slot up, gate it and turn an empty
// slot into a fixed result, on which the engine's entry points fall back.
#pragma once

#include "core/brevit/lexicon/lexicon_engine_calls.h"
#include "core/brevit/runtime/dvk_tar.h"

#include <cstdint>

struct TTS;

// Results of the utterance operations (slots 7 to 11).
inline constexpr int32_t kTTSDone = 0;
inline constexpr int32_t kTTSFailure = 1;
inline constexpr int32_t kTTSNotSupported = 2;     // encoding or rate refused
inline constexpr int32_t kTTSNothingToSay = 3;
inline constexpr int32_t kTTSNoOutput = 4;
inline constexpr int32_t kTTSCallAgain = 5;
inline constexpr int32_t kTTSStop = 6;
inline constexpr int32_t kTTSResult7 = 7;
inline constexpr int32_t kTTSNotAvailable = 8;     // slot empty or synthesis switched off
inline constexpr int32_t kTTSOutOfMemory = 9;

// Output encodings: frame-coded (23 and 27 bytes a frame, 50 frames a
// second), 16-bit linear PCM, a further code the engine accepts, none.
inline constexpr int32_t kTTSEncodingNone = 0;
inline constexpr int32_t kTTSEncodingFrames23 = 1;
inline constexpr int32_t kTTSEncodingFrames27 = 2;
inline constexpr int32_t kTTSEncodingOther = 3;
inline constexpr int32_t kTTSEncodingPCM = 4;

inline constexpr int32_t kTTSSlotCount = 14;
// The format number of "btt0" that names the cepstral synthesiser.
inline constexpr uint32_t kTTSCepstralFormat = 4;

typedef void (*TTSDeleteFunc)(TTS* tts);
typedef int32_t (*TTSGetEncodingFunc)(TTS* tts);
typedef uint32_t (*TTSComputeCRCFunc)(TTS* tts, int32_t full, int32_t further);
typedef void (*TTSUnusedFunc)(void);
typedef int32_t (*TTSStartFromTextFunc)(TTS* tts, const uint16_t* text, int32_t rate, int32_t a,
                                        int32_t b, int32_t freeSpace, uint8_t* position,
                                        int32_t* out);
typedef int32_t (*TTSStartFromIdsFunc)(TTS* tts, int32_t count, const VocId* ids, int32_t rate,
                                       int32_t a, int32_t b, int32_t freeSpace, uint8_t* position,
                                       int32_t* out);
typedef int32_t (*TTSStartUtteranceFromTextFunc)(TTS* tts, const uint16_t* text, int32_t encoding,
                                                 int32_t rate, int32_t speed, int32_t level);
typedef int32_t (*TTSStartUtteranceFromIdsFunc)(TTS* tts, int32_t count, const VocId* ids,
                                                int32_t encoding, int32_t rate, int32_t speed,
                                                int32_t level);
typedef int32_t (*TTSProcessFunc)(TTS* tts, int32_t capacity, uint8_t* buffer, int32_t* bytes,
                                  int32_t* frames);
typedef int32_t (*TTSProcessUtterancePCMFunc)(TTS* tts, int32_t capacity, int16_t* samples,
                                              int32_t* count);
typedef int32_t (*TTSStopUtteranceFunc)(TTS* tts);

// The slot table, in slot order; an empty slot is null.
struct TTSSlots {
    TTSDeleteFunc deleteObject;                        // 0
    TTSGetEncodingFunc getEncoding;                    // 1
    TTSComputeCRCFunc computeCRC;                      // 2
    TTSUnusedFunc unused3;                             // 3
    TTSStartFromTextFunc startFromText;                // 4
    TTSStartFromIdsFunc startFromIds;                  // 5
    TTSUnusedFunc unused6;                             // 6
    TTSStartUtteranceFromTextFunc startUtteranceFromText;  // 7
    TTSStartUtteranceFromIdsFunc startUtteranceFromIds;    // 8
    TTSProcessFunc process;                            // 9
    TTSProcessUtterancePCMFunc processUtterancePCM;    // 10
    TTSStopUtteranceFunc stopUtterance;                // 11
    TTSUnusedFunc unused12;                            // 12
    TTSUnusedFunc unused13;                            // 13
};

// An implementation's own structure begins with these fields.
struct TTS {
    TTSSlots slots;
    uint8_t headerTag[4];
    int32_t headerWord;
    uint32_t masterPhonemeSetCRC;
    uint32_t posSetCRC;
    uint32_t semanticSetCRC;
    // 0 marks a stressed syllable and 1 closes a syllable in pronunciation
    // phone lists; 2 is kept.
    uint16_t headerShorts[3];
    Voc* vocabulary;                                   // not owned
};

// Null when "btt0" is missing or not of the cepstral format, or the
// synthesiser does not load.
TTS* TTS_LoadFromBinFile(DVKTar* tar, const char* prefix, Voc* vocabulary);
// Runs slot 0 and frees the object block; null does nothing.
void TTS_Delete(TTS* tts);
int32_t TTS_GetEncoding(TTS* tts);
// 0xFFFFFFFF without a CRC operation.
uint32_t TTS_ComputeCRC(TTS* tts, int32_t full, int32_t further);
// Bytes written; 0 without the operation.
int32_t TTS_StartFromText(TTS* tts, const uint16_t* text, int32_t rate, int32_t a, int32_t b,
                          int32_t freeSpace, uint8_t* position, int32_t* out);
int32_t TTS_StartFromIds(TTS* tts, int32_t count, const VocId* ids, int32_t rate, int32_t a,
                         int32_t b, int32_t freeSpace, uint8_t* position, int32_t* out);
// 8 without the operation or while synthesis is switched off (parameter
// word 902 at 0 or no parameter block); the slot is then not called.
int32_t TTS_StartUtteranceFromText(TTS* tts, const uint16_t* text, int32_t encoding, int32_t rate,
                                   int32_t speed, int32_t level);
int32_t TTS_StartUtteranceFromIds(TTS* tts, int32_t count, const VocId* ids, int32_t encoding,
                                  int32_t rate, int32_t speed, int32_t level);
int32_t TTS_Process(TTS* tts, int32_t capacity, uint8_t* buffer, int32_t* bytes, int32_t* frames);
int32_t TTS_ProcessUtterancePCM(TTS* tts, int32_t capacity, int16_t* samples, int32_t* count);
int32_t TTS_StopUtterance(TTS* tts);
uint32_t TTS_GetMasterPhonemeSetCRC(const TTS* tts);
uint32_t TTS_GetPOSSetCRC(const TTS* tts);
uint32_t TTS_GetSemanticSetCRC(const TTS* tts);
