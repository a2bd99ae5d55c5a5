#include "core/brevit/lexicon/mwl_text_encoding.h"

#include <cstring>

namespace {

enum class Text { Surface, Spoken };

struct LanguageRow {
    const char* code;
    Text compactText;
    uint32_t window;
    uint32_t window7Offset;   // 0: the default
};

const LanguageRow kRows[] = {
    {"hiin", Text::Surface, 4, 0},      {"jajp", Text::Spoken, 5, 0},
    {"plpl", Text::Surface, 7, 0x0100}, {"ruru", Text::Surface, 2, 0},
    {"thth", Text::Surface, 7, 0x0E00}, {"ukua", Text::Surface, 2, 0},
    {"vivn", Text::Surface, 7, 0x1EA0},
};

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameLanguage(const char* a, const char* b)
{
    for (; *a != '\0' && *b != '\0'; ++a, ++b)
        if (lower(*a) != lower(*b))
            return false;
    return *a == *b;
}

void resetCoder(DVKSCSU* coder, uint32_t window, uint32_t window7Offset)
{
    std::memcpy(coder->windowOffsets, kSCSUDefaultOffsets, sizeof(coder->windowOffsets));
    if (window7Offset != 0)
        coder->windowOffsets[7] = window7Offset;
    coder->defaultWindow = window;
    DVKSCSU_SCSUReset(coder);
}

} // namespace

void MWLDynamic_SetLanguageEncoding(MWLDynamicEncodings* encodings, int32_t listEncoding,
                                    const char* language)
{
    const int32_t base = listEncoding == kMWLEncodingLatin1 || listEncoding == kMWLEncodingLatin9
                             ? kMWLEncodingUTF8
                             : listEncoding;
    encodings->surfaceEncoding = base;
    encodings->spokenEncoding = base;
    resetCoder(&encodings->surfaceCoder, 0, 0);
    resetCoder(&encodings->spokenCoder, 0, 0);
    for (const LanguageRow& row : kRows) {
        if (language == nullptr || !sameLanguage(language, row.code))
            continue;
        if (row.compactText == Text::Surface) {
            encodings->surfaceEncoding = kMWLEncodingSCSU;
            resetCoder(&encodings->surfaceCoder, row.window, row.window7Offset);
        } else {
            encodings->spokenEncoding = kMWLEncodingSCSU;
            resetCoder(&encodings->spokenCoder, row.window, row.window7Offset);
        }
        break;
    }
    // The generator reads only Latin-1, UTF-8 and Latin-9; an 8-bit list's
    // bytes are read as Latin-1 unless the store also holds compact texts.
    const bool compact = encodings->surfaceEncoding == kMWLEncodingSCSU ||
                         encodings->spokenEncoding == kMWLEncodingSCSU;
    encodings->generatorEncoding =
        base == kMWLEncoding8Bit && !compact ? kMWLEncodingLatin1 : kMWLEncodingUTF8;
}
