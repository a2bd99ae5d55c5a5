// The service's localised texts (built by genrb into the build tree) copied
// into this test process's root, where the service looks for them.
#pragma once

#include "platform/core/wex_root.h"

#include <gio/gio.h>
#include <glib/gstdio.h>

#include <string>

inline bool installResources()
{
    const std::string target = wexRootPath("/usr/lib/merrowind/resources");
    if (g_mkdir_with_parents(target.c_str(), 0700) != 0)
        return false;
    GDir* dir = g_dir_open(MERROWIND_RESOURCES_DIR, 0, nullptr);
    if (dir == nullptr)
        return false;
    bool ok = true;
    while (const gchar* name = g_dir_read_name(dir)) {
        gchar* contents = nullptr;
        gsize size = 0;
        const std::string from = std::string(MERROWIND_RESOURCES_DIR) + "/" + name;
        ok = ok && g_file_get_contents(from.c_str(), &contents, &size, nullptr) &&
             g_file_set_contents((target + "/" + name).c_str(), contents, static_cast<gssize>(size), nullptr);
        g_free(contents);
    }
    g_dir_close(dir);
    return ok;
}
