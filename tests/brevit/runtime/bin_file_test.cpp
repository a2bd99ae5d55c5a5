#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/bin_file_writer.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "tests/support/archive_fixture.h"
#include "tests/support/counting_allocator.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

struct Point {
    int16_t x;
    uint8_t tag;
    double weight;
    int32_t id;
};

// Element functions: a point as its id and weight.
int32_t writePoint(BinFileWriter* writer, int32_t /*swap*/, const void* element)
{
    const auto* p = static_cast<const Point*>(element);
    return BinFileWriter_WriteInt(writer, p->id) && BinFileWriter_WriteReal(writer, p->weight);
}

int32_t readPoint(BinFileReader* reader, int32_t swap, void* element)
{
    auto* p = static_cast<Point*>(element);
    return swap == 0 && BinFileReader_ReadInt(reader, &p->id) &&
           BinFileReader_ReadReal(reader, &p->weight);
}

// Reads one word fewer than writePoint wrote.
int32_t readPointShort(BinFileReader* reader, int32_t /*swap*/, void* element)
{
    return BinFileReader_ReadInt(reader, &static_cast<Point*>(element)->id);
}

class BinaryRecords : public ::testing::Test {
protected:
    void TearDown() override
    {
        BinFileReader_Delete(m_reader);
        m_archive.reset();
        EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks();
    }

    // Writes one sub-file "r" with fill and opens a reader on it.
    template <typename Fill>
    BinFileReader* roundTrip(Fill&& fill)
    {
        m_archive->add("r", std::forward<Fill>(fill));
        m_archive->finish();
        m_tar = m_archive->openMapped();
        m_reader = BinFileReader_Create(m_tar, "r", nullptr);
        EXPECT_NE(m_reader, nullptr);
        return m_reader;
    }

    // Bytes of sub-file "r".
    std::string stored()
    {
        std::string data(DVKTar_SubFileGetSize(m_reader->sub), '\0');
        EXPECT_EQ(DVKTar_SubFileReadAt(m_tar, "r", 0, static_cast<int32_t>(data.size()),
                                       data.data()),
                  static_cast<int32_t>(data.size()));
        return data;
    }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
    std::optional<ArchiveFixture> m_archive{std::in_place};
    DVKTar* m_tar = nullptr;
    BinFileReader* m_reader = nullptr;
};

TEST_F(BinaryRecords, ScalarsRoundTrip)
{
    BinFileReader* r = roundTrip([](BinFileWriter* w) {
        return BinFileWriter_WriteInt(w, -5) && BinFileWriter_WriteUnsignedInt(w, 0xFFFFFFF0u) &&
               BinFileWriter_WriteLong(w, 123456) && BinFileWriter_WriteInt(w, -2) &&
               BinFileWriter_WriteInt(w, 0x1FFFF) && BinFileWriter_WriteInt(w, 0x141) &&
               BinFileWriter_WriteInt(w, 0x2FF) && BinFileWriter_WriteInt(w, 1) &&
               BinFileWriter_WriteReal(w, -0.125) && BinFileWriter_WriteRaw(w, 3, "xyz");
    });
    int32_t i = 0;
    uint32_t u = 0;
    int16_t s = 0;
    uint16_t us = 0;
    char c = 0;
    unsigned char uc = 0;
    int32_t b = 7;
    double d = 0;
    char raw[3];
    EXPECT_TRUE(BinFileReader_ReadInt(r, &i));
    EXPECT_EQ(i, -5);
    EXPECT_TRUE(BinFileReader_ReadUnsignedLong(r, &u));
    EXPECT_EQ(u, 0xFFFFFFF0u);
    EXPECT_TRUE(BinFileReader_ReadLong(r, &i));
    EXPECT_EQ(i, 123456);
    EXPECT_TRUE(BinFileReader_ReadShort(r, &s));
    EXPECT_EQ(s, -2);
    EXPECT_TRUE(BinFileReader_ReadUnsignedShort(r, &us));
    EXPECT_EQ(us, 0xFFFF);
    EXPECT_TRUE(BinFileReader_ReadChar(r, &c));
    EXPECT_EQ(c, 'A');
    EXPECT_TRUE(BinFileReader_ReadUnsignedChar(r, &uc));
    EXPECT_EQ(uc, 0xFF);
    EXPECT_TRUE(BinFileReader_ReadBoolean(r, &b));
    EXPECT_EQ(b, 1);
    EXPECT_FALSE(BinFileReader_IsAtEnd(r));
    EXPECT_TRUE(BinFileReader_ReadReal(r, &d));
    EXPECT_EQ(d, -0.125);
    EXPECT_TRUE(BinFileReader_ReadRaw(r, 3, raw));
    EXPECT_EQ(std::string(raw, 3), "xyz");
    EXPECT_TRUE(BinFileReader_IsAtEnd(r));
    EXPECT_FALSE(BinFileReader_ReadInt(r, &i));
}

TEST_F(BinaryRecords, BooleanOtherThanZeroOrOneIsRefused)
{
    BinFileReader* r = roundTrip([](BinFileWriter* w) {
        return BinFileWriter_WriteInt(w, 2) && BinFileWriter_WriteInt(w, 0);
    });
    int32_t b = 9;
    EXPECT_FALSE(BinFileReader_ReadBoolean(r, &b));
    EXPECT_EQ(b, 2);  // the refused word still reaches the caller
    EXPECT_TRUE(BinFileReader_ReadBoolean(r, &b));
    EXPECT_EQ(b, 0);
}

TEST_F(BinaryRecords, ShortRecordFailsAndConsumesNothing)
{
    BinFileReader* r = roundTrip([](BinFileWriter* w) { return BinFileWriter_WriteInt(w, 42); });
    double d = 0;
    int32_t i = 0;
    EXPECT_FALSE(BinFileReader_ReadReal(r, &d));
    EXPECT_TRUE(BinFileReader_ReadInt(r, &i));
    EXPECT_EQ(i, 42);
}

TEST_F(BinaryRecords, StringsRoundTripAndNullIsCountZero)
{
    const uint16_t hello[] = {'h', 0x4E16, 'l', 0};
    const char* words[] = {"one", nullptr, ""};
    const uint16_t u1[] = {'a', 0};
    const uint16_t u2[] = {0};
    const uint16_t* unicodeWords[] = {u1, u2};
    BinFileReader* r = roundTrip([&](BinFileWriter* w) {
        return BinFileWriter_WriteString(w, nullptr) && BinFileWriter_WriteString(w, "text") &&
               BinFileWriter_WriteUnicode(w, hello) && BinFileWriter_WriteUnicode(w, nullptr) &&
               BinFileWriter_WriteStringArray(w, words, 3) &&
               BinFileWriter_WriteUnicodeArray(w, unicodeWords, 2) &&
               BinFileWriter_WriteStringArray(w, nullptr, 0) && BinFileWriter_WriteString(w, "fits") &&
               BinFileWriter_WriteUnicode(w, hello) && BinFileWriter_WriteUnicode(w, hello) &&
               BinFileWriter_WriteString(w, nullptr) && BinFileWriter_WriteString(w, "long");
    });
    EXPECT_EQ(stored().substr(0, 4), std::string(4, '\0'));
    char* s = reinterpret_cast<char*>(1);
    ASSERT_TRUE(BinFileReader_ReadAndAllocateString(r, &s));
    EXPECT_EQ(s, nullptr);
    ASSERT_TRUE(BinFileReader_ReadAndAllocateString(r, &s));
    EXPECT_STREQ(s, "text");
    DVKMem_Free(s);
    uint16_t* u = nullptr;
    ASSERT_TRUE(BinFileReader_ReadAndAllocateUnicodeString(r, &u));
    EXPECT_EQ(std::memcmp(u, hello, sizeof(hello)), 0);
    EXPECT_EQ(DVKMem_GetSize(u), sizeof(hello));
    DVKMem_Free(u);
    ASSERT_TRUE(BinFileReader_ReadAndAllocateUnicodeString(r, &u));
    EXPECT_EQ(u, nullptr);

    char** array = nullptr;
    int32_t count = 0;
    ASSERT_TRUE(BinFileReader_ReadAndAllocateStringArray(r, &array, &count));
    ASSERT_EQ(count, 3);
    EXPECT_STREQ(array[0], "one");
    EXPECT_EQ(array[1], nullptr);
    EXPECT_STREQ(array[2], "");
    for (int32_t i = 0; i < count; ++i)
        DVKMem_Free(array[i]);
    DVKMem_Free(array);
    uint16_t** unicodeArray = nullptr;
    ASSERT_TRUE(BinFileReader_ReadAndAllocateUnicodeStringArray(r, &unicodeArray, &count));
    ASSERT_EQ(count, 2);
    EXPECT_EQ(unicodeArray[0][0], 'a');
    EXPECT_EQ(unicodeArray[1][0], 0);
    for (int32_t i = 0; i < count; ++i)
        DVKMem_Free(unicodeArray[i]);
    DVKMem_Free(unicodeArray);
    ASSERT_TRUE(BinFileReader_ReadAndAllocateStringArray(r, &array, &count));
    EXPECT_EQ(array, nullptr);
    EXPECT_EQ(count, 0);

    char buffer[8];
    EXPECT_TRUE(BinFileReader_ReadString(r, 5, buffer));
    EXPECT_STREQ(buffer, "fits");
    uint16_t units[4];
    EXPECT_FALSE(BinFileReader_ReadUnicode(r, 3, units));  // 4 units stored
    ASSERT_TRUE(BinFileReader_ReadRaw(r, 8, units));
    EXPECT_TRUE(BinFileReader_ReadUnicode(r, 4, units));
    EXPECT_EQ(std::memcmp(units, hello, sizeof(hello)), 0);
    std::strcpy(buffer, "old");
    EXPECT_TRUE(BinFileReader_ReadString(r, 8, buffer));
    EXPECT_STREQ(buffer, "");
    EXPECT_FALSE(BinFileReader_ReadString(r, 4, buffer));  // "long" needs 5 bytes
}

TEST_F(BinaryRecords, MalformedStringsAreRefused)
{
    struct Case {
        const char* name;
        uint32_t count;
        std::string bytes;
        int32_t (*read)(BinFileReader*);
    };
    auto string = [](BinFileReader* r) {
        char* s = nullptr;
        const int32_t ok = BinFileReader_ReadAndAllocateString(r, &s);
        EXPECT_EQ(s, nullptr);
        return ok;
    };
    auto unicode = [](BinFileReader* r) {
        uint16_t* s = nullptr;
        const int32_t ok = BinFileReader_ReadAndAllocateUnicodeString(r, &s);
        EXPECT_EQ(s, nullptr);
        return ok;
    };
    auto array = [](BinFileReader* r) {
        char** a = nullptr;
        int32_t n = 0;
        const int32_t ok = BinFileReader_ReadAndAllocateStringArray(r, &a, &n);
        EXPECT_EQ(a, nullptr);
        return ok;
    };
    auto bounded = [](BinFileReader* r) {
        char buffer[8];
        const int32_t ok = BinFileReader_ReadString(r, sizeof(buffer), buffer);
        EXPECT_EQ(buffer[2], '\0');
        return ok;
    };
    auto units = [](BinFileReader* r) {
        uint16_t buffer[4];
        return BinFileReader_ReadUnicode(r, 4, buffer);
    };
    const Case cases[] = {
        {"unterminated", 3, "abc", string},
        {"unterminated bounded", 3, "abc", bounded},
        {"odd 16-bit count", 3, std::string("ab\0", 3), unicode},
        {"odd 16-bit units", 3, std::string("ab\0", 3), units},
        {"no zero unit", 2, "ab", unicode},
        {"count beyond the sub-file", 0x7FFFFFF0, "", string},
        {"16-bit count beyond", 0x7FFFFFF0, "", unicode},
        {"too many strings", 0x10000000, "", array},
        {"negative string count", 0x80000000, "", array},
    };
    for (const Case& c : cases)
        m_archive->add(c.name, [&](BinFileWriter* w) {
            return BinFileWriter_WriteUnsignedInt(w, c.count) &&
                   BinFileWriter_WriteRaw(w, static_cast<uint32_t>(c.bytes.size()), c.bytes.data());
        });
    m_archive->finish();
    DVKTar* tar = m_archive->openMapped();
    const uint32_t largest = m_allocator.largestRequest();
    for (const Case& c : cases) {
        BinFileReader* r = BinFileReader_Create(tar, c.name, nullptr);
        ASSERT_NE(r, nullptr) << c.name;
        EXPECT_FALSE(c.read(r)) << c.name;
        BinFileReader_Delete(r);
    }
    // Nothing was allocated for the lying counts.
    EXPECT_LE(m_allocator.largestRequest(), std::max<uint32_t>(largest, 64));
}

TEST_F(BinaryRecords, ArraysCheckTheirByteCounts)
{
    const uint16_t three[] = {1, 2, 0xBEEF};
    BinFileReader* r = roundTrip([&](BinFileWriter* w) {
        return BinFileWriter_WriteArray(w, three, 3, 2) && BinFileWriter_WriteArray(w, three, 3, 2) &&
               BinFileWriter_WriteArray(w, three, 3, 2) && BinFileWriter_WriteArray(w, nullptr, 9, 4) &&
               BinFileWriter_WriteArray(w, three, 3, 2);
    });
    EXPECT_EQ(stored().substr(0, 10), std::string("\x06\0\0\0\x01\0\x02\0\xEF\xBE", 10));
    void* p = nullptr;
    uint32_t count = 0;
    EXPECT_FALSE(BinFileReader_AllocateAndReadArray(r, 4, &p, &count));  // 6 is no multiple of 4
    EXPECT_EQ(p, nullptr);
    char skip[6];
    ASSERT_TRUE(BinFileReader_ReadRaw(r, 6, skip));
    ASSERT_TRUE(BinFileReader_AllocateAndReadArray(r, 2, &p, &count));
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(std::memcmp(p, three, 6), 0);
    DVKMem_Free(p);
    uint16_t out[3] = {};
    EXPECT_FALSE(BinFileReader_ReadArray(r, out, 2, 2));
    ASSERT_TRUE(BinFileReader_ReadRaw(r, 6, out));
    EXPECT_TRUE(BinFileReader_ReadArray(r, nullptr, 4, 0));  // the null array
    EXPECT_FALSE(BinFileReader_ReadArray(r, nullptr, 2, 3));
    ASSERT_TRUE(BinFileReader_ReadRaw(r, 6, out));
    EXPECT_TRUE(BinFileReader_IsAtEnd(r));
}

TEST_F(BinaryRecords, FailedAllocationLeavesNothingBehind)
{
    const int32_t values[] = {1, 2, 3};
    const char* words[] = {"a", "b", "c"};
    BinFileReader* r = roundTrip([&](BinFileWriter* w) {
        return BinFileWriter_WriteArray(w, values, 3, 4) && BinFileWriter_WriteStringArray(w, words, 3);
    });
    void* p = nullptr;
    uint32_t count = 0;
    m_allocator.failNext();
    EXPECT_FALSE(BinFileReader_AllocateAndReadArray(r, 4, &p, &count));
    EXPECT_EQ(p, nullptr);
    char skip[12];
    ASSERT_TRUE(BinFileReader_ReadRaw(r, 12, skip));
    char** array = nullptr;
    int32_t n = 0;
    m_allocator.failAt(m_allocator.calls() + 3);  // the second string
    EXPECT_FALSE(BinFileReader_ReadAndAllocateStringArray(r, &array, &n));
    EXPECT_EQ(array, nullptr);
}

TEST_F(BinaryRecords, TwoDimensionalArraysRoundTrip)
{
    auto** grid = static_cast<int32_t**>(DVKMem_2DCalloc(4, 2, 3));
    for (int row = 0; row < 2; ++row)
        for (int col = 0; col < 3; ++col)
            grid[row][col] = row * 10 + col;
    BinFileReader* r = roundTrip([&](BinFileWriter* w) {
        return BinFileWriter_WriteArray2D(w, grid, 2, 3, 4) &&
               BinFileWriter_WriteArray2D(w, grid, 2, 3, 4) &&
               BinFileWriter_WriteArray2D(w, nullptr, 5, 7, 4) &&
               BinFileWriter_WriteArray2D(w, grid, 2, 3, 4);
    });
    void* read = nullptr;
    int32_t rows = 0;
    int32_t columns = 0;
    ASSERT_TRUE(BinFileReader_AllocateAndReadArray2D(r, &read, &rows, &columns, 4));
    ASSERT_EQ(rows, 2);
    ASSERT_EQ(columns, 3);
    EXPECT_EQ(static_cast<int32_t**>(read)[1][2], 12);
    EXPECT_EQ(DVKMem_2DGetNumColumns(read), 3);
    DVKMem_2DFree(read);
    auto** into = static_cast<int32_t**>(DVKMem_2DCalloc(4, 2, 3));
    EXPECT_TRUE(BinFileReader_ReadArray2D(r, into, 2, 3, 4));
    EXPECT_EQ(into[0][1], 1);
    EXPECT_TRUE(BinFileReader_AllocateAndReadArray2D(r, &read, &rows, &columns, 4));
    EXPECT_EQ(read, nullptr);
    EXPECT_EQ(rows, 0);
    EXPECT_EQ(columns, 7);
    EXPECT_FALSE(BinFileReader_ReadArray2D(r, into, 2, 2, 4));  // columns differ
    DVKMem_2DFree(into);
    DVKMem_2DFree(grid);
    DVKMem_2DFree(static_cast<void*>(nullptr));
}

TEST_F(BinaryRecords, TwoDimensionalCountsBeyondTheSubFileAreRefused)
{
    BinFileReader* r = roundTrip([](BinFileWriter* w) {
        return BinFileWriter_WriteInt(w, 0x100000) && BinFileWriter_WriteInt(w, 0x100000) &&
               BinFileWriter_WriteInt(w, 4);
    });
    const uint32_t largest = m_allocator.largestRequest();
    void* read = nullptr;
    int32_t rows = 0;
    int32_t columns = 0;
    EXPECT_FALSE(BinFileReader_AllocateAndReadArray2D(r, &read, &rows, &columns, 8));
    EXPECT_EQ(read, nullptr);
    EXPECT_EQ(m_allocator.largestRequest(), largest);
}

TEST_F(BinaryRecords, ChunkedArraysRoundTripWithinTheirChunkLimit)
{
    int32_t first[4] = {1, 2, 3, 4};
    int32_t second[4] = {5, 6, 7, 8};
    void* table[] = {first, second};
    BinFileReader* r = roundTrip([&](BinFileWriter* w) {
        return BinFileWriter_WriteChunkedArray(w, table, 2, 4, 4) &&
               BinFileWriter_WriteChunkedArray(w, table, 2, 4, 4) &&
               BinFileWriter_WriteChunkedArray(w, table, 2, 4, 4);
    });
    uint32_t elements = 0;
    ASSERT_EQ(DVKTar_SubFileReadAt(m_tar, "r", 0, 4, &elements), 4);
    EXPECT_EQ(elements, 8u);
    void** chunks = nullptr;
    uint32_t used = 0;
    EXPECT_FALSE(BinFileReader_AllocateAndReadChunkedArray(r, &chunks, 1, 4, 4, &used));
    EXPECT_EQ(chunks, nullptr);
    char skip[32];
    ASSERT_TRUE(BinFileReader_ReadRaw(r, 32, skip));
    EXPECT_FALSE(BinFileReader_AllocateAndReadChunkedArray(r, &chunks, 4, 3, 4, &used));
    ASSERT_TRUE(BinFileReader_ReadRaw(r, 32, skip));
    ASSERT_TRUE(BinFileReader_AllocateAndReadChunkedArray(r, &chunks, 3, 4, 4, &used));
    EXPECT_EQ(used, 2u);
    EXPECT_EQ(static_cast<int32_t*>(chunks[1])[3], 8);
    EXPECT_EQ(chunks[2], nullptr);
    DVKMem_FreeChunksArray(chunks, used);
}

TEST_F(BinaryRecords, ChunkedArrayReadsIntoExistingChunks)
{
    int32_t a[2] = {1, 2};
    int32_t b[2] = {3, 4};
    void* table[] = {a, b};
    BinFileReader* r = roundTrip([&](BinFileWriter* w) {
        return BinFileWriter_WriteChunkedArray(w, table, 2, 2, 4);
    });
    int32_t x[2] = {};
    int32_t y[2] = {};
    void* into[] = {x, y};
    uint32_t used = 0;
    ASSERT_TRUE(BinFileReader_ReadChunkedArray(r, into, 2, 2, 4, &used));
    EXPECT_EQ(used, 2u);
    EXPECT_EQ(y[1], 4);
}

TEST_F(BinaryRecords, StructuresThroughFunctionsCarryTheirByteLength)
{
    Point points[3] = {{0, 0, 0.5, 10}, {0, 0, 1.5, 11}, {0, 0, 2.5, 12}};
    Point c0[2] = {points[0], points[1]};
    Point c1[2] = {points[2], points[0]};
    void* table[] = {c0, c1};
    BinFileReader* r = roundTrip([&](BinFileWriter* w) {
        return BinFileWriter_WriteArrayStructsWithFunc(w, points, 3, sizeof(Point), writePoint) &&
               BinFileWriter_WriteArrayStructsWithFunc(w, points, 3, sizeof(Point), writePoint) &&
               BinFileWriter_WriteChunkedArrayStructsWithFunc(w, table, 2, 2, sizeof(Point),
                                                              writePoint) &&
               BinFileWriter_WriteChunkedArrayStructsWithFunc(w, table, 2, 2, sizeof(Point),
                                                              writePoint);
    });
    Point read[3] = {};
    ASSERT_TRUE(BinFileReader_ReadArrayStructsWithFunc(r, read, 3, sizeof(Point), readPoint));
    EXPECT_EQ(read[2].id, 12);
    EXPECT_EQ(read[1].weight, 1.5);
    // An element reader that takes fewer bytes than were written is caught.
    EXPECT_FALSE(BinFileReader_ReadArrayStructsWithFunc(r, read, 3, sizeof(Point), readPointShort));

    BinFileReader_Delete(m_reader);
    m_reader = BinFileReader_Create(m_tar, "r", nullptr);
    ASSERT_NE(m_reader, nullptr);
    r = m_reader;
    EXPECT_FALSE(BinFileReader_ReadArrayStructsWithFunc(r, read, 2, sizeof(Point), readPoint));
    BinFileReader_Delete(m_reader);
    m_reader = BinFileReader_Create(m_tar, "r", nullptr);
    r = m_reader;
    ASSERT_TRUE(BinFileReader_ReadArrayStructsWithFunc(r, read, 3, sizeof(Point), readPoint));
    ASSERT_TRUE(BinFileReader_ReadArrayStructsWithFunc(r, read, 3, sizeof(Point), readPoint));
    void** chunks = nullptr;
    uint32_t used = 0;
    ASSERT_TRUE(BinFileReader_AllocateAndReadChunkedArrayStructsWithFunc(
        r, &chunks, 2, 2, sizeof(Point), readPoint, &used));
    EXPECT_EQ(used, 2u);
    EXPECT_EQ(static_cast<Point*>(chunks[1])[0].id, 12);
    Point x[2] = {};
    Point y[2] = {};
    void* into[] = {x, y};
    ASSERT_TRUE(BinFileReader_ReadChunkedArrayStructsWithFunc(r, into, 2, 2, sizeof(Point),
                                                              readPoint, &used));
    EXPECT_EQ(y[1].weight, 0.5);
    DVKMem_FreeChunksArray(chunks, 2);
    EXPECT_TRUE(BinFileReader_IsAtEnd(r));
}

TEST_F(BinaryRecords, ChunkedStructCountsBeyondTheDataCostNoChunks)
{
    // A stored count of 2^20 elements with the data of one: the reading fails
    // at the second element, having made only the chunk it needed.
    const Point one = {0, 0, 0.5, 10};
    BinFileReader* r = roundTrip([&](BinFileWriter* w) {
        return BinFileWriter_WriteUnsignedInt(w, 1u << 20) && writePoint(w, 0, &one) &&
               BinFileWriter_WriteUnsignedInt(w, 12);
    });
    const uint64_t callsBefore = m_allocator.calls();
    void** chunks = nullptr;
    uint32_t used = 0;
    EXPECT_FALSE(BinFileReader_AllocateAndReadChunkedArrayStructsWithFunc(
        r, &chunks, 1u << 10, 1u << 10, sizeof(Point), readPoint, &used));
    EXPECT_EQ(chunks, nullptr);
    // The chunk table and the first chunk.
    EXPECT_EQ(m_allocator.calls() - callsBefore, 2u);
}

#define FIELD(member) static_cast<int>(offsetof(Point, member)), static_cast<int>(sizeof(Point::member))

TEST_F(BinaryRecords, StructuresFromFieldListsRoundTrip)
{
    const Point p = {-3, 0xAB, 6.25, 77};
    BinFileReader* r = roundTrip([&](BinFileWriter* w) {
        return BinFileWrite_WriteStruct(w, &p, sizeof(Point), 4, FIELD(x), FIELD(tag),
                                        FIELD(weight), FIELD(id)) &&
               BinFileWrite_WriteStruct(w, &p, sizeof(Point), 1, FIELD(id));
    });
    EXPECT_EQ(stored().size(), 8u + 4 * 1 + 2 + 1 + 8 + 4 + 8 + 1 + 4);
    Point q = {};
    ASSERT_TRUE(BinFileReader_ReadStruct(r, &q, sizeof(Point), 4, FIELD(x), FIELD(tag),
                                         FIELD(weight), FIELD(id)));
    EXPECT_EQ(q.x, -3);
    EXPECT_EQ(q.tag, 0xAB);
    EXPECT_EQ(q.weight, 6.25);
    EXPECT_EQ(q.id, 77);
    // The stored field size (4) differs from the one asked for (2).
    EXPECT_FALSE(BinFileReader_ReadStruct(r, &q, sizeof(Point), 1, FIELD(x)));
}

TEST_F(BinaryRecords, BadFieldListsAreRefused)
{
    const Point p = {};
    ArchiveFixture& fixture = *m_archive;
    BinFileWriter* w = BinFileWriter_Create(fixture.tar(), "r", nullptr);
    ASSERT_NE(w, nullptr);
    EXPECT_FALSE(BinFileWrite_WriteStruct(w, &p, sizeof(Point), 1, 0, 3));        // size 3
    EXPECT_FALSE(BinFileWrite_WriteStruct(w, &p, sizeof(Point), 1, 20, 8));       // past the end
    EXPECT_FALSE(BinFileWrite_WriteStruct(w, &p, sizeof(Point), 1, -1, 1));       // negative
    EXPECT_TRUE(BinFileWriter_WriteInt(w, 0));
    EXPECT_EQ(BinFileWriter_Delete(w), 0);
}

TEST_F(BinaryRecords, MemberArraysRoundTrip)
{
    Point points[3] = {{1, 2, 0.5, 10}, {3, 4, 1.5, 11}, {5, 6, 2.5, 12}};
    BinFileReader* r = roundTrip([&](BinFileWriter* w) {
        return BinFileWriter_WriteArrayStructs2Members(w, points, 3, sizeof(Point), FIELD(x),
                                                       FIELD(id)) &&
               BinFileWriter_WriteArrayStructs3Members(w, points, 3, sizeof(Point), FIELD(tag),
                                                       FIELD(weight), FIELD(id)) &&
               BinFileWriter_WriteArrayStructsNMembers(w, points, 3, sizeof(Point), 4, FIELD(x),
                                                       FIELD(tag), FIELD(weight), FIELD(id)) &&
               BinFileWriter_WriteArrayStructs2Members(w, points, 3, sizeof(Point), FIELD(x),
                                                       FIELD(id));
    });
    // Total bytes, member count, stride, then size and offset of each member.
    const std::string bytes = stored();
    uint32_t head[7];
    std::memcpy(head, bytes.data(), sizeof(head));
    EXPECT_EQ(head[0], 3u * 6);
    EXPECT_EQ(head[1], 2u);
    EXPECT_EQ(head[2], sizeof(Point));
    EXPECT_EQ(head[3], 2u);
    EXPECT_EQ(head[4], offsetof(Point, x));
    EXPECT_EQ(head[5], 4u);
    EXPECT_EQ(head[6], offsetof(Point, id));

    Point a[3] = {};
    ASSERT_TRUE(BinFileReader_ReadArrayStructs2Members(r, a, 3, sizeof(Point), FIELD(x), FIELD(id)));
    EXPECT_EQ(a[2].x, 5);
    EXPECT_EQ(a[2].id, 12);
    EXPECT_EQ(a[2].weight, 0.0);
    ASSERT_TRUE(BinFileReader_ReadArrayStructs3Members(r, a, 3, sizeof(Point), FIELD(tag),
                                                       FIELD(weight), FIELD(id)));
    EXPECT_EQ(a[1].tag, 4);
    EXPECT_EQ(a[1].weight, 1.5);
    Point b[3] = {};
    ASSERT_TRUE(BinFileReader_ReadArrayStructsNMembers(r, b, 3, sizeof(Point), 4, FIELD(x),
                                                       FIELD(tag), FIELD(weight), FIELD(id)));
    EXPECT_EQ(b[0].x, 1);
    EXPECT_EQ(b[0].tag, 2);
    EXPECT_EQ(b[0].weight, 0.5);
    EXPECT_EQ(b[0].id, 10);
    // Member sizes must match what was stored; members must lie in the stride.
    EXPECT_FALSE(BinFileReader_ReadArrayStructs2Members(r, a, 3, sizeof(Point), FIELD(x),
                                                        FIELD(weight)));
    EXPECT_FALSE(BinFileReader_ReadArrayStructs2Members(r, a, 3, 4, FIELD(x), FIELD(id)));
}

TEST_F(BinaryRecords, ManyMembersGoThroughTheBatchBuffer)
{
    std::vector<Point> points(1000);
    for (size_t i = 0; i < points.size(); ++i)
        points[i] = {static_cast<int16_t>(i), static_cast<uint8_t>(i), i * 0.5,
                     static_cast<int32_t>(i * 3)};
    BinFileReader* r = roundTrip([&](BinFileWriter* w) {
        return BinFileWriter_WriteArrayStructsNMembers(w, points.data(), 1000, sizeof(Point), 3,
                                                       FIELD(x), FIELD(weight), FIELD(id));
    });
    std::vector<Point> read(1000);
    ASSERT_TRUE(BinFileReader_ReadArrayStructsNMembers(r, read.data(), 1000, sizeof(Point), 3,
                                                       FIELD(x), FIELD(weight), FIELD(id)));
    for (size_t i = 0; i < read.size(); i += 111) {
        EXPECT_EQ(read[i].x, points[i].x);
        EXPECT_EQ(read[i].weight, points[i].weight);
        EXPECT_EQ(read[i].id, points[i].id);
        EXPECT_EQ(read[i].tag, 0);
    }
}

TEST_F(BinaryRecords, OppositeByteOrderIsStoredWithoutTouchingTheCaller)
{
    m_archive->useOppositeByteOrder();
    const uint32_t words[2] = {0x01020304, 0x0A0B0C0D};
    const uint16_t text[] = {0x0102, 0};
    Point p = {0x0102, 0x7F, 0, 0x01020304};
    m_archive->add("r", [&](BinFileWriter* w) {
        EXPECT_EQ(w->swap, 1);
        return BinFileWriter_WriteArray(w, words, 2, 4) && BinFileWriter_WriteUnicode(w, text) &&
               BinFileWrite_WriteStruct(w, &p, sizeof(Point), 2, FIELD(x), FIELD(tag));
    });
    EXPECT_EQ(words[0], 0x01020304u);
    EXPECT_EQ(text[0], 0x0102);
    EXPECT_EQ(p.x, 0x0102);
    m_archive->finish();
    DVKTar* tar = m_archive->openMapped();
    ASSERT_NE(tar, nullptr);
    std::string data(48, '\0');
    const int32_t n = DVKTar_SubFileReadAt(tar, "r", 0, 48, data.data());
    data.resize(static_cast<size_t>(n));
    const std::string expected("\0\0\0\x08" "\x01\x02\x03\x04" "\x0A\x0B\x0C\x0D"
                               "\0\0\0\x04" "\x01\x02\0\0"
                               "\0\0\0\x02" "\0\0\0\x18" "\x02" "\x01\x02" "\x01" "\x7F",
                               33);
    EXPECT_EQ(data, expected);
}

TEST_F(BinaryRecords, SubFileNamesJoinPrefixAndTagWithinLimit)
{
    char name[256];
    BinFile_MakeSubFileName(name, "bcld0", "bdec0/");
    EXPECT_STREQ(name, "bdec0/bcld0");
    BinFile_MakeSubFileName(name, "tag", nullptr);
    EXPECT_STREQ(name, "tag");
    const std::string prefix(250, 'p');
    BinFile_MakeSubFileName(name, "0123456789", prefix.c_str());
    EXPECT_EQ(std::string(name), prefix + "01234");

    m_archive->add("0123456789", [](BinFileWriter* w) { return BinFileWriter_WriteInt(w, 871); },
                   prefix.c_str());
    m_archive->finish();
    DVKTar* tar = m_archive->openMapped();
    EXPECT_EQ(DVKTar_SubFileExists(tar, (prefix + "01234").c_str()), 1);
    uint32_t format = 0;
    EXPECT_TRUE(BinFileReader_PeekFormatNumber(tar, "0123456789", prefix.c_str(), &format));
    EXPECT_EQ(format, 871u);
    EXPECT_FALSE(BinFileReader_PeekFormatNumber(tar, "other", nullptr, &format));
    BinFileReader* r = BinFileReader_Create(tar, "0123456789xyz", prefix.c_str());
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(BinFileReader_Create(tar, "0123456789", nullptr), nullptr);
    BinFileReader_Delete(r);
}

TEST_F(BinaryRecords, WriterReportsAnIncompleteSubFile)
{
    DVKTar* tar = DVKTar_OpenForWrite(m_archive->path().c_str());
    ASSERT_NE(tar, nullptr);
    BinFileWriter* w = BinFileWriter_Create(tar, "empty", nullptr);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(BinFileWriter_Delete(w), 1);
    EXPECT_EQ(BinFileWriter_Delete(nullptr), 0);
    EXPECT_EQ(BinFileWriter_Create(tar, nullptr, nullptr), nullptr);
    EXPECT_EQ(DVKTar_Close(tar), 1);
}

} // namespace
