#include "oem/dvk_oem_dirs.h"

#include "platform/core/wex_root.h"

std::string dvkOemInstallDir()
{
    return wexRootPath("/usr/orvel/services/com.orvel.service.merrowind");
}

std::string dvkOemLangPackDir()
{
    return wexRootPath("/usr/orvel/services/com.orvel.service.merrowind/language-packs");
}

std::string dvkOemWritableDir()
{
    return wexRootPath("/media/cryptofs/data/com.orvel.service.merrowind");
}

std::string dvkOemAppDataDir()
{
    return wexRootPath("/media/cryptofs/apps/usr/orvel/data/com.orvel.service.merrowind");
}

std::string dvkOemJoin(const std::string& directory, const char* name)
{
    std::string path = directory;
    path += '/';
    path += name;
    return path;
}
