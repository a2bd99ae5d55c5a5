#include "core/image/dvk_image.h"

#include "platform/core/wex_root.h"
#include "sdk/common/dvk_mmap.h"
#include "tests/support/suite_memory.h"
#include "tests/support/table_file_writers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

// "img_enus.bin": N = 3, 3 a size class, the descriptor's data area of 44594
// bytes; image 1 has no alpha.
ImageFileWriter mainFile()
{
    ImageFileWriter w;
    w.images = {
        {16, 8, 100, std::string(128, '\x11'), std::string(128, '\x22')},
        {4, 2, 200, std::string(8, '\x33'), ""},
        {300, 2, 300, std::string(600, '\x44'), std::string(600, '\x55')},
    };
    w.dataSize = 44594;
    return w;
}

dvk_image_Table* loaded(int range)
{
    dvk_image_Table* table = dvk_image_createImageTable(5);
    if (table != nullptr && dvk_image_loadImageTableRange(table, range) == nullptr)
        dvk_image_destroyImageTable(&table);
    return table;
}

std::string bytesOf(const uint8_t* data, int32_t length)
{
    return data == nullptr ? "(none)" : std::string(reinterpret_cast<const char*>(data), length);
}

class ImageTableTest : public SuiteMemoryTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override
    {
        SuiteMemoryTest::SetUp();
        // The image size class comes from the settings record.
        std::filesystem::create_directories(wexRootPath("/media/cryptofs/data"));
        dvk_mmap_refuseMapping(GetParam());
    }
    void TearDown() override
    {
        dvk_mmap_refuseMapping(false);
        SuiteMemoryTest::TearDown();
    }
};

TEST_P(ImageTableTest, TheMainFileGivesEveryImage)
{
    const ImageFileWriter w = mainFile();
    const std::string bytes = w.bytes();
    EXPECT_EQ(bytes.size(), 45470u);
    writeTableFile("img_enus.bin", bytes);
    dvk_image_Table* table = loaded(0);
    ASSERT_NE(table, nullptr);
    for (int32_t id = 0; id < 3; ++id) {
        SCOPED_TRACE(id);
        const ImageSpec& spec = w.images[id];
        dvk_image_Image* image = dvk_image_createImage(table, id);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(dvk_image_getWidth(image), spec.width);
        EXPECT_EQ(dvk_image_getHeight(image), spec.height);
        EXPECT_EQ(dvk_image_getPalette(image)[0], spec.paletteBase);
        EXPECT_EQ(dvk_image_getPalette(image)[63], spec.paletteBase + 63);
        EXPECT_EQ(bytesOf(dvk_image_getData(image), dvk_image_getDataLength(image)), spec.data);
        if (spec.alpha.empty()) {
            EXPECT_EQ(dvk_image_getAlpha(image), nullptr);
        } else {
            EXPECT_EQ(bytesOf(dvk_image_getAlpha(image), dvk_image_getAlphaLength(image)), spec.alpha);
        }
        EXPECT_EQ(image->ownsBuffers, GetParam() ? 1 : 0);
        dvk_image_destroyImage(&image);
        EXPECT_EQ(image, nullptr);
    }
    EXPECT_DEATH(dvk_image_createImage(table, 3), "id < DVK_IMAGE_MAX");
    dvk_image_destroyImageTable(&table);
}

TEST_P(ImageTableTest, MainFilesOfAnotherBuildAreRefused)
{
    struct Case {
        const char* name;
        void (*change)(ImageFileWriter&);
    };
    const Case cases[] = {
        {"version", [](ImageFileWriter& w) { w.version = "20110107.1.1"; }},
        {"locale", [](ImageFileWriter& w) { w.locale = "dede"; }},
        {"magic", [](ImageFileWriter& w) { w.magic = 0; }},
        {"count", [](ImageFileWriter& w) { w.count = 4; }},
        {"per class", [](ImageFileWriter& w) { w.perSizeClass = 1; }},
        {"data size", [](ImageFileWriter& w) { w.dataSize = 44593; }},
        {"one byte short", [](ImageFileWriter& w) { w.cutTo = 45469; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImageFileWriter w = mainFile();
        c.change(w);
        writeTableFile("img_enus.bin", w.bytes());
        EXPECT_EQ(loaded(0), nullptr);
    }
    dvk_image_Table* table = dvk_image_createImageTable(12);  // no descriptor
    EXPECT_EQ(dvk_image_loadImageTableRange(table, 0), nullptr);
    EXPECT_EQ(dvk_image_createImage(table, 4096), nullptr);  // range 1 not loaded
    dvk_image_destroyImageTable(&table);
}

TEST_P(ImageTableTest, DamagedRangeOneImagesAreAbsent)
{
    struct Case {
        const char* name;
        void (*change)(ImageFileWriter&);
        bool loads;
        bool first, second;  // images 4096 and 4097 exist
        bool secondAlpha;
    };
    const Case cases[] = {
        {"as written", [](ImageFileWriter&) {}, true, true, true, true},
        {"alpha start past the next data start",
         [](ImageFileWriter& w) { w.alphaStarts[1] = 30; w.dataStarts[2] = 28; }, true, true, true, false},
        {"data start past the area", [](ImageFileWriter& w) { w.dataStarts[1] = 5000; }, true, false, false, false},
        {"alpha start before its data start", [](ImageFileWriter& w) { w.alphaStarts[1] = 10; }, true, true, false, false},
        {"no data bytes", [](ImageFileWriter& w) { w.alphaStarts[1] = 16; }, true, true, false, false},
        {"last data start past the area", [](ImageFileWriter& w) { w.dataStarts[2] = 0xFFFFFFF0; }, true, true, false, false},
        {"alpha start past the area", [](ImageFileWriter& w) { w.alphaStarts[1] = 33; }, true, true, false, false},
        {"N = 0x7fffffff", [](ImageFileWriter& w) { w.count = 0x7fffffff; }, false, false, false, false},
        {"data area beyond the file", [](ImageFileWriter& w) { w.dataSize = 0xFFFFFFFF; }, false, false, false, false},
        {"cut in the arrays", [](ImageFileWriter& w) { w.cutTo = 200; }, false, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImageFileWriter w;
        w.images = {{2, 2, 0, std::string(8, 'a'), std::string(8, 'b')},
                    {2, 2, 0, std::string(8, 'c'), std::string(8, 'd')}};
        c.change(w);
        writeTableFile("vimg_enus.bin", w.bytes());
        dvk_image_Table* table = loaded(1);
        ASSERT_EQ(table != nullptr, c.loads);
        if (table == nullptr)
            continue;
        dvk_image_Image* first = dvk_image_createImage(table, 4096);
        EXPECT_EQ(first != nullptr, c.first);
        if (first != nullptr) {
            EXPECT_EQ(bytesOf(dvk_image_getData(first), dvk_image_getDataLength(first)), "aaaaaaaa");
        }
        dvk_image_destroyImage(&first);
        dvk_image_Image* second = dvk_image_createImage(table, 4097);
        EXPECT_EQ(second != nullptr, c.second);
        if (second != nullptr) {
            EXPECT_EQ(dvk_image_getAlpha(second) != nullptr, c.secondAlpha);
        }
        dvk_image_destroyImage(&second);
        EXPECT_EQ(dvk_image_createImage(table, 4098), nullptr);  // the file's count
        dvk_image_destroyImageTable(&table);
    }
}

TEST_P(ImageTableTest, ShortMemoryLeaksNothing)
{
    writeTableFile("img_enus.bin", mainFile().bytes());
    for (long allowed = 0; allowed < 12; ++allowed) {
        dvk_mem_failAfter(allowed);
        dvk_image_Table* table = loaded(0);
        dvk_image_Image* image = table != nullptr ? dvk_image_createImage(table, 2) : nullptr;
        dvk_mem_failAfter(-1);
        dvk_image_destroyImage(&image);
        dvk_image_destroyImageTable(&table);
    }
}

INSTANTIATE_TEST_SUITE_P(LoadPaths, ImageTableTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Buffered" : "Mapped"; });

} // namespace
