// How the service ends itself: the closing sequence of a session (exits,
// errors, the watchdog; DownChirpAndExit) and the shut-down proper
// (QrVoiceCmdServiceApp::S_shutdownStart). Tests install a double to see
// what would have ended the process.
#pragma once

class QrvServiceEnd {
public:
    virtual ~QrvServiceEnd() = default;

    // The closing sequence (what DownChirpAndExit::doDownChirpAndExit does).
    virtual void closingSequence() = 0;
    // The shut-down (what QrVoiceCmdServiceApp::S_shutdownStart does).
    virtual void shutdownStart() = 0;

    // The ending in use: the installed one, else the default.
    static QrvServiceEnd& get();
    // Installs an ending (tests); null restores the default.
    static void set(QrvServiceEnd* end);
};
