#include "src/QrvContactsCommon.h"

std::string QrvContactsCommon::getVoicemailNumber()
{
    return "VOICE MAIL";
}
