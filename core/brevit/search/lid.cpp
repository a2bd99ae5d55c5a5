#include "core/brevit/search/lid.h"

#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/runtime/dvk_unicode_str.h"
#include "core/brevit/runtime/dvk_utf8.h"
#include "core/brevit/search/table_read.h"

#include <cstring>

namespace {

constexpr int32_t kNoMargin = 0x7FFFFFFF;
constexpr int64_t kNoCost = 65535;

// The text's symbols into symbols (room for one per byte); -1 for text the
// model cannot read (invalid UTF-8), else the count.
int32_t textSymbols(const LID* model, const char* text, uint16_t* symbols)
{
    int32_t n = 0;
    if (model->byteMap != nullptr) {
        for (const char* p = text; *p != '\0'; ++p) {
            const uint16_t s = model->byteMap[static_cast<uint8_t>(*p)];
            if (s != 0)
                symbols[n++] = s;
        }
        return n;
    }
    if (!DVKUTF8_IsValid(text, nullptr))
        return -1;
    char character[8];
    for (const char* p = text;;) {
        const int32_t length = DVKUTF8_GetChar(p, character);
        if (length <= 0)
            break;
        const uint16_t id = LMSymbolTable_FindId(model->characters, character);
        if (id != kLMSymbolNone)
            symbols[n++] = id;
        p += length;
    }
    return n;
}

// Adds every language's cost at each text position to totals[1..languages].
void addCosts(const LID* model, const uint16_t* symbols, int32_t count, int32_t languages,
              int64_t* totals)
{
    const int32_t positions = LMDTree_GetMaxContextPosition(model->tree) + 1;
    const int32_t half = model->width / 2;
    const uint32_t mark = DVKTempMem_GetMark();
    auto* context = static_cast<uint16_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(positions + 1) * 2));
    auto* values = static_cast<uint16_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(languages + 1) * 2));
    auto* bytes = static_cast<uint8_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(languages + 1)));
    auto* costs = static_cast<int64_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(languages + 1) * 8));
    for (int32_t i = 0; i < count; ++i) {
        // Context position p sees text symbol i + p - w / 2, 0 outside the text.
        for (int32_t p = 0; p < positions; ++p) {
            const int64_t at = int64_t{i} + p - half;
            context[p] = at >= 0 && at < count ? symbols[at] : 0;
        }
        std::memset(values, 0, static_cast<size_t>(languages + 1) * 2);
        std::memset(bytes, 0, static_cast<size_t>(languages + 1));
        const int32_t entries = LMDTree_GetLeaf(model->tree, context, values, bytes, languages + 1);
        for (int32_t l = 1; l <= languages; ++l)
            costs[l] = kNoCost;
        // The last entry of a language counts.
        for (int32_t e = 0; e < entries; ++e)
            if (values[e] >= 1 && values[e] <= languages)
                costs[values[e]] = bytes[e];
        for (int32_t l = 1; l <= languages; ++l)
            totals[l] += costs[l];
    }
    DVKTempMem_ReleaseToMark(mark);
}

uint32_t subCRC(uint32_t value, uint32_t crc)
{
    return DVKCrc_AddValue(value, 4, crc);
}

} // namespace

LID* LID_Read(BinFileReader* reader)
{
    auto* model = static_cast<LID*>(DVKMem_Calloc(sizeof(LID)));
    if (model == nullptr)
        return nullptr;
    int32_t mode = 0;
    void* byteMap = nullptr;
    bool ok = BinFileReader_ReadInt(reader, &model->scale) &&
              BinFileReader_ReadUnsignedInt(reader, &model->languageSetCRC) &&
              BinFileReader_ReadInt(reader, &model->width) && model->width >= 0 &&
              (model->languages = LMSymbolTable_Read(reader)) != nullptr &&
              (model->exceptionWords = LMSymbolTable_Read(reader)) != nullptr &&
              (model->exceptionLanguages = LMIndexTable_Read(reader)) != nullptr &&
              (model->thirdTable = LMSymbolTable_Read(reader)) != nullptr &&
              TableRead_Array(reader, 2, kLIDByteMapSize, false, &byteMap);
    model->byteMap = static_cast<uint16_t*>(byteMap);
    ok = ok && BinFileReader_ReadInt(reader, &mode);
    if (ok && mode == kLIDModeCharacters)
        ok = (model->characters = LMSymbolTable_Read(reader)) != nullptr &&
             (model->secondIndex = LMIndexTable_Read(reader)) != nullptr;
    // Without a byte map the text is looked up in the character table: it
    // must be there.
    ok = ok && (model->byteMap != nullptr || mode == kLIDModeCharacters) &&
         (model->tree = LMDTree_LoadFromBinFile(reader)) != nullptr &&
         LMDTree_GetMaxContextPosition(model->tree) < model->width;
    if (!ok) {
        LID_Delete(model);
        return nullptr;
    }
    return model;
}

LID* LID_LoadFromBinFile(DVKTar* tar, const char* prefix)
{
    return TableRead_LoadSubFile(tar, kLIDSubFileTag, prefix, LID_Read);
}

const char* LID_IdentifyText(const LID* model, const char* text, int32_t* margin)
{
    int32_t unused = 0;
    if (margin == nullptr)
        margin = &unused;
    *margin = kNoMargin;
    if (model == nullptr || text == nullptr)
        return nullptr;
    const uint16_t exception = LMSymbolTable_FindId(model->exceptionWords, text);
    if (exception != kLMSymbolNone)
        return LMSymbolTable_GetName(model->languages,
                                     LMIndexTable_Get(model->exceptionLanguages, exception));
    const int32_t languages = LMSymbolTable_GetCount(model->languages);
    if (languages <= 0) {
        *margin = 0;
        return LMSymbolTable_GetName(model->languages, 0);
    }
    const size_t length = std::strlen(text);
    if (length >= 0x3FFFFFFF)
        return nullptr;
    const uint32_t mark = DVKTempMem_GetMark();
    auto* symbols = static_cast<uint16_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(length + 1) * 2));
    const int32_t count = textSymbols(model, text, symbols);
    const char* result = nullptr;
    if (count > 0) {
        auto* totals = static_cast<int64_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(languages + 1) * 8));
        std::memset(totals, 0, static_cast<size_t>(languages + 1) * 8);
        addCosts(model, symbols, count, languages, totals);
        int32_t best = 1;
        for (int32_t l = 2; l <= languages; ++l)
            if (totals[l] < totals[best])
                best = l;
        int64_t gap = int64_t{kNoMargin} - totals[best];
        if (languages > 1) {
            int64_t runnerUp = INT64_MAX;
            for (int32_t l = 1; l <= languages; ++l)
                if (l != best && totals[l] < runnerUp)
                    runnerUp = totals[l];
            gap = runnerUp - totals[best];
        }
        if (gap < 0)
            gap = 0;
        if (gap < *margin)
            *margin = static_cast<int32_t>(gap);
        result = LMSymbolTable_GetName(model->languages, best);
    }
    DVKTempMem_ReleaseToMark(mark);
    return result;
}

const char* LID_GetLanguageId(const LID* model, const uint16_t* text, int32_t* margin)
{
    if (margin != nullptr)
        *margin = kNoMargin;
    if (model == nullptr || text == nullptr)
        return nullptr;
    const int32_t length = DVKUnicode_Length(text);
    if (length >= 0x2AAAAAAA)
        return nullptr;
    const uint32_t mark = DVKTempMem_GetMark();
    const char* result = nullptr;
    if (model->byteMap != nullptr) {
        auto* bytes = static_cast<char*>(DVKTempMem_Malloc(static_cast<uint32_t>(length) + 1));
        for (int32_t i = 0; i < length; ++i)
            bytes[i] = static_cast<char>(text[i] < 256 ? text[i] : 0x20);
        bytes[length] = '\0';
        result = LID_IdentifyText(model, bytes, margin);
    } else {
        const auto size = static_cast<uint32_t>(3 * length + 1);
        auto* utf8 = static_cast<char*>(DVKTempMem_Malloc(size));
        if (DVKUTF8_FromUnicode(text, static_cast<int32_t>(size), utf8) == 0)
            result = LID_IdentifyText(model, utf8, margin);
    }
    DVKTempMem_ReleaseToMark(mark);
    return result;
}

int32_t LID_GetScale(const LID* model)
{
    return model->scale;
}

uint32_t LID_GetLanguageSetCRC(const LID* model)
{
    return model->languageSetCRC;
}

uint32_t LID_ComputeCRC(const LID* model)
{
    uint32_t crc = 0xFFFFFFFFu;
    crc = DVKCrc_AddInt(static_cast<uint32_t>(model->scale), crc);
    crc = DVKCrc_AddInt(model->languageSetCRC, crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(model->width), crc);
    crc = subCRC(LMSymbolTable_ComputeCRC(model->languages), crc);
    crc = subCRC(LMSymbolTable_ComputeCRC(model->exceptionWords), crc);
    crc = subCRC(LMIndexTable_ComputeCRC(model->exceptionLanguages), crc);
    crc = subCRC(LMSymbolTable_ComputeCRC(model->thirdTable), crc);
    if (model->characters != nullptr)
        crc = subCRC(LMSymbolTable_ComputeCRC(model->characters), crc);
    if (model->byteMap != nullptr)
        crc = subCRC(DVKCrc_AddArray(model->byteMap, 2, kLIDByteMapSize, 0xFFFFFFFFu), crc);
    if (model->secondIndex != nullptr)
        crc = subCRC(LMIndexTable_ComputeCRC(model->secondIndex), crc);
    return subCRC(LMDTree_ComputeCRC(model->tree, 0), crc);
}

void LID_Delete(LID* model)
{
    if (model == nullptr)
        return;
    LMDTree_Delete(model->tree);
    LMIndexTable_Delete(model->secondIndex);
    LMIndexTable_Delete(model->exceptionLanguages);
    DVKMem_Free(model->byteMap);
    LMSymbolTable_Delete(model->characters);
    LMSymbolTable_Delete(model->thirdTable);
    LMSymbolTable_Delete(model->exceptionWords);
    LMSymbolTable_Delete(model->languages);
    DVKMem_Free(model);
}
