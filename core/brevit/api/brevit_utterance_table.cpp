// The table of finished utterances, newest first: which of them are still
// wholly in the frame queue, and how many of their frames recognition used.
#include "core/brevit/api/brevit_audio_input.h"

#include "core/brevit/api/brevit_engine.h"
#include "core/brevit/frontend/utterance.h"

#include <algorithm>

namespace {

uint32_t resolve(const BrevitEngine* e, uint32_t id)
{
    return id == kBrevitUttCurrent ? e->listeningUtteranceId : id;
}

// Makes room at the front (the last record is lost) and fills it.
void pushFront(BrevitAudioInput& a, BrevitUttRecord record)
{
    if (a.recordCount < 1)
        return;
    std::move_backward(a.records, a.records + a.recordCount - 1, a.records + a.recordCount);
    a.records[0] = record;
}

uint32_t slotAfter(const BrevitFrameQueue& q, int64_t slot)
{
    return q.capacity > 0 ? static_cast<uint32_t>(((slot % q.capacity) + q.capacity) % q.capacity)
                          : 0;
}

} // namespace

int32_t BrevitPriv_FindUtterance(const BrevitEngine* e, uint32_t utteranceId,
                                 BrevitUttRecord** record)
{
    const BrevitAudioInput& a = e->audioInput;
    const uint32_t id = resolve(e, utteranceId);
    int64_t sum = 0;
    for (int32_t i = 0; i < a.recordCount && a.records[i].id != kBrevitUttEmpty; ++i) {
        BrevitUttRecord& r = a.records[i];
        if (r.id == id) {
            if (record != nullptr)
                *record = &r;
            return sum + r.frames < a.queue.capacity ? 1 : 2;
        }
        sum += r.frames;
    }
    return 0;
}

void BrevitPriv_CloseUtteranceRecord(BrevitEngine* e, uint32_t utteranceId, int32_t close)
{
    BrevitAudioInput& a = e->audioInput;
    BrevitFrameQueue& q = a.queue;
    const uint32_t id = resolve(e, utteranceId);
    const int64_t consumed = BrevitPriv_FramesConsumedSinceMark(e);
    const int64_t n = q.framesSinceMark;
    int64_t recognised = consumed;
    if (e->recognitionMode == 6) {
        recognised = n;
    } else if (q.capacity > 0) {
        // The reader may have gone round the ring more than once.
        while (n > recognised + q.capacity)
            recognised += q.capacity;
    }
    const int64_t frames = close ? n : recognised;
    if (BrevitPriv_FindUtterance(e, id, nullptr) != 0)
        return;
    q.framesSinceMark = static_cast<int32_t>(n - frames);
    pushFront(a, {static_cast<uint32_t>(q.mark), static_cast<uint32_t>(frames),
                  static_cast<uint32_t>(recognised), id});
}

void BrevitPriv_SplitUtteranceRecord(BrevitEngine* e, uint32_t utteranceId, int32_t n,
                                     uint32_t newId)
{
    BrevitAudioInput& a = e->audioInput;
    BrevitUttRecord* r = nullptr;
    const int32_t found = BrevitPriv_FindUtterance(e, utteranceId, &r);
    if (found == 0 || n < 0 || (found == 2 && r->frames < static_cast<uint32_t>(n)))
        return;
    const uint32_t old = r->frames;
    const uint32_t kept = std::min(static_cast<uint32_t>(n), old);
    r->recognizedFrames = std::min(r->recognizedFrames, static_cast<uint32_t>(n));
    r->frames = kept;
    if (old > 0)
        pushFront(a, {slotAfter(a.queue, int64_t{a.queue.mark} + n), old - kept, 0, newId});
}

void BrevitPriv_ReleaseUtterance(BrevitEngine* e, uint32_t utteranceId)
{
    BrevitAudioInput& a = e->audioInput;
    BrevitUttRecord* released = nullptr;
    if (BrevitPriv_FindUtterance(e, utteranceId, &released) == 0)
        return;
    released->id = kBrevitUttReleased;
    int64_t total = 0;
    bool emptying = false;
    for (int32_t i = 0; i < a.recordCount && a.records[i].id != kBrevitUttEmpty; ++i) {
        BrevitUttRecord& r = a.records[i];
        total += r.frames;
        // A record whose frames the ring has already overwritten is dropped,
        // and with it every older one.
        emptying = emptying || total + r.frames >= a.queue.capacity;
        if (emptying)
            r = {0, 0, 0, kBrevitUttEmpty};
    }
}

void BrevitPriv_SetUttRecognizedFrames(BrevitEngine* e, uint32_t utteranceId, int32_t frames)
{
    BrevitUttRecord* r = nullptr;
    if (BrevitPriv_FindUtterance(e, utteranceId, &r) != 0)
        r->recognizedFrames = static_cast<uint32_t>(std::clamp<int64_t>(frames, 0, r->frames));
}

bool BrevitPriv_LoadQueuedUtterance(BrevitEngine* e, uint32_t utteranceId)
{
    BrevitUttRecord* r = nullptr;
    Utterance* view = e->audioInput.queue.utteranceBuffer;
    if (view == nullptr || BrevitPriv_FindUtterance(e, utteranceId, &r) != 1)
        return false;
    const uint32_t count = r->recognizedFrames > 0 ? r->recognizedFrames : r->frames;
    Utterance_Load(view, static_cast<int32_t>(r->firstFrame), static_cast<int32_t>(count));
    e->listeningUtteranceId = r->id;
    return true;
}

bool BrevitPriv_LoadUtterance(BrevitEngine* e, uint32_t utteranceId)
{
    return BrevitPriv_LoadQueuedUtterance(e, utteranceId);
}

int32_t BrevitPriv_UtteranceFrames(const BrevitEngine* e, uint32_t utteranceId, bool recognized)
{
    BrevitUttRecord* r = nullptr;
    if (BrevitPriv_FindUtterance(e, utteranceId, &r) != 0)
        return static_cast<int32_t>(recognized ? r->recognizedFrames : r->frames);
    if (resolve(e, utteranceId) == e->listeningUtteranceId)
        return e->audioInput.queue.framesSinceMark;
    return -1;
}
