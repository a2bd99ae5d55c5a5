#include "core/brevit/runtime/bin_file_writer.h"

#include "core/brevit/runtime/bin_file_members.h"
#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_swap.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>

namespace {

constexpr uint32_t kWritePiece = 1u << 30;
// Work buffer for swapped elements and gathered structure members.
constexpr uint32_t kCopyBuffer = 4096;

bool validWriter(const BinFileWriter* writer)
{
    return writer != nullptr && writer->sub != nullptr;
}

bool swappable(uint32_t size)
{
    return size == 2 || size == 4 || size == 8;
}

bool put(BinFileWriter* writer, const void* data, uint64_t count)
{
    const auto* in = static_cast<const uint8_t*>(data);
    while (count > 0) {
        const auto n = static_cast<int32_t>(std::min<uint64_t>(count, kWritePiece));
        if (DVKTar_SubFileWrite(writer->sub, in, n) != n) {
            writer->failed = 1;
            return false;
        }
        in += n;
        count -= static_cast<uint64_t>(n);
    }
    return true;
}

// One value of size bytes in the archive's byte order.
bool putValue(BinFileWriter* writer, const void* value, uint32_t size)
{
    if (!writer->swap || !swappable(size))
        return put(writer, value, size);
    uint8_t copy[8];
    std::memcpy(copy, value, size);
    DVKSwap_Bytes(copy, static_cast<int32_t>(size));
    return put(writer, copy, size);
}

bool putWord(BinFileWriter* writer, uint32_t value)
{
    return putValue(writer, &value, 4);
}

// count elements; swapped ones go through a temporary block so the caller's
// data stays as it is.
bool putElements(BinFileWriter* writer, const void* data, uint64_t count, uint32_t elementSize)
{
    const uint64_t bytes = count * elementSize;
    if (!writer->swap || !swappable(elementSize))
        return put(writer, data, bytes);
    const uint32_t perBlock = kCopyBuffer / elementSize;
    const auto blockBytes =
        static_cast<uint32_t>(std::min<uint64_t>(bytes, static_cast<uint64_t>(perBlock) * elementSize));
    auto* block = static_cast<uint8_t*>(DVKMem_Malloc(blockBytes));
    if (block == nullptr) {
        writer->failed = 1;
        return false;
    }
    const auto* in = static_cast<const uint8_t*>(data);
    bool ok = true;
    for (uint64_t done = 0; ok && done < count;) {
        const auto n = static_cast<uint32_t>(std::min<uint64_t>(perBlock, count - done));
        std::memcpy(block, in + done * elementSize, static_cast<size_t>(n) * elementSize);
        for (uint32_t i = 0; i < n; ++i)
            DVKSwap_Bytes(block + static_cast<size_t>(i) * elementSize,
                          static_cast<int32_t>(elementSize));
        ok = put(writer, block, static_cast<uint64_t>(n) * elementSize);
        done += n;
    }
    DVKMem_Free(block);
    return ok;
}

int32_t writeMembers(BinFileWriter* writer, const void* array, uint32_t count, uint32_t stride,
                     const BinFileMember* members, uint32_t memberCount, bool sizeFirst)
{
    uint64_t elementBytes = 0;
    if (!validWriter(writer) || (array == nullptr && count > 0) ||
        !BinFile_ValidMembers(members, memberCount, stride, &elementBytes) ||
        elementBytes * count > UINT32_MAX)
        return 0;
    if (!putWord(writer, static_cast<uint32_t>(elementBytes * count)) ||
        !putWord(writer, memberCount) || !putWord(writer, stride))
        return 0;
    for (uint32_t i = 0; i < memberCount; ++i) {
        const uint32_t first = sizeFirst ? members[i].size : members[i].offset;
        const uint32_t second = sizeFirst ? members[i].offset : members[i].size;
        if (!putWord(writer, first) || !putWord(writer, second))
            return 0;
    }
    const auto* base = static_cast<const uint8_t*>(array);
    uint8_t buffer[kCopyBuffer];
    uint32_t used = 0;
    for (uint32_t e = 0; e < count; ++e) {
        const uint8_t* element = base + static_cast<uint64_t>(e) * stride;
        for (uint32_t i = 0; i < memberCount; ++i) {
            const uint32_t size = members[i].size;
            if (size > kCopyBuffer - used) {
                if (!put(writer, buffer, used))
                    return 0;
                used = 0;
            }
            if (size > kCopyBuffer) {
                // Too big to gather; not a value of its own, so never swapped.
                if (!put(writer, element + members[i].offset, size))
                    return 0;
                continue;
            }
            std::memcpy(buffer + used, element + members[i].offset, size);
            if (writer->swap && swappable(size))
                DVKSwap_Bytes(buffer + used, static_cast<int32_t>(size));
            used += size;
        }
    }
    return put(writer, buffer, used) ? 1 : 0;
}

template <typename Char>
size_t length(const Char* s)
{
    size_t n = 0;
    while (s[n] != 0)
        ++n;
    return n;
}

} // namespace

BinFileWriter* BinFileWriter_Create(DVKTar* tar, const char* tag, const char* prefix)
{
    if (tar == nullptr || tag == nullptr || !tar->writable)
        return nullptr;
    auto* writer = static_cast<BinFileWriter*>(DVKMem_Calloc(sizeof(BinFileWriter)));
    if (writer == nullptr)
        return nullptr;
    char name[kBinFileMaxNameLength + 1];
    BinFile_MakeSubFileName(name, tag, prefix);
    writer->tar = tar;
    writer->swap = tar->swapped;
    writer->sub = DVKTar_SubFileCreate(tar, name);
    if (writer->sub == nullptr) {
        DVKMem_Free(writer);
        return nullptr;
    }
    return writer;
}

int32_t BinFileWriter_Delete(BinFileWriter* writer)
{
    if (writer == nullptr)
        return 0;
    int32_t result = DVKTar_SubFileClose(writer->sub);
    if (writer->failed)
        result = 1;
    DVKMem_Free(writer);
    return result;
}

int32_t BinFileWriter_WriteUnsignedInt(BinFileWriter* writer, uint32_t value)
{
    return validWriter(writer) && putWord(writer, value) ? 1 : 0;
}

int32_t BinFileWriter_WriteInt(BinFileWriter* writer, int32_t value)
{
    return BinFileWriter_WriteUnsignedInt(writer, static_cast<uint32_t>(value));
}

int32_t BinFileWriter_WriteLong(BinFileWriter* writer, int32_t value)
{
    return BinFileWriter_WriteUnsignedInt(writer, static_cast<uint32_t>(value));
}

int32_t BinFileWriter_WriteReal(BinFileWriter* writer, double value)
{
    return validWriter(writer) && putValue(writer, &value, sizeof(value)) ? 1 : 0;
}

int32_t BinFileWriter_WriteRaw(BinFileWriter* writer, uint32_t count, const void* data)
{
    if (!validWriter(writer) || (data == nullptr && count > 0))
        return 0;
    return put(writer, data, count) ? 1 : 0;
}

int32_t BinFileWriter_WriteArray(BinFileWriter* writer, const void* array, uint32_t count,
                                 uint32_t elementSize)
{
    if (!validWriter(writer))
        return 0;
    if (array == nullptr)
        return putWord(writer, 0) ? 1 : 0;
    const uint64_t bytes = static_cast<uint64_t>(count) * elementSize;
    if (bytes > UINT32_MAX)
        return 0;
    return putWord(writer, static_cast<uint32_t>(bytes)) &&
                   putElements(writer, array, count, elementSize)
               ? 1
               : 0;
}

// Strings are arrays of their units with the terminator; a null string is
// the empty array (count 0).
int32_t BinFileWriter_WriteString(BinFileWriter* writer, const char* string)
{
    const uint64_t count = string != nullptr ? static_cast<uint64_t>(length(string)) + 1 : 0;
    return count <= UINT32_MAX
               ? BinFileWriter_WriteArray(writer, string, static_cast<uint32_t>(count), 1)
               : 0;
}

int32_t BinFileWriter_WriteUnicode(BinFileWriter* writer, const uint16_t* string)
{
    const uint64_t count = string != nullptr ? static_cast<uint64_t>(length(string)) + 1 : 0;
    return count <= UINT32_MAX
               ? BinFileWriter_WriteArray(writer, string, static_cast<uint32_t>(count), 2)
               : 0;
}

namespace {

// The number of strings, then each through writeOne.
template <typename Char, typename WriteOne>
int32_t writeStringArray(BinFileWriter* writer, const Char* const* strings, uint32_t count,
                         WriteOne writeOne)
{
    if (!validWriter(writer) || (strings == nullptr && count > 0) || count > INT32_MAX ||
        !putWord(writer, count))
        return 0;
    for (uint32_t i = 0; i < count; ++i)
        if (!writeOne(writer, strings[i]))
            return 0;
    return 1;
}

} // namespace

int32_t BinFileWriter_WriteStringArray(BinFileWriter* writer, const char* const* strings,
                                       uint32_t count)
{
    return writeStringArray(writer, strings, count, BinFileWriter_WriteString);
}

int32_t BinFileWriter_WriteUnicodeArray(BinFileWriter* writer, const uint16_t* const* strings,
                                        uint32_t count)
{
    return writeStringArray(writer, strings, count, BinFileWriter_WriteUnicode);
}

int32_t BinFileWriter_WriteArray2D(BinFileWriter* writer, const void* array, int32_t rows,
                                   int32_t columns, uint32_t elementSize)
{
    if (!validWriter(writer) || rows < 0 || columns < 0)
        return 0;
    const uint64_t rowBytes = static_cast<uint64_t>(columns) * elementSize;
    if (rowBytes > UINT32_MAX)
        return 0;
    // Without an array there are no rows to store: it reads back as null.
    const int32_t storedRows = array != nullptr ? rows : 0;
    if (!putWord(writer, static_cast<uint32_t>(storedRows)) ||
        !putWord(writer, static_cast<uint32_t>(columns)))
        return 0;
    const auto* rowPointers = static_cast<const uint8_t* const*>(array);
    for (int32_t i = 0; i < storedRows; ++i) {
        if (!putWord(writer, static_cast<uint32_t>(rowBytes)))
            return 0;
        // Rows of an array without columns have no data (nor row pointers).
        if (columns > 0 && (rowPointers[i] == nullptr ||
                            !putElements(writer, rowPointers[i], static_cast<uint32_t>(columns),
                                         elementSize)))
            return 0;
    }
    return 1;
}

int32_t BinFileWriter_WriteChunkedArray(BinFileWriter* writer, void* const* table,
                                        uint32_t chunks, uint32_t chunkLength,
                                        uint32_t elementSize)
{
    const uint64_t elements = static_cast<uint64_t>(chunks) * chunkLength;
    if (!validWriter(writer) || elements > UINT32_MAX || (table == nullptr && elements > 0) ||
        !putWord(writer, static_cast<uint32_t>(elements)))
        return 0;
    for (uint32_t i = 0; i < chunks && chunkLength > 0; ++i)
        if (table[i] == nullptr || !putElements(writer, table[i], chunkLength, elementSize))
            return 0;
    return 1;
}

int32_t BinFileWriter_WriteArrayStructsWithFunc(BinFileWriter* writer, const void* array,
                                                uint32_t count, uint32_t stride,
                                                BinFileWriter_ElementFunc func)
{
    if (!validWriter(writer) || func == nullptr || (array == nullptr && count > 0) ||
        !putWord(writer, count))
        return 0;
    const uint32_t start = writer->sub->position;
    const auto* base = static_cast<const uint8_t*>(array);
    for (uint32_t i = 0; i < count; ++i)
        if (!func(writer, writer->swap, base + static_cast<uint64_t>(i) * stride))
            return 0;
    return putWord(writer, writer->sub->position - start) ? 1 : 0;
}

int32_t BinFileWriter_WriteChunkedArrayStructsWithFunc(BinFileWriter* writer, void* const* table,
                                                       uint32_t chunks, uint32_t chunkLength,
                                                       uint32_t stride,
                                                       BinFileWriter_ElementFunc func)
{
    const uint64_t elements = static_cast<uint64_t>(chunks) * chunkLength;
    if (!validWriter(writer) || func == nullptr || elements > UINT32_MAX ||
        (table == nullptr && elements > 0) || !putWord(writer, static_cast<uint32_t>(elements)))
        return 0;
    const uint32_t start = writer->sub->position;
    for (uint32_t c = 0; c < chunks && chunkLength > 0; ++c) {
        const auto* chunk = static_cast<const uint8_t*>(table[c]);
        if (chunk == nullptr)
            return 0;
        for (uint32_t i = 0; i < chunkLength; ++i)
            if (!func(writer, writer->swap, chunk + static_cast<uint64_t>(i) * stride))
                return 0;
    }
    return putWord(writer, writer->sub->position - start) ? 1 : 0;
}

int32_t BinFileWrite_WriteStruct(BinFileWriter* writer, const void* structure,
                                 uint32_t structSize, uint32_t fieldCount, ...)
{
    if (!validWriter(writer) || structure == nullptr)
        return 0;
    va_list args;
    va_start(args, fieldCount);
    va_list check;
    va_copy(check, args);
    bool ok = true;
    for (uint32_t i = 0; ok && i < fieldCount; ++i) {
        const int offset = va_arg(check, int);
        const int size = va_arg(check, int);
        ok = offset >= 0 && (size == 1 || size == 2 || size == 4 || size == 8) &&
             static_cast<uint64_t>(offset) + static_cast<uint64_t>(size) <= structSize;
    }
    va_end(check);
    ok = ok && putWord(writer, fieldCount) && putWord(writer, structSize);
    for (uint32_t i = 0; ok && i < fieldCount; ++i) {
        const int offset = va_arg(args, int);
        const int size = va_arg(args, int);
        const auto sizeByte = static_cast<uint8_t>(size);
        ok = put(writer, &sizeByte, 1) &&
             putValue(writer, static_cast<const uint8_t*>(structure) + offset,
                      static_cast<uint32_t>(size));
    }
    va_end(args);
    return ok ? 1 : 0;
}

int32_t BinFileWriter_WriteArrayStructs2Members(BinFileWriter* writer, const void* array,
                                                uint32_t count, uint32_t stride, uint32_t offset1,
                                                uint32_t size1, uint32_t offset2, uint32_t size2)
{
    const BinFileMember members[] = {{offset1, size1}, {offset2, size2}};
    return writeMembers(writer, array, count, stride, members, 2, true);
}

int32_t BinFileWriter_WriteArrayStructs3Members(BinFileWriter* writer, const void* array,
                                                uint32_t count, uint32_t stride, uint32_t offset1,
                                                uint32_t size1, uint32_t offset2, uint32_t size2,
                                                uint32_t offset3, uint32_t size3)
{
    const BinFileMember members[] = {{offset1, size1}, {offset2, size2}, {offset3, size3}};
    return writeMembers(writer, array, count, stride, members, 3, true);
}

int32_t BinFileWriter_WriteArrayStructsNMembers(BinFileWriter* writer, const void* array,
                                                uint32_t count, uint32_t stride,
                                                uint32_t memberCount, ...)
{
    BinFileMember local[kBinFileStackMembers];
    va_list args;
    va_start(args, memberCount);
    BinFileMember* members = BinFile_TakeMembers(local, memberCount, args);
    va_end(args);
    if (members == nullptr)
        return 0;
    const int32_t ok = writeMembers(writer, array, count, stride, members, memberCount, false);
    BinFile_ReleaseMembers(members, local);
    return ok;
}
