// The seeds of the image-table fuzz target come from the file writer.
#include "tests/support/fuzz_seed_check.h"
#include "tests/support/table_file_writers.h"

namespace {

TEST(ImageFuzzSeeds, AreMadeByTheWriter)
{
    ImageFileWriter main;
    main.images = {{16, 8, 100, std::string(128, '\x11'), std::string(128, '\x22')},
                   {4, 2, 200, std::string(8, '\x33'), ""},
                   {30, 2, 300, std::string(60, '\x44'), std::string(60, '\x55')}};
    main.dataSize = 44594;
    ImageFileWriter small;
    small.images = {{2, 2, 0, "aaaa", "bbbb"}, {2, 2, 0, "cccc", ""}};
    ImageFileWriter damaged = small;
    damaged.alphaStarts[0] = 12;
    damaged.dataStarts[2] = 0xFFFFFFF0;
    checkFuzzSeed("suite_image_table", "main_enus", main.bytes());
    checkFuzzSeed("suite_image_table", "small", small.bytes());
    checkFuzzSeed("suite_image_table", "damaged", damaged.bytes());
}

} // namespace
