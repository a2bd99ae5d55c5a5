// The word-graph fuzz target's seeds: the lattices of the word-graph tests
// in every mode, and streams a decoder should never send.
#include "fuzz/brevit_word_graph/word_graph_fuzz_input.h"
#include "tests/support/fuzz_seed_check.h"

#include <gtest/gtest.h>

namespace {

using namespace word_graph_fuzz;
constexpr uint16_t N = 47;   // the target's null word

// Word 12's arc follows a frame without arcs.
const std::vector<Arc> kTimed = {{8, 0, 1, N, 100, 0, 0},  {8, 2, 3, 10, 150, 0, 0}, {8, 2, 3, 11, 140, 0, 0},
                                 {8, 2, 3, 10, 145, 0, 0}, {8, 1, 3, 12, 200, 0, 0}, {8, 4, 5, 20, 180, 0, 0},
                                 {8, 4, 5, 21, 170, 0, 0}};
// A start, a first piece and a whole word of 10, a later piece of 10 that
// ends the utterance, and 3 before it.
const std::vector<Arc> kPieces = {{6, 0, 0, N, 0, 0, 0},   {6, 1, 1, 3, 10, 0, 9},   {1, 1, 3, 10, 100, 4, 50},
                                  {2, 2, 3, 10, 97, 6, 30}, {6, 4, 4, 4, 5, 0, 2},   {0, 4, 5, 10, 107, 0, 40},
                                  {6, 4, 5, 5, 110, 0, 3}};
// Ends below frame 0, starts after ends, ends out of order.
const std::vector<Arc> kUntrusted = {{8, 10, 9, N, 5, 0, 0},  {8, 8, 7, 10, 6, 0, 0},  {8, 12, 6, 11, 7, 0, 0},
                                     {8, 6, 5, 12, 8, 0, 0},  {8, 4, 11, 20, 9, 0, 0}, {8, 3, 9, 21, 1, 0, 0},
                                     {8, 5, 5, 22, 1, 0, 0}};

TEST(WordGraphFuzzSeeds, CommittedSeedsAreWhatTheWritersMake)
{
    Header timed;
    checkFuzzSeed("brevit_word_graph", "timed", encode(timed, kTimed));
    Header wordOnly;
    wordOnly.flags = kWordOnly;
    checkFuzzSeed("brevit_word_graph", "word-only", encode(wordOnly, kTimed));
    Header iterator;
    iterator.flags = kIteratorMode | kHistory | kRescoreSeeds;
    iterator.iteratorRoom = 3;
    checkFuzzSeed("brevit_word_graph", "iterator", encode(iterator, kTimed));
    Header pieces;
    pieces.flags = kContext | kByPronIds;
    pieces.wordPenalty = 3;
    checkFuzzSeed("brevit_word_graph", "pieces", encode(pieces, kPieces));
    Header budget = pieces;
    budget.recordBudget = 2;
    budget.order = 9;
    checkFuzzSeed("brevit_word_graph", "budget", encode(budget, kPieces));
    Header reversed;
    reversed.flags = kReversed;
    reversed.capacity = 16;
    checkFuzzSeed("brevit_word_graph", "untrusted", encode(reversed, kUntrusted));
}

}  // namespace
