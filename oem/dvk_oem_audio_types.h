// The porting interface's audio types, shared by the suite audio, the OEM
// audio and the recorder and player glue.
#pragma once

#include <cstdint>

typedef int32_t dvk_oem_audio_InputDevice;
typedef int32_t dvk_oem_audio_OutputDevice;
typedef int32_t dvk_oem_audio_PCMType;
typedef int32_t dvk_oem_audio_VocoderType;

enum : int32_t {
    DVK_OEM_AUDIO_INPUT_MICROPHONE = 0,
    DVK_OEM_AUDIO_OUTPUT_SPEAKER = 0,
};

enum : int32_t {
    DVK_OEM_AUDIO_PCMTYPE_8K = 0,
    DVK_OEM_AUDIO_PCMTYPE_16K = 1,
    DVK_OEM_AUDIO_PCMTYPE_NONE = 2,
};

enum : int32_t {
    DVK_OEM_AUDIO_VOCTYPE_EVRC = 0,
    DVK_OEM_AUDIO_VOCTYPE_AMR = 1,
    DVK_OEM_AUDIO_VOCTYPE_AMR2 = 2,
    DVK_OEM_AUDIO_VOCTYPE_GSM = 3,
    DVK_OEM_AUDIO_VOCTYPE_GSM65 = 4,
    DVK_OEM_AUDIO_VOCTYPE_SPEEXNB = 5,
    DVK_OEM_AUDIO_VOCTYPE_SPEEXWB = 6,
    DVK_OEM_AUDIO_VOCTYPE_SPEEXUWB = 7,
    DVK_OEM_AUDIO_VOCTYPE_QCELP = 8,
    DVK_OEM_AUDIO_VOCTYPE_NONE = 9,
};

// One shape for both directions: recording hands samples (or a vocoded
// frame) to the suite; playback asks the suite to fill samples or one
// vocoded frame. Counts are in samples and bytes.
typedef void (*dvk_oem_audio_AudioCallback)(int16_t* pcm, uint8_t* vocoded, int32_t* samples,
                                            int32_t* frameLength, void* context);
typedef void (*dvk_oem_audio_DoneCallback)(void* context);
typedef void (*dvk_oem_audio_StoppedCallback)(void);
