#include "core/brevit/search/grammar.h"

#include "core/brevit/runtime/bin_file_writer.h"
#include "core/brevit/runtime/dvk_err.h"
#include "tests/brevit/search/grammar_test.h"
#include "tests/support/archive_fixture.h"
#include "tests/support/fuzz_seed_check.h"
#include "tests/support/grammar_writer.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using Edit = std::function<void(grammar_file::Tables&)>;

class GrammarStoreTest : public GrammarTest {
protected:
    // A grammar with every kind of entry: expression, polarity 0, rules of
    // several alternatives, rules using rules.
    Grammar* sample(int32_t capacity = 8)
    {
        Grammar* g = make(capacity, 32);
        EXPECT_EQ(terminal(g, "D", {1, 2}), kGrammarDone);
        EXPECT_EQ(terminal(g, "E", {3}), kGrammarDone);
        EXPECT_EQ(Grammar_AddTerminalExpression(g, "NotE", "~ E"), kGrammarDone);
        EXPECT_EQ(Grammar_AddNonTerminal(g, "X", "D{?} E"), kGrammarDone);
        EXPECT_EQ(Grammar_AddNonTerminal(g, "X", "NotE{2,3}"), kGrammarDone);
        EXPECT_EQ(Grammar_AddNonTerminal(g, "Y", "X{+} .{0,2}"), kGrammarDone);
        EXPECT_EQ(Grammar_AddNonTerminal(g, "X", "E{3,2}"), kGrammarDone);
        return g;
    }

    // The same grammar as sample(), written out readably.
    static grammar_file::Spec sampleSpec()
    {
        grammar_file::Spec s;
        s.capacity = 8;
        s.wordCapacity = 32;
        s.terminals.push_back({"D", {listedWord(1), listedWord(2)}, 1});
        s.terminals.push_back({"E", {listedWord(3)}, 1});
        s.terminals.push_back({"NotE", {listedWord(3)}, 0});
        s.rules.push_back({"X", {{{"D", 0, 1}, {"E"}}, {{"NotE", 2, 3}}, {{"E", 3, 2}}}});
        s.rules.push_back({"Y", {{{"X", 1, 254}, {".", 0, 2}}}});
        return s;
    }

    static std::string image(const grammar_file::Records& records, const char* prefix = nullptr)
    {
        ArchiveFixture archive("grm.dvk");
        archive.add("grm1", [&](BinFileWriter* w) { return records.write(w); }, prefix);
        archive.finish();
        return archive.bytes();
    }

    static std::string written(const Grammar* g, const char* prefix = nullptr)
    {
        ArchiveFixture archive("written.dvk");
        EXPECT_EQ(Grammar_WritePSAFile(g, archive.tar(), prefix), 1);
        archive.finish();
        return archive.bytes();
    }

    Grammar* load(const std::string& bytes, const char* prefix = nullptr)
    {
        ArchiveFixture archive("in.dvk");
        DVKTar* tar = archive.openMapped(bytes);
        EXPECT_NE(tar, nullptr);
        Grammar* g = Grammar_LoadFromBinFile(tar, prefix, m_words.voc());
        if (g != nullptr)
            m_grammars.push_back(g);
        return g;
    }

    int32_t readInto(Grammar* g, const std::string& bytes, const char* prefix = nullptr)
    {
        ArchiveFixture archive("in.dvk");
        DVKTar* tar = archive.openMapped(bytes);
        EXPECT_NE(tar, nullptr);
        return Grammar_ReadPSAFile(g, tar, prefix);
    }

    static grammar_file::Records edited(const Edit& edit)
    {
        grammar_file::Tables t = grammar_file::tables(sampleSpec());
        edit(t);
        return grammar_file::records(t);
    }

    // Every rule and terminal answers the same over every sequence of up to
    // three of the words 1, 2, 3 and 9.
    static void expectSameAnswers(const Grammar* a, const Grammar* b)
    {
        std::vector<std::vector<uint16_t>> sequences{{}};
        for (size_t k = 0; k < sequences.size() && sequences[k].size() < 3; ++k)
            for (uint16_t w : {1, 2, 3, 9}) {
                std::vector<uint16_t> longer = sequences[k];
                longer.push_back(w);
                sequences.push_back(longer);
            }
        for (const char* name : {"D", "E", "NotE", "X", "Y", "."})
            for (const auto& words : sequences)
                EXPECT_EQ(parses(a, name, words), parses(b, name, words)) << name;
    }
};

TEST_F(GrammarStoreTest, RoundTripsThroughBothLoaders)
{
    Grammar* g = sample();
    const uint32_t crc = Grammar_ComputeCRC(g);
    for (const char* prefix : {static_cast<const char*>(nullptr), "user/"}) {
        const std::string bytes = written(g, prefix);
        Grammar* back = load(bytes, prefix);
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(Grammar_ComputeCRC(back), crc);
        EXPECT_EQ(back->vocabulary, m_words.voc());
        expectSameAnswers(g, back);

        // Read over a grammar of other capacities: it takes the stored ones.
        Grammar* other = make(3, 5);
        ASSERT_EQ(readInto(other, bytes, prefix), 1);
        EXPECT_EQ(Grammar_ComputeCRC(other), crc);
        EXPECT_EQ(other->terminalCapacity, 8);
        expectSameAnswers(g, other);
        // Still a working grammar: it grows and clears like the original.
        EXPECT_EQ(Grammar_AddNonTerminal(other, "Z", "Y E"), kGrammarDone);
        EXPECT_EQ(Grammar_ClearRule(other, "Z"), 1);
    }
    EXPECT_EQ(load(written(g), "other/"), nullptr);
}

TEST_F(GrammarStoreTest, WriterRecordsReadAsTheBuiltGrammar)
{
    Grammar* built = sample();
    Grammar* back = load(image(grammar_file::records(sampleSpec())));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(Grammar_ComputeCRC(back), Grammar_ComputeCRC(built));
    expectSameAnswers(built, back);
    EXPECT_EQ(image(grammar_file::records(sampleSpec())).size(), written(built).size());
}

struct Damage {
    const char* what;
    Edit edit;
};

// Stored grammars come from user storage: anything the building operations
// could not have made is refused, by both loaders, leaving the grammar as it
// was.
TEST_F(GrammarStoreTest, RefusesWhatTheGrammarCouldNotHaveMade)
{
    using T = grammar_file::Tables;
    const std::vector<Damage> damages = {
        {"negative terminal count", [](T& t) { t.terminalCount = -1; }},
        {"terminal count above capacity", [](T& t) { t.terminalCount = t.terminalCapacity + 1; }},
        {"negative rule count", [](T& t) { t.ruleCount = -1; }},
        {"rule count above capacity", [](T& t) { t.ruleCount = t.ruleCapacity + 1; }},
        {"capacity too large", [](T& t) { t.wordCapacity = (1 << 20) + 1; }},
        {"name offsets not from 0", [](T& t) { t.terminalNameOffsets[0] = 1; }},
        {"name offsets falling", [](T& t) { t.terminalNameOffsets[2] = 1; }},
        {"name offsets negative", [](T& t) { t.terminalNameOffsets[2] = -4; }},
        {"name offsets past the pool", [](T& t) {
             for (size_t j = 4; j < t.terminalNameOffsets.size(); ++j)
                 t.terminalNameOffsets[j] = static_cast<int16_t>(t.terminalNamePoolSize + 1);
         }},
        {"offset past the used count not the end", [](T& t) { t.terminalNameOffsets[6] = 0; }},
        {"word offsets past the pool", [](T& t) {
             for (size_t j = 4; j < t.terminalWordOffsets.size(); ++j)
                 t.terminalWordOffsets[j] = static_cast<int16_t>(t.wordCapacity + 1);
         }},
        {"rule alternative offsets past the used count", [](T& t) { t.ruleAlternativeOffsets[5] = 1; }},
        {"alternative offsets past the items", [](T& t) {
             for (size_t j = 4; j < t.alternativeItemOffsets.size(); ++j)
                 t.alternativeItemOffsets[j] = static_cast<int16_t>(t.itemCapacity + 1);
         }},
        {"alternative without items", [](T& t) { t.alternativeItemOffsets[2] = t.alternativeItemOffsets[1]; }},
        {"name without NUL", [](T& t) { t.terminalNames[1] = 'x'; }},
        {"NUL inside a name", [](T& t) { t.ruleNames[0] = 0; }},
        {"terminal name repeated", [](T& t) {
             t.terminalNames[2] = 'E';   // "D" becomes "E"
         }},
        {"terminal and rule of one name", [](T& t) {
             t.ruleNames[0] = 'D';   // "X" becomes "D"
         }},
        {"words not ascending", [](T& t) { std::swap(t.words[0], t.words[1]); }},
        {"word repeated", [](T& t) { t.words[1] = t.words[0]; }},
        {"polarity 2", [](T& t) { t.terminalPolarity[1] = 2; }},
        {"symbol past the terminals", [](T& t) { t.itemSymbols[0] = -9; }},
        {"symbol past the rules", [](T& t) { t.itemSymbols[0] = 2; }},
        {"minimum 254", [](T& t) { t.itemMinimum[0] = 254; }},
        {"maximum 0", [](T& t) { t.itemMaximum[1] = 0; }},
        {"maximum 255", [](T& t) { t.itemMaximum[1] = 255; }},
        {"rule reaching itself", [](T& t) { t.itemSymbols[0] = 0; }},
        {"rules reaching each other", [](T& t) { t.itemSymbols[1] = 1; }},
        {"words one short", [](T& t) { t.words.pop_back(); }},
        {"item maxima one long", [](T& t) { t.itemMaximum.push_back(1); }},
    };
    ASSERT_NE(load(image(edited([](grammar_file::Tables&) {}))), nullptr);
    Grammar* kept = sample();
    const uint32_t crc = Grammar_ComputeCRC(kept);
    for (const Damage& d : damages) {
        const std::string bytes = image(edited(d.edit));
        EXPECT_EQ(load(bytes), nullptr) << d.what;
        EXPECT_EQ(readInto(kept, bytes), 0) << d.what;
        EXPECT_EQ(Grammar_ComputeCRC(kept), crc) << d.what;
    }
    // A missing sub-file: none, and the grammar as it was.
    EXPECT_EQ(load(image(edited([](grammar_file::Tables&) {}), "elsewhere/")), nullptr);
    EXPECT_EQ(readInto(kept, image(edited([](grammar_file::Tables&) {}), "elsewhere/")), 0);
    EXPECT_EQ(Grammar_ComputeCRC(kept), crc);
}

TEST_F(GrammarStoreTest, ACutAfterAnyRecordIsRefused)
{
    const grammar_file::Records records = grammar_file::records(sampleSpec());
    Grammar* kept = sample();
    const uint32_t crc = Grammar_ComputeCRC(kept);
    for (size_t k = 0; k + 1 < records.list().size(); ++k) {
        grammar_file::Records cut = records;
        cut.cutAfter(records.list()[k].name);
        const std::string bytes = image(cut);
        EXPECT_EQ(load(bytes), nullptr) << records.list()[k].name;
        EXPECT_EQ(readInto(kept, bytes), 0) << records.list()[k].name;
    }
    EXPECT_EQ(Grammar_ComputeCRC(kept), crc);
}

TEST_F(GrammarStoreTest, LoadersFailingAtEachAllocationKeepNothing)
{
    const std::string bytes = written(sample());
    Grammar* kept = sample();
    const uint32_t crc = Grammar_ComputeCRC(kept);
    ArchiveFixture archive("in.dvk");
    DVKTar* tar = archive.openMapped(bytes);
    ASSERT_NE(tar, nullptr);
    for (bool intoExisting : {false, true}) {
        for (uint64_t n = 1;; ++n) {
            const size_t blocks = m_allocator.liveBlocks();
            const uint64_t failures = m_allocator.failures();
            Grammar* g = nullptr;
            int32_t read = 0;
            m_allocator.failAt(m_allocator.calls() + n);
            DVKErr_Protect([&] {
                if (intoExisting)
                    read = Grammar_ReadPSAFile(kept, tar, nullptr);
                else
                    g = Grammar_LoadFromBinFile(tar, nullptr, m_words.voc());
            });
            m_allocator.failAt(0);
            if (m_allocator.failures() == failures) {
                EXPECT_GT(n, 1u);
                EXPECT_TRUE(intoExisting ? read == 1 : g != nullptr);
                Grammar_Delete(g);
                break;
            }
            EXPECT_EQ(g, nullptr) << n;
            EXPECT_EQ(read, 0) << n;
            EXPECT_EQ(m_allocator.liveBlocks(), blocks) << intoExisting << " at " << n;
            EXPECT_EQ(Grammar_ComputeCRC(kept), crc) << n;
        }
    }
    EXPECT_EQ(Grammar_ComputeCRC(kept), crc);
}

TEST_F(GrammarStoreTest, CreationFailingAtEachAllocationRaisesAndKeepsNothing)
{
    for (uint64_t n = 1;; ++n) {
        const size_t blocks = m_allocator.liveBlocks();
        const uint64_t failures = m_allocator.failures();
        Grammar* g = nullptr;
        m_allocator.failAt(m_allocator.calls() + n);
        const int raised = DVKErr_Protect([&] { g = Grammar_Create(m_words.voc(), 4, 8); });
        m_allocator.failAt(0);
        if (m_allocator.failures() == failures) {
            EXPECT_EQ(raised, 0);
            ASSERT_NE(g, nullptr);
            EXPECT_EQ(Grammar_HasRule(g, "."), 1);
            Grammar_Delete(g);
            break;
        }
        EXPECT_EQ(raised, 1) << n;
        EXPECT_EQ(m_allocator.liveBlocks(), blocks) << n;
    }
}

TEST_F(GrammarStoreTest, WritingIntoAnArchiveThatCannotTakeItFails)
{
    Grammar* g = sample();
    ArchiveFixture archive("ro.dvk");
    DVKTar* tar = archive.openMapped(written(g));
    ASSERT_NE(tar, nullptr);
    EXPECT_EQ(Grammar_WritePSAFile(g, tar, nullptr), 0);
    Grammar_WriteBinFile(g, tar, nullptr);
}

TEST_F(GrammarStoreTest, FuzzSeedsAreWhatTheWritersMake)
{
    // Seeds: the grammar records, then the texts the target feeds the rule
    // and expression parsers, one per line.
    const auto seed = [](const std::function<bool(BinFileWriter*)>& fill, const std::string& texts) {
        ArchiveFixture archive("seed.dvk");
        archive.add("grm1", fill);
        archive.addBytes("txt", texts);
        archive.finish();
        return archive.bytes();
    };
    const std::string texts = "D{2,4} E\nX{*} .\nD ^ E\n~ NotE\nY{3,2} D{?}\nD{0}\n. E{2,}\n";
    const grammar_file::Records records = grammar_file::records(sampleSpec());
    checkFuzzSeed("brevit_grammar", "writer", seed([&](BinFileWriter* w) { return records.write(w); }, texts));
    Grammar* g = sample();
    ASSERT_EQ(Grammar_AddNonTerminal(g, "Z", "Y{2} D{3,}"), kGrammarDone);
    ArchiveFixture archive("seed.dvk");
    ASSERT_EQ(Grammar_WritePSAFile(g, archive.tar(), nullptr), 1);
    archive.addBytes("txt", texts);
    archive.finish();
    checkFuzzSeed("brevit_grammar", "grammar", archive.bytes());
}

} // namespace
