#include "tests/brevit/search/decoder/decoder_test.h"
#include "core/brevit/runtime/dvk_err.h"

#include "core/brevit/search/choice_record.h"
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/class_pair_constraint.h"
#include "core/brevit/search/constraint_manager.h"
#include "core/brevit/search/decoder_utils.h"
#include "core/brevit/search/frame_buffer.h"
#include "core/brevit/search/linch_choice.h"
#include "tests/support/class_pair_network.h"
#include "tests/support/vocabulary_fixture.h"

#include <map>
#include <memory>
#include <random>
#include <vector>

namespace {

LinChChoice choice(int32_t score, std::vector<uint16_t> words, int32_t languageScore = 0)
{
    LinChChoice c{};
    c.score = score;
    c.languageScore = languageScore;
    c.wordCount = static_cast<int32_t>(words.size());
    for (size_t i = 0; i < words.size(); ++i) {
        c.words[i] = words[i];
        c.endFrames[i] = static_cast<int16_t>(10 * (i + 1));
        c.flags[i] = static_cast<uint8_t>(i % 2);
        c.startFlags[i] = 1;
        c.members[i] = static_cast<uint32_t>(100 + i);
        c.classes[i] = static_cast<uint32_t>(200 + i);
    }
    return c;
}

class LinChChoiceTest : public DecoderTest {};

TEST_F(LinChChoiceTest, ComparisonsAsATable)
{
    struct Case {
        bool members;          // parameter word 856
        LinChChoice a, b;
        int32_t words, choices, scoreNode;
    };
    LinChChoice memberDiffers = choice(5, {1, 2});
    memberDiffers.members[1] = 7;
    LinChChoice classDiffers = choice(5, {1, 2});
    classDiffers.classes[0] = 999;
    LinChChoice nodeLater = choice(5, {1, 2});
    nodeLater.endNode = 3;
    LinChChoice empty = choice(5, {});
    LinChChoice emptyOther = choice(5, {});
    emptyOther.members[0] = 1;
    const Case cases[] = {
        {false, choice(5, {1, 2}), choice(6, {1, 2}), 0, -1, -1},
        {false, choice(-2000000000, {1}), choice(2000000000, {1}), 0, -1, -1},
        {false, choice(5, {1, 2}), choice(5, {1}), 1, 1, 0},
        {false, choice(9, {1, 3}), choice(5, {1, 2}), 1, 1, 1},
        {false, choice(5, {0xFFFF}), choice(5, {1}), 1, 1, 0},
        {false, choice(5, {1, 2}), memberDiffers, 0, 0, 0},
        {true, choice(5, {1, 2}), memberDiffers, 1, 1, 0},
        {true, classDiffers, choice(5, {1, 2}), 1, 1, 0},
        {true, empty, emptyOther, 0, 0, 0},
        {false, choice(5, {1, 2}), nodeLater, 0, 0, -1},
    };
    int index = 0;
    for (const Case& c : cases) {
        params(ParamBlockBuilder().word(kBrevitParamCloseCallMembers, c.members ? 1 : 0));
        EXPECT_EQ(CloseCall_CompareChoiceWords(&c.a, &c.b), c.words) << index;
        EXPECT_EQ(CloseCall_CompareChoiceWords(&c.b, &c.a), -c.words) << index;
        EXPECT_EQ(CloseCall_CompareChoices(&c.a, &c.b), c.choices) << index;
        EXPECT_EQ(CloseCall_CompareChoices(&c.b, &c.a), -c.choices) << index;
        EXPECT_EQ(CloseCall_CompareChoiceScoreNode(&c.a, &c.b), c.scoreNode) << index;
        ++index;
    }
}

TEST_F(LinChChoiceTest, FillingTheChoiceListCountsTerminators)
{
    params();
    const LinChChoice choices[3] = {choice(10, {4, 5}, -3), choice(20, {6, 7}), choice(30, {8})};
    struct Case {
        int32_t capacity, limit, count;
    };
    const Case cases[] = {{6, 3, 2}, {5, 3, 1}, {2, 3, 0}, {20, 3, 3}, {20, 1, 1}};
    for (const Case& c : cases) {
        int32_t count = 3;
        std::vector<int32_t> scores(3, -1);
        std::vector<int16_t> shares(3, -1);
        std::vector<uint32_t> words(static_cast<size_t>(c.capacity), 9), classIds(words.size(), 9),
            members(words.size(), 9);
        std::vector<uint8_t> ends(words.size(), 9), starts(words.size(), 9);
        std::vector<uint16_t> values(words.size(), 9);
        std::vector<Constraint*> constraints(3, nullptr);
        DecoderUtils_FillChoiceList(choices, &count, c.limit, scores.data(), shares.data(), c.capacity, words.data(),
                                    ends.data(), classIds.data(), members.data(), starts.data(), values.data(),
                                    constraints.data(), nullptr);
        EXPECT_EQ(count, c.count) << c.capacity << " " << c.limit;
        if (count >= 1) {
            EXPECT_EQ(words[0], 4u);
            EXPECT_EQ(words[2], 0xFFFFFFFFu);
            EXPECT_EQ(ends[1], 1);
            EXPECT_EQ(ends[2], 0) << "0 at terminators";
            EXPECT_EQ(classIds[1], 201u);
            EXPECT_EQ(members[0], 100u);
            EXPECT_EQ(starts[0], 1);
            EXPECT_EQ(values[1], 20);
            EXPECT_EQ(scores[0], 10);
            EXPECT_EQ(shares[0], -3);
        }
    }
}

TEST_F(LinChChoiceTest, WordListsOneWordPerChoice)
{
    params();
    const uint32_t words[] = {11, 0xFFFFFFFF, 12, 0xFFFFFFFF, 13, 0xFFFFFFFF};
    uint32_t entries[8] = {};
    int32_t counts[3] = {-1, -1, -1}, values[3] = {};
    WordChoiceLists lists{entries, counts, values};
    int32_t needed = 0;
    EXPECT_EQ(DecoderUtils_MakeWordChoiceLists(1, words, 3, 77, 5, &lists, &needed), 0);
    EXPECT_EQ(needed, 6);
    EXPECT_EQ((std::vector<int32_t>(counts, counts + 3)), (std::vector<int32_t>{1, 1, 0}));
    EXPECT_EQ((std::vector<uint32_t>(entries, entries + 4)), (std::vector<uint32_t>{11, 0xFFFFFFFF, 12, 0xFFFFFFFF}));
    EXPECT_EQ(values[1], 77);
    EXPECT_EQ(DecoderUtils_MakeWordChoiceLists(1, words, 3, 77, 6, &lists, &needed), 1);
    EXPECT_EQ(counts[2], 1);
}

TEST_F(LinChChoiceTest, WordListsPerPositionOfTheBestChoice)
{
    params();
    constexpr uint32_t a = 1, b = 2, c = 3, x = 4, y = 5, z = 6, E = 0xFFFFFFFF;
    const uint32_t words[] = {a, b, c, E, a, x, c, E, a, y, z, c, E, a, c, E};
    struct Case {
        int32_t choices, capacity, result, needed;
        std::vector<int32_t> counts;
        std::vector<uint32_t> entries;
    };
    const Case cases[] = {
        {3, 11, 1, 11, {1, 3, 1}, {a, E, b, E, x, E, y, z, E, c, E}},
        {3, 8, 0, 11, {1, 0, 0}, {a, E}},
        // A choice missing the middle word adds an empty alternative there.
        {4, 20, 1, 12, {1, 4, 1}, {a, E, b, E, x, E, y, z, E, E, c, E}},
        {1, 20, 1, 6, {1, 1, 1}, {a, E, b, E, c, E}},
    };
    for (const Case& k : cases) {
        std::vector<uint32_t> entries(static_cast<size_t>(k.capacity), 0);
        int32_t counts[3] = {-1, -1, -1}, values[3] = {};
        WordChoiceLists lists{entries.data(), counts, values};
        int32_t needed = 0;
        EXPECT_EQ(DecoderUtils_MakeWordChoiceLists(2, words, k.choices, 9, k.capacity, &lists, &needed), k.result);
        EXPECT_EQ(needed, k.needed);
        EXPECT_EQ(std::vector<int32_t>(counts, counts + 3), k.counts) << k.choices << " " << k.capacity;
        EXPECT_EQ(std::vector<uint32_t>(entries.begin(), entries.begin() + static_cast<ptrdiff_t>(k.entries.size())),
                  k.entries);
        EXPECT_EQ(values[0], 9);
    }
    uint32_t entries[16];
    int32_t counts[3], values[3];
    WordChoiceLists lists{entries, counts, values};
    int32_t needed = 0;
    // The aligner raises when its tables cannot be had: that unwind counts as
    // the failure and must leave nothing behind either.
    eachAllocationFailing(
        [&] {
            int32_t r = 0;
            if (DVKErr_Protect([&] { r = DecoderUtils_MakeWordChoiceLists(2, words, 3, 9, 16, &lists, &needed); }) != 0)
                r = 0;
            return r;
        },
        [](bool failed, int32_t r) { EXPECT_EQ(r, failed ? 0 : 1); });
}

// ---- language scores over the vocabulary's model ----


// Default words: active 0 (pron 0), 1 (pron 1), 2 (prons 2-4).
TEST_F(DecoderLMTest, SequenceScores)
{
    const uint16_t history[] = {2, 1};
    const uint16_t prons[] = {0, 3};
    const uint16_t right[] = {1, 0};
    const uint16_t rightStop[] = {65535, 0};
    struct Case {
        int32_t n, h;
        const uint16_t* right;
        int32_t rightCount;
        int32_t expected;
    };
    const Case cases[] = {
        {1, 2, right, 2, lm({1, 0}) + lm({0, 2}) + lm({2, 1})},
        {2, 2, right, 2, lm({2, 1, 0}) + lm({1, 0, 2}) + lm({0, 2, 1}) + lm({2, 1, 0})},
        {0, 2, right, 2, lm({0}) + lm({2})},
        {1, 2, rightStop, 2, lm({1, 0}) + lm({0, 2})},
        {1, 0, nullptr, 0, lm({0}) + lm({0, 2})},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Decoder_ScoreNGramSequence(m_voc, c.n, c.h, history, c.rightCount, c.right, prons, 2), c.expected)
            << c.n << " " << c.h;
    const uint16_t unknown[] = {0, 900};
    EXPECT_EQ(Decoder_ScoreNGramSequence(m_voc, 1, 2, history, 0, nullptr, unknown, 2), 16384);
}

TEST_F(DecoderLMTest, LongSequencesSaturateInsteadOfWrapping)
{
    m_model.table = {{{0}, 20000}, {{0, 0}, 20000}, {{1}, -20000}, {{1, 1}, -20000}};
    const uint16_t up[] = {0, 0, 0};
    const uint16_t down[] = {1, 1, 1};
    EXPECT_EQ(Decoder_ScoreNGramSequence(m_voc, 1, 0, nullptr, 0, nullptr, up, 3), 32767);
    EXPECT_EQ(Decoder_ScoreNGramSequence(m_voc, 1, 0, nullptr, 0, nullptr, down, 3), -32768);
}

TEST_F(DecoderLMTest, WordSequencesAndOrderSwaps)
{
    ScriptedDecoder script;
    Decoder* d = script.create();
    d->vocabulary = m_voc;
    const uint16_t left[] = {1};
    ASSERT_NE(Decoder_UttInit(d, 1, left, 0, nullptr, 1, 0, 0, 0, 0), 0);
    const uint16_t right[] = {0};
    Decoder_SetRightContext(d, 1, right);
    ASSERT_EQ(d->rightCount, 1);

    const uint32_t leftWords[] = {Voc_ActiveIdToVocId(m_voc, 1)};
    const uint32_t words[] = {Voc_ActiveIdToVocId(m_voc, 2), Voc_ActiveIdToVocId(m_voc, 0)};
    EXPECT_EQ(Decoder_ScoreWordSequenceLM(d, 1, leftWords, 1, 2, words), lm({1, 2}) + lm({2, 0}) + lm({0, 0}));

    const uint16_t prons[] = {3, 0};
    int32_t score = 1000;
    Decoder_SwapChoiceLMOrder(d, &score, prons, 2, 1, 2);
    const int32_t order1 = lm({1, 2}) + lm({2, 0}) + lm({0, 0});
    const int32_t order2 = lm({1, 2}) + lm({1, 2, 0}) + lm({2, 0, 0});
    EXPECT_EQ(score, 1000 - order1 + order2);

    const uint16_t history[] = {2, 1, 0};
    EXPECT_EQ(Decoder_GetLM(d, 3, history, 2, 2), lm({1, 0, 2}));
    EXPECT_EQ(Decoder_GetLM(d, 3, history, 2, 0), lm({2}));
    Decoder_Delete(d, 0);
}

TEST_F(DecoderLMTest, RightContextTakesMappedWordsUpToTheEnd)
{
    ScriptedDecoder script;
    Decoder* d = script.create();
    d->vocabulary = m_voc;
    struct Case {
        std::vector<uint16_t> ids;
        int32_t count;
        std::vector<uint16_t> stored;
    };
    const Case cases[] = {
        {{1, 2}, 2, {1, 2}},    {{65535, 1}, 0, {65535, 65535}}, {{1, 65535}, 1, {1, 65535}},
        {{65532, 0}, 2, {65532, 0}}, {{900, 1}, 0, {65535, 65535}}, {{1, 2, 0}, 2, {1, 2}},
        {{}, 0, {65535, 65535}},
    };
    for (const Case& c : cases) {
        Decoder_SetRightContext(d, static_cast<int32_t>(c.ids.size()), c.ids.data());
        EXPECT_EQ(d->rightCount, c.count);
        EXPECT_EQ((std::vector<uint16_t>{d->rightIds[0], d->rightIds[1]}), c.stored);
    }
    Decoder_Delete(d, 0);
}

TEST_F(DecoderLMTest, RescoringWithoutRealignmentSwapsOrdersAndSorts)
{
    m_vocabulary->params().words[kBrevitParamRescoreMode] = 2;
    m_model.table = {{{0, 1}, 50}, {{1, 0}, 0}};
    ScriptedDecoder script;
    Decoder* d = script.create();
    d->vocabulary = m_voc;
    LinChChoice choices[3] = {choice(100, {0, 1}), choice(100, {1, 0}), choice(90, {2})};
    int32_t count = 3;
    std::vector<int32_t> expected;
    for (const LinChChoice& c : choices) {
        int32_t s = c.score;
        Decoder_SwapChoiceLMOrder(d, &s, c.words, c.wordCount, 1, 2);
        expected.push_back(s);
    }
    DecoderUtils_RescoreChoices(d, 0, choices, &count);
    ASSERT_EQ(count, 3);
    std::vector<int32_t> got = {choices[0].score, choices[1].score, choices[2].score};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(got, expected);
    for (int32_t i = 0; i + 1 < count; ++i)
        EXPECT_LE(CloseCall_CompareChoices(&choices[i], &choices[i + 1]), 0);
    Decoder_Delete(d, 0);
}

} // namespace

namespace {

std::vector<VocabularyFixture::WordSpec> wordsWithProns(int32_t n)
{
    std::vector<VocabularyFixture::WordSpec> words;
    for (int32_t i = 0; i < n; ++i) {
        std::string name = "w" + std::to_string(100000 + i);
        words.push_back({std::u16string(name.begin(), name.end()), u"", {"K AO L"}, true});
    }
    return words;
}

class SearchLimitsTest : public DecoderTest {};

TEST_F(SearchLimitsTest, ChosenByTheVocabularySize)
{
    struct Case {
        int32_t n;
        int32_t outs[4];
    };
    const Case cases[] = {
        {24, {500, 200, 500, 4000}},       {25, {3000, 1000, 1500, 10000}},
        {519, {3000, 1000, 1500, 10000}},  {520, {6000, 3000, 2500, 20000}},
        {1099, {6000, 3000, 2500, 20000}}, {1100, {20000, 8000, 5000, 40000}},
        {3099, {20000, 8000, 5000, 40000}}, {3100, {30000, 12000, 7000, 60000}},
    };
    for (const Case& c : cases) {
        // The count is the highest pron id in use: one word more than n.
        VocabularyFixture fixture(wordsWithProns(c.n + 1), {}, "limits" + std::to_string(c.n) + ".dvk");
        Voc* voc = fixture.voc();
        ASSERT_NE(voc, nullptr);
        ASSERT_EQ(Voc_GetNumActiveEntries(voc), c.n);
        fixture.params().words[kBrevitParamClassSizeHint] = 1;
        ScriptedDecoder script;
        Decoder* d = script.create();
        d->vocabulary = voc;
        int32_t outs[4] = {-1, -1, -1, -1};
        EXPECT_EQ(Decoder_GetSearchLimits(d, nullptr, nullptr, 0, 0, 3, &outs[0], &outs[1], &outs[2], &outs[3]), 1);
        EXPECT_EQ(std::vector<int32_t>(outs, outs + 4), std::vector<int32_t>(c.outs, c.outs + 4)) << c.n;
        fixture.params().words[kBrevitParamClassSizeHint] = 0;
        fixture.params().words[kBrevitParamHypothesisSpace] = 1;
        fixture.params().words[kBrevitParamDecoderOut2] = 2;
        fixture.params().words[kBrevitParamPronCacheSize1] = 3;
        fixture.params().words[kBrevitParamPronCacheSize2] = 4;
        EXPECT_EQ(Decoder_GetSearchLimits(d, nullptr, nullptr, 0, 0, 3, &outs[0], &outs[1], &outs[2], &outs[3]), 1);
        EXPECT_EQ(std::vector<int32_t>(outs, outs + 4), (std::vector<int32_t>{1, 2, 3, 4}));
        Decoder_Delete(d, 0);
    }
}

} // namespace

namespace {

class ClassPairScoresTest : public DecoderTest {};

// Two networks over the default vocabulary's words 0 and 1: each choice is
// scored by the network it ended in (else by the list's first), as the
// brute-force walk of that network costs its prons.
TEST_F(ClassPairScoresTest, EachChoiceIsScoredByItsOwnConstraint)
{
    VocabularyFixture fixture;
    Voc* voc = fixture.voc();
    ASSERT_NE(voc, nullptr);
    ConstraintManager* constraints = ConstraintManager_Create(4);
    ClassManager* classes = ClassManager_Create(voc, nullptr, constraints, 4);
    ASSERT_NE(classes, nullptr);
    ClassPairNetwork first;
    first.words = {{0, {0}}, {1, {1}}};
    first.classes = {{"A", {{{0}, 0}}, false}, {"B", {{{1}, 0}}, false}};
    first.transitions = {{0, 1, 1}, {1, 2, 4}, {2, 0, 5}, {1, 0, 6}};
    ClassPairNetwork second = first;
    second.classes = {{"C", {{{0}, 0}}, false}, {"D", {{{1}, 0}}, false}};
    second.transitions = {{0, 1, 20}, {1, 2, 30}, {2, 0, 40}, {1, 0, 50}};
    Constraint* a = ClassPairNetwork_Build(first, classes, "first");
    Constraint* b = ClassPairNetwork_Build(second, classes, "second");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    const PronCosts costsA = ClassPairNetwork_Paths(first, 3), costsB = ClassPairNetwork_Paths(second, 3);
    auto id = [&](const char* name) { return static_cast<uint32_t>(ClassManager_FindClass(classes, name)); };

    LinChChoice choices[3] = {};
    auto fill = [&](LinChChoice& c, std::vector<uint16_t> words, std::vector<uint32_t> classIds, Constraint* con) {
        c.wordCount = static_cast<int32_t>(words.size());
        c.constraint = con;
        c.languageScore = 100;
        for (size_t i = 0; i < words.size(); ++i) {
            c.words[i] = words[i];
            c.classes[i] = classIds[i];
            c.startFlags[i] = 1;
        }
    };
    fill(choices[0], {0, 1}, {id("A"), id("B")}, nullptr);
    fill(choices[1], {0, 1}, {id("C"), id("D")}, b);
    fill(choices[2], {0}, {id("A")}, a);
    Constraint* list[] = {a, b};
    DecoderUtils_AddClassPairScores(choices, 3, list, 0, 0);
    EXPECT_EQ(choices[0].languageScore, 100 + costsA.at({0, 1}));
    EXPECT_EQ(choices[1].languageScore, 100 + costsB.at({0, 1}));
    EXPECT_EQ(choices[2].languageScore, 100 + costsA.at({0}));

    // A list that does not start with a class-pair constraint adds nothing.
    Constraint other{};
    other.type = kConstraintTypeWholeVocabulary;
    Constraint* plain[] = {&other, a};
    DecoderUtils_AddClassPairScores(choices, 3, plain, 0, 0);
    EXPECT_EQ(choices[2].languageScore, 100 + costsA.at({0}));

    ClassPairConstraint_Delete(a, 0);
    ClassPairConstraint_Delete(b, 0);
    ClassManager_RemoveUnreferencedClasses(classes);
    ConstraintManager_Delete(constraints);
    ClassManager_Delete(classes);
}

} // namespace

namespace {

TEST_F(DecoderLMTest, ChoiceRecordsSwapOrdersAndSortWithoutRealignment)
{
    m_vocabulary->params().words[kBrevitParamRescoreMode] = 3;
    m_model.table = {{{0, 1}, 50}, {{1, 0}, 0}};
    ScriptedDecoder script;
    Decoder* d = script.create();
    d->vocabulary = m_voc;
    ChoiceRecord records[3] = {};
    const std::vector<std::vector<uint16_t>> words = {{0, 1}, {1, 0}, {2}};
    std::vector<int32_t> expected;
    for (size_t i = 0; i < 3; ++i) {
        records[i].wordCount = static_cast<int32_t>(words[i].size());
        std::copy(words[i].begin(), words[i].end(), records[i].prons);
        records[i].score = 100 - static_cast<int32_t>(i);
        int32_t s = records[i].score;
        Decoder_SwapChoiceLMOrder(d, &s, records[i].prons, records[i].wordCount, 1, 2);
        expected.push_back(s);
    }
    int32_t count = 3;
    // Word 312 off: no re-alignment even with frames held.
    d->frameBuffer = FrameBuffer_Create(1, 2);
    d->ownsFrameBuffer = 1;
    const uint8_t frame[1] = {0};
    FrameBuffer_AddFrame(d->frameBuffer, frame, nullptr);
    Decoder_RescoreChoiceRecords(d, 0, records, &count);
    ASSERT_EQ(count, 3);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ((std::vector<int32_t>{records[0].score, records[1].score, records[2].score}), expected);
    for (int32_t i = 0; i + 1 < count; ++i)
        EXPECT_LT(ChoiceRecord_Compare(&records[i], &records[i + 1]), 0);
    Decoder_Delete(d, 0);
}

} // namespace
