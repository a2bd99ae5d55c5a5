// Small types shared by the suite, the porting layer and the service.
#pragma once

#include <cstdint>

// One 16-bit UCS-2 code unit; suite text is a zero-terminated array of them.
typedef uint16_t dvk_ucs2_Char;
