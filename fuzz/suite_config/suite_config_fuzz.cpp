// A configuration file as installed: loading it, every lookup, the grammar
// build and a walk of every constraint and class it made must stay inside
// the file and never reach an assertion. The phonebook is an empty fake.
#include "core/config/dvk_config.h"
#include "core/constraints/dvk_constraints.h"
#include "fuzz/suite_record_root.h"
#include "tests/support/table_file_writers.h"

namespace {

void walkConstraints(dvk_constraints_DynamicTable* table, dvk_string_Table* strings)
{
    dvk_constraints_Constraint** list = dvk_constraints_getDynamicConstraintList(table);
    for (dvk_constraints_Constraint** c = list; c != nullptr && *c != nullptr; ++c) {
        for (int32_t it = dvk_constraint_getFirstTransition(*c); it != 0;
             it = dvk_constraint_getNextTransition(*c, it)) {
            dvk_constraint_getTransitionFrom(*c, it);
            dvk_constraint_getTransitionTo(*c, it);
            dvk_constraint_getTransitionPenalty(*c, it);
        }
        for (dvk_constraints_WordClass** wc = (*c)->wordClasses; *wc != nullptr; ++wc) {
            int members = 0;
            for (dvk_constraints_Iterator it = (*wc)->getFirst(*wc); it != 0 && members < 1000;
                 it = (*wc)->getNext(*wc, it), ++members) {
                dvk_ucs2_Char* surface = nullptr;
                dvk_ucs2_Char* spoken = nullptr;
                (*wc)->getEntry(*wc, strings, it, &surface, &spoken);
                (*wc)->freeEntry(*wc, &surface, &spoken);
            }
        }
    }
    dvk_constraints_destroyDynamicConstraintList(&list);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    writeFuzzRecord("dvk_config_gen.bin", data, size);
    dvk_config_Manager* cm = dvk_config_createConfigManager();
    if (cm == nullptr)
        return 0;
    dvk_constraints_DynamicTable* table = dvk_constraints_createDynamicTable();
    dvk_config_addConstraints(cm, table);
    // "String n" for every id of the main range, written once into the root.
    static const bool written = [] {
        StringFileWriter w;
        w.strings = numberedStrings(u"String ", 679);
        w.textLength = 16812;
        writeTableFile("str_enus.bin", w.bytes());
        return true;
    }();
    (void)written;
    dvk_string_Table* strings = dvk_string_createStringTable(5);
    if (strings != nullptr)
        dvk_string_loadStringTableRange(strings, 0);
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
    if (strings != nullptr && strings->ranges[0] != nullptr)
        walkConstraints(table, strings);
    dvk_string_destroyStringTable(&strings);
    dvk_constraints_destroyDynamicTable(&table);
    dvk_config_destroyConfigManager(&cm);
    return 0;
}
