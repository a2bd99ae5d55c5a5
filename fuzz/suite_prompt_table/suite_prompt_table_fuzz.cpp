// A prompt file as installed or downloaded: as the main range (checked
// against the descriptor) and as the voice-search range (taken as it is),
// mapped and read with buffered calls; then every id through the queries,
// prompts and texts. Nothing may be read outside the file.
#include "core/prompt/dvk_prompt_table.h"
#include "core/utils/dvk_ucs2.h"
#include "fuzz/suite_record_root.h"
#include "sdk/common/dvk_mmap.h"

#include <algorithm>

namespace {

void everyId(dvk_prompt_Table* table, int32_t first, int64_t last)
{
    for (int32_t id = first; id <= last; ++id) {
        dvk_prompt_isVocoded(table, id);
        dvk_prompt_isTts(table, id);
        dvk_prompt_Prompt* p = dvk_prompt_createPrompt(table, id);
        dvk_prompt_destroyPrompt(&p);
        dvk_ucs2_Char* s = dvk_prompt_createTtsString(table, id);
        dvk_ucs2_destroy(&s);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    writeFuzzRecord("prm_enus.bin", data, size);
    writeFuzzRecord("vprm_enus.bin", data, size);
    for (bool refuse : {false, true}) {
        dvk_mmap_refuseMapping(refuse);
        dvk_prompt_Table* table = dvk_prompt_createPromptTable(5);
        if (dvk_prompt_loadPromptTableRange(table, 0) != nullptr)
            everyId(table, DVK_PROMPT_FIRST, DVK_PROMPT_MAX - 1);
        if (dvk_prompt_loadPromptTableRange(table, 1) != nullptr)
            everyId(table, DVK_PROMPT_VSEARCH_FIRST,
                    std::min<int64_t>(DVK_PROMPT_VSEARCH_LAST,
                                      DVK_PROMPT_VSEARCH_FIRST + int64_t{table->ranges[1]->count}));
        dvk_prompt_destroyPromptTable(&table);
    }
    dvk_mmap_refuseMapping(false);
    return 0;
}
