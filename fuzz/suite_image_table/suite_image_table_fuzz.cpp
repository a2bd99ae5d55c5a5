// An image file as installed or downloaded: as the main range (checked
// against the descriptor) and as the voice-search range (taken as it is),
// mapped and read on demand; then every image of a loaded range. Nothing may
// be read outside the file.
#include "core/image/dvk_image.h"
#include "fuzz/suite_record_root.h"
#include "sdk/common/dvk_mmap.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    writeFuzzRecord("img_enus.bin", data, size);
    writeFuzzRecord("vimg_enus.bin", data, size);
    for (bool refuse : {false, true}) {
        dvk_mmap_refuseMapping(refuse);
        dvk_image_Table* table = dvk_image_createImageTable(5);
        if (dvk_image_loadImageTableRange(table, 0) != nullptr) {
            for (int32_t id = 0; id < DVK_IMAGE_MAX; ++id) {
                dvk_image_Image* image = dvk_image_createImage(table, id);
                dvk_image_destroyImage(&image);
            }
        }
        if (dvk_image_loadImageTableRange(table, 1) != nullptr) {
            const int64_t last = std::min<int64_t>(DVK_IMAGE_VSEARCH_LAST,
                                                   DVK_IMAGE_VSEARCH_FIRST + int64_t{table->ranges[1]->count});
            for (int32_t id = DVK_IMAGE_VSEARCH_FIRST; id <= last; ++id) {
                dvk_image_Image* image = dvk_image_createImage(table, id);
                if (image != nullptr && image->dataLength > 0) {
                    volatile uint8_t sink = image->data[image->dataLength - 1];
                    if (image->alpha != nullptr)
                        sink = image->alpha[image->alphaLength - 1];
                    (void)sink;
                }
                dvk_image_destroyImage(&image);
            }
        }
        dvk_image_destroyImageTable(&table);
    }
    dvk_mmap_refuseMapping(false);
    return 0;
}
