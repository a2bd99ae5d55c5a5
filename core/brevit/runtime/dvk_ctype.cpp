#include "core/brevit/runtime/dvk_ctype.h"

int DVKChar_ToLower(int ch)
{
    return DVKCtype_Is(ch, kDVKCtypeUpper) ? ch + 0x20 : ch;
}

int DVKChar_ToUpper(int ch)
{
    return DVKCtype_Is(ch, kDVKCtypeLower) ? ch - 0x20 : ch;
}
