// The process-wide optional-module table: builders reach optional front-end
// stages and lexicon builders through it. No table is ever installed; every
// entry point swaps the pointer in and out and creation captures it.
#pragma once

#include <cstddef>

inline constexpr int kBrevitFunctionTableSlots = 55;

// 55 entry points, each type-erased: a slot is only ever read by the builder
// that knows its signature. The slots nothing here names stay reserved.
struct BrevitFunctionTable {
    void* reserved0[7];
    void* AWL_CreateFromMWL;                   // slot 7
    void* reserved8[32];
    void* MWL1_Create;                         // slot 40
    void* MWL1_CreateSupplementaryMWL;         // slot 41
    void* MWLCompress_Create;                  // slot 42
    void* MWLCompress_CreateSupplementaryMWL;  // slot 43
    void* reserved44[10];
    void* DVKPar_SetGlobalParameters;          // slot 54
};

static_assert(sizeof(BrevitFunctionTable) == kBrevitFunctionTableSlots * sizeof(void*));
static_assert(offsetof(BrevitFunctionTable, AWL_CreateFromMWL) == 7 * sizeof(void*));
static_assert(offsetof(BrevitFunctionTable, MWL1_Create) == 40 * sizeof(void*));
static_assert(offsetof(BrevitFunctionTable, MWLCompress_CreateSupplementaryMWL) == 43 * sizeof(void*));
static_assert(offsetof(BrevitFunctionTable, DVKPar_SetGlobalParameters) == 54 * sizeof(void*));

extern BrevitFunctionTable* spBrevitFunctionPointers;
