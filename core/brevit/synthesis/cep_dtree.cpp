#include "core/brevit/synthesis/cep_dtree.h"

#include "core/brevit/acoustic/acoustic_engine_calls.h"
#include "core/brevit/acoustic/am.h"
#include "core/brevit/acoustic/am_params.h"
#include "core/brevit/acoustic/decision_tree.h"
#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_mem_stack.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

constexpr int32_t kSpectrumKind = 4;
constexpr int32_t kDurationKind = 5;
constexpr int32_t kPitchKind = 6;

// Arithmetic right shift of a 64-bit sum; 32 or more leaves the sign.
int64_t shiftRight(int64_t v, int32_t shift)
{
    if (shift >= 32)
        return v < 0 ? -1 : 0;
    return v >> shift;
}

// A table of exactly count elements, or (when absent is allowed) none.
bool readTable(BinFileReader* reader, int64_t count, bool absentAllowed, int32_t** table)
{
    void* data = nullptr;
    uint32_t n = 0;
    if (!BinFileReader_AllocateAndReadArray(reader, sizeof(int32_t), &data, &n))
        return false;
    *table = static_cast<int32_t*>(data);
    return n == count || (n == 0 && absentAllowed);
}

bool readHeader(BinFileReader* reader, CepDTree* t)
{
    int32_t* const fields[] = {&t->D, &t->phonemeNodeCount, &t->integerScaling, &t->byteOffset,
                               &t->fifthWord, &t->shift, &t->rounding};
    for (int32_t* field : fields)
        if (!BinFileReader_ReadInt(reader, field))
            return false;
    // A negative shift has no meaning; D sizes every table.
    if (t->D < 1 || t->D > 0x7FFFFFF || t->shift < 0)
        return false;
    const int64_t three = 3 * static_cast<int64_t>(t->D);
    // Decoding multiplies by the base and scale tables: with integer scaling
    // they must be there.
    if (t->integerScaling &&
        !(readTable(reader, three, false, &t->baseTable) &&
          readTable(reader, three, false, &t->scaleTable) &&
          readTable(reader, three, true, &t->thirdTable) &&
          readTable(reader, t->D, true, &t->fourthTable) &&
          readTable(reader, t->D, true, &t->postScaleTable)))
        return false;
    return BinFileReader_ReadUnsignedInt(reader, &t->phonemeSetCRC) == 1;
}

bool contextTree(const AM* am)
{
    return am->tree != nullptr && am->tree->contextVector;
}

bool unscales(const AM* am)
{
    return am->unscaleBase.data != nullptr && am->unscaleScale.data != nullptr;
}

// What the frame means and states read of the models.
bool soundModels(const CepDTree* t)
{
    return contextTree(t->spectrum) && contextTree(t->duration) && contextTree(t->pitch) &&
           AM_GetFeatureDim(t->spectrum) == 3 * t->D && AM_GetFeatureDim(t->pitch) == 3 &&
           unscales(t->pitch) && (t->integerScaling || unscales(t->spectrum));
}

int16_t toInt16(int64_t v)
{
    return static_cast<int16_t>(std::clamp<int64_t>(v, std::numeric_limits<int16_t>::min(),
                                                    std::numeric_limits<int16_t>::max()));
}

bool known(const AM* am, uint16_t state)
{
    return state < AM_GetNumStates(am);
}

} // namespace

CepDTree* CepDTree_LoadFromBinFile(DVKTar* tar, const char* prefix)
{
    BinFileReader* reader = BinFileReader_Create(tar, "btc0", prefix);
    if (reader == nullptr)
        return nullptr;
    auto* tree = static_cast<CepDTree*>(DVKMem_Calloc(sizeof(CepDTree)));
    const bool ok = tree != nullptr && readHeader(reader, tree);
    BinFileReader_Delete(reader);
    if (!ok) {
        CepDTree_Delete(tree);
        return nullptr;
    }
    // A model's reader record raises when memory runs out: free what was
    // read before passing the error on.
    const int32_t raised = DVKErr_Protect([&] {
        tree->spectrum = AM_LoadFromBinFile(tar, prefix, kSpectrumKind);
        if (tree->spectrum != nullptr)
            tree->duration = AM_LoadFromBinFile(tar, prefix, kDurationKind);
        if (tree->duration != nullptr)
            tree->pitch = AM_LoadFromBinFile(tar, prefix, kPitchKind);
    });
    if (raised) {
        CepDTree_Delete(tree);
        DVKErr_Throw();
    }
    // Sized once the spectrum model has vouched for D.
    if (tree->pitch != nullptr && soundModels(tree))
        tree->unscaleBuffer = static_cast<int32_t*>(
            DVKMem_Calloc(3 * static_cast<uint32_t>(tree->D) * sizeof(int32_t)));
    if (tree->unscaleBuffer == nullptr) {
        CepDTree_Delete(tree);
        return nullptr;
    }
    return tree;
}

void CepDTree_Delete(CepDTree* tree)
{
    if (tree == nullptr)
        return;
    DVKMem_Free(tree->baseTable);
    DVKMem_Free(tree->scaleTable);
    DVKMem_Free(tree->thirdTable);
    DVKMem_Free(tree->fourthTable);
    DVKMem_Free(tree->postScaleTable);
    DVKMem_Free(tree->unscaleBuffer);
    AM_Destroy(tree->spectrum);
    AM_Destroy(tree->duration);
    AM_Destroy(tree->pitch);
    DVKMem_Free(tree);
}

uint32_t CepDTree_ComputeCRC(const CepDTree* tree)
{
    uint32_t crc = 0xFFFFFFFFu;
    crc = DVKCrc_AddValue(AM_ComputeCRC(tree->duration, 0), 4, crc);
    crc = DVKCrc_AddValue(AM_ComputeCRC(tree->spectrum, 0), 4, crc);
    crc = DVKCrc_AddValue(AM_ComputeCRC(tree->pitch, 0), 4, crc);
    crc = DVKCrc_AddValue(static_cast<uint32_t>(tree->D), 4, crc);
    crc = DVKCrc_AddValue(static_cast<uint32_t>(tree->phonemeNodeCount), 4, crc);
    return DVKCrc_AddValue(tree->phonemeSetCRC, 4, crc);
}

uint32_t CepDTree_GetPhonemeSetCRC(const CepDTree* tree)
{
    return tree->phonemeSetCRC;
}

int32_t CepDTree_GetNumTTSPhonemeNodes(const CepDTree* tree)
{
    return tree->phonemeNodeCount;
}

void CepDTree_GetStates(const CepDTree* tree, const uint8_t* context, int32_t s, int32_t* duration,
                        int32_t* voicing, uint16_t* spectrumState, uint16_t* pitchState)
{
    auto* copy = static_cast<uint8_t*>(DVKTempMem_Malloc(kCepDTreeContextLength));
    std::memcpy(copy, context, kCepDTreeContextLength);
    const uint16_t durationState =
        AM_GetTiedStateByFeatures(tree->duration, copy, kCepDTreeContextLength, 0);
    const uint16_t spectrum = AM_GetTiedStateByFeatures(tree->spectrum, copy, kCepDTreeContextLength, s);
    const uint16_t pitch = AM_GetTiedStateByFeatures(tree->pitch, copy, kCepDTreeContextLength, s);
    // No state, or a position past the duration vector, lasts no frame.
    *duration = 0;
    if (known(tree->duration, durationState) && s >= 0 && s < AM_GetFeatureDim(tree->duration))
        *duration = AM_GetComponentMean(tree->duration, durationState, 0)[s];
    if (spectrumState != nullptr)
        *spectrumState = spectrum;
    if (pitchState != nullptr)
        *pitchState = pitch;
    *voicing = known(tree->pitch, pitch) ? AM_GetStateAuxValue(tree->pitch, pitch, 0) : 0;
    DVKTempMem_Free(copy, kCepDTreeContextLength);
}

void CepDTree_GetFrameMeans(CepDTree* tree, uint16_t spectrumState, uint16_t pitchState,
                            int32_t* pitchMeans, int16_t* cepstralMeans)
{
    const int32_t D = tree->D;
    const int32_t written = tree->integerScaling ? 3 * D : D;
    if (!known(tree->spectrum, spectrumState)) {
        std::fill(cepstralMeans, cepstralMeans + written, 0);
    } else if (tree->integerScaling) {
        const uint8_t* b = AM_GetComponentMean(tree->spectrum, spectrumState, 0);
        for (int32_t k = 0; k < 3 * D; ++k) {
            const int64_t v = int64_t{tree->rounding} + tree->baseTable[k] +
                              int64_t{tree->scaleTable[k]} * (int64_t{b[k]} - tree->byteOffset);
            cepstralMeans[k] = toInt16(shiftRight(v, tree->shift));
        }
    } else {
        AM_UnscaleFeature(tree->spectrum, AM_GetComponentMean(tree->spectrum, spectrumState, 0),
                          tree->unscaleBuffer);
        for (int32_t k = 0; k < D; ++k)
            cepstralMeans[k] = toInt16(tree->unscaleBuffer[k]);
    }
    if (!known(tree->pitch, pitchState)) {
        std::fill(pitchMeans, pitchMeans + 3, 0);
        return;
    }
    AM_UnscaleFeature(tree->pitch, AM_GetComponentMean(tree->pitch, pitchState, 0), pitchMeans);
}

void CepDTree_GetInvVariances(const CepDTree* tree, double* spectrum, double* pitch)
{
    if (spectrum != nullptr)
        AM_GetInvVariances(tree->spectrum, spectrum);
    if (pitch != nullptr)
        AM_GetInvVariances(tree->pitch, pitch);
}

void CepDTree_PostScale(const CepDTree* tree, int32_t* cepstra)
{
    if (tree->postScaleTable == nullptr)
        return;
    for (int32_t k = 0; k < tree->D; ++k) {
        const int64_t v = shiftRight(int64_t{tree->rounding} + cepstra[k], tree->shift) *
                          tree->postScaleTable[k];
        cepstra[k] = static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                              std::numeric_limits<int32_t>::max()));
    }
}
