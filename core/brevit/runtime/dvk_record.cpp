#include "core/brevit/runtime/dvk_record.h"

#include <cstring>

namespace {

DVKRecordFunctions gRecorder = {};

}  // namespace

void DVKRecord_SetFunctions(const DVKRecordFunctions* table)
{
    if (table == nullptr) {
        gRecorder = DVKRecordFunctions{};
    } else {
        gRecorder = *table;
    }
}

int DVKRecord_IsActive(void)
{
    return gRecorder.functionName != nullptr ? 1 : 0;
}

int DVKRecord_RecordFunctionName(const char* name, int32_t id)
{
    if (!DVKRecord_IsActive()) {
        return 0;
    }
    gRecorder.functionName(name, id);
    return 1;
}

int DVKRecord_RecordFunctionArgument(const char* name, int32_t kind, intptr_t value)
{
    if (!DVKRecord_IsActive()) {
        return 0;
    }
    if (gRecorder.functionArgument != nullptr) {
        gRecorder.functionArgument(name, kind, value);
    }
    return 1;
}

int DVKRecord_RecordFunctionArrayArgument(const char* name, int32_t kind, int32_t count,
                                          const void* data)
{
    if (!DVKRecord_IsActive()) {
        return 0;
    }
    if (gRecorder.functionArrayArgument != nullptr) {
        gRecorder.functionArrayArgument(name, kind, count, data);
    }
    return 1;
}

int DVKRecord_RecordFunctionStringArgument(const char* name, const char* text)
{
    const int32_t length = text != nullptr ? static_cast<int32_t>(std::strlen(text)) : 0;
    return DVKRecord_RecordFunctionArrayArgument(name, 2, length, text);
}

int DVKRecord_RecordOutput(const char* name, int32_t kind, intptr_t value)
{
    if (!DVKRecord_IsActive()) {
        return 0;
    }
    if (gRecorder.output != nullptr) {
        gRecorder.output(name, kind, value);
    }
    return 1;
}

int DVKRecord_RecordOutputArray(const char* name, int32_t kind, int32_t count, const void* data)
{
    if (!DVKRecord_IsActive()) {
        return 0;
    }
    if (gRecorder.outputArray != nullptr) {
        gRecorder.outputArray(name, kind, count, data);
    }
    return 1;
}

int DVKRecord_RecordReturnValue(int32_t kind, const char* text)
{
    if (!DVKRecord_IsActive()) {
        return 0;
    }
    if (gRecorder.returnValue != nullptr) {
        gRecorder.returnValue(kind, text);
    }
    return 1;
}

int DVKRecord_RecordValue(intptr_t value)
{
    if (!DVKRecord_IsActive()) {
        return 0;
    }
    if (gRecorder.value != nullptr) {
        gRecorder.value(value);
    }
    return 1;
}

int DVKRecord_Flush(void)
{
    if (!DVKRecord_IsActive()) {
        return 0;
    }
    if (gRecorder.flush != nullptr) {
        gRecorder.flush();
    }
    return 1;
}

int DVKRecord_End(void)
{
    if (!DVKRecord_IsActive()) {
        return 0;
    }
    if (gRecorder.end != nullptr) {
        gRecorder.end();
    }
    gRecorder = DVKRecordFunctions{};
    return 1;
}
