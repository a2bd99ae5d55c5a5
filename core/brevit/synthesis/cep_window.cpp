#include "core/brevit/synthesis/cep_window.h"

#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/synthesis/cep_fixed.h"
#include "core/brevit/synthesis/cep_load.h"

namespace {

bool readCepWindow(BinFileReader* reader, CepWindow* window)
{
    const bool ok = BinFileReader_ReadInt(reader, &window->length) &&
                    window->length >= 0 &&
                    CepLoad_ReadShorts(reader, window->length / 2, &window->full) &&
                    CepLoad_ReadShorts(reader, window->length / 4, &window->half);
    return ok;
}

} // namespace

CepWindow* CepWindow_LoadFromBinFile(DVKTar* tar, const char* prefix)
{
    return CepLoad_Object(tar, "bh1", prefix, readCepWindow, CepWindow_Delete);
}

void CepWindow_Delete(CepWindow* window)
{
    if (window == nullptr)
        return;
    DVKMem_Free(window->full);
    DVKMem_Free(window->half);
    DVKMem_Free(window);
}

void CepWindow_Apply(const CepWindow* window, int32_t halfRate, int32_t e, int16_t* x)
{
    const int32_t length = halfRate ? window->length / 2 : window->length;
    const int16_t* h = halfRate ? window->half : window->full;
    const int32_t shift = e + 15;
    for (int32_t i = 0; i < length - 1 - i; ++i) {
        const int32_t j = length - 1 - i;
        x[i] = CepFixed_Sat16(CepFixed_RoundShift(int64_t{h[i]} * x[i], shift));
        x[j] = CepFixed_Sat16(CepFixed_RoundShift(int64_t{h[i]} * x[j], shift));
    }
}
