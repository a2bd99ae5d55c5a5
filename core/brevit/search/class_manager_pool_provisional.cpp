// Provisional: the class networks' successor pool is not built yet, so the
// pool stays null and there is nothing to reset.
#include "core/brevit/search/class_manager.h"

void ClassManager_ResetSuccPronIds(ClassManager*) {}
