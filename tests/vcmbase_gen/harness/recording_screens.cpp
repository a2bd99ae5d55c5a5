#include "tests/vcmbase_gen/harness/recording_screens.h"

#include "core/utils/dvk_ucs2.h"
#include "core/vcm/ui/dvk_vcm_ui.h"
#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_mem.h"

namespace {

std::string ids(const int32_t* values, int32_t count)
{
    std::string out = "[";
    for (int32_t i = 0; i < count; i++)
        out += (i ? "," : "") + std::to_string(values[i]);
    return out + "]";
}

std::string keys(const int32_t* softkeyIds, const dvk_ui_Event* events)
{
    std::string out = "keys";
    for (int i = 0; i < 3; i++)
        out += " " + std::to_string(softkeyIds[i]) + "/" + std::to_string(events[i]);
    return out;
}

std::string text(const dvk_ucs2_Char* s)
{
    std::string out;
    for (; s != nullptr && *s != 0; s++)
        out += *s < 128 ? static_cast<char>(*s) : '?';
    return out;
}

int record(dvk_vcm_Session* vcms, const std::string& line)
{
    DVK_ASSERT(vcms != DVK_NULL);
    recordedScreens().push_back(line);
    return screensFail() ? 1 : 0;
}

void freeList(dvk_ucs2_Char** items, int32_t count)
{
    if (items == nullptr)
        return;
    for (int32_t i = 0; i < count; i++)
        dvk_ucs2_destroy(&items[i]);
    dvk_mem_dealloc(&items);
}

std::string times(int32_t start, int32_t display)
{
    return "start " + std::to_string(start) + " time " + std::to_string(display);
}

}  // namespace

std::vector<std::string>& recordedScreens()
{
    static std::vector<std::string> screens;
    return screens;
}

bool& screensFail()
{
    static bool fail = false;
    return fail;
}

int dvk_vcm_ui_displayPopup(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t bodyTextId,
                            dvk_oem_ui_PopupType popupType, int32_t defaultTimeout)
{
    return record(vcms, "popup " + std::to_string(screenId) + " body " + std::to_string(bodyTextId) + " type " +
                            std::to_string(popupType) + " time " + std::to_string(defaultTimeout));
}

int dvk_vcm_ui_displayText(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t titleTextId, int32_t bodyTextId,
                           const int32_t* softkeyTextIds, const dvk_ui_Event* softkeyEvents, int32_t defaultTimeout)
{
    return record(vcms, "text " + std::to_string(screenId) + " title " + std::to_string(titleTextId) + " body " +
                            std::to_string(bodyTextId) + " " + keys(softkeyTextIds, softkeyEvents) + " time " +
                            std::to_string(defaultTimeout));
}

int dvk_vcm_ui_displayTextBodyStr(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t titleTextId,
                                  dvk_ucs2_Char* bodyText, const int32_t* softkeyTextIds,
                                  const dvk_ui_Event* softkeyEvents, int32_t defaultTimeout)
{
    const std::string body = text(bodyText);
    dvk_ucs2_destroy(&bodyText);
    return record(vcms, "text " + std::to_string(screenId) + " title " + std::to_string(titleTextId) + " body \"" +
                            body + "\" " + keys(softkeyTextIds, softkeyEvents) + " time " +
                            std::to_string(defaultTimeout));
}

int dvk_vcm_ui_displayCommand(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t titleTextId,
                              int32_t panelBarTextId, const int32_t* commandIds, int32_t numCommands,
                              const int32_t* softkeyTextIds, const dvk_ui_Event* softkeyEvents, int32_t startTimeout,
                              int32_t defaultTimeout)
{
    DVK_ASSERT(numCommands > 0);
    return record(vcms, "command " + std::to_string(screenId) + " title " + std::to_string(titleTextId) + " bar " +
                            std::to_string(panelBarTextId) + " " + ids(commandIds, numCommands) + " " +
                            keys(softkeyTextIds, softkeyEvents) + " " + times(startTimeout, defaultTimeout));
}

int dvk_vcm_ui_displayCommandStr(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t titleTextId,
                                 int32_t panelBarTextId, dvk_ucs2_Char** commands, int32_t numCommands,
                                 const int32_t* softkeyTextIds, const dvk_ui_Event* softkeyEvents,
                                 int32_t startTimeout, int32_t defaultTimeout)
{
    std::string line = "commandstr " + std::to_string(screenId) + " title " + std::to_string(titleTextId) +
                       " bar " + std::to_string(panelBarTextId) + " " + std::to_string(numCommands) + " " +
                       keys(softkeyTextIds, softkeyEvents) + " " + times(startTimeout, defaultTimeout);
    dvk_mem_dealloc(&commands);
    return record(vcms, line);
}

int dvk_vcm_ui_displayListen(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t titleTextId,
                             int32_t bodyTextId, int32_t imageId, int32_t panelBarTextId, const int32_t* phraseIds,
                             int32_t numPhrases, const int32_t* softkeyTextIds, const dvk_ui_Event* softkeyEvents,
                             int32_t startTimeout, int32_t defaultTimeout)
{
    return record(vcms, "listen " + std::to_string(screenId) + " title " + std::to_string(titleTextId) + " body " +
                            std::to_string(bodyTextId) + " image " + std::to_string(imageId) + " bar " +
                            std::to_string(panelBarTextId) + " " +
                            (phraseIds != nullptr ? ids(phraseIds, numPhrases) : "[]") + " " +
                            keys(softkeyTextIds, softkeyEvents) + " " + times(startTimeout, defaultTimeout));
}

int dvk_vcm_ui_displayListenBodyStr(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t titleTextId,
                                    dvk_ucs2_Char* bodyText, int32_t imageId, int32_t panelBarTextId,
                                    const int32_t* phraseIds, int32_t numPhrases, const int32_t* softkeyTextIds,
                                    const dvk_ui_Event* softkeyEvents, int32_t startTimeout, int32_t defaultTimeout)
{
    const std::string body = text(bodyText);
    dvk_ucs2_destroy(&bodyText);
    return record(vcms, "listen " + std::to_string(screenId) + " title " + std::to_string(titleTextId) +
                            " body \"" + body + "\" image " + std::to_string(imageId) + " bar " +
                            std::to_string(panelBarTextId) + " " +
                            (phraseIds != nullptr ? ids(phraseIds, numPhrases) : "[]") + " " +
                            keys(softkeyTextIds, softkeyEvents) + " " + times(startTimeout, defaultTimeout));
}

int dvk_vcm_ui_displayConfirmStr(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t titleTextId,
                                 const dvk_ucs2_Char* bodyText, int32_t panelBarTextId, dvk_ucs2_Char** items,
                                 int32_t numItems, int32_t selectedItem, const int32_t* phraseIds, int32_t numPhrases,
                                 const int32_t* softkeyTextIds, const dvk_ui_Event* softkeyEvents,
                                 int32_t startTimeout, int32_t defaultTimeout)
{
    std::string line = "confirm " + std::to_string(screenId) + " title " + std::to_string(titleTextId) +
                       " body \"" + text(bodyText) + "\" bar " + std::to_string(panelBarTextId) + " items";
    for (int32_t i = 0; items != nullptr && i < numItems; i++)
        line += " \"" + text(items[i]) + "\"";
    line += " selected " + std::to_string(selectedItem) + " " +
            (phraseIds != nullptr ? ids(phraseIds, numPhrases) : "[]") + " " + keys(softkeyTextIds, softkeyEvents) +
            " " + times(startTimeout, defaultTimeout);
    freeList(items, numItems);
    return record(vcms, line);
}

int dvk_vcm_ui_displayAdapt(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t titleTextId,
                            int32_t secondTextId, int32_t panelBarTextId, int32_t phraseId,
                            const int32_t* softkeyTextIds, const dvk_ui_Event* softkeyEvents, int32_t startTimeout,
                            int32_t defaultTimeout)
{
    return record(vcms, "adapt " + std::to_string(screenId) + " title " + std::to_string(titleTextId) + " second " +
                            std::to_string(secondTextId) + " bar " + std::to_string(panelBarTextId) + " phrase " +
                            std::to_string(phraseId) + " " + keys(softkeyTextIds, softkeyEvents) + " " +
                            times(startTimeout, defaultTimeout));
}

int dvk_vcm_ui_displayAdaptStr(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t titleTextId,
                               int32_t secondTextId, int32_t panelBarTextId, dvk_ucs2_Char* phrase,
                               const int32_t* softkeyTextIds, const dvk_ui_Event* softkeyEvents,
                               int32_t startTimeout, int32_t defaultTimeout)
{
    const std::string said = text(phrase);
    dvk_ucs2_destroy(&phrase);
    return record(vcms, "adapt " + std::to_string(screenId) + " title " + std::to_string(titleTextId) + " second " +
                            std::to_string(secondTextId) + " bar " + std::to_string(panelBarTextId) + " phrase \"" +
                            said + "\" " + keys(softkeyTextIds, softkeyEvents) + " " +
                            times(startTimeout, defaultTimeout));
}

int dvk_vcm_ui_displayMenu(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t titleTextId,
                           int32_t secondTextId, const int32_t* menuItemIds, int32_t numMenuItems,
                           int32_t selectedItem, const int32_t* const* subMenuItemIds,
                           const int32_t* numSubMenuItems, const int32_t* softkeyTextIds,
                           const dvk_ui_Event* softkeyEvents, int32_t defaultTimeout)
{
    // Items with sub-lines: " sub <item>:[ids]".
    std::string sub;
    for (int32_t i = 0; numSubMenuItems != nullptr && i < numMenuItems; i++)
        if (numSubMenuItems[i] > 0)
            sub += " sub " + std::to_string(i) + ":" + ids(subMenuItemIds[i], numSubMenuItems[i]);
    return record(vcms, "menu " + std::to_string(screenId) + " title " + std::to_string(titleTextId) + " second " +
                            std::to_string(secondTextId) + " " + ids(menuItemIds, numMenuItems) + " selected " +
                            std::to_string(selectedItem) + sub + " " + keys(softkeyTextIds, softkeyEvents) +
                            " time " + std::to_string(defaultTimeout));
}

int dvk_vcm_ui_displayRadioButton(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t titleTextId,
                                  int32_t secondTextId, const int32_t* itemIds, int32_t numItems, int32_t selectedItem,
                                  const int32_t* softkeyTextIds, const dvk_ui_Event* softkeyEvents,
                                  int32_t defaultTimeout)
{
    return record(vcms, "radio " + std::to_string(screenId) + " title " + std::to_string(titleTextId) + " second " +
                            std::to_string(secondTextId) + " " + ids(itemIds, numItems) + " selected " +
                            std::to_string(selectedItem) + " " + keys(softkeyTextIds, softkeyEvents) + " time " +
                            std::to_string(defaultTimeout));
}

int dvk_vcm_ui_displayCheckBox(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t titleTextId,
                               int32_t secondTextId, const int32_t* itemIds, const uint8_t*, int32_t numItems,
                               int32_t highlightedItem, const int32_t* softkeyTextIds,
                               const dvk_ui_Event* softkeyEvents, int32_t defaultTimeout)
{
    return record(vcms, "checkbox " + std::to_string(screenId) + " title " + std::to_string(titleTextId) +
                            " second " + std::to_string(secondTextId) + " " + ids(itemIds, numItems) +
                            " highlighted " + std::to_string(highlightedItem) + " " +
                            keys(softkeyTextIds, softkeyEvents) + " time " + std::to_string(defaultTimeout));
}

int dvk_vcm_ui_displayCheckBoxItemStr(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t titleTextId,
                                      int32_t secondTextId, dvk_ucs2_Char** items, const uint8_t*, int32_t numItems,
                                      int32_t highlightedItem, const int32_t* softkeyTextIds,
                                      const dvk_ui_Event* softkeyEvents, int32_t defaultTimeout)
{
    freeList(items, numItems);
    return record(vcms, "checkboxstr " + std::to_string(screenId) + " title " + std::to_string(titleTextId) +
                            " second " + std::to_string(secondTextId) + " " + std::to_string(numItems) +
                            " highlighted " + std::to_string(highlightedItem) + " " +
                            keys(softkeyTextIds, softkeyEvents) + " time " + std::to_string(defaultTimeout));
}

int dvk_vcm_ui_displayBitmap(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t titleTextId, int32_t imageId,
                             const int32_t* softkeyTextIds, const dvk_ui_Event* softkeyEvents, int32_t defaultTimeout)
{
    return record(vcms, "bitmap " + std::to_string(screenId) + " title " + std::to_string(titleTextId) + " image " +
                            std::to_string(imageId) + " " + keys(softkeyTextIds, softkeyEvents) + " time " +
                            std::to_string(defaultTimeout));
}
