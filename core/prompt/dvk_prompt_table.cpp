#include "core/prompt/dvk_prompt_table.h"

#include "core/lang/dvk_table_file.h"
#include "oem/dvk_oem_audio_types.h"
#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_mem.h"

#include <cstring>

namespace {

const uint32_t kNone = 0xFFFFFFFF;

void freeRange(dvk_prompt_Range** range)
{
    if (*range == nullptr)
        return;
    if ((*range)->ownsBuffers) {
        for (const uint8_t* block : {(*range)->audioOffsets, (*range)->audioLengths,
                                     (*range)->textOffsets, (*range)->text}) {
            void* owned = const_cast<uint8_t*>(block);
            dvk_mem_dealloc(&owned);
        }
    }
    dvk_mmap_unmapFile(&(*range)->mapping);
    if ((*range)->file != nullptr)
        dvk_file_fclose(&(*range)->file);
    dvk_mem_dealloc(range);
}

// Reads size bytes (none when size is 0) into a new buffer at *into.
bool readBlock(dvk_table_File* file, int64_t size, const uint8_t** into)
{
    if (size == 0)
        return true;
    *into = static_cast<const uint8_t*>(dvk_table_readExact(file, size));
    return *into != nullptr;
}

// The range of a file, or NULL. Header, arrays and blocks must lie in the file.
dvk_prompt_Range* loadFile(const char* name, const dvk_dvkrc_PromptTable* descriptor)
{
    dvk_table_File file;
    if (!dvk_table_open(name, &file))
        return nullptr;
    auto* range = static_cast<dvk_prompt_Range*>(dvk_mem_alloc(sizeof(dvk_prompt_Range)));
    if (range == nullptr) {
        dvk_table_close(&file);
        return nullptr;
    }
    *range = dvk_prompt_Range{};
    uint8_t header[DVK_PROMPT_HEADER_SIZE];
    bool ok = dvk_table_readHeader(&file, header, DVK_PROMPT_HEADER_SIZE) &&
              (descriptor == nullptr || dvk_prompt_validatePromptFile(descriptor, header));
    if (ok) {
        range->count = dvk_table_word(header, 28);
        range->vocoderType = dvk_prompt_getVocoderType(reinterpret_cast<const char*>(header + 32));
        range->audioSize = dvk_table_word(header, 40);
        range->encoding = dvk_table_word(header, 44);
        range->textLength = dvk_table_word(header, 48);
        const int64_t arrayBytes = 4 * static_cast<int64_t>(range->count);
        const int64_t textBytes = static_cast<int64_t>(range->textLength) * (range->encoding == 1 ? 1 : 2);
        range->audioStart = DVK_PROMPT_HEADER_SIZE + 2 * arrayBytes;
        const int64_t textOffsetsAt = range->audioStart + range->audioSize;
        ok = (range->encoding == 0 || range->encoding == 1) &&
             textOffsetsAt + arrayBytes + textBytes <= file.size;
        if (ok && file.mapping != nullptr) {
            range->audioOffsets = file.bytes + DVK_PROMPT_HEADER_SIZE;
            range->audioLengths = file.bytes + DVK_PROMPT_HEADER_SIZE + arrayBytes;
            range->audioBase = file.bytes + range->audioStart;
            range->textOffsets = file.bytes + textOffsetsAt;
            range->text = textBytes > 0 ? file.bytes + textOffsetsAt + arrayBytes : nullptr;
            range->mapping = file.mapping;
            file.mapping = nullptr;  // the range keeps it
        } else if (ok) {
            range->ownsBuffers = 1;
            ok = readBlock(&file, arrayBytes, &range->audioOffsets) &&
                 readBlock(&file, arrayBytes, &range->audioLengths) &&
                 dvk_table_seek(&file, textOffsetsAt) &&
                 readBlock(&file, arrayBytes, &range->textOffsets) &&
                 readBlock(&file, textBytes, &range->text);
            range->file = file.stream;
            file.stream = nullptr;  // the range keeps it
        }
    }
    dvk_table_close(&file);
    if (!ok)
        freeRange(&range);
    return range;
}

} // namespace

dvk_prompt_Range* dvk_prompt_buildRange(const dvk_dvkrc_PromptTable* descriptor)
{
    DVK_ASSERT(descriptor != DVK_NULL);
    auto* range = static_cast<dvk_prompt_Range*>(dvk_mem_alloc(sizeof(dvk_prompt_Range)));
    if (range == nullptr)
        return nullptr;
    *range = dvk_prompt_Range{};
    range->count = descriptor->count;
    range->vocoderType = dvk_prompt_getVocoderType(descriptor->vocoder);
    range->encoding = descriptor->encoding;
    range->audioSize = descriptor->audioSize;
    range->textLength = descriptor->textLength;
    // The descriptor's words are in the program's order, little-endian here.
    range->audioOffsets = reinterpret_cast<const uint8_t*>(descriptor->audioOffsets);
    range->audioLengths = reinterpret_cast<const uint8_t*>(descriptor->audioLengths);
    range->audioBase = descriptor->audio;
    range->textOffsets = reinterpret_cast<const uint8_t*>(descriptor->textOffsets);
    range->text = static_cast<const uint8_t*>(descriptor->text);
    if (range->audioOffsets == nullptr || range->audioLengths == nullptr || range->audioBase == nullptr) {
        range->audioOffsets = range->audioLengths = range->audioBase = nullptr;
        range->audioSize = 0;
    }
    if (range->textOffsets == nullptr)
        range->text = nullptr;
    return range;
}

namespace {

bool validId(int32_t id)
{
    return (id >= DVK_PROMPT_FIRST && id < DVK_PROMPT_MAX) ||
           (id >= DVK_PROMPT_VSEARCH_FIRST && id <= DVK_PROMPT_VSEARCH_LAST);
}

// The loaded range holding a valid id, with its index; NULL when the range
// is not loaded or the index is past its count.
dvk_prompt_Range* rangeOf(dvk_prompt_Table* table, int32_t id, uint32_t* index)
{
    DVK_ASSERT(table != DVK_NULL);
    dvk_prompt_Range* range = id < DVK_PROMPT_MAX ? table->ranges[0] : table->ranges[1];
    *index = static_cast<uint32_t>(id < DVK_PROMPT_MAX ? id : id - DVK_PROMPT_VSEARCH_FIRST);
    return range != nullptr && *index < range->count ? range : nullptr;
}

uint32_t wordAt(const uint8_t* words, uint32_t index)
{
    return dvk_table_word(words + 4 * static_cast<size_t>(index), 0);
}

// The prompt's audio when it lies whole in the audio block of a known vocoder.
bool audioOf(const dvk_prompt_Range* range, uint32_t index, uint32_t* offset, uint32_t* length)
{
    if (range->audioOffsets == nullptr || (range->audioBase == nullptr && range->file == nullptr))
        return false;
    *offset = wordAt(range->audioOffsets, index);
    *length = wordAt(range->audioLengths, index);
    return range->vocoderType != DVK_OEM_AUDIO_VOCTYPE_NONE && *offset != kNone && *length != kNone &&
           *length >= 1 && static_cast<uint64_t>(*offset) + *length <= range->audioSize;
}

dvk_ucs2_Char unitAt(const dvk_prompt_Range* range, uint32_t position)
{
    return dvk_table_textUnit(range->text, range->encoding == 1, position);
}

// The prompt's text when it starts and ends (terminated) in the text block.
bool textOf(const dvk_prompt_Range* range, uint32_t index, uint32_t* start, uint32_t* length)
{
    if (range->text == nullptr)
        return false;
    return dvk_table_terminatedText(range->text, range->encoding == 1, range->textLength,
                                    wordAt(range->textOffsets, index), start, length);
}

} // namespace

dvk_prompt_Table* dvk_prompt_createPromptTable(dvk_lang_Language language)
{
    auto* table = static_cast<dvk_prompt_Table*>(dvk_mem_alloc(sizeof(dvk_prompt_Table)));
    if (table != nullptr)
        *table = dvk_prompt_Table{{nullptr, nullptr}, language};
    return table;
}

void dvk_prompt_destroyPromptTable(dvk_prompt_Table** table)
{
    DVK_ASSERT(table != DVK_NULL);
    if (*table == nullptr)
        return;
    dvk_prompt_unloadPromptTableRange(*table, 0);
    dvk_prompt_unloadPromptTableRange(*table, 1);
    dvk_mem_dealloc(table);
}

dvk_prompt_Table* dvk_prompt_loadPromptTableRange(dvk_prompt_Table* table, int range)
{
    DVK_ASSERT(table != DVK_NULL);
    DVK_ASSERT((range == 0) || (range == 1));
    const dvk_dvkrc_PromptTable* descriptor = range == 0 ? dvk_dvkrc_getPromptTable(table->language) : nullptr;
    if (descriptor != nullptr && (descriptor->audio != nullptr || descriptor->text != nullptr)) {
        if (table->ranges[0] == nullptr)
            table->ranges[0] = dvk_prompt_buildRange(descriptor);
        return table->ranges[0] != nullptr ? table : nullptr;
    }
    return dvk_table_loadRange(&table->ranges[range], table->language, range, dvk_dvkrc_getPromptTable,
                               dvk_lang_getPromptsFileName, dvk_lang_getVSearchPromptsFileName, loadFile)
               ? table
               : nullptr;
}

void dvk_prompt_unloadPromptTableRange(dvk_prompt_Table* table, int range)
{
    DVK_ASSERT(table != DVK_NULL);
    DVK_ASSERT((range == 0) || (range == 1));
    freeRange(&table->ranges[range]);
}

int dvk_prompt_validatePromptFile(const dvk_dvkrc_PromptTable* descriptor, const uint8_t* header)
{
    DVK_ASSERT(descriptor != DVK_NULL);
    DVK_ASSERT(header != DVK_NULL);
    const char* text = reinterpret_cast<const char*>(header);
    return dvk_table_sameText(text, descriptor->version, 16) &&
           dvk_table_sameText(text + 16, descriptor->locale, 8) &&
           dvk_table_word(header, 24) == descriptor->magic &&
           dvk_table_word(header, 28) == descriptor->count &&
           dvk_table_sameText(text + 32, descriptor->vocoder, 8) &&
           dvk_table_word(header, 40) == descriptor->audioSize &&
           dvk_table_word(header, 44) == descriptor->encoding &&
           dvk_table_word(header, 48) == descriptor->textLength;
}

int32_t dvk_prompt_getVocoderType(const char* name)
{
    DVK_ASSERT(name != DVK_NULL);
    static const struct {
        const char* name;
        int32_t type;
    } kNames[] = {
        {"EVRC", DVK_OEM_AUDIO_VOCTYPE_EVRC},       {"AMR", DVK_OEM_AUDIO_VOCTYPE_AMR},
        {"GSM", DVK_OEM_AUDIO_VOCTYPE_GSM},         {"GSMMSFT", DVK_OEM_AUDIO_VOCTYPE_GSM65},
        {"SPEEX", DVK_OEM_AUDIO_VOCTYPE_SPEEXNB},   {"SPEEXWB", DVK_OEM_AUDIO_VOCTYPE_SPEEXWB},
        {"SPEEXUWB", DVK_OEM_AUDIO_VOCTYPE_SPEEXUWB}, {"QCELP", DVK_OEM_AUDIO_VOCTYPE_QCELP},
    };
    for (const auto& entry : kNames)
        if (dvk_table_sameText(name, entry.name, 8))
            return entry.type;
    return DVK_OEM_AUDIO_VOCTYPE_NONE;
}

int dvk_prompt_isVocoded(dvk_prompt_Table* table, int32_t id)
{
    uint32_t index = 0, offset = 0, length = 0;
    const dvk_prompt_Range* range = validId(id) ? rangeOf(table, id, &index) : nullptr;
    return range != nullptr && audioOf(range, index, &offset, &length);
}

int dvk_prompt_isTts(dvk_prompt_Table* table, int32_t id)
{
    uint32_t index = 0, start = 0, length = 0;
    const dvk_prompt_Range* range = validId(id) ? rangeOf(table, id, &index) : nullptr;
    return range != nullptr && textOf(range, index, &start, &length);
}

dvk_prompt_Prompt* dvk_prompt_createPrompt(dvk_prompt_Table* table, int32_t id)
{
    DVK_ASSERT(((id >= DVK_PROMPT_FIRST) && (id < DVK_PROMPT_MAX)) ||
               ((id >= DVK_PROMPT_VSEARCH_FIRST) && (id <= DVK_PROMPT_VSEARCH_LAST)));
    uint32_t index = 0, offset = 0, length = 0;
    dvk_prompt_Range* range = rangeOf(table, id, &index);
    if (range == nullptr || !audioOf(range, index, &offset, &length))
        return nullptr;
    auto* prompt = static_cast<dvk_prompt_Prompt*>(dvk_mem_alloc(sizeof(dvk_prompt_Prompt)));
    if (prompt == nullptr)
        return nullptr;
    *prompt = dvk_prompt_Prompt{range->vocoderType, nullptr, length, 0};
    if (range->audioBase != nullptr) {
        prompt->data = range->audioBase + offset;
        return prompt;
    }
    dvk_table_File file{nullptr, nullptr, range->file, 0};
    if (dvk_table_seek(&file, range->audioStart + offset))
        prompt->data = static_cast<const uint8_t*>(dvk_table_readExact(&file, length));
    if (prompt->data == nullptr) {
        dvk_mem_dealloc(&prompt);
        return nullptr;
    }
    prompt->owned = 1;
    return prompt;
}

void dvk_prompt_destroyPrompt(dvk_prompt_Prompt** prompt)
{
    DVK_ASSERT(prompt != DVK_NULL);
    if (*prompt == nullptr)
        return;
    if ((*prompt)->owned) {
        void* data = const_cast<uint8_t*>((*prompt)->data);
        dvk_mem_dealloc(&data);
    }
    dvk_mem_dealloc(prompt);
}

const uint8_t* dvk_prompt_getData(const dvk_prompt_Prompt* prompt)
{
    DVK_ASSERT(prompt != DVK_NULL);
    return prompt->data;
}

uint32_t dvk_prompt_getDataLength(const dvk_prompt_Prompt* prompt)
{
    DVK_ASSERT(prompt != DVK_NULL);
    return prompt->length;
}

int32_t dvk_prompt_getVocoder(const dvk_prompt_Prompt* prompt)
{
    DVK_ASSERT(prompt != DVK_NULL);
    return prompt->vocoderType;
}

dvk_ucs2_Char* dvk_prompt_createTtsString(dvk_prompt_Table* table, int32_t id)
{
    uint32_t index = 0, start = 0, length = 0;
    const dvk_prompt_Range* range = validId(id) ? rangeOf(table, id, &index) : nullptr;
    if (range == nullptr || !textOf(range, index, &start, &length))
        return nullptr;
    auto* copy = static_cast<dvk_ucs2_Char*>(
        dvk_mem_alloc((static_cast<size_t>(length) + 1) * sizeof(dvk_ucs2_Char)));
    if (copy == nullptr)
        return nullptr;
    for (uint32_t i = 0; i <= length; ++i)
        copy[i] = unitAt(range, start + i);
    return copy;
}
