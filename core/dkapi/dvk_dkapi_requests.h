// The speech API's requests as suite messages, its notifications back to the
// caller, the busy flag and the out-of-memory target.
#pragma once

#include "core/dkapi/dvk_dkapi_api.h"
#include "sdk/common/dvk_msg.h"

#include <cstdint>

// One record for every request: the prompt (when hasPrompt), the
// notification, then the request's own words.
struct dvk_dkapi_Request {
    int32_t hasPrompt;
    DKAPI_PromptRequest prompt;
    DKAPI_Notify notify;
    void* context;
    DKAPI_Handle engine;
    DKAPI_Handle* handle;     // create, destroy
    dvk_lang_Language language;
    DKAPI_Result* results[4];  // one; four for music
    int32_t minimumDigits, maximumDigits;
    int32_t musicKind;
    int32_t maxTimeMs;
    dvk_ucs2_Char** items;    // create list: copies, null-ended
    DKAPI_List* listHandle;   // create list
    DKAPI_List list;          // pick from list
    uint8_t* buffer;          // capture
    int32_t* capturedLength;
    int32_t bufferLength;
    int32_t words[2];         // network synthesis
};

// Request messages owning their record; NULL when memory is short. Each also
// makes its notify and context the out-of-memory target.
dvk_msg_Message* dvk_dkapi_newCreateMsg(DKAPI_Handle* handle, dvk_lang_Language language, DKAPI_Notify notify,
                                        void* context);
dvk_msg_Message* dvk_dkapi_newDestroyMsg(DKAPI_Handle* handle, DKAPI_Notify notify, void* context);
dvk_msg_Message* dvk_dkapi_newAbortMsg(DKAPI_Notify notify, void* context);
dvk_msg_Message* dvk_dkapi_newPlayPromptMsg(DKAPI_Handle engine, const DKAPI_PromptRequest* prompt,
                                            DKAPI_Notify notify, void* context);
dvk_msg_Message* dvk_dkapi_newRecogPhonebookMsg(DKAPI_Handle engine, const DKAPI_PromptRequest* prompt,
                                                DKAPI_Result* result, DKAPI_Notify notify, void* context,
                                                int32_t maxTimeMs);
dvk_msg_Message* dvk_dkapi_newRecogPhoneNumberMsg(DKAPI_Handle engine, const DKAPI_PromptRequest* prompt,
                                                  DKAPI_Result* result, DKAPI_Notify notify, void* context,
                                                  int32_t maxTimeMs);
dvk_msg_Message* dvk_dkapi_newDigitsNumberMsg(DKAPI_Handle engine, const DKAPI_PromptRequest* prompt,
                                              DKAPI_Result* result, int32_t minimumDigits, int32_t maximumDigits,
                                              DKAPI_Notify notify, void* context, int32_t maxTimeMs);
dvk_msg_Message* dvk_dkapi_newRecogMusicMsg(DKAPI_Handle engine, const DKAPI_PromptRequest* prompt, int32_t kind,
                                            DKAPI_Result* const results[4], DKAPI_Notify notify, void* context,
                                            int32_t maxTimeMs);
// Copies at most 100 item texts.
dvk_msg_Message* dvk_dkapi_newCreateListMsg(DKAPI_Handle engine, const dvk_ucs2_Char* const* items,
                                            DKAPI_List* listHandle, DKAPI_Notify notify, void* context);
dvk_msg_Message* dvk_dkapi_newPickFromListMsg(DKAPI_Handle engine, const DKAPI_PromptRequest* prompt,
                                              DKAPI_List list, DKAPI_Result* result, DKAPI_Notify notify,
                                              void* context, int32_t maxTimeMs);
dvk_msg_Message* dvk_dkapi_newStartDataCaptureMsg(DKAPI_Handle engine, const DKAPI_PromptRequest* prompt,
                                                  uint8_t* buffer, int32_t* capturedLength, int32_t bufferLength,
                                                  int32_t maxTimeMs, DKAPI_Notify notify, void* context);
dvk_msg_Message* dvk_dkapi_newStopDataCaptureMsg(DKAPI_Handle engine);
dvk_msg_Message* dvk_dkapi_newNetworkTtsMsg(DKAPI_Handle engine, int32_t request, int32_t option,
                                            DKAPI_Notify notify, void* context);
dvk_msg_Message* dvk_dkapi_newDestroyNetworkTtsMsg(DKAPI_Handle engine, int32_t request, DKAPI_Notify notify,
                                                   void* context);

// The notification of a request: its handler clears the busy flag and calls
// notify(status, context). NULL when memory is short.
dvk_msg_Message* dvk_dkapi_newNotifyMsg(DKAPI_Notify notify, int32_t status, void* context);
// Sends it to address; false when it could not be built.
bool dvk_dkapi_notify(DKAPI_Notify notify, int32_t status, void* context, dvk_msg_Address address);
void notifyHandler(void* data, dvk_msg_Address sender);

// Set while a request is in progress (from its posting to its notification).
int32_t dvk_dkapi_isBusy(void);
void dvk_dkapi_setBusy(int32_t busy);
// Sets the flag; false when it was set already.
bool dvk_dkapi_tryTakeBusy(void);

// The bare event of the out-of-memory route: calls the last requester's
// notify with 3. The busy flag stays set (an abort clears it).
void dvk_dkapi_oomHandler(void);
void dvk_dkapi_setOutOfMemoryTarget(DKAPI_Notify notify, void* context);

// The suite thread's handlers of the request messages.
void createDKAPIHandler(void* data, dvk_msg_Address sender);
void destroyDKAPIHandler(void* data, dvk_msg_Address sender);
void abortDKAPIHandler(void* data, dvk_msg_Address sender);
void playPromptDKAPIHandler(void* data, dvk_msg_Address sender);
void recogPhonebookDKAPIHandler(void* data, dvk_msg_Address sender);
void recogPhoneNumberDKAPIHandler(void* data, dvk_msg_Address sender);
void recogDigitsDKAPIHandler(void* data, dvk_msg_Address sender);
void recogMusicDKAPIHandler(void* data, dvk_msg_Address sender);
void createListDKAPIHandler(void* data, dvk_msg_Address sender);
void pickFromListDKAPIHandler(void* data, dvk_msg_Address sender);
void startDataCaptureDKAPIHandler(void* data, dvk_msg_Address sender);
void stopDataCaptureDKAPIHandler(void* data, dvk_msg_Address sender);
void networkTtsDKAPIHandler(void* data, dvk_msg_Address sender);
void destroyNetworkTtsDKAPIHandler(void* data, dvk_msg_Address sender);
