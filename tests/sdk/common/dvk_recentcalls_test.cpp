#include "sdk/common/dvk_recentcalls.h"

#include "tests/sdk/common/fake_oem.h"
#include "tests/support/suite_memory.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using RecentCallsTest = SuiteMemoryTest;

TEST_F(RecentCallsTest, NumbersEndAtTheirThirtySecondUnit)
{
    fakeRecentCalls() = {u"5550100", std::u16string(40, u'9')};
    dvk_recentcalls_Iterator first = dvk_recentcalls_getFirstCall();
    dvk_recentcalls_Iterator second = dvk_recentcalls_getNextCall(first);
    EXPECT_EQ(dvk_recentcalls_getNextCall(second), nullptr);

    const struct {
        dvk_recentcalls_Iterator call;
        std::u16string number;
    } cases[] = {{first, u"5550100"}, {second, std::u16string(32, u'9')}};
    for (const auto& c : cases) {
        dvk_ucs2_Char* number = dvk_recentcalls_getCallNumber(c.call);
        ASSERT_NE(number, nullptr);
        EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(number)), c.number);
        dvk_mem_dealloc(&number);
    }
    dvk_mem_failAfter(0);
    EXPECT_EQ(dvk_recentcalls_getCallNumber(first), nullptr);
    EXPECT_DEATH(dvk_recentcalls_getNextCall(nullptr), "iterator != ");
}

} // namespace
