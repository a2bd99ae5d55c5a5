// The speech API's lists and results as one input: records separated by a
// zero byte. The first record holds the application's list, one Latin-1 item
// a line ('!' first: the recogniser cannot take it); its first byte is also
// the result records' capacity. Every further record is one n-best entry:
// "class=text" lines are its values, a line without '=' its utterance.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct DkapiScriptEntry {
    std::vector<std::pair<std::string, std::string>> values;  // class, text
    std::string utterance;
};

inline std::string dkapiScript(const std::vector<std::string>& items, const std::vector<DkapiScriptEntry>& entries)
{
    std::string out;
    for (size_t i = 0; i < items.size(); ++i)
        out += (i > 0 ? "\n" : "") + items[i];
    for (const DkapiScriptEntry& entry : entries) {
        out.push_back('\0');
        for (const auto& [wordClass, text] : entry.values)
            out += wordClass + "=" + text + "\n";
        out += entry.utterance;
    }
    return out;
}
