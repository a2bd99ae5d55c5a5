#include "sdk/common/dvk_goto.h"

#include "sdk/common/dvk_named_list.h"

DVK_NAMED_LIST_FAMILY(dvk_goto, dvk_oem_goto, App, dvk_goto_Iterator, dvk_goto_AppEntry)

int32_t dvk_goto_isAppEnabled(dvk_goto_Iterator iterator)
{
    DVK_ASSERT(iterator != DVK_NULL);
    return dvk_oem_goto_isAppEnabled(iterator);
}

void dvk_goto_setAppEnabled(dvk_goto_Iterator iterator, int32_t enabled)
{
    DVK_ASSERT(iterator != DVK_NULL);
    dvk_oem_goto_setAppEnabled(iterator, enabled);
}

namespace {

dvk_goto_Iterator firstEnabledFrom(dvk_goto_Iterator iterator)
{
    while (iterator != nullptr && dvk_oem_goto_isAppEnabled(iterator) == 0)
        iterator = dvk_oem_goto_getNextApp(iterator);
    return iterator;
}

} // namespace

dvk_goto_Iterator dvk_goto_getFirstEnabledApp()
{
    return firstEnabledFrom(dvk_goto_getFirstApp());
}

dvk_goto_Iterator dvk_goto_getNextEnabledApp(dvk_goto_Iterator iterator)
{
    return firstEnabledFrom(dvk_goto_getNextApp(iterator));
}
