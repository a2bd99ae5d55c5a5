// A class-pair constraint that needs expansion (a constraint class) through
// the linear-chain decoder's utterance set-up: the decoder searches a copy,
// deletes each copy once, and gives choices the caller's constraint back.
#include "tests/brevit/search/decoder/decoder_test.h"

#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/class_pair_constraint.h"
#include "core/brevit/search/constraint_manager.h"
#include "core/brevit/search/linch_choice.h"
#include "core/brevit/search/search_engine_calls.h"
#include "tests/support/linear_chain_fixture.h"

#include <cstring>

namespace {

class LinChClassesTest : public DecoderTest {
protected:
    void TearDown() override
    {
        DVKTempMem_DeleteMemStack();
        DecoderTest::TearDown();
    }
};

TEST_F(LinChClassesTest, ExpandedCopiesAreSearchedAndDeletedOnce)
{
    LinearChainFixture f;
    ConstraintManager* constraints = ConstraintManager_Create(4);
    ClassManager* classes = ClassManager_Create(f.voc(), f.model(), constraints, 4);
    ASSERT_NE(classes, nullptr);
    ASSERT_EQ(ClassManager_AddClass(classes, "a", 4, 8, 0, 0, 0, 0), 1);
    const uint16_t member[] = {0};
    ASSERT_EQ(ClassManager_AddClassMember(classes, "a", member, 1, 0, 0), 1);
    const uint32_t a = static_cast<uint32_t>(ClassManager_FindClass(classes, "a"));
    // The constraint manager owns the inner constraint.
    Constraint* inner = ClassPairConstraint_Create("inner", classes, 2, 2, 0);
    ASSERT_EQ(ClassPairConstraint_AddTransition(inner, 0, a, 0), 1);
    ASSERT_EQ(ClassPairConstraint_AddTransition(inner, a, 0, 0), 1);
    ASSERT_GE(ConstraintManager_AddConstraint(constraints, inner, -1), 0);
    const uint32_t ref = static_cast<uint32_t>(ClassManager_ConstraintRefFromIndex(classes, inner));
    Constraint* outer = ClassPairConstraint_Create("outer", classes, 2, 2, 0);
    ASSERT_EQ(ClassPairConstraint_AddTransition(outer, 0, ref, 0), 1);
    ASSERT_EQ(ClassPairConstraint_AddTransition(outer, ref, 0, 0), 1);
    ASSERT_EQ(ClassPairConstraint_HasConstraintClasses(outer), 1);

    LinChDecoder* d = f.decoder();
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(f.uttInit(d, {outer}), 1);
        ASSERT_NE(d->replacedConstraints, nullptr);
        EXPECT_EQ(d->numCallerConstraints, 1);
        EXPECT_EQ(d->callerConstraints[0], outer);
        EXPECT_EQ(d->constraints[0], d->replacedConstraints[0]);
        EXPECT_NE(d->constraints[0], outer);
        EXPECT_EQ(ClassPairConstraint_HasConstraintClasses(d->constraints[0]), 0);
    }
    LinChChoice choices[2] = {};
    choices[0].constraint = d->constraints[0];
    choices[1].constraint = nullptr;
    d->choices = choices;
    d->numChoices = 2;
    LinChDecoder_MapChoiceConstraints(d);
    EXPECT_EQ(choices[0].constraint, outer);
    EXPECT_EQ(choices[1].constraint, nullptr);
    d->choices = nullptr;
    d->numChoices = 0;
    // A saved state releases the copy: the caller's constraint is searched again.
    ArchiveFixture archive("linch-classes.dvk");
    EXPECT_EQ(Decoder_WritePSAFile(&d->base, archive.tar(), "bdec0/"), 1);
    EXPECT_EQ(d->replacedConstraints, nullptr);
    EXPECT_EQ(d->constraints[0], outer);
    ASSERT_EQ(f.uttInit(d, {outer}), 1);
    f.release(d);
    Decoder_Delete(&d->base, 0);

    // Each allocation failing in turn: 0, the copy released, nothing kept, and
    // a good set-up follows.
    const size_t before = m_allocator.liveBlocks();
    bool failed = true;
    for (uint64_t n = 1; failed && n <= 80; ++n) {
        LinChDecoder* e = f.decoder();
        ASSERT_NE(e, nullptr);
        const uint64_t failures = m_allocator.failures();
        m_allocator.failAt(m_allocator.calls() + n);
        DecoderHandle h = 0;
        DVKErr_Protect([&] { h = f.uttInit(e, {outer}); });
        m_allocator.failAt(0);
        failed = m_allocator.failures() != failures;
        if (failed) {
            EXPECT_EQ(h, 0) << n;
            EXPECT_EQ(e->replacedConstraints, nullptr) << n;
            EXPECT_TRUE(e->numConstraints == 0 || e->constraints[0] == outer) << n;
        }
        EXPECT_EQ(f.uttInit(e, {outer}), 1) << n;
        f.release(e);
        Decoder_Delete(&e->base, 0);
        EXPECT_EQ(m_allocator.liveBlocks(), before) << n;
    }
    EXPECT_FALSE(failed);
    ClassPairConstraint_Delete(outer, 0);
    ClassManager_RemoveUnreferencedClasses(classes);
    ConstraintManager_Delete(constraints);
    ClassManager_Delete(classes);
}

TEST_F(LinChClassesTest, GeneratedClassesOfChoicesBecomeTheRequestedClass)
{
    LinearChainFixture f(2, {{kBrevitParamRequestClass, 1}});
    std::memcpy(&f.params().words[kBrevitParamSelfLoopClassName], "target", 7);
    ConstraintManager* constraints = ConstraintManager_Create(4);
    ClassManager* classes = ClassManager_Create(f.voc(), f.model(), constraints, 4);
    ASSERT_NE(classes, nullptr);
    const uint16_t member[] = {0};
    for (const char* name : {" abcdefgh", "target", "other"}) {
        ASSERT_EQ(ClassManager_AddClass(classes, name, 4, 8, 0, 0, 0, 0), 1) << name;
        ASSERT_EQ(ClassManager_AddClassMember(classes, name, member, 1, 0, 0), 1);
    }
    const uint32_t generated = static_cast<uint32_t>(ClassManager_FindClass(classes, " abcdefgh"));
    const uint32_t target = static_cast<uint32_t>(ClassManager_FindClass(classes, "target"));
    const uint32_t other = static_cast<uint32_t>(ClassManager_FindClass(classes, "other"));
    Constraint* con = ClassPairConstraint_Create("cp", classes, 2, 2, 0);
    ASSERT_EQ(ClassPairConstraint_AddTransition(con, 0, other, 0), 1);
    ASSERT_EQ(ClassPairConstraint_AddTransition(con, other, 0, 0), 1);
    LinChDecoder* d = f.decoder();
    d->constraints[0] = con;
    d->numConstraints = 1;
    LinChChoice choices[1] = {};
    choices[0].constraint = con;
    choices[0].wordCount = 4;
    const uint32_t ids[] = {generated, generated, other, generated};
    for (int i = 0; i < 4; ++i) {
        choices[0].classes[i] = ids[i];
        choices[0].startFlags[i] = 1;
    }
    d->choices = choices;
    d->numChoices = 1;
    LinChDecoder_RelabelChoiceClasses(d);
    const uint32_t expected[] = {target, target, other, target};
    const uint8_t starts[] = {1, 0, 1, 1};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(choices[0].classes[i], expected[i]) << i;
        EXPECT_EQ(choices[0].startFlags[i], starts[i]) << i;
    }
    d->choices = nullptr;
    d->numChoices = 0;
    d->numConstraints = 0;
    ClassPairConstraint_Delete(con, 0);
    ClassManager_RemoveUnreferencedClasses(classes);
    ConstraintManager_Delete(constraints);
    ClassManager_Delete(classes);
}

} // namespace
