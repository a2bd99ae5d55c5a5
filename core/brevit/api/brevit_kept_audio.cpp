// Enrollment's kept audio: while an enrollment utterance keeps its audio,
// blocks before speech wait in a ring (the wave history) and move into the
// kept audio once speech starts, so the utterance can be replayed through
// other front ends.
#include "core/brevit/api/brevit_audio_input.h"

#include "core/brevit/api/brevit_engine.h"
#include "core/brevit/frontend/fe.h"
#include "core/brevit/runtime/brevit_param_words.h"

#include <algorithm>
#include <cstring>

namespace {

int16_t* blockAt(int16_t* base, int32_t index, int32_t blockSize)
{
    return base + static_cast<size_t>(index) * blockSize;
}

void appendToHistory(BrevitAudioInput& a, const int16_t* block)
{
    if (a.waveCapacity < 1 || a.waveHistory == nullptr)
        return;
    std::memcpy(blockAt(a.waveHistory, a.waveWrite, a.blockSize), block,
                static_cast<size_t>(a.blockSize) * sizeof(int16_t));
    a.waveWrite = (a.waveWrite + 1) % a.waveCapacity;
    if (a.waveCount == a.waveCapacity)
        a.waveRead = (a.waveRead + 1) % a.waveCapacity;  // the oldest block goes
    else
        a.waveCount += 1;
}

void appendToKept(BrevitAudioInput& a, const int16_t* block)
{
    if (a.keptAudio == nullptr || a.keptCount >= a.keptCapacity)
        return;
    std::memmove(blockAt(a.keptAudio, a.keptCount, a.blockSize), block,
                 static_cast<size_t>(a.blockSize) * sizeof(int16_t));
    a.keptCount += 1;
}

} // namespace

void BrevitPriv_ResetWaveHistory(BrevitEngine* e)
{
    BrevitAudioInput& a = e->audioInput;
    a.waveRead = 0;
    a.waveWrite = 0;
    a.waveCount = 0;
}

void BrevitPriv_MoveWaveHistoryToKept(BrevitEngine* e)
{
    BrevitAudioInput& a = e->audioInput;
    for (int32_t i = 0; i < a.waveCount && a.keptCount < a.keptCapacity; ++i)
        appendToKept(a, blockAt(a.waveHistory, (a.waveRead + i) % a.waveCapacity, a.blockSize));
    BrevitPriv_ResetWaveHistory(e);
}

void BrevitPriv_KeepBlock(BrevitEngine* e, int32_t feedResult, const int16_t* block)
{
    BrevitAudioInput& a = e->audioInput;
    if (!a.enrollmentFlag || !a.keepFlag)
        return;
    switch (feedResult) {
    case 1:
        if (a.keptCount > 0) {
            // A false start: keep only the blocks a trailing silence would.
            BrevitPriv_ResetWaveHistory(e);
            const int32_t k = e->endPointerSettings != nullptr
                                  ? e->endPointerSettings->minSilenceFrames - 1
                                  : 0;
            for (int32_t i = std::max(0, a.keptCount - std::max(k, 0)); i < a.keptCount; ++i)
                appendToHistory(a, blockAt(a.keptAudio, i, a.blockSize));
            a.keptCount = 0;
        }
        appendToHistory(a, block);
        break;
    case 2:
        appendToKept(a, block);
        break;
    case 3:
        if (a.keptCount == 0)
            BrevitPriv_MoveWaveHistoryToKept(e);
        appendToKept(a, block);
        break;
    case 5:
        if (a.cnBuffering)
            appendToKept(a, block);
        else
            appendToHistory(a, block);
        break;
    default:
        break;
    }
}

int32_t BrevitPriv_ReprocessKeptAudio(BrevitEngine* e)
{
    BrevitAudioInput& a = e->audioInput;
    FE_StartUtterance(e->frontEnd,
                      static_cast<int32_t>(BrevitParam_Word(kBrevitParamMinRingCheck)) > 0 ? 1 : 0);
    a.replayPosition = 0;
    BrevitPriv_ResetFrameQueue(e);
    e->listeningUtteranceId = e->utteranceCounter++;
    int32_t ok = 1;
    for (int32_t i = 0; i < a.keptCount; ++i) {
        a.replayPosition = i;
        if (BrevitPriv_FeedBlock(e, blockAt(a.keptAudio, i, a.blockSize)) == 4)
            ok = 0;
    }
    FE_ReleaseCNBuffer(e->frontEnd);
    FE_EndUtterance(e->frontEnd);
    for (;;) {
        const int32_t status = BrevitPriv_FetchFrame(e);
        if (status != kFEStatusSpeech && status != kFEStatusNoSpeech)
            break;
        if (BrevitPriv_QueueFull(e))
            ok = 0;
        else
            BrevitPriv_QueueFrame(e, status == kFEStatusNoSpeech);
    }
    BrevitPriv_CloseUtteranceRecord(e, e->listeningUtteranceId, 1);
    return ok;
}
