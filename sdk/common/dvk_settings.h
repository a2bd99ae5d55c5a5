// The suite's settings access: the porting layer's settings, with a few
// values clamped and arguments checked. Suite thread only.
#pragma once

#include <cstdint>

int32_t dvk_settings_getVCMBase();
// One image size class exists: anything but 0 is a programming error.
int32_t dvk_settings_getImageSizeClass();
int32_t dvk_settings_getMaxRootCommandsPerPage();
int32_t dvk_settings_getMaxSelectItemsPerPage();
int32_t dvk_settings_getMaxLocationItemsPerPage();
int32_t dvk_settings_getEarconVolume();  // -10..10
int32_t dvk_settings_getTTSVolume();     // -10..10
int32_t dvk_settings_getTTSSpeed();      // 20..500
// feature 0-67; callers treat 68 as always on without asking.
int32_t dvk_settings_isFeatureEnabled(int32_t feature);
void dvk_settings_getCallExtensionDigitLen(int32_t* minimum, int32_t* maximum);
int32_t dvk_settings_getCurrentLanguage();
// True exactly for language 13.
int32_t dvk_settings_shouldUsePostfixConfirmGrammar();
int32_t dvk_settings_shouldUsePostfixNumbers();
int32_t dvk_settings_getDialingRegion();

int32_t dvk_settings_getTutorialEnabled();
void dvk_settings_setTutorialEnabled(int32_t value);
int32_t dvk_settings_getChoiceListConfirmMode();
void dvk_settings_setChoiceListConfirmMode(int32_t value);
int32_t dvk_settings_getChoiceListMusicConfirmMode();
void dvk_settings_setChoiceListMusicConfirmMode(int32_t value);
int32_t dvk_settings_getPromptMode();
void dvk_settings_setPromptMode(int32_t value);
int32_t dvk_settings_getDrivingMode();
void dvk_settings_setDrivingMode(int32_t value);
int32_t dvk_settings_getBluetooth();
void dvk_settings_setBluetooth(int32_t value);
int32_t dvk_settings_getGPS();
void dvk_settings_setGPS(int32_t value);
int32_t dvk_settings_getWiFi();
void dvk_settings_setWiFi(int32_t value);
int32_t dvk_settings_getSpeakerphoneMode();
void dvk_settings_setSpeakerphoneMode(int32_t value);
void dvk_settings_setDialingRegion(int32_t value);
int32_t dvk_settings_getSensitivityMode();
void dvk_settings_setSensitivityMode(int32_t value);
int32_t dvk_settings_getDigitDialReadoutMode();
void dvk_settings_setDigitDialReadoutMode(int32_t value);
int32_t dvk_settings_getCallAlertMode();
void dvk_settings_setCallAlertMode(int32_t value);
int32_t dvk_settings_getSilenceTimeout();
void dvk_settings_setSilenceTimeout(int32_t milliseconds);
int32_t dvk_settings_getDictTutorialRequired();
void dvk_settings_setDictTutorialRequired(int32_t value);
// gate command 0-33
int32_t dvk_settings_getAudioTipPlayCount(int32_t gateCommand);
void dvk_settings_setAudioTipPlayCount(int32_t gateCommand, int32_t count);
