#include "core/brevit/api/brevit_create.h"

#include "core/brevit/acoustic/acoustic_engine_calls.h"
#include "core/brevit/acoustic/am.h"
#include "core/brevit/api/brevit_audio_input.h"
#include "core/brevit/api/brevit_call_frame.h"
#include "core/brevit/api/brevit_engine.h"
#include "core/brevit/api/brevit_enroll_phrases.h"
#include "core/brevit/api/brevit_recognition.h"
#include "core/brevit/api/brevit_version_record.h"
#include "core/brevit/frontend/fe.h"
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_client_data.h"
#include "core/brevit/runtime/dvk_param_load.h"
#include "core/brevit/runtime/dvk_version.h"
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/constraint_manager.h"
#include "core/brevit/search/decoder.h"
#include "core/brevit/search/grammar.h"
#include "core/brevit/synthesis/tts.h"

#include <cstring>
#include <initializer_list>

namespace {

constexpr uint32_t kNoUtterance = 0xFFFFFFFFu;
constexpr const char* kDecoderPrefixes[5] = {"bdec0/", "bdec1/", "bdec2/", "bdec3/", "bdec4/"};

int32_t word(int index)
{
    return static_cast<int32_t>(BrevitParam_Word(index));
}

Decoder** decoderSlot(BrevitEngine* e, int32_t n)
{
    Decoder** slots[5] = {&e->decoder0, &e->decoder1, &e->decoder2, &e->decoder3, &e->decoder4};
    return slots[n];
}

// Frames are the front end's bytes; a model scoring another width reads
// past them.
bool modelFitsFrontEnd(const BrevitEngine* e, const AM* model)
{
    return model == nullptr || AM_GetFeatureDim(model) == FE_GetFeatureDim(e->frontEnd);
}

// Front end and acoustic models (modes 0 and 1).
bool loadAcousticSide(DVKTar* tar, BrevitEngine* e, const BrevitVersionRecord& rec, const uint8_t* presence)
{
    e->frontEnd = FE_CreateFromBinFile(tar, nullptr);
    if (e->frontEnd == nullptr || FE_GetSampleRate(e->frontEnd) != rec.sampleRate)
        return false;
    if (!FE_HasDiagonalTransform(e->frontEnd) && word(kBrevitParamRefuseFullTransform) != 0)
        return false;
    e->acousticModel0 = AM_LoadFromBinFile(tar, nullptr, 0);
    if (e->acousticModel0 == nullptr)
        return false;
    if (presence[kPresenceModel1] && (e->acousticModel1 = AM_LoadFromBinFile(tar, nullptr, 1)) == nullptr)
        return false;
    if (presence[kPresenceModel2] && (e->acousticModel2 = AM_LoadFromBinFile(tar, nullptr, 2)) == nullptr)
        return false;
    if (presence[kPresenceModel3] && (e->acousticModel3 = AM_LoadFromBinFile(tar, nullptr, 3)) == nullptr)
        return false;
    for (const AM* model : {e->acousticModel0, e->acousticModel1, e->acousticModel2, e->acousticModel3})
        if (!modelFitsFrontEnd(e, model))
            return false;
    return true;
}

bool loadDecoder(DVKTar* tar, BrevitEngine* e, int32_t n)
{
    AM* models[5][2] = {{e->acousticModel0, e->acousticModel1},
                        {e->acousticModel0, nullptr},
                        {e->acousticModel1, nullptr},
                        {e->acousticModel2, nullptr},
                        {e->acousticModel3, nullptr}};
    AM* third = n == 0 ? e->acousticModel2 : nullptr;
    *decoderSlot(e, n) = Decoder_LoadFromBinFile(tar, kDecoderPrefixes[n], e->vocabulary, models[n][0],
                                                 models[n][1], third);
    return *decoderSlot(e, n) != nullptr;
}

// Vocabulary and everything built over it (modes 0 and 2).
bool loadLexicalSide(DVKTar* tar, BrevitEngine* e, const uint8_t* presence)
{
    e->vocabulary = Voc_LoadFromBinFile(tar, nullptr);
    if (e->vocabulary == nullptr)
        return false;
    if (presence[kPresenceSynthesis] && (e->synthesis = TTS_LoadFromBinFile(tar, nullptr, e->vocabulary)) == nullptr)
        return false;
    if (e->decoder2 != nullptr || e->decoder3 != nullptr)
        return false;
    for (int32_t n = 0; n < 5; ++n)
        if (presence[kPresenceDecoder0 + n] && !loadDecoder(tar, e, n))
            return false;
    if (presence[kPresenceConstraintManager] &&
        (e->constraintManager = ConstraintManager_Create(word(kBrevitParamConstraintCapacity))) == nullptr)
        return false;
    if (presence[kPresenceClassManager] &&
        (e->classManager = ClassManager_LoadFromBinFile(tar, nullptr, e->vocabulary, e->acousticModel0,
                                                        e->constraintManager)) == nullptr)
        return false;
    if (presence[kPresenceGrammar]) {
        Grammar* grammar = Grammar_LoadFromBinFile(tar, nullptr, e->vocabulary);
        if (grammar == nullptr)
            return false;
        Grammar_Delete(e->grammar);
        e->grammar = grammar;
    }
    EnrollPhrases_Delete(e->enrollment.phrases);
    e->enrollment.phrases = EnrollPhrases_Load(tar, nullptr);
    if (e->enrollment.phrases == nullptr)
        return false;
    return e->decoder0 != nullptr || e->decoder1 != nullptr;
}

bool loadParameters(DVKTar* tar, BrevitEngine* e)
{
    BrevitGlobalParameters* block = DVKParam_LoadFromBinFile(tar, nullptr);
    if (block == nullptr)
        return false;
    DVKMem_Free(e->ownedParameters);
    e->ownedParameters = block;
    e->parameters = block;
    gpBrevitGlobalParameters = block;
    return true;
}

// A decoder that scores (every kind but the dummy) over a model loaded
// without parameters would crash on its first frame.
bool decoderOverModelWithoutParameters(BrevitEngine* e)
{
    for (int32_t n = 0; n < 5; ++n) {
        const Decoder* d = *decoderSlot(e, n);
        if (d == nullptr || d->kind == kDecoderKindDummy)
            continue;
        for (const AM* model : {d->model, n == 0 ? e->acousticModel1 : static_cast<AM*>(nullptr), n == 0 ? e->acousticModel2 : static_cast<AM*>(nullptr)})
            if (model != nullptr && model->noParameters)
                return true;
    }
    return false;
}

void initEndPointers(BrevitEngine* e)
{
    const int32_t speech = word(kBrevitParamEndPointerWords[0][0]);
    const int32_t silence = word(kBrevitParamEndPointerWords[0][1]);
    for (int32_t i = 0; i < 4; ++i) {
        int32_t s = word(kBrevitParamEndPointerWords[i][0]);
        int32_t q = word(kBrevitParamEndPointerWords[i][1]);
        if (i > 0 && s == -1)
            s = speech;
        if (i > 0 && q == -1)
            q = silence;
        UttDet_Init(&e->endPointers[i], e->framePeriod, s, q, 0, 0);
    }
    e->endPointerSettings = &e->endPointers[0];
}

// Milliseconds per frame: the front end's shift (twice it with word 365).
int32_t framePeriodOf(const FE* fe)
{
    int64_t shift = FE_GetNumberSamplesInShift(fe);
    if (BrevitParam_Word(kBrevitParamHalfShift) != 0)
        shift *= 2;
    const int32_t rate = FE_GetSampleRate(fe);
    return rate > 0 ? static_cast<int32_t>(1000 * shift / rate) : 0;
}

void setVersionAndCount(BrevitEngine* e)
{
    e->listeningUtteranceId = kNoUtterance;
    e->recognizingUtteranceId = kNoUtterance;
    e->engineVersion[0] = DVKVersion_GetMajor();
    e->engineVersion[1] = DVKVersion_GetMinor();
    e->engineVersion[2] = DVKVersion_GetBuild();
    ++sBrevitesRefCount;
}

} // namespace

EBrevit BrevitPriv_LoadModelSet(DVKTar* tar, BrevitEngine** engine, int32_t mode, BrevitModelSetCRCs* crcs)
{
    if (mode < kBrevitModeModelSet || mode > kBrevitModeModelSetB)
        return EBrevit_BadArgument;
    // Lookups by name go through a sorted directory; an archive whose chain
    // cannot be sorted is still scanned.
    DVKTar_BuildDirectory(tar);
    uint8_t presence[kBrevitPresenceSize] = {};
    if (mode != kBrevitModeModelSetB) {
        *engine = BrevitPriv_AllocateEngine();
        if (*engine == nullptr)
            DVKErr_Raise(__FILE__, __LINE__, "out of memory for the engine object");
    }
    BrevitEngine* e = *engine;
    BrevitVersionRecord rec;
    if (!BrevitPriv_ReadVersionRecord(tar, &rec, kBrevitPresenceSize, presence) ||
        rec.majorVersion != kDVKVersionMajor || rec.mode != mode)
        return EBrevit_EngineError;
    e->engineVersion[0] = rec.majorVersion;
    e->engineVersion[1] = rec.secondMinorVersion;
    e->engineVersion[2] = rec.build;
    // The set's property words stay with the engine (a pair keeps A's).
    if (mode != kBrevitModeModelSetB) {
        e->modelSetProperties[0] = rec.properties[0];
        e->modelSetProperties[1] = rec.properties[1];
    }
    if (crcs != nullptr)
        *crcs = {rec.frontEndCRC, rec.modelCRC, rec.vocabularyCRC, rec.topologyCRC};
    if (!loadParameters(tar, e))
        return EBrevit_EngineError;
    if (mode != kBrevitModeModelSetB && !loadAcousticSide(tar, e, rec, presence))
        return EBrevit_EngineError;
    if (mode != kBrevitModeModelSetA && !loadLexicalSide(tar, e, presence))
        return EBrevit_EngineError;
    return EBrevit_OK;
}

void BrevitPriv_ChooseDecoderKinds(int32_t flag, int32_t* kind0, int32_t* kind1)
{
    if (gpBrevitGlobalParameters != nullptr && word(kBrevitParamNoMainDecoder) != 0)
        *kind0 = 0;
    else if (flag != 0)
        *kind0 = kDecoderKindDummy;
    else if (word(kBrevitParamDecoderKind6) != 0)
        *kind0 = 11;
    else if (word(kBrevitParamDecoderKind5) != 0)
        *kind0 = 6;
    else if (word(kBrevitParamDecoderKind1) != 0)
        *kind0 = 5;
    else
        *kind0 = kDecoderKindFast;
    if (flag != 0)
        *kind1 = kDecoderKindDummy;
    else if (word(kBrevitParamRecordTreeState) != 0)
        *kind1 = kDecoderKindLinearChain9;
    else
        *kind1 = kDecoderKindLinearChain;
}

int32_t BrevitPriv_CreateDecoders(BrevitEngine* e, int32_t flag)
{
    e->decoderKindFlag = flag;
    e->currentDecoder = nullptr;
    int32_t kind0 = 0;
    int32_t kind1 = 0;
    BrevitPriv_ChooseDecoderKinds(flag, &kind0, &kind1);
    const int32_t period = e->framePeriod;
    if (e->decoder0 == nullptr && kind0 != 0) {
        e->decoder0 = Decoder_Create(e->vocabulary, e->acousticModel0, e->acousticModel1, e->acousticModel2,
                                     period, kind0);
        if (e->decoder0 == nullptr)
            return 0;
    }
    if (e->decoder1 == nullptr) {
        e->decoder1 = Decoder_Create(e->vocabulary, e->acousticModel0, nullptr, nullptr, period, kind1);
        if (e->decoder1 == nullptr)
            return 0;
    }
    AM* models[3] = {e->acousticModel1, e->acousticModel2, e->acousticModel3};
    for (int32_t n = 2; n < 5; ++n) {
        Decoder** slot = decoderSlot(e, n);
        if (*slot != nullptr || models[n - 2] == nullptr)
            continue;
        *slot = Decoder_Create(e->vocabulary, models[n - 2], nullptr, nullptr, period, kDecoderKindLinearChain);
        if (*slot == nullptr)
            return 0;
    }
    return 1;
}

void BrevitPriv_DeleteDecoders(BrevitEngine* e)
{
    const int32_t option = gpBrevitGlobalParameters != nullptr ? word(kBrevitParamDecoderSlotOption) : 0;
    for (int32_t n = 0; n < 5; ++n) {
        Decoder_Delete(*decoderSlot(e, n), option);
        *decoderSlot(e, n) = nullptr;
    }
}

EBrevit BrevitPriv_InitCore(BrevitEngine* e)
{
    DVKErr_InitErrorStack(&e->errors);
    e->framePeriod = framePeriodOf(e->frontEnd);
    if (e->framePeriod < 1)
        return EBrevit_EngineError;
    const int32_t flag = word(kBrevitParamFastDecoderKind8);
    if (flag != 0) {
        e->choiceLists[0] = nullptr;
        e->choiceLists[1] = nullptr;
        e->recognitionStarted = 0;
        if (BrevitPriv_InitAudioInput(e, -1) != 0)
            return EBrevit_MemoryError;
        if (!BrevitPriv_CreateDecoders(e, flag))
            return EBrevit_EngineError;
        // Not a creation step of this mode, but listening needs an active
        // end-pointer whatever the decoders are.
        initEndPointers(e);
        setVersionAndCount(e);
        return EBrevit_OK;
    }
    if (AM_IsWarpIndexSet(e->acousticModel0))
        FE_SetWarpIndex(e->frontEnd, AM_GetWarpIndex(e->acousticModel0));
    e->dynamicSilence = word(kBrevitParamDynamicSilence);
    if (e->dynamicSilence != 0)
        AM_InitDynamicSilenceModel(e->acousticModel0);
    e->clientData = ClientData_Create(kClientDataChunkSize);
    if (e->clientData == nullptr)
        return EBrevit_MemoryError;
    if (BrevitPriv_InitAudioInput(e, AM_GetFeatureDim(e->acousticModel0)) != 0)
        return EBrevit_MemoryError;
    if (!BrevitPriv_CreateDecoders(e, flag) || decoderOverModelWithoutParameters(e))
        return EBrevit_EngineError;
    if (BrevitPriv_CreateRecognitionData(e) != 0)
        return EBrevit_MemoryError;
    initEndPointers(e);
    const int32_t grammarCapacity = word(kBrevitParamGrammarCapacity);
    if (e->grammar == nullptr && grammarCapacity != 0) {
        e->grammar = Grammar_Create(e->vocabulary, grammarCapacity, 32 * grammarCapacity);
        if (e->grammar == nullptr)
            return EBrevit_EngineError;
    }
    if (e->phraseIndex == nullptr && BrevitPriv_CreatePhraseIndex(e) != 0)
        return EBrevit_EngineError;
    setVersionAndCount(e);
    return EBrevit_OK;
}
