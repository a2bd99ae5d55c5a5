#include "core/brevit/synthesis/cep_tts_rules.h"

#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/lm_index_table.h"
#include "core/brevit/search/lm_rewrite.h"
#include "core/brevit/search/table_read.h"

#include <algorithm>
#include <cstring>

namespace {

// Bytes of one set record and of one rule record in the file.
constexpr int64_t kSetRecordBytes = 3 * 4;
constexpr int64_t kRuleRecordBytes = 6 * 4;
// One choice point per repeatable element of a context, and one spare.
constexpr int32_t kChoiceDepth = kCepTTSRulesMaxContext + 1;

// A zeroed block of count elements of T (none for count 0); false on failure.
template <typename T>
bool allocate(int64_t count, T** block)
{
    *block = nullptr;
    if (count == 0)
        return true;
    const int64_t bytes = count * static_cast<int64_t>(sizeof(T));
    if (bytes > kDVKMemMaxRequest)
        return false;
    *block = static_cast<T*>(DVKMem_Calloc(static_cast<uint32_t>(bytes)));
    return *block != nullptr;
}

bool readSets(BinFileReader* reader, CepTTSRules* r)
{
    if (r->ruleSetCount * kSetRecordBytes > TableRead_Remaining(reader) ||
        !allocate(r->ruleSetCount, &r->sets))
        return false;
    int64_t first = 0;
    for (int32_t k = 0; k < r->ruleSetCount; ++k) {
        CepTTSRuleSet& set = r->sets[k];
        if (!BinFileReader_ReadBoolean(reader, &set.leftToRight) ||
            !BinFileReader_ReadInt(reader, &set.expansion) ||
            !BinFileReader_ReadInt(reader, &set.ruleCount) || set.expansion < 1 ||
            set.ruleCount < 0)
            return false;
        set.firstRule = static_cast<int32_t>(std::min<int64_t>(first, r->ruleCount));
        first += set.ruleCount;
    }
    return first == r->ruleCount;
}

bool readRules(BinFileReader* reader, CepTTSRules* r)
{
    if (r->ruleCount * kRuleRecordBytes > TableRead_Remaining(reader) ||
        !allocate(r->ruleCount, &r->rules))
        return false;
    int64_t offset = 0;
    for (int32_t k = 0; k < r->ruleCount; ++k) {
        CepTTSRule& rule = r->rules[k];
        int32_t* const fields[] = {&rule.focusLength, &rule.replacementLength, &rule.leftLength,
                                   &rule.leftMinimum, &rule.rightLength, &rule.rightMinimum};
        for (int32_t* field : fields)
            if (!BinFileReader_ReadInt(reader, field) || *field < 0)
                return false;
        if (rule.leftMinimum > rule.leftLength || rule.rightMinimum > rule.rightLength ||
            rule.leftLength > kCepTTSRulesMaxContext || rule.rightLength > kCepTTSRulesMaxContext)
            return false;
        const int32_t lengths[] = {rule.focusLength, rule.replacementLength, rule.leftLength,
                                   rule.rightLength};
        int32_t* const offsets[] = {&rule.focus, &rule.replacement, &rule.left, &rule.right};
        for (int32_t n = 0; n < 4; ++n) {
            if (offset + lengths[n] > r->symbolPoolSize)
                return false;
            *offsets[n] = static_cast<int32_t>(offset);
            offset += lengths[n];
        }
    }
    return offset == r->symbolPoolSize;
}

// The backtracking matcher over pattern element p(i) and string symbol s(j).
template <typename Pattern, typename String>
int32_t match(const CepTTSRules* r, Pattern p, int32_t m, String s, int32_t n)
{
    struct Choice {
        int32_t i;
        int32_t j;
    };
    Choice stack[kChoiceDepth];
    int32_t depth = 0;
    int32_t i = 0;
    int32_t j = 0;
    while (i < m) {
        if (i + 1 < m && p(i + 1) == r->repeatMarker) {
            // Zero occurrences first; one more is tried on backtracking.
            if (depth == kChoiceDepth)
                return 0;
            stack[depth++] = {i, j};
            i += 2;
            continue;
        }
        if (j < n && CepTTSRules_SymbolMatch(r, p(i), s(j))) {
            ++i;
            ++j;
            continue;
        }
        for (;;) {
            if (depth == 0)
                return 0;
            const Choice c = stack[--depth];
            if (c.j < n && CepTTSRules_SymbolMatch(r, p(c.i), s(c.j))) {
                i = c.i;
                j = c.j + 1;
                break;
            }
        }
    }
    return 1;
}

const uint16_t* pool(const CepTTSRules* r, int32_t offset)
{
    return r->symbolPool + offset;
}

bool focusAt(const CepTTSRules* r, const CepTTSRule& rule, const uint16_t* in)
{
    return rule.focusLength == 0 ||
           std::memcmp(pool(r, rule.focus), in, sizeof(uint16_t) * rule.focusLength) == 0;
}

// Output of one set: room for capacity symbols, written from the front (left
// to right) or from the back (right to left).
struct Output {
    uint16_t* data;
    int64_t capacity;
    int64_t written;

    bool append(const uint16_t* s, int32_t n)
    {
        if (written + n > capacity)
            return false;
        std::copy(s, s + n, data + written);
        written += n;
        return true;
    }
    bool prepend(const uint16_t* s, int32_t n)
    {
        if (written + n > capacity)
            return false;
        written += n;
        std::copy(s, s + n, data + (capacity - written));
        return true;
    }
    const uint16_t* front() const { return data + (capacity - written); }
};

int32_t context(int64_t available)
{
    return static_cast<int32_t>(std::min<int64_t>(available, kCepTTSRulesMaxContext));
}

const CepTTSRule* forwardRule(const CepTTSRules* r, const CepTTSRuleSet& set, const uint16_t* in,
                              int32_t n, int32_t j, const Output& out)
{
    for (int32_t k = 0; k < set.ruleCount; ++k) {
        const CepTTSRule& rule = r->rules[set.firstRule + k];
        const int32_t after = j + rule.focusLength;
        if (rule.focusLength > n - j || rule.rightMinimum > n - after ||
            rule.leftMinimum > out.written || !focusAt(r, rule, in + j))
            continue;
        const int32_t left = context(out.written);
        const int32_t right = context(n - after);
        if (CepTTSRules_LeftContextMatch(r, pool(r, rule.left), rule.leftLength,
                                         out.data + out.written - left, left) &&
            CepTTSRules_ContextMatch(r, pool(r, rule.right), rule.rightLength, in + after, right))
            return &rule;
    }
    return nullptr;
}

const CepTTSRule* backwardRule(const CepTTSRules* r, const CepTTSRuleSet& set, const uint16_t* in,
                               int32_t j, const Output& out)
{
    for (int32_t k = 0; k < set.ruleCount; ++k) {
        const CepTTSRule& rule = r->rules[set.firstRule + k];
        const int32_t start = j - rule.focusLength;
        if (start < 0 || rule.leftMinimum > start || rule.rightMinimum > out.written ||
            !focusAt(r, rule, in + start))
            continue;
        const int32_t left = context(start);
        if (CepTTSRules_LeftContextMatch(r, pool(r, rule.left), rule.leftLength, in + start - left,
                                         left) &&
            CepTTSRules_ContextMatch(r, pool(r, rule.right), rule.rightLength, out.front(),
                                     context(out.written)))
            return &rule;
    }
    return nullptr;
}

bool runForward(const CepTTSRules* r, const CepTTSRuleSet& set, const uint16_t* in, int32_t n,
                Output& out)
{
    for (int32_t j = 0; j < n;) {
        const CepTTSRule* rule = forwardRule(r, set, in, n, j, out);
        if (rule != nullptr && !out.append(pool(r, rule->replacement), rule->replacementLength))
            return false;
        // An empty focus inserts: the symbol itself is kept.
        const int32_t step = rule != nullptr ? rule->focusLength : 0;
        if (step == 0 && !out.append(in + j, 1))
            return false;
        j += std::max(step, 1);
    }
    return true;
}

bool runBackward(const CepTTSRules* r, const CepTTSRuleSet& set, const uint16_t* in, int32_t n,
                 Output& out)
{
    for (int32_t j = n; j > 0;) {
        const CepTTSRule* rule = backwardRule(r, set, in, j, out);
        const int32_t step = rule != nullptr ? rule->focusLength : 0;
        // An inserted replacement stands before the kept symbol in text order.
        if (step == 0 && !out.prepend(in + j - 1, 1))
            return false;
        if (rule != nullptr && !out.prepend(pool(r, rule->replacement), rule->replacementLength))
            return false;
        j -= std::max(step, 1);
    }
    std::memmove(out.data, out.front(), sizeof(uint16_t) * out.written);
    return true;
}

// The set's output, or null (the input stays the caller's).
uint16_t* runSet(const CepTTSRules* r, const CepTTSRuleSet& set, const uint16_t* in, int32_t n,
                 int32_t* outLength)
{
    Output out{nullptr, int64_t{set.expansion} * n, 0};
    if (out.capacity > 0x7FFFFFFF || !allocate(std::max<int64_t>(out.capacity, 1), &out.data))
        return nullptr;
    const bool ok = set.leftToRight ? runForward(r, set, in, n, out) : runBackward(r, set, in, n, out);
    if (!ok) {
        DVKMem_Free(out.data);
        return nullptr;
    }
    *outLength = static_cast<int32_t>(out.written);
    return out.data;
}

} // namespace

CepTTSRules* CepTTSRules_Load(BinFileReader* reader)
{
    CepTTSRules* r = nullptr;
    if (!allocate(1, &r))
        return nullptr;
    bool ok = BinFileReader_ReadUnsignedShort(reader, &r->repeatMarker) &&
              BinFileReader_ReadInt(reader, &r->ruleSetCount) &&
              BinFileReader_ReadInt(reader, &r->ruleCount) &&
              BinFileReader_ReadInt(reader, &r->symbolPoolSize) && r->ruleSetCount >= 0 &&
              r->ruleCount >= 0 && r->symbolPoolSize >= 0;
    ok = ok && (r->symbolClasses = LMIndexTable_Read(reader)) != nullptr;
    ok = ok && (r->classMembers = LMRewrite_Read(reader)) != nullptr;
    void* symbols = nullptr;
    ok = ok && TableRead_Array(reader, 2, r->symbolPoolSize, true, &symbols);
    r->symbolPool = static_cast<uint16_t*>(symbols);
    ok = ok && readSets(reader, r) && readRules(reader, r);
    if (!ok) {
        CepTTSRules_Delete(r);
        return nullptr;
    }
    return r;
}

uint32_t CepTTSRules_ComputeCRC(const CepTTSRules* r)
{
    uint32_t crc = 0xFFFFFFFFu;
    crc = DVKCrc_AddInt(r->repeatMarker, crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(r->ruleSetCount), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(r->ruleCount), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(r->symbolPoolSize), crc);
    crc = DVKCrc_AddInt(LMIndexTable_ComputeCRC(r->symbolClasses), crc);
    crc = DVKCrc_AddInt(LMRewrite_ComputeCRC(r->classMembers), crc);
    uint32_t part = 0xFFFFFFFFu;
    if (r->symbolPool != nullptr)
        part = DVKCrc_AddArray(r->symbolPool, 2, r->symbolPoolSize, part);
    crc = DVKCrc_AddInt(part, crc);
    part = 0xFFFFFFFFu;
    for (int32_t k = 0; k < r->ruleSetCount; ++k) {
        const CepTTSRuleSet& set = r->sets[k];
        for (int32_t v : {set.leftToRight, set.expansion, set.ruleCount, set.firstRule})
            part = DVKCrc_AddInt(static_cast<uint32_t>(v), part);
    }
    crc = DVKCrc_AddInt(part, crc);
    part = 0xFFFFFFFFu;
    for (int32_t k = 0; k < r->ruleCount; ++k) {
        const CepTTSRule& rule = r->rules[k];
        for (int32_t v : {rule.focusLength, rule.replacementLength, rule.leftLength,
                          rule.leftMinimum, rule.rightLength, rule.rightMinimum, rule.focus,
                          rule.replacement, rule.left, rule.right})
            part = DVKCrc_AddInt(static_cast<uint32_t>(v), part);
    }
    return DVKCrc_AddInt(part, crc);
}

void CepTTSRules_Delete(CepTTSRules* r)
{
    if (r == nullptr)
        return;
    LMIndexTable_Delete(r->symbolClasses);
    LMRewrite_Delete(r->classMembers);
    DVKMem_Free(r->symbolPool);
    DVKMem_Free(r->sets);
    DVKMem_Free(r->rules);
    DVKMem_Free(r);
}

int32_t CepTTSRules_SymbolMatch(const CepTTSRules* r, uint16_t a, uint16_t b)
{
    const uint16_t cls = LMIndexTable_Get(r->symbolClasses, a);
    // A symbol the class table does not know is no class either.
    if (cls == 0 || cls == 0xFFFF)
        return a == b ? 1 : 0;
    const uint16_t* members = nullptr;
    int32_t count = 0;
    LMRewrite_GetRewritesForId(r->classMembers, cls, &members, &count);
    return std::find(members, members + count, b) != members + count ? 1 : 0;
}

int32_t CepTTSRules_ContextMatch(const CepTTSRules* r, const uint16_t* pattern,
                                 int32_t patternLength, const uint16_t* string,
                                 int32_t stringLength)
{
    if (patternLength > kCepTTSRulesMaxContext)
        return 0;
    return match(
        r, [&](int32_t i) { return pattern[i]; }, patternLength,
        [&](int32_t j) { return string[j]; }, stringLength);
}

int32_t CepTTSRules_LeftContextMatch(const CepTTSRules* r, const uint16_t* pattern,
                                     int32_t patternLength, const uint16_t* string,
                                     int32_t stringLength)
{
    if (patternLength > kCepTTSRulesMaxContext)
        return 0;
    // Elements in reverse order, each repeatable one still followed by its marker.
    uint16_t reversed[kCepTTSRulesMaxContext];
    int32_t n = 0;
    for (int32_t k = patternLength - 1; k >= 0; --k) {
        if (k > 0 && pattern[k] == r->repeatMarker) {
            reversed[n++] = pattern[k - 1];
            reversed[n++] = pattern[k];
            --k;
        } else {
            reversed[n++] = pattern[k];
        }
    }
    return match(
        r, [&](int32_t i) { return reversed[i]; }, patternLength,
        [&](int32_t j) { return string[stringLength - 1 - j]; }, stringLength);
}

uint16_t* CepTTSRules_Apply(const CepTTSRules* r, const uint16_t* string, int32_t length,
                            int32_t* outLength)
{
    *outLength = 0;
    if (length < 0)
        return nullptr;
    uint16_t* current = nullptr;
    if (!allocate(std::max(length, 1), &current))
        return nullptr;
    std::copy(string, string + length, current);
    int32_t n = length;
    for (int32_t k = 0; k < r->ruleSetCount; ++k) {
        int32_t next = 0;
        uint16_t* rewritten = runSet(r, r->sets[k], current, n, &next);
        DVKMem_Free(current);
        if (rewritten == nullptr)
            return nullptr;
        current = rewritten;
        n = next;
    }
    *outLength = n;
    return current;
}
