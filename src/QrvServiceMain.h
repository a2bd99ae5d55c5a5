// The process entry of the service: refuses to run before the phone's
// first-use setup has finished, prepares the data directories, and runs the
// one application until its main loop ends.
#pragma once

// The marker the first-use setup leaves behind (a platform path).
inline constexpr const char* QRV_FIRST_USE_MARKER = "/var/sorna/preferences/ran-first-use";

// Returns the process's exit status.
int QrvServiceMain(int argc, char** argv);
