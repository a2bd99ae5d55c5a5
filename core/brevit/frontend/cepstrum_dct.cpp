#include "core/brevit/frontend/cepstrum_dct.h"

#include "core/brevit/frontend/fe_fixed_math.h"
#include "core/brevit/frontend/fe_reader.h"
#include "core/brevit/frontend/fe_simd.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

bool shiftsValid(const CepstrumDCT* dct)
{
    auto inRange = [](int32_t shift) { return shift >= 0 && shift <= 30; };
    if (!inRange(dct->inputShift) || !inRange(dct->c0Shift) || !inRange(dct->matrixShift))
        return false;
    const int32_t rounding = dct->matrixShift + dct->c0Shift - dct->inputShift;
    return rounding >= 1 && rounding <= 30;
}

bool padMatrix(CepstrumDCT* dct)
{
    const int32_t m = dct->numInputs;
    const int32_t rows = dct->numCepstra - 1;
    dct->paddedInputs = (m + 7) / 8 * 8;
    dct->paddedInput =
        static_cast<int16_t*>(DVKMem_Calloc(dct->paddedInputs * sizeof(int16_t)));
    if (dct->paddedInput == nullptr)
        return false;
    if (rows == 0)
        return true;
    dct->paddedMatrix = static_cast<int16_t*>(
        DVKMem_Calloc(static_cast<uint32_t>(rows) * dct->paddedInputs * sizeof(int16_t)));
    if (dct->paddedMatrix == nullptr)
        return false;
    for (int32_t k = 0; k < rows; ++k) {
        int64_t magnitude = 0;
        for (int32_t i = 0; i < m; ++i) {
            dct->paddedMatrix[k * dct->paddedInputs + i] = dct->matrix[k][i];
            magnitude += std::abs(int32_t{dct->matrix[k][i]});
        }
        dct->rowMagnitude = magnitude > dct->rowMagnitude ? magnitude : dct->rowMagnitude;
    }
    return true;
}

// c1 .. c(K-1) the portable way.
void rowsScalar(const CepstrumDCT* dct, const int16_t* in, int16_t* out, int32_t shift)
{
    const int32_t m = dct->numInputs;
    for (int32_t k = 1; k < dct->numCepstra; ++k) {
        const int16_t* row = dct->matrix[k - 1];
        int64_t acc = 0;
        for (int32_t i = 0; i < m; ++i)
            acc += int32_t{row[i]} * in[i];
        out[k] = FEFix_Clip16((acc + (int64_t{1} << (shift - 1))) >> shift);
    }
}

#if defined(__SSE2__)
// The rows by pmaddwd. With inputs small enough that no partial sum can
// reach 2^31 the lanes are summed in 32 bits; else, while no input is -32768
// (so no pmaddwd lane can overflow), in 64 bits. False, leaving out alone,
// otherwise.
bool rowsSSE2(const CepstrumDCT* dct, const int16_t* in, int16_t* out, int32_t shift)
{
    const int32_t m = dct->numInputs;
    int32_t largest = 0;
    for (int32_t i = 0; i < m; ++i)
        largest = std::max(largest, std::abs(int32_t{in[i]}));
    const bool narrow = largest * dct->rowMagnitude < (int64_t{1} << 31);
    if (!narrow && largest > 32767)
        return false;
    std::memcpy(dct->paddedInput, in, m * sizeof(int16_t));
    const int32_t blocks = dct->paddedInputs / 8;
    const int16_t* row = dct->paddedMatrix;
    const int64_t rounding = int64_t{1} << (shift - 1);
    for (int32_t k = 1; k < dct->numCepstra; ++k) {
        const int16_t* x = dct->paddedInput;
        int64_t sum = 0;
        if (narrow) {
            __m128i acc = _mm_setzero_si128();
            for (int32_t b = 0; b < blocks; ++b, x += 8, row += 8)
                acc = _mm_add_epi32(
                    acc, _mm_madd_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(x)),
                                        _mm_loadu_si128(reinterpret_cast<const __m128i*>(row))));
            acc = _mm_add_epi32(acc, _mm_shuffle_epi32(acc, _MM_SHUFFLE(1, 0, 3, 2)));
            acc = _mm_add_epi32(acc, _mm_shuffle_epi32(acc, _MM_SHUFFLE(2, 3, 0, 1)));
            sum = _mm_cvtsi128_si32(acc);
        } else {
            __m128i acc = _mm_setzero_si128();
            for (int32_t b = 0; b < blocks; ++b, x += 8, row += 8)
                acc = FESimd_AddMaddWide(acc, _mm_loadu_si128(reinterpret_cast<const __m128i*>(x)),
                                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(row)));
            sum = FESimd_SumWide(acc);
        }
        out[k] = FEFix_Clip16((sum + rounding) >> shift);
    }
    return true;
}
#endif

} // namespace

CepstrumDCT* CepstrumDCT_LoadFromBinFile(DVKTar* tar, const char* prefix)
{
    BinFileReader* reader = FEReader_Open(tar, "bdc0", prefix);
    if (reader == nullptr)
        return nullptr;
    auto* dct = static_cast<CepstrumDCT*>(DVKMem_Calloc(sizeof(CepstrumDCT)));
    bool ok = dct != nullptr &&
              FEReader_ReadInts(reader, &dct->numInputs, 5) && dct->numInputs >= 1 &&
              dct->numInputs <= 4096 && dct->numCepstra >= 1 && dct->numCepstra <= 4096 &&
              shiftsValid(dct);
    void* matrix = nullptr;
    int32_t rows = 0;
    int32_t columns = 0;
    ok = ok && BinFileReader_AllocateAndReadArray2D(reader, &matrix, &rows, &columns,
                                                    sizeof(int16_t));
    if (dct != nullptr)
        dct->matrix = static_cast<int16_t**>(matrix);
    ok = ok && rows == dct->numCepstra - 1 && (rows == 0 || columns == dct->numInputs) &&
         padMatrix(dct);
    BinFileReader_Delete(reader);
    if (!ok) {
        CepstrumDCT_Destroy(dct);
        return nullptr;
    }
    return dct;
}

void CepstrumDCT_Apply(const CepstrumDCT* dct, const int16_t* in, int16_t* out)
{
    const int32_t m = dct->numInputs;
    int32_t sum = 0;
    for (int32_t i = 0; i < m; ++i)
        sum += in[i];
    int64_t c0 = 0;
    if (dct->inputShift < dct->c0Shift) {
        const int32_t d = dct->c0Shift - dct->inputShift;
        c0 = (int64_t{sum} + (int64_t{1} << (d - 1))) >> d;
    } else {
        c0 = int64_t{sum} << (dct->inputShift - dct->c0Shift);
    }
    // Only the top is a designed clip; the bottom guards the 16-bit store.
    out[0] = FEFix_Clip16(c0 > 32767 ? 32767 : c0);

    const int32_t shift = dct->matrixShift + dct->c0Shift - dct->inputShift;
#if defined(__SSE2__)
    if (FESimd_Level() >= kFESimdSSE2 && rowsSSE2(dct, in, out, shift))
        return;
#endif
    rowsScalar(dct, in, out, shift);
}

void CepstrumDCT_Destroy(CepstrumDCT* dct)
{
    if (dct == nullptr)
        return;
    DVKMem_2DFree(dct->matrix);
    DVKMem_Free(dct->paddedMatrix);
    DVKMem_Free(dct->paddedInput);
    DVKMem_Free(dct);
}
