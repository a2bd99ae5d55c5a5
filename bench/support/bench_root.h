// Every benchmark runs in a temporary platform root of its own, made before
// main and removed at exit, with the service's writable data directory in
// place: the engine's file layer creates that directory on first use and
// complains (once per file it opens) when the platform's parents are missing.
#pragma once

#include <string>

// The root's directory ($MERROWIND_ROOT for the process).
const std::string& benchRoot();
