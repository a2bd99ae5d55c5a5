#include "oem/dvk_oem_phonebook.h"

#include "oem/dvk_oem_copy_field.h"
#include "oem/dvk_oem_pbook_ui.h"
#include "sdk/common/dvk_assert.h"
#include "src/QrvContactV2Sem.h"
#include "src/QrvContactsCommon.h"
#include "src/QrvLangSettingGetter.h"
#include "src/QrvLog.h"
#include "src/QrvMetaDbInfo.h"
#include "src/QrvResourceBundle.h"
#include "src/QrvServiceEnd.h"
#include "src/QrvSettings.h"
#include "src/QrvStringConv.h"
#include "src/QrvWatchdog.h"
#include "src/QrvWorkQueues.h"

#include <atomic>
#include <cstring>
#include <string>

namespace {

WexLogger& log()
{
    return QrvLog::VRthread::qrvLogContacts;
}

// The update protocol's flags and the filler's counter: process-wide.
bool FullUpdateRequiredCalled = false;
bool ResetFullUpdateRequiredCalled = false;
bool ResetModifiedContactListCalled = false;
bool successfullyUsingPreviousFullUpdate = false;
int sl_callCount = 0;

std::string s_locations_Localized[9];
bool s_locations_Localized_Initialized = false;

std::atomic<DvkOemPbookPersonSource> s_personSource{nullptr};

const char* const kNonsenseName = "goauiwegkuzkuzkuzfoiugw kzkaeofiwoaiueg";

void clearText(dvk_ucs2_Char* text)
{
    text[0] = 0;
}

void fillInBogusContactEntry(dvk_oem_pbook_Entry* entry, bool withNumbers)
{
    clearText(entry->name);
    clearText(entry->name2);
    clearText(entry->organisation);
    entry->count = -1;
    if (!withNumbers)
        return;
    for (int i = 0; i < DVK_OEM_PBOOK_NUMBER_COUNT; ++i) {
        clearText(entry->numbers[i]);
        entry->locTypes[i] = 0;
    }
    clearText(entry->name4);
}

// The string of `key`, "" when absent; `found` says which.
std::string optionalText(const WexObject& object, const char* key, bool& found)
{
    std::string text;
    found = false;
    if (object.getOptional(key, text, &found) != WexErrNone)
        found = false;
    return found ? text : std::string();
}

// Keeps what a dialler takes: digits, "*", "#", the pause and wait letters
// t, w, p, and a "+" only in front.
std::string filterNumber(const std::string& value)
{
    std::string kept;
    for (char c : value) {
        if ((c >= '0' && c <= '9') || c == '*' || c == '#' || c == 't' || c == 'w' || c == 'p')
            kept += c;
        else if (c == '+' && kept.empty())
            kept += c;
    }
    return kept;
}

void fillNumbers(const WexObject& person, dvk_oem_pbook_Entry* entry)
{
    WexObject numbers;
    if (person.get("phoneNumbers", numbers) != WexErrNone || !numbers.isArray()) {
        entry->count = 0;
        return;
    }
    std::string voicemail;
    bool voicemailKnown = false;
    int n = 0;
    for (size_t i = 0; i < numbers.size() && n < DVK_OEM_PBOOK_NUMBER_COUNT; ++i) {
        WexObject element;
        if (numbers.at(i, element) != WexErrNone || !element.isObject()) {
            log().log(WexLogError, "cannot access Phone number #%d", static_cast<int>(i));
            continue;
        }
        bool hasType = false;
        const std::string type = optionalText(element, "type", hasType);
        dvk_oem_pbook_LocationType locType = 0;
        if (hasType) {
            locType = QrvLocationGet(type.c_str());
            if (locType == 7 || locType == 9) {
                log().log(WexLogDebug, "ignoring unused/unrecognized phone number of type %s", type.c_str());
                continue;
            }
        }
        entry->locTypes[n] = locType;
        bool hasValue = false;
        const std::string value = optionalText(element, "value", hasValue);
        if (!hasValue)
            continue;
        if (!voicemailKnown) {
            voicemail = QrvContactsCommon::getVoicemailNumber();
            voicemailKnown = true;
        }
        copyField(entry->numbers[n], value == voicemail ? value : filterNumber(value));
        ++n;
    }
    if (n > 0) {
        entry->count = n;
        return;
    }
    log().log(WexLogError,
              "Implementation needs to be modified.  Don't  give the contact to VR if there's no location stored");
    fillInBogusContactEntry(entry, true);
}

void dvk_oem_pbook_getContactEntryCommon(dvk_oem_pbook_ContactIterator iterator, dvk_oem_pbook_Entry* entry,
                                         bool withNumbers)
{
    DVK_ASSERT(entry != DVK_NULL);
    // A long contact walk keeps the service alive.
    if (++sl_callCount > 80) {
        sl_callCount = 0;
        QrvWatchdog::iAmAlive();
    }
    clearText(entry->name);
    clearText(entry->name2);
    clearText(entry->organisation);

    DvkOemPbookPersonSource source = s_personSource.load();
    std::shared_ptr<WexObject> person = source != nullptr ? source(iterator) : QrvContactV2Sem::getCurrent(iterator);
    if (!person) {
        // No spoken name matches this one.
        fillInBogusContactEntry(entry, withNumbers);
        copyField(entry->name, kNonsenseName);
        return;
    }
    WexObject name;
    if (person->get("name", name) != WexErrNone || !name.isObject()) {
        log().log(WexLogInfo, "%s: no name found", __func__);
        fillInBogusContactEntry(entry, withNumbers);
        return;
    }
    bool hasGiven = false, hasFamily = false;
    const std::string given = optionalText(name, "givenName", hasGiven);
    const std::string family = optionalText(name, "familyName", hasFamily);
    // Letters of any script count: a Cyrillic or Chinese name is a name.
    const bool hasLetters = QrvContactsCommon::hasLetter(given) || QrvContactsCommon::hasLetter(family);

    std::string company;
    WexObject organization;
    if (person->get("organization", organization) == WexErrNone && organization.isObject()) {
        bool hasCompany = false;
        company = optionalText(organization, "name", hasCompany);
        if (hasCompany)
            copyField(entry->organisation, company);
    }

    std::string display;
    if (!hasLetters) {
        if (QrvContactsCommon::hasLetter(company) && given.empty() && family.empty()) {
            display.assign(1, '\t').append(company);
        } else if (QrvContactsCommon::hasLetter(company)) {
            log().log(WexLogInfo, "%s: bogus entry.  Reason: weird case garbage in first/last name", __func__);
            fillInBogusContactEntry(entry, withNumbers);
            return;
        } else {
            log().log(WexLogInfo, "%s: no alphas found", __func__);
            fillInBogusContactEntry(entry, withNumbers);
            return;
        }
    } else {
        if (hasGiven)
            display = given;
        if (hasFamily)
            display.append(QrvContactsCommon::nameSeparator.c_str()).append(family);
    }
    copyField(entry->name, display);
    W2Ch back(entry->name);
    if (back.c_str() == nullptr || display != back.c_str())
        log().log(WexLogWarning, "%s: name comparison mismatch.", __func__);

    if (!withNumbers) {
        entry->count = 0;
        return;
    }
    fillNumbers(*person, entry);
}

void locationInit()
{
    if (s_locations_Localized_Initialized)
        return;
    std::shared_ptr<const icu::ResourceBundle> bundle = QrvResourceBundleNS::QrvGetResourceBundle();
    for (size_t row = 0; row < 9; ++row) {
        UErrorCode status = U_ZERO_ERROR;
        s_locations_Localized[row] =
            bundle ? QrvResourceBundleNS::LOCALIZED(*bundle, s_locations[row].resourceKey, s_locations[row].key, status)
                   : s_locations[row].key;
    }
    s_locations_Localized_Initialized = true;
}

int32_t& positionOf(dvk_oem_pbook_LocationIterator iterator)
{
    return *static_cast<int32_t*>(iterator);
}

bool modifiedWalkAllowed()
{
    return ResetFullUpdateRequiredCalled || successfullyUsingPreviousFullUpdate;
}

} // namespace

void dvkOemPbookSetPersonSource(DvkOemPbookPersonSource source)
{
    s_personSource.store(source);
}

void oemPbookUnitTestInit()
{
    FullUpdateRequiredCalled = false;
    ResetFullUpdateRequiredCalled = false;
    ResetModifiedContactListCalled = false;
    successfullyUsingPreviousFullUpdate = false;
    sl_callCount = 0;
    for (std::string& text : s_locations_Localized)
        text.clear();
    s_locations_Localized_Initialized = false;
}

dvk_oem_pbook_ContactIterator dvk_oem_pbook_getFirstContact()
{
    return QrvContactV2Sem::getFirst(false);
}

dvk_oem_pbook_ContactIterator dvk_oem_pbook_getNextContact(dvk_oem_pbook_ContactIterator iterator)
{
    return QrvContactV2Sem::getNext(iterator, false);
}

dvk_oem_pbook_ContactIterator dvk_oem_pbook_findContactByName(dvk_oem_pbook_ContactIterator iterator,
                                                              const dvk_ucs2_Char* name, const dvk_ucs2_Char*,
                                                              const dvk_ucs2_Char*)
{
    if (iterator == nullptr)
        return nullptr;
    W2Ch utf8(name);
    return QrvContactV2Sem::findByName(iterator, utf8.c_str() != nullptr ? utf8.c_str() : "");
}

void dvk_oem_pbook_getContactNameEntry(dvk_oem_pbook_ContactIterator iterator, dvk_oem_pbook_Entry* entry)
{
    dvk_oem_pbook_getContactEntryCommon(iterator, entry, false);
}

void dvk_oem_pbook_getContactEntry(dvk_oem_pbook_ContactIterator iterator, dvk_oem_pbook_Entry* entry)
{
    dvk_oem_pbook_getContactEntryCommon(iterator, entry, true);
}

int32_t dvk_oem_pbook_fullUpdateRequired()
{
    FullUpdateRequiredCalled = true;
    QrvExecuteInUiThread(dvkOemPbookToNeither, nullptr, QRV_THREAD_ALWAYS_POST);
    const long long watermark = QrvMetaDbInfo::getMetaDbInfoWatermark();
    if (watermark < 0) {
        log().log(WexLogInfo, "%s: saved _rev is < 0.  Doing full update...", __func__);
        QrvMetaDbInfo::deleteMetaDbInfoFile();
        QrvLangSettingGetter::removeOldVoiceData();
        return 1;
    }
    log().log(WexLogInfo, "%s: Using previous full update.  Watermark=%lld", __func__, watermark);
    successfullyUsingPreviousFullUpdate = true;
    return 0;
}

void dvk_oem_pbook_resetFullUpdateRequired()
{
    ResetFullUpdateRequiredCalled = true;
    if (!successfullyUsingPreviousFullUpdate)
        QrvMetaDbInfo::writeMetaDbInfoFile();
    // Background processing exists only to rebuild the grammar; the closing
    // sequence is posted to "UI" after the write, so the record goes out first.
    if (QrvSettings::getBackgroundProcessingFlag())
        QrvServiceEnd::get().closingSequence();
}

dvk_oem_pbook_ContactIterator dvk_oem_pbook_getFirstModifiedContact()
{
    log().log(WexLogInfo, "%s: FullUpdateRequiredCalled=%d ResetFullUpdateRequiredCalled=%d "
                          "successfullyUsingPreviousFullUpdate=%d",
              __func__, FullUpdateRequiredCalled, ResetFullUpdateRequiredCalled, successfullyUsingPreviousFullUpdate);
    return modifiedWalkAllowed() ? QrvContactV2Sem::getFirst(true) : nullptr;
}

dvk_oem_pbook_ContactIterator dvk_oem_pbook_getNextModifiedContact(dvk_oem_pbook_ContactIterator iterator)
{
    if (modifiedWalkAllowed())
        return QrvContactV2Sem::getNext(iterator, true);
    log().log(WexLogWarning, "unexpected call to %s", __func__);
    return nullptr;
}

void dvk_oem_pbook_resetModifiedContactList()
{
    ResetModifiedContactListCalled = true;
}

dvk_oem_pbook_SimCardIterator dvk_oem_pbook_getFirstSimCard()
{
    log().log(WexLogDebug, "%s: not supported", __func__);
    return nullptr;
}

dvk_oem_pbook_SimCardIterator dvk_oem_pbook_getNextSimCard(dvk_oem_pbook_SimCardIterator)
{
    log().log(WexLogDebug, "%s: not supported", __func__);
    return nullptr;
}

dvk_oem_pbook_SimCardIterator dvk_oem_pbook_findSimCardByName(dvk_oem_pbook_SimCardIterator, const dvk_ucs2_Char*,
                                                              const dvk_ucs2_Char*, const dvk_ucs2_Char*)
{
    log().log(WexLogDebug, "%s: not supported", __func__);
    return nullptr;
}

void dvk_oem_pbook_getSimCardEntry(dvk_oem_pbook_SimCardIterator, dvk_oem_pbook_Entry*)
{
    log().log(WexLogDebug, "%s: not supported", __func__);
}

void dvk_oem_pbook_getSimCardNameEntry(dvk_oem_pbook_SimCardIterator, dvk_oem_pbook_Entry*)
{
    log().log(WexLogDebug, "%s: not supported", __func__);
}

dvk_oem_pbook_SimCardIterator dvk_oem_pbook_getFirstModifiedSimCard()
{
    log().log(WexLogDebug, "%s: not supported", __func__);
    return nullptr;
}

dvk_oem_pbook_SimCardIterator dvk_oem_pbook_getNextModifiedSimCard(dvk_oem_pbook_SimCardIterator iterator)
{
    DVK_ASSERT(iterator != DVK_NULL);
    log().log(WexLogDebug, "%s: not supported", __func__);
    return nullptr;
}

void dvk_oem_pbook_resetModifiedSimCardList()
{
    log().log(WexLogDebug, "%s: not supported", __func__);
}

dvk_oem_pbook_GroupIterator dvk_oem_pbook_getFirstGroup()
{
    log().log(WexLogDebug, "%s: not supported", __func__);
    return nullptr;
}

dvk_oem_pbook_GroupIterator dvk_oem_pbook_getNextGroup(dvk_oem_pbook_GroupIterator)
{
    log().log(WexLogDebug, "%s: not supported", __func__);
    return nullptr;
}

void dvk_oem_pbook_getGroup(dvk_oem_pbook_GroupIterator, dvk_ucs2_Char*)
{
    log().log(WexLogDebug, "%s: not supported", __func__);
}

void dvk_oem_pbook_getVoicemailNumber(dvk_ucs2_Char* number)
{
    DVK_ASSERT(number != DVK_NULL);
    copyField(number, QrvContactsCommon::getVoicemailNumber().c_str());
}

void dvk_oem_pbook_getLastDialedNumber(dvk_ucs2_Char* name, dvk_ucs2_Char* number, dvk_ucs2_Char* location)
{
    const QrvSettings::OutgoingCall& call = QrvSettings::getLastOutgoingCall();
    copyField(name, call.name);
    copyField(number, call.addr);
    copyField(location, call.personAddressType);
}

void dvk_oem_pbook_getLastNumber(dvk_ucs2_Char*, dvk_ucs2_Char* number, dvk_ucs2_Char*)
{
    DVK_ASSERT(number != DVK_NULL);
    number[0] = 0;
}

dvk_oem_pbook_LocationType dvk_oem_pbook_getDefaultSendLocType()
{
    return 1;
}

dvk_oem_pbook_LocationType dvk_oem_pbook_getDefaultSendEmailLocType()
{
    return 5;
}

dvk_oem_pbook_LocationIterator dvk_oem_pbook_getFirstLocation(int32_t language)
{
    DVK_ASSERT(language >= 0 && language < 30);
    return new int32_t(0);
}

dvk_oem_pbook_LocationIterator dvk_oem_pbook_getNextLocation(dvk_oem_pbook_LocationIterator iterator)
{
    DVK_ASSERT(iterator != DVK_NULL);
    int32_t& position = positionOf(iterator);
    position += s_locations[position / 3].numbered ? 1 : 3;
    if (position >= 27) {
        delete static_cast<int32_t*>(iterator);
        return nullptr;
    }
    return iterator;
}

void dvk_oem_pbook_getLocation(dvk_oem_pbook_LocationIterator iterator, dvk_oem_pbook_Location* location)
{
    DVK_ASSERT(iterator != DVK_NULL);
    DVK_ASSERT(location != DVK_NULL);
    locationInit();
    const int32_t position = positionOf(iterator);
    const QrvLocationRow& row = s_locations[position / 3];
    // The text is bounded by the field alone: a fixed byte buffer would cut
    // localized names inside a character.
    std::string text = s_locations_Localized[position / 3];
    if (row.numbered) {
        const char number[3] = {' ', static_cast<char>('1' + position % 3), 0};
        text.append(number);
    }
    log().log(WexLogDebug, "%s: locText=%s", __func__, text.c_str());
    copyField(location->name, text.c_str());
    clearText(location->synonym);
    location->type = row.type;
    location->capability = row.capability;
}
