// Localised texts of the current language from the service's ICU resource
// bundles (installed under /usr/lib/merrowind/resources), chosen by the
// locale the language was read from.
#pragma once

#include <unicode/resbund.h>
#include <unicode/utypes.h>

#include <memory>
#include <string>

namespace QrvResourceBundleNS {

// The bundle of the current locale, loaded on first use once the language
// is known; empty when there is none (a failed load is tried again on the
// next call). Any thread.
std::shared_ptr<const icu::ResourceBundle> QrvGetResourceBundle();

// The UTF-8 text of `key`, or `defaultText` when the bundle lacks it (the
// status is then reset to 0).
std::string LOCALIZED(const icu::ResourceBundle& bundle, const char* key, const char* defaultText,
                      UErrorCode& status);

// Tests: forget the loaded bundle.
void resetForTesting();

} // namespace QrvResourceBundleNS
