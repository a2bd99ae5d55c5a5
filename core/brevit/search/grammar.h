// The run-time grammar: named terminals (sets of vocabulary words) and
// non-terminal rules (alternatives of items, each a terminal or rule with a
// repetition range), built by the engine API, stored as "grm1", compiled into
// class-pair constraints and asked whether a word sequence parses.
//
// Every table is allocated at its full capacity when the grammar is made and
// never grows. Offsets are 16-bit: an addition that would need an offset above
// 32,767 is refused as a full table (1).
#pragma once

#include "core/brevit/search/search_engine_calls.h"

#include <cstdint>

struct ClassManager;
struct Constraint;
struct DVKTar;
struct Voc;

// Results of the building operations.
inline constexpr int32_t kGrammarDone = 0;      // done, or an identical entry existed
inline constexpr int32_t kGrammarFull = 1;      // a capacity is exhausted
inline constexpr int32_t kGrammarRefused = 2;   // malformed, undefined or conflicting

// Item maximum standing for "unbounded"; the parse check repeats such an item
// at most this many times.
inline constexpr int32_t kGrammarUnbounded = 254;
inline constexpr int32_t kGrammarMaxOffset = 32767;
// Largest capacities a grammar is made or read with.
inline constexpr int32_t kGrammarMaxCapacity = 65536;
inline constexpr int32_t kGrammarMaxWordCapacity = 1 << 20;

struct Grammar {
    Voc* vocabulary;                  // not owned
    int32_t terminalCapacity;         // T
    int32_t terminalCount;
    int32_t terminalNamePoolSize;
    char* terminalNames;
    int16_t* terminalNameOffsets;     // T + 1
    int16_t* terminalWordOffsets;     // T + 1
    int8_t* terminalPolarity;         // T; 1: the listed words, 0: every other word
    int32_t wordCapacity;             // W
    uint32_t* words;                  // per terminal ascending (unsigned), no repeats
    int32_t ruleCapacity;             // R
    int32_t ruleCount;
    int32_t ruleNamePoolSize;
    char* ruleNames;
    int16_t* ruleNameOffsets;         // R + 1
    int16_t* ruleAlternativeOffsets;  // R + 1
    int32_t alternativeCapacity;      // A
    int16_t* alternativeItemOffsets;  // A + 1
    int32_t itemCapacity;             // I
    int16_t* itemSymbols;             // rule index, or -1 - terminal index
    uint8_t* itemMinimum;
    uint8_t* itemMaximum;             // 254: unbounded
};

// T = R = capacity, name pools 16 x capacity, A = 4 x capacity, I = 8 x
// capacity, W = wordCapacity; then "." and, with parameter word 615, the digit
// terminals. None for capacities out of range or when the built-in terminals
// cannot be added; failure to allocate raises the engine error.
Grammar* Grammar_Create(Voc* vocabulary, int32_t capacity, int32_t wordCapacity);
// Grammar_Delete: search_engine_calls.h.

// Empties every table and adds the built-in terminals again: with word 615
// clear the result of adding "."; with it set 1 when the digit terminals were
// added, else 0.
int32_t Grammar_Clear(Grammar* grammar);
int32_t Grammar_AddDigitRules(Grammar* grammar);

int32_t Grammar_AddTerminal(Grammar* grammar, const char* name, int32_t count, const uint32_t* ids,
                            int32_t polarity);
int32_t Grammar_AddTerminalU(Grammar* grammar, const char* name, int32_t count, const uint32_t* ids);
int32_t Grammar_AddTerminalExpression(Grammar* grammar, const char* name, const char* expression);
// One alternative of the rule name (created when new), items in text order.
int32_t Grammar_AddNonTerminal(Grammar* grammar, const char* name, const char* text);
// 1 removed; 0 when the name is undefined or an item still refers to it.
int32_t Grammar_ClearRule(Grammar* grammar, const char* name);
int32_t Grammar_HasRule(const Grammar* grammar, const char* name);
void Grammar_PrintRules(const Grammar* grammar);

// Index of name among the count names of a pool, -1 when absent.
int32_t Grammar_FindName(const char* pool, const int16_t* offsets, int32_t count, const char* name);
// 1 when rule from is target or reaches it through the items of its
// alternatives.
int32_t Grammar_ReachesRule(const Grammar* grammar, int32_t from, int32_t target);
// qsort order of vocabulary ids: ascending as unsigned 32-bit values.
int cmpVocWordId(const void* a, const void* b);

// One item of a rule text.
struct GrammarItemText {
    const char* name;
    int32_t length;
    int32_t minimum;
    int32_t maximum;
};
// Reads the item at text: 1 an item, 0 the end of the text, 2 malformed.
// next receives the position after the item (on 2, the next whitespace).
int32_t Grammar_NextItem(const char* text, GrammarItemText* item, const char** next);

// "grm1". The loaders refuse anything the grammar could not have made.
Grammar* Grammar_LoadFromBinFile(DVKTar* archive, const char* prefix, Voc* vocabulary);
// 1 read; 0 with the grammar unchanged when the sub-file is missing or a
// record is refused.
int32_t Grammar_ReadPSAFile(Grammar* grammar, DVKTar* archive, const char* prefix);
int32_t Grammar_WritePSAFile(const Grammar* grammar, DVKTar* archive, const char* prefix);
void Grammar_WriteBinFile(const Grammar* grammar, DVKTar* archive, const char* prefix);
uint32_t Grammar_ComputeCRC(const Grammar* grammar);

// Compilation into class-pair constraints over classManager: a terminal name
// first, then a rule; none when neither or on any failure (classes made for
// terminals stay, unreferenced).
Constraint* Grammar_CompileRule(const Grammar* grammar, const char* ruleName, const char* constraintName,
                                ClassManager* classManager, Voc* vocabulary);
// symbol < 0: terminal -1 - symbol; else a rule index.
Constraint* Grammar_CompileSymbol(const Grammar* grammar, int32_t symbol, const char* constraintName,
                                  ClassManager* classManager, Voc* vocabulary);
// Between m and n of the constraints in a row; optional flags (or none) let
// the sequence pass over optional elements.
Constraint* Grammar_CompileSequence(Constraint* const* constraints, const uint8_t* optional, const char* name,
                                    ClassManager* classManager, int32_t m, int32_t n);
// 1 when the symbol can derive the empty sequence (a rule with an alternative
// of items that may all be left out).
int32_t Grammar_SymbolDerivesEmpty(const Grammar* grammar, int32_t symbol);

// 1 when the count words parse under the terminal or rule name; a terminal
// tests the first word alone.
int32_t Grammar_ParseExists(const Grammar* grammar, const char* name, int32_t count, const uint32_t* ids);

// The parse check's state: per rule and start position, the positions where
// the rule may end (computed on demand, kept for the whole check), and the
// pending (rule, start) pairs on an explicit stack.
struct GrammarParse;
// 1 when the rule, started at position, may end at the last word.
int32_t Grammar_ParseRule(GrammarParse* parse, int32_t rule, int32_t position);
// Adds the end positions of alternative a started at position to the rule's
// pending set; 0 when the end positions of a rule at some start are needed
// first (they are then asked for on the stack).
int32_t Grammar_ParseItems(GrammarParse* parse, int32_t alternative, int32_t position);
