// Earcons: short tone sequences synthesised at the playback rate.
#include "core/prompt/dvk_prompt.h"

#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_audio.h"
#include "sdk/common/dvk_mem.h"
#include "sdk/common/dvk_settings.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace {

// Per earcon up to four tones: frequency in Hz (0 silence) and duration in
// 20 ms frames; a duration of 0 ends the record.
struct EarconTone {
    uint32_t id;
    uint16_t frequency[4];
    uint16_t duration[4];
};

const EarconTone earconToneData[DVK_PROMPT_EARCON_COUNT] = {
    {0, {541, 676, 1063, 0}, {3, 3, 3, 0}},
    {1, {1000, 0, 0, 0}, {8, 0, 0, 0}},
    {2, {676, 541, 676, 0}, {3, 3, 3, 0}},
    {3, {721, 900, 721, 0}, {3, 3, 3, 0}},
    {4, {541, 0, 541, 0}, {5, 1, 5, 0}},
    {5, {541, 0, 541, 0}, {5, 1, 5, 0}},
    {6, {541, 676, 721, 0}, {3, 3, 3, 0}},
};

// Gains for earcon volumes -10..10: 256 * 2^(v / 5), 256 being unity.
const int32_t volumeTable[21] = {64,  74,  84,  97,  111, 128, 147, 169, 194, 223, 256,
                                 294, 338, 388, 446, 512, 588, 676, 776, 891, 1024};

// 8192 * sin(2 pi i / 256), truncated toward zero.
const std::array<int16_t, 256>& sineTable()
{
    static const std::array<int16_t, 256> table = [] {
        std::array<int16_t, 256> t{};
        for (int i = 0; i < 256; ++i)
            t[static_cast<size_t>(i)] = static_cast<int16_t>(std::trunc(8192.0 * std::sin(2.0 * M_PI * i / 256.0)));
        return t;
    }();
    return table;
}

int16_t saturate(int32_t sample)
{
    // The loudest volume reaches 32768, one past the sample range.
    return static_cast<int16_t>(std::min<int32_t>(std::max<int32_t>(sample, INT16_MIN), INT16_MAX));
}

} // namespace

dvk_prompt_Earcon* dvk_prompt_createEarcon(int32_t earcon)
{
    DVK_ASSERT((earcon >= 0) && (earcon < DVK_PROMPT_EARCON_COUNT));
    const EarconTone& tones = earconToneData[earcon];
    DVK_ASSERT(tones.id == static_cast<uint32_t>(earcon));
    const dvk_oem_audio_PCMType pcmType = dvk_audio_getPCMPlaybackType();
    if (pcmType != DVK_OEM_AUDIO_PCMTYPE_8K && pcmType != DVK_OEM_AUDIO_PCMTYPE_16K)
        return nullptr;
    const int32_t rate = pcmType == DVK_OEM_AUDIO_PCMTYPE_8K ? 8000 : 16000;
    const int32_t perFrame = rate / 50;
    int32_t frames = 0;
    for (int t = 0; t < 4 && tones.duration[t] != 0; ++t)
        frames += tones.duration[t];
    auto* result = static_cast<dvk_prompt_Earcon*>(dvk_mem_alloc(sizeof(dvk_prompt_Earcon)));
    if (result == nullptr)
        return nullptr;
    *result = dvk_prompt_Earcon{pcmType, nullptr, frames * perFrame};
    result->samples = static_cast<int16_t*>(dvk_mem_alloc(sizeof(int16_t) * static_cast<size_t>(result->count)));
    if (result->samples == nullptr) {
        dvk_mem_dealloc(&result);
        return nullptr;
    }
    const int32_t volume = std::min(std::max(dvk_settings_getEarconVolume(), -10), 10);
    const int32_t gain = volumeTable[volume + 10];
    int16_t* out = result->samples;
    for (int t = 0; t < 4 && tones.duration[t] != 0; ++t) {
        const uint32_t step = (static_cast<uint32_t>(tones.frequency[t]) * 65536u) / static_cast<uint32_t>(rate);
        uint32_t phase = 0;
        for (int32_t i = 0; i < tones.duration[t] * perFrame; ++i) {
            *out++ = saturate(gain * sineTable()[(phase >> 8) & 255] / 256);
            phase += step;
        }
    }
    return result;
}

void dvk_prompt_destroyEarcon(dvk_prompt_Earcon** earcon)
{
    DVK_ASSERT(earcon != DVK_NULL);
    if (*earcon == nullptr)
        return;
    dvk_mem_dealloc(&(*earcon)->samples);
    dvk_mem_dealloc(earcon);
}

const int16_t* dvk_prompt_getEarconData(const dvk_prompt_Earcon* earcon)
{
    DVK_ASSERT(earcon != DVK_NULL);
    return earcon->samples;
}

int32_t dvk_prompt_getEarconDataLength(const dvk_prompt_Earcon* earcon)
{
    DVK_ASSERT(earcon != DVK_NULL);
    return earcon->count;
}

dvk_oem_audio_PCMType dvk_prompt_getEarconPcmType(const dvk_prompt_Earcon* earcon)
{
    DVK_ASSERT(earcon != DVK_NULL);
    return earcon->pcmType;
}
