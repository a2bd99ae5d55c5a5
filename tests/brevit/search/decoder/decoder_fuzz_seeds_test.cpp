// Seeds of the decoder fuzz target: "bdec0/bd0" of every kind the loader
// sees, and records cut short.
#include "tests/brevit/search/decoder/decoder_test.h"

#include "tests/support/archive_fixture.h"
#include "core/brevit/lexicon/pron_cache.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "tests/support/fuzz_seed_check.h"
#include "tests/support/linear_chain_fixture.h"

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

using Words = std::vector<std::pair<int, uint32_t>>;

TEST_F(DecoderFuzzSeedsTest, SeedsAreCurrent)
{
    checkFuzzSeed("brevit_decoder", "kind1", decoderArchive("kind1", {1, 0}));
    checkFuzzSeed("brevit_decoder", "kind3", decoderArchive("kind3", {3, 20}));
    checkFuzzSeed("brevit_decoder", "kind7", decoderArchive("kind7", {7, 10}));
    checkFuzzSeed("brevit_decoder", "kind8", decoderArchive("kind8", {8, 0}));
    checkFuzzSeed("brevit_decoder", "kind9", decoderArchive("kind9", {9, 0}));
    checkFuzzSeed("brevit_decoder", "cut", decoderArchive("cut", {8}));
}

// A kind-3 decoder with its saved pron cache under the same prefix.
TEST_F(DecoderFuzzSeedsTest, LinearChainStateSeedIsCurrent)
{
    std::string bytes;
    {
        const Words saved = {{kBrevitParamSavePronCache, 1}};
        LinearChainFixture f(2, saved);
        LinChDecoder* d = f.decoder();
        ASSERT_EQ(f.uttInit(d, {f.wholeVocabulary()}), 1);
        for (uint16_t pron = 0; pron < 5; ++pron) {
            const uint16_t* phonemes = nullptr;
            const uint16_t* expanded = nullptr;
            int32_t length = 0;
            PronCache_GetPronInfo(d->pronCache, pron, &phonemes, &expanded, &length);
        }
        ArchiveFixture archive("kind3state.dvk");
        // The vocabulary the saved cache belongs to, as the fuzz target loads it.
        ASSERT_TRUE(vocabulary_fixture::write(archive.tar(), vocabulary_fixture::defaultWords(),
                                              linear_chain_fixture::options(saved)));
        archive.add("bd0", [&](BinFileWriter* w) {
            return BinFileWriter_WriteInt(w, 3) == 1 && BinFileWriter_WriteInt(w, 10) == 1;
        }, "bdec0/");
        ASSERT_EQ(Decoder_WritePSAFile(&d->base, archive.tar(), "bdec0/"), 1);
        archive.finish();
        bytes = archive.bytes();
    }
    DVKTempMem_DeleteMemStack();
    checkFuzzSeed("brevit_decoder", "kind3state", bytes);
}

} // namespace
