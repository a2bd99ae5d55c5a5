// The default generated model set, made once per fuzz process inside a
// temporary platform root (engine targets create their engine from it).
//
// Header-only.
#pragma once

#include "tests/support/fuzz_save_path.h"
#include "tests/support/model_set_writer.h"
#include "tests/support/system_engine_context.h"

#include <string>

inline const std::string& fuzzModelSetImage()
{
    static const std::string image = [] {
        fuzzSavePath("x");
        SystemEngineContext context;
        return model_set::image(model_set::ModelSetSpec{});
    }();
    return image;
}
