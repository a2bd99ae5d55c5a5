// A constraint from a text: the walk of the text's tokens through a
// scripted source, against the sequences the source allows by brute force.
#include "core/brevit/search/class_networks.h"
#include "core/brevit/search/class_pair_constraint.h"
#include "core/brevit/search/constraint_manager.h"
#include "tests/brevit/search/class_manager_test.h"
#include "tests/brevit/search/class_pair_paths.h"

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

class ClassText : public ClassManagerTest {
protected:
    void SetUp() override
    {
        ClassManagerTest::SetUp();
        // a: words 2 (pron 1) and 5 (prons 2, 3); b: word 6 (pron 4); c: word 7 (pron 5).
        m_vocabulary.setSpellings({{u"a", {2, 5}}, {u"b", {6}}, {u"c", {7}}});
        ScriptedSpec spec = named("source");
        spec.steps = {{0, 1, 1, 0, 10}, {0, 2, 2, 0, 300}, {0, 2, 2, 0, 300}, {0, 3, 3, 0, 0},
                      {1, 4, 4, 1, 20}, {2, 4, 5, 1, 30},   {2, 5, 6, 1, 40}, {5, 1, 7, 1, 0}};
        m_source = owned(spec);
    }

    void TearDown() override
    {
        for (Constraint* con : m_built)
            Constraint_Delete(con, 0);
        m_built.clear();
        ClassManagerTest::TearDown();
    }

    Constraint* build(const std::u16string& text)
    {
        Constraint* con = ClassManager_CreateConstraintFromText(m_classes, m_source,
                                                                reinterpret_cast<const uint16_t*>(text.c_str()));
        if (con != nullptr)
            m_built.push_back(con);
        return con;
    }

    int32_t count(const std::u16string& text)
    {
        return ClassManager_CountTextExpansion(m_classes, m_source, reinterpret_cast<const uint16_t*>(text.c_str()));
    }

    // Sequences of the tokens' candidates the source's steps allow, one
    // candidate per token, by brute force.
    Sequences allowed(const std::vector<std::vector<uint16_t>>& candidates)
    {
        const std::map<uint16_t, uint16_t> firstPron{{2, 1}, {5, 2}, {6, 4}, {7, 5}};
        const std::vector<std::array<uint32_t, 3>> steps{{0, 1, 1}, {0, 2, 2}, {0, 3, 3}, {1, 4, 4},
                                                          {2, 4, 5}, {2, 5, 6}, {5, 1, 7}};
        Sequences out;
        std::function<void(size_t, uint32_t, WordSequence)> go = [&](size_t k, uint32_t state, WordSequence so) {
            if (k == candidates.size()) {
                out.insert(so);
                return;
            }
            for (uint16_t word : candidates[k])
                for (const auto& s : steps)
                    if (s[0] == state && s[1] == firstPron.at(word)) {
                        WordSequence longer = so;
                        longer.push_back(word);
                        go(k + 1, s[2], longer);
                    }
        };
        go(0, 0, {});
        return out;
    }

    Constraint* m_source = nullptr;
    std::vector<Constraint*> m_built;
};

TEST_F(ClassText, AcceptsExactlyTheSequencesTheSourceAllows)
{
    struct Case {
        std::u16string text;
        std::vector<std::vector<uint16_t>> candidates;
        int32_t steps;
    };
    const Case cases[] = {
        {u"a b", {{2, 5}, {6}}, 4},
        {u"a c", {{2, 5}, {7}}, 3},     // 2 leads nowhere with c: a dead step
        {u" a  b a ", {{2, 5}, {6}, {2, 5}}, 5},
        {u"b", {{6}}, 0},
    };
    for (const Case& k : cases) {
        EXPECT_EQ(count(k.text), k.steps);
        const int32_t before = m_classes->idsInUse;
        Constraint* con = build(k.text);
        if (k.steps == 0) {
            EXPECT_EQ(con, nullptr);
            continue;
        }
        ASSERT_NE(con, nullptr);
        EXPECT_STREQ(Constraint_GetName(con), "XDN0");
        EXPECT_EQ(m_classes->idsInUse, before + k.steps);
        EXPECT_EQ(acceptedSequences(con, m_classes), allowed(k.candidates));
        // Each class is one word, named by its id.
        for (int32_t i = 1; i < ClassPairConstraint_GetNumClasses(con); ++i) {
            const uint32_t classId = ClassPairConstraint_GetClassId(con, i);
            EXPECT_EQ(std::string(ClassManager_GetClassName(m_classes, classId)), std::to_string(classId));
            EXPECT_EQ(classMembers(m_classes, classId).size(), 1u);
        }
    }
}

TEST_F(ClassText, StepsCarryTheSourcesScoresUpTo255)
{
    Constraint* con = build(u"a b");
    ASSERT_NE(con, nullptr);
    std::vector<uint32_t> starts(8);
    starts.resize(static_cast<size_t>(ClassPairConstraint_GetSuccessors(con, 0, starts.data())));
    std::vector<int32_t> scores;
    for (uint32_t s : starts)
        scores.push_back(ClassPairConstraint_GetTransitionScoreByIds(con, 0, s));
    std::sort(scores.begin(), scores.end());
    EXPECT_EQ(scores, (std::vector<int32_t>{10, 255}));
}

TEST_F(ClassText, NothingForAnEmptyTextOrUnknownWords)
{
    EXPECT_EQ(count(u""), 0);
    EXPECT_EQ(build(u""), nullptr);
    EXPECT_EQ(build(u"   "), nullptr);
    EXPECT_EQ(build(u"zz"), nullptr);
    EXPECT_EQ(m_classes->idsInUse, 1);
    // Steps the source allows are kept even where the text then has no word:
    // the constraint accepts nothing.
    Constraint* con = build(u"a zz");
    ASSERT_NE(con, nullptr);
    EXPECT_TRUE(acceptedSequences(con, m_classes).empty());
}

TEST_F(ClassText, EachAllocationFailingInTurnKeepsNoClass)
{
    for (uint64_t n = 1;; ++n) {
        const int32_t before = m_classes->idsInUse;
        const uint64_t failures = m_allocator.failures();
        m_allocator.failAt(m_allocator.calls() + n);
        Constraint* con = ClassManager_CreateConstraintFromText(m_classes, m_source, reinterpret_cast<const uint16_t*>(u"a b a"));
        m_allocator.failAt(0);
        if (m_allocator.failures() == failures) {
            ASSERT_NE(con, nullptr);
            m_built.push_back(con);
            EXPECT_EQ(acceptedSequences(con, m_classes), allowed({{2, 5}, {6}, {2, 5}}));
            break;
        }
        EXPECT_EQ(con, nullptr) << n;
        EXPECT_EQ(m_classes->idsInUse, before) << n;
    }
}

} // namespace
