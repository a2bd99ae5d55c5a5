// Prompt data reaches the player as the suite queued it: any vocoded items
// and stream pieces, of every vocoder type, read frame by frame by the
// output callback, and AMR frames decoded by the porting layer's wrapper.
// Each item is an exact-size copy, so a read past it is caught.
#include "oem/AmrStub.h"
#include "sdk/common/dvk_audio_output.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const dvk_oem_audio_VocoderType type = data[0] % 10;
    const int pieces = 1 + data[1] % 6;
    size_t pos = 2;
    std::vector<std::unique_ptr<uint8_t[]>> storage;
    std::vector<dvk_audio_Item> items(static_cast<size_t>(pieces));
    for (int i = 0; i < pieces; ++i) {
        const uint8_t control = pos < size ? data[pos++] : 0;
        const size_t want = control & 0x3F;
        const size_t length = std::min(want * 3, size - pos);
        storage.emplace_back(new uint8_t[length + 1]);
        std::memcpy(storage.back().get(), data + pos, length);
        pos += length;
        const uint8_t* start = length > 0 ? storage.back().get() : nullptr;
        const bool pcm = (control & 0x80) != 0 && (control & 0x40) != 0;
        items[static_cast<size_t>(i)] =
            dvk_audio_Item{nullptr,       0,       pcm ? 0 : 2, pcm ? 9 : type, start, start ? start + length : nullptr,
                           nullptr, (control & 0x40) != 0, (control & 0x80) != 0 ? 64 : 0, false};
    }
    for (size_t i = 0; i + 1 < items.size(); ++i)
        items[i].next = &items[i + 1];
    dvk_audio_Queue queue{&items.front(), &items.back(), &items.front(), 0};

    Decode_Init_AMR();
    auto frame = std::make_unique<uint8_t[]>(DVK_AUDIO_FRAME_BUFFER);
    auto pcm = std::make_unique<int16_t[]>(320);
    for (int step = 0; step < 400 && queue.current != nullptr; ++step) {
        int32_t samples = 0;
        int32_t length = 0;
        if (dvk_audio_outputFrame(&queue, pcm.get(), frame.get(), &samples, &length) && queue.oldest != nullptr)
            queue.oldest = queue.oldest->next;
        if (length < 0 || length > DVK_AUDIO_FRAME_BUFFER || samples < 0 || samples > 320)
            std::abort();
        if (length > 0 && (type == 1 || type == 2)) {
            int16_t decoded[160];
            Decode_AMR(decoded, frame.get(), length);
        }
    }
    Decode_Cleanup_AMR();
    return 0;
}
