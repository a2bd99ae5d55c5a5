// The engine's block of tuning values and the process-wide pointer to the
// block of the engine currently running. Readers treat a missing block as all
// zeros.
#pragma once

#include <cstdint>

// Number of 32-bit words in a parameter block (4,032 bytes).
inline constexpr int kBrevitParamWordCount = 1008;

// Words the runtime itself reads.
inline constexpr int kBrevitParamWarnings = 314;      // non-zero: DVKErr_Warn prints
inline constexpr int kBrevitParamAbortOnError = 412;  // non-zero: an engine error asks for abort
inline constexpr int kBrevitParamArchiveMode = 930;   // low 16 bits: mode of written archives

struct BrevitGlobalParameters {
    // Integers take one word, reals two consecutive words, strings a run of bytes.
    uint32_t words[kBrevitParamWordCount];
};

// The current block; null until an engine installs its own.
extern BrevitGlobalParameters* gpBrevitGlobalParameters;

// Word index of the current block, 0 when no block is installed or the index
// is out of range.
uint32_t BrevitParam_Word(int index);
