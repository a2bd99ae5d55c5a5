// Engine text over 100 KB inputs, including the shapes that make naive
// searches and scans quadratic: every operation should cost a few passes.
#include "core/brevit/runtime/dvk_num_utf16.h"
#include "core/brevit/runtime/dvk_scsu.h"
#include "core/brevit/runtime/dvk_unicode_str.h"
#include "core/brevit/runtime/dvk_unicode_width.h"
#include "core/brevit/runtime/dvk_utf8.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr size_t kTextUnits = 100000;

std::vector<uint16_t> repeated(const std::u16string& piece, size_t units)
{
    std::vector<uint16_t> text;
    while (text.size() < units)
        text.insert(text.end(), piece.begin(), piece.end());
    text.resize(units);
    text.push_back(0);
    return text;
}

// A needle that matches almost everywhere but nowhere whole.
void BM_SearchNearMatches(benchmark::State& state)
{
    std::vector<uint16_t> hay = repeated(u"a", kTextUnits);
    std::vector<uint16_t> needle = repeated(u"a", kTextUnits / 2);
    needle[needle.size() - 2] = 'b';
    for (auto _ : state)
        benchmark::DoNotOptimize(DVKUnicode_Str(hay.data(), needle.data()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTextUnits * 2));
}
BENCHMARK(BM_SearchNearMatches);

// Words separated by wide spaces, against a long delimiter set.
void BM_CountTokensLongDelimiterSet(benchmark::State& state)
{
    std::vector<uint16_t> text = repeated(u"word\u3000", kTextUnits);
    std::u16string delimiters;
    for (char16_t c = 0x3000; c < 0x3100; ++c)
        delimiters.push_back(c);
    std::vector<uint16_t> set = repeated(delimiters, delimiters.size());
    for (auto _ : state)
        benchmark::DoNotOptimize(DVKUnicode_CountTokens(text.data(), set.data()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTextUnits * 2));
}
BENCHMARK(BM_CountTokensLongDelimiterSet);

void BM_Utf8RoundTrip(benchmark::State& state)
{
    std::vector<uint16_t> text = repeated(u"caf\u00E9 \u20AC \u3042\u30AB ", kTextUnits);
    std::string utf8(kTextUnits * 3 + 1, '\0');
    std::vector<uint16_t> back(kTextUnits + 1);
    for (auto _ : state) {
        DVKUTF8_FromUnicode(text.data(), static_cast<int32_t>(utf8.size()), utf8.data());
        benchmark::DoNotOptimize(
            DVKUTF8_ToUnicode(utf8.c_str(), static_cast<int32_t>(back.size()), back.data()));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTextUnits * 2));
}
BENCHMARK(BM_Utf8RoundTrip);

void BM_Utf8LowerInPlace(benchmark::State& state)
{
    std::vector<uint16_t> text = repeated(u"CAF\u00C9 \u0391\u0392\u0393 \uFF21", kTextUnits);
    std::string utf8(kTextUnits * 3 + 1, '\0');
    DVKUTF8_FromUnicode(text.data(), static_cast<int32_t>(utf8.size()), utf8.data());
    for (auto _ : state) {
        std::string copy = utf8;
        benchmark::DoNotOptimize(DVKUTF8_Lower(copy.data()));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * utf8.size()));
}
BENCHMARK(BM_Utf8LowerInPlace);

void BM_CompactFormRoundTrip(benchmark::State& state)
{
    std::vector<uint16_t> text = repeated(u"\u3042\u3044 ka \u4E00", kTextUnits);
    DVKSCSU coder{};
    coder.defaultWindow = 5;
    std::memcpy(coder.windowOffsets, kSCSUDefaultOffsets, sizeof coder.windowOffsets);
    DVKSCSU_SCSUReset(&coder);
    std::vector<uint8_t> bytes(kTextUnits * 4 + 1);
    for (auto _ : state) {
        DVKSCSU_UnicodeStringToSCSU(text.data(), static_cast<int32_t>(bytes.size()), bytes.data(),
                                    &coder);
        uint16_t u = 0;
        size_t units = 0;
        for (const uint8_t* p = bytes.data(); int32_t used = DVKSCSU_DecodeChar(p, &coder, &u);
             p += used)
            ++units;
        benchmark::DoNotOptimize(units);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTextUnits * 2));
}
BENCHMARK(BM_CompactFormRoundTrip);

void BM_NormalizeKana(benchmark::State& state)
{
    std::vector<uint16_t> text = repeated(u"\u304B\u3099\uFF8A\uFF9F\u3042", kTextUnits);
    std::vector<uint16_t> out(text.size());
    for (auto _ : state)
        benchmark::DoNotOptimize(
            DVKUnicode_NormalizeKana(text.data(), static_cast<int32_t>(out.size()), out.data()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTextUnits * 2));
}
BENCHMARK(BM_NormalizeKana);

// A number of 100 K digits: refused after the first overflowing digit.
void BM_LongNumbers(benchmark::State& state)
{
    std::vector<uint16_t> digits = repeated(u"\uFF19", kTextUnits);
    for (auto _ : state) {
        benchmark::DoNotOptimize(DVKNum_UnicodeToLong(digits.data()));
        benchmark::DoNotOptimize(DVKNum_UnicodeToReal(digits.data()));
    }
}
BENCHMARK(BM_LongNumbers);

} // namespace
