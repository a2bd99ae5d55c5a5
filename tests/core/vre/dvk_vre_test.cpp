// Creation, the language checks and the stored halves.
#include "tests/core/vre/vre_fixture.h"

#include "sdk/common/dvk_file.h"

namespace {

using VreCreateTest = VreTest;

struct SupportCase {
    uint32_t capabilities;
    uint32_t kindWord;
    int32_t recognition, partial, code;
};

TEST_F(VreCreateTest, SupportFollowsTheModelFileAndItsPropertyWords)
{
    const SupportCase cases[] = {
        {92, 4, 1, 1, 1}, {28, 28, 1, 0, 2}, {28 | 64, 30, 1, 1, 3}, {4, 7, 1, 0, 0},
    };
    for (const SupportCase& c : cases) {
        SCOPED_TRACE(c.capabilities);
        FakeModelSet set;
        set.capabilities = c.capabilities;
        set.kindWord = c.kindWord;
        installModelSet("lvr_enus.bin", set);
        int32_t code = -1, info = -1;
        EXPECT_EQ(dvk_vre_isLanguageSupported(kEnglish, 1, &code, &info), c.recognition);
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(info, 0);
        EXPECT_EQ(dvk_vre_isLanguageSupported(kEnglish, 2, &code, &info), c.partial);
    }
    int32_t code, info;
    // No file, or a file whose information does not read.
    EXPECT_EQ(dvk_vre_isLanguageSupported(kEnglish, 3, &code, &info), 0);
    EXPECT_EQ(dvk_vre_isLanguageSupported(kEnglish, 4, &code, &info), 0);
    fakeBrevit().modelSets["lvr_enus.bin"].readable = false;
    EXPECT_EQ(dvk_vre_isLanguageSupported(kEnglish, 1, &code, &info), 0);
    // Described but not on disk.
    fakeBrevit().modelSets["lvd_enus.bin"] = {};
    EXPECT_EQ(dvk_vre_isLanguageSupported(kEnglish, 3, &code, &info), 0);
}

TEST_F(VreCreateTest, AStoredModelSetOfTheLanguageNeedsNoFile)
{
    fakeBrevit().modelSets.clear();
    fakeBrevit().storedSets = {{"dede", 92, 4}, {"enus", 1, 28}, {"enus", 0, 30}};
    int32_t code, info;
    EXPECT_EQ(dvk_vre_isLanguageSupported(kEnglish, 3, &code, &info), 1);
    EXPECT_EQ(code, 2);
    EXPECT_EQ(dvk_vre_isLanguageSupported(kEnglish, 4, &code, &info), 1);
    EXPECT_EQ(code, 3);
    EXPECT_EQ(dvk_vre_isLanguageSupported(kEnglish, 1, &code, &info), 0);
    fakeBrevit().results["GetNumberStoredModelSets"] = {EBrevit_EngineError};
    EXPECT_EQ(dvk_vre_isLanguageSupported(kEnglish, 3, &code, &info), 0);
}

TEST_F(VreCreateTest, CreationMakesTheEngineFromTheRecognitionFile)
{
    create();
    EXPECT_EQ(vre_->mode, 0);
    EXPECT_EQ(vre_->language, kEnglish);
    EXPECT_EQ(vre_->partialModelsSupported, 1);
    EXPECT_EQ(vre_->stringTable, strings_);
    EXPECT_NE(vre_->engine, nullptr);
    EXPECT_EQ(vre_->ttsEngine, nullptr);
    EXPECT_EQ(vre_->dictationPcmType, DVK_OEM_AUDIO_PCMTYPE_NONE);
    EXPECT_EQ(fakeBrevitCalls(0, {"CreateFromBinFile"}),
              std::vector<std::string>{"CreateFromBinFile(\"lvr_enus.bin\")"});
    dvk_vre_destroy(&vre_);
    EXPECT_EQ(vre_, nullptr);
    EXPECT_EQ(fakeBrevit().live, 0);
}

TEST_F(VreCreateTest, ASynthesisOnlyFileMakesASecondEngineForTexts)
{
    installModelSet("lvt_enus.bin", FakeModelSet{true, "enus", 0, 4, 8000});
    create();
    ASSERT_NE(vre_->ttsEngine, nullptr);
    EXPECT_EQ(fakeBrevit().live, 2);
    dvk_oem_audio_PCMType pcm;
    dvk_oem_audio_VocoderType vocoder;
    const int32_t ids[] = {1, 2};
    ASSERT_EQ(dvk_vre_startTTSFromText(vre_, u(u"hello"), 100, 0, &pcm, &vocoder), 0);
    ASSERT_EQ(dvk_vre_startTTSFromIds(vre_, ids, 2, 100, 0, &pcm, &vocoder), 0);
    EXPECT_EQ(fakeBrevitCalls(0, {"StartTTS"}),
              (std::vector<std::string>{"StartTTSFromTextU(2, \"hello\", 4, 8000, 100, 0)",
                                        "StartTTSFromIds(1, 2, 4, 8000, 100, 0)"}));
}

TEST_F(VreCreateTest, DictationTakesTheDictationFileAndItsRate)
{
    fakeBrevit().modelSets.clear();
    installModelSet("lvd_enus.bin", FakeModelSet{true, "enus", 1, 4, 16000});
    EXPECT_EQ(dvk_vre_create(&vre_, kEnglish, 0, strings_), 2);
    EXPECT_EQ(vre_, nullptr);
    create(kEnglish, 1);
    EXPECT_EQ(vre_->dictationPcmType, DVK_OEM_AUDIO_PCMTYPE_16K);
    EXPECT_EQ(fakeBrevitCalls(0, {"CreateFromBinFile"}),
              std::vector<std::string>{"CreateFromBinFile(\"lvd_enus.bin\")"});
}

TEST_F(VreCreateTest, ARecordingTypeWithoutARateFailsCreation)
{
    fakeRecordingPcmType() = DVK_OEM_AUDIO_PCMTYPE_NONE;
    const long live = dvk_mem_liveBlocks();
    EXPECT_EQ(dvk_vre_create(&vre_, kEnglish, 0, strings_), 1);
    EXPECT_EQ(vre_, nullptr);
    EXPECT_EQ(dvk_mem_liveBlocks(), live);
    EXPECT_EQ(fakeBrevit().created, 0);
    fakeRecordingPcmType() = DVK_OEM_AUDIO_PCMTYPE_16K;
    create();
}

TEST_F(VreCreateTest, AnUnsupportedLanguageAllocatesNothing)
{
    EXPECT_EQ(dvk_vre_create(&vre_, 7, 0, strings_), 2);
    EXPECT_EQ(vre_, nullptr);
    EXPECT_EQ(fakeBrevit().created, 0);
}

TEST_F(VreCreateTest, AFailedCreationLeavesNoRecogniserAndNoBlock)
{
    installModelSet("lvt_enus.bin", FakeModelSet{true, "enus", 0, 4, 8000});
    for (EBrevit failure : {EBrevit_EngineError, EBrevit_MemoryError, EBrevit_StoredDataError}) {
        const long live = dvk_mem_liveBlocks();
        fakeBrevit().results["CreateFromBinFile"] = {failure};
        EXPECT_EQ(dvk_vre_create(&vre_, kEnglish, 0, strings_), 1);
        EXPECT_EQ(vre_, nullptr);
        EXPECT_EQ(dvk_mem_liveBlocks(), live);
        // The second engine fails: the first goes as well.
        fakeBrevit().results["CreateFromBinFile"] = {kFakeNormal, failure};
        EXPECT_EQ(dvk_vre_create(&vre_, kEnglish, 0, strings_), 1);
        EXPECT_EQ(vre_, nullptr);
        EXPECT_EQ(dvk_mem_liveBlocks(), live);
        EXPECT_EQ(fakeBrevit().live, 0);
    }
}

TEST_F(VreCreateTest, EveryAllocationFailingInTurnFailsCreationCleanly)
{
    installModelSet("lvt_enus.bin", FakeModelSet{true, "enus", 0, 4, 8000});
    for (long n = 0;; ++n) {
        ASSERT_LT(n, 200);
        const long live = dvk_mem_liveBlocks();
        dvk_mem_failAfter(n);
        const int32_t result = dvk_vre_create(&vre_, kEnglish, 0, strings_);
        dvk_mem_failAfter(-1);
        if (result == 0) {
            // A check that ran short of memory reads as "no synthesis-only
            // set": the recogniser then synthesises on its main engine.
            if (vre_->ttsEngine != nullptr)
                break;
            dvk_vre_destroy(&vre_);
            EXPECT_EQ(dvk_mem_liveBlocks(), live) << "allocation " << n;
            continue;
        }
        // Without memory a file name or a check may fail first: 2 or 1.
        EXPECT_TRUE(result == 1 || result == 2) << result;
        EXPECT_EQ(vre_, nullptr);
        EXPECT_EQ(dvk_mem_liveBlocks(), live) << "allocation " << n;
        EXPECT_EQ(fakeBrevit().live, 0);
    }
}

// ---- Stored halves ------------------------------------------------------------------------------

class VreStorageTest : public VreTest {
protected:
    void SetUp() override
    {
        VreTest::SetUp();
        create();
        start_ = fakeBrevit().calls.size();
    }
    std::vector<std::string> storageCalls()
    {
        return fakeBrevitCalls(start_, {"LoadFromStoragePair", "SaveToStoragePair"});
    }
    size_t start_ = 0;
};

TEST_F(VreStorageTest, LoadingAsksOnlyForTheHalvesThatAreThere)
{
    int32_t loaded = -1;
    EXPECT_EQ(dvk_vre_load(vre_, 2, &loaded), 0);
    EXPECT_EQ(loaded, 0);
    EXPECT_EQ(vre_->needsSave, 1);
    EXPECT_TRUE(storageCalls().empty());

    writeTableFile("dvk_mdl_enus.dat", "fake models\n");
    EXPECT_EQ(dvk_vre_load(vre_, 2, &loaded), 0);
    EXPECT_EQ(loaded, 1);
    EXPECT_EQ(vre_->needsSave, 0);
    writeTableFile("dvk_voc_enus.dat", "fake vocabulary\n");
    EXPECT_EQ(dvk_vre_load(vre_, 0, &loaded), 0);
    EXPECT_EQ(dvk_vre_load(vre_, 1, &loaded), 0);
    EXPECT_EQ(dvk_vre_load(vre_, 2, &loaded), 0);
    EXPECT_EQ(storageCalls(), (std::vector<std::string>{
                                  "LoadFromStoragePair(\"dvk_mdl_enus.dat\", none)",
                                  "LoadFromStoragePair(none, \"dvk_voc_enus.dat\")",
                                  "LoadFromStoragePair(\"dvk_mdl_enus.dat\", none)",
                                  "LoadFromStoragePair(\"dvk_mdl_enus.dat\", \"dvk_voc_enus.dat\")",
                              }));
    EXPECT_EQ(dvk_vre_exists(kEnglish, 0, 0), 1);
    EXPECT_EQ(dvk_vre_exists(kEnglish, 0, 2), 1);
    EXPECT_EQ(dvk_vre_exists(kEnglish, 1, 1), 0);
    EXPECT_EQ(dvk_vre_exists(kEnglish, 0, 3), 0);
}

TEST_F(VreStorageTest, UnreadableDataIsRemovedAndTheEngineMadeAfresh)
{
    writeTableFile("dvk_mdl_enus.dat", "fake models\n");
    writeTableFile("dvk_voc_enus.dat", "fake vocabulary\n");
    fakeBrevit().results["LoadFromStoragePair"] = {EBrevit_StoredDataError};
    int32_t loaded = -1;
    EXPECT_EQ(dvk_vre_load(vre_, 2, &loaded), 0);
    EXPECT_EQ(loaded, 0);
    EXPECT_FALSE(dvk_file_fexist("dvk_mdl_enus.dat"));
    EXPECT_FALSE(dvk_file_fexist("dvk_voc_enus.dat"));
    // What the first engine read before it stopped is gone with it.
    EXPECT_EQ(fakeBrevitSerial(vre_->engine), 2);
    EXPECT_FALSE(fakeBrevitLoadedAnything(vre_->engine));
    EXPECT_EQ(fakeBrevit().live, 1);
    EXPECT_EQ(vre_->needsSave, 1);

    // No fresh engine to be had: the call fails and the old one stays.
    writeTableFile("dvk_voc_enus.dat", "fake vocabulary\n");
    fakeBrevit().results["LoadFromStoragePair"] = {EBrevit_StoredDataError};
    fakeBrevit().results["CreateFromBinFile"] = {EBrevit_MemoryError};
    EXPECT_EQ(dvk_vre_load(vre_, 0, &loaded), 1);
    EXPECT_EQ(loaded, 0);
    EXPECT_EQ(fakeBrevitSerial(vre_->engine), 2);
    EXPECT_FALSE(dvk_file_fexist("dvk_voc_enus.dat"));
}

TEST_F(VreStorageTest, SavedHalvesLoadIntoANewRecogniser)
{
    ListClass names("names", 0, 20, {u"Ann Lee", u"Bob"});
    int32_t classId = 0;
    ASSERT_EQ(Brevit_AddClass(vre_->engine, "names", 0, 0, 0, 0, 0, &classId), 0);
    ListConstraint constraint(-2, "names", {&names.wordClass});
    ASSERT_EQ(dvk_vre_rebuildMembers(vre_, &constraint.constraint), 0);
    ASSERT_EQ(dvk_vre_save(vre_, 2), 0);
    dvk_vre_destroy(&vre_);
    create();
    int32_t loaded = -1;
    ASSERT_EQ(dvk_vre_load(vre_, 2, &loaded), 0);
    EXPECT_EQ(loaded, 1);
    EXPECT_EQ(fakeBrevitMembers(vre_->engine, "names"), (std::vector<std::u16string>{u"Ann Lee", u"Bob"}));
}

TEST_F(VreStorageTest, OtherLoadFailuresAnswerOne)
{
    writeTableFile("dvk_voc_enus.dat", "fake vocabulary\n");
    fakeBrevit().results["LoadFromStoragePair"] = {EBrevit_WrongState};
    int32_t loaded = -1;
    EXPECT_EQ(dvk_vre_load(vre_, 0, &loaded), 1);
    EXPECT_EQ(loaded, 0);
    EXPECT_TRUE(dvk_file_fexist("dvk_voc_enus.dat"));
}

TEST_F(VreStorageTest, SavingWritesTheAskedHalvesAndReportsAWriteFailureAsThree)
{
    EXPECT_EQ(dvk_vre_save(vre_, 0), 0);
    EXPECT_EQ(dvk_vre_save(vre_, 1), 0);
    EXPECT_EQ(dvk_vre_save(vre_, 2), 0);
    fakeBrevit().results["SaveToStoragePair"] = {EBrevit_StorageWriteError, EBrevit_EngineError};
    EXPECT_EQ(dvk_vre_save(vre_, 2), 3);
    EXPECT_EQ(dvk_vre_save(vre_, 2), 1);
    EXPECT_EQ(storageCalls(), (std::vector<std::string>{
                                  "SaveToStoragePair(none, \"dvk_voc_enus.dat\")",
                                  "SaveToStoragePair(\"dvk_mdl_enus.dat\", none)",
                                  "SaveToStoragePair(\"dvk_mdl_enus.dat\", \"dvk_voc_enus.dat\")",
                                  "SaveToStoragePair(\"dvk_mdl_enus.dat\", \"dvk_voc_enus.dat\")",
                                  "SaveToStoragePair(\"dvk_mdl_enus.dat\", \"dvk_voc_enus.dat\")",
                              }));
}

TEST_F(VreStorageTest, RemovalTakesTheAskedHalvesOfEveryLanguage)
{
    for (const char* name : {"dvk_voc_enus.dat", "dvk_mdl_enus.dat", "dvk_voc_dede.dat", "dvk_dict_voc_enus.dat"})
        writeTableFile(name, "x");
    EXPECT_EQ(dvk_vre_remove(vre_, 1), 0);
    EXPECT_FALSE(dvk_file_fexist("dvk_mdl_enus.dat"));
    EXPECT_TRUE(dvk_file_fexist("dvk_voc_enus.dat"));
    EXPECT_EQ(dvk_vre_removeAll(0, 0), 0);
    EXPECT_FALSE(dvk_file_fexist("dvk_voc_enus.dat"));
    EXPECT_FALSE(dvk_file_fexist("dvk_voc_dede.dat"));
    EXPECT_TRUE(dvk_file_fexist("dvk_dict_voc_enus.dat"));
    EXPECT_EQ(dvk_vre_removeAll(2, 1), 0);
    EXPECT_FALSE(dvk_file_fexist("dvk_dict_voc_enus.dat"));
}

TEST_F(VreStorageTest, AdaptationStatusComesFromTheEngine)
{
    int32_t adapted = -1;
    EXPECT_EQ(dvk_vre_isSystemAdapted(vre_, &adapted), 0);
    EXPECT_EQ(adapted, 0);
    fakeBrevit().results["GetEnrollmentStatus"] = {EBrevit_EngineError};
    EXPECT_EQ(dvk_vre_isSystemAdapted(vre_, &adapted), 1);
    EXPECT_EQ(dvk_vre_partialModelsSupported(vre_), 1);
}

}  // namespace
