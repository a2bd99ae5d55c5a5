#include "oem/dvk_oem_dirs.h"

#include "platform/core/wex_root.h"
// Only the directory names: the file layer links no service code.
#include "src/QrvFileSystem.h"

std::string dvkOemInstallDir()
{
    return wexRootPath(QrvFileSystem::QRV_ROM_DIR);
}

std::string dvkOemLangPackDir()
{
    return wexRootPath(QrvFileSystem::QRV_LANGPACK_ROM_DIR);
}

std::string dvkOemWritableDir()
{
    return wexRootPath(QrvFileSystem::QRV_WRITEABLE_DIR);
}

std::string dvkOemAppDataDir()
{
    return wexRootPath(QrvFileSystem::QRV_LANGPACK_DIR);
}

std::string dvkOemJoin(const std::string& directory, const char* name)
{
    return directory + "/" + name;
}
