// The engine's version numbers and text; the numbers are written into and
// checked against a model set's version record.
#pragma once

#include <cstdint>

inline constexpr int32_t kDVKVersionMajor = 10;
inline constexpr int32_t kDVKVersionMinor = 53;
inline constexpr int32_t kDVKVersionBuild = 3;

int32_t DVKVersion_GetMajor(void);
int32_t DVKVersion_GetMinor(void);
int32_t DVKVersion_GetBuild(void);
// "Brevit v10.0053.3 (depot #<n>), Arm, Linux, <compiler>, Embedded Build"
const char* DVKVersion_GetFullVersion(void);
