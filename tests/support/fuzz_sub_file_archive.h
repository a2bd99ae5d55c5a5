// For fuzz targets whose input is the content of one sub-file: archive
// images made in memory, an entry appended to an image of this machine's
// byte order; and, for fixed sub-files made by the engine's own writer, an
// image written once per process in a temporary platform root.
//
// Header-only: it calls the engine runtime. Needs an engine context while
// writing.
#pragma once

#include "core/brevit/runtime/dvk_tar.h"
#include "oem/dvk_oem_dirs.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

// Appends the sub-file name holding data to an archive image (an empty
// image starts one) and counts it in the header.
inline void appendArchiveEntry(std::string& image, const char* name, const uint8_t* data, size_t size)
{
    auto put = [&](const void* bytes, size_t n) { image.append(static_cast<const char*>(bytes), n); };
    if (image.empty()) {
        const uint16_t fields[] = {kDVKTarByteOrderMark, 2, 0, 0};
        put("DVK\0ktr\0", 8);
        put(fields, sizeof(fields));
    }
    const auto nameLength = static_cast<uint16_t>(std::strlen(name));
    const uint32_t reserved = kDVKTarReservedWord;
    const auto dataSize = static_cast<uint32_t>(size);
    put(&nameLength, 2);
    put(name, nameLength);
    put(&reserved, 4);
    put(&dataSize, 4);
    if (size > 0)
        put(data, size);
    uint16_t count = 0;
    std::memcpy(&count, image.data() + 12, 2);
    ++count;
    std::memcpy(image.data() + 12, &count, 2);
}

// The image of an archive that write(DVKTar*) fills, written once in a
// temporary root of the process; empty when anything failed.
template <typename Write>
std::string writtenArchiveImage(Write write)
{
    char dir[] = "/tmp/mwfuzz.XXXXXX";
    if (mkdtemp(dir) == nullptr)
        return {};
    setenv("MERROWIND_ROOT", dir, 1);
    std::error_code error;
    std::filesystem::create_directories(dvkOemWritableDir(), error);
    const std::string path = std::string(dir) + "/fixed.dvk";
    DVKTar* tar = DVKTar_OpenForWrite(path.c_str());
    bool ok = tar != nullptr && write(tar);
    ok = tar != nullptr && DVKTar_Close(tar) == 0 && ok;
    std::ifstream in(path, std::ios::binary);
    std::string image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::filesystem::remove_all(dir, error);
    return ok ? image : std::string();
}
