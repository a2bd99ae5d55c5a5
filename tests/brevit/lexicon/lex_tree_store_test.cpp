// Trees built from a vocabulary: the model file written by the test writer
// loads with an equal checksum, the run-time record round-trips, damaged
// records and trees a walk could leave or loop in are refused, and every
// allocation failing in turn leaves no leak.
#include "core/brevit/lexicon/lex_tree.h"

#include "core/brevit/runtime/bin_file_writer.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_err.h"
#include "tests/brevit/lexicon/pron_cache_fixture.h"
#include "tests/support/lexical_tree_writer.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <numeric>

namespace {

// Small enough that the vocabulary needs several trees.
constexpr int32_t kLimit = 150;

// The first inner arc after the root.
size_t firstInner(const lexical_tree_writer::Spec& s)
{
    size_t a = 1;
    while ((s.trees[0].arcs[a].model & kLexArcWordEnd) != 0)
        ++a;
    return a;
}

class LexTreeStoreTest : public PronVocabularyTest {
protected:
    void SetUp() override
    {
        m_vocabulary = &vocabulary(pron_cache_fixture::randomWords(150, 131, 8));
        m_voc = m_vocabulary->voc();
        m_am = model();
        ASSERT_NE(m_voc, nullptr);
        ASSERT_NE(m_am, nullptr);
        m_vocabulary->params().words[kBrevitParamTreeExpansionDepth] = 40;
        m_vocabulary->params().words[kBrevitParamTreeExpansionFanout] = 3;
    }

    LexTree* built(int32_t arcLimit = 0)
    {
        LexTree* tree = LexTree_CreateEmpty();
        const std::vector<uint16_t> prons = allProns();
        EXPECT_EQ(LexTree_BuildFromProns(tree, prons.data(), static_cast<int32_t>(prons.size()), m_voc, m_am, nullptr,
                                         0, 0, arcLimit, nullptr),
                  1);
        return tree;
    }

    std::vector<uint16_t> allProns() const
    {
        std::vector<uint16_t> prons(static_cast<size_t>(Voc_GetNumActiveEntries(m_voc) + 1));
        std::iota(prons.begin(), prons.end(), 0);
        return prons;
    }

    DVKTar* archiveOf(const lexical_tree_writer::Spec& spec)
    {
        m_archives.push_back(std::make_unique<ArchiveFixture>("blt" + std::to_string(m_archives.size()) + ".dvk"));
        ArchiveFixture& a = *m_archives.back();
        BinFileWriter* w = BinFileWriter_Create(a.tar(), "blt0", nullptr);
        lexical_tree_writer::write(w, spec);
        BinFileWriter_Delete(w);
        a.finish();
        return a.openMapped();
    }

    LexTree* load(const lexical_tree_writer::Spec& spec)
    {
        return LexTree_CreateFromBinFile(archiveOf(spec), nullptr, m_am, m_voc);
    }

    ArchiveFixture& freshArchive()
    {
        m_archives.push_back(std::make_unique<ArchiveFixture>("rt" + std::to_string(m_archives.size()) + ".dvk"));
        return *m_archives.back();
    }

    // The run-time record of tree, written and read into target.
    int32_t roundTrip(const LexTree* tree, LexTree* target)
    {
        ArchiveFixture& a = freshArchive();
        EXPECT_EQ(LexTree_WriteBinFile(tree, a.tar(), "u_"), 1);
        a.finish();
        return LexTree_ReadBinFile(target, a.openMapped(), "u_");
    }

    VocabularyFixture* m_vocabulary = nullptr;
    Voc* m_voc = nullptr;
    AM* m_am = nullptr;
};

TEST_F(LexTreeStoreTest, BuiltTreesLoadFromTheModelLayoutWithAnEqualChecksum)
{
    for (int32_t limit : {0, kLimit}) {
        LexTree* tree = built(limit);
        ASSERT_GE(LexTree_GetNumTrees(tree), limit == 0 ? 1 : 2);
        tree->headerWord = 0xC0FFEE;
        LexTree* loaded = load(lexical_tree_writer::fromObject(tree));
        ASSERT_NE(loaded, nullptr);
        EXPECT_EQ(LexTree_ComputeCRC(loaded), LexTree_ComputeCRC(tree));
        EXPECT_EQ(loaded->ownerFlag, 1);
        EXPECT_EQ(loaded->acousticModel, m_am);
        // Without a language model every word scores 0, so every byte is 0.
        m_vocabulary->params().words[kBrevitParamLookahead] = 1;
        LexTree_InitLookahead(loaded, 10);
        EXPECT_EQ(LexTree_GetBestLookaheadScore(loaded), 0);
        for (int32_t i = 0; i < LexTree_GetNumTrees(loaded); ++i)
            for (int32_t a = 0; a < LexTree_GetNumTotalArcs(loaded, i); ++a)
                ASSERT_EQ(LexTree_GetLookaheadScores(loaded, i)[a], 0);
        m_vocabulary->params().words[kBrevitParamLookahead] = 0;
        LexTree_InitLookahead(loaded, 10);
        EXPECT_EQ(LexTree_GetBestLookaheadScore(loaded), 0);
        LexTree_Delete(loaded);
        LexTree_Delete(tree);
    }
}

TEST_F(LexTreeStoreTest, DamagedModelFilesAreRefused)
{
    LexTree* tree = built(kLimit);
    const lexical_tree_writer::Spec good = lexical_tree_writer::fromObject(tree);
    LexTree_Delete(tree);
    const int32_t records = lexical_tree_writer::recordCount(good);
    for (int32_t r = 0; r < records; ++r) {
        for (int kind = 0; kind < 3; ++kind) {
            lexical_tree_writer::Spec s = good;
            (kind == 0 ? s.drop : kind == 1 ? s.cut : s.miscount) = r;
            if (kind > 0 && r < 5)
                continue;   // scalars are not arrays
            EXPECT_EQ(load(s), nullptr) << "record " << r << " damage " << kind;
        }
    }
    using Change = std::function<void(lexical_tree_writer::Spec&)>;
    const std::vector<std::pair<const char*, Change>> refusals = {
        {"17 trees", [](auto& s) { s.treeCount = 17; }},
        {"arcs in use above capacity",
         [](auto& s) { s.trees[0].arcsInUse = static_cast<uint32_t>(s.trees[0].arcs.size()) + 1; }},
        {"one arc in use", [](auto& s) { s.trees[0].arcsInUse = 1; }},
        {"depth entries not rising", [](auto& s) { s.trees[0].depthTable[2] = s.trees[0].depthTable[1]; }},
        {"depth entry past the arcs",
         [](auto& s) { s.trees[0].depthTable[s.trees[0].deepestLevel] = s.trees[0].arcsInUse; }},
        {"deepest level past the depth table",
         [](auto& s) { s.trees[0].deepestLevel = static_cast<uint32_t>(s.trees[0].depthTable.size()); }},
        {"child not below its parent", [](auto& s) {
             const size_t a = firstInner(s);
             s.trees[0].arcs[a].next = static_cast<uint16_t>(a);
         }},
        {"child above a parent's", [](auto& s) { s.trees[0].arcs[0].next = 0; }},
        {"first children falling",
         [](auto& s) {
             auto& arcs = s.trees[0].arcs;
             const size_t first = firstInner(s);
             for (size_t a = first + 1; a < arcs.size(); ++a)
                 if ((arcs[a].model & kLexArcWordEnd) == 0) {
                     arcs[a].next = static_cast<uint16_t>(arcs[first].next - 1);
                     break;
                 }
         }},
        {"child past the terminator",
         [](auto& s) { s.trees[0].arcs[firstInner(s)].next = static_cast<uint16_t>(s.trees[0].arcsInUse); }},
        {"terminator pointing elsewhere", [](auto& s) { s.trees[0].arcs[s.trees[0].arcsInUse - 1].next = 0; }},
        {"word-end root", [](auto& s) { s.trees[0].arcs[0].model |= kLexArcWordEnd; }},
        // A chain of arcs each the child of the one before, all on one
        // level: rising first children, yet walks would go one level deeper
        // per arc.
        {"children on their parent's level", [](auto& s) {
             lexical_tree_writer::Tree chain;
             chain.deepestLevel = 1;
             chain.depthTable = {0, 1, 0, 0, 0};
             chain.arcsInUse = 6;
             chain.arcs = {{0, 1}, {1, 2}, {1, 3}, {1, 4}, {kLexArcWordEnd | 1, 0}, {0, 5}};
             chain.lookahead.assign(6, 0);
             s.trees[0] = chain;
         }},
    };
    for (const auto& [what, change] : refusals) {
        lexical_tree_writer::Spec s = good;
        change(s);
        EXPECT_EQ(load(s), nullptr) << what;
    }
    LexTree* loaded = load(good);
    EXPECT_NE(loaded, nullptr);
    LexTree_Delete(loaded);
}

TEST_F(LexTreeStoreTest, TheRunTimeRecordRoundTrips)
{
    LexTree* tree = built(kLimit);
    const lexical_tree_writer::Spec statics = lexical_tree_writer::fromObject(tree);
    const uint16_t added[] = {3, 17, 40, 41, 99};
    ASSERT_EQ(LexTree_AddPronsToDynamicTree(tree, added, 5, 400, 0), 1);
    ASSERT_EQ(LexTree_HasDynamicTree(tree), 1);
    LexTree* back = load(statics);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(roundTrip(tree, back), 1);
    EXPECT_EQ(LexTree_ComputeCRC(back), LexTree_ComputeCRC(tree));
    // A second record finds the run-time tree there.
    EXPECT_EQ(roundTrip(tree, back), 0);
    EXPECT_EQ(LexTree_ComputeCRC(back), LexTree_ComputeCRC(tree));
    LexTree_Delete(back);

    // No room for a seventeenth tree.
    lexical_tree_writer::Spec sixteen;
    for (int k = 0; k < 16; ++k)
        sixteen.trees.push_back(lexical_tree_writer::emptyTree());
    LexTree* full = load(sixteen);
    ASSERT_NE(full, nullptr);
    EXPECT_EQ(roundTrip(tree, full), 0);
    EXPECT_EQ(LexTree_GetNumTrees(full), 16);
    LexTree_Delete(full);

    // A record of a tree without a run-time tree stores the flag alone.
    LexTree* plain = load(statics);
    LexTree* other = load(statics);
    const uint32_t crc = LexTree_ComputeCRC(other);
    EXPECT_EQ(roundTrip(plain, other), 1);
    EXPECT_EQ(LexTree_ComputeCRC(other), crc);
    EXPECT_EQ(LexTree_ReadContents(other, nullptr), 0);
    EXPECT_EQ(LexTree_WriteContents(other, nullptr), 0);
    LexTree_Delete(other);
    LexTree_Delete(plain);

    // Damaged run-time trees are refused and leave the object as it was.
    using Change = std::function<void(LexTree*)>;
    const int32_t i = LexTree_GetNumTrees(tree) - 1;
    const std::vector<std::pair<const char*, Change>> damage = {
        {"arcs in use above capacity", [i](LexTree* t) { t->arcsInUse[i] = t->arcCapacity[i] + 1; }},
        {"child not below its parent", [i](LexTree* t) { t->arcs[i][1].next = 1; }},
        {"terminator pointing elsewhere", [i](LexTree* t) { t->arcs[i][t->arcsInUse[i] - 1].next = 0; }},
        {"depth entries not rising", [i](LexTree* t) { t->depthTable[i][1] = 0; }},
    };
    for (const auto& [what, change] : damage) {
        LexTree* copy = load(statics);
        ASSERT_EQ(roundTrip(tree, copy), 1);
        LexTree* target = load(statics);
        const uint32_t before = LexTree_ComputeCRC(target);
        change(copy);
        EXPECT_EQ(roundTrip(copy, target), 0) << what;
        EXPECT_EQ(LexTree_ComputeCRC(target), before) << what;
        EXPECT_EQ(LexTree_HasDynamicTree(target), 0) << what;
        LexTree_DeleteAll(copy);
        LexTree_Delete(target);
    }
    LexTree_Delete(tree);
}

TEST_F(LexTreeStoreTest, EveryAllocationFailingLeavesNoLeak)
{
    LexTree* source = built(kLimit);
    const lexical_tree_writer::Spec statics = lexical_tree_writer::fromObject(source);
    const uint16_t added[] = {3, 17, 40};
    ASSERT_EQ(LexTree_AddPronsToDynamicTree(source, added, 3, 400, 0), 1);
    DVKTar* model = archiveOf(statics);
    ArchiveFixture& record = freshArchive();
    ASSERT_EQ(LexTree_WriteBinFile(source, record.tar(), nullptr), 1);
    record.finish();
    DVKTar* runTime = record.openMapped();
    const uint32_t crc = LexTree_ComputeCRC(source);
    const std::vector<uint16_t> prons = allProns();
    for (uint64_t n = 1;; ++n) {
        const uint64_t failures = m_allocator.failures();
        m_allocator.failAt(m_allocator.calls() + n);
        bool complete = false;
        DVKErr_Protect([&] {
            // Held so that an engine error unwinding past them frees them.
            std::unique_ptr<LexTree, void (*)(LexTree*)> tree(LexTree_CreateEmpty(), LexTree_Delete);
            if (tree == nullptr)
                return;
            const int32_t builtOk = LexTree_BuildFromProns(tree.get(), prons.data(), static_cast<int32_t>(prons.size()),
                                                           m_voc, m_am, nullptr, 0, 0, kLimit, nullptr);
            tree.reset();
            std::unique_ptr<LexTree, void (*)(LexTree*)> loaded(LexTree_CreateFromBinFile(model, nullptr, m_am, m_voc),
                                                                LexTree_Delete);
            int32_t read = 0;
            if (loaded != nullptr) {
                read = LexTree_ReadBinFile(loaded.get(), runTime, nullptr);
                if (read == 1) {
                    EXPECT_EQ(LexTree_ComputeCRC(loaded.get()), crc);
                    // The run-time tree changes, or stays as it was.
                    const uint32_t before = LexTree_ComputeCRC(loaded.get());
                    if (LexTree_RemovePronsFromDynamicTree(loaded.get(), added, 1, 400, 0) == 0) {
                        EXPECT_EQ(LexTree_ComputeCRC(loaded.get()), before);
                    }
                }
            }
            complete = builtOk == 1 && loaded != nullptr && read == 1;
        });
        m_allocator.failAt(0);
        DVKTempMem_DeleteMemStack();
        if (complete && m_allocator.failures() == failures)
            break;
        ASSERT_LT(n, 3000u);
    }
    LexTree_Delete(source);
}

} // namespace
