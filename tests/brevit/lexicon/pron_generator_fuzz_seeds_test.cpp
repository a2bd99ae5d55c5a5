// The seeds of the letter-to-sound fuzz target: archives of the toy model,
// the toy with compound data and with a phone rewrite, a damaged toy, the
// Korean, Chinese and Japanese toys, and selector and script-split
// generators nested in each other, made by the "bpm0" writer.
#include "tests/brevit/search/table_test.h"
#include "tests/support/archive_fixture.h"
#include "tests/support/fuzz_seed_check.h"
#include "tests/support/pron_generator_writer.h"

#include <string>

namespace {

using namespace pron_generator;

template <typename AnyFields>
std::string archive(const char* name, const AnyFields& f)
{
    ArchiveFixture a(name);
    a.add("bpm0", [&](BinFileWriter* w) { return write(w, f); });
    a.finish();
    return a.bytes();
}

using GeneratorFuzzSeeds = TableTest;

TEST_F(GeneratorFuzzSeeds, CommittedSeedsAreWhatTheWriterMakes)
{
    Fields compound = toyCompoundModel();
    compound.tripleCodes = 1;
    Fields rewrite = toyModel();
    rewrite.common.phoneRewrite = search_tables::phoneRewrite({{{Z}, {S, S}}, {{B}, {B}}}, 11, 0, 2);
    rewrite.common.phoneRewriteFlag = 1;
    Fields damaged = toyModel();
    damaged.stressSets[3] = 2;
    const char* target = "brevit_pron_generator";
    checkFuzzSeed(target, "toy", archive("toy.dvk", toyModel()));
    checkFuzzSeed(target, "compound", archive("compound.dvk", compound));
    checkFuzzSeed(target, "phone_rewrite", archive("rewrite.dvk", rewrite));
    checkFuzzSeed(target, "damaged", archive("damaged.dvk", damaged));

    ChineseFields dense = chineseToy();
    dense.keys.clear();
    dense.keyCount = 0;
    dense.first = 0x4E00;
    dense.last = 0x4E0D;
    dense.readings = {1, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 0, 2};
    JapaneseFields vowels = japaneseToy();
    vowels.common.vowelClass = 1;
    vowels.common.classRewrite = search_tables::rewrites({{}, {{3001, 3005}}});
    checkFuzzSeed(target, "korean", archive("korean.dvk", koreanToy()));
    checkFuzzSeed(target, "chinese", archive("chinese.dvk", chineseToy()));
    checkFuzzSeed(target, "chinese_dense", archive("chinese_dense.dvk", dense));
    checkFuzzSeed(target, "japanese", archive("japanese.dvk", vowels));
    checkFuzzSeed(target, "selector", archive("selector.dvk", selectorToy(0)));
    checkFuzzSeed(target, "script_split", archive("script.dvk", scriptToy()));
    checkFuzzSeed(target, "nested",
                  archive("nested.dvk", selector(2, {nest(scriptToy()), nest(selector(1, {nest(chineseToy()),
                                                                                            nest(scriptToy())}))})));
}

} // namespace
