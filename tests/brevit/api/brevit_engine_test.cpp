#include "core/brevit/api/brevit_engine.h"

#include "tests/brevit/api/engine_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

class EngineDestroyTest : public ::testing::Test {
protected:
    void SetUp() override { componentFakes().reset(); }

    CallerContext m_caller;
    CountingAllocator m_engineAllocator;
};

TEST_F(EngineDestroyTest, DeletesEveryComponentInOrderAndFreesTheObject)
{
    BrevitEngine* engine = makeEngine(m_engineAllocator, ParamBlockBuilder().word(799, 7));
    // The block the allocator record holds goes back when the caller asks
    // for the record.
    m_engineAllocator.record()->heldBlock =
        m_engineAllocator.record()->alloc(m_engineAllocator.record(), 64);
    int32_t engines = sBrevitesRefCount;

    BrevitAllocator* record = nullptr;
    ASSERT_EQ(Brevit_Destroy(engine, &record), EBrevit_OK);

    EXPECT_EQ(record, m_engineAllocator.record());
    EXPECT_EQ(m_engineAllocator.liveBlocks(), 0u) << m_engineAllocator.describeLeaks();
    EXPECT_EQ(record->heldBlock, nullptr);
    EXPECT_EQ(sBrevitesRefCount, engines - 1);
    EXPECT_EQ(gpBrevitGlobalParameters, nullptr);
    EXPECT_TRUE(m_caller.inPlace());
    EXPECT_EQ(componentFakes().calls,
              (std::vector<std::string>{
                  "Decoder_Delete decoder0 7", "Decoder_Delete decoder1 7",
                  "Decoder_Delete decoder2 7", "Decoder_Delete decoder3 7",
                  "Decoder_Delete decoder4 7", "Grammar_Delete grammar",
                  "ClassManager_RemoveUnreferencedClasses classes",
                  "ConstraintManager_Delete constraints", "ClassManager_Delete classes",
                  "IR_Delete index", "TTS_Delete synthesis", "Voc_Delete vocabulary",
                  "AM_Destroy model0", "AM_Destroy model1", "AM_Destroy model2",
                  "AM_Destroy model3"}));
}

TEST_F(EngineDestroyTest, FreesTheFrontEnd)
{
    // The same engine with its front end taken out before destroying it
    // leaves exactly the front end's blocks behind.
    BrevitEngine* engine = makeEngine(m_engineAllocator, ParamBlockBuilder());
    FE* frontEnd = engine->frontEnd;
    ASSERT_NE(frontEnd, nullptr);
    engine->frontEnd = nullptr;
    ASSERT_EQ(Brevit_Destroy(engine, nullptr), EBrevit_OK);
    EXPECT_GT(m_engineAllocator.liveBlocks(), 0u);

    ScopedEngineContext engineContext(m_engineAllocator);
    FE_Destroy(frontEnd);
    EXPECT_EQ(m_engineAllocator.liveBlocks(), 0u) << m_engineAllocator.describeLeaks();
}

TEST_F(EngineDestroyTest, WithoutTheRecordPointerTheHeldBlockStays)
{
    BrevitEngine* engine = makeEngine(m_engineAllocator, ParamBlockBuilder(), {.components = false});
    void* held = m_engineAllocator.record()->alloc(m_engineAllocator.record(), 64);
    m_engineAllocator.record()->heldBlock = held;

    ASSERT_EQ(Brevit_Destroy(engine, nullptr), EBrevit_OK);

    EXPECT_TRUE(componentFakes().calls.empty());
    EXPECT_EQ(m_engineAllocator.record()->heldBlock, held);
    EXPECT_EQ(m_engineAllocator.liveBlocks(), 1u) << m_engineAllocator.describeLeaks();
    EXPECT_TRUE(m_caller.inPlace());
    DVKMem_FreeAllocatorBlock(m_engineAllocator.record());
}

TEST_F(EngineDestroyTest, ComponentErrorLeavesABrokenEngine)
{
    BrevitEngine* engine = makeEngine(m_engineAllocator, ParamBlockBuilder());
    componentFakes().raiseIn = "Decoder_Delete";

    EXPECT_EQ(Brevit_Destroy(engine, nullptr), EBrevit_EngineError);
    EXPECT_EQ(engine->broken, 1);
    EXPECT_TRUE(m_caller.inPlace());
    const size_t live = m_engineAllocator.liveBlocks();
    EXPECT_EQ(Brevit_Destroy(engine, nullptr), EBrevit_EngineError);
    // The broken engine frees nothing: neither the object nor its front end.
    EXPECT_EQ(m_engineAllocator.liveBlocks(), live);
    EXPECT_EQ(FE_GetSampleRate(engine->frontEnd), 8000);

    engine->broken = 0;
    EXPECT_EQ(Brevit_Destroy(engine, nullptr), EBrevit_OK);
    EXPECT_EQ(m_engineAllocator.liveBlocks(), 0u) << m_engineAllocator.describeLeaks();
}

TEST_F(EngineDestroyTest, PhraseIndexIsMadeOverTheVocabularyAndDeletedWithTheEngine)
{
    BrevitEngine* engine = makeEngine(m_engineAllocator, ParamBlockBuilder());
    BrevitPriv_DeletePhraseIndex(engine);
    EXPECT_EQ(engine->phraseIndex, nullptr);
    ASSERT_EQ(BrevitPriv_CreatePhraseIndex(engine), 0);
    ASSERT_NE(engine->phraseIndex, nullptr);
    componentFakes().calls.clear();

    ASSERT_EQ(Brevit_Destroy(engine, nullptr), EBrevit_OK);
    EXPECT_EQ(std::count(componentFakes().calls.begin(), componentFakes().calls.end(),
                         "IR_Delete index"),
              1);
}

TEST(EngineAllocateTest, NewObjectCarriesItsMagicAndNoUtterances)
{
    CallerContext caller;
    BrevitEngine* engine = BrevitPriv_AllocateEngine();
    ASSERT_NE(engine, nullptr);
    EXPECT_STREQ(engine->magic, "Brevit Magic");
    EXPECT_EQ(engine->listeningUtteranceId, 0xFFFFFFFFu);
    EXPECT_EQ(engine->recognizingUtteranceId, 0xFFFFFFFFu);
    EXPECT_EQ(engine->errors.capacity, 5);
    EXPECT_EQ(engine->errors.messageSize, 500);
    EXPECT_EQ(engine->broken, 0);
    EXPECT_EQ(engine->decoder0, nullptr);
    DVKMem_Free(engine);

    caller.allocator().failNext();
    EXPECT_EQ(BrevitPriv_AllocateEngine(), nullptr);
}

} // namespace
