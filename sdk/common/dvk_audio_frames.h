// Vocoded frame sizes and fill frames of the suite audio.
#pragma once

#include "oem/dvk_oem_audio_types.h"

#include <cstdint>

// The size of the frame whose first byte is b; 0 when it is not a frame.
int32_t dvk_audio_vocoderFrameSize(dvk_oem_audio_VocoderType type, uint8_t b);
// The largest frame of the type (0 for none).
int32_t dvk_audio_vocoderBufferSize(dvk_oem_audio_VocoderType type);
// The frame played while a stream waits or in place of an unplayable AMR
// frame; its size in *size.
const uint8_t* dvk_audio_fillFrame(dvk_oem_audio_VocoderType type, int32_t* size);
// The bytes of one 20 ms PCM frame (0 for none).
int32_t dvk_audio_pcmFrameBytes(dvk_oem_audio_PCMType type);
