#include "tests/support/comma_locale.h"

#include <clocale>
#include <cstdlib>
#include <string>

bool selectCommaDecimalLocale()
{
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "de_DE"})
        if (std::setlocale(LC_NUMERIC, name) != nullptr)
            return true;
    const char* root = std::getenv("MERROWIND_ROOT");
    if (root == nullptr)
        return false;
    const std::string dir = std::string(root) + "/locale";
    const std::string command = "mkdir -p '" + dir +
                                "' && localedef --no-archive -i de_DE -f ISO-8859-1 '" + dir +
                                "/de_DE' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0)
        return false;
    setenv("LOCPATH", dir.c_str(), 1);
    return std::setlocale(LC_NUMERIC, "de_DE") != nullptr;
}
