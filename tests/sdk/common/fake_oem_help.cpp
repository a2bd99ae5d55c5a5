// The help family over a settable list.
#include "oem/dvk_oem_help.h"
#include "tests/sdk/common/fake_oem.h"

struct dvk_oem_help_Item {
    size_t index;
};

namespace {
std::vector<FakeNamedItem> s_items;
std::vector<dvk_oem_help_Item> s_iterators(64);

dvk_oem_help_Iterator at(size_t index)
{
    if (index >= s_items.size())
        return nullptr;
    s_iterators[index].index = index;
    return &s_iterators[index];
}
} // namespace

std::vector<FakeNamedItem>& fakeHelpItems() { return s_items; }
dvk_oem_help_Iterator dvk_oem_help_getFirstTopic(int32_t) { return at(0); }
dvk_oem_help_Iterator dvk_oem_help_getNextTopic(dvk_oem_help_Iterator it) { return at(it->index + 1); }

void dvk_oem_help_getTopicEntry(dvk_oem_help_Iterator it, dvk_oem_help_TopicEntry* entry)
{
    fakeFillNamed(s_items[it->index], entry);
}

void oemHelpInitStub() {}
