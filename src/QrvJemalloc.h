// Makes every process the service starts (the package installer) run with
// the platform's allocator: the marker object sets LD_PRELOAD during static
// initialisation. Sanitizer builds leave the variable alone, since a
// preloaded allocator aborts a sanitized child.
#pragma once

class enableJemalloc {
public:
    // Throws "setenv error" when the variable cannot be set.
    enableJemalloc();
    ~enableJemalloc() {}

    // The library path put in LD_PRELOAD (below the platform root).
    static const char* const LIBRARY;
    // False in sanitizer builds.
    static bool enabled();
};
