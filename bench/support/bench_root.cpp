#include "bench/support/bench_root.h"

#include "oem/dvk_oem_dirs.h"

#include <cstdlib>
#include <filesystem>

namespace {
// The exit handler is registered while the root string is still being made,
// so it runs after that string is destroyed: it reads this plain array, which
// lives to the end.
char s_rootDir[] = "/tmp/mwbench.XXXXXX";
} // namespace

const std::string& benchRoot()
{
    static const std::string root = [] {
        if (mkdtemp(s_rootDir) == nullptr)
            std::abort();
        setenv("MERROWIND_ROOT", s_rootDir, 1);
        std::filesystem::create_directories(dvkOemWritableDir());
        std::atexit([] {
            std::error_code error;
            std::filesystem::remove_all(s_rootDir, error);
        });
        return std::string(s_rootDir);
    }();
    return root;
}

namespace {
// Made before any benchmark's own static set-up can open a file.
const bool s_rooted = (benchRoot(), true);
} // namespace
