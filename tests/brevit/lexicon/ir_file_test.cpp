// "bir0": the index written and read into a fresh one keeps its CRC, costs
// and matches; sub-files counted and written independently read to the same
// index; damaged or failing reads leave the index as it was.
#include "core/brevit/lexicon/ir.h"

#include "tests/brevit/lexicon/ir_test_base.h"
#include "tests/support/archive_fixture.h"
#include "tests/support/fuzz_seed_check.h"
#include "tests/support/phrase_index_writer.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

namespace {

using phrase_index::ClassSpec;
using phrase_index::Phrase;
using phrase_index::Records;

class IRFileTest : public IRTestBase {
protected:
    void TearDown() override
    {
        IR_Delete(m_fresh);
        m_fresh = nullptr;
        IRTestBase::TearDown();
    }

    // Three slots: "names" with lists past L0 = 2, "gone" removed, "songs"
    // with L0 = 0 and mode 7.
    static std::vector<ClassSpec> specs()
    {
        std::mt19937 rng(3);
        ClassSpec names{"names", 1, 1, 2, 256, {}};
        for (uint32_t i = 0; i < 40; ++i) {
            Phrase p;
            p.id = 1000 + i;
            for (uint32_t k = 0; k < 1 + rng() % 4; ++k)
                p.ids.push_back(static_cast<uint16_t>(1 + rng() % 30));
            p.text = i % 5 == 0 ? u"" : IRTestBase::text(p.ids);
            names.phrases.push_back(p);
        }
        ClassSpec gone{"", 0, 0, 2, 256, {}};
        ClassSpec songs{"songs", 7, 0, 0, 256, {}};
        songs.phrases = {{7, u"x y", {200, 201}}, {8, u"y", {201}}, {9, u"y y x", {201, 201, 200}}};
        return {names, gone, songs};
    }

    // The same classes through the index's own operations.
    void build(IR* into)
    {
        for (const ClassSpec& s : specs()) {
            setParams(s.startPrior, 30, s.l0);
            const char* name = s.name.empty() ? "gone" : s.name.c_str();
            ASSERT_GE(IR_CreateClass(into, name, static_cast<int32_t>(s.mode)), 0);
            if (s.name.empty()) {
                add("gone", {1, 2}, 5, into);
                IR_RemoveClass(into, "gone");
            }
            for (const Phrase& p : s.phrases)
                ASSERT_EQ(IR_AddPhrase(into, name, reinterpret_cast<const uint16_t*>(p.text.c_str()),
                                       static_cast<int32_t>(p.ids.size()), p.ids.data(), p.id), 1);
        }
        setParams(0, 30, 2);
    }

    static Records records() { return phrase_index::count(specs(), [](uint32_t x) { return uint32_t{IR_LogN(x)}; }); }

    std::string image(const Records& r)
    {
        ArchiveFixture archive("bir0.dvk");
        archive.add("bir0", [&](BinFileWriter* w) { return r.write(w); });
        archive.finish();
        return archive.bytes();
    }

    std::string written(const IR* from)
    {
        ArchiveFixture archive("written.dvk");
        EXPECT_EQ(IR_WriteBinFile(from, archive.tar(), nullptr), 1);
        archive.finish();
        return archive.bytes();
    }

    int32_t read(IR* into, const std::string& bytes)
    {
        ArchiveFixture archive("in.dvk");
        DVKTar* tar = archive.openMapped(bytes);
        EXPECT_NE(tar, nullptr);
        int32_t result = 0;
        DVKErr_Protect([&] { result = IR_ReadBinFile(into, tar, nullptr); });
        return result;
    }

    // Every cost and match the index gives for the words 0..300.
    std::vector<int32_t> answers(IR* from)
    {
        std::vector<int32_t> out;
        for (const char* name : {"names", "songs"}) {
            const int32_t slot = IR_FindClass(from, name);
            out.push_back(slot);
            for (uint16_t a = 0; a <= 260; a += 3) {
                for (uint16_t b = 0; b <= 260; b += 7)
                    out.push_back(IR_ScoreWordTransition(from, slot, 0, &a, b));
                out.push_back(IR_ScoreWordEndInClass(from, slot, a));
                uint32_t ids[8];
                int32_t scores[8];
                const uint16_t query[] = {a, static_cast<uint16_t>(a + 1), static_cast<uint16_t>(a + 200)};
                const int32_t n = IR_GetMatches(from, name, 3, query, 8, ids, scores);
                out.push_back(n);
                for (int32_t i = 0; i < n; ++i) {
                    out.push_back(static_cast<int32_t>(ids[i]));
                    out.push_back(scores[i]);
                }
            }
        }
        return out;
    }

    IR* m_fresh = nullptr;
};

TEST_F(IRFileTest, WrittenAndReadIntoAFreshIndexAnswersAlike)
{
    build(index());
    const std::string bytes = written(index());
    // The independently counted sub-file is the same file.
    EXPECT_EQ(bytes, image(records()));
    m_fresh = IR_Create(nullptr);
    IR_CreateClass(m_fresh, "old", 0);
    ASSERT_EQ(read(m_fresh, bytes), 1);
    EXPECT_EQ(IR_ComputeCRC(m_fresh), IR_ComputeCRC(index()));
    EXPECT_EQ(IR_FindClass(m_fresh, "old"), -1);
    EXPECT_EQ(IR_FindClass(m_fresh, "songs"), 2);
    EXPECT_EQ(answers(m_fresh), answers(index()));
    // Both go on growing alike.
    EXPECT_EQ(add("names", {3, 250, 3}, 77, m_fresh), 1);
    EXPECT_EQ(add("names", {3, 250, 3}, 77), 1);
    EXPECT_EQ(IR_ComputeCRC(m_fresh), IR_ComputeCRC(index()));
    EXPECT_EQ(IR_CreateIRFromBinFile(nullptr, nullptr, nullptr), nullptr);
}

TEST_F(IRFileTest, DamagedSubFilesLeaveTheIndexAsItWas)
{
    build(index());
    const uint32_t crc = IR_ComputeCRC(index());
    const std::vector<int32_t> before = answers(index());
    using Damage = std::function<void(Records&)>;
    auto names = [](Records& r) -> phrase_index::ClassRecords& { return r.classes[0]; };
    const std::vector<std::pair<const char*, Damage>> rows = {
        {"slot count past the slots", [](Records& r) { r.slotCountOverride = 4; }},
        {"map shorter than H + 1", [&](Records& r) { names(r).map.pop_back(); }},
        {"map entry past W", [&](Records& r) { names(r).map[1] = static_cast<uint16_t>(names(r).wordCount); }},
        {"map entry on the boundary", [&](Records& r) { names(r).map[1] = 0; }},
        {"phrase word unmapped", [&](Records& r) { names(r).phrases[0].ids[0] = 250; }},
        {"empty phrase", [&](Records& r) { names(r).phrases[0].ids.clear(); }},
        {"successor past W", [&](Records& r) { names(r).words[0].successors.entries.back().first = static_cast<uint16_t>(names(r).wordCount); }},
        {"successors not ascending", [&](Records& r) { std::swap(names(r).words[0].successors.entries[0], names(r).words[0].successors.entries[1]); }},
        {"posting past P", [&](Records& r) { names(r).words[1].postings.entries.back().first = 40; }},
        {"postings repeated", [&](Records& r) { auto& e = names(r).words[1].postings.entries; e.push_back(e.back()); }},
        {"count above capacity", [&](Records& r) { names(r).words[0].successors.capacity = 2; }},
        {"capacity below L0", [&](Records& r) { names(r).words[2].postings.capacity = 1; }},
        {"capacity past 65535", [&](Records& r) { names(r).words[0].successors.capacity = 65536; }},
        {"log count off", [&](Records& r) { names(r).words[1].logCount += 1; }},
        {"log total off", [&](Records& r) { names(r).logTotal += 1; }},
        {"W past 65534", [&](Records& r) { names(r).wordCount = 65535; }},
        {"P of 65535", [&](Records& r) { names(r).phraseCount = 65535; }},
        {"total at the limit", [&](Records& r) { names(r).total = 0x3FFFF; }},
        {"H past 65533", [&](Records& r) { names(r).highest = 65534; }},
        {"shared block longer", [&](Records& r) { names(r).extraShared = 1; }},
        {"L0 W past 2^28", [&](Records& r) { names(r).l0 = 0x10000; }},
        {"duplicate names", [](Records& r) { r.classes[2].name = "names"; }},
        {"empty name", [](Records& r) { r.classes[2].name = std::string(1, '\0'); }},
        {"text with an inner terminator", [&](Records& r) { names(r).phrases[1].text += u'\0'; }},
    };
    for (const auto& [what, damage] : rows) {
        Records r = records();
        damage(r);
        r.share();
        const size_t blocks = m_allocator.liveBlocks();
        EXPECT_EQ(read(index(), image(r)), 0) << what;
        EXPECT_EQ(IR_ComputeCRC(index()), crc) << what;
        EXPECT_EQ(m_allocator.liveBlocks(), blocks) << what;
    }
    EXPECT_EQ(answers(index()), before);
    // No sub-file: 0, the index as it was.
    ArchiveFixture empty("empty.dvk");
    empty.add("other", [](BinFileWriter* w) { return BinFileWriter_WriteUnsignedInt(w, 1) != 0; });
    empty.finish();
    EXPECT_EQ(read(index(), empty.bytes()), 0);
    EXPECT_EQ(IR_ComputeCRC(index()), crc);
}

TEST_F(IRFileTest, ReadsCutShortAreRefused)
{
    build(index());
    const uint32_t crc = IR_ComputeCRC(index());
    Records r = records();
    // Drop whole phrases or word records from the end of the first class.
    for (size_t keep : {0u, 1u, 5u, 20u}) {
        Records cut = r;
        cut.classes[0].words.resize(std::min(keep, cut.classes[0].words.size()));
        EXPECT_EQ(read(index(), image(cut)), 0) << keep;
        cut = r;
        cut.classes[0].phrases.resize(keep);
        EXPECT_EQ(read(index(), image(cut)), 0) << keep;
        EXPECT_EQ(IR_ComputeCRC(index()), crc);
    }
}

TEST_F(IRFileTest, EveryAllocationFailingInTurnLeavesTheIndexAsItWas)
{
    build(index());
    IR* source = IR_Create(nullptr);
    build(source);
    add("songs", {200}, 10, source);
    const std::string bytes = written(source);
    const uint32_t expected = IR_ComputeCRC(source);
    IR_Delete(source);
    const uint32_t crc = IR_ComputeCRC(index());
    ArchiveFixture archive("in.dvk");
    DVKTar* tar = archive.openMapped(bytes);
    ASSERT_NE(tar, nullptr);
    for (uint64_t n = 1;; ++n) {
        const size_t blocks = m_allocator.liveBlocks();
        const uint64_t failures = m_allocator.failures();
        m_allocator.failAt(m_allocator.calls() + n);
        int32_t result = 0;
        DVKErr_Protect([&] { result = IR_ReadBinFile(index(), tar, nullptr); });
        m_allocator.failAt(0);
        if (m_allocator.failures() == failures) {
            EXPECT_EQ(result, 1);
            EXPECT_EQ(IR_ComputeCRC(index()), expected);
            break;
        }
        EXPECT_EQ(result, 0) << n;
        EXPECT_EQ(IR_ComputeCRC(index()), crc) << n;
        EXPECT_EQ(m_allocator.liveBlocks(), blocks) << n;
    }
}

TEST_F(IRFileTest, FuzzSeedsAreWhatTheWriterMakes)
{
    checkFuzzSeed("brevit_phrase_index", "three_classes", image(records()));
    Records small = phrase_index::count({ClassSpec{"a", 1, 0, 1, 256, {{1, u"x", {3}}, {2, u"x y", {3, 4}}}}},
                                        [](uint32_t x) { return uint32_t{IR_LogN(x)}; });
    checkFuzzSeed("brevit_phrase_index", "one_class", image(small));
}

}  // namespace
