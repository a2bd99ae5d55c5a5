// Hands a UI event and its item index to the suite's current dialog module
// (dvk_ui_sendEvent); runs on "UI", the suite takes it over to "VR".
#pragma once

#include "src/QrvSeam.h"

#include <cstdint>

class QrvSuiteUiEvent : public QrvSeam<QrvSuiteUiEvent> {
public:
    static constexpr int32_t EVENT_EXIT = 2;
    static constexpr int32_t EVENT_SELECT = 18;
    static constexpr int32_t EVENT_SET_FOCUS = 20;

    // Signed, as the suite takes them. Select and set-focus need an index of
    // 0 or more: the suite stops the process on a negative one, so callers
    // refuse that pair before it gets here.
    virtual void sendEvent(int32_t event, int32_t index) = 0;
};

template <>
QrvSuiteUiEvent& QrvSeam<QrvSuiteUiEvent>::defaultImpl();
