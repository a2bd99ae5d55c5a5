// What every contact query of the service shares: the person kind, the
// selected properties, the display-name separator, the rule that decides
// whether a person becomes part of the voice grammar, and the voicemail
// entry's text.
#pragma once

#include "platform/core/wex_object.h"
#include "platform/core/wex_string.h"

#include <string>

class WexDbQuery;

class QrvContactsCommon {
public:
    static const char* const PERSONS_KIND;      // "com.orvel.person:1"
    static const char* const organizationName;  // "organization.name"
    // A blank followed by a tab: between the given and the family name.
    static const WexString nameSeparator;

    // The persons kind and the selected properties, nothing else.
    static void fillDefaultQueryFields(WexDbQuery& query);
    // Whether the person belongs in the grammar: a name (or, without one, a
    // company) with a letter of any script, and a usable phone number. "VR".
    static bool contactIsValid(WexObject& person);
    // Whether the UTF-8 text holds a letter (of any script).
    static bool hasLetter(const std::string& text);

    // The voicemail entry's name (UTF-8): the current language's "VOICEMAIL"
    // text, "Voice Mail" when its bundle lacks the key, "VOICE MAIL" without
    // a bundle. "VR" and "UI".
    static std::string getVoicemailNumber();
};
