// A vocabulary of a few active words and their prons for the constraint
// tests, standing in for the real one: the vocabulary ids it hands out carry
// the active-word kind bits (10) above the 16-bit active word id.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

struct Voc;

inline constexpr uint32_t kFakeVocActiveKind = 0x80000000u;
// Voc_PronIdToVocId gives the pron-id kind bits (01) above the pron id.
inline constexpr uint32_t kFakeVocPronKind = 0x40000000u;

class FakeVocabulary {
public:
    // Active word id -> its prons in order.
    explicit FakeVocabulary(std::map<uint16_t, std::vector<uint16_t>> words);
    ~FakeVocabulary();
    FakeVocabulary(const FakeVocabulary&) = delete;
    FakeVocabulary& operator=(const FakeVocabulary&) = delete;

    Voc* voc() { return m_voc; }
    // Spellings the tokenizer's matches give: each spelling's active words.
    // Tokens are split at blanks; a word's surface form is its spelling,
    // its spoken form "#" and its id.
    void setSpellings(std::map<std::u16string, std::vector<uint16_t>> spellings);
    // Vocabulary ids asked of Voc_GetNthPronId, in order.
    const std::vector<uint32_t>& pronQueries() const;
    // Words whose written form is text, for Voc_GetMatches. The word list
    // holds the active words under their own numbers: word-list id a is
    // active word a (vocabulary id 0xC0000000 | a).
    void spell(const std::string& text, std::vector<uint32_t> vocIds);
    // Voc_CanFollow refuses pron b after pron a.
    void forbidFollowing(uint16_t a, uint16_t b);
    // The recognition phonemes of a pron (else the pron's own id alone).
    void setRecogPron(uint16_t pron, std::vector<uint16_t> phonemes);
    // Voc_ScoreNGram's cost of word after previous (-1: no history); 0
    // for pairs never set.
    void setNGram(int32_t previous, uint16_t word, int32_t cost);

private:
    Voc* m_voc;
};

struct MWL;

// A word list answering attributes by word-list id; other ids have none
// (0xFFFFFFFF).
class FakeWordList {
public:
    explicit FakeWordList(std::map<uint32_t, int32_t> attributes);
    ~FakeWordList();
    FakeWordList(const FakeWordList&) = delete;
    FakeWordList& operator=(const FakeWordList&) = delete;

    const MWL* list() const { return m_list; }

private:
    MWL* m_list;
};

struct LexTree;

// Lexical trees keep the pronunciations they were built from; a tree holds
// one prefix tree per thousand of pronunciation ids it spans (prons 1 and 999
// make one tree, 1 and 1000 two). LexTree_Delete counts what it frees.
int32_t fakeLexTreeDeletes();
const std::vector<uint16_t>* fakeLexTreeProns(const LexTree* tree);

// What the pronunciation cache and tree building were asked, and failures to
// stage.
struct FakeLexicon {
    bool failBuild = false;
    std::vector<int32_t> buildFlags;
    std::vector<uint16_t> pronInfoRequests;
};
FakeLexicon& fakeLexicon();
