// Cost per operation of the engine heap and scratch memory against plain
// malloc/free of the same sizes.
#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_mem_stack.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

void* systemAlloc(BrevitAllocator*, uint32_t size)
{
    return std::malloc(size);
}

void systemFree(BrevitAllocator*, void* block)
{
    std::free(block);
}

// The engine context as an entry point installs it.
struct Context {
    Context()
    {
        record.alloc = &systemAlloc;
        record.free = &systemFree;
        DVKErr_InitErrorStack(&errors);
        DVKMem_SetMemoryAllocator(&record);
        DVKErr_SetErrorStack(&errors);
        DVKTempMem_CreateMemStack(4096, 2048);
    }
    ~Context()
    {
        DVKTempMem_DeleteMemStack();
        DVKErr_SetErrorStack(nullptr);
        DVKMem_SetMemoryAllocator(nullptr);
    }
    BrevitAllocator record = {};
    DVKErrStack errors;
};

void BM_PlainMalloc(benchmark::State& state)
{
    const size_t size = static_cast<size_t>(state.range(0));
    for (auto _ : state) {
        void* p = std::malloc(size);
        benchmark::DoNotOptimize(p);
        std::free(p);
    }
}

// An engine heap allocation form and DVKMem_Free.
template <void* (*Allocate)(uint32_t)>
void BM_Engine(benchmark::State& state)
{
    Context context;
    const auto size = static_cast<uint32_t>(state.range(0));
    for (auto _ : state) {
        void* p = Allocate(size);
        benchmark::DoNotOptimize(p);
        DVKMem_Free(p);
    }
}

void BM_ScratchPushPop(benchmark::State& state)
{
    Context context;
    const auto size = static_cast<uint32_t>(state.range(0));
    for (auto _ : state) {
        void* p = DVKTempMem_Malloc(size);
        benchmark::DoNotOptimize(p);
        DVKTempMem_Free(p, size);
    }
}

// Eight nested blocks, then one release to the mark: the usual pattern of
// engine code that takes a mark first.
void BM_ScratchEightToMark(benchmark::State& state)
{
    Context context;
    const auto size = static_cast<uint32_t>(state.range(0));
    for (auto _ : state) {
        uint32_t mark = DVKTempMem_GetMark();
        for (int i = 0; i < 8; ++i)
            benchmark::DoNotOptimize(DVKTempMem_Malloc(size));
        DVKTempMem_ReleaseToMark(mark);
    }
    state.SetItemsProcessed(state.iterations() * 8);
}

void BM_PlainMallocEight(benchmark::State& state)
{
    const size_t size = static_cast<size_t>(state.range(0));
    for (auto _ : state) {
        void* p[8];
        for (auto& block : p) {
            block = std::malloc(size);
            benchmark::DoNotOptimize(block);
        }
        for (int i = 7; i >= 0; --i)
            std::free(p[i]);
    }
    state.SetItemsProcessed(state.iterations() * 8);
}

BENCHMARK(BM_PlainMalloc)->Arg(16)->Arg(256)->Arg(4096);
BENCHMARK(BM_Engine<DVKMem_Malloc>)->Name("BM_EngineMalloc")->Arg(16)->Arg(256)->Arg(4096);
BENCHMARK(BM_Engine<DVKMem_MallocOrThrow>)->Name("BM_EngineMallocOrThrow")->Arg(256);
BENCHMARK(BM_ScratchPushPop)->Arg(16)->Arg(256)->Arg(4096);
BENCHMARK(BM_ScratchEightToMark)->Arg(16)->Arg(256);
BENCHMARK(BM_PlainMallocEight)->Arg(16)->Arg(256);

} // namespace
