// Synthesis state of the engine object.
#pragma once

#include <cstdint>

struct BrevitEngine;

void BrevitPriv_InitSynthesis(BrevitEngine* engine);
// The synthesis state, at destroy.
void BrevitPriv_FreeSynthesis(BrevitEngine* engine);
