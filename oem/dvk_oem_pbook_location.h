// Phone-number locations of the porting interface: the contacts database's
// number types mapped to the suite's location types.
#pragma once

#include <cstdint>

// 0 none, 1 mobile, 2 home, 3 work, 4 SIM, 5 default e-mail send type,
// 6 main, 7 company, 9 car, 10 personal, 12 other.
typedef int32_t dvk_oem_pbook_LocationType;

struct QrvLocationRow {
    const char* key;                  // also the default text
    dvk_oem_pbook_LocationType type;
    int32_t capability;
    bool hasAlias2;                   // "HOME2", "WORK2" name the same
    bool numbered;                    // three positions in the location walk
    const char* resourceKey;
};

extern const QrvLocationRow s_locations[9];

// The location type of a database number type ("type_work", "HOME2", ...):
// a leading "type_" is skipped, the comparison ignores case; anything
// unknown is mobile (1).
dvk_oem_pbook_LocationType QrvLocationGet(const char* type);
