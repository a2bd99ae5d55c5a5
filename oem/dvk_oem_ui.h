// The UI function table: how the suite's screens and the service's audio
// state reach the phone application. Each entry turns its arguments into one
// JSON display request, sent as a reply on the "registerUI" subscription;
// the call notification launches the phone application and ends the
// service. Everything is built and sent on "UI"; the state slots (11-15),
// the call notification (16) and the audio level (17) may be posted there
// from other threads.
#pragma once

#include "oem/dvk_oem_ui_display.h"
#include "platform/core/wex_object.h"

#include <cstdint>

// The 18 slots, in this order.
struct dvk_oem_ui_Funcs {
    decltype(&dvk_oem_ui_displayBitmap) displayBitmap;
    decltype(&dvk_oem_ui_displayRgbBitmap) displayRgbBitmap;
    decltype(&dvk_oem_ui_displayText) displayText;
    decltype(&dvk_oem_ui_displayCommand) displayCommand;
    decltype(&dvk_oem_ui_displayListen) displayListen;
    decltype(&dvk_oem_ui_displayAdapt) displayAdapt;
    decltype(&dvk_oem_ui_displayConfirm) displayConfirm;
    decltype(&dvk_oem_ui_displayMenu) displayMenu;
    decltype(&dvk_oem_ui_displayCheckBox) displayCheckBox;
    decltype(&dvk_oem_ui_displayRadioButton) displayRadioButton;
    decltype(&dvk_oem_ui_displayPopup) displayPopup;
    void (*uiStateChangeToInitializing)(void* ignored);
    void (*uiStateChangeToRecording)(void* ignored);
    void (*uiStateChangeToPlayback)(void* ignored);
    void (*uiStateChangeToNeither)(void* ignored);
    void (*uiStateChangeToCalculating)(void* ignored);
    void (*notifyCallCmd)(const char* number);
    void (*audioLevelUpdate)(int32_t level);
};

class DvkOemUI {
public:
    enum EngineState_E {
        INITIALIZING = 0,
        RECORDING = 1,
        PLAYBACK = 2,
        NEITHER = 3,
        CALCULATING = 4,
    };

    virtual ~DvkOemUI() = default;

    // The table's only instance.
    static const dvk_oem_ui_Funcs dvkOemUiFuncs;

    // Slots 0-10: the screens (arguments as the display entry points').
    static void displayBitmap(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText, int32_t width,
                              int32_t height, const uint8_t* palette, const uint8_t* bitmapData,
                              int32_t bitmapDataLen, const dvk_ucs2_Char* const* softkeyText,
                              const dvk_ui_Event* softkeyEvent, int32_t defaultTimeout);
    static void displayRgbBitmap(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText, int32_t width,
                                 int32_t height, const uint16_t* bitmapData,
                                 const dvk_oem_ui_display_Rect* updateRectangles, int32_t numUpdateRectangles,
                                 const dvk_ucs2_Char* const* softkeyText, const dvk_ui_Event* softkeyEvent,
                                 int32_t defaultTimeout);
    static void displayText(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText, const dvk_ucs2_Char* bodyText,
                            const dvk_ucs2_Char* const* softkeyText, const dvk_ui_Event* softkeyEvent,
                            int32_t defaultTimeout);
    static void displayCommand(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                               const dvk_ucs2_Char* panelBarText, const dvk_ucs2_Char* const* commands,
                               int32_t numCommands, const dvk_ucs2_Char* const* softkeyText,
                               const dvk_ui_Event* softkeyEvent, int32_t startTimeout, int32_t defaultTimeout);
    static void displayListen(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                              const dvk_ucs2_Char* bodyText, int32_t width, int32_t height, const uint8_t* palette,
                              const uint8_t* bitmapData, int32_t bitmapDataLen, const dvk_ucs2_Char* panelBarText,
                              const dvk_ucs2_Char* const* phrases, int32_t numPhrases,
                              const dvk_ucs2_Char* const* softkeyText, const dvk_ui_Event* softkeyEvent,
                              int32_t startTimeout, int32_t defaultTimeout);
    static void displayAdapt(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                             const dvk_ucs2_Char* secondText, const dvk_ucs2_Char* panelBarText,
                             const dvk_ucs2_Char* phrase, const dvk_ucs2_Char* const* softkeyText,
                             const dvk_ui_Event* softkeyEvent, int32_t startTimeout, int32_t defaultTimeout);
    static void displayConfirm(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                               const dvk_ucs2_Char* bodyText, const dvk_ucs2_Char* panelBarText,
                               const dvk_ucs2_Char* const* items, int32_t numItems, int32_t selectedItem,
                               const dvk_ucs2_Char* const* phrases, int32_t numPhrases,
                               const dvk_ucs2_Char* const* softkeyText, const dvk_ui_Event* softkeyEvent,
                               int32_t startTimeout, int32_t defaultTimeout);
    static void displayMenu(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                            const dvk_ucs2_Char* secondText, const dvk_ucs2_Char* const* menuItems,
                            int32_t numMenuItems, int32_t selectedItem,
                            const dvk_ucs2_Char* const* const* subMenuItems, const int32_t* numSubMenuItems,
                            const dvk_ucs2_Char* const* softkeyText, const dvk_ui_Event* softkeyEvent,
                            int32_t defaultTimeout);
    static void displayCheckBox(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                                const dvk_ucs2_Char* secondText, const dvk_ucs2_Char* const* items,
                                const uint8_t* itemFlags, int32_t numItems, int32_t highlightedItem,
                                const dvk_ucs2_Char* const* softkeyText, const dvk_ui_Event* softkeyEvent,
                                int32_t defaultTimeout);
    static void displayRadioButton(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                                   const dvk_ucs2_Char* secondText, const dvk_ucs2_Char* const* items,
                                   int32_t numItems, int32_t selectedItem, const dvk_ucs2_Char* const* softkeyText,
                                   const dvk_ui_Event* softkeyEvent, int32_t defaultTimeout);
    static void displayPopup(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* bodyText, dvk_oem_ui_PopupType popupType,
                             int32_t defaultTimeout);

    // Slots 11-15 ("UI"; the pointer is ignored).
    static void uiStateChangeToInitializing(void* ignored);
    static void uiStateChangeToRecording(void* ignored);
    static void uiStateChangeToPlayback(void* ignored);
    static void uiStateChangeToNeither(void* ignored);
    static void uiStateChangeToCalculating(void* ignored);
    // Slot 16, any thread: launches the phone application calling `number`
    // (UTF-8; the voicemail entry's text calls voice mail), then the
    // service shuts down.
    static void notifyCallCmd(const char* number);
    // Slot 17, any thread.
    static void audioLevelUpdate(int32_t level);

    // The language pack's install progress ("UI").
    static void QrvUI_updateInstallProgress(int64_t bytesInstalled, int64_t bytesTotal);

    // Shared by slots 11-15.
    static void stateChange(EngineState_E state);
    // Fills "events": the soft keys up to the first one without text.
    static void populateEvents(WexObject& array, const dvk_ucs2_Char* const* softkeyText,
                               const dvk_ui_Event* softkeyEvent);
    static void notifyCallCmd_UIthread(void* number);

    // Tests: the last state sent goes back to initializing.
    static void resetStateForTesting();
};

// The table the display entry points use.
extern const dvk_oem_ui_Funcs* dvkOemUiFuncs_p;
