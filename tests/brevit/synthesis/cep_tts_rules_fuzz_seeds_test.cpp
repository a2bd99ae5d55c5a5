// The seeds of fuzz/brevit_tts_rules are rule records made by the test
// writer; this test keeps the committed files current.
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/synthesis/cep_tts_rule_block.h"
#include "core/brevit/synthesis/cep_tts_rules.h"
#include "tests/support/archive_fixture.h"
#include "tests/support/counting_allocator.h"
#include "tests/support/fuzz_seed_check.h"
#include "tests/support/synthesis_front_end_writer.h"
#include "tests/support/written_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using namespace tts_front_end;

class TTSRulesFuzzSeeds : public ::testing::Test {
protected:
    void TearDown() override
    {
        DVKTempMem_DeleteMemStack();
        EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks();
    }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
};

template <typename Fields>
std::string recordBytes(const Fields& f)
{
    ArchiveFixture archive("seed.dvk");
    archive.add("seed", [&](BinFileWriter* w) { return write(w, f); });
    archive.finish();
    DVKTar* tar = archive.openForRead();
    DVKTarSubFile* sub = DVKTar_SubFileOpen(tar, "seed");
    EXPECT_NE(sub, nullptr);
    std::string bytes(DVKTar_SubFileGetSize(sub), '\0');
    EXPECT_EQ(DVKTar_SubFileRead(sub, bytes.data(), static_cast<int32_t>(bytes.size())),
              static_cast<int32_t>(bytes.size()));
    DVKTar_SubFileClose(sub);
    return bytes;
}

RulesSpec spec(std::vector<RuleSetSpec> sets)
{
    RulesSpec s;
    s.repeatMarker = 20;
    s.maxSymbol = 23;
    s.classes = {{3, 4}, {5, 6}};
    s.classOf = {{12, 1}, {13, 2}};
    s.sets = std::move(sets);
    return s;
}

TEST_F(TTSRulesFuzzSeeds, CommittedSeedsAreWhatTheWriterMakes)
{
    const RuleSpec beforeVowel{{1}, {2}, {}, {12, 20, 13}};
    const RuleSpec afterVowel{{2}, {7, 8}, {13, 12, 20}, {}};
    const RuleSpec insert{{}, {9}, {}, {5}};
    RulesFields damaged = rulesFields(spec({{true, 2, {beforeVowel}}}));
    damaged.rules[0].rightMinimum = 5;
    const std::pair<const char*, RulesFields> seeds[] = {
        {"left-to-right", rulesFields(spec({{true, 2, {beforeVowel, insert}}}))},
        {"right-to-left", rulesFields(spec({{false, 3, {afterVowel, insert}}}))},
        {"two-sets", rulesFields(spec({{true, 2, {beforeVowel}}, {false, 2, {afterVowel}}}))},
        {"tight-expansion", rulesFields(spec({{true, 1, {insert, afterVowel}}}))},
        {"minimum-above-length", damaged},
    };
    for (const auto& [name, fields] : seeds) {
        checkFuzzSeed("brevit_tts_rules", name, recordBytes(fields));
        WrittenTable table([&](BinFileWriter* w) { return write(w, fields); });
        CepTTSRules* r = table.load(CepTTSRules_Load);
        EXPECT_EQ(r != nullptr, std::strcmp(name, "minimum-above-length") != 0) << name;
        CepTTSRules_Delete(r);
    }
}

// Block seeds as the target reads them: 23 rule symbols, phones up to 40.
TEST_F(TTSRulesFuzzSeeds, CommittedBlockSeedsAreWhatTheWriterMakes)
{
    RuleBlockFields block;
    block.rules = rulesFields(spec({{true, 2, {{{14}, {15}, {}, {12, 20, 13}}}}}));
    block.tagSymbols = search_tables::indexTable({0, 16, 17});
    block.semanticSymbols = search_tables::indexTable({0, 18});
    block.phoneSymbols = search_tables::indexTable({0, 3, 4, 5, 6, 14, 15});
    block.symbolValues.assign(24, 0);
    block.symbolKinds.assign(24, 0);
    const uint16_t phones[] = {3, 4, 5, 6, 14, 15};
    for (uint16_t p = 0; p < 6; ++p) {
        block.symbolValues[phones[p]] = static_cast<uint16_t>(p + 1);
        block.symbolKinds[phones[p]] = kCepTTSSymbolPhone;
    }
    block.symbolValues[16] = 1;
    block.symbolKinds[16] = 0x20001;
    block.symbolValues[17] = 2;
    block.symbolKinds[17] = kCepTTSSymbolTag;
    block.symbolValues[18] = 1;
    block.symbolKinds[18] = kCepTTSSymbolSemantic;
    RuleBlockFields strayPhone = block;
    strayPhone.symbolValues[14] = 41;
    const std::pair<const char*, RuleBlockFields> seeds[] = {{"block", block}, {"block-stray-phone", strayPhone}};
    for (const auto& [name, fields] : seeds) {
        checkFuzzSeed("brevit_tts_rules", name, recordBytes(fields));
        WrittenTable table([&](BinFileWriter* w) { return write(w, fields); });
        CepTTSRuleBlock* b = table.load([](BinFileReader* reader) { return CepTTSRuleBlock_Load(reader, 23, 40); });
        EXPECT_EQ(b != nullptr, std::strcmp(name, "block") == 0) << name;
        CepTTSRuleBlock_Delete(b);
    }
}

} // namespace
