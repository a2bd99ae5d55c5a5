// The constraint manager: indices, growth, reference words, removal, the
// checksum and the transcription word marks.
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/search/constraint_manager.h"
#include "core/brevit/search/transcription_constraint.h"
#include "tests/brevit/search/constraint_test.h"
#include "tests/brevit/search/fake_vocabulary.h"

#include <memory>
#include <vector>

namespace {

class ConstraintManagerTest : public ConstraintTest {
protected:
    void TearDown() override
    {
        ConstraintManager_Delete(m_manager);
        m_manager = nullptr;
        ConstraintTest::TearDown();
    }

    ConstraintManager* make(int32_t n)
    {
        m_manager = ConstraintManager_Create(n);
        return m_manager;
    }

    // A scripted constraint handed to the manager.
    int32_t add(const ScriptedSpec& spec, int32_t owner = -1)
    {
        return ConstraintManager_AddConstraint(m_manager, ScriptedConstraint_Create(spec), owner);
    }
    int32_t add(const std::string& name) { return add(named(name)); }

    uint32_t referenceWord(int32_t i) const
    {
        return static_cast<uint32_t*>(m_manager->references[i >> 8])[i & 255];
    }

    ConstraintManager* m_manager = nullptr;
};

TEST_F(ConstraintManagerTest, CreationSizesThePageTableOnly)
{
    EXPECT_EQ(ConstraintManager_Create(-1), nullptr);
    struct Case {
        int32_t n;
        uint32_t capacity;
    };
    for (const Case c : {Case{0, 0}, Case{1, 1}, Case{256, 1}, Case{257, 2}, Case{0x7fffffff, 0x800000}}) {
        ConstraintManager* m = ConstraintManager_Create(c.n);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->capacity, c.capacity) << c.n;
        EXPECT_EQ(m->pagesAllocated, 0u);
        EXPECT_EQ(m->highest, -1);
        EXPECT_EQ(m->pages, nullptr);
        ConstraintManager_Delete(m);
    }
    ConstraintManager_Delete(nullptr);
    EXPECT_EQ(ConstraintManager_GetNumConstraints(nullptr), 0);
    EXPECT_EQ(ConstraintManager_GetMaxIndex(nullptr), 0);
    EXPECT_EQ(ConstraintManager_ComputeCRC(nullptr), 0xFFFFFFFFu);
}

TEST_F(ConstraintManagerTest, GrowsAPageAtATimeAndDoublesItsTable)
{
    make(1);
    for (int32_t i = 0; i < 256; ++i)
        ASSERT_EQ(add("c" + std::to_string(i)), i);
    EXPECT_EQ(m_manager->pagesAllocated, 1u);
    EXPECT_EQ(m_manager->capacity, 1u);
    EXPECT_EQ(add("c256"), 256);
    EXPECT_EQ(m_manager->pagesAllocated, 2u);
    EXPECT_EQ(m_manager->capacity, 4u);
    EXPECT_EQ(m_manager->referencePages, 2u);
    EXPECT_EQ(ConstraintManager_GetNumConstraints(m_manager), 257);
    EXPECT_EQ(ConstraintManager_GetMaxIndex(m_manager), 256);
    EXPECT_STREQ(ConstraintManager_GetConstraint(m_manager, 256)->name, "c256");
    EXPECT_EQ(referenceWord(256), 0x40000000u);
}

TEST_F(ConstraintManagerTest, IndicesAfterReleases)
{
    make(1);
    for (int32_t i = 0; i < 5; ++i)
        add("c" + std::to_string(i));
    // A hole below the highest index is not reused while the page has room.
    EXPECT_EQ(ConstraintManager_ReleaseConstraint(m_manager, 3), 1);
    EXPECT_EQ(ConstraintManager_GetConstraint(m_manager, 3), nullptr);
    EXPECT_EQ(add("c5"), 5);
    EXPECT_EQ(ConstraintManager_GetNumConstraints(m_manager), 5);
    // Releasing the highest lowers it past the empty entries below.
    EXPECT_EQ(ConstraintManager_ReleaseConstraint(m_manager, 5), 1);
    EXPECT_EQ(ConstraintManager_ReleaseConstraint(m_manager, 4), 1);
    EXPECT_EQ(ConstraintManager_GetMaxIndex(m_manager), 2);
    EXPECT_EQ(add("again"), 3);
    for (int32_t i : {3, 2, 1, 0})
        EXPECT_EQ(ConstraintManager_ReleaseConstraint(m_manager, i), 1);
    EXPECT_EQ(ConstraintManager_GetMaxIndex(m_manager), -1);
    EXPECT_EQ(ConstraintManager_GetNumConstraints(m_manager), 0);
    EXPECT_EQ(ConstraintManager_ReleaseConstraint(m_manager, 0), 0);
    EXPECT_EQ(add("fresh"), 0);
}

TEST_F(ConstraintManagerTest, AHoleIsReusedOnceTheLastPageIsFull)
{
    make(1);
    for (int32_t i = 0; i < 256; ++i)
        add("c" + std::to_string(i));
    ConstraintManager_ReleaseConstraint(m_manager, 17);
    ConstraintManager_ReleaseConstraint(m_manager, 9);
    EXPECT_EQ(add("hole"), 9);
    EXPECT_EQ(add("hole2"), 17);
    EXPECT_EQ(add("grown"), 256);
    EXPECT_EQ(ConstraintManager_FindIndex(m_manager, nullptr), 257);
}

TEST_F(ConstraintManagerTest, OwnerAndLookups)
{
    make(4);
    ScriptedSpec shared = named("shared");
    add(named("a"), 7);
    add(shared);
    add(shared);
    EXPECT_EQ(ConstraintManager_GetConstraint(m_manager, 0)->owner, 7);
    EXPECT_EQ(ConstraintManager_GetConstraint(m_manager, 1)->owner, -1);
    EXPECT_EQ(ConstraintManager_FindByName(m_manager, "shared"), 1);
    EXPECT_EQ(ConstraintManager_FindByName(m_manager, "share"), -1);
    EXPECT_EQ(ConstraintManager_FindByName(m_manager, nullptr), -1);
    Constraint* second = ConstraintManager_GetConstraint(m_manager, 2);
    EXPECT_EQ(ConstraintManager_FindIndex(m_manager, second), 2);
    EXPECT_EQ(ConstraintManager_FindIndex(m_manager, nullptr), 3);
    EXPECT_EQ(ConstraintManager_GetConstraint(m_manager, -1), nullptr);
    EXPECT_EQ(ConstraintManager_GetConstraint(m_manager, 3), nullptr);
    EXPECT_EQ(ConstraintManager_GetConstraint(m_manager, 1000), nullptr);
    EXPECT_EQ(ConstraintManager_DeleteConstraint(m_manager, second), 1);
    EXPECT_EQ(ConstraintManager_DeleteConstraint(m_manager, second), 0);   // no longer found
    EXPECT_EQ(ConstraintManager_DeleteConstraint(m_manager, nullptr), 0);
    EXPECT_EQ(ConstraintManager_AddConstraint(m_manager, nullptr, -1), -1);
}

TEST_F(ConstraintManagerTest, ClassReferencesKeepAReleasedConstraintAlive)
{
    make(1);
    add("a");
    add("b");
    EXPECT_EQ(ConstraintManager_IsUnreferenced(m_manager, 0), 1);
    EXPECT_EQ(ConstraintManager_AddReference(m_manager, 0), 0x40000001u);
    EXPECT_EQ(ConstraintManager_AddReference(m_manager, 0), 0x40000002u);
    EXPECT_EQ(ConstraintManager_IsUnreferenced(m_manager, 0), 0);
    EXPECT_EQ(ConstraintManager_ReleaseConstraint(m_manager, 0), 1);
    EXPECT_NE(ConstraintManager_GetConstraint(m_manager, 0), nullptr);
    EXPECT_EQ(ConstraintManager_ReleaseConstraint(m_manager, 0), 0);   // the hold is gone already
    EXPECT_EQ(ConstraintManager_RemoveReference(m_manager, 0), 1);
    EXPECT_TRUE(calledFor(kSlotDelete).empty());
    EXPECT_EQ(ConstraintManager_RemoveReference(m_manager, 0), 0);
    EXPECT_EQ(calledFor(kSlotDelete), std::vector<std::string>{"a"});
    EXPECT_EQ(ConstraintManager_GetConstraint(m_manager, 0), nullptr);
    EXPECT_EQ(ConstraintManager_GetNumConstraints(m_manager), 1);
}

TEST_F(ConstraintManagerTest, ReferencesToNothingChangeNothing)
{
    make(1);
    add("a");
    add("b");
    add("c");
    ConstraintManager_ReleaseConstraint(m_manager, 1);
    const uint32_t crc = ConstraintManager_ComputeCRC(m_manager);
    for (int32_t i : {-1, 1, 3, 255, 256, 100000}) {
        EXPECT_EQ(ConstraintManager_AddReference(m_manager, i), 0u) << i;
        EXPECT_EQ(ConstraintManager_RemoveReference(m_manager, i), -1) << i;
        EXPECT_EQ(ConstraintManager_ReleaseConstraint(m_manager, i), 0) << i;
        EXPECT_EQ(ConstraintManager_IsUnreferenced(m_manager, i), 0) << i;
    }
    // Without a class reference the API's hold is not the class side's to drop.
    EXPECT_EQ(ConstraintManager_RemoveReference(m_manager, 0), -1);
    EXPECT_EQ(referenceWord(0), 0x40000000u);
    EXPECT_EQ(ConstraintManager_ComputeCRC(m_manager), crc);
    EXPECT_TRUE(calledFor(kSlotDelete) == std::vector<std::string>{"b"});
}

TEST_F(ConstraintManagerTest, CrcOverTheHeadWordsAndEachConstraint)
{
    make(1);
    EXPECT_EQ(ConstraintManager_ComputeCRC(m_manager), 0x565AD826u);
    for (uint32_t crc : {0x11111111u, 0x22222222u, 0x33333333u}) {
        ScriptedSpec spec = named("k");
        spec.crc = crc;
        add(spec);
    }
    EXPECT_EQ(ConstraintManager_ComputeCRC(m_manager), 0xC118E39Eu);
    ConstraintManager_ReleaseConstraint(m_manager, 1);
    EXPECT_EQ(ConstraintManager_ComputeCRC(m_manager), 0xB85D1121u);
    // The same by hand: pages, capacity, count, highest, then each CRC.
    uint32_t crc = 0xFFFFFFFFu;
    for (uint32_t word : {1u, 1u, 2u, 2u, 0x11111111u, 0x33333333u})
        crc = DVKCrc_AddInt(word, crc);
    EXPECT_EQ(ConstraintManager_ComputeCRC(m_manager), crc);
}

TEST_F(ConstraintManagerTest, MarkReferencedWordIdsAsksTranscriptionsOnly)
{
    // Words 5, 9, 17, 40000 and 12 with one pron each (ten times the word).
    FakeVocabulary words({{5, {50}}, {9, {90}}, {17, {170}}, {40000, {4000}}, {12, {120}}});
    make(1);
    const std::vector<uint16_t> marked{50, 90, 170, 4000};
    const std::vector<uint16_t> released{120};
    ASSERT_EQ(ConstraintManager_AddConstraint(
                  m_manager, Constraint_CreatePronTranscriptionConstraint(marked.data(), 4, words.voc(), 0), -1),
              0);
    ScriptedSpec other = named("v");
    other.wordIds = {10, 11};
    add(other);
    ASSERT_EQ(ConstraintManager_AddConstraint(
                  m_manager, Constraint_CreatePronTranscriptionConstraint(released.data(), 1, words.voc(), 0), -1),
              2);
    ConstraintManager_ReleaseConstraint(m_manager, 2);
    uint8_t bitmap[2] = {};
    ConstraintManager_MarkReferencedWordIds(m_manager, 16, bitmap, 8);
    EXPECT_EQ(bitmap[0], 0x02);
    EXPECT_EQ(bitmap[1], 0x02);
}

TEST_F(ConstraintManagerTest, DeleteReleasesEveryHeldConstraintAndRereadsEachEntry)
{
    make(1);
    for (int32_t i = 0; i < 300; ++i)
        add("c" + std::to_string(i));
    ConstraintManager_ReleaseConstraint(m_manager, 12);
    ConstraintManager_Delete(m_manager);
    m_manager = nullptr;
    EXPECT_EQ(scriptedCalls().count[kSlotDelete], 300);
}

TEST_F(ConstraintManagerTest, EachAllocationFailingInTurnLeavesTheManagerAsItWas)
{
    // Adds that need a new page (the first, the 257th) allocate; each of their
    // allocations fails in turn.
    for (int32_t held : {0, 256}) {
        for (uint64_t n = 1;; ++n) {
            make(1);
            for (int32_t i = 0; i < held; ++i)
                ASSERT_EQ(add("c"), i);
            const uint32_t crc = ConstraintManager_ComputeCRC(m_manager);
            const ConstraintManager before = *m_manager;
            const size_t live = m_allocator.liveBlocks();
            Constraint* con = ScriptedConstraint_Create(named("new"));
            const uint64_t failures = m_allocator.failures();
            m_allocator.failAt(m_allocator.calls() + n);
            const int32_t index = ConstraintManager_AddConstraint(m_manager, con, -1);
            const bool failed = m_allocator.failures() > failures;
            m_allocator.failAt(0);
            if (!failed) {
                EXPECT_EQ(index, held);
                ConstraintManager_Delete(m_manager);
                m_manager = nullptr;
                break;
            }
            EXPECT_EQ(index, -1);
            EXPECT_EQ(ConstraintManager_ComputeCRC(m_manager), crc);
            EXPECT_EQ(m_manager->pages, before.pages);
            EXPECT_EQ(m_manager->references, before.references);
            EXPECT_EQ(m_allocator.liveBlocks(), live + 1);
            Constraint_Delete(con, 0);
            ConstraintManager_Delete(m_manager);
            m_manager = nullptr;
        }
    }
}

} // namespace
