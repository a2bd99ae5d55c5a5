#include "core/config/dvk_config.h"

#include "platform/core/wex_root.h"
#include "tests/core/config/fake_dynamic_table.h"
#include "tests/support/suite_memory.h"
#include "tests/support/table_file_writers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

const char kFile[] = "dvk_config_gen.bin";

std::u16string text(int n)
{
    std::string digits = "String " + std::to_string(n);
    return std::u16string(digits.begin(), digits.end());
}

class ConfigTest : public SuiteMemoryTest {
protected:
    void SetUp() override
    {
        SuiteMemoryTest::SetUp();
        std::filesystem::create_directories(wexRootPath("/media/cryptofs/data"));
        table_ = dvk_constraints_createDynamicTable();
    }
    void TearDown() override
    {
        dvk_constraints_destroyDynamicTable(&table_);
        SuiteMemoryTest::TearDown();
    }

    static dvk_config_Manager* load(const std::string& bytes)
    {
        writeTableFile(kFile, bytes);
        return dvk_config_createConfigManager();
    }

    dvk_constraints_DynamicTable* table_ = nullptr;
};

TEST_F(ConfigTest, BuildsSharedAndCategoryGrammar)
{
    const std::string bytes = threeGates().bytes();
    ASSERT_EQ(bytes.size(), 352u);
    dvk_config_Manager* cm = load(bytes);
    ASSERT_NE(cm, nullptr);
    EXPECT_EQ(dvk_config_getGateCmdCount(cm), 3);
    EXPECT_EQ(dvk_config_getGateCmd(cm, 2), 3);
    EXPECT_EQ(dvk_config_getGateCmdConstraintId(cm, 1), -1);  // not built yet
    ASSERT_EQ(dvk_config_addConstraints(cm, table_), 0);

    ASSERT_EQ(table_->classes.size(), 3u);
    EXPECT_EQ(table_->classes[0].name, "VSearch #0");
    EXPECT_EQ(table_->classes[0].key, 9);
    EXPECT_EQ(table_->classes[0].stringIds, (std::vector<int32_t>{100, 101, 102}));
    EXPECT_EQ(table_->classes[0].features, (std::vector<int32_t>{0, 0, 1}));
    EXPECT_EQ(table_->classes[1].name, "VSearch #2");
    EXPECT_EQ(table_->classes[1].stringIds, (std::vector<int32_t>{103}));
    EXPECT_EQ(table_->classes[2].name, "VSearch Cat #2");
    EXPECT_EQ(table_->classes[2].key, 27);
    EXPECT_EQ(table_->classes[2].stringIds, (std::vector<int32_t>{200, 201}));
    EXPECT_EQ(table_->classes[2].features, (std::vector<int32_t>{68, 68}));

    ASSERT_EQ(table_->constraints.size(), 3u);
    const FakeConstraint* shared = fakeConstraint(table_, -2);
    EXPECT_EQ(shared->name, "VSearch #0");
    EXPECT_EQ(shared->copiedFrom, 7);
    EXPECT_EQ(shared->transitions, (std::vector<std::string>{"replace 9=0", "S>0", "0>E"}));
    const FakeConstraint* gate3 = fakeConstraint(table_, -3);
    EXPECT_EQ(gate3->name, "VSearch #2");
    EXPECT_EQ(gate3->classes, (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(gate3->transitions, (std::vector<std::string>{"S>1", "1>E", "1>2", "2>E"}));
    const FakeConstraint* category = fakeConstraint(table_, -4);
    EXPECT_EQ(category->name, "VSearch Cat #2");
    EXPECT_EQ(category->classes, (std::vector<int32_t>{2}));
    EXPECT_EQ(category->transitions, (std::vector<std::string>{"S>2", "2>E"}));

    const int32_t constraintOf[] = {-1, -2, -2, -3, -1};
    for (int32_t gate = 0; gate <= 4; ++gate)
        EXPECT_EQ(dvk_config_getGateCmdConstraintId(cm, gate), constraintOf[gate]) << gate;

    int32_t stringId, vocabularyId, feature, command;
    dvk_config_getGateCmdInfo(cm, 1, &stringId, &vocabularyId, &feature, &command);
    EXPECT_EQ(std::vector<int32_t>({stringId, vocabularyId, feature, command}),
              std::vector<int32_t>({10, 100, 0, 1}));
    dvk_config_getGateCmdInfo(cm, 3, &stringId, &vocabularyId, &feature, &command);
    EXPECT_EQ(std::vector<int32_t>({stringId, vocabularyId, feature, command}),
              std::vector<int32_t>({12, 103, 68, 3}));
    EXPECT_DEATH(dvk_config_getGateCmdInfo(cm, 4, &stringId, &vocabularyId, &feature, &command),
                 "index < configMgr->configMgrTable->numGateCmds");
    EXPECT_DEATH(dvk_config_getGateCmdInfo(cm, 0, &stringId, &vocabularyId, &feature, &command),
                 "index >= 0");
    EXPECT_DEATH(dvk_config_getGateCmd(cm, 3), "index < configMgr->configMgrTable->numGateCmds");

    // Results against the string table ("String n" for id n).
    StringFileWriter strings;
    strings.strings = numberedStrings(u"String ", 679);
    strings.textLength = 16812;
    writeTableFile("str_enus.bin", strings.bytes());
    dvk_string_Table* table = dvk_string_createStringTable(5);
    ASSERT_NE(dvk_string_loadStringTableRange(table, 0), nullptr);
    const struct {
        int32_t constraint, result, gate;
    } finds[] = {{-2, 102, 2}, {-2, 100, 1}, {-2, 103, 0}, {-3, 103, 3}, {-3, 200, 0},
                 {-4, 5, 3},   {-4, 200, 3}, {-5, 100, 0}};
    for (const auto& f : finds) {
        std::u16string result = text(f.result);
        EXPECT_EQ(dvk_config_findGateCmdFromResult(
                      cm, table, f.constraint, reinterpret_cast<const dvk_ucs2_Char*>(result.c_str())),
                  f.gate)
            << f.constraint << " " << f.result;
    }
    const dvk_ucs2_Char empty[] = {0};
    EXPECT_DEATH(dvk_config_findGateCmdFromResult(cm, table, -1, empty), "constraintId < -1");
    dvk_string_destroyStringTable(&table);
    dvk_config_destroyConfigManager(&cm);
    EXPECT_EQ(cm, nullptr);
}

TEST_F(ConfigTest, FileWithoutCategoriesBuilds)
{
    ConfigFileWriter w;
    w.gates = {{{100, 101}, {}, 10, -1, 68, 1}, {{102}, {}, 11, -1, 68, 24}};
    const std::string bytes = w.bytes();
    ASSERT_EQ(bytes.size(), 296u);
    dvk_config_Manager* cm = load(bytes);
    ASSERT_NE(cm, nullptr);
    EXPECT_EQ(cm->configMgrTable->categoryMembers, nullptr);
    ASSERT_EQ(dvk_config_addConstraints(cm, table_), 0);
    EXPECT_EQ(table_->classes.size(), 2u);
    EXPECT_EQ(fakeConstraint(table_, -2)->transitions, (std::vector<std::string>{"S>0", "0>E"}));
    EXPECT_EQ(fakeConstraint(table_, -3)->transitions, (std::vector<std::string>{"S>1", "1>E"}));
    EXPECT_EQ(dvk_config_getGateCmdConstraintId(cm, 2), -3);
    dvk_config_destroyConfigManager(&cm);
}

TEST_F(ConfigTest, ASharedGateWithCategoryMembersBuildsWithoutThem)
{
    ConfigFileWriter w;
    w.gates = {{{100}, {200}, 10, 7, 68, 1}, {{101}, {}, 11, 7, 68, 2}};
    dvk_config_Manager* cm = load(w.bytes());
    ASSERT_NE(cm, nullptr);
    ASSERT_EQ(dvk_config_addConstraints(cm, table_), 0);
    ASSERT_EQ(table_->classes.size(), 1u);
    EXPECT_EQ(table_->classes[0].stringIds, (std::vector<int32_t>{100, 101}));
    ASSERT_EQ(table_->constraints.size(), 1u);
    EXPECT_EQ(fakeConstraint(table_, -2)->transitions,
              (std::vector<std::string>{"replace 9=0", "S>0", "0>E"}));
    EXPECT_EQ(cm->constraintPairs[0][1], -1);
    dvk_config_destroyConfigManager(&cm);
}

TEST_F(ConfigTest, FilesOutOfRangeGiveNoManager)
{
    struct Case {
        const char* name;
        void (*change)(ConfigFileWriter&);
    };
    const Case cases[] = {
        {"one byte short", [](ConfigFileWriter& w) { w.cutTo = 351; }},
        {"N = 0", [](ConfigFileWriter& w) { w.n = 0; }},
        {"N = 76", [](ConfigFileWriter& w) { w.n = 76; }},
        {"N negative", [](ConfigFileWriter& w) { w.n = -1; }},
        {"K beyond the file", [](ConfigFileWriter& w) { w.k = 0x3fffffff; }},
        {"M negative", [](ConfigFileWriter& w) { w.m = -2; }},
        {"phrase count negative", [](ConfigFileWriter& w) { w.overrides["phraseCount"][0] = -1; }},
        {"phrases past K", [](ConfigFileWriter& w) { w.overrides["phraseStart"][2] = 4; }},
        {"phrase start negative", [](ConfigFileWriter& w) { w.overrides["phraseStart"][0] = -1; }},
        {"members past M", [](ConfigFileWriter& w) { w.overrides["categoryCount"][2] = 3; }},
        {"phrase id 679", [](ConfigFileWriter& w) { w.overrides["phrases"][0] = 679; }},
        {"phrase id 8191", [](ConfigFileWriter& w) { w.overrides["phrases"][0] = 8191; }},
        {"member id -1", [](ConfigFileWriter& w) { w.overrides["categoryMembers"][1] = -1; }},
        {"display id 4095", [](ConfigFileWriter& w) { w.overrides["stringId"][1] = 4095; }},
        {"feature 69", [](ConfigFileWriter& w) { w.overrides["feature"][0] = 69; }},
        {"feature -1", [](ConfigFileWriter& w) { w.overrides["feature"][0] = -1; }},
        {"gate command 34", [](ConfigFileWriter& w) { w.overrides["gateCmdId"][1] = 34; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ConfigFileWriter w = threeGates();
        c.change(w);
        dvk_config_Manager* cm = load(w.bytes());
        EXPECT_EQ(cm, nullptr);
        dvk_config_destroyConfigManager(&cm);
    }
    std::filesystem::remove(dvkOemJoin(dvkOemWritableDir(), kFile));
    EXPECT_EQ(dvk_config_createConfigManager(), nullptr);

    ConfigFileWriter w = threeGates();
    w.overrides["stringId"][0] = -1;  // no display string
    dvk_config_Manager* cm = load(w.bytes());
    EXPECT_NE(cm, nullptr);
    dvk_config_destroyConfigManager(&cm);
}

TEST_F(ConfigTest, FailuresLeakNothing)
{
    writeTableFile(kFile, threeGates().bytes());
    for (long allowed = 0; allowed < 20; ++allowed) {
        dvk_mem_failAfter(allowed);
        dvk_config_Manager* cm = dvk_config_createConfigManager();
        dvk_mem_failAfter(-1);
        dvk_config_destroyConfigManager(&cm);
    }
    for (int calls = 0; calls < 16; ++calls) {  // the build makes 15 calls
        dvk_config_Manager* cm = dvk_config_createConfigManager();
        dvk_constraints_DynamicTable* table = dvk_constraints_createDynamicTable();
        table->failAfter = calls;
        EXPECT_EQ(dvk_config_addConstraints(cm, table), calls < 15 ? 1 : 0) << calls;
        dvk_constraints_destroyDynamicTable(&table);
        dvk_config_destroyConfigManager(&cm);
    }
}

} // namespace
