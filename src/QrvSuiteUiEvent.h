// Hands a UI event and its item index to the suite's current dialog module
// (dvk_ui_sendEvent); runs on "UI", the suite takes it over to "VR".
#pragma once

#include "src/QrvSeam.h"

#include <cstdint>

class QrvSuiteUiEvent : public QrvSeam<QrvSuiteUiEvent> {
public:
    static constexpr int32_t EVENT_EXIT = 2;

    // Signed, as the suite takes them: it checks the index for a negative value.
    virtual void sendEvent(int32_t event, int32_t index) = 0;
};

template <>
QrvSuiteUiEvent& QrvSeam<QrvSuiteUiEvent>::defaultImpl();
