// For benchmarks: an acoustic model written into a temporary archive file,
// kept as a memory image and loaded from it, as the engine loads a mapped
// model set. Aborts when anything fails.
//
// Header-only: it calls the engine runtime. Needs an engine context; the
// image must outlive the model.
#pragma once

#include "core/brevit/acoustic/am.h"
#include "tests/support/acoustic_model_records.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <vector>

inline AM* loadAcousticModelImage(const AcousticModelRecords& records, std::vector<char>& image)
{
    char path[] = "/tmp/brevitam.XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0)
        std::abort();
    DVKTar* tar = DVKTar_OpenForWrite(path);
    if (tar == nullptr || !writeAcousticRecords(tar, records) || DVKTar_Close(tar) != 0)
        std::abort();
    FILE* f = fdopen(fd, "rb");
    std::fseek(f, 0, SEEK_END);
    image.resize(static_cast<size_t>(std::ftell(f)));
    std::fseek(f, 0, SEEK_SET);
    if (std::fread(image.data(), 1, image.size(), f) != image.size())
        std::abort();
    std::fclose(f);
    std::remove(path);
    DVKTar* mapped = DVKTar_OpenForMemoryMappedRead(static_cast<uint32_t>(image.size()), image.data());
    AM* am = AM_LoadFromBinFile(mapped, nullptr, 0);
    DVKTar_Close(mapped);
    if (am == nullptr)
        std::abort();
    return am;
}
