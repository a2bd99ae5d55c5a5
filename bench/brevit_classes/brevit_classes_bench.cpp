// Class editing and lookup: 100,000 random members into an empty class (one
// batched edit, merged once) and into a class that already has members (each
// a sorted insert), and a class found by name among 10,000.
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/constraint_class.h"
#include "tests/support/system_engine_context.h"

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kMembers = 100000;

std::vector<std::vector<uint16_t>> randomMembers(uint32_t seed)
{
    std::mt19937 rng(seed);
    std::vector<std::vector<uint16_t>> members(kMembers);
    for (auto& m : members)
        for (uint32_t n = 1 + rng() % 3; n > 0; --n)
            m.push_back(static_cast<uint16_t>(rng() % 60000));
    return members;
}

void addAll(ClassManager* m, const char* name, const std::vector<std::vector<uint16_t>>& members)
{
    uint8_t weight = 0;
    for (const auto& w : members)
        ClassManager_AddClassMember(m, name, w.data(), static_cast<int32_t>(w.size()), weight++, 0);
}

void BM_FillEmptyClass(benchmark::State& state)
{
    SystemEngineContext context;
    const auto members = randomMembers(1);
    for (auto _ : state) {
        ClassManager* m = ClassManager_Create(nullptr, nullptr, nullptr, 4);
        ClassManager_AddClass(m, "c", kMembers, 2 * kMembers, 1, 0, 0, 0);
        addAll(m, "c", members);
        ClassManager_FinishEdit(m);
        state.PauseTiming();
        ClassManager_Delete(m);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kMembers);
}
BENCHMARK(BM_FillEmptyClass)->Unit(benchmark::kMillisecond);

void BM_InsertIntoFilledClass(benchmark::State& state)
{
    SystemEngineContext context;
    const auto first = randomMembers(1);
    const auto more = randomMembers(2);
    for (auto _ : state) {
        state.PauseTiming();
        ClassManager* m = ClassManager_Create(nullptr, nullptr, nullptr, 4);
        ClassManager_AddClass(m, "c", 2 * kMembers, 4 * kMembers, 1, 0, 0, 0);
        addAll(m, "c", first);
        ClassManager_FinishEdit(m);
        state.ResumeTiming();
        addAll(m, "c", more);
        state.PauseTiming();
        ClassManager_Delete(m);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kMembers);
}
BENCHMARK(BM_InsertIntoFilledClass)->Unit(benchmark::kMillisecond);

void BM_FindClassAmong10000(benchmark::State& state)
{
    SystemEngineContext context;
    ClassManager* m = ClassManager_Create(nullptr, nullptr, nullptr, 10000);
    std::vector<std::string> names;
    for (int k = 0; k < 10000; ++k) {
        names.push_back("class_" + std::to_string(k));
        ClassManager_AddClass(m, names.back().c_str(), 1, 1, 0, 0, 0, 0);
    }
    std::mt19937 rng(3);
    for (auto _ : state)
        benchmark::DoNotOptimize(ClassManager_FindClass(m, names[rng() % names.size()].c_str()));
    ClassManager_Delete(m);
}
BENCHMARK(BM_FindClassAmong10000)->Unit(benchmark::kMicrosecond);

} // namespace
