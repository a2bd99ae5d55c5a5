// Every absolute platform path ("/var/sorna/...", "/media/cryptofs/...") is
// resolved here, so the whole service can run inside a directory tree of its own:
// the value of $MERROWIND_ROOT (unset or empty: nothing) is put in front.
#pragma once

#include <string>
#include <string_view>

std::string wexRootPath(std::string_view absolutePath);

// The root prefix in force ("" when unset).
std::string wexRootPrefix();
