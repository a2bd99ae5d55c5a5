#include "core/brevit/api/brevit_rescoring.h"

// Hooks of the engine object's life; this family holds nothing of its own yet.

void BrevitPriv_InitRescoring(BrevitEngine*) {}

void BrevitPriv_FreeRescoring(BrevitEngine*) {}
