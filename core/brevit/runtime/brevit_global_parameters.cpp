#include "core/brevit/runtime/brevit_global_parameters.h"

BrevitGlobalParameters* gpBrevitGlobalParameters = nullptr;

uint32_t BrevitParam_Word(int index)
{
    if (gpBrevitGlobalParameters == nullptr || index < 0 || index >= kBrevitParamWordCount)
        return 0;
    return gpBrevitGlobalParameters->words[index];
}
