// Record helpers shared by the small model tables' loaders: counted arrays
// whose stored count must match the one read before them, and the checks
// every loader makes on pools of terminated runs.
#pragma once

#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/dvk_tar.h"

#include <cstdint>

// Reads a counted array of elementSize bytes into *array. A present array
// must hold exactly expected elements; an absent one (stored empty) leaves
// *array null and is refused when required and expected > 0. 1 on success.
int32_t TableRead_Array(BinFileReader* reader, uint32_t elementSize, int64_t expected,
                        bool required, void** array);

// Index of the last unit equal to terminator in pool[0..length), or -1 (an
// absent pool has none).
int64_t TableRead_LastTerminator(const uint16_t* pool, int64_t length, uint16_t terminator);

// Bytes of the sub-file not yet read.
uint32_t TableRead_Remaining(const BinFileReader* reader);

// Opens the named sub-file of the archive, runs load(reader) over it and
// closes it again; null when there is no such sub-file.
template <typename Load>
auto TableRead_LoadSubFile(DVKTar* tar, const char* tag, const char* prefix, Load load)
    -> decltype(load(nullptr))
{
    BinFileReader* reader = BinFileReader_Create(tar, tag, prefix);
    if (reader == nullptr)
        return nullptr;
    auto* loaded = load(reader);
    BinFileReader_Delete(reader);
    return loaded;
}
