#include "oem/dvk_oem_goto.h"

dvk_oem_goto_Iterator dvk_oem_goto_getFirstApp(int32_t) { return nullptr; }
dvk_oem_goto_Iterator dvk_oem_goto_getNextApp(dvk_oem_goto_Iterator) { return nullptr; }
int32_t dvk_oem_goto_isAppEnabled(dvk_oem_goto_Iterator) { return 0; }
void dvk_oem_goto_setAppEnabled(dvk_oem_goto_Iterator, int32_t) {}
void dvk_oem_goto_getAppEntry(dvk_oem_goto_Iterator, dvk_oem_goto_AppEntry*) {}
void oemGoToInitStub() {}
