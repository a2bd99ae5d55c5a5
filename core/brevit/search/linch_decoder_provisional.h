// Until the linear-chain decoder is built, its creator forwards to a creator
// installed by tests (null when none is installed).
#pragma once

#include <cstdint>

struct AM;
struct Decoder;
struct Voc;

typedef Decoder* (*LinChDecoderCreator)(Voc* vocabulary, AM* model, int32_t option, int32_t kind7, int32_t kind9);

// Returns the creator installed before.
LinChDecoderCreator LinChDecoder_InstallCreator(LinChDecoderCreator creator);
