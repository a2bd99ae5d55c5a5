// Until the speech API's engine runs, the grammar sees what it sees without
// one: an empty phrase list and no digits request.
#include "core/dkapi/dvk_dkapi.h"

#include "sdk/common/dvk_assert.h"

int32_t dvk_dkapi_pfl_getFirst()
{
    return 0;
}

int32_t dvk_dkapi_pfl_getNext(int32_t)
{
    return 0;
}

void dvk_dkapi_pfl_getEntry(int32_t, const dvk_ucs2_Char** text, const dvk_ucs2_Char** spoken)
{
    DVK_ASSERT(text != DVK_NULL && spoken != DVK_NULL);
    *text = nullptr;
    *spoken = nullptr;
}

void dvk_dkapi_getDigitRecogLen(int32_t* minimum, int32_t* maximum)
{
    DVK_ASSERT(minimum != DVK_NULL && maximum != DVK_NULL);
    *minimum = 0;
    *maximum = 0;
}
