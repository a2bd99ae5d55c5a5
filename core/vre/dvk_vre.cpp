// The recogniser's life: engine creation from the language's model files,
// the language checks, and the user's adapted data stored in two halves.
#include "core/vre/dvk_vre_record.h"

#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_audio.h"
#include "sdk/common/dvk_file.h"
#include "sdk/common/dvk_mem.h"

#include <cstring>

namespace {

void* local_alloc(BrevitAllocator*, uint32_t size)
{
    DVK_ASSERT(size > 0);
    return dvk_mem_alloc(size);
}

void local_free(BrevitAllocator*, void* block)
{
    dvk_mem_dealloc(&block);
}

uint32_t local_usableSize(BrevitAllocator*, void*)
{
    return 0;
}

BrevitAllocator localAllocator()
{
    BrevitAllocator allocator{};
    allocator.alloc = local_alloc;
    allocator.free = local_free;
    allocator.usableSize = local_usableSize;
    return allocator;
}

// The model file of an engine kind: 3 dictation, 4 synthesis only, else
// recognition.
char* modelFileName(dvk_lang_Language language, int32_t kind)
{
    if (kind == 3)
        return dvk_lang_getDictationModelFileName(language);
    if (kind == 4)
        return dvk_lang_getTTSOnlyModelFileName(language);
    return dvk_lang_getLanguageModelFileName(language);
}

struct ModelSetInfo {
    uint32_t capabilities;  // property word 1
    uint32_t kindWord;      // property word 2
    int32_t sampleRate;
};

// 0 and the information when the file exists and its version record reads.
int32_t readModelSetInfo(const char* path, BrevitAllocator* allocator, ModelSetInfo* info)
{
    int32_t major = 0, minor = 0, encoding = 0;
    char language[8] = {};
    *info = {};
    const EBrevit result = Brevit_GetBinFileModelSetInfo(path, allocator, &major, &minor,
                                                         static_cast<int32_t>(sizeof(language)), language,
                                                         &info->capabilities, &info->kindWord, &encoding,
                                                         &info->sampleRate);
    if (result != EBrevit_OK)
        return 1;
    return dvk_file_fexist(path) ? 0 : 1;
}

bool capabilitiesFit(int32_t kind, uint32_t capabilities)
{
    switch (kind) {
    case 1:
        return (capabilities & 28u) != 0;
    case 2:
        return (capabilities & 92u) == 92u;
    case 3:
        return (capabilities & 1u) != 0;
    case 4:
        return capabilities == 0;
    default:
        return false;
    }
}

int32_t kindCode(uint32_t kindWord)
{
    switch (kindWord) {
    case 4:
        return 1;
    case 28:
        return 2;
    case 30:
        return 3;
    default:
        return 0;
    }
}

void destroyEngine(BrevitEngine** engine)
{
    if (*engine == nullptr)
        return;
    BrevitAllocator* allocator = nullptr;
    Brevit_Destroy(*engine, &allocator);
    *engine = nullptr;
}

int32_t newBrevit(dvk_vre_Recognizer* vre, int32_t kind, BrevitEngine** engine)
{
    *engine = nullptr;
    vre->dictationPcmType = DVK_OEM_AUDIO_PCMTYPE_NONE;
    const int32_t recordingType = dvk_audio_getPCMRecordingType();
    if (recordingType != DVK_OEM_AUDIO_PCMTYPE_8K && recordingType != DVK_OEM_AUDIO_PCMTYPE_16K) {
        dvk_vre_log().log(WexLogError, "recording PCM type %d has no sample rate", recordingType);
        return 1;
    }
    char* path = modelFileName(vre->language, kind);
    if (path == nullptr)
        return 1;
    ModelSetInfo info;
    int32_t result = readModelSetInfo(path, &vre->allocator, &info);
    if (result == 0) {
        const EBrevit created = Brevit_CreateFromBinFile(path, &vre->allocator, engine);
        if (created != EBrevit_OK) {
            dvk_vre_log().log(WexLogError, "engine creation from %s failed: %d", path, created);
            destroyEngine(engine);
            result = 1;
        }
    } else {
        dvk_vre_log().log(WexLogError, "no usable model set in %s", path);
    }
    dvk_mem_dealloc(&path);
    if (result == 0 && kind == 3)
        vre->dictationPcmType = info.sampleRate == 16000 ? DVK_OEM_AUDIO_PCMTYPE_16K : DVK_OEM_AUDIO_PCMTYPE_8K;
    return result;
}

// The two halves' names: vocabulary and models.
int32_t makeBrevitFilenames(dvk_lang_Language language, int32_t dictation, char** vocabulary, char** models)
{
    *vocabulary = dictation ? dvk_lang_getDictationVocabFileName(language)
                            : dvk_lang_getRecognitionVocabFileName(language);
    *models = dictation ? dvk_lang_getDictationAdaptedModelFileName(language)
                        : dvk_lang_getRecognitionAdaptedModelFileName(language);
    if (*vocabulary != nullptr && *models != nullptr)
        return 0;
    dvk_mem_dealloc(vocabulary);
    dvk_mem_dealloc(models);
    return 1;
}

void freeFilenames(char** vocabulary, char** models)
{
    dvk_mem_dealloc(vocabulary);
    dvk_mem_dealloc(models);
}

int32_t removeFile(const char* name)
{
    if (!dvk_file_fexist(name))
        return 0;
    if (dvk_file_remove(name) != 0) {
        dvk_vre_log().log(WexLogError, "cannot remove %s", name);
        return 3;
    }
    return 0;
}

int32_t removeFiles(dvk_lang_Language language, int32_t dictation, int32_t what)
{
    char *vocabulary, *models;
    if (makeBrevitFilenames(language, dictation, &vocabulary, &models) != 0)
        return 1;
    int32_t result = what != 1 ? removeFile(vocabulary) : 0;
    if (result == 0 && what != 0)
        result = removeFile(models);
    freeFilenames(&vocabulary, &models);
    return result;
}

// A fresh main engine in place of one whose stored data failed half-way.
int32_t recreateEngine(dvk_vre_Recognizer* vre)
{
    BrevitEngine* fresh = nullptr;
    const int32_t dictationPcmType = vre->dictationPcmType;
    if (newBrevit(vre, vre->mode == 0 ? 1 : vre->mode == 1 ? 3 : 0, &fresh) != 0) {
        vre->dictationPcmType = dictationPcmType;
        return 1;
    }
    if (vre->currentTtsEngine == vre->engine)
        vre->currentTtsEngine = nullptr;
    destroyEngine(&vre->engine);
    vre->engine = fresh;
    return 0;
}

}  // namespace

WexLogger& dvk_vre_log()
{
    static WexLogger logger("DvkVre");
    return logger;
}

int32_t dvk_vre_isLanguageSupported(dvk_lang_Language language, int32_t kind, int32_t* code,
                                    int32_t* engineInfo)
{
    DVK_ASSERT(code != DVK_NULL);
    DVK_ASSERT(engineInfo != DVK_NULL);
    *code = 0;
    *engineInfo = 0;
    BrevitAllocator allocator = localAllocator();
    int32_t count = 0;
    if (Brevit_GetNumberStoredModelSets(&allocator, &count) != EBrevit_OK)
        return 0;
    const char* wanted = dvk_lang_getLanguageModelString(language);
    for (int32_t i = 0; i < count; ++i) {
        char name[8] = {};
        uint32_t capabilities = 0, kindWord = 0;
        if (Brevit_GetNthStoredModelSet(i, &allocator, static_cast<int32_t>(sizeof(name)), name,
                                        &capabilities, &kindWord) != EBrevit_OK)
            continue;
        name[sizeof(name) - 1] = 0;
        if (std::strcmp(name, wanted) == 0 && capabilitiesFit(kind, capabilities)) {
            *code = kindCode(kindWord);
            return 1;
        }
    }
    char* path = modelFileName(language, kind);
    if (path == nullptr)
        return 0;
    ModelSetInfo info;
    int32_t supported = readModelSetInfo(path, &allocator, &info) == 0;
    dvk_mem_dealloc(&path);
    if (supported)
        *code = kindCode(info.kindWord);
    if (kind == 2 && (info.capabilities & 92u) != 92u)
        supported = 0;
    return supported;
}

int32_t dvk_vre_create(dvk_vre_Recognizer** vre, dvk_lang_Language language, int32_t mode,
                       dvk_string_Table* stringTable)
{
    DVK_ASSERT(vre != DVK_NULL);
    *vre = nullptr;
    int32_t code, info;
    if ((mode == 0 && !dvk_vre_isLanguageSupported(language, 1, &code, &info)) ||
        (mode == 1 && !dvk_vre_isLanguageSupported(language, 3, &code, &info)))
        return 2;
    auto* made = static_cast<dvk_vre_Recognizer*>(dvk_mem_alloc(sizeof(dvk_vre_Recognizer)));
    if (made == nullptr)
        return 1;
    std::memset(made, 0, sizeof(*made));
    made->mode = mode;
    made->language = language;
    made->stringTable = stringTable;
    made->partialModelsSupported = dvk_vre_isLanguageSupported(language, 2, &code, &info);
    made->allocator = localAllocator();
    made->resultWord = 0xFFFFFFFFu;
    made->dictationPcmType = DVK_OEM_AUDIO_PCMTYPE_NONE;
    if (newBrevit(made, mode == 0 ? 1 : mode == 1 ? 3 : 0, &made->engine) != 0) {
        dvk_mem_dealloc(&made);
        return 1;
    }
    if (mode == 0 && dvk_vre_isLanguageSupported(language, 4, &code, &info)) {
        const int32_t dictationPcmType = made->dictationPcmType;
        if (newBrevit(made, 4, &made->ttsEngine) != 0) {
            dvk_vre_destroy(&made);
            return 1;
        }
        made->dictationPcmType = dictationPcmType;
    }
    *vre = made;
    return 0;
}

void dvk_vre_destroy(dvk_vre_Recognizer** vre)
{
    DVK_ASSERT(vre != DVK_NULL);
    dvk_vre_Recognizer* r = *vre;
    if (r == nullptr)
        return;
    if ((r->adaptationStarted || r->enrollmentStarted) && r->engine != nullptr)
        Brevit_EndEnrollmentSession(r->engine, 1);
    dvk_mem_dealloc(&r->captureTempBuffer.data);
    destroyEngine(&r->ttsEngine);
    destroyEngine(&r->engine);
    dvk_mem_dealloc(vre);
}

int32_t dvk_vre_load(dvk_vre_Recognizer* vre, int32_t what, int32_t* loaded)
{
    DVK_ASSERT(vre != DVK_NULL);
    DVK_ASSERT(loaded != DVK_NULL);
    *loaded = 0;
    char *vocabulary, *models;
    if (makeBrevitFilenames(vre->language, vre->mode != 0, &vocabulary, &models) != 0)
        return 1;
    if (what != 1)
        vre->needsSave = 1;
    const char* modelsHalf = what != 0 && dvk_file_fexist(models) ? models : nullptr;
    const char* vocabularyHalf = what != 1 && dvk_file_fexist(vocabulary) ? vocabulary : nullptr;
    int32_t result = 0;
    if (modelsHalf != nullptr || vocabularyHalf != nullptr) {
        const EBrevit loadedResult = Brevit_LoadFromStoragePair(vre->engine, modelsHalf, vocabularyHalf);
        if (loadedResult == EBrevit_OK) {
            *loaded = 1;
            vre->needsSave = 0;
        } else if (loadedResult == EBrevit_StoredDataError) {
            // The engine may hold part of what it read before it stopped:
            // the stored data goes, and so does that engine.
            dvk_vre_log().log(WexLogWarning, "stored data unreadable; removed");
            result = dvk_vre_remove(vre, what) != 0 || recreateEngine(vre) != 0 ? 1 : 0;
        } else {
            dvk_vre_log().log(WexLogError, "loading stored data failed: %d", loadedResult);
            result = 1;
        }
    }
    freeFilenames(&vocabulary, &models);
    return result;
}

int32_t dvk_vre_save(dvk_vre_Recognizer* vre, int32_t what)
{
    DVK_ASSERT(vre != DVK_NULL);
    char *vocabulary, *models;
    if (makeBrevitFilenames(vre->language, vre->mode != 0, &vocabulary, &models) != 0)
        return 1;
    const EBrevit saved = Brevit_SaveToStoragePair(vre->engine, what != 0 ? models : nullptr,
                                                   what != 1 ? vocabulary : nullptr);
    freeFilenames(&vocabulary, &models);
    if (saved == EBrevit_OK)
        return 0;
    dvk_vre_log().log(WexLogError, "saving stored data failed: %d", saved);
    return saved == EBrevit_StorageWriteError ? 3 : 1;
}

int32_t dvk_vre_remove(dvk_vre_Recognizer* vre, int32_t what)
{
    DVK_ASSERT(vre != DVK_NULL);
    return removeFiles(vre->language, vre->mode != 0, what);
}

int32_t dvk_vre_exists(dvk_lang_Language language, int32_t dictation, int32_t what)
{
    if (what < 0 || what > 2)
        return 0;
    char *vocabulary, *models;
    if (makeBrevitFilenames(language, dictation, &vocabulary, &models) != 0)
        return 0;
    const int32_t exists = (what == 1 || dvk_file_fexist(vocabulary)) && (what == 0 || dvk_file_fexist(models));
    freeFilenames(&vocabulary, &models);
    return exists;
}

int32_t dvk_vre_removeAll(int32_t what, int32_t dictation)
{
    for (dvk_lang_Language language = DVK_LANG_LANGUAGE_FIRST; language < DVK_LANG_LANGUAGE_MAX; ++language) {
        const int32_t result = removeFiles(language, dictation, what);
        if (result != 0)
            return result;
    }
    return 0;
}

int32_t dvk_vre_partialModelsSupported(dvk_vre_Recognizer* vre)
{
    DVK_ASSERT(vre != DVK_NULL);
    return vre->partialModelsSupported;
}

int32_t dvk_vre_isSystemAdapted(dvk_vre_Recognizer* vre, int32_t* adapted)
{
    DVK_ASSERT(vre != DVK_NULL);
    DVK_ASSERT(adapted != DVK_NULL);
    *adapted = 0;
    return Brevit_GetEnrollmentStatus(vre->engine, adapted) == EBrevit_OK ? 0 : 1;
}
