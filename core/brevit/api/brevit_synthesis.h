// Synthesis state of the engine object and its text-to-speech entry points'
// helpers. The streaming way asks the synthesiser for output call by call;
// the older way renders a whole utterance at start into a buffer the engine
// hands out frame by frame, used whenever the streaming slot answers that it
// is not available.
#pragma once

#include "core/brevit/lexicon/lexicon_engine_calls.h"

#include <cstdint>

struct BrevitEngine;

struct BrevitTTSState {
    const uint16_t* textSource;    // the last text start's text (its key)
    int32_t idCount;               // the last id start's count and ids (their key)
    const VocId* ids;
    int32_t encoding;
    int32_t bufferSize;            // bytes
    uint8_t* buffer;
    int32_t bufferOwned;
    int32_t fill;                  // bytes rendered into the buffer
    int32_t readPosition;          // bytes handed out
    int32_t frameCount;            // from the older start; -1 when nothing was started
};

void BrevitPriv_InitSynthesis(BrevitEngine* engine);
// The engine's state, made on first use; null when memory is short.
BrevitTTSState* BrevitPriv_TTSState(BrevitEngine* engine);
// The synthesis state, at destroy.
void BrevitPriv_FreeSynthesis(BrevitEngine* engine);
// Installs a caller-owned buffer: fill, position and frame count 0.
void BrevitPriv_SetTTSDataMembers(BrevitEngine* engine, const uint16_t* text, int32_t count,
                                  const VocId* ids, int32_t bufferSize, uint8_t* buffer);
// Frees an owned buffer and clears every field (frame count -1).
void BrevitPriv_ResetTTSState(BrevitTTSState* state);
void BrevitPriv_ResetEngineTTS(BrevitEngine* engine);
// The encoding's buffer, zero-filled and owned; 0 when it cannot be had.
int32_t BrevitPriv_SetupTTSBuffer(BrevitTTSState* state, int32_t encoding);
// 0 without a synthesiser, else its encoding when it is 1 to 4, else 0.
int32_t BrevitPriv_GetTTSEncodingCode(const BrevitEngine* engine);
