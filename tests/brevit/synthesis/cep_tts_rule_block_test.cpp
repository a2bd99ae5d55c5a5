#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/synthesis/cep_tts_rule_block.h"
#include "core/brevit/synthesis/cep_tts_rules.h"
#include "tests/support/counting_allocator.h"
#include "tests/support/synthesis_front_end_writer.h"
#include "tests/support/written_table.h"

#include <gtest/gtest.h>

#include <functional>
#include <utility>

namespace {

using namespace tts_front_end;

constexpr int32_t kSymbols = 9;      // M
constexpr int32_t kMaxPhone = 40;

// Symbols 1..8 are markers, 9 is unused; tag 3 is symbol 2 (kind 1 in the
// low bits), semantic id 7 is symbol 4, phones 11 and 40 are symbols 5 and 6.
RuleBlockFields sample()
{
    RulesSpec rules;
    rules.repeatMarker = 8;
    rules.maxSymbol = 9;
    rules.sets = {{true, 2, {{{5}, {6}, {}, {}}}}};
    RuleBlockFields f;
    f.rules = rulesFields(rules);
    f.tagSymbols = search_tables::indexTable({0, 0, 0, 2});
    f.semanticSymbols = search_tables::indexTable({0, 0, 0, 0, 0, 0, 0, 4});
    f.phoneSymbols = search_tables::indexTable(std::vector<uint16_t>(41, 0));
    f.phoneSymbols.entries[11] = 5;
    f.phoneSymbols.entries[40] = 6;
    f.symbolValues = {0, 0, 3, 0, 7, 11, 40, 0, 0, 0};
    f.symbolKinds = {0, 0, 0x10001, 0, 2, 3, 3, 0, 0, 0};
    return f;
}

class TTSRuleBlock : public ::testing::Test {
protected:
    void TearDown() override
    {
        DVKTempMem_DeleteMemStack();
        EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks();
    }

    static CepTTSRuleBlock* loadBlock(BinFileReader* reader)
    {
        return CepTTSRuleBlock_Load(reader, kSymbols, kMaxPhone);
    }

    CepTTSRuleBlock* load(const RuleBlockFields& f)
    {
        WrittenTable table([&](BinFileWriter* w) { return write(w, f); });
        return table.load(loadBlock);
    }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
};

TEST_F(TTSRuleBlock, LoadsKindsAndChecksumsEquallyTwice)
{
    CepTTSRuleBlock* a = load(sample());
    CepTTSRuleBlock* b = load(sample());
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(CepTTSRuleBlock_ComputeCRC(a), CepTTSRuleBlock_ComputeCRC(b));
    EXPECT_EQ(CepTTSRuleBlock_Kind(a, 2), kCepTTSSymbolTag);
    EXPECT_EQ(CepTTSRuleBlock_Kind(a, 4), kCepTTSSymbolSemantic);
    EXPECT_EQ(CepTTSRuleBlock_Kind(a, 6), kCepTTSSymbolPhone);
    EXPECT_EQ(CepTTSRuleBlock_Kind(a, 1), 0u);
    // Symbol 0 and symbols past M are no symbols at all.
    EXPECT_EQ(CepTTSRuleBlock_Kind(a, 0), 0u);
    EXPECT_EQ(CepTTSRuleBlock_Kind(a, 10), 0u);
    EXPECT_EQ(CepTTSRuleBlock_Kind(a, 0xFFFF), 0u);
    const uint32_t crc = CepTTSRuleBlock_ComputeCRC(a);
    CepTTSRuleBlock_Delete(a);
    CepTTSRuleBlock_Delete(b);

    const std::pair<const char*, std::function<void(RuleBlockFields&)>> changes[] = {
        {"rules", [](RuleBlockFields& f) { f.rules.sets[0].expansion = 3; }},
        {"tag symbols", [](RuleBlockFields& f) { f.tagSymbols.entries[3] = 9; }},
        {"semantic symbols", [](RuleBlockFields& f) { f.semanticSymbols.entries[7] = 9; }},
        {"phone symbols", [](RuleBlockFields& f) { f.phoneSymbols.entries[11] = 9; }},
        {"symbol value", [](RuleBlockFields& f) { f.symbolValues[5] = 12; }},
        {"symbol kind", [](RuleBlockFields& f) { f.symbolKinds[9] = 2; }},
    };
    for (const auto& [what, change] : changes) {
        RuleBlockFields f = sample();
        change(f);
        CepTTSRuleBlock* r = load(f);
        ASSERT_NE(r, nullptr) << what;
        EXPECT_NE(CepTTSRuleBlock_ComputeCRC(r), crc) << what;
        CepTTSRuleBlock_Delete(r);
    }
}

TEST_F(TTSRuleBlock, RefusesDamagedRecords)
{
    const std::pair<const char*, std::function<void(RuleBlockFields&)>> rows[] = {
        {"rules damaged", [](RuleBlockFields& f) { f.rules.symbolPoolSize += 1; }},
        {"tag table damaged", [](RuleBlockFields& f) { f.tagSymbols.count += 1; }},
        {"semantic table damaged", [](RuleBlockFields& f) { f.semanticSymbols.count = -1; }},
        {"phone table damaged", [](RuleBlockFields& f) { f.phoneSymbols.entries.pop_back(); }},
        {"values short", [](RuleBlockFields& f) { f.symbolValues.pop_back(); }},
        {"values absent", [](RuleBlockFields& f) { f.symbolValues.clear(); }},
        {"kinds long", [](RuleBlockFields& f) { f.symbolKinds.push_back(0); }},
        {"kinds absent", [](RuleBlockFields& f) { f.symbolKinds.clear(); }},
        {"phone symbol above the phones", [](RuleBlockFields& f) { f.symbolValues[6] = kMaxPhone + 1; }},
    };
    for (const auto& [what, damage] : rows) {
        RuleBlockFields f = sample();
        damage(f);
        CepTTSRuleBlock* r = load(f);
        EXPECT_EQ(r, nullptr) << what;
        CepTTSRuleBlock_Delete(r);
    }
    // A tag value past the phones is no phone: it loads.
    RuleBlockFields tag = sample();
    tag.symbolValues[2] = 500;
    CepTTSRuleBlock* r = load(tag);
    EXPECT_NE(r, nullptr);
    CepTTSRuleBlock_Delete(r);

    WrittenTable table([&](BinFileWriter* w) { return write(w, sample()); });
    EXPECT_EQ(table.load([](BinFileReader* reader) { return CepTTSRuleBlock_Load(reader, -1, kMaxPhone); }),
              nullptr);
}

TEST_F(TTSRuleBlock, EachAllocationFailureGivesNothing)
{
    WrittenTable table([&](BinFileWriter* w) { return write(w, sample()); });
    table.expectAllocationFailuresRefused(m_allocator, loadBlock, CepTTSRuleBlock_Delete);
}

} // namespace
