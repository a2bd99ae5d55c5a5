#include "core/vcm/ui/dvk_vcm_ui.h"

#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_mem.h"
#include "sdk/common/dvk_settings.h"
#include "sdk/common/dvk_ui.h"

#include <algorithm>
#include <climits>

// In every builder, so that a broken rule names the builder.
#define DVK_VCM_UI_ASSERT_SESSION(vcms)                                                                         \
    do {                                                                                                       \
        DVK_ASSERT(vcms != DVK_NULL);                                                                          \
        DVK_ASSERT(dvk_vcm_getUiThreadAddr(vcms) != DVK_NULL);                                                 \
        DVK_ASSERT(dvk_vcm_stringTable(vcms) != DVK_NULL);                                                     \
    } while (0)

namespace {

const int32_t kNoSoftkeys[3] = {DVK_STR_NULL, DVK_STR_NULL, DVK_STR_NULL};
const int kMaxTexts = 5;
const int kMaxLists = 4;

// Everything one builder looks up or loads, freed together at its end. Once
// a lookup fails nothing more is looked up.
struct Lookup {
    dvk_string_Table* strings;
    bool failed;
    dvk_ucs2_Char* texts[kMaxTexts];
    int numTexts;
    dvk_ucs2_Char** lists[kMaxLists];
    int32_t listCounts[kMaxLists];
    int numLists;
    dvk_image_Image* image;
};

Lookup newLookup(dvk_vcm_Session* vcms)
{
    Lookup lookup{};
    lookup.strings = dvk_vcm_stringTable(vcms);
    return lookup;
}

void freeTextList(dvk_ucs2_Char*** list, int32_t count)
{
    if (*list == nullptr)
        return;
    for (int32_t i = 0; i < count; ++i)
        if ((*list)[i] != nullptr)
            dvk_ucs2_destroy(&(*list)[i]);
    dvk_mem_dealloc(list);
}

void releaseLookup(Lookup* lookup)
{
    for (int i = 0; i < lookup->numTexts; ++i)
        dvk_ucs2_destroy(&lookup->texts[i]);
    for (int i = 0; i < lookup->numLists; ++i)
        freeTextList(&lookup->lists[i], lookup->listCounts[i]);
    dvk_image_destroyImage(&lookup->image);
}

// The text of an id; none for DVK_STR_NULL.
dvk_ucs2_Char* lookupText(Lookup* lookup, int32_t id)
{
    if (lookup->failed || id == DVK_STR_NULL)
        return nullptr;
    dvk_ucs2_Char* text = dvk_string_getString(lookup->strings, id);
    if (text == nullptr) {
        lookup->failed = true;
        return nullptr;
    }
    DVK_ASSERT(lookup->numTexts < kMaxTexts);
    lookup->texts[lookup->numTexts++] = text;
    return text;
}

// One text per id (-1 stays empty), in a list the caller frees; null, all
// freed, when a lookup fails.
dvk_ucs2_Char** makeTextList(dvk_string_Table* strings, const int32_t* ids, int32_t count)
{
    DVK_ASSERT((ids != DVK_NULL) || (count == 0));
    if (count <= 0)
        return nullptr;
    auto* list = static_cast<dvk_ucs2_Char**>(dvk_mem_alloc(sizeof(dvk_ucs2_Char*) * static_cast<size_t>(count)));
    if (list == nullptr)
        return nullptr;
    for (int32_t i = 0; i < count; ++i)
        list[i] = nullptr;
    for (int32_t i = 0; i < count; ++i) {
        if (ids[i] == DVK_STR_NULL)
            continue;
        list[i] = dvk_string_getString(strings, ids[i]);
        if (list[i] == nullptr) {
            freeTextList(&list, count);
            return nullptr;
        }
    }
    return list;
}

// A list of count texts, none when count is 0.
dvk_ucs2_Char** lookupList(Lookup* lookup, const int32_t* ids, int32_t count)
{
    if (lookup->failed || count == 0)
        return nullptr;
    dvk_ucs2_Char** list = makeTextList(lookup->strings, ids, count);
    if (list == nullptr) {
        lookup->failed = true;
        return nullptr;
    }
    DVK_ASSERT(lookup->numLists < kMaxLists);
    lookup->lists[lookup->numLists] = list;
    lookup->listCounts[lookup->numLists++] = count;
    return list;
}

// Always three, absent keys empty.
dvk_ucs2_Char** lookupSoftkeys(Lookup* lookup, const int32_t* softkeyTextIds)
{
    return lookupList(lookup, softkeyTextIds != nullptr ? softkeyTextIds : kNoSoftkeys, 3);
}

// A picture's arguments; all empty without one.
struct Picture {
    int32_t width;
    int32_t height;
    const uint8_t* palette;
    const uint8_t* data;
    int32_t dataLength;
};

// Loads the image; an optional one not for the id -1. Sizes come from the
// file: an image without a positive width, height and data length cannot be
// shown.
Picture lookupPicture(Lookup* lookup, dvk_image_Table* images, int32_t imageId, bool optional)
{
    if (lookup->failed || (optional && imageId == -1))
        return Picture{};
    lookup->image = dvk_image_createImage(images, imageId);
    const dvk_image_Image* image = lookup->image;
    if (image == nullptr || dvk_image_getWidth(image) <= 0 || dvk_image_getHeight(image) <= 0 ||
        dvk_image_getData(image) == nullptr || dvk_image_getDataLength(image) <= 0) {
        lookup->failed = true;
        return Picture{};
    }
    // The palette's 64 words travel as the bytes they are in memory.
    return Picture{dvk_image_getWidth(image), dvk_image_getHeight(image),
                   reinterpret_cast<const uint8_t*>(dvk_image_getPalette(image)), dvk_image_getData(image),
                   dvk_image_getDataLength(image)};
}

// Slower prompt modes leave the user more time, up to the largest value.
int32_t lengthenTimeout(int32_t defaultTimeout)
{
    if (defaultTimeout <= 0)
        return defaultTimeout;
    const int32_t mode = dvk_settings_getPromptMode();
    if ((mode != 2 && mode != 3) || dvk_settings_isFeatureEnabled(67))
        return defaultTimeout;
    return static_cast<int32_t>(std::min<int64_t>(3 * static_cast<int64_t>(defaultTimeout), INT32_MAX));
}

// A given item list is shown only whole; otherwise it is freed here.
bool givenListWhole(dvk_ucs2_Char*** items, int32_t numItems)
{
    for (int32_t i = 0; i < numItems; ++i)
        if ((*items)[i] == nullptr) {
            freeTextList(items, numItems);
            return false;
        }
    return true;
}

// Ends a builder: frees what it looked up and gives the result.
int finish(Lookup* lookup, int requestResult)
{
    releaseLookup(lookup);
    return requestResult;
}

} // namespace

int dvk_vcm_ui_displayPopup(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t bodyTextId,
                            dvk_oem_ui_PopupType popupType, int32_t defaultTimeout)
{
    DVK_VCM_UI_ASSERT_SESSION(vcms);
    DVK_ASSERT(bodyTextId != DVK_STR_NULL);
    const int32_t timeout = lengthenTimeout(defaultTimeout);
    Lookup l = newLookup(vcms);
    dvk_ucs2_Char* body = lookupText(&l, bodyTextId);
    if (l.failed)
        return finish(&l, 1);
    return finish(&l, dvk_ui_displayPopup(dvk_vcm_getUiThreadAddr(vcms), screenId, body, popupType, timeout));
}

int dvk_vcm_ui_displayText(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t titleTextId, int32_t bodyTextId,
                           const int32_t* softkeyTextIds, const dvk_ui_Event* softkeyEvents, int32_t defaultTimeout)
{
    DVK_VCM_UI_ASSERT_SESSION(vcms);
    const int32_t timeout = lengthenTimeout(defaultTimeout);
    Lookup l = newLookup(vcms);
    dvk_ucs2_Char* title = lookupText(&l, titleTextId);
    dvk_ucs2_Char* body = lookupText(&l, bodyTextId);
    dvk_ucs2_Char** keys = lookupSoftkeys(&l, softkeyTextIds);
    if (l.failed)
        return finish(&l, 1);
    return finish(&l, dvk_ui_displayText(dvk_vcm_getUiThreadAddr(vcms), screenId, title, body, keys, softkeyEvents,
                                         timeout));
}

int dvk_vcm_ui_displayTextBodyStr(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t titleTextId,
                                  dvk_ucs2_Char* bodyText, const int32_t* softkeyTextIds,
                                  const dvk_ui_Event* softkeyEvents, int32_t defaultTimeout)
{
    DVK_VCM_UI_ASSERT_SESSION(vcms);
    const int32_t timeout = lengthenTimeout(defaultTimeout);
    if (bodyText == nullptr)
        return 1;
    Lookup l = newLookup(vcms);
    dvk_ucs2_Char* title = lookupText(&l, titleTextId);
    dvk_ucs2_Char** keys = lookupSoftkeys(&l, softkeyTextIds);
    int result = 1;
    if (!l.failed)
        result = dvk_ui_displayText(dvk_vcm_getUiThreadAddr(vcms), screenId, title, bodyText, keys, softkeyEvents,
                                    timeout);
    dvk_ucs2_destroy(&bodyText);
    return finish(&l, result);
}

int dvk_vcm_ui_displayCommand(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t titleTextId,
                              int32_t panelBarTextId, const int32_t* commandIds, int32_t numCommands,
                              const int32_t* softkeyTextIds, const dvk_ui_Event* softkeyEvents,
                              int32_t startTimeout, int32_t defaultTimeout)
{
    DVK_VCM_UI_ASSERT_SESSION(vcms);
    DVK_ASSERT(panelBarTextId != DVK_STR_NULL);
    DVK_ASSERT(commandIds != DVK_NULL);
    DVK_ASSERT(numCommands > 0);
    const int32_t timeout = lengthenTimeout(defaultTimeout);
    Lookup l = newLookup(vcms);
    dvk_ucs2_Char* title = lookupText(&l, titleTextId);
    dvk_ucs2_Char* panelBar = lookupText(&l, panelBarTextId);
    dvk_ucs2_Char** commands = lookupList(&l, commandIds, numCommands);
    dvk_ucs2_Char** keys = lookupSoftkeys(&l, softkeyTextIds);
    if (l.failed)
        return finish(&l, 1);
    return finish(&l, dvk_ui_displayCommand(dvk_vcm_getUiThreadAddr(vcms), screenId, title, panelBar, commands,
                                            numCommands, keys, softkeyEvents, startTimeout, timeout));
}

int dvk_vcm_ui_displayCommandStr(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t titleTextId,
                                 int32_t panelBarTextId, dvk_ucs2_Char** commands, int32_t numCommands,
                                 const int32_t* softkeyTextIds, const dvk_ui_Event* softkeyEvents,
                                 int32_t startTimeout, int32_t defaultTimeout)
{
    DVK_VCM_UI_ASSERT_SESSION(vcms);
    DVK_ASSERT(panelBarTextId != DVK_STR_NULL);
    DVK_ASSERT(numCommands > 0);
    const int32_t timeout = lengthenTimeout(defaultTimeout);
    if (commands == nullptr)
        return 1;
    Lookup l = newLookup(vcms);
    dvk_ucs2_Char* title = lookupText(&l, titleTextId);
    dvk_ucs2_Char* panelBar = lookupText(&l, panelBarTextId);
    dvk_ucs2_Char** keys = lookupSoftkeys(&l, softkeyTextIds);
    int result = 1;
    if (!l.failed)
        result = dvk_ui_displayCommand(dvk_vcm_getUiThreadAddr(vcms), screenId, title, panelBar, commands,
                                       numCommands, keys, softkeyEvents, startTimeout, timeout);
    // The array only: its texts are the caller's.
    dvk_mem_dealloc(&commands);
    return finish(&l, result);
}

namespace {

// The two listening builders after their body is settled: `body` is the
// looked-up or given text (or none).
int sendListen(dvk_vcm_Session* vcms, Lookup* l, dvk_ui_ScreenId screenId, dvk_ucs2_Char* title,
               const dvk_ucs2_Char* body, int32_t imageId, int32_t panelBarTextId, const int32_t* phraseIds,
               int32_t numPhrases, const int32_t* softkeyTextIds, const dvk_ui_Event* softkeyEvents,
               int32_t startTimeout, int32_t timeout)
{
    dvk_ucs2_Char* panelBar = lookupText(l, panelBarTextId);
    dvk_ucs2_Char** phrases = lookupList(l, phraseIds, numPhrases);
    dvk_ucs2_Char** keys = lookupSoftkeys(l, softkeyTextIds);
    const Picture picture = lookupPicture(l, dvk_vcm_imageTable(vcms), imageId, true);
    if (l->failed)
        return 1;
    return dvk_ui_displayListen(dvk_vcm_getUiThreadAddr(vcms), screenId, title, body, picture.width, picture.height,
                                picture.palette, picture.data, picture.dataLength, panelBar, phrases, numPhrases,
                                keys, softkeyEvents, startTimeout, timeout);
}

} // namespace

int dvk_vcm_ui_displayListen(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t titleTextId,
                             int32_t bodyTextId, int32_t imageId, int32_t panelBarTextId, const int32_t* phraseIds,
                             int32_t numPhrases, const int32_t* softkeyTextIds, const dvk_ui_Event* softkeyEvents,
                             int32_t startTimeout, int32_t defaultTimeout)
{
    DVK_VCM_UI_ASSERT_SESSION(vcms);
    DVK_ASSERT(dvk_vcm_imageTable(vcms) != DVK_NULL);
    DVK_ASSERT(panelBarTextId != DVK_STR_NULL);
    DVK_ASSERT((phraseIds != DVK_NULL) || (numPhrases == 0));
    DVK_ASSERT(numPhrases >= 0);
    const int32_t timeout = lengthenTimeout(defaultTimeout);
    Lookup l = newLookup(vcms);
    dvk_ucs2_Char* title = lookupText(&l, titleTextId);
    dvk_ucs2_Char* body = lookupText(&l, bodyTextId);
    return finish(&l, sendListen(vcms, &l, screenId, title, body, imageId, panelBarTextId, phraseIds, numPhrases,
                                 softkeyTextIds, softkeyEvents, startTimeout, timeout));
}

int dvk_vcm_ui_displayListenBodyStr(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t titleTextId,
                                    dvk_ucs2_Char* bodyText, int32_t imageId, int32_t panelBarTextId,
                                    const int32_t* phraseIds, int32_t numPhrases, const int32_t* softkeyTextIds,
                                    const dvk_ui_Event* softkeyEvents, int32_t startTimeout,
                                    int32_t defaultTimeout)
{
    DVK_VCM_UI_ASSERT_SESSION(vcms);
    DVK_ASSERT(dvk_vcm_imageTable(vcms) != DVK_NULL);
    DVK_ASSERT(panelBarTextId != DVK_STR_NULL);
    DVK_ASSERT((phraseIds != DVK_NULL) || (numPhrases == 0));
    DVK_ASSERT(numPhrases >= 0);
    const int32_t timeout = lengthenTimeout(defaultTimeout);
    if (bodyText == nullptr)
        return 1;
    Lookup l = newLookup(vcms);
    dvk_ucs2_Char* title = lookupText(&l, titleTextId);
    const int result = sendListen(vcms, &l, screenId, title, bodyText, imageId, panelBarTextId, phraseIds,
                                  numPhrases, softkeyTextIds, softkeyEvents, startTimeout, timeout);
    dvk_ucs2_destroy(&bodyText);
    return finish(&l, result);
}

int dvk_vcm_ui_displayConfirmStr(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t titleTextId,
                                 const dvk_ucs2_Char* bodyText, int32_t panelBarTextId, dvk_ucs2_Char** items,
                                 int32_t numItems, int32_t selectedItem, const int32_t* phraseIds,
                                 int32_t numPhrases, const int32_t* softkeyTextIds,
                                 const dvk_ui_Event* softkeyEvents, int32_t startTimeout, int32_t defaultTimeout)
{
    DVK_VCM_UI_ASSERT_SESSION(vcms);
    DVK_ASSERT(panelBarTextId != DVK_STR_NULL);
    DVK_ASSERT(numItems > 0);
    DVK_ASSERT(selectedItem >= 0);
    DVK_ASSERT((phraseIds != DVK_NULL) || (numPhrases == 0));
    DVK_ASSERT(numPhrases >= 0);
    const int32_t timeout = lengthenTimeout(defaultTimeout);
    // The body is optional: a confirmation may have no name to show.
    if (items == nullptr || !givenListWhole(&items, numItems))
        return 1;
    Lookup l = newLookup(vcms);
    dvk_ucs2_Char* title = lookupText(&l, titleTextId);
    dvk_ucs2_Char* panelBar = lookupText(&l, panelBarTextId);
    dvk_ucs2_Char** phrases = lookupList(&l, phraseIds, numPhrases);
    dvk_ucs2_Char** keys = lookupSoftkeys(&l, softkeyTextIds);
    int result = 1;
    if (!l.failed)
        result = dvk_ui_displayConfirm(dvk_vcm_getUiThreadAddr(vcms), screenId, title, bodyText, panelBar, items,
                                       numItems, selectedItem, phrases, numPhrases, keys, softkeyEvents,
                                       startTimeout, timeout);
    freeTextList(&items, numItems);
    return finish(&l, result);
}

int dvk_vcm_ui_displayAdapt(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t titleTextId,
                            int32_t secondTextId, int32_t panelBarTextId, int32_t phraseId,
                            const int32_t* softkeyTextIds, const dvk_ui_Event* softkeyEvents, int32_t startTimeout,
                            int32_t defaultTimeout)
{
    DVK_VCM_UI_ASSERT_SESSION(vcms);
    DVK_ASSERT(panelBarTextId != DVK_STR_NULL);
    DVK_ASSERT(phraseId != DVK_STR_NULL);
    const int32_t timeout = lengthenTimeout(defaultTimeout);
    Lookup l = newLookup(vcms);
    dvk_ucs2_Char* title = lookupText(&l, titleTextId);
    dvk_ucs2_Char* second = lookupText(&l, secondTextId);
    dvk_ucs2_Char* panelBar = lookupText(&l, panelBarTextId);
    dvk_ucs2_Char* phrase = lookupText(&l, phraseId);
    dvk_ucs2_Char** keys = lookupSoftkeys(&l, softkeyTextIds);
    if (l.failed)
        return finish(&l, 1);
    return finish(&l, dvk_ui_displayAdapt(dvk_vcm_getUiThreadAddr(vcms), screenId, title, second, panelBar, phrase,
                                          keys, softkeyEvents, startTimeout, timeout));
}

int dvk_vcm_ui_displayAdaptStr(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t titleTextId,
                               int32_t secondTextId, int32_t panelBarTextId, dvk_ucs2_Char* phrase,
                               const int32_t* softkeyTextIds, const dvk_ui_Event* softkeyEvents,
                               int32_t startTimeout, int32_t defaultTimeout)
{
    DVK_VCM_UI_ASSERT_SESSION(vcms);
    DVK_ASSERT(panelBarTextId != DVK_STR_NULL);
    const int32_t timeout = lengthenTimeout(defaultTimeout);
    if (phrase == nullptr)
        return 1;
    Lookup l = newLookup(vcms);
    dvk_ucs2_Char* title = lookupText(&l, titleTextId);
    dvk_ucs2_Char* second = lookupText(&l, secondTextId);
    dvk_ucs2_Char* panelBar = lookupText(&l, panelBarTextId);
    dvk_ucs2_Char** keys = lookupSoftkeys(&l, softkeyTextIds);
    int result = 1;
    if (!l.failed)
        result = dvk_ui_displayAdapt(dvk_vcm_getUiThreadAddr(vcms), screenId, title, second, panelBar, phrase, keys,
                                     softkeyEvents, startTimeout, timeout);
    dvk_ucs2_destroy(&phrase);
    return finish(&l, result);
}

int dvk_vcm_ui_displayMenu(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t titleTextId,
                           int32_t secondTextId, const int32_t* menuItemIds, int32_t numMenuItems,
                           int32_t selectedItem, const int32_t* const* subMenuItemIds,
                           const int32_t* numSubMenuItems, const int32_t* softkeyTextIds,
                           const dvk_ui_Event* softkeyEvents, int32_t defaultTimeout)
{
    DVK_VCM_UI_ASSERT_SESSION(vcms);
    DVK_ASSERT(menuItemIds != DVK_NULL);
    DVK_ASSERT(numMenuItems > 0);
    DVK_ASSERT(selectedItem >= 0);
    DVK_ASSERT(subMenuItemIds != DVK_NULL);
    DVK_ASSERT(numSubMenuItems != DVK_NULL);
    const int32_t timeout = lengthenTimeout(defaultTimeout);
    Lookup l = newLookup(vcms);
    dvk_ucs2_Char* title = lookupText(&l, titleTextId);
    dvk_ucs2_Char* second = lookupText(&l, secondTextId);
    dvk_ucs2_Char** menuItems = lookupList(&l, menuItemIds, numMenuItems);
    dvk_ucs2_Char** keys = lookupSoftkeys(&l, softkeyTextIds);
    // One list per item with sub-items; the others get none.
    dvk_ucs2_Char*** subMenus = nullptr;
    if (!l.failed) {
        subMenus = static_cast<dvk_ucs2_Char***>(
            dvk_mem_alloc(sizeof(dvk_ucs2_Char**) * static_cast<size_t>(numMenuItems)));
        l.failed = subMenus == nullptr;
    }
    for (int32_t i = 0; subMenus != nullptr && i < numMenuItems; ++i)
        subMenus[i] = nullptr;
    for (int32_t i = 0; !l.failed && i < numMenuItems; ++i) {
        if (numSubMenuItems[i] <= 0)
            continue;
        subMenus[i] = makeTextList(l.strings, subMenuItemIds[i], numSubMenuItems[i]);
        l.failed = subMenus[i] == nullptr;
    }
    int result = 1;
    if (!l.failed)
        result = dvk_ui_displayMenu(dvk_vcm_getUiThreadAddr(vcms), screenId, title, second, menuItems, numMenuItems,
                                    selectedItem, subMenus, numSubMenuItems, keys, softkeyEvents, timeout);
    if (subMenus != nullptr) {
        for (int32_t i = 0; i < numMenuItems; ++i)
            freeTextList(&subMenus[i], numSubMenuItems[i]);
        dvk_mem_dealloc(&subMenus);
    }
    return finish(&l, result);
}

int dvk_vcm_ui_displayRadioButton(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t titleTextId,
                                  int32_t secondTextId, const int32_t* itemIds, int32_t numItems,
                                  int32_t selectedItem, const int32_t* softkeyTextIds,
                                  const dvk_ui_Event* softkeyEvents, int32_t defaultTimeout)
{
    DVK_VCM_UI_ASSERT_SESSION(vcms);
    DVK_ASSERT(itemIds != DVK_NULL);
    DVK_ASSERT(numItems > 0);
    const int32_t timeout = lengthenTimeout(defaultTimeout);
    Lookup l = newLookup(vcms);
    dvk_ucs2_Char* title = lookupText(&l, titleTextId);
    dvk_ucs2_Char* second = lookupText(&l, secondTextId);
    dvk_ucs2_Char** items = lookupList(&l, itemIds, numItems);
    dvk_ucs2_Char** keys = lookupSoftkeys(&l, softkeyTextIds);
    if (l.failed)
        return finish(&l, 1);
    return finish(&l, dvk_ui_displayRadioButton(dvk_vcm_getUiThreadAddr(vcms), screenId, title, second, items,
                                                numItems, selectedItem, keys, softkeyEvents, timeout));
}

int dvk_vcm_ui_displayCheckBox(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t titleTextId,
                               int32_t secondTextId, const int32_t* itemIds, const uint8_t* itemFlags,
                               int32_t numItems, int32_t highlightedItem, const int32_t* softkeyTextIds,
                               const dvk_ui_Event* softkeyEvents, int32_t defaultTimeout)
{
    DVK_VCM_UI_ASSERT_SESSION(vcms);
    DVK_ASSERT(itemIds != DVK_NULL);
    DVK_ASSERT(numItems > 0);
    const int32_t timeout = lengthenTimeout(defaultTimeout);
    Lookup l = newLookup(vcms);
    dvk_ucs2_Char* title = lookupText(&l, titleTextId);
    dvk_ucs2_Char* second = lookupText(&l, secondTextId);
    dvk_ucs2_Char** items = lookupList(&l, itemIds, numItems);
    dvk_ucs2_Char** keys = lookupSoftkeys(&l, softkeyTextIds);
    if (l.failed)
        return finish(&l, 1);
    return finish(&l, dvk_ui_displayCheckBox(dvk_vcm_getUiThreadAddr(vcms), screenId, title, second, items,
                                             itemFlags, numItems, highlightedItem, keys, softkeyEvents, timeout));
}

int dvk_vcm_ui_displayCheckBoxItemStr(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t titleTextId,
                                      int32_t secondTextId, dvk_ucs2_Char** items, const uint8_t* itemFlags,
                                      int32_t numItems, int32_t highlightedItem, const int32_t* softkeyTextIds,
                                      const dvk_ui_Event* softkeyEvents, int32_t defaultTimeout)
{
    DVK_VCM_UI_ASSERT_SESSION(vcms);
    DVK_ASSERT(numItems > 0);
    const int32_t timeout = lengthenTimeout(defaultTimeout);
    if (items == nullptr || !givenListWhole(&items, numItems))
        return 1;
    Lookup l = newLookup(vcms);
    dvk_ucs2_Char* title = lookupText(&l, titleTextId);
    dvk_ucs2_Char* second = lookupText(&l, secondTextId);
    dvk_ucs2_Char** keys = lookupSoftkeys(&l, softkeyTextIds);
    int result = 1;
    if (!l.failed)
        result = dvk_ui_displayCheckBox(dvk_vcm_getUiThreadAddr(vcms), screenId, title, second, items, itemFlags,
                                        numItems, highlightedItem, keys, softkeyEvents, timeout);
    freeTextList(&items, numItems);
    return finish(&l, result);
}

int dvk_vcm_ui_displayBitmap(dvk_vcm_Session* vcms, dvk_ui_ScreenId screenId, int32_t titleTextId, int32_t imageId,
                             const int32_t* softkeyTextIds, const dvk_ui_Event* softkeyEvents,
                             int32_t defaultTimeout)
{
    DVK_VCM_UI_ASSERT_SESSION(vcms);
    DVK_ASSERT(dvk_vcm_imageTable(vcms) != DVK_NULL);
    const int32_t timeout = lengthenTimeout(defaultTimeout);
    Lookup l = newLookup(vcms);
    dvk_ucs2_Char* title = lookupText(&l, titleTextId);
    dvk_ucs2_Char** keys = lookupSoftkeys(&l, softkeyTextIds);
    const Picture picture = lookupPicture(&l, dvk_vcm_imageTable(vcms), imageId, false);
    if (l.failed)
        return finish(&l, 1);
    return finish(&l, dvk_ui_displayBitmap(dvk_vcm_getUiThreadAddr(vcms), screenId, title, picture.width,
                                           picture.height, picture.palette, picture.data, picture.dataLength, keys,
                                           softkeyEvents, timeout));
}
