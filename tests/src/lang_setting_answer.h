// Sets the service's language as the system service's answer does, through
// a language getter of no service (the bring-up, if any, is told as usual).
#pragma once

#include "platform/core/wex_object.h"
#include "platform/core/wex_ref_counted.h"
#include "src/QrvLangSettingGetter.h"

inline void answerLanguage(const char* language, const char* country)
{
    WexObject locale = WexObject::object();
    locale.put("languageCode", language);
    locale.put("countryCode", country);
    WexObject reply = WexObject::object();
    reply.put("locale", locale);
    reply.put("enableVoiceCommand", true);
    wexMakeRefCounted<QrvLangSettingGetter>(nullptr)->Result(reply, WexErrNone);
}
