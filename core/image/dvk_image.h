// Every bitmap the suite shows, by id, from the language's image files:
// range 0 (ids 0-2) from "img_<code>.bin", which must match the language's
// compiled-in descriptor, range 1 (ids 4096-8190) from "vimg_<code>.bin",
// taken as it is. A mapped file is used in place; otherwise the index
// arrays are read up front and each image's bytes when it is created.
#pragma once

#include "core/lang/dvk_lang.h"
#include "core/lang/dvk_table_file.h"

#include <cstdint>

enum : int32_t {
    DVK_IMAGE_FIRST = 0,
    DVK_IMAGE_MAX = 3,
    DVK_IMAGE_VSEARCH_FIRST = 4096,
    DVK_IMAGE_VSEARCH_LAST = 8190,
    DVK_IMAGE_PALETTE_SIZE = 64,
};

struct dvk_image_Range {
    dvk_table_File file;       // mapped, or open for reads on demand
    uint32_t count;            // N
    uint32_t perSizeClass;
    uint32_t dataSize;         // bytes of the data area
    int64_t dataArea;          // file position of the data area
    const uint8_t* widths;     // N u16, then heights, palettes, data and alpha starts
    const uint8_t* heights;
    const uint8_t* palettes;   // N x 64 u32
    const uint8_t* dataStarts;   // N + 1 u32, from the start of the data area
    const uint8_t* alphaStarts;  // N + 1 u32
    uint8_t* arrays;           // the arrays read into memory (buffered files)
};

struct dvk_image_Table {
    dvk_image_Range* ranges[2];
    dvk_lang_Language language;
};

struct dvk_image_Image {
    int32_t width;
    int32_t height;
    uint32_t palette[DVK_IMAGE_PALETTE_SIZE];
    const uint8_t* data;
    int32_t dataLength;
    const uint8_t* alpha;  // none when the alpha length is not positive
    int32_t alphaLength;
    int ownsBuffers;       // data and alpha were read from a file
};

dvk_image_Table* dvk_image_createImageTable(dvk_lang_Language language);
void dvk_image_destroyImageTable(dvk_image_Table** table);
// range 0 or 1: the table, or NULL (the range stays empty).
dvk_image_Table* dvk_image_loadImageTableRange(dvk_image_Table* table, int range);
void dvk_image_unloadImageTableRange(dvk_image_Table* table, int range);

// A new image (NULL when memory is short, a read fails or the image's
// offsets do not fit the file; for range 1 also when that range is not loaded
// or the index is at or past its count).
dvk_image_Image* dvk_image_createImage(dvk_image_Table* table, int32_t id);
void dvk_image_destroyImage(dvk_image_Image** image);

int32_t dvk_image_getWidth(const dvk_image_Image* image);
int32_t dvk_image_getHeight(const dvk_image_Image* image);
const uint32_t* dvk_image_getPalette(const dvk_image_Image* image);
const uint8_t* dvk_image_getData(const dvk_image_Image* image);
int32_t dvk_image_getDataLength(const dvk_image_Image* image);
const uint8_t* dvk_image_getAlpha(const dvk_image_Image* image);
int32_t dvk_image_getAlphaLength(const dvk_image_Image* image);
