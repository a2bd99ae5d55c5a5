#include "platform/core/wex_logger.h"

#include <pthread.h>
#include <sys/time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <mutex>
#include <vector>

namespace {

const char* const kLevelNames[] = {"trace", "debug", "info", "notice", "warning", "error"};

struct Registry {
    std::mutex mutex;
    std::vector<WexLogger*> loggers;
    std::map<std::string, int> levels;  // "*" is the default
    bool configured = false;
    WexLogger::Sink sink;

    int levelFor(const std::string& name)
    {
        auto it = levels.find(name);
        if (it == levels.end())
            it = levels.find("*");
        return it == levels.end() ? WexLogInfo : it->second;
    }

    // Called with the mutex held.
    void ensureConfigured()
    {
        if (configured)
            return;
        configured = true;
        const char* spec = std::getenv("MERROWIND_LOG");
        if (spec != nullptr)
            parse(spec);
    }

    void parse(const std::string& spec)
    {
        levels.clear();
        size_t pos = 0;
        while (pos <= spec.size()) {
            size_t end = spec.find(',', pos);
            if (end == std::string::npos)
                end = spec.size();
            std::string entry = spec.substr(pos, end - pos);
            size_t eq = entry.find('=');
            if (eq != std::string::npos && eq > 0) {
                char* stop = nullptr;
                long value = std::strtol(entry.c_str() + eq + 1, &stop, 10);
                if (stop != entry.c_str() + eq + 1 && *stop == '\0')
                    levels[entry.substr(0, eq)] = static_cast<int>(std::clamp(value, 0L, 6L));
            }
            pos = end + 1;
        }
    }
};

Registry& registry()
{
    // Deliberately leaked: loggers are destroyed during static destruction in
    // any order, and must find the registry alive.
    static Registry* instance = new Registry;
    return *instance;
}

void threadName(char* buffer, size_t size)
{
    if (pthread_getname_np(pthread_self(), buffer, size) != 0)
        std::snprintf(buffer, size, "?");
}

} // namespace

WexLogger::WexLogger(const char* name, WexLogger* parent)
    : m_name(name != nullptr ? name : ""), m_parent(parent), m_level(WexLogInfo)
{
    Registry& reg = registry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    reg.ensureConfigured();
    m_level.store(reg.levelFor(m_name));
    reg.loggers.push_back(this);
}

WexLogger::~WexLogger()
{
    Registry& reg = registry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    std::erase(reg.loggers, this);
}

void WexLogger::configure(const std::string& spec)
{
    Registry& reg = registry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    reg.configured = true;
    reg.parse(spec);
    for (WexLogger* logger : reg.loggers)
        logger->setLevel(reg.levelFor(logger->m_name));
}

WexLogger* WexLogger::find(const std::string& name)
{
    Registry& reg = registry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    for (WexLogger* logger : reg.loggers)
        if (logger->m_name == name)
            return logger;
    return nullptr;
}

void WexLogger::setSink(Sink sink)
{
    Registry& reg = registry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    reg.sink = std::move(sink);
}

void WexLogger::log(int level, const char* format, ...) const
{
    if (!isEnabled(level))
        return;
    va_list args;
    va_start(args, format);
    vlog(level, format, args);
    va_end(args);
}

void WexLogger::vlog(int level, const char* format, va_list args) const
{
    if (!isEnabled(level))
        return;
    va_list copy;
    va_copy(copy, args);
    int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    if (length > 0)
        std::vsnprintf(text.data(), text.size() + 1, format, args);

    timeval now{};
    gettimeofday(&now, nullptr);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    char thread[16];
    threadName(thread, sizeof thread);
    const char* levelName = level >= 0 && level <= WexLogError ? kLevelNames[level] : "?";

    Registry& reg = registry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    std::fprintf(stderr, "%s.%03ld [%s] %s %s: %s\n", stamp, static_cast<long>(now.tv_usec / 1000),
                 thread, m_name.c_str(), levelName, text.c_str());
    if (reg.sink)
        reg.sink(Record{this, level, text});
}

WexTracer::WexTracer(const WexLogger& logger, const char* function)
    : m_logger(logger), m_function(function)
{
    m_logger.log(WexLogTrace, "> %s", m_function);
}

WexTracer::~WexTracer()
{
    m_logger.log(WexLogTrace, "< %s", m_function);
}
