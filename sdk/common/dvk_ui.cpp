#include "sdk/common/dvk_ui.h"

#include "core/ce/dvk_ce_requests.h"
#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_mem.h"

#include <cstring>

namespace {

// Makes the copies of one request. A value given non-null that ends up
// without a copy (memory short, or a list given with a count of 0) is a
// gap: the request is then not sent.
struct Copier {
    bool gap = false;

    dvk_ucs2_Char* text(const dvk_ucs2_Char* given)
    {
        if (given == nullptr)
            return nullptr;
        dvk_ucs2_Char* copy = dvk_ucs2_createCopy(given);
        gap |= copy == nullptr;
        return copy;
    }

    dvk_ucs2_Char** list(const dvk_ucs2_Char* const* strList, int32_t length)
    {
        DVK_ASSERT((strList != DVK_NULL) || (length == 0));
        if (strList == nullptr)
            return nullptr;
        if (length <= 0) {
            gap = true;
            return nullptr;
        }
        auto* copy = static_cast<dvk_ucs2_Char**>(dvk_mem_alloc(sizeof(dvk_ucs2_Char*) * static_cast<size_t>(length)));
        if (copy == nullptr) {
            gap = true;
            return nullptr;
        }
        for (int32_t i = 0; i < length; ++i)
            copy[i] = nullptr;
        for (int32_t i = 0; i < length && !gap; ++i)
            copy[i] = text(strList[i]);
        return copy;
    }

    // length in bytes, worked out in 64 bits by the caller.
    void* bytes(const void* given, int64_t length)
    {
        if (given == nullptr)
            return nullptr;
        void* copy = length > 0 ? dvk_mem_alloc(static_cast<size_t>(length)) : nullptr;
        if (copy == nullptr) {
            gap = true;
            return nullptr;
        }
        std::memcpy(copy, given, static_cast<size_t>(length));
        return copy;
    }
};

struct Softkeys {
    dvk_ucs2_Char* text[3];
    dvk_ui_Event event[3];
};

const dvk_ucs2_Char* const kNoKeyTexts[3] = {nullptr, nullptr, nullptr};
const dvk_ui_Event kNoKeyEvents[3] = {DVK_UI_EVENT_NONE, DVK_UI_EVENT_NONE, DVK_UI_EVENT_NONE};

void copySoftkeys(Copier& copier, const dvk_ucs2_Char* const* softkeyText, const dvk_ui_Event* softkeyEvent,
                  Softkeys* out)
{
    // Missing arrays mean no keys.
    if (softkeyText == nullptr)
        softkeyText = kNoKeyTexts;
    if (softkeyEvent == nullptr)
        softkeyEvent = kNoKeyEvents;
    DVK_ASSERT((softkeyText[0] != DVK_NULL) || (softkeyEvent[0] == DVK_UI_EVENT_NONE));
    DVK_ASSERT((softkeyText[1] != DVK_NULL) || (softkeyEvent[1] == DVK_UI_EVENT_NONE));
    DVK_ASSERT((softkeyText[2] != DVK_NULL) || (softkeyEvent[2] == DVK_UI_EVENT_NONE));
    for (int i = 0; i < 3; ++i) {
        out->text[i] = copier.text(softkeyText[i]);
        out->event[i] = softkeyEvent[i];
    }
}

void freeText(dvk_ucs2_Char** text)
{
    if (*text != nullptr)
        dvk_ucs2_destroy(text);
}

void freeList(dvk_ucs2_Char*** list, int32_t length)
{
    if (*list == nullptr)
        return;
    for (int32_t i = 0; i < length; ++i)
        freeText(&(*list)[i]);
    dvk_mem_dealloc(list);
}

void freeSoftkeys(Softkeys* keys)
{
    for (dvk_ucs2_Char*& text : keys->text)
        freeText(&text);
}

// A zeroed record, or NULL when memory is short.
template <typename Record>
Record* newRecord()
{
    auto* record = static_cast<Record*>(dvk_mem_alloc(sizeof(Record)));
    if (record != nullptr)
        *record = Record{};
    return record;
}

// Sends the filled record, or frees it when a copy is missing.
template <typename Record>
int sendRecord(Record* record, const Copier& copier, dvk_msg_Handler handler, dvk_msg_Destructor destructor,
               dvk_msg_Address destination)
{
    if (copier.gap) {
        destructor(record);
        return 1;
    }
    // On failure the message's creation has already run the destructor.
    dvk_msg_Message* message = dvk_msg_create(record, handler, destructor);
    if (message == nullptr)
        return 1;
    dvk_msg_send(message, destination);
    return 0;
}

// ---- the records, their handlers and destructors ---------------------------

struct PopupRecord {
    dvk_ui_ScreenId screenId;
    dvk_ucs2_Char* bodyText;
    dvk_oem_ui_PopupType popupType;
    int32_t defaultTimeout;
};

void popupHandler(void* msgData, dvk_msg_Address)
{
    DVK_ASSERT(msgData != DVK_NULL);
    auto* r = static_cast<PopupRecord*>(msgData);
    dvk_oem_ui_displayPopup(r->screenId, r->bodyText, r->popupType, r->defaultTimeout);
}

void popupDestructor(void* msgData)
{
    DVK_ASSERT(msgData != DVK_NULL);
    auto* r = static_cast<PopupRecord*>(msgData);
    freeText(&r->bodyText);
    dvk_mem_dealloc(&r);
}

struct RadioButtonRecord {
    dvk_ui_ScreenId screenId;
    dvk_ucs2_Char* titleText;
    dvk_ucs2_Char* secondText;
    dvk_ucs2_Char** items;
    int32_t numItems;
    int32_t selectedItem;
    Softkeys softkeys;
    int32_t defaultTimeout;
};

void radioButtonHandler(void* msgData, dvk_msg_Address)
{
    DVK_ASSERT(msgData != DVK_NULL);
    auto* r = static_cast<RadioButtonRecord*>(msgData);
    dvk_oem_ui_displayRadioButton(r->screenId, r->titleText, r->secondText, r->items, r->numItems, r->selectedItem,
                                  r->softkeys.text, r->softkeys.event, r->defaultTimeout);
}

void radioButtonDestructor(void* msgData)
{
    DVK_ASSERT(msgData != DVK_NULL);
    auto* r = static_cast<RadioButtonRecord*>(msgData);
    freeText(&r->titleText);
    freeText(&r->secondText);
    freeList(&r->items, r->numItems);
    freeSoftkeys(&r->softkeys);
    dvk_mem_dealloc(&r);
}

struct CheckBoxRecord {
    dvk_ui_ScreenId screenId;
    dvk_ucs2_Char* titleText;
    dvk_ucs2_Char* secondText;
    dvk_ucs2_Char** items;
    uint8_t* itemFlags;
    int32_t numItems;
    int32_t highlightedItem;
    Softkeys softkeys;
    int32_t defaultTimeout;
};

void checkBoxHandler(void* msgData, dvk_msg_Address)
{
    DVK_ASSERT(msgData != DVK_NULL);
    auto* r = static_cast<CheckBoxRecord*>(msgData);
    dvk_oem_ui_displayCheckBox(r->screenId, r->titleText, r->secondText, r->items, r->itemFlags, r->numItems,
                               r->highlightedItem, r->softkeys.text, r->softkeys.event, r->defaultTimeout);
}

void checkBoxDestructor(void* msgData)
{
    DVK_ASSERT(msgData != DVK_NULL);
    auto* r = static_cast<CheckBoxRecord*>(msgData);
    freeText(&r->titleText);
    freeText(&r->secondText);
    freeList(&r->items, r->numItems);
    dvk_mem_dealloc(&r->itemFlags);
    freeSoftkeys(&r->softkeys);
    dvk_mem_dealloc(&r);
}

struct MenuRecord {
    dvk_ui_ScreenId screenId;
    dvk_ucs2_Char* titleText;
    dvk_ucs2_Char* secondText;
    dvk_ucs2_Char** menuItems;
    int32_t numMenuItems;
    int32_t selectedItem;
    dvk_ucs2_Char*** subMenuItems;
    int32_t* numSubMenuItems;
    Softkeys softkeys;
    int32_t defaultTimeout;
};

void menuHandler(void* msgData, dvk_msg_Address)
{
    DVK_ASSERT(msgData != DVK_NULL);
    auto* r = static_cast<MenuRecord*>(msgData);
    dvk_oem_ui_displayMenu(r->screenId, r->titleText, r->secondText, r->menuItems, r->numMenuItems, r->selectedItem,
                           r->subMenuItems, r->numSubMenuItems, r->softkeys.text, r->softkeys.event,
                           r->defaultTimeout);
}

void menuDestructor(void* msgData)
{
    DVK_ASSERT(msgData != DVK_NULL);
    auto* r = static_cast<MenuRecord*>(msgData);
    freeText(&r->titleText);
    freeText(&r->secondText);
    freeList(&r->menuItems, r->numMenuItems);
    // Sub-lists exist only where their counts were copied.
    if (r->subMenuItems != nullptr) {
        for (int32_t i = 0; i < r->numMenuItems; ++i)
            freeList(&r->subMenuItems[i], r->numSubMenuItems[i]);
        dvk_mem_dealloc(&r->subMenuItems);
    }
    dvk_mem_dealloc(&r->numSubMenuItems);
    freeSoftkeys(&r->softkeys);
    dvk_mem_dealloc(&r);
}

struct ConfirmRecord {
    dvk_ui_ScreenId screenId;
    dvk_ucs2_Char* titleText;
    dvk_ucs2_Char* bodyText;
    dvk_ucs2_Char* panelBarText;
    dvk_ucs2_Char** items;
    int32_t numItems;
    int32_t selectedItem;
    dvk_ucs2_Char** phrases;
    int32_t numPhrases;
    Softkeys softkeys;
    int32_t startTimeout;
    int32_t defaultTimeout;
};

void confirmHandler(void* msgData, dvk_msg_Address)
{
    DVK_ASSERT(msgData != DVK_NULL);
    auto* r = static_cast<ConfirmRecord*>(msgData);
    dvk_oem_ui_displayConfirm(r->screenId, r->titleText, r->bodyText, r->panelBarText, r->items, r->numItems,
                              r->selectedItem, r->phrases, r->numPhrases, r->softkeys.text, r->softkeys.event,
                              r->startTimeout, r->defaultTimeout);
}

void confirmDestructor(void* msgData)
{
    DVK_ASSERT(msgData != DVK_NULL);
    auto* r = static_cast<ConfirmRecord*>(msgData);
    freeText(&r->titleText);
    freeText(&r->bodyText);
    freeText(&r->panelBarText);
    freeList(&r->items, r->numItems);
    freeList(&r->phrases, r->numPhrases);
    freeSoftkeys(&r->softkeys);
    dvk_mem_dealloc(&r);
}

struct AdaptRecord {
    dvk_ui_ScreenId screenId;
    dvk_ucs2_Char* titleText;
    dvk_ucs2_Char* secondText;
    dvk_ucs2_Char* panelBarText;
    dvk_ucs2_Char* phrase;
    Softkeys softkeys;
    int32_t startTimeout;
    int32_t defaultTimeout;
};

void adaptHandler(void* msgData, dvk_msg_Address)
{
    DVK_ASSERT(msgData != DVK_NULL);
    auto* r = static_cast<AdaptRecord*>(msgData);
    dvk_oem_ui_displayAdapt(r->screenId, r->titleText, r->secondText, r->panelBarText, r->phrase, r->softkeys.text,
                            r->softkeys.event, r->startTimeout, r->defaultTimeout);
}

void adaptDestructor(void* msgData)
{
    DVK_ASSERT(msgData != DVK_NULL);
    auto* r = static_cast<AdaptRecord*>(msgData);
    freeText(&r->titleText);
    freeText(&r->secondText);
    freeText(&r->panelBarText);
    freeText(&r->phrase);
    freeSoftkeys(&r->softkeys);
    dvk_mem_dealloc(&r);
}

struct ListenRecord {
    dvk_ui_ScreenId screenId;
    dvk_ucs2_Char* titleText;
    dvk_ucs2_Char* bodyText;
    int32_t width;
    int32_t height;
    uint8_t* palette;
    uint8_t* bitmapData;
    int32_t bitmapDataLen;
    dvk_ucs2_Char* panelBarText;
    dvk_ucs2_Char** phrases;
    int32_t numPhrases;
    Softkeys softkeys;
    int32_t startTimeout;
    int32_t defaultTimeout;
};

void listenHandler(void* msgData, dvk_msg_Address)
{
    DVK_ASSERT(msgData != DVK_NULL);
    auto* r = static_cast<ListenRecord*>(msgData);
    dvk_oem_ui_displayListen(r->screenId, r->titleText, r->bodyText, r->width, r->height, r->palette, r->bitmapData,
                             r->bitmapDataLen, r->panelBarText, r->phrases, r->numPhrases, r->softkeys.text,
                             r->softkeys.event, r->startTimeout, r->defaultTimeout);
}

void listenDestructor(void* msgData)
{
    DVK_ASSERT(msgData != DVK_NULL);
    auto* r = static_cast<ListenRecord*>(msgData);
    freeText(&r->titleText);
    freeText(&r->bodyText);
    dvk_mem_dealloc(&r->palette);
    dvk_mem_dealloc(&r->bitmapData);
    freeText(&r->panelBarText);
    freeList(&r->phrases, r->numPhrases);
    freeSoftkeys(&r->softkeys);
    dvk_mem_dealloc(&r);
}

struct CommandRecord {
    dvk_ui_ScreenId screenId;
    dvk_ucs2_Char* titleText;
    dvk_ucs2_Char* panelBarText;
    dvk_ucs2_Char** commands;
    int32_t numCommands;
    Softkeys softkeys;
    int32_t startTimeout;
    int32_t defaultTimeout;
};

void commandHandler(void* msgData, dvk_msg_Address)
{
    DVK_ASSERT(msgData != DVK_NULL);
    auto* r = static_cast<CommandRecord*>(msgData);
    dvk_oem_ui_displayCommand(r->screenId, r->titleText, r->panelBarText, r->commands, r->numCommands,
                              r->softkeys.text, r->softkeys.event, r->startTimeout, r->defaultTimeout);
}

void commandDestructor(void* msgData)
{
    DVK_ASSERT(msgData != DVK_NULL);
    auto* r = static_cast<CommandRecord*>(msgData);
    freeText(&r->titleText);
    freeText(&r->panelBarText);
    freeList(&r->commands, r->numCommands);
    freeSoftkeys(&r->softkeys);
    dvk_mem_dealloc(&r);
}

struct TextRecord {
    dvk_ui_ScreenId screenId;
    dvk_ucs2_Char* titleText;
    dvk_ucs2_Char* bodyText;
    Softkeys softkeys;
    int32_t defaultTimeout;
};

void textHandler(void* msgData, dvk_msg_Address)
{
    DVK_ASSERT(msgData != DVK_NULL);
    auto* r = static_cast<TextRecord*>(msgData);
    dvk_oem_ui_displayText(r->screenId, r->titleText, r->bodyText, r->softkeys.text, r->softkeys.event,
                           r->defaultTimeout);
}

void textDestructor(void* msgData)
{
    DVK_ASSERT(msgData != DVK_NULL);
    auto* r = static_cast<TextRecord*>(msgData);
    freeText(&r->titleText);
    freeText(&r->bodyText);
    freeSoftkeys(&r->softkeys);
    dvk_mem_dealloc(&r);
}

struct RgbBitmapRecord {
    dvk_ui_ScreenId screenId;
    dvk_ucs2_Char* titleText;
    int32_t width;
    int32_t height;
    uint16_t* bitmapData;
    dvk_oem_ui_display_Rect* updateRectangles;
    int32_t numUpdateRectangles;
    Softkeys softkeys;
    int32_t defaultTimeout;
};

void rgbBitmapHandler(void* msgData, dvk_msg_Address)
{
    DVK_ASSERT(msgData != DVK_NULL);
    auto* r = static_cast<RgbBitmapRecord*>(msgData);
    dvk_oem_ui_displayRgbBitmap(r->screenId, r->titleText, r->width, r->height, r->bitmapData, r->updateRectangles,
                                r->numUpdateRectangles, r->softkeys.text, r->softkeys.event, r->defaultTimeout);
}

void rgbBitmapDestructor(void* msgData)
{
    DVK_ASSERT(msgData != DVK_NULL);
    auto* r = static_cast<RgbBitmapRecord*>(msgData);
    freeText(&r->titleText);
    dvk_mem_dealloc(&r->bitmapData);
    dvk_mem_dealloc(&r->updateRectangles);
    freeSoftkeys(&r->softkeys);
    dvk_mem_dealloc(&r);
}

struct BitmapRecord {
    dvk_ui_ScreenId screenId;
    dvk_ucs2_Char* titleText;
    int32_t width;
    int32_t height;
    uint8_t* palette;
    uint8_t* bitmapData;
    int32_t bitmapDataLen;
    Softkeys softkeys;
    int32_t defaultTimeout;
};

void bitmapHandler(void* msgData, dvk_msg_Address)
{
    DVK_ASSERT(msgData != DVK_NULL);
    auto* r = static_cast<BitmapRecord*>(msgData);
    dvk_oem_ui_displayBitmap(r->screenId, r->titleText, r->width, r->height, r->palette, r->bitmapData,
                             r->bitmapDataLen, r->softkeys.text, r->softkeys.event, r->defaultTimeout);
}

void bitmapDestructor(void* msgData)
{
    DVK_ASSERT(msgData != DVK_NULL);
    auto* r = static_cast<BitmapRecord*>(msgData);
    freeText(&r->titleText);
    dvk_mem_dealloc(&r->palette);
    dvk_mem_dealloc(&r->bitmapData);
    freeSoftkeys(&r->softkeys);
    dvk_mem_dealloc(&r);
}

// ---- the figures ------------------------------------------------------------

int32_t s_audioInputTimeCurrent = -1;
int32_t s_audioInputTimeMaximum = -1;
int32_t s_progressBarCurrent = -1;
int32_t s_progressBarMaximum = -1;

} // namespace

int dvk_ui_displayPopup(dvk_msg_Address destination, dvk_ui_ScreenId screenId, const dvk_ucs2_Char* bodyText,
                        dvk_oem_ui_PopupType popupType, int32_t defaultTimeout)
{
    DVK_ASSERT(bodyText != DVK_NULL);
    DVK_ASSERT(defaultTimeout >= -1);
    auto* r = newRecord<PopupRecord>();
    if (r == nullptr)
        return 1;
    Copier copier;
    r->screenId = screenId;
    r->bodyText = copier.text(bodyText);
    r->popupType = popupType;
    r->defaultTimeout = defaultTimeout;
    return sendRecord(r, copier, popupHandler, popupDestructor, destination);
}

int dvk_ui_displayRadioButton(dvk_msg_Address destination, dvk_ui_ScreenId screenId,
                              const dvk_ucs2_Char* titleText, const dvk_ucs2_Char* secondText,
                              const dvk_ucs2_Char* const* items, int32_t numItems, int32_t selectedItem,
                              const dvk_ucs2_Char* const* softkeyText, const dvk_ui_Event* softkeyEvent,
                              int32_t defaultTimeout)
{
    DVK_ASSERT(items != DVK_NULL);
    DVK_ASSERT(numItems >= 0);
    DVK_ASSERT((selectedItem >= 0) && (selectedItem < numItems));
    DVK_ASSERT(defaultTimeout >= -1);
    auto* r = newRecord<RadioButtonRecord>();
    if (r == nullptr)
        return 1;
    Copier copier;
    r->screenId = screenId;
    r->titleText = copier.text(titleText);
    r->secondText = copier.text(secondText);
    r->items = copier.list(items, numItems);
    r->numItems = numItems;
    r->selectedItem = selectedItem;
    copySoftkeys(copier, softkeyText, softkeyEvent, &r->softkeys);
    r->defaultTimeout = defaultTimeout;
    return sendRecord(r, copier, radioButtonHandler, radioButtonDestructor, destination);
}

int dvk_ui_displayCheckBox(dvk_msg_Address destination, dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                           const dvk_ucs2_Char* secondText, const dvk_ucs2_Char* const* items,
                           const uint8_t* itemFlags, int32_t numItems, int32_t highlightedItem,
                           const dvk_ucs2_Char* const* softkeyText, const dvk_ui_Event* softkeyEvent,
                           int32_t defaultTimeout)
{
    DVK_ASSERT(items != DVK_NULL);
    DVK_ASSERT(itemFlags != DVK_NULL);
    DVK_ASSERT(numItems >= 0);
    DVK_ASSERT((highlightedItem >= 0) && (highlightedItem < numItems));
    DVK_ASSERT(defaultTimeout >= -1);
    auto* r = newRecord<CheckBoxRecord>();
    if (r == nullptr)
        return 1;
    Copier copier;
    r->screenId = screenId;
    r->titleText = copier.text(titleText);
    r->secondText = copier.text(secondText);
    r->items = copier.list(items, numItems);
    r->itemFlags = static_cast<uint8_t*>(copier.bytes(itemFlags, numItems));
    r->numItems = numItems;
    r->highlightedItem = highlightedItem;
    copySoftkeys(copier, softkeyText, softkeyEvent, &r->softkeys);
    r->defaultTimeout = defaultTimeout;
    return sendRecord(r, copier, checkBoxHandler, checkBoxDestructor, destination);
}

int dvk_ui_displayMenu(dvk_msg_Address destination, dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                       const dvk_ucs2_Char* secondText, const dvk_ucs2_Char* const* menuItems, int32_t numMenuItems,
                       int32_t selectedItem, const dvk_ucs2_Char* const* const* subMenuItems,
                       const int32_t* numSubMenuItems, const dvk_ucs2_Char* const* softkeyText,
                       const dvk_ui_Event* softkeyEvent, int32_t defaultTimeout)
{
    DVK_ASSERT(menuItems != DVK_NULL);
    DVK_ASSERT(numMenuItems > 0);
    DVK_ASSERT((selectedItem >= 0) && (selectedItem < numMenuItems));
    DVK_ASSERT(subMenuItems != DVK_NULL);
    DVK_ASSERT(numSubMenuItems != DVK_NULL);
    DVK_ASSERT(defaultTimeout >= -1);
    auto* r = newRecord<MenuRecord>();
    if (r == nullptr)
        return 1;
    Copier copier;
    r->screenId = screenId;
    r->titleText = copier.text(titleText);
    r->secondText = copier.text(secondText);
    r->menuItems = copier.list(menuItems, numMenuItems);
    r->numMenuItems = numMenuItems;
    r->selectedItem = selectedItem;
    // The counts first: the destructor frees the sub-lists by them.
    r->numSubMenuItems = static_cast<int32_t*>(
        copier.bytes(numSubMenuItems, static_cast<int64_t>(numMenuItems) * static_cast<int64_t>(sizeof(int32_t))));
    if (r->numSubMenuItems != nullptr) {
        r->subMenuItems = static_cast<dvk_ucs2_Char***>(
            dvk_mem_alloc(sizeof(dvk_ucs2_Char**) * static_cast<size_t>(numMenuItems)));
        copier.gap |= r->subMenuItems == nullptr;
    }
    if (r->subMenuItems != nullptr) {
        for (int32_t i = 0; i < numMenuItems; ++i)
            r->subMenuItems[i] = nullptr;
        for (int32_t i = 0; i < numMenuItems && !copier.gap; ++i)
            r->subMenuItems[i] = copier.list(subMenuItems[i], numSubMenuItems[i]);
    }
    copySoftkeys(copier, softkeyText, softkeyEvent, &r->softkeys);
    r->defaultTimeout = defaultTimeout;
    return sendRecord(r, copier, menuHandler, menuDestructor, destination);
}

int dvk_ui_displayConfirm(dvk_msg_Address destination, dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                          const dvk_ucs2_Char* bodyText, const dvk_ucs2_Char* panelBarText,
                          const dvk_ucs2_Char* const* items, int32_t numItems, int32_t selectedItem,
                          const dvk_ucs2_Char* const* phrases, int32_t numPhrases,
                          const dvk_ucs2_Char* const* softkeyText, const dvk_ui_Event* softkeyEvent,
                          int32_t startTimeout, int32_t defaultTimeout)
{
    DVK_ASSERT(panelBarText != DVK_NULL);
    DVK_ASSERT(items != DVK_NULL);
    DVK_ASSERT(numItems > 0);
    DVK_ASSERT((selectedItem >= 0) && (selectedItem < numItems));
    DVK_ASSERT(numPhrases >= 0);
    DVK_ASSERT(defaultTimeout >= -1);
    auto* r = newRecord<ConfirmRecord>();
    if (r == nullptr)
        return 1;
    Copier copier;
    r->screenId = screenId;
    r->titleText = copier.text(titleText);
    r->bodyText = copier.text(bodyText);
    r->panelBarText = copier.text(panelBarText);
    r->items = copier.list(items, numItems);
    r->numItems = numItems;
    r->selectedItem = selectedItem;
    r->phrases = copier.list(phrases, numPhrases);
    r->numPhrases = numPhrases;
    copySoftkeys(copier, softkeyText, softkeyEvent, &r->softkeys);
    r->startTimeout = startTimeout;
    r->defaultTimeout = defaultTimeout;
    return sendRecord(r, copier, confirmHandler, confirmDestructor, destination);
}

int dvk_ui_displayAdapt(dvk_msg_Address destination, dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                        const dvk_ucs2_Char* secondText, const dvk_ucs2_Char* panelBarText,
                        const dvk_ucs2_Char* phrase, const dvk_ucs2_Char* const* softkeyText,
                        const dvk_ui_Event* softkeyEvent, int32_t startTimeout, int32_t defaultTimeout)
{
    DVK_ASSERT(panelBarText != DVK_NULL);
    DVK_ASSERT(phrase != DVK_NULL);
    DVK_ASSERT(defaultTimeout >= -1);
    auto* r = newRecord<AdaptRecord>();
    if (r == nullptr)
        return 1;
    Copier copier;
    r->screenId = screenId;
    r->titleText = copier.text(titleText);
    r->secondText = copier.text(secondText);
    r->panelBarText = copier.text(panelBarText);
    r->phrase = copier.text(phrase);
    copySoftkeys(copier, softkeyText, softkeyEvent, &r->softkeys);
    r->startTimeout = startTimeout;
    r->defaultTimeout = defaultTimeout;
    return sendRecord(r, copier, adaptHandler, adaptDestructor, destination);
}

int dvk_ui_displayListen(dvk_msg_Address destination, dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                         const dvk_ucs2_Char* bodyText, int32_t width, int32_t height, const uint8_t* palette,
                         const uint8_t* bitmapData, int32_t bitmapDataLen, const dvk_ucs2_Char* panelBarText,
                         const dvk_ucs2_Char* const* phrases, int32_t numPhrases,
                         const dvk_ucs2_Char* const* softkeyText, const dvk_ui_Event* softkeyEvent,
                         int32_t startTimeout, int32_t defaultTimeout)
{
    DVK_ASSERT(bitmapData == DVK_NULL ? (width == 0 && height == 0 && palette == DVK_NULL && bitmapDataLen == 0) : (width > 0 && height > 0 && palette != DVK_NULL && bitmapDataLen > 0));
    DVK_ASSERT(panelBarText != DVK_NULL);
    DVK_ASSERT(numPhrases >= 0);
    DVK_ASSERT(defaultTimeout >= -1);
    auto* r = newRecord<ListenRecord>();
    if (r == nullptr)
        return 1;
    Copier copier;
    r->screenId = screenId;
    r->titleText = copier.text(titleText);
    r->bodyText = copier.text(bodyText);
    r->width = width;
    r->height = height;
    r->palette = static_cast<uint8_t*>(copier.bytes(palette, DVK_UI_PALETTE_BYTES));
    r->bitmapData = static_cast<uint8_t*>(copier.bytes(bitmapData, bitmapDataLen));
    r->bitmapDataLen = bitmapDataLen;
    r->panelBarText = copier.text(panelBarText);
    r->phrases = copier.list(phrases, numPhrases);
    r->numPhrases = numPhrases;
    copySoftkeys(copier, softkeyText, softkeyEvent, &r->softkeys);
    r->startTimeout = startTimeout;
    r->defaultTimeout = defaultTimeout;
    return sendRecord(r, copier, listenHandler, listenDestructor, destination);
}

int dvk_ui_displayCommand(dvk_msg_Address destination, dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                          const dvk_ucs2_Char* panelBarText, const dvk_ucs2_Char* const* commands,
                          int32_t numCommands, const dvk_ucs2_Char* const* softkeyText,
                          const dvk_ui_Event* softkeyEvent, int32_t startTimeout, int32_t defaultTimeout)
{
    DVK_ASSERT(panelBarText != DVK_NULL);
    DVK_ASSERT(commands != DVK_NULL);
    DVK_ASSERT(numCommands > 0);
    DVK_ASSERT(defaultTimeout >= -1);
    auto* r = newRecord<CommandRecord>();
    if (r == nullptr)
        return 1;
    Copier copier;
    r->screenId = screenId;
    r->titleText = copier.text(titleText);
    r->panelBarText = copier.text(panelBarText);
    r->commands = copier.list(commands, numCommands);
    r->numCommands = numCommands;
    copySoftkeys(copier, softkeyText, softkeyEvent, &r->softkeys);
    r->startTimeout = startTimeout;
    r->defaultTimeout = defaultTimeout;
    return sendRecord(r, copier, commandHandler, commandDestructor, destination);
}

int dvk_ui_displayText(dvk_msg_Address destination, dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                       const dvk_ucs2_Char* bodyText, const dvk_ucs2_Char* const* softkeyText,
                       const dvk_ui_Event* softkeyEvent, int32_t defaultTimeout)
{
    DVK_ASSERT(defaultTimeout >= -1);
    auto* r = newRecord<TextRecord>();
    if (r == nullptr)
        return 1;
    Copier copier;
    r->screenId = screenId;
    r->titleText = copier.text(titleText);
    r->bodyText = copier.text(bodyText);
    copySoftkeys(copier, softkeyText, softkeyEvent, &r->softkeys);
    r->defaultTimeout = defaultTimeout;
    return sendRecord(r, copier, textHandler, textDestructor, destination);
}

int dvk_ui_displayRgbBitmap(dvk_msg_Address destination, dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                            int32_t width, int32_t height, const uint16_t* bitmapData,
                            const dvk_oem_ui_display_Rect* updateRectangles, int32_t numUpdateRectangles,
                            const dvk_ucs2_Char* const* softkeyText, const dvk_ui_Event* softkeyEvent,
                            int32_t defaultTimeout)
{
    DVK_ASSERT(width > 0);
    DVK_ASSERT(height > 0);
    DVK_ASSERT(bitmapData != DVK_NULL);
    DVK_ASSERT(numUpdateRectangles >= 0);
    DVK_ASSERT(updateRectangles != DVK_NULL || numUpdateRectangles == 0);
    DVK_ASSERT(defaultTimeout >= -1);
    auto* r = newRecord<RgbBitmapRecord>();
    if (r == nullptr)
        return 1;
    Copier copier;
    r->screenId = screenId;
    r->titleText = copier.text(titleText);
    r->width = width;
    r->height = height;
    // Two bytes a pixel, in 64 bits: a large picture must not wrap round to
    // a small block.
    r->bitmapData = static_cast<uint16_t*>(
        copier.bytes(bitmapData, static_cast<int64_t>(width) * height * static_cast<int64_t>(sizeof(uint16_t))));
    r->updateRectangles = static_cast<dvk_oem_ui_display_Rect*>(copier.bytes(
        updateRectangles,
        static_cast<int64_t>(numUpdateRectangles) * static_cast<int64_t>(sizeof(dvk_oem_ui_display_Rect))));
    r->numUpdateRectangles = numUpdateRectangles;
    copySoftkeys(copier, softkeyText, softkeyEvent, &r->softkeys);
    r->defaultTimeout = defaultTimeout;
    return sendRecord(r, copier, rgbBitmapHandler, rgbBitmapDestructor, destination);
}

int dvk_ui_displayBitmap(dvk_msg_Address destination, dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                         int32_t width, int32_t height, const uint8_t* palette, const uint8_t* bitmapData,
                         int32_t bitmapDataLen, const dvk_ucs2_Char* const* softkeyText,
                         const dvk_ui_Event* softkeyEvent, int32_t defaultTimeout)
{
    DVK_ASSERT(width > 0);
    DVK_ASSERT(height > 0);
    DVK_ASSERT(palette != DVK_NULL);
    DVK_ASSERT(bitmapData != DVK_NULL);
    DVK_ASSERT(bitmapDataLen > 0);
    DVK_ASSERT(defaultTimeout >= -1);
    auto* r = newRecord<BitmapRecord>();
    if (r == nullptr)
        return 1;
    Copier copier;
    r->screenId = screenId;
    r->titleText = copier.text(titleText);
    r->width = width;
    r->height = height;
    r->palette = static_cast<uint8_t*>(copier.bytes(palette, DVK_UI_PALETTE_BYTES));
    r->bitmapData = static_cast<uint8_t*>(copier.bytes(bitmapData, bitmapDataLen));
    r->bitmapDataLen = bitmapDataLen;
    copySoftkeys(copier, softkeyText, softkeyEvent, &r->softkeys);
    r->defaultTimeout = defaultTimeout;
    return sendRecord(r, copier, bitmapHandler, bitmapDestructor, destination);
}

int dvk_ui_sendEvent(dvk_ui_Event event, int32_t index)
{
    DVK_ASSERT((index >= 0) || (event != DVK_UI_EVENT_SELECT));
    DVK_ASSERT((index >= 0) || (event != DVK_UI_EVENT_SET_FOCUS));
    dvk_msg_Message* message = dvk_ce_newHandleEventMsg(event, index);
    if (message == nullptr)
        return 1;
    dvk_msg_send(message, dvk_msg_getDvkAddr());
    return 0;
}

void dvk_ui_setAudioInputInfo(int32_t current, int32_t maximum)
{
    DVK_ASSERT(current >= -1);
    DVK_ASSERT(maximum >= -1);
    s_audioInputTimeCurrent = current;
    s_audioInputTimeMaximum = maximum;
}

void dvk_ui_getAudioInputInfo(int32_t* current, int32_t* maximum)
{
    DVK_ASSERT(current != DVK_NULL);
    DVK_ASSERT(maximum != DVK_NULL);
    *current = s_audioInputTimeCurrent;
    *maximum = s_audioInputTimeMaximum;
}

void dvk_ui_setProgressBarInfo(int32_t current, int32_t maximum)
{
    DVK_ASSERT(current >= -1);
    DVK_ASSERT(maximum >= -1);
    s_progressBarCurrent = current;
    s_progressBarMaximum = maximum;
}

void dvk_ui_getProgressBarInfo(int32_t* current, int32_t* maximum)
{
    DVK_ASSERT(current != DVK_NULL);
    DVK_ASSERT(maximum != DVK_NULL);
    *current = s_progressBarCurrent;
    *maximum = s_progressBarMaximum;
}
