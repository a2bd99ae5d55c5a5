// Error codes of the service framework. 0 is success; every other value is a
// failure that callers return upwards and log once, at its source.
#pragma once

#include <cstdint>

using WexErr = int32_t;

enum : WexErr {
    WexErrNone = 0,

    // Codes the service itself puts on the bus.
    WexErrBadState = 13,                 // "Bad state"
    WexErrNotRunning = -980,             // "merrowind wasn't running"
    WexErrAlreadyRunning = -999,         // a second download monitor
    WexErrUnexpectedAction = -4996,      // a download ticket with an unknown action

    // Database query validation.
    WexErrDbConflictingOperators = -3975,
    WexErrDbInvalidOperator = -3976,
    WexErrDbCollationMismatch = -3977,
    WexErrDbInvalidQuery = -3978,
    WexErrDbInvalidCollation = -3988,

    // Framework codes of our own; a block of values no platform code uses.
    WexErrFailed = -5000,                // unspecified failure
    WexErrNoMemory = -5001,              // out of memory
    WexErrMissingProperty = -5002,       // a required property is absent or of another type
    WexErrBadJson = -5003,               // text is not a JSON value of the expected shape
    WexErrUnknownMethod = -5004,         // no such bus method
    WexErrBus = -5005,                   // the bus refused or lost a call
    WexErrTooLarge = -5006,              // a payload over the size limit
    WexErrNotFound = -5007,              // no such item
    WexErrInvalidArg = -5008,            // an argument out of range
    WexErrNotInitialized = -5009,        // used before its init (a reactor run before init)
};

// A short English text for any code; unknown codes get "unknown error".
const char* wexErrText(WexErr err);
