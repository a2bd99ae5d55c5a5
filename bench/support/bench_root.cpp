#include "bench/support/bench_root.h"

#include "oem/dvk_oem_dirs.h"

#include <cstdlib>
#include <filesystem>

const std::string& benchRoot()
{
    static const std::string root = [] {
        char dir[] = "/tmp/mwbench.XXXXXX";
        if (mkdtemp(dir) == nullptr)
            std::abort();
        setenv("MERROWIND_ROOT", dir, 1);
        std::filesystem::create_directories(dvkOemWritableDir());
        std::atexit([] {
            std::error_code error;
            std::filesystem::remove_all(benchRoot(), error);
        });
        return std::string(dir);
    }();
    return root;
}

namespace {
// Made before any benchmark's own static set-up can open a file.
const bool s_rooted = (benchRoot(), true);
} // namespace
