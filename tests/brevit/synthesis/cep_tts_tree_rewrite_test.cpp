#include "core/brevit/synthesis/cep_tts_rule_block.h"
#include "tests/brevit/synthesis/front_end_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace tts_front_end;

// Markers 1-8; tag t (4-11) is symbol 5 + t; phone p (3-21) is symbol
// 17 + p; 39 the repeat marker; M = 40.
constexpr uint16_t kWordStart = 5;
constexpr uint16_t phoneSymbol(uint16_t p) { return static_cast<uint16_t>(17 + p); }

RuleBlockFields block(const std::vector<RuleSetSpec>& sets)
{
    RulesSpec rules;
    rules.repeatMarker = 39;
    rules.maxSymbol = 40;
    rules.sets = sets;
    RuleBlockFields b;
    b.rules = rulesFields(rules);
    std::vector<uint16_t> tags(12, 0);
    for (uint16_t t = 4; t <= 11; ++t)
        tags[t] = static_cast<uint16_t>(5 + t);
    b.tagSymbols = search_tables::indexTable(tags);
    b.semanticSymbols = search_tables::indexTable({0});
    std::vector<uint16_t> phones(front_end_fixture::kMaxPhone + 1, 0);
    b.symbolValues.assign(41, 0);
    b.symbolKinds.assign(41, 0);
    for (uint16_t p = 3; p <= 21; ++p) {
        phones[p] = phoneSymbol(p);
        b.symbolValues[phoneSymbol(p)] = p;
        b.symbolKinds[phoneSymbol(p)] = kCepTTSSymbolPhone;
    }
    for (uint16_t t = 4; t <= 11; ++t) {
        b.symbolValues[5 + t] = t;
        b.symbolKinds[5 + t] = kCepTTSSymbolTag;
    }
    b.phoneSymbols = search_tables::indexTable(phones);
    return b;
}

FrontEndFields withRules(const std::vector<RuleSetSpec>& sets)
{
    FrontEndFields f = front_end_fixture::fields();
    f.ruleSymbolCount = 40;
    f.markers = {1, 2, 3, 4, 5, 6, 7, 8};
    f.rulesPresent = 1;
    f.rules = block(sets);
    return f;
}

std::vector<VocabularyFixture::WordSpec> words()
{
    return {{u"a", u"", {"' EY"}, true},
            {u"b", u"", {"' K AA . T IY"}, true},
            {u"d", u"", {"K AA . ' T IY . L EH"}, true},
            {u"h", u"", {"' T AA K . L IY"}, true},
            {u",", u"", {"h#"}, true},
            {u".", u"", {"h#"}, true}};
}

// Phrases (end type, words), words (tag, syllables), syllables (stress,
// accent, phones) and the phone array.
std::string describe(const CepTTSUnits* u)
{
    if (u == nullptr || u->tree == nullptr)
        return "none";
    const CepTTSUnitTree* t = u->tree;
    std::string out;
    for (int32_t p = 1; p <= t->phraseCount; ++p) {
        out += "P" + std::to_string(t->phrases[p].endType) + "/" + std::to_string(t->phrases[p].wordCount) + " ";
        for (int32_t w = t->phrases[p].firstWord; w < t->phrases[p].firstWord + t->phrases[p].wordCount; ++w) {
            const CepTTSWord& word = t->words[w];
            out += "W" + std::to_string(word.tag) + "@" + std::to_string(word.firstPhone) + " ";
            for (int32_t y = word.firstSyllable; y < word.firstSyllable + word.syllableCount; ++y) {
                const CepTTSSyllable& s = t->syllables[y];
                out += "S" + std::to_string(s.stress) + std::to_string(s.accent) + ":" +
                       std::to_string(s.firstPhone) + "+" + std::to_string(s.phoneCount) + " ";
            }
        }
    }
    out += "|";
    for (int32_t k = 0; k < t->phoneCount; ++k)
        out += " " + std::to_string(t->phones[k]);
    return out;
}

class TreeRewrite : public FrontEndTest {
protected:
    std::string say(const FrontEndFields& fields, const std::u16string& text)
    {
        CepTTSFrontEnd* f = load(fields);
        EXPECT_NE(f, nullptr);
        if (f == nullptr)
            return "";
        CepTTSUnits* u = CepTTSFrontEnd_UnitsFromText(f, VocabularyFixture::units(text));
        const std::string d = describe(u);
        CepTTSUnits_Delete(u);
        return d;
    }
};

TEST_F(TreeRewrite, RulesThatChangeNothingReadBackTheSameTree)
{
    vocabulary(words());
    const std::u16string text = u"a b, d. h a";
    const std::string plain = say(front_end_fixture::fields(), text);
    // A rule whose focus never occurs, one set each way.
    const std::string ruled = say(withRules({{true, 2, {{{40}, {40}, {}, {}}}}, {false, 1, {}}}), text);
    EXPECT_EQ(ruled, plain);
    EXPECT_NE(plain.find("S11"), std::string::npos) << plain;   // accents survive
}

TEST_F(TreeRewrite, AnInsertedWordStartReassignsSyllables)
{
    vocabulary(words());
    // A word start inserted before K: "h" is T AA K . L IY, so the new word
    // begins inside syllable 1 after its vowel and takes syllable 2.
    const std::string ruled =
        say(withRules({{true, 2, {{{}, {kWordStart}, {}, {phoneSymbol(6)}}}}}), u"h");
    EXPECT_EQ(ruled, "P2/2 W11@1 S10:1+3 W3@3 S00:4+2 | 0 10 3 6 19 9 0");
}

TEST_F(TreeRewrite, RulesRewritePhonesAndAFailingSetKeepsTheTree)
{
    vocabulary(words());
    // EY becomes IY everywhere.
    EXPECT_EQ(say(withRules({{true, 1, {{{phoneSymbol(21)}, {phoneSymbol(9)}, {}, {}}}}}), u"a"),
              "P2/1 W4@1 S11:1+1 | 0 9 0");
    // Two symbols inserted before each at expansion 2 outgrow it: the
    // written tree reads back unchanged.
    const std::string plain = say(front_end_fixture::fields(), u"a b");
    EXPECT_EQ(say(withRules({{true, 2, {{{}, {39, 39}, {}, {}}}}}), u"a b"), plain);
}

TEST_F(TreeRewrite, AStringWithoutPhonesKeepsTheOldTree)
{
    vocabulary(words());
    const std::string plain = say(front_end_fixture::fields(), u"a");
    // Every phone symbol deleted.
    EXPECT_EQ(say(withRules({{true, 1, {{{phoneSymbol(21)}, {}, {}, {}}}}}), u"a"), plain);
}

TEST_F(TreeRewrite, EachAllocationFailingKeepsAUsableTree)
{
    vocabulary(words());
    CepTTSFrontEnd* f = load(withRules({{true, 1, {{{phoneSymbol(21)}, {phoneSymbol(9)}, {}, {}}}}}));
    ASSERT_NE(f, nullptr);
    for (uint64_t n = 1;; ++n) {
        const size_t live = m_allocator.liveBlocks();
        const uint64_t failures = m_allocator.failures();
        CepTTSUnits* u = nullptr;
        m_allocator.failAt(m_allocator.calls() + n);
        const int raised = DVKErr_Protect([&] { u = CepTTSFrontEnd_UnitsFromText(f, VocabularyFixture::units(u"a b")); });
        m_allocator.failAt(0);
        const std::string d = raised == 0 ? describe(u) : "raised";
        if (raised == 0)
            CepTTSUnits_Delete(u);
        if (m_allocator.failures() == failures)
            break;
        EXPECT_EQ(m_allocator.liveBlocks(), live) << n;
    }
}

} // namespace
