#include "sdk/common/dvk_audio.h"

#include "oem/dvk_oem_audio.h"
#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_audio_frames.h"
#include "sdk/common/dvk_audio_output.h"
#include "sdk/common/dvk_mem.h"

#include <cstring>
#include <deque>

namespace {

constexpr int32_t kFrameMs = 20;

struct Ring {
    uint8_t* start = nullptr;
    uint8_t* end = nullptr;
    uint8_t* write = nullptr;
    uint8_t* read = nullptr;
};

struct Recording {
    dvk_oem_audio_PCMType pcmType = DVK_OEM_AUDIO_PCMTYPE_NONE;
    dvk_oem_audio_VocoderType vocoderType = DVK_OEM_AUDIO_VOCTYPE_NONE;
    Ring pcm;
    Ring vocoded;
    int32_t framesRecorded = 0;
    int32_t framesRead = 0;
    int32_t recordingTime = 0;
    int32_t maxRecordingTime = 0;
    int32_t bufferTime = 0;
    dvk_msg_Event event = nullptr;
    dvk_msg_Message* stoppedMessage = nullptr;
};

Recording s_rec;
dvk_audio_Queue s_out{};
// Messages of stops still waiting for the player's stop report. A later
// stop must not drop an earlier one's: its owner waits for it (a prompt
// list frees itself in that message's handler).
std::deque<dvk_msg_Message*> s_outputStoppedMessages;

int32_t roundUp(int32_t ms)
{
    return (ms + kFrameMs - 1) / kFrameMs * kFrameMs;
}

void freeRing(Ring& ring)
{
    dvk_mem_dealloc(&ring.start);
    ring = Ring{};
}

bool allocRing(Ring& ring, int32_t bytes)
{
    ring.start = static_cast<uint8_t*>(dvk_mem_alloc(static_cast<size_t>(bytes)));
    if (ring.start == nullptr)
        return false;
    ring.end = ring.start + bytes;
    ring.write = ring.read = ring.start;
    return true;
}

// Moves a position one frame on, back to the start when a whole frame of
// the largest size no longer fits before the end.
void step(const Ring& ring, uint8_t*& position, int32_t size, int32_t largest)
{
    position += size;
    if (ring.end - position < largest)
        position = ring.start;
}

void audioInputCallback(int16_t* pcm, uint8_t* vocoded, int32_t* samples, int32_t* frameLength, void*)
{
    const int32_t ringFrames = s_rec.bufferTime / kFrameMs;
    if (s_rec.framesRecorded - s_rec.framesRead >= ringFrames || s_rec.recordingTime >= s_rec.maxRecordingTime)
        return;
    const int32_t pcmBytes = dvk_audio_pcmFrameBytes(s_rec.pcmType);
    if (s_rec.pcm.start != nullptr && pcm != nullptr) {
        const int32_t bytes = std::min(*samples * 2, pcmBytes);
        std::memcpy(s_rec.pcm.write, pcm, static_cast<size_t>(bytes));
        std::memset(s_rec.pcm.write + bytes, 0, static_cast<size_t>(pcmBytes - bytes));
        step(s_rec.pcm, s_rec.pcm.write, pcmBytes, pcmBytes);
    }
    if (s_rec.vocoded.start != nullptr && vocoded != nullptr) {
        const int32_t size = dvk_audio_vocoderFrameSize(s_rec.vocoderType, vocoded[0]);
        DVK_ASSERT(size == *frameLength);
        std::memcpy(s_rec.vocoded.write, vocoded, static_cast<size_t>(size));
        step(s_rec.vocoded, s_rec.vocoded.write, size, dvk_audio_vocoderBufferSize(s_rec.vocoderType));
    }
    s_rec.recordingTime += kFrameMs;
    ++s_rec.framesRecorded;
    dvk_msg_sendEvent(s_rec.event, dvk_msg_getDvkAddr());
}

void inputStoppedEvtHndlr()
{
    dvk_msg_Message* message = s_rec.stoppedMessage;
    s_rec.stoppedMessage = nullptr;
    if (message != nullptr)
        dvk_msg_send(message, dvk_msg_getDvkAddr());
}

// ---- output ----

void audioOutputCallback(int16_t* pcm, uint8_t* vocoded, int32_t* samples, int32_t* frameLength, void*);
void audioDoneCallback(void*);
void bufferDoneEvtHndlr();

void restartOutputEvtHndlr()
{
    const dvk_audio_Item* item = s_out.current;
    if (item == nullptr)
        return;
    dvk_oem_audio_startPlayback(item->device, item->pcmType, item->vocoderType, audioOutputCallback,
                                audioDoneCallback, nullptr);
}

void startOutput(dvk_audio_Item* item)
{
    s_out.current = item;
    dvk_oem_audio_stopPlayback(restartOutputEvtHndlr);
}

void audioOutputCallback(int16_t* pcm, uint8_t* vocoded, int32_t* samples, int32_t* frameLength, void*)
{
    if (dvk_audio_outputFrame(&s_out, pcm, vocoded, samples, frameLength))
        dvk_msg_sendEvent(bufferDoneEvtHndlr, dvk_msg_getDvkAddr());
}

void audioDoneCallback(void*)
{
    if (s_out.oldest != nullptr)
        dvk_msg_sendEvent(bufferDoneEvtHndlr, dvk_msg_getDvkAddr());
}

void bufferDoneEvtHndlr()
{
    dvk_audio_Item* item = s_out.oldest;
    if (item == nullptr)
        return;
    s_out.oldest = item->next;
    if (s_out.oldest == nullptr)
        s_out.newest = nullptr;
    if (s_out.current == item)
        s_out.current = nullptr;
    dvk_msg_Message* message = item->doneMessage;
    if (item->streaming || (s_out.oldest != nullptr && s_out.oldest->streaming)) {
        if (message != nullptr && s_out.oldest != nullptr && s_out.oldest->doneMessage == nullptr &&
            item->streaming) {
            s_out.oldest->doneMessage = message; // the stream's message goes with its last piece
            message = nullptr;
        }
    }
    dvk_mem_dealloc(&item);
    if (message != nullptr)
        dvk_msg_send(message, dvk_msg_getDvkAddr());
    dvk_audio_Item* next = s_out.oldest;
    if (next != nullptr && s_out.current == nullptr && next->cursor != nullptr && next->cursor < next->end)
        startOutput(next);
}

void outputStoppedEvtHndlr()
{
    std::deque<dvk_msg_Message*> waiting;
    waiting.swap(s_outputStoppedMessages);
    for (dvk_msg_Message* message : waiting)
        dvk_msg_send(message, dvk_msg_getDvkAddr());
}

int32_t enqueue(dvk_audio_Item* item)
{
    DVK_ASSERT(item->streaming || s_out.newest == DVK_NULL || !s_out.newest->streaming);
    if (s_out.newest != nullptr)
        s_out.newest->next = item;
    else
        s_out.oldest = item;
    s_out.newest = item;
    if (s_out.current == nullptr) {
        const bool plainVocoded = item->pcmType == DVK_OEM_AUDIO_PCMTYPE_NONE && !item->streaming;
        startOutput(plainVocoded ? s_out.oldest : item);
    }
    return 0;
}

dvk_audio_Item* newItem(dvk_oem_audio_OutputDevice device, dvk_oem_audio_PCMType pcmType,
                        dvk_oem_audio_VocoderType vocoderType, const uint8_t* data, int32_t bytes,
                        dvk_msg_Message* done)
{
    auto* item = static_cast<dvk_audio_Item*>(dvk_mem_alloc(sizeof(dvk_audio_Item)));
    if (item == nullptr) {
        dvk_msg_destroy(&done);
        return nullptr;
    }
    *item = dvk_audio_Item{nullptr, device, pcmType, vocoderType, data, data != nullptr ? data + bytes : nullptr,
                           done, false, 0, false};
    return item;
}

} // namespace

int32_t dvk_audio_startRecording(dvk_oem_audio_InputDevice device, dvk_oem_audio_PCMType pcmType,
                                 dvk_oem_audio_VocoderType vocoderType, int32_t maxTimeMs, int32_t bufferTimeMs,
                                 dvk_msg_Event event)
{
    DVK_ASSERT(!(pcmType == DVK_OEM_AUDIO_PCMTYPE_NONE && vocoderType == DVK_OEM_AUDIO_VOCTYPE_NONE));
    DVK_ASSERT(maxTimeMs >= 1);
    DVK_ASSERT(bufferTimeMs >= 1);
    freeRing(s_rec.pcm);
    freeRing(s_rec.vocoded);
    s_rec.pcmType = pcmType;
    s_rec.vocoderType = vocoderType;
    s_rec.maxRecordingTime = roundUp(maxTimeMs);
    s_rec.bufferTime = roundUp(bufferTimeMs);
    const int32_t frames = s_rec.bufferTime / kFrameMs;
    if ((pcmType != DVK_OEM_AUDIO_PCMTYPE_NONE && !allocRing(s_rec.pcm, frames * dvk_audio_pcmFrameBytes(pcmType))) ||
        (vocoderType != DVK_OEM_AUDIO_VOCTYPE_NONE &&
         !allocRing(s_rec.vocoded, frames * dvk_audio_vocoderBufferSize(vocoderType)))) {
        freeRing(s_rec.pcm);
        freeRing(s_rec.vocoded);
        return 1;
    }
    s_rec.framesRecorded = 0;
    s_rec.framesRead = 0;
    s_rec.recordingTime = 0;
    s_rec.event = event;
    dvk_oem_audio_startRecording(device, pcmType, vocoderType, audioInputCallback, nullptr);
    return 0;
}

void dvk_audio_getInputFrame(int16_t** pcm, int32_t* samples, uint8_t** vocoded, int32_t* bytes)
{
    *pcm = nullptr;
    *samples = 0;
    *vocoded = nullptr;
    *bytes = 0;
    if (s_rec.framesRecorded == s_rec.framesRead)
        return;
    if (s_rec.pcm.start != nullptr) {
        *pcm = reinterpret_cast<int16_t*>(s_rec.pcm.read);
        *samples = dvk_audio_pcmFrameBytes(s_rec.pcmType) / 2;
    }
    if (s_rec.vocoded.start != nullptr) {
        *vocoded = s_rec.vocoded.read;
        *bytes = dvk_audio_vocoderFrameSize(s_rec.vocoderType, *s_rec.vocoded.read);
    }
}

void dvk_audio_advanceInputFrame()
{
    if (s_rec.framesRecorded == s_rec.framesRead)
        return;
    if (s_rec.pcm.start != nullptr) {
        const int32_t bytes = dvk_audio_pcmFrameBytes(s_rec.pcmType);
        step(s_rec.pcm, s_rec.pcm.read, bytes, bytes);
    }
    if (s_rec.vocoded.start != nullptr)
        step(s_rec.vocoded, s_rec.vocoded.read, dvk_audio_vocoderFrameSize(s_rec.vocoderType, *s_rec.vocoded.read),
             dvk_audio_vocoderBufferSize(s_rec.vocoderType));
    ++s_rec.framesRead;
}

int32_t dvk_audio_getNumInputFrames()
{
    return s_rec.framesRecorded - s_rec.framesRead;
}

int32_t dvk_audio_getRecordingTime()
{
    return s_rec.recordingTime;
}

int32_t dvk_audio_getMaxRecordingTime()
{
    return s_rec.maxRecordingTime;
}

int32_t dvk_audio_getPlaybackTime()
{
    return s_out.playbackTime;
}

int32_t dvk_audio_stopRecording(dvk_msg_Message* message)
{
    if (s_rec.stoppedMessage != nullptr)
        dvk_msg_destroy(&s_rec.stoppedMessage);
    s_rec.stoppedMessage = message;
    dvk_oem_audio_stopRecording(inputStoppedEvtHndlr);
    freeRing(s_rec.pcm);
    freeRing(s_rec.vocoded);
    s_rec.framesRecorded = 0;
    s_rec.framesRead = 0;
    s_rec.recordingTime = 0;
    s_rec.maxRecordingTime = 0;
    s_rec.bufferTime = 0;
    return 0;
}

int32_t dvk_audio_pauseRecording(int32_t flag)
{
    return dvk_oem_audio_pauseRecording(flag);
}

int32_t dvk_audio_pausePlayback()
{
    return dvk_oem_audio_pausePlayback();
}

int32_t dvk_audio_getPCMRecordingType()
{
    return dvk_oem_audio_getPCMRecordingType();
}

int32_t dvk_audio_getPCMPlaybackType()
{
    return dvk_oem_audio_getPCMPlaybackType();
}

int32_t dvk_audio_getVocoderRecordingType()
{
    return dvk_oem_audio_getVocoderRecordingType();
}

int32_t dvk_audio_getVocoderPlaybackType()
{
    return dvk_oem_audio_getVocoderPlaybackType();
}

int32_t dvk_audio_startPcmPlayback(dvk_oem_audio_OutputDevice device, dvk_oem_audio_PCMType pcmType,
                                   const int16_t* samples, int32_t count, dvk_msg_Message* done)
{
    DVK_ASSERT(samples != DVK_NULL);
    DVK_ASSERT(count >= 1);
    dvk_audio_Item* item = newItem(device, pcmType, DVK_OEM_AUDIO_VOCTYPE_NONE,
                                   reinterpret_cast<const uint8_t*>(samples), 2 * count, done);
    return item != nullptr ? enqueue(item) : 1;
}

int32_t dvk_audio_startVocodedPlayback(dvk_oem_audio_OutputDevice device, dvk_oem_audio_VocoderType vocoderType,
                                       const uint8_t* data, int32_t length, dvk_msg_Message* done)
{
    DVK_ASSERT(data != DVK_NULL);
    DVK_ASSERT(length >= 1);
    dvk_audio_Item* item = newItem(device, DVK_OEM_AUDIO_PCMTYPE_NONE, vocoderType, data, length, done);
    return item != nullptr ? enqueue(item) : 1;
}

int32_t dvk_audio_startStreamingVocodedPlayback(dvk_oem_audio_OutputDevice device,
                                                dvk_oem_audio_VocoderType vocoderType, int32_t leadMs,
                                                const uint8_t* data, int32_t length, dvk_msg_Message* done)
{
    dvk_audio_Item* item = newItem(device, DVK_OEM_AUDIO_PCMTYPE_NONE, vocoderType, data != nullptr ? data : nullptr,
                                   data != nullptr ? length : 0, done);
    if (item == nullptr)
        return 1;
    item->streaming = true;
    if (data != nullptr && length > 0)
        item->lead = dvk_audio_vocoderFrameSize(vocoderType, data[0]) * (leadMs / kFrameMs);
    return enqueue(item);
}

void dvk_audio_endStreamingVocodedPlayback()
{
    DVK_ASSERT(s_out.newest != DVK_NULL);
    DVK_ASSERT(s_out.newest->streaming);
    s_out.newest->streaming = false;
}

int32_t dvk_audio_stopPlayback(dvk_msg_Message* message)
{
    if (message != nullptr)
        s_outputStoppedMessages.push_back(message);
    dvk_oem_audio_stopPlayback(outputStoppedEvtHndlr);
    while (s_out.oldest != nullptr) {
        dvk_audio_Item* item = s_out.oldest;
        s_out.oldest = item->next;
        dvk_msg_destroy(&item->doneMessage);
        dvk_mem_dealloc(&item);
    }
    s_out = dvk_audio_Queue{};
    return 0;
}
