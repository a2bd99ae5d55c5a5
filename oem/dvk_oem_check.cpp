#include "oem/dvk_oem_check.h"

#include "oem/dvk_oem_record.h"
#include "sdk/common/dvk_assert.h"

#include <cstddef>
#include <cstring>

namespace {

const char kFileName[] = "dvk_oem_check_app.dat";

dvk_oem_check_PhoneInfo currentPhoneInfo;
int loaded = 0;

void setDefaults()
{
    std::memset(&currentPhoneInfo, 0, sizeof currentPhoneInfo);
    const char sample[] = "4085550123";
    for (size_t i = 0; i + 1 < sizeof sample; ++i)
        currentPhoneInfo.phoneNumber[i] = static_cast<dvk_ucs2_Char>(sample[i]);
    currentPhoneInfo.networkCoverage = 10;
    currentPhoneInfo.networkType = 3;
    currentPhoneInfo.signalStrength = 4;
    currentPhoneInfo.secondSignalStrength = 4;
    currentPhoneInfo.batteryLevel = 3;
    currentPhoneInfo.volumeLevel = 4;
    currentPhoneInfo.locationMode = 1;
    currentPhoneInfo.time[0] = 13;
    currentPhoneInfo.time[1] = 10;
    currentPhoneInfo.time[2] = 23;
    currentPhoneInfo.time[3] = 485;
    currentPhoneInfo.date[0] = 10;
    currentPhoneInfo.date[1] = 31;
    currentPhoneInfo.date[2] = 5;
    const int32_t counts[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};  // missed calls onwards
    static_assert(sizeof counts == sizeof currentPhoneInfo -
                                       offsetof(dvk_oem_check_PhoneInfo, missedCalls));
    std::memcpy(reinterpret_cast<char*>(&currentPhoneInfo) +
                    offsetof(dvk_oem_check_PhoneInfo, missedCalls),
                counts, sizeof counts);
}

void storeSettings()
{
    dvkOemStoreRecord(kFileName, &currentPhoneInfo, sizeof currentPhoneInfo);
}

bool numberTerminated(const dvk_oem_check_PhoneInfo& info)
{
    for (dvk_ucs2_Char unit : info.phoneNumber)
        if (unit == 0)
            return true;
    return false;
}

void retrieveSettings()
{
    if (loaded != 0)
        return;
    if (dvkOemReadRecord(kFileName, &currentPhoneInfo, sizeof currentPhoneInfo) &&
        numberTerminated(currentPhoneInfo)) {
        ++loaded;
        return;
    }
    setDefaults();
    storeSettings();
    ++loaded;
}

} // namespace

void dvk_oem_check_getPhoneInfo(dvk_oem_check_PhoneInfo* info)
{
    DVK_ASSERT(info != NULL);
    retrieveSettings();
    std::memcpy(info, &currentPhoneInfo, sizeof currentPhoneInfo);
}

void oemCheckSavePhoneInfo(const dvk_oem_check_PhoneInfo* info)
{
    DVK_ASSERT(info != NULL);
    retrieveSettings();
    std::memcpy(&currentPhoneInfo, info, sizeof currentPhoneInfo);
    storeSettings();
}

void oemCheckResetPhoneInfo()
{
    setDefaults();
    storeSettings();
}

void dvkOemCheckForgetCache()
{
    loaded = 0;
}
