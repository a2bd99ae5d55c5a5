#include "core/brevit/acoustic/am_matcher.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/brevit/acoustic/acoustic_fixture.h"
#include "tests/support/param_block_builder.h"

#include <vector>

namespace {

using MatcherTest = AcousticTest;

AcousticModelSpec oneDimension()
{
    AcousticModelSpec s;
    s.tree = AcousticTreeSpec::none();
    s.modelRows = {{0, 0}};
    s.states = 2;
    s.offsets = {0, 1, 2};
    s.dim = 1;
    s.lowFeature = 10;
    s.highFeature = 200;
    s.ceiling = 16000;
    return s;
}

TEST_F(MatcherTest, AveragesTheSegmentAndScoresTemplates)
{
    AM* am = load(oneDimension());
    ASSERT_NE(am, nullptr);
    EXPECT_EQ(AM_ScoreStateAgainstAverage(am, 0), 1);   // no matcher
    const int16_t templates[] = {0, -1};
    const uint8_t means[] = {20};
    const uint16_t weights[] = {3};
    const uint32_t constants[] = {7};
    AMWordMatcher* matcher = AM_CreateWordMatcher(am, 0.5, 1, templates, 2, 0, means, weights, constants);
    ASSERT_NE(matcher, nullptr);
    AM_SetWordMatcher(am, matcher);
    std::vector<uint8_t> values = {0, 0, 0, 0, 10, 11};
    std::vector<const uint8_t*> frames;
    for (const uint8_t& v : values)
        frames.push_back(&v);
    ParamBlockBuilder params;
    params.word(kBrevitParamAverageFramesStart, 4);
    ScopedParamBlock block(params);
    AM_SetWordMatcherFrameEnd(am, 6);
    AM_AverageFrames(am, frames.data());
    EXPECT_EQ(matcher->average[0], 12);   // (10 + 11 + 6 / 2) / 2
    EXPECT_EQ(AM_ScoreStateAgainstAverage(am, 0), 100);   // 0.5 + (7 + 3 x 64) x 0.5
    EXPECT_EQ(AM_ScoreStateAgainstAverage(am, 1), 1);     // no template
    // An empty range keeps the average.
    AM_SetWordMatcherFrameEnd(am, 4);
    AM_AverageFrames(am, frames.data());
    EXPECT_EQ(matcher->average[0], 12);
    // One frame is that frame, clamped to the mean byte range.
    block.block().words[kBrevitParamAverageFramesStart] = 0;
    values[0] = 250;
    AM_SetWordMatcherFrameEnd(am, 1);
    AM_AverageFrames(am, frames.data());
    EXPECT_EQ(matcher->average[0], 200);
}

TEST_F(MatcherTest, TemplateIndexesOutsideTheTemplatesAreRefused)
{
    AM* am = load(oneDimension());
    ASSERT_NE(am, nullptr);
    const int16_t templates[] = {1, -2};
    const uint8_t means[] = {20};
    const uint16_t weights[] = {3};
    const uint32_t constants[] = {7};
    EXPECT_EQ(AM_CreateWordMatcher(am, 1.0, 1, templates, 1, 0, means, weights, constants), nullptr);
    EXPECT_EQ(AM_CreateWordMatcher(am, 1.0, 1, templates + 1, 1, 0, means, weights, constants), nullptr);
}

// A template score is a 16-bit cost whatever the record's scale: one far
// below it is held at the bottom of the range, not converted out of range.
TEST_F(MatcherTest, TemplateScoresStayWithinSixteenBits)
{
    AM* am = load(oneDimension());
    ASSERT_NE(am, nullptr);
    const int16_t templates[] = {0};
    const uint8_t means[] = {20};
    const uint16_t weights[] = {3};
    const uint32_t constants[] = {7};
    for (const double scale : {-1e12, -1.0}) {
        SCOPED_TRACE(scale);
        AMWordMatcher* matcher = AM_CreateWordMatcher(am, scale, 1, templates, 1, 1, means, weights, constants);
        ASSERT_NE(matcher, nullptr);
        AM_SetWordMatcher(am, matcher);
        matcher->average[0] = 120;   // 7 + 3 x 100^2 = 30,007
        EXPECT_EQ(AM_ScoreStateAgainstAverage(am, 0), scale < -1 ? -32768 : -30006);
    }
}

} // namespace
