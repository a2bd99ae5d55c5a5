// The seeds of the language table fuzz target: a selector byte (0 "blid0",
// 1 "bep0") followed by an archive made by the writers, whole and damaged.
#include "core/brevit/search/lid.h"
#include "core/brevit/search/text_pron_table.h"
#include "tests/brevit/search/language_table_samples.h"
#include "tests/brevit/search/table_test.h"
#include "tests/support/archive_fixture.h"
#include "tests/support/fuzz_seed_check.h"

#include <string>

namespace {

using namespace language_samples;

template <typename Fields>
std::string seed(char selector, const char* tag, const char* name, const Fields& f)
{
    ArchiveFixture archive(std::string(name) + ".dvk");
    archive.add(tag, [&](BinFileWriter* w) { return language_tables::write(w, f); });
    archive.finish();
    return std::string(1, selector) + archive.bytes();
}

using LanguageTablesFuzzSeeds = TableTest;

TEST_F(LanguageTablesFuzzSeeds, CommittedSeedsAreWhatTheWritersMake)
{
    LIDFields deep = byteModel(previousTree());
    LIDFields damaged = byteModel();
    damaged.tree = centreTree(3);
    BepFields cut = sample();
    cut.entries[0].flags.pop_back();
    const std::string target = "brevit_language_tables";
    checkFuzzSeed(target, "blid_bytes", seed('\0', kLIDSubFileTag, "blid_bytes", byteModel()));
    checkFuzzSeed(target, "blid_utf8", seed('\0', kLIDSubFileTag, "blid_utf8", utf8Model()));
    checkFuzzSeed(target, "blid_previous", seed('\0', kLIDSubFileTag, "blid_previous", deep));
    checkFuzzSeed(target, "blid_damaged", seed('\0', kLIDSubFileTag, "blid_damaged", damaged));
    checkFuzzSeed(target, "bep", seed('\1', kTextPronSubFileTag, "bep", sample()));
    checkFuzzSeed(target, "bep_damaged", seed('\1', kTextPronSubFileTag, "bep_damaged", cut));
}

} // namespace
