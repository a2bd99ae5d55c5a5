#include "tests/core/prompt/fakes/fake_audio.h"

#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_audio.h"

FakeAudio& fakeAudio()
{
    static FakeAudio audio;
    return audio;
}

void resetFakeAudio()
{
    for (FakeAudioItem& item : fakeAudio().queued)
        dvk_msg_destroy(&item.message);
    dvk_msg_destroy(&fakeAudio().stopMessage);
    fakeAudio() = FakeAudio{};
}

bool fakeAudioPlay(size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        if (fakeAudio().queued.empty())
            return false;
        dvk_msg_Message* message = fakeAudio().queued.front().message;
        fakeAudio().queued.pop_front();
        if (message != nullptr)
            dvk_msg_send(message, dvk_msg_getDvkAddr());
    }
    return true;
}

void fakeAudioStopped()
{
    dvk_msg_Message* message = fakeAudio().stopMessage;
    fakeAudio().stopMessage = nullptr;
    if (message != nullptr)
        dvk_msg_send(message, dvk_msg_getDvkAddr());
}

namespace {

int32_t queue(FakeAudioItem item, dvk_msg_Message* message)
{
    if (fakeAudio().refuseNext > 0) {
        --fakeAudio().refuseNext;
        dvk_msg_destroy(&message);  // as the real queue does when it cannot take an item
        return 1;
    }
    item.withMessage = message != nullptr;
    fakeAudio().log.push_back(item);
    item.message = message;
    fakeAudio().queued.push_back(item);
    return 0;
}

} // namespace

int32_t dvk_audio_startRecording(dvk_oem_audio_InputDevice, dvk_oem_audio_PCMType, dvk_oem_audio_VocoderType,
                                 int32_t, int32_t, dvk_msg_Event)
{
    return 0;
}

void dvk_audio_getInputFrame(int16_t** pcm, int32_t* samples, uint8_t** vocoded, int32_t* bytes)
{
    *pcm = nullptr;
    *samples = 0;
    *vocoded = nullptr;
    *bytes = 0;
}

void dvk_audio_advanceInputFrame() {}

int32_t dvk_audio_getNumInputFrames()
{
    return 0;
}

int32_t dvk_audio_getRecordingTime()
{
    return 0;
}

int32_t dvk_audio_getMaxRecordingTime()
{
    return 0;
}

int32_t dvk_audio_getPlaybackTime()
{
    return 0;
}

int32_t dvk_audio_stopRecording(dvk_msg_Message* message)
{
    if (message != nullptr)
        dvk_msg_send(message, dvk_msg_getDvkAddr());
    return 0;
}

int32_t dvk_audio_pauseRecording(int32_t)
{
    return 0;
}

int32_t dvk_audio_pausePlayback()
{
    return 0;
}

int32_t dvk_audio_getPCMRecordingType()
{
    return 0;
}

int32_t dvk_audio_getPCMPlaybackType()
{
    return fakeAudio().pcmPlaybackType;
}

int32_t dvk_audio_getVocoderRecordingType()
{
    return DVK_OEM_AUDIO_VOCTYPE_NONE;
}

int32_t dvk_audio_getVocoderPlaybackType()
{
    return DVK_OEM_AUDIO_VOCTYPE_AMR;
}

int32_t dvk_audio_startPcmPlayback(dvk_oem_audio_OutputDevice device, dvk_oem_audio_PCMType pcmType,
                                   const int16_t* samples, int32_t count, dvk_msg_Message* done)
{
    DVK_ASSERT(samples != DVK_NULL);
    DVK_ASSERT(count >= 1);
    FakeAudioItem item;
    item.kind = "pcm";
    item.device = device;
    item.pcmType = pcmType;
    item.vocoderType = DVK_OEM_AUDIO_VOCTYPE_NONE;
    item.bytes.assign(reinterpret_cast<const char*>(samples), 2 * static_cast<size_t>(count));
    item.data = samples;
    return queue(item, done);
}

int32_t dvk_audio_startVocodedPlayback(dvk_oem_audio_OutputDevice device, dvk_oem_audio_VocoderType vocoderType,
                                       const uint8_t* data, int32_t length, dvk_msg_Message* done)
{
    DVK_ASSERT(data != DVK_NULL);
    DVK_ASSERT(length >= 1);
    FakeAudioItem item;
    item.kind = "vocoded";
    item.device = device;
    item.pcmType = DVK_OEM_AUDIO_PCMTYPE_NONE;
    item.vocoderType = vocoderType;
    item.bytes.assign(reinterpret_cast<const char*>(data), static_cast<size_t>(length));
    item.data = data;
    return queue(item, done);
}

int32_t dvk_audio_startStreamingVocodedPlayback(dvk_oem_audio_OutputDevice device,
                                                dvk_oem_audio_VocoderType vocoderType, int32_t leadMs,
                                                const uint8_t* data, int32_t length, dvk_msg_Message* done)
{
    FakeAudioItem item;
    item.kind = "stream";
    item.device = device;
    item.pcmType = DVK_OEM_AUDIO_PCMTYPE_NONE;
    item.vocoderType = vocoderType;
    item.leadMs = leadMs;
    if (data != nullptr)
        item.bytes.assign(reinterpret_cast<const char*>(data), static_cast<size_t>(length));
    item.data = data;
    return queue(item, done);
}

void dvk_audio_endStreamingVocodedPlayback()
{
    fakeAudio().calls.push_back("end");
}

int32_t dvk_audio_stopPlayback(dvk_msg_Message* message)
{
    fakeAudio().calls.push_back(message != nullptr ? "stop+message" : "stop");
    for (FakeAudioItem& item : fakeAudio().queued)
        dvk_msg_destroy(&item.message);
    fakeAudio().queued.clear();
    dvk_msg_destroy(&fakeAudio().stopMessage);  // as the real one forgets an earlier stop's
    fakeAudio().stopMessage = message;
    if (!fakeAudio().slowStop)
        fakeAudioStopped();
    return 0;
}
