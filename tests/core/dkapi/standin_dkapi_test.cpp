// Without the speech API's engine the grammar sees an empty phrase list and
// no digits request.
#include "core/dkapi/dvk_dkapi.h"

#include <gtest/gtest.h>

namespace {

TEST(StandinDkapi, AnswersAsWithoutItsEngine)
{
    EXPECT_EQ(dvk_dkapi_pfl_getFirst(), 0);
    EXPECT_EQ(dvk_dkapi_pfl_getNext(~0), 0);
    const dvk_ucs2_Char* text = reinterpret_cast<const dvk_ucs2_Char*>(u"x");
    const dvk_ucs2_Char* spoken = text;
    dvk_dkapi_pfl_getEntry(~0, &text, &spoken);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(spoken, nullptr);
    int32_t minimum = 7, maximum = 9;
    dvk_dkapi_getDigitRecogLen(&minimum, &maximum);
    EXPECT_EQ(minimum, 0);
    EXPECT_EQ(maximum, 0);
}

} // namespace
