#include "core/brevit/synthesis/cep_fixed.h"

uint32_t gCepSaturationCount = 0;
