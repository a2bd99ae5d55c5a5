// The UI state changes the request handler asks for (through the UI
// function table's state slots).
#pragma once

#include "src/QrvSeam.h"

class QrvUiStateChange : public QrvSeam<QrvUiStateChange> {
public:
    // The UI registered in a running session: show "initializing".
    virtual void toInitializing() = 0;
    // The UI was registered already when the bring-up reached it.
    virtual void toNeither() = 0;
};

template <>
QrvUiStateChange& QrvSeam<QrvUiStateChange>::defaultImpl();
