#include "core/brevit/acoustic/am_phones.h"

#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_err.h"
#include "tests/brevit/acoustic/acoustic_fixture.h"
#include "tests/support/param_block_builder.h"

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using Models = std::vector<uint16_t>;

// Tree A over rows (0,0) (1,3) (2,3) (4,7) (5,7) (6,7); the model of every
// (left, centre, right) with phonemes 0..2.
const uint16_t kModels[3][3][3] = {
    // centre 0, 1, 2 for l = 0..2, r = 0..2
    {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}},
    {{1, 1, 2}, {2, 2, 2}, {1, 1, 2}},
    {{4, 4, 5}, {5, 5, 5}, {3, 3, 3}},
};

class PhonesTest : public AcousticTest {
protected:
    static AcousticModelSpec namedSpec()
    {
        AcousticModelSpec spec;
        spec.phonemeNames = {"sil", "a", "b"};
        return spec;
    }

    // The context record's words on for the model loaded next.
    void withContextWords()
    {
        m_params = std::make_unique<ScopedParamBlock>(
            ParamBlockBuilder()
                .word(kBrevitParamFirstModelTable, 1)
                .word(kBrevitParamCentreModelTable, 1)
                .word(kBrevitParamModelRightContexts, 1)
                .word(kBrevitParamModelLeftContexts, 1));
    }

    // The tree model's tables written out in full.
    AcousticModelSpec fullTableSpec(AM* tree)
    {
        AcousticModelSpec spec = namedSpec();
        spec.tiedTable = true;
        spec.triphoneIndex = true;
        for (uint16_t l = 0; l < 3; ++l)
            for (uint16_t c = 0; c < 3; ++c)
                for (uint16_t r = 0; r < 3; ++r) {
                    for (int32_t s = 0; s < 2; ++s)
                        spec.tiedTableEntries.push_back(AM_GetTiedStateId(tree, l, c, r, s));
                    spec.triphoneIndexEntries.push_back(AM_GetTriphoneId(tree, l, c, r));
                }
        return spec;
    }

    std::unique_ptr<ScopedParamBlock> m_params;
};

TEST_F(PhonesTest, TreeModelMapsEveryTripleToItsModel)
{
    AM* am = load(namedSpec());
    ASSERT_NE(am, nullptr);
    for (uint16_t c = 0; c < 3; ++c)
        for (uint16_t l = 0; l < 3; ++l)
            for (uint16_t r = 0; r < 3; ++r) {
                EXPECT_EQ(AM_GetTriphoneId(am, l, c, r), kModels[c][l][r])
                    << l << " " << c << " " << r;
                EXPECT_EQ(AM_ModelMatchesContext(am, l, c, r, kModels[c][l][r]), 1);
            }
    EXPECT_EQ(AM_ModelMatchesContext(am, 0, 1, 0, 2), 0);
    EXPECT_EQ(AM_ModelMatchesContext(am, 0, 1, 0, 6), 0);
    // No added phones: a centre past the phonemes has no model.
    EXPECT_EQ(AM_GetTriphoneId(am, 0, 3, 0), kAMNoModel);
}

TEST_F(PhonesTest, FullTablesAnswerAsTheTreeAndGuardTheirIndex)
{
    AM* tree = load(namedSpec());
    ASSERT_NE(tree, nullptr);
    AM* full = load(fullTableSpec(tree));
    ASSERT_NE(full, nullptr);
    const uint16_t ids[] = {0, 1, 2, 65535};
    for (uint16_t l : ids)
        for (uint16_t c : ids)
            for (uint16_t r : ids) {
                EXPECT_EQ(AM_GetTriphoneId(full, l, c, r), AM_GetTriphoneId(tree, l, c, r))
                    << l << " " << c << " " << r;
                for (int32_t s = 0; s < 2 && c < 3; ++s) {
                    EXPECT_EQ(AM_GetTiedStateId(full, l, c, r, s),
                              AM_GetTiedStateId(tree, l, c, r, s));
                }
            }
    // Indices past the table answer none instead of reading beyond it.
    EXPECT_EQ(AM_GetTiedStateId(full, 0, 3, 0, 0), kAMNoState);
    EXPECT_EQ(AM_GetTiedStateId(full, 2, 2, 2, 2), kAMNoState);
    EXPECT_EQ(AM_GetTiedStateId(full, 2, 2, 2, -1), kAMNoState);
    EXPECT_EQ(AM_GetTriphoneId(full, 2, 3, 2), kAMNoModel);
    EXPECT_EQ(AM_GetTriphoneId(full, 65535, 1, 65535), 1);
}

// With added phones 3 and 4 on both, the full-table model answers every
// context triple of phonemes, added phones and none as the tree model: an
// added centre has its own row, and the tree asks nothing of phone 0, which
// is what a context past the phonemes reads as in the full tables.
TEST_F(PhonesTest, FullTablesAnswerAddedPhonesAndTheirContextsAsTheTree)
{
    AcousticModelSpec treeSpec = namedSpec();
    treeSpec.addedModels = true;
    AM* tree = load(treeSpec);
    ASSERT_NE(tree, nullptr);
    AcousticModelSpec fullSpec = fullTableSpec(tree);
    fullSpec.addedModels = true;
    AM* full = load(fullSpec);
    ASSERT_NE(full, nullptr);
    const uint16_t ids[] = {0, 1, 2, 3, 4, 65535};
    for (uint16_t l : ids)
        for (uint16_t c : ids)
            for (uint16_t r : ids) {
                EXPECT_EQ(AM_GetTriphoneId(full, l, c, r), AM_GetTriphoneId(tree, l, c, r))
                    << l << " " << c << " " << r;
                for (int32_t s = 0; s < 2; ++s)
                    EXPECT_EQ(AM_GetTiedStateId(full, l, c, r, s), AM_GetTiedStateId(tree, l, c, r, s))
                        << l << " " << c << " " << r << " " << s;
            }
    EXPECT_EQ(AM_GetTriphoneId(full, 3, 3, 4), 6);
    EXPECT_EQ(AM_GetTiedStateId(full, 4, 4, 65535, 1), 11);
    EXPECT_EQ(AM_GetTriphoneId(full, 4, 2, 3), AM_GetTriphoneId(full, 0, 2, 0));
}

TEST_F(PhonesTest, FullTablesThatDoNotFitTheModelAreRefused)
{
    AM* tree = load(namedSpec());
    ASSERT_NE(tree, nullptr);
    const AcousticModelSpec good = fullTableSpec(tree);
    struct Case {
        const char* name;
        std::function<void(AcousticModelSpec&)> change;
    };
    const Case cases[] = {
        {"tied table short", [](AcousticModelSpec& s) { s.tiedTableEntries.pop_back(); }},
        {"tied table long", [](AcousticModelSpec& s) { s.tiedTableEntries.push_back(0); }},
        {"state past the states", [](AcousticModelSpec& s) { s.tiedTableEntries[5] = 8; }},
        {"index short", [](AcousticModelSpec& s) { s.triphoneIndexEntries.pop_back(); }},
        {"model past the models", [](AcousticModelSpec& s) { s.triphoneIndexEntries[3] = 6; }},
    };
    for (const Case& c : cases) {
        AcousticModelSpec spec = good;
        c.change(spec);
        EXPECT_EQ(load(spec), nullptr) << c.name;
    }
    AcousticModelSpec none = good;
    none.triphoneIndexEntries[3] = kAMNoModel;  // no model is a valid entry
    EXPECT_NE(load(none), nullptr);
}

TEST_F(PhonesTest, SilenceComparesOnlyItsOwnStateCount)
{
    AcousticModelSpec spec = namedSpec();
    spec.modelRows = {{0, 1}, {1, 3}, {2, 3}, {4, 7}, {5, 7}, {6, 7}};
    AM* am = load(spec);
    ASSERT_NE(am, nullptr);
    EXPECT_EQ(AM_GetTriphoneId(am, 1, 0, 2), 0);
    EXPECT_EQ(AM_ModelMatchesContext(am, 1, 0, 2, 0), 1);
}

TEST_F(PhonesTest, ConvertsPhonemesToModelsStatesAndBack)
{
    AM* am = load(namedSpec());
    ASSERT_NE(am, nullptr);
    const uint16_t phonemes[] = {1, 2, 2};
    uint16_t models[3] = {};
    EXPECT_EQ(AM_ConvertPhonemesToTriphoneIds(am, phonemes, 3, models, 0, 0), 2);
    EXPECT_EQ(Models(models, models + 3), (Models{2, 5, 3}));
    uint16_t states[6] = {};
    EXPECT_EQ(AM_ConvertPhonemesToStateIDs(am, phonemes, 3, states, 0, 0), 6);
    EXPECT_EQ(Models(states, states + 6), (Models{2, 3, 6, 7, 4, 7}));
    uint16_t untouched = 99;
    EXPECT_EQ(AM_ConvertPhonemesToTriphoneIds(am, phonemes, 0, &untouched, 0, 0), kAMNoModel);
    EXPECT_EQ(AM_ConvertPhonemesToStateIDs(am, phonemes, 0, &untouched, 0, 0), 0);
    EXPECT_EQ(untouched, 99);

    const uint16_t all[] = {0, 1, 2, 3, 4, 5, 6};
    uint16_t centres[7] = {};
    AM_ConvertTriphonesToPhonemes(am, all, 7, centres);
    EXPECT_EQ(Models(centres, centres + 7), (Models{0, 1, 1, 2, 2, 2, 65535}));
    ASSERT_NE(am->context, nullptr);
    EXPECT_EQ(Models(am->context->firstModel, am->context->firstModel + 4), (Models{0, 1, 3, 6}));
}

TEST_F(PhonesTest, ExpansionsAndPairedModelsAgreeWithAndWithoutTheContextRecord)
{
    AM* computed = load(namedSpec());
    withContextWords();
    AM* recorded = load(namedSpec());
    ASSERT_NE(computed, nullptr);
    ASSERT_NE(recorded, nullptr);
    ASSERT_NE(recorded->context->leftEntries, nullptr);
    EXPECT_EQ(computed->context, nullptr);

    struct Case {
        uint16_t fixed, centre;
        Models expected;  // the models, then the default
    };
    const Case right[] = {{0, 2, {4, 5, 4}}, {1, 2, {5, 5}}, {2, 2, {3, 3}},
                          {0, 1, {1, 2, 1}}, {3, 1, {1, 2, 1}}};
    const Case left[] = {{0, 2, {3, 4, 5, 4}}, {2, 2, {3, 5, 5}}, {2, 1, {2, 2}}};
    for (const Case& c : right) {
        uint16_t out[8] = {};
        const int32_t n = AM_ListRightExpansions(computed, out, c.fixed, c.centre);
        EXPECT_EQ(Models(out, out + n + 1), c.expected) << c.fixed << " " << c.centre;
        for (AM* am : {computed, recorded}) {
            uint16_t paired[8] = {};
            const int32_t k = AM_GetPairedPhonemes(am, paired, c.fixed, c.centre);
            EXPECT_EQ(Models(paired, paired + k + 1), c.expected) << c.fixed << " " << c.centre;
        }
    }
    for (const Case& c : left) {
        uint16_t out[8] = {};
        const int32_t n = AM_ListLeftExpansions(computed, out, c.centre, c.fixed);
        EXPECT_EQ(Models(out, out + n + 1), c.expected) << c.centre << " " << c.fixed;
        for (AM* am : {computed, recorded}) {
            uint16_t paired[8] = {};
            const int32_t k = AM_GetLeftPairedModels(am, paired, c.centre, c.fixed);
            EXPECT_EQ(Models(paired, paired + k + 1), c.expected) << c.centre << " " << c.fixed;
        }
    }
}

TEST_F(PhonesTest, ContextRecordHoldsEntriesAndPerModelSets)
{
    withContextWords();
    AM* am = load(namedSpec());
    ASSERT_NE(am, nullptr);
    const AMContextRecord* r = am->context;
    ASSERT_NE(r, nullptr);
    // Word 221, centre 2: default model, then the bits relative to model 3.
    const std::pair<uint16_t, uint8_t> centre2[] = {{4, 0x06}, {5, 0x04}, {3, 0x01}};
    for (uint16_t l = 0; l < 3; ++l) {
        const uint8_t* e = r->leftEntries + r->entryStart[2] + l * r->entryBytes[2];
        uint16_t def = 0;
        std::memcpy(&def, e, 2);
        EXPECT_EQ(def, centre2[l].first) << l;
        EXPECT_EQ(e[2], centre2[l].second) << l;
    }
    const uint8_t rights[] = {7, 3, 7, 7, 3, 7};
    const uint8_t lefts[] = {7, 5, 7, 4, 1, 3};
    for (int32_t m = 0; m < 6; ++m) {
        EXPECT_EQ(r->rightSets[m * 8], rights[m]) << m;
        EXPECT_EQ(r->leftSets[m * 8], lefts[m]) << m;
    }
}

TEST_F(PhonesTest, ContextTestsAnswerAlikeFromSetsAndByComputing)
{
    AM* computed = load(namedSpec());
    withContextWords();
    AM* recorded = load(namedSpec());
    ASSERT_NE(computed, nullptr);
    ASSERT_NE(recorded, nullptr);
    for (AM* am : {computed, recorded}) {
        EXPECT_EQ(AM_TestPhonemePair(am, 4, 1), 1);
        EXPECT_EQ(AM_TestPhonemePair(am, 4, 5), 0);
        EXPECT_EQ(AM_TestPhonemePair(am, 5, 3), 1);
        EXPECT_EQ(AM_TestPhonemePair(am, 5, 4), 0);
        EXPECT_EQ(AM_TestPhonemePair(am, 6, 1), 0);  // no such model
    }
    for (uint16_t l = 0; l < 3; ++l)
        for (uint16_t c = 0; c < 3; ++c)
            for (uint16_t x = 0; x < 3; ++x)
                for (uint16_t m = 0; m < 6; ++m) {
                    // A set answers "some context on the other side", the
                    // computing path this exact triple: equal when they match.
                    if (kModels[c][l][x] != m)
                        continue;
                    EXPECT_EQ(AM_IsLeftContextOf(recorded, l, c, x, m), 1);
                    EXPECT_EQ(AM_IsRightContextOf(recorded, l, c, x, m), 1);
                    EXPECT_EQ(AM_IsLeftContextOf(computed, l, c, x, m), 1);
                    EXPECT_EQ(AM_IsRightContextOf(computed, l, c, x, m), 1);
                }
    EXPECT_EQ(AM_IsLeftContextOf(recorded, 0, 2, 0, 3), 0);   // model 3 never has left 0
    EXPECT_EQ(AM_IsRightContextOf(recorded, 0, 1, 2, 1), 0);  // model 1 never has right 2
    // No centre: the silence model.
    EXPECT_EQ(AM_IsLeftContextOf(computed, 0, 65535, 0, 0), 1);
    EXPECT_EQ(AM_IsLeftContextOf(computed, 0, 65535, 0, 1), 0);
    EXPECT_EQ(AM_IsRightContextOf(computed, 0, 65535, 0, 0), 1);
}

TEST_F(PhonesTest, PhonemeNamesAndIds)
{
    AM* am = load(namedSpec());
    ASSERT_NE(am, nullptr);
    EXPECT_EQ(AM_GetPhonemeId(am, "b"), 2);
    EXPECT_EQ(AM_GetPhonemeId(am, "sil"), 0);
    EXPECT_EQ(AM_GetPhonemeId(am, "-"), kAMSilencePhoneme);
    EXPECT_EQ(AM_GetPhonemeId(am, "c"), kAMNoPhoneme);
    EXPECT_STREQ(AM_GetPhonemeName(am, 1), "a");
    EXPECT_STREQ(AM_GetPhonemeName(am, 3), "3");
    EXPECT_STREQ(AM_GetPhonemeName(am, 65535), "65535");
    uint32_t w[7];
    for (uint32_t& x : w)
        x = 5;
    int32_t models = 0;
    AM_GetTriphoneIdPairData(am, &w[0], &w[1], &w[2], &w[3], &w[4], &w[5], &w[6], &models);
    for (uint32_t x : w)
        EXPECT_EQ(x, 0u);
    EXPECT_EQ(models, 6);
}

TEST_F(PhonesTest, EveryAllocationOfTheContextRecordFailingLeaksNothing)
{
    withContextWords();
    ArchiveFixture& archive = archiveWith(acousticModelRecords(namedSpec()));
    DVKTar* tar = archive.openMapped();
    const size_t live = m_allocator.liveBlocks();
    bool loaded = false;
    for (uint64_t n = 1; !loaded && n < 500; ++n) {
        SCOPED_TRACE(n);
        m_allocator.failAt(m_allocator.calls() + n);
        const uint64_t failuresBefore = m_allocator.failures();
        AM* am = nullptr;
        DVKErr_Protect([&] { am = AM_LoadFromBinFile(tar, nullptr, 0); });
        const bool failed = m_allocator.failures() > failuresBefore;
        m_allocator.failAt(0);
        if (!failed) {
            ASSERT_NE(am, nullptr);
            EXPECT_NE(am->context->rightSets, nullptr);
            AM_Destroy(am);
            loaded = true;
        } else {
            EXPECT_EQ(am, nullptr);
        }
        EXPECT_EQ(m_allocator.liveBlocks(), live) << m_allocator.describeLeaks();
    }
    EXPECT_TRUE(loaded);
}

} // namespace
