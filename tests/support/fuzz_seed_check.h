// Fuzz seeds made by the engine's own writers: a test rebuilds each seed and
// checks that the committed file under fuzz/<target>/corpus is current; with
// MERROWIND_WRITE_FUZZ_SEEDS=1 it writes the file instead.
//
// Header-only; the test defines MERROWIND_SOURCE_DIR for runs outside ctest.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

inline void checkFuzzSeed(const char* target, const char* name, const std::string& bytes,
                          const char* builtFrom)
{
    const char* source = std::getenv("MERROWIND_TEST_SOURCE_DIR");
    if (source == nullptr || *source == '\0')
        source = builtFrom;
    const std::filesystem::path path =
        std::filesystem::path(source) / "fuzz" / target / "corpus" / name;
    const char* write = std::getenv("MERROWIND_WRITE_FUZZ_SEEDS");
    if (write != nullptr && std::strcmp(write, "1") == 0) {
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return;
    }
    std::ifstream in(path, std::ios::binary);
    const std::string committed((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(committed, bytes) << path << " is out of date: rerun with MERROWIND_WRITE_FUZZ_SEEDS=1";
}
