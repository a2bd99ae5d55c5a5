#include "src/QrvContactsCommon.h"

#include "src/QrvResourceBundle.h"

std::string QrvContactsCommon::getVoicemailNumber()
{
    std::shared_ptr<const icu::ResourceBundle> bundle = QrvResourceBundleNS::QrvGetResourceBundle();
    if (!bundle)
        return "VOICE MAIL";
    UErrorCode status = U_ZERO_ERROR;
    return QrvResourceBundleNS::LOCALIZED(*bundle, "VOICEMAIL", "Voice Mail", status);
}
