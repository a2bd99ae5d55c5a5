// What the lexical tree fuzz target and the test that makes its seeds share:
// the vocabulary and acoustic model the stored trees and caches are read
// against, and the parameter words in force.
#pragma once

#include "core/brevit/runtime/bin_file_writer.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/support/acoustic_model_records.h"
#include "tests/support/param_block_builder.h"
#include "tests/support/vocabulary_writer.h"

#include <string>
#include <vector>

namespace lexical_tree_fuzz {

// The run-time record's sub-file is "blt0" under this prefix; the model
// file's has none.
inline constexpr const char* kRunTimePrefix = "rt_";

// The model's three phonemes first, so that prons expand to real models.
inline vocabulary_fixture::Options options()
{
    vocabulary_fixture::Options o;
    o.phonemes = {"AA", "EH", "B"};
    for (size_t k = 0; k < vocabulary_fixture::kPhonemes.size(); ++k)
        if (k < 3 || k > 5)
            o.phonemes.push_back(vocabulary_fixture::kPhonemes[k]);
    return o;
}

// Forty words of one or two prons of one to six phonemes.
inline std::vector<vocabulary_fixture::WordSpec> words()
{
    static const char* const names[] = {"AA", "EH", "B", "K", "S"};
    uint32_t state = 132;
    auto next = [&] {
        state = state * 1103515245u + 12345u;
        return (state >> 16) & 0x7FFF;
    };
    std::vector<vocabulary_fixture::WordSpec> out;
    for (int i = 0; i < 40; ++i) {
        vocabulary_fixture::WordSpec w;
        w.surface = u"t";
        w.surface += static_cast<char16_t>(u'a' + i % 26);
        w.surface += static_cast<char16_t>(u'a' + i / 26);
        for (uint32_t p = 0, prons = 1 + next() % 2; p < prons; ++p) {
            std::string pron;
            for (uint32_t k = 0, n = 1 + next() % 6; k < n; ++k)
                pron += (k > 0 ? " " : "") + std::string(names[next() % 5]);
            w.prons.push_back(pron);
        }
        out.push_back(w);
    }
    return out;
}

inline ParamBlockBuilder params()
{
    ParamBlockBuilder b = vocabulary_fixture::params(options());
    b.word(kBrevitParamTreeExpansionDepth, 20)
        .word(kBrevitParamTreeExpansionFanout, 2)
        .word(kBrevitParamSavePronCache, 1)
        .word(kBrevitParamLookahead, 1);
    return b;
}

// The vocabulary's sub-files and the acoustic model "ba0".
inline bool writeModels(DVKTar* tar)
{
    if (!vocabulary_fixture::write(tar, words(), options()))
        return false;
    BinFileWriter* w = BinFileWriter_Create(tar, "ba0", nullptr);
    const bool ok = w != nullptr && acousticModelRecords(AcousticModelSpec{}).write(w);
    return BinFileWriter_Delete(w) == 0 && ok;
}

} // namespace lexical_tree_fuzz
