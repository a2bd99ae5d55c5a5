// The phone-information record as found on disk: loading it and reading every
// field must stay inside the record, and the own number is always terminated.
#include "fuzz/suite_record_root.h"
#include "sdk/common/dvk_check.h"
#include "sdk/common/dvk_mem.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    writeFuzzRecord("dvk_oem_check_app.dat", data, size);
    dvk_oem_check_PhoneInfo* info = dvk_check_getPhoneInfo();
    if (info == nullptr)
        std::abort();
    size_t length = 0;
    for (const dvk_ucs2_Char* number = dvk_check_getPhoneNumber(info); number[length] != 0;)
        ++length;
    if (length >= DVK_OEM_CHECK_NUMBER_LENGTH)
        std::abort();
    int32_t (*const accessors[])(const dvk_oem_check_PhoneInfo*) = {
        dvk_check_getNetworkCoverage, dvk_check_getNetworkType, dvk_check_getSignalStrength,
        dvk_check_get2ndSignalStrength, dvk_check_getBatteryLevel, dvk_check_getVolumeLevel,
        dvk_check_getLocationMode, dvk_check_getMissedCalls, dvk_check_getVoiceMails,
        dvk_check_getMessages, dvk_check_getTextMessages, dvk_check_getPictureMessages,
        dvk_check_getSMSMessages, dvk_check_getMMSMessages, dvk_check_getVideoMessages,
        dvk_check_getVoiceSMSMessages, dvk_check_getVoiceClipMessages,
        dvk_check_getVoiceNoteMessages, dvk_check_getVoiceMessages,
    };
    for (auto get : accessors)
        get(info);
    int32_t words[7];
    dvk_check_getTime(info, &words[0], &words[1], &words[2], &words[3]);
    dvk_check_getDate(info, &words[4], &words[5], &words[6]);
    dvk_check_destroyPhoneInfo(&info);
    return 0;
}
