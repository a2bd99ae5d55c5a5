#include "core/brevit/synthesis/cep_spectrum_shape.h"

#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/synthesis/cep_fixed.h"
#include "core/brevit/synthesis/cep_load.h"
#include "core/brevit/synthesis/fix_exp.h"

namespace {

bool readCepSpecShape(BinFileReader* reader, CepSpecShape* shape)
{
    int32_t* const fields[] = {&shape->bands,   &shape->halfBands,   &shape->kept[0],
                               &shape->kept[1], &shape->kept[2], &shape->weightCount};
    bool ok = CepLoad_ReadInts(reader, fields, 6) && shape->bands >= 2 &&
              shape->halfBands >= 1 && shape->halfBands <= shape->bands &&
              shape->weightCount >= 0 && BinFileReader_ReadShort(reader, &shape->tilt) &&
              CepLoad_ReadShorts(reader, shape->weightCount, &shape->weights) &&
              CepLoad_ReadShorts(reader, int64_t{shape->bands} + 2, &shape->edges) &&
              CepLoad_ReadShorts(reader, shape->bands, &shape->offsets);
    if (ok) {
        for (int32_t i = 0; i < shape->bands + 2 && ok; ++i)
            ok = shape->edges[i] >= 0 && (i == 0 || shape->edges[i] >= shape->edges[i - 1]);
        ok = ok && shape->weightCount >= shape->edges[shape->bands] - shape->edges[1];
    }
    return ok;
}

} // namespace

CepSpecShape* CepSpecShape_LoadFromBinFile(DVKTar* tar, const char* prefix)
{
    return CepLoad_Object(tar, "bim0", prefix, readCepSpecShape, CepSpecShape_Delete);
}

void CepSpecShape_Delete(CepSpecShape* shape)
{
    if (shape == nullptr)
        return;
    DVKMem_Free(shape->weights);
    DVKMem_Free(shape->edges);
    DVKMem_Free(shape->offsets);
    DVKMem_Free(shape);
}

bool CepSpecShape_FitTransform(CepSpecShape* shape, int32_t tableSize)
{
    if (shape->edges[shape->bands + 1] > tableSize / 2 ||
        shape->edges[shape->halfBands] > tableSize / 4)
        return false;
    shape->tableSize = tableSize;
    return true;
}

void CepSpecShape_Apply(const CepSpecShape* shape, int32_t halfRate, int32_t* blockExponent,
                        int16_t* L, int16_t* spectrum)
{
    const int32_t bands = shape->bands;
    const int32_t used = halfRate ? (shape->halfBands + 1 < bands ? shape->halfBands + 1 : bands)
                                  : bands;
    int64_t sum = 0;
    int64_t moment = 0;
    for (int32_t i = 0; i < bands; ++i) {
        L[i] = CepFixed_Sat16(int64_t{L[i]} + shape->offsets[i]);
        sum += L[i];
        moment += int64_t{i} * L[i];
    }
    const int64_t mean = sum / bands;
    const int64_t slope = moment / (int64_t{bands} * (bands - 1)) - mean / 2;
    const int64_t inc = (768 * slope) / bands;
    int64_t acc = (mean - 6 * slope) * 64 + 32 - (inc < 0 ? 1 : 0);
    for (int32_t i = 0; i < used; ++i) {
        const int64_t line = acc >> 6;
        L[i] = CepFixed_Sat16(L[i] + ((shape->tilt * (L[i] - line) + 16384) >> 15));
        acc += inc;
    }

    *blockExponent = FixExpVector(used, L, 11);

    const int32_t bins = halfRate ? shape->tableSize / 4 : shape->tableSize / 2;
    const int16_t* edge = shape->edges;
    const int16_t* weight = shape->weights;
    int32_t bin = 0;
    for (; bin < edge[0]; ++bin)
        spectrum[2 * bin] = 0;
    for (; bin < edge[1]; ++bin)
        spectrum[2 * bin] = L[0];
    const int32_t last = halfRate ? shape->halfBands - 2 : bands - 2;
    for (int32_t j = 0; j <= last; ++j) {
        for (; bin < edge[j + 2]; ++bin) {
            const int64_t w = *weight++;
            const int64_t v = (L[j] * w + L[j + 1] * (32768 - w) + 16384) >> 15;
            spectrum[2 * bin] = static_cast<int16_t>(v > 32767 ? 32767 : v);
        }
    }
    if (!halfRate)
        for (; bin < edge[bands + 1]; ++bin)
            spectrum[2 * bin] = L[bands - 1];
    for (; bin < bins; ++bin)
        spectrum[2 * bin] = 0;
}
