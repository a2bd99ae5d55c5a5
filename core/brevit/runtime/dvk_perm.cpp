#include "core/brevit/runtime/dvk_perm.h"

#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_random.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <numeric>

namespace {

// n 32-bit entries from the raising allocator; a size its 32-bit request
// cannot express raises as well.
int32_t* allocateIndices(int32_t n)
{
    const uint64_t bytes = static_cast<uint64_t>(std::max(n, 0)) * sizeof(int32_t);
    if (bytes > UINT32_MAX)
        DVKErr_Raise(__FILE__, __LINE__, "No memory for a permutation of length %d", n);
    return static_cast<int32_t*>(DVKMem_MallocOrThrow(static_cast<uint32_t>(bytes)));
}

// Replaces the three arrays by ones for n entries.
void resize(DVKPerm* p, int32_t n)
{
    int32_t* mapping = allocateIndices(n);
    int32_t* lengths = nullptr;
    int32_t* elements = nullptr;
    try {
        lengths = allocateIndices(n);
        elements = allocateIndices(n);
    } catch (...) {
        DVKMem_Free(lengths);
        DVKMem_Free(mapping);
        throw;
    }
    DVKMem_Free(p->mapping);
    DVKMem_Free(p->cycleLengths);
    DVKMem_Free(p->cycleElements);
    p->mapping = mapping;
    p->cycleLengths = lengths;
    p->cycleElements = elements;
}

// One element of size bytes held aside while a cycle is rotated.
class ElementTemp {
public:
    explicit ElementTemp(int32_t size)
        : m_data(size <= static_cast<int32_t>(sizeof(m_small))
                     ? m_small
                     : static_cast<unsigned char*>(
                           DVKMem_MallocOrThrow(static_cast<uint32_t>(size))))
    {
    }
    ~ElementTemp()
    {
        if (m_data != m_small)
            DVKMem_Free(m_data);
    }
    ElementTemp(const ElementTemp&) = delete;
    ElementTemp& operator=(const ElementTemp&) = delete;
    unsigned char* data() { return m_data; }

private:
    alignas(8) unsigned char m_small[64];
    unsigned char* m_data;
};

} // namespace

DVKPerm* DVKPerm_New(int32_t n)
{
    auto* p = static_cast<DVKPerm*>(DVKMem_CallocOrThrow(sizeof(DVKPerm)));
    try {
        DVKPerm_SetIdentity(p, std::max(n, 0));
        // The arrays exist even for an empty permutation.
        if (p->mapping == nullptr)
            resize(p, 0);
    } catch (...) {
        DVKMem_Free(p);
        throw;
    }
    return p;
}

void DVKPerm_Delete(DVKPerm* p)
{
    if (p == nullptr)
        return;
    DVKMem_Free(p->mapping);
    DVKMem_Free(p->cycleLengths);
    DVKMem_Free(p->cycleElements);
    DVKMem_Free(p);
}

void DVKPerm_SetIdentity(DVKPerm* p, int32_t n)
{
    n = std::max(n, 0);
    if (n > p->length || p->mapping == nullptr)
        resize(p, n);
    for (int32_t i = 0; i < n; ++i) {
        p->mapping[i] = i;
        p->cycleLengths[i] = 1;
        p->cycleElements[i] = i;
    }
    p->length = n;
    p->cycleCount = n;
}

void DVKPerm_SetMapping(DVKPerm* p, int32_t n, const int32_t* mapping)
{
    DVKPerm_SetIdentity(p, n);
    if (p->length > 0)
        std::memcpy(p->mapping, mapping, static_cast<size_t>(p->length) * sizeof(int32_t));
    DVKPerm_ComputeCycles(p);
}

void DVKPerm_ComputeCycles(DVKPerm* p)
{
    const int32_t n = p->length;
    auto* visited = static_cast<unsigned char*>(
        DVKMem_CallocOrThrow(static_cast<uint32_t>(n)));
    int32_t count = 0;
    int32_t filled = 0;
    bool valid = true;
    for (int32_t i = 0; i < n && valid; ++i) {
        if (visited[i])
            continue;
        const int32_t start = filled;
        int32_t j = i;
        for (;;) {
            j = p->mapping[j];
            // A mapping that is not a permutation would run off the arrays.
            if (j < 0 || j >= n) {
                valid = false;
                break;
            }
            if (visited[j])
                break;
            visited[j] = 1;
            p->cycleElements[filled++] = j;
        }
        // A cycle must close on the element it started from.
        if (valid && (filled == start || p->cycleElements[filled - 1] != i))
            valid = false;
        if (valid)
            p->cycleLengths[count++] = filled - start;
    }
    DVKMem_Free(visited);
    if (!valid) {
        DVKPerm_SetIdentity(p, n);
        DVKErr_Raise(__FILE__, __LINE__, "Mapping of length %d is not a permutation", n);
    }
    p->cycleCount = count;
}

void DVKPerm_Assign(DVKPerm* dst, const DVKPerm* src)
{
    if (dst == src)
        return;
    DVKPerm_SetIdentity(dst, src->length);
    const size_t bytes = static_cast<size_t>(src->length) * sizeof(int32_t);
    if (bytes > 0) {
        std::memcpy(dst->mapping, src->mapping, bytes);
        std::memcpy(dst->cycleElements, src->cycleElements, bytes);
        std::memcpy(dst->cycleLengths, src->cycleLengths,
                    static_cast<size_t>(src->cycleCount) * sizeof(int32_t));
    }
    dst->cycleCount = src->cycleCount;
}

void DVKPerm_Copy(const DVKPerm* src, DVKPerm* dst)
{
    DVKPerm_Assign(dst, src);
}

int32_t DVKPerm_GetLength(const DVKPerm* p)
{
    return p->length;
}

int32_t DVKPerm_GetNumCycles(const DVKPerm* p)
{
    return p->cycleCount;
}

int32_t DVKPerm_GetOneElement(const DVKPerm* p, int32_t j)
{
    return p->mapping[j];
}

void DVKPerm_CopyMapping(const DVKPerm* p, int32_t* mapping)
{
    if (p->length > 0)
        std::memcpy(mapping, p->mapping, static_cast<size_t>(p->length) * sizeof(int32_t));
}

void DVKPerm_CopyCycles(const DVKPerm* p, int32_t* count, int32_t* lengths, int32_t* elements)
{
    *count = p->cycleCount;
    if (p->length > 0) {
        std::memcpy(lengths, p->cycleLengths, static_cast<size_t>(p->cycleCount) * sizeof(int32_t));
        std::memcpy(elements, p->cycleElements, static_cast<size_t>(p->length) * sizeof(int32_t));
    }
}

int32_t DVKPerm_GetSign(const DVKPerm* p)
{
    int64_t transpositions = 0;
    for (int32_t c = 0; c < p->cycleCount; ++c)
        transpositions += p->cycleLengths[c] - 1;
    return (transpositions & 1) != 0 ? -1 : 1;
}

int64_t DVKPerm_GetOrder(const DVKPerm* p)
{
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    int64_t order = 1;
    for (int32_t c = 0; c < p->cycleCount; ++c) {
        const int64_t length = p->cycleLengths[c];
        const int64_t factor = length / std::gcd(order, length);
        if (order > kMax / factor)
            return kMax;
        order *= factor;
    }
    return order;
}

void DVKPerm_Invert(DVKPerm* p)
{
    int32_t start = 0;
    for (int32_t c = 0; c < p->cycleCount; ++c) {
        const int32_t length = p->cycleLengths[c];
        int32_t* cycle = p->cycleElements + start;
        std::reverse(cycle, cycle + length);
        for (int32_t k = 0; k < length; ++k)
            p->mapping[cycle[k]] = cycle[(k + 1) % length];
        start += length;
    }
    // Back to the stored form of the cycles (each ending with its smallest element).
    DVKPerm_ComputeCycles(p);
}

void DVKPerm_Multiply(const DVKPerm* a, const DVKPerm* b, DVKPerm* result)
{
    const int32_t n = std::max(a->length, b->length);
    int32_t* product = allocateIndices(n);
    for (int32_t j = 0; j < n; ++j) {
        const int32_t aj = j < a->length ? a->mapping[j] : j;
        product[j] = aj < b->length ? b->mapping[aj] : aj;
    }
    try {
        DVKPerm_SetMapping(result, n, product);
    } catch (...) {
        DVKMem_Free(product);
        throw;
    }
    DVKMem_Free(product);
}

void DVKPerm_ApplyPower(const DVKPerm* p, int32_t k, void* data, int32_t size)
{
    if (size <= 0)
        return;
    auto* bytes = static_cast<unsigned char*>(data);
    const size_t width = static_cast<size_t>(size);
    ElementTemp temp(size);
    int32_t start = 0;
    for (int32_t c = 0; c < p->cycleCount; ++c) {
        const int32_t length = p->cycleLengths[c];
        const int32_t* cycle = p->cycleElements + start;
        start += length;
        const int32_t r = static_cast<int32_t>(((int64_t{k} % length) + length) % length);
        if (r == 0)
            continue;
        const int32_t subCycles = std::gcd(r, length);
        for (int32_t s = 0; s < subCycles; ++s) {
            // Position x receives the element of position x - r.
            std::memcpy(temp.data(), bytes + cycle[s] * width, width);
            int32_t x = s;
            for (;;) {
                const int32_t from = (x - r + length) % length;
                if (from == s) {
                    std::memcpy(bytes + cycle[x] * width, temp.data(), width);
                    break;
                }
                std::memcpy(bytes + cycle[x] * width, bytes + cycle[from] * width, width);
                x = from;
            }
        }
    }
}

void DVKPerm_Apply(const DVKPerm* p, void* data, int32_t size)
{
    // One step along every cycle: the element at c[k - 1] moves to c[k] and
    // the last one to c[0].
    DVKPerm_ApplyPower(p, 1, data, size);
}

void DVKPerm_Randomize(DVKPerm* p, DVKRandom* random, int32_t allowFixedPoints)
{
    DVKRandom_Permutation(random, p->length, p->mapping, allowFixedPoints);
    DVKPerm_ComputeCycles(p);
}
