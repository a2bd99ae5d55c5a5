// Word starts of the linear-chain decoder: find-or-add against a reference
// map, rescoring words, new-word lists, frame seeds, the tree table and page
// growth.
#include "tests/brevit/search/decoder/decoder_test.h"

#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/search/linch_decoder_parts.h"
#include "tests/support/linear_chain_fixture.h"

#include <map>
#include <random>
#include <tuple>
#include <vector>

namespace {

using Words = std::vector<std::pair<int, uint32_t>>;

class LinChWordsTest : public DecoderTest {
protected:
    void TearDown() override
    {
        DVKTempMem_DeleteMemStack();
        DecoderTest::TearDown();
    }
};

// What a merged record must hold: the lowest cost offered and the ref of the
// first offer that reached it.
struct Expected {
    int16_t cost;
    int32_t ref;
};

// The key find-or-add merges on (slot or pron, then the state key).
using Key = std::pair<uint32_t, uint64_t>;

uint64_t stateKey(uint32_t high, uint32_t low) { return (uint64_t{high & 0x7FFFFFFFu} << 32) | low; }

LinChNewWord offer(std::mt19937& random, uint16_t pron, uint32_t ids)
{
    LinChNewWord r{};
    r.pron = pron;
    r.activeIdLow = static_cast<uint32_t>(random() % ids);
    r.activeIdHigh = static_cast<uint32_t>(random() % 3) | (random() % 2 ? 0x80000000u : 0u);
    r.cost = static_cast<int16_t>(random() % 200);
    r.ref = static_cast<int32_t>(random() % 5);
    return r;
}

// The plain list: sorted, one record per key, what the reference holds.
void checkPlain(LinChDecoder* d, const std::map<Key, Expected>& reference, bool withStates)
{
    ASSERT_EQ(d->newWordCount, static_cast<int32_t>(reference.size()));
    auto it = reference.begin();
    for (int32_t i = 0; i < d->newWordCount; ++i, ++it) {
        const LinChNewWord* r = LinChDecoder_NewWordAt(d, i);
        const Key key{r->pron, withStates ? stateKey(r->activeIdHigh, r->activeIdLow) : 0};
        ASSERT_EQ(key, it->first) << i;
        EXPECT_EQ(r->cost, it->second.cost) << i;
        EXPECT_EQ(r->ref, it->second.ref) << i;
    }
}

void applyOffer(std::map<Key, Expected>& reference, const Key& key, const LinChNewWord& r)
{
    auto [at, added] = reference.try_emplace(key, Expected{r.cost, r.ref});
    if (!added && r.cost < at->second.cost)
        at->second = {r.cost, r.ref};
}

TEST_F(LinChWordsTest, PlainFindOrAddKeepsTheLowestCostPerKey)
{
    for (int withStates = 0; withStates < 2; ++withStates) {
        // One page: 255 records before the list is full.
        LinearChainFixture f(2, {{kBrevitParamNewWordPages, 256}});
        LinChDecoder* d = f.decoder();
        ASSERT_EQ(f.uttInit(d, {}, 2), 1);
        d->withStates = withStates;
        std::mt19937 random(17 + withStates);
        std::map<Key, Expected> reference;
        for (int i = 0; i < 3000; ++i) {
            const LinChNewWord r = offer(random, static_cast<uint16_t>(random() % (withStates ? 150 : 400)), 4);
            const Key key{r.pron, withStates ? stateKey(r.activeIdHigh, r.activeIdLow) : 0};
            const bool known = reference.count(key) != 0;
            const bool room = static_cast<int32_t>(reference.size()) < 255;
            EXPECT_EQ(LinChDecoder_FindOrAdd(d, &r), known || room ? 1 : 0);
            if (known || room)
                applyOffer(reference, key, r);
        }
        EXPECT_EQ(reference.size(), 255u) << "the list filled";
        checkPlain(d, reference, withStates != 0);
    }
}

// Walks the expanded list: per slot the chain (or the tree slot's one record).
std::map<Key, Expected> collectExpanded(LinChDecoder* d, bool withStates)
{
    std::map<Key, Expected> found;
    for (int32_t slot = 0; slot < d->newWordSlots - 1; ++slot) {
        if (LinChDecoder_NewWordAt(d, slot)->cost == 16384)
            continue;
        uint64_t last = 0;
        bool first = true;
        for (int32_t at = slot; at != 65535; at = LinChDecoder_NewWordAt(d, at)->pron) {
            const LinChNewWord* r = LinChDecoder_NewWordAt(d, at);
            const uint64_t key = withStates && slot <= d->numVocEntries ? stateKey(r->activeIdHigh, r->activeIdLow) : 0;
            EXPECT_TRUE(first || key > last) << "chain order at slot " << slot;
            first = false;
            last = key;
            EXPECT_TRUE(found.emplace(Key{static_cast<uint32_t>(slot), key}, Expected{r->cost, r->ref}).second);
            if (slot > d->numVocEntries || !withStates)
                break;
        }
    }
    return found;
}

TEST_F(LinChWordsTest, ExpandedFindOrAddKeepsTheLowestCostPerKey)
{
    for (int withStates = 0; withStates < 2; ++withStates) {
        LinearChainFixture f(2, {{kBrevitParamExpandedNewWords, 1}, {kBrevitParamMaxTrees, 1},
                                 {kBrevitParamTreeCapacity, 2}});
        LinChDecoder* d = f.decoder();
        ASSERT_EQ(f.uttInit(d, {f.wholeVocabulary()}, 3), 1);
        d->withStates = withStates;
        d->findOrAdd = withStates ? LinChDecoder_FindOrAddExpandedStates : LinChDecoder_FindOrAddExpandedNoStates;
        const int32_t slots = d->newWordSlots - 1;  // keys 0 .. slots - 1
        const int32_t records = 256 * d->newWordPageCount;
        std::mt19937 random(91 + withStates);
        std::map<Key, Expected> reference;
        int32_t used = d->newWordSlots;
        for (int i = 0; i < 3000; ++i) {
            const LinChNewWord r = offer(random, static_cast<uint16_t>(random() % slots), 60);
            const bool tree = r.pron > d->numVocEntries;
            const Key key{r.pron, withStates && !tree ? stateKey(r.activeIdHigh, r.activeIdLow) : 0};
            const bool known = reference.count(key) != 0;
            bool headEmpty = true;
            for (const auto& [k, v] : reference)
                headEmpty = headEmpty && k.first != r.pron;
            const bool needsRecord = withStates && !tree && !known && !headEmpty;
            const bool dropped = needsRecord && records - used < 2;
            EXPECT_EQ(d->findOrAdd(d, &r), dropped ? 0 : 1) << i;
            if (dropped)
                continue;
            if (needsRecord)
                ++used;
            applyOffer(reference, key, r);
        }
        EXPECT_EQ(d->newWordCount, used);
        if (withStates) {
            EXPECT_LT(records - used, 2) << "the free records ran out";
        }
        const auto found = collectExpanded(d, withStates != 0);
        ASSERT_EQ(found.size(), reference.size());
        for (const auto& [key, expected] : reference) {
            auto at = found.find(key);
            ASSERT_NE(at, found.end());
            EXPECT_EQ(at->second.cost, expected.cost);
            EXPECT_EQ(at->second.ref, expected.ref);
        }
    }
}

TEST_F(LinChWordsTest, WordsStartFromSilenceThroughTheConstraints)
{
    LinearChainFixture f(2, {{kBrevitParamWordInsertionCost, 9}});
    LinChDecoder* d = f.decoder();
    ASSERT_EQ(f.uttInit(d, {f.wholeVocabulary()}, 3), 1);
    d->newWordSilence(d, 100, 65535, 0xFFFFFFFFu, 0x7FFFFFFFu, 0);
    // Every active pron starts once, at the base cost plus the insertion cost.
    ASSERT_EQ(d->newWordCount, 5);
    for (int32_t i = 0; i < 5; ++i) {
        const LinChNewWord* r = LinChDecoder_NewWordAt(d, i);
        EXPECT_EQ(r->pron, i);
        EXPECT_EQ(r->cost, 109);
        EXPECT_EQ(r->ref, -1);
        EXPECT_EQ(ActiveId_GetConstraintIndex(ActiveId_FromWords(r->activeIdHigh, r->activeIdLow)), 0);
    }
    // Mode 2: the rescoring words due now, scored from silence.
    LinChDecoder* c = f.decoder();
    ASSERT_EQ(f.uttInit(c, {}, 2), 1);
    Decoder_AddPair(&c->base, 3, 0);
    Decoder_AddPair(&c->base, 1, 0);
    LinChDecoder_BuildNewWordList(c);
    c->newWordSilence(c, 50, 65535, 0xFFFFFFFFu, 0x7FFFFFFFu, 0);
    ASSERT_EQ(c->newWordCount, 2);
    EXPECT_EQ(LinChDecoder_NewWordAt(c, 0)->pron, 1);
    EXPECT_EQ(LinChDecoder_NewWordAt(c, 0)->cost, 59);
    EXPECT_EQ(LinChDecoder_NewWordAt(c, 1)->cost, 59);
}

TEST_F(LinChWordsTest, CloseCallsOnlyWhenHistoriesDiffer)
{
    LinearChainFixture f(2, {{kBrevitParamCloseCalls, 1}, {kBrevitParamCloseCallRecords, 10},
                             {kBrevitParamCloseCallMaxKey, 1000}});
    LinChDecoder* d = f.decoder();
    ASSERT_EQ(f.uttInit(d, {}, 2), 1);
    ASSERT_NE(d->closeCalls, nullptr);
    LinChNewWord a{};
    a.pron = 7;
    a.cost = 50;
    a.ref = 3;
    LinChNewWord same = a;
    same.cost = 40;
    EXPECT_EQ(d->findOrAdd(d, &a), 1);
    EXPECT_EQ(d->findOrAdd(d, &same), 1);
    EXPECT_EQ(LinChDecoder_CountCloseCalls(d), 0) << "equal refs";
    EXPECT_EQ(LinChDecoder_NewWordAt(d, 0)->cost, 40);
    LinChNewWord other = a;
    other.ref = 9;
    other.cost = 40;   // not lower: the old record stays
    EXPECT_EQ(d->findOrAdd(d, &other), 1);
    EXPECT_EQ(LinChDecoder_NewWordAt(d, 0)->ref, 3);
    EXPECT_EQ(LinChDecoder_CountCloseCalls(d), 1);
    d->closeCallOn = 0;
    other.ref = 11;
    other.cost = 10;
    EXPECT_EQ(d->findOrAdd(d, &other), 1);
    EXPECT_EQ(LinChDecoder_CountCloseCalls(d), 1) << "close calls off";
    EXPECT_EQ(LinChDecoder_NewWordAt(d, 0)->ref, 11);
}

TEST_F(LinChWordsTest, RescoringPairsSortDropAndBuildTheNewWordList)
{
    LinearChainFixture f(2, {{kBrevitParamRescoreCapacity, 4}});
    LinChDecoder* d = f.decoder();
    ASSERT_EQ(f.uttInit(d, {}, 2), 1);
    for (auto [pron, frame] : std::vector<std::pair<int16_t, int16_t>>{{5, 3}, {2, 3}, {5, 3}, {1, 9}})
        EXPECT_EQ(Decoder_AddPair(&d->base, pron, frame), 1);
    EXPECT_EQ(Decoder_AddPair(&d->base, 8, 8), 0) << "a full list drops the pair";
    LinChDecoder_SortRescoreList(d);
    ASSERT_EQ(d->rescoreCount, 3);
    const std::vector<std::pair<int, int>> sorted = {{2, 3}, {5, 3}, {1, 9}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(d->rescoreWords[i].pron, sorted[i].first);
        EXPECT_EQ(d->rescoreWords[i].frame, sorted[i].second);
    }
    // Due words start at frame - seedLeadFrames.
    d->seedLeadFrames = 0;
    d->frameIndex = 3;
    d->newWordCount = 0;
    LinChDecoder_BuildNewWordList(d);
    EXPECT_EQ(d->newWordCount, 2);
    EXPECT_EQ(LinChDecoder_NewWordAt(d, 0)->pron, 2);
    EXPECT_EQ(LinChDecoder_NewWordAt(d, 1)->pron, 5);
    EXPECT_EQ(LinChDecoder_NewWordAt(d, 1)->cost, 16384);
    EXPECT_EQ(LinChDecoder_NewWordAt(d, 2)->pron, 65535);
    EXPECT_EQ(LinChDecoder_NewWordAt(d, 2)->cost, 0);
    d->seedKeepFrames = 2;
    d->frameIndex = 6;
    LinChDecoder_DropOldRescoreWords(d);
    ASSERT_EQ(d->rescoreCount, 1);
    EXPECT_EQ(d->rescoreWords[0].pron, 1);
    d->frameIndex = 12;
    LinChDecoder_DropOldRescoreWords(d);
    EXPECT_EQ(d->rescoreCount, 0);
    d->newWordCount = 0;
    LinChDecoder_BuildNewWordList(d);
    EXPECT_EQ(d->newWordCount, 0) << "none: the end record alone";
    EXPECT_EQ(LinChDecoder_NewWordAt(d, 0)->pron, 65535);
}

TEST_F(LinChWordsTest, AFullNewWordListGivesItsLastRecordToTheEnd)
{
    LinearChainFixture f(2, {{kBrevitParamRescoreCapacity, 400}, {kBrevitParamNewWordPages, 256}});
    LinChDecoder* d = f.decoder();
    ASSERT_EQ(f.uttInit(d, {}, 2), 1);
    for (int16_t p = 300; p > 0; --p)
        Decoder_AddPair(&d->base, p, 0);
    d->newWordCount = 0;
    LinChDecoder_BuildNewWordList(d);
    EXPECT_EQ(d->newWordCount, 254);
    EXPECT_EQ(LinChDecoder_NewWordAt(d, 254)->pron, 65535);
    for (int32_t i = 1; i < 254; ++i)
        ASSERT_LT(LinChDecoder_NewWordAt(d, i - 1)->pron, LinChDecoder_NewWordAt(d, i)->pron);
}

TEST_F(LinChWordsTest, FrameSeedsAreSortedUniqueAndTheLastDroppedWhenFull)
{
    LinearChainFixture f(2, {{kBrevitParamRescoreCapacity, 40}, {kBrevitParamSeedWords, 4}});
    LinChDecoder* d = f.decoder();
    ASSERT_EQ(f.uttInit(d, {}, 2), 1);
    for (int16_t p : {9, 3, 9, 3}) Decoder_AddPair(&d->base, p, 0);
    LinChDecoder_BuildFrameSeedList(d);
    ASSERT_EQ(d->frameSeedCount, 2);
    EXPECT_EQ(d->frameSeedWords[0], 3);
    EXPECT_EQ(d->frameSeedWords[1], 9);
    for (int16_t p : {7, 1, 5}) Decoder_AddPair(&d->base, p, 0);
    LinChDecoder_BuildFrameSeedList(d);
    // 9 3 9 3 fill the list and shrink to 3 9; 7 1 fill it again with four
    // distinct words, so the walk stops before 5 and the last is dropped.
    ASSERT_EQ(d->frameSeedCount, 3);
    EXPECT_EQ(d->frameSeedWords[0], 1);
    EXPECT_EQ(d->frameSeedWords[1], 3);
    EXPECT_EQ(d->frameSeedWords[2], 7);
}

TEST_F(LinChWordsTest, TreeTableAppendsUpToItsCapacity)
{
    LinearChainFixture f(2, {{kBrevitParamMaxTrees, 1}, {kBrevitParamTreeCapacity, 2}});
    LinChDecoder* d = f.decoder();
    ASSERT_EQ(f.uttInit(d, {}, 2), 1);
    auto* tree = reinterpret_cast<LexTree*>(0x10);
    const uint32_t state5 = 5u << 3, state6 = 6u << 3;
    EXPECT_EQ(LinChDecoder_FindOrAddExpandedState(d, 0, 0, state5, tree), 0);
    EXPECT_EQ(LinChDecoder_FindOrAddExpandedState(d, 1, 0, state5, tree), 1);
    EXPECT_EQ(LinChDecoder_FindOrAddExpandedState(d, 0, 7, state5 | 0x80000000u, tree), 0) << "known";
    EXPECT_EQ(d->state, 1);
    EXPECT_EQ(LinChDecoder_FindOrAddExpandedState(d, 0, 0, state6, tree), 0);
    EXPECT_EQ(d->state, 3) << "full";
    EXPECT_EQ(d->numTrees, 2);
    EXPECT_EQ(d->treeIds[1], 5);
    EXPECT_EQ(d->treeWords[1], 1);
}

TEST_F(LinChWordsTest, PageGrowthKeepsOldPagesAndAFailedOneTheOldTable)
{
    LinearChainFixture f(2, {{kBrevitParamNewWordPages, 256}});
    LinChDecoder* d = f.decoder();
    ASSERT_EQ(f.uttInit(d, {}, 2), 1);
    ASSERT_EQ(d->newWordPageCount, 1);
    LinChNewWord* page0 = d->newWordPages[0];
    page0[3].cost = 1234;
    f.set(kBrevitParamNewWordPages, 256 * 3);
    for (uint64_t n = 1;; ++n) {
        LinChNewWord** table = d->newWordPages;
        const uint64_t failures = m_allocator.failures();
        m_allocator.failAt(m_allocator.calls() + n);
        const int32_t grown = LinChDecoder_GrowNewWordPages(d);
        m_allocator.failAt(0);
        if (m_allocator.failures() == failures) {
            EXPECT_EQ(grown, 1);
            break;
        }
        EXPECT_EQ(grown, 0);
        EXPECT_EQ(d->newWordPages, table);
        EXPECT_EQ(d->newWordPageCount, 1);
    }
    EXPECT_EQ(d->newWordPageCount, 3);
    EXPECT_EQ(d->newWordPages[0], page0);
    EXPECT_EQ(d->newWordPages[0][3].cost, 1234);
}

TEST_F(LinChWordsTest, FrameBestAndWordEndLimit)
{
    LinearChainFixture f(2, {{kBrevitParamNewWordBeam, 50}, {kBrevitParamWordEndBeam, 30}});
    LinChDecoder* d = f.decoder();
    ASSERT_EQ(f.uttInit(d, {}, 2), 1);
    for (int16_t cost : {90, 40, 70}) {
        LinChNewWord r{};
        r.pron = static_cast<uint16_t>(cost);
        r.cost = cost;
        d->findOrAdd(d, &r);
    }
    d->bestCost = 60;
    LinChDecoder_UpdateFrameBest(d);
    EXPECT_EQ(d->bestCost, 40);
    d->bestCost = 100;
    d->bestWordEndCost = 110;
    d->pruneThreshold = 500;
    EXPECT_EQ(LinChDecoder_GetWordEndLimit(d), 40) << "word-end beam: 110 + 30 - 100";
    d->pruneThreshold = 120;
    EXPECT_EQ(LinChDecoder_GetWordEndLimit(d), 20);
    d->bestWordEndCost = 16384;
    d->pruneThreshold = 500;
    EXPECT_EQ(LinChDecoder_GetWordEndLimit(d), 50) << "new-word beam";
    // Settled: silence dead, then the garbage word or model 0 is best.
    EXPECT_EQ(LinChDecoder_IsSettled(d), 0);
    d->silenceHyp.cost[0] = 16384;
    d->bestModel = 3;
    d->bestPron = 1;
    EXPECT_EQ(LinChDecoder_IsSettled(d), d->garbagePron == 1 ? 1 : 0);
    d->bestModel = 0;
    EXPECT_EQ(LinChDecoder_IsSettled(d), 1);
}

TEST_F(LinChWordsTest, StoredFrameAndFrameInfo)
{
    LinearChainFixture f(2, {{kBrevitParamFrameQueueCapacity, 4}});
    LinChDecoder* d = f.decoder();
    ASSERT_EQ(f.uttInit(d, {}, 2), 1);
    const std::vector<uint8_t> frame = f.frames({3});
    const int32_t tag = 0x5A5A1234;
    LinChDecoder_StoreFrame(d, frame.data(), &tag);
    int32_t back = 0;
    const uint8_t* stored = LinChDecoder_GetStoredFrame(d, &back);
    EXPECT_EQ(back, tag);
    EXPECT_EQ(std::vector<uint8_t>(stored, stored + frame.size()), frame);
    d->hypCount = 17;
    d->frameIndex = 0;
    LinChDecoder_RecordFrameInfo(d);
    ASSERT_EQ(d->base.statsLength, 4);
    EXPECT_EQ(d->base.statsA[0], 17);
    EXPECT_EQ(d->base.statsB[0], AM_GetNumScoredStates(f.model()));
    d->frameIndex = 4;
    LinChDecoder_RecordFrameInfo(d);   // past the arrays: nothing written
    EXPECT_EQ(LinChDecoder_GetNumHypotheses(d), 17);
}

} // namespace
