#include "core/brevit/lexicon/pron_generator_korean.h"

#include "core/brevit/lexicon/pron_generator_tables.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/table_read.h"

namespace {

constexpr uint16_t kHangulFirst = 0xAC00;
constexpr uint16_t kHangulLast = 0xD7A3;
constexpr int32_t kNoTail = 41;

void freeKorean(PG* generator)
{
    auto* k = reinterpret_cast<PGKorean*>(generator);
    DVKMem_Free(k->leadsAfter);
    DVKMem_Free(k->leads);
    LMIndexTable_Delete(k->jamo);
    PG_FreeCommon(&k->base.common);
}

// The code sequence of the syllables, expanded as it goes: codes 0 are
// dropped, and a syllable mark before any phoneme is dropped. Marks are
// kept apart from the table codes, so no table value can stand for one.
struct Expansion {
    PGPronBuilder* pron;
    uint16_t mark;   // 0 without a syllable phoneme id

    void code(uint16_t c)
    {
        if (c != 0)
            PG_AppendCode(pron, c);
    }
    void separator()
    {
        if (mark != 0 && pron->length > 0)
            PG_AppendPhoneme(pron, mark);
    }
};

void expand(const PGKorean* k, const uint16_t* text, PGPronBuilder* pron)
{
    Expansion e{pron, k->base.common.syllableId};
    int32_t tail = 0;   // the previous syllable's raw tail code; 0 before the first
    for (; *text != 0; ++text) {
        if (*text < kHangulFirst || *text > kHangulLast)
            continue;
        const int32_t v = *text - kHangulFirst;
        const int32_t lead = v / 588 + 1;
        const int32_t index = tail == 0 ? lead : lead + 20 * (tail - 40);
        e.code(k->leads[index]);
        e.separator();
        if (k->leadsAfter != nullptr)
            e.code(k->leadsAfter[index]);
        e.code(LMIndexTable_Get(k->jamo, (v / 28) % 21 + 20));
        tail = v % 28 + kNoTail;
        e.code(LMIndexTable_Get(k->jamo, tail));
    }
    if (tail == 0)
        return;   // no syllable: no pron
    e.code(k->leads[20 * (tail - 40)]);
    e.separator();
}

} // namespace

int32_t PG_TextToMasterPron_KOR(const PG* generator, const uint16_t* text, int32_t,
                                uint16_t* output, int32_t room, int32_t* scores, int32_t most,
                                int32_t* needed)
{
    const auto* k = reinterpret_cast<const PGKorean*>(generator);
    output[0] = kPGPronEnd;
    if (most < 1)
        return 0;
    return PG_WriteSinglePron(&k->base.common, false, output, room, scores, needed,
                              [&](PGPronBuilder* pron) { expand(k, text, pron); });
}

uint32_t PG_ComputeCRC_KOR(const PG* generator)
{
    const auto* k = reinterpret_cast<const PGKorean*>(generator);
    uint32_t crc = PG_ComputeCommonCRC(&k->base.common);
    crc = DVKCrc_AddValue(LMIndexTable_ComputeCRC(k->jamo), 4, crc);
    crc = DVKCrc_AddArray(k->leads, 2, kPGKoreanTableSize, crc);
    if (k->leadsAfter != nullptr)
        crc = DVKCrc_AddArray(k->leadsAfter, 2, kPGKoreanTableSize, crc);
    return crc;
}

PG* PGKorean_Load(BinFileReader* reader)
{
    return PG_LoadKind<PGKorean>(reader, freeKorean, PG_TextToMasterPron_KOR, PG_ComputeCRC_KOR,
                                 [](BinFileReader* r, PGKorean* k) {
                                     void* after = nullptr;
                                     const bool ok =
                                         (k->jamo = LMIndexTable_Read(r)) != nullptr &&
                                         PG_ReadCodeArray(r, kPGKoreanTableSize, &k->leads) &&
                                         TableRead_Array(r, 2, kPGKoreanTableSize, false, &after);
                                     k->leadsAfter = static_cast<uint16_t*>(after);
                                     return ok;
                                 });
}
