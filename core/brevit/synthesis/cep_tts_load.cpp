// Loading, CRC and deletion of the cepstral synthesiser ("btt0").
#include "core/brevit/acoustic/acoustic_engine_calls.h"
#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/lm_rewrite.h"
#include "core/brevit/synthesis/cep_dtree.h"
#include "core/brevit/synthesis/cep_load.h"
#include "core/brevit/synthesis/cep_optimizer.h"
#include "core/brevit/synthesis/cep_sample_wrapper.h"
#include "core/brevit/synthesis/cep_tts.h"

#include <initializer_list>

namespace {

bool readHeader(BinFileReader* r, CepTTS* t)
{
    int32_t format = 0;
    TTS& h = t->base;
    bool ok = BinFileReader_ReadInt(r, &format) && format == static_cast<int32_t>(kTTSCepstralFormat) &&
              BinFileReader_ReadInt(r, &h.headerWord) &&
              BinFileReader_ReadUnsignedInt(r, &h.masterPhonemeSetCRC) &&
              BinFileReader_ReadUnsignedInt(r, &h.posSetCRC) &&
              BinFileReader_ReadUnsignedInt(r, &h.semanticSetCRC);
    for (uint16_t& s : h.headerShorts)
        ok = ok && BinFileReader_ReadUnsignedShort(r, &s);
    ok = ok && BinFileReader_ReadArray(r, h.headerTag, 1, 4) && BinFileReader_ReadInt(r, &t->outputKind) &&
         BinFileReader_ReadInt(r, &t->maxPhoneId) && BinFileReader_ReadUnsignedShort(r, &t->vowelClass);
    for (uint16_t& s : t->phoneShorts)
        ok = ok && BinFileReader_ReadUnsignedShort(r, &s);
    int32_t* const fields[] = {&t->cepstralOrder, &t->statesPerUnit, &t->frameShift, &t->edgePause,
                               &t->phrasePause1, &t->phrasePause2, &t->speedScale,
                               &t->voicingThreshold, &t->voicingHoldThreshold, &t->postScale};
    return ok && CepLoad_ReadInts(r, fields, 10) && t->maxPhoneId >= 0 && t->maxPhoneId < 0xFFFF;
}

bool readPhoneTable(BinFileReader* r, int32_t n, uint8_t** table)
{
    void* array = nullptr;
    uint32_t count = 0;
    if (!BinFileReader_AllocateAndReadArray(r, 1, &array, &count))
        return false;
    *table = static_cast<uint8_t*>(array);
    return count == static_cast<uint32_t>(n) + 1;
}

bool readBtt0(BinFileReader* r, CepTTS* t)
{
    if (!readHeader(r, t) || !readPhoneTable(r, t->maxPhoneId, &t->phoneVoicingTwo) ||
        !readPhoneTable(r, t->maxPhoneId, &t->phoneVoicingDecided) ||
        !readPhoneTable(r, t->maxPhoneId, &t->phoneVoicingOne))
        return false;
    t->pronToPhoneRewrites = LMRewrite_Read(r);
    if (t->pronToPhoneRewrites == nullptr)
        return false;
    t->phoneClassRewrites = LMRewrite_Read(r);
    if (t->phoneClassRewrites == nullptr)
        return false;
    t->phoneFields = {t->maxPhoneId, t->pronToPhoneRewrites, t->phoneClassRewrites, t->vowelClass};
    t->frontEnd = CepTTSFrontEnd_Load(r, &t->base, &t->phoneFields, t->base.vocabulary);
    if (t->frontEnd == nullptr)
        return false;
    t->optimizer = CepOptimizer_LoadFromBinFile(r);
    if (t->optimizer == nullptr)
        return false;
    t->utterance = static_cast<CepTTSUtterance*>(DVKMem_Calloc(sizeof(CepTTSUtterance)));
    return t->utterance != nullptr;
}

// The parts must agree on everything the stepping divides by or indexes with.
bool consistent(const CepTTS* t)
{
    const int32_t D = t->cepstralOrder;
    return D >= 1 && D == t->trees->D && D == t->optimizer->D &&
           D >= CepSampleWrapper_GetCepstralLength(t->sampleWrapper) && t->statesPerUnit >= 1 &&
           t->statesPerUnit <= AM_GetFeatureDim(t->trees->duration) && t->frameShift >= 1 &&
           (t->postScale == 0 || t->trees->postScaleTable != nullptr) &&
           (BrevitParam_Word(kBrevitParamSmootherRings) == 0 ||
            BrevitParam_Word(kBrevitParamOutputRingSlots) >= static_cast<uint32_t>(t->optimizer->L));
}

}  // namespace

TTS* CepTTS_LoadFromBinFile(DVKTar* tar, const char* prefix, Voc* vocabulary)
{
    BinFileReader* reader = BinFileReader_Create(tar, "btt0", prefix);
    if (reader == nullptr)
        return nullptr;
    auto* t = static_cast<CepTTS*>(DVKMem_Calloc(sizeof(CepTTS)));
    if (t == nullptr) {
        BinFileReader_Delete(reader);
        return nullptr;
    }
    t->base.vocabulary = vocabulary;
    // A raise in a sub-loader passes through here so nothing read is left behind.
    try {
        const bool read = readBtt0(reader, t);
        BinFileReader_Delete(reader);
        reader = nullptr;
        if (read) {
            CepTTS_ResetUtterance(t);
            t->sampleWrapper = CepSampleWrapper_LoadFromBinFile(tar, prefix);
            if (t->sampleWrapper != nullptr)
                t->trees = CepDTree_LoadFromBinFile(tar, prefix);
            if (t->trees != nullptr && consistent(t))
                t->frameBuffer =
                    static_cast<int32_t*>(DVKMem_Calloc(4u * static_cast<uint32_t>(t->cepstralOrder)));
        }
    } catch (...) {
        BinFileReader_Delete(reader);
        CepTTS_Delete(&t->base);
        DVKMem_Free(t);
        throw;
    }
    if (t->frameBuffer == nullptr) {
        CepTTS_Delete(&t->base);
        DVKMem_Free(t);
        return nullptr;
    }
    CepTTS_InitFunctionTable(t);
    return &t->base;
}

void CepTTS_InitFunctionTable(CepTTS* t)
{
    TTSSlots& s = t->base.slots;
    s = TTSSlots{};
    s.deleteObject = CepTTS_Delete;
    s.getEncoding = CepTTS_GetEncoding;
    s.computeCRC = CepTTS_ComputeCRC;
    s.startUtteranceFromText = CepTTS_StartUtteranceFromText;
    s.startUtteranceFromIds = CepTTS_StartUtteranceFromIds;
    s.processUtterancePCM = CepTTS_ProcessUtterancePCM;
    s.stopUtterance = CepTTS_StopUtterance;
}

void CepTTS_Delete(TTS* tts)
{
    auto* t = reinterpret_cast<CepTTS*>(tts);
    if (t == nullptr)
        return;
    DVKMem_Free(t->phoneVoicingTwo);
    DVKMem_Free(t->phoneVoicingDecided);
    DVKMem_Free(t->phoneVoicingOne);
    DVKMem_Free(t->frameBuffer);
    CepSampleWrapper_Delete(t->sampleWrapper);
    CepOptimizer_Delete(t->optimizer);
    CepDTree_Delete(t->trees);
    CepTTSFrontEnd_Delete(t->frontEnd);
    LMRewrite_Delete(t->pronToPhoneRewrites);
    LMRewrite_Delete(t->phoneClassRewrites);
    if (t->utterance != nullptr) {
        CepTTS_ResetUtterance(t);
        DVKMem_Free(t->utterance);
        t->utterance = nullptr;
    }
    // The object block is the dispatcher's to free.
}

int32_t CepTTS_GetEncoding(TTS* tts)
{
    return reinterpret_cast<CepTTS*>(tts)->outputKind == 3 ? kTTSEncodingPCM : kTTSEncodingNone;
}

uint32_t CepTTS_ComputeCRC(TTS* tts, int32_t full, int32_t)
{
    const auto* t = reinterpret_cast<const CepTTS*>(tts);
    const TTS& h = t->base;
    uint32_t crc = DVKCrc_AddArray(h.headerTag, 1, 4, 0xFFFFFFFFu);
    for (uint32_t v : {static_cast<uint32_t>(h.headerWord), h.masterPhonemeSetCRC, h.posSetCRC, h.semanticSetCRC})
        crc = DVKCrc_AddValue(v, 4, crc);
    for (uint16_t s : h.headerShorts)
        crc = DVKCrc_AddValue(s, 2, crc);
    crc = DVKCrc_AddValue(LMRewrite_ComputeCRC(t->pronToPhoneRewrites), 4, crc);
    crc = DVKCrc_AddValue(static_cast<uint32_t>(t->maxPhoneId), 4, crc);
    crc = DVKCrc_AddValue(LMRewrite_ComputeCRC(t->phoneClassRewrites), 4, crc);
    crc = DVKCrc_AddValue(t->vowelClass, 2, crc);
    for (uint16_t s : t->phoneShorts)
        crc = DVKCrc_AddValue(s, 2, crc);
    for (int32_t v : {t->outputKind, t->cepstralOrder, t->statesPerUnit, t->frameShift, t->edgePause,
                      t->phrasePause1, t->phrasePause2, t->speedScale, t->voicingThreshold,
                      t->voicingHoldThreshold, t->postScale})
        crc = DVKCrc_AddValue(static_cast<uint32_t>(v), 4, crc);
    for (const uint8_t* table : {t->phoneVoicingTwo, t->phoneVoicingDecided, t->phoneVoicingOne})
        crc = DVKCrc_AddArray(table, 1, t->maxPhoneId + 1, crc);
    crc = DVKCrc_AddValue(CepTTSFrontEnd_ComputeCRC(t->frontEnd), 4, crc);
    crc = DVKCrc_AddValue(CepDTree_ComputeCRC(t->trees), 4, crc);
    crc = DVKCrc_AddValue(CepOptimizer_ComputeCRC(t->optimizer, full), 4, crc);
    return DVKCrc_AddValue(CepSampleWrapper_ComputeCRC(t->sampleWrapper), 4, crc);
}
