#include "core/lang/dvk_table_file.h"

#include "sdk/common/dvk_mem.h"

#include <climits>
#include <cstring>

bool dvk_table_open(const char* name, dvk_table_File* file)
{
    *file = dvk_table_File{};
    file->mapping = dvk_mmap_openFile(name);
    if (file->mapping != nullptr) {
        file->bytes = static_cast<const uint8_t*>(dvk_mmap_mapFile(file->mapping));
        file->size = dvk_mmap_getSize(file->mapping);
        return true;
    }
    file->stream = dvk_file_fopen(name, 0);
    if (file->stream == nullptr)
        return false;
    file->size = dvk_file_fsize(name);
    return true;
}

bool dvk_table_read(dvk_table_File* file, void* buffer, int64_t size)
{
    if (size <= 0 || size > LONG_MAX)
        return size == 0;
    return dvk_file_fread(buffer, 1, static_cast<long>(size), file->stream) == size;
}

void* dvk_table_readExact(dvk_table_File* file, int64_t size)
{
    if (size < 1 || static_cast<uint64_t>(size) > SIZE_MAX)
        return nullptr;
    void* buffer = dvk_mem_alloc(static_cast<size_t>(size));
    if (buffer != nullptr && !dvk_table_read(file, buffer, size))
        dvk_mem_dealloc(&buffer);
    return buffer;
}

bool dvk_table_seek(dvk_table_File* file, int64_t position)
{
    return position >= 0 && position <= LONG_MAX &&
           dvk_file_fseek(file->stream, static_cast<long>(position), 0) == 0;
}

void dvk_table_close(dvk_table_File* file)
{
    dvk_mmap_unmapFile(&file->mapping);
    if (file->stream != nullptr)
        dvk_file_fclose(&file->stream);
    *file = dvk_table_File{};
}

uint32_t dvk_table_word(const uint8_t* header, int offset)
{
    return static_cast<uint32_t>(header[offset]) | static_cast<uint32_t>(header[offset + 1]) << 8 |
           static_cast<uint32_t>(header[offset + 2]) << 16 |
           static_cast<uint32_t>(header[offset + 3]) << 24;
}

dvk_ucs2_Char dvk_table_textUnit(const uint8_t* text, bool oneByteUnits, uint32_t position)
{
    if (oneByteUnits)
        return text[position];
    return static_cast<dvk_ucs2_Char>(text[2 * static_cast<size_t>(position)] |
                                      text[2 * static_cast<size_t>(position) + 1] << 8);
}

bool dvk_table_terminatedText(const uint8_t* text, bool oneByteUnits, uint32_t textLength, uint32_t offset,
                              uint32_t* start, uint32_t* length)
{
    if (text == nullptr || offset >= textLength)
        return false;
    for (uint32_t end = offset; end < textLength; ++end) {
        if (dvk_table_textUnit(text, oneByteUnits, end) == 0) {
            *start = offset;
            *length = end - offset;
            return true;
        }
    }
    return false;
}

bool dvk_table_sameText(const char* a, const char* b, int field)
{
    return std::strncmp(a, b, static_cast<size_t>(field)) == 0;
}

bool dvk_table_readHeader(dvk_table_File* file, uint8_t* header, int size)
{
    if (file->size < size)
        return false;
    if (file->mapping == nullptr)
        return dvk_table_read(file, header, size);
    std::memcpy(header, file->bytes, static_cast<size_t>(size));
    return true;
}
