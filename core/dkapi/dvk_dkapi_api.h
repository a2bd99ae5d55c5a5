// The speech API: a simpler interface to the suite's recognition and
// prompting for applications that run their own dialog. One request at a
// time; each entry point only posts a message to the suite thread, and every
// request is answered by one notification on the caller's thread (the
// caller must have a message loop). Data and texts a request points at stay
// the caller's until its notification.
#pragma once

#include "core/lang/dvk_lang.h"
#include "sdk/common/dvk_types.h"

#include <cstdint>

enum : int {
    DKAPI_OK = 0,
    DKAPI_BAD_ARGUMENT = 2,
    DKAPI_LANGUAGE_NOT_SUPPORTED = 3,
    DKAPI_BUSY = 4,
};

// Notification statuses besides 0: 1 aborted, 2 bad argument, 3 out of
// memory (create: the recogniser failed), 4 engine already created, 5 not
// available.
typedef void (*DKAPI_Notify)(int32_t status, void* context);

enum : int32_t {
    DKAPI_PROMPT_DATA = 0,    // vocoded data, or PCM for vocoder type 9 (length in bytes)
    DKAPI_PROMPT_TEXT = 1,    // a UCS-2 text for synthesis
    DKAPI_PROMPT_NUMBER = 2,  // 1-120
};

struct DKAPI_PromptRequest {
    int32_t kind;
    int32_t promptNumber;
    int32_t vocoderType;  // 0-9, 9 = PCM
    const void* data;     // data, or the text
    int32_t length;
    int32_t earcon;        // 1: an earcon follows the prompt
    int32_t volumeOffset;  // -10..10
    int32_t speedPercent;  // 20..500, else 100
    int32_t reserved;
};

// Filled by a recognition: count on entry is the number of texts the
// caller's array holds; on return the number written.
struct DKAPI_Result {
    int32_t confidence;
    int32_t count;
    dvk_ucs2_Char (*texts)[256];
};

enum : int32_t {
    DKAPI_MUSIC_SONG = 0,
    DKAPI_MUSIC_ARTIST = 1,
    DKAPI_MUSIC_ALBUM = 2,
    DKAPI_MUSIC_PLAYLIST = 3,
    DKAPI_MUSIC_ANY = 4,
};

struct dvk_dkapi_Engine;
struct dvk_dkapi_List;
typedef dvk_dkapi_Engine* DKAPI_Handle;
typedef dvk_dkapi_List* DKAPI_List;

// Return codes: DKAPI_OK (posted), DKAPI_BAD_ARGUMENT (or the request could
// not be built), DKAPI_LANGUAGE_NOT_SUPPORTED (create), DKAPI_BUSY.
const char* DKAPI_Version(void);
int32_t DKAPI_GetSupportedTTSType(dvk_lang_Language language);
int DKAPI_Create(DKAPI_Handle* handle, dvk_lang_Language language, int32_t unused, DKAPI_Notify notify,
                 void* context);
int DKAPI_Destroy(DKAPI_Handle* handle, DKAPI_Notify notify, void* context);
int DKAPI_Abort(DKAPI_Notify notify, void* context);
int DKAPI_PlayPrompt(DKAPI_Handle engine, const DKAPI_PromptRequest* prompt, DKAPI_Notify notify, void* context);
int DKAPI_PickFromPhonebook(DKAPI_Handle engine, const DKAPI_PromptRequest* prompt, DKAPI_Result* result,
                            DKAPI_Notify notify, void* context, int32_t maxTimeMs);
int DKAPI_PhoneNumber(DKAPI_Handle engine, const DKAPI_PromptRequest* prompt, DKAPI_Result* result,
                      DKAPI_Notify notify, void* context, int32_t maxTimeMs);
int DKAPI_Digits(DKAPI_Handle engine, const DKAPI_PromptRequest* prompt, DKAPI_Result* result,
                 int32_t minimumDigits, int32_t maximumDigits, DKAPI_Notify notify, void* context,
                 int32_t maxTimeMs);
int DKAPI_PickFromMusicLibrary(DKAPI_Handle engine, const DKAPI_PromptRequest* prompt, int32_t kind,
                               DKAPI_Result* song, DKAPI_Result* artist, DKAPI_Result* album,
                               DKAPI_Result* playlist, DKAPI_Notify notify, void* context, int32_t maxTimeMs);
// items: null-ended; at most 100 are taken. The list lives as long as the
// engine.
int DKAPI_CreateList(DKAPI_Handle engine, const dvk_ucs2_Char* const* items, DKAPI_List* list,
                     DKAPI_Notify notify, void* context);
// Answered at once, no notification; an index outside the list is a bad
// argument.
int DKAPI_IsListItemValid(DKAPI_Handle engine, DKAPI_List list, int32_t index, int32_t* valid);
int DKAPI_PickFromList(DKAPI_Handle engine, const DKAPI_PromptRequest* prompt, DKAPI_List list,
                       DKAPI_Result* result, DKAPI_Notify notify, void* context, int32_t maxTimeMs);
// The front end's data of one utterance into buffer (bufferLength bytes);
// *capturedLength receives the bytes written.
int DKAPI_StartRecogDataCapture(DKAPI_Handle engine, const DKAPI_PromptRequest* prompt, uint8_t* buffer,
                                int32_t* capturedLength, int32_t bufferLength, int32_t maxTimeMs,
                                DKAPI_Notify notify, void* context);
int DKAPI_StopRecogDataCapture(DKAPI_Handle engine);
int DKAPI_GetNetworkTTS(DKAPI_Handle engine, int32_t request, int32_t option, DKAPI_Notify notify, void* context);
int DKAPI_DestroyNetworkTTS(DKAPI_Handle engine, int32_t request, DKAPI_Notify notify, void* context);
