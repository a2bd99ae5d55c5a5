// The seeds of the word store fuzz target: archives holding "bmd1" of a
// filled store (marker, exact texts, added phonemes, a static word's pron),
// an empty one, one of 300 words and a damaged one, all written by the store
// itself with the settings the target reads them with.
#include "tests/brevit/lexicon/word_store_test.h"
#include "tests/support/fuzz_seed_check.h"

#include <string>

namespace {

using WordStoreFuzzSeeds = WordStoreTest;

std::string archive(const char* name, const std::string& bmd1)
{
    ArchiveFixture a(name);
    a.addBytes(kMWLDynamicSubFileTag, bmd1);
    a.finish();
    return a.bytes();
}

TEST_F(WordStoreFuzzSeeds, CommittedSeedsAreWhatTheStoreWrites)
{
    const std::string filled = written(filledStore());
    MWLDynamic* many = create({.marker = 45});
    for (int i = 0; i < 300; ++i)
        add(many, u"w" + std::u16string{static_cast<char16_t>(u'a' + i / 26), static_cast<char16_t>(u'a' + i % 26)},
            {{5, static_cast<uint16_t>(i % 40)}}, i % 3 == 0 ? u"spoken" : nullptr, i % 2);
    std::string damaged = filled;
    damaged[13 * 4] = static_cast<char>(damaged[13 * 4] - 1);   // the text bytes end inside a word
    const std::string seeds[][2] = {{"filled", archive("filled.dvk", filled)},
                                    {"empty", archive("empty.dvk", written(create({.marker = 45})))},
                                    {"many", archive("many.dvk", written(many))},
                                    {"damaged", archive("damaged.dvk", damaged)}};
    for (const auto& [name, bytes] : seeds) {
        checkFuzzSeed("brevit_word_store", name, bytes);
        // The target's store takes every whole seed.
        ArchiveFixture image("image.dvk");
        MWLDynamic* s = create({.marker = 45});
        EXPECT_EQ(MWLDynamic_ReadPSAFile(s, image.openMapped(bytes), nullptr), name == "damaged" ? 0 : 1) << name;
    }
}

} // namespace
