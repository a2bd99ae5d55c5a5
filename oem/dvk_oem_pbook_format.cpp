#include "oem/dvk_oem_phonebook.h"

#include <initializer_list>

namespace {

// Groups of the given sizes joined by "-", for a number of exactly their sum.
bool group(const dvk_ucs2_Char* number, int length, std::initializer_list<int> sizes, dvk_ucs2_Char* out)
{
    int total = 0;
    for (int size : sizes)
        total += size;
    if (total != length)
        return false;
    int from = 0, to = 0;
    for (int size : sizes) {
        if (from > 0)
            out[to++] = '-';
        for (int k = 0; k < size; ++k)
            out[to++] = number[from++];
    }
    out[to] = 0;
    return true;
}

} // namespace

// Dialing region 0 groups by length alone; the characters are not looked at.
void dvk_oem_pbook_formatPhoneNumber(int32_t, int32_t dialingRegion, dvk_ucs2_Char* number)
{
    if (number == nullptr || dialingRegion != 0)
        return;
    int length = 0;
    while (length < DVK_OEM_PBOOK_TEXT_LENGTH && number[length] != 0)
        ++length;
    dvk_ucs2_Char out[DVK_OEM_PBOOK_TEXT_LENGTH];
    if (group(number, length, {3, 4}, out) || group(number, length, {3, 3, 4}, out) ||
        group(number, length, {1, 3, 3, 4}, out))
        for (int i = 0; i == 0 || out[i - 1] != 0; ++i)
            number[i] = out[i];
}
