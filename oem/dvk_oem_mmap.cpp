#include "oem/dvk_oem_mmap.h"

#include "oem/dvk_oem_dirs.h"
#include "oem/dvk_oem_file.h"
#include "platform/core/wex_logger.h"
#include "sdk/common/dvk_assert.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

WexLogger s_log("DvkOemMmap");

// A regular file opened read-only, or -1.
int openRegular(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

dvk_oem_mmap_Handle* dvk_oem_mmap_openFile(const char* fileName)
{
    WEX_TRACE_FUNCTION(s_log);
    DVK_ASSERT(fileName != NULL);
    if (!dvkOemFileNameIsValid(fileName)) {
        s_log.log(WexLogError, "%s: invalid filename \"%s\"", __func__, fileName);
        return nullptr;
    }

    std::vector<std::string> dirs{dvkOemInstallDir()};
    if (std::strstr(fileName, ".bin") != nullptr)
        dirs.push_back(dvkOemLangPackDir());
    dirs.push_back(dvkOemWritableDir());
    dirs.push_back(dvkOemAppDataDir());

    int fd = -1;
    for (const std::string& dir : dirs)
        if ((fd = openRegular(dvkOemJoin(dir, fileName))) >= 0)
            break;
    if (fd < 0) {
        s_log.log(WexLogError, "%s: Unable to map file %s", __func__, fileName);
        return nullptr;
    }

    auto* handle = new (std::nothrow) dvk_oem_mmap_Handle{};
    if (handle == nullptr) {
        ::close(fd);
        s_log.log(WexLogError, "%s: memory allocation error", __func__);
        return nullptr;
    }

    struct stat info {};
    void* address = MAP_FAILED;
    if (::fstat(fd, &info) == 0 && info.st_size > 0)
        address = ::mmap(nullptr, static_cast<size_t>(info.st_size), PROT_READ, MAP_PRIVATE, fd,
                         0);
    const int mapErrno = errno;
    // The mapping keeps the file's contents; the descriptor is not needed.
    ::close(fd);
    if (address == MAP_FAILED) {
        s_log.log(WexLogError, "%s: Unable to map file %s (size %ld, errno=%d)", __func__,
                  fileName, static_cast<long>(info.st_size), info.st_size > 0 ? mapErrno : 0);
        delete handle;
        return nullptr;
    }
    handle->size = static_cast<size_t>(info.st_size);
    handle->address = address;
    s_log.log(WexLogDebug, "%s(%s) = %ld", __func__, fileName, static_cast<long>(handle->size));
    return handle;
}

void* dvk_oem_mmap_mapFile(dvk_oem_mmap_Handle* fileHandle)
{
    WEX_TRACE_FUNCTION(s_log);
    DVK_ASSERT(fileHandle != NULL);
    return fileHandle->address;
}

void dvk_oem_mmap_unmapFile(dvk_oem_mmap_Handle* fileHandle)
{
    WEX_TRACE_FUNCTION(s_log);
    DVK_ASSERT(fileHandle != NULL);
    if (::munmap(fileHandle->address, fileHandle->size) != 0)
        s_log.log(WexLogError, "%s: munmap failure.  errno=%d", __func__, errno);
    delete fileHandle;
}
