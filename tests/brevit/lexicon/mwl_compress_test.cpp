// The compressed word-list store: both stores built from one word table
// answer one query table alike, under every compressor setting; the
// documented differences, refusals of damaged files and allocation
// failures are checked on their own.
#include "core/brevit/api/brevit_function_table.h"
#include "core/brevit/lexicon/mwl_compress.h"
#include "core/brevit/lexicon/mwl_util.h"
#include "core/brevit/runtime/dvk_err.h"
#include "tests/brevit/lexicon/word_store_test.h"
#include "tests/support/compressed_word_list_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using compressed_word_lists::Book;
using CWord = compressed_word_lists::Word;

const uint16_t* u16(const std::u16string& t) { return reinterpret_cast<const uint16_t*>(t.c_str()); }

std::vector<CWord> fixtureWords()
{
    const std::vector<word_lists::Word> plain = {
        {u"base", u"", {}, 254},
        {u"eBook", u"", {{1, 2, 0, 0}}, 254},
        {u"New York", u"new york", {{0, 1, 2, 3}}, 254},
        {u"river", u"", {{0, 1, 2, 3, 4}}, 254},
        {u"River", u"", {{4, 3, 2, 1, 0, 0}, {4, 3, 2}}, 254},
        {u"rivers", u"", {{0, 1, 2, 3, 4, 2}}, 254},
        {u"riverside", u"", {{0, 1}, {0, 1, 2}, {2}}, 254},
        {u"rock", u"", {}, 254},
        {u"RSVP", u"r s v p", {{2, 2, 1, 1}}, 254},
    };
    std::vector<CWord> words;
    for (const auto& w : plain) {
        CWord c;
        c.word = w;
        words.push_back(c);
    }
    return words;
}

// Words over a small alphabet so keys share prefixes and case variants
// collide; 0-3 prons (0: generated), some spoken forms.
std::vector<CWord> randomWords(uint32_t seed, int count)
{
    std::mt19937 random(seed);
    const std::u16string letters = u"aAbBrR";
    std::vector<CWord> words;
    for (int k = 0; k < count; ++k) {
        CWord w;
        const int length = 1 + static_cast<int>(random() % 6);
        for (int i = 0; i < length; ++i)
            w.word.surface += letters[random() % letters.size()];
        if (random() % 5 == 0)
            w.word.spoken = u"s" + std::u16string(1, static_cast<char16_t>(u'a' + random() % 3));
        const int prons = static_cast<int>(random() % 4);
        for (int p = 0; p < prons; ++p) {
            Pron pron;
            const int n = 1 + static_cast<int>(random() % 5);
            for (int i = 0; i < n; ++i)
                pron.push_back(static_cast<uint16_t>(random() % 5));
            w.word.prons.push_back(pron);
        }
        // A marker position on some words of one pron (stored or generated):
        // the plain store marks only those.
        if (prons <= 1 && random() % 3 == 0)
            w.word.marker = static_cast<uint8_t>(1 + random() % 2);
        words.push_back(w);
    }
    return words;
}

class MWLCompressTest : public WordStoreTest {
protected:
    void SetUp() override
    {
        WordStoreTest::SetUp();
        m_log.answer = {0, 3, 1, 2, 4};
        m_generator = fakeGenerator(&m_log);
    }

    void TearDown() override
    {
        for (MWL* l : m_lists)
            MWL_Delete(l);
        m_lists.clear();
        m_tables.clear();
        m_params.reset();
        WordStoreTest::TearDown();
    }

    void setStore(uint32_t store)
    {
        ParamBlockBuilder b;
        b.word(kBrevitParamExpansionPool, 40)
            .word(kBrevitParamMasterPhonemeSlots, 4)
            .word(kBrevitParamRecogPhonemeSlots, 4)
            .word(kBrevitParamKeepPronunciations, 1)
            .word(kBrevitParamCompressedStore, store);
        m_params.reset();
        m_params = std::make_unique<ScopedParamBlock>(b);
    }

    MWL* loadWith(uint32_t store, std::function<bool(BinFileWriter*)> write, const std::string& prefix)
    {
        setStore(store);
        const std::string tag = prefix + "mwl";
        m_tables.push_back(std::make_unique<WrittenTable>(write, tag.c_str(), "list.dvk"));
        MWL* l = MWL_CreateFromBinFile(m_tables.back()->tar(), prefix.c_str(), &m_generator.base, nullptr);
        if (l != nullptr)
            m_lists.push_back(l);
        return l;
    }

    MWL* compressed(const compressed_word_lists::Fields& f, const std::string& prefix = "c")
    {
        return loadWith(kMWLStoreCompressed, [f](BinFileWriter* w) { return compressed_word_lists::write(w, f); },
                        prefix);
    }

    MWL* plain(const word_lists::Fields& f)
    {
        return loadWith(kMWLStorePlain, [f](BinFileWriter* w) { return word_lists::write(w, f); }, "p");
    }

    // Everything a caller can ask about the texts, one line each.
    // With runTime, the lookups that may also ask the run-time words are
    // asked that way too.
    static std::string answers(const MWL* l, const std::vector<std::u16string>& texts,
                               const std::vector<std::u16string>& spokens, bool runTime = false)
    {
        std::ostringstream out;
        const int32_t maxMaster = MWL_GetMaxMasterPronunciationLength(l);
        out << "max " << MWL_GetMaxSurfaceFormLength(l) << ' ' << MWL_GetMaxSpokenFormLength(l) << ' '
            << maxMaster << ' ' << MWL_GetMaxRecogPronunciationLength(l) << ' ' << MWL_GetMaxNumPronunciations(l)
            << '\n';
        for (const std::u16string& t : texts) {
            out << "id " << MWL_GetId(l, u16(t), nullptr, 1);
            for (const std::u16string& s : spokens)
                out << ' ' << MWL_GetId(l, u16(t), u16(s), 1);
            if (runTime) {
                out << " all";
                for (const std::u16string& s : spokens)
                    out << ' ' << MWL_GetId(l, u16(t), u16(s), 0);
                for (int32_t caseFlag : {0, 1})
                    for (int32_t exact : {0, 1}) {
                        std::vector<uint32_t> ids(40, 0xEEEE);
                        const int32_t n = MWL_GetMatches(l, caseFlag, exact, u16(t), ids.data(), 40, 0);
                        out << " | " << n << '[';
                        for (int32_t k = 0; k < n && k < 40; ++k)
                            out << ids[static_cast<size_t>(k)] << ',';
                        out << ']';
                    }
                for (int32_t least : {1, 2}) {
                    std::vector<uint32_t> ids(40, 0xEEEE);
                    const int32_t n = MWL_GetMatchesAtStart(l, 1, least, u16(t), ids.data(), 40, 0);
                    out << " @" << least << ' ' << n << '[';
                    for (int32_t k = 0; k < n && k < 40; ++k)
                        out << ids[static_cast<size_t>(k)] << ',';
                    out << ']';
                }
            }
            for (int32_t caseFlag : {0, 1})
                for (int32_t exact : {0, 1}) {
                    out << " | " << MWL_GetNumMatches(l, caseFlag, exact, u16(t)) << ':';
                    for (int32_t capacity : {0, 1, 40}) {
                        std::vector<uint32_t> ids(40, 0xEEEE);
                        const int32_t n = MWL_GetMatches(l, caseFlag, exact, u16(t), ids.data(), capacity, 1);
                        out << ' ' << n << '[';
                        for (int32_t k = 0; k < n && k < capacity; ++k)
                            out << ids[static_cast<size_t>(k)] << ',';
                        out << ']';
                    }
                }
            for (int32_t caseFlag : {0, 1})
                for (int32_t least : {1, 2, 3}) {
                    std::vector<uint32_t> ids(40, 0xEEEE);
                    const int32_t n = MWL_GetMatchesAtStart(l, caseFlag, least, u16(t), ids.data(), 40, 1);
                    out << " @" << least << ' ' << n << '[';
                    for (int32_t k = 0; k < n && k < 40; ++k)
                        out << ids[static_cast<size_t>(k)] << ',';
                    out << ']';
                }
            out << '\n';
        }
        for (const std::u16string& s : spokens) {
            std::vector<uint32_t> ids(40, 0);
            const int32_t n = MWL_GetIdsFromSpoken(l, u16(s), ids.data(), 40, 1);
            out << "spoken " << n << ':';
            for (int32_t k = 0; k < n && k < 40; ++k)
                out << ' ' << ids[static_cast<size_t>(k)];
            out << '\n';
        }
        for (uint32_t id = MWL_GetNextMasterId(l, kMWLNoWord); id != kMWLNoWord; id = MWL_GetNextMasterId(l, id)) {
            std::vector<uint16_t> surface(static_cast<size_t>(MWL_GetMaxSurfaceFormLength(l)) + 1, 0xEEEE);
            std::vector<uint16_t> spoken(static_cast<size_t>(MWL_GetMaxSpokenFormLength(l)) + 1, 0xEEEE);
            MWL_GetSurfaceAndSpokenForms(l, id, surface.data(), spoken.data());
            out << "word " << id << ' ' << std::string(surface.begin(), surface.end()).c_str() << '/'
                << std::string(spoken.begin(), spoken.end()).c_str();
            for (int32_t capacity : {0, 1, 4}) {
                std::vector<std::vector<uint16_t>> buffers(4, std::vector<uint16_t>(static_cast<size_t>(maxMaster) + 1, 0));
                std::vector<uint16_t*> pointers;
                for (auto& b : buffers)
                    pointers.push_back(b.data());
                const int32_t n = MWL_GetMasterPronunciations(l, id, capacity, pointers.data(), nullptr);
                out << " (" << n << ')';
                for (int32_t k = 0; k < n && k < capacity; ++k) {
                    out << '<';
                    for (const uint16_t* p = pointers[static_cast<size_t>(k)]; *p != kMWLPronEnd; ++p)
                        out << *p << ' ';
                    out << '>';
                }
            }
            std::vector<std::vector<uint16_t>> recog(4, std::vector<uint16_t>(static_cast<size_t>(MWL_GetMaxRecogPronunciationLength(l)) + 1, 0));
            std::vector<uint16_t*> recogPointers;
            for (auto& b : recog)
                recogPointers.push_back(b.data());
            const int32_t r = MWL_GetRecogPronunciations(l, id, 4, recogPointers.data());
            out << " recog " << r;
            for (int32_t k = 0; k < r && k < 4; ++k) {
                out << '<';
                for (const uint16_t* q = recogPointers[static_cast<size_t>(k)]; *q != kMWLPronEnd; ++q)
                    out << *q << ' ';
                out << "> gender " << MWL_GetGender(l, id, k);
            }
            out << '\n';
        }
        for (const Pron& p : {Pron{0, 1, kMWLPronEnd}, Pron{kMWLPronEnd}, Pron{9, kMWLPronEnd}})
            out << "legal " << MWL_IsPronunciationLegal(l, p.data()) << ' ' << MWL_IsMasterPronunciationLegal(l, p.data())
                << '\n';
        out << "gender " << MWL_ContainsGender(l) << " crcs " << MWL_GetRecogPhonemeSetCRC(l) << ' '
            << MWL_GetMasterPhonemeSetCRC(l) << ' ' << MWL_GetMaxMasterPhonemeId(l) << '\n';
        return out.str();
    }

    // Every surface, its case forms, prefixes, extensions, non-words.
    static std::vector<std::u16string> queries(const std::vector<CWord>& words)
    {
        std::vector<std::u16string> texts = {u"", u"zzz", u"a b", u"\u20ac", u"\u4e2d"};
        for (const CWord& w : words) {
            const std::u16string& s = w.word.surface;
            std::u16string lower = s, upper = s;
            for (auto& c : lower)
                c = (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
            for (auto& c : upper)
                c = (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
            std::u16string capital = lower;
            if (!capital.empty() && capital[0] >= u'a' && capital[0] <= u'z')
                capital[0] = static_cast<char16_t>(capital[0] - 32);
            texts.insert(texts.end(), {s, lower, upper, capital, s + u"x", s.substr(0, 1), s.substr(0, 2),
                                       s.substr(0, s.size() > 1 ? s.size() - 1 : 1)});
        }
        return texts;
    }

    static std::vector<std::u16string> spokens(const std::vector<CWord>& words)
    {
        std::vector<std::u16string> out = {u"", u"nothing"};
        for (const CWord& w : words)
            if (!w.word.spoken.empty())
                out.push_back(w.word.spoken);
        return out;
    }

    void expectSameAnswers(const std::vector<CWord>& words, const compressed_word_lists::Options& o,
                           const std::string& what)
    {
        std::vector<word_lists::Word> plainWords;
        for (const CWord& w : words)
            plainWords.push_back(w.word);
        const compressed_word_lists::Fields cf = compressed_word_lists::build(words, o);
        const MWL* c = compressed(cf, "c" + std::to_string(m_lists.size()));
        ASSERT_NE(c, nullptr) << what;
        const MWL* p = plain(word_lists::build(plainWords, o.list));
        ASSERT_NE(p, nullptr) << what;
        const auto texts = queries(words);
        const auto said = spokens(words);
        EXPECT_EQ(answers(c, texts, said), answers(p, texts, said)) << what;
    }

    // The same run-time words added to both stores, then each store's
    // run-time part saved ("bmd1") and read into a fresh list of the same
    // static words: equal checksums, and both answer alike all along.
    void expectSameAnswersAfterAddsAndRestore(const std::vector<CWord>& words, const compressed_word_lists::Options& o,
                                              const std::string& what)
    {
        ASSERT_GE(words.size(), 3u);
        std::vector<word_lists::Word> plainWords;
        for (const CWord& w : words)
            plainWords.push_back(w.word);
        const compressed_word_lists::Fields cf = compressed_word_lists::build(words, o);
        const word_lists::Fields pf = word_lists::build(plainWords, o.list);
        const std::string tag = std::to_string(m_lists.size());
        MWL* c = compressed(cf, "c" + tag);
        MWL* p = plain(pf);
        ASSERT_NE(c, nullptr) << what;
        ASSERT_NE(p, nullptr) << what;
        // A new word of the list's own characters, a known spelling with a
        // new spoken form, a pron more for a stored word.
        const std::u16string fresh = words.back().word.surface + words.front().word.surface;
        const std::u16string& known = words[1].word.surface;
        const Pron first = {0, 1, 2, kMWLPronEnd}, second = {2, 2, kMWLPronEnd};
        const uint16_t* prons[] = {first.data(), second.data()};
        std::vector<std::string> results;
        for (MWL* l : {c, p}) {
            uint32_t id = 0;
            std::string r = std::to_string(MWL_AddWordWithPronunciations(l, u16(fresh), nullptr, 2, prons, 0, 0, &id));
            r += " " + std::to_string(MWL_AddWordWithPronunciations(l, u16(known), u16(u"sa"), 1, prons, 0, 0, &id));
            const word_lists::Word& third = words[2].word;
            const uint32_t stored =
                MWL_GetId(l, u16(third.surface), third.spoken.empty() ? nullptr : u16(third.spoken), 1);
            r += " " + std::to_string(MWL_AddMasterPronunciation(l, stored, second.data()));
            results.push_back(r);
        }
        EXPECT_EQ(results[0], results[1]) << what;
        EXPECT_EQ(results[0], "0 0 1") << what;
        std::vector<std::u16string> texts = queries(words);
        texts.insert(texts.end(), {fresh, fresh.substr(0, fresh.size() - 1), fresh + u"x"});
        std::vector<std::u16string> said = spokens(words);
        said.push_back(u"sa");
        const std::string before = answers(c, texts, said, true);
        EXPECT_EQ(before, answers(p, texts, said, true)) << what;

        std::vector<MWL*> restored;
        for (MWL* l : {c, p}) {
            ArchiveFixture archive("bmd1-" + tag + ".dvk");
            ASSERT_EQ(MWL_WritePSAFile(l, archive.tar(), "u/"), 1) << what;
            archive.finish();
            MWL* again = l == c ? compressed(cf, "r" + tag) : plain(pf);
            ASSERT_NE(again, nullptr) << what;
            ASSERT_EQ(MWL_ReadPSAFile(again, archive.openMapped(), "u/"), 1) << what;
            EXPECT_EQ(MWL_ComputeCRC(again), MWL_ComputeCRC(l)) << what;
            restored.push_back(again);
        }
        EXPECT_EQ(answers(restored[0], texts, said, true), before) << what;
        EXPECT_EQ(answers(restored[1], texts, said, true), before) << what;
    }

    GeneratorLog m_log;
    FakeGenerator m_generator{};
    std::unique_ptr<ScopedParamBlock> m_params;
    std::vector<std::unique_ptr<WrittenTable>> m_tables;
    std::vector<MWL*> m_lists;
};

struct Setting {
    int32_t shift;
    Book w, p;
    int32_t phonemeWidth;
    bool spokenIndex;
};

const Setting kSettings[] = {
    {0, Book::None, Book::None, 1, false},           {1, Book::None, Book::None, 1, true},
    {3, Book::Automatic, Book::None, 1, false},      {6, Book::None, Book::Automatic, 2, true},
    {1, Book::Automatic, Book::Automatic, 2, false}, {3, Book::Automatic, Book::Automatic, 1, true},
    {6, Book::Automatic, Book::Automatic, 1, false},
};

compressed_word_lists::Options optionsOf(const Setting& s)
{
    compressed_word_lists::Options o;
    o.blockShift = s.shift;
    o.bookW = s.w;
    o.bookP = s.p;
    o.phonemeWidth = s.phonemeWidth;
    o.list.spokenIndex = s.spokenIndex;
    o.list.rules = false;
    return o;
}

std::string describe(const Setting& s)
{
    return "shift " + std::to_string(s.shift) + " W " + std::to_string(static_cast<int>(s.w)) + " P " +
           std::to_string(static_cast<int>(s.p)) + " width " + std::to_string(s.phonemeWidth) + " index " +
           std::to_string(s.spokenIndex);
}

TEST_F(MWLCompressTest, BothStoresAnswerTheFixtureAlike)
{
    for (const Setting& s : kSettings)
        expectSameAnswers(fixtureWords(), optionsOf(s), describe(s));
}

// One table per seed, each its own test (each takes a while under the
// sanitizers).
class MWLCompressRandomTest : public MWLCompressTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(MWLCompressRandomTest, BothStoresAnswerRandomTablesAlike)
{
    const uint32_t seed = GetParam();
    for (const Setting& s : kSettings) {
        compressed_word_lists::Options o = optionsOf(s);
        // The last seed's lists have a marker phoneme.
        if (seed == 3)
            o.list.marker = 4;
        expectSameAnswers(randomWords(seed, 120), o, describe(s) + " seed " + std::to_string(seed));
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, MWLCompressRandomTest, ::testing::Values(1u, 2u, 3u));

// Other encodings and languages: Latin-1 and Latin-9 keys, UTF-8, a
// compact-Unicode "ruru" list whose Cyrillic keys go through the shared
// surface coder, and a CJK list (no spelling codes, generator word class 1).
TEST_F(MWLCompressTest, BothStoresAnswerAlikeInEveryEncoding)
{
    auto table = [](std::vector<std::u16string> surfaces) {
        std::vector<CWord> words;
        uint16_t k = 0;
        for (const std::u16string& t : surfaces) {
            CWord w;
            w.word.surface = t;
            if (++k % 3 != 0)
                w.word.prons = {{static_cast<uint16_t>(k % 5), 1, 2}};
            words.push_back(w);
        }
        return words;
    };
    const std::vector<CWord> latin = table({u"caf\u00e9", u"Caf\u00e9", u"\u00c9lan", u"na\u00efve", u"river",
                                            u"RIVER", u"r\u00e9sum\u00e9", u"R\u00e9sum\u00e9", u"zoo"});
    const std::vector<CWord> latin9 = table({u"\u0153uvre", u"\u0160al", u"\u0161al", u"river", u"\u20ac"});
    const std::vector<CWord> cyrillic = table({u"\u041c\u043e\u0441\u043a\u0432\u0430",
                                               u"\u043c\u043e\u0441\u043a\u0432\u0430", u"\u043c\u0438\u0440",
                                               u"\u041c\u0438\u0440", u"\u043c\u0438\u0440\u044b", u"river",
                                               u"River"});
    const std::vector<CWord> cjk = table({u"\u4e2d\u56fd", u"\u4e2d\u6587", u"\u5317\u4eac", u"\u4e2d",
                                          u"abc", u"ABC"});
    const struct {
        const char* what;
        const std::vector<CWord>* words;
        const char* language;
        int32_t encoding;
    } lists[] = {
        {"Latin-1", &latin, "enus", 2},   {"UTF-8", &latin, "frfr", 3},     {"Latin-9", &latin9, "frfr", 5},
        {"compact", &cyrillic, "ruru", 4}, {"Cyrillic UTF-8", &cyrillic, "ruru", 3}, {"CJK", &cjk, "zhcn", 3},
    };
    for (const auto& list : lists)
        for (const Setting& s : {kSettings[0], kSettings[2], kSettings[4]}) {
            compressed_word_lists::Options o = optionsOf(s);
            o.list.language = list.language;
            o.list.encoding = list.encoding;
            std::vector<CWord> words = *list.words;
            expectSameAnswers(words, o, std::string(list.what) + " " + describe(s));
            expectSameAnswersAfterAddsAndRestore(words, o, std::string(list.what) + " " + describe(s));
        }
}

// The same run-time words added to both stores: both answer alike again,
// and again once each run-time part went through "bmd1".
TEST_F(MWLCompressTest, BothStoresAnswerAlikeAfterTheSameAddsAndARestore)
{
    for (const Setting& s : kSettings)
        expectSameAnswersAfterAddsAndRestore(fixtureWords(), optionsOf(s), describe(s));
}

TEST_F(MWLCompressTest, TheStaticCrcIsTheWritersRecord)
{
    for (const Setting& s : kSettings) {
        const compressed_word_lists::Fields f = compressed_word_lists::build(fixtureWords(), optionsOf(s));
        const MWL* l = compressed(f, "c" + std::to_string(m_lists.size()));
        ASSERT_NE(l, nullptr);
        EXPECT_EQ(MWLCompress_ComputeStaticCRC(reinterpret_cast<const MWLCompress*>(l)->s), f.crcs[4]);
    }
}

TEST_F(MWLCompressTest, PerWordValuesStoredAndAbsent)
{
    std::vector<CWord> words = fixtureWords();
    CWord& river = words[3];
    river.classId = 515;
    river.unigram = 32;
    river.attributes = 17;
    river.affix = 4;
    river.semantic = 256;
    compressed_word_lists::Options o = optionsOf(kSettings[1]);
    o.classWidth = 2;
    o.classBase = 100;
    o.classDefault = 7;
    o.unigramBase = 1000;
    o.unigramDefault = 5;
    o.affixWidth = 1;
    o.affixBase = 3;
    o.semanticWidth = 2;
    const MWL* l = compressed(compressed_word_lists::build(words, o));
    ASSERT_NE(l, nullptr);
    const uint32_t stored = MWL_GetId(l, u16(u"river"), nullptr, 1);
    const uint32_t absent = MWL_GetId(l, u16(u"base"), nullptr, 1);
    ASSERT_NE(stored, kMWLNoWord);
    EXPECT_EQ(MWL_GetClassId(l, stored), 615);
    EXPECT_EQ(MWL_GetClassId(l, absent), 107);
    EXPECT_EQ(MWL_GetUnigramScore(l, stored), 1032);
    EXPECT_EQ(MWL_GetUnigramScore(l, absent), 1005);
    EXPECT_EQ(MWL_GetAttributes(l, stored), 17);
    EXPECT_EQ(MWL_GetAttributes(l, absent), -1);
    EXPECT_EQ(MWL_GetAffixId(l, stored), 7);
    EXPECT_EQ(MWL_GetAffixId(l, absent), 3);
    EXPECT_EQ(MWL_GetSemanticId(l, stored), 256);
    EXPECT_EQ(MWL_GetSemanticId(l, absent), 0);
    // Run-time ids.
    const uint32_t runTime = 5000;
    EXPECT_EQ(MWL_GetUnigramScore(l, runTime), 32767);
    EXPECT_EQ(MWL_GetClassId(l, runTime), 65535);
    EXPECT_EQ(MWL_GetAttributes(l, runTime), -1);
    EXPECT_EQ(MWL_GetAffixId(l, runTime), -1);
    EXPECT_EQ(MWL_GetSemanticId(l, runTime), -1);
    // Affix width 0: -1 everywhere; class ids keep their low 16 bits.
    o.affixWidth = 0;
    river.affix.reset();
    o.classBase = 65530;
    river.classId = 10;
    const MWL* m = compressed(compressed_word_lists::build(words, o), "m");
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(MWL_GetAffixId(m, stored), -1);
    EXPECT_EQ(MWL_GetAffixId(m, absent), -1);
    EXPECT_EQ(MWL_GetClassId(m, stored), 4);
}

TEST_F(MWLCompressTest, PartOfSpeechIdsOfStoredAndGeneratedProns)
{
    std::vector<CWord> words = fixtureWords();
    CWord& river = words[4];   // River: two prons
    river.posIds = {258, 5};
    river.synthesis = {1, 0};
    CWord& base = words[0];    // generated
    base.posIds = {9};
    compressed_word_lists::Options o = optionsOf(kSettings[0]);
    o.posWidth = 2;
    const MWL* l = compressed(compressed_word_lists::build(words, o));
    ASSERT_NE(l, nullptr);
    const uint32_t id = MWL_GetId(l, u16(u"River"), nullptr, 1);
    ASSERT_NE(id, kMWLNoWord);
    std::vector<std::vector<uint16_t>> buffers(2, std::vector<uint16_t>(20));
    uint16_t* pointers[] = {buffers[0].data(), buffers[1].data()};
    int32_t pos[2] = {0, 0};
    ASSERT_EQ(MWL_GetMasterPronunciations(l, id, 2, pointers, pos), 2);
    EXPECT_EQ(pos[0], 258);
    EXPECT_EQ(pos[1], 5);
    int32_t posIds[4] = {0}, indices[4] = {0}, count = 0;
    EXPECT_EQ(MWL_GetTTSPosIds(l, id, 4, posIds, indices, &count), 1);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(posIds[0], 258);
    EXPECT_EQ(indices[0], 0);
    int32_t one = 0;
    MWL_GetPosIdForPron(l, id, 1, &one);
    EXPECT_EQ(one, 5);
    MWL_GetPosIdForPron(l, id, 2, &one);
    EXPECT_EQ(one, -1);
    const uint32_t generated = MWL_GetId(l, u16(u"base"), nullptr, 1);
    MWL_GetPosIdForPron(l, generated, 0, &one);
    EXPECT_EQ(one, 9);
    EXPECT_EQ(MWL_GetTTSPosIds(l, generated, 4, posIds, indices, &count), 1);
    EXPECT_EQ(posIds[0], 9);
    // Without part-of-speech ids a generated pron is no synthesis entry;
    // the plain store gives it one.
    const MWL* none = compressed(compressed_word_lists::build(words, optionsOf(kSettings[0])), "n");
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(MWL_GetTTSPosIds(none, generated, 4, posIds, indices, &count), 0);
    EXPECT_EQ(count, 0);
    std::vector<word_lists::Word> plainWords;
    for (const CWord& w : words)
        plainWords.push_back(w.word);
    const MWL* p = plain(word_lists::build(plainWords, o.list));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(MWL_GetTTSPosIds(p, MWL_GetId(p, u16(u"base"), nullptr, 1), 4, posIds, indices, &count), 1);
    EXPECT_EQ(count, 1);
    // A run-time pron has no part-of-speech id.
    const Pron added = {2, 2, kMWLPronEnd};
    ASSERT_EQ(MWL_AddMasterPronunciation(const_cast<MWL*>(l), id, added.data()), 1);
    MWL_GetPosIdForPron(l, id, 2, &one);
    EXPECT_EQ(one, -1);
    std::vector<std::vector<uint16_t>> three(3, std::vector<uint16_t>(20));
    uint16_t* threePointers[] = {three[0].data(), three[1].data(), three[2].data()};
    int32_t threePos[3] = {0, 0, 0};
    ASSERT_EQ(MWL_GetMasterPronunciations(l, id, 3, threePointers, threePos), 3);
    EXPECT_EQ(threePos[0], 258);
    EXPECT_EQ(threePos[2], -1);
}

// Shift 1 puts "river" at the end of block 1 and "River" at the start of
// block 2: lookups across the boundary.
TEST_F(MWLCompressTest, LookupsRunAcrossBlockBoundaries)
{
    const MWL* l = compressed(compressed_word_lists::build(fixtureWords(), optionsOf(kSettings[1])));
    ASSERT_NE(l, nullptr);
    const uint32_t river = MWL_GetId(l, u16(u"river"), nullptr, 1);
    const uint32_t River = MWL_GetId(l, u16(u"River"), nullptr, 1);
    ASSERT_NE(river, kMWLNoWord);
    ASSERT_NE(River, kMWLNoWord);
    EXPECT_EQ(River, river + 1);
    EXPECT_EQ(river % 2, 1u);
    std::vector<uint32_t> ids(10);
    EXPECT_EQ(MWL_GetMatches(l, 0, 0, u16(u"riv"), ids.data(), 10, 1), 4);
    EXPECT_EQ(MWL_GetMatches(l, 0, 0, u16(u"r"), ids.data(), 10, 1), 6);
}

// More key text than 16-bit offsets reach (the plain store's limit, not
// this one's): every word is found under its own id.
TEST_F(MWLCompressTest, AListPastSixtyFourKiBOfKeysLoads)
{
    std::vector<CWord> words;
    for (int i = 0; i < 12000; ++i) {
        CWord w;
        for (int k = 0, v = i * 7919; k < 6; ++k, v /= 26)
            w.word.surface.push_back(static_cast<char16_t>(u'a' + v % 26));
        words.push_back(w);
    }
    compressed_word_lists::Options o = optionsOf(kSettings[2]);
    const MWL* l = compressed(compressed_word_lists::build(words, o));
    ASSERT_NE(l, nullptr);
    std::vector<word_lists::Word> plainWords;
    for (const CWord& w : words)
        plainWords.push_back(w.word);
    const std::vector<size_t> order = word_lists::order(plainWords, o.list);
    for (uint32_t id = 0; id < order.size(); id += 997)
        EXPECT_EQ(MWL_GetId(l, u16(words[order[id]].word.surface), nullptr, 1), id);
    EXPECT_EQ(MWL_GetId(l, u16(words[order.back()].word.surface), nullptr, 1), order.size() - 1);
}

using FieldsDamage = std::function<void(compressed_word_lists::Fields&)>;

TEST_F(MWLCompressTest, DamagedFilesAreRefused)
{
    const struct {
        const char* what;
        FieldsDamage damage;
    } rows[] = {
        {"no block offsets with words", [](auto& f) { f.offsetCount = 0; f.blockOffsets.clear(); }},
        {"word count past the blocks", [](auto& f) { f.wordCount += 2; }},
        {"word count leaving a block empty", [](auto& f) { f.wordCount = 1; }},
        {"shift past 24", [](auto& f) { f.blockShift = 25; }},
        {"block offsets decreasing", [](auto& f) { std::swap(f.blockOffsets[1], f.blockOffsets[2]); }},
        {"last offset short of the stream", [](auto& f) { f.blockOffsets.back() -= 1; }},
        {"last offset past the stream", [](auto& f) { f.stream.pop_back(); }},
        {"a code without its code book", [](auto& f) { f.wordClasses[200] = 2; }},
        {"code book offsets decreasing",
         [](auto& f) {
             f.wordClasses[200] = 2;
             f.bookWOffsets.assign(257, 0);
             f.bookW = {'a', 'b'};
             f.bookWOffsets[100] = 2;
             f.bookWOffsets[256] = 2;
         }},
        {"code book entry 256 not its length",
         [](auto& f) {
             f.wordClasses[200] = 2;
             f.bookWOffsets.assign(257, 0);
             f.bookW = {'a', 'b'};
             for (size_t k = 201; k < 257; ++k)
                 f.bookWOffsets[k] = 1;
         }},
        {"window index past 7", [](auto& f) { f.spokenState[1] = 8; }},
        {"names not one per master phoneme", [](auto& f) { f.names.pop_back(); }},
        {"spoken index past the words", [](auto& f) { f.spokenIndex[0] = static_cast<uint32_t>(f.wordCount); }},
        {"class width past 4", [](auto& f) { f.classWidth = 5; }},
        {"part-of-speech width past 2", [](auto& f) { f.posWidth = 3; }},
        {"phoneme width 3", [](auto& f) { f.phonemeWidth = 3; }},
        {"keys descending", [](auto& f) { f.stream[0] = 'z'; }},
        {"shared count past the previous key",
         [](auto& f) {
             // "ebook" follows "base" in block 0: it claims 9 shared bytes.
             const std::string key = "ebook";
             auto at = std::search(f.stream.begin(), f.stream.end(), key.begin(), key.end());
             at[static_cast<long>(key.size())] = 9;
         }},
        {"phoneme not below E", [](auto& f) { f.phonemeEnd = 1; }},
        {"wrong class table length", [](auto& f) { f.pronClasses.pop_back(); }},
        {"non-CJK list without spelling codes", [](auto& f) { f.language = {'z', 'h', 'c', 'n', 0, 0, 0, 0}; }},
    };
    compressed_word_lists::Options o = optionsOf(kSettings[1]);
    const compressed_word_lists::Fields good = compressed_word_lists::build(fixtureWords(), o);
    ASSERT_NE(compressed(good), nullptr);
    for (size_t k = 0; k < std::size(rows); ++k) {
        compressed_word_lists::Fields f = good;
        rows[k].damage(f);
        EXPECT_EQ(compressed(f, "d" + std::to_string(k)), nullptr) << rows[k].what;
    }
}

TEST_F(MWLCompressTest, EveryAllocationFailingInTurnGivesNullAndLeaksNothing)
{
    compressed_word_lists::Options o = optionsOf(kSettings[5]);
    const compressed_word_lists::Fields f = compressed_word_lists::build(fixtureWords(), o);
    setStore(kMWLStoreCompressed);
    WrittenTable table([f](BinFileWriter* w) { return compressed_word_lists::write(w, f); }, "mwl", "alloc.dvk");
    for (uint64_t n = 1;; ++n) {
        m_allocator.failAt(m_allocator.calls() + n);
        MWL* l = nullptr;
        DVKErr_Protect([&] { l = MWL_CreateFromBinFile(table.tar(), nullptr, nullptr, nullptr); });
        m_allocator.failAt(0);
        if (l != nullptr) {
            MWL_Delete(l);
            break;
        }
        ASSERT_LT(n, 500u);
    }
}

} // namespace

namespace {

// A stored code other than the spelling's own: a text whose code shares a
// bit with it finds the word.
TEST_F(MWLCompressTest, AStoredCodeSharingABitWithTheTextsFindsTheWord)
{
    std::vector<CWord> words = fixtureWords();
    CWord hello;
    hello.word = {u"Hello", u"", {{0, 1}}, 254};
    hello.code = 14;
    words.push_back(hello);
    const compressed_word_lists::Options o = optionsOf(kSettings[1]);
    const MWL* l = compressed(compressed_word_lists::build(words, o));
    ASSERT_NE(l, nullptr);
    const uint32_t id = MWL_GetId(l, u16(u"Hello"), nullptr, 1);
    EXPECT_NE(id, kMWLNoWord);
    EXPECT_EQ(MWL_GetId(l, u16(u"hello"), nullptr, 1), kMWLNoWord);
    // The plain store with the same stored code asks for equal codes.
    std::vector<word_lists::Word> plainWords;
    for (const CWord& w : words)
        plainWords.push_back(w.word);
    word_lists::Fields pf = word_lists::build(plainWords, o.list);
    ASSERT_LT(id, pf.codes.size());
    ASSERT_NE(pf.codes[id], 14);
    pf.codes[id] = 14;
    const MWL* p = plain(pf);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(MWL_GetId(p, u16(u"Hello"), nullptr, 1), kMWLNoWord);
}

// A marker goes back into every stored pron of its word, and into a
// generated one; word 707 folds a stored part-of-speech id v into
// (v >> 8) x (highest master id + 1) + (v & 255).
TEST_F(MWLCompressTest, MarkersAndFoldedPartOfSpeechIds)
{
    std::vector<CWord> words = fixtureWords();
    words[4].word.marker = 2;   // River: two prons
    words[4].posIds = {258, 5};
    compressed_word_lists::Options o = optionsOf(kSettings[3]);
    o.list.marker = 4;
    o.posWidth = 2;
    MWL* l = compressed(compressed_word_lists::build(words, o));
    ASSERT_NE(l, nullptr);
    const uint32_t id = MWL_GetId(l, u16(u"River"), nullptr, 1);
    std::vector<std::vector<uint16_t>> buffers(2, std::vector<uint16_t>(20, 0));
    uint16_t* pointers[] = {buffers[0].data(), buffers[1].data()};
    int32_t pos[2] = {0, 0};
    ASSERT_EQ(MWL_GetMasterPronunciations(l, id, 2, pointers, pos), 2);
    for (size_t k = 0; k < 2; ++k) {
        Pron expected = words[4].word.prons[k];
        expected.push_back(kMWLPronEnd);
        expected.resize(20, 0);
        MWLUtil_InsertMarkerPhoneme(expected.data(), 2, 4);
        EXPECT_EQ(buffers[k], expected) << k;
    }
    EXPECT_EQ(pos[0], 258);
    ParamBlockBuilder b;
    b.word(kBrevitParamExpansionPool, 40)
        .word(kBrevitParamMasterPhonemeSlots, 4)
        .word(kBrevitParamRecogPhonemeSlots, 4)
        .word(kBrevitParamPosIdMapping, 1);
    m_params.reset();
    m_params = std::make_unique<ScopedParamBlock>(b);
    ASSERT_EQ(MWL_GetMasterPronunciations(l, id, 2, pointers, pos), 2);
    EXPECT_EQ(pos[0], 1 * 5 + 2);   // names B AA S ' .: highest id 4
    EXPECT_EQ(pos[1], 5);
}

} // namespace

namespace {

std::vector<int> g_slotsCalled;
template <int Slot>
MWL* recordingCreator(DVKTar*, const char*, const PG*)
{
    g_slotsCalled.push_back(Slot);
    return nullptr;
}

// Empty lists are made only through the optional-module table (never
// installed by the engine): the main list of either store, the
// supplementary list of the plain store alone.
TEST_F(MWLCompressTest, EmptyListsComeOnlyFromTheOptionalModuleTable)
{
    BrevitFunctionTable table{};
    table.MWL1_Create = reinterpret_cast<void*>(&recordingCreator<40>);
    table.MWL1_CreateSupplementaryMWL = reinterpret_cast<void*>(&recordingCreator<41>);
    table.MWLCompress_Create = reinterpret_cast<void*>(&recordingCreator<42>);
    table.MWLCompress_CreateSupplementaryMWL = reinterpret_cast<void*>(&recordingCreator<43>);
    g_slotsCalled.clear();
    BrevitFunctionTable* previous = spBrevitFunctionPointers;
    spBrevitFunctionPointers = &table;
    for (int32_t type : {0, 1, 2, 3}) {
        EXPECT_EQ(MWL_Create(nullptr, "", nullptr, type), nullptr);
        EXPECT_EQ(MWL_CreateSupplementaryMWL(nullptr, "", nullptr, type), nullptr);
    }
    spBrevitFunctionPointers = previous;
    EXPECT_EQ(g_slotsCalled, (std::vector<int>{42, 40, 41}));
    spBrevitFunctionPointers = nullptr;
    EXPECT_EQ(MWL_Create(nullptr, "", nullptr, 1), nullptr);
    spBrevitFunctionPointers = previous;
    EXPECT_EQ(g_slotsCalled.size(), 3u);
}

} // namespace

namespace {

// Code books given code by code: in first keys ("ri"), in suffixes ("oo"),
// across the end of a key, its shared count, spelling code and flags
// ("rock"'s), in spoken forms ("s v"), in a string holding another code's
// byte (" y" holds 'y', itself the code of "ri": not expanded again), and
// P codes spanning a phoneme and an end value. Each list answers as its
// twin without code books.
TEST_F(MWLCompressTest, GivenCodeBooksAnswerAsTheirCodeBookFreeTwins)
{
    const std::vector<CWord> words = fixtureWords();
    for (int32_t shift : {0, 1, 3}) {
        compressed_word_lists::Options o = optionsOf(kSettings[0]);
        o.blockShift = shift;
        const compressed_word_lists::Fields twin = compressed_word_lists::build(words, o);
        const std::string rock = "ock";
        const auto at = std::search(twin.stream.begin(), twin.stream.end(), rock.begin(), rock.end());
        ASSERT_NE(at, twin.stream.end());
        const std::vector<uint8_t> across(at + 2, at + 6);   // 'k', shared count, code, flags
        ASSERT_LT(across[1], 32);
        const uint8_t end = static_cast<uint8_t>(twin.phonemeEnd);
        o.bookW = Book::Given;
        o.givenW = {{'y', {'r', 'i'}}, {0xF0, {' ', 'y'}}, {0xF1, {'o', 'o'}}, {0xF2, across}, {0xF3, {'s', ' ', 'v'}}};
        o.bookP = Book::Given;
        o.givenP = {{0xF0, {4, end}}, {0xF1, {1, 2}}};
        const compressed_word_lists::Fields coded = compressed_word_lists::build(words, o);
        // Every code is used and none is left as a literal.
        for (const auto& [code, bytes] : o.givenW)
            EXPECT_NE(std::find(coded.stream.begin(), coded.stream.end(), code), coded.stream.end()) << int{code};
        EXPECT_LT(coded.stream.size(), twin.stream.size());
        const std::string tag = std::to_string(shift);
        const MWL* c = compressed(coded, "g" + tag);
        const MWL* t = compressed(twin, "t" + tag);
        ASSERT_NE(c, nullptr) << shift;
        ASSERT_NE(t, nullptr) << shift;
        const auto texts = queries(words);
        const auto said = spokens(words);
        EXPECT_EQ(answers(c, texts, said), answers(t, texts, said)) << "shift " << shift;
    }
}

} // namespace
