// What every contact query of the service shares.
#pragma once

#include <string>

class QrvContactsCommon {
public:
    // The voicemail entry's name in the current language (UTF-8): "VOICE MAIL"
    // while no language resources are loaded. "VR" and "UI".
    static std::string getVoicemailNumber();
};
