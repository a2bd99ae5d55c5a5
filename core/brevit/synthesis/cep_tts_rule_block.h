// The front end's rule block: the context rewrite rules with the tables that
// turn a unit tree into rule symbols and back. Rule symbols run from 0 to M
// (the front end's ruleSymbolCount); each has a kind (1 tag, 2 semantic id,
// 3 synthesis phone; anything else is a marker or unused) and a value of
// that kind.
#pragma once

#include "core/brevit/runtime/bin_file_reader.h"

#include <cstdint>

struct CepTTSRules;
struct LMIndexTable;

inline constexpr uint32_t kCepTTSSymbolTag = 1;
inline constexpr uint32_t kCepTTSSymbolSemantic = 2;
inline constexpr uint32_t kCepTTSSymbolPhone = 3;

struct CepTTSRuleBlock {
    CepTTSRules* rules;
    LMIndexTable* tagSymbols;        // tag to rule symbol
    LMIndexTable* semanticSymbols;   // semantic id to rule symbol
    LMIndexTable* phoneSymbols;      // synthesis phone to rule symbol
    int32_t symbolCount;             // M
    uint16_t* symbolValues;          // M + 1
    uint32_t* symbolKinds;           // M + 1
};

// Null on a short or inconsistent record or an allocation failure. The
// tables come with downloaded models: a phone symbol naming a synthesis
// phone above maxPhoneId is refused, as is a negative M.
CepTTSRuleBlock* CepTTSRuleBlock_Load(BinFileReader* reader, int32_t symbolCount,
                                      int32_t maxPhoneId);
uint32_t CepTTSRuleBlock_ComputeCRC(const CepTTSRuleBlock* block);
void CepTTSRuleBlock_Delete(CepTTSRuleBlock* block);
// Kind of symbol s as the read-back sees it: 0 for symbols 0 and above M.
uint32_t CepTTSRuleBlock_Kind(const CepTTSRuleBlock* block, uint16_t s);
