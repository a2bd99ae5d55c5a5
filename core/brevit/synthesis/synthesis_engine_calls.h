// What the engine object calls of speech synthesis: at most one synthesis
// object, held by pointer and never looked inside.
#pragma once

struct TTS;

// Frees the synthesis object; null does nothing.
void TTS_Delete(TTS* synthesis);
