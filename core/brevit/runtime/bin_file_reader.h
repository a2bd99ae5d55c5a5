// Typed records read from a sub-file of an engine archive. A sub-file is a
// plain sequence of records without tags: a loader reads exactly what the
// matching saver wrote (bin_file_writer.h), checking every count and size.
//
// Every operation returns 1 on success and 0 on failure. A failed read never
// reads past the sub-file; the allocating forms free what they allocated and
// leave the caller's pointer untouched. Counts read from the file are checked
// against the bytes the sub-file still holds before anything is allocated.
//
// The reader never swaps bytes: archives of the other byte order are refused.
#pragma once

#include "core/brevit/runtime/dvk_tar.h"

#include <cstdint>

// Sub-file names are prefix + tag, cut to this many characters.
inline constexpr int32_t kBinFileMaxNameLength = 255;

struct BinFileReader {
    DVKTar* tar;
    DVKTarSubFile* sub;
};

// Reads one element of an array of structures; swap is always 0.
typedef int32_t (*BinFileReader_ElementFunc)(BinFileReader* reader, int32_t swap, void* element);

// Joins prefix (or nothing) and tag into name (256 bytes), cut to 255 characters.
void BinFile_MakeSubFileName(char* name, const char* tag, const char* prefix);

// Null when the archive has no such sub-file or is of the other byte order.
// The record itself comes from the raising allocator.
BinFileReader* BinFileReader_Create(DVKTar* tar, const char* tag, const char* prefix);
// Ends the stream, whether or not everything was read (null allowed).
void BinFileReader_Delete(BinFileReader* reader);
// 1 when every byte has been read.
int32_t BinFileReader_IsAtEnd(const BinFileReader* reader);
// The first 4-byte word of the named sub-file, without a reader.
int32_t BinFileReader_PeekFormatNumber(DVKTar* tar, const char* tag, const char* prefix,
                                       uint32_t* value);

// Scalars: each is one 4-byte word (the short and char forms keep its low
// bits, a boolean must be 0 or 1); a real is 8 bytes.
int32_t BinFileReader_ReadInt(BinFileReader* reader, int32_t* value);
int32_t BinFileReader_ReadUnsignedInt(BinFileReader* reader, uint32_t* value);
int32_t BinFileReader_ReadLong(BinFileReader* reader, int32_t* value);
int32_t BinFileReader_ReadUnsignedLong(BinFileReader* reader, uint32_t* value);
int32_t BinFileReader_ReadShort(BinFileReader* reader, int16_t* value);
int32_t BinFileReader_ReadUnsignedShort(BinFileReader* reader, uint16_t* value);
int32_t BinFileReader_ReadChar(BinFileReader* reader, char* value);
int32_t BinFileReader_ReadUnsignedChar(BinFileReader* reader, unsigned char* value);
int32_t BinFileReader_ReadBoolean(BinFileReader* reader, int32_t* value);
int32_t BinFileReader_ReadReal(BinFileReader* reader, double* value);

int32_t BinFileReader_ReadRaw(BinFileReader* reader, uint32_t count, void* buffer);

// The stored byte count must equal elementSize x count; a null buffer only
// reads an empty array.
int32_t BinFileReader_ReadArray(BinFileReader* reader, void* buffer, uint32_t elementSize,
                                uint32_t count);
// Allocates the stored array (null when empty) and gives its element count.
int32_t BinFileReader_AllocateAndReadArray(BinFileReader* reader, uint32_t elementSize,
                                           void** array, uint32_t* count);

// Byte strings must end in their terminator; count 0 (a null string) gives
// null. 16-bit strings must have an even byte count and end in a zero unit.
int32_t BinFileReader_ReadAndAllocateString(BinFileReader* reader, char** string);
int32_t BinFileReader_ReadAndAllocateUnicodeString(BinFileReader* reader, uint16_t** string);
// Into a buffer of maxBytes (a null string reads as the empty string).
int32_t BinFileReader_ReadString(BinFileReader* reader, uint32_t maxBytes, char* buffer);
// Into a buffer of maxUnits 16-bit units; reads the record the 16-bit string
// writer stores (a byte count, then the units with their terminator).
int32_t BinFileReader_ReadUnicode(BinFileReader* reader, uint32_t maxUnits, uint16_t* buffer);
int32_t BinFileReader_ReadAndAllocateStringArray(BinFileReader* reader, char*** strings,
                                                 int32_t* count);
int32_t BinFileReader_ReadAndAllocateUnicodeStringArray(BinFileReader* reader,
                                                        uint16_t*** strings, int32_t* count);

// 2-D arrays of dvk_mem.h (row pointers). The stored rows and columns must
// equal the caller's (0 and 0 for a null array).
int32_t BinFileReader_ReadArray2D(BinFileReader* reader, void* array, int32_t rows,
                                  int32_t columns, uint32_t elementSize);
// Allocates a zeroed 2-D array (null when the stored rows are 0).
int32_t BinFileReader_AllocateAndReadArray2D(BinFileReader* reader, void** array, int32_t* rows,
                                             int32_t* columns, uint32_t elementSize);

// Chunked arrays: the stored element count must be a multiple of the chunk
// length and need at most maxChunks chunks. The allocating form makes a table
// of maxChunks entries and one chunk per needed chunk; the other reads into
// the chunks of an existing table of maxChunks entries. chunks receives the
// number of chunks used.
int32_t BinFileReader_AllocateAndReadChunkedArray(BinFileReader* reader, void*** table,
                                                  uint32_t maxChunks, uint32_t chunkLength,
                                                  uint32_t elementSize, uint32_t* chunks);
int32_t BinFileReader_ReadChunkedArray(BinFileReader* reader, void** table, uint32_t maxChunks,
                                       uint32_t chunkLength, uint32_t elementSize,
                                       uint32_t* chunks);

// Arrays of structures read element by element through func (element i at
// array + i x stride); the stored count must equal count and the stored
// trailing length must equal the bytes the elements took.
int32_t BinFileReader_ReadArrayStructsWithFunc(BinFileReader* reader, void* array, uint32_t count,
                                               uint32_t stride, BinFileReader_ElementFunc func);
int32_t BinFileReader_AllocateAndReadChunkedArrayStructsWithFunc(
    BinFileReader* reader, void*** table, uint32_t maxChunks, uint32_t chunkLength,
    uint32_t stride, BinFileReader_ElementFunc func, uint32_t* chunks);
int32_t BinFileReader_ReadChunkedArrayStructsWithFunc(BinFileReader* reader, void** table,
                                                      uint32_t maxChunks, uint32_t chunkLength,
                                                      uint32_t stride,
                                                      BinFileReader_ElementFunc func,
                                                      uint32_t* chunks);

// A structure from fieldCount (offset, size) int pairs: sizes 1, 2, 4 or 8,
// each field inside the structure.
int32_t BinFileReader_ReadStruct(BinFileReader* reader, void* structure, uint32_t structSize,
                                 uint32_t fieldCount, ...);
// Arrays of count structures of stride bytes, members given as (offset, size)
// pairs; every member must lie inside the stride.
int32_t BinFileReader_ReadArrayStructs2Members(BinFileReader* reader, void* array, uint32_t count,
                                               uint32_t stride, uint32_t offset1, uint32_t size1,
                                               uint32_t offset2, uint32_t size2);
int32_t BinFileReader_ReadArrayStructs3Members(BinFileReader* reader, void* array, uint32_t count,
                                               uint32_t stride, uint32_t offset1, uint32_t size1,
                                               uint32_t offset2, uint32_t size2, uint32_t offset3,
                                               uint32_t size3);
// memberCount further (offset, size) int pairs.
int32_t BinFileReader_ReadArrayStructsNMembers(BinFileReader* reader, void* array, uint32_t count,
                                               uint32_t stride, uint32_t memberCount, ...);
