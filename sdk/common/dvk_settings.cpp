#include "sdk/common/dvk_settings.h"

#include "oem/dvk_oem_settings.h"
#include "sdk/common/dvk_assert.h"

#include <algorithm>

namespace {

int32_t clamp(int32_t value, int32_t low, int32_t high)
{
    return std::min(std::max(value, low), high);
}

} // namespace

int32_t dvk_settings_getVCMBase() { return dvk_oem_settings_getVCMBase(); }

int32_t dvk_settings_getImageSizeClass()
{
    int32_t sizeClass = dvk_oem_settings_getImageSizeClass();
    DVK_ASSERT(sizeClass == 0);
    return sizeClass;
}

int32_t dvk_settings_getMaxRootCommandsPerPage() { return dvk_oem_settings_getMaxRootCommandsPerPage(); }
int32_t dvk_settings_getMaxSelectItemsPerPage() { return dvk_oem_settings_getMaxSelectItemsPerPage(); }
int32_t dvk_settings_getMaxLocationItemsPerPage() { return dvk_oem_settings_getMaxLocationItemsPerPage(); }
int32_t dvk_settings_getEarconVolume() { return clamp(dvk_oem_settings_getEarconVolume(), -10, 10); }
int32_t dvk_settings_getTTSVolume() { return clamp(dvk_oem_settings_getTTSVolume(), -10, 10); }
int32_t dvk_settings_getTTSSpeed() { return clamp(dvk_oem_settings_getTTSSpeed(), 20, 500); }

int32_t dvk_settings_isFeatureEnabled(int32_t feature)
{
    DVK_ASSERT(feature >= 0 && feature <= 67);
    return dvk_oem_settings_isFeatureEnabled(feature);
}

void dvk_settings_getCallExtensionDigitLen(int32_t* minimum, int32_t* maximum)
{
    DVK_ASSERT(minimum != DVK_NULL);
    DVK_ASSERT(maximum != DVK_NULL);
    dvk_oem_settings_getCallExtensionDigitLen(minimum, maximum);
}

int32_t dvk_settings_getCurrentLanguage() { return dvk_oem_settings_getCurrentLanguage(); }
int32_t dvk_settings_shouldUsePostfixConfirmGrammar() { return dvk_settings_getCurrentLanguage() == 13; }
int32_t dvk_settings_shouldUsePostfixNumbers() { return dvk_settings_getCurrentLanguage() == 13; }
int32_t dvk_settings_getDialingRegion() { return dvk_oem_settings_getDialingRegion(); }

int32_t dvk_settings_getTutorialEnabled() { return dvk_oem_settings_getTutorialEnabled(); }
void dvk_settings_setTutorialEnabled(int32_t value) { dvk_oem_settings_setTutorialEnabled(value); }
int32_t dvk_settings_getChoiceListConfirmMode() { return dvk_oem_settings_getChoiceListConfirmMode(); }
void dvk_settings_setChoiceListConfirmMode(int32_t value) { dvk_oem_settings_setChoiceListConfirmMode(value); }
int32_t dvk_settings_getChoiceListMusicConfirmMode() { return dvk_oem_settings_getChoiceListMusicConfirmMode(); }
void dvk_settings_setChoiceListMusicConfirmMode(int32_t value) { dvk_oem_settings_setChoiceListMusicConfirmMode(value); }
int32_t dvk_settings_getPromptMode() { return dvk_oem_settings_getPromptMode(); }
void dvk_settings_setPromptMode(int32_t value) { dvk_oem_settings_setPromptMode(value); }
int32_t dvk_settings_getDrivingMode() { return dvk_oem_settings_getDrivingMode(); }
void dvk_settings_setDrivingMode(int32_t value) { dvk_oem_settings_setDrivingMode(value); }
int32_t dvk_settings_getBluetooth() { return dvk_oem_settings_getBluetooth(); }
void dvk_settings_setBluetooth(int32_t value) { dvk_oem_settings_setBluetooth(value); }
int32_t dvk_settings_getGPS() { return dvk_oem_settings_getGPS(); }
void dvk_settings_setGPS(int32_t value) { dvk_oem_settings_setGPS(value); }
int32_t dvk_settings_getWiFi() { return dvk_oem_settings_getWiFi(); }
void dvk_settings_setWiFi(int32_t value) { dvk_oem_settings_setWiFi(value); }
int32_t dvk_settings_getSpeakerphoneMode() { return dvk_oem_settings_getSpeakerphoneMode(); }
void dvk_settings_setSpeakerphoneMode(int32_t value) { dvk_oem_settings_setSpeakerphoneMode(value); }
void dvk_settings_setDialingRegion(int32_t value) { dvk_oem_settings_setDialingRegion(value); }
int32_t dvk_settings_getSensitivityMode() { return dvk_oem_settings_getSensitivityMode(); }
void dvk_settings_setSensitivityMode(int32_t value) { dvk_oem_settings_setSensitivityMode(value); }
int32_t dvk_settings_getDigitDialReadoutMode() { return dvk_oem_settings_getDigitDialReadoutMode(); }
void dvk_settings_setDigitDialReadoutMode(int32_t value) { dvk_oem_settings_setDigitDialReadoutMode(value); }
int32_t dvk_settings_getCallAlertMode() { return dvk_oem_settings_getCallAlertMode(); }
void dvk_settings_setCallAlertMode(int32_t value) { dvk_oem_settings_setCallAlertMode(value); }
int32_t dvk_settings_getSilenceTimeout() { return dvk_oem_settings_getSilenceTimeout(); }
void dvk_settings_setSilenceTimeout(int32_t milliseconds) { dvk_oem_settings_setSilenceTimeout(milliseconds); }
int32_t dvk_settings_getDictTutorialRequired() { return dvk_oem_settings_getDictTutorialRequired(); }
void dvk_settings_setDictTutorialRequired(int32_t value) { dvk_oem_settings_setDictTutorialRequired(value); }

int32_t dvk_settings_getAudioTipPlayCount(int32_t gateCommand)
{
    DVK_ASSERT(gateCommand >= 0 && gateCommand < 34);
    return dvk_oem_settings_getAudioTipPlayCount(gateCommand);
}

void dvk_settings_setAudioTipPlayCount(int32_t gateCommand, int32_t count)
{
    DVK_ASSERT(gateCommand >= 0 && gateCommand < 34);
    dvk_oem_settings_setAudioTipPlayCount(gateCommand, count);
}
