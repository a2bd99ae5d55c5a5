// Collects every line the framework loggers print while it lives.
#pragma once

#include "platform/core/wex_logger.h"

#include <mutex>
#include <string>
#include <vector>

class LogCapture {
public:
    struct Line {
        std::string logger;
        int level;
        std::string text;
    };

    LogCapture();
    ~LogCapture();

    std::vector<Line> lines() const;
    // True when some line's text contains the fragment (and, when given, came
    // from that logger at that level).
    bool contains(const std::string& fragment) const;
    bool contains(const std::string& logger, int level, const std::string& fragment) const;
    size_t count(const std::string& fragment) const;

private:
    mutable std::mutex m_mutex;
    std::vector<Line> m_lines;
};
