#include "sdk/common/dvk_audio_output.h"

#include "sdk/common/dvk_audio_frames.h"

#include <algorithm>
#include <cstring>

namespace {

bool sameFormat(const dvk_audio_Item* a, const dvk_audio_Item* b)
{
    return a->pcmType == b->pcmType && a->vocoderType == b->vocoderType;
}

int32_t left(const dvk_audio_Item* item)
{
    return item->cursor != nullptr && item->end > item->cursor ? static_cast<int32_t>(item->end - item->cursor) : 0;
}

void deliverFill(dvk_audio_Queue* queue, const dvk_audio_Item* item, uint8_t* vocoded, int32_t* frameLength)
{
    int32_t size = 0;
    const uint8_t* fill = dvk_audio_fillFrame(item->vocoderType, &size);
    std::memcpy(vocoded, fill, static_cast<size_t>(size));
    *frameLength = size;
    queue->playbackTime += 20;
}

bool playableAmrHeader(uint8_t header)
{
    return header == 0x04 || header == 0x34 || header == 0x3C;
}

} // namespace

bool dvk_audio_outputFrame(dvk_audio_Queue* queue, int16_t* pcm, uint8_t* vocoded, int32_t* samples,
                           int32_t* frameLength)
{
    *frameLength = 0;
    dvk_audio_Item* item = queue->current;
    if (item == nullptr) {
        *samples = 0;
        return false;
    }
    bool movedOn = false;
    if (left(item) == 0) {
        dvk_audio_Item* next = item->next;
        if (next != nullptr && sameFormat(item, next)) {
            if (item->streaming && next->streaming)
                next->filling = item->filling;
            queue->current = item = next;
            movedOn = true;
        } else if (!item->streaming) {
            queue->current = nullptr;
            *samples = 0;
            return false;
        } else {
            item->filling = true;
        }
    }

    const int32_t frameBytes = dvk_audio_pcmFrameBytes(item->pcmType);
    if (frameBytes > 0) {
        *samples = frameBytes / 2;
        const int32_t available = left(item);
        if (available >= frameBytes) {
            std::memcpy(pcm, item->cursor, static_cast<size_t>(frameBytes));
            item->cursor += frameBytes;
        } else {
            std::memset(pcm, 0, static_cast<size_t>(frameBytes));
            item->cursor = item->end;
        }
        queue->playbackTime += 20;
        return movedOn;
    }
    if (vocoded == nullptr || item->vocoderType == DVK_OEM_AUDIO_VOCTYPE_NONE) {
        item->cursor = item->end;
        return movedOn;
    }

    if (item->streaming && item->filling && left(item) > 0) {
        int32_t queued = 0;
        bool plainFollows = false;
        for (const dvk_audio_Item* s = item; s != nullptr; s = s->next) {
            if (!s->streaming) {
                plainFollows = true;
                break;
            }
            queued += left(s);
        }
        if (queued >= item->lead || plainFollows)
            item->filling = false;
    }
    if (item->filling) {
        deliverFill(queue, item, vocoded, frameLength);
        return movedOn;
    }
    const bool amr =
        item->vocoderType == DVK_OEM_AUDIO_VOCTYPE_AMR || item->vocoderType == DVK_OEM_AUDIO_VOCTYPE_AMR2;
    if (amr && left(item) > 0 && !playableAmrHeader(*item->cursor)) {
        item->cursor = item->end;
        deliverFill(queue, item, vocoded, frameLength);
        return movedOn;
    }
    const int32_t size = left(item) > 0 ? dvk_audio_vocoderFrameSize(item->vocoderType, *item->cursor) : 0;
    if (size == 0 || size > left(item) || size > DVK_AUDIO_FRAME_BUFFER) {
        if (!item->streaming) {
            item->cursor = item->end;
            return movedOn;
        }
        item->cursor = item->end;
        deliverFill(queue, item, vocoded, frameLength);
        return movedOn;
    }
    std::memcpy(vocoded, item->cursor, static_cast<size_t>(size));
    *frameLength = size;
    item->cursor += size;
    queue->playbackTime += 20;
    return movedOn;
}
