// The process-wide optional-module table: builders reach optional front-end
// stages and lexicon builders through it. No table is ever installed; every
// entry point swaps the pointer in and out and creation captures it.
#pragma once

inline constexpr int kBrevitFunctionTableSlots = 55;

struct BrevitFunctionTable {
    void* slots[kBrevitFunctionTableSlots];
};

extern BrevitFunctionTable* spBrevitFunctionPointers;
