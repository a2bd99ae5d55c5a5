#include "core/vcm/dvk_vcm.h"

#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_settings.h"

namespace {

enum : int32_t { NO_SLOT = -1, SLOT_GROUP = 12, SLOT_NAME = 20 };

bool unanimous(dvk_nbest_List* nbest, int32_t slot)
{
    if (slot == NO_SLOT)
        return false;
    int32_t count = dvk_nbest_getCount(nbest);
    if (count < 2)
        return true;
    const dvk_ucs2_Char* first = dvk_nbest_getStr(nbest, 0, slot);
    if (first == nullptr)
        return false;
    for (int32_t i = 1; i < count; i++) {
        const dvk_ucs2_Char* value = dvk_nbest_getStr(nbest, i, slot);
        if (value == nullptr || dvk_ucs2_strcmp(first, value) != 0)
            return false;
    }
    return true;
}

int32_t shouldConfirm(dvk_nbest_List* nbest, int32_t slot)
{
    DVK_ASSERT(nbest != DVK_NULL);
    int32_t mode = dvk_settings_getChoiceListConfirmMode();
    if (mode == 1)
        return 0;
    if (mode != 2)
        return 1;
    int32_t threshold;
    switch (dvk_settings_getSensitivityMode()) {
    case 0:
        threshold = 35;
        break;
    case 1:
        threshold = 50;
        break;
    case 2:
        threshold = 65;
        break;
    default:
        return 1;
    }
    return dvk_nbest_getConfidence(nbest) < threshold && !unanimous(nbest, slot) ? 1 : 0;
}

}  // namespace

int32_t dvk_vcm_needNameConfirmation(dvk_nbest_List* nbest)
{
    return shouldConfirm(nbest, SLOT_NAME);
}

int32_t dvk_vcm_needGroupConfirmation(dvk_nbest_List* nbest)
{
    return shouldConfirm(nbest, SLOT_GROUP);
}

int32_t dvk_vcm_needNumberConfirmation(dvk_nbest_List* nbest)
{
    return shouldConfirm(nbest, NO_SLOT);
}

int32_t dvk_vcm_needVoiceMailConfirmation(dvk_nbest_List* nbest)
{
    return shouldConfirm(nbest, NO_SLOT);
}

int32_t dvk_vcm_needLastNumberConfirmation(dvk_nbest_List* nbest)
{
    return shouldConfirm(nbest, NO_SLOT);
}
