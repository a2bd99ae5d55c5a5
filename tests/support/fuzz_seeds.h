// Seeds of fuzz targets made by the test writers: checkFuzzSeed compares a
// committed corpus file with what the writer makes now; with
// MERROWIND_WRITE_FUZZ_SEEDS=1 it writes the file instead.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

inline void checkFuzzSeed(const std::string& target, const std::string& name, const std::string& bytes)
{
    const char* source = std::getenv("MERROWIND_TEST_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    const std::string path = std::string(source) + "/fuzz/" + target + "/corpus/" + name;
    const char* write = std::getenv("MERROWIND_WRITE_FUZZ_SEEDS");
    if (write != nullptr && std::string(write) == "1") {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        return;
    }
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in.good()) << path;
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), bytes) << path;
}
