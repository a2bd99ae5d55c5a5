// How the service ends itself: the closing sequence of a session (exits,
// errors, the watchdog; DownChirpAndExit) and the shut-down proper
// (QrVoiceCmdServiceApp::S_shutdownStart). Tests install a double (set) to
// see what would have ended the process.
#pragma once

#include "src/QrvSeam.h"

class QrvServiceEnd : public QrvSeam<QrvServiceEnd> {
public:
    // The closing sequence (what DownChirpAndExit::doDownChirpAndExit does).
    virtual void closingSequence() = 0;
    // The shut-down (what QrVoiceCmdServiceApp::S_shutdownStart does).
    virtual void shutdownStart() = 0;
};

template <>
QrvServiceEnd& QrvSeam<QrvServiceEnd>::defaultImpl();
