// Tables made after loading. The phone-model context tables and the added
// phone models come with their own operations; a model loads without them.
#include "core/brevit/acoustic/am.h"

#include "core/brevit/acoustic/decision_tree.h"

int32_t AM_InitTables(AM*)
{
    return 1;
}

int32_t AM_AllocAddedModels(AM*)
{
    return 1;
}

void AM_FreeAddedModels(AM*)
{
}

uint16_t AM_GetTiedStateByFeatures(const AM* am, const uint8_t* features, int32_t length,
                                   int32_t position)
{
    if (am->tree == nullptr)
        return kAMNoState;
    return DecisionTree_GetLeafByContext(am->tree, features, length, position);
}
