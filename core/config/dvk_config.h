// The gate commands of the current VCM base ("dvk_config_<variant>.bin") and
// the grammar made of them: one word class of each gate's phrases, a
// category class where a gate has category members, and one constraint, all
// in the dynamic constraint table. Gate numbers handed out are 1-based; 0
// means none.
#pragma once

#include "core/constraints/dvk_constraints_dynamictable.h"
#include "core/string/dvk_string.h"

#include <cstdint>

enum : int32_t {
    DVK_CONFIG_HEADER_SIZE = 212,
    DVK_CONFIG_MAX_GATES = 75,
};

struct dvk_config_Table {
    uint8_t reserved[20];
    uint8_t copied[16];        // kept as it is
    char texts[4][32];         // kept, each 0-terminated within its field (16, 32, 32, 32)
    int32_t keptWord;
    int32_t numGateCmds;       // N
    int32_t numCategoryMembers;  // M
    int32_t numPhrases;        // K
    int32_t* categoryCount;    // [N]
    int32_t* categoryStart;    // [N]
    int32_t* phraseCount;      // [N]
    int32_t* phraseStart;      // [N]
    int32_t* stringId;         // [N] display strings
    int32_t* phrases;          // [K] spoken phrases' string ids
    int32_t* keptPerGate;      // [N] not interpreted
    int32_t* keptPerMember;    // [M] not interpreted
    int32_t* categoryMembers;  // [M]
    int32_t* gateCmdId;        // [N]
    int32_t* sharedConstraint; // [N] static constraint id or -1
    int32_t* feature;          // [N] 68: always on
};

struct dvk_config_Manager {
    dvk_config_Table* configMgrTable;
    int32_t (*constraintPairs)[2];  // per gate: main constraint, category-only constraint
};

// NULL (logged) when the name cannot be made, the file cannot be opened or
// read, its counts or ids are out of range, or memory is short.
dvk_config_Manager* dvk_config_createConfigManager();
void dvk_config_destroyConfigManager(dvk_config_Manager** configMgr);

int32_t dvk_config_getGateCmdCount(dvk_config_Manager* configMgr);
// index < N: index + 1.
int32_t dvk_config_getGateCmd(dvk_config_Manager* configMgr, int32_t index);
// gate 1..N; the vocabulary id is -1 for a gate without phrases.
void dvk_config_getGateCmdInfo(dvk_config_Manager* configMgr, int32_t gate, int32_t* stringId,
                               int32_t* vocabularyId, int32_t* feature, int32_t* gateCommandId);
// The gate's main constraint; -1 for a gate out of range or not built.
int32_t dvk_config_getGateCmdConstraintId(dvk_config_Manager* configMgr, int32_t gate);
// The gate a recognised text under a dynamic constraint stands for; 0 none.
int32_t dvk_config_findGateCmdFromResult(dvk_config_Manager* configMgr, dvk_string_Table* strings,
                                         int32_t constraintId, const dvk_ucs2_Char* result);
// Builds every gate's classes and constraints: 0, or 1 on failure.
int dvk_config_addConstraints(dvk_config_Manager* configMgr, dvk_constraints_DynamicTable* table);
