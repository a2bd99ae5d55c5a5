// The run-time grammar's object and its building operations.
#include "core/brevit/search/grammar.h"

#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_ctype.h"
#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_latin1.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/runtime/dvk_unicode_str.h"
#include "core/brevit/search/grammar_tables.h"
#include "core/brevit/search/search_lexicon_calls.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

struct DigitRule {
    const char* name;
    const char* text;
};

// The digit terminals added with parameter word 615, each resolved through
// the vocabulary's spellings.
const DigitRule sTRules[16] = {
    {"D", "0 1 2 3 4 5 6 7 8 9"}, {"Not0", "1 2 3 4 5 6 7 8 9"}, {"Not1", "0 2 3 4 5 6 7 8 9"},
    {"Not01", "2 3 4 5 6 7 8 9"},  {"Not012", "3 4 5 6 7 8 9"},   {"+", "+"},
    {"0", "0"}, {"1", "1"}, {"2", "2"}, {"3", "3"}, {"4", "4"}, {"5", "5"}, {"6", "6"}, {"7", "7"}, {"8", "8"},
    {"9", "9"},
};

constexpr int32_t kDigitRuleRoom = 128;

bool isSpace(char c) { return DVKCtype_Is(static_cast<unsigned char>(c), kDVKCtypeSpace); }

bool isNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' || c == '-' ||
           c == '_';
}

int32_t findTerminal(const Grammar* g, const char* name)
{
    return Grammar_FindName(g->terminalNames, g->terminalNameOffsets, g->terminalCount, name);
}

int32_t findRule(const Grammar* g, const char* name)
{
    return Grammar_FindName(g->ruleNames, g->ruleNameOffsets, g->ruleCount, name);
}

int32_t wordCount(const Grammar* g, int32_t t) { return g->terminalWordOffsets[t + 1] - g->terminalWordOffsets[t]; }

// Sorted, repeats dropped; the new count.
int32_t sortUnique(uint32_t* ids, int32_t count)
{
    if (count <= 0)
        return 0;
    std::qsort(ids, static_cast<size_t>(count), sizeof(uint32_t), cmpVocWordId);
    int32_t n = 1;
    for (int32_t i = 1; i < count; ++i)
        if (ids[i] != ids[n - 1])
            ids[n++] = ids[i];
    return n;
}

// A name and its NUL appended to a pool: the new end offset, or -1 when it
// does not fit the pool or a 16-bit offset.
int32_t nameEnd(int32_t start, const char* name, int32_t poolSize)
{
    const size_t length = std::strlen(name);
    if (static_cast<int64_t>(start) + static_cast<int64_t>(length) >= poolSize ||
        static_cast<int64_t>(start) + static_cast<int64_t>(length) + 1 > kGrammarMaxOffset)
        return -1;
    return start + static_cast<int32_t>(length) + 1;
}

// Removes entry i of an offset table of entries + 1 values whose entries at
// and after i + 1 move down by size; the last entry stays the end.
void removeOffset(int16_t* offsets, int32_t entries, int32_t i, int32_t size)
{
    for (int32_t j = i; j < entries; ++j)
        offsets[j] = static_cast<int16_t>(offsets[j + 1] - size);
    offsets[entries] = static_cast<int16_t>(offsets[entries] - size);
}

// Removes [from, to) of a pool whose used part ends at used, zeroing the
// freed tail when later entries moved.
template <typename T>
void removeRange(T* pool, int32_t from, int32_t to, int32_t used)
{
    if (to >= used)
        return;
    std::memmove(pool + from, pool + to, static_cast<size_t>(used - to) * sizeof(T));
    std::memset(pool + used - (to - from), 0, static_cast<size_t>(to - from) * sizeof(T));
}

bool referenced(const Grammar* g, int32_t symbol)
{
    const int32_t items = grammarItemsUsed(g);
    for (int32_t i = 0; i < items; ++i)
        if (g->itemSymbols[i] == symbol)
            return true;
    return false;
}

int32_t addBuiltIns(Grammar* g)
{
    const int32_t dot = Grammar_AddTerminal(g, ".", 0, nullptr, 0);
    if (BrevitParam_Word(kBrevitParamTerminalRules) == 0)
        return dot;
    return dot == kGrammarDone && Grammar_AddDigitRules(g) == 1 ? 1 : 0;
}

bool builtInsAdded(Grammar* g)
{
    const int32_t result = addBuiltIns(g);
    return BrevitParam_Word(kBrevitParamTerminalRules) == 0 ? result == kGrammarDone : result == 1;
}

} // namespace

int cmpVocWordId(const void* a, const void* b)
{
    const uint32_t x = *static_cast<const uint32_t*>(a);
    const uint32_t y = *static_cast<const uint32_t*>(b);
    return x < y ? -1 : (x > y ? 1 : 0);
}

uint32_t grammarNormaliseId(const Voc* vocabulary, uint32_t id)
{
    return Voc_MasterIdToVocId(vocabulary, Voc_GetMasterId(vocabulary, id));
}

bool grammarTerminalLists(const Grammar* g, int32_t terminal, uint32_t word)
{
    const uint32_t* first = g->words + g->terminalWordOffsets[terminal];
    const uint32_t* last = g->words + g->terminalWordOffsets[terminal + 1];
    return std::binary_search(first, last, word);
}

bool grammarTerminalMatches(const Grammar* g, int32_t terminal, uint32_t word)
{
    return grammarTerminalLists(g, terminal, word) == (g->terminalPolarity[terminal] == 1);
}

bool grammarAllocateTables(Grammar* g)
{
    const auto bytes = [](int32_t count, uint32_t size) { return static_cast<uint32_t>(std::max(count, 1)) * size; };
    g->terminalNames = static_cast<char*>(DVKMem_Calloc(bytes(g->terminalNamePoolSize, 1)));
    g->terminalNameOffsets = static_cast<int16_t*>(DVKMem_Calloc(bytes(g->terminalCapacity + 1, 2)));
    g->terminalWordOffsets = static_cast<int16_t*>(DVKMem_Calloc(bytes(g->terminalCapacity + 1, 2)));
    g->terminalPolarity = static_cast<int8_t*>(DVKMem_Calloc(bytes(g->terminalCapacity, 1)));
    g->words = static_cast<uint32_t*>(DVKMem_Calloc(bytes(g->wordCapacity, 4)));
    g->ruleNames = static_cast<char*>(DVKMem_Calloc(bytes(g->ruleNamePoolSize, 1)));
    g->ruleNameOffsets = static_cast<int16_t*>(DVKMem_Calloc(bytes(g->ruleCapacity + 1, 2)));
    g->ruleAlternativeOffsets = static_cast<int16_t*>(DVKMem_Calloc(bytes(g->ruleCapacity + 1, 2)));
    g->alternativeItemOffsets = static_cast<int16_t*>(DVKMem_Calloc(bytes(g->alternativeCapacity + 1, 2)));
    g->itemSymbols = static_cast<int16_t*>(DVKMem_Calloc(bytes(g->itemCapacity, 2)));
    g->itemMinimum = static_cast<uint8_t*>(DVKMem_Calloc(bytes(g->itemCapacity, 1)));
    g->itemMaximum = static_cast<uint8_t*>(DVKMem_Calloc(bytes(g->itemCapacity, 1)));
    if (g->terminalNames != nullptr && g->terminalNameOffsets != nullptr && g->terminalWordOffsets != nullptr &&
        g->terminalPolarity != nullptr && g->words != nullptr && g->ruleNames != nullptr &&
        g->ruleNameOffsets != nullptr && g->ruleAlternativeOffsets != nullptr &&
        g->alternativeItemOffsets != nullptr && g->itemSymbols != nullptr && g->itemMinimum != nullptr &&
        g->itemMaximum != nullptr)
        return true;
    grammarFreeTables(g);
    return false;
}

void grammarFreeTables(Grammar* g)
{
    void* arrays[] = {g->terminalNames, g->terminalNameOffsets, g->terminalWordOffsets, g->terminalPolarity,
                      g->words, g->ruleNames, g->ruleNameOffsets, g->ruleAlternativeOffsets,
                      g->alternativeItemOffsets, g->itemSymbols, g->itemMinimum, g->itemMaximum};
    for (void* a : arrays)
        if (a != nullptr)
            DVKMem_Free(a);
    g->terminalNames = g->ruleNames = nullptr;
    g->terminalNameOffsets = g->terminalWordOffsets = g->ruleNameOffsets = nullptr;
    g->ruleAlternativeOffsets = g->alternativeItemOffsets = g->itemSymbols = nullptr;
    g->terminalPolarity = nullptr;
    g->words = nullptr;
    g->itemMinimum = g->itemMaximum = nullptr;
}

Grammar* Grammar_Create(Voc* vocabulary, int32_t capacity, int32_t wordCapacity)
{
    if (capacity < 0 || capacity > kGrammarMaxCapacity || wordCapacity < 0 || wordCapacity > kGrammarMaxWordCapacity)
        return nullptr;
    auto* g = static_cast<Grammar*>(DVKMem_CallocOrThrow(sizeof(Grammar)));
    g->vocabulary = vocabulary;
    g->terminalCapacity = g->ruleCapacity = capacity;
    g->terminalNamePoolSize = g->ruleNamePoolSize = 16 * capacity;
    g->wordCapacity = wordCapacity;
    g->alternativeCapacity = 4 * capacity;
    g->itemCapacity = 8 * capacity;
    if (!grammarAllocateTables(g)) {
        DVKMem_Free(g);
        DVKErr_Raise(__FILE__, __LINE__, "out of memory making a grammar of capacity %d", capacity);
    }
    // The scratch space of the additions may raise: the grammar goes with it.
    struct Guard {
        Grammar* g;
        ~Guard() { Grammar_Delete(g); }
    } guard{g};
    if (!builtInsAdded(g))
        return nullptr;
    guard.g = nullptr;
    return g;
}

void Grammar_Delete(Grammar* grammar)
{
    if (grammar == nullptr)
        return;
    grammarFreeTables(grammar);
    DVKMem_Free(grammar);
}

int32_t Grammar_Clear(Grammar* g)
{
    const auto zero = [](void* p, int32_t count, size_t size) {
        std::memset(p, 0, static_cast<size_t>(std::max(count, 0)) * size);
    };
    zero(g->terminalNames, g->terminalNamePoolSize, 1);
    zero(g->terminalNameOffsets, g->terminalCapacity + 1, 2);
    zero(g->terminalWordOffsets, g->terminalCapacity + 1, 2);
    zero(g->terminalPolarity, g->terminalCapacity, 1);
    zero(g->words, g->wordCapacity, 4);
    zero(g->ruleNames, g->ruleNamePoolSize, 1);
    zero(g->ruleNameOffsets, g->ruleCapacity + 1, 2);
    zero(g->ruleAlternativeOffsets, g->ruleCapacity + 1, 2);
    zero(g->alternativeItemOffsets, g->alternativeCapacity + 1, 2);
    zero(g->itemSymbols, g->itemCapacity, 2);
    zero(g->itemMinimum, g->itemCapacity, 1);
    zero(g->itemMaximum, g->itemCapacity, 1);
    g->terminalCount = 0;
    g->ruleCount = 0;
    return addBuiltIns(g);
}

int32_t Grammar_AddDigitRules(Grammar* g)
{
    uint32_t ids[kDigitRuleRoom];
    for (const DigitRule& row : sTRules) {
        const int32_t units = static_cast<int32_t>(std::strlen(row.text)) + 1;
        auto* text = static_cast<uint16_t*>(DVKMem_Malloc(static_cast<uint32_t>(units) * 2u));
        if (text == nullptr)
            return 0;
        DVKUnicode_FromLatin1(row.text, units, text);
        int32_t count = 0;
        uint16_t* next = nullptr;
        for (uint16_t* token = DVKUnicode_NextToken(text, kDVKUniWhiteSpace, &next); token != nullptr;
             token = DVKUnicode_NextToken(nullptr, kDVKUniWhiteSpace, &next)) {
            const int32_t room = kDigitRuleRoom - count;
            if (room <= 0)
                break;
            const int32_t found = Voc_GetMatches(g->vocabulary, token, 1, 1, 0, room, ids + count);
            count += std::clamp(found, 0, room);
        }
        DVKMem_Free(text);
        if (count == 0)
            continue;
        if (Grammar_AddTerminal(g, row.name, count, ids, 1) != kGrammarDone)
            return 0;
    }
    return 1;
}

int32_t Grammar_FindName(const char* pool, const int16_t* offsets, int32_t count, const char* name)
{
    for (int32_t i = 0; i < count; ++i)
        if (std::strcmp(pool + offsets[i], name) == 0)
            return i;
    return -1;
}

int32_t Grammar_HasRule(const Grammar* g, const char* name)
{
    return name != nullptr && (findTerminal(g, name) >= 0 || findRule(g, name) >= 0) ? 1 : 0;
}

void Grammar_PrintRules(const Grammar*) {}

int32_t Grammar_AddTerminal(Grammar* g, const char* name, int32_t count, const uint32_t* ids, int32_t polarity)
{
    if (name == nullptr || findRule(g, name) >= 0 || (count >= 1 && ids == nullptr))
        return kGrammarRefused;
    count = std::max(count, 0);
    GrammarScratch<uint32_t> list(count);
    for (int32_t i = 0; i < count; ++i) {
        list[i] = grammarNormaliseId(g->vocabulary, ids[i]);
        if (list[i] == 0xFFFFFFFFu)
            return kGrammarRefused;
    }
    count = sortUnique(list.data(), count);
    const int8_t pol = polarity != 0 ? 1 : 0;

    const int32_t existing = findTerminal(g, name);
    if (existing >= 0) {
        const bool same = wordCount(g, existing) == count && g->terminalPolarity[existing] == pol &&
                          std::equal(list.data(), list.data() + count, g->words + g->terminalWordOffsets[existing]);
        return same ? kGrammarDone : kGrammarRefused;
    }

    const int32_t t = g->terminalCount;
    const int32_t wordStart = grammarWordsUsed(g);
    if (t >= g->terminalCapacity || t > kGrammarMaxOffset)
        return kGrammarFull;
    if (static_cast<int64_t>(wordStart) + count > g->wordCapacity || wordStart + count > kGrammarMaxOffset)
        return kGrammarFull;
    const int32_t nameStart = grammarTerminalNamesUsed(g);
    const int32_t end = nameEnd(nameStart, name, g->terminalNamePoolSize);
    if (end < 0)
        return kGrammarFull;

    std::memcpy(g->terminalNames + nameStart, name, static_cast<size_t>(end - nameStart));
    std::memcpy(g->words + wordStart, list.data(), static_cast<size_t>(count) * 4u);
    // Entries past the used count follow the end.
    for (int32_t j = t + 1; j <= g->terminalCapacity; ++j) {
        g->terminalNameOffsets[j] = static_cast<int16_t>(end);
        g->terminalWordOffsets[j] = static_cast<int16_t>(wordStart + count);
    }
    g->terminalPolarity[t] = pol;
    g->terminalCount = t + 1;
    return kGrammarDone;
}

int32_t Grammar_AddTerminalU(Grammar* g, const char* name, int32_t count, const uint32_t* ids)
{
    return Grammar_AddTerminal(g, name, count, ids, 1);
}

int32_t Grammar_AddTerminalExpression(Grammar* g, const char* name, const char* expression)
{
    if (name == nullptr || expression == nullptr)
        return kGrammarRefused;
    // Tokens at blank, carriage return, tab, line feed, form feed, vertical tab.
    const char* token[4] = {};
    int32_t length[4] = {};
    int32_t tokens = 0;
    for (const char* p = expression; *p != '\0';) {
        if (std::strchr(" \r\t\n\f\v", *p) != nullptr) {
            ++p;
            continue;
        }
        const char* start = p;
        while (*p != '\0' && std::strchr(" \r\t\n\f\v", *p) == nullptr)
            ++p;
        if (tokens == 4)
            return kGrammarRefused;
        token[tokens] = start;
        length[tokens] = static_cast<int32_t>(p - start);
        ++tokens;
    }
    const auto is = [&](int32_t i, const char* text) {
        return length[i] == static_cast<int32_t>(std::strlen(text)) && std::strncmp(token[i], text, length[i]) == 0;
    };
    const auto operand = [&](int32_t i) {
        // Operands are terminal names; a name longer than any pool is no name.
        char buffer[256];
        if (length[i] >= static_cast<int32_t>(sizeof buffer))
            return -1;
        std::memcpy(buffer, token[i], static_cast<size_t>(length[i]));
        buffer[length[i]] = '\0';
        return findTerminal(g, buffer);
    };

    char op = 0;
    int32_t a = -1;
    int32_t b = -1;
    if (tokens == 3 && (is(1, "~") || is(1, "+") || is(1, "^"))) {
        op = token[1][0];
        a = operand(0);
        b = operand(2);
        if (a < 0)
            return kGrammarRefused;
    } else if (tokens == 2 && is(0, "~")) {
        op = '!';
        b = operand(1);
    } else {
        return kGrammarRefused;
    }
    if (b < 0)
        return kGrammarRefused;

    const auto combine = [op](bool inA, bool inB) {
        switch (op) {
        case '+':
            return inA || inB;
        case '^':
            return inA && inB;
        case '~':
            return inA && !inB;
        default:   // "~ B": every word not in B
            return !inB;
        }
    };
    // An absent A is the empty set: no words, polarity 1.
    const uint32_t* wa = a >= 0 ? g->words + g->terminalWordOffsets[a] : nullptr;
    const int32_t na = a >= 0 ? wordCount(g, a) : 0;
    const bool pa = a >= 0 ? g->terminalPolarity[a] == 1 : true;
    const uint32_t* wb = g->words + g->terminalWordOffsets[b];
    const int32_t nb = wordCount(g, b);
    const bool pb = g->terminalPolarity[b] == 1;
    // Words neither operand lists are in the result as one: that gives the
    // polarity; the list then holds the listed words that differ from it.
    const bool unlisted = combine(!pa, !pb);
    GrammarScratch<uint32_t> out(na + nb);
    int32_t n = 0;
    int32_t i = 0;
    int32_t j = 0;
    while (i < na || j < nb) {
        uint32_t w;
        bool la = false;
        bool lb = false;
        if (j >= nb || (i < na && wa[i] < wb[j])) {
            w = wa[i++];
            la = true;
        } else if (i >= na || wb[j] < wa[i]) {
            w = wb[j++];
            lb = true;
        } else {
            w = wa[i++];
            ++j;
            la = lb = true;
        }
        if (combine(la == pa, lb == pb) != unlisted)
            out[n++] = w;
    }
    return Grammar_AddTerminal(g, name, n, out.data(), unlisted ? 0 : 1);
}

int32_t Grammar_NextItem(const char* text, GrammarItemText* item, const char** next)
{
    const char* p = text;
    while (isSpace(*p))
        ++p;
    item->name = p;
    item->length = 0;
    item->minimum = item->maximum = 1;
    *next = p;
    if (*p == '\0')
        return 0;
    const auto malformed = [&]() {
        while (*p != '\0' && !isSpace(*p))
            ++p;
        *next = p;
        return kGrammarRefused;
    };
    if (*p == '.' && (p[1] == '{' || p[1] == '\0' || isSpace(p[1]))) {
        ++p;
    } else {
        while (isNameChar(*p))
            ++p;
    }
    item->length = static_cast<int32_t>(p - item->name);
    if (item->length == 0)
        return malformed();
    if (*p == '{') {
        ++p;
        const auto number = [&](int32_t* value) {
            if (*p < '0' || *p > '9')
                return false;
            int32_t v = 0;
            while (*p >= '0' && *p <= '9') {
                v = std::min(v * 10 + (*p - '0'), 1000);
                ++p;
            }
            *value = v;
            return v < kGrammarUnbounded;
        };
        int32_t lo = 0;
        int32_t hi = 0;
        if (*p == '*' || *p == '+' || *p == '?') {
            lo = *p == '+' ? 1 : 0;
            hi = *p == '?' ? 1 : kGrammarUnbounded;
            ++p;
        } else {
            if (!number(&lo))
                return malformed();
            if (*p == ',') {
                ++p;
                if (*p == '}') {
                    hi = kGrammarUnbounded;
                } else if (!number(&hi) || hi == 0) {
                    return malformed();
                }
            } else {
                if (lo == 0)
                    return malformed();
                hi = lo;
            }
        }
        if (*p != '}')
            return malformed();
        ++p;
        item->minimum = lo;
        item->maximum = hi;
    }
    if (*p != '\0' && !isSpace(*p))
        return malformed();
    *next = p;
    return 1;
}

int32_t Grammar_ReachesRule(const Grammar* g, int32_t from, int32_t target)
{
    if (from == target)
        return 1;
    if (from < 0 || from >= g->ruleCount)
        return 0;
    // Depth-first over the rules the items refer to, each entered once.
    GrammarScratch<uint8_t> seen(g->ruleCount);
    GrammarScratch<int32_t> stack(g->ruleCount);
    std::memset(seen.data(), 0, static_cast<size_t>(g->ruleCount));
    int32_t depth = 0;
    stack[depth++] = from;
    seen[from] = 1;
    while (depth > 0) {
        const int32_t r = stack[--depth];
        const int32_t first = g->alternativeItemOffsets[g->ruleAlternativeOffsets[r]];
        const int32_t last = g->alternativeItemOffsets[g->ruleAlternativeOffsets[r + 1]];
        for (int32_t i = first; i < last; ++i) {
            const int32_t s = g->itemSymbols[i];
            if (s < 0 || s >= g->ruleCount)
                continue;
            if (s == target)
                return 1;
            if (seen[s] == 0) {
                seen[s] = 1;
                stack[depth++] = s;
            }
        }
    }
    return 0;
}

int32_t Grammar_AddNonTerminal(Grammar* g, const char* name, const char* text)
{
    if (name == nullptr || text == nullptr)
        return kGrammarRefused;
    GrammarItemText item;
    const char* p = text;
    int32_t items = 0;
    for (int32_t r; (r = Grammar_NextItem(p, &item, &p)) != 0; ++items)
        if (r != 1)
            return kGrammarRefused;
    if (items == 0 || findTerminal(g, name) >= 0)
        return kGrammarRefused;

    const int32_t existing = findRule(g, name);
    const int32_t rule = existing >= 0 ? existing : g->ruleCount;
    if (existing < 0 && (rule >= g->ruleCapacity || rule > kGrammarMaxOffset))
        return kGrammarFull;

    GrammarScratch<int16_t> symbols(items);
    GrammarScratch<uint8_t> minima(items);
    GrammarScratch<uint8_t> maxima(items);
    p = text;
    for (int32_t k = 0; k < items; ++k) {
        Grammar_NextItem(p, &item, &p);
        char buffer[256];
        if (item.length >= static_cast<int32_t>(sizeof buffer))
            return kGrammarRefused;
        std::memcpy(buffer, item.name, static_cast<size_t>(item.length));
        buffer[item.length] = '\0';
        const int32_t t = findTerminal(g, buffer);
        const int32_t r = t >= 0 ? -1 : findRule(g, buffer);
        if (t < 0 && r < 0)
            return kGrammarRefused;
        if (r >= 0 && existing >= 0 && Grammar_ReachesRule(g, r, existing) == 1)
            return kGrammarRefused;
        symbols[k] = static_cast<int16_t>(t >= 0 ? grammarTerminalSymbol(t) : r);
        minima[k] = static_cast<uint8_t>(item.minimum);
        maxima[k] = static_cast<uint8_t>(item.maximum);
    }

    int32_t nameStart = 0;
    int32_t nameStop = 0;
    if (existing < 0) {
        nameStart = grammarRuleNamesUsed(g);
        nameStop = nameEnd(nameStart, name, g->ruleNamePoolSize);
        if (nameStop < 0)
            return kGrammarFull;
    } else {
        for (int32_t a = g->ruleAlternativeOffsets[rule]; a < g->ruleAlternativeOffsets[rule + 1]; ++a) {
            const int32_t first = g->alternativeItemOffsets[a];
            if (g->alternativeItemOffsets[a + 1] - first != items)
                continue;
            bool same = true;
            for (int32_t k = 0; same && k < items; ++k)
                same = g->itemSymbols[first + k] == symbols[k] && g->itemMinimum[first + k] == minima[k] &&
                       g->itemMaximum[first + k] == maxima[k];
            if (same)
                return kGrammarDone;
        }
    }

    const int32_t alternatives = grammarAlternativesUsed(g);
    const int32_t used = grammarItemsUsed(g);
    if (alternatives + 1 > g->alternativeCapacity || alternatives + 1 > kGrammarMaxOffset ||
        used + items > g->itemCapacity || used + items > kGrammarMaxOffset)
        return kGrammarFull;

    if (existing < 0) {
        std::memcpy(g->ruleNames + nameStart, name, static_cast<size_t>(nameStop - nameStart));
        for (int32_t j = rule + 1; j <= g->ruleCapacity; ++j) {
            g->ruleNameOffsets[j] = static_cast<int16_t>(nameStop);
            g->ruleAlternativeOffsets[j] = static_cast<int16_t>(alternatives);
        }
        g->ruleCount = rule + 1;
    }
    // The new alternative goes after the rule's last one; later alternatives
    // and their items move up.
    const int32_t at = g->ruleAlternativeOffsets[rule + 1];
    const int32_t itemAt = g->alternativeItemOffsets[at];
    std::memmove(g->itemSymbols + itemAt + items, g->itemSymbols + itemAt, static_cast<size_t>(used - itemAt) * 2u);
    std::memmove(g->itemMinimum + itemAt + items, g->itemMinimum + itemAt, static_cast<size_t>(used - itemAt));
    std::memmove(g->itemMaximum + itemAt + items, g->itemMaximum + itemAt, static_cast<size_t>(used - itemAt));
    for (int32_t k = 0; k < items; ++k) {
        g->itemSymbols[itemAt + k] = symbols[k];
        g->itemMinimum[itemAt + k] = minima[k];
        g->itemMaximum[itemAt + k] = maxima[k];
    }
    for (int32_t a = g->alternativeCapacity; a > at; --a)
        g->alternativeItemOffsets[a] = static_cast<int16_t>(g->alternativeItemOffsets[a - 1] + items);
    for (int32_t j = rule + 1; j <= g->ruleCapacity; ++j)
        g->ruleAlternativeOffsets[j] = static_cast<int16_t>(g->ruleAlternativeOffsets[j] + 1);
    return kGrammarDone;
}

int32_t Grammar_ClearRule(Grammar* g, const char* name)
{
    if (name == nullptr)
        return 0;
    const int32_t items = grammarItemsUsed(g);
    const int32_t t = findTerminal(g, name);
    if (t >= 0) {
        if (referenced(g, grammarTerminalSymbol(t)))
            return 0;
        const int32_t nameFrom = g->terminalNameOffsets[t];
        const int32_t nameTo = g->terminalNameOffsets[t + 1];
        const int32_t wordFrom = g->terminalWordOffsets[t];
        const int32_t wordTo = g->terminalWordOffsets[t + 1];
        removeRange(g->terminalNames, nameFrom, nameTo, grammarTerminalNamesUsed(g));
        removeRange(g->words, wordFrom, wordTo, grammarWordsUsed(g));
        removeOffset(g->terminalNameOffsets, g->terminalCapacity, t, nameTo - nameFrom);
        removeOffset(g->terminalWordOffsets, g->terminalCapacity, t, wordTo - wordFrom);
        std::memmove(g->terminalPolarity + t, g->terminalPolarity + t + 1,
                     static_cast<size_t>(g->terminalCapacity - t - 1));
        g->terminalPolarity[g->terminalCapacity - 1] = 0;
        g->terminalCount -= 1;
        for (int32_t i = 0; i < items; ++i)
            if (g->itemSymbols[i] < grammarTerminalSymbol(t))
                g->itemSymbols[i] = static_cast<int16_t>(g->itemSymbols[i] + 1);
        return 1;
    }
    const int32_t r = findRule(g, name);
    if (r < 0 || referenced(g, r))
        return 0;
    const int32_t nameFrom = g->ruleNameOffsets[r];
    const int32_t nameTo = g->ruleNameOffsets[r + 1];
    const int32_t altFrom = g->ruleAlternativeOffsets[r];
    const int32_t altTo = g->ruleAlternativeOffsets[r + 1];
    const int32_t itemFrom = g->alternativeItemOffsets[altFrom];
    const int32_t itemTo = g->alternativeItemOffsets[altTo];
    const int32_t removedAlternatives = altTo - altFrom;
    const int32_t removedItems = itemTo - itemFrom;
    removeRange(g->ruleNames, nameFrom, nameTo, grammarRuleNamesUsed(g));
    removeRange(g->itemSymbols, itemFrom, itemTo, items);
    removeRange(g->itemMinimum, itemFrom, itemTo, items);
    removeRange(g->itemMaximum, itemFrom, itemTo, items);
    // Alternative item offsets lose the rule's entries; the tail keeps the end.
    const int32_t entries = g->alternativeCapacity + 1;
    for (int32_t a = altFrom; a < entries; ++a) {
        const int32_t source = a + removedAlternatives;
        const int32_t value = source < entries ? g->alternativeItemOffsets[source] : g->alternativeItemOffsets[entries - 1];
        g->alternativeItemOffsets[a] = static_cast<int16_t>(value - removedItems);
    }
    removeOffset(g->ruleNameOffsets, g->ruleCapacity, r, nameTo - nameFrom);
    removeOffset(g->ruleAlternativeOffsets, g->ruleCapacity, r, removedAlternatives);
    g->ruleCount -= 1;
    for (int32_t i = 0; i < items - removedItems; ++i)
        if (g->itemSymbols[i] > r)
            g->itemSymbols[i] = static_cast<int16_t>(g->itemSymbols[i] - 1);
    return 1;
}

uint32_t Grammar_ComputeCRC(const Grammar* g)
{
    uint32_t crc = 0xFFFFFFFFu;
    if (g == nullptr)
        return crc;
    const auto value = [&crc](int32_t v) { crc = DVKCrc_AddValue(static_cast<uint32_t>(v), 4, crc); };
    value(g->terminalCapacity);
    value(g->terminalCount);
    value(g->terminalNamePoolSize);
    crc = DVKCrc_AddArray(g->terminalNames, 1, g->terminalNamePoolSize, crc);
    crc = DVKCrc_AddArray(g->terminalNameOffsets, 2, g->terminalCapacity, crc);
    crc = DVKCrc_AddArray(g->terminalWordOffsets, 2, g->terminalCapacity, crc);
    value(g->wordCapacity);
    crc = DVKCrc_AddArray(g->words, 4, g->wordCapacity, crc);
    value(g->ruleCount);
    value(g->ruleCapacity);
    value(g->ruleNamePoolSize);
    crc = DVKCrc_AddArray(g->ruleNames, 1, g->ruleNamePoolSize, crc);
    value(g->alternativeCapacity);
    crc = DVKCrc_AddArray(g->alternativeItemOffsets, 2, g->alternativeCapacity, crc);
    value(g->itemCapacity);
    crc = DVKCrc_AddArray(g->itemSymbols, 2, g->itemCapacity, crc);
    crc = DVKCrc_AddArray(g->itemMinimum, 1, g->itemCapacity, crc);
    crc = DVKCrc_AddArray(g->itemMaximum, 1, g->itemCapacity, crc);
    return crc;
}
