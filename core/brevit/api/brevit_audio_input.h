// Audio input state of the engine object: the frame queue, wave and feature
// buffers and the utterance tables.
#pragma once

#include <cstdint>

struct BrevitEngine;

void BrevitPriv_InitAudioInput(BrevitEngine* engine);
// The utterance and wave buffers, at destroy.
void BrevitPriv_FreeAudioInput(BrevitEngine* engine);
// The remaining utterance arrays, at the end of destroy.
void BrevitPriv_FreeUtteranceArrays(BrevitEngine* engine);
// Drops the kept wave and feature data of one utterance.
void BrevitPriv_DiscardUtteranceData(BrevitEngine* engine, uint32_t utteranceId);
