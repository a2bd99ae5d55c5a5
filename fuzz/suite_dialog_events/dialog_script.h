// The fuzz input of the dialog sessions: a script of two-byte steps,
// shared by the target and the test that writes its seeds.
//   op % 4 == 0  a UI event: event arg % 33, item index (next byte % 43) - 2
//   op % 4 == 1  no recognition result
//   op % 4 == 2  the phrase of gate arg % gate count (a second entry when op & 4,
//                names "Ann" and "Bob" in the entries when op & 8)
//   op % 4 == 3  a phrase of the always-available grammar: string arg % 100
// A session that ends (or fails) is replaced by a new one.
#pragma once

#include <cstdint>
#include <string>

namespace dialog_script {

inline std::string event(uint8_t event, int index)
{
    return std::string{'\0', static_cast<char>(event), static_cast<char>(index + 2)};
}
inline std::string noResult()
{
    return std::string{'\1', '\0'};
}
inline std::string said(uint8_t gate, bool second = false)
{
    return std::string{static_cast<char>(second ? 6 : 2), static_cast<char>(gate)};
}
inline std::string always(uint8_t stringId)
{
    return std::string{'\3', static_cast<char>(stringId)};
}

}  // namespace dialog_script
