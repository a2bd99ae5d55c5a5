// A comma-decimal LC_NUMERIC for tests that number parsing ignores the
// process locale.
#pragma once

// Selects a comma-decimal LC_NUMERIC: an installed one, or one compiled into
// the test's root from the system's locale sources. False when neither is
// possible (the caller skips). Put "C" back with std::setlocale afterwards.
bool selectCommaDecimalLocale();
