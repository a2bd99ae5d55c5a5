// The seeds of the word-list fuzz target: archives holding "mwl" lists made
// by the word-list writer (the test fixture's words plain, with marker,
// spoken index and gender table, Latin-9, empty) and a damaged one.
#include "tests/brevit/lexicon/word_store_test.h"
#include "tests/support/fuzz_seed_check.h"
#include "tests/support/word_list_writer.h"

#include <string>

namespace {

using WordListFuzzSeeds = WordStoreTest;

std::string archive(const char* name, const word_lists::Fields& f)
{
    ArchiveFixture a(name);
    a.add("mwl", [&](BinFileWriter* w) { return word_lists::write(w, f); });
    a.finish();
    return a.bytes();
}

std::vector<word_lists::Word> words()
{
    return {{u"base", u"", {}, 254},
            {u"eBook", u"", {{1, 2, 0, 0}}, 254},
            {u"New York", u"new york", {{0, 1, 2, 3}}, 1},
            {u"river", u"", {{0, 1, 2, 3, 4}}, 2},
            {u"River", u"", {{4, 3, 2, 1, 0, 0}, {1, 2}}, 254},
            {u"RSVP", u"r s v p", {{2, 2, 1, 1}}, 254}};
}

TEST_F(WordListFuzzSeeds, CommittedSeedsAreWhatTheWriterWrites)
{
    word_lists::Options full;
    full.marker = 4;
    full.spokenIndex = true;
    full.genders = {0, 1, 2, 2, 2};
    word_lists::Options latin;
    latin.encoding = 5;
    word_lists::Fields damaged = word_lists::build(words());
    damaged.textOffsets[3] = static_cast<uint16_t>(damaged.textPoolLength - 1);
    const std::pair<const char*, word_lists::Fields> seeds[] = {
        {"plain", word_lists::build(words())},
        {"full", word_lists::build(words(), full)},
        {"latin9", word_lists::build({{u"Œuvre", u"", {{0, 1}}, 254}, {u"šal", u"", {{2}}, 254}}, latin)},
        {"empty", word_lists::build({})},
        {"damaged", damaged}};
    for (const auto& [name, fields] : seeds)
        checkFuzzSeed("brevit_word_list", name, archive(name, fields));
}

} // namespace
