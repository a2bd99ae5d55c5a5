// The sub-files of a vocabulary for tests, benchmarks and fuzz seeds: a
// word table (surface, spoken, prons by phoneme name, statically active or
// not) and options become "voc", "mwl" and "bacm0", with "bpm0" (the toy
// letter-to-sound model), "pm0", "bep0" and a supplementary "xmwl" when
// asked, all by the writers of their own components; and the parameter
// block a vocabulary of them loads under. The word lists are written in the
// plain store's form or, when asked, the compressed one's.
//
// Header-only and free of the test framework. Needs an engine context
// while writing.
#pragma once

#include "core/brevit/lexicon/active_word_list.h"
#include "core/brevit/lexicon/pron_generator.h"
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/bin_file_writer.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/support/active_word_list_writer.h"
#include "tests/support/compressed_word_list_writer.h"
#include "tests/support/language_table_writers.h"
#include "tests/support/param_block_builder.h"
#include "tests/support/pos_model_writer.h"
#include "tests/support/pron_generator_writer.h"
#include "tests/support/word_list_writer.h"

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace vocabulary_fixture {

struct WordSpec {
    std::u16string surface;
    std::u16string spoken;
    std::vector<std::string> prons;   // phoneme names separated by spaces
    bool active = true;               // statically active
};

// Ids 1-10 are the toy generator's phonemes (1 stress, 2 syllable), so
// what it generates reads with these names.
inline const std::vector<std::string> kPhonemes = {
    "h#", "'", ".", "AA", "EH", "B", "K", "S", "Z", "IY", "T",
    "N",  "UW", "Y", "AO", "R", "IH", "V", "ER", "L", "D", "EY"};

struct Options {
    std::vector<std::string> phonemes = kPhonemes;
    const char* language = "enus";
    int32_t encoding = 3;
    uint16_t marker = 0xFFFF;
    bool generator = false;    // "bpm0": the toy tree model
    int32_t tokenizeType = 0;  // the list's own (type 1)
    uint32_t boundary = 0;     // the list's character-set boundary phoneme
    bool posModel = false;     // "pm0"
    std::vector<pos_model::Fields> posOwnModel;   // "pm0" of these fields instead of posFields()
    bool textPron = false;     // "bep0"
    std::vector<WordSpec> supplementary;   // "xmwl" when not empty
    bool compressed = false;   // both lists in the compressed store (word 722 = 1)
    uint32_t supplementaryMasterSetCRC = 0x22;   // the main list's is 0x22
    active_words::Form form = active_words::Form::Contiguous;
    std::string prefix;
    std::vector<uint8_t> vocFlags;   // empty: derived (6 bytes)
    // Parameter words over the preset.
    std::vector<std::pair<int, uint32_t>> params;
};

// Ids in key order: 0 "call", 1 "New York", 2 "river" (three prons), all
// active (prons 0, 1, 2-4); 3 "zed" (two prons), not active.
inline std::vector<WordSpec> defaultWords()
{
    return {{u"call", u"", {"K AO L"}, true},
            {u"New York", u"new york", {"N UW Y AO R K"}, true},
            {u"river", u"", {"R IH V ER", "R IY V ER", "R IH V ER Z"}, true},
            {u"zed", u"", {"Z EH D", "Z IY"}, false}};
}

// The word list of the tokenizer and phrase checks: "New York" (spoken "new
// york"), New, York, John, a, b, 東, 3, 5 and "." three times (spoken
// period, dot, point).
inline std::vector<WordSpec> tokenizerWords()
{
    return {{u"New York", u"new york", {"N UW Y AO R K"}, true},
            {u"New", u"", {"N UW"}, true},
            {u"York", u"", {"Y AO R K"}, true},
            {u"John", u"", {"Z AA N"}, true},
            {u"a", u"", {"EY"}, true},
            {u"b", u"", {"B IY"}, true},
            {u"\u6771", u"", {"T AO"}, true},
            {u"3", u"", {"T R IY"}, true},
            {u"5", u"", {"V AA EH V"}, true},
            {u".", u"period", {"V IY R IH AA D"}, true},
            {u".", u"dot", {"D AA T"}, true},
            {u".", u"point", {"V AO EH N T"}, true}};
}

inline std::vector<uint16_t> pronOf(const std::string& names, const std::vector<std::string>& phonemes)
{
    std::vector<uint16_t> pron;
    std::istringstream in(names);
    std::string name;
    while (in >> name) {
        uint16_t id = 0xFFFE;   // unknown names stay unknown ids
        for (size_t k = 0; k < phonemes.size(); ++k)
            if (phonemes[k] == name)
                id = static_cast<uint16_t>(k);
        pron.push_back(id);
    }
    return pron;
}

inline std::string namesOf(const uint16_t* pron, const std::vector<std::string>& phonemes = kPhonemes)
{
    std::string out;
    for (; *pron != kPGPronEnd; ++pron) {
        if (!out.empty())
            out += ' ';
        out += *pron < phonemes.size() ? phonemes[*pron] : std::to_string(*pron);
    }
    return out;
}

inline std::vector<word_lists::Word> listedWords(const std::vector<WordSpec>& words, const Options& o)
{
    std::vector<word_lists::Word> listed;
    for (const WordSpec& w : words) {
        word_lists::Word word{w.surface, w.spoken, {}, 254};
        for (const std::string& p : w.prons)
            word.prons.push_back(pronOf(p, o.phonemes));
        listed.push_back(word);
    }
    return listed;
}

inline word_lists::Options listOptions(const Options& o)
{
    word_lists::Options lo;
    lo.language = o.language;
    lo.encoding = o.encoding;
    lo.marker = o.marker;
    lo.tokenizeType = o.tokenizeType;
    lo.boundary = o.boundary;
    lo.names = o.phonemes;
    return lo;
}

inline word_lists::Fields wordListFields(const std::vector<WordSpec>& words, const Options& o)
{
    return word_lists::build(listedWords(words, o), listOptions(o));
}

// The same words in the compressed form: blocks of two, no code books, the
// header values of the plain list.
inline compressed_word_lists::Fields compressedListFields(const std::vector<WordSpec>& words, const Options& o,
                                                          uint32_t masterSetCRC)
{
    std::vector<compressed_word_lists::Word> listed;
    for (const word_lists::Word& w : listedWords(words, o)) {
        compressed_word_lists::Word c;
        c.word = w;
        listed.push_back(c);
    }
    compressed_word_lists::Options co;
    co.list = listOptions(o);
    compressed_word_lists::Fields f = compressed_word_lists::build(listed, co);
    f.crcs[1] = masterSetCRC;
    f.crcs[4] = compressed_word_lists::staticCRC(f);
    return f;
}

// The static part of the active list: the active words in key order.
inline active_words::Fields activeFields(const std::vector<WordSpec>& words, const Options& o)
{
    // Key order of the words as the list stores them.
    std::vector<std::pair<std::vector<uint8_t>, const WordSpec*>> keyed;
    const bool nonCJK = Language_IsNonCJKLanguage(o.language);
    for (const WordSpec& w : words)
        keyed.push_back({word_lists::encoded(w.surface, nonCJK ? 1 : 0, o.encoding, o.language), &w});
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<uint32_t> ids;
    std::vector<int> prons;
    for (uint32_t id = 0; id < keyed.size(); ++id)
        if (keyed[id].second->active) {
            ids.push_back(id);
            prons.push_back(static_cast<int>(keyed[id].second->prons.size()));
        }
    active_words::Options ao;
    ao.form = o.form;
    return active_words::build(ids, prons, ao);
}

inline pos_model::Fields posFields()
{
    std::vector<uint16_t> map;
    for (uint16_t k = 0; k <= 22; ++k)
        map.push_back(static_cast<uint16_t>(k + 100));
    return pos_model::model(3, {{u'a', {u"a"}}, {u'e', {u"e"}}, {u'i', {u"i"}}}, {10, 11, 12, 13},
                            {{u"ing", 1, 20}}, {{2, 0, 1}}, map);
}

// "digits": "1" K, "2" T (no separator, mark or boundary).
inline language_tables::BepFields textPronFields()
{
    return language_tables::bepTable(
        {language_tables::bepEntry("digits", 0, 0, 0, {}, {{u"1", {6}}, {u"2", {10}}})});
}

inline ParamBlockBuilder params(const Options& o = {})
{
    ParamBlockBuilder b;
    b.word(kBrevitParamCompressedStore, o.compressed ? kMWLStoreCompressed : kMWLStorePlain)
        .word(kBrevitParamExpansionPool, 40)
        .word(kBrevitParamMasterPhonemeSlots, 4)
        .word(kBrevitParamRecogPhonemeSlots, 4)
        .word(kBrevitParamKeepPronunciations, 1)
        .word(kBrevitParamRunTimeWordPages, 4)
        .real(kBrevitParamRunTimeWordScale, 2.0)
        .word(kBrevitParamFirstPronCache, 1);
    for (const auto& [word, value] : o.params)
        b.word(word, value);
    return b;
}

template <typename Fill>
bool writeSubFile(DVKTar* tar, const char* tag, const std::string& prefix, Fill fill)
{
    BinFileWriter* w = BinFileWriter_Create(tar, tag, prefix.empty() ? nullptr : prefix.c_str());
    if (w == nullptr)
        return false;
    const bool filled = fill(w);
    return BinFileWriter_Delete(w) == 0 && filled;
}

// One word list as the sub-file tag in the store the options name.
inline bool writeList(DVKTar* tar, const char* tag, const std::vector<WordSpec>& words, const Options& o,
                      uint32_t masterSetCRC)
{
    if (o.compressed) {
        const compressed_word_lists::Fields f = compressedListFields(words, o, masterSetCRC);
        return writeSubFile(tar, tag, o.prefix, [&](BinFileWriter* w) { return compressed_word_lists::write(w, f); });
    }
    word_lists::Fields f = wordListFields(words, o);
    f.crcs[1] = masterSetCRC;
    return writeSubFile(tar, tag, o.prefix, [&](BinFileWriter* w) { return word_lists::write(w, f); });
}

// Every sub-file of the vocabulary into a writable archive.
inline bool write(DVKTar* tar, const std::vector<WordSpec>& words = defaultWords(), const Options& o = {})
{
    std::vector<uint8_t> flags = o.vocFlags;
    if (flags.empty())
        flags = {static_cast<uint8_t>(o.generator ? 1 : 0), 0, 0, 0, static_cast<uint8_t>(o.posModel ? 1 : 0), 0};
    const active_words::Fields active = activeFields(words, o);
    bool ok = writeSubFile(tar, kVocSubFileTag, o.prefix, [&](BinFileWriter* w) {
                  return search_tables::writeArray(w, flags);
              }) &&
              writeList(tar, "mwl", words, o, 0x22) &&
              writeSubFile(tar, kAWLSubFileTag, o.prefix,
                           [&](BinFileWriter* w) { return active_words::write(w, active); });
    if (ok && o.generator)
        ok = writeSubFile(tar, kPGSubFileTag, o.prefix,
                          [&](BinFileWriter* w) { return pron_generator::write(w, pron_generator::toyModel()); });
    if (ok && o.posModel)
        ok = writeSubFile(tar, "pm0", o.prefix, [&](BinFileWriter* w) { return pos_model::write(w, o.posOwnModel.empty() ? posFields() : o.posOwnModel[0]); });
    if (ok && o.textPron)
        ok = writeSubFile(tar, "bep0", o.prefix,
                          [&](BinFileWriter* w) { return language_tables::write(w, textPronFields()); });
    if (ok && !o.supplementary.empty()) {
        ok = writeList(tar, "xmwl", o.supplementary, o, o.supplementaryMasterSetCRC);
    }
    return ok;
}

} // namespace vocabulary_fixture
