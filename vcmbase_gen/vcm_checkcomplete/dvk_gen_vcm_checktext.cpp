#include "vcmbase_gen/vcm_checkcomplete/dvk_gen_vcm_checktext.h"

#include "core/vcm/dvk_vcm.h"
#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_settings.h"

#include <cstdio>

namespace {

const char kUnit[] = "vcmbase_gen/vcm_checkcomplete/dvk_gen_vcm_checkcomplete";
const int32_t kLevel = 3;

#define CHECK_ASSERT(expression)                                                                                  \
    ((expression) ? static_cast<void>(0) : dvk_assertFail(kUnit, __LINE__, __func__, DVK_ASSERT_TEXT_(expression)))

const dvk_ucs2_Char kEmpty[] = {0};
const dvk_ucs2_Char kSpace[] = {' ', 0};
const dvk_ucs2_Char kNewline[] = {'\n', 0};
const dvk_ucs2_Char kTwoLines[] = {':', '\n', ' ', ' ', 0};
const dvk_ucs2_Char kOneLine[] = {':', ' ', 0};

void say(dvk_prompt_List* prompts, dvk_prompt_Table* promptTable, int32_t id)
{
    if (prompts != nullptr)
        dvk_vcm_prompt_addPrompt(prompts, promptTable, id, kLevel);
}

dvk_ucs2_Char* empty()
{
    return dvk_ucs2_createCopy(kEmpty);
}

// *text + piece (piece may be NULL: failure); the old text is freed either
// way and the result replaces it.
bool append(dvk_ucs2_Char** text, const dvk_ucs2_Char* piece)
{
    dvk_ucs2_Char* joined = *text != nullptr && piece != nullptr ? dvk_ucs2_createConcat(*text, piece, nullptr)
                                                                 : nullptr;
    dvk_ucs2_destroy(text);
    *text = joined;
    return joined != nullptr;
}

// The name string joined with value (taken over); 679 stands for no name.
dvk_ucs2_Char* joinWithName(dvk_string_Table* strings, int32_t nameString, dvk_ucs2_Char* value, int32_t join)
{
    dvk_ucs2_Char* name = nameString == DVK_STR_MAX ? empty() : dvk_string_getString(strings, nameString);
    dvk_ucs2_Char* joined = combineNameAndValue(name, value, join);
    dvk_ucs2_destroy(&name);
    dvk_ucs2_destroy(&value);
    return joined;
}

const int32_t kSignalRows[][2] = {{437, 350}, {440, 354}, {653, 419}, {521, 409}, {295, 185},
                                  {294, 184}, {490, 405}, {487, 401}, {288, 178}, {421, 322}};
const int32_t kBatteryRows[][2] = {{142, 47}, {145, 50}, {143, 48}, {144, 49}, {141, 46}, {140, 44}};
const int32_t kCoverageRows[][2] = {{436, 348}, {474, 387}, {287, 106}, {133, 37},  {290, 180}, {472, 382},
                                    {265, 54},  {516, 406}, {650, 415}, {655, 420}, {408, 295}};
// Rows 20-27 say rows 12-19 again; the text and speech of "loud" follow.
const int32_t kVolumeRows[][2] = {
    {660, 425}, {663, 429}, {666, 432}, {664, 430}, {665, 431}, {662, 428}, {667, 433},
    {659, 424}, {661, 426}, {658, 421}, {488, 404}, {473, 386}, {340, 219}, {344, 223},
    {343, 222}, {339, 218}, {338, 217}, {342, 221}, {341, 220}, {473, 386}, {340, 219},
    {344, 223}, {343, 222}, {339, 218}, {338, 217}, {342, 221}, {341, 220},
};
const dvk_gen_vcm_LevelTable kSignal = {245, 402, kSignalRows, 10};
const dvk_gen_vcm_LevelTable kBattery = {161, 45, kBatteryRows, 6};
const dvk_gen_vcm_LevelTable kCoverage = {209, 296, kCoverageRows, 11};
const dvk_gen_vcm_LevelTable kVolume = {260, 427, kVolumeRows, 27};
enum : int32_t { VOLUME_LOUD_FIRST = 20, VOLUME_LOUD_STRING = 134, VOLUME_LOUD_PROMPT = 38 };

const dvk_gen_vcm_Counter kMessages = {195, 229, 424, 441, 409, 334, 355, 297};
const dvk_gen_vcm_Counter kVoiceMail = {258, 422, 431, 448, 416, 341, 362, 304};
const dvk_gen_vcm_Counter kMissedCalls = {196, 290, 425, 442, 410, 335, 356, 298};

// Date and time recordings and names.
enum : int32_t {
    HOUR_ZERO_PROMPT = 213,
    HOUR_PROMPT_BASE = 189,
    MINUTE_PROMPT_BASE = 230,
    CARDINAL_PROMPT_BASE = 107,
    CARDINAL_PROMPTS = 60,
    AM_STRING = 524,
    AM_PROMPT = 411,
    PM_STRING = 527,
    PM_PROMPT = 414,
};
const int32_t kDayPrompts[31] = {58, 69, 80, 83, 84, 85, 86, 87, 88, 59, 60, 61, 62, 63, 64, 65,
                                 66, 67, 68, 70, 71, 72, 73, 74, 75, 76, 77, 78, 79, 81, 82};
// {prompt, long name, short name}
const int32_t kWeekdays[7][3] = {{408, 520, 519}, {293, 405, 404}, {417, 652, 651}, {434, 669, 668},
                                 {410, 523, 522}, {186, 297, 296}, {388, 476, 475}};
const int32_t kMonths[12][3] = {{214, 333, 332}, {183, 293, 292}, {227, 346, 345}, {39, 136, 135},
                                {228, 347, 348}, {216, 337, 336}, {215, 335, 334}, {43, 139, 138},
                                {400, 478, 477}, {352, 439, 438}, {326, 423, 422}, {89, 282, 281}};

int32_t hourPrompt(int32_t hour)
{
    return hour == 0 ? HOUR_ZERO_PROMPT : HOUR_PROMPT_BASE + hour;
}

// The output of formatDateTime: at most 127 units, the rest dropped.
struct Out {
    dvk_ucs2_Char text[128];
    int32_t length;
    void put(dvk_ucs2_Char c)
    {
        if (length < 127)
            text[length++] = c;
    }
    void put(const dvk_ucs2_Char* s)
    {
        for (; *s != 0; s++)
            put(*s);
    }
    void number(int32_t n, bool twoDigits)
    {
        char digits[16];
        std::snprintf(digits, sizeof digits, twoDigits ? "%02d" : "%d", static_cast<int>(n));
        for (const char* d = digits; *d != 0; d++)
            put(static_cast<dvk_ucs2_Char>(*d));
    }
};

bool startsWith(const dvk_ucs2_Char* s, const char* directive)
{
    for (; *directive != 0; s++, directive++)
        if (*s != static_cast<dvk_ucs2_Char>(*directive))
            return false;
    return true;
}

// A named piece: false when the string is missing or memory is short.
bool putString(Out* out, dvk_string_Table* strings, int32_t id)
{
    dvk_ucs2_Char* s = dvk_string_getString(strings, id);
    if (s == nullptr)
        return false;
    out->put(s);
    dvk_ucs2_destroy(&s);
    return true;
}

// The all-status item's getters, by feature flag, in the order they are read.
const struct {
    int32_t feature;
    dvk_gen_vcm_CheckGetter getter;
} kAllStatus[] = {
    {30, getTextForVoiceMail}, {31, getTextForMessages},        {32, getTextForMissedCalls},
    {33, getTextForDateAndTime}, {37, getTextForBattery},       {36, getTextForNetworkCoverage},
    {34, getTextForSignalStrength}, {39, getTextForVolume},
};

struct CheckItem {
    int32_t item;
    dvk_gen_vcm_CheckGetter getters[2];
    int32_t getterCount;
    int32_t join;
    int32_t category;  // -1: none
    int32_t nameString, namePrompt;
};
const int32_t ALL_STATUS = 273;
const CheckItem kItems[] = {
    {266, {getTextForBattery}, 1, 0, 7, 161, 45},
    {267, {getTextForMessagesDetailed}, 1, 0, 2, 195, 229},
    {268, {getTextForMissedCalls}, 1, 0, 3, 196, 290},
    {269, {getTextForMyPhoneNumber}, 1, 0, 8, 208, 294},
    {270, {getTextForNetworkCoverage}, 1, 0, 6, 209, 296},
    {272, {getTextForSignalStrength}, 1, 0, 5, 245, 402},
    {ALL_STATUS, {}, 0, 1, -1, DVK_STR_MAX, -1},
    {274, {getTextForTime, getTextForDate}, 2, 0, 4, 253, 413},
    {275, {getTextForVoiceMail}, 1, 0, 1, 258, 422},
    {276, {getTextForVoiceMail}, 1, 0, 1, 259, 423},
    {277, {getTextForVolume}, 1, 0, 9, 260, 427},
};

const CheckItem* itemOf(int32_t item)
{
    for (const CheckItem& row : kItems)
        if (row.item == item)
            return &row;
    return nullptr;
}

}  // namespace

dvk_ucs2_Char* combineNameAndValue(const dvk_ucs2_Char* name, const dvk_ucs2_Char* value, int32_t join)
{
    if (name == nullptr || value == nullptr)
        return nullptr;
    if (name[0] == 0)
        return dvk_ucs2_createCopy(value);
    return dvk_ucs2_createConcat(name, join < 1 ? kTwoLines : kOneLine, value, nullptr);
}

dvk_ucs2_Char* formatFromTable(const dvk_gen_vcm_LevelTable* table, int32_t value, dvk_string_Table* strings,
                               dvk_prompt_Table* promptTable, dvk_prompt_List* prompts, int32_t join)
{
    CHECK_ASSERT(table != DVK_NULL);
    // The record is not range-checked and -1 means unknown: a value the
    // table lacks reads as none rather than stopping the dialog.
    if (value <= 0 || value > table->rowCount)
        return empty();
    const int32_t* row = table->rows[value - 1];
    say(prompts, promptTable, table->namePrompt);
    say(prompts, promptTable, row[1]);
    return joinWithName(strings, table->nameString, dvk_string_getString(strings, row[0]), join);
}

dvk_ucs2_Char* formatCardinal(int32_t count, dvk_prompt_Table* promptTable, dvk_prompt_List* prompts)
{
    CHECK_ASSERT(count >= 0);
    Out out{};
    out.number(count, false);
    out.text[out.length] = 0;
    if (prompts != nullptr) {
        if (count < CARDINAL_PROMPTS)
            say(prompts, promptTable, CARDINAL_PROMPT_BASE + count);
        else
            dvk_vcm_prompt_addText(prompts, out.text, kLevel);
    }
    return dvk_ucs2_createCopy(out.text);
}

dvk_ucs2_Char* formatNoneOneMany(const dvk_gen_vcm_Counter* counter, int32_t count, dvk_string_Table* strings,
                                 dvk_prompt_Table* promptTable, dvk_prompt_List* prompts, int32_t join)
{
    CHECK_ASSERT(counter != DVK_NULL);
    if (count < 0)
        return empty();
    say(prompts, promptTable, counter->namePrompt);
    dvk_ucs2_Char* value = nullptr;
    if (dvk_settings_shouldUsePostfixNumbers() != 0) {
        value = formatCardinal(count, promptTable, prompts);
    } else if (count == 0) {
        say(prompts, promptTable, counter->zeroPrompt);
        value = dvk_string_getString(strings, counter->zeroString);
    } else if (count == 1) {
        say(prompts, promptTable, counter->onePrompt);
        value = dvk_string_getString(strings, counter->oneString);
    } else {
        value = formatCardinal(count, promptTable, prompts);
        say(prompts, promptTable, counter->manyPrompt);
        dvk_ucs2_Char* many = dvk_string_getString(strings, counter->manyString);
        if (!append(&value, kSpace) || !append(&value, many))
            dvk_ucs2_destroy(&value);
        dvk_ucs2_destroy(&many);
    }
    return joinWithName(strings, counter->nameString, value, join);
}

dvk_ucs2_Char* formatDateTime(const dvk_ucs2_Char* format, int32_t hour, int32_t minute, int32_t weekday,
                              int32_t month, int32_t day, dvk_string_Table* strings, dvk_prompt_Table* promptTable,
                              dvk_prompt_List* prompts)
{
    CHECK_ASSERT(format != DVK_NULL);
    // The phone leaves a field it does not know at -1, and the record is
    // not range-checked: such a value's directives insert nothing.
    const bool hourKnown = hour >= 0 && hour < 24;
    const bool minuteKnown = minute >= 0 && minute < 60;
    const bool weekdayKnown = weekday >= 0 && weekday < 7;
    const bool monthKnown = month >= 0 && month < 12;
    const bool dayKnown = day >= 1 && day <= 31;
    Out out{};
    const dvk_ucs2_Char* s = format;
    while (*s != 0) {
        if (startsWith(s, "HH") || startsWith(s, "0H")) {
            if (hourKnown) {
                out.number(hour, s[0] == '0');
                say(prompts, promptTable, hourPrompt(hour));
            }
            s += 2;
        } else if (startsWith(s, "hh")) {
            if (hourKnown) {
                const int32_t twelve = hour == 0 ? 12 : hour > 12 ? hour - 12 : hour;
                out.number(twelve, false);
                say(prompts, promptTable, hourPrompt(twelve));
            }
            s += 2;
        } else if (startsWith(s, "mm")) {
            if (minuteKnown) {
                out.number(minute, true);
                say(prompts, promptTable, MINUTE_PROMPT_BASE + minute);
            }
            s += 2;
        } else if (startsWith(s, "am")) {
            if (hourKnown) {
                if (!putString(&out, strings, hour < 12 ? AM_STRING : PM_STRING))
                    return nullptr;
                say(prompts, promptTable, hour < 12 ? AM_PROMPT : PM_PROMPT);
            }
            s += 2;
        } else if (startsWith(s, "wd")) {
            const bool full = startsWith(s, "wday");
            if (weekdayKnown) {
                if (!putString(&out, strings, kWeekdays[weekday][full ? 1 : 2]))
                    return nullptr;
                say(prompts, promptTable, kWeekdays[weekday][0]);
            }
            s += full ? 4 : 2;
        } else if (startsWith(s, "mo")) {
            const bool full = startsWith(s, "month");
            if (monthKnown) {
                if (!putString(&out, strings, kMonths[month][full ? 1 : 2]))
                    return nullptr;
                say(prompts, promptTable, kMonths[month][0]);
            }
            s += full ? 5 : 2;
        } else if (startsWith(s, "dd") || startsWith(s, "0d")) {
            if (dayKnown) {
                out.number(day, s[0] == '0');
                say(prompts, promptTable, kDayPrompts[day - 1]);
            }
            s += 2;
        } else {
            out.put(*s++);
        }
    }
    out.text[out.length] = 0;
    return dvk_ucs2_createCopy(out.text);
}

dvk_ucs2_Char* getTextForBattery(dvk_oem_check_PhoneInfo* info, dvk_string_Table* strings,
                                 dvk_prompt_Table* promptTable, dvk_prompt_List* prompts, int32_t join)
{
    return formatFromTable(&kBattery, dvk_check_getBatteryLevel(info), strings, promptTable, prompts, join);
}

dvk_ucs2_Char* getTextForSignalStrength(dvk_oem_check_PhoneInfo* info, dvk_string_Table* strings,
                                        dvk_prompt_Table* promptTable, dvk_prompt_List* prompts, int32_t join)
{
    return formatFromTable(&kSignal, dvk_check_getSignalStrength(info), strings, promptTable, prompts, join);
}

dvk_ucs2_Char* getTextForNetworkCoverage(dvk_oem_check_PhoneInfo* info, dvk_string_Table* strings,
                                         dvk_prompt_Table* promptTable, dvk_prompt_List* prompts, int32_t join)
{
    return formatFromTable(&kCoverage, dvk_check_getNetworkCoverage(info), strings, promptTable, prompts, join);
}

dvk_ucs2_Char* getTextForVolume(dvk_oem_check_PhoneInfo* info, dvk_string_Table* strings,
                                dvk_prompt_Table* promptTable, dvk_prompt_List* prompts, int32_t join)
{
    const int32_t volume = dvk_check_getVolumeLevel(info);
    dvk_ucs2_Char* text = formatFromTable(&kVolume, volume, strings, promptTable, prompts, join);
    if (text == nullptr || volume < VOLUME_LOUD_FIRST || volume > kVolume.rowCount)
        return text;
    say(prompts, promptTable, VOLUME_LOUD_PROMPT);
    dvk_ucs2_Char* loud = dvk_string_getString(strings, VOLUME_LOUD_STRING);
    if (!append(&text, kSpace) || !append(&text, loud))
        dvk_ucs2_destroy(&text);
    dvk_ucs2_destroy(&loud);
    return text;
}

// Both read the one message counter the phone information keeps.
dvk_ucs2_Char* getTextForMessages(dvk_oem_check_PhoneInfo* info, dvk_string_Table* strings,
                                  dvk_prompt_Table* promptTable, dvk_prompt_List* prompts, int32_t join)
{
    return formatNoneOneMany(&kMessages, dvk_check_getMessages(info), strings, promptTable, prompts, join);
}

dvk_ucs2_Char* getTextForMessagesDetailed(dvk_oem_check_PhoneInfo* info, dvk_string_Table* strings,
                                          dvk_prompt_Table* promptTable, dvk_prompt_List* prompts, int32_t join)
{
    return getTextForMessages(info, strings, promptTable, prompts, join);
}

dvk_ucs2_Char* getTextForMissedCalls(dvk_oem_check_PhoneInfo* info, dvk_string_Table* strings,
                                     dvk_prompt_Table* promptTable, dvk_prompt_List* prompts, int32_t join)
{
    return formatNoneOneMany(&kMissedCalls, dvk_check_getMissedCalls(info), strings, promptTable, prompts, join);
}

dvk_ucs2_Char* getTextForVoiceMail(dvk_oem_check_PhoneInfo* info, dvk_string_Table* strings,
                                   dvk_prompt_Table* promptTable, dvk_prompt_List* prompts, int32_t join)
{
    return formatNoneOneMany(&kVoiceMail, dvk_check_getVoiceMails(info), strings, promptTable, prompts, join);
}

dvk_ucs2_Char* getTextForMyPhoneNumber(dvk_oem_check_PhoneInfo* info, dvk_string_Table* strings,
                                       dvk_prompt_Table* promptTable, dvk_prompt_List* prompts, int32_t join)
{
    enum : int32_t { NAME = 208, NAME_PROMPT = 294, UNKNOWN = 457, UNKNOWN_PROMPT = 375 };
    const dvk_ucs2_Char* number = dvk_check_getPhoneNumber(info);
    dvk_ucs2_Char* text = nullptr;
    if (number[0] == 0) {
        say(prompts, promptTable, UNKNOWN_PROMPT);
        text = dvk_string_getString(strings, UNKNOWN);
    } else {
        say(prompts, promptTable, NAME_PROMPT);
        text = joinWithName(strings, NAME, dvk_ucs2_createCopy(number), join);
        if (prompts != nullptr)
            dvk_vcm_prompt_addDigits(prompts, promptTable, number, kLevel);
    }
    return text;
}

dvk_ucs2_Char* getTextForTime(dvk_oem_check_PhoneInfo* info, dvk_string_Table* strings,
                              dvk_prompt_Table* promptTable, dvk_prompt_List* prompts, int32_t join)
{
    int32_t hour = -1, minute = -1, third = -1, fourth = -1;
    dvk_check_getTime(info, &hour, &minute, &third, &fourth);
    const bool joined = join >= 1;
    say(prompts, promptTable, joined ? 413 : 56);
    dvk_ucs2_Char* format = dvk_string_getString(strings, joined ? 526 : 525);
    dvk_ucs2_Char* value =
        format != nullptr ? formatDateTime(format, hour, minute, -1, -1, -1, strings, promptTable, prompts) : nullptr;
    dvk_ucs2_destroy(&format);
    return joinWithName(strings, joined ? 253 : 179, value, join);
}

dvk_ucs2_Char* getTextForDate(dvk_oem_check_PhoneInfo* info, dvk_string_Table* strings,
                              dvk_prompt_Table* promptTable, dvk_prompt_List* prompts, int32_t join)
{
    int32_t weekday = -1, month = -1, day = -1;
    dvk_check_getDate(info, &weekday, &month, &day);
    const bool joined = join >= 1;
    say(prompts, promptTable, joined ? 57 : 55);
    dvk_ucs2_Char* format = dvk_string_getString(strings, joined ? 280 : 279);
    dvk_ucs2_Char* value =
        format != nullptr ? formatDateTime(format, -1, -1, weekday, month, day, strings, promptTable, prompts)
                          : nullptr;
    dvk_ucs2_destroy(&format);
    return joined ? value : joinWithName(strings, 178, value, join);
}

dvk_ucs2_Char* getTextForDateAndTime(dvk_oem_check_PhoneInfo* info, dvk_string_Table* strings,
                                     dvk_prompt_Table* promptTable, dvk_prompt_List* prompts, int32_t join)
{
    dvk_ucs2_Char* text = getTextForTime(info, strings, promptTable, prompts, join);
    dvk_ucs2_Char* date = getTextForDate(info, strings, promptTable, prompts, join);
    if (!append(&text, kSpace) || !append(&text, date))
        dvk_ucs2_destroy(&text);
    dvk_ucs2_destroy(&date);
    return text;
}

int32_t getPropertiesForCmd(int32_t item, const dvk_gen_vcm_CheckGetter** getters, int32_t* join,
                            int32_t* platform)
{
    static dvk_gen_vcm_CheckGetter allStatus[8];
    const CheckItem* row = itemOf(item);
    CHECK_ASSERT(row != DVK_NULL);
    *join = row->join;
    *platform = 0;
    if (item != ALL_STATUS) {
        *getters = row->getters;
        return row->getterCount;
    }
    int32_t count = 0;
    for (const auto& status : kAllStatus)
        if (dvk_settings_isFeatureEnabled(status.feature) == 1)
            allStatus[count++] = status.getter;
    *getters = allStatus;
    return count;
}

bool getCategoryForCmd(int32_t item, int32_t* category, int32_t* nameStringId, int32_t* namePromptId)
{
    const CheckItem* row = itemOf(item);
    if (row == nullptr || row->category < 0)
        return false;
    *category = row->category;
    *nameStringId = row->nameString;
    *namePromptId = row->namePrompt;
    return true;
}

dvk_ucs2_Char* getTextForMultipleProperties(const dvk_gen_vcm_CheckGetter* getters, int32_t count,
                                            dvk_oem_check_PhoneInfo* info, dvk_string_Table* strings,
                                            dvk_prompt_Table* promptTable, dvk_prompt_List* prompts, int32_t join)
{
    dvk_ucs2_Char* text = empty();
    for (int32_t i = 0; i < count && text != nullptr; i++) {
        dvk_ucs2_Char* piece = getters[i](info, strings, promptTable, prompts, join);
        // An empty piece adds no line, nor a separator.
        if (piece == nullptr || piece[0] != 0) {
            if (text[0] == 0 || append(&text, kNewline))
                append(&text, piece);
        }
        dvk_ucs2_destroy(&piece);
    }
    return text;
}
