#include "src/QrvContactsCommon.h"

#include "oem/dvk_oem_pbook_location.h"
#include "platform/db/wex_db_query.h"
#include "src/QrvLog.h"
#include "src/QrvResourceBundle.h"

#include <glib.h>

#include <cctype>

namespace {

WexLogger& log()
{
    return QrvLog::VRthread::qrvLogContacts;
}

std::string text(const WexObject& object, const char* key)
{
    std::string value;
    object.getOptional(key, value);
    return value;
}

} // namespace

const char* const QrvContactsCommon::PERSONS_KIND = "com.orvel.person:1";
const char* const QrvContactsCommon::organizationName = "organization.name";
const WexString QrvContactsCommon::nameSeparator(" \t");

void QrvContactsCommon::fillDefaultQueryFields(WexDbQuery& query)
{
    query.from(PERSONS_KIND);
    for (const char* property : {"_rev", "name.familyName", "name.givenName", "phoneNumbers.value",
                                 "phoneNumbers.type", "organization.name", "next"})
        query.select(property);
}

bool QrvContactsCommon::hasLetter(const std::string& text)
{
    // Names in any script count, not only Latin ones: the grammar serves
    // Greek, Russian, Korean, Japanese and Chinese too.
    if (g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) {
        for (const char* p = text.c_str(); *p != '\0'; p = g_utf8_next_char(p))
            if (g_unichar_isalpha(g_utf8_get_char(p)))
                return true;
        return false;
    }
    for (unsigned char c : text)
        if (c < 0x80 && std::isalpha(c))
            return true;
    return false;
}

bool QrvContactsCommon::contactIsValid(WexObject& person)
{
    WexObject name;
    if (person.get("name", name) != WexErrNone || !name.isObject()) {
        log().log(WexLogDebug, "invalid contact: name not present");
        return false;
    }
    std::string nameText;
    if (name.toJson(nameText) != WexErrNone) {
        log().log(WexLogDebug, "invalid contact: nameString extraction problem");
        return false;
    }
    const std::string given = text(name, "givenName");
    const std::string family = text(name, "familyName");
    const bool personal = hasLetter(given) || hasLetter(family);
    if (!personal) {
        WexObject organization;
        std::string company;
        const bool hasCompany = person.get("organization", organization) == WexErrNone &&
                                organization.get("name", company) == WexErrNone && hasLetter(company);
        if (!hasCompany)
            return false;
        if (!given.empty() || !family.empty()) {
            log().log(WexLogDebug, "%s: bogus entry.  Reason: weird case garbage in first/last name", __func__);
            return false;
        }
    }
    WexObject numbers;
    if (person.get("phoneNumbers", numbers) != WexErrNone) {
        log().log(WexLogDebug, "invalid contact: no phone numbers");
        return false;
    }
    int usable = 0;
    for (size_t i = 0; i < numbers.size(); ++i) {
        WexObject number;
        if (numbers.at(i, number) != WexErrNone) {
            log().log(WexLogWarning, "cannot access Phone number #%d\n", static_cast<int>(i));
            continue;
        }
        std::string numberText;
        if (number.toJson(numberText) != WexErrNone) {
            log().log(WexLogDebug, "phone number string extraction problem");
            continue;
        }
        std::string type;
        if (number.get("type", type) != WexErrNone) {
            log().log(WexLogDebug, "invalid contact: type not present (2)");
            continue;
        }
        const dvk_oem_pbook_LocationType location = QrvLocationGet(type.c_str());
        if (location == 7 || location == 9 || location == 11) {
            log().log(WexLogDebug, "ignoring unused/unrecognized phone number of type");
            continue;
        }
        std::string value;
        if (number.get("value", value) != WexErrNone) {
            log().log(WexLogDebug, "invalid contact: value not present");
            continue;
        }
        ++usable;
    }
    if (usable == 0) {
        log().log(WexLogDebug, "invalid contact: no phone numbers");
        return false;
    }
    return true;
}

std::string QrvContactsCommon::getVoicemailNumber()
{
    std::shared_ptr<const icu::ResourceBundle> bundle = QrvResourceBundleNS::QrvGetResourceBundle();
    if (!bundle)
        return "VOICE MAIL";
    UErrorCode status = U_ZERO_ERROR;
    return QrvResourceBundleNS::LOCALIZED(*bundle, "VOICEMAIL", "Voice Mail", status);
}
