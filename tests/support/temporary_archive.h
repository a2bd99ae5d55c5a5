// For programs outside the test runner (benchmarks): one sub-file written
// into a temporary archive file and loaded back through a record reader; the
// file is removed again. Aborts when anything fails.
//
// Header-only: it calls the engine runtime. Needs an engine context.
#pragma once

#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/bin_file_writer.h"
#include "core/brevit/runtime/dvk_tar.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

// fill(BinFileWriter*) writes the records; load(BinFileReader*) reads them.
template <typename Fill, typename Load>
auto loadFromTemporaryArchive(Fill fill, Load load)
{
    char dir[] = "/tmp/brevittable.XXXXXX";
    if (mkdtemp(dir) == nullptr)
        std::abort();
    const std::string path = std::string(dir) + "/t.dvk";
    DVKTar* out = DVKTar_OpenForWrite(path.c_str());
    BinFileWriter* w = BinFileWriter_Create(out, "t", nullptr);
    if (!fill(w) || BinFileWriter_Delete(w) != 0 || DVKTar_Close(out) != 0)
        std::abort();
    DVKTar* in = DVKTar_OpenForRead(path.c_str());
    BinFileReader* reader = BinFileReader_Create(in, "t", nullptr);
    auto* loaded = load(reader);
    BinFileReader_Delete(reader);
    DVKTar_Close(in);
    std::remove(path.c_str());
    rmdir(dir);
    if (loaded == nullptr)
        std::abort();
    return loaded;
}
