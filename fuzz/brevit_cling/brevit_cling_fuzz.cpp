// A context-class sub-file "bcl0" comes with a model set: load it, look up
// every attribute 0..N + 1 after contexts of up to three attributes (and
// through word-list ids), take its checksum, and delete it.
#include "core/brevit/search/cling.h"
#include "tests/brevit/search/fake_vocabulary.h"
#include "tests/support/fuzz_archive_image.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FakeWordList words({{1, 0}, {2, 1}, {3, 2}, {4, 0xFFFF}});
    return fuzzArchiveImage(data, size, [&](DVKTar* tar) {
        Cling* c = Cling_LoadFromBinFile(tar, nullptr);
        if (c == nullptr)
            return;
        Cling_ComputeCRC(c);
        Cling_GetClassSetCRC(c);
        // Large tables would make the walk below slow without finding more.
        const int32_t top = c->numAttributes < 64 ? c->numAttributes + 1 : 64;
        uint32_t first = 0;
        uint32_t second = 0;
        uint16_t context[3] = {};
        for (int32_t length = 0; length <= 3; ++length)
            for (int32_t a = 0; a <= top; ++a) {
                for (int32_t k = 0; k < length; ++k)
                    context[k] = static_cast<uint16_t>((a + k) % (top + 1));
                Cling_Lookup(c, context, length, static_cast<uint16_t>(a), &first, &second);
            }
        const uint32_t ids[3] = {kClingBoundary, 2, 4};
        for (uint32_t current : {1u, 3u, 4u, kClingNoWord, kClingBoundary})
            Cling_LookupContext(c, ids, 3, current, &first, &second, words.list());
        Cling_Delete(c);
    });
}
