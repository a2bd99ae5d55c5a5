// Audio input state of the engine object: the frame queue, wave and feature
// buffers and the utterance tables.
#pragma once

#include <cstdint>

struct BrevitEngine;

// Sets up the audio input buffers for frames of featureDim bytes (-1: none);
// 0, or non-zero when they cannot be made.
int32_t BrevitPriv_InitAudioInput(BrevitEngine* engine, int32_t featureDim);
// Checksum of the audio input state, chained into the recognition-state CRC;
// all ones while this family keeps no state.
uint32_t BrevitPriv_AudioInputCRC(BrevitEngine* engine);
// The utterance and wave buffers, at destroy.
void BrevitPriv_FreeAudioInput(BrevitEngine* engine);
// The remaining utterance arrays, at the end of destroy.
void BrevitPriv_FreeUtteranceArrays(BrevitEngine* engine);
// Drops the kept wave and feature data of one utterance.
void BrevitPriv_DiscardUtteranceData(BrevitEngine* engine, uint32_t utteranceId);
