// Training an acoustic word model for a new word from one utterance.
#include "core/brevit/search/scoring.h"

#include "core/brevit/acoustic/acoustic_engine_calls.h"
#include "core/brevit/acoustic/am.h"
#include "core/brevit/acoustic/am_added.h"
#include "core/brevit/acoustic/am_phones.h"
#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/acoustic/segmenter.h"
#include "core/brevit/frontend/utterance.h"
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <algorithm>
#include <vector>

namespace {

constexpr int32_t kDefaultUnits = 32;
constexpr int32_t kFinishFailed = 3;

template <typename T>
struct Buffer {
    T* p;
    explicit Buffer(int32_t count) : p(static_cast<T*>(DVKMem_Calloc(static_cast<uint32_t>(std::max(count, 1)) * sizeof(T)))) {}
    ~Buffer() { DVKMem_Free(p); }
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;
};

bool everySegmentHasFrames(const uint16_t* durations, int32_t states)
{
    return std::all_of(durations, durations + states, [](uint16_t d) { return d > 0; });
}

} // namespace

void Scoring_SetModelMeans(int32_t states, const uint16_t* stateIds, const uint16_t* durations, Utterance* utterance,
                           int32_t skipFrames, AM* am)
{
    const int32_t D = AM_GetFeatureDim(am);
    Buffer<int32_t> sums(D);
    Buffer<uint8_t> means(D);
    if (sums.p == nullptr || means.p == nullptr)
        return;
    Utterance_Rewind(utterance);
    for (int32_t f = 0; f < skipFrames; ++f)
        Utterance_GetNextFrame(utterance, nullptr);
    for (int32_t k = 0; k < states; ++k) {
        std::fill(sums.p, sums.p + D, 0);
        int32_t frames = 0;
        for (int32_t f = 0; f < durations[k]; ++f) {
            const uint8_t* frame = Utterance_GetNextFrame(utterance, nullptr);
            if (frame == nullptr)
                break;
            for (int32_t d = 0; d < D; ++d)
                sums.p[d] += frame[d];
            ++frames;
        }
        // A state without frames keeps its mean.
        if (frames == 0)
            continue;
        for (int32_t d = 0; d < D; ++d)
            means.p[d] = static_cast<uint8_t>((sums.p[d] + frames / 2) / frames);
        AM_SetComponentMean(am, stateIds[k], 0, means.p);
    }
}

int32_t Scoring_TrainWordModel(Utterance* utterance, int32_t leadFrames, int32_t trailFrames, Voc* voc, AM* am,
                               Segmenter* segmenter, const AMScoringSet* scoringSet, int32_t maximumUnits,
                               uint16_t* phoneIds, int32_t* unitCount)
{
    const int32_t total = Utterance_GetNumFrames(utterance);
    const int32_t N = total - leadFrames - trailFrames;
    if (N < 1)
        return 0;
    const int32_t S = AM_GetNumStatesPerModel(am);
    // Frames per unit; without it (no parameter block) there is nothing
    // to divide by.
    const auto framesPerUnit = static_cast<int32_t>(BrevitParam_Word(kBrevitParamSegmentationMinFrames));
    if (framesPerUnit < 1 || S < 1)
        return 0;
    int32_t U = (32 * N + 16) / framesPerUnit;
    if (U > maximumUnits)
        U = kDefaultUnits;
    if (U == 0)
        return 0;
    const int32_t T = U * S;
    Buffer<uint16_t> stateIds(T + 2);
    Buffer<uint16_t> durations(T + 2);
    Buffer<uint16_t> chain(T + 2);
    Buffer<int16_t> positions(T + 2);
    if (stateIds.p == nullptr || durations.p == nullptr || chain.p == nullptr || positions.p == nullptr)
        return 0;
    for (int32_t u = 0; u < U; ++u) {
        const int32_t phone = Voc_GetFreeRecogPhonemeId(voc);
        if (phone < 0 || phone >= 65535)
            return 0;
        phoneIds[u] = static_cast<uint16_t>(phone);
        if (AM_MarkAddedPhone(am, phone) == 0)
            return 0;
        int32_t count = 0;
        const uint16_t* states = AM_GetModelStates(am, AM_GetTriphoneId(am, 0, static_cast<uint16_t>(phone), 0), &count);
        if (states == nullptr || count < S)
            return 0;
        std::copy(states, states + S, stateIds.p + u * S);
    }
    // Uniform segmentation, the remainder spread by an accumulator.
    int32_t carry = 0;
    for (int32_t k = 0; k < T; ++k) {
        durations.p[k] = static_cast<uint16_t>(N / T);
        carry += N % T;
        if (carry >= T) {
            carry -= T;
            ++durations.p[k];
        }
    }
    if (!everySegmentHasFrames(durations.p, T))
        return 0;
    Scoring_SetModelMeans(T, stateIds.p, durations.p, utterance, leadFrames, am);
    *unitCount = U;
    const auto rounds = static_cast<int32_t>(BrevitParam_Word(kBrevitParamSegmentationMinWords));
    if (gpBrevitGlobalParameters == nullptr || rounds <= 0)
        return 1;
    for (int32_t r = 0; r < rounds; ++r) {
        int32_t length = 0;
        if (Segmenter_Start(segmenter, total, 0, 10000, 1, 0, 0, nullptr, U, phoneIds, T + 2, chain.p, positions.p,
                            durations.p, &length, nullptr) == 0)
            return 0;
        Utterance_Rewind(utterance);
        for (;;) {
            int32_t* side = nullptr;
            const uint8_t* frame = Utterance_GetNextFrame(utterance, &side);
            if (frame == nullptr)
                break;
            const auto value = static_cast<int16_t>(side != nullptr ? *side : 0);
            if (Segmenter_ProcessFrame(segmenter, frame, &value, scoringSet) != 1)
                break;
        }
        int32_t score = 0;
        if (Segmenter_Finish(segmenter, 0, &score) == kFinishFailed)
            return 0;
        const uint16_t* found = Segmenter_GetStateDurations(segmenter);
        if (found == nullptr || length < T + 1 || !everySegmentHasFrames(found + 1, T))
            return 0;
        Scoring_SetModelMeans(T, chain.p + 1, found + 1, utterance, found[0], am);
    }
    return 1;
}
