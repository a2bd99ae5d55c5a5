#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/synthesis/tts.h"
#include "tests/support/archive_fixture.h"
#include "tests/support/counting_allocator.h"
#include "tests/support/param_block_builder.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// A synthesiser whose every slot records its call and answers its slot
// number (the delete slot only records).
struct FakeTTS {
    TTS base;
    std::vector<int> calls;
};

FakeTTS* fake(TTS* t)
{
    return reinterpret_cast<FakeTTS*>(t);
}

TTSSlots filledSlots()
{
    TTSSlots s{};
    s.deleteObject = [](TTS* t) { fake(t)->calls.push_back(0); fake(t)->calls.~vector(); };
    s.getEncoding = [](TTS* t) { fake(t)->calls.push_back(1); return 4; };
    s.computeCRC = [](TTS* t, int32_t, int32_t) { fake(t)->calls.push_back(2); return 2u; };
    s.startFromText = [](TTS* t, const uint16_t*, int32_t, int32_t, int32_t, int32_t, uint8_t*, int32_t*) {
        fake(t)->calls.push_back(4);
        return 4;
    };
    s.startFromIds = [](TTS* t, int32_t, const VocId*, int32_t, int32_t, int32_t, int32_t, uint8_t*, int32_t*) {
        fake(t)->calls.push_back(5);
        return 5;
    };
    s.startUtteranceFromText = [](TTS* t, const uint16_t*, int32_t, int32_t, int32_t, int32_t) {
        fake(t)->calls.push_back(7);
        return 0;
    };
    s.startUtteranceFromIds = [](TTS* t, int32_t, const VocId*, int32_t, int32_t, int32_t, int32_t) {
        fake(t)->calls.push_back(8);
        return 0;
    };
    s.process = [](TTS* t, int32_t, uint8_t*, int32_t*, int32_t*) {
        fake(t)->calls.push_back(9);
        return 0;
    };
    s.processUtterancePCM = [](TTS* t, int32_t, int16_t*, int32_t*) {
        fake(t)->calls.push_back(10);
        return 0;
    };
    s.stopUtterance = [](TTS* t) {
        fake(t)->calls.push_back(11);
        return 0;
    };
    return s;
}

class TTSTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks(); }

    // An engine block holding the object, as an implementation's loader makes it.
    TTS* make(const TTSSlots& slots)
    {
        auto* t = static_cast<FakeTTS*>(DVKMem_Calloc(sizeof(FakeTTS)));
        new (&t->calls) std::vector<int>();
        t->base.slots = slots;
        t->base.masterPhonemeSetCRC = 11;
        t->base.posSetCRC = 22;
        t->base.semanticSetCRC = 33;
        return &t->base;
    }

    // Slots 7 to 11 in turn; the results.
    static std::vector<int32_t> utteranceCalls(TTS* t)
    {
        const uint16_t text[] = {'a', 0};
        const VocId ids[] = {1};
        uint8_t bytes[8];
        int16_t samples[8];
        int32_t n = 0, frames = 0;
        return {TTS_StartUtteranceFromText(t, text, 4, 16000, 100, 100),
                TTS_StartUtteranceFromIds(t, 1, ids, 4, 16000, 100, 100),
                TTS_Process(t, 8, bytes, &n, &frames), TTS_ProcessUtterancePCM(t, 8, samples, &n),
                TTS_StopUtterance(t)};
    }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
};

TEST_F(TTSTest, EmptySlotsGiveTheirFixedResults)
{
    TTSSlots slots{};
    slots.deleteObject = [](TTS*) {};
    ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamSynthesisEnabled, 1));
    TTS* t = make(slots);
    const uint16_t text[] = {'a', 0};
    const VocId ids[] = {1};
    uint8_t buffer[4];
    int32_t out = -1;
    EXPECT_EQ(TTS_ComputeCRC(t, 1, 0), 0xFFFFFFFFu);
    EXPECT_EQ(TTS_StartFromText(t, text, 50, 0, 0, 4, buffer, &out), 0);
    EXPECT_EQ(TTS_StartFromIds(t, 1, ids, 50, 0, 0, 4, buffer, &out), 0);
    EXPECT_EQ(utteranceCalls(t), std::vector<int32_t>(5, kTTSNotAvailable));
    EXPECT_EQ(TTS_GetMasterPhonemeSetCRC(t), 11u);
    EXPECT_EQ(TTS_GetPOSSetCRC(t), 22u);
    EXPECT_EQ(TTS_GetSemanticSetCRC(t), 33u);
    TTS_Delete(t);
}

TEST_F(TTSTest, FilledSlotsAreCalledWithTheirResults)
{
    ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamSynthesisEnabled, 1));
    TTS* t = make(filledSlots());
    const uint16_t text[] = {'a', 0};
    const VocId ids[] = {1};
    uint8_t buffer[4];
    int32_t out = -1;
    EXPECT_EQ(TTS_GetEncoding(t), 4);
    EXPECT_EQ(TTS_ComputeCRC(t, 1, 0), 2u);
    EXPECT_EQ(TTS_StartFromText(t, text, 50, 0, 0, 4, buffer, &out), 4);
    EXPECT_EQ(TTS_StartFromIds(t, 1, ids, 50, 0, 0, 4, buffer, &out), 5);
    EXPECT_EQ(utteranceCalls(t), std::vector<int32_t>(5, 0));
    EXPECT_EQ(fake(t)->calls, (std::vector<int>{1, 2, 4, 5, 7, 8, 9, 10, 11}));
    TTS_Delete(t);
}

// Switched off (word 902 at 0, or no parameter block at all): the utterance
// operations answer 8 and the implementation is never reached.
TEST_F(TTSTest, SwitchedOffSynthesisLeavesTheSlotsUncalled)
{
    TTS* t = make(filledSlots());
    {
        ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamSynthesisEnabled, 0));
        EXPECT_EQ(utteranceCalls(t), std::vector<int32_t>(5, kTTSNotAvailable));
    }
    BrevitGlobalParameters* previous = gpBrevitGlobalParameters;
    gpBrevitGlobalParameters = nullptr;
    EXPECT_EQ(utteranceCalls(t), std::vector<int32_t>(5, kTTSNotAvailable));
    gpBrevitGlobalParameters = previous;
    EXPECT_TRUE(fake(t)->calls.empty());
    TTS_Delete(t);
}

TEST_F(TTSTest, DeleteOfNoneDoesNothing)
{
    TTS_Delete(nullptr);
}

// Only format 4 names the cepstral synthesiser; every other first word, and
// a missing "btt0", load nothing.
TEST_F(TTSTest, LoadRefusesOtherFormats)
{
    for (const int32_t format : {3, 4, 5, -1}) {
        ArchiveFixture archive("btt" + std::to_string(format) + ".dvk");
        if (format >= 0)
            archive.add("btt0", [&](BinFileWriter* w) { return BinFileWriter_WriteInt(w, format) == 1; });
        archive.finish();
        EXPECT_EQ(TTS_LoadFromBinFile(archive.openForRead(), nullptr, nullptr), nullptr) << format;
    }
}

} // namespace
