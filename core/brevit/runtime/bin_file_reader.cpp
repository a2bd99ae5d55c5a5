#include "core/brevit/runtime/bin_file_reader.h"

#include "core/brevit/runtime/bin_file_members.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>

namespace {

// Largest single read handed to the archive (its counts are 32-bit signed).
constexpr uint32_t kReadPiece = 1u << 30;
// Member bytes gathered per read for arrays of structures.
constexpr uint32_t kMemberBuffer = 1024;

uint32_t remaining(const BinFileReader* reader)
{
    return reader->sub->size - reader->sub->position;
}

// Exactly count bytes, or nothing consumed when the sub-file holds fewer.
bool readBytes(BinFileReader* reader, void* buffer, uint64_t count)
{
    if (count > remaining(reader))
        return false;
    auto* out = static_cast<uint8_t*>(buffer);
    while (count > 0) {
        const auto n = static_cast<int32_t>(std::min<uint64_t>(count, kReadPiece));
        if (DVKTar_SubFileRead(reader->sub, out, n) != n)
            return false;
        out += n;
        count -= static_cast<uint64_t>(n);
    }
    return true;
}

bool readWord(BinFileReader* reader, uint32_t* value)
{
    return readBytes(reader, value, 4);
}

// bytes from the sub-file into a new block of engine memory (null for 0
// bytes); false, with nothing kept, when allocating or reading fails.
bool readNewBlock(BinFileReader* reader, uint32_t bytes, void** block)
{
    *block = nullptr;
    if (bytes == 0)
        return true;
    void* data = DVKMem_Malloc(bytes);
    if (data == nullptr || !readBytes(reader, data, bytes)) {
        DVKMem_Free(data);
        return false;
    }
    *block = data;
    return true;
}

bool validReader(const BinFileReader* reader)
{
    return reader != nullptr && reader->sub != nullptr;
}

void freeStrings(void** strings, uint32_t count)
{
    if (strings == nullptr)
        return;
    for (uint32_t i = 0; i < count; ++i)
        DVKMem_Free(strings[i]);
    DVKMem_Free(strings);
}

// Record of an array of structures given by members: total bytes, member
// count, stride, the member table (size first for the 2- and 3-member forms),
// then per element the members' bytes.
int32_t readMembers(BinFileReader* reader, void* array, uint32_t count, uint32_t stride,
                    const BinFileMember* members, uint32_t memberCount, bool sizeFirst)
{
    uint64_t elementBytes = 0;
    if (!validReader(reader) || (array == nullptr && count > 0) ||
        !BinFile_ValidMembers(members, memberCount, stride, &elementBytes))
        return 0;
    uint32_t total = 0;
    uint32_t storedCount = 0;
    uint32_t storedStride = 0;
    if (!readWord(reader, &total) || total != elementBytes * count ||
        !readWord(reader, &storedCount) || storedCount != memberCount ||
        !readWord(reader, &storedStride))
        return 0;
    for (uint32_t i = 0; i < memberCount; ++i) {
        uint32_t first = 0;
        uint32_t second = 0;
        if (!readWord(reader, &first) || !readWord(reader, &second))
            return 0;
        if ((sizeFirst ? first : second) != members[i].size)
            return 0;
    }
    if (total > remaining(reader))
        return 0;

    auto* base = static_cast<uint8_t*>(array);
    const uint32_t perBatch = elementBytes > 0 ? kMemberBuffer / static_cast<uint32_t>(elementBytes)
                                               : count;
    if (perBatch == 0) {
        // Large elements: member by member, straight into place.
        for (uint32_t e = 0; e < count; ++e)
            for (uint32_t i = 0; i < memberCount; ++i)
                if (!readBytes(reader, base + static_cast<uint64_t>(e) * stride + members[i].offset,
                               members[i].size))
                    return 0;
        return 1;
    }
    uint8_t buffer[kMemberBuffer];
    for (uint32_t e = 0; e < count;) {
        const uint32_t n = std::min(perBatch, count - e);
        if (!readBytes(reader, buffer, elementBytes * n))
            return 0;
        const uint8_t* in = buffer;
        for (uint32_t k = 0; k < n; ++k, ++e)
            for (uint32_t i = 0; i < memberCount; ++i) {
                std::memcpy(base + static_cast<uint64_t>(e) * stride + members[i].offset, in,
                            members[i].size);
                in += members[i].size;
            }
    }
    return 1;
}

// Element count of a chunked array and the chunks it needs.
bool readChunkCount(BinFileReader* reader, uint32_t maxChunks, uint32_t chunkLength,
                    uint32_t* elements, uint32_t* chunks)
{
    if (chunkLength == 0 || !readWord(reader, elements) || *elements % chunkLength != 0)
        return false;
    *chunks = *elements / chunkLength;
    return *chunks <= maxChunks;
}

bool readChunkElements(BinFileReader* reader, void** table, uint32_t elements,
                       uint32_t chunkLength, uint32_t elementSize)
{
    for (uint32_t i = 0, done = 0; done < elements; ++i) {
        const uint32_t n = std::min(chunkLength, elements - done);
        if (table[i] == nullptr ||
            !readBytes(reader, table[i], static_cast<uint64_t>(n) * elementSize))
            return false;
        done += n;
    }
    return true;
}

// Elements through func into the chunks of table. With chunkBytes above 0 a
// missing chunk is allocated (zeroed) when its first element is due, so that
// a stored count larger than what follows costs no more memory than the data
// that is really there.
bool readChunkStructs(BinFileReader* reader, void** table, uint32_t elements,
                      uint32_t chunkLength, uint32_t stride, BinFileReader_ElementFunc func,
                      uint32_t chunkBytes)
{
    const uint32_t start = reader->sub->position;
    for (uint32_t i = 0; i < elements; ++i) {
        void*& slot = table[i / chunkLength];
        if (slot == nullptr && chunkBytes > 0)
            slot = DVKMem_Calloc(chunkBytes);
        auto* chunk = static_cast<uint8_t*>(slot);
        if (chunk == nullptr ||
            !func(reader, 0, chunk + static_cast<uint64_t>(i % chunkLength) * stride))
            return false;
    }
    const uint32_t consumed = reader->sub->position - start;
    uint32_t stored = 0;
    return readWord(reader, &stored) && stored == consumed;
}

// A table of maxChunks entries with chunks zeroed chunks of chunkBytes each.
void** allocateChunks(uint32_t maxChunks, uint32_t chunks, uint64_t chunkBytes)
{
    if (chunkBytes > UINT32_MAX || static_cast<uint64_t>(maxChunks) * sizeof(void*) > UINT32_MAX)
        return nullptr;
    auto** table = static_cast<void**>(DVKMem_Calloc(maxChunks * sizeof(void*)));
    if (table == nullptr)
        return nullptr;
    for (uint32_t i = 0; i < chunks; ++i) {
        table[i] = DVKMem_Calloc(static_cast<uint32_t>(chunkBytes));
        if (table[i] == nullptr) {
            DVKMem_FreeChunksArray(table, i);
            return nullptr;
        }
    }
    return table;
}

} // namespace

void BinFile_MakeSubFileName(char* name, const char* tag, const char* prefix)
{
    int32_t n = 0;
    for (const char* part : {prefix, tag})
        for (const char* s = part; s != nullptr && *s != '\0' && n < kBinFileMaxNameLength; ++s)
            name[n++] = *s;
    name[n] = '\0';
}

BinFileReader* BinFileReader_Create(DVKTar* tar, const char* tag, const char* prefix)
{
    // Values are never swapped on reading: an archive of the other byte order
    // would read as garbage.
    if (tar == nullptr || tag == nullptr || tar->swapped)
        return nullptr;
    char name[kBinFileMaxNameLength + 1];
    BinFile_MakeSubFileName(name, tag, prefix);
    // Opening finds the entry once; a separate existence check would scan
    // the archive a second time.
    auto* reader = static_cast<BinFileReader*>(DVKMem_CallocOrThrow(sizeof(BinFileReader)));
    reader->tar = tar;
    reader->sub = DVKTar_SubFileOpen(tar, name);
    if (reader->sub == nullptr) {
        DVKMem_Free(reader);
        return nullptr;
    }
    return reader;
}

void BinFileReader_Delete(BinFileReader* reader)
{
    if (reader == nullptr)
        return;
    DVKTar_SubFileClose(reader->sub);
    DVKMem_Free(reader);
}

int32_t BinFileReader_IsAtEnd(const BinFileReader* reader)
{
    return validReader(reader) && reader->sub->position >= reader->sub->size ? 1 : 0;
}

int32_t BinFileReader_PeekFormatNumber(DVKTar* tar, const char* tag, const char* prefix,
                                       uint32_t* value)
{
    if (tar == nullptr || tag == nullptr || value == nullptr || tar->swapped)
        return 0;
    char name[kBinFileMaxNameLength + 1];
    BinFile_MakeSubFileName(name, tag, prefix);
    uint32_t word = 0;
    if (DVKTar_SubFileReadAt(tar, name, 0, 4, &word) != 4)
        return 0;
    *value = word;
    return 1;
}

// ---- scalars ----------------------------------------------------------------

int32_t BinFileReader_ReadUnsignedInt(BinFileReader* reader, uint32_t* value)
{
    uint32_t word = 0;
    if (!validReader(reader) || value == nullptr || !readWord(reader, &word))
        return 0;
    *value = word;
    return 1;
}

namespace {

// A word record of which T keeps the low bits.
template <typename T>
int32_t readLowBits(BinFileReader* reader, T* value)
{
    uint32_t word = 0;
    if (value == nullptr || !BinFileReader_ReadUnsignedInt(reader, &word))
        return 0;
    *value = static_cast<T>(word);
    return 1;
}

} // namespace

int32_t BinFileReader_ReadInt(BinFileReader* reader, int32_t* value)
{
    return readLowBits(reader, value);
}

int32_t BinFileReader_ReadLong(BinFileReader* reader, int32_t* value)
{
    return BinFileReader_ReadInt(reader, value);
}

int32_t BinFileReader_ReadUnsignedLong(BinFileReader* reader, uint32_t* value)
{
    return BinFileReader_ReadUnsignedInt(reader, value);
}

int32_t BinFileReader_ReadShort(BinFileReader* reader, int16_t* value)
{
    return readLowBits(reader, value);
}

int32_t BinFileReader_ReadUnsignedShort(BinFileReader* reader, uint16_t* value)
{
    return readLowBits(reader, value);
}

int32_t BinFileReader_ReadChar(BinFileReader* reader, char* value)
{
    return readLowBits(reader, value);
}

int32_t BinFileReader_ReadUnsignedChar(BinFileReader* reader, unsigned char* value)
{
    return readLowBits(reader, value);
}

int32_t BinFileReader_ReadBoolean(BinFileReader* reader, int32_t* value)
{
    uint32_t word = 0;
    if (value == nullptr || !BinFileReader_ReadUnsignedInt(reader, &word))
        return 0;
    // The caller sees the stored word even when it is refused.
    *value = static_cast<int32_t>(word);
    return word > 1 ? 0 : 1;
}

int32_t BinFileReader_ReadReal(BinFileReader* reader, double* value)
{
    double real = 0.0;
    if (!validReader(reader) || value == nullptr || !readBytes(reader, &real, sizeof(real)))
        return 0;
    *value = real;
    return 1;
}

int32_t BinFileReader_ReadRaw(BinFileReader* reader, uint32_t count, void* buffer)
{
    if (!validReader(reader) || (buffer == nullptr && count > 0))
        return 0;
    return readBytes(reader, buffer, count) ? 1 : 0;
}

// ---- arrays -----------------------------------------------------------------

int32_t BinFileReader_ReadArray(BinFileReader* reader, void* buffer, uint32_t elementSize,
                                uint32_t count)
{
    uint32_t bytes = 0;
    if (!validReader(reader) || !readWord(reader, &bytes) ||
        bytes != static_cast<uint64_t>(elementSize) * count)
        return 0;
    if (buffer == nullptr)
        return bytes == 0 ? 1 : 0;
    return readBytes(reader, buffer, bytes) ? 1 : 0;
}

int32_t BinFileReader_AllocateAndReadArray(BinFileReader* reader, uint32_t elementSize,
                                           void** array, uint32_t* count)
{
    uint32_t bytes = 0;
    if (!validReader(reader) || elementSize == 0 || array == nullptr || count == nullptr ||
        !readWord(reader, &bytes) || bytes % elementSize != 0 || bytes > remaining(reader))
        return 0;
    void* data = nullptr;
    if (!readNewBlock(reader, bytes, &data))
        return 0;
    *array = data;
    *count = bytes / elementSize;
    return 1;
}

// ---- strings ----------------------------------------------------------------

int32_t BinFileReader_ReadAndAllocateString(BinFileReader* reader, char** string)
{
    uint32_t bytes = 0;
    if (!validReader(reader) || string == nullptr || !readWord(reader, &bytes) ||
        bytes > remaining(reader))
        return 0;
    void* text = nullptr;
    if (!readNewBlock(reader, bytes, &text))
        return 0;
    if (bytes > 0 && static_cast<char*>(text)[bytes - 1] != '\0') {
        DVKMem_Free(text);
        return 0;
    }
    *string = static_cast<char*>(text);
    return 1;
}

int32_t BinFileReader_ReadAndAllocateUnicodeString(BinFileReader* reader, uint16_t** string)
{
    uint32_t bytes = 0;
    if (!validReader(reader) || string == nullptr || !readWord(reader, &bytes) ||
        bytes % 2 != 0 || bytes > remaining(reader))
        return 0;
    void* text = nullptr;
    if (!readNewBlock(reader, bytes, &text))
        return 0;
    if (bytes > 0 && static_cast<uint16_t*>(text)[bytes / 2 - 1] != 0) {
        DVKMem_Free(text);
        return 0;
    }
    *string = static_cast<uint16_t*>(text);
    return 1;
}

int32_t BinFileReader_ReadString(BinFileReader* reader, uint32_t maxBytes, char* buffer)
{
    uint32_t bytes = 0;
    if (!validReader(reader) || buffer == nullptr || !readWord(reader, &bytes) ||
        bytes > maxBytes)
        return 0;
    if (bytes == 0) {
        if (maxBytes > 0)
            buffer[0] = '\0';
        return 1;
    }
    if (!readBytes(reader, buffer, bytes))
        return 0;
    if (buffer[bytes - 1] != '\0') {
        buffer[bytes - 1] = '\0';
        return 0;
    }
    return 1;
}

int32_t BinFileReader_ReadUnicode(BinFileReader* reader, uint32_t maxUnits, uint16_t* buffer)
{
    uint32_t bytes = 0;
    if (!validReader(reader) || buffer == nullptr || !readWord(reader, &bytes) ||
        bytes % 2 != 0 || bytes / 2 > maxUnits)
        return 0;
    const uint32_t units = bytes / 2;
    if (units == 0) {
        if (maxUnits > 0)
            buffer[0] = 0;
        return 1;
    }
    if (!readBytes(reader, buffer, bytes))
        return 0;
    if (buffer[units - 1] != 0) {
        buffer[units - 1] = 0;
        return 0;
    }
    return 1;
}

namespace {

template <typename Char, typename ReadOne>
int32_t readStringArray(BinFileReader* reader, Char*** strings, int32_t* count, ReadOne readOne)
{
    uint32_t stored = 0;
    if (!validReader(reader) || strings == nullptr || count == nullptr ||
        !readWord(reader, &stored) || static_cast<int32_t>(stored) < 0)
        return 0;
    if (stored == 0) {
        *strings = nullptr;
        *count = 0;
        return 1;
    }
    // Each string record takes at least its 4-byte count; the table's size
    // must fit the allocator's 32-bit request.
    if (static_cast<uint64_t>(stored) * 4 > remaining(reader) ||
        static_cast<uint64_t>(stored) * sizeof(Char*) > UINT32_MAX)
        return 0;
    auto** array =
        static_cast<Char**>(DVKMem_Calloc(static_cast<uint32_t>(stored * sizeof(Char*))));
    if (array == nullptr)
        return 0;
    for (uint32_t i = 0; i < stored; ++i)
        if (!readOne(reader, &array[i])) {
            freeStrings(reinterpret_cast<void**>(array), i);
            return 0;
        }
    *strings = array;
    *count = static_cast<int32_t>(stored);
    return 1;
}

} // namespace

int32_t BinFileReader_ReadAndAllocateStringArray(BinFileReader* reader, char*** strings,
                                                 int32_t* count)
{
    return readStringArray(reader, strings, count, BinFileReader_ReadAndAllocateString);
}

int32_t BinFileReader_ReadAndAllocateUnicodeStringArray(BinFileReader* reader,
                                                        uint16_t*** strings, int32_t* count)
{
    return readStringArray(reader, strings, count, BinFileReader_ReadAndAllocateUnicodeString);
}

// ---- 2-D arrays ---------------------------------------------------------------

namespace {

bool readRows(BinFileReader* reader, void* array, int32_t rows, int32_t columns,
              uint32_t elementSize)
{
    auto** rowPointers = static_cast<uint8_t**>(array);
    for (int32_t i = 0; i < rows; ++i)
        if (!BinFileReader_ReadArray(reader, columns > 0 ? rowPointers[i] : nullptr, elementSize,
                                     static_cast<uint32_t>(columns)))
            return false;
    return true;
}

} // namespace

int32_t BinFileReader_ReadArray2D(BinFileReader* reader, void* array, int32_t rows,
                                  int32_t columns, uint32_t elementSize)
{
    uint32_t storedRows = 0;
    uint32_t storedColumns = 0;
    if (!validReader(reader) || rows < 0 || columns < 0 || (array == nullptr && rows > 0) ||
        !readWord(reader, &storedRows) || !readWord(reader, &storedColumns) ||
        storedRows != static_cast<uint32_t>(rows) || storedColumns != static_cast<uint32_t>(columns))
        return 0;
    return readRows(reader, array, rows, columns, elementSize) ? 1 : 0;
}

int32_t BinFileReader_AllocateAndReadArray2D(BinFileReader* reader, void** array, int32_t* rows,
                                             int32_t* columns, uint32_t elementSize)
{
    int32_t storedRows = 0;
    int32_t storedColumns = 0;
    if (!validReader(reader) || array == nullptr || rows == nullptr || columns == nullptr ||
        !BinFileReader_ReadInt(reader, &storedRows) ||
        !BinFileReader_ReadInt(reader, &storedColumns) || storedRows < 0 || storedColumns < 0)
        return 0;
    if (storedRows == 0) {
        *array = nullptr;
        *rows = 0;
        *columns = storedColumns;
        return 1;
    }
    // Each row is its byte count and its elements.
    const uint64_t rowBytes = 4 + static_cast<uint64_t>(storedColumns) * elementSize;
    if (rowBytes * static_cast<uint64_t>(storedRows) > remaining(reader))
        return 0;
    void* data = DVKMem_2DCalloc(elementSize, storedRows, storedColumns);
    if (data == nullptr || !readRows(reader, data, storedRows, storedColumns, elementSize)) {
        DVKMem_2DFree(data);
        return 0;
    }
    *array = data;
    *rows = storedRows;
    *columns = storedColumns;
    return 1;
}

// ---- chunked arrays ------------------------------------------------------------

int32_t BinFileReader_AllocateAndReadChunkedArray(BinFileReader* reader, void*** table,
                                                  uint32_t maxChunks, uint32_t chunkLength,
                                                  uint32_t elementSize, uint32_t* chunks)
{
    uint32_t elements = 0;
    uint32_t needed = 0;
    if (!validReader(reader) || table == nullptr || chunks == nullptr ||
        !readChunkCount(reader, maxChunks, chunkLength, &elements, &needed) ||
        static_cast<uint64_t>(elements) * elementSize > remaining(reader))
        return 0;
    void** made =
        allocateChunks(maxChunks, needed, static_cast<uint64_t>(chunkLength) * elementSize);
    if (made == nullptr)
        return 0;
    if (!readChunkElements(reader, made, elements, chunkLength, elementSize)) {
        DVKMem_FreeChunksArray(made, needed);
        return 0;
    }
    *table = made;
    *chunks = needed;
    return 1;
}

int32_t BinFileReader_ReadChunkedArray(BinFileReader* reader, void** table, uint32_t maxChunks,
                                       uint32_t chunkLength, uint32_t elementSize,
                                       uint32_t* chunks)
{
    uint32_t elements = 0;
    uint32_t needed = 0;
    if (!validReader(reader) || chunks == nullptr ||
        !readChunkCount(reader, maxChunks, chunkLength, &elements, &needed) ||
        (table == nullptr && needed > 0) ||
        !readChunkElements(reader, table, elements, chunkLength, elementSize))
        return 0;
    *chunks = needed;
    return 1;
}

// ---- structures through a function ----------------------------------------------

int32_t BinFileReader_ReadArrayStructsWithFunc(BinFileReader* reader, void* array, uint32_t count,
                                               uint32_t stride, BinFileReader_ElementFunc func)
{
    uint32_t stored = 0;
    if (!validReader(reader) || func == nullptr || (array == nullptr && count > 0) ||
        !readWord(reader, &stored) || stored != count)
        return 0;
    const uint32_t start = reader->sub->position;
    auto* base = static_cast<uint8_t*>(array);
    for (uint32_t i = 0; i < count; ++i)
        if (!func(reader, 0, base + static_cast<uint64_t>(i) * stride))
            return 0;
    const uint32_t consumed = reader->sub->position - start;
    uint32_t trailer = 0;
    return readWord(reader, &trailer) && trailer == consumed ? 1 : 0;
}

int32_t BinFileReader_AllocateAndReadChunkedArrayStructsWithFunc(
    BinFileReader* reader, void*** table, uint32_t maxChunks, uint32_t chunkLength,
    uint32_t stride, BinFileReader_ElementFunc func, uint32_t* chunks)
{
    uint32_t elements = 0;
    uint32_t needed = 0;
    if (!validReader(reader) || table == nullptr || chunks == nullptr || func == nullptr ||
        !readChunkCount(reader, maxChunks, chunkLength, &elements, &needed))
        return 0;
    const uint64_t chunkBytes = static_cast<uint64_t>(chunkLength) * stride;
    if (chunkBytes == 0 || chunkBytes > UINT32_MAX)
        return 0;
    void** made = allocateChunks(maxChunks, 0, chunkBytes);
    if (made == nullptr)
        return 0;
    if (!readChunkStructs(reader, made, elements, chunkLength, stride, func,
                          static_cast<uint32_t>(chunkBytes))) {
        DVKMem_FreeChunksArray(made, needed);
        return 0;
    }
    *table = made;
    *chunks = needed;
    return 1;
}

int32_t BinFileReader_ReadChunkedArrayStructsWithFunc(BinFileReader* reader, void** table,
                                                      uint32_t maxChunks, uint32_t chunkLength,
                                                      uint32_t stride,
                                                      BinFileReader_ElementFunc func,
                                                      uint32_t* chunks)
{
    uint32_t elements = 0;
    uint32_t needed = 0;
    if (!validReader(reader) || chunks == nullptr || func == nullptr ||
        !readChunkCount(reader, maxChunks, chunkLength, &elements, &needed) ||
        (table == nullptr && needed > 0) ||
        !readChunkStructs(reader, table, elements, chunkLength, stride, func, 0))
        return 0;
    *chunks = needed;
    return 1;
}

// ---- structures from field lists -------------------------------------------------

int32_t BinFileReader_ReadStruct(BinFileReader* reader, void* structure, uint32_t structSize,
                                 uint32_t fieldCount, ...)
{
    uint32_t storedCount = 0;
    uint32_t storedSize = 0;
    if (!validReader(reader) || structure == nullptr || !readWord(reader, &storedCount) ||
        storedCount != fieldCount || !readWord(reader, &storedSize))
        return 0;
    va_list args;
    va_start(args, fieldCount);
    int32_t ok = 1;
    for (uint32_t i = 0; ok && i < fieldCount; ++i) {
        const int offset = va_arg(args, int);
        const int size = va_arg(args, int);
        uint8_t storedFieldSize = 0;
        ok = offset >= 0 && (size == 1 || size == 2 || size == 4 || size == 8) &&
             static_cast<uint64_t>(offset) + static_cast<uint64_t>(size) <= structSize &&
             readBytes(reader, &storedFieldSize, 1) && storedFieldSize == size &&
             readBytes(reader, static_cast<uint8_t*>(structure) + offset,
                       static_cast<uint64_t>(size));
    }
    va_end(args);
    return ok;
}

int32_t BinFileReader_ReadArrayStructs2Members(BinFileReader* reader, void* array, uint32_t count,
                                               uint32_t stride, uint32_t offset1, uint32_t size1,
                                               uint32_t offset2, uint32_t size2)
{
    const BinFileMember members[] = {{offset1, size1}, {offset2, size2}};
    return readMembers(reader, array, count, stride, members, 2, true);
}

int32_t BinFileReader_ReadArrayStructs3Members(BinFileReader* reader, void* array, uint32_t count,
                                               uint32_t stride, uint32_t offset1, uint32_t size1,
                                               uint32_t offset2, uint32_t size2, uint32_t offset3,
                                               uint32_t size3)
{
    const BinFileMember members[] = {{offset1, size1}, {offset2, size2}, {offset3, size3}};
    return readMembers(reader, array, count, stride, members, 3, true);
}

int32_t BinFileReader_ReadArrayStructsNMembers(BinFileReader* reader, void* array, uint32_t count,
                                               uint32_t stride, uint32_t memberCount, ...)
{
    BinFileMember local[kBinFileStackMembers];
    va_list args;
    va_start(args, memberCount);
    BinFileMember* members = BinFile_TakeMembers(local, memberCount, args);
    va_end(args);
    if (members == nullptr)
        return 0;
    const int32_t ok = readMembers(reader, array, count, stride, members, memberCount, false);
    BinFile_ReleaseMembers(members, local);
    return ok;
}
