// The phrases an adaptation session asks the user to read.
#pragma once

#include "core/vcm/dvk_vcm.h"

#include <cstdint>

// How many phrases this language has: the phrases up to the first whose
// text is empty, at most all of them.
int32_t dvk_gen_vcm_adaptationPhraseCount(dvk_vcm_Session* vcms);
