// Received signal-processing data is fed to a listening engine of the
// generator's model set: the input's first two bytes give the length of an
// info block that follows, and the rest is cut into packets of the size
// the engine then expects (the last one padded with zeros). The engine is
// destroyed with nothing left allocated.
#include "core/brevit/api/brevit.h"
#include "core/brevit/api/brevit_call_frame.h"
#include "core/brevit/api/brevit_create.h"
#include "core/brevit/api/brevit_engine.h"
#include "core/brevit/runtime/dvk_tar.h"
#include "tests/brevit/api/create/linch_stand_in.h"
#include "tests/support/fuzz_save_path.h"
#include "tests/support/fuzz_model_set_image.h"
#include "tests/support/model_set_writer.h"
#include "tests/support/system_engine_context.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool ready = !fuzzModelSetImage().empty();
    if (!ready || size < 2)
        return 0;
    SystemEngineContext context;
    const std::string& image = fuzzModelSetImage();
    DVKTar* set = DVKTar_OpenForMemoryMappedRead(static_cast<uint32_t>(image.size()), image.data());
    BrevitEngine* engine = nullptr;
    const EBrevit created = BrevitPriv_CreateFromArchive(set, DVKMem_GetMemoryAllocator(), &engine);
    DVKTar_Close(set);
    if (created != EBrevit_OK)
        std::abort();  // the generator's own set always makes an engine

    const size_t infoLength = std::min<size_t>(size - 2, data[0] | (size_t{data[1]} << 8));
    std::vector<uint8_t> info(data + 2, data + 2 + infoLength);
    uint32_t id = 0;
    Brevit_StartListening(engine, &id);
    Brevit_PutSigProcInfo(engine, static_cast<int32_t>(info.size()), info.data());
    const int32_t packetSize = std::max(engine->audioInput.incoming.packetSize, 1);
    std::vector<uint8_t> packet(static_cast<size_t>(packetSize));
    for (size_t at = 2 + infoLength; at < size; at += packet.size()) {
        std::fill(packet.begin(), packet.end(), 0);
        std::memcpy(packet.data(), data + at, std::min(packet.size(), size - at));
        int32_t status = 0;
        if (Brevit_PutSigProcPacket(engine, 0, packet.data(), &status) == EBrevit_EngineError &&
            engine->broken)
            break;
    }
    Brevit_StopListening(engine);
    engine->broken = 0;
    Brevit_Destroy(engine, nullptr);
    return 0;
}
