#include "tests/core/vcm/ui/test_session.h"

#include "core/utils/dvk_ucs2.h"
#include "platform/core/wex_root.h"
#include "src/QrvWorkQueues.h"
#include "tests/support/table_file_writers.h"

#include <gtest/gtest.h>

#include <filesystem>

dvk_msg_Address dvk_vcm_getUiThreadAddr(dvk_vcm_Session* vcms)
{
    return vcms->ui;
}

dvk_string_Table* dvk_vcm_stringTable(dvk_vcm_Session* vcms)
{
    return vcms->strings;
}

dvk_image_Table* dvk_vcm_imageTable(dvk_vcm_Session* vcms)
{
    return vcms->images;
}

namespace {

void writeFiles()
{
    // The image size class comes from the settings record.
    std::filesystem::create_directories(wexRootPath("/media/cryptofs/data"));

    writeTableFile("str_enus.bin", numberedStringFile());

    ImageFileWriter main;
    main.images = {
        {16, 8, 100, std::string(128, '\x11'), ""},
        {4, 2, 200, std::string(8, '\x22'), ""},
        {2, 2, 300, std::string(4, '\x44'), ""},
    };
    main.dataSize = 44594;  // the descriptor's
    writeTableFile("img_enus.bin", main.bytes());

    ImageFileWriter more;
    more.images = {
        {4, 2, 100, std::string(8, '\x33'), ""},
        {0, 2, 0, std::string(4, '\x33'), ""},
        {3, 0, 0, std::string(4, '\x33'), ""},
        {2, 2, 0, "", "aa"},
    };
    writeTableFile("vimg_enus.bin", more.bytes());
}

} // namespace

void openTestSession(dvk_vcm_Session* session)
{
    writeFiles();
    *session = dvk_vcm_Session{appWorkQueue.load(), dvk_string_createStringTable(5), dvk_image_createImageTable(5)};
    ASSERT_NE(session->strings, nullptr);
    ASSERT_NE(session->images, nullptr);
    ASSERT_NE(dvk_string_loadStringTableRange(session->strings, 0), nullptr);
    ASSERT_NE(dvk_image_loadImageTableRange(session->images, 0), nullptr);
    ASSERT_NE(dvk_image_loadImageTableRange(session->images, 1), nullptr);
}

void closeTestSession(dvk_vcm_Session* session)
{
    dvk_string_destroyStringTable(&session->strings);
    dvk_image_destroyImageTable(&session->images);
}

dvk_ucs2_Char* newTestText(const char16_t* text)
{
    const long n = static_cast<long>(std::char_traits<char16_t>::length(text));
    dvk_ucs2_Char* copy = dvk_ucs2_create(n);
    if (copy != nullptr)
        for (long i = 0; i <= n; ++i)
            copy[i] = static_cast<dvk_ucs2_Char>(text[i]);
    return copy;
}
