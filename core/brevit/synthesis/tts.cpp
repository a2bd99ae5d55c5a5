#include "core/brevit/synthesis/tts.h"

#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/synthesis/cep_tts.h"

namespace {

// Utterance operations run only while synthesis is switched on; a missing
// block reads as all zeros.
bool enabled()
{
    return BrevitParam_Word(kBrevitParamSynthesisEnabled) != 0;
}

} // namespace

TTS* TTS_LoadFromBinFile(DVKTar* tar, const char* prefix, Voc* vocabulary)
{
    uint32_t format = 0;
    if (!BinFileReader_PeekFormatNumber(tar, "btt0", prefix, &format) || format != kTTSCepstralFormat)
        return nullptr;
    return CepTTS_LoadFromBinFile(tar, prefix, vocabulary);
}

void TTS_Delete(TTS* tts)
{
    if (tts == nullptr)
        return;
    if (tts->slots.deleteObject != nullptr)
        tts->slots.deleteObject(tts);
    DVKMem_Free(tts);
}

int32_t TTS_GetEncoding(TTS* tts)
{
    return tts->slots.getEncoding != nullptr ? tts->slots.getEncoding(tts) : kTTSEncodingNone;
}

uint32_t TTS_ComputeCRC(TTS* tts, int32_t full, int32_t further)
{
    return tts->slots.computeCRC != nullptr ? tts->slots.computeCRC(tts, full, further) : 0xFFFFFFFFu;
}

int32_t TTS_StartFromText(TTS* tts, const uint16_t* text, int32_t rate, int32_t a, int32_t b,
                          int32_t freeSpace, uint8_t* position, int32_t* out)
{
    if (tts->slots.startFromText == nullptr)
        return 0;
    return tts->slots.startFromText(tts, text, rate, a, b, freeSpace, position, out);
}

int32_t TTS_StartFromIds(TTS* tts, int32_t count, const VocId* ids, int32_t rate, int32_t a,
                         int32_t b, int32_t freeSpace, uint8_t* position, int32_t* out)
{
    if (tts->slots.startFromIds == nullptr)
        return 0;
    return tts->slots.startFromIds(tts, count, ids, rate, a, b, freeSpace, position, out);
}

int32_t TTS_StartUtteranceFromText(TTS* tts, const uint16_t* text, int32_t encoding, int32_t rate,
                                   int32_t speed, int32_t level)
{
    if (tts->slots.startUtteranceFromText == nullptr || !enabled())
        return kTTSNotAvailable;
    return tts->slots.startUtteranceFromText(tts, text, encoding, rate, speed, level);
}

int32_t TTS_StartUtteranceFromIds(TTS* tts, int32_t count, const VocId* ids, int32_t encoding,
                                  int32_t rate, int32_t speed, int32_t level)
{
    if (tts->slots.startUtteranceFromIds == nullptr || !enabled())
        return kTTSNotAvailable;
    return tts->slots.startUtteranceFromIds(tts, count, ids, encoding, rate, speed, level);
}

int32_t TTS_Process(TTS* tts, int32_t capacity, uint8_t* buffer, int32_t* bytes, int32_t* frames)
{
    if (tts->slots.process == nullptr || !enabled())
        return kTTSNotAvailable;
    return tts->slots.process(tts, capacity, buffer, bytes, frames);
}

int32_t TTS_ProcessUtterancePCM(TTS* tts, int32_t capacity, int16_t* samples, int32_t* count)
{
    if (tts->slots.processUtterancePCM == nullptr || !enabled())
        return kTTSNotAvailable;
    return tts->slots.processUtterancePCM(tts, capacity, samples, count);
}

int32_t TTS_StopUtterance(TTS* tts)
{
    if (tts->slots.stopUtterance == nullptr || !enabled())
        return kTTSNotAvailable;
    return tts->slots.stopUtterance(tts);
}

uint32_t TTS_GetMasterPhonemeSetCRC(const TTS* tts)
{
    return tts->masterPhonemeSetCRC;
}

uint32_t TTS_GetPOSSetCRC(const TTS* tts)
{
    return tts->posSetCRC;
}

uint32_t TTS_GetSemanticSetCRC(const TTS* tts)
{
    return tts->semanticSetCRC;
}
