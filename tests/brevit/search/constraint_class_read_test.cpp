#include "core/brevit/search/class_networks.h"
#include "core/brevit/search/constraint_class.h"

#include "tests/brevit/search/class_manager_test.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

namespace {

class ConstraintClassReadTest : public ClassManagerTest {
protected:
    const ConstraintClass* fill(const std::vector<Words>& members)
    {
        EXPECT_EQ(addClass("c", 4, 8), 1);
        for (const Words& w : members)
            EXPECT_EQ(add("c", w), 1);
        EXPECT_EQ(ClassManager_FinishEdit(m_classes), 1);
        return record("c");
    }

    // Linear reference of FindMemberByFirstId: the lowest member starting with id.
    static int32_t scanFirst(const ConstraintClass* c, uint16_t id)
    {
        for (int32_t m = 0; m < c->numMembers; ++m)
            if (ConstraintClass_GetStartActiveId(c, m) == id)
                return m;
        return kConstraintClassNoWord;
    }
};

TEST_F(ConstraintClassReadTest, ReadsTheSharedStartExample)
{
    const ConstraintClass* c = fill({{6}, {5, 7, 9}, {5}, {5, 7}});
    int32_t length = -1;
    EXPECT_EQ(ConstraintClass_FindMemberByFirstId(c, 5, &length), 0);
    EXPECT_EQ(length, 1);
    EXPECT_EQ(ConstraintClass_FindMemberByFirstId(c, 6, &length), 3);
    EXPECT_EQ(ConstraintClass_FindMemberByFirstId(c, 4, &length), kConstraintClassNoWord);
    uint16_t second = 0;
    int32_t isPair = -1;
    EXPECT_EQ(ConstraintClass_GetNextMemberSecondId(c, 0, &second, &isPair), 1);
    EXPECT_EQ(second, 7);
    EXPECT_EQ(isPair, 1);
    EXPECT_EQ(ConstraintClass_GetNextMemberSecondId(c, 1, &second, &isPair), 1);
    EXPECT_EQ(isPair, 0);
    EXPECT_EQ(ConstraintClass_GetNextMemberSecondId(c, 2, &second, &isPair), 0);
    EXPECT_EQ(ConstraintClass_CountSharedStartMembers(c, 1), 1);
    EXPECT_EQ(ConstraintClass_CountSharedStartMembers(c, 0), 0);
    EXPECT_EQ(ConstraintClass_CountSharedStartMembers(c, 2), 0);

    EXPECT_EQ(ConstraintClass_GetMemberId(c, 2, 3, &length), kConstraintClassNoWord);
    EXPECT_EQ(length, 3);
    EXPECT_EQ(ConstraintClass_GetMemberId(c, 2, 2, &length), 9);
    // Past the members: none.
    EXPECT_EQ(ConstraintClass_GetMemberId(c, 4, 0, &length), kConstraintClassNoWord);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(ConstraintClass_GetMemberLength(c, 4), 0);
    EXPECT_EQ(ConstraintClass_GetMemberScore(c, 4), 0);
    EXPECT_EQ(ConstraintClass_GetPhraseId(c, 4), 0);

    EXPECT_EQ(ConstraintClass_CompareMembers(c, 0, 1, 0), -1);
    EXPECT_EQ(ConstraintClass_CompareMembers(c, 3, 1, 0), 1);
    const uint16_t key[2] = {5, 7};
    EXPECT_EQ(ConstraintClass_CompareMemberToIds(c, 1, key, 2, 0), 0);
    EXPECT_EQ(ConstraintClass_CompareMemberToIds(c, 0, key, 2, 0), 1);
    EXPECT_EQ(ConstraintClass_CompareMemberToIds(c, 2, key, 2, 0), -1);

    int32_t first = 0, run = 0, single = 0;
    // Prons 2 and 3 are word 5's; 4 is word 6's.
    EXPECT_EQ(ClassManager_FindMembersStartingWithPron(m_classes, id("c"), 3, &first, &run, &single), 1);
    EXPECT_EQ(std::vector<int32_t>({first, run, single}), std::vector<int32_t>({0, 3, 1}));
    EXPECT_EQ(ClassManager_FindMembersStartingWithPron(m_classes, id("c"), 4, &first, &run, &single), 1);
    EXPECT_EQ(std::vector<int32_t>({first, run, single}), std::vector<int32_t>({3, 1, 1}));
    EXPECT_EQ(ClassManager_FindMembersStartingWithPron(m_classes, id("c"), 5, &first, &run, &single), 0);
    EXPECT_EQ(run, 0);
}

TEST_F(ConstraintClassReadTest, ScoresAndPhraseIdsReadAsStored)
{
    ASSERT_EQ(addClass("w", 4, 8, true, true), 1);
    ASSERT_EQ(add("w", {7}, 40, 3), 1);
    ASSERT_EQ(add("w", {7}, 50, -2), 1);
    ASSERT_EQ(ClassManager_FinishEdit(m_classes), 1);
    const ConstraintClass* c = record("w");
    EXPECT_EQ(ConstraintClass_HasMemberScores(c), 1);
    EXPECT_EQ(ConstraintClass_HasPhraseIds(c), 1);
    EXPECT_EQ(ConstraintClass_GetPhraseId(c, 0), -2);
    EXPECT_EQ(ConstraintClass_GetMemberScore(c, 0), 50);
    EXPECT_EQ(ConstraintClass_GetMemberScore(c, 1), 40);
    const uint16_t key[1] = {7};
    EXPECT_EQ(ConstraintClass_CompareMemberToIds(c, 1, key, 1, 3), 0);
    EXPECT_EQ(ConstraintClass_CompareMemberToIds(c, 1, key, 1, 4), 1);
    EXPECT_EQ(ConstraintClass_CompareMembers(c, 0, 1, 1), -1);
}

// Random classes of single words and of mixed members against a linear scan.
TEST_F(ConstraintClassReadTest, SearchesAgreeWithALinearScan)
{
    std::mt19937 random(52);
    for (int round = 0; round < 40; ++round) {
        const std::string name = "r" + std::to_string(round);
        ASSERT_EQ(addClass(name.c_str(), 4, 8), 1);
        const bool singles = round % 2 == 0;
        const int members = 1 + static_cast<int>(random() % 30);
        for (int i = 0; i < members; ++i) {
            Words w;
            const int length = singles ? 1 : 1 + static_cast<int>(random() % 3);
            for (int k = 0; k < length; ++k)
                w.push_back(static_cast<uint16_t>(1 + random() % 12));
            ASSERT_EQ(add(name.c_str(), w), 1);
        }
        ASSERT_EQ(ClassManager_FinishEdit(m_classes), 1);
        const ConstraintClass* c = record(name.c_str());
        for (uint16_t word = 0; word <= 13; ++word) {
            int32_t length = -1;
            const int32_t found = ConstraintClass_FindMemberByFirstId(c, word, &length);
            EXPECT_EQ(found, scanFirst(c, word)) << name << " word " << word;
            if (found != kConstraintClassNoWord) {
                EXPECT_EQ(length, ConstraintClass_MemberLength(c, found));
            }
        }
        for (int32_t m = 0; m < c->numMembers; ++m) {
            int32_t shared = 0;
            if (ConstraintClass_MemberLength(c, m) >= 2)
                for (int32_t n = m + 1; n < c->numMembers && ConstraintClass_GetStartActiveId(c, n) ==
                                                                 ConstraintClass_GetStartActiveId(c, m);
                     ++n)
                    ++shared;
            EXPECT_EQ(ConstraintClass_CountSharedStartMembers(c, m), shared) << name << " member " << m;
            uint16_t second = 0;
            int32_t isPair = 0;
            const bool next = m + 1 < c->numMembers &&
                              ConstraintClass_GetStartActiveId(c, m + 1) == ConstraintClass_GetStartActiveId(c, m);
            EXPECT_EQ(ConstraintClass_GetNextMemberSecondId(c, m, &second, &isPair), next ? 1 : 0);
            if (next) {
                int32_t length = 0;
                EXPECT_EQ(second, ConstraintClass_GetMemberId(c, m + 1, 1, &length));
                EXPECT_EQ(isPair, length == 2 ? 1 : 0);
            }
        }
    }
}

TEST(ClassBaseName, OdometerStepsAndCarries)
{
    struct Case {
        const char* from;
        const char* to;
    };
    for (const Case& k : {Case{" aaaaaaaa", " aaaaaaab"}, Case{" aaaaaaaz", " aaaaaaba"},
                          Case{" azzzzzzz", " baaaaaaa"}, Case{" zzzzzzzz", " aaaaaaaa"}}) {
        char name[kClassBaseNameLength + 1];
        std::strcpy(name, k.from);
        ClassManager_StepBaseName(name);
        EXPECT_STREQ(name, k.to);
    }
}

TEST(ClassBaseName, GeneratedNamesAreABlankAndEightLetters)
{
    EXPECT_EQ(ClassManager_IsGeneratedClassName(" aaaaaaab__CLCopyName"), 1);
    EXPECT_EQ(ClassManager_IsGeneratedClassName(" aaaaaaab"), 1);
    EXPECT_EQ(ClassManager_IsGeneratedClassName(" aaaa"), 0);
    EXPECT_EQ(ClassManager_IsGeneratedClassName(""), 0);
    EXPECT_EQ(ClassManager_IsGeneratedClassName("aaaaaaaab"), 0);
    EXPECT_EQ(ClassManager_IsGeneratedClassName(" aaaa{aaa"), 0);
}

TEST_F(ConstraintClassReadTest, NextBaseNameSkipsNamesInUse)
{
    char expected[kClassBaseNameLength + 1];
    std::strcpy(expected, ClassManager_NextVarBaseName(nullptr));
    ClassManager_StepBaseName(expected);
    // The next two bases are taken by restored classes.
    ASSERT_EQ(addClass((std::string(expected) + "__CLCopyName").c_str()), 1);
    ClassManager_StepBaseName(expected);
    ASSERT_EQ(addClass((std::string(expected) + "_0").c_str()), 1);
    ClassManager_StepBaseName(expected);
    EXPECT_STREQ(ClassManager_NextVarBaseName(m_classes), expected);
}

} // namespace
