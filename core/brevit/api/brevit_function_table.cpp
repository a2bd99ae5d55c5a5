#include "core/brevit/api/brevit_function_table.h"

BrevitFunctionTable* spBrevitFunctionPointers = nullptr;
