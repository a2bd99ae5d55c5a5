// The seeds of the compressed word-list fuzz target: archives holding "mwl"
// lists made by the compressed writer (plain settings; both code books with
// wide phonemes, part-of-speech ids, per-word values and a spoken index;
// empty) and a damaged one.
#include "tests/brevit/lexicon/word_store_test.h"
#include "tests/support/compressed_word_list_writer.h"
#include "tests/support/fuzz_seed_check.h"

#include <string>

namespace {

using CompressedWordListFuzzSeeds = WordStoreTest;

std::string archive(const char* name, const compressed_word_lists::Fields& f)
{
    ArchiveFixture a(name);
    a.add("mwl", [&](BinFileWriter* w) { return compressed_word_lists::write(w, f); });
    a.finish();
    return a.bytes();
}

std::vector<compressed_word_lists::Word> words()
{
    const std::vector<word_lists::Word> plain = {{u"base", u"", {}, 254},
                                                 {u"eBook", u"", {{1, 2, 0, 0}}, 254},
                                                 {u"New York", u"new york", {{0, 1, 2, 3}}, 1},
                                                 {u"river", u"", {{0, 1, 2, 3, 4}}, 2},
                                                 {u"River", u"", {{4, 3, 2, 1, 0, 0}, {4, 3}}, 254},
                                                 {u"RSVP", u"r s v p", {{2, 2, 1, 1}}, 254}};
    std::vector<compressed_word_lists::Word> out;
    for (const auto& w : plain) {
        compressed_word_lists::Word c;
        c.word = w;
        out.push_back(c);
    }
    out[3].classId = 300;
    out[3].unigram = 7;
    out[4].posIds = {258, 3};
    out[4].synthesis = {1, 0};
    return out;
}

TEST_F(CompressedWordListFuzzSeeds, CommittedSeedsAreWhatTheWriterWrites)
{
    compressed_word_lists::Options plain;
    plain.list.rules = false;
    compressed_word_lists::Options full = plain;
    full.blockShift = 2;
    full.bookW = compressed_word_lists::Book::Automatic;
    full.bookP = compressed_word_lists::Book::Automatic;
    full.phonemeWidth = 2;
    full.posWidth = 2;
    full.list.marker = 4;
    full.list.spokenIndex = true;
    full.list.genders = {0, 1, 2, 2, 2};
    compressed_word_lists::Fields damaged = compressed_word_lists::build(words(), plain);
    damaged.stream[damaged.stream.size() / 2] ^= 0x5A;
    const std::pair<const char*, compressed_word_lists::Fields> seeds[] = {
        {"plain", compressed_word_lists::build(words(), plain)},
        {"full", compressed_word_lists::build(words(), full)},
        {"empty", compressed_word_lists::build({}, plain)},
        {"damaged", damaged}};
    for (const auto& [name, fields] : seeds)
        checkFuzzSeed("brevit_word_list_compressed", name, archive(name, fields));
}

} // namespace
