// The plain word-list store through the word-list interface, over lists
// made by the word-list writer.
#include "core/brevit/lexicon/mwl1.h"
#include "tests/brevit/lexicon/word_store_test.h"
#include "tests/support/word_list_writer.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using word_lists::Word;

// B AA S ' . are master (and, with identity rules, recognition) ids 0-4.
std::vector<Word> fixtureWords()
{
    return {
        {u"base", u"", {}, 254},
        {u"eBook", u"", {{1, 2, 0, 0}}, 254},
        {u"New York", u"new york", {{0, 1, 2, 3}}, 254},
        {u"river", u"", {{0, 1, 2, 3, 4}}, 254},
        {u"River", u"", {{4, 3, 2, 1, 0, 0}}, 254},
        {u"RSVP", u"r s v p", {{2, 2, 1, 1}}, 254},
    };
}

const uint16_t* u16(const char16_t* t) { return reinterpret_cast<const uint16_t*>(t); }

class MWL1Test : public WordStoreTest {
protected:
    void SetUp() override
    {
        WordStoreTest::SetUp();
        setStore(kMWLStorePlain);
        m_log.answer = {0, 3, 1, 2, 4};
        m_generator = fakeGenerator(&m_log);
    }

    void TearDown() override
    {
        for (MWL* l : m_lists)
            MWL_Delete(l);
        m_lists.clear();
        m_tables.clear();
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

    // Writes and loads; the list is deleted at the end of the test.
    MWL* load(const word_lists::Fields& f, const char* prefix = "")
    {
        const std::string tag = std::string(prefix) + "mwl";
        m_tables.push_back(std::make_unique<WrittenTable>(
            [f](BinFileWriter* w) { return word_lists::write(w, f); }, tag.c_str(), "list.dvk"));
        MWL* l = MWL_CreateFromBinFile(m_tables.back()->tar(), prefix, &m_generator.base, nullptr);
        if (l != nullptr)
            m_lists.push_back(l);
        return l;
    }

    MWL* fixture(const word_lists::Options& o = {}) { return load(word_lists::build(fixtureWords(), o)); }

    static std::vector<uint32_t> matches(const MWL* l, int32_t caseFlag, int32_t exact, const char16_t* text)
    {
        std::vector<uint32_t> ids(20, 0xEEEE);
        const int32_t n = MWL_GetMatches(l, caseFlag, exact, u16(text), ids.data(), 20, 0);
        ids.resize(static_cast<size_t>(n));
        return ids;
    }

    static std::vector<uint32_t> atStart(const MWL* l, int32_t caseFlag, int32_t length, const char16_t* text)
    {
        std::vector<uint32_t> ids(20, 0xEEEE);
        const int32_t n = MWL_GetMatchesAtStart(l, caseFlag, length, u16(text), ids.data(), 20, 0);
        ids.resize(static_cast<size_t>(n));
        return ids;
    }

    std::vector<Pron> masters(const MWL* l, uint32_t id, int32_t capacity = 4)
    {
        const int32_t length = MWL_GetMaxMasterPronunciationLength(l) + 1;
        std::vector<std::vector<uint16_t>> buffers(static_cast<size_t>(capacity),
                                                   std::vector<uint16_t>(static_cast<size_t>(length) + 1, 0xEEEE));
        std::vector<uint16_t*> pointers;
        for (auto& b : buffers)
            pointers.push_back(b.data());
        const int32_t n = MWL_GetMasterPronunciations(l, id, capacity, pointers.data(), nullptr);
        std::vector<Pron> out;
        for (int32_t k = 0; k < n && k < capacity; ++k) {
            Pron p;
            for (const uint16_t* q = pointers[static_cast<size_t>(k)]; *q != kMWLPronEnd; ++q)
                p.push_back(*q);
            out.push_back(p);
        }
        for (const auto& b : buffers)
            EXPECT_EQ(b[static_cast<size_t>(length)], 0xEEEE) << "written past the buffer";
        return out;
    }

    GeneratorLog m_log;
    FakeGenerator m_generator{};
    std::vector<std::unique_ptr<WrittenTable>> m_tables;
    std::vector<MWL*> m_lists;
};

TEST_F(MWL1Test, GetIdFindsEachWordByItsSpellingAndSpokenForm)
{
    MWL* l = fixture();
    ASSERT_NE(l, nullptr);
    struct Row {
        const char16_t* surface;
        const char16_t* spoken;
        uint32_t id;
    };
    for (const Row& r : std::vector<Row>{{u"base", nullptr, 0},
                                         {u"River", nullptr, 4},
                                         {u"river", nullptr, 3},
                                         {u"eBook", nullptr, 1},
                                         {u"ebook", nullptr, kMWLNoWord},
                                         {u"RIVER", nullptr, kMWLNoWord},
                                         {u"New York", u"new york", 2},
                                         {u"New York", nullptr, kMWLNoWord},
                                         {u"RSVP", u"r s v p", 5}})
        EXPECT_EQ(MWL_GetId(l, u16(r.surface), u16(r.spoken), 0), r.id)
            << std::string(r.surface, r.surface + std::char_traits<char16_t>::length(r.surface));
}

TEST_F(MWL1Test, MatchesFollowTheCaseFlagAndTheSpellingCodes)
{
    MWL* l = fixture();
    ASSERT_NE(l, nullptr);
    using Ids = std::vector<uint32_t>;
    EXPECT_EQ(matches(l, 1, 0, u"river"), (Ids{3}));
    EXPECT_EQ(matches(l, 0, 0, u"river"), (Ids{3, 4}));
    EXPECT_EQ(matches(l, 1, 0, u"River"), (Ids{4}));
    EXPECT_EQ(matches(l, 0, 0, u"River"), (Ids{3, 4}));
    EXPECT_EQ(matches(l, 1, 0, u"RIVER"), (Ids{}));
    EXPECT_EQ(matches(l, 0, 0, u"RIVER"), (Ids{3, 4}));
    EXPECT_EQ(matches(l, 1, 0, u"NEW YORK"), (Ids{}));
    EXPECT_EQ(matches(l, 0, 0, u"NEW YORK"), (Ids{2}));
    EXPECT_EQ(matches(l, 1, 0, u"rsvp"), (Ids{}));   // codes 1 and 4 share no bit
    EXPECT_EQ(matches(l, 0, 0, u"rsvp"), (Ids{5}));
    EXPECT_EQ(matches(l, 0, 0, u"r"), (Ids{3, 4, 5}));
    EXPECT_EQ(MWL_GetNumMatches(l, 0, 0, u16(u"r")), 3);
    EXPECT_EQ(matches(l, 0, 1, u"r"), (Ids{}));
    uint32_t untouched = 0xEEEE;
    EXPECT_EQ(MWL_GetMatches(l, 0, 0, u16(u"r"), &untouched, 0, 0), 1);
    EXPECT_EQ(MWL_GetMatches(l, 0, 0, u16(u"q"), &untouched, 0, 0), 0);
    EXPECT_EQ(untouched, 0xEEEEu);
    // With capacity 0 the run-time words are not consulted; counting them is.
    uint32_t id = 0;
    const Pron p = closed({0, 1});
    const uint16_t* prons[] = {p.data()};
    ASSERT_EQ(MWL_AddWordWithPronunciations(l, u16(u"quay"), nullptr, 1, prons, 0, 0, &id), kMWLAddDone);
    EXPECT_EQ(MWL_GetMatches(l, 0, 0, u16(u"quay"), &untouched, 0, 0), 0);
    EXPECT_EQ(untouched, 0xEEEEu);
    EXPECT_EQ(MWL_GetNumMatches(l, 0, 0, u16(u"quay")), 1);
    EXPECT_EQ(matches(l, 0, 0, u"quay"), (Ids{id}));
}

TEST_F(MWL1Test, MatchesAtStartAgreeWithTheEmulationOverExactPrefixes)
{
    MWL* l = fixture();
    ASSERT_NE(l, nullptr);
    using Ids = std::vector<uint32_t>;
    EXPECT_EQ(atStart(l, 0, 3, u"riverside"), (Ids{3, 4}));
    EXPECT_EQ(atStart(l, 1, 3, u"riverside"), (Ids{3}));
    const MWLOps kept = l->ops;
    l->ops.GetMatchesAtStart = nullptr;
    EXPECT_EQ(atStart(l, 0, 3, u"riverside"), (Ids{3, 4}));
    EXPECT_EQ(atStart(l, 1, 3, u"riverside"), (Ids{3}));
    l->ops = kept;
}

TEST_F(MWL1Test, SpokenFormsAreFoundWithAndWithoutTheIndex)
{
    for (bool index : {false, true}) {
        word_lists::Options o;
        o.spokenIndex = index;
        MWL* l = fixture(o);
        ASSERT_NE(l, nullptr);
        uint32_t id = 0;
        EXPECT_EQ(MWL_GetIdsFromSpoken(l, u16(u"r s v p"), &id, 1, 0), 1) << index;
        EXPECT_EQ(id, 5u);
        EXPECT_EQ(MWL_GetIdsFromSpoken(l, u16(u"r s v p"), &id, 0, 0), 0);
        EXPECT_EQ(MWL_GetIdsFromSpoken(l, u16(u"q"), &id, 1, 0), 0);
    }
}

TEST_F(MWL1Test, FormsComeBackAsWritten)
{
    MWL* l = fixture();
    ASSERT_NE(l, nullptr);
    for (const Word& w : fixtureWords()) {
        const uint32_t id = MWL_GetId(l, u16(w.surface.c_str()), u16(w.spoken.c_str()), 1);
        ASSERT_NE(id, kMWLNoWord);
        std::vector<uint16_t> surface(static_cast<size_t>(MWL_GetMaxSurfaceFormLength(l)) + 1, 0xEEEE);
        std::vector<uint16_t> spoken(static_cast<size_t>(MWL_GetMaxSpokenFormLength(l)) + 1, 0xEEEE);
        ASSERT_EQ(MWL_GetSurfaceAndSpokenForms(l, id, surface.data(), spoken.data()), 1);
        EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(surface.data())), w.surface);
        EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(spoken.data())), w.spoken);
    }
}

TEST_F(MWL1Test, PronsAreStoredOrGeneratedIntoBuffersOfTheLongestPron)
{
    MWL* l = fixture();
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(masters(l, 0, 1), (std::vector<Pron>{{0, 3, 1, 2, 4}}));
    EXPECT_EQ(MWL_GetMasterPronunciations(l, 0, 0, nullptr, nullptr), 1);
    EXPECT_EQ(masters(l, 3), (std::vector<Pron>{{0, 1, 2, 3, 4}}));
    // A longest stored pron of 3 leaves no room for base's five phonemes.
    word_lists::Fields f = word_lists::build({{u"base", u"", {}, 254}, {u"bus", u"", {{0, 1, 2}}, 254}});
    MWL* small = load(f, "s");
    ASSERT_NE(small, nullptr);
    EXPECT_EQ(MWL_GetMaxMasterPronunciationLength(small), 3);
    EXPECT_EQ(masters(small, 0), (std::vector<Pron>{}));
}

TEST_F(MWL1Test, TheMarkerGoesBackAtTheWordsPosition)
{
    std::vector<Word> words = fixtureWords();
    words[3].prons = {{1, 2}};
    words[3].marker = 2;
    word_lists::Options o;
    o.marker = 4;
    MWL* l = load(word_lists::build(words, o));
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(masters(l, 3), (std::vector<Pron>{{1, 4, 2}}));
}

TEST_F(MWL1Test, MasterIdsWalkTheStoredWordsThenTheRunTimeOnes)
{
    MWL* l = fixture();
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(MWL_GetNextMasterId(l, kMWLNoWord), 0u);
    EXPECT_EQ(MWL_GetNextMasterId(l, 4), 5u);
    uint32_t id = kMWLNoWord;
    const Pron p = closed({0, 1});
    const uint16_t* prons[] = {p.data()};
    EXPECT_EQ(MWL_AddWordWithPronunciations(l, u16(u"zebra"), nullptr, 1, prons, 0, 0, &id), kMWLAddDone);
    EXPECT_EQ(id, 6u);
    EXPECT_EQ(MWL_GetNextMasterId(l, 5), 6u);
    EXPECT_EQ(MWL_GetId(l, u16(u"zebra"), nullptr, 0), 6u);
    EXPECT_EQ(MWL_GetId(l, u16(u"zebra"), nullptr, 1), kMWLNoWord);
    MWL* empty = load(word_lists::build({}), "e");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(MWL_AddWordWithPronunciations(empty, u16(u"zebra"), nullptr, 1, prons, 0, 0, &id), kMWLAddDone);
    EXPECT_EQ(id, 0u);
    EXPECT_EQ(MWL_GetNextMasterId(empty, kMWLNoWord), 0u);
}

TEST_F(MWL1Test, PhonemeNamesEndAtTheMaximumId)
{
    MWL* l = fixture();
    ASSERT_NE(l, nullptr);
    EXPECT_STREQ(MWL_GetMasterPhonemeName(l, 4), ".");
    EXPECT_EQ(MWL_GetMasterPhonemeName(l, 5), nullptr);
    EXPECT_EQ(MWL_GetRecogPhonemeName(l, 0), nullptr);
}

TEST_F(MWL1Test, GenderClassesComeFromTheTable)
{
    word_lists::Options o;
    o.genders = {0, 1, 2, 2, 2};
    MWL* l = fixture(o);
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(MWL_ContainsGender(l), 1);
    const Pron mixed = closed({0, 1}), zero = closed({2, 0}), neutral = closed({2, 2});
    EXPECT_EQ(MWL_IsMasterPronunciationLegal(l, mixed.data()), 255);
    EXPECT_EQ(MWL_IsMasterPronunciationLegal(l, zero.data()), 0);
    EXPECT_EQ(MWL_IsMasterPronunciationLegal(l, neutral.data()), 2);
    EXPECT_EQ(MWL_GetGender(l, 3, 0), 255);   // B AA S ' .
    EXPECT_EQ(MWL_GetGender(l, 3, 1), 255);   // past its prons
    MWL* none = fixture();
    EXPECT_EQ(MWL_IsMasterPronunciationLegal(none, mixed.data()), 2);
}

TEST_F(MWL1Test, SmallHeaderMaximaAreRaisedToTheMeasuredOnes)
{
    word_lists::Fields f = word_lists::build(fixtureWords());
    const word_lists::Fields measured = f;
    f.maxSurface = f.maxSpoken = f.maxRecog = f.maxMaster = f.maxProns = 3;
    MWL* l = load(f);
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(MWL_GetMaxSurfaceFormLength(l), measured.maxSurface);
    EXPECT_EQ(MWL_GetMaxSpokenFormLength(l), measured.maxSpoken);
    EXPECT_EQ(MWL_GetMaxMasterPronunciationLength(l), measured.maxMaster);
    EXPECT_EQ(MWL_GetMaxRecogPronunciationLength(l), measured.maxRecog);
    EXPECT_GE(MWL_GetMaxNumPronunciations(l), measured.maxProns);
}

word_lists::Options latinNine()
{
    word_lists::Options o;
    o.encoding = 5;
    return o;
}

TEST_F(MWL1Test, LatinNineListsAreKeyedOnTheDecodedCharacter)
{
    MWL* l = load(word_lists::build({{u"Œuvre", u"", {{0, 1, 2, 3}}, 254}, {u"šal", u"", {{0, 1, 2, 3}}, 254}},
                                    latinNine()));
    ASSERT_NE(l, nullptr);
    const uint32_t oeuvre = MWL_GetId(l, u16(u"Œuvre"), nullptr, 1);
    const uint32_t sal = MWL_GetId(l, u16(u"šal"), nullptr, 1);
    EXPECT_NE(oeuvre, kMWLNoWord);
    EXPECT_NE(sal, kMWLNoWord);
    EXPECT_EQ(MWL_GetId(l, u16(u"œuvre"), nullptr, 1), kMWLNoWord);
    EXPECT_EQ(matches(l, 0, 0, u"ŠAL"), (std::vector<uint32_t>{sal}));
    std::vector<uint16_t> surface(16);
    MWL_GetSurfaceAndSpokenForms(l, oeuvre, surface.data(), nullptr);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(surface.data())), u"Œuvre");
}

TEST_F(MWL1Test, CreationNeedsThePlainStoreParameter)
{
    for (uint32_t store : {0u, 1u, 3u}) {
        setStore(store);
        EXPECT_EQ(fixture(), nullptr) << store;
    }
    MWL_Delete(nullptr);
    EXPECT_EQ(MWL_Create(nullptr, "", nullptr, 2), nullptr);
    EXPECT_EQ(MWL_CreateSupplementaryMWL(nullptr, "", nullptr, 2), nullptr);
}

TEST_F(MWL1Test, TheSupplementaryListReadsUnderPrefixAndX)
{
    const word_lists::Fields f = word_lists::build(fixtureWords());
    WrittenTable table([f](BinFileWriter* w) { return word_lists::write(w, f); }, "enxmwl", "sup.dvk");
    MWL* l = MWL_ReadSupplementaryMWL(table.tar(), "en", nullptr, nullptr);
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(MWL_GetId(l, u16(u"river"), nullptr, 1), 3u);
    MWL_Delete(l);
    EXPECT_EQ(MWL_CreateFromBinFile(table.tar(), "en", nullptr, nullptr), nullptr);
}

TEST_F(MWL1Test, DamagedListsAreRefused)
{
    using F = word_lists::Fields;
    struct Row {
        const char* what;
        std::function<void(F&)> damage;
    };
    const std::vector<Row> rows = {
        {"negative word count", [](F& f) { f.wordCount = -1; }},
        {"negative pron pool", [](F& f) { f.pronPoolLength = -1; f.pronPool.clear(); }},
        {"text pool past 16-bit offsets", [](F& f) { f.textPoolLength = 65537; }},
        {"negative gender table", [](F& f) { f.genderLength = -1; }},
        {"encoding 0", [](F& f) { f.surfaceEncoding = 0; }},
        {"encoding 6", [](F& f) { f.spokenEncoding = 6; }},
        {"wrong count of pron starts", [](F& f) { f.pronStarts.pop_back(); }},
        {"text offset past the pool", [](F& f) { f.textOffsets[2] = static_cast<uint16_t>(f.textPoolLength); }},
        {"entry without its terminators", [](F& f) { f.textPool.back() = 'x'; }},
        {"keys decreasing", [](F& f) { std::swap(f.textOffsets[0], f.textOffsets[5]); }},
        {"pron running past the pool", [](F& f) { f.pronStarts[5] = static_cast<uint16_t>(f.pronPoolLength - 1); f.pronPool.back() = 1; }},
        {"pron start past the pool", [](F& f) { f.pronStarts[3] = static_cast<uint16_t>(f.pronPoolLength + 4); }},
        {"names not max id + 1", [](F& f) { f.names.pop_back(); }},
        {"pron counts absent", [](F& f) { f.pronCounts.clear(); }},
        {"text pool absent", [](F& f) { f.textPool.clear(); f.textPoolLength = 0; }},
        {"gender table absent", [](F& f) { f.genderLength = 2; }},
        {"spoken index flag without index", [](F& f) { f.spokenIndexFlag = 1; f.spokenIndexLength = 0; f.spokenIndex.clear(); }},
        {"spoken index entry past N", [](F& f) { f.spokenIndexFlag = 1; f.spokenIndexLength = 1; f.spokenIndex = {6, 6}; }},
        {"spoken index out of order", [](F& f) { f.spokenIndexFlag = 1; f.spokenIndexLength = 2; f.spokenIndex = {5, 2, 6}; }},
        {"code 16 without its exact spelling", [](F& f) { f.codes[0] = 16; }},
        {"language record short", [](F& f) { f.language.pop_back(); }},
    };
    const F base = word_lists::build(fixtureWords());
    for (size_t k = 0; k < rows.size(); ++k) {
        F f = base;
        rows[k].damage(f);
        const std::string prefix = "d" + std::to_string(k);
        EXPECT_EQ(load(f, prefix.c_str()), nullptr) << rows[k].what;
    }
}

TEST_F(MWL1Test, EveryAllocationFailingInTurnGivesNullAndLeaksNothing)
{
    const word_lists::Fields f = word_lists::build(fixtureWords(), [] {
        word_lists::Options o;
        o.spokenIndex = true;
        o.genders = {0, 1, 2};
        return o;
    }());
    WrittenTable table([f](BinFileWriter* w) { return word_lists::write(w, f); }, "mwl", "alloc.dvk");
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

TEST_F(MWL1Test, RunTimeWordsSurviveThePsaFileWithEqualCrc)
{
    MWL* l = fixture();
    ASSERT_NE(l, nullptr);
    uint32_t id = 0;
    const Pron p = closed({0, 1, 2, 3, 4, 0, 1});
    const uint16_t* prons[] = {p.data()};
    ASSERT_EQ(MWL_AddWordWithPronunciations(l, u16(u"Archipelago"), u16(u"arch"), 1, prons, 0, 0, &id), kMWLAddDone);
    const uint32_t crc = MWL_ComputeCRC(l);
    ArchiveFixture archive("psa.dvk");
    ASSERT_EQ(MWL_WritePSAFile(l, archive.tar(), "u/"), 1);
    archive.finish();
    MWL* restored = fixture();
    ASSERT_NE(restored, nullptr);
    ASSERT_EQ(MWL_ReadPSAFile(restored, archive.openMapped(), "u/"), 1);
    EXPECT_EQ(MWL_ComputeCRC(restored), crc);
    EXPECT_EQ(MWL_GetId(restored, u16(u"Archipelago"), u16(u"arch"), 0), id);
    EXPECT_EQ(MWL_GetMaxSurfaceFormLength(restored), MWL_GetMaxSurfaceFormLength(l));
    EXPECT_EQ(MWL_GetMaxMasterPronunciationLength(restored), 7);
}

} // namespace

namespace {

TEST_F(MWL1Test, AddedRecognitionPronsBecomeAddedMasterPhonemesReusedBySegmentation)
{
    MWL* l = fixture();
    ASSERT_NE(l, nullptr);
    const Pron recog = closed({4, 4, 0});
    const uint16_t* prons[] = {recog.data()};
    const uint32_t first = MWL_AddWord(l, u16(u"alpha"), nullptr, prons, 1, 0);
    ASSERT_NE(first, kMWLNoWord);
    const std::vector<Pron> firstProns = masters(l, first);
    ASSERT_EQ(firstProns.size(), 1u);
    ASSERT_EQ(firstProns[0].size(), 1u);
    EXPECT_GT(firstProns[0][0], 4) << "an added master phoneme";
    EXPECT_EQ(MWL_GetMaxMasterPhonemeId(l), firstProns[0][0]);
    const uint32_t second = MWL_AddWord(l, u16(u"beta"), nullptr, prons, 1, 0);
    ASSERT_NE(second, kMWLNoWord);
    EXPECT_EQ(masters(l, second), firstProns);
    EXPECT_EQ(MWL_GetMaxMasterPhonemeId(l), firstProns[0][0]) << "no second phoneme";
    std::vector<uint16_t> back(static_cast<size_t>(MWL_GetMaxRecogPronunciationLength(l)) + 1);
    uint16_t* b = back.data();
    ASSERT_EQ(MWL_GetRecogPronunciations(l, second, 1, &b), 1);
    EXPECT_EQ(Pron(back.begin(), back.begin() + 4), recog);
}

TEST_F(MWL1Test, RefusedAddsAndStoredPronRemovalsAreAnswered)
{
    MWL* l = fixture();
    ASSERT_NE(l, nullptr);
    uint32_t id = 0;
    const uint16_t* none[] = {nullptr};
    // A pron naming an added phoneme that was never defined is refused.
    const Pron undefined = closed({40});
    none[0] = undefined.data();
    EXPECT_EQ(MWL_AddWordWithPronunciations(l, u16(u"gamma"), nullptr, 1, none, 0, 0, &id), kMWLAddRefused);
    EXPECT_EQ(id, kMWLNoWord);
    int32_t freed = 0;
    EXPECT_EQ(MWL_RemovePronunciation(l, 3, 0, &freed), 0);
    const Pron extra = closed({1, 1, 1, 1});
    EXPECT_EQ(MWL_AddMasterPronunciation(l, 3, extra.data()), 1);
    EXPECT_EQ(masters(l, 3).size(), 2u);
    EXPECT_EQ(MWL_RemovePronunciation(l, 3, 1, &freed), 1);
    EXPECT_EQ(masters(l, 3).size(), 1u);
    EXPECT_EQ(MWL_IsWordRemovable(l, 3), 0);
    EXPECT_EQ(MWL_IsWordIdInUse(l, 3), 1);
}

TEST_F(MWL1Test, AnAddedLongerPronRaisesTheMaximaCallersSizeRecognitionBuffersFrom)
{
    MWL* l = fixture();
    ASSERT_NE(l, nullptr);
    const int32_t longest = MWL_GetMaxRecogPronunciationLength(l);
    const Pron longer = closed(Pron(static_cast<size_t>(longest + 3), 1));
    ASSERT_EQ(MWL_AddMasterPronunciation(l, 3, longer.data()), 1);
    // Adding raised the maxima, so a caller sizing from them has room.
    EXPECT_GE(MWL_GetMaxRecogPronunciationLength(l), longest + 3);
    std::vector<std::vector<uint16_t>> buffers(2, std::vector<uint16_t>(static_cast<size_t>(MWL_GetMaxRecogPronunciationLength(l)) + 2, 0xEEEE));
    uint16_t* pointers[] = {buffers[0].data(), buffers[1].data()};
    EXPECT_EQ(MWL_GetRecogPronunciations(l, 3, 2, pointers), 2);
    EXPECT_EQ(buffers[1][static_cast<size_t>(longest + 3)], kMWLPronEnd);
    EXPECT_EQ(buffers[1].back(), 0xEEEE);
}

TEST_F(MWL1Test, KnownWordsTakeTheirStoredVariantAndSpokenFormsShareTheStoredPron)
{
    ParamBlockBuilder b;
    b.word(kBrevitParamExpansionPool, 40)
        .word(kBrevitParamMasterPhonemeSlots, 4)
        .word(kBrevitParamRecogPhonemeSlots, 4)
        .word(kBrevitParamKeepPronunciations, 1)
        .word(kBrevitParamCompressedStore, 2)
        .word(kBrevitParamStaticSpokenFormPron, 1);
    m_params.reset();
    m_params = std::make_unique<ScopedParamBlock>(b);
    std::vector<Word> words = fixtureWords();
    words[5].marker = 2;
    word_lists::Options o;
    o.marker = 4;
    MWL* l = load(word_lists::build(words, o));
    ASSERT_NE(l, nullptr);
    // RSVP's stored pron with the marker back at 2, as a caller would hand it.
    const Pron given = closed({2, 4, 2, 1, 1});
    const uint16_t* prons[] = {given.data()};
    uint32_t id = 0;
    ASSERT_EQ(MWL_AddWordWithPronunciations(l, u16(u"R.S.V.P."), u16(u"r s v p"), 1, prons, 0, 1, &id), kMWLAddDone);
    EXPECT_EQ(masters(l, id), masters(l, 5));
}

} // namespace

namespace {

TEST_F(MWL1Test, AListWithoutRewriteRulesHearsItsPhonemesAsTheyAre)
{
    word_lists::Options o;
    o.rules = false;
    o.genders = {0, 1, 2, 2, 2};
    MWL* l = fixture(o);
    ASSERT_NE(l, nullptr);
    std::vector<uint16_t> recog(static_cast<size_t>(MWL_GetMaxRecogPronunciationLength(l)) + 1);
    uint16_t* r = recog.data();
    ASSERT_EQ(MWL_GetRecogPronunciations(l, 3, 1, &r), 1);
    EXPECT_EQ(Pron(recog.begin(), recog.begin() + 6), closed({0, 1, 2, 3, 4}));
    const Pron neutral = closed({2, 3});
    EXPECT_EQ(MWL_IsPronunciationLegal(l, neutral.data()), 1);
    EXPECT_EQ(MWL_GetGender(l, 1, 0), 255);   // AA S B B
}

} // namespace

namespace {

TEST_F(MWL1Test, FormsWithInvalidUtf8FitTheMeasuredMaxima)
{
    word_lists::Fields f = word_lists::build(fixtureWords());
    // "rsvp" becomes r s <stray continuation byte> p: four characters decoded.
    f.textPool[f.textOffsets[5] + 2u] = 0x80;
    f.maxSurface = 1;
    MWL* l = load(f);
    ASSERT_NE(l, nullptr);
    const size_t room = static_cast<size_t>(MWL_GetMaxSurfaceFormLength(l)) + 1;
    std::vector<uint16_t> surface(room + 1, 0xEEEE);
    ASSERT_EQ(MWL_GetSurfaceAndSpokenForms(l, 5, surface.data(), nullptr), 1);
    EXPECT_EQ(surface[room], 0xEEEE);
}

} // namespace

namespace {

// Word 722 picks the reader: a plain list read as the compressed store does
// not make sense as its records and is refused.
TEST_F(MWL1Test, APlainListReadAsTheCompressedStoreIsRefused)
{
    for (uint32_t store : {kMWLStoreCompressed, kMWLStorePlain}) {
        setStore(store);
        const MWL* l = load(word_lists::build(fixtureWords()), "en");
        EXPECT_EQ(l == nullptr, store == kMWLStoreCompressed) << store;
    }
}

// Recognition phonemes B=0 (class 0), AA=1 (class 1), S=2 (neutral); ' and .
// lie past the three-entry table and are skipped. With `swapped` rules AA and
// S trade places in recognition (B, having no rule, drops out), so the class
// is seen to come from the recognition pronunciation, not the master one.
TEST_F(MWL1Test, GenderClassesOfTheFirstThreeRecognitionPhonemes)
{
    const struct {
        bool swapped;
        Pron master;
        int32_t gender;
    } cases[] = {
        {false, {0}, 0},       {false, {1}, 1},       {false, {2}, 2},          {false, {2, 0}, 0},
        {false, {2, 1, 2}, 1}, {false, {0, 1}, 255},  {false, {3, 4}, 2},       {false, {3, 0, 4}, 0},
        {false, {0, 3, 1}, 255},
        {true, {1}, 2},        {true, {2}, 1},        {true, {0, 1}, 2},        {true, {2, 1, 0}, 1},
        {true, {1, 3, 4}, 2},
    };
    word_lists::Options o;
    o.genders = {0, 1, 2};
    word_lists::Fields identity = word_lists::build(fixtureWords(), o);
    word_lists::Fields swapped = identity;
    swapped.rules = search_tables::phoneRewrite({{{1}, {2}}, {{2}, {1}}, {{3}, {3}}, {{4}, {4}}}, 5);
    MWL* lists[2] = {load(identity), load(swapped)};
    ASSERT_NE(lists[0], nullptr);
    ASSERT_NE(lists[1], nullptr);
    for (const auto& c : cases) {
        const Pron p = closed(c.master);
        EXPECT_EQ(MWL_IsMasterPronunciationLegal(lists[c.swapped ? 1 : 0], p.data()), c.gender)
            << (c.swapped ? "swapped " : "identity ") << ::testing::PrintToString(c.master);
    }
    // A stored word, by its recognition pronunciation: RSVP is S S AA AA.
    EXPECT_EQ(MWL_GetGender(lists[0], 5, 0), 1);
    EXPECT_EQ(MWL_GetGender(lists[1], 5, 0), 1);
    EXPECT_EQ(MWL_GetGender(lists[0], 2, 0), 255);   // B AA S '
    EXPECT_EQ(MWL_GetGender(lists[1], 2, 0), 1);     // (B) S AA '
}

// A word added under a known spelling takes the stored pronunciation its
// given one is a variant of (the two sound alike: the rules drop the stress
// mark ' and B), when parameter word 710 asks for it.
TEST_F(MWL1Test, KnownWordsTakeTheStoredPronOfAVariantWhenAskedTo)
{
    const Pron stored = {0, 1, 2, 3, 4};   // "river"
    const struct {
        uint32_t knownWordProns;
        const char16_t* surface;
        std::vector<Pron> given;
        std::vector<Pron> kept;
    } cases[] = {
        {1, u"river", {{1, 2, 4}}, {stored}},
        {1, u"river", {{1, 2, 4}, {4, 2, 1}}, {stored, {4, 2, 1}}},
        {1, u"river", {{1, 2, 3, 3, 4}}, {stored}},
        {1, u"river", {stored}, {stored}},
        {1, u"river", {{1, 4}}, {{1, 4}}},             // not alike
        {1, u"rivers", {{1, 2, 4}}, {{1, 2, 4}}},      // no stored word
        {0, u"river", {{1, 2, 4}}, {{1, 2, 4}}},
    };
    word_lists::Fields f = word_lists::build(fixtureWords());
    f.rules = search_tables::phoneRewrite({{{1}, {1}}, {{2}, {2}}, {{4}, {4}}}, 5);
    for (const auto& c : cases) {
        ParamBlockBuilder b;
        b.word(kBrevitParamExpansionPool, 40)
            .word(kBrevitParamMasterPhonemeSlots, 4)
            .word(kBrevitParamRecogPhonemeSlots, 4)
            .word(kBrevitParamKeepPronunciations, 1)
            .word(kBrevitParamCompressedStore, kMWLStorePlain)
            .word(kBrevitParamKnownWordPronunciations, c.knownWordProns);
        m_params.reset();
        m_params = std::make_unique<ScopedParamBlock>(b);
        MWL* l = load(f);
        ASSERT_NE(l, nullptr);
        std::vector<Pron> given;
        std::vector<const uint16_t*> pointers;
        for (const Pron& p : c.given)
            given.push_back(closed(p));
        for (const Pron& p : given)
            pointers.push_back(p.data());
        uint32_t id = kMWLNoWord;
        ASSERT_EQ(MWL_AddWordWithPronunciations(l, u16(c.surface), u16(u"river"), static_cast<int32_t>(given.size()),
                                                pointers.data(), 0, 1, &id),
                  kMWLAddDone);
        EXPECT_EQ(masters(l, id), c.kept) << c.knownWordProns << " " << ::testing::PrintToString(c.given);
        // The caller's pronunciations are left as they were.
        for (size_t k = 0; k < given.size(); ++k)
            EXPECT_EQ(given[k], closed(c.given[k]));
    }
}

} // namespace
