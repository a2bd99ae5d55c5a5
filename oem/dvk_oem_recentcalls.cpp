#include "oem/dvk_oem_recentcalls.h"

#include <cstddef>

dvk_oem_recentcalls_Iterator dvk_oem_recentcalls_getFirstCall() { return nullptr; }
dvk_oem_recentcalls_Iterator dvk_oem_recentcalls_getNextCall(dvk_oem_recentcalls_Iterator) { return nullptr; }

// Never reached: no call is ever handed out.
void dvk_oem_recentcalls_getCallNumber(dvk_oem_recentcalls_Iterator, dvk_ucs2_Char* number)
{
    const char sample[] = "14085550199";
    for (size_t i = 0; i < sizeof sample; ++i)
        number[i] = static_cast<dvk_ucs2_Char>(sample[i]);
}
