// Cost of reaching a constraint through the generic operations, per
// hypothesis and frame: the transition score of an `ActiveId` (index
// decoding, table dispatch, narrowing) and an iterator walk (init, then next
// until exhausted), over the scripted test kind, whose slots do next to
// nothing themselves.
#include "core/brevit/search/constraint.h"
#include "tests/brevit/search/scripted_constraint.h"
#include "tests/support/system_engine_context.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

// 64 constraints, each with the score slot and eight successors of the start.
struct Table {
    Table()
    {
        for (int32_t i = 0; i < 64; ++i) {
            ScriptedSpec spec;
            spec.slots |= slotBit(kSlotGetTransitionScore);
            for (uint16_t p = 0; p < 8; ++p)
                spec.steps.push_back({0, static_cast<uint16_t>(100 + p), 1, p % 2u, 0});
            constraints.push_back(ScriptedConstraint_Create(spec));
        }
        std::mt19937 rng(5);
        for (int k = 0; k < 4096; ++k)
            ids.push_back(ActiveId_Make(static_cast<int32_t>(rng() % 64), rng() % 262144, rng() % 0x2000000, rng() % 1024));
    }
    ~Table()
    {
        for (Constraint* con : constraints)
            Constraint_Delete(con, 0);
    }
    std::vector<Constraint*> constraints;
    std::vector<ActiveId> ids;
};

void BM_TransitionScore(benchmark::State& state)
{
    SystemEngineContext context;
    ScriptedKinds kinds;
    Table table;
    scriptedCalls().scoreAnswer = 0x18000;
    size_t k = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Constraint_GetTransitionScore(table.constraints.data(), table.ids[k]));
        k = (k + 1) & 4095;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TransitionScore);

// One walk: init plus nine nexts (eight successors, then none).
void BM_IteratorWalk(benchmark::State& state)
{
    SystemEngineContext context;
    ScriptedKinds kinds;
    Table table;
    scriptedCalls().logging = false;
    size_t k = 0;
    int64_t successors = 0;
    for (auto _ : state) {
        Constraint* con = table.constraints[k & 63];
        ConstraintIterator it;
        ConstraintSuccessor next;
        Constraint_IteratorInitFromActiveId(con, &it, 65534, 0, Constraint_MakeStartActiveId(static_cast<int32_t>(k & 63)), 65535);
        while (Constraint_IteratorNext(con, &it, &next) != 0)
            ++successors;
        ++k;
    }
    benchmark::DoNotOptimize(successors);
    state.SetItemsProcessed(successors);
}
BENCHMARK(BM_IteratorWalk);

} // namespace
