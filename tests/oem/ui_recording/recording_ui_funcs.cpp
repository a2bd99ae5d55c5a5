#include "tests/oem/ui_recording/recording_ui_funcs.h"

#include "oem/dvk_oem_ui.h"
#include "src/QrvWorkQueues.h"

#include <glib.h>

#include <mutex>

namespace {

std::mutex s_lock;
std::vector<RecordedUiCall> s_calls;

// One call being written down; it joins the record when it goes.
class Call {
public:
    explicit Call(const char* slot)
    {
        m_call.slot = slot;
        m_call.onUi = appWorkQueue.load() != nullptr && workqueue_self() == appWorkQueue.load();
    }
    ~Call()
    {
        std::lock_guard<std::mutex> lock(s_lock);
        s_calls.push_back(std::move(m_call));
    }
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;

    Call& number(const char* name, int64_t value) { return put(name, std::to_string(value)); }
    Call& text(const char* name, const dvk_ucs2_Char* value) { return put(name, RecordingUiFuncs::text(value)); }
    Call& utf8(const char* name, const char* value)
    {
        return put(name, value == nullptr ? "null" : std::string("\"") + value + "\"");
    }
    Call& list(const char* name, const dvk_ucs2_Char* const* items, int32_t count)
    {
        return put(name, listText(items, count));
    }
    Call& numbers(const char* name, const int32_t* values, int32_t count)
    {
        if (values == nullptr)
            return put(name, "null");
        std::string out = "[";
        for (int32_t i = 0; i < count; ++i)
            out += (i > 0 ? ", " : "") + std::to_string(values[i]);
        return put(name, out + "]");
    }
    Call& bytes(const char* name, const void* data, int64_t length)
    {
        return put(name, data == nullptr ? "null" : RecordingUiFuncs::hex(data, length > 0 ? size_t(length) : 0));
    }
    Call& subLists(const char* name, const dvk_ucs2_Char* const* const* lists, const int32_t* counts, int32_t count)
    {
        if (lists == nullptr || counts == nullptr)
            return put(name, "null");
        std::string out = "[";
        for (int32_t i = 0; i < count; ++i)
            out += (i > 0 ? ", " : "") + listText(lists[i], counts[i]);
        return put(name, out + "]");
    }
    Call& softkeys(const dvk_ucs2_Char* const* texts, const dvk_ui_Event* events)
    {
        list("softkeyText", texts, 3);
        return numbers("softkeyEvent", events, 3);
    }

private:
    Call& put(const char* name, std::string value)
    {
        m_call.args.emplace_back(name, std::move(value));
        return *this;
    }
    static std::string listText(const dvk_ucs2_Char* const* items, int32_t count)
    {
        if (items == nullptr)
            return "null";
        std::string out = "[";
        for (int32_t i = 0; i < count; ++i)
            out += (i > 0 ? ", " : "") + RecordingUiFuncs::text(items[i]);
        return out + "]";
    }

    RecordedUiCall m_call;
};

using Text = const dvk_ucs2_Char*;
using Texts = const dvk_ucs2_Char* const*;

void displayBitmap(dvk_ui_ScreenId screenId, Text titleText, int32_t width, int32_t height, const uint8_t* palette,
                   const uint8_t* bitmapData, int32_t bitmapDataLen, Texts softkeyText,
                   const dvk_ui_Event* softkeyEvent, int32_t defaultTimeout)
{
    Call("displayBitmap")
        .number("screenId", screenId)
        .text("titleText", titleText)
        .number("width", width)
        .number("height", height)
        .bytes("palette", palette, 256)
        .bytes("bitmapData", bitmapData, bitmapDataLen)
        .number("bitmapDataLen", bitmapDataLen)
        .softkeys(softkeyText, softkeyEvent)
        .number("defaultTimeout", defaultTimeout);
}

void displayRgbBitmap(dvk_ui_ScreenId screenId, Text titleText, int32_t width, int32_t height,
                      const uint16_t* bitmapData, const dvk_oem_ui_display_Rect* updateRectangles,
                      int32_t numUpdateRectangles, Texts softkeyText, const dvk_ui_Event* softkeyEvent,
                      int32_t defaultTimeout)
{
    Call("displayRgbBitmap")
        .number("screenId", screenId)
        .text("titleText", titleText)
        .number("width", width)
        .number("height", height)
        .bytes("bitmapData", bitmapData, int64_t(width) * height * 2)
        .bytes("updateRectangles", updateRectangles, int64_t(numUpdateRectangles) * 16)
        .number("numUpdateRectangles", numUpdateRectangles)
        .softkeys(softkeyText, softkeyEvent)
        .number("defaultTimeout", defaultTimeout);
}

void displayText(dvk_ui_ScreenId screenId, Text titleText, Text bodyText, Texts softkeyText,
                 const dvk_ui_Event* softkeyEvent, int32_t defaultTimeout)
{
    Call("displayText")
        .number("screenId", screenId)
        .text("titleText", titleText)
        .text("bodyText", bodyText)
        .softkeys(softkeyText, softkeyEvent)
        .number("defaultTimeout", defaultTimeout);
}

void displayCommand(dvk_ui_ScreenId screenId, Text titleText, Text panelBarText, Texts commands, int32_t numCommands,
                    Texts softkeyText, const dvk_ui_Event* softkeyEvent, int32_t startTimeout,
                    int32_t defaultTimeout)
{
    Call("displayCommand")
        .number("screenId", screenId)
        .text("titleText", titleText)
        .text("panelBarText", panelBarText)
        .list("commands", commands, numCommands)
        .number("numCommands", numCommands)
        .softkeys(softkeyText, softkeyEvent)
        .number("startTimeout", startTimeout)
        .number("defaultTimeout", defaultTimeout);
}

void displayListen(dvk_ui_ScreenId screenId, Text titleText, Text bodyText, int32_t width, int32_t height,
                   const uint8_t* palette, const uint8_t* bitmapData, int32_t bitmapDataLen, Text panelBarText,
                   Texts phrases, int32_t numPhrases, Texts softkeyText, const dvk_ui_Event* softkeyEvent,
                   int32_t startTimeout, int32_t defaultTimeout)
{
    Call("displayListen")
        .number("screenId", screenId)
        .text("titleText", titleText)
        .text("bodyText", bodyText)
        .number("width", width)
        .number("height", height)
        .bytes("palette", palette, 256)
        .bytes("bitmapData", bitmapData, bitmapDataLen)
        .number("bitmapDataLen", bitmapDataLen)
        .text("panelBarText", panelBarText)
        .list("phrases", phrases, numPhrases)
        .number("numPhrases", numPhrases)
        .softkeys(softkeyText, softkeyEvent)
        .number("startTimeout", startTimeout)
        .number("defaultTimeout", defaultTimeout);
}

void displayAdapt(dvk_ui_ScreenId screenId, Text titleText, Text secondText, Text panelBarText, Text phrase,
                  Texts softkeyText, const dvk_ui_Event* softkeyEvent, int32_t startTimeout, int32_t defaultTimeout)
{
    Call("displayAdapt")
        .number("screenId", screenId)
        .text("titleText", titleText)
        .text("secondText", secondText)
        .text("panelBarText", panelBarText)
        .text("phrase", phrase)
        .softkeys(softkeyText, softkeyEvent)
        .number("startTimeout", startTimeout)
        .number("defaultTimeout", defaultTimeout);
}

void displayConfirm(dvk_ui_ScreenId screenId, Text titleText, Text bodyText, Text panelBarText, Texts items,
                    int32_t numItems, int32_t selectedItem, Texts phrases, int32_t numPhrases, Texts softkeyText,
                    const dvk_ui_Event* softkeyEvent, int32_t startTimeout, int32_t defaultTimeout)
{
    Call("displayConfirm")
        .number("screenId", screenId)
        .text("titleText", titleText)
        .text("bodyText", bodyText)
        .text("panelBarText", panelBarText)
        .list("items", items, numItems)
        .number("numItems", numItems)
        .number("selectedItem", selectedItem)
        .list("phrases", phrases, numPhrases)
        .number("numPhrases", numPhrases)
        .softkeys(softkeyText, softkeyEvent)
        .number("startTimeout", startTimeout)
        .number("defaultTimeout", defaultTimeout);
}

void displayMenu(dvk_ui_ScreenId screenId, Text titleText, Text secondText, Texts menuItems, int32_t numMenuItems,
                 int32_t selectedItem, const dvk_ucs2_Char* const* const* subMenuItems,
                 const int32_t* numSubMenuItems, Texts softkeyText, const dvk_ui_Event* softkeyEvent,
                 int32_t defaultTimeout)
{
    Call("displayMenu")
        .number("screenId", screenId)
        .text("titleText", titleText)
        .text("secondText", secondText)
        .list("menuItems", menuItems, numMenuItems)
        .number("numMenuItems", numMenuItems)
        .number("selectedItem", selectedItem)
        .subLists("subMenuItems", subMenuItems, numSubMenuItems, numMenuItems)
        .numbers("numSubMenuItems", numSubMenuItems, numMenuItems)
        .softkeys(softkeyText, softkeyEvent)
        .number("defaultTimeout", defaultTimeout);
}

void displayCheckBox(dvk_ui_ScreenId screenId, Text titleText, Text secondText, Texts items,
                     const uint8_t* itemFlags, int32_t numItems, int32_t highlightedItem, Texts softkeyText,
                     const dvk_ui_Event* softkeyEvent, int32_t defaultTimeout)
{
    Call("displayCheckBox")
        .number("screenId", screenId)
        .text("titleText", titleText)
        .text("secondText", secondText)
        .list("items", items, numItems)
        .bytes("itemFlags", itemFlags, numItems)
        .number("numItems", numItems)
        .number("highlightedItem", highlightedItem)
        .softkeys(softkeyText, softkeyEvent)
        .number("defaultTimeout", defaultTimeout);
}

void displayRadioButton(dvk_ui_ScreenId screenId, Text titleText, Text secondText, Texts items, int32_t numItems,
                        int32_t selectedItem, Texts softkeyText, const dvk_ui_Event* softkeyEvent,
                        int32_t defaultTimeout)
{
    Call("displayRadioButton")
        .number("screenId", screenId)
        .text("titleText", titleText)
        .text("secondText", secondText)
        .list("items", items, numItems)
        .number("numItems", numItems)
        .number("selectedItem", selectedItem)
        .softkeys(softkeyText, softkeyEvent)
        .number("defaultTimeout", defaultTimeout);
}

void displayPopup(dvk_ui_ScreenId screenId, Text bodyText, dvk_oem_ui_PopupType popupType, int32_t defaultTimeout)
{
    Call("displayPopup")
        .number("screenId", screenId)
        .text("bodyText", bodyText)
        .number("popupType", popupType)
        .number("defaultTimeout", defaultTimeout);
}

void toInitializing(void*) { Call("uiStateChangeToInitializing"); }
void toRecording(void*) { Call("uiStateChangeToRecording"); }
void toPlayback(void*) { Call("uiStateChangeToPlayback"); }
void toNeither(void*) { Call("uiStateChangeToNeither"); }
void toCalculating(void*) { Call("uiStateChangeToCalculating"); }
void notifyCallCmd(const char* number) { Call("notifyCallCmd").utf8("number", number); }
void audioLevelUpdate(int32_t level) { Call("audioLevelUpdate").number("level", level); }

const dvk_oem_ui_Funcs kRecording = {
    displayBitmap, displayRgbBitmap, displayText,   displayCommand, displayListen,   displayAdapt,
    displayConfirm, displayMenu,     displayCheckBox, displayRadioButton, displayPopup, toInitializing,
    toRecording,   toPlayback,       toNeither,     toCalculating,  notifyCallCmd,   audioLevelUpdate,
};

const dvk_oem_ui_Funcs* s_previous = nullptr;

} // namespace

std::string RecordedUiCall::arg(const std::string& parameter) const
{
    for (const auto& [name, value] : args)
        if (name == parameter)
            return value;
    return "(absent)";
}

std::string RecordedUiCall::text() const
{
    std::string out = slot + "(";
    for (size_t i = 0; i < args.size(); ++i)
        out += (i > 0 ? ", " : "") + args[i].first + "=" + args[i].second;
    return out + ")";
}

RecordingUiFuncs::RecordingUiFuncs()
{
    clear();
    s_previous = dvkOemUiFuncs_p;
    dvkOemUiFuncs_p = &kRecording;
}

RecordingUiFuncs::~RecordingUiFuncs()
{
    dvkOemUiFuncs_p = s_previous;
}

std::vector<RecordedUiCall> RecordingUiFuncs::calls() const
{
    std::lock_guard<std::mutex> lock(s_lock);
    return s_calls;
}

size_t RecordingUiFuncs::count() const
{
    std::lock_guard<std::mutex> lock(s_lock);
    return s_calls.size();
}

void RecordingUiFuncs::clear()
{
    std::lock_guard<std::mutex> lock(s_lock);
    s_calls.clear();
}

std::string RecordingUiFuncs::text(const dvk_ucs2_Char* s)
{
    if (s == nullptr)
        return "null";
    glong length = 0;
    while (s[length] != 0)
        ++length;
    gchar* utf8 = g_utf16_to_utf8(reinterpret_cast<const gunichar2*>(s), length, nullptr, nullptr, nullptr);
    std::string out = "\"" + std::string(utf8 != nullptr ? utf8 : "(not UTF-16)") + "\"";
    g_free(utf8);
    return out;
}

std::string RecordingUiFuncs::text(const std::u16string& s)
{
    return text(reinterpret_cast<const dvk_ucs2_Char*>(s.c_str()));
}

std::string RecordingUiFuncs::hex(const void* bytes, size_t length)
{
    static const char kDigits[] = "0123456789abcdef";
    const auto* p = static_cast<const uint8_t*>(bytes);
    std::string out = "<";
    for (size_t i = 0; i < length; ++i) {
        out.push_back(kDigits[p[i] >> 4]);
        out.push_back(kDigits[p[i] & 15]);
    }
    return out + ">";
}
