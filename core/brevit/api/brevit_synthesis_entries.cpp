// The engine's text-to-speech entry points over its synthesis object.
#include "core/brevit/api/brevit_call_frame.h"
#include "core/brevit/api/brevit_synthesis.h"
#include "core/brevit/api/brevit_tts_encodings.h"
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/synthesis/tts.h"

#include <algorithm>
#include <cstring>

namespace {

const BrevitTTSEncoding& encodingInfo(int32_t encoding)
{
    return BrevitPriv_TTSEncodingInfo(encoding);
}

constexpr VocId kFirstSpecialId = 0xFFFFFFFBu;

EBrevit startCode(int32_t code)
{
    switch (code) {
    case kTTSDone:
    case kTTSNothingToSay:
    case kTTSNoOutput:
    case kTTSCallAgain: return EBrevit_OK;
    case kTTSNotSupported: return EBrevit_NothingToSynthesize;
    case kTTSResult7: return EBrevit_AdditionRefused;
    case kTTSOutOfMemory: return EBrevit_MemoryError;
    default: return EBrevit_EngineError;
    }
}

// A fetch code: the engine result, whether the output is done and whether
// the loop ends.
struct Fetch {
    EBrevit result;
    bool done;
    bool stop;
};

Fetch fetchCode(int32_t code)
{
    switch (code) {
    case kTTSDone:
    case kTTSNoOutput:
    case kTTSCallAgain: return {EBrevit_OK, false, false};
    case kTTSNothingToSay: return {EBrevit_OK, true, true};
    case kTTSNotSupported: return {EBrevit_NothingToSynthesize, false, true};
    case kTTSStop: return {EBrevit_OK, false, true};
    case kTTSResult7: return {EBrevit_AdditionRefused, false, true};
    case kTTSOutOfMemory: return {EBrevit_MemoryError, true, true};
    default: return {EBrevit_EngineError, false, true};
    }
}

EBrevit stop(BrevitEngine* e)
{
    if (TTS_StopUtterance(e->synthesis) != kTTSNotAvailable)
        return EBrevit_OK;
    BrevitTTSState* s = e->ttsState;
    if (s == nullptr)
        return EBrevit_OK;
    const EBrevit result = s->readPosition < s->fill ? EBrevit_BufferTooSmall : EBrevit_OK;
    BrevitPriv_ResetTTSState(s);
    return result;
}

// The older way: renders the whole utterance into the engine's buffer.
template <typename Render>
EBrevit startOlder(BrevitEngine* e, bool sameInput, int32_t encoding, int32_t rate, Render render)
{
    BrevitTTSState* s = BrevitPriv_TTSState(e);
    if (s == nullptr)
        return EBrevit_MemoryError;
    if (!sameInput)
        BrevitPriv_ResetTTSState(s);
    if (rate != encodingInfo(encoding).rate)
        return EBrevit_NothingToSynthesize;
    if (!sameInput && BrevitPriv_SetupTTSBuffer(s, encoding) == 0)
        return EBrevit_MemoryError;
    const int32_t room = std::max(s->bufferSize - s->fill, 0);
    const int32_t written = render(s, room, s->buffer != nullptr ? s->buffer + s->fill : nullptr);
    s->fill += std::clamp(written, 0, room);
    return EBrevit_OK;
}

bool encodingMatches(BrevitEngine* e, int32_t encoding)
{
    const int32_t own = BrevitPriv_GetTTSEncodingCode(e);
    return own != 0 && own == encoding;
}

// Hands the older way's buffer out in whole frames.
EBrevit handOutBuffer(BrevitEngine* e, int32_t maxBytes, uint8_t* bytes, int32_t* byteCount,
                      int32_t* frames, int32_t* done)
{
    BrevitTTSState* s = e->ttsState;
    if (s == nullptr || s->frameCount < 0 || s->fill < 0 || encodingInfo(s->encoding).frameBytes == 0)
        return EBrevit_WrongState;
    const int32_t frameBytes = encodingInfo(s->encoding).frameBytes;
    *byteCount = 0;
    *frames = 0;
    *done = 0;
    if (s->readPosition == 0 && s->fill <= s->bufferSize && s->fill <= maxBytes) {
        std::memcpy(bytes, s->buffer, static_cast<size_t>(s->fill));
        *byteCount = s->fill;
        *frames = s->frameCount;
        s->readPosition = s->fill;
        *done = 1;
        return EBrevit_OK;
    }
    if (s->fill == 0) {
        *done = 1;
        return EBrevit_OK;
    }
    const int32_t available = std::min(s->fill, s->bufferSize);
    if ((available - s->readPosition) / frameBytes >= 1) {
        if (maxBytes / frameBytes < 1)
            return EBrevit_BufferTooSmall;
        const int32_t n = std::min((available - s->readPosition) / frameBytes, maxBytes / frameBytes);
        std::memcpy(bytes, s->buffer + s->readPosition, static_cast<size_t>(n * frameBytes));
        *byteCount = n * frameBytes;
        *frames = n;
        s->readPosition += n * frameBytes;
        *done = s->readPosition >= s->fill ? 1 : 0;
        return EBrevit_OK;
    }
    *done = 1;
    return s->bufferSize < s->fill ? EBrevit_BufferTooSmall : EBrevit_OK;
}

} // namespace

int32_t BrevitPriv_GetTTSEncodingCode(const BrevitEngine* engine)
{
    if (engine->synthesis == nullptr)
        return 0;
    const int32_t encoding = TTS_GetEncoding(engine->synthesis);
    return encoding >= 1 && encoding <= 4 ? encoding : 0;
}

EBrevit Brevit_StartTTSFromIds(BrevitEngine* engine, const VocId* wordIds, int32_t count, int32_t encoding,
                               int32_t rate, int32_t adjustmentA, int32_t adjustmentB)
{
    return BrevitPriv_Call(engine, [&](BrevitEngine* e) -> EBrevit {
        if (e->synthesis == nullptr)
            return EBrevit_WrongState;
        if (wordIds == nullptr || encoding == 0 || count <= 0)
            return EBrevit_BadArgument;
        const EBrevit stopped = stop(e);
        if (stopped != EBrevit_OK)
            return stopped;
        for (int32_t k = 0; k < count; ++k)
            if (wordIds[k] >= kFirstSpecialId || !Voc_IsWordIdInUse(e->vocabulary, wordIds[k]))
                return EBrevit_BadArgument;
        if (!encodingMatches(e, encoding))
            return EBrevit_NothingToSynthesize;
        const int32_t code =
            TTS_StartUtteranceFromIds(e->synthesis, count, wordIds, encoding, rate, adjustmentA, adjustmentB);
        if (code != kTTSNotAvailable)
            return startCode(code);
        const bool same = e->ttsState != nullptr && e->ttsState->ids == wordIds && e->ttsState->idCount == count;
        return startOlder(e, same, encoding, rate, [&](BrevitTTSState* s, int32_t room, uint8_t* at) {
            s->idCount = count;
            s->ids = wordIds;
            return TTS_StartFromIds(e->synthesis, count, wordIds, rate, adjustmentA, adjustmentB, room, at,
                                    &s->frameCount);
        });
    });
}

EBrevit Brevit_StartTTSFromTextU(BrevitEngine* engine, const uint16_t* text, int32_t encoding, int32_t rate,
                                 int32_t adjustmentA, int32_t adjustmentB)
{
    return BrevitPriv_Call(engine, [&](BrevitEngine* e) -> EBrevit {
        if (e->synthesis == nullptr)
            return EBrevit_WrongState;
        if (text == nullptr || encoding == 0)
            return EBrevit_BadArgument;
        if (!encodingMatches(e, encoding))
            return EBrevit_NothingToSynthesize;
        const EBrevit stopped = stop(e);
        if (stopped != EBrevit_OK)
            return stopped;
        const int32_t code =
            TTS_StartUtteranceFromText(e->synthesis, text, encoding, rate, adjustmentA, adjustmentB);
        if (code != kTTSNotAvailable)
            return startCode(code);
        const bool same = e->ttsState != nullptr && e->ttsState->textSource == text;
        return startOlder(e, same, encoding, rate, [&](BrevitTTSState* s, int32_t room, uint8_t* at) {
            s->textSource = text;
            return TTS_StartFromText(e->synthesis, text, rate, adjustmentA, adjustmentB, room, at,
                                     &s->frameCount);
        });
    });
}

EBrevit Brevit_ProcessTTSPCM(BrevitEngine* engine, int32_t maxSamples, int16_t* samples, int32_t* sampleCount,
                             int32_t* done)
{
    return BrevitPriv_Call(engine, [&](BrevitEngine* e) -> EBrevit {
        if (e->synthesis == nullptr)
            return EBrevit_WrongState;
        if (sampleCount == nullptr || done == nullptr)
            return EBrevit_BadArgument;
        *sampleCount = 0;
        *done = 0;
        if (samples == nullptr || maxSamples < 0)
            return EBrevit_BadArgument;
        if (maxSamples == 0)
            return EBrevit_BufferTooSmall;
        EBrevit result = EBrevit_OK;
        while (*sampleCount < maxSamples) {
            int32_t n = 0;
            const int32_t code =
                TTS_ProcessUtterancePCM(e->synthesis, maxSamples - *sampleCount, samples + *sampleCount, &n);
            if (code == kTTSNotAvailable) {
                if (*sampleCount == 0)
                    result = EBrevit_WrongState;
                break;
            }
            *sampleCount += std::clamp(n, 0, maxSamples - *sampleCount);
            const Fetch f = fetchCode(code);
            result = f.result;
            *done = f.done ? 1 : 0;
            if (f.stop)
                break;
        }
        return result;
    });
}

EBrevit Brevit_ProcessTTS(BrevitEngine* engine, int32_t maxBytes, uint8_t* bytes, int32_t* byteCount,
                          int32_t* frames, int32_t* done)
{
    return BrevitPriv_Call(engine, [&](BrevitEngine* e) -> EBrevit {
        if (e->synthesis == nullptr)
            return EBrevit_WrongState;
        if (byteCount == nullptr || frames == nullptr || done == nullptr)
            return EBrevit_BadArgument;
        *byteCount = 0;
        *frames = 0;
        *done = 0;
        if (bytes == nullptr || maxBytes < 0)
            return EBrevit_BadArgument;
        if (maxBytes == 0)
            return EBrevit_BufferTooSmall;
        EBrevit result = EBrevit_OK;
        while (*byteCount < maxBytes) {
            int32_t n = 0;
            int32_t f = 0;
            const int32_t code = TTS_Process(e->synthesis, maxBytes - *byteCount, bytes + *byteCount, &n, &f);
            if (code == kTTSNotAvailable) {
                if (*byteCount == 0)
                    result = handOutBuffer(e, maxBytes, bytes, byteCount, frames, done);
                break;
            }
            *byteCount += std::clamp(n, 0, maxBytes - *byteCount);
            *frames += std::max(f, 0);
            const Fetch fetched = fetchCode(code);
            result = fetched.result;
            *done = fetched.done ? 1 : 0;
            if (fetched.stop)
                break;
        }
        return result;
    });
}

EBrevit Brevit_GetTTSEncoding(BrevitEngine* engine, int32_t* encoding)
{
    return BrevitPriv_Call(engine, [&](BrevitEngine* e) -> EBrevit {
        if (encoding == nullptr)
            return EBrevit_BadArgument;
        *encoding = BrevitPriv_GetTTSEncodingCode(e);
        return EBrevit_OK;
    });
}

EBrevit Brevit_StopTTS(BrevitEngine* engine)
{
    return BrevitPriv_Call(engine, [&](BrevitEngine* e) -> EBrevit {
        if (e->synthesis == nullptr)
            return EBrevit_WrongState;
        return stop(e);
    });
}
