#include "oem/dvk_oem_record.h"

#include "oem/dvk_oem_dirs.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool writeAll(int fd, const void* data, size_t size)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t written = ::write(fd, p, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        p += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

} // namespace

bool dvkOemReadRecord(const char* name, void* record, size_t size)
{
    const std::string path = dvkOemJoin(dvkOemWritableDir(), name);
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    bool whole = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
                 static_cast<size_t>(info.st_size) == size;
    size_t got = 0;
    char* p = static_cast<char*>(record);
    while (whole && got < size) {
        ssize_t n = ::read(fd, p + got, size - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    return whole && got == size;
}

bool dvkOemStoreRecord(const char* name, const void* record, size_t size)
{
    const std::string dir = dvkOemWritableDir();
    ::mkdir(dir.c_str(), 0700);
    const std::string path = dvkOemJoin(dir, name);
    const std::string temporary = path + ".tmp";
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    bool written = writeAll(fd, record, size) && ::fsync(fd) == 0;
    written = ::close(fd) == 0 && written;
    if (written && std::rename(temporary.c_str(), path.c_str()) == 0)
        return true;
    ::unlink(temporary.c_str());
    return false;
}
