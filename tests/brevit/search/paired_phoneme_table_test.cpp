// The paired-phoneme table against the acoustic model's own answers: each
// pair asked once, kept sorted, emptied when full, checksummed, and created
// with every allocation failing in turn.
#include "core/brevit/search/paired_phoneme_table.h"

#include "core/brevit/acoustic/am.h"
#include "core/brevit/acoustic/am_phones.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_err.h"
#include "tests/brevit/acoustic/acoustic_fixture.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

class PairedPhonemeTableTest : public AcousticTest {
protected:
    std::vector<uint16_t> answer(AM* am, uint16_t first, uint16_t second)
    {
        std::vector<uint16_t> out(static_cast<size_t>(AM_GetNumPhonemes(am) + 2));
        const int32_t n = AM_GetPairedPhonemes(am, out.data(), first, second);
        out.resize(static_cast<size_t>(n + 1));   // the models and the one after
        return out;
    }
};

TEST_F(PairedPhonemeTableTest, AnswersAsTheModelAndAsksItOncePerPair)
{
    AM* am = load(AcousticModelSpec{});
    ASSERT_NE(am, nullptr);
    PairedPhonemeTable* table = PairedPhonemeTable_Create(64, 8 * 64, am);
    ASSERT_NE(table, nullptr);
    std::mt19937 random(214);
    const auto P = static_cast<uint32_t>(AM_GetNumPhonemes(am));
    for (int q = 0; q < 300; ++q) {
        const auto first = static_cast<uint16_t>(random() % P);
        const auto second = static_cast<uint16_t>(random() % P);
        int32_t length = -1;
        const uint16_t* list = PairedPhonemeTable_Lookup(table, first, second, &length);
        const std::vector<uint16_t> expected = answer(am, first, second);
        const int32_t before = table->count;
        int32_t again = -1;
        EXPECT_EQ(PairedPhonemeTable_Lookup(table, first, second, &again), list);
        EXPECT_EQ(table->count, before);
        // The list is the model's answer, its end mark one place after it.
        const auto* end = list;
        while (*end != 0x7FFF)
            ++end;
        if (expected.back() != 0x7FFF) {
            EXPECT_EQ(std::vector<uint16_t>(list, end), expected);
            EXPECT_EQ(list[expected.size()], 0x7FFF);
        }
        EXPECT_EQ(length, static_cast<int32_t>(end - list) - 1);
        EXPECT_EQ(again, length);
        for (int32_t i = 1; i < table->count; ++i)
            ASSERT_LT(table->keys[i - 1], table->keys[i]);
    }
    PairedPhonemeTable_Delete(table);
}

TEST_F(PairedPhonemeTableTest, AFullTableStartsAgainWithItsNextPair)
{
    AM* am = load(AcousticModelSpec{});
    PairedPhonemeTable* table = PairedPhonemeTable_Create(2, 16, am);
    int32_t length = 0;
    PairedPhonemeTable_Lookup(table, 0, 1, &length);
    PairedPhonemeTable_Lookup(table, 1, 1, &length);
    EXPECT_EQ(table->count, 2);
    PairedPhonemeTable_Lookup(table, 2, 0, &length);
    EXPECT_EQ(table->count, 1);
    EXPECT_EQ(table->keys[0], (2u << 16) | 0u);
    // The checksum: phonemes, each key and list, capacity and count.
    uint32_t crc = DVKCrc_AddValue(static_cast<uint32_t>(AM_GetNumPhonemes(am)), 4, 0xFFFFFFFFu);
    crc = DVKCrc_AddValue(2, 2, crc);
    crc = DVKCrc_AddValue(0, 2, crc);
    for (const uint16_t* p = table->lists[0]; *p != 0x7FFF; ++p)
        crc = DVKCrc_AddValue(*p, 2, crc);
    crc = DVKCrc_AddValue(2, 4, crc);
    crc = DVKCrc_AddValue(1, 4, crc);
    EXPECT_EQ(PairedPhonemeTable_ComputeCRC(table), crc);
    PairedPhonemeTable_Reset(table);
    EXPECT_EQ(table->count, 0);
    PairedPhonemeTable_Delete(table);
    EXPECT_EQ(PairedPhonemeTable_Create(0, 16, am), nullptr);
    PairedPhonemeTable_Delete(nullptr);
    PairedPhonemeTable_Reset(nullptr);
}

TEST_F(PairedPhonemeTableTest, EveryAllocationFailingLeavesNoLeak)
{
    AM* am = load(AcousticModelSpec{});
    const size_t held = m_allocator.liveBlocks();
    for (uint64_t n = 1;; ++n) {
        const uint64_t failures = m_allocator.failures();
        m_allocator.failAt(m_allocator.calls() + n);
        PairedPhonemeTable* table = nullptr;
        DVKErr_Protect([&] {
            table = PairedPhonemeTable_Create(4, 8, am);
            if (table != nullptr) {
                int32_t length = 0;
                for (uint16_t k = 0; k < 6; ++k)
                    PairedPhonemeTable_Lookup(table, k % 3, 1, &length);
            }
        });
        m_allocator.failAt(0);
        PairedPhonemeTable_Delete(table);
        EXPECT_EQ(m_allocator.liveBlocks(), held);
        if (table != nullptr && m_allocator.failures() == failures)
            break;
        ASSERT_LT(n, 200u);
    }
}

} // namespace
