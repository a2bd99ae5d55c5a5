// The texts of the check items, composed from a phone-information record:
// value tables for levels, none/one/many forms for counts and a small
// format language for dates and times. With a prompt list each piece also
// adds its spoken form (all at level 3); without one only the text is made.
// Every text is new (the suite's allocator); NULL when memory is short or a
// string is missing.
#pragma once

#include "core/prompt/dvk_prompt.h"
#include "core/string/dvk_string.h"
#include "sdk/common/dvk_check.h"

#include <cstdint>

typedef dvk_ucs2_Char* (*dvk_gen_vcm_CheckGetter)(dvk_oem_check_PhoneInfo* info, dvk_string_Table* strings,
                                                  dvk_prompt_Table* promptTable, dvk_prompt_List* prompts,
                                                  int32_t join);

dvk_ucs2_Char* getTextForBattery(dvk_oem_check_PhoneInfo*, dvk_string_Table*, dvk_prompt_Table*, dvk_prompt_List*,
                                 int32_t join);
dvk_ucs2_Char* getTextForMessages(dvk_oem_check_PhoneInfo*, dvk_string_Table*, dvk_prompt_Table*, dvk_prompt_List*,
                                  int32_t join);
dvk_ucs2_Char* getTextForMessagesDetailed(dvk_oem_check_PhoneInfo*, dvk_string_Table*, dvk_prompt_Table*,
                                          dvk_prompt_List*, int32_t join);
dvk_ucs2_Char* getTextForMissedCalls(dvk_oem_check_PhoneInfo*, dvk_string_Table*, dvk_prompt_Table*,
                                     dvk_prompt_List*, int32_t join);
dvk_ucs2_Char* getTextForVoiceMail(dvk_oem_check_PhoneInfo*, dvk_string_Table*, dvk_prompt_Table*, dvk_prompt_List*,
                                   int32_t join);
dvk_ucs2_Char* getTextForMyPhoneNumber(dvk_oem_check_PhoneInfo*, dvk_string_Table*, dvk_prompt_Table*,
                                       dvk_prompt_List*, int32_t join);
dvk_ucs2_Char* getTextForNetworkCoverage(dvk_oem_check_PhoneInfo*, dvk_string_Table*, dvk_prompt_Table*,
                                         dvk_prompt_List*, int32_t join);
dvk_ucs2_Char* getTextForSignalStrength(dvk_oem_check_PhoneInfo*, dvk_string_Table*, dvk_prompt_Table*,
                                        dvk_prompt_List*, int32_t join);
dvk_ucs2_Char* getTextForVolume(dvk_oem_check_PhoneInfo*, dvk_string_Table*, dvk_prompt_Table*, dvk_prompt_List*,
                                int32_t join);
dvk_ucs2_Char* getTextForDate(dvk_oem_check_PhoneInfo*, dvk_string_Table*, dvk_prompt_Table*, dvk_prompt_List*,
                              int32_t join);
dvk_ucs2_Char* getTextForTime(dvk_oem_check_PhoneInfo*, dvk_string_Table*, dvk_prompt_Table*, dvk_prompt_List*,
                              int32_t join);
dvk_ucs2_Char* getTextForDateAndTime(dvk_oem_check_PhoneInfo*, dvk_string_Table*, dvk_prompt_Table*,
                                     dvk_prompt_List*, int32_t join);

// The item's getters (the all-status list rebuilt from the feature flags
// into one static buffer), its join flag and platform flag; the getter
// count. An item that is not a check item is an assertion failure.
int32_t getPropertiesForCmd(int32_t item, const dvk_gen_vcm_CheckGetter** getters, int32_t* join,
                            int32_t* platform);
// What the application is told for the item: false for the all-status item.
bool getCategoryForCmd(int32_t item, int32_t* category, int32_t* nameStringId, int32_t* namePromptId);

// The getters' texts in order, one line each; an empty text adds no line.
dvk_ucs2_Char* getTextForMultipleProperties(const dvk_gen_vcm_CheckGetter* getters, int32_t count,
                                            dvk_oem_check_PhoneInfo* info, dvk_string_Table* strings,
                                            dvk_prompt_Table* promptTable, dvk_prompt_List* prompts, int32_t join);

// name + ":\n  " + value (join < 1) or name + ": " + value; the value alone
// when the name is empty; NULL when either is.
dvk_ucs2_Char* combineNameAndValue(const dvk_ucs2_Char* name, const dvk_ucs2_Char* value, int32_t join);

// A level value by its table (rows 1..; 0 or a value outside it is none:
// empty text, nothing said).
struct dvk_gen_vcm_LevelTable {
    int32_t nameString, namePrompt;
    const int32_t (*rows)[2];  // row 1 first: {string, prompt}
    int32_t rowCount;
};
dvk_ucs2_Char* formatFromTable(const dvk_gen_vcm_LevelTable* table, int32_t value, dvk_string_Table* strings,
                               dvk_prompt_Table* promptTable, dvk_prompt_List* prompts, int32_t join);

struct dvk_gen_vcm_Counter {
    int32_t nameString, namePrompt;
    int32_t zeroString, oneString, manyString;
    int32_t zeroPrompt, onePrompt, manyPrompt;
};
// A negative count is none (empty text).
dvk_ucs2_Char* formatNoneOneMany(const dvk_gen_vcm_Counter* counter, int32_t count, dvk_string_Table* strings,
                                 dvk_prompt_Table* promptTable, dvk_prompt_List* prompts, int32_t join);
// The decimal digits of count (>= 0), said as one recording below 60.
dvk_ucs2_Char* formatCardinal(int32_t count, dvk_prompt_Table* promptTable, dvk_prompt_List* prompts);

// The format's directives replaced (HH 0H hh mm am wday wd month mo dd 0d),
// at most 127 units. A value that is absent (-1) or out of its range makes
// its directive insert and say nothing.
dvk_ucs2_Char* formatDateTime(const dvk_ucs2_Char* format, int32_t hour, int32_t minute, int32_t weekday,
                              int32_t month, int32_t day, dvk_string_Table* strings, dvk_prompt_Table* promptTable,
                              dvk_prompt_List* prompts);
