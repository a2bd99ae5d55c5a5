// The main of every test binary: each test process gets a fresh temporary
// platform root, so no test sees another's files.
#include "tests/support/temp_root.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

namespace {

class TempRootEnvironment : public ::testing::Environment {
public:
    void SetUp() override { m_root = std::make_unique<TempRoot>(); }
    void TearDown() override { m_root.reset(); }

private:
    std::unique_ptr<TempRoot> m_root;
};

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleMock(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new TempRootEnvironment);
    // Death tests fork; "threadsafe" re-executes the binary, which is what a
    // process with GLib worker threads needs.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    return RUN_ALL_TESTS();
}
