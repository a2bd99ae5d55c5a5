// The seeds of the letter-to-sound fuzz target: archives of the toy model,
// the toy with compound data and with a phone rewrite, and a damaged toy,
// made by the "bpm0" writer.
#include "tests/brevit/search/table_test.h"
#include "tests/support/archive_fixture.h"
#include "tests/support/fuzz_seed_check.h"
#include "tests/support/pron_generator_writer.h"

#include <string>

namespace {

using namespace pron_generator;

std::string archive(const char* name, const Fields& f)
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
}

} // namespace
