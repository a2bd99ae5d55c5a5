// Engines of generated model sets get, in place of the linear-chain decoder,
// a decoder of the asked kind that decodes nothing (the dummy's slots); a log
// keeps the kinds and models asked for, and a switch makes it refuse. The
// binaries that use it link with linch_stand_in.cmake's option, which sends
// the engine's calls of the decoder's creation here.
//
// Free of the test framework (fuzz targets and benchmarks use it too).
#pragma once

#include "core/brevit/search/decoder.h"

#include <vector>

struct LinChLog {
    std::vector<int32_t> kinds;
    std::vector<const AM*> models;
    bool refuse = false;
};

LinChLog& linChLog();
