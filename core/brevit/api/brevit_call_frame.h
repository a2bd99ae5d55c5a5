// The frame every entry point runs inside: the engine's allocator, scratch
// stack, error stack, optional-module table, parameter block and watchdog
// become current for the call; an engine error raised below unwinds to the
// frame, which marks the engine broken and answers 1; the caller's
// allocator, scratch stack, error stack and watchdog are put back at the end
// while the table and parameter block stay installed.
//
// Nothing between a frame and the code that raises may be noexcept or catch
// every exception: the unwind is an exception only the frame catches.
#pragma once

#include "core/brevit/api/brevit.h"
#include "core/brevit/api/brevit_engine.h"
#include "core/brevit/runtime/dvk_err.h"

// The caller's context, kept for the end of the call.
struct BrevitCallFrame {
    BrevitAllocator* allocator;
    DVKMemStack* scratchStack;
    DVKErrStack* errorStack;
    DVKWatchDogFunc watchDog;
    void* watchDogArgument;
};

// Keeps the caller's context and installs the engine's (nulls for a null
// engine), then runs the state-clearing hook.
void BrevitCallFrame_Enter(BrevitCallFrame* frame, const BrevitEngine* engine);
// The same for the entry points without an engine: the given allocator, no
// scratch stack, the given error stack, no watchdog; the table and the
// parameter block are left alone.
void BrevitCallFrame_EnterEngineless(BrevitCallFrame* frame, BrevitAllocator* allocator,
                                     DVKErrStack* errors);
// Puts back the caller's watchdog, error stack, scratch stack and allocator.
void BrevitCallFrame_Restore(const BrevitCallFrame* frame);
// Records the result, restores the caller's context and returns the result.
EBrevit BrevitCallFrame_Leave(const BrevitCallFrame* frame, EBrevit result);

// Hands "<code> " to the call recorder as a return value when one is active;
// returns the code unchanged.
EBrevit BrevitPriv_LogResult(EBrevit result);

// True when the object's magic pointer names the engine's magic text.
bool BrevitPriv_HasMagic(const BrevitEngine* engine);

// The magic and broken checks and the body under a jump record on the
// current error stack; an engine error gives 1 and marks the engine broken.
template <typename Body>
EBrevit BrevitPriv_RunChecked(BrevitEngine* engine, Body& body)
{
    EBrevit result = EBrevit_OK;
    int unwound = DVKErr_Protect([&] {
        if (!BrevitPriv_HasMagic(engine))
            result = EBrevit_BadArgument;
        else if (engine->broken)
            result = EBrevit_EngineError;
        else
            result = body(engine);
    });
    if (unwound != 0) {
        engine->broken = 1;
        result = EBrevit_EngineError;
    }
    return result;
}

// Runs body(engine) as an entry point of the engine, on the given error
// stack (the engine's own when null). A null engine answers nullResult; a
// broken one 1, without work and without a result record.
template <typename Body>
EBrevit BrevitPriv_CallOn(BrevitEngine* engine, DVKErrStack* errors, EBrevit nullResult,
                          Body&& body)
{
    BrevitCallFrame frame;
    BrevitCallFrame_Enter(&frame, engine);
    if (engine == nullptr)
        return BrevitCallFrame_Leave(&frame, nullResult);
    if (engine->broken) {
        BrevitCallFrame_Restore(&frame);
        return EBrevit_EngineError;
    }
    DVKErr_SetErrorStack(errors != nullptr ? errors : &engine->errors);
    EBrevit result = BrevitPriv_RunChecked(engine, body);
    return BrevitCallFrame_Leave(&frame, result);
}

// The frame of almost every entry point: the engine's own error stack, 1 for
// a null engine. The body only runs on an engine that is not broken, so a
// broken flag found after it was set by an entry point it called (whose own
// frame caught the error): the call has failed whatever its body answers.
template <typename Body>
EBrevit BrevitPriv_Call(BrevitEngine* engine, Body&& body)
{
    auto checked = [&body](BrevitEngine* e) {
        const EBrevit result = body(e);
        return e->broken != 0 ? EBrevit_EngineError : result;
    };
    return BrevitPriv_CallOn(engine, nullptr, EBrevit_EngineError, checked);
}

// Runs body() as an entry point without an engine, over the caller's
// allocator record and an error stack of its own. When an error unwinds and
// *building names an object being made, that object is marked broken.
template <typename Body>
EBrevit BrevitPriv_CallEngineless(BrevitAllocator* allocator, BrevitEngine* const* building,
                                  Body&& body)
{
    DVKErrStack errors;
    DVKErr_InitErrorStack(&errors);
    BrevitCallFrame frame;
    BrevitCallFrame_EnterEngineless(&frame, allocator, &errors);
    EBrevit result = EBrevit_OK;
    if (DVKErr_Protect([&] { result = body(); }) != 0) {
        result = EBrevit_EngineError;
        if (building != nullptr && *building != nullptr)
            (*building)->broken = 1;
    }
    return BrevitCallFrame_Leave(&frame, result);
}
