// A string file as installed or downloaded: as the main range (checked
// against the descriptor) and as the voice-search range (taken as it is),
// mapped and read into memory; then every id of a loaded range. Nothing may
// be read outside the file.
#include "core/string/dvk_string.h"
#include "core/utils/dvk_ucs2.h"
#include "fuzz/suite_record_root.h"
#include "sdk/common/dvk_mmap.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    writeFuzzRecord("str_enus.bin", data, size);
    writeFuzzRecord("vstr_enus.bin", data, size);
    const dvk_ucs2_Char probe[] = {'S', 't', 0};
    for (bool refuse : {false, true}) {
        dvk_mmap_refuseMapping(refuse);
        dvk_string_Table* table = dvk_string_createStringTable(5);
        if (dvk_string_loadStringTableRange(table, 0) != nullptr) {
            for (int32_t id = 0; id < DVK_STR_MAX; ++id) {
                dvk_ucs2_Char* s = dvk_string_getString(table, id);
                dvk_ucs2_destroy(&s);
                dvk_string_compareString(table, id, probe);
            }
        }
        if (dvk_string_loadStringTableRange(table, 1) != nullptr) {
            const int64_t last = std::min<int64_t>(DVK_STR_VSEARCH_LAST,
                                                   DVK_STR_VSEARCH_FIRST + int64_t{table->ranges[1]->count});
            for (int32_t id = DVK_STR_VSEARCH_FIRST; id <= last; ++id) {
                dvk_ucs2_Char* s = dvk_string_getString(table, id);
                dvk_ucs2_destroy(&s);
                dvk_string_compareString(table, id, probe);
            }
        }
        dvk_string_destroyStringTable(&table);
    }
    dvk_mmap_refuseMapping(false);
    return 0;
}
