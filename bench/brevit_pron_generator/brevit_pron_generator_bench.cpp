// Letter-to-sound speed, one word an iteration: 10 prons of an 8-letter word
// from a generated 2,000-node tree over the toy alphabet; a Korean name of
// three syllables; a Chinese word of two to four characters over a keyed
// table of every unified ideograph; a Japanese word of two to four
// characters over tables of 6,000 and 2,000 keys; and mixed Latin and Hangul
// text through the script-split generator.
#include "core/brevit/lexicon/pron_generator.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "tests/support/pron_generator_writer.h"
#include "tests/support/system_engine_context.h"
#include "tests/support/temporary_archive.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace pron_generator;

// A random tree of internal questions over the toy letters, leaves of up to
// four alternatives among the toy's leaf ids.
search_tables::TreeNode randomTree(std::mt19937& rng, int internal)
{
    if (internal == 0) {
        std::vector<std::pair<uint16_t, uint8_t>> pairs;
        uint8_t cost = 0;
        for (uint32_t k = 1 + rng() % 4; k > 0; --k) {
            pairs.emplace_back(static_cast<uint16_t>(1 + rng() % 8), cost);
            cost = static_cast<uint8_t>(cost + 1 + rng() % 40);
        }
        return search_tables::pairLeaf(pairs);
    }
    const int left = static_cast<int>(rng() % static_cast<uint32_t>(internal));
    auto yes = randomTree(rng, left);
    auto no = randomTree(rng, internal - 1 - left);
    return search_tables::ask(static_cast<int32_t>(1 + rng() % 4), static_cast<int32_t>(rng() % 3),
                              std::move(yes), std::move(no));
}

void BM_TextToMasterPron(benchmark::State& state)
{
    SystemEngineContext context;
    Fields f = toyModel();
    std::mt19937 rng(17);
    f.tree = search_tables::tree(randomTree(rng, 1000), search_tables::rewrites({{}, {{La}}, {{Le}}, {{Lb}}, {{Ls}}}),
                                 search_tables::kTreeStd, 4);
    PG* pg = loadFromTemporaryArchive([&](BinFileWriter* w) { return write(w, f); }, PG_Load);
    const std::u16string words[] = {u"basehase", u"abebasha", u"hababase", u"sabbeash"};
    std::vector<uint16_t> out(1024);
    int32_t scores[10];
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(PG_TextToMasterPron(pg, reinterpret_cast<const uint16_t*>(words[i].c_str()), 0,
                                                     out.data(), 1024, scores, 10, nullptr));
        i = (i + 1) % 4;
    }
    PG_Delete(pg);
    DVKTempMem_DeleteMemStack();
}
BENCHMARK(BM_TextToMasterPron);

// Loads f and generates each of words in turn, at most most prons.
template <typename AnyFields>
void runWords(benchmark::State& state, const AnyFields& f, const std::vector<std::u16string>& words,
              int32_t most)
{
    SystemEngineContext context;
    PG* pg = loadFromTemporaryArchive([&](BinFileWriter* w) { return write(w, f); }, PG_Load);
    if (pg == nullptr) {
        state.SkipWithError("the generator did not load");
        return;
    }
    std::vector<uint16_t> out(1024);
    int32_t scores[10];
    size_t i = 0;
    int64_t prons = 0;
    for (auto _ : state) {
        prons += PG_TextToMasterPron(pg, reinterpret_cast<const uint16_t*>(words[i].c_str()), 0, out.data(),
                                     1024, scores, most, nullptr);
        i = (i + 1) % words.size();
    }
    state.counters["prons/word"] = benchmark::Counter(static_cast<double>(prons) / static_cast<double>(state.iterations()));
    PG_Delete(pg);
    DVKTempMem_DeleteMemStack();
}

// 256 words of shortest to longest characters drawn from characters.
std::vector<std::u16string> randomWords(std::mt19937& rng, const std::vector<char16_t>& characters, int shortest,
                                        int longest)
{
    std::vector<std::u16string> words(256);
    for (std::u16string& word : words)
        for (int n = shortest + static_cast<int>(rng() % static_cast<uint32_t>(longest - shortest + 1)); n > 0; --n)
            word += characters[rng() % characters.size()];
    return words;
}

// Codes 1 to count - 1, each of width phonemes (a syllable's worth).
search_tables::RewriteFields syllableRewrite(size_t count, size_t width)
{
    std::vector<search_tables::Alternatives> ids(count);
    for (size_t r = 1; r < count; ++r) {
        ids[r].emplace_back();
        for (size_t k = 0; k < width; ++k)
            ids[r][0].push_back(static_cast<uint16_t>(10 + 40 * k + (r * (k + 1)) % 40));
    }
    return search_tables::rewrites(ids);
}

void BM_Korean(benchmark::State& state)
{
    std::mt19937 rng(5);
    std::vector<char16_t> syllables;
    for (char16_t c = 0xAC00; c <= 0xD7A3; ++c)
        syllables.push_back(c);
    runWords(state, koreanToy(), randomWords(rng, syllables, 3, 3), 1);
}
BENCHMARK(BM_Korean);

void BM_Chinese(benchmark::State& state)
{
    std::mt19937 rng(7);
    ChineseFields f;
    f.common.syllableId = 2;
    f.common.mainRewrite = syllableRewrite(1300, 3);
    f.first = 0x4E00;
    f.last = 0x9FA5;
    std::vector<char16_t> characters;
    std::vector<std::pair<char16_t, uint16_t>> keyed;
    std::vector<std::pair<char16_t, uint16_t>> special;
    for (char16_t c = 0x4E00; c <= 0x9FA5; ++c) {
        characters.push_back(c);
        keyed.emplace_back(c, static_cast<uint16_t>(1 + rng() % 1299));
        if (rng() % 40 == 0)
            special.emplace_back(c, static_cast<uint16_t>(1 + rng() % 1299));
    }
    sortedReadings(keyed, &f.keys, &f.readings);
    sortedReadings(special, &f.specialKeys, &f.specialReadings);
    f.keyCount = static_cast<int32_t>(f.keys.size());
    f.specialCount = static_cast<int32_t>(f.specialKeys.size());
    std::vector<std::pair<uint32_t, std::pair<uint16_t, uint16_t>>> pairs;
    for (int k = 0; k < 3000; ++k)
        pairs.push_back({(uint32_t{characters[rng() % characters.size()]} << 16) | characters[rng() % characters.size()],
                         {static_cast<uint16_t>(1 + rng() % 1299), static_cast<uint16_t>(1 + rng() % 1299)}});
    std::sort(pairs.begin(), pairs.end());
    pairs.erase(std::unique(pairs.begin(), pairs.end(), [](const auto& a, const auto& b) { return a.first == b.first; }),
                pairs.end());
    for (const auto& [key, readings] : pairs) {
        f.pairKeys.push_back(static_cast<uint16_t>(key >> 16));
        f.pairKeys.push_back(static_cast<uint16_t>(key & 0xFFFF));
        f.pairReadings.push_back(readings.first);
        f.pairReadings.push_back(readings.second);
    }
    f.pairCount = static_cast<int32_t>(pairs.size());
    // Every fifth reading a third tone changing to the next.
    f.toneChanges.assign(1300, 0);
    for (size_t r = 5; r + 1 < f.toneChanges.size(); r += 5)
        f.toneChanges[r] = static_cast<uint16_t>(r + 1);
    f.common.headerValue = 1300;
    runWords(state, f, randomWords(rng, characters, 2, 4), 2);
}
BENCHMARK(BM_Chinese);

void BM_Japanese(benchmark::State& state)
{
    std::mt19937 rng(11);
    JapaneseFields f;
    f.common.mainRewrite = syllableRewrite(2000, 2);
    std::vector<char16_t> characters;
    for (char16_t c = 0x4E00; characters.size() < 6000; c = static_cast<char16_t>(c + 1 + rng() % 3))
        characters.push_back(c);
    for (int t = 0; t < 6; ++t) {
        std::vector<std::pair<char16_t, uint16_t>> keyed;
        for (size_t k = 0; k < characters.size(); ++k)
            if (t == 0 || rng() % 3 == 0)
                keyed.emplace_back(characters[k], static_cast<uint16_t>(rng() % 2000));
        sortedReadings(keyed, &f.tables[t].keys, &f.tables[t].readings);
        f.tables[t].count = static_cast<int32_t>(f.tables[t].keys.size());
    }
    runWords(state, f, randomWords(rng, characters, 2, 4), 1);
}
BENCHMARK(BM_Japanese);

void BM_ScriptSplit(benchmark::State& state)
{
    runWords(state, scriptToy(), {u"base한국", u"한국base", u"abeba김민수", u"서울bsa"}, 1);
}
BENCHMARK(BM_ScriptSplit);

} // namespace
