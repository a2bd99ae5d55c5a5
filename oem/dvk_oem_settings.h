// The suite's persistent user settings: one record of 121 words,
// "dvk_oem_settings.dat" in the writable data directory, read once per
// process into a cache and written back whole after every change. A few
// values are fixed and not stored. Suite thread only.
#pragma once

#include <cstdint>

typedef int32_t dvk_oem_settings_FeatureName;   // 0-67
typedef int32_t dvk_oem_settings_FeatureFlag;   // 0 off, 1 on
typedef int32_t dvk_oem_settings_ConfirmMode;
typedef int32_t dvk_oem_settings_PromptMode;     // 0-3
typedef int32_t dvk_oem_settings_DrivingMode;
typedef int32_t dvk_oem_settings_Bluetooth;
typedef int32_t dvk_oem_settings_GPS;
typedef int32_t dvk_oem_settings_WiFi;
typedef int32_t dvk_oem_settings_SpeakerphoneMode;
typedef int32_t dvk_oem_settings_DialingRegion;
typedef int32_t dvk_oem_settings_SensitivityMode;
typedef int32_t dvk_oem_settings_DigitDialReadoutMode;
typedef int32_t dvk_oem_settings_CallAlertMode;
typedef int32_t dvk_oem_settings_VCMBase;        // 0 generic, 1-3 other bases

enum : int32_t {
    DVK_OEM_SETTINGS_MAGIC = 0x12345679,
    DVK_OEM_SETTINGS_WORDS = 121,
    DVK_OEM_SETTINGS_FEATURES = 68,
    DVK_OEM_SETTINGS_GATE_COMMANDS = 34,
};

dvk_oem_settings_FeatureFlag dvk_oem_settings_getTutorialEnabled();
dvk_oem_settings_ConfirmMode dvk_oem_settings_getChoiceListConfirmMode();
dvk_oem_settings_ConfirmMode dvk_oem_settings_getChoiceListMusicConfirmMode();
dvk_oem_settings_PromptMode dvk_oem_settings_getPromptMode();
dvk_oem_settings_DrivingMode dvk_oem_settings_getDrivingMode();
dvk_oem_settings_Bluetooth dvk_oem_settings_getBluetooth();
dvk_oem_settings_GPS dvk_oem_settings_getGPS();
dvk_oem_settings_WiFi dvk_oem_settings_getWiFi();
dvk_oem_settings_SpeakerphoneMode dvk_oem_settings_getSpeakerphoneMode();
dvk_oem_settings_SensitivityMode dvk_oem_settings_getSensitivityMode();
dvk_oem_settings_DigitDialReadoutMode dvk_oem_settings_getDigitDialReadoutMode();
dvk_oem_settings_CallAlertMode dvk_oem_settings_getCallAlertMode();
int32_t dvk_oem_settings_getSilenceTimeout();  // milliseconds
dvk_oem_settings_FeatureFlag dvk_oem_settings_getDictTutorialRequired();
int32_t dvk_oem_settings_getImageSizeClass();
dvk_oem_settings_VCMBase dvk_oem_settings_getVCMBase();
dvk_oem_settings_FeatureFlag dvk_oem_settings_isFeatureEnabled(dvk_oem_settings_FeatureName feature);
int32_t dvk_oem_settings_getAudioTipPlayCount(int32_t gateCommand);  // 0-33

void dvk_oem_settings_setTutorialEnabled(dvk_oem_settings_FeatureFlag value);
void dvk_oem_settings_setChoiceListConfirmMode(dvk_oem_settings_ConfirmMode value);
void dvk_oem_settings_setChoiceListMusicConfirmMode(dvk_oem_settings_ConfirmMode value);
void dvk_oem_settings_setPromptMode(dvk_oem_settings_PromptMode value);
void dvk_oem_settings_setDrivingMode(dvk_oem_settings_DrivingMode value);
void dvk_oem_settings_setBluetooth(dvk_oem_settings_Bluetooth value);
void dvk_oem_settings_setGPS(dvk_oem_settings_GPS value);
void dvk_oem_settings_setWiFi(dvk_oem_settings_WiFi value);
void dvk_oem_settings_setSpeakerphoneMode(dvk_oem_settings_SpeakerphoneMode value);
void dvk_oem_settings_setDialingRegion(dvk_oem_settings_DialingRegion value);
void dvk_oem_settings_setSensitivityMode(dvk_oem_settings_SensitivityMode value);
void dvk_oem_settings_setDigitDialReadoutMode(dvk_oem_settings_DigitDialReadoutMode value);
void dvk_oem_settings_setCallAlertMode(dvk_oem_settings_CallAlertMode value);
void dvk_oem_settings_setSilenceTimeout(int32_t milliseconds);
void dvk_oem_settings_setDictTutorialRequired(dvk_oem_settings_FeatureFlag value);
void dvk_oem_settings_setAudioTipPlayCount(int32_t gateCommand, int32_t count);
// No caller in the system.
void oemSettingsSetIsFeatureEnabled(dvk_oem_settings_FeatureName feature,
                                    dvk_oem_settings_FeatureFlag value);
void oemSettingsSetVCMBase(dvk_oem_settings_VCMBase value);
// Defaults, written and cached (no caller in the system).
void oemSettingsUnitTestInit();

// 0 for languages 5, 7 and 9, else 1 (word 79 is never read).
dvk_oem_settings_DialingRegion dvk_oem_settings_getDialingRegion();
// The service's current language; 30 and above are logged and returned.
int32_t dvk_oem_settings_getCurrentLanguage();
int32_t dvk_oem_settings_getMaxRootCommandsPerPage();
int32_t dvk_oem_settings_getMaxSelectItemsPerPage();
int32_t dvk_oem_settings_getMaxLocationItemsPerPage();
int32_t dvk_oem_settings_getEarconVolume();
int32_t dvk_oem_settings_getTTSVolume();
int32_t dvk_oem_settings_getTTSSpeed();
void dvk_oem_settings_getCallExtensionDigitLen(int32_t* minimum, int32_t* maximum);
// The value's last three decimal digits, hundreds first, no terminator.
void sprint3DigNum(char* buffer, int32_t value);

// Where the current language comes from: the service's language getter once
// it is wired; until then (and for tests) any source; null restores the
// default, which answers 30 (not known).
void dvkOemSettingsSetLanguageSource(int32_t (*currentLanguage)());

// Test tool: the next operation reads the file again.
void dvkOemSettingsForgetCache();
