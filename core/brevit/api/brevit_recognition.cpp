#include "core/brevit/api/brevit_recognition.h"

#include "core/brevit/api/brevit_choice_list.h"
#include "core/brevit/api/brevit_engine.h"

// Hooks of the engine object's life; this family holds nothing of its own yet.

void BrevitPriv_InitRecognition(BrevitEngine*) {}

int32_t BrevitPriv_CreateRecognitionData(BrevitEngine* engine)
{
    if (engine->decoder0 != nullptr && engine->choiceLists[0] == nullptr) {
        engine->choiceLists[0] = BrevitChoiceList_Create();
        if (engine->choiceLists[0] == nullptr)
            return 1;
    }
    if (engine->decoder1 != nullptr && engine->choiceLists[1] == nullptr) {
        engine->choiceLists[1] = BrevitChoiceList_Create();
        if (engine->choiceLists[1] == nullptr)
            return 1;
    }
    return 0;
}

uint32_t BrevitPriv_RecognitionStateCRC(BrevitEngine*)
{
    return 0xFFFFFFFFu;
}

void BrevitPriv_FreeRecognition(BrevitEngine*) {}
