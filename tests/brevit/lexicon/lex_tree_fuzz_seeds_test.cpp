// The seeds of the lexical tree fuzz target: a model file "blt0" of trees
// built from the target's vocabulary, a run-time record and a "bpc0" cache
// written by the production writers, and a damaged copy; each is read back
// as the target reads it.
#include "core/brevit/lexicon/lex_tree.h"
#include "core/brevit/lexicon/pron_cache.h"
#include "fuzz/brevit_lexical_tree/lexical_tree_fuzz.h"
#include "tests/brevit/lexicon/pron_cache_fixture.h"
#include "tests/support/fuzz_seed_check.h"
#include "tests/support/lexical_tree_writer.h"

#include <string>

namespace {

class LexTreeFuzzSeeds : public PronVocabularyTest {};

TEST_F(LexTreeFuzzSeeds, CommittedSeedsAreWhatTheWritersWrite)
{
    VocabularyFixture& v = vocabulary(lexical_tree_fuzz::words());
    ScopedParamBlock params(lexical_tree_fuzz::params());
    Voc* voc = v.voc();
    AM* am = model();
    ASSERT_NE(voc, nullptr);
    ASSERT_NE(am, nullptr);
    LexTree* tree = LexTree_CreateEmpty();
    ASSERT_EQ(LexTree_Build(tree, voc, am, 1), 1);
    const lexical_tree_writer::Spec statics = lexical_tree_writer::fromObject(tree);
    const uint16_t added[] = {1, 4, 7};
    ASSERT_EQ(LexTree_AddPronsToDynamicTree(tree, added, 3, 200, 0), 1);
    PronCache* cache = PronCache_Create(0, 0, 1, 1, 1, voc, am);
    ASSERT_EQ(PronCache_Reserve(cache, 0, 600), 1);
    for (uint16_t id = 0; id < 40; ++id) {
        int32_t length = 0;
        PronCache_GetPronInfo(cache, id, nullptr, nullptr, &length);
        const uint16_t* expanded = nullptr;
        PronCache_GetPronInfo(cache, id, nullptr, &expanded, &length);
    }

    ArchiveFixture archive("seed.dvk");
    BinFileWriter* w = BinFileWriter_Create(archive.tar(), "blt0", nullptr);
    EXPECT_TRUE(lexical_tree_writer::write(w, statics));
    EXPECT_EQ(BinFileWriter_Delete(w), 0);
    EXPECT_EQ(LexTree_WriteBinFile(tree, archive.tar(), lexical_tree_fuzz::kRunTimePrefix), 1);
    EXPECT_EQ(PronCache_WriteBinFile(cache, archive.tar(), nullptr), 1);
    archive.finish();
    const std::string filled = archive.bytes();
    std::string damaged = filled;
    damaged.resize(damaged.size() * 3 / 4);

    const std::pair<const char*, std::string> seeds[] = {{"filled", filled}, {"damaged", damaged}};
    for (const auto& [name, bytes] : seeds) {
        checkFuzzSeed("brevit_lexical_tree", name, bytes);
        const bool whole = std::string(name) == "filled";
        ArchiveFixture image(std::string(name) + ".dvk");
        DVKTar* tar = image.openMapped(bytes);
        ASSERT_NE(tar, nullptr);
        // The cut falls after the model file, inside the later records.
        LexTree* loaded = LexTree_CreateFromBinFile(tar, nullptr, am, voc);
        ASSERT_NE(loaded, nullptr) << name;
        if (whole) {
            EXPECT_EQ(LexTree_ReadBinFile(loaded, tar, lexical_tree_fuzz::kRunTimePrefix), 1);
            EXPECT_EQ(LexTree_ComputeCRC(loaded), LexTree_ComputeCRC(tree));
        }
        LexTree_Delete(loaded);
        PronCache* back = PronCache_Create(0, 0, 1, 1, 1, voc, am);
        EXPECT_EQ(PronCache_ReadBinFile(back, tar, nullptr), whole ? 1 : 0) << name;
        PronCache_Delete(back);
    }
    PronCache_Delete(cache);
    LexTree_Delete(tree);
}

} // namespace
