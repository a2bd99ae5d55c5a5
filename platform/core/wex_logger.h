// Named loggers of the service framework.
//
// Levels: 0 trace, 1 debug, 2 info, 3 notice, 4 warning, 5 error. A logger
// prints a line to standard error when the message's level is at or above its
// own. Levels come from $MERROWIND_LOG, a comma-separated list of
// "name=level" entries where "*" stands for every logger without an entry of
// its own (e.g. "QrvLogVRPlayer=0,*=2"); the default is info.
//
// Loggers are constructed during static initialisation, in any order with
// respect to each other and to this file's own statics: the registry lives in
// a function-local static and the environment is read on first use.
#pragma once

#include <atomic>
#include <cstdarg>
#include <functional>
#include <string>

enum WexLogLevel : int {
    WexLogTrace = 0,
    WexLogDebug = 1,
    WexLogInfo = 2,
    WexLogNotice = 3,
    WexLogWarning = 4,
    WexLogError = 5,
};

class WexLogger {
public:
    explicit WexLogger(const char* name, WexLogger* parent = nullptr);
    ~WexLogger();
    WexLogger(const WexLogger&) = delete;
    WexLogger& operator=(const WexLogger&) = delete;

    const char* name() const { return m_name.c_str(); }
    WexLogger* parent() const { return m_parent; }

    int level() const { return m_level.load(std::memory_order_relaxed); }
    void setLevel(int level) { m_level.store(level, std::memory_order_relaxed); }
    bool isEnabled(int level) const { return level >= this->level(); }
    bool isTrace() const { return isEnabled(WexLogTrace); }

    void log(int level, const char* format, ...) const __attribute__((format(printf, 3, 4)));
    void vlog(int level, const char* format, va_list args) const;

    // Re-applies a list of levels (same syntax as $MERROWIND_LOG) to every
    // logger that exists now and to those constructed later.
    static void configure(const std::string& spec);

    // Finds a live logger by name (nullptr when none).
    static WexLogger* find(const std::string& name);

    // Every printed line also goes to the sink when one is set (tests read logs
    // through it). Passing an empty function removes it.
    struct Record {
        const WexLogger* logger;
        int level;
        const std::string& text;
    };
    using Sink = std::function<void(const Record&)>;
    static void setSink(Sink sink);

private:
    std::string m_name;
    WexLogger* m_parent;
    std::atomic<int> m_level;
};

// Logs "> name" on construction and "< name" on destruction at trace level:
// the entry/exit trace of service methods.
class WexTracer {
public:
    WexTracer(const WexLogger& logger, const char* function);
    ~WexTracer();
    WexTracer(const WexTracer&) = delete;
    WexTracer& operator=(const WexTracer&) = delete;

private:
    const WexLogger& m_logger;
    const char* m_function;
};

#define WEX_TRACE_CONCAT2(a, b) a##b
#define WEX_TRACE_CONCAT(a, b) WEX_TRACE_CONCAT2(a, b)
// One per scope; the line number keeps two in nested scopes apart.
#define WEX_TRACE_FUNCTION(logger) WexTracer WEX_TRACE_CONCAT(wexTracer_, __LINE__)((logger), __func__)
