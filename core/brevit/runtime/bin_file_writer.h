// Typed records written into a new sub-file of a writable engine archive;
// bin_file_reader.h reads them back. Counts and scalars are 32-bit words.
//
// Every operation returns 1 on success and 0 when the sub-file took fewer
// bytes than asked (or a temporary copy could not be made). For an archive of
// the other byte order every count, scalar and element of 2, 4 or 8 bytes is
// stored in the archive's order; the caller's values are never changed.
#pragma once

#include "core/brevit/runtime/dvk_tar.h"

#include <cstdint>

struct BinFileWriter {
    DVKTar* tar;
    DVKTarSubFile* sub;
    int32_t swap;     // the archive's byte order differs from the machine's
    int32_t failed;   // a write fell short: the sub-file is not complete
};

// Writes one element of an array of structures; swap says whether its values
// must be stored byte-reversed.
typedef int32_t (*BinFileWriter_ElementFunc)(BinFileWriter* writer, int32_t swap,
                                             const void* element);

// Starts the sub-file prefix + tag (cut to 255 characters); null on failure.
BinFileWriter* BinFileWriter_Create(DVKTar* tar, const char* tag, const char* prefix);
// Completes the sub-file and frees the writer: 0 when it was completed, 1 when
// a write fell short or the entry could not be completed (an empty sub-file
// counts as a failure). Null gives 0.
int32_t BinFileWriter_Delete(BinFileWriter* writer);

int32_t BinFileWriter_WriteInt(BinFileWriter* writer, int32_t value);
int32_t BinFileWriter_WriteUnsignedInt(BinFileWriter* writer, uint32_t value);
int32_t BinFileWriter_WriteLong(BinFileWriter* writer, int32_t value);
int32_t BinFileWriter_WriteReal(BinFileWriter* writer, double value);

// The bytes as they are, no count.
int32_t BinFileWriter_WriteRaw(BinFileWriter* writer, uint32_t count, const void* data);

// Byte count, then the elements; a null array is stored as an empty one.
int32_t BinFileWriter_WriteArray(BinFileWriter* writer, const void* array, uint32_t count,
                                 uint32_t elementSize);

// A null byte string is stored as count 0 (read back as null); so is a null
// 16-bit string.
int32_t BinFileWriter_WriteString(BinFileWriter* writer, const char* string);
int32_t BinFileWriter_WriteUnicode(BinFileWriter* writer, const uint16_t* string);
int32_t BinFileWriter_WriteStringArray(BinFileWriter* writer, const char* const* strings,
                                       uint32_t count);
int32_t BinFileWriter_WriteUnicodeArray(BinFileWriter* writer, const uint16_t* const* strings,
                                        uint32_t count);

// Rows, columns, then each row as an array record; a null array is stored as
// 0 rows and the given columns.
int32_t BinFileWriter_WriteArray2D(BinFileWriter* writer, const void* array, int32_t rows,
                                   int32_t columns, uint32_t elementSize);

// Element count (chunks x chunk length), then every chunk's elements.
int32_t BinFileWriter_WriteChunkedArray(BinFileWriter* writer, void* const* table,
                                        uint32_t chunks, uint32_t chunkLength,
                                        uint32_t elementSize);

// Element count, each element through func, then the bytes they took.
int32_t BinFileWriter_WriteArrayStructsWithFunc(BinFileWriter* writer, const void* array,
                                                uint32_t count, uint32_t stride,
                                                BinFileWriter_ElementFunc func);
int32_t BinFileWriter_WriteChunkedArrayStructsWithFunc(BinFileWriter* writer, void* const* table,
                                                       uint32_t chunks, uint32_t chunkLength,
                                                       uint32_t stride,
                                                       BinFileWriter_ElementFunc func);

// A structure from fieldCount (offset, size) int pairs: sizes 1, 2, 4 or 8,
// each field inside the structure.
int32_t BinFileWrite_WriteStruct(BinFileWriter* writer, const void* structure,
                                 uint32_t structSize, uint32_t fieldCount, ...);
// Arrays of count structures of stride bytes, members as (offset, size) pairs
// lying inside the stride.
int32_t BinFileWriter_WriteArrayStructs2Members(BinFileWriter* writer, const void* array,
                                                uint32_t count, uint32_t stride, uint32_t offset1,
                                                uint32_t size1, uint32_t offset2, uint32_t size2);
int32_t BinFileWriter_WriteArrayStructs3Members(BinFileWriter* writer, const void* array,
                                                uint32_t count, uint32_t stride, uint32_t offset1,
                                                uint32_t size1, uint32_t offset2, uint32_t size2,
                                                uint32_t offset3, uint32_t size3);
// memberCount further (offset, size) int pairs.
int32_t BinFileWriter_WriteArrayStructsNMembers(BinFileWriter* writer, const void* array,
                                                uint32_t count, uint32_t stride,
                                                uint32_t memberCount, ...);
