// Class-pair building: 10,000 random transitions over 1,000 classes into a
// constraint created small (so it grows), ten such merged into one, and a
// class index found by id.
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/class_pair_constraint.h"
#include "tests/support/system_engine_context.h"

#include <benchmark/benchmark.h>

#include <random>
#include <utility>
#include <vector>

namespace {

constexpr int kTransitions = 10000;
constexpr uint32_t kClasses = 1000;

std::vector<std::pair<uint32_t, uint32_t>> randomTransitions(uint32_t seed)
{
    std::mt19937 rng(seed);
    std::vector<std::pair<uint32_t, uint32_t>> out(kTransitions);
    for (auto& t : out)
        t = {rng() % (kClasses + 1), rng() % (kClasses + 1)};
    return out;
}

Constraint* build(const std::vector<std::pair<uint32_t, uint32_t>>& transitions)
{
    Constraint* con = ClassPairConstraint_Create("b", nullptr, 1, 1, 1);
    for (const auto& [from, to] : transitions)
        ClassPairConstraint_AddTransition(con, from, to, static_cast<int32_t>((from + to) & 255));
    return con;
}

void BM_AddTransitions(benchmark::State& state)
{
    SystemEngineContext context;
    const auto transitions = randomTransitions(1);
    for (auto _ : state) {
        Constraint* con = build(transitions);
        state.PauseTiming();
        ClassPairConstraint_Delete(con, 0);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kTransitions);
}
BENCHMARK(BM_AddTransitions)->Unit(benchmark::kMillisecond);

void BM_MergeTen(benchmark::State& state)
{
    SystemEngineContext context;
    std::vector<Constraint*> parts;
    for (uint32_t seed = 1; seed <= 10; ++seed)
        parts.push_back(build(randomTransitions(seed)));
    for (auto _ : state) {
        Constraint* merged = ClassPairConstraint_MergeConstraints(parts.data(), 10);
        benchmark::DoNotOptimize(merged);
        state.PauseTiming();
        ClassPairConstraint_Delete(merged, 0);
        state.ResumeTiming();
    }
    for (Constraint* con : parts)
        ClassPairConstraint_Delete(con, 0);
}
BENCHMARK(BM_MergeTen)->Unit(benchmark::kMillisecond);

void BM_FindClassIndex(benchmark::State& state)
{
    SystemEngineContext context;
    Constraint* con = build(randomTransitions(1));
    std::mt19937 rng(7);
    int32_t index = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(ClassPairConstraint_FindClassIndex(con, rng() % (kClasses + 2), &index));
    ClassPairConstraint_Delete(con, 0);
}
BENCHMARK(BM_FindClassIndex);

} // namespace
