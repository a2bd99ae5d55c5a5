#include "core/brevit/acoustic/am.h"
#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/synthesis/cep_dtree.h"
#include "tests/support/acoustic_model_writer.h"
#include "tests/brevit/synthesis/case_name.h"
#include "tests/support/archive_fixture.h"
#include "tests/support/counting_allocator.h"
#include "tests/support/synthesis_model_writer.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int32_t kPositions = 3;

// Everything one "btc0" and its three models are written from.
struct TreeFiles {
    CepDTreeSpec table;
    AcousticModelSpec spectrum = synthesisModelSpec(6, kPositions,
                                                    {200, 0, 128, 130, 10, 250,
                                                     129, 127, 8, 9, 100, 100,
                                                     60, 70, 80, 90, 100, 110,
                                                     1, 2, 3, 4, 5, 6});
    std::vector<int32_t> spectrumBase = {1000, 2000, 0, 0, 0, 0};
    std::vector<int32_t> spectrumScale = {10, -20, 1, 1, 1, 1};
    AcousticModelSpec duration = synthesisModelSpec(kPositions, kPositions,
                                                    {3, 4, 5, 7, 8, 9, 1, 1, 1, 2, 2, 2});
    AcousticModelSpec pitch = synthesisModelSpec(3, kPositions, {100, 9, 7, 108, 10, 6, 58, 8, 8, 8, 8, 8});
    std::vector<int32_t> pitchBase = {7000, 0, 0};
    std::vector<int32_t> pitchScale = {10, 2, -1};
    std::vector<uint8_t> voicing = {0, 200, 90, 255};
    bool spectrumUnscaling = true;
    bool pitchUnscaling = true;
    // Applied to the records before writing (to damage them).
    std::function<void(AcousticModelRecords&)> editTable, editSpectrum, editDuration, editPitch;
    bool writeTable = true;
    bool writePitch = true;
};

class CepDTreeTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (CepDTree* t : m_trees)
            CepDTree_Delete(t);
        m_trees.clear();
        m_archives.clear();
        DVKTempMem_DeleteMemStack();   // scratch is the engine's, made on first use
        EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks();
    }

    ArchiveFixture& write(const TreeFiles& f)
    {
        m_archives.push_back(std::make_unique<ArchiveFixture>("tree" + std::to_string(m_archives.size()) + ".dvk"));
        ArchiveFixture& archive = *m_archives.back();
        auto edited = [](AcousticModelRecords r, const std::function<void(AcousticModelRecords&)>& edit) {
            if (edit)
                edit(r);
            return r;
        };
        if (f.writeTable)
            writeAcousticModel(archive, edited(cepDTreeRecords(f.table), f.editTable), "btc0");
        const std::vector<int32_t> none;
        writeAcousticModel(archive,
                           edited(synthesisModelRecords(f.spectrum, f.spectrumUnscaling ? f.spectrumBase : none,
                                                        f.spectrumScale),
                                  f.editSpectrum),
                           "ba2");
        writeAcousticModel(archive, edited(synthesisModelRecords(f.duration, none, none), f.editDuration), "ba3");
        if (f.writePitch)
            writeAcousticModel(archive,
                               edited(synthesisModelRecords(f.pitch, f.pitchUnscaling ? f.pitchBase : none,
                                                            f.pitchScale, f.voicing),
                                      f.editPitch),
                               "ba4");
        archive.finish();
        return archive;
    }

    CepDTree* load(const TreeFiles& f)
    {
        CepDTree* t = CepDTree_LoadFromBinFile(write(f).openForRead(), nullptr);
        if (t != nullptr)
            m_trees.push_back(t);
        return t;
    }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
    std::vector<std::unique_ptr<ArchiveFixture>> m_archives;
    std::vector<CepDTree*> m_trees;
};

TEST_F(CepDTreeTest, StatesComeFromTheThreeTrees)
{
    CepDTree* tree = load(TreeFiles{});
    ASSERT_NE(tree, nullptr);
    struct Case {
        uint8_t context0;
        int32_t s;
        int32_t duration, voicing;
        uint16_t spectrum, pitch;
    };
    // Duration: state 0 or 1 by context byte 0, byte s of its mean. A
    // position without a root has no states; past the duration vector, 0.
    const Case cases[] = {
        {1, 0, 7, 200, 1, 1}, {1, 2, 9, 255, 3, 3}, {0, 0, 3, 0, 0, 0}, {0, 1, 4, 90, 2, 2},
        {255, 0, 3, 0, 0, 0}, {1, 3, 0, 0, 65535, 65535},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> context(kCepDTreeContextLength, 255);
        context[0] = c.context0;
        int32_t duration = -1, voicing = -1;
        uint16_t spectrum = 1234, pitch = 1234;
        CepDTree_GetStates(tree, context.data(), c.s, &duration, &voicing, &spectrum, &pitch);
        EXPECT_EQ(duration, c.duration) << int(c.context0) << " " << c.s;
        EXPECT_EQ(voicing, c.voicing) << int(c.context0) << " " << c.s;
        EXPECT_EQ(spectrum, c.spectrum) << int(c.context0) << " " << c.s;
        EXPECT_EQ(pitch, c.pitch) << int(c.context0) << " " << c.s;
        // The state outs are optional.
        CepDTree_GetStates(tree, context.data(), c.s, &duration, &voicing, nullptr, nullptr);
        EXPECT_EQ(duration, c.duration);
    }
}

// (rounding + base + scale (byte - offset)) >> shift: 8 + 100 + 3 x 72 is
// 324, >> 4 is 20; 8 + 100 - 384 is -276, >> 4 is -18 (arithmetic).
TEST_F(CepDTreeTest, IntegerScalingDecodesEveryMean)
{
    TreeFiles files;
    files.table.base = {100, 100, 0, 0, -5000000, 5000000};
    files.table.scale = {3, 3, 1, 1, 1, 1};
    CepDTree* tree = load(files);
    ASSERT_NE(tree, nullptr);
    std::vector<int16_t> cep(6, 77);
    int32_t pitch[3] = {};
    CepDTree_GetFrameMeans(tree, 0, 1, pitch, cep.data());
    // 10 - 128 + 8 = -110 >> 4 = -7; 250 - 128 + 8 = 130 >> 4 = 8; then
    // the means that leave the 16-bit range are held to it.
    EXPECT_EQ(cep, (std::vector<int16_t>{20, -18, 0, 0, -32768, 32767}));
    // Pitch: base + scale x (byte - 8).
    EXPECT_EQ(std::vector<int32_t>(pitch, pitch + 3), (std::vector<int32_t>{8000, 4, -(-2)}));
}

TEST_F(CepDTreeTest, ShiftOf32OrMoreLeavesTheSign)
{
    TreeFiles files;
    files.table.shift = 32;
    CepDTree* tree = load(files);
    ASSERT_NE(tree, nullptr);
    std::vector<int16_t> cep(6, 77);
    int32_t pitch[3] = {};
    CepDTree_GetFrameMeans(tree, 0, 0, pitch, cep.data());
    EXPECT_EQ(cep[0], 0);
    EXPECT_EQ(cep[1], -1);
}

// Without integer scaling the spectrum model unscales, and only the D
// statics are written.
TEST_F(CepDTreeTest, ScalingOffWritesOnlyTheStatics)
{
    TreeFiles files;
    files.table.integerScaling = 0;
    CepDTree* tree = load(files);
    ASSERT_NE(tree, nullptr);
    std::vector<int16_t> cep(6, 77);
    int32_t pitch[3] = {};
    CepDTree_GetFrameMeans(tree, 0, 0, pitch, cep.data());
    // 1000 + 10 (200 - 8); 2000 - 20 (0 - 8).
    EXPECT_EQ(cep, (std::vector<int16_t>{2920, 2160, 77, 77, 77, 77}));
}

TEST_F(CepDTreeTest, StatesPastTheModelGiveZeroMeans)
{
    CepDTree* tree = load(TreeFiles{});
    ASSERT_NE(tree, nullptr);
    std::vector<int16_t> cep(6, 77);
    int32_t pitch[3] = {5, 5, 5};
    CepDTree_GetFrameMeans(tree, 65535, 4, pitch, cep.data());
    EXPECT_EQ(cep, std::vector<int16_t>(6, 0));
    EXPECT_EQ(std::vector<int32_t>(pitch, pitch + 3), std::vector<int32_t>(3, 0));
}

TEST_F(CepDTreeTest, PostScaleNeedsItsTable)
{
    TreeFiles files;
    files.table.postScale = {3, -2};
    CepDTree* tree = load(files);
    ASSERT_NE(tree, nullptr);
    int32_t c[2] = {100, -100};
    CepDTree_PostScale(tree, c);
    // (8 + 100) >> 4 = 6, x 3; (8 - 100) >> 4 = -6, x -2.
    EXPECT_EQ(c[0], 18);
    EXPECT_EQ(c[1], 12);

    files.table.postScale.clear();
    CepDTree* plain = load(files);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->postScaleTable, nullptr);
    int32_t d[2] = {100, -100};
    CepDTree_PostScale(plain, d);
    EXPECT_EQ(d[0], 100);
    EXPECT_EQ(d[1], -100);
}

// Without integer scaling "btc0" holds no arrays: the CRC word comes next.
TEST_F(CepDTreeTest, FlagZeroReadsTheCrcNext)
{
    TreeFiles files;
    files.table.integerScaling = 0;
    files.table.phonemeSetCRC = 0x12345678;
    CepDTree* tree = load(files);
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(CepDTree_GetPhonemeSetCRC(tree), 0x12345678u);
    EXPECT_EQ(CepDTree_GetNumTTSPhonemeNodes(tree), 40);
    EXPECT_EQ(tree->baseTable, nullptr);
}

TEST_F(CepDTreeTest, InverseVariancesOfBothModels)
{
    TreeFiles files;
    files.spectrum.covType = 5;
    files.spectrum.rounding = 2;
    files.spectrumScale = std::vector<int32_t>(6, 2);
    files.editSpectrum = [](AcousticModelRecords& r) { r.set("10.invVarScale", 64); };
    files.pitch.covType = 2;
    files.pitch.rounding = 2;
    files.pitch.weights = {100, 100, 100};
    files.pitchScale = {2, 2, 2};
    CepDTree* tree = load(files);
    ASSERT_NE(tree, nullptr);
    std::vector<double> spectrum(6), pitch(3);
    CepDTree_GetInvVariances(tree, spectrum.data(), pitch.data());
    EXPECT_EQ(spectrum, std::vector<double>(6, 0.0625));
    EXPECT_EQ(pitch, std::vector<double>(3, 12.5));
    std::vector<double> only(3);
    CepDTree_GetInvVariances(tree, nullptr, only.data());
    EXPECT_EQ(only, pitch);
}

TEST_F(CepDTreeTest, ChecksumMovesWithEachPart)
{
    std::vector<std::function<void(TreeFiles&)>> changes = {
        [](TreeFiles&) {},
        [](TreeFiles& f) { f.spectrum.means[3] += 1; },
        [](TreeFiles& f) { f.duration.means[0] += 1; },
        [](TreeFiles& f) { f.pitch.means[0] += 1; },
        [](TreeFiles& f) { f.table.phonemeNodes += 1; },
        [](TreeFiles& f) { f.table.phonemeSetCRC += 1; },
        // D of 1 with a three-dimension spectrum.
        [](TreeFiles& f) {
            f.table.D = 1;
            f.spectrum = synthesisModelSpec(3, kPositions, {200, 0, 128, 1, 2, 3, 4, 5, 6, 7, 8, 9});
            f.spectrumBase = {1, 2, 3};
            f.spectrumScale = {1, 1, 1};
        },
    };
    std::set<uint32_t> crcs;
    for (const auto& change : changes) {
        TreeFiles files;
        change(files);
        CepDTree* tree = load(files);
        ASSERT_NE(tree, nullptr);
        crcs.insert(CepDTree_ComputeCRC(tree));
    }
    EXPECT_EQ(crcs.size(), changes.size());
}

struct Refusal {
    const char* name;
    std::function<void(TreeFiles&)> damage;
};

class CepDTreeRefusalTest : public CepDTreeTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(CepDTreeRefusalTest, LoadsNothing)
{
    TreeFiles files;
    GetParam().damage(files);
    EXPECT_EQ(load(files), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Damaged, CepDTreeRefusalTest,
    ::testing::Values(
        Refusal{"no btc0", [](TreeFiles& f) { f.writeTable = false; }},
        Refusal{"short record", [](TreeFiles& f) { f.editTable = [](AcousticModelRecords& r) { r.cut(r.records.size() - 1); }; }},
        Refusal{"base of count 0", [](TreeFiles& f) { f.editTable = [](AcousticModelRecords& r) { r.setArray("8.base", std::vector<int32_t>{}); }; }},
        Refusal{"scale of count 0", [](TreeFiles& f) { f.editTable = [](AcousticModelRecords& r) { r.setArray("8.scale", std::vector<int32_t>{}); }; }},
        Refusal{"third of wrong count", [](TreeFiles& f) { f.table.third = {1, 2}; }},
        Refusal{"post-scale of wrong count", [](TreeFiles& f) { f.table.postScale = {1, 2, 3}; }},
        Refusal{"negative shift", [](TreeFiles& f) { f.table.shift = -1; }},
        Refusal{"D of 0", [](TreeFiles& f) { f.table.D = 0; }},
        Refusal{"spectrum not 3D", [](TreeFiles& f) { f.table.D = 3; }},
        Refusal{"pitch not 3", [](TreeFiles& f) {
            f.pitch = synthesisModelSpec(4, kPositions);
            f.pitchBase = {1, 2, 3, 4};
            f.pitchScale = {1, 1, 1, 1};
        }},
        Refusal{"no pitch model", [](TreeFiles& f) { f.writePitch = false; }},
        Refusal{"pitch without unscaling", [](TreeFiles& f) { f.pitchUnscaling = false; }},
        Refusal{"spectrum without unscaling, scaling off", [](TreeFiles& f) {
            f.table.integerScaling = 0;
            f.spectrumUnscaling = false;
        }},
        Refusal{"duration tree missing", [](TreeFiles& f) { f.duration.tree = AcousticTreeSpec::none(); }},
        Refusal{"pitch tree not context-vector", [](TreeFiles& f) {
            f.pitch.tree = AcousticTreeSpec::treeA();
            f.pitch.states = 8;
            f.pitch.means.clear();
            f.voicing.assign(8, 1);
        }}),
    caseName<Refusal>);

TEST_F(CepDTreeTest, SpectrumWithoutUnscalingServesIntegerScaling)
{
    TreeFiles files;
    files.spectrumUnscaling = false;
    EXPECT_NE(load(files), nullptr);
}

// Every allocation failing in turn: the reader records raise, the others
// give none, and nothing is left allocated either way.
TEST_F(CepDTreeTest, EachAllocationFailingLeavesNothing)
{
    ArchiveFixture& archive = write(TreeFiles{});
    DVKTar* tar = archive.openForRead();
    const uint64_t before = m_allocator.calls();
    CepDTree_Delete(CepDTree_LoadFromBinFile(tar, nullptr));
    const uint64_t calls = m_allocator.calls() - before;
    ASSERT_GT(calls, 3u);
    int raised = 0;
    for (uint64_t n = 1; n <= calls; ++n) {
        const size_t live = m_allocator.liveBlocks();
        m_allocator.failAt(m_allocator.calls() + n);
        CepDTree* tree = nullptr;
        raised += DVKErr_Protect([&] { tree = CepDTree_LoadFromBinFile(tar, nullptr); });
        m_allocator.failAt(0);
        EXPECT_EQ(tree, nullptr) << "allocation " << n;
        CepDTree_Delete(tree);
        EXPECT_EQ(m_allocator.liveBlocks(), live) << "allocation " << n;
    }
    // One reader per sub-file: four raise.
    EXPECT_EQ(raised, 4);
}

} // namespace
