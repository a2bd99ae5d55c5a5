// Recognition state of the engine object.
#pragma once

#include <cstdint>

struct BrevitEngine;

void BrevitPriv_InitRecognition(BrevitEngine* engine);
// The recognition work buffer, at destroy.
void BrevitPriv_FreeRecognition(BrevitEngine* engine);
