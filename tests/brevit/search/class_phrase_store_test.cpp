// Phrase classes in user storage: the phrase index ("bir0") is written just
// before the classes and read just before they link to it, so a restored
// phrase class scores as the saved one and recognition can be prepared.
// Classes restored without the index cannot be prepared.
#include "core/brevit/lexicon/ir.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/search/class_networks.h"
#include "tests/brevit/search/class_manager_test.h"
#include "tests/support/archive_fixture.h"
#include "tests/support/param_block_builder.h"

#include <string>
#include <vector>

namespace {

class ClassPhraseStore : public ClassManagerTest {
protected:
    void SetUp() override
    {
        ClassManagerTest::SetUp();
        m_saved = IR_Create(m_vocabulary.voc());
        ASSERT_NE(m_saved, nullptr);
        ASSERT_EQ(IR_CreateClass(m_saved, "gone", 1), 0);
        m_slot = IR_CreateClass(m_saved, "titles", 1);
        ASSERT_EQ(m_slot, 1);
        ASSERT_EQ(IR_RemoveClass(m_saved, "gone"), 1);   // the class keeps slot 1
        for (const auto& [ids, phraseId] : kPhrases)
            ASSERT_EQ(IR_AddPhrase(m_saved, "titles", nullptr, static_cast<int32_t>(ids.size()), ids.data(), phraseId),
                      1);
        ASSERT_EQ(ClassManager_AddIRClass(m_classes, "titles", 4, m_saved, m_slot), 1);
        ASSERT_EQ(addClass("_SHADOWIR_titles"), 1);
        ASSERT_EQ(ClassManager_PairIRClass(m_classes, id("titles"), id("_SHADOWIR_titles")), 1);
        for (const auto& [ids, phraseId] : kPhrases)
            ASSERT_EQ(add("titles", ids), 1);
        ASSERT_EQ(ClassManager_PrepareForRecognition(m_classes, 0), 1);
    }

    void TearDown() override
    {
        for (ClassManager* m : m_restored) {
            ClassManager_RemoveUnreferencedClasses(m);
            ClassManager_Delete(m);
        }
        for (IR* index : m_indexes)
            IR_Delete(index);
        IR_Delete(m_saved);
        ClassManagerTest::TearDown();
    }

    // The user storage: the index (when asked) just before the classes.
    std::string storage(bool withIndex)
    {
        ArchiveFixture archive("user.dvk");
        if (withIndex) {
            EXPECT_EQ(IR_WriteBinFile(m_saved, archive.tar(), nullptr), 1);
        }
        EXPECT_EQ(ClassManager_WritePSAFile(m_classes, archive.tar(), nullptr), 1);
        archive.finish();
        return archive.bytes();
    }

    struct Restored {
        IR* index = nullptr;
        ClassManager* classes = nullptr;
        int32_t indexRead = -1, classesRead = -1;
    };
    // A fresh index and manager read from the storage as the engine does.
    Restored restore(const std::string& bytes)
    {
        Restored r;
        r.index = IR_Create(m_vocabulary.voc());
        m_indexes.push_back(r.index);
        r.classes = ClassManager_Create(m_vocabulary.voc(), nullptr, m_constraints, 4);
        m_restored.push_back(r.classes);
        ArchiveFixture archive("in.dvk");
        DVKTar* tar = archive.openMapped(bytes);
        r.indexRead = IR_ReadBinFile(r.index, tar, nullptr);
        DVKErr_Protect([&] { r.classesRead = ClassManager_ReadPSAFile(r.classes, tar, nullptr, r.index, 1); });
        return r;
    }

    // Start, transition and end costs over every pair of the class's words
    // and one outside word.
    std::vector<int16_t> costs(IR* index)
    {
        std::vector<int16_t> out;
        for (uint16_t previous : {65533, 2, 5, 6, 7, 300}) {
            for (uint16_t next : {2, 5, 6, 7, 300, 65532})
                out.push_back(IR_ScoreWordTransition(index, m_slot, 0, &previous, next));
        }
        return out;
    }

    std::vector<uint32_t> matches(IR* index, std::vector<uint16_t> query)
    {
        uint32_t ids[8];
        int32_t scores[8];
        const int32_t n = IR_GetMatches(index, "titles", static_cast<int32_t>(query.size()), query.data(), 8, ids,
                                        scores);
        return std::vector<uint32_t>(ids, ids + n);
    }

    const std::vector<std::pair<Words, uint32_t>> kPhrases{
        {{5, 6}, 100}, {{5, 7}, 101}, {{6}, 102}, {{2, 5, 7}, 103}};
    ScopedParamBlock m_params{ParamBlockBuilder()
                                  .word(kBrevitParamInterpolationWeight, 30)
                                  .word(kBrevitParamInitialListCapacity, 1)};
    IR* m_saved = nullptr;
    int32_t m_slot = -1;
    std::vector<IR*> m_indexes;
    std::vector<ClassManager*> m_restored;
};

TEST_F(ClassPhraseStore, RestoredPhraseClassesScoreAsSavedAndPrepare)
{
    const Restored r = restore(storage(true));
    ASSERT_EQ(r.indexRead, 1);
    ASSERT_EQ(r.classesRead, 1);
    EXPECT_EQ(ClassManager_GetClass(r.classes, ClassManager_FindClass(r.classes, "titles"))->irObject, r.index);
    EXPECT_EQ(IR_ComputeCRC(r.index), IR_ComputeCRC(m_saved));
    EXPECT_EQ(ClassManager_ComputeCRC(r.classes, 0), ClassManager_ComputeCRC(m_classes, 0));
    EXPECT_EQ(ClassManager_PrepareForRecognition(r.classes, 0), 1);
    EXPECT_EQ(costs(r.index), costs(m_saved));
    EXPECT_EQ(matches(r.index, {5, 7}), matches(m_saved, {5, 7}));
    EXPECT_EQ(matches(r.index, {5, 7}).front(), 101u);
}

TEST_F(ClassPhraseStore, ClassesRestoredWithoutTheIndexCannotBePrepared)
{
    const Restored r = restore(storage(false));
    EXPECT_EQ(r.indexRead, 0);   // no "bir0": the index stays empty
    EXPECT_EQ(r.index->slotCount, 0);
    ASSERT_EQ(r.classesRead, 1);
    EXPECT_EQ(ClassManager_PrepareForRecognition(r.classes, 0), 0);
}

}   // namespace
