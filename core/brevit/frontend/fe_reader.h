// Opening a front-end sub-file for loading. The loaders build their objects
// from non-raising allocations so that any failure can free what was built;
// the reader record itself comes from the raising allocator, so opening it is
// the one place a load could unwind past a half-built object.
#pragma once

#include "core/brevit/runtime/bin_file_reader.h"

// A reader on prefix + tag; null when the sub-file is absent or there is no
// memory for the reader.
BinFileReader* FEReader_Open(DVKTar* tar, const char* tag, const char* prefix);

// Allocates and reads an int16 array record into *array (kept for the caller
// to free even on failure); 1 only when it holds exactly expected values.
int32_t FEReader_ReadInt16Array(BinFileReader* reader, int16_t** array, uint32_t expected);

// Reads count 4-byte integers into values; 1 when all were read.
int32_t FEReader_ReadInts(BinFileReader* reader, int32_t* values, int32_t count);
