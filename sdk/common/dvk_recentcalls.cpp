#include "sdk/common/dvk_recentcalls.h"

#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_mem.h"

#include <cstring>

dvk_recentcalls_Iterator dvk_recentcalls_getFirstCall()
{
    return dvk_oem_recentcalls_getFirstCall();
}

dvk_recentcalls_Iterator dvk_recentcalls_getNextCall(dvk_recentcalls_Iterator iterator)
{
    DVK_ASSERT(iterator != DVK_NULL);
    return dvk_oem_recentcalls_getNextCall(iterator);
}

dvk_ucs2_Char* dvk_recentcalls_getCallNumber(dvk_recentcalls_Iterator iterator)
{
    const size_t units = DVK_OEM_RECENTCALLS_NUMBER_LENGTH + 1;
    auto* number = static_cast<dvk_ucs2_Char*>(dvk_mem_alloc(units * sizeof(dvk_ucs2_Char)));
    if (number == nullptr)
        return nullptr;
    std::memset(number, 0, units * sizeof(dvk_ucs2_Char));
    dvk_oem_recentcalls_getCallNumber(iterator, number);
    number[DVK_OEM_RECENTCALLS_NUMBER_LENGTH] = 0;
    return number;
}
