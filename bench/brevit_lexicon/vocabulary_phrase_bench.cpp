// Tokenizing and phrase speed on the tokenizer's word list (list type 2,
// the toy letter-to-sound model): the pron combination at 20 tokens of 3
// alternatives each with room for 255 combinations, 500 names made active
// as phrases, and 50,000-character texts of five kinds through the
// tokenizer types 2, 3, 8 and 9, phrase activation and alignment against
// themselves; and alignment of a long written and spoken phrase.
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/lexicon/vocabulary_parts.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/search/search_lexicon_calls.h"
#include "tests/support/fuzz_sub_file_archive.h"
#include "tests/support/system_engine_context.h"
#include "tests/support/vocabulary_writer.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kTextLength = 50000;


vocabulary_fixture::Options phraseOptions()
{
    vocabulary_fixture::Options o;
    o.generator = true;
    o.tokenizeType = 2;
    o.params = {{kBrevitParamGeneratedPronunciations, 1},
                {kBrevitParamAlternativesLimit1, 3},
                {kBrevitParamRunTimeWordPages, 600}};
    return o;
}

// The tokenizer's words spoken as written ("." once), so that a text
// aligns against itself word by word.
std::vector<vocabulary_fixture::WordSpec> spokenAsWritten()
{
    std::vector<vocabulary_fixture::WordSpec> out;
    for (vocabulary_fixture::WordSpec w : vocabulary_fixture::tokenizerWords())
        if (w.surface != u"." || out.empty() || out.back().surface != u".") {
            w.spoken = w.surface;
            out.push_back(w);
        }
    return out;
}

// The vocabulary image written once; each vocabulary is loaded from it.
class PhraseBench {
public:
    explicit PhraseBench(const std::vector<vocabulary_fixture::WordSpec>& words = vocabulary_fixture::tokenizerWords())
    {
        DVKTempMem_CreateMemStack(1 << 22, 1 << 22);
        m_image = writtenArchiveImage([&](DVKTar* t) { return vocabulary_fixture::write(t, words, phraseOptions()); });
        m_tar = DVKTar_OpenForMemoryMappedRead(static_cast<uint32_t>(m_image.size()), m_image.data());
        if (m_tar == nullptr)
            std::abort();
    }

    ~PhraseBench()
    {
        for (Voc* v : m_loaded)
            Voc_Delete(v);
        DVKTar_Close(m_tar);
        DVKTempMem_DeleteMemStack();
    }

    PhraseBench(const PhraseBench&) = delete;
    PhraseBench& operator=(const PhraseBench&) = delete;

    Voc* load()
    {
        Voc* v = Voc_LoadFromBinFile(m_tar, nullptr);
        if (v == nullptr)
            std::abort();
        m_loaded.push_back(v);
        return v;
    }

    // A fresh vocabulary in place of v (the last one loaded).
    Voc* reload()
    {
        Voc_Delete(m_loaded.back());
        m_loaded.pop_back();
        return load();
    }

private:
    SystemEngineContext m_context;
    ScopedParamBlock m_params{vocabulary_fixture::params(phraseOptions())};
    std::string m_image;
    DVKTar* m_tar = nullptr;
    std::vector<Voc*> m_loaded;
};

void BM_CombinePronunciations20x3(benchmark::State& state)
{
    constexpr int32_t kTokens = 20;
    std::mt19937 random(7);
    std::vector<int32_t> counts(kTokens, 3);
    std::vector<std::vector<int32_t>> costs(kTokens, std::vector<int32_t>(3));
    std::vector<std::vector<uint8_t>> categories(kTokens, std::vector<uint8_t>(3));
    std::vector<const int32_t*> costOf;
    std::vector<const uint8_t*> categoryOf;
    for (int32_t t = 0; t < kTokens; ++t) {
        for (int32_t k = 0; k < 3; ++k) {
            costs[t][k] = static_cast<int32_t>(random() % 100);
            categories[t][k] = static_cast<uint8_t>(random() % 4 == 0 ? random() % 2 : 2);
        }
        costOf.push_back(costs[t].data());
        categoryOf.push_back(categories[t].data());
    }
    std::vector<uint8_t> choices(static_cast<size_t>(kTokens) * 255);
    std::vector<int64_t> total(255);
    SystemEngineContext context;
    DVKTempMem_CreateMemStack(1 << 22, 1 << 22);
    for (auto _ : state)
        benchmark::DoNotOptimize(VocPart_CombinePronunciations(kTokens, counts.data(), costOf.data(),
                                                               categoryOf.data(), 255, 255, choices.data(),
                                                               total.data()));
    DVKTempMem_DeleteMemStack();
}
BENCHMARK(BM_CombinePronunciations20x3)->Unit(benchmark::kMicrosecond);

// 500 two-word names, "John" and a new word with a generated pron, into a
// fresh vocabulary each iteration.
void BM_MakePhraseActive500Names(benchmark::State& state)
{
    PhraseBench bench;
    Voc* voc = bench.load();
    std::vector<std::u16string> names;
    for (int i = 0; i < 500; ++i) {
        // Letters the toy model gives a storable pron: "a" and "b".
        std::u16string name = u"John n";
        for (int v = i + 512; v > 1; v /= 2)
            name += static_cast<char16_t>(u'a' + v % 2);
        names.push_back(name);
    }
    VocId ids[8];
    int32_t flags[8];
    for (auto _ : state) {
        for (const std::u16string& name : names) {
            int32_t count = 0;
            const int32_t r = Voc_MakePhraseActive(voc, reinterpret_cast<const uint16_t*>(name.c_str()), 0, 8, ids,
                                                   &count, flags);
            if (r != 0) {
                std::fprintf(stderr, "phrase %d refused: %d\n", static_cast<int>(&name - names.data()), r);
                std::abort();
            }
        }
        state.PauseTiming();
        voc = bench.reload();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * 500);
}
BENCHMARK(BM_MakePhraseActive500Names)->Unit(benchmark::kMillisecond);

// The five 50,000-character texts.
std::u16string longText(int kind)
{
    static const std::u16string pieces[] = {u"New York John a b ", u"a", u"35", u".", u"John \u6771 3.5 a. "};
    std::u16string text;
    while (static_cast<int>(text.size()) < kTextLength)
        text += pieces[kind];
    text.resize(kTextLength);
    return text;
}

const char* const kKinds[] = {"words", "letters", "digits", "dots", "mixed"};

void BM_TokenizeLongText(benchmark::State& state)
{
    PhraseBench bench;
    Voc* voc = bench.load();
    const int32_t type = static_cast<int32_t>(state.range(0));
    const std::u16string text = longText(static_cast<int>(state.range(1)));
    std::vector<uint32_t> ids(kTextLength + 1);
    std::vector<int32_t> starts(ids.size()), lengths(ids.size());
    std::vector<uint8_t> flags(ids.size()), matches(ids.size());
    int32_t n = 0;
    for (auto _ : state)
        n = Voc_Tokenize(voc, type, reinterpret_cast<const uint16_t*>(text.c_str()), 0, 0,
                         static_cast<int32_t>(ids.size()), ids.data(), starts.data(), lengths.data(), flags.data(),
                         matches.data());
    state.SetLabel(std::string(kKinds[state.range(1)]) + ", " + std::to_string(n) + " tokens");
}
BENCHMARK(BM_TokenizeLongText)
    ->ArgsProduct({{2, 3, 8, 9}, {0, 1, 2, 3, 4}})
    ->Unit(benchmark::kMillisecond);

void BM_MakePhraseActiveLongText(benchmark::State& state)
{
    PhraseBench bench;
    Voc* voc = bench.load();
    const std::u16string text = longText(static_cast<int>(state.range(0)));
    std::vector<VocId> ids(kTextLength + 1);
    std::vector<int32_t> flags(ids.size());
    int32_t count = 0, result = 0;
    for (auto _ : state) {
        result = Voc_MakePhraseActive(voc, reinterpret_cast<const uint16_t*>(text.c_str()), 0,
                                      static_cast<int32_t>(ids.size()), ids.data(), &count, flags.data());
        state.PauseTiming();
        voc = bench.reload();
        state.ResumeTiming();
    }
    state.SetLabel(std::string(kKinds[state.range(0)]) + ", result " + std::to_string(result) + ", " +
                   std::to_string(count) + " ids");
}
BENCHMARK(BM_MakePhraseActiveLongText)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

// On the tokenizer's own words nothing aligns (their spoken forms differ
// from their spelling); the figure with words spoken as written follows.
void BM_AlignLongText(benchmark::State& state)
{
    PhraseBench bench(state.range(1) != 0 ? spokenAsWritten() : vocabulary_fixture::tokenizerWords());
    Voc* voc = bench.load();
    const std::u16string text = longText(static_cast<int>(state.range(0)));
    const auto* units = reinterpret_cast<const uint16_t*>(text.c_str());
    std::vector<VocId> ids(kTextLength + 1);
    std::vector<int32_t> a(ids.size()), b(ids.size()), c(ids.size()), d(ids.size());
    int32_t n = 0;
    for (auto _ : state)
        n = Voc_AlignSpokenPhrase(voc, units, units, 1, 0, static_cast<int32_t>(ids.size()), ids.data(), a.data(),
                                  b.data(), c.data(), d.data());
    state.SetLabel(std::string(kKinds[state.range(0)]) + (state.range(1) != 0 ? ", spoken as written, " : ", ") +
                   std::to_string(n) + " entries");
}
BENCHMARK(BM_AlignLongText)->ArgsProduct({{0, 1, 2, 3, 4}, {0, 1}})->Unit(benchmark::kMillisecond);

// Words that align both ways: "New York" (spoken "new york") repeated to
// 50,000 characters, both texts; then with an unknown first word, so the
// left pass stops at once and the right-to-left table covers the rest.
void BM_AlignLongSpokenPhrase(benchmark::State& state)
{
    PhraseBench bench;
    Voc* voc = bench.load();
    const bool fromRight = state.range(0) != 0;
    std::u16string surface = fromRight ? u"Ipswich" : u"New York", spoken = fromRight ? u"ipswich" : u"new york";
    while (surface.size() < kTextLength) {
        surface += u" New York";
        spoken += u" new york";
    }
    std::vector<VocId> ids(kTextLength + 1);
    std::vector<int32_t> a(ids.size()), b(ids.size()), c(ids.size()), d(ids.size());
    int32_t n = 0;
    for (auto _ : state)
        n = Voc_AlignSpokenPhrase(voc, reinterpret_cast<const uint16_t*>(surface.c_str()),
                                  reinterpret_cast<const uint16_t*>(spoken.c_str()), 1, 0,
                                  static_cast<int32_t>(ids.size()), ids.data(), a.data(), b.data(), c.data(),
                                  d.data());
    state.SetLabel(std::string(fromRight ? "from the right" : "from the left") + ", " + std::to_string(n) +
                   " entries");
}
BENCHMARK(BM_AlignLongSpokenPhrase)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
