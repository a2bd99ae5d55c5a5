#include "core/brevit/runtime/dvk_file_glue.h"

#include "sdk/common/dvk_assert.h"

DVK_FILE* DVK_fopen(const char* path, const char* mode)
{
    DVK_ASSERT(path != nullptr && mode != nullptr);
    DVK_ASSERT((mode[0] == 'r' || mode[0] == 'w') && mode[1] == 'b');
    return dvk_file_fopen(path, mode[0] == 'w' ? DVK_OEM_FILE_MODE_WRITE : DVK_OEM_FILE_MODE_READ);
}

int32_t DVK_fclose(DVK_FILE* stream)
{
    // A failed final flush must fail the save that wrote the file.
    return dvk_file_fclose(&stream);
}

long DVK_fread(void* buffer, long size, long count, DVK_FILE* stream)
{
    if (size < 1 || count < 1)
        return 0;
    return dvk_file_fread(buffer, size, count, stream);
}

long DVK_fwrite(const void* buffer, long size, long count, DVK_FILE* stream)
{
    if (size < 1 || count < 1)
        return 0;
    return dvk_file_fwrite(buffer, size, count, stream);
}

int32_t DVK_fseek(DVK_FILE* stream, long offset, int32_t whence)
{
    return dvk_file_fseek(stream, offset, whence);
}

long DVK_ftell(DVK_FILE* stream)
{
    return dvk_file_ftell(stream);
}

char* DVK_fgets(char* buffer, int32_t size, DVK_FILE* stream)
{
    if (buffer == nullptr || size < 1)
        return nullptr;
    int32_t n = 0;
    while (n < size - 1) {
        char c = 0;
        if (dvk_file_fread(&c, 1, 1, stream) != 1)
            break;
        buffer[n++] = c;
        if (c == '\n')
            break;
    }
    buffer[n] = '\0';
    if (n == 0 && size > 1)
        return nullptr;
    return buffer;
}

int32_t DVK_fsize(const char* path, uint32_t* size)
{
    // The suite answers 0 for a missing file: existence is checked first.
    if (path == nullptr || size == nullptr || dvk_file_fexist(path) == 0)
        return 1;
    const long bytes = dvk_file_fsize(path);
    if (bytes < 0 || static_cast<unsigned long>(bytes) > UINT32_MAX)
        return 1;
    *size = static_cast<uint32_t>(bytes);
    return 0;
}

int32_t DVK_fexist(const char* path)
{
    return dvk_file_fexist(path);
}

int32_t DVK_fremove(const char* path)
{
    return dvk_file_remove(path);
}

int32_t DVK_rename(const char* oldPath, const char* newPath)
{
    return dvk_file_rename(oldPath, newPath);
}

int32_t DVK_feof(DVK_FILE*)
{
    return 0;
}

int32_t DVK_fflush(DVK_FILE*)
{
    return 0;
}
