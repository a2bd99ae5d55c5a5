// Growable byte arrays kept as a table of fixed-size, zero-filled chunks,
// with reads, writes and comparisons at byte offsets that may cross chunk
// boundaries, and a stored form in the typed records of an engine archive.
// Memory comes from the non-raising allocator: failures answer false or 0.
#pragma once

#include <cstdint>

struct BinFileReader;
struct BinFileWriter;

struct DVKChunkedArray {
    void** chunks;       // chunk table
    int32_t chunkSize;   // bytes per chunk, a power of two
    int32_t shift;       // log2 of chunkSize
    int32_t chunkCount;  // chunks allocated
    int32_t capacity;    // entries of the chunk table
    int32_t length;      // bytes in use
};

// Largest chunk accepted: the chunk size must stay a positive 32-bit value.
inline constexpr int32_t kDVKChunkedArrayMaxShift = 30;

// Null when chunkSize is not a power of two or memory is short.
DVKChunkedArray* DVKChunkedArray_Create(int32_t chunkSize, int32_t initialCapacity);
// Fills a caller record (whose previous content is not freed); a positive
// initialCapacity pre-sizes the chunk table.
bool DVKChunkedArray_Init(DVKChunkedArray* array, int32_t chunkSize, int32_t initialCapacity);
// Frees every chunk and the table and zeroes the record.
void DVKChunkedArray_Free(DVKChunkedArray* array);
void DVKChunkedArray_Delete(DVKChunkedArray* array);

// Makes chunks for length bytes and sets the length (which may go down;
// chunks are kept).
bool DVKChunkedArray_SetLength(DVKChunkedArray* array, int32_t length);
// Writes count bytes at offset, growing the array; 0 when offset is beyond
// the length or memory is short, else count.
int32_t DVKChunkedArray_Write(DVKChunkedArray* array, int32_t offset, int32_t count,
                              const void* bytes);
// Reads count bytes at offset; 0 when offset is not below the length or the
// bytes run beyond the allocated chunks (past the length, the chunks read as
// they are: zero unless written before), else count.
int32_t DVKChunkedArray_Read(const DVKChunkedArray* array, int32_t offset, int32_t count,
                             void* bytes);
// memcmp of count bytes at offset against bytes; count 0 gives 0, bytes
// beyond the allocated chunks give -1.
int32_t DVKChunkedArray_Compare(const DVKChunkedArray* array, int32_t offset, int32_t count,
                                const void* bytes);

// Stored form: chunk size, shift, chunk count, table capacity and length as
// integers, then the chunks' bytes as one record of chunk count x chunk size
// bytes with its trailing byte length.
bool DVKChunkedArray_Save(const DVKChunkedArray* array, BinFileWriter* writer);
// Reads the stored form into an empty array; false (the array left empty)
// on any mismatch, and for a stored chunk size of 1 (shift 0), which the
// stored form does not allow.
bool DVKChunkedArray_Load(DVKChunkedArray* array, BinFileReader* reader);
