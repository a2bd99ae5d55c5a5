#include "core/brevit/search/phone_rewrite.h"

#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/search/table_read.h"

#include <algorithm>
#include <cstring>

namespace {

// Every offset at or before the pool's last terminator, so that each side
// ends inside the pool.
bool offsetsInside(const uint32_t* offsets, int32_t count, const uint16_t* pool, int32_t length)
{
    const int64_t last = TableRead_LastTerminator(pool, length, 0);
    for (int32_t i = 0; i < count; ++i)
        if (static_cast<int64_t>(offsets[i]) > last)
            return false;
    return true;
}

bool bucketsValid(const PhoneRewrite* rules)
{
    const int64_t entries = int64_t{rules->symbolCount} + 3;
    for (int64_t c = 0; c < entries; ++c) {
        if (rules->buckets[c] > static_cast<uint32_t>(rules->ruleCount))
            return false;
        if (c > 0 && rules->buckets[c] < rules->buckets[c - 1])
            return false;
    }
    return true;
}

// The padded work string seen through its input.
struct Work {
    const uint16_t* input;
    int32_t n;
    uint16_t boundary;
    int32_t pad;   // 1 with a boundary symbol
    int32_t length() const { return n + 2 * pad; }
    uint16_t at(int32_t p) const
    {
        if (pad != 0 && (p == 0 || p == n + 1))
            return boundary;
        return input[p - pad];
    }
};

// Order of rule r's left side against the length symbols at p (the end of a
// side sorts after every symbol).
int32_t compareLeft(const PhoneRewrite* rules, uint32_t r, const Work& work, int32_t p,
                    int32_t length)
{
    const uint16_t* left = rules->leftPool + rules->leftOffsets[r];
    for (int32_t i = 0; i < length; ++i) {
        if (left[i] == 0)
            return 1;
        const uint16_t s = work.at(p + i);
        if (left[i] != s)
            return left[i] < s ? -1 : 1;
    }
    return left[length] == 0 ? 0 : -1;
}

// The rule whose left side is exactly the length symbols at p, or -1.
int32_t findRule(const PhoneRewrite* rules, uint32_t lo, uint32_t hi, const Work& work, int32_t p,
                 int32_t length)
{
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        const int32_t order = compareLeft(rules, mid, work, p, length);
        if (order == 0)
            return static_cast<int32_t>(mid);
        if (order < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return -1;
}

// Runs the rules over the work string; writes into out when given. The
// output length, or -1 as soon as it passes room.
int64_t rewrite(const PhoneRewrite* rules, const Work& work, uint16_t* out, int64_t room)
{
    int64_t written = 0;
    const int32_t total = work.length();
    int32_t p = 0;
    while (p < total) {
        const uint16_t c = work.at(p);
        int32_t rule = -1;
        int32_t matched = 0;
        if (int64_t{c} < int64_t{rules->symbolCount} + 2) {
            const uint32_t lo = rules->buckets[c];
            const uint32_t hi = rules->buckets[c + 1];
            for (int32_t length = std::min(rules->longestLeft, total - p); length >= 1 && lo < hi;
                 --length) {
                rule = findRule(rules, lo, hi, work, p, length);
                if (rule >= 0) {
                    matched = length;
                    break;
                }
            }
        }
        if (rule < 0) {
            ++p;
            continue;
        }
        const uint16_t* right = rules->rightPool + rules->rightOffsets[rule];
        for (; *right != 0; ++right, ++written) {
            if (written >= room)
                return -1;
            if (out != nullptr)
                out[written] = *right;
        }
        p += matched;
    }
    return written;
}

} // namespace

PhoneRewrite* PhoneRewrite_Read(BinFileReader* reader)
{
    auto* rules = static_cast<PhoneRewrite*>(DVKMem_Calloc(sizeof(PhoneRewrite)));
    if (rules == nullptr)
        return nullptr;
    bool ok = BinFileReader_ReadInt(reader, &rules->ruleCount) &&
              BinFileReader_ReadInt(reader, &rules->leftLength) &&
              BinFileReader_ReadInt(reader, &rules->rightLength) &&
              BinFileReader_ReadInt(reader, &rules->symbolCount) &&
              BinFileReader_ReadInt(reader, &rules->boundary) &&
              BinFileReader_ReadInt(reader, &rules->longestLeft) &&
              BinFileReader_ReadInt(reader, &rules->expansionFactor);
    if (ok && rules->ruleCount >= 1) {
        void* arrays[5] = {};
        ok = rules->leftLength >= 0 && rules->rightLength >= 0 && rules->symbolCount >= 0 &&
             TableRead_Array(reader, 4, rules->ruleCount, true, &arrays[0]);
        rules->leftOffsets = static_cast<uint32_t*>(arrays[0]);
        ok = ok && TableRead_Array(reader, 4, rules->ruleCount, true, &arrays[1]);
        rules->rightOffsets = static_cast<uint32_t*>(arrays[1]);
        ok = ok && TableRead_Array(reader, 2, rules->leftLength, true, &arrays[2]);
        rules->leftPool = static_cast<uint16_t*>(arrays[2]);
        ok = ok && TableRead_Array(reader, 2, rules->rightLength, true, &arrays[3]);
        rules->rightPool = static_cast<uint16_t*>(arrays[3]);
        ok = ok && TableRead_Array(reader, 4, int64_t{rules->symbolCount} + 3, true, &arrays[4]);
        rules->buckets = static_cast<uint32_t*>(arrays[4]);
        ok = ok &&
             offsetsInside(rules->leftOffsets, rules->ruleCount, rules->leftPool,
                           rules->leftLength) &&
             offsetsInside(rules->rightOffsets, rules->ruleCount, rules->rightPool,
                           rules->rightLength) &&
             bucketsValid(rules);
    }
    if (!ok) {
        PhoneRewrite_Delete(rules);
        return nullptr;
    }
    return rules;
}

int32_t PhoneRewrite_Apply(const PhoneRewrite* rules, int32_t n, const uint16_t* input,
                           int32_t maximum, uint16_t* output)
{
    n = std::max(n, 0);
    if (output != nullptr && maximum < 1)
        return 0;
    if (rules->ruleCount < 1) {
        if (output == nullptr)
            return n;
        if (n > maximum)
            return 0;
        std::memmove(output, input, static_cast<size_t>(n) * sizeof(uint16_t));
        return n;
    }
    const Work work{input, n, static_cast<uint16_t>(rules->boundary), rules->boundary != 0 ? 1 : 0};
    if (output == nullptr) {
        const int64_t length = rewrite(rules, work, nullptr, 0x7FFFFFFF);
        return static_cast<int32_t>(length < 0 ? 0x7FFFFFFF : length);
    }
    const int64_t length = rewrite(rules, work, nullptr, maximum);
    if (length < 0)
        return 0;
    // The output may overlap the input: rewrite into scratch, then copy.
    const uint32_t mark = DVKTempMem_GetMark();
    auto* scratch = static_cast<uint16_t*>(
        DVKTempMem_Malloc(static_cast<uint32_t>(std::max<int64_t>(length, 1) * sizeof(uint16_t))));
    rewrite(rules, work, scratch, length);
    std::memcpy(output, scratch, static_cast<size_t>(length) * sizeof(uint16_t));
    DVKTempMem_ReleaseToMark(mark);
    return static_cast<int32_t>(length);
}

int32_t PhoneRewrite_GetMaxOutputLength(const PhoneRewrite* rules, int32_t n)
{
    const int64_t symbols = int64_t{n} + (rules->boundary != 0 ? 2 : 0);
    const int64_t length = int64_t{rules->expansionFactor} * symbols;
    return static_cast<int32_t>(std::clamp<int64_t>(length, 0, kPhoneRewriteMaxOutput));
}

uint32_t PhoneRewrite_ComputeCRC(const PhoneRewrite* rules)
{
    const int32_t values[] = {rules->ruleCount,   rules->leftLength, rules->rightLength,
                              rules->symbolCount, rules->boundary,   rules->longestLeft,
                              rules->expansionFactor};
    uint32_t crc = 0xFFFFFFFFu;
    for (int32_t v : values)
        crc = DVKCrc_AddValue(static_cast<uint32_t>(v), 4, crc);
    if (rules->ruleCount < 1)
        return crc;
    const uint32_t parts[] = {
        DVKCrc_AddArray(rules->leftOffsets, 4, rules->ruleCount, 0xFFFFFFFFu),
        DVKCrc_AddArray(rules->rightOffsets, 4, rules->ruleCount, 0xFFFFFFFFu),
        DVKCrc_AddArray(rules->leftPool, 2, rules->leftLength, 0xFFFFFFFFu),
        DVKCrc_AddArray(rules->rightPool, 2, rules->rightLength, 0xFFFFFFFFu),
        DVKCrc_AddArray(rules->buckets, 4, rules->symbolCount + 3, 0xFFFFFFFFu)};
    for (uint32_t part : parts)
        crc = DVKCrc_AddValue(part, 4, crc);
    return crc;
}

void PhoneRewrite_Delete(PhoneRewrite* rules)
{
    if (rules == nullptr)
        return;
    DVKMem_Free(rules->buckets);
    DVKMem_Free(rules->rightPool);
    DVKMem_Free(rules->leftPool);
    DVKMem_Free(rules->rightOffsets);
    DVKMem_Free(rules->leftOffsets);
    DVKMem_Free(rules);
}
