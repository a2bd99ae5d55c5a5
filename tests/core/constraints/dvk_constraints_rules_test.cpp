// The rules that parse dialled numbers: by dialing region and the "+"
// feature, and the variable-length digit rule of extensions and of the
// speech API's digits requests.
#include "core/constraints/dvk_constraints.h"

#include "tests/core/constraints/fake_dkapi.h"
#include "tests/sdk/common/fake_oem.h"
#include "tests/support/log_capture.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs rulesOf(const dvk_constraints_RuleSet* set)
{
    Pairs pairs;
    for (const dvk_constraints_Rule* r = set->rules; r->name != nullptr; ++r)
        pairs.push_back({r->name, r->expansion});
    return pairs;
}

std::vector<std::string> classesOf(const dvk_constraints_RuleSet* set)
{
    std::vector<std::string> names;
    for (const char* const* c = set->classNames; *c != nullptr; ++c)
        names.push_back(*c);
    return names;
}

Pairs digitRange(int from, int to)
{
    Pairs pairs;
    for (int n = from; n <= to; ++n)
        pairs.push_back({"digit_rule", "D{" + std::to_string(n) + "}"});
    return pairs;
}

class RulesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetFakeOemSettings();
        fakeDkapi() = {};
    }
    static void enableFeature(int32_t feature, int32_t on = 1)
    {
        fakeOemSettings().words[2 + feature] = on;
    }
};

TEST_F(RulesTest, DialingRegionChoosesTheStartRule)
{
    struct Case {
        int32_t region, plus;
        const char* start;  // none: no rule set
    } cases[] = {
        {0, 1, "NorthAmericanNumberPlus"}, {0, 0, "NorthAmericanNumberNoPlus"},
        {1, 1, "OtherNumberPlus"},         {1, 0, "OtherNumberNoPlus"},
        {2, 1, "KoreanNumber"},            {2, 0, "KoreanNumber"},
        {3, 0, "RussianNumber"},           {4, 1, nullptr},
        {-1, 0, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.region);
        fakeOemSettings().dialingRegion = c.region;
        enableFeature(58, c.plus);
        const dvk_constraints_RuleSet* set = dvk_constraints_getDigitRules();
        if (c.start == nullptr) {
            EXPECT_EQ(set, nullptr);
            continue;
        }
        ASSERT_NE(set, nullptr);
        EXPECT_STREQ(set->startRule, c.start);
        EXPECT_EQ(classesOf(set), (std::vector<std::string>{"plus", "digits1", "digits2", "fn"}));
        const Pairs rules = rulesOf(set);
        EXPECT_EQ(rules.size(), 82u);
        size_t korean = 0;
        for (const auto& rule : rules)
            korean += rule.first == "KoreanNumber";
        EXPECT_EQ(korean, 40u);
    }
}

// Each expansion names only literals, the engine's digit symbols and rules
// defined above it; every start rule is defined.
TEST_F(RulesTest, DialingRulesNameOnlyRulesAboveThem)
{
    fakeOemSettings().dialingRegion = 0;
    const Pairs rules = rulesOf(dvk_constraints_getDigitRules());
    std::set<std::string> defined;
    const std::set<std::string> symbols = {"Not0", "Not1", "Not01", "+"};
    for (const auto& [name, expansion] : rules) {
        std::istringstream words(expansion);
        std::string word;
        while (words >> word) {
            const bool literal = word.size() == 1 && word[0] >= '0' && word[0] <= '9';
            const bool digits = word.rfind("D{", 0) == 0 && word.back() == '}';
            EXPECT_TRUE(literal || digits || symbols.count(word) || defined.count(word))
                << name << ": " << word;
        }
        defined.insert(name);
    }
    for (const char* start : {"NorthAmericanNumberPlus", "NorthAmericanNumberNoPlus", "OtherNumberPlus",
                              "OtherNumberNoPlus", "KoreanNumber", "RussianNumber"})
        EXPECT_TRUE(defined.count(start)) << start;
    EXPECT_EQ(rules.front(), (std::pair<std::string, std::string>{"6to17", "D{6}"}));
    EXPECT_EQ(rules.back(), (std::pair<std::string, std::string>{"RussianNumber", "+ Not0 6to18"}));
}

TEST_F(RulesTest, ExtensionRulesFollowTheSettings)
{
    fakeOemSettings().extensionMinimum = 4;
    fakeOemSettings().extensionMaximum = 6;
    EXPECT_EQ(dvk_constraints_getExtensionRules(), nullptr);  // feature 3 off
    enableFeature(3);
    const dvk_constraints_RuleSet* set = dvk_constraints_getExtensionRules();
    ASSERT_NE(set, nullptr);
    EXPECT_STREQ(set->startRule, "digit_rule");
    EXPECT_EQ(classesOf(set), (std::vector<std::string>{"plus", "digits1", "digits2", "fn"}));
    EXPECT_EQ(rulesOf(set), digitRange(4, 6));

    LogCapture log;
    fakeOemSettings().extensionMinimum = 0;
    fakeOemSettings().extensionMaximum = 5;
    EXPECT_EQ(rulesOf(dvk_constraints_getExtensionRules()), digitRange(1, 5));
    EXPECT_TRUE(log.contains("DvkConstraints", WexLogWarning, "minimum digit count 0 taken as 1"));
}

TEST_F(RulesTest, SearchDigitRulesFollowTheRequest)
{
    struct Case {
        int32_t minimum, maximum, from, to;  // from 0: none
        bool logged;
    } cases[] = {
        {0, 5, 0, 0, false}, {5, 0, 0, 0, false}, {2, 20, 2, 16, true},
        {6, 4, 0, 0, true},  {1, 16, 1, 16, false}, {-3, 2, 1, 2, true},
        {3, 3, 3, 3, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.minimum) + ".." + std::to_string(c.maximum));
        LogCapture log;
        fakeDkapi().minimumDigits = c.minimum;
        fakeDkapi().maximumDigits = c.maximum;
        const dvk_constraints_RuleSet* set = dvk_constraints_getDkapiDigitsRules();
        EXPECT_EQ(log.contains("DvkConstraints", WexLogWarning, "digit"), c.logged);
        if (c.from == 0) {
            EXPECT_EQ(set, nullptr);
            continue;
        }
        ASSERT_NE(set, nullptr);
        EXPECT_EQ(rulesOf(set), digitRange(c.from, c.to));
    }
}

// The rule list is one buffer: a later call replaces the earlier answer.
TEST_F(RulesTest, ALaterCallReplacesTheEarlierList)
{
    fakeDkapi().minimumDigits = 2;
    fakeDkapi().maximumDigits = 4;
    const dvk_constraints_RuleSet* first = dvk_constraints_getDkapiDigitsRules();
    fakeDkapi().minimumDigits = 7;
    fakeDkapi().maximumDigits = 8;
    const dvk_constraints_RuleSet* second = dvk_constraints_getDkapiDigitsRules();
    EXPECT_EQ(first, second);
    EXPECT_EQ(rulesOf(first), digitRange(7, 8));
}

} // namespace
