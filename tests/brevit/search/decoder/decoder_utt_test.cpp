#include "tests/brevit/search/decoder/decoder_test.h"

#include "core/brevit/acoustic/segmenter.h"
#include "core/brevit/frontend/utterance.h"
#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_watchdog.h"
#include "core/brevit/search/constraint.h"
#include "core/brevit/search/frame_buffer.h"
#include "core/brevit/search/linch_decoder.h"
#include "tests/support/archive_fixture.h"

#include <memory>
#include <string>
#include <vector>

namespace {

// What a created decoder is: "null", "dummy" or "linear" (with its fields
// checked against what it was made from).
std::string what(const Decoder* d)
{
    return d == nullptr ? "null" : d->kind == kDecoderKindDummy ? "dummy" : "linear";
}

using DecoderUttTest = DecoderTest;

TEST_F(DecoderUttTest, CreateByKind)
{
    auto* voc = reinterpret_cast<Voc*>(0x1000);
    struct Case {
        int32_t kind;
        bool word211;
        const char* expected;   // "null", "dummy", "linear"
        int32_t kind7;          // of a linear-chain decoder
    };
    const Case cases[] = {
        {1, true, "null", 0},   {2, true, "null", 0},   {4, true, "null", 0},    {5, true, "null", 0},
        {6, true, "null", 0},   {10, true, "null", 0},  {11, true, "null", 0},   {8, false, "dummy", 0},
        {3, true, "linear", 0}, {7, true, "linear", 1}, {9, true, "null", 0},    {3, false, "null", 0},
        {7, false, "null", 0},  {9, false, "null", 0},
    };
    for (const Case& c : cases) {
        params(ParamBlockBuilder().word(kBrevitParamLinearChainKinds, c.word211 ? 1 : 0));
        AM* am = model(2);
        Decoder* d = Decoder_Create(voc, am, nullptr, nullptr, 17, c.kind);
        EXPECT_EQ(what(d), c.expected) << "kind " << c.kind;
        if (what(d) == "linear") {
            EXPECT_EQ(d->vocabulary, voc);
            EXPECT_EQ(d->model, am);
            EXPECT_EQ(d->framePeriod, 17);
            EXPECT_EQ(LinChDecoder_Of(d)->kind7, c.kind7);
            // Rejection set off after creation.
            EXPECT_EQ(d->rejectionOn, 0);
            EXPECT_EQ(d->rejectionThreshold, kDecoderRejectionOff);
        }
        Decoder_Delete(d, 0);
    }
}

TEST_F(DecoderUttTest, ModelsWithThreeStatesPerPhoneAreRefusedBeforeTheCreator)
{
    params(ParamBlockBuilder().word(kBrevitParamLinearChainKinds, 1));
    for (int which = 0; which < 3; ++which) {
        AM* models[3] = {model(2), model(1), model(2)};
        models[which] = model(3);
        EXPECT_EQ(Decoder_Create(nullptr, models[0], models[1], models[2], 0, 3), nullptr) << which;
        EXPECT_EQ(Decoder_Create(nullptr, models[0], models[1], models[2], 0, 8), nullptr) << which;
    }
    EXPECT_EQ(Decoder_Create(nullptr, nullptr, nullptr, nullptr, 0, 8), nullptr) << "no model";
    EXPECT_EQ(LinChDecoder_CreateForKind(nullptr, model(3), 10, 0, 0), nullptr);
}

TEST_F(DecoderUttTest, LoadReadsKindAndOption)
{
    params(ParamBlockBuilder().word(kBrevitParamLinearChainKinds, 1));
    struct Case {
        const char* prefix;
        std::vector<int32_t> record;   // empty: no "bd0"
        const char* expected;
    };
    const Case cases[] = {
        {"bdec0/", {8, 0}, "dummy"}, {"bdec1/", {3, 5}, "linear"}, {"bdec2/", {7, 6}, "linear"},
        {"bdec0/", {1, 0}, "null"},  {"bdec0/", {}, "null"},     {"bdec0/", {3}, "null"},
        {nullptr, {8, 0}, "dummy"},  {"bdec3/", {9, 0}, "null"},
    };
    int32_t index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(index);
        ArchiveFixture archive("decoder" + std::to_string(index++) + ".dvk");
        // No record: the decoder's sub-file is missing, a neighbour is there.
        const std::vector<int32_t> written = c.record.empty() ? std::vector<int32_t>{8, 0} : c.record;
        archive.add("bd0", [&](BinFileWriter* w) {
            bool ok = true;
            for (int32_t v : written)
                ok = ok && BinFileWriter_WriteInt(w, v) == 1;
            return ok;
        }, c.record.empty() ? "other/" : c.prefix);
        archive.finish();
        DVKTar* tar = archive.openMapped();
        Decoder* d = Decoder_LoadFromBinFile(tar, c.prefix, nullptr, model(2), nullptr, nullptr);
        EXPECT_EQ(what(d), c.expected) << (c.prefix ? c.prefix : "-") << " kind "
                                       << (c.record.empty() ? -1 : c.record[0]);
        if (what(d) == "linear") {
            EXPECT_EQ(d->framePeriod, c.record[1]);
        }
        Decoder_Delete(d, 0);
        EXPECT_EQ(Decoder_LoadFromBinFile(tar, c.prefix, nullptr, model(3), nullptr, nullptr), nullptr);
    }
}

TEST_F(DecoderUttTest, LoadWithEachAllocationFailingInTurnLeavesNothing)
{
    params(ParamBlockBuilder().word(kBrevitParamLinearChainKinds, 1));
    for (int32_t kind : {8, 3}) {
        ArchiveFixture archive("decoder-fail" + std::to_string(kind) + ".dvk");
        archive.add("bd0", [&](BinFileWriter* w) {
            return BinFileWriter_WriteInt(w, kind) == 1 && BinFileWriter_WriteInt(w, 10) == 1;
        }, "bdec0/");
        archive.finish();
        DVKTar* tar = archive.openMapped();
        AM* am = model(2);
        eachAllocationFailing(
            [&] {
                Decoder* d = nullptr;
                DVKErr_Protect([&] { d = Decoder_LoadFromBinFile(tar, "bdec0/", nullptr, am, nullptr, nullptr); });
                return d;
            },
            [&](bool failed, Decoder* d) {
                EXPECT_EQ(d == nullptr, failed) << kind;
                Decoder_Delete(d, 0);
            });
    }
}

TEST_F(DecoderUttTest, DeleteFreesWhatTheDecoderOwns)
{
    params();
    ScriptedDecoder script;
    Decoder* d = script.create();
    d->frameBuffer = FrameBuffer_Create(4, 3);
    d->ownsFrameBuffer = 1;
    d->workingSegmentation = Segmentation_Alloc(8, 2);
    d->bestSegmentation = Segmentation_Alloc(8, 2);
    d->aligner = Segmenter_Create(model(1), nullptr, 10);
    ASSERT_NE(d->workingSegmentation, nullptr);
    ASSERT_NE(d->aligner, nullptr);
    ASSERT_EQ(Decoder_UttInit(d, 0, nullptr, 0, nullptr, 1, 0, 0, 0, 0), script.handle);
    EXPECT_NE(d->statsA, nullptr);
    Decoder_Delete(d, 6);
    EXPECT_EQ(script.log.back(), "Delete 6");
    Decoder_Delete(nullptr, 0);
    // A frame buffer the decoder does not own stays.
    FrameBuffer* shared = FrameBuffer_Create(4, 3);
    d = script.create();
    d->frameBuffer = shared;
    Decoder_Delete(d, 0);
    FrameBuffer_Delete(shared);
}

TEST_F(DecoderUttTest, ConstrainedModesNeedConstraintsOfOneType)
{
    params();
    Constraint a{}, b{}, c{};
    a.type = 3;
    b.type = 3;
    c.type = 2;
    Constraint* same[] = {&a, &b};
    Constraint* mixed[] = {&a, &c};
    for (int32_t mode : {3, 4, 5, 10, 1, 2, 11}) {
        const bool needs = mode == 3 || mode == 4 || mode == 5 || mode == 10;
        ScriptedDecoder script;
        Decoder* d = script.create();
        EXPECT_EQ(Decoder_UttInit(d, 0, nullptr, 0, nullptr, mode, 0, 0, 0, 0), needs ? 0 : script.handle) << mode;
        EXPECT_EQ(Decoder_UttInit(d, 0, nullptr, 2, mixed, mode, 0, 0, 0, 0), needs ? 0 : script.handle) << mode;
        EXPECT_EQ(script.log.size(), needs ? 0u : 2u) << mode;
        EXPECT_EQ(Decoder_UttInit(d, 0, nullptr, 2, same, mode, 1, 2, 3, 4), script.handle) << mode;
        EXPECT_EQ(script.log.back(), "UttInit | 0 2 " + std::to_string(mode) + " 1 2 3 4");
        Decoder_Delete(d, 0);
    }
}

TEST_F(DecoderUttTest, StatisticArraysAreMadeOnceAndZeroedEachTime)
{
    params(ParamBlockBuilder().word(kBrevitParamFrameQueueCapacity, 5));
    ScriptedDecoder script;
    Decoder* d = script.create();
    ASSERT_NE(Decoder_UttInit(d, 0, nullptr, 0, nullptr, 1, 0, 0, 0, 0), 0);
    int32_t* first = nullptr;
    int32_t* second = nullptr;
    Decoder_GetHypLikStats(d, &first, &second);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(d->statsLength, 5);
    first[4] = 9;
    second[0] = 8;
    ASSERT_NE(Decoder_UttInit(d, 0, nullptr, 0, nullptr, 1, 0, 0, 0, 0), 0);
    EXPECT_EQ(d->statsA, first);
    EXPECT_EQ(d->statsB, second);
    EXPECT_EQ(first[4], 0);
    EXPECT_EQ(second[0], 0);
    Decoder_Delete(d, 0);
}

TEST_F(DecoderUttTest, UttInitWithEachAllocationFailingInTurnFailsAndFreesBoth)
{
    params(ParamBlockBuilder().word(kBrevitParamFrameQueueCapacity, 5));
    ScriptedDecoder script;
    Decoder* d = script.create();
    eachAllocationFailing([&] { return Decoder_UttInit(d, 0, nullptr, 0, nullptr, 1, 0, 0, 0, 0); },
                          [&](bool failed, DecoderHandle h) {
                              EXPECT_EQ(h, failed ? 0 : script.handle);
                              if (failed) {
                                  EXPECT_EQ(d->statsA, nullptr);
                                  EXPECT_EQ(d->statsB, nullptr);
                              }
                          });
    Decoder_Delete(d, 0);
}

TEST_F(DecoderUttTest, WordContextAndRejectionAtUtteranceStart)
{
    params();
    ScriptedDecoder script;
    Decoder* d = script.create();
    d->model = model(1, 1);
    const uint16_t left[] = {7, 8, 65533};
    ASSERT_NE(Decoder_UttInit(d, 3, left, 0, nullptr, 1, 0, 0, 0, 0), 0);
    EXPECT_EQ(script.log.back(), "UttInit 7 8 65533 | 3 0 1 0 0 0 0") << "the kind gets what was given";
    EXPECT_EQ(d->leftCount, 2);
    EXPECT_EQ(d->leftIds[0], 8);
    EXPECT_EQ(d->leftIds[1], 65533);
    EXPECT_EQ(d->rightCount, 1);
    EXPECT_EQ(d->rightIds[0], 65532);
    EXPECT_EQ(d->rightIds[1], 65535);
    EXPECT_EQ(d->rejectionScore, kDecoderNoScore);
    EXPECT_EQ(d->fillerFrames, -1);

    const uint16_t one[] = {12};
    d->utterance = reinterpret_cast<Utterance*>(d);
    d->uttDone = 1;
    d->frameChecksum = 5;
    Decoder_SetRejection(d, 1, 40);
    ASSERT_NE(Decoder_UttInit(d, 1, one, 0, nullptr, 1, 0, 0, 0, 0), 0);
    EXPECT_EQ(d->leftCount, 1);
    EXPECT_EQ(d->leftIds[0], 12);
    EXPECT_EQ(d->leftIds[1], 65535);
    EXPECT_EQ(d->rightCount, 0);
    EXPECT_EQ(d->rightIds[0], 65535);
    EXPECT_EQ(d->rejectionScore, 0);
    EXPECT_EQ(d->fillerFrames, 0);
    EXPECT_EQ(d->utterance, nullptr);
    EXPECT_EQ(d->uttDone, 0);
    EXPECT_EQ(d->frameChecksum, 0u);

    ASSERT_NE(Decoder_UttInit(d, -2, one, 0, nullptr, 1, 0, 0, 0, 0), 0);
    EXPECT_EQ(d->leftCount, 0) << "a left count below 1 is none";
    Decoder_Delete(d, 0);
}

TEST_F(DecoderUttTest, CommonChecksum)
{
    params();
    ScriptedDecoder script;
    Decoder* d = script.create();
    d->model = model(1, 1);
    EXPECT_EQ(Decoder_ComputeCommonCRC(d), 0x04A2FC92u);
    EXPECT_EQ(Decoder_SetRejection(d, 1, 50), 1);
    const uint16_t left[] = {8, 65533};
    ASSERT_NE(Decoder_UttInit(d, 2, left, 0, nullptr, 1, 0, 0, 0, 0), 0);
    EXPECT_EQ(Decoder_ComputeCommonCRC(d), 0x33F7B21Au);
    d->adaptationCount = 3;
    EXPECT_EQ(Decoder_ComputeCommonCRC(d), 0x21421DF4u);
    Decoder_Delete(d, 0);
}

TEST_F(DecoderUttTest, ChoicesBeforeSetUpOrWhileStartingAreEmptyAndMarked)
{
    params();
    for (int32_t state : {1, 4}) {
        ScriptedDecoder script;
        script.state = state;
        script.choices = {{100, {1, 2}}};
        Decoder* d = script.create();
        if (state == 4)
            d->activeConstraint = 3;
        int32_t scores[2] = {5, 5};
        uint32_t words[4] = {5, 5, 5, 5};
        int32_t confidence = 7;
        EXPECT_EQ(Decoder_GetChoicesAndScores(d, nullptr, nullptr, 2, scores, nullptr, 4, words, nullptr, nullptr,
                                              nullptr, nullptr, nullptr, nullptr, &confidence),
                  0);
        EXPECT_EQ(words[0], 0xFFFFFFFFu);
        EXPECT_EQ(scores[0], kDecoderNoScore);
        EXPECT_EQ(confidence, 0);
        // Lists with no room get nothing written (ASan sees any write).
        auto noScores = std::make_unique<int32_t[]>(0);
        auto noWords = std::make_unique<uint32_t[]>(0);
        EXPECT_EQ(Decoder_GetChoicesAndScores(d, nullptr, nullptr, 0, noScores.get(), nullptr, 0, noWords.get(),
                                              nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
                  0);
        EXPECT_TRUE(script.log.empty());
        Decoder_Delete(d, 0);
    }
}

TEST_F(DecoderUttTest, ChoicesOfAFailedOrEmptySearch)
{
    params(ParamBlockBuilder().word(kBrevitParamGapScale, 16));
    int32_t scores[3] = {};
    uint32_t words[8] = {};
    int32_t confidence = -1;
    auto fetch = [&](Decoder* d) {
        return Decoder_GetChoicesAndScores(d, words, nullptr, 3, scores, nullptr, 8, words, nullptr, nullptr,
                                           nullptr, nullptr, nullptr, nullptr, &confidence);
    };
    ScriptedDecoder script;
    script.state = kDecoderStateFailed;
    script.choices = {{100, {1}}};
    Decoder* d = script.create();
    d->activeConstraint = 1;
    EXPECT_EQ(fetch(d), 0);
    EXPECT_TRUE(script.log.empty()) << "a failed decoder's slot is not called";

    script.state = kDecoderStateFinished;
    script.choices.clear();
    EXPECT_EQ(fetch(d), 0);
    EXPECT_EQ(script.log, (std::vector<std::string>{"GetChoicesAndScores 3 8 f -", "SetRejected"}));
    EXPECT_EQ(Decoder_GetState(d), kDecoderStateFailed);

    struct Case {
        std::vector<ScriptedDecoder::Choice> choices;
        int32_t count, confidence;
    };
    const Case cases[] = {
        {{{100, {1}}}, 1, 100},
        {{{100, {1}}, {200, {2}}}, 2, 50},
        {{{100, {1}}, {301, {2}}, {302, {3}}}, 3, 100},
        {{{100, {1}}, {100, {2}}}, 2, 0},
    };
    for (const Case& c : cases) {
        script.state = kDecoderStateFinished;
        script.choices = c.choices;
        EXPECT_EQ(fetch(d), c.count);
        EXPECT_EQ(confidence, c.confidence) << c.count;
    }
    Decoder_Delete(d, 0);
}

TEST_F(DecoderUttTest, Confidence)
{
    struct Case {
        uint32_t scale;
        int32_t best, second, expected;
    };
    const Case cases[] = {
        {16, 0, 100, 50},       {16, 0, 201, 100},     {16, 0, -100, 0},       {400000, 0, 6400, 100},
        {1, 0, 0, 0},           {1, 0, 6400, 100},     {1, 0, 100, 3},         {1, 0, 100000, 100},
        {400000, 0, 1, 100},    {1, -2000000000, 2000000000, 100},             {16, 2000000000, -2000000000, 0},
    };
    for (const Case& c : cases) {
        params(ParamBlockBuilder().word(kBrevitParamGapScale, c.scale));
        EXPECT_EQ(Decoder_ComputeConfidence(nullptr, c.best, c.second), c.expected)
            << c.scale << " " << c.best << " " << c.second;
    }
    noParams();
    EXPECT_EQ(Decoder_ComputeConfidence(nullptr, 0, 100), 0);
}

TEST_F(DecoderUttTest, RejectionMargins)
{
    struct Case {
        std::vector<std::pair<int, uint32_t>> words;
        int32_t fillerFrames;
        int32_t s, n, r, threshold;
        int64_t margin;
    };
    const Case cases[] = {
        {{{kBrevitParamNoFillerScore, 1}}, 0, 1000, 100, 300, 50, 600},
        {{{kBrevitParamNoFillerScore, 1}}, 0, 0, 100, 0, 60, -96},
        {{{kBrevitParamFillerMargin, 1}, {kBrevitParamFillerMarginScale, 3}}, 7, 1000, 100, 800, 50, -8},
        {{{kBrevitParamFillerMargin, 1}, {kBrevitParamFillerMarginScale, 3}}, 7, 1000, 100, 1000, 0, -42},
        {{{kBrevitParamFillerMargin, 1}, {kBrevitParamFillerMarginScale, 3}}, 0, 1000, 100, 800, 50, 50},
        {{}, 7, 1000, 100, 800, 50, 50},
        {{{kBrevitParamNoFillerScore, 1}}, 0, 2000000000, -2000000000, 0, 50, 4000000000},
    };
    ScriptedDecoder script;
    Decoder* d = script.create();
    for (const Case& c : cases) {
        ParamBlockBuilder builder;
        for (auto [w, v] : c.words)
            builder.word(w, v);
        params(builder);
        d->fillerFrames = c.fillerFrames;
        d->rejectionScore = c.r;
        EXPECT_EQ(Decoder_RejectionMargin(d, c.s, c.n, c.threshold), c.margin) << c.s << " " << c.r;
    }
    noParams();
    d->rejectionScore = 300;
    EXPECT_EQ(Decoder_RejectionMargin(d, 1000, 100, 50), 550);
    Decoder_Delete(d, 0);
}

TEST_F(DecoderUttTest, RejectionOfTheBestChoice)
{
    params(ParamBlockBuilder().word(kBrevitParamNoFillerScore, 1));
    ScriptedDecoder script;
    script.state = kDecoderStateFinished;
    script.answer = 100;   // the non-acoustic score
    Decoder* d = script.create();
    d->model = model(1, 1);
    EXPECT_EQ(Decoder_IsRejected(d, 50), 0) << "rejection off";
    Decoder_SetRejection(d, 1, 50);
    d->activeConstraint = 1;
    EXPECT_EQ(Decoder_IsRejected(d, 50), 1) << "no choice";
    script.state = kDecoderStateFinished;
    script.choices = {{1000, {4, 5, 6}}, {1100, {4}}};
    d->rejectionScore = 300;
    script.log.clear();
    EXPECT_EQ(Decoder_IsRejected(d, 50), 1);
    EXPECT_EQ(script.log, (std::vector<std::string>{"GetChoicesAndScores 1 128 - -", "GetNonAcousticScore 0 3 3"}));
    d->rejectionScore = 900;
    EXPECT_EQ(Decoder_IsRejected(d, 50), 0);
    Decoder_Delete(d, 0);
}

TEST_F(DecoderUttTest, SettingRejection)
{
    struct Case {
        std::vector<int> words;
        int32_t filler;
        int32_t expected;
    };
    const Case cases[] = {
        {{}, 1, 1}, {{}, 0, 0}, {{kBrevitParamBestCachedFiller}, 0, 1}, {{kBrevitParamFillerScore}, 0, 1},
        {{kBrevitParamFillerScore, kBrevitParamNoFillerScore, kBrevitParamFillerMargin}, 1, 0},
        {{kBrevitParamNoFillerScore}, 1, 1},
    };
    ScriptedDecoder script;
    Decoder* d = script.create();
    for (const Case& c : cases) {
        ParamBlockBuilder builder;
        for (int w : c.words)
            builder.word(w, 1);
        params(builder);
        d->model = model(1, c.filler);
        EXPECT_EQ(Decoder_SetRejection(d, 1, 70), c.expected);
        EXPECT_EQ(d->rejectionOn, 1);
        EXPECT_EQ(d->rejectionThreshold, 70);
        EXPECT_EQ(Decoder_GetRejectionScore(d), 0);
        EXPECT_EQ(Decoder_SetRejection(d, 0, 70), 1);
        EXPECT_EQ(d->rejectionThreshold, kDecoderRejectionOff);
        EXPECT_EQ(Decoder_GetRejectionScore(d), kDecoderNoScore);
    }
    Decoder_Delete(d, 0);
}

int32_t g_watchdogCalls = 0;
int32_t g_abortAt = -1;
int32_t watchdog(void*) { return ++g_watchdogCalls == g_abortAt ? 1 : 0; }

TEST_F(DecoderUttTest, DecodingAStoredUtterance)
{
    params();
    constexpr int32_t kFrames = 6;
    std::vector<uint8_t> frames(kFrames);
    std::vector<int32_t> sides(kFrames);
    for (int32_t i = 0; i < kFrames; ++i) {
        frames[static_cast<size_t>(i)] = static_cast<uint8_t>(10 + i);
        sides[static_cast<size_t>(i)] = 100 + i;
    }
    Utterance* utt = Utterance_CreateOnBuffer(frames.data(), sides.data(), kFrames, 1);
    ASSERT_NE(utt, nullptr);
    Utterance_Load(utt, 0, kFrames);
    struct Case {
        int32_t endFrame, endState, abortAt;
        int32_t frames, state;
    };
    const Case cases[] = {
        {2, kDecoderStateFinished, -1, 3, kDecoderStateFinished},
        {0, kDecoderStateFailed, -1, 1, kDecoderStateFailed},
        {1, kDecoderStateNoHypothesis, -1, kFrames, kDecoderStateNoHypothesis},
        {-1, 0, 4, 4, kDecoderStateFailed},
        {-1, 0, -1, kFrames, kDecoderStateRunning},
    };
    for (const Case& c : cases) {
        ScriptedDecoder script;
        script.endFrame = c.endFrame;
        script.endState = c.endState;
        Decoder* d = script.create();
        g_watchdogCalls = 0;
        g_abortAt = c.abortAt;
        DVKWatchDog_SetCallback(watchdog, nullptr, nullptr);
        EXPECT_EQ(Decoder_DecodeUtterance(d, 0, nullptr, 0, nullptr, 1, 0, 0, 0, 0, utt), c.state);
        DVKWatchDog_SetCallback(nullptr, nullptr, nullptr);
        EXPECT_EQ(script.frames, c.frames);
        EXPECT_EQ(script.log.back(), "UttFinish u");
        EXPECT_EQ(script.log[1], "ProcessFrame 10 100");
        EXPECT_EQ(d->utterance, utt);
        Decoder_Delete(d, 0);
    }
    ScriptedDecoder refusing;
    refusing.handle = 0;
    Decoder* d = refusing.create();
    EXPECT_EQ(Decoder_DecodeUtterance(d, 0, nullptr, 0, nullptr, 1, 0, 0, 0, 0, utt), kDecoderStateFailed);
    EXPECT_EQ(refusing.frames, 0);
    Decoder_Delete(d, 0);
    Utterance_Delete(utt);
}

TEST_F(DecoderUttTest, FrameBufferKeepsWhatFits)
{
    params();
    FrameBuffer* buffer = FrameBuffer_Create(3, 2);
    ASSERT_NE(buffer, nullptr);
    const uint8_t frames[3][3] = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
    const int32_t sides[3] = {-1, 2, 3};
    EXPECT_EQ(FrameBuffer_AddFrame(buffer, frames[0], &sides[0]), 1);
    EXPECT_EQ(FrameBuffer_AddFrame(buffer, frames[1], &sides[1]), 1);
    EXPECT_EQ(FrameBuffer_AddFrame(buffer, frames[2], &sides[2]), 0);
    EXPECT_EQ(FrameBuffer_GetNumFrames(buffer), 2);
    EXPECT_EQ(FrameBuffer_GetNumAllocatedFrames(buffer), 2);
    int32_t* side = nullptr;
    const uint8_t* f = FrameBuffer_GetFrame(buffer, 1, &side);
    EXPECT_EQ(std::vector<uint8_t>(f, f + 3), (std::vector<uint8_t>{4, 5, 6}));
    EXPECT_EQ(*side, 2);
    // The utterance view of the buffer sees the same frames.
    Utterance* utt = Utterance_ConvertFrameBuffer(buffer);
    ASSERT_NE(utt, nullptr);
    EXPECT_EQ(Utterance_GetNumFrames(utt), 2);
    int32_t* uttSide = nullptr;
    EXPECT_EQ(Utterance_GetFrame(utt, 0, &uttSide)[2], 3);
    Utterance_Delete(utt);
    FrameBuffer_Reset(buffer);
    EXPECT_EQ(FrameBuffer_GetNumFrames(buffer), 0);
    EXPECT_EQ(FrameBuffer_AddFrame(buffer, frames[2], nullptr), 1);
    FrameBuffer_FreeContents(buffer);
    EXPECT_EQ(FrameBuffer_GetNumAllocatedFrames(buffer), 0);
    EXPECT_EQ(FrameBuffer_AddFrame(buffer, frames[2], nullptr), 0);
    FrameBuffer_FreeContents(nullptr);
    FrameBuffer_Delete(buffer);
    eachAllocationFailing([] { return FrameBuffer_Create(3, 4); },
                          [](bool failed, FrameBuffer* b) {
                              EXPECT_EQ(b == nullptr, failed);
                              FrameBuffer_Delete(b);
                          });
}

} // namespace
