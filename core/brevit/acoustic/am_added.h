// Added phone models: extra phones past the model's phonemes whose states
// are trained on the device. Each has one state per position and each state
// one component; marks record which phones and states hold trained data.
#pragma once

#include <cstdint>

struct AM;

// Number of added phones (0 without added models).
int32_t AM_GetNumAddedPhones(const AM* am);
// Phone models of the model file before the added rows.
int32_t AM_GetNumTrainedModels(const AM* am);
int32_t AM_MarkAddedPhone(AM* am, int32_t phone);
void AM_UnmarkAddedPhone(AM* am, int32_t phone);
uint16_t AM_GetAddedStateId(const AM* am, int32_t phone, int32_t position);
void AM_SetComponentMean(AM* am, int32_t state, int32_t component, const uint8_t* mean);
// The added rows of the model-to-state table and the step-34 words agree
// with the rest of the model.
bool AM_AddedModelsFit(const AM* am);
