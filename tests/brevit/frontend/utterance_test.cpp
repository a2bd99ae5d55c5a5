#include "core/brevit/frontend/utterance.h"

#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/search/frame_buffer.h"
#include "tests/brevit/frontend/frontend_test_util.h"
#include "tests/support/param_block_builder.h"

#include <array>
#include <vector>

namespace {

constexpr int32_t kFrameSize = 2;

// Caller-owned ring storage in which slot s holds the frame {10s, 10s + 1}
// and the side value 100 + s.
class Ring {
public:
    explicit Ring(int32_t capacity) : m_frames(capacity * kFrameSize), m_side(capacity)
    {
        for (int32_t s = 0; s < capacity; ++s) {
            m_frames[s * kFrameSize] = static_cast<uint8_t>(10 * s);
            m_frames[s * kFrameSize + 1] = static_cast<uint8_t>(10 * s + 1);
            m_side[s] = 100 + s;
        }
        m_utt = Utterance_CreateOnBuffer(m_frames.data(), m_side.data(), capacity, kFrameSize);
    }
    ~Ring() { Utterance_Delete(m_utt); }
    Ring(const Ring&) = delete;
    Ring& operator=(const Ring&) = delete;

    Utterance* utt() { return m_utt; }
    int32_t* side() { return m_side.data(); }

private:
    std::vector<uint8_t> m_frames;
    std::vector<int32_t> m_side;
    Utterance* m_utt;
};

// The slot a frame of Ring came from.
int32_t slotOf(const uint8_t* frame) { return frame == nullptr ? -1 : frame[0] / 10; }

// Slots of the frames GetNextFrame yields until it gives null.
std::vector<int32_t> readAll(Utterance* utt)
{
    std::vector<int32_t> slots;
    while (const uint8_t* frame = Utterance_GetNextFrame(utt, nullptr))
        slots.push_back(slotOf(frame));
    return slots;
}

// Frames of a buffer by index, with their side values.
std::vector<std::pair<int32_t, int32_t>> framesByIndex(Utterance* utt)
{
    std::vector<std::pair<int32_t, int32_t>> frames;
    for (int32_t i = 0; i < Utterance_GetNumFrames(utt); ++i) {
        int32_t* side = nullptr;
        const uint8_t* frame = Utterance_GetFrame(utt, i, &side);
        frames.emplace_back(slotOf(frame), side != nullptr ? *side : -1);
    }
    return frames;
}

class UtteranceTest : public FrontEndTest {};

TEST_F(UtteranceTest, ReadsFollowTheRingFromTheFirstFrame)
{
    struct Case {
        int32_t capacity, first, count;
        std::vector<int32_t> slots;
    } const cases[] = {
        {8, 5, 6, {5, 6, 7, 0, 1, 2}},
        {8, 5, 3, {5, 6, 7}},
        {4, 0, 4, {0, 1, 2, 3}},
        {4, 3, 0, {}},
    };
    for (const Case& c : cases) {
        Ring ring(c.capacity);
        Utterance_Load(ring.utt(), c.first, c.count);
        for (size_t i = 0; i < c.slots.size(); ++i)
            EXPECT_EQ(slotOf(Utterance_GetFrame(ring.utt(), static_cast<int32_t>(i), nullptr)),
                      c.slots[i]);
        EXPECT_EQ(Utterance_GetFrame(ring.utt(), c.count, nullptr), nullptr);
        EXPECT_EQ(Utterance_GetFrame(ring.utt(), -1, nullptr), nullptr);
        EXPECT_EQ(readAll(ring.utt()), c.slots) << c.first << "+" << c.count;
        EXPECT_EQ(Utterance_GetNumFramesRemaining(ring.utt()), 0);
        Utterance_Rewind(ring.utt());
        EXPECT_EQ(Utterance_GetNumFramesRemaining(ring.utt()), c.count);
    }
}

TEST_F(UtteranceTest, SideValueComesWithEachFrame)
{
    Ring ring(8);
    Utterance_Load(ring.utt(), 5, 4);
    int32_t* side = nullptr;
    Utterance_GetFrame(ring.utt(), 4 - 1, &side);  // slot 0
    EXPECT_EQ(side, ring.side());
    Utterance_GetNextFrame(ring.utt(), &side);
    EXPECT_EQ(*side, 105);

    std::array<uint8_t, 4> storage{};
    Utterance* bare = Utterance_CreateOnBuffer(storage.data(), nullptr, 2, kFrameSize);
    ASSERT_NE(bare, nullptr);
    const uint8_t frame[kFrameSize] = {7, 8};
    const int32_t value = 9;
    EXPECT_EQ(Utterance_PutFrame(bare, frame, &value), 1);
    Utterance_GetNextFrame(bare, &side);
    EXPECT_EQ(side, nullptr);
    Utterance_Delete(bare);
}

TEST_F(UtteranceTest, PutAppendsAfterTheUnreadFramesUntilFull)
{
    Ring ring(3);
    const uint8_t a[kFrameSize] = {90, 91};
    const int32_t side = 7;
    EXPECT_EQ(Utterance_PutFrame(ring.utt(), a, &side), 1);
    EXPECT_EQ(Utterance_PutFrame(ring.utt(), a, nullptr), 1);
    EXPECT_EQ(Utterance_PutFrame(ring.utt(), a, nullptr), 1);
    EXPECT_EQ(ring.side()[0], 7);
    EXPECT_EQ(ring.side()[1], 101);  // no side value given: the slot keeps its own
    const uint8_t b[kFrameSize] = {1, 2};
    EXPECT_EQ(Utterance_PutFrame(ring.utt(), b, &side), 0);
    EXPECT_EQ(Utterance_GetNumFrames(ring.utt()), 3);
    EXPECT_EQ(Utterance_GetNumFramesRemaining(ring.utt()), 3);
    EXPECT_EQ(readAll(ring.utt()), (std::vector<int32_t>{9, 9, 9}));
}

TEST_F(UtteranceTest, FramesPutAfterReadsAreHeldWithTheUnreadOnes)
{
    std::vector<uint8_t> storage(4 * kFrameSize);
    std::vector<int32_t> sides(4);
    Utterance* utt = Utterance_CreateOnBuffer(storage.data(), sides.data(), 4, kFrameSize);
    ASSERT_NE(utt, nullptr);
    auto put = [&](int32_t name) {
        const uint8_t frame[kFrameSize] = {static_cast<uint8_t>(10 * name), 0};
        const int32_t side = 100 + name;
        return Utterance_PutFrame(utt, frame, &side);
    };
    for (int32_t name = 0; name < 4; ++name)  // A to D
        ASSERT_EQ(put(name), 1);
    Utterance_GetNextFrame(utt, nullptr);
    Utterance_GetNextFrame(utt, nullptr);
    ASSERT_EQ(put(4), 1);  // E and F take the slots of A and B
    ASSERT_EQ(put(5), 1);
    ASSERT_EQ(put(6), 0);
    const std::vector<std::pair<int32_t, int32_t>> cdef = {{2, 102}, {3, 103}, {4, 104}, {5, 105}};
    EXPECT_EQ(framesByIndex(utt), cdef);
    Utterance* copy = Utterance_Clone(utt);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(framesByIndex(copy), cdef);
    EXPECT_EQ(readAll(utt), (std::vector<int32_t>{2, 3, 4, 5}));
    Utterance_Delete(copy);
    Utterance_Delete(utt);
}

TEST_F(UtteranceTest, CloneCopiesTheHeldFramesInReadingOrder)
{
    struct Case {
        int32_t capacity, first, count;
        std::vector<std::pair<int32_t, int32_t>> frames;
    } const cases[] = {
        {4, 3, 3, {{3, 103}, {0, 100}, {1, 101}}},  // wraps
        {8, 1, 2, {{1, 101}, {2, 102}}},
        {4, 0, 4, {{0, 100}, {1, 101}, {2, 102}, {3, 103}}},
    };
    for (const Case& c : cases) {
        Ring ring(c.capacity);
        Utterance_Load(ring.utt(), c.first, c.count);
        Utterance_GetNextFrame(ring.utt(), nullptr);
        Utterance* copy = Utterance_Clone(ring.utt());
        ASSERT_NE(copy, nullptr);
        EXPECT_EQ(copy->capacity, c.count);
        EXPECT_EQ(copy->firstFrame, 0);
        EXPECT_EQ(copy->ownsStorage, 1);
        EXPECT_EQ(Utterance_GetNumFramesRemaining(copy), c.count);
        EXPECT_EQ(framesByIndex(copy), c.frames) << c.first << "+" << c.count;
        EXPECT_EQ(Utterance_GetNumFramesRemaining(ring.utt()), c.count - 1);  // source untouched
        Utterance_Delete(copy);
    }
}

TEST_F(UtteranceTest, CloneOfNothingIsEmpty)
{
    struct Case {
        const char* name;
        int32_t frameSize;
        int32_t count;
    } const cases[] = {{"no frames", 2, 0}, {"empty frames", 0, 3}};
    for (const Case& c : cases) {
        std::vector<uint8_t> storage(8);
        Utterance* utt = Utterance_CreateOnBuffer(storage.data(), nullptr, 4, c.frameSize);
        ASSERT_NE(utt, nullptr);
        Utterance_Load(utt, 0, c.count);
        Utterance* copy = Utterance_Clone(utt);
        ASSERT_NE(copy, nullptr) << c.name;
        EXPECT_EQ(Utterance_GetNumFrames(copy), 0) << c.name;
        EXPECT_EQ(Utterance_GetNextFrame(copy, nullptr), nullptr);
        EXPECT_EQ(copy->frames, nullptr);
        EXPECT_EQ(copy->ownsStorage, 0);
        Utterance_Delete(copy);
        Utterance_Delete(utt);
    }
}

TEST_F(UtteranceTest, PackedCopyKeepsFourBitsPerValue)
{
    for (int word : {kBrevitParamPackedFrames0, kBrevitParamPackedFrames1}) {
        ScopedParamBlock block(ParamBlockBuilder().word(word, 1));
        uint8_t values[4] = {3, 20, 0, 15};
        int32_t side = 42;
        Utterance* utt = Utterance_CreateOnBuffer(values, &side, 1, 4);
        ASSERT_NE(utt, nullptr);
        Utterance_Load(utt, 0, 1);
        Utterance* copy = Utterance_Clone(utt);
        ASSERT_NE(copy, nullptr);
        EXPECT_EQ(Utterance_GetNumFramesRemaining(utt), 0);  // the puts read the source out
        EXPECT_EQ(copy->packed, 1);
        EXPECT_EQ(copy->bytesPerFrame, 2);
        EXPECT_EQ(copy->frames[0], 0xF3);
        EXPECT_EQ(copy->frames[1], 0xF0);
        int32_t* copiedSide = nullptr;
        const uint8_t* frame = Utterance_GetNextFrame(copy, &copiedSide);
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(std::vector<uint8_t>(frame, frame + 4), (std::vector<uint8_t>{3, 15, 0, 15}));
        EXPECT_EQ(*copiedSide, 42);

        // A packed source stays packed, also with the words clear.
        ScopedParamBlock none{ParamBlockBuilder()};
        Utterance* again = Utterance_Clone(copy);
        ASSERT_NE(again, nullptr);
        EXPECT_EQ(again->packed, 1);
        EXPECT_EQ(again->frames[0], 0xF3);
        frame = Utterance_GetFrame(again, 0, nullptr);
        EXPECT_EQ(std::vector<uint8_t>(frame, frame + 4), (std::vector<uint8_t>{3, 15, 0, 15}));
        Utterance_Delete(again);
        Utterance_Delete(copy);
        Utterance_Delete(utt);
    }
}

TEST_F(UtteranceTest, PackedCopyRefusesAnOddFrameSize)
{
    ScopedParamBlock block(ParamBlockBuilder().word(kBrevitParamPackedFrames0, 1));
    uint8_t values[3] = {1, 2, 3};
    Utterance* utt = Utterance_CreateOnBuffer(values, nullptr, 1, 3);
    ASSERT_NE(utt, nullptr);
    Utterance_Load(utt, 0, 1);
    EXPECT_EQ(Utterance_Clone(utt), nullptr);
    Utterance_Delete(utt);
}

TEST_F(UtteranceTest, FrameBufferIsWrappedWithAllItsFrames)
{
    auto** rows = static_cast<uint8_t**>(DVKMem_2DCalloc(1, 4, kFrameSize));
    ASSERT_NE(rows, nullptr);
    int32_t sides[4] = {5, 6, 7, 8};
    rows[2][0] = 77;
    FrameBuffer buffer{rows, sides, kFrameSize, 4, 3};
    Utterance* utt = Utterance_ConvertFrameBuffer(&buffer);
    ASSERT_NE(utt, nullptr);
    EXPECT_EQ(Utterance_GetNumFrames(utt), 3);
    EXPECT_EQ(Utterance_GetNumFramesRemaining(utt), 3);
    int32_t* side = nullptr;
    EXPECT_EQ(Utterance_GetFrame(utt, 2, &side)[0], 77);
    EXPECT_EQ(*side, 7);
    Utterance_Delete(utt);
    EXPECT_EQ(rows[2][0], 77);  // not owned
    DVKMem_2DFree(rows);
}

TEST_F(UtteranceTest, LoadBeyondTheRingAsserts)
{
    Ring ring(4);
    EXPECT_DEATH(Utterance_Load(ring.utt(), 0, 5), "");
    EXPECT_DEATH(Utterance_Load(ring.utt(), 4, 1), "");
}

TEST_F(UtteranceTest, CloneSurvivesEveryAllocationFailure)
{
    for (bool packed : {false, true}) {
        ScopedParamBlock block(ParamBlockBuilder().word(kBrevitParamPackedFrames0, packed ? 1 : 0));
        Ring ring(4);
        Utterance_Load(ring.utt(), 3, 3);
        expectLoadSurvivesEveryAllocationFailure(
            m_allocator, [&] { return Utterance_Clone(ring.utt()); }, Utterance_Delete);
    }
}

class UtteranceFTest : public FrontEndTest {};

TEST_F(UtteranceFTest, RingOperationsMatchTheByteBuffer)
{
    UtteranceF* uttF = UtteranceF_Create(3, 2);
    ASSERT_NE(uttF, nullptr);
    const float a[2] = {1.5f, 2.5f}, b[2] = {3.5f, 4.5f}, c[2] = {5.5f, 6.5f}, d[2] = {7.5f, 8.5f};
    EXPECT_EQ(UtteranceF_PutFrame(uttF, a), 1);
    EXPECT_EQ(UtteranceF_PutFrame(uttF, b), 1);
    EXPECT_EQ(UtteranceF_PutFrame(uttF, c), 1);
    EXPECT_EQ(UtteranceF_PutFrame(uttF, d), 0);
    EXPECT_EQ(UtteranceF_GetNextFrame(uttF)[0], 1.5f);
    EXPECT_EQ(UtteranceF_PutFrame(uttF, d), 1);  // into the slot of a
    EXPECT_EQ(UtteranceF_GetNumFrames(uttF), 3);
    EXPECT_EQ(UtteranceF_GetFrame(uttF, 0)[0], 3.5f);
    EXPECT_EQ(UtteranceF_GetFrame(uttF, 2)[1], 8.5f);
    EXPECT_EQ(UtteranceF_GetFrame(uttF, 3), nullptr);

    UtteranceF* copy = UtteranceF_Clone(uttF);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->capacity, 3);
    std::vector<float> firsts;
    while (const float* frame = UtteranceF_GetNextFrame(copy))
        firsts.push_back(frame[0]);
    EXPECT_EQ(firsts, (std::vector<float>{3.5f, 5.5f, 7.5f}));
    UtteranceF_Clear(copy);
    EXPECT_EQ(UtteranceF_GetNumFramesRemaining(copy), 0);
    UtteranceF_Delete(copy);
    UtteranceF_Delete(uttF);
}

TEST_F(UtteranceFTest, CreateOwnsStorageOnlyForFrames)
{
    struct Case {
        int32_t capacity, frameSize;
        bool owns;
    } const cases[] = {{2, 3, true}, {0, 3, false}, {3, 0, false}, {-1, -1, false}};
    for (const Case& c : cases) {
        UtteranceF* uttF = UtteranceF_Create(c.capacity, c.frameSize);
        ASSERT_NE(uttF, nullptr);
        EXPECT_EQ(uttF->ownsStorage != 0, c.owns) << c.capacity << "x" << c.frameSize;
        EXPECT_EQ(uttF->frames != nullptr, c.owns);
        UtteranceF_Delete(uttF);
    }
}

TEST_F(UtteranceFTest, CopyFromFixedConvertsTheHeldFramesInRingOrder)
{
    Ring ring(4);
    Utterance_Load(ring.utt(), 3, 2);
    UtteranceF* copy = UtteranceF_CopyFromFixed(ring.utt());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->capacity, 2);
    EXPECT_EQ(UtteranceF_GetNumFramesRemaining(copy), 2);
    EXPECT_EQ(UtteranceF_GetFrame(copy, 0)[1], 31.0f);
    EXPECT_EQ(UtteranceF_GetFrame(copy, 1)[0], 0.0f);
    EXPECT_EQ(UtteranceF_GetFrame(copy, 1)[1], 1.0f);
    UtteranceF_Delete(copy);

    Utterance_Clear(ring.utt());
    UtteranceF* empty = UtteranceF_CopyFromFixed(ring.utt());
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->capacity, 1);
    EXPECT_EQ(UtteranceF_GetNumFrames(empty), 0);
    UtteranceF_Delete(empty);
}

TEST_F(UtteranceFTest, CopyFromFixedTakesPackedValuesUnpacked)
{
    ScopedParamBlock block(ParamBlockBuilder().word(kBrevitParamPackedFrames1, 1));
    uint8_t values[2] = {9, 31};
    Utterance* utt = Utterance_CreateOnBuffer(values, nullptr, 1, 2);
    ASSERT_NE(utt, nullptr);
    Utterance_Load(utt, 0, 1);
    Utterance* packed = Utterance_Clone(utt);
    ASSERT_NE(packed, nullptr);
    UtteranceF* copy = UtteranceF_CopyFromFixed(packed);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(UtteranceF_GetFrame(copy, 0)[0], 9.0f);
    EXPECT_EQ(UtteranceF_GetFrame(copy, 0)[1], 15.0f);
    UtteranceF_Delete(copy);
    Utterance_Delete(packed);
    Utterance_Delete(utt);
}

TEST_F(UtteranceFTest, CopiesSurviveEveryAllocationFailure)
{
    Ring ring(4);
    Utterance_Load(ring.utt(), 2, 3);
    expectLoadSurvivesEveryAllocationFailure(
        m_allocator, [&] { return UtteranceF_CopyFromFixed(ring.utt()); }, UtteranceF_Delete);
    UtteranceF* source = UtteranceF_Create(4, 2);
    ASSERT_NE(source, nullptr);
    UtteranceF_Load(source, 1, 3);
    expectLoadSurvivesEveryAllocationFailure(
        m_allocator, [&] { return UtteranceF_Clone(source); }, UtteranceF_Delete);
    UtteranceF_Delete(source);
}

class UtteranceListTest : public FrontEndTest {};

TEST_F(UtteranceListTest, KeepsCopiesWithTheirWords)
{
    UtteranceList* list = UtteranceList_Create(1);
    ASSERT_NE(list, nullptr);
    Ring ring(4);
    Utterance_Load(ring.utt(), 3, 2);
    const uint32_t words[] = {11, 12, 13};
    EXPECT_EQ(UtteranceList_Add(list, ring.utt(), 3, words), 1);
    Utterance_Load(ring.utt(), 1, 1);
    EXPECT_EQ(UtteranceList_Add(list, ring.utt(), 1, words + 2), 1);  // grows to 2
    EXPECT_EQ(list->capacity, 2);
    EXPECT_EQ(UtteranceList_Add(list, ring.utt(), 0, words), 0);
    EXPECT_EQ(UtteranceList_Add(list, ring.utt(), -1, words), 0);
    EXPECT_EQ(list->count, 2);

    for (int pass = 0; pass < 2; ++pass) {
        const UtteranceListEntry* first = UtteranceList_GetNext(list);
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(std::vector<uint32_t>(first->wordIds, first->wordIds + first->wordCount),
                  (std::vector<uint32_t>{11, 12, 13}));
        EXPECT_EQ(framesByIndex(first->utterance),
                  (std::vector<std::pair<int32_t, int32_t>>{{3, 103}, {0, 100}}));
        const UtteranceListEntry* second = UtteranceList_GetNext(list);
        ASSERT_NE(second, nullptr);
        EXPECT_EQ(second->wordCount, 1);
        EXPECT_EQ(second->wordIds[0], 13u);
        EXPECT_EQ(UtteranceList_GetNext(list), nullptr);
        UtteranceList_Rewind(list);
    }
    UtteranceList_Delete(list);
}

TEST_F(UtteranceListTest, GrowsToSixteenThenDoubles)
{
    UtteranceList* list = UtteranceList_Create(0);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->entries, nullptr);
    Ring ring(2);
    Utterance_Load(ring.utt(), 0, 1);
    const uint32_t word = 5;
    for (int32_t i = 1; i <= 17; ++i) {
        ASSERT_EQ(UtteranceList_Add(list, ring.utt(), 1, &word), 1);
        EXPECT_EQ(list->capacity, i <= 16 ? 16 : 32) << i;
    }
    UtteranceList_Delete(list);
}

TEST_F(UtteranceListTest, AddSurvivesEveryAllocationFailure)
{
    for (int32_t initial : {0, 1}) {
        UtteranceList* list = UtteranceList_Create(initial);
        ASSERT_NE(list, nullptr);
        Ring ring(4);
        Utterance_Load(ring.utt(), 3, 3);
        const uint32_t words[] = {1, 2};
        for (uint64_t k = 1;; ++k) {
            const uint64_t failuresBefore = m_allocator.failures();
            m_allocator.failAt(m_allocator.calls() + k);
            const int32_t added = UtteranceList_Add(list, ring.utt(), 2, words);
            const bool failed = m_allocator.failures() != failuresBefore;
            m_allocator.failAt(0);
            if (!failed) {
                EXPECT_EQ(added, 1);
                break;
            }
            EXPECT_EQ(added, 0) << "allocation " << k;
            EXPECT_EQ(list->count, 0);
            ASSERT_LT(k, 100u);
        }
        EXPECT_EQ(list->count, 1);
        UtteranceList_Delete(list);
    }
    expectLoadSurvivesEveryAllocationFailure(
        m_allocator, [] { return UtteranceList_Create(4); }, UtteranceList_Delete);
}

} // namespace
