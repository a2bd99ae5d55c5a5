// What a module's stand-in says before it fails.
#pragma once

#include "platform/core/wex_logger.h"

inline void dvkGenVcmStandIn(const char* constructor)
{
    static WexLogger logger("DvkGenVcm");
    logger.log(WexLogError, "%s: module not built", constructor);
}
