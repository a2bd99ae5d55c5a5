#include "core/image/dvk_image.h"

#include "core/lang/dvk_dvkrc.h"
#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_mem.h"
#include "sdk/common/dvk_settings.h"

#include <cstring>

namespace {

const int kHeaderSize = 64;

bool validates(const uint8_t* header, const dvk_dvkrc_ImageTable* descriptor)
{
    return dvk_table_sameText(reinterpret_cast<const char*>(header), descriptor->version, 16) &&
           dvk_table_sameText(reinterpret_cast<const char*>(header + 16), descriptor->locale, 8) &&
           dvk_table_word(header, 24) == descriptor->magic &&
           dvk_table_word(header, 28) == descriptor->count &&
           dvk_table_word(header, 32) == descriptor->perSizeClass &&
           dvk_table_word(header, 36) == descriptor->dataSize;
}

void freeRange(dvk_image_Range** range)
{
    if (*range == nullptr)
        return;
    dvk_mem_dealloc(&(*range)->arrays);
    dvk_table_close(&(*range)->file);
    dvk_mem_dealloc(range);
}

void pointArrays(dvk_image_Range* range, const uint8_t* arrays)
{
    const size_t n = range->count;
    range->widths = arrays;
    range->heights = arrays + 2 * n;
    range->palettes = arrays + 4 * n;
    range->dataStarts = arrays + 260 * n;
    range->alphaStarts = arrays + 260 * n + 4 * (n + 1);
}

dvk_image_Range* loadFile(const char* name, const dvk_dvkrc_ImageTable* descriptor)
{
    auto* range = static_cast<dvk_image_Range*>(dvk_mem_alloc(sizeof(dvk_image_Range)));
    if (range == nullptr)
        return nullptr;
    *range = dvk_image_Range{};
    if (!dvk_table_open(name, &range->file)) {
        dvk_mem_dealloc(&range);
        return nullptr;
    }
    dvk_table_File& file = range->file;
    uint8_t header[kHeaderSize];
    bool ok = dvk_table_readHeader(&file, header, kHeaderSize) &&
              (descriptor == nullptr || validates(header, descriptor));
    if (ok) {
        range->count = dvk_table_word(header, 28);
        range->perSizeClass = dvk_table_word(header, 32);
        range->dataSize = dvk_table_word(header, 36);
        const int64_t arrayBytes = 260 * static_cast<int64_t>(range->count) +
                                   8 * (static_cast<int64_t>(range->count) + 1);
        range->dataArea = kHeaderSize + arrayBytes;
        ok = range->dataArea + range->dataSize <= file.size;
        if (ok && file.mapping != nullptr) {
            pointArrays(range, file.bytes + kHeaderSize);
        } else if (ok) {
            range->arrays = static_cast<uint8_t*>(dvk_table_readExact(&file, arrayBytes));
            ok = range->arrays != nullptr;
            if (ok)
                pointArrays(range, range->arrays);
        }
    }
    if (!ok)
        freeRange(&range);
    return range;
}

uint32_t wordAt(const uint8_t* array, uint32_t index)
{
    return dvk_table_word(array, static_cast<int>(4 * index));
}

} // namespace

dvk_image_Table* dvk_image_createImageTable(dvk_lang_Language language)
{
    auto* table = static_cast<dvk_image_Table*>(dvk_mem_alloc(sizeof(dvk_image_Table)));
    if (table != nullptr)
        *table = dvk_image_Table{{nullptr, nullptr}, language};
    return table;
}

void dvk_image_destroyImageTable(dvk_image_Table** table)
{
    DVK_ASSERT(table != DVK_NULL);
    if (*table == nullptr)
        return;
    dvk_image_unloadImageTableRange(*table, 0);
    dvk_image_unloadImageTableRange(*table, 1);
    dvk_mem_dealloc(table);
}

dvk_image_Table* dvk_image_loadImageTableRange(dvk_image_Table* table, int range)
{
    DVK_ASSERT(table != DVK_NULL);
    DVK_ASSERT((range == 0) || (range == 1));
    return dvk_table_loadRange(&table->ranges[range], table->language, range, dvk_dvkrc_getImageTable, dvk_lang_getImagesFileName, dvk_lang_getVSearchImagesFileName,
                               loadFile)
               ? table
               : nullptr;
}

void dvk_image_unloadImageTableRange(dvk_image_Table* table, int range)
{
    DVK_ASSERT(table != DVK_NULL);
    DVK_ASSERT((range == 0) || (range == 1));
    freeRange(&table->ranges[range]);
}

dvk_image_Image* dvk_image_createImage(dvk_image_Table* table, int32_t id)
{
    DVK_ASSERT(table != DVK_NULL);
    DVK_ASSERT(((id >= DVK_IMAGE_FIRST) && (id < DVK_IMAGE_MAX)) ||
               ((id >= DVK_IMAGE_VSEARCH_FIRST) && (id <= DVK_IMAGE_VSEARCH_LAST)));
    const bool main = id < DVK_IMAGE_MAX;
    dvk_image_Range* range = table->ranges[main ? 0 : 1];
    int64_t index = main ? id : id - DVK_IMAGE_VSEARCH_FIRST;
    if (main) {
        DVK_ASSERT(range != DVK_NULL);
    } else if (range == nullptr) {
        return nullptr;
    }
    index += static_cast<int64_t>(range->perSizeClass) * dvk_settings_getImageSizeClass();
    if (main) {
        DVK_ASSERT(index < range->count);
    } else if (index >= range->count) {
        return nullptr;
    }
    const uint32_t i = static_cast<uint32_t>(index);
    const int64_t dataStart = wordAt(range->dataStarts, i);
    const int64_t alphaStart = wordAt(range->alphaStarts, i);
    const int64_t nextStart = wordAt(range->dataStarts, i + 1);
    const int64_t size = range->dataSize;
    // Offsets from the file are used only when they lie in the data area.
    if (!(dataStart < alphaStart && alphaStart <= size && nextStart <= size))
        return nullptr;
    const int64_t dataLength = alphaStart - dataStart;
    const int64_t alphaLength = nextStart > alphaStart ? nextStart - alphaStart : 0;

    auto* image = static_cast<dvk_image_Image*>(dvk_mem_alloc(sizeof(dvk_image_Image)));
    if (image == nullptr)
        return nullptr;
    *image = dvk_image_Image{};
    image->width = static_cast<int32_t>(range->widths[2 * i] | range->widths[2 * i + 1] << 8);
    image->height = static_cast<int32_t>(range->heights[2 * i] | range->heights[2 * i + 1] << 8);
    for (uint32_t k = 0; k < DVK_IMAGE_PALETTE_SIZE; ++k)
        image->palette[k] = wordAt(range->palettes, i * DVK_IMAGE_PALETTE_SIZE + k);
    image->dataLength = static_cast<int32_t>(dataLength);
    image->alphaLength = static_cast<int32_t>(alphaLength);
    if (range->file.mapping != nullptr) {
        const uint8_t* area = range->file.bytes + range->dataArea;
        image->data = area + dataStart;
        image->alpha = alphaLength > 0 ? area + alphaStart : nullptr;
        return image;
    }
    image->ownsBuffers = 1;
    auto* data = static_cast<uint8_t*>(dvk_mem_alloc(static_cast<size_t>(dataLength)));
    uint8_t* alpha = nullptr;
    bool ok = data != nullptr && dvk_table_seek(&range->file, range->dataArea + dataStart) &&
              dvk_table_read(&range->file, data, dataLength);
    if (ok && alphaLength > 0) {
        alpha = static_cast<uint8_t*>(dvk_mem_alloc(static_cast<size_t>(alphaLength)));
        ok = alpha != nullptr && dvk_table_seek(&range->file, range->dataArea + alphaStart) &&
             dvk_table_read(&range->file, alpha, alphaLength);
    }
    image->data = data;
    image->alpha = alpha;
    if (!ok)
        dvk_image_destroyImage(&image);
    return image;
}

void dvk_image_destroyImage(dvk_image_Image** image)
{
    DVK_ASSERT(image != DVK_NULL);
    if (*image == nullptr)
        return;
    if ((*image)->ownsBuffers) {
        void* data = const_cast<uint8_t*>((*image)->data);
        void* alpha = const_cast<uint8_t*>((*image)->alpha);
        dvk_mem_dealloc(&data);
        dvk_mem_dealloc(&alpha);
    }
    dvk_mem_dealloc(image);
}

int32_t dvk_image_getWidth(const dvk_image_Image* image) { DVK_ASSERT(image != DVK_NULL); return image->width; }
int32_t dvk_image_getHeight(const dvk_image_Image* image) { DVK_ASSERT(image != DVK_NULL); return image->height; }
const uint32_t* dvk_image_getPalette(const dvk_image_Image* image) { DVK_ASSERT(image != DVK_NULL); return image->palette; }
const uint8_t* dvk_image_getData(const dvk_image_Image* image) { DVK_ASSERT(image != DVK_NULL); return image->data; }
int32_t dvk_image_getDataLength(const dvk_image_Image* image) { DVK_ASSERT(image != DVK_NULL); return image->dataLength; }
const uint8_t* dvk_image_getAlpha(const dvk_image_Image* image) { DVK_ASSERT(image != DVK_NULL); return image->alpha; }
int32_t dvk_image_getAlphaLength(const dvk_image_Image* image) { DVK_ASSERT(image != DVK_NULL); return image->alphaLength; }
