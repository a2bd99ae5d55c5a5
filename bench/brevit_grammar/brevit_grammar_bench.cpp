// The run-time grammar: compiling a names x commands grammar of 100 terminals
// (50 one-word commands, 50 one-word names, the rule commands then a name)
// into a class-pair constraint; the parse check on it, on the nested-optional
// grammar X = D{?} D{?}, Y = X{*} E over n D-words and a word that is not E,
// and on Y = X{*}, X = D{*} over n D-words.
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/constraint.h"
#include "core/brevit/search/grammar.h"
#include "tests/brevit/search/fake_vocabulary.h"
#include "tests/support/system_engine_context.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kHalf = 50;

std::map<uint16_t, std::vector<uint16_t>> manyWords()
{
    std::map<uint16_t, std::vector<uint16_t>> words;
    for (uint16_t w = 1; w <= 2 * kHalf + 2; ++w)
        words[w] = {w};
    return words;
}

uint32_t word(uint16_t a) { return kFakeVocActiveKind | a; }

Grammar* namesTimesCommands(Voc* voc)
{
    Grammar* g = Grammar_Create(voc, 128, 256);
    for (int i = 0; i < 2 * kHalf; ++i) {
        const std::string name = (i < kHalf ? "C" : "N") + std::to_string(i % kHalf);
        const uint32_t id = word(static_cast<uint16_t>(i + 1));
        Grammar_AddTerminal(g, name.c_str(), 1, &id, 1);
        Grammar_AddNonTerminal(g, i < kHalf ? "Commands" : "Names", name.c_str());
    }
    Grammar_AddNonTerminal(g, "Top", "Commands Names");
    return g;
}

void BM_CompileNamesTimesCommands(benchmark::State& state)
{
    SystemEngineContext context;
    FakeVocabulary vocabulary(manyWords());
    Grammar* g = namesTimesCommands(vocabulary.voc());
    ClassManager* cm = ClassManager_Create(vocabulary.voc(), nullptr, nullptr, 256);
    for (auto _ : state) {
        Constraint* con = Grammar_CompileRule(g, "Top", "top", cm, vocabulary.voc());
        benchmark::DoNotOptimize(con);
        state.PauseTiming();
        Constraint_Delete(con, 0);
        ClassManager_RemoveUnreferencedClasses(cm);
        state.ResumeTiming();
    }
    ClassManager_Delete(cm);
    Grammar_Delete(g);
}
BENCHMARK(BM_CompileNamesTimesCommands)->Unit(benchmark::kMillisecond);

void BM_ParseNamesTimesCommands(benchmark::State& state)
{
    SystemEngineContext context;
    FakeVocabulary vocabulary(manyWords());
    Grammar* g = namesTimesCommands(vocabulary.voc());
    const uint32_t words[2] = {word(kHalf), word(2 * kHalf)};
    for (auto _ : state)
        benchmark::DoNotOptimize(Grammar_ParseExists(g, "Top", 2, words));
    Grammar_Delete(g);
}
BENCHMARK(BM_ParseNamesTimesCommands)->Unit(benchmark::kMicrosecond);

void BM_ParseNestedOptional(benchmark::State& state)
{
    SystemEngineContext context;
    FakeVocabulary vocabulary(manyWords());
    Grammar* g = Grammar_Create(vocabulary.voc(), 8, 8);
    const uint32_t d = word(1);
    const uint32_t e = word(2);
    Grammar_AddTerminal(g, "D", 1, &d, 1);
    Grammar_AddTerminal(g, "E", 1, &e, 1);
    Grammar_AddNonTerminal(g, "X", "D{?} D{?}");
    Grammar_AddNonTerminal(g, "Y", "X{*} E");
    std::vector<uint32_t> words(static_cast<size_t>(state.range(0)), d);
    words.push_back(word(3));
    for (auto _ : state)
        benchmark::DoNotOptimize(Grammar_ParseExists(g, "Y", static_cast<int32_t>(words.size()), words.data()));
    Grammar_Delete(g);
}
BENCHMARK(BM_ParseNestedOptional)->Arg(16)->Arg(40)->Arg(200)->Unit(benchmark::kMicrosecond);

void BM_ParseNestedRepetitions(benchmark::State& state)
{
    SystemEngineContext context;
    FakeVocabulary vocabulary(manyWords());
    Grammar* g = Grammar_Create(vocabulary.voc(), 8, 8);
    const uint32_t d = word(1);
    Grammar_AddTerminal(g, "D", 1, &d, 1);
    Grammar_AddNonTerminal(g, "X", "D{*}");
    Grammar_AddNonTerminal(g, "Y", "X{*}");
    const std::vector<uint32_t> words(static_cast<size_t>(state.range(0)), d);
    for (auto _ : state)
        benchmark::DoNotOptimize(Grammar_ParseExists(g, "Y", static_cast<int32_t>(words.size()), words.data()));
    Grammar_Delete(g);
}
BENCHMARK(BM_ParseNestedRepetitions)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace
