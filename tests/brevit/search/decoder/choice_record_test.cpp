#include "tests/brevit/search/decoder/decoder_test.h"

#include "core/brevit/search/choice_record.h"
#include "tests/support/vocabulary_fixture.h"

#include <algorithm>
#include <map>
#include <random>
#include <vector>

namespace {

ChoiceRecord record(int32_t score, std::vector<uint16_t> prons, std::vector<uint8_t> flags = {},
                    int32_t secondary = 0)
{
    ChoiceRecord r{};
    r.score = score;
    r.secondary = secondary;
    r.wordCount = static_cast<int32_t>(prons.size());
    std::copy(prons.begin(), prons.end(), r.prons);
    std::copy(flags.begin(), flags.end(), r.flags);
    return r;
}

std::vector<int32_t> scoresOf(const ChoiceRecord* list, int32_t n)
{
    std::vector<int32_t> s;
    for (int32_t i = 0; i < n; ++i)
        s.push_back(list[i].score);
    return s;
}

std::vector<uint16_t> firstProns(const ChoiceRecord* list, int32_t n)
{
    std::vector<uint16_t> s;
    for (int32_t i = 0; i < n; ++i)
        s.push_back(list[i].prons[0]);
    return s;
}

class ChoiceRecordTest : public DecoderTest {};

TEST_F(ChoiceRecordTest, OrderAsATable)
{
    struct Case {
        ChoiceRecord a, b;
        int32_t sign;
    };
    const Case cases[] = {
        {record(10, {1}), record(11, {1}), -1},
        {record(-2000000000, {1}), record(2000000000, {1}), -1},   // no overflow of a difference
        {record(10, {1, 2}), record(10, {1}), 1},
        {record(10, {1, 2}), record(10, {1, 3}), -1},
        {record(10, {1, 2}, {1, 0}), record(10, {1, 2}, {0, 0}), 1},
        {record(10, {1, 2}, {0, 0, 1}), record(10, {1, 2}, {0, 0, 0}), 1},   // the flag after the last word
        {record(10, {1, 2}, {}, 5), record(10, {1, 2}, {}, 4), 1},
        {record(10, {1, 2}, {}, -2000000000), record(10, {1, 2}, {}, 2000000000), -1},
        {record(10, {1, 2}, {0, 0, 0, 1}), record(10, {1, 2}, {0, 0, 0, 0}), 0},   // past the boundary: ignored
        {record(10, {}), record(10, {}), 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ChoiceRecord_Compare(&c.a, &c.b), c.sign) << c.a.score << " " << c.b.score;
        EXPECT_EQ(ChoiceRecord_Compare(&c.b, &c.a), -c.sign);
    }
}

TEST_F(ChoiceRecordTest, SortAgreesWithAReferenceOrder)
{
    std::mt19937 random(11);
    for (int trial = 0; trial < 50; ++trial) {
        std::vector<ChoiceRecord> records;
        for (int i = 0; i < 30; ++i) {
            std::vector<uint16_t> prons(random() % 3);
            std::vector<uint8_t> flags(prons.size() + 1);
            for (auto& p : prons)
                p = static_cast<uint16_t>(random() % 3);
            for (auto& f : flags)
                f = static_cast<uint8_t>(random() % 2);
            records.push_back(record(static_cast<int32_t>(random() % 3) * 1000000000 - 1000000000, prons, flags,
                                     static_cast<int32_t>(random() % 3)));
        }
        auto key = [](const ChoiceRecord& r) {
            std::vector<int64_t> k = {r.score, r.wordCount};
            for (int32_t i = 0; i < r.wordCount; ++i) {
                k.push_back(r.prons[i]);
                k.push_back(r.flags[i]);
            }
            k.push_back(r.flags[r.wordCount]);
            k.push_back(r.secondary);
            return k;
        };
        std::vector<ChoiceRecord> expected = records;
        std::stable_sort(expected.begin(), expected.end(),
                         [&](const ChoiceRecord& a, const ChoiceRecord& b) { return key(a) < key(b); });
        ChoiceRecord_Sort(records.data(), static_cast<int32_t>(records.size()));
        for (size_t i = 0; i < records.size(); ++i)
            EXPECT_EQ(key(records[i]), key(expected[i])) << trial << " " << i;
    }
}

TEST_F(ChoiceRecordTest, InsertionMergesDuplicatesAndShiftsScores)
{
    params(ParamBlockBuilder().word(kBrevitParamDuplicateByPronIds, 1));
    ChoiceRecord list[3] = {record(100, {1}), record(120, {2}), record(150, {3})};
    int32_t count = 3;
    struct Step {
        ChoiceRecord offered;
        int32_t result;
        std::vector<int32_t> scores;
        std::vector<uint16_t> words;
    };
    const Step steps[] = {
        {record(90, {4}), kChoiceNotFound, {90, 100, 120}, {4, 1, 2}},
        {record(200, {2}), 2, {200, 210, 220}, {2, 4, 1}},
        {record(50, {2}), 0, {50, 60, 70}, {2, 4, 1}},
    };
    for (const Step& s : steps) {
        EXPECT_EQ(ChoiceRecord_InsertNBest(nullptr, &s.offered, list, &count, 3), s.result);
        EXPECT_EQ(count, 3);
        EXPECT_EQ(scoresOf(list, count), s.scores);
        EXPECT_EQ(firstProns(list, count), s.words);
    }
    EXPECT_EQ(ChoiceRecord_InsertNBest(nullptr, nullptr, list, &count, 3), kChoiceNotFound);
    int32_t empty = 0;
    ChoiceRecord one[2];
    const ChoiceRecord first = record(5, {});
    EXPECT_EQ(ChoiceRecord_InsertNBest(nullptr, &first, one, &empty, 2), 0);
    EXPECT_EQ(empty, 1);
    const ChoiceRecord grows = record(7, {3});
    EXPECT_EQ(ChoiceRecord_InsertNBest(nullptr, &grows, one, &empty, 2), kChoiceNotFound);
    EXPECT_EQ(empty, 2);
    EXPECT_EQ(scoresOf(one, 2), (std::vector<int32_t>{7, 17}));
    const ChoiceRecord noWords = record(1, {});
    EXPECT_EQ(ChoiceRecord_InsertNBest(nullptr, &noWords, one, &empty, 2), 1) << "no words equals no words";
}

TEST_F(ChoiceRecordTest, DuplicatesByWordWithoutThePronSwitch)
{
    VocabularyFixture fixture;
    Voc* voc = fixture.voc();
    ASSERT_NE(voc, nullptr);
    // "river" has prons 2, 3 and 4: one word.
    ChoiceRecord list[3] = {record(100, {0, 2}), record(120, {1, 4})};
    int32_t count = 2;
    const ChoiceRecord offered = record(110, {1, 3});
    EXPECT_EQ(ChoiceRecord_InsertNBest(voc, &offered, list, &count, 3), 1);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(list[0].prons[1], 3);
    fixture.params().words[kBrevitParamDuplicateByPronIds] = 1;
    const ChoiceRecord again = record(110, {1, 4});
    EXPECT_EQ(ChoiceRecord_InsertNBest(voc, &again, list, &count, 3), kChoiceNotFound);
    EXPECT_EQ(count, 3);
}

TEST_F(ChoiceRecordTest, FillingTheChoiceListStopsAtWhatFits)
{
    VocabularyFixture fixture;
    Voc* voc = fixture.voc();
    const ChoiceRecord records[3] = {record(10, {0, 2}, {1, 0, 1}), record(20, {1}), record(30, {4, 4})};
    struct Case {
        int32_t limit, capacity, count, written;
    };
    const Case cases[] = {{3, 8, 3, 8}, {3, 7, 2, 5}, {2, 20, 2, 5}, {3, 2, 0, 0}, {0, 20, 0, 0}};
    for (const Case& c : cases) {
        int32_t count = 3;
        std::vector<int32_t> scores(3, -1);
        std::vector<uint32_t> words(static_cast<size_t>(c.capacity) + 2, 7);
        std::vector<uint8_t> flags(words.size(), 9);
        std::vector<uint16_t> values(words.size(), 9);
        ChoiceRecord_FillChoiceList(records, voc, &count, c.limit, scores.data(), c.capacity, words.data(),
                                    flags.data(), values.data());
        EXPECT_EQ(count, c.count) << c.capacity;
        for (int32_t i = 0; i < c.written; ++i)
            EXPECT_EQ(values[static_cast<size_t>(i)], 65535);
        EXPECT_EQ(words[static_cast<size_t>(c.written)], 7u) << "nothing past what was written";
        if (c.count >= 2) {
            EXPECT_EQ(words[0], Voc_PronIdToVocId(voc, 0));
            EXPECT_EQ(words[2], 0xFFFFFFFFu);
            EXPECT_EQ(words[3], Voc_PronIdToVocId(voc, 1));
            EXPECT_EQ(flags[0], 1);
            EXPECT_EQ(scores[1], 20);
        }
    }
}

TEST_F(ChoiceRecordTest, BoundaryVariants)
{
    const ChoiceRecord records[2] = {record(10, {5}), record(20, {1, 2, 3}, {0, 0, 1})};
    EXPECT_EQ(ChoiceRecord_ExpandBoundaryVariants(2, records, nullptr, nullptr, nullptr), 5);
    ChoiceRecord out[5];
    int32_t origins[5], variants[5];
    EXPECT_EQ(ChoiceRecord_ExpandBoundaryVariants(2, records, out, origins, variants), 5);
    EXPECT_EQ((std::vector<int32_t>(origins, origins + 5)), (std::vector<int32_t>{0, 1, 1, 1, 1}));
    EXPECT_EQ((std::vector<int32_t>(variants, variants + 5)), (std::vector<int32_t>{0, 0, 1, 2, 3}));
    for (int32_t v = 0; v < 4; ++v) {
        EXPECT_EQ(out[1 + v].flags[0], v & 1);
        EXPECT_EQ(out[1 + v].flags[1], (v >> 1) & 1);
        EXPECT_EQ(out[1 + v].flags[2], 1) << "the flag after the last word stays";
        EXPECT_EQ(out[1 + v].prons[2], 3);
    }
    // 32 words: 2^31 variants do not fit the count; such a record gives none.
    std::vector<uint16_t> many(32, 1);
    const ChoiceRecord big[2] = {record(1, many), record(2, {1, 2})};
    EXPECT_EQ(ChoiceRecord_ExpandBoundaryVariants(2, big, nullptr, nullptr, nullptr), 2);
    std::vector<uint16_t> thirtyOne(31, 1);
    const ChoiceRecord large = record(1, thirtyOne);
    EXPECT_EQ(ChoiceRecord_ExpandBoundaryVariants(1, &large, nullptr, nullptr, nullptr), 1 << 30);
}

TEST_F(ChoiceRecordTest, PathInsertionKeepsTheBestInOrder)
{
    ChoicePath paths[3];
    int32_t count = 0;
    const uint16_t a[] = {1, 2}, b[] = {1, 1}, c[] = {0, 9};
    ChoicePath_Insert(paths, &count, 3, 50, a, 2, 2);
    ChoicePath_Insert(paths, &count, 3, 50, b, 2, 1);
    ChoicePath_Insert(paths, &count, 3, 40, c, 2, 9);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(paths[0].score, 40);
    EXPECT_EQ(paths[1].words[1], 1) << "equal scores: smaller words first";
    EXPECT_EQ(paths[2].words[1], 2);
    EXPECT_EQ(paths[2].words[2], 65535);
    ChoicePath_Insert(paths, &count, 3, 60, c, 2, 9);
    EXPECT_EQ(paths[2].score, 50) << "last in a full list: not inserted";
    ChoicePath_Insert(paths, &count, 3, 45, c, 2, 9);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(paths[1].score, 45);
    EXPECT_EQ(paths[2].words[1], 1) << "the last fell off";
}

// ---- multi-utterance rescoring ----

class RescoreTest : public DecoderLMTest {
protected:
    void SetUp() override
    {
        DecoderLMTest::SetUp();
        m_vocabulary->params().words[kBrevitParamPathBeam] = 100;
    }

    uint32_t vocId(uint16_t active) const { return Voc_ActiveIdToVocId(m_voc, active); }

    TopChoiceRecord list(const std::vector<std::pair<int32_t, uint16_t>>& choices)
    {
        TopChoiceRecord r{};
        r.count = static_cast<int32_t>(choices.size());
        r.firstLeftWord = -1;
        for (int32_t i = 0; i < kTopChoices; ++i) {
            r.scores[i] = r.acousticScores[i] = 0x40000000;
            r.words[i] = -1;
        }
        for (size_t i = 0; i < choices.size(); ++i) {
            r.acousticScores[i] = choices[i].first;
            r.scores[i] = choices[i].first + 1000;   // the full score is not used
            r.words[i] = static_cast<int32_t>(vocId(choices[i].second));
        }
        return r;
    }

    // The n-gram score the model gives word after the history (oldest first).
    int32_t ngram(std::vector<uint16_t> history, uint16_t word) const
    {
        history.push_back(word);
        return lm(history);
    }
};

TEST_F(RescoreTest, TwoUtterancesUnderABigramAndAUnigram)
{
    constexpr uint16_t a = 0, b = 1;
    m_model.table = {{{a}, 5}, {{b}, 0}, {{a, b}, 0}, {{a, a}, 40}, {{b, a}, 3}, {{b, b}, 30}};
    const TopChoiceRecord first = list({{10, a}, {12, b}});
    const TopChoiceRecord second = list({{20, b}, {19, a}});
    const TopChoiceRecord* lists[] = {&first, &second};
    struct Case {
        int32_t order;
        std::vector<std::vector<uint16_t>> words;
        std::vector<int32_t> scores;
    };
    const Case cases[] = {
        {1, {{b, a}, {a, b}, {b, b}, {a, a}}, {34, 35, 62, 74}},
        {0, {{b, b}, {a, b}, {b, a}, {a, a}}, {32, 35, 36, 39}},
    };
    for (const Case& c : cases) {
        int32_t scores[4] = {};
        uint32_t words[12] = {};
        ASSERT_EQ(ChoiceList_RescoreUtterances(lists, 2, c.order, 0, nullptr, 0, nullptr, 4, scores, words, m_voc), 4);
        for (size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(scores[i], c.scores[i]) << c.order << " " << i;
            EXPECT_EQ(words[i * 3], vocId(c.words[i][0]));
            EXPECT_EQ(words[i * 3 + 1], vocId(c.words[i][1]));
            EXPECT_EQ(words[i * 3 + 2], 0xFFFFFFFFu);
        }
    }
    int32_t scores[4] = {};
    uint32_t words[12] = {};
    EXPECT_EQ(ChoiceList_RescoreUtterances(lists, 2, 3, 0, nullptr, 0, nullptr, 4, scores, words, m_voc), 0);
    EXPECT_EQ(ChoiceList_RescoreUtterances(lists, 0, 1, 0, nullptr, 0, nullptr, 4, scores, words, m_voc), 0);
    EXPECT_EQ(ChoiceList_RescoreUtterances(lists, 2, 1, 0, nullptr, 0, nullptr, 2, scores, words, m_voc), 2);
}

TEST_F(RescoreTest, RandomRunsAgreeWithEveryPathScored)
{
    std::mt19937 random(3);
    for (int trial = 0; trial < 300; ++trial) {
        m_model.table.clear();
        for (uint16_t x = 0; x < 3; ++x) {
            m_model.table[{x}] = static_cast<int32_t>(random() % 50);
            for (uint16_t y = 0; y < 3; ++y) {
                m_model.table[{x, y}] = static_cast<int32_t>(random() % 50);
                for (uint16_t z = 0; z < 3; ++z)
                    m_model.table[{x, y, z}] = static_cast<int32_t>(random() % 50);
            }
        }
        const int32_t n = 1 + static_cast<int32_t>(random() % 4);
        const int32_t order = static_cast<int32_t>(random() % 3);
        std::vector<TopChoiceRecord> lists;
        std::vector<std::vector<std::pair<int32_t, uint16_t>>> choices;
        for (int32_t u = 0; u < n; ++u) {
            std::vector<std::pair<int32_t, uint16_t>> c(1 + random() % 3);
            for (auto& [score, word] : c) {
                score = static_cast<int32_t>(random() % 100);
                word = static_cast<uint16_t>(random() % 3);
            }
            choices.push_back(c);
            lists.push_back(list(c));
        }
        std::vector<const TopChoiceRecord*> pointers;
        for (const auto& l : lists)
            pointers.push_back(&l);
        const int32_t historyCount = static_cast<int32_t>(random() % 3);
        std::vector<uint16_t> historyActive(static_cast<size_t>(historyCount));
        std::vector<uint32_t> history;
        for (auto& h : historyActive) {
            h = static_cast<uint16_t>(random() % 3);
            history.push_back(vocId(h));
        }
        const bool withRight = random() % 2 == 0;
        const uint16_t right[1] = {static_cast<uint16_t>(random() % 3)};

        // Every path, scored from scratch.
        int64_t bestScore = INT64_MAX;
        std::vector<uint16_t> bestWords;
        std::vector<size_t> pick(static_cast<size_t>(n), 0);
        for (;;) {
            std::vector<uint16_t> context(historyActive.end() - std::min<int32_t>(order, historyCount),
                                          historyActive.end());
            std::vector<uint16_t> words;
            int64_t score = 0;
            auto add = [&](uint16_t w) {
                std::vector<uint16_t> h(context.end() - std::min<size_t>(static_cast<size_t>(order), context.size()),
                                        context.end());
                score += ngram(h, w);
                context.push_back(w);
            };
            for (int32_t u = 0; u < n; ++u) {
                const auto& [s, w] = choices[static_cast<size_t>(u)][pick[static_cast<size_t>(u)]];
                score += s;
                add(w);
                words.push_back(w);
            }
            if (withRight)
                add(right[0]);
            if (score < bestScore || (score == bestScore && words < bestWords)) {
                bestScore = score;
                bestWords = words;
            }
            size_t u = 0;
            while (u < pick.size() && ++pick[u] == choices[u].size())
                pick[u++] = 0;
            if (u == pick.size())
                break;
        }
        int32_t scores[1] = {};
        std::vector<uint32_t> words(static_cast<size_t>(n) + 1);
        ASSERT_EQ(ChoiceList_RescoreUtterances(pointers.data(), n, order, historyCount, history.data(),
                                               withRight ? 1 : 0, right, 1, scores, words.data(), m_voc),
                  1);
        EXPECT_EQ(scores[0], bestScore) << "trial " << trial;
        for (int32_t i = 0; i < n; ++i)
            EXPECT_EQ(words[static_cast<size_t>(i)], vocId(bestWords[static_cast<size_t>(i)])) << "trial " << trial;
        EXPECT_EQ(words[static_cast<size_t>(n)], 0xFFFFFFFFu);
    }
}

TEST_F(RescoreTest, LongRunsGoInWindowsOfTwenty)
{
    m_model.table.clear();
    std::vector<TopChoiceRecord> lists;
    for (int32_t u = 0; u < 21; ++u)
        lists.push_back(list({{10 + u % 2, static_cast<uint16_t>(u % 3)}, {11 - u % 2, 2}}));
    std::vector<const TopChoiceRecord*> pointers;
    for (const auto& l : lists)
        pointers.push_back(&l);
    int32_t scores[2] = {-1, -1};
    std::vector<uint32_t> words(22 * 2, 7);
    ASSERT_EQ(ChoiceList_RescoreUtterances(pointers.data(), 21, 1, 0, nullptr, 0, nullptr, 2, scores, words.data(),
                                           m_voc),
              1);
    EXPECT_EQ(words[21], 0xFFFFFFFFu);
    EXPECT_EQ(words[22], 7u) << "one sequence only";
    // The windows' best paths, as two runs of 20 and 1 with the first's words as history.
    int32_t first[1], second[1];
    std::vector<uint32_t> a(21), b(2);
    ASSERT_EQ(ChoiceList_RescoreUtterances(pointers.data(), 20, 1, 0, nullptr, 0, nullptr, 1, first, a.data(), m_voc),
              1);
    ASSERT_EQ(ChoiceList_RescoreUtterances(pointers.data() + 20, 1, 1, 20, a.data(), 0, nullptr, 1, second, b.data(),
                                           m_voc),
              1);
    EXPECT_EQ(scores[0], first[0] + second[0]);
    EXPECT_EQ(std::vector<uint32_t>(words.begin(), words.begin() + 20), std::vector<uint32_t>(a.begin(), a.begin() + 20));
    EXPECT_EQ(words[20], b[0]);
}

TEST_F(RescoreTest, EachAllocationFailingInTurn)
{
    const TopChoiceRecord one = list({{10, 0}, {12, 1}});
    const TopChoiceRecord* lists[] = {&one, &one};
    int32_t scores[4];
    uint32_t words[12];
    eachAllocationFailing(
        [&] { return ChoiceList_RescoreUtterances(lists, 2, 1, 0, nullptr, 0, nullptr, 4, scores, words, m_voc); },
        [](bool failed, int32_t r) { EXPECT_EQ(r, failed ? 0 : 4); });
}

} // namespace
