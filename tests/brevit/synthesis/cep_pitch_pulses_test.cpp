#include "core/brevit/synthesis/cep_pitch_pulses.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// The generator's pulse fields after an utterance start.
struct Pulses {
    int32_t list[kCepMaxPulses] = {};
    int32_t last = 0;
    int32_t spacing = 80;

    std::vector<int32_t> call(int32_t logPitch, int32_t voicing, int32_t hop = 80,
                              int32_t frame = 512, int32_t rate = 16000, int32_t q = 12)
    {
        const CepPulseState state = {list, &last, &spacing};
        const int32_t n =
            CepToSampleFix_UpdatePulses(&state, logPitch, voicing, q, hop, frame, rate);
        return std::vector<int32_t>(list, list + n);
    }
};

using List = std::vector<int32_t>;

TEST(PitchPulses, HundredHertzRunsOnAcrossUnvoicedFrames)
{
    Pulses p;
    const List voiced[] = {{160, 320, 480}, {80, 240, 400}, {0, 160, 320, 480}, {80, 240, 400},
                           {0, 160, 320, 480}};
    for (const List& want : voiced)
        EXPECT_EQ(p.call(18863, 2), want);
    EXPECT_EQ(p.spacing, 160);
    EXPECT_EQ(p.call(18863, 0), List{});
    EXPECT_EQ(p.call(18863, 0), List{});
    EXPECT_EQ(p.call(18863, 1), (List{80, 240, 400}));
    EXPECT_EQ(p.call(18863, 1), (List{0, 160, 320, 480}));
}

TEST(PitchPulses, NoDuplicatesOverManyCalls)
{
    for (int32_t logPitch : {18863, 16024, 21000, 25719}) {
        Pulses p;
        for (int call = 0; call < 200; ++call) {
            const List list = p.call(logPitch, 2);
            for (size_t i = 1; i < list.size(); ++i)
                ASSERT_GT(list[i], list[i - 1]) << "log-pitch " << logPitch << ", call " << call;
        }
    }
}

TEST(PitchPulses, PeriodFromLogPitch)
{
    struct Case {
        int32_t logPitch;
        int32_t rate;
        int32_t q;
        int32_t period;
    };
    const Case cases[] = {
        {18863, 16000, 12, 160}, {16024, 16000, 12, 319}, {25719, 16000, 12, 30},
        {13185, 16000, 12, 639},
        // Capped at 32767 before the exponential.
        {40000, 16000, 12, 5},
        {18863, 8000, 12, 80},
        // More fraction bits round to 12; fewer shift up.
        {18863 << 4, 16000, 16, 160}, {18863 >> 1, 16000, 11, 160},
        // A log-pitch far below 1 Hz stays finite.
        {-100000000, 16000, 12, 16000 * 2981},
    };
    for (const Case& c : cases) {
        const int32_t period = CepToSampleFix_PitchPeriod(c.logPitch, c.q, c.rate);
        if (c.logPitch < 0)
            EXPECT_GT(period, 16000 * 2900);
        else
            EXPECT_EQ(period, c.period) << c.logPitch;
    }
}

TEST(PitchPulses, ListsOfOneFrame)
{
    struct Case {
        const char* name;
        int32_t logPitch;
        int32_t hop, frame, rate;
        List want;
    };
    const Case cases[] = {
        {"fifteen at most", 25719, 80, 512, 16000,
         {30, 60, 90, 120, 150, 180, 210, 240, 270, 300, 330, 360, 390, 420, 450}},
        {"period past the frame", 13185, 80, 512, 16000, {}},
        {"half rate", 18863, 40, 256, 8000, {80, 160, 240}},
    };
    for (const Case& c : cases) {
        Pulses p;
        EXPECT_EQ(p.call(c.logPitch, 1, c.hop, c.frame, c.rate), c.want) << c.name;
    }
}

TEST(PitchPulses, UnvoicedClearsListAndKeepsPhase)
{
    Pulses p;
    p.call(18863, 2);
    p.call(18863, 0);
    for (int32_t v : p.list)
        EXPECT_EQ(v, 0);
    EXPECT_EQ(p.spacing, 160);
}

} // namespace
