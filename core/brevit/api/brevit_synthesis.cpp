#include "core/brevit/api/brevit_synthesis.h"

// Hooks of the engine object's life; this family holds nothing of its own yet.

void BrevitPriv_InitSynthesis(BrevitEngine*) {}

void BrevitPriv_FreeSynthesis(BrevitEngine*) {}
