// Base of the letter-to-sound kind tests: loads a generator of any kind
// from its written fields and runs it, checking that nothing is written past
// the room, and gives the prons as plain phoneme lists.
#pragma once

#include "core/brevit/lexicon/pron_generator.h"
#include "tests/brevit/search/table_test.h"
#include "tests/support/pron_generator_writer.h"

#include <algorithm>
#include <string>
#include <vector>

using Pron = std::vector<uint16_t>;

struct Generated {
    int32_t count = 0;
    std::vector<Pron> prons;
    std::vector<int32_t> scores;
    int32_t needed = -1;
    bool endsEmpty = false;   // the output starts with 0xFFFF
};

class GeneratorTest : public TableTest {
protected:
    void TearDown() override
    {
        PG_Delete(m_pg);
        TableTest::TearDown();
    }

    template <typename AnyFields>
    static WrittenTable written(const AnyFields& f)
    {
        return WrittenTable([&](BinFileWriter* w) { return pron_generator::write(w, f); }, kPGSubFileTag);
    }

    template <typename AnyFields>
    PG* loadGenerator(const AnyFields& f)
    {
        WrittenTable table = written(f);
        return PG_LoadFromBinFile(table.tar(), nullptr);
    }

    template <typename AnyFields>
    void use(const AnyFields& f)
    {
        PG_Delete(m_pg);
        m_pg = loadGenerator(f);
        ASSERT_NE(m_pg, nullptr);
    }

    Generated generate(const std::u16string& text, int32_t wordClass = 0, int32_t most = 10,
                       int32_t room = 512)
    {
        return generateBy(m_pg, text, wordClass, most, room);
    }

    static Generated generateBy(const PG* pg, const std::u16string& text, int32_t wordClass = 0,
                                int32_t most = 10, int32_t room = 512)
    {
        std::vector<uint16_t> out(static_cast<size_t>(std::max(room, 1)) + 1, 0xEEEE);
        std::vector<int32_t> scores(16, -1);
        Generated g;
        g.count = PG_TextToMasterPron(pg, reinterpret_cast<const uint16_t*>(text.c_str()), wordClass,
                                      out.data(), room, scores.data(), most, &g.needed);
        EXPECT_EQ(out[static_cast<size_t>(std::max(room, 0))], 0xEEEE) << "written past the room";
        g.endsEmpty = out[0] == kPGPronEnd;
        size_t at = 0;
        for (int32_t k = 0; k < g.count; ++k) {
            Pron pron;
            for (; out[at] != kPGPronEnd; ++at)
                pron.push_back(out[at]);
            ++at;
            g.prons.push_back(pron);
            g.scores.push_back(scores[static_cast<size_t>(k)]);
        }
        return g;
    }

    // The prons alone, each checked to score 0, for the kinds without scores.
    std::vector<Pron> prons(const std::u16string& text, int32_t wordClass = 0, int32_t most = 10,
                            int32_t room = 512)
    {
        const Generated g = generate(text, wordClass, most, room);
        for (int32_t score : g.scores)
            EXPECT_EQ(score, 0);
        if (g.count == 0) {
            EXPECT_TRUE(g.endsEmpty);
        }
        return g.prons;
    }

    // The checksum is the same for two loads of one record, and differs
    // once any of changes is made to it.
    template <typename AnyFields>
    void expectChecksumCoversEveryField(const AnyFields& base,
                                        const std::vector<std::function<void(AnyFields&)>>& changes)
    {
        PG* first = loadGenerator(base);
        PG* second = loadGenerator(base);
        ASSERT_NE(first, nullptr);
        ASSERT_NE(second, nullptr);
        const uint32_t crc = PG_ComputeCRC(first);
        EXPECT_EQ(PG_ComputeCRC(second), crc);
        PG_Delete(first);
        PG_Delete(second);
        for (size_t i = 0; i < changes.size(); ++i) {
            AnyFields f = base;
            changes[i](f);
            PG* changed = loadGenerator(f);
            ASSERT_NE(changed, nullptr) << "change " << i;
            EXPECT_NE(PG_ComputeCRC(changed), crc) << "change " << i;
            PG_Delete(changed);
        }
    }

    template <typename AnyFields>
    void expectRefusedRows(const AnyFields& base, const std::vector<Damage<AnyFields>>& rows)
    {
        for (const auto& row : rows) {
            AnyFields f = base;
            row.damage(f);
            PG* pg = loadGenerator(f);
            EXPECT_EQ(pg, nullptr) << row.what;
            PG_Delete(pg);
        }
    }

    template <typename AnyFields>
    void expectAllocationFailuresRefused(const AnyFields& f)
    {
        written(f).expectAllocationFailuresRefused(m_allocator, PG_Load, PG_Delete);
    }

    PG* m_pg = nullptr;
};
