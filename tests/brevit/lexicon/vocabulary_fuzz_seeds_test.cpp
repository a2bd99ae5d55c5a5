// The seeds of the vocabulary fuzz target: user-state archives ("bmd1",
// "bacm0", "blm0") written by the vocabulary itself, over the model files
// and language model the target reads them with.
#include "core/brevit/lexicon/vocabulary.h"
#include "fuzz/brevit_vocabulary/vocabulary_fuzz.h"
#include "tests/brevit/lexicon/vocabulary_test_base.h"
#include "tests/support/fuzz_seed_check.h"

#include <string>

namespace {

class VocabularyFuzzSeeds : public VocabularyTest {
protected:
    std::string userState(Voc* voc, const char* name)
    {
        ArchiveFixture user(name);
        EXPECT_EQ(Voc_WritePSAFile(voc, user.tar(), nullptr), 1);
        user.finish();
        return user.bytes();
    }
};

TEST_F(VocabularyFuzzSeeds, CommittedSeedsAreWhatTheVocabularyWrites)
{
    VocabularyFixture& f = fixture(vocabulary_fuzz::options());
    TestLanguageModel& model = newModel(vocabulary_fuzz::modelFields());
    Voc* empty = f.load();
    ASSERT_NE(empty, nullptr);
    f.attach(model, empty);
    const std::string emptySeed = userState(empty, "empty.dvk");

    Voc* filled = f.load();
    TestLanguageModel& filledModel = newModel(vocabulary_fuzz::modelFields());
    f.attach(filledModel, filled);
    filledModel.table[{1, 2}] = 30;
    VocId id = 0;
    int32_t added = 0;
    ASSERT_EQ(Voc_AddWord(filled, u16(u"Bass"), u16(u"base"), nullptr, &id, &added), 0);
    ASSERT_EQ(Voc_ActivateMasterId(filled, id & 0xFFFFFF), 3);
    ASSERT_EQ(Voc_ActivateMasterId(filled, 3), 4);
    ASSERT_NE(Voc_AddPronunciation(filled, id, f.pron("B AA Z").data()), 65535);
    ASSERT_NE(Voc_AddPronunciation(filled, 0xC0000002u, f.pron("R IY V ER Z").data()), 65535);
    ASSERT_EQ(Voc_AddWord(filled, u16(u"quux"), nullptr, f.pron("K UW K S").data(), &id, &added), 0);
    const std::string filledSeed = userState(filled, "filled.dvk");
    std::string damaged = filledSeed;
    damaged.resize(damaged.size() * 2 / 3);

    const std::pair<const char*, std::string> seeds[] = {
        {"empty", emptySeed}, {"filled", filledSeed}, {"damaged", damaged}};
    for (const auto& [name, bytes] : seeds) {
        checkFuzzSeed("brevit_vocabulary", name, bytes);
        Voc* fresh = f.load();
        TestLanguageModel& freshModel = newModel(vocabulary_fuzz::modelFields());
        f.attach(freshModel, fresh);
        ArchiveFixture image("image.dvk");
        DVKTar* tar = image.openMapped(bytes);
        const int32_t read = tar != nullptr ? Voc_ReadPSAFile(fresh, tar, nullptr) : 0;
        EXPECT_EQ(read, std::string(name) == "damaged" ? 0 : 1) << name;
        if (std::string(name) == "filled") {
            EXPECT_EQ(Voc_ComputeCRC(fresh), Voc_ComputeCRC(filled));
        }
    }
}

} // namespace
