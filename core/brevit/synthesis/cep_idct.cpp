#include "core/brevit/synthesis/cep_idct.h"

#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/synthesis/cep_fixed.h"
#include "core/brevit/synthesis/cep_load.h"

namespace {

bool readCepIdct(BinFileReader* reader, CepIdct* idct)
{
    int32_t* const fields[] = {&idct->specLength, &idct->cepLength};
    void* matrix = nullptr;
    int32_t rows = 0;
    int32_t columns = 0;
    bool ok = CepLoad_ReadInts(reader, fields, 2) && idct->specLength >= 1 &&
              idct->cepLength >= 1 &&
              BinFileReader_AllocateAndReadArray2D(reader, &matrix, &rows, &columns,
                                                   sizeof(int16_t));
    idct->matrix = static_cast<int16_t**>(matrix);
    ok = ok && matrix != nullptr && rows == idct->specLength && columns == idct->cepLength - 1;
    return ok;
}

} // namespace

CepIdct* CepIdct_LoadFromBinFile(DVKTar* tar, const char* prefix)
{
    return CepLoad_Object(tar, "idctcoeff", prefix, readCepIdct, CepIdct_Delete);
}

void CepIdct_Delete(CepIdct* idct)
{
    if (idct == nullptr)
        return;
    DVKMem_2DFree(idct->matrix);
    DVKMem_Free(idct);
}

void CepIdct_Apply(const CepIdct* idct, int32_t logGain, int32_t q, const int32_t* c,
                   int16_t* out)
{
    const int32_t r = idct->specLength;
    const int64_t base = static_cast<int64_t>(c[0] / r) * 2048;
    for (int32_t i = 0; i < r; ++i) {
        const int16_t* row = idct->matrix[i];
        int64_t acc = base;
        for (int32_t j = 1; j < idct->cepLength; ++j)
            acc += static_cast<int64_t>(c[j]) * row[j - 1];
        out[i] = CepFixed_Sat16(CepFixed_Sat32(logGain + CepFixed_RoundShift(acc, q)));
    }
}
