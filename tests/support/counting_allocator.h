// An engine allocator record for tests that records every live block: leaks
// are the blocks still recorded, and the N-th allocation can be made to fail.
#pragma once

#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/runtime/dvk_watchdog.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

class CountingAllocator {
public:
    // Every new block arrives filled with this byte.
    static constexpr unsigned char kFreshByte = 0xA5;

    CountingAllocator();
    ~CountingAllocator();
    CountingAllocator(const CountingAllocator&) = delete;
    CountingAllocator& operator=(const CountingAllocator&) = delete;

    // The record to hand to the engine (DVKMem_SetMemoryAllocator, creation).
    BrevitAllocator* record() { return &m_record.base; }

    // Makes allocation call number n (counted from 1 over the allocator's
    // life) fail, and with sticky every call after it too; 0 clears it.
    void failAt(uint64_t n, bool sticky = false);
    // Makes the next allocation call fail (and, when sticky, all later ones).
    void failNext(bool sticky = false) { failAt(m_calls + 1, sticky); }
    bool failed() const { return m_failures > 0; }
    uint64_t failures() const { return m_failures; }

    // Allocation calls so far, failed ones included.
    uint64_t calls() const { return m_calls; }
    size_t liveBlocks() const { return m_blocks.size(); }
    uint64_t liveBytes() const { return m_liveBytes; }
    // Size the engine asked for (header included) of a live block, 0 when not live.
    uint32_t blockSize(const void* block) const;
    // The largest size passed to the alloc function, and the last one.
    uint32_t largestRequest() const { return m_largestRequest; }
    uint32_t lastRequest() const { return m_lastRequest; }
    // One line per live block ("#<call> <size> bytes"), for leak messages.
    std::string describeLeaks() const;

private:
    struct Record {
        BrevitAllocator base;  // first: the engine passes &base back
        CountingAllocator* self;
    };
    static void* allocate(BrevitAllocator* record, uint32_t size);
    static void release(BrevitAllocator* record, void* block);
    static uint32_t usableSize(BrevitAllocator* record, void* block);

    struct Block {
        uint32_t size;
        uint64_t call;
    };

    Record m_record;
    std::map<const void*, Block> m_blocks;
    uint64_t m_calls = 0;
    uint64_t m_failAt = 0;
    bool m_sticky = false;
    uint64_t m_failures = 0;
    uint64_t m_liveBytes = 0;
    uint32_t m_largestRequest = 0;
    uint32_t m_lastRequest = 0;
};

// Installs an allocator record and a fresh error stack as the engine's
// current context for its scope, with no scratch stack and no watchdog, and
// puts the previous ones back. A scratch stack made inside the scope (the
// default one of a first scratch allocation) is deleted with it, while its
// allocator is still installed.
class ScopedEngineContext {
public:
    explicit ScopedEngineContext(CountingAllocator& allocator)
    {
        DVKErr_InitErrorStack(&m_errors);
        m_previousAllocator = DVKMem_SetMemoryAllocator(allocator.record());
        m_previousErrors = DVKErr_SetErrorStack(&m_errors);
        m_previousScratch = DVKTempMem_SetMemStack(nullptr);
        m_previousWatchDog = DVKWatchDog_SetCallback(nullptr, nullptr, &m_previousWatchDogArgument);
    }
    ~ScopedEngineContext()
    {
        DVKWatchDog_SetCallback(m_previousWatchDog, m_previousWatchDogArgument, nullptr);
        DVKTempMem_DeleteMemStack();
        DVKTempMem_SetMemStack(m_previousScratch);
        DVKErr_SetErrorStack(m_previousErrors);
        DVKMem_SetMemoryAllocator(m_previousAllocator);
    }
    ScopedEngineContext(const ScopedEngineContext&) = delete;
    ScopedEngineContext& operator=(const ScopedEngineContext&) = delete;

    DVKErrStack& errors() { return m_errors; }

private:
    DVKErrStack m_errors;
    BrevitAllocator* m_previousAllocator = nullptr;
    DVKErrStack* m_previousErrors = nullptr;
    DVKMemStack* m_previousScratch = nullptr;
    DVKWatchDogFunc m_previousWatchDog = nullptr;
    void* m_previousWatchDogArgument = nullptr;
};
