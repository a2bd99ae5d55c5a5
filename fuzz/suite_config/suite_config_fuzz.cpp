// A configuration file as installed: loading it, every lookup and the
// grammar build (on a recording table) must stay inside the file and never
// reach an assertion.
#include "core/config/dvk_config.h"
#include "fuzz/suite_record_root.h"
#include "tests/core/config/fake_dynamic_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    writeFuzzRecord("dvk_config_gen.bin", data, size);
    dvk_config_Manager* cm = dvk_config_createConfigManager();
    if (cm == nullptr)
        return 0;
    dvk_constraints_DynamicTable* table = dvk_constraints_createDynamicTable();
    dvk_config_addConstraints(cm, table);
    dvk_string_Table* strings = dvk_string_createStringTable(5);  // nothing loaded: -1 answers
    const dvk_ucs2_Char result[] = {'x', 0};
    const int32_t n = dvk_config_getGateCmdCount(cm);
    for (int32_t gate = 1; gate <= n; ++gate) {
        int32_t stringId, vocabularyId, feature, command;
        dvk_config_getGateCmdInfo(cm, gate, &stringId, &vocabularyId, &feature, &command);
        dvk_config_getGateCmd(cm, gate - 1);
        dvk_config_getGateCmdConstraintId(cm, gate);
    }
    for (int32_t id = -2; id > -2 - 2 * n - 2; --id)
        dvk_config_findGateCmdFromResult(cm, strings, id, result);
    dvk_string_destroyStringTable(&strings);
    dvk_constraints_destroyDynamicTable(&table);
    dvk_config_destroyConfigManager(&cm);
    return 0;
}
