// The engine context (allocator and error stack) over the C library's heap,
// for programs that run engine code outside the test runner: benchmarks and
// fuzz targets. Installed for the object's lifetime; the previous context is
// put back afterwards.
//
// Header-only: it calls the engine runtime, which the shared support library
// does not link.
#pragma once

#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <cstdint>
#include <cstdlib>

class SystemEngineContext {
public:
    SystemEngineContext()
    {
        m_record.alloc = &allocate;
        m_record.free = &release;
        DVKErr_InitErrorStack(&m_errors);
        m_previousAllocator = DVKMem_SetMemoryAllocator(&m_record);
        m_previousErrors = DVKErr_SetErrorStack(&m_errors);
    }
    ~SystemEngineContext()
    {
        DVKErr_SetErrorStack(m_previousErrors);
        DVKMem_SetMemoryAllocator(m_previousAllocator);
    }
    SystemEngineContext(const SystemEngineContext&) = delete;
    SystemEngineContext& operator=(const SystemEngineContext&) = delete;

    // Blocks the engine holds at the moment (its allocator's statistics).
    uint32_t liveBlocks() const { return m_record.currentObjects; }

private:
    static void* allocate(BrevitAllocator*, uint32_t size) { return std::malloc(size); }
    static void release(BrevitAllocator*, void* block) { std::free(block); }

    BrevitAllocator m_record = {};
    DVKErrStack m_errors;
    BrevitAllocator* m_previousAllocator = nullptr;
    DVKErrStack* m_previousErrors = nullptr;
};
