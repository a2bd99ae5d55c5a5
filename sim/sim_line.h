// The JSON lines the sim's peers print: {"method": ..., "params": ...}.
#pragma once

#include "platform/core/wex_object.h"

#include <cstdio>
#include <string>

inline void simPrintCall(FILE* out, const char* method, const WexObject& params)
{
    WexObject line = WexObject::object();
    line.put("method", method);
    line.put("params", params);
    std::string text;
    if (line.toJson(text) != WexErrNone)
        return;
    std::fprintf(out, "%s\n", text.c_str());
    std::fflush(out);
}
