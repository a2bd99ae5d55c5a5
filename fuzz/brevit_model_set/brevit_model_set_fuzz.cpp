// A model set arrives as one archive: create an engine from the image, and
// when it stands take its checksums, keep client data, save its user state
// and load it back, then destroy it with nothing left allocated.
#include "core/brevit/api/brevit.h"
#include "core/brevit/api/brevit_create.h"
#include "tests/brevit/api/create/linch_stand_in.h"
#include "tests/support/fuzz_archive_image.h"
#include "tests/support/fuzz_save_path.h"

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool ready = [] {
        return !fuzzSavePath("x").empty();
    }();
    static const std::string user = "fuzz_model_set_" + std::to_string(getpid()) + ".dvk";
    if (!ready)
        return 0;
    return fuzzArchiveImage(data, size, [](DVKTar* tar) {
        BrevitEngine* engine = nullptr;
        if (BrevitPriv_CreateFromArchive(tar, DVKMem_GetMemoryAllocator(), &engine) != EBrevit_OK)
            return;
        const uint32_t* crcs = nullptr;
        int32_t count = 0;
        uint32_t crc = 0;
        Brevit_ComputeCRCArray(engine, 1, &crcs, &count);
        Brevit_ComputeCRC(engine, 1, &crc);
        Brevit_SetClientDataItem(engine, "fuzz", 4, "data");
        if (Brevit_SaveToStorage(engine, user.c_str()) == EBrevit_OK &&
            Brevit_LoadFromStorage(engine, user.c_str()) != EBrevit_OK)
            std::abort();   // what an engine saved, it must read back
        if (Brevit_Destroy(engine, nullptr) != EBrevit_OK)
            std::abort();
    });
}
