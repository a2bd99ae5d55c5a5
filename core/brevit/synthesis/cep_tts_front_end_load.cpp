// The front-end block of "btt0": its records, checksum and release.
// Language packs are downloaded, so the loader refuses tables the front end
// would read past: a break tree asking beyond its window, pronunciation
// symbols naming phones the model lacks.
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/lm_dtree.h"
#include "core/brevit/search/lm_index_table.h"
#include "core/brevit/search/lm_rewrite.h"
#include "core/brevit/search/table_read.h"
#include "core/brevit/synthesis/cep_tts_front_end.h"
#include "core/brevit/synthesis/cep_tts_rule_block.h"
#include "core/brevit/synthesis/tts.h"

#include <initializer_list>

namespace {

bool readShorts(BinFileReader* reader, uint16_t* const* fields, int32_t n)
{
    for (int32_t k = 0; k < n; ++k)
        if (!BinFileReader_ReadUnsignedShort(reader, fields[k]))
            return false;
    return true;
}

bool readInts(BinFileReader* reader, int32_t* const* fields, int32_t n)
{
    for (int32_t k = 0; k < n; ++k)
        if (!BinFileReader_ReadInt(reader, fields[k]))
            return false;
    return true;
}

// Every symbol of the pronunciation table is 0, a stress or syllable mark,
// or a phone of the model.
bool pronSymbolsInRange(const LMRewrite* table, const TTS* owner, int32_t maxPhoneId)
{
    if (table == nullptr)
        return true;
    for (int32_t k = 0; k < table->dataLength; ++k) {
        const uint16_t s = table->data[k];
        if (s == kLMRewriteSeparator || s == kLMRewriteEnd || s <= maxPhoneId)
            continue;
        if (owner == nullptr || (s != owner->headerShorts[0] && s != owner->headerShorts[1]))
            return false;
    }
    return true;
}

bool readTables(BinFileReader* reader, CepTTSFrontEnd* f)
{
    void* classes = nullptr;
    void* costs = nullptr;
    if ((f->tagRewrites = LMRewrite_Read(reader)) == nullptr ||
        (f->breakTree = LMDTree_LoadFromBinFile(reader)) == nullptr ||
        LMDTree_GetMaxContextPosition(f->breakTree) >= f->breakWindow)
        return false;
    const bool read = TableRead_Array(reader, 1, f->breakClassCount, true, &classes);
    f->breakClasses = static_cast<uint8_t*>(classes);
    if (!read)
        return false;
    if (f->phraseCostLength > 0) {
        const bool costsRead = TableRead_Array(reader, 1, int64_t{f->phraseCostLength} + 1, true, &costs);
        f->phraseCosts = static_cast<uint8_t*>(costs);
        if (!costsRead)
            return false;
    }
    if ((f->posClassTable = LMIndexTable_Read(reader)) == nullptr)
        return false;
    int32_t rules = 0;
    if (!BinFileReader_ReadBoolean(reader, &rules))
        return false;
    if (rules != 0 &&
        (f->rules = CepTTSRuleBlock_Load(reader, f->ruleSymbolCount, f->phones->maxPhoneId)) == nullptr)
        return false;
    int32_t more = 0;
    return BinFileReader_ReadBoolean(reader, &more) && more == 0;
}

} // namespace

CepTTSFrontEnd* CepTTSFrontEnd_Load(BinFileReader* reader, const TTS* owner,
                                    const CepTTSPhoneFields* phones, Voc* vocabulary)
{
    if (reader == nullptr || phones == nullptr ||
        !pronSymbolsInRange(phones->pronToPhoneRewrites, owner, phones->maxPhoneId))
        return nullptr;
    auto* f = static_cast<CepTTSFrontEnd*>(DVKMem_Calloc(sizeof(CepTTSFrontEnd)));
    if (f == nullptr)
        return nullptr;
    f->owner = owner;
    f->phones = phones;
    f->vocabulary = vocabulary;
    uint16_t* const tags[] = {&f->punctuationTagA, &f->punctuationTagB, &f->defaultTag};
    int32_t* const ints[] = {&f->breakWindow,         &f->tagHistory,       &f->tagBeam,
                             &f->breakClassCount,     &f->phraseSplitSyllables,
                             &f->phraseMaxSyllables,  &f->phraseCostLength, &f->phraseCostSlope,
                             &f->pieceCostWeight,     &f->pieceCostOffset};
    uint16_t* markers[kCepTTSMarkerCount];
    for (int32_t k = 0; k < kCepTTSMarkerCount; ++k)
        markers[k] = &f->markers[k];
    const bool ok = readShorts(reader, tags, 3) && readInts(reader, ints, 10) &&
                    f->breakWindow >= 0 && f->breakClassCount >= 0 &&
                    BinFileReader_ReadUnsignedShort(reader, &f->accentClass) &&
                    BinFileReader_ReadInt(reader, &f->ruleSymbolCount) &&
                    readShorts(reader, markers, kCepTTSMarkerCount) && readTables(reader, f);
    if (!ok) {
        CepTTSFrontEnd_Delete(f);
        return nullptr;
    }
    return f;
}

uint32_t CepTTSFrontEnd_ComputeCRC(const CepTTSFrontEnd* f)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (uint16_t tag : {f->punctuationTagA, f->punctuationTagB, f->defaultTag})
        crc = DVKCrc_AddValue(tag, 2, crc);
    for (int32_t v : {f->breakWindow, f->tagHistory, f->tagBeam, f->phraseSplitSyllables,
                      f->phraseMaxSyllables, f->phraseCostLength, f->phraseCostSlope,
                      f->pieceCostWeight, f->pieceCostOffset})
        crc = DVKCrc_AddValue(static_cast<uint32_t>(v), 4, crc);
    crc = DVKCrc_AddValue(f->accentClass, 2, crc);
    crc = DVKCrc_AddValue(static_cast<uint32_t>(f->ruleSymbolCount), 4, crc);
    for (uint16_t m : f->markers)
        crc = DVKCrc_AddValue(m, 2, crc);
    crc = DVKCrc_AddValue(LMRewrite_ComputeCRC(f->tagRewrites), 4, crc);
    crc = DVKCrc_AddValue(LMDTree_ComputeCRC(f->breakTree, 0xFFFFFFFFu), 4, crc);
    crc = DVKCrc_AddValue(DVKCrc_AddArray(f->breakClasses, 1, f->breakClassCount, 0xFFFFFFFFu), 4, crc);
    if (f->phraseCostLength > 0)
        crc = DVKCrc_AddValue(DVKCrc_AddArray(f->phraseCosts, 1, f->phraseCostLength + 1, 0xFFFFFFFFu), 4,
                              crc);
    crc = DVKCrc_AddValue(LMIndexTable_ComputeCRC(f->posClassTable), 4, crc);
    if (f->rules != nullptr)
        crc = DVKCrc_AddValue(CepTTSRuleBlock_ComputeCRC(f->rules), 4, crc);
    return crc;
}

void CepTTSFrontEnd_Delete(CepTTSFrontEnd* f)
{
    if (f == nullptr)
        return;
    LMRewrite_Delete(f->tagRewrites);
    LMDTree_Delete(f->breakTree);
    DVKMem_Free(f->breakClasses);
    DVKMem_Free(f->phraseCosts);
    LMIndexTable_Delete(f->posClassTable);
    CepTTSRuleBlock_Delete(f->rules);
    DVKMem_Free(f);
}
