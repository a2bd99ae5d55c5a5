#include "core/brevit/frontend/utt_det.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include <string>
#include <vector>

namespace {

// Feeds one frame per character ('S' speech, anything else silence) and
// returns the state after each.
std::vector<int32_t> feed(UttDet* det, const std::string& frames)
{
    std::vector<int32_t> states;
    for (char c : frames)
        states.push_back(UttDet_ProcessFrame(det, c == 'S' ? 0 : 1));
    return states;
}

// 10 ms frames, 30 ms minimum speech (3 frames), 50 ms minimum silence (5
// frames), silence limit 2, flag 1.
UttDet standardDetector()
{
    UttDet det{};
    UttDet_Init(&det, 10, 30, 50, 2, 1);
    return det;
}

TEST(UttDetTest, InitConvertsMillisecondsToFrames)
{
    struct Case {
        int32_t period, speechMs, silenceMs;
        int32_t speechFrames, silenceFrames;
    } const cases[] = {
        {10, 30, 50, 3, 5},
        {10, 5, 10, 1, 1},   // below one frame
        {10, 0, -20, 1, 1},
        {10, 39, 59, 3, 5},  // truncated
        {20, 100, 300, 5, 15},
    };
    for (const Case& c : cases) {
        UttDet det{};
        det.resumeCount = 7;
        UttDet_Init(&det, c.period, c.speechMs, c.silenceMs, 4, 0);
        EXPECT_EQ(det.minSpeechFrames, c.speechFrames) << c.speechMs << "/" << c.period;
        EXPECT_EQ(det.minSilenceFrames, c.silenceFrames);
        EXPECT_EQ(det.silenceLimit, 4);
        EXPECT_EQ(UttDet_GetState(&det), kUttDetNoSpeech);
        EXPECT_EQ(UttDet_GetStartFrame(&det), -1);
        EXPECT_EQ(UttDet_GetEndFrame(&det), -1);
        EXPECT_EQ(det.resumeCount, 7);  // reset leaves it
    }
    UttDet standard = standardDetector();
    EXPECT_EQ(UttDet_ComputeCRC(&standard), 0xB5126B59u);
}

TEST(UttDetTest, ZeroPeriodAsserts)
{
    UttDet det{};
    EXPECT_DEATH(UttDet_Init(&det, 0, 30, 50, 2, 1), "non-zero");
}

TEST(UttDetTest, FollowsSpeechFalseStartsEndsAndResumption)
{
    UttDet det = standardDetector();
    const std::string frames = "..SS.....SSS.....SS...SSS";
    std::vector<int32_t> expected(frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        if (i < 2 || (i >= 8 && i < 9))
            expected[i] = kUttDetNoSpeech;
        else if (i < 8 || (i >= 9 && i < 16) || i >= 22)
            expected[i] = kUttDetInSpeech;
        else
            expected[i] = kUttDetEndFound;
    }
    std::vector<int32_t> endFrames;
    std::vector<int32_t> states;
    for (char c : frames) {
        states.push_back(UttDet_ProcessFrame(&det, c == 'S' ? 0 : 1));
        endFrames.push_back(UttDet_GetEndFrame(&det));
    }
    EXPECT_EQ(states, expected);
    EXPECT_EQ(UttDet_GetStartFrame(&det), 9);
    for (size_t i = 12; i <= 15; ++i)
        EXPECT_EQ(endFrames[i], 12) << "frame " << i;
    EXPECT_EQ(endFrames[11], -1);  // in speech without a silence run
    EXPECT_EQ(endFrames[16], 11);
    EXPECT_EQ(endFrames[20], 11);
    EXPECT_EQ(UttDet_GetNumFrames(&det), 25);
    EXPECT_EQ(UttDet_ComputeCRC(&det), 0xAFD46675u);
}

TEST(UttDetTest, StateQueries)
{
    UttDet det = standardDetector();
    struct Step {
        const char* frames;
        int32_t state;
        bool paused, ended;
        int32_t start;
    } const steps[] = {
        {"..", kUttDetNoSpeech, false, false, -1},
        {"S", kUttDetInSpeech, false, false, 2},
        {"SS.", kUttDetInSpeech, true, false, 2},
        {"....", kUttDetEndFound, true, true, 2},
        {"SS", kUttDetEndFound, true, true, 2},   // fewer than the minimum speech
        {"S", kUttDetInSpeech, false, false, 2},  // the earlier start stays
    };
    for (const Step& s : steps) {
        feed(&det, s.frames);
        EXPECT_EQ(UttDet_GetState(&det), s.state) << s.frames;
        EXPECT_EQ(UttDet_IsSpeechPaused(&det) != 0, s.paused) << s.frames;
        EXPECT_EQ(UttDet_IsEndFound(&det) != 0, s.ended) << s.frames;
        EXPECT_EQ(UttDet_GetStartFrame(&det), s.start) << s.frames;
    }
    det.state = 9;  // an unknown state only counts frames
    const int32_t frames = det.frameCount;
    EXPECT_EQ(UttDet_ProcessFrame(&det, 0), 9);
    EXPECT_EQ(det.frameCount, frames + 1);
}

TEST(UttDetTest, FinalSilenceCheck)
{
    struct Case {
        const char* frames;
        int32_t limit;
        int32_t added;
        int32_t result;
    } const cases[] = {
        {"SSS...", 2, 2, kUttDetEndFound},
        {"SSS...", 2, 1, kUttDetInSpeech},    // run and added frames short of the minimum
        {"SSS...", 3, 2, kUttDetInSpeech},    // run not above the limit
        {"SS...", 2, 2, kUttDetInSpeech},     // too little speech
        {"SSS", 2, 9, kUttDetInSpeech},
        {"...", 2, 9, kUttDetNoSpeech},       // other states come back as they are
        {"SSS.....", 2, 9, kUttDetEndFound},
    };
    for (const Case& c : cases) {
        UttDet det{};
        UttDet_Init(&det, 10, 30, 50, c.limit, 1);
        feed(&det, c.frames);
        const UttDet before = det;
        EXPECT_EQ(UttDet_CheckFinalSilence(&det, c.added, 0), c.result) << c.frames << " " << c.added;
        EXPECT_EQ(UttDet_ComputeCRC(&det), UttDet_ComputeCRC(&before));
    }

    UttDet det = standardDetector();
    feed(&det, "SSS...");
    UttDet_SetExtraSilenceFrames(&det, 1);
    EXPECT_EQ(UttDet_CheckFinalSilence(&det, 2, 1), kUttDetInSpeech);  // 2 + 3 < 1 + 5
    EXPECT_EQ(UttDet_CheckFinalSilence(&det, 3, 1), kUttDetEndFound);
    EXPECT_EQ(UttDet_GetState(&det), kUttDetEndFound);
    EXPECT_EQ(UttDet_GetEndFrame(&det), 3);
}

TEST(UttDetTest, SpeechResumesAfterACommittedEnd)
{
    UttDet det = standardDetector();
    feed(&det, "SSS.....");
    EXPECT_EQ(UttDet_GetEndFrame(&det), 2);
    feed(&det, "SSS");
    ASSERT_EQ(UttDet_GetState(&det), kUttDetInSpeech);
    feed(&det, "...");
    ASSERT_EQ(UttDet_CheckFinalSilence(&det, 2, 1), kUttDetEndFound);
    EXPECT_EQ(UttDet_GetEndFrame(&det), 11);
    EXPECT_EQ(feed(&det, "SSS"),
              (std::vector<int32_t>{kUttDetEndFound, kUttDetEndFound, kUttDetInSpeech}));
}

TEST(UttDetTest, EndsAtTheFirstFrameThatReachesTheSilence)
{
    struct Case {
        const char* name;
        int32_t speechMs, silenceMs;
        int32_t extraBefore, extraAfter;  // set before the frames, then before one more silence
        const char* frames;
        int32_t endIndex, endFrame;
    } const cases[] = {
        {"minimum silence 1", 30, 10, 0, 0, "SSS.", 3, 2},
        {"speech below one frame", 5, 10, 0, 0, "S.", 1, 0},
        {"extra silence", 30, 50, 2, 2, "SSS.......", 9, 2},
        {"extra lowered mid-run", 30, 50, 4, 0, "SSS......", 8, 2},
    };
    for (const Case& c : cases) {
        UttDet det{};
        UttDet_Init(&det, 10, c.speechMs, c.silenceMs, 0, 0);
        UttDet_SetExtraSilenceFrames(&det, c.extraBefore);
        const std::string frames = c.frames;
        std::vector<int32_t> states = feed(&det, frames.substr(0, frames.size() - 1));
        UttDet_SetExtraSilenceFrames(&det, c.extraAfter);
        states.push_back(UttDet_ProcessFrame(&det, 1));
        const auto ended = std::find(states.begin(), states.end(), kUttDetEndFound);
        EXPECT_EQ(ended - states.begin(), c.endIndex) << c.name;
        EXPECT_EQ(UttDet_GetEndFrame(&det), c.endFrame) << c.name;
    }
}

// A minimum silence meant as "never end on silence" plus extra frames from a
// decoder: their sum passes the int32 range and must not wrap into an end.
TEST(UttDetTest, SilenceNearTheIntLimitNeverEnds)
{
    UttDet det{};
    UttDet_Init(&det, 1, 1, INT32_MAX, 0, 0);
    UttDet_SetExtraSilenceFrames(&det, 1);
    EXPECT_EQ(feed(&det, "S.."), (std::vector<int32_t>(3, kUttDetInSpeech)));
    EXPECT_EQ(UttDet_CheckFinalSilence(&det, 1000, 1), kUttDetInSpeech);
    UttDet_SetExtraSilenceFrames(&det, INT32_MAX);
    EXPECT_EQ(UttDet_ProcessFrame(&det, 1), kUttDetInSpeech);
}

TEST(UttDetTest, FalseStartWaitsForTheMinimumSilence)
{
    UttDet det = standardDetector();
    EXPECT_EQ(feed(&det, "SS...."),
              (std::vector<int32_t>(6, kUttDetInSpeech)));
    EXPECT_EQ(UttDet_ProcessFrame(&det, 1), kUttDetNoSpeech);
    EXPECT_EQ(UttDet_GetStartFrame(&det), -1);
    EXPECT_EQ(det.startFrame, 0);  // kept until the next start
    feed(&det, "..S");
    EXPECT_EQ(UttDet_GetStartFrame(&det), 9);
}

} // namespace
