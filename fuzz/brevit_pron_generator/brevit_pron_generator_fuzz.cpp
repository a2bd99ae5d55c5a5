// Letter-to-sound models arrive in downloaded model archives: load "bpm0"
// from any archive image, then generate prons for texts made of the input's
// bytes in every word class any kind reads and a few rooms (nothing may be
// written past the room), checksum and free it.
#include "core/brevit/lexicon/pron_generator.h"
#include "tests/support/fuzz_archive_image.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

void generate(const PG* pg, const std::vector<uint16_t>& text)
{
    for (int32_t wordClass = 0; wordClass <= 14; ++wordClass)
        for (int32_t room : {0, 3, 64}) {
            std::vector<uint16_t> out(static_cast<size_t>(room) + 1, 0x5555);
            int32_t scores[12];
            int32_t needed = 0;
            PG_TextToMasterPron(pg, text.data(), wordClass, out.data(), room, scores, 1 + room % 11,
                                &needed);
            if (out[static_cast<size_t>(room)] != 0x5555)
                std::abort();
        }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return fuzzArchiveImage(data, size, [&](DVKTar* tar) {
        PG* pg = PG_LoadFromBinFile(tar, nullptr);
        if (pg == nullptr)
            return;
        // Letters of the toy alphabets and whatever the input ends with:
        // Latin, Hangul, CJK (一下 不一不一 你丁好), Japanese (人々 日本人)
        // and a mix of scripts.
        const std::vector<uint16_t> words[] = {
            {'b', 'a', 's', 'e', 0},
            {'a', 'b', 'e', 'b', 'a', 's', 0},
            {'B', 'a', '^', 'S', 'e', '2', 0},
            {0xD55C, 'h', 0},
            {0xFF42, 'e', 'a', 0},
            {0xD55C, 0xAD6D, 0xAC00, 0},
            {0x4E00, 0x4E0B, 0},
            {0x4E0D, 0x4E00, ' ', 0x4E0D, 0x4E00, 0},
            {0x4F60, 0x4E01, 0x597D, 0},
            {0x3005, 0x4EBA, 0x3005, 0},
            {0x65E5, 0x672C, 0x4EBA, 0},
            {'b', 'a', 0x3042, 0xD55C, 0x4E00, 's', 'e', 0},
        };
        for (const auto& word : words)
            generate(pg, word);
        std::vector<uint16_t> tail;
        for (size_t i = 0; i < size && i < 24; ++i)
            if (data[size - 1 - i] != 0)
                tail.push_back(data[size - 1 - i]);
        tail.push_back(0);
        generate(pg, tail);
        PG_ComputeCRC(pg);
        PG_Delete(pg);
    });
}
