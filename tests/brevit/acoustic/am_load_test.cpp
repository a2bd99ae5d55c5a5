#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/acoustic/decision_tree.h"
#include "core/brevit/acoustic/shortlist.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_err.h"
#include "tests/brevit/acoustic/acoustic_fixture.h"
#include "tests/support/param_block_builder.h"

#include <functional>
#include <vector>

namespace {

using LoadTest = AcousticTest;

TEST_F(LoadTest, DefaultModelLoadsFromFileAndMemoryWithItsConfiguration)
{
    const AcousticModelRecords records = acousticModelRecords(AcousticModelSpec{});
    ArchiveFixture& archive = archiveWith(records);
    AM* fromFile = keep(AM_LoadFromBinFile(archive.openForRead(), nullptr, 0));
    AM* fromMemory = keep(AM_LoadFromBinFile(archive.openMapped(), nullptr, 0));
    ASSERT_NE(fromFile, nullptr);
    ASSERT_NE(fromMemory, nullptr);
    EXPECT_EQ(AM_ComputeCRC(fromFile, 0), AM_ComputeCRC(fromMemory, 0));
    EXPECT_EQ(AM_ComputeCRC(fromFile, 1), AM_ComputeCRC(fromMemory, 1));
    EXPECT_EQ(AM_ComputeTopologyCRC(fromFile), AM_ComputeTopologyCRC(fromMemory));

    AM* am = fromFile;
    EXPECT_EQ(AM_GetFeatureDim(am), 36);
    EXPECT_EQ(AM_GetScoringDim(am), 36);
    EXPECT_EQ(AM_GetNumStates(am), 8);
    EXPECT_EQ(AM_GetNumStatesPerModel(am), 2);
    EXPECT_EQ(AM_GetNumComponents(am, 3), 2);
    EXPECT_EQ(AM_GetNumComponents(am, 8), 1);  // an added model
    EXPECT_EQ(AM_GetSilenceStateId(am), 0);
    EXPECT_EQ(AM_GetSilenceModelId(am), 0);
    EXPECT_EQ(AM_GetNumPhoneModels(am), 6);
    EXPECT_EQ(AM_GetNumPhonemes(am), 3);
    EXPECT_EQ(AM_HasFillerModel(am), 0);
    EXPECT_EQ(AM_HasMLLRTransform(am), 0);
    EXPECT_EQ(AM_GetAdaptationStatusFlag(am), 0);
    EXPECT_EQ(AM_GetModelOptionFlag(am), 0);
    EXPECT_EQ(AM_HasFeatureMask(am), 0);
    EXPECT_EQ(AM_SupportsPhonemeRecognition(am), 1);
    EXPECT_EQ(AM_GetQuantizationScale(am), 128.0);
    EXPECT_EQ(AM_GetRawScoreFunction(am), nullptr);
    EXPECT_EQ(AM_GetModelConstant(am, 0), 0x12345678u);
    EXPECT_EQ(AM_GetModelConstant(am, 1), 0x12345678u);  // no second-constant flag
    EXPECT_EQ(AM_IsWarpIndexSet(am), 0);
    AM_SetWarpIndex(am, -2);
    EXPECT_EQ(AM_IsWarpIndexSet(am), 1);
    EXPECT_EQ(AM_GetWarpIndex(am), -2);
    AM_ResetWarpIndex(am);
    EXPECT_EQ(AM_IsWarpIndexSet(am), 0);
    AM_SetLimits(am, 9000, 700);
    EXPECT_EQ(am->scoreCeiling, 9000);
    EXPECT_EQ(am->frameIndex, -1);
    EXPECT_EQ(am->cache[7], kAMNotComputed);
    EXPECT_EQ(std::string(am->phonemeNames.names[1]), "ph1");
    EXPECT_EQ(am->modelCrc, &AM_ComputeCRC);
    EXPECT_EQ(am->stateKernel, &AM_CalculateScoreCSV);
    EXPECT_EQ(am->componentKernel, &AM_CalculateComponentScoreCSV);

    // A mean byte is a parameter, not topology.
    AcousticModelRecords changed = records;
    changed.at("29.means").bytes[5] ^= 1;
    AM* other = load(changed);
    ASSERT_NE(other, nullptr);
    EXPECT_NE(AM_ComputeCRC(other, 0), AM_ComputeCRC(am, 0));
    EXPECT_EQ(AM_ComputeTopologyCRC(other), AM_ComputeTopologyCRC(am));
}

TEST_F(LoadTest, SecondConstantAnswersOnlyWithItsFlag)
{
    AcousticModelSpec spec;
    spec.secondConstant = true;
    AM* am = load(spec);
    ASSERT_NE(am, nullptr);
    EXPECT_EQ(AM_GetModelConstant(am, 0), 0x12345678u);
    EXPECT_EQ(AM_GetModelConstant(am, 1), 0x9ABCDEF0u);
}

TEST_F(LoadTest, NoParametersModelLoadsBare)
{
    AcousticModelSpec spec;
    spec.noParameters = true;
    AM* am = load(spec);
    ASSERT_NE(am, nullptr);
    EXPECT_EQ(am->stateKernel, nullptr);
    EXPECT_EQ(am->modelCrc, nullptr);
    EXPECT_EQ(am->cache, nullptr);
    EXPECT_EQ(AM_ComputeCRC(am, 0), 0xFFFFFFFFu);
    EXPECT_EQ(AM_ComputeCRC(am, 1), 0xFFFFFFFFu);
}

struct FormCase {
    const char* name;
    std::function<void(AcousticModelSpec&)> shape;
    std::function<void(const AM*)> check;
};

TEST_F(LoadTest, EveryStorageFormAndBlockLoadsWithItsSizes)
{
    const auto counts = [](const AMArray& a) { return a.count; };
    const FormCase cases[] = {
        {"byte means, 16-bit weights, per component", [](AcousticModelSpec&) {},
         [&](const AM* am) {
             EXPECT_EQ(counts(am->means), 576u);
             EXPECT_EQ(counts(am->invVar16), 576u);
             EXPECT_EQ(counts(am->rowConstants), 16u);
             EXPECT_EQ(counts(am->offsets), 9u);
         }},
        {"4-bit means and weights",
         [](AcousticModelSpec& s) { s.fourBitMeans = s.fourBitWeights = s.byteWeights = true; },
         [&](const AM* am) {
             EXPECT_EQ(counts(am->means), 288u);
             EXPECT_EQ(counts(am->invVarByte), 288u);
         }},
        {"global weights",
         [](AcousticModelSpec& s) { s.covType = 2; },
         [&](const AM* am) {
             EXPECT_EQ(counts(am->invVar16), 36u);
             EXPECT_EQ(counts(am->rowConstants), 1u);
         }},
        {"weights per state",
         [](AcousticModelSpec& s) { s.covType = 3; },
         [&](const AM* am) {
             EXPECT_EQ(counts(am->invVar16), 288u);
             EXPECT_EQ(counts(am->rowConstants), 8u);
         }},
        {"inner product, scalar",
         [](AcousticModelSpec& s) {
             s.storage = AcousticStorage::InnerProduct;
             s.covType = 5;
         },
         [&](const AM* am) {
             EXPECT_EQ(counts(am->ipMeans), 144u);
             EXPECT_EQ(counts(am->companions1), 16u);
             EXPECT_EQ(am->companions1.size, 4u);
             EXPECT_EQ(counts(am->companions2), 0u);
             EXPECT_EQ(am->invVar16.data, nullptr);
             EXPECT_EQ(counts(am->rowConstants), 0u);
         }},
        {"inner product, 4-bit means, threshold",
         [](AcousticModelSpec& s) {
             s.storage = AcousticStorage::InnerProduct;
             s.covType = 5;
             s.fourBitMeans = s.threshold = true;
             s.dim = 24;
         },
         [&](const AM* am) {
             EXPECT_EQ(counts(am->ipMeans), 48u);
             EXPECT_EQ(counts(am->companions1), 16u);
             EXPECT_EQ(am->companions1.size, 2u);
             EXPECT_EQ(counts(am->companions2), 16u);
         }},
        {"inner product, Laplacian",
         [](AcousticModelSpec& s) {
             s.storage = AcousticStorage::InnerProduct;
             s.laplacian = true;
         },
         [&](const AM* am) {
             EXPECT_EQ(counts(am->var32), 576u);
             EXPECT_EQ(counts(am->companions1), 0u);
         }},
        {"Hare/Turtle",
         [](AcousticModelSpec& s) {
             s.storage = AcousticStorage::HareTurtle;
             s.byteWeights = true;
         },
         [&](const AM* am) {
             EXPECT_EQ(counts(am->htValues), 16u);
             EXPECT_EQ(counts(am->htVectors), 288u);
             EXPECT_EQ(counts(am->htWeights), 144u);
             EXPECT_EQ(am->invVarByte.data, nullptr);
             EXPECT_NE(am->htSquares, nullptr);
         }},
        {"single-component states",
         [](AcousticModelSpec& s) { s.singleComponent = true; },
         [&](const AM* am) {
             EXPECT_EQ(am->offsets.data, nullptr);
             EXPECT_EQ(counts(am->means), 288u);
             EXPECT_EQ(AM_GetNumComponents(am, 2), 1);
         }},
        {"32-bit offsets, uneven states",
         [](AcousticModelSpec& s) {
             s.offsets32 = true;
             s.offsets = {0, 1, 1, 4, 5, 6, 7, 9, 10};
         },
         [&](const AM* am) {
             EXPECT_EQ(am->offsets.size, 4u);
             EXPECT_EQ(AM_GetNumComponents(am, 1), 0);
             EXPECT_EQ(AM_GetNumComponents(am, 2), 3);
             EXPECT_EQ(counts(am->means), 360u);
         }},
        {"every optional block",
         [](AcousticModelSpec& s) {
             s.unscaling = s.tiedTable = s.triphoneIndex = s.componentBytes = s.stateBytes = true;
             s.auxLength = 3;
             s.vq = s.mllr = s.dynamicSilence = s.addedModels = s.shortlist = true;
             s.hasFiller = true;
             s.fillerState = 7;
         },
         [&](const AM* am) {
             EXPECT_EQ(counts(am->unscaleBase), 36u);
             EXPECT_EQ(counts(am->unscaleScale), 36u);
             EXPECT_EQ(counts(am->fullTiedTable), 54u);
             EXPECT_EQ(counts(am->triphoneIndex), 27u);
             EXPECT_EQ(counts(am->componentBytes), 16u);
             EXPECT_EQ(counts(am->stateBytes), 8u);
             EXPECT_EQ(counts(am->aux32), 3u);
             EXPECT_EQ(counts(am->vq.codewords), 8u);
             EXPECT_EQ(counts(am->vq.codebookOffsets), 3u);
             EXPECT_EQ(counts(am->vq.labels), 32u);
             EXPECT_EQ(counts(am->mllr.classes), 8u);
             EXPECT_EQ(AM_HasMLLRTransform(am), 1);
             EXPECT_EQ(counts(am->dynSil.initialMean), 36u);
             EXPECT_EQ(am->dynSil.shift, 2);
             EXPECT_EQ(am->addedValue1, 3);  // added phones 3 and 4 follow the phonemes
             EXPECT_EQ(am->addedValue2, 4);
             EXPECT_EQ(AM_GetNumPhoneModels(am), 8);
             ASSERT_NE(am->shortlist, nullptr);
             EXPECT_EQ(am->shortlist->numClusters, 2);
             EXPECT_EQ(am->shortlistCrc, &Shortlist_ComputeCRC);
             EXPECT_EQ(am->shortlistScorer, nullptr);
             EXPECT_EQ(AM_HasFillerModel(am), 1);
             EXPECT_EQ(am->fillerScoring, 1);
         }},
        {"VQ over 32-bit offsets",
         [](AcousticModelSpec& s) {
             s.vq = true;
             s.offsets32 = true;
         },
         [&](const AM* am) { EXPECT_EQ(counts(am->vq.labels), 32u); }},
        {"VQ over single-component states",
         [](AcousticModelSpec& s) {
             s.vq = true;
             s.singleComponent = true;
         },
         [&](const AM* am) { EXPECT_EQ(counts(am->vq.labels), 16u); }},
        {"inner-product VQ",
         [](AcousticModelSpec& s) {
             s.vq = true;
             s.vqSpec.innerProduct = true;
             s.vqSpec.elementCount = 24;
         },
         [&](const AM* am) {
             EXPECT_EQ(counts(am->vq.codewords), 6u);
             EXPECT_EQ(counts(am->vq.norms), 4u);
         }},
    };
    for (const FormCase& c : cases) {
        SCOPED_TRACE(c.name);
        AcousticModelSpec spec;
        c.shape(spec);
        AM* am = load(spec);
        ASSERT_NE(am, nullptr);
        c.check(am);
        EXPECT_EQ(am->means2, am->means.data);
        EXPECT_EQ(am->ipMeans2, am->ipMeans.data);
        EXPECT_EQ(am->companions1Second, am->companions1.data);
        EXPECT_EQ(am->companions2Second, am->companions2.data);
        EXPECT_NE(AM_ComputeCRC(am, 0), 0xFFFFFFFFu);
    }
}

TEST_F(LoadTest, MllrExtraArrayIsReadUnderItsParameterWord)
{
    AcousticModelSpec spec;
    spec.mllr = true;
    spec.mllrExtra = 4;
    ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamSaveModelStates, 1));
    AM* am = load(spec);
    ASSERT_NE(am, nullptr);
    EXPECT_EQ(am->mllr.extra.count, 5u);
}

TEST_F(LoadTest, KindsChooseTheirSubFiles)
{
    const AcousticModelRecords records = acousticModelRecords(AcousticModelSpec{});
    const struct {
        int32_t kind;
        const char* tag;
    } tags[] = {{0, "ba0"}, {1, "ba1"}, {2, "ba5"}, {3, "ba6"}, {4, "ba2"}, {5, "ba3"}, {6, "ba4"}};
    for (const auto& t : tags) {
        ArchiveFixture& archive = archiveWith(records, t.tag, "am/");
        DVKTar* tar = archive.openForRead();
        EXPECT_NE(keep(AM_LoadFromBinFile(tar, "am/", t.kind)), nullptr) << t.tag;
        EXPECT_EQ(AM_LoadFromBinFile(tar, "am/", (t.kind + 1) % kAMKindCount), nullptr) << t.tag;
    }
    // Any other kind reads the sub-file named by the bare prefix.
    ArchiveFixture& bare = archiveWith(records, "", "am/bare");
    for (int32_t kind : {7, -1}) {
        EXPECT_NE(keep(AM_LoadFromBinFile(bare.openForRead(), "am/bare", kind)), nullptr) << kind;
        EXPECT_EQ(AM_LoadFromBinFile(bare.openForRead(), "am/", kind), nullptr) << kind;
    }
}

struct Refusal {
    const char* name;
    std::function<void(AcousticModelSpec&)> shape;
    std::function<void(AcousticModelRecords&)> damage;
};

void none(AcousticModelSpec&) {}

TEST_F(LoadTest, RefusedModelsGiveNullAndLeaveNothing)
{
    const auto innerProduct = [](AcousticModelSpec& s) {
        s.storage = AcousticStorage::InnerProduct;
        s.covType = 5;
        s.threshold = true;
    };
    const auto treeB = [](AcousticModelSpec& s) { s.tree = AcousticTreeSpec::treeB(); };
    const Refusal cases[] = {
        {"a Boolean of 2", none, [](AcousticModelRecords& r) { r.set("3.vq", 2); }},
        {"means one short", none, [](AcousticModelRecords& r) { r.at("29.means").bytes.pop_back(); }},
        {"a lone second companion", innerProduct,
         [](AcousticModelRecords& r) { r.setArray("29.companions1", std::vector<int32_t>{}); }},
        {"inner product without first companions",
         [](AcousticModelSpec& s) {
             s.storage = AcousticStorage::InnerProduct;
             s.covType = 5;
             s.companions = false;
         },
         nullptr},
        {"scalar covariance with a weight array", [](AcousticModelSpec& s) { s.covType = 5; },
         [](AcousticModelRecords& r) {
             r.setArray("23.invVar16", std::vector<uint16_t>(36, 1));
         }},
        {"no weight array", none,
         [](AcousticModelRecords& r) { r.setArray("23.invVar16", std::vector<uint16_t>{}); }},
        {"two weight arrays", none,
         [](AcousticModelRecords& r) { r.setArray("23.invVarByte", std::vector<uint8_t>(576, 1)); }},
        {"byte weights without the byte array", [](AcousticModelSpec& s) { s.byteWeights = true; },
         [](AcousticModelRecords& r) {
             r.setArray("23.invVarByte", std::vector<uint8_t>{});
             r.setArray("23.invVar16", std::vector<uint16_t>(576, 1));
         }},
        {"offsets one short", none,
         [](AcousticModelRecords& r) { r.setArray("22.offsets", std::vector<uint16_t>{0, 2, 4, 6, 8, 10, 12, 14}); }},
        {"offsets not from 0", none,
         [](AcousticModelRecords& r) { r.setArray("22.offsets", std::vector<uint16_t>{1, 2, 4, 6, 8, 10, 12, 14, 16}); }},
        {"offsets decreasing", none,
         [](AcousticModelRecords& r) { r.setArray("22.offsets", std::vector<uint16_t>{0, 2, 4, 3, 8, 10, 12, 14, 16}); }},
        {"offsets past the components", none,
         [](AcousticModelRecords& r) { r.setArray("22.offsets", std::vector<uint16_t>{0, 2, 4, 6, 8, 10, 12, 14, 17}); }},
        {"negative states", none, [](AcousticModelRecords& r) { r.set("5.numStates", -1); }},
        {"component count overflowing", none,
         [](AcousticModelRecords& r) { r.set("9.components", 0x4000000); }},
        {"first adaptable state past the states", none,
         [](AcousticModelRecords& r) { r.set("5.firstAdaptableState", 9); }},
        {"more scored states than 16-bit ids", none, [](AcousticModelRecords& r) { r.set("5.scoredStates", 65535); }},
        {"fewer scored states than states", none, [](AcousticModelRecords& r) { r.set("5.scoredStates", 7); }},
        {"mean stride below the dimension", none, [](AcousticModelRecords& r) { r.set("8.meanStride", 35); }},
        {"4-bit mean stride below half", [](AcousticModelSpec& s) { s.fourBitMeans = true; },
         [](AcousticModelRecords& r) { r.set("8.meanStride", 17); }},
        {"variance stride below the dimension", none, [](AcousticModelRecords& r) { r.set("8.varStride", 35); }},
        {"scoring dimension past the features", none, [](AcousticModelRecords& r) { r.set("6.scoringDim", 37); }},
        {"too few variance rows per component", none, [](AcousticModelRecords& r) { r.set("10.varRows", 15); }},
        {"too few variance rows per state", [](AcousticModelSpec& s) { s.covType = 3; },
         [](AcousticModelRecords& r) { r.set("10.varRows", 7); }},
        {"conversion shift 32", none, [](AcousticModelRecords& r) { r.set("17.conversionShift", 32); }},
        {"conversion shift negative", none, [](AcousticModelRecords& r) { r.set("17.conversionShift", -1); }},
        {"low feature byte above high", none, [](AcousticModelRecords& r) { r.set("16.lowFeature", 200).set("16.highFeature", 100); }},
        {"minimum converted above maximum", none, [](AcousticModelRecords& r) { r.set("16.minConverted", 9).set("16.maxConverted", 8); }},
        {"silence past the scored states", none, [](AcousticModelRecords& r) { r.set("13.silenceState", 8); }},
        {"filler past the scored states", none, [](AcousticModelRecords& r) { r.set("21.fillerState", 8); }},
        {"silence model with more states than a model row", none,
         [](AcousticModelRecords& r) { r.set("13.specialStateCount", 3); }},
        {"silence model past the phone models", none, [](AcousticModelRecords& r) { r.set("13.silenceModel", 6); }},
        {"model-to-state entry past the states", none,
         [](AcousticModelRecords& r) { r.at("26.modelToState").bytes[0] = 8; }},
        {"single-component states without enough components",
         [](AcousticModelSpec& s) { s.singleComponent = true; },
         [](AcousticModelRecords& r) {
             r.set("9.components", 7).set("10.varRows", 7);
             r.at("29.means").bytes.resize(7 * 36);
             r.at("23.invVar16").bytes.resize(7 * 36 * 2);
             r.at("24.rowConstants").bytes.resize(7 * 4);
         }},
        {"tree nodes off by one", none, [](AcousticModelRecords& r) { r.set("30.nodes", 4); }},
        {"tree roots off by one", none, [](AcousticModelRecords& r) { r.set("30.rootCount", 7); }},
        {"more phones than 16-bit phone ids",
         [](AcousticModelSpec& s) {
             s.tree = AcousticTreeSpec::treeC();
             s.states = 24;
         },
         [](AcousticModelRecords& r) { r.set("30.phones", 65537); }},
        {"fewer roots than positions x phones", none,
         [](AcousticModelRecords& r) {
             r.set("30.rootCount", 5).drop("30.root5.first").drop("30.root5.count").drop("30.root5.base");
         }},
        {"fewer roots than the shared map needs", treeB,
         [](AcousticModelRecords& r) { r.setArray("30.sharedMap", std::vector<int16_t>{0, 1, 2}); }},
        {"negative shared map entry", treeB,
         [](AcousticModelRecords& r) { r.setArray("30.sharedMap", std::vector<int16_t>{0, -1, 1}); }},
        {"root with a negative first node", none, [](AcousticModelRecords& r) { r.set("30.root4.first", -1); }},
        {"root with a negative count", none, [](AcousticModelRecords& r) { r.set("30.root4.count", -2); }},
        {"root past the nodes", none, [](AcousticModelRecords& r) { r.set("30.root4.count", 3); }},
        {"child not after its node", none,
         [](AcousticModelRecords& r) { r.setArray("30.yes", std::vector<int8_t>{1, 0, -1}); }},
        {"child past its root", none,
         [](AcousticModelRecords& r) { r.setArray("30.no", std::vector<int8_t>{0, -2, 1}); }},
        {"leaf past the states", none, [](AcousticModelRecords& r) { r.set("30.root5.base", 8); }},
        {"leaf child past the states", none, [](AcousticModelRecords& r) { r.set("30.root4.base", 6); }},
        {"question row past the question bytes", none,
         [](AcousticModelRecords& r) { r.setArray("30.questionIndex", std::vector<uint8_t>{0, 2, 0}); }},
        {"inner-product rows shorter than the dimension",
         [](AcousticModelSpec& s) {
             s.storage = AcousticStorage::InnerProduct;
             s.covType = 5;
         },
         [](AcousticModelRecords& r) { r.set("8.ipStride", 8); }},
        {"inner-product rows past the stored words",
         [](AcousticModelSpec& s) {
             s.storage = AcousticStorage::InnerProduct;
             s.covType = 5;
         },
         [](AcousticModelRecords& r) { r.set("8.ipStride", 10); }},
        {"Hare/Turtle rows shorter than the dimension",
         [](AcousticModelSpec& s) {
             s.storage = AcousticStorage::HareTurtle;
             s.byteWeights = true;
             s.htLength = 17;
         },
         nullptr},
        {"inner-product and Hare/Turtle storage at once",
         [](AcousticModelSpec& s) {
             s.storage = AcousticStorage::HareTurtle;
             s.byteWeights = true;
         },
         [](AcousticModelRecords& r) { r.set("3.innerProduct", 1); }},
        {"truncated file", none, [](AcousticModelRecords& r) { r.drop("30.questionBits"); }},
    };
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.name);
        AcousticModelSpec spec;
        c.shape(spec);
        AcousticModelRecords records = acousticModelRecords(spec);
        if (c.damage) {
            // Only the damage is refused.
            EXPECT_NE(load(records), nullptr);
            c.damage(records);
        }
        const uint64_t liveBefore = m_allocator.liveBlocks();
        ArchiveFixture& archive = archiveWith(records);
        DVKTar* tar = archive.openMapped();
        const size_t liveWithArchive = m_allocator.liveBlocks();
        EXPECT_EQ(AM_LoadFromBinFile(tar, nullptr, 0), nullptr);
        EXPECT_EQ(m_allocator.liveBlocks(), liveWithArchive) << m_allocator.describeLeaks();
        archive.close(tar);
        EXPECT_EQ(m_allocator.liveBlocks(), liveBefore);
    }
}

AcousticModelSpec allBlocks()
{
    AcousticModelSpec s;
    s.unscaling = s.tiedTable = s.triphoneIndex = s.componentBytes = s.stateBytes = true;
    s.auxLength = 2;
    s.vq = s.mllr = s.dynamicSilence = s.addedModels = s.shortlist = true;
    s.hasFiller = true;
    s.fillerState = 7;
    return s;
}

TEST_F(LoadTest, ModelCutAfterAnyRecordIsRefused)
{
    const AcousticModelRecords records = acousticModelRecords(allBlocks());
    for (size_t keep = 1; keep < records.records.size(); ++keep) {
        AcousticModelRecords cut = records;
        cut.cut(keep);
        ArchiveFixture& archive = archiveWith(cut);
        DVKTar* tar = archive.openMapped();
        const size_t live = m_allocator.liveBlocks();
        EXPECT_EQ(AM_LoadFromBinFile(tar, nullptr, 0), nullptr) << "cut after " << records.records[keep - 1].name;
        EXPECT_EQ(m_allocator.liveBlocks(), live);
        archive.close(tar);
        m_archives.clear();
    }
}

TEST_F(LoadTest, EachFailingAllocationLeavesNothing)
{
    ArchiveFixture& archive = archiveWith(acousticModelRecords(allBlocks()));
    DVKTar* tar = archive.openMapped();
    const size_t live = m_allocator.liveBlocks();
    bool loaded = false;
    for (uint64_t n = 1; !loaded && n < 500; ++n) {
        SCOPED_TRACE(n);
        m_allocator.failAt(m_allocator.calls() + n);
        const uint64_t failuresBefore = m_allocator.failures();
        AM* am = nullptr;
        const int raised = DVKErr_Protect([&] { am = AM_LoadFromBinFile(tar, nullptr, 0); });
        const bool failed = m_allocator.failures() > failuresBefore;
        m_allocator.failAt(0);
        if (!failed) {
            ASSERT_NE(am, nullptr);
            AM_Destroy(am);
            loaded = true;
        } else {
            EXPECT_EQ(raised, n == 1 ? 1 : 0);
            EXPECT_EQ(am, nullptr);
        }
        EXPECT_EQ(m_allocator.liveBlocks(), live) << m_allocator.describeLeaks();
    }
    EXPECT_TRUE(loaded);
}

} // namespace
