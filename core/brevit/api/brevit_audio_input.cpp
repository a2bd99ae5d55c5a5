#include "core/brevit/api/brevit_audio_input.h"

// Hooks of the engine object's life; this family holds nothing of its own yet.

void BrevitPriv_InitAudioInput(BrevitEngine*) {}

void BrevitPriv_FreeAudioInput(BrevitEngine*) {}

void BrevitPriv_FreeUtteranceArrays(BrevitEngine*) {}

void BrevitPriv_DiscardUtteranceData(BrevitEngine*, uint32_t) {}
