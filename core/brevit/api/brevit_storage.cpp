// User-state storage: what a user changed in an engine saved into one
// archive (mode 3) or split over a pair (A: speaker and channel, mode 4;
// B: the user's words, mode 5), and loaded back into an engine of the same
// model set.
#include "core/brevit/api/brevit.h"

#include "core/brevit/acoustic/acoustic_engine_calls.h"
#include "core/brevit/api/brevit_call_frame.h"
#include "core/brevit/api/brevit_engine.h"
#include "core/brevit/api/brevit_storage.h"
#include "core/brevit/api/brevit_synthesis.h"
#include "core/brevit/api/brevit_version_record.h"
#include "core/brevit/frontend/fe.h"
#include "core/brevit/lexicon/ir.h"
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/dvk_client_data.h"
#include "core/brevit/runtime/dvk_file_glue.h"
#include "core/brevit/runtime/dvk_tar.h"
#include "core/brevit/runtime/dvk_version.h"
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/constraint_manager.h"
#include "core/brevit/search/decoder.h"
#include "core/brevit/search/grammar.h"
#include "core/brevit/synthesis/tts.h"

#include <cstring>
#include <string>

namespace {

constexpr const char* kDecoderPrefixes[5] = {"bdec0/", "bdec1/", "bdec2/", "bdec3/", "bdec4/"};

bool busy(const BrevitEngine* e)
{
    return e->recognitionRunning != 0 || e->listening != 0;
}

Decoder* decoderAt(const BrevitEngine* e, int32_t n)
{
    Decoder* decoders[5] = {e->decoder0, e->decoder1, e->decoder2, e->decoder3, e->decoder4};
    return decoders[n];
}

bool speakerHalf(int32_t mode)
{
    return mode == kBrevitModeStorage || mode == kBrevitModeStorageA;
}

bool wordsHalf(int32_t mode)
{
    return mode == kBrevitModeStorage || mode == kBrevitModeStorageB;
}

// Model 0, then 1 and 2, with their adapted-parameter selectors.
struct AdaptedModel {
    AM* model;
    int32_t selector1;
    int32_t selector2;
};

void adaptedModels(const BrevitEngine* e, const uint8_t* presence, AdaptedModel out[3])
{
    out[0] = {e->acousticModel0, 0, 0};
    out[1] = {presence[kPresenceModel1] ? e->acousticModel1 : nullptr, 1, 0};
    out[2] = {presence[kPresenceModel2] ? e->acousticModel2 : nullptr, 0, 1};
}

bool writeComponents(BrevitEngine* e, DVKTar* tar, int32_t mode, const uint8_t* presence)
{
    if (speakerHalf(mode)) {
        if (FE_WritePSAFile(e->frontEnd, tar, nullptr) != 1)
            return false;
        AdaptedModel models[3];
        adaptedModels(e, presence, models);
        for (const AdaptedModel& m : models)
            if (m.model != nullptr &&
                AM_SaveAdaptedParameters(m.model, tar, nullptr, m.selector1, m.selector2) != 1)
                return false;
    }
    if (wordsHalf(mode)) {
        if (Voc_WritePSAFile(e->vocabulary, tar, nullptr) != 1)
            return false;
        for (int32_t n = 0; n < 5; ++n)
            if (decoderAt(e, n) != nullptr && Decoder_WritePSAFile(decoderAt(e, n), tar, kDecoderPrefixes[n]) != 1)
                return false;
        // The classes link their phrases to the index when read, so it goes first.
        if (e->phraseIndex != nullptr && IR_WriteBinFile(e->phraseIndex, tar, nullptr) != 1)
            return false;
        if (e->classManager != nullptr && ClassManager_WritePSAFile(e->classManager, tar, nullptr) != 1)
            return false;
        if (e->constraintManager != nullptr &&
            ConstraintManager_WritePSAFile(e->constraintManager, tar, nullptr) != 1)
            return false;
        if (e->grammar != nullptr && Grammar_WritePSAFile(e->grammar, tar, nullptr) != 1)
            return false;
    }
    if (speakerHalf(mode) && ClientData_WriteBinFile(e->clientData, tar, nullptr) != 1)
        return false;
    return true;
}

// Saves one mode into "<path>.tmp" and puts it in place of path only when
// every write and the close succeeded, so a failed save keeps the old state.
EBrevit saveMode(BrevitEngine* e, const char* path, int32_t mode)
{
    const std::string temporary = std::string(path) + ".tmp";
    DVKTar* tar = DVKTar_OpenForWrite(temporary.c_str());
    if (tar == nullptr)
        return EBrevit_StorageWriteError;
    uint8_t presence[kBrevitPresenceSize];
    BrevitPriv_BuildPresence(e, presence);
    bool ok = BrevitPriv_WriteVersionRecord(e, tar, mode, kBrevitPresenceSize, presence) == EBrevit_OK &&
              writeComponents(e, tar, mode, presence);
    if (DVKTar_Close(tar) != 0)
        ok = false;
    if (ok && DVK_rename(temporary.c_str(), path) != 0)
        ok = false;
    if (!ok)
        DVK_fremove(temporary.c_str());
    return ok ? EBrevit_OK : EBrevit_StorageWriteError;
}

bool readComponents(BrevitEngine* e, DVKTar* tar, int32_t mode, const uint8_t* presence,
                    const BrevitVersionRecord& rec)
{
    if (speakerHalf(mode)) {
        if (FE_ReadPSAFile(e->frontEnd, tar, nullptr) != 1)
            return false;
        AdaptedModel models[3];
        adaptedModels(e, presence, models);
        for (const AdaptedModel& m : models)
            if (m.model != nullptr &&
                AM_LoadAdaptedParameters(m.model, tar, nullptr, m.selector1, m.selector2) != 1)
                return false;
    }
    if (wordsHalf(mode)) {
        if (Voc_ReadPSAFile(e->vocabulary, tar, nullptr) != 1)
            return false;
        // Models replaced since B was written: the decoders' state no longer
        // fits them and stays as it is.
        const bool readDecoders =
            mode != kBrevitModeStorageB || AM_ComputeTopologyCRC(e->acousticModel0) == rec.topologyCRC;
        if (readDecoders)
            for (int32_t n = 0; n < 5; ++n)
                if (decoderAt(e, n) != nullptr &&
                    Decoder_ReadPSAFile(decoderAt(e, n), tar, kDecoderPrefixes[n]) != 1)
                    return false;
        // A store without "bir0" leaves a fresh engine's empty index; a
        // damaged one refuses the store.
        if (e->phraseIndex != nullptr && DVKTar_SubFileExists(tar, "bir0") == 1 &&
            IR_ReadBinFile(e->phraseIndex, tar, nullptr) != 1)
            return false;
        if (e->classManager != nullptr &&
            ClassManager_ReadPSAFile(e->classManager, tar, nullptr, e->phraseIndex, readDecoders ? 1 : 0) != 1)
            return false;
        if (e->constraintManager != nullptr &&
            ConstraintManager_ReadPSAFile(e->constraintManager, tar, nullptr, e->vocabulary, e->classManager) != 1)
            return false;
        if (e->grammar != nullptr && Grammar_ReadPSAFile(e->grammar, tar, nullptr) != 1)
            return false;
    }
    if (speakerHalf(mode)) {
        // The store reads only into an empty store: what was set before the
        // load goes, the stored items come in.
        if (e->clientData == nullptr)
            e->clientData = ClientData_Create(kClientDataChunkSize);
        if (e->clientData == nullptr)
            return false;
        ClientData_ClearAll(e->clientData);
        if (ClientData_LoadFromBinFile(e->clientData, tar, nullptr) != 1)
            return false;
    }
    return true;
}

template <typename Body>
EBrevit storageCall(BrevitEngine* engine, Body&& body)
{
    return BrevitPriv_Call(engine, [&](BrevitEngine* e) {
        if (busy(e))
            return EBrevit_WrongState;
        return body(e);
    });
}

} // namespace

void BrevitPriv_BuildPresence(const BrevitEngine* e, uint8_t* presence)
{
    std::memset(presence, 0, kBrevitPresenceSize);
    presence[kPresenceSynthesis] = e->synthesis != nullptr;
    presence[kPresenceClassManager] = e->classManager != nullptr;
    presence[kPresenceConstraintManager] = e->constraintManager != nullptr;
    presence[kPresencePhraseIndex] = e->phraseIndex != nullptr;
    presence[kPresenceModel1] = e->acousticModel1 != nullptr;
    presence[kPresenceModel2] = e->acousticModel2 != nullptr;
    // Model 3 is never saved: its byte stays 0.
    for (int32_t n = 0; n < 5; ++n)
        presence[kPresenceDecoder0 + n] = decoderAt(e, n) != nullptr;
    presence[kPresenceGrammar] = e->grammar != nullptr;
}

EBrevit BrevitPriv_WriteVersionRecord(BrevitEngine* e, DVKTar* tar, int32_t mode, int32_t presenceSize,
                                      const uint8_t* presence)
{
    BrevitVersionRecord rec;
    std::memset(&rec, 0, sizeof(rec));
    rec.majorVersion = e->engineVersion[0];
    rec.minorVersion = DVKVersion_GetMinor();
    rec.secondMinorVersion = e->engineVersion[1];
    rec.build = e->engineVersion[2];
    rec.mode = mode;
    char language[16] = {};
    if (e->vocabulary != nullptr)
        Voc_GetLanguageName(e->vocabulary, sizeof(language), language);
    std::memcpy(rec.language, language, 4);
    rec.sampleRate = e->frontEnd != nullptr ? FE_GetSampleRate(e->frontEnd) : 0;
    rec.properties[0] = e->modelSetProperties[0];
    rec.properties[1] = e->modelSetProperties[1];
    rec.frontEndCRC = FE_ComputeCRC(e->frontEnd, 0);
    rec.modelCRC = e->acousticModel0 != nullptr ? AM_ComputeCRC(e->acousticModel0, 0) : 0xFFFFFFFFu;
    rec.vocabularyCRC = e->vocabulary != nullptr ? Voc_ComputeCRC(e->vocabulary) : 0xFFFFFFFFu;
    rec.topologyCRC = e->acousticModel0 != nullptr ? AM_ComputeTopologyCRC(e->acousticModel0) : 0xFFFFFFFFu;
    rec.synthesisEncoding = BrevitPriv_GetTTSEncodingCode(e);
    return BrevitPriv_WriteRecord(tar, &rec, presenceSize, presence);
}

EBrevit BrevitPriv_LoadStorageArchive(BrevitEngine* e, DVKTar* tar, int32_t mode)
{
    if (mode < kBrevitModeStorage || mode > kBrevitModeStorageB)
        return EBrevit_BadArgument;
    DVKTar_BuildDirectory(tar);
    uint8_t presence[kBrevitPresenceSize];
    BrevitPriv_BuildPresence(e, presence);
    BrevitVersionRecord rec;
    if (!BrevitPriv_ReadVersionRecord(tar, &rec, kBrevitPresenceSize, presence) ||
        rec.majorVersion != kDVKVersionMajor || rec.mode != mode)
        return EBrevit_StoredDataError;
    if (rec.minorVersion != e->engineVersion[1])
        e->engineVersion[1] = rec.minorVersion;
    return readComponents(e, tar, mode, presence, rec) ? EBrevit_OK : EBrevit_StoredDataError;
}

EBrevit BrevitPriv_LoadFromStorageMode(BrevitEngine* e, const char* path, int32_t mode)
{
    if (mode < kBrevitModeStorage || mode > kBrevitModeStorageB)
        return EBrevit_BadArgument;
    DVKTar* tar = DVKTar_OpenForRead(path);
    if (tar == nullptr)
        return EBrevit_StoredDataError;
    EBrevit result = EBrevit_StoredDataError;
    // An engine error in a reader still closes the archive before unwinding on.
    const int unwound = DVKErr_Protect([&] { result = BrevitPriv_LoadStorageArchive(e, tar, mode); });
    const int32_t closeFailed = DVKTar_Close(tar);
    if (unwound != 0)
        DVKErr_Throw();
    if (result == EBrevit_OK && closeFailed != 0)
        result = EBrevit_StoredDataError;
    return result;
}

EBrevit Brevit_SaveToStorage(BrevitEngine* engine, const char* path)
{
    return storageCall(engine, [path](BrevitEngine* e) {
        if (path == nullptr)
            return EBrevit_BadArgument;
        return saveMode(e, path, kBrevitModeStorage);
    });
}

EBrevit Brevit_SaveToStoragePair(BrevitEngine* engine, const char* pathA, const char* pathB)
{
    return storageCall(engine, [pathA, pathB](BrevitEngine* e) {
        if (pathA == nullptr && pathB == nullptr)
            return EBrevit_BadArgument;
        EBrevit result = EBrevit_OK;
        if (pathA != nullptr)
            result = saveMode(e, pathA, kBrevitModeStorageA);
        if (result == EBrevit_OK && pathB != nullptr)
            result = saveMode(e, pathB, kBrevitModeStorageB);
        return result;
    });
}

EBrevit Brevit_LoadFromStorage(BrevitEngine* engine, const char* path)
{
    return storageCall(engine, [path](BrevitEngine* e) {
        if (path == nullptr)
            return EBrevit_BadArgument;
        return BrevitPriv_LoadFromStorageMode(e, path, kBrevitModeStorage);
    });
}

EBrevit Brevit_LoadFromStoragePair(BrevitEngine* engine, const char* pathA, const char* pathB)
{
    return storageCall(engine, [pathA, pathB](BrevitEngine* e) {
        if (pathA == nullptr && pathB == nullptr)
            return EBrevit_BadArgument;
        EBrevit result = EBrevit_OK;
        if (pathA != nullptr)
            result = BrevitPriv_LoadFromStorageMode(e, pathA, kBrevitModeStorageA);
        if (result == EBrevit_OK && pathB != nullptr)
            result = BrevitPriv_LoadFromStorageMode(e, pathB, kBrevitModeStorageB);
        return result;
    });
}
