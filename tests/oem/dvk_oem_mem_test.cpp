#include "oem/dvk_oem_mem.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace {

TEST(OemMem, BlocksAreUsableAndAligned)
{
    const size_t sizes[] = {1, 8, 320, 4096, 1 << 20};
    for (size_t size : sizes) {
        auto* block = static_cast<unsigned char*>(dvk_oem_mem_alloc(size));
        ASSERT_NE(block, nullptr) << size;
        EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % alignof(std::max_align_t), 0u) << size;
        std::memset(block, 0xa5, size);  // the whole block is ours
        dvk_oem_mem_free(block);
    }
}

TEST(OemMem, FreeOfNullDoesNothing)
{
    dvk_oem_mem_free(nullptr);
    SUCCEED();
}

} // namespace
