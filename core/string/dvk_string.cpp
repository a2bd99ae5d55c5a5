#include "core/string/dvk_string.h"

#include "core/lang/dvk_dvkrc.h"
#include "core/lang/dvk_table_file.h"
#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_mem.h"

#include <cstring>

namespace {

const int kHeaderSize = 48;

bool validates(const uint8_t* header, const dvk_dvkrc_StringTable* descriptor)
{
    return dvk_table_sameText(reinterpret_cast<const char*>(header), descriptor->version, 16) &&
           dvk_table_sameText(reinterpret_cast<const char*>(header + 16), descriptor->locale, 8) &&
           dvk_table_word(header, 24) == descriptor->magic &&
           dvk_table_word(header, 28) == descriptor->encoding &&
           dvk_table_word(header, 32) == descriptor->count &&
           dvk_table_word(header, 36) == descriptor->textLength;
}

void freeRange(dvk_string_Range** range)
{
    if (*range == nullptr)
        return;
    if ((*range)->ownsBuffers) {
        void* offsets = const_cast<uint8_t*>((*range)->offsets);
        void* text = const_cast<uint8_t*>((*range)->text);
        dvk_mem_dealloc(&offsets);
        dvk_mem_dealloc(&text);
    }
    dvk_mmap_unmapFile(&(*range)->mapping);
    dvk_mem_dealloc(range);
}

// The range of a file, or NULL. Header, offsets and text must lie in the file.
dvk_string_Range* loadFile(const char* name, const dvk_dvkrc_StringTable* descriptor)
{
    dvk_table_File file;
    if (!dvk_table_open(name, &file))
        return nullptr;
    auto* range = static_cast<dvk_string_Range*>(dvk_mem_alloc(sizeof(dvk_string_Range)));
    if (range == nullptr) {
        dvk_table_close(&file);
        return nullptr;
    }
    *range = dvk_string_Range{};
    uint8_t header[kHeaderSize];
    bool ok = dvk_table_readHeader(&file, header, kHeaderSize) &&
              (descriptor == nullptr || validates(header, descriptor));
    if (ok) {
        range->latin1 = dvk_table_word(header, 28) != 0;
        range->count = dvk_table_word(header, 32);
        range->textLength = dvk_table_word(header, 36);
        const int64_t offsetBytes = 4 * (static_cast<int64_t>(range->count) + 1);
        const int64_t textBytes = static_cast<int64_t>(range->textLength) * (range->latin1 ? 1 : 2);
        ok = kHeaderSize + offsetBytes + textBytes <= file.size;
        if (ok && file.mapping != nullptr) {
            range->offsets = file.bytes + kHeaderSize;
            range->text = textBytes > 0 ? file.bytes + kHeaderSize + offsetBytes : nullptr;
            range->mapping = file.mapping;
            file.mapping = nullptr;  // the range keeps it
        } else if (ok) {
            range->ownsBuffers = 1;
            range->offsets = static_cast<uint8_t*>(dvk_table_readExact(&file, offsetBytes));
            ok = range->offsets != nullptr;
            if (ok && textBytes > 0) {
                range->text = static_cast<uint8_t*>(dvk_table_readExact(&file, textBytes));
                ok = range->text != nullptr;
            }
        }
    }
    dvk_table_close(&file);
    if (!ok)
        freeRange(&range);
    return range;
}

// The range and index of an id; asserts ids outside both ranges.
dvk_string_Range* rangeOf(dvk_string_Table* table, int32_t id, uint32_t* index)
{
    DVK_ASSERT(table != DVK_NULL);
    DVK_ASSERT(((id >= DVK_STR_FIRST) && (id < DVK_STR_MAX)) ||
               ((id >= DVK_STR_VSEARCH_FIRST) && (id <= DVK_STR_VSEARCH_LAST)));
    if (id < DVK_STR_MAX) {
        *index = static_cast<uint32_t>(id);
        return table->ranges[0];
    }
    *index = static_cast<uint32_t>(id - DVK_STR_VSEARCH_FIRST);
    return table->ranges[1];
}

dvk_ucs2_Char unitAt(const dvk_string_Range* range, uint32_t position)
{
    return dvk_table_textUnit(range->text, range->latin1, position);
}

// Where string index starts, and its length, when it lies whole in the text.
bool locate(const dvk_string_Range* range, uint32_t index, uint32_t* start, uint32_t* length)
{
    const uint32_t offset = dvk_table_word(range->offsets, static_cast<int>(4 * index));
    return dvk_table_terminatedText(range->text, range->latin1, range->textLength, offset, start, length);
}

} // namespace

dvk_string_Table* dvk_string_createStringTable(dvk_lang_Language language)
{
    auto* table = static_cast<dvk_string_Table*>(dvk_mem_alloc(sizeof(dvk_string_Table)));
    if (table != nullptr)
        *table = dvk_string_Table{{nullptr, nullptr}, language};
    return table;
}

void dvk_string_destroyStringTable(dvk_string_Table** table)
{
    DVK_ASSERT(table != DVK_NULL);
    if (*table == nullptr)
        return;
    dvk_string_unloadStringTableRange(*table, 0);
    dvk_string_unloadStringTableRange(*table, 1);
    dvk_mem_dealloc(table);
}

dvk_string_Table* dvk_string_loadStringTableRange(dvk_string_Table* table, int range)
{
    DVK_ASSERT(table != DVK_NULL);
    DVK_ASSERT((range == 0) || (range == 1));
    return dvk_table_loadRange(&table->ranges[range], table->language, range, dvk_dvkrc_getStringTable, dvk_lang_getStringsFileName, dvk_lang_getVSearchStringsFileName,
                               loadFile)
               ? table
               : nullptr;
}

void dvk_string_unloadStringTableRange(dvk_string_Table* table, int range)
{
    DVK_ASSERT(table != DVK_NULL);
    DVK_ASSERT((range == 0) || (range == 1));
    freeRange(&table->ranges[range]);
}

dvk_ucs2_Char* dvk_string_getString(dvk_string_Table* table, int32_t id)
{
    uint32_t index = 0;
    dvk_string_Range* range = rangeOf(table, id, &index);
    if (id < DVK_STR_MAX) {
        DVK_ASSERT(range != DVK_NULL);
        DVK_ASSERT(index < range->count);
    } else if (range == nullptr || index >= range->count) {
        return nullptr;
    }
    uint32_t start = 0, length = 0;
    if (!locate(range, index, &start, &length))
        return nullptr;
    auto* copy = static_cast<dvk_ucs2_Char*>(
        dvk_mem_alloc((static_cast<size_t>(length) + 1) * sizeof(dvk_ucs2_Char)));
    if (copy == nullptr)
        return nullptr;
    for (uint32_t i = 0; i <= length; ++i)
        copy[i] = unitAt(range, start + i);
    return copy;
}

int dvk_string_compareString(dvk_string_Table* table, int32_t id, const dvk_ucs2_Char* text)
{
    DVK_ASSERT(text != DVK_NULL);
    uint32_t index = 0;
    dvk_string_Range* range = rangeOf(table, id, &index);
    uint32_t start = 0, length = 0;
    if (range == nullptr || index >= range->count || !locate(range, index, &start, &length))
        return -1;
    if (range->latin1)
        return dvk_ucs2_strcmpLatin1(reinterpret_cast<const char*>(range->text + start), text);
    uint32_t i = 0;
    while (i < length && unitAt(range, start + i) == text[i])
        ++i;
    return static_cast<int>(i < length ? unitAt(range, start + i) : 0) - static_cast<int>(text[i]);
}

const void* dvk_string_findEntry(dvk_string_Table* table, const void* entries, int32_t entrySize,
                                 int32_t totalSize, const dvk_ucs2_Char* text)
{
    DVK_ASSERT(entries != DVK_NULL);
    DVK_ASSERT(entrySize >= 4);
    DVK_ASSERT((totalSize >= 0) && (totalSize % entrySize == 0));
    const auto* bytes = static_cast<const uint8_t*>(entries);
    for (int32_t at = 0; at < totalSize; at += entrySize) {
        int32_t id = 0;
        std::memcpy(&id, bytes + at, sizeof id);
        if (dvk_string_compareString(table, id, text) == 0)
            return bytes + at;
    }
    return nullptr;
}
