#include "tests/support/log_capture.h"

LogCapture::LogCapture()
{
    WexLogger::setSink([this](const WexLogger::Record& record) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lines.push_back(Line{record.logger->name(), record.level, record.text});
    });
}

LogCapture::~LogCapture()
{
    WexLogger::setSink({});
}

std::vector<LogCapture::Line> LogCapture::lines() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lines;
}

bool LogCapture::contains(const std::string& fragment) const
{
    return count(fragment) > 0;
}

bool LogCapture::contains(const std::string& logger, int level, const std::string& fragment) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const Line& line : m_lines)
        if (line.logger == logger && line.level == level && line.text.find(fragment) != std::string::npos)
            return true;
    return false;
}

size_t LogCapture::count(const std::string& fragment) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    size_t n = 0;
    for (const Line& line : m_lines)
        if (line.text.find(fragment) != std::string::npos)
            ++n;
    return n;
}
