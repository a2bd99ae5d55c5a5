#include "core/brevit/lexicon/pron_generator_chinese.h"

#include "core/brevit/lexicon/pron_generator_tables.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/runtime/dvk_unicode_str.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint16_t kTransparent = 0xFFFF;

void freeChinese(PG* generator)
{
    auto* c = reinterpret_cast<PGChinese*>(generator);
    DVKMem_Free(c->toneChanges);
    DVKMem_Free(c->pairReadings);
    DVKMem_Free(c->pairKeys);
    DVKMem_Free(c->specialReadings);
    DVKMem_Free(c->specialKeys);
    DVKMem_Free(c->readings);
    DVKMem_Free(c->keys);
    PG_FreeCommon(&c->base.common);
}

bool readLow16(BinFileReader* reader, uint16_t* value)
{
    return BinFileReader_ReadUnsignedShort(reader, value) == 1;
}

bool readChinese(BinFileReader* reader, PGChinese* c)
{
    const int32_t toneCount = c->base.common.headerValue;
    if (!readLow16(reader, &c->first) || !readLow16(reader, &c->last) ||
        !BinFileReader_ReadInt(reader, &c->keyCount) ||
        !BinFileReader_ReadInt(reader, &c->specialCount) ||
        !BinFileReader_ReadInt(reader, &c->pairCount) || c->first > c->last || c->keyCount < 0 ||
        c->specialCount < 0 || c->pairCount < 0 || toneCount < 0)
        return false;
    const int64_t readingCount = c->keyCount > 0 ? c->keyCount : int64_t{c->last} - c->first + 1;
    return PG_ReadCodeArray(reader, c->keyCount, &c->keys) &&
           PG_ReadCodeArray(reader, readingCount, &c->readings) &&
           PG_ReadCodeArray(reader, c->specialCount, &c->specialKeys) &&
           PG_ReadCodeArray(reader, c->specialCount, &c->specialReadings) &&
           PG_ReadCodeArray(reader, 2 * int64_t{c->pairCount}, &c->pairKeys) &&
           PG_ReadCodeArray(reader, 2 * int64_t{c->pairCount}, &c->pairReadings) &&
           PG_ReadCodeArray(reader, toneCount, &c->toneChanges) &&
           PG_KeysAscending(c->keys, c->keyCount, 1) &&
           PG_KeysAscending(c->specialKeys, c->specialCount, 1) &&
           PG_KeysAscending(c->pairKeys, c->pairCount, 2);
}

uint16_t ordinaryReading(const PGChinese* c, uint16_t ch)
{
    if (ch < c->first || ch > c->last)
        return 0;
    if (c->keyCount == 0)
        return c->readings[ch - c->first];
    const int32_t at = PG_FindKey(c->keys, c->keyCount, 1, &ch);
    return at >= 0 ? c->readings[at] : 0;
}

uint16_t specialReading(const PGChinese* c, uint16_t ch)
{
    const int32_t at = PG_FindKey(c->specialKeys, c->specialCount, 1, &ch);
    return at >= 0 ? c->specialReadings[at] : 0;
}

// The entry of a reading in the tone-change table; none past its end.
uint16_t toneEntry(const PGChinese* c, uint16_t reading)
{
    return reading < c->base.common.headerValue ? c->toneChanges[reading] : 0;
}

// From the end: a reading with a changed form changes the nearest reading
// before it (passing transparent ones) into that one's changed form. Each
// reading is read as the walk finds it, so a run of three changing tones
// comes out unchanged, changed, unchanged.
void changeTones(const PGChinese* c, uint16_t* readings, int32_t n)
{
    if (c->toneChanges == nullptr)
        return;
    for (int32_t i = n - 1; i > 0; --i) {
        const uint16_t entry = toneEntry(c, readings[i]);
        if (entry == 0 || entry == kTransparent)
            continue;
        int32_t j = i - 1;
        while (j >= 0 && toneEntry(c, readings[j]) == kTransparent)
            --j;
        if (j >= 0 && toneEntry(c, readings[j]) != 0)
            readings[j] = toneEntry(c, readings[j]);
    }
}

// A pron's phonemes into out (null: measured); its length.
int64_t expandReadings(const PGChinese* c, const uint16_t* readings, int32_t n, uint16_t* out)
{
    PGPronBuilder pron{&c->base.common, out, 0, 0};
    for (int32_t i = 0; i < n; ++i) {
        PG_AppendCode(&pron, readings[i]);
        if (c->base.common.syllableId != 0)
            PG_AppendPhoneme(&pron, c->base.common.syllableId);
    }
    return pron.length;
}

} // namespace

int32_t PG_ReadingsContext_CHI(const PG* generator, const uint16_t* characters, int32_t count,
                               uint16_t* readings)
{
    const auto* c = reinterpret_cast<const PGChinese*>(generator);
    if (count < 2 || count > 4)
        return PG_ReadingsPlain_CHI(generator, characters, count, readings);
    uint16_t firstTwo[2];
    const int32_t pair = PG_FindKey(c->pairKeys, c->pairCount, 2, characters);
    if (pair >= 0) {
        firstTwo[0] = c->pairReadings[2 * pair];
        firstTwo[1] = c->pairReadings[2 * pair + 1];
    } else {
        firstTwo[0] = specialReading(c, characters[0]);
        if (firstTwo[0] == 0)
            firstTwo[0] = ordinaryReading(c, characters[0]);
        firstTwo[1] = count == 4 ? specialReading(c, characters[1]) : 0;
        if (firstTwo[1] == 0)
            firstTwo[1] = ordinaryReading(c, characters[1]);
    }
    int32_t n = 0;
    for (int32_t i = 0; i < count; ++i) {
        const uint16_t reading = i < 2 ? firstTwo[i] : ordinaryReading(c, characters[i]);
        if (reading != 0)
            readings[n++] = reading;
    }
    return n;
}

int32_t PG_ReadingsPlain_CHI(const PG* generator, const uint16_t* characters, int32_t count,
                             uint16_t* readings)
{
    const auto* c = reinterpret_cast<const PGChinese*>(generator);
    int32_t n = 0;
    for (int32_t i = 0; i < count; ++i) {
        const uint16_t reading = ordinaryReading(c, characters[i]);
        if (reading != 0)
            readings[n++] = reading;
    }
    return n;
}

int32_t PG_TextToMasterPron_CHI(const PG* generator, const uint16_t* text, int32_t wordClass,
                                uint16_t* output, int32_t room, int32_t* scores, int32_t most,
                                int32_t* needed)
{
    const auto* c = reinterpret_cast<const PGChinese*>(generator);
    output[0] = kPGPronEnd;
    if (needed != nullptr)
        *needed = 0;
    most = std::min(most, kPGChineseMaxProns);
    int32_t mode = wordClass == 1 ? 8 : wordClass == 2 ? 9 : 7;
    if (wordClass >= 7 && wordClass <= 9)
        mode = wordClass;
    if (most < 1)
        return 0;

    const uint32_t mark = DVKTempMem_GetMark();
    const int32_t length = DVKUnicode_Length(text);
    const auto size = static_cast<uint32_t>(length + 1) * 2;
    auto* characters = static_cast<uint16_t*>(DVKTempMem_Malloc(size));
    const int32_t count = PG_NonSpaceCharacters(text, characters);
    // Up to two prons of readings: context first, then plain.
    uint16_t* readings[2] = {static_cast<uint16_t*>(DVKTempMem_Malloc(size)),
                             static_cast<uint16_t*>(DVKTempMem_Malloc(size))};
    int32_t n[2] = {0, 0};
    int32_t prons = 0;
    if (mode != 9)
        n[prons++] = PG_ReadingsContext_CHI(generator, characters, count, readings[0]);
    if (mode == 9 || (mode == 7 && most >= 2)) {
        n[prons] = PG_ReadingsPlain_CHI(generator, characters, count, readings[prons]);
        // The plain readings are a second pron only where they differ.
        const bool same = prons == 1 && n[0] == n[1] &&
                          std::memcmp(readings[0], readings[1], static_cast<size_t>(n[0]) * 2) == 0;
        prons += same ? 0 : 1;
    }

    // Tone changes, then each pron expanded; an empty one and one equal to
    // the first are dropped.
    uint16_t* expanded[2] = {nullptr, nullptr};
    int64_t lengths[2] = {0, 0};
    int64_t total = 0;
    int32_t kept = 0;
    for (int32_t k = 0; k < prons; ++k) {
        changeTones(c, readings[k], n[k]);
        const int64_t m = expandReadings(c, readings[k], n[k], nullptr);
        if (m == 0 || m >= INT32_MAX / 2)
            continue;
        expanded[kept] = static_cast<uint16_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(m) * 2));
        expandReadings(c, readings[k], n[k], expanded[kept]);
        if (kept == 1 && lengths[0] == m &&
            std::memcmp(expanded[0], expanded[1], static_cast<size_t>(m) * 2) == 0)
            continue;
        lengths[kept] = m;
        total += m + 1;
        ++kept;
    }
    int32_t written = 0;
    int64_t used = 0;
    for (; written < kept && used + lengths[written] + 1 <= room; ++written) {
        std::memcpy(output + used, expanded[written], static_cast<size_t>(lengths[written]) * 2);
        used += lengths[written];
        output[used++] = kPGPronEnd;
        if (scores != nullptr)
            scores[written] = 0;
    }
    if (written == 0)
        output[0] = kPGPronEnd;
    if (needed != nullptr && total > room)
        *needed = total > INT32_MAX ? INT32_MAX : static_cast<int32_t>(total);
    DVKTempMem_ReleaseToMark(mark);
    return written;
}

uint32_t PG_ComputeCRC_CHI(const PG* generator)
{
    const auto* c = reinterpret_cast<const PGChinese*>(generator);
    uint32_t crc = PG_ComputeCommonCRC(&c->base.common);
    crc = DVKCrc_AddInt(c->first, crc);
    crc = DVKCrc_AddInt(c->last, crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(c->keyCount), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(c->specialCount), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(c->pairCount), crc);
    const int32_t readingCount = c->keyCount > 0 ? c->keyCount : c->last - c->first + 1;
    crc = PG_AddCountedArray(crc, c->keys, c->keyCount);
    crc = PG_AddCountedArray(crc, c->readings, readingCount);
    crc = PG_AddCountedArray(crc, c->specialKeys, c->specialCount);
    crc = PG_AddCountedArray(crc, c->specialReadings, c->specialCount);
    crc = PG_AddCountedArray(crc, c->pairKeys, 2 * c->pairCount);
    crc = PG_AddCountedArray(crc, c->pairReadings, 2 * c->pairCount);
    return PG_AddCountedArray(crc, c->toneChanges, c->base.common.headerValue);
}

PG* PGChinese_Load(BinFileReader* reader)
{
    return PG_LoadKind<PGChinese>(reader, freeChinese, PG_TextToMasterPron_CHI, PG_ComputeCRC_CHI,
                                  readChinese);
}
