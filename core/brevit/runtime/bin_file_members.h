// Member lists of the structure-array records, shared by the record reader
// and writer: (offset, size) pairs taken from the callers' argument lists and
// checked against the element stride.
#pragma once

#include <cstdarg>
#include <cstdint>

struct BinFileMember {
    uint32_t offset;
    uint32_t size;
};

// Members described on the caller's stack; longer lists come from engine memory.
inline constexpr uint32_t kBinFileStackMembers = 16;

// Every member non-empty and inside an element of stride bytes; elementBytes
// receives the sum of the member sizes.
bool BinFile_ValidMembers(const BinFileMember* members, uint32_t count, uint32_t stride,
                          uint64_t* elementBytes);

// Reads count (offset, size) int pairs from args into local (count at most
// kBinFileStackMembers) or into a block of engine memory; null when that
// cannot be had. A negative offset or size becomes one no stride accepts.
BinFileMember* BinFile_TakeMembers(BinFileMember* local, uint32_t count, va_list args);
// Frees what BinFile_TakeMembers allocated.
void BinFile_ReleaseMembers(BinFileMember* members, const BinFileMember* local);
