// Engine archives arrive as model and user-state files: open any bytes as an
// archive image, look sub-files up by scan and by directory, and read every
// sub-file with each family of typed records, the way loaders do.
#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_param_load.h"
#include "core/brevit/runtime/dvk_tar.h"
#include "tests/support/system_engine_context.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Names the seeds use, and a few that are never there.
const char* const kNames[] = {"scalars", "arrays", "strings", "grids", "chunks", "structs",
                              "members", "dvkpar",  "b",       "a",     "missing"};

constexpr int kMaxRecords = 64;

int32_t readElement(BinFileReader* reader, int32_t, void* element)
{
    return BinFileReader_ReadInt(reader, static_cast<int32_t*>(element));
}

// Reads records of one family until one fails or the sub-file ends.
void readFamily(DVKTar* tar, const char* name, int family)
{
    BinFileReader* reader = BinFileReader_Create(tar, name, nullptr);
    if (reader == nullptr)
        return;
    for (int i = 0; i < kMaxRecords && !BinFileReader_IsAtEnd(reader); ++i) {
        int32_t ok = 0;
        switch (family) {
        case 0: {
            int32_t v = 0;
            double d = 0;
            int16_t s = 0;
            ok = BinFileReader_ReadBoolean(reader, &v) || BinFileReader_ReadShort(reader, &s) ||
                 BinFileReader_ReadReal(reader, &d);
            break;
        }
        case 1: {
            void* array = nullptr;
            uint32_t count = 0;
            int32_t buffer[8];
            ok = BinFileReader_AllocateAndReadArray(reader, 2, &array, &count);
            DVKMem_Free(array);
            ok = ok || BinFileReader_ReadArray(reader, buffer, 4, 8);
            break;
        }
        case 2: {
            char* s = nullptr;
            uint16_t* u = nullptr;
            char** strings = nullptr;
            int32_t n = 0;
            char buffer[16];
            uint16_t units[16];
            ok = BinFileReader_ReadAndAllocateString(reader, &s);
            DVKMem_Free(s);
            ok = ok || BinFileReader_ReadAndAllocateUnicodeString(reader, &u);
            DVKMem_Free(u);
            if (!ok && BinFileReader_ReadAndAllocateStringArray(reader, &strings, &n)) {
                for (int32_t k = 0; k < n; ++k)
                    DVKMem_Free(strings[k]);
                DVKMem_Free(strings);
                ok = 1;
            }
            ok = ok || BinFileReader_ReadString(reader, sizeof(buffer), buffer) ||
                 BinFileReader_ReadUnicode(reader, 16, units);
            break;
        }
        case 3: {
            void* grid = nullptr;
            int32_t rows = 0;
            int32_t columns = 0;
            ok = BinFileReader_AllocateAndReadArray2D(reader, &grid, &rows, &columns, 4);
            DVKMem_2DFree(grid);
            break;
        }
        case 4: {
            void** table = nullptr;
            uint32_t chunks = 0;
            ok = BinFileReader_AllocateAndReadChunkedArray(reader, &table, 8, 4, 4, &chunks);
            if (ok)
                DVKMem_FreeChunksArray(table, chunks);
            if (!ok && BinFileReader_AllocateAndReadChunkedArrayStructsWithFunc(
                           reader, &table, 8, 4, 4, readElement, &chunks)) {
                DVKMem_FreeChunksArray(table, chunks);
                ok = 1;
            }
            break;
        }
        case 5: {
            struct {
                int32_t a;
                int16_t b;
                double c;
            } s[4] = {};
            ok = BinFileReader_ReadStruct(reader, &s[0], sizeof(s[0]), 3, 0, 4, 4, 2, 8, 8) ||
                 BinFileReader_ReadArrayStructsWithFunc(reader, s, 4, sizeof(s[0]), readElement);
            break;
        }
        default: {
            struct {
                int32_t a;
                int16_t b;
                double c;
            } s[16] = {};
            ok = BinFileReader_ReadArrayStructs2Members(reader, s, 16, sizeof(s[0]), 0, 4, 8, 8) ||
                 BinFileReader_ReadArrayStructs3Members(reader, s, 16, sizeof(s[0]), 0, 4, 4, 2,
                                                        8, 8) ||
                 BinFileReader_ReadArrayStructsNMembers(reader, s, 16, sizeof(s[0]), 2, 4, 2, 0, 4);
            break;
        }
        }
        if (!ok)
            break;
    }
    BinFileReader_Delete(reader);
}

void exercise(DVKTar* tar)
{
    char buffer[64];
    uint32_t format = 0;
    for (const char* name : kNames) {
        for (int family = 0; family < 7; ++family)
            readFamily(tar, name, family);
        DVKTar_SubFileReadAt(tar, name, 2, sizeof(buffer), buffer);
        BinFileReader_PeekFormatNumber(tar, name, nullptr, &format);
        // Two streams on one archive, read alternately.
        DVKTarSubFile* first = DVKTar_SubFileOpen(tar, name);
        DVKTarSubFile* second = DVKTar_SubFileOpen(tar, kNames[0]);
        while (DVKTar_SubFileRead(first, buffer, 3) > 0 && DVKTar_SubFileRead(second, buffer, 5) >= 0) {
        }
        DVKTar_SubFileClose(first);
        DVKTar_SubFileClose(second);
    }
    DVKMem_Free(DVKParam_LoadFromBinFile(tar, nullptr));
    // Then the same through the sorted directory.
    if (DVKTar_BuildDirectory(tar) != nullptr)
        for (uint32_t i = 0; i < tar->nSubFiles && i < 8; ++i)
            for (int family = 0; family < 7; ++family)
                readFamily(tar, tar->dirNames[i], family);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 1 << 20)
        return 0;
    SystemEngineContext context;
    // An image of its own, so reads past the input show up.
    auto* image = static_cast<uint8_t*>(std::malloc(size > 0 ? size : 1));
    if (size > 0)
        std::memcpy(image, data, size);
    DVKErr_Protect([&] {
        DVKTar* tar = DVKTar_OpenForMemoryMappedRead(static_cast<uint32_t>(size), image);
        if (tar != nullptr) {
            exercise(tar);
            DVKTar_Close(tar);
        }
    });
    std::free(image);
    if (context.liveBlocks() != 0)
        std::abort();  // something read was not given back
    return 0;
}
