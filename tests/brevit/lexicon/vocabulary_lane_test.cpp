// The vocabulary with its real components (only the language model is the
// test kind), over the plain and the compressed word-list store alike: a
// word added from its spoken form by the letter-to-sound model, activated
// and given a further pron, a word whose prons are built from the words of
// its text, then the user state written and read into a fresh vocabulary of
// the same model files.
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/brevit/lexicon/vocabulary_test_base.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class VocabularyLane : public VocabularyTest, public ::testing::WithParamInterface<bool> {
protected:
    static VocabularyFixture::Options options()
    {
        VocabularyFixture::Options o;
        o.generator = true;
        o.textPron = true;
        o.compressed = GetParam();
        o.tokenizeType = 2;
        o.params = {{kBrevitParamGeneratedPronunciations, 1}, {kBrevitParamAlternativesLimit1, 3}};
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

    // A word's master prons as phoneme names.
    std::vector<std::string> masterProns(Voc* voc, VocId id)
    {
        std::vector<std::vector<uint16_t>> buffers(4, std::vector<uint16_t>(64, kPGPronEnd));
        std::vector<uint16_t*> pointers;
        for (auto& b : buffers)
            pointers.push_back(b.data());
        int32_t values[4];
        const int32_t n = Voc_GetMasterPronunciations(voc, id, 4, pointers.data(), values);
        std::vector<std::string> out;
        for (int32_t k = 0; k < n && k < 4; ++k)
            out.push_back(m_fixture->names(pointers[static_cast<size_t>(k)]));
        return out;
    }
};

TEST_P(VocabularyLane, AddedWordsSurviveTheUserState)
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
    // No spoken form: each token of the text brings its word's prons.
    VocId callZed = 0;
    ASSERT_EQ(Voc_AddWord(voc, u16(u"call zed"), nullptr, nullptr, &callZed, &added), 0);
    ASSERT_EQ(added, 1);
    const std::vector<std::string> fromText = {"K AO L Z EH D", "K AO L Z IY"};
    EXPECT_EQ(masterProns(voc, callZed), fromText);
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
    EXPECT_EQ(m_fixture->id(u"call zed", u"", fresh), callZed);
    EXPECT_EQ(masterProns(fresh, callZed), fromText);

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

INSTANTIATE_TEST_SUITE_P(Stores, VocabularyLane, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "Compressed" : "Plain";
                         });

} // namespace
