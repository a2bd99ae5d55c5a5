#include "core/brevit/api/brevit_call_frame.h"

#include "core/brevit/api/brevit_function_table.h"
#include "core/brevit/runtime/dvk_record.h"

#include <cstdio>
#include <cstring>

namespace {

// Kind of a return-value record in the call recorder.
constexpr int32_t kRecordReturnValue = 23;
constexpr int kResultTextSize = 128;

// Every code's name is empty: the recorded text is the number and a blank.
const char* resultName(EBrevit)
{
    return "";
}

} // namespace

void BrevitCallFrame_Enter(BrevitCallFrame* frame, const BrevitEngine* engine)
{
    frame->allocator = DVKMem_SetMemoryAllocator(engine != nullptr ? engine->allocator : nullptr);
    frame->scratchStack =
        DVKTempMem_SetMemStack(engine != nullptr ? engine->scratchStack : nullptr);
    frame->errorStack = DVKErr_GetErrorStack();
    spBrevitFunctionPointers = engine != nullptr ? engine->functionTable : nullptr;
    gpBrevitGlobalParameters = engine != nullptr ? engine->parameters : nullptr;
    frame->watchDog = DVKWatchDog_SetCallback(engine != nullptr ? engine->watchDog : nullptr,
                                              engine != nullptr ? engine->watchDogArgument
                                                                : nullptr,
                                              &frame->watchDogArgument);
    DVKErr_ClearState();
}

void BrevitCallFrame_EnterEngineless(BrevitCallFrame* frame, BrevitAllocator* allocator,
                                     DVKErrStack* errors)
{
    frame->allocator = DVKMem_SetMemoryAllocator(allocator);
    frame->scratchStack = DVKTempMem_SetMemStack(nullptr);
    frame->errorStack = DVKErr_SetErrorStack(errors);
    frame->watchDog = DVKWatchDog_SetCallback(nullptr, nullptr, &frame->watchDogArgument);
    DVKErr_ClearState();
}

void BrevitCallFrame_Restore(const BrevitCallFrame* frame)
{
    DVKWatchDog_SetCallback(frame->watchDog, frame->watchDogArgument, nullptr);
    DVKErr_SetErrorStack(frame->errorStack);
    DVKTempMem_SetMemStack(frame->scratchStack);
    DVKMem_SetMemoryAllocator(frame->allocator);
}

EBrevit BrevitCallFrame_Leave(const BrevitCallFrame* frame, EBrevit result)
{
    BrevitPriv_LogResult(result);
    BrevitCallFrame_Restore(frame);
    return result;
}

EBrevit BrevitPriv_LogResult(EBrevit result)
{
    if (DVKRecord_IsActive()) {
        char text[kResultTextSize];
        std::snprintf(text, sizeof(text), "%d %s", static_cast<int>(result), resultName(result));
        DVKRecord_RecordReturnValue(kRecordReturnValue, text);
    }
    return result;
}

bool BrevitPriv_HasMagic(const BrevitEngine* engine)
{
    return engine->magic != nullptr && std::strcmp(engine->magic, kBrevitMagic) == 0;
}
