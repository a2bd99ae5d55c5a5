#include "core/config/dvk_config.h"

#include "core/lang/dvk_lang.h"
#include "core/lang/dvk_table_file.h"
#include "core/utils/dvk_cstr.h"
#include "platform/core/wex_logger.h"
#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_mem.h"

#include <cstring>

namespace {

WexLogger s_log("DvkConfig");

const int32_t kPhraseKey = 9;
const int32_t kCategoryKey = 27;

// size bytes, read exactly; NULL on a short read, for size < 1 or when
// memory is short.
int32_t* readExact(int64_t size, dvk_table_File* file)
{
    return static_cast<int32_t*>(dvk_table_readExact(file, size));
}

void freeTable(dvk_config_Table** table)
{
    if (*table == nullptr)
        return;
    int32_t** arrays[] = {&(*table)->categoryCount, &(*table)->categoryStart, &(*table)->phraseCount,
                          &(*table)->phraseStart,   &(*table)->stringId,      &(*table)->phrases,
                          &(*table)->keptPerGate,   &(*table)->keptPerMember,
                          &(*table)->categoryMembers, &(*table)->gateCmdId,
                          &(*table)->sharedConstraint, &(*table)->feature};
    for (int32_t** array : arrays)
        dvk_mem_dealloc(array);
    dvk_mem_dealloc(table);
}

bool isStringId(int32_t id)
{
    return (id >= DVK_STR_FIRST && id < DVK_STR_MAX) ||
           (id >= DVK_STR_VSEARCH_FIRST && id <= DVK_STR_VSEARCH_LAST);
}

bool allStringIds(const int32_t* ids, int32_t count)
{
    for (int32_t i = 0; i < count; ++i)
        if (!isStringId(ids[i]))
            return false;
    return true;
}

// Every count, start and id lies where later code relies on it.
const char* checkTable(const dvk_config_Table* t)
{
    const int32_t n = t->numGateCmds;
    for (int32_t g = 0; g < n; ++g) {
        if (t->phraseCount[g] < 0 || t->phraseStart[g] < 0 ||
            int64_t{t->phraseStart[g]} + t->phraseCount[g] > t->numPhrases)
            return "phrase range";
        if (t->categoryCount[g] < 0 || t->categoryStart[g] < 0 ||
            int64_t{t->categoryStart[g]} + t->categoryCount[g] > t->numCategoryMembers)
            return "category range";
        if (t->stringId[g] != -1 && !isStringId(t->stringId[g]))
            return "display string";
        if (t->feature[g] < 0 || t->feature[g] > 68)
            return "feature";
        if (t->gateCmdId[g] < 0 || t->gateCmdId[g] > 33)
            return "gate command id";
    }
    if (!allStringIds(t->phrases, t->numPhrases))
        return "phrase string";
    if (!allStringIds(t->categoryMembers, t->numCategoryMembers))
        return "category string";
    return nullptr;
}

dvk_config_Table* readTable(dvk_table_File* file, const char* name)
{
    uint8_t header[DVK_CONFIG_HEADER_SIZE];
    if (!dvk_table_read(file, header, DVK_CONFIG_HEADER_SIZE))
        return nullptr;
    const int32_t n = static_cast<int32_t>(dvk_table_word(header, 152));
    const int32_t m = static_cast<int32_t>(dvk_table_word(header, 156));
    const int32_t k = static_cast<int32_t>(dvk_table_word(header, 160));
    if (n < 1 || n > DVK_CONFIG_MAX_GATES || m < 0 || k < 0) {
        s_log.log(WexLogError, "%s: %s: %d gate commands, %d phrases, %d category members",
                  __func__, name, n, k, m);
        return nullptr;
    }
    if (DVK_CONFIG_HEADER_SIZE + 4 * (9 * int64_t{n} + k + 2 * int64_t{m}) > file->size) {
        s_log.log(WexLogError, "%s: %s: shorter than its counts", __func__, name);
        return nullptr;
    }
    auto* t = static_cast<dvk_config_Table*>(dvk_mem_alloc(sizeof(dvk_config_Table)));
    if (t == nullptr)
        return nullptr;
    *t = dvk_config_Table{};
    std::memcpy(t->reserved, header, 20);
    std::memcpy(t->copied, header + 20, 16);
    const int textStarts[] = {36, 52, 84, 116}, textSizes[] = {16, 32, 32, 32};
    for (int i = 0; i < 4; ++i) {
        std::memcpy(t->texts[i], header + textStarts[i], static_cast<size_t>(textSizes[i]));
        t->texts[i][textSizes[i] - 1] = 0;
    }
    t->keptWord = static_cast<int32_t>(dvk_table_word(header, 148));
    t->numGateCmds = n;
    t->numCategoryMembers = m;
    t->numPhrases = k;
    struct Array {
        int32_t** array;
        int32_t count;
    };
    const Array arrays[] = {
        {&t->categoryCount, n}, {&t->categoryStart, n}, {&t->phraseCount, n},
        {&t->phraseStart, n},   {&t->stringId, n},      {&t->phrases, k},
        {&t->keptPerGate, n},   {&t->keptPerMember, m}, {&t->categoryMembers, m},
        {&t->gateCmdId, n},     {&t->sharedConstraint, n}, {&t->feature, n},
    };
    for (const Array& a : arrays) {
        if (a.count == 0)
            continue;  // absent from the file
        *a.array = readExact(4 * int64_t{a.count}, file);
        if (*a.array == nullptr) {
            freeTable(&t);
            return nullptr;
        }
    }
    if (const char* what = checkTable(t)) {
        s_log.log(WexLogError, "%s: %s: %s out of range", __func__, name, what);
        freeTable(&t);
    }
    return t;
}

bool hasCategory(const dvk_config_Table* t, int32_t g)
{
    return t->categoryCount[g] > 0;
}

bool shared(const dvk_config_Table* t, int32_t g)
{
    return t->sharedConstraint[g] != -1;
}

// The phrase classes (shared ones once for their group) and the category classes.
bool addWordClasses(dvk_config_Manager* cm, dvk_constraints_DynamicTable* table,
                    int32_t* phraseClass, int32_t* categoryClass)
{
    const dvk_config_Table* t = cm->configMgrTable;
    const int32_t n = t->numGateCmds;
    for (int32_t i = 0; i < n; ++i) {
        if (phraseClass[i] >= 0)
            continue;
        char name[32];
        dvk_cstr_formatText(name, sizeof name, "VSearch #%d", i);
        int32_t members = 0;
        for (int32_t g = 0; g < n; ++g)
            if (g == i || (shared(t, i) && t->sharedConstraint[g] == t->sharedConstraint[i]))
                members += t->phraseCount[g];
        if (members == 0) {
            s_log.log(WexLogError, "%s: gate %d has no phrase", __func__, i + 1);
            return false;
        }
        int32_t ids[4 * DVK_CONFIG_MAX_GATES];
        int32_t features[4 * DVK_CONFIG_MAX_GATES];
        int32_t* idList = members <= 4 * DVK_CONFIG_MAX_GATES
                              ? ids
                              : static_cast<int32_t*>(dvk_mem_alloc(8 * size_t(members)));
        if (idList == nullptr)
            return false;
        int32_t* featureList = idList == ids ? features : idList + members;
        int32_t at = 0;
        for (int32_t g = 0; g < n; ++g) {
            if (g != i && !(shared(t, i) && t->sharedConstraint[g] == t->sharedConstraint[i]))
                continue;
            for (int32_t p = 0; p < t->phraseCount[g]; ++p) {
                idList[at] = t->phrases[t->phraseStart[g] + p];
                featureList[at++] = t->feature[g];
            }
        }
        int32_t index = dvk_constraints_addWordClass(table, name, kPhraseKey, idList, featureList,
                                                     members);
        if (idList != ids)
            dvk_mem_dealloc(&idList);
        if (index < 0)
            return false;
        for (int32_t g = 0; g < n; ++g)
            if (g == i || (shared(t, i) && t->sharedConstraint[g] == t->sharedConstraint[i]))
                phraseClass[g] = index;

        if (!hasCategory(t, i))
            continue;
        if (shared(t, i)) {
            s_log.log(WexLogWarning, "%s: gate %d shares constraint %d: its category members are "
                      "left out", __func__, i + 1, t->sharedConstraint[i]);
            continue;
        }
        int32_t memberFeatures[4 * DVK_CONFIG_MAX_GATES];
        const int32_t count = t->categoryCount[i];
        int32_t* catFeatures = count <= 4 * DVK_CONFIG_MAX_GATES
                                   ? memberFeatures
                                   : static_cast<int32_t*>(dvk_mem_alloc(4 * size_t(count)));
        if (catFeatures == nullptr)
            return false;
        for (int32_t c = 0; c < count; ++c)
            catFeatures[c] = t->feature[i];
        dvk_cstr_formatText(name, sizeof name, "VSearch Cat #%d", i);
        categoryClass[i] = dvk_constraints_addWordClass(
            table, name, kCategoryKey, t->categoryMembers + t->categoryStart[i], catFeatures, count);
        if (catFeatures != memberFeatures)
            dvk_mem_dealloc(&catFeatures);
        if (categoryClass[i] < 0)
            return false;
    }
    return true;
}

bool addTransitions(dvk_constraints_DynamicTable* table, int32_t id,
                    const int32_t (*steps)[2], int count)
{
    for (int s = 0; s < count; ++s)
        if (dvk_constraints_addTransition(table, id, steps[s][0], steps[s][1], 0) != 0)
            return false;
    return true;
}

bool addGateConstraints(dvk_config_Manager* cm, dvk_constraints_DynamicTable* table,
                        const int32_t* phraseClass, const int32_t* categoryClass)
{
    const dvk_config_Table* t = cm->configMgrTable;
    const int32_t n = t->numGateCmds;
    const int32_t start = DVK_CONSTRAINTS_CLASS_START, end = DVK_CONSTRAINTS_CLASS_END;
    for (int32_t i = 0; i < n; ++i) {
        if (cm->constraintPairs[i][0] != -1)
            continue;
        char name[32];
        dvk_cstr_formatText(name, sizeof name, "VSearch #%d", i);
        const int32_t p = phraseClass[i], c = categoryClass[i];
        dvk_constraints_Constraint* constraint;
        if (shared(t, i)) {
            constraint = dvk_constraints_copyStaticConstraint(table, name, t->sharedConstraint[i]);
            if (constraint == nullptr ||
                dvk_constraints_replaceWordClass(table, constraint->id, kPhraseKey, p) != 0)
                return false;
            for (int32_t g = i; g < n; ++g)
                if (t->sharedConstraint[g] == t->sharedConstraint[i])
                    cm->constraintPairs[g][0] = constraint->id;
        } else {
            const int32_t classes[] = {p, c};
            constraint = dvk_constraints_addConstraint(table, name, classes, c >= 0 ? 2 : 1);
            if (constraint == nullptr)
                return false;
            cm->constraintPairs[i][0] = constraint->id;
        }
        const int32_t plain[][2] = {{start, p}, {p, end}};
        const int32_t withCategory[][2] = {{start, p}, {p, end}, {p, c}, {c, end}};
        if (!(c >= 0 ? addTransitions(table, constraint->id, withCategory, 4)
                     : addTransitions(table, constraint->id, plain, 2)))
            return false;
        if (c < 0)
            continue;
        dvk_cstr_formatText(name, sizeof name, "VSearch Cat #%d", i);
        dvk_constraints_Constraint* category = dvk_constraints_addConstraint(table, name, &c, 1);
        const int32_t categoryOnly[][2] = {{start, c}, {c, end}};
        if (category == nullptr || !addTransitions(table, category->id, categoryOnly, 2))
            return false;
        cm->constraintPairs[i][1] = category->id;
    }
    return true;
}

} // namespace

dvk_config_Manager* dvk_config_createConfigManager()
{
    char* name = dvk_lang_getConfigMgrFileName();
    if (name == nullptr)
        return nullptr;
    dvk_table_File file{};
    file.stream = dvk_file_fopen(name, 0);
    file.size = dvk_file_fsize(name);
    dvk_config_Table* table = file.stream != nullptr ? readTable(&file, name) : nullptr;
    if (file.stream == nullptr)
        s_log.log(WexLogError, "%s: cannot open %s", __func__, name);
    dvk_table_close(&file);
    dvk_mem_dealloc(&name);
    if (table == nullptr)
        return nullptr;
    auto* cm = static_cast<dvk_config_Manager*>(dvk_mem_alloc(sizeof(dvk_config_Manager)));
    auto* pairs = static_cast<int32_t(*)[2]>(
        dvk_mem_alloc(sizeof(int32_t[2]) * static_cast<size_t>(table->numGateCmds)));
    if (cm == nullptr || pairs == nullptr) {
        dvk_mem_dealloc(&cm);
        dvk_mem_dealloc(&pairs);
        freeTable(&table);
        return nullptr;
    }
    for (int32_t g = 0; g < table->numGateCmds; ++g)
        pairs[g][0] = pairs[g][1] = -1;
    *cm = dvk_config_Manager{table, pairs};
    return cm;
}

void dvk_config_destroyConfigManager(dvk_config_Manager** configMgr)
{
    DVK_ASSERT(configMgr != DVK_NULL);
    if (*configMgr == nullptr)
        return;
    freeTable(&(*configMgr)->configMgrTable);
    dvk_mem_dealloc(&(*configMgr)->constraintPairs);
    dvk_mem_dealloc(configMgr);
}

int32_t dvk_config_getGateCmdCount(dvk_config_Manager* configMgr)
{
    DVK_ASSERT(configMgr != DVK_NULL);
    return configMgr->configMgrTable->numGateCmds;
}

int32_t dvk_config_getGateCmd(dvk_config_Manager* configMgr, int32_t index)
{
    DVK_ASSERT(configMgr != DVK_NULL);
    DVK_ASSERT(index >= 0);
    DVK_ASSERT(index < configMgr->configMgrTable->numGateCmds);
    return index + 1;
}

void dvk_config_getGateCmdInfo(dvk_config_Manager* configMgr, int32_t gate, int32_t* stringId,
                               int32_t* vocabularyId, int32_t* feature, int32_t* gateCommandId)
{
    DVK_ASSERT(configMgr != DVK_NULL);
    const int32_t index = gate - 1;
    DVK_ASSERT(index >= 0);
    DVK_ASSERT(index < configMgr->configMgrTable->numGateCmds);
    const dvk_config_Table* t = configMgr->configMgrTable;
    *stringId = t->stringId[index];
    *vocabularyId = t->phraseCount[index] > 0 ? t->phrases[t->phraseStart[index]] : -1;
    *feature = t->feature[index];
    *gateCommandId = t->gateCmdId[index];
}

int32_t dvk_config_getGateCmdConstraintId(dvk_config_Manager* configMgr, int32_t gate)
{
    DVK_ASSERT(configMgr != DVK_NULL);
    if (gate < 1 || gate > configMgr->configMgrTable->numGateCmds)
        return -1;
    return configMgr->constraintPairs[gate - 1][0];
}

int32_t dvk_config_findGateCmdFromResult(dvk_config_Manager* configMgr, dvk_string_Table* strings,
                                         int32_t constraintId, const dvk_ucs2_Char* result)
{
    DVK_ASSERT(configMgr != DVK_NULL);
    DVK_ASSERT(result != DVK_NULL);
    DVK_ASSERT(constraintId < -1);
    const dvk_config_Table* t = configMgr->configMgrTable;
    for (int32_t g = 0; g < t->numGateCmds; ++g) {
        if (configMgr->constraintPairs[g][0] == constraintId && t->phraseCount[g] > 0) {
            for (int32_t p = 0; p < t->phraseCount[g]; ++p)
                if (dvk_string_compareString(strings, t->phrases[t->phraseStart[g] + p], result) == 0)
                    return g + 1;
        } else if (configMgr->constraintPairs[g][0] != constraintId &&
                   configMgr->constraintPairs[g][1] == constraintId) {
            return g + 1;
        }
    }
    return 0;
}

int dvk_config_addConstraints(dvk_config_Manager* configMgr, dvk_constraints_DynamicTable* table)
{
    DVK_ASSERT(configMgr != DVK_NULL);
    DVK_ASSERT(table != DVK_NULL);
    const int32_t n = configMgr->configMgrTable->numGateCmds;
    DVK_ASSERT(n <= DVK_CONFIG_MAX_GATES);
    int32_t phraseClass[DVK_CONFIG_MAX_GATES], categoryClass[DVK_CONFIG_MAX_GATES];
    for (int32_t g = 0; g < n; ++g)
        phraseClass[g] = categoryClass[g] = -1;
    if (!addWordClasses(configMgr, table, phraseClass, categoryClass) ||
        !addGateConstraints(configMgr, table, phraseClass, categoryClass))
        return 1;
    return 0;
}
