// The whole-vocabulary constraint over prons 0..4 of which 2 is not active.
#include "core/brevit/search/whole_voc_constraint.h"

#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/bin_file_writer.h"
#include "core/brevit/search/constraint_kind_doubles.h"
#include "tests/brevit/search/constraint_test.h"
#include "tests/brevit/search/fake_vocabulary.h"
#include "tests/support/archive_fixture.h"
#include "tests/support/param_block_builder.h"

#include <tuple>
#include <vector>

namespace {

using Offer = std::tuple<uint16_t, ActiveId, uint32_t, uint16_t>;
using Offers = std::vector<Offer>;

class WholeVocTest : public ConstraintTest {
protected:
    void TearDown() override
    {
        for (Constraint* con : m_made)
            Constraint_Delete(con, 0);
        ConstraintTest::TearDown();
    }

    Constraint* make(int32_t singleWord)
    {
        m_made.push_back(WholeVocConstraint_Create(m_words.voc(), singleWord));
        return m_made.back();
    }

    static Offers offers(Constraint* con, uint16_t previous, ActiveId id, uint16_t restrict = kConstraintNoPron)
    {
        ConstraintIterator it;
        Constraint_IteratorInit(con, &it, previous, 0, id, restrict);
        Offers out;
        ConstraintSuccessor s{};
        while (Constraint_IteratorNext(con, &it, &s) != 0)
            out.emplace_back(s.member, s.next, s.final, s.score);
        return out;
    }

    FakeVocabulary m_words{std::map<uint16_t, std::vector<uint16_t>>{{7, {0, 1}}, {8, {3, 4}}}};
    std::vector<Constraint*> m_made;
};

TEST_F(WholeVocTest, OffersEveryActivePronFinalAndFree)
{
    Constraint* con = make(0);
    const ActiveId start = Constraint_MakeStartActiveId(5);
    const ActiveId next = ActiveId_FromWords(0x00A00000u, 1);
    EXPECT_EQ(ActiveId_GetConstraintIndex(next), 5);
    const Offers all{{0, next, 1, 0}, {1, next, 1, 0}, {3, next, 1, 0}, {4, next, 1, 0}};
    EXPECT_EQ(offers(con, kConstraintSilencePron, start), all);
    EXPECT_EQ(offers(con, 3, next), all);
    struct Row {
        uint16_t restrict;
        Offers expected;
    };
    for (const Row& row : {Row{3, {{3, next, 1, 0}}}, Row{2, {}}, Row{9, {}}})
        EXPECT_EQ(offers(con, 1, next, row.restrict), row.expected) << row.restrict;
}

TEST_F(WholeVocTest, SingleWordOffersNothingAfterAWord)
{
    Constraint* con = make(1);
    const ActiveId start = Constraint_MakeStartActiveId(5);
    EXPECT_EQ(offers(con, kConstraintSilencePron, start).size(), 4u);
    EXPECT_EQ(offers(con, 0, ActiveId_FromWords(0x00A00000u, 1)), Offers{});
    EXPECT_EQ(offers(con, 0, ActiveId_FromWords(0x00A00000u, 1), 3), Offers{});
}

TEST_F(WholeVocTest, FixedAnswersAndChecksums)
{
    Constraint* con = make(0);
    Constraint* single = make(1);
    EXPECT_STREQ(con->name, "XWV");
    EXPECT_EQ(Constraint_ComputeCRC(con, 0), 0x6811A70Fu);
    EXPECT_EQ(Constraint_ComputeCRC(single, 0), 0xD0ADC06Au);
    EXPECT_EQ(con->ops.IsSimple(con), 0);
    EXPECT_EQ(Constraint_RemoveActiveId(con, 7), 1);
    EXPECT_EQ(con->ops.IsLegalPronEndingReverse(con, nullptr, 3), 1);
    EXPECT_EQ(con->ops.HasOptionalEnding(con), 1);
    EXPECT_EQ(Constraint_GetEndingPhns(con, 0, 0, nullptr), 65535);
    const uint32_t words[3] = {1, 2, 3};
    uint32_t classes[3] = {9, 9, 9};
    uint8_t flags[3] = {9, 9, 9};
    int32_t cost = -1;
    EXPECT_EQ(con->ops.FindParse(con, 3, words, classes, &cost, flags), 1);
    EXPECT_EQ(cost, 0);
    EXPECT_EQ(std::vector<uint32_t>(classes, classes + 3), (std::vector<uint32_t>{0, 0, 0}));
    EXPECT_EQ(std::vector<uint8_t>(flags, flags + 3), (std::vector<uint8_t>{1, 0, 0}));
}

TEST_F(WholeVocTest, StoredRecordRoundTripsWithItsChecksum)
{
    const ConstraintKindDoubles* previous = ConstraintKinds_InstallDoubles(nullptr);
    for (int32_t singleWord : {0, 1}) {
        Constraint* con = make(singleWord);
        std::strcpy(con->name, "free words");
        ArchiveFixture out("wv.dvk");
        out.add("bcm0", [con](BinFileWriter* w) { return Constraint_WritePSAFile(con, w) == 1; });
        out.finish();
        ArchiveFixture in("in.dvk");
        DVKTar* tar = in.openMapped(out.bytes());
        ASSERT_NE(tar, nullptr);
        BinFileReader* reader = BinFileReader_Create(tar, "bcm0", nullptr);
        ASSERT_NE(reader, nullptr);
        Constraint* back = Constraint_ReadFromBinFile(reader, kConstraintTypeWholeVocabulary, m_words.voc(), nullptr);
        BinFileReader_Delete(reader);
        ASSERT_NE(back, nullptr);
        m_made.push_back(back);
        EXPECT_STREQ(back->name, "free words");
        EXPECT_EQ(back->inUse, 1);
        EXPECT_EQ(Constraint_ComputeCRC(back, 0), Constraint_ComputeCRC(con, 0));
        // A record cut short is refused.
        ArchiveFixture cut("cut.dvk");
        cut.add("bcm0", [con](BinFileWriter* w) { return BinFileWriter_WriteArray(w, con->name, 64, 1) == 1; });
        cut.finish();
        ArchiveFixture again("again.dvk");
        DVKTar* shortTar = again.openMapped(cut.bytes());
        reader = BinFileReader_Create(shortTar, "bcm0", nullptr);
        ASSERT_NE(reader, nullptr);
        EXPECT_EQ(Constraint_ReadFromBinFile(reader, kConstraintTypeWholeVocabulary, m_words.voc(), nullptr), nullptr);
        BinFileReader_Delete(reader);
    }
    ConstraintKinds_InstallDoubles(previous);
}

TEST_F(WholeVocTest, CreationWithoutMemoryGivesNull)
{
    m_allocator.failAt(m_allocator.calls() + 1);
    EXPECT_EQ(WholeVocConstraint_Create(m_words.voc(), 0), nullptr);
    m_allocator.failAt(0);
}

} // namespace
