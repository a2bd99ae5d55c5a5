// Rescoring and re-recognition state of the engine object.
#pragma once

#include <cstdint>

struct BrevitEngine;

void BrevitPriv_InitRescoring(BrevitEngine* engine);
// The rescoring buffers, at destroy.
void BrevitPriv_FreeRescoring(BrevitEngine* engine);
