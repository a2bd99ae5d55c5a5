#include "core/brevit/search/lm.h"

#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/brevit/search/table_test.h"
#include "tests/support/archive_fixture.h"
#include "tests/support/param_block_builder.h"
#include "tests/support/test_language_model.h"

#include <vector>

namespace {

using Symbols = std::vector<uint16_t>;

// Order 4, offset 10, sentence start 3, symbol of 65531 = 4, D 1000, B 500.
TestLanguageModel::Fields common()
{
    TestLanguageModel::Fields f;
    f.order = 4;
    f.idOffset = 10;
    f.sentenceStart = 3;
    f.symbol65531 = 4;
    f.firstDynamic = 1000;
    f.dynamicBase = 500;
    f.slots = 3;
    f.batchCapacity = 4;
    f.scale = 77;
    return f;
}

class LanguageModel : public TableTest {
protected:
    // A model of the kind, deleted with the test.
    LM* make(TestLanguageModel& kind)
    {
        LM* model = kind.create();
        EXPECT_NE(model, nullptr);
        m_models.push_back(model);
        return model;
    }

    void TearDown() override
    {
        for (LM* model : m_models)
            LM_Delete(model);
        TableTest::TearDown();
    }

    std::vector<LM*> m_models;
};

TEST_F(LanguageModel, MapsWordIds)
{
    TestLanguageModel kind(common());
    LM* model = make(kind);
    struct Case {
        int32_t word;
        uint16_t symbol;
    };
    for (const Case& c : {Case{65531, 4}, Case{65532, 3}, Case{65533, 3}, Case{65534, 0},
                          Case{65535, 0}, Case{999, 1009}, Case{1000, 501}, Case{1001, 502},
                          Case{0, 10}, Case{65530, 65031}})
        EXPECT_EQ(LM_MapWordId(model, c.word), c.symbol) << c.word;
    TestLanguageModel::Fields mapped = common();
    mapped.idMap = {7, 8, 9};
    TestLanguageModel mappedKind(mapped);
    LM* withMap = make(mappedKind);
    EXPECT_EQ(LM_MapWordId(withMap, 0), 7);
    EXPECT_EQ(LM_MapWordId(withMap, 2), 9);
    EXPECT_EQ(LM_MapWordId(withMap, 1000), 501);
    EXPECT_EQ(LM_MapWordId(withMap, 65532), 3);
}

TEST_F(LanguageModel, BuildsHistories)
{
    const uint16_t ten[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    const uint16_t start[] = {1, 2, 65533, 5};
    const uint16_t startSecond[] = {1, 65533, 2, 5};
    struct Case {
        const char* what;
        int32_t order;
        uint16_t sentenceStart;
        const uint16_t* history;
        int32_t n;
        int32_t word;
        Symbols symbols;
        int32_t historyCount;
    };
    const Case cases[] = {
        {"newest three of ten", 4, 3, ten, 10, 20, {18, 19, 20, 30}, 3},
        {"two", 4, 3, ten + 6, 2, 9, {17, 18, 19}, 2},
        {"none", 4, 3, nullptr, 0, 9, {19}, 0},
        {"negative length", 4, 3, ten, -2, 9, {19}, 0},
        {"sentence start, order 8", 8, 3, start, 4, 6, {3, 3, 3, 3, 3, 3, 15, 16}, 7},
        {"sentence start, order 3", 3, 3, start, 4, 6, {3, 3, 3, 3, 3, 3, 15, 16}, 7},
        {"start beyond the order", 3, 3, startSecond, 4, 6, {12, 15, 16}, 2},
        {"no sentence start symbol", 4, 0, start, 4, 6, {12, 0, 15, 16}, 3},
        {"order 12 keeps seven", 12, 3, ten, 10, 20, {13, 14, 15, 16, 17, 18, 19, 20, 30}, 7},
        {"order 0", 0, 3, ten, 10, 20, {30}, 0},
    };
    for (const Case& c : cases) {
        TestLanguageModel::Fields f = common();
        f.order = c.order;
        f.sentenceStart = c.sentenceStart;
        TestLanguageModel kind(f);
        LM* model = make(kind);
        LM_GetWordScore(model, c.history, c.n, c.word);
        ASSERT_EQ(kind.scoreCalls.size(), 1u) << c.what;
        Symbols expected = c.symbols;
        if (expected.size() > 8)
            expected.erase(expected.begin(), expected.end() - 8);
        EXPECT_EQ(kind.scoreCalls[0].symbols, expected) << c.what;
        EXPECT_EQ(kind.scoreCalls[0].count, c.historyCount + 1) << c.what;
        EXPECT_EQ(kind.scoreCalls[0].history, c.historyCount) << c.what;
        EXPECT_EQ(kind.scoreCalls[0].flag, 1) << c.what;
    }
}

TEST_F(LanguageModel, ScoresAreTheAnswersLow16BitsSigned)
{
    TestLanguageModel kind(common());
    LM* model = make(kind);
    const uint16_t history[] = {1};
    kind.table[{11, 12}] = 0x12345;
    kind.table[{11, 13}] = 0x18000;
    EXPECT_EQ(LM_GetWordScore(model, history, 1, 2), 9029);
    EXPECT_EQ(LM_GetWordScore(model, history, 1, 3), -32768);
    EXPECT_EQ(LM_GetWordScoreRaw(model, history, 1, 2), 9029);
    // By model ids: nothing is mapped.
    const uint16_t symbols[] = {11};
    EXPECT_EQ(LM_GetWordScoreByLMIds(model, symbols, 1, 12), 9029);
    ASSERT_EQ(kind.scoreCalls.size(), 4u);
    EXPECT_EQ(kind.scoreCalls[0].flag, 1);
    EXPECT_EQ(kind.scoreCalls[2].flag, 0);
    EXPECT_EQ(kind.scoreCalls[3].flag, 0);
    EXPECT_EQ(kind.scoreCalls[3].symbols, (Symbols{11, 12}));
    EXPECT_EQ(LM_GetWordScore(nullptr, history, 1, 2), 0);
    EXPECT_EQ(LM_GetWordScoreRaw(nullptr, history, 1, 2), 0);
    EXPECT_EQ(LM_GetWordScoreByLMIds(nullptr, history, 1, 2), 0);
}

TEST_F(LanguageModel, ScoresCandidatesInBatchesWithACachedList)
{
    TestLanguageModel kind(common());
    LM* model = make(kind);
    const uint16_t history[] = {5, 6};
    const uint16_t candidates[] = {1, 2, 1001, 65531, 7};
    kind.table[{15, 16, 11}] = 40;
    int16_t scores[5] = {};
    const int32_t key = LM_ScoreCandidates(model, 2, history, 3, candidates, -1, scores);
    EXPECT_NE(key, -1);
    ASSERT_EQ(kind.batchCalls.size(), 1u);
    EXPECT_TRUE(kind.batchCalls[0].listed);
    EXPECT_EQ(kind.batchCalls[0].candidates, (Symbols{11, 12, 502}));
    EXPECT_EQ(kind.batchCalls[0].history, (Symbols{15, 16}));
    EXPECT_EQ(scores[0], 40);
    EXPECT_TRUE(kind.scoreCalls.empty());
    // The same list with its key: not handed over again.
    EXPECT_EQ(LM_ScoreCandidates(model, 2, history, 3, candidates, key, scores), key);
    ASSERT_EQ(kind.batchCalls.size(), 2u);
    EXPECT_FALSE(kind.batchCalls[1].listed);
    EXPECT_EQ(scores[0], 40);
    // Another list, without a key: mapped again.
    const int32_t other = LM_ScoreCandidates(model, 2, history, 4, candidates + 1, -1, scores);
    EXPECT_NE(other, key);
    ASSERT_EQ(kind.batchCalls.size(), 3u);
    EXPECT_EQ(kind.batchCalls[2].candidates, (Symbols{12, 502, 4, 17}));
    // A stale key for a list scored since: mapped again.
    EXPECT_EQ(LM_ScoreCandidates(model, 2, history, 3, candidates, key, scores), key);
    EXPECT_TRUE(kind.batchCalls[3].listed);
    // A batch that is not scored: each candidate alone, flag 0, no key kept.
    kind.batchAnswersZero = true;
    EXPECT_EQ(LM_ScoreCandidates(model, 2, history, 3, candidates, key, scores), -1);
    ASSERT_EQ(kind.scoreCalls.size(), 3u);
    EXPECT_EQ(kind.scoreCalls[0].symbols, (Symbols{15, 16, 11}));
    EXPECT_EQ(kind.scoreCalls[2].symbols, (Symbols{15, 16, 502}));
    EXPECT_EQ(kind.scoreCalls[1].flag, 0);
    EXPECT_EQ(scores[0], 40);
    kind.batchAnswersZero = false;
    kind.clearCalls();
    // More than the batch takes: each alone.
    EXPECT_EQ(LM_ScoreCandidates(model, 2, history, 5, candidates, -1, scores), -1);
    EXPECT_TRUE(kind.batchCalls.empty());
    EXPECT_EQ(kind.scoreCalls.size(), 5u);
    EXPECT_EQ(scores[4], kind.answer(Symbols{15, 16, 17}.data(), 3));
    kind.clearCalls();
    // None: the batch gets the empty list, nothing is scored alone.
    EXPECT_NE(LM_ScoreCandidates(model, 2, history, 0, candidates, -1, scores), -1);
    ASSERT_EQ(kind.batchCalls.size(), 1u);
    EXPECT_TRUE(kind.batchCalls[0].listed);
    EXPECT_EQ(kind.batchCalls[0].count, 0);
    EXPECT_TRUE(kind.scoreCalls.empty());
    // A sentence start makes a history of seven.
    const uint16_t started[] = {65532, 6};
    LM_ScoreCandidates(model, 2, started, 1, candidates, -1, scores);
    EXPECT_EQ(kind.batchCalls.back().history, (Symbols{3, 3, 3, 3, 3, 3, 16}));
    // Without a model: zeros.
    int16_t none[3] = {5, 5, 5};
    EXPECT_EQ(LM_ScoreCandidates(nullptr, 2, history, 3, candidates, -1, none), -1);
    EXPECT_EQ(none[0], 0);
    EXPECT_EQ(none[2], 0);
}

TEST_F(LanguageModel, ActivatesAndDeactivatesDynamicWords)
{
    TestLanguageModel kind(common());
    LM* model = make(kind);
    EXPECT_EQ(LM_ActivateDynamicWord(model, 1001, 5, 6), 1);
    ASSERT_EQ(kind.dynamicCalls.size(), 1u);
    EXPECT_TRUE(kind.dynamicCalls[0].activate);
    EXPECT_EQ(kind.dynamicCalls[0].modelId, 502);
    EXPECT_EQ(kind.dynamicCalls[0].a, 5);
    EXPECT_EQ(kind.dynamicCalls[0].b, 6);
    EXPECT_EQ(model->slotFlags[1], 1);
    EXPECT_EQ(LM_ActivateDynamicWord(model, 1001, 5, 6), 0);
    EXPECT_EQ(LM_ActivateDynamicWord(model, 1003, 5, 6), 0);
    EXPECT_EQ(LM_ActivateDynamicWord(model, 999, 5, 6), 0);
    EXPECT_EQ(kind.dynamicCalls.size(), 1u);
    EXPECT_EQ(LM_DeactivateDynamicWord(model, 1002), 1);
    EXPECT_EQ(LM_DeactivateDynamicWord(model, 1003), 0);
    EXPECT_EQ(kind.dynamicCalls.size(), 1u);
    EXPECT_EQ(LM_DeactivateDynamicWord(model, 1001), 1);
    ASSERT_EQ(kind.dynamicCalls.size(), 2u);
    EXPECT_FALSE(kind.dynamicCalls[1].activate);
    EXPECT_EQ(kind.dynamicCalls[1].modelId, 502);
    EXPECT_EQ(kind.dynamicCalls[1].a, 1);
    EXPECT_EQ(model->slotFlags[1], 0);
    // A refusing kind leaves the slot as it was.
    kind.refuseDynamic = true;
    EXPECT_EQ(LM_ActivateDynamicWord(model, 1000, 1, 1), 0);
    EXPECT_EQ(model->slotFlags[0], 0);
    kind.refuseDynamic = false;
    EXPECT_EQ(LM_ActivateDynamicWord(model, 1000, 1, 1), 1);
    kind.refuseDynamic = true;
    EXPECT_EQ(LM_DeactivateDynamicWord(model, 1000), 0);
    EXPECT_EQ(model->slotFlags[0], 1);
    EXPECT_EQ(LM_ActivateDynamicWord(nullptr, 1000, 1, 1), 1);
    EXPECT_EQ(LM_DeactivateDynamicWord(nullptr, 1000), 1);
}

TEST_F(LanguageModel, AdaptsOnMappedWords)
{
    TestLanguageModel kind(common());
    LM* model = make(kind);
    const uint16_t context[] = {1, 65532};
    const uint16_t words[] = {1001, 7, 8};
    EXPECT_EQ(LM_AdaptOnWords(model, 2, context, 3, words), 1);
    ASSERT_EQ(kind.adaptCalls.size(), 1u);
    EXPECT_EQ(kind.adaptCalls[0].symbols, (Symbols{11, 3, 502, 17, 18}));
    EXPECT_EQ(kind.adaptCalls[0].total, 5);
    EXPECT_EQ(kind.adaptCalls[0].first, 2);
    kind.refuseAdaptation = true;
    EXPECT_EQ(LM_AdaptOnWords(model, 0, nullptr, 1, words), 0);
    EXPECT_EQ(kind.adaptCalls.back().symbols, (Symbols{502}));
    EXPECT_EQ(LM_AdaptOnWords(nullptr, 2, context, 3, words), 0);
    model->adaptation = 0;
    EXPECT_EQ(LM_AdaptOnWords(model, 2, context, 3, words), 0);
    EXPECT_EQ(kind.adaptCalls.size(), 2u);
}

TEST_F(LanguageModel, ChecksumScaleOrderAndLife)
{
    TestLanguageModel kind(common());
    LM* model = make(kind);
    EXPECT_EQ(LM_ComputeCRC(nullptr, 5), 0xFFFFFFFFu);
    const uint32_t crc = LM_ComputeCRC(model, 0xFFFFFFFFu);
    kind.table[{1, 2}] = 3;
    EXPECT_NE(LM_ComputeCRC(model, 0xFFFFFFFFu), crc);
    EXPECT_EQ(LM_GetScale(model), 77);
    EXPECT_EQ(LM_GetOrder(model), 4);
    EXPECT_EQ(LM_GetOrder(nullptr), 0);
    EXPECT_EQ(LM_GetScale(nullptr), 0);
    {
        ParamBlockBuilder b;
        b.word(kBrevitParamLmScale, static_cast<uint32_t>(-12));
        ScopedParamBlock block(b);
        EXPECT_EQ(LM_GetScale(nullptr), -12);
    }
    model->crc = nullptr;
    EXPECT_EQ(LM_ComputeCRC(model, 5), 0xFFFFFFFFu);
    // A shared model outlives LM_Delete.
    TestLanguageModel::Fields f = common();
    f.shared = 1;
    TestLanguageModel sharedKind(f);
    LM* shared = sharedKind.create();
    ASSERT_NE(shared, nullptr);
    LM_Delete(shared);
    EXPECT_FALSE(sharedKind.freed());
    shared->shared = 0;
    LM_Delete(shared);
    EXPECT_TRUE(sharedKind.freed());
    LM_Delete(nullptr);
}

TEST_F(LanguageModel, StateGoesThroughTheSubFile)
{
    TestLanguageModel kind(common());
    LM* model = make(kind);
    kind.table[{1, 2, 3}] = -5;
    kind.table[{9}] = 70000;
    const uint32_t crc = LM_ComputeCRC(model, 0xFFFFFFFFu);
    ArchiveFixture archive("lm.dvk");
    EXPECT_EQ(LM_WritePSAFile(model, archive.tar(), "user"), 1);
    archive.finish();
    DVKTar* tar = archive.openMapped();
    TestLanguageModel other(common());
    LM* restored = make(other);
    EXPECT_EQ(LM_LoadFromBinFile(restored, tar, "user"), restored);
    EXPECT_EQ(other.table, kind.table);
    EXPECT_EQ(LM_ComputeCRC(restored, 0xFFFFFFFFu), crc);
    EXPECT_EQ(LM_LoadFromBinFile(restored, tar, "nobody"), nullptr);
    EXPECT_EQ(LM_LoadFromBinFile(nullptr, tar, "user"), nullptr);
    // No model kind is ever created from a file.
    EXPECT_EQ(LM_CreateFromBinFile(tar, "user"), nullptr);
    EXPECT_EQ(LM_CreateFromBinFile(tar, "nobody"), nullptr);
}

// Every allocation of the kind's creation failing in turn: null, nothing held.
TEST_F(LanguageModel, CreationFailuresHoldNothing)
{
    TestLanguageModel::Fields f = common();
    f.idMap = {1, 2, 3};
    TestLanguageModel kind(f);
    for (uint64_t n = 1;; ++n) {
        m_allocator.failAt(m_allocator.calls() + n);
        const uint64_t failures = m_allocator.failures();
        LM* model = kind.create();
        m_allocator.failAt(0);
        if (m_allocator.failures() == failures) {
            ASSERT_NE(model, nullptr);
            LM_Delete(model);
            break;
        }
        EXPECT_EQ(model, nullptr) << n;
        EXPECT_EQ(m_allocator.liveBlocks(), 0u) << n;
    }
}

} // namespace
