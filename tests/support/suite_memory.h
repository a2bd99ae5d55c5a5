// Fixture for tests of suite code: every block taken from the suite's
// allocator during a test is given back by its end, and an injected failure
// never outlives the test. Only for tests that link the suite's memory.
#pragma once

#include "sdk/common/dvk_mem.h"

#include <gtest/gtest.h>

class SuiteMemoryTest : public ::testing::Test {
protected:
    void SetUp() override { liveBefore_ = dvk_mem_liveBlocks(); }
    void TearDown() override
    {
        dvk_mem_failAfter(-1);
        EXPECT_EQ(dvk_mem_liveBlocks(), liveBefore_) << "suite blocks leaked";
    }

private:
    long liveBefore_ = 0;
};
