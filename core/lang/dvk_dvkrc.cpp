#include "core/lang/dvk_dvkrc.h"

namespace {

const char kVersion[] = "20110107.1.16";

struct Descriptors {
    dvk_lang_Language language;
    dvk_dvkrc_StringTable strings;
    dvk_dvkrc_ImageTable images;
    dvk_dvkrc_PromptTable prompts;
};

constexpr Descriptors make(dvk_lang_Language language, const char (&locale)[5], uint32_t encoding,
                           uint32_t textLength, uint32_t audioSize)
{
    Descriptors d{};
    d.language = language;
    for (int i = 0; i < 13; ++i) {
        d.strings.version[i] = kVersion[i];
        d.images.version[i] = kVersion[i];
        d.prompts.version[i] = kVersion[i];
    }
    for (int i = 0; i < 4; ++i) {
        d.strings.locale[i] = locale[i];
        d.images.locale[i] = locale[i];
        d.prompts.locale[i] = locale[i];
    }
    d.strings.magic = d.images.magic = d.prompts.magic = DVK_DVKRC_MAGIC;
    d.strings.encoding = encoding;
    d.strings.count = 679;
    d.strings.textLength = textLength;
    d.images.count = 3;
    d.images.perSizeClass = 3;
    d.images.dataSize = 44594;
    d.prompts.count = 447;
    d.prompts.vocoder[0] = 'A';
    d.prompts.vocoder[1] = 'M';
    d.prompts.vocoder[2] = 'R';
    d.prompts.audioSize = audioSize;
    d.prompts.encoding = DVK_DVKRC_LATIN1;
    d.prompts.textLength = 0;
    return d;
}

const uint32_t UCS2 = 0;
const uint32_t LATIN1 = DVK_DVKRC_LATIN1;

const Descriptors descriptors[] = {
    make(5, "enus", LATIN1, 16812, 311818), make(7, "esmx", UCS2, 20311, 383214),
    make(4, "engb", UCS2, 16910, 308997),   make(9, "frca", UCS2, 19108, 352170),
    make(11, "itit", UCS2, 18763, 356889),  make(1, "dede", UCS2, 20117, 364390),
    make(10, "frfr", UCS2, 19082, 292552),  make(6, "eses", UCS2, 19655, 344747),
    make(17, "ptbr", LATIN1, 18673, 371462), make(18, "ptpt", UCS2, 18665, 414700),
    make(14, "nlnl", LATIN1, 18601, 316420), make(22, "zecn", UCS2, 7013, 443170),
    make(25, "zetw", UCS2, 6913, 422890),   make(24, "zehk", UCS2, 6915, 392548),
};

const Descriptors* find(dvk_lang_Language language)
{
    for (const Descriptors& d : descriptors)
        if (d.language == language)
            return &d;
    return nullptr;
}

} // namespace

const dvk_dvkrc_StringTable* dvk_dvkrc_getStringTable(dvk_lang_Language language)
{
    const Descriptors* d = find(language);
    return d != nullptr ? &d->strings : nullptr;
}

const dvk_dvkrc_ImageTable* dvk_dvkrc_getImageTable(dvk_lang_Language language)
{
    const Descriptors* d = find(language);
    return d != nullptr ? &d->images : nullptr;
}

const dvk_dvkrc_PromptTable* dvk_dvkrc_getPromptTable(dvk_lang_Language language)
{
    const Descriptors* d = find(language);
    return d != nullptr ? &d->prompts : nullptr;
}
