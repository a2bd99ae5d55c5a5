// A session whose root menu has one gate, a call (or the gate command given),
// over the call/send phonebook, confirmation mode 2 at sensitivity 1; a
// result is built from the values a test names.
#pragma once

#include "tests/vcmbase_gen/harness/dialog_harness.h"
#include "tests/vcmbase_gen/harness/recording_answers.h"

#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_mem.h"
#include "sdk/common/dvk_settings.h"
#include "tests/vcmbase_gen/vcm_callcmd/call_send_phonebook.h"

#include <algorithm>

#include <gtest/gtest.h>

using Log = std::vector<std::string>;

inline bool has(const Log& log, const std::string& line)
{
    return std::find(log.begin(), log.end(), line) != log.end();
}

class CallSessionTest : public DialogHarness {
protected:
    void SetUp() override
    {
        DialogHarness::SetUp();
        recordAnswers(&notifications);
        useCallSendPhonebook();
        dvk_settings_setChoiceListConfirmMode(2);
        dvk_settings_setSensitivityMode(1);
        configure({{{200}, {}, 400, -1, 68, 1}});
        start();
        take();
    }
    // The one gate carries this gate command instead; the session restarts.
    void useGate(int32_t gateCmd)
    {
        dvk_vcm_endSession(&vcms);
        configure({{{200}, {}, 400, -1, 68, gateCmd}});
        start();
        take();
    }
    void TearDown() override
    {
        DialogHarness::TearDown();
        useEmptyPhonebook();
    }

    // A one-entry call result: the command word and the given values.
    dvk_nbest_List* heard(const char16_t* name, const char16_t* location = nullptr,
                          const char16_t* digits = nullptr, bool extension = false, int32_t confidence = 90)
    {
        dvk_nbest_List* list = dvk_nbest_create(constraintOf(0), "said", confidence);
        EXPECT_EQ(dvk_nbest_addEntry(list), 0);
        addValues(list, 0, name, location, digits, extension);
        return list;
    }
    void addValues(dvk_nbest_List* list, int32_t i, const char16_t* name, const char16_t* location,
                   const char16_t* digits, bool extension)
    {
        dvk_ucs2_Char* command = dvk_string_getString(strings, 200);
        EXPECT_EQ(dvk_nbest_addValueNoIds(list, i, 9, "said", command, command), 0);
        dvk_ucs2_destroy(&command);
        const uint32_t ids[] = {11, 12};
        const auto* n = reinterpret_cast<const dvk_ucs2_Char*>(name);
        if (name != nullptr) {
            EXPECT_EQ(dvk_nbest_addValue(list, i, 20, "name", n, n, 2, ids, 0, nullptr), 0);
        }
        const auto* l = reinterpret_cast<const dvk_ucs2_Char*>(location);
        if (location != nullptr) {
            EXPECT_EQ(dvk_nbest_addValueNoIds(list, i, 15, "loc", l, l), 0);
        }
        const auto* d = reinterpret_cast<const dvk_ucs2_Char*>(digits);
        if (digits != nullptr) {
            EXPECT_EQ(dvk_nbest_addValueNoIds(list, i, 6, "digits", d, d), 0);
        }
        if (extension) {
            EXPECT_EQ(dvk_nbest_addValueNoIds(list, i, 8, "ext", d, d), 0);
        }
    }
    // A yes/no answer: the string's text in the yes/no slot (100 yes, 99 no).
    dvk_nbest_List* answer(int32_t stringId)
    {
        dvk_nbest_List* list = dvk_nbest_create(37, "yesno", 90);
        EXPECT_EQ(dvk_nbest_addEntry(list), 0);
        dvk_ucs2_Char* text = dvk_string_getString(strings, stringId);
        EXPECT_EQ(dvk_nbest_addValueNoIds(list, 0, 26, "yesno", text, text), 0);
        dvk_ucs2_destroy(&text);
        return list;
    }
    void restart()
    {
        dvk_vcm_endSession(&vcms);
        start();
        take();
    }
    // The result given with every allocation failing in turn: each step
    // answers 0 or 1 and leaves nothing behind, and once memory suffices the
    // log ends with `last`. The session is open again afterwards.
    void failEachAllocationUntil(const char16_t* name, const char16_t* location, const std::string& last)
    {
        dvk_vcm_endSession(&vcms);
        const long base = dvk_mem_liveBlocks();
        for (long n = 0;; n++) {
            SCOPED_TRACE(n);
            start();
            take();
            dvk_nbest_List* list = heard(name, location);
            dvk_mem_failAfter(n);
            result(list);
            dvk_mem_failAfter(-1);
            const Log log = take();
            const int got = driver.lastResult;
            dvk_vcm_endSession(&vcms);
            ASSERT_EQ(dvk_mem_liveBlocks(), base);
            if (got == 0 && !log.empty() && log.back() == last)
                break;
            ASSERT_LT(n, 1000);
        }
        start();
        take();
    }
    Log after(dvk_nbest_List* list)
    {
        result(list);
        return take();
    }
};
