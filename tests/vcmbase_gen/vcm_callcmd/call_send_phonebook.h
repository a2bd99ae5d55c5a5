// The phonebook the call, send and look-up tests talk about, served by the
// fake phonebook family to the real suite phonebook, with the capabilities
// of each location set: mobile voice and message, home voice and e-mail,
// work voice only, other message and e-mail. Ann has a mobile and a home
// number, Bob one mobile, Carl one "other" number, Dora two contacts with
// ten numbers between them.
#pragma once

#include "sdk/common/dvk_pbook.h"
#include "sdk/common/dvk_settings.h"
#include "tests/sdk/common/fake_oem_pbook.h"

inline void useCallSendPhonebook()
{
    resetFakeOemPbook();
    dvkPbookUnitTestInit();
    fakeOemPbook().locations = {
        {u"Mobile", u"", 1, 4}, {u"Home", u"", 2, 5}, {u"Work", u"", 3, 1}, {u"Main", u"", 4, 1},
        {u"Other", u"", 5, 6},
    };
    fakeOemPbook().contacts = {
        {u"Ann", u"", u"", u"", {{1, u"5550001"}, {2, u"5550011"}}},
        {u"Bob", u"", u"", u"", {{1, u"5550002"}}},
        {u"Carl", u"", u"", u"", {{5, u"5550003"}}},
        {u"Dora", u"", u"", u"", {{1, u"5550101"}, {1, u"5550102"}, {1, u"5550103"}, {2, u"5550104"},
                                   {2, u"5550105"}}},
        {u"Dora", u"", u"", u"", {{1, u"5550106"}, {3, u"5550107"}, {3, u"5550108"}, {4, u"5550109"},
                                   {2, u"5550110"}}},
    };
}

inline void useEmptyPhonebook()
{
    resetFakeOemPbook();
    dvkPbookUnitTestInit();
}
