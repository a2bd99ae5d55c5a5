#include "core/brevit/synthesis/cep_excitation.h"

#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/synthesis/cep_load.h"

namespace {

bool readCepExcitation(BinFileReader* reader, CepExcitation* excitation)
{
    int32_t* const fields[] = {&excitation->tableSize, &excitation->start2, &excitation->end2,
                               &excitation->start1, &excitation->end1};
    const bool ok = CepLoad_ReadInts(reader, fields, 5) &&
                    excitation->tableSize >= 4 && CepLoad_IsPowerOfTwo(excitation->tableSize) &&
                    CepLoad_ReadShorts(reader, int64_t{excitation->tableSize} / 4 * 5,
                                       &excitation->sine);
    return ok;
}

} // namespace

CepExcitation* CepExcitation_LoadFromBinFile(DVKTar* tar, const char* prefix)
{
    return CepLoad_Object(tar, "bpt0", prefix, readCepExcitation, CepExcitation_Delete);
}

void CepExcitation_Delete(CepExcitation* excitation)
{
    if (excitation == nullptr)
        return;
    DVKMem_Free(excitation->sine);
    DVKMem_Free(excitation);
}

void CepExcitation_Apply(const CepExcitation* excitation, int32_t halfRate, int32_t voicing,
                         int32_t pulseCount, const int32_t* pulses, uint32_t* seed,
                         int32_t* blockExponent, int16_t* spectrum)
{
    const uint32_t size = static_cast<uint32_t>(excitation->tableSize);
    const uint32_t mask = size - 1;
    const int16_t* sine = excitation->sine;
    const int16_t* cosine = sine + size / 4;

    int32_t bits = 0;
    while (pulseCount > (1 << bits))
        ++bits;
    const int32_t full = 32767 >> bits;
    *blockExponent -= bits;

    int64_t start = 0;
    int32_t step = full;
    int32_t amplitude = 0;
    if (voicing == 1 || voicing == 2) {
        start = voicing == 1 ? excitation->start1 : excitation->start2;
        const int64_t end = voicing == 1 ? excitation->end1 : excitation->end2;
        if (start < end) {
            const int64_t width = end - start;
            step = static_cast<int32_t>(full / (width > INT32_MAX ? INT32_MAX : width));
        }
        amplitude = full;
    }

    uint32_t s = *seed;
    const uint32_t stride = halfRate ? 2 : 1;
    int16_t* pair = spectrum;
    for (uint32_t k = 0; k < size / 2; k += stride, pair += 2) {
        if (static_cast<int64_t>(k) > start && amplitude > 0) {
            amplitude -= step;
            if (amplitude < 0)
                amplitude = 0;
        }
        int64_t re = 0;
        int64_t im = 0;
        if (amplitude >= 1 && pulseCount >= 1) {
            int64_t c = 0;
            int64_t z = 0;
            for (int32_t i = 0; i < pulseCount; ++i) {
                const uint32_t phase = (static_cast<uint32_t>(pulses[i]) * k) & mask;
                c += cosine[phase];
                z += sine[phase];
            }
            re = amplitude * c;
            im = amplitude * z;
        }
        if (amplitude < full) {
            s = s * 214013u + 2531011u;
            const uint32_t j = (s >> 16) & 0x7FFFu & mask;
            re += static_cast<int64_t>(cosine[j]) * (full - amplitude);
            im += static_cast<int64_t>(sine[j]) * (full - amplitude);
        }
        const int64_t g = pair[0];
        pair[1] = static_cast<int16_t>((g * ((im + 16384) >> 15) + 16384) >> 15);
        pair[0] = static_cast<int16_t>((g * ((re + 16384) >> 15) + 16384) >> 15);
    }
    spectrum[1] = 0;
    *seed = s;
}
