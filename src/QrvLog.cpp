#include "src/QrvLog.h"

#include "platform/core/wex_object.h"

#include <string>

// All loggers live in this one file so that they are constructed in this
// order at process start (and destroyed in the reverse order at exit).
namespace {

struct QrvLogMTLocal {
    static WexLogger s_qrvLog;
    static WexLogger s_qrvLogFile;
    static WexLogger s_qrvLogRecorder;
    static WexLogger s_qrvLogPlayer;
};

WexLogger QrvLogMTLocal::s_qrvLog("QrvLogMT");
WexLogger QrvLogMTLocal::s_qrvLogFile("QrvLogMTFile");
WexLogger QrvLogMTLocal::s_qrvLogRecorder("QrvLogMTRecorder");
WexLogger QrvLogMTLocal::s_qrvLogPlayer("QrvLogMTPlayer");

} // namespace

namespace QrvLog {

namespace UIthread {
WexLogger qrvLog("QrvLogUI");
WexLogger qrvLogContacts("QrvLogUIContacts");
WexLogger qrvLogRecord("QrvLogUIRecord");
} // namespace UIthread

namespace VRthread {
WexLogger qrvLog("QrvLogVR");
WexLogger qrvLogContacts("QrvLogVRContacts");
WexLogger qrvLogPlayer("QrvLogVRPlayer");
WexLogger qrvLogRecord("QrvLogVRRecord");
} // namespace VRthread

namespace multiThread {
WexLogger& qrvLog() { return QrvLogMTLocal::s_qrvLog; }
WexLogger& qrvLogFile() { return QrvLogMTLocal::s_qrvLogFile; }
WexLogger& qrvLogRecorder() { return QrvLogMTLocal::s_qrvLogRecorder; }
WexLogger& qrvLogPlayer() { return QrvLogMTLocal::s_qrvLogPlayer; }
} // namespace multiThread

namespace {

// A payload comes from whoever calls on the bus: a line keeps its head only,
// so that no caller can fill the disk with one message.
constexpr size_t kPrintedBytes = 512;

std::string clipped(const std::string& json)
{
    if (json.size() <= kPrintedBytes)
        return json;
    size_t end = kPrintedBytes;
    // Never end inside a UTF-8 sequence.
    while (end > 0 && (static_cast<unsigned char>(json[end]) & 0xC0) == 0x80)
        --end;
    return json.substr(0, end) + "\u2026 (" + std::to_string(json.size()) + " bytes)";
}

} // namespace

void printObject(const WexLogger& logger, int level, const char* caller, const char* label,
                 const WexObject& object)
{
    if (!logger.isEnabled(level))
        return;
    std::string json;
    if (object.toJson(json) == WexErrNone)
        logger.log(level, "%s: %s: %s", caller, label, clipped(json).c_str());
    else
        logger.log(level, "%s: %s: %s failed", caller, label, "printObject");
}

void printObject(const WexLogger& logger, int level, const char* caller, const WexObject& object)
{
    if (!logger.isEnabled(level))
        return;
    std::string json;
    if (object.toJson(json) == WexErrNone)
        logger.log(level, "%s: %s", caller, clipped(json).c_str());
    else
        logger.log(level, "%s: %s failed", caller, "printObject");
}

} // namespace QrvLog
