#include "core/brevit/acoustic/am_added.h"
#include "core/brevit/acoustic/am_params.h"
#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_tar.h"
#include "tests/brevit/acoustic/acoustic_fixture.h"
#include "tests/support/fuzz_seed_check.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

using AdaptedTest = AcousticTest;

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
    DVKTar* tar = archive.openMapped();
    bool loaded = false;
    for (uint64_t n = 1; !loaded && n < 100; ++n) {
        SCOPED_TRACE(n);
        // A fresh model each time; the fixture checks for leaks at its end.
        AM* am = load(spec);
        ASSERT_NE(am, nullptr);
        const size_t live = m_allocator.liveBlocks();
        m_allocator.failAt(m_allocator.calls() + n);
        const uint64_t before = m_allocator.failures();
        int32_t result = -1;
        DVKErr_Protect([&] { result = AM_LoadAdaptedParameters(am, tar, nullptr, 0, 0); });
        const bool failed = m_allocator.failures() > before;
        m_allocator.failAt(0);
        if (!failed) {
            EXPECT_EQ(result, 1);
            loaded = true;
        } else {
            EXPECT_NE(result, 1);
            // What was read stays with the model, nothing else is kept.
            EXPECT_GE(m_allocator.liveBlocks(), live);
        }
    }
    EXPECT_TRUE(loaded);
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
