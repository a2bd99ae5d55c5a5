// Starts watching the language-pack download the UI reported by its ticket
// (QrvLangPackDownloadMonitor::Run).
#pragma once

#include "src/QrvSeam.h"

#include <cstdint>

class QrVoiceCmdServiceHandler;

class QrvLangPackDownloadStart : public QrvSeam<QrvLangPackDownloadStart> {
public:
    virtual void run(QrVoiceCmdServiceHandler& handler, int64_t ticket) = 0;
    // The running download's ticket (QrvLangPackDownloadMonitor::getTicket);
    // false when no download is watched.
    virtual bool getTicket(int64_t& ticket) = 0;
};

template <>
QrvLangPackDownloadStart& QrvSeam<QrvLangPackDownloadStart>::defaultImpl();
