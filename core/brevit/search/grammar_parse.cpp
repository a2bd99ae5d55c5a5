// The parse check: whether a word sequence derives from a terminal or rule.
//
// A depth-first search with backtracking recurses once per repetition and
// tries the same (item, position) pairs over and over; nested repetitions of
// optional items then take exponential time and overflow the stack. Instead
// the check keeps, per rule and start position, the set of positions where the
// rule may end, computes each set once on demand, and keeps the pending
// (rule, start) pairs on an explicit stack, so its depth does not grow with
// the words. The answers are those of the search: an item (s, lo, hi) stands
// for lo to hi repetitions of s (exactly lo when lo exceeds hi; an unbounded
// item at most 254), and the rule parses when the last word is one of its end
// positions from the first.
#include "core/brevit/search/grammar.h"

#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/grammar_tables.h"

#include <cstring>
#include <utility>

namespace {

// A growable array over the engine allocator; failure to grow raises the
// engine error (the owner's destructor gives the memory back).
class PositionList {
public:
    PositionList() = default;
    ~PositionList()
    {
        if (m_data != nullptr)
            DVKMem_Free(m_data);
    }
    PositionList(const PositionList&) = delete;
    PositionList& operator=(const PositionList&) = delete;

    void push(int32_t v)
    {
        if (m_size == m_capacity)
            grow();
        m_data[m_size++] = v;
    }
    void clear() { m_size = 0; }
    void pop(int32_t n) { m_size -= n; }
    int32_t size() const { return m_size; }
    int32_t operator[](int32_t i) const { return m_data[i]; }
    const int32_t* data() const { return m_data; }
    void swap(PositionList& other)
    {
        std::swap(m_data, other.m_data);
        std::swap(m_size, other.m_size);
        std::swap(m_capacity, other.m_capacity);
    }

private:
    void grow()
    {
        const int32_t capacity = m_capacity < 16 ? 16 : m_capacity * 2;
        void* data = DVKMem_Realloc(m_data, static_cast<uint32_t>(capacity) * 4u);
        if (data == nullptr)
            DVKErr_Raise(__FILE__, __LINE__, "out of memory in the parse check");
        m_data = static_cast<int32_t*>(data);
        m_capacity = capacity;
    }

    int32_t* m_data = nullptr;
    int32_t m_size = 0;
    int32_t m_capacity = 0;
};

void* allocateOrRaise(uint32_t bytes)
{
    void* p = DVKMem_Malloc(bytes);
    if (p == nullptr)
        DVKErr_Raise(__FILE__, __LINE__, "out of memory in the parse check");
    return p;
}

// Membership marks over the positions 0..count: a position is in a set when
// its mark equals the set's current generation.
class PositionMarks {
public:
    explicit PositionMarks(int32_t positions)
        : m_marks(static_cast<uint32_t*>(allocateOrRaise(static_cast<uint32_t>(positions) * 4u)))
    {
        std::memset(m_marks, 0, static_cast<size_t>(positions) * 4u);
    }
    ~PositionMarks() { DVKMem_Free(m_marks); }
    PositionMarks(const PositionMarks&) = delete;
    PositionMarks& operator=(const PositionMarks&) = delete;

    void reset() { ++m_generation; }
    // True when p was not in the set (it is now).
    bool add(int32_t p)
    {
        if (m_marks[p] == m_generation)
            return false;
        m_marks[p] = m_generation;
        return true;
    }

private:
    uint32_t* m_marks;
    uint32_t m_generation = 1;
};

constexpr int32_t kUnknown = -1;

} // namespace

struct GrammarParse {
    GrammarParse(const Grammar* g, int32_t n, const uint32_t* w)
        : grammar(g), count(n), words(w), ruleSetMarks(n + 1), nextMarks(n + 1), layerMarks(n + 1),
          visitedMarks(n + 1)
    {
        ends = static_cast<int32_t**>(allocateOrRaise(static_cast<uint32_t>(g->ruleCount > 0 ? g->ruleCount : 1) *
                                                      sizeof(int32_t*)));
        std::memset(ends, 0, static_cast<size_t>(g->ruleCount) * sizeof(int32_t*));
    }
    ~GrammarParse()
    {
        for (int32_t r = 0; r < grammar->ruleCount; ++r)
            if (ends[r] != nullptr)
                DVKMem_Free(ends[r]);
        DVKMem_Free(ends);
    }
    GrammarParse(const GrammarParse&) = delete;
    GrammarParse& operator=(const GrammarParse&) = delete;

    // Per rule, null until asked: (first, length) of its end positions in
    // pool for each start 0..count; first kUnknown while not computed.
    int32_t* table(int32_t rule)
    {
        if (ends[rule] == nullptr) {
            const int32_t entries = 2 * (count + 1);
            ends[rule] = static_cast<int32_t*>(allocateOrRaise(static_cast<uint32_t>(entries) * 4u));
            for (int32_t i = 0; i < entries; i += 2) {
                ends[rule][i] = kUnknown;
                ends[rule][i + 1] = 0;
            }
        }
        return ends[rule];
    }
    bool known(int32_t rule, int32_t p) { return table(rule)[2 * p] != kUnknown; }

    // Calls visit(e) for every end position of symbol s started at q; false
    // (and the pair asked for) when a rule's set is not known yet.
    template <typename Visit>
    bool visitEnds(int32_t s, int32_t q, Visit visit)
    {
        if (s < 0) {
            if (q < count && grammarTerminalMatches(grammar, -1 - s, words[q]))
                visit(q + 1);
            return true;
        }
        const int32_t* t = table(s);
        if (t[2 * q] == kUnknown) {
            stack.push(s);
            stack.push(q);
            return false;
        }
        for (int32_t i = 0; i < t[2 * q + 1]; ++i)
            visit(pool[t[2 * q] + i]);
        return true;
    }

    const Grammar* grammar;
    int32_t count;
    const uint32_t* words;
    int32_t** ends = nullptr;
    PositionList pool;
    PositionList stack;       // pending (rule, start) pairs
    PositionList ruleSet;     // end positions of the rule being computed
    PositionMarks ruleSetMarks;
    PositionList current;     // positions before the item
    PositionList next;        // positions after it
    PositionMarks nextMarks;
    PositionList layer;
    PositionList nextLayer;
    PositionMarks layerMarks;
    PositionMarks visitedMarks;
};

int32_t Grammar_ParseItems(GrammarParse* ps, int32_t alternative, int32_t position)
{
    const Grammar* g = ps->grammar;
    const int32_t first = g->alternativeItemOffsets[alternative];
    const int32_t last = g->alternativeItemOffsets[alternative + 1];
    ps->current.clear();
    ps->current.push(position);
    for (int32_t i = first; i < last && ps->current.size() > 0; ++i) {
        const int32_t s = g->itemSymbols[i];
        const int32_t lo = g->itemMinimum[i];
        const int32_t hi = g->itemMaximum[i] < lo ? lo : g->itemMaximum[i];
        bool complete = true;
        // Exactly c repetitions for c up to lo: every path counts.
        ps->layer.clear();
        for (int32_t k = 0; k < ps->current.size(); ++k)
            ps->layer.push(ps->current[k]);
        for (int32_t c = 0; c < lo && ps->layer.size() > 0; ++c) {
            ps->nextLayer.clear();
            ps->layerMarks.reset();
            for (int32_t k = 0; k < ps->layer.size(); ++k)
                complete &= ps->visitEnds(s, ps->layer[k], [ps](int32_t e) {
                    if (ps->layerMarks.add(e))
                        ps->nextLayer.push(e);
                });
            if (!complete)
                return 0;
            ps->layer.swap(ps->nextLayer);
        }
        // From lo repetitions on, a position reached with fewer repetitions
        // leaves at least the choices of one reached with more.
        ps->next.clear();
        ps->visitedMarks.reset();
        ps->nextLayer.clear();
        for (int32_t k = 0; k < ps->layer.size(); ++k)
            if (ps->visitedMarks.add(ps->layer[k])) {
                ps->next.push(ps->layer[k]);
                ps->nextLayer.push(ps->layer[k]);
            }
        ps->layer.swap(ps->nextLayer);
        for (int32_t c = lo; c < hi && ps->layer.size() > 0; ++c) {
            ps->nextLayer.clear();
            for (int32_t k = 0; k < ps->layer.size(); ++k)
                complete &= ps->visitEnds(s, ps->layer[k], [ps](int32_t e) {
                    if (ps->visitedMarks.add(e)) {
                        ps->next.push(e);
                        ps->nextLayer.push(e);
                    }
                });
            if (!complete)
                return 0;
            ps->layer.swap(ps->nextLayer);
        }
        ps->current.swap(ps->next);
    }
    for (int32_t k = 0; k < ps->current.size(); ++k)
        if (ps->ruleSetMarks.add(ps->current[k]))
            ps->ruleSet.push(ps->current[k]);
    return 1;
}

int32_t Grammar_ParseRule(GrammarParse* ps, int32_t rule, int32_t position)
{
    const Grammar* g = ps->grammar;
    const int32_t base = ps->stack.size();
    ps->stack.push(rule);
    ps->stack.push(position);
    while (ps->stack.size() > base) {
        const int32_t r = ps->stack[ps->stack.size() - 2];
        const int32_t p = ps->stack[ps->stack.size() - 1];
        if (ps->known(r, p)) {
            ps->stack.pop(2);
            continue;
        }
        ps->ruleSet.clear();
        ps->ruleSetMarks.reset();
        bool complete = true;
        // Every alternative is tried, so that one pass asks for all it lacks.
        for (int32_t a = g->ruleAlternativeOffsets[r]; a < g->ruleAlternativeOffsets[r + 1]; ++a)
            complete &= Grammar_ParseItems(ps, a, p) == 1;
        if (!complete)
            continue;
        int32_t* t = ps->table(r);
        t[2 * p] = ps->pool.size();
        t[2 * p + 1] = ps->ruleSet.size();
        for (int32_t k = 0; k < ps->ruleSet.size(); ++k)
            ps->pool.push(ps->ruleSet[k]);
        ps->stack.pop(2);
    }
    bool parses = false;
    ps->visitEnds(rule, position, [&](int32_t e) { parses |= e == ps->count; });
    return parses ? 1 : 0;
}

int32_t Grammar_ParseExists(const Grammar* g, const char* name, int32_t count, const uint32_t* ids)
{
    if (g == nullptr || name == nullptr)
        return 0;
    const int32_t terminal = Grammar_FindName(g->terminalNames, g->terminalNameOffsets, g->terminalCount, name);
    const int32_t rule =
        terminal >= 0 ? -1 : Grammar_FindName(g->ruleNames, g->ruleNameOffsets, g->ruleCount, name);
    if ((terminal < 0 && rule < 0) || count < 1 || ids == nullptr)
        return 0;
    GrammarScratch<uint32_t> words(count);
    for (int32_t i = 0; i < count; ++i)
        words[i] = grammarNormaliseId(g->vocabulary, ids[i]);
    if (terminal >= 0)
        return grammarTerminalMatches(g, terminal, words[0]) ? 1 : 0;
    GrammarParse parse(g, count, words.data());
    return Grammar_ParseRule(&parse, rule, 0);
}
