#include "sdk/common/dvk_file.h"

#include "platform/core/wex_logger.h"
#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_mem.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

WexLogger s_log("DvkFile");

// A window that could not be written.
constexpr int kShortWrite = -3;

int flushBuffer(dvk_file_Stream* s)
{
    if (s->mode == DVK_OEM_FILE_MODE_WRITE && s->bufferFilled > 0) {
        if (int rc = dvk_oem_file_fseek(s->stream, s->bufferOffset, DVK_OEM_FILE_SEEK_START))
            return rc;
        if (dvk_oem_file_fwrite(s->buffer, 1, s->bufferFilled, s->stream) != s->bufferFilled)
            return kShortWrite;
    }
    s->bufferOffset += s->bufferInternalPtr;
    s->bufferInternalPtr = 0;
    s->bufferFilled = 0;
    return 0;
}

// Moves the window of a read stream to the bytes after it.
bool refill(dvk_file_Stream* s)
{
    const long next = s->bufferOffset + s->bufferFilled;
    if (dvk_oem_file_fseek(s->stream, next, DVK_OEM_FILE_SEEK_START) != 0)
        return false;
    s->bufferOffset = next;
    s->bufferFilled = dvk_oem_file_fread(s->buffer, 1, s->bufferSize, s->stream);
    s->bufferInternalPtr = 0;
    return true;
}

long copyOut(dvk_file_Stream* s, unsigned char* to, long wanted)
{
    const long n = std::min(wanted, s->bufferFilled - s->bufferInternalPtr);
    if (n > 0) {
        std::memcpy(to, s->buffer + s->bufferInternalPtr, static_cast<size_t>(n));
        s->bufferInternalPtr += n;
    }
    return n;
}

} // namespace

dvk_file_Stream* dvk_file_fopen(const char* fileName, dvk_oem_file_Mode mode)
{
    DVK_ASSERT(fileName != DVK_NULL);
    DVK_ASSERT(mode == DVK_OEM_FILE_MODE_READ || mode == DVK_OEM_FILE_MODE_WRITE);
    // Memory first: opening for writing empties the file, which must survive
    // a shortage.
    auto* s = static_cast<dvk_file_Stream*>(dvk_mem_alloc(sizeof(dvk_file_Stream)));
    auto* buffer = static_cast<unsigned char*>(dvk_mem_alloc(DVK_FILE_BUFFER_SIZE));
    if (s == nullptr || buffer == nullptr) {
        s_log.log(WexLogError, "%s: out of memory for %s", __func__, fileName);
        dvk_mem_dealloc(&s);
        dvk_mem_dealloc(&buffer);
        return nullptr;
    }
    dvk_oem_file_Stream* oem = dvk_oem_file_fopen(fileName, mode);
    if (oem == nullptr) {
        dvk_mem_dealloc(&s);
        dvk_mem_dealloc(&buffer);
        return nullptr;
    }
    *s = dvk_file_Stream{oem, buffer, DVK_FILE_BUFFER_SIZE, 0, 0, 0, mode};
    return s;
}

int dvk_file_fclose(dvk_file_Stream** stream)
{
    DVK_ASSERT(stream != DVK_NULL);
    dvk_file_Stream* s = *stream;
    if (s == nullptr)
        return 0;
    const int flushed = s->buffer != nullptr ? flushBuffer(s) : 0;
    if (flushed != 0)
        s_log.log(WexLogError, "%s: final write failed (%d); the file is incomplete", __func__,
                  flushed);
    const int closed = dvk_oem_file_fclose(s->stream);
    dvk_mem_dealloc(&s->buffer);
    dvk_mem_dealloc(stream);
    return flushed != 0 || closed != 0 ? 1 : 0;
}

long dvk_file_fread(void* buffer, long size, long count, dvk_file_Stream* stream)
{
    DVK_ASSERT(buffer != DVK_NULL);
    DVK_ASSERT(stream != DVK_NULL);
    DVK_ASSERT(size > 0);
    DVK_ASSERT(count > 0);
    DVK_ASSERT(count <= LONG_MAX / size);
    if (stream->buffer == nullptr)
        return dvk_oem_file_fread(buffer, size, count, stream->stream);

    auto* to = static_cast<unsigned char*>(buffer);
    const long wanted = size * count;
    long copied = copyOut(stream, to, wanted);
    while (copied < wanted) {
        // A write stream only gives back what its window still holds.
        if (stream->mode == DVK_OEM_FILE_MODE_READ && !refill(stream))
            break;
        const long n = copyOut(stream, to + copied, wanted - copied);
        if (n == 0)
            break;
        copied += n;
    }
    return copied / size;
}

long dvk_file_fwrite(const void* buffer, long size, long count, dvk_file_Stream* stream)
{
    DVK_ASSERT(buffer != DVK_NULL);
    DVK_ASSERT(stream != DVK_NULL);
    DVK_ASSERT(size > 0);
    DVK_ASSERT(count > 0);
    DVK_ASSERT(count <= LONG_MAX / size);
    if (stream->buffer == nullptr)
        return dvk_oem_file_fwrite(buffer, size, count, stream->stream);
    if (stream->mode != DVK_OEM_FILE_MODE_WRITE) {
        // Such bytes would never reach the file, yet read back as its contents.
        s_log.log(WexLogError, "%s: stream is not open for writing", __func__);
        return 0;
    }

    const auto* from = static_cast<const unsigned char*>(buffer);
    const long total = size * count;
    long accepted = 0;
    while (accepted < total) {
        if (stream->bufferFilled == stream->bufferSize && flushBuffer(stream) != 0)
            break;
        const long n = std::min(total - accepted, stream->bufferSize - stream->bufferInternalPtr);
        std::memcpy(stream->buffer + stream->bufferInternalPtr, from + accepted,
                    static_cast<size_t>(n));
        stream->bufferInternalPtr += n;
        stream->bufferFilled = std::max(stream->bufferFilled, stream->bufferInternalPtr);
        accepted += n;
    }
    return accepted / size;
}

int dvk_file_fseek(dvk_file_Stream* stream, long offset, int origin)
{
    DVK_ASSERT(stream != DVK_NULL);
    if (stream->buffer == nullptr)
        return dvk_oem_file_fseek(stream->stream, offset, origin);

    long target = 0;
    switch (origin) {
    case DVK_OEM_FILE_SEEK_START:
        target = offset;
        break;
    case DVK_OEM_FILE_SEEK_CURRENT:
        target = stream->bufferOffset + stream->bufferInternalPtr + offset;
        break;
    case DVK_OEM_FILE_SEEK_END: {
        if (stream->mode == DVK_OEM_FILE_MODE_WRITE)
            if (int rc = flushBuffer(stream))
                return rc;
        if (int rc = dvk_oem_file_fseek(stream->stream, offset, DVK_OEM_FILE_SEEK_END))
            return rc;
        target = dvk_oem_file_ftell(stream->stream);
        break;
    }
    default:
        s_log.log(WexLogError, "%s: unknown origin %d", __func__, origin);
        return -1;
    }
    if (target < 0) {
        s_log.log(WexLogError, "%s: position %ld before the start", __func__, target);
        return -1;
    }

    if (target >= stream->bufferOffset && target <= stream->bufferOffset + stream->bufferFilled) {
        stream->bufferInternalPtr = target - stream->bufferOffset;
        return 0;
    }
    if (int rc = flushBuffer(stream))
        return rc;
    stream->bufferOffset = target;
    return 0;
}

long dvk_file_ftell(dvk_file_Stream* stream)
{
    DVK_ASSERT(stream != DVK_NULL);
    if (stream->buffer == nullptr)
        return dvk_oem_file_ftell(stream->stream);
    return stream->bufferOffset + stream->bufferInternalPtr;
}

long dvk_file_fsize(const char* fileName)
{
    DVK_ASSERT(fileName != DVK_NULL);
    return dvk_oem_file_fsize(fileName);
}

int dvk_file_fexist(const char* fileName)
{
    DVK_ASSERT(fileName != DVK_NULL);
    return dvk_oem_file_fexist(fileName);
}

int dvk_file_remove(const char* fileName)
{
    DVK_ASSERT(fileName != DVK_NULL);
    return dvk_oem_file_remove(fileName);
}

int dvk_file_rename(const char* oldName, const char* newName)
{
    DVK_ASSERT(oldName != DVK_NULL);
    DVK_ASSERT(newName != DVK_NULL);
    return dvk_oem_file_rename(oldName, newName);
}
