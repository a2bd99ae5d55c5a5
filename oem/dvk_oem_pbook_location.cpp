#include "oem/dvk_oem_pbook_location.h"

#include <strings.h>

#include <string>

const QrvLocationRow s_locations[9] = {
    {"MOBILE", 1, 1, false, true, "loctypenameMobile"},
    {"HOME", 2, 1, true, true, "loctypenameHOME"},
    {"WORK", 3, 1, true, true, "loctypenameWORK"},
    {"SIM", 4, 1, false, false, "loctypenameSIM"},
    {"MAIN", 6, 1, false, true, "loctypenameMAIN"},
    {"COMPANY", 7, 1, false, false, "loctypenameCOMPANY"},
    {"PERSONAL", 10, 1, false, false, "loctypenamePERSONAL"},
    {"OTHER", 12, 1, false, false, "loctypenameOTHER"},
    {"CAR", 9, 1, false, false, "loctypenameCAR"},
};

dvk_oem_pbook_LocationType QrvLocationGet(const char* type)
{
    if (type == nullptr)
        return 1;
    if (strncasecmp(type, "type_", 5) == 0)
        type += 5;
    for (const QrvLocationRow& row : s_locations) {
        if (strcasecmp(type, row.key) == 0)
            return row.type;
        if (row.hasAlias2 && strcasecmp(type, (std::string(row.key) + "2").c_str()) == 0)
            return row.type;
    }
    return 1;
}
