// A saved user state is loaded into an engine of the generator's model set:
// the image is read as a storage of each mode (one archive, half A, half B),
// the checksums are taken and the engine destroyed with nothing left
// allocated.
#include "core/brevit/api/brevit.h"
#include "core/brevit/api/brevit_call_frame.h"
#include "core/brevit/api/brevit_create.h"
#include "core/brevit/api/brevit_storage.h"
#include "core/brevit/runtime/dvk_tar.h"
#include "tests/brevit/api/create/linch_stand_in.h"
#include "tests/support/fuzz_archive_image.h"
#include "tests/support/fuzz_save_path.h"
#include "tests/support/fuzz_model_set_image.h"
#include "tests/support/model_set_writer.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool ready = [] {
        return !fuzzModelSetImage().empty();
    }();
    if (!ready)
        return 0;
    return fuzzArchiveImage(data, size, [](DVKTar* storage) {
        const std::string& image = fuzzModelSetImage();
        DVKTar* set = DVKTar_OpenForMemoryMappedRead(static_cast<uint32_t>(image.size()), image.data());
        BrevitEngine* engine = nullptr;
        const EBrevit created = BrevitPriv_CreateFromArchive(set, DVKMem_GetMemoryAllocator(), &engine);
        DVKTar_Close(set);
        if (created != EBrevit_OK)
            std::abort();   // the generator's own set always makes an engine
        for (int32_t mode = 3; mode <= 5 && !engine->broken; ++mode)
            BrevitPriv_Call(engine, [&](BrevitEngine* e) { return BrevitPriv_LoadStorageArchive(e, storage, mode); });
        // A broken engine refuses to be destroyed; here it must still give
        // back everything.
        engine->broken = 0;
        const uint32_t* crcs = nullptr;
        int32_t count = 0;
        Brevit_ComputeCRCArray(engine, 1, &crcs, &count);
        Brevit_Destroy(engine, nullptr);
    });
}
