// Helpers the vocabulary's own files share; not for its callers.
#pragma once

#include "core/brevit/lexicon/vocabulary.h"

#include <cstdint>

// Every master pron of a word-list word counted, run-time ones of stored
// words included (asked with room for all of them).
int32_t VocPart_CountProns(const Voc* voc, uint32_t masterId);
// Empty or only white space (null too).
bool VocPart_IsBlank(const uint16_t* text);

// Combinations of one pronunciation alternative per token: counts[t]
// alternatives of token t (0 skips it), costs[t] one cost each (null: 0),
// categories[t] one byte each (0, 1, 2 neutral, 255 unusable). Each
// category keeps its n best combinations (cost, then the alternatives from
// the last token to the first); one with fewer than n keeps them all in
// enumeration order. At most limit of them are merged into choices (tokens
// bytes each, 255 for a skipped token) and costs; returns their number.
int32_t VocPart_CombinePronunciations(int32_t tokens, const int32_t* counts, const int32_t* const* costs,
                                      const uint8_t* const* categories, int32_t n, int32_t limit,
                                      uint8_t* choices, int64_t* costsOut);

// The pronunciation alternatives of one token: a word-list word's first
// prons (no cost), or for an unknown token (id -1) up to generated prons of
// the letter-to-sound generator with its costs. Categories are the word
// list's verdict on each. Scratch memory; false for an unknown token
// without a generator.
struct VocTokenProns {
    int32_t count;
    uint16_t** prons;   // each ended by 0xFFFF
    int32_t* costs;
    uint8_t* categories;
};
bool VocPart_TokenAlternatives(const Voc* voc, const uint16_t* text, int32_t length, VocId id, int32_t wordClass,
                               int32_t limit, int32_t generated, VocTokenProns* out);
// Joins the chosen alternatives of a combination (255: token skipped) into
// out (room units), the boundary phoneme (65535: none) before a token whose
// flag carries the script-change bit; ended by 0xFFFF. Its length without
// the end, or -1 when it does not fit.
int32_t VocPart_JoinProns(int32_t tokens, const VocTokenProns* alternatives, const uint8_t* choice,
                          const uint8_t* flags, int32_t boundary, uint16_t* out, int32_t room);
// Tokens of text by the list's own tokenizer into scratch arrays (grown to
// the full count); the count.
struct VocTokens {
    int32_t count;
    uint32_t* ids;
    int32_t* starts;
    int32_t* lengths;
    uint8_t* flags;
    uint8_t* matches;
};
void VocPart_TokenizeAll(const Voc* voc, const uint16_t* text, int32_t first, int32_t matchMode, VocTokens* out);
