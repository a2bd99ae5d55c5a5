#include "core/brevit/api/brevit_audio_input.h"

// Hooks of the engine object's life; this family holds nothing of its own yet.

int32_t BrevitPriv_InitAudioInput(BrevitEngine*, int32_t)
{
    return 0;
}

uint32_t BrevitPriv_AudioInputCRC(BrevitEngine*)
{
    return 0xFFFFFFFFu;
}

void BrevitPriv_FreeAudioInput(BrevitEngine*) {}

void BrevitPriv_FreeUtteranceArrays(BrevitEngine*) {}

void BrevitPriv_DiscardUtteranceData(BrevitEngine*, uint32_t) {}
