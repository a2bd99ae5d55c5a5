// The common frame of the fuzz targets that read engine archives: the input
// copied into an image of its own (so reads past it show up), opened as an
// archive, handed to body(DVKTar*) inside a protected region on an engine
// context over the C heap, and the process aborted when anything the engine
// allocated is still held afterwards.
//
// Header-only: it calls the engine runtime.
#pragma once

#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/runtime/dvk_tar.h"
#include "tests/support/system_engine_context.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

template <typename Body>
int fuzzArchiveImage(const uint8_t* data, size_t size, Body body)
{
    if (size > 1 << 20)
        return 0;
    SystemEngineContext context;
    auto* image = static_cast<uint8_t*>(std::malloc(size > 0 ? size : 1));
    if (size > 0)
        std::memcpy(image, data, size);
    DVKErr_Protect([&] {
        DVKTar* tar = DVKTar_OpenForMemoryMappedRead(static_cast<uint32_t>(size), image);
        if (tar == nullptr)
            return;
        body(tar);
        DVKTar_Close(tar);
    });
    DVKTempMem_DeleteMemStack();
    std::free(image);
    if (context.liveBlocks() != 0)
        std::abort();   // something loaded was not given back
    return 0;
}
