// Members made of digits: the digit classes, "+" and the recent-call
// numbers; and the text helper that cuts a trailing number off a location.
#include "core/constraints/dvk_constraints.h"
#include "core/constraints/dvk_constraints_members.h"

#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_recentcalls.h"

namespace {

// The digit and plus classes hand out this buffer instead of a copy, so
// their freeEntry has nothing to free.
dvk_ucs2_Char s_oneCharacter[2];

bool isDigit(dvk_ucs2_Char c)
{
    return c >= '0' && c <= '9';
}

void answerCharacter(dvk_constraints_Iterator iterator, bool valid, dvk_ucs2_Char** surface,
                     dvk_ucs2_Char** spoken)
{
    *spoken = nullptr;
    if (!valid) {
        *surface = nullptr;
        return;
    }
    s_oneCharacter[0] = static_cast<dvk_ucs2_Char>(iterator);
    s_oneCharacter[1] = 0;
    *surface = s_oneCharacter;
}

} // namespace

dvk_constraints_Iterator digits_getFirst(dvk_constraints_WordClass*)
{
    return '0';
}

dvk_constraints_Iterator digits_getNext(dvk_constraints_WordClass*, dvk_constraints_Iterator iterator)
{
    return iterator >= '0' && iterator < '9' ? iterator + 1 : 0;
}

void digits_getEntry(dvk_constraints_WordClass*, dvk_string_Table*, dvk_constraints_Iterator iterator,
                     dvk_ucs2_Char** surface, dvk_ucs2_Char** spoken)
{
    answerCharacter(iterator, iterator >= '0' && iterator <= '9', surface, spoken);
}

void digits_freeEntry(dvk_constraints_WordClass*, dvk_ucs2_Char**, dvk_ucs2_Char**) {}

dvk_constraints_Iterator plus_getFirst(dvk_constraints_WordClass*)
{
    return '+';
}

dvk_constraints_Iterator plus_getNext(dvk_constraints_WordClass*, dvk_constraints_Iterator)
{
    return 0;
}

void plus_getEntry(dvk_constraints_WordClass*, dvk_string_Table*, dvk_constraints_Iterator iterator,
                   dvk_ucs2_Char** surface, dvk_ucs2_Char** spoken)
{
    answerCharacter(iterator, iterator == '+', surface, spoken);
}

void plus_freeEntry(dvk_constraints_WordClass*, dvk_ucs2_Char**, dvk_ucs2_Char**) {}

dvk_ucs2_Char* formatRecentCallNumber(const dvk_ucs2_Char* number)
{
    // At most a character and a blank for each character of the number.
    const long length = dvk_ucs2_strlen(number);
    dvk_ucs2_Char* text = dvk_ucs2_create(length > 0 ? 2 * length : 1);
    if (text == nullptr)
        return nullptr;
    long n = 0;
    for (long i = 0; i < length; ++i) {
        if (!isDigit(number[i]) && number[i] != '+')
            continue;
        text[n++] = number[i];
        if (isDigit(number[i + 1]))
            text[n++] = ' ';
    }
    text[n] = 0;
    return text;
}

dvk_constraints_Iterator fn_getFirst(dvk_constraints_WordClass*)
{
    return reinterpret_cast<dvk_constraints_Iterator>(dvk_recentcalls_getFirstCall());
}

dvk_constraints_Iterator fn_getNext(dvk_constraints_WordClass*, dvk_constraints_Iterator iterator)
{
    return reinterpret_cast<dvk_constraints_Iterator>(
        dvk_recentcalls_getNextCall(reinterpret_cast<dvk_recentcalls_Iterator>(iterator)));
}

void fn_getEntry(dvk_constraints_WordClass*, dvk_string_Table*, dvk_constraints_Iterator iterator,
                 dvk_ucs2_Char** surface, dvk_ucs2_Char** spoken)
{
    *surface = nullptr;
    *spoken = nullptr;
    if (iterator == 0)
        return;
    dvk_ucs2_Char* number =
        dvk_recentcalls_getCallNumber(reinterpret_cast<dvk_recentcalls_Iterator>(iterator));
    if (number == nullptr)
        return;
    *surface = formatRecentCallNumber(number);
    dvk_ucs2_destroy(&number);
}

void fn_freeEntry(dvk_constraints_WordClass* wordClass, dvk_ucs2_Char** surface,
                  dvk_ucs2_Char** spoken)
{
    freeCopiedEntry(wordClass, surface, spoken);
}

void stripDigits(dvk_ucs2_Char* text)
{
    DVK_ASSERT(text != DVK_NULL);
    long end = dvk_ucs2_strlen(text);
    while (end > 1) {
        const dvk_ucs2_Char c = text[end - 1];
        if (!isDigit(c) && c != ' ' && c != '\t' && c != '-' && c != ':')
            break;
        --end;
    }
    if (text[0] != 0)
        text[end] = 0;
}
