// The engine object: one flat record, allocated zeroed from the client's
// allocator at creation, that owns every component of one recogniser and
// carries the context its entry points install.
#pragma once

#include "core/brevit/api/brevit.h"
#include "core/brevit/api/brevit_audio_input.h"
#include "core/brevit/frontend/utt_det.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/runtime/dvk_watchdog.h"

#include <cstdint>

struct AM;
struct BrevitChoiceList;
struct BrevitFunctionTable;
struct ClassManager;
struct ClientData;
struct ConstraintManager;
struct Decoder;
struct EnrollPhrases;
struct FE;
struct Grammar;
struct IR;
struct TTS;
struct BrevitTTSState;
struct Voc;

inline constexpr char kBrevitMagic[] = "Brevit Magic";

// The "ber0" phrase set and the enrollment session state.
struct BrevitEnrollment {
    EnrollPhrases* phrases;
    int32_t sessionActive;
};

struct BrevitEngine {
    FE* frontEnd;
    Voc* vocabulary;
    AM* acousticModel0;                  // the main model
    AM* acousticModel1;                  // optional
    AM* acousticModel3;                  // optional
    AM* acousticModel2;                  // optional
    TTS* synthesis;                      // optional
    BrevitTTSState* ttsState;            // the text-to-speech entry points'; made on first use
    Grammar* grammar;                    // the run-time grammar
    IR* phraseIndex;
    ConstraintManager* constraintManager;
    ClassManager* classManager;
    int32_t decoderKindFlag;             // parameter word 21 when the decoders were made
    Decoder* decoder0;                   // main decoder, over models 0, 1 and 2
    Decoder* decoder1;                   // over model 0
    Decoder* decoder4;                   // over model 3
    Decoder* decoder2;                   // over model 1
    Decoder* decoder3;                   // over model 2
    int32_t engineVersion[3];            // major, minor, build
    uint32_t modelSetProperties[2];
    int32_t listening;
    UttDet* endPointerSettings;          // the active one of the four settings
    // 0: words 370/373, active after creation and used by enrollment;
    // 1: 368/369, the recognition default; 2: 362/363 (modes 1 and 7);
    // 3: 371/372 (mode 6).
    UttDet endPointers[4];
    int32_t framePeriod;                 // ms per frame
    uint32_t crcArray[8];                // filled by Brevit_ComputeCRCArray
    int32_t recognitionMode;
    BrevitChoiceList* choiceLists[2];    // of decoder 0 and decoder 1
    int32_t recognitionStarted;
    Decoder* currentDecoder;
    BrevitEnrollment enrollment;
    ClientData* clientData;
    uint32_t listeningUtteranceId;       // -1 when none
    uint32_t recognizingUtteranceId;     // -1 when none
    uint32_t utteranceCounter;
    int32_t recognitionRunning;
    int32_t dynamicSilence;              // parameter word 338
    BrevitAudioInput audioInput;         // frame queue, utterances, packets
    BrevitAllocator* allocator;          // the client's; not owned
    DVKMemStack* scratchStack;
    BrevitFunctionTable* functionTable;  // captured at creation
    BrevitGlobalParameters* parameters;  // the block in use
    BrevitGlobalParameters* ownedParameters;
    DVKWatchDogFunc watchDog;
    void* watchDogArgument;
    DVKErrStack errors;
    int32_t broken;                      // an engine error unwound an entry point
    const char* magic;                   // kBrevitMagic
};

// Engines whose core initialisation completed and that were not destroyed.
extern int32_t sBrevitesRefCount;

// A zeroed object from the current allocator with its magic, its error stack
// and no utterances; null when memory is short.
BrevitEngine* BrevitPriv_AllocateEngine(void);

// An empty phrase retrieval index over the vocabulary: 0, or 1 when it
// cannot be made.
int32_t BrevitPriv_CreatePhraseIndex(BrevitEngine* engine);
void BrevitPriv_DeletePhraseIndex(BrevitEngine* engine);

// Frees everything a creation that failed had built, and the object; the
// object was never counted as live.
void BrevitPriv_DiscardEngine(BrevitEngine* engine);
