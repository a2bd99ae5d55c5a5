// Long word names come from applications: any bytes as an 8-bit name and,
// two at a time, as a UTF-16 name. What splits must be a valid name and
// must join back to the same two forms; every output stays in its buffer.
#include "core/brevit/lexicon/long_name.h"

#include "tests/support/same_text.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

template <typename Char, typename Valid, typename Split, typename Join>
void check(const std::vector<Char>& name, Valid valid, Split split, Join join, int32_t room)
{
    std::vector<Char> surface(static_cast<size_t>(room) + 1, 0x55);
    std::vector<Char> spoken(static_cast<size_t>(room) + 1, 0x55);
    const int32_t isValid = valid(name.data());
    // The last unit is a guard: nothing may be written there.
    if (!split(name.data(), surface.data(), room, spoken.data(), room)) {
        if (surface[static_cast<size_t>(room)] != 0x55 || spoken[static_cast<size_t>(room)] != 0x55)
            std::abort();
        return;
    }
    if (!isValid)
        std::abort();
    std::vector<Char> joined(name.size() + 1, 0x55);
    const int32_t size = static_cast<int32_t>(name.size());
    if (!join(surface.data(), spoken.data(), joined.data(), size) || joined[name.size()] != 0x55)
        std::abort();
    std::vector<Char> surface2(static_cast<size_t>(room) + 1);
    std::vector<Char> spoken2(static_cast<size_t>(room) + 1);
    if (!split(joined.data(), surface2.data(), room, spoken2.data(), room) || !sameText(surface2, surface) ||
        !sameText(spoken2, spoken))
        std::abort();
    // Any smaller output fails without passing its end.
    for (int32_t s = 0; s < size; ++s) {
        std::vector<Char> small(static_cast<size_t>(s) + 1, 0x55);
        join(surface.data(), spoken.data(), small.data(), s);
        if (small[static_cast<size_t>(s)] != 0x55)
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 256)
        return 0;
    const int32_t room = size > 0 ? data[0] % 64 : 0;
    std::vector<char> narrow;
    for (size_t i = 1; i < size && data[i] != 0; ++i)
        narrow.push_back(static_cast<char>(data[i]));
    narrow.push_back(0);
    check(narrow, WU_IsValidLongName, WU_ConvertLongNameToSurfaceSpoken,
          WU_ConvertSurfaceSpokenToLongName, room);
    std::vector<uint16_t> wide;
    for (size_t i = 1; i + 1 < size; i += 2) {
        const uint16_t u = static_cast<uint16_t>(data[i] | data[i + 1] << 8);
        if (u == 0)
            break;
        wide.push_back(u);
    }
    wide.push_back(0);
    check(wide, WU_IsValidLongNameU, WU_ConvertLongNameToSurfaceSpokenU,
          WU_ConvertSurfaceSpokenToLongNameU, room);
    return 0;
}
