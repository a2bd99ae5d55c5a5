// The directories the service reads and writes. The constants are platform
// paths; every path handed out is resolved through the platform root.
#pragma once

#include <string>

class QrvFileSystem {
public:
    // Installed, read-only files ("downchirp.bin").
    static constexpr const char* QRV_ROM_DIR = "/usr/orvel/services/com.orvel.service.merrowind";
    // Language packs installed with the service.
    static constexpr const char* QRV_LANGPACK_ROM_DIR =
        "/usr/orvel/services/com.orvel.service.merrowind/language-packs";
    // Downloaded language packs.
    static constexpr const char* QRV_LANGPACK_DIR = "/media/cryptofs/apps/usr/orvel/data/com.orvel.service.merrowind";
    // Writable voice data, the suite's settings and phone-information files.
    static constexpr const char* QRV_WRITEABLE_DIR = "/media/cryptofs/data/com.orvel.service.merrowind";

    // Creates the parents of the writable directory ("/media",
    // "/media/cryptofs", "/media/cryptofs/data"); the writable directory
    // itself is made by the porting layer before its first write. Ends the
    // process with status 1 when a directory cannot be made, or when
    // something other than a directory stands in its place.
    static void qrvFileSystemInit();

    // The directory joined to name with one "/", below the platform root.
    static std::string makeFullPathname0(const char* name);        // QRV_ROM_DIR
    static std::string makeFullPathname1(const char* name);        // QRV_WRITEABLE_DIR
    static std::string makeFullPathname2(const char* name);        // QRV_LANGPACK_DIR
    static std::string makeFullPathnameLangpack(const char* name); // QRV_LANGPACK_ROM_DIR

    // directory + "/" + name, neither part checked.
    static std::string mkFnString(const std::string& directory, const char* name);
};
