// The one place that decides whether the suite may be created or command
// recognition started; run when the UI registers in a running session.
#pragma once

#include "platform/core/wex_err.h"
#include "src/QrvSeam.h"

class QrVoiceCmdServiceHandler;

class QrvInitCheck : public QrvSeam<QrvInitCheck> {
public:
    virtual WexErr initCheck(QrVoiceCmdServiceHandler& handler) = 0;
};

template <>
QrvInitCheck& QrvSeam<QrvInitCheck>::defaultImpl();
