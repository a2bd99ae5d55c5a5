// The phrase list and digit counts as the grammar reads them.
#include "core/dkapi/dvk_dkapi.h"

#include "sdk/common/dvk_assert.h"

namespace {

const dvk_dkapi_List* s_list = nullptr;
int32_t s_minimumDigits = 0;
int32_t s_maximumDigits = 0;

// The item an iterator names, or none.
const dvk_dkapi_ListItem* itemOf(int32_t iterator)
{
    const int32_t index = ~iterator;
    if (s_list == nullptr || iterator == 0 || index < 0 || index >= s_list->count)
        return nullptr;
    return &s_list->items[index];
}

}  // namespace

int32_t dvk_dkapi_pfl_getFirst()
{
    return s_list != nullptr && s_list->count > 0 ? ~0 : 0;
}

int32_t dvk_dkapi_pfl_getNext(int32_t iterator)
{
    if (itemOf(iterator) == nullptr)
        return 0;
    for (int32_t i = ~iterator + 1; i < s_list->count; ++i) {
        if (s_list->items[i].recognisable)
            return ~i;
    }
    return 0;
}

void dvk_dkapi_pfl_getEntry(int32_t iterator, const dvk_ucs2_Char** text, const dvk_ucs2_Char** spoken)
{
    DVK_ASSERT(text != DVK_NULL && spoken != DVK_NULL);
    *text = nullptr;
    *spoken = nullptr;
    const dvk_dkapi_ListItem* item = itemOf(iterator);
    if (item == nullptr || !item->recognisable)
        return;
    *text = item->text;
    *spoken = dvk_dkapi_spokenForm(item->text);
}

void dvk_dkapi_getDigitRecogLen(int32_t* minimum, int32_t* maximum)
{
    DVK_ASSERT(minimum != DVK_NULL && maximum != DVK_NULL);
    *minimum = s_minimumDigits;
    *maximum = s_maximumDigits;
}

const dvk_ucs2_Char* dvk_dkapi_spokenForm(const dvk_ucs2_Char* text)
{
    for (const dvk_ucs2_Char* c = text; *c != 0; ++c) {
        if (*c == '|')
            return c + 1;
    }
    return text;
}

void dvk_dkapi_setPhraseList(const dvk_dkapi_List* list)
{
    s_list = list;
}

void dvk_dkapi_setDigitRecogLen(int32_t minimum, int32_t maximum)
{
    s_minimumDigits = minimum;
    s_maximumDigits = maximum;
}
