#include "tests/core/vcm/phonebook/ann_bob_phonebook.h"

#include "sdk/common/dvk_pbook.h"
#include "tests/sdk/common/fake_oem_pbook.h"

void useAnnAndBobPhonebook()
{
    resetFakeOemPbook();
    dvkPbookUnitTestInit();
    fakeOemPbook().locations = {{u"Mobile", u"", 1, 1}, {u"Home", u"", 2, 1}};
    fakeOemPbook().contacts = {{u"Ann", u"", u"", u"", {{1, u"5550001"}}},
                               {u"Bob", u"", u"", u"", {{1, u"5550002"}}}};
}

void clearAnnAndBobPhonebook()
{
    resetFakeOemPbook();
    dvkPbookUnitTestInit();
}
