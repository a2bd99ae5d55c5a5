#include "sdk/common/dvk_check.h"

#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_mem.h"

#include <cstddef>
#include <cstring>

dvk_oem_check_PhoneInfo* dvk_check_getPhoneInfo(void)
{
    auto* info = static_cast<dvk_oem_check_PhoneInfo*>(dvk_mem_alloc(sizeof(dvk_oem_check_PhoneInfo)));
    if (info == nullptr)
        return nullptr;
    std::memset(info, 0, sizeof *info);
    // Time, date and the counts up to the voice notes: not known.
    std::memset(info->time, 0xFF,
                offsetof(dvk_oem_check_PhoneInfo, voiceMessages) -
                    offsetof(dvk_oem_check_PhoneInfo, time));
    dvk_oem_check_getPhoneInfo(info);
    info->phoneNumber[DVK_OEM_CHECK_NUMBER_LENGTH - 1] = 0;
    return info;
}

void dvk_check_destroyPhoneInfo(dvk_oem_check_PhoneInfo** info)
{
    DVK_ASSERT(info != DVK_NULL);
    dvk_mem_dealloc(info);
}

#define DVK_CHECK_WORD(operation, field)                                                           \
    int32_t operation(const dvk_oem_check_PhoneInfo* info)                                         \
    {                                                                                              \
        DVK_ASSERT(info != DVK_NULL);                                                              \
        return info->field;                                                                        \
    }

DVK_CHECK_WORD(dvk_check_getNetworkCoverage, networkCoverage)
DVK_CHECK_WORD(dvk_check_getNetworkType, networkType)
DVK_CHECK_WORD(dvk_check_getSignalStrength, signalStrength)
DVK_CHECK_WORD(dvk_check_get2ndSignalStrength, secondSignalStrength)
DVK_CHECK_WORD(dvk_check_getBatteryLevel, batteryLevel)
DVK_CHECK_WORD(dvk_check_getVolumeLevel, volumeLevel)
DVK_CHECK_WORD(dvk_check_getLocationMode, locationMode)
DVK_CHECK_WORD(dvk_check_getMissedCalls, missedCalls)
DVK_CHECK_WORD(dvk_check_getVoiceMails, voiceMails)
DVK_CHECK_WORD(dvk_check_getMessages, messages)
DVK_CHECK_WORD(dvk_check_getTextMessages, textMessages)
DVK_CHECK_WORD(dvk_check_getPictureMessages, pictureMessages)
DVK_CHECK_WORD(dvk_check_getSMSMessages, smsMessages)
DVK_CHECK_WORD(dvk_check_getMMSMessages, mmsMessages)
DVK_CHECK_WORD(dvk_check_getVideoMessages, videoMessages)
DVK_CHECK_WORD(dvk_check_getVoiceSMSMessages, voiceSmsMessages)
DVK_CHECK_WORD(dvk_check_getVoiceClipMessages, voiceClipMessages)
DVK_CHECK_WORD(dvk_check_getVoiceNoteMessages, voiceNoteMessages)
DVK_CHECK_WORD(dvk_check_getVoiceMessages, voiceMessages)

const dvk_ucs2_Char* dvk_check_getPhoneNumber(const dvk_oem_check_PhoneInfo* info)
{
    DVK_ASSERT(info != DVK_NULL);
    return info->phoneNumber;
}

void dvk_check_getTime(dvk_oem_check_PhoneInfo* info, int32_t* first, int32_t* second,
                       int32_t* third, int32_t* fourth)
{
    DVK_ASSERT(info != DVK_NULL);
    *first = info->time[0];
    *second = info->time[1];
    *third = info->time[2];
    *fourth = info->time[3];
}

void dvk_check_getDate(dvk_oem_check_PhoneInfo* info, int32_t* weekday, int32_t* month,
                       int32_t* day)
{
    DVK_ASSERT(info != DVK_NULL);
    *weekday = info->date[2];
    *month = info->date[0];
    *day = info->date[1];
}
