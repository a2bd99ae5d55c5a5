#include "tests/core/vcm/vcm_fixture.h"

#include "sdk/common/dvk_pbook.h"
#include "tests/core/vcm/phonebook/ann_bob_phonebook.h"
#include "tests/sdk/common/fake_oem_pbook.h"

#include <vector>

namespace {

using Calls = std::vector<std::string>;
using Entries = std::initializer_list<std::pair<const char*, const char*>>;

// Ann and Bob, one mobile number each; the locations "Mobile" and "Home".
class ResultTest : public VcmTest {
protected:
    void SetUp() override
    {
        useAnnAndBobPhonebook();
        VcmTest::SetUp();
    }
    void TearDown() override
    {
        VcmTest::TearDown();
        clearAnnAndBobPhonebook();
    }
};

TEST_F(ResultTest, AlwaysAvailablePhrasesPushTheirModule)
{
    vcms = newSession(0);
    ASSERT_NE(vcms, nullptr);
    const struct {
        const char* phrase;
        int result;
        const char* call;
    } cases[] = {{"String 22", 0, "newAlwaysAvailableCmd(26, 22, 0)"},
                 {"String 2", 0, "newAlwaysAvailableCmd(4, 2, 0)"},
                 {"String 3", 1, nullptr}};
    for (const auto& c : cases) {
        scriptedCalls().clear();
        dvk_nbest_List* list = dvk_nbest_create(38, "alwaysAvailable", 80);
        dvk_nbest_addEntry(list);
        addText(list, 0, 2, c.phrase);
        long lists = dvk_nbest_liveLists();
        dvk_msg_Message* message = nullptr;
        EXPECT_EQ(dvk_vcm_handleResult(vcms, list, &message), c.result) << c.phrase;
        // The result's list is gone; a pushed module brings its own.
        EXPECT_EQ(dvk_nbest_liveLists(), lists - 1 + (c.call != nullptr ? 1 : 0)) << c.phrase;
        if (c.call != nullptr)
            EXPECT_EQ(scriptedCalls(), Calls{c.call});
        else
            EXPECT_TRUE(scriptedCalls().empty());
    }
}

std::string s_seen;
int describeResult(dvk_vcm_Session*, dvk_nbest_List* nbest, dvk_msg_Message**, int32_t)
{
    s_seen = nbest == nullptr ? "none" : VcmTest::describeList(nbest);
    dvk_nbest_destroy(&nbest);
    return 0;
}

TEST_F(ResultTest, NumberedLocationDuplicatesKeepTheFirst)
{
    vcms = newSession(0);
    ASSERT_NE(vcms, nullptr);
    ScriptedModule& spec = newSpec();
    spec.vtable.handleResult = describeResult;
    ASSERT_EQ(dvk_vcm_push(vcms, newScriptedModule(vcms, &spec, "L", -1, false)), 0);
    const struct {
        int32_t constraintId;
        std::initializer_list<std::pair<const char*, const char*>> entries;
        const char* expected;
    } cases[] = {
        {33, {{"Ann", "Mobile"}, {"Ann", "Mobile 1"}}, "Ann@Mobile"},
        {0, {{"Ann", "Mobile 1"}, {"Ann", "Mobile"}, {"Bob", nullptr}}, "Ann@Mobile 1, Bob"},
        {33, {{"Ann", "Mobile 2"}, {"Ann", "Mobile"}}, "Ann@Mobile 2, Ann@Mobile"},
        {33, {{"Ann", "Home"}, {"Bob", nullptr}, {"Ann", "Work"}, {"Eve", nullptr}},
         "Ann@Home, Bob, Ann@Work, Eve"},
        // Not a name result: left alone.
        {38 + 1, {{"Ann", "Mobile"}, {"Ann", "Mobile 1"}}, "Ann@Mobile, Ann@Mobile 1"},
    };
    int32_t state = 0;
    for (const auto& c : cases) {
        dvk_msg_Message* message = nullptr;
        EXPECT_EQ(dvk_vcm_handleResult(vcms, names(c.constraintId, c.entries), &message), 0);
        EXPECT_EQ(s_seen, c.expected);
        EXPECT_EQ(dvk_vcm_current(vcms)->state, ++state);
    }
    dvk_msg_Message* message = nullptr;
    EXPECT_EQ(dvk_vcm_handleResult(vcms, nullptr, &message), 0);
    EXPECT_EQ(s_seen, "none");
    EXPECT_EQ(dvk_vcm_current(vcms)->state, ++state);
}

TEST_F(ResultTest, ASameNameWithAndWithoutALocationMergesForASingleNumber)
{
    vcms = newSession(0);
    ASSERT_NE(vcms, nullptr);
    ScriptedModule& spec = newSpec();
    spec.vtable.handleResult = describeResult;
    ASSERT_EQ(dvk_vcm_push(vcms, newScriptedModule(vcms, &spec, "L", -1, false)), 0);
    const struct {
        int32_t gate;
        int32_t constraintId;
        Entries entries;
        const char* expected;
        bool homeNumber = false;  // Ann has a home number too
        int32_t mobileCapability = 1;
    } cases[] = {
        {1, 33, {{"Ann", "Home"}, {"Ann", nullptr}, {"Bob", nullptr}}, "Ann, Bob"},
        {1, 33, {{"Ann", "Mobile"}, {"Ann", nullptr}, {"Bob", nullptr}}, "Ann@Mobile, Bob"},
        {1, 33, {{"Ann", nullptr}, {"Ann", "Home"}, {"Bob", nullptr}}, "Ann, Bob"},
        {1, 33, {{"Bob", nullptr}, {"Bob", "Mobile"}}, "Bob"},
        {1, 0, {{"Ann", "Home"}, {"Ann", nullptr}}, "Ann"},
        {1, 50, {{"Ann", "Home"}, {"Ann", nullptr}}, "Ann"},
        // Two numbers of the call type, or none (gate 5 sends; the mobile
        // number only calls): nothing merges.
        {1, 33, {{"Ann", "Home"}, {"Ann", nullptr}, {"Bob", nullptr}}, "Ann@Home, Ann, Bob", true},
        {5, 33, {{"Ann", "Home"}, {"Ann", nullptr}, {"Bob", nullptr}}, "Ann@Home, Ann, Bob"},
        {13, 33, {{"Ann", "Home"}, {"Ann", nullptr}, {"Bob", nullptr}}, "Ann@Home, Ann, Bob"},
        {13, 33, {{"Ann", "Home"}, {"Ann", nullptr}, {"Bob", nullptr}}, "Ann, Bob", false, 3},
        {1, 33, {{"Ann", "Home"}, {"Ann", nullptr}, {"Bob", nullptr}}, "Ann@Home, Ann, Bob", false, 3},
        // After a merge the list is chopped: a third entry repeating a name
        // keeps two.
        {1, 33, {{"Ann", "Home"}, {"Ann", nullptr}, {"Bob", nullptr}, {"Ann", nullptr}, {"Eve", nullptr}},
         "Ann, Bob"},
        {1, 33, {{"Ann", "Home"}, {"Ann", nullptr}, {"Bob", nullptr}, {"Eve", nullptr}}, "Ann, Bob, Eve"},
        // Only the top three count, and only one merge is made.
        {1, 33, {{"Ann", "Home"}, {"Bob", nullptr}, {"Eve", nullptr}, {"Ann", nullptr}}, "Ann@Home, Bob, Eve, Ann"},
        {1, 33, {{"Ann", "Home"}, {"Ann", "Mobile"}, {"Ann", nullptr}}, "Ann@Home, Ann@Mobile, Ann"},
        {1, 33, {{"Ann", "Home"}, {"Ann", nullptr}, {"Bob", "Home"}, {"Bob", nullptr}}, "Ann, Bob@Home"},
        // Nameless entries and names of no contact are passed over.
        {1, 33, {{nullptr, nullptr}, {"Ann", "Home"}, {"Ann", nullptr}}, "-, Ann"},
        {1, 33, {{"Eve", "Home"}, {"Eve", nullptr}, {"Bob", nullptr}}, "Eve@Home, Eve, Bob"},
        // Then the numbered locations.
        {1, 33, {{"Ann", "Mobile 1"}, {"Ann", "Mobile"}, {"Bob", nullptr}, {"Ann", nullptr}, {"Eve", nullptr}},
         "Ann@Mobile 1, Bob"},
        {1, 33, {{"Ann", "Mobile"}, {"Ann", "Mobile 1"}}, "Ann@Mobile"},
        {1, 33, {{"Ann", "Mobile 2"}, {"Ann", "Mobile"}}, "Ann@Mobile 2, Ann@Mobile"},
        {1, 33, {{"Ann", "Home"}, {"Bob", nullptr}, {"Ann", "Work"}, {"Eve", nullptr}},
         "Ann@Home, Bob, Ann@Work, Eve"},
        // Not a name result.
        {1, 39, {{"Ann", "Home"}, {"Ann", nullptr}, {"Bob", nullptr}}, "Ann@Home, Ann, Bob"},
    };
    int32_t state = 0;
    for (const auto& c : cases) {
        std::string label = std::to_string(c.gate) + " " + c.expected;
        fakeOemPbook().contacts[0].numbers = {{1, u"5550001"}};
        if (c.homeNumber)
            fakeOemPbook().contacts[0].numbers.push_back({2, u"5550003"});
        fakeOemPbook().locations[0].capability = c.mobileCapability;
        dvk_vcm_setGateCmd(vcms, c.gate);
        dvk_msg_Message* message = nullptr;
        s_seen.clear();
        EXPECT_EQ(dvk_vcm_handleResult(vcms, names(c.constraintId, c.entries), &message), 0) << label;
        EXPECT_EQ(s_seen, c.expected) << label;
        EXPECT_EQ(dvk_vcm_current(vcms)->state, ++state) << label;
    }
}

// Keeps the list for the test to read once the allocator works again.
dvk_nbest_List* s_kept;
int keepResult(dvk_vcm_Session*, dvk_nbest_List* nbest, dvk_msg_Message**, int32_t)
{
    s_kept = nbest;
    return 0;
}

TEST_F(ResultTest, ShortMemoryDuringTheMergeDropsTheResult)
{
    vcms = newSession(0);
    ASSERT_NE(vcms, nullptr);
    ScriptedModule& spec = newSpec();
    spec.vtable.handleResult = keepResult;
    ASSERT_EQ(dvk_vcm_push(vcms, newScriptedModule(vcms, &spec, "L", -1, false)), 0);
    dvk_vcm_setGateCmd(vcms, 1);
    for (long n = 0;; n++) {
        const long live = dvk_mem_liveBlocks();
        dvk_nbest_List* list = names(33, {{"Ann", "Home"}, {"Ann", nullptr}, {"Bob", nullptr}});
        const int32_t state = dvk_vcm_current(vcms)->state;
        const long lists = dvk_nbest_liveLists();
        dvk_msg_Message* message = nullptr;
        s_kept = nullptr;
        dvk_mem_failAfter(n);
        const int result = dvk_vcm_handleResult(vcms, list, &message);
        dvk_mem_failAfter(-1);
        if (result == 0) {
            ASSERT_NE(s_kept, nullptr);
            EXPECT_EQ(describeList(s_kept), "Ann, Bob");
            dvk_nbest_destroy(&s_kept);
            EXPECT_EQ(dvk_vcm_current(vcms)->state, state + 1);
            EXPECT_GT(n, 0);
            break;
        }
        EXPECT_EQ(dvk_nbest_liveLists(), lists - 1) << n;
        EXPECT_EQ(result, 1) << n;
        EXPECT_EQ(s_kept, nullptr) << n;
        EXPECT_EQ(dvk_vcm_current(vcms)->state, state) << n;
        EXPECT_EQ(dvk_mem_liveBlocks(), live) << n;
    }
}

}  // namespace
