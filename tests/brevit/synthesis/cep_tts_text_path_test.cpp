#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/brevit/synthesis/front_end_fixture.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace {

using front_end_fixture::fields;

std::vector<VocabularyFixture::WordSpec> words()
{
    return {{u"a", u"", {"' EY"}, true},           {u"b", u"", {"' K AA . T IY"}, true},
            {u"c", u"", {"' EY"}, true},           {u"d", u"", {"K AA . ' T IY . L EH"}, true},
            {u"e", u"", {"' UW"}, true},           {u"f", u"", {"B AO . ' R IH"}, true},
            {u"g", u"", {"' IY"}, true},           {u",", u"", {"h#"}, true},
            {u".", u"", {"h#"}, true},             {u"!", u"", {"h#"}, true}};
}

// The tree as text: per phrase its end type and words; per word its
// syllables (a leading ' for stress, * for accent) of phone ids.
std::string describe(const CepTTSUnits* u)
{
    if (u == nullptr)
        return "none";
    if (u->tree == nullptr)
        return u->finished ? "finished" : "empty";
    const CepTTSUnitTree* t = u->tree;
    std::string out;
    for (int32_t p = 1; p <= t->phraseCount; ++p) {
        const CepTTSPhrase& phrase = t->phrases[p];
        out += "[";
        for (int32_t w = phrase.firstWord; w < phrase.firstWord + phrase.wordCount; ++w) {
            const CepTTSWord& word = t->words[w];
            out += " t" + std::to_string(word.tag) + ":";
            for (int32_t y = word.firstSyllable; y < word.firstSyllable + word.syllableCount; ++y) {
                const CepTTSSyllable& s = t->syllables[y];
                out += s.stress ? "'" : "";
                out += s.accent ? "*" : "";
                for (int32_t k = s.firstPhone; k < s.firstPhone + s.phoneCount; ++k)
                    out += std::to_string(t->phones[k]) + (k + 1 < s.firstPhone + s.phoneCount ? "," : "");
                out += y + 1 < word.firstSyllable + word.syllableCount ? "." : "";
            }
        }
        out += " ]" + std::to_string(phrase.endType);
    }
    return out;
}

class TextPath : public FrontEndTest {
protected:
    // The word list's run-time store keeps high-water marks (longest
    // texts and prons, highest id, clock) in its checksum, so the words a
    // call will add go in and out once first.
    void touchRunTimeStore(std::initializer_list<const char16_t*> texts)
    {
        for (const char16_t* text : texts) {
            VocId id = kVocNoId;
            int32_t added = 0, freed = 0;
            ASSERT_EQ(Voc_AddWord(voc(), VocabularyFixture::units(text), nullptr, nullptr, &id, &added), 0);
            Voc_RemoveWord(voc(), id, &freed);
        }
    }

    std::string say(CepTTSFrontEnd* f, const std::u16string& text)
    {
        CepTTSUnits* u = CepTTSFrontEnd_UnitsFromText(f, VocabularyFixture::units(text));
        const std::string d = describe(u);
        CepTTSUnits_Delete(u);
        return d;
    }
};

VocabularyFixture::Options withGeneratedWords()
{
    VocabularyFixture::Options o = front_end_fixture::vocabularyOptions();
    o.params.push_back({kBrevitParamGeneratedPronunciations, 1});
    o.params.push_back({kBrevitParamAlternativesLimit1, 1});
    return o;
}

struct PunctuationRow {
    const char* name;
    std::u16string text;
    std::string tree;
};

const std::string kA = " t4:'*21";
const std::string kB = " t5:'6,3.10,9";

TEST_F(TextPath, PunctuationEndsPhrasesAndMerges)
{
    vocabulary(words());
    CepTTSFrontEnd* f = load(fields());
    ASSERT_NE(f, nullptr);
    const PunctuationRow rows[] = {
        {"comma then full stop", u"a, b.", "[" + kA + " ]1[" + kB + " ]2"},
        {"spaced marks", u"a , b .", "[" + kA + " ]1[" + kB + " ]2"},
        {"a full stop replaces the comma before it", u"a, . b", "[" + kA + " ]2[" + kB + " ]2"},
        {"a mark after a sentence end drops", u"a! . b", "[" + kA + " ]2[" + kB + " ]2"},
        {"doubled comma", u"a, , b", "[" + kA + " ]1[" + kB + " ]2"},
        {"leading commas", u", , a", "[" + kA + " ]2"},
        {"no mark: the last phrase ends a sentence", u"a b", "[" + kA + kB + " ]2"},
        {"punctuation only", u", .", "finished"},
        {"empty text", u"", "finished"},
    };
    for (const PunctuationRow& row : rows)
        EXPECT_EQ(say(f, row.text), row.tree) << row.name;
}

TEST_F(TextPath, WordsWithoutPartOfSpeechData)
{
    // Without a guesser every id is unknown: the default tag and pron 0.
    VocabularyFixture::Options o = front_end_fixture::vocabularyOptions();
    o.posModel = false;
    o.posOwnModel.clear();
    std::vector<VocabularyFixture::WordSpec> list = words();
    list[1].prons.push_back("EY");
    vocabulary(list, o);
    CepTTSFrontEnd* f = load(fields());
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(say(f, u"b"), "[ t3:'6,3.10,9 ]2");
    // Without the generator a word listed without pronunciations has no
    // part-of-speech data at all: it is left out.
    VocabularyFixture::Options bare = front_end_fixture::vocabularyOptions();
    bare.generator = false;
    list.push_back({u"h", u"", {}, true});
    vocabulary(list, bare);
    f = load(fields());
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(say(f, u"a h b"), "[" + kA + kB + " ]2");
    EXPECT_EQ(say(f, u"h"), "finished");
}

TEST_F(TextPath, UnknownWordsAreAddedForTheCallOnly)
{
    vocabulary(words(), withGeneratedWords());
    CepTTSFrontEnd* f = load(fields());
    ASSERT_NE(f, nullptr);
    touchRunTimeStore({u"zaza"});
    const uint32_t before = Voc_ComputeCRC(voc());
    const std::string spoken = say(f, u"zaza a zaza");
    EXPECT_EQ(Voc_ComputeCRC(voc()), before);
    EXPECT_EQ(m_vocabulary->id(u"zaza"), kVocNoId);
    // Both tokens speak the word the first one added.
    ASSERT_NE(spoken.find(kA), std::string::npos) << spoken;
    const std::string zaza = spoken.substr(1, spoken.find(kA) - 1);
    EXPECT_FALSE(zaza.empty());
    EXPECT_EQ(spoken, "[" + zaza + kA + zaza + " ]2");
}

TEST_F(TextPath, ARunTimeWordAddedBeforeStays)
{
    vocabulary(words(), withGeneratedWords());
    CepTTSFrontEnd* f = load(fields());
    ASSERT_NE(f, nullptr);
    VocId id = kVocNoId;
    int32_t added = 0;
    const std::vector<uint16_t> pron = m_vocabulary->pron("' T AA");
    ASSERT_EQ(Voc_AddWord(voc(), VocabularyFixture::units(u"zaza"), nullptr, pron.data(), &id, &added), 0);
    const uint32_t before = Voc_ComputeCRC(voc());
    EXPECT_EQ(say(f, u"zaza, a"), "[ t4:'*10,3 ]1[" + kA + " ]2");
    EXPECT_EQ(Voc_ComputeCRC(voc()), before);
    EXPECT_EQ(m_vocabulary->id(u"zaza"), id);
}

TEST_F(TextPath, MoreThan128TokensAreTokenisedAgainWithRoomForAll)
{
    vocabulary(words());
    CepTTSFrontEnd* f = load(fields());
    ASSERT_NE(f, nullptr);
    std::u16string text;
    for (int32_t k = 0; k < 300; ++k)
        text += k % 2 == 0 ? u"a " : u"b ";
    CepTTSUnits* u = CepTTSFrontEnd_UnitsFromText(f, VocabularyFixture::units(text));
    ASSERT_NE(u, nullptr);
    ASSERT_NE(u->tree, nullptr);
    EXPECT_EQ(u->tree->wordCount, 300);
    EXPECT_EQ(u->tree->words[300].position, 299);
    CepTTSUnits_Delete(u);
}

TEST_F(TextPath, TheIdPathBuildsTheSameTree)
{
    vocabulary(words());
    CepTTSFrontEnd* f = load(fields());
    ASSERT_NE(f, nullptr);
    const std::u16string text = u"b c, d e f! g a.";
    VocId ids[32];
    int32_t starts[32], lengths[32];
    const int32_t n = Voc_Tokenize(voc(), 1, VocabularyFixture::units(text), 0, 0, 32, ids, starts, lengths, nullptr,
                                   nullptr);
    ASSERT_EQ(n, 10);
    CepTTSUnits* u = CepTTSFrontEnd_UnitsFromIds(f, n, ids);
    EXPECT_EQ(describe(u), say(f, text));
    CepTTSUnits_Delete(u);
    u = CepTTSFrontEnd_UnitsFromIds(f, 0, ids);
    ASSERT_NE(u, nullptr);
    EXPECT_EQ(CepTTSUnits_IsFinished(u), 1);
    CepTTSUnits_Delete(u);
    // Ids of no word are dropped.
    const VocId unknown[] = {kVocNoId, ids[0], kVocNoId};
    u = CepTTSFrontEnd_UnitsFromIds(f, 3, unknown);
    EXPECT_EQ(describe(u), "[" + kB + " ]2");
    CepTTSUnits_Delete(u);
}

TEST_F(TextPath, EachAllocationFailingGivesNoneOrTheEngineErrorAndKeepsTheVocabulary)
{
    vocabulary(words(), withGeneratedWords());
    CepTTSFrontEnd* f = load(fields());
    ASSERT_NE(f, nullptr);
    touchRunTimeStore({u"zaza"});
    const uint32_t crc = Voc_ComputeCRC(voc());
    const std::u16string text = u"a, zaza b. c qq";
    const std::string expected = say(f, text);
    for (uint64_t n = 1;; ++n) {
        const size_t live = m_allocator.liveBlocks();
        const uint64_t failures = m_allocator.failures();
        CepTTSUnits* u = nullptr;
        m_allocator.failAt(m_allocator.calls() + n);
        const int raised = DVKErr_Protect([&] { u = CepTTSFrontEnd_UnitsFromText(f, VocabularyFixture::units(text)); });
        m_allocator.failAt(0);
        if (m_allocator.failures() == failures) {
            EXPECT_EQ(raised, 0);
            EXPECT_EQ(describe(u), expected);
            CepTTSUnits_Delete(u);
            break;
        }
        EXPECT_TRUE(raised == 1 || u == nullptr) << n;
        if (raised == 0)
            CepTTSUnits_Delete(u);
        EXPECT_EQ(m_allocator.liveBlocks(), live) << n;
        EXPECT_EQ(Voc_ComputeCRC(voc()), crc) << n;
    }
}

} // namespace
