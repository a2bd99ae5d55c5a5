// The engine's synthesis state: the older way's buffer and its keys.
#include "core/brevit/api/brevit_synthesis.h"

#include "core/brevit/api/brevit_engine.h"
#include "core/brevit/api/brevit_tts_encodings.h"
#include "core/brevit/runtime/dvk_mem.h"

BrevitTTSState* BrevitPriv_TTSState(BrevitEngine* e)
{
    if (e->ttsState == nullptr) {
        e->ttsState = static_cast<BrevitTTSState*>(DVKMem_Calloc(sizeof(BrevitTTSState)));
        if (e->ttsState != nullptr)
            e->ttsState->frameCount = -1;
    }
    return e->ttsState;
}

void BrevitPriv_InitSynthesis(BrevitEngine*) {}

void BrevitPriv_FreeSynthesis(BrevitEngine* engine)
{
    BrevitPriv_ResetEngineTTS(engine);
    DVKMem_Free(engine->ttsState);
    engine->ttsState = nullptr;
}

void BrevitPriv_SetTTSDataMembers(BrevitEngine* engine, const uint16_t* text, int32_t count,
                                  const VocId* ids, int32_t bufferSize, uint8_t* buffer)
{
    BrevitTTSState* s = BrevitPriv_TTSState(engine);
    if (s == nullptr)
        return;
    BrevitPriv_ResetTTSState(s);
    s->textSource = text;
    s->idCount = count;
    s->ids = ids;
    s->bufferSize = bufferSize;
    s->buffer = buffer;
    s->frameCount = 0;
}

void BrevitPriv_ResetTTSState(BrevitTTSState* s)
{
    if (s->bufferOwned)
        DVKMem_Free(s->buffer);
    *s = BrevitTTSState{};
    s->frameCount = -1;
}

void BrevitPriv_ResetEngineTTS(BrevitEngine* engine)
{
    if (engine->ttsState != nullptr)
        BrevitPriv_ResetTTSState(engine->ttsState);
}

int32_t BrevitPriv_SetupTTSBuffer(BrevitTTSState* s, int32_t encoding)
{
    const int32_t bytes = BrevitPriv_TTSEncodingInfo(encoding).bufferBytes;
    s->encoding = encoding;
    if (bytes == 0)
        return 1;
    s->buffer = static_cast<uint8_t*>(DVKMem_Calloc(static_cast<uint32_t>(bytes)));
    if (s->buffer == nullptr)
        return 0;
    s->bufferSize = bytes;
    s->bufferOwned = 1;
    return 1;
}
