#include "oem/dvk_oem_copy_field.h"

#include "oem/dvk_oem_phonebook.h"
#include "sdk/common/dvk_assert.h"
#include "src/QrvLog.h"
#include "src/QrvStringConv.h"

void copyField(dvk_ucs2_Char* dest, const dvk_ucs2_Char* src)
{
    DVK_ASSERT(dest != DVK_NULL);
    DVK_ASSERT(src != DVK_NULL);
    const int last = DVK_OEM_PBOOK_TEXT_LENGTH - 1;
    int i = 0;
    for (; i < last && src[i] != 0; ++i)
        dest[i] = src[i];
    if (i == last && src[i] != 0) {
        // A cut between a surrogate pair's halves would leave a text no
        // conversion takes: the lone high half goes too.
        if (dest[i - 1] >= 0xD800 && dest[i - 1] <= 0xDBFF)
            --i;
        QrvLog::VRthread::qrvLogContacts.log(WexLogWarning, "%s: field name exceeded.  Truncating string",
                                             "copyField");
    }
    dest[i] = 0;
}

void copyField(dvk_ucs2_Char* dest, const char* src)
{
    DVK_ASSERT(src != DVK_NULL);
    copyField(dest, WexString(src));
}

void copyField(dvk_ucs2_Char* dest, const WexString& src)
{
    DVK_ASSERT(dest != DVK_NULL);
    Ch2W wide(src);
    static const dvk_ucs2_Char empty[1] = {0};
    copyField(dest, wide.c_str() != nullptr ? wide.c_str() : empty);
}
