// Recognition state of the engine object.
#pragma once

#include <cstdint>

struct BrevitEngine;

void BrevitPriv_InitRecognition(BrevitEngine* engine);
// The choice lists (each when its decoder exists) and the recognition
// buffers: 0, or non-zero when memory is short (what was made stays for
// destroy to free).
int32_t BrevitPriv_CreateRecognitionData(BrevitEngine* engine);
// Checksum of the recognition state; all ones while this family keeps none
// beyond the choice lists.
uint32_t BrevitPriv_RecognitionStateCRC(BrevitEngine* engine);
// The recognition work buffer, at destroy.
void BrevitPriv_FreeRecognition(BrevitEngine* engine);
