// Texts the grammar reshapes from the phone's data: a recent-call number as
// the "fn" class speaks it, and a location cut of its trailing number. Any
// UCS-2 (little-endian pairs of bytes) must give text of the promised shape.
#include "core/constraints/dvk_constraints.h"
#include "core/constraints/dvk_constraints_members.h"

#include "core/utils/dvk_ucs2.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

void checkSpokenNumber(const std::u16string& number)
{
    dvk_ucs2_Char* spoken = formatRecentCallNumber(reinterpret_cast<const dvk_ucs2_Char*>(number.c_str()));
    if (spoken == nullptr)
        std::abort();
    const std::u16string text(reinterpret_cast<const char16_t*>(spoken));
    dvk_ucs2_destroy(&spoken);
    // The kept characters, in order, with a blank only after a kept one
    // that a digit follows in the number.
    std::u16string kept, unblanked;
    for (char16_t c : number) {
        if (isDigit(c) || c == u'+')
            kept.push_back(c);
    }
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u' ') {
            if (i == 0 || text[i - 1] == u' ')
                std::abort();
            continue;
        }
        if (!isDigit(text[i]) && text[i] != u'+')
            std::abort();
        unblanked.push_back(text[i]);
    }
    if (unblanked != kept || text.size() > 2 * number.size())
        std::abort();
}

void checkStripped(const std::u16string& original)
{
    std::u16string text = original;
    stripDigits(reinterpret_cast<dvk_ucs2_Char*>(text.data()));
    const std::u16string cut(text.c_str());
    if (original.compare(0, cut.size(), cut) != 0 || (cut.empty() != original.empty()))
        std::abort();
    // What was cut is only blanks, tabs, "-", ":" and digits; what stays
    // ends in another character unless only the first is left.
    for (size_t i = cut.size(); i < original.size(); ++i) {
        const char16_t c = original[i];
        if (!isDigit(c) && c != u' ' && c != u'\t' && c != u'-' && c != u':')
            std::abort();
    }
    if (cut.size() > 1) {
        const char16_t last = cut.back();
        if (isDigit(last) || last == u' ' || last == u'\t' || last == u'-' || last == u':')
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::u16string text;
    for (size_t i = 0; i + 1 < size; i += 2) {
        const char16_t unit = static_cast<char16_t>(data[i] | data[i + 1] << 8);
        if (unit == 0)
            break;
        text.push_back(unit);
    }
    checkSpokenNumber(text);
    checkStripped(text);
    return 0;
}
