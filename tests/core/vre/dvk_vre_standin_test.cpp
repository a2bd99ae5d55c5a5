// A program linked with the stand-in engine: no model set, so no language
// is supported and no recogniser is made.
#include "core/vre/dvk_vre.h"

#include "tests/support/suite_memory.h"
#include "tests/support/table_file_writers.h"

#include <gtest/gtest.h>

namespace {

using VreStandinTest = SuiteMemoryTest;

TEST_F(VreStandinTest, NoLanguageIsSupported)
{
    writeTableFile("lvr_enus.bin", "model set");
    for (int32_t kind = 1; kind <= 4; ++kind) {
        int32_t code = -1, info = -1;
        EXPECT_EQ(dvk_vre_isLanguageSupported(5, kind, &code, &info), 0);
        EXPECT_EQ(code, 0);
    }
    dvk_vre_Recognizer* vre = nullptr;
    EXPECT_EQ(dvk_vre_create(&vre, 5, 0, nullptr), 2);
    EXPECT_EQ(vre, nullptr);
    // Other modes skip the check; the engine still cannot be made.
    EXPECT_EQ(dvk_vre_create(&vre, 5, 2, nullptr), 1);
    EXPECT_EQ(vre, nullptr);
}

}  // namespace
