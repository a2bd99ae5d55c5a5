#include "src/QrvFileSystem.h"

#include "platform/core/wex_root.h"
#include "src/QrvLog.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

void QrvFileSystem::qrvFileSystemInit()
{
    const std::string writeable = QRV_WRITEABLE_DIR;
    for (size_t slash = writeable.find('/', 1); slash != std::string::npos; slash = writeable.find('/', slash + 1)) {
        const std::string path = wexRootPath(writeable.substr(0, slash));
        std::printf("mkdir(%s)\n", path.c_str());
        std::fflush(stdout);
        QrvLog::UIthread::qrvLog.log(WexLogError, "mkdir(%s)", path.c_str());
        if (mkdir(path.c_str(), 0770) != 0) {
            int error = errno;
            // Something else by that name is no directory to write below.
            struct stat st {};
            if (error == EEXIST && (stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)))
                error = ENOTDIR;
            if (error != EEXIST) {
                QrvLog::UIthread::qrvLog.log(WexLogError, "mkdir failed: %s (%d)", std::strerror(error), error);
                std::exit(1);
            }
        }
    }
}

std::string QrvFileSystem::mkFnString(const std::string& directory, const char* name)
{
    std::string path = directory;
    path += '/';
    path += name != nullptr ? name : "";
    return path;
}

std::string QrvFileSystem::makeFullPathname0(const char* name)
{
    return mkFnString(wexRootPath(QRV_ROM_DIR), name);
}

std::string QrvFileSystem::makeFullPathname1(const char* name)
{
    return mkFnString(wexRootPath(QRV_WRITEABLE_DIR), name);
}

std::string QrvFileSystem::makeFullPathname2(const char* name)
{
    return mkFnString(wexRootPath(QRV_LANGPACK_DIR), name);
}

std::string QrvFileSystem::makeFullPathnameLangpack(const char* name)
{
    return mkFnString(wexRootPath(QRV_LANGPACK_ROM_DIR), name);
}
