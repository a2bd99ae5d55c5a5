// A vocabulary of a few active words and their prons for the constraint
// tests, standing in for the real one: the vocabulary ids it hands out carry
// the active-word kind bits (10) above the 16-bit active word id.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct Voc;

inline constexpr uint32_t kFakeVocActiveKind = 0x80000000u;

class FakeVocabulary {
public:
    // Active word id -> its prons in order.
    explicit FakeVocabulary(std::map<uint16_t, std::vector<uint16_t>> words);
    ~FakeVocabulary();
    FakeVocabulary(const FakeVocabulary&) = delete;
    FakeVocabulary& operator=(const FakeVocabulary&) = delete;

    Voc* voc() { return m_voc; }
    // Vocabulary ids asked of Voc_GetNthPronId, in order.
    const std::vector<uint32_t>& pronQueries() const;
    // Words whose written form is text, for Voc_GetMatches. The word list
    // holds the active words under their own numbers: word-list id a is
    // active word a (vocabulary id 0xC0000000 | a).
    void spell(const std::string& text, std::vector<uint32_t> vocIds);

private:
    Voc* m_voc;
};

// Lexical trees are not built here: a test places any non-null pointer as a
// class's tree, and LexTree_Delete only counts the trees it is given.
int32_t fakeLexTreeDeletes();
