// Phone status for the "check" dialogs and the engine's clock: a copy of the
// porting layer's phone-information record.
#pragma once

#include "oem/dvk_oem_check.h"

// A new record filled by the porting layer, or NULL when memory is short.
dvk_oem_check_PhoneInfo* dvk_check_getPhoneInfo(void);
void dvk_check_destroyPhoneInfo(dvk_oem_check_PhoneInfo** info);

const dvk_ucs2_Char* dvk_check_getPhoneNumber(const dvk_oem_check_PhoneInfo* info);
int32_t dvk_check_getNetworkCoverage(const dvk_oem_check_PhoneInfo* info);
int32_t dvk_check_getNetworkType(const dvk_oem_check_PhoneInfo* info);
int32_t dvk_check_getSignalStrength(const dvk_oem_check_PhoneInfo* info);
int32_t dvk_check_get2ndSignalStrength(const dvk_oem_check_PhoneInfo* info);
int32_t dvk_check_getBatteryLevel(const dvk_oem_check_PhoneInfo* info);
int32_t dvk_check_getVolumeLevel(const dvk_oem_check_PhoneInfo* info);
int32_t dvk_check_getLocationMode(const dvk_oem_check_PhoneInfo* info);
int32_t dvk_check_getMissedCalls(const dvk_oem_check_PhoneInfo* info);
int32_t dvk_check_getVoiceMails(const dvk_oem_check_PhoneInfo* info);
int32_t dvk_check_getMessages(const dvk_oem_check_PhoneInfo* info);
int32_t dvk_check_getTextMessages(const dvk_oem_check_PhoneInfo* info);
int32_t dvk_check_getPictureMessages(const dvk_oem_check_PhoneInfo* info);
int32_t dvk_check_getSMSMessages(const dvk_oem_check_PhoneInfo* info);
int32_t dvk_check_getMMSMessages(const dvk_oem_check_PhoneInfo* info);
int32_t dvk_check_getVideoMessages(const dvk_oem_check_PhoneInfo* info);
int32_t dvk_check_getVoiceSMSMessages(const dvk_oem_check_PhoneInfo* info);
int32_t dvk_check_getVoiceClipMessages(const dvk_oem_check_PhoneInfo* info);
int32_t dvk_check_getVoiceNoteMessages(const dvk_oem_check_PhoneInfo* info);
int32_t dvk_check_getVoiceMessages(const dvk_oem_check_PhoneInfo* info);
// Hour, minute and the two further time words.
void dvk_check_getTime(dvk_oem_check_PhoneInfo* info, int32_t* first, int32_t* second,
                       int32_t* third, int32_t* fourth);
// Weekday, month, day.
void dvk_check_getDate(dvk_oem_check_PhoneInfo* info, int32_t* weekday, int32_t* month,
                       int32_t* day);
