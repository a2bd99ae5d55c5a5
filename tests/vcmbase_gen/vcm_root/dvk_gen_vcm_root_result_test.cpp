// What the root menu hands its call command: bare commands below the first
// entry are not what was said and are dropped before the command sees the
// list, so an uncertain call offers only the named candidates.
#include "tests/vcmbase_gen/vcm_callcmd/call_session.h"

namespace {

class RootResultTest : public CallSessionTest {};

TEST_F(RootResultTest, BareCommandsBelowTheFirstEntryAreDropped)
{
    dvk_nbest_List* list = heard(u"Dora", nullptr, nullptr, false, 40);
    ASSERT_EQ(dvk_nbest_addEntry(list), 1);
    addValues(list, 1, nullptr, nullptr, nullptr, false);  // "call" alone
    ASSERT_EQ(dvk_nbest_addEntry(list), 2);
    addValues(list, 2, u"Bob", nullptr, nullptr, false);
    ASSERT_EQ(dvk_nbest_addEntry(list), 3);
    addValues(list, 3, nullptr, nullptr, nullptr, false);
    const Log log = after(list);
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], "step vcm_confirm_listen");
    EXPECT_EQ(log[1].rfind("confirm 9 title 540 body \"\" bar 586 items \"Dora\" \"Bob\" selected 0 ", 0), 0u)
        << log[1];
}

}  // namespace
