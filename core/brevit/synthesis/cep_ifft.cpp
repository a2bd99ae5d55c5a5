#include "core/brevit/synthesis/cep_ifft.h"

#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/synthesis/cep_fixed.h"
#include "core/brevit/synthesis/cep_load.h"

#include <utility>

namespace {

// Offsets are 16-bit, so S stays within 2^16.
constexpr int32_t kMaxOrder = 15;

bool isBitReversal(const uint16_t* table, int32_t order)
{
    const uint32_t pairs = 1u << order;
    for (uint32_t i = 0; i < pairs; ++i) {
        uint32_t r = 0;
        for (int32_t b = 0; b < order; ++b)
            r |= ((i >> b) & 1u) << (order - 1 - b);
        if (table[i] != 2 * r)
            return false;
    }
    return true;
}

inline int16_t halve(int64_t a, int64_t b) { return CepFixed_Sat16((a + 1 + b) >> 1); }

} // namespace

namespace {

bool readCepIFFT(BinFileReader* reader, CepIFFT* ifft)
{
    bool ok = BinFileReader_ReadUnsignedInt(reader, &ifft->tableSize) &&
              BinFileReader_ReadInt(reader, &ifft->maxOrder) && ifft->maxOrder >= 1 &&
              ifft->maxOrder <= kMaxOrder && ifft->tableSize == 2u << ifft->maxOrder;
    int16_t* reverse = nullptr;
    ok = ok && CepLoad_ReadShorts(reader, ifft->tableSize, &ifft->realTwiddles) &&
         CepLoad_ReadShorts(reader, ifft->tableSize / 2, &ifft->butterfly) &&
         CepLoad_ReadShorts(reader, ifft->tableSize / 2, &reverse);
    ifft->bitReverse = reinterpret_cast<uint16_t*>(reverse);
    ok = ok && isBitReversal(ifft->bitReverse, ifft->maxOrder);
    return ok;
}

} // namespace

CepIFFT* CepIFFT_LoadFromBinFile(DVKTar* tar, const char* prefix)
{
    return CepLoad_Object(tar, "bif0", prefix, readCepIFFT, CepIFFT_Delete);
}

void CepIFFT_Delete(CepIFFT* ifft)
{
    if (ifft == nullptr)
        return;
    DVKMem_Free(ifft->realTwiddles);
    DVKMem_Free(ifft->butterfly);
    DVKMem_Free(ifft->bitReverse);
    DVKMem_Free(ifft);
}

void CepIFFT_Apply(const CepIFFT* ifft, int32_t order, int16_t* w)
{
    if (order < 1 || order > ifft->maxOrder)
        return;
    const int32_t down = ifft->maxOrder - order;
    const int32_t n = static_cast<int32_t>(ifft->tableSize >> down);
    const int32_t pairs = n / 2;
    const int32_t d = 2 << down;

    // Real-input step: the spectrum of the real frame becomes the spectrum
    // of its even and odd samples packed as one complex sequence.
    const int64_t a0 = w[0];
    const int64_t b0 = w[1];
    w[0] = CepFixed_Sat16((a0 + b0 + 2) >> 2);
    w[1] = CepFixed_Sat16((a0 - b0 + 2) >> 2);
    for (int32_t k = 1; k < n / 4; ++k) {
        int16_t* front = w + 2 * k;
        int16_t* back = w + 2 * (pairs - k);
        const int64_t s = ifft->realTwiddles[k * d];
        const int64_t c = ifft->realTwiddles[k * d + 1];
        const int64_t f = front[0];
        const int64_t fi = front[1];
        const int64_t g = back[0];
        const int64_t gi = back[1];
        const int64_t diff = f - g;
        const int64_t t1 = diff * s + (gi + fi) * c;
        const int64_t base = (f + g) * 16384 + 32768;
        const int64_t t2 = (gi + fi) * s + 32768 - diff * c;
        const int64_t m = (fi - gi) * 16384;
        front[0] = CepFixed_Sat16((base - t1) >> 16);
        back[0] = CepFixed_Sat16((base + t1) >> 16);
        front[1] = CepFixed_Sat16((m - t2) >> 16);
        back[1] = CepFixed_Sat16((-t2 - m) >> 16);
    }
    if (n / 4 >= 1) {
        int16_t* mid = w + 2 * (n / 4);
        mid[0] = static_cast<int16_t>((mid[0] + 1) >> 1);
        mid[1] = static_cast<int16_t>((mid[1] + 1) >> 1);
    }

    const int32_t reverseStep = 1 << down;
    for (int32_t p = 0; p < pairs; ++p) {
        const int32_t partner = ifft->bitReverse[p * reverseStep] / 2;
        if (partner > p) {
            std::swap(w[2 * p], w[2 * partner]);
            std::swap(w[2 * p + 1], w[2 * partner + 1]);
        }
    }

    for (int32_t p = 0; p + 1 < pairs; p += 2) {
        int16_t* a = w + 2 * p;
        int16_t* b = a + 2;
        const int64_t ar = a[0], ai = a[1], br = b[0], bi = b[1];
        a[0] = halve(ar, br);
        a[1] = halve(ai, bi);
        b[0] = halve(ar, -br);
        b[1] = halve(ai, -bi);
    }
    for (int32_t p = 0; p + 3 < pairs; p += 4) {
        int16_t* q0 = w + 2 * p;
        int16_t* q1 = q0 + 2;
        int16_t* q2 = q0 + 4;
        int16_t* q3 = q0 + 6;
        const int64_t r0 = q0[0], i0 = q0[1], r2 = q2[0], i2 = q2[1];
        q0[0] = halve(r0, r2);
        q0[1] = halve(i0, i2);
        q2[0] = halve(r0, -r2);
        q2[1] = halve(i0, -i2);
        const int64_t r1 = q1[0], i1 = q1[1], r3 = q3[0], i3 = q3[1];
        q1[0] = halve(r1, i3);
        q1[1] = halve(i1, -r3);
        q3[0] = halve(r1, -i3);
        q3[1] = halve(i1, r3);
    }
    int64_t stride = ifft->tableSize / 8;
    for (int32_t h = 4; h < pairs; h *= 2, stride /= 2) {
        for (int32_t group = 0; group < pairs; group += 2 * h) {
            for (int32_t p = 0; p < h; ++p) {
                const int64_t c = ifft->butterfly[p * stride];
                const int64_t s = ifft->butterfly[p * stride + 1];
                int16_t* a = w + 2 * (group + p);
                int16_t* b = a + 2 * h;
                const int64_t ar = a[0], ai = a[1], br = b[0], bi = b[1];
                const int64_t tr = c * br - bi * s;
                const int64_t ti = s * br + c * bi;
                a[0] = CepFixed_Sat16((ar * 32768 + 32768 + tr) >> 16);
                a[1] = CepFixed_Sat16((ai * 32768 + 32768 + ti) >> 16);
                b[0] = CepFixed_Sat16((ar * 32768 + 32768 - tr) >> 16);
                b[1] = CepFixed_Sat16((ai * 32768 + 32768 - ti) >> 16);
            }
        }
    }
}
