#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_tar.h"
#include "tests/support/archive_fixture.h"
#include "tests/support/counting_allocator.h"
#include "tests/support/param_block_builder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

uint16_t u16At(const std::string& bytes, size_t offset)
{
    uint16_t v = 0;
    std::memcpy(&v, bytes.data() + offset, 2);
    return v;
}

uint32_t u32At(const std::string& bytes, size_t offset)
{
    uint32_t v = 0;
    std::memcpy(&v, bytes.data() + offset, 4);
    return v;
}

void putU16(std::string& bytes, size_t offset, uint16_t v)
{
    std::memcpy(bytes.data() + offset, &v, 2);
}

void putU32(std::string& bytes, size_t offset, uint32_t v)
{
    std::memcpy(bytes.data() + offset, &v, 4);
}

// The same archive with a version-2 header (no mode word).
std::string toVersion2(const std::string& v3)
{
    std::string v2 = v3.substr(0, 16) + v3.substr(18);
    putU16(v2, 10, 2);
    return v2;
}

int64_t position(DVKTar* tar)
{
    return tar->file != nullptr ? DVK_ftell(tar->file) : tar->memPosition;
}

std::string readAll(DVKTar* tar, const char* name)
{
    DVKTarSubFile* sub = DVKTar_SubFileOpen(tar, name);
    if (sub == nullptr)
        return "<missing>";
    std::string data(DVKTar_SubFileGetSize(sub), '\0');
    const int32_t n = DVKTar_SubFileRead(sub, data.data(), static_cast<int32_t>(data.size()));
    DVKTar_SubFileClose(sub);
    return n == static_cast<int32_t>(data.size()) ? data : "<unreadable>";
}

class EngineArchive : public ::testing::Test {
protected:
    void TearDown() override
    {
        m_archive.reset();
        EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks();
    }

    ArchiveFixture& archive() { return *m_archive; }

    // Sub-files "a", "b", "c" holding "alpha", "bravo!", "charlie".
    void writeThree()
    {
        archive().addBytes("a", "alpha");
        archive().addBytes("b", "bravo!");
        archive().addBytes("c", "charlie");
        archive().finish();
    }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
    std::optional<ArchiveFixture> m_archive{std::in_place};
};

// Every reading test runs over the file and over an image in memory.
class EngineArchiveRead : public EngineArchive, public ::testing::WithParamInterface<bool> {
protected:
    DVKTar* open(const std::string& image = {})
    {
        if (GetParam())
            return image.empty() ? archive().openMapped() : archive().openMapped(image);
        if (!image.empty())
            archive().setBytes(image);
        return archive().openForRead();
    }
};

INSTANTIATE_TEST_SUITE_P(FileAndMemory, EngineArchiveRead, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Memory" : "File"; });

TEST_F(EngineArchive, NewArchiveKeepsWritingOrderAndCompletesHeaderOnClose)
{
    archive().addBytes("b", "BB");
    archive().addBytes("a", "A");
    archive().finish();

    const std::string bytes = archive().bytes();
    ASSERT_EQ(bytes.size(), 18u + (11 + 2) + (11 + 1));
    EXPECT_EQ(bytes.substr(0, 8), std::string("DVK\0ktr\0", 8));
    EXPECT_EQ(u16At(bytes, 8), 0xFEFF);
    EXPECT_EQ(u16At(bytes, 10), 3);  // version
    EXPECT_EQ(u16At(bytes, 12), 2);  // live sub-files
    EXPECT_EQ(u16At(bytes, 14), 0);  // removed
    EXPECT_EQ(u16At(bytes, 16), 0);  // mode: no parameter block installed
    // Entries in writing order, each: length, name, reserved word, size, data.
    EXPECT_EQ(u16At(bytes, 18), 1);
    EXPECT_EQ(bytes[20], 'b');
    EXPECT_EQ(u32At(bytes, 21), 0xFFFFFFFFu);
    EXPECT_EQ(u32At(bytes, 25), 2u);
    EXPECT_EQ(bytes.substr(29, 2), "BB");
    EXPECT_EQ(u16At(bytes, 31), 1);
    EXPECT_EQ(bytes[33], 'a');
    EXPECT_EQ(u32At(bytes, 34), 0xFFFFFFFFu);
    EXPECT_EQ(u32At(bytes, 38), 1u);
    EXPECT_EQ(bytes[42], 'A');
}

TEST_F(EngineArchive, ScrambledModeAskedForByParametersIsWrittenPlain)
{
    ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamArchiveMode, 0x10001));
    testing::internal::CaptureStdout();
    archive().addBytes("a", "x");
    archive().finish();
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_NE(printed.find("scrambled"), std::string::npos) << printed;
    EXPECT_EQ(u16At(archive().bytes(), 16), 0);
    EXPECT_EQ(readAll(archive().openForRead(), "a"), "x");
}

TEST_P(EngineArchiveRead, FindsSubFilesInAnyOrderAndWrapsAround)
{
    writeThree();
    DVKTar* tar = open();
    ASSERT_NE(tar, nullptr);
    EXPECT_EQ(DVKTar_GetNSubFiles(tar), 3);
    EXPECT_EQ(readAll(tar, "c"), "charlie");
    // After the last entry the scan continues from the first.
    EXPECT_EQ(readAll(tar, "a"), "alpha");
    EXPECT_EQ(readAll(tar, "b"), "bravo!");
    EXPECT_EQ(readAll(tar, "a"), "alpha");
    EXPECT_EQ(DVKTar_SubFileExists(tar, "c"), 1);
    EXPECT_EQ(DVKTar_SubFileExists(tar, "d"), 0);
    EXPECT_EQ(DVKTar_SubFileExists(tar, ""), 0);
    EXPECT_EQ(DVKTar_SubFileOpen(tar, "ab"), nullptr);
}

TEST_P(EngineArchiveRead, MissingNameLeavesThePositionAndReadsGoOn)
{
    writeThree();
    DVKTar* tar = open();
    ASSERT_NE(tar, nullptr);
    DVKTarSubFile* b = DVKTar_SubFileOpen(tar, "b");
    ASSERT_NE(b, nullptr);
    char two[2];
    ASSERT_EQ(DVKTar_SubFileRead(b, two, 2), 2);
    const int64_t before = position(tar);
    EXPECT_EQ(DVKTar_SubFileOpen(tar, "zulu"), nullptr);
    EXPECT_EQ(DVKTar_SubFileExists(tar, "zulu"), 0);
    EXPECT_EQ(position(tar), before);
    char rest[4];
    ASSERT_EQ(DVKTar_SubFileRead(b, rest, 4), 4);
    EXPECT_EQ(std::string(rest, 4), "avo!");
    EXPECT_EQ(DVKTar_SubFileTell(b), 6u);
    DVKTar_SubFileClose(b);
}

TEST_P(EngineArchiveRead, ReadsNeverCrossTheEndOfASubFile)
{
    writeThree();
    DVKTar* tar = open();
    DVKTarSubFile* b = DVKTar_SubFileOpen(tar, "b");
    ASSERT_NE(b, nullptr);
    char buffer[10] = {};
    EXPECT_EQ(DVKTar_SubFileRead(b, buffer, 10), -1);
    EXPECT_EQ(DVKTar_SubFileTell(b), 0u);
    EXPECT_EQ(DVKTar_SubFileRead(b, buffer, 6), 6);
    EXPECT_EQ(std::string(buffer, 6), "bravo!");
    EXPECT_EQ(DVKTar_SubFileRead(b, buffer, 10), 0);
    EXPECT_EQ(DVKTar_SubFileRead(b, buffer, -1), -1);
    DVKTar_SubFileClose(b);
}

TEST_P(EngineArchiveRead, StreamsOpenAtOnceReadAlternately)
{
    writeThree();
    DVKTar* tar = open();
    DVKTarSubFile* a = DVKTar_SubFileOpen(tar, "a");
    DVKTarSubFile* c = DVKTar_SubFileOpen(tar, "c");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(c, nullptr);
    std::string fromA;
    std::string fromC;
    char ch = 0;
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(DVKTar_SubFileRead(a, &ch, 1), 1);
        fromA += ch;
        ASSERT_EQ(DVKTar_SubFileRead(c, &ch, 1), 1);
        fromC += ch;
        // A lookup in between moves the stream too.
        EXPECT_EQ(DVKTar_SubFileExists(tar, "b"), 1);
    }
    EXPECT_EQ(fromA, "alpha");
    EXPECT_EQ(fromC, "charl");
    EXPECT_EQ(tar->nOpenSubFiles, 2);
    DVKTar_SubFileClose(a);
    DVKTar_SubFileClose(c);
    EXPECT_EQ(tar->nOpenSubFiles, 0);
}

TEST_P(EngineArchiveRead, ReadAtTakesWhatLiesAtTheOffset)
{
    writeThree();
    DVKTar* tar = open();
    char buffer[16] = {};
    EXPECT_EQ(DVKTar_SubFileReadAt(tar, "c", 2, 16, buffer), 5);
    EXPECT_EQ(std::string(buffer, 5), "arlie");
    EXPECT_EQ(DVKTar_SubFileReadAt(tar, "c", 7, 4, buffer), 0);
    EXPECT_EQ(DVKTar_SubFileReadAt(tar, "c", 0xFFFFFFFFu, 4, buffer), 0);
    EXPECT_EQ(DVKTar_SubFileReadAt(tar, "x", 0, 4, buffer), -1);
}

TEST_P(EngineArchiveRead, VersionTwoArchiveReads)
{
    writeThree();
    DVKTar* tar = open(toVersion2(archive().bytes()));
    ASSERT_NE(tar, nullptr);
    EXPECT_EQ(tar->version, 2);
    EXPECT_EQ(tar->headerLength, 16u);
    EXPECT_EQ(tar->mode, 0);
    EXPECT_EQ(readAll(tar, "b"), "bravo!");
    EXPECT_EQ(readAll(tar, "a"), "alpha");
}

TEST_P(EngineArchiveRead, OppositeByteOrderReadsNamesSizesAndCounts)
{
    archive().useOppositeByteOrder();
    archive().addBytes("first", "12345");
    archive().addBytes("second", std::string(300, 'z'));
    ASSERT_TRUE(DVKTar_SubFileRemove(archive().tar(), "first") == 0);
    archive().addBytes("third", "3");
    archive().finish();
    const std::string bytes = archive().bytes();
    EXPECT_EQ(u16At(bytes, 8), 0xFFFE);
    EXPECT_EQ(u16At(bytes, 12), 0x0200);  // count 2, stored the other way round

    DVKTar* tar = open();
    ASSERT_NE(tar, nullptr);
    EXPECT_EQ(tar->swapped, 1);
    EXPECT_EQ(DVKTar_GetNSubFiles(tar), 2);
    EXPECT_EQ(tar->nRemoved, 1);
    EXPECT_EQ(readAll(tar, "third"), "3");
    EXPECT_EQ(readAll(tar, "second"), std::string(300, 'z'));
    EXPECT_EQ(DVKTar_SubFileExists(tar, "first"), 0);
    ASSERT_NE(DVKTar_BuildDirectory(tar), nullptr);
    EXPECT_STREQ(tar->dirNames[0], "second");
    EXPECT_STREQ(tar->dirNames[1], "third");
    // Records are never swapped on reading: the record layer refuses it.
    EXPECT_EQ(BinFileReader_Create(tar, "third", nullptr), nullptr);
    uint32_t format = 7;
    EXPECT_EQ(BinFileReader_PeekFormatNumber(tar, "third", nullptr, &format), 0);
    EXPECT_EQ(format, 7u);
}

TEST_P(EngineArchiveRead, UnreadableHeadersAreRefused)
{
    writeThree();
    const std::string good = archive().bytes();
    struct Case {
        const char* what;
        size_t offset;
        std::string bytes;
    };
    const Case cases[] = {
        {"first magic", 0, "DVX"},
        {"second magic", 5, "x"},
        {"byte-order mark", 8, std::string("\x34\x12", 2)},
        {"version 1", 10, std::string("\x01\x00", 2)},
        {"version 4", 10, std::string("\x04\x00", 2)},
        {"scrambled mode", 16, std::string("\x01\x00", 2)},
    };
    for (const Case& c : cases) {
        std::string bad = good;
        bad.replace(c.offset, c.bytes.size(), c.bytes);
        EXPECT_EQ(open(bad), nullptr) << c.what;
    }
    EXPECT_EQ(open(good.substr(0, 17)), nullptr) << "short header";
    EXPECT_EQ(DVKTar_OpenForMemoryMappedRead(10, nullptr), nullptr);
    EXPECT_EQ(DVKTar_OpenForRead(nullptr), nullptr);
    EXPECT_EQ(DVKTar_OpenForRead(""), nullptr);
    EXPECT_EQ(DVKTar_OpenForRead("/no/such/archive"), nullptr);
}

TEST_P(EngineArchiveRead, RemovedFirstEntryDoesNotHideTheOthers)
{
    archive().addBytes("a", "alpha");
    archive().addBytes("b", "bravo!");
    archive().addBytes("c", "charlie");
    EXPECT_EQ(DVKTar_SubFileRemove(archive().tar(), "a"), 0);
    EXPECT_EQ(DVKTar_SubFileRemove(archive().tar(), "nothing"), 0);  // no-op
    EXPECT_EQ(DVKTar_SubFileExists(archive().tar(), "a"), 0);
    archive().finish();

    DVKTar* tar = open();
    ASSERT_NE(tar, nullptr);
    EXPECT_EQ(DVKTar_GetNSubFiles(tar), 2);
    EXPECT_EQ(tar->nRemoved, 1);
    EXPECT_EQ(readAll(tar, "c"), "charlie");
    EXPECT_EQ(readAll(tar, "b"), "bravo!");
    EXPECT_EQ(DVKTar_SubFileOpen(tar, "a"), nullptr);
    ASSERT_NE(DVKTar_BuildDirectory(tar), nullptr);
    EXPECT_EQ(readAll(tar, "b"), "bravo!");
    EXPECT_EQ(DVKTar_SubFileExists(tar, "a"), 0);
    // A read-only archive has nothing to remove from.
    EXPECT_EQ(DVKTar_SubFileRemove(tar, "b"), 1);
}

TEST_P(EngineArchiveRead, DirectoryIsSortedAndServesLookups)
{
    archive().addBytes("zeta", "z");
    archive().addBytes("alpha", "a");
    archive().addBytes("mu", "m");
    archive().finish();
    DVKTar* tar = open();
    ASSERT_NE(tar, nullptr);
    char** names = DVKTar_BuildDirectory(tar);
    ASSERT_NE(names, nullptr);
    EXPECT_EQ(DVKTar_BuildDirectory(tar), names);  // built once
    EXPECT_STREQ(names[0], "alpha");
    EXPECT_STREQ(names[1], "mu");
    EXPECT_STREQ(names[2], "zeta");
    EXPECT_EQ(tar->dirOffsets[2], 18u);
    EXPECT_EQ(readAll(tar, "mu"), "m");
    EXPECT_EQ(readAll(tar, "zeta"), "z");
    EXPECT_EQ(DVKTar_SubFileExists(tar, "n"), 0);
}

TEST_P(EngineArchiveRead, DirectoryBuildFailsOnDuplicatesAndWrongCounts)
{
    writeThree();
    const std::string good = archive().bytes();
    std::string duplicate = good;
    duplicate[20 + 11 + 5] = 'a';  // "b" becomes a second "a"
    std::string tooFew = good;
    putU16(tooFew, 12, 4);
    std::string tooMany = good;
    putU16(tooMany, 12, 2);
    std::string none = good;
    putU16(none, 12, 0);
    for (const auto& [what, image] : {std::pair{"duplicate", duplicate}, {"count 4", tooFew},
                                      {"count 2", tooMany}}) {
        DVKTar* tar = open(image);
        ASSERT_NE(tar, nullptr) << what;
        EXPECT_EQ(DVKTar_BuildDirectory(tar), nullptr) << what;
        EXPECT_EQ(tar->dirCapacity, 0u) << what;
        // The chain can still be scanned.
        EXPECT_EQ(readAll(tar, "c"), "charlie") << what;
        archive().close(tar);
    }
    // A header count of 0 gives an empty directory, which hides every entry.
    DVKTar* tar = open(none);
    ASSERT_NE(DVKTar_BuildDirectory(tar), nullptr);
    EXPECT_EQ(DVKTar_SubFileExists(tar, "a"), 0);
}

TEST_P(EngineArchiveRead, EntriesReachingPastTheEndAreNotFound)
{
    writeThree();
    const std::string good = archive().bytes();
    const size_t sizeOfB = 18 + (11 + 5) + 7;  // size word of entry "b"
    ASSERT_EQ(u32At(good, sizeOfB), 6u);
    for (uint32_t size : {0u, 0xFFFFFFF0u, static_cast<uint32_t>(good.size())}) {
        std::string bad = good;
        putU32(bad, sizeOfB, size);
        DVKTar* tar = open(bad);
        ASSERT_NE(tar, nullptr);
        EXPECT_EQ(DVKTar_SubFileOpen(tar, "b"), nullptr) << size;
        EXPECT_EQ(DVKTar_SubFileOpen(tar, "c"), nullptr) << size;
        EXPECT_EQ(readAll(tar, "a"), "alpha") << size;
        EXPECT_EQ(DVKTar_BuildDirectory(tar), nullptr) << size;
        archive().close(tar);
    }
    // A name length of 0 stops the scan as well.
    std::string bad = good;
    putU16(bad, 18 + 16, 0);
    DVKTar* tar = open(bad);
    EXPECT_EQ(DVKTar_SubFileOpen(tar, "c"), nullptr);
    // A header count far beyond what the file can hold fails before allocating.
    std::string huge = good;
    putU16(huge, 12, 0xFFFF);
    archive().close(tar);
    tar = open(huge);
    const uint32_t largest = m_allocator.largestRequest();
    EXPECT_EQ(DVKTar_BuildDirectory(tar), nullptr);
    EXPECT_EQ(m_allocator.largestRequest(), largest);
}

TEST_F(EngineArchive, SubFileNamesAreCheckedOnCreation)
{
    DVKTar* tar = archive().tar();
    EXPECT_EQ(DVKTar_SubFileCreate(tar, std::string(65536, 'n').c_str()), nullptr);
    EXPECT_EQ(DVKTar_SubFileCreate(tar, ""), nullptr);
    const std::string longest(65535, 'n');
    archive().addBytes(longest.c_str(), "long");
    EXPECT_EQ(DVKTar_SubFileCreate(tar, longest.c_str()), nullptr);  // already there

    DVKTarSubFile* open = DVKTar_SubFileCreate(tar, "one");
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(DVKTar_SubFileCreate(tar, "two"), nullptr);  // one at a time
    EXPECT_EQ(DVKTar_SubFileWrite(open, "1", 1), 1);
    EXPECT_EQ(DVKTar_SubFileClose(open), 0);
    archive().finish();

    DVKTar* read = archive().openForRead();
    EXPECT_EQ(readAll(read, longest.c_str()), "long");
    EXPECT_EQ(readAll(read, "one"), "1");
    EXPECT_EQ(DVKTar_SubFileCreate(read, "x"), nullptr);
    EXPECT_EQ(DVKTar_OpenForAppend(archive().path().c_str()), nullptr);
}

TEST_F(EngineArchive, EmptySubFileFailsTheSave)
{
    DVKTar* tar = DVKTar_OpenForWrite(archive().path().c_str());
    ASSERT_NE(tar, nullptr);
    DVKTarSubFile* sub = DVKTar_SubFileCreate(tar, "empty");
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(DVKTar_SubFileClose(sub), 1);
    EXPECT_EQ(DVKTar_SubFileExists(tar, "empty"), 0);
    EXPECT_EQ(DVKTar_Close(tar), 1);
    EXPECT_EQ(DVKTar_Close(nullptr), 0);
}

TEST_F(EngineArchive, ClosingWhileASubFileIsWrittenFailsTheSave)
{
    DVKTar* tar = DVKTar_OpenForWrite(archive().path().c_str());
    ASSERT_NE(tar, nullptr);
    DVKTarSubFile* open = DVKTar_SubFileCreate(tar, "b");
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(DVKTar_SubFileWrite(open, "bravo", 5), 5);
    // The entry of "b" still says size 0: a reader's scan would stop there.
    EXPECT_EQ(DVKTar_Close(tar), 1);
    // The stream outlives its archive; only its memory is left to free.
    DVKMem_Free(open->name);
    DVKMem_Free(open);
}

TEST_F(EngineArchive, DirectoryOfAWrittenArchiveGrowsPastItsFirstStep)
{
    char name[16];
    for (int i = 0; i < 1100; ++i) {
        std::snprintf(name, sizeof(name), "s%04d", (i * 7919) % 1100);
        archive().addBytes(name, name);
    }
    EXPECT_EQ(archive().tar()->dirCapacity, 1500u);
    archive().finish();
    DVKTar* tar = archive().openForRead();
    ASSERT_NE(tar, nullptr);
    EXPECT_EQ(DVKTar_GetNSubFiles(tar), 1100);
    ASSERT_NE(DVKTar_BuildDirectory(tar), nullptr);
    for (int i = 0; i < 1100; i += 97) {
        std::snprintf(name, sizeof(name), "s%04d", i);
        EXPECT_EQ(readAll(tar, name), name);
    }
}

TEST_F(EngineArchive, OpensFailCleanlyWhenMemoryRunsOut)
{
    writeThree();
    m_allocator.failNext();
    EXPECT_EQ(archive().openForRead(), nullptr);
    m_allocator.failNext();
    EXPECT_EQ(DVKTar_OpenForWrite((archive().path() + ".new").c_str()), nullptr);
    DVKTar* tar = archive().openMapped();
    ASSERT_NE(tar, nullptr);
    m_allocator.failNext();
    EXPECT_EQ(DVKTar_SubFileOpen(tar, "a"), nullptr);
    EXPECT_EQ(readAll(tar, "a"), "alpha");
}

} // namespace
