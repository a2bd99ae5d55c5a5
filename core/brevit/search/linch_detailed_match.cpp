// The second pass of the linear-chain decoder: frames kept in a frame buffer
// run through the same frame step as live frames, so a decoder fed them
// again ends where one fed them one by one ends.
#include "core/brevit/search/frame_buffer.h"
#include "core/brevit/search/linch_results.h"
#include "core/brevit/search/linch_search.h"

#include <algorithm>

void LinChDecoderNoTimes_RunDetailedMatch(LinChDecoder* d, int32_t firstFrame, int32_t endFrame,
                                          FrameBuffer* frameBuffer, const int32_t* crossScores)
{
    LinChDecoder_SortRescoreList(d);
    if (frameBuffer == nullptr)
        return;
    // The buffer reads without a bound: stay within the frames it holds.
    const int32_t end = std::min(endFrame, FrameBuffer_GetNumFrames(frameBuffer));
    for (int32_t f = std::max(firstFrame, 0); f < end && d->state != kDecoderStateFailed; ++f) {
        if (d->searchStarted && crossScores != nullptr && f > 0)
            LinChDecoder_SetBestCrossScore(&d->base, crossScores[f]);
        int32_t* side = nullptr;
        const uint8_t* frame = FrameBuffer_GetFrame(frameBuffer, f, &side);
        LinChDecoderNoTimes_ProcessFrame(&d->base, frame, side);
    }
}

int32_t LinChDecoderNoTimes_RunDetailedMatchSlot(Decoder* decoder, int32_t firstFrame, int32_t endFrame)
{
    LinChDecoder* d = LinChDecoder_Of(decoder);
    LinChDecoderNoTimes_RunDetailedMatch(d, firstFrame, endFrame, decoder->frameBuffer, nullptr);
    return d->state;
}
