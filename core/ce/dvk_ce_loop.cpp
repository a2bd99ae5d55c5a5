#include "core/ce/dvk_ce_loop.h"

#include "core/vre/dvk_vre.h"
#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_audio.h"
#include "sdk/common/dvk_ui.h"

void dvk_ce_takeInputFrame(dvk_vre_Recognizer* vre, dvk_ce_Listening* listening, dvk_ce_FeedPcm feed,
                           void (*stopAllAudio)(void), dvk_msg_Event featureStep)
{
    if (listening == nullptr) {
        if (dvk_audio_getNumInputFrames() > 0)
            dvk_audio_advanceInputFrame();
        return;
    }
    int16_t* pcm = nullptr;
    int32_t samples = 0;
    uint8_t* vocoded = nullptr;
    int32_t bytes = 0;
    dvk_audio_getInputFrame(&pcm, &samples, &vocoded, &bytes);
    if (listening->recording && pcm != nullptr) {
        const int32_t ended = feed(vre, pcm, samples);
        dvk_audio_advanceInputFrame();
        const int32_t time = dvk_audio_getRecordingTime();
        const int32_t maximum = dvk_audio_getMaxRecordingTime();
        dvk_ui_setAudioInputInfo(time, maximum);
        if (ended != 0 || time >= maximum)
            stopAllAudio();
    } else if (dvk_audio_getNumInputFrames() > 0) {
        dvk_audio_advanceInputFrame();
    }
    if (dvk_audio_getNumInputFrames() > 0 || listening->recognitionFinished)
        return;
    dvk_msg_sendEvent(featureStep, dvk_msg_getDvkAddr());
}

bool dvk_ce_stepFeatures(dvk_vre_Recognizer* vre, dvk_ce_Listening* listening, dvk_msg_Event self,
                         int32_t* memoryError)
{
    DVK_ASSERT(memoryError != DVK_NULL);
    *memoryError = 0;
    int32_t more = 0;
    listening->recognitionFinished = dvk_vre_processFeature(vre, &more, memoryError);
    if (*memoryError != 0)
        return false;
    if (!listening->recognitionFinished && (more || listening->recording)) {
        if (dvk_audio_getNumInputFrames() == 0 && more)
            dvk_msg_sendEvent(self, dvk_msg_getDvkAddr());
        return false;
    }
    return true;
}
