#include "src/QrvResourceBundle.h"

#include "platform/core/wex_root.h"
#include "src/QrvLangSettingGetter.h"
#include "src/QrvLog.h"

#include <unicode/locid.h>
#include <unicode/ustring.h>

#include <cctype>
#include <mutex>

namespace {

WexLogger& log()
{
    return QrvLog::multiThread::qrvLog();
}

// Reached from "UI" and "VR": the check and the load go together.
std::mutex s_mutex;
std::shared_ptr<const icu::ResourceBundle> s_resourceBundle;

} // namespace

namespace QrvResourceBundleNS {

std::shared_ptr<const icu::ResourceBundle> QrvGetResourceBundle()
{
    std::lock_guard<std::mutex> lock(s_mutex);
    if (s_resourceBundle)
        return s_resourceBundle;
    const WexString& raw = QrvLangSettingGetter::getCurrentLanguageStringRaw();
    if (raw.length() != 4) {
        log().log(WexLogWarning, "%s: language not identified yet.  Resource bundle unavailable.", __func__);
        return nullptr;
    }
    const char name[6] = {raw.c_str()[0], raw.c_str()[1], '_',
                          static_cast<char>(std::toupper(static_cast<unsigned char>(raw.c_str()[2]))),
                          static_cast<char>(std::toupper(static_cast<unsigned char>(raw.c_str()[3]))), '\0'};
    log().log(WexLogError, "%s: Attempting to load resource bundle for locale %s", __func__, name);
    // A trailing separator: the bundles are the directory's own files.
    const std::string path = wexRootPath("/usr/lib/merrowind/resources") + "/";
    UErrorCode status = U_ZERO_ERROR;
    auto bundle = std::make_shared<const icu::ResourceBundle>(path.c_str(), icu::Locale(name), status);
    if (U_FAILURE(status)) {
        log().log(WexLogError, "%s: Error initializing resource bundle (status=%d)", __func__,
                  static_cast<int>(status));
        return nullptr;
    }
    s_resourceBundle = std::move(bundle);
    return s_resourceBundle;
}

std::string LOCALIZED(const icu::ResourceBundle& bundle, const char* key, const char* defaultText,
                      UErrorCode& status)
{
    std::string result = defaultText;
    icu::UnicodeString text = bundle.getStringEx(key, status);
    if (status != U_ZERO_ERROR) {
        log().log(WexLogError, "%s: localization failure ", __func__);
        status = U_ZERO_ERROR;
    } else {
        // Sized from the conversion's preflight: no text is ever cut.
        int32_t length = 0;
        UErrorCode preflight = U_ZERO_ERROR;
        u_strToUTF8(nullptr, 0, &length, text.getBuffer(), text.length(), &preflight);
        std::string utf8(static_cast<size_t>(length), '\0');
        UErrorCode converted = U_ZERO_ERROR;
        if (preflight == U_BUFFER_OVERFLOW_ERROR || U_SUCCESS(preflight))
            u_strToUTF8(utf8.data(), length, &length, text.getBuffer(), text.length(), &converted);
        if (U_FAILURE(converted) || (preflight != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(preflight)))
            log().log(WexLogError, "%s: error localizing string (status=%d )", __func__,
                      static_cast<int>(U_FAILURE(converted) ? converted : preflight));
        else
            result = std::move(utf8);
    }
    log().log(WexLogDebug, "%s: %s -> %s", __func__, key, result.c_str());
    return result;
}

void resetForTesting()
{
    std::lock_guard<std::mutex> lock(s_mutex);
    s_resourceBundle.reset();
}

} // namespace QrvResourceBundleNS
