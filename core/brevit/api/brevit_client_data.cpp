// Client data entry points (named byte strings kept in the engine and saved
// with the user state) and the checksum entry points.
#include "core/brevit/api/brevit.h"

#include "core/brevit/acoustic/acoustic_engine_calls.h"
#include "core/brevit/api/brevit_audio_input.h"
#include "core/brevit/api/brevit_call_frame.h"
#include "core/brevit/api/brevit_choice_list.h"
#include "core/brevit/api/brevit_crc.h"
#include "core/brevit/api/brevit_engine.h"
#include "core/brevit/api/brevit_recognition.h"
#include "core/brevit/frontend/fe.h"
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_client_data.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/constraint_manager.h"
#include "core/brevit/search/grammar.h"
#include "core/brevit/synthesis/tts.h"

#include <cstring>

namespace {

constexpr uint32_t kAllOnes = 0xFFFFFFFFu;
constexpr int32_t kCRCArrayCount = 8;

// A non-empty name the store can key (16-bit key lengths).
bool validName(const char* name)
{
    if (name == nullptr || *name == '\0')
        return false;
    return std::strlen(name) <= kClientDataMaxKeyLength;
}

// CRC of one choice's word ids, each but the last followed by its
// class-end byte; -1 when the choice is not ended within the word slots.
uint32_t choiceCRC(const BrevitChoiceList* list, int32_t choice)
{
    int32_t start = 0;
    for (int32_t skipped = 0; skipped < choice; ++start) {
        if (start >= list->wordSlots)
            return kAllOnes;
        if (list->wordIds[start] == kBrevitChoiceEnd)
            ++skipped;
    }
    int32_t end = start;
    while (end < list->wordSlots && list->wordIds[end] != kBrevitChoiceEnd)
        ++end;
    if (end >= list->wordSlots)
        return kAllOnes;
    uint32_t crc = kAllOnes;
    for (int32_t w = start; w < end; ++w) {
        crc = DVKCrc_AddValue(list->wordIds[w], 4, crc);
        if (w + 1 < end)
            crc = DVKCrc_AddValue(list->classEnds[w], 1, crc);
    }
    return crc;
}

} // namespace

uint32_t BrevitPriv_ChoiceListCRC(const BrevitChoiceList* list)
{
    uint32_t crc = kAllOnes;
    crc = DVKCrc_AddValue(static_cast<uint32_t>(list->intervalFirstWord), 4, crc);
    crc = DVKCrc_AddValue(static_cast<uint32_t>(list->intervalLastWord), 4, crc);
    crc = DVKCrc_AddValue(static_cast<uint32_t>(list->capacity), 4, crc);
    crc = DVKCrc_AddValue(static_cast<uint32_t>(list->wordSlots), 4, crc);
    crc = DVKCrc_AddValue(static_cast<uint32_t>(list->count), 4, crc);
    // The count never exceeds the capacity the arrays were made for.
    const int32_t count = list->count < list->capacity ? list->count : list->capacity;
    for (int32_t c = 0; c < count; ++c)
        crc = DVKCrc_AddValue(choiceCRC(list, c), 4, crc);
    for (int32_t c = 0; c < count; ++c)
        crc = DVKCrc_AddValue(static_cast<uint32_t>(list->scores[c]), 4, crc);
    return crc;
}

EBrevit Brevit_ClearAllClientData(BrevitEngine* engine)
{
    return BrevitPriv_Call(engine, [](BrevitEngine* e) {
        if (e->clientData != nullptr)
            ClientData_ClearAll(e->clientData);
        return EBrevit_OK;
    });
}

EBrevit Brevit_ClearClientDataItem(BrevitEngine* engine, const char* name)
{
    return BrevitPriv_Call(engine, [name](BrevitEngine* e) {
        if (!validName(name))
            return EBrevit_BadArgument;
        if (e->clientData == nullptr || ClientData_FindItem(e->clientData, name, nullptr) < 0)
            return EBrevit_EngineError;
        ClientData_ClearItem(e->clientData, name);
        return EBrevit_OK;
    });
}

EBrevit Brevit_GetClientDataInfo(BrevitEngine* engine, const char* name, int32_t* length)
{
    return BrevitPriv_Call(engine, [name, length](BrevitEngine* e) {
        if (!validName(name) || length == nullptr)
            return EBrevit_BadArgument;
        uint32_t size = 0;
        if (e->clientData == nullptr || ClientData_FindItem(e->clientData, name, &size) < 0)
            *length = -1;
        else
            *length = static_cast<int32_t>(size);
        return EBrevit_OK;
    });
}

EBrevit Brevit_GetClientDataItem(BrevitEngine* engine, const char* name, void* buffer)
{
    return BrevitPriv_Call(engine, [name, buffer](BrevitEngine* e) {
        if (!validName(name) || e->clientData == nullptr || ClientData_FindItem(e->clientData, name, nullptr) < 0)
            return EBrevit_BadArgument;
        return ClientData_GetItem(e->clientData, name, buffer) == 1 ? EBrevit_OK : EBrevit_BadArgument;
    });
}

EBrevit Brevit_SetClientDataItem(BrevitEngine* engine, const char* name, int32_t length, const void* data)
{
    return BrevitPriv_Call(engine, [name, length, data](BrevitEngine* e) {
        if (!validName(name) || length < 0 || (data == nullptr && length > 0))
            return EBrevit_BadArgument;
        if (e->clientData == nullptr) {
            e->clientData = ClientData_Create(kClientDataChunkSize);
            if (e->clientData == nullptr)
                return EBrevit_MemoryError;
        }
        const uint8_t empty = 0;
        return ClientData_SetItem(e->clientData, name, static_cast<uint32_t>(length), data != nullptr ? data : &empty) == 1
                   ? EBrevit_OK
                   : EBrevit_MemoryError;
    });
}

EBrevit Brevit_ComputeCRC(BrevitEngine* engine, int32_t flag, uint32_t* crc)
{
    return BrevitPriv_Call(engine, [flag, crc](BrevitEngine* e) {
        if (crc == nullptr)
            return EBrevit_BadArgument;
        uint32_t value = AM_ComputeCRC(e->acousticModel0, flag);
        if (e->acousticModel1 != nullptr)
            value = DVKCrc_AddInt(AM_ComputeCRC(e->acousticModel1, flag), value);
        *crc = DVKCrc_AddInt(Voc_ComputeCRC(e->vocabulary), value);
        return EBrevit_OK;
    });
}

EBrevit Brevit_ComputeCRCArray(BrevitEngine* engine, int32_t flag, const uint32_t** array, int32_t* count)
{
    return BrevitPriv_Call(engine, [flag, array, count](BrevitEngine* e) {
        if (array == nullptr || count == nullptr)
            return EBrevit_BadArgument;
        uint32_t* crcs = e->crcArray;
        crcs[0] = FE_ComputeCRC(e->frontEnd, flag);
        crcs[1] = Voc_ComputeCRC(e->vocabulary);
        crcs[2] = AM_ComputeCRC(e->acousticModel0, flag);
        if (e->acousticModel1 != nullptr)
            crcs[2] = DVKCrc_AddInt(AM_ComputeCRC(e->acousticModel1, flag), crcs[2]);
        crcs[3] = e->synthesis != nullptr ? TTS_ComputeCRC(e->synthesis, flag, 0) : kAllOnes;
        crcs[4] = ClassManager_ComputeCRC(e->classManager, flag);
        crcs[5] = ConstraintManager_ComputeCRC(e->constraintManager);
        crcs[6] = e->grammar != nullptr ? Grammar_ComputeCRC(e->grammar) : kAllOnes;
        if (BrevitParam_Word(kBrevitParamFastDecoderKind8) != 0) {
            crcs[7] = kAllOnes;
        } else {
            crcs[7] = DVKCrc_AddInt(BrevitPriv_AudioInputCRC(e), kAllOnes);
            crcs[7] = DVKCrc_AddInt(BrevitPriv_RecognitionStateCRC(e), crcs[7]);
        }
        *array = crcs;
        *count = kCRCArrayCount;
        return EBrevit_OK;
    });
}
