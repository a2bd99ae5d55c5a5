// Class-pair building: 10,000 random transitions over 1,000 classes into a
// constraint created small (so it grows), ten such merged into one, and a
// class index found by id; a class found (or entered) by scan and through the
// class manager's id-to-index table. Walking: successors per second from a
// class end over ten classes of 100 one-word members each (one pron a word),
// every class followed by every class, plain and through the successor pool.
// Batches: the successors of a class end into one class of 10, 1,000 or
// 50,000 one-word members per frame of 200 candidate prons, from the
// frame's start lists (built per frame) or from the candidates.
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/class_networks.h"
#include "core/brevit/search/class_pair_constraint.h"
#include "core/brevit/search/class_pair_search.h"
#include "core/brevit/search/constraint_manager.h"
#include "tests/brevit/search/fake_vocabulary.h"
#include "tests/support/class_pair_network.h"
#include "tests/support/param_block_builder.h"
#include "tests/support/system_engine_context.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>
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

// A class manager with classes 1..1000 and a constraint holding them in a
// shuffled order, so the index of a class is not its id.
struct ShuffledClasses {
    ClassManager* manager = ClassManager_Create(nullptr, nullptr, nullptr, static_cast<int32_t>(kClasses));
    Constraint* con = nullptr;
    std::vector<uint32_t> ids;

    ShuffledClasses()
    {
        for (uint32_t i = 1; i <= kClasses; ++i) {
            const std::string name = "c" + std::to_string(i);
            ClassManager_AddClass(manager, name.c_str(), 1, 1, 0, 0, 0, 0);
            ids.push_back(static_cast<uint32_t>(ClassManager_FindClass(manager, name.c_str())));
        }
        std::shuffle(ids.begin(), ids.end(), std::mt19937(3));
        con = ClassPairConstraint_Create("l", manager, static_cast<int32_t>(kClasses), 1, 0);
        ClassPairConstraint_ClearLookup(manager);
        int32_t index = 0;
        for (uint32_t id : ids)
            ClassPairConstraint_FindOrAddClassByLookup(con, id, &index);
    }
    ~ShuffledClasses()
    {
        ClassPairConstraint_Delete(con, 0);
        ClassManager_Delete(manager);
    }
};

void BM_FindOrAddClassByScan(benchmark::State& state)
{
    SystemEngineContext context;
    ShuffledClasses classes;
    std::mt19937 rng(7);
    int32_t index = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(ClassPairConstraint_FindOrAddClass(classes.con, classes.ids[rng() % kClasses], &index));
}
BENCHMARK(BM_FindOrAddClassByScan);

void BM_FindOrAddClassByLookupTable(benchmark::State& state)
{
    SystemEngineContext context;
    ShuffledClasses classes;
    std::mt19937 rng(7);
    int32_t index = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            ClassPairConstraint_FindOrAddClassByLookup(classes.con, classes.ids[rng() % kClasses], &index));
}
BENCHMARK(BM_FindOrAddClassByLookupTable);

} // namespace

namespace {

// Successors offered from the end of member 0 of class c0.
void walkSuccessors(benchmark::State& state, bool cached)
{
    SystemEngineContext context;
    ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamSuccessorPronPool, 65535));
    ClassPairNetwork net;
    for (uint16_t w = 0; w < 1000; ++w)
        net.words[static_cast<uint16_t>(10 + w)] = {static_cast<uint16_t>(1 + w)};
    for (int k = 0; k < 10; ++k) {
        NetworkClass c;
        c.name = "c" + std::to_string(k);
        for (int m = 0; m < 100; ++m)
            c.members.push_back({{static_cast<uint16_t>(10 + k * 100 + m)}, 0});
        net.classes.push_back(c);
    }
    for (int from = 0; from <= 10; ++from)
        for (int to = 0; to <= 10; ++to)
            if (from != 0 || to != 0)
                net.transitions.push_back({from, to, 1});
    FakeVocabulary vocabulary(net.words);
    ConstraintManager* constraints = ConstraintManager_Create(4);
    ClassManager* classes = ClassManager_Create(vocabulary.voc(), nullptr, constraints, 16);
    Constraint* con = ClassPairNetwork_Build(net, classes, "bench");
    ClassManager_CreateSuccPronIds(classes);
    const ActiveId from = ActiveId_Make(0, static_cast<uint32_t>(ClassManager_FindClass(classes, "c0")), 0, 0);
    ConstraintIterator it;
    ClassPairConstraint_PrepareIterator(con, &it);
    ConstraintSuccessor s{};
    int64_t offered = 0;
    for (auto _ : state) {
        if (cached) {
            CCCache_IteratorInit(con, &it, 10, 0, from, kConstraintNoPron);
            while (CCCache_IteratorNext(&it, con, &s) != 0)
                ++offered;
        } else {
            ClassPairConstraint_IteratorInit(con, &it, 10, 0, from, kConstraintNoPron);
            while (ClassPairConstraint_IteratorNext(&it, con, &s) != 0)
                ++offered;
        }
        benchmark::DoNotOptimize(s);
    }
    state.SetItemsProcessed(offered);
    ClassPairConstraint_Delete(con, 0);
    ClassManager_RemoveUnreferencedClasses(classes);
    ConstraintManager_Delete(constraints);
    ClassManager_Delete(classes);
}

void BM_SuccessorsPlain(benchmark::State& state) { walkSuccessors(state, false); }
BENCHMARK(BM_SuccessorsPlain);

void BM_SuccessorsCached(benchmark::State& state) { walkSuccessors(state, true); }
BENCHMARK(BM_SuccessorsCached);

// Per frame: (start lists) the frame's preparation, then the batch of
// successors of a class end into a class of state.range(0) members.
void expandPerFrame(benchmark::State& state, bool startLists)
{
    SystemEngineContext context;
    const int members = static_cast<int>(state.range(0));
    ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamStartLists, startLists ? 1 : 0));
    ClassPairNetwork net;
    for (int w = 0; w < members; ++w)
        net.words[static_cast<uint16_t>(10 + w)] = {static_cast<uint16_t>(1 + w)};
    NetworkClass c{"c", {}, false};
    for (int m = 0; m < members; ++m)
        c.members.push_back({{static_cast<uint16_t>(10 + m)}, 0});
    net.classes.push_back(c);
    net.transitions = {{0, 1, 1}, {1, 1, 2}, {1, 0, 0}};
    FakeVocabulary vocabulary(net.words);
    ConstraintManager* constraints = ConstraintManager_Create(4);
    ClassManager* classes = ClassManager_Create(vocabulary.voc(), nullptr, constraints, 16);
    Constraint* con = ClassPairNetwork_Build(net, classes, "frames");
    int32_t list[4] = {-1, -1, -1, -1};
    ClassPairConstraint_UttInit(con, list, 0, 0);
    const ActiveId from = ActiveId_Make(0, static_cast<uint32_t>(ClassManager_FindClass(classes, "c")), 0, 0);
    std::mt19937 rng(11);
    std::vector<std::vector<uint16_t>> frames(64, std::vector<uint16_t>(200));
    for (auto& frame : frames)
        for (uint16_t& p : frame)
            p = static_cast<uint16_t>(1 + rng() % static_cast<uint32_t>(members));
    std::vector<ConstraintSuccessor> out(512);
    int32_t key = 0;
    int64_t records = 0;
    for (auto _ : state) {
        const std::vector<uint16_t>& frame = frames[static_cast<size_t>(key) % frames.size()];
        if (startLists)
            ClassPairConstraint_PrepareFrame(con, reinterpret_cast<const uint8_t*>(frame.data()), 200, key);
        ++key;
        ClassPairSuccessorRequest request{200, frame.data(), 512, out.data()};
        records += ClassPairConstraint_ExpandSuccessors(con, 11, 0, from, &request);
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["records/frame"] = static_cast<double>(records) / static_cast<double>(std::max<int64_t>(state.iterations(), 1));
    ClassPairConstraint_Delete(con, 0);
    ClassManager_RemoveUnreferencedClasses(classes);
    ConstraintManager_Delete(constraints);
    ClassManager_Delete(classes);
}

void BM_ExpandSuccessorsStartLists(benchmark::State& state) { expandPerFrame(state, true); }
BENCHMARK(BM_ExpandSuccessorsStartLists)->Arg(10)->Arg(1000)->Arg(50000)->Unit(benchmark::kMicrosecond);

void BM_ExpandSuccessorsCandidates(benchmark::State& state) { expandPerFrame(state, false); }
BENCHMARK(BM_ExpandSuccessorsCandidates)->Arg(10)->Arg(1000)->Arg(50000)->Unit(benchmark::kMicrosecond);

} // namespace
