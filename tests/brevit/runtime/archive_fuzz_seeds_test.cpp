// The seeds of the archive fuzz target (fuzz/brevit_archive/corpus) are
// archives made by the engine's own writer. This test keeps the committed files
// current.
#include "core/brevit/runtime/bin_file_writer.h"
#include "tests/support/archive_fixture.h"
#include "tests/support/counting_allocator.h"
#include "tests/support/fuzz_seed_check.h"
#include "tests/support/param_block_builder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

int32_t writeElement(BinFileWriter* writer, int32_t, const void* element)
{
    return BinFileWriter_WriteInt(writer, *static_cast<const int32_t*>(element));
}

// One sub-file per record family the fuzz target reads, and a parameter block.
void writeModel(ArchiveFixture& archive)
{
    archive.add("scalars", [](BinFileWriter* w) {
        return BinFileWriter_WriteInt(w, 1) && BinFileWriter_WriteInt(w, -2) &&
               BinFileWriter_WriteReal(w, 0.5);
    });
    archive.add("arrays", [](BinFileWriter* w) {
        const int16_t shorts[] = {1, 2, 3};
        const int32_t ints[8] = {1, 2, 3, 4, 5, 6, 7, 8};
        return BinFileWriter_WriteArray(w, shorts, 3, 2) && BinFileWriter_WriteArray(w, ints, 8, 4);
    });
    archive.add("strings", [](BinFileWriter* w) {
        const uint16_t u[] = {'h', 'i', 0};
        const char* list[] = {"x", nullptr, "yz"};
        return BinFileWriter_WriteString(w, "text") && BinFileWriter_WriteUnicode(w, u) &&
               BinFileWriter_WriteStringArray(w, list, 3) && BinFileWriter_WriteString(w, nullptr);
    });
    archive.add("grids", [](BinFileWriter* w) {
        int32_t row0[] = {1, 2};
        int32_t row1[] = {3, 4};
        int32_t* rows[] = {row0, row1};
        return BinFileWriter_WriteArray2D(w, rows, 2, 2, 4) &&
               BinFileWriter_WriteArray2D(w, nullptr, 0, 3, 4);
    });
    archive.add("chunks", [](BinFileWriter* w) {
        int32_t a[4] = {1, 2, 3, 4};
        int32_t b[4] = {5, 6, 7, 8};
        void* table[] = {a, b};
        return BinFileWriter_WriteChunkedArray(w, table, 2, 4, 4) &&
               BinFileWriter_WriteChunkedArrayStructsWithFunc(w, table, 2, 4, 4, writeElement);
    });
    struct S {
        int32_t a;
        int16_t b;
        double c;
    };
    archive.add("structs", [](BinFileWriter* w) {
        const S s[4] = {{1, 2, 3.0}, {4, 5, 6.0}, {7, 8, 9.0}, {10, 11, 12.0}};
        return BinFileWrite_WriteStruct(w, &s[0], sizeof(S), 3, 0, 4, 4, 2, 8, 8) &&
               BinFileWriter_WriteArrayStructsWithFunc(w, s, 4, sizeof(S), writeElement);
    });
    archive.add("members", [](BinFileWriter* w) {
        const S s[2] = {{1, 2, 3.0}, {4, 5, 6.0}};
        return BinFileWriter_WriteArrayStructs2Members(w, s, 2, sizeof(S), 0, 4, 8, 8) &&
               BinFileWriter_WriteArrayStructs3Members(w, s, 2, sizeof(S), 0, 4, 4, 2, 8, 8) &&
               BinFileWriter_WriteArrayStructsNMembers(w, s, 2, sizeof(S), 2, 4, 2, 0, 4);
    });
    EXPECT_TRUE(ParamBlockBuilder().word(1, 7).real(6, 1.5).string(439, "lang").write(archive.tar()));
}

class ArchiveFuzzSeeds : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks(); }

    static void check(const char* name, const std::string& bytes)
    {
        checkFuzzSeed("brevit_archive", name, bytes);
    }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
};

TEST_F(ArchiveFuzzSeeds, CommittedSeedsAreWhatTheWriterMakes)
{
    {
        ArchiveFixture model("model.dvk");
        writeModel(model);
        model.finish();
        check("model", model.bytes());
    }
    {
        ArchiveFixture swapped("swapped.dvk");
        swapped.useOppositeByteOrder();
        swapped.addBytes("b", "bravo");
        swapped.addBytes("a", "alpha");
        swapped.finish();
        check("swapped", swapped.bytes());
    }
    {
        ArchiveFixture removed("removed.dvk");
        removed.add("scalars", [](BinFileWriter* w) { return BinFileWriter_WriteInt(w, 1); });
        removed.add("strings", [](BinFileWriter* w) { return BinFileWriter_WriteString(w, "s"); });
        EXPECT_EQ(DVKTar_SubFileRemove(removed.tar(), "scalars"), 0);
        removed.finish();
        std::string bytes = removed.bytes();
        check("removed", bytes);
        // The same as a version-2 archive (16-byte header without the mode).
        bytes = bytes.substr(0, 16) + bytes.substr(18);
        bytes[10] = 2;
        check("version2", bytes);
    }
}

} // namespace
