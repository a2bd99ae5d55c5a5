// The entry points that only read or trim the engine object, and the
// version and stored-model-set queries that need no engine.
#include "core/brevit/api/brevit.h"

#include "core/brevit/api/brevit_audio_input.h"
#include "core/brevit/api/brevit_call_frame.h"
#include "core/brevit/api/brevit_engine.h"
#include "core/brevit/lexicon/lexicon_engine_calls.h"
#include "core/brevit/runtime/dvk_version.h"
#include "core/brevit/search/search_engine_calls.h"

#include <initializer_list>

namespace {

bool busy(const BrevitEngine* engine)
{
    return engine->recognitionRunning != 0 || engine->listening != 0;
}

// Ids that never name a kept utterance: none, the current one, and -3.
bool isReservedUtteranceId(uint32_t id)
{
    return id == 0xFFFFFFFFu || id == 0xFFFFFFFEu || id == 0xFFFFFFFDu;
}

} // namespace

EBrevit Brevit_ReleaseUnusedMemory(BrevitEngine* engine, int32_t level)
{
    return BrevitPriv_Call(engine, [level](BrevitEngine* e) {
        if (busy(e))
            return EBrevit_WrongState;
        for (Decoder* decoder : {e->decoder0, e->decoder1, e->decoder2}) {
            if (decoder != nullptr)
                Decoder_FreeMemory(decoder, level);
        }
        return EBrevit_OK;
    });
}

EBrevit Brevit_DiscardUtterance(BrevitEngine* engine, uint32_t utteranceId)
{
    return BrevitPriv_Call(engine, [utteranceId](BrevitEngine* e) {
        if (isReservedUtteranceId(utteranceId))
            return EBrevit_BadArgument;
        if (busy(e))
            return EBrevit_WrongState;
        BrevitPriv_DiscardUtteranceData(e, utteranceId);
        return EBrevit_OK;
    });
}

EBrevit Brevit_GetVersion(BrevitAllocator* allocator, int32_t* major, int32_t* minor,
                          int32_t* build)
{
    return BrevitPriv_CallEngineless(allocator, nullptr, [&] {
        if (major == nullptr || minor == nullptr || build == nullptr)
            return EBrevit_BadArgument;
        *major = DVKVersion_GetMajor();
        *minor = DVKVersion_GetMinor();
        *build = DVKVersion_GetBuild();
        return EBrevit_OK;
    });
}

EBrevit Brevit_GetFullVersion(BrevitAllocator* allocator, const char** text)
{
    return BrevitPriv_CallEngineless(allocator, nullptr, [&] {
        if (text == nullptr)
            return EBrevit_BadArgument;
        *text = DVKVersion_GetFullVersion();
        return EBrevit_OK;
    });
}

EBrevit Brevit_GetLanguageName(BrevitEngine* engine, int32_t size, char* buffer)
{
    return BrevitPriv_Call(engine, [=](BrevitEngine* e) {
        if (buffer == nullptr)
            return EBrevit_BadArgument;
        if (Voc_GetLanguageName(e->vocabulary, size, buffer) == 0)
            return EBrevit_BufferTooSmall;
        return EBrevit_OK;
    });
}

EBrevit Brevit_GetModelSetProperties(BrevitEngine* engine, uint32_t* first, uint32_t* second)
{
    return BrevitPriv_Call(engine, [=](BrevitEngine* e) {
        if (first == nullptr || second == nullptr)
            return EBrevit_BadArgument;
        *first = e->modelSetProperties[0];
        *second = e->modelSetProperties[1];
        return EBrevit_OK;
    });
}

EBrevit Brevit_SetWatchDogCallback(BrevitEngine* engine, DVKWatchDogFunc callback,
                                   void* argument)
{
    return BrevitPriv_Call(engine, [=](BrevitEngine* e) {
        e->watchDog = callback;
        e->watchDogArgument = argument;
        return EBrevit_OK;
    });
}

EBrevit Brevit_GetNumberStoredModelSets(BrevitAllocator* allocator, int32_t* count)
{
    return BrevitPriv_CallEngineless(allocator, nullptr, [&] {
        if (count == nullptr)
            return EBrevit_BadArgument;
        *count = 0;  // no model set is stored inside the engine
        return EBrevit_OK;
    });
}

EBrevit Brevit_GetNthStoredModelSet(int32_t, BrevitAllocator* allocator, int32_t, char*,
                                    uint32_t*, uint32_t*)
{
    return BrevitPriv_CallEngineless(allocator, nullptr, [] { return EBrevit_BadArgument; });
}
