#include "core/brevit/search/class_pair_constraint.h"

#include "core/brevit/search/class_manager.h"
#include "tests/brevit/search/class_manager_test.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

using Ids = std::vector<uint32_t>;

// (from, to, score); to 0 is the end.
struct Step {
    uint32_t from;
    uint32_t to;
    int32_t score;
};

class ClassPairConstraintTest : public ClassManagerTest {
protected:
    void TearDown() override
    {
        for (Constraint* con : m_made)
            ClassPairConstraint_Delete(con, 0);
        m_made.clear();
        ClassManagerTest::TearDown();
    }

    Constraint* make(const std::vector<Step>& steps, int32_t classes = 2, int32_t transitions = 3, int32_t scores = 1)
    {
        Constraint* con = ClassPairConstraint_Create("cp", m_classes, classes, transitions, scores);
        EXPECT_NE(con, nullptr);
        for (const Step& s : steps)
            EXPECT_EQ(ClassPairConstraint_AddTransition(con, s.from, s.to, s.score), 1) << s.from << "->" << s.to;
        m_made.push_back(con);
        return con;
    }

    Constraint* keep(Constraint* con)
    {
        if (con != nullptr)
            m_made.push_back(con);
        return con;
    }

    static ClassPairConstraint* pair(Constraint* con) { return reinterpret_cast<ClassPairConstraint*>(con); }
    static Ids classIds(Constraint* con) { return Ids(pair(con)->classIds, pair(con)->classIds + pair(con)->classCount); }
    static Ids offsets(Constraint* con)
    {
        return Ids(pair(con)->offsets, pair(con)->offsets + pair(con)->classCount + 1);
    }
    static Ids targets(Constraint* con)
    {
        return Ids(pair(con)->targets, pair(con)->targets + pair(con)->transitionCount);
    }
    static Ids transitionScores(Constraint* con)
    {
        return Ids(pair(con)->transitionScores, pair(con)->transitionScores + pair(con)->transitionCount);
    }
    static Ids endScores(Constraint* con)
    {
        return Ids(pair(con)->endScores, pair(con)->endScores + pair(con)->classCount);
    }

    // Every transition by ids, in class-index order, ends as (class, 0).
    static std::vector<Step> steps(Constraint* con)
    {
        std::vector<Step> out;
        const ClassPairConstraint* c = pair(con);
        for (int32_t a = 0; a < c->classCount; ++a) {
            for (uint32_t t = c->offsets[a]; t < c->offsets[a + 1]; ++t)
                out.push_back({c->classIds[a], c->classIds[c->targets[t]],
                               c->hasScores != 0 ? c->transitionScores[t] : 0});
            if (c->endFlags[a] != 0)
                out.push_back({c->classIds[a], 0, c->hasScores != 0 ? c->endScores[a] : 0});
        }
        return out;
    }

    std::vector<Constraint*> m_made;
};

bool operator==(const Step& a, const Step& b) { return a.from == b.from && a.to == b.to && a.score == b.score; }
void PrintTo(const Step& s, std::ostream* os) { *os << s.from << "->" << s.to << " " << s.score; }

const std::vector<Step> kExample = {{0, 7, 10}, {7, 9, 20}, {9, 0, 30}};

TEST_F(ClassPairConstraintTest, BuildsTheSmallExampleAndRefusesConflicts)
{
    Constraint* con = make(kExample);
    EXPECT_EQ(classIds(con), (Ids{0, 7, 9}));
    EXPECT_EQ(offsets(con), (Ids{0, 1, 2, 2}));
    EXPECT_EQ(targets(con), (Ids{1, 2}));
    EXPECT_EQ(pair(con)->endFlags[2], 1);
    EXPECT_EQ(ClassPairConstraint_GetEndScore(con, 9, 0, 0, 0), 30);
    EXPECT_EQ(ClassPairConstraint_ComputeCRC(con, 0), 0x11F7F440u);

    EXPECT_EQ(ClassPairConstraint_AddTransition(con, 7, 9, 20), 1);
    EXPECT_EQ(ClassPairConstraint_AddTransition(con, 7, 9, 21), 0);
    EXPECT_EQ(ClassPairConstraint_AddTransition(con, 9, 0, 31), 0);
    EXPECT_EQ(ClassPairConstraint_AddTransition(con, 0, 0, 0), 0);
    EXPECT_EQ(ClassPairConstraint_ComputeCRC(con, 0), 0x11F7F440u);

    EXPECT_EQ(ClassPairConstraint_AddTransition(con, 9, 11, 40), 1);
    EXPECT_EQ(pair(con)->classCapacity, 6);
    EXPECT_EQ(offsets(con), (Ids{0, 1, 2, 3, 3}));
    EXPECT_EQ(ClassPairConstraint_GetTransitionScoreByIds(con, 9, 11), 40);

    Constraint* plain = make(kExample, 2, 3, 0);
    EXPECT_EQ(ClassPairConstraint_ComputeCRC(plain, 0), 0xBBB897A4u);
    EXPECT_EQ(ClassPairConstraint_AddTransition(plain, 7, 9, 99), 1);
    EXPECT_EQ(ClassPairConstraint_GetEndScore(plain, 9, 0, 0, 0), 0);
}

TEST_F(ClassPairConstraintTest, CreationRefusesWhatItCannotHold)
{
    EXPECT_EQ(ClassPairConstraint_Create(std::string(64, 'n').c_str(), m_classes, 2, 3, 0), nullptr);
    EXPECT_EQ(ClassPairConstraint_Create("x", m_classes, 2, 0, 0), nullptr);
    Constraint* empty = keep(ClassPairConstraint_Create(std::string(63, 'n').c_str(), m_classes, 0, 0, 0));
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->inUse, 0);
    EXPECT_EQ(ClassPairConstraint_AddTransition(empty, 0, 7, 0), 0);
    EXPECT_EQ(std::string(empty->name), std::string(63, 'n'));
    EXPECT_EQ(ClassPairConstraint_ComputeCRC(empty, 0), ClassPairConstraint_ComputeCRC(empty, 0));
}

TEST_F(ClassPairConstraintTest, QueriesAnswerByClassId)
{
    Constraint* con = make({{0, 7, 10}, {0, 9, 11}, {7, 9, 20}, {7, 11, 21}, {9, 0, 30}, {11, 0, 31}, {11, 11, 5}});
    Ids out(8);
    EXPECT_EQ(ClassPairConstraint_GetSuccessors(con, 7, out.data()), 2);
    EXPECT_EQ(Ids(out.begin(), out.begin() + 2), (Ids{9, 11}));
    EXPECT_EQ(ClassPairConstraint_GetSuccessors(con, 0, nullptr), 2);
    EXPECT_EQ(ClassPairConstraint_GetPredecessors(con, 0, out.data()), 2);
    EXPECT_EQ(Ids(out.begin(), out.begin() + 2), (Ids{9, 11}));
    EXPECT_EQ(ClassPairConstraint_GetPredecessors(con, 11, out.data()), 2);
    EXPECT_EQ(Ids(out.begin(), out.begin() + 2), (Ids{7, 11}));
    EXPECT_EQ(ClassPairConstraint_GetPredecessors(con, 12, out.data()), 0);

    int32_t classes = 0, transitions = 0, starts = 0, ends = 0;
    ClassPairConstraint_GetInfo(con, &classes, &transitions, &starts, &ends);
    EXPECT_EQ(std::vector<int32_t>({classes, transitions, starts, ends}), std::vector<int32_t>({4, 5, 2, 2}));

    struct Case {
        uint32_t from, to;
        int32_t has, score;
    };
    for (const Case& k : std::vector<Case>{{0, 7, 1, 10}, {7, 11, 1, 21}, {9, 0, 1, 30}, {7, 0, 0, 0},
                                           {11, 11, 1, 5}, {9, 7, 0, 0}, {12, 7, 0, 0}, {7, 12, 0, 0}})
    {
        EXPECT_EQ(ClassPairConstraint_HasTransition(con, k.from, k.to), k.has) << k.from << "->" << k.to;
        EXPECT_EQ(ClassPairConstraint_GetTransitionScoreByIds(con, k.from, k.to), k.score) << k.from << "->" << k.to;
    }
    EXPECT_EQ(ClassPairConstraint_HasSuccessors(con, 9), 0);
    EXPECT_EQ(ClassPairConstraint_HasSuccessors(con, 11), 1);
    EXPECT_EQ(ClassPairConstraint_GetEndScore(con, 12, 0, 0, 0), 0);
    int32_t index = 0;
    EXPECT_EQ(ClassPairConstraint_FindClassIndex(con, 11, &index), 1);
    EXPECT_EQ(index, 3);
    EXPECT_EQ(ClassPairConstraint_FindClassIndex(con, 12, &index), 0);
    EXPECT_EQ(index, -1);

    EXPECT_EQ(ClassPairConstraint_IsSimple(con), 0);
    EXPECT_EQ(ClassPairConstraint_HasOptionalEnding(con), 1);
    EXPECT_EQ(ClassPairConstraint_IsSimple(make({{0, 7, 0}}, 1, 1)), 1);
    EXPECT_EQ(ClassPairConstraint_HasOptionalEnding(make({{0, 7, 0}, {7, 0, 0}}, 1, 1)), 0);
}

TEST_F(ClassPairConstraintTest, OptionalEndingSeesMultiWordMembers)
{
    ASSERT_EQ(addClass("names"), 1);
    ASSERT_EQ(add("names", {5}), 1);
    const uint32_t names = id("names");
    Constraint* con = make({{0, names, 0}, {names, 0, 0}}, 1, 1);
    EXPECT_EQ(ClassPairConstraint_HasOptionalEnding(con), 0);
    ASSERT_EQ(add("names", {5, 7}), 1);
    ASSERT_EQ(ClassManager_FinishEdit(m_classes), 1);
    EXPECT_EQ(ClassPairConstraint_HasOptionalEnding(con), 1);
    EXPECT_EQ(ClassPairConstraint_Check(con), 1);
}

TEST_F(ClassPairConstraintTest, JoinsScoreStartsEndsAndJoinsWrappingAt255)
{
    Constraint* first = make({{0, 7, 1}, {7, 9, 2}, {9, 0, 200}});
    Constraint* second = make({{0, 21, 100}, {0, 22, 3}, {21, 0, 4}, {22, 0, 5}});
    Constraint* con = make({}, 4, 1);
    ASSERT_EQ(ClassPairConstraint_AddTransitionsFrom(con, first, 0), 1);
    ASSERT_EQ(ClassPairConstraint_AddEndTransitionsFrom(con, second, 30, 60, 0), 1);
    ASSERT_EQ(ClassPairConstraint_AddStartTransitionsFrom(con, second, 31, 160, 0), 1);
    ASSERT_EQ(ClassPairConstraint_AddEndToStartTransitions(con, first, second, 100, 0), 1);
    EXPECT_EQ(steps(con), (std::vector<Step>{{7, 9, 2},
                                             {9, 21, (100 + ((200 + 100) & 255)) & 255},
                                             {9, 22, 3 + ((200 + 100) & 255)},
                                             {21, 30, 4 + 60},
                                             {22, 30, 5 + 60},
                                             {31, 21, (100 + 160) & 255},
                                             {31, 22, 3 + 160}}));
}

TEST_F(ClassPairConstraintTest, LoopsEndsToStarts)
{
    Constraint* con = make({{0, 7, 1}, {0, 9, 2}, {7, 9, 3}, {9, 0, 4}});
    ASSERT_EQ(ClassPairConstraint_LoopEndsToStarts(con), 1);
    EXPECT_EQ(steps(con), (std::vector<Step>{{0, 7, 1}, {0, 9, 2}, {7, 9, 3}, {9, 7, 0}, {9, 9, 0}, {9, 0, 4}}));
}

TEST_F(ClassPairConstraintTest, MergesConstraintsOfOneClassManager)
{
    Constraint* a = make({{0, 7, 10}, {7, 9, 20}, {9, 0, 30}});
    Constraint* b = make({{0, 9, 5}, {9, 11, 6}, {11, 0, 7}, {9, 0, 30}});
    Constraint* both[2] = {a, b};
    Constraint* merged = keep(ClassPairConstraint_MergeConstraints(both, 2));
    ASSERT_NE(merged, nullptr);
    EXPECT_EQ(classIds(merged), (Ids{0, 7, 9, 11}));
    EXPECT_EQ(offsets(merged), (Ids{0, 2, 3, 4, 4}));
    EXPECT_EQ(targets(merged), (Ids{1, 2, 2, 3}));
    EXPECT_EQ(transitionScores(merged), (Ids{10, 5, 20, 6}));
    EXPECT_EQ(endScores(merged), (Ids{0, 0, 30, 7}));

    Constraint* clash = make({{0, 9, 5}, {9, 0, 31}});
    Constraint* clashing[2] = {a, clash};
    EXPECT_EQ(ClassPairConstraint_MergeConstraints(clashing, 2), nullptr);

    ClassManager* other = ClassManager_Create(m_vocabulary.voc(), nullptr, m_constraints, 4);
    Constraint* foreign = ClassPairConstraint_Create("f", other, 2, 3, 1);
    ASSERT_EQ(ClassPairConstraint_AddTransition(foreign, 0, 7, 1), 1);
    Constraint* mixed[2] = {a, foreign};
    EXPECT_EQ(ClassPairConstraint_MergeConstraints(mixed, 2), nullptr);
    ClassPairConstraint_Delete(foreign, 0);
    ClassManager_Delete(other);

    Constraint* scripted = owned(named("s", kConstraintTypeWholeVocabulary));
    Constraint* withType2[2] = {a, scripted};
    EXPECT_EQ(ClassPairConstraint_MergeConstraints(withType2, 2), nullptr);
    EXPECT_EQ(ClassPairConstraint_MergeConstraints(both, 0), nullptr);
}

TEST_F(ClassPairConstraintTest, SubstitutesAClassByANetwork)
{
    Constraint* con = make({{0, 7, 10}, {7, 9, 20}, {9, 9, 3}, {9, 0, 30}});
    Constraint* inner = make({{0, 21, 0}, {21, 22, 0}, {22, 0, 0}, {0, 23, 0}, {23, 0, 0}});
    const uint32_t starts[2] = {21, 23};
    const uint32_t ends[2] = {22, 23};
    Constraint* out = keep(ClassPairConstraint_SubstituteClass(con, inner, starts, 2, ends, 2, m_classes, 9, "sub"));
    ASSERT_NE(out, con);
    EXPECT_EQ(std::string(out->name), "sub");
    EXPECT_EQ(steps(out), (std::vector<Step>{{0, 7, 10}, {7, 21, 20}, {7, 23, 20}, {21, 22, 0}, {22, 21, 3},
                                             {22, 23, 3}, {22, 0, 30}, {23, 21, 3}, {23, 23, 3}, {23, 0, 30}}));
    EXPECT_EQ(pair(out)->transitionCapacity, 12);

    EXPECT_EQ(ClassPairConstraint_SubstituteClass(con, inner, starts, 2, ends, 2, m_classes, 12, "x"), con);
    Constraint* noPredecessor = make({{7, 9, 1}, {9, 0, 0}});
    EXPECT_EQ(ClassPairConstraint_SubstituteClass(noPredecessor, inner, starts, 2, ends, 2, m_classes, 7, "x"),
              noPredecessor);
}

TEST_F(ClassPairConstraintTest, DeleteReturnsEveryReferenceCount)
{
    ASSERT_EQ(addClass("a"), 1);
    ASSERT_EQ(addClass("b"), 1);
    const uint32_t a = id("a"), b = id("b");
    ASSERT_EQ(ClassManager_AddRef(m_classes, a), 1);
    Constraint* con = ClassPairConstraint_Create("c", m_classes, 1, 1, 0);
    ASSERT_EQ(ClassPairConstraint_AddTransition(con, 0, b, 0), 1);
    ASSERT_EQ(ClassPairConstraint_AddTransition(con, b, a, 0), 1);
    ASSERT_EQ(ClassPairConstraint_AddTransition(con, a, 0, 0), 1);
    EXPECT_EQ(refCount(a), 2u);
    EXPECT_EQ(refCount(b), 1u);
    ClassPairConstraint_Delete(con, 0);
    EXPECT_EQ(refCount(a), 1u);
    EXPECT_EQ(id("b"), static_cast<uint32_t>(-1)) << "the last reference removed the class";
}

// Each building operation, with every allocation failing in turn: a failure
// leaves its inputs as they were and nothing leaks.
TEST_F(ClassPairConstraintTest, AllocationFailuresChangeNothing)
{
    Constraint* a = make(kExample);
    Constraint* b = make({{0, 9, 5}, {9, 11, 6}, {11, 0, 7}, {9, 9, 1}});
    Constraint* inner = make({{0, 21, 0}, {21, 22, 0}, {22, 0, 0}});
    const uint32_t starts[1] = {21};
    const uint32_t ends[1] = {22};
    Constraint* both[2] = {a, b};
    const std::vector<std::function<bool(Constraint*)>> operations = {
        [&](Constraint* grown) {
            return ClassPairConstraint_AddTransition(grown, 7, 9, 2) == 1 &&
                   ClassPairConstraint_AddTransition(grown, 9, 11, 3) == 1 &&
                   ClassPairConstraint_AddTransition(grown, 11, 12, 3) == 1;
        },
        [&](Constraint*) { return keep(ClassPairConstraint_Create("c", m_classes, 2, 3, 1)) != nullptr; },
        [&](Constraint*) { return keep(ClassPairConstraint_MergeConstraints(both, 2)) != nullptr; },
        [&](Constraint*) {
            Constraint* out = ClassPairConstraint_SubstituteClass(b, inner, starts, 1, ends, 1, m_classes, 9, "s");
            return out != b && keep(out) != nullptr;
        },
    };
    for (size_t k = 0; k < operations.size(); ++k) {
        for (uint64_t n = 1;; ++n) {
            Constraint* grown = ClassPairConstraint_Create("grow", m_classes, 1, 1, 1);
            ASSERT_NE(grown, nullptr);
            ASSERT_EQ(ClassPairConstraint_AddTransition(grown, 0, 7, 1), 1);
            const uint32_t before[3] = {ClassPairConstraint_ComputeCRC(grown, 0), ClassPairConstraint_ComputeCRC(a, 0),
                                        ClassPairConstraint_ComputeCRC(b, 0)};
            const uint64_t blocks = m_allocator.liveBlocks();
            const uint64_t failures = m_allocator.failures();
            m_allocator.failAt(m_allocator.calls() + n);
            const bool ok = operations[k](grown);
            const bool failed = m_allocator.failures() != failures;
            m_allocator.failAt(0);
            const uint32_t after[3] = {ClassPairConstraint_ComputeCRC(grown, 0), ClassPairConstraint_ComputeCRC(a, 0),
                                       ClassPairConstraint_ComputeCRC(b, 0)};
            if (!failed) {
                EXPECT_TRUE(ok) << k;
                EXPECT_GT(n, 1u) << k << ": no allocation was made to fail";
                ClassPairConstraint_Delete(grown, 0);
                break;
            }
            EXPECT_FALSE(ok) << k << " at " << n;
            if (k != 0) {
                EXPECT_EQ(m_allocator.liveBlocks(), blocks) << k << " at " << n;
                EXPECT_EQ(before[0], after[0]);
            }
            EXPECT_EQ(before[1], after[1]);
            EXPECT_EQ(before[2], after[2]);
            ClassPairConstraint_Delete(grown, 0);
        }
    }
}

} // namespace

#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/bin_file_writer.h"
#include "core/brevit/search/constraint_kind_doubles.h"
#include "tests/support/archive_fixture.h"

namespace {

// Stored records are read without the scripted kind's doubles, over classes
// with ids 1..12 that outlive every constraint.
class ClassPairStoreTest : public ClassPairConstraintTest {
protected:
    void SetUp() override
    {
        ClassPairConstraintTest::SetUp();
        m_previous = ConstraintKinds_InstallDoubles(nullptr);
        for (int i = 1; i <= 12; ++i) {
            const std::string name = "k" + std::to_string(i);
            ASSERT_EQ(addClass(name.c_str()), 1);
            ASSERT_EQ(ClassManager_AddRef(m_classes, id(name.c_str())), 1);
        }
    }
    void TearDown() override
    {
        ConstraintKinds_InstallDoubles(m_previous);
        ClassPairConstraintTest::TearDown();
    }

    using Fill = std::function<bool(BinFileWriter*)>;
    static std::string image(const Fill& fill)
    {
        ArchiveFixture archive("cp.dvk");
        archive.add("t", fill);
        archive.finish();
        return archive.bytes();
    }
    Constraint* read(const std::string& bytes, bool constraintFile)
    {
        ArchiveFixture archive("in.dvk");
        DVKTar* tar = archive.openMapped(bytes);
        EXPECT_NE(tar, nullptr);
        BinFileReader* reader = BinFileReader_Create(tar, "t", nullptr);
        EXPECT_NE(reader, nullptr);
        Constraint* con = constraintFile ? ClassPairConstraint_ReadFromConstraintFile(reader, m_classes)
                                         : ClassPairConstraint_ReadFromBinFile(reader, m_classes);
        BinFileReader_Delete(reader);
        return keep(con);
    }

    // A "bcn0" record of con's fields, changed by edit first.
    static Fill constraintFileRecord(Constraint* con, const std::function<void(ClassPairConstraint&)>& edit,
                                     int32_t offsetsCut = 0)
    {
        return [con, edit, offsetsCut](BinFileWriter* w) {
            ClassPairConstraint c = *pair(con);
            std::vector<uint32_t> ids(c.classIds, c.classIds + c.classCapacity);
            std::vector<uint32_t> offsets(c.offsets, c.offsets + c.classCapacity + 1);
            std::vector<uint32_t> targets(c.targets, c.targets + c.transitionCapacity);
            c.classIds = ids.data();
            c.offsets = offsets.data();
            c.targets = targets.data();
            edit(c);
            const auto word = [w](int32_t v) { return BinFileWriter_WriteUnsignedInt(w, static_cast<uint32_t>(v)) != 0; };
            return BinFileWriter_WriteArray(w, c.head.name, kConstraintNameSize, 1) && word(c.classCapacity) &&
                   word(c.classCount) && word(c.transitionCapacity) && word(c.transitionCount) &&
                   BinFileWriter_WriteArray(w, c.classIds, static_cast<uint32_t>(c.classIds ? c.classCapacity : 0), 4) &&
                   BinFileWriter_WriteArray(w, c.offsets, static_cast<uint32_t>(c.offsets ? c.classCapacity + 1 - offsetsCut : 0), 4) &&
                   BinFileWriter_WriteArray(w, c.endFlags, static_cast<uint32_t>(c.endFlags ? c.classCapacity : 0), 1) &&
                   BinFileWriter_WriteArray(w, c.targets, static_cast<uint32_t>(c.targets ? c.transitionCapacity : 0), 4) &&
                   word(c.hasScores) &&
                   BinFileWriter_WriteArray(w, c.transitionScores, static_cast<uint32_t>(c.transitionScores ? c.transitionCapacity : 0), 1) &&
                   BinFileWriter_WriteArray(w, c.endScores, static_cast<uint32_t>(c.endScores ? c.classCapacity : 0), 1);
        };
    }

    const ConstraintKindDoubles* m_previous = nullptr;
};

TEST_F(ClassPairStoreTest, RoundTripsThroughBothStoredForms)
{
    for (int32_t scores : {1, 0}) {
        Constraint* con = make({{0, 7, 10}, {7, 9, 20}, {9, 0, 30}, {9, 11, 40}}, 2, 3, scores);
        pair(con)->stateTableFlag = 1;
        const uint32_t crc = ClassPairConstraint_ComputeCRC(con, 0);
        Constraint* back = read(image([con](BinFileWriter* w) { return ClassPairConstraint_WritePSAFile(con, w) == 1; }),
                                false);
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(ClassPairConstraint_ComputeCRC(back, 0), crc);
        EXPECT_EQ(steps(back), steps(con));
        EXPECT_EQ(ClassPairConstraint_GetStateTableFlag(back), 1);
        EXPECT_STREQ(back->name, "cp");

        Constraint* fromFile = read(image(constraintFileRecord(con, [](ClassPairConstraint&) {})), true);
        ASSERT_NE(fromFile, nullptr);
        EXPECT_EQ(ClassPairConstraint_ComputeCRC(fromFile, 0), crc);
        // Read records stay editable.
        EXPECT_EQ(ClassPairConstraint_AddTransition(fromFile, 11, 0, 0), 1);
    }
}

TEST_F(ClassPairStoreTest, CopyIdsRoundTrip)
{
    Constraint* con = make(kExample);
    ClassPairConstraint* c = pair(con);
    c->copyClassIds = static_cast<uint32_t*>(DVKMem_Calloc(static_cast<uint32_t>(c->classCapacity) * 4u));
    c->copyClassIds[1] = 3;
    c->copyClassIds[2] = 4;
    // The copies hold references of their own, released with the constraint.
    ASSERT_EQ(ClassManager_AddRef(m_classes, 3), 1);
    ASSERT_EQ(ClassManager_AddRef(m_classes, 4), 1);
    Constraint* back = read(image([con](BinFileWriter* w) { return ClassPairConstraint_WritePSAFile(con, w) == 1; }), false);
    ASSERT_NE(back, nullptr);
    ASSERT_NE(pair(back)->copyClassIds, nullptr);
    EXPECT_EQ(pair(back)->copyClassIds[2], 4u);
    pair(back)->copyClassIds[1] = 0;
    pair(back)->copyClassIds[2] = 0;
}

TEST_F(ClassPairStoreTest, RefusesRecordsTheSearchCouldNotWalk)
{
    Constraint* con = make({{0, 7, 10}, {7, 9, 20}, {9, 0, 30}}, 2, 3, 1);
    using Edit = std::function<void(ClassPairConstraint&)>;
    struct Case {
        const char* what;
        Edit edit;
    };
    const std::vector<Case> cases = {
        {"capacity 0", [](ClassPairConstraint& c) { c.classCapacity = 0; }},
        {"count 0", [](ClassPairConstraint& c) { c.classCount = 0; }},
        {"count above capacity", [](ClassPairConstraint& c) { c.classCount = c.classCapacity + 1; }},
        {"transitions above capacity", [](ClassPairConstraint& c) { c.transitionCount = c.transitionCapacity + 1; }},
        {"no class ids", [](ClassPairConstraint& c) { c.classIds = nullptr; }},
        {"no offsets", [](ClassPairConstraint& c) { c.offsets = nullptr; }},
        {"no end flags", [](ClassPairConstraint& c) { c.endFlags = nullptr; }},
        {"no targets", [](ClassPairConstraint& c) { c.targets = nullptr; }},
        {"scores without arrays", [](ClassPairConstraint& c) { c.transitionScores = nullptr; }},
        {"id 0 not 0", [](ClassPairConstraint& c) { c.classIds[0] = 7; }},
        {"repeated id", [](ClassPairConstraint& c) { c.classIds[2] = 7; }},
        {"id above maxId", [](ClassPairConstraint& c) { c.classIds[2] = 4000; }},
        {"id 0 again", [](ClassPairConstraint& c) { c.classIds[2] = 0; }},
        {"offsets not from 0", [](ClassPairConstraint& c) { c.offsets[0] = 1; }},
        {"offsets falling", [](ClassPairConstraint& c) { c.offsets[1] = 3; }},
        {"offsets not to the count", [](ClassPairConstraint& c) { c.offsets[3] = 1; }},
        {"target 0", [](ClassPairConstraint& c) { c.targets[0] = 0; }},
        {"target past the classes", [](ClassPairConstraint& c) { c.targets[1] = 3; }},
    };
    for (const Case& k : cases)
        EXPECT_EQ(read(image(constraintFileRecord(con, k.edit)), true), nullptr) << k.what;
    EXPECT_EQ(read(image(constraintFileRecord(con, [](ClassPairConstraint&) {}, 1)), true), nullptr);
    EXPECT_NE(read(image(constraintFileRecord(con, [](ClassPairConstraint&) {})), true), nullptr);
}

} // namespace

#include "tests/support/class_pair_writer.h"
#include "tests/support/fuzz_seed_check.h"
#include "tests/support/param_block_builder.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/search/class_networks.h"
#include "core/brevit/search/class_pair_search.h"
#include "core/brevit/search/constraint_class.h"

namespace {

class_pair::Spec exampleSpec(bool scores)
{
    class_pair::Spec s;
    s.hasScores = scores;
    s.add(0, 7, 10).add(7, 9, 20).add(9, 0, 30).add(9, 11, 40);
    return s;
}

std::string seedImage(const class_pair::Spec& spec)
{
    ArchiveFixture archive("seed.dvk");
    archive.add("cpm", [&](BinFileWriter* w) { return class_pair::managerRecord(spec).write(w); });
    archive.add("cpn", [&](BinFileWriter* w) { return class_pair::constraintFileRecord(spec).write(w); });
    archive.finish();
    return archive.bytes();
}

TEST_F(ClassPairStoreTest, WriterRecordsReadAsTheBuiltConstraint)
{
    for (bool scores : {true, false}) {
        Constraint* built = make({{0, 7, 10}, {7, 9, 20}, {9, 0, 30}, {9, 11, 40}}, 3, 2, scores ? 1 : 0);
        const class_pair::Spec spec = exampleSpec(scores);
        for (bool constraintFile : {false, true}) {
            const class_pair::Records records =
                constraintFile ? class_pair::constraintFileRecord(spec) : class_pair::managerRecord(spec);
            Constraint* back = read(image([&](BinFileWriter* w) { return records.write(w); }), constraintFile);
            ASSERT_NE(back, nullptr) << constraintFile;
            EXPECT_EQ(steps(back), steps(built));
            EXPECT_EQ(classIds(back), classIds(built));
            // Cut short or with a wrong-length offsets array: refused.
            class_pair::Records cut = records;
            cut.cutAfter("end flags");
            EXPECT_EQ(read(image([&](BinFileWriter* w) { return cut.write(w); }), constraintFile), nullptr);
            class_pair::Spec shortOffsets = spec;
            shortOffsets.offsets.pop_back();
            const class_pair::Records bad = constraintFile ? class_pair::constraintFileRecord(shortOffsets)
                                                           : class_pair::managerRecord(shortOffsets);
            EXPECT_EQ(read(image([&](BinFileWriter* w) { return bad.write(w); }), constraintFile), nullptr);
        }
    }
}

TEST_F(ClassPairStoreTest, TheCachedWalkGetsItsPoolWhenTheConstraintFileIsRead)
{
    const class_pair::Records records = class_pair::constraintFileRecord(exampleSpec(true));
    const std::string bytes = image([&](BinFileWriter* w) { return records.write(w); });
    {
        ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamSuccessorPronPool, 32));
        ASSERT_NE(read(bytes, true), nullptr);
        EXPECT_EQ(m_classes->succPronPool, nullptr);   // the plain walk needs none
    }
    ScopedParamBlock params(
        ParamBlockBuilder().word(kBrevitParamSuccessorPronPool, 32).word(kBrevitParamTransitionCache, 1));
    // Without memory for the pool the record is refused.
    ArchiveFixture archive("in.dvk");
    DVKTar* tar = archive.openMapped(bytes);
    ASSERT_NE(tar, nullptr);
    for (uint64_t n = 1;; ++n) {
        BinFileReader* reader = BinFileReader_Create(tar, "t", nullptr);
        ASSERT_NE(reader, nullptr);
        const uint64_t failures = m_allocator.failures();
        m_allocator.failAt(m_allocator.calls() + n);
        Constraint* con = keep(ClassPairConstraint_ReadFromConstraintFile(reader, m_classes));
        m_allocator.failAt(0);
        BinFileReader_Delete(reader);
        if (m_allocator.failures() == failures) {
            ASSERT_NE(con, nullptr);
            break;
        }
        EXPECT_EQ(con, nullptr) << n;
        EXPECT_EQ(m_classes->succPronPool, nullptr) << n;
    }
    ASSERT_NE(m_classes->succPronPool, nullptr);
    EXPECT_EQ(static_cast<const SuccPronPool*>(m_classes->succPronPool)->capacity, 32);
}

TEST_F(ClassPairStoreTest, TheCachedWalkTakesTheIteratorSlotsWhenThePoolExists)
{
    const auto slotsOf = [](const Constraint* con) {
        return std::pair{con->ops.IteratorInit == CCCache_IteratorInit, con->ops.IteratorNext == CCCache_IteratorNext};
    };
    {
        // Word 194 without a pool size: nothing to cache through, the plain walk.
        ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamTransitionCache, 1));
        Constraint* con = keep(ClassPairConstraint_Create("plain", m_classes, 2, 2, 0));
        ASSERT_NE(con, nullptr);
        EXPECT_EQ(slotsOf(con), (std::pair{false, false}));
    }
    ScopedParamBlock params(
        ParamBlockBuilder().word(kBrevitParamSuccessorPronPool, 32).word(kBrevitParamTransitionCache, 1));
    // Creation fails when the pool cannot be made.
    m_allocator.failAt(m_allocator.calls() + 2);
    EXPECT_EQ(ClassPairConstraint_Create("cached", m_classes, 2, 2, 0), nullptr);
    m_allocator.failAt(0);
    EXPECT_EQ(m_classes->succPronPool, nullptr);
    Constraint* con = keep(ClassPairConstraint_Create("cached", m_classes, 2, 2, 0));
    ASSERT_NE(con, nullptr);
    EXPECT_EQ(slotsOf(con), (std::pair{true, true}));
    const class_pair::Records records = class_pair::managerRecord(exampleSpec(true));
    Constraint* back = read(image([&](BinFileWriter* w) { return records.write(w); }), false);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(slotsOf(back), (std::pair{true, true}));
}

TEST_F(ClassPairStoreTest, ChecksumWithClassesAddsEachClassRecord)
{
    Constraint* con = make({{0, 7, 10}, {7, 9, 20}, {9, 0, 30}}, 3, 2, 1);
    const uint32_t plain = ClassPairConstraint_ComputeCRC(con, 0);
    // The same chain as without classes, the records' checksums between the
    // end scores and the capacities.
    const ClassPairConstraint* c = pair(con);
    uint32_t crc = 0xFFFFFFFFu;
    for (uint32_t v : {uint32_t(c->head.type), uint32_t(c->head.restrictionFlag), uint32_t(c->classCapacity),
                       uint32_t(c->classCount)})
        crc = DVKCrc_AddInt(v, crc);
    crc = DVKCrc_AddArray(c->classIds, 4, c->classCount, crc);
    crc = DVKCrc_AddArray(c->offsets, 4, c->classCount + 1, crc);
    crc = DVKCrc_AddArray(c->endFlags, 1, c->classCount, crc);
    crc = DVKCrc_AddArray(c->targets, 4, c->transitionCount, crc);
    crc = DVKCrc_AddInt(1, crc);
    crc = DVKCrc_AddArray(c->transitionScores, 1, c->transitionCount, crc);
    crc = DVKCrc_AddArray(c->endScores, 1, c->classCount, crc);
    for (uint32_t classId : {7u, 9u})
        crc = DVKCrc_AddInt(ConstraintClass_ComputeCRC(ClassManager_GetClass(m_classes, classId)), crc);
    for (uint32_t v : {uint32_t(c->transitionCapacity), uint32_t(c->transitionCount), uint32_t(c->editable)})
        crc = DVKCrc_AddInt(v, crc);
    EXPECT_EQ(ClassPairConstraint_ComputeCRC(con, 1), crc);
    ASSERT_EQ(add("k7", {5}), 1);
    ASSERT_EQ(ClassManager_FinishEdit(m_classes), 1);
    EXPECT_NE(ClassPairConstraint_ComputeCRC(con, 1), crc);
    EXPECT_EQ(ClassPairConstraint_ComputeCRC(con, 0), plain);
}

TEST_F(ClassPairStoreTest, FuzzSeedsAreWhatTheWriterMakes)
{
    checkFuzzSeed("brevit_class_pair", "scores", seedImage(exampleSpec(true)));
    class_pair::Spec copies = exampleSpec(false);
    copies.copyIds = {0, 5, 6, 8};
    checkFuzzSeed("brevit_class_pair", "copies", seedImage(copies));
    class_pair::Spec damaged = exampleSpec(true);
    damaged.targets[1] = 9;
    checkFuzzSeed("brevit_class_pair", "damaged", seedImage(damaged));
}

} // namespace

#include "core/brevit/search/class_networks.h"

namespace {

class ClassPairCopyTest : public ClassPairConstraintTest {
protected:
    void SetUp() override
    {
        ClassPairConstraintTest::SetUp();
        for (const char* name : {"a", "b"})
            ASSERT_EQ(addClass(name), 1);
        a = id("a");
        b = id("b");
        // Held by the test, so that the counts show only the constraints'.
        ASSERT_EQ(ClassManager_AddRef(m_classes, a), 1);
        ASSERT_EQ(ClassManager_AddRef(m_classes, b), 1);
    }

    Constraint* source()
    {
        return make({{0, a, 10}, {a, b, 20}, {b, 0, 30}}, 2, 2, 1);
    }

    std::vector<uint32_t> counts() { return {refCount(a), refCount(b), static_cast<uint32_t>(m_classes->idsInUse)}; }

    uint32_t a = 0, b = 0;
};

TEST_F(ClassPairCopyTest, CopiesAreAliasesWithOneReferenceEach)
{
    Constraint* con = source();
    const auto before = counts();
    ASSERT_EQ(ClassPairConstraint_MakeCopyClasses(con), 1);
    const uint32_t copyA = pair(con)->copyClassIds[1];
    const char* name = ClassManager_GetClassName(m_classes, copyA);
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(ClassManager_IsGeneratedClassName(name), 1);
    EXPECT_STREQ(name + kClassBaseNameLength, "__CLCopyName");
    EXPECT_EQ(refCount(copyA), 1u);
    EXPECT_EQ(ClassPairConstraint_MakeCopyClasses(con), 1);

    Constraint* copy = keep(ClassPairConstraint_CopyWithClassCopies(con, "copy"));
    ASSERT_NE(copy, nullptr);
    const uint32_t first = pair(copy)->classIds[1];
    EXPECT_STREQ(ClassManager_GetClassName(m_classes, first) + kClassBaseNameLength, "__CNCopyName");
    EXPECT_EQ(refCount(first), 1u);
    std::vector<Step> expected = {{0, first, 10}, {first, pair(copy)->classIds[2], 20}, {pair(copy)->classIds[2], 0, 30}};
    EXPECT_EQ(steps(copy), expected);

    m_made.erase(std::find(m_made.begin(), m_made.end(), copy));
    ClassPairConstraint_Delete(copy, 0);
    m_made.erase(std::find(m_made.begin(), m_made.end(), con));
    ClassPairConstraint_Delete(con, 0);
    EXPECT_EQ(refCount(a), before[0] - 1);
    EXPECT_EQ(refCount(b), before[1] - 1);
    EXPECT_EQ(static_cast<uint32_t>(m_classes->idsInUse), before[2]);
}

TEST_F(ClassPairCopyTest, AFailedCopyKeepsNoAlias)
{
    Constraint* con = source();
    const auto before = counts();
    for (int which = 0; which < 2; ++which) {
        for (uint64_t n = 1;; ++n) {
            const uint64_t failures = m_allocator.failures();
            m_allocator.failAt(m_allocator.calls() + n);
            Constraint* copy = nullptr;
            int32_t made = 0;
            if (which == 0)
                made = ClassPairConstraint_MakeCopyClasses(con);
            else
                copy = ClassPairConstraint_CopyWithClassCopies(con, "copy");
            m_allocator.failAt(0);
            const bool failed = m_allocator.failures() != failures;
            if (!failed) {
                EXPECT_GT(n, 1u);
                if (which == 0) {
                    EXPECT_EQ(made, 1);
                    for (int32_t k = 1; k < 3; ++k)
                        ClassManager_Release(m_classes, pair(con)->copyClassIds[k]);
                    DVKMem_Free(pair(con)->copyClassIds);
                    pair(con)->copyClassIds = nullptr;
                } else {
                    ASSERT_NE(copy, nullptr);
                    ClassPairConstraint_Delete(copy, 0);
                }
                EXPECT_EQ(counts(), before);
                break;
            }
            EXPECT_EQ(which == 0 ? made : (copy != nullptr ? 1 : 0), 0) << which << " at " << n;
            EXPECT_EQ(pair(con)->copyClassIds, nullptr);
            EXPECT_EQ(counts(), before) << which << " at " << n;
        }
    }
}

} // namespace

namespace {

TEST_F(ClassPairCopyTest, FindsTheOwnerOfACopyInASubConstraint)
{
    // The constraint manager owns sub from here on and deletes it last.
    Constraint* sub = ClassPairConstraint_Create("sub", m_classes, 2, 2, 0);
    ASSERT_EQ(ClassPairConstraint_AddTransition(sub, 0, a, 0), 1);
    ASSERT_EQ(ClassPairConstraint_AddTransition(sub, a, b, 0), 1);
    ASSERT_EQ(ClassPairConstraint_MakeCopyClasses(sub), 1);
    ASSERT_GE(ConstraintManager_AddConstraint(m_constraints, sub, -1), 0);
    const int32_t ref = ClassManager_ConstraintRefFromIndex(m_classes, sub);
    ASSERT_GE(ref, 0);
    Constraint* outer = make({{0, static_cast<uint32_t>(ref), 0}, {static_cast<uint32_t>(ref), 0, 0}}, 1, 1, 0);
    EXPECT_EQ(ClassPairConstraint_HasConstraintClasses(outer), 1);
    EXPECT_EQ(ClassPairConstraint_FindCopyOwner(outer, pair(sub)->copyClassIds[2]), static_cast<int32_t>(b));
    EXPECT_EQ(ClassPairConstraint_FindCopyOwner(outer, a), -1);
    EXPECT_EQ(ClassPairConstraint_FindCopyOwner(sub, pair(sub)->copyClassIds[1]), -1);
}

} // namespace

namespace {

TEST_F(ClassPairStoreTest, ReadersFailingAtEachAllocationKeepNothing)
{
    class_pair::Spec spec = exampleSpec(true);
    spec.copyIds = {0, 5, 6, 8};
    for (bool constraintFile : {false, true}) {
        const class_pair::Records records =
            constraintFile ? class_pair::constraintFileRecord(spec) : class_pair::managerRecord(spec);
        const std::string bytes = image([&](BinFileWriter* w) { return records.write(w); });
        ArchiveFixture archive("in.dvk");
        DVKTar* tar = archive.openMapped(bytes);
        ASSERT_NE(tar, nullptr);
        for (uint64_t n = 1;; ++n) {
            BinFileReader* reader = BinFileReader_Create(tar, "t", nullptr);
            ASSERT_NE(reader, nullptr);
            const size_t blocks = m_allocator.liveBlocks();
            const uint64_t failures = m_allocator.failures();
            m_allocator.failAt(m_allocator.calls() + n);
            Constraint* con = constraintFile ? ClassPairConstraint_ReadFromConstraintFile(reader, m_classes)
                                             : ClassPairConstraint_ReadFromBinFile(reader, m_classes);
            m_allocator.failAt(0);
            const bool failed = m_allocator.failures() != failures;
            if (!failed) {
                EXPECT_GT(n, 1u);
                ASSERT_NE(con, nullptr);
                if (pair(con)->copyClassIds != nullptr)
                    std::fill(pair(con)->copyClassIds, pair(con)->copyClassIds + pair(con)->classCapacity, 0u);
                ClassPairConstraint_Delete(con, 0);
                BinFileReader_Delete(reader);
                break;
            }
            EXPECT_EQ(con, nullptr) << constraintFile << " at " << n;
            EXPECT_EQ(m_allocator.liveBlocks(), blocks) << constraintFile << " at " << n;
            BinFileReader_Delete(reader);
        }
    }
}

} // namespace

namespace {

// Classes k1..k30 with ids 1..30, each held once by the test, so the
// id-to-index table covers them.
class ClassPairLookupTest : public ClassPairConstraintTest {
protected:
    void SetUp() override
    {
        ClassPairConstraintTest::SetUp();
        for (int i = 1; i <= 30; ++i) {
            const std::string name = "k" + std::to_string(i);
            ASSERT_EQ(addClass(name.c_str()), 1);
            ASSERT_EQ(id(name.c_str()), static_cast<uint32_t>(i));
            ASSERT_EQ(ClassManager_AddRef(m_classes, static_cast<uint32_t>(i)), 1);
        }
    }

    std::vector<uint32_t> refCounts()
    {
        std::vector<uint32_t> out;
        for (uint32_t i = 1; i <= 30; ++i)
            out.push_back(refCount(i));
        return out;
    }
};

struct LookupCase {
    const char* name;
    Ids ids;
};

TEST_F(ClassPairLookupTest, LookupAnswersAsTheScan)
{
    const std::vector<LookupCase> cases = {
        {"class 0 only", {0, 0}},
        {"one class twice", {7, 7}},
        {"growing past the capacity", {9, 7, 9, 0, 7, 1, 2, 3, 4, 5, 6, 8}},
        {"highest id", {30, 1, 30}},
        {"id equal to its index", {1, 2, 2, 1}},
        {"id beyond the manager", {31, 5, 31}},
        {"constraint reference without constraint", {kClassManagerConstraintRef | 1u, 4}},
    };
    for (const LookupCase& c : cases) {
        SCOPED_TRACE(c.name);
        Constraint* scanned = keep(ClassPairConstraint_Create("s", m_classes, 1, 1, 1));
        Constraint* looked = keep(ClassPairConstraint_Create("l", m_classes, 1, 1, 1));
        ASSERT_EQ(ClassPairConstraint_ClearLookup(m_classes), 1);
        for (uint32_t classId : c.ids) {
            int32_t byScan = -7;
            int32_t byLookup = -7;
            const int32_t scanResult = ClassPairConstraint_FindOrAddClass(scanned, classId, &byScan);
            EXPECT_EQ(ClassPairConstraint_FindOrAddClassByLookup(looked, classId, &byLookup), scanResult) << classId;
            EXPECT_EQ(byLookup, byScan) << classId;
        }
        EXPECT_EQ(classIds(looked), classIds(scanned));
        EXPECT_EQ(pair(looked)->hasConstraintClasses, pair(scanned)->hasConstraintClasses);
    }
    EXPECT_EQ(refCount(7), 5u) << "the test's and one from each of the four constraints holding 7";
}

TEST_F(ClassPairLookupTest, AnEntryLeftByAnotherConstraintFallsBackToTheScan)
{
    Constraint* first = keep(ClassPairConstraint_Create("a", m_classes, 4, 1, 0));
    Constraint* second = keep(ClassPairConstraint_Create("b", m_classes, 4, 1, 0));
    ASSERT_EQ(ClassPairConstraint_ClearLookup(m_classes), 1);
    int32_t index = -1;
    for (uint32_t classId : {5u, 6u, 7u})
        ASSERT_EQ(ClassPairConstraint_FindOrAddClassByLookup(first, classId, &index), 1);
    // Without clearing: 7 stands at index 3 for the first constraint.
    for (uint32_t classId : {7u, 3u, 4u, 7u, 5u}) {
        ASSERT_EQ(ClassPairConstraint_FindOrAddClassByLookup(second, classId, &index), 1);
        EXPECT_EQ(pair(second)->classIds[index], classId);
    }
    EXPECT_EQ(classIds(second), (Ids{0, 7, 3, 4, 5}));
    EXPECT_EQ(classIds(first), (Ids{0, 5, 6, 7}));
}

TEST_F(ClassPairLookupTest, SubstitutesThroughTheLookupTable)
{
    Constraint* con = make({{0, 7, 10}, {7, 9, 20}, {9, 9, 3}, {9, 0, 30}});
    Constraint* inner = make({{0, 21, 0}, {21, 22, 0}, {22, 0, 0}, {0, 23, 0}, {23, 0, 0}});
    const uint32_t starts[2] = {21, 23};
    const uint32_t ends[2] = {22, 23};
    const std::vector<Step> expected = {{0, 7, 10}, {7, 21, 20}, {7, 23, 20}, {21, 22, 0}, {22, 21, 3},
                                        {22, 23, 3}, {22, 0, 30}, {23, 21, 3}, {23, 23, 3}, {23, 0, 30}};
    Constraint* out = keep(ClassPairConstraint_SubstituteClass(con, inner, starts, 2, ends, 2, m_classes, 9, "sub"));
    ASSERT_NE(out, con);
    EXPECT_EQ(steps(out), expected);
    EXPECT_EQ(classIds(out), (Ids{0, 7, 21, 22, 23}));
    EXPECT_EQ(pair(out)->transitionCapacity, 12);
    EXPECT_EQ(m_classes->optScratch, nullptr) << "a table made for the call is dropped";

    // A table the manager holds (an "Opt" build) stays, cleared and reused.
    ASSERT_EQ(ClassPairConstraint_ClearLookup(m_classes), 1);
    int32_t* held = m_classes->optScratch;
    Constraint* again = keep(ClassPairConstraint_SubstituteClass(con, inner, starts, 2, ends, 2, m_classes, 9, "s2"));
    ASSERT_NE(again, con);
    EXPECT_EQ(steps(again), expected);
    EXPECT_EQ(m_classes->optScratch, held);
    EXPECT_EQ(m_classes->optScratchEntries, 31);
}

// Every allocation failing in turn: lookups, clearing and substitution fail
// without changing their inputs or leaking.
TEST_F(ClassPairLookupTest, AllocationFailuresChangeNothing)
{
    Constraint* con = make({{0, 7, 10}, {7, 9, 20}, {9, 9, 3}, {9, 0, 30}, {9, 11, 4}});
    Constraint* inner = make({{0, 21, 0}, {21, 22, 0}, {22, 0, 0}, {0, 23, 0}, {23, 0, 0}});
    const uint32_t starts[2] = {21, 23};
    const uint32_t ends[2] = {22, 23};
    for (bool heldTable : {false, true}) {
        for (uint64_t n = 1;; ++n) {
            SCOPED_TRACE(n);
            if (heldTable) {
                ASSERT_EQ(ClassPairConstraint_ClearLookup(m_classes), 1);
            }
            const uint64_t blocks = m_allocator.liveBlocks();
            const uint32_t before = ClassPairConstraint_ComputeCRC(con, 0);
            const std::vector<uint32_t> references = refCounts();
            const uint64_t failures = m_allocator.failures();
            m_allocator.failAt(m_allocator.calls() + n);
            Constraint* out = ClassPairConstraint_SubstituteClass(con, inner, starts, 2, ends, 2, m_classes, 9, "s");
            const bool failed = m_allocator.failures() != failures;
            m_allocator.failAt(0);
            if (failed) {
                EXPECT_EQ(out, con);
            }
            EXPECT_EQ(ClassPairConstraint_ComputeCRC(con, 0), before);
            if (!failed) {
                ASSERT_NE(out, con);
                EXPECT_GT(n, 1u);
                ClassPairConstraint_Delete(out, 0);
                EXPECT_EQ(refCounts(), references);
                break;
            }
            EXPECT_EQ(m_allocator.liveBlocks(), blocks);
            EXPECT_EQ(refCounts(), references);
        }
        DVKMem_Free(m_classes->optScratch);
        m_classes->optScratch = nullptr;
        m_classes->optScratchEntries = 0;
    }

    // Lookups into a fresh constraint growing from one class and no table.
    for (uint64_t n = 1;; ++n) {
        Constraint* grown = ClassPairConstraint_Create("g", m_classes, 1, 1, 1);
        ASSERT_NE(grown, nullptr);
        const std::vector<uint32_t> references = refCounts();
        const uint64_t failures = m_allocator.failures();
        m_allocator.failAt(m_allocator.calls() + n);
        bool ok = true;
        int32_t index = -1;
        Ids entered = {0};
        for (uint32_t classId : {7u, 9u, 11u, 13u}) {
            if (ClassPairConstraint_FindOrAddClassByLookup(grown, classId, &index) == 0) {
                ok = false;
                break;
            }
            entered.push_back(classId);
        }
        const bool failed = m_allocator.failures() != failures;
        m_allocator.failAt(0);
        EXPECT_EQ(ok, !failed) << n;
        EXPECT_EQ(classIds(grown), entered) << "a failed lookup enters nothing";
        ClassPairConstraint_Delete(grown, 0);
        EXPECT_EQ(refCounts(), references);
        if (!failed) {
            EXPECT_GT(n, 1u);
            break;
        }
    }
}

// Clearing keeps the old table when the larger one cannot be had.
TEST_F(ClassPairLookupTest, ClearingWithoutMemoryKeepsTheTable)
{
    ASSERT_EQ(ClassPairConstraint_ClearLookup(m_classes), 1);
    int32_t* held = m_classes->optScratch;
    ASSERT_EQ(addClass("k31"), 1);
    m_allocator.failNext();
    EXPECT_EQ(ClassPairConstraint_ClearLookup(m_classes), 0);
    m_allocator.failAt(0);
    EXPECT_EQ(m_classes->optScratch, held);
    EXPECT_EQ(m_classes->optScratchEntries, 31);
    EXPECT_EQ(ClassPairConstraint_ClearLookup(m_classes), 1);
    EXPECT_EQ(m_classes->optScratchEntries, 32);
    EXPECT_EQ(ClassPairConstraint_ClearLookup(nullptr), 0);
}

} // namespace
