// The fuzz targets of the porting layer's record files: each input is
// written as the record into a private root's writable directory.
#pragma once

#include "oem/dvk_oem_check.h"
#include "oem/dvk_oem_dirs.h"
#include "oem/dvk_oem_settings.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

inline void writeFuzzRecord(const char* name, const uint8_t* data, size_t size)
{
    static const bool rooted = [] {
        char pattern[] = "/tmp/mwfuzz.XXXXXX";
        if (mkdtemp(pattern) == nullptr)
            std::abort();
        setenv("MERROWIND_ROOT", pattern, 1);
        std::atexit([] { std::filesystem::remove_all(std::getenv("MERROWIND_ROOT")); });
        std::filesystem::create_directories(dvkOemWritableDir());
        return true;
    }();
    (void)rooted;
    const std::string path = dvkOemJoin(dvkOemWritableDir(), name);
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || (size > 0 && std::fwrite(data, 1, size, file) != size) || std::fclose(file) != 0)
        std::abort();
    dvkOemSettingsForgetCache();
    dvkOemCheckForgetCache();
}
