// Part-of-speech models arrive in downloaded model archives: load "pm0"
// from any archive image, guess for texts made of the input's bytes, map,
// checksum and free it.
#include "core/brevit/lexicon/pos_model.h"
#include "core/brevit/runtime/dvk_tar.h"
#include "tests/support/fuzz_archive_image.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

void exercise(const POS* pos, const uint8_t* data, size_t size)
{
    // Texts from the tail of the input: bytes as characters, and as encoded text.
    const size_t n = size < 40 ? size : 40;
    std::vector<uint16_t> text;
    std::string bytes;
    for (size_t i = 0; i < n; ++i) {
        const uint8_t b = data[size - 1 - i];
        if (b == 0)
            continue;
        text.push_back(b);
        bytes.push_back(static_cast<char>(b));
    }
    text.push_back(0);
    POS_GuessPOS(pos, text.data());
    const uint16_t letters[] = {'b', 'e', 'a', 'u', 't', 'i', 'n', 'g', 0};
    POS_GuessPOS(pos, letters);
    POS_GuessPOSI(pos, bytes.c_str());
    for (int32_t id = -1; id < 40; ++id)
        POS_GetMapForMWLCompression(pos, id);
    POS_GetSetCRC(pos);
    POS_ComputeCRC(pos);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return fuzzArchiveImage(data, size, [&](DVKTar* tar) {
        if (POS* pos = POS_LoadFromBinFile(tar, nullptr)) {
            exercise(pos, data, size);
            POS_Delete(pos);
        }
    });
}
