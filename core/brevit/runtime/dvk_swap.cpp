#include "core/brevit/runtime/dvk_swap.h"

#include <algorithm>

namespace {

void swapEach(void* array, int32_t count, int32_t size)
{
    auto* p = static_cast<unsigned char*>(array);
    for (int32_t i = 0; i < count; ++i, p += size)
        std::reverse(p, p + size);
}

} // namespace

void DVKSwap_Bytes(void* value, int32_t size)
{
    if (size == 2 || size == 4 || size == 8)
        swapEach(value, 1, size);
}

void DVKSwap_ArrayFloat(float* array, int32_t count)
{
    swapEach(array, count, 4);
}

void DVKSwap_ArrayDouble(double* array, int32_t count)
{
    swapEach(array, count, 8);
}

void DVKSwap_Array16(void* array, int32_t count)
{
    swapEach(array, count, 2);
}

void DVKSwap_Array32(void* array, int32_t count)
{
    swapEach(array, count, 4);
}

void DVKSwap_Array64(void* array, int32_t count)
{
    swapEach(array, count, 8);
}
