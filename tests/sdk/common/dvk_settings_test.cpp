#include "sdk/common/dvk_settings.h"

#include "tests/sdk/common/fake_oem.h"

#include <gtest/gtest.h>

namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { resetFakeOemSettings(); }
};

TEST_F(SettingsTest, VolumesAndSpeedAreClamped)
{
    struct Case {
        int32_t FakeOemSettings::*field;
        int32_t (*get)();
        int32_t value, expected;
    };
    const Case cases[] = {
        {&FakeOemSettings::ttsSpeed, dvk_settings_getTTSSpeed, 5, 20},
        {&FakeOemSettings::ttsSpeed, dvk_settings_getTTSSpeed, 900, 500},
        {&FakeOemSettings::ttsSpeed, dvk_settings_getTTSSpeed, 100, 100},
        {&FakeOemSettings::earconVolume, dvk_settings_getEarconVolume, 12, 10},
        {&FakeOemSettings::earconVolume, dvk_settings_getEarconVolume, -11, -10},
        {&FakeOemSettings::ttsVolume, dvk_settings_getTTSVolume, 11, 10},
        {&FakeOemSettings::ttsVolume, dvk_settings_getTTSVolume, -3, -3},
    };
    for (const Case& c : cases) {
        fakeOemSettings().*c.field = c.value;
        EXPECT_EQ(c.get(), c.expected) << c.value;
    }
}

TEST_F(SettingsTest, PassesThroughAndChecksArguments)
{
    dvk_settings_setSilenceTimeout(7000);
    EXPECT_EQ(fakeOemSettings().words[83], 7000);
    EXPECT_EQ(dvk_settings_getSilenceTimeout(), 7000);
    dvk_settings_setAudioTipPlayCount(33, 2);
    EXPECT_EQ(dvk_settings_getAudioTipPlayCount(33), 2);
    fakeOemSettings().words[2 + 67] = 1;
    EXPECT_EQ(dvk_settings_isFeatureEnabled(67), 1);
    int32_t minimum = 0, maximum = 0;
    dvk_settings_getCallExtensionDigitLen(&minimum, &maximum);
    EXPECT_EQ(minimum, 3);
    EXPECT_EQ(maximum, 5);
    EXPECT_EQ(dvk_settings_getMaxSelectItemsPerPage(), 5);
    EXPECT_EQ(dvk_settings_getMaxLocationItemsPerPage(), 8);

    for (int32_t language : {12, 13, 14}) {
        fakeOemSettings().language = language;
        EXPECT_EQ(dvk_settings_shouldUsePostfixConfirmGrammar(), language == 13);
        EXPECT_EQ(dvk_settings_shouldUsePostfixNumbers(), language == 13);
    }

    EXPECT_DEATH(dvk_settings_isFeatureEnabled(68), "feature <= 67");
    EXPECT_DEATH(dvk_settings_isFeatureEnabled(-1), "feature >= 0");
    EXPECT_DEATH(dvk_settings_getAudioTipPlayCount(34), "gateCommand < 34");
    EXPECT_DEATH(dvk_settings_setAudioTipPlayCount(-1, 0), "gateCommand >= 0");
    EXPECT_DEATH(dvk_settings_getCallExtensionDigitLen(nullptr, &maximum), "minimum != ");
    fakeOemSettings().words[119] = 1;
    EXPECT_DEATH(dvk_settings_getImageSizeClass(), "sizeClass == 0");
}

} // namespace
