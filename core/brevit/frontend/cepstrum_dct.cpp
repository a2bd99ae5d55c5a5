#include "core/brevit/frontend/cepstrum_dct.h"

#include "core/brevit/frontend/fe_fixed_math.h"
#include "core/brevit/frontend/fe_reader.h"
#include "core/brevit/runtime/dvk_mem.h"

namespace {

bool shiftsValid(const CepstrumDCT* dct)
{
    auto inRange = [](int32_t shift) { return shift >= 0 && shift <= 30; };
    if (!inRange(dct->inputShift) || !inRange(dct->c0Shift) || !inRange(dct->matrixShift))
        return false;
    const int32_t rounding = dct->matrixShift + dct->c0Shift - dct->inputShift;
    return rounding >= 1 && rounding <= 30;
}

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
    ok = ok && rows == dct->numCepstra - 1 && (rows == 0 || columns == dct->numInputs);
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
    for (int32_t k = 1; k < dct->numCepstra; ++k) {
        const int16_t* row = dct->matrix[k - 1];
        int64_t acc = 0;
        for (int32_t i = 0; i < m; ++i)
            acc += int32_t{row[i]} * in[i];
        out[k] = FEFix_Clip16((acc + (int64_t{1} << (shift - 1))) >> shift);
    }
}

void CepstrumDCT_Destroy(CepstrumDCT* dct)
{
    if (dct == nullptr)
        return;
    DVKMem_2DFree(dct->matrix);
    DVKMem_Free(dct);
}
