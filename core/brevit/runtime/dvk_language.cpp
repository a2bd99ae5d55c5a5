#include "core/brevit/runtime/dvk_language.h"

#include "core/brevit/runtime/dvk_str.h"

#include <array>
#include <cstddef>

namespace {

constexpr std::array<const char*, 29> sLanguagesTwoCharCodes = {
    "AR", "CS", "DA", "DE", "EN", "EO", "ES", "FA", "FI", "FR", "EL", "HE", "HI", "IT", "JA",
    "KO", "MI", "NL", "NO", "PL", "PT", "RU", "SV", "TR", "UK", "VI", "ZH", "ZE", "XX",
};

// ISO 3166-1 alpha-2 as it stood at the end of 2003, in the order of the
// countries' English short names, then "CT" and "XX".
constexpr std::array<const char*, 241> sCountryTwoCharCodes = {
    "AF", "AL", "DZ", "AS", "AD", "AO", "AI", "AQ", "AG", "AR", "AM", "AW", "AU", "AT", "AZ",
    "BS", "BH", "BD", "BB", "BY", "BE", "BZ", "BJ", "BM", "BT", "BO", "BA", "BW", "BV", "BR",
    "IO", "BN", "BG", "BF", "BI", "KH", "CM", "CA", "CV", "KY", "CF", "TD", "CL", "CN", "CX",
    "CC", "CO", "KM", "CG", "CD", "CK", "CR", "CI", "HR", "CU", "CY", "CZ", "DK", "DJ", "DM",
    "DO", "EC", "EG", "SV", "GQ", "ER", "EE", "ET", "FK", "FO", "FJ", "FI", "FR", "GF", "PF",
    "TF", "GA", "GM", "GE", "DE", "GH", "GI", "GR", "GL", "GD", "GP", "GU", "GT", "GN", "GW",
    "GY", "HT", "HM", "VA", "HN", "HK", "HU", "IS", "IN", "ID", "IR", "IQ", "IE", "IL", "IT",
    "JM", "JP", "JO", "KZ", "KE", "KI", "KP", "KR", "KW", "KG", "LA", "LV", "LB", "LS", "LR",
    "LY", "LI", "LT", "LU", "MO", "MK", "MG", "MW", "MY", "MV", "ML", "MT", "MH", "MQ", "MR",
    "MU", "YT", "MX", "FM", "MD", "MC", "MN", "MS", "MA", "MZ", "MM", "NA", "NR", "NP", "NL",
    "AN", "NC", "NZ", "NI", "NE", "NG", "NU", "NF", "MP", "NO", "OM", "PK", "PW", "PS", "PA",
    "PG", "PY", "PE", "PH", "PN", "PL", "PT", "PR", "QA", "RE", "RO", "RU", "RW", "SH", "KN",
    "LC", "PM", "VC", "WS", "SM", "ST", "SA", "SN", "CS", "SC", "SL", "SG", "SK", "SI", "SB",
    "SO", "ZA", "GS", "ES", "LK", "SD", "SR", "SJ", "SZ", "SE", "CH", "SY", "TW", "TJ", "TZ",
    "TH", "TL", "TG", "TK", "TO", "TT", "TN", "TR", "TM", "TC", "TV", "UG", "UA", "AE", "GB",
    "US", "UM", "UY", "UZ", "VU", "VE", "VN", "VG", "VI", "WF", "EH", "YE", "ZM", "ZW", "CT",
    "XX",
};

struct LanguageMapping {
    const char* name;
    const char* code;
};

constexpr std::array<LanguageMapping, 11> sLanguageMappings = {{
    {"USEnglish", "enus"},
    {"Korean", "kokr"},
    {"Spanish", "eses"},
    {"Portuguese", "ptpt"},
    {"Italian", "itit"},
    {"French", "frfr"},
    {"German", "dede"},
    {"UKEnglish", "engb"},
    {"Mandarin", "zhcn"},
    {"Cantonese", "zhhk"},
    {"Finnish", "fifi"},
}};

constexpr std::array<const char*, 6> sCJKCodes = {"jajp", "kokr", "zhcn",
                                                  "zhhk", "zhtw", "zhct"};

template <size_t N>
bool holdsPair(const std::array<const char*, N>& codes, const char* pair)
{
    for (const char* code : codes)
        if (DVKStr_NCompareNoCase(code, pair, 2) == 0)
            return true;
    return false;
}

} // namespace

const char* Language_NameToShortName(const char* name)
{
    if (name == nullptr)
        return nullptr;
    if (DVKStr_Length(name) == 4)
        return holdsPair(sLanguagesTwoCharCodes, name) && holdsPair(sCountryTwoCharCodes, name + 2)
                   ? name
                   : nullptr;
    for (const LanguageMapping& mapping : sLanguageMappings)
        if (DVKStr_Compare(mapping.name, name) == 0)
            return mapping.code;
    return nullptr;
}

bool Language_IsNonCJK(const char* code)
{
    if (code == nullptr)
        return true;
    for (const char* cjk : sCJKCodes)
        if (DVKStr_CompareNoCase(cjk, code) == 0)
            return false;
    return true;
}

bool Language_IsNonCJKLanguage(const char* code)
{
    return Language_IsNonCJK(code);
}
