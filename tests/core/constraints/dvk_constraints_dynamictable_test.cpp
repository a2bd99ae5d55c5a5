// The dynamic constraint table: ids, class lists, transitions, copies of
// static constraints, class replacement, members of its own classes, the
// accessors, a table built from a configuration, and every allocation of
// every operation failing in turn.
#include "core/constraints/dvk_constraints_dynamictable.h"

#include "core/config/dvk_config.h"
#include "tests/core/constraints/constraints_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

namespace {

using Texts = std::vector<std::u16string>;
using Row = std::tuple<std::string, std::string, int>;

std::vector<std::string> classNames(const dvk_constraints_Constraint* c)
{
    std::vector<std::string> names;
    for (dvk_constraints_WordClass** wc = c->wordClasses; *wc != nullptr; ++wc)
        names.push_back((*wc)->name);
    return names;
}

std::vector<Row> rows(const dvk_constraints_Constraint* c)
{
    std::vector<Row> out;
    for (int32_t it = dvk_constraint_getFirstTransition(c); it != 0; it = dvk_constraint_getNextTransition(c, it))
        out.push_back({dvk_constraint_getTransitionFrom(c, it), dvk_constraint_getTransitionTo(c, it),
                       dvk_constraint_getTransitionPenalty(c, it)});
    EXPECT_EQ(static_cast<int32_t>(out.size()), dvk_constraint_getTransitionCount(c));
    return out;
}

std::vector<int32_t> listedIds(dvk_constraints_DynamicTable* table)
{
    dvk_constraints_Constraint** list = dvk_constraints_getDynamicConstraintList(table);
    std::vector<int32_t> ids;
    for (dvk_constraints_Constraint** c = list; *c != nullptr; ++c)
        ids.push_back((*c)->id);
    dvk_constraints_destroyDynamicConstraintList(&list);
    EXPECT_EQ(list, nullptr);
    return ids;
}

class DynamicTableTest : public ConstraintClassTest {
protected:
    void SetUp() override
    {
        ConstraintClassTest::SetUp();
        table_ = dvk_constraints_createDynamicTable();
        ASSERT_NE(table_, nullptr);
    }
    void TearDown() override
    {
        dvk_constraints_destroyDynamicTable(&table_);
        EXPECT_EQ(table_, nullptr);
        ConstraintClassTest::TearDown();
    }

    int32_t addClass(const char* name, int32_t key, std::vector<int32_t> ids, std::vector<int32_t> features)
    {
        return dvk_constraints_addWordClass(table_, name, key, ids.data(), features.data(),
                                            static_cast<int32_t>(ids.size()));
    }

    dvk_constraints_DynamicTable* table_ = nullptr;
};

TEST_F(DynamicTableTest, ConstraintsAreNumberedDownFromMinusTwo)
{
    ASSERT_EQ(addClass("a", 9, {100}, {68}), 0);
    const int32_t classes[] = {0};
    EXPECT_EQ(dvk_constraints_addConstraint(table_, "first", classes, 1)->id, -2);
    EXPECT_EQ(dvk_constraints_copyStaticConstraint(table_, "second", 7)->id, -3);
    EXPECT_EQ(dvk_constraints_addConstraint(table_, "third", classes, 1)->id, -4);
    EXPECT_EQ(listedIds(table_), (std::vector<int32_t>{-4, -3, -2}));
    EXPECT_STREQ(dvk_constraints_getDynamicConstraint(table_, -3)->name, "second");
    EXPECT_EQ(dvk_constraints_getDynamicConstraint(table_, -5), nullptr);
}

TEST_F(DynamicTableTest, ConstraintsListTheBoundariesThenTheirClasses)
{
    ASSERT_EQ(addClass("zero", 9, {100}, {68}), 0);
    ASSERT_EQ(addClass("one", 27, {101}, {68}), 1);
    const int32_t classes[] = {1, 0};
    dvk_constraints_Constraint* c = dvk_constraints_addConstraint(table_, "both", classes, 2);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(classNames(c), (std::vector<std::string>{"_CONSTRAINT_CLASS_END", "_CONSTRAINT_CLASS_START",
                                                        "one", "zero"}));
    EXPECT_EQ(c->dynamic, 1);
    EXPECT_EQ(c->option, 0);
    EXPECT_EQ(c->rulesProvider, nullptr);
    EXPECT_EQ(c->rebuildAlways, 0);
    EXPECT_EQ(c->source, nullptr);
    EXPECT_EQ(c->wordClasses[2]->key, 27);
    EXPECT_EQ(c->wordClasses[2]->memberType, 1);

    for (int32_t wrong : {2, -1}) {
        const int32_t bad[] = {0, wrong};
        EXPECT_EQ(dvk_constraints_addConstraint(table_, "bad", bad, 2), nullptr) << wrong;
    }
    EXPECT_EQ(dvk_constraints_addConstraint(table_, "next", classes, 1)->id, -3);
}

TEST_F(DynamicTableTest, TransitionsJoinTheBoundariesAndTheTablesClasses)
{
    ASSERT_EQ(addClass("zero", 9, {100}, {68}), 0);
    const int32_t classes[] = {0};
    dvk_constraints_Constraint* c = dvk_constraints_addConstraint(table_, "c", classes, 1);
    EXPECT_EQ(dvk_constraint_getFirstTransition(c), 0);  // none yet
    EXPECT_EQ(dvk_constraint_getTransitionCount(c), 0);
    EXPECT_EQ(dvk_constraints_addTransition(table_, -2, -2, 0, 0), 0);
    EXPECT_EQ(c->option, 0);
    EXPECT_EQ(dvk_constraints_addTransition(table_, -2, 0, -3, 15), 0);
    EXPECT_EQ(c->option, 1);
    EXPECT_EQ(dvk_constraints_addTransition(table_, -2, -3, 0, 0), 1);  // END is no start
    EXPECT_EQ(dvk_constraints_addTransition(table_, -2, 0, -2, 0), 1);  // START is no end
    EXPECT_EQ(dvk_constraints_addTransition(table_, -9, 0, 0, 0), 1);
    EXPECT_EQ(dvk_constraints_addTransition(table_, -2, 0, 1, 0), 1);
    EXPECT_EQ(rows(c), (std::vector<Row>{{"_CONSTRAINT_CLASS_START", "zero", 0}, {"zero", "_CONSTRAINT_CLASS_END", 15}}));
    EXPECT_EQ(dvk_constraints_getDynamicTransitionFrom(c, 1), getWordClassFromId(1)->name);
    EXPECT_EQ(dvk_constraints_getDynamicTransitionTo(c, 2), getWordClassFromId(66)->name);
    // Outside 1..count the accessors answer nothing.
    for (int32_t it : {0, 3, -1}) {
        EXPECT_EQ(dvk_constraints_getDynamicTransitionFrom(c, it), nullptr) << it;
        EXPECT_EQ(dvk_constraints_getDynamicTransitionTo(c, it), nullptr) << it;
        EXPECT_EQ(dvk_constraints_getDynamicTransitionPenalty(c, it), 0) << it;
    }
    EXPECT_EQ(dvk_constraints_getDynamicNextTransition(c, 2), 0);
    EXPECT_EQ(dvk_constraints_getDynamicNextTransition(c, 0), 0);
}

TEST_F(DynamicTableTest, CopiesOfStaticConstraintsKeepTheirNetwork)
{
    dvk_constraints_Constraint* copy = dvk_constraints_copyStaticConstraint(table_, "copy", 7);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(classNames(copy), classNames(&sendEmail_constraint));
    EXPECT_EQ(rows(copy), rows(&sendEmail_constraint));
    EXPECT_EQ(rows(copy).size(), 19u);
    EXPECT_EQ(copy->rulesProvider, dvk_constraints_getDigitRules);
    EXPECT_EQ(copy->option, 1);
    EXPECT_EQ(copy->source, &sendEmail_constraint);
    EXPECT_EQ(copy->dynamic, 1);
    EXPECT_EQ(dvk_constraints_copyStaticConstraint(table_, "pfl", 56)->rebuildAlways, 1);
    EXPECT_EQ(dvk_constraints_copyStaticConstraint(table_, "bad", 66), nullptr);
    EXPECT_EQ(dvk_constraints_copyStaticConstraint(table_, "bad", -1), nullptr);
    EXPECT_EQ(listedIds(table_), (std::vector<int32_t>{-3, -2}));
}

TEST_F(DynamicTableTest, ReplacingAClassChangesTheListAndEveryTransition)
{
    ASSERT_EQ(addClass("phrases", 9, {100}, {68}), 0);
    dvk_constraints_Constraint* copy = dvk_constraints_copyStaticConstraint(table_, "copy", 7);
    const std::vector<Row> before = rows(copy);
    const std::vector<std::string> classesBefore = classNames(copy);
    EXPECT_EQ(dvk_constraints_replaceWordClass(table_, -2, 20, 0), 1);  // names and auxNames
    EXPECT_EQ(dvk_constraints_replaceWordClass(table_, -2, 42, 0), 1);
    EXPECT_EQ(dvk_constraints_replaceWordClass(table_, -3, 9, 0), 1);
    EXPECT_EQ(dvk_constraints_replaceWordClass(table_, -2, 9, 1), 1);
    EXPECT_EQ(rows(copy), before);
    EXPECT_EQ(classNames(copy), classesBefore);

    EXPECT_EQ(dvk_constraints_replaceWordClass(table_, -2, 9, 0), 0);
    std::vector<std::string> classesAfter = classesBefore;
    std::replace(classesAfter.begin(), classesAfter.end(), std::string("email"), std::string("phrases"));
    EXPECT_EQ(classNames(copy), classesAfter);
    std::vector<Row> after = before;
    for (Row& r : after) {
        if (std::get<0>(r) == "email")
            std::get<0>(r) = "phrases";
        if (std::get<1>(r) == "email")
            std::get<1>(r) = "phrases";
    }
    EXPECT_EQ(rows(copy), after);
    // The static constraint it came from is untouched.
    EXPECT_EQ(rows(&sendEmail_constraint), before);
}

TEST_F(DynamicTableTest, NamesUpTo31CharactersAreTaken)
{
    const std::string fits(31, 'n'), longer(32, 'n');
    dvk_constraints_Constraint* c = dvk_constraints_copyStaticConstraint(table_, fits.c_str(), 37);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->name, fits);
    EXPECT_EQ(dvk_constraints_copyStaticConstraint(table_, longer.c_str(), 37), nullptr);
    EXPECT_EQ(dvk_constraints_addConstraint(table_, longer.c_str(), nullptr, 0), nullptr);
    EXPECT_EQ(dvk_constraints_addConstraint(table_, "VSearch Cat #74", nullptr, 0)->id, -3);
}

TEST_F(DynamicTableTest, ClassMembersFollowTheirFeatures)
{
    enableFeature(9);
    ASSERT_EQ(addClass("gated", 9, {100, 101, 102}, {68, 4, 9}), 0);
    ASSERT_EQ(addClass("off", 9, {101, 102}, {4, 9}), 1);
    enableFeature(9, 0);
    ASSERT_EQ(addClass("unused", 9, {1}, {68}), 2);
    const int32_t classes[] = {0, 1};
    dvk_constraints_Constraint* c = dvk_constraints_addConstraint(table_, "c", classes, 2);
    dvk_constraints_WordClass* gated = c->wordClasses[2];
    dvk_constraints_WordClass* off = c->wordClasses[3];
    EXPECT_EQ(walkSurfaces(gated, strings_), Texts{stringText(100)});
    enableFeature(9);
    EXPECT_EQ(walkSurfaces(gated, strings_), stringTexts({100, 102}));
    enableFeature(9, 0);
    EXPECT_EQ(walkSurfaces(off, strings_), Texts{});
    dvk_ucs2_Char* surface = nullptr;
    dvk_ucs2_Char* spoken = nullptr;
    gated->getEntry(gated, strings_, 4, &surface, &spoken);
    EXPECT_EQ(surface, nullptr);
    EXPECT_EQ(spoken, nullptr);
    EXPECT_EQ(gated->context != nullptr, true);
    EXPECT_EQ(gated->provider, 0);
    EXPECT_EQ(gated->rebuildAlways, 0);
    EXPECT_EQ(gated->noSeparator, 0);
}

// Each operation with each of its allocations failing in turn: it reports
// failure and leaves the table as it was, the next id included.
TEST_F(DynamicTableTest, FailedOperationsLeaveTheTableAsItWas)
{
    ASSERT_EQ(addClass("zero", 9, {100}, {68}), 0);
    const int32_t classes[] = {0};
    ASSERT_NE(dvk_constraints_addConstraint(table_, "kept", classes, 1), nullptr);
    const std::vector<int32_t> ids = {100, 101};
    const std::vector<int32_t> features = {68, 68};
    struct Operation {
        const char* name;
        std::function<bool()> run;  // true: done
    } operations[] = {
        {"addWordClass", [&] { return dvk_constraints_addWordClass(table_, "w", 9, ids.data(), features.data(), 2) >= 0; }},
        {"addConstraint", [&] { return dvk_constraints_addConstraint(table_, "c", classes, 1) != nullptr; }},
        {"copyStaticConstraint", [&] { return dvk_constraints_copyStaticConstraint(table_, "s", 49) != nullptr; }},
        {"addTransition", [&] { return dvk_constraints_addTransition(table_, -2, -2, 0, 15) == 0; }},
        {"getDynamicConstraintList", [&] {
             dvk_constraints_Constraint** list = dvk_constraints_getDynamicConstraintList(table_);
             const bool made = list != nullptr;
             dvk_constraints_destroyDynamicConstraintList(&list);
             return made;
         }},
    };
    for (const Operation& op : operations) {
        SCOPED_TRACE(op.name);
        for (long n = 0;; ++n) {
            const long live = dvk_mem_liveBlocks();
            const std::vector<int32_t> before = listedIds(table_);
            const int32_t transitions = dvk_constraint_getTransitionCount(dvk_constraints_getDynamicConstraint(table_, -2));
            const int32_t option = dvk_constraints_getDynamicConstraint(table_, -2)->option;
            dvk_mem_failAfter(n);
            const bool done = op.run();
            dvk_mem_failAfter(-1);
            if (done)
                break;
            EXPECT_EQ(dvk_mem_liveBlocks(), live) << "allocation " << n;
            EXPECT_EQ(listedIds(table_), before) << "allocation " << n;
            EXPECT_EQ(dvk_constraint_getTransitionCount(dvk_constraints_getDynamicConstraint(table_, -2)), transitions);
            EXPECT_EQ(dvk_constraints_getDynamicConstraint(table_, -2)->option, option);
            ASSERT_LT(n, 100) << "never done";
        }
    }
    // The next constraint still gets the next id.
    const int32_t next = -2 - static_cast<int32_t>(listedIds(table_).size());
    EXPECT_EQ(dvk_constraints_addConstraint(table_, "last", classes, 1)->id, next);
}

TEST_F(DynamicTableTest, TableCreationFailsCleanly)
{
    for (long n = 0; n < 3; ++n) {
        const long live = dvk_mem_liveBlocks();
        dvk_mem_failAfter(n);
        dvk_constraints_DynamicTable* table = dvk_constraints_createDynamicTable();
        dvk_mem_failAfter(-1);
        EXPECT_EQ(table, nullptr) << n;
        EXPECT_EQ(dvk_mem_liveBlocks(), live) << n;
    }
}

// A configuration's grammar, built on the real table.
TEST_F(DynamicTableTest, ConfigurationGrammarIsBuilt)
{
    enableFeature(0);
    enableFeature(1);
    writeTableFile("dvk_config_gen.bin", threeGates().bytes());
    dvk_config_Manager* cm = dvk_config_createConfigManager();
    ASSERT_NE(cm, nullptr);
    ASSERT_EQ(dvk_config_addConstraints(cm, table_), 0);
    dvk_config_destroyConfigManager(&cm);
    EXPECT_EQ(listedIds(table_), (std::vector<int32_t>{-4, -3, -2}));

    const dvk_constraints_Constraint* shared = dvk_constraints_getDynamicConstraint(table_, -2);
    EXPECT_STREQ(shared->name, "VSearch #0");
    EXPECT_EQ(classNames(shared).size(), 10u);
    const std::vector<Row> sharedRows = rows(shared);
    EXPECT_EQ(sharedRows.size(), 21u);
    for (const Row& r : sharedRows) {
        EXPECT_NE(std::get<0>(r), "email");
        EXPECT_NE(std::get<1>(r), "email");
    }
    const Row in{"_CONSTRAINT_CLASS_START", "VSearch #0", 0}, out{"VSearch #0", "_CONSTRAINT_CLASS_END", 0};
    EXPECT_EQ(std::count(sharedRows.begin(), sharedRows.end(), in), 2);
    EXPECT_EQ(std::count(sharedRows.begin(), sharedRows.end(), out), 2);
    EXPECT_EQ(shared->option, 1);
    EXPECT_EQ(shared->source, &sendEmail_constraint);

    const dvk_constraints_Constraint* gate3 = dvk_constraints_getDynamicConstraint(table_, -3);
    EXPECT_EQ(classNames(gate3), (std::vector<std::string>{"_CONSTRAINT_CLASS_END", "_CONSTRAINT_CLASS_START",
                                                            "VSearch #2", "VSearch Cat #2"}));
    EXPECT_EQ(rows(gate3).size(), 4u);
    EXPECT_EQ(gate3->option, 0);
    const dvk_constraints_Constraint* category = dvk_constraints_getDynamicConstraint(table_, -4);
    EXPECT_EQ(classNames(category).size(), 3u);
    EXPECT_EQ(rows(category).size(), 2u);

    dvk_constraints_WordClass* phrases = nullptr;
    for (dvk_constraints_WordClass** wc = shared->wordClasses; *wc != nullptr; ++wc) {
        if (std::string((*wc)->name) == "VSearch #0")
            phrases = *wc;
    }
    ASSERT_NE(phrases, nullptr);
    EXPECT_EQ(walkSurfaces(phrases, strings_), stringTexts({100, 101, 102}));
    enableFeature(1, 0);
    EXPECT_EQ(walkSurfaces(phrases, strings_), stringTexts({100, 101}));
}

} // namespace
