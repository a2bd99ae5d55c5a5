// The n-gram language model as the rest of the engine sees it: a table of
// operations supplied by the model's kind, then the common fields this layer
// reads (order, special symbols, the map from active word ids to model ids,
// dynamic-word slots and an eight-symbol history buffer). This layer maps
// ids, builds histories, dispatches to the kind, caches the last candidate
// list and wraps the state sub-file "blm0". No model kind ships with the
// engine: every vocabulary's model slot stays empty.
#pragma once

#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/bin_file_writer.h"
#include "core/brevit/runtime/dvk_tar.h"

#include <cstdint>

inline constexpr const char* kLMSubFileTag = "blm0";
// Longest n-gram: seven history symbols and the predicted one.
inline constexpr int32_t kLMMaxOrder = 8;

struct LM;

typedef void (*LMFreeFunc)(LM* model);
// symbols: history (oldest first), then the predicted symbol.
typedef int32_t (*LMScoreFunc)(LM* model, const uint16_t* symbols, int32_t count,
                               int32_t history, int32_t flag);
// candidates null: the list of the previous call; 0 when the batch was not scored.
typedef int32_t (*LMBatchScoreFunc)(LM* model, int32_t history, const uint16_t* historySymbols,
                                    int32_t count, const uint16_t* candidates, int16_t* scores);
typedef int32_t (*LMAdaptFunc)(LM* model, const uint16_t* symbols, int32_t total, int32_t first);
typedef int32_t (*LMActivateFunc)(LM* model, uint16_t modelId, int32_t a, int32_t b);
typedef int32_t (*LMDeactivateFunc)(LM* model, uint16_t modelId, int32_t slotValue,
                                    uint8_t* slotFlags);
typedef uint32_t (*LMCRCFunc)(const LM* model, uint32_t crc);
typedef LM* (*LMReadStateFunc)(LM* model, BinFileReader* reader);
typedef int32_t (*LMWriteStateFunc)(const LM* model, BinFileWriter* writer);

struct LM {
    int32_t shared;               // set: LM_Delete leaves the model alone
    LMFreeFunc free;              // frees what the kind owns
    void* operation3;
    void* operation4;
    LMScoreFunc score;
    LMBatchScoreFunc batchScore;
    LMAdaptFunc adapt;
    LMActivateFunc activateDynamic;
    LMDeactivateFunc deactivateDynamic;
    LMCRCFunc crc;
    void* operation11;
    LMReadStateFunc readState;
    LMWriteStateFunc writeState;
    int32_t scale;
    int32_t order;                // history + predicted word
    uint16_t sentenceStart;       // 0: none
    uint16_t symbol65531;         // model symbol of word id 65531
    int32_t batchCapacity;
    int32_t candidateKey;         // CRC of the last batch list, -1 none
    int32_t adaptation;           // 0: adaptation refused
    uint16_t* idMap;              // model id per static word id (optional, the kind's)
    int32_t word21;
    int32_t idOffset;             // without a map: model id = word id + offset
    int32_t firstDynamic;         // D
    int32_t dynamicBase;          // B: dynamic word w has model id B + 1 + (w - D)
    int32_t word25;
    int32_t slotCount;
    uint8_t* slotFlags;           // one per dynamic word, 1 active (the kind's)
    uint16_t history[8];          // 0-6 history, 7 the predicted symbol
};

uint16_t LM_MapWordId(const LM* model, int32_t word);
// The score of word after history (n words, oldest first), the low 16 bits
// of the kind's answer; 0 without a model.
int32_t LM_GetWordScore(LM* model, const uint16_t* history, int32_t n, int32_t word);
int32_t LM_GetWordScoreRaw(LM* model, const uint16_t* history, int32_t n, int32_t word);
// history and symbol are model symbols already.
int32_t LM_GetWordScoreByLMIds(LM* model, const uint16_t* history, int32_t n, int32_t symbol);
// Scores count candidates after the history, in one batch when the kind
// takes it; key: what the previous call returned for the same list (-1 none).
// Returns the key to pass back next time (-1 when none is kept).
int32_t LM_ScoreCandidates(LM* model, int32_t n, const uint16_t* history, int32_t count,
                           const uint16_t* candidates, int32_t key, int16_t* scores);
int32_t LM_AdaptOnWords(LM* model, int32_t contextCount, const uint16_t* context,
                        int32_t wordCount, const uint16_t* words);
int32_t LM_ActivateDynamicWord(LM* model, int32_t word, int32_t a, int32_t b);
int32_t LM_DeactivateDynamicWord(LM* model, int32_t word);
uint32_t LM_ComputeCRC(const LM* model, uint32_t crc);
int32_t LM_GetScale(const LM* model);
int32_t LM_GetOrder(const LM* model);
LM* LM_ReadPSAFileSubFile(LM* model, BinFileReader* reader);
int32_t LM_WritePSAFileSubFile(const LM* model, BinFileWriter* writer);
// The model's state from "blm0" of the archive (name prefix may be null).
LM* LM_LoadFromBinFile(LM* model, DVKTar* tar, const char* prefix);
int32_t LM_WritePSAFile(const LM* model, DVKTar* tar, const char* prefix);
// No model kind is available: always null.
LM* LM_CreateFromBinFile(DVKTar* tar, const char* prefix);
void LM_Delete(LM* model);
