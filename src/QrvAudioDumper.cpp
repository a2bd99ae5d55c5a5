#include "src/QrvAudioDumper.h"

#include "platform/core/wex_logger.h"
#include "platform/core/wex_root.h"
#include "src/QrvFileSystem.h"
#include "src/QrvLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

QrvAudioDumper::QrvAudioDumper(const WexLogger& logger, const char* suffix, bool logDirectory)
    : m_logger(logger)
    , m_suffix(suffix != nullptr ? suffix : "")
    , m_logDirectory(logDirectory)
{
}

QrvAudioDumper::~QrvAudioDumper()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::string QrvAudioDumper::fileName(unsigned counter, const char* suffix)
{
    std::string name;
    name += static_cast<char>('0' + counter / 100 % 10);
    name += static_cast<char>('0' + counter / 10 % 10);
    name += static_cast<char>('0' + counter % 10);
    return name + suffix;
}

int QrvAudioDumper::openDump(const WexLogger& logger, const std::string& path)
{
    // Nothing else makes the data directory in a session without the suite's
    // own files; only the service may read what it heard. A directory that
    // cannot be made shows in the open's failure.
    const size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0)
        ::mkdir(path.substr(0, slash).c_str(), 0700);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        logger.log(WexLogError, "Cannot open file %s for writing", path.c_str());
    return fd;
}

void QrvAudioDumper::Start()
{
    if (!m_logger.isTrace())
        return;
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    const std::string name = fileName(m_counter++, m_suffix.c_str());
    std::string path;
    if (m_logDirectory && QrvLog::UIthread::qrvLogContacts.level() == WexLogError) {
        // Only the service itself may read what it heard.
        const std::string directory = wexRootPath(kLogDirectory);
        if (::mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST) {
            const int error = errno;
            QrvLog::UIthread::qrvLog.log(WexLogError, "mkdir failed: %s (%d)", std::strerror(error), error);
            std::exit(1);
        }
        path = QrvFileSystem::mkFnString(directory, name.c_str());
    } else {
        path = QrvFileSystem::makeFullPathname1(name.c_str());
    }
    m_fd = openDump(m_logger, path);
}

void QrvAudioDumper::Write(const void* bytes, size_t count)
{
    if (m_fd < 0)
        return;
    const ssize_t written = ::write(m_fd, bytes, count);
    (void)written;
}
