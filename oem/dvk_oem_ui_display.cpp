#include "oem/dvk_oem_ui_display.h"

#include "oem/dvk_oem_ui.h"
#include "sdk/common/dvk_assert.h"
#include "src/QrvLog.h"

#include <cstddef>

namespace {

dvk_ui_ScreenId savedScreenId = DVK_UI_SCR_MAX;
dvk_ui_Event savedSoftkeyEvents[3] = {DVK_UI_EVENT_NONE, DVK_UI_EVENT_NONE, DVK_UI_EVENT_NONE};

void saveScreen(dvk_ui_ScreenId screenId, const dvk_ui_Event* softkeyEvent)
{
    savedScreenId = screenId;
    if (softkeyEvent != nullptr)
        for (int i = 0; i < 3; ++i)
            savedSoftkeyEvents[i] = softkeyEvent[i];
}

void trace(const char* function)
{
    QrvLog::UIthread::qrvLog.log(WexLogTrace, "%s: entered", function);
}

} // namespace

// Written out per key so that each assertion names its own index.
#define DVK_OEM_UI_ASSERT_SOFTKEYS()                                                                \
    DVK_ASSERT((softkeyText[0] != NULL) || (softkeyEvent[0] == DVK_UI_EVENT_NONE));                  \
    DVK_ASSERT((softkeyText[1] != NULL) || (softkeyEvent[1] == DVK_UI_EVENT_NONE));                  \
    DVK_ASSERT((softkeyText[2] != NULL) || (softkeyEvent[2] == DVK_UI_EVENT_NONE))

void dvk_oem_ui_displayPopup(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* bodyText,
                             dvk_oem_ui_PopupType popupType, int32_t defaultTimeout)
{
    DVK_ASSERT(bodyText != NULL);
    DVK_ASSERT(defaultTimeout >= -1);
    dvkOemUiFuncs_p->displayPopup(screenId, bodyText, popupType, defaultTimeout);
    // The soft keys stay those of the screen below the popup.
    saveScreen(screenId, nullptr);
}

void dvk_oem_ui_displayRadioButton(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                                   const dvk_ucs2_Char* secondText, const dvk_ucs2_Char* const* items,
                                   int32_t numItems, int32_t selectedItem,
                                   const dvk_ucs2_Char* const* softkeyText, const dvk_ui_Event* softkeyEvent,
                                   int32_t defaultTimeout)
{
    DVK_ASSERT(items != NULL);
    DVK_ASSERT(numItems >= 0);
    DVK_ASSERT((selectedItem >= 0) && (selectedItem < numItems));
    DVK_OEM_UI_ASSERT_SOFTKEYS();
    DVK_ASSERT(defaultTimeout >= -1);
    dvkOemUiFuncs_p->displayRadioButton(screenId, titleText, secondText, items, numItems, selectedItem, softkeyText,
                                        softkeyEvent, defaultTimeout);
    saveScreen(screenId, softkeyEvent);
}

void dvk_oem_ui_displayCheckBox(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                                const dvk_ucs2_Char* secondText, const dvk_ucs2_Char* const* items,
                                const uint8_t* itemFlags, int32_t numItems, int32_t highlightedItem,
                                const dvk_ucs2_Char* const* softkeyText, const dvk_ui_Event* softkeyEvent,
                                int32_t defaultTimeout)
{
    DVK_ASSERT(items != NULL);
    DVK_ASSERT(itemFlags != NULL);
    DVK_ASSERT(numItems >= 0);
    DVK_ASSERT((highlightedItem >= 0) && (highlightedItem < numItems));
    DVK_OEM_UI_ASSERT_SOFTKEYS();
    DVK_ASSERT(defaultTimeout >= -1);
    dvkOemUiFuncs_p->displayCheckBox(screenId, titleText, secondText, items, itemFlags, numItems, highlightedItem,
                                     softkeyText, softkeyEvent, defaultTimeout);
    saveScreen(screenId, softkeyEvent);
}

void dvk_oem_ui_displayMenu(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                            const dvk_ucs2_Char* secondText, const dvk_ucs2_Char* const* menuItems,
                            int32_t numMenuItems, int32_t selectedItem,
                            const dvk_ucs2_Char* const* const* subMenuItems, const int32_t* numSubMenuItems,
                            const dvk_ucs2_Char* const* softkeyText, const dvk_ui_Event* softkeyEvent,
                            int32_t defaultTimeout)
{
    DVK_ASSERT(menuItems != NULL);
    DVK_ASSERT(numMenuItems > 0);
    DVK_ASSERT((selectedItem >= 0) && (selectedItem < numMenuItems));
    DVK_ASSERT(subMenuItems != NULL);
    DVK_ASSERT(numSubMenuItems != NULL);
    DVK_OEM_UI_ASSERT_SOFTKEYS();
    DVK_ASSERT(defaultTimeout >= -1);
    dvkOemUiFuncs_p->displayMenu(screenId, titleText, secondText, menuItems, numMenuItems, selectedItem,
                                 subMenuItems, numSubMenuItems, softkeyText, softkeyEvent, defaultTimeout);
    saveScreen(screenId, softkeyEvent);
}

void dvk_oem_ui_displayConfirm(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                               const dvk_ucs2_Char* bodyText, const dvk_ucs2_Char* panelBarText,
                               const dvk_ucs2_Char* const* items, int32_t numItems, int32_t selectedItem,
                               const dvk_ucs2_Char* const* phrases, int32_t numPhrases,
                               const dvk_ucs2_Char* const* softkeyText, const dvk_ui_Event* softkeyEvent,
                               int32_t startTimeout, int32_t defaultTimeout)
{
    DVK_ASSERT(panelBarText != NULL);
    DVK_ASSERT(items != NULL);
    DVK_ASSERT(numItems > 0);
    DVK_ASSERT((selectedItem >= 0) && (selectedItem < numItems));
    DVK_ASSERT(numPhrases >= 0);
    DVK_OEM_UI_ASSERT_SOFTKEYS();
    DVK_ASSERT(defaultTimeout >= -1);
    dvkOemUiFuncs_p->displayConfirm(screenId, titleText, bodyText, panelBarText, items, numItems, selectedItem,
                                    phrases, numPhrases, softkeyText, softkeyEvent, startTimeout, defaultTimeout);
    saveScreen(screenId, softkeyEvent);
}

void dvk_oem_ui_displayAdapt(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                             const dvk_ucs2_Char* secondText, const dvk_ucs2_Char* panelBarText,
                             const dvk_ucs2_Char* phrase, const dvk_ucs2_Char* const* softkeyText,
                             const dvk_ui_Event* softkeyEvent, int32_t startTimeout, int32_t defaultTimeout)
{
    DVK_ASSERT(panelBarText != NULL);
    DVK_ASSERT(phrase != NULL);
    DVK_OEM_UI_ASSERT_SOFTKEYS();
    DVK_ASSERT(defaultTimeout >= -1);
    dvkOemUiFuncs_p->displayAdapt(screenId, titleText, secondText, panelBarText, phrase, softkeyText, softkeyEvent,
                                  startTimeout, defaultTimeout);
    saveScreen(screenId, softkeyEvent);
}

void dvk_oem_ui_displayListen(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                              const dvk_ucs2_Char* bodyText, int32_t width, int32_t height, const uint8_t* palette,
                              const uint8_t* bitmapData, int32_t bitmapDataLen, const dvk_ucs2_Char* panelBarText,
                              const dvk_ucs2_Char* const* phrases, int32_t numPhrases,
                              const dvk_ucs2_Char* const* softkeyText, const dvk_ui_Event* softkeyEvent,
                              int32_t startTimeout, int32_t defaultTimeout)
{
    // No picture at all or a complete one.
    DVK_ASSERT(bitmapData == NULL ? (width == 0 && height == 0 && palette == NULL && bitmapDataLen == 0)
                                  : (width > 0 && height > 0 && palette != NULL && bitmapDataLen > 0));
    DVK_ASSERT(panelBarText != NULL);
    DVK_ASSERT(numPhrases >= 0);
    DVK_OEM_UI_ASSERT_SOFTKEYS();
    DVK_ASSERT(defaultTimeout >= -1);
    dvkOemUiFuncs_p->displayListen(screenId, titleText, bodyText, width, height, palette, bitmapData, bitmapDataLen,
                                   panelBarText, phrases, numPhrases, softkeyText, softkeyEvent, startTimeout,
                                   defaultTimeout);
    saveScreen(screenId, softkeyEvent);
}

void dvk_oem_ui_displayCommand(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                               const dvk_ucs2_Char* panelBarText, const dvk_ucs2_Char* const* commands,
                               int32_t numCommands, const dvk_ucs2_Char* const* softkeyText,
                               const dvk_ui_Event* softkeyEvent, int32_t startTimeout, int32_t defaultTimeout)
{
    DVK_ASSERT(panelBarText != NULL);
    DVK_ASSERT(commands != NULL);
    DVK_ASSERT(numCommands > 0);
    DVK_OEM_UI_ASSERT_SOFTKEYS();
    DVK_ASSERT(defaultTimeout >= -1);
    dvkOemUiFuncs_p->displayCommand(screenId, titleText, panelBarText, commands, numCommands, softkeyText,
                                    softkeyEvent, startTimeout, defaultTimeout);
    saveScreen(screenId, softkeyEvent);
}

void dvk_oem_ui_displayText(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText, const dvk_ucs2_Char* bodyText,
                            const dvk_ucs2_Char* const* softkeyText, const dvk_ui_Event* softkeyEvent,
                            int32_t defaultTimeout)
{
    DVK_OEM_UI_ASSERT_SOFTKEYS();
    DVK_ASSERT(defaultTimeout >= -1);
    dvkOemUiFuncs_p->displayText(screenId, titleText, bodyText, softkeyText, softkeyEvent, defaultTimeout);
    saveScreen(screenId, softkeyEvent);
}

void dvk_oem_ui_displayRgbBitmap(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText, int32_t width,
                                 int32_t height, const uint16_t* bitmapData,
                                 const dvk_oem_ui_display_Rect* updateRectangles, int32_t numUpdateRectangles,
                                 const dvk_ucs2_Char* const* softkeyText, const dvk_ui_Event* softkeyEvent,
                                 int32_t defaultTimeout)
{
    DVK_ASSERT(width > 0);
    DVK_ASSERT(height > 0);
    DVK_ASSERT(bitmapData != NULL);
    DVK_ASSERT(numUpdateRectangles >= 0);
    DVK_ASSERT(updateRectangles != NULL || numUpdateRectangles == 0);
    DVK_OEM_UI_ASSERT_SOFTKEYS();
    DVK_ASSERT(defaultTimeout >= -1);
    dvkOemUiFuncs_p->displayRgbBitmap(screenId, titleText, width, height, bitmapData, updateRectangles,
                                      numUpdateRectangles, softkeyText, softkeyEvent, defaultTimeout);
    saveScreen(screenId, softkeyEvent);
}

void dvk_oem_ui_displayBitmap(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText, int32_t width,
                              int32_t height, const uint8_t* palette, const uint8_t* bitmapData,
                              int32_t bitmapDataLen, const dvk_ucs2_Char* const* softkeyText,
                              const dvk_ui_Event* softkeyEvent, int32_t defaultTimeout)
{
    DVK_ASSERT(width > 0);
    DVK_ASSERT(height > 0);
    DVK_ASSERT(palette != NULL);
    DVK_ASSERT(bitmapData != NULL);
    DVK_ASSERT(bitmapDataLen > 0);
    DVK_OEM_UI_ASSERT_SOFTKEYS();
    DVK_ASSERT(defaultTimeout >= -1);
    dvkOemUiFuncs_p->displayBitmap(screenId, titleText, width, height, palette, bitmapData, bitmapDataLen,
                                   softkeyText, softkeyEvent, defaultTimeout);
    saveScreen(screenId, softkeyEvent);
}

dvk_ui_ScreenId oemUIGetScreenId()
{
    return savedScreenId;
}

const dvk_ui_Event* oemUIGetSoftkeyEvents()
{
    return savedSoftkeyEvents;
}

void dvk_oem_text_input_beginTextInput(const dvk_ucs2_Char*, int32_t, int32_t, dvk_oem_text_input_TextType)
{
    trace(__func__);
}

void dvk_oem_text_input_stopTextInput()
{
    trace(__func__);
}

void dvk_oem_text_input_getCurrentText(dvk_oem_text_input_TextState*)
{
    trace(__func__);
}
