#include "platform/core/wex_errlog.h"

#include <cstring>

const char* const WexErrTagChecked = "  CHECKED";
const char* const WexErrTagAccumulated = "  ACCUMULATED";
const char* const WexErrTagCaught = "  CAUGHT";
const char* const WexErrTagThrown = "THROWN";

void wexLogErr(const WexLogger& logger, WexErr err, const char* file, int line, const char* tag)
{
    // The base name is enough to find the line and keeps build paths out of logs.
    const char* slash = std::strrchr(file, '/');
    logger.log(WexLogError, "%s(%d): error %d (%s)%s", slash ? slash + 1 : file, line,
               static_cast<int>(err), wexErrText(err), tag);
}
