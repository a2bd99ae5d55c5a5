// The class-pair walk end to end: random class graphs stored as the model
// set's classes ("bcm1") and a constraint file ("bcn0"), loaded over a real
// vocabulary, are walked by the iterators, in batches, and checked for
// endings and parses against a brute-force walk of the same graph.
#include "core/brevit/lexicon/active_word_list.h"
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/class_pair_constraint.h"
#include "core/brevit/search/class_pair_search.h"
#include "core/brevit/search/constraint_manager.h"
#include "tests/support/archive_fixture.h"
#include "tests/support/class_pair_network.h"
#include "tests/support/class_pair_writer.h"
#include "tests/support/class_store_writer.h"
#include "tests/support/counting_allocator.h"
#include "tests/support/vocabulary_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace {

using Successors = std::vector<std::tuple<uint16_t, ActiveId, uint32_t, uint16_t>>;

// Active words 0..n-1 with the given pron counts; their prons as loaded.
std::vector<VocabularyFixture::WordSpec> wordSpecs(const std::vector<size_t>& pronCounts)
{
    static const char* const kProns[] = {"K AA", "K EH", "S AA", "S EH", "T AA", "T EH", "N AA", "N EH", "D AA", "D EH"};
    std::vector<VocabularyFixture::WordSpec> specs;
    size_t next = 0;
    for (size_t w = 0; w < pronCounts.size(); ++w) {
        VocabularyFixture::WordSpec spec;
        spec.surface = std::u16string(1, static_cast<char16_t>(u'a' + w)) + u"word";
        for (size_t p = 0; p < pronCounts[w]; ++p)
            spec.prons.push_back(kProns[next++ % 10]);
        specs.push_back(spec);
    }
    return specs;
}

class ClassPairLane : public ::testing::Test {
protected:
    // Stores net (its words renamed to active words 0..) and loads it back.
    void load(ClassPairNetwork& net)
    {
        std::map<uint16_t, uint16_t> rename;
        std::vector<size_t> counts;
        for (const auto& [word, prons] : net.words) {
            rename[word] = static_cast<uint16_t>(counts.size());
            counts.push_back(prons.size());
        }
        m_vocabulary = std::make_unique<VocabularyFixture>(wordSpecs(counts));
        Voc* voc = m_vocabulary->voc();
        ASSERT_NE(voc, nullptr);
        net.words.clear();
        for (uint16_t a = 0; a < counts.size(); ++a) {
            std::vector<uint16_t> prons(counts[a]);
            ASSERT_EQ(AWL_GetPronIds(Voc_GetActiveWordList(voc), a, prons.data(), static_cast<int32_t>(prons.size())),
                      static_cast<int32_t>(prons.size()));
            net.words[a] = prons;
        }
        class_store::ModelSetSpec model;
        class_pair::Spec pair;
        pair.name = "lane";
        pair.hasScores = net.scores;
        for (size_t k = 0; k < net.classes.size(); ++k) {
            NetworkClass& c = net.classes[k];
            // The model set has no weights; its members are kept sorted.
            c.weights = false;
            for (NetworkMember& m : c.members) {
                m.weight = 0;
                for (uint16_t& w : m.words)
                    w = rename.at(w);
            }
            std::sort(c.members.begin(), c.members.end(),
                      [](const NetworkMember& a, const NetworkMember& b) { return a.words < b.words; });
            class_store::ModelClass stored;
            stored.id = static_cast<uint32_t>(k + 1);
            stored.name = c.name;
            for (const NetworkMember& m : c.members)
                stored.members.push_back(m.words);
            model.classes.push_back(stored);
        }
        for (const NetworkTransition& t : net.transitions)
            pair.add(static_cast<uint32_t>(t.from), static_cast<uint32_t>(t.to), net.scores ? t.score : 0);
        constraint_store::ConstraintFileSpec file;
        file.n = 1;
        const constraint_store::Records record = class_pair::constraintFileRecord(pair);
        file.entries = {{0, [record](BinFileWriter* w) { return record.write(w); }}};
        const constraint_store::Records classes = class_store::modelSetRecords(model);
        const constraint_store::Records constraints = constraint_store::constraintFileRecords(file);
        ArchiveFixture archive("lane.dvk");
        archive.add("bcm1", [&](BinFileWriter* w) { return classes.write(w); });
        archive.add("bcn0", [&](BinFileWriter* w) { return constraints.write(w); });
        archive.finish();
        ArchiveFixture in("lane-in.dvk");
        DVKTar* tar = in.openMapped(archive.bytes());
        ASSERT_NE(tar, nullptr);
        m_constraints = ConstraintManager_Create(4);
        m_classes = ClassManager_LoadFromBinFile(tar, nullptr, voc, nullptr, m_constraints);
        ASSERT_NE(m_classes, nullptr);
        Constraint* array[1] = {nullptr};
        ASSERT_EQ(Constraint_LoadFromBinFile(tar, nullptr, m_classes, array, 1), 1)
            << net.transitions.size() << " transitions, " << net.classes.size() << " classes";
        m_con = array[0];
        ASSERT_NE(m_con, nullptr);
        in.close(tar);
    }

    void TearDown() override { release(); }

    void release()
    {
        Constraint_Delete(m_con, 0);
        ClassManager_Delete(m_classes);
        ConstraintManager_Delete(m_constraints);
        m_con = nullptr;
        m_classes = nullptr;
        m_constraints = nullptr;
        m_vocabulary.reset();
    }

    Successors iterate(uint16_t previous, ActiveId id)
    {
        ConstraintIterator it;
        ClassPairConstraint_PrepareIterator(m_con, &it);
        Constraint_IteratorInit(m_con, &it, previous, 0, id, kConstraintNoPron);
        Successors out;
        ConstraintSuccessor s{};
        while (Constraint_IteratorNext(m_con, &it, &s) != 0)
            out.emplace_back(s.member, s.next, s.final, s.score);
        return out;
    }

    Successors batch(uint16_t previous, ActiveId id, const std::vector<uint16_t>& candidates)
    {
        std::vector<ConstraintSuccessor> records(256);
        ClassPairSuccessorRequest request{static_cast<int32_t>(candidates.size()), candidates.data(), 256,
                                          records.data()};
        const int32_t n = ClassPairConstraint_ExpandSuccessors(m_con, previous, 0, id, &request);
        Successors out;
        for (int32_t k = 0; k < std::min(n, 256); ++k)
            out.emplace_back(records[static_cast<size_t>(k)].member, records[static_cast<size_t>(k)].next,
                             records[static_cast<size_t>(k)].final, records[static_cast<size_t>(k)].score);
        return out;
    }

    // Lowest costs of every walk of at most maxProns prons, through the
    // iterators or in batches.
    void walk(bool batched, const std::vector<uint16_t>& candidates, uint16_t previous, ActiveId id,
              std::vector<uint16_t>& prons, int32_t cost, size_t maxProns, PronCosts& out)
    {
        if (prons.size() == maxProns)
            return;
        for (const auto& [pron, next, final, score] : batched ? batch(previous, id, candidates) : iterate(previous, id)) {
            prons.push_back(pron);
            const int32_t step = cost + score;
            if (final != 0) {
                Constraint* table[1] = {m_con};
                const int32_t total = step + Constraint_GetTransitionScore(table, next);
                auto [at, fresh] = out.emplace(prons, total);
                if (!fresh && total < at->second)
                    at->second = total;
            }
            walk(batched, candidates, pron, next, prons, step, maxProns, out);
            prons.pop_back();
        }
    }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
    std::unique_ptr<VocabularyFixture> m_vocabulary;
    ConstraintManager* m_constraints = nullptr;
    ClassManager* m_classes = nullptr;
    Constraint* m_con = nullptr;
};

TEST_F(ClassPairLane, StoredNetworksOverARealVocabularyWalkAsTheBruteForceDoes)
{
    std::mt19937 rng(4754);
    int withPaths = 0;
    for (int round = 0; round < 60; ++round) {
        ClassPairNetwork net = ClassPairNetwork_Random(rng);
        // A stored constraint has at least one transition.
        if (net.transitions.empty())
            continue;
        load(net);
        if (HasFatalFailure())
            return;
        const PronCosts expected = ClassPairNetwork_Paths(net, 4);
        withPaths += expected.empty() ? 0 : 1;
        std::vector<uint16_t> candidates;
        for (const auto& [word, prons] : net.words)
            candidates.insert(candidates.end(), prons.begin(), prons.end());
        for (const bool batched : {false, true}) {
            PronCosts walked;
            std::vector<uint16_t> prons;
            walk(batched, candidates, kConstraintSilencePron, Constraint_MakeStartActiveId(0), prons, 0, 4, walked);
            EXPECT_EQ(walked, expected) << "round " << round << " batched " << batched;
        }
        const std::set<std::vector<uint16_t>> endings = ClassPairNetwork_Endings(net, 2);
        ASSERT_EQ(ClassPairConstraint_BuildActiveIdTable(m_con), 1);
        for (uint16_t a : candidates)
            for (uint16_t b : candidates) {
                const uint16_t latestFirst[2] = {b, a};
                EXPECT_EQ(ClassPairConstraint_IsLegalPronEndingReverse(m_con, latestFirst, 2), endings.count({a, b}))
                    << "round " << round;
                Constraint* table[1] = {m_con};
                const std::vector<uint16_t> seq{a, b};
                EXPECT_EQ(Constraint_IsLegalPronSequence(table, 1, seq.data(), 2), expected.count(seq))
                    << "round " << round;
            }
        // Parses of words whose first prons make a path.
        for (const auto& [path, cost] : expected) {
            std::vector<uint32_t> words;
            bool firstProns = true;
            for (uint16_t p : path) {
                int32_t index = -1;
                const uint16_t word = Voc_GetActiveIdFromPronId(m_vocabulary->voc(), p, &index);
                firstProns = firstProns && index == 0;
                words.push_back(Voc_ActiveIdToVocId(m_vocabulary->voc(), word));
            }
            if (!firstProns)
                continue;
            std::vector<uint32_t> classes(path.size());
            std::vector<uint8_t> flags(path.size());
            int32_t parsed = -1;
            EXPECT_EQ(ClassPairConstraint_FindParse(m_con, static_cast<int32_t>(words.size()), words.data(),
                                                    classes.data(), &parsed, flags.data()),
                      1)
                << "round " << round;
            EXPECT_EQ(parsed, net.scores ? cost : 0) << "round " << round;
        }
        release();
        DVKTempMem_DeleteMemStack();
        EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks();
        if (HasFailure())
            return;
    }
    EXPECT_GT(withPaths, 30);
}

} // namespace
