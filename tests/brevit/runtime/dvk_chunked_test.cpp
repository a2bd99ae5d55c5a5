#include "core/brevit/runtime/dvk_chunked.h"
#include "tests/support/counting_allocator.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

class EngineChunkedArray : public ::testing::Test {
protected:
    void TearDown() override
    {
        DVKChunkedArray_Delete(m_array);
        EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks();
    }

    int32_t write(int32_t offset, const std::string& bytes)
    {
        return DVKChunkedArray_Write(m_array, offset, static_cast<int32_t>(bytes.size()),
                                     bytes.data());
    }

    std::string read(int32_t offset, int32_t count)
    {
        std::string out(static_cast<size_t>(count), '?');
        const int32_t n = DVKChunkedArray_Read(m_array, offset, count, out.data());
        return n == count ? out : "<" + std::to_string(n) + ">";
    }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
    DVKChunkedArray* m_array = nullptr;
};

TEST_F(EngineChunkedArray, ChunkSizeMustBeAPowerOfTwo)
{
    for (int32_t size : {24, 0, -16, 3, 0x7FFFFFFF})
        EXPECT_EQ(DVKChunkedArray_Create(size, 0), nullptr) << size;
    for (int32_t size : {1, 2, 16, 512}) {
        DVKChunkedArray* array = DVKChunkedArray_Create(size, 4);
        ASSERT_NE(array, nullptr) << size;
        EXPECT_EQ(1 << array->shift, size);
        EXPECT_EQ(array->capacity, 4);
        EXPECT_EQ(array->chunkCount, 0);
        EXPECT_EQ(array->length, 0);
        DVKChunkedArray_Delete(array);
    }
    DVKChunkedArray_Delete(nullptr);
    DVKChunkedArray_Free(nullptr);
}

TEST_F(EngineChunkedArray, WritesAppendAndCrossChunks)
{
    m_array = DVKChunkedArray_Create(16, 0);
    EXPECT_EQ(write(0, "0123456789ab"), 12);
    EXPECT_EQ(m_array->chunkCount, 1);
    // Beyond the length: nothing.
    EXPECT_EQ(write(13, "x"), 0);
    EXPECT_EQ(m_array->length, 12);
    // Ten bytes at 12 fill the first chunk and start the second.
    EXPECT_EQ(write(12, "ABCDEFGHIJ"), 10);
    EXPECT_EQ(m_array->chunkCount, 2);
    EXPECT_EQ(m_array->length, 22);
    EXPECT_EQ(std::string(static_cast<char*>(m_array->chunks[0]) + 12, 4), "ABCD");
    EXPECT_EQ(std::string(static_cast<char*>(m_array->chunks[1]), 6), "EFGHIJ");
    EXPECT_EQ(read(0, 22), "0123456789abABCDEFGHIJ");
    // Overwriting inside leaves the length.
    EXPECT_EQ(write(2, "zz"), 2);
    EXPECT_EQ(m_array->length, 22);
    EXPECT_EQ(write(-1, "z"), 0);
    EXPECT_EQ(DVKChunkedArray_Write(m_array, 0, -5, "z"), 0);
}

TEST_F(EngineChunkedArray, ReadsStopAtTheAllocatedChunks)
{
    m_array = DVKChunkedArray_Create(16, 0);
    write(0, "abc");
    // Past the length, the zero-filled chunk is read...
    EXPECT_EQ(read(1, 15), std::string("bc") + std::string(13, '\0'));
    // ...but not beyond it, and not from the length on.
    EXPECT_EQ(read(1, 16), "<0>");
    EXPECT_EQ(read(3, 1), "<0>");
    EXPECT_EQ(read(-1, 1), "<0>");
    EXPECT_EQ(read(0, 0), "");
    EXPECT_EQ(DVKChunkedArray_Read(m_array, 0, -1, nullptr), 0);
}

TEST_F(EngineChunkedArray, ComparesPiecewise)
{
    m_array = DVKChunkedArray_Create(4, 0);
    write(0, "abcdefghij");
    EXPECT_EQ(DVKChunkedArray_Compare(m_array, 2, 6, "cdefgh"), 0);
    EXPECT_LT(DVKChunkedArray_Compare(m_array, 2, 6, "cdefgz"), 0);
    EXPECT_GT(DVKChunkedArray_Compare(m_array, 2, 6, "cdeeZZ"), 0);
    EXPECT_EQ(DVKChunkedArray_Compare(m_array, 2, 0, "x"), 0);
    // Bytes beyond the chunks never compare equal.
    EXPECT_EQ(DVKChunkedArray_Compare(m_array, 8, 5, "ij\0\0\0"), -1);
    EXPECT_EQ(DVKChunkedArray_Compare(m_array, -1, 1, "a"), -1);
}

TEST_F(EngineChunkedArray, AgreesWithAPlainBuffer)
{
    for (int32_t chunkSize : {1, 2, 16, 512}) {
        m_array = DVKChunkedArray_Create(chunkSize, 0);
        std::vector<unsigned char> reference;
        std::mt19937 random(static_cast<uint32_t>(chunkSize));
        for (int step = 0; step < 300; ++step) {
            const int32_t offset =
                static_cast<int32_t>(random() % (reference.size() + 1));
            const int32_t count = static_cast<int32_t>(random() % 1200 + 1);
            std::vector<unsigned char> bytes(static_cast<size_t>(count));
            for (unsigned char& b : bytes)
                b = static_cast<unsigned char>(random());
            ASSERT_EQ(DVKChunkedArray_Write(m_array, offset, count, bytes.data()), count);
            if (reference.size() < static_cast<size_t>(offset + count))
                reference.resize(static_cast<size_t>(offset + count));
            std::memcpy(reference.data() + offset, bytes.data(), bytes.size());
            ASSERT_EQ(m_array->length, static_cast<int32_t>(reference.size()));

            const int32_t from = static_cast<int32_t>(random() % reference.size());
            const int32_t length = static_cast<int32_t>(
                random() % (reference.size() - static_cast<size_t>(from)) + 1);
            std::vector<unsigned char> out(static_cast<size_t>(length));
            ASSERT_EQ(DVKChunkedArray_Read(m_array, from, length, out.data()), length);
            ASSERT_EQ(0, std::memcmp(out.data(), reference.data() + from, out.size()));
            ASSERT_EQ(DVKChunkedArray_Compare(m_array, from, length, reference.data() + from), 0);
        }
        DVKChunkedArray_Delete(m_array);
        m_array = nullptr;
    }
}

TEST_F(EngineChunkedArray, SetLengthGrowsAndShrinks)
{
    m_array = DVKChunkedArray_Create(8, 0);
    EXPECT_TRUE(DVKChunkedArray_SetLength(m_array, 20));
    EXPECT_EQ(m_array->chunkCount, 3);
    EXPECT_EQ(read(0, 20), std::string(20, '\0'));
    EXPECT_TRUE(DVKChunkedArray_SetLength(m_array, 5));
    EXPECT_EQ(m_array->length, 5);
    EXPECT_EQ(m_array->chunkCount, 3);
    EXPECT_FALSE(DVKChunkedArray_SetLength(m_array, -1));
    EXPECT_EQ(m_array->length, 5);

    DVKChunkedArray_Free(m_array);
    EXPECT_EQ(m_array->chunks, nullptr);
    EXPECT_EQ(m_array->length, 0);
    EXPECT_EQ(m_array->chunkSize, 0);
}

TEST_F(EngineChunkedArray, AllocationFailureLeavesTheArrayAsItWas)
{
    m_allocator.failNext();
    EXPECT_EQ(DVKChunkedArray_Create(16, 0), nullptr);
    m_allocator.failAt(m_allocator.calls() + 2);
    EXPECT_EQ(DVKChunkedArray_Create(16, 8), nullptr);

    m_array = DVKChunkedArray_Create(16, 0);
    write(0, "0123456789abcdef");
    m_allocator.failNext(true);
    EXPECT_EQ(write(16, "more"), 0);
    EXPECT_FALSE(DVKChunkedArray_SetLength(m_array, 40));
    m_allocator.failAt(0);
    EXPECT_EQ(m_array->length, 16);
    EXPECT_EQ(read(0, 16), "0123456789abcdef");
    EXPECT_EQ(write(16, "more"), 4);
}

} // namespace
