// The phone status the "check" dialogs read out: one record kept in
// "dvk_oem_check_app.dat" in the writable data directory, loaded once per
// process; a missing or unusable file is replaced by sample values.
#pragma once

#include "sdk/common/dvk_types.h"

#include <cstdint>

enum : int32_t { DVK_OEM_CHECK_NUMBER_LENGTH = 32 };

struct dvk_oem_check_PhoneInfo {
    dvk_ucs2_Char phoneNumber[DVK_OEM_CHECK_NUMBER_LENGTH];  // 0-terminated
    int32_t networkCoverage;
    int32_t networkType;
    int32_t signalStrength;
    int32_t secondSignalStrength;
    int32_t batteryLevel;
    int32_t volumeLevel;
    int32_t locationMode;
    int32_t time[4];  // hour, minute, two further words; -1 absent
    int32_t date[3];  // month, day, weekday; -1 absent
    int32_t missedCalls;
    int32_t voiceMails;
    int32_t messages;
    int32_t textMessages;
    int32_t pictureMessages;
    int32_t smsMessages;
    int32_t mmsMessages;
    int32_t videoMessages;
    int32_t voiceSmsMessages;
    int32_t voiceClipMessages;
    int32_t voiceNoteMessages;
    int32_t voiceMessages;
};
static_assert(sizeof(dvk_oem_check_PhoneInfo) == 168, "the file's record");

// Copies the record (loading it first when needed).
void dvk_oem_check_getPhoneInfo(dvk_oem_check_PhoneInfo* info);
// No caller in the system: replaces the record and writes the file.
void oemCheckSavePhoneInfo(const dvk_oem_check_PhoneInfo* info);
// No caller in the system: the sample values, written.
void oemCheckResetPhoneInfo();

// Test tool: the next request reads the file again.
void dvkOemCheckForgetCache();
