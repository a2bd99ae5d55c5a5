#include "src/QrvLangPackSizes.h"

#define QRV_PACK(language, package, img, lvr, prm, str)                                                   \
    {language, package, {{"img", img}, {"lvr", lvr}, {"prm", prm}, {"str", str}}}

const QrvLangPackSize languagePackSizes[] = {
    QRV_PACK(1, 715344, 45470, 484926, 369826, 43002),   // dede
    QRV_PACK(4, 643808, 45470, 453243, 314433, 36588),   // engb
    QRV_PACK(5, 1367800, 45470, 1422287, 317254, 19580), // enus
    QRV_PACK(6, 624030, 45470, 381186, 350183, 42078),   // eses
    QRV_PACK(7, 676342, 45470, 398236, 388650, 43390),   // esmx
    QRV_PACK(9, 647018, 45470, 411196, 357606, 40984),   // frca
    QRV_PACK(10, 654652, 45470, 474229, 297988, 40932),  // frfr
    QRV_PACK(11, 675314, 45470, 445666, 362325, 40294),  // itit
    QRV_PACK(14, 586408, 45470, 365546, 321856, 21369),  // nlnl
    QRV_PACK(17, 615824, 45470, 345813, 376898, 21441),  // ptbr
    QRV_PACK(18, 654506, 45470, 343045, 420136, 40098),  // ptpt
    QRV_PACK(22, 942650, 45470, 692744, 448606, 16794),  // zecn
    QRV_PACK(24, 799678, 45470, 562531, 397984, 16598),  // zehk
    QRV_PACK(25, 920338, 45470, 692768, 428326, 16594),  // zetw
};

const int numLanguagePackSizes = static_cast<int>(sizeof languagePackSizes / sizeof languagePackSizes[0]);

const QrvLangPackSize* findLanguagePackSize(int32_t language)
{
    const QrvLangPackSize* found = nullptr;
    for (int i = 0; i < numLanguagePackSizes; ++i)
        if (languagePackSizes[i].language == language)
            found = &languagePackSizes[i];
    return found;
}
