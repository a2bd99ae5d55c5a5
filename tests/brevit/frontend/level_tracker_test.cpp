#include "core/brevit/frontend/level_tracker.h"

#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/brevit/frontend/frontend_test_util.h"
#include "tests/support/param_block_builder.h"

namespace {

class LevelTrackerTest : public FrontEndTest {};

TEST_F(LevelTrackerTest, CreatedFromTheShift)
{
    struct Case {
        int32_t rate, shift;
        int32_t history;
        int16_t adaptation;
    } const cases[] = {
        {8000, 80, 10, 128},   // 10 ms
        {8000, 160, 5, 256},   // 20 ms
        {16000, 160, 10, 128},
        {8000, 800, 1, 1280},  // 100 ms: one slot
        {8000, 1600, 1, 2560}, // longer than 100 ms still keeps one slot
    };
    for (const Case& c : cases) {
        LevelTracker* t = LevelTracker_Create(c.rate, c.shift);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->L, c.history) << c.rate << "/" << c.shift;
        EXPECT_EQ(t->rate, c.adaptation);
        LevelTracker_StartUtterance(t);
        for (int i = 0; i < 25; ++i)  // writes wrap inside the history
            LevelTracker_Process(t, static_cast<int16_t>(1000 * i));
        LevelTracker_Destroy(t);
    }
}

TEST_F(LevelTrackerTest, DefaultsFollowTheParameterBlock)
{
    struct Case {
        const char* name;
        ParamBlockBuilder params;
        int16_t floor, peak, margin;
    } const cases[] = {
        {"plain", ParamBlockBuilder(), 12800, 25600, 0},
        {"scale 11", ParamBlockBuilder().word(kBrevitParamCepstralScale11, 1), 32767, 32767, 0},
        {"reset each utterance", ParamBlockBuilder().word(kBrevitParamResetEachUtterance, 1), 32767, 0,
         40 << 7},
        {"reset, loud start", ParamBlockBuilder().word(kBrevitParamResetEachUtterance, 1).word(kBrevitParamCepstralScale6, 1),
         32767, 0, 80 << 6},
        {"reset, scale 11", ParamBlockBuilder().word(kBrevitParamResetEachUtterance, 1).word(kBrevitParamCepstralScale11, 1),
         32767, 0, 32767},
    };
    for (const Case& c : cases) {
        ScopedParamBlock block(c.params);
        LevelTracker* t = LevelTracker_Create(8000, 80);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->floor, c.floor) << c.name;
        EXPECT_EQ(t->peak, c.peak) << c.name;
        EXPECT_EQ(t->peakMargin, c.margin) << c.name;
        LevelTracker_Destroy(t);
    }
}

TEST_F(LevelTrackerTest, ResetEachUtteranceStartsFromTheFirstFrame)
{
    ScopedParamBlock block(ParamBlockBuilder().word(kBrevitParamResetEachUtterance, 1));
    LevelTracker* t = LevelTracker_Create(8000, 80);
    ASSERT_NE(t, nullptr);
    uint16_t moved[2] = {100, 200};
    LevelTracker_SetFloorPeak(t, moved);
    LevelTracker_StartUtterance(t);  // defaults again
    LevelTracker_Process(t, 10000);
    EXPECT_EQ(t->floor, 10000);
    EXPECT_EQ(t->peak, 10000 + (40 << 7));
    LevelTracker_StartUtterance(t);
    LevelTracker_Process(t, 30000);  // c0 above floor + margin
    EXPECT_EQ(t->floor, 30000);
    EXPECT_EQ(t->peak, 30000);
    LevelTracker_Destroy(t);
}

// One 100 ms slot (L = 1, rate 1280): the sum is c0 itself, which makes the
// thresholds easy to follow by hand.
TEST_F(LevelTrackerTest, SpeechDecisionHasHysteresis)
{
    struct Step {
        int16_t c0;
        int32_t bits;
        int16_t floor, peak;
    } const steps[] = {
        {6000, 3, 1195, 8883},  // half way is 5039: speech, above the quarter
        {2500, 2, 1246, 8634},  // in speech the eighth (2170) holds it
        {2000, 0, 1275, 8375},  // below the eighth (2163): speech ends
        {500, 0, 500, 8067},    // the floor follows a drop at once
    };
    LevelTracker* t = LevelTracker_Create(8000, 800);
    ASSERT_NE(t, nullptr);
    LevelTracker_StartUtterance(t);
    const uint16_t start[2] = {1000, 9000};
    LevelTracker_SetFloorPeak(t, start);
    for (const Step& s : steps) {
        EXPECT_EQ(LevelTracker_Process(t, s.c0), s.bits) << s.c0;
        EXPECT_EQ(t->floor, s.floor) << s.c0;
        EXPECT_EQ(t->peak, s.peak) << s.c0;
    }
    // The same 2500 frame after a fresh start meets the half-way threshold.
    LevelTracker_StartUtterance(t);
    const uint16_t again[2] = {1195, 8883};
    LevelTracker_SetFloorPeak(t, again);
    EXPECT_EQ(LevelTracker_Process(t, 2500) & 2, 0);
    uint16_t out[2];
    LevelTracker_GetFloorPeak(t, out);
    EXPECT_EQ(out[0], 1246);
    LevelTracker_Destroy(t);
}

TEST_F(LevelTrackerTest, HistoryStartsAsZeros)
{
    LevelTracker* t = LevelTracker_Create(8000, 80);
    ASSERT_NE(t, nullptr);
    LevelTracker_StartUtterance(t);
    // Loud frames: bit 1 at once, but speech only once the 100 ms sum,
    // which counts missing frames as 0, passes L x the half-way level.
    int firstSpeech = -1;
    for (int i = 0; i < 10; ++i) {
        const int32_t bits = LevelTracker_Process(t, 30000);
        EXPECT_EQ(bits & 1, 1);
        if ((bits & 2) && firstSpeech < 0)
            firstSpeech = i;
    }
    // The half-way level is about 21400 + 33 per frame: 8 x 30000 passes 10 x it.
    EXPECT_EQ(firstSpeech, 7);
    LevelTracker_Destroy(t);
}

TEST_F(LevelTrackerTest, CreationSurvivesAllocationFailure)
{
    expectLoadSurvivesEveryAllocationFailure(
        m_allocator, [] { return LevelTracker_Create(8000, 80); },
        [](LevelTracker* t) { LevelTracker_Destroy(t); });
}

} // namespace
