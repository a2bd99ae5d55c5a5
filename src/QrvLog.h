// The service's named loggers: one set usable from any thread and one set per
// work queue ("UI", "VR"). Levels as the service passes them: 0 trace,
// 1 debug, 2 info, 3 notice, 4 warning, 5 error.
#pragma once

#include "platform/core/wex_logger.h"

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

} // namespace QrvLog
