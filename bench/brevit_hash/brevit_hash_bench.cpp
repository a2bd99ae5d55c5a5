// Insert, find and remove rates of the engine hash table over word-like keys,
// the way the word lists build and query their look-up tables, with the
// chunked byte array's write and read rate beside it.
#include "core/brevit/runtime/dvk_chunked.h"
#include "core/brevit/runtime/dvk_hash.h"
#include "tests/support/system_engine_context.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

using Context = SystemEngineContext;

int32_t stringKey(const void* item, const void** key)
{
    const auto* s = static_cast<const std::string*>(item);
    *key = s->data();
    return static_cast<int32_t>(s->size());
}

// n distinct keys of 4 to 12 letters.
std::vector<std::string> words(int64_t n, uint32_t seed)
{
    std::vector<std::string> out;
    out.reserve(static_cast<size_t>(n));
    uint32_t x = seed;
    for (int64_t i = 0; i < n; ++i) {
        x = x * 1664525u + 1013904223u;
        std::string w(4 + (x >> 28) % 9, 'a');
        for (char& c : w) {
            x = x * 1664525u + 1013904223u;
            c = static_cast<char>('a' + (x >> 24) % 26);
        }
        w.append(std::to_string(i));
        out.push_back(std::move(w));
    }
    return out;
}

void BM_HashInsert(benchmark::State& state)
{
    Context context;
    std::vector<std::string> keys = words(state.range(0), 1);
    for (auto _ : state) {
        DVKHash* table = DVKHash_Create(0, stringKey, nullptr);
        for (std::string& k : keys)
            DVKHash_Insert(table, &k);
        benchmark::DoNotOptimize(table->itemCount);
        DVKHash_Delete(table);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_HashInsert)->Arg(1000)->Arg(100000);

void BM_HashFind(benchmark::State& state)
{
    Context context;
    std::vector<std::string> keys = words(state.range(0), 1);
    const std::vector<std::string> absent = words(state.range(0), 2);
    DVKHash* table = DVKHash_Create(0, stringKey, nullptr);
    for (std::string& k : keys)
        DVKHash_Insert(table, &k);
    // Half hits, half misses.
    for (auto _ : state) {
        for (size_t i = 0; i < keys.size(); ++i) {
            const std::string& k = (i & 1) != 0 ? keys[i] : absent[i];
            benchmark::DoNotOptimize(
                DVKHash_Find(table, k.data(), static_cast<int32_t>(k.size())));
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    DVKHash_Delete(table);
}
BENCHMARK(BM_HashFind)->Arg(1000)->Arg(100000);

void BM_HashRemoveInsert(benchmark::State& state)
{
    Context context;
    std::vector<std::string> keys = words(state.range(0), 1);
    DVKHash* table = DVKHash_Create(0, stringKey, nullptr);
    for (std::string& k : keys)
        DVKHash_Insert(table, &k);
    for (auto _ : state) {
        for (std::string& k : keys) {
            DVKHash_Remove(table, k.data(), static_cast<int32_t>(k.size()));
            DVKHash_Insert(table, &k);
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    DVKHash_Delete(table);
}
BENCHMARK(BM_HashRemoveInsert)->Arg(100000);

void BM_ChunkedWriteRead(benchmark::State& state)
{
    Context context;
    const int32_t piece = static_cast<int32_t>(state.range(0));
    std::vector<char> bytes(static_cast<size_t>(piece), 'x');
    constexpr int32_t kTotal = 1 << 20;
    for (auto _ : state) {
        DVKChunkedArray* array = DVKChunkedArray_Create(512, 0);
        for (int32_t at = 0; at < kTotal; at += piece)
            DVKChunkedArray_Write(array, at, piece, bytes.data());
        for (int32_t at = 0; at + piece <= kTotal; at += piece)
            DVKChunkedArray_Read(array, at, piece, bytes.data());
        DVKChunkedArray_Delete(array);
    }
    state.SetBytesProcessed(state.iterations() * int64_t{kTotal} * 2);
}
BENCHMARK(BM_ChunkedWriteRead)->Arg(24)->Arg(4096);

} // namespace
