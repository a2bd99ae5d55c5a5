// The class manager: ids, names, aliases, constraint aliases, references,
// deletion, unreferenced-class removal, printing and IR pairing.
#include "tests/brevit/search/class_manager_test.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace {

class ClassIds : public ClassManagerTest {
protected:
    // A constraint "con" held by the constraint manager; its index.
    int32_t addConstraint(const char* name = "con")
    {
        return ConstraintManager_AddConstraint(m_constraints, ScriptedConstraint_Create(named(name)), -1);
    }
    uint32_t constraintWord(int32_t i)
    {
        return static_cast<uint32_t*>(m_constraints->references[i >> 8])[i & 255];
    }
};

TEST_F(ClassIds, CreationAndTheBoundaryNames)
{
    EXPECT_EQ(ClassManager_Create(nullptr, nullptr, nullptr, -1), nullptr);
    EXPECT_EQ(m_classes->idsInUse, 1);
    EXPECT_EQ(m_classes->maxId, 0);
    EXPECT_EQ(m_classes->classSlots, 1u);
    EXPECT_EQ(ClassManager_FindClass(m_classes, "<s>"), 0);
    EXPECT_EQ(ClassManager_FindClass(m_classes, "<e>"), 0);
    EXPECT_EQ(ClassManager_FindClass(m_classes, "none"), -1);
    EXPECT_STREQ(ClassManager_GetClassName(m_classes, 0), "<s>");
    EXPECT_EQ(ClassManager_AddClass(m_classes, "<s>", 1, 1, 0, 0, 0, 0), 0);
    EXPECT_EQ(ClassManager_GetVocabulary(m_classes), m_vocabulary.voc());
    ClassManager_Delete(nullptr);
}

TEST_F(ClassIds, FreedIdsAreReusedLowestFirst)
{
    for (const char* name : {"a", "b", "c"})
        ASSERT_EQ(addClass(name), 1);
    EXPECT_EQ(std::vector<uint32_t>({id("a"), id("b"), id("c")}), (std::vector<uint32_t>{1, 2, 3}));
    EXPECT_EQ(addClass("b"), 0);   // taken
    ClassManager_DeleteClass(m_classes, id("b"));
    EXPECT_EQ(ClassManager_FindClass(m_classes, "b"), -1);
    EXPECT_EQ(m_classes->idsInUse, 3);
    ASSERT_EQ(addClass("d"), 1);
    EXPECT_EQ(id("d"), 2u);
    ASSERT_EQ(addClass("e"), 1);
    EXPECT_EQ(id("e"), 4u);
    EXPECT_EQ(m_classes->maxId, 4);
}

TEST_F(ClassIds, AliasesPointAtTheFinalTargetAndCountOnIt)
{
    ASSERT_EQ(addClass("a"), 1);
    const int32_t b = ClassManager_AddAlias(m_classes, "b", id("a"));
    const int32_t c = ClassManager_AddAlias(m_classes, "c", static_cast<uint32_t>(b));
    ASSERT_GT(c, 0);
    EXPECT_EQ(static_cast<uint32_t*>(m_classes->aliases[0])[c], id("a"));
    EXPECT_EQ(refCount(id("a")), 2u);
    EXPECT_EQ(ClassManager_FindClass(m_classes, "c"), c);   // an alias of a class: its own id
    EXPECT_EQ(ClassManager_GetClass(m_classes, static_cast<uint32_t>(c)), record("a"));
    EXPECT_EQ(ClassManager_AddClassCopy(m_classes, "d", "c"), c + 1);
    EXPECT_EQ(refCount(id("a")), 3u);
    EXPECT_EQ(ClassManager_AddClassCopy(m_classes, "e", "missing"), -1);
    EXPECT_EQ(ClassManager_AddAlias(m_classes, "f", 0), -1);
    EXPECT_EQ(ClassManager_AddAlias(m_classes, "f", 99), -1);
    EXPECT_EQ(addClass("b"), 0);   // the name of an alias is taken too
}

TEST_F(ClassIds, ConstraintAliasesStandForAConstraint)
{
    const int32_t index = addConstraint("con");
    Constraint* con = ConstraintManager_GetConstraint(m_constraints, index);
    ASSERT_EQ(ClassManager_AddConstraintAlias(m_classes, "k", con), 1);
    EXPECT_EQ(m_classes->numConstraintAliases, 1);
    EXPECT_EQ(constraintWord(index), 0x40000001u);
    int32_t flag = 0;
    EXPECT_EQ(ClassManager_LookupName(m_classes, "k", &flag), 0x40000000 | index);
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(ClassManager_FindClass(m_classes, "k"), -1);
    EXPECT_STREQ(ClassManager_GetClassName(m_classes, 0x40000000u | static_cast<uint32_t>(index)), "con");
    EXPECT_EQ(ClassManager_GetConstraintOfRef(m_classes, 0x40000000u | static_cast<uint32_t>(index)), con);
    EXPECT_EQ(ClassManager_GetConstraintOfRef(m_classes, 1), nullptr);
    EXPECT_EQ(ClassManager_GetPartnerClass(m_classes, 0x40000000u), 0u);
    // An alias of a constraint alias is a constraint alias.
    ASSERT_GT(ClassManager_AddAlias(m_classes, "k2", 1), 0);   // id 1 is k
    EXPECT_EQ(m_classes->numConstraintAliases, 2);
    EXPECT_EQ(constraintWord(index), 0x40000002u);
    EXPECT_EQ(ClassManager_FindClass(m_classes, "k2"), -1);
    // A constraint the manager does not hold gives no alias.
    Constraint* stranger = owned(named("stranger"));
    EXPECT_EQ(ClassManager_AddConstraintAlias(m_classes, "s", stranger), 0);
    EXPECT_EQ(ClassManager_AddConstraintAlias(m_classes, "s", nullptr), 0);
}

TEST_F(ClassIds, TheTablesHoldAtMost262144Ids)
{
    ASSERT_EQ(addClass("a"), 1);
    char name[16];
    for (int32_t k = 0; k < 262142; ++k) {
        std::snprintf(name, sizeof name, "x%d", k);
        ASSERT_EQ(ClassManager_AddAlias(m_classes, name, 1), k + 2);
    }
    EXPECT_EQ(m_classes->maxId, 262143);
    EXPECT_EQ(ClassManager_AddAlias(m_classes, "full", 1), -1);
    EXPECT_EQ(addClass("full"), 0);
    EXPECT_EQ(m_classes->maxId, 262143);
    EXPECT_EQ(refCount(1), 262142u);
}

TEST_F(ClassIds, ReleasingDeletesAtZeroAndStoredReferencesToNothingChangeNothing)
{
    ASSERT_EQ(addClass("a"), 1);
    ASSERT_EQ(addClass("t"), 1);
    const int32_t alias = ClassManager_AddAlias(m_classes, "u", id("t"));
    EXPECT_EQ(ClassManager_AddRef(m_classes, id("a")), 1);
    for (uint32_t bad : {0u, 9u, 262144u, 0xFFFFFFu}) {
        EXPECT_EQ(ClassManager_AddRef(m_classes, bad), 0) << bad;
        EXPECT_EQ(ClassManager_Release(m_classes, bad), 0) << bad;
    }
    EXPECT_EQ(ClassManager_Release(m_classes, id("a")), 1);
    EXPECT_EQ(ClassManager_FindClass(m_classes, "a"), -1);   // deleted at 0
    // The alias's release at 0 releases its target, which goes too.
    EXPECT_EQ(ClassManager_AddRef(m_classes, static_cast<uint32_t>(alias)), 1);
    EXPECT_EQ(ClassManager_Release(m_classes, static_cast<uint32_t>(alias)), 1);
    EXPECT_EQ(ClassManager_FindClass(m_classes, "u"), -1);
    EXPECT_EQ(ClassManager_FindClass(m_classes, "t"), -1);
    EXPECT_EQ(m_classes->idsInUse, 1);
    // A count already 0 does not wrap.
    ASSERT_EQ(addClass("z"), 1);
    EXPECT_EQ(ClassManager_Release(m_classes, id("z")), 0);
    EXPECT_EQ(refCount(id("z")), 0u);
    EXPECT_EQ(ClassManager_FindClass(m_classes, "z"), 1);
}

TEST_F(ClassIds, ModelSetClassesAreNeverDeleted)
{
    ASSERT_EQ(addClass("m"), 1);
    record("m")->persistent = 0;
    ClassManager_DeleteClass(m_classes, id("m"));
    EXPECT_EQ(ClassManager_FindClass(m_classes, "m"), 1);
}

TEST_F(ClassIds, RemoveUnreferencedClassesCountsTheEntriesDeleted)
{
    for (const char* name : {"m", "r", "t"})
        ASSERT_EQ(addClass(name), 1);
    record("m")->persistent = 0;
    ASSERT_GT(ClassManager_AddAlias(m_classes, "u", id("t")), 0);
    const int32_t index = addConstraint();
    ASSERT_EQ(ClassManager_AddConstraintAlias(m_classes, "k", ConstraintManager_GetConstraint(m_constraints, index)), 1);
    EXPECT_EQ(m_classes->idsInUse, 6);
    EXPECT_EQ(ClassManager_RemoveUnreferencedClasses(m_classes), 4);
    EXPECT_EQ(m_classes->idsInUse, 2);
    EXPECT_EQ(ClassManager_FindClass(m_classes, "m"), 1);
    for (const char* gone : {"r", "t", "u", "k"})
        EXPECT_EQ(ClassManager_LookupName(m_classes, gone, nullptr), -1) << gone;
    EXPECT_EQ(m_classes->numConstraintAliases, 0);
    EXPECT_EQ(constraintWord(index), 0x40000000u);
    EXPECT_EQ(ClassManager_RemoveUnreferencedClasses(m_classes), 0);
}

std::string gPrinted;

void capture(void* handle, const char* format, ...)
{
    EXPECT_EQ(handle, &gPrinted);
    char line[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    gPrinted += line;
}

TEST_F(ClassIds, PrintAllClassesNamesEveryEntry)
{
    ASSERT_EQ(addClass("a"), 1);
    ASSERT_GT(ClassManager_AddAlias(m_classes, "b", id("a")), 0);
    const int32_t index = addConstraint("con");
    ASSERT_EQ(ClassManager_AddConstraintAlias(m_classes, "k", ConstraintManager_GetConstraint(m_constraints, index)), 1);
    gPrinted.clear();
    ClassManager_PrintAllClasses(m_classes, &gPrinted, capture);
    EXPECT_EQ(gPrinted, "There are 3 stored Classes (maxId 3).\n"
                        "Class  2 \"b\" aliases class a\n"
                        "Class  3 \"k\" aliases constraint con\n");
    ClassManager_PrintAllClasses(m_classes, &gPrinted, nullptr);
}

TEST_F(ClassIds, PairIRClassConditions)
{
    int ir = 0;
    struct Case {
        const char* what;
        bool firstIR, secondIR, firstFilled, secondFilled;
        int32_t expected;
    };
    const Case cases[] = {
        {"IR class and word class", true, false, false, false, 1},
        {"word class and IR class", false, true, false, false, 1},
        {"two IR classes", true, true, false, false, 0},
        {"two word classes", false, false, false, false, 0},
        {"a filled class", true, false, false, true, 0},
        {"a filled IR class", true, false, true, false, 0},
    };
    int k = 0;
    for (const Case& c : cases) {
        const std::string a = "a" + std::to_string(k), b = "b" + std::to_string(k++);
        for (const auto& [name, isIR] : {std::pair{a, c.firstIR}, {b, c.secondIR}})
            ASSERT_EQ(isIR ? ClassManager_AddIRClass(m_classes, name.c_str(), 4, &ir, 3) : addClass(name.c_str()), 1);
        if (c.firstFilled)
            record(a.c_str())->numMembers = 1;
        if (c.secondFilled) {
            ASSERT_EQ(add(b.c_str(), {1}), 1);   // still in the edit buffer
        }
        EXPECT_EQ(ClassManager_PairIRClass(m_classes, id(a.c_str()), id(b.c_str())), c.expected) << c.what;
        if (c.firstFilled)
            record(a.c_str())->numMembers = 0;
        if (c.expected == 1) {
            EXPECT_EQ(ClassManager_GetPartnerClass(m_classes, id(a.c_str())), id(b.c_str())) << c.what;
            EXPECT_EQ(ClassManager_GetPartnerClass(m_classes, id(b.c_str())), id(a.c_str())) << c.what;
            const std::string& word = c.firstIR ? b : a;
            EXPECT_EQ(refCount(id(word.c_str())), 1u) << c.what;
        }
    }
    EXPECT_EQ(ClassManager_PairIRClass(m_classes, id("a0"), 99), 0);
    void* object = nullptr;
    int32_t index = 0;
    ClassManager_GetClassIRRange(m_classes, id("a0"), &object, &index);
    EXPECT_EQ(object, &ir);
    EXPECT_EQ(index, 3);
    ClassManager_GetClassIRRange(m_classes, 99, &object, &index);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(index, -1);
    // Releasing the IR class at 0 releases its companion too.
    ASSERT_EQ(ClassManager_AddRef(m_classes, id("a0")), 1);
    EXPECT_EQ(ClassManager_Release(m_classes, id("a0")), 1);
    EXPECT_EQ(ClassManager_FindClass(m_classes, "a0"), -1);
    EXPECT_EQ(ClassManager_FindClass(m_classes, "b0"), -1);
}

TEST_F(ClassIds, RecordAccessors)
{
    ASSERT_EQ(ClassManager_AddClass(m_classes, "f", 4, 4, 1, 0, 1, 1), 1);
    const uint32_t f = id("f");
    EXPECT_EQ(ClassManager_GetClassFlagA(m_classes, f), 1);
    EXPECT_EQ(ClassManager_GetClassFlagB(m_classes, f), 1);
    EXPECT_EQ(ClassManager_ClassHasWeights(m_classes, f), 1);
    EXPECT_EQ(ClassManager_ClassHasPhraseIds(m_classes, f), 0);
    EXPECT_EQ(ClassManager_TreeNeedsRebuild(m_classes, f), 0);
    ClassManager_RequestAllStartLists(m_classes);
    EXPECT_EQ(record("f")->startListWanted, 1);
    EXPECT_EQ(ClassManager_GetClassTree(m_classes, f), nullptr);
    for (uint32_t none : {0u, 5u})
        EXPECT_EQ(ClassManager_GetClassFlagA(m_classes, none), 0);
}

TEST_F(ClassIds, EachAllocationFailingInTurnWhileCreatingEntries)
{
    const int32_t index = addConstraint("con");
    Constraint* con = ConstraintManager_GetConstraint(m_constraints, index);
    ASSERT_EQ(addClass("base"), 1);
    // Enough entries that the tables grow a page on the way.
    for (int32_t k = 0; k < 300; ++k) {
        const std::string name = "e" + std::to_string(k);
        const int32_t kind = k % 3;
        for (uint64_t n = 1;; ++n) {
            const int32_t idsBefore = m_classes->idsInUse;
            const size_t live = m_allocator.liveBlocks();
            const uint64_t failures = m_allocator.failures();
            m_allocator.failAt(m_allocator.calls() + n);
            const int32_t result = kind == 0   ? addClass(name.c_str())
                                   : kind == 1 ? ClassManager_AddAlias(m_classes, name.c_str(), 1)
                                               : ClassManager_AddConstraintAlias(m_classes, name.c_str(), con);
            const bool failed = m_allocator.failures() > failures;
            m_allocator.failAt(0);
            if (!failed) {
                EXPECT_GT(result, 0);
                break;
            }
            EXPECT_LE(result, 0) << name << " allocation " << n;
            EXPECT_EQ(m_classes->idsInUse, idsBefore);
            EXPECT_EQ(ClassManager_LookupName(m_classes, name.c_str(), nullptr), -1);
            EXPECT_LE(m_allocator.liveBlocks(), live);
            EXPECT_EQ(m_classes->classPages, m_classes->aliasPages);
            EXPECT_EQ(m_classes->namePages, m_classes->refPages);
        }
    }
    // Creation itself.
    for (uint64_t n = 1;; ++n) {
        const size_t live = m_allocator.liveBlocks();
        const uint64_t failures = m_allocator.failures();
        m_allocator.failAt(m_allocator.calls() + n);
        ClassManager* m = ClassManager_Create(nullptr, nullptr, nullptr, 10);
        const bool failed = m_allocator.failures() > failures;
        m_allocator.failAt(0);
        if (!failed) {
            ASSERT_NE(m, nullptr);
            ClassManager_Delete(m);
            break;
        }
        EXPECT_EQ(m, nullptr);
        EXPECT_EQ(m_allocator.liveBlocks(), live);
    }
}

} // namespace
