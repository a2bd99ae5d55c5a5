#include "core/brevit/lexicon/pron_generator_tree.h"

#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/runtime/dvk_unicode.h"
#include "core/brevit/runtime/dvk_unicode_str.h"
#include "core/brevit/search/table_read.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint16_t kNone = 0xFFFF;
constexpr int32_t kCompoundMaxLetters = 50;
constexpr uint16_t kStressMark = '^';
constexpr int32_t kHangulFirst = 0xAC00;
constexpr int32_t kHangulLast = 0xD7A3;

// ---- loading ---------------------------------------------------------------

void freeTree(PG* generator)
{
    auto* t = reinterpret_cast<PGTree*>(generator);
    DVKMem_Free(t->stressStrings);
    DVKMem_Free(t->stressRules);
    DVKMem_Free(t->defaultStress);
    LMDTree_Delete(t->tree);
    DVKMem_Free(t->secondList);
    DVKMem_Free(t->firstList);
    for (LMSymbolTableU* table : t->compoundTables)
        LMSymbolTableU_Delete(table);
    DVKMem_Free(t->nucleusPatterns);
    DVKMem_Free(t->nucleusIndex);
    LMRewrite_Delete(t->graphemeRewrite);
    LMSymbolTableU_Delete(t->graphemes);
    LMRewrite_Delete(t->directRewrite);
    LMSymbolTableU_Delete(t->letters);
    PG_FreeCommon(&t->base.common);
}

bool readLow16(BinFileReader* reader, uint16_t* value)
{
    return BinFileReader_ReadUnsignedShort(reader, value) == 1;
}

template <typename T>
bool readArray(BinFileReader* reader, int64_t count, bool required, T** array)
{
    void* data = nullptr;
    const bool ok = TableRead_Array(reader, sizeof(T), count, required, &data) == 1;
    *array = static_cast<T*>(data);
    return ok;
}

// Longest first alternative of any id.
int32_t longestRewrite(const LMRewrite* table)
{
    int32_t longest = 0;
    for (int32_t id = 0; id < table->idCount; ++id) {
        int32_t length = 0;
        LMRewrite_GetRewritesForId(table, id, nullptr, &length);
        longest = std::max(longest, length);
    }
    return longest;
}

// Every letter's nucleus entry is none or a list of non-empty 0-ended
// patterns closed by an extra 0, inside the pattern array.
bool nucleiValid(const PGTree* t)
{
    const int32_t letters = LMSymbolTableU_GetCount(t->letters);
    for (int32_t c = 0; c <= letters; ++c) {
        const uint16_t entry = t->nucleusIndex[c];
        if (entry == kNone)
            continue;
        int32_t i = entry;
        while (i < t->nucleusPatternCount && t->nucleusPatterns[i] != 0) {
            while (i < t->nucleusPatternCount && t->nucleusPatterns[i] != 0)
                ++i;
            ++i;
        }
        if (i >= t->nucleusPatternCount)
            return false;
    }
    return true;
}

bool stressValid(const PGTree* t)
{
    if (t->stressRules == nullptr)
        return true;
    const int64_t lastZero = TableRead_LastTerminator(t->stressStrings, t->stressStringCount, 0);
    for (int32_t r = 0; r < t->stressRuleCount; ++r) {
        const PGStressRule& rule = t->stressRules[r];
        if (int64_t{rule.stringOffset} > lastZero || rule.kind < -1 || rule.kind > 1)
            return false;
    }
    for (int32_t n = 0; n < kPGTreeStressSets; ++n) {
        const int32_t first = t->stressSets[n];
        const int32_t size = t->stressSetSizes[n];
        if (first < -1 || first >= t->stressRuleCount || size < 0 || (first < 0 && size > 0) ||
            (first >= 0 && int64_t{first} + size > t->stressRuleCount))
            return false;
    }
    return true;
}

bool readStress(BinFileReader* reader, PGTree* t)
{
    if (!readArray(reader, int64_t{t->defaultStressCount} + 1, false, &t->defaultStress))
        return false;
    if (t->defaultStress == nullptr || t->stressRuleCount == 0)
        return true;
    // Three 4-byte records a rule.
    if (int64_t{t->stressRuleCount} * 12 > TableRead_Remaining(reader))
        return false;
    t->stressRules = static_cast<PGStressRule*>(
        DVKMem_Calloc(static_cast<uint32_t>(t->stressRuleCount) * sizeof(PGStressRule)));
    if (t->stressRules == nullptr)
        return false;
    for (int32_t r = 0; r < t->stressRuleCount; ++r) {
        char kind = 0;
        char position = 0;
        if (!readLow16(reader, &t->stressRules[r].stringOffset) ||
            !BinFileReader_ReadChar(reader, &kind) || !BinFileReader_ReadChar(reader, &position))
            return false;
        t->stressRules[r].kind = static_cast<int8_t>(kind);
        t->stressRules[r].position = static_cast<int8_t>(position);
    }
    for (int32_t& first : t->stressSets)
        if (!BinFileReader_ReadInt(reader, &first))
            return false;
    return BinFileReader_ReadArray(reader, t->stressSetSizes, 4, kPGTreeStressSets) &&
           BinFileReader_ReadInt(reader, &t->stressStringCount) && t->stressStringCount >= 0 &&
           readArray(reader, t->stressStringCount, true, &t->stressStrings);
}

bool readTree(BinFileReader* reader, PGTree* t)
{
    int32_t triple = 0;
    bool ok = readLow16(reader, &t->separator) && BinFileReader_ReadInt(reader, &t->codesPerChar) &&
              BinFileReader_ReadBoolean(reader, &triple) && readLow16(reader, &t->leadBase) &&
              readLow16(reader, &t->vowelBase) && readLow16(reader, &t->tailBase) &&
              BinFileReader_ReadInt(reader, &t->contextWidth) &&
              BinFileReader_ReadInt(reader, &t->phonemesPerLetter) &&
              BinFileReader_ReadInt(reader, &t->nucleusPatternCount) &&
              BinFileReader_ReadInt(reader, &t->defaultStressCount) &&
              BinFileReader_ReadInt(reader, &t->stressRuleCount) &&
              BinFileReader_ReadInt(reader, &t->firstListCount) &&
              BinFileReader_ReadInt(reader, &t->secondListCount);
    t->tripleCodes = triple;
    ok = ok && t->codesPerChar >= 0 && t->contextWidth >= 1 && t->phonemesPerLetter >= 0 &&
         t->nucleusPatternCount >= 0 && t->defaultStressCount >= -1 && t->stressRuleCount >= 0 &&
         t->secondListCount >= 0;
    ok = ok && (t->letters = LMSymbolTableU_Read(reader)) != nullptr;
    ok = ok && (t->directRewrite = LMRewrite_Read(reader)) != nullptr;
    ok = ok && (t->graphemes = LMSymbolTableU_Read(reader)) != nullptr;
    ok = ok && (t->graphemeRewrite = LMRewrite_Read(reader)) != nullptr;
    ok = ok && readArray(reader, int64_t{LMSymbolTableU_GetCount(t->letters)} + 1, true, &t->nucleusIndex) &&
         readArray(reader, t->nucleusPatternCount, true, &t->nucleusPatterns);
    if (ok && t->firstListCount > 0) {
        for (LMSymbolTableU*& table : t->compoundTables)
            ok = ok && (table = LMSymbolTableU_Read(reader)) != nullptr;
        ok = ok && readArray(reader, t->firstListCount, true, &t->firstList) &&
             readArray(reader, t->secondListCount, true, &t->secondList);
    }
    ok = ok && (t->tree = LMDTree_LoadFromBinFile(reader)) != nullptr;
    ok = ok && readStress(reader, t);
    if (!ok)
        return false;
    // Each check guards a read the generation makes.
    const PGCommon& common = t->base.common;
    const int64_t perChar = int64_t{t->codesPerChar} * (t->tripleCodes ? 3 : 1);
    const int32_t longestGrapheme = longestRewrite(t->graphemeRewrite);
    t->longestCharacter = longestGrapheme * (t->tripleCodes ? 3 : 1);
    t->contextReach = LMDTree_GetMaxContextPosition(t->tree) + 1;
    return LMDTree_GetMaxContextPosition(t->tree) < t->contextWidth && longestGrapheme <= perChar &&
           longestRewrite(common.mainRewrite) <= t->phonemesPerLetter &&
           longestRewrite(t->directRewrite) <= t->phonemesPerLetter && nucleiValid(t) &&
           stressValid(t);
}

uint32_t addArray(uint32_t crc, const void* array, int32_t size, int64_t count)
{
    return array != nullptr ? DVKCrc_AddArray(array, size, static_cast<int32_t>(count), crc) : crc;
}

uint32_t PG_ComputeCRC_TRE(const PG* generator)
{
    const auto* t = reinterpret_cast<const PGTree*>(generator);
    uint32_t crc = PG_ComputeCommonCRC(&t->base.common);
    crc = DVKCrc_AddValue(t->separator, 2, crc);
    crc = DVKCrc_AddValue(static_cast<uint32_t>(t->codesPerChar), 4, crc);
    crc = DVKCrc_AddValue(static_cast<uint32_t>(t->tripleCodes), 4, crc);
    crc = DVKCrc_AddValue(t->leadBase, 2, crc);
    crc = DVKCrc_AddValue(t->vowelBase, 2, crc);
    crc = DVKCrc_AddValue(t->tailBase, 2, crc);
    for (int32_t v : {t->contextWidth, t->phonemesPerLetter, t->nucleusPatternCount,
                      t->defaultStressCount, t->stressRuleCount, t->firstListCount,
                      t->secondListCount})
        crc = DVKCrc_AddValue(static_cast<uint32_t>(v), 4, crc);
    crc = DVKCrc_AddValue(LMSymbolTableU_ComputeCRC(t->letters), 4, crc);
    crc = DVKCrc_AddValue(LMRewrite_ComputeCRC(t->directRewrite), 4, crc);
    crc = DVKCrc_AddValue(LMSymbolTableU_ComputeCRC(t->graphemes), 4, crc);
    crc = DVKCrc_AddValue(LMRewrite_ComputeCRC(t->graphemeRewrite), 4, crc);
    crc = addArray(crc, t->nucleusIndex, 2, int64_t{LMSymbolTableU_GetCount(t->letters)} + 1);
    crc = addArray(crc, t->nucleusPatterns, 2, t->nucleusPatternCount);
    if (t->firstListCount > 0) {
        for (const LMSymbolTableU* table : t->compoundTables)
            crc = DVKCrc_AddValue(LMSymbolTableU_ComputeCRC(table), 4, crc);
        crc = addArray(crc, t->firstList, 2, t->firstListCount);
        crc = addArray(crc, t->secondList, 2, t->secondListCount);
    }
    crc = DVKCrc_AddValue(LMDTree_ComputeCRC(t->tree, 0xFFFFFFFFu), 4, crc);
    crc = addArray(crc, t->defaultStress, 4, int64_t{t->defaultStressCount} + 1);
    if (t->stressRules == nullptr)
        return crc;
    for (int32_t r = 0; r < t->stressRuleCount; ++r) {
        crc = DVKCrc_AddValue(t->stressRules[r].stringOffset, 2, crc);
        crc = DVKCrc_AddValue(static_cast<uint8_t>(t->stressRules[r].kind), 1, crc);
        crc = DVKCrc_AddValue(static_cast<uint8_t>(t->stressRules[r].position), 1, crc);
    }
    for (int32_t first : t->stressSets)
        crc = DVKCrc_AddValue(static_cast<uint32_t>(first), 4, crc);
    crc = DVKCrc_AddArray(t->stressSetSizes, 4, kPGTreeStressSets, crc);
    crc = DVKCrc_AddValue(static_cast<uint32_t>(t->stressStringCount), 4, crc);
    return addArray(crc, t->stressStrings, 2, t->stressStringCount);
}

// ---- letters ---------------------------------------------------------------

// Letter codes of one grapheme id appended at codes + n; the count added.
int32_t appendGrapheme(const PGTree* t, uint16_t id, uint16_t* codes)
{
    const uint16_t* list = nullptr;
    int32_t length = 0;
    LMRewrite_GetRewritesForId(t->graphemeRewrite, id, &list, &length);
    if (length > 0)
        std::memcpy(codes, list, static_cast<size_t>(length) * 2);
    return length;
}

int32_t characterCodes(const PGTree* t, uint16_t c, uint16_t* codes)
{
    const uint16_t name[] = {c, 0};
    const uint16_t id = LMSymbolTableU_FindId(t->graphemes, name);
    if (id != kLMSymbolNone)
        return appendGrapheme(t, id, codes);
    if (!t->tripleCodes || c < kHangulFirst || c > kHangulLast ||
        DVKUnicode_GetScript(c, kDVKScriptNone) != kDVKScriptHangul)
        return 0;
    const int32_t s = c - kHangulFirst;
    int32_t n = appendGrapheme(t, static_cast<uint16_t>(t->leadBase + s / 588), codes);
    n += appendGrapheme(t, static_cast<uint16_t>(t->vowelBase + (s % 588) / 28), codes + n);
    n += appendGrapheme(t, static_cast<uint16_t>(t->tailBase + s % 28), codes + n);
    return n;
}

// One chunk of the text: a run of non-letters below U+0100 goes whole to
// the direct rewrite, anything else to the tree.
struct Chunk {
    uint16_t* codes;
    int32_t length;
    int32_t* marks;      // stress positions ('^', class 6), as letter indexes
    int32_t markCount;
    bool direct;
};

bool isDirectCharacter(uint16_t c)
{
    return c < 0x100 && !DVKUnicode_IsAlpha(c);
}

// Reads the chunk starting at *at; false at the end of the text.
bool PG_TextToLetterCodes_TRE(const PGTree* t, const uint16_t* text, int32_t* at,
                              int32_t wordClass, bool upperEnds, Chunk* chunk)
{
    chunk->length = 0;
    chunk->markCount = 0;
    if (text[*at] == 0)
        return false;
    bool started = false;
    while (text[*at] != 0) {
        const uint16_t c = text[*at];
        if (wordClass == 6 && c == kStressMark) {
            chunk->marks[chunk->markCount++] = chunk->length;
            ++*at;
            continue;
        }
        const bool direct = isDirectCharacter(c);
        if (started && (direct != chunk->direct || (upperEnds && DVKUnicode_IsUpper(c))))
            break;
        ++*at;
        const int32_t n = characterCodes(t, c, chunk->codes + chunk->length);
        if (n == 0)
            break;   // consumed, and the chunk ends
        if (!started)
            chunk->direct = direct;
        started = true;
        chunk->length += n;
    }
    return true;
}

// Starts of the nuclei of codes; their number.
int32_t PG_FindNuclei(const PGTree* t, const uint16_t* codes, int32_t n, int32_t* starts)
{
    const int32_t letters = LMSymbolTableU_GetCount(t->letters);
    int32_t count = 0;
    for (int32_t i = 0; i < n;) {
        const uint16_t c = codes[i];
        int32_t longest = 0;
        if (c <= letters && t->nucleusIndex[c] != kNone) {
            for (const uint16_t* p = t->nucleusPatterns + t->nucleusIndex[c]; *p != 0;) {
                int32_t k = 0;
                bool matches = true;
                for (; p[k] != 0; ++k)
                    matches = matches && i + k < n && codes[i + k] == p[k];
                if (matches)
                    longest = std::max(longest, k);
                p += k + 1;
            }
        }
        if (longest > 0) {
            starts[count++] = i;
            i += longest;
        } else {
            ++i;
        }
    }
    return count;
}

int32_t codeLength(const uint16_t* s)
{
    int32_t n = 0;
    while (s[n] != 0)
        ++n;
    return n;
}

// First index where s occurs in codes, or -1.
int32_t findString(const uint16_t* codes, int32_t n, const uint16_t* s, int32_t m)
{
    for (int32_t i = 0; i + m <= n; ++i)
        if (std::memcmp(codes + i, s, static_cast<size_t>(m) * 2) == 0)
            return i;
    return -1;
}

// Where the separator goes in codes (its index before insertion), or -1.
int32_t PG_ApplyStressRules(const PGTree* t, const uint16_t* codes, int32_t n, int32_t* starts)
{
    const int32_t nuclei = PG_FindNuclei(t, codes, n, starts);
    if (nuclei == 0)
        return -1;
    int32_t p = t->defaultStress[nuclei <= t->defaultStressCount ? nuclei : 0];
    if (nuclei < kPGTreeStressSets && t->stressRules != nullptr && t->stressSets[nuclei] >= 0) {
        const int32_t first = t->stressSets[nuclei];
        for (int32_t r = first; r < first + t->stressSetSizes[nuclei]; ++r) {
            const PGStressRule& rule = t->stressRules[r];
            const uint16_t* s = t->stressStrings + rule.stringOffset;
            const int32_t m = codeLength(s);
            if (m > n)
                continue;
            bool matched = false;
            int32_t position = rule.position;
            if (rule.kind == -1) {
                matched = std::memcmp(codes, s, static_cast<size_t>(m) * 2) == 0;
            } else if (rule.kind == 1) {
                matched = std::memcmp(codes + n - m, s, static_cast<size_t>(m) * 2) == 0;
            } else {
                const int32_t at = findString(codes, n, s, m);
                matched = at >= 0;
                if (matched && position == 0) {
                    matched = false;
                    for (int32_t k = 0; k < nuclei && !matched; ++k)
                        if (starts[k] == at) {
                            position = k + 1;
                            matched = true;
                        }
                }
            }
            if (matched) {
                p = position;
                break;
            }
        }
    }
    if (p == 0)
        return 0;
    if (p > nuclei)
        p = nuclei;
    if (p < -nuclei)
        p = -nuclei;
    return p > 0 ? starts[p - 1] : starts[nuclei + p];
}

bool inSortedList(const uint16_t* list, int32_t n, uint16_t c)
{
    return list != nullptr && std::binary_search(list, list + n, c);
}

// Whether codes[from, to) spell a word of one of the compound tables.
bool isCompoundPart(const PGTree* t, const uint16_t* codes, int32_t from, int32_t to,
                    uint16_t* name, int32_t room)
{
    int32_t length = 0;
    for (int32_t i = from; i < to; ++i) {
        const uint16_t* letter = LMSymbolTableU_GetName(t->letters, codes[i]);
        if (letter == nullptr)
            return false;
        const int32_t m = DVKUnicode_Length(letter);
        if (length + m >= room)
            return false;
        std::memcpy(name + length, letter, static_cast<size_t>(m) * 2);
        length += m;
    }
    name[length] = 0;
    for (const LMSymbolTableU* table : t->compoundTables) {
        const uint16_t id = LMSymbolTableU_FindId(table, name);
        if (id != kLMSymbolNone && id != 0)
            return true;
    }
    return false;
}

// Splits codes into the fewest compound parts (then the longest first
// part); ends receives each part's end. The number of parts (1: no split).
int32_t PG_SplitCompound(const PGTree* t, const uint16_t* codes, int32_t n, int32_t* ends)
{
    ends[0] = n;
    const auto maxLength = static_cast<int32_t>(BrevitParam_Word(kBrevitParamCompoundMaxLength));
    const auto minPart = static_cast<int32_t>(BrevitParam_Word(kBrevitParamCompoundMinPart));
    const auto maxPart = static_cast<int32_t>(BrevitParam_Word(kBrevitParamCompoundLimit3));
    if (t->firstListCount <= 0 || n >= kCompoundMaxLetters || maxLength <= 0 || minPart <= 0 ||
        maxPart <= 0 || n > maxLength)
        return 1;
    const uint32_t mark = DVKTempMem_GetMark();
    int32_t nameRoom = 1;
    for (int32_t i = 0; i < n; ++i) {
        const uint16_t* letter = LMSymbolTableU_GetName(t->letters, codes[i]);
        nameRoom += letter != nullptr ? DVKUnicode_Length(letter) : 0;
    }
    auto* name = static_cast<uint16_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(nameRoom) * 2));
    // fewest[i]: fewest parts from i to the end (n + 1: none).
    auto* fewest = static_cast<int32_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(n + 1) * 4));
    auto* next = static_cast<int32_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(n + 1) * 4));
    fewest[n] = 0;
    for (int32_t i = n - 1; i >= 0; --i) {
        fewest[i] = n + 1;
        for (int32_t j = std::min(n, i + maxPart); j >= i + minPart; --j) {
            const bool cut = j == n || (inSortedList(t->firstList, t->firstListCount, codes[j - 1]) &&
                                        inSortedList(t->secondList, t->secondListCount, codes[j]));
            if (!cut || fewest[j] + 1 >= fewest[i] || !isCompoundPart(t, codes, i, j, name, nameRoom))
                continue;
            fewest[i] = fewest[j] + 1;
            next[i] = j;
        }
    }
    int32_t parts = 1;
    if (fewest[0] <= n) {
        parts = 0;
        for (int32_t i = 0; i < n; i = next[i])
            ends[parts++] = next[i];
    }
    DVKTempMem_ReleaseToMark(mark);
    return parts;
}

// ---- hypotheses --------------------------------------------------------------

// A hypothesis is a chain of appended phoneme runs, newest first.
struct Node {
    const Node* parent;
    const uint16_t* phonemes;
    int32_t length;
};

struct Hyp {
    const Node* node;
    int32_t cost;
    int32_t length;   // phonemes in the chain
};

class Hypotheses {
public:
    explicit Hypotheses(int32_t most) : m_most(most) { m_list[0] = {nullptr, 0, 0}; }

    int32_t count() const { return m_count; }
    const Hyp& at(int32_t i) const { return m_list[i]; }

    // Appends a run to every hypothesis.
    void appendToAll(const uint16_t* phonemes, int32_t length)
    {
        if (length <= 0)
            return;
        for (int32_t i = 0; i < m_count; ++i)
            m_list[i] = extend(m_list[i], phonemes, length, 0);
    }

    // One letter's alternatives (best first): every hypothesis takes the
    // first; the others extend the hypotheses from before the letter into the
    // list sorted by cost, holding at most most + 1.
    void alternatives(const LMRewrite* rewrite, const uint16_t* values, const uint8_t* costs,
                      int32_t k)
    {
        Hyp before[kPGTreeMaxProns + 1];
        const int32_t n = m_count;
        std::copy(m_list, m_list + n, before);
        for (int32_t i = 0; i < n; ++i)
            m_list[i] = extend(before[i], rewrite, values[0], costs[0]);
        for (int32_t a = 1; a < k; ++a)
            for (int32_t i = 0; i < n; ++i) {
                const int32_t cost = before[i].cost + costs[a];
                int32_t at = m_count;
                while (at > 0 && m_list[at - 1].cost > cost)
                    --at;
                if (m_count == m_most + 1 && at == m_count)
                    return;
                std::copy_backward(m_list + at, m_list + std::min(m_count, m_most), m_list + std::min(m_count, m_most) + 1);
                m_list[at] = extend(before[i], rewrite, values[a], costs[a]);
                m_count = std::min(m_count + 1, m_most + 1);
            }
    }

private:
    Hyp extend(const Hyp& from, const uint16_t* phonemes, int32_t length, int32_t cost)
    {
        Node* node = newNode();
        *node = {from.node, phonemes, length};
        return {node, from.cost + cost, from.length + length};
    }
    Hyp extend(const Hyp& from, const LMRewrite* rewrite, uint16_t leaf, int32_t cost)
    {
        const uint16_t* list = nullptr;
        int32_t length = 0;
        LMRewrite_GetRewritesForId(rewrite, leaf, &list, &length);
        return extend(from, list, length, cost);
    }
    Node* newNode()
    {
        if (m_free == 0) {
            m_block = static_cast<Node*>(DVKTempMem_Malloc(kBlock * sizeof(Node)));
            m_free = kBlock;
        }
        return &m_block[kBlock - m_free--];
    }

    static constexpr int32_t kBlock = 256;
    int32_t m_most;
    Hyp m_list[kPGTreeMaxProns + 2];
    int32_t m_count = 1;
    Node* m_block = nullptr;
    int32_t m_free = 0;
};

// A tree chunk (or compound part) with its separator: each letter asks the
// tree with the codes around it (the letter at position width / 2), 0 past
// either end. Only the positions the tree reads are filled.
void generateLetters(const PGTree* t, const uint16_t* codes, int32_t n, Hypotheses* hyps)
{
    const int64_t half = t->contextWidth / 2;
    const uint16_t* stress = &t->base.common.stressId;
    uint16_t context[128] = {};
    for (int32_t i = 0; i < n; ++i) {
        if (codes[i] == t->separator) {
            hyps->appendToAll(stress, 1);
            continue;
        }
        for (int32_t p = 0; p < t->contextReach; ++p) {
            const int64_t j = i - half + p;
            context[p] = j >= 0 && j < n ? codes[j] : 0;
        }
        uint16_t values[kPGTreeMaxAlternatives];
        uint8_t costs[kPGTreeMaxAlternatives];
        const int32_t k = LMDTree_GetLeaf(t->tree, context, values, costs, kPGTreeMaxAlternatives);
        if (k > 0)
            hyps->alternatives(t->base.common.mainRewrite, values, costs, k);
    }
}

void generateDirect(const PGTree* t, const Chunk& chunk, int32_t wordClass, Hypotheses* hyps)
{
    for (int32_t i = 0; i < chunk.length; ++i) {
        const uint16_t c = chunk.codes[i];
        if (c == kNone || (wordClass == 6 && c == t->separator))
            continue;
        const uint16_t* list = nullptr;
        int32_t length = 0;
        LMRewrite_GetRewritesForId(t->directRewrite, c, &list, &length);
        hyps->appendToAll(list, length);
    }
}

// A tree chunk: compound parts, each with its stress position, through the tree.
void generateChunk(const PGTree* t, const Chunk& chunk, int32_t wordClass, uint16_t* work,
                   int32_t* scratch, Hypotheses* hyps)
{
    int32_t* ends = scratch;
    int32_t* starts = scratch + chunk.length + 1;
    const int32_t parts = PG_SplitCompound(t, chunk.codes, chunk.length, ends);
    int32_t mark = 0;
    for (int32_t part = 0, from = 0; part < parts; from = ends[part++]) {
        const int32_t to = ends[part];
        int32_t n = 0;
        if (wordClass == 6) {
            for (int32_t i = from; i < to; ++i) {
                for (; mark < chunk.markCount && chunk.marks[mark] == i; ++mark)
                    work[n++] = t->separator;
                work[n++] = chunk.codes[i];
            }
            for (; part == parts - 1 && mark < chunk.markCount; ++mark)
                work[n++] = t->separator;
        } else {
            const int32_t at = t->defaultStress != nullptr
                                   ? PG_ApplyStressRules(t, chunk.codes + from, to - from, starts)
                                   : -1;
            for (int32_t i = from; i < to; ++i) {
                if (i - from == at)
                    work[n++] = t->separator;
                work[n++] = chunk.codes[i];
            }
        }
        generateLetters(t, work, n, hyps);
    }
}

// ---- output ------------------------------------------------------------------

// The phonemes of a hypothesis without ids 0 into out; their number.
int32_t collect(const Hyp& hyp, uint16_t* out)
{
    int32_t at = hyp.length;
    for (const Node* node = hyp.node; node != nullptr; node = node->parent)
        for (int32_t k = node->length - 1; k >= 0; --k)
            out[--at] = node->phonemes[k];
    int32_t n = 0;
    for (int32_t i = 0; i < hyp.length; ++i)
        if (out[i] != 0)
            out[n++] = out[i];
    return n;
}

int32_t PG_TextToMasterPron_TRE(const PG* generator, const uint16_t* text, int32_t wordClass,
                                uint16_t* output, int32_t room, int32_t* scores, int32_t most,
                                int32_t* needed)
{
    const auto* t = reinterpret_cast<const PGTree*>(generator);
    const PGCommon& common = t->base.common;
    if (wordClass < 3 || wordClass > 6)
        wordClass = 3;
    most = std::min(most, kPGTreeMaxProns);
    output[0] = kPGPronEnd;
    if (text[0] == 0 || most < 1)
        return 0;
    int32_t length = 0;
    bool lower = false;
    bool upper = false;
    for (; text[length] != 0; ++length) {
        lower = lower || DVKUnicode_IsLower(text[length]);
        upper = upper || DVKUnicode_IsUpper(text[length]);
    }
    const bool upperEnds = wordClass == 4 || (wordClass == 5 && lower && upper);

    const uint32_t mark = DVKTempMem_GetMark();
    const auto codeRoom =
        static_cast<uint32_t>(int64_t{length} * std::max(t->longestCharacter, 1) + length + 2);
    Chunk chunk{};
    chunk.codes = static_cast<uint16_t*>(DVKTempMem_Malloc(codeRoom * 2));
    chunk.marks = static_cast<int32_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(length + 1) * 4));
    auto* work = static_cast<uint16_t*>(DVKTempMem_Malloc(codeRoom * 4));
    auto* scratch = static_cast<int32_t*>(DVKTempMem_Malloc(codeRoom * 8 + 8));
    Hypotheses hyps(most);
    for (int32_t at = 0; PG_TextToLetterCodes_TRE(t, text, &at, wordClass, upperEnds, &chunk);) {
        if (chunk.length == 0)
            continue;
        if (chunk.direct)
            generateDirect(t, chunk, wordClass, &hyps);
        else
            generateChunk(t, chunk, wordClass, work, scratch, &hyps);
    }

    // Collect: ids 0 removed; empty, stress-only and repeated prons dropped.
    int32_t longest = 0;
    for (int32_t h = 0; h < hyps.count(); ++h)
        longest = std::max(longest, hyps.at(h).length);
    const uint32_t stride = static_cast<uint32_t>(longest) + 1;
    auto* prons = static_cast<uint16_t*>(DVKTempMem_Malloc(stride * (kPGTreeMaxProns + 2) * 2));
    int32_t lengths[kPGTreeMaxProns + 2];
    int32_t costs[kPGTreeMaxProns + 2];
    int32_t kept = 0;
    for (int32_t h = 0; h < hyps.count() && kept < most; ++h) {
        uint16_t* p = prons + stride * kept;
        const int32_t n = collect(hyps.at(h), p);
        bool onlyStress = true;
        for (int32_t i = 0; i < n && onlyStress; ++i)
            onlyStress = p[i] == common.stressId;
        bool repeated = false;
        for (int32_t k = 0; k < kept && !repeated; ++k)
            repeated = lengths[k] == n && std::memcmp(prons + stride * k, p, static_cast<size_t>(n) * 2) == 0;
        if (n == 0 || onlyStress || repeated)
            continue;
        lengths[kept] = n;
        costs[kept++] = hyps.at(h).cost;
    }

    // Write what fits; each pron reserves a syllable mark per vowel (at least one).
    int32_t used = 0;       // entries written
    int32_t reserved = 0;   // entries written and their syllable marks
    int32_t written = 0;
    int64_t total = 0;
    bool short_ = false;
    for (int32_t k = 0; k < kept; ++k) {
        const uint16_t* p = prons + stride * k;
        int32_t need = lengths[k] + 1;
        if (common.ruleCount > 0) {
            int32_t vowels = 0;
            for (int32_t i = 0; i < lengths[k]; ++i)
                vowels += PG_IsVowel(&common, p[i]) ? 1 : 0;
            need += std::max(1, vowels);
        }
        total += need;
        if (reserved + need > room) {
            short_ = true;
            continue;
        }
        reserved += need;
        std::memcpy(output + used, p, static_cast<size_t>(lengths[k]) * 2);
        output[used + lengths[k]] = kPGPronEnd;
        used += lengths[k] + 1;
        if (scores != nullptr)
            scores[written] = costs[k];
        ++written;
    }
    if (needed != nullptr)
        *needed = short_ ? static_cast<int32_t>(total) : 0;
    if (written > 0 && common.classRewrite != nullptr)
        written = PG_PlaceStress(&common, output, written, scores);
    if (written > 0 && common.ruleCount > 0)
        written = PG_MarkSyllables(&common, output, written);
    if (written == 0)
        output[0] = kPGPronEnd;
    DVKTempMem_ReleaseToMark(mark);
    return written;
}

} // namespace

PG* PGTree_Load(BinFileReader* reader)
{
    auto* t = static_cast<PGTree*>(DVKMem_Calloc(sizeof(PGTree)));
    if (t == nullptr)
        return nullptr;
    t->base.free = freeTree;
    t->base.textToMasterPron = PG_TextToMasterPron_TRE;
    t->base.computeCRC = PG_ComputeCRC_TRE;
    if (!PG_ReadCommon(reader, &t->base.common) || !readTree(reader, t)) {
        freeTree(&t->base);
        DVKMem_Free(t);
        return nullptr;
    }
    return &t->base;
}
