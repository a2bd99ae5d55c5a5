// The vocabulary with its real components (only the language model is the
// test kind): a word added from its spoken form by the letter-to-sound
// model, activated and given a further pron, then the user state written
// and read into a fresh vocabulary of the same model files.
#include "core/brevit/lexicon/vocabulary.h"
#include "tests/brevit/lexicon/vocabulary_test_base.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class VocabularyLane : public VocabularyTest {
protected:
    static VocabularyFixture::Options options()
    {
        VocabularyFixture::Options o;
        o.generator = true;
        o.textPron = true;
        return o;
    }

    // Everything the vocabulary answers about its active words and prons.
    std::vector<std::string> answers(Voc* voc)
    {
        std::vector<std::string> out;
        for (int32_t a = 0; a <= Voc_GetActiveIdLimit(voc); ++a) {
            const VocId id = Voc_ActiveIdToVocId(voc, a);
            char name[64] = "";
            Voc_GetWordNameText(voc, id, 64, name, 1);
            out.push_back(std::to_string(a) + " " + name + " master " + std::to_string(Voc_GetMasterId(voc, id)));
            for (int32_t k = 0;; ++k) {
                const int32_t pron = Voc_GetNthPronId(voc, id, k);
                if (pron == 65535)
                    break;
                Voc_GetPronWordNameText(voc, pron, 64, name, 1);
                out.push_back("  " + std::to_string(pron) + " " + name + ": " + recogPron(voc, pron));
            }
        }
        return out;
    }
};

TEST_F(VocabularyLane, AddedWordsSurviveTheUserState)
{
    VocabularyFixture& f = fixture(options());
    Voc* voc = f.voc();
    ASSERT_NE(voc, nullptr);
    f.attach(m_model);
    m_model.table[{1, 2, 3}] = 42;
    m_model.table[{3}] = -7;

    VocId bass = 0;
    int32_t added = 0;
    ASSERT_EQ(Voc_AddWord(voc, u16(u"Bass"), u16(u"base"), nullptr, &bass, &added), 0);
    ASSERT_EQ(added, 1);
    ASSERT_EQ(Voc_ActivateMasterId(voc, bass & 0xFFFFFF), 3);
    ASSERT_EQ(Voc_AddPronunciation(voc, bass, f.pron("B AA Z").data()), 6);
    ASSERT_EQ(Voc_AddPronunciation(voc, 0xC0000002u, f.pron("R IY V ER Z").data()), 7);
    const std::vector<std::string> expected = {
        "0 call master 0", "  0 call: K AO L",
        "1 New_York\\new_york master 1", "  1 New_York\\new_york: N UW Y AO R K",
        "2 river master 2", "  2 river: R IH V ER", "  3 river(1): R IY V ER", "  4 river(2): R IH V ER Z",
        "  7 river(3): R IY V ER Z",
        "3 Bass\\base master 4", "  5 Bass\\base: B ' AA S .", "  6 Bass\\base(1): B AA Z"};
    EXPECT_EQ(answers(voc), expected);

    ArchiveFixture user("user.dvk");
    ASSERT_EQ(Voc_WritePSAFile(voc, user.tar(), nullptr), 1);
    user.finish();

    Voc* fresh = f.load();
    ASSERT_NE(fresh, nullptr);
    TestLanguageModel& freshModel = newModel();
    f.attach(freshModel, fresh);
    ASSERT_EQ(Voc_ReadPSAFile(fresh, user.openMapped(), nullptr), 1);
    EXPECT_EQ(Voc_ComputeCRC(fresh), Voc_ComputeCRC(voc));
    EXPECT_EQ(answers(fresh), expected);
    EXPECT_EQ(freshModel.table, m_model.table);
    EXPECT_EQ(m_fixture->id(u"Bass", u"base", fresh), bass);

    // A vocabulary holding run-time words refuses the restore before any
    // of its lists changes.
    Voc* busy = f.load();
    ASSERT_NE(busy, nullptr);
    ASSERT_EQ(Voc_ActivateMasterId(busy, 3), 3);
    const uint32_t crc = Voc_ComputeCRC(busy);
    const std::vector<std::string> before = answers(busy);
    EXPECT_EQ(Voc_ReadPSAFile(busy, user.openMapped(), nullptr), 0);
    EXPECT_EQ(Voc_ComputeCRC(busy), crc);
    EXPECT_EQ(answers(busy), before);
    EXPECT_EQ(m_fixture->id(u"Bass", u"base", busy), kVocNoId);
}

} // namespace
