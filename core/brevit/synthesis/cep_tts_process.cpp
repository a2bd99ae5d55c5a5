// Stepping an utterance frame by frame: units and states from the front end
// and the trees, durations with the speaking rate and pauses, the voicing
// decision, then the optimiser and the waveform generator.
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/synthesis/cep_dtree.h"
#include "core/brevit/synthesis/cep_optimizer.h"
#include "core/brevit/synthesis/cep_sample_wrapper.h"
#include "core/brevit/synthesis/cep_tts.h"

#include <algorithm>

namespace {

void startState(CepTTS* t, CepTTSUtterance* u)
{
    int32_t d = 0;
    CepDTree_GetStates(t->trees, u->features, u->statePosition, &d, &u->voicingValue,
                       &u->spectrumState, &u->pitchState);
    int64_t hundredths = 0;
    switch (u->durationMode) {
    case 1: hundredths = u->phrasePause1Frames; break;
    case 2: hundredths = u->phrasePause2Frames; break;
    case 3: hundredths = u->edgePauseFrames; break;
    default: hundredths = int64_t{u->rateFactor} * d + u->durationRemainder; break;
    }
    u->framesLeft = static_cast<int32_t>(std::clamp<int64_t>(hundredths / 100, INT32_MIN, INT32_MAX));
    u->durationRemainder = static_cast<int32_t>(hundredths % 100);
    u->frameInState = 0;
    u->statePosition += 1;
}

void takeUnit(CepTTS* t, CepTTSUtterance* u)
{
    u->previousPhraseEnd = u->features[47];
    // The cursor's phone id before it advances: feature 2 holds only ids below 254.
    const CepTTSUnits* c = u->units;
    const bool hasPhone = c->tree != nullptr && c->phone >= 0 && c->phone < c->tree->phoneCount;
    const uint16_t phone = hasPhone ? c->tree->phones[c->phone] : 0;
    CepTTSFrontEnd_GetUnitFeatures(t->frontEnd, u->units, u->features);
    u->currentPhone = hasPhone ? phone : u->features[2];
    u->durationMode = 0;
    if (CepTTSUnits_IsFinished(u->units))
        u->moreUnits = 0;
    if (BrevitParam_Word(kBrevitParamPauseUnits) != 0 && u->currentPhone == kCepTTSPause) {
        if (u->unitCount == 0 || u->moreUnits == 0)
            u->durationMode = 3;
        else if (u->previousPhraseEnd == kCepTTSEndMinor || u->previousPhraseEnd == kCepTTSEndSentence)
            u->durationMode = u->previousPhraseEnd;
    }
    const bool known = u->currentPhone <= t->maxPhoneId;
    u->flagTwo = known ? t->phoneVoicingTwo[u->currentPhone] : 0;
    u->flagDecided = known ? t->phoneVoicingDecided[u->currentPhone] : 0;
    u->flagOne = known ? t->phoneVoicingOne[u->currentPhone] : 0;
    u->unitCount += 1;
    u->statePosition = 0;
}

uint8_t firstUnitPassThrough(const CepTTS* t, const CepTTSUtterance* u, int64_t P)
{
    if (u->statePosition == t->statesPerUnit)
        return u->framesLeft > P ? 1 : 0;
    return 1;
}

void emitFrame(const CepTTS* t, CepTTSUtterance* u, CepTTSFrame* frame)
{
    const int32_t threshold = u->voiced ? t->voicingHoldThreshold : t->voicingThreshold;
    u->voiced = u->voicingValue > threshold ? 1 : 0;
    frame->voicing = u->flagDecided ? u->voiced : u->flagTwo ? 2 : u->flagOne ? 1 : 0;
    const int64_t P = BrevitParam_Word(kBrevitParamSmoothingPassThrough);
    if (u->moreUnits == 0) {
        if (u->statePosition == 1 && u->frameInState < P)
            frame->passThrough = 0;
        else
            frame->passThrough = u->unitCount == 1 ? firstUnitPassThrough(t, u, P) : 1;
    } else {
        frame->passThrough = u->unitCount == 1 ? firstUnitPassThrough(t, u, P) : 0;
    }
    u->framesLeft -= 1;
    u->frameInState += 1;
    frame->spectrumState = u->spectrumState;
    frame->pitchState = u->pitchState;
}

// Optimiser results to process results; 3 (and 5 where it goes on) give -1.
int32_t optimizerCode(int32_t code)
{
    switch (code) {
    case 0:
    case kCepOptNotYet: return kTTSCallAgain;
    case kCepOptFailure: return kTTSFailure;
    case kCepOptEnded: return kTTSNothingToSay;
    case kCepOptReady: return -1;
    default: return kTTSFailure;
    }
}

}  // namespace

int32_t CepTTS_StepFrame(CepTTS* t, CepTTSFrame* frame)
{
    CepTTSUtterance* u = t->utterance;
    for (;;) {
        if (u->framesLeft > 0) {
            emitFrame(t, u, frame);
            return 1;
        }
        if (u->statePosition < t->statesPerUnit) {
            startState(t, u);
        } else if (u->moreUnits == 0) {
            u->inputEnded = 1;
            u->flushPending = 1;
            CepTTSUnits_Delete(u->units);
            u->units = nullptr;
            return 0;
        } else {
            takeUnit(t, u);
        }
    }
}

int32_t CepTTS_ProcessUtterancePCM(TTS* tts, int32_t capacity, int16_t* samples, int32_t* count)
{
    auto* t = reinterpret_cast<CepTTS*>(tts);
    if (t == nullptr || t->utterance == nullptr)
        return kTTSFailure;
    if (samples == nullptr || count == nullptr)
        return kTTSNoOutput;
    CepTTSUtterance* u = t->utterance;
    *count = 0;
    const int32_t copied = CepSampleWrapper_CopySamples(t->sampleWrapper, capacity, samples);
    if (copied > 0) {
        *count = copied;
        return kTTSDone;
    }
    if (u->finished)
        return kTTSNothingToSay;
    if (u->inputEnded == 0) {
        CepTTSFrame frame = {};
        if (u->heldFrame) {
            frame.voicing = u->heldVoicing;
            frame.passThrough = u->heldPassThrough;
        } else if (CepTTS_StepFrame(t, &frame)) {
            CepDTree_GetFrameMeans(t->trees, frame.spectrumState, frame.pitchState, u->pitchMeans,
                                   u->cepMeans);
        }
        if (u->inputEnded == 0) {
            const int32_t added = CepOptimizer_AddFrame(t->optimizer, u->cepMeans, u->pitchMeans,
                                                        frame.voicing, frame.passThrough);
            // A full ring did not take the frame: keep it for the next call.
            u->heldFrame = added == kCepOptFull;
            u->heldVoicing = frame.voicing;
            u->heldPassThrough = frame.passThrough;
            const int32_t result = added == kCepOptFull ? -1 : optimizerCode(added);
            if (result >= 0)
                return result;
        }
    }
    if (u->inputEnded && u->flushPending) {
        u->flushPending = 0;
        const int32_t flushed = CepOptimizer_Flush(t->optimizer);
        const int32_t result = flushed == kCepOptFull ? -1 : optimizerCode(flushed);
        if (result >= 0)
            return result;
    }
    int32_t logPitch = 0;
    int32_t voicing = 0;
    const int32_t next = CepOptimizer_NextFrame(t->optimizer, t->frameBuffer, &logPitch, &voicing);
    if (next == kCepOptFull)
        return kTTSStop;
    if (next > kCepOptFull)
        return kTTSDone;
    const int32_t result = optimizerCode(next);
    if (result >= 0)
        return result;
    if (t->postScale != 0)
        CepDTree_PostScale(t->trees, t->frameBuffer);
    *count = CepSampleWrapper_GeneratePCM(t->sampleWrapper, logPitch, t->frameBuffer, voicing,
                                          capacity, samples);
    return kTTSDone;
}
