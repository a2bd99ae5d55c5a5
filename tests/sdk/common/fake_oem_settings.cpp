// The settings family, from settable values instead of the record file.
#include "oem/dvk_oem_settings.h"
#include "tests/sdk/common/fake_oem.h"

#include <cstring>

namespace {
FakeOemSettings s_settings;
}

FakeOemSettings& fakeOemSettings()
{
    return s_settings;
}

void resetFakeOemSettings()
{
    std::memset(&s_settings, 0, sizeof s_settings);
    s_settings.language = 5;
    s_settings.earconVolume = s_settings.ttsVolume = 2;
    s_settings.ttsSpeed = 100;
    s_settings.rootPerPage = s_settings.selectPerPage = 5;
    s_settings.locationPerPage = 8;
    s_settings.extensionMinimum = 3;
    s_settings.extensionMaximum = 5;
}

#define FAKE_WORD(name, index)                                                                     \
    int32_t dvk_oem_settings_get##name() { return s_settings.words[index]; }                       \
    void dvk_oem_settings_set##name(int32_t value) { s_settings.words[index] = value; }

FAKE_WORD(TutorialEnabled, 70)
FAKE_WORD(ChoiceListConfirmMode, 71)
FAKE_WORD(ChoiceListMusicConfirmMode, 72)
FAKE_WORD(PromptMode, 73)
FAKE_WORD(DrivingMode, 74)
FAKE_WORD(Bluetooth, 75)
FAKE_WORD(GPS, 76)
FAKE_WORD(WiFi, 77)
FAKE_WORD(SpeakerphoneMode, 78)
FAKE_WORD(SensitivityMode, 80)
FAKE_WORD(DigitDialReadoutMode, 81)
FAKE_WORD(CallAlertMode, 82)
FAKE_WORD(SilenceTimeout, 83)
FAKE_WORD(DictTutorialRequired, 118)

int32_t dvk_oem_settings_getImageSizeClass() { return s_settings.words[119]; }
int32_t dvk_oem_settings_getVCMBase() { return s_settings.words[120]; }
int32_t dvk_oem_settings_isFeatureEnabled(int32_t feature) { return s_settings.words[2 + feature]; }
int32_t dvk_oem_settings_getAudioTipPlayCount(int32_t gate) { return s_settings.words[84 + gate]; }
void dvk_oem_settings_setAudioTipPlayCount(int32_t gate, int32_t count) { s_settings.words[84 + gate] = count; }
void dvk_oem_settings_setDialingRegion(int32_t value) { s_settings.words[79] = value; }
void oemSettingsSetIsFeatureEnabled(int32_t feature, int32_t value) { s_settings.words[2 + feature] = value; }
void oemSettingsSetVCMBase(int32_t value) { s_settings.words[120] = value; }
void oemSettingsUnitTestInit() {}
int32_t dvk_oem_settings_getDialingRegion() { return s_settings.dialingRegion; }
int32_t dvk_oem_settings_getCurrentLanguage() { return s_settings.language; }
int32_t dvk_oem_settings_getMaxRootCommandsPerPage() { return s_settings.rootPerPage; }
int32_t dvk_oem_settings_getMaxSelectItemsPerPage() { return s_settings.selectPerPage; }
int32_t dvk_oem_settings_getMaxLocationItemsPerPage() { return s_settings.locationPerPage; }
int32_t dvk_oem_settings_getEarconVolume() { return s_settings.earconVolume; }
int32_t dvk_oem_settings_getTTSVolume() { return s_settings.ttsVolume; }
int32_t dvk_oem_settings_getTTSSpeed() { return s_settings.ttsSpeed; }

void dvk_oem_settings_getCallExtensionDigitLen(int32_t* minimum, int32_t* maximum)
{
    *minimum = s_settings.extensionMinimum;
    *maximum = s_settings.extensionMaximum;
}

void sprint3DigNum(char*, int32_t) {}
void dvkOemSettingsSetLanguageSource(int32_t (*)()) {}
void dvkOemSettingsForgetCache() {}
