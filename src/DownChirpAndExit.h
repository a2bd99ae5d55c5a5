// The closing sequence that ends a session (exits, errors, the watchdog):
// when a session is visibly running it first plays the closing sound
// "downchirp.bin" from the installation directory, guarded by a 10,000 ms
// timeout that runs the final shut-down directly, and then starts the
// shut-down. It runs once per process; later requests are ignored.
#pragma once

class DownChirpAndExit {
public:
    static constexpr int kTimeoutMs = 10000;

    // Any thread: posts the closing sequence to "UI".
    static void doDownChirpAndExit();
    // A closing sequence was asked for (it may not have reached "UI" yet).
    static bool closingRequested();
    // The next closing sequence skips the chirp (no language pack, a call
    // being placed).
    static void supressDownChirp();

    // Tests: the chirp's guard interval for sequences started from now on.
    static void setTimeoutForTesting(int timeoutMs);
};
