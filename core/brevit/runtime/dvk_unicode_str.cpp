#include "core/brevit/runtime/dvk_unicode_str.h"

#include "core/brevit/runtime/dvk_ctype.h"
#include "core/brevit/runtime/dvk_unicode.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <optional>
#include <type_traits>

const uint16_t kDVKUniWhiteSpace[] = {
    0x0009, 0x000A, 0x000B, 0x000C, 0x000D, 0x0020, 0x2000, 0x2001, 0x2002, 0x2003, 0x2004,
    0x2005, 0x2006, 0x2007, 0x2008, 0x2009, 0x200A, 0x200B, 0x202F, 0x205F, 0x3000, 0x303F,
    0x0000,
};

namespace {

size_t lengthOf(const uint16_t* s)
{
    size_t n = 0;
    while (s[n] != 0)
        ++n;
    return n;
}

// Membership in a zero-terminated set of code units. A long set gets a bit
// map, so scanning a long text against it stays linear.
class UnitSet {
public:
    explicit UnitSet(const uint16_t* set)
        : set_(set != nullptr ? set : kEmpty)
    {
        size_t n = 0;
        while (set_[n] != 0 && n <= kShortSet)
            ++n;
        if (n > kShortSet) {
            bits_.emplace();
            bits_->fill(0);
            for (const uint16_t* p = set_; *p != 0; ++p)
                (*bits_)[*p >> 6] |= uint64_t{1} << (*p & 63);
        }
    }

    bool contains(uint16_t c) const
    {
        if (c == 0)
            return false;
        if (bits_)
            return ((*bits_)[c >> 6] >> (c & 63)) & 1;
        for (const uint16_t* p = set_; *p != 0; ++p)
            if (*p == c)
                return true;
        return false;
    }

private:
    static constexpr size_t kShortSet = 16;
    static constexpr uint16_t kEmpty[1] = {0};
    const uint16_t* set_;
    std::optional<std::array<uint64_t, 1024>> bits_;
};

size_t spanOf(const uint16_t* s, const UnitSet& set)
{
    size_t n = 0;
    while (set.contains(s[n]))
        ++n;
    return n;
}

// Index of the first unit of s in set, or of the terminator.
size_t breakOf(const uint16_t* s, const UnitSet& set)
{
    size_t n = 0;
    while (s[n] != 0 && !set.contains(s[n]))
        ++n;
    return n;
}

// Two-way string matching (Crochemore and Perrin): linear time and constant
// space, so a long needle in a long text costs no more than a scan.
const uint16_t* twoWaySearch(const uint16_t* h, ptrdiff_t n, const uint16_t* t, ptrdiff_t m)
{
    // Maximal suffix for each order; the later of the two is critical.
    ptrdiff_t ip = -1, jp = 0, k = 1, p = 1;
    while (jp + k < m) {
        if (t[ip + k] == t[jp + k]) {
            if (k == p) {
                jp += p;
                k = 1;
            } else {
                ++k;
            }
        } else if (t[ip + k] > t[jp + k]) {
            jp += k;
            k = 1;
            p = jp - ip;
        } else {
            ip = jp++;
            k = p = 1;
        }
    }
    ptrdiff_t ms = ip;
    const ptrdiff_t p0 = p;
    ip = -1;
    jp = 0;
    k = p = 1;
    while (jp + k < m) {
        if (t[ip + k] == t[jp + k]) {
            if (k == p) {
                jp += p;
                k = 1;
            } else {
                ++k;
            }
        } else if (t[ip + k] < t[jp + k]) {
            jp += k;
            k = 1;
            p = jp - ip;
        } else {
            ip = jp++;
            k = p = 1;
        }
    }
    if (ip > ms)
        ms = ip;
    else
        p = p0;

    // mem0: how much of the needle is known to match after a periodic shift.
    ptrdiff_t mem0 = 0;
    if (std::memcmp(t, t + p, static_cast<size_t>(ms + 1) * sizeof(uint16_t)) != 0)
        p = std::max(ms, m - ms - 1) + 1;
    else
        mem0 = m - p;

    ptrdiff_t mem = 0;
    const uint16_t* const end = h + n;
    while (end - h >= m) {
        ptrdiff_t i = std::max(ms + 1, mem);
        while (i < m && t[i] == h[i])
            ++i;
        if (i < m) {
            h += i - ms;
            mem = 0;
            continue;
        }
        i = ms + 1;
        while (i > mem && t[i - 1] == h[i - 1])
            --i;
        if (i <= mem)
            return h;
        h += p;
        mem = mem0;
    }
    return nullptr;
}

uint16_t same(uint16_t c)
{
    return c;
}

uint16_t lowered(uint16_t c)
{
    return DVKUnicode_IsUpper(c) ? DVKUnicode_ToLower(c) : c;
}

template <typename CharB>
int32_t compareUnits(const uint16_t* a, const CharB* b, size_t n, uint16_t (*map)(uint16_t))
{
    if (a == nullptr || b == nullptr)
        return a == nullptr && b == nullptr ? 0 : (a == nullptr ? -1 : 1);
    for (size_t i = 0; i < n; ++i) {
        const uint16_t ca = map(a[i]);
        const uint16_t cb =
            map(static_cast<uint16_t>(static_cast<std::make_unsigned_t<CharB>>(b[i])));
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (ca == 0)
            return 0;
    }
    return 0;
}

size_t limitOf(int32_t n)
{
    return static_cast<size_t>(n);
}

constexpr size_t kUnbounded = SIZE_MAX;

template <typename CharS>
bool appendUnits(uint16_t* dst, const CharS* src, int32_t size)
{
    if (src == nullptr || dst == nullptr)
        return false;
    const int32_t used = DVKUnicode_Length(dst);
    if (used + 1 >= size)
        return false;
    int32_t i = 0;
    for (; used + i < size - 1 && src[i] != 0; ++i)
        dst[used + i] = static_cast<uint16_t>(static_cast<std::make_unsigned_t<CharS>>(src[i]));
    dst[used + i] = 0;
    return true;
}

const uint16_t* findToken(const uint16_t* s, const UnitSet& set, const uint16_t** next,
                          int32_t* length)
{
    s += spanOf(s, set);
    if (*s == 0) {
        *next = nullptr;
        *length = 0;
        return nullptr;
    }
    const size_t n = breakOf(s, set);
    *length = static_cast<int32_t>(n);
    *next = s[n] != 0 ? s + n + 1 : nullptr;
    return s;
}

} // namespace

int32_t DVKUnicode_Length(const uint16_t* s)
{
    return s != nullptr ? static_cast<int32_t>(lengthOf(s)) : 0;
}

bool DVKUnicode_NCopy(uint16_t* dst, const uint16_t* src, int32_t size)
{
    if (dst == nullptr || size < 1)
        return false;
    if (src == nullptr) {
        dst[0] = 0;
        return false;
    }
    int32_t i = 0;
    for (; i < size - 1 && src[i] != 0; ++i)
        dst[i] = src[i];
    dst[i] = 0;
    return src[i] == 0;
}

bool DVKUnicode_MemCopy(uint16_t* dst, const uint16_t* src, int32_t n)
{
    if (dst == nullptr || src == nullptr)
        return false;
    if (n > 0)
        std::memmove(dst, src, static_cast<size_t>(n) * sizeof(uint16_t));
    return true;
}

bool DVKUnicode_NConcat(uint16_t* dst, const uint16_t* src, int32_t size)
{
    return appendUnits(dst, src, size);
}

bool DVKUnicode_NConcatAscii(uint16_t* dst, const char* src8, int32_t size)
{
    return appendUnits(dst, src8, size);
}

bool DVKUnicode_ConcatChar(uint16_t* dst, uint16_t c, int32_t size)
{
    if (dst == nullptr)
        return false;
    const int32_t used = DVKUnicode_Length(dst);
    if (used + 1 >= size)
        return false;
    dst[used] = c;
    dst[used + 1] = 0;
    return true;
}

uint16_t* DVKUnicode_Chr(const uint16_t* s, uint16_t c)
{
    if (s == nullptr)
        return nullptr;
    for (; *s != 0; ++s)
        if (*s == c)
            return const_cast<uint16_t*>(s);
    return nullptr;
}

uint16_t* DVKUnicode_PBrk(const uint16_t* s, const uint16_t* set)
{
    if (s == nullptr || set == nullptr)
        return nullptr;
    const size_t n = breakOf(s, UnitSet(set));
    return s[n] != 0 ? const_cast<uint16_t*>(s + n) : nullptr;
}

int32_t DVKUnicode_Spn(const uint16_t* s, const uint16_t* set)
{
    if (s == nullptr || set == nullptr)
        return 0;
    return static_cast<int32_t>(spanOf(s, UnitSet(set)));
}

uint16_t* DVKUnicode_Str(const uint16_t* s, const uint16_t* t)
{
    if (s == nullptr || t == nullptr || *t == 0)
        return nullptr;
    const size_t m = lengthOf(t);
    const size_t n = lengthOf(s);
    if (m > n)
        return nullptr;
    return const_cast<uint16_t*>(twoWaySearch(s, static_cast<ptrdiff_t>(n), t,
                                              static_cast<ptrdiff_t>(m)));
}

int32_t DVKUnicode_Compare(const uint16_t* a, const uint16_t* b)
{
    return compareUnits(a, b, kUnbounded, same);
}

int32_t DVKUnicode_NCompare(const uint16_t* a, const uint16_t* b, int32_t n)
{
    return n < 1 ? 0 : compareUnits(a, b, limitOf(n), same);
}

int32_t DVKUnicode_CompareAscii(const uint16_t* a, const char* b8)
{
    return compareUnits(a, b8, kUnbounded, same);
}

int32_t DVKUnicode_NCompareAscii(const uint16_t* a, const char* b8, int32_t n)
{
    return n < 1 ? 0 : compareUnits(a, b8, limitOf(n), same);
}

int32_t DVKUnicode_CompareNoCase(const uint16_t* a, const uint16_t* b)
{
    return compareUnits(a, b, kUnbounded, lowered);
}

int32_t DVKUnicode_NCompareNoCase(const uint16_t* a, const uint16_t* b, int32_t n)
{
    return n < 1 ? 0 : compareUnits(a, b, limitOf(n), lowered);
}

uint16_t* DVKUnicode_Lower(uint16_t* s)
{
    for (uint16_t* p = s; p != nullptr && *p != 0; ++p)
        if (DVKUnicode_IsUpper(*p))
            *p = DVKUnicode_ToLower(*p);
    return s;
}

uint16_t* DVKUnicode_Upper(uint16_t* s)
{
    for (uint16_t* p = s; p != nullptr && *p != 0; ++p)
        if (DVKUnicode_IsLower(*p))
            *p = DVKUnicode_ToUpper(*p);
    return s;
}

uint16_t* DVKUnicode_Reverse(uint16_t* s)
{
    if (s != nullptr)
        std::reverse(s, s + lengthOf(s));
    return s;
}

uint16_t* DVKUnicode_RTrim(uint16_t* s)
{
    if (s == nullptr)
        return s;
    for (size_t n = lengthOf(s); n > 0 && s[n - 1] < 0x80 && DVKCtype_Is(s[n - 1], kDVKCtypeSpace);
         --n)
        s[n - 1] = 0;
    return s;
}

int32_t DVKUnicode_SkipSpace(const uint16_t* s, uint16_t* first)
{
    int32_t n = 0;
    if (s != nullptr)
        while (s[n] != 0 && DVKUnicode_IsSpace(s[n]))
            ++n;
    if (first != nullptr)
        *first = s != nullptr ? s[n] : 0;
    return n;
}

const uint16_t* DVKUnicode_FindToken(const uint16_t* s, const uint16_t* delimiters,
                                     const uint16_t** next, int32_t* length)
{
    if (s == nullptr) {
        *next = nullptr;
        *length = 0;
        return nullptr;
    }
    return findToken(s, UnitSet(delimiters), next, length);
}

const uint16_t* DVKUnicode_NextTokenSpan(const uint16_t* s, const uint16_t* delimiters,
                                         const uint16_t** next, int32_t* length)
{
    const uint16_t* from = s != nullptr ? s : *next;
    if (from == nullptr) {
        *length = 0;
        return nullptr;
    }
    return DVKUnicode_FindToken(from, delimiters, next, length);
}

int32_t DVKUnicode_CountTokens(const uint16_t* s, const uint16_t* delimiters)
{
    if (s == nullptr)
        return 0;
    const UnitSet set(delimiters);
    int32_t count = 0;
    const uint16_t* next = nullptr;
    int32_t length = 0;
    for (const uint16_t* token = findToken(s, set, &next, &length); token != nullptr;
         token = next != nullptr ? findToken(next, set, &next, &length) : nullptr)
        ++count;
    return count;
}

uint16_t* DVKUnicode_NextToken(uint16_t* s, const uint16_t* delimiters, uint16_t** next)
{
    uint16_t* p = s != nullptr ? s : *next;
    if (p == nullptr)
        return nullptr;
    const UnitSet set(delimiters);
    p += spanOf(p, set);
    if (*p == 0) {
        *next = p;
        return nullptr;
    }
    uint16_t* token = p;
    p += breakOf(p, set);
    if (*p != 0)
        *p++ = 0;
    *next = p;
    return token;
}
