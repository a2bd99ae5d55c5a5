// AMR-NB prompt frames through opencore-amrnb: one decoder state, frames in
// the storage format (a header byte, then the speech bits).
#pragma once

#include <cstdint>

void Decode_Init_AMR();
void Decode_Cleanup_AMR();
// Decodes one frame into 160 samples when it is at least as long as its
// type's size (12.2 kbit/s: 32 bytes); false, output untouched, otherwise.
bool Decode_AMR(int16_t* output, const uint8_t* frame, int32_t length);
// The size of a frame by its header byte; 0 for the types not decoded.
int32_t AMR_frameSize(uint8_t header);

void Encode_Init_AMR();
void Encode_AMR();
void Encode_Cleanup_AMR();
