#include "core/brevit/lexicon/pron_generator.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/brevit/search/table_test.h"
#include "tests/support/param_block_builder.h"
#include "tests/support/pron_generator_writer.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

using pron_generator::Fields;
using namespace pron_generator;

struct Result {
    std::vector<std::string> prons;   // "B ' AA S ."
    std::vector<int32_t> scores;
    int32_t needed = -1;
};

std::string phonemeName(uint16_t p)
{
    switch (p) {
    case kStress: return "'";
    case kSyllable: return ".";
    case AA: return "AA";
    case EH: return "EH";
    case B: return "B";
    case S: return "S";
    case Z: return "Z";
    case IY: return "IY";
    case T: return "T";
    default: return std::to_string(p);
    }
}

class Generator : public TableTest {
protected:
    void TearDown() override
    {
        PG_Delete(m_pg);
        TableTest::TearDown();
    }

    PG* loadGenerator(const Fields& f)
    {
        WrittenTable table([&](BinFileWriter* w) { return pron_generator::write(w, f); }, kPGSubFileTag);
        return PG_LoadFromBinFile(table.tar(), nullptr);
    }

    void use(const Fields& f)
    {
        PG_Delete(m_pg);
        m_pg = loadGenerator(f);
        ASSERT_NE(m_pg, nullptr);
    }

    static Result read(const std::vector<uint16_t>& out, int32_t n, const std::vector<int32_t>& scores)
    {
        Result r;
        size_t at = 0;
        for (int32_t k = 0; k < n; ++k) {
            std::string pron;
            for (; out[at] != kPGPronEnd; ++at)
                pron += (pron.empty() ? "" : " ") + phonemeName(out[at]);
            ++at;
            r.prons.push_back(pron);
            r.scores.push_back(scores[static_cast<size_t>(k)]);
        }
        if (n == 0 && out.size() > 2) {
            EXPECT_EQ(out[0], kPGPronEnd);
        }
        return r;
    }

    Result generate(const std::u16string& text, int32_t wordClass = 0, int32_t most = 20,
                    int32_t room = 512)
    {
        std::vector<uint16_t> out(static_cast<size_t>(std::max(room, 1)) + 1, 0xEEEE);
        std::vector<int32_t> scores(16, -1);
        int32_t needed = -1;
        const int32_t n = PG_TextToMasterPron(m_pg, reinterpret_cast<const uint16_t*>(text.c_str()),
                                              wordClass, out.data(), room, scores.data(), most, &needed);
        EXPECT_EQ(out[static_cast<size_t>(std::max(room, 0))], 0xEEEE) << "written past the room";
        Result r = read(out, n, scores);
        r.needed = needed;
        return r;
    }

    Result generateEncoded(const std::string& text, int32_t encoding)
    {
        std::vector<uint16_t> out(512, 0xEEEE);
        std::vector<int32_t> scores(16, -1);
        const int32_t n = PG_TextToMasterPronFromEncoded(m_pg, text.c_str(), encoding, 0, out.data(), 512,
                                                         scores.data(), 20, nullptr);
        return read(out, n, scores);
    }

    PG* m_pg = nullptr;
};

const std::vector<std::string> kBase = {
    "B ' AA S .", "B ' AA Z .", "B ' EH S .", "B ' EH Z .", "B ' AA . S IY .", "B ' AA Z IY .", "B ' EH . S IY .",
};
const std::vector<int32_t> kBaseScores = {0, 10, 30, 40, 50, 60, 80};

TEST_F(Generator, RanksAlternativesOfEveryLetter)
{
    use(toyModel());
    Result r = generate(u"base");
    EXPECT_EQ(r.prons, kBase);
    EXPECT_EQ(r.scores, kBaseScores);
    EXPECT_EQ(r.needed, 0);
    r = generate(u"base", 0, 3);
    EXPECT_EQ(r.prons, std::vector<std::string>(kBase.begin(), kBase.begin() + 2));
    r = generate(u"base", 0, 1);
    EXPECT_EQ(r.prons, std::vector<std::string>(kBase.begin(), kBase.begin() + 1));
    EXPECT_EQ(generate(u"abebas").prons.size(), 10u);

    // The same word in other forms.
    struct Form {
        std::u16string text;
        int32_t wordClass;
    };
    for (const Form& form : {Form{u"ｂａｓｅ", 0}, Form{u"BASE", 0}, Form{u"BASE", 5}, Form{u"base", 9}}) {
        r = generate(form.text, form.wordClass);
        EXPECT_EQ(r.prons, kBase) << form.wordClass;
        EXPECT_EQ(r.scores, kBaseScores);
    }
    EXPECT_EQ(generateEncoded("base", 2).prons, kBase);
    EXPECT_EQ(generateEncoded("b\x61se", 3).prons, kBase);
    EXPECT_EQ(generateEncoded("ba\xC3", 3).prons.size(), 0u);
}

TEST_F(Generator, WordClassesPlaceStressAndChunks)
{
    use(toyModel());
    Result r = generate(u"ba^se", 6);
    ASSERT_FALSE(r.prons.empty());
    EXPECT_EQ(r.prons.front(), "B AA S .");
    EXPECT_NE(std::find(r.prons.begin(), r.prons.end(), "B AA . S ' IY ."), r.prons.end());
    for (int32_t wordClass : {4, 5}) {
        r = generate(u"BaSe", wordClass);
        std::vector<std::string> expected = kBase;
        expected[4] = "B ' AA . S ' IY .";
        expected[6] = "B ' EH . S ' IY .";
        expected[5] = "B ' AA Z ' IY .";
        EXPECT_EQ(r.prons, expected) << wordClass;
        EXPECT_EQ(r.scores, kBaseScores);
    }
    EXPECT_EQ(generate(u"b2").prons, std::vector<std::string>{"B T IY ."});
    EXPECT_EQ(generate(u"hh").prons.size(), 0u);
    EXPECT_EQ(generate(u"").prons.size(), 0u);
}

TEST_F(Generator, StressRulesPickTheNucleus)
{
    use(toyModel());
    struct Case {
        std::u16string word;
        std::string top;
    };
    const Case cases[] = {
        {u"abebas", "AA . B EH . B ' AA S ."},   // ends "s": the last
        {u"hababa", "' AA . B AA . B AA ."},     // begins "h": the word start
        {u"abbaba", "AA B . B AA . B ' AA ."},   // has "bb": 9 is the last
        {u"abeba", "AA . B ' EH . B AA ."},      // "eb" starts the second nucleus
        {u"ababa", "AA . B ' AA . B AA ."},      // the default
        {u"abea", "' AA . B EH . AA ."},         // ea is one nucleus
    };
    for (const Case& c : cases) {
        const Result r = generate(c.word);
        ASSERT_FALSE(r.prons.empty());
        EXPECT_EQ(r.prons.front(), c.top) << std::string(c.word.begin(), c.word.end());
    }
}

TEST_F(Generator, CompoundsSplitIntoDictionaryParts)
{
    use(toyCompoundModel());
    {
        ScopedParamBlock params(ParamBlockBuilder()
                                    .word(kBrevitParamCompoundMaxLength, 20)
                                    .word(kBrevitParamCompoundMinPart, 2)
                                    .word(kBrevitParamCompoundLimit3, 10));
        const Result split = generate(u"basehase");
        const Result parts = generate(u"baseHase", 4);
        EXPECT_EQ(split.prons, parts.prons);
        EXPECT_EQ(split.scores, parts.scores);
        ASSERT_EQ(split.prons.size(), 4u);
        EXPECT_EQ(split.prons[0], "B ' AA . S ' AA S .");
        EXPECT_EQ(split.scores[0], 0);
    }
    ScopedParamBlock unsplit(ParamBlockBuilder()
                                 .word(kBrevitParamCompoundMaxLength, 0)
                                 .word(kBrevitParamCompoundMinPart, 2)
                                 .word(kBrevitParamCompoundLimit3, 10));
    const Result whole = generate(u"basehase");
    EXPECT_EQ(whole.prons.size(), 6u);
    EXPECT_NE(whole.prons[0], "B ' AA . S ' AA S .");
}

TEST_F(Generator, HangulSyllablesDecompose)
{
    Fields f = toyModel();
    f.tripleCodes = 1;
    use(f);
    const Result has = generate(u"has");
    const Result han = generate(u"한");
    EXPECT_EQ(han.prons, has.prons);
    EXPECT_EQ(han.scores, has.scores);
    ASSERT_EQ(han.prons.size(), 4u);
    EXPECT_EQ(han.prons[0], "' AA S .");
    const Result ha = generate(u"하");
    EXPECT_EQ(ha.prons, (std::vector<std::string>{"' AA .", "' EH ."}));
    EXPECT_EQ(ha.scores, (std::vector<int32_t>{0, 30}));
}

TEST_F(Generator, RoomSkipsPronsThatDoNotFit)
{
    use(toyModel());
    struct Case {
        std::u16string word;
        int32_t room;
        std::vector<std::string> prons;
        int32_t needed;
    };
    const Case cases[] = {
        {u"base", 14, {"B ' AA S .", "B ' AA Z ."}, 48},
        {u"base", 11, {"B ' AA S ."}, 48},
        {u"base", 5, {}, 48},
        {u"bs", 4, {"B S ."}, 8},
        {u"bs", 3, {}, 8},
        {u"bs", 8, {"B S .", "B Z ."}, 0},
        {u"base", 0, {}, 0},
    };
    for (const Case& c : cases) {
        const Result r = generate(c.word, 0, 20, c.room);
        EXPECT_EQ(r.prons, c.prons) << c.room;
        EXPECT_EQ(r.needed, c.needed) << c.room;
    }
}

TEST_F(Generator, MarksAreNeverVowels)
{
    // A class table that counts the two marks among the vowels.
    Fields f = toyModel();
    f.common.classRewrite = search_tables::rewrites({{}, {{AA, EH, IY, kStress, kSyllable}}, {{Z}}, {{B, S, Z, T}}});
    use(f);
    EXPECT_EQ(generate(u"ha", 0, 20, 4).prons, std::vector<std::string>{"' AA ."});
    EXPECT_EQ(generate(u"base").prons, kBase);
}

TEST_F(Generator, SyllableBoundariesFallAfterThePreviousVowel)
{
    // Rules of length 3 ending at the wildcard after one consonant: they
    // reach back past the consonant they matched.
    Fields f = toyModel();
    f.common.ruleCount = 2;
    f.common.ruleLengths = {3, 2};
    f.common.ruleSymbols = {3, 99, 0xFFFF, 3, 99, 0xFFFF};
    f.common.ruleSymbolCount = 6;
    use(f);
    const struct {
        std::vector<uint16_t> pron;
        const char* marked;
    } cases[] = {
        // V C V C 'V: neither rule leaves the boundary after the previous vowel.
        {{AA, B, EH, S, kStress, IY}, "AA B . EH S . ' IY ."},
        {{AA, B, EH, S, IY}, "AA B . EH S . IY ."},
        {{AA, B, S, T, IY}, "AA . B S T IY ."},
        {{AA, B, S, kStress, IY}, "AA . B S ' IY ."},
    };
    for (const auto& c : cases) {
        std::vector<uint16_t> buffer = c.pron;
        buffer.push_back(kPGPronEnd);
        buffer.resize(buffer.size() + 8, 0xEEEE);
        ASSERT_EQ(PG_MarkSyllables(&m_pg->common, buffer.data(), 1), 1);
        EXPECT_EQ(read(buffer, 1, {0}).prons, std::vector<std::string>{c.marked});
    }
}

TEST_F(Generator, PhoneRewriteAppliesToEveryPronWithinTheRoom)
{
    Fields f = toyModel();
    std::vector<search_tables::PhoneRule> rules;
    for (uint16_t p = 1; p <= T; ++p)
        rules.push_back({{p}, p == Z ? std::vector<uint16_t>{S, S} : std::vector<uint16_t>{p}});
    f.common.phoneRewrite = search_tables::phoneRewrite(rules, 11, 0, 2);
    f.common.phoneRewriteFlag = 1;
    use(f);
    EXPECT_EQ(generate(u"base", 0, 20, 14).prons, (std::vector<std::string>{"B ' AA S .", "B ' AA S S ."}));
    EXPECT_EQ(generate(u"base", 0, 20, 12).prons, std::vector<std::string>{"B ' AA S ."});
}

TEST_F(Generator, ChecksumAndSharing)
{
    use(toyModel());
    const uint32_t crc = PG_ComputeCRC(m_pg);
    PG* again = loadGenerator(toyModel());
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(PG_ComputeCRC(again), crc);
    EXPECT_EQ(PG_GetStressPhonemeId(again), kStress);
    EXPECT_EQ(PG_GetSyllablePhonemeId(again), kSyllable);
    again->owner = 1;
    PG_Delete(again);
    EXPECT_EQ(PG_ComputeCRC(again), crc);
    again->owner = 0;
    PG_Delete(again);

    const std::vector<std::function<void(Fields&)>> changes = {
        [](Fields& f) { f.common.scale = 1; },
        [](Fields& f) { f.common.thirdValue = 1; },
        [](Fields& f) { f.common.ruleWildcard = 98; },
        [](Fields& f) { f.common.ruleLengths[1] = 0; },
        [](Fields& f) { f.common.mainRewrite.option = 1; },
        [](Fields& f) { f.codesPerChar = 2; },
        [](Fields& f) { f.leadBase = 101; },
        [](Fields& f) { f.nucleusPatterns[1] = 0; f.nucleusPatterns[0] = La; f.nucleusIndex[Lb] = 1; },
        [](Fields& f) { f.tree.header = 1; },
        [](Fields& f) { f.defaultStress[0] = 1; },
        [](Fields& f) { f.stressRules[0].position = -2; },
        [](Fields& f) { f.stressStrings[0] = Lb; },
    };
    for (const auto& change : changes) {
        Fields f = toyModel();
        change(f);
        PG* changed = loadGenerator(f);
        ASSERT_NE(changed, nullptr);
        EXPECT_NE(PG_ComputeCRC(changed), crc);
        PG_Delete(changed);
    }
}

TEST_F(Generator, RefusesInconsistentRecords)
{
    const std::vector<Damage<Fields>> rows = {
        {"type word 6", [](Fields& f) { f.type = 6; }},
        {"type word -1", [](Fields& f) { f.type = -1; }},
        {"phone-rewrite flag 2", [](Fields& f) { f.common.phoneRewriteFlag = 2; }},
        {"negative rule count", [](Fields& f) { f.common.ruleCount = -1; }},
        {"rule lengths count", [](Fields& f) { f.common.ruleLengths.push_back(1); }},
        {"rule symbols count", [](Fields& f) { f.common.ruleSymbolCount = 4; }},
        {"rule symbols not ended", [](Fields& f) { f.common.ruleSymbols.back() = 3; }},
        {"rule symbols of one rule too few", [](Fields& f) { f.common.ruleSymbols = {3, 3, 3, 0xFFFF}; f.common.ruleSymbolCount = 4; }},
        {"syllable rules without a class table", [](Fields& f) { f.common.vowelClass = 0; }},
        {"main rewrite damaged", [](Fields& f) { f.common.mainRewrite.offsets.pop_back(); }},
        {"context width 0", [](Fields& f) { f.contextWidth = 0; }},
        {"tree asks past the window", [](Fields& f) { f.contextWidth = 2; }},
        {"grapheme longer than the codes per character", [](Fields& f) { f.codesPerChar = 0; }},
        {"rewrite longer than the phonemes per letter", [](Fields& f) { f.phonemesPerLetter = 1; }},
        {"nucleus index count", [](Fields& f) { f.nucleusIndex.pop_back(); }},
        {"nucleus patterns count", [](Fields& f) { f.nucleusPatternCount = 8; }},
        {"nucleus list not closed", [](Fields& f) { f.nucleusIndex[Lb] = 6; f.nucleusPatterns.pop_back();
                                                    f.nucleusPatternCount = 8; }},
        {"nucleus entry past the patterns", [](Fields& f) { f.nucleusIndex[Lb] = 20; }},
        {"default stress count", [](Fields& f) { f.defaultStressCount = 4; }},
        {"stress rule kind 2", [](Fields& f) { f.stressRules[1].kind = 2; }},
        {"stress rule string past the last 0", [](Fields& f) { f.stressRules[1].offset = 10; }},
        {"stress set below -1", [](Fields& f) { f.stressSets[2] = -2; }},
        {"stress set past R", [](Fields& f) { f.stressSets[2] = 4; }},
        {"stress set runs past R", [](Fields& f) { f.stressSetSizes[3] = 5; }},
        {"stress set size without rules", [](Fields& f) { f.stressSetSizes[4] = 1; }},
        {"stress set sizes not 16", [](Fields& f) { f.stressSetSizes.pop_back(); }},
        {"stress strings count", [](Fields& f) { f.stressStringCount = 11; }},
        {"more stress rules than the sub-file holds", [](Fields& f) { f.stressRuleCount = 100000; }},
        {"compound tables missing", [](Fields& f) { f.firstListCount = 1; }},
        {"tree damaged", [](Fields& f) { f.tree.ranks.clear(); }},
    };
    for (const auto& row : rows) {
        Fields f = toyModel();
        row.damage(f);
        PG* pg = loadGenerator(f);
        EXPECT_EQ(pg, nullptr) << row.what;
        PG_Delete(pg);
    }
    // Without default stress (or rules) the data ends after the tree.
    Fields plain = toyModel();
    plain.defaultStress.clear();
    use(plain);
    EXPECT_EQ(generate(u"ba").prons, (std::vector<std::string>{"B AA .", "B EH ."}));
    WrittenTable table([](BinFileWriter* w) { return pron_generator::write(w, toyModel()); }, kPGSubFileTag);
    table.expectAllocationFailuresRefused(m_allocator, PG_Load, PG_Delete);
}

} // namespace
