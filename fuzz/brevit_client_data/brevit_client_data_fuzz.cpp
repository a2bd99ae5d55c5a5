// The client-data store comes back from stored user state: any bytes as the
// content of its "bcld0" sub-file, loaded into a store and used, and loaded
// as a bare chunked array into arrays of other shapes.
#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/dvk_chunked.h"
#include "core/brevit/runtime/dvk_client_data.h"
#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_tar.h"
#include "tests/support/system_engine_context.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

template <typename T>
void put(std::string& image, T value)
{
    image.append(reinterpret_cast<const char*>(&value), sizeof(value));
}

// A version-3 archive in machine byte order holding one sub-file "bcld0".
std::string archiveAround(const uint8_t* data, size_t size)
{
    std::string image("DVK\0ktr\0", 8);
    put<uint16_t>(image, 0xFEFF);
    put<uint16_t>(image, 3);
    put<uint16_t>(image, 1);
    put<uint16_t>(image, 0);
    put<uint16_t>(image, 0);
    put<uint16_t>(image, 5);
    image += kClientDataTag;
    put<uint32_t>(image, 0xFFFFFFFFu);
    put<uint32_t>(image, static_cast<uint32_t>(size));
    image.append(reinterpret_cast<const char*>(data), size);
    return image;
}

void useStore(ClientData* store)
{
    static const char* const kKeys[] = {"", "a", "b", "key", "volume", "zzzzzzzz"};
    char buffer[256];
    for (const char* key : kKeys) {
        uint32_t length = 0;
        if (ClientData_FindItem(store, key, &length) >= 0 && length <= sizeof(buffer))
            ClientData_GetItem(store, key, buffer);
    }
    ClientData_SetItem(store, "b", 3, "new");
    ClientData_ClearItem(store, "a");
    ClientData_SetItem(store, "a", 0, nullptr);
    uint32_t length = 0;
    if (ClientData_FindItem(store, "b", &length) < 0 || length != 3)
        std::abort();  // an item just set must be found
}

void loadArray(DVKTar* tar, int32_t chunkSize, bool withChunks)
{
    DVKChunkedArray* array = DVKChunkedArray_Create(chunkSize, 0);
    if (withChunks) {
        DVKChunkedArray_SetLength(array, chunkSize + 1);
        DVKChunkedArray_SetLength(array, 0);
    }
    BinFileReader* reader = BinFileReader_Create(tar, kClientDataTag, nullptr);
    if (reader != nullptr && DVKChunkedArray_Load(array, reader) && array->length > 0) {
        auto* bytes = static_cast<char*>(std::malloc(static_cast<size_t>(array->length)));
        if (DVKChunkedArray_Read(array, 0, array->length, bytes) != array->length ||
            DVKChunkedArray_Compare(array, 0, array->length, bytes) != 0)
            std::abort();  // what was loaded must read back
        std::free(bytes);
    }
    BinFileReader_Delete(reader);
    DVKChunkedArray_Delete(array);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 1 << 20)
        return 0;
    SystemEngineContext context;
    const std::string image = archiveAround(data, size);
    DVKErr_Protect([&] {
        DVKTar* tar = DVKTar_OpenForMemoryMappedRead(static_cast<uint32_t>(image.size()),
                                                     image.data());
        if (tar == nullptr)
            return;
        ClientData* store = ClientData_Create(kClientDataChunkSize);
        if (ClientData_LoadFromBinFile(store, tar, nullptr)) {
            useStore(store);
            // A store that is not empty takes nothing more.
            if (ClientData_LoadFromBinFile(store, tar, nullptr))
                std::abort();
        } else if (store->items.length != 0) {
            std::abort();  // a failed load leaves the store empty
        }
        ClientData_Delete(store);
        loadArray(tar, 16, false);
        loadArray(tar, 16, true);
        loadArray(tar, 512, true);
        DVKTar_Close(tar);
    });
    if (context.liveBlocks() != 0)
        std::abort();  // something loaded was not given back
    return 0;
}
