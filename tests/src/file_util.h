// Small file helpers for the service's tests.
#pragma once

#include <glib.h>
#include <sys/stat.h>

#include <string>

// The whole file, or "" when it cannot be read.
inline std::string readFile(const std::string& path)
{
    gchar* text = nullptr;
    g_file_get_contents(path.c_str(), &text, nullptr, nullptr);
    std::string result = text != nullptr ? text : "";
    g_free(text);
    return result;
}

inline bool isDirectory(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
