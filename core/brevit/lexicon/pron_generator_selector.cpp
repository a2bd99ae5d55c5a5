#include "core/brevit/lexicon/pron_generator_selector.h"

#include "core/brevit/lexicon/pron_generator_tables.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"

namespace {

void freeSelector(PG* generator)
{
    auto* s = reinterpret_cast<PGSelector*>(generator);
    PG_FreeSubGenerators(s->subs, s->count);
    PG_FreeCommon(&s->base.common);
}

// The sub-generator number for word class k, or -1.
int32_t choose(int32_t mode, int32_t k)
{
    if (mode == 0)
        return k >= 11 && k <= 13 ? k - 10 : 0;
    if (mode == 1)
        return k == 1 || k == 14 ? 0 : 1;
    return k >= 10 && k <= 13 ? k - 10 : -1;
}

} // namespace

bool PG_LoadSubGenerators(BinFileReader* reader, int32_t count, int32_t depth, PG*** subs)
{
    *subs = nullptr;
    if (count < 0 || count > kPGMaxSubGenerators)
        return false;
    if (count == 0)
        return true;
    *subs = static_cast<PG**>(DVKMem_Calloc(static_cast<uint32_t>(count) * sizeof(PG*)));
    if (*subs == nullptr)
        return false;
    for (int32_t i = 0; i < count; ++i)
        if (((*subs)[i] = PG_LoadNested(reader, depth)) == nullptr)
            return false;
    return true;
}

void PG_FreeSubGenerators(PG** subs, int32_t count)
{
    if (subs == nullptr)
        return;
    for (int32_t i = 0; i < count; ++i)
        PG_Delete(subs[i]);
    DVKMem_Free(subs);
}

uint32_t PG_AddSubGeneratorCRCs(uint32_t crc, PG* const* subs, int32_t count)
{
    for (int32_t i = 0; i < count; ++i)
        crc = DVKCrc_AddValue(PG_ComputeCRC(subs[i]), 4, crc);
    return crc;
}

int32_t PG_TextToMasterPron_SEL(const PG* generator, const uint16_t* text, int32_t wordClass,
                                uint16_t* output, int32_t room, int32_t* scores, int32_t most,
                                int32_t* needed)
{
    const auto* s = reinterpret_cast<const PGSelector*>(generator);
    output[0] = kPGPronEnd;
    if (needed != nullptr)
        *needed = 0;
    const int32_t sub = choose(s->mode, wordClass);
    if (most < 1 || sub < 0 || sub >= s->count || s->subs[sub] == nullptr)
        return 0;
    // Through the common entry: the sub-generator's own phone rewrite applies.
    return PG_TextToMasterPron(s->subs[sub], text, 0, output, room, scores, most, needed);
}

uint32_t PG_ComputeCRC_SEL(const PG* generator)
{
    const auto* s = reinterpret_cast<const PGSelector*>(generator);
    uint32_t crc = PG_ComputeCommonCRC(&s->base.common);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(s->mode), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(s->count), crc);
    return PG_AddSubGeneratorCRCs(crc, s->subs, s->count);
}

PG* PGSelector_Load(BinFileReader* reader, int32_t depth)
{
    return PG_LoadKind<PGSelector>(
        reader, freeSelector, PG_TextToMasterPron_SEL, PG_ComputeCRC_SEL,
        [depth](BinFileReader* r, PGSelector* s) {
            int32_t count = 0;
            const bool ok = BinFileReader_ReadInt(r, &s->mode) && BinFileReader_ReadInt(r, &count) &&
                            PG_LoadSubGenerators(r, count, depth + 1, &s->subs);
            // Only a made array is freed, over its whole count (unread slots are null).
            s->count = s->subs != nullptr ? count : 0;
            return ok;
        });
}
