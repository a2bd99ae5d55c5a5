// What a module's stand-in says before it fails.
#pragma once

#include "platform/core/wex_logger.h"

#include <cstdint>

inline void dvkGenVcmStandIn(const char* constructor)
{
    static WexLogger logger("DvkGenVcm");
    logger.log(WexLogError, "%s: module not built", constructor);
}

// With the one argument that tells its callers apart.
inline void dvkGenVcmStandIn(const char* constructor, int32_t argument)
{
    static WexLogger logger("DvkGenVcm");
    logger.log(WexLogError, "%s(%d): module not built", constructor, argument);
}
