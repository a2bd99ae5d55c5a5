#include "core/vcm/dvk_vcm.h"

#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_assert.h"

#include <cstdarg>

dvk_ucs2_Char* dvk_vcm_concatStrings(dvk_vcm_Session* vcms, const dvk_ucs2_Char* separator, ...)
{
    DVK_ASSERT(vcms != DVK_NULL);
    DVK_ASSERT(separator != DVK_NULL);
    dvk_ucs2_Char* joined = nullptr;
    va_list ids;
    va_start(ids, separator);
    for (int32_t id = va_arg(ids, int32_t); id != -1; id = va_arg(ids, int32_t)) {
        dvk_ucs2_Char* text = dvk_string_getString(vcms->stringTable, id);
        dvk_ucs2_Char* next = nullptr;
        if (text != nullptr)
            next = joined == nullptr ? dvk_ucs2_createCopy(text)
                                     : dvk_ucs2_createConcat(joined, separator, text, static_cast<dvk_ucs2_Char*>(nullptr));
        dvk_ucs2_destroy(&text);
        dvk_ucs2_destroy(&joined);
        if (next == nullptr)
            break;  // a missing text (or memory) yields null
        joined = next;
    }
    va_end(ids);
    return joined;
}
