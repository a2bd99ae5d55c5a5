// The line a broken suite assertion prints, as a regular expression for a
// death test: the rule as the assertion names it (after macro expansion),
// the source file by name and the function.
#pragma once

#include <string>

inline std::string assertionPattern(const std::string& rule, const std::string& file, const std::string& function)
{
    auto escape = [](const std::string& text) {
        std::string escaped;
        for (char c : text) {
            if (std::string("()[]|.*+?^$\\{}").find(c) != std::string::npos)
                escaped.push_back('\\');
            escaped.push_back(c);
        }
        return escaped;
    };
    return "Assertion failed: " + escape(rule) + ", file [^,]*" + escape(file) + ", line [0-9]+, function " +
           escape(function);
}
