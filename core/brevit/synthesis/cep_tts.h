// The cepstral synthesiser: the one implementation of the synthesis object.
#pragma once

#include "core/brevit/synthesis/tts.h"

// Loads the synthesiser of "btt0" (format 4) with its trees, optimiser and
// waveform generator; null when anything fails.
TTS* CepTTS_LoadFromBinFile(DVKTar* tar, const char* prefix, Voc* vocabulary);
