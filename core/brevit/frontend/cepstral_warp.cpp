#include "core/brevit/frontend/cepstral_warp.h"

#include "core/brevit/frontend/fe_fixed_math.h"
#include "core/brevit/frontend/fe_reader.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// The warp's first-order combination of a feature's neighbours.
int32_t neighbourTerm(const int16_t* v, int32_t f, int32_t q, int32_t d, int32_t below, int32_t above)
{
    int32_t t = 0;
    if (q >= 1)
        t += v[f - 1] * below;
    if (q < d - 1)
        t -= v[f + 1] * above;
    return t;
}

// Rounded away from zero, then shifted.
int32_t shiftAway(int64_t v, int32_t shift)
{
    const int64_t half = shift > 0 ? int64_t{1} << (shift - 1) : 0;
    return static_cast<int32_t>(v >= 0 ? (v + half) >> shift : -((-v + half) >> shift));
}

} // namespace

CepstralWarp* CepstralWarp_LoadFromBinFile(DVKTar* tar, const char* prefix)
{
    BinFileReader* reader = FEReader_Open(tar, "bcw0", prefix);
    if (reader == nullptr)
        return nullptr;
    auto* cw = static_cast<CepstralWarp*>(DVKMem_Calloc(sizeof(CepstralWarp)));
    bool ok = cw != nullptr && FEReader_ReadInts(reader, &cw->numStatics, 2) &&
              cw->numStatics >= 1 && cw->numStatics <= 1024 && cw->numUsed >= 0 &&
              cw->numUsed <= 3 * cw->numStatics;
    BinFileReader_Delete(reader);
    if (ok) {
        cw->work = static_cast<int16_t*>(DVKMem_Calloc(3 * cw->numStatics * sizeof(int16_t)));
        ok = cw->work != nullptr;
    }
    if (!ok) {
        CepstralWarp_Destroy(cw);
        return nullptr;
    }
    return cw;
}

void CepstralWarp_Reset(CepstralWarp* cw)
{
    cw->alpha = 0;
    cw->updates = 0;
    cw->numerator = 0;
    cw->denominator = 0;
    cw->energyRange = 0;
}

int32_t CepstralWarp_GetDim(const CepstralWarp* cw) { return cw == nullptr ? 0 : cw->numUsed; }

void CepstralWarp_GetState(const CepstralWarp* cw, int32_t values[4], int16_t* alpha)
{
    values[0] = cw != nullptr ? cw->updates : 0;
    values[1] = cw != nullptr ? cw->numerator : 0;
    values[2] = cw != nullptr ? cw->denominator : 0;
    values[3] = cw != nullptr ? cw->energyRange : 0;
    *alpha = cw != nullptr ? cw->alpha : 0;
}

void CepstralWarp_SetState(CepstralWarp* cw, const int32_t values[4], int16_t alpha)
{
    if (cw == nullptr)
        return;
    cw->updates = values[0];
    cw->numerator = values[1];
    cw->denominator = values[2];
    cw->energyRange = values[3];
    cw->alpha = alpha;
}

void CepstralWarp_Apply(CepstralWarp* cw, const int32_t* rowIndex, int32_t numOutputs, int16_t* v)
{
    if (cw->alpha == 0)
        return;
    const int32_t d = cw->numStatics;
    int16_t* u = cw->work;
    std::memcpy(u, v, 3 * d * sizeof(int16_t));
    for (int32_t j = 0; j < numOutputs; ++j) {
        const int32_t f = rowIndex[j];
        const int32_t q = f % d;
        const int32_t below = FEFix_Clip16(cw->alpha * std::min(q - 1, 5));
        const int32_t above = FEFix_Clip16(cw->alpha * std::min(q + 1, 5));
        const int32_t t = neighbourTerm(v, f, q, d, below, above);
        u[f] = FEFix_Clip16(u[f] + (t >> 15));
    }
    std::memcpy(v, u, 3 * d * sizeof(int16_t));
}

void CepstralWarp_Update(CepstralWarp* cw, const EnergyStage* energy, const int16_t* v, int16_t c0,
                         const int16_t* scales, int32_t shift, const int32_t* rowIndex,
                         int32_t numOutputs, const uint8_t* actual, const uint8_t* target)
{
    const int32_t minEnergy = energy != nullptr ? energy->minEnergy : 1;
    const int32_t maxEnergy = energy != nullptr ? energy->maxEnergy : 0;
    const int32_t range = maxEnergy - minEnergy;
    if (c0 < minEnergy + ((range * 26214 + 32768) >> 16))
        return;
    // The state may come from a snapshot as stored: the tests are in 64 bits
    // so that no stored value overflows them.
    const int64_t lastRange = cw->energyRange;
    if (range > lastRange + ((lastRange + 2) >> 2)) {
        cw->energyRange = range;
        cw->denominator = 0;
        cw->updates = 0;
        cw->numerator = 0;
        cw->alpha = 0;
        return;
    }
    if (std::abs(int64_t{cw->numerator}) > 32767 || cw->denominator > 0x3FFFFFFE || cw->updates == 0x7FFFFFFF)
        return;

    const int32_t d = cw->numStatics;
    int64_t s1 = 0;
    int64_t s2 = 0;
    // The K outputs of lowest row, in increasing row order (ties by output).
    int32_t previousRow = -1;
    int32_t previousOutput = -1;
    for (int32_t step = 0; step < cw->numUsed; ++step) {
        int32_t best = -1;
        for (int32_t j = 0; j < numOutputs; ++j) {
            const int32_t r = rowIndex[j];
            const bool after = r > previousRow || (r == previousRow && j > previousOutput);
            if (after && (best < 0 || r < rowIndex[best]))
                best = j;
        }
        if (best < 0)
            break;
        previousRow = rowIndex[best];
        previousOutput = best;
        const int32_t f = rowIndex[best];
        const int32_t q = f % d;
        const int32_t g = FEFix_Clip16(neighbourTerm(v, f, q, d, std::min(q - 1, 5), std::min(q + 1, 5)));
        const int32_t e = FEFix_Clip16(shiftAway(int64_t{scales[f]} * g, shift));
        s2 += int64_t{e} * e;
        s1 += int64_t{target[best] - actual[best]} * e;
    }
    const int64_t numerator = cw->numerator + shiftAway(s1, 5);
    cw->numerator = static_cast<int32_t>(std::clamp<int64_t>(numerator, INT32_MIN, INT32_MAX));
    if (std::abs(numerator) > 32767)
        return;
    const int64_t denominator = cw->denominator + ((s2 + 16) >> 5);
    cw->denominator = static_cast<int32_t>(std::min<int64_t>(denominator, INT32_MAX));
    cw->updates += 1;
    if (cw->denominator < 1 || cw->updates < 8)
        cw->alpha = 0;
    else
        cw->alpha = FEFix_Clip16((int64_t{cw->numerator} << 15) / cw->denominator);
}

uint32_t CepstralWarp_ComputeCRC(const CepstralWarp* cw)
{
    uint32_t crc = 0xFFFFFFFFu;
    if (cw == nullptr)
        return crc;
    for (int32_t v : {cw->numStatics, cw->updates, cw->numUsed, cw->numerator, cw->denominator,
                      cw->energyRange})
        crc = DVKCrc_AddInt(static_cast<uint32_t>(v), crc);
    return DVKCrc_AddShort(static_cast<uint16_t>(cw->alpha), crc);
}

void CepstralWarp_Destroy(CepstralWarp* cw)
{
    if (cw == nullptr)
        return;
    DVKMem_Free(cw->work);
    DVKMem_Free(cw);
}
