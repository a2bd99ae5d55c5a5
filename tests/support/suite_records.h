// Writers of the porting layer's two records in the writable data directory
// (the settings record and the phone information), for tests and fuzz
// seeds: defaults, any word or field overridden, any length. Header only:
// for tests that link the porting layer.
#pragma once

#include "oem/dvk_oem_check.h"
#include "oem/dvk_oem_dirs.h"
#include "oem/dvk_oem_settings.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

class SettingsRecordWriter {
public:
    // The porting layer's defaults.
    SettingsRecordWriter()
    {
        words_[0] = DVK_OEM_SETTINGS_MAGIC;
        words_[1] = 5;
        for (int feature : {0, 1, 2, 3, 43, 44, 48, 49, 58, 59, 60, 63})
            words_[2 + feature] = 1;
        for (int word : {70, 73, 74, 75, 76, 77, 78, 80, 81})
            words_[word] = 1;
        words_[71] = words_[72] = 2;
        words_[83] = 5000;
    }
    SettingsRecordWriter& word(int index, int32_t value)
    {
        words_[index] = value;
        return *this;
    }
    // The record cut or zero-padded to length bytes.
    std::string bytes(size_t length = sizeof(words_)) const
    {
        std::string out(length, '\0');
        std::memcpy(out.data(), words_, std::min(length, sizeof words_));
        return out;
    }

private:
    int32_t words_[DVK_OEM_SETTINGS_WORDS] = {};
};

class PhoneInfoRecordWriter {
public:
    PhoneInfoRecordWriter()
    {
        number(u"4085550123");
        const int32_t defaults[26] = {10, 3, 4, 4, 3, 4, 1, 13, 10, 23, 485, 10, 31,
                                      5,  1, 2, 3, 4, 5, 6, 7,  8,  9,  10,  11, 12};
        for (int i = 0; i < 26; ++i)
            word(i, defaults[i]);
    }
    // The own number, cut to 32 units; unterminated when it fills them.
    PhoneInfoRecordWriter& number(std::u16string_view text)
    {
        std::memset(info_.phoneNumber, 0, sizeof info_.phoneNumber);
        for (size_t i = 0; i < text.size() && i < DVK_OEM_CHECK_NUMBER_LENGTH; ++i)
            info_.phoneNumber[i] = text[i];
        return *this;
    }
    // Word 0 (network coverage) to 25 (voice messages), as the record orders them.
    PhoneInfoRecordWriter& word(int index, int32_t value)
    {
        std::memcpy(reinterpret_cast<char*>(&info_) + kFirstWord + 4 * index, &value, 4);
        return *this;
    }
    std::string bytes(size_t length = sizeof(dvk_oem_check_PhoneInfo)) const
    {
        std::string out(length, '\0');
        std::memcpy(out.data(), &info_, std::min(length, sizeof info_));
        return out;
    }

private:
    static constexpr size_t kFirstWord = offsetof(dvk_oem_check_PhoneInfo, networkCoverage);
    dvk_oem_check_PhoneInfo info_{};
};

inline std::string suiteRecordPath(const char* name)
{
    return dvkOemJoin(dvkOemWritableDir(), name);
}

// Writes a record file (the directory made as needed).
inline void writeSuiteRecord(const char* name, const std::string& bytes)
{
    std::filesystem::create_directories(dvkOemWritableDir());
    std::ofstream(suiteRecordPath(name), std::ios::binary | std::ios::trunc) << bytes;
}

inline std::string readSuiteRecord(const char* name)
{
    std::ifstream in(suiteRecordPath(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The next settings or phone-information request reads its file again.
inline void forgetSuiteRecordCaches()
{
    dvkOemSettingsForgetCache();
    dvkOemCheckForgetCache();
}
