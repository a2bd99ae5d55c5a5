// The adapted parameters of a model in user storage: the adapted copies of
// the mean form, the added phone models with their marks, and the warp and
// MLLR words. Each record is a 4-byte word or a counted array; an array the
// model does not have is written with count 0.
#include "core/brevit/acoustic/am.h"

#include "core/brevit/acoustic/am_added.h"
#include "core/brevit/acoustic/am_util.h"
#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/bin_file_writer.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <cstring>
#include <initializer_list>

namespace {

const char* tagFor(int32_t selector1, int32_t selector2)
{
    if (selector1 == 0 && selector2 == 0)
        return "bamp0";
    if (selector1 == 1 && selector2 == 0)
        return "bamp1";
    if (selector1 == 0 && selector2 == 1)
        return "bamp2";
    return nullptr;
}

// Models whose parameters do not live in their own arrays, or whose scored
// codebook is itself an adapted copy, keep no adapted parameters here.
bool refused(const AM* am)
{
    return am->noParameters || (am->daMode && am->daRecord != nullptr) || am->vq.adapted != nullptr;
}

uint32_t ipWords(const AM* am)
{
    return static_cast<uint32_t>(am->fourBitMeans ? 3 : am->ipStride);
}

struct Sizes {
    uint32_t components;
    uint32_t constants;       // per-component constants when the model keeps them
    uint32_t addedStates;
};

Sizes sizesOf(const AM* am)
{
    Sizes z{};
    z.components = static_cast<uint32_t>(am->numComponents);
    z.constants = am->adaptable ? z.components : 0;
    z.addedStates = static_cast<uint32_t>(am->addedStateCount);
    return z;
}

// One array of the mean form: where the copy lives and its element form.
struct Form {
    void** copy;
    uint32_t count;
    uint32_t size;
};

int32_t formArrays(AM* am, Form* out)
{
    const Sizes z = sizesOf(am);
    int32_t n = 0;
    if (am->innerProduct) {
        const bool c16 = am->fourBitMeans;
        out[n++] = {reinterpret_cast<void**>(&am->adaptedIpMeans), z.components * ipWords(am), 4};
        out[n++] = {reinterpret_cast<void**>(&am->adaptedFirst16),
                    c16 && am->companions1.data != nullptr ? z.constants : 0, 2};
        out[n++] = {reinterpret_cast<void**>(&am->adaptedSecond16),
                    c16 && am->companions2.data != nullptr ? z.constants : 0, 2};
        out[n++] = {reinterpret_cast<void**>(&am->adaptedFirst32),
                    !c16 && am->companions1.data != nullptr ? z.constants : 0, 4};
        out[n++] = {reinterpret_cast<void**>(&am->adaptedSecond32),
                    !c16 && am->companions2.data != nullptr ? z.constants : 0, 4};
    } else if (am->hareTurtle) {
        out[n++] = {reinterpret_cast<void**>(&am->adaptedHtValues), am->htValues.count, 4};
        out[n++] = {reinterpret_cast<void**>(&am->adaptedHtVectors), am->htVectors.count, 4};
    } else {
        out[n++] = {reinterpret_cast<void**>(&am->adaptedMeans),
                    z.components * static_cast<uint32_t>(am->meanStride), 1};
    }
    return n;
}

int32_t addedArrays(AM* am, Form* out)
{
    const uint32_t states = sizesOf(am).addedStates;
    const auto given = [](const void* p, uint32_t n) { return p != nullptr ? n : 0u; };
    int32_t n = 0;
    out[n++] = {reinterpret_cast<void**>(&am->addedIpMeans), given(am->addedIpMeans, states * ipWords(am)), 4};
    out[n++] = {reinterpret_cast<void**>(&am->addedMeans),
                given(am->addedMeans, states * static_cast<uint32_t>(am->meanStride)), 1};
    out[n++] = {reinterpret_cast<void**>(&am->addedFirst32), given(am->addedFirst32, states), 4};
    out[n++] = {reinterpret_cast<void**>(&am->addedSecond32), given(am->addedSecond32, states), 4};
    out[n++] = {reinterpret_cast<void**>(&am->addedFirst16), given(am->addedFirst16, states), 2};
    out[n++] = {reinterpret_cast<void**>(&am->addedSecond16), given(am->addedSecond16, states), 2};
    out[n++] = {reinterpret_cast<void**>(&am->addedPhoneMarks),
                given(am->addedPhoneMarks, static_cast<uint32_t>(am->addedValue2) / 8 + 1), 1};
    out[n++] = {reinterpret_cast<void**>(&am->addedStateMarks), given(am->addedStateMarks, (states + 7) / 8), 1};
    return n;
}

bool adaptedNow(AM* am)
{
    Form forms[5];
    return am->adaptable && formArrays(am, forms) > 0 && *forms[0].copy != nullptr;
}

int32_t saveRecords(AM* am, BinFileWriter* w)
{
    const int32_t adapted = adaptedNow(am) ? 1 : 0;
    if (!BinFileWriter_WriteInt(w, adapted))
        return 0;
    Form forms[8];
    if (adapted) {
        const int32_t n = formArrays(am, forms);
        for (int32_t i = 0; i < n; ++i) {
            const void* data = *forms[i].copy;
            if (!BinFileWriter_WriteArray(w, data, data != nullptr ? forms[i].count : 0, forms[i].size))
                return 0;
        }
    }
    if (am->hasAddedModels) {
        const int32_t n = addedArrays(am, forms);
        for (int32_t i = 0; i < n; ++i)
            if (!BinFileWriter_WriteArray(w, *forms[i].copy, forms[i].count, forms[i].size))
                return 0;
    }
    return BinFileWriter_WriteInt(w, am->warpIndexSet) && BinFileWriter_WriteInt(w, am->warpIndex) &&
                   BinFileWriter_WriteInt(w, am->mllr.applied & 0xFF)
               ? 1
               : 0;
}

bool readBoolean(BinFileReader* r, int32_t* value)
{
    return BinFileReader_ReadInt(r, value) && (*value == 0 || *value == 1);
}

int32_t loadRecords(AM* am, BinFileReader* r)
{
    int32_t adapted = 0;
    // A model that cannot adapt has no adapted parameters to take.
    if (!readBoolean(r, &adapted) || (adapted && !am->adaptable))
        return 0;
    Form forms[8];
    if (adapted) {
        const int32_t n = formArrays(am, forms);
        for (int32_t i = 0; i < n; ++i) {
            if (*forms[i].copy != nullptr) {
                if (!BinFileReader_ReadArray(r, *forms[i].copy, forms[i].size, forms[i].count))
                    return 0;
                continue;
            }
            void* data = nullptr;
            uint32_t count = 0;
            if (!BinFileReader_AllocateAndReadArray(r, forms[i].size, &data, &count))
                return 0;
            if (data != nullptr && count != forms[i].count) {
                DVKMem_Free(data);
                return 0;
            }
            *forms[i].copy = data;
        }
        am->adapted = 1;
        AM_PointAtAdaptedCopies(am);
    }
    if (am->hasAddedModels) {
        const int32_t n = addedArrays(am, forms);
        for (int32_t i = 0; i < n; ++i)
            if (!BinFileReader_ReadArray(r, *forms[i].copy, forms[i].size, forms[i].count))
                return 0;
    }
    int32_t warpSet = 0;
    int32_t warp = 0;
    int32_t mllr = 0;
    if (!readBoolean(r, &warpSet))
        return 0;
    am->warpIndexSet = warpSet;
    if (!BinFileReader_ReadInt(r, &warp))
        return 0;
    am->warpIndex = warp;
    if (!BinFileReader_ReadInt(r, &mllr))
        return 0;
    am->mllr.applied = mllr & 0xFF;
    return 1;
}

} // namespace

int32_t AM_SaveAdaptedParameters(AM* am, DVKTar* tar, const char* prefix, int32_t selector1,
                                 int32_t selector2)
{
    const char* tag = tagFor(selector1, selector2);
    if (am == nullptr || tag == nullptr || refused(am))
        return 0;
    BinFileWriter* w = BinFileWriter_Create(tar, tag, prefix);
    if (w == nullptr)
        return 0;
    const int32_t ok = saveRecords(am, w);
    return BinFileWriter_Delete(w) == 0 && ok ? 1 : 0;
}

int32_t AM_LoadAdaptedParameters(AM* am, DVKTar* tar, const char* prefix, int32_t selector1,
                                 int32_t selector2)
{
    const char* tag = tagFor(selector1, selector2);
    if (am == nullptr || tag == nullptr || refused(am))
        return 0;
    BinFileReader* r = BinFileReader_Create(tar, tag, prefix);
    if (r == nullptr)
        return 0;
    const int32_t ok = loadRecords(am, r);
    BinFileReader_Delete(r);
    return ok;
}

void AM_PointAtAdaptedCopies(AM* am)
{
    if (am->adaptedMeans != nullptr)
        am->means2 = am->adaptedMeans;
    if (am->adaptedIpMeans != nullptr)
        am->ipMeans2 = am->adaptedIpMeans;
    AM_ResetCompanions(am);
}

void AM_FreeAdaptedCopies(AM* am)
{
    for (void* p : {static_cast<void*>(am->adaptedMeans), static_cast<void*>(am->adaptedIpMeans),
                    static_cast<void*>(am->adaptedFirst16), static_cast<void*>(am->adaptedSecond16),
                    static_cast<void*>(am->adaptedFirst32), static_cast<void*>(am->adaptedSecond32),
                    static_cast<void*>(am->adaptedHtValues), static_cast<void*>(am->adaptedHtVectors)})
        DVKMem_Free(p);
    am->adaptedMeans = nullptr;
    am->adaptedIpMeans = nullptr;
    am->adaptedFirst16 = am->adaptedSecond16 = nullptr;
    am->adaptedFirst32 = am->adaptedSecond32 = nullptr;
    am->adaptedHtValues = am->adaptedHtVectors = nullptr;
    am->adapted = 0;
}

uint32_t AM_AddAdaptedParametersCRC(AM* am, uint32_t crc)
{
    Form forms[8];
    int32_t n = formArrays(am, forms);
    for (int32_t i = 0; i < n; ++i)
        if (*forms[i].copy != nullptr && forms[i].count > 0)
            crc = DVKCrc_AddArray(*forms[i].copy, static_cast<int32_t>(forms[i].size),
                                  static_cast<int32_t>(forms[i].count), crc);
    if (!am->hasAddedModels)
        return crc;
    n = addedArrays(am, forms);
    for (int32_t i = 0; i < n; ++i)
        if (*forms[i].copy != nullptr && forms[i].count > 0)
            crc = DVKCrc_AddArray(*forms[i].copy, static_cast<int32_t>(forms[i].size),
                                  static_cast<int32_t>(forms[i].count), crc);
    return crc;
}
