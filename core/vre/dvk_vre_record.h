// The recogniser's record and the helpers its source files share. Only the
// wrapper and its tests look inside.
#pragma once

#include "core/brevit/api/brevit.h"
#include "core/constraints/dvk_constraints_records.h"
#include "core/vre/dvk_vre.h"
#include "platform/core/wex_logger.h"

#include <cstdint>

enum : int32_t { DVK_VRE_MAX_CONSTRAINTS = 32 };

struct dvk_vre_CaptureBuffer {
    uint8_t* data;
    int32_t capacity;
    int32_t used;
    int32_t packetCount;
};

struct dvk_vre_Recognizer {
    int32_t mode;
    BrevitEngine* engine;
    BrevitEngine* ttsEngine;
    BrevitEngine* currentTtsEngine;
    dvk_lang_Language language;
    int32_t partialModelsSupported;
    dvk_string_Table* stringTable;
    BrevitAllocator allocator;
    dvk_vre_FeatureCallback featureCallback;
    void* featureContext;
    uint32_t resultWord;
    int32_t brevitConstraints[DVK_VRE_MAX_CONSTRAINTS];
    dvk_constraints_Constraint* constraints[DVK_VRE_MAX_CONSTRAINTS];
    int32_t numConstraints;
    uint32_t utteranceId;
    int32_t inputEnded;
    int32_t finished;
    int32_t rebuildInProgress;
    dvk_msg_Event pendingStopEvent;
    dvk_msg_Event doneEvent;
    dvk_msg_Event errorEvent;
    dvk_constraints_Constraint** currentConstraint;
    int32_t currentBrevitConstraint;
    dvk_constraints_Iterator currentMember;
    dvk_constraints_WordClass** currentClass;
    int32_t progressCount;
    int32_t progressOn;
    int32_t needsSave;
    int32_t adaptationStarted;
    int32_t enrollmentStarted;
    dvk_vre_CaptureBuffer captureTempBuffer;
    uint8_t captureTrailer[4];
    dvk_oem_audio_PCMType dictationPcmType;
};

// Value slots the result post-processing knows.
enum : int32_t {
    DVK_VRE_KEY_FILLER = 7,
    DVK_VRE_KEY_COMMAND = 9,
    DVK_VRE_KEY_LOCATION = 15,
    DVK_VRE_KEY_NAME = 20,
};

WexLogger& dvk_vre_log();

// Classes of member type 2 (music items) in the constraint.
int32_t getConstraintIrClassCount(const dvk_constraints_Constraint* constraint);
