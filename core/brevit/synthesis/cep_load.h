// Reading helpers shared by the vocoder's loaders.
#pragma once

#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <cstdint>

// Reads a counted array of 16-bit values that must hold exactly count
// elements; an empty array is accepted only when count is 0 (the table is then
// null). 1 on success; on failure *table is left null.
int32_t CepLoad_ReadShorts(BinFileReader* reader, int64_t count, int16_t** table);

// Reads int32 records into each of the given fields in turn; 1 when all were read.
int32_t CepLoad_ReadInts(BinFileReader* reader, int32_t* const* fields, int32_t n);

// True when v is a power of two (v >= 1).
inline bool CepLoad_IsPowerOfTwo(int64_t v) { return v >= 1 && (v & (v - 1)) == 0; }

// Loads one zeroed object of a sub-file: read fills it from the records and
// says whether they were sound; on failure destroy frees whatever read built.
// Null when the sub-file is missing, unsound or memory runs out.
template <typename T>
T* CepLoad_Object(DVKTar* tar, const char* tag, const char* prefix,
                  bool (*read)(BinFileReader*, T*), void (*destroy)(T*))
{
    BinFileReader* reader = BinFileReader_Create(tar, tag, prefix);
    if (reader == nullptr)
        return nullptr;
    auto* object = static_cast<T*>(DVKMem_Calloc(sizeof(T)));
    const bool ok = object != nullptr && read(reader, object);
    BinFileReader_Delete(reader);
    if (!ok) {
        destroy(object);
        return nullptr;
    }
    return object;
}
