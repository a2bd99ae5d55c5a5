// The porting interface's screen calls: the suite's display messages call
// them on "UI", one per screen. Each checks its arguments (a broken rule
// stops the process), hands them unchanged to the UI function table, and
// then remembers the screen id and, except for a popup, the screen's
// soft-key events. Texts are zero-terminated UCS-2; soft keys are three
// texts (null: no key) and three events.
#pragma once

#include "sdk/common/dvk_types.h"
#include "sdk/common/dvk_ui_types.h"

#include <cstdint>

// How the suite means a popup (0, 1 and 2 occur); not used further.
typedef int32_t dvk_oem_ui_PopupType;

// An update rectangle of the RGB bitmap screen; nothing reads its words.
struct dvk_oem_ui_display_Rect {
    int32_t words[4];
};

void dvk_oem_ui_displayPopup(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* bodyText,
                             dvk_oem_ui_PopupType popupType, int32_t defaultTimeout);
void dvk_oem_ui_displayRadioButton(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                                   const dvk_ucs2_Char* secondText, const dvk_ucs2_Char* const* items,
                                   int32_t numItems, int32_t selectedItem,
                                   const dvk_ucs2_Char* const* softkeyText, const dvk_ui_Event* softkeyEvent,
                                   int32_t defaultTimeout);
void dvk_oem_ui_displayCheckBox(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                                const dvk_ucs2_Char* secondText, const dvk_ucs2_Char* const* items,
                                const uint8_t* itemFlags, int32_t numItems, int32_t highlightedItem,
                                const dvk_ucs2_Char* const* softkeyText, const dvk_ui_Event* softkeyEvent,
                                int32_t defaultTimeout);
void dvk_oem_ui_displayMenu(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                            const dvk_ucs2_Char* secondText, const dvk_ucs2_Char* const* menuItems,
                            int32_t numMenuItems, int32_t selectedItem,
                            const dvk_ucs2_Char* const* const* subMenuItems, const int32_t* numSubMenuItems,
                            const dvk_ucs2_Char* const* softkeyText, const dvk_ui_Event* softkeyEvent,
                            int32_t defaultTimeout);
void dvk_oem_ui_displayConfirm(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                               const dvk_ucs2_Char* bodyText, const dvk_ucs2_Char* panelBarText,
                               const dvk_ucs2_Char* const* items, int32_t numItems, int32_t selectedItem,
                               const dvk_ucs2_Char* const* phrases, int32_t numPhrases,
                               const dvk_ucs2_Char* const* softkeyText, const dvk_ui_Event* softkeyEvent,
                               int32_t startTimeout, int32_t defaultTimeout);
void dvk_oem_ui_displayAdapt(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                             const dvk_ucs2_Char* secondText, const dvk_ucs2_Char* panelBarText,
                             const dvk_ucs2_Char* phrase, const dvk_ucs2_Char* const* softkeyText,
                             const dvk_ui_Event* softkeyEvent, int32_t startTimeout, int32_t defaultTimeout);
void dvk_oem_ui_displayListen(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                              const dvk_ucs2_Char* bodyText, int32_t width, int32_t height, const uint8_t* palette,
                              const uint8_t* bitmapData, int32_t bitmapDataLen, const dvk_ucs2_Char* panelBarText,
                              const dvk_ucs2_Char* const* phrases, int32_t numPhrases,
                              const dvk_ucs2_Char* const* softkeyText, const dvk_ui_Event* softkeyEvent,
                              int32_t startTimeout, int32_t defaultTimeout);
void dvk_oem_ui_displayCommand(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                               const dvk_ucs2_Char* panelBarText, const dvk_ucs2_Char* const* commands,
                               int32_t numCommands, const dvk_ucs2_Char* const* softkeyText,
                               const dvk_ui_Event* softkeyEvent, int32_t startTimeout, int32_t defaultTimeout);
void dvk_oem_ui_displayText(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText, const dvk_ucs2_Char* bodyText,
                            const dvk_ucs2_Char* const* softkeyText, const dvk_ui_Event* softkeyEvent,
                            int32_t defaultTimeout);
void dvk_oem_ui_displayRgbBitmap(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText, int32_t width,
                                 int32_t height, const uint16_t* bitmapData,
                                 const dvk_oem_ui_display_Rect* updateRectangles, int32_t numUpdateRectangles,
                                 const dvk_ucs2_Char* const* softkeyText, const dvk_ui_Event* softkeyEvent,
                                 int32_t defaultTimeout);
void dvk_oem_ui_displayBitmap(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText, int32_t width,
                              int32_t height, const uint8_t* palette, const uint8_t* bitmapData,
                              int32_t bitmapDataLen, const dvk_ucs2_Char* const* softkeyText,
                              const dvk_ui_Event* softkeyEvent, int32_t defaultTimeout);

// The last screen shown (DVK_UI_SCR_MAX before the first), and the soft-key
// events of the last screen other than a popup (three, all
// DVK_UI_EVENT_NONE at first). "UI" only.
dvk_ui_ScreenId oemUIGetScreenId();
const dvk_ui_Event* oemUIGetSoftkeyEvents();

// Text input: present for the porting interface, never called; they do
// nothing.
typedef int32_t dvk_oem_text_input_TextType;
struct dvk_oem_text_input_TextState;
void dvk_oem_text_input_beginTextInput(const dvk_ucs2_Char* initialText, int32_t first, int32_t second,
                                       dvk_oem_text_input_TextType type);
void dvk_oem_text_input_stopTextInput();
void dvk_oem_text_input_getCurrentText(dvk_oem_text_input_TextState* state);
