// Model loading speed: typed records read from an archive of many sub-files,
// through the file layer and from an image in memory, in stored order (one
// entry header per sub-file) and by name in another order.
#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/bin_file_writer.h"
#include "tests/support/system_engine_context.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kSubFiles = 200;
constexpr uint32_t kElements = 4096;

struct Item {
    int16_t id;
    int32_t score;
    double weight;
};

// The engine context, and one archive written once for every benchmark.
struct Setup {
    Setup()
    {
        char dir[] = "/tmp/brevitbench.XXXXXX";
        if (mkdtemp(dir) == nullptr)
            std::abort();
        directory = dir;
        path = directory + "/model.dvk";
        std::vector<int32_t> values(kElements);
        std::vector<Item> items(kElements / 4);
        for (uint32_t i = 0; i < kElements; ++i)
            values[i] = static_cast<int32_t>(i * 7);
        DVKTar* tar = DVKTar_OpenForWrite(path.c_str());
        char name[32];
        for (int s = 0; s < kSubFiles; ++s) {
            std::snprintf(name, sizeof(name), "part%03d", s);
            BinFileWriter* w = BinFileWriter_Create(tar, name, "model0/");
            BinFileWriter_WriteInt(w, 871);
            BinFileWriter_WriteArray(w, values.data(), kElements, 4);
            BinFileWriter_WriteArrayStructs3Members(w, items.data(), kElements / 4, sizeof(Item),
                                                    offsetof(Item, id), 2, offsetof(Item, score),
                                                    4, offsetof(Item, weight), 8);
            BinFileWriter_Delete(w);
        }
        if (DVKTar_Close(tar) != 0)
            std::abort();
        std::ifstream in(path, std::ios::binary);
        image.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    ~Setup()
    {
        std::remove(path.c_str());
        rmdir(directory.c_str());
    }
    SystemEngineContext context;
    std::string directory;
    std::string path;
    std::string image;
};

Setup& setup()
{
    static Setup instance;
    return instance;
}

// Reads one sub-file the way a component loader does.
bool load(DVKTar* tar, int s, std::vector<int32_t>& values, std::vector<Item>& items)
{
    char name[32];
    std::snprintf(name, sizeof(name), "part%03d", s);
    BinFileReader* r = BinFileReader_Create(tar, name, "model0/");
    int32_t format = 0;
    const bool ok = r != nullptr && BinFileReader_ReadInt(r, &format) &&
                    BinFileReader_ReadArray(r, values.data(), 4, kElements) &&
                    BinFileReader_ReadArrayStructs3Members(
                        r, items.data(), kElements / 4, sizeof(Item), offsetof(Item, id), 2,
                        offsetof(Item, score), 4, offsetof(Item, weight), 8);
    BinFileReader_Delete(r);
    return ok;
}

void run(benchmark::State& state, bool mapped, bool stored)
{
    Setup& s = setup();
    std::vector<int32_t> values(kElements);
    std::vector<Item> items(kElements / 4);
    for (auto _ : state) {
        DVKTar* tar = mapped ? DVKTar_OpenForMemoryMappedRead(
                                   static_cast<uint32_t>(s.image.size()), s.image.data())
                             : DVKTar_OpenForRead(s.path.c_str());
        for (int i = 0; i < kSubFiles; ++i)
            if (!load(tar, stored ? i : (i * 67) % kSubFiles, values, items))
                state.SkipWithError("load failed");
        DVKTar_Close(tar);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(s.image.size()));
}

void BM_LoadFileStoredOrder(benchmark::State& state)
{
    run(state, false, true);
}
void BM_LoadFileOtherOrder(benchmark::State& state)
{
    run(state, false, false);
}
void BM_LoadMemoryStoredOrder(benchmark::State& state)
{
    run(state, true, true);
}
void BM_LoadMemoryOtherOrder(benchmark::State& state)
{
    run(state, true, false);
}

BENCHMARK(BM_LoadFileStoredOrder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadFileOtherOrder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadMemoryStoredOrder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadMemoryOtherOrder)->Unit(benchmark::kMillisecond);

} // namespace
