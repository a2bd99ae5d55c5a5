#include "oem/dvk_oem_change_mode.h"

#include "sdk/common/dvk_assert.h"

#include <cstdlib>
#include <cstring>

struct dvk_oem_change_mode_Row {
    const char* name;
    const char* pronunciation;
    const char* identifier;
    const char* synonyms[2];
};

namespace {

const dvk_oem_change_mode_Row latin1Entries[] = {
    {"Silent", nullptr, "1", {"Quiet", nullptr}},
    {"Vibrate", "vibe rate", "2", {"Buzzer", nullptr}},
    {"Meeting", nullptr, "3", {"Spreadsheet", nullptr}},
    {"Super Extra Loud", nullptr, "4", {"Ear-piercing", nullptr}},
    {nullptr, nullptr, nullptr, {nullptr, nullptr}},
};

const unsigned long kLanguagesWithModes = 0x17cffa;

int emptyList = 0;

void widen(dvk_ucs2_Char* out, const char* latin1)
{
    size_t i = 0;
    for (; latin1 != nullptr && latin1[i] != 0 && i + 1 < DVK_OEM_TEXT_LENGTH; ++i)
        out[i] = static_cast<unsigned char>(latin1[i]);
    out[i] = 0;
}

} // namespace

dvk_oem_change_mode_Iterator dvk_oem_change_mode_getFirstMode(int32_t language)
{
    DVK_ASSERT(language < 30);
    if (emptyList != 0 || language < 0 || language > 20)
        return nullptr;
    return (kLanguagesWithModes >> language & 1) != 0 ? &latin1Entries[0] : nullptr;
}

dvk_oem_change_mode_Iterator dvk_oem_change_mode_getNextMode(dvk_oem_change_mode_Iterator iterator)
{
    DVK_ASSERT(iterator != NULL);
    dvk_oem_change_mode_Iterator next = iterator + 1;
    return next->name != nullptr ? next : nullptr;
}

void dvk_oem_change_mode_getModeEntry(dvk_oem_change_mode_Iterator iterator,
                                      dvk_oem_change_mode_ModeEntry* entry)
{
    DVK_ASSERT(iterator != NULL);
    DVK_ASSERT(entry != NULL);
    widen(entry->name, iterator->name);
    widen(entry->pronunciation, iterator->pronunciation);
    widen(entry->synonyms[0], iterator->synonyms[0]);
    widen(entry->synonyms[1], iterator->synonyms[1]);
    // A pointer does not fit the 32-bit context: the identifier's number.
    entry->context = static_cast<int32_t>(std::atoi(iterator->identifier));
}

void dvk_oem_change_mode_setMode(dvk_oem_change_mode_Iterator iterator)
{
    DVK_ASSERT(iterator != NULL);
}

void oemChangeModeSetEmpty(int empty)
{
    emptyList = empty;
}

void oemChangeModeInitStub() {}
