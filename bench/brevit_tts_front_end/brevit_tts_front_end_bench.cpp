// The synthesis front end's text path, from a text to a finished unit tree:
// µs per word over a 1,000-word text, and each 100 KB kind of input (one
// phrase of known words, one 100,000-letter token, digits, punctuation
// only, random printable characters). Also the feature walk per unit.
#include "bench/support/bench_root.h"
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/search/lm_rewrite.h"
#include "core/brevit/synthesis/cep_tts_front_end.h"
#include "core/brevit/synthesis/tts.h"
#include "tests/support/synthesis_front_end_vocabulary.h"
#include "tests/support/system_engine_context.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace {

vocabulary_fixture::Options options()
{
    vocabulary_fixture::Options o = front_end_fixture::vocabularyOptions();
    o.params = {{992, 1}, {991, 1}};
    return o;
}

// Breaks from the tags (classes 3 1 4 0 2 for b..f) and cuts beyond 12
// syllables, as a model would have.
tts_front_end::FrontEndFields block(bool costs)
{
    tts_front_end::FrontEndFields f = front_end_fixture::fields();
    f.breakTree = tts_front_end::breakTreeOnOwnTag(3, {{5, 3}, {6, 1}, {7, 4}, {8, 0}, {9, 2}}, 5);
    f.breakClasses = {0, 1, 2, 3, 4, 5};
    f.breakClassCount = 6;
    f.phraseMaxSyllables = 12;
    if (costs) {
        f.phraseCostLength = 4;
        f.phraseCosts = {0, 40, 30, 8, 6};
        f.phraseCostSlope = 3;
        f.phraseSplitSyllables = 12;
    }
    return f;
}

LMRewrite* readTable(DVKTar* tar, const char* tag)
{
    BinFileReader* reader = BinFileReader_Create(tar, tag, nullptr);
    LMRewrite* table = reader != nullptr ? LMRewrite_Read(reader) : nullptr;
    BinFileReader_Delete(reader);
    return table;
}

struct World {
    explicit World(bool costs) : params(vocabulary_fixture::params(options()))
    {
        path = benchRoot() + "/front_end.dvk";
        DVKTar* out = DVKTar_OpenForWrite(path.c_str());
        const tts_front_end::FrontEndFields fields = block(costs);
        const bool ok = out != nullptr && vocabulary_fixture::write(out, front_end_fixture::words(), options()) &&
                        vocabulary_fixture::writeSubFile(out, "pron", "", [](BinFileWriter* w) {
                            return search_tables::write(w, front_end_fixture::pronToPhone());
                        }) &&
                        vocabulary_fixture::writeSubFile(out, "classes", "", [](BinFileWriter* w) {
                            return search_tables::write(w, front_end_fixture::phoneClasses());
                        }) &&
                        vocabulary_fixture::writeSubFile(out, "fe", "", [&](BinFileWriter* w) {
                            return tts_front_end::write(w, fields);
                        });
        if (!ok || DVKTar_Close(out) != 0)
            std::abort();
        tar = DVKTar_OpenForRead(path.c_str());
        voc = Voc_LoadFromBinFile(tar, nullptr);
        pron = readTable(tar, "pron");
        classes = readTable(tar, "classes");
        owner.headerShorts[0] = front_end_fixture::kStress;
        owner.headerShorts[1] = front_end_fixture::kClose;
        phones = {front_end_fixture::kMaxPhone, pron, classes, front_end_fixture::kVowelClass};
        BinFileReader* reader = BinFileReader_Create(tar, "fe", nullptr);
        frontEnd = reader != nullptr ? CepTTSFrontEnd_Load(reader, &owner, &phones, voc) : nullptr;
        BinFileReader_Delete(reader);
        if (voc == nullptr || frontEnd == nullptr)
            std::abort();
    }
    ~World()
    {
        CepTTSFrontEnd_Delete(frontEnd);
        LMRewrite_Delete(pron);
        LMRewrite_Delete(classes);
        Voc_Delete(voc);
        DVKTar_Close(tar);
        DVKTempMem_DeleteMemStack();
        std::remove(path.c_str());
    }

    // The text path to a finished tree; its phone count.
    int64_t speak(const std::u16string& text)
    {
        CepTTSUnits* u = nullptr;
        DVKErr_Protect([&] { u = CepTTSFrontEnd_UnitsFromText(frontEnd, reinterpret_cast<const uint16_t*>(text.c_str())); });
        const int64_t phonesBuilt = u != nullptr && u->tree != nullptr ? u->tree->phoneCount : 0;
        CepTTSUnits_Delete(u);
        return phonesBuilt;
    }

    SystemEngineContext context;
    ScopedParamBlock params;
    std::string path;
    DVKTar* tar = nullptr;
    Voc* voc = nullptr;
    LMRewrite* pron = nullptr;
    LMRewrite* classes = nullptr;
    TTS owner{};
    CepTTSPhoneFields phones{};
    CepTTSFrontEnd* frontEnd = nullptr;
};

// Known words with a comma every 7 and a full stop every 15.
std::u16string wordsText(int32_t words, bool marks)
{
    const char16_t* known[] = {u"b", u"c", u"d", u"e", u"f", u"g", u"a", u"h"};
    std::u16string text;
    for (int32_t k = 0; k < words; ++k) {
        text += known[k % 8];
        if (marks && k % 15 == 14)
            text += u".";
        else if (marks && k % 7 == 6)
            text += u",";
        text += u" ";
    }
    return text;
}

constexpr size_t kBig = 100000;

std::u16string bigInput(int32_t kind)
{
    std::u16string text;
    std::mt19937 random(7);
    switch (kind) {
    case 0:   // one phrase of words
        while (text.size() < kBig)
            text += wordsText(8, false);
        break;
    case 1:   // one token
        text.assign(kBig, u'z');
        break;
    case 2:
        while (text.size() < kBig)
            text.push_back(static_cast<char16_t>(u'0' + random() % 10));
        break;
    case 3:
        while (text.size() < kBig)
            text += u", . ! ";
        break;
    default:
        while (text.size() < kBig)
            text.push_back(static_cast<char16_t>(0x20 + random() % 95));
        break;
    }
    text.resize(kBig);
    return text;
}

void BM_TextPathPerWord(benchmark::State& state)
{
    World world(state.range(0) != 0);
    const std::u16string text = wordsText(1000, true);
    int64_t phones = 0;
    for (auto _ : state)
        phones = world.speak(text);
    state.counters["us_per_word"] =
        benchmark::Counter(1000.0, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert,
                           benchmark::Counter::OneK::kIs1000);
    state.counters["phones"] = static_cast<double>(phones);
}
BENCHMARK(BM_TextPathPerWord)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_TextPath100KB(benchmark::State& state)
{
    World world(state.range(1) != 0);
    const std::u16string text = bigInput(static_cast<int32_t>(state.range(0)));
    int64_t phones = 0;
    for (auto _ : state)
        phones = world.speak(text);
    state.counters["phones"] = static_cast<double>(phones);
}
BENCHMARK(BM_TextPath100KB)
    ->ArgsProduct({{0, 1, 2, 3, 4}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// Every unit's features of the 1,000-word text.
void BM_FeatureWalk(benchmark::State& state)
{
    World world(false);
    const std::u16string text = wordsText(1000, true);
    int64_t units = 0;
    for (auto _ : state) {
        CepTTSUnits* u = CepTTSFrontEnd_UnitsFromText(world.frontEnd, reinterpret_cast<const uint16_t*>(text.c_str()));
        uint8_t features[kCepTTSFeatureCount];
        units = 0;
        while (CepTTSFrontEnd_GetUnitFeatures(world.frontEnd, u, features) == 1)
            ++units;
        CepTTSUnits_Delete(u);
    }
    state.counters["units"] = static_cast<double>(units);
}
BENCHMARK(BM_FeatureWalk)->Unit(benchmark::kMicrosecond);

} // namespace
