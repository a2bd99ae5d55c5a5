// The user interface's screen and event ids, shared by the suite, the
// porting layer and the service.
#pragma once

#include <cstdint>

// A screen of the user interface.
typedef int32_t dvk_ui_ScreenId;
// No screen shown yet.
enum : dvk_ui_ScreenId { DVK_UI_SCR_MAX = 297 };

// A UI or dialog event, sent with an item index.
typedef int32_t dvk_ui_Event;
// Constants (not macros) so that assertion texts keep their names.
enum : dvk_ui_Event {
    DVK_UI_EVENT_NONE = 0,
    DVK_UI_EVENT_TIMEOUT = 1,
    DVK_UI_EVENT_EXIT = 2,
    DVK_UI_EVENT_RESTART = 3,
    DVK_UI_EVENT_BACK = 4,
    DVK_UI_EVENT_NEXT = 5,
    DVK_UI_EVENT_OK = 7,
    DVK_UI_EVENT_YES = 8,
    DVK_UI_EVENT_NO = 9,
    DVK_UI_EVENT_CANCEL = 10,
    DVK_UI_EVENT_REPEAT = 11,
    DVK_UI_EVENT_PAUSE = 12,
    DVK_UI_EVENT_CONTINUE = 13,
    DVK_UI_EVENT_HELP = 14,
    DVK_UI_EVENT_SETTINGS = 16,
    DVK_UI_EVENT_TUTORIAL = 17,
    DVK_UI_EVENT_SELECT = 18,
    DVK_UI_EVENT_SET_FOCUS = 20,
    DVK_UI_EVENT_ADD_CONTACT = 22,
    DVK_UI_EVENT_START = 23,
    DVK_UI_EVENT_SKIP = 27,
    DVK_UI_EVENT_VCM_TIMER = 32,
};
