// Starting, stopping and resetting an utterance of the cepstral synthesiser.
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/synthesis/cep_optimizer.h"
#include "core/brevit/synthesis/cep_sample_wrapper.h"
#include "core/brevit/synthesis/cep_tts.h"

#include <algorithm>
#include <cmath>

namespace {

void freeBuffers(CepTTSUtterance* u)
{
    DVKMem_Free(u->cepMeans);
    DVKMem_Free(u->pitchMeans);
    DVKMem_Free(u->features);
    u->cepMeans = nullptr;
    u->pitchMeans = nullptr;
    u->features = nullptr;
}

// Hundredths of a frame per state; wide so a long pause cannot overflow.
int32_t pauseFrames(int64_t length, int64_t factor, const CepTTS* t)
{
    const int64_t v = length * factor / (int64_t{t->frameShift} * t->statesPerUnit);
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

int32_t start(CepTTS* t, const uint16_t* text, int32_t count, const VocId* ids, int32_t encoding,
              int32_t rate, int32_t speed, int32_t level)
{
    if (t->utterance == nullptr) {
        t->utterance = static_cast<CepTTSUtterance*>(DVKMem_Calloc(sizeof(CepTTSUtterance)));
        if (t->utterance == nullptr)
            return kTTSOutOfMemory;
    }
    if (speed < 1)
        return kTTSFailure;
    if (encoding != kTTSEncodingPCM || CepSampleWrapper_StartUtterance(t->sampleWrapper, rate, level) == 0)
        return kTTSNotSupported;
    CepTTSUtterance* u = t->utterance;
    CepTTS_ResetUtterance(t);
    u->moreUnits = 1;
    u->finished = 0;
    u->unitCount = 0;
    u->inputEnded = 0;
    u->flushPending = 0;
    const auto D = static_cast<uint32_t>(t->cepstralOrder);
    u->cepMeans = static_cast<int16_t*>(DVKMem_Calloc(3 * D * sizeof(int16_t)));
    u->pitchMeans = static_cast<int32_t*>(DVKMem_Calloc(3 * sizeof(int32_t)));
    u->features = static_cast<uint8_t*>(DVKMem_Calloc(kCepTTSFeatureCount));
    if (u->cepMeans == nullptr || u->pitchMeans == nullptr || u->features == nullptr) {
        CepTTS_ResetUtterance(t);
        return kTTSFailure;
    }
    u->units = text != nullptr ? CepTTSFrontEnd_UnitsFromText(t->frontEnd, text)
                               : CepTTSFrontEnd_UnitsFromIds(t->frontEnd, count, ids);
    if (u->units == nullptr) {
        CepTTS_ResetUtterance(t);
        return kTTSFailure;
    }
    if (CepTTSUnits_IsFinished(u->units)) {
        CepTTS_ResetUtterance(t);
        return kTTSNothingToSay;
    }
    u->rateFactor = CepTTS_RateFactor(t->speedScale, speed);
    u->edgePauseFrames = pauseFrames(t->edgePause, 100, t);
    u->phrasePause1Frames = pauseFrames(t->phrasePause1, u->rateFactor, t);
    u->phrasePause2Frames = pauseFrames(t->phrasePause2, u->rateFactor, t);
    CepOptimizer_StartUtterance(t->optimizer);
    return kTTSDone;
}

}  // namespace

int32_t CepTTS_RateFactor(int32_t speedScale, int32_t speed)
{
    if (speedScale == 100)
        return static_cast<int32_t>(10000.0 / speed + 0.5);
    const double scaled = std::trunc(speedScale / 100.0 * speed);
    if (scaled == 0 || !std::isfinite(scaled))
        return 10000;
    return static_cast<int32_t>(std::clamp(std::trunc(10000.0 / scaled + 0.5), -2147483648.0, 2147483647.0));
}

void CepTTS_ResetUtterance(CepTTS* t)
{
    CepTTSUtterance* u = t->utterance;
    u->previousPhraseEnd = 0;
    u->durationRemainder = 0;
    u->voiced = 0;
    u->voicingValue = 0;
    u->flagTwo = 0;
    u->flagDecided = 0;
    u->flagOne = 0;
    u->moreUnits = 0;
    u->framesLeft = 0;
    u->statePosition = t->statesPerUnit;
    u->unitCount = -1;
    u->finished = 1;
    u->spectrumState = 0xFFFF;
    u->pitchState = 0xFFFF;
    u->currentPhone = 0xFFFF;
    u->heldFrame = 0;
    CepTTSUnits_Delete(u->units);
    u->units = nullptr;
    freeBuffers(u);
}

int32_t CepTTS_StartUtteranceFromText(TTS* tts, const uint16_t* text, int32_t encoding, int32_t rate,
                                      int32_t speed, int32_t level)
{
    static const uint16_t kEmpty[1] = {0};
    return start(reinterpret_cast<CepTTS*>(tts), text != nullptr ? text : kEmpty, 0, nullptr,
                 encoding, rate, speed, level);
}

int32_t CepTTS_StartUtteranceFromIds(TTS* tts, int32_t count, const VocId* ids, int32_t encoding,
                                     int32_t rate, int32_t speed, int32_t level)
{
    return start(reinterpret_cast<CepTTS*>(tts), nullptr, ids != nullptr ? std::max(count, 0) : 0,
                 ids, encoding, rate, speed, level);
}

int32_t CepTTS_StopUtterance(TTS* tts)
{
    auto* t = reinterpret_cast<CepTTS*>(tts);
    if (t == nullptr || t->utterance == nullptr)
        return kTTSFailure;
    CepOptimizer_StopUtterance(t->optimizer);
    CepTTS_ResetUtterance(t);
    return kTTSDone;
}
