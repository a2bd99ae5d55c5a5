// Ordered sets of context-dependent rewrite rules over a string of rule
// symbols (phrase, word and syllable markers, annotations, phones). A rule
// symbol may stand for a class: it then matches any member of the class.
// Contexts may hold repeatable elements (an element followed by the repeat
// marker matches zero or more symbols); each set runs left to right or right
// to left, the output of one set being the input of the next.
#pragma once

#include "core/brevit/runtime/bin_file_reader.h"

#include <cstdint>

struct LMIndexTable;
struct LMRewrite;

// Longest context a rule may have; callers pass at most this many symbols.
inline constexpr int32_t kCepTTSRulesMaxContext = 20;

struct CepTTSRuleSet {
    int32_t leftToRight;     // 0: right to left
    int32_t expansion;       // output at most this many times the input
    int32_t ruleCount;
    int32_t firstRule;
};

// Lengths and pool offsets (in symbols) of a rule's four sequences.
struct CepTTSRule {
    int32_t focusLength;
    int32_t replacementLength;
    int32_t leftLength;
    int32_t leftMinimum;
    int32_t rightLength;
    int32_t rightMinimum;
    int32_t focus;
    int32_t replacement;
    int32_t left;
    int32_t right;
};

struct CepTTSRules {
    uint16_t repeatMarker;
    int32_t ruleSetCount;
    int32_t ruleCount;
    int32_t symbolPoolSize;
    LMIndexTable* symbolClasses;   // symbol to class id (0: no class)
    LMRewrite* classMembers;       // class id to its members
    uint16_t* symbolPool;          // symbolPoolSize symbols
    CepTTSRuleSet* sets;           // ruleSetCount
    CepTTSRule* rules;             // ruleCount
};

// Null on a short or inconsistent record or an allocation failure. Rule
// models are downloaded: rule lengths must not be negative, minimums not
// above their lengths, contexts not over kCepTTSRulesMaxContext, the rules
// must fill the pool exactly, the sets' counts must add up to ruleCount and
// every expansion must be at least 1.
CepTTSRules* CepTTSRules_Load(BinFileReader* reader);
uint32_t CepTTSRules_ComputeCRC(const CepTTSRules* rules);
void CepTTSRules_Delete(CepTTSRules* rules);

// 1 when rule symbol a is no class and equals b, or b is a member of a's class.
int32_t CepTTSRules_SymbolMatch(const CepTTSRules* rules, uint16_t a, uint16_t b);
// 1 when the pattern matches at the start of the string (the string need not
// be consumed). Patterns over kCepTTSRulesMaxContext symbols never match.
int32_t CepTTSRules_ContextMatch(const CepTTSRules* rules, const uint16_t* pattern,
                                 int32_t patternLength, const uint16_t* string,
                                 int32_t stringLength);
// The context match read backwards: the pattern's last element must match the
// string's last symbol, and so on (a repeatable element keeps its marker).
int32_t CepTTSRules_LeftContextMatch(const CepTTSRules* rules, const uint16_t* pattern,
                                     int32_t patternLength, const uint16_t* string,
                                     int32_t stringLength);
// Runs every set over a copy of the string. A new string owned by the caller
// (its length in *outLength), or null when a set's output outgrows its
// expansion or an allocation fails; the caller's string is left as it was.
uint16_t* CepTTSRules_Apply(const CepTTSRules* rules, const uint16_t* string, int32_t length,
                            int32_t* outLength);
