// The raw bus handle that platform libraries (the media client) are given:
// the service's connection and its name. Valid while the service is open.
#pragma once

#include <gio/gio.h>

struct QbOrvelService {
    GDBusConnection* connection = nullptr;
    const char* name = nullptr;
};
