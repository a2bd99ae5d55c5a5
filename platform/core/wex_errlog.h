// Logging of framework errors at their source, with file, line and what the
// caller does with the error:
//   "  CHECKED"      returned to the caller
//   "  ACCUMULATED"  kept as the result while the next step still runs
//   "  CAUGHT"       logged and ignored
//   "THROWN"         raised (returned as a new error of this frame)
#pragma once

#include "platform/core/wex_err.h"
#include "platform/core/wex_logger.h"

extern const char* const WexErrTagChecked;
extern const char* const WexErrTagAccumulated;
extern const char* const WexErrTagCaught;
extern const char* const WexErrTagThrown;

// Logs "<file>(<line>): error <code> (<text>)<tag>" at error level.
void wexLogErr(const WexLogger& logger, WexErr err, const char* file, int line, const char* tag);

// Each evaluates to the error so the call can stand in a return statement:
//   if (WexErr err = step()) return WEX_CHECKED(log, err);
#define WEX_CHECKED(logger, err) wexLogErrReturn((logger), (err), __FILE__, __LINE__, WexErrTagChecked)
#define WEX_ACCUMULATED(logger, err) wexLogErrReturn((logger), (err), __FILE__, __LINE__, WexErrTagAccumulated)
#define WEX_CAUGHT(logger, err) wexLogErrReturn((logger), (err), __FILE__, __LINE__, WexErrTagCaught)
#define WEX_THROWN(logger, err) wexLogErrReturn((logger), (err), __FILE__, __LINE__, WexErrTagThrown)

inline WexErr wexLogErrReturn(const WexLogger& logger, WexErr err, const char* file, int line, const char* tag)
{
    wexLogErr(logger, err, file, line, tag);
    return err;
}
