#include "oem/dvk_oem_file.h"

#include "oem/dvk_oem_dirs.h"
#include "oem/dvk_oem_watchdog.h"
#include "platform/core/wex_logger.h"
#include "sdk/common/dvk_assert.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

WexLogger s_log("DvkOemFile");

// Every 100th seek, write and read (each counted on its own) pings the
// watchdog, so that long model loads and saves keep the service alive.
constexpr int kPingInterval = 100;
std::atomic<int> s_seekCountdown{kPingInterval};
std::atomic<int> s_writeCountdown{kPingInterval};
std::atomic<int> s_readCountdown{kPingInterval};

// The stream of the most recently opened voice-data file: logged in detail.
std::atomic<dvk_oem_file_Stream*> s_traced{nullptr};

const char* const kTracedPrefix = "dvk_voc_";

void countAndPing(std::atomic<int>& countdown)
{
    if (countdown.fetch_sub(1) == 1) {
        countdown.fetch_add(kPingInterval);
        dvkOemIAmAlive();
    }
}

bool isTracedName(const char* fileName)
{
    return std::strncmp(fileName, kTracedPrefix, std::strlen(kTracedPrefix)) == 0;
}

bool isTraced(const dvk_oem_file_Stream* stream)
{
    return stream != nullptr && stream == s_traced.load(std::memory_order_relaxed);
}

// Four hexadecimal words a line, then the tail byte by byte.
void dumpBytes(const void* data, long length)
{
    if (!s_log.isTrace() || length <= 0)
        return;
    const auto* bytes = static_cast<const unsigned char*>(data);
    long pos = 0;
    for (; pos + 16 <= length; pos += 16) {
        uint32_t words[4];
        std::memcpy(words, bytes + pos, sizeof(words));
        s_log.log(WexLogTrace, "  %08x %08x %08x %08x", words[0], words[1], words[2], words[3]);
    }
    if (pos < length) {
        std::string tail;
        char hex[4];
        for (; pos < length; ++pos) {
            std::snprintf(hex, sizeof(hex), "%02x", bytes[pos]);
            tail += hex;
        }
        s_log.log(WexLogTrace, "  %s", tail.c_str());
    }
}

bool isDirectory(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// A directory opens for reading with the system library but is no file.
dvk_oem_file_Stream* openCandidate(const std::string& path, const char* how)
{
    if (isDirectory(path))
        return nullptr;
    return std::fopen(path.c_str(), how);
}

void makeWritableDir()
{
    const std::string dir = dvkOemWritableDir();
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        s_log.log(WexLogError, "%s: Error creating data directory %s.  errno=%d", __func__,
                  dir.c_str(), errno);
}

// Size of the first regular file or device found for the name; -1 when none.
long lookupSize(const char* fileName)
{
    auto sizeOf = [](const std::string& path) -> long {
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode))
            return -1;
        return static_cast<long>(info.st_size);
    };
    if (fileName[0] == '/')
        return sizeOf(fileName);
    for (const std::string& dir :
         {dvkOemInstallDir(), dvkOemLangPackDir(), dvkOemWritableDir(), dvkOemAppDataDir()}) {
        long size = sizeOf(dvkOemJoin(dir, fileName));
        if (size >= 0)
            return size;
    }
    return -1;
}

// The system library's remove also takes empty directories, and an empty
// name joined to a data directory names that directory itself: only files
// are removed here.
int removeFile(const std::string& path)
{
    return ::unlink(path.c_str()) == 0 ? 0 : -1;
}

bool existsAt(const std::string& path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

} // namespace

bool dvkOemFileNameIsValid(const char* fileName)
{
    for (const char* p = fileName; *p != '\0'; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (!std::isalnum(c) && c != '.' && c != '-' && c != '_' && c != '/') {
            s_log.log(WexLogError, "invalid char %d in fileName \"%s\"", c, fileName);
            return false;
        }
    }
    // Names are built from data files and the language: never let one climb
    // out of the data directories.
    for (const char* component = fileName; *component != '\0';) {
        const char* end = std::strchr(component, '/');
        const size_t length = end ? static_cast<size_t>(end - component) : std::strlen(component);
        if (length == 2 && component[0] == '.' && component[1] == '.') {
            s_log.log(WexLogError, "invalid component \"..\" in fileName \"%s\"", fileName);
            return false;
        }
        component += length;
        if (*component == '/')
            ++component;
    }
    return true;
}

dvk_oem_file_Stream* dvk_oem_file_fopen(const char* fileName, dvk_oem_file_Mode mode)
{
    WEX_TRACE_FUNCTION(s_log);
    dvkOemIAmAlive();
    DVK_ASSERT(fileName != NULL);
    DVK_ASSERT(mode == DVK_OEM_FILE_MODE_READ || mode == DVK_OEM_FILE_MODE_WRITE);
    if (!dvkOemFileNameIsValid(fileName))
        return nullptr;

    const bool writing = mode == DVK_OEM_FILE_MODE_WRITE;
    const char* how = writing ? "wb" : "rb";
    if (writing)
        makeWritableDir();

    dvk_oem_file_Stream* stream = nullptr;
    if (fileName[0] == '/') {
        stream = openCandidate(fileName, how);
    } else if (writing) {
        for (const std::string& dir : {dvkOemWritableDir(), dvkOemAppDataDir()})
            if ((stream = openCandidate(dvkOemJoin(dir, fileName), how)) != nullptr)
                break;
    } else {
        for (const std::string& dir : {dvkOemInstallDir(), dvkOemLangPackDir(),
                                       dvkOemWritableDir(), dvkOemAppDataDir()})
            if ((stream = openCandidate(dvkOemJoin(dir, fileName), how)) != nullptr)
                break;
    }

    if (stream == nullptr) {
        s_log.log(WexLogError, "Error opening file %s", fileName);
        return nullptr;
    }
    if (fileName[0] != '/' && isTracedName(fileName)) {
        s_traced.store(stream, std::memory_order_relaxed);
        s_log.log(WexLogDebug, "fopen(%s, %s)", fileName, how);
    }
    s_log.log(WexLogDebug, "%s(%s) = %ld", __func__, fileName, static_cast<long>(fileno(stream)));
    return stream;
}

int dvk_oem_file_fclose(dvk_oem_file_Stream* fileStream)
{
    WEX_TRACE_FUNCTION(s_log);
    DVK_ASSERT(fileStream != NULL);
    const int fd = fileno(fileStream);
    if (isTraced(fileStream)) {
        s_log.log(WexLogDebug, "fclose(%d)", fd);
        s_traced.store(nullptr, std::memory_order_relaxed);
    }
    // The system library writes what it still buffers here: a full disk shows
    // only now, and must not pass as a saved file.
    const int result = std::fclose(fileStream);
    if (result != 0)
        s_log.log(WexLogError, "%s: close failure.  fd=%d errno=%d", __func__, fd, errno);
    s_log.log(WexLogDebug, "%s(%d) = %ld", __func__, fd, static_cast<long>(result));
    return result;
}

long dvk_oem_file_fread(void* buffer, long size, long count, dvk_oem_file_Stream* fileStream)
{
    WEX_TRACE_FUNCTION(s_log);
    DVK_ASSERT(buffer != NULL);
    DVK_ASSERT(size > 0);
    DVK_ASSERT(count > 0);
    DVK_ASSERT(fileStream != NULL);
    countAndPing(s_readCountdown);
    const long items = static_cast<long>(
        std::fread(buffer, static_cast<size_t>(size), static_cast<size_t>(count), fileStream));
    dumpBytes(buffer, items * size);
    s_log.log(WexLogDebug, "%s(%ld,%ld) = %ld", __func__, size, count, items);
    return items;
}

long dvk_oem_file_fwrite(const void* buffer, long size, long count,
                         dvk_oem_file_Stream* fileStream)
{
    WEX_TRACE_FUNCTION(s_log);
    DVK_ASSERT(buffer != NULL);
    DVK_ASSERT(size > 0);
    DVK_ASSERT(count > 0);
    DVK_ASSERT(fileStream != NULL);
    countAndPing(s_writeCountdown);
    const bool traced = isTraced(fileStream);
    if (traced) {
        s_log.log(WexLogDebug, "fwrite(%d,%ld,%ld)...", fileno(fileStream), size, count);
        dumpBytes(buffer, size * count);
    }
    const long items = static_cast<long>(
        std::fwrite(buffer, static_cast<size_t>(size), static_cast<size_t>(count), fileStream));
    if (items != count)
        s_log.log(WexLogError, "%s: Attempted to write %d items.  Only %d actually written",
                  __func__, static_cast<int>(count), static_cast<int>(items));
    s_log.log(WexLogDebug, "%s(%ld,%ld) = %ld", __func__, size, count, items);
    return items;
}

int dvk_oem_file_fseek(dvk_oem_file_Stream* fileStream, long offset,
                       dvk_oem_file_SeekOrigin origin)
{
    WEX_TRACE_FUNCTION(s_log);
    DVK_ASSERT(fileStream != NULL);
    countAndPing(s_seekCountdown);
    if (isTraced(fileStream))
        s_log.log(WexLogDebug, "fseek(%d,%d,%d)", fileno(fileStream), static_cast<int>(offset),
                  origin);
    int result = -1;
    if (origin == DVK_OEM_FILE_SEEK_START || origin == DVK_OEM_FILE_SEEK_CURRENT ||
        origin == DVK_OEM_FILE_SEEK_END)
        result = std::fseek(fileStream, offset, origin);
    if (result != 0)
        s_log.log(WexLogError, "%s: seek failure.  offset=%d origin=%d rv=%d", __func__,
                  static_cast<int>(offset), origin, result);
    s_log.log(WexLogDebug, "%s(%ld,%ld) = %ld", __func__, offset, static_cast<long>(origin),
              static_cast<long>(result));
    return result;
}

long dvk_oem_file_ftell(dvk_oem_file_Stream* fileStream)
{
    WEX_TRACE_FUNCTION(s_log);
    DVK_ASSERT(fileStream != NULL);
    const long position = std::ftell(fileStream);
    if (position < 0)
        s_log.log(WexLogError, "%s: ftell failure.", __func__);
    if (isTraced(fileStream))
        s_log.log(WexLogDebug, "ftell(%d)=%d", fileno(fileStream), static_cast<int>(position));
    s_log.log(WexLogDebug, "%s(%d) = %ld", __func__, fileno(fileStream), position);
    return position;
}

long dvk_oem_file_fsize(const char* fileName)
{
    WEX_TRACE_FUNCTION(s_log);
    DVK_ASSERT(fileName != NULL);
    long size = dvkOemFileNameIsValid(fileName) ? lookupSize(fileName) : -1;
    if (size < 0) {
        s_log.log(WexLogError, "%s: stat(%s) failure", __func__, fileName);
        size = 0;
    }
    if (isTracedName(fileName))
        s_log.log(WexLogDebug, "fsize(%s)=%d", fileName, static_cast<int>(size));
    s_log.log(WexLogDebug, "%s(%s) = %ld", __func__, fileName, size);
    return size;
}

int dvk_oem_file_fexist(const char* fileName)
{
    WEX_TRACE_FUNCTION(s_log);
    DVK_ASSERT(fileName != NULL);
    const int exists = dvkOemFileNameIsValid(fileName) && lookupSize(fileName) > 0 ? 1 : 0;
    s_log.log(WexLogDebug, "%s(%s) = %ld", __func__, fileName, static_cast<long>(exists));
    return exists;
}

int dvk_oem_file_remove(const char* fileName)
{
    WEX_TRACE_FUNCTION(s_log);
    dvkOemIAmAlive();
    DVK_ASSERT(fileName != NULL);
    int result = -1;
    if (dvkOemFileNameIsValid(fileName)) {
        if (fileName[0] == '/') {
            result = removeFile(fileName);
        } else {
            result = removeFile(dvkOemJoin(dvkOemWritableDir(), fileName));
            if (result != 0)
                result = removeFile(dvkOemJoin(dvkOemAppDataDir(), fileName));
        }
    }
    if (isTracedName(fileName))
        s_log.log(WexLogDebug, "remove(%s)", fileName);
    s_log.log(WexLogDebug, "%s(%s) = %ld", __func__, fileName, static_cast<long>(result));
    return result;
}

int dvk_oem_file_rename(const char* oldName, const char* newName)
{
    WEX_TRACE_FUNCTION(s_log);
    DVK_ASSERT(oldName != NULL);
    DVK_ASSERT(newName != NULL);
    dvkOemIAmAlive();
    int result = -1;
    if (dvkOemFileNameIsValid(oldName) && dvkOemFileNameIsValid(newName) && oldName[0] == '/' &&
        newName[0] == '/') {
        // Full paths, as open and remove take them.
        result = std::rename(oldName, newName) == 0 ? 0 : -1;
    } else if (dvkOemFileNameIsValid(oldName) && dvkOemFileNameIsValid(newName)) {
        for (const std::string& dir : {dvkOemWritableDir(), dvkOemAppDataDir()}) {
            const std::string from = dvkOemJoin(dir, oldName);
            if (existsAt(from)) {
                result = std::rename(from.c_str(), dvkOemJoin(dir, newName).c_str()) == 0 ? 0 : -1;
                break;
            }
        }
    }
    if (result != 0)
        s_log.log(WexLogError, "%s: failure.  old=%s new=%s", __func__, oldName, newName);
    if (isTracedName(oldName) || isTracedName(newName))
        s_log.log(WexLogDebug, "rename(%s,%s)", oldName, newName);
    s_log.log(WexLogDebug, "%s(%s,%s) = %ld", __func__, oldName, newName,
              static_cast<long>(result));
    return result;
}
