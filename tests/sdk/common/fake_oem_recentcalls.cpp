// The recent-call family over settable numbers.
#include "oem/dvk_oem_recentcalls.h"
#include "tests/sdk/common/fake_oem.h"

struct dvk_oem_recentcalls_Item {
    size_t index;
};

namespace {
std::vector<std::u16string> s_calls;
std::vector<dvk_oem_recentcalls_Item> s_iterators(64);

dvk_oem_recentcalls_Iterator at(size_t index)
{
    if (index >= s_calls.size())
        return nullptr;
    s_iterators[index].index = index;
    return &s_iterators[index];
}
} // namespace

std::vector<std::u16string>& fakeRecentCalls() { return s_calls; }
dvk_oem_recentcalls_Iterator dvk_oem_recentcalls_getFirstCall() { return at(0); }
dvk_oem_recentcalls_Iterator dvk_oem_recentcalls_getNextCall(dvk_oem_recentcalls_Iterator it) { return at(it->index + 1); }

// As a provider may: all 33 units of the buffer written, no terminator.
void dvk_oem_recentcalls_getCallNumber(dvk_oem_recentcalls_Iterator it, dvk_ucs2_Char* number)
{
    fakeFillText(number, DVK_OEM_RECENTCALLS_NUMBER_LENGTH + 1, s_calls[it->index]);
}
