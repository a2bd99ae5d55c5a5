#include "core/brevit/synthesis/cep_spectrum_fft.h"

#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/synthesis/cep_fixed.h"
#include "core/brevit/synthesis/cep_ifft.h"
#include "core/brevit/synthesis/cep_load.h"

namespace {

bool readCepSpecFFT(BinFileReader* reader, CepSpecFFT* spec)
{
    int32_t* const fields[] = {&spec->cepLength, &spec->specLength, &spec->order, &spec->shift};
    // The fold and the pre-rotation reach three values past the cepstrum.
    const bool ok =
        CepLoad_ReadInts(reader, fields, 4) && spec->order >= 2 &&
        spec->order <= 15 && spec->specLength == (2 << spec->order) && spec->cepLength >= 0 &&
        spec->cepLength + 3 <= spec->specLength && spec->shift >= 0 && spec->shift <= 15 &&
        CepLoad_ReadShorts(reader, (spec->cepLength + 1) / 2, &spec->t1) &&
        CepLoad_ReadShorts(reader, (spec->cepLength + 1) / 2, &spec->t2) &&
        CepLoad_ReadShorts(reader, spec->specLength / 2, &spec->t3);
    return ok;
}

} // namespace

CepSpecFFT* CepSpecFFT_LoadFromBinFile(DVKTar* tar, const char* prefix)
{
    return CepLoad_Object(tar, "bfi0", prefix, readCepSpecFFT, CepSpecFFT_Delete);
}

void CepSpecFFT_Delete(CepSpecFFT* spec)
{
    if (spec == nullptr)
        return;
    DVKMem_Free(spec->t1);
    DVKMem_Free(spec->t2);
    DVKMem_Free(spec->t3);
    DVKMem_Free(spec);
}

namespace {

// Block-scales c[1 .. Dc-1] into w[1 .. Dc-1]; returns the fraction bits E
// and whether any coefficient was non-zero.
bool blockScale(const int32_t* c, int32_t dc, int32_t q, int16_t* w, int32_t* exponent)
{
    uint32_t bits = 0;
    for (int32_t i = 1; i < dc; ++i) {
        const int64_t v = c[i];
        bits |= static_cast<uint32_t>(v < 0 ? -v : v);
    }
    *exponent = 0;
    if (bits == 0) {
        for (int32_t i = 1; i < dc; ++i)
            w[i] = 0;
        return false;
    }
    if (bits > 32767) {
        int32_t t = 0;
        while ((bits >> t) > 32767)
            ++t;
        for (int32_t i = 1; i < dc; ++i)
            w[i] = CepFixed_Sat16(CepFixed_RoundShift(c[i], t));
        *exponent = q - t;
    } else {
        int32_t u = 0;
        while ((bits << u) < 16384)
            ++u;
        for (int32_t i = 1; i < dc; ++i)
            w[i] = static_cast<int16_t>(c[i] * (1 << u));
        *exponent = q + u;
    }
    return true;
}

} // namespace

void CepSpecFFT_Cepstrum(const CepSpecFFT* spec, const CepIFFT* ifft, int32_t logGain, int32_t q,
                         const int32_t* c, int16_t* w)
{
    const int32_t dc = spec->cepLength;
    const int32_t nb = spec->specLength;
    const int64_t gain =
        CepFixed_Sat32(logGain + CepFixed_Shr(static_cast<int64_t>(c[0]) / nb, q - 11));

    w[0] = 0;
    int32_t exponent = 0;
    if (dc <= 1 || !blockScale(c, dc, q, w, &exponent)) {
        // Nothing beyond c[0]: the spectrum is flat at the gain.
        const int16_t flat = CepFixed_Sat16(gain);
        for (int32_t i = 0; i < nb; ++i)
            w[i] = flat;
        return;
    }
    for (int32_t i = dc; i < nb; ++i)
        w[i] = 0;

    const int32_t half = dc / 2;
    const int32_t top = 2 * half + 1;
    const int16_t kept = w[top];
    for (int32_t p = top; p >= top - 2 * (half - 1); p -= 2) {
        w[p] = CepFixed_Sat16((w[p - 2] + 1 - w[p]) >> 1);
        w[p - 1] = static_cast<int16_t>((w[p - 1] + 1) >> 1);
    }
    w[top - 2 * half] = static_cast<int16_t>((kept + 1) >> 1);

    for (int32_t k = 0; k < (dc + 1) / 2; ++k) {
        const int64_t a = w[2 * k + 2];
        const int64_t b = w[2 * k + 3];
        w[2 * k + 2] = CepFixed_Sat16((b * spec->t1[k] + a * spec->t2[k] + 32768) >> 16);
        w[2 * k + 3] = CepFixed_Sat16((b * spec->t2[k] - a * spec->t1[k] + 32768) >> 16);
    }

    CepIFFT_Apply(ifft, spec->order, w);

    const int32_t s2 = spec->shift - 13 + exponent;
    for (int32_t i = 0; i < nb / 2; ++i) {
        const int64_t a = w[i];
        const int64_t b = w[nb - 1 - i];
        const int64_t t = static_cast<int64_t>(spec->t3[i]) * (a - b);
        const int64_t u = (a + b) * (int64_t{1} << spec->shift);
        w[i] = CepFixed_Sat16(gain + CepFixed_RoundShift(u + t, s2));
        w[nb - 1 - i] = CepFixed_Sat16(gain + CepFixed_RoundShift(u - t, s2));
    }
}
