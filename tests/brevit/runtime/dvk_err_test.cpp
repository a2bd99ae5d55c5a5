#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_watchdog.h"
#include "tests/support/counting_allocator.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <stdexcept>
#include <string>

namespace {

using ::testing::Eq;
using ::testing::ExitedWithCode;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

class ErrorFrames : public ::testing::Test {
protected:
    ErrorFrames() { DVKErr_InitErrorStack(&m_stack); }
    void SetUp() override { m_previous = DVKErr_SetErrorStack(&m_stack); }
    void TearDown() override
    {
        DVKErr_SetErrorStack(m_previous);
        gpBrevitGlobalParameters = nullptr;
    }

    DVKErrStack m_stack;
    DVKErrStack* m_previous = nullptr;
};

// The fatal paths print on standard output; death tests read standard error.
void toStderr()
{
    dup2(STDERR_FILENO, STDOUT_FILENO);
}

TEST_F(ErrorFrames, RaiseReturnsToTheFrameWithMessageFileAndLine)
{
    bool after = false;
    int result = DVKErr_Protect([&] {
        EXPECT_EQ(m_stack.depth, 1);
        DVKErr_Raise("decoder.cpp", 42, "bad frame %d of %s", 7, "utt");
        after = true;
    });
    EXPECT_EQ(result, 1);
    EXPECT_FALSE(after);
    EXPECT_EQ(m_stack.depth, 0);
    EXPECT_EQ(m_stack.deepest, 1);
    EXPECT_STREQ(m_stack.message, "bad frame 7 of utt");
    EXPECT_STREQ(m_stack.file, "decoder.cpp");
    EXPECT_EQ(m_stack.line, 42);
}

TEST_F(ErrorFrames, InnerFrameCatchesAndOuterRegionCarriesOn)
{
    int inner = -1;
    int outer = DVKErr_Protect([&] {
        inner = DVKErr_Protect([] { DVKErr_Throw(); });
        EXPECT_EQ(m_stack.depth, 1);
    });
    EXPECT_EQ(inner, 1);
    EXPECT_EQ(outer, 0);
    EXPECT_EQ(m_stack.depth, 0);
    EXPECT_EQ(m_stack.deepest, 2);
}

TEST_F(ErrorFrames, ForeignExceptionLeavesTheStackBalanced)
{
    EXPECT_THROW(DVKErr_Protect([] { throw std::runtime_error("x"); }), std::runtime_error);
    EXPECT_EQ(m_stack.depth, 0);
}

TEST_F(ErrorFrames, LongMessageIsCutWithTheMark)
{
    std::string text(600, 'x');
    EXPECT_EQ(DVKErr_Protect([&] { DVKErr_Raise("f", 1, "%s", text.c_str()); }), 1);
    std::string message = m_stack.message;
    EXPECT_EQ(message.size(), 499u);
    EXPECT_EQ(message.substr(490), "Truncated");
}

TEST_F(ErrorFrames, AbortRequestFromModelDataIsLoggedNotObeyed)
{
    BrevitGlobalParameters block = {};
    block.words[kBrevitParamAbortOnError] = 1;
    gpBrevitGlobalParameters = &block;
    CaptureStdout();
    EXPECT_EQ(DVKErr_Protect([] { DVKErr_Raise("f", 1, "oops"); }), 1);
    EXPECT_THAT(GetCapturedStdout(), ::testing::HasSubstr("oops"));
}

struct FatalCase {
    const char* name;
    void (*run)();
    const char* output;  // everything printed, one warning line last
};

std::ostream& operator<<(std::ostream& out, const FatalCase& c)
{
    return out << c.name;
}

const FatalCase kFatalCases[] = {
    {"RaiseAtDepthZero", [] { DVKErr_Raise("x.cpp", 5, "boom"); },
     "Warning in  on line 0: Recognizer error\n"},
    {"RaiseWithoutStack",
     [] {
         DVKErr_SetErrorStack(nullptr);
         DVKErr_Raise("x.cpp", 5, "boom");
     },
     "Warning in x.cpp on line 5: Recognizer error\n"},
    {"PushWithoutStack",
     [] {
         DVKErr_SetErrorStack(nullptr);
         DVKErr_PushJump();
     },
     "Warning in dvk_err.cpp on line 287: No error handling installed\n"},
    {"PopWithoutStack",
     [] {
         DVKErr_SetErrorStack(nullptr);
         DVKErr_PopJump();
     },
     "Warning in dvk_err.cpp on line 313: No error handling installed\n"},
    {"BottomHandlerReturns",
     [] {
         DVKErr_SetBottomFunc([] { std::printf("bottom\n"); });
         DVKErr_Throw();
     },
     "bottom\nWarning in dvk_err.cpp on line 359: No error handling installed\n"},
    {"SixthNestedFrame",
     [] {
         for (int i = 0; i < 6; ++i)
             DVKErr_PushJump();
     },
     "Warning in dvk_err.cpp on line 287: Error frames nested too deeply\n"},
    {"PopBelowDepthZero", [] { DVKErr_PopJump(); },
     "Warning in dvk_err.cpp on line 313: Error frame popped below depth 0\n"},
};

class FatalFallbackDeathTest : public ErrorFrames,
                               public ::testing::WithParamInterface<FatalCase> {};

// Each path with nowhere to unwind to prints one warning line and exits 1.
TEST_P(FatalFallbackDeathTest, PrintsOneLineAndExits)
{
    const FatalCase& c = GetParam();
    EXPECT_EXIT(
        {
            toStderr();
            c.run();
        },
        ExitedWithCode(1), Eq(c.output));
}

INSTANTIATE_TEST_SUITE_P(Paths, FatalFallbackDeathTest, ::testing::ValuesIn(kFatalCases),
                         [](const auto& info) { return std::string(info.param.name); });

int format(char* buffer, int size, const char* format, ...) __attribute__((format(printf, 3, 4)));
int format(char* buffer, int size, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int n = DVKVsnprintf(buffer, size, format, args);
    va_end(args);
    return n;
}

struct FormatCase {
    int size;
    int expected;
    const char* text;
};

TEST(BoundedFormat, TruncationMark)
{
    const FormatCase cases[] = {
        {31, 30, "abcdefghijklmnopqrstuvwxyz0123"},
        {20, -1, "abcdefghijTruncated"},
        {10, -1, "Truncated"},
        {9, -1, "runcated"},
        {4, -1, "ted"},
        {1, -1, ""},
    };
    for (const FormatCase& c : cases) {
        char buffer[64];
        std::memset(buffer, '#', sizeof(buffer));
        EXPECT_EQ(format(buffer, c.size, "%s0123", "abcdefghijklmnopqrstuvwxyz"), c.expected)
            << c.size;
        EXPECT_STREQ(buffer, c.text) << c.size;
        EXPECT_EQ(buffer[c.size], '#') << "wrote past size " << c.size;
    }
    char one = '#';
    EXPECT_EQ(format(nullptr, 10, "x"), -1);
    EXPECT_EQ(format(&one, 0, "x"), -1);
    EXPECT_EQ(one, '#');
}

TEST_F(ErrorFrames, WarningsNeedABlockThatEnablesThem)
{
    CaptureStdout();
    DVKErr_Warn("w.cpp", 3, "hello %d", 5);
    BrevitGlobalParameters block = {};
    gpBrevitGlobalParameters = &block;
    DVKErr_Warn("w.cpp", 3, "hello %d", 6);
    block.words[kBrevitParamWarnings] = 1;
    DVKErr_Warn("w.cpp", 3, "hello %d", 7);
    DVKErr_Trace("t.cpp", 9, "frames", 3, -4);
    EXPECT_EQ(GetCapturedStdout(),
              "Warning in w.cpp on line 3: hello 7\nTrace in t.cpp on line 9: frames 3 -4\n");
}

int32_t answer(void* argument)
{
    return *static_cast<int32_t*>(argument);
}

TEST_F(ErrorFrames, WatchdogTurnsAnyRequestIntoOneAndCanRaise)
{
    EXPECT_EQ(DVKWatchDog_Call(), 0);
    int32_t value = 7;
    void* previousArgument = &value;
    EXPECT_EQ(DVKWatchDog_SetCallback(&answer, &value, &previousArgument), nullptr);
    EXPECT_EQ(previousArgument, nullptr);
    EXPECT_EQ(DVKWatchDog_Call(), 1);
    EXPECT_EQ(DVKErr_Protect([] { DVKWatchDog_CallAndAbort("loop.cpp", 77); }), 1);
    EXPECT_STREQ(m_stack.message, "Aborting due to WatchDog Request");
    EXPECT_STREQ(m_stack.file, "loop.cpp");
    EXPECT_EQ(m_stack.line, 77);

    value = 0;
    EXPECT_EQ(DVKWatchDog_Call(), 0);
    EXPECT_EQ(DVKErr_Protect([] { DVKWatchDog_CallAndAbort("loop.cpp", 78); }), 0);
    EXPECT_EQ(DVKWatchDog_SetCallback(nullptr, nullptr, &previousArgument), &answer);
    EXPECT_EQ(previousArgument, &value);
}

} // namespace
