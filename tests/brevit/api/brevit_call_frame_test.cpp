#include "core/brevit/api/brevit_call_frame.h"

#include "core/brevit/runtime/dvk_record.h"
#include "tests/brevit/api/engine_fixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

// One entry point of the engine object, called with harmless arguments.
struct EntryCase {
    const char* name;
    std::function<EBrevit(BrevitEngine*)> call;
};

char gLanguage[8];
uint32_t gProperty1;
uint32_t gProperty2;

int32_t engineWatchDog(void* calls)
{
    ++*static_cast<int*>(calls);
    return 0;
}

std::vector<EntryCase> entryCases()
{
    return {
        {"ReleaseUnusedMemory", [](BrevitEngine* e) { return Brevit_ReleaseUnusedMemory(e, 1); }},
        {"DiscardUtterance", [](BrevitEngine* e) { return Brevit_DiscardUtterance(e, 5); }},
        {"GetLanguageName",
         [](BrevitEngine* e) { return Brevit_GetLanguageName(e, sizeof(gLanguage), gLanguage); }},
        {"GetModelSetProperties",
         [](BrevitEngine* e) { return Brevit_GetModelSetProperties(e, &gProperty1, &gProperty2); }},
        {"SetWatchDogCallback",
         [](BrevitEngine* e) { return Brevit_SetWatchDogCallback(e, nullptr, nullptr); }},
    };
}

class CallFrameTest : public ::testing::Test {
protected:
    void SetUp() override { componentFakes().reset(); }
    void TearDown() override
    {
        if (m_engine != nullptr) {
            m_engine->broken = 0;
            EXPECT_EQ(Brevit_Destroy(m_engine, nullptr), EBrevit_OK);
        }
        EXPECT_EQ(m_engineAllocator.liveBlocks(), 0u) << m_engineAllocator.describeLeaks();
    }

    BrevitEngine* engine()
    {
        if (m_engine == nullptr)
            m_engine = makeEngine(m_engineAllocator, ParamBlockBuilder().word(799, 3));
        return m_engine;
    }

    CallerContext m_caller;
    CountingAllocator m_engineAllocator;
    BrevitEngine* m_engine = nullptr;
};

TEST_F(CallFrameTest, NullHandleAnswersOneAndLeavesTheCallerInPlace)
{
    for (const EntryCase& entry : entryCases()) {
        SCOPED_TRACE(entry.name);
        EXPECT_EQ(entry.call(nullptr), EBrevit_EngineError);
        EXPECT_TRUE(m_caller.inPlace());
        EXPECT_EQ(gpBrevitGlobalParameters, nullptr);
    }
    EXPECT_EQ(Brevit_Destroy(nullptr, nullptr), EBrevit_BadArgument);
    EXPECT_TRUE(m_caller.inPlace());
    EXPECT_TRUE(componentFakes().calls.empty());
}

TEST_F(CallFrameTest, HandleWithoutTheMagicTextAnswersFour)
{
    for (const char* magic : {"Brevit Magi", "Brevit Magic!", "", static_cast<const char*>(nullptr)}) {
        SCOPED_TRACE(magic != nullptr ? magic : "null");
        engine()->magic = magic;
        for (const EntryCase& entry : entryCases()) {
            SCOPED_TRACE(entry.name);
            EXPECT_EQ(entry.call(engine()), EBrevit_BadArgument);
            EXPECT_TRUE(m_caller.inPlace());
        }
        uint32_t liveBefore = static_cast<uint32_t>(m_engineAllocator.liveBlocks());
        EXPECT_EQ(Brevit_Destroy(engine(), nullptr), EBrevit_BadArgument);
        EXPECT_EQ(m_engineAllocator.liveBlocks(), liveBefore);
        EXPECT_EQ(engine()->broken, 0);
    }
    EXPECT_TRUE(componentFakes().calls.empty());
    engine()->magic = kBrevitMagic;
}

TEST_F(CallFrameTest, EngineContextIsCurrentDuringTheCallAndCallerContextAfterIt)
{
    int engineWatchDogCalls = 0;
    ASSERT_EQ(Brevit_SetWatchDogCallback(engine(), &engineWatchDog, &engineWatchDogCalls),
              EBrevit_OK);
    EXPECT_TRUE(m_caller.inPlace());

    ASSERT_EQ(Brevit_ReleaseUnusedMemory(engine(), 0), EBrevit_OK);
    const SeenContext& seen = componentFakes().seen;
    ASSERT_TRUE(seen.valid);
    EXPECT_EQ(seen.allocator, m_engineAllocator.record());
    EXPECT_EQ(seen.scratchStack, engine()->scratchStack);
    EXPECT_EQ(seen.errorStack, &engine()->errors);
    EXPECT_EQ(seen.parameters, engine()->parameters);
    EXPECT_EQ(seen.functionTable, engine()->functionTable);
    EXPECT_EQ(engineWatchDogCalls, 3);  // one per decoder asked

    EXPECT_TRUE(m_caller.inPlace());
    EXPECT_EQ(gpBrevitGlobalParameters, engine()->parameters);
    EXPECT_EQ(engine()->errors.depth, 0);
    Brevit_SetWatchDogCallback(engine(), nullptr, nullptr);
}

TEST_F(CallFrameTest, EngineErrorBreaksTheEngineForEveryLaterCall)
{
    componentFakes().raiseIn = "Voc_GetLanguageName";
    char buffer[8];
    EXPECT_EQ(Brevit_GetLanguageName(engine(), sizeof(buffer), buffer), EBrevit_EngineError);
    EXPECT_EQ(engine()->broken, 1);
    EXPECT_EQ(engine()->errors.depth, 0);
    EXPECT_TRUE(m_caller.inPlace());
    EXPECT_EQ(gpBrevitGlobalParameters, engine()->parameters);

    componentFakes().calls.clear();
    for (const EntryCase& entry : entryCases()) {
        SCOPED_TRACE(entry.name);
        EXPECT_EQ(entry.call(engine()), EBrevit_EngineError);
        EXPECT_TRUE(m_caller.inPlace());
    }
    uint32_t liveBefore = static_cast<uint32_t>(m_engineAllocator.liveBlocks());
    EXPECT_EQ(Brevit_Destroy(engine(), nullptr), EBrevit_EngineError);
    EXPECT_EQ(m_engineAllocator.liveBlocks(), liveBefore);
    EXPECT_TRUE(componentFakes().calls.empty());
    EXPECT_TRUE(m_caller.inPlace());
}

// The recorder's return-value records, as "<kind>:<text>".
std::vector<std::string> gRecorded;

void recordName(const char*, int32_t) {}
void recordReturn(int32_t kind, const char* text)
{
    gRecorded.push_back(std::to_string(kind) + ":" + text);
}

TEST_F(CallFrameTest, ResultIsRecordedUnlessTheEngineIsBroken)
{
    DVKRecordFunctions table = {};
    table.functionName = &recordName;
    table.returnValue = &recordReturn;
    DVKRecord_SetFunctions(&table);
    gRecorded.clear();

    uint32_t first = 0;
    uint32_t second = 0;
    EXPECT_EQ(Brevit_GetModelSetProperties(engine(), &first, &second), EBrevit_OK);
    EXPECT_EQ(Brevit_GetModelSetProperties(engine(), nullptr, &second), EBrevit_BadArgument);
    EXPECT_EQ(Brevit_GetModelSetProperties(nullptr, &first, &second), EBrevit_EngineError);
    int32_t count = -1;
    EXPECT_EQ(Brevit_GetNumberStoredModelSets(m_caller.allocator().record(), &count), EBrevit_OK);
    componentFakes().raiseIn = "Decoder_FreeMemory";
    EXPECT_EQ(Brevit_ReleaseUnusedMemory(engine(), 0), EBrevit_EngineError);
    EXPECT_EQ((std::vector<std::string>{"23:0 ", "23:4 ", "23:1 ", "23:0 ", "23:1 "}),
              gRecorded);

    gRecorded.clear();
    EXPECT_EQ(Brevit_GetModelSetProperties(engine(), &first, &second), EBrevit_EngineError);
    EXPECT_TRUE(gRecorded.empty());
    DVKRecord_SetFunctions(nullptr);
}

TEST_F(CallFrameTest, EnginelessFrameMarksTheObjectBeingBuiltBroken)
{
    BrevitEngine* building = engine();
    DVKErrStack* seenErrors = nullptr;
    EBrevit result = BrevitPriv_CallEngineless(
        m_engineAllocator.record(), &building, [&]() -> EBrevit {
            seenErrors = DVKErr_GetErrorStack();
            EXPECT_EQ(DVKMem_GetMemoryAllocator(), m_engineAllocator.record());
            EXPECT_EQ(DVKTempMem_GetMemStack(), nullptr);
            EXPECT_EQ(DVKWatchDog_Call(), 0);
            DVKErr_Raise(__FILE__, __LINE__, "loading failed");
        });
    EXPECT_EQ(result, EBrevit_EngineError);
    EXPECT_EQ(building->broken, 1);
    EXPECT_NE(seenErrors, nullptr);
    EXPECT_NE(seenErrors, &m_caller.errors());
    EXPECT_TRUE(m_caller.inPlace());

    BrevitEngine* none = nullptr;
    EXPECT_EQ(BrevitPriv_CallEngineless(m_engineAllocator.record(), &none, []() -> EBrevit {
                  DVKErr_Raise(__FILE__, __LINE__, "no object yet");
              }),
              EBrevit_EngineError);
    EXPECT_TRUE(m_caller.inPlace());
}

TEST_F(CallFrameTest, EntryPointInsideAnotherOnTheSameEngineRestoresTheOuterFrame)
{
    EBrevit inner = EBrevit_OK;
    EBrevit outer = BrevitPriv_Call(engine(), [&](BrevitEngine* e) {
        inner = Brevit_ReleaseUnusedMemory(e, 0);
        EXPECT_EQ(DVKErr_GetErrorStack(), &e->errors);
        EXPECT_EQ(e->errors.depth, 1);
        EXPECT_EQ(DVKMem_GetMemoryAllocator(), m_engineAllocator.record());
        return EBrevit_OK;
    });
    EXPECT_EQ(inner, EBrevit_OK);
    EXPECT_EQ(outer, EBrevit_OK);
    EXPECT_TRUE(m_caller.inPlace());
}

TEST_F(CallFrameTest, EntryPointWhoseInnerEntryPointBrokeTheEngineAnswersOne)
{
    EBrevit inner = EBrevit_OK;
    EBrevit outer = BrevitPriv_Call(engine(), [&](BrevitEngine* e) {
        componentFakes().raiseIn = "Decoder_FreeMemory";
        inner = Brevit_ReleaseUnusedMemory(e, 0);
        // The outer body does not look at what the inner call answered.
        return EBrevit_OK;
    });
    EXPECT_EQ(inner, EBrevit_EngineError);
    EXPECT_EQ(outer, EBrevit_EngineError);
    EXPECT_EQ(engine()->broken, 1);
    EXPECT_EQ(engine()->errors.depth, 0);
    EXPECT_TRUE(m_caller.inPlace());
    uint32_t first = 0;
    uint32_t second = 0;
    EXPECT_EQ(Brevit_GetModelSetProperties(engine(), &first, &second), EBrevit_EngineError);
}

} // namespace
