// Prompt lists: everything the suite says. A dialog module fills a list
// with recorded prompts, synthesised texts or word ids, earcons, raw vocoded
// or PCM data and vocoded streams; the central engine plays it once and is
// told by a callback when it has finished. Playing is a chain of suite
// messages on the suite thread; the audio goes through the suite audio.
// Runs of recorded prompts, earcons or raw data of one kind are queued
// together so they play without gaps; synthesis and streams play alone.
#pragma once

#include "core/prompt/dvk_prompt_table.h"
#include "oem/dvk_oem_audio_types.h"
#include "sdk/common/dvk_msg.h"
#include "sdk/common/dvk_types.h"

#include <cstdint>

struct dvk_list;
struct dvk_list_Node;
struct dvk_string_Table;
struct dvk_vre_Recognizer;

enum : int32_t {
    DVK_PROMPT_ITEM_PROMPT = 0,  // a recorded prompt of the prompt table
    DVK_PROMPT_ITEM_TEXT = 1,    // synthesis of a text
    DVK_PROMPT_ITEM_WORDS = 2,   // synthesis of engine word ids
    DVK_PROMPT_ITEM_EARCON = 3,
    DVK_PROMPT_ITEM_VOCDATA = 4,  // the caller's vocoded data
    DVK_PROMPT_ITEM_STREAM = 5,
    DVK_PROMPT_ITEM_PCMDATA = 6,  // the caller's 8 kHz samples
};

enum : int32_t {
    DVK_PROMPT_EARCON_COUNT = 7,
    DVK_PROMPT_TTS_BUFFERS = 8,
    DVK_PROMPT_PAUSE = 403,  // the prompt after every spoken digit
};

struct dvk_prompt_Earcon {
    dvk_oem_audio_PCMType pcmType;
    int16_t* samples;
    int32_t count;
};

struct dvk_prompt_TtsBuffer {
    uint8_t* data;       // allocated once, refilled as the ring turns
    int32_t bytes;
    int32_t samples;
    dvk_msg_Message* message;  // handed to the audio with the buffer
};

struct dvk_prompt_Tts {
    dvk_vre_Recognizer* vre;
    dvk_ucs2_Char* text;     // or none
    int32_t* wordIds;        // used when there is no text
    int32_t wordCount;
    int32_t next;            // buffer to fill next; -1 once synthesis has finished
    dvk_prompt_TtsBuffer buffers[DVK_PROMPT_TTS_BUFFERS];
    dvk_oem_audio_PCMType pcmType;
    dvk_oem_audio_VocoderType vocoderType;
    dvk_msg_Message* done;   // sent when synthesis has been played, while it plays
    int32_t stopped;
    int32_t started;         // the recogniser has a synthesis running for it
    // Buffer messages still held by the audio: the object, whose buffers they
    // point into, outlives them when it is destroyed early.
    int32_t pending;
    int32_t destroyed;
};

struct dvk_prompt_StreamChunk {
    uint8_t* data;
    int32_t length;
};

struct dvk_prompt_Stream {
    dvk_oem_audio_VocoderType vocoderType;
    dvk_list* chunks;  // of dvk_prompt_StreamChunk, kept until the stream is destroyed
    int32_t ended;
    int32_t playing;
    int32_t leadMs;
};

struct dvk_prompt_Item {
    int32_t kind;   // DVK_PROMPT_ITEM_*
    void* object;   // prompt, synthesis, earcon or stream; the data of kinds 4 and 6
    int32_t vocoderType;  // kind 4
    int32_t length;       // kind 4 bytes, kind 6 samples
    int32_t speed;        // kinds 1 and 2
    int32_t volume;
};

struct dvk_prompt_List;
typedef void (*dvk_prompt_DoneCallback)(dvk_prompt_List* list);

struct dvk_prompt_List {
    dvk_list* items;  // of dvk_prompt_Item
    dvk_vre_Recognizer* vre;
    int32_t stopped;
    int32_t errorFlag;
    dvk_list_Node* current;  // being played; none before the start
    dvk_msg_Message* done;   // to doneMsgHndlr, while the list plays
    int32_t speed;
    int32_t volume;
    int32_t doneSuppressed;  // a stop arrived after the list had ended
    dvk_prompt_DoneCallback callback;
    int32_t playing;         // between play and the end or a stop
    // Messages that name the list and are on their way (held by the audio
    // or posted): the list outlives them when it is destroyed early, so a
    // late one never reaches a freed list.
    int32_t pending;
    int32_t destroyed;
    int32_t doneArmed;  // the done message exists
};

// The list, or NULL when memory is short.
dvk_prompt_List* dvk_prompt_createPromptList(dvk_vre_Recognizer* vre, int32_t speed, int32_t volume);
// Destroys every item, the list and its done message; clears the pointer.
void dvk_prompt_destroyPromptList(dvk_prompt_List** list);
int32_t dvk_prompt_getPromptListCount(dvk_prompt_List* list);
// 1 when an add has failed.
int32_t dvk_prompt_checkErrorFlag(dvk_prompt_List* list);

// Adding: a failure sets the error flag and leaves the list as it was.
// Prompt ids 0-446 and 4096-8190: audio when the prompt has it, else its text.
void dvk_prompt_addPrompt(dvk_prompt_List* list, dvk_prompt_Table* table, int32_t id);
void dvk_prompt_addText(dvk_prompt_List* list, const dvk_ucs2_Char* text);
void dvk_prompt_addWords(dvk_prompt_List* list, const int32_t* wordIds, int32_t count);
void dvk_prompt_addEarcon(dvk_prompt_List* list, int32_t earcon);
// The data is not copied: it must live until the list has played it.
void dvk_prompt_addVocData(dvk_prompt_List* list, dvk_oem_audio_VocoderType vocoderType, const uint8_t* data,
                           int32_t length);
void dvk_prompt_addPCMData(dvk_prompt_List* list, const int16_t* samples, int32_t count);
// A stream item; its data comes later through the two calls below.
dvk_prompt_Stream* dvk_prompt_addStreamingVocData(dvk_prompt_List* list, dvk_oem_audio_VocoderType vocoderType,
                                                  int32_t leadMs);
void dvk_prompt_updateStreamingVocData(dvk_prompt_List* list, dvk_prompt_Stream* stream, const uint8_t* data,
                                       int32_t length);
// No more data; clears the caller's pointer.
void dvk_prompt_finalizeStreamingVocData(dvk_prompt_List* list, dvk_prompt_Stream** stream);
// n 0-99 as a two-character text: the tens digit (a blank for 0), the units.
void dvk_prompt_addMenuIndex(dvk_prompt_List* list, int32_t n);
// The text with a blank after every character.
void dvk_prompt_addDigitsText(dvk_prompt_List* list, const dvk_ucs2_Char* text);
void dvk_prompt_addStringId(dvk_prompt_List* list, dvk_string_Table* strings, int32_t id);
// The number as the phonebook formats it, a prompt for every character.
void dvk_prompt_addDigits(dvk_prompt_List* list, dvk_prompt_Table* table, const dvk_ucs2_Char* number);
// A known location type's prompt (and the digits after it), else the text.
void dvk_prompt_addLocation(dvk_prompt_List* list, dvk_prompt_Table* table, dvk_string_Table* strings,
                            const dvk_ucs2_Char* location);

// 0, or 1 when its messages cannot be made. The list then belongs to the
// playing: it is destroyed after the callback, or by a stop.
int32_t dvk_prompt_playPromptList(dvk_prompt_List* list, dvk_prompt_DoneCallback callback);
// 0, or 1 when the list had to be destroyed at once. After the end only the
// callback is suppressed.
int32_t dvk_prompt_stopPromptList(dvk_prompt_List* list);

// Synthesis objects.
dvk_prompt_Tts* dvk_prompt_createTextTTS(dvk_vre_Recognizer* vre, const dvk_ucs2_Char* text);
dvk_prompt_Tts* dvk_prompt_createWordIdTTS(dvk_vre_Recognizer* vre, const int32_t* wordIds, int32_t count);
void dvk_prompt_destroyTTSObj(dvk_prompt_Tts** tts);
// Plays the synthesis in a ring of buffers; done is sent once it has been
// played (at once when it cannot start).
void dvk_prompt_startTTSPlayback(dvk_prompt_Tts* tts, dvk_msg_Message* done, int32_t speed, int32_t volume);
void dvk_prompt_stopTTSPlayback(dvk_prompt_Tts* tts);

// Earcons 0-6 at the playback rate and the earcon volume; NULL when the
// playback type has no rate or memory is short.
dvk_prompt_Earcon* dvk_prompt_createEarcon(int32_t earcon);
void dvk_prompt_destroyEarcon(dvk_prompt_Earcon** earcon);
const int16_t* dvk_prompt_getEarconData(const dvk_prompt_Earcon* earcon);
int32_t dvk_prompt_getEarconDataLength(const dvk_prompt_Earcon* earcon);  // samples
dvk_oem_audio_PCMType dvk_prompt_getEarconPcmType(const dvk_prompt_Earcon* earcon);

// Streams.
dvk_prompt_Stream* dvk_prompt_createStreamObj(dvk_oem_audio_VocoderType vocoderType, int32_t leadMs);
void dvk_prompt_destroyStreamObj(dvk_prompt_Stream** stream);
// 0, or 1 when the chunk cannot be stored. Kept until the stream plays, then
// queued as it comes.
int32_t dvk_prompt_appendStream(dvk_prompt_Stream* stream, const uint8_t* data, int32_t length);
// 0, or 1 when the audio could not queue it (the message is gone then).
int32_t dvk_prompt_startStreamPlayback(dvk_prompt_Stream* stream, dvk_msg_Message* message);
void dvk_prompt_stopStream(dvk_prompt_Stream* stream);
