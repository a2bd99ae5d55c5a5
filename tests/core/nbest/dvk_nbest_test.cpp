// N-best lists: confidence, entries and values, copies, filters, the merge
// operations, and every allocation failing in turn.
#include "core/nbest/dvk_nbest.h"

#include "tests/support/suite_memory.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace {

const dvk_ucs2_Char* u(const char16_t* text)
{
    return reinterpret_cast<const dvk_ucs2_Char*>(text);
}

std::string narrow(const dvk_ucs2_Char* text)
{
    if (text == nullptr)
        return "-";
    std::string out;
    for (; *text != 0; ++text)
        out.push_back(static_cast<char>(*text));
    return out;
}

std::string narrow(const char* text)
{
    return text != nullptr ? text : "-";
}

// Everything the list holds, as text: what "unchanged" compares.
std::string describe(dvk_nbest_List* list)
{
    std::ostringstream out;
    const char* name = nullptr;
    out << dvk_nbest_getConstraint(list, &name) << " " << name << " " << dvk_nbest_getConfidence(list) << "\n";
    for (int32_t i = 0; i < dvk_nbest_getCount(list); ++i) {
        out << "[" << narrow(dvk_nbest_getUtt(list, i)) << "]";
        for (int32_t slot = 0; slot < 40; ++slot) {
            if (dvk_nbest_getStr(list, i, slot) == nullptr)
                continue;
            const char* tag = dvk_nbest_getWordClass(list, i, slot);
            out << " " << slot << ":" << (tag != nullptr ? tag : "-") << ":" << narrow(dvk_nbest_getStr(list, i, slot))
                << ":" << narrow(dvk_nbest_getSpokenForm(list, i, slot));
            const uint32_t* ids = nullptr;
            for (int32_t n = dvk_nbest_getWordIds(list, i, slot, &ids), k = 0; k < n; ++k)
                out << ",w" << ids[k];
            for (int32_t n = dvk_nbest_getIrIds(list, i, slot, &ids), k = 0; k < n; ++k)
                out << ",r" << ids[k];
        }
        out << "\n";
    }
    return out.str();
}

// The utterance texts, which name the entries of the nine-entry list.
std::vector<std::string> names(dvk_nbest_List* list)
{
    std::vector<std::string> out;
    for (int32_t i = 0; i < dvk_nbest_getCount(list); ++i)
        out.push_back(narrow(dvk_nbest_getUtt(list, i)));
    return out;
}

class NbestTest : public SuiteMemoryTest {
protected:
    void TearDown() override
    {
        dvk_nbest_destroy(&list_);
        EXPECT_EQ(dvk_nbest_liveLists(), 0);
        SuiteMemoryTest::TearDown();
    }

    void add(int32_t entry, int32_t slot, const char* tag, const char16_t* surface, const char16_t* spoken = nullptr)
    {
        ASSERT_EQ(dvk_nbest_addValueNoIds(list_, entry, slot, tag, u(surface), spoken ? u(spoken) : nullptr), 0);
    }

    // E0 {20 "Ann", 15 "Home"}, E1 as E0 with other tags, E2 {20 "Ann"},
    // E3 and E4 empty, E5 {20 "Ann", 15 "Work"}, E6 {20 "Ann"} with another
    // tag and a spoken form, E7 {6 "5550100"}, E8 {15 "Ann"}; utterance
    // texts "E0".."E8".
    void makeNine()
    {
        list_ = dvk_nbest_create(-2, "callName", 70);
        ASSERT_NE(list_, nullptr);
        for (int32_t i = 0; i < 9; ++i) {
            ASSERT_EQ(dvk_nbest_addEntry(list_), i);
            const std::u16string utt = u"E" + std::u16string(1, char16_t(u'0' + i));
            ASSERT_EQ(dvk_nbest_addUtt(list_, i, u(utt.c_str())), 0);
        }
        add(0, 20, "names", u"Ann");
        add(0, 15, "location", u"Home");
        add(1, 20, "auxNames", u"Ann");
        add(1, 15, "labelFill", u"Home");
        add(2, 20, "names", u"Ann");
        add(5, 20, "names", u"Ann");
        add(5, 15, "location", u"Work");
        add(6, 20, "auxNames", u"Ann", u"an");
        add(7, 6, "digits1", u"5550100");
        add(8, 15, "location", u"Ann");
    }

    dvk_nbest_List* list_ = nullptr;
};

TEST_F(NbestTest, ConfidenceIsKeptWithin0To100)
{
    const int32_t cases[][2] = {{-5, 0}, {250, 100}, {0, 0}, {100, 100}, {42, 42}};
    for (const auto& c : cases) {
        dvk_nbest_List* list = dvk_nbest_create(3, "yesno", c[0]);
        EXPECT_EQ(dvk_nbest_getConfidence(list), c[1]) << c[0];
        dvk_nbest_destroy(&list);
    }
}

TEST_F(NbestTest, ListHoldsItsConstraintAndValues)
{
    const char name[] = "callName";
    list_ = dvk_nbest_create(-3, name, 55);
    EXPECT_EQ(dvk_nbest_liveLists(), 1);
    const char* own = nullptr;
    EXPECT_EQ(dvk_nbest_getConstraint(list_, &own), -3);
    EXPECT_STREQ(own, name);
    EXPECT_NE(own, name);  // a copy
    EXPECT_EQ(dvk_nbest_getCount(list_), 0);
    ASSERT_EQ(dvk_nbest_addEntry(list_), 0);
    const uint32_t words[] = {7, 8}, ir[] = {9};
    EXPECT_EQ(dvk_nbest_addValue(list_, 0, 20, "names", u(u"Ann"), u(u"an"), 2, words, 1, ir), 0);
    EXPECT_EQ(dvk_nbest_addValue(list_, 0, 6, nullptr, u(u"1"), nullptr, 0, nullptr, 0, nullptr), 0);
    EXPECT_EQ(dvk_nbest_getKeyCount(list_, 0), 2);
    EXPECT_EQ(describe(list_), "-3 callName 55\n[-] 6:-:1:- 20:names:Ann:an,w7,w8,r9\n");
    const uint32_t* ids = words;
    EXPECT_EQ(dvk_nbest_getWordIds(list_, 0, 15, &ids), 0);
    EXPECT_EQ(ids, nullptr);
    // One value per slot: a second one is refused and the first stays.
    EXPECT_EQ(dvk_nbest_addValueNoIds(list_, 0, 20, "auxNames", u(u"Bo"), nullptr), 1);
    EXPECT_EQ(narrow(dvk_nbest_getStr(list_, 0, 20)), "Ann");
    dvk_nbest_removeValue(list_, 0, 20);
    dvk_nbest_removeValue(list_, 0, 20);
    EXPECT_EQ(dvk_nbest_getKeyCount(list_, 0), 1);
    EXPECT_EQ(dvk_nbest_addUtt(list_, 0, u(u"first")), 0);
    EXPECT_EQ(dvk_nbest_addUtt(list_, 0, u(u"second")), 0);  // replaces the first
    EXPECT_EQ(narrow(dvk_nbest_getUtt(list_, 0)), "second");
    // Past the count the readers answer nothing; the id readers are wrong there.
    EXPECT_EQ(dvk_nbest_getStr(list_, 1, 6), nullptr);
    EXPECT_EQ(dvk_nbest_getSpokenForm(list_, 5, 6), nullptr);
    EXPECT_EQ(dvk_nbest_getWordClass(list_, 1, 6), nullptr);
    EXPECT_DEATH(dvk_nbest_getWordIds(list_, 1, 6, &ids), "index < ");
    EXPECT_DEATH(dvk_nbest_getStr(list_, -1, 6), "index >= 0");
    EXPECT_DEATH(dvk_nbest_addValue(list_, 0, 3, nullptr, u(u"x"), nullptr, 2, nullptr, 0, nullptr),
                 "wordIdCount == 0");
    EXPECT_DEATH(dvk_nbest_addValue(list_, 0, 3, nullptr, u(u"x"), nullptr, 0, nullptr, 1, nullptr),
                 "irIdCount == 0");
    EXPECT_DEATH(dvk_nbest_addValueNoIds(list_, 0, 3, nullptr, nullptr, nullptr), "surface != ");
    dvk_nbest_destroy(&list_);
    EXPECT_EQ(list_, nullptr);
    EXPECT_EQ(dvk_nbest_liveLists(), 0);
    dvk_nbest_destroy(&list_);  // nothing to do
    EXPECT_EQ(dvk_nbest_liveLists(), 0);
}

TEST_F(NbestTest, DuplicatesAreLaterEntriesWithTheSameSlotsAndSurfaces)
{
    makeNine();
    EXPECT_EQ(dvk_nbest_removeDuplicates(list_), 6);
    EXPECT_EQ(names(list_), (std::vector<std::string>{"E0", "E2", "E3", "E5", "E7", "E8"}));
}

TEST_F(NbestTest, ChopKeepsTheFirstEntries)
{
    const struct {
        int32_t n, left;
    } cases[] = {{3, 3}, {0, 0}, {9, 9}, {20, 9}};
    for (const auto& c : cases) {
        makeNine();
        EXPECT_EQ(dvk_nbest_chop(list_, c.n), c.left) << c.n;
        const std::vector<std::string> all = {"E0", "E1", "E2", "E3", "E4", "E5", "E6", "E7", "E8"};
        EXPECT_EQ(names(list_), std::vector<std::string>(all.begin(), all.begin() + c.left));
        dvk_nbest_destroy(&list_);
    }
}

TEST_F(NbestTest, FilterRemovesTheEntriesItNames)
{
    makeNine();
    auto hasSlot = [](dvk_nbest_List* list, int32_t index, void* slot) {
        return dvk_nbest_getStr(list, index, static_cast<int32_t>(reinterpret_cast<intptr_t>(slot))) != nullptr ? 1 : 0;
    };
    EXPECT_EQ(dvk_nbest_filter(list_, hasSlot, reinterpret_cast<void*>(intptr_t{20})), 4);
    EXPECT_EQ(names(list_), (std::vector<std::string>{"E3", "E4", "E7", "E8"}));
}

TEST_F(NbestTest, CopiesLeaveTheUtterancesBehind)
{
    makeNine();
    const uint32_t words[] = {4, 5};
    ASSERT_EQ(dvk_nbest_addValue(list_, 3, 9, "call", u(u"call"), nullptr, 2, words, 0, nullptr), 0);
    dvk_nbest_List* copy = dvk_nbest_createCopy(list_);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(dvk_nbest_liveLists(), 2);
    std::string expected = describe(list_);
    for (int i = 0; i < 9; ++i) {
        const std::string utt = "[E" + std::to_string(i) + "]";
        expected.replace(expected.find(utt), utt.size(), "[-]");
    }
    EXPECT_EQ(describe(copy), expected);
    dvk_nbest_destroy(&copy);
}

TEST_F(NbestTest, UpdateAddsEveryValueOrNone)
{
    makeNine();
    // Entry 3 is empty: it takes both of entry 0's values.
    EXPECT_EQ(dvk_nbest_update(list_, 3, list_, 0), 0);
    EXPECT_EQ(narrow(dvk_nbest_getStr(list_, 3, 15)), "Home");
    EXPECT_EQ(narrow(dvk_nbest_getWordClass(list_, 3, 20)), "names");
    // Entry 8 holds slot 15 already: nothing of entry 5 goes in.
    const std::string before = describe(list_);
    EXPECT_EQ(dvk_nbest_update(list_, 8, list_, 5), 1);
    EXPECT_EQ(describe(list_), before);
    EXPECT_EQ(dvk_nbest_update(list_, 0, list_, 0), 1);
    EXPECT_EQ(describe(list_), before);
    EXPECT_EQ(dvk_nbest_update(list_, 0, list_, 4), 0);  // nothing to add
}

TEST_F(NbestTest, DuplicateValueReplacesOrRemovesTheDestinationsValue)
{
    makeNine();
    dvk_nbest_List* other = dvk_nbest_createCopy(list_);
    EXPECT_EQ(dvk_nbest_duplicateValue(other, 5, list_, 0, 15), 0);
    EXPECT_EQ(narrow(dvk_nbest_getStr(list_, 0, 15)), "Work");
    EXPECT_EQ(dvk_nbest_duplicateValue(list_, 6, list_, 2, 20), 0);
    EXPECT_EQ(narrow(dvk_nbest_getSpokenForm(list_, 2, 20)), "an");
    EXPECT_EQ(narrow(dvk_nbest_getWordClass(list_, 2, 20)), "auxNames");
    EXPECT_EQ(dvk_nbest_getKeyCount(list_, 2), 1);
    // One entry as source and destination keeps its value.
    EXPECT_EQ(dvk_nbest_duplicateValue(list_, 7, list_, 7, 6), 0);
    EXPECT_EQ(narrow(dvk_nbest_getStr(list_, 7, 6)), "5550100");
    // A source without the slot takes the destination's value away.
    EXPECT_EQ(dvk_nbest_duplicateValue(other, 3, list_, 0, 20), 0);
    EXPECT_EQ(dvk_nbest_getStr(list_, 0, 20), nullptr);
    EXPECT_EQ(dvk_nbest_getKeyCount(list_, 0), 1);
    dvk_nbest_destroy(&other);
}

// Each operation with each of its allocations failing in turn reports the
// failure, leaks nothing and leaves the list as it was.
TEST_F(NbestTest, FailedOperationsLeaveTheListAsItWas)
{
    makeNine();
    dvk_nbest_List* other = dvk_nbest_createCopy(list_);
    ASSERT_NE(other, nullptr);
    const uint32_t words[] = {1, 2, 3}, ir[] = {4};
    struct Operation {
        const char* name;
        std::function<bool()> run;  // true: done
    } operations[] = {
        {"create", [] {
             dvk_nbest_List* list = dvk_nbest_create(1, "x", 5);
             const bool made = list != nullptr;
             dvk_nbest_destroy(&list);
             return made;
         }},
        {"createCopy", [&] {
             dvk_nbest_List* copy = dvk_nbest_createCopy(list_);
             const bool made = copy != nullptr;
             dvk_nbest_destroy(&copy);
             return made;
         }},
        {"addEntry", [&] {
             const int32_t at = dvk_nbest_addEntry(list_);
             if (at >= 0)
                 dvk_nbest_deleteEntry(list_, at);
             return at >= 0;
         }},
        {"addUtt", [&] { return dvk_nbest_addUtt(list_, 3, u(u"again")) == 0; }},
        {"addValue", [&] { return dvk_nbest_addValue(list_, 4, 9, "call", u(u"call"), u(u"kol"), 3, words, 1, ir) == 0; }},
        {"addValueNoIds", [&] { return dvk_nbest_addValueNoIds(list_, 4, 10, "goTo", u(u"go"), nullptr) == 0; }},
        {"update", [&] { return dvk_nbest_update(list_, 3, other, 5) == 0; }},
        {"duplicateValue", [&] { return dvk_nbest_duplicateValue(other, 6, list_, 2, 20) == 0; }},
    };
    for (const Operation& op : operations) {
        SCOPED_TRACE(op.name);
        for (long n = 0;; ++n) {
            const long live = dvk_mem_liveBlocks();
            const long lists = dvk_nbest_liveLists();
            const std::string before = describe(list_);
            dvk_mem_failAfter(n);
            const bool done = op.run();
            dvk_mem_failAfter(-1);
            if (done)
                break;
            EXPECT_EQ(dvk_mem_liveBlocks(), live) << "allocation " << n;
            EXPECT_EQ(dvk_nbest_liveLists(), lists) << "allocation " << n;
            EXPECT_EQ(describe(list_), before) << "allocation " << n;
            ASSERT_LT(n, 200) << "never done";
        }
    }
    EXPECT_EQ(narrow(dvk_nbest_getStr(list_, 2, 20)), "Ann");
    EXPECT_EQ(narrow(dvk_nbest_getSpokenForm(list_, 2, 20)), "an");
    dvk_nbest_destroy(&other);
}

} // namespace
