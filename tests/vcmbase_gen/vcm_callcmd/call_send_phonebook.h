// The phonebook the call, send and look-up tests talk about, served by the
// fake phonebook family to the real suite phonebook, with the capabilities
// of each location set (a contact's second number of a type takes the
// type's second name, and so on): mobile voice and message, home voice and e-mail,
// work voice only, other message and e-mail. Messages go to a mobile
// number by default (location type 1), e-mails to a home one (type 5).
// Ann has a mobile and a home number, Bob one mobile, Carl one "other"
// number, Dora two contacts with ten numbers between them, Eve an "other"
// and a mobile number.
#pragma once

#include "sdk/common/dvk_pbook.h"
#include "sdk/common/dvk_settings.h"
#include "tests/sdk/common/fake_oem_pbook.h"

inline void useCallSendPhonebook()
{
    resetFakeOemPbook();
    dvkPbookUnitTestInit();
    fakeOemPbook().locations = {
        {u"Mobile", u"", 1, 4}, {u"Other", u"", 2, 6}, {u"Work", u"", 3, 1}, {u"Main", u"", 4, 1},
        {u"Home", u"", 5, 5}, {u"Mobile 2", u"", 1, 4}, {u"Mobile 3", u"", 1, 4}, {u"Mobile 4", u"", 1, 4},
        {u"Home 2", u"", 5, 5}, {u"Home 3", u"", 5, 5}, {u"Work 2", u"", 3, 1},
    };
    fakeOemPbook().contacts = {
        {u"Ann", u"", u"", u"", {{1, u"5550001"}, {5, u"5550011"}}},
        {u"Bob", u"", u"", u"", {{1, u"5550002"}}},
        {u"Carl", u"", u"", u"", {{2, u"5550003"}}},
        {u"Dora", u"", u"", u"", {{1, u"5550101"}, {1, u"5550102"}, {1, u"5550103"}, {5, u"5550104"},
                                   {5, u"5550105"}}},
        {u"Dora", u"", u"", u"", {{1, u"5550106"}, {3, u"5550107"}, {3, u"5550108"}, {4, u"5550109"},
                                   {5, u"5550110"}}},
        {u"Eve", u"", u"", u"", {{2, u"5550004"}, {1, u"5550005"}}},
    };
}

inline void useEmptyPhonebook()
{
    resetFakeOemPbook();
    dvkPbookUnitTestInit();
}
