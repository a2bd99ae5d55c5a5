// The check items' texts and what they say: counts, level tables, the date
// and time format, the own number; values the phone record leaves unknown
// or out of range read as nothing; every allocation failing leaves nothing.
#include "vcmbase_gen/vcm_checkcomplete/dvk_gen_vcm_checktext.h"

#include "tests/support/suite_records.h"
#include "tests/vcmbase_gen/harness/dialog_harness.h"

#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_mem.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

namespace {

using Calls = std::vector<std::string>;

std::string narrow(const dvk_ucs2_Char* s)
{
    std::string out;
    for (; s != nullptr && *s != 0; s++)
        out += *s < 0x80 ? static_cast<char>(*s) : '?';
    return out;
}

std::u16string wide(const std::string& s)
{
    return std::u16string(s.begin(), s.end());
}

class CheckTextTest : public DialogHarness {
protected:
    void SetUp() override
    {
        DialogHarness::SetUp();
        record = PhoneInfoRecordWriter();
    }
    dvk_oem_check_PhoneInfo info()
    {
        dvk_oem_check_PhoneInfo out{};
        const std::string bytes = record.bytes();
        std::memcpy(&out, bytes.data(), sizeof out);
        return out;
    }
    // The text of a getter (text, then what it said).
    std::pair<std::string, Calls> run(dvk_gen_vcm_CheckGetter getter, int32_t join = 0)
    {
        dvk_oem_check_PhoneInfo phone = info();
        std::string text = "(null)";
        const Said said = sayInto([&](dvk_prompt_List* prompts) {
            dvk_ucs2_Char* t = getter(&phone, strings, nullptr, prompts, join);
            if (t != nullptr)
                text = narrow(t);
            dvk_ucs2_destroy(&t);
            return 0;
        });
        // Without a prompt list: the same text.
        dvk_ucs2_Char* silent = getter(&phone, strings, nullptr, nullptr, join);
        EXPECT_EQ(narrow(silent), text == "(null)" ? "" : text);
        dvk_ucs2_destroy(&silent);
        return {text, said.calls};
    }
    // Replaces some string texts (the others stay "String n").
    void useStrings(const std::map<int, std::string>& texts)
    {
        StringFileWriter writer;
        writer.strings = numberedStrings(u"String ", 679);
        writer.textLength = 16812;  // what language 5's file is known to hold
        for (const auto& [id, text] : texts)
            writer.strings[id] = wide(text);
        writeTableFile("str_enus.bin", writer.bytes());
        dvk_string_destroyStringTable(&strings);
        strings = dvk_string_createStringTable(5);
        ASSERT_NE(strings, nullptr);
        ASSERT_NE(dvk_string_loadStringTableRange(strings, 0), nullptr);
    }

    PhoneInfoRecordWriter record;
};

enum Word { COVERAGE = 0, SIGNAL = 2, BATTERY = 4, VOLUME = 5, HOUR = 7, MINUTE = 8, MONTH = 11, DAY = 12,
            WEEKDAY = 13, MISSED = 14, VOICE_MAILS = 15, MESSAGES = 16 };

TEST_F(CheckTextTest, Counts)
{
    const struct {
        dvk_gen_vcm_CheckGetter getter;
        Word word;
        int32_t count, language, join;
        std::string text;
        Calls calls;
    } cases[] = {
        {getTextForMessages, MESSAGES, 0, 5, 0, "String 195:\n  String 424", {"addPrompt 229", "addPrompt 334"}},
        {getTextForMessages, MESSAGES, 1, 5, 0, "String 195:\n  String 441", {"addPrompt 229", "addPrompt 355"}},
        {getTextForMessagesDetailed, MESSAGES, 5, 5, 0, "String 195:\n  5 String 409",
         {"addPrompt 229", "addPrompt 112", "addPrompt 297"}},
        {getTextForMessages, MESSAGES, 5, 13, 0, "String 195:\n  5", {"addPrompt 229", "addPrompt 112"}},
        {getTextForMessages, MESSAGES, 0, 13, 1, "String 195: 0", {"addPrompt 229", "addPrompt 107"}},
        {getTextForMessages, MESSAGES, -1, 5, 0, "", {}},
        {getTextForVoiceMail, VOICE_MAILS, 2, 5, 1, "String 258: 2 String 416",
         {"addPrompt 422", "addPrompt 109", "addPrompt 304"}},
        {getTextForVoiceMail, VOICE_MAILS, 0, 5, 0, "String 258:\n  String 431", {"addPrompt 422", "addPrompt 341"}},
        {getTextForMissedCalls, MISSED, 1, 5, 0, "String 196:\n  String 442",
         {"addPrompt 290", "addPrompt 356"}},
        // Past the recorded numbers the digits are synthesised.
        {getTextForMissedCalls, MISSED, 75, 5, 0, "String 196:\n  75 String 410",
         {"addPrompt 290", "addText 75", "addPrompt 298"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.word) + " " + std::to_string(c.count) + " language " + std::to_string(c.language));
        fakeOemSettings().language = c.language;
        record.word(c.word, c.count);
        const auto [text, calls] = run(c.getter, c.join);
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(calls, c.calls);
    }
}

TEST_F(CheckTextTest, LevelsByTable)
{
    const struct {
        dvk_gen_vcm_CheckGetter getter;
        Word word;
        int32_t value, join;
        std::string text;
        Calls calls;
    } cases[] = {
        {getTextForVolume, VOLUME, 23, 0, "String 260:\n  String 343 String 134",
         {"addPrompt 427", "addPrompt 222", "addPrompt 38"}},
        {getTextForVolume, VOLUME, 15, 0, "String 260:\n  String 343", {"addPrompt 427", "addPrompt 222"}},
        {getTextForVolume, VOLUME, 4, 1, "String 260: String 664", {"addPrompt 427", "addPrompt 430"}},
        {getTextForVolume, VOLUME, 27, 0, "String 260:\n  String 341 String 134",
         {"addPrompt 427", "addPrompt 220", "addPrompt 38"}},
        {getTextForBattery, BATTERY, 3, 0, "String 161:\n  String 143", {"addPrompt 45", "addPrompt 48"}},
        {getTextForBattery, BATTERY, 6, 0, "String 161:\n  String 140", {"addPrompt 45", "addPrompt 44"}},
        {getTextForBattery, BATTERY, 0, 0, "", {}},
        {getTextForSignalStrength, SIGNAL, 4, 0, "String 245:\n  String 521", {"addPrompt 402", "addPrompt 409"}},
        {getTextForSignalStrength, SIGNAL, 10, 0, "String 245:\n  String 421", {"addPrompt 402", "addPrompt 322"}},
        {getTextForNetworkCoverage, COVERAGE, 10, 0, "String 209:\n  String 655",
         {"addPrompt 296", "addPrompt 420"}},
        {getTextForNetworkCoverage, COVERAGE, 1, 0, "String 209:\n  String 436", {"addPrompt 296", "addPrompt 348"}},
        // Not range-checked where it is stored, and -1 is unknown: none.
        {getTextForBattery, BATTERY, 9, 0, "", {}},
        {getTextForBattery, BATTERY, -1, 0, "", {}},
        {getTextForVolume, VOLUME, 28, 0, "", {}},
        {getTextForSignalStrength, SIGNAL, 11, 0, "", {}},
        {getTextForNetworkCoverage, COVERAGE, -7, 0, "", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.word) + " = " + std::to_string(c.value));
        record.word(c.word, c.value);
        const auto [text, calls] = run(c.getter, c.join);
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(calls, c.calls);
    }
}

TEST_F(CheckTextTest, DateAndTimeFormat)
{
    const struct {
        const char* format;
        int32_t hour, minute, weekday, month, day;
        std::string text;
        Calls calls;
    } cases[] = {
        {"0H:mm", 9, 5, -1, -1, -1, "09:05", {"addPrompt 198", "addPrompt 235"}},
        {"HH:mm", 9, 5, -1, -1, -1, "9:05", {"addPrompt 198", "addPrompt 235"}},
        {"HH:mm", 0, 0, -1, -1, -1, "0:00", {"addPrompt 213", "addPrompt 230"}},
        {"hh am", 0, 30, -1, -1, -1, "12 String 524", {"addPrompt 201", "addPrompt 411"}},
        {"hh am", 13, 30, -1, -1, -1, "1 String 527", {"addPrompt 190", "addPrompt 414"}},
        {"hh am", 12, 0, -1, -1, -1, "12 String 527", {"addPrompt 201", "addPrompt 414"}},
        {"wday, month dd", -1, -1, 5, 10, 31, "String 297, String 423 31",
         {"addPrompt 186", "addPrompt 326", "addPrompt 82"}},
        {"wd mo 0d", -1, -1, 0, 0, 1, "String 519 String 332 01", {"addPrompt 408", "addPrompt 214", "addPrompt 58"}},
        {"wd mo 0d", -1, -1, 6, 11, 9, "String 475 String 281 09", {"addPrompt 388", "addPrompt 89", "addPrompt 88"}},
        // Lone directive letters are copied.
        {"H h m a w d 0 x", 9, 5, 1, 1, 1, "H h m a w d 0 x", {}},
        {"", 9, 5, 1, 1, 1, "", {}},
        // Unknown or impossible values insert and say nothing.
        {"0H:mm wday month 0d am", -1, -1, -1, -1, -1, ":    ", {}},
        {"HH:mm hh am|wd|mo|dd", 24, 60, 7, 12, 32, ":  |||", {}},
        {"dd|mm", 1, -2, 1, 1, 0, "|", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        const std::u16string format = wide(c.format);
        std::string text = "(null)";
        const Said said = sayInto([&](dvk_prompt_List* prompts) {
            dvk_ucs2_Char* t = formatDateTime(reinterpret_cast<const dvk_ucs2_Char*>(format.c_str()), c.hour,
                                              c.minute, c.weekday, c.month, c.day, strings, nullptr, prompts);
            text = narrow(t);
            dvk_ucs2_destroy(&t);
            return 0;
        });
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(said.calls, c.calls);
    }
}

TEST_F(CheckTextTest, FormattedTextStopsAt127Units)
{
    const std::u16string format(300, u'x');
    dvk_ucs2_Char* t = formatDateTime(reinterpret_cast<const dvk_ucs2_Char*>(format.c_str()), 1, 1, 1, 1, 1, strings,
                                      nullptr, nullptr);
    EXPECT_EQ(narrow(t), std::string(127, 'x'));
    dvk_ucs2_destroy(&t);
}

TEST_F(CheckTextTest, TimeThenDateAsSingleItemsAndJoined)
{
    useStrings({{525, "0H:mm"}, {279, "wday, month dd"}, {526, "HH:mm"}, {280, "dd/mo"}});
    const auto [time, timeSaid] = run(getTextForTime);
    EXPECT_EQ(time, "String 179:\n  13:10");
    EXPECT_EQ(timeSaid, (Calls{"addPrompt 56", "addPrompt 202", "addPrompt 240"}));
    const auto [date, dateSaid] = run(getTextForDate);
    EXPECT_EQ(date, "String 178:\n  String 297, String 423 31");
    EXPECT_EQ(dateSaid, (Calls{"addPrompt 55", "addPrompt 186", "addPrompt 326", "addPrompt 82"}));
    const auto [both, bothSaid] = run(getTextForDateAndTime, 1);
    EXPECT_EQ(both, "String 253: 13:10 31/String 422");
    EXPECT_EQ(bothSaid, (Calls{"addPrompt 413", "addPrompt 202", "addPrompt 240", "addPrompt 57", "addPrompt 82",
                               "addPrompt 326"}));
}

TEST_F(CheckTextTest, UnknownDateLeavesTheTime)
{
    useStrings({{525, "0H:mm"}, {279, "wday, month dd"}});
    record.word(MONTH, -1).word(DAY, -1).word(WEEKDAY, -1);
    EXPECT_EQ(run(getTextForTime).first, "String 179:\n  13:10");
    EXPECT_EQ(run(getTextForDate).first, "String 178:\n  ,  ");
    record.word(HOUR, -1).word(MINUTE, -1);
    EXPECT_EQ(run(getTextForTime).first, "String 179:\n  :");
}

TEST_F(CheckTextTest, OwnNumber)
{
    const auto [text, calls] = run(getTextForMyPhoneNumber);
    EXPECT_EQ(text, "String 208:\n  4085550123");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], "addPrompt 294");
    EXPECT_NE(calls[1].find("4085550123"), std::string::npos) << calls[1];

    record.number(u"");
    const auto [unknown, unknownSaid] = run(getTextForMyPhoneNumber);
    EXPECT_EQ(unknown, "String 457");
    EXPECT_EQ(unknownSaid, (Calls{"addPrompt 375"}));
}

TEST_F(CheckTextTest, NameAndValue)
{
    const dvk_ucs2_Char name[] = {'N', 0}, value[] = {'v', 0}, none[] = {0};
    const struct {
        const dvk_ucs2_Char *name, *value;
        int32_t join;
        const char* text;
    } cases[] = {
        {name, value, 0, "N:\n  v"}, {name, value, -3, "N:\n  v"}, {name, value, 1, "N: v"}, {name, value, 2, "N: v"},
        {none, value, 0, "v"},       {name, nullptr, 0, nullptr},  {nullptr, value, 1, nullptr},
    };
    for (const auto& c : cases) {
        dvk_ucs2_Char* joined = combineNameAndValue(c.name, c.value, c.join);
        EXPECT_EQ(joined == nullptr, c.text == nullptr);
        if (c.text != nullptr) {
            EXPECT_EQ(narrow(joined), c.text);
        }
        dvk_ucs2_destroy(&joined);
    }
}

TEST_F(CheckTextTest, EveryGetterWithEachAllocationFailing)
{
    const dvk_gen_vcm_CheckGetter getters[] = {
        getTextForBattery,       getTextForMessages,        getTextForMessagesDetailed, getTextForMissedCalls,
        getTextForVoiceMail,     getTextForMyPhoneNumber,   getTextForNetworkCoverage,  getTextForSignalStrength,
        getTextForVolume,        getTextForDate,            getTextForTime,             getTextForDateAndTime,
    };
    record.word(VOLUME, 22).word(MESSAGES, 7);
    dvk_oem_check_PhoneInfo phone = info();
    const long base = dvk_mem_liveBlocks();
    for (size_t g = 0; g < sizeof getters / sizeof getters[0]; g++)
        for (long n = 0;; n++) {
            SCOPED_TRACE(std::to_string(g) + " failing after " + std::to_string(n));
            dvk_mem_failAfter(n);
            dvk_ucs2_Char* text = getters[g](&phone, strings, nullptr, nullptr, n % 2);
            dvk_mem_failAfter(-1);
            ASSERT_EQ(dvk_mem_liveBlocks(), base + (text != nullptr ? 1 : 0));
            if (text != nullptr) {
                dvk_ucs2_destroy(&text);
                break;
            }
            ASSERT_LT(n, 100);
        }
}

}  // namespace
