// The fuzz target's input: a header of mode flags and parameter words, then
// arcs of 11 bytes as a decoder would hand them over. The seed test writes
// its seeds with encode().
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace word_graph_fuzz {

// Header byte 0.
inline constexpr uint8_t kWordOnly = 1;
inline constexpr uint8_t kContext = 2;
inline constexpr uint8_t kReversed = 4;
inline constexpr uint8_t kIteratorMode = 8;
inline constexpr uint8_t kRescoreSeeds = 16;
inline constexpr uint8_t kByPronIds = 32;
inline constexpr uint8_t kHistory = 64;
inline constexpr size_t kHeaderBytes = 9;
inline constexpr size_t kArcBytes = 11;

struct Header {
    uint8_t flags = 0;
    uint8_t capacity = 32;
    uint8_t nbestRoom = 16;       // word 207
    uint8_t recordBudget = 64;    // word 976 in records
    uint8_t iteratorBeam = 255;   // word 220
    uint8_t iteratorRoom = 16;    // word 737
    uint8_t graphBeam = 255;      // word 1005 in steps of 16
    uint8_t order = 2;
    int8_t wordPenalty = 0;       // word 300
};

// Kind byte: bit 0 first piece, bit 1 whole, bit 2 final, bit 3 a plain arc.
struct Arc {
    uint8_t kind;
    int16_t start;
    int16_t end;
    uint16_t word;
    int16_t score;
    uint8_t phoneme;
    int8_t acoustic;
};

inline std::string encode(const Header& h, const std::vector<Arc>& arcs)
{
    std::string out;
    out += static_cast<char>(h.flags);
    out += static_cast<char>(h.capacity);
    out += static_cast<char>(h.nbestRoom);
    out += static_cast<char>(h.recordBudget);
    out += static_cast<char>(h.iteratorBeam);
    out += static_cast<char>(h.iteratorRoom);
    out += static_cast<char>(h.graphBeam);
    out += static_cast<char>(h.order);
    out += static_cast<char>(h.wordPenalty);
    auto put16 = [&](uint16_t v) {
        out += static_cast<char>(v & 0xFF);
        out += static_cast<char>(v >> 8);
    };
    for (const Arc& a : arcs) {
        out += static_cast<char>(a.kind);
        put16(static_cast<uint16_t>(a.start));
        put16(static_cast<uint16_t>(a.end));
        put16(a.word);
        put16(static_cast<uint16_t>(a.score));
        out += static_cast<char>(a.phoneme);
        out += static_cast<char>(a.acoustic);
    }
    return out;
}

inline bool decode(const uint8_t* data, size_t size, Header& h, std::vector<Arc>& arcs, size_t maxArcs)
{
    if (size < kHeaderBytes)
        return false;
    h = {data[0], data[1], data[2], data[3], data[4], data[5], data[6], data[7], static_cast<int8_t>(data[8])};
    auto get16 = [&](size_t at) { return static_cast<uint16_t>(data[at] | (data[at + 1] << 8)); };
    for (size_t at = kHeaderBytes; at + kArcBytes <= size && arcs.size() < maxArcs; at += kArcBytes)
        arcs.push_back({data[at], static_cast<int16_t>(get16(at + 1)), static_cast<int16_t>(get16(at + 3)),
                        get16(at + 5), static_cast<int16_t>(get16(at + 7)), data[at + 9],
                        static_cast<int8_t>(data[at + 10])});
    return true;
}

}  // namespace word_graph_fuzz
