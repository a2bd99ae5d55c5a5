#include "core/brevit/runtime/dvk_tar.h"

#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_str.h"
#include "core/brevit/runtime/dvk_swap.h"

#include <algorithm>
#include <cstring>

namespace {

const char kFirstMagic[4] = {'D', 'V', 'K', '\0'};
const char kSecondMagic[4] = {'k', 't', 'r', '\0'};

// Name length, reserved word and size around the name.
constexpr uint32_t kEntryFixedBytes = 10;
// The smallest readable entry: a one-byte name and one byte of data.
constexpr uint32_t kSmallestEntry = kEntryFixedBytes + 2;
// Name bytes compared per read while scanning.
constexpr uint32_t kCompareChunk = 256;

// ---- low-level access: a file, or an image in memory ----------------------

uint32_t readRaw(DVKTar* tar, void* buffer, uint32_t count)
{
    if (tar->file != nullptr) {
        const long got = DVK_fread(buffer, 1, static_cast<long>(count), tar->file);
        return got > 0 ? static_cast<uint32_t>(got) : 0;
    }
    if (tar->memBase == nullptr || tar->memPosition >= tar->size)
        return 0;
    const uint32_t n = std::min(count, tar->size - tar->memPosition);
    std::memcpy(buffer, tar->memBase + tar->memPosition, n);
    tar->memPosition += n;
    return n;
}

// Only plain archives are ever opened, so no byte substitution applies here.
bool readExact(DVKTar* tar, void* buffer, uint32_t count)
{
    return count == 0 || readRaw(tar, buffer, count) == count;
}

bool seekTo(DVKTar* tar, int64_t offset, int whence = 0)
{
    if (tar->file != nullptr)
        return DVK_fseek(tar->file, static_cast<long>(offset), whence) == 0;
    if (tar->memBase == nullptr)
        return false;
    int64_t target = offset;
    if (whence == 1)
        target += tar->memPosition;
    else if (whence == 2)
        target += tar->size;
    else if (whence != 0)
        return false;
    if (target < 0 || target > static_cast<int64_t>(tar->size))
        return false;
    tar->memPosition = static_cast<uint32_t>(target);
    return true;
}

int64_t tell(DVKTar* tar)
{
    if (tar->file != nullptr)
        return DVK_ftell(tar->file);
    if (tar->memBase != nullptr)
        return tar->memPosition;
    return -1;
}

// One header field, turned to the machine's byte order.
template <typename T>
bool readField(DVKTar* tar, T* value)
{
    static_assert(sizeof(T) == 2 || sizeof(T) == 4);
    if (!readExact(tar, value, sizeof(T)))
        return false;
    if (tar->swapped)
        DVKSwap_Bytes(value, sizeof(T));
    return true;
}

bool writeBytes(DVKTar* tar, const void* buffer, uint32_t count)
{
    if (count == 0)
        return true;
    if (tar->file == nullptr ||
        DVK_fwrite(buffer, 1, static_cast<long>(count), tar->file) != static_cast<long>(count)) {
        tar->failed = 1;
        return false;
    }
    return true;
}

// One header field in the archive's byte order; the caller's value is unchanged.
template <typename T>
bool writeField(DVKTar* tar, T value)
{
    static_assert(sizeof(T) == 2 || sizeof(T) == 4);
    if (tar->swapped)
        DVKSwap_Bytes(&value, sizeof(T));
    return writeBytes(tar, &value, sizeof(T));
}

// ---- header and entry headers ------------------------------------------------

bool readHeader(DVKTar* tar)
{
    if (!readExact(tar, tar->firstMagic, 4) ||
        std::memcmp(tar->firstMagic, kFirstMagic, 4) != 0)
        return false;
    if (!readExact(tar, tar->secondMagic, 4) ||
        std::memcmp(tar->secondMagic, kSecondMagic, 4) != 0)
        return false;
    if (!readExact(tar, &tar->byteOrderMark, 2))
        return false;
    if (tar->byteOrderMark == kDVKTarByteOrderMark)
        tar->swapped = 0;
    else if (tar->byteOrderMark == kDVKTarSwappedMark)
        tar->swapped = 1;
    else
        return false;
    if (!readField(tar, &tar->version) || (tar->version != 2 && tar->version != 3))
        return false;
    if (!readField(tar, &tar->nSubFiles) || !readField(tar, &tar->nRemoved))
        return false;
    tar->mode = 0;
    if (tar->version == 3 && !readField(tar, &tar->mode))
        return false;
    tar->headerLength = tar->version == 3 ? kDVKTarHeaderLengthV3 : kDVKTarHeaderLengthV2;
    if (tar->mode != 0) {
        // The substitution tables of scrambled archives are not part of this
        // program: such an archive cannot be read.
        DVKErr_Warn(__FILE__, __LINE__, "archive mode %u (scrambled) is not supported",
                    static_cast<unsigned>(tar->mode));
        return false;
    }
    return true;
}

bool writeHeader(DVKTar* tar)
{
    return writeBytes(tar, tar->firstMagic, 4) && writeBytes(tar, tar->secondMagic, 4) &&
           writeField<uint16_t>(tar, kDVKTarByteOrderMark) && writeField(tar, tar->version) &&
           writeField(tar, tar->nSubFiles) && writeField(tar, tar->nRemoved) &&
           (tar->version != 3 || writeField(tar, tar->mode));
}

struct Entry {
    uint32_t start;
    uint32_t nameLength;
    uint32_t reserved;
    uint32_t size;
    uint32_t headerLength;
    bool live;
    bool matches;  // the name equals the wanted one
    char* name;    // owned copy when asked for
};

// Reads the entry header at start and leaves the stream at the entry's data.
// With copyName the name is copied (terminated) into engine memory; otherwise
// it is compared with want. Fails on an unreadable header, an empty name or
// data, or an entry reaching past the end of the archive.
bool readEntry(DVKTar* tar, uint32_t start, const char* want, uint32_t wantLength, bool copyName,
               Entry* entry)
{
    *entry = Entry{};
    entry->start = start;
    uint16_t nameLength = 0;
    if (!seekTo(tar, start) || !readField(tar, &nameLength) || nameLength < 1)
        return false;
    entry->nameLength = nameLength;
    entry->headerLength = nameLength + kEntryFixedBytes;
    const uint64_t dataStart = static_cast<uint64_t>(start) + entry->headerLength;
    if (dataStart >= tar->size)
        return false;

    if (copyName) {
        entry->name = static_cast<char*>(DVKMem_Malloc(nameLength + 1u));
        if (entry->name == nullptr || !readExact(tar, entry->name, nameLength)) {
            DVKMem_Free(entry->name);
            entry->name = nullptr;
            return false;
        }
        entry->name[nameLength] = '\0';
        entry->live = entry->name[0] != '\0';
    } else if (nameLength != wantLength || want == nullptr) {
        if (!seekTo(tar, static_cast<int64_t>(start) + 2 + nameLength))
            return false;
    } else {
        char chunk[kCompareChunk];
        entry->matches = true;
        for (uint32_t done = 0; done < nameLength;) {
            const uint32_t n = std::min(kCompareChunk, nameLength - done);
            if (!readExact(tar, chunk, n))
                return false;
            if (done == 0)
                entry->live = chunk[0] != '\0';
            if (std::memcmp(chunk, want + done, n) != 0)
                entry->matches = false;
            done += n;
        }
    }

    bool ok = readField(tar, &entry->reserved) && readField(tar, &entry->size) &&
              entry->size >= 1 && dataStart + entry->size <= tar->size;
    if (!ok) {
        DVKMem_Free(entry->name);
        entry->name = nullptr;
    }
    entry->matches = ok && entry->matches && entry->live;
    return ok;
}

// ---- lookup --------------------------------------------------------------------

// Index of name in the sorted directory, or where it would be inserted.
uint32_t directoryLowerBound(const DVKTar* tar, const char* name)
{
    uint32_t low = 0;
    uint32_t high = tar->nSubFiles;
    while (low < high) {
        const uint32_t mid = low + (high - low) / 2;
        if (DVKStr_Compare(tar->dirNames[mid], name) < 0)
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

bool directoryFind(const DVKTar* tar, const char* name, uint32_t* index)
{
    const uint32_t i = directoryLowerBound(tar, name);
    if (i >= tar->nSubFiles || DVKStr_Compare(tar->dirNames[i], name) != 0)
        return false;
    *index = i;
    return true;
}

// Circular scan of the entry chain, starting after the sub-file read last. On
// a hit the stream is at the entry's data; on a miss it is put back.
bool scanFor(DVKTar* tar, const char* name, uint32_t nameLength, Entry* entry)
{
    const int64_t saved = tell(tar);
    uint64_t begin = static_cast<uint64_t>(tar->lastStart) + tar->lastHeaderLength + tar->lastSize;
    if (begin < tar->headerLength || begin > tar->size)
        begin = tar->headerLength;
    uint64_t position = begin;
    bool wrapped = false;
    for (;;) {
        if (wrapped && position >= begin)
            break;
        if (position >= tar->size) {
            if (wrapped)
                break;
            wrapped = true;
            position = tar->headerLength;
            continue;
        }
        if (!readEntry(tar, static_cast<uint32_t>(position), name, nameLength, false, entry))
            break;
        if (entry->matches)
            return true;
        position += static_cast<uint64_t>(entry->headerLength) + entry->size;
    }
    if (saved >= 0)
        seekTo(tar, saved);
    return false;
}

// Finds the live entry called name; on success the stream is at its data.
bool findEntry(DVKTar* tar, const char* name, Entry* entry)
{
    const size_t length = std::strlen(name);
    if (length == 0 || length > kDVKTarMaxNameLength)
        return false;
    if (tar->dirCapacity == 0)
        return scanFor(tar, name, static_cast<uint32_t>(length), entry);
    uint32_t index = 0;
    return directoryFind(tar, name, &index) &&
           readEntry(tar, tar->dirOffsets[index], name, static_cast<uint32_t>(length), false,
                     entry) &&
           entry->matches;
}

// ---- directory ---------------------------------------------------------------

void freeDirectory(DVKTar* tar, uint32_t names)
{
    if (tar->dirNames != nullptr)
        for (uint32_t i = 0; i < names; ++i)
            DVKMem_Free(tar->dirNames[i]);
    DVKMem_Free(tar->dirNames);
    DVKMem_Free(tar->dirOffsets);
    tar->dirNames = nullptr;
    tar->dirOffsets = nullptr;
    tar->dirCapacity = 0;
}

struct DirectoryEntry {
    char* name;
    uint32_t offset;
};

// Sorts the directory; false when two names are equal.
bool sortDirectory(DVKTar* tar, uint32_t count)
{
    auto* pairs = static_cast<DirectoryEntry*>(DVKMem_MallocOrThrow(count * sizeof(DirectoryEntry)));
    for (uint32_t i = 0; i < count; ++i)
        pairs[i] = {tar->dirNames[i], tar->dirOffsets[i]};
    std::sort(pairs, pairs + count, [](const DirectoryEntry& a, const DirectoryEntry& b) {
        return DVKStr_Compare(a.name, b.name) < 0;
    });
    bool unique = true;
    for (uint32_t i = 0; i < count; ++i) {
        tar->dirNames[i] = pairs[i].name;
        tar->dirOffsets[i] = pairs[i].offset;
        if (i > 0 && DVKStr_Compare(pairs[i - 1].name, pairs[i].name) == 0)
            unique = false;
    }
    DVKMem_Free(pairs);
    return unique;
}

// Grows a writable archive's directory by one step; false when memory is short.
bool growDirectory(DVKTar* tar)
{
    const uint32_t capacity = tar->dirCapacity + kDVKTarDirectoryStep;
    auto* names = static_cast<char**>(DVKMem_Calloc(capacity * sizeof(char*)));
    auto* offsets = static_cast<uint32_t*>(DVKMem_Calloc(capacity * sizeof(uint32_t)));
    if (names == nullptr || offsets == nullptr) {
        DVKMem_Free(names);
        DVKMem_Free(offsets);
        return false;
    }
    std::memcpy(names, tar->dirNames, tar->nSubFiles * sizeof(char*));
    std::memcpy(offsets, tar->dirOffsets, tar->nSubFiles * sizeof(uint32_t));
    DVKMem_Free(tar->dirNames);
    DVKMem_Free(tar->dirOffsets);
    tar->dirNames = names;
    tar->dirOffsets = offsets;
    tar->dirCapacity = capacity;
    return true;
}

char* copyName(const char* name, size_t length)
{
    auto* copy = static_cast<char*>(DVKMem_Malloc(static_cast<uint32_t>(length) + 1));
    if (copy != nullptr)
        std::memcpy(copy, name, length + 1);
    return copy;
}

void closeAndFree(DVKTar* tar)
{
    if (tar == nullptr)
        return;
    freeDirectory(tar, tar->nSubFiles);
    if (tar->file != nullptr)
        DVK_fclose(tar->file);
    DVKMem_Free(tar);
}

// A zeroed handle over the file at path opened in mode, or null.
DVKTar* openFile(const char* path, const char* mode)
{
    if (path == nullptr || path[0] == '\0')
        return nullptr;
    DVK_FILE* file = DVK_fopen(path, mode);
    if (file == nullptr)
        return nullptr;
    auto* tar = static_cast<DVKTar*>(DVKMem_Calloc(sizeof(DVKTar)));
    if (tar == nullptr) {
        DVK_fclose(file);
        return nullptr;
    }
    tar->file = file;
    return tar;
}

// Reads the header of a freshly opened archive and points the scan at the
// first entry.
DVKTar* finishReadOpen(DVKTar* tar)
{
    if (!readHeader(tar)) {
        closeAndFree(tar);
        return nullptr;
    }
    tar->lastStart = tar->headerLength;
    tar->lastHeaderLength = 0;
    tar->lastSize = 0;
    tar->lastPosition = 0;
    return tar;
}

} // namespace

// ---- opening and closing --------------------------------------------------------

DVKTar* DVKTar_OpenForRead(const char* path)
{
    DVKTar* tar = openFile(path, "rb");
    if (tar == nullptr)
        return nullptr;
    if (!seekTo(tar, 0, 2)) {
        closeAndFree(tar);
        return nullptr;
    }
    const int64_t end = tell(tar);
    if (end < 0 || end > static_cast<int64_t>(UINT32_MAX) || !seekTo(tar, 0)) {
        closeAndFree(tar);
        return nullptr;
    }
    tar->size = static_cast<uint32_t>(end);
    return finishReadOpen(tar);
}

DVKTar* DVKTar_OpenForMemoryMappedRead(uint32_t size, const void* base)
{
    if (base == nullptr)
        return nullptr;
    auto* tar = static_cast<DVKTar*>(DVKMem_Calloc(sizeof(DVKTar)));
    if (tar == nullptr)
        return nullptr;
    tar->memBase = static_cast<const uint8_t*>(base);
    tar->size = size;
    return finishReadOpen(tar);
}

DVKTar* DVKTar_OpenForWrite(const char* path)
{
    DVKTar* tar = openFile(path, "wb");
    if (tar == nullptr)
        return nullptr;
    std::memcpy(tar->firstMagic, kFirstMagic, 4);
    std::memcpy(tar->secondMagic, kSecondMagic, 4);
    tar->byteOrderMark = kDVKTarByteOrderMark;
    tar->version = 3;
    tar->mode = static_cast<uint16_t>(BrevitParam_Word(kBrevitParamArchiveMode) & 0xFFFF);
    if (tar->mode != 0) {
        // Scrambling needs substitution tables this program does not have.
        _dvk_warning(__FILE__, __LINE__, "archive mode %u (scrambled) is not supported, %s",
                     static_cast<unsigned>(tar->mode), "writing a plain archive");
        tar->mode = 0;
    }
    tar->headerLength = kDVKTarHeaderLengthV3;
    tar->writable = 1;
    tar->dirNames = static_cast<char**>(DVKMem_Calloc(kDVKTarDirectoryStep * sizeof(char*)));
    tar->dirOffsets =
        static_cast<uint32_t*>(DVKMem_Calloc(kDVKTarDirectoryStep * sizeof(uint32_t)));
    if (tar->dirNames == nullptr || tar->dirOffsets == nullptr || !writeHeader(tar)) {
        closeAndFree(tar);
        return nullptr;
    }
    tar->dirCapacity = kDVKTarDirectoryStep;
    tar->size = tar->headerLength;
    return tar;
}

DVKTar* DVKTar_OpenForAppend(const char* /*path*/)
{
    return nullptr;
}

int32_t DVKTar_Close(DVKTar* tar)
{
    if (tar == nullptr)
        return 0;
    int32_t result = 0;
    if (tar->writable && (!seekTo(tar, 0) || !writeHeader(tar)))
        result = 1;
    // A sub-file still being written has no size in its entry, which would
    // stop every later scan of the chain: the archive is not complete.
    if (tar->failed || (tar->writable && tar->nOpenSubFiles > 0))
        result = 1;
    freeDirectory(tar, tar->nSubFiles);
    if (tar->file != nullptr && DVK_fclose(tar->file) != 0)
        result = 1;
    DVKMem_Free(tar);
    return result;
}

int32_t DVKTar_GetNSubFiles(const DVKTar* tar)
{
    return tar != nullptr ? tar->nSubFiles : 0;
}

int32_t DVKTar_SubFileExists(DVKTar* tar, const char* name)
{
    if (tar == nullptr || name == nullptr || name[0] == '\0')
        return 0;
    if (tar->dirCapacity > 0) {
        uint32_t index = 0;
        return directoryFind(tar, name, &index) ? 1 : 0;
    }
    const int64_t saved = tell(tar);
    Entry entry;
    const bool found = findEntry(tar, name, &entry);
    if (found && saved >= 0)
        seekTo(tar, saved);
    return found ? 1 : 0;
}

// ---- reading sub-files ---------------------------------------------------------

DVKTarSubFile* DVKTar_SubFileOpen(DVKTar* tar, const char* name)
{
    if (tar == nullptr || name == nullptr || tar->writable)
        return nullptr;
    Entry entry;
    if (!findEntry(tar, name, &entry))
        return nullptr;
    auto* sub = static_cast<DVKTarSubFile*>(DVKMem_Calloc(sizeof(DVKTarSubFile)));
    if (sub == nullptr)
        return nullptr;
    sub->name = copyName(name, entry.nameLength);
    if (sub->name == nullptr) {
        DVKMem_Free(sub);
        return nullptr;
    }
    sub->reserved = entry.reserved;
    sub->size = entry.size;
    sub->headerLength = entry.headerLength;
    sub->tar = tar;
    sub->start = entry.start;
    sub->position = 0;
    tar->lastStart = entry.start;
    tar->lastHeaderLength = entry.headerLength;
    tar->lastSize = entry.size;
    tar->lastPosition = 0;
    tar->nOpenSubFiles += 1;
    return sub;
}

int32_t DVKTar_SubFileRead(DVKTarSubFile* sub, void* buffer, int32_t count)
{
    if (sub == nullptr || count < 0 || (buffer == nullptr && count > 0) || sub->tar->writable)
        return -1;
    if (sub->position >= sub->size || count == 0)
        return 0;
    if (sub->size - sub->position < static_cast<uint32_t>(count))
        return -1;
    DVKTar* tar = sub->tar;
    const int64_t expected = static_cast<int64_t>(sub->start) + sub->headerLength + sub->position;
    if (tar->lastStart != sub->start || tar->lastPosition != sub->position ||
        tell(tar) != expected) {
        // Another sub-file (or a lookup) moved the stream since this one read.
        if (!seekTo(tar, expected))
            return -1;
        tar->lastStart = sub->start;
        tar->lastHeaderLength = sub->headerLength;
        tar->lastSize = sub->size;
        tar->lastPosition = sub->position;
    }
    if (!readExact(tar, buffer, static_cast<uint32_t>(count))) {
        tar->lastPosition = UINT32_MAX;  // the stream position is now unknown
        return -1;
    }
    sub->position += static_cast<uint32_t>(count);
    tar->lastPosition = sub->position;
    return count;
}

int32_t DVKTar_SubFileReadAt(DVKTar* tar, const char* name, uint32_t offset, int32_t count,
                             void* buffer)
{
    if (tar == nullptr || name == nullptr || tar->writable || count < 0 ||
        (buffer == nullptr && count > 0))
        return -1;
    const int64_t saved = tell(tar);
    Entry entry;
    if (!findEntry(tar, name, &entry))
        return -1;
    int32_t n = 0;
    if (offset < entry.size)
        n = static_cast<int32_t>(std::min<uint32_t>(static_cast<uint32_t>(count),
                                                    entry.size - offset));
    if (n > 0) {
        const int64_t at = static_cast<int64_t>(entry.start) + entry.headerLength + offset;
        if (!seekTo(tar, at) || !readExact(tar, buffer, static_cast<uint32_t>(n)))
            n = 0;
    }
    if (saved >= 0)
        seekTo(tar, saved);
    return n;
}

uint32_t DVKTar_SubFileGetSize(const DVKTarSubFile* sub)
{
    return sub != nullptr ? sub->size : 0;
}

uint32_t DVKTar_SubFileTell(const DVKTarSubFile* sub)
{
    return sub != nullptr ? sub->position : 0;
}

uint32_t DVKTar_SubFileGetOffset(const DVKTarSubFile* sub)
{
    return sub != nullptr ? sub->start : 0;
}

// ---- writing sub-files ---------------------------------------------------------

DVKTarSubFile* DVKTar_SubFileCreate(DVKTar* tar, const char* name)
{
    if (tar == nullptr || name == nullptr || !tar->writable || tar->nOpenSubFiles > 0)
        return nullptr;
    const size_t length = std::strlen(name);
    if (length == 0 || length > kDVKTarMaxNameLength)
        return nullptr;
    uint32_t existing = 0;
    // Two live entries of one name would make the archive unreadable.
    if (tar->nSubFiles >= 0xFFFF || directoryFind(tar, name, &existing))
        return nullptr;
    const int64_t start = tell(tar);
    if (start < 0 || start + kEntryFixedBytes + static_cast<int64_t>(length) >
                         static_cast<int64_t>(UINT32_MAX))
        return nullptr;

    auto* sub = static_cast<DVKTarSubFile*>(DVKMem_Calloc(sizeof(DVKTarSubFile)));
    char* copy = copyName(name, length);
    if (sub == nullptr || copy == nullptr) {
        DVKMem_Free(sub);
        DVKMem_Free(copy);
        return nullptr;
    }
    sub->name = copy;
    sub->reserved = kDVKTarReservedWord;
    sub->size = 0;
    sub->headerLength = static_cast<uint32_t>(length) + kEntryFixedBytes;
    sub->tar = tar;
    sub->start = static_cast<uint32_t>(start);
    sub->position = 0;
    if (!writeField(tar, static_cast<uint16_t>(length)) ||
        !writeBytes(tar, name, static_cast<uint32_t>(length)) ||
        !writeField(tar, sub->reserved) || !writeField<uint32_t>(tar, 0)) {
        DVKMem_Free(sub->name);
        DVKMem_Free(sub);
        return nullptr;
    }
    tar->nOpenSubFiles = 1;
    return sub;
}

int32_t DVKTar_SubFileWrite(DVKTarSubFile* sub, const void* buffer, int32_t count)
{
    if (sub == nullptr || count <= 0 || buffer == nullptr || !sub->tar->writable)
        return 0;
    DVKTar* tar = sub->tar;
    // Entry offsets and sizes are 32-bit.
    const uint64_t end =
        static_cast<uint64_t>(sub->start) + sub->headerLength + sub->size + count;
    if (end > UINT32_MAX) {
        tar->failed = 1;
        return 0;
    }
    const long written = DVK_fwrite(buffer, 1, count, tar->file);
    const int32_t n = written > 0 ? static_cast<int32_t>(written) : 0;
    if (n < count)
        tar->failed = 1;
    sub->size += static_cast<uint32_t>(n);
    sub->position += static_cast<uint32_t>(n);
    return n;
}

int32_t DVKTar_SubFileClose(DVKTarSubFile* sub)
{
    if (sub == nullptr)
        return 0;
    DVKTar* tar = sub->tar;
    int32_t result = 0;
    if (tar->writable) {
        const uint32_t length = sub->headerLength - kEntryFixedBytes;
        const int64_t end = static_cast<int64_t>(sub->start) + sub->headerLength + sub->size;
        if (sub->size == 0) {
            // Readers refuse an entry without data.
            result = 1;
        } else if (!seekTo(tar, sub->start) || !writeField(tar, static_cast<uint16_t>(length)) ||
                   !writeBytes(tar, sub->name, length) || !writeField(tar, sub->reserved) ||
                   !writeField(tar, sub->size) || !seekTo(tar, end)) {
            result = 1;
        } else if (tar->nSubFiles >= tar->dirCapacity && !growDirectory(tar)) {
            result = 1;
        } else {
            tar->size = static_cast<uint32_t>(end);
            const uint32_t index = directoryLowerBound(tar, sub->name);
            const uint32_t after = tar->nSubFiles - index;
            std::memmove(tar->dirNames + index + 1, tar->dirNames + index, after * sizeof(char*));
            std::memmove(tar->dirOffsets + index + 1, tar->dirOffsets + index,
                         after * sizeof(uint32_t));
            tar->dirNames[index] = sub->name;
            tar->dirOffsets[index] = sub->start;
            sub->name = nullptr;  // now owned by the directory
            tar->nSubFiles += 1;
        }
        if (result != 0)
            tar->failed = 1;
    }
    tar->nOpenSubFiles -= 1;
    DVKMem_Free(sub->name);
    DVKMem_Free(sub);
    return result;
}

int32_t DVKTar_SubFileRemove(DVKTar* tar, const char* name)
{
    if (tar == nullptr || name == nullptr || !tar->writable || tar->dirCapacity == 0)
        return 1;
    uint32_t index = 0;
    if (!directoryFind(tar, name, &index))
        return 0;
    const int64_t saved = tell(tar);
    const char zero = '\0';
    if (saved < 0 || !seekTo(tar, static_cast<int64_t>(tar->dirOffsets[index]) + 2) ||
        !writeBytes(tar, &zero, 1) || !seekTo(tar, saved)) {
        tar->failed = 1;
        return 1;
    }
    DVKMem_Free(tar->dirNames[index]);
    const uint32_t after = tar->nSubFiles - index - 1;
    std::memmove(tar->dirNames + index, tar->dirNames + index + 1, after * sizeof(char*));
    std::memmove(tar->dirOffsets + index, tar->dirOffsets + index + 1, after * sizeof(uint32_t));
    tar->nSubFiles -= 1;
    tar->dirNames[tar->nSubFiles] = nullptr;
    tar->nRemoved += 1;
    return 0;
}

// ---- directory ----------------------------------------------------------------

char** DVKTar_BuildDirectory(DVKTar* tar)
{
    if (tar == nullptr)
        return nullptr;
    if (tar->dirCapacity > 0)
        return tar->dirNames;
    const uint32_t count = tar->nSubFiles;
    // Every entry takes at least kSmallestEntry bytes: a count the archive
    // cannot hold fails before anything is allocated.
    if (tar->size < tar->headerLength ||
        static_cast<uint64_t>(count) * kSmallestEntry > tar->size - tar->headerLength)
        return nullptr;
    const uint32_t capacity =
        tar->writable ? ((count + 250) / kDVKTarDirectoryStep) * kDVKTarDirectoryStep +
                            kDVKTarDirectoryStep
                      : (count > 0 ? count : 1);
    tar->dirNames = static_cast<char**>(DVKMem_CallocOrThrow(capacity * sizeof(char*)));
    tar->dirOffsets = static_cast<uint32_t*>(DVKMem_CallocOrThrow(capacity * sizeof(uint32_t)));
    tar->dirCapacity = capacity;
    if (count == 0)
        return tar->dirNames;

    const int64_t saved = tell(tar);
    uint32_t found = 0;
    bool ok = true;
    for (uint64_t position = tar->headerLength; ok && position < tar->size;) {
        Entry entry;
        if (!readEntry(tar, static_cast<uint32_t>(position), nullptr, 0, true, &entry)) {
            ok = false;
            break;
        }
        if (entry.live && found < count) {
            tar->dirNames[found] = entry.name;
            tar->dirOffsets[found] = entry.start;
            ++found;
        } else {
            // A removed entry, or more live entries than the header says.
            ok = !entry.live;
            DVKMem_Free(entry.name);
        }
        position += static_cast<uint64_t>(entry.headerLength) + entry.size;
    }
    ok = ok && found == count && sortDirectory(tar, count);
    if (saved >= 0)
        seekTo(tar, saved);
    if (!ok) {
        freeDirectory(tar, found);
        return nullptr;
    }
    return tar->dirNames;
}
