// Which encoding each run-time text of a word store uses, per language, and
// how the compact form's coders start. Encoding codes: 1 8-bit, 2 Latin-1,
// 3 UTF-8, 4 compact Unicode (DVKSCSU), 5 Latin-9.
#pragma once

#include "core/brevit/runtime/dvk_scsu.h"

#include <cstdint>

inline constexpr int32_t kMWLEncoding8Bit = 1;
inline constexpr int32_t kMWLEncodingLatin1 = 2;
inline constexpr int32_t kMWLEncodingUTF8 = 3;
inline constexpr int32_t kMWLEncodingSCSU = 4;
inline constexpr int32_t kMWLEncodingLatin9 = 5;

// The encodings part of the run-time word store, in the store's order.
struct MWLDynamicEncodings {
    int32_t surfaceEncoding;
    int32_t generatorEncoding;
    DVKSCSU surfaceCoder;
    int32_t spokenEncoding;
    DVKSCSU spokenCoder;
};

// Sets the three encodings and both coders from the word list's encoding
// code and a four-letter language code (compared whole, ignoring ASCII case;
// null matches no language). Texts handed to the generator are never in the
// compact form: UTF-8, or Latin-1 for an 8-bit list without compact texts.
void MWLDynamic_SetLanguageEncoding(MWLDynamicEncodings* encodings, int32_t listEncoding,
                                    const char* language);
