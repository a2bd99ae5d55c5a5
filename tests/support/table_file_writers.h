// Writers of the suite's string, image and prompt table files for tests and fuzz
// seeds: every header word and count can be overridden, offsets too, and the
// file cut anywhere. Header only: for tests that link the suite's tables.
#pragma once

#include "oem/dvk_oem_dirs.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace table_files {

const size_t kMaxPad = 1 << 20;

inline void putWord(std::string& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>(value >> (8 * i)));
}

inline void putText(std::string& out, const std::string& text, size_t field)
{
    std::string padded = text.substr(0, field);
    padded.resize(field, '\0');
    out += padded;
}

} // namespace table_files

struct StringFileWriter {
    std::string version = "20110107.1.16";
    std::string locale = "enus";
    uint32_t magic = 0x12345678;
    uint32_t encoding = 1;  // 1 Latin-1, 0 UCS-2
    std::vector<std::u16string> strings;
    std::optional<uint32_t> count;       // default: the strings
    std::optional<uint32_t> textLength;  // default: exactly the texts; longer is zero-padded
    std::map<size_t, uint32_t> offsets;  // overrides, by index (count + 1 are written)
    std::optional<size_t> cutTo;         // the file's length

    std::string bytes() const
    {
        std::vector<uint32_t> starts;
        std::u16string text;
        for (const std::u16string& s : strings) {
            starts.push_back(static_cast<uint32_t>(text.size()));
            text += s;
            text.push_back(0);
        }
        const uint32_t n = count.value_or(static_cast<uint32_t>(strings.size()));
        const uint32_t length = textLength.value_or(static_cast<uint32_t>(text.size()));
        // A declared length far past the texts is written as declared but
        // padded no further than a test file needs.
        text.resize(std::min<size_t>(length, std::max<size_t>(text.size(), table_files::kMaxPad)), 0);
        std::string out;
        table_files::putText(out, version, 16);
        table_files::putText(out, locale, 8);
        table_files::putWord(out, magic);
        table_files::putWord(out, encoding);
        table_files::putWord(out, n);
        table_files::putWord(out, length);
        out.append(8, '\0');
        // A count past the strings writes no more than one offset past them.
        for (size_t i = 0; i <= std::min<size_t>(n, starts.size()); ++i) {
            uint32_t offset = i < starts.size() ? starts[i] : length;
            auto it = offsets.find(i);
            table_files::putWord(out, it != offsets.end() ? it->second : offset);
        }
        for (char16_t unit : text) {
            out.push_back(static_cast<char>(unit & 0xFF));
            if (encoding == 0)
                out.push_back(static_cast<char>(unit >> 8));
        }
        if (cutTo)
            out.resize(*cutTo, '\0');
        return out;
    }
};

// "String 0", "String 1", ... (or the bare numbers with an empty prefix).
inline std::vector<std::u16string> numberedStrings(const std::u16string& prefix, int n)
{
    std::vector<std::u16string> out;
    for (int i = 0; i < n; ++i) {
        std::string digits = std::to_string(i);
        out.push_back(prefix + std::u16string(digits.begin(), digits.end()));
    }
    return out;
}

// "String n" for each of the 679 main ids, as language 5 ("enus") has its
// string file: the descriptor's encoding and text length.
inline std::string numberedStringFile()
{
    StringFileWriter writer;
    writer.strings = numberedStrings(u"String ", 679);
    writer.textLength = 16812;
    return writer.bytes();
}

struct ImageSpec {
    uint16_t width = 0, height = 0;
    uint32_t paletteBase = 0;  // entry k is paletteBase + k
    std::string data, alpha;
};

struct ImageFileWriter {
    std::string version = "20110107.1.16";
    std::string locale = "enus";
    uint32_t magic = 0x12345678;
    std::vector<ImageSpec> images;
    std::optional<uint32_t> count;         // default: the images
    uint32_t perSizeClass = 3;
    std::optional<uint32_t> dataSize;      // default: exactly the bytes; longer is zero-padded
    std::map<size_t, uint32_t> dataStarts;   // overrides, by index (count + 1 are written)
    std::map<size_t, uint32_t> alphaStarts;
    std::optional<size_t> cutTo;

    std::string bytes() const
    {
        std::string area;
        std::vector<uint32_t> data, alpha;
        for (const ImageSpec& image : images) {
            data.push_back(static_cast<uint32_t>(area.size()));
            area += image.data;
            alpha.push_back(static_cast<uint32_t>(area.size()));
            area += image.alpha;
        }
        const uint32_t n = count.value_or(static_cast<uint32_t>(images.size()));
        const uint32_t end = static_cast<uint32_t>(area.size());  // the last start
        const uint32_t size = dataSize.value_or(end);
        area.resize(std::min<size_t>(size, std::max<size_t>(area.size(), table_files::kMaxPad)), '\0');
        std::string out;
        table_files::putText(out, version, 16);
        table_files::putText(out, locale, 8);
        table_files::putWord(out, magic);
        table_files::putWord(out, n);
        table_files::putWord(out, perSizeClass);
        table_files::putWord(out, size);
        out.append(24, '\0');
        auto each = [&](auto write) {
            // A count past the images writes nothing for the missing ones.
            for (size_t i = 0; i < std::min<size_t>(n, images.size()); ++i)
                write(&images[i]);
        };
        each([&](const ImageSpec* s) {
            uint16_t w = s ? s->width : 0;
            out.push_back(static_cast<char>(w & 0xFF));
            out.push_back(static_cast<char>(w >> 8));
        });
        each([&](const ImageSpec* s) {
            uint16_t h = s ? s->height : 0;
            out.push_back(static_cast<char>(h & 0xFF));
            out.push_back(static_cast<char>(h >> 8));
        });
        each([&](const ImageSpec* s) {
            for (uint32_t k = 0; k < 64; ++k)
                table_files::putWord(out, s ? s->paletteBase + k : 0);
        });
        auto starts = [&](const std::vector<uint32_t>& natural,
                          const std::map<size_t, uint32_t>& overrides) {
            for (size_t i = 0; i <= std::min<size_t>(n, natural.size()); ++i) {
                uint32_t value = i < natural.size() ? natural[i] : end;
                auto it = overrides.find(i);
                table_files::putWord(out, it != overrides.end() ? it->second : value);
            }
        };
        starts(data, dataStarts);
        starts(alpha, alphaStarts);
        out += area;
        if (cutTo)
            out.resize(*cutTo, '\0');
        return out;
    }
};

// One prompt of a prompt file: vocoded audio or none, a text or none.
struct PromptSpec {
    std::optional<std::string> audio;
    std::optional<std::u16string> text;
};

// Writers of prompt files ("prm_", "vprm_"): the defaults match a main
// descriptor once count and audio size are set to its own.
struct PromptFileWriter {
    std::string version = "20110107.1.16";
    std::string locale = "enus";
    uint32_t magic = 0x12345678;
    std::vector<PromptSpec> prompts;
    std::optional<uint32_t> count;       // default: the prompts
    std::string vocoder = "AMR";
    std::optional<uint32_t> audioSize;   // default: exactly the audio; longer is zero-padded
    uint32_t encoding = 1;               // 1 Latin-1, 0 UCS-2
    std::optional<uint32_t> textLength;  // default: exactly the texts; longer is zero-padded
    std::map<size_t, uint32_t> audioOffsets, audioLengths, textOffsets;  // overrides, by index
    std::optional<size_t> cutTo;

    std::string bytes() const
    {
        const uint32_t none = 0xFFFFFFFF;
        std::string audio;
        std::u16string text;
        std::vector<uint32_t> offsets, lengths, textStarts;
        for (const PromptSpec& p : prompts) {
            offsets.push_back(p.audio ? static_cast<uint32_t>(audio.size()) : none);
            lengths.push_back(p.audio ? static_cast<uint32_t>(p.audio->size()) : none);
            if (p.audio)
                audio += *p.audio;
            textStarts.push_back(p.text ? static_cast<uint32_t>(text.size()) : none);
            if (p.text) {
                text += *p.text;
                text.push_back(0);
            }
        }
        const uint32_t n = count.value_or(static_cast<uint32_t>(prompts.size()));
        const uint32_t size = audioSize.value_or(static_cast<uint32_t>(audio.size()));
        const uint32_t length = textLength.value_or(static_cast<uint32_t>(text.size()));
        audio.resize(std::min<size_t>(size, std::max<size_t>(audio.size(), table_files::kMaxPad)), '\0');
        text.resize(std::min<size_t>(length, std::max<size_t>(text.size(), table_files::kMaxPad)), 0);
        std::string out;
        table_files::putText(out, version, 16);
        table_files::putText(out, locale, 8);
        table_files::putWord(out, magic);
        table_files::putWord(out, n);
        table_files::putText(out, vocoder, 8);
        table_files::putWord(out, size);
        table_files::putWord(out, encoding);
        table_files::putWord(out, length);
        out.append(20, '\0');
        // A count past the prompts writes nothing for the missing ones.
        auto words = [&](const std::vector<uint32_t>& natural, const std::map<size_t, uint32_t>& overrides) {
            for (size_t i = 0; i < std::min<size_t>(n, natural.size()); ++i) {
                auto it = overrides.find(i);
                table_files::putWord(out, it != overrides.end() ? it->second : natural[i]);
            }
        };
        words(offsets, audioOffsets);
        words(lengths, audioLengths);
        out += audio;
        words(textStarts, textOffsets);
        for (char16_t unit : text) {
            out.push_back(static_cast<char>(unit & 0xFF));
            if (encoding != 1)
                out.push_back(static_cast<char>(unit >> 8));
        }
        if (cutTo)
            out.resize(*cutTo, '\0');
        return out;
    }
};

// Writes a table file into the writable data directory (found there by name).
inline void writeTableFile(const std::string& name, const std::string& bytes)
{
    std::filesystem::create_directories(dvkOemWritableDir());
    std::ofstream(dvkOemJoin(dvkOemWritableDir(), name.c_str()), std::ios::binary | std::ios::trunc)
        << bytes;
}

// One gate command of a configuration file.
struct ConfigGate {
    std::vector<int32_t> phrases;   // string ids
    std::vector<int32_t> members;   // category members' string ids
    int32_t stringId = 0;
    int32_t sharedConstraint = -1;
    int32_t feature = 68;
    int32_t gateCmdId = 1;
};

// A configuration file ("dvk_config_gen.bin" for base 0): the gates' phrases
// and members are laid out in gate order; any count, start or word can be
// overridden after.
struct ConfigFileWriter {
    std::vector<ConfigGate> gates;
    std::optional<int32_t> n, m, k;   // header counts (default: the gates')
    std::map<std::string, std::map<size_t, int32_t>> overrides;  // array name -> index -> value
    std::optional<size_t> cutTo;

    std::string bytes() const
    {
        std::map<std::string, std::vector<int32_t>> a;
        std::vector<int32_t> phrases, members;
        for (const ConfigGate& g : gates) {
            a["categoryCount"].push_back(static_cast<int32_t>(g.members.size()));
            a["categoryStart"].push_back(static_cast<int32_t>(members.size()));
            a["phraseCount"].push_back(static_cast<int32_t>(g.phrases.size()));
            a["phraseStart"].push_back(static_cast<int32_t>(phrases.size()));
            a["stringId"].push_back(g.stringId);
            a["keptPerGate"].push_back(0);
            a["gateCmdId"].push_back(g.gateCmdId);
            a["sharedConstraint"].push_back(g.sharedConstraint);
            a["feature"].push_back(g.feature);
            phrases.insert(phrases.end(), g.phrases.begin(), g.phrases.end());
            members.insert(members.end(), g.members.begin(), g.members.end());
        }
        a["phrases"] = phrases;
        a["categoryMembers"] = members;
        a["keptPerMember"] = std::vector<int32_t>(members.size(), 0);
        for (const auto& [array, values] : overrides)
            for (const auto& [index, value] : values) {
                if (a[array].size() <= index)
                    a[array].resize(index + 1);
                a[array][index] = value;
            }
        std::string out;
        out.append(20, 'r');
        out.append(16, 'c');
        table_files::putText(out, "gen", 16);
        table_files::putText(out, "VSearch", 32);
        table_files::putText(out, "", 32);
        table_files::putText(out, "", 32);
        table_files::putWord(out, 0x5a5a);
        table_files::putWord(out, static_cast<uint32_t>(n.value_or(static_cast<int32_t>(gates.size()))));
        table_files::putWord(out, static_cast<uint32_t>(m.value_or(static_cast<int32_t>(members.size()))));
        table_files::putWord(out, static_cast<uint32_t>(k.value_or(static_cast<int32_t>(phrases.size()))));
        out.append(48, '\0');
        for (const char* array : {"categoryCount", "categoryStart", "phraseCount", "phraseStart",
                                  "stringId", "phrases", "keptPerGate", "keptPerMember",
                                  "categoryMembers", "gateCmdId", "sharedConstraint", "feature"})
            for (int32_t value : a[array])
                table_files::putWord(out, static_cast<uint32_t>(value));
        if (cutTo)
            out.resize(*cutTo, '\0');
        return out;
    }
};

// Gates 1 and 2 share static constraint 7 (with features 0 and 1); gate 3
// has category members 200 and 201. 352 bytes.
inline ConfigFileWriter threeGates()
{
    ConfigFileWriter w;
    w.gates = {{{100, 101}, {}, 10, 7, 0, 1}, {{102}, {}, 11, 7, 1, 2}, {{103}, {200, 201}, 12, -1, 68, 3}};
    return w;
}
