#include "tests/brevit/api/component_fakes.h"

#include "core/brevit/acoustic/acoustic_engine_calls.h"
#include "core/brevit/api/brevit_function_table.h"
#include "core/brevit/lexicon/lexicon_engine_calls.h"
#include "core/brevit/runtime/dvk_watchdog.h"
#include "core/brevit/search/search_engine_calls.h"
#include "core/brevit/synthesis/synthesis_engine_calls.h"

#include <cstring>
#include <memory>

ComponentFakes& componentFakes()
{
    static ComponentFakes fakes;
    return fakes;
}

void* ComponentFakes::newObject(const std::string& label)
{
    m_objects.push_back(std::make_unique<char>());
    void* object = m_objects.back().get();
    m_labels[object] = label;
    return object;
}

std::string ComponentFakes::label(const void* object) const
{
    if (object == nullptr)
        return "null";
    auto it = m_labels.find(object);
    return it == m_labels.end() ? "unknown" : it->second;
}

void ComponentFakes::reset()
{
    calls.clear();
    languageName = "enus";
    raiseIn.clear();
    seen = SeenContext{};
}

void ComponentFakes::enter(const char* function, const void* object, const std::string& argument)
{
    calls.push_back(std::string(function) + " " + label(object) +
                    (argument.empty() ? "" : " " + argument));
    seen.allocator = DVKMem_GetMemoryAllocator();
    seen.scratchStack = DVKTempMem_GetMemStack();
    seen.errorStack = DVKErr_GetErrorStack();
    seen.parameters = gpBrevitGlobalParameters;
    seen.functionTable = spBrevitFunctionPointers;
    seen.watchDogAnswer = DVKWatchDog_Call();
    seen.valid = true;
    if (raiseIn == function) {
        raiseIn.clear();
        DVKErr_Raise(__FILE__, __LINE__, "%s failed", function);
    }
}

void AM_Destroy(AM* model)
{
    componentFakes().enter("AM_Destroy", model);
}

void Decoder_Delete(Decoder* decoder, int32_t option)
{
    componentFakes().enter("Decoder_Delete", decoder, std::to_string(option));
}

void Decoder_FreeMemory(Decoder* decoder, int32_t level)
{
    componentFakes().enter("Decoder_FreeMemory", decoder, std::to_string(level));
}

void Grammar_Delete(Grammar* grammar)
{
    componentFakes().enter("Grammar_Delete", grammar);
}

void ConstraintManager_Delete(ConstraintManager* manager)
{
    componentFakes().enter("ConstraintManager_Delete", manager);
}

int32_t ClassManager_RemoveUnreferencedClasses(ClassManager* manager)
{
    componentFakes().enter("ClassManager_RemoveUnreferencedClasses", manager);
    return 0;
}

void ClassManager_Delete(ClassManager* manager)
{
    componentFakes().enter("ClassManager_Delete", manager);
}

void Voc_Delete(Voc* vocabulary)
{
    componentFakes().enter("Voc_Delete", vocabulary);
}

int32_t Voc_GetLanguageName(const Voc* vocabulary, int32_t size, char* buffer)
{
    ComponentFakes& fakes = componentFakes();
    fakes.enter("Voc_GetLanguageName", vocabulary, std::to_string(size));
    if (static_cast<int32_t>(fakes.languageName.size()) >= size)
        return 0;
    std::memcpy(buffer, fakes.languageName.c_str(), fakes.languageName.size() + 1);
    return 1;
}

IR* IR_Create(Voc* vocabulary)
{
    ComponentFakes& fakes = componentFakes();
    fakes.enter("IR_Create", vocabulary);
    return fakes.object<IR>("index");
}

void IR_Delete(IR* index)
{
    componentFakes().enter("IR_Delete", index);
}

void TTS_Delete(TTS* synthesis)
{
    componentFakes().enter("TTS_Delete", synthesis);
}

// Audio intake: frames pass through unclamped; restarts and rejections are logged.
void AM_ClampFeature(const AM* model, uint8_t*)
{
    componentFakes().enter("AM_ClampFeature", model);
}

int32_t AM_IsWarpIndexSet(const AM* model)
{
    componentFakes().enter("AM_IsWarpIndexSet", model);
    return 1;
}

void AM_SetWarpIndex(AM* model, int32_t index)
{
    componentFakes().enter("AM_SetWarpIndex", model, std::to_string(index));
}

void Decoder_UttRestart(Decoder* decoder)
{
    componentFakes().enter("Decoder_UttRestart", decoder);
}

int32_t Decoder_SetRejected(Decoder* decoder)
{
    componentFakes().enter("Decoder_SetRejected", decoder);
    return 0;
}
