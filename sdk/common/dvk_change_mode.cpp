#include "sdk/common/dvk_change_mode.h"

#include "sdk/common/dvk_named_list.h"

DVK_NAMED_LIST_FAMILY(dvk_change_mode, dvk_oem_change_mode, Mode, dvk_change_mode_Iterator, dvk_change_mode_ModeEntry)

void dvk_change_mode_setMode(dvk_change_mode_Iterator iterator)
{
    DVK_ASSERT(iterator != DVK_NULL);
    dvk_oem_change_mode_setMode(iterator);
}
