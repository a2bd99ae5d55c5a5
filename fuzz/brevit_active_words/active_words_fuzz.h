// What the active word list fuzz target and the test that makes its seeds
// share: the parameter block the lists are loaded under and the names of the
// sub-files in a seed archive.
#pragma once

#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"

#include <cstring>

namespace active_words_fuzz {

// The user state lies beside the static part under this name prefix.
inline constexpr const char* kStatePrefix = "u";

// Room for 300 run-time words with two prons each.
inline void setParameters(BrevitGlobalParameters& block, bool cache)
{
    block = {};
    block.words[kBrevitParamRunTimeWordPages] = 300;
    const double pronsPerWord = 2.0;
    std::memcpy(&block.words[kBrevitParamRunTimeWordScale], &pronsPerWord, sizeof(pronsPerWord));
    block.words[kBrevitParamFirstPronCache] = cache ? 1 : 0;
}

} // namespace active_words_fuzz
