// Fuzz seeds made by the project's own writers: a test rebuilds each seed and
// checks that the committed file under fuzz/<target>/corpus is current; with
// MERROWIND_WRITE_FUZZ_SEEDS=1 it writes the file instead.
//
// Header-only. ctest names the source tree in MERROWIND_TEST_SOURCE_DIR; a test
// run by hand falls back on MERROWIND_SOURCE_DIR when its target defines it.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

inline void checkFuzzSeed(const std::string& target, const std::string& name, const std::string& bytes)
{
    const char* source = std::getenv("MERROWIND_TEST_SOURCE_DIR");
#ifdef MERROWIND_SOURCE_DIR
    if (source == nullptr || *source == '\0')
        source = MERROWIND_SOURCE_DIR;
#endif
    ASSERT_TRUE(source != nullptr && *source != '\0') << "MERROWIND_TEST_SOURCE_DIR is not set";
    const std::filesystem::path path = std::filesystem::path(source) / "fuzz" / target / "corpus" / name;
    const char* write = std::getenv("MERROWIND_WRITE_FUZZ_SEEDS");
    if (write != nullptr && std::strcmp(write, "1") == 0) {
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return;
    }
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in.good()) << path << " is missing: rerun with MERROWIND_WRITE_FUZZ_SEEDS=1";
    const std::string committed((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(committed, bytes) << path << " is out of date: rerun with MERROWIND_WRITE_FUZZ_SEEDS=1";
}
