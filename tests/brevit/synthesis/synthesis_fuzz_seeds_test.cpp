// The seeds of the vocoder fuzz target (fuzz/brevit_synthesis/corpus) are
// models made by the test writer. This test keeps the committed files current.
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/synthesis/cep_dtree.h"
#include "core/brevit/synthesis/cep_optimizer.h"
#include "core/brevit/synthesis/cep_tts_rule_block.h"
#include "core/brevit/synthesis/cep_tts_rules.h"
#include "tests/brevit/synthesis/cep_test_model.h"
#include "tests/support/fuzz_sub_file_archive.h"
#include "tests/support/synthesis_front_end_writer.h"
#include "tests/support/synthesis_model_writer.h"
#include "tests/support/fuzz_seed_check.h"
#include "tests/support/written_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// A small model: short tables keep each fuzz run quick.
CepModelSpec smallSpec()
{
    CepModelSpec s;
    s.rate = 8000;
    s.hop = 16;
    s.frame = 64;
    s.transform = 16;
    s.maxOrder = 5;
    s.ifftOrder = 5;
    s.cepLength = 9;
    s.start2 = 10;
    s.end2 = 20;
    s.start1 = 5;
    s.end1 = 12;
    return s;
}

using SynthesisFuzzSeeds = CepModelTest;

TEST_F(SynthesisFuzzSeeds, CommittedSeedsAreWhatTheWriterMakes)
{
    CepModelSpec idct = smallSpec();
    idct.transform = 12;
    CepModelSpec crossFade = smallSpec();
    crossFade.subFrames = 2;
    CepModel tilted = CepModel_Make(smallSpec());
    tilted.tilt = 8192;
    tilted.offsets.assign(tilted.offsets.size(), 300);
    CepModel damaged = CepModel_Make(smallSpec());
    std::swap(damaged.bitReverse[1], damaged.bitReverse[2]);

    const std::pair<const char*, CepModel> seeds[] = {
        {"fft", CepModel_Make(smallSpec())},
        {"idct", CepModel_Make(idct)},
        {"crossfade", CepModel_Make(crossFade)},
        {"tilted", tilted},
        {"bad-bit-reversal", damaged},
    };
    for (const auto& [name, model] : seeds) {
        const std::string bytes = image(model);
        checkFuzzSeed("brevit_synthesis", name, bytes);
        // Every seed but the damaged one loads.
        EXPECT_EQ(load(bytes) != nullptr, std::strcmp(name, "bad-bit-reversal") != 0) << name;
    }
}

} // namespace

namespace {

// The content of one sub-file as the engine's writer makes it.
template <typename Fill>
std::string subFileBytes(Fill fill)
{
    ArchiveFixture archive("seed.dvk");
    archive.add("seed", fill);
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

class SynthesisModelFuzzSeeds : public ::testing::Test {
protected:
    void TearDown() override
    {
        DVKTempMem_DeleteMemStack();
        EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks();
    }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
};

// The seeds of fuzz/brevit_synthesis_trees are "btc0" contents; each but
// the damaged one loads beside the target's fixed models.
TEST_F(SynthesisModelFuzzSeeds, CommittedSeedsAreWhatTheWriterMakes)
{
    CepDTreeSpec off;
    off.integerScaling = 0;
    CepDTreeSpec post;
    post.postScale = {3, -2};
    post.third = std::vector<int32_t>(6, 1);
    post.fourth = {1, 2};
    CepDTreeSpec wide;
    wide.shift = 32;
    CepDTreeSpec negative;
    negative.shift = -1;
    const std::pair<const char*, CepDTreeSpec> seeds[] = {
        {"integer", CepDTreeSpec{}}, {"unscaled", off}, {"post-scale", post}, {"shift-32", wide},
        {"negative-shift", negative},
    };
    for (const auto& [name, spec] : seeds) {
        const std::string bytes =
            subFileBytes([&](BinFileWriter* w) { return cepDTreeRecords(spec).write(w); });
        checkFuzzSeed("brevit_synthesis_trees", name, bytes);
        // As the fuzz target joins them: the models, then the seed.
        ArchiveFixture archive(std::string(name) + ".dvk");
        ASSERT_TRUE(writeFixedSynthesisModels(archive.tar()));
        archive.finish();
        std::string image = archive.bytes();
        appendArchiveEntry(image, "btc0", reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        CepDTree* tree = CepDTree_LoadFromBinFile(archive.openMapped(image), nullptr);
        EXPECT_EQ(tree != nullptr, std::strcmp(name, "negative-shift") != 0) << name;
        CepDTree_Delete(tree);
    }
}

// The seeds of fuzz/brevit_synthesis_optimizer are optimiser records.
TEST_F(SynthesisModelFuzzSeeds, CommittedOptimizerSeedsAreWhatTheWriterMakes)
{
    CepOptimizerSpec generated;
    generated.D = 2;
    generated.L = 40;
    generated.S = 20;
    generated.K = 20;
    generated.weights = {1, 1, 0.6, 0.5, 0.3, 0.2};
    generated.kernels = cepGeneratedKernels(generated);
    CepOptimizerSpec integer;
    integer.integerKernels = 1;
    integer.weights.clear();
    integer.intKernels = {{2, 1}};
    integer.integerScales = {3};
    CepOptimizerSpec solver;
    solver.K = 0;
    solver.kernels.clear();
    CepOptimizerSpec shortBlock;
    shortBlock.L = 5;
    shortBlock.S = 3;
    const std::pair<const char*, CepOptimizerSpec> seeds[] = {
        {"example", CepOptimizerSpec{}}, {"generated-kernels", generated}, {"integer-kernels", integer},
        {"no-kernels", solver}, {"short-block", shortBlock},
    };
    for (const auto& [name, spec] : seeds) {
        const std::string bytes = subFileBytes([&](BinFileWriter* w) { return writeCepOptimizerRecords(w, spec); });
        checkFuzzSeed("brevit_synthesis_optimizer", name, bytes);
        ArchiveFixture archive(std::string(name) + ".dvk");
        std::string image;
        appendArchiveEntry(image, "bopt", reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        BinFileReader* reader = BinFileReader_Create(archive.openMapped(image), "bopt", nullptr);
        CepOptimizer* o = CepOptimizer_LoadFromBinFile(reader);
        BinFileReader_Delete(reader);
        EXPECT_EQ(o != nullptr, std::strcmp(name, "short-block") != 0) << name;
        CepOptimizer_Delete(o);
    }
}

tts_front_end::RulesSpec ttsRulesSpec(std::vector<tts_front_end::RuleSetSpec> sets)
{
    tts_front_end::RulesSpec s;
    s.repeatMarker = 20;
    s.maxSymbol = 23;
    s.classes = {{3, 4}, {5, 6}};
    s.classOf = {{12, 1}, {13, 2}};
    s.sets = std::move(sets);
    return s;
}

TEST_F(SynthesisModelFuzzSeeds, CommittedRuleSeedsAreWhatTheWriterMakes)
{
    const tts_front_end::RuleSpec beforeVowel{{1}, {2}, {}, {12, 20, 13}};
    const tts_front_end::RuleSpec afterVowel{{2}, {7, 8}, {13, 12, 20}, {}};
    const tts_front_end::RuleSpec insert{{}, {9}, {}, {5}};
    tts_front_end::RulesFields damaged = tts_front_end::rulesFields(ttsRulesSpec({{true, 2, {beforeVowel}}}));
    damaged.rules[0].rightMinimum = 5;
    const std::pair<const char*, tts_front_end::RulesFields> seeds[] = {
        {"left-to-right", tts_front_end::rulesFields(ttsRulesSpec({{true, 2, {beforeVowel, insert}}}))},
        {"right-to-left", tts_front_end::rulesFields(ttsRulesSpec({{false, 3, {afterVowel, insert}}}))},
        {"two-sets", tts_front_end::rulesFields(ttsRulesSpec({{true, 2, {beforeVowel}}, {false, 2, {afterVowel}}}))},
        {"tight-expansion", tts_front_end::rulesFields(ttsRulesSpec({{true, 1, {insert, afterVowel}}}))},
        {"minimum-above-length", damaged},
    };
    for (const auto& [name, fields] : seeds) {
        checkFuzzSeed("brevit_tts_rules", name, subFileBytes([&](BinFileWriter* w) { return tts_front_end::write(w, fields); }));
        WrittenTable table([&](BinFileWriter* w) { return tts_front_end::write(w, fields); });
        CepTTSRules* r = table.load(CepTTSRules_Load);
        EXPECT_EQ(r != nullptr, std::strcmp(name, "minimum-above-length") != 0) << name;
        CepTTSRules_Delete(r);
    }
}

// Block seeds as the target reads them: 23 rule symbols, phones up to 40.
TEST_F(SynthesisModelFuzzSeeds, CommittedBlockSeedsAreWhatTheWriterMakes)
{
    tts_front_end::RuleBlockFields block;
    block.rules = tts_front_end::rulesFields(ttsRulesSpec({{true, 2, {{{14}, {15}, {}, {12, 20, 13}}}}}));
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
    tts_front_end::RuleBlockFields strayPhone = block;
    strayPhone.symbolValues[14] = 41;
    const std::pair<const char*, tts_front_end::RuleBlockFields> seeds[] = {{"block", block}, {"block-stray-phone", strayPhone}};
    for (const auto& [name, fields] : seeds) {
        checkFuzzSeed("brevit_tts_rules", name, subFileBytes([&](BinFileWriter* w) { return tts_front_end::write(w, fields); }));
        WrittenTable table([&](BinFileWriter* w) { return tts_front_end::write(w, fields); });
        CepTTSRuleBlock* b = table.load([](BinFileReader* reader) { return CepTTSRuleBlock_Load(reader, 23, 40); });
        EXPECT_EQ(b != nullptr, std::strcmp(name, "block") == 0) << name;
        CepTTSRuleBlock_Delete(b);
    }
}

} // namespace
