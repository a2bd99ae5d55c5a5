#include "tests/core/constraints/fake_dkapi.h"

#include "core/dkapi/dvk_dkapi.h"

namespace {

FakeDkapi s_dkapi;

// The item's index from its iterator (the index's complement).
size_t indexOf(int32_t iterator)
{
    return static_cast<size_t>(~iterator);
}

} // namespace

FakeDkapi& fakeDkapi()
{
    return s_dkapi;
}

int32_t dvk_dkapi_pfl_getFirst()
{
    return s_dkapi.items.empty() ? 0 : ~0;
}

int32_t dvk_dkapi_pfl_getNext(int32_t iterator)
{
    for (size_t i = indexOf(iterator) + 1; i < s_dkapi.items.size(); ++i) {
        if (s_dkapi.items[i].recognisable)
            return ~static_cast<int32_t>(i);
    }
    return 0;
}

void dvk_dkapi_pfl_getEntry(int32_t iterator, const dvk_ucs2_Char** text, const dvk_ucs2_Char** spoken)
{
    *text = nullptr;
    *spoken = nullptr;
    const FakeDkapiItem& item = s_dkapi.items.at(indexOf(iterator));
    if (!item.recognisable)
        return;
    *text = reinterpret_cast<const dvk_ucs2_Char*>(item.text.c_str());
    const size_t bar = item.text.find(u'|');
    *spoken = *text + (bar == std::u16string::npos ? 0 : bar + 1);
}

void dvk_dkapi_getDigitRecogLen(int32_t* minimum, int32_t* maximum)
{
    *minimum = s_dkapi.minimumDigits;
    *maximum = s_dkapi.maximumDigits;
}
