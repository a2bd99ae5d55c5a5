// The service's named loggers: one set usable from any thread and one set per
// work queue ("UI", "VR"). Levels as the service passes them: 0 trace,
// 1 debug, 2 info, 3 notice, 4 warning, 5 error.
#pragma once

#include "platform/core/wex_logger.h"

class WexObject;

namespace QrvLog {

namespace multiThread {
WexLogger& qrvLog();          // "QrvLogMT"
WexLogger& qrvLogFile();      // "QrvLogMTFile"
WexLogger& qrvLogRecorder();  // "QrvLogMTRecorder"
WexLogger& qrvLogPlayer();    // "QrvLogMTPlayer"
} // namespace multiThread

namespace UIthread {
extern WexLogger qrvLog;          // "QrvLogUI"
extern WexLogger qrvLogContacts;  // "QrvLogUIContacts"
extern WexLogger qrvLogRecord;    // "QrvLogUIRecord"
} // namespace UIthread

namespace VRthread {
extern WexLogger qrvLog;          // "QrvLogVR"
extern WexLogger qrvLogContacts;  // "QrvLogVRContacts"
extern WexLogger qrvLogPlayer;    // "QrvLogVRPlayer"
extern WexLogger qrvLogRecord;    // "QrvLogVRRecord"
} // namespace VRthread

// Logs the object as JSON: "caller: label: json", or "caller: label:
// printObject failed" when it cannot be written as JSON. JSON longer than 512
// bytes is cut there and ends "… (N bytes)", N being its whole length.
void printObject(const WexLogger& logger, int level, const char* caller, const char* label,
                 const WexObject& object);
// The same without a label: "caller: json" / "caller: printObject failed".
void printObject(const WexLogger& logger, int level, const char* caller, const WexObject& object);

} // namespace QrvLog
