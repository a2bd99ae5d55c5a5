#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/synthesis/cep_tts_rules.h"
#include "tests/brevit/synthesis/case_name.h"
#include "tests/support/counting_allocator.h"
#include "tests/support/synthesis_front_end_writer.h"
#include "tests/support/written_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace tts_front_end;

// Symbols: 1 and 2 plain (A, B), consonants 3 and 4, vowels 5 and 6; the
// class symbols C (12) and V (13); the repeat marker 99.
constexpr uint16_t A = 1;
constexpr uint16_t B = 2;
constexpr uint16_t C = 12;
constexpr uint16_t V = 13;
constexpr uint16_t kRepeat = 99;

RulesSpec withSets(std::vector<RuleSetSpec> sets)
{
    RulesSpec s;
    s.repeatMarker = kRepeat;
    s.maxSymbol = kRepeat;
    s.classes = {{3, 4}, {5, 6}};
    s.classOf = {{C, 1}, {V, 2}};
    s.sets = std::move(sets);
    return s;
}

class TTSRules : public ::testing::Test {
protected:
    void TearDown() override
    {
        DVKTempMem_DeleteMemStack();
        EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks();
    }

    CepTTSRules* load(const RulesFields& f)
    {
        WrittenTable table([&](BinFileWriter* w) { return write(w, f); });
        return table.load(CepTTSRules_Load);
    }
    CepTTSRules* load(const RulesSpec& s) { return load(rulesFields(s)); }

    // The rewritten string, or none when applying fails.
    static std::optional<Symbols> apply(const CepTTSRules* r, const Symbols& in)
    {
        int32_t n = -1;
        uint16_t* out = CepTTSRules_Apply(r, in.data(), static_cast<int32_t>(in.size()), &n);
        if (out == nullptr)
            return std::nullopt;
        Symbols result(out, out + n);
        DVKMem_Free(out);
        return result;
    }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
};

struct ApplyRow {
    std::string name;
    RuleSetSpec set;
    Symbols input;
    std::optional<Symbols> expected;
};

RuleSetSpec set(bool leftToRight, std::vector<RuleSpec> rules, int32_t expansion = 2)
{
    return {leftToRight, expansion, std::move(rules)};
}

const RuleSpec kBeforeVowel{{A}, {B}, {}, {C, kRepeat, V}};
const RuleSpec kInsert7{{}, {7}, {}, {}};
const RuleSpec kBeforeB{{A}, {B}, {}, {B}};
const RuleSpec kAfterB{{A}, {B}, {B}, {}};

const ApplyRow kApplyRows[] = {
    {"vowel right after the focus", set(true, {kBeforeVowel}), {A, 5}, Symbols{B, 5}},
    {"vowel after three consonants", set(true, {kBeforeVowel}), {A, 3, 4, 3, 6}, Symbols{B, 3, 4, 3, 6}},
    {"consonants without a vowel", set(true, {kBeforeVowel}), {A, 3, 3}, Symbols{A, 3, 3}},
    {"no member before the vowel", set(true, {kBeforeVowel}), {A, 7, 5}, Symbols{A, 7, 5}},
    {"focus at the end", set(true, {kBeforeVowel}), {5, A}, Symbols{5, A}},
    {"empty focus inserts left to right", set(true, {kInsert7}), {1, 2, 3}, Symbols{7, 1, 7, 2, 7, 3}},
    {"empty focus inserts right to left", set(false, {kInsert7}), {1, 2, 3}, Symbols{7, 1, 7, 2, 7, 3}},
    {"right context reads input", set(true, {kBeforeB}), {A, A, B}, Symbols{A, B, B}},
    {"right context reads output", set(false, {kBeforeB}), {A, A, B}, Symbols{B, B, B}},
    {"left context reads output", set(true, {kAfterB}), {B, A, A}, Symbols{B, B, B}},
    {"left context reads input", set(false, {kAfterB}), {B, A, A}, Symbols{B, B, A}},
    {"two inserted symbols outgrow expansion 2", set(true, {{{}, {7, 8}, {}, {}}}), {1, 2, 3},
     std::nullopt},
    {"right to left outgrows too", set(false, {{{}, {7, 8}, {}, {}}}), {1, 2}, std::nullopt},
    {"repeatable left context", set(true, {{{A}, {B}, {V, C, kRepeat}, {}}}), {5, 3, 3, A},
     Symbols{5, 3, 3, B}},
    {"repeatable left context, no vowel", set(true, {{{A}, {B}, {V, C, kRepeat}, {}}}), {1, 3, A},
     Symbols{1, 3, A}},
    {"first rule wins", set(true, {{{A}, {7}, {}, {}}, {{A}, {8}, {}, {}}}), {A, A}, Symbols{7, 7}},
    {"longer focus deletes", set(true, {{{A, B}, {}, {}, {}}}), {1, A, B, 3}, Symbols{1, 3}},
    {"class symbol in the focus is literal", set(true, {{{C}, {7}, {}, {}}}), {3, C}, Symbols{3, 7}},
    {"left minimum over the output", set(true, {{{A}, {B}, {C, kRepeat}, {}, 1}}), {A, 3, A},
     Symbols{A, 3, B}},
    {"empty input", set(true, {kInsert7}), {}, Symbols{}},
};

class TTSRulesApply : public TTSRules, public ::testing::WithParamInterface<ApplyRow> {};

TEST_P(TTSRulesApply, RewritesAsExpected)
{
    const ApplyRow& row = GetParam();
    CepTTSRules* r = load(withSets({row.set}));
    ASSERT_NE(r, nullptr);
    const Symbols before = row.input;
    EXPECT_EQ(apply(r, row.input), row.expected);
    EXPECT_EQ(row.input, before);
    CepTTSRules_Delete(r);
}

INSTANTIATE_TEST_SUITE_P(Rows, TTSRulesApply, ::testing::ValuesIn(kApplyRows), caseName<ApplyRow>);

TEST_F(TTSRules, SetsRunInTurn)
{
    CepTTSRules* r = load(withSets({set(true, {{{A}, {B, B}, {}, {}}}),
                                    set(false, {{{B}, {3}, {}, {B}}})}));
    ASSERT_NE(r, nullptr);
    // A A -> B B B B; right to left each B before a B still in the output
    // becomes 3, and the B before that 3 stays.
    EXPECT_EQ(apply(r, {A, A}), (Symbols{3, B, 3, B}));
    CepTTSRules_Delete(r);
}

TEST_F(TTSRules, MatchesSymbolsAndContexts)
{
    CepTTSRules* r = load(withSets({}));
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(CepTTSRules_SymbolMatch(r, A, A), 1);
    EXPECT_EQ(CepTTSRules_SymbolMatch(r, A, B), 0);
    EXPECT_EQ(CepTTSRules_SymbolMatch(r, C, 4), 1);
    EXPECT_EQ(CepTTSRules_SymbolMatch(r, C, 5), 0);
    // A class symbol is no member of itself.
    EXPECT_EQ(CepTTSRules_SymbolMatch(r, C, C), 0);
    // Past the class table: plain symbols.
    EXPECT_EQ(CepTTSRules_SymbolMatch(r, 500, 500), 1);

    const uint16_t pattern[] = {A, C, kRepeat, V};
    const uint16_t string[] = {A, 3, 4, 5, 1};
    EXPECT_EQ(CepTTSRules_ContextMatch(r, pattern, 4, string, 5), 1);
    EXPECT_EQ(CepTTSRules_ContextMatch(r, pattern, 4, string, 3), 0);
    // Read backwards the vowel must end the string: ... A C* V.
    const uint16_t ending[] = {2, A, 3, 5};
    EXPECT_EQ(CepTTSRules_LeftContextMatch(r, pattern, 4, ending, 4), 1);
    EXPECT_EQ(CepTTSRules_LeftContextMatch(r, pattern, 4, ending, 3), 0);
    // Twenty-one repeatable elements: only the matcher's own bound stops it.
    std::vector<uint16_t> tooLong(22, A);
    EXPECT_EQ(CepTTSRules_ContextMatch(r, tooLong.data(), 21, string, 5), 0);
    CepTTSRules_Delete(r);
}

// ---- A plain reference: contexts as elements, matched by trying every count.

struct Element {
    uint16_t symbol;
    bool repeat;
};

std::vector<Element> elements(const Symbols& context)
{
    std::vector<Element> e;
    for (size_t k = 0; k < context.size(); ++k) {
        const bool repeat = k + 1 < context.size() && context[k + 1] == kRepeat;
        e.push_back({context[k], repeat});
        k += repeat ? 1 : 0;
    }
    return e;
}

bool member(const RulesSpec& spec, uint16_t a, uint16_t b)
{
    for (const auto& [symbol, cls] : spec.classOf)
        if (symbol == a)
            return std::count(spec.classes[cls - 1].begin(), spec.classes[cls - 1].end(), b) > 0;
    return a == b;
}

bool matches(const RulesSpec& spec, const std::vector<Element>& p, size_t i, const Symbols& s, size_t j)
{
    if (i == p.size())
        return true;
    if (p[i].repeat) {
        for (size_t k = j;; ++k) {
            if (matches(spec, p, i + 1, s, k))
                return true;
            if (k == s.size() || !member(spec, p[i].symbol, s[k]))
                return false;
        }
    }
    return j < s.size() && member(spec, p[i].symbol, s[j]) && matches(spec, p, i + 1, s, j + 1);
}

Symbols window(Symbols s, bool last)
{
    if (s.size() > 20)
        s = last ? Symbols(s.end() - 20, s.end()) : Symbols(s.begin(), s.begin() + 20);
    return s;
}

bool rightMatches(const RulesSpec& spec, const Symbols& context, const Symbols& s)
{
    return matches(spec, elements(context), 0, window(s, false), 0);
}

bool leftMatches(const RulesSpec& spec, const Symbols& context, const Symbols& s)
{
    std::vector<Element> e = elements(context);
    std::reverse(e.begin(), e.end());
    Symbols r = window(s, true);
    std::reverse(r.begin(), r.end());
    return matches(spec, e, 0, r, 0);
}

int32_t minimum(const RuleSpec& rule, bool left)
{
    const int32_t stored = left ? rule.leftMinimum : rule.rightMinimum;
    return stored >= 0 ? stored : contextMinimum(left ? rule.left : rule.right, kRepeat);
}

std::optional<Symbols> referenceSet(const RulesSpec& spec, const RuleSetSpec& set, const Symbols& in)
{
    const size_t n = in.size();
    Symbols out;
    if (set.leftToRight) {
        for (size_t j = 0; j < n;) {
            const RuleSpec* applied = nullptr;
            for (const RuleSpec& rule : set.rules) {
                const size_t f = rule.focus.size();
                if (j + f + minimum(rule, false) > n || minimum(rule, true) > static_cast<int32_t>(out.size()) ||
                    !std::equal(rule.focus.begin(), rule.focus.end(), in.begin() + j))
                    continue;
                if (leftMatches(spec, rule.left, out) &&
                    rightMatches(spec, rule.right, Symbols(in.begin() + j + f, in.end()))) {
                    applied = &rule;
                    break;
                }
            }
            if (applied != nullptr)
                out.insert(out.end(), applied->replacement.begin(), applied->replacement.end());
            if (applied == nullptr || applied->focus.empty())
                out.push_back(in[j++]);
            else
                j += applied->focus.size();
        }
    } else {
        for (size_t j = n; j > 0;) {
            const RuleSpec* applied = nullptr;
            for (const RuleSpec& rule : set.rules) {
                const size_t f = rule.focus.size();
                if (f > j || minimum(rule, true) > static_cast<int32_t>(j - f) ||
                    minimum(rule, false) > static_cast<int32_t>(out.size()) ||
                    !std::equal(rule.focus.begin(), rule.focus.end(), in.begin() + (j - f)))
                    continue;
                if (leftMatches(spec, rule.left, Symbols(in.begin(), in.begin() + (j - f))) &&
                    rightMatches(spec, rule.right, out)) {
                    applied = &rule;
                    break;
                }
            }
            if (applied == nullptr || applied->focus.empty())
                out.insert(out.begin(), in[--j]);
            else
                j -= applied->focus.size();
            if (applied != nullptr)
                out.insert(out.begin(), applied->replacement.begin(), applied->replacement.end());
        }
    }
    if (out.size() > static_cast<size_t>(set.expansion) * n)
        return std::nullopt;
    return out;
}

std::optional<Symbols> reference(const RulesSpec& spec, Symbols s)
{
    for (const RuleSetSpec& set : spec.sets) {
        std::optional<Symbols> next = referenceSet(spec, set, s);
        if (!next)
            return std::nullopt;
        s = *next;
    }
    return s;
}

TEST_F(TTSRules, AgreesWithAPlainReferenceOnRandomRules)
{
    std::mt19937 rng(88);
    auto pick = [&](int32_t lo, int32_t hi) { return std::uniform_int_distribution<int32_t>(lo, hi)(rng); };
    const uint16_t plain[] = {1, 2, 3, 4, 5, 6};
    const uint16_t any[] = {1, 2, 3, 4, 5, 6, C, V};
    auto symbols = [&](int32_t n, bool classes) {
        Symbols s;
        for (int32_t k = 0; k < n; ++k)
            s.push_back(classes ? any[pick(0, 7)] : plain[pick(0, 5)]);
        return s;
    };
    auto contextOf = [&]() {
        Symbols s;
        for (int32_t k = pick(0, 3); k > 0; --k) {
            s.push_back(any[pick(0, 7)]);
            if (pick(0, 2) == 0)
                s.push_back(kRepeat);
        }
        return s;
    };
    int32_t applied = 0;
    for (int32_t round = 0; round < 400; ++round) {
        std::vector<RuleSetSpec> sets;
        for (int32_t k = pick(1, 2); k > 0; --k) {
            RuleSetSpec set{pick(0, 1) == 1, pick(1, 3), {}};
            for (int32_t n = pick(1, 4); n > 0; --n)
                set.rules.push_back({symbols(pick(0, 5) == 0 ? 0 : pick(1, 2), false),
                                     symbols(pick(0, 3), false), contextOf(), contextOf()});
            sets.push_back(set);
        }
        const RulesSpec spec = withSets(sets);
        CepTTSRules* r = load(spec);
        ASSERT_NE(r, nullptr);
        for (int32_t t = 0; t < 10; ++t) {
            const Symbols in = symbols(pick(0, 12), false);
            const std::optional<Symbols> expected = reference(spec, in);
            ASSERT_EQ(apply(r, in), expected) << "round " << round << " input " << t;
            applied += expected && *expected != in ? 1 : 0;
        }
        CepTTSRules_Delete(r);
    }
    // The cases must rewrite something often enough to mean anything.
    EXPECT_GT(applied, 400);
}

// ---- Loading

RulesSpec sample()
{
    return withSets({set(true, {kBeforeVowel, kInsert7}), set(false, {kAfterB}, 3)});
}

TEST_F(TTSRules, ChecksumsAreEqualForTwoLoadsAndMoveWithEveryField)
{
    CepTTSRules* first = load(sample());
    CepTTSRules* second = load(sample());
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    const uint32_t crc = CepTTSRules_ComputeCRC(first);
    EXPECT_EQ(CepTTSRules_ComputeCRC(second), crc);
    CepTTSRules_Delete(first);
    CepTTSRules_Delete(second);

    const std::pair<const char*, std::function<void(RulesFields&)>> changes[] = {
        {"repeat marker", [](RulesFields& f) { f.repeatMarker = 98; }},
        {"class of a symbol", [](RulesFields& f) { f.symbolClasses.entries[7] = 1; }},
        {"class member", [](RulesFields& f) { f.classMembers.data[1] = 9; }},
        {"pool symbol", [](RulesFields& f) { f.symbolPool[1] = 9; }},
        {"direction", [](RulesFields& f) { f.sets[1].leftToRight = 1; }},
        {"expansion", [](RulesFields& f) { f.sets[0].expansion = 5; }},
        {"rules per set", [](RulesFields& f) { f.sets[0].ruleCount = 1; f.sets[1].ruleCount = 2; }},
        {"left minimum", [](RulesFields& f) { f.rules[2].leftMinimum = 0; }},
        {"right minimum", [](RulesFields& f) { f.rules[0].rightMinimum = 0; }},
        {"lengths", [](RulesFields& f) { f.rules[0].replacementLength = 0; f.rules[0].leftLength = 1; f.rules[0].leftMinimum = 1; }},
    };
    for (const auto& [what, change] : changes) {
        RulesFields f = rulesFields(sample());
        change(f);
        CepTTSRules* r = load(f);
        ASSERT_NE(r, nullptr) << what;
        EXPECT_NE(CepTTSRules_ComputeCRC(r), crc) << what;
        CepTTSRules_Delete(r);
    }
}

TEST_F(TTSRules, RefusesDamagedRecords)
{
    const std::pair<const char*, std::function<void(RulesFields&)>> rows[] = {
        {"negative set count", [](RulesFields& f) { f.ruleSetCount = -1; }},
        {"negative rule count", [](RulesFields& f) { f.ruleCount = -1; }},
        {"pool count differs", [](RulesFields& f) { f.symbolPoolSize += 1; }},
        {"pool absent", [](RulesFields& f) { f.symbolPool.clear(); }},
        {"negative focus length", [](RulesFields& f) { f.rules[0].focusLength = -1; f.rules[0].replacementLength += 2; }},
        {"negative minimum", [](RulesFields& f) { f.rules[0].rightMinimum = -1; }},
        {"minimum above its length", [](RulesFields& f) { f.rules[0].rightMinimum = 4; }},
        {"context over twenty", [](RulesFields& f) {
             f.rules[1].rightLength = 21;
             f.symbolPool.insert(f.symbolPool.end(), 21, A);
             f.symbolPoolSize += 21;
         }},
        {"rules short of the pool", [](RulesFields& f) { f.rules[0].replacementLength = 0; }},
        {"rules past the pool", [](RulesFields& f) { f.rules[0].replacementLength = 3; }},
        {"set counts short of the rules", [](RulesFields& f) { f.sets[1].ruleCount = 0; }},
        {"set counts past the rules", [](RulesFields& f) { f.sets[1].ruleCount = 2; }},
        {"negative set count of rules", [](RulesFields& f) { f.sets[0].ruleCount = -1; f.sets[1].ruleCount = 4; }},
        {"expansion zero", [](RulesFields& f) { f.sets[0].expansion = 0; }},
        {"direction not a boolean", [](RulesFields& f) { f.sets[0].leftToRight = 2; }},
        {"last rule cut", [](RulesFields& f) { f.rules.pop_back(); }},
        {"last set cut", [](RulesFields& f) { f.sets.pop_back(); f.rules.clear(); }},
        {"huge set count", [](RulesFields& f) { f.ruleSetCount = 0x7FFFFFFF; }},
        {"huge rule count", [](RulesFields& f) { f.ruleCount = 0x7FFFFFFF; f.sets[1].ruleCount = 0x7FFFFFFF - 2; }},
        {"class table damaged", [](RulesFields& f) { f.symbolClasses.count += 1; }},
        {"member table damaged", [](RulesFields& f) { f.classMembers.offsets[1] = 100; }},
    };
    for (const auto& [what, damage] : rows) {
        RulesFields f = rulesFields(sample());
        damage(f);
        CepTTSRules* r = load(f);
        EXPECT_EQ(r, nullptr) << what;
        CepTTSRules_Delete(r);
    }
    // No sets and no rules load.
    CepTTSRules* empty = load(withSets({}));
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(apply(empty, {A, B}), (Symbols{A, B}));
    CepTTSRules_Delete(empty);
}

TEST_F(TTSRules, EachAllocationFailureGivesNothing)
{
    WrittenTable table([&](BinFileWriter* w) { return write(w, rulesFields(sample())); });
    table.expectAllocationFailuresRefused(m_allocator, CepTTSRules_Load, CepTTSRules_Delete);

    CepTTSRules* r = load(sample());
    ASSERT_NE(r, nullptr);
    const Symbols in{B, A, 3, 5, A};
    const std::optional<Symbols> expected = apply(r, in);
    ASSERT_TRUE(expected);
    for (uint64_t n = 1;; ++n) {
        const size_t live = m_allocator.liveBlocks();
        const uint64_t failures = m_allocator.failures();
        m_allocator.failAt(m_allocator.calls() + n);
        const std::optional<Symbols> got = apply(r, in);
        m_allocator.failAt(0);
        if (m_allocator.failures() == failures) {
            EXPECT_EQ(got, expected);
            break;
        }
        EXPECT_FALSE(got) << "allocation " << n;
        EXPECT_EQ(m_allocator.liveBlocks(), live) << "allocation " << n;
    }
    CepTTSRules_Delete(r);
}

} // namespace
