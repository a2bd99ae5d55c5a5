#include "core/brevit/api/brevit.h"

#include "tests/brevit/api/engine_fixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

class ObjectEntriesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        componentFakes().reset();
        m_engine = makeEngine(m_engineAllocator, ParamBlockBuilder());
    }
    void TearDown() override
    {
        EXPECT_EQ(Brevit_Destroy(m_engine, nullptr), EBrevit_OK);
        EXPECT_EQ(m_engineAllocator.liveBlocks(), 0u) << m_engineAllocator.describeLeaks();
    }

    CallerContext m_caller;
    CountingAllocator m_engineAllocator;
    BrevitEngine* m_engine = nullptr;
};

TEST_F(ObjectEntriesTest, BusyEngineRefusesToTrimOrDiscard)
{
    struct Case {
        int32_t listening;
        int32_t running;
    };
    for (Case c : {Case{1, 0}, Case{0, 1}, Case{1, 1}}) {
        m_engine->listening = c.listening;
        m_engine->recognitionRunning = c.running;
        EXPECT_EQ(Brevit_ReleaseUnusedMemory(m_engine, 1), EBrevit_WrongState);
        EXPECT_EQ(Brevit_DiscardUtterance(m_engine, 5), EBrevit_WrongState);
    }
    EXPECT_TRUE(componentFakes().calls.empty());
    m_engine->listening = 0;
    m_engine->recognitionRunning = 0;
}

TEST_F(ObjectEntriesTest, ReleaseUnusedMemoryAsksThePresentPrimaryDecoders)
{
    m_engine->decoder1 = nullptr;
    EXPECT_EQ(Brevit_ReleaseUnusedMemory(m_engine, 1), EBrevit_OK);
    EXPECT_EQ(componentFakes().calls,
              (std::vector<std::string>{"Decoder_FreeMemory decoder0 1",
                                        "Decoder_FreeMemory decoder2 1"}));
}

TEST_F(ObjectEntriesTest, DiscardUtteranceRefusesTheReservedIds)
{
    struct Case {
        uint32_t id;
        EBrevit expected;
    };
    for (Case c : {Case{0xFFFFFFFFu, EBrevit_BadArgument}, Case{0xFFFFFFFEu, EBrevit_BadArgument},
                   Case{0xFFFFFFFDu, EBrevit_BadArgument}, Case{0xFFFFFFFCu, EBrevit_OK},
                   Case{0, EBrevit_OK}, Case{5, EBrevit_OK}}) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(Brevit_DiscardUtterance(m_engine, c.id), c.expected);
    }
    m_engine->listening = 1;
    EXPECT_EQ(Brevit_DiscardUtterance(m_engine, 0xFFFFFFFEu), EBrevit_BadArgument);
    m_engine->listening = 0;
}

TEST_F(ObjectEntriesTest, LanguageNameMustFitWithItsTerminator)
{
    struct Case {
        const char* name;
        int32_t size;
        EBrevit expected;
    };
    for (Case c : {Case{"enus", 5, EBrevit_OK}, Case{"enus", 4, EBrevit_BufferTooSmall},
                   Case{"enus", 0, EBrevit_BufferTooSmall}, Case{"", 1, EBrevit_OK}}) {
        SCOPED_TRACE(std::string(c.name) + " in " + std::to_string(c.size));
        componentFakes().languageName = c.name;
        char buffer[8] = "xxxxxxx";
        EXPECT_EQ(Brevit_GetLanguageName(m_engine, c.size, buffer), c.expected);
        if (c.expected == EBrevit_OK) {
            EXPECT_STREQ(buffer, c.name);
        }
    }
    EXPECT_EQ(Brevit_GetLanguageName(m_engine, 8, nullptr), EBrevit_BadArgument);
}

TEST_F(ObjectEntriesTest, ModelSetPropertiesNeedBothOutPointers)
{
    m_engine->modelSetProperties[0] = 0x1C;
    m_engine->modelSetProperties[1] = 30;
    uint32_t first = 0;
    uint32_t second = 0;
    EXPECT_EQ(Brevit_GetModelSetProperties(m_engine, &first, &second), EBrevit_OK);
    EXPECT_EQ(first, 0x1Cu);
    EXPECT_EQ(second, 30u);
    EXPECT_EQ(Brevit_GetModelSetProperties(m_engine, nullptr, &second), EBrevit_BadArgument);
    EXPECT_EQ(Brevit_GetModelSetProperties(m_engine, &first, nullptr), EBrevit_BadArgument);
    EXPECT_EQ(m_engine->broken, 0);
}

int32_t askToStop(void*)
{
    return 1;
}

TEST_F(ObjectEntriesTest, WatchDogIsTheEnginesDuringLaterCallsOnly)
{
    int marker = 0;
    EXPECT_EQ(Brevit_SetWatchDogCallback(m_engine, &askToStop, &marker), EBrevit_OK);
    EXPECT_EQ(m_engine->watchDog, &askToStop);
    EXPECT_EQ(m_engine->watchDogArgument, &marker);
    EXPECT_TRUE(m_caller.inPlace());

    EXPECT_EQ(Brevit_ReleaseUnusedMemory(m_engine, 0), EBrevit_OK);
    EXPECT_EQ(componentFakes().seen.watchDogAnswer, 1);
    EXPECT_TRUE(m_caller.inPlace());
}

TEST(EnginelessEntriesTest, VersionAndStoredModelSetQueries)
{
    CallerContext caller;
    CountingAllocator other;
    int32_t major = 0;
    int32_t minor = 0;
    int32_t build = 0;
    EXPECT_EQ(Brevit_GetVersion(other.record(), &major, &minor, &build), EBrevit_OK);
    EXPECT_EQ(major, 10);
    EXPECT_EQ(minor, 53);
    EXPECT_EQ(build, 3);
    EXPECT_EQ(Brevit_GetVersion(other.record(), nullptr, &minor, &build), EBrevit_BadArgument);
    EXPECT_EQ(Brevit_GetVersion(other.record(), &major, nullptr, &build), EBrevit_BadArgument);
    EXPECT_EQ(Brevit_GetVersion(other.record(), &major, &minor, nullptr), EBrevit_BadArgument);
    EXPECT_TRUE(caller.inPlace());

    const char* text = nullptr;
    EXPECT_EQ(Brevit_GetFullVersion(other.record(), &text), EBrevit_OK);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::strncmp(text, "Brevit v10.0053.3", 17), 0);
    EXPECT_EQ(Brevit_GetFullVersion(other.record(), nullptr), EBrevit_BadArgument);

    int32_t count = -1;
    EXPECT_EQ(Brevit_GetNumberStoredModelSets(other.record(), &count), EBrevit_OK);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(Brevit_GetNumberStoredModelSets(other.record(), nullptr), EBrevit_BadArgument);
    char language[8];
    uint32_t p1 = 0;
    uint32_t p2 = 0;
    for (int32_t index : {0, 1, -1})
        EXPECT_EQ(Brevit_GetNthStoredModelSet(index, other.record(), 8, language, &p1, &p2),
                  EBrevit_BadArgument);
    EXPECT_TRUE(caller.inPlace());
    EXPECT_EQ(other.calls(), 0u);
}

} // namespace
