// Writer of the compressed word-list sub-file "mwl": the words of the plain
// writer's table, keyed and ordered by its routine (so both stores number
// them alike), become front-coded records in blocks of 2^shift words, with
// optional code books chosen from the stream's most frequent byte pairs
// (codes are bytes that never occur as literals of their stream, and no
// word-part expansion runs into a pron part), per-word values stored when
// given, and the offsets, maxima and record 33 derived. Every record is a
// field of its own so tests damage or cut one before writing.
//
// Header-only and free of the test framework: benchmarks and fuzz seeds use
// it too. Needs an engine context while building and writing.
#pragma once

#include "core/brevit/runtime/dvk_crc.h"
#include "tests/support/word_list_writer.h"

#include <algorithm>
#include <array>
#include <map>
#include <optional>

namespace compressed_word_lists {

struct Word {
    word_lists::Word word;                // no prons: generated
    std::optional<uint32_t> unigram, classId, attributes, affix, semantic;
    std::vector<uint32_t> posIds;         // per pron, before the base; missing ones 0
    std::vector<uint8_t> synthesis;       // per pron; missing ones 1
    int32_t code = -1;                    // stored spelling code other than the spelling's own
};

// Given: the codes and strings of Options::givenW / givenP, each string
// replaced by its code wherever it occurs in its kind of part (longest first
// at each place); the caller picks codes that no longer occur as literals.
enum class Book { None, Automatic, Given };
using GivenBook = std::vector<std::pair<uint8_t, std::vector<uint8_t>>>;

struct Options {
    word_lists::Options list;
    int32_t blockShift = 1;
    int32_t classWidth = 2;
    int32_t posWidth = 0;
    int32_t affixWidth = 0;
    int32_t semanticWidth = 0;
    int32_t classBase = 0, classDefault = 0, unigramBase = 0, unigramDefault = 0;
    int32_t posBase = 0, affixBase = 0, semanticBase = 0;
    int32_t phonemeWidth = 1;
    int32_t phonemeEnd = 0;               // 0: one above the highest master phoneme id
    Book bookW = Book::None;
    Book bookP = Book::None;
    GivenBook givenW, givenP;
};

struct Fields {
    int32_t wordCount = 0;
    int32_t classWidth = 0, posWidth = 0, affixWidth = 0, semanticWidth = 0;
    std::vector<uint8_t> wordClasses = std::vector<uint8_t>(256, 0);
    std::vector<uint8_t> pronClasses = std::vector<uint8_t>(256, 0);
    int32_t offsetCount = 0;
    int32_t maxSurface = 0, maxSpoken = 0, maxMaster = 0, maxRecog = 0;
    int32_t classBase = 0, classDefault = 0, unigramBase = 0, unigramDefault = 0;
    int32_t posBase = 0, affixBase = 0, semanticBase = 0;
    int32_t maxProns = 0;
    int32_t phonemeEnd = 0;
    int32_t blockShift = 0;
    uint32_t maxRecogPhoneme = 0;
    int32_t phonemeWidth = 1;
    uint32_t boundary = 0;
    uint32_t maxMasterPhoneme = 0;
    uint32_t marker = 0xFFFF;
    int32_t spokenIndexLength = 0;
    uint32_t crcs[5] = {0x11, 0x22, 0x33, 0x44, 0};
    int32_t surfaceEncoding = 3, spokenEncoding = 3;
    std::array<int32_t, 10> spokenState{};
    std::vector<uint8_t> language = std::vector<uint8_t>(8, 0);
    int32_t tokenizeType = 0;
    int32_t genderLength = 0;
    std::vector<uint32_t> blockOffsets;
    std::vector<uint8_t> stream;
    std::vector<uint16_t> bookWOffsets;
    std::vector<uint8_t> bookW;
    std::vector<uint16_t> bookPOffsets;
    std::vector<uint8_t> bookP;
    int32_t rewriteFlag = 0;
    search_tables::PhoneRewriteFields rules;
    std::vector<uint8_t> genders;
    std::vector<std::string> names;
    int32_t spokenIndexFlag = 0;
    std::vector<uint32_t> spokenIndex;
    int32_t nonCJK = 1;
};

// Record 33's rule over the fields (no rewrite rules: their CRC is the
// engine's own).
inline uint32_t staticCRC(const Fields& f)
{
    if (f.offsetCount == 0)
        return 0xFFFFFFFFu;
    uint32_t crc = 0xFFFFFFFFu;
    crc = DVKCrc_AddBytes(f.stream.data(), static_cast<int32_t>(f.blockOffsets.back()), crc);
    crc = DVKCrc_AddArray(f.blockOffsets.data(), 4, f.offsetCount, crc);
    for (int32_t v : {f.wordCount, f.classWidth, f.posWidth, f.affixWidth, f.semanticWidth})
        crc = DVKCrc_AddInt(static_cast<uint32_t>(v), crc);
    if (f.wordCount > 0) {
        const std::vector<uint16_t> none(257, 0);
        crc = DVKCrc_AddArray((f.bookWOffsets.empty() ? none : f.bookWOffsets).data() + 32, 2, 225, crc);
        crc = DVKCrc_AddBytes(f.bookW.data(), static_cast<int32_t>(f.bookW.size()), crc);
        crc = DVKCrc_AddArray((f.bookPOffsets.empty() ? none : f.bookPOffsets).data() + 32, 2, 225, crc);
        crc = DVKCrc_AddBytes(f.bookP.data(), static_cast<int32_t>(f.bookP.size()), crc);
    }
    crc = DVKCrc_AddBytes(f.wordClasses.data(), 256, crc);
    crc = DVKCrc_AddBytes(f.pronClasses.data(), 256, crc);
    for (int32_t v : {f.offsetCount, f.maxSurface, f.maxSpoken, f.maxMaster, f.maxRecog, f.classBase,
                      f.classDefault, f.unigramBase, f.unigramDefault, f.posBase, f.affixBase, f.semanticBase,
                      f.maxProns, f.phonemeEnd, f.blockShift})
        crc = DVKCrc_AddInt(static_cast<uint32_t>(v), crc);
    crc = DVKCrc_AddShort(f.maxRecogPhoneme, crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(f.phonemeWidth), crc);
    crc = DVKCrc_AddShort(f.boundary, crc);
    crc = DVKCrc_AddShort(f.maxMasterPhoneme, crc);
    for (int i = 0; i < 4; ++i)
        crc = DVKCrc_AddInt(f.crcs[i], crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(f.surfaceEncoding), crc);
    std::string language(f.language.begin(), f.language.end());
    language = language.c_str();
    crc = DVKCrc_AddBytes(language.c_str(), static_cast<int32_t>(language.size()) + 1, crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(f.nonCJK), crc);
    return DVKCrc_AddInt(static_cast<uint32_t>(f.tokenizeType), crc);
}

namespace detail {

// A record's bytes as segments: word part (through W), pron part (through
// P), raw values (never coded).
struct Segments {
    std::vector<uint8_t> word, pron, raw;
};

// Up to the free byte values of the segments' kind, the most frequent byte
// pairs become codes; greedy replacement left to right inside each segment.
inline void compress(std::vector<std::vector<uint8_t>*> parts, std::vector<uint8_t>& classes,
                     std::vector<uint16_t>& offsets, std::vector<uint8_t>& book)
{
    std::array<bool, 256> used{};
    std::map<std::pair<uint8_t, uint8_t>, int> pairs;
    for (auto* p : parts) {
        for (size_t i = 0; i < p->size(); ++i) {
            used[(*p)[i]] = true;
            if (i + 1 < p->size())
                ++pairs[{(*p)[i], (*p)[i + 1]}];
        }
    }
    std::vector<std::pair<int, std::pair<uint8_t, uint8_t>>> ranked;
    for (auto& [pair, n] : pairs)
        if (n > 1)
            ranked.push_back({-n, pair});
    std::sort(ranked.begin(), ranked.end());
    std::map<std::pair<uint8_t, uint8_t>, uint8_t> codeOf;
    offsets.assign(257, 0);
    book.clear();
    size_t next = 0;
    for (int b = 255; b >= 1 && next < ranked.size(); --b) {
        if (used[static_cast<size_t>(b)])
            continue;
        codeOf[ranked[next++].second] = static_cast<uint8_t>(b);
    }
    // Offsets in byte order of the codes.
    for (int b = 0; b < 256; ++b) {
        offsets[static_cast<size_t>(b)] = static_cast<uint16_t>(book.size());
        for (auto& [pair, code] : codeOf)
            if (code == b) {
                classes[static_cast<size_t>(b)] = 2;
                book.push_back(pair.first);
                book.push_back(pair.second);
            }
    }
    offsets[256] = static_cast<uint16_t>(book.size());
    for (auto* p : parts) {
        std::vector<uint8_t> out;
        for (size_t i = 0; i < p->size(); ++i) {
            auto it = i + 1 < p->size() ? codeOf.find({(*p)[i], (*p)[i + 1]}) : codeOf.end();
            if (it != codeOf.end()) {
                out.push_back(it->second);
                ++i;
            } else {
                out.push_back((*p)[i]);
            }
        }
        *p = out;
    }
}

inline void useGiven(std::vector<std::vector<uint8_t>*> parts, const GivenBook& given, std::vector<uint8_t>& classes,
                     std::vector<uint16_t>& offsets, std::vector<uint8_t>& book)
{
    offsets.assign(257, 0);
    book.clear();
    for (int b = 0; b < 256; ++b) {
        offsets[static_cast<size_t>(b)] = static_cast<uint16_t>(book.size());
        for (const auto& [code, bytes] : given)
            if (code == b) {
                classes[static_cast<size_t>(b)] = 2;
                book.insert(book.end(), bytes.begin(), bytes.end());
            }
    }
    offsets[256] = static_cast<uint16_t>(book.size());
    for (auto* p : parts) {
        std::vector<uint8_t> out;
        for (size_t i = 0; i < p->size();) {
            const std::pair<uint8_t, std::vector<uint8_t>>* best = nullptr;
            for (const auto& entry : given) {
                const auto& bytes = entry.second;
                if (!bytes.empty() && i + bytes.size() <= p->size() &&
                    std::equal(bytes.begin(), bytes.end(), p->begin() + static_cast<long>(i)) &&
                    (best == nullptr || bytes.size() > best->second.size()))
                    best = &entry;
            }
            if (best != nullptr) {
                out.push_back(best->first);
                i += best->second.size();
            } else {
                out.push_back((*p)[i++]);
            }
        }
        *p = out;
    }
}

inline void little(std::vector<uint8_t>& out, uint32_t v, int32_t width)
{
    for (int32_t i = 0; i < width; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

} // namespace detail

inline Fields build(const std::vector<Word>& words, const Options& o = {})
{
    std::vector<word_lists::Word> plainWords;
    for (const Word& w : words)
        plainWords.push_back(w.word);
    // The plain writer's fields give the order, keys, codes and spoken forms.
    const word_lists::Fields plain = word_lists::build(plainWords, o.list);
    const std::vector<size_t> order = word_lists::order(plainWords, o.list);
    Fields f;
    f.wordCount = plain.wordCount;
    f.classWidth = o.classWidth;
    f.posWidth = o.posWidth;
    f.affixWidth = o.affixWidth;
    f.semanticWidth = o.semanticWidth;
    f.classBase = o.classBase;
    f.classDefault = o.classDefault;
    f.unigramBase = o.unigramBase;
    f.unigramDefault = o.unigramDefault;
    f.posBase = o.posBase;
    f.affixBase = o.affixBase;
    f.semanticBase = o.semanticBase;
    f.maxSurface = plain.maxSurface;
    f.maxSpoken = plain.maxSpoken;
    f.maxMaster = plain.maxMaster;
    f.maxRecog = plain.maxRecog;
    f.maxProns = std::max(plain.maxProns, 1);
    f.blockShift = o.blockShift;
    f.maxRecogPhoneme = plain.maxRecogPhoneme;
    f.maxMasterPhoneme = plain.maxMasterPhoneme;
    f.phonemeWidth = o.phonemeWidth;
    f.phonemeEnd = o.phonemeEnd != 0 ? o.phonemeEnd : static_cast<int32_t>(plain.maxMasterPhoneme) + 1;
    f.marker = plain.marker;
    f.surfaceEncoding = plain.surfaceEncoding;
    f.spokenEncoding = plain.spokenEncoding;
    f.language = plain.language;
    f.tokenizeType = plain.tokenizeType;
    f.boundary = plain.boundary;
    f.nonCJK = Language_IsNonCJKLanguage(o.list.language) ? 1 : 0;
    f.names = plain.names;
    f.genders = plain.genders;
    f.genderLength = plain.genderLength;
    f.spokenIndexFlag = plain.spokenIndexFlag;
    f.spokenIndex = plain.spokenIndex;
    f.spokenIndexLength = plain.spokenIndexLength;

    std::vector<detail::Segments> records;
    std::vector<uint8_t> previous;
    const uint32_t perBlock = 1u << o.blockShift;
    for (int32_t id = 0; id < plain.wordCount; ++id) {
        const Word& w = words[order[static_cast<size_t>(id)]];
        detail::Segments seg;
        // Encoded afresh rather than read through the plain text offsets,
        // which are 16 bits wide and wrap beyond 64 KiB of text.
        const std::vector<uint8_t> key = word_lists::encoded(w.word.surface, f.nonCJK, o.list.encoding, o.list.language);
        const std::vector<uint8_t> spoken = word_lists::encoded(w.word.spoken, 0, o.list.encoding);
        if (id % static_cast<int32_t>(perBlock) == 0)
            previous.clear();
        size_t shared = 0;
        while (shared < previous.size() && shared < key.size() && shared < 31 && previous[shared] == key[shared])
            ++shared;
        seg.word.insert(seg.word.end(), key.begin() + static_cast<long>(shared), key.end());
        seg.word.push_back(static_cast<uint8_t>(shared));
        previous = key;
        if (f.nonCJK) {
            const int32_t code = w.code >= 0 ? w.code : plain.codes[static_cast<size_t>(id)];
            seg.word.push_back(static_cast<uint8_t>(code));
            if (code == 16) {
                const std::vector<uint8_t> exact =
                    word_lists::encoded(w.word.surface, 0, o.list.encoding, o.list.language);
                seg.word.insert(seg.word.end(), exact.begin(), exact.end());
                seg.word.push_back(0);
            }
        }
        const bool stored = !w.word.prons.empty();
        const int32_t flags = (spoken.empty() ? 0 : 1) | (stored ? 2 : 0) | (w.unigram ? 4 : 0) |
                              (w.classId ? 8 : 0) | (w.attributes ? 16 : 0) | (w.affix ? 32 : 0) |
                              (w.semantic ? 64 : 0);
        seg.word.push_back(static_cast<uint8_t>(flags));
        if (!spoken.empty()) {
            seg.word.insert(seg.word.end(), spoken.begin(), spoken.end());
            seg.word.push_back(0);
        }
        const bool marker = f.marker != 0xFFFF;
        auto pos = [&](size_t k) {
            if (o.posWidth == 0)
                return;
            seg.pron.push_back(k < w.synthesis.size() ? w.synthesis[k] : 1);
            detail::little(seg.pron, k < w.posIds.size() ? w.posIds[k] : 0, o.posWidth);
        };
        if (!stored) {
            if (marker)
                seg.pron.push_back(w.word.marker);
            pos(0);
        } else {
            std::vector<uint8_t> body;
            const std::vector<uint16_t>* before = nullptr;
            for (size_t k = 0; k < w.word.prons.size(); ++k) {
                std::swap(body, seg.pron);
                pos(k);
                std::swap(body, seg.pron);
                const auto& p = w.word.prons[k];
                size_t same = 0;
                while (before != nullptr && same < before->size() && same < p.size() && (*before)[same] == p[same])
                    ++same;
                for (size_t i = same; i < p.size(); ++i)
                    detail::little(body, p[i], o.phonemeWidth);
                detail::little(body, static_cast<uint32_t>(f.phonemeEnd) + static_cast<uint32_t>(same), o.phonemeWidth);
                before = &p;
            }
            if (w.word.prons.size() == 1 && marker && w.word.marker < 255) {
                seg.pron.push_back(w.word.marker);
            } else if (w.word.prons.size() == 1 && !marker && body[0] != 255) {
                // The first byte already belongs to the pron.
            } else {
                seg.pron.push_back(255);
                seg.pron.push_back(static_cast<uint8_t>(w.word.prons.size()));
                if (marker)
                    seg.pron.push_back(w.word.marker);
            }
            seg.pron.insert(seg.pron.end(), body.begin(), body.end());
        }
        if (w.unigram)
            detail::little(seg.raw, *w.unigram, 1);
        if (w.classId)
            detail::little(seg.raw, *w.classId, o.classWidth);
        if (w.attributes)
            detail::little(seg.raw, *w.attributes, 1);
        if (w.affix)
            detail::little(seg.raw, *w.affix, o.affixWidth);
        if (w.semantic)
            detail::little(seg.raw, *w.semantic, o.semanticWidth);
        records.push_back(std::move(seg));
    }
    std::vector<std::vector<uint8_t>*> wordParts, pronParts;
    for (auto& r : records) {
        wordParts.push_back(&r.word);
        pronParts.push_back(&r.pron);
    }
    if (o.bookW == Book::Automatic)
        detail::compress(wordParts, f.wordClasses, f.bookWOffsets, f.bookW);
    if (o.bookP == Book::Automatic)
        detail::compress(pronParts, f.pronClasses, f.bookPOffsets, f.bookP);
    if (o.bookW == Book::Given)
        detail::useGiven(wordParts, o.givenW, f.wordClasses, f.bookWOffsets, f.bookW);
    if (o.bookP == Book::Given)
        detail::useGiven(pronParts, o.givenP, f.pronClasses, f.bookPOffsets, f.bookP);
    for (size_t id = 0; id < records.size(); ++id) {
        if (id % perBlock == 0)
            f.blockOffsets.push_back(static_cast<uint32_t>(f.stream.size()));
        for (auto* part : {&records[id].word, &records[id].pron, &records[id].raw})
            f.stream.insert(f.stream.end(), part->begin(), part->end());
    }
    f.blockOffsets.push_back(static_cast<uint32_t>(f.stream.size()));
    f.offsetCount = static_cast<int32_t>(f.blockOffsets.size());
    f.crcs[4] = staticCRC(f);
    return f;
}

inline bool write(BinFileWriter* w, const Fields& f)
{
    using search_tables::writeArray;
    auto i = [&](int32_t v) { return BinFileWriter_WriteInt(w, v) == 1; };
    auto u = [&](uint32_t v) { return BinFileWriter_WriteUnsignedInt(w, v) == 1; };
    bool ok = i(f.wordCount) && i(f.classWidth) && i(f.posWidth) && i(f.affixWidth) && i(f.semanticWidth) &&
              writeArray(w, f.wordClasses) && writeArray(w, f.pronClasses) && i(f.offsetCount);
    for (int32_t v : {f.maxSurface, f.maxSpoken, f.maxMaster, f.maxRecog, f.classBase, f.classDefault,
                      f.unigramBase, f.unigramDefault, f.posBase, f.affixBase, f.semanticBase, f.maxProns,
                      f.phonemeEnd, f.blockShift})
        ok = ok && i(v);
    ok = ok && u(f.maxRecogPhoneme) && i(f.phonemeWidth) && u(f.boundary) && u(f.maxMasterPhoneme) &&
         u(f.marker) && i(f.spokenIndexLength);
    for (uint32_t c : f.crcs)
        ok = ok && u(c);
    ok = ok && i(f.surfaceEncoding) && i(f.spokenEncoding);
    for (int32_t v : f.spokenState)
        ok = ok && i(v);
    ok = ok && writeArray(w, f.language) && i(f.tokenizeType) && i(f.genderLength) &&
         writeArray(w, f.blockOffsets) && writeArray(w, f.stream) && writeArray(w, f.bookWOffsets) &&
         writeArray(w, f.bookW) && writeArray(w, f.bookPOffsets) && writeArray(w, f.bookP) && i(f.rewriteFlag);
    if (f.rewriteFlag != 0)
        ok = ok && search_tables::write(w, f.rules);
    std::vector<const char*> names;
    for (const std::string& n : f.names)
        names.push_back(n.c_str());
    ok = ok && writeArray(w, f.genders) &&
         BinFileWriter_WriteStringArray(w, names.data(), static_cast<uint32_t>(names.size())) == 1 &&
         i(f.spokenIndexFlag);
    if (f.spokenIndexFlag != 0)
        ok = ok && writeArray(w, f.spokenIndex);
    return ok;
}

} // namespace compressed_word_lists
