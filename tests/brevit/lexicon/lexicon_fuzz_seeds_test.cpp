// The seeds of the part-of-speech model fuzz target are archives made by the
// "pm0" writer, whole and damaged.
#include "tests/brevit/search/table_test.h"
#include "tests/support/archive_fixture.h"
#include "tests/support/fuzz_seed_check.h"
#include "tests/support/pos_model_writer.h"

#include <string>

namespace {

std::string posArchive(const char* name, bool damaged)
{
    pos_model::Fields f = pos_model::model(
        3, {{u'a', {u"ai", u"a"}}, {u'e', {u"eau", u"e"}}, {u'i', {u"i"}}}, {10, 11, 12},
        {{u"ing", 1, 20}, {u"un", -1, 21}, {u"x", 5, 99}}, {{2, 0, 2}, {3, 1, 2}, {16, 0, 1}},
        {100, 101, 102});
    if (damaged)
        f.offsets[1] = 1;
    ArchiveFixture archive(name);
    archive.add("pm0", [&](BinFileWriter* w) { return pos_model::write(w, f); });
    archive.finish();
    return archive.bytes();
}

using LexiconFuzzSeeds = TableTest;

TEST_F(LexiconFuzzSeeds, CommittedSeedsAreWhatTheWritersMake)
{
    checkFuzzSeed("brevit_pos_model", "model", posArchive("model.dvk", false));
    checkFuzzSeed("brevit_pos_model", "damaged", posArchive("damaged.dvk", true));
}

} // namespace
