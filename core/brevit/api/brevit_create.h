// Engine creation from a model set: loading its archive (or pair of
// archives), core initialisation and the decoders. The entry points are in
// brevit.h; these are the steps, for storage, fuzz targets and tests.
#pragma once

#include "core/brevit/api/brevit.h"

#include <cstdint>

struct BrevitEngine;
struct DVKTar;

// Parameter words of creation that have no name elsewhere.
inline constexpr int kBrevitParamRefuseFullTransform = 140;
inline constexpr int kBrevitParamConstraintCapacity = 346;
inline constexpr int kBrevitParamGrammarCapacity = 380;
// End-pointer minimum speech and silence (ms) of the four settings.
inline constexpr int kBrevitParamEndPointerWords[4][2] = {{370, 373}, {368, 369}, {362, 363}, {371, 372}};

// The record's front-end, model-0, vocabulary and topology checksums.
struct BrevitModelSetCRCs {
    uint32_t frontEnd;
    uint32_t model;
    uint32_t vocabulary;
    uint32_t topology;
};

// Loads one model-set archive of mode 0, 1 or 2 (2 into the object a mode-1
// load made, given in *engine). 0; 4 for another mode; 1 when anything is
// refused (the components read so far stay in the object, which the caller
// discards). An engine error may unwind through it with *engine set.
EBrevit BrevitPriv_LoadModelSet(DVKTar* tar, BrevitEngine** engine, int32_t mode, BrevitModelSetCRCs* crcs);

// Wires the loaded components together: 0, 1 when a step is refused, 2 when
// memory runs short.
EBrevit BrevitPriv_InitCore(BrevitEngine* engine);

// The kinds of decoders 0 and 1 that creation makes for the decoder kind
// flag (parameter word 21) and the current parameter block; 0 for none.
void BrevitPriv_ChooseDecoderKinds(int32_t flag, int32_t* kind0, int32_t* kind1);
// Creates the decoders not loaded with the set: 1, or 0 when one fails.
int32_t BrevitPriv_CreateDecoders(BrevitEngine* engine, int32_t flag);
void BrevitPriv_DeleteDecoders(BrevitEngine* engine);

// Creation over an archive already open (a model-set image); the caller
// closes it. Results as Brevit_CreateFromBinFile's.
EBrevit BrevitPriv_CreateFromArchive(DVKTar* tar, BrevitAllocator* allocator, BrevitEngine** engine);
