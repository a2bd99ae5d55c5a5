// The location class over the phonebook provider itself, whose location
// iterator is a heap block it frees only when its walk reaches the end: a
// walk the wrapper breaks off must not leave that block behind.
#include "core/constraints/dvk_constraints.h"
#include "oem/dvk_oem_phonebook.h"
#include "oem/dvk_oem_settings.h"
#include "sdk/common/dvk_pbook.h"
#include "tests/core/constraints/class_walk.h"
#include "tests/support/suite_memory.h"

#include <gtest/gtest.h>
#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/lsan_interface.h>
#endif

#include <cstring>

namespace {

int32_t english()
{
    return 5;
}

dvk_constraints_WordClass* locationClass()
{
    dvk_constraints_WordClass** list = dvk_constraints_getWordClassList();
    for (int id = 1; id <= 66; ++id) {
        if (std::strcmp(list[id]->name, "location") == 0)
            return list[id];
    }
    ADD_FAILURE() << "no location class";
    return list[1];
}

class LocationClassOverProvider : public SuiteMemoryTest {
protected:
    void SetUp() override
    {
        SuiteMemoryTest::SetUp();
        oemPbookUnitTestInit();
        dvkPbookUnitTestInit();
        dvkOemSettingsSetLanguageSource(english);
    }
    void TearDown() override
    {
        dvkOemSettingsSetLanguageSource(nullptr);
        SuiteMemoryTest::TearDown();
    }
};

// Starts a walk and leaves it after `members` members, in every pass.
void breakOff(dvk_constraints_WordClass* wordClass, int members)
{
    dvk_constraints_Iterator it = wordClass->getFirst(wordClass);
    for (int i = 0; i < members && it != 0; ++i)
        it = wordClass->getNext(wordClass, it);
}

TEST_F(LocationClassOverProvider, ABrokenOffWalkLeavesNothingBehind)
{
    dvk_constraints_WordClass* wordClass = locationClass();
    // Inside the first pass, and inside the last.
    for (int members : {5, 60})
        breakOff(wordClass, members);
    const std::vector<WalkedMember> members = walkClass(wordClass, nullptr);
    EXPECT_EQ(members.size(), 4u * 17u);
    ASSERT_FALSE(members.empty());
    EXPECT_EQ(members.front().surface, u"MOBILE 1");
    EXPECT_EQ(members.back().surface, u"");  // the last synonym, none here
#ifdef __SANITIZE_ADDRESS__
    EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0) << "a location iterator was lost";
#endif
}

} // namespace
