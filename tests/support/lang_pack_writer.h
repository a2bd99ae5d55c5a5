// Language-pack files and packages for tests: a pack file begins with its
// version text; a package is a plain tar of pack files.
#pragma once

#include "tests/support/temp_root.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

inline constexpr const char* kPackVersion = "20110107.1.16";

// `size` bytes that begin with `version` (cut to `size` when longer).
inline std::string langPackFile(size_t size, const std::string& version = kPackVersion)
{
    std::string content = version;
    content.resize(size, 'x');
    return content;
}

using PackFiles = std::vector<std::pair<std::string, std::string>>;

// The four files of `language`'s pack, of the given sizes.
inline PackFiles langPackFiles(const std::string& language, size_t img = 100, size_t lvr = 200, size_t prm = 300,
                               size_t str = 400)
{
    return {{"img_" + language + ".bin", langPackFile(img)},
            {"lvr_" + language + ".bin", langPackFile(lvr)},
            {"prm_" + language + ".bin", langPackFile(prm)},
            {"str_" + language + ".bin", langPackFile(str)}};
}

inline void writePackFiles(const TempRoot& root, const std::string& dir, const PackFiles& files)
{
    for (const auto& [name, content] : files)
        root.writeFile(dir + "/" + name, content);
}

// A plain (ustar) tar of the files, as the installer unpacks it.
inline std::string langPackage(const PackFiles& files)
{
    std::string tar;
    for (const auto& [name, content] : files) {
        char header[512] = {};
        std::snprintf(header, 100, "%s", name.c_str());
        std::memcpy(header + 100, "0000644", 8);
        std::memcpy(header + 108, "0000000", 8);
        std::memcpy(header + 116, "0000000", 8);
        std::snprintf(header + 124, 12, "%011lo", static_cast<unsigned long>(content.size()));
        std::memcpy(header + 136, "00000000000", 12);
        std::memset(header + 148, ' ', 8);
        header[156] = '0';
        std::memcpy(header + 257, "ustar", 6);
        std::memcpy(header + 263, "00", 2);
        unsigned sum = 0;
        for (unsigned char c : header)
            sum += c;
        std::snprintf(header + 148, 8, "%06o", sum);
        header[155] = ' ';
        tar.append(header, sizeof header);
        tar += content;
        tar.append((512 - content.size() % 512) % 512, '\0');
    }
    tar.append(1024, '\0');
    return tar;
}

// Puts the desktop installer `fake` (sim/ipkg) at /usr/bin/ipkg below the
// directory `root`; with a pause, it waits that many seconds after each file
// it installs.
inline void installFakeIpkg(const std::string& root, const std::string& fake, double pauseSeconds = 0)
{
    namespace fs = std::filesystem;
    const fs::path target = root + "/usr/bin/ipkg";
    fs::create_directories(target.parent_path());
    fs::copy_file(fake, target, fs::copy_options::overwrite_existing);
    fs::permissions(target, fs::perms::owner_all);
    if (pauseSeconds > 0) {
        fs::create_directories(root + "/etc");
        std::ofstream(root + "/etc/ipkg-pause") << pauseSeconds;
    }
}
