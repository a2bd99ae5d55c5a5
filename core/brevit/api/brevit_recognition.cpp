#include "core/brevit/api/brevit_recognition.h"

// Hooks of the engine object's life; this family holds nothing of its own yet.

void BrevitPriv_InitRecognition(BrevitEngine*) {}

void BrevitPriv_FreeRecognition(BrevitEngine*) {}
