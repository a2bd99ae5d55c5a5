// The settings record as found on disk: whatever it holds, loading it and
// asking every setting must not stop the process (the later code asserts on
// some values, so the loader brings them in range).
#include "fuzz/suite_record_root.h"
#include "sdk/common/dvk_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    writeFuzzRecord("dvk_oem_settings.dat", data, size);
    int32_t (*const getters[])() = {
        dvk_settings_getVCMBase, dvk_settings_getImageSizeClass,
        dvk_settings_getMaxRootCommandsPerPage, dvk_settings_getMaxSelectItemsPerPage,
        dvk_settings_getMaxLocationItemsPerPage, dvk_settings_getEarconVolume,
        dvk_settings_getTTSVolume, dvk_settings_getTTSSpeed, dvk_settings_getDialingRegion,
        dvk_settings_getTutorialEnabled, dvk_settings_getChoiceListConfirmMode,
        dvk_settings_getChoiceListMusicConfirmMode, dvk_settings_getPromptMode,
        dvk_settings_getDrivingMode, dvk_settings_getBluetooth, dvk_settings_getGPS,
        dvk_settings_getWiFi, dvk_settings_getSpeakerphoneMode, dvk_settings_getSensitivityMode,
        dvk_settings_getDigitDialReadoutMode, dvk_settings_getCallAlertMode,
        dvk_settings_getSilenceTimeout, dvk_settings_getDictTutorialRequired,
        dvk_oem_settings_getVCMBase, dvk_oem_settings_getImageSizeClass,
    };
    for (auto get : getters)
        get();
    for (int32_t feature = 0; feature <= 67; ++feature)
        dvk_settings_isFeatureEnabled(feature);
    for (int32_t gate = 0; gate < 34; ++gate)
        dvk_settings_getAudioTipPlayCount(gate);
    int32_t minimum = 0, maximum = 0;
    dvk_settings_getCallExtensionDigitLen(&minimum, &maximum);
    int32_t mode = dvk_settings_getPromptMode();
    if (mode < 0 || mode > 3)
        std::abort();
    return 0;
}
