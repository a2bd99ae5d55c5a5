#include "core/brevit/lexicon/pron_generator.h"

#include "core/brevit/lexicon/pron_generator_chinese.h"
#include "core/brevit/lexicon/pron_generator_japanese.h"
#include "core/brevit/lexicon/pron_generator_korean.h"
#include "core/brevit/lexicon/pron_generator_script.h"
#include "core/brevit/lexicon/pron_generator_selector.h"
#include "core/brevit/lexicon/pron_generator_tree.h"
#include "core/brevit/runtime/dvk_char_encoding.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/runtime/dvk_unicode_width.h"
#include "core/brevit/search/table_read.h"

#include <algorithm>
#include <cstring>

namespace {

int32_t pronLength(const uint16_t* pron)
{
    int32_t n = 0;
    while (pron[n] != kPGPronEnd)
        ++n;
    return n;
}

bool readLow16(BinFileReader* reader, uint16_t* value)
{
    return BinFileReader_ReadUnsignedShort(reader, value) == 1;
}

// The rule symbols are exactly ruleCount lists, each ended by 0xFFFF.
bool syllableRulesValid(const PGCommon* common)
{
    if (common->ruleCount == 0)
        return true;
    if (common->classRewrite == nullptr || common->ruleSymbolCount < 1 ||
        common->ruleSymbols[common->ruleSymbolCount - 1] != kPGPronEnd)
        return false;
    int32_t lists = 0;
    for (int32_t i = 0; i < common->ruleSymbolCount; ++i)
        lists += common->ruleSymbols[i] == kPGPronEnd ? 1 : 0;
    return lists == common->ruleCount;
}

} // namespace

int32_t PG_ReadCommon(BinFileReader* reader, PGCommon* common)
{
    int32_t phoneRewrite = 0;
    bool ok = BinFileReader_ReadInt(reader, &common->scale) &&
              BinFileReader_ReadInt(reader, &common->headerValue) &&
              readLow16(reader, &common->stressId) && readLow16(reader, &common->syllableId) &&
              BinFileReader_ReadUnsignedInt(reader, &common->thirdValue) &&
              readLow16(reader, &common->vowelClass) && readLow16(reader, &common->noSplitClass) &&
              readLow16(reader, &common->ruleWildcard) &&
              BinFileReader_ReadInt(reader, &common->ruleCount) &&
              BinFileReader_ReadInt(reader, &common->ruleSymbolCount) &&
              BinFileReader_ReadBoolean(reader, &phoneRewrite) && common->ruleCount >= 0 &&
              common->ruleSymbolCount >= 0;
    if (ok) {
        common->mainRewrite = LMRewrite_Read(reader);
        ok = common->mainRewrite != nullptr;
    }
    if (ok && common->vowelClass != 0) {
        common->classRewrite = LMRewrite_Read(reader);
        ok = common->classRewrite != nullptr;
    }
    if (ok && common->ruleCount > 0) {
        void* lengths = nullptr;
        void* symbols = nullptr;
        ok = TableRead_Array(reader, 1, common->ruleCount, true, &lengths);
        common->ruleLengths = static_cast<uint8_t*>(lengths);
        ok = ok && TableRead_Array(reader, 2, common->ruleSymbolCount, true, &symbols);
        common->ruleSymbols = static_cast<uint16_t*>(symbols);
    }
    if (ok && phoneRewrite) {
        common->phoneRewrite = PhoneRewrite_Read(reader);
        ok = common->phoneRewrite != nullptr;
    }
    return ok && syllableRulesValid(common) ? 1 : 0;
}

void PG_FreeCommon(PGCommon* common)
{
    PhoneRewrite_Delete(common->phoneRewrite);
    DVKMem_Free(common->ruleSymbols);
    DVKMem_Free(common->ruleLengths);
    LMRewrite_Delete(common->classRewrite);
    LMRewrite_Delete(common->mainRewrite);
    std::memset(common, 0, sizeof(*common));
}

uint32_t PG_ComputeCommonCRC(const PGCommon* common)
{
    uint32_t crc = DVKCrc_AddValue(static_cast<uint32_t>(common->scale), 4, 0xFFFFFFFFu);
    crc = DVKCrc_AddValue(static_cast<uint32_t>(common->headerValue), 4, crc);
    crc = DVKCrc_AddValue(common->stressId, 2, crc);
    crc = DVKCrc_AddValue(common->syllableId, 2, crc);
    crc = DVKCrc_AddValue(common->thirdValue, 4, crc);
    crc = DVKCrc_AddValue(common->vowelClass, 2, crc);
    crc = DVKCrc_AddValue(common->noSplitClass, 2, crc);
    crc = DVKCrc_AddValue(common->ruleWildcard, 2, crc);
    crc = DVKCrc_AddValue(static_cast<uint32_t>(common->ruleCount), 4, crc);
    crc = DVKCrc_AddValue(static_cast<uint32_t>(common->ruleSymbolCount), 4, crc);
    crc = DVKCrc_AddValue(LMRewrite_ComputeCRC(common->mainRewrite), 4, crc);
    if (common->classRewrite != nullptr)
        crc = DVKCrc_AddValue(LMRewrite_ComputeCRC(common->classRewrite), 4, crc);
    if (common->ruleCount > 0) {
        crc = DVKCrc_AddValue(
            DVKCrc_AddArray(common->ruleLengths, 1, common->ruleCount, 0xFFFFFFFFu), 4, crc);
        crc = DVKCrc_AddValue(
            DVKCrc_AddArray(common->ruleSymbols, 2, common->ruleSymbolCount, 0xFFFFFFFFu), 4, crc);
    }
    if (common->phoneRewrite != nullptr)
        crc = DVKCrc_AddValue(PhoneRewrite_ComputeCRC(common->phoneRewrite), 4, crc);
    return crc;
}

PG* PG_Load(BinFileReader* reader)
{
    return PG_LoadNested(reader, 1);
}

PG* PG_LoadNested(BinFileReader* reader, int32_t depth)
{
    int32_t type = -1;
    if (depth > kPGMaxNesting || !BinFileReader_ReadInt(reader, &type))
        return nullptr;
    switch (type) {
    case kPGTypeTree: return PGTree_Load(reader);
    case kPGTypeKorean: return PGKorean_Load(reader);
    case kPGTypeChinese: return PGChinese_Load(reader);
    case kPGTypeJapanese: return PGJapanese_Load(reader);
    case kPGTypeSelector: return PGSelector_Load(reader, depth);
    case kPGTypeScriptSplit: return PGScriptSplit_Load(reader, depth);
    default: return nullptr;
    }
}

PG* PG_LoadFromBinFile(DVKTar* tar, const char* prefix)
{
    return TableRead_LoadSubFile(tar, kPGSubFileTag, prefix, PG_Load);
}

int32_t PG_TextToMasterPron(const PG* generator, const uint16_t* text, int32_t wordClass,
                            uint16_t* output, int32_t room, int32_t* scores, int32_t most,
                            int32_t* needed)
{
    if (needed != nullptr)
        *needed = 0;
    if (room < 1)
        return 0;
    output[0] = kPGPronEnd;
    if (text == nullptr || text[0] == 0)
        return 0;
    int32_t length = 0;
    while (text[length] != 0)
        ++length;
    const uint32_t mark = DVKTempMem_GetMark();
    auto* normal = static_cast<uint16_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(length + 1) * 2));
    for (int32_t i = 0; i <= length; ++i)
        normal[i] = text[i] != 0 ? DVKUnicode_NormalizeWidth(text[i]) : 0;
    int32_t count =
        generator->textToMasterPron(generator, normal, wordClass, output, room, scores, most, needed);
    if (count > 0 && generator->common.phoneRewrite != nullptr)
        count = PG_RewriteProns(generator, count, output, room);
    DVKTempMem_ReleaseToMark(mark);
    return count;
}

int32_t PG_TextToMasterPronFromEncoded(const PG* generator, const char* text, int32_t encoding,
                                       int32_t wordClass, uint16_t* output, int32_t room,
                                       int32_t* scores, int32_t most, int32_t* needed)
{
    if (needed != nullptr)
        *needed = 0;
    if (room < 1)
        return 0;
    output[0] = kPGPronEnd;
    const size_t bytes = std::strlen(text);
    if (bytes >= 0x3FFFFFFF)
        return 0;
    const uint32_t mark = DVKTempMem_GetMark();
    const auto units = static_cast<int32_t>(bytes + 1);
    auto* decoded = static_cast<uint16_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(units) * 2));
    int32_t count = 0;
    if (CharEncoding_DecodeToUnicode(static_cast<uint32_t>(encoding), text, units, decoded))
        count = PG_TextToMasterPron(generator, decoded, wordClass, output, room, scores, most,
                                    needed);
    DVKTempMem_ReleaseToMark(mark);
    return count;
}

uint32_t PG_ComputeCRC(const PG* generator)
{
    if (generator->computeCRC == nullptr)
        return 0xFFFFFFFFu;
    return generator->computeCRC(generator);
}

void PG_Delete(PG* generator)
{
    if (generator == nullptr || generator->owner != 0)
        return;
    if (generator->free != nullptr)
        generator->free(generator);
    DVKMem_Free(generator);
}

int32_t PG_GetScale(const PG* generator)
{
    return generator->common.scale;
}

uint16_t PG_GetStressPhonemeId(const PG* generator)
{
    return generator->common.stressId;
}

uint16_t PG_GetSyllablePhonemeId(const PG* generator)
{
    return generator->common.syllableId;
}

uint32_t PG_GetHeaderValue(const PG* generator)
{
    return generator->common.thirdValue;
}

int32_t PG_RewriteProns(const PG* generator, int32_t count, uint16_t* buffer, int32_t room)
{
    const PhoneRewrite* rules = generator->common.phoneRewrite;
    int64_t scratchSize = 0;
    const uint16_t* pron = buffer;
    for (int32_t k = 0; k < count; ++k) {
        const int32_t n = pronLength(pron);
        scratchSize += PhoneRewrite_GetMaxOutputLength(rules, n) + 1;
        pron += n + 1;
    }
    const uint32_t mark = DVKTempMem_GetMark();
    auto* scratch = static_cast<uint16_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(scratchSize) * 2));
    int32_t used = 0;
    int32_t kept = 0;
    pron = buffer;
    for (int32_t k = 0; k < count; ++k) {
        const int32_t n = pronLength(pron);
        const int32_t length = PhoneRewrite_Apply(rules, n, pron, PhoneRewrite_GetMaxOutputLength(rules, n),
                                                  scratch + used);
        // Kept while each result is something and the whole still fits the room.
        if (length < 1 || used + length + 1 > room)
            break;
        scratch[used + length] = kPGPronEnd;
        used += length + 1;
        ++kept;
        pron += n + 1;
    }
    if (kept == 0)
        buffer[0] = kPGPronEnd;
    else
        std::memcpy(buffer, scratch, static_cast<size_t>(used) * 2);
    DVKTempMem_ReleaseToMark(mark);
    return kept;
}

bool PG_IsInClass(const PGCommon* common, uint16_t classId, uint16_t phoneme)
{
    const uint16_t* list = nullptr;
    int32_t length = 0;
    LMRewrite_GetRewritesForId(common->classRewrite, classId, &list, &length);
    for (int32_t i = 0; i < length; ++i)
        if (list[i] == phoneme)
            return true;
    return false;
}

bool PG_IsVowel(const PGCommon* common, uint16_t phoneme)
{
    return phoneme != common->stressId && phoneme != common->syllableId &&
           PG_IsInClass(common, common->vowelClass, phoneme);
}

int32_t PG_PlaceStress(const PGCommon* common, uint16_t* buffer, int32_t count, int32_t* scores)
{
    uint16_t* write = buffer;
    const uint16_t* read = buffer;
    int32_t left = 0;
    for (int32_t k = 0; k < count; ++k) {
        uint16_t* start = write;
        bool pending = false;
        for (; *read != kPGPronEnd; ++read) {
            if (*read == common->stressId) {
                pending = true;
                continue;
            }
            if (pending && PG_IsVowel(common, *read)) {
                *write++ = common->stressId;
                pending = false;
            }
            *write++ = *read;
        }
        ++read;
        if (write == start)
            continue;   // left empty: removed with its score
        *write++ = kPGPronEnd;
        if (scores != nullptr)
            scores[left] = scores[k];
        ++left;
    }
    if (left == 0)
        buffer[0] = kPGPronEnd;
    return left;
}

namespace {

// Where the syllable of the vowel at v starts in pron: at v, or at a stress
// mark just before it.
int32_t syllableStart(const PGCommon* common, const uint16_t* pron, int32_t v)
{
    return v > 0 && pron[v - 1] == common->stressId ? v - 1 : v;
}

// Whether rule r matches the phonemes going back from before start without
// reaching p.
bool ruleMatches(const PGCommon* common, const uint16_t* rule, const uint16_t* pron, int32_t p,
                 int32_t start)
{
    int32_t at = start - 1;
    for (const uint16_t* id = rule; *id != kPGPronEnd && *id != common->ruleWildcard; ++id, --at)
        if (at <= p || !PG_IsInClass(common, *id, pron[at]))
            return false;
    return true;
}

// Boundaries of one pron (length n, its final mark in place), as positions
// before which a mark goes, from the last vowel back.
int32_t syllableBoundaries(const PGCommon* common, const uint16_t* pron, int32_t n,
                           int32_t* boundaries)
{
    int32_t count = 0;
    int32_t v = n - 1;
    while (v >= 0 && !PG_IsVowel(common, pron[v]))
        --v;
    while (v >= 0) {
        int32_t p = v - 1;
        while (p >= 0 && !PG_IsVowel(common, pron[p]))
            --p;
        if (p < 0)
            break;
        bool split = true;
        for (int32_t i = p + 1; i < v && split; ++i)
            split = !PG_IsInClass(common, common->noSplitClass, pron[i]);
        if (split) {
            const int32_t start = syllableStart(common, pron, v);
            int32_t boundary = start;
            const uint16_t* rule = common->ruleSymbols;
            for (int32_t r = 0; r < common->ruleCount; ++r) {
                // The boundary must fall after the previous vowel: a rule
                // ending early at its wildcard may reach further back than
                // the phonemes it matched, and a stress mark before V is no
                // phoneme between the two.
                const int32_t length = common->ruleLengths[r];
                if (start - length > p && ruleMatches(common, rule, pron, p, start)) {
                    boundary = start - length;
                    break;
                }
                while (*rule != kPGPronEnd)
                    ++rule;
                ++rule;
            }
            boundaries[count++] = boundary;
        }
        v = p;
    }
    return count;
}

} // namespace

int32_t PG_MarkSyllables(const PGCommon* common, uint16_t* buffer, int32_t count)
{
    // The marked prons are built in scratch, then copied back.
    int64_t size = 0;
    const uint16_t* pron = buffer;
    for (int32_t k = 0; k < count; ++k) {
        const int32_t n = pronLength(pron);
        size += 2 * int64_t{n} + 2;
        pron += n + 1;
    }
    const uint32_t mark = DVKTempMem_GetMark();
    auto* out = static_cast<uint16_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(size) * 2));
    auto* work = static_cast<uint16_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(size) * 2));
    auto* boundaries = static_cast<int32_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(size) * 4));
    int32_t used = 0;
    pron = buffer;
    for (int32_t k = 0; k < count; ++k) {
        int32_t n = pronLength(pron);
        std::memcpy(work, pron, static_cast<size_t>(n) * 2);
        pron += n + 1;
        if (n == 0 || work[n - 1] != common->syllableId)
            work[n++] = common->syllableId;
        const int32_t marks = syllableBoundaries(common, work, n, boundaries);
        // Every mark is written, whatever order the boundaries came in.
        std::sort(boundaries, boundaries + marks);
        int32_t next = 0;
        for (int32_t i = 0; i < n; ++i) {
            while (next < marks && boundaries[next] == i) {
                out[used++] = common->syllableId;
                ++next;
            }
            out[used++] = work[i];
        }
        out[used++] = kPGPronEnd;
    }
    std::memcpy(buffer, out, static_cast<size_t>(used) * 2);
    DVKTempMem_ReleaseToMark(mark);
    return count;
}
