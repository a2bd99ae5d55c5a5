// The linear-chain decoder's choice record: one word sequence of at most 59
// words with its score, the constraint it ended in and per-word fields (end
// frames, flags, start flags, members, classes, states), and the orders the
// close-call list builders and the choice utilities sort such records by.
#pragma once

#include <cstdint>

struct Constraint;

inline constexpr int32_t kLinChChoiceWords = 59;

struct LinChChoice {
    int32_t score;            // lower is better; 0x40000000: none or dropped
    int32_t languageScore;    // the constraint's share (the grammar share of the choice list)
    int32_t wordCount;        // 0..59
    int32_t expanded;         // the current close call is not applied to it
    Constraint* constraint;   // where the choice ended
    int32_t endNode;          // result-graph node of the last word
    uint16_t words[kLinChChoiceWords];      // pron ids
    int16_t endFrames[kLinChChoiceWords];
    uint8_t flags[kLinChChoiceWords];       // the class-end bit of each word
    uint8_t startFlags[kLinChChoiceWords];  // 1: the word starts its member
    uint32_t members[kLinChChoiceWords];
    uint32_t classes[kLinChChoiceWords];
    uint32_t states[kLinChChoiceWords];
};

// Word count, words, then (parameter word 856, at least one word) members
// and member classes.
int32_t CloseCall_CompareChoiceWords(const LinChChoice* a, const LinChChoice* b);
// Score, then as CloseCall_CompareChoiceWords.
int32_t CloseCall_CompareChoices(const LinChChoice* a, const LinChChoice* b);
// Score, then end node.
int32_t CloseCall_CompareChoiceScoreNode(const LinChChoice* a, const LinChChoice* b);
