// The known language packs: per suite language, the package's download size
// and the installed size of each of its four files.
#pragma once

#include <cstdint>

struct QrvLangPackFileSize {
    char kind[8];       // "img", "lvr", "prm", "str"
    int32_t size;       // installed bytes
};

struct QrvLangPackSize {
    int32_t language;   // dvk_lang_Language
    int32_t packageSize;
    QrvLangPackFileSize files[4];
};

extern const QrvLangPackSize languagePackSizes[];
extern const int numLanguagePackSizes;

// The row of `language` (the last one when several match), or null.
const QrvLangPackSize* findLanguagePackSize(int32_t language);
