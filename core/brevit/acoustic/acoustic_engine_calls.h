// What the engine object calls of the acoustic models: the object holds up
// to four models and never looks inside them.
#pragma once

#include "core/brevit/runtime/dvk_tar.h"

#include <cstdint>

struct AM;

// Loads model kind 0..6 ("ba0", "ba1", "ba5", "ba6", "ba2", "ba3", "ba4") of
// the archive under prefix (or none); other kinds read the bare prefix. Null
// on failure, with nothing left allocated.
AM* AM_LoadFromBinFile(DVKTar* tar, const char* prefix, int32_t kind);
// Frees a model; null is ignored.
void AM_Destroy(AM* model);

// CRC-32 of the parameters (with the frame state when withState is set);
// all ones for a model without parameters.
uint32_t AM_ComputeCRC(AM* model, int32_t withState);
// CRC-32 of the model-to-state table and the tying tree.
uint32_t AM_ComputeTopologyCRC(const AM* model);

int32_t AM_GetFeatureDim(const AM* model);
uint16_t AM_GetSilenceStateId(const AM* model);
int32_t AM_GetAdaptationStatusFlag(const AM* model);
int32_t AM_HasMLLRTransform(const AM* model);
int32_t AM_IsWarpIndexSet(const AM* model);
int32_t AM_GetWarpIndex(const AM* model);
void AM_SetWarpIndex(AM* model, int32_t index);

// Clamps a fetched frame's bytes to the model's feature range.
void AM_ClampFeature(const AM* model, uint8_t* frame);
// Non-zero when frameIndex is the current frame; the best state other than
// the filler.
int32_t AM_GetBestState(AM* model, int32_t frameIndex, uint16_t* state);
// The average of the state's component means.
void AM_GetStateCentroid(AM* model, int32_t state, uint8_t* out);
// Drops run-time trained phone models that no word uses any more.
int32_t AM_DeleteTrainedModels(AM* model, const uint8_t* phonemeUseFlags);
int32_t AM_LoadAdaptedParameters(AM* model, DVKTar* tar, const char* prefix, int32_t selector1,
                                 int32_t selector2);
int32_t AM_SaveAdaptedParameters(AM* model, DVKTar* tar, const char* prefix, int32_t selector1,
                                 int32_t selector2);
void AM_StartEnrollmentSession(AM* model);
void AM_EndEnrollmentSession(AM* model);

// Dynamic silence model.
int32_t AM_GetDynSilSnapshotSize(const AM* model);
int32_t AM_DynSilFillInSnapshot(AM* model, uint8_t* snapshot);
int32_t AM_InitDynamicSilenceModel(AM* model);
int32_t AM_ApplyDynamicSilenceModel(AM* model, int32_t fromInitial);
void AM_UpdateDynamicSilenceModel(AM* model, const uint8_t* frame, int32_t isSilence);
