#include "src/QrvLangSettingGetter.h"

#include "oem/dvk_oem_file.h"
#include "platform/bus/wex_service_request.h"
#include "platform/core/wex_errlog.h"
#include "src/QrvBringUp.h"
#include "src/QrvBringupSteps.h"
#include "src/QrvFileSystem.h"
#include "src/QrvLog.h"
#include "src/QrvServiceEnd.h"

#include <atomic>
#include <cctype>
#include <cstring>

namespace {

WexLogger& uiLog()
{
    return QrvLog::UIthread::qrvLog;
}

struct LangMap {
    char language[3];
    char country[3];
    int32_t id;
};

const LangMap langMapArray[] = {
    {"DA", "DK", 0},  {"DE", "DE", 1},  {"EL", "GR", 2},  {"EN", "AU", 3},  {"EN", "CA", 5},  {"EN", "GB", 4},
    {"EN", "IE", 4},  {"EN", "MX", 5},  {"EN", "US", 5},  {"ES", "US", 7},  {"ES", "ES", 6},  {"ES", "MX", 7},
    {"FI", "FI", 8},  {"FR", "CA", 9},  {"FR", "FR", 10}, {"IT", "IT", 11}, {"JA", "JP", 12}, {"KO", "KR", 13},
    {"NL", "NL", 14}, {"NO", "NO", 15}, {"PL", "PL", 16}, {"PT", "BR", 17}, {"PT", "PT", 18}, {"RU", "RU", 19},
    {"SV", "SE", 20}, {"UK", "UA", 21}, {"ZE", "CN", 22}, {"ZE", "CT", 23}, {"ZE", "HK", 24}, {"ZE", "TW", 25},
    {"ZH", "CN", 26}, {"ZH", "CT", 27}, {"ZH", "HK", 28}, {"ZH", "TW", 29},
};

std::atomic<int32_t> s_currentLanguage{QrvLangSettingGetter::LANG_UNKNOWN};
WexString s_currentLanguageString;
WexString s_currentLanguageStringRaw;
// The outstanding request; "UI" only.
WexRefCountedPtr<QrvLangSettingGetter> s_getter;

// The first two characters of both, without regard to case.
bool sameCode(const char* table, const char* given)
{
    if (std::strlen(given) < 2)
        return false;
    return std::toupper(static_cast<unsigned char>(given[0])) == table[0] &&
           std::toupper(static_cast<unsigned char>(given[1])) == table[1];
}

std::string lower(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// The bring-up's language step.
class LanguageStep : public QrvLanguageStep {
public:
    bool languageKnown() override { return QrvLangSettingGetter::getCurrentLanguage() != QrvLangSettingGetter::LANG_UNKNOWN; }
    void identify(WexService* service) override { QrvLangSettingGetter::init(service); }
};

} // namespace

template <>
QrvLanguageStep& QrvSeam<QrvLanguageStep>::defaultImpl()
{
    static LanguageStep impl;
    return impl;
}

WexErr QrvLangSettingGetter::init(WexService* service)
{
    if (s_getter)
        return WexErrNone;
    s_getter = wexMakeRefCounted<QrvLangSettingGetter>(service);
    if (!s_getter)
        return WEX_THROWN(uiLog(), WexErrNoMemory);
    WexObject keys = WexObject::array();
    keys.append("locale");
    keys.append("enableVoiceCommand");
    WexObject params = WexObject::object();
    params.put("keys", keys);
    WexRefCountedPtr<WexServiceRequest> request;
    if (WexErr err = WexServiceRequest::create(service, request))
        return WEX_CHECKED(uiLog(), err);
    if (WexErr err = request->send(s_getter->m_slot, "com.orvel.systemservice", "getPreferences", params, 1))
        return WEX_CHECKED(uiLog(), err);
    return WexErrNone;
}

WexErr QrvLangSettingGetter::Result(WexObject& reply, WexErr err)
{
    if (err != WexErrNone) {
        uiLog().log(WexLogError, "err=%d", static_cast<int>(err));
        return WexErrNone;
    }
    bool enabled = false;
    if (reply.get("enableVoiceCommand", enabled) != WexErrNone || !enabled) {
        uiLog().log(WexLogNotice, "%s: voice command is disabled.  Shutting down.", __func__);
        QrvServiceEnd::get().shutdownStart();
        return WexErrNone;
    }
    WexObject locale;
    std::string languageCode;
    std::string countryCode;
    if (WexErr e = reply.get("locale", locale))
        return WEX_CHECKED(uiLog(), e);
    if (WexErr e = locale.get("languageCode", languageCode))
        return WEX_CHECKED(uiLog(), e);
    if (WexErr e = locale.get("countryCode", countryCode))
        return WEX_CHECKED(uiLog(), e);

    const int32_t language = getLang(languageCode.c_str(), countryCode.c_str());
    const char* country = language == 5 ? "us" : language == 7 ? "mx" : language == 4 ? "gb" : countryCode.c_str();
    s_currentLanguageString = WexString(languageCode + country);
    s_currentLanguageStringRaw = WexString(languageCode + countryCode);
    s_currentLanguage.store(language);
    uiLog().log(WexLogDebug, "found language %s (%s) (%d)", s_currentLanguageStringRaw.c_str(),
                s_currentLanguageString.c_str(), language);
    // Keeps this getter alive until the callback returns.
    WexRefCountedPtr<QrvLangSettingGetter> self = std::move(s_getter);
    QrvBringUp::languageSettingIdentifiedStatic();
    return WexErrNone;
}

int32_t QrvLangSettingGetter::getCurrentLanguage()
{
    const int32_t language = s_currentLanguage.load();
    QrvLog::multiThread::qrvLog().log(WexLogTrace, "%s: return %d", __func__, language);
    return language;
}

const WexString& QrvLangSettingGetter::getCurrentLanguageString()
{
    return s_currentLanguageString;
}

const WexString& QrvLangSettingGetter::getCurrentLanguageStringRaw()
{
    return s_currentLanguageStringRaw;
}

std::string QrvLangSettingGetter::getCurrentLanguageFileString()
{
    return lower(s_currentLanguageString.view());
}

int32_t QrvLangSettingGetter::getLang(const char* languageCode, const char* countryCode)
{
    for (const LangMap& row : langMapArray)
        if (sameCode(row.language, languageCode) && sameCode(row.country, countryCode))
            return row.id;
    return LANG_UNKNOWN;
}

void QrvLangSettingGetter::removeOldVoiceData()
{
    const int32_t current = s_currentLanguage.load();
    if (current == LANG_UNKNOWN)
        return;
    for (const LangMap& row : langMapArray) {
        if (row.id == current)
            continue;
        const std::string name = "dvk_voc_" + lower(std::string(row.language) + row.country) + ".dat";
        const std::string path = QrvFileSystem::makeFullPathname1(name.c_str());
        QrvLog::multiThread::qrvLog().log(WexLogDebug, "%s: Removing file %s", __func__, path.c_str());
        dvk_oem_file_remove(path.c_str());
    }
}

void QrvLangSettingGetter::resetForTesting()
{
    s_currentLanguage.store(LANG_UNKNOWN);
    s_currentLanguageString.clear();
    s_currentLanguageStringRaw.clear();
    s_getter.reset();
}
