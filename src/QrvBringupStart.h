// The start of a session's bring-up (the language step), run by the request
// handler once it has accepted "syncDone", "startVoiceCommand" or a rebuild.
#pragma once

#include "src/QrvSeam.h"

class QrVoiceCmdServiceHandler;

class QrvBringupStart : public QrvSeam<QrvBringupStart> {
public:
    virtual void begin(QrVoiceCmdServiceHandler& handler) = 0;
};

template <>
QrvBringupStart& QrvSeam<QrvBringupStart>::defaultImpl();
