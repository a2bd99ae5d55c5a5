// Synthesised speech from the recogniser, played through a ring of eight
// buffers of 100 ms: each played buffer is refilled and queued again.
#include "core/prompt/dvk_prompt.h"

#include "core/utils/dvk_ucs2.h"
#include "core/vre/dvk_vre.h"
#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_audio.h"
#include "sdk/common/dvk_mem.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int32_t kFirstFill = 6;  // buffers filled before any is queued
constexpr int32_t kVocodedFrame = 65;

bool vocoded(const dvk_prompt_Tts* tts)
{
    return tts->vocoderType != DVK_OEM_AUDIO_VOCTYPE_NONE;
}

int32_t bufferBytes(const dvk_prompt_Tts* tts)
{
    if (vocoded(tts))
        return 5 * kVocodedFrame;
    return tts->pcmType == DVK_OEM_AUDIO_PCMTYPE_16K ? 3200 : 1600;
}

// Messages filled into a buffer but never handed to the audio.
void dropHeldMessages(dvk_prompt_Tts* tts)
{
    for (dvk_prompt_TtsBuffer& buffer : tts->buffers)
        dvk_msg_destroy(&buffer.message);
    dvk_msg_destroy(&tts->done);
}

void freeTts(dvk_prompt_Tts* tts)
{
    tts->destroyed = 2;
    dropHeldMessages(tts);
    dvk_ucs2_destroy(&tts->text);
    dvk_mem_dealloc(&tts->wordIds);
    for (dvk_prompt_TtsBuffer& buffer : tts->buffers)
        dvk_mem_dealloc(&buffer.data);
    dvk_mem_dealloc(&tts);
}

void releaseTts(void* data)
{
    auto* tts = static_cast<dvk_prompt_Tts*>(data);
    if (--tts->pending == 0 && tts->destroyed == 1)
        freeTts(tts);
}

void stopTts(dvk_prompt_Tts* tts)
{
    if (tts->stopped)
        return;
    tts->stopped = 1;
    dvk_vre_stopTTS(tts->vre);
}

// Synthesis cannot go on: whoever waits for it is told at once.
void fail(dvk_prompt_Tts* tts)
{
    stopTts(tts);
    dvk_msg_Message* done = tts->done;
    tts->done = nullptr;
    if (done != nullptr)
        dvk_msg_send(done, dvk_msg_getDvkAddr());
}

void bufferDoneMsgHndlr(void* data, dvk_msg_Address);

// Fills buffer i; its message is the next buffer's turn or, at the end, the
// done message. False (after fail) when memory is short.
bool createTTSBuffer(dvk_prompt_Tts* tts, int32_t i)
{
    dvk_prompt_TtsBuffer& buffer = tts->buffers[i];
    const int32_t size = bufferBytes(tts);
    if (buffer.data == nullptr)
        buffer.data = static_cast<uint8_t*>(dvk_mem_alloc(static_cast<size_t>(size)));
    if (buffer.data == nullptr) {
        fail(tts);
        return false;
    }
    int32_t bytes = 0;
    int32_t frames = 0;
    const int32_t finished = dvk_vre_getTTS(tts->vre, buffer.data, size, &bytes, &frames);
    // Never more than the buffer holds, whatever the recogniser says.
    bytes = std::min(std::max(bytes, 0), size);
    if (finished == 0) {
        ++tts->pending;  // given back by releaseTts, also when the create fails
        buffer.message = dvk_msg_create(tts, bufferDoneMsgHndlr, releaseTts);
        if (buffer.message == nullptr) {
            fail(tts);
            return false;
        }
        tts->next = (i + 1) % DVK_PROMPT_TTS_BUFFERS;
    } else {
        tts->next = -1;
        if (bytes == 0) {  // one silent frame carries the end
            bytes = vocoded(tts) ? kVocodedFrame : (tts->pcmType == DVK_OEM_AUDIO_PCMTYPE_16K ? 640 : 320);
            std::memset(buffer.data, 0, static_cast<size_t>(bytes));
        }
        buffer.message = tts->done;
        tts->done = nullptr;
    }
    buffer.bytes = bytes;
    buffer.samples = vocoded(tts) ? frames : bytes / 2;
    return true;
}

void playTTSBuffer(dvk_prompt_Tts* tts, int32_t i)
{
    dvk_prompt_TtsBuffer& buffer = tts->buffers[i];
    dvk_msg_Message* message = buffer.message;
    buffer.message = nullptr;
    if (buffer.bytes == 0 || (!vocoded(tts) && buffer.samples == 0)) {
        // Nothing to hear: the turn passes on at once.
        if (message != nullptr)
            dvk_msg_send(message, dvk_msg_getDvkAddr());
        return;
    }
    const int32_t refused =
        vocoded(tts) ? dvk_audio_startVocodedPlayback(DVK_OEM_AUDIO_OUTPUT_SPEAKER, tts->vocoderType, buffer.data,
                                                      buffer.bytes, message)
                     : dvk_audio_startPcmPlayback(DVK_OEM_AUDIO_OUTPUT_SPEAKER, tts->pcmType,
                                                  reinterpret_cast<const int16_t*>(buffer.data), buffer.samples,
                                                  message);
    if (refused != 0)
        fail(tts);
}

void bufferDoneMsgHndlr(void* data, dvk_msg_Address)
{
    auto* tts = static_cast<dvk_prompt_Tts*>(data);
    if (tts->destroyed)
        return;
    if (tts->next == -1 || tts->stopped) {
        stopTts(tts);
        return;
    }
    const int32_t i = tts->next;
    if (createTTSBuffer(tts, i))
        playTTSBuffer(tts, i);
}

dvk_prompt_Tts* newTts(dvk_vre_Recognizer* vre)
{
    auto* tts = static_cast<dvk_prompt_Tts*>(dvk_mem_alloc(sizeof(dvk_prompt_Tts)));
    if (tts != nullptr) {
        *tts = dvk_prompt_Tts{};
        tts->vre = vre;
        tts->pcmType = DVK_OEM_AUDIO_PCMTYPE_NONE;
        tts->vocoderType = DVK_OEM_AUDIO_VOCTYPE_NONE;
    }
    return tts;
}

} // namespace

dvk_prompt_Tts* dvk_prompt_createTextTTS(dvk_vre_Recognizer* vre, const dvk_ucs2_Char* text)
{
    DVK_ASSERT(text != DVK_NULL);
    dvk_prompt_Tts* tts = newTts(vre);
    if (tts == nullptr)
        return nullptr;
    tts->text = dvk_ucs2_createCopy(text);
    if (tts->text == nullptr)
        dvk_mem_dealloc(&tts);
    return tts;
}

dvk_prompt_Tts* dvk_prompt_createWordIdTTS(dvk_vre_Recognizer* vre, const int32_t* wordIds, int32_t count)
{
    DVK_ASSERT(wordIds != DVK_NULL);
    DVK_ASSERT(count >= 1);
    dvk_prompt_Tts* tts = newTts(vre);
    if (tts == nullptr)
        return nullptr;
    tts->wordIds = static_cast<int32_t*>(dvk_mem_alloc(sizeof(int32_t) * static_cast<size_t>(count)));
    if (tts->wordIds == nullptr) {
        dvk_mem_dealloc(&tts);
        return nullptr;
    }
    std::memcpy(tts->wordIds, wordIds, sizeof(int32_t) * static_cast<size_t>(count));
    tts->wordCount = count;
    return tts;
}

void dvk_prompt_destroyTTSObj(dvk_prompt_Tts** tts)
{
    DVK_ASSERT(tts != DVK_NULL);
    if (*tts == nullptr)
        return;
    if ((*tts)->started)
        stopTts(*tts);
    // Buffers still queued in the audio are read until their messages return.
    (*tts)->destroyed = 1;
    ++(*tts)->pending;
    dropHeldMessages(*tts);
    releaseTts(*tts);
    *tts = nullptr;
}

void dvk_prompt_startTTSPlayback(dvk_prompt_Tts* tts, dvk_msg_Message* done, int32_t speed, int32_t volume)
{
    DVK_ASSERT(tts != DVK_NULL);
    tts->done = done;
    if (tts->stopped || tts->started) {
        fail(tts);
        return;
    }
    const int32_t refused =
        tts->text != nullptr
            ? dvk_vre_startTTSFromText(tts->vre, tts->text, speed, volume, &tts->pcmType, &tts->vocoderType)
            : dvk_vre_startTTSFromIds(tts->vre, tts->wordIds, tts->wordCount, speed, volume, &tts->pcmType,
                                      &tts->vocoderType);
    if (refused != 0) {
        dvk_msg_Message* message = tts->done;
        tts->done = nullptr;
        tts->stopped = 1;
        if (message != nullptr)
            dvk_msg_send(message, dvk_msg_getDvkAddr());
        return;
    }
    tts->started = 1;
    tts->next = 0;
    int32_t filled = 0;
    while (filled < kFirstFill && tts->next != -1) {
        if (!createTTSBuffer(tts, filled))
            return;
        ++filled;
    }
    for (int32_t i = 0; i < filled; ++i)
        playTTSBuffer(tts, i);
    while (tts->next >= kFirstFill && !tts->stopped) {
        const int32_t i = tts->next;
        if (!createTTSBuffer(tts, i))
            return;
        playTTSBuffer(tts, i);
    }
}

void dvk_prompt_stopTTSPlayback(dvk_prompt_Tts* tts)
{
    DVK_ASSERT(tts != DVK_NULL);
    if (tts->started)
        stopTts(tts);
    else
        tts->stopped = 1;
}
