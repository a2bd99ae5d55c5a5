#include "core/brevit/api/brevit_engine.h"

#include "core/brevit/acoustic/acoustic_engine_calls.h"
#include "core/brevit/api/brevit_audio_input.h"
#include "core/brevit/api/brevit_call_frame.h"
#include "core/brevit/api/brevit_choice_list.h"
#include "core/brevit/api/brevit_enrollment.h"
#include "core/brevit/api/brevit_recognition.h"
#include "core/brevit/api/brevit_rescoring.h"
#include "core/brevit/api/brevit_synthesis.h"
#include "core/brevit/frontend/frontend_engine_calls.h"
#include "core/brevit/lexicon/lexicon_engine_calls.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_client_data.h"
#include "core/brevit/search/search_engine_calls.h"
#include "core/brevit/synthesis/synthesis_engine_calls.h"

#include <cstring>

int32_t sBrevitesRefCount = 0;

namespace {

constexpr uint32_t kNoUtterance = 0xFFFFFFFFu;

void deleteDecoder(Decoder*& decoder, int32_t option)
{
    if (decoder != nullptr)
        Decoder_Delete(decoder, option);
    decoder = nullptr;
}

// Hands a component present to its delete function and forgets it.
template <typename T>
void release(T*& component, void (*remove)(T*))
{
    if (component != nullptr)
        remove(component);
    component = nullptr;
}

void releaseRunTimeState(BrevitEngine* engine)
{
    BrevitPriv_FreeSynthesis(engine);
    BrevitPriv_FreeRecognition(engine);
    for (BrevitChoiceList*& list : engine->choiceLists) {
        BrevitChoiceList_Delete(list);
        list = nullptr;
    }
    BrevitPriv_FreeRescoring(engine);
    BrevitPriv_FreeAudioInput(engine);
    ClientData_Delete(engine->clientData);
    engine->clientData = nullptr;
}

void deleteComponents(BrevitEngine* engine)
{
    int32_t option = static_cast<int32_t>(BrevitParam_Word(kBrevitParamDecoderSlotOption));
    deleteDecoder(engine->decoder0, option);
    deleteDecoder(engine->decoder1, option);
    deleteDecoder(engine->decoder2, option);
    deleteDecoder(engine->decoder3, option);
    deleteDecoder(engine->decoder4, option);

    release(engine->grammar, &Grammar_Delete);
    if (engine->classManager != nullptr)
        ClassManager_RemoveUnreferencedClasses(engine->classManager);
    release(engine->constraintManager, &ConstraintManager_Delete);
    release(engine->classManager, &ClassManager_Delete);
    BrevitPriv_DeletePhraseIndex(engine);
    release(engine->synthesis, &TTS_Delete);
    release(engine->vocabulary, &Voc_Delete);
    release(engine->acousticModel0, &AM_Destroy);
    release(engine->acousticModel1, &AM_Destroy);
    release(engine->acousticModel2, &AM_Destroy);
    release(engine->acousticModel3, &AM_Destroy);
    release(engine->frontEnd, &FE_Destroy);
    BrevitPriv_FreeUtteranceArrays(engine);
    BrevitPriv_FreeEnrollment(engine);

    DVKMem_Free(engine->ownedParameters);
    engine->ownedParameters = nullptr;
    engine->parameters = nullptr;
    gpBrevitGlobalParameters = nullptr;
}

// The object itself, its scratch stack and, when the caller takes the
// allocator record back, the record's held block.
void freeObject(BrevitEngine* engine, BrevitAllocator** allocatorOut)
{
    BrevitAllocator* allocator = engine->allocator;
    if (allocatorOut != nullptr)
        *allocatorOut = allocator;
    std::memset(engine, 0, sizeof(*engine));
    --sBrevitesRefCount;
    DVKMem_Free(engine);
    DVKTempMem_DeleteMemStack();
    if (allocatorOut != nullptr)
        DVKMem_FreeAllocatorBlock(allocator);
}

} // namespace

BrevitEngine* BrevitPriv_AllocateEngine(void)
{
    auto* engine = static_cast<BrevitEngine*>(DVKMem_Calloc(sizeof(BrevitEngine)));
    if (engine == nullptr)
        return nullptr;
    DVKErr_InitErrorStack(&engine->errors);
    engine->listeningUtteranceId = kNoUtterance;
    engine->recognizingUtteranceId = kNoUtterance;
    engine->magic = kBrevitMagic;
    return engine;
}

void BrevitPriv_DiscardEngine(BrevitEngine* engine)
{
    releaseRunTimeState(engine);
    deleteComponents(engine);
    DVKMem_Free(engine);
}

int32_t BrevitPriv_CreatePhraseIndex(BrevitEngine* engine)
{
    engine->phraseIndex = IR_Create(engine->vocabulary);
    return engine->phraseIndex == nullptr ? 1 : 0;
}

void BrevitPriv_DeletePhraseIndex(BrevitEngine* engine)
{
    release(engine->phraseIndex, &IR_Delete);
}

EBrevit Brevit_Destroy(BrevitEngine* engine, BrevitAllocator** allocatorOut)
{
    // The engine's embedded error stack goes with the object: destroy runs on
    // one of its own.
    DVKErrStack errors;
    DVKErr_InitErrorStack(&errors);
    auto destroy = [allocatorOut](BrevitEngine* e) {
        if (e->enrollment.sessionActive)
            BrevitPriv_AbandonEnrollmentSession(e);
        releaseRunTimeState(e);
        deleteComponents(e);
        freeObject(e, allocatorOut);
        return EBrevit_OK;
    };
    return BrevitPriv_CallOn(engine, &errors, EBrevit_BadArgument, destroy);
}
