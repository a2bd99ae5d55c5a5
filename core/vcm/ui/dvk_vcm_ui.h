// The dialog screen builders: the dialog modules describe a screen with
// string and image ids; a builder turns them into texts and a picture of the
// session's language and hands the screen to the display requests, addressed
// to the session's "UI" thread. Suite thread only.
//
// Every builder returns 0 when the screen was sent and 1 otherwise (a text
// or image the tables lack, an image that cannot be shown, memory short);
// everything it made is freed either way. DVK_STR_NULL (-1) as a title,
// second text or listed id means no text; -1 as an image id no picture.
// Soft keys are three string ids (-1: no key) and three events, passed on
// unchanged. A positive defaultTimeout is tripled in prompt modes 2 and 3,
// unless feature 67 (shorter prompts) is on; startTimeout is never changed.
//
// The builders ending in Str take ready texts: "taken over" means the
// builder frees it (and a list's texts) whether or not the screen is sent.
#pragma once

#include "core/image/dvk_image.h"
#include "core/string/dvk_string.h"
#include "oem/dvk_oem_ui_display.h"
#include "sdk/common/dvk_msg.h"
#include "sdk/common/dvk_types.h"
#include "sdk/common/dvk_ui_types.h"

#include <cstdint>

// What the builders need of the dialog session; the dialog manager defines
// them (a program that links the builders links it too).
struct dvk_vcm_Session;
dvk_msg_Address dvk_vcm_getUiThreadAddr(dvk_vcm_Session* vcms);
dvk_string_Table* dvk_vcm_stringTable(dvk_vcm_Session* vcms);
dvk_image_Table* dvk_vcm_imageTable(dvk_vcm_Session* vcms);

int dvk_vcm_ui_displayPopup(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t bodyTextId,
                            dvk_oem_ui_PopupType popupType, int32_t defaultTimeout);
int dvk_vcm_ui_displayText(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t titleTextId, int32_t bodyTextId,
                           const int32_t* softkeyTextIds, const dvk_ui_Event* softkeyEvents,
                           int32_t defaultTimeout);
// bodyText: taken over; null gives 1.
int dvk_vcm_ui_displayTextBodyStr(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t titleTextId,
                                  dvk_ucs2_Char* bodyText, const int32_t* softkeyTextIds,
                                  const dvk_ui_Event* softkeyEvents, int32_t defaultTimeout);
int dvk_vcm_ui_displayCommand(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t titleTextId,
                              int32_t panelBarTextId, const int32_t* commandIds, int32_t numCommands,
                              const int32_t* softkeyTextIds, const dvk_ui_Event* softkeyEvents,
                              int32_t startTimeout, int32_t defaultTimeout);
// commands: the array is taken over, its texts stay the caller's; null gives 1.
int dvk_vcm_ui_displayCommandStr(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t titleTextId,
                                 int32_t panelBarTextId, dvk_ucs2_Char** commands, int32_t numCommands,
                                 const int32_t* softkeyTextIds, const dvk_ui_Event* softkeyEvents,
                                 int32_t startTimeout, int32_t defaultTimeout);
// phraseIds: numPhrases ids, or null for none.
int dvk_vcm_ui_displayListen(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t titleTextId,
                             int32_t bodyTextId, int32_t imageId, int32_t panelBarTextId, const int32_t* phraseIds,
                             int32_t numPhrases, const int32_t* softkeyTextIds, const dvk_ui_Event* softkeyEvents,
                             int32_t startTimeout, int32_t defaultTimeout);
// bodyText: taken over; null gives 1.
int dvk_vcm_ui_displayListenBodyStr(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t titleTextId,
                                    dvk_ucs2_Char* bodyText, int32_t imageId, int32_t panelBarTextId,
                                    const int32_t* phraseIds, int32_t numPhrases, const int32_t* softkeyTextIds,
                                    const dvk_ui_Event* softkeyEvents, int32_t startTimeout,
                                    int32_t defaultTimeout);
// bodyText: the caller's, and may be null (no body); items: taken over with
// its texts; null, or a null entry, gives 1.
int dvk_vcm_ui_displayConfirmStr(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t titleTextId,
                                 const dvk_ucs2_Char* bodyText, int32_t panelBarTextId, dvk_ucs2_Char** items,
                                 int32_t numItems, int32_t selectedItem, const int32_t* phraseIds,
                                 int32_t numPhrases, const int32_t* softkeyTextIds,
                                 const dvk_ui_Event* softkeyEvents, int32_t startTimeout, int32_t defaultTimeout);
int dvk_vcm_ui_displayAdapt(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t titleTextId,
                            int32_t secondTextId, int32_t panelBarTextId, int32_t phraseId,
                            const int32_t* softkeyTextIds, const dvk_ui_Event* softkeyEvents, int32_t startTimeout,
                            int32_t defaultTimeout);
// phrase: taken over; null gives 1.
int dvk_vcm_ui_displayAdaptStr(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t titleTextId,
                               int32_t secondTextId, int32_t panelBarTextId, dvk_ucs2_Char* phrase,
                               const int32_t* softkeyTextIds, const dvk_ui_Event* softkeyEvents,
                               int32_t startTimeout, int32_t defaultTimeout);
// subMenuItemIds: one id list per menu item (read only where its count in
// numSubMenuItems is above 0).
int dvk_vcm_ui_displayMenu(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t titleTextId,
                           int32_t secondTextId, const int32_t* menuItemIds, int32_t numMenuItems,
                           int32_t selectedItem, const int32_t* const* subMenuItemIds,
                           const int32_t* numSubMenuItems, const int32_t* softkeyTextIds,
                           const dvk_ui_Event* softkeyEvents, int32_t defaultTimeout);
int dvk_vcm_ui_displayRadioButton(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t titleTextId,
                                  int32_t secondTextId, const int32_t* itemIds, int32_t numItems,
                                  int32_t selectedItem, const int32_t* softkeyTextIds,
                                  const dvk_ui_Event* softkeyEvents, int32_t defaultTimeout);
// itemFlags: one byte per item.
int dvk_vcm_ui_displayCheckBox(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t titleTextId,
                               int32_t secondTextId, const int32_t* itemIds, const uint8_t* itemFlags,
                               int32_t numItems, int32_t highlightedItem, const int32_t* softkeyTextIds,
                               const dvk_ui_Event* softkeyEvents, int32_t defaultTimeout);
// items: taken over with its texts; null, or a null entry, gives 1.
int dvk_vcm_ui_displayCheckBoxItemStr(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t titleTextId,
                                      int32_t secondTextId, dvk_ucs2_Char** items, const uint8_t* itemFlags,
                                      int32_t numItems, int32_t highlightedItem, const int32_t* softkeyTextIds,
                                      const dvk_ui_Event* softkeyEvents, int32_t defaultTimeout);
// The image is required.
int dvk_vcm_ui_displayBitmap(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t titleTextId, int32_t imageId,
                             const int32_t* softkeyTextIds, const dvk_ui_Event* softkeyEvents,
                             int32_t defaultTimeout);
