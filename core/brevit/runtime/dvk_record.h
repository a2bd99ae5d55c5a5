// Call-recording hooks: a table of nine functions through which an outside
// recorder may log every engine call. With no table installed every hook
// does nothing and answers 0.
#pragma once

#include <cstdint>

struct DVKRecordFunctions {
    void (*functionName)(const char* name, int32_t id);
    void (*functionArgument)(const char* name, int32_t kind, intptr_t value);
    void (*functionArrayArgument)(const char* name, int32_t kind, int32_t count, const void* data);
    void (*output)(const char* name, int32_t kind, intptr_t value);
    void (*outputArray)(const char* name, int32_t kind, int32_t count, const void* data);
    void (*returnValue)(int32_t kind, const char* text);
    void (*value)(intptr_t value);
    void (*flush)(void);
    void (*end)(void);
};

// Installs a copy of the table, or uninstalls with null. The recorder is
// active while the function-name slot is set.
void DVKRecord_SetFunctions(const DVKRecordFunctions* table);
int DVKRecord_IsActive(void);

// Each returns 1 when a recorder is active (calling its slot if that is set)
// and 0 otherwise.
int DVKRecord_RecordFunctionName(const char* name, int32_t id);
int DVKRecord_RecordFunctionArgument(const char* name, int32_t kind, intptr_t value);
int DVKRecord_RecordFunctionArrayArgument(const char* name, int32_t kind, int32_t count,
                                          const void* data);
// Through the array slot as (name, 2, the string's length or 0, string).
int DVKRecord_RecordFunctionStringArgument(const char* name, const char* text);
int DVKRecord_RecordOutput(const char* name, int32_t kind, intptr_t value);
int DVKRecord_RecordOutputArray(const char* name, int32_t kind, int32_t count, const void* data);
int DVKRecord_RecordReturnValue(int32_t kind, const char* text);
int DVKRecord_RecordValue(intptr_t value);
int DVKRecord_Flush(void);
// Calls the end slot, then uninstalls the table.
int DVKRecord_End(void);
