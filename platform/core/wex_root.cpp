#include "platform/core/wex_root.h"

#include <cstdlib>

std::string wexRootPrefix()
{
    // Read on every call: tests give each case a root of its own.
    const char* root = std::getenv("MERROWIND_ROOT");
    if (root == nullptr)
        return {};
    std::string prefix(root);
    while (prefix.size() > 1 && prefix.back() == '/')
        prefix.pop_back();
    if (prefix == "/")
        prefix.clear();
    return prefix;
}

std::string wexRootPath(std::string_view absolutePath)
{
    std::string path = wexRootPrefix();
    path.append(absolutePath);
    return path;
}
