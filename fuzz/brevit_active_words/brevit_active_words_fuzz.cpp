// Active word lists arrive in downloaded model archives ("bacm0") and their
// run-time part in the user's saved state: load the static part from any
// archive image, restore the state beside it, then look up, add, remove,
// checksum and free, once without and once with the first-pron cache.
#include "core/brevit/lexicon/active_word_list.h"
#include "fuzz/brevit_active_words/active_words_fuzz.h"
#include "tests/support/fuzz_archive_image.h"

#include <cstdint>
#include <initializer_list>

namespace {

void lookUp(const AWL* list)
{
    const int32_t idLimit = AWL_GetActiveIdLimit(list) + 2;
    for (int32_t id = 0; id <= idLimit && id < 70000; ++id) {
        const uint32_t master = AWL_GetMasterId(list, id);
        AWL_GetActiveIdFromMasterId(list, master);
        AWL_GetActiveIdFromMasterId(list, master + 1);
        uint16_t prons[64];
        const int32_t n = AWL_GetPronIds(list, id, prons, 64);
        for (int32_t k = 0; k <= n; ++k)
            AWL_GetNthPronId(list, id, k);
        AWL_GetNumProns(list, id);
        AWL_IsActiveIdMapped(list, id);
    }
    const int32_t pronLimit = AWL_GetPronIdLimit(list) + 2;
    for (int32_t p = 0; p <= pronLimit && p < 70000; ++p) {
        int32_t index = 0;
        AWL_GetActiveIdFromPronId(list, p, &index);
        AWL_IsPronIdInUse(list, p);
        AWL_IsDynamicPronInUse(list, p);
        AWL_CanFollow(list, p, p + 1);
    }
    for (uint32_t m = 0; m < 64; ++m)
        AWL_GetActiveIdFromMasterId(list, m);
    AWL_GetNumActiveIds(list);
    AWL_GetNumPronIds(list);
    AWL_HasDynamicPronRoom(list);
    AWL_ComputeCRC(list);
}

// Changes steered by the input's last bytes.
void change(AWL* list, const uint8_t* data, size_t size)
{
    const size_t n = size < 48 ? size : 48;
    for (size_t i = 0; i < n; ++i) {
        const uint8_t b = data[size - 1 - i];
        const int32_t first = AWL_GetFirstDynamicActiveId(list);
        switch (b & 3) {
        case 0:
            AWL_AddPron(list, AWL_AddActiveId(list, 1000u + b));
            break;
        case 1:
            AWL_AddPron(list, (b >> 2) % (first + 8));
            break;
        case 2:
            AWL_RemoveActiveId(list, first + (b >> 2) % 8, b & 4);
            break;
        default:
            AWL_RemovePron(list, AWL_GetNumPronIds(list) - 1 - (b >> 2) % 8);
            break;
        }
    }
    AWL_RebuildFirstPronCache(list);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    BrevitGlobalParameters parameters;
    BrevitGlobalParameters* previous = gpBrevitGlobalParameters;
    gpBrevitGlobalParameters = &parameters;
    for (bool cache : {false, true}) {
        active_words_fuzz::setParameters(parameters, cache);
        fuzzArchiveImage(data, size, [&](DVKTar* tar) {
            AWL* list = AWL_LoadFromBinFile(tar, nullptr);
            if (list == nullptr)
                return;
            AWL_ReadPSAFile(list, tar, active_words_fuzz::kStatePrefix);
            lookUp(list);
            change(list, data, size);
            lookUp(list);
            AWL_Delete(list);
        });
    }
    gpBrevitGlobalParameters = previous;
    return 0;
}
