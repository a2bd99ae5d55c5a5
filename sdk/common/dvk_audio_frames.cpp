#include "sdk/common/dvk_audio_frames.h"

namespace {

constexpr int32_t kEvrc[6] = {0, 2, 5, 10, 22, 0};
constexpr int32_t kAmr[8] = {12, 13, 15, 17, 19, 20, 26, 31};
constexpr int32_t kQcelp[6] = {0, 3, 7, 16, 34, 0};

constexpr uint8_t kZeros[65] = {};
constexpr uint8_t kAmrFill[13] = {0x04};

} // namespace

int32_t dvk_audio_vocoderFrameSize(dvk_oem_audio_VocoderType type, uint8_t b)
{
    switch (type) {
    case DVK_OEM_AUDIO_VOCTYPE_EVRC:
        return b <= 5 ? 1 + kEvrc[b] : 0;
    case DVK_OEM_AUDIO_VOCTYPE_AMR:
    case DVK_OEM_AUDIO_VOCTYPE_AMR2:
        return 1 + kAmr[(b >> 3) & 7];
    case DVK_OEM_AUDIO_VOCTYPE_GSM:
        return 33;
    case DVK_OEM_AUDIO_VOCTYPE_GSM65:
        return 65;
    case DVK_OEM_AUDIO_VOCTYPE_SPEEXNB:
    case DVK_OEM_AUDIO_VOCTYPE_SPEEXWB:
    case DVK_OEM_AUDIO_VOCTYPE_SPEEXUWB:
        return 1 + b;
    case DVK_OEM_AUDIO_VOCTYPE_QCELP:
        return b <= 5 ? 1 + kQcelp[b] : 0;
    default:
        return 0;
    }
}

int32_t dvk_audio_vocoderBufferSize(dvk_oem_audio_VocoderType type)
{
    switch (type) {
    case DVK_OEM_AUDIO_VOCTYPE_EVRC:
        return 23;
    case DVK_OEM_AUDIO_VOCTYPE_AMR:
    case DVK_OEM_AUDIO_VOCTYPE_AMR2:
        return 32;
    case DVK_OEM_AUDIO_VOCTYPE_GSM:
        return 33;
    case DVK_OEM_AUDIO_VOCTYPE_GSM65:
        return 65;
    case DVK_OEM_AUDIO_VOCTYPE_SPEEXNB:
    case DVK_OEM_AUDIO_VOCTYPE_SPEEXWB:
    case DVK_OEM_AUDIO_VOCTYPE_SPEEXUWB:
        return 106;
    case DVK_OEM_AUDIO_VOCTYPE_QCELP:
        return 35;
    default:
        return 0;
    }
}

const uint8_t* dvk_audio_fillFrame(dvk_oem_audio_VocoderType type, int32_t* size)
{
    switch (type) {
    case DVK_OEM_AUDIO_VOCTYPE_AMR:
    case DVK_OEM_AUDIO_VOCTYPE_AMR2:
        *size = 13;
        return kAmrFill;
    case DVK_OEM_AUDIO_VOCTYPE_GSM:
        *size = 33;
        return kZeros;
    case DVK_OEM_AUDIO_VOCTYPE_GSM65:
        *size = 65;
        return kZeros;
    case DVK_OEM_AUDIO_VOCTYPE_NONE:
        *size = 0;
        return kZeros;
    default:
        *size = 1;
        return kZeros;
    }
}

int32_t dvk_audio_pcmFrameBytes(dvk_oem_audio_PCMType type)
{
    return type == DVK_OEM_AUDIO_PCMTYPE_8K ? 320 : (type == DVK_OEM_AUDIO_PCMTYPE_16K ? 640 : 0);
}
