// The "Opt" network of a class: generated classes and transitions against
// the worked example, the word sequences the substituted constraint
// accepts against the class's own, refusals and allocation failures.
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/search/class_manager_tables.h"
#include "core/brevit/search/class_networks.h"
#include "core/brevit/search/class_pair_constraint.h"
#include "tests/brevit/search/class_manager_test.h"
#include "tests/brevit/search/class_pair_paths.h"
#include "tests/support/param_block_builder.h"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

class ClassOpt : public ClassManagerTest {
protected:
    void SetUp() override
    {
        m_params.emplace(ParamBlockBuilder().word(kBrevitParamPronRunMaxLevel, 8).word(kBrevitParamPronRunMaxWords, 8));
        ClassManagerTest::SetUp();
        ASSERT_EQ(addClass("C", 6, 12), 1);
        for (const Words& w : {Words{1}, Words{1, 2}, Words{1, 2, 3}, Words{1, 4}, Words{5}, Words{6, 7}})
            ASSERT_EQ(add("C", w), 1);
        ASSERT_EQ(addClass("P"), 1);
        ASSERT_EQ(add("P", {9}), 1);
        ASSERT_EQ(addClass("Q"), 1);
        ASSERT_EQ(add("Q", {8}), 1);
        ASSERT_EQ(ClassManager_FinishEdit(m_classes), 1);
    }

    void TearDown() override
    {
        for (Constraint* con : m_made)
            Constraint_Delete(con, 0);
        m_made.clear();
        ClassManagerTest::TearDown();
    }

    Constraint* keep(Constraint* con)
    {
        if (con != nullptr)
            m_made.push_back(con);
        return con;
    }

    // 0 -> P -> C -> Q -> end.
    Constraint* chain(const char* middle = "C")
    {
        Constraint* con = keep(ClassPairConstraint_Create("chain", m_classes, 3, 3, 0));
        EXPECT_EQ(ClassPairConstraint_AddTransition(con, 0, id("P"), 0), 1);
        EXPECT_EQ(ClassPairConstraint_AddTransition(con, id("P"), id(middle), 0), 1);
        EXPECT_EQ(ClassPairConstraint_AddTransition(con, id(middle), id("Q"), 0), 1);
        EXPECT_EQ(ClassPairConstraint_AddTransition(con, id("Q"), 0, 0), 1);
        return con;
    }

    std::vector<Words> members(uint32_t classId) { return classMembers(m_classes, classId); }

    Sequences accepted(Constraint* con) { return acceptedSequences(con, m_classes); }

    // Generated classes by their name after the base name.
    std::map<std::string, std::vector<Words>> generated()
    {
        std::map<std::string, std::vector<Words>> out;
        for (uint32_t i = 1; i <= static_cast<uint32_t>(m_classes->maxId); ++i) {
            const char* name = ClassManager_GetClassName(m_classes, i);
            if (ClassManager_IsNamed(m_classes, i) && name[0] == ' ')
                out[std::string(name + kClassBaseNameLength)] = members(i);
        }
        return out;
    }

    std::optional<ScopedParamBlock> m_params;
    std::vector<Constraint*> m_made;
};

TEST_F(ClassOpt, CountPassSumsClassesTransitionsAndNameBytes)
{
    const char* base = ClassManager_NextVarBaseName(m_classes);
    int32_t classes = 0, transitions = 0, nameBytes = 0;
    ASSERT_EQ(ClassManager_ExpandClassForOpt(m_classes, nullptr, 0, id("C"), 0, 0, 6, base, &classes, &transitions,
                                             &nameBytes, 0, 0),
              1);
    EXPECT_EQ(classes, 5);
    EXPECT_EQ(transitions, 5);
    EXPECT_EQ(nameBytes, 68);
    m_params.emplace(ParamBlockBuilder());
    classes = transitions = nameBytes = 0;
    ASSERT_EQ(ClassManager_ExpandClassForOpt(m_classes, nullptr, 0, id("C"), 0, 0, 6, base, &classes, &transitions,
                                             &nameBytes, 0, 0),
              1);
    EXPECT_EQ(classes, 1);
    EXPECT_EQ(transitions, 1);
    EXPECT_EQ(nameBytes, 12);
}

TEST_F(ClassOpt, FactorsTheExampleAndAcceptsExactlyTheClassesSequences)
{
    Constraint* con = chain();
    Constraint* result = nullptr;
    ClassManager_CreateOptimizedConstraint(m_classes, "C", 1, &con, &result);
    ASSERT_NE(result, con);
    keep(result);
    EXPECT_EQ(generated(), (std::map<std::string, std::vector<Words>>{{"_0", {{5}, {6, 7}}},
                                                                      {"_1", {{1}}},
                                                                      {"_1_0", {{4}}},
                                                                      {"_1_1", {{2}}},
                                                                      {"_1_1_0", {{3}}}}));
    std::map<std::string, uint32_t> ids;
    for (uint32_t i = 1; i <= static_cast<uint32_t>(m_classes->maxId); ++i)
        if (ClassManager_IsNamed(m_classes, i) && ClassManager_GetClassName(m_classes, i)[0] == ' ')
            ids[ClassManager_GetClassName(m_classes, i) + kClassBaseNameLength] = i;
    const std::vector<std::pair<std::string, std::string>> steps{
        {"P", "_0"}, {"P", "_1"}, {"_1", "_1_0"}, {"_1", "_1_1"}, {"_1_1", "_1_1_0"}};
    const auto idOf = [&](const std::string& n) { return n[0] == '_' ? ids[n] : id(n.c_str()); };
    for (const auto& [from, to] : steps)
        EXPECT_EQ(ClassPairConstraint_HasTransition(result, idOf(from), idOf(to)), 1) << from << "->" << to;
    for (const char* n : {"_0", "_1", "_1_0", "_1_1", "_1_1_0"})
        EXPECT_EQ(ClassPairConstraint_HasTransition(result, ids[n], id("Q")), 1) << n;
    EXPECT_EQ(ClassPairConstraint_HasTransition(result, ids["_1_0"], ids["_1_1"]), 0);
    EXPECT_EQ(ClassPairConstraint_GetNumClasses(result), 8);   // boundary, P, Q and five

    Sequences expected;
    for (const Words& m : members(id("C"))) {
        Words w{9};
        w.insert(w.end(), m.begin(), m.end());
        w.push_back(8);
        expected.insert(w);
    }
    EXPECT_EQ(accepted(result), expected);
    EXPECT_EQ(accepted(con), expected);
}

TEST_F(ClassOpt, WithoutFactoringOneClassTakesEveryMember)
{
    m_params.emplace(ParamBlockBuilder());
    Constraint* con = chain();
    Constraint* result = nullptr;
    ClassManager_CreateOptimizedConstraint(m_classes, "C", 1, &con, &result);
    ASSERT_NE(result, con);
    keep(result);
    EXPECT_EQ(generated(), (std::map<std::string, std::vector<Words>>{{"_0", members(id("C"))}}));
    EXPECT_EQ(accepted(result), accepted(con));
}

TEST_F(ClassOpt, RefusalsGiveTheInputs)
{
    ASSERT_EQ(addClass("weighted", 2, 2, true), 1);
    ASSERT_EQ(add("weighted", {1}, 7), 1);
    ASSERT_EQ(addClass("phrases", 2, 2, false, true), 1);
    ASSERT_EQ(add("phrases", {1}, 0, 4), 1);
    ASSERT_EQ(addClass("empty"), 1);
    ASSERT_EQ(ClassManager_FinishEdit(m_classes), 1);
    Constraint* withC = chain();
    struct Case {
        const char* name;
        const char* className;
        Constraint* con;
    };
    const Case cases[] = {
        {"weights", "weighted", chain("weighted")},
        {"phrase ids", "phrases", chain("phrases")},
        {"no members", "empty", chain("empty")},
        {"no such class", "none", withC},
        {"not held by the constraint", "C", chain("P")},
        {"a constraint alias name", "<s>", withC},
    };
    const int32_t ids = m_classes->idsInUse;
    for (const Case& k : cases) {
        Constraint* result = nullptr;
        ClassManager_CreateOptimizedConstraint(m_classes, k.className, 1, &k.con, &result);
        EXPECT_EQ(result, k.con) << k.name;
        EXPECT_EQ(m_classes->idsInUse, ids) << k.name;
    }
    ClassManager* other = ClassManager_Create(m_vocabulary.voc(), nullptr, m_constraints, 4);
    Constraint* result = nullptr;
    ClassManager_CreateOptimizedConstraint(other, "C", 1, &withC, &result);
    EXPECT_EQ(result, withC);
    ClassManager_Delete(other);
    result = reinterpret_cast<Constraint*>(0x1);
    ClassManager_CreateOptimizedConstraint(m_classes, "C", 0, &withC, &result);
    EXPECT_EQ(result, reinterpret_cast<Constraint*>(0x1));
}

TEST_F(ClassOpt, EachAllocationFailingInTurnGivesTheInputsAndNoClasses)
{
    Constraint* con = chain();
    const Sequences expected = accepted(con);
    for (uint64_t n = 1;; ++n) {
        const int32_t ids = m_classes->idsInUse;
        const uint64_t failures = m_allocator.failures();
        m_allocator.failAt(m_allocator.calls() + n);
        Constraint* result = nullptr;
        ClassManager_CreateOptimizedConstraint(m_classes, "C", 1, &con, &result);
        m_allocator.failAt(0);
        if (m_allocator.failures() == failures) {
            ASSERT_NE(result, con);
            keep(result);
            EXPECT_EQ(accepted(result), expected);
            break;
        }
        if (result != con) {
            // The substitution itself ran out of memory inside: it hands the
            // input back, so only a failure before it reaches here.
            keep(result);
            EXPECT_EQ(accepted(result), expected) << n;
            break;
        }
        EXPECT_EQ(m_classes->idsInUse, ids) << n;
        EXPECT_TRUE(generated().empty()) << n;
        EXPECT_EQ(m_classes->optScratch, nullptr) << n;
    }
}

} // namespace
