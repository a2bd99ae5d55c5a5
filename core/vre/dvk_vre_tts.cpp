// Synthesis through the engine: word ids on the main engine, texts on the
// synthesis-only engine when the language has one.
#include "core/vre/dvk_vre_record.h"

#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_audio.h"

namespace {

const int32_t kEncodingPcm = 4;

struct TtsSetup {
    int32_t encoding;
    int32_t rate;
};

// How the engine's synthesis comes out: 16-bit PCM at the playback rate, or
// vocoded frames.
int32_t setupTTS(BrevitEngine* engine, TtsSetup* setup, dvk_oem_audio_PCMType* pcmType,
                 dvk_oem_audio_VocoderType* vocoderType)
{
    int32_t encoding = 0;
    if (Brevit_GetTTSEncoding(engine, &encoding) != EBrevit_OK)
        return 1;
    setup->encoding = encoding;
    if (encoding == kEncodingPcm) {
        *vocoderType = DVK_OEM_AUDIO_VOCTYPE_NONE;
        *pcmType = dvk_audio_getPCMPlaybackType();
        setup->rate = *pcmType == DVK_OEM_AUDIO_PCMTYPE_8K ? 8000 : 16000;
    } else {
        *pcmType = DVK_OEM_AUDIO_PCMTYPE_NONE;
        setup->rate = 50;
        *vocoderType = encoding == 1 ? DVK_OEM_AUDIO_VOCTYPE_EVRC : DVK_OEM_AUDIO_VOCTYPE_AMR;
    }
    return 0;
}

int32_t clamp(int32_t value, int32_t low, int32_t high)
{
    return value < low ? low : value > high ? high : value;
}

}  // namespace

int32_t dvk_vre_startTTSFromIds(dvk_vre_Recognizer* vre, const int32_t* wordIds, int32_t count,
                                int32_t speed, int32_t volume, dvk_oem_audio_PCMType* pcmType,
                                dvk_oem_audio_VocoderType* vocoderType)
{
    DVK_ASSERT(vre != DVK_NULL);
    DVK_ASSERT(wordIds != DVK_NULL);
    DVK_ASSERT(pcmType != DVK_NULL);
    DVK_ASSERT(vocoderType != DVK_NULL);
    TtsSetup setup;
    if (setupTTS(vre->engine, &setup, pcmType, vocoderType) != 0)
        return 1;
    vre->currentTtsEngine = vre->engine;
    const EBrevit started = Brevit_StartTTSFromIds(vre->engine, reinterpret_cast<const VocId*>(wordIds), count,
                                                   setup.encoding, setup.rate, clamp(speed, 20, 500),
                                                   clamp(volume, -10, 10));
    return started == EBrevit_OK ? 0 : 1;
}

int32_t dvk_vre_startTTSFromText(dvk_vre_Recognizer* vre, const dvk_ucs2_Char* text, int32_t speed,
                                 int32_t volume, dvk_oem_audio_PCMType* pcmType,
                                 dvk_oem_audio_VocoderType* vocoderType)
{
    DVK_ASSERT(vre != DVK_NULL);
    DVK_ASSERT(text != DVK_NULL);
    DVK_ASSERT(pcmType != DVK_NULL);
    DVK_ASSERT(vocoderType != DVK_NULL);
    BrevitEngine* engine = vre->ttsEngine != nullptr ? vre->ttsEngine : vre->engine;
    TtsSetup setup;
    if (setupTTS(engine, &setup, pcmType, vocoderType) != 0)
        return 1;
    vre->currentTtsEngine = engine;
    const EBrevit started = Brevit_StartTTSFromTextU(engine, text, setup.encoding, setup.rate,
                                                     clamp(speed, 20, 500), clamp(volume, -10, 10));
    return started == EBrevit_OK ? 0 : 1;
}

int32_t dvk_vre_getTTS(dvk_vre_Recognizer* vre, uint8_t* buffer, int32_t bufferBytes, int32_t* numBytes,
                       int32_t* numFrames)
{
    DVK_ASSERT(vre != DVK_NULL);
    DVK_ASSERT(numBytes != DVK_NULL);
    DVK_ASSERT(numFrames != DVK_NULL);
    *numBytes = 0;
    *numFrames = 0;
    if (vre->currentTtsEngine == nullptr)
        return 1;
    int32_t encoding = 0;
    if (Brevit_GetTTSEncoding(vre->currentTtsEngine, &encoding) != EBrevit_OK)
        return 1;
    int32_t done = 1;
    if (encoding == kEncodingPcm) {
        int32_t samples = 0;
        if (Brevit_ProcessTTSPCM(vre->currentTtsEngine, bufferBytes / 2, reinterpret_cast<int16_t*>(buffer),
                                 &samples, &done) != EBrevit_OK)
            return 1;
        *numBytes = 2 * samples;
        *numFrames = samples;
    } else if (Brevit_ProcessTTS(vre->currentTtsEngine, bufferBytes, buffer, numBytes, numFrames, &done) !=
               EBrevit_OK) {
        return 1;
    }
    return done != 0 ? 1 : 0;
}

int32_t dvk_vre_stopTTS(dvk_vre_Recognizer* vre)
{
    DVK_ASSERT(vre != DVK_NULL);
    if (vre->currentTtsEngine == nullptr)
        return 0;
    BrevitEngine* engine = vre->currentTtsEngine;
    vre->currentTtsEngine = nullptr;
    return Brevit_StopTTS(engine) == EBrevit_OK ? 0 : 1;
}
