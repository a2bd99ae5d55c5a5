#include "core/brevit/lexicon/pos_model.h"

#include "core/brevit/runtime/dvk_char_encoding.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/runtime/dvk_unicode_str.h"
#include "core/brevit/search/table_read.h"

#include <cstring>

namespace {

// Each lead's patterns are non-empty 0-ended runs filling its range, and
// the ranges step forward inside the store.
bool patternsValid(const POS* pos)
{
    for (int32_t j = 0; j < pos->leadCount; ++j) {
        const uint32_t from = pos->patternOffsets[j];
        const uint32_t to = pos->patternOffsets[j + 1];
        if (from > to || to > static_cast<uint32_t>(pos->patternLength))
            return false;
        if (from == to)
            continue;
        if (pos->patterns[to - 1] != 0)
            return false;
        for (uint32_t i = from; i < to; ++i)
            if (pos->patterns[i] == 0 && (i == from || pos->patterns[i - 1] == 0))
                return false;
    }
    return true;
}

bool rulesValid(const POS* pos)
{
    const int64_t lastZero = TableRead_LastTerminator(pos->ruleStrings, pos->ruleStringLength, 0);
    for (int32_t r = 0; r < pos->ruleCount; ++r)
        if (int64_t{pos->rules[r].stringOffset} > lastZero)
            return false;
    for (int32_t n = 0; n < kPOSRuleSets; ++n) {
        const int32_t first = pos->ruleSets[n];
        const int32_t size = pos->ruleSetSizes[n];
        if (first < -1 || first >= pos->ruleCount || size < 0)
            return false;
        if (first >= 0 && int64_t{first} + size > pos->ruleCount)
            return false;
    }
    return true;
}

bool readRules(BinFileReader* reader, POS* pos)
{
    if (pos->ruleCount == 0)
        return true;
    // Three 4-byte records a rule.
    if (int64_t{pos->ruleCount} * 12 > TableRead_Remaining(reader))
        return false;
    pos->rules = static_cast<POSRule*>(
        DVKMem_Calloc(static_cast<uint32_t>(pos->ruleCount) * sizeof(POSRule)));
    if (pos->rules == nullptr)
        return false;
    for (int32_t r = 0; r < pos->ruleCount; ++r) {
        POSRule& rule = pos->rules[r];
        if (!BinFileReader_ReadUnsignedShort(reader, &rule.stringOffset) ||
            !BinFileReader_ReadShort(reader, &rule.kind) ||
            !BinFileReader_ReadUnsignedShort(reader, &rule.pos))
            return false;
    }
    return true;
}

// Length of the longest pattern of lead j that matches the text at p, or 0.
int32_t longestNucleus(const POS* pos, int32_t j, const uint16_t* text)
{
    int32_t best = 0;
    const uint16_t* pattern = pos->patterns + pos->patternOffsets[j];
    const uint16_t* end = pos->patterns + pos->patternOffsets[j + 1];
    while (pattern < end) {
        int32_t n = 0;
        bool matches = true;
        for (; pattern[n] != 0; ++n)
            matches = matches && text[n] != 0 && (text[n] & 0xFF) == pattern[n];
        if (matches && n > best)
            best = n;
        pattern += n + 1;
    }
    return best;
}

int32_t countNuclei(const POS* pos, const uint16_t* text)
{
    int32_t count = 0;
    for (const uint16_t* p = text; *p != 0;) {
        int32_t step = 1;
        for (int32_t j = 0; j < pos->leadCount; ++j) {
            if (pos->leads[j] != (*p & 0xFF))
                continue;
            const int32_t n = longestNucleus(pos, j, p);
            if (n > 0) {
                ++count;
                step = n;
            }
            break;
        }
        p += step;
    }
    return count > 0 ? count : 1;
}

bool ruleMatches(const POS* pos, const POSRule& rule, const uint16_t* text, int32_t length)
{
    const uint16_t* string = pos->ruleStrings + rule.stringOffset;
    const int32_t n = DVKUnicode_Length(string);
    if (n > length)
        return false;
    if (rule.kind == kPOSRuleBegins)
        return DVKUnicode_NCompare(text, string, n) == 0;
    if (rule.kind == kPOSRuleEnds)
        return DVKUnicode_Compare(text + length - n, string) == 0;
    return false;
}

uint32_t arrayCRC(const void* array, int32_t elementSize, int64_t count)
{
    if (array == nullptr)
        return 0xFFFFFFFFu;
    return DVKCrc_AddArray(array, elementSize, static_cast<int32_t>(count), 0xFFFFFFFFu);
}

} // namespace

POS* POS_Read(BinFileReader* reader)
{
    auto* pos = static_cast<POS*>(DVKMem_Calloc(sizeof(POS)));
    if (pos == nullptr)
        return nullptr;
    bool ok = BinFileReader_ReadInt(reader, &pos->encoding) &&
              BinFileReader_ReadInt(reader, &pos->secondValue) &&
              BinFileReader_ReadUnsignedInt(reader, &pos->setCRC) &&
              BinFileReader_ReadInt(reader, &pos->patternLength) &&
              BinFileReader_ReadInt(reader, &pos->leadCount) &&
              BinFileReader_ReadInt(reader, &pos->defaultCount) &&
              BinFileReader_ReadInt(reader, &pos->ruleCount) &&
              BinFileReader_ReadInt(reader, &pos->ruleStringLength) && pos->patternLength >= 0 &&
              pos->leadCount >= 0 && pos->defaultCount >= 0 && pos->ruleCount >= 0 &&
              pos->ruleStringLength >= 0;
    if (ok) {
        pos->map = LMIndexTable_Read(reader);
        ok = pos->map != nullptr;
    }
    void* arrays[5] = {};
    ok = ok && TableRead_Array(reader, 2, pos->patternLength, true, &arrays[0]);
    pos->patterns = static_cast<uint16_t*>(arrays[0]);
    ok = ok && TableRead_Array(reader, 2, pos->leadCount, true, &arrays[1]);
    pos->leads = static_cast<uint16_t*>(arrays[1]);
    ok = ok && TableRead_Array(reader, 4, int64_t{pos->leadCount} + 1, true, &arrays[2]);
    pos->patternOffsets = static_cast<uint32_t*>(arrays[2]);
    ok = ok && TableRead_Array(reader, 2, int64_t{pos->defaultCount} + 1, true, &arrays[3]);
    pos->defaults = static_cast<uint16_t*>(arrays[3]);
    ok = ok && readRules(reader, pos);
    for (int32_t n = 0; ok && n < kPOSRuleSets; ++n)
        ok = BinFileReader_ReadInt(reader, &pos->ruleSets[n]);
    ok = ok && BinFileReader_ReadArray(reader, pos->ruleSetSizes, 4, kPOSRuleSets);
    ok = ok && TableRead_Array(reader, 2, pos->ruleStringLength, pos->ruleCount > 0, &arrays[4]);
    pos->ruleStrings = static_cast<uint16_t*>(arrays[4]);
    ok = ok && patternsValid(pos) && rulesValid(pos);
    if (!ok) {
        POS_Delete(pos);
        return nullptr;
    }
    return pos;
}

POS* POS_LoadFromBinFile(DVKTar* tar, const char* prefix)
{
    return TableRead_LoadSubFile(tar, kPOSSubFileTag, prefix, POS_Read);
}

int32_t POS_GuessPOS(const POS* pos, const uint16_t* text)
{
    const int32_t n = countNuclei(pos, text);
    const int32_t fallback = pos->defaults[n <= pos->defaultCount ? n : 0];
    if (n >= kPOSRuleSets || pos->ruleSets[n] < 0)
        return fallback;
    const int32_t length = DVKUnicode_Length(text);
    const int32_t first = pos->ruleSets[n];
    for (int32_t r = first; r < first + pos->ruleSetSizes[n]; ++r)
        if (ruleMatches(pos, pos->rules[r], text, length))
            return pos->rules[r].pos;
    return fallback;
}

int32_t POS_GuessPOSI(const POS* pos, const char* text)
{
    const size_t bytes = std::strlen(text);
    if (bytes >= 0x3FFFFFFF)
        return -1;
    const uint32_t mark = DVKTempMem_GetMark();
    const auto units = static_cast<int32_t>(bytes + 1);
    auto* decoded = static_cast<uint16_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(units) * 2));
    int32_t result = -1;
    if (CharEncoding_DecodeToUnicode(static_cast<uint32_t>(pos->encoding), text, units, decoded))
        result = POS_GuessPOS(pos, decoded);
    DVKTempMem_ReleaseToMark(mark);
    return result;
}

int32_t POS_GetMapForMWLCompression(const POS* pos, int32_t id)
{
    if (id == -1)
        return -1;
    return LMIndexTable_Get(pos->map, id) & 0xFFFF;
}

uint32_t POS_GetSetCRC(const POS* pos)
{
    return pos->setCRC;
}

uint32_t POS_ComputeCRC(const POS* pos)
{
    const int32_t scalars[] = {pos->encoding,         pos->secondValue,
                               static_cast<int32_t>(pos->setCRC), pos->patternLength,
                               pos->leadCount,        pos->defaultCount,
                               pos->ruleCount,        pos->ruleStringLength};
    uint32_t crc = 0xFFFFFFFFu;
    for (int32_t v : scalars)
        crc = DVKCrc_AddValue(static_cast<uint32_t>(v), 4, crc);
    crc = DVKCrc_AddValue(LMIndexTable_ComputeCRC(pos->map), 4, crc);
    crc = DVKCrc_AddValue(arrayCRC(pos->patterns, 2, pos->patternLength), 4, crc);
    crc = DVKCrc_AddValue(arrayCRC(pos->leads, 2, pos->leadCount), 4, crc);
    crc = DVKCrc_AddValue(arrayCRC(pos->patternOffsets, 4, int64_t{pos->leadCount} + 1), 4, crc);
    crc = DVKCrc_AddValue(arrayCRC(pos->defaults, 2, int64_t{pos->defaultCount} + 1), 4, crc);
    uint32_t rules = 0xFFFFFFFFu;
    for (int32_t r = 0; r < pos->ruleCount; ++r) {
        rules = DVKCrc_AddValue(pos->rules[r].stringOffset, 2, rules);
        rules = DVKCrc_AddValue(static_cast<uint16_t>(pos->rules[r].kind), 2, rules);
        rules = DVKCrc_AddValue(pos->rules[r].pos, 2, rules);
    }
    crc = DVKCrc_AddValue(rules, 4, crc);
    uint32_t sets = 0xFFFFFFFFu;
    for (int32_t first : pos->ruleSets)
        sets = DVKCrc_AddValue(static_cast<uint32_t>(first), 4, sets);
    crc = DVKCrc_AddValue(sets, 4, crc);
    crc = DVKCrc_AddValue(arrayCRC(pos->ruleSetSizes, 4, kPOSRuleSets), 4, crc);
    if (pos->ruleStrings != nullptr)
        crc = DVKCrc_AddValue(arrayCRC(pos->ruleStrings, 2, pos->ruleStringLength), 4, crc);
    return crc;
}

void POS_Delete(POS* pos)
{
    if (pos == nullptr)
        return;
    DVKMem_Free(pos->ruleStrings);
    DVKMem_Free(pos->rules);
    DVKMem_Free(pos->defaults);
    DVKMem_Free(pos->patternOffsets);
    DVKMem_Free(pos->leads);
    DVKMem_Free(pos->patterns);
    LMIndexTable_Delete(pos->map);
    DVKMem_Free(pos);
}
