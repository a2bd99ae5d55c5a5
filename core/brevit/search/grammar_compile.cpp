// Compilation of a grammar rule into one class-pair constraint: every terminal
// becomes a word class, every item a run of copies of its symbol's
// constraint, every alternative a sequence of its items.
//
// A rule's compilation and its parse check accept the same non-empty word
// sequences: an item whose symbol may derive the empty sequence compiles as
// if its minimum were 0 (a class-pair constraint cannot pass through a
// symbol without a word), a terminal of polarity 0 compiles to every active
// word it does not list, and an item {n, m} with n above m stands for exactly
// n repetitions.
#include "core/brevit/search/grammar.h"

#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/class_pair_constraint.h"
#include "core/brevit/search/constraint.h"
#include "core/brevit/search/grammar_tables.h"
#include "core/brevit/search/search_lexicon_calls.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* kTempName = "TEMP_NAME";
constexpr int32_t kClassCapacity = 50;
constexpr int32_t kTransitionCapacity = 100;

// Names of terminal classes: "00__ClassName" and the process-wide counter.
uint32_t intClassIndex = 0;

// The next class name no class of the manager holds yet (restored user state
// may hold names made by an earlier process).
void intClassName(const ClassManager* cm, char* name, size_t size)
{
    do {
        std::snprintf(name, size, "00__ClassName%u", intClassIndex++);
    } while (ClassManager_LookupName(cm, name, nullptr) != -1);
}

void deleteAll(Constraint** constraints, int32_t n)
{
    for (int32_t i = 0; i < n; ++i)
        if (constraints[i] != nullptr) {
            Constraint_Delete(constraints[i], 0);
            constraints[i] = nullptr;
        }
}

int compareActiveIds(const void* a, const void* b)
{
    return static_cast<int32_t>(*static_cast<const uint16_t*>(a)) - static_cast<int32_t>(*static_cast<const uint16_t*>(b));
}

// The class's members: the listed words, or for polarity 0 every active word
// not listed.
bool fillClass(const Grammar* g, int32_t t, ClassManager* cm, Voc* vocabulary, const char* name)
{
    const int32_t first = g->terminalWordOffsets[t];
    const int32_t count = g->terminalWordOffsets[t + 1] - first;
    const auto add = [&](uint16_t word) { return ClassManager_AddClassMember(cm, name, &word, 1, 0, 0) == 1; };
    if (g->terminalPolarity[t] == 1) {
        for (int32_t i = 0; i < count; ++i)
            if (!add(static_cast<uint16_t>(Voc_GetActiveId(vocabulary, g->words[first + i]))))
                return false;
        return true;
    }
    GrammarScratch<uint16_t> listed(count);
    for (int32_t i = 0; i < count; ++i)
        listed[i] = static_cast<uint16_t>(Voc_GetActiveId(vocabulary, g->words[first + i]));
    std::qsort(listed.data(), static_cast<size_t>(count), sizeof(uint16_t), compareActiveIds);
    // The vocabulary's limit is its highest active id in use, not one past
    // it: the limit itself is tried too (an id not in use is not mapped).
    const int32_t limit = Voc_GetActiveIdLimit(vocabulary);
    for (int32_t a = 0; a <= limit && a < 65534; ++a) {
        const auto word = static_cast<uint16_t>(a);
        if (Voc_IsActiveIdMapped(vocabulary, word) == 0 || std::binary_search(listed.data(), listed.data() + count, word))
            continue;
        if (!add(word))
            return false;
    }
    return true;
}

Constraint* compileTerminal(const Grammar* g, int32_t t, const char* constraintName, ClassManager* cm,
                            Voc* vocabulary)
{
    char name[32];
    intClassName(cm, name, sizeof name);
    const int32_t count = g->terminalWordOffsets[t + 1] - g->terminalWordOffsets[t];
    if (ClassManager_AddClass(cm, name, count, count, 0, 0, 0, 0) != 1)
        return nullptr;
    if (!fillClass(g, t, cm, vocabulary, name)) {
        ClassManager_RemoveClassMembers(cm, name);
        return nullptr;
    }
    const int32_t id = ClassManager_FindClass(cm, name);
    if (id == -1)
        return nullptr;
    Constraint* con = ClassPairConstraint_Create(constraintName, cm, 2, 2, 0);
    if (con == nullptr)
        return nullptr;
    if (ClassPairConstraint_AddTransition(con, 0, static_cast<uint32_t>(id), 0) != 1 ||
        ClassPairConstraint_AddTransition(con, static_cast<uint32_t>(id), 0, 0) != 1) {
        Constraint_Delete(con, 0);
        return nullptr;
    }
    return con;
}

// Copies, first end and optional flag of an item (s, lo, hi).
struct ItemShape {
    int32_t copies;
    int32_t firstEnd;
    bool unbounded;
    bool optional;
};

ItemShape itemShape(const Grammar* g, int32_t symbol, int32_t lo, int32_t hi)
{
    ItemShape shape;
    const bool exact = lo > hi;
    const int32_t least = Grammar_SymbolDerivesEmpty(g, symbol) == 1 ? 0 : lo;
    shape.unbounded = !exact && hi == kGrammarUnbounded;
    shape.optional = least == 0;
    shape.firstEnd = std::max(least, 1);
    if (exact)
        shape.copies = lo;
    else if (shape.unbounded)
        shape.copies = std::max(least, 1);
    else
        shape.copies = hi;
    return shape;
}

Constraint* compileItem(const Grammar* g, int32_t item, ClassManager* cm, Voc* vocabulary, bool* optional)
{
    const ItemShape shape = itemShape(g, g->itemSymbols[item], g->itemMinimum[item], g->itemMaximum[item]);
    *optional = shape.optional;
    GrammarScratch<Constraint*> copies(shape.copies);
    std::fill(copies.data(), copies.data() + shape.copies, nullptr);
    copies[0] = Grammar_CompileSymbol(g, g->itemSymbols[item], kTempName, cm, vocabulary);
    bool ok = copies[0] != nullptr;
    for (int32_t i = 1; ok && i < shape.copies; ++i) {
        copies[i] = ClassPairConstraint_CopyWithClassCopies(copies[0], kTempName);
        ok = copies[i] != nullptr;
    }
    if (ok && shape.unbounded)
        ok = ClassPairConstraint_LoopEndsToStarts(copies[shape.copies - 1]) == 1;
    Constraint* out = ok ? Grammar_CompileSequence(copies.data(), nullptr, kTempName, cm, shape.firstEnd,
                                                   shape.copies)
                         : nullptr;
    deleteAll(copies.data(), shape.copies);
    return out;
}

bool merge(Constraint* result, Constraint* alternative)
{
    return ClassPairConstraint_AddStartTransitionsFrom(result, alternative, 0, 0, 0) == 1 &&
           ClassPairConstraint_AddEndTransitionsFrom(result, alternative, 0, 0, 0) == 1 &&
           ClassPairConstraint_AddTransitionsFrom(result, alternative, 0) == 1;
}

Constraint* compileRule(const Grammar* g, int32_t r, const char* constraintName, ClassManager* cm, Voc* vocabulary)
{
    Constraint* result = ClassPairConstraint_Create(constraintName, cm, kClassCapacity, kTransitionCapacity, 0);
    if (result == nullptr)
        return nullptr;
    const int32_t firstAlternative = g->ruleAlternativeOffsets[r];
    const int32_t lastAlternative = g->ruleAlternativeOffsets[r + 1];
    int32_t longest = 0;
    for (int32_t a = firstAlternative; a < lastAlternative; ++a)
        longest = std::max(longest, g->alternativeItemOffsets[a + 1] - g->alternativeItemOffsets[a]);
    GrammarScratch<Constraint*> items(longest);
    GrammarScratch<uint8_t> optional(longest);
    bool ok = true;
    for (int32_t a = firstAlternative; ok && a < lastAlternative; ++a) {
        const int32_t first = g->alternativeItemOffsets[a];
        const int32_t k = g->alternativeItemOffsets[a + 1] - first;
        std::fill(items.data(), items.data() + k, nullptr);
        for (int32_t i = 0; ok && i < k; ++i) {
            bool flag = false;
            items[i] = compileItem(g, first + i, cm, vocabulary, &flag);
            optional[i] = flag ? 1 : 0;
            ok = items[i] != nullptr;
        }
        Constraint* alternative =
            ok ? Grammar_CompileSequence(items.data(), optional.data(), kTempName, cm, k, k) : nullptr;
        deleteAll(items.data(), k);
        ok = alternative != nullptr && merge(result, alternative);
        if (alternative != nullptr)
            Constraint_Delete(alternative, 0);
    }
    if (!ok) {
        Constraint_Delete(result, 0);
        return nullptr;
    }
    return result;
}

} // namespace

int32_t Grammar_SymbolDerivesEmpty(const Grammar* g, int32_t symbol)
{
    if (symbol < 0 || symbol >= g->ruleCount)
        return 0;
    // Rules only refer to rules that cannot reach them, so passes in which
    // rules become empty-deriving settle after at most one pass per rule.
    GrammarScratch<uint8_t> empty(g->ruleCount);
    std::memset(empty.data(), 0, static_cast<size_t>(g->ruleCount));
    for (bool changed = true; changed && empty[symbol] == 0;) {
        changed = false;
        for (int32_t r = 0; r < g->ruleCount; ++r) {
            if (empty[r] != 0)
                continue;
            for (int32_t a = g->ruleAlternativeOffsets[r]; empty[r] == 0 && a < g->ruleAlternativeOffsets[r + 1]; ++a) {
                bool all = true;
                for (int32_t i = g->alternativeItemOffsets[a]; all && i < g->alternativeItemOffsets[a + 1]; ++i)
                    all = g->itemMinimum[i] == 0 || (g->itemSymbols[i] >= 0 && empty[g->itemSymbols[i]] != 0);
                if (all) {
                    empty[r] = 1;
                    changed = true;
                }
            }
        }
    }
    return empty[symbol];
}

Constraint* Grammar_CompileSequence(Constraint* const* c, const uint8_t* optional, const char* name,
                                    ClassManager* cm, int32_t m, int32_t n)
{
    if (n < 1)
        return nullptr;
    Constraint* out = ClassPairConstraint_Create(name, cm, kClassCapacity, kTransitionCapacity, 0);
    if (out == nullptr)
        return nullptr;
    bool ok = ClassPairConstraint_AddStartTransitionsFrom(out, c[0], 0, 0, 0) == 1;
    for (int32_t i = std::max(m - 1, 0); ok && i < n; ++i)
        ok = ClassPairConstraint_AddEndTransitionsFrom(out, c[i], 0, 0, 0) == 1;
    for (int32_t i = 1; ok && i < n; ++i)
        ok = ClassPairConstraint_AddEndToStartTransitions(out, c[i - 1], c[i], 0, 0) == 1;
    for (int32_t i = 0; ok && i < n; ++i)
        ok = ClassPairConstraint_AddTransitionsFrom(out, c[i], 0) == 1;
    if (optional != nullptr && n >= 2) {
        // Leading optional elements: the start passes over them.
        if (optional[0] != 0)
            for (int32_t k = 1; ok && k < n; ++k) {
                ok = ClassPairConstraint_AddStartTransitionsFrom(out, c[k], 0, 0, 0) == 1;
                if (optional[k] == 0)
                    break;
            }
        for (int32_t j = 1; ok && j < n; ++j) {
            if (optional[j] == 0)
                continue;
            for (int32_t k = j + 1; ok && k < n; ++k) {
                ok = ClassPairConstraint_AddEndToStartTransitions(out, c[j - 1], c[k], 0, 0) == 1;
                if (optional[k] == 0)
                    break;
            }
            bool rest = true;
            for (int32_t k = j; rest && k < n; ++k)
                rest = optional[k] != 0;
            if (ok && rest)
                ok = ClassPairConstraint_AddEndTransitionsFrom(out, c[j - 1], 0, 0, 0) == 1;
        }
    }
    if (!ok) {
        Constraint_Delete(out, 0);
        return nullptr;
    }
    return out;
}

Constraint* Grammar_CompileSymbol(const Grammar* g, int32_t symbol, const char* constraintName, ClassManager* cm,
                                  Voc* vocabulary)
{
    if (symbol < 0) {
        const int32_t t = -1 - symbol;
        return t < g->terminalCount ? compileTerminal(g, t, constraintName, cm, vocabulary) : nullptr;
    }
    return symbol < g->ruleCount ? compileRule(g, symbol, constraintName, cm, vocabulary) : nullptr;
}

Constraint* Grammar_CompileRule(const Grammar* g, const char* ruleName, const char* constraintName,
                                ClassManager* cm, Voc* vocabulary)
{
    if (g == nullptr || ruleName == nullptr)
        return nullptr;
    const int32_t t = Grammar_FindName(g->terminalNames, g->terminalNameOffsets, g->terminalCount, ruleName);
    if (t >= 0)
        return Grammar_CompileSymbol(g, grammarTerminalSymbol(t), constraintName, cm, vocabulary);
    const int32_t r = Grammar_FindName(g->ruleNames, g->ruleNameOffsets, g->ruleCount, ruleName);
    return r >= 0 ? Grammar_CompileSymbol(g, r, constraintName, cm, vocabulary) : nullptr;
}
