// The service's data directories as the porting layer searches them, each
// resolved through the platform root.
#pragma once

#include <string>

// Installed, read-only data.
std::string dvkOemInstallDir();
// Language packs installed with the service (below the installation directory).
std::string dvkOemLangPackDir();
// Writable voice data, settings and phone-information files.
std::string dvkOemWritableDir();
// Application data (downloaded language packs).
std::string dvkOemAppDataDir();

// directory + "/" + name.
std::string dvkOemJoin(const std::string& directory, const char* name);
