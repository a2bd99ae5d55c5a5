// Base of the grammar tests: grammars over a fake vocabulary of the active
// words 1 to 4 (and 9, never listed by a test), a class manager for
// compilation, and a straightforward reference of the parse check.
#pragma once

#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/constraint_manager.h"
#include "core/brevit/search/grammar.h"
#include "tests/brevit/search/constraint_test.h"
#include "tests/brevit/search/fake_vocabulary.h"

#include <algorithm>
#include <set>
#include <string>
#include <vector>

using WordIds = std::vector<uint32_t>;

// Vocabulary id of active word a, and the word-list form the grammar keeps.
inline uint32_t activeWord(uint16_t a) { return kFakeVocActiveKind | a; }
inline uint32_t listedWord(uint16_t a) { return 0xC0000000u | a; }

class GrammarTest : public ConstraintTest {
protected:
    void SetUp() override
    {
        m_constraints = ConstraintManager_Create(4);
        m_classes = ClassManager_Create(m_words.voc(), nullptr, m_constraints, 4);
        ASSERT_NE(m_classes, nullptr);
    }

    void TearDown() override
    {
        for (Grammar* g : m_grammars)
            Grammar_Delete(g);
        m_grammars.clear();
        ClassManager_RemoveUnreferencedClasses(m_classes);
        ConstraintManager_Delete(m_constraints);
        ClassManager_Delete(m_classes);
        ConstraintTest::TearDown();
    }

    Grammar* make(int32_t capacity = 8, int32_t wordCapacity = 32)
    {
        Grammar* g = Grammar_Create(m_words.voc(), capacity, wordCapacity);
        EXPECT_NE(g, nullptr);
        if (g != nullptr)
            m_grammars.push_back(g);
        return g;
    }

    static int32_t terminal(Grammar* g, const char* name, const std::vector<uint16_t>& words, int32_t polarity = 1)
    {
        WordIds ids;
        for (uint16_t w : words)
            ids.push_back(activeWord(w));
        return Grammar_AddTerminal(g, name, static_cast<int32_t>(ids.size()), ids.data(), polarity);
    }

    static int32_t parses(const Grammar* g, const char* name, const std::vector<uint16_t>& words)
    {
        WordIds ids;
        for (uint16_t w : words)
            ids.push_back(activeWord(w));
        return Grammar_ParseExists(g, name, static_cast<int32_t>(ids.size()), ids.data());
    }

    FakeVocabulary m_words{{{1, {1}}, {2, {2}}, {3, {3}}, {4, {4}}, {9, {9}}}};
    ConstraintManager* m_constraints = nullptr;
    ClassManager* m_classes = nullptr;
    std::vector<Grammar*> m_grammars;
};

// The parse check's meaning written out directly: the end positions of a
// symbol from a start, trying every repetition count of every item (lo to
// hi, exactly lo when lo exceeds hi, at most 254).
class ReferenceParser {
public:
    ReferenceParser(const Grammar* g, const WordIds& listedWords) : m_g(g), m_words(listedWords) {}

    bool parses(int32_t symbol) { return ends(symbol, 0).count(static_cast<int32_t>(m_words.size())) != 0; }

    std::set<int32_t> ends(int32_t symbol, int32_t start)
    {
        std::set<int32_t> out;
        if (symbol < 0) {
            const int32_t t = -1 - symbol;
            if (start < static_cast<int32_t>(m_words.size())) {
                const uint32_t* first = m_g->words + m_g->terminalWordOffsets[t];
                const uint32_t* last = m_g->words + m_g->terminalWordOffsets[t + 1];
                const bool listed = std::find(first, last, m_words[static_cast<size_t>(start)]) != last;
                if (listed == (m_g->terminalPolarity[t] == 1))
                    out.insert(start + 1);
            }
            return out;
        }
        for (int32_t a = m_g->ruleAlternativeOffsets[symbol]; a < m_g->ruleAlternativeOffsets[symbol + 1]; ++a) {
            std::set<int32_t> positions{start};
            for (int32_t i = m_g->alternativeItemOffsets[a]; i < m_g->alternativeItemOffsets[a + 1]; ++i) {
                const int32_t lo = m_g->itemMinimum[i];
                const int32_t hi = std::max<int32_t>(m_g->itemMaximum[i], lo);
                std::set<int32_t> after;
                std::set<int32_t> reached = positions;
                for (int32_t c = 0; c <= hi; ++c) {
                    if (c >= lo)
                        after.insert(reached.begin(), reached.end());
                    if (c == hi || reached.empty())
                        break;
                    std::set<int32_t> further;
                    for (int32_t q : reached) {
                        const std::set<int32_t> e = ends(m_g->itemSymbols[i], q);
                        further.insert(e.begin(), e.end());
                    }
                    if (further == reached && c >= lo)
                        break;   // nothing new can come of more repetitions
                    reached = further;
                }
                positions = after;
            }
            out.insert(positions.begin(), positions.end());
        }
        return out;
    }

private:
    const Grammar* m_g;
    WordIds m_words;
};
