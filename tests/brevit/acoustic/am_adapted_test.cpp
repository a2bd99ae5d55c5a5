#include "core/brevit/acoustic/am_added.h"
#include "core/brevit/acoustic/am_params.h"
#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_tar.h"
#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/brevit/acoustic/acoustic_fixture.h"
#include "tests/support/acoustic_gaussian_set.h"
#include "tests/support/fuzz_seed_check.h"
#include "tests/support/param_block_builder.h"

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

class AdaptedTest : public AcousticTest {
protected:
    // Loads the archive's "bamp0" into fresh models of spec with allocation
    // n = 1, 2, ... failing until a load succeeds: each failed load reports
    // failure and keeps what it read; the fixture checks for leaks at its
    // end. The number of failed loads.
    int32_t loadWithEachAllocationFailing(const AcousticModelSpec& spec, DVKTar* tar)
    {
        int32_t failures = 0;
        for (uint64_t n = 1; n < 100; ++n) {
            SCOPED_TRACE(n);
            AM* am = load(spec);
            EXPECT_NE(am, nullptr);
            if (am == nullptr)
                return failures;
            const size_t live = m_allocator.liveBlocks();
            m_allocator.failAt(m_allocator.calls() + n);
            const uint64_t before = m_allocator.failures();
            int32_t result = -1;
            DVKErr_Protect([&] { result = AM_LoadAdaptedParameters(am, tar, nullptr, 0, 0); });
            const bool failed = m_allocator.failures() > before;
            m_allocator.failAt(0);
            if (!failed) {
                EXPECT_EQ(result, 1);
                return failures;
            }
            EXPECT_NE(result, 1);
            EXPECT_GE(m_allocator.liveBlocks(), live);
            ++failures;
        }
        ADD_FAILURE() << "no load succeeded";
        return failures;
    }
};

// Size of a sub-file of a completed archive.
uint32_t subFileSize(ArchiveFixture& archive, const char* name)
{
    DVKTar* tar = archive.openForRead();
    DVKTarSubFile* sub = DVKTar_SubFileOpen(tar, name);
    if (sub == nullptr)
        return 0;
    const uint32_t size = DVKTar_SubFileGetSize(sub);
    DVKTar_SubFileClose(sub);
    return size;
}

// Saves under "bamp0" into a fresh archive.
ArchiveFixture& saved(std::vector<std::unique_ptr<ArchiveFixture>>& archives, AM* am,
                      int32_t* result)
{
    archives.push_back(std::make_unique<ArchiveFixture>("user" + std::to_string(archives.size()) + ".dvk"));
    ArchiveFixture& a = *archives.back();
    *result = AM_SaveAdaptedParameters(am, a.tar(), nullptr, 0, 0);
    a.finish();
    return a;
}

// Gives a byte model an adapted copy of its means, each byte raised by one.
void adaptBytes(AM* am)
{
    const uint32_t bytes = am->means.count * am->means.size;
    am->adaptedMeans = static_cast<uint8_t*>(DVKMem_Calloc(bytes));
    ASSERT_NE(am->adaptedMeans, nullptr);
    const auto* original = static_cast<const uint8_t*>(am->means.data);
    for (uint32_t i = 0; i < bytes; ++i)
        am->adaptedMeans[i] = static_cast<uint8_t>(original[i] + 1);
    am->means2 = am->adaptedMeans;
}

TEST_F(AdaptedTest, SubFileSizesFollowTheRecords)
{
    int32_t ok = 0;
    AM* plain = load(AcousticModelSpec{});
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(subFileSize(saved(m_archives, plain, &ok), "bamp0"), 16u);
    EXPECT_EQ(ok, 1);

    AcousticModelSpec added;
    added.addedModels = true;
    AM* withAdded = load(added);
    ASSERT_NE(withAdded, nullptr);
    EXPECT_EQ(subFileSize(saved(m_archives, withAdded, &ok), "bamp0"), 194u);

    AcousticModelSpec adaptable;
    adaptable.adaptable = true;
    AM* adapted = load(adaptable);
    ASSERT_NE(adapted, nullptr);
    adaptBytes(adapted);
    EXPECT_EQ(subFileSize(saved(m_archives, adapted, &ok), "bamp0"), 596u);
}

TEST_F(AdaptedTest, SaveLoadSaveKeepsTheBytesAndTheAdaptedMeansAreScored)
{
    AcousticModelSpec spec;
    spec.adaptable = true;
    spec.addedModels = true;
    spec.firstAdaptableState = 4;
    AM* source = load(spec);
    ASSERT_NE(source, nullptr);
    adaptBytes(source);
    AM_MarkAddedPhone(source, 4);
    std::vector<uint8_t> m(36, 9);
    AM_SetComponentMean(source, 10, 0, m.data());
    AM_SetWarpIndex(source, 3);
    int32_t ok = 0;
    ArchiveFixture& first = saved(m_archives, source, &ok);
    ASSERT_EQ(ok, 1);

    AM* target = load(spec);
    ASSERT_NE(target, nullptr);
    ASSERT_EQ(AM_LoadAdaptedParameters(target, first.openForRead(), nullptr, 0, 0), 1);
    EXPECT_EQ(AM_GetWarpIndex(target), 3);
    EXPECT_EQ(target->addedPhoneMarks[0], 0x10);
    for (int32_t s = 0; s < 8; ++s) {
        const uint8_t* a = AM_GetMeanVector(target, s, 0);
        const uint8_t* o = AM_GetOriginalMeanVector(target, s, 0);
        EXPECT_EQ(a[0], static_cast<uint8_t>(s < 4 ? o[0] : o[0] + 1)) << s;
    }
    const uint8_t* back = AM_GetComponentMean(target, 10, 0);
    EXPECT_EQ(std::vector<uint8_t>(back, back + 36), m);
    ArchiveFixture& second = saved(m_archives, target, &ok);
    ASSERT_EQ(ok, 1);
    EXPECT_EQ(second.bytes(), first.bytes());
    EXPECT_EQ(AM_ComputeCRC(target, 0), AM_ComputeCRC(source, 0));
    // The checksum covers the adapted copies and the added storage.
    AM* fresh = load(spec);
    ASSERT_NE(fresh, nullptr);
    EXPECT_NE(AM_ComputeCRC(fresh, 0), AM_ComputeCRC(target, 0));
    target->adaptedMeans[0] ^= 1;
    EXPECT_NE(AM_ComputeCRC(target, 0), AM_ComputeCRC(source, 0));
    target->adaptedMeans[0] ^= 1;
    AM_UnmarkAddedPhone(target, 4);
    EXPECT_NE(AM_ComputeCRC(target, 0), AM_ComputeCRC(source, 0));
}

TEST_F(AdaptedTest, SelectorsRefusalsAndBadRecordsFail)
{
    AM* am = load(AcousticModelSpec{});
    ASSERT_NE(am, nullptr);
    ArchiveFixture archive("sel.dvk");
    EXPECT_EQ(AM_SaveAdaptedParameters(am, archive.tar(), nullptr, 1, 0), 1);
    EXPECT_EQ(AM_SaveAdaptedParameters(am, archive.tar(), nullptr, 0, 1), 1);
    EXPECT_EQ(AM_SaveAdaptedParameters(am, archive.tar(), nullptr, 1, 1), 0);
    archive.finish();
    EXPECT_EQ(subFileSize(archive, "bamp1"), 16u);
    EXPECT_EQ(subFileSize(archive, "bamp2"), 16u);
    EXPECT_EQ(AM_LoadAdaptedParameters(am, archive.openForRead(), nullptr, 0, 0), 0);  // absent
    EXPECT_EQ(AM_LoadAdaptedParameters(am, archive.openForRead(), nullptr, 1, 0), 1);

    struct Case {
        const char* name;
        std::vector<int32_t> words;
    };
    // Words of a 16-byte sub-file: adapted, warp set, warp, MLLR.
    const Case cases[] = {
        {"adapted 2", {2, 0, 0, 0}},
        {"adapted on an unadaptable model", {1, 0, 0, 0}},
        {"warp set 2", {0, 2, 0, 0}},
        {"cut", {0, 0, 0}},
    };
    for (const Case& c : cases) {
        ArchiveFixture bad(std::string("bad-") + std::to_string(&c - cases) + ".dvk");
        std::string bytes(reinterpret_cast<const char*>(c.words.data()), c.words.size() * 4);
        bad.addBytes("bamp0", bytes);
        bad.finish();
        EXPECT_EQ(AM_LoadAdaptedParameters(am, bad.openForRead(), nullptr, 0, 0), 0) << c.name;
    }
}

TEST_F(AdaptedTest, EachFailingAllocationFailsTheLoadOrSaveAndLeavesNothing)
{
    AcousticModelSpec spec;
    spec.adaptable = true;
    spec.addedModels = true;
    AM* source = load(spec);
    ASSERT_NE(source, nullptr);
    adaptBytes(source);
    int32_t ok = 0;
    ArchiveFixture& archive = saved(m_archives, source, &ok);
    ASSERT_EQ(ok, 1);
    EXPECT_GE(loadWithEachAllocationFailing(spec, archive.openMapped()), 1);
    for (uint64_t n = 1; n < 100; ++n) {
        SCOPED_TRACE(n);
        ArchiveFixture out("fail-save-" + std::to_string(n) + ".dvk");
        DVKTar* writing = out.tar();
        m_allocator.failAt(m_allocator.calls() + n);
        const uint64_t before = m_allocator.failures();
        int32_t result = -1;
        DVKErr_Protect([&] { result = AM_SaveAdaptedParameters(source, writing, nullptr, 0, 0); });
        const bool failed = m_allocator.failures() > before;
        m_allocator.failAt(0);
        out.finish();
        if (!failed) {
            EXPECT_EQ(result, 1);
            break;
        }
        EXPECT_NE(result, 1);
    }
}

// The fuzz target's models: adaptable, added phones 3 and 4, first
// adaptable state 4, byte or inner-product means.
AcousticModelSpec fuzzModel(bool innerProduct)
{
    AcousticModelSpec spec;
    spec.adaptable = true;
    spec.addedModels = true;
    spec.firstAdaptableState = 4;
    if (innerProduct) {
        spec.storage = AcousticStorage::InnerProduct;
        spec.covType = 5;
        spec.threshold = true;
    }
    return spec;
}

std::string subFileBytes(ArchiveFixture& archive, const char* name)
{
    DVKTar* tar = archive.openForRead();
    DVKTarSubFile* sub = DVKTar_SubFileOpen(tar, name);
    if (sub == nullptr)
        return {};
    std::string bytes(DVKTar_SubFileGetSize(sub), '\0');
    DVKTar_SubFileRead(sub, bytes.data(), static_cast<int32_t>(bytes.size()));
    DVKTar_SubFileClose(sub);
    return bytes;
}

// An archive holding the written records as "bamp0".
ArchiveFixture& written(std::vector<std::unique_ptr<ArchiveFixture>>& archives, const AdaptedParametersSpec& spec)
{
    archives.push_back(std::make_unique<ArchiveFixture>("written" + std::to_string(archives.size()) + ".dvk"));
    ArchiveFixture& a = *archives.back();
    writeAcousticModel(a, adaptedParameterRecords(spec), "bamp0");
    a.finish();
    return a;
}

// Scores of states [from, to) of a model on one frame through its installed
// kernels.
std::vector<int32_t> scores(AM* am, const std::vector<uint8_t>& frame, int32_t index, int32_t from, int32_t to)
{
    std::unique_ptr<AMScoringSet, void (*)(AMScoringSet*)> set(AM_NewScoringSet(), AM_DeleteScoringSet);
    AM_GetScoringFunctions(am, set.get(), 0, 0);
    AM_NewFrame(am, frame.data(), nullptr, set.get(), index, 1);
    std::vector<int32_t> out;
    for (int32_t s = from; s < to; ++s)
        out.push_back(AM_ScoreStateDirect(am, s, 0, 0));
    uint32_t crc = 0;
    AM_EndFrame(am, 0, &crc);
    return out;
}

// Two Gaussian sets alike but for their means, stored in one form: the
// model and what adaptation made of it.
struct AdaptedPair {
    GaussianSet original, adapted;
    AcousticModelSpec originalSpec, adaptedSpec;
};

AdaptedPair adaptedPair(uint32_t seed, GaussianForm form, int32_t dim, uint32_t maxValue, bool threshold)
{
    std::mt19937 random(seed);
    AdaptedPair p;
    p.original = makeGaussianSet(random, dim, maxValue, maxValue, (1u << 16) - 1, 8);
    p.adapted = p.original;
    for (auto& m : p.adapted.means)
        for (auto& b : m)
            b = static_cast<uint8_t>(std::uniform_int_distribution<uint32_t>(0, maxValue)(random));
    for (AcousticModelSpec* spec : {&p.originalSpec, &p.adaptedSpec}) {
        *spec = gaussianModelSpec(spec == &p.originalSpec ? p.original : p.adapted, form, threshold);
        spec->adaptable = true;
        spec->addedModels = true;
        spec->firstAdaptableState = 4;
        spec->partialThreshold = 0x7FFFFFFF - 1000000;
        spec->multiplier = 40;
        spec->rounding = 512;
        spec->shift = 10;
        spec->ceiling = 32767;
    }
    return p;
}

// The adapted file written record by record loads into the model, makes the
// states from the first adaptable one on score as the adapted model does
// (those before it as before) and the added states score their loaded
// means; saved again it is the same file, and a second model loaded from it
// has the same checksum.
TEST_F(AdaptedTest, InnerProductFileLoadsScoresAndSavesAsWritten)
{
    const AdaptedPair p = adaptedPair(5, GaussianForm::InnerProduct, 24, 127, true);
    AdaptedParametersSpec file = AdaptedParametersSpec::sizedFor(p.originalSpec);
    file.adapted = true;
    ASSERT_EQ(file.ipMeans.size() * 4, p.adaptedSpec.means.size());
    std::memcpy(file.ipMeans.data(), p.adaptedSpec.means.data(), p.adaptedSpec.means.size());
    file.first32 = p.adaptedSpec.companions1;
    file.second32 = p.adaptedSpec.companions2;
    // Added phone 3 trained: its two states hold the ramp and its reverse.
    std::vector<uint8_t> ramp(24), back(24);
    for (int32_t d = 0; d < 24; ++d) {
        ramp[static_cast<size_t>(d)] = static_cast<uint8_t>(4 * d);
        back[static_cast<size_t>(d)] = static_cast<uint8_t>(100 - 3 * d);
    }
    for (int32_t k = 0; k < 2; ++k) {
        const std::vector<uint8_t>& m = k == 0 ? ramp : back;
        std::memcpy(file.addedIpMeans.data() + 6 * k, m.data(), 24);
        int32_t head = 0, tail = 0;
        for (int32_t d = 0; d < 24; ++d)
            (d < 8 ? head : tail) += m[static_cast<size_t>(d)] * m[static_cast<size_t>(d)];
        file.addedFirst32[static_cast<size_t>(k)] = head;
        file.addedSecond32[static_cast<size_t>(k)] = tail;
    }
    file.phoneMarks = {0x08};
    file.stateMarks = {0x03};
    file.warpIndexSet = 1;
    file.warpIndex = -2;
    file.mllrApplied = 1;
    ArchiveFixture& in = written(m_archives, file);

    AM* am = load(p.originalSpec);
    AM* fresh = load(p.originalSpec);
    AM* target = load(p.adaptedSpec);
    ASSERT_NE(am, nullptr);
    ASSERT_NE(fresh, nullptr);
    ASSERT_NE(target, nullptr);
    ASSERT_EQ(AM_LoadAdaptedParameters(am, in.openForRead(), nullptr, 0, 0), 1);
    EXPECT_EQ(AM_GetWarpIndex(am), -2);
    EXPECT_EQ(AM_HasMLLRTransform(am), 1);
    const int32_t S = p.original.states();
    std::mt19937 random(9);
    for (int32_t f = 0; f < 10; ++f) {
        std::vector<uint8_t> x(24);
        for (auto& b : x)
            b = static_cast<uint8_t>(std::uniform_int_distribution<uint32_t>(0, 127)(random));
        const std::vector<int32_t> got = scores(am, x, f, 0, S + 2);
        const std::vector<int32_t> before = scores(fresh, x, f, 0, 4);
        const std::vector<int32_t> after = scores(target, x, f, 4, S);
        EXPECT_EQ(std::vector<int32_t>(got.begin(), got.begin() + 4), before);
        EXPECT_EQ(std::vector<int32_t>(got.begin() + 4, got.begin() + S), after);
        for (int32_t k = 0; k < 2; ++k) {
            const std::vector<uint8_t>& m = k == 0 ? ramp : back;
            int64_t v = 0;
            for (size_t d = 0; d < 24; ++d)
                v += (m[d] - x[d]) * (m[d] - x[d]);
            EXPECT_EQ(got[static_cast<size_t>(S + k)], std::min<int64_t>(32767, (256 + 40 * v) >> 10)) << k;
        }
    }
    int32_t ok = 0;
    ArchiveFixture& out = saved(m_archives, am, &ok);
    ASSERT_EQ(ok, 1);
    EXPECT_EQ(subFileBytes(out, "bamp0"), subFileBytes(in, "bamp0"));
    AM* again = load(p.originalSpec);
    ASSERT_NE(again, nullptr);
    ASSERT_EQ(AM_LoadAdaptedParameters(again, out.openForRead(), nullptr, 0, 0), 1);
    EXPECT_EQ(AM_ComputeCRC(again, 0), AM_ComputeCRC(am, 0));
    EXPECT_NE(AM_ComputeCRC(fresh, 0), AM_ComputeCRC(am, 0));
}

// The inner-product file allocates each of its copies: with each allocation
// failing in turn the load fails, keeps what it read and leaks nothing.
TEST_F(AdaptedTest, InnerProductLoadWithEachAllocationFailing)
{
    const AdaptedPair p = adaptedPair(4, GaussianForm::InnerProduct, 24, 127, true);
    AdaptedParametersSpec file = AdaptedParametersSpec::sizedFor(p.originalSpec);
    file.adapted = true;
    // The reader and the three copies at least.
    EXPECT_GE(loadWithEachAllocationFailing(p.originalSpec, written(m_archives, file).openMapped()), 4);
}

// Hare/Turtle copies have no second parameter set: once loaded, every state
// scores them.
TEST_F(AdaptedTest, HareTurtleCopiesAreScoredForEveryState)
{
    const struct {
        const char* name;
        int32_t dim;
        uint32_t maxValue;
        uint32_t word31;
    } cases[] = {{"Turtle", 24, 255, 1}, {"Hare", 36, 31, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamScoreTurtleFormat, c.word31));
        AdaptedPair p = adaptedPair(7, GaussianForm::TurtleHare, c.dim, c.maxValue, false);
        for (AcousticModelSpec* spec : {&p.originalSpec, &p.adaptedSpec}) {
            spec->multiplier = 3000;
            spec->rounding = 8192;
            spec->shift = 12;
        }
        AdaptedParametersSpec file = AdaptedParametersSpec::sizedFor(p.originalSpec);
        file.adapted = true;
        file.htValues = p.adaptedSpec.htValues;
        file.htVectors = p.adaptedSpec.htVectors;
        ArchiveFixture& in = written(m_archives, file);
        AM* am = load(p.originalSpec);
        AM* target = load(p.adaptedSpec);
        ASSERT_NE(am, nullptr);
        ASSERT_NE(target, nullptr);
        ASSERT_EQ(AM_LoadAdaptedParameters(am, in.openForRead(), nullptr, 0, 0), 1);
        const int32_t S = p.original.states();
        std::mt19937 random(13);
        for (int32_t f = 0; f < 10; ++f) {
            std::vector<uint8_t> x(static_cast<size_t>(c.dim));
            for (auto& b : x)
                b = static_cast<uint8_t>(std::uniform_int_distribution<uint32_t>(0, c.maxValue)(random));
            EXPECT_EQ(scores(am, x, f, 0, S), scores(target, x, f, 0, S)) << "frame " << f;
        }
        for (int32_t s = 0; s < S; ++s)
            for (int32_t k = 0; k < AM_GetNumComponents(am, s); ++k) {
                const std::vector<uint8_t> mine(AM_GetComponentMean(am, s, k), AM_GetComponentMean(am, s, k) + c.dim);
                const uint8_t* theirs = AM_GetComponentMean(target, s, k);
                EXPECT_EQ(mine, std::vector<uint8_t>(theirs, theirs + c.dim)) << s << " " << k;
            }
        int32_t ok = 0;
        ArchiveFixture& out = saved(m_archives, am, &ok);
        ASSERT_EQ(ok, 1);
        EXPECT_EQ(subFileBytes(out, "bamp0"), subFileBytes(in, "bamp0"));
    }
}

// Record by record: the file cut before any record, any array one element
// long or a Boolean of 2 fails the load; the whole file loads. Each try
// starts from a fresh model, as what a failed load read stays.
TEST_F(AdaptedTest, EveryCutMiscountAndBadBooleanFailsTheLoad)
{
    const AdaptedPair p = adaptedPair(3, GaussianForm::InnerProduct, 24, 127, true);
    AdaptedParametersSpec file = AdaptedParametersSpec::sizedFor(p.originalSpec);
    file.adapted = true;
    const AcousticModelRecords good = adaptedParameterRecords(file);
    std::vector<std::pair<std::string, AcousticModelRecords>> bad;
    // (An empty sub-file the archive does not write.)
    for (size_t n = 1; n < good.records.size(); ++n)
        bad.emplace_back("cut before " + good.records[n].name, AcousticModelRecords(good).cut(n));
    for (const AcousticRecord& r : good.records) {
        AcousticModelRecords changed = good;
        AcousticRecord& c = changed.at(r.name);
        if (r.kind == AcousticRecord::Array)
            c.bytes.resize(c.bytes.size() + c.elementSize, 0);
        else if (r.name == "1.adapted" || r.name == "15.warpIndexSet")
            c.word = 2;
        else
            continue;
        bad.emplace_back(r.name + " miscounted or 2", changed);
    }
    for (const auto& [name, records] : bad) {
        ArchiveFixture archive("bad" + std::to_string(&name - &bad[0].first) + ".dvk");
        writeAcousticModel(archive, records, "bamp0");
        archive.finish();
        AM* am = load(p.originalSpec);
        ASSERT_NE(am, nullptr);
        EXPECT_EQ(AM_LoadAdaptedParameters(am, archive.openForRead(), nullptr, 0, 0), 0) << name;
    }
    ArchiveFixture& whole = written(m_archives, file);
    AM* am = load(p.originalSpec);
    ASSERT_NE(am, nullptr);
    EXPECT_EQ(AM_LoadAdaptedParameters(am, whole.openForRead(), nullptr, 0, 0), 1);
    // What an unadapted model with added phones saves is the writer's file.
    AcousticModelSpec plainAdded;
    plainAdded.addedModels = true;
    AM* plain = load(plainAdded);
    ASSERT_NE(plain, nullptr);
    int32_t ok = 0;
    EXPECT_EQ(subFileBytes(saved(m_archives, plain, &ok), "bamp0"),
              subFileBytes(written(m_archives, AdaptedParametersSpec::sizedFor(plainAdded)), "bamp0"));
}

TEST_F(AdaptedTest, CommittedFuzzSeedsAreWhatSaveMakes)
{
    int32_t ok = 0;
    for (bool ip : {false, true}) {
        AM* am = load(fuzzModel(ip));
        ASSERT_NE(am, nullptr);
        AM_MarkAddedPhone(am, 3);
        std::vector<uint8_t> m(36, 7);
        AM_SetComponentMean(am, 8, 0, m.data());
        checkFuzzSeed("brevit_adapted_parameters", ip ? "ip-added" : "byte-added",
                      subFileBytes(saved(m_archives, am, &ok), "bamp0"));
        if (!ip) {
            adaptBytes(am);
            checkFuzzSeed("brevit_adapted_parameters", "byte-adapted",
                          subFileBytes(saved(m_archives, am, &ok), "bamp0"));
        }
    }
}

} // namespace
