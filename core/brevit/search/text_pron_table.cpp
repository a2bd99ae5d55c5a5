#include "core/brevit/search/text_pron_table.h"

#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/runtime/dvk_str.h"
#include "core/brevit/runtime/dvk_unicode_str.h"
#include "core/brevit/search/table_read.h"

namespace {

// Fewest bytes an entry's records take: four scalars, two strings, a
// segment table, a phone table and the flags array.
constexpr int64_t kMinEntryBytes = 64;

// Segments with an empty name would match without advancing.
bool segmentsValid(const LMSymbolTableU* segments)
{
    const int32_t count = LMSymbolTableU_GetCount(segments);
    for (int32_t k = 1; k <= count; ++k) {
        const uint16_t* name = LMSymbolTableU_GetName(segments, k);
        if (name == nullptr || name[0] == 0)
            return false;
    }
    return true;
}

bool readEntry(BinFileReader* reader, TextPronEntry* entry)
{
    void* flags = nullptr;
    const bool ok =
        BinFileReader_ReadChar(reader, &entry->separator) &&
        BinFileReader_ReadInt(reader, &entry->mark) &&
        BinFileReader_ReadInt(reader, &entry->boundary) &&
        BinFileReader_ReadInt(reader, &entry->flagCount) && entry->flagCount >= 0 &&
        BinFileReader_ReadAndAllocateString(reader, &entry->name) &&
        BinFileReader_ReadAndAllocateString(reader, &entry->secondName) &&
        (entry->segments = LMSymbolTableU_Read(reader)) != nullptr &&
        (entry->phones = LMRewrite_Read(reader)) != nullptr &&
        TableRead_Array(reader, 4, entry->flagCount, true, &flags);
    entry->flags = static_cast<uint32_t*>(flags);
    return ok && segmentsValid(entry->segments);
}

const TextPronEntry* entryFor(const TextPronTable* table, const char* tag)
{
    if (tag != nullptr)
        for (int32_t e = 0; e < table->count; ++e)
            if (table->entries[e].name != nullptr && DVKStr_Compare(table->entries[e].name, tag) == 0)
                return &table->entries[e];
    return &table->entries[table->count - 1];
}

// Appends the phones of the segments of buffer; false when an unknown
// character ended it. full: the output reached its limit.
bool segment(const TextPronEntry& entry, const uint16_t* buffer, int32_t maximum,
             uint16_t* phones, int32_t* n, bool* full)
{
    const auto separator = static_cast<uint16_t>(static_cast<uint8_t>(entry.separator));
    const int32_t segments = LMSymbolTableU_GetCount(entry.segments);
    for (int32_t position = 0; buffer[position] != 0;) {
        int32_t matched = 0;
        for (int32_t k = 1; k <= segments && matched == 0; ++k) {
            const uint16_t* name = LMSymbolTableU_GetName(entry.segments, k);
            const int32_t length = DVKUnicode_Length(name);
            if (DVKUnicode_NCompare(buffer + position, name, length) != 0)
                continue;
            const uint16_t* list = nullptr;
            int32_t count = 0;
            LMRewrite_GetRewritesForId(entry.phones, k, &list, &count);
            for (int32_t i = 0; i < count; ++i) {
                if (list[i] == 0)
                    continue;
                if (*n >= maximum - 1) {
                    *full = true;
                    return true;
                }
                phones[(*n)++] = list[i];
            }
            matched = length;
        }
        if (matched > 0)
            position += matched;
        else if (separator != 0 && buffer[position] == separator)
            ++position;
        else
            return false;
    }
    return true;
}

// In place: boundary runs written once, deferred marks moved before the next
// phone that accepts one. Returns the phones kept.
int32_t placeMarks(const TextPronEntry& entry, uint16_t* phones, int32_t n)
{
    int32_t written = 0;
    bool pending = false;
    for (int32_t r = 0; r < n; ++r) {
        const uint16_t p = phones[r];
        if (p == entry.mark) {
            pending = true;
        } else if (entry.boundary != 0 && p == entry.boundary) {
            if (written == 0 || phones[written - 1] != p)
                phones[written++] = p;
        } else if (p < entry.flagCount && entry.flags[p] != 0) {
            if (pending)
                phones[written++] = static_cast<uint16_t>(entry.mark);
            pending = false;
            phones[written++] = p;
        } else {
            phones[written++] = p;
        }
    }
    return written;
}

} // namespace

TextPronTable* TextPronTable_Alloc(int32_t count)
{
    if (count < 0 || count > 0x7FFFFFF)
        return nullptr;
    auto* table = static_cast<TextPronTable*>(DVKMem_Calloc(sizeof(TextPronTable)));
    if (table == nullptr)
        return nullptr;
    table->entries = static_cast<TextPronEntry*>(
        DVKMem_Calloc(static_cast<uint32_t>(count) * sizeof(TextPronEntry)));
    if (table->entries == nullptr) {
        DVKMem_Free(table);
        return nullptr;
    }
    table->count = count;
    return table;
}

TextPronTable* TextPronTable_Read(BinFileReader* reader)
{
    int32_t count = 0;
    if (!BinFileReader_ReadInt(reader, &count) || count <= 0 ||
        count * kMinEntryBytes > TableRead_Remaining(reader))
        return nullptr;
    TextPronTable* table = TextPronTable_Alloc(count);
    if (table == nullptr)
        return nullptr;
    for (int32_t e = 0; e < count; ++e)
        if (!readEntry(reader, &table->entries[e])) {
            TextPronTable_Delete(table);
            return nullptr;
        }
    return table;
}

TextPronTable* TextPronTable_LoadFromBinFile(DVKTar* tar, const char* prefix)
{
    return TableRead_LoadSubFile(tar, kTextPronSubFileTag, prefix, TextPronTable_Read);
}

int32_t TextPronTable_TextToPron(const TextPronTable* table, void*, const uint16_t* text,
                                 const char* tag, int32_t maximum, uint16_t* phones)
{
    if (table == nullptr || table->count <= 0 || table->entries == nullptr)
        return kTextPronNoTable;
    if (maximum < 1 || phones == nullptr)
        return kTextPronFull;
    const TextPronEntry& entry = *entryFor(table, tag);
    const int32_t length = text != nullptr ? DVKUnicode_Length(text) : 0;
    if (length > 0x3FFFFFF0)
        return kTextPronNothing;
    const uint32_t mark = DVKTempMem_GetMark();
    auto* buffer = static_cast<uint16_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(length + 3) * 2));
    int32_t at = 0;
    const auto separator = static_cast<uint16_t>(static_cast<uint8_t>(entry.separator));
    if (separator != 0)
        buffer[at++] = separator;
    for (int32_t i = 0; i < length; ++i)
        buffer[at++] = text[i];
    if (separator != 0)
        buffer[at++] = separator;
    buffer[at] = 0;
    int32_t n = 0;
    bool full = false;
    const bool known = segment(entry, buffer, maximum, phones, &n, &full);
    DVKTempMem_ReleaseToMark(mark);
    phones[n] = kTextPronEnd;
    if (!known)
        return kTextPronNothing;
    n = placeMarks(entry, phones, n);
    int32_t result = full ? kTextPronFull : kTextPronDone;
    if (entry.boundary != 0 && n > 0 && phones[n - 1] != entry.boundary) {
        if (n >= maximum - 1)
            result = kTextPronFull;
        else
            phones[n++] = static_cast<uint16_t>(entry.boundary);
    }
    phones[n] = kTextPronEnd;
    if (result == kTextPronDone && n == 0)
        result = kTextPronNothing;
    return result;
}

uint32_t TextPronTable_ComputeCRC(const TextPronTable* table)
{
    uint32_t crc = DVKCrc_AddValue(static_cast<uint32_t>(table->count), 4, 0xFFFFFFFFu);
    for (int32_t e = 0; e < table->count; ++e) {
        const TextPronEntry& entry = table->entries[e];
        if (entry.flagCount <= 0)
            continue;
        uint32_t header = DVKCrc_AddValue(static_cast<uint8_t>(entry.separator), 1, 0xFFFFFFFFu);
        header = DVKCrc_AddValue(static_cast<uint32_t>(entry.mark), 4, header);
        header = DVKCrc_AddValue(static_cast<uint32_t>(entry.boundary), 4, header);
        header = DVKCrc_AddValue(static_cast<uint32_t>(entry.flagCount), 4, header);
        header = DVKCrc_AddString(entry.name, header);
        header = DVKCrc_AddString(entry.secondName, header);
        // The four parts are summed (wrapping) into one value.
        const uint32_t sum = header + LMSymbolTableU_ComputeCRC(entry.segments) +
                             LMRewrite_ComputeCRC(entry.phones) +
                             DVKCrc_AddArray(entry.flags, 4, entry.flagCount, 0xFFFFFFFFu);
        crc = DVKCrc_AddValue(sum, 4, crc);
    }
    return crc;
}

void TextPronTable_Delete(TextPronTable* table)
{
    if (table == nullptr)
        return;
    for (int32_t e = 0; e < table->count; ++e) {
        TextPronEntry& entry = table->entries[e];
        DVKMem_Free(entry.flags);
        LMRewrite_Delete(entry.phones);
        LMSymbolTableU_Delete(entry.segments);
        DVKMem_Free(entry.secondName);
        DVKMem_Free(entry.name);
    }
    DVKMem_Free(table->entries);
    DVKMem_Free(table);
}
