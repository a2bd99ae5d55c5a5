// The engine archive: one file (or one image in memory) holding named
// sub-files one after another. Every model file and every saved user state is
// one archive; components read and write their sub-files through the typed
// records of bin_file_reader.h / bin_file_writer.h.
//
// File layout (multi-byte fields in the writer's byte order, marked 0xFEFF):
//   header  "DVK\0" "ktr\0" mark:u16 version:u16 count:u16 removed:u16
//           [mode:u16, version 3 only]
//   entries name length L:u16, L name bytes, reserved:u32 (0xFFFFFFFF),
//           size S:u32, S data bytes
// A removed entry keeps its place; its name begins with a zero byte.
#pragma once

#include "core/brevit/runtime/dvk_file_glue.h"

#include <cstdint>

inline constexpr uint16_t kDVKTarByteOrderMark = 0xFEFF;
inline constexpr uint16_t kDVKTarSwappedMark = 0xFFFE;
inline constexpr uint32_t kDVKTarHeaderLengthV2 = 16;
inline constexpr uint32_t kDVKTarHeaderLengthV3 = 18;
inline constexpr uint32_t kDVKTarReservedWord = 0xFFFFFFFFu;
inline constexpr uint32_t kDVKTarMaxNameLength = 65535;
// Directory entries are added in steps of this size on writable archives.
inline constexpr uint32_t kDVKTarDirectoryStep = 500;

struct DVKTar {
    char firstMagic[4];          // "DVK\0"
    char secondMagic[4];         // "ktr\0"
    uint16_t byteOrderMark;      // as read (0xFEFF or 0xFFFE)
    uint16_t version;            // 2 or 3
    uint16_t nSubFiles;          // live sub-files
    uint16_t nRemoved;           // removed entries
    uint16_t mode;               // 0 plain (the only mode read or written)
    uint8_t swapped;             // file's byte order differs from the machine's
    uint8_t writable;
    uint8_t failed;              // a write went wrong: closing reports failure
    uint32_t headerLength;       // 16 or 18
    DVK_FILE* file;              // null for an archive in memory
    const uint8_t* memBase;      // archive image in memory
    uint32_t memPosition;
    uint32_t size;               // total bytes
    // Where the sub-file read last lies and how far it was read; a scan for
    // the next name starts right after it.
    uint32_t lastStart;
    uint32_t lastHeaderLength;
    uint32_t lastPosition;
    uint32_t lastSize;
    int32_t nOpenSubFiles;
    // Sorted directory (names ascending byte-wise, parallel entry offsets);
    // capacity 0 means none: lookups then scan the entry chain.
    uint32_t dirCapacity;
    char** dirNames;
    uint32_t* dirOffsets;
};

struct DVKTarSubFile {
    char* name;                  // owned copy
    uint32_t reserved;
    uint32_t size;               // data bytes
    uint32_t headerLength;       // L + 10
    DVKTar* tar;
    uint32_t start;              // entry start offset in the archive
    uint32_t position;           // position in the data
};

// Opens an archive file for reading; null when it cannot be opened or is not
// a readable archive (wrong magic, mark or version, a scrambled mode).
DVKTar* DVKTar_OpenForRead(const char* path);
// The same over an archive image of size bytes at base (kept by the caller
// until the archive is closed).
DVKTar* DVKTar_OpenForMemoryMappedRead(uint32_t size, const void* base);
// Starts a new archive file (its header count is right only after Close).
DVKTar* DVKTar_OpenForWrite(const char* path);
// Appending needs a file opened for update, which the file layer does not
// offer: always null.
DVKTar* DVKTar_OpenForAppend(const char* path);
// 0, or 1 when a writable archive's header could not be rewritten, a write
// went wrong earlier, a sub-file is still being written, or the file could
// not be closed (null gives 0). Streams still open are not freed.
int32_t DVKTar_Close(DVKTar* tar);

int32_t DVKTar_GetNSubFiles(const DVKTar* tar);
int32_t DVKTar_SubFileExists(DVKTar* tar, const char* name);

// A stream positioned at the start of the named sub-file's data, or null.
DVKTarSubFile* DVKTar_SubFileOpen(DVKTar* tar, const char* name);
// count bytes (count), 0 at the end of the data, -1 when fewer than count
// remain (nothing is consumed) or reading failed.
int32_t DVKTar_SubFileRead(DVKTarSubFile* sub, void* buffer, int32_t count);
// Reads from a named sub-file without opening it: bytes read (0 when none
// lie at offset), or -1 when the sub-file is missing.
int32_t DVKTar_SubFileReadAt(DVKTar* tar, const char* name, uint32_t offset, int32_t count,
                             void* buffer);

// Starts a new sub-file at the end of a writable archive; null for a name of
// no or more than 65535 bytes, a name already in the archive, while another
// sub-file is being written, or when the entry header cannot be written.
DVKTarSubFile* DVKTar_SubFileCreate(DVKTar* tar, const char* name);
// Bytes written.
int32_t DVKTar_SubFileWrite(DVKTarSubFile* sub, const void* buffer, int32_t count);
// Frees the stream. For a sub-file being written: completes its entry; 1 when
// the entry could not be completed or holds no data (readers refuse empty
// sub-files), else 0.
int32_t DVKTar_SubFileClose(DVKTarSubFile* sub);

uint32_t DVKTar_SubFileGetSize(const DVKTarSubFile* sub);
uint32_t DVKTar_SubFileTell(const DVKTarSubFile* sub);
uint32_t DVKTar_SubFileGetOffset(const DVKTarSubFile* sub);

// Marks the named entry of a writable archive removed (its bytes stay).
// 0, also when no such sub-file exists; 1 when the archive is not writable
// or the mark could not be written.
int32_t DVKTar_SubFileRemove(DVKTar* tar, const char* name);

// Builds the sorted directory (nothing when one exists). The names, or null
// when the entry chain is unreadable, holds duplicate live names, or more or
// fewer live entries than the header says. Allocation failure raises.
char** DVKTar_BuildDirectory(DVKTar* tar);
