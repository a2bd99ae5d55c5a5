// Seeds of the decoder fuzz target: "bdec0/bd0" of every kind the loader
// sees, and records cut short.
#include "tests/brevit/search/decoder/decoder_test.h"

#include "tests/support/archive_fixture.h"
#include "tests/support/fuzz_seed_check.h"

#include <string>
#include <vector>

namespace {

std::string decoderArchive(const std::string& name, const std::vector<int32_t>& record)
{
    ArchiveFixture archive(name + ".dvk");
    archive.add("bd0", [&](BinFileWriter* w) {
        bool ok = true;
        for (int32_t v : record)
            ok = ok && BinFileWriter_WriteInt(w, v) == 1;
        return ok;
    }, "bdec0/");
    archive.finish();
    return archive.bytes();
}

class DecoderFuzzSeedsTest : public DecoderTest {};

TEST_F(DecoderFuzzSeedsTest, SeedsAreCurrent)
{
    checkFuzzSeed("brevit_decoder", "kind1", decoderArchive("kind1", {1, 0}));
    checkFuzzSeed("brevit_decoder", "kind3", decoderArchive("kind3", {3, 20}));
    checkFuzzSeed("brevit_decoder", "kind7", decoderArchive("kind7", {7, 10}));
    checkFuzzSeed("brevit_decoder", "kind8", decoderArchive("kind8", {8, 0}));
    checkFuzzSeed("brevit_decoder", "kind9", decoderArchive("kind9", {9, 0}));
    checkFuzzSeed("brevit_decoder", "cut", decoderArchive("cut", {8}));
}

} // namespace
