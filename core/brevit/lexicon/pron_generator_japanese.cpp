#include "core/brevit/lexicon/pron_generator_japanese.h"

#include "core/brevit/lexicon/pron_generator_tables.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/runtime/dvk_unicode_str.h"

#include <initializer_list>

namespace {

constexpr uint16_t kIterationMark = 0x3005;
enum Table { kGeneral = 0, kFirstOfTwo = 1, kFirstOfThree = 3 };

void freeJapanese(PG* generator)
{
    auto* j = reinterpret_cast<PGJapanese*>(generator);
    for (PGJapaneseTable& table : j->tables) {
        DVKMem_Free(table.readings);
        DVKMem_Free(table.keys);
    }
    PG_FreeCommon(&j->base.common);
}

bool readJapanese(BinFileReader* reader, PGJapanese* j)
{
    if (BinFileReader_ReadUnsignedShort(reader, &j->rangeFirst) != 1 ||
        BinFileReader_ReadUnsignedShort(reader, &j->rangeLast) != 1)
        return false;
    for (PGJapaneseTable& table : j->tables)
        if (!BinFileReader_ReadInt(reader, &table.count) || table.count < 0 ||
            !PG_ReadCodeArray(reader, table.count, &table.keys) ||
            !PG_ReadCodeArray(reader, table.count, &table.readings) ||
            !PG_KeysAscending(table.keys, table.count, 1))
            return false;
    return true;
}

// The reading of c in table, or in the general table; false without one.
bool lookUp(const PGJapanese* j, int32_t table, uint16_t c, uint16_t* reading)
{
    for (int32_t t : {table, int32_t{kGeneral}}) {
        const PGJapaneseTable& in = j->tables[t];
        const int32_t at = PG_FindKey(in.keys, in.count, 1, &c);
        if (at >= 0) {
            *reading = in.readings[at];
            return true;
        }
    }
    return false;
}

void expand(const PGJapanese* j, const uint16_t* characters, int32_t n, PGPronBuilder* pron)
{
    const int32_t first = n == 2 ? kFirstOfTwo : n == 3 ? kFirstOfThree : kGeneral;
    bool hasPrevious = false;   // the previous character had a reading
    uint16_t previous = 0;
    for (int32_t i = 0; i < n; ++i) {
        uint16_t reading = 0;
        // The iteration mark repeats the reading before it; with none
        // (first in the word) it is skipped.
        const bool found = characters[i] == kIterationMark
                               ? hasPrevious
                               : lookUp(j, first == kGeneral ? kGeneral : first + i, characters[i],
                                        &reading);
        if (characters[i] == kIterationMark)
            reading = previous;
        hasPrevious = found;
        previous = reading;
        if (found)
            PG_AppendCode(pron, reading);
    }
}

} // namespace

int32_t PG_TextToMasterPron_JAP(const PG* generator, const uint16_t* text, int32_t,
                                uint16_t* output, int32_t room, int32_t* scores, int32_t most,
                                int32_t* needed)
{
    const auto* j = reinterpret_cast<const PGJapanese*>(generator);
    output[0] = kPGPronEnd;
    if (needed != nullptr)
        *needed = 0;
    if (most < 1)
        return 0;
    const uint32_t mark = DVKTempMem_GetMark();
    auto* characters = static_cast<uint16_t*>(
        DVKTempMem_Malloc(static_cast<uint32_t>(DVKUnicode_Length(text) + 1) * 2));
    const int32_t n = PG_NonSpaceCharacters(text, characters);
    const int32_t written =
        PG_WriteSinglePron(&j->base.common, j->base.common.classRewrite != nullptr, output, room,
                           scores, needed,
                           [&](PGPronBuilder* pron) { expand(j, characters, n, pron); });
    DVKTempMem_ReleaseToMark(mark);
    return written;
}

uint32_t PG_ComputeCRC_JAP(const PG* generator)
{
    const auto* j = reinterpret_cast<const PGJapanese*>(generator);
    uint32_t crc = PG_ComputeCommonCRC(&j->base.common);
    crc = DVKCrc_AddInt(j->rangeFirst, crc);
    crc = DVKCrc_AddInt(j->rangeLast, crc);
    for (const PGJapaneseTable& table : j->tables) {
        crc = DVKCrc_AddInt(static_cast<uint32_t>(table.count), crc);
        crc = PG_AddCountedArray(crc, table.keys, table.count);
        crc = PG_AddCountedArray(crc, table.readings, table.count);
    }
    return crc;
}

PG* PGJapanese_Load(BinFileReader* reader)
{
    return PG_LoadKind<PGJapanese>(reader, freeJapanese, PG_TextToMasterPron_JAP, PG_ComputeCRC_JAP,
                                   readJapanese);
}
