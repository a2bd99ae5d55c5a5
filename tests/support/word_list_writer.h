// Writer of the plain word-list sub-file "mwl": words given as (surface,
// spoken, prons, marker position) in UTF-16 become keys and spelling codes
// through the engine's own MWLCode_ routines, sorted as unsigned bytes, with
// the text and pron pools and the optional spoken-form index laid out and
// the header maxima derived. Every record is a field of its own so tests
// damage one before writing; every optional record can be switched off.
//
// Header-only and free of the test framework: benchmarks and fuzz seeds use
// it too. Needs an engine context while building and writing.
#pragma once

#include "core/brevit/lexicon/mwl_code.h"
#include "core/brevit/lexicon/mwl_shared.h"
#include "core/brevit/runtime/bin_file_writer.h"
#include "core/brevit/runtime/dvk_language.h"
#include "tests/support/search_table_writers.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace word_lists {

using search_tables::writeArray;

struct Word {
    std::u16string surface;
    std::u16string spoken;
    std::vector<std::vector<uint16_t>> prons;   // without their 0xFFFF
    uint8_t marker = 254;                       // 1-based position; 254 none
};

struct Fields {
    int32_t pronPoolLength = 0;
    int32_t textPoolLength = 0;
    int32_t spokenIndexLength = 0;
    uint32_t maxMasterPhoneme = 0;
    uint32_t maxRecogPhoneme = 0;
    uint32_t unigramScore = 0;
    uint32_t classId = 0;
    int32_t attributes = 0;
    int32_t wordCount = 0;
    int32_t maxSurface = 0;
    int32_t maxSpoken = 0;
    int32_t maxRecog = 0;
    int32_t maxMaster = 0;
    int32_t maxProns = 0;
    int32_t surfaceEncoding = 3;
    int32_t spokenEncoding = 3;
    std::vector<uint8_t> language = std::vector<uint8_t>(8, 0);
    int32_t tokenizeType = 0;
    uint32_t boundary = 0;
    uint32_t crcs[5] = {0x11, 0x22, 0x33, 0x44, 0x55};
    std::vector<std::string> names;
    int32_t genderLength = 0;
    uint32_t marker = 0xFFFF;
    std::vector<uint8_t> markerPositions;
    std::vector<uint8_t> pronCounts;
    std::vector<uint16_t> pronStarts;
    std::vector<uint8_t> codes;
    std::vector<uint16_t> pronPool;
    std::vector<uint16_t> textOffsets;
    std::vector<uint8_t> textPool;
    int32_t spokenIndexFlag = 0;
    std::vector<uint32_t> spokenIndex;
    int32_t rewriteFlag = 0;
    search_tables::PhoneRewriteFields rules;
    std::vector<uint8_t> genders;
};

struct Options {
    const char* language = "enus";
    int32_t encoding = 3;
    uint16_t marker = 0xFFFF;
    bool spokenIndex = false;
    bool rules = true;                 // identity rules (no rule)
    std::vector<std::string> names = {"B", "AA", "S", "'", "."};
    uint32_t maxRecogPhoneme = 0;      // 0: the highest name id
    std::vector<uint8_t> genders;
    int32_t tokenizeType = 0;
    uint32_t boundary = 0;
};

// A text in the list's bytes: surface texts (language given) through the
// shared surface coder of the language, spoken texts with a zero coder.
inline std::vector<uint8_t> encoded(const std::u16string& text, int32_t lower, int32_t encoding,
                                    const char* language = nullptr)
{
    std::vector<uint8_t> out(text.size() * 4 + 1, 0);
    DVKSCSU state{};
    if (language != nullptr)
        MWLShared_SurfaceCoder(language, &state);
    MWLCode_ConvertFromUnicode(out.data(), reinterpret_cast<const uint16_t*>(text.c_str()), lower,
                               encoding == 1 ? 2 : encoding, &state, nullptr);
    out.resize(std::strlen(reinterpret_cast<const char*>(out.data())));
    return out;
}

inline int32_t chars(const std::vector<uint8_t>& bytes, int32_t encoding)
{
    int32_t n = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        ++n;
        if (encoding == 3) {
            while (i + 1 < bytes.size() && (bytes[i + 1] & 0xC0) == 0x80)
                ++i;
        } else if (encoding == 4 && bytes[i] < 0x20 && i + 1 < bytes.size()) {
            // The compact form's escape, then one character in UTF-8.
            ++i;
            while (i + 1 < bytes.size() && (bytes[i + 1] & 0xC0) == 0x80)
                ++i;
        }
    }
    return n;
}

// The words' positions in key order: id k is words[order[k]].
inline std::vector<size_t> order(const std::vector<Word>& words, const Options& o = {})
{
    const bool nonCJK = Language_IsNonCJKLanguage(o.language);
    std::vector<std::vector<uint8_t>> keys;
    for (const Word& w : words)
        keys.push_back(encoded(w.surface, nonCJK ? 1 : 0, o.encoding, o.language));
    std::vector<size_t> ids(words.size());
    for (size_t k = 0; k < ids.size(); ++k)
        ids[k] = k;
    std::stable_sort(ids.begin(), ids.end(), [&](size_t a, size_t b) { return keys[a] < keys[b]; });
    return ids;
}

// A complete list of the words; maxima measured (callers may override them
// before writing).
inline Fields build(std::vector<Word> words, const Options& o = {})
{
    Fields f;
    const bool nonCJK = Language_IsNonCJKLanguage(o.language);
    std::memcpy(f.language.data(), o.language, std::min<size_t>(8, std::strlen(o.language)));
    f.surfaceEncoding = f.spokenEncoding = o.encoding;
    f.names = o.names;
    f.maxMasterPhoneme = static_cast<uint32_t>(o.names.size()) - 1;
    f.maxRecogPhoneme = o.maxRecogPhoneme != 0 ? o.maxRecogPhoneme : f.maxMasterPhoneme;
    f.marker = o.marker;
    f.tokenizeType = o.tokenizeType;
    f.boundary = o.boundary;
    struct Keyed {
        std::vector<uint8_t> key;
        const Word* word;
    };
    std::vector<Keyed> keyed;
    for (const Word& w : words)
        keyed.push_back({encoded(w.surface, nonCJK ? 1 : 0, o.encoding, o.language), &w});
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const Keyed& a, const Keyed& b) { return a.key < b.key; });
    for (const Keyed& k : keyed) {
        const Word& w = *k.word;
        const int32_t code = nonCJK ? MWLCode_GetCode(reinterpret_cast<const uint16_t*>(w.surface.c_str()))
                                    : 128;
        f.textOffsets.push_back(static_cast<uint16_t>(f.textPool.size()));
        f.textPool.insert(f.textPool.end(), k.key.begin(), k.key.end());
        f.textPool.push_back(0);
        const std::vector<uint8_t> spoken = encoded(w.spoken, 0, o.encoding);
        f.textPool.insert(f.textPool.end(), spoken.begin(), spoken.end());
        f.textPool.push_back(0);
        std::vector<uint8_t> exact = encoded(w.surface, 0, o.encoding, o.language);
        if (code == 16) {
            f.textPool.insert(f.textPool.end(), exact.begin(), exact.end());
            f.textPool.push_back(0);
        }
        if (nonCJK)
            f.codes.push_back(static_cast<uint8_t>(code));
        f.maxSurface = std::max(f.maxSurface, chars(exact, o.encoding));
        f.maxSpoken = std::max(f.maxSpoken, chars(spoken, o.encoding));
        f.pronCounts.push_back(static_cast<uint8_t>(w.prons.size()));
        f.pronStarts.push_back(static_cast<uint16_t>(f.pronPool.size()));
        f.maxProns = std::max(f.maxProns, static_cast<int32_t>(w.prons.size()));
        for (const auto& p : w.prons) {
            f.pronPool.insert(f.pronPool.end(), p.begin(), p.end());
            f.pronPool.push_back(0xFFFF);
            const int32_t back = w.prons.size() == 1 && o.marker != 0xFFFF && w.marker != 254;
            f.maxMaster = std::max(f.maxMaster, static_cast<int32_t>(p.size()) + back);
            f.maxRecog = std::max(f.maxRecog, static_cast<int32_t>(p.size()));
        }
        if (o.marker != 0xFFFF)
            f.markerPositions.push_back(w.marker);
    }
    f.wordCount = static_cast<int32_t>(keyed.size());
    f.pronPoolLength = static_cast<int32_t>(f.pronPool.size());
    f.textPoolLength = static_cast<int32_t>(f.textPool.size());
    if (o.spokenIndex) {
        std::vector<uint32_t> order;
        for (uint32_t id = 0; id < keyed.size(); ++id)
            order.push_back(id);
        auto spokenOf = [&](uint32_t id) {
            const char* k = reinterpret_cast<const char*>(f.textPool.data()) + f.textOffsets[id];
            return std::string(k + std::strlen(k) + 1);
        };
        std::stable_sort(order.begin(), order.end(),
                         [&](uint32_t a, uint32_t b) { return spokenOf(a) < spokenOf(b); });
        f.spokenIndex = order;
        f.spokenIndex.push_back(static_cast<uint32_t>(keyed.size()));   // the trailing entry N
        f.spokenIndexLength = static_cast<int32_t>(order.size());
        f.spokenIndexFlag = 1;
    }
    if (o.rules) {
        f.rewriteFlag = 1;
        f.rules = search_tables::phoneRewrite({}, static_cast<int32_t>(f.maxRecogPhoneme) + 1);
    }
    f.genders = o.genders;
    f.genderLength = static_cast<int32_t>(o.genders.size());
    return f;
}

inline bool write(BinFileWriter* w, const Fields& f)
{
    auto i = [&](int32_t v) { return BinFileWriter_WriteInt(w, v) == 1; };
    auto u = [&](uint32_t v) { return BinFileWriter_WriteUnsignedInt(w, v) == 1; };
    std::vector<const char*> names;
    for (const std::string& n : f.names)
        names.push_back(n.c_str());
    bool ok = i(f.pronPoolLength) && i(f.textPoolLength) && i(f.spokenIndexLength) &&
              u(f.maxMasterPhoneme) && u(f.maxRecogPhoneme) && u(f.unigramScore) && u(f.classId) &&
              i(f.attributes) && i(f.wordCount) && i(f.maxSurface) && i(f.maxSpoken) &&
              i(f.maxRecog) && i(f.maxMaster) && i(f.maxProns) && i(f.surfaceEncoding) &&
              i(f.spokenEncoding) && writeArray(w, f.language) && i(f.tokenizeType) &&
              u(f.boundary);
    for (uint32_t c : f.crcs)
        ok = ok && u(c);
    ok = ok && BinFileWriter_WriteStringArray(w, names.data(), static_cast<uint32_t>(names.size())) == 1 &&
         i(f.genderLength) && u(f.marker);
    if (f.marker != 0xFFFF)
        ok = ok && writeArray(w, f.markerPositions);
    ok = ok && writeArray(w, f.pronCounts) && writeArray(w, f.pronStarts);
    if (f.wordCount > 0 && Language_IsNonCJKLanguage(reinterpret_cast<const char*>(f.language.data())))
        ok = ok && writeArray(w, f.codes);
    if (f.pronPoolLength > 0)
        ok = ok && writeArray(w, f.pronPool);
    ok = ok && writeArray(w, f.textOffsets) && writeArray(w, f.textPool) && i(f.spokenIndexFlag);
    if (f.spokenIndexFlag != 0)
        ok = ok && writeArray(w, f.spokenIndex);
    ok = ok && i(f.rewriteFlag);
    if (f.rewriteFlag != 0)
        ok = ok && search_tables::write(w, f.rules);
    return ok && writeArray(w, f.genders);
}

} // namespace word_lists
