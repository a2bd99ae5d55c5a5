// The go-to family over a settable list, with enabled flags.
#include "oem/dvk_oem_goto.h"
#include "tests/sdk/common/fake_oem.h"

#include <algorithm>

struct dvk_oem_goto_Item {
    size_t index;
};

namespace {
std::vector<FakeNamedItem> s_items;
std::vector<dvk_oem_goto_Item> s_iterators(64);
int32_t s_lastLanguage = -1;

dvk_oem_goto_Iterator at(size_t index)
{
    if (index >= s_items.size())
        return nullptr;
    s_iterators[index].index = index;
    return &s_iterators[index];
}
} // namespace

std::vector<FakeNamedItem>& fakeGotoItems() { return s_items; }
int32_t fakeGotoLastLanguage() { return s_lastLanguage; }

dvk_oem_goto_Iterator dvk_oem_goto_getFirstApp(int32_t language)
{
    s_lastLanguage = language;
    return at(0);
}

dvk_oem_goto_Iterator dvk_oem_goto_getNextApp(dvk_oem_goto_Iterator it) { return at(it->index + 1); }
int32_t dvk_oem_goto_isAppEnabled(dvk_oem_goto_Iterator it) { return s_items[it->index].enabled; }
void dvk_oem_goto_setAppEnabled(dvk_oem_goto_Iterator it, int32_t enabled) { s_items[it->index].enabled = enabled; }

void dvk_oem_goto_getAppEntry(dvk_oem_goto_Iterator it, dvk_oem_goto_AppEntry* entry)
{
    fakeFillNamed(s_items[it->index], entry);
}

void oemGoToInitStub() {}

void fakeFillText(dvk_ucs2_Char* field, size_t units, const std::u16string& text)
{
    size_t n = std::min(units, text.size());
    std::copy(text.begin(), text.begin() + static_cast<long>(n), field);
    if (n < units)
        field[n] = 0;
}

void fakeFillNamed(const FakeNamedItem& item, dvk_oem_NamedEntry* entry)
{
    fakeFillText(entry->name, DVK_OEM_TEXT_LENGTH, item.name);
    fakeFillText(entry->pronunciation, DVK_OEM_TEXT_LENGTH, item.pronunciation);
    fakeFillText(entry->synonyms[0], DVK_OEM_TEXT_LENGTH, item.synonym0);
    fakeFillText(entry->synonyms[1], DVK_OEM_TEXT_LENGTH, item.synonym1);
    entry->context = item.context;
}
