#include "core/brevit/runtime/dvk_record.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> gCalls;

void recName(const char* name, int32_t id)
{
    gCalls.push_back("name " + std::string(name) + " " + std::to_string(id));
}
void recArgument(const char* name, int32_t kind, intptr_t value)
{
    gCalls.push_back("arg " + std::string(name) + " " + std::to_string(kind) + " " +
                     std::to_string(value));
}
void recArray(const char* name, int32_t kind, int32_t count, const void* data)
{
    gCalls.push_back("array " + std::string(name) + " " + std::to_string(kind) + " " +
                     std::to_string(count) + (data != nullptr ? " data" : " null"));
}
void recOutput(const char* name, int32_t kind, intptr_t value)
{
    gCalls.push_back("out " + std::string(name) + " " + std::to_string(kind) + " " +
                     std::to_string(value));
}
void recOutputArray(const char* name, int32_t kind, int32_t count, const void*)
{
    gCalls.push_back("outarray " + std::string(name) + " " + std::to_string(kind) + " " +
                     std::to_string(count));
}
void recReturn(int32_t kind, const char* text)
{
    gCalls.push_back("return " + std::to_string(kind) + " " + text);
}
void recValue(intptr_t value)
{
    gCalls.push_back("value " + std::to_string(value));
}
void recFlush()
{
    gCalls.push_back("flush");
}
void recEnd()
{
    gCalls.push_back("end");
}

const DVKRecordFunctions kFullTable = {recName,        recArgument, recArray, recOutput,
                                       recOutputArray, recReturn,   recValue, recFlush,
                                       recEnd};

// Calls every hook once; answers the hooks' results in order.
std::vector<int> callEveryHook()
{
    const int values[2] = {4, 5};
    return {
        DVKRecord_RecordFunctionName("Brevit_Create", 3),
        DVKRecord_RecordFunctionArgument("mode", 1, 42),
        DVKRecord_RecordFunctionArrayArgument("ids", 4, 2, values),
        DVKRecord_RecordFunctionStringArgument("file", "model.bin"),
        DVKRecord_RecordOutput("id", 1, 7),
        DVKRecord_RecordOutputArray("scores", 4, 2, values),
        DVKRecord_RecordReturnValue(0, "OK"),
        DVKRecord_RecordValue(-9),
        DVKRecord_Flush(),
    };
}

class DVKRecordTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        gCalls.clear();
        DVKRecord_SetFunctions(nullptr);
    }
    void TearDown() override { DVKRecord_SetFunctions(nullptr); }
};

TEST_F(DVKRecordTest, EveryHookAnswersZeroWithoutARecorder)
{
    EXPECT_EQ(DVKRecord_IsActive(), 0);
    for (int result : callEveryHook()) {
        EXPECT_EQ(result, 0);
    }
    EXPECT_EQ(DVKRecord_End(), 0);
    EXPECT_TRUE(gCalls.empty());
}

TEST_F(DVKRecordTest, HooksReachTheirSlotsInOrder)
{
    DVKRecord_SetFunctions(&kFullTable);
    EXPECT_EQ(DVKRecord_IsActive(), 1);
    for (int result : callEveryHook()) {
        EXPECT_EQ(result, 1);
    }
    EXPECT_EQ(DVKRecord_RecordFunctionStringArgument("none", nullptr), 1);
    const std::vector<std::string> expected = {
        "name Brevit_Create 3", "arg mode 1 42",     "array ids 4 2 data",
        "array file 2 9 data",  "out id 1 7",        "outarray scores 4 2",
        "return 0 OK",          "value -9",          "flush",
        "array none 2 0 null",
    };
    EXPECT_EQ(gCalls, expected);

    EXPECT_EQ(DVKRecord_End(), 1);
    EXPECT_EQ(gCalls.back(), "end");
    EXPECT_EQ(DVKRecord_IsActive(), 0);
    EXPECT_EQ(DVKRecord_RecordValue(1), 0);
}

TEST_F(DVKRecordTest, EmptySlotsAreSkippedWhileTheRecorderIsActive)
{
    DVKRecordFunctions table = {};
    table.functionName = recName;
    DVKRecord_SetFunctions(&table);
    table.value = recValue;  // the installed table is a copy
    EXPECT_EQ(DVKRecord_RecordFunctionArgument("mode", 1, 42), 1);
    EXPECT_EQ(DVKRecord_RecordValue(3), 1);
    EXPECT_EQ(DVKRecord_End(), 1);
    EXPECT_TRUE(gCalls.empty());
    EXPECT_EQ(DVKRecord_IsActive(), 0);
}

TEST_F(DVKRecordTest, ATableWithoutANameSlotIsInactive)
{
    DVKRecordFunctions table = kFullTable;
    table.functionName = nullptr;
    DVKRecord_SetFunctions(&table);
    EXPECT_EQ(DVKRecord_IsActive(), 0);
    EXPECT_EQ(DVKRecord_Flush(), 0);
    EXPECT_TRUE(gCalls.empty());
}

}  // namespace
