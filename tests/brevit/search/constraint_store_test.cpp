// The constraint stores: the manager's "bcm0" (round trip, refusals, cuts,
// allocation failures) and the constraint file's "bcn0".
#include "core/brevit/runtime/bin_file_writer.h"
#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/search/constraint_manager.h"
#include "tests/brevit/search/constraint_test.h"
#include "tests/support/archive_fixture.h"
#include "tests/support/constraint_store_writer.h"
#include "tests/support/fuzz_seed_check.h"
#include "tests/support/class_pair_network.h"
#include "tests/brevit/search/fake_vocabulary.h"
#include "core/brevit/search/constraint_kind_doubles.h"

#include <array>
#include <string>
#include <vector>

namespace {

using constraint_store::ConstraintFileSpec;
using constraint_store::ManagerSpec;
using constraint_store::Records;
using constraint_store::RecordWriter;

auto* const kClasses = reinterpret_cast<ClassManager*>(0x40);

RecordWriter recordOf(const ScriptedSpec& spec)
{
    return [spec](BinFileWriter* w) { return ScriptedConstraint_WriteRecord(w, spec); };
}

class ConstraintStoreTest : public ConstraintTest {
protected:
    void TearDown() override
    {
        for (ConstraintManager* m : m_managers) {
            dropClassHolds(m);
            ConstraintManager_Delete(m);
        }
        m_managers.clear();
        ConstraintTest::TearDown();
    }

    ConstraintManager* manager(int32_t n = 1)
    {
        m_managers.push_back(ConstraintManager_Create(n));
        return m_managers.back();
    }

    // The class side of the references is not here: drop its holds so that
    // the manager's deletion can free what it holds.
    static void dropClassHolds(ConstraintManager* m)
    {
        for (int32_t i = 0; i <= m->highest; ++i)
            while (ConstraintManager_RemoveReference(m, i) > 0) {
            }
    }

    static ScriptedSpec spec(const std::string& name, int32_t type, uint32_t crc)
    {
        ScriptedSpec s = named(name, type);
        s.crc = crc;
        s.steps = {{0, 10, 1, 1, 3}};
        s.classIds = type == kConstraintTypeClassPair ? std::vector<uint32_t>{7, 9} : std::vector<uint32_t>{};
        return s;
    }

    // The saved manager of the round trip: whole vocabulary at 0, a
    // transcription at 1, a class pair with two class references at 2.
    ConstraintManager* saved()
    {
        ConstraintManager* m = manager();
        ConstraintManager_AddConstraint(m, ScriptedConstraint_Create(spec("voc", 2, 0x11111111u)), -1);
        ConstraintManager_AddConstraint(m, ScriptedConstraint_Create(spec("words", 1, 0x22222222u)), -1);
        ConstraintManager_AddConstraint(m, ScriptedConstraint_Create(spec("pair", 3, 0x33333333u)), -1);
        ConstraintManager_AddReference(m, 2);
        ConstraintManager_AddReference(m, 2);
        return m;
    }

public:
    static ScriptedSpec seedSpec(const std::string& name, int32_t type) { return spec(name, type, 0x5EED); }
    static ManagerSpec seedManager() { return savedSpec(); }

protected:
    // The same store from the writer.
    static ManagerSpec savedSpec()
    {
        ManagerSpec s;
        s.entries = {{0, 2, recordOf(spec("voc", 2, 0x11111111u))}, {2, 3, recordOf(spec("pair", 3, 0x33333333u))}};
        s.unstored = 1;
        s.referenceCapacity = 2;
        s.references = {{1, 0x40000000u}, {2, 0x40000002u}};
        return s;
    }

    // The archive image holding one sub-file of these records.
    static std::string image(const char* tag, const Records& records, const char* name = "store.dvk")
    {
        ArchiveFixture archive(name);
        archive.add(tag, [&](BinFileWriter* w) { return records.write(w); });
        archive.finish();
        return archive.bytes();
    }

    uint32_t referenceWord(const ConstraintManager* m, int32_t i)
    {
        return static_cast<uint32_t*>(m->references[i >> 8])[i & 255];
    }

    // Reads image into a fresh manager: the result, and the manager unchanged
    // on failure.
    int32_t readInto(ConstraintManager* m, const std::string& bytes)
    {
        ArchiveFixture archive("read.dvk");
        DVKTar* tar = archive.openMapped(bytes);
        EXPECT_NE(tar, nullptr);
        return ConstraintManager_ReadPSAFile(m, tar, nullptr, nullptr, kClasses);
    }

    std::vector<ConstraintManager*> m_managers;
};

TEST_F(ConstraintStoreTest, RoundTripIntoAFreshManager)
{
    ConstraintManager* original = saved();
    ArchiveFixture archive("saved.dvk");
    ASSERT_EQ(ConstraintManager_WritePSAFile(original, archive.tar(), nullptr), 1);
    archive.finish();

    ConstraintManager* restored = manager();
    ASSERT_EQ(readInto(restored, archive.bytes()), 1);
    EXPECT_STREQ(ConstraintManager_GetConstraint(restored, 0)->name, "voc");
    EXPECT_EQ(ConstraintManager_GetConstraint(restored, 1), nullptr);
    EXPECT_STREQ(ConstraintManager_GetConstraint(restored, 2)->name, "pair");
    EXPECT_EQ(ConstraintManager_GetConstraint(restored, 2)->classManager, kClasses);
    EXPECT_EQ(ConstraintManager_GetNumConstraints(restored), 2);
    EXPECT_EQ(ConstraintManager_GetMaxIndex(restored), 2);
    EXPECT_EQ(referenceWord(restored, 0), 0x40000000u);
    EXPECT_EQ(referenceWord(restored, 2), 0x40000002u);
    ConstraintManager_ReleaseConstraint(original, 1);
    EXPECT_EQ(ConstraintManager_ComputeCRC(restored), ConstraintManager_ComputeCRC(original));

    // The writer makes the same sub-file.
    EXPECT_EQ(image("bcm0", constraint_store::managerRecords(savedSpec()), "saved.dvk"), archive.bytes());
}

TEST_F(ConstraintStoreTest, AnEmptyManagerRoundTrips)
{
    ConstraintManager* original = manager(300);
    ArchiveFixture archive("empty.dvk");
    ASSERT_EQ(ConstraintManager_WritePSAFile(original, archive.tar(), "user/"), 1);
    archive.finish();
    ConstraintManager* restored = manager(1);
    DVKTar* tar = archive.openMapped();
    EXPECT_EQ(ConstraintManager_ReadPSAFile(restored, tar, nullptr, nullptr, nullptr), 0);   // other prefix
    ASSERT_EQ(ConstraintManager_ReadPSAFile(restored, tar, "user/", nullptr, nullptr), 1);
    EXPECT_EQ(ConstraintManager_ComputeCRC(restored), ConstraintManager_ComputeCRC(original));
}

TEST_F(ConstraintStoreTest, ARestoreGoesOnlyIntoAManagerWithoutConstraints)
{
    const std::string bytes = image("bcm0", constraint_store::managerRecords(savedSpec()));
    ConstraintManager* busy = manager();
    ConstraintManager_AddConstraint(busy, ScriptedConstraint_Create(named("mine")), -1);
    EXPECT_EQ(readInto(busy, bytes), 0);
    EXPECT_EQ(ConstraintManager_GetNumConstraints(busy), 1);

    // Emptied again (its pages stay): the restore replaces them.
    ConstraintManager_ReleaseConstraint(busy, 0);
    EXPECT_EQ(readInto(busy, bytes), 1);
    EXPECT_EQ(ConstraintManager_GetNumConstraints(busy), 2);
}

TEST_F(ConstraintStoreTest, WritingFailsWithAFailingKindAndOppositeByteOrderIsRefused)
{
    ConstraintManager* m = saved();
    ScriptedSpec failing = spec("failing", 3, 1);
    failing.writeFails = true;
    ConstraintManager_AddConstraint(m, ScriptedConstraint_Create(failing), -1);
    {
        ArchiveFixture archive("failing.dvk");
        EXPECT_EQ(ConstraintManager_WritePSAFile(m, archive.tar(), nullptr), 0);
    }
    ConstraintManager_ReleaseConstraint(m, 3);
    ArchiveFixture archive("swapped.dvk");
    archive.useOppositeByteOrder();
    ASSERT_EQ(ConstraintManager_WritePSAFile(m, archive.tar(), nullptr), 1);
    archive.finish();
    ConstraintManager* restored = manager();
    EXPECT_EQ(readInto(restored, archive.bytes()), 0);
    EXPECT_EQ(ConstraintManager_GetMaxIndex(restored), -1);
}

struct Damage {
    const char* what;
    void (*apply)(ManagerSpec&, Records&);
};

TEST_F(ConstraintStoreTest, DamagedStoresAreRefusedLeavingTheManagerUnchanged)
{
    const Damage damages[] = {
        {"negative capacity", [](ManagerSpec&, Records& r) { r.changeWord("capacity", 0xFFFFFFFFu); }},
        {"pages above capacity", [](ManagerSpec&, Records& r) { r.changeWord("capacity", 0); }},
        {"capacity above 65536 pages", [](ManagerSpec&, Records& r) { r.changeWord("capacity", 65537); }},
        {"reference capacity above 65536 pages",
         [](ManagerSpec&, Records& r) { r.changeWord("referenceCapacity", 65537); }},
        {"reference pages other than pages", [](ManagerSpec&, Records& r) { r.changeWord("referencePages", 2); }},
        {"reference pages above their capacity",
         [](ManagerSpec&, Records& r) { r.changeWord("referenceCapacity", 0); }},
        {"highest below -1", [](ManagerSpec&, Records& r) { r.changeWord("highest", 0xFFFFFFFEu); }},
        {"highest past the pages", [](ManagerSpec&, Records& r) { r.changeWord("highest", 256); }},
        {"count above highest + 1", [](ManagerSpec&, Records& r) { r.changeWord("count", 4); }},
        {"negative count", [](ManagerSpec&, Records& r) { r.changeWord("count", 0xFFFFFFFFu); }},
        {"stored flag 2", [](ManagerSpec&, Records& r) { r.changeWord("flag 1", 2); }},
        {"unknown type", [](ManagerSpec&, Records& r) { r.changeWord("type 2", 4); }},
        {"transcription type", [](ManagerSpec&, Records& r) { r.changeWord("type 0", 1); }},
        {"kind record unreadable", [](ManagerSpec&, Records& r) {
             r.change("record 2", [](BinFileWriter* w) { return BinFileWriter_WriteInt(w, 5) == 1; });
         }},
        {"reference pages missing", [](ManagerSpec&, Records& r) {
             r.change("references", [](BinFileWriter* w) { return BinFileWriter_WriteUnsignedInt(w, 0) == 1; });
         }},
        {"a constraint without a reference word", [](ManagerSpec& s, Records& r) {
             s.references = {{2, 0}};
             r = constraint_store::managerRecords(s);
         }},
        {"a reference word with bit 31", [](ManagerSpec& s, Records& r) {
             s.references = {{0, 0xC0000000u}};
             r = constraint_store::managerRecords(s);
         }},
    };
    ConstraintManager* m = manager();
    const uint32_t crc = ConstraintManager_ComputeCRC(m);
    for (const Damage& d : damages) {
        ManagerSpec s = savedSpec();
        Records records = constraint_store::managerRecords(s);
        d.apply(s, records);
        EXPECT_EQ(readInto(m, image("bcm0", records)), 0) << d.what;
        EXPECT_EQ(ConstraintManager_ComputeCRC(m), crc) << d.what;
        EXPECT_EQ(m->pages, nullptr) << d.what;
        EXPECT_EQ(m_allocator.liveBlocks(), 1u) << d.what << "\n" << m_allocator.describeLeaks();
    }
    // The undamaged store reads.
    EXPECT_EQ(readInto(m, image("bcm0", constraint_store::managerRecords(savedSpec()))), 1);
}

TEST_F(ConstraintStoreTest, AHeaderPromisingMoreThanTheSubFileHoldsAllocatesNothing)
{
    // Allocations of a read refused at its first header word: the reader's own.
    auto allocationsOf = [&](const Records& records) {
        const std::string bytes = image("bcm0", records);
        ArchiveFixture archive("read.dvk");
        DVKTar* tar = archive.openMapped(bytes);
        const uint64_t calls = m_allocator.calls();
        EXPECT_EQ(ConstraintManager_ReadPSAFile(manager(), tar, nullptr, nullptr, kClasses), 0);
        return m_allocator.calls() - calls;
    };
    const uint64_t readerOnly =
        allocationsOf(Records(constraint_store::managerRecords(savedSpec())).changeWord("capacity", 0xFFFFFFFFu));
    for (const auto& [pages, highest] : {std::pair{65536u, 2u}, std::pair{4u, 1000u}}) {
        Records records = constraint_store::managerRecords(savedSpec());
        records.changeWord("capacity", pages).changeWord("pages", pages).changeWord("referencePages", pages);
        records.changeWord("referenceCapacity", pages).changeWord("highest", highest);
        EXPECT_EQ(allocationsOf(records), readerOnly) << pages;
    }
}

TEST_F(ConstraintStoreTest, ACutAfterAnyRecordIsRefused)
{
    const Records whole = constraint_store::managerRecords(savedSpec());
    ConstraintManager* m = manager();
    for (size_t k = 0; k + 1 < whole.list().size(); ++k) {
        Records cut = whole;
        cut.cutAfter(whole.list()[k].name);
        EXPECT_EQ(readInto(m, image("bcm0", cut)), 0) << "cut after " << whole.list()[k].name;
        EXPECT_EQ(m->highest, -1);
        EXPECT_EQ(m_allocator.liveBlocks(), 1u) << m_allocator.describeLeaks();
    }
    ArchiveFixture none("none.dvk");
    none.finish();
    EXPECT_EQ(readInto(m, none.bytes()), 0);
}

TEST_F(ConstraintStoreTest, EachAllocationFailingInTurnWhileReading)
{
    const std::string bytes = image("bcm0", constraint_store::managerRecords(savedSpec()));
    ArchiveFixture archive("read.dvk");
    DVKTar* tar = archive.openMapped(bytes);
    ConstraintManager* m = manager();
    const uint32_t crc = ConstraintManager_ComputeCRC(m);
    for (uint64_t n = 1;; ++n) {
        const size_t live = m_allocator.liveBlocks();
        const uint64_t failures = m_allocator.failures();
        m_allocator.failAt(m_allocator.calls() + n);
        // The reader's own record comes from the raising allocator.
        int32_t result = 0;
        DVKErr_Protect([&] { result = ConstraintManager_ReadPSAFile(m, tar, nullptr, nullptr, kClasses); });
        const bool failed = m_allocator.failures() > failures;
        m_allocator.failAt(0);
        if (!failed) {
            EXPECT_EQ(result, 1);
            EXPECT_EQ(ConstraintManager_GetNumConstraints(m), 2);
            break;
        }
        EXPECT_EQ(result, 0) << "allocation " << n;
        EXPECT_EQ(ConstraintManager_ComputeCRC(m), crc);
        EXPECT_EQ(m_allocator.liveBlocks(), live) << "allocation " << n << "\n" << m_allocator.describeLeaks();
    }
}

// ---- "bcn0" ------------------------------------------------------------------

class ConstraintFileTest : public ConstraintStoreTest {
protected:
    void TearDown() override
    {
        for (Constraint* con : m_array)
            Constraint_Delete(con, 0);
        ConstraintStoreTest::TearDown();
    }

    int32_t load(const std::string& bytes, int32_t n)
    {
        ArchiveFixture archive("file.dvk");
        DVKTar* tar = archive.openMapped(bytes);
        EXPECT_NE(tar, nullptr);
        return Constraint_LoadFromBinFile(tar, nullptr, kClasses, m_array.data(), n);
    }

    std::vector<std::string> names(int32_t n) const
    {
        std::vector<std::string> out;
        for (int32_t i = 0; i < n; ++i)
            out.push_back(m_array[static_cast<size_t>(i)] != nullptr ? m_array[static_cast<size_t>(i)]->name : "-");
        return out;
    }

    static ConstraintFileSpec threeOfFour()
    {
        ConstraintFileSpec s;
        s.n = 4;
        s.entries = {{2, recordOf(spec("two", 3, 2))}, {0, recordOf(spec("zero", 3, 0))},
                     {3, recordOf(spec("three", 3, 3))}};
        return s;
    }

    std::array<Constraint*, 1025> m_array{};
};

TEST_F(ConstraintFileTest, EntriesLandAtTheirIndicesUntilTheTerminator)
{
    EXPECT_EQ(load(image("bcn0", constraint_store::constraintFileRecords(threeOfFour())), 4), 1);
    EXPECT_EQ(names(4), (std::vector<std::string>{"zero", "-", "two", "three"}));
    EXPECT_EQ(m_array[2]->classManager, kClasses);
    EXPECT_EQ(m_array[4], nullptr);
}

TEST_F(ConstraintFileTest, AbsentOrTooManyAreRefused)
{
    ArchiveFixture none("none.dvk");
    none.finish();
    EXPECT_EQ(load(none.bytes(), 4), 0);
    ConstraintFileSpec big;
    big.n = 1025;
    EXPECT_EQ(load(image("bcn0", constraint_store::constraintFileRecords(big)), 1025), 0);
    big.n = 1024;
    EXPECT_EQ(load(image("bcn0", constraint_store::constraintFileRecords(big)), 1024), 1);
    EXPECT_EQ(load(image("bcn0", constraint_store::constraintFileRecords(big)), -1), 0);
}

TEST_F(ConstraintFileTest, AFileEndingEarlyKeepsWhatWasRead)
{
    Records records = constraint_store::constraintFileRecords(threeOfFour());
    EXPECT_EQ(load(image("bcn0", Records(records).cutAfter("record 0")), 4), 1);
    EXPECT_EQ(names(4), (std::vector<std::string>{"-", "-", "two", "-"}));
    Constraint_Delete(m_array[2], 0);
    m_array[2] = nullptr;
    EXPECT_EQ(load(image("bcn0", Records(records).cutAfter("index 0")), 4), 0);
    EXPECT_EQ(load(image("bcn0", Records(records).change("record 1", [](BinFileWriter* w) {
        return BinFileWriter_WriteInt(w, 1) == 1;
    })), 4), 1);
    EXPECT_EQ(names(4), (std::vector<std::string>{"-", "-", "two", "-"}));
}

TEST_F(ConstraintFileTest, AnIndexPastTheArrayOrARepeatedOneStopsWithoutWriting)
{
    ConstraintFileSpec s = threeOfFour();
    s.entries[1].first = 5;   // past n = 4
    EXPECT_EQ(load(image("bcn0", constraint_store::constraintFileRecords(s)), 4), 1);
    EXPECT_EQ(names(6), (std::vector<std::string>{"-", "-", "two", "-", "-", "-"}));
    Constraint_Delete(m_array[2], 0);
    m_array[2] = nullptr;

    s = threeOfFour();
    s.entries[1].first = 2;   // two again
    EXPECT_EQ(load(image("bcn0", constraint_store::constraintFileRecords(s)), 4), 1);
    EXPECT_EQ(names(4), (std::vector<std::string>{"-", "-", "two", "-"}));
}

TEST_F(ConstraintFileTest, EachAllocationFailingInTurnWhileLoading)
{
    ConstraintFileSpec s;
    s.n = 2;
    s.entries = {{1, recordOf(spec("one", 3, 1))}};
    const std::string bytes = image("bcn0", constraint_store::constraintFileRecords(s));
    for (uint64_t n = 1;; ++n) {
        const size_t live = m_allocator.liveBlocks();
        const uint64_t failures = m_allocator.failures();
        m_allocator.failAt(m_allocator.calls() + n);
        ArchiveFixture archive("file.dvk");
        DVKTar* tar = archive.openMapped(bytes);
        int32_t result = -1;
        if (tar != nullptr)
            DVKErr_Protect([&] { result = Constraint_LoadFromBinFile(tar, nullptr, kClasses, m_array.data(), 2); });
        const bool failed = m_allocator.failures() > failures;
        m_allocator.failAt(0);
        if (!failed) {
            EXPECT_EQ(result, 1);
            break;
        }
        if (tar != nullptr)
            archive.close(tar);
        EXPECT_NE(result, 1) << "allocation " << n;
        EXPECT_EQ(m_array[1], nullptr);
        EXPECT_EQ(m_allocator.liveBlocks(), live) << "allocation " << n << "\n" << m_allocator.describeLeaks();
    }
}

// ---- fuzz seeds ----------------------------------------------------------------

// Both stores in one archive, whole or cut after a constraint record.
std::string seedArchive(bool cut)
{
    ConstraintFileSpec file;
    file.n = 4;
    file.entries = {{2, recordOf(ConstraintStoreTest::seedSpec("two", 3))},
                    {0, recordOf(ConstraintStoreTest::seedSpec("zero", 3))}};
    Records manager = constraint_store::managerRecords(ConstraintStoreTest::seedManager());
    Records constraints = constraint_store::constraintFileRecords(file);
    if (cut) {
        manager.cutAfter("record 2");
        constraints.cutAfter("record 0");
    }
    ArchiveFixture archive(cut ? "cut.dvk" : "whole.dvk");
    archive.add("bcm0", [&](BinFileWriter* w) { return manager.write(w); });
    archive.add("bcn0", [&](BinFileWriter* w) { return constraints.write(w); });
    archive.finish();
    return archive.bytes();
}

// A "bcm0" of two whole-vocabulary constraints (free words at 0, one word at 1).
std::string wholeVocSeed()
{
    ManagerSpec spec;
    spec.entries = {{0, 2, [](BinFileWriter* w) { return ClassPairNetwork_WriteWholeVocRecord(w, "free", 0); }},
                    {1, 2, [](BinFileWriter* w) { return ClassPairNetwork_WriteWholeVocRecord(w, "one", 1); }}};
    Records manager = constraint_store::managerRecords(spec);
    ArchiveFixture archive("voc.dvk");
    archive.add("bcm0", [&](BinFileWriter* w) { return manager.write(w); });
    archive.finish();
    return archive.bytes();
}

TEST_F(ConstraintStoreTest, CommittedFuzzSeedsAreWhatTheWriterMakes)
{
    checkFuzzSeed("brevit_constraint_store", "stores", seedArchive(false));
    checkFuzzSeed("brevit_constraint_store", "cut", seedArchive(true));
    checkFuzzSeed("brevit_constraint_store", "wholevoc", wholeVocSeed());
}

TEST_F(ConstraintStoreTest, WholeVocabularyConstraintsComeBackFromTheManagersStore)
{
    const ConstraintKindDoubles* previous = ConstraintKinds_InstallDoubles(nullptr);
    FakeVocabulary words(std::map<uint16_t, std::vector<uint16_t>>{{7, {0, 1}}, {8, {3, 4}}});
    ConstraintManager* m = manager();
    ArchiveFixture archive("in.dvk");
    DVKTar* tar = archive.openMapped(wholeVocSeed());
    ASSERT_EQ(ConstraintManager_ReadPSAFile(m, tar, nullptr, words.voc(), nullptr), 1);
    archive.close(tar);
    Constraint* free = ConstraintManager_GetConstraint(m, 0);
    Constraint* one = ConstraintManager_GetConstraint(m, 1);
    ASSERT_NE(free, nullptr);
    ASSERT_NE(one, nullptr);
    EXPECT_STREQ(free->name, "free");
    EXPECT_EQ(Constraint_ComputeCRC(free, 0), 0x6811A70Fu);
    EXPECT_EQ(Constraint_ComputeCRC(one, 0), 0xD0ADC06Au);
    // Written back, the store is the one read.
    ArchiveFixture out("out.dvk");
    ASSERT_EQ(ConstraintManager_WritePSAFile(m, out.tar(), nullptr), 1);
    out.finish();
    ConstraintManager* again = manager();
    ArchiveFixture back("back.dvk");
    DVKTar* reread = back.openMapped(out.bytes());
    ASSERT_EQ(ConstraintManager_ReadPSAFile(again, reread, nullptr, words.voc(), nullptr), 1);
    back.close(reread);
    EXPECT_EQ(ConstraintManager_ComputeCRC(again), ConstraintManager_ComputeCRC(m));
    ConstraintKinds_InstallDoubles(previous);
}

} // namespace
