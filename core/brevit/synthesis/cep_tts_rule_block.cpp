#include "core/brevit/synthesis/cep_tts_rule_block.h"

#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/lm_index_table.h"
#include "core/brevit/search/table_read.h"
#include "core/brevit/synthesis/cep_tts_rules.h"

namespace {

// Kinds 1 and 2 carry their value in the low 16 bits of the word.
uint32_t kindOf(uint32_t stored)
{
    const uint32_t low = stored & 0xFFFFu;
    return low == kCepTTSSymbolTag || low == kCepTTSSymbolSemantic ? low : stored;
}

bool phonesInRange(const CepTTSRuleBlock* b, int32_t maxPhoneId)
{
    for (int32_t s = 0; s <= b->symbolCount; ++s)
        if (kindOf(b->symbolKinds[s]) == kCepTTSSymbolPhone && b->symbolValues[s] > maxPhoneId)
            return false;
    return true;
}

} // namespace

CepTTSRuleBlock* CepTTSRuleBlock_Load(BinFileReader* reader, int32_t symbolCount,
                                      int32_t maxPhoneId)
{
    if (symbolCount < 0 || symbolCount >= 0xFFFF)
        return nullptr;
    auto* b = static_cast<CepTTSRuleBlock*>(DVKMem_Calloc(sizeof(CepTTSRuleBlock)));
    if (b == nullptr)
        return nullptr;
    b->symbolCount = symbolCount;
    void* values = nullptr;
    void* kinds = nullptr;
    bool ok = (b->rules = CepTTSRules_Load(reader)) != nullptr &&
              (b->tagSymbols = LMIndexTable_Read(reader)) != nullptr &&
              (b->semanticSymbols = LMIndexTable_Read(reader)) != nullptr &&
              (b->phoneSymbols = LMIndexTable_Read(reader)) != nullptr &&
              TableRead_Array(reader, 2, int64_t{symbolCount} + 1, true, &values);
    b->symbolValues = static_cast<uint16_t*>(values);
    ok = ok && TableRead_Array(reader, 4, int64_t{symbolCount} + 1, true, &kinds);
    b->symbolKinds = static_cast<uint32_t*>(kinds);
    ok = ok && phonesInRange(b, maxPhoneId);
    if (!ok) {
        CepTTSRuleBlock_Delete(b);
        return nullptr;
    }
    return b;
}

uint32_t CepTTSRuleBlock_ComputeCRC(const CepTTSRuleBlock* b)
{
    uint32_t crc = DVKCrc_AddInt(CepTTSRules_ComputeCRC(b->rules), 0xFFFFFFFFu);
    crc = DVKCrc_AddInt(LMIndexTable_ComputeCRC(b->tagSymbols), crc);
    crc = DVKCrc_AddInt(LMIndexTable_ComputeCRC(b->semanticSymbols), crc);
    crc = DVKCrc_AddInt(LMIndexTable_ComputeCRC(b->phoneSymbols), crc);
    crc = DVKCrc_AddInt(DVKCrc_AddArray(b->symbolValues, 2, b->symbolCount + 1, 0xFFFFFFFFu), crc);
    return DVKCrc_AddInt(DVKCrc_AddArray(b->symbolKinds, 4, b->symbolCount + 1, 0xFFFFFFFFu), crc);
}

void CepTTSRuleBlock_Delete(CepTTSRuleBlock* b)
{
    if (b == nullptr)
        return;
    CepTTSRules_Delete(b->rules);
    LMIndexTable_Delete(b->tagSymbols);
    LMIndexTable_Delete(b->semanticSymbols);
    LMIndexTable_Delete(b->phoneSymbols);
    DVKMem_Free(b->symbolValues);
    DVKMem_Free(b->symbolKinds);
    DVKMem_Free(b);
}

uint32_t CepTTSRuleBlock_Kind(const CepTTSRuleBlock* b, uint16_t s)
{
    if (s == 0 || s > b->symbolCount)
        return 0;
    return kindOf(b->symbolKinds[s]);
}
