#include "core/brevit/acoustic/am.h"
#include "core/brevit/api/brevit_create.h"
#include "core/brevit/api/brevit_enroll_phrases.h"
#include "core/brevit/frontend/fe.h"
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/grammar.h"
#include "tests/brevit/api/create/model_set_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>

namespace {

using model_set::DecoderSpec;
using model_set::ModelSetSpec;

class CreateTest : public ModelSetTest {};

TEST_F(CreateTest, CreatesAnEngineFromTheDefaultSetAndDestroyLeavesNothing)
{
    CountingAllocator allocator;
    BrevitEngine* engine = nullptr;
    const std::string path = write(ModelSetSpec{});
    ASSERT_EQ(Brevit_CreateFromBinFile(path.c_str(), allocator.record(), &engine), EBrevit_OK);
    ASSERT_NE(engine, nullptr);
    EXPECT_NE(engine->frontEnd, nullptr);
    EXPECT_NE(engine->acousticModel0, nullptr);
    EXPECT_NE(engine->vocabulary, nullptr);
    EXPECT_NE(engine->classManager, nullptr);
    EXPECT_NE(engine->constraintManager, nullptr);
    ASSERT_NE(engine->decoder0, nullptr);
    ASSERT_NE(engine->decoder1, nullptr);
    EXPECT_EQ(engine->decoder0->kind, kDecoderKindLinearChain);
    EXPECT_NE(engine->choiceLists[0], nullptr);
    EXPECT_NE(engine->choiceLists[1], nullptr);
    EXPECT_NE(engine->clientData, nullptr);
    EXPECT_EQ(engine->engineVersion[0], 10);
    EXPECT_EQ(engine->engineVersion[1], 53);
    EXPECT_EQ(engine->engineVersion[2], 3);
    EXPECT_EQ(engine->framePeriod, 10);
    EXPECT_EQ(engine->listeningUtteranceId, 0xFFFFFFFFu);
    EXPECT_EQ(engine->allocator, allocator.record());
    EXPECT_NE(engine->scratchStack, nullptr);
    ASSERT_NE(engine->enrollment.phrases, nullptr);
    EXPECT_EQ(engine->enrollment.phrases->count, 2);
    EXPECT_EQ(engine->enrollment.phrases->maxLength, 4);
    EXPECT_EQ(linChLog().kinds, (std::vector<int32_t>{3, 3}));

    ASSERT_EQ(Brevit_Destroy(engine, nullptr), EBrevit_OK);
    EXPECT_EQ(allocator.liveBlocks(), 0u) << allocator.describeLeaks();
}

}  // namespace

namespace {

struct Refusal {
    const char* name;
    std::function<void(ModelSetSpec&)> spec;
    std::function<void(model_set::Records&)> records;
};

class CreateRefusalTest : public ModelSetTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(CreateRefusalTest, RefusesWithEngineErrorAndLeavesNothing)
{
    ModelSetSpec spec;
    if (GetParam().spec)
        GetParam().spec(spec);
    model_set::Records r = records(spec);
    if (GetParam().records)
        GetParam().records(r);
    CountingAllocator allocator;
    BrevitEngine* engine = nullptr;
    EXPECT_EQ(create(write(r), &engine, &allocator), EBrevit_EngineError);
    EXPECT_EQ(engine, nullptr);
    if (engine != nullptr)
        Brevit_Destroy(engine, nullptr);
    EXPECT_EQ(allocator.liveBlocks(), 0u) << allocator.describeLeaks();
}

std::string enrollWords(std::vector<int32_t> words)
{
    std::string out;
    for (int32_t w : words)
        out.append(reinterpret_cast<const char*>(&w), 4);
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Sets, CreateRefusalTest,
    ::testing::Values(
        Refusal{"major9", [](ModelSetSpec& s) { s.version.majorVersion = 9; }, {}},
        Refusal{"typeSize8Second", [](ModelSetSpec& s) { s.version.typeSizes[1] = 8; }, {}},
        Refusal{"mode3", [](ModelSetSpec& s) { s.version.mode = 3; }, {}},
        Refusal{"minorDiffers", [](ModelSetSpec& s) { s.version.secondMinorVersion = 52; }, {}},
        Refusal{"format0", [](ModelSetSpec& s) { s.version.format = 0; s.version.secondMinorVersion = 0; }, {}},
        Refusal{"format1Major0", [](ModelSetSpec& s) { s.version.format = 1; s.version.majorVersion = 0; }, {}},
        Refusal{"noVersion", [](ModelSetSpec& s) { s.version.written = false; }, {}},
        Refusal{"noParameters", {}, [](model_set::Records& r) { r.drop("dvkpar"); }},
        Refusal{"noBer0", [](ModelSetSpec& s) { s.enrollment.written = false; }, {}},
        Refusal{"noDecoder0Or1",
                [](ModelSetSpec& s) { s.decoders[0].present = false; s.decoders[1].present = false; }, {}},
        Refusal{"decoderRefused", [](ModelSetSpec& s) { s.decoders[1].kind = 1; }, {}},
        Refusal{"sampleRateDiffers", [](ModelSetSpec& s) { s.version.sampleRate = 16000; }, {}},
        Refusal{"fullTransformWithWord140",
                [](ModelSetSpec& s) {
                    s.frontEnd.config.diagonalTransform = 0;
                    s.params.word(kBrevitParamRefuseFullTransform, 1);
                },
                {}},
        Refusal{"noModel0", {}, [](model_set::Records& r) { r.drop("ba0"); }},
        Refusal{"presentModel1Missing",
                [](ModelSetSpec& s) { s.version.presence = std::vector<uint8_t>{0, 1, 1, 0, 1, 0, 0, 1, 1, 0, 0, 0, 0}; },
                {}},
        Refusal{"noVocabulary", {}, [](model_set::Records& r) { r.drop("voc"); }},
        Refusal{"classesCut", {}, [](model_set::Records& r) { r.cut("bcm1", 8); }},
        // Frames are the front end's width; a model of another reads past them.
        Refusal{"modelWidthDiffers", [](ModelSetSpec& s) { s.models[0]->dim = 36; }, {}},
        Refusal{"model1WidthDiffers",
                [](ModelSetSpec& s) {
                    s.models[1] = model_set::defaultModel(2);
                    s.models[1]->dim = 13;
                },
                {}},
        // A decoder over a model without parameters crashes on its first frame.
        Refusal{"decoderOverModelWithoutParameters", [](ModelSetSpec& s) { s.models[0]->noParameters = true; }, {}},
        Refusal{"ber0NegativeCount", [](ModelSetSpec& s) { s.enrollment.count = -1 - 5; }, {}},
        Refusal{"ber0NegativeLength", [](ModelSetSpec& s) { s.enrollment.maxLength = -1; }, {}},
        Refusal{"ber0CountBeyondSubFile", {},
                [](model_set::Records& r) { r.replace("ber0", enrollWords({0x40000000, 1, 4})); }},
        Refusal{"ber0PhraseNotEnded", [](ModelSetSpec& s) { s.enrollment.phrases[1] = {2, 3}; }, {}},
        Refusal{"ber0PhraseTooLong", [](ModelSetSpec& s) { s.enrollment.maxLength = 1; }, {}},
        Refusal{"ber0TrailingBytes", {},
                [](model_set::Records& r) { r.replace("ber0", r.at("ber0").data + "xxxx"); }}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return std::string(info.param.name); });

TEST_F(CreateTest, ArgumentsAndArchivesThatCannotBeOpened)
{
    CountingAllocator allocator;
    BrevitEngine* engine = nullptr;
    EXPECT_EQ(Brevit_CreateFromBinFile(nullptr, allocator.record(), &engine), EBrevit_BadArgument);
    EXPECT_EQ(Brevit_CreateFromBinFile("", allocator.record(), &engine), EBrevit_BadArgument);
    EXPECT_EQ(Brevit_CreateFromBinFile("x", allocator.record(), nullptr), EBrevit_BadArgument);
    EXPECT_EQ(Brevit_CreateFromBinFile(pathOf("missing.dvk").c_str(), allocator.record(), &engine),
              EBrevit_BadArgument);
    EXPECT_EQ(engine, nullptr);
    EXPECT_EQ(allocator.liveBlocks(), 0u) << allocator.describeLeaks();
}

TEST_F(CreateTest, EveryAllocationFailingInTurnFailsCleanly)
{
    const std::string path = write(ModelSetSpec{});
    for (uint64_t n = 1;; ++n) {
        CountingAllocator allocator;
        allocator.failAt(n);
        BrevitEngine* engine = nullptr;
        const EBrevit result = Brevit_CreateFromBinFile(path.c_str(), allocator.record(), &engine);
        if (!allocator.failed()) {
            ASSERT_EQ(result, EBrevit_OK);
            Brevit_Destroy(engine, nullptr);
            EXPECT_GT(n, 20u);
            break;
        }
        if (result == EBrevit_OK) {
            // A failure the loaders can do without (a lookup directory).
            ASSERT_NE(engine, nullptr);
            Brevit_Destroy(engine, nullptr);
            ASSERT_EQ(allocator.liveBlocks(), 0u) << "allocation " << n << "\n" << allocator.describeLeaks();
            continue;
        }
        // 4: the archive could not be opened, here for want of its handle.
        EXPECT_TRUE(result == EBrevit_EngineError || result == EBrevit_MemoryError || result == EBrevit_BadArgument)
            << "allocation " << n << " answered " << result;
        EXPECT_EQ(engine, nullptr) << "allocation " << n;
        ASSERT_EQ(allocator.liveBlocks(), 0u) << "allocation " << n << "\n" << allocator.describeLeaks();
    }
}

TEST_F(CreateTest, EndPointerSettingsTakeTheirWordsInFrames)
{
    struct Row {
        bool halfShift;
        int32_t frames[4][2];
    };
    for (const Row& row : {Row{false, {{15, 50}, {15, 30}, {10, 50}, {25, 70}}},
                           Row{true, {{7, 25}, {7, 15}, {5, 25}, {12, 35}}}}) {
        ModelSetSpec spec;
        spec.params.word(kBrevitParamHalfShift, row.halfShift ? 1 : 0);
        BrevitEngine* engine = created(spec, row.halfShift ? "half.dvk" : "full.dvk");
        ASSERT_NE(engine, nullptr);
        EXPECT_EQ(engine->framePeriod, row.halfShift ? 20 : 10);
        EXPECT_EQ(engine->endPointerSettings, &engine->endPointers[0]);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(engine->endPointers[i].minSpeechFrames, row.frames[i][0]) << i;
            EXPECT_EQ(engine->endPointers[i].minSilenceFrames, row.frames[i][1]) << i;
        }
    }
}

TEST_F(CreateTest, DecoderKindsFollowTheParameterWords)
{
    struct Row {
        std::vector<std::pair<int, uint32_t>> words;
        int32_t flag;
        int32_t kind0;
        int32_t kind1;
    };
    const Row rows[] = {
        {{}, 0, 1, 3},
        {{}, 1, 8, 8},
        {{{345, 1}}, 1, 0, 8},
        {{{846, 1}, {844, 1}, {842, 1}}, 0, 11, 3},
        {{{844, 1}, {842, 1}}, 0, 6, 3},
        {{{842, 1}}, 0, 5, 3},
        {{{813, 1}}, 0, 1, 9},
        {{{345, 1}, {813, 1}}, 0, 0, 9},
    };
    for (const Row& row : rows) {
        ParamBlockBuilder b;
        for (const auto& [index, value] : row.words)
            b.word(index, value);
        ScopedParamBlock block(b);
        int32_t kind0 = -1;
        int32_t kind1 = -1;
        BrevitPriv_ChooseDecoderKinds(row.flag, &kind0, &kind1);
        EXPECT_EQ(kind0, row.kind0);
        EXPECT_EQ(kind1, row.kind1);
    }
    // Without a block every word reads 0, and decoder 0 is made.
    gpBrevitGlobalParameters = nullptr;
    int32_t kind0 = -1;
    int32_t kind1 = -1;
    BrevitPriv_ChooseDecoderKinds(0, &kind0, &kind1);
    EXPECT_EQ(kind0, 1);
}

TEST_F(CreateTest, DecodersNotInTheSetAreMadeOverTheirModels)
{
    ModelSetSpec spec;
    spec.decoders[0].present = false;
    spec.decoders[1].present = false;
    spec.decoders[1].present = true;
    spec.params.word(kBrevitParamNoMainDecoder, 1).word(kBrevitParamRecordTreeState, 1);
    spec.models[1] = model_set::defaultModel(2);
    spec.models[3] = model_set::defaultModel(3);
    BrevitEngine* engine = created(spec);
    ASSERT_NE(engine, nullptr);
    EXPECT_EQ(engine->decoder0, nullptr);
    EXPECT_EQ(engine->choiceLists[0], nullptr);
    EXPECT_NE(engine->choiceLists[1], nullptr);
    // Decoder 1 from its sub-file; decoders 2 and 4 made over models 1 and 3.
    EXPECT_EQ(linChLog().kinds, (std::vector<int32_t>{3, 3, 3}));
    EXPECT_EQ(linChLog().models, (std::vector<const AM*>{engine->acousticModel0, engine->acousticModel1,
                                                          engine->acousticModel3}));
    EXPECT_NE(engine->decoder2, nullptr);
    EXPECT_EQ(engine->decoder3, nullptr);
    EXPECT_NE(engine->decoder4, nullptr);
}

TEST_F(CreateTest, WordTwentyOneMakesDummyDecodersAndNoChoiceLists)
{
    ModelSetSpec spec;
    spec.decoders[0].present = false;
    spec.decoders[1].kind = 8;
    spec.params.word(kBrevitParamFastDecoderKind8, 1);
    BrevitEngine* engine = created(spec);
    ASSERT_NE(engine, nullptr);
    ASSERT_NE(engine->decoder0, nullptr);
    EXPECT_EQ(engine->decoder0->kind, kDecoderKindDummy);
    EXPECT_EQ(engine->decoderKindFlag, 1);
    EXPECT_EQ(engine->choiceLists[0], nullptr);
    EXPECT_EQ(engine->choiceLists[1], nullptr);
    EXPECT_EQ(engine->clientData, nullptr);
    EXPECT_EQ(engine->engineVersion[1], 53);
}

TEST_F(CreateTest, DynamicSilenceWordIsKeptAndItsModelInitialised)
{
    ModelSetSpec spec;
    spec.params.word(kBrevitParamSilenceModelShift, 5);
    spec.models[0]->dynamicSilence = true;
    BrevitEngine* plain = created(spec, "no_dynsil.dvk");
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->dynamicSilence, 0);
    EXPECT_NE(plain->acousticModel0->dynSil.shift, 5);

    spec.params.word(kBrevitParamDynamicSilence, 1);
    BrevitEngine* engine = created(spec, "dynsil.dvk");
    ASSERT_NE(engine, nullptr);
    EXPECT_EQ(engine->dynamicSilence, 1);
    EXPECT_EQ(engine->acousticModel0->dynSil.shift, 5);
}

TEST_F(CreateTest, GrammarWordMakesAnEmptyGrammarUnlessTheSetHasOne)
{
    ModelSetSpec spec;
    spec.params.word(kBrevitParamGrammarCapacity, 10);
    BrevitEngine* engine = created(spec, "grammar_word.dvk");
    ASSERT_NE(engine, nullptr);
    ASSERT_NE(engine->grammar, nullptr);
    EXPECT_EQ(engine->grammar->terminalCapacity, 10);
    EXPECT_EQ(engine->grammar->wordCapacity, 320);

    spec.grammar = grammar_file::Spec{};
    BrevitEngine* stored = created(spec, "grammar_stored.dvk");
    ASSERT_NE(stored, nullptr);
    ASSERT_NE(stored->grammar, nullptr);
    EXPECT_EQ(stored->grammar->terminalCapacity, 4);
}

TEST_F(CreateTest, VersionAnswersTenFiftyThreeThree)
{
    CountingAllocator allocator;
    int32_t major = 0;
    int32_t minor = 0;
    int32_t build = 0;
    ASSERT_EQ(Brevit_GetVersion(allocator.record(), &major, &minor, &build), EBrevit_OK);
    EXPECT_EQ(major * 10000 + minor * 100 + build, 105303);
}

struct InfoRow {
    int32_t format;
    int32_t major;
    int32_t secondMinor;
};

TEST_F(CreateTest, ModelSetInfoReturnsEveryFieldWrittenInEachFormat)
{
    for (const InfoRow& row : {InfoRow{0, 0, 0}, InfoRow{1, 10, 53}, InfoRow{2, 10, 53}}) {
        ModelSetSpec spec;
        spec.version.format = row.format;
        spec.version.secondMinorVersion = row.secondMinor;
        spec.version.minorVersion = row.format == 0 ? 0 : 53;
        spec.version.build = 7;
        spec.version.language = "dede";
        spec.version.properties[0] = 0x11;
        spec.version.properties[1] = 0x22;
        spec.version.synthesisEncoding = 3;
        const std::string path = write(spec, "info.dvk");
        CountingAllocator allocator;
        int32_t major = -1, secondMinor = -1, encoding = -1, rate = -1;
        uint32_t p1 = 0, p2 = 0;
        char language[5] = "xxxx";
        ASSERT_EQ(Brevit_GetBinFileModelSetInfo(path.c_str(), allocator.record(), &major, &secondMinor, 5,
                                                language, &p1, &p2, &encoding, &rate),
                  EBrevit_OK)
            << row.format;
        EXPECT_EQ(major, row.major);
        EXPECT_EQ(secondMinor, row.secondMinor);
        EXPECT_STREQ(language, "dede");
        EXPECT_EQ(p1, 0x11u);
        EXPECT_EQ(p2, 0x22u);
        EXPECT_EQ(encoding, 3);
        EXPECT_EQ(rate, 8000);
        // Bounded by the caller's size.
        char short3[3] = "zz";
        ASSERT_EQ(Brevit_GetBinFileModelSetInfo(path.c_str(), allocator.record(), &major, &secondMinor, 3,
                                                short3, &p1, &p2, &encoding, &rate),
                  EBrevit_OK);
        EXPECT_STREQ(short3, "de");
        EXPECT_EQ(allocator.liveBlocks(), 0u) << allocator.describeLeaks();
    }
}

TEST_F(CreateTest, ModelSetInfoRefusesStoredStatesAndBadArguments)
{
    ModelSetSpec spec;
    spec.version.mode = 3;
    const std::string path = write(spec, "mode3.dvk");
    CountingAllocator allocator;
    int32_t major, secondMinor, encoding, rate;
    uint32_t p1, p2;
    char language[5];
    EXPECT_EQ(Brevit_GetBinFileModelSetInfo(path.c_str(), allocator.record(), &major, &secondMinor, 5, language,
                                            &p1, &p2, &encoding, &rate),
              EBrevit_BadArgument);
    EXPECT_EQ(Brevit_GetBinFileModelSetInfo(path.c_str(), allocator.record(), nullptr, &secondMinor, 5, language,
                                            &p1, &p2, &encoding, &rate),
              EBrevit_BadArgument);
    EXPECT_EQ(Brevit_GetBinFileModelSetInfo(pathOf("none.dvk").c_str(), allocator.record(), &major, &secondMinor,
                                            5, language, &p1, &p2, &encoding, &rate),
              EBrevit_BadArgument);
    BrevitEngine* engine = nullptr;
    EXPECT_EQ(create(path, &engine), EBrevit_EngineError);
}

// A record cut in its second part still reads: the values after the cut
// stay 0 and the presence block keeps what the caller prefilled.
TEST_F(CreateTest, VersionRecordCutInItsSecondPartIsAccepted)
{
    model_set::Records r = records(ModelSetSpec{});
    const std::string full = r.at("brevitversion").data;
    r.cut("brevitversion", 64 + 4 * 3);  // through the first property word
    const std::string path = write(r, "cut.dvk");
    CountingAllocator allocator;
    int32_t major, secondMinor, encoding = -1, rate = -1;
    uint32_t p1 = 1, p2 = 1;
    char language[5];
    ASSERT_EQ(Brevit_GetBinFileModelSetInfo(path.c_str(), allocator.record(), &major, &secondMinor, 5, language,
                                            &p1, &p2, &encoding, &rate),
              EBrevit_OK);
    EXPECT_EQ(rate, 8000);
    EXPECT_EQ(p1, 0u);
    EXPECT_EQ(p2, 0u);
    EXPECT_EQ(encoding, 0);
    EXPECT_EQ(full.size(), 113u);
}

}  // namespace

namespace {

// The status of every frame of the signal, fed one shift at a time into
// the engine's front end as a fresh utterance.
std::vector<int32_t> frameStatuses(FE* fe, const std::vector<int16_t>& samples)
{
    std::vector<int32_t> statuses;
    std::vector<uint8_t> frame(static_cast<size_t>(FE_GetFeatureDim(fe)));
    uint16_t info[2];
    const int32_t shift = FE_GetNumberSamplesInShift(fe);
    FE_StartUtterance(fe, 0);
    for (size_t at = 0; at + static_cast<size_t>(shift) <= samples.size(); at += static_cast<size_t>(shift)) {
        FE_FeedSamples(fe, samples.data() + at);
        int32_t s;
        while ((s = FE_GetNextFrame(fe, frame.data(), info)) == kFEStatusSpeech || s == kFEStatusNoSpeech)
            statuses.push_back(s);
    }
    return statuses;
}

// 300 ms of noise (sigma 30), 600 ms of a 200 Hz tone with five harmonics
// at the given peak amplitude, 800 ms of noise.
std::vector<int16_t> noiseToneNoise(double amplitude, uint32_t seed)
{
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0.0, 30.0);
    const double pi = std::acos(-1.0);
    std::vector<int16_t> x(8 * 1700);
    for (size_t i = 0; i < x.size(); ++i) {
        double v = noise(random);
        if (i >= 8 * 300 && i < 8 * 900) {
            double tone = 0;
            for (int h = 1; h <= 5; ++h)
                tone += std::sin(2 * pi * 200 * h * static_cast<double>(i) / 8000.0) / h;
            v += amplitude * tone / 2.28;
        }
        x[i] = static_cast<int16_t>(std::clamp(std::lround(v), -32768L, 32767L));
    }
    return x;
}

TEST_F(CreateTest, AFreshEngineHearsSpeechFromItsFirstListen)
{
    for (double amplitude : {1000.0, 16000.0}) {
        BrevitEngine* engine = created(ModelSetSpec{}, "listen.dvk");
        ASSERT_NE(engine, nullptr);
        const std::vector<int32_t> statuses = frameStatuses(engine->frontEnd, noiseToneNoise(amplitude, 3));
        ASSERT_GE(statuses.size(), 160u);
        int tone = 0;
        for (size_t f = 30; f < 90; ++f)
            tone += statuses[f] == kFEStatusSpeech;
        EXPECT_GE(tone, 50) << amplitude;
        for (size_t f = 100; f < statuses.size(); ++f)
            EXPECT_EQ(statuses[f], kFEStatusNoSpeech) << amplitude << " frame " << f;
        destroy(engine);
    }
}

}  // namespace

namespace {

bool wordsHalfRecord(const std::string& name)
{
    for (const char* prefix : {"voc", "mwl", "bacm0", "bdec", "bcm1", "grm1", "ber0"})
        if (name.rfind(prefix, 0) == 0)
            return true;
    return false;
}

class PairTest : public ModelSetTest {
protected:
    // The set split: A (mode 1) the parameters, front end and models, B
    // (mode 2) the parameters, vocabulary and everything over it.
    void writePair(uint32_t frontEndA, uint32_t frontEndB, uint32_t vocabularyA, uint32_t vocabularyB,
                   int32_t modeA = 1, int32_t modeB = 2)
    {
        ModelSetSpec a;
        a.version.mode = modeA;
        a.version.crcs[0] = frontEndA;
        a.version.crcs[2] = vocabularyA;
        ModelSetSpec b = a;
        b.version.mode = modeB;
        b.version.crcs[0] = frontEndB;
        b.version.crcs[2] = vocabularyB;
        model_set::Records halfA;
        for (const model_set::Record& r : records(a).list)
            if (!wordsHalfRecord(r.name))
                halfA.add(r.name, r.data);
        model_set::Records halfB;
        for (const model_set::Record& r : records(b).list)
            if (wordsHalfRecord(r.name) || r.name == "brevitversion" || r.name == "dvkpar")
                halfB.add(r.name, r.data);
        m_a = write(halfA, "pair_a.dvk");
        m_b = write(halfB, "pair_b.dvk");
    }
    EBrevit createPair(CountingAllocator& allocator, BrevitEngine** engine)
    {
        *engine = nullptr;
        return Brevit_CreateFromBinFilePair(m_a.c_str(), m_b.c_str(), allocator.record(), engine);
    }
    std::string m_a, m_b;
};

TEST_F(PairTest, CreatesOneEngineFromBothHalves)
{
    writePair(1, 1, 2, 2);
    CountingAllocator allocator;
    BrevitEngine* engine = nullptr;
    ASSERT_EQ(createPair(allocator, &engine), EBrevit_OK);
    ASSERT_NE(engine, nullptr);
    EXPECT_NE(engine->frontEnd, nullptr);
    EXPECT_NE(engine->vocabulary, nullptr);
    EXPECT_NE(engine->decoder0, nullptr);
    EXPECT_NE(engine->classManager, nullptr);
    EXPECT_EQ(Brevit_Destroy(engine, nullptr), EBrevit_OK);
    EXPECT_EQ(allocator.liveBlocks(), 0u) << allocator.describeLeaks();
}

TEST_F(PairTest, ChecksumsOfTheHalvesDecide)
{
    struct Row {
        uint32_t crcs[4];
        EBrevit result;
    };
    for (const Row& row : {Row{{1, 1, 2, 3}, EBrevit_OK}, Row{{1, 5, 2, 2}, EBrevit_OK},
                           Row{{1, 5, 2, 3}, EBrevit_StoredDataError}}) {
        writePair(row.crcs[0], row.crcs[1], row.crcs[2], row.crcs[3]);
        CountingAllocator allocator;
        BrevitEngine* engine = nullptr;
        EXPECT_EQ(createPair(allocator, &engine), row.result);
        if (engine != nullptr)
            Brevit_Destroy(engine, nullptr);
        EXPECT_EQ(row.result == EBrevit_OK, engine != nullptr);
        EXPECT_EQ(allocator.liveBlocks(), 0u) << allocator.describeLeaks();
    }
}

TEST_F(PairTest, HalvesOfTheWrongModeOrPathsMissing)
{
    writePair(1, 1, 2, 2, 2, 1);
    CountingAllocator allocator;
    BrevitEngine* engine = nullptr;
    EXPECT_EQ(createPair(allocator, &engine), EBrevit_EngineError);
    EXPECT_EQ(engine, nullptr);
    EXPECT_EQ(Brevit_CreateFromBinFilePair(m_a.c_str(), "", allocator.record(), &engine), EBrevit_BadArgument);
    EXPECT_EQ(Brevit_CreateFromBinFilePair(nullptr, m_b.c_str(), allocator.record(), &engine), EBrevit_BadArgument);
    EXPECT_EQ(allocator.liveBlocks(), 0u) << allocator.describeLeaks();
}

// Presence bytes decide what is loaded, and each decoder lies over its
// models.
TEST_F(CreateTest, PresenceBlockDecidesTheComponents)
{
    ModelSetSpec spec;
    spec.models[1] = model_set::defaultModel(2);
    spec.models[2] = model_set::defaultModel(3);
    spec.models[3] = model_set::defaultModel(4);
    for (DecoderSpec& d : spec.decoders)
        d.present = true;
    spec.grammar = grammar_file::Spec{};
    BrevitEngine* all = created(spec, "all.dvk");
    ASSERT_NE(all, nullptr);
    EXPECT_NE(all->grammar, nullptr);
    const std::vector<const AM*> models = {all->acousticModel0, all->acousticModel0, all->acousticModel1,
                                           all->acousticModel2, all->acousticModel3};
    EXPECT_EQ(linChLog().models, models);
    for (const AM* m : models)
        EXPECT_NE(m, nullptr);

    // Bytes 1, 2, 4-6 and 12 cleared: those parts are not read although
    // their sub-files are there.
    linChLog() = LinChLog{};
    spec.version.presence = std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0};
    BrevitEngine* few = created(spec, "few.dvk");
    ASSERT_NE(few, nullptr);
    EXPECT_EQ(few->classManager, nullptr);
    EXPECT_EQ(few->constraintManager, nullptr);
    EXPECT_EQ(few->acousticModel1, nullptr);
    EXPECT_EQ(few->acousticModel2, nullptr);
    EXPECT_EQ(few->acousticModel3, nullptr);
    EXPECT_EQ(few->grammar, nullptr);
    EXPECT_EQ(few->decoder2, nullptr);
    EXPECT_EQ(linChLog().kinds.size(), 2u);
}

}  // namespace

namespace {

TEST_F(CreateTest, PropertyWordsComeFromTheRecordAndAreSavedAgain)
{
    ModelSetSpec spec;
    spec.version.properties[0] = 0xA1;
    spec.version.properties[1] = 0xB2;
    BrevitEngine* engine = created(spec, "properties.dvk");
    ASSERT_NE(engine, nullptr);
    uint32_t first = 0;
    uint32_t second = 0;
    ASSERT_EQ(Brevit_GetModelSetProperties(engine, &first, &second), EBrevit_OK);
    EXPECT_EQ(first, 0xA1u);
    EXPECT_EQ(second, 0xB2u);
    ASSERT_EQ(Brevit_SaveToStorage(engine, "properties_user.dvk"), EBrevit_OK);
    const std::string record =
        model_set::parse(model_set::readFile(pathOf("properties_user.dvk"))).at("brevitversion").data;
    uint32_t stored[2];
    std::memcpy(stored, record.data() + 68, 8);
    EXPECT_EQ(stored[0], 0xA1u);
    EXPECT_EQ(stored[1], 0xB2u);
}

}  // namespace
