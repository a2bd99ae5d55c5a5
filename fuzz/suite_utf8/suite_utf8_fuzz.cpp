// Text reaching the suite as UTF-8 (names, titles, settings): the decoder must
// stay inside the string, and what it gives back must survive a round trip.
#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_mem.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string bytes(reinterpret_cast<const char*>(data), size);
    dvk_ucs2_Char* text = dvk_ucs2_cvtFromUtf8(bytes.c_str());
    if (text == nullptr)
        std::abort();
    if (static_cast<size_t>(dvk_ucs2_strlen(text)) > bytes.size())
        std::abort();
    char* again = dvk_ucs2_cvtToUtf8(text);
    dvk_ucs2_Char* back = again != nullptr ? dvk_ucs2_cvtFromUtf8(again) : nullptr;
    if (back == nullptr || dvk_ucs2_strcmp(back, text) != 0)
        std::abort();
    dvk_ucs2_cvtToTitlecase(back);
    char* latin1 = dvk_ucs2_cvtToLatin1(back);
    dvk_mem_dealloc(&latin1);
    dvk_ucs2_destroy(&back);
    dvk_mem_dealloc(&again);
    dvk_ucs2_destroy(&text);
    return 0;
}
