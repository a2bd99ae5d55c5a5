// Where a fuzz target writes what it saves: a file in the writable data
// directory of a temporary platform root made once per process.
//
// Header-only.
#pragma once

#include "oem/dvk_oem_dirs.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

inline std::string fuzzSavePath(const char* file)
{
    static const std::string dir = [] {
        char root[] = "/tmp/mwfuzz.XXXXXX";
        if (mkdtemp(root) == nullptr)
            return std::string();
        setenv("MERROWIND_ROOT", root, 1);
        std::error_code error;
        std::filesystem::create_directories(dvkOemWritableDir(), error);
        return std::string(dvkOemWritableDir());
    }();
    return dir.empty() ? dir : (std::filesystem::path(dir) / file).string();
}
