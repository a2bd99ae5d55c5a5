#include "tools/support/align_frames.h"

#include "core/brevit/acoustic/am.h"
#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/acoustic/segmenter.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"

#include <algorithm>
#include <memory>

namespace {

// The beam is the aligner's parameter word: set for the call, restored after.
class BeamWord {
public:
    explicit BeamWord(int32_t beam) : m_installed(gpBrevitGlobalParameters == nullptr)
    {
        if (m_installed)
            gpBrevitGlobalParameters = &m_own;
        m_previous = gpBrevitGlobalParameters->words[kBrevitParamPruneOffset];
        gpBrevitGlobalParameters->words[kBrevitParamPruneOffset] = static_cast<uint32_t>(beam) & 0xFFFFu;
    }
    ~BeamWord()
    {
        gpBrevitGlobalParameters->words[kBrevitParamPruneOffset] = m_previous;
        if (m_installed)
            gpBrevitGlobalParameters = nullptr;
    }
    BeamWord(const BeamWord&) = delete;
    BeamWord& operator=(const BeamWord&) = delete;

private:
    BrevitGlobalParameters m_own{};
    bool m_installed;
    uint32_t m_previous = 0;
};

} // namespace

FrameAlignment alignFrames(AM* am, const uint8_t* frames, int32_t count, const std::vector<uint16_t>& phonemes,
                           bool withSilence, int32_t beam)
{
    FrameAlignment result;
    if (am == nullptr || frames == nullptr || count < 1 || phonemes.empty())
        return result;
    BeamWord word(beam);
    std::unique_ptr<AMScoringSet, void (*)(AMScoringSet*)> set(AM_NewScoringSet(), AM_DeleteScoringSet);
    std::unique_ptr<Segmenter, void (*)(Segmenter*)> seg(Segmenter_Create(am, nullptr, 1), Segmenter_Delete);
    if (set == nullptr || seg == nullptr)
        return result;
    AM_GetScoringFunctions(am, set.get(), 0, 0);
    // Every state of every phone model, with the two silences.
    const int32_t capacity = static_cast<int32_t>(phonemes.size()) * std::max<int32_t>(am->statesPerModel, 1) + 2 +
                             static_cast<int32_t>(phonemes.size()) * 8;
    std::vector<uint16_t> input(phonemes), states(static_cast<size_t>(capacity));
    std::vector<int16_t> positions(static_cast<size_t>(capacity));
    std::vector<uint16_t> durations(static_cast<size_t>(capacity) + 1);
    int32_t length = 0;
    if (Segmenter_Start(seg.get(), count, 0, count + 1, withSilence, 0, 0, nullptr,
                        static_cast<int32_t>(input.size()), input.data(), capacity, states.data(), positions.data(),
                        durations.data(), &length, nullptr) != 1)
        return result;
    const int16_t value = 0;
    const auto dim = static_cast<size_t>(am->featureDim);
    for (int32_t f = 0; f < count; ++f)
        if (Segmenter_ProcessFrame(seg.get(), frames + static_cast<size_t>(f) * dim, &value, set.get()) != 1)
            break;
    int32_t score = 0;
    if (Segmenter_Finish(seg.get(), 0, &score) != 0)
        return result;
    result.ok = true;
    result.stateIds.assign(states.begin(), states.begin() + length);
    result.durations.assign(durations.begin(), durations.begin() + length);
    result.score = score;
    return result;
}
