// Language identification models ("blid0") and text-to-pronunciation tables
// ("bep0") arrive in downloaded model archives. The input's first byte
// chooses the loader (even: "blid0", odd: "bep0"), the rest is the archive
// image; a loaded model identifies or converts a few texts, some made of
// the input's bytes, is checksummed and freed.
#include "core/brevit/search/lid.h"
#include "core/brevit/search/text_pron_table.h"
#include "tests/support/fuzz_archive_image.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

// Up to 24 bytes from the input's end, without zeros.
std::string tailText(const uint8_t* data, size_t size)
{
    std::string text;
    for (size_t i = 0; i < size && text.size() < 24; ++i)
        if (data[size - 1 - i] != 0)
            text.push_back(static_cast<char>(data[size - 1 - i]));
    return text;
}

void identify(DVKTar* tar, const std::string& tail)
{
    LID* model = LID_LoadFromBinFile(tar, nullptr);
    if (model == nullptr)
        return;
    int32_t margin = 0;
    for (const char* text : {"ab", "abc", "zz", "a\xC3\xA9" "b", "", "\xC3", tail.c_str()})
        LID_IdentifyText(model, text, &margin);
    std::vector<uint16_t> wide(tail.begin(), tail.end());
    wide.push_back(0x20AC);
    wide.push_back(0);
    LID_GetLanguageId(model, wide.data(), &margin);
    LID_GetScale(model);
    LID_GetLanguageSetCRC(model);
    LID_ComputeCRC(model);
    LID_Delete(model);
}

void convert(DVKTar* tar, const std::string& tail)
{
    TextPronTable* table = TextPronTable_LoadFromBinFile(tar, nullptr);
    if (table == nullptr)
        return;
    std::vector<uint16_t> wide(tail.begin(), tail.end());
    wide.push_back(0);
    const uint16_t digits[] = {'1', '2', ' ', 'x', '-', '1', 0};
    uint16_t phones[40];
    for (const char* tag : {"digits", "letters", static_cast<const char*>(nullptr)})
        for (int32_t maximum : {1, 3, 40}) {
            TextPronTable_TextToPron(table, nullptr, wide.data(), tag, maximum, phones);
            TextPronTable_TextToPron(table, nullptr, digits, tag, maximum, phones);
        }
    TextPronTable_ComputeCRC(table);
    TextPronTable_Delete(table);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const bool pronunciation = (data[0] & 1) != 0;
    const std::string tail = tailText(data + 1, size - 1);
    return fuzzArchiveImage(data + 1, size - 1, [&](DVKTar* tar) {
        if (pronunciation)
            convert(tar, tail);
        else
            identify(tar, tail);
    });
}
