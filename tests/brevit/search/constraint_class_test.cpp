// Class records and member editing: creation hints, the batched edit,
// sorted inserts, removals, the member order, accessors and the tree flag.
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/search/search_lexicon_calls.h"
#include "tests/brevit/search/class_manager_test.h"
#include "tests/support/param_block_builder.h"

#include <algorithm>
#include <map>
#include <random>
#include <tuple>

namespace {

TEST(ConstraintClassCreate, ShiftsAndSlotsFollowTheHints)
{
    CountingAllocator allocator;
    ScopedEngineContext context(allocator);
    struct Case {
        int32_t members, words;
        uint32_t memberShift, wordShift, memberSlots, wordSlots;
    };
    const Case cases[] = {{2, 2, 2, 2, 1, 1}, {5, 7, 3, 3, 1, 1}, {300, 3000, 8, 8, 2, 12}, {0, 0, 8, 8, 0, 0},
                          {255, 1, 8, 1, 1, 1}, {0x2000000, 5, 8, 3, 0x20000, 1}};
    for (const Case& c : cases) {
        ConstraintClass* r = ConstraintClass_Create(c.members, c.words, 1, 1, 0, 0, nullptr, 5);
        ASSERT_NE(r, nullptr) << c.members;
        EXPECT_EQ(std::make_tuple(r->memberShift, r->wordShift, r->memberChunkSlots, r->wordChunkSlots),
                  std::make_tuple(c.memberShift, c.wordShift, c.memberSlots, c.wordSlots))
            << c.members << ", " << c.words;
        EXPECT_EQ(r->memberChunk, 1u << c.memberShift);
        EXPECT_EQ(r->weightChunkSlots, c.memberSlots);
        EXPECT_EQ(r->irClassIndex, -1);   // no IR object
        EXPECT_EQ(r->persistent, 1);
        ConstraintClass_Delete(r);
    }
    for (const auto& [members, words] : {std::pair{0x2000001, 1}, {1, -1}, {0, 5}, {5, 0}, {-1, 1}})
        EXPECT_EQ(ConstraintClass_Create(members, words, 0, 0, 0, 0, nullptr, -1), nullptr) << members;
    EXPECT_EQ(allocator.liveBlocks(), 0u);
}

using ClassEditing = ClassManagerTest;

TEST_F(ClassEditing, OneEditMergesSortedWithTheLowestWeightThenInsertsKeepTheOrder)
{
    ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamMaxTrees, 1).word(kBrevitParamTreePronThreshold, 11));
    TearDown();   // remade under the parameters: the tree table exists
    SetUp();
    ASSERT_EQ(addClass("c", 8, 16, true), 1);
    for (const auto& [words, weight] : std::vector<std::pair<Words, uint8_t>>{
             {{5, 6}, 9}, {{5}, 3}, {{7}, 1}, {{5, 6}, 4}, {{2, 9, 9}, 0}, {{5}, 8}, {{40000}, 7}})
        ASSERT_EQ(add("c", words, weight), 1);
    EXPECT_EQ(m_classes->editClassId, id("c"));
    EXPECT_EQ(record("c")->numMembers, 0);   // the members wait in the buffer
    Contents c = contents("c");
    EXPECT_EQ(c.offsets, (std::vector<uint32_t>{0, 3, 4, 6, 7, 8}));
    EXPECT_EQ(c.words, (Words{2, 9, 9, 5, 5, 6, 7, 40000}));
    EXPECT_EQ(c.weights, (std::vector<int32_t>{0, 3, 4, 1, 7}));
    EXPECT_EQ(record("c")->rebuildTree, 0);   // 1 + 2 + 3 + 4 = 10 prons

    ASSERT_EQ(add("c", {5, 6}, 2), 1);
    ASSERT_EQ(add("c", {5, 6}, 9), 1);
    ASSERT_EQ(add("c", {6}, 5), 1);
    c = contents("c");
    EXPECT_EQ(c.offsets, (std::vector<uint32_t>{0, 3, 4, 6, 7, 8, 9}));
    EXPECT_EQ(c.words, (Words{2, 9, 9, 5, 5, 6, 6, 7, 40000}));
    EXPECT_EQ(c.weights, (std::vector<int32_t>{0, 3, 2, 5, 1, 7}));
    EXPECT_EQ(record("c")->rebuildTree, 1);   // 11 prons
    EXPECT_EQ(record("c")->pronCacheDirty, 1);

    static_cast<LexTree**>(m_classes->trees[0])[id("c")] = LexTree_CreateEmpty();
    m_classes->numTrees = 1;
    const int32_t deletes = fakeLexTreeDeletes();
    ASSERT_EQ(ClassManager_RemoveWordFromClasses(m_classes, 6), 1);
    c = contents("c");
    EXPECT_EQ(c.offsets, (std::vector<uint32_t>{0, 3, 4, 5, 6}));
    EXPECT_EQ(c.words, (Words{2, 9, 9, 5, 7, 40000}));
    EXPECT_EQ(c.weights, (std::vector<int32_t>{0, 3, 1, 7}));
    EXPECT_EQ(record("c")->rebuildTree, 0);
    EXPECT_EQ(fakeLexTreeDeletes(), deletes + 1);
    EXPECT_EQ(m_classes->numTrees, 0);
}

TEST_F(ClassEditing, WithoutTreeTableTheTreeFlagIsNeverSet)
{
    ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamTreePronThreshold, 1));
    ASSERT_EQ(addClass("c"), 1);
    ASSERT_EQ(add("c", {40000}), 1);
    EXPECT_EQ(ClassManager_FinishEdit(m_classes), 1);
    ASSERT_EQ(add("c", {7}), 1);
    EXPECT_EQ(ClassManager_TreeNeedsRebuild(m_classes, id("c")), 0);
    EXPECT_EQ(m_classes->trees, nullptr);
}

TEST_F(ClassEditing, PhraseIdsCompareByValue)
{
    ASSERT_EQ(addClass("c", 4, 4, false, true), 1);
    ASSERT_EQ(add("c", {3}, 0, 2147483647), 1);
    ASSERT_EQ(add("c", {3}, 0, -1), 1);
    EXPECT_EQ(contents("c").phraseIds, (std::vector<int32_t>{-1, 2147483647}));
    // Inserted into the sorted record too.
    ASSERT_EQ(add("c", {3}, 0, -2147483647 - 1), 1);
    ASSERT_EQ(add("c", {3}, 0, 0), 1);
    ASSERT_EQ(add("c", {3}, 0, 2147483647), 1);
    EXPECT_EQ(contents("c").phraseIds, (std::vector<int32_t>{-2147483647 - 1, -1, 0, 2147483647}));
    // Members with phrase ids are not removed one by one.
    const Words three = {3};
    EXPECT_EQ(ClassManager_RemoveClassMember(m_classes, "c", three.data(), 1), 0);
}

TEST_F(ClassEditing, MemberAccessorsOverRunsOfOneFirstWord)
{
    ASSERT_EQ(addClass("c", 8, 16, true, true), 1);
    for (const Words& w : {Words{5}, Words{5, 6}, Words{5, 7}, Words{5, 7, 1}, Words{6}})
        ASSERT_EQ(add("c", w, static_cast<uint8_t>(w.size()), 100 + static_cast<int32_t>(w.size())), 1);
    const uint32_t c = id("c");
    std::vector<int32_t> skips;
    for (int32_t m = 0; m < 5; ++m)
        skips.push_back(ClassManager_GetNumMatchedIdsToSkip(m_classes, c, m));
    EXPECT_EQ(skips, (std::vector<int32_t>{0, 2, 1, 0, 0}));
    std::vector<std::tuple<int32_t, uint16_t, int32_t>> matches;
    for (int32_t m = 0; m < 5; ++m) {
        uint16_t second = 0;
        int32_t two = 0;
        const int32_t r = ClassManager_1stActiveIdsMatch(m_classes, c, m, &second, &two);
        matches.emplace_back(r, r != 0 ? second : 0, r != 0 ? two : 0);
    }
    EXPECT_EQ(matches, (std::vector<std::tuple<int32_t, uint16_t, int32_t>>{
                           {1, 6, 1}, {1, 7, 1}, {1, 7, 0}, {0, 0, 0}, {0, 0, 0}}));
    int32_t length = 0;
    EXPECT_EQ(ClassManager_GetMemberWord(m_classes, c, 3, 2, &length), 1);
    EXPECT_EQ(ClassManager_GetMemberWord(m_classes, c, 3, 3, &length), 65535);
    EXPECT_EQ(length, 3);
    EXPECT_EQ(ClassManager_GetMemberLength(m_classes, c, 2, &length), 1);
    EXPECT_EQ(length, 2);
    EXPECT_EQ(ClassManager_GetMemberWeight(m_classes, c, 3), 3);
    EXPECT_EQ(ClassManager_GetMemberPhraseId(m_classes, c, 3), 103);
    EXPECT_EQ(ClassManager_HasMemberStartingWith(m_classes, c, 6), 1);
    EXPECT_EQ(ClassManager_HasMemberStartingWith(m_classes, c, 7), 0);
    // Past the members: none.
    for (int32_t m : {5, -1, 1000}) {
        EXPECT_EQ(ClassManager_GetMemberWord(m_classes, c, m, 0, &length), 65535);
        EXPECT_EQ(length, 0);
        EXPECT_EQ(ClassManager_GetMemberLength(m_classes, c, m, &length), 1);
        EXPECT_EQ(length, 0);
        EXPECT_EQ(ClassManager_GetMemberPhraseId(m_classes, c, m), -1);
        EXPECT_EQ(ClassManager_GetMemberWeight(m_classes, c, m), 0);
        EXPECT_EQ(ClassManager_GetNumMatchedIdsToSkip(m_classes, c, m), 0);
    }
    uint16_t all[16] = {};
    EXPECT_EQ(ConstraintClass_GetAllWordIds(record("c"), all), 9);
    EXPECT_EQ(Words(all, all + 9), (Words{5, 5, 6, 5, 7, 5, 7, 1, 6}));
    EXPECT_EQ(ConstraintClass_CountPronunciations(record("c"), m_vocabulary.voc()), 2 + 1);
}

TEST_F(ClassEditing, RefusedMembersAndClasses)
{
    ASSERT_EQ(addClass("c"), 1);
    const Words long1025(1025, 3);
    const Words long1024(1024, 3);
    EXPECT_EQ(add("c", long1025), 0);
    EXPECT_EQ(add("c", {}), 0);
    EXPECT_EQ(add("<s>", {1}), 0);
    EXPECT_EQ(add("<e>", {1}), 0);
    EXPECT_EQ(add("missing", {1}), 0);
    EXPECT_EQ(add("c", long1024), 1);
    EXPECT_EQ(add("c", {4}), 1);
    EXPECT_EQ(ClassManager_FinishEdit(m_classes), 1);
    EXPECT_EQ(add("c", long1025), 0);
    EXPECT_EQ(ClassManager_RemoveClassMember(m_classes, "c", long1025.data(), 1025), 0);
    EXPECT_EQ(ClassManager_RemoveClassMember(m_classes, "c", long1024.data(), 0), 0);
    const Words absent = {9};
    EXPECT_EQ(ClassManager_RemoveClassMember(m_classes, "c", absent.data(), 1), 0);
    EXPECT_EQ(ClassManager_RemoveClassMember(m_classes, "c", long1024.data(), 1024), 1);
    EXPECT_EQ(contents("c").words, (Words{4}));
    EXPECT_EQ(ClassManager_RemoveClassMembers(m_classes, "<s>"), 0);
    EXPECT_EQ(ClassManager_RemoveClassMembers(m_classes, "missing"), 0);
}

TEST_F(ClassEditing, RemovingAMemberWhileItsClassIsEditedMergesFirst)
{
    ASSERT_EQ(addClass("c"), 1);
    ASSERT_EQ(add("c", {7}), 1);
    ASSERT_EQ(add("c", {4}), 1);
    const Words seven = {7};
    EXPECT_EQ(ClassManager_RemoveClassMember(m_classes, "c", seven.data(), 1), 1);
    EXPECT_EQ(m_classes->editClassId, 0u);
    EXPECT_EQ(contents("c").words, (Words{4}));
}

TEST_F(ClassEditing, MembersAddedThroughAnAliasLandInTheTarget)
{
    ASSERT_EQ(addClass("c"), 1);
    ASSERT_GT(ClassManager_AddAlias(m_classes, "a", id("c")), 0);
    ASSERT_EQ(add("a", {7}), 1);
    EXPECT_EQ(m_classes->editClassId, id("c"));
    int32_t count = 0;
    EXPECT_EQ(ClassManager_GetNumMembers(m_classes, id("a"), &count), 1);   // finishes the target's edit
    EXPECT_EQ(count, 1);
    EXPECT_EQ(m_classes->editClassId, 0u);
    ASSERT_EQ(add("a", {4}), 1);   // inserted: the class has members now
    EXPECT_EQ(contents("c").words, (Words{4, 7}));
}

TEST_F(ClassEditing, ADroppedEditLeavesNoShapeBehind)
{
    ASSERT_EQ(addClass("small", 2, 2), 1);
    for (uint16_t w : {9, 3, 5})
        ASSERT_EQ(add("small", {w, static_cast<uint16_t>(w + 1)}), 1);
    ASSERT_EQ(ClassManager_RemoveClassMembers(m_classes, "small"), 1);
    EXPECT_EQ(m_classes->editClassId, 0u);
    EXPECT_EQ(record("small")->numMembers, 0);

    ASSERT_EQ(addClass("big", 300, 3000), 1);
    std::vector<Words> expected;
    std::mt19937 rng(7);
    for (int k = 0; k < 300; ++k) {
        Words w;
        for (uint32_t n = 1 + rng() % 12; n > 0; --n)
            w.push_back(static_cast<uint16_t>(rng() % 50000));
        w[0] = static_cast<uint16_t>(k * 7);   // all distinct
        expected.push_back(w);
        ASSERT_EQ(add("big", w), 1);
    }
    std::sort(expected.begin(), expected.end());
    Words flat;
    for (const Words& w : expected)
        flat.insert(flat.end(), w.begin(), w.end());
    EXPECT_EQ(contents("big").words, flat);
    EXPECT_EQ(record("big")->numMembers, 300);
}

// Random adds (both paths), removals and word removals against a sorted-set
// reference keeping the lowest weight.
TEST_F(ClassEditing, RandomEditsAgreeWithASortedSetReference)
{
    for (const auto& [weights, phraseIds] : {std::pair{false, false}, {true, false}, {false, true}, {true, true}}) {
        const std::string name = std::string("r") + (weights ? "w" : "") + (phraseIds ? "p" : "");
        ASSERT_EQ(addClass(name.c_str(), 3, 5, weights, phraseIds), 1);
        std::map<std::pair<Words, int32_t>, int32_t> reference;
        std::mt19937 rng(11 + (weights ? 1 : 0) + (phraseIds ? 2 : 0));
        for (int step = 0; step < 400; ++step) {
            const uint32_t what = rng() % 10;
            Words w;
            for (uint32_t n = 1 + rng() % 3; n > 0; --n)
                w.push_back(static_cast<uint16_t>(rng() % 2 == 0 ? rng() % 4 : 65530 + rng() % 5));
            const int32_t phrase = phraseIds ? static_cast<int32_t>(rng() % 3) - 1 + (rng() % 2 == 0 ? 0 : 2147483645) : 0;
            const auto weight = static_cast<uint8_t>(rng() % 256);
            if (what < 6) {
                ASSERT_EQ(add(name.c_str(), w, weight, phrase), 1);
                auto [it, fresh] = reference.emplace(std::pair{w, phraseIds ? phrase : 0}, weights ? weight : 0);
                if (!fresh)
                    it->second = std::min(it->second, weights ? static_cast<int32_t>(weight) : 0);
            } else if (what < 8 && !phraseIds) {
                const int32_t r = ClassManager_RemoveClassMember(m_classes, name.c_str(), w.data(),
                                                                 static_cast<int32_t>(w.size()));
                EXPECT_EQ(r, reference.erase(std::pair{w, 0}) == 1 ? 1 : 0);
            } else if (what == 8) {
                const auto word = static_cast<uint16_t>(rng() % 4);
                ASSERT_EQ(ClassManager_RemoveWordFromClasses(m_classes, word), 1);
                std::erase_if(reference, [&](const auto& e) {
                    return std::find(e.first.first.begin(), e.first.first.end(), word) != e.first.first.end();
                });
            } else if (rng() % 8 == 0) {
                ASSERT_EQ(ClassManager_RemoveClassMembers(m_classes, name.c_str()), 1);
                reference.clear();
            }
            // Sorted by words (unsigned, shorter first), then phrase id.
            Contents expected;
            expected.offsets.push_back(0);
            for (const auto& [key, weight] : reference) {
                expected.words.insert(expected.words.end(), key.first.begin(), key.first.end());
                expected.offsets.push_back(static_cast<uint32_t>(expected.words.size()));
                if (weights)
                    expected.weights.push_back(weight);
                if (phraseIds)
                    expected.phraseIds.push_back(key.second);
            }
            const Contents got = contents(name.c_str());
            ASSERT_EQ(got.offsets, expected.offsets) << name << " step " << step;
            ASSERT_EQ(got.words, expected.words) << name << " step " << step;
            ASSERT_EQ(got.weights, expected.weights) << name << " step " << step;
            ASSERT_EQ(got.phraseIds, expected.phraseIds) << name << " step " << step;
        }
    }
}

TEST_F(ClassEditing, MarkReferencedWordIdsOfRealClasses)
{
    ASSERT_EQ(addClass("c"), 1);
    for (uint16_t w : {5, 9, 17, 40000})
        ASSERT_EQ(add("c", {w}), 1);
    ASSERT_GT(ClassManager_AddAlias(m_classes, "alias", id("c")), 0);
    uint8_t bitmap[2] = {};
    ClassManager_MarkReferencedWordIds(m_classes, bitmap, 8, 16);
    EXPECT_EQ(bitmap[0], 0x02);
    EXPECT_EQ(bitmap[1], 0x02);
    int32_t max = 0;
    EXPECT_EQ(ClassManager_GetMaxNumMembers(m_classes, &max), 1);
    EXPECT_EQ(max, 4);
}

TEST_F(ClassEditing, EachAllocationFailingInTurnWhileAddingAndMerging)
{
    ASSERT_EQ(addClass("c", 2, 2, true, true), 1);
    uint16_t word = 100;
    // Appends into the buffer, inserts into the record and merges, each with
    // every allocation failing in turn: a failure leaves what was readable.
    for (int round = 0; round < 3; ++round) {
        for (uint64_t n = 1;; ++n) {
            const Contents before = contents("c");
            const size_t live = m_allocator.liveBlocks();
            const Words member = {static_cast<uint16_t>(word - 1), word, word};
            const uint64_t failures = m_allocator.failures();
            m_allocator.failAt(m_allocator.calls() + n);
            int32_t result = add("c", member, 3, word);
            if (result == 1 && round != 1)
                result = ClassManager_FinishEdit(m_classes);
            const bool failed = m_allocator.failures() > failures;
            m_allocator.failAt(0);
            if (!failed) {
                EXPECT_EQ(result, 1);
                break;
            }
            if (result == 1)
                continue;   // a failure the operation absorbed
            if (m_classes->editClassId == 0) {
                EXPECT_EQ(contents("c").words, before.words) << "allocation " << n;
                EXPECT_LE(m_allocator.liveBlocks(), live + 4) << "allocation " << n;   // grown tables stay
            } else {
                // The merge failed: the edit is still pending and merges later.
                ASSERT_EQ(ClassManager_FinishEdit(m_classes), 1);
            }
        }
        word = static_cast<uint16_t>(word + 10);
    }
    EXPECT_EQ(record("c")->numMembers, 3);
}

} // namespace
