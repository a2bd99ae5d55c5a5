// The suite's display requests and UI events. A screen is decided on the
// suite thread but shown from "UI": each request copies everything the
// screen needs into one record and sends it as a message to the given
// address, where its handler calls the porting layer's display entry point
// and the message's destructor frees the copies. Nothing the caller passed
// is referenced after the call, so the caller may change or free it at once.
//
// Every request returns 0 when the message was sent and 1 when memory ran
// short (everything made is freed again; nothing is sent). A broken argument
// rule stops the process. Soft keys are three texts (null: no key) and three
// events. Lists are passed as null when empty: a non-null list with a count
// of 0 is not copied and the request fails.
#pragma once

#include "oem/dvk_oem_ui_display.h"
#include "sdk/common/dvk_msg.h"
#include "sdk/common/dvk_types.h"
#include "sdk/common/dvk_ui_types.h"

#include <cstdint>

enum : int32_t {
    DVK_UI_PALETTE_BYTES = 256,  // 64 palette words, as they lie in memory
};

int dvk_ui_displayPopup(dvk_msg_Address destination, dvk_ui_ScreenId screenId, const dvk_ucs2_Char* bodyText,
                        dvk_oem_ui_PopupType popupType, int32_t defaultTimeout);
int dvk_ui_displayRadioButton(dvk_msg_Address destination, dvk_ui_ScreenId screenId,
                              const dvk_ucs2_Char* titleText, const dvk_ucs2_Char* secondText,
                              const dvk_ucs2_Char* const* items, int32_t numItems, int32_t selectedItem,
                              const dvk_ucs2_Char* const* softkeyText, const dvk_ui_Event* softkeyEvent,
                              int32_t defaultTimeout);
// itemFlags: one byte per item.
int dvk_ui_displayCheckBox(dvk_msg_Address destination, dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                           const dvk_ucs2_Char* secondText, const dvk_ucs2_Char* const* items,
                           const uint8_t* itemFlags, int32_t numItems, int32_t highlightedItem,
                           const dvk_ucs2_Char* const* softkeyText, const dvk_ui_Event* softkeyEvent,
                           int32_t defaultTimeout);
// subMenuItems: one text list per menu item (null for a count of 0);
// numSubMenuItems: one count per menu item.
int dvk_ui_displayMenu(dvk_msg_Address destination, dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                       const dvk_ucs2_Char* secondText, const dvk_ucs2_Char* const* menuItems, int32_t numMenuItems,
                       int32_t selectedItem, const dvk_ucs2_Char* const* const* subMenuItems,
                       const int32_t* numSubMenuItems, const dvk_ucs2_Char* const* softkeyText,
                       const dvk_ui_Event* softkeyEvent, int32_t defaultTimeout);
int dvk_ui_displayConfirm(dvk_msg_Address destination, dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                          const dvk_ucs2_Char* bodyText, const dvk_ucs2_Char* panelBarText,
                          const dvk_ucs2_Char* const* items, int32_t numItems, int32_t selectedItem,
                          const dvk_ucs2_Char* const* phrases, int32_t numPhrases,
                          const dvk_ucs2_Char* const* softkeyText, const dvk_ui_Event* softkeyEvent,
                          int32_t startTimeout, int32_t defaultTimeout);
int dvk_ui_displayAdapt(dvk_msg_Address destination, dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                        const dvk_ucs2_Char* secondText, const dvk_ucs2_Char* panelBarText,
                        const dvk_ucs2_Char* phrase, const dvk_ucs2_Char* const* softkeyText,
                        const dvk_ui_Event* softkeyEvent, int32_t startTimeout, int32_t defaultTimeout);
// The picture is all or nothing: palette (DVK_UI_PALETTE_BYTES), bitmap
// (bitmapDataLen bytes), width and height, or none of them.
int dvk_ui_displayListen(dvk_msg_Address destination, dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                         const dvk_ucs2_Char* bodyText, int32_t width, int32_t height, const uint8_t* palette,
                         const uint8_t* bitmapData, int32_t bitmapDataLen, const dvk_ucs2_Char* panelBarText,
                         const dvk_ucs2_Char* const* phrases, int32_t numPhrases,
                         const dvk_ucs2_Char* const* softkeyText, const dvk_ui_Event* softkeyEvent,
                         int32_t startTimeout, int32_t defaultTimeout);
int dvk_ui_displayCommand(dvk_msg_Address destination, dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                          const dvk_ucs2_Char* panelBarText, const dvk_ucs2_Char* const* commands,
                          int32_t numCommands, const dvk_ucs2_Char* const* softkeyText,
                          const dvk_ui_Event* softkeyEvent, int32_t startTimeout, int32_t defaultTimeout);
int dvk_ui_displayText(dvk_msg_Address destination, dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                       const dvk_ucs2_Char* bodyText, const dvk_ucs2_Char* const* softkeyText,
                       const dvk_ui_Event* softkeyEvent, int32_t defaultTimeout);
// bitmapData: width x height 16-bit pixels.
int dvk_ui_displayRgbBitmap(dvk_msg_Address destination, dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                            int32_t width, int32_t height, const uint16_t* bitmapData,
                            const dvk_oem_ui_display_Rect* updateRectangles, int32_t numUpdateRectangles,
                            const dvk_ucs2_Char* const* softkeyText, const dvk_ui_Event* softkeyEvent,
                            int32_t defaultTimeout);
int dvk_ui_displayBitmap(dvk_msg_Address destination, dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                         int32_t width, int32_t height, const uint8_t* palette, const uint8_t* bitmapData,
                         int32_t bitmapDataLen, const dvk_ucs2_Char* const* softkeyText,
                         const dvk_ui_Event* softkeyEvent, int32_t defaultTimeout);

// Carries a UI event and its item index to the suite thread, where the
// central engine hands it to the current dialog module. Any thread. Select
// and set-focus need an index of 0 or more. 1 when the message could not
// be built, else 0.
int dvk_ui_sendEvent(dvk_ui_Event event, int32_t index);

// The audio-input and progress-bar figures: -1 (no value) until set, each
// value -1 or more. Written on the suite thread.
void dvk_ui_setAudioInputInfo(int32_t current, int32_t maximum);
void dvk_ui_getAudioInputInfo(int32_t* current, int32_t* maximum);
void dvk_ui_setProgressBarInfo(int32_t current, int32_t maximum);
void dvk_ui_getProgressBarInfo(int32_t* current, int32_t* maximum);
