// Lexicon spelling and pronunciation speed: the spelling code and internal
// key of a word, master to recognition conversion through rules and through
// expansions, and a segmentation whose plain search would be exponential.
#include "core/brevit/lexicon/mwl_code.h"
#include "core/brevit/lexicon/mwl_util.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "tests/support/search_table_writers.h"
#include "tests/support/system_engine_context.h"
#include "tests/support/temporary_archive.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace search_tables;

PhoneRewrite* loadRules(const PhoneRewriteFields& fields)
{
    return loadFromTemporaryArchive([&](BinFileWriter* w) { return write(w, fields); },
                                    PhoneRewrite_Read);
}

void BM_SpellingCodeAndKey(benchmark::State& state)
{
    const std::u16string words[] = {u"Hello World", u"McDonald", u"Zoë", u"HELLO", u"new york city"};
    DVKSCSU coder{};
    std::memcpy(coder.windowOffsets, kSCSUDefaultOffsets, sizeof(coder.windowOffsets));
    uint8_t key[64];
    size_t i = 0;
    for (auto _ : state) {
        const auto* text = reinterpret_cast<const uint16_t*>(words[i].c_str());
        benchmark::DoNotOptimize(MWLCode_GetCode(text));
        benchmark::DoNotOptimize(MWLCode_ConvertFromUnicode(key, text, 1, 3, &coder, nullptr));
        i = (i + 1) % 5;
    }
}
BENCHMARK(BM_SpellingCodeAndKey);

void BM_MasterToRecogByRules(benchmark::State& state)
{
    SystemEngineContext context;
    std::vector<PhoneRule> rules;
    for (uint16_t s = 1; s < 60; ++s) {
        rules.push_back({{s}, {static_cast<uint16_t>(s + 100)}});
        rules.push_back({{s, static_cast<uint16_t>(s % 59 + 1)}, {static_cast<uint16_t>(s + 200), 7}});
    }
    PhoneRewrite* phoneRules = loadRules(phoneRewrite(rules, 60, 0, 2));
    std::vector<uint16_t> master = {3, 4, 9, 12, 13, 40, 41, 2, kMWLPronEnd};
    std::vector<uint16_t> out(64);
    for (auto _ : state)
        benchmark::DoNotOptimize(MWLUtil_ConvertMasterToRecogPron(phoneRules, 100, nullptr, nullptr, 0,
                                                                  master.data(), out.data()));
    PhoneRewrite_Delete(phoneRules);
    DVKTempMem_DeleteMemStack();
}
BENCHMARK(BM_MasterToRecogByRules);

void BM_MasterToRecogByExpansions(benchmark::State& state)
{
    std::vector<uint16_t> pool;
    std::vector<uint32_t> offsets = {0};
    for (uint16_t slot = 1; slot <= 40; ++slot) {
        offsets.push_back(static_cast<uint32_t>(pool.size()));
        for (uint16_t k = 0; k < 1 + slot % 4; ++k)
            pool.push_back(static_cast<uint16_t>(slot + k));
        pool.push_back(kMWLPronEnd);
    }
    offsets.push_back(static_cast<uint32_t>(pool.size()));
    std::vector<uint16_t> master = {101, 105, 117, 133, 140, 102, kMWLPronEnd};
    std::vector<uint16_t> out(64);
    for (auto _ : state)
        benchmark::DoNotOptimize(MWLUtil_ConvertMasterToRecogPron(nullptr, 100, pool.data(), offsets.data(),
                                                                  40, master.data(), out.data()));
}
BENCHMARK(BM_MasterToRecogByExpansions);

// Slots 1-20 are runs of 1-20 fives; 200 fives and a 6 cannot be segmented.
void BM_SegmentPathological(benchmark::State& state)
{
    SystemEngineContext context;
    std::vector<uint16_t> pool;
    std::vector<uint32_t> offsets = {0};
    for (int n = 1; n <= 20; ++n) {
        offsets.push_back(static_cast<uint32_t>(pool.size()));
        pool.insert(pool.end(), static_cast<size_t>(n), 5);
        pool.push_back(kMWLPronEnd);
    }
    offsets.push_back(static_cast<uint32_t>(pool.size()));
    std::vector<uint16_t> recog(200, 5);
    recog.push_back(6);
    recog.push_back(kMWLPronEnd);
    std::vector<uint16_t> out(recog.size());
    for (auto _ : state)
        benchmark::DoNotOptimize(MWLUtil_SegmentPronunciation(100, 0, pool.data(), offsets.data(), 20,
                                                              recog.data(), out.data()));
    DVKTempMem_DeleteMemStack();
}
BENCHMARK(BM_SegmentPathological);

} // namespace
