#include "platform/core/wex_err.h"

const char* wexErrText(WexErr err)
{
    switch (err) {
    case WexErrNone: return "success";
    case WexErrBadState: return "Bad state";
    case WexErrNotRunning: return "merrowind wasn't running";
    case WexErrAlreadyRunning: return "already running";
    case WexErrUnexpectedAction: return "unexpected action";
    case WexErrDbConflictingOperators: return "conflicting operators on one property";
    case WexErrDbInvalidOperator: return "invalid operator";
    case WexErrDbCollationMismatch: return "collation mismatch on one property";
    case WexErrDbInvalidQuery: return "invalid query";
    case WexErrDbInvalidCollation: return "invalid collation";
    case WexErrFailed: return "failed";
    case WexErrNoMemory: return "out of memory";
    case WexErrMissingProperty: return "missing property";
    case WexErrBadJson: return "malformed JSON";
    case WexErrUnknownMethod: return "unknown method";
    case WexErrBus: return "bus failure";
    case WexErrTooLarge: return "payload too large";
    case WexErrNotFound: return "not found";
    case WexErrInvalidArg: return "invalid argument";
    case WexErrNotInitialized: return "not initialised";
    }
    return "unknown error";
}
