// A person object as the contacts database hands it out (JSON, any shape):
// through the provider's entry filler, with and without numbers, and then as
// the suite's entry. Every text stays within 63 units and converts.
#include "oem/dvk_oem_phonebook.h"
#include "oem/dvk_oem_settings.h"
#include "platform/core/wex_object.h"
#include "sdk/common/dvk_pbook.h"
#include "src/QrvStringConv.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

std::shared_ptr<WexObject> s_person;

int32_t english()
{
    return 5;
}

std::shared_ptr<WexObject> currentPerson(dvk_oem_pbook_ContactIterator)
{
    return s_person;
}

void checkText(const dvk_ucs2_Char* text)
{
    size_t length = 0;
    while (length < DVK_OEM_PBOOK_TEXT_LENGTH && text[length] != 0)
        ++length;
    if (length >= DVK_OEM_PBOOK_TEXT_LENGTH)
        std::abort();
    W2Ch back(text);
    if (back.c_str() == nullptr)
        std::abort();
}

void checkEntry(const dvk_oem_pbook_Entry& entry)
{
    checkText(entry.name);
    checkText(entry.name2);
    checkText(entry.organisation);
    if (entry.count < -1 || entry.count > DVK_OEM_PBOOK_NUMBER_COUNT)
        std::abort();
    for (int32_t i = 0; i < entry.count; ++i)
        checkText(entry.numbers[i]);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    WexObject person;
    if (WexObject::parse(std::string_view(reinterpret_cast<const char*>(data), size), person) != WexErrNone)
        return 0;
    s_person = std::make_shared<WexObject>(person);
    dvkOemPbookSetPersonSource(currentPerson);
    dvkOemSettingsSetLanguageSource(english);
    dvk_oem_pbook_Entry entry;
    for (bool withNumbers : {false, true}) {
        std::memset(&entry, 0, sizeof entry);
        (withNumbers ? dvk_oem_pbook_getContactEntry : dvk_oem_pbook_getContactNameEntry)(nullptr, &entry);
        checkEntry(entry);
    }
    dvk_pbook_Entry* suite = dvk_pbook_getEntry(1);
    if (suite != nullptr) {
        for (int32_t i = 0; i < dvk_pbook_getCount(suite); ++i)
            checkText(dvk_pbook_getPhoneNumberString(suite, i));
        dvk_pbook_destroyEntry(&suite);
    }
    dvkOemPbookSetPersonSource(nullptr);
    s_person.reset();
    return 0;
}
