// The service's watchdog: ends the service (its closing sequence) when
// nothing shows life for 15,000 ms. Every sign of progress calls iAmAlive,
// which restarts the 15,000 ms. Once it has fired, signs of life no longer
// re-arm it; only the shut-down's beginning arms it once more, so a stop step
// whose completion never comes still ends the process. Firing while the
// shut-down is under way runs the shut-down's final step.
//
// Callable from any thread: the work is posted to "UI" (run at once when the
// caller is already there), where all of the watchdog's state lives.
#pragma once

class QrvWatchdog {
public:
    static constexpr int kIntervalMs = 15000;

    // Arms the watchdog (once, when the service opens).
    static void start();
    // Restarts the 15,000 ms (arms the watchdog when it is not running).
    static void iAmAlive();
    // Drops the running timer.
    static void stop();
    // The shut-down has begun: when the watchdog has already fired (during
    // the closing chirp), arm one last period to guard the stop chain.
    static void guardShutDown();

    // Tests: the interval of timers armed from now on.
    static void setIntervalForTesting(int intervalMs);
};
