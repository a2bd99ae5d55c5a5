// The frame queue and utterance table against a model of them in plain
// containers, with absolute frame numbers in place of ring slots, over
// seeded random sequences of listens, samples, stops, splits, discards and
// frame reads.
#include "core/brevit/api/brevit_audio_input.h"
#include "core/brevit/api/brevit_call_frame.h"

#include "tests/brevit/api/engine_fixture.h"
#include "tests/brevit/api/scripted_front_end.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace {

constexpr int32_t kCapacity = 12;
constexpr int32_t kRecords = 4;
constexpr int32_t kShift = 80;

struct Record {
    int64_t first;  // absolute frame number
    int64_t frames;
    int64_t recognised;
    uint32_t id;
};

// The model: frame k (absolute, from 0) carries counter k + 1 while no
// block was refused.
struct Reference {
    int64_t written = 0;  // frames queued ever
    int64_t read = 0;
    int64_t mark = 0;
    int64_t sinceMark = 0;
    int32_t partial = 0;
    bool listening = false;
    uint32_t current = 0xFFFFFFFFu;
    uint32_t counter = 0;
    std::vector<Record> records;  // newest first
    std::vector<int32_t> counters;  // counter of absolute frame k

    int64_t queued() const { return written - read; }

    int32_t find(uint32_t id) const
    {
        int64_t sum = 0;
        for (const Record& r : records) {
            if (r.id == id)
                return sum + r.frames < kCapacity ? 1 : 2;
            sum += r.frames;
        }
        return 0;
    }

    Record* record(uint32_t id)
    {
        for (Record& r : records)
            if (r.id == id)
                return &r;
        return nullptr;
    }

    void pushFront(Record r)
    {
        records.insert(records.begin(), r);
        if (records.size() > static_cast<size_t>(kRecords))
            records.pop_back();
    }

    void close(uint32_t id, bool all)
    {
        int64_t consumed = (read - mark) % kCapacity;
        while (sinceMark > consumed + kCapacity)
            consumed += kCapacity;
        const int64_t frames = all ? sinceMark : consumed;
        if (find(id) != 0)
            return;
        sinceMark -= frames;
        pushFront({mark, frames, consumed, id});
    }

    // Returns whether the push overflowed.
    bool putSamples(int32_t count, int32_t& frameCounter)
    {
        int32_t blocks = 0;
        int32_t taken = 0;
        if (partial > 0) {
            taken = std::min(kShift - partial, count);
            partial += taken;
            if (partial == kShift) {
                partial = 0;
                ++blocks;
            }
        }
        blocks += (count - taken) / kShift;
        const int32_t tail = (count - taken) % kShift;
        for (int32_t b = 0; b < blocks; ++b) {
            if (queued() == kCapacity - 1)
                return true;  // the rest is dropped
            ++frameCounter;
            counters.push_back(frameCounter);
            ++written;
            ++sinceMark;
        }
        if (tail > 0)
            partial = tail;
        return false;
    }
};

class FrameQueueReferenceTest : public ::testing::Test {
protected:
    CallerContext m_caller;
    CountingAllocator m_engineAllocator;
};

TEST_F(FrameQueueReferenceTest, RandomSequencesAgreeWithTheModel)
{
    for (uint32_t seed = 1; seed <= 60; ++seed) {
        SCOPED_TRACE(seed);
        componentFakes().reset();
        ScriptedFrontEnd fe;
        fe.defaultStatus = kFEStatusSpeech;  // the end-pointer never ends the utterance
        BrevitEngine* e = makeEngine(
            m_engineAllocator,
            ParamBlockBuilder().word(kBrevitParamFrameQueueCapacity, kCapacity)
                .word(kBrevitParamUtteranceRecords, kRecords),
            {false});
        e->frontEnd = &fe.head;
        e->endPointerSettings = &e->endPointers[0];
        UttDet_Init(e->endPointerSettings, 10, 20, 100000, 0, 0);
        ASSERT_EQ(BrevitPriv_Call(e, [](BrevitEngine* x) -> EBrevit { return BrevitPriv_InitAudioInput(x, 4); }),
                  EBrevit_OK);
        e->recognizingUtteranceId = 0xFFFFFFF0u;

        Reference ref;
        int32_t frameCounter = 0;
        std::mt19937 random(seed);
        std::vector<int16_t> samples(500, 0);
        for (int step = 0; step < 300; ++step) {
            const int op = static_cast<int>(random() % 100);
            if (op < 8) {
                uint32_t id = 0;
                if (ref.listening) {
                    ref.listening = false;
                    if (ref.find(ref.current) != 1)
                        ref.close(ref.current, true);
                }
                ASSERT_EQ(Brevit_StartListening(e, &id), EBrevit_OK);
                ref.current = ref.counter++;
                ref.read = ref.mark = ref.written;
                ref.sinceMark = 0;
                ref.partial = 0;
                ref.listening = true;
                ASSERT_EQ(id, ref.current);
            } else if (op < 50) {
                const int32_t count = static_cast<int32_t>(random() % 400);
                int32_t status = 0;
                const EBrevit result = Brevit_PutWaveSamples(e, samples.data(), count, &status);
                if (!ref.listening) {
                    ASSERT_EQ(result, EBrevit_OK);
                    ASSERT_EQ(status, 2);
                } else {
                    const bool overflowed = ref.putSamples(count, frameCounter);
                    ASSERT_EQ(result, overflowed ? EBrevit_FrameQueueOverflow : EBrevit_OK);
                    if (overflowed)
                        ref.partial = 0;
                }
            } else if (op < 56) {
                ASSERT_EQ(Brevit_StopListening(e), EBrevit_OK);
                if (ref.listening) {
                    ref.listening = false;
                    if (ref.find(ref.current) != 1)
                        ref.close(ref.current, true);
                }
            } else if (op < 62) {
                uint32_t id = 0;
                const EBrevit result = Brevit_SplitUtterance(e, &id);
                if (!ref.listening) {
                    ASSERT_EQ(result, EBrevit_WrongState);
                } else {
                    ASSERT_EQ(result, EBrevit_OK);
                    const uint32_t old = ref.current;
                    const bool recorded = ref.find(old) == 1;
                    if (!recorded)
                        ref.close(old, false);
                    ref.current = ref.counter++;
                    ASSERT_EQ(id, ref.current);
                    const int64_t n = (ref.read - ref.mark) % kCapacity;
                    if (recorded) {
                        Record* r = ref.record(old);
                        const int32_t found = ref.find(old);
                        if (!(found == 2 && r->frames < n)) {
                            const int64_t before = r->frames;
                            const int64_t keep = std::min(n, before);
                            r->recognised = std::min(r->recognised, n);
                            r->frames = keep;
                            if (before > 0)
                                ref.pushFront({ref.mark + n, before - keep, 0, ref.current});
                        }
                        ref.sinceMark = 0;
                    } else {
                        ref.sinceMark = ref.queued();
                    }
                    ref.mark = ref.read;
                }
            } else if (op < 66) {
                if (ref.records.empty())
                    continue;
                const uint32_t id = ref.records[random() % ref.records.size()].id;
                if (id == kBrevitUttReleased)
                    continue;
                const EBrevit result = Brevit_DiscardUtterance(e, id);
                if (ref.listening) {
                    ASSERT_EQ(result, EBrevit_WrongState);
                    continue;
                }
                ASSERT_EQ(result, EBrevit_OK);
                if (ref.find(id) != 0) {
                    ref.record(id)->id = kBrevitUttReleased;
                    int64_t total = 0;
                    for (size_t i = 0; i < ref.records.size(); ++i) {
                        total += ref.records[i].frames;
                        if (total + ref.records[i].frames >= kCapacity) {
                            ref.records.resize(i);
                            break;
                        }
                    }
                }
            } else {
                BrevitQueuedFrame f;
                const bool got = BrevitPriv_NextQueuedFrame(e, &f, false);
                ASSERT_EQ(got, ref.queued() > 0);
                if (got) {
                    ASSERT_EQ(static_cast<int32_t>(f.sideValue), ref.counters[ref.read]);
                    ++ref.read;
                }
            }
            // Both sides agree after every step.
            int32_t count = 0;
            ASSERT_EQ(Brevit_GetFeatureCount(e, &count), EBrevit_OK);
            ASSERT_EQ(count, ref.queued()) << "step " << step;
            for (uint32_t id = 0; id <= ref.counter; ++id) {
                int32_t frames = 0;
                int32_t recognised = 0;
                ASSERT_EQ(Brevit_GetNFramesInUtt(e, id, &frames), EBrevit_OK);
                ASSERT_EQ(Brevit_GetNFramesRecognizedInUtt(e, id, &recognised), EBrevit_OK);
                const Record* r = ref.record(id);
                const int64_t open = id == ref.current ? ref.sinceMark : -1;
                ASSERT_EQ(frames, r != nullptr ? r->frames : open) << "step " << step << " id " << id;
                ASSERT_EQ(recognised, r != nullptr ? r->recognised : open) << "step " << step;
                ASSERT_EQ(BrevitPriv_FindUtterance(e, id, nullptr), ref.find(id)) << "step " << step;
                if (r != nullptr && ref.find(id) != 0) {
                    BrevitUttRecord* mine = nullptr;
                    BrevitPriv_FindUtterance(e, id, &mine);
                    ASSERT_EQ(mine->firstFrame, static_cast<uint32_t>(r->first % kCapacity));
                }
            }
        }
        e->frontEnd = nullptr;
        ASSERT_EQ(Brevit_Destroy(e, nullptr), EBrevit_OK);
    }
}

} // namespace
