// What every contact query of the service shares.
#pragma once

#include <string>

class QrvContactsCommon {
public:
    // The voicemail entry's name (UTF-8): the current language's "VOICEMAIL"
    // text, "Voice Mail" when its bundle lacks the key, "VOICE MAIL" without
    // a bundle. "VR" and "UI".
    static std::string getVoicemailNumber();
};
