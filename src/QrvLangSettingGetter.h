// The phone's language, read once per process from the system service's
// preferences ("locale" and "enableVoiceCommand") and mapped to the suite's
// language id. The statics are written on "UI" before the bring-up is told
// (QrvBringUp::languageSettingIdentifiedStatic) and read from any thread
// afterwards. Voice command disabled in the preferences shuts the service
// down instead.
#pragma once

#include "platform/bus/wex_service.h"
#include "platform/core/wex_object.h"
#include "platform/core/wex_ref_counted.h"
#include "platform/core/wex_signal.h"
#include "platform/core/wex_string.h"

#include <cstdint>
#include <string>

class QrvLangSettingGetter : public WexSignalHandler {
public:
    // One past the last suite language.
    static constexpr int32_t LANG_UNKNOWN = 30;

    // Sends the preference request unless one is outstanding.
    static WexErr init(WexService* service);
    WexErr Result(WexObject& reply, WexErr err);

    static int32_t getCurrentLanguage();
    // Four letters: the language code as received and a country part ("enus"
    // for English of Canada); the raw form has the country code as received.
    static const WexString& getCurrentLanguageString();
    static const WexString& getCurrentLanguageStringRaw();
    // The language string lower-cased, as every file and package name is
    // formed from it ("deDE" gives "dede").
    static std::string getCurrentLanguageFileString();
    // The suite language of a locale; LANG_UNKNOWN when not in the table.
    static int32_t getLang(const char* languageCode, const char* countryCode);
    // Deletes the voice data of the languages other than the current one.
    static void removeOldVoiceData();

    // Tests: the statics back to their initial values.
    static void resetForTesting();

    explicit QrvLangSettingGetter(WexService* service) : m_service(service) {}

    WexReplySlot m_slot{this, &QrvLangSettingGetter::Result};

protected:
    ~QrvLangSettingGetter() override = default;

private:
    WexService* m_service;
};
