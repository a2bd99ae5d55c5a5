// Class networks: the "Opt" network of a 10,000-member class substituted
// into a constraint; a large class's start list rebuilt per frame (50,000
// members, 200 prons); the successor pool filled with a 1,000-member class;
// "bcm1" of 1,000 run-time classes written and read back into a fresh
// manager. The vocabulary is the tests' double (pron lookups by map).
#include "bench/support/bench_root.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_tar.h"
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/class_networks.h"
#include "core/brevit/search/class_pair_constraint.h"
#include "core/brevit/search/constraint_class.h"
#include "core/brevit/search/search_lexicon_calls.h"
#include "tests/brevit/search/fake_vocabulary.h"
#include "tests/support/param_block_builder.h"
#include "tests/support/system_engine_context.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr uint16_t kWords = 2000;

// Words 1..2000, word w with prons w and (every third word) w + 30000.
std::map<uint16_t, std::vector<uint16_t>> words()
{
    std::map<uint16_t, std::vector<uint16_t>> out;
    for (uint16_t w = 1; w <= kWords; ++w)
        out[w] = w % 3 == 0 ? std::vector<uint16_t>{w, static_cast<uint16_t>(w + 30000)} : std::vector<uint16_t>{w};
    return out;
}

FakeVocabulary& vocabulary()
{
    static FakeVocabulary v(words());
    return v;
}

// A class of n random members of 1 to 4 words.
void fill(ClassManager* m, const char* name, int32_t n, uint32_t seed, int32_t maxLength = 4)
{
    ClassManager_AddClass(m, name, n, n * 3, 0, 0, 0, 0);
    std::mt19937 rng(seed);
    uint16_t member[4];
    for (int32_t k = 0; k < n; ++k) {
        const int32_t length = 1 + static_cast<int32_t>(rng() % static_cast<uint32_t>(maxLength));
        for (int32_t i = 0; i < length; ++i)
            member[i] = static_cast<uint16_t>(1 + rng() % kWords);
        ClassManager_AddClassMember(m, name, member, length, 0, 0);
    }
    ClassManager_FinishEdit(m);
}

void BM_OptOf10000Members(benchmark::State& state)
{
    SystemEngineContext context;
    ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamPronRunMaxLevel, 8).word(kBrevitParamPronRunMaxWords, 8));
    ClassManager* m = ClassManager_Create(vocabulary().voc(), nullptr, nullptr, 16);
    fill(m, "C", 10000, 1);
    const uint16_t one[1] = {1};
    for (const char* name : {"P", "Q"}) {
        ClassManager_AddClass(m, name, 1, 1, 0, 0, 0, 0);
        ClassManager_AddClassMember(m, name, one, 1, 0, 0);
    }
    ClassManager_FinishEdit(m);
    const uint32_t p = static_cast<uint32_t>(ClassManager_FindClass(m, "P"));
    const uint32_t c = static_cast<uint32_t>(ClassManager_FindClass(m, "C"));
    const uint32_t q = static_cast<uint32_t>(ClassManager_FindClass(m, "Q"));
    Constraint* chain = ClassPairConstraint_Create("chain", m, 3, 3, 0);
    ClassPairConstraint_AddTransition(chain, 0, p, 0);
    ClassPairConstraint_AddTransition(chain, p, c, 0);
    ClassPairConstraint_AddTransition(chain, c, q, 0);
    ClassPairConstraint_AddTransition(chain, q, 0, 0);
    int64_t classes = 0;
    for (auto _ : state) {
        Constraint* result = nullptr;
        ClassManager_CreateOptimizedConstraint(m, "C", 1, &chain, &result);
        state.PauseTiming();
        if (result == chain)
            std::abort();
        classes = ClassPairConstraint_GetNumClasses(result);
        ClassPairConstraint_Delete(result, 0);
        state.ResumeTiming();
    }
    state.counters["classes"] = static_cast<double>(classes);
    ClassPairConstraint_Delete(chain, 0);
    ClassManager_Delete(m);
}
BENCHMARK(BM_OptOf10000Members)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

void BM_StartListPerFrame(benchmark::State& state)
{
    SystemEngineContext context;
    ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamCandidateScanMinMembers, 1));
    ClassManager* m = ClassManager_Create(vocabulary().voc(), nullptr, nullptr, 16);
    fill(m, "big", 50000, 2);
    ClassManager_RequestStartList(m, static_cast<uint32_t>(ClassManager_FindClass(m, "big")));
    ConstraintClass* c = ClassManager_GetClass(m, static_cast<uint32_t>(ClassManager_FindClass(m, "big")));
    std::vector<uint16_t> prons;
    std::mt19937 rng(3);
    for (int k = 0; k < 200; ++k)
        prons.push_back(static_cast<uint16_t>(1 + rng() % kWords));
    int32_t key = 0;
    int64_t entries = 0;
    for (auto _ : state) {
        ConstraintClass_BuildStartList(c, 200, prons.data(), ++key, vocabulary().voc());
        entries = c->startListCount;
    }
    state.counters["entries"] = static_cast<double>(entries);
    ClassManager_Delete(m);
}
BENCHMARK(BM_StartListPerFrame)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();

void BM_PoolFill(benchmark::State& state)
{
    SystemEngineContext context;
    ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamSuccessorPronPool, 65535));
    ClassManager* m = ClassManager_Create(vocabulary().voc(), nullptr, nullptr, 16);
    fill(m, "c", 1000, 4);
    ClassManager_CreateSuccPronIds(m);
    const uint32_t id = static_cast<uint32_t>(ClassManager_FindClass(m, "c"));
    const AWL* list = Voc_GetActiveWordList(vocabulary().voc());
    for (auto _ : state) {
        ClassManager_ResetSuccPronIds(m);
        if (ClassManager_SuccPronIdsFit(m, id) == 0 || ClassManager_FillSuccPronIds(m, list, id) == 0)
            std::abort();
    }
    state.counters["prons"] = ClassManager_GetNumSuccPronIdsUsed(m) - 1;
    ClassManager_Delete(m);
}
BENCHMARK(BM_PoolFill)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();

// 1,000 run-time classes of 10 members.
ClassManager* thousandClasses()
{
    ClassManager* m = ClassManager_Create(vocabulary().voc(), nullptr, nullptr, 1000);
    for (int k = 0; k < 1000; ++k)
        fill(m, ("class" + std::to_string(k)).c_str(), 10, static_cast<uint32_t>(k), 3);
    return m;
}

void BM_Bcm1Write1000Classes(benchmark::State& state)
{
    SystemEngineContext context;
    ScopedParamBlock params{ParamBlockBuilder()};
    ClassManager* m = thousandClasses();
    const std::string path = benchRoot() + "/bcm1.dvk";
    for (auto _ : state) {
        DVKTar* tar = DVKTar_OpenForWrite(path.c_str());
        if (tar == nullptr || ClassManager_WritePSAFile(m, tar, nullptr) != 1 || DVKTar_Close(tar) != 0)
            std::abort();
    }
    ClassManager_Delete(m);
}
BENCHMARK(BM_Bcm1Write1000Classes)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

void BM_Bcm1Read1000Classes(benchmark::State& state)
{
    SystemEngineContext context;
    ScopedParamBlock params{ParamBlockBuilder()};
    ClassManager* m = thousandClasses();
    const std::string path = benchRoot() + "/bcm1-read.dvk";
    DVKTar* out = DVKTar_OpenForWrite(path.c_str());
    if (out == nullptr || ClassManager_WritePSAFile(m, out, nullptr) != 1 || DVKTar_Close(out) != 0)
        std::abort();
    const uint32_t crc = ClassManager_ComputeCRC(m, 0);
    ClassManager_Delete(m);
    DVKTar* tar = DVKTar_OpenForRead(path.c_str());
    for (auto _ : state) {
        ClassManager* fresh = ClassManager_Create(vocabulary().voc(), nullptr, nullptr, 0);
        if (ClassManager_ReadPSAFile(fresh, tar, nullptr, nullptr, 1) != 1)
            std::abort();
        state.PauseTiming();
        if (ClassManager_ComputeCRC(fresh, 0) != crc)
            std::abort();
        ClassManager_Delete(fresh);
        state.ResumeTiming();
    }
    DVKTar_Close(tar);
}
BENCHMARK(BM_Bcm1Read1000Classes)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

} // namespace
