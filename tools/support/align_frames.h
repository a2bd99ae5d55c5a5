// Forced alignment of byte frames with a phoneme sequence through the
// engine's own aligner, for model training tools and the tests that check
// them.
#pragma once

#include <cstdint>
#include <vector>

struct AM;

struct FrameAlignment {
    bool ok = false;
    std::vector<uint16_t> stateIds;   // the aligned chain
    std::vector<uint16_t> durations;  // frames per state
    int32_t score = 0;
};

// frames: count rows of the model's feature dimension. The alignment may
// take every frame (the maximum is count, and the stable time lies past the
// last frame), prunes at beam over the frame's best and scores with the
// plain kernels.
FrameAlignment alignFrames(AM* am, const uint8_t* frames, int32_t count, const std::vector<uint16_t>& phonemes,
                           bool withSilence, int32_t beam);
