// Helpers the dialog manager's files share.
#pragma once

#include "core/vcm/dvk_vcm.h"

void dvk_vcm_destroyStack(dvk_vcm_Session* vcms, dvk_vcm_Module** stack);
void dvk_vcm_destroySavedChain(dvk_vcm_Session* vcms, dvk_vcm_Session** saved);
