#include "core/brevit/lexicon/mwl_dynamic.h"
#include "tests/brevit/lexicon/word_store_test.h"
#include "tests/support/pron_generator_writer.h"

#include <string>
#include <vector>

namespace {

constexpr uint16_t kEnd = kMWLPronEnd;
constexpr uint16_t kNone = kMWLDynamicNoPhoneme;

using WordStore = WordStoreTest;

// ---- added phonemes -----------------------------------------------------------------

TEST_F(WordStore, PhonemesAreAddedRemovedAndReusedInThePool)
{
    MWLDynamic* s = create();
    EXPECT_EQ(MWLDynamic_GetFreeRecogPhonemeId(s), 41);
    EXPECT_EQ(MWLDynamic_GetFreeRecogPhonemeId(s), 42);
    EXPECT_EQ(addPhoneme(s, {41, 42}), 51);
    EXPECT_EQ(addPhoneme(s, {7}), 52);
    EXPECT_EQ(addPhoneme(s, {8, 9, 10}), 53);
    EXPECT_EQ(addPhoneme(s, {}), kNone) << "no free slot";
    EXPECT_EQ(pool(s), (Pron{41, 42, kEnd, 7, kEnd, 8, 9, 10, kEnd}));
    EXPECT_EQ(offsets(s), (std::vector<uint32_t>{0, 3, 5, 9}));

    const uint32_t w51 = add(s, u"one", {{51}});
    const uint32_t w52 = add(s, u"two", {{52}});
    const uint32_t w53 = add(s, u"three", {{53}});
    int32_t freed = -1;
    ASSERT_EQ(MWLDynamic_RemoveWord(s, w52, &freed), 1);
    EXPECT_EQ(freed, 0);
    EXPECT_EQ(pool(s), (Pron{41, 42, kEnd, 8, 9, 10, kEnd}));
    EXPECT_EQ(offsets(s), (std::vector<uint32_t>{0, 3, 3, 7}));
    EXPECT_EQ(MWLDynamic_GetHighestMasterSlot(s), 3);

    EXPECT_EQ(addPhoneme(s, {11, 12}), 52) << "the freed slot, in place";
    EXPECT_EQ(pool(s), (Pron{41, 42, kEnd, 11, 12, kEnd, 8, 9, 10, kEnd}));
    EXPECT_EQ(offsets(s), (std::vector<uint32_t>{0, 3, 6, 10}));
    EXPECT_EQ(addPhoneme(s, {}), kNone);

    ASSERT_EQ(MWLDynamic_RemoveWord(s, w51, &freed), 1);
    EXPECT_EQ(freed, 1) << "41 and 42 were used by this word alone";
    EXPECT_EQ(s->recogCounts[0], kMWLDynamicFree);
    EXPECT_EQ(s->recogCounts[1], kMWLDynamicFree);
    EXPECT_EQ(offsets(s), (std::vector<uint32_t>{0, 0, 3, 7}));

    ASSERT_EQ(MWLDynamic_RemoveWord(s, w53, &freed), 1);
    EXPECT_EQ(MWLDynamic_GetHighestMasterSlot(s), 2);
    EXPECT_EQ(offsets(s), (std::vector<uint32_t>{0, 0, 3}));
    EXPECT_EQ(s->slotOffsets[4], 3u);
    EXPECT_EQ(s->poolUsed, 3u);
    EXPECT_EQ(pool(s), (Pron{11, 12, kEnd}));
}

TEST_F(WordStore, ExpansionsThatUseCountingCannotIndexAreRefused)
{
    MWLDynamic* s = create();
    const uint32_t crc = MWLDynamic_ComputeCRC(s);
    const Pron notEnded = {41, 42};
    const Pron endedEarly = {41, kEnd, 42, kEnd};
    EXPECT_EQ(addPhoneme(s, {41, 45}), kNone) << "45 is past the 4 recognition phonemes";
    EXPECT_EQ(MWLDynamic_AddMasterPhoneme(s, 0, notEnded.data()), kNone);
    EXPECT_EQ(MWLDynamic_AddMasterPhoneme(s, 2, notEnded.data()), kNone);
    EXPECT_EQ(MWLDynamic_AddMasterPhoneme(s, 4, endedEarly.data()), kNone);
    EXPECT_EQ(addPhoneme(s, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}), kNone) << "11 entries in a pool of 10";
    EXPECT_EQ(MWLDynamic_ComputeCRC(s), crc);
    EXPECT_EQ(addPhoneme(s, {41, 44}), 51);
}

TEST_F(WordStore, UseCountsSaturateAndThenNeverFree)
{
    MWLDynamic* s = create();
    ASSERT_EQ(MWLDynamic_GetFreeRecogPhonemeId(s), 41);
    ASSERT_EQ(addPhoneme(s, {41}), 51);
    const std::vector<Pron> many(200, Pron{51});
    const uint32_t a = add(s, u"a", many);
    const uint32_t b = add(s, u"b", std::vector<Pron>(53, Pron{51}));
    EXPECT_EQ(s->slotCounts[0], 253);
    EXPECT_EQ(s->recogCounts[0], 253);
    const uint32_t c = add(s, u"c", {{51}});
    EXPECT_EQ(s->slotCounts[0], 254);
    EXPECT_EQ(s->recogCounts[0], 254);
    int32_t freed = -1;
    ASSERT_EQ(MWLDynamic_RemoveWord(s, c, &freed), 1);
    ASSERT_EQ(MWLDynamic_RemoveWord(s, a, &freed), 1);
    ASSERT_EQ(MWLDynamic_RemoveWord(s, b, &freed), 1);
    EXPECT_EQ(freed, 0);
    EXPECT_EQ(s->slotCounts[0], 254);
    EXPECT_EQ(s->recogCounts[0], 254);
    EXPECT_EQ(pool(s), (Pron{41, kEnd}));
}

TEST_F(WordStore, ARecognitionPhonemeTakenAfterItsUseIsNotFreedByTheRemoval)
{
    MWLDynamic* s = create();
    ASSERT_EQ(addPhoneme(s, {41}), 51) << "41 is still free";
    const uint32_t w = add(s, u"w", {{51}});
    EXPECT_EQ(MWLDynamic_GetFreeRecogPhonemeId(s), 41);
    int32_t freed = -1;
    ASSERT_EQ(MWLDynamic_RemoveWord(s, w, &freed), 1);
    EXPECT_EQ(freed, 0);
    EXPECT_EQ(s->recogCounts[0], 0) << "its holder took it after the add";
    EXPECT_EQ(MWLDynamic_GetFreeRecogPhonemeId(s), 42);
}

TEST_F(WordStore, LegalPronsNameAllocatedSlots)
{
    MWLDynamic* s = create();
    ASSERT_EQ(addPhoneme(s, {7}), 51);
    EXPECT_TRUE(MWLDynamic_IsPronunciationLegal(s, closed({5, 50}).data()));
    EXPECT_TRUE(MWLDynamic_IsPronunciationLegal(s, closed({51}).data()));
    EXPECT_FALSE(MWLDynamic_IsPronunciationLegal(s, closed({52}).data()));
    EXPECT_FALSE(MWLDynamic_IsPronunciationLegal(s, closed({54}).data()));
}

// ---- adding words ----------------------------------------------------------------------

TEST_F(WordStore, AddsPastTheLimitsAreRefusedAndChangeNothing)
{
    MWLDynamic* s = create();
    ASSERT_EQ(addPhoneme(s, {7}), 51);
    const uint32_t crc = MWLDynamic_ComputeCRC(s);
    struct Row {
        const char* what;
        std::vector<Pron> prons;
    };
    const Row rows[] = {
        {"no prons", {}},
        {"201 prons", std::vector<Pron>(201, Pron{5})},
        {"256 phonemes", {Pron(256, 5)}},
        {"an unallocated slot", {{5, 52}}},
        {"an id past static + highest slot", {{60}}},
        {"an id the encoded form cannot hold", {{40000}}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(add(s, u"word", row.prons), kMWLDynamicNoWord) << row.what;
        EXPECT_EQ(MWLDynamic_ComputeCRC(s), crc) << row.what;
    }
    EXPECT_EQ(add(s, u"word", std::vector<Pron>(200, Pron{5})), 100u);
    EXPECT_EQ(add(s, u"long", {Pron(255, 5)}), 101u);
    EXPECT_EQ(prons(s, 100).size(), 200u);
}

TEST_F(WordStore, AnAddedPhonemeAboveTheEncodedRangeCannotBeStored)
{
    MWLDynamic* s = create({.staticMaster = 32767});
    EXPECT_EQ(addPhoneme(s, {7}), 32768);
    const uint32_t crc = MWLDynamic_ComputeCRC(s);
    EXPECT_EQ(add(s, u"word", {{32768}}), kMWLDynamicNoWord);
    EXPECT_EQ(MWLDynamic_ComputeCRC(s), crc);
}

TEST_F(WordStore, TheMarkerIsKeptOutOfAStoredPronAndPutBack)
{
    MWLDynamic* s = create({.staticMaster = 100, .marker = 99});
    const uint32_t w = add(s, u"word", {{5, 99, 7}});
    const MWLDynamicRecord r = mwlRecord(s, 0);
    EXPECT_EQ(mwlMarkerPosition(s, 0), 2);
    EXPECT_EQ(mwlPronEntryLength(s, r.pronOffset), 4u) << "count, length, 5, 7";
    EXPECT_EQ(prons(s, w, 4), (std::vector<Pron>{{5, 99, 7}}));
    EXPECT_EQ(prons(s, w, 3), std::vector<Pron>{}) << "no room for the marker";

    const uint32_t twice = add(s, u"twice", {{99, 5, 99}});
    EXPECT_EQ(mwlMarkerPosition(s, 1), kMWLNoMarker);
    EXPECT_EQ(prons(s, twice, 4), (std::vector<Pron>{{99, 5, 99}}));

    ASSERT_EQ(addPron(s, w, {8}), 1);
    EXPECT_EQ(mwlMarkerPosition(s, 0), kMWLNoMarker);
    EXPECT_EQ(prons(s, w), (std::vector<Pron>{{5, 99, 7}, {8}}));
    EXPECT_EQ(m_maxMaster, 3);
}

TEST_F(WordStore, APronTheGeneratorGivesAgainIsNotStored)
{
    useParams({.keep = 0});
    WrittenTable table([](BinFileWriter* w) { return pron_generator::write(w, pron_generator::toyModel()); },
                       kPGSubFileTag);
    PG* toy = PG_LoadFromBinFile(table.tar(), nullptr);
    ASSERT_NE(toy, nullptr);
    using namespace pron_generator;
    const Pron base = {B, kStress, AA, S, kSyllable};
    MWLDynamic* s = create({.generator = toy});
    const uint32_t generated = add(s, u"base", {base});
    const uint32_t other = add(s, u"base", {{5, 7}}, u"other");
    EXPECT_EQ(mwlRecord(s, 0).pronOffset, kMWLDynamicNoOffset);
    EXPECT_NE(mwlRecord(s, 1).pronOffset, kMWLDynamicNoOffset);
    EXPECT_EQ(prons(s, generated), std::vector<Pron>{base});
    EXPECT_EQ(prons(s, generated, 5), std::vector<Pron>{}) << "B ' AA S . and its end need 6";
    EXPECT_EQ(prons(s, other), (std::vector<Pron>{{5, 7}}));

    // An added pron comes after the generated one, which is stored now.
    ASSERT_EQ(addPron(s, generated, {8}), 1);
    EXPECT_NE(mwlRecord(s, 0).pronOffset, kMWLDynamicNoOffset);
    EXPECT_EQ(prons(s, generated), (std::vector<Pron>{base, {8}}));
    destroy(s);
    PG_Delete(toy);
}

TEST_F(WordStore, DeferredPronsAreNotStored)
{
    useParams({.keep = 0});
    GeneratorLog log;
    log.answer = {9, 9};
    FakeGenerator g = fakeGenerator(&log);
    MWLDynamic* s = create({.generator = &g.base});
    const uint32_t w = add(s, u"w", {{5}, {6}}, nullptr, 3, 1);
    EXPECT_EQ(mwlRecord(s, 0).pronOffset, kMWLDynamicNoOffset);
    EXPECT_EQ(prons(s, w), (std::vector<Pron>{{9, 9}}));
    EXPECT_EQ(log.classes.back(), 3) << "the word's type goes to the generator";
}

TEST_F(WordStore, OnlyStoredPronsCountUses)
{
    // A pron that is not stored is never released: counting it would keep
    // its phonemes for ever.
    useParams({.keep = 0});
    GeneratorLog log;
    log.answer = {9};
    FakeGenerator g = fakeGenerator(&log);
    MWLDynamic* s = create({.generator = &g.base});
    ASSERT_EQ(addPhoneme(s, {7}), 51);
    const uint32_t deferred = add(s, u"deferred", {{51}}, nullptr, 0, 1);
    EXPECT_EQ(s->slotCounts[0], 0);
    const uint32_t stored = add(s, u"stored", {{51}});
    EXPECT_EQ(s->slotCounts[0], 1);
    int32_t freed = 0;
    ASSERT_EQ(MWLDynamic_RemoveWord(s, deferred, &freed), 1);
    EXPECT_EQ(s->slotCounts[0], 1);
    ASSERT_EQ(MWLDynamic_RemoveWord(s, stored, &freed), 1);
    EXPECT_EQ(MWLDynamic_GetHighestMasterSlot(s), 0);
    EXPECT_EQ(s->poolUsed, 0u);
}

TEST_F(WordStore, TheGeneratorReadsEachTextAsWritten)
{
    struct Row {
        const char* what;
        int32_t encoding;
        const char* language;
        std::u16string surface;
        const char16_t* spoken;
        std::u16string expected;
    };
    const Row rows[] = {
        {"compact Cyrillic surface", 3, "ruru", u"дом", nullptr, u"дом"},
        {"its capital restored", 3, "ruru", u"Дом", nullptr, u"Дом"},
        {"exact spelling", 3, "enus", u"McDonald", nullptr, u"McDonald"},
        {"compact Hiragana spoken", 3, "jajp", u"愛", u"あい", u"あい"},
        {"compact Latin-1 surface", 4, "enus", u"zoë", nullptr, u"zoë"},
        {"8-bit spoken", 1, "ruru", u"дом", u"zoë", u"zoë"},
    };
    useParams({.keep = 0});
    for (const Row& row : rows) {
        GeneratorLog log;
        log.answer = {5, 7};
        FakeGenerator g = fakeGenerator(&log);
        MWLDynamic* s = create({.exactText = std::string(row.language) != "jajp",
                                .encoding = row.encoding,
                                .language = row.language,
                                .generator = &g.base});
        const uint32_t w = add(s, row.surface, {{5, 7}}, row.spoken);
        ASSERT_NE(w, kMWLDynamicNoWord) << row.what;
        EXPECT_EQ(mwlRecord(s, 0).pronOffset, kMWLDynamicNoOffset) << row.what;
        EXPECT_EQ(prons(s, w), (std::vector<Pron>{{5, 7}})) << row.what;
        ASSERT_EQ(log.texts.size(), 2u) << row.what;
        EXPECT_EQ(log.texts[0], row.expected) << row.what;
        EXPECT_EQ(log.texts[1], row.expected) << row.what;
        destroy(s);
    }
}

// ---- ids --------------------------------------------------------------------------------

TEST_F(WordStore, IdsPastTheLastUsableOneReuseGapsAndThenRunOut)
{
    MWLDynamic* s = create({.firstId = 0xFFFFF8});
    EXPECT_EQ(add(s, u"a", {{5}}), 0xFFFFF8u);
    EXPECT_EQ(add(s, u"b", {{5}}), 0xFFFFF9u);
    EXPECT_EQ(add(s, u"c", {{5}}), 0xFFFFFAu);
    int32_t freed = 0;
    ASSERT_EQ(MWLDynamic_RemoveWord(s, 0xFFFFF9, &freed), 1);
    EXPECT_EQ(add(s, u"d", {{5}}), 0xFFFFF9u);
    const uint32_t crc = MWLDynamic_ComputeCRC(s);
    EXPECT_EQ(add(s, u"e", {{5}}), kMWLDynamicNoWord);
    EXPECT_EQ(MWLDynamic_ComputeCRC(s), crc);
    EXPECT_EQ(MWLDynamic_GetId(s, units(u"d"), nullptr), 0xFFFFF9u);
}

TEST_F(WordStore, IdsWalkStaticRecordsAndRunTimeWords)
{
    MWLDynamic* s = create();
    ASSERT_EQ(addPron(s, 40, {8}, 1), 1);
    ASSERT_EQ(add(s, u"a", {{5}}), 100u);
    ASSERT_EQ(add(s, u"b", {{5}}), 101u);
    EXPECT_EQ(MWLDynamic_GetNextMasterId(s, kMWLDynamicNoWord), 100u);
    EXPECT_EQ(MWLDynamic_GetNextMasterId(s, 99), 100u);
    EXPECT_EQ(MWLDynamic_GetNextMasterId(s, 40), 100u);
    EXPECT_EQ(MWLDynamic_GetNextMasterId(s, 100), 101u);
    EXPECT_EQ(MWLDynamic_GetNextMasterId(s, 101), kMWLDynamicNoWord);
    EXPECT_EQ(MWLDynamic_GetNextMasterId(s, 30), 40u) << "the first record above an id without one";
    uint32_t cursor = 0;
    EXPECT_EQ(MWLDynamic_GetNextDynamicId(s, &cursor), 100u);
    EXPECT_EQ(MWLDynamic_GetNextDynamicId(s, &cursor), 101u);
    EXPECT_EQ(MWLDynamic_GetNextDynamicId(s, &cursor), kMWLDynamicNoWord);
    EXPECT_TRUE(MWLDynamic_IsWordIdInUse(s, 40));
    EXPECT_TRUE(MWLDynamic_IsWordIdInUse(s, 101));
    EXPECT_FALSE(MWLDynamic_IsWordIdInUse(s, 102));
    EXPECT_EQ(prons(s, 40), std::vector<Pron>{{8}});

    const uint32_t crc = MWLDynamic_ComputeCRC(s);
    int32_t freed = 0;
    EXPECT_EQ(addPron(s, 105, {8}), 0) << "a run-time id without its word";
    EXPECT_EQ(MWLDynamic_RemoveWord(s, 105, &freed), 0);
    EXPECT_EQ(MWLDynamic_RemoveWord(s, 40, &freed), 0) << "a static word";
    EXPECT_EQ(MWLDynamic_RemovePronunciation(s, 105, 0, 0, &freed), 0);
    EXPECT_EQ(MWLDynamic_RemovePronunciation(s, 40, 0, 1, &freed), 0) << "its static pron";
    EXPECT_EQ(MWLDynamic_RemovePronunciation(s, 40, 2, 1, &freed), 0) << "past its one added pron";
    EXPECT_EQ(MWLDynamic_RemovePronunciation(s, 101, 1, 0, &freed), 0);
    EXPECT_EQ(MWLDynamic_ComputeCRC(s), crc);

    EXPECT_EQ(MWLDynamic_RemovePronunciation(s, 40, 1, 1, &freed), 1);
    EXPECT_FALSE(MWLDynamic_IsWordIdInUse(s, 40));
    EXPECT_EQ(MWLDynamic_RemovePronunciation(s, 101, 0, 0, &freed), 1);
    EXPECT_EQ(MWLDynamic_GetId(s, units(u"b"), nullptr), kMWLDynamicNoWord);
    EXPECT_EQ(s->highestId, 100);
    EXPECT_EQ(add(s, u"c", {{5}}), 101u);
}

TEST_F(WordStore, OnePronOfSeveralIsRemoved)
{
    MWLDynamic* s = create();
    ASSERT_EQ(addPhoneme(s, {7}), 51);
    const uint32_t a = add(s, u"a", {{5}, {51}, {6, 6}});
    const uint32_t b = add(s, u"b", {{9}});
    int32_t freed = 0;
    ASSERT_EQ(MWLDynamic_RemovePronunciation(s, a, 1, 0, &freed), 1);
    EXPECT_EQ(prons(s, a), (std::vector<Pron>{{5}, {6, 6}}));
    EXPECT_EQ(prons(s, b), (std::vector<Pron>{{9}}));
    EXPECT_EQ(MWLDynamic_GetHighestMasterSlot(s), 0) << "51 lost its only use";
    ASSERT_EQ(addPron(s, 30, {5}, 2), 1);
    EXPECT_EQ(prons(s, b), (std::vector<Pron>{{9}}));
    EXPECT_EQ(s->maxima.pronsOfWord, 3);
}

TEST_F(WordStore, PronsAddedToAWordStopAt200)
{
    MWLDynamic* s = create();
    const uint32_t w = add(s, u"w", std::vector<Pron>(190, Pron{5}));
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(addPron(s, w, {6}), 1);
    const uint32_t crc = MWLDynamic_ComputeCRC(s);
    EXPECT_EQ(addPron(s, w, {6}), 0);
    EXPECT_EQ(addPron(s, 7, {6}, 200), 0) << "a static word with 200 prons";
    EXPECT_EQ(MWLDynamic_ComputeCRC(s), crc);
    EXPECT_EQ(prons(s, w).size(), 200u);
    EXPECT_EQ(addPron(s, 7, {6}, 199), 1);
    EXPECT_EQ(s->maxima.pronsOfWord, 200);
}

TEST_F(WordStore, RecordIndicesPastTheTextOrderLimitAreRefused)
{
    useParams({.records = 65536});
    MWLDynamic* s = create({.firstId = 0});
    // Four letters, most significant first: every add goes to the end.
    auto text = [](uint32_t i) {
        std::u16string t(4, u'a');
        for (int k = 3; k >= 0; --k, i /= 26)
            t[static_cast<size_t>(k)] = static_cast<char16_t>(u'a' + i % 26);
        return t;
    };
    for (uint32_t i = 0; i < kMWLDynamicMostRecords; ++i)
        ASSERT_EQ(add(s, text(i), {{5}}), i);
    const uint32_t crc = MWLDynamic_ComputeCRC(s);
    EXPECT_EQ(add(s, u"more", {{5}}), kMWLDynamicNoWord);
    EXPECT_EQ(addPron(s, 70000, {5}), 0) << "a record for a static word counts too";
    EXPECT_EQ(MWLDynamic_ComputeCRC(s), crc);
    EXPECT_EQ(MWLDynamic_GetId(s, units(text(65535)), nullptr), 65535u);
    EXPECT_EQ(MWLDynamic_GetId(s, units(text(1234)), nullptr), 1234u);
}

// ---- recency ------------------------------------------------------------------------------

TEST_F(WordStore, TheLeastRecentlyUsedWordsComeOldestFirst)
{
    MWLDynamic* s = create();
    for (uint32_t id = 100; id <= 104; ++id)
        ASSERT_EQ(add(s, std::u16string(1, static_cast<char16_t>(u'a' + id - 100)), {{5}}, nullptr,
                      id == 101 || id == 104 ? 1 : 0),
                  id);
    const uint32_t first[] = {102};
    const uint32_t second[] = {100, 104};
    MWLDynamic_MarkUsed(s, 1, first);
    MWLDynamic_MarkUsed(s, 2, second);
    struct Row {
        int32_t filter;
        int32_t size;
        std::vector<uint32_t> expected;
    };
    const Row rows[] = {{1, 2, {103, 102}}, {3, 3, {101, 103, 102}}, {2, 5, {101, 104}}, {3, 0, {}}};
    for (const Row& row : rows) {
        std::vector<uint32_t> ids(8, 0);
        const int32_t n = MWLDynamic_GetLeastRecentlyUnused(s, row.filter, row.size, ids.data());
        ids.resize(static_cast<size_t>(n));
        EXPECT_EQ(ids, row.expected) << "filter " << row.filter << " size " << row.size;
    }
    EXPECT_EQ(MWLDynamic_GetWordTypeFlags(s, 101), 2);
    EXPECT_EQ(MWLDynamic_GetWordTypeFlags(s, 100), 1);
}

TEST_F(WordStore, TheClockHalvesTheMarksWhenItWraps)
{
    MWLDynamic* s = create();
    for (char16_t c : std::u16string(u"abc"))
        add(s, std::u16string(1, c), {{5}});
    const uint32_t a[] = {100};
    const uint32_t b[] = {101};
    const uint32_t c[] = {102};
    auto marks = [&] {
        return std::vector<int>{mwlAt<uint8_t>(s->recency, 0), mwlAt<uint8_t>(s->recency, 1),
                                mwlAt<uint8_t>(s->recency, 2)};
    };
    MWLDynamic_MarkUsed(s, 1, a);
    for (int i = 0; i < 253; ++i)
        MWLDynamic_MarkUsed(s, 0, nullptr);
    MWLDynamic_MarkUsed(s, 1, b);
    EXPECT_EQ(s->clock, 255u);
    EXPECT_EQ(marks(), (std::vector<int>{1, 255, 0}));
    MWLDynamic_MarkUsed(s, 1, c);
    EXPECT_EQ(marks(), (std::vector<int>{1, 128, 129}));
    EXPECT_EQ(s->clock, 129u);
    MWLDynamic_MarkUsed(s, 0, nullptr);
    EXPECT_EQ(s->clock, 130u);
}

// ---- creation -------------------------------------------------------------------------------

TEST_F(WordStore, ThePhonemeStoreIsSizedByTheSourcesPhonemes)
{
    MWLDynamic* source = create();
    for (uint16_t r : {7, 8, 9})
        addPhoneme(source, {r, r});
    struct Row {
        int32_t staticMaster;
        uint32_t records;
        uint32_t texts;
        uint32_t prons;
    };
    for (const Row& row : {Row{50, 1, 1, 1}, Row{297, 2, 4, 3}}) {
        int32_t n = 0;
        MWLDynamic* s = MWLDynamic_CreatePhonemeMWL(100, 1, 40, row.staticMaster, nullptr, 1, 3, "enus", nullptr,
                                                    kNone, 7, source, &n);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(n, row.staticMaster + 3);
        EXPECT_EQ(s->slotCount, n + 1);
        EXPECT_EQ(s->recogCount, 4);
        EXPECT_EQ(s->records.capacity, row.records);
        EXPECT_EQ(s->texts.capacity, row.texts);
        EXPECT_EQ(s->prons.capacity, row.prons);
        EXPECT_EQ(s->keepProns, 1u);
        EXPECT_EQ(s->poolCapacity, 9u);
        EXPECT_EQ(s->poolUsed, 0u);
        EXPECT_EQ(Pron(s->pool, s->pool + 9), pool(source));
        EXPECT_EQ(std::vector<uint32_t>(s->slotOffsets, s->slotOffsets + n + 3), std::vector<uint32_t>(n + 3, 0));
        EXPECT_EQ(s->highestSlot, 0);
        MWLDynamic_Delete(s);
    }
}

TEST_F(WordStore, SizesThatDoNotFitTheStoredFormAreRefused)
{
    useParams({.pool = 65536});
    EXPECT_EQ(MWLDynamic_Create(100, 1, 40, 50, nullptr, 1, 3, "enus", nullptr, kNone, 7), nullptr);
    useParams({.slots = 65536});
    EXPECT_EQ(MWLDynamic_Create(100, 1, 40, 50, nullptr, 1, 3, "enus", nullptr, kNone, 7), nullptr);
    useParams({.pool = 65535, .slots = 65535});
    MWLDynamic* s = create();
    EXPECT_EQ(s->poolCapacity, 65535u);
}

TEST_F(WordStore, EveryAllocationFailingInTheConstructorsLeavesNothing)
{
    MWLDynamic* source = create();
    addPhoneme(source, {7});
    for (int constructor = 0; constructor < 2; ++constructor)
        for (uint64_t n = 1;; ++n) {
            const size_t live = m_allocator.liveBlocks();
            const uint64_t failures = m_allocator.failures();
            m_allocator.failAt(m_allocator.calls() + n);
            int32_t count = 0;
            MWLDynamic* s = constructor == 0
                                ? MWLDynamic_Create(100, 1, 40, 50, nullptr, 1, 3, "enus", nullptr, kNone, 7)
                                : MWLDynamic_CreatePhonemeMWL(100, 1, 40, 50, nullptr, 1, 3, "enus", nullptr,
                                                              kNone, 7, source, &count);
            m_allocator.failAt(0);
            if (m_allocator.failures() == failures) {
                EXPECT_NE(s, nullptr);
                MWLDynamic_Delete(s);
                break;
            }
            EXPECT_EQ(s, nullptr) << "constructor " << constructor << " allocation " << n;
            EXPECT_EQ(m_allocator.liveBlocks(), live) << "constructor " << constructor << " allocation " << n;
        }
}

TEST_F(WordStore, EveryAllocationFailingInAnAddChangesNothing)
{
    // 256 words fill the first chunk of every per-record array: the next
    // record needs new chunks everywhere.
    for (int kind = 0; kind < 2; ++kind) {
        MWLDynamic* s = create({.marker = 99});
        ASSERT_EQ(addPhoneme(s, {7}), 51);
        for (int i = 0; i < 256; ++i)
            ASSERT_NE(add(s, u"w" + std::u16string{static_cast<char16_t>(u'a' + i / 26), static_cast<char16_t>(u'a' + i % 26)},
                          {{5, 6, 7}}),
                      kMWLDynamicNoWord);
        for (uint64_t n = 1;; ++n) {
            const size_t live = m_allocator.liveBlocks();
            const uint32_t crc = MWLDynamic_ComputeCRC(s);
            const uint64_t failures = m_allocator.failures();
            m_allocator.failAt(m_allocator.calls() + n);
            const bool done = kind == 0 ? add(s, u"McNew", {{51, 51}}, u"spoken") != kMWLDynamicNoWord
                                        : addPron(s, 40, {51}, 1) == 1;
            m_allocator.failAt(0);
            if (m_allocator.failures() == failures) {
                EXPECT_TRUE(done);
                EXPECT_GT(n, 1u) << "the add allocated nothing";
                break;
            }
            EXPECT_FALSE(done) << "kind " << kind << " allocation " << n;
            EXPECT_EQ(MWLDynamic_ComputeCRC(s), crc) << "kind " << kind << " allocation " << n;
            EXPECT_EQ(m_allocator.liveBlocks(), live);
        }
        EXPECT_EQ(s->slotCounts[0], kind == 0 ? 2 : 1);
        destroy(s);
    }
}

} // namespace
