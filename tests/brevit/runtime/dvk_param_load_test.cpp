#include "core/brevit/runtime/bin_file_writer.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_param_load.h"
#include "tests/support/archive_fixture.h"
#include "tests/support/counting_allocator.h"
#include "tests/support/param_block_builder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <set>
#include <string>

namespace {

// Words the stored order never writes.
const int kAlignmentWords[] = {59,  69,  75,  105, 151, 171, 233, 423, 521, 591,
                               609, 683, 689, 777, 781, 819, 885, 925, 1007};

// Every loaded word, real and string set to something non-zero.
ParamBlockBuilder fullBuilder()
{
    ParamBlockBuilder builder;
    for (int32_t r = 0; r < kDVKParamLayoutRuns; ++r) {
        const DVKParamRun& run = kDVKParamLayout[r];
        for (uint32_t i = 0; i < run.count && run.kind != kDVKParamString; ++i) {
            if (run.kind == kDVKParamWords)
                builder.word(run.at + i, 0x1000u + run.at + i);
            else
                builder.real(run.at + 2 * i, run.at + 2 * i + 0.25);
        }
        if (run.kind == kDVKParamString && run.count > 1)
            builder.string(run.at / 4, std::string(run.count - 1u, static_cast<char>('a' + r % 26)));
    }
    return builder;
}

class ParameterBlock : public ::testing::Test {
protected:
    void TearDown() override
    {
        DVKMem_Free(m_block);
        m_archive.reset();
        EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks();
    }

    // Writes "dvkpar" from the builder and loads it back.
    BrevitGlobalParameters* load(const ParamBlockBuilder& builder, const char* prefix = nullptr)
    {
        EXPECT_TRUE(builder.write(m_archive->tar(), prefix));
        m_archive->finish();
        m_block = DVKParam_LoadFromBinFile(m_archive->openMapped(), prefix);
        return m_block;
    }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
    std::optional<ArchiveFixture> m_archive{std::in_place};
    BrevitGlobalParameters* m_block = nullptr;
};

TEST_F(ParameterBlock, StoredOrderHoldsEveryValueOnce)
{
    size_t words = 0;
    size_t reals = 0;
    std::multiset<uint32_t> slots;
    for (int32_t r = 0; r < kDVKParamLayoutRuns; ++r) {
        const DVKParamRun& run = kDVKParamLayout[r];
        if (run.kind == kDVKParamWords)
            words += run.count;
        else if (run.kind == kDVKParamReals)
            reals += run.count;
        else
            slots.insert(run.count);
    }
    EXPECT_EQ(words, 788u);
    EXPECT_EQ(reals, 47u);
    EXPECT_EQ(slots.size(), 36u);
    EXPECT_EQ(slots.count(1), 32u);
    EXPECT_EQ(slots.count(128), 2u);
    EXPECT_EQ(slots.count(30), 2u);
    EXPECT_EQ(ParamBlockBuilder::recordCount(), 788u + 47 + 36);
    EXPECT_EQ(sizeof(BrevitGlobalParameters), 4032u);
}

// What the stored order puts at a word: 'w' word, 'r' first word of a real,
// 's' start of a string slot, 0 nothing.
char kindAt(int word)
{
    for (int32_t r = 0; r < kDVKParamLayoutRuns; ++r) {
        const DVKParamRun& run = kDVKParamLayout[r];
        if (run.kind == kDVKParamWords && word >= run.at && word < run.at + run.count)
            return 'w';
        if (run.kind == kDVKParamReals && word >= run.at && word < run.at + 2 * run.count)
            return (word - run.at) % 2 == 0 ? 'r' : 0;
        if (run.kind == kDVKParamString && run.at == word * 4)
            return 's';
    }
    return 0;
}

TEST_F(ParameterBlock, NamedWordsHoldTheKindsTheirReadersExpect)
{
    for (int word : {kBrevitParamGarbageScale, kBrevitParamWordEndPruneScale,
                     kBrevitParamClusterCloseness, kBrevitParamRunTimeWordScale})
        EXPECT_EQ(kindAt(word), 'r') << word;
    EXPECT_EQ(kindAt(kBrevitParamSelfLoopClassName), 's');
    for (int word : {kBrevitParamWarnings, kBrevitParamAbortOnError, kBrevitParamArchiveMode,
                     kBrevitParamCepstrumCount, kBrevitParamFrameQueueCapacity,
                     kBrevitParamMaxTrees, kBrevitParamIteratorMode, kBrevitParamPackedFrames0})
        EXPECT_EQ(kindAt(word), 'w') << word;
}

TEST_F(ParameterBlock, LoadsEveryValueAndLeavesAlignmentWordsZero)
{
    const ParamBlockBuilder builder = fullBuilder();
    BrevitGlobalParameters* block = load(builder);
    ASSERT_NE(block, nullptr);
    const BrevitGlobalParameters expected = builder.block();
    EXPECT_EQ(std::memcmp(block, &expected, sizeof(expected)), 0);
    for (int word : kAlignmentWords)
        EXPECT_EQ(block->words[word], 0u) << "word " << word;
    EXPECT_EQ(block->words[0], 0x1000u);
    EXPECT_EQ(block->words[1006], 0x1000u + 1006);
    double real = 0;
    std::memcpy(&real, &block->words[988], sizeof(real));
    EXPECT_EQ(real, 988.25);
    EXPECT_EQ(std::strlen(reinterpret_cast<const char*>(&block->words[439])), 127u);
}

TEST_F(ParameterBlock, PrefixSelectsTheInstance)
{
    BrevitGlobalParameters* block =
        load(ParamBlockBuilder().word(kBrevitParamWarnings, 1), "model0/");
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->words[kBrevitParamWarnings], 1u);
    EXPECT_EQ(DVKParam_LoadFromBinFile(m_archive->openMapped(), nullptr), nullptr);
}

TEST_F(ParameterBlock, WrongFormatOrShortSubFileLeavesNoBlock)
{
    struct Case {
        const char* what;
        ParamBlockBuilder builder;
    };
    const Case cases[] = {
        {"format 870", ParamBlockBuilder().formatNumber(870)},
        {"one word short", ParamBlockBuilder().recordLimit(ParamBlockBuilder::recordCount() - 1)},
        {"no values", ParamBlockBuilder().recordLimit(0)},
    };
    for (const Case& c : cases) {
        ArchiveFixture archive(std::string("params-") + std::to_string(&c - cases) + ".dvk");
        ASSERT_TRUE(c.builder.write(archive.tar()));
        archive.finish();
        EXPECT_EQ(DVKParam_LoadFromBinFile(archive.openForRead(), nullptr), nullptr) << c.what;
        EXPECT_EQ(m_allocator.liveBlocks(), 1u) << c.what;  // the open archive only
    }
    // No sub-file at all.
    m_archive->addBytes("other", "x");
    m_archive->finish();
    EXPECT_EQ(DVKParam_LoadFromBinFile(m_archive->openForRead(), nullptr), nullptr);
}

TEST_F(ParameterBlock, StringsMustFitTheirSlots)
{
    struct Case {
        const char* what;
        int word;
        int byte;
        std::string text;
        bool loads;
    };
    const Case cases[] = {
        {"127 characters in 128 bytes", 439, 0, std::string(127, 'x'), true},
        {"128 characters in 128 bytes", 471, 0, std::string(128, 'x'), false},
        {"29 characters in 30 bytes", 755, 0, std::string(29, 'y'), true},
        {"30 characters in 30 bytes", 642, 0, std::string(30, 'y'), false},
        {"one character in a one-byte slot", 68, 0, "z", false},
        {"one character in a one-byte slot of a shared word", 507, 2, "z", false},
        {"beyond the work buffer", 439, 0, std::string(1024, 'w'), false},
    };
    for (const Case& c : cases) {
        ArchiveFixture archive(std::string("strings-") + std::to_string(&c - cases) + ".dvk");
        ASSERT_TRUE(ParamBlockBuilder().string(c.word, c.text, c.byte).write(archive.tar()));
        archive.finish();
        BrevitGlobalParameters* block = DVKParam_LoadFromBinFile(archive.openMapped(), nullptr);
        EXPECT_EQ(block != nullptr, c.loads) << c.what;
        if (block != nullptr) {
            const char* slot = reinterpret_cast<const char*>(block->words) + c.word * 4 + c.byte;
            EXPECT_EQ(std::string(slot), c.text) << c.what;
        }
        DVKMem_Free(block);
    }
}

TEST_F(ParameterBlock, NullStringRecordsLoadAsEmptyStrings)
{
    m_archive->add(kDVKParamSubFileTag, [](BinFileWriter* w) {
        bool ok = BinFileWriter_WriteUnsignedInt(w, kDVKParamFormatNumber) != 0;
        for (int32_t r = 0; ok && r < kDVKParamLayoutRuns; ++r) {
            const DVKParamRun& run = kDVKParamLayout[r];
            if (run.kind == kDVKParamString)
                ok = BinFileWriter_WriteString(w, nullptr);
            for (uint32_t i = 0; ok && run.kind != kDVKParamString && i < run.count; ++i)
                ok = run.kind == kDVKParamWords ? BinFileWriter_WriteInt(w, 1)
                                                : BinFileWriter_WriteReal(w, 1.0);
        }
        return ok;
    });
    m_archive->finish();
    m_block = DVKParam_LoadFromBinFile(m_archive->openMapped(), nullptr);
    ASSERT_NE(m_block, nullptr);
    EXPECT_EQ(m_block->words[68], 0u);
    EXPECT_EQ(m_block->words[439], 0u);
    EXPECT_EQ(m_block->words[67], 1u);
}

TEST_F(ParameterBlock, OppositeByteOrderIsRefused)
{
    m_archive->useOppositeByteOrder();
    ASSERT_TRUE(fullBuilder().write(m_archive->tar()));
    m_archive->finish();
    EXPECT_EQ(DVKParam_LoadFromBinFile(m_archive->openMapped(), nullptr), nullptr);
}

TEST_F(ParameterBlock, FailedAllocationLeavesNoBlock)
{
    ASSERT_TRUE(fullBuilder().write(m_archive->tar()));
    m_archive->finish();
    DVKTar* tar = m_archive->openMapped();
    // Reader record, its stream, the stream's name, then the block.
    m_allocator.failAt(m_allocator.calls() + 4);
    EXPECT_EQ(DVKParam_LoadFromBinFile(tar, nullptr), nullptr);
    EXPECT_TRUE(m_allocator.failed());
}

TEST_F(ParameterBlock, InstalledBlockIsReadByNameAndRemovedAfterItsScope)
{
    ASSERT_EQ(gpBrevitGlobalParameters, nullptr);
    EXPECT_EQ(BrevitParam_Word(kBrevitParamArchiveMode), 0u);
    {
        ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamArchiveMode, 1));
        EXPECT_EQ(BrevitParam_Word(kBrevitParamArchiveMode), 1u);
    }
    EXPECT_EQ(gpBrevitGlobalParameters, nullptr);
}

} // namespace
