#include "core/brevit/frontend/linear_transform.h"

#include "core/brevit/frontend/fe_reader.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"

namespace {

bool valid(const LinearTransform* t)
{
    if (t->shiftA < 0 || t->shiftA > 30 || t->shiftB < 0 || t->shiftB > 30)
        return false;
    const int32_t shift = t->shiftA + t->shiftB;
    if (t->numOutputs < 1 || t->numOutputs > 4096 || t->rowLength < 1 || t->rowLength > 4096 ||
        t->numRows < 1 || t->numRows > 4096 || t->numDiagonal < 0 || t->numDiagonal > t->numRows ||
        t->shiftA < 0 || t->shiftB < 0 || shift < 1 || shift > 30 || t->offsetShift < 0 ||
        t->offsetShift > shift)
        return false;
    for (int32_t j = 0; j < t->numOutputs; ++j)
        if (t->rowIndex[j] < 0 || t->rowIndex[j] >= t->numRows)
            return false;
    return true;
}

// One transform's records; the object is freed by the caller on failure.
bool readTransform(BinFileReader* reader, LinearTransform* t)
{
    if (!FEReader_ReadInts(reader, &t->numOutputs, 7))
        return false;
    void* rowIndex = nullptr;
    void* offsets = nullptr;
    void* matrix = nullptr;
    uint32_t outputs = 0;
    uint32_t rows = 0;
    int32_t matrixRows = 0;
    int32_t columns = 0;
    bool ok = BinFileReader_AllocateAndReadArray(reader, sizeof(int32_t), &rowIndex, &outputs);
    t->rowIndex = static_cast<int32_t*>(rowIndex);
    ok = ok && BinFileReader_AllocateAndReadArray(reader, sizeof(int16_t), &offsets, &rows);
    t->offsets = static_cast<int16_t*>(offsets);
    ok = ok && BinFileReader_AllocateAndReadArray2D(reader, &matrix, &matrixRows, &columns,
                                                    sizeof(int16_t));
    t->matrix = static_cast<int16_t**>(matrix);
    return ok && outputs == static_cast<uint32_t>(t->numOutputs) && rowIndex != nullptr &&
           rows == static_cast<uint32_t>(t->numRows) && offsets != nullptr &&
           matrixRows == t->numRows && columns == t->rowLength && valid(t);
}

} // namespace

LinearTransform* LinearTransform_LoadFromBinFile(DVKTar* tar, const char* prefix,
                                                 LinearTransform** second)
{
    *second = nullptr;
    BinFileReader* reader = FEReader_Open(tar, "bld0", prefix);
    if (reader == nullptr)
        return nullptr;
    auto* first = static_cast<LinearTransform*>(DVKMem_Calloc(sizeof(LinearTransform)));
    LinearTransform* other = nullptr;
    int32_t hasSecond = 0;
    bool ok = first != nullptr && readTransform(reader, first) &&
              BinFileReader_ReadBoolean(reader, &hasSecond);
    if (ok && hasSecond) {
        other = static_cast<LinearTransform*>(DVKMem_Calloc(sizeof(LinearTransform)));
        ok = other != nullptr && readTransform(reader, other);
    }
    BinFileReader_Delete(reader);
    if (!ok) {
        LinearTransform_Destroy(first);
        LinearTransform_Destroy(other);
        return nullptr;
    }
    *second = other;
    return first;
}

void LinearTransform_Apply(const LinearTransform* t, const int16_t* x, uint8_t* out)
{
    const int32_t s = t->shiftA + t->shiftB;
    for (int32_t j = 0; j < t->numOutputs; ++j) {
        const int32_t r = t->rowIndex[j];
        const int16_t* row = t->matrix[r];
        int64_t acc = 0;
        if (t->rowLength == 1) {
            acc = int32_t{row[0]} * x[r];
        } else {
            for (int32_t i = 0; i < t->rowLength; ++i)
                acc += int32_t{row[i]} * x[i];
        }
        const int64_t v = (acc + (int64_t{1} << (s - 1)) +
                           (int64_t{t->offsets[r]} * (int64_t{1} << (s - t->offsetShift)))) >> s;
        out[j] = static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
    }
}

void LinearTransform_GetScales(const LinearTransform* t, int16_t* scales, int32_t* shift)
{
    *shift = t->shiftA + t->shiftB;
    if (t->matrix == nullptr) {
        for (int32_t j = 0; j < t->numOutputs; ++j)
            scales[j] = 1;
        return;
    }
    for (int32_t i = 0; i < t->numDiagonal; ++i)
        scales[i] = t->matrix[i][0];
}

const int32_t* LinearTransform_GetRowIndex(const LinearTransform* t) { return t->rowIndex; }

uint32_t LinearTransform_ComputeCRC(const LinearTransform* t)
{
    uint32_t crc = 0xFFFFFFFFu;
    if (t == nullptr)
        return crc;
    for (int32_t r = 0; r < t->numRows; ++r)
        crc = DVKCrc_AddArray(t->matrix[r], 2, t->rowLength, crc);
    crc = DVKCrc_AddArray(t->offsets, 2, t->numRows, crc);
    crc = DVKCrc_AddArray(t->rowIndex, 4, t->numOutputs, crc);
    for (const int32_t* v = &t->numOutputs; v <= &t->shiftB; ++v)
        crc = DVKCrc_AddInt(static_cast<uint32_t>(*v), crc);
    return crc;
}

void LinearTransform_Destroy(LinearTransform* t)
{
    if (t == nullptr)
        return;
    DVKMem_Free(t->rowIndex);
    DVKMem_Free(t->offsets);
    DVKMem_2DFree(t->matrix);
    DVKMem_Free(t);
}
