// Engine objects for the entry-point tests, made the way creation leaves
// them: the engine's own allocator, scratch stack, parameter block, choice
// lists and client data store, a real front end and fake other components.
#pragma once

#include "core/brevit/api/brevit_choice_list.h"
#include "core/brevit/api/brevit_engine.h"
#include "core/brevit/api/brevit_function_table.h"
#include "core/brevit/frontend/fe.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_client_data.h"
#include "tests/brevit/api/component_fakes.h"
#include "tests/support/counting_allocator.h"
#include "tests/support/frontend_fixture.h"
#include "tests/support/param_block_builder.h"

// A front end loaded from the complete fixture model, in the current
// allocator; the archive it came from is closed again.
inline FE* makeFrontEnd()
{
    ArchiveFixture archive("engine_frontend.dvk");
    frontend_fixture::addFrontEnd(archive, frontend_model::FrontEndModel{});
    archive.finish();
    DVKTar* tar = archive.openForRead();
    FE* frontEnd = tar != nullptr ? FE_CreateFromBinFile(tar, nullptr) : nullptr;
    archive.close(tar);
    EXPECT_NE(frontEnd, nullptr);
    return frontEnd;
}

struct EngineParts {
    bool components = true;  // every component present (else none)
};

// Builds the engine over allocator; the caller's context is left as it was.
inline BrevitEngine* makeEngine(CountingAllocator& allocator, const ParamBlockBuilder& params,
                                EngineParts parts = {})
{
    BrevitAllocator* previousAllocator = DVKMem_SetMemoryAllocator(allocator.record());
    DVKMemStack* previousScratch = DVKTempMem_SetMemStack(nullptr);
    BrevitGlobalParameters* previousParameters = gpBrevitGlobalParameters;

    BrevitEngine* engine = BrevitPriv_AllocateEngine();
    engine->allocator = allocator.record();
    engine->scratchStack = DVKMemStack_Create(4096, 2048, 4);
    engine->functionTable = spBrevitFunctionPointers;
    engine->ownedParameters =
        static_cast<BrevitGlobalParameters*>(DVKMem_Malloc(sizeof(BrevitGlobalParameters)));
    *engine->ownedParameters = params.block();
    engine->parameters = engine->ownedParameters;
    gpBrevitGlobalParameters = engine->parameters;
    engine->choiceLists[0] = BrevitChoiceList_Create();
    engine->choiceLists[1] = BrevitChoiceList_Create();
    engine->clientData = ClientData_Create(kClientDataChunkSize);
    engine->decoderKindFlag = static_cast<int32_t>(BrevitParam_Word(kBrevitParamFastDecoderKind8));
    engine->dynamicSilence = static_cast<int32_t>(BrevitParam_Word(kBrevitParamDynamicSilence));
    if (parts.components) {
        DVKTempMem_SetMemStack(engine->scratchStack);
        engine->frontEnd = makeFrontEnd();
        ComponentFakes& fakes = componentFakes();
        engine->vocabulary = fakes.object<Voc>("vocabulary");
        engine->acousticModel0 = fakes.object<AM>("model0");
        engine->acousticModel1 = fakes.object<AM>("model1");
        engine->acousticModel2 = fakes.object<AM>("model2");
        engine->acousticModel3 = fakes.object<AM>("model3");
        engine->synthesis = fakes.object<TTS>("synthesis");
        engine->grammar = fakes.object<Grammar>("grammar");
        engine->phraseIndex = fakes.object<IR>("index");
        engine->constraintManager = fakes.object<ConstraintManager>("constraints");
        engine->classManager = fakes.object<ClassManager>("classes");
        engine->decoder0 = fakes.object<Decoder>("decoder0");
        engine->decoder1 = fakes.object<Decoder>("decoder1");
        engine->decoder2 = fakes.object<Decoder>("decoder2");
        engine->decoder3 = fakes.object<Decoder>("decoder3");
        engine->decoder4 = fakes.object<Decoder>("decoder4");
    }
    ++sBrevitesRefCount;

    gpBrevitGlobalParameters = previousParameters;
    DVKTempMem_SetMemStack(previousScratch);
    DVKMem_SetMemoryAllocator(previousAllocator);
    return engine;
}

// The caller's side of an entry point: its own allocator, error stack,
// scratch stack, watchdog and parameter block, which every call must leave
// in place (the parameter block excepted: an engine's stays installed).
class CallerContext {
public:
    CallerContext()
    {
        m_scratch = DVKMemStack_Create(1024, 1024, 4);
        DVKTempMem_SetMemStack(m_scratch);
        DVKWatchDog_SetCallback(&countCall, &m_watchDogCalls, nullptr);
    }

    CountingAllocator& allocator() { return m_allocator; }
    DVKErrStack& errors() { return m_context.errors(); }
    BrevitGlobalParameters* parameters() { return &m_parameters.block(); }

    // True when the caller's allocator, error stack, scratch stack and
    // watchdog are the current ones.
    bool inPlace()
    {
        int before = m_watchDogCalls;
        DVKWatchDog_Call();
        return DVKMem_GetMemoryAllocator() == m_allocator.record() &&
               DVKErr_GetErrorStack() == &m_context.errors() &&
               DVKTempMem_GetMemStack() == m_scratch && m_watchDogCalls == before + 1;
    }

private:
    static int32_t countCall(void* calls)
    {
        ++*static_cast<int*>(calls);
        return 0;
    }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
    ScopedParamBlock m_parameters{ParamBlockBuilder()};
    DVKMemStack* m_scratch = nullptr;
    int m_watchDogCalls = 0;
};
