// Model utilities that adaptation and the synthesiser need beside scoring:
// state centroids, writable copies of the parameters adaptation changes,
// the values derived from the means recomputed after they changed, and
// small table and checksum operations.
#pragma once

#include <cstdint>

struct AM;

// out[d] = (sum of the state's component means in d + k / 2) / k, k its
// component count; a state without components gives the low feature byte.
void AM_GetStateCentroid(AM* am, int32_t state, uint8_t* out);

// Gives the model its own copies of the mean form adaptation changes (byte
// means, inner-product rows and their companions, Hare/Turtle values and
// products), zeroed or, with copy, holding the loaded content; the second
// parameter set then scores them. Records how many states have their
// companions and their Hare/Turtle form recomputed. 0 when an allocation
// fails: the copies made by the call are released and nothing changes.
int32_t AM_MakeParametersWritable(AM* am, int32_t copy, int32_t companionStates, int32_t sumScaledStates);
// The second set's companions: the adapted copies where they exist, else
// the loaded arrays; the second companion only with the threshold flag.
void AM_ResetCompanions(AM* am);
// Each component's companions from its mean: the sums of squares of
// dimensions 0-7 and 8 .. scoring dimension - 1, apart with the threshold
// flag, else together in the first. Written where the state is scored from.
void AM_ComputeStateCompanions(AM* am, int32_t state);
void AM_ComputeCompanions(AM* am);
// Each component's Hare/Turtle form from its mean: products w x m and the
// value's constant part plus the sum of w x m^2. The other forms keep their
// means as they are scored, so there is nothing to rewrite.
void AM_ComputeStateSumScaledMeans(AM* am, int32_t state);
void AM_ComputeSumScaledMeans(AM* am);

// Entry i of the posterior weight table, 0 outside it.
int32_t AM_GetPosteriorWeight(const AM* am, int32_t i);
// Calls the accumulate slot of an adaptable model that has one; its result,
// 1 when nothing was called.
uint32_t AM_CallAccumulateHook(AM* am, const uint8_t* frame, int32_t state, int32_t component, int16_t weight);
// CRC-32 over the model-to-state rows; all ones without a table.
uint32_t AM_ComputeModelTableCRC(const AM* am);
