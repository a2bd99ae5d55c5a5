// Prompt lists: building, playing as a chain of suite messages, stopping.
#include "core/prompt/dvk_prompt.h"

#include "core/prompt/dvk_prompt_list_internal.h"
#include "core/string/dvk_string.h"
#include "core/utils/dvk_list.h"
#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_audio.h"
#include "sdk/common/dvk_mem.h"
#include "sdk/common/dvk_pbook.h"

namespace {

dvk_prompt_Item* itemOf(dvk_prompt_List* list, dvk_list_Node* node)
{
    return static_cast<dvk_prompt_Item*>(dvk_list_getItem(list->items, node));
}

void destroyItem(dvk_prompt_Item** item)
{
    switch ((*item)->kind) {
    case DVK_PROMPT_ITEM_PROMPT: {
        auto* prompt = static_cast<dvk_prompt_Prompt*>((*item)->object);
        dvk_prompt_destroyPrompt(&prompt);
        break;
    }
    case DVK_PROMPT_ITEM_TEXT:
    case DVK_PROMPT_ITEM_WORDS: {
        auto* tts = static_cast<dvk_prompt_Tts*>((*item)->object);
        dvk_prompt_destroyTTSObj(&tts);
        break;
    }
    case DVK_PROMPT_ITEM_EARCON: {
        auto* earcon = static_cast<dvk_prompt_Earcon*>((*item)->object);
        dvk_prompt_destroyEarcon(&earcon);
        break;
    }
    case DVK_PROMPT_ITEM_STREAM: {
        auto* stream = static_cast<dvk_prompt_Stream*>((*item)->object);
        dvk_prompt_destroyStreamObj(&stream);
        break;
    }
    default:
        break;  // the caller's data
    }
    dvk_mem_dealloc(item);
}

void freeList(dvk_prompt_List* list)
{
    list->destroyed = 2;
    for (dvk_list_Node* node = dvk_list_getFirst(list->items); node != nullptr;
         node = dvk_list_removeItem(list->items, node)) {
        dvk_prompt_Item* item = itemOf(list, node);
        destroyItem(&item);
    }
    dvk_list_destroy(&list->items);
    dvk_mem_dealloc(&list);
}

// Stops what the items still do and drops the messages they hold, then frees
// the list once no message naming it is on its way.
void requestDestroy(dvk_prompt_List* list)
{
    if (list->destroyed != 0)
        return;
    list->destroyed = 1;
    ++list->pending;  // held while the list drops its own messages
    dvk_msg_destroy(&list->done);
    for (dvk_list_Node* node = dvk_list_getFirst(list->items); node != nullptr;
         node = dvk_list_getNext(list->items, node)) {
        dvk_prompt_Item* item = itemOf(list, node);
        if (item->kind == DVK_PROMPT_ITEM_TEXT || item->kind == DVK_PROMPT_ITEM_WORDS) {
            auto* tts = static_cast<dvk_prompt_Tts*>(item->object);
            dvk_prompt_stopTTSPlayback(tts);
            dvk_msg_destroy(&tts->done);
        }
    }
    dvk_prompt_releaseList(list);
}

void doneReleased(void* data)
{
    auto* list = static_cast<dvk_prompt_List*>(data);
    // Dropped unsent by the audio: nobody else would ever end the list.
    if (list->doneArmed && list->destroyed == 0)
        requestDestroy(list);
    dvk_prompt_releaseList(list);
}

void doneMsgHndlr(void* data, dvk_msg_Address)
{
    auto* list = static_cast<dvk_prompt_List*>(data);
    if (list->destroyed != 0)
        return;
    if (!list->doneSuppressed && list->callback != nullptr)
        list->callback(list);
    requestDestroy(list);
}

void stopPromptMsgHndlr(void* data, dvk_msg_Address)
{
    requestDestroy(static_cast<dvk_prompt_List*>(data));
}

// Hands the done message to the audio: it arrives once output has stopped.
void endPlayback(dvk_prompt_List* list)
{
    dvk_msg_Message* done = list->done;
    list->done = nullptr;
    list->playing = 0;
    dvk_audio_stopPlayback(done);
}

// Queues one item; the message (may be none) goes with it. Non-zero when the
// audio refused it (a message is gone then).
int32_t queueItem(dvk_prompt_Item* item, dvk_msg_Message* message)
{
    switch (item->kind) {
    case DVK_PROMPT_ITEM_PROMPT: {
        const auto* prompt = static_cast<const dvk_prompt_Prompt*>(item->object);
        return dvk_audio_startVocodedPlayback(DVK_OEM_AUDIO_OUTPUT_SPEAKER, prompt->vocoderType, prompt->data,
                                              static_cast<int32_t>(prompt->length), message);
    }
    case DVK_PROMPT_ITEM_EARCON: {
        const auto* earcon = static_cast<const dvk_prompt_Earcon*>(item->object);
        return dvk_audio_startPcmPlayback(DVK_OEM_AUDIO_OUTPUT_SPEAKER, earcon->pcmType, earcon->samples,
                                          earcon->count, message);
    }
    case DVK_PROMPT_ITEM_VOCDATA:
        return dvk_audio_startVocodedPlayback(DVK_OEM_AUDIO_OUTPUT_SPEAKER, item->vocoderType,
                                              static_cast<const uint8_t*>(item->object), item->length, message);
    case DVK_PROMPT_ITEM_PCMDATA:
        return dvk_audio_startPcmPlayback(DVK_OEM_AUDIO_OUTPUT_SPEAKER, DVK_OEM_AUDIO_PCMTYPE_8K,
                                          static_cast<const int16_t*>(item->object), item->length, message);
    case DVK_PROMPT_ITEM_STREAM:
        return dvk_prompt_startStreamPlayback(static_cast<dvk_prompt_Stream*>(item->object), message);
    default:  // synthesis sends the message itself when it cannot start
        dvk_prompt_startTTSPlayback(static_cast<dvk_prompt_Tts*>(item->object), message, item->speed, item->volume);
        return 0;
    }
}

bool playsInRuns(int32_t kind)
{
    return kind == DVK_PROMPT_ITEM_PROMPT || kind == DVK_PROMPT_ITEM_EARCON || kind == DVK_PROMPT_ITEM_VOCDATA ||
           kind == DVK_PROMPT_ITEM_PCMDATA;
}

void playPromptMsgHndlr(void* data, dvk_msg_Address)
{
    auto* list = static_cast<dvk_prompt_List*>(data);
    if (list->stopped || list->destroyed != 0)
        return;
    dvk_list_Node* node = list->current != nullptr ? dvk_list_getNext(list->items, list->current)
                                                   : dvk_list_getFirst(list->items);
    list->current = node;
    if (node == nullptr) {
        list->stopped = 1;
        endPlayback(list);
        return;
    }
    // What has been played goes at once.
    while (dvk_list_getFirst(list->items) != node) {
        dvk_list_Node* first = dvk_list_getFirst(list->items);
        dvk_prompt_Item* played = itemOf(list, first);
        destroyItem(&played);
        dvk_list_removeItem(list->items, first);
    }
    dvk_msg_Message* next = dvk_prompt_newListMessage(list, playPromptMsgHndlr, dvk_prompt_releaseList);
    bool queued = next != nullptr;
    dvk_prompt_Item* item = itemOf(list, node);
    if (queued && playsInRuns(item->kind)) {
        for (dvk_list_Node* following = dvk_list_getNext(list->items, node);
             following != nullptr && itemOf(list, following)->kind == item->kind;
             following = dvk_list_getNext(list->items, following)) {
            if (queueItem(item, nullptr) != 0) {
                dvk_msg_destroy(&next);
                queued = false;
                break;
            }
            list->current = following;
            item = itemOf(list, following);
        }
    }
    // The next run starts when the last item of this one has been played.
    if (queued && queueItem(item, next) != 0)
        queued = false;
    if (!queued) {
        list->current = nullptr;
        endPlayback(list);
    }
}

bool addItem(dvk_prompt_List* list, int32_t kind, void* object, int32_t vocoderType = DVK_OEM_AUDIO_VOCTYPE_NONE,
             int32_t length = 0)
{
    auto* item = static_cast<dvk_prompt_Item*>(dvk_mem_alloc(sizeof(dvk_prompt_Item)));
    if (item != nullptr) {
        *item = dvk_prompt_Item{kind, object, vocoderType, length, list->speed, list->volume};
        if (dvk_list_addNextItem(list->items, dvk_list_getLast(list->items), item) != nullptr)
            return true;
        dvk_mem_dealloc(&item);
    }
    list->errorFlag = 1;
    return false;
}

// Prompts of the characters of a dialled number.
int32_t digitPrompt(dvk_ucs2_Char c)
{
    if (c >= '0' && c <= '9')
        return 107 + (c - '0');
    switch (c) {
    case '#':
        return 381;
    case '*':
        return 407;
    case '+':
        return 380;
    case 'x':
        return 181;
    default:
        return DVK_PROMPT_PAUSE;
    }
}

// Location types with a recorded prompt: string id, prompt id.
struct LocationPrompt {
    int32_t stringId;
    int32_t promptId;
};
const LocationPrompt locationTable[] = {{331, 189}, {670, 446}, {403, 291}, {456, 374}, {291, 182}, {289, 179}};

bool isTailCharacter(dvk_ucs2_Char c)
{
    return (c >= '0' && c <= '9') || c == ' ' || c == '\t' || c == '-' || c == ':';
}

} // namespace

void dvk_prompt_releaseList(void* data)
{
    auto* list = static_cast<dvk_prompt_List*>(data);
    if (--list->pending == 0 && list->destroyed == 1)
        freeList(list);
}

dvk_msg_Message* dvk_prompt_newListMessage(dvk_prompt_List* list, dvk_msg_Handler handler,
                                          dvk_msg_Destructor destructor)
{
    ++list->pending;  // a failed create runs the destructor, which gives it back
    return dvk_msg_create(list, handler, destructor);
}

dvk_prompt_List* dvk_prompt_createPromptList(dvk_vre_Recognizer* vre, int32_t speed, int32_t volume)
{
    auto* list = static_cast<dvk_prompt_List*>(dvk_mem_alloc(sizeof(dvk_prompt_List)));
    if (list == nullptr)
        return nullptr;
    *list = dvk_prompt_List{};
    list->items = dvk_list_create();
    if (list->items == nullptr) {
        dvk_mem_dealloc(&list);
        return nullptr;
    }
    list->vre = vre;
    list->speed = speed;
    list->volume = volume;
    return list;
}

void dvk_prompt_destroyPromptList(dvk_prompt_List** list)
{
    DVK_ASSERT(list != DVK_NULL);
    if (*list == nullptr)
        return;
    requestDestroy(*list);
    *list = nullptr;
}

int32_t dvk_prompt_getPromptListCount(dvk_prompt_List* list)
{
    DVK_ASSERT(list != DVK_NULL);
    return static_cast<int32_t>(dvk_list_getCount(list->items));
}

int32_t dvk_prompt_checkErrorFlag(dvk_prompt_List* list)
{
    DVK_ASSERT(list != DVK_NULL);
    return list->errorFlag;
}

void dvk_prompt_addPrompt(dvk_prompt_List* list, dvk_prompt_Table* table, int32_t id)
{
    DVK_ASSERT(list != DVK_NULL);
    DVK_ASSERT(table != DVK_NULL);
    DVK_ASSERT(((id >= DVK_PROMPT_FIRST) && (id < DVK_PROMPT_MAX)) ||
               ((id >= DVK_PROMPT_VSEARCH_FIRST) && (id <= DVK_PROMPT_VSEARCH_LAST)));
    if (dvk_prompt_isVocoded(table, id)) {
        dvk_prompt_Prompt* prompt = dvk_prompt_createPrompt(table, id);
        if (prompt == nullptr)
            list->errorFlag = 1;
        else if (!addItem(list, DVK_PROMPT_ITEM_PROMPT, prompt))
            dvk_prompt_destroyPrompt(&prompt);
        return;
    }
    dvk_ucs2_Char* text = dvk_prompt_isTts(table, id) ? dvk_prompt_createTtsString(table, id) : nullptr;
    if (text == nullptr) {
        list->errorFlag = 1;  // neither audio nor text, or memory short
        return;
    }
    dvk_prompt_addText(list, text);
    dvk_ucs2_destroy(&text);
}

void dvk_prompt_addText(dvk_prompt_List* list, const dvk_ucs2_Char* text)
{
    DVK_ASSERT(list != DVK_NULL);
    DVK_ASSERT(text != DVK_NULL);
    dvk_prompt_Tts* tts = dvk_prompt_createTextTTS(list->vre, text);
    if (tts == nullptr)
        list->errorFlag = 1;
    else if (!addItem(list, DVK_PROMPT_ITEM_TEXT, tts))
        dvk_prompt_destroyTTSObj(&tts);
}

void dvk_prompt_addWords(dvk_prompt_List* list, const int32_t* wordIds, int32_t count)
{
    DVK_ASSERT(list != DVK_NULL);
    DVK_ASSERT(wordIds != DVK_NULL);
    DVK_ASSERT(count >= 1);
    dvk_prompt_Tts* tts = dvk_prompt_createWordIdTTS(list->vre, wordIds, count);
    if (tts == nullptr)
        list->errorFlag = 1;
    else if (!addItem(list, DVK_PROMPT_ITEM_WORDS, tts))
        dvk_prompt_destroyTTSObj(&tts);
}

void dvk_prompt_addEarcon(dvk_prompt_List* list, int32_t earcon)
{
    DVK_ASSERT(list != DVK_NULL);
    DVK_ASSERT((earcon >= 0) && (earcon < DVK_PROMPT_EARCON_COUNT));
    dvk_prompt_Earcon* tone = dvk_prompt_createEarcon(earcon);
    if (tone == nullptr)
        list->errorFlag = 1;
    else if (!addItem(list, DVK_PROMPT_ITEM_EARCON, tone))
        dvk_prompt_destroyEarcon(&tone);
}

void dvk_prompt_addVocData(dvk_prompt_List* list, dvk_oem_audio_VocoderType vocoderType, const uint8_t* data,
                           int32_t length)
{
    DVK_ASSERT(list != DVK_NULL);
    DVK_ASSERT((vocoderType >= DVK_OEM_AUDIO_VOCTYPE_EVRC) && (vocoderType <= DVK_OEM_AUDIO_VOCTYPE_NONE));
    DVK_ASSERT(data != DVK_NULL);
    DVK_ASSERT(length >= 1);
    addItem(list, DVK_PROMPT_ITEM_VOCDATA, const_cast<uint8_t*>(data), vocoderType, length);
}

void dvk_prompt_addPCMData(dvk_prompt_List* list, const int16_t* samples, int32_t count)
{
    DVK_ASSERT(list != DVK_NULL);
    DVK_ASSERT(samples != DVK_NULL);
    DVK_ASSERT(count >= 1);
    addItem(list, DVK_PROMPT_ITEM_PCMDATA, const_cast<int16_t*>(samples), DVK_OEM_AUDIO_VOCTYPE_NONE, count);
}

void dvk_prompt_addMenuIndex(dvk_prompt_List* list, int32_t n)
{
    DVK_ASSERT(list != DVK_NULL);
    DVK_ASSERT((n >= 0) && (n <= 99));
    const dvk_ucs2_Char text[3] = {static_cast<dvk_ucs2_Char>(n / 10 == 0 ? ' ' : '0' + n / 10),
                                   static_cast<dvk_ucs2_Char>('0' + n % 10), 0};
    dvk_prompt_addText(list, text);
}

void dvk_prompt_addDigitsText(dvk_prompt_List* list, const dvk_ucs2_Char* text)
{
    DVK_ASSERT(list != DVK_NULL);
    DVK_ASSERT(text != DVK_NULL);
    const long length = dvk_ucs2_strlen(text);
    dvk_ucs2_Char* spaced = dvk_ucs2_create(2 * length + 1);
    if (spaced == nullptr) {
        list->errorFlag = 1;
        return;
    }
    for (long i = 0; i < length; ++i) {
        spaced[2 * i] = text[i];
        spaced[2 * i + 1] = ' ';
    }
    spaced[2 * length] = 0;
    dvk_prompt_addText(list, spaced);
    dvk_ucs2_destroy(&spaced);
}

void dvk_prompt_addStringId(dvk_prompt_List* list, dvk_string_Table* strings, int32_t id)
{
    DVK_ASSERT(list != DVK_NULL);
    DVK_ASSERT(strings != DVK_NULL);
    dvk_ucs2_Char* text = dvk_string_getString(strings, id);
    if (text == nullptr) {
        list->errorFlag = 1;
        return;
    }
    dvk_prompt_addText(list, text);
    dvk_ucs2_destroy(&text);
}

void dvk_prompt_addDigits(dvk_prompt_List* list, dvk_prompt_Table* table, const dvk_ucs2_Char* number)
{
    DVK_ASSERT(list != DVK_NULL);
    DVK_ASSERT(table != DVK_NULL);
    DVK_ASSERT(number != DVK_NULL);
    dvk_ucs2_Char* formatted = dvk_pbook_formatPhoneNumber(number);
    if (formatted == nullptr) {
        list->errorFlag = 1;
        return;
    }
    for (const dvk_ucs2_Char* c = formatted; *c != 0; ++c) {
        dvk_prompt_addPrompt(list, table, digitPrompt(*c));
        dvk_prompt_addPrompt(list, table, DVK_PROMPT_PAUSE);
    }
    dvk_ucs2_destroy(&formatted);
}

void dvk_prompt_addLocation(dvk_prompt_List* list, dvk_prompt_Table* table, dvk_string_Table* strings,
                            const dvk_ucs2_Char* location)
{
    DVK_ASSERT(list != DVK_NULL);
    DVK_ASSERT(table != DVK_NULL);
    DVK_ASSERT(strings != DVK_NULL);
    DVK_ASSERT(location != DVK_NULL);
    dvk_ucs2_Char* name = dvk_ucs2_createCopy(location);
    if (name == nullptr) {
        list->errorFlag = 1;
        return;
    }
    dvk_ucs2_cvtToTitlecase(name);
    // The name ends at its last character that is no digit or separator; the
    // digits after it are spoken even when nothing separates them.
    long cut = dvk_ucs2_strlen(name);
    while (cut > 0 && isTailCharacter(name[cut - 1]))
        --cut;
    const dvk_ucs2_Char* digits = nullptr;
    for (const dvk_ucs2_Char* c = location + cut; *c != 0 && digits == nullptr; ++c)
        if (*c >= '0' && *c <= '9')
            digits = c;
    name[cut] = 0;
    const auto* entry = static_cast<const LocationPrompt*>(dvk_string_findEntry(
        strings, locationTable, sizeof(LocationPrompt), sizeof(locationTable), name));
    dvk_ucs2_destroy(&name);
    if (entry == nullptr) {
        dvk_prompt_addText(list, location);
        return;
    }
    dvk_prompt_addPrompt(list, table, entry->promptId);
    if (digits != nullptr)
        dvk_prompt_addDigits(list, table, digits);
}

int32_t dvk_prompt_playPromptList(dvk_prompt_List* list, dvk_prompt_DoneCallback callback)
{
    DVK_ASSERT(list != DVK_NULL);
    dvk_msg_Message* play = dvk_prompt_newListMessage(list, playPromptMsgHndlr, dvk_prompt_releaseList);
    if (play == nullptr)
        return 1;
    list->done = dvk_prompt_newListMessage(list, doneMsgHndlr, doneReleased);
    if (list->done == nullptr) {
        dvk_msg_destroy(&play);
        return 1;
    }
    list->doneArmed = 1;
    list->callback = callback;
    list->current = nullptr;
    list->doneSuppressed = 0;
    list->playing = 1;
    dvk_msg_send(play, dvk_msg_getDvkAddr());
    return 0;
}

int32_t dvk_prompt_stopPromptList(dvk_prompt_List* list)
{
    DVK_ASSERT(list != DVK_NULL);
    if (list->stopped) {
        list->doneSuppressed = 1;
        return 0;
    }
    list->stopped = 1;
    list->playing = 0;
    if (list->current != nullptr) {
        dvk_prompt_Item* item = itemOf(list, list->current);
        if (item->kind == DVK_PROMPT_ITEM_TEXT || item->kind == DVK_PROMPT_ITEM_WORDS)
            dvk_prompt_stopTTSPlayback(static_cast<dvk_prompt_Tts*>(item->object));
        else if (item->kind == DVK_PROMPT_ITEM_STREAM)
            dvk_prompt_stopStream(static_cast<dvk_prompt_Stream*>(item->object));
    }
    dvk_msg_Message* stop = dvk_prompt_newListMessage(list, stopPromptMsgHndlr, dvk_prompt_releaseList);
    if (stop == nullptr) {
        requestDestroy(list);
        return 1;
    }
    dvk_msg_send(stop, dvk_msg_getDvkAddr());
    return 0;
}
