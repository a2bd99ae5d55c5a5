#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/bin_file_writer.h"
#include "core/brevit/runtime/dvk_chunked.h"
#include "tests/support/archive_fixture.h"
#include "tests/support/counting_allocator.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

// The figures of a stored chunked array, written field by field so that each
// can be made to lie.
struct Stored {
    int32_t chunkSize = 16;
    int32_t shift = 4;
    int32_t chunkCount = 2;
    int32_t capacity = 4;
    int32_t length = 20;
    std::optional<uint32_t> elementCount;  // default: chunkCount x chunkSize
    std::optional<uint32_t> trailing;      // default: the element count
    int64_t dataBytes = -1;                // default: the element count
};

class EngineChunkedArrayStore : public ::testing::Test {
protected:
    void TearDown() override
    {
        DVKChunkedArray_Delete(m_array);
        m_archive.reset();
        EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks();
    }

    // Writes s as sub-file "arr" of a fresh archive and opens a reader on it.
    BinFileReader* readerFor(const Stored& s)
    {
        m_archive.reset();
        m_archive.emplace("chunked" + std::to_string(m_round++) + ".dvk");
        m_archive->add("arr", [&](BinFileWriter* w) {
            const uint32_t elements = s.elementCount.value_or(
                static_cast<uint32_t>(s.chunkCount) * static_cast<uint32_t>(s.chunkSize));
            const int64_t dataBytes = s.dataBytes >= 0 ? s.dataBytes : elements;
            std::string data(static_cast<size_t>(dataBytes), '\0');
            for (size_t i = 0; i < data.size(); ++i)
                data[i] = static_cast<char>('A' + i % 26);
            return BinFileWriter_WriteInt(w, s.chunkSize) && BinFileWriter_WriteInt(w, s.shift) &&
                   BinFileWriter_WriteInt(w, s.chunkCount) &&
                   BinFileWriter_WriteInt(w, s.capacity) && BinFileWriter_WriteInt(w, s.length) &&
                   BinFileWriter_WriteUnsignedInt(w, elements) &&
                   (data.empty() ||
                    BinFileWriter_WriteRaw(w, static_cast<uint32_t>(data.size()), data.data())) &&
                   BinFileWriter_WriteUnsignedInt(w, s.trailing.value_or(elements));
        });
        m_archive->finish();
        DVKTar* tar = m_archive->openForRead();
        EXPECT_NE(tar, nullptr);
        return tar != nullptr ? BinFileReader_Create(tar, "arr", nullptr) : nullptr;
    }

    bool load(const Stored& s)
    {
        BinFileReader* reader = readerFor(s);
        EXPECT_NE(reader, nullptr);
        const bool loaded = DVKChunkedArray_Load(m_array, reader);
        BinFileReader_Delete(reader);
        return loaded;
    }

    std::string contents()
    {
        std::string out(static_cast<size_t>(m_array->length), '?');
        if (!out.empty())
            DVKChunkedArray_Read(m_array, 0, m_array->length, out.data());
        return out;
    }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
    std::optional<ArchiveFixture> m_archive;
    int m_round = 0;
    DVKChunkedArray* m_array = DVKChunkedArray_Create(16, 0);
};

TEST_F(EngineChunkedArrayStore, SaveAndLoadRoundTrip)
{
    for (int32_t length : {0, 1, 16, 17, 100}) {
        DVKChunkedArray* source = DVKChunkedArray_Create(16, 0);
        std::string bytes(static_cast<size_t>(length), '\0');
        for (int32_t i = 0; i < length; ++i)
            bytes[static_cast<size_t>(i)] = static_cast<char>(i * 13 + 1);
        if (length > 0)
            DVKChunkedArray_Write(source, 0, length, bytes.data());
        m_archive.reset();
        m_archive.emplace("round" + std::to_string(length) + ".dvk");
        m_archive->add("arr", [&](BinFileWriter* w) { return DVKChunkedArray_Save(source, w); });
        m_archive->finish();
        DVKChunkedArray_Delete(source);

        DVKTar* tar = m_archive->openMapped();
        BinFileReader* reader = BinFileReader_Create(tar, "arr", nullptr);
        DVKChunkedArray_Free(m_array);
        DVKChunkedArray_Init(m_array, 16, 0);
        EXPECT_TRUE(DVKChunkedArray_Load(m_array, reader)) << length;
        EXPECT_EQ(BinFileReader_IsAtEnd(reader), 1);
        BinFileReader_Delete(reader);
        EXPECT_EQ(contents(), bytes);
        EXPECT_EQ(m_array->chunkCount, (length + 15) / 16);
    }
    EXPECT_FALSE(DVKChunkedArray_Save(nullptr, nullptr));
}

TEST_F(EngineChunkedArrayStore, LyingFiguresAreRefusedBeforeAllocating)
{
    struct Case {
        const char* name;
        Stored stored;
    };
    auto with = [](auto change) {
        Stored s;
        change(s);
        return s;
    };
    const Case cases[] = {
        {"chunk size not a power of two", with([](Stored& s) { s.chunkSize = 24; })},
        {"chunk size not 1 << shift", with([](Stored& s) { s.shift = 5; })},
        {"shift too large", with([](Stored& s) { s.shift = 31; s.chunkSize = INT32_MIN; })},
        {"negative shift", with([](Stored& s) { s.shift = -1; })},
        {"one-byte chunks", with([](Stored& s) { s.chunkSize = 1; s.shift = 0; s.length = 2; })},
        {"negative chunk count", with([](Stored& s) { s.chunkCount = -1; s.elementCount = 0; })},
        {"negative capacity", with([](Stored& s) { s.capacity = -1; })},
        {"negative length", with([](Stored& s) { s.length = -5; })},
        {"length beyond the chunks", with([](Stored& s) { s.length = 33; })},
        {"length beyond the sub-file",
         with([](Stored& s) { s.length = 0x7FFFFFF0; s.chunkCount = 0x07FFFFFF; s.dataBytes = 32; })},
        {"chunks beyond the sub-file",
         with([](Stored& s) { s.chunkCount = 1 << 20; s.length = 0; s.dataBytes = 32; })},
        {"element count differs", with([](Stored& s) { s.elementCount = 16; s.dataBytes = 32; })},
        {"trailing length differs", with([](Stored& s) { s.trailing = 31; })},
        {"data cut short", with([](Stored& s) { s.dataBytes = 31; })},
    };
    for (const Case& c : cases) {
        const uint32_t before = m_allocator.largestRequest();
        EXPECT_FALSE(load(c.stored)) << c.name;
        EXPECT_LE(m_allocator.largestRequest(), std::max<uint32_t>(before, 4096)) << c.name;
        // Left empty and usable.
        EXPECT_EQ(m_array->length, 0) << c.name;
        EXPECT_EQ(m_array->chunkSize, 16) << c.name;
        EXPECT_EQ(DVKChunkedArray_Write(m_array, 0, 3, "abc"), 3) << c.name;
        DVKChunkedArray_SetLength(m_array, 0);
    }
}

TEST_F(EngineChunkedArrayStore, FiguresThatDoNoHarmAreAccepted)
{
    // A huge table capacity: the table is sized from the length instead.
    Stored big;
    big.capacity = 0x7FFFFFFF;
    EXPECT_TRUE(load(big));
    EXPECT_LE(m_array->capacity, 4);
    EXPECT_EQ(contents(), "ABCDEFGHIJKLMNOPQRST");
    // Bytes after the length read as zeros.
    char tail[4] = {1, 1, 1, 1};
    EXPECT_EQ(DVKChunkedArray_Read(m_array, 19, 4, tail), 4);
    EXPECT_EQ(std::string(tail, 4), std::string("T\0\0\0", 4));

    // More chunks than the length needs (a store that shrank): the extra
    // chunks are skipped.
    DVKChunkedArray_Free(m_array);
    DVKChunkedArray_Init(m_array, 16, 0);
    Stored extra;
    extra.chunkCount = 5;
    extra.length = 3;
    EXPECT_TRUE(load(extra));
    EXPECT_EQ(contents(), "ABC");
    EXPECT_EQ(m_array->chunkCount, 1);

    // An array without chunks takes the stored chunk size; one with chunks
    // must match it.
    DVKChunkedArray_Free(m_array);
    DVKChunkedArray_Init(m_array, 512, 0);
    EXPECT_TRUE(load(Stored{}));
    EXPECT_EQ(m_array->chunkSize, 16);
    DVKChunkedArray_Free(m_array);
    DVKChunkedArray_Init(m_array, 32, 0);
    DVKChunkedArray_SetLength(m_array, 1);
    DVKChunkedArray_SetLength(m_array, 0);
    EXPECT_FALSE(load(Stored{}));

    // Only an empty array loads.
    DVKChunkedArray_Free(m_array);
    DVKChunkedArray_Init(m_array, 16, 0);
    DVKChunkedArray_Write(m_array, 0, 1, "x");
    EXPECT_FALSE(load(Stored{}));
    EXPECT_FALSE(DVKChunkedArray_Load(m_array, nullptr));
}

TEST_F(EngineChunkedArrayStore, AllocationFailureFailsTheLoad)
{
    BinFileReader* reader = readerFor(Stored{});
    m_allocator.failNext(true);
    EXPECT_FALSE(DVKChunkedArray_Load(m_array, reader));
    m_allocator.failAt(0);
    BinFileReader_Delete(reader);
    EXPECT_EQ(m_array->length, 0);
}

} // namespace
