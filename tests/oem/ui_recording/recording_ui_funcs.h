// A UI function table that records its calls instead of sending them: while
// a RecordingUiFuncs lives it is the table the display entry points use
// (dvkOemUiFuncs_p). Every argument is written down as text while the call
// runs, so a record shows what the slot was handed, even when the caller
// frees it right after.
//
// Renderings: integers in decimal; a text as "UTF-8" in double quotes or
// null; a list (of its given count) as [..., ...] or null; byte arrays in
// lower-case hex between < and > or null; soft keys as two parameters,
// softkeyText (three texts) and softkeyEvent (three numbers).
#pragma once

#include "sdk/common/dvk_types.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct RecordedUiCall {
    std::string slot;  // the member's name: "displayText", "audioLevelUpdate" ...
    bool onUi = false;  // made on the "UI" work queue
    std::vector<std::pair<std::string, std::string>> args;  // parameter, value; in parameter order

    // The value of one parameter; "(absent)" when the slot has none by that name.
    std::string arg(const std::string& parameter) const;
    // slot(parameter=value, ...)
    std::string text() const;
};

class RecordingUiFuncs {
public:
    RecordingUiFuncs();   // installs the recording table
    ~RecordingUiFuncs();  // puts the previous table back
    RecordingUiFuncs(const RecordingUiFuncs&) = delete;
    RecordingUiFuncs& operator=(const RecordingUiFuncs&) = delete;

    // Safe from any thread.
    std::vector<RecordedUiCall> calls() const;
    size_t count() const;
    void clear();

    // The renderings, for expected values.
    static std::string text(const dvk_ucs2_Char* s);
    static std::string text(const std::u16string& s);
    static std::string hex(const void* bytes, size_t length);
};
