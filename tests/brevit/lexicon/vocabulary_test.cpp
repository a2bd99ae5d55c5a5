// The vocabulary over the fixture: ids, text, adds, activation and
// removals, n-gram scores and loading.
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "tests/brevit/lexicon/active_word_list_fixture.h"
#include "tests/brevit/lexicon/vocabulary_test_base.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr VocId kRiver = 0xC0000002u;
constexpr VocId kZed = 0xC0000003u;

TEST_F(VocabularyTest, IdConversionsFollowTheKindBits)
{
    Voc* voc = fixture().voc();
    ASSERT_NE(voc, nullptr);
    EXPECT_EQ(Voc_ActiveIdToVocId(voc, 2), 0x80000002u);
    EXPECT_EQ(Voc_ActiveIdToVocId(voc, 65534), kVocSilence);
    EXPECT_EQ(Voc_ActiveIdToVocId(voc, 65531), kVocStartDocument);
    EXPECT_EQ(Voc_ActiveIdToVocId(voc, 65535), kVocNoId);
    EXPECT_EQ(Voc_ActiveIdToVocId(voc, 70000), kVocNoId);
    EXPECT_EQ(Voc_PronIdToVocId(voc, 65535), kVocNoId);
    EXPECT_EQ(Voc_PronIdToVocId(voc, 3), 0x40000003u);
    EXPECT_EQ(Voc_MasterIdToVocId(voc, 0xFFFFFF), kVocNoId);
    EXPECT_EQ(m_fixture->id(u"zed"), kZed);
    EXPECT_EQ(m_fixture->id(u"New York", u"new york"), 0xC0000001u);

    struct Row {
        VocId id;
        uint32_t master;
        int32_t active;
    };
    for (const Row& r : std::vector<Row>{{kVocSilence, 0xFFFFFE, 65534},
                                         {kVocNoId, 0xFFFFFF, 65535},
                                         {kVocSentenceStart, 0xFFFFFD, 65533},
                                         {kVocStartDocument, 0xFFFFFB, 65531},
                                         {kZed, 3, 65535},
                                         {kRiver, 2, 2},
                                         {0x40000003u, 2, 2},   // pron 3 is river's
                                         {0x4000FFFFu, 0xFFFFFF, 65535},
                                         {0x80000001u, 1, 1},
                                         {0x00000005u, 0xFFFFFF, 65535}}) {
        EXPECT_EQ(Voc_GetMasterId(voc, r.id), r.master) << std::hex << r.id;
        EXPECT_EQ(Voc_GetActiveId(voc, r.id), r.active) << std::hex << r.id;
    }
    EXPECT_TRUE(Voc_IsSameWord(voc, 0x40000003u, 0x80000002u));
    EXPECT_TRUE(Voc_IsSameWord(voc, 0x40000003u, kRiver));
    EXPECT_FALSE(Voc_IsSameWord(voc, 0x40000003u, 0x80000001u));
    EXPECT_EQ(Voc_GetNextId(voc, kRiver), kZed);
    EXPECT_EQ(Voc_GetNextId(voc, kZed), kVocNoId);
    EXPECT_EQ(Voc_GetNextId(voc, kVocNoId), 0xC0000000u);

    EXPECT_EQ(Voc_GetNthPronId(voc, kRiver, 0), 2);
    EXPECT_EQ(Voc_GetNthPronId(voc, kRiver, 1), 3);
    EXPECT_EQ(Voc_GetNthPronId(voc, kRiver, 2), 4);
    EXPECT_EQ(Voc_GetNthPronId(voc, kRiver, 3), 65535);
    EXPECT_EQ(Voc_GetNthPronId(voc, kVocSilence, 0), 65534);
    EXPECT_EQ(Voc_GetNthPronId(voc, kVocSilence, 1), 65535);
    EXPECT_EQ(Voc_GetNumProns(voc, kRiver), 3);
    EXPECT_EQ(Voc_GetNumProns(voc, kZed), 2);   // from the word list
    EXPECT_EQ(Voc_GetNumProns(voc, kVocNoId), 0);
    EXPECT_EQ(Voc_GetNumProns(voc, 0x40000004u), 1);
    EXPECT_EQ(Voc_GetFirstPronId(voc, kRiver), 2);
    EXPECT_EQ(Voc_GetFirstPronId(voc, kZed), 65535);
    EXPECT_EQ(Voc_GetFirstPronId(voc, 0x40000004u), 4);
    uint16_t prons[4] = {};
    EXPECT_EQ(Voc_GetPronIds(voc, kRiver, prons, 4), 3);
    EXPECT_EQ(prons[2], 4);
    EXPECT_EQ(Voc_GetPronIds(voc, kZed, prons, 4), 0);

    for (VocId special : {kVocNoId, kVocSilence, kVocSentenceStart, kVocSentenceEnd, kVocStartDocument})
        EXPECT_TRUE(Voc_IsWordIdInUse(voc, special));
    EXPECT_TRUE(Voc_IsWordIdInUse(voc, kZed));
    EXPECT_FALSE(Voc_IsWordIdInUse(voc, 0xC0000009u));
    EXPECT_TRUE(Voc_IsWordIdInUse(voc, 0x40000004u));
    EXPECT_FALSE(Voc_IsWordIdInUse(voc, 0x40000005u));
    EXPECT_FALSE(Voc_IsWordIdInUse(voc, 0x4000FFFEu));
    EXPECT_FALSE(Voc_IsWordIdInUse(voc, 0x00000001u));
    EXPECT_EQ(Voc_GetNumActiveEntries(voc), 4);   // P - 1
    EXPECT_EQ(Voc_GetMaxSurfaceFormLength(voc), 16);
}

TEST_F(VocabularyTest, RecognitionPronsComeFromTheWordListThroughTheCache)
{
    Voc* voc = fixture().voc();
    EXPECT_EQ(recogPron(voc, 0), "K AO L");
    EXPECT_EQ(recogPron(voc, 1), "N UW Y AO R K");
    EXPECT_EQ(recogPron(voc, 3), "R IY V ER");
    EXPECT_EQ(recogPron(voc, 4), "R IH V ER Z");
    uint16_t out[16];
    EXPECT_EQ(Voc_GetRecogPronunciation(voc, 5, out), -1);
    // The silence pron is one empty phoneme and the end.
    out[0] = out[1] = 0xEEEE;
    EXPECT_EQ(Voc_GetRecogPronunciation(voc, 65534, out), 1);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 0xFFFF);
    EXPECT_EQ(Voc_GetMasterPronunciation(voc, 4, out), 5);
    EXPECT_EQ(m_fixture->names(out), "R IH V ER Z");
}

TEST_F(VocabularyTest, WordNamesAndLongNameLookups)
{
    Voc* voc = fixture().voc();
    char text[64];
    ASSERT_TRUE(Voc_GetWordNameText(voc, 0x40000001u, 64, text, 1));
    EXPECT_STREQ(text, "New_York\\new_york");
    ASSERT_TRUE(Voc_GetWordNameText(voc, 0x40000004u, 64, text, 1));
    EXPECT_STREQ(text, "river(2)");
    ASSERT_TRUE(Voc_GetWordNameText(voc, 0x40000004u, 64, text, 0));
    EXPECT_STREQ(text, "river");
    ASSERT_TRUE(Voc_GetWordNameText(voc, 0x40000002u, 64, text, 1));
    EXPECT_STREQ(text, "river");
    EXPECT_FALSE(Voc_GetWordNameText(voc, 0x40000004u, 6, text, 1));   // "river(2)" does not fit
    ASSERT_TRUE(Voc_GetPronWordNameText(voc, 65534, 64, text, 1));
    EXPECT_STREQ(text, "SILENCE");
    ASSERT_TRUE(Voc_GetPronWordNameText(voc, 0, 64, text, 1));
    EXPECT_STREQ(text, "call");

    struct Row {
        const char16_t* name;
        VocId id;
    };
    for (const Row& r : std::vector<Row>{{u"<s>", kVocSentenceStart},
                                         {u"<e>", kVocSentenceEnd},
                                         {u"<START_DOCUMENT>", kVocStartDocument},
                                         {u"New_York\\new_york", 0xC0000001u},
                                         {u"New_York", kVocNoId},
                                         {u"river", kRiver},
                                         {u"a\\b\\c", kVocNoId},
                                         {u"a b", kVocNoId},
                                         {u"", kVocNoId}})
        EXPECT_EQ(Voc_LookupIdFromOrthography(voc, u16(r.name)), r.id);
    EXPECT_EQ(Voc_LookupMasterIdFromOrthography(voc, u16(u"   "), nullptr), kVocNoId);
    EXPECT_EQ(Voc_LookupActiveIdFromOrthography(voc, u16(u"river"), nullptr), 2);
    EXPECT_EQ(Voc_LookupActiveIdFromOrthography(voc, u16(u"zed"), nullptr), 65535);
}

TEST_F(VocabularyTest, OrthographyOfSpecialAndUnusedIds)
{
    Voc* voc = fixture().voc();
    struct Row {
        VocId id;
        std::u16string surface;
        std::u16string spoken;
    };
    for (const Row& r : std::vector<Row>{{kVocSilence, u"<SILENCE>", u""},
                                         {0x8000FFFEu, u"<SILENCE>", u""},
                                         {kVocSentenceStart, u"<s>", u""},
                                         {kVocSentenceEnd, u"<e>", u""},
                                         {kVocStartDocument, u"<START_DOCUMENT>", u""},
                                         {kVocNoId, u"<NOID>", u""},
                                         {0x4000FFFEu, u"<NOID>", u""},
                                         {0xC0000009u, u"<NOID>", u""},
                                         {0x00000002u, u"<NOID>", u""},
                                         {0x40000001u, u"New York", u"new york"},
                                         {kZed, u"zed", u""}}) {
        std::u16string surface(20, u'#'), spoken(20, u'#');
        Voc_GetOrthography(voc, r.id, reinterpret_cast<uint16_t*>(surface.data()),
                           reinterpret_cast<uint16_t*>(spoken.data()));
        EXPECT_EQ(std::u16string(surface.c_str()), r.surface) << std::hex << r.id;
        EXPECT_EQ(std::u16string(spoken.c_str()), r.spoken) << std::hex << r.id;
    }
}

TEST_F(VocabularyTest, OffsetsMoveBetweenUtf16AndEncodedBytes)
{
    Voc* voc = fixture().voc();
    const char16_t* text = u"a\u00e9b";
    const char* encoded = "a\xC3\xA9" "b";
    struct Row {
        int32_t offset, length, byteOffset, byteLength;
    };
    for (const Row& r : std::vector<Row>{{1, 1, 1, 2}, {2, 1, 3, 1}, {0, 3, 0, 4}, {0, 0, 0, 0}}) {
        int32_t offset = r.offset, length = r.length;
        ASSERT_EQ(Voc_ConvertUnicodeOffsetsToEncodedOffsets(0, encoded, 3, u16(text), 1, &offset, &length), 1);
        EXPECT_EQ(offset, r.byteOffset);
        EXPECT_EQ(length, r.byteLength);
        ASSERT_EQ(Voc_ConvertVocInternalOffsetsToUnicode(voc, u16(text), encoded, 1, &offset, &length), 1);
        EXPECT_EQ(offset, r.offset);
        EXPECT_EQ(length, r.length);
    }
    int32_t offset = 1, length = 1;
    EXPECT_EQ(Voc_ConvertUnicodeOffsetsToEncodedOffsets(0, encoded, 2, u16(text), 1, &offset, &length), 1);
    EXPECT_EQ(offset, 1);
    EXPECT_EQ(length, 1);
    EXPECT_EQ(Voc_ConvertUnicodeOffsetsToEncodedOffsets(0, encoded, 3, u16(text), 0, &offset, &length), 1);
    EXPECT_EQ(Voc_ConvertUnicodeOffsetsToEncodedOffsets(0, encoded, 3, u16(u""), 1, &offset, &length), 0);
    EXPECT_EQ(Voc_ConvertUnicodeOffsetsToEncodedOffsets(0, encoded, 7, u16(text), 1, &offset, &length), 0);
    // Past the text, or a byte offset inside a character: refused.
    offset = 2, length = 2;
    EXPECT_EQ(Voc_ConvertUnicodeOffsetsToEncodedOffsets(0, encoded, 3, u16(text), 1, &offset, &length), 0);
    offset = 2, length = 1;
    EXPECT_EQ(Voc_ConvertVocInternalOffsetsToUnicode(voc, u16(text), encoded, 1, &offset, &length), 0);
}

TEST_F(VocabularyTest, AddWordCases)
{
    VocId id = 0;
    int32_t added = -1;
    {
        Voc* voc = fixture().voc();
        EXPECT_EQ(Voc_AddWord(voc, u16(u"   "), nullptr, nullptr, &id, &added), 1);
        EXPECT_EQ(id, kVocNoId);
        EXPECT_EQ(added, 0);
        EXPECT_EQ(Voc_AddWord(voc, u16(u"river"), nullptr, nullptr, &id, &added), 0);
        EXPECT_EQ(id, kRiver);
        EXPECT_EQ(added, 1);
        const std::vector<uint16_t> legal = m_fixture->pron("B AA S");
        EXPECT_EQ(Voc_AddWord(voc, u16(u"bass"), nullptr, legal.data(), &id, &added), 0);
        EXPECT_EQ(id, 0xC0000004u);
        EXPECT_EQ(added, 1);
        EXPECT_EQ(m_fixture->id(u"bass"), 0xC0000004u);
    }
    {
        Voc* voc = fixture().voc();
        const std::vector<uint16_t> illegal = {900, 0xFFFF};
        EXPECT_EQ(Voc_AddWord(voc, u16(u"bass"), nullptr, illegal.data(), &id, &added), 1);
        EXPECT_EQ(added, 0);
        // Without a generator a word without a pron cannot be added.
        EXPECT_EQ(Voc_AddWord(voc, u16(u"Bass"), u16(u"base"), nullptr, &id, &added), 1);
        EXPECT_EQ(m_fixture->id(u"Bass", u"base"), kVocNoId);
    }
    {
        VocabularyFixture::Options o;
        o.generator = true;
        Voc* voc = fixture(o).voc();
        ASSERT_NE(voc, nullptr);
        EXPECT_EQ(Voc_AddWord(voc, u16(u"Bass"), u16(u"base"), nullptr, &id, &added), 0);
        EXPECT_EQ(id, 0xC0000004u);
        EXPECT_EQ(added, 1);
        uint16_t pron[32];
        uint16_t* rows[] = {pron};
        ASSERT_EQ(Voc_GetMasterPronunciations(voc, id, 1, rows, nullptr), 1);
        EXPECT_EQ(m_fixture->names(pron), "B ' AA S .");
        // No spoken form and word 992 clear: nothing to generate from.
        EXPECT_EQ(Voc_AddWord(voc, u16(u"bee"), nullptr, nullptr, &id, &added), 1);
        m_fixture->params().words[kBrevitParamGeneratedPronunciations] = 2;
        EXPECT_EQ(Voc_AddWord(voc, u16(u"bee"), nullptr, nullptr, &id, &added), 1);
        EXPECT_EQ(added, 0);
    }
}

TEST_F(VocabularyTest, AddPronunciation)
{
    Voc* voc = fixture().voc();
    const uint32_t crc = AWL_ComputeCRC(voc->activeWords);
    const std::vector<uint16_t> pron = m_fixture->pron("Z EH T");
    // zed is not active: only the word list gets the pron.
    EXPECT_EQ(Voc_AddPronunciation(voc, kZed, pron.data()), 65535);
    EXPECT_EQ(Voc_GetNumProns(voc, kZed), 3);
    EXPECT_EQ(AWL_ComputeCRC(voc->activeWords), crc);
    EXPECT_EQ(Voc_AddPronunciation(voc, kRiver, pron.data()), 5);
    EXPECT_EQ(recogPron(voc, 5), "Z EH T");
    EXPECT_EQ(Voc_GetNumProns(voc, kRiver), 4);
    EXPECT_EQ(Voc_AddPronunciation(voc, 0xC0000009u, pron.data()), 65535);
    const std::vector<uint16_t> illegal = {900, 0xFFFF};
    EXPECT_EQ(Voc_AddPronunciation(voc, kRiver, illegal.data()), 65535);
}

TEST_F(VocabularyTest, AddPronunciationWithoutRunTimeRoomChangesNothing)
{
    VocabularyFixture::Options o;
    o.params = {{kBrevitParamRunTimeWordPages, 0}};
    Voc* voc = fixture(o).voc();
    ASSERT_NE(voc, nullptr);
    ASSERT_FALSE(AWL_HasDynamicPronRoom(voc->activeWords));
    const uint32_t crc = Voc_ComputeCRC(voc);
    EXPECT_EQ(Voc_AddPronunciation(voc, kRiver, m_fixture->pron("Z EH T").data()), 65535);
    EXPECT_EQ(Voc_ComputeCRC(voc), crc);
}

TEST_F(VocabularyTest, ActivationRegistersTheWordWithTheModelAndAddsItsProns)
{
    Voc* voc = fixture().voc();
    m_fixture->attach(m_model);
    EXPECT_EQ(Voc_ActivateMasterId(voc, 2), 2);   // already active
    EXPECT_EQ(Voc_ActivateMasterId(voc, 3), 3);
    EXPECT_EQ(Voc_GetNthPronId(voc, kZed, 0), 5);
    EXPECT_EQ(Voc_GetNthPronId(voc, kZed, 1), 6);
    EXPECT_EQ(recogPron(voc, 6), "Z IY");
    ASSERT_EQ(m_model.dynamicCalls.size(), 1u);
    EXPECT_TRUE(m_model.dynamicCalls[0].activate);
    EXPECT_EQ(m_model.dynamicCalls[0].a, MWL_GetUnigramScore(voc->wordList, 3));
    EXPECT_EQ(m_model.dynamicCalls[0].b, MWL_GetClassId(voc->wordList, 3));
    EXPECT_EQ(voc->languageModel->slotFlags[0], 1);
    EXPECT_EQ(Voc_GetNumActiveEntries(voc), 6);
    EXPECT_TRUE(Voc_IsRunTimePron(voc, 6));
    EXPECT_FALSE(Voc_IsRunTimePron(voc, 4));
}

TEST_F(VocabularyTest, ActivationRefusedByTheModelLeavesTheWordInactive)
{
    Voc* voc = fixture().voc();
    m_fixture->attach(m_model);
    m_model.refuseDynamic = true;
    // The list may keep pages it grew (its CRC covers them): compare answers.
    const ListSnapshot before = snapshotOf(voc->activeWords);
    const uint32_t listCRC = MWL_ComputeCRC(voc->wordList);
    EXPECT_EQ(Voc_ActivateMasterId(voc, 3), 65535);
    EXPECT_EQ(Voc_GetActiveId(voc, kZed), 65535);
    EXPECT_EQ(snapshotOf(voc->activeWords), before);
    EXPECT_EQ(MWL_ComputeCRC(voc->wordList), listCRC);
    EXPECT_EQ(voc->languageModel->slotFlags[0], 0);
}

TEST_F(VocabularyTest, ActivationWithEachAllocationFailingIsUndone)
{
    Voc* voc = fixture().voc();
    m_fixture->attach(m_model);
    const ListSnapshot before = snapshotOf(voc->activeWords);
    const uint32_t listCRC = MWL_ComputeCRC(voc->wordList);
    for (uint64_t n = 1;; ++n) {
        SCOPED_TRACE(n);
        const uint64_t failures = m_allocator.failures();
        m_allocator.failAt(m_allocator.calls() + n);
        int32_t active = 0;
        const int raised = DVKErr_Protect([&] { active = Voc_ActivateMasterId(voc, 3); });
        m_allocator.failAt(0);
        if (m_allocator.failures() == failures) {
            EXPECT_EQ(active, 3);
            break;
        }
        if (!raised) {
            EXPECT_EQ(active, 65535);
        }
        EXPECT_EQ(Voc_GetActiveId(voc, kZed), 65535);
        EXPECT_EQ(snapshotOf(voc->activeWords), before);
        EXPECT_EQ(MWL_ComputeCRC(voc->wordList), listCRC);
        EXPECT_EQ(voc->languageModel->slotFlags[0], 0);
    }
    // Whatever the list kept is its own: the fixture's end finds no block left.
}

TEST_F(VocabularyTest, RemovalsAfterActivation)
{
    Voc* voc = fixture().voc();
    m_fixture->attach(m_model);
    int32_t first = -1, count = -1;
    EXPECT_EQ(Voc_CreateDynamicIdFlags(voc, &first, &count), nullptr);
    ASSERT_EQ(Voc_ActivateMasterId(voc, 3), 3);

    // A stored pron of an activated stored word: the word list refuses it,
    // so neither list changes and pron 6 is still zed's second.
    const uint32_t listCRC = MWL_ComputeCRC(voc->wordList);
    const uint32_t activeCRC = AWL_ComputeCRC(voc->activeWords);
    int32_t freed = -1;
    EXPECT_EQ(Voc_RemovePronunciation(voc, 5, &freed), 0);
    EXPECT_EQ(freed, 0);
    EXPECT_EQ(MWL_ComputeCRC(voc->wordList), listCRC);
    EXPECT_EQ(AWL_ComputeCRC(voc->activeWords), activeCRC);
    EXPECT_EQ(Voc_GetNthPronId(voc, kZed, 1), 6);
    EXPECT_EQ(recogPron(voc, 6), "Z IY");
    EXPECT_EQ(Voc_RemovePronunciation(voc, 2, &freed), 0);   // a static pron

    uint8_t* flags = Voc_CreateDynamicIdFlags(voc, &first, &count);
    ASSERT_NE(flags, nullptr);
    EXPECT_EQ(first, 3);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(flags[0], 0);
    flags[0] = 0xFF;
    // Every id referenced: nothing removed and the first-pron cache is not rebuilt.
    uint16_t& cached = voc->activeWords->firstPronCache[0][0];
    const uint16_t kept = cached;
    cached = 0x1234;
    EXPECT_EQ(Voc_RemoveUnreferencedWords(voc, flags, first, count, 1, &freed), 0);
    EXPECT_EQ(cached, 0x1234);
    cached = kept;
    EXPECT_EQ(Voc_GetActiveId(voc, kZed), 3);
    flags[0] = 0;
    // zed is a stored word: deactivated, but the word list keeps it.
    EXPECT_EQ(Voc_RemoveUnreferencedWords(voc, flags, first, count, 1, &freed), 0);
    EXPECT_EQ(Voc_GetActiveId(voc, kZed), 65535);
    EXPECT_EQ(voc->languageModel->slotFlags[0], 0);
    DVKMem_Free(flags);
    EXPECT_EQ(Voc_RemoveInactiveWordIds(voc, &freed), 0);
}

TEST_F(VocabularyTest, RunTimeWordsAndPronsAreRemoved)
{
    Voc* voc = fixture().voc();
    VocId id = 0;
    int32_t added = 0;
    ASSERT_EQ(Voc_AddWord(voc, u16(u"bass"), nullptr, m_fixture->pron("B AA S").data(), &id, &added), 0);
    EXPECT_TRUE(Voc_IsWordRemovable(voc, id));
    EXPECT_FALSE(Voc_IsWordRemovable(voc, kRiver));
    EXPECT_FALSE(Voc_IsWordRemovable(voc, kVocNoId));
    const int32_t active = Voc_ActivateMasterId(voc, id & 0xFFFFFF);
    ASSERT_EQ(active, 3);
    ASSERT_EQ(Voc_AddPronunciation(voc, id, m_fixture->pron("B AA Z").data()), 6);
    int32_t freed = 0;
    // The run-time word keeps one pron.
    EXPECT_EQ(Voc_RemovePronunciation(voc, 6, &freed), 1);
    EXPECT_EQ(Voc_GetNumProns(voc, id), 1);
    EXPECT_EQ(Voc_RemovePronunciation(voc, 5, &freed), 0);
    EXPECT_EQ(Voc_GetNumProns(voc, id), 1);
    EXPECT_TRUE(Voc_IsWordRemovable(voc, id));
    EXPECT_EQ(Voc_RemoveWord(voc, id, &freed), 1);
    EXPECT_EQ(Voc_GetActiveId(voc, id), 65535);
    EXPECT_FALSE(Voc_IsWordIdInUse(voc, id));
    EXPECT_EQ(Voc_RemoveWord(voc, kRiver, &freed), 0);

    // An inactive run-time word goes with the inactive ones.
    ASSERT_EQ(Voc_AddWord(voc, u16(u"base"), nullptr, m_fixture->pron("B EY S").data(), &id, &added), 0);
    EXPECT_EQ(Voc_RemoveInactiveWordIds(voc, &freed), 0);
    EXPECT_EQ(m_fixture->id(u"base"), kVocNoId);
}

TEST_F(VocabularyTest, ScoresAreCappedByWord986)
{
    Voc* voc = fixture().voc();
    const uint16_t history[] = {0, 1};
    EXPECT_EQ(Voc_ScoreNGram(voc, history, 2, 2), 0);   // no model, cap 0
    m_fixture->params().words[kBrevitParamLmCostCap] = static_cast<uint32_t>(-5);
    EXPECT_EQ(Voc_ScoreNGram(voc, history, 2, 2), -5);
    EXPECT_EQ(Voc_ScoreNGram(voc, history, -3, 2), -5);
    m_fixture->params().words[kBrevitParamLmCostCap] = 500;
    m_fixture->attach(m_model);
    m_model.table[{0, 1, 2}] = 700;
    m_model.table[{1, 2}] = -20;
    EXPECT_EQ(Voc_ScoreNGram(voc, history, 2, 2), 500);
    EXPECT_EQ(Voc_ScoreNGram(voc, history + 1, 1, 2), -20);
    // Pron 4 is river's, pron 1 New York's.
    const uint16_t prons[] = {0, 1};
    EXPECT_EQ(Voc_ScorePronNGram(voc, prons, 2, 4), 500);
    const VocId words[] = {0x80000000u, 0x80000001u};
    EXPECT_EQ(Voc_ScoreVocNGram(voc, words, 2, kRiver), 500);
    m_model.clearCalls();
    voc->languageModel->sentenceStart = 77;
    const VocId start[] = {kVocSentenceStart};
    Voc_ScoreVocNGram(voc, start, 1, kRiver);
    ASSERT_EQ(m_model.scoreCalls.size(), 1u);
    EXPECT_EQ(m_model.scoreCalls[0].symbols.front(), 77);
}

TEST_F(VocabularyTest, LongPronHistoriesAreCutToTheLastSeven)
{
    Voc* voc = fixture().voc();
    m_fixture->attach(m_model);
    voc->languageModel->order = 8;
    const uint16_t prons[10] = {0, 0, 0, 1, 1, 2, 3, 4, 0, 1};
    Voc_ScorePronNGram(voc, prons, 10, 4);
    ASSERT_EQ(m_model.scoreCalls.size(), 1u);
    EXPECT_EQ(m_model.scoreCalls[0].symbols, (std::vector<uint16_t>{1, 1, 2, 2, 2, 0, 1, 2}));
}

TEST_F(VocabularyTest, NextWordScoresCapUnlessTheCapIsOff)
{
    Voc* voc = fixture().voc();
    m_fixture->attach(m_model);
    m_model.table[{0, 1}] = 700;
    m_model.table[{0, 2}] = -20;
    const uint16_t history[] = {0};
    const uint16_t candidates[] = {1, 2};
    int16_t scores[2] = {};
    m_fixture->params().words[kBrevitParamLmCostCap] = 500;
    Voc_ScoreNextWords(voc, 1, history, 2, candidates, -1, scores);
    EXPECT_EQ(scores[0], 500);
    EXPECT_EQ(scores[1], -20);
    m_fixture->params().words[kBrevitParamLmCostCap] = 32767;
    Voc_ScoreNextWords(voc, 1, history, 2, candidates, -1, scores);
    EXPECT_EQ(scores[0], 700);
    EXPECT_EQ(Voc_ScoreNGram(voc, history, 1, 1), 700);
}

TEST_F(VocabularyTest, AdaptationTurnsIdsIntoActiveIds)
{
    Voc* voc = fixture().voc();
    const VocId words[] = {kRiver, 0x40000001u};
    EXPECT_EQ(Voc_AdaptLM(voc, 0, nullptr, 2, words), 1);   // no model
    m_fixture->attach(m_model);
    EXPECT_EQ(Voc_AdaptLM(voc, 0, nullptr, 0, words), 1);
    EXPECT_TRUE(m_model.adaptCalls.empty());
    const VocId context[] = {kVocSentenceStart};
    EXPECT_EQ(Voc_AdaptLM(voc, 1, context, 2, words), 1);
    ASSERT_EQ(m_model.adaptCalls.size(), 1u);
}

TEST_F(VocabularyTest, MatchesGiveTheFullCount)
{
    Voc* voc = fixture().voc();
    VocId ids[4] = {};
    EXPECT_EQ(Voc_GetNumMatches(voc, u16(u"river"), 0, 1), 1);
    EXPECT_EQ(Voc_GetMatches(voc, u16(u"river"), 0, 1, 0, 4, ids), 1);
    EXPECT_EQ(ids[0], kRiver);
    EXPECT_EQ(Voc_GetMatches(voc, u16(u"   "), 0, 1, 0, 4, ids), 0);
    VocId added = 0;
    int32_t flag = 0;
    // A run-time word of the same letters matches without case too.
    ASSERT_EQ(Voc_AddWord(voc, u16(u"River"), nullptr, m_fixture->pron("R IH V ER Z").data(), &added, &flag), 0);
    ids[1] = 0xEEEE;
    EXPECT_EQ(Voc_GetNumMatches(voc, u16(u"river"), 0, 1), 2);
    EXPECT_EQ(Voc_GetMatches(voc, u16(u"river"), 0, 1, 0, 1, ids), 2);
    EXPECT_EQ(ids[0], kRiver);
    EXPECT_EQ(ids[1], 0xEEEEu);
    EXPECT_EQ(Voc_GetMatches(voc, u16(u"river"), 0, 1, 1, 4, ids), 1);
    EXPECT_EQ(Voc_GetMatchesAtStart(voc, u16(u"rivers"), 0, 1, 0, 4, ids), 2);
    EXPECT_EQ(Voc_GetMatchesAtStart(voc, u16(u"rivers"), 0, 1, 0, 1, ids), 1);
}

TEST_F(VocabularyTest, LoadingRefusesWhatIsMissingOrDamaged)
{
    struct Row {
        const char* what;
        VocabularyFixture::Options options;
        bool loads;
    };
    auto with = [](auto change) {
        VocabularyFixture::Options o;
        change(o);
        return o;
    };
    const std::vector<Row> rows = {
        {"5 flag bytes", with([](auto& o) { o.vocFlags = {0, 0, 0, 0, 0}; }), false},
        {"7 flag bytes", with([](auto& o) { o.vocFlags = {0, 0, 0, 0, 0, 0, 0}; }), false},
        {"bytes 1-3 and 5 set", with([](auto& o) { o.vocFlags = {0, 9, 9, 9, 0, 9}; }), true},
        {"generator flag without bpm0", with([](auto& o) { o.vocFlags = {1, 0, 0, 0, 0, 0}; }), false},
        {"pos flag without pm0", with([](auto& o) { o.vocFlags = {0, 0, 0, 0, 1, 0}; }), false},
        {"word 722 = 0", with([](auto& o) { o.params = {{kBrevitParamCompressedStore, 0}}; }), false},
        {"word 722 = 1", with([](auto& o) { o.params = {{kBrevitParamCompressedStore, 1}}; }), false},
        {"generator and pos model", with([](auto& o) { o.generator = o.posModel = true; }), true},
        {"prefix", with([](auto& o) { o.prefix = "en_"; }), true},
        {"id table", with([](auto& o) { o.form = active_words::Form::IdTable; }), true},
        {"bit set", with([](auto& o) { o.form = active_words::Form::BitSet; }), true},
    };
    for (const Row& r : rows) {
        VocabularyFixture& f = fixture(r.options);
        Voc* voc = f.load();
        EXPECT_EQ(voc != nullptr, r.loads) << r.what;
        if (voc != nullptr) {
            EXPECT_EQ(Voc_GetActiveId(voc, kRiver), 2) << r.what;
        }
    }
}

TEST_F(VocabularyTest, LoadingWithoutTheActiveListFails)
{
    VocabularyFixture& f = fixture();
    // The same archive without "bacm0".
    ArchiveFixture other("other.dvk");
    ASSERT_TRUE(vocabulary_fixture::writeSubFile(other.tar(), kVocSubFileTag, "", [](BinFileWriter* w) {
        return search_tables::writeArray(w, std::vector<uint8_t>(6, 0));
    }));
    ASSERT_TRUE(vocabulary_fixture::writeSubFile(other.tar(), "mwl", "", [](BinFileWriter* w) {
        return word_lists::write(w, vocabulary_fixture::wordListFields(vocabulary_fixture::defaultWords(), {}));
    }));
    other.finish();
    EXPECT_EQ(Voc_LoadFromBinFile(other.openMapped(), nullptr), nullptr);
    EXPECT_NE(f.voc(), nullptr);
}

TEST_F(VocabularyTest, TextPronTableIsOptional)
{
    Voc* voc = fixture().voc();
    uint16_t out[8];
    EXPECT_EQ(Voc_SupportsExternalPhonemes(voc), 0);
    EXPECT_EQ(Voc_ConvertExternalPronunciation(voc, nullptr, u16(u"12"), "digits", 8, out), 3);
    VocabularyFixture::Options o;
    o.textPron = true;
    voc = fixture(o).voc();
    EXPECT_EQ(Voc_SupportsExternalPhonemes(voc), 1);
    EXPECT_EQ(Voc_ConvertExternalPronunciation(voc, nullptr, u16(u"12"), "digits", 8, out), 0);
    EXPECT_EQ(out[0], 6);
    EXPECT_EQ(out[1], 10);
}

TEST_F(VocabularyTest, SupplementaryWordsAreMerged)
{
    // "quux" has the supplementary list's longest surface form, spoken form
    // and master pron: each fills its scratch row to the last unit.
    VocabularyFixture::Options o;
    o.supplementary = {{u"zed", u"", {"Z EH T"}, true}, {u"quux", u"kuks", {"K UW K S"}, true}};
    Voc* voc = fixture(o).voc();
    ASSERT_NE(voc, nullptr);
    EXPECT_EQ(Voc_GetNumProns(voc, kZed), 3);
    uint16_t pron[16];
    uint16_t* rows[] = {pron, pron};
    ASSERT_EQ(Voc_GetMasterPronunciations(voc, kZed, 3, std::vector<uint16_t*>{pron, pron, pron}.data(), nullptr), 3);
    EXPECT_EQ(m_fixture->names(pron), "Z EH T");
    const VocId quux = m_fixture->id(u"quux", u"kuks");
    ASSERT_NE(quux, kVocNoId);
    ASSERT_EQ(Voc_GetMasterPronunciations(voc, quux, 1, rows, nullptr), 1);
    EXPECT_EQ(m_fixture->names(pron), "K UW K S");
    std::u16string surface(20, u'#'), spoken(20, u'#');
    Voc_GetOrthography(voc, quux, reinterpret_cast<uint16_t*>(surface.data()),
                       reinterpret_cast<uint16_t*>(spoken.data()));
    EXPECT_EQ(std::u16string(surface.c_str()), u"quux");
    EXPECT_EQ(std::u16string(spoken.c_str()), u"kuks");

    o.supplementaryMasterSetCRC = 0x99;
    voc = fixture(o).voc();
    EXPECT_EQ(Voc_GetNumProns(voc, kZed), 2);
    EXPECT_EQ(m_fixture->id(u"quux", u"kuks"), kVocNoId);
}

TEST_F(VocabularyTest, AddWordWithARecognitionPron)
{
    Voc* voc = fixture().voc();
    VocId id = 0;
    int32_t added = 0;
    const std::vector<uint16_t> recog = m_fixture->pron("B AA S");
    EXPECT_EQ(Voc_AddWordWithRecogPron(voc, u16(u" "), nullptr, recog.data(), &id, &added), 1);
    EXPECT_EQ(Voc_AddWordWithRecogPron(voc, u16(u"zed"), nullptr, recog.data(), &id, &added), 0);
    EXPECT_EQ(id, kZed);
    EXPECT_EQ(Voc_AddWordWithRecogPron(voc, u16(u"bass"), nullptr, recog.data(), &id, &added), 0);
    EXPECT_EQ(id, 0xC0000004u);
    EXPECT_EQ(added, 1);
    ASSERT_EQ(Voc_ActivateMasterId(voc, 4), 3);
    EXPECT_EQ(recogPron(voc, 5), "B AA S");
}

TEST_F(VocabularyTest, LoadWithEachAllocationFailingLeavesNothing)
{
    VocabularyFixture::Options o;
    o.generator = o.posModel = o.textPron = true;
    o.supplementary = {{u"zed", u"", {"Z EH T"}, true}, {u"quux", u"", {"K UW K S"}, true}};
    VocabularyFixture& f = fixture(o);
    const size_t live = m_allocator.liveBlocks();
    for (uint64_t n = 1;; ++n) {
        SCOPED_TRACE(n);
        const uint64_t failures = m_allocator.failures();
        m_allocator.failAt(m_allocator.calls() + n);
        Voc* voc = nullptr;
        const int raised = DVKErr_Protect([&] { voc = Voc_LoadFromBinFile(f.tar(), nullptr); });
        m_allocator.failAt(0);
        const bool failed = m_allocator.failures() != failures;
        if (!failed) {
            ASSERT_NE(voc, nullptr);
            Voc_Delete(voc);
            break;
        }
        if (!raised && voc != nullptr) {
            // A failure inside the merge only loses supplementary words.
            Voc_Delete(voc);
        }
        EXPECT_EQ(m_allocator.liveBlocks(), live) << m_allocator.describeLeaks();
    }
}

TEST_F(VocabularyTest, LanguageSetsAndFormatting)
{
    Voc* voc = fixture().voc();
    char name[8];
    EXPECT_EQ(Voc_GetLanguageName(voc, 8, name), 1);
    EXPECT_STREQ(name, "enus");
    EXPECT_EQ(Voc_GetLanguageName(voc, 4, name), 0);   // no room for the terminator
    EXPECT_STREQ(Voc_GetLanguageID(voc, u16(u"river")), "enus");
    EXPECT_EQ(Voc_GetMasterPhonemeSetCRC(voc), 0x22u);
    EXPECT_EQ(Voc_GetRecogPhonemeSetCRC(voc), 0x11u);
    EXPECT_EQ(Voc_GetSemanticSetCRC(voc), 0x33u);
    EXPECT_EQ(Voc_GetPOSSetCRC(voc), 0xFFFFFFFFu);
    EXPECT_EQ(Voc_GuessPOS(voc, u16(u"river")), -1);
    EXPECT_EQ(Voc_HasLM(voc), 0);
    // Without a formatting context only the script flag is given.
    const VocId before[] = {kVocStartDocument, kVocNoId};
    int32_t flag = -1, result = 0;
    Voc_FormatTextFromIds(voc, kRiver, 2, before, &flag, &result);
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(result, 0);
    VocabularyFixture::Options o;
    o.language = "jajp";
    voc = fixture(o).voc();
    ASSERT_NE(voc, nullptr);
    Voc_FormatTextFromIds(voc, 0xC0000000u, 0, nullptr, &flag, &result);
    EXPECT_EQ(flag, 0);
}

TEST_F(VocabularyTest, CrcCoversComponentsButNotTheModel)
{
    EXPECT_EQ(Voc_ComputeCRC(nullptr), 0xFFFFFFFFu);
    const uint32_t plain = Voc_ComputeCRC(fixture().voc());
    EXPECT_EQ(Voc_ComputeCRC(m_fixture->load()), plain);
    m_fixture->attach(m_model);
    EXPECT_EQ(Voc_ComputeCRC(m_fixture->voc()), plain);
    VocabularyFixture::Options o;
    o.generator = true;
    EXPECT_NE(Voc_ComputeCRC(fixture(o).voc()), plain);
}

} // namespace
