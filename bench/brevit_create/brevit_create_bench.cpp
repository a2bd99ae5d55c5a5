// Engine creation from a large model set file: a main model of 1,500 states
// and 200 further sub-files of 100 KB that creation does not read (about
// 21 MB in 220 entries), laid out in creation's read order and shuffled.
// Each iteration creates the engine and destroys it.
#include "core/brevit/api/brevit.h"
#include "tests/brevit/api/create/linch_stand_in.h"
#include "tests/support/model_set_writer.h"
#include "tests/support/system_engine_context.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

namespace {

model_set::Records largeSet()
{
    model_set::ModelSetSpec spec;
    spec.models[0]->states = 1500;
    for (int i = 0; i < 200; ++i)
        spec.extra.add("extra" + std::to_string(i), std::string(100 * 1024, static_cast<char>(i)));
    SystemEngineContext context;
    return model_set::records(spec);
}

const std::string& setFile(bool shuffled)
{
    static const model_set::Records records = largeSet();
    static const std::string inOrder = [] {
        const std::string path = std::string(dvkOemWritableDir()) + "/create_in_order.dvk";
        model_set::writeFile(path, model_set::image(records));
        return path;
    }();
    static const std::string mixed = [] {
        model_set::Records copy = records;
        std::shuffle(copy.list.begin(), copy.list.end(), std::mt19937(5));
        const std::string path = std::string(dvkOemWritableDir()) + "/create_shuffled.dvk";
        model_set::writeFile(path, model_set::image(copy));
        return path;
    }();
    return shuffled ? mixed : inOrder;
}

void BM_Create(benchmark::State& state)
{
    const std::string& path = setFile(state.range(0) != 0);
    SystemEngineContext context;
    BrevitAllocator* allocator = DVKMem_GetMemoryAllocator();
    for (auto _ : state) {
        BrevitEngine* engine = nullptr;
        if (Brevit_CreateFromBinFile(path.c_str(), allocator, &engine) != EBrevit_OK)
            std::abort();
        Brevit_Destroy(engine, nullptr);
        linChLog() = LinChLog{};
    }
    state.counters["MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    state.counters["entries"] = static_cast<double>(model_set::parse(model_set::readFile(path)).list.size());
}
BENCHMARK(BM_Create)->Arg(0)->Arg(1)->ArgName("shuffled")->Unit(benchmark::kMillisecond);

}  // namespace
