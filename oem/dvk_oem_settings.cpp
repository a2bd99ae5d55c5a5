#include "oem/dvk_oem_settings.h"

#include "oem/dvk_oem_record.h"
#include "platform/core/wex_logger.h"
#include "sdk/common/dvk_assert.h"

#include <atomic>
#include <cstring>

namespace {

WexLogger s_log("DvkOemSettings");

const char kFileName[] = "dvk_oem_settings.dat";

enum : int {
    WORD_MAGIC = 0,
    WORD_FIVE = 1,
    WORD_FEATURES = 2,
    WORD_TUTORIAL = 70,
    WORD_CONFIRM = 71,
    WORD_MUSIC_CONFIRM = 72,
    WORD_PROMPT_MODE = 73,
    WORD_DRIVING = 74,
    WORD_BLUETOOTH = 75,
    WORD_GPS = 76,
    WORD_WIFI = 77,
    WORD_SPEAKERPHONE = 78,
    WORD_DIALING_REGION = 79,
    WORD_SENSITIVITY = 80,
    WORD_DIGIT_READOUT = 81,
    WORD_CALL_ALERT = 82,
    WORD_SILENCE_TIMEOUT = 83,
    WORD_AUDIO_TIPS = 84,
    WORD_DICT_TUTORIAL = 118,
    WORD_IMAGE_SIZE_CLASS = 119,
    WORD_VCM_BASE = 120,
};

int32_t settingsCache[DVK_OEM_SETTINGS_WORDS];
int loaded = 0;

int32_t unknownLanguage()
{
    return 30;
}

std::atomic<int32_t (*)()> s_languageSource{unknownLanguage};

void setDefaults()
{
    std::memset(settingsCache, 0, sizeof settingsCache);
    settingsCache[WORD_MAGIC] = DVK_OEM_SETTINGS_MAGIC;
    settingsCache[WORD_FIVE] = 5;
    for (int feature : {0, 1, 2, 3, 43, 44, 48, 49, 58, 59, 60, 63})
        settingsCache[WORD_FEATURES + feature] = 1;
    settingsCache[WORD_TUTORIAL] = 1;
    settingsCache[WORD_CONFIRM] = 2;
    settingsCache[WORD_MUSIC_CONFIRM] = 2;
    settingsCache[WORD_PROMPT_MODE] = 1;
    settingsCache[WORD_DRIVING] = 1;
    settingsCache[WORD_BLUETOOTH] = 1;
    settingsCache[WORD_GPS] = 1;
    settingsCache[WORD_WIFI] = 1;
    settingsCache[WORD_SPEAKERPHONE] = 1;
    settingsCache[WORD_SENSITIVITY] = 1;
    settingsCache[WORD_DIGIT_READOUT] = 1;
    settingsCache[WORD_SILENCE_TIMEOUT] = 5000;
}

// A failed write keeps the old record and stays silent: the cache keeps the
// values for this process.
void storeSettings()
{
    dvkOemStoreRecord(kFileName, settingsCache, sizeof settingsCache);
}

// Words that later code asserts on come back in range: nothing in the system
// writes them out of range, so only a damaged record can hold such values.
bool sanitise()
{
    const int32_t before[] = {settingsCache[WORD_PROMPT_MODE], settingsCache[WORD_IMAGE_SIZE_CLASS],
                              settingsCache[WORD_VCM_BASE]};
    int32_t promptMode = settingsCache[WORD_PROMPT_MODE];
    if (promptMode < 0 || promptMode > 3)
        settingsCache[WORD_PROMPT_MODE] = 1;
    if (settingsCache[WORD_IMAGE_SIZE_CLASS] != 0)
        settingsCache[WORD_IMAGE_SIZE_CLASS] = 0;
    if (settingsCache[WORD_VCM_BASE] != 0)
        settingsCache[WORD_VCM_BASE] = 0;
    return before[0] != settingsCache[WORD_PROMPT_MODE] ||
           before[1] != settingsCache[WORD_IMAGE_SIZE_CLASS] ||
           before[2] != settingsCache[WORD_VCM_BASE];
}

void retrieveSettings()
{
    if (loaded != 0)
        return;
    if (dvkOemReadRecord(kFileName, settingsCache, sizeof settingsCache) &&
        settingsCache[WORD_MAGIC] == DVK_OEM_SETTINGS_MAGIC) {
        if (sanitise())
            storeSettings();
        loaded = 1;
        return;
    }
    setDefaults();
    storeSettings();
    loaded = 1;
}

int32_t get(int word)
{
    retrieveSettings();
    return settingsCache[word];
}

void set(int word, int32_t value)
{
    retrieveSettings();
    settingsCache[word] = value;
    storeSettings();
}

} // namespace

dvk_oem_settings_FeatureFlag dvk_oem_settings_getTutorialEnabled() { return get(WORD_TUTORIAL); }
dvk_oem_settings_ConfirmMode dvk_oem_settings_getChoiceListConfirmMode() { return get(WORD_CONFIRM); }
dvk_oem_settings_ConfirmMode dvk_oem_settings_getChoiceListMusicConfirmMode() { return get(WORD_MUSIC_CONFIRM); }
dvk_oem_settings_PromptMode dvk_oem_settings_getPromptMode() { return get(WORD_PROMPT_MODE); }
dvk_oem_settings_DrivingMode dvk_oem_settings_getDrivingMode() { return get(WORD_DRIVING); }
dvk_oem_settings_Bluetooth dvk_oem_settings_getBluetooth() { return get(WORD_BLUETOOTH); }
dvk_oem_settings_GPS dvk_oem_settings_getGPS() { return get(WORD_GPS); }
dvk_oem_settings_WiFi dvk_oem_settings_getWiFi() { return get(WORD_WIFI); }
dvk_oem_settings_SpeakerphoneMode dvk_oem_settings_getSpeakerphoneMode() { return get(WORD_SPEAKERPHONE); }
dvk_oem_settings_SensitivityMode dvk_oem_settings_getSensitivityMode() { return get(WORD_SENSITIVITY); }
dvk_oem_settings_DigitDialReadoutMode dvk_oem_settings_getDigitDialReadoutMode() { return get(WORD_DIGIT_READOUT); }
dvk_oem_settings_CallAlertMode dvk_oem_settings_getCallAlertMode() { return get(WORD_CALL_ALERT); }
int32_t dvk_oem_settings_getSilenceTimeout() { return get(WORD_SILENCE_TIMEOUT); }
dvk_oem_settings_FeatureFlag dvk_oem_settings_getDictTutorialRequired() { return get(WORD_DICT_TUTORIAL); }
int32_t dvk_oem_settings_getImageSizeClass() { return get(WORD_IMAGE_SIZE_CLASS); }
dvk_oem_settings_VCMBase dvk_oem_settings_getVCMBase() { return get(WORD_VCM_BASE); }

dvk_oem_settings_FeatureFlag dvk_oem_settings_isFeatureEnabled(dvk_oem_settings_FeatureName feature)
{
    DVK_ASSERT(feature >= 0 && feature < DVK_OEM_SETTINGS_FEATURES);
    return get(WORD_FEATURES + feature);
}

int32_t dvk_oem_settings_getAudioTipPlayCount(int32_t gateCommand)
{
    DVK_ASSERT(gateCommand >= 0 && gateCommand < DVK_OEM_SETTINGS_GATE_COMMANDS);
    return get(WORD_AUDIO_TIPS + gateCommand);
}

void dvk_oem_settings_setTutorialEnabled(dvk_oem_settings_FeatureFlag value) { set(WORD_TUTORIAL, value); }
void dvk_oem_settings_setChoiceListConfirmMode(dvk_oem_settings_ConfirmMode value) { set(WORD_CONFIRM, value); }
void dvk_oem_settings_setChoiceListMusicConfirmMode(dvk_oem_settings_ConfirmMode value) { set(WORD_MUSIC_CONFIRM, value); }
void dvk_oem_settings_setPromptMode(dvk_oem_settings_PromptMode value) { set(WORD_PROMPT_MODE, value); }
void dvk_oem_settings_setDrivingMode(dvk_oem_settings_DrivingMode value) { set(WORD_DRIVING, value); }
void dvk_oem_settings_setBluetooth(dvk_oem_settings_Bluetooth value) { set(WORD_BLUETOOTH, value); }
void dvk_oem_settings_setGPS(dvk_oem_settings_GPS value) { set(WORD_GPS, value); }
void dvk_oem_settings_setWiFi(dvk_oem_settings_WiFi value) { set(WORD_WIFI, value); }
void dvk_oem_settings_setSpeakerphoneMode(dvk_oem_settings_SpeakerphoneMode value) { set(WORD_SPEAKERPHONE, value); }
void dvk_oem_settings_setDialingRegion(dvk_oem_settings_DialingRegion value) { set(WORD_DIALING_REGION, value); }
void dvk_oem_settings_setSensitivityMode(dvk_oem_settings_SensitivityMode value) { set(WORD_SENSITIVITY, value); }
void dvk_oem_settings_setDigitDialReadoutMode(dvk_oem_settings_DigitDialReadoutMode value) { set(WORD_DIGIT_READOUT, value); }
void dvk_oem_settings_setCallAlertMode(dvk_oem_settings_CallAlertMode value) { set(WORD_CALL_ALERT, value); }
void dvk_oem_settings_setSilenceTimeout(int32_t milliseconds) { set(WORD_SILENCE_TIMEOUT, milliseconds); }
void dvk_oem_settings_setDictTutorialRequired(dvk_oem_settings_FeatureFlag value) { set(WORD_DICT_TUTORIAL, value); }

void dvk_oem_settings_setAudioTipPlayCount(int32_t gateCommand, int32_t count)
{
    DVK_ASSERT(gateCommand >= 0 && gateCommand < DVK_OEM_SETTINGS_GATE_COMMANDS);
    set(WORD_AUDIO_TIPS + gateCommand, count);
}

void oemSettingsSetIsFeatureEnabled(dvk_oem_settings_FeatureName feature,
                                    dvk_oem_settings_FeatureFlag value)
{
    DVK_ASSERT(feature >= 0 && feature < DVK_OEM_SETTINGS_FEATURES);
    set(WORD_FEATURES + feature, value);
}

void oemSettingsSetVCMBase(dvk_oem_settings_VCMBase value)
{
    set(WORD_VCM_BASE, value);
}

void oemSettingsUnitTestInit()
{
    setDefaults();
    storeSettings();
    loaded = 1;
}

dvk_oem_settings_DialingRegion dvk_oem_settings_getDialingRegion()
{
    int32_t language = s_languageSource.load()();
    return language == 5 || language == 7 || language == 9 ? 0 : 1;
}

int32_t dvk_oem_settings_getCurrentLanguage()
{
    int32_t language = s_languageSource.load()();
    if (language >= 30)
        s_log.log(WexLogError, "%s: returning invalid language (%d) to dravik", __func__, language);
    return language;
}

int32_t dvk_oem_settings_getMaxRootCommandsPerPage() { return 5; }
int32_t dvk_oem_settings_getMaxSelectItemsPerPage() { return 5; }
int32_t dvk_oem_settings_getMaxLocationItemsPerPage() { return 8; }
int32_t dvk_oem_settings_getEarconVolume() { return 2; }
int32_t dvk_oem_settings_getTTSVolume() { return 2; }
int32_t dvk_oem_settings_getTTSSpeed() { return 100; }

void dvk_oem_settings_getCallExtensionDigitLen(int32_t* minimum, int32_t* maximum)
{
    DVK_ASSERT(minimum != NULL);
    DVK_ASSERT(maximum != NULL);
    *minimum = 3;
    *maximum = 5;
}

void sprint3DigNum(char* buffer, int32_t value)
{
    DVK_ASSERT(buffer != NULL);
    uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    buffer[0] = static_cast<char>('0' + magnitude / 100 % 10);
    buffer[1] = static_cast<char>('0' + magnitude / 10 % 10);
    buffer[2] = static_cast<char>('0' + magnitude % 10);
}

void dvkOemSettingsSetLanguageSource(int32_t (*currentLanguage)())
{
    s_languageSource.store(currentLanguage != nullptr ? currentLanguage : unknownLanguage);
}

void dvkOemSettingsForgetCache()
{
    loaded = 0;
}
