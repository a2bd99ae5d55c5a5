// The speech API's engine on the suite thread: one per process, with its
// own prompt and string tables and recogniser built on the static
// constraint list, separate from the central engine.
#pragma once

#include "core/ce/dvk_ce_loop.h"
#include "core/dkapi/dvk_dkapi.h"
#include "core/dkapi/dvk_dkapi_api.h"
#include "sdk/common/dvk_msg.h"

#include <cstdint>

struct dvk_vre_Recognizer;
struct dvk_prompt_Table;
struct dvk_prompt_List;
struct dvk_string_Table;
struct dvk_constraints_Constraint;
struct dvk_nbest_List;

enum : int32_t {
    DVK_DKAPI_PLAY_ONLY = 0,
    DVK_DKAPI_RECOGNISE = 1,
    DVK_DKAPI_CAPTURE = 2,
};

struct dvk_dkapi_Engine {
    dvk_lang_Language language;
    dvk_vre_Recognizer* vre;
    dvk_prompt_Table* promptTable;
    dvk_string_Table* stringTable;
    dvk_msg_Address callerAddress;
    dvk_prompt_List* prompts;
    dvk_constraints_Constraint* constraints[2];  // the one listened with, null-ended
    int32_t maxTimeMs;
    int32_t requestKind;  // DVK_DKAPI_*
    int32_t music;        // 1 for a music request
    const dvk_dkapi_List* pickList;  // the list a pick-from-list request reports from
    DKAPI_Result* results[4];
    DKAPI_Notify notify;  // the pending request's
    void* context;
    DKAPI_Notify stopNotify;  // the running abort's or destroy's
    void* stopContext;
    dvk_msg_Address stopAddress;
    DKAPI_Handle* destroyHandle;
    int32_t fullRebuild;
    int32_t rebuildRunning;
    dvk_ce_Listening listen;
    dvk_dkapi_List* lists;  // every list made, newest first
    dvk_vre_Recognizer* captureVre;
    uint8_t* captureBuffer;
    int32_t* capturedLength;
    int32_t captureBufferLength;
    int32_t capturing;
};

// The engine, or NULL (suite thread).
dvk_dkapi_Engine* dvk_dkapi_getEngine(void);

// The effective synthesis speed and volume of a prompt request at the
// user's settings.
int32_t dvk_dkapi_promptSpeed(int32_t speedPercent, int32_t settingSpeed);
int32_t dvk_dkapi_promptVolume(int32_t volumeOffset, int32_t settingVolume);
// The prompt table's id of a request's prompt number; -1: none.
int32_t dvk_dkapi_translatePrompt(int32_t promptNumber);

// Fills a record from a result (none: nothing recognised): confidence, then
// at most the record's count texts, cut to 255 units; a list item whose
// spoken form was recognised is reported by its whole text.
void dvk_dkapi_fillResult(DKAPI_Result* result, dvk_nbest_List* nbest, const dvk_dkapi_List* list);
// The four music records (song, artist, album, playlist) from a result:
// entries without any text dropped, then entries repeating an earlier one.
void dvk_dkapi_fillMusicResults(DKAPI_Result* const results[4], dvk_nbest_List* nbest);
