// The speech API end to end on "VR": entry points from the test's thread,
// the engine over the scripted recognition engine, real prompt lists and
// suite audio, notifications back on the test's thread.
#include "core/dkapi/dvk_dkapi_engine.h"
#include "core/dkapi/dvk_dkapi_requests.h"
#include "core/nbest/dvk_nbest.h"
#include "core/vre/dvk_vre.h"
#include "tests/core/ce/ce_fixture.h"

#include <string>

CeAnswers& ceAnswers()
{
    static CeAnswers answers;
    return answers;
}

namespace {

const dvk_lang_Language kEnglish = 5;

void onNotify(int32_t status, void*)
{
    ceAnswers().add("notify " + std::to_string(status));
}

std::u16string str(const dvk_ucs2_Char* text)
{
    return std::u16string(reinterpret_cast<const char16_t*>(text));
}

const dvk_ucs2_Char* u(const char16_t* text)
{
    return reinterpret_cast<const dvk_ucs2_Char*>(text);
}

// A result record with its own text array.
struct Result {
    explicit Result(int32_t capacity) : texts(capacity > 0 ? capacity : 1)
    {
        record.count = capacity;
        record.texts = texts.data();
    }
    std::vector<std::u16string> got() const
    {
        std::vector<std::u16string> out;
        for (int32_t i = 0; i < record.count; ++i)
            out.push_back(str(record.texts[i]));
        return out;
    }
    std::vector<dvk_ucs2_Char[256]> texts;
    DKAPI_Result record{-1, 0, nullptr};
};

class Dkapi : public CeTest {
protected:
    void SetUp() override
    {
        CeTest::SetUp();
        dvk_dkapi_setBusy(0);
    }
    void TearDown() override
    {
        if (engine_ != nullptr) {
            ceAnswers().lines.clear();
            dvk_dkapi_setBusy(0);
            EXPECT_EQ(DKAPI_Destroy(&engine_, onNotify, nullptr), 0);
            EXPECT_TRUE(answered(1));
            settle();
            EXPECT_EQ(engine_, nullptr);
        }
        dvk_dkapi_setBusy(0);
        CeTest::TearDown();
    }
    void createEngine()
    {
        ASSERT_EQ(DKAPI_Create(&engine_, kEnglish, 0, onNotify, nullptr), 0);
        ASSERT_TRUE(answered(1));
        ASSERT_EQ(answers(), (std::vector<std::string>{"notify 0"}));
        ASSERT_NE(engine_, nullptr);
        ceAnswers().lines.clear();
    }
    // Waits for one notification more than now and returns them all.
    static std::vector<std::string> next(size_t count = 1)
    {
        const size_t before = ceAnswers().size();
        EXPECT_TRUE(answered(before + count));
        return answers();
    }
    DKAPI_Handle engine_ = nullptr;
};

TEST_F(Dkapi, VersionAndTheSynthesisTypeOfTheModelSet)
{
    EXPECT_STREQ(DKAPI_Version(), "DKAPI 2.0");
    int32_t expected = -1;
    runOnVr([&] {
        int32_t code = 0, info = 0;
        expected = dvk_vre_isLanguageSupported(kEnglish, 1, &code, &info) && code >= 1 && code <= 3 ? code : 0;
    });
    EXPECT_EQ(DKAPI_GetSupportedTTSType(kEnglish), expected);
    EXPECT_EQ(DKAPI_GetSupportedTTSType(6), 0) << "no model set for the language";
}

TEST_F(Dkapi, CreateRefusesBadArgumentsAndLanguagesWithoutModelsAtOnce)
{
    DKAPI_Handle handle = nullptr;
    const struct {
        DKAPI_Handle* handle;
        dvk_lang_Language language;
        DKAPI_Notify notify;
        int expected;
    } rows[] = {
        {nullptr, kEnglish, onNotify, DKAPI_BAD_ARGUMENT},
        {&handle, kEnglish, nullptr, DKAPI_BAD_ARGUMENT},
        {&handle, 6, onNotify, DKAPI_LANGUAGE_NOT_SUPPORTED},
    };
    for (const auto& row : rows)
        EXPECT_EQ(DKAPI_Create(row.handle, row.language, 0, row.notify, nullptr), row.expected);
    settle();
    EXPECT_TRUE(answers().empty());
    EXPECT_EQ(dvk_dkapi_isBusy(), 0);
    runOnVr([] { EXPECT_EQ(dvk_dkapi_getEngine(), nullptr); });
}

TEST_F(Dkapi, CreateAnswersAfterItsBuildASecondCreateFourAndDestroyClearsTheHandle)
{
    createEngine();
    runOnVr([&] { EXPECT_EQ(dvk_dkapi_getEngine(), engine_); });
    DKAPI_Handle second = nullptr;
    ASSERT_EQ(DKAPI_Create(&second, kEnglish, 0, onNotify, nullptr), 0);
    EXPECT_EQ(next(), (std::vector<std::string>{"notify 4"}));
    EXPECT_EQ(second, nullptr);
    ceAnswers().lines.clear();
    ASSERT_EQ(DKAPI_Destroy(&engine_, onNotify, nullptr), 0);
    EXPECT_EQ(next(), (std::vector<std::string>{"notify 0"}));
    EXPECT_EQ(engine_, nullptr);
    runOnVr([] { EXPECT_EQ(dvk_dkapi_getEngine(), nullptr); });
}

TEST_F(Dkapi, EveryAllocationFailingInTurnDuringCreateReportsThreeOnceAndLeaksNothing)
{
    const long before = dvk_mem_liveBlocks();
    for (long n = 0;; ++n) {
        SCOPED_TRACE(n);
        ceAnswers().lines.clear();
        dvk_msg_Message* message = dvk_dkapi_newCreateMsg(&engine_, kEnglish, onNotify, nullptr);
        ASSERT_NE(message, nullptr);
        message->sender = dvk_msg_getMyAddr();
        runOnVr([&] {
            dvk_mem_failAfter(n);
            dvk_msg_receive(message);
            dvk_mem_failAfter(-1);
        });
        ASSERT_TRUE(answered(1));
        settle();
        if (engine_ != nullptr) {
            // Only a notification may have failed once the engine stands.
            if (answers() == std::vector<std::string>{"notify 0"}) {
                EXPECT_GT(n, 10);
                break;
            }
            ceAnswers().lines.clear();
            ASSERT_EQ(DKAPI_Destroy(&engine_, onNotify, nullptr), 0);
            ASSERT_TRUE(answered(1));
            settle();
        } else {
            EXPECT_EQ(answers(), (std::vector<std::string>{"notify 3"}));
        }
        runOnVr([] { EXPECT_EQ(dvk_dkapi_getEngine(), nullptr); });
        EXPECT_EQ(dvk_mem_liveBlocks(), before);
        ASSERT_LT(n, 100000);
    }
}

TEST_F(Dkapi, ARequestWhileOneIsPendingIsRefusedAndPostsNothing)
{
    createEngine();
    std::vector<int16_t> longPrompt(16000, 300);
    DKAPI_PromptRequest prompt{DKAPI_PROMPT_DATA, 0, 9, longPrompt.data(), 32000, 0, 0, 100, 0};
    ASSERT_EQ(DKAPI_PlayPrompt(engine_, &prompt, onNotify, nullptr), 0);
    Result result(1);
    EXPECT_EQ(DKAPI_PickFromPhonebook(engine_, nullptr, &result.record, onNotify, nullptr, 5000), DKAPI_BUSY);
    EXPECT_EQ(DKAPI_PlayPrompt(engine_, &prompt, onNotify, nullptr), DKAPI_BUSY);
    EXPECT_EQ(next(), (std::vector<std::string>{"notify 0"})) << "only the prompt answers";
    settle();
    EXPECT_EQ(answers().size(), 1u);
    EXPECT_EQ(dvk_dkapi_isBusy(), 0);
}

TEST_F(Dkapi, EntryPointsRefuseMissingArguments)
{
    createEngine();
    Result r(1);
    DKAPI_Result* d = &r.record;
    DKAPI_PromptRequest p{};
    uint8_t buffer[8];
    int32_t length = 0, valid = 0;
    DKAPI_List list = nullptr;
    const dvk_ucs2_Char* items[] = {nullptr};
    DKAPI_Handle e = engine_;
    const int rows[] = {
        DKAPI_Destroy(nullptr, onNotify, nullptr),
        DKAPI_Destroy(&e, nullptr, nullptr),
        DKAPI_Abort(nullptr, nullptr),
        DKAPI_PlayPrompt(e, nullptr, onNotify, nullptr),
        DKAPI_PickFromPhonebook(e, nullptr, d, onNotify, nullptr, 0),
        DKAPI_PickFromPhonebook(e, nullptr, nullptr, onNotify, nullptr, 10),
        DKAPI_PhoneNumber(nullptr, nullptr, d, onNotify, nullptr, 10),
        DKAPI_Digits(e, nullptr, d, 1, 3, nullptr, nullptr, 10),
        DKAPI_PickFromMusicLibrary(e, nullptr, 5, d, d, d, d, onNotify, nullptr, 10),
        DKAPI_PickFromMusicLibrary(e, nullptr, 0, d, d, nullptr, d, onNotify, nullptr, 10),
        DKAPI_CreateList(e, nullptr, &list, onNotify, nullptr),
        DKAPI_CreateList(e, items, nullptr, onNotify, nullptr),
        DKAPI_IsListItemValid(e, nullptr, 0, &valid),
        DKAPI_PickFromList(e, &p, nullptr, d, onNotify, nullptr, 10),
        DKAPI_StartRecogDataCapture(e, nullptr, buffer, &length, 0, 10, onNotify, nullptr),
        DKAPI_StartRecogDataCapture(e, nullptr, buffer, nullptr, 8, 10, onNotify, nullptr),
        DKAPI_StopRecogDataCapture(nullptr),
        DKAPI_GetNetworkTTS(e, 1, 0, onNotify, nullptr),
        DKAPI_DestroyNetworkTTS(e, 0, onNotify, nullptr),
    };
    for (size_t i = 0; i < std::size(rows); ++i)
        EXPECT_EQ(rows[i], DKAPI_BAD_ARGUMENT) << "row " << i;
    settle();
    EXPECT_TRUE(answers().empty());
    EXPECT_EQ(dvk_dkapi_isBusy(), 0);
}

TEST_F(Dkapi, NetworkSynthesisIsNotAvailable)
{
    createEngine();
    ASSERT_EQ(DKAPI_GetNetworkTTS(engine_, 1, 2, onNotify, nullptr), 0);
    EXPECT_EQ(next(), (std::vector<std::string>{"notify 5"}));
    ASSERT_EQ(DKAPI_DestroyNetworkTTS(engine_, 1, onNotify, nullptr), 0);
    EXPECT_EQ(next(), (std::vector<std::string>{"notify 5", "notify 5"}));
}

TEST(DkapiPrompt, SpeedAndVolumeFollowTheSettingsWithinTheirRanges)
{
    const struct {
        int32_t percent, setting, speed;
    } speeds[] = {{200, 300, 500}, {100, 150, 150}, {10, 150, 150}, {600, 150, 150},
                  {20, 50, 20},    {50, 100, 50},   {500, 100, 500}};
    for (const auto& row : speeds)
        EXPECT_EQ(dvk_dkapi_promptSpeed(row.percent, row.setting), row.speed) << row.percent << " " << row.setting;
    const struct {
        int32_t offset, setting, volume;
    } volumes[] = {{5, 8, 10}, {-5, -8, -10}, {2, 3, 5}, {0, 0, 0}};
    for (const auto& row : volumes)
        EXPECT_EQ(dvk_dkapi_promptVolume(row.offset, row.setting), row.volume) << row.offset << " " << row.setting;
    for (int32_t number : {1, 60, 120})
        EXPECT_EQ(dvk_dkapi_translatePrompt(number), -1);
}

TEST_F(Dkapi, AListReportsItsItemsRecognisableAndAPickedItemByItsWholeText)
{
    captureFrom(std::vector<int16_t>(8000, 100));
    createEngine();
    const dvk_ucs2_Char* items[] = {u(u"Ann"), u(u"Bob|bob"), nullptr};
    DKAPI_List list = nullptr;
    ASSERT_EQ(DKAPI_CreateList(engine_, items, &list, onNotify, nullptr), 0);
    EXPECT_EQ(next(), (std::vector<std::string>{"notify 0"}));
    ASSERT_NE(list, nullptr);
    for (int32_t i : {0, 1}) {
        int32_t valid = -1;
        EXPECT_EQ(DKAPI_IsListItemValid(engine_, list, i, &valid), 0);
        EXPECT_EQ(valid, 1) << i;
    }
    int32_t valid = -1;
    EXPECT_EQ(DKAPI_IsListItemValid(engine_, list, 2, &valid), DKAPI_BAD_ARGUMENT);
    runOnVr([] { fakeBrevit().choices = {FakeChoice{"dkapiPfl", {{"dkapiPfl", u"bob"}}}}; });
    Result result(2);
    ASSERT_EQ(DKAPI_PickFromList(engine_, nullptr, list, &result.record, onNotify, nullptr, 5000), 0);
    runOnVr([] {
        EXPECT_EQ(dvk_dkapi_pfl_getFirst(), ~0);
        EXPECT_EQ(dvk_dkapi_pfl_getNext(~0), ~1);
    });
    EXPECT_EQ(next(), (std::vector<std::string>{"notify 0", "notify 0"}));
    EXPECT_EQ(result.got(), (std::vector<std::u16string>{u"Bob|bob"}));
    EXPECT_EQ(result.record.confidence, 70);
}

TEST_F(Dkapi, APhonebookNameIsRecognisedFromTheMicrophone)
{
    captureFrom(std::vector<int16_t>(8000, 100));
    fakeOemPbook().contacts = {FakePbookEntry{u"Ann", u"", u"", u"", {{1, u"5550100"}}}};
    createEngine();
    runOnVr([] { fakeBrevit().choices = {FakeChoice{"dkapiNames", {{"names", u"Ann"}}}}; });
    Result result(3);
    DKAPI_PromptRequest prompt{DKAPI_PROMPT_NUMBER, 7, 0, nullptr, 0, 1, 0, 100, 0};
    const size_t before = fakeBrevit().calls.size();
    ASSERT_EQ(DKAPI_PickFromPhonebook(engine_, &prompt, &result.record, onNotify, nullptr, 5000), 0);
    EXPECT_EQ(next(), (std::vector<std::string>{"notify 0"}));
    EXPECT_EQ(result.got(), (std::vector<std::u16string>{u"Ann"}));
    runOnVr([&] { EXPECT_FALSE(fakeBrevitCalls(before, {"StartRecognizing"}).empty()); });
}

TEST_F(Dkapi, ADigitsRequestGivesTheGrammarItsCountsUntilTheEngineGoes)
{
    createEngine();
    std::vector<int16_t> longPrompt(40000, 300);
    DKAPI_PromptRequest prompt{DKAPI_PROMPT_DATA, 0, 9, longPrompt.data(), 80000, 0, 0, 100, 0};
    Result result(1);
    ASSERT_EQ(DKAPI_Digits(engine_, &prompt, &result.record, 3, 7, onNotify, nullptr, 5000), 0);
    runOnVr([] {
        int32_t minimum = 0, maximum = 0;
        dvk_dkapi_getDigitRecogLen(&minimum, &maximum);
        EXPECT_EQ(minimum, 3);
        EXPECT_EQ(maximum, 7);
    });
    ASSERT_EQ(DKAPI_Abort(onNotify, nullptr), 0);
    EXPECT_EQ(next(2), (std::vector<std::string>{"notify 1", "notify 0"}));
    ASSERT_EQ(DKAPI_Destroy(&engine_, onNotify, nullptr), 0);
    EXPECT_EQ(next().back(), "notify 0");
    runOnVr([] {
        int32_t minimum = -1, maximum = -1;
        dvk_dkapi_getDigitRecogLen(&minimum, &maximum);
        EXPECT_EQ(minimum, 0);
        EXPECT_EQ(maximum, 0);
    });
}

TEST_F(Dkapi, OutOfMemoryReportsThreeKeepsTheFlagAndAnAbortFreesIt)
{
    createEngine();
    DKAPI_PromptRequest prompt{DKAPI_PROMPT_TEXT, 0, 0, u(u"hello"), 0, 0, 0, 100, 0};
    dvk_msg_Message* message = dvk_dkapi_newPlayPromptMsg(engine_, &prompt, onNotify, nullptr);
    ASSERT_NE(message, nullptr);
    message->sender = dvk_msg_getMyAddr();
    dvk_dkapi_setBusy(1);
    runOnVr([&] {
        dvk_mem_failAfterOnThisThread(0);
        dvk_msg_receive(message);
        dvk_mem_failAfterOnThisThread(-1);
    });
    EXPECT_EQ(next(), (std::vector<std::string>{"notify 3"}));
    EXPECT_EQ(DKAPI_PlayPrompt(engine_, &prompt, onNotify, nullptr), DKAPI_BUSY);
    ASSERT_EQ(DKAPI_Abort(onNotify, nullptr), 0);
    EXPECT_EQ(next(), (std::vector<std::string>{"notify 3", "notify 0"})) << "nothing pending any more";
    ASSERT_EQ(DKAPI_GetNetworkTTS(engine_, 1, 2, onNotify, nullptr), 0);
    EXPECT_EQ(next(), (std::vector<std::string>{"notify 3", "notify 0", "notify 5"}));
}

TEST_F(Dkapi, AbortEndsThePendingRequestWithOneThenAnswersZero)
{
    createEngine();
    std::vector<int16_t> longPrompt(40000, 300);
    DKAPI_PromptRequest prompt{DKAPI_PROMPT_DATA, 0, 9, longPrompt.data(), 80000, 0, 0, 100, 0};
    ASSERT_EQ(DKAPI_PlayPrompt(engine_, &prompt, onNotify, nullptr), 0);
    ASSERT_EQ(DKAPI_Abort(onNotify, nullptr), 0);
    EXPECT_EQ(next(2), (std::vector<std::string>{"notify 1", "notify 0"}));
    settle();
    EXPECT_EQ(answers().size(), 2u);
    ASSERT_EQ(DKAPI_GetNetworkTTS(engine_, 1, 2, onNotify, nullptr), 0);
    EXPECT_EQ(next().back(), "notify 5");
}

TEST_F(Dkapi, ACaptureHoldsTheInfoEveryPacketAndTheTrailer)
{
    captureFrom(std::vector<int16_t>(8000, 100));
    createEngine();
    // Two packets come out of one buffer, one of a later one.
    runOnVr([] { fakeBrevit().packetStatuses = {0, 1, 2, 2, 0}; });
    std::vector<uint8_t> buffer(1000, 0xEE);
    int32_t length = -1;
    ASSERT_EQ(DKAPI_StartRecogDataCapture(engine_, nullptr, buffer.data(), &length,
                                          static_cast<int32_t>(buffer.size()), 400, onNotify, nullptr),
              0);
    EXPECT_EQ(next(), (std::vector<std::string>{"notify 0"}));
    EXPECT_EQ(length, 10 + 3 * 20 + 4);
    EXPECT_EQ(buffer[static_cast<size_t>(length)], 0xEE) << "nothing written past the capture";
    runOnVr([] { EXPECT_EQ(dvk_dkapi_getEngine()->captureVre, nullptr); });
}

// Results shaped from lists made by hand.
class DkapiResults : public SuiteMemoryTest {
protected:
    void TearDown() override
    {
        dvk_nbest_destroy(&nbest_);
        SuiteMemoryTest::TearDown();
    }
    // An entry with the given class values (empty texts allowed).
    void entry(std::vector<std::pair<const char*, std::u16string>> values, const char16_t* utterance = u"")
    {
        if (nbest_ == nullptr)
            nbest_ = dvk_nbest_create(1, "dkapiMusic", 80);
        const int32_t i = dvk_nbest_addEntry(nbest_);
        ASSERT_GE(i, 0);
        int32_t slot = 10;
        for (auto& [tag, text] : values)
            ASSERT_EQ(dvk_nbest_addValueNoIds(nbest_, i, slot++, tag, u(text.c_str()), nullptr), 0);
        ASSERT_EQ(dvk_nbest_addUtt(nbest_, i, u(utterance)), 0);
    }
    dvk_nbest_List* nbest_ = nullptr;
};

TEST_F(DkapiResults, MusicDropsEntriesWithoutTextAndRepeats)
{
    entry({{"song", u"Alpha"}, {"artist", u"Zed"}});
    entry({{"song", u""}, {"artist", u""}, {"album", u""}});
    entry({{"song", u"Alpha"}, {"artist", u"Zed"}});
    entry({{"playlist", u"Mix"}});
    entry({{"song", u"Beta"}, {"album", u"Blue"}});
    entry({{"simplePlaylist", u"Road"}});
    Result song(3), artist(3), album(3), playlist(1);
    DKAPI_Result* const records[4] = {&song.record, &artist.record, &album.record, &playlist.record};
    dvk_dkapi_fillMusicResults(records, nbest_);
    EXPECT_EQ(song.got(), (std::vector<std::u16string>{u"Alpha", u"Beta"}));
    EXPECT_EQ(artist.got(), (std::vector<std::u16string>{u"Zed"}));
    EXPECT_EQ(album.got(), (std::vector<std::u16string>{u"Blue"}));
    EXPECT_EQ(playlist.got(), (std::vector<std::u16string>{u"Mix"})) << "the record holds one";
    for (DKAPI_Result* record : records)
        EXPECT_EQ(record->confidence, 80);
}

TEST_F(DkapiResults, ARecordTakesAtMostItsCountOfTextsEachCutTo255Units)
{
    const std::u16string longText(300, u'x');
    entry({}, longText.c_str());
    entry({}, u"two");
    entry({}, u"three");
    Result result(2);
    dvk_dkapi_fillResult(&result.record, nbest_, nullptr);
    EXPECT_EQ(result.got(), (std::vector<std::u16string>{longText.substr(0, 255), u"two"}));
    Result none(2);
    dvk_dkapi_fillResult(&none.record, nullptr, nullptr);
    EXPECT_EQ(none.record.count, 0);
    EXPECT_EQ(none.record.confidence, 0);
}

}  // namespace
