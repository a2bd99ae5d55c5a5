// How the service ends itself: the closing sequence of a session (exits,
// errors, the watchdog) and the shut-down proper. Both go, for now, straight
// to the application's shutdown() on "UI"; the ordered shut-down and the
// closing chirp replace the default ending when they exist. Tests install a
// double to see what would have ended the process.
#pragma once

class WexServiceApp;

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

    // The application the default ending shuts down; set by the application
    // when it opens, cleared when it goes.
    static void setApplication(WexServiceApp* app);
};
