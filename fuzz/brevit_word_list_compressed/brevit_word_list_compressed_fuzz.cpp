// Word lists come with downloaded language packs: read "mwl" from any
// archive image as the compressed store, then ask the list everything a
// vocabulary does.
#include "core/brevit/lexicon/mwl.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/support/fuzz_archive_image.h"
#include "tests/support/fuzz_word_list_queries.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    BrevitGlobalParameters params = {};
    params.words[kBrevitParamExpansionPool] = 40;
    params.words[kBrevitParamMasterPhonemeSlots] = 4;
    params.words[kBrevitParamRecogPhonemeSlots] = 4;
    params.words[kBrevitParamKeepPronunciations] = 1;
    params.words[kBrevitParamCompressedStore] = 1;
    BrevitGlobalParameters* previous = gpBrevitGlobalParameters;
    gpBrevitGlobalParameters = &params;
    fuzzArchiveImage(data, size, [&](DVKTar* tar) {
        MWL* l = MWL_CreateFromBinFile(tar, nullptr, nullptr, nullptr);
        if (l != nullptr)
            fuzz_word_lists::ask(l);
        MWL_Delete(l);
    });
    gpBrevitGlobalParameters = previous;
    return 0;
}
