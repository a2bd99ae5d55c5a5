// The speech API's engine: create with its grammar build, abort and
// destroy, and every request's handler (prompts, listening, lists, capture).
#include "core/dkapi/dvk_dkapi_engine.h"

#include "core/constraints/dvk_constraints.h"
#include "core/dkapi/dvk_dkapi_requests.h"
#include "core/lang/dvk_lang.h"
#include "core/nbest/dvk_nbest.h"
#include "core/prompt/dvk_prompt.h"
#include "core/prompt/dvk_prompt_table.h"
#include "core/string/dvk_string.h"
#include "core/utils/dvk_ucs2.h"
#include "core/vre/dvk_vre.h"
#include "platform/core/wex_logger.h"
#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_audio.h"
#include "sdk/common/dvk_file.h"
#include "sdk/common/dvk_mem.h"
#include "sdk/common/dvk_pbook.h"
#include "sdk/common/dvk_play.h"
#include "sdk/common/dvk_settings.h"
#include "sdk/common/dvk_ui.h"

#include <algorithm>
#include <cstring>

namespace {

dvk_dkapi_Engine* dkapi = nullptr;

WexLogger& dkapiLog()
{
    static WexLogger logger("DvkDkapi");
    return logger;
}

const int32_t kBufferMs = 500;
const int32_t kMaxText = 255;
const dvk_oem_audio_VocoderType kNoVocoder = static_cast<dvk_oem_audio_VocoderType>(9);

void answer(DKAPI_Notify notify, int32_t status, void* context, dvk_msg_Address address);

// The out-of-memory route: all audio stops and the last requester's notify
// hears 3; the pending request is over (its notify is that one).
void stopAllAudio();
void outOfMemory(dvk_msg_Address address)
{
    stopAllAudio();
    if (dkapi != nullptr)
        dkapi->notify = nullptr;
    dvk_msg_sendEvent(dvk_dkapi_oomHandler, address);
}

void answer(DKAPI_Notify notify, int32_t status, void* context, dvk_msg_Address address)
{
    if (!dvk_dkapi_notify(notify, status, context, address))
        outOfMemory(address);
}

// Notifies the pending request, which is then over.
void notifyPending(int32_t status)
{
    if (dkapi == nullptr || dkapi->notify == nullptr)
        return;
    const DKAPI_Notify notify = dkapi->notify;
    dkapi->notify = nullptr;
    answer(notify, status, dkapi->context, dkapi->callerAddress);
}

void stopAudioOutput()
{
    // The list first: a stream it plays ends while its item is still queued.
    if (dkapi->prompts != nullptr) {
        if (dvk_prompt_stopPromptList(dkapi->prompts) != 0)
            dvk_msg_sendEvent(dvk_dkapi_oomHandler, dkapi->callerAddress);
        dkapi->prompts = nullptr;
    }
    dvk_audio_stopPlayback(nullptr);
}

void stopAllAudio()
{
    if (dkapi == nullptr)
        return;
    dvk_audio_stopRecording(nullptr);
    dvk_ui_setAudioInputInfo(-1, -1);
    dkapi->listen.recording = 0;
    stopAudioOutput();
}

// Stops audio, recognition and capture; 1 when the recogniser failed.
int stopAudioAndRecog()
{
    stopAllAudio();
    int failed = 0;
    if (dkapi->listen.recognising)
        failed = dvk_vre_stopRecog(dkapi->vre, 1) != 0;
    dkapi->listen.recognising = 0;
    dkapi->capturing = 0;
    dvk_vre_destroy(&dkapi->captureVre);
    return failed;
}

void* allocCleared(size_t size)
{
    void* block = dvk_mem_alloc(size);
    if (block != nullptr)
        std::memset(block, 0, size);
    return block;
}

void freeList(dvk_dkapi_List** list)
{
    for (int32_t i = 0; i < (*list)->count; ++i)
        dvk_ucs2_destroy(&(*list)->items[i].text);
    dvk_mem_dealloc(&(*list)->items);
    dvk_mem_dealloc(list);
}

void freeEngine()
{
    dvk_dkapi_setPhraseList(nullptr);
    dvk_dkapi_setDigitRecogLen(0, 0);
    while (dkapi->lists != nullptr) {
        dvk_dkapi_List* next = dkapi->lists->next;
        freeList(&dkapi->lists);
        dkapi->lists = next;
    }
    dvk_vre_destroy(&dkapi->captureVre);
    dvk_vre_destroy(&dkapi->vre);
    dvk_prompt_destroyPromptTable(&dkapi->promptTable);
    dvk_string_destroyStringTable(&dkapi->stringTable);
    dvk_mem_dealloc(&dkapi);
}

// The strings of phrases 4096 and up, when the language has them: the
// grammar names their texts there.
bool loadSecondStringRange()
{
    char* name = dvk_lang_getVSearchStringsFileName(dkapi->language);
    if (name == nullptr)
        return false;
    const bool present = dvk_file_fexist(name) != 0;
    dvk_mem_dealloc(&name);
    return !present || dvk_string_loadStringTableRange(dkapi->stringTable, 1) != nullptr;
}

void rebuildDone()
{
    if (dkapi == nullptr || !dkapi->rebuildRunning)
        return;
    if (dkapi->fullRebuild) {
        dvk_pbook_resetModifiedEntryList();
        dvk_pbook_resetFullUpdateRequired();
        dvk_play_resetModifiedSongList();
        dvk_play_resetFullUpdateRequired();
    }
    dkapi->fullRebuild = 0;
    dkapi->rebuildRunning = 0;
    notifyPending(0);
}

void rebuildError()
{
    if (dkapi == nullptr || !dkapi->rebuildRunning)
        return;
    dkapi->fullRebuild = 0;
    dkapi->rebuildRunning = 0;
    outOfMemory(dkapi->callerAddress);
}

// Tables, recogniser, stored data and the grammar build; false on failure.
bool build()
{
    dkapi->promptTable = dvk_prompt_createPromptTable(dkapi->language);
    dkapi->stringTable = dvk_string_createStringTable(dkapi->language);
    if (dkapi->promptTable == nullptr || dkapi->stringTable == nullptr ||
        dvk_prompt_loadPromptTableRange(dkapi->promptTable, 0) == nullptr ||
        dvk_string_loadStringTableRange(dkapi->stringTable, 0) == nullptr || !loadSecondStringRange())
        return false;
    if (dvk_vre_create(&dkapi->vre, dkapi->language, 0, dkapi->stringTable) != 0)
        return false;
    int32_t loaded = 0;
    if (dvk_vre_load(dkapi->vre, 2, &loaded) != 0)
        return false;
    if (dvk_pbook_fullUpdateRequired() || dvk_play_fullUpdateRequired() || !loaded) {
        dkapi->fullRebuild = 1;
        if (dvk_vre_deleteAllConstraints(dkapi->vre) != 0)
            return false;
    }
    dkapi->rebuildRunning = 1;
    return dvk_vre_addConstraintSet(dkapi->vre, dvk_constraints_getConstraintList(), rebuildDone, rebuildError) == 0;
}

// Stops a running rebuild, the continuation following once it has stopped.
void stopRebuildThen(dvk_msg_Event continuation)
{
    if (dkapi->rebuildRunning) {
        dkapi->rebuildRunning = 0;
        dkapi->fullRebuild = 0;
        dvk_vre_stopConstraintRebuild(dkapi->vre, continuation);
        return;
    }
    continuation();
}

// The running request is aborted (1), then the abort or destroy answered.
void stopPending()
{
    if (stopAudioAndRecog() != 0)
        dkapiLog().log(WexLogWarning, "%s: the recogniser did not stop cleanly", __func__);
    notifyPending(1);
}

void abortContinue()
{
    if (dkapi == nullptr)
        return;
    stopPending();
    answer(dkapi->stopNotify, 0, dkapi->stopContext, dkapi->stopAddress);
}

void destroyContinue()
{
    if (dkapi == nullptr)
        return;
    stopPending();
    const DKAPI_Notify notify = dkapi->stopNotify;
    void* context = dkapi->stopContext;
    const dvk_msg_Address address = dkapi->stopAddress;
    DKAPI_Handle* handle = dkapi->destroyHandle;
    freeEngine();
    *handle = nullptr;
    answer(notify, 0, context, address);
}

// The request when it is for this engine; else it is answered with 2.
const dvk_dkapi_Request* forThisEngine(void* data, dvk_msg_Address sender)
{
    const auto* request = static_cast<const dvk_dkapi_Request*>(data);
    if (dkapi != nullptr && request->engine == dkapi)
        return request;
    answer(request->notify, 2, request->context, sender);
    return nullptr;
}

void inputEvtHandler();
void featureEvtHandler();
void captureInputEvtHandler();
void captureStepEvtHandler();

void startListening()
{
    if (dvk_audio_startRecording(static_cast<dvk_oem_audio_InputDevice>(0),
                                 static_cast<dvk_oem_audio_PCMType>(dvk_audio_getPCMRecordingType()), kNoVocoder,
                                 dkapi->maxTimeMs, kBufferMs, inputEvtHandler) != 0 ||
        dvk_vre_startRecog(dkapi->vre, nullptr, nullptr, dkapi->constraints) != 0) {
        outOfMemory(dkapi->callerAddress);
        return;
    }
    dkapi->listen = dvk_ce_Listening{1, 1, 0};
}

void startCapture()
{
    if (dvk_vre_startCapture(dkapi->captureVre, dkapi->captureBufferLength) != 0 ||
        dvk_audio_startRecording(static_cast<dvk_oem_audio_InputDevice>(0),
                                 static_cast<dvk_oem_audio_PCMType>(dvk_audio_getPCMRecordingType()), kNoVocoder,
                                 dkapi->maxTimeMs, kBufferMs, captureInputEvtHandler) != 0) {
        dvk_vre_destroy(&dkapi->captureVre);
        outOfMemory(dkapi->callerAddress);
        return;
    }
    dkapi->capturing = 1;
    dkapi->listen = dvk_ce_Listening{1, 0, 0};
}

void promptDone(dvk_prompt_List* list)
{
    if (dkapi == nullptr)
        return;
    if (dkapi->prompts == list)
        dkapi->prompts = nullptr;
    if (dkapi->requestKind == DVK_DKAPI_RECOGNISE)
        startListening();
    else if (dkapi->requestKind == DVK_DKAPI_CAPTURE)
        startCapture();
    else
        notifyPending(0);
}

void addPrompt(dvk_prompt_List* list, const DKAPI_PromptRequest& prompt)
{
    switch (prompt.kind) {
    case DKAPI_PROMPT_DATA:
        if (prompt.data == nullptr || prompt.length <= 0)
            break;
        if (prompt.vocoderType == 9)
            dvk_prompt_addPCMData(list, static_cast<const int16_t*>(prompt.data), prompt.length / 2);
        else if (prompt.vocoderType >= 0 && prompt.vocoderType < 9)
            dvk_prompt_addVocData(list, static_cast<dvk_oem_audio_VocoderType>(prompt.vocoderType),
                                  static_cast<const uint8_t*>(prompt.data), prompt.length);
        break;
    case DKAPI_PROMPT_TEXT:
        if (prompt.data != nullptr)
            dvk_prompt_addText(list, static_cast<const dvk_ucs2_Char*>(prompt.data));
        break;
    case DKAPI_PROMPT_NUMBER: {
        const int32_t id = dvk_dkapi_translatePrompt(prompt.promptNumber);
        if (id >= 0)
            dvk_prompt_addPrompt(list, dkapi->promptTable, id);
        break;
    }
    default:
        break;
    }
    if (prompt.earcon)
        dvk_prompt_addEarcon(list, 0);
}

// Plays the request's prompt (none: goes on at once).
void playThenGoOn(const dvk_dkapi_Request* request)
{
    if (!request->hasPrompt) {
        promptDone(nullptr);
        return;
    }
    dvk_prompt_List* list = dvk_prompt_createPromptList(
        dkapi->vre, dvk_dkapi_promptSpeed(request->prompt.speedPercent, dvk_settings_getTTSSpeed()),
        dvk_dkapi_promptVolume(request->prompt.volumeOffset, dvk_settings_getTTSVolume()));
    if (list == nullptr) {
        outOfMemory(dkapi->callerAddress);
        return;
    }
    addPrompt(list, request->prompt);
    if (dvk_prompt_checkErrorFlag(list) != 0 || dvk_prompt_playPromptList(list, promptDone) != 0) {
        dvk_prompt_destroyPromptList(&list);
        outOfMemory(dkapi->callerAddress);
        return;
    }
    dkapi->prompts = list;
}

// The common start of every request after its checks.
void begin(const dvk_dkapi_Request* request, dvk_msg_Address sender, int32_t kind)
{
    dkapi->callerAddress = sender;
    dkapi->notify = request->notify;
    dkapi->context = request->context;
    dkapi->requestKind = kind;
    dkapi->maxTimeMs = request->maxTimeMs;
    dkapi->music = 0;
    std::copy(request->results, request->results + 4, dkapi->results);
}

// list: the application's list a pick from it reports items of.
void listenWith(const dvk_dkapi_Request* request, dvk_msg_Address sender, dvk_constraints_Constraint* constraint,
                const dvk_dkapi_List* list = nullptr)
{
    begin(request, sender, DVK_DKAPI_RECOGNISE);
    dkapi->pickList = list;
    dkapi->constraints[0] = constraint;
    dkapi->constraints[1] = nullptr;
    playThenGoOn(request);
}

void inputEvtHandler()
{
    dvk_ce_takeInputFrame(dkapi != nullptr ? dkapi->vre : nullptr, dkapi != nullptr ? &dkapi->listen : nullptr,
                          dvk_vre_processPCM, stopAllAudio, featureEvtHandler);
}

void featureEvtHandler()
{
    if (dkapi == nullptr || !dkapi->listen.recognising || dkapi->listen.recognitionFinished)
        return;
    int32_t memoryError = 0;
    if (!dvk_ce_stepFeatures(dkapi->vre, &dkapi->listen, featureEvtHandler, &memoryError)) {
        if (memoryError != 0)
            outOfMemory(dkapi->callerAddress);
        return;
    }
    stopAllAudio();
    const int32_t stat = dvk_vre_stopRecog(dkapi->vre, 0);
    dkapi->listen.recognising = 0;
    dvk_nbest_List* nbest = nullptr;
    if (stat != 0 || dvk_vre_getResult(dkapi->vre, &nbest) != 0) {
        outOfMemory(dkapi->callerAddress);
        return;
    }
    if (dkapi->music)
        dvk_dkapi_fillMusicResults(dkapi->results, nbest);
    else
        dvk_dkapi_fillResult(dkapi->results[0], nbest, dkapi->pickList);
    dvk_nbest_destroy(&nbest);
    notifyPending(0);
}

void captureFinish()
{
    dkapi->capturing = 0;
    stopAllAudio();
    int32_t length = 0;
    const int32_t status = dvk_vre_finishCapture(dkapi->captureVre, dkapi->captureBuffer, &length);
    *dkapi->capturedLength = status == 0 ? length : 0;
    dvk_vre_destroy(&dkapi->captureVre);
    notifyPending(status);
}

void captureInputEvtHandler()
{
    dvk_ce_takeInputFrame(dkapi != nullptr ? dkapi->captureVre : nullptr,
                          dkapi != nullptr && dkapi->capturing ? &dkapi->listen : nullptr,
                          dvk_vre_processCapturePCM, stopAllAudio, captureStepEvtHandler);
}

// After the frames that waited: the capture ends once recording has.
void captureStepEvtHandler()
{
    if (dkapi == nullptr || !dkapi->capturing || dkapi->listen.recording)
        return;
    captureFinish();
}

bool ownsList(const dvk_dkapi_List* list)
{
    for (const dvk_dkapi_List* l = dkapi->lists; l != nullptr; l = l->next) {
        if (l == list)
            return true;
    }
    return false;
}

void copyText(dvk_ucs2_Char* out, const dvk_ucs2_Char* text)
{
    int32_t n = 0;
    for (; text != nullptr && text[n] != 0 && n < kMaxText; ++n)
        out[n] = text[n];
    out[n] = 0;
}

bool isEmpty(const dvk_ucs2_Char* text)
{
    return text == nullptr || text[0] == 0;
}

bool sameText(const dvk_ucs2_Char* a, const dvk_ucs2_Char* b)
{
    if (isEmpty(a) || isEmpty(b))
        return isEmpty(a) && isEmpty(b);
    return dvk_ucs2_strcmp(a, b) == 0;
}

const int32_t kMaxSlot = 64;

// The entry's value of the music record r (0 song, 1 artist, 2 album,
// 3 playlist), by its word class; none when it has none.
const dvk_ucs2_Char* musicText(dvk_nbest_List* nbest, int32_t entry, int32_t r)
{
    static const char* const kClasses[4][2] = {
        {"song", nullptr}, {"artist", nullptr}, {"album", nullptr}, {"playlist", "simplePlaylist"}};
    for (int32_t slot = 0; slot < kMaxSlot; ++slot) {
        const char* wordClass = dvk_nbest_getWordClass(nbest, entry, slot);
        if (wordClass == nullptr)
            continue;
        for (const char* name : kClasses[r]) {
            if (name != nullptr && std::strcmp(wordClass, name) == 0)
                return dvk_nbest_getStr(nbest, entry, slot);
        }
    }
    return nullptr;
}

}  // namespace

dvk_dkapi_Engine* dvk_dkapi_getEngine(void)
{
    return dkapi;
}

int32_t dvk_dkapi_promptSpeed(int32_t speedPercent, int32_t settingSpeed)
{
    const int32_t percent = speedPercent >= 20 && speedPercent <= 500 ? speedPercent : 100;
    return std::clamp(percent * settingSpeed / 100, 20, 500);
}

int32_t dvk_dkapi_promptVolume(int32_t volumeOffset, int32_t settingVolume)
{
    return std::clamp(settingVolume + volumeOffset, -10, 10);
}

int32_t dvk_dkapi_translatePrompt(int32_t)
{
    // The platform gives no translation: every number maps to none.
    return -1;
}

void dvk_dkapi_fillResult(DKAPI_Result* result, dvk_nbest_List* nbest, const dvk_dkapi_List* list)
{
    const int32_t capacity = result->texts != nullptr ? std::max(result->count, 0) : 0;
    result->confidence = nbest != nullptr ? dvk_nbest_getConfidence(nbest) : 0;
    result->count = 0;
    const int32_t entries = nbest != nullptr ? dvk_nbest_getCount(nbest) : 0;
    for (int32_t i = 0; i < entries && result->count < capacity; ++i) {
        const dvk_ucs2_Char* text = dvk_nbest_getUtt(nbest, i);
        for (int32_t k = 0; list != nullptr && text != nullptr && k < list->count; ++k) {
            const dvk_dkapi_ListItem& item = list->items[k];
            if (item.recognisable && dvk_ucs2_strcmp(dvk_dkapi_spokenForm(item.text), text) == 0) {
                text = item.text;
                break;
            }
        }
        copyText(result->texts[result->count++], text);
    }
}

void dvk_dkapi_fillMusicResults(DKAPI_Result* const results[4], dvk_nbest_List* nbest)
{
    int32_t capacity[4];
    for (int32_t r = 0; r < 4; ++r) {
        capacity[r] = results[r]->texts != nullptr ? std::max(results[r]->count, 0) : 0;
        results[r]->confidence = nbest != nullptr ? dvk_nbest_getConfidence(nbest) : 0;
        results[r]->count = 0;
    }
    const int32_t entries = nbest != nullptr ? dvk_nbest_getCount(nbest) : 0;
    for (int32_t i = 0; i < entries; ++i) {
        const dvk_ucs2_Char* texts[4];
        bool any = false;
        for (int32_t r = 0; r < 4; ++r) {
            texts[r] = musicText(nbest, i, r);
            any = any || !isEmpty(texts[r]);
        }
        if (!any)
            continue;  // an entry that names no song, artist, album or playlist
        bool repeated = false;
        for (int32_t j = 0; j < i && !repeated; ++j) {
            bool same = true;
            for (int32_t r = 0; r < 4 && same; ++r)
                same = sameText(texts[r], musicText(nbest, j, r));
            repeated = same;
        }
        if (repeated)
            continue;
        for (int32_t r = 0; r < 4; ++r) {
            if (!isEmpty(texts[r]) && results[r]->count < capacity[r])
                copyText(results[r]->texts[results[r]->count++], texts[r]);
        }
    }
}

void createDKAPIHandler(void* data, dvk_msg_Address sender)
{
    auto* request = static_cast<dvk_dkapi_Request*>(data);
    if (dkapi != nullptr) {
        answer(request->notify, 4, request->context, sender);
        return;
    }
    dkapi = static_cast<dvk_dkapi_Engine*>(allocCleared(sizeof(dvk_dkapi_Engine)));
    if (dkapi == nullptr) {
        outOfMemory(sender);
        return;
    }
    dkapi->language = request->language;
    dkapi->callerAddress = sender;
    dkapi->notify = request->notify;
    dkapi->context = request->context;
    if (!build()) {
        freeEngine();
        outOfMemory(sender);
        return;
    }
    *request->handle = dkapi;
}

void destroyDKAPIHandler(void* data, dvk_msg_Address sender)
{
    auto* request = static_cast<dvk_dkapi_Request*>(data);
    if (dkapi == nullptr) {
        *request->handle = nullptr;
        answer(request->notify, 0, request->context, sender);
        return;
    }
    dkapi->stopNotify = request->notify;
    dkapi->stopContext = request->context;
    dkapi->stopAddress = sender;
    dkapi->destroyHandle = request->handle;
    stopRebuildThen(destroyContinue);
}

void abortDKAPIHandler(void* data, dvk_msg_Address sender)
{
    auto* request = static_cast<dvk_dkapi_Request*>(data);
    if (dkapi == nullptr) {
        answer(request->notify, 0, request->context, sender);
        return;
    }
    dkapi->stopNotify = request->notify;
    dkapi->stopContext = request->context;
    dkapi->stopAddress = sender;
    stopRebuildThen(abortContinue);
}

void playPromptDKAPIHandler(void* data, dvk_msg_Address sender)
{
    const dvk_dkapi_Request* request = forThisEngine(data, sender);
    if (request == nullptr)
        return;
    begin(request, sender, DVK_DKAPI_PLAY_ONLY);
    playThenGoOn(request);
}

void recogPhonebookDKAPIHandler(void* data, dvk_msg_Address sender)
{
    const dvk_dkapi_Request* request = forThisEngine(data, sender);
    if (request == nullptr)
        return;
    listenWith(request, sender, &dkapiNames_constraint);
}

void recogPhoneNumberDKAPIHandler(void* data, dvk_msg_Address sender)
{
    const dvk_dkapi_Request* request = forThisEngine(data, sender);
    if (request == nullptr)
        return;
    listenWith(request, sender, &dkapiPhoneNbr_constraint);
}

void recogDigitsDKAPIHandler(void* data, dvk_msg_Address sender)
{
    const dvk_dkapi_Request* request = forThisEngine(data, sender);
    if (request == nullptr)
        return;
    dvk_dkapi_setDigitRecogLen(request->minimumDigits, request->maximumDigits);
    listenWith(request, sender, &dkapiDigits_constraint);
}

void recogMusicDKAPIHandler(void* data, dvk_msg_Address sender)
{
    const dvk_dkapi_Request* request = forThisEngine(data, sender);
    if (request == nullptr)
        return;
    static dvk_constraints_Constraint* const kByKind[] = {&dkapiSong_constraint, &dkapiArtist_constraint,
                                                          &dkapiAlbum_constraint, &dkapiPlaylist_constraint,
                                                          &dkapiMusic_constraint};
    // Without partial models only the simple playlist grammar exists.
    dvk_constraints_Constraint* constraint = dvk_vre_partialModelsSupported(dkapi->vre)
                                                 ? kByKind[std::clamp(request->musicKind, 0, 4)]
                                                 : &dkapiMusicSimple_constraint;
    listenWith(request, sender, constraint);
    dkapi->music = 1;
}

void createListDKAPIHandler(void* data, dvk_msg_Address sender)
{
    // The item texts move from the request to the list.
    auto* request = static_cast<dvk_dkapi_Request*>(data);
    if (forThisEngine(data, sender) == nullptr)
        return;
    int32_t count = 0;
    while (request->items[count] != nullptr)
        ++count;
    auto* list = static_cast<dvk_dkapi_List*>(allocCleared(sizeof(dvk_dkapi_List)));
    if (list != nullptr && count > 0) {
        list->items = static_cast<dvk_dkapi_ListItem*>(allocCleared(sizeof(dvk_dkapi_ListItem) * count));
        if (list->items == nullptr)
            dvk_mem_dealloc(&list);
    }
    if (list == nullptr) {
        outOfMemory(sender);
        return;
    }
    for (int32_t i = 0; i < count; ++i)
        list->items[i].text = request->items[i];
    list->count = count;
    dvk_mem_dealloc(&request->items);
    int32_t status = 0;
    for (int32_t i = 0; i < count; ++i) {
        int32_t notRecognisable = 0;
        list->items[i].recognisable =
            dvk_vre_isRecognizable(dkapi->vre, dvk_dkapi_spokenForm(list->items[i].text), &notRecognisable);
        if (!list->items[i].recognisable && !notRecognisable)
            status = 3;
    }
    list->next = dkapi->lists;
    dkapi->lists = list;
    *request->listHandle = list;
    begin(request, sender, DVK_DKAPI_PLAY_ONLY);
    notifyPending(status);
}

void pickFromListDKAPIHandler(void* data, dvk_msg_Address sender)
{
    const dvk_dkapi_Request* request = forThisEngine(data, sender);
    if (request == nullptr)
        return;
    if (!ownsList(request->list)) {
        answer(request->notify, 2, request->context, sender);
        return;
    }
    begin(request, sender, DVK_DKAPI_RECOGNISE);
    dvk_dkapi_setPhraseList(request->list);
    if (dvk_vre_rebuildMembers(dkapi->vre, &dkapiPfl_constraint) != 0) {
        outOfMemory(sender);
        return;
    }
    listenWith(request, sender, &dkapiPfl_constraint, request->list);
}

void startDataCaptureDKAPIHandler(void* data, dvk_msg_Address sender)
{
    const dvk_dkapi_Request* request = forThisEngine(data, sender);
    if (request == nullptr)
        return;
    begin(request, sender, DVK_DKAPI_CAPTURE);
    dkapi->captureBuffer = request->buffer;
    dkapi->capturedLength = request->capturedLength;
    dkapi->captureBufferLength = request->bufferLength;
    dvk_vre_destroy(&dkapi->captureVre);
    if (dvk_vre_create(&dkapi->captureVre, dkapi->language, 0, dkapi->stringTable) != 0) {
        outOfMemory(sender);
        return;
    }
    playThenGoOn(request);
}

void stopDataCaptureDKAPIHandler(void* data, dvk_msg_Address)
{
    auto* request = static_cast<dvk_dkapi_Request*>(data);
    if (dkapi == nullptr || request->engine != dkapi || !dkapi->capturing)
        return;
    captureFinish();
}

void networkTtsDKAPIHandler(void* data, dvk_msg_Address sender)
{
    auto* request = static_cast<dvk_dkapi_Request*>(data);
    answer(request->notify, 5, request->context, sender);
}

void destroyNetworkTtsDKAPIHandler(void* data, dvk_msg_Address sender)
{
    auto* request = static_cast<dvk_dkapi_Request*>(data);
    answer(request->notify, 5, request->context, sender);
}
