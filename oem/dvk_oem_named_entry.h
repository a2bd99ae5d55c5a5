// The one entry layout of the porting layer's named lists (phone modes, go-to
// applications, help topics), filled for the suite.
#pragma once

#include "sdk/common/dvk_types.h"

#include <cstdint>

enum : int32_t { DVK_OEM_TEXT_LENGTH = 64 };

struct dvk_oem_NamedEntry {
    dvk_ucs2_Char name[DVK_OEM_TEXT_LENGTH];
    dvk_ucs2_Char pronunciation[DVK_OEM_TEXT_LENGTH];  // empty: none
    dvk_ucs2_Char synonyms[2][DVK_OEM_TEXT_LENGTH];    // empty: none
    int32_t context;  // handed on with a chosen item
};
