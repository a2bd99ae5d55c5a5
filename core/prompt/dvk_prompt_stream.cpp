// Vocoded streams: data that arrives while the list is built or played.
#include "core/prompt/dvk_prompt.h"

#include "core/prompt/dvk_prompt_list_internal.h"
#include "core/utils/dvk_list.h"
#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_audio.h"
#include "sdk/common/dvk_mem.h"

#include <cstring>

namespace {

// A chunk carried to the suite thread while the list plays; a final one
// ends the stream instead.
struct ContinueStream {
    dvk_prompt_List* list;
    dvk_prompt_Stream* stream;
    uint8_t* data;
    int32_t length;
    int32_t final;
};

void freeContinue(void* data)
{
    auto* c = static_cast<ContinueStream*>(data);
    dvk_prompt_List* list = c->list;
    dvk_mem_dealloc(&c->data);
    dvk_mem_dealloc(&c);
    dvk_prompt_releaseList(list);
}

void continueStreamMsgHndlr(void* data, dvk_msg_Address)
{
    auto* c = static_cast<ContinueStream*>(data);
    if (c->list->destroyed != 0)
        return;
    if (c->final) {
        dvk_prompt_stopStream(c->stream);
        return;
    }
    // A stop has ended the stream: later data has nowhere to go.
    if (c->stream->ended)
        return;
    if (dvk_prompt_appendStream(c->stream, c->data, c->length) != 0) {
        dvk_msg_Message* done = c->list->done;
        c->list->done = nullptr;
        c->list->playing = 0;
        dvk_audio_stopPlayback(done);
    }
}

// Posts a chunk (or the end) to the suite thread; false when memory is short.
bool postContinue(dvk_prompt_List* list, dvk_prompt_Stream* stream, const uint8_t* data, int32_t length,
                  int32_t final)
{
    auto* c = static_cast<ContinueStream*>(dvk_mem_alloc(sizeof(ContinueStream)));
    if (c == nullptr)
        return false;
    *c = ContinueStream{list, stream, nullptr, length, final};
    if (data != nullptr) {
        c->data = static_cast<uint8_t*>(dvk_mem_alloc(static_cast<size_t>(length)));
        if (c->data == nullptr) {
            dvk_mem_dealloc(&c);
            return false;
        }
        std::memcpy(c->data, data, static_cast<size_t>(length));
    }
    ++list->pending;  // given back by freeContinue, also when the create fails
    dvk_msg_Message* message = dvk_msg_create(c, continueStreamMsgHndlr, freeContinue);
    if (message == nullptr)
        return false;
    dvk_msg_send(message, dvk_msg_getDvkAddr());
    return true;
}

int32_t queueChunk(const dvk_prompt_Stream* stream, const dvk_prompt_StreamChunk* chunk, dvk_msg_Message* message)
{
    return dvk_audio_startStreamingVocodedPlayback(DVK_OEM_AUDIO_OUTPUT_SPEAKER, stream->vocoderType,
                                                   stream->leadMs, chunk != nullptr ? chunk->data : nullptr,
                                                   chunk != nullptr ? chunk->length : 0, message);
}

} // namespace

dvk_prompt_Stream* dvk_prompt_createStreamObj(dvk_oem_audio_VocoderType vocoderType, int32_t leadMs)
{
    DVK_ASSERT((vocoderType >= DVK_OEM_AUDIO_VOCTYPE_EVRC) && (vocoderType <= DVK_OEM_AUDIO_VOCTYPE_NONE));
    DVK_ASSERT(leadMs >= 0);
    auto* stream = static_cast<dvk_prompt_Stream*>(dvk_mem_alloc(sizeof(dvk_prompt_Stream)));
    if (stream == nullptr)
        return nullptr;
    *stream = dvk_prompt_Stream{vocoderType, dvk_list_create(), 0, 0, leadMs};
    if (stream->chunks == nullptr)
        dvk_mem_dealloc(&stream);
    return stream;
}

void dvk_prompt_destroyStreamObj(dvk_prompt_Stream** stream)
{
    DVK_ASSERT(stream != DVK_NULL);
    if (*stream == nullptr)
        return;
    dvk_list* chunks = (*stream)->chunks;
    for (dvk_list_Node* node = dvk_list_getFirst(chunks); node != nullptr; node = dvk_list_removeItem(chunks, node)) {
        auto* chunk = static_cast<dvk_prompt_StreamChunk*>(dvk_list_getItem(chunks, node));
        dvk_mem_dealloc(&chunk->data);
        dvk_mem_dealloc(&chunk);
    }
    dvk_list_destroy(&(*stream)->chunks);
    dvk_mem_dealloc(stream);
}

int32_t dvk_prompt_appendStream(dvk_prompt_Stream* stream, const uint8_t* data, int32_t length)
{
    DVK_ASSERT(stream != DVK_NULL);
    DVK_ASSERT(data != DVK_NULL);
    DVK_ASSERT(length >= 1);
    DVK_ASSERT(!stream->ended);
    // The audio reads the data where it lies: the stream keeps every chunk.
    auto* chunk = static_cast<dvk_prompt_StreamChunk*>(dvk_mem_alloc(sizeof(dvk_prompt_StreamChunk)));
    if (chunk == nullptr)
        return 1;
    *chunk = dvk_prompt_StreamChunk{static_cast<uint8_t*>(dvk_mem_alloc(static_cast<size_t>(length))), length};
    if (chunk->data == nullptr || dvk_list_addNextItem(stream->chunks, dvk_list_getLast(stream->chunks), chunk) == nullptr) {
        dvk_mem_dealloc(&chunk->data);
        dvk_mem_dealloc(&chunk);
        return 1;
    }
    std::memcpy(chunk->data, data, static_cast<size_t>(length));
    if (stream->playing)
        return queueChunk(stream, chunk, nullptr) != 0 ? 1 : 0;
    return 0;
}

int32_t dvk_prompt_startStreamPlayback(dvk_prompt_Stream* stream, dvk_msg_Message* message)
{
    DVK_ASSERT(stream != DVK_NULL);
    int32_t result = 0;
    dvk_list_Node* node = dvk_list_getFirst(stream->chunks);
    if (node == nullptr)
        result = queueChunk(stream, nullptr, message);
    for (; node != nullptr; node = dvk_list_getNext(stream->chunks, node)) {
        const auto* chunk = static_cast<const dvk_prompt_StreamChunk*>(dvk_list_getItem(stream->chunks, node));
        if (queueChunk(stream, chunk, message) != 0)
            result = 1;
        message = nullptr;
    }
    if (stream->ended)
        dvk_audio_endStreamingVocodedPlayback();
    stream->playing = 1;
    return result;
}

void dvk_prompt_stopStream(dvk_prompt_Stream* stream)
{
    DVK_ASSERT(stream != DVK_NULL);
    if (stream->playing && !stream->ended)
        dvk_audio_endStreamingVocodedPlayback();
    stream->ended = 1;
}

dvk_prompt_Stream* dvk_prompt_addStreamingVocData(dvk_prompt_List* list, dvk_oem_audio_VocoderType vocoderType,
                                                  int32_t leadMs)
{
    DVK_ASSERT(list != DVK_NULL);
    dvk_prompt_Stream* stream = dvk_prompt_createStreamObj(vocoderType, leadMs);
    auto* item = static_cast<dvk_prompt_Item*>(dvk_mem_alloc(sizeof(dvk_prompt_Item)));
    if (stream != nullptr && item != nullptr) {
        *item = dvk_prompt_Item{DVK_PROMPT_ITEM_STREAM, stream, vocoderType, 0, list->speed, list->volume};
        if (dvk_list_addNextItem(list->items, dvk_list_getLast(list->items), item) != nullptr)
            return stream;
    }
    dvk_mem_dealloc(&item);
    dvk_prompt_destroyStreamObj(&stream);
    list->errorFlag = 1;
    return nullptr;
}

void dvk_prompt_updateStreamingVocData(dvk_prompt_List* list, dvk_prompt_Stream* stream, const uint8_t* data,
                                       int32_t length)
{
    DVK_ASSERT(list != DVK_NULL);
    DVK_ASSERT(stream != DVK_NULL);
    DVK_ASSERT(data != DVK_NULL);
    DVK_ASSERT(length >= 1);
    const bool ok = list->playing ? postContinue(list, stream, data, length, 0)
                                  : dvk_prompt_appendStream(stream, data, length) == 0;
    if (!ok)
        list->errorFlag = 1;
}

void dvk_prompt_finalizeStreamingVocData(dvk_prompt_List* list, dvk_prompt_Stream** stream)
{
    DVK_ASSERT(list != DVK_NULL);
    DVK_ASSERT(stream != DVK_NULL);
    DVK_ASSERT(*stream != DVK_NULL);
    if (!list->playing)
        dvk_prompt_stopStream(*stream);
    else if (!postContinue(list, *stream, nullptr, 0, 1))
        list->errorFlag = 1;
    *stream = nullptr;
}
